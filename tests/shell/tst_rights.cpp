// The access gate, the password dialog and the rights page on a new database.
#include "GlobalFunctions.h"
#include "TestSupport.h"
#include "UBerechtigung.h"
#include "UDM.h"
#include "UEinRecht.h"

#include <QtTest>

#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>

class TestRights : public QObject {
    Q_OBJECT

    std::unique_ptr<TempDataHome> FHome;
    std::unique_ptr<TDM> FDM;
    std::unique_ptr<ScriptedMessages> FMessages;

    template <class T> T* Child(QWidget* parent, const char* name) {
        T* w = parent->findChild<T*>(QLatin1String(name));
        if (!w)
            qFatal("no widget %s", name);
        return w;
    }
    // Types into the password dialog and presses "OK".
    void EnterPassword(const QString& text) {
        Berechtigung->prepare();
        Berechtigung->show();
        QTest::keyClicks(Child<QLineEdit>(Berechtigung, "EditPW"), text);
        QTest::mouseClick(Child<QPushButton>(Berechtigung, "BitBtnOK"), Qt::LeftButton);
    }
    QList<TDM::TRechtEntry> Rights() { return FDM->ReadRechte(); }

private slots:
    void initTestCase() {
        FHome = std::make_unique<TempDataHome>();
        FDM = std::make_unique<TDM>();
        FDM->OpenDatabaseFile(DataFolder() + QStringLiteral("Quorvent.DB"));
        Berechtigung = new TBerechtigung;
    }
    void init() { FMessages = std::make_unique<ScriptedMessages>(); }
    void cleanup() {
        FMessages.reset();
        Berechtigung->hide();
    }
    void cleanupTestCase() {
        delete Berechtigung;
        FDM.reset();
        FHome.reset();
    }

    void whoAsks_data();
    void whoAsks();
    void passwordDialog_data();
    void passwordDialog();
    void cancelRefuses();
    void rightsPageList();
    void untickingFrees();
    void passwordRoundTrip_data();
    void passwordRoundTrip();
    void passwordFieldTakesColumnWidth();
    void refusedPasswordChangesNothing();
};

void TestRights::whoAsks_data() {
    QTest::addColumn<QString>("key");
    QTest::addColumn<bool>("asks");
    QTest::newRow("general settings") << "EinAllg" << true;
    QTest::newRow("rights page") << "EinRecht" << true;
    QTest::newRow("data export") << "DatenExport" << true;
    QTest::newRow("statistics") << "Statistik" << false;
    QTest::newRow("styles") << "EinStyle" << false;
    QTest::newRow("no row") << "GibtEsNicht" << false;
    QTest::newRow("quote in the key") << "Ein'Allg" << false;
}

// A free function passes without the dialog; the protected ones ask.
void TestRights::whoAsks() {
    QFETCH(QString, key);
    QFETCH(bool, asks);
    QCOMPARE(FDM->RightProtected(key), asks);
    if (!asks) {
        QVERIFY(CheckRight(key));
        QVERIFY(!Berechtigung->isVisible());
    }
}

void TestRights::passwordDialog_data() {
    QTest::addColumn<QString>("typed");
    QTest::addColumn<bool>("allowed");
    QTest::newRow("right") << "Wendoxal" << true;
    QTest::newRow("lower case") << "wendoxal" << false;
    QTest::newRow("upper case") << "WENDOXAL" << false;
    QTest::newRow("trailing blank") << "Wendoxal " << false;
    QTest::newRow("empty") << "" << false;
}

void TestRights::passwordDialog() {
    QFETCH(QString, typed);
    QFETCH(bool, allowed);
    EnterPassword(typed);
    QCOMPARE(Berechtigung->Allowed, allowed);
    // A wrong password warns and leaves the dialog open with the text typed.
    QCOMPARE(Berechtigung->isVisible(), !allowed);
    QCOMPARE(FMessages->texts(),
             allowed ? QStringList() : QStringList{QStringLiteral("Das eingegeben Kennwort ist ungültig!")});
    if (!allowed) {
        QCOMPARE(Child<QLineEdit>(Berechtigung, "EditPW")->text(), typed);
        QCOMPARE(FMessages->boxes.first().kind, Messages::Warning);
    }
}

void TestRights::cancelRefuses() {
    EnterPassword(QStringLiteral("falsch"));
    QTest::mouseClick(Child<QPushButton>(Berechtigung, "BitBtnAbbrechen"), Qt::LeftButton);
    QVERIFY(!Berechtigung->isVisible());
    QVERIFY(!Berechtigung->Allowed);
    QCOMPARE(Berechtigung->result(), int(QDialog::Rejected));
}

void TestRights::rightsPageList() {
    TEinRecht page;
    QVERIFY(page.ShowPage());
    auto* list = Child<QListWidget>(&page, "CLBFunktion");
    QStringList labels, ticked;
    for (int i = 0; i < list->count(); ++i) {
        labels << list->item(i)->text();
        if (list->item(i)->checkState() == Qt::Checked)
            ticked << list->item(i)->text();
    }
    QCOMPARE(labels, (QStringList{"Allgemeine Einstellungen", "Allgemeine Stammdaten", "Daten exportieren",
                                  "Daten importieren", "Daten rücksichern", "Daten sichern",
                                  "Firmendaten / Andruck", "Statistik / Auswertungen", "Styles"}));
    QCOMPARE(ticked, (QStringList{"Allgemeine Einstellungen", "Daten exportieren", "Daten importieren",
                                  "Daten rücksichern"}));
    QCOMPARE(Child<QLineEdit>(&page, "EditPW")->text(), QStringLiteral("Wendoxal"));
}

void TestRights::untickingFrees() {
    TEinRecht page;
    QVERIFY(page.ShowPage());
    auto* list = Child<QListWidget>(&page, "CLBFunktion");
    list->item(0)->setCheckState(Qt::Unchecked); // "Allgemeine Einstellungen"
    list->item(8)->setCheckState(Qt::Checked);   // "Styles"
    QTest::mouseClick(Child<QPushButton>(&page, "BitBtnSpeichern"), Qt::LeftButton);

    QVERIFY(FMessages->boxes.isEmpty());
    QVERIFY(!FDM->RightProtected(QStringLiteral("EinAllg")));
    QVERIFY(FDM->RightProtected(QStringLiteral("EinStyle")));
    QVERIFY(FDM->RightProtected(QStringLiteral("EinRecht")));
    QVERIFY(FDM->RightProtected(QStringLiteral("DatenExport")));

    list->item(0)->setCheckState(Qt::Checked);
    list->item(8)->setCheckState(Qt::Unchecked);
    page.BitBtnSpeichernClick();
    QVERIFY(FDM->RightProtected(QStringLiteral("EinAllg")));
}

void TestRights::passwordRoundTrip_data() {
    QTest::addColumn<QString>("password");
    QTest::newRow("quote") << "O'Brien";
    QTest::newRow("only quotes") << "''";
    QTest::newRow("blanks kept") << "  Kenn wort  ";
    QTest::newRow("word NULL") << "NULL";
    QTest::newRow("umlauts") << "Größe'ß";
    QTest::newRow("empty") << "";
}

// Whatever is typed is stored exactly and opens protected pages afterwards.
void TestRights::passwordRoundTrip() {
    QFETCH(QString, password);
    TEinRecht page;
    QVERIFY(page.ShowPage());
    auto* edit = Child<QLineEdit>(&page, "EditPW");
    edit->setText(password);
    QTest::mouseClick(Child<QPushButton>(&page, "BitBtnSpeichern"), Qt::LeftButton);
    QVERIFY2(FMessages->boxes.isEmpty(), qPrintable(FMessages->lastText()));
    QCOMPARE(FDM->ReadKennwort(), password);

    Berechtigung->prepare();
    Berechtigung->show();
    Child<QLineEdit>(Berechtigung, "EditPW")->setText(password);
    QTest::mouseClick(Child<QPushButton>(Berechtigung, "BitBtnOK"), Qt::LeftButton);
    QVERIFY(Berechtigung->Allowed);

    FDM->SaveRechte(QStringLiteral("Wendoxal"), Rights());
}

// The column holds 50 characters; a longer password must not be accepted
// by the field, or it could not be typed back to open the pages.
void TestRights::passwordFieldTakesColumnWidth() {
    TEinRecht page;
    QVERIFY(page.ShowPage());
    auto* edit = Child<QLineEdit>(&page, "EditPW");
    edit->clear();
    QTest::keyClicks(edit, QString(60, QLatin1Char('x')));
    QCOMPARE(edit->text().size(), 50);
}

// A password the database cannot hold is refused with the error, and the
// ticks of the same save are not written either.
void TestRights::refusedPasswordChangesNothing() {
    TEinRecht page;
    QVERIFY(page.ShowPage());
    auto* list = Child<QListWidget>(&page, "CLBFunktion");
    list->item(0)->setCheckState(Qt::Unchecked);
    Child<QLineEdit>(&page, "EditPW")->setText(QStringLiteral("Kennwort\u4E2D"));
    QTest::mouseClick(Child<QPushButton>(&page, "BitBtnSpeichern"), Qt::LeftButton);

    QCOMPARE(FMessages->boxes.size(), 1);
    QCOMPARE(FMessages->boxes.first().kind, Messages::Error);
    QCOMPARE(FDM->ReadKennwort(), QStringLiteral("Wendoxal"));
    QVERIFY(FDM->RightProtected(QStringLiteral("EinAllg")));
    QVERIFY(!FDM->SQLiteDB1.InTransaction());
}

QTEST_MAIN(TestRights)
#include "tst_rights.moc"
