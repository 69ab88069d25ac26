// Upgrading files of older versions: data kept, failures leave the last
// completed version, newer files refused, and the maintenance command.
#include "GlobalFunctions.h"
#include "OldDatabases.h"
#include "TestSupport.h"
#include "UDM.h"

#include <QDir>
#include <QTextStream>
#include <QtTest>

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
    QTest::newRow("version 15") << 15 << BackupNames(15, 15) << "10";
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

    // Number ranges keep their position; the later ones start at 1.
    QCOMPARE(Rows(QStringLiteral("select NumTyp, Nummer from set_nummer where Nummer > 1 order by NumTyp")),
             QStringLiteral("ArtikelID|3\nKopfIDO|2\nKopfIDR|2\nKundenID|3"));
    QCOMPARE(Rows(QStringLiteral("select count(*) from set_nummer")), QStringLiteral("12"));
}

void TestUpgrade::articleOneOfTheOldestLayoutBecomesArticleZero() {
    // Files of the oldest layout kept the free-position article as number 1.
    OldDatabases::Build(FFile, 0);
    {
        TDM dm;
        dm.SQLiteDB1.FileName = FFile;
        dm.SQLiteDB1.Open();
        dm.SQLiteDB1.ExecSQL(QStringLiteral("delete from ArtPreis where ArtikelID = 0"));
        dm.SQLiteDB1.ExecSQL(QStringLiteral("delete from Artikel where ArtikelID = 0"));
        dm.CreateAndUpgradeSchema();
    }
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
    {
        TDM dm;
        dm.SQLiteDB1.FileName = FFile;
        dm.SQLiteDB1.Open();
        dm.SQLiteDB1.ExecSQL(conflict);
    }
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
    {
        TDM dm;
        dm.SQLiteDB1.FileName = FFile;
        dm.SQLiteDB1.Open();
        dm.SQLiteDB1.ExecSQL(QStringLiteral("update set_db set Version = 17"));
        dm.SQLiteDB1.ExecSQL(QStringLiteral("drop table KopfText"));
    }
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
    QTest::newRow("new file") << "new" << 0 << "16\n";
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
        TDM dm;
        dm.SQLiteDB1.FileName = file;
        dm.SQLiteDB1.Open();
        dm.SQLiteDB1.ExecSQL(QStringLiteral("update set_db set Version = 17"));
    } else if (kind == QLatin1String("text")) {
        QFile f(file);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(QByteArray("Das ist keine Datenbank, sondern ein Brief an die Kunden.\n").repeated(100));
    } else if (kind == QLatin1String("nofolder")) {
        file = FHome->path() + QStringLiteral("/gibt/es/nicht/Quorvent.DB");
    }

    QString out, err;
    QTextStream outStream(&out), errStream(&err);
    QCOMPARE(RunUpgradeCommand(file, outStream, errStream), exitCode);
    QCOMPARE(out, output);
    if (exitCode == 0) {
        QVERIFY(err.isEmpty());
        QCOMPARE(Rows(QStringLiteral("select Version from set_db")), QStringLiteral("16"));
        // The copies go to the same data folder as the program's.
        QCOMPARE(Backups().isEmpty(), false);
    } else {
        QVERIFY(!err.trimmed().isEmpty());
    }
    QVERIFY(DM == nullptr);
}

QTEST_GUILESS_MAIN(TestUpgrade)
#include "tst_upgrade.moc"
