// A new database file: the final layout, the default rows and the upgrade copies.
#include "OldDatabases.h"
#include "TestSupport.h"
#include "UDM.h"

#include <QDir>
#include <QtTest>

#include <sqlite3.h>

using OldDatabases::RawRows;

class TestSchema : public QObject {
    Q_OBJECT

    std::unique_ptr<TempDataHome> FHome;
    std::unique_ptr<TDM> FDM;
    QString FFile;

private slots:
    // One new file serves every test here: none of them changes it.
    void initTestCase() {
        FHome = std::make_unique<TempDataHome>();
        FDM = std::make_unique<TDM>();
        QDir().mkpath(FHome->dataFolder());
        FFile = FHome->dataFolder() + QStringLiteral("Quorvent.DB");
        FDM->OpenDatabaseFile(FFile);
    }
    void cleanupTestCase() {
        FDM.reset();
        FHome.reset();
    }

    void finalLayout_data();
    void finalLayout();
    void everyTableAndNoLeftovers();
    void defaultRows_data();
    void defaultRows();
    void styleZeroIsCopyOfStyleOne();
    void newFileGetsNoUpgradeCopies();
    void upToDateFileIsOnlyRead();
};

void TestSchema::finalLayout_data() {
    QTest::addColumn<QString>("table");
    QTest::addColumn<QString>("columns");
    // name, declared type, NN for NOT NULL, PKn for the n-th key column.
    QTest::newRow("set_allg") << "set_allg"
                              << "AllgID VARCHAR(30) NN PK1, AllgWert VARCHAR(30)";
    QTest::newRow("set_db") << "set_db"
                            << "DBID INTEGER NN PK1, Caption VARCHAR(30) NN, Version INTEGER NN, LastUpdate "
                               "DATETIME NN";
    QTest::newRow("set_file") << "set_file"
                              << "FileID VARCHAR(20) NN PK1, FileName VARCHAR(250)";
    QTest::newRow("set_nummer") << "set_nummer"
                                << "NumTyp VARCHAR(20) NN PK1, NumBez VARCHAR(100) NN, Nummer INTEGER NN";
    QTest::newRow("set_recht")
        << "set_recht"
        << "Funktion VARCHAR(30) NN PK1, Bezeichnung VARCHAR(50) NN, Berechtigt CHAR(1) NN";
    QTest::newRow("set_style")
        << "set_style"
        << "StyleID INTEGER NN PK1, Object VARCHAR(50) NN PK2, BGColor INTEGER, BGHLColor "
           "INTEGER, FontColor INTEGER, FontHLColor INTEGER, Colors VARCHAR(200)";
    QTest::newRow("Anrede") << "Anrede"
                            << "AnredeID INTEGER NN PK1, AnredeBez VARCHAR(50) NN";
    QTest::newRow("Titel") << "Titel"
                           << "TitelID INTEGER NN PK1, TitelBez VARCHAR(50) NN";
    QTest::newRow("Land") << "Land"
                          << "LandID INTEGER NN PK1, LandBez VARCHAR(100) NN";
    QTest::newRow("Einheit") << "Einheit"
                             << "EinheitID INTEGER NN PK1, EinheitBez VARCHAR(10) NN";
    QTest::newRow("MWSt") << "MWSt"
                          << "MWStID INTEGER NN PK1, MWStSatz NUMERIC(5,2) NN";
    QTest::newRow("ArtikelGruppe") << "ArtikelGruppe"
                                   << "ArtGruID INTEGER NN PK1, ArtGruBez VARCHAR(100) NN";
    QTest::newRow("KundenGruppe") << "KundenGruppe"
                                  << "KunGruID INTEGER NN PK1, KunGruBez VARCHAR(100) NN";
    QTest::newRow("Geschaeft")
        << "Geschaeft"
        << "GesID INTEGER NN PK1, Anrede VARCHAR(50), Name VARCHAR(100), Strasse VARCHAR(100), PLZ "
           "VARCHAR(10), Ort "
           "VARCHAR(100), Telefon VARCHAR(50), Mobil VARCHAR(50), Fax VARCHAR(50), Email VARCHAR(100), Web "
           "VARCHAR(100), UIDNr VARCHAR(20), BankName1 VARCHAR(100), BankKonto1 VARCHAR(20), BLZ1 "
           "VARCHAR(10), IBAN1 "
           "CHAR(30), BIC1 CHAR(30), BankName2 VARCHAR(100), BankKonto2 VARCHAR(20), BLZ2 VARCHAR(10), IBAN2 "
           "CHAR(30), BIC2 CHAR(30), Firmenbuch VARCHAR(20), PreisandruckenL CHAR(1), MailText TEXT, "
           "AndruckLeerzeilen INTEGER, PosNrFortlaufend CHAR(1), Skonto VARCHAR(100), Skonto2 VARCHAR(100), "
           "SkontoO "
           "CHAR(1), SkontoA CHAR(1), SkontoL CHAR(1), SkontoR CHAR(1), SkontoT CHAR(1), SkontoG CHAR(1), "
           "SkontoZ "
           "CHAR(1), SkontoB CHAR(1), KopfTextO TEXT, KopfVorPosO CHAR(1), KopfTextA TEXT, KopfVorPosA "
           "CHAR(1), "
           "KopfTextL TEXT, KopfVorPosL CHAR(1), KopfTextR TEXT, KopfVorPosR CHAR(1), KopfTextT TEXT, "
           "KopfVorPosT "
           "CHAR(1), KopfTextG TEXT, KopfVorPosG CHAR(1), KopfTextZ TEXT, KopfVorPosZ CHAR(1), KopfTextB "
           "TEXT, "
           "KopfVorPosB CHAR(1), FussTextO TEXT, FussNachPosO CHAR(1), FussTextA TEXT, FussNachPosA CHAR(1), "
           "FussTextL TEXT, FussNachPosL CHAR(1), FussTextR TEXT, FussNachPosR CHAR(1), FussTextT TEXT, "
           "FussNachPosT CHAR(1), FussTextG TEXT, FussNachPosG CHAR(1), FussTextZ TEXT, FussNachPosZ "
           "CHAR(1), "
           "FussTextB TEXT, FussNachPosB CHAR(1), SkontoS CHAR(1), KopfTextS TEXT, KopfVorPosS CHAR(1), "
           "FussTextS "
           "TEXT, FussNachPosS CHAR(1)";
    QTest::newRow("Kunde")
        << "Kunde"
        << "KundenID INTEGER NN PK1, AnredeID INTEGER NN, TitelID INTEGER NN, Firma VARCHAR(100), "
           "Nachname VARCHAR(100), Vorname VARCHAR(100), Strasse VARCHAR(100), PLZ VARCHAR(10), "
           "Ort VARCHAR(100), LandID INTEGER NN, Telefon VARCHAR(50), Mobil VARCHAR(50), Fax "
           "VARCHAR(50), Email VARCHAR(100), Geburtsdatum DATE, Erfassungsdatum DATE, KunGruID "
           "INTEGER NN, ATUNr VARCHAR(20), Anmerkung TEXT, Aktiv CHAR(1) NN, Rabatt NUMERIC(3,2), "
           "Skonto NUMERIC(3,2), Netto CHAR(1), UIDNr VARCHAR(20), Zusatzname VARCHAR(100), "
           "KonzernID INTEGER, HaendlerID INTEGER";
    QTest::newRow("Artikel")
        << "Artikel"
        << "ArtikelID INTEGER NN PK1, ArtGruID INTEGER NN, ArtKurzBez VARCHAR(100) NN, ArtBez "
           "TEXT NN, Aktiv CHAR(1) NN, LieferantenID INTEGER, BereichEK char(1), BereichVK "
           "char(1), Zwischensumme CHAR(1)";
    QTest::newRow("ArtPreis")
        << "ArtPreis"
        << "ArtikelID INTEGER NN PK1, PreisID INTEGER NN PK2, PreisBez VARCHAR(100), PreisBez2 "
           "VARCHAR(100), Menge NUMERIC(6,2) NN, EinheitID INTEGER NN, Wert NUMERIC(6,2) NN, "
           "MWStSatz NUMERIC(5,2) NN";
    QTest::newRow("Kopf")
        << "Kopf"
        << "KopfTyp CHAR(1) NN PK1, KopfID INTEGER NN PK2, KundenID INTEGER NN, KunGruID INTEGER "
           "NN, KopfBez VARCHAR(100), Rabatt NUMERIC(3,2), Skonto NUMERIC(3,2), Status CHAR(1), "
           "Datum DATETIME NN, Anmerkung TEXT, RefTyp CHAR(1), RefID INTEGER, Netto CHAR(1), "
           "DruDatID INTEGER, Datum2 DATETIME, KopfText TEXT, FussText TEXT, KopfTextVorPos "
           "CHAR(1), FussTextNachPos CHAR(1), SubkundenID INTEGER";
    QTest::newRow("PosDaten")
        << "PosDaten"
        << "KopfTyp CHAR(1) NN PK1, KopfID INTEGER NN PK2, PosID INTEGER NN PK3, ArtikelID "
           "INTEGER NN, PosKurzBez VARCHAR(100) NN, PosBez TEXT NN, Zwischensumme CHAR(1)";
    QTest::newRow("PosPreis")
        << "PosPreis"
        << "KopfTyp CHAR(1) NN PK1, KopfID INTEGER NN PK2, PosID INTEGER NN PK3, PreisID "
           "INTEGER NN PK4, PreisBez VARCHAR(100), PreisBez2 VARCHAR(100), Menge NUMERIC(6,2) "
           "NN, EinheitID INTEGER NN, Wert NUMERIC(6,2) NN, Rabatt NUMERIC(3,2), MWStSatz "
           "NUMERIC(5,2) NN";
    QTest::newRow("Druckdatum") << "Druckdatum"
                                << "DruDatID INTEGER NN PK1, DruDatBez VARCHAR(100) NN";
    QTest::newRow("KopfText") << "KopfText"
                              << "KopfTextID INTEGER NN PK1, KopfTextBez VARCHAR(100) NN, KopfTextText TEXT, "
                                 "KopfTextVorPos CHAR(1)";
    QTest::newRow("FussText") << "FussText"
                              << "FussTextID INTEGER NN PK1, FussTextBez VARCHAR(100) NN, FussTextText TEXT, "
                                 "FussTextNachPos CHAR(1)";
    QTest::newRow("LieferantenGruppe") << "LieferantenGruppe"
                                       << "LieGruID INTEGER NN PK1, LieGruBez VARCHAR(100) NN";
    QTest::newRow("Lieferant")
        << "Lieferant"
        << "LieferantenID INTEGER NN PK1, Firma VARCHAR(200) NN, Strasse VARCHAR(100), PLZ VARCHAR(10), Ort "
           "VARCHAR(100), LandID INTEGER NN, Telefon VARCHAR(50), Fax VARCHAR(50), Email VARCHAR(100), "
           "Erfassungsdatum DATE, Rabatt NUMERIC(3,2), Skonto NUMERIC(3,2), Bank VARCHAR(100), BLZ "
           "VARCHAR(10), "
           "Konto VARCHAR(20), IBAN VARCHAR(30), BIC VARCHAR(30), LieGruID INTEGER NN, UIDNr VARCHAR(20), "
           "AnspAnredeID INTEGER NN, AnspTitelID INTEGER NN, AnspNachname VARCHAR(100), AnspVorname "
           "VARCHAR(100), "
           "AnspTelefon VARCHAR(50), AnspMobil VARCHAR(50), AnspEmail VARCHAR(100), Geburtsdatum DATE, "
           "Anmerkung "
           "TEXT, Aktiv CHAR(1) NN, KundenNr VARCHAR(30)";
    QTest::newRow("Ausdruck")
        << "Ausdruck"
        << "AusdruckID INTEGER NN PK1, ZeilenID INTEGER NN PK2, PosID INTEGER, PosBez TEXT, "
           "PosBez2 TEXT, PreisBez VARCHAR(100), PreisBez2 VARCHAR(100), Menge VARCHAR(10), "
           "EinheitBez VARCHAR(10), Wert VARCHAR(20), Rabatt VARCHAR(10), Summe TEXT";
    QTest::newRow("DruckElement")
        << "DruckElement"
        << "DEID INTEGER NN PK1, Left INTEGER NN, Top INTEGER NN, Width INTEGER NN, Height "
           "INTEGER NN, Visible CHAR(1) NN, Hide CHAR(1) NN, Title VARCHAR(30)";
}

void TestSchema::finalLayout() {
    QFETCH(QString, table);
    QFETCH(QString, columns);
    const QStringList rows =
        RawRows(FFile, QStringLiteral("select name, type, \"notnull\", pk from pragma_table_info('") + table +
                           QStringLiteral("') order by cid"))
            .split(u'\n');
    QStringList actual;
    for (const QString& row : rows) {
        const QStringList v = row.split(u'|');
        QCOMPARE(v.size(), 4);
        QString column = v[0] + u' ' + v[1];
        if (v[2] == QLatin1String("1"))
            column += QStringLiteral(" NN");
        if (v[3] != QLatin1String("0"))
            column += QStringLiteral(" PK") + v[3];
        actual << column;
    }
    QCOMPARE(actual.join(QStringLiteral(", ")), columns);
}

void TestSchema::everyTableAndNoLeftovers() {
    // 27 tables, the 2 that keep issued documents, the customers' e-invoice settings, SQLite's own
    // sequence table; no temporary table of a rebuild survives.
    QCOMPARE(
        RawRows(FFile, QStringLiteral("select count(*) from sqlite_master where type = 'table' and name <> "
                                      "'sqlite_sequence'")),
        QStringLiteral("30"));
    QCOMPARE(
        RawRows(FFile, QStringLiteral("select count(*) from sqlite_master where name like '%Temp' or name = "
                                      "'Geschaeft2'")),
        QStringLiteral("0"));
    QVERIFY(!FDM->SQLiteDB1.InTransaction());
}

void TestSchema::defaultRows_data() {
    const QString today = QDate::currentDate().toString(QStringLiteral("yyyy-MM-dd"));
    QTest::addColumn<QString>("sql");
    QTest::addColumn<QString>("rows");
    QTest::newRow("set_db") << "select DBID, Caption, Version from set_db"
                            << "1|Datenbank-Version|16";
    QTest::newRow("set_allg") << "select * from set_allg"
                              << "StoreWindow|J";
    QTest::newRow("set_file") << "select * from set_file order by FileID"
                              << "DatenExportFile|<NULL>\nDatenImportFile|<NULL>";
    QTest::newRow("set_nummer")
        << "select * from set_nummer order by rowid"
        << "KundenID|Kundennummer|1\nArtikelID|Artikelnummer|1\nKopfIDO|Angebotsnummer|1\n"
           "KopfIDA|Auftragsnummer|1\nKopfIDL|Lieferscheinnummer|1\nKopfIDR|Rechnungssnummer|"
           "1\nAusdruckID|Ausdrucksnummer|1\nKopfIDG|Gutschriftsnummer|1\nLieferantenID|"
           "Lieferantennummer|1\nKopfIDB|Bestellungsnummer|1\nKopfIDT|Teilrechnungsnummer|1\n"
           "KopfIDS|Stornorechnungssnummer|1";
    QTest::newRow("set_recht")
        << "select * from set_recht order by rowid"
        << "Allgemein|Allgemeine Stammdaten|J\nAnschrift|Firmendaten / Andruck|J\n"
           "DatenExport|Daten exportieren|N\nDatenImport|Daten importieren|N\n"
           "DBRueck|Daten rücksichern|N\nDBSich|Daten sichern|J\n"
           "EinAllg|Allgemeine Einstellungen|N\nEinRecht|Berechnungen ändern|N\n"
           "EinStyle|Styles|J\nKennwort|Wendoxal|X\nStatistik|Statistik / Auswertungen|J";
    QTest::newRow("Anrede") << "select * from Anrede"
                            << "1| \n2|Firma\n3|Frau\n4|Herr";
    QTest::newRow("Titel") << "select * from Titel"
                           << "1| \n2|DI\n3|Dr.\n4|Ing.\n5|Mag.";
    QTest::newRow("Land") << "select * from Land"
                          << "1| \n2|Österreich\n3|Deutschland\n4|Schweiz";
    QTest::newRow("Einheit") << "select * from Einheit"
                             << "1| \n2|Stk\n3|Ltr\n4|Pkg\n5|Lfm\n6|h";
    QTest::newRow("MWSt") << "select * from MWSt"
                          << "1|20\n2|10\n3|0";
    QTest::newRow("Druckdatum") << "select * from Druckdatum"
                                << "1|Druckdatum\n2|Lieferdatum\n3|Abholung";
    QTest::newRow("groups")
        << "select (select group_concat(KunGruBez) from KundenGruppe), (select "
           "group_concat(ArtGruBez) from ArtikelGruppe), (select group_concat(LieGruBez) from "
           "LieferantenGruppe)"
        << "Allgmein|Allgemein|Allgmein";
    QTest::newRow("customer 0")
        << "select * from Kunde"
        << "0|1|1|Musterfirma|<NULL>|<NULL>|Musterstrasse 1|1234|Musterort|1|<NULL>|<NULL>|"
           "<NULL>|<NULL>|" +
               today + u'|' + today + "|1|<NULL>|<NULL>|J|<NULL>|<NULL>|N|<NULL>|<NULL>|0|0";
    QTest::newRow("article 0") << "select * from Artikel"
                               << "0|1|Rest|Rest|J|0|N|J|N";
    QTest::newRow("article 0 price") << "select * from ArtPreis"
                                     << "0|1|<NULL>|<NULL>|1|1|10|20";
    QTest::newRow("supplier 0")
        << "select LieferantenID, Firma, LandID, Erfassungsdatum, LieGruID, AnspAnredeID, "
           "AnspTitelID, Geburtsdatum, Aktiv, KundenNr from Lieferant"
        << "0|Verkauf|1|" + today + "|1|1|1|" + today + "|J|<NULL>";
    QTest::newRow("no documents")
        << "select (select count(*) from Kopf) + (select count(*) from PosDaten) + "
           "(select count(*) from PosPreis) + (select count(*) from Ausdruck) + (select "
           "count(*) from KopfText) + (select count(*) from FussText)"
        << "0";
    QTest::newRow("company address") << "select GesID, Anrede, Name, Strasse, PLZ, Ort, Telefon, Mobil, Fax, "
                                        "UIDNr, Firmenbuch from Geschaeft"
                                     << "1|Firma|Mustername|Musterstraße 123|1234|Musterort|01234 / 56789 - "
                                        "0|0664 / 1234567|01234 / 56789 - "
                                        "1|ATU  12345678|<NULL>";
    QTest::newRow("company banks")
        << "select BankName1, BankKonto1, BLZ1, IBAN1, BIC1, BankName2, BankKonto2, BLZ2, IBAN2, BIC2 from "
           "Geschaeft"
        << "Musterbank 1|1234567|12345|<NULL>|<NULL>|Musterbank 2|987654321|98765|<NULL>|<NULL>";
    QTest::newRow("company print options")
        << "select Skonto, Skonto2, PreisandruckenL, AndruckLeerzeilen, PosNrFortlaufend from Geschaeft"
        << "Zahlbar innerhalb von 10 Tagen mit %1 Skonto (%2).|Zahlbar innerhalb von 10 Tagen ohne "
           "Abzug.|J|1|J";
    QTest::newRow("company per type")
        << "select SkontoO||SkontoA||SkontoL||SkontoR||SkontoT||SkontoS||SkontoG||SkontoZ||SkontoB, "
           "KopfVorPosO||KopfVorPosA||KopfVorPosL||KopfVorPosR||KopfVorPosT||KopfVorPosS||KopfVorPosG||"
           "KopfVorPosZ||"
           "KopfVorPosB, FussNachPosO||FussNachPosA||FussNachPosL||FussNachPosR||FussNachPosT||FussNachPosS||"
           "FussNachPosG||FussNachPosZ||FussNachPosB, coalesce(KopfTextO, KopfTextA, KopfTextL, KopfTextR, "
           "KopfTextT, KopfTextS, KopfTextG, KopfTextZ, KopfTextB, FussTextO, FussTextA, FussTextL, "
           "FussTextR, "
           "FussTextT, FussTextS, FussTextG, FussTextZ, FussTextB, '') from Geschaeft"
        << "JJJJJNNJJ|NNNNNNNNN|NNNNNNNNN|";
    QTest::newRow("mail text")
        << "select MailText like 'Sollten Sie den zur Anzeige erforderlichen Acrobat Reader "
           "noch nicht%installiert haben, können Sie ihn hier gratis downloaden:%http%' from "
           "Geschaeft"
        << "1";
    QTest::newRow("print elements moved by step 14")
        << "select DEID, Left, Top from DruckElement where DEID in (20, 32, 34, 35) order by DEID"
        << "20|2|50\n32|128|31\n34|11|21\n35|11|31";
    QTest::newRow("print elements kept")
        << "select * from DruckElement where DEID in (0, 1, 3, 4, 33, 37, 38, 39) order by DEID"
        << "0|15|9|180|271|Y|N|Druckbereich\n1|157|284|38|0|Y|N|Seitenanzahl\n3|78|0|101|0|Y|Y|Logo1\n"
           "4|0|0|10|0|N|Y|Logo2\n33|51|220|0|51|Y|N|Fussbereich\n37|0|47|180|0|Y|N|IBAN/BIC\n"
           "38|117|50|61|0|N|N|Dokumentname\n39|2|94|176|0|Y|N|Rechnungsbezug";
    QTest::newRow("style 1")
        << "select Object, BGColor, BGHLColor, FontColor, FontHLColor, length(Colors), substr(Colors, 1, 8) "
           "from "
           "set_style where StyleID = 1 order by Object"
        << "Button|14803425|<NULL>|0|<NULL>|<NULL>|<NULL>\nChart|14803425|<NULL>|0|<NULL>|<NULL>|<NULL>\n"
           "CheckBox|14803425|<NULL>|0|<NULL>|<NULL>|<NULL>\nComboBox|16777215|<NULL>|0|<NULL>|<NULL>|<NULL>"
           "\n"
           "CustomColors|<NULL>|<NULL>|<NULL>|<NULL>|128|00D7D7D7\n"
           "DateTimePicker|16777215|<NULL>|0|<NULL>|<NULL>|<NULL>\nEdit|16777215|<NULL>|0|<NULL>|<NULL>|<"
           "NULL>\n"
           "Form|14803425|<NULL>|0|<NULL>|<NULL>|<NULL>\nGrid|16777215|<NULL>|0|<NULL>|8|00E1E1E1\n"
           "GroupBox|14803425|<NULL>|0|<NULL>|<NULL>|<NULL>\nListBox|16777215|<NULL>|0|<NULL>|<NULL>|<NULL>\n"
           "ListView|16777215|<NULL>|0|<NULL>|<NULL>|<NULL>\nMainMenu|<NULL>|<NULL>|<NULL>|<NULL>|152|"
           "00C66931\n"
           "Memo|16777215|<NULL>|0|<NULL>|<NULL>|<NULL>\nNavigation|14145495|<NULL>|0|<NULL>|96|00D7D7D7\n"
           "StatusBar|14803425|<NULL>|0|<NULL>|<NULL>|<NULL>\nStringGrid|16777215|15790320|0|0|8|00E1E1E1\n"
           "TabControl|14803425|14803425|0|0|<NULL>|<NULL>\nTitel|13816530|<NULL>|0|<NULL>|<NULL>|<NULL>";
}

void TestSchema::defaultRows() {
    QFETCH(QString, sql);
    QFETCH(QString, rows);
    QCOMPARE(RawRows(FFile, sql), rows);
}

void TestSchema::styleZeroIsCopyOfStyleOne() {
    QCOMPARE(RawRows(FFile, QStringLiteral("select count(*) from set_style where StyleID = 0")),
             QStringLiteral("19"));
    QCOMPARE(
        RawRows(FFile, QStringLiteral("select count(*) from (select Object, BGColor, BGHLColor, FontColor, "
                                      "FontHLColor, Colors from set_style where StyleID = 0 except select "
                                      "Object, BGColor, BGHLColor, FontColor, FontHLColor, Colors from "
                                      "set_style where StyleID = 1)")),
        QStringLiteral("0"));
}

void TestSchema::newFileGetsNoUpgradeCopies() {
    // Copies of a file created in this run would hold nothing but empty layouts.
    QCOMPARE(QDir(FHome->dataFolder() + QStringLiteral("updatebackup")).entryList(QDir::Files),
             QStringList());
}

void TestSchema::upToDateFileIsOnlyRead() {
    const QString lastUpdate = RawRows(FFile, QStringLiteral("select LastUpdate from set_db"));
    const int changesBefore = sqlite3_total_changes(FDM->SQLiteDB1.Handle());
    FDM->CreateAndUpgradeSchema();
    QCOMPARE(sqlite3_total_changes(FDM->SQLiteDB1.Handle()), changesBefore);
    QCOMPARE(RawRows(FFile, QStringLiteral("select LastUpdate from set_db")), lastUpdate);
    QCOMPARE(QDir(FHome->dataFolder() + QStringLiteral("updatebackup")).entryList(QDir::Files),
             QStringList());
}

QTEST_GUILESS_MAIN(TestSchema)
#include "tst_schema.moc"
