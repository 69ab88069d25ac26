// Upgrading files of older versions: data kept, failures leave the last
// completed version, newer files refused, and the maintenance command.
#include "GlobalFunctions.h"
#include "OldDatabases.h"
#include "TestSupport.h"
#include "UDM.h"

#include "FileNames.h"

#include <sqlite3.h>

#include <QDir>
#include <QTextStream>
#include <QtTest>

#include <unistd.h>

using OldDatabases::RawRows;

class TestUpgrade : public QObject {
    Q_OBJECT

    std::unique_ptr<TempDataHome> FHome;
    QString FFile;

    QStringList Backups() const {
        QStringList list = QDir(FHome->dataFolder() + QStringLiteral("updatebackup")).entryList(QDir::Files);
        list.sort();
        return list;
    }
    static QStringList BackupNames(int from, int to) {
        QStringList list;
        for (int v = from; v <= to; ++v)
            list << QStringLiteral("Quorvent.DB.sic") + QString::number(v);
        list.sort();
        return list;
    }
    QString Rows(const QString& sql) const { return RawRows(FFile, sql); }
    // Changes the file as another program would, without upgrading it.
    void Exec(const QStringList& statements) const {
        TDM dm;
        dm.SQLiteDB1.FileName = FFile;
        dm.SQLiteDB1.Open();
        for (const QString& sql : statements)
            dm.SQLiteDB1.ExecSQL(sql);
    }
    // Runs "quorvent --upgrade" on the file; its output goes to out, its errors to err.
    static int Upgrade(const QString& file, QString* out, QString* err) {
        QTextStream outStream(out), errStream(err);
        return RunUpgradeCommand(file, outStream, errStream);
    }

private slots:
    void init() {
        FHome = std::make_unique<TempDataHome>();
        QDir().mkpath(FHome->dataFolder());
        FFile = FHome->dataFolder() + QStringLiteral("Quorvent.DB");
    }
    void cleanup() { FHome.reset(); }

    void oldFileKeepsItsData_data();
    void oldFileKeepsItsData();
    void articleOneOfTheOldestLayoutBecomesArticleZero();
    void failingStepKeepsLastCompletedVersion_data();
    void failingStepKeepsLastCompletedVersion();
    void newerVersionIsRefused();
    void upgradeCommand_data();
    void upgradeCommand();
    void copiesHoldTheVersionInTheirName_data();
    void copiesHoldTheVersionInTheirName();
    void noUpgradeWithoutCopy_data();
    void noUpgradeWithoutCopy();
    void concurrentStartRunsEachStepOnce_data();
    void concurrentStartRunsEachStepOnce();
    void lostVersionIsTakenFromTheTables_data();
    void lostVersionIsTakenFromTheTables();
    void tablesAheadOfVersionAreRefused_data();
    void tablesAheadOfVersionAreRefused();
    void fileNameThatIsNotUtf8();
};

void TestUpgrade::oldFileKeepsItsData_data() {
    QTest::addColumn<int>("version");
    QTest::addColumn<QStringList>("backups");
    QTest::addColumn<QString>("vat"); // VAT rate of the sample price lines after the upgrade
    QStringList fromZero = BackupNames(2, 15);
    fromZero << QStringLiteral("Quorvent.DB.sic0");
    fromZero.sort();
    QTest::newRow("version 0") << 0 << fromZero << "20";
    QTest::newRow("version 10") << 10 << BackupNames(10, 15) << "10";
}

void TestUpgrade::oldFileKeepsItsData() {
    QFETCH(int, version);
    QFETCH(QStringList, backups);
    QFETCH(QString, vat);
    OldDatabases::Build(FFile, version);
    QCOMPARE(Rows(QStringLiteral("select Version from set_db")), QString::number(version));

    {
        TDM dm;
        dm.OpenDatabaseFile(FFile);
        QCOMPARE(dm.GetDBVersion(), 16);
        QVERIFY(!dm.SQLiteDB1.InTransaction());
    }
    QCOMPARE(Backups(), backups);

    // Customers, with the VAT number moved into UIDNr and the later columns at their defaults.
    QCOMPARE(Rows(QStringLiteral(
                 "select KundenID, AnredeID, TitelID, Firma, Nachname, Vorname, Strasse, PLZ, Ort, "
                 "LandID, Telefon, Email, Geburtsdatum, Erfassungsdatum, KunGruID, ATUNr, UIDNr, "
                 "Anmerkung, Aktiv, Rabatt, Skonto, Netto, KonzernID, HaendlerID from Kunde where "
                 "KundenID > 0 order by KundenID")),
             QStringLiteral("1|2|3|O'Brien & Söhne|Müller|Jörg|Hauptstraße 5|6020|Innsbruck|2|0512 / "
                            "1234|joerg@example.at|1970-02-03|2012-04-05|2|ATU11111111|ATU11111111|Zahlt "
                            "pünktlich|J|5|2|N|0|0\n"
                            "2|1|1|Bäckerei Groß|<NULL>|<NULL>|<NULL>|<NULL>|<NULL>|3|<NULL>|<NULL>|<NULL>|"
                            "<NULL>|1|<NULL>|<NULL>|<NULL>|N|<NULL>|<NULL>|N|0|0"));
    // Customer 0 is there whatever the file's history, looking like any other customer.
    QCOMPARE(Rows(QStringLiteral("select Firma, KonzernID, Netto, HaendlerID from Kunde where KundenID = 0")),
             QStringLiteral("Musterfirma|0|N|0"));
    QCOMPARE(Rows(QStringLiteral("select KunGruBez from KundenGruppe order by KunGruID")),
             QStringLiteral("Allgmein\nGroßkunden"));
    QCOMPARE(
        Rows(QStringLiteral("select LieferantenID, Firma, LandID, AnspAnredeID, AnspNachname, Aktiv from "
                            "Lieferant order by LieferantenID")),
        QStringLiteral("0|Verkauf|1|1|<NULL>|J\n1|Großhandel Maier|2|4|Maier|J"));

    // Articles: the user's article 1 stays article 1 next to the built-in article 0.
    QCOMPARE(
        Rows(QStringLiteral("select * from Artikel order by ArtikelID")),
        QStringLiteral("0|1|Rest|Rest|J|0|N|J|N\n1|1|Schraube M4|Schraube aus Edelstahl, 4 mm|J|0|N|J|N\n"
                       "2|1|Montage|Montage vor Ort|J|0|N|J|N"));
    QCOMPARE(Rows(QStringLiteral("select * from ArtPreis order by ArtikelID, PreisID")),
             QStringLiteral("0|1|<NULL>|<NULL>|1|1|10|20\n1|1|Stück|<NULL>|100|2|0.15|") + vat +
                 QStringLiteral("\n2|1|Arbeitszeit|Techniker|1|6|45.5|") + vat);

    // Documents with positions and price lines.
    QCOMPARE(
        Rows(QStringLiteral("select KopfTyp, KopfID, KundenID, KunGruID, KopfBez, Rabatt, Skonto, Status, "
                            "Datum, Anmerkung, RefTyp, RefID, Netto, DruDatID, Datum2, KopfTextVorPos, "
                            "FussTextNachPos, SubkundenID from Kopf order by KopfTyp desc")),
        QStringLiteral("R|1|1|2|Rechnung Größe 'L'|5|2|A|2013-05-02 10:11:12|Anmerkung "
                       "ä|<NULL>|<NULL>|N|1|2013-05-02 10:11:12|N|N|0\n"
                       "O|1|2|1|Angebot Bäckerei|<NULL>|<NULL>|E|2013-06-07 "
                       "08:09:10|<NULL>|<NULL>|<NULL>|N|1|2013-06-07 08:09:10|N|N|0"));
    QCOMPARE(Rows(QStringLiteral("select * from PosDaten order by PosID")),
             QStringLiteral("R|1|1|1|Schraube M4|{\\rtf1 Schraube}|N\nR|1|2|2|Montage|{\\rtf1 Montage}|N"));
    QCOMPARE(Rows(QStringLiteral("select * from PosPreis order by PosID")),
             QStringLiteral("R|1|1|1|Stück|<NULL>|200|2|0.15|5|") + vat +
                 QStringLiteral("\nR|1|2|1|Arbeitszeit|<NULL>|2.5|6|45.5|0|") + vat);
    QCOMPARE(Rows(QStringLiteral("select KopfTextText, KopfTextVorPos from KopfText")),
             QStringLiteral("Sehr geehrte Damen und Herren|N"));
    QCOMPARE(Rows(QStringLiteral("select FussTextText, FussTextNachPos from FussText")),
             QStringLiteral("Mit freundlichen Grüßen|N"));

    // Company data: name, banks mapped into the two-account layout, the invoice texts.
    QCOMPARE(
        Rows(QStringLiteral("select Name, UIDNr, BankName1, BankKonto1, BLZ1, BankName2, BLZ2, KopfTextR, "
                            "FussTextR, KopfTextT, FussTextT, KopfTextS, FussTextS from Geschaeft")),
        QStringLiteral("Huber's Werkstätte|ATU  12345678|Musterbank 1|1234567|12345|Musterbank "
                       "2|98765|Vielen Dank für Ihren Auftrag|Grüße aus dem Ötztal|Vielen Dank für Ihren "
                       "Auftrag|Grüße aus dem Ötztal|Vielen Dank für Ihren Auftrag|Grüße aus dem Ötztal"));

    // An old file keeps its payment-terms switches and gets the layout row of the invoice reference.
    QCOMPARE(Rows(QStringLiteral("select SkontoS || SkontoG || (select count(*) from DruckElement where "
                                 "DEID = 39) from Geschaeft")),
             QStringLiteral("JJ1"));

    // Number ranges keep their position; the later ones start at 1.
    QCOMPARE(Rows(QStringLiteral("select NumTyp, Nummer from set_nummer where Nummer > 1 order by NumTyp")),
             QStringLiteral("ArtikelID|3\nKopfIDO|2\nKopfIDR|2\nKundenID|3"));
    QCOMPARE(Rows(QStringLiteral("select count(*) from set_nummer")), QStringLiteral("12"));
}

void TestUpgrade::articleOneOfTheOldestLayoutBecomesArticleZero() {
    // Files of the oldest layout kept the free-position article as number 1.
    OldDatabases::Build(FFile, 0);
    Exec({"delete from ArtPreis where ArtikelID = 0", "delete from Artikel where ArtikelID = 0"});
    TDM().OpenDatabaseFile(FFile);
    QCOMPARE(Rows(QStringLiteral("select ArtikelID, ArtKurzBez from Artikel order by ArtikelID")),
             QStringLiteral("0|Schraube M4\n2|Montage"));
    QCOMPARE(Rows(QStringLiteral("select ArtikelID, PreisID, Wert from ArtPreis order by ArtikelID")),
             QStringLiteral("0|1|0.15\n2|1|45.5"));
    QCOMPARE(Rows(QStringLiteral("select PosID, ArtikelID from PosDaten order by PosID")),
             QStringLiteral("1|0\n2|2"));
}

void TestUpgrade::failingStepKeepsLastCompletedVersion_data() {
    QTest::addColumn<int>("version");
    QTest::addColumn<QString>("conflict");
    QTest::newRow("step 11: temporary price table exists") << 10 << "CREATE TABLE ArtPreisTemp (x)";
    QTest::newRow("step 12: column exists") << 11 << "ALTER TABLE Geschaeft ADD KopfVorPosO CHAR(1)";
    QTest::newRow("step 13: temporary company table exists") << 12 << "CREATE TABLE GeschaeftTemp (x)";
}

void TestUpgrade::failingStepKeepsLastCompletedVersion() {
    QFETCH(int, version);
    QFETCH(QString, conflict);
    OldDatabases::Build(FFile, version);
    const QString tables =
        QStringLiteral("select (select count(*) from Kunde), (select count(*) from Artikel), "
                       "(select count(*) from ArtPreis), (select count(*) from PosPreis), (select "
                       "group_concat(name) from pragma_table_info('Geschaeft')), (select Name "
                       "from Geschaeft)");
    Exec({conflict});
    const QString before = Rows(tables);

    TDM dm;
    dm.SQLiteDB1.FileName = FFile;
    dm.SQLiteDB1.Open();
    QVERIFY_THROWS_EXCEPTION(ESQLiteError, dm.CreateAndUpgradeSchema());
    // No transaction is left behind for later statements to join.
    QVERIFY(!dm.SQLiteDB1.InTransaction());
    QCOMPARE(dm.GetDBVersion(), version);
    dm.SetAllg(QStringLiteral("MailHost"), QStringLiteral("smtp.example.at"));
    dm.SQLiteDB1.Close();

    QCOMPARE(Rows(QStringLiteral("select Version from set_db")), QString::number(version));
    QCOMPARE(Rows(tables), before);
    QCOMPARE(Rows(QStringLiteral("select AllgWert from set_allg where AllgID = 'MailHost'")),
             QStringLiteral("smtp.example.at"));
    QCOMPARE(Backups(), BackupNames(version, version));
}

void TestUpgrade::newerVersionIsRefused() {
    OldDatabases::Build(FFile, 16);
    Exec({"update set_db set Version = 17", "drop table KopfText"});
    TDM dm;
    try {
        dm.OpenDatabaseFile(FFile);
        QFAIL("a database of version 17 was accepted");
    } catch (const ESQLiteError& e) {
        QVERIFY2(e.message().contains(QLatin1String("17")) && e.message().contains(QLatin1String("16")),
                 qPrintable(e.message()));
    }
    QVERIFY(!dm.SQLiteDB1.Connected());
    // Only the missing table was created; nothing else changed, no step ran.
    QCOMPARE(Rows(QStringLiteral("select Version from set_db")), QStringLiteral("17"));
    QCOMPARE(Rows(QStringLiteral("select count(*) from sqlite_master where name = 'KopfText'")),
             QStringLiteral("1"));
    QVERIFY(Backups().isEmpty());
}

void TestUpgrade::upgradeCommand_data() {
    QTest::addColumn<QString>("kind");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("output");
    QTest::newRow("missing file, not created") << "new" << 1 << "";
    QTest::newRow("version 10") << "old" << 0 << "16\n";
    QTest::newRow("version 17") << "newer" << 1 << "";
    QTest::newRow("not a database") << "text" << 1 << "";
    QTest::newRow("folder missing") << "nofolder" << 1 << "";
}

void TestUpgrade::upgradeCommand() {
    QFETCH(QString, kind);
    QFETCH(int, exitCode);
    QFETCH(QString, output);
    QString file = FFile;
    if (kind == QLatin1String("old")) {
        OldDatabases::Build(file, 10);
    } else if (kind == QLatin1String("newer")) {
        OldDatabases::Build(file, 16);
        Exec({"update set_db set Version = 17"});
    } else if (kind == QLatin1String("text")) {
        QFile f(file);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(QByteArray("Das ist keine Datenbank, sondern ein Brief an die Kunden.\n").repeated(100));
    } else if (kind == QLatin1String("nofolder")) {
        file = FHome->path() + QStringLiteral("/gibt/es/nicht/Quorvent.DB");
    }

    QString out, err;
    QCOMPARE(Upgrade(file, &out, &err), exitCode);
    QCOMPARE(out, output);
    if (exitCode == 0) {
        QVERIFY(err.isEmpty());
        QCOMPARE(Rows(QStringLiteral("select Version from set_db")), QStringLiteral("16"));
        // The copies go to the same data folder as the program's.
        QCOMPARE(Backups().isEmpty(), false);
    } else {
        QVERIFY(!err.trimmed().isEmpty());
        if (kind == QLatin1String("new"))
            QVERIFY(!QFileInfo::exists(file));
    }
    QVERIFY(DM == nullptr);
}

void TestUpgrade::copiesHoldTheVersionInTheirName_data() {
    QTest::addColumn<bool>("wal");
    QTest::newRow("rollback journal") << false;
    QTest::newRow("WAL with rows only in the WAL") << true;
}

void TestUpgrade::copiesHoldTheVersionInTheirName() {
    QFETCH(bool, wal);
    OldDatabases::Build(FFile, 10);
    // Another program has the file open and has committed a customer; in WAL
    // mode that row is still only in the WAL file.
    sqlite3* other = nullptr;
    sqlite3_open(QFile::encodeName(FFile).constData(), &other);
    sqlite3_exec(other, "PRAGMA wal_autocheckpoint = 0", nullptr, nullptr, nullptr);
    if (wal)
        sqlite3_exec(other, "PRAGMA journal_mode = WAL", nullptr, nullptr, nullptr);
    sqlite3_exec(other,
                 "INSERT INTO Kunde (KundenID,AnredeID,TitelID,Firma,LandID,KunGruID,Aktiv) values "
                 "(77,1,1,'Im WAL',1,1,'J')",
                 nullptr, nullptr, nullptr);
    if (wal)
        QCOMPARE(OldDatabases::PlainCopyRows(FFile, "select count(*) from Kunde where KundenID = 77"), "0");
    {
        TDM dm;
        dm.OpenDatabaseFile(FFile);
        QCOMPARE(dm.GetDBVersion(), 16);
    }
    sqlite3_close(other);
    QCOMPARE(Backups(), BackupNames(10, 15));
    for (int v = 10; v <= 15; ++v) {
        const QString copy = FHome->dataFolder() + "updatebackup/Quorvent.DB.sic" + QString::number(v);
        QCOMPARE(RawRows(copy, "select Version from set_db"), QString::number(v));
        QCOMPARE(RawRows(copy, "select Firma from Kunde where KundenID = 77"), QStringLiteral("Im WAL"));
        QCOMPARE(RawRows(copy, "PRAGMA journal_mode"), QStringLiteral("delete"));
    }
}

void TestUpgrade::noUpgradeWithoutCopy_data() {
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("reason");
    QTest::newRow("backup folder cannot be created") << "blocked"
                                                     << "Der Ordner %1updatebackup für die Sicherungskopien "
                                                        "konnte nicht angelegt werden!";
    QTest::newRow("copy cannot be stored") << "folder"
                                           << " kopiert werden!";
}

void TestUpgrade::noUpgradeWithoutCopy() {
    QFETCH(QString, kind);
    QFETCH(QString, reason);
    OldDatabases::Build(FFile, 10);
    const QString before = Rows("select * from Kunde order by KundenID");
    const QString backups = FHome->dataFolder() + "updatebackup";
    if (kind == "blocked") {
        QFile blocker(backups);
        QVERIFY(blocker.open(QIODevice::WriteOnly));
    } else if (kind == "folder") {
        QDir().mkpath(backups + "/Quorvent.DB.sic10");
    }
    // The copy is the way back: without it the step does not run, and that is no success.
    QString out, err;
    QCOMPARE(Upgrade(FFile, &out, &err), 1);
    QCOMPARE(out, QString());
    QVERIFY2(err.startsWith("Die Datenbank wurde nicht auf Version 11 aktualisiert, weil vorher keine "
                            "Sicherungskopie angelegt werden konnte.\n"),
             qPrintable(err));
    if (reason.contains("%1"))
        reason = reason.arg(FHome->dataFolder());
    QVERIFY2(err.contains(reason), qPrintable(err));
    QCOMPARE(Rows("select Version from set_db"), "10");
    QCOMPARE(Rows("select * from Kunde order by KundenID"), before);
    if (kind != "blocked")
        QCOMPARE(QDir(backups).entryList(QDir::Files), QStringList());
}

void TestUpgrade::concurrentStartRunsEachStepOnce_data() {
    QTest::addColumn<int>("step"); // the step the second program is about to run when the first one starts
    QTest::newRow("step 3, which has no statements") << 3;
    QTest::newRow("step 11") << 11;
    QTest::newRow("step 16, the last") << 16;
}

void TestUpgrade::concurrentStartRunsEachStepOnce() {
    QFETCH(int, step);
    OldDatabases::Build(FFile, step - 1);
    // The second program has decided to run the step and made its copy; then
    // the first program runs the whole upgrade before it takes the write lock.
    TDM first, second;
    bool firstRan = false;
    second.OnUpgradeStep = [&](int s) {
        if (s == step && !firstRan) {
            firstRan = true;
            first.OpenDatabaseFile(FFile);
        }
    };
    second.OpenDatabaseFile(FFile);
    QVERIFY(firstRan);
    QCOMPARE(first.GetDBVersion(), 16);
    QCOMPARE(second.GetDBVersion(), 16);
    first.SQLiteDB1.Close();
    second.SQLiteDB1.Close();
    QCOMPARE(Rows("select Version from set_db"), "16");
    QCOMPARE(Rows("select count(*) from DruckElement where DEID = 38"), "1");
    QCOMPARE(Rows("select count(*) from set_nummer"), "12");
    // Each copy still holds the version its name gives.
    for (const QString& name : Backups())
        QCOMPARE(RawRows(FHome->dataFolder() + "updatebackup/" + name, "select Version from set_db"),
                 name.section("sic", 1));
    // And the file opens again.
    TDM again;
    again.OpenDatabaseFile(FFile);
    QCOMPARE(again.GetDBVersion(), 16);
}

void TestUpgrade::lostVersionIsTakenFromTheTables_data() {
    QTest::addColumn<int>("version");
    QTest::addColumn<QString>("loss");
    QTest::addColumn<QStringList>("backups");
    QStringList fromZero = BackupNames(2, 15);
    fromZero << QStringLiteral("Quorvent.DB.sic0");
    fromZero.sort();
    QTest::newRow("version 0, row deleted") << 0 << "delete from set_db" << fromZero;
    QTest::newRow("version 10, row deleted") << 10 << "delete from set_db" << BackupNames(10, 15);
    QTest::newRow("version 16, row deleted") << 16 << "delete from set_db" << QStringList();
    QTest::newRow("version 12, table dropped") << 12 << "drop table set_db" << BackupNames(12, 15);
}

void TestUpgrade::lostVersionIsTakenFromTheTables() {
    QFETCH(int, version);
    QFETCH(QString, loss);
    QFETCH(QStringList, backups);
    OldDatabases::Build(FFile, version);
    Exec({loss});
    QString out, err;
    QCOMPARE(Upgrade(FFile, &out, &err), 0);
    QCOMPARE(out, "16\n");
    QCOMPARE(Rows("select DBID, Caption, Version from set_db"), "1|Datenbank-Version|16");
    QCOMPARE(Backups(), backups);
    QCOMPARE(Rows("select Firma from Kunde where KundenID = 1"), OldDatabases::CustomerFirma);
    // The next start finds everything in order and changes nothing.
    QCOMPARE(Upgrade(FFile, &out, &err), 0);
    QCOMPARE(out, "16\n16\n");
    QCOMPARE(Backups(), backups);
}

void TestUpgrade::tablesAheadOfVersionAreRefused_data() {
    QTest::addColumn<int>("layout");
    QTest::addColumn<int>("version");
    // What two programs upgrading at once used to leave: the final tables at version 3.
    QTest::newRow("final tables at version 3") << 16 << 3;
    QTest::newRow("tables of version 12 at version 10") << 12 << 10;
}

void TestUpgrade::tablesAheadOfVersionAreRefused() {
    QFETCH(int, layout);
    QFETCH(int, version);
    OldDatabases::Build(FFile, layout);
    {
        TDM dm;
        dm.SQLiteDB1.FileName = FFile;
        dm.SQLiteDB1.Open();
        dm.SetDBVersion(version);
    }
    const QString before = Rows("select name, sql from sqlite_master order by name");
    TDM dm;
    QCOMPARE(
        ErrorOf([&] { dm.OpenDatabaseFile(FFile); }),
        QStringLiteral("Die Datenbank %1 ist widersprüchlich: In der Tabelle set_db steht die Version %2, "
                       "ihre Tabellen haben aber bereits den Aufbau der Version %3. Die Datenbank wird "
                       "deshalb nicht aktualisiert.")
            .arg(FFile)
            .arg(version)
            .arg(layout));
    QCOMPARE(Rows("select Version from set_db"), QString::number(version));
    QCOMPARE(Rows("select name, sql from sqlite_master order by name"), before);
    QVERIFY(Backups().isEmpty());
}

void TestUpgrade::fileNameThatIsNotUtf8() {
    // "quorvent --upgrade" hands over the name's bytes as they are; the folder
    // and file names are Latin-1.
    const QByteArray folder = QFile::encodeName(FHome->path()) + "/Kunden \xC4nderungen";
    const QString file = DecodeFileName(folder + "/M\xFCller.DB");
    const QString copies = FHome->dataFolder() + "updatebackup/" + DecodeFileName("M\xFCller.DB.sic");
    auto tidy = qScopeGuard([&] { // QTemporaryDir cannot remove what it cannot name
        RemoveFileName(file);
        for (int v = 10; v <= 15; ++v)
            RemoveFileName(copies + QString::number(v));
        ::rmdir(folder.constData());
    });
    QVERIFY(CreateFolderPath(DecodeFileName(folder)));
    OldDatabases::Build(FFile, 10);
    QVERIFY(RenameFileName(FFile, file));

    QString out, err;
    QCOMPARE(Upgrade(file, &out, &err), 0);
    QCOMPARE(out, "16\n");
    // That very file was upgraded (no new one beside it), and its copies keep its name.
    QCOMPARE(OldDatabases::RawEntries(folder), QList<QByteArray>{"M\xFCller.DB"});
    QVERIFY(FileNameExists(copies + "10"));
    TDM dm;
    dm.SQLiteDB1.FileName = file;
    dm.SQLiteDB1.Open();
    QCOMPARE(dm.GetDBVersion(), 16);
    dm.Query1.RunSQL("select Firma from Kunde where KundenID = 1");
    QCOMPARE(dm.Query1.FieldByName("Firma")->AsString(), OldDatabases::CustomerFirma);
    dm.SQLiteDB1.Close();
}

QTEST_GUILESS_MAIN(TestUpgrade)
#include "tst_upgrade.moc"
