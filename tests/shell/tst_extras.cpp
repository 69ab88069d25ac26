// The four "Extras" entries as the user works them: each behind its access
// right, the remembered files, the import preview with every row's verdict,
// and the German messages of success and failure.
#include "DatabaseFixture.h"
#include "OldDatabases.h"
#include "QuorventFunctions.h"
#include "Sicherung.h"
#include "TestSupport.h"
#include "UDM.h"
#include "UEinAllg.h"
#include "UExtras.h"
#include "UMF.h"
#include "UPage.h"

#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QProgressDialog>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTableWidget>
#include <QTimer>
#include <QTreeWidget>
#include <QtTest>

class TestExtras : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        PinGermanLocale();
        db.BuildTemplate();
    }
    void init() {
        QVERIFY(db.Open());
        dm = db.dm;
        work = std::make_unique<QTemporaryDir>();
    }
    void cleanup() {
        TPage::CheckRightHook = nullptr;
        db.Close();
    }

    void entriesAskTheirRights_data();
    void entriesAskTheirRights();
    void exportRemembersItsFile();
    void importPreviewShowsEveryVerdict();
    void importTakesOnlyWhatWasChecked_data();
    void importTakesOnlyWhatWasChecked();
    void backupAndRestoreMessages_data();
    void backupAndRestoreMessages();
    void copyProgress_data();
    void copyProgress();
    void settingsPageKeepsBackupSettings();
    void shownListExport();

private:
    template <class T> T* Child(QWidget* parent, const char* name) {
        T* w = parent->findChild<T*>(QLatin1String(name));
        if (!w)
            qFatal("no widget %s", name);
        return w;
    }
    QString tmp(const QString& name) const { return work->filePath(name); }
    QString raw(const QString& sql) { return OldDatabases::RawRows(dm->SQLiteDB1.FileName, sql); }
    QString write(const QString& name, const QByteArray& data) {
        QFile f(tmp(name));
        [&] { QVERIFY(f.open(QIODevice::WriteOnly)); }();
        f.write(data);
        return f.fileName();
    }

    TDatabaseFixture db;
    TDM* dm = nullptr;
    std::unique_ptr<QTemporaryDir> work;
};

void TestExtras::entriesAskTheirRights_data() {
    QTest::addColumn<QString>("right"); // the entry is the action "Action" + right
    for (const char* right : {"DatenExport", "DatenImport", "DBSich", "DBRueck"})
        QTest::newRow(right) << QString::fromLatin1(right);
}

void TestExtras::entriesAskTheirRights() {
    QFETCH(QString, right);
    TMF mf;
    bool reached = false;
    ChooseBackupTarget = ChooseRestoreFile = [&](QWidget*, const QString&) {
        reached = true;
        return QString();
    };
    InstallExtras(mf, {});
    QStringList asked;
    TPage::CheckRightHook = [&](const QString& key) {
        asked << key;
        return false; // the password was not given
    };
    QAction* a = mf.Action(QStringLiteral("Action") + right);
    QVERIFY(a->isEnabled());
    a->trigger();
    QCOMPARE(asked, QStringList{right});
    QVERIFY(!reached);
    QVERIFY(!mf.findChild<QDialog*>(QStringLiteral("DatenExport"))->isVisible());
    QVERIFY(!mf.findChild<QDialog*>(QStringLiteral("DatenImport"))->isVisible());
}

void TestExtras::exportRemembersItsFile() {
    TDatenExport dialog;
    dialog.prepare();
    // Nothing remembered yet: Kunden.csv in the documents folder.
    QVERIFY(Child<QLineEdit>(&dialog, "EditDatei")->text().endsWith(QStringLiteral("/Kunden.csv")));
    const QString file = tmp(QStringLiteral("Lieferanten ä.csv"));
    TDatenExport::ChooseFile = [&](QWidget*, const QString&) { return file; };
    Child<QPushButton>(&dialog, "BitBtnDatei")->click();
    Child<QRadioButton>(&dialog, "RBLieferanten")->setChecked(true);
    QVERIFY(dialog.BitBtnExportClick());
    QCOMPARE(db.messages->texts(), QStringList{QStringLiteral("Es wurden 1 Lieferanten in die Datei ") +
                                               file + QStringLiteral(" exportiert.")});
    QFile f(file);
    QVERIFY(f.open(QIODevice::ReadOnly));
    QVERIFY(f.readAll().startsWith("\xEF\xBB\xBFNummer;Firma;"));
    QCOMPARE(GetFileSetting(dm->Query2, QStringLiteral("DatenExportFile")), file);
    TDatenExport again;
    again.prepare();
    QCOMPARE(Child<QLineEdit>(&again, "EditDatei")->text(), file);

    // A folder that cannot be written: an error, and the old file stays remembered.
    db.messages->clear();
    Child<QLineEdit>(&again, "EditDatei")->setText(tmp(QStringLiteral("fehlt/x.csv")));
    QVERIFY(!again.BitBtnExportClick());
    QCOMPARE(db.messages->boxes.size(), 1);
    QCOMPARE(db.messages->boxes[0].kind, Messages::Error);
    QVERIFY(db.messages->boxes[0].text.startsWith(
        QStringLiteral("Die Daten konnten nicht exportiert werden!\n")));
    QCOMPARE(GetFileSetting(dm->Query2, QStringLiteral("DatenExportFile")), file);
}

void TestExtras::importPreviewShowsEveryVerdict() {
    const QString file = write(QStringLiteral("kunden.csv"),
                               "\xEF\xBB\xBFNummer;Firma;Kundengruppe\r\n0;Neu Muster;Allgmein\r\n"
                               "12;Zwölf;Allgmein\r\n1x;Falsch;Allgmein\r\n");
    TDatenImport dialog;
    dialog.prepare();
    TDatenImport::ChooseFile = [&](QWidget*, const QString&) { return file; };
    Child<QPushButton>(&dialog, "BitBtnDatei")->click();

    auto* grid = Child<QTableWidget>(&dialog, "GridVorschau");
    auto column = [&](int c) {
        QStringList cells;
        for (int r = 0; r < grid->rowCount(); ++r)
            cells << grid->item(r, c)->text();
        return cells;
    };
    QCOMPARE(column(3), (QStringList{"abgelehnt", "neu", "abgelehnt"}));
    QCOMPARE(column(4)[0], QStringLiteral("Die angegebene Kundennummer ist bereits vorhanden!"));
    QCOMPARE(column(0), (QStringList{"2", "3", "4"}));
    // The preview changed nothing.
    QCOMPARE(raw(QStringLiteral("select count(*) from Kunde")), QStringLiteral("1"));

    // Ticking "update" shows the verdicts anew.
    Child<QCheckBox>(&dialog, "CBAktualisieren")->setChecked(true);
    QCOMPARE(column(3), (QStringList{"aktualisiert", "neu", "abgelehnt"}));
    QVERIFY(Child<QPushButton>(&dialog, "BitBtnImport")->isEnabled());
    QVERIFY(!dialog.Imported());
    QVERIFY(dialog.BitBtnImportClick());
    QVERIFY(dialog.Imported());
    QCOMPARE(db.messages->lastText(),
             QStringLiteral("Der Import ist abgeschlossen: 1 Datensätze neu angelegt, 1 aktualisiert.\n"
                            "1 Datensätze wurden abgelehnt; die Gründe stehen in der Liste."));
    QCOMPARE(raw(QStringLiteral("select KundenID, Firma from Kunde order by 1")),
             QStringLiteral("0|Neu Muster\n12|Zwölf"));
    QCOMPARE(GetFileSetting(dm->Query2, QStringLiteral("DatenImportFile")), file);
}

void TestExtras::importTakesOnlyWhatWasChecked_data() {
    QTest::addColumn<QString>("what");
    QTest::addColumn<QString>("message");
    QTest::newRow("file changed after the check")
        << "change"
        << "wurde nach dem Prüfen verändert. Es wurde nichts importiert; bitte die Datei erneut prüfen.";
    QTest::newRow("check cancelled") << "cancel"
                                     << "wurde abgebrochen; es wurde nichts verändert.";
}

// "Importieren" imports the file the user saw checked, or nothing; the check
// shows its progress and can be cancelled.
void TestExtras::importTakesOnlyWhatWasChecked() {
    QFETCH(QString, what);
    QFETCH(QString, message);
    const QString file =
        write(QStringLiteral("kunden.csv"), "Nummer;Firma;Kundengruppe\r\n12;Zwölf;Allgmein\r\n");
    TDatenImport dialog;
    dialog.prepare();
    TDatenImport::ChooseFile = [&](QWidget*, const QString&) { return file; };
    QString label;
    bool cancelButton = false;
    QTimer watch;
    watch.setInterval(0);
    connect(&watch, &QTimer::timeout, this, [&] {
        auto* busy = dialog.findChild<QProgressDialog*>(QStringLiteral("ProgressDialog"));
        if (!busy || !busy->isVisible())
            return;
        label = busy->labelText();
        cancelButton = busy->findChild<QPushButton*>() != nullptr;
        if (what == QLatin1String("cancel"))
            busy->cancel();
    });
    watch.start();
    Child<QPushButton>(&dialog, "BitBtnDatei")->click();
    watch.stop();
    QCOMPARE(label, QStringLiteral("Die Datei kunden.csv wird geprüft …"));
    QVERIFY(cancelButton);
    if (what == QLatin1String("cancel")) {
        QVERIFY(Child<QLabel>(&dialog, "LabSumme")->text().endsWith(message));
        QVERIFY(!Child<QPushButton>(&dialog, "BitBtnImport")->isEnabled());
        return;
    }
    write(QStringLiteral("kunden.csv"),
          "Nummer;Firma;Kundengruppe\r\n12;Zwölf;Allgmein\r\n13;Dreizehn;Allgmein\r\n");
    QVERIFY(!dialog.BitBtnImportClick());
    QCOMPARE(db.messages->lastText(), QStringLiteral("Die Datei ") + file + u' ' + message);
    QCOMPARE(raw(QStringLiteral("select count(*) from Kunde")), QStringLiteral("1"));
}

void TestExtras::backupAndRestoreMessages_data() {
    QTest::addColumn<QString>("what");
    QTest::addColumn<QString>("message");
    QTest::newRow("backup") << "backup"
                            << "Die Daten wurden in %1 gesichert.";
    QTest::newRow("backup into a missing folder") << "backup-fails"
                                                  << "Die Daten konnten nicht gesichert werden!\n";
    QTest::newRow("restore") << "restore"
                             << "Die Daten wurden aus %1 rückgesichert.\nDie bisherigen Daten wurden in ";
    QTest::newRow("restore declined") << "restore-no"
                                      << "";
    QTest::newRow("restore of a text file")
        << "restore-fails"
        << "Die Daten konnten nicht rückgesichert werden!\nDie Datei %1 ist keine lesbare";
}

void TestExtras::backupAndRestoreMessages() {
    QFETCH(QString, what);
    QFETCH(QString, message);
    QString file = tmp(QStringLiteral("Quorvent-Sicherung.DB"));
    if (what == QLatin1String("backup-fails"))
        file = tmp(QStringLiteral("fehlt/x.DB"));
    QString proposed;
    ChooseBackupTarget = ChooseRestoreFile = [&](QWidget*, const QString& current) {
        proposed = current;
        return file;
    };
    bool pagesShown = false;
    if (what == QLatin1String("backup") || what == QLatin1String("backup-fails")) {
        QCOMPARE(DatenSichern(nullptr), what == QLatin1String("backup"));
        QCOMPARE(proposed, DefaultBackupFileName());
    } else {
        if (what == QLatin1String("restore-fails"))
            write(QStringLiteral("Quorvent-Sicherung.DB"), QByteArray("keine Datenbank\n").repeated(200));
        else
            dm->SQLiteDB1.BackupTo(file);
        dm->SQLiteDB1.ExecSQL(QStringLiteral("update Kunde set Firma = 'Geändert' where KundenID = 0"));
        db.messages->answers.enqueue(what == QLatin1String("restore-no") ? Messages::No : Messages::Yes);
        DatenRuecksichern(nullptr, [&] { pagesShown = true; });
        QCOMPARE(db.messages->boxes[0].kind, Messages::Question);
        QCOMPARE(db.messages->boxes[0].defaultAnswer, Messages::No);
        const bool restored = what == QLatin1String("restore");
        QCOMPARE(raw(QStringLiteral("select Firma from Kunde where KundenID = 0")),
                 restored ? QStringLiteral("Musterfirma") : QStringLiteral("Geändert"));
        QCOMPARE(pagesShown, restored || what == QLatin1String("restore-fails"));
        QCOMPARE(db.messages->boxes.size(), what == QLatin1String("restore-no") ? 1 : 2);
        db.messages->boxes.removeFirst();
    }
    if (message.isEmpty())
        return;
    QCOMPARE(db.messages->boxes.size(), 1);
    QVERIFY2(db.messages->boxes[0].text.startsWith(message.contains(QStringLiteral("%1")) ? message.arg(file)
                                                                                          : message),
             qPrintable(db.messages->boxes[0].text));
}

void TestExtras::copyProgress_data() {
    QTest::addColumn<QString>("what");
    QTest::newRow("backup") << "backup";
    QTest::newRow("backup cancelled") << "cancel";
    QTest::newRow("restore") << "restore";
}

// A file of some megabytes: the progress window follows the copy to its end,
// and cancelling a backup leaves no file and tells so without an error.
void TestExtras::copyProgress() {
    QFETCH(QString, what);
    dm->SQLiteDB1.ExecSQL(QStringLiteral("create table Ballast (Daten blob)"));
    dm->SQLiteDB1.ExecSQL(QStringLiteral("insert into Ballast values (randomblob(3000000))"));
    const QString file = tmp(QStringLiteral("Sicherung.DB"));
    ChooseBackupTarget = ChooseRestoreFile = [&](QWidget*, const QString&) { return file; };
    if (what == QLatin1String("restore")) {
        dm->SQLiteDB1.BackupTo(file);
        db.messages->answers.enqueue(Messages::Yes);
    }

    QString label;
    int steps = 0, value = -1, maximum = 0;
    bool cancelButton = false;
    QTimer watch;
    watch.setInterval(0);
    connect(&watch, &QTimer::timeout, this, [&] {
        for (QWidget* w : QApplication::topLevelWidgets()) {
            auto* dialog = qobject_cast<QProgressDialog*>(w);
            if (!dialog || !dialog->isVisible() || dialog->objectName() != QLatin1String("ProgressDialog"))
                continue;
            label = dialog->labelText();
            cancelButton = dialog->findChild<QPushButton*>() != nullptr;
            if (dialog->value() != value)
                ++steps;
            value = dialog->value();
            maximum = dialog->maximum();
            if (what == QLatin1String("cancel"))
                dialog->cancel();
        }
    });
    const int delay = CopyProgressDelay;
    CopyProgressDelay = 0;
    watch.start();
    if (what == QLatin1String("restore"))
        QVERIFY(DatenRuecksichern(nullptr, [] {}));
    else
        QCOMPARE(DatenSichern(nullptr), what == QLatin1String("backup"));
    watch.stop();
    CopyProgressDelay = delay;

    QVERIFY(!label.isEmpty());
    const ScriptedMessages::Box last = db.messages->boxes.last();
    QCOMPARE(last.kind, Messages::Information);
    if (what == QLatin1String("cancel")) {
        QCOMPARE(label, QStringLiteral("Die Daten werden gesichert …"));
        QVERIFY(cancelButton);
        QCOMPARE(last.text, QStringLiteral("Die Sicherung wurde abgebrochen."));
        QVERIFY(value < maximum);
        QCOMPARE(QDir(work->path()).entryList(QDir::Files), QStringList());
        return;
    }
    QCOMPARE(label, what == QLatin1String("restore") ? QStringLiteral("Die Daten werden rückgesichert …")
                                                     : QStringLiteral("Die Daten werden gesichert …"));
    QCOMPARE(cancelButton, what != QLatin1String("restore"));
    QVERIFY2(steps >= 3, qPrintable(QString::number(steps)));
    QCOMPARE(value, maximum);
    // The copy, or after a restore the open database, holds the big row.
    QCOMPARE(OldDatabases::RawRows(what == QLatin1String("restore") ? dm->SQLiteDB1.FileName : file,
                                   QStringLiteral("select length(Daten) from Ballast")),
             QStringLiteral("3000000"));
}

void TestExtras::settingsPageKeepsBackupSettings() {
    TEinAllg page;
    QVERIFY(page.ShowPage());
    // A new database: on, ten copies.
    QVERIFY(Child<QCheckBox>(&page, "CBAutoSicherung")->isChecked());
    QCOMPARE(Child<QSpinBox>(&page, "SEAutoSicherungAnzahl")->value(), 10);
    Child<QLineEdit>(&page, "EditDB")->setText(dm->SQLiteDB1.FileName);
    Child<QCheckBox>(&page, "CBAutoSicherung")->setChecked(false);
    Child<QSpinBox>(&page, "SEAutoSicherungAnzahl")->setValue(3);
    Child<QPushButton>(&page, "BitBtnSpeichern")->click();
    QCOMPARE(raw(QStringLiteral(
                 "select AllgID, AllgWert from set_allg where AllgID like 'AutoSicherung%' order by 1")),
             QStringLiteral("AutoSicherung|N\nAutoSicherungAnzahl|3"));
    QVERIFY(BackupOnClose(*dm).isEmpty());
    QVERIFY(page.ShowPage());
    QVERIFY(!Child<QCheckBox>(&page, "CBAutoSicherung")->isChecked());
    QCOMPARE(Child<QSpinBox>(&page, "SEAutoSicherungAnzahl")->value(), 3);
}

void TestExtras::shownListExport() {
    QTreeWidget list;
    list.setHeaderLabels({QStringLiteral("Kunde"), QStringLiteral("Umsatz")});
    list.addTopLevelItem(
        new QTreeWidgetItem(QStringList{QStringLiteral("2 - Huber; Anna"), QStringLiteral("1.234,50")}));
    // A credit note: a negative amount stays a number, a name a spreadsheet
    // would run as a formula does not.
    list.addTopLevelItem(
        new QTreeWidgetItem(QStringList{QStringLiteral("=3 - Gutschrift"), QStringLiteral("-1.234,50")}));
    list.addTopLevelItem(new QTreeWidgetItem(QStringList{QStringLiteral("Gesamt"), QStringLiteral("0,00")}));
    const QString file = tmp(QStringLiteral("Umsatz.csv"));
    QString proposed;
    ChooseListFile = [&](QWidget*, const QString& current) {
        proposed = current;
        return file;
    };
    QVERIFY(ExportList(nullptr, &list, QStringLiteral("Umsatz pro Kunde")));
    QVERIFY(proposed.endsWith(QStringLiteral("/Umsatz pro Kunde.csv")));
    QFile f(file);
    QVERIFY(f.open(QIODevice::ReadOnly));
    QCOMPARE(
        f.readAll(),
        QByteArray("\xEF\xBB\xBF") +
            QStringLiteral("Kunde;Umsatz\r\n\"2 - Huber; Anna\";1.234,50\r\n'=3 - Gutschrift;-1.234,50\r\n"
                           "Gesamt;0,00\r\n")
                .toUtf8());
    QCOMPARE(db.messages->lastText(),
             QStringLiteral("Die Liste wurde in die Datei ") + file + QStringLiteral(" exportiert."));
}

QTEST_MAIN(TestExtras)
#include "tst_extras.moc"
