// Errors that reach the event loop, Qt's German texts and the real message boxes.
#include "QtMessages.h"
#include "SQLite.h"
#include "TestSupport.h"
#include "UApplication.h"

#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <QtTest>

#include <stdexcept>

class TstApplication : public QObject {
    Q_OBJECT

private slots:
    // Whatever a click handler throws, the user sees its text and the program goes on.
    void errorsReachingTheEventLoop_data() {
        QTest::addColumn<int>("kind");
        QTest::addColumn<QStringList>("boxes");
        QTest::newRow("database error") << 0 << QStringList{"SQL-Error: SQLITE_BUSY\nDatei gesperrt"};
        QTest::newRow("other error") << 1 << QStringList{"etwas anderes"};
        QTest::newRow("silent abort") << 2 << QStringList{};
    }
    void errorsReachingTheEventLoop() {
        QFETCH(int, kind);
        QFETCH(QStringList, boxes);
        ScriptedMessages msgs;
        QPushButton button("Los");
        int afterwards = 0;
        connect(&button, &QPushButton::clicked, this, [kind] {
            if (kind == 0)
                throw ESQLiteError(QStringLiteral("SQL-Error: SQLITE_BUSY\nDatei gesperrt"), 5);
            if (kind == 1)
                throw std::runtime_error("etwas anderes");
            Abort();
        });
        button.show();
        QTest::mouseClick(&button, Qt::LeftButton);
        QCOMPARE(msgs.texts(), boxes);
        for (const auto& b : msgs.boxes)
            QCOMPARE(b.kind, Messages::Error);
        // The application still delivers events.
        QTimer::singleShot(0, this, [&] { ++afterwards; });
        QTRY_COMPARE(afterwards, 1);
    }

    // A bare machine shows German numbers and dates; a locale the user chose stays.
    void programLocale_data() {
        QTest::addColumn<QString>("system");
        QTest::addColumn<QString>("used");
        QTest::addColumn<QString>("number");
        QTest::newRow("C") << "C"
                           << "de_DE"
                           << "1234,5";
        QTest::newRow("en_US") << "en_US"
                               << "en_US"
                               << "1234.5";
        QTest::newRow("de_AT") << "de_AT"
                               << "de_AT"
                               << "1234,5";
    }
    void programLocale() {
        QFETCH(QString, system);
        QFETCH(QString, used);
        QFETCH(QString, number);
        QLocale locale = ProgramLocale(QLocale(system));
        QCOMPARE(locale.name(), used);
        locale.setNumberOptions(QLocale::OmitGroupSeparator);
        QCOMPARE(locale.toString(1234.5), number);
    }

    void germanQtTexts() {
        QVERIFY(LoadGermanQtTranslations(qApp));
        QCOMPARE(QCoreApplication::translate("QPlatformTheme", "Cancel"), QStringLiteral("Abbrechen"));
        QCOMPARE(QCoreApplication::translate("QFileDialog", "Open"), QStringLiteral("Öffnen"));
    }

    // The real boxes carry German button texts and report the button pressed.
    void questionBox_data() {
        QTest::addColumn<bool>("withCancel");
        QTest::addColumn<QString>("press");
        QTest::addColumn<int>("answer");
        QTest::addColumn<int>("defaultAnswer");
        QTest::newRow("Ja") << false << "&Ja" << int(Messages::Yes) << int(Messages::Yes);
        QTest::newRow("Nein") << false << "&Nein" << int(Messages::No) << int(Messages::Yes);
        QTest::newRow("Ja mit Abbrechen") << true << "&Ja" << int(Messages::Yes) << int(Messages::Yes);
        QTest::newRow("Abbrechen") << true << "Abbrechen" << int(Messages::Cancel) << int(Messages::Yes);
        QTest::newRow("Escape ohne Abbrechen")
            << false << "Escape" << int(Messages::No) << int(Messages::Yes);
        QTest::newRow("Escape mit Abbrechen")
            << true << "Escape" << int(Messages::Cancel) << int(Messages::Yes);
        // Enter takes the default button: Nein where Ja would destroy data.
        QTest::newRow("Enter, Vorgabe Ja") << false << "Enter" << int(Messages::Yes) << int(Messages::Yes);
        QTest::newRow("Enter, Vorgabe Nein") << false << "Enter" << int(Messages::No) << int(Messages::No);
        QTest::newRow("Enter, Vorgabe Abbrechen")
            << true << "Enter" << int(Messages::Cancel) << int(Messages::Cancel);
    }
    void questionBox() {
        QFETCH(bool, withCancel);
        QFETCH(QString, press);
        QFETCH(int, answer);
        QFETCH(int, defaultAnswer);
        TQtMessages boxes;
        Messages::install(&boxes);
        QStringList buttons;
        // Answers the box as soon as it runs.
        QTimer::singleShot(0, this, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            QVERIFY(box);
            QCOMPARE(box->icon(), QMessageBox::Question);
            for (QAbstractButton* b : box->buttons())
                buttons << b->text();
            if (press == "Escape" || press == "Enter") {
                QTest::keyClick(box, press == "Enter" ? Qt::Key_Return : Qt::Key_Escape);
                return;
            }
            for (QAbstractButton* b : box->buttons())
                if (b->text() == press)
                    b->click();
        });
        const Messages::Answer result = Messages::question("Soll der Beleg gelöscht werden?", withCancel,
                                                           Messages::Answer(defaultAnswer));
        Messages::install(nullptr);
        QCOMPARE(int(result), answer);
        buttons.sort();
        QStringList expected{"&Ja", "&Nein"};
        if (withCancel)
            expected << "Abbrechen";
        expected.sort();
        QCOMPARE(buttons, expected);
    }

    void messageBoxKinds_data() {
        QTest::addColumn<int>("kind");
        QTest::addColumn<int>("icon");
        QTest::newRow("warning") << 0 << int(QMessageBox::Warning);
        QTest::newRow("error") << 1 << int(QMessageBox::Critical);
        QTest::newRow("info") << 2 << int(QMessageBox::Information);
    }
    void messageBoxKinds() {
        QFETCH(int, kind);
        QFETCH(int, icon);
        TQtMessages boxes;
        Messages::install(&boxes);
        int seenIcon = -1;
        QStringList buttons;
        QString text;
        QTimer::singleShot(0, this, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            QVERIFY(box);
            seenIcon = box->icon();
            text = box->text();
            for (QAbstractButton* b : box->buttons())
                buttons << b->text();
            box->buttons().first()->click();
        });
        const QString message = "Erste Zeile\nzweite Zeile";
        if (kind == 0)
            Messages::warning(message);
        else if (kind == 1)
            Messages::error(message);
        else
            Messages::info(message);
        Messages::install(nullptr);
        QCOMPARE(seenIcon, icon);
        QCOMPARE(text, message);
        QCOMPARE(buttons, QStringList{"OK"});
    }
};

int main(int argc, char** argv) {
    TQuorventApp app(argc, argv);
    TstApplication test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_application.moc"
