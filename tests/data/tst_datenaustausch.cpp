// Customers, suppliers and articles through CSV: what goes out comes back in
// byte for byte, and an import refuses exactly the rows the forms would
// refuse, with the reason, and writes nothing of them.
#include "DatabaseFixture.h"
#include "Datenaustausch.h"
#include "OldDatabases.h"
#include "QuorventFunctions.h"
#include "Rtf.h"
#include "TestSupport.h"
#include "UDM.h"

#include <QtTest>

#include <sqlite3.h>

Q_DECLARE_METATYPE(TAustauschArt)

class TestDatenaustausch : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void roundTripIsByteExact_data();
    void roundTripIsByteExact();
    void exportIsSpreadsheetCsv();
    void badRowIsRefusedAlone_data();
    void badRowIsRefusedAlone();
    void previewAndDuplicatesAndLines();
    void existingRecordsOnlyUpdatedWhenAsked();
    void otherEncodingsAreRead_data();
    void otherEncodingsAreRead();
    void brokenFileIsRefusedWhole_data();
    void brokenFileIsRefusedWhole();
    void formulaCellsAreNeutralised_data();
    void formulaCellsAreNeutralised();
    void formattedDescriptionWins_data();
    void formattedDescriptionWins();
    void previewLocksNothingAndCancelChangesNothing_data();
    void previewLocksNothingAndCancelChangesNothing();
    void importIsExactlyThePreview();

private:
    void exec(const QString& sql) { dm->SQLiteDB1.ExecSQL(sql); }
    int count(const QString& sql) { return QueryInt(dm->Query2, sql); }
    QString raw(const QString& sql) { return OldDatabases::RawRows(dm->SQLiteDB1.FileName, sql); }
    static QByteArray Csv(const QStringList& lines) {
        return QByteArray("\xEF\xBB\xBF") + lines.join(QStringLiteral("\r\n")).toUtf8() + "\r\n";
    }
    void fillOddRecords();

    TDatabaseFixture db;
    TDM* dm = nullptr;
};

void TestDatenaustausch::initTestCase() {
    PinGermanLocale();
    TDM::FormattedTextPlain = &Rtf::PlainText;
    db.BuildTemplate();
}

void TestDatenaustausch::init() {
    QVERIFY(db.Open());
    dm = db.dm;
}

void TestDatenaustausch::cleanup() {
    db.Close();
}

// Names a spreadsheet and a CSV reader trip over.
void TestDatenaustausch::fillOddRecords() {
    exec(QStringLiteral("insert into KundeERechnung values (0, 'Bestellung 4711', 'Z')"));
    exec(QStringLiteral(
        "insert into Kunde (KundenID,AnredeID,TitelID,Firma,Nachname,Vorname,Strasse,PLZ,Ort,LandID,Email,"
        "Geburtsdatum,Erfassungsdatum,KunGruID,Anmerkung,Aktiv,Rabatt,Skonto,Netto,UIDNr,KonzernID,"
        "HaendlerID) "
        "values (10,3,3,'\"Bäckerei\" Müller; Söhne',' Groß ','Jörg','Hauptstraße 1','01234','Köln',3,"
        "'a@b.de','1970-02-28','2024-01-31',1,'=HYPERLINK(\"x\")\r\nZeile 2; mit \"Anführung\"\nZeile 3 €',"
        "'J',2.5,3,'J','DE123',20,NULL)"));
    // The parent company has the higher number and comes later in the file.
    exec(QStringLiteral("insert into Kunde (KundenID,AnredeID,TitelID,Firma,LandID,KunGruID,Aktiv,KonzernID,"
                        "HaendlerID) values (20,1,1,'Konzern €-Handel',2,1,'N',0,10)"));
    exec(QStringLiteral(
        "insert into Lieferant (LieferantenID,Firma,LandID,LieGruID,AnspAnredeID,AnspTitelID,"
        "Aktiv,IBAN,KundenNr,Anmerkung,Rabatt,Geburtsdatum) values (5,'Schrauben \"Süd\"; GmbH',"
        "2,1,4,3,'J','DE89 3704','K-7','zwei\nZeilen',12.75,'1980-12-01')"));
    exec(QStringLiteral(
        "insert into Artikel (ArtikelID,ArtGruID,ArtKurzBez,ArtBez,Aktiv,LieferantenID,BereichEK,"
        "BereichVK,Zwischensumme) values (7,1,'Dübel \"6mm\"; grau','{\\rtf1\\ansi Dübel\\par}',"
        "'J',5,'J','J','N')"));
    exec(QStringLiteral("insert into ArtPreis values (7,1,'Stück; lose','€ netto',2.5,2,10.125,20)"));
    exec(QStringLiteral("insert into ArtPreis values (7,2,NULL,NULL,1,6,45,10)"));
    // A discount line: a negative amount, texts a spreadsheet would run.
    exec(QStringLiteral("insert into ArtPreis values (7,3,'-Rabatt','''@alle',1,2,-10.125,20)"));
    exec(QStringLiteral(
        "insert into Artikel (ArtikelID,ArtGruID,ArtKurzBez,ArtBez,Aktiv,LieferantenID,BereichEK,"
        "BereichVK,Zwischensumme) values (8,1,'Ohne Preis','Text',"
        "'N',0,'N','J','J')"));
}

void TestDatenaustausch::roundTripIsByteExact_data() {
    QTest::addColumn<TAustauschArt>("art");
    QTest::newRow("customers") << TAustauschArt::Kunden;
    QTest::newRow("suppliers") << TAustauschArt::Lieferanten;
    QTest::newRow("articles with price lines") << TAustauschArt::Artikel;
}

void TestDatenaustausch::roundTripIsByteExact() {
    QFETCH(TAustauschArt, art);
    fillOddRecords();
    const QByteArray first = ExportCSV(*dm, art);
    // Suppliers first: an article needs its supplier.
    const QByteArray suppliers = ExportCSV(*dm, TAustauschArt::Lieferanten);

    QVERIFY(db.Open()); // a fresh database
    dm = db.dm;
    if (art == TAustauschArt::Artikel)
        QCOMPARE(ImportCSV(*dm, TAustauschArt::Lieferanten, suppliers, true, true).Abgelehnt, 0);
    const TImportErgebnis r = ImportCSV(*dm, art, first, true, true);
    QVERIFY(r.Fehler.isEmpty());
    for (const TImportZeile& z : r.Zeilen)
        QVERIFY2(z.Ergebnis != TImportZeile::Abgelehnt, qPrintable(z.Nummer + u' ' + z.Grund));
    QVERIFY(r.Ausgefuehrt);
    QCOMPARE(ExportCSV(*dm, art), first);
    QCOMPARE(db.messages->boxes.size(), 0);
    if (art == TAustauschArt::Kunden) // the e-invoice settings came along
        QVERIFY(QString::fromUtf8(first).contains(QStringLiteral(";Bestellung 4711;ZUGFeRD-PDF\r\n")));
}

void TestDatenaustausch::exportIsSpreadsheetCsv() {
    fillOddRecords();
    int records = 0;
    const QByteArray data = ExportCSV(*dm, TAustauschArt::Artikel, &records);
    QCOMPARE(records, 3); // article 0, 7 and 8; article 7 has three rows
    QVERIFY(
        data.startsWith("\xEF\xBB\xBF"
                        "Artikelnummer;Artikelgruppe;Kurzbezeichnung;Bezeichnung;Bezeichnung (formatiert);"
                        "Aktiv;Einkaufsartikel;Verkaufsartikel;Lieferantennr.;Zwischensumme;"
                        "Preis-Bezeichnung;Preis-Bezeichnung 2;Menge;Einheit;Betrag/Stk;MWSt.\r\n"));
    // The description as plain text for the reader, then as stored; a cell a
    // spreadsheet would run as a formula gets an apostrophe, a negative
    // amount stays a number.
    const QString text = QString::fromUtf8(data);
    const QString article7 =
        QStringLiteral("7;Allgemein;\"Dübel \"\"6mm\"\"; grau\";Dübel;{\\rtf1\\ansi Dübel\\par};J;J;J;5;N;");
    for (const QString& prices :
         {QStringLiteral("\"Stück; lose\";€ netto;2,5;Stk;10,125;20\r\n"), QStringLiteral(";;1;h;45;10\r\n"),
          QStringLiteral("'-Rabatt;''@alle;1;Stk;-10,125;20\r\n")})
        QVERIFY2(text.contains(article7 + prices), qPrintable(text));
    QVERIFY(text.contains(QStringLiteral("8;Allgemein;Ohne Preis;Text;Text;N;N;J;0;J;;;;;;\r\n")));
    QVERIFY(QString::fromUtf8(ExportCSV(*dm, TAustauschArt::Kunden))
                .contains(QStringLiteral(";\"'=HYPERLINK(\"\"x\"\")\r\nZeile 2;")));
    // The database itself is never replaced by an export.
    const QByteArray before = ExportCSV(*dm, TAustauschArt::Kunden);
    QVERIFY(ErrorOf([&] {
                ExportCSVFile(*dm, TAustauschArt::Kunden, dm->SQLiteDB1.FileName);
            }).endsWith(QStringLiteral(" ist die geöffnete Datenbank und kann nicht überschrieben werden!")));
    // Nor its write-ahead log, whose commits would be lost.
    QVERIFY(ErrorOf([&] {
                ExportCSVFile(*dm, TAustauschArt::Kunden, dm->SQLiteDB1.FileName + QStringLiteral("-wal"));
            }).endsWith(QStringLiteral(" ist die geöffnete Datenbank und kann nicht überschrieben werden!")));
    QVERIFY(!QFile::exists(dm->SQLiteDB1.FileName + QStringLiteral("-wal")));
    QCOMPARE(ExportCSV(*dm, TAustauschArt::Kunden), before);
    const QString kunden = QString::fromUtf8(ExportCSV(*dm, TAustauschArt::Kunden));
    QVERIFY(kunden.contains(QStringLiteral(";28.02.1970;31.01.2024;Allgmein;DE123;2,5;3;J;20;;J;")));
}

void TestDatenaustausch::badRowIsRefusedAlone_data() {
    QTest::addColumn<TAustauschArt>("art");
    QTest::addColumn<QString>("header");
    QTest::addColumn<QString>("good");
    QTest::addColumn<QString>("bad");
    QTest::addColumn<QString>("reason");
    const QString kh =
        QStringLiteral("Nummer;Firma;Nachname;Kundengruppe;Rabatt;Geburtstag;Konzernnr.;Anmerkung");
    const QString kg = QStringLiteral("100;Gut GmbH;;Allgmein;5;01.02.1990;0;");
    // The rules the forms share (their own tests cover each message) need one
    // row to show the import runs them; the rows below are the import's own
    // reading of cells and names.
    QTest::newRow("letters in the number") << TAustauschArt::Kunden << kh << kg << "10x;Böse;;Allgmein;;;0;"
                                           << "Im Feld \"Nummer\" steht keine Nummer: \"10x\"!";
    QTest::newRow("letters in a percentage")
        << TAustauschArt::Kunden << kh << kg << "101;Böse;;Allgmein;fünf;;0;"
        << "Im Feld \"Rabatt\" steht keine Zahl: \"fünf\"!";
    QTest::newRow("impossible date")
        << TAustauschArt::Kunden << kh << kg << "101;Böse;;Allgmein;;31.02.1990;0;"
        << "Im Feld \"Geburtstag\" steht kein gültiges Datum (TT.MM.JJJJ): \"31.02.1990\"!";
    QTest::newRow("unknown group") << TAustauschArt::Kunden << kh << kg << "101;Böse;;Großkunden;;;0;"
                                   << "\"Großkunden\" ist als Kundengruppe nicht vorhanden!";
    QTest::newRow("character outside Windows-1252")
        << TAustauschArt::Kunden << kh << kg << "101;Böse ☃;;Allgmein;;;0;"
        << "Das Zeichen \"☃\" im Feld \"Firma\" kann nicht gespeichert werden";
    QTest::newRow("NUL character") << TAustauschArt::Kunden << kh << kg
                                   << QStringLiteral("101;Bö") + QChar(0) +
                                          QStringLiteral("se;;Allgmein;;;0;")
                                   << "Im Feld \"Firma\" steht ein NUL-Zeichen (Zeichencode 0)";
    QTest::newRow("number already there") << TAustauschArt::Kunden << kh << kg << "0;Böse;;Allgmein;;;0;"
                                          << "Die angegebene Kundennummer ist bereits vorhanden!";

    // A customer's e-invoice settings.
    const QString kh2 = kh + QStringLiteral(";Leitweg-ID / Käuferreferenz;E-Rechnung als");
    QTest::newRow("unknown e-invoice format")
        << TAustauschArt::Kunden << kh2 << kg + QStringLiteral(";;z") << "101;Böse;;Allgmein;;;0;;;PDF"
        << "Unbekanntes E-Rechnungsformat „PDF“ (keine, ZUGFeRD-PDF oder XRechnung)!";

    const QString lh = QStringLiteral("Nummer;Firma;Lieferantengruppe;Land");
    const QString lg = QStringLiteral("50;Gut AG;Allgmein;Österreich");
    QTest::newRow("supplier of an unknown country")
        << TAustauschArt::Lieferanten << lh << lg << "51;Böse;Allgmein;Atlantis"
        << "\"Atlantis\" ist als Land nicht vorhanden!";

    const QString ah =
        QStringLiteral("Artikelnummer;Artikelgruppe;Kurzbezeichnung;Bezeichnung;Einkaufsartikel;"
                       "Verkaufsartikel;Lieferantennr.;Menge;Einheit;Betrag/Stk;MWSt.");
    const QString ag = QStringLiteral("30;Allgemein;Gut;Gut;N;J;0;1;Stk;9,99;20");
    QTest::newRow("article price line without amount")
        << TAustauschArt::Artikel << ah << ag << "31;Allgemein;Böse;Böse;N;J;0;1;Stk;;20"
        << "Preiszeile in Zeile 3: Der Betrag muss angegeben werden!";
    QTest::newRow("article of an unknown supplier")
        << TAustauschArt::Artikel << ah << ag << "31;Allgemein;Böse;Böse;J;J;77;;;;"
        << "Der Lieferant 77 ist nicht vorhanden!";
    QTest::newRow("article with an unknown unit")
        << TAustauschArt::Artikel << ah << ag << "31;Allgemein;Böse;Böse;N;J;0;1;Fass;2;20"
        << "Preiszeile in Zeile 3: \"Fass\" ist als Einheit nicht vorhanden!";
}

void TestDatenaustausch::badRowIsRefusedAlone() {
    QFETCH(TAustauschArt, art);
    QFETCH(QString, header);
    QFETCH(QString, good);
    QFETCH(QString, bad);
    QFETCH(QString, reason);
    const QString table = art == TAustauschArt::Kunden        ? QStringLiteral("Kunde")
                          : art == TAustauschArt::Lieferanten ? QStringLiteral("Lieferant")
                                                              : QStringLiteral("Artikel");
    const int before = count(QStringLiteral("select count(*) from ") + table);
    const int pricesBefore = count(QStringLiteral("select count(*) from ArtPreis"));

    const TImportErgebnis r = ImportCSV(*dm, art, Csv({header, good, bad}), false, true);
    QVERIFY2(r.Fehler.isEmpty(), qPrintable(r.Fehler));
    QCOMPARE(r.Zeilen.size(), 2);
    QCOMPARE(r.Zeilen[0].Ergebnis, TImportZeile::Neu);
    QCOMPARE(r.Zeilen[1].Ergebnis, TImportZeile::Abgelehnt);
    QVERIFY2(r.Zeilen[1].Grund.startsWith(reason), qPrintable(r.Zeilen[1].Grund));
    QCOMPARE(r.Zeilen[1].Zeile, 3);
    // The good row is in, nothing of the bad one.
    QCOMPARE(count(QStringLiteral("select count(*) from ") + table), before + 1);
    if (art == TAustauschArt::Artikel)
        QCOMPARE(count(QStringLiteral("select count(*) from ArtPreis")), pricesBefore + 1);
    QCOMPARE(db.messages->boxes.size(), 0);
}

void TestDatenaustausch::previewAndDuplicatesAndLines() {
    const QByteArray data =
        Csv({QStringLiteral("Nummer;Firma;Kundengruppe;Anmerkung"),
             QStringLiteral("5;Erste;Allgmein;\"zwei\nZeilen\""), QStringLiteral(";;;"),
             QStringLiteral("005;Zweite;Allgmein;"), QStringLiteral(";Ohne Nummer;Allgmein;")});
    const int range = GetNumber(dm->Query2, QStringLiteral("KundenID"), false);
    TImportErgebnis preview = ImportCSV(*dm, TAustauschArt::Kunden, data, false, false);
    QCOMPARE(preview.Zeilen.size(), 3);
    QCOMPARE(preview.Zeilen[1].Zeile, 5); // the remark spans lines 2 and 3, line 4 is blank
    QCOMPARE(preview.Zeilen[1].Grund,
             QStringLiteral("Die Nummer 005 steht mehrfach in der Datei (zuerst in Zeile 2)!"));
    QCOMPARE(preview.Neu, 2);
    QVERIFY(!preview.Ausgefuehrt);
    // The preview wrote nothing, not even a number.
    QCOMPARE(count(QStringLiteral("select count(*) from Kunde")), 1);
    QCOMPARE(GetNumber(dm->Query2, QStringLiteral("KundenID"), false), range);

    const TImportErgebnis done = ImportCSV(*dm, TAustauschArt::Kunden, data, false, true);
    QCOMPARE(done.Neu, 2);
    QCOMPARE(
        raw(QStringLiteral("select KundenID, Firma, Anmerkung from Kunde where KundenID > 0 order by 1")),
        QStringLiteral("1|Ohne Nummer|<NULL>\n5|Erste|zwei\nZeilen"));
    // The range does not propose a number the import has used.
    QCOMPARE(GetNumber(dm->Query2, QStringLiteral("KundenID"), false), 6);
}

void TestDatenaustausch::existingRecordsOnlyUpdatedWhenAsked() {
    const QByteArray data =
        Csv({QStringLiteral("Nummer;Firma;Ort"), QStringLiteral("0;Neue Musterfirma;Graz")});
    QCOMPARE(ImportCSV(*dm, TAustauschArt::Kunden, data, false, true).Abgelehnt, 1);
    QCOMPARE(raw(QStringLiteral("select Firma, Ort, Strasse from Kunde where KundenID = 0")),
             QStringLiteral("Musterfirma|Musterort|Musterstrasse 1"));
    const TImportErgebnis r = ImportCSV(*dm, TAustauschArt::Kunden, data, true, true);
    QCOMPARE(r.Aktualisiert, 1);
    // Columns the file leaves out keep their values.
    QCOMPARE(raw(QStringLiteral("select Firma, Ort, Strasse from Kunde where KundenID = 0")),
             QStringLiteral("Neue Musterfirma|Graz|Musterstrasse 1"));

    // A file without price columns leaves an updated article's price lines alone.
    const QByteArray ohnePreise =
        Csv({QStringLiteral("Artikelnummer;Kurzbezeichnung"), QStringLiteral("0;Rest alt")});
    QCOMPARE(ImportCSV(*dm, TAustauschArt::Artikel, ohnePreise, true, true).Aktualisiert, 1);
    QCOMPARE(raw(QStringLiteral(
                 "select ArtKurzBez, (select count(*) from ArtPreis where ArtikelID = 0) from Artikel "
                 "where ArtikelID = 0")),
             QStringLiteral("Rest alt|1"));

    // An updated article gets the file's price lines instead of its own.
    const QByteArray art =
        Csv({QStringLiteral("Artikelnummer;Kurzbezeichnung;Menge;Einheit;Betrag/Stk;MWSt."),
             QStringLiteral("0;Rest neu;3;Stk;1,5;10"), QStringLiteral("0;Rest neu;1;h;60;20")});
    QCOMPARE(ImportCSV(*dm, TAustauschArt::Artikel, art, true, true).Aktualisiert, 1);
    QCOMPARE(raw(QStringLiteral(
                 "select PreisID, Menge, EinheitID, Wert, MWStSatz from ArtPreis where ArtikelID = 0 "
                 "order by PreisID")),
             QStringLiteral("1|3|2|1.5|10\n2|1|6|60|20"));
}

void TestDatenaustausch::otherEncodingsAreRead_data() {
    QTest::addColumn<QByteArray>("data");
    const QString text = QStringLiteral("Nummer;Firma;Kundengruppe\r\n9;Müller € Co;Allgmein\r\n");
    auto utf16 = [&](QStringConverter::Encoding e, bool bom) {
        QStringEncoder encoder(e, bom ? QStringConverter::Flag::WriteBom : QStringConverter::Flag::Default);
        return QByteArray(encoder(text));
    };
    // What a spreadsheet saves as "CSV" here: Windows-1252, no byte order mark.
    QTest::newRow("Windows-1252") << QByteArray(
        "Nummer;Firma;Kundengruppe\r\n9;M\xFCller \x80 Co;Allgmein\r\n");
    // ... and as "Unicode text".
    QTest::newRow("UTF-16LE with BOM") << utf16(QStringConverter::Utf16LE, true);
    QTest::newRow("UTF-16BE with BOM") << utf16(QStringConverter::Utf16BE, true);
    QTest::newRow("UTF-16LE without BOM") << utf16(QStringConverter::Utf16LE, false);
}

void TestDatenaustausch::otherEncodingsAreRead() {
    QFETCH(QByteArray, data);
    const TImportErgebnis r = ImportCSV(*dm, TAustauschArt::Kunden, data, false, true);
    QVERIFY2(r.Fehler.isEmpty(), qPrintable(r.Fehler));
    QCOMPARE(r.Neu, 1);
    QCOMPARE(raw(QStringLiteral("select Firma from Kunde where KundenID = 9")),
             QStringLiteral("Müller € Co"));
}

void TestDatenaustausch::brokenFileIsRefusedWhole_data() {
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<QString>("error");
    QTest::newRow("empty") << QByteArray() << "Die Datei enthält keine Daten!";
    QTest::newRow("unknown column") << Csv({QStringLiteral("Nummer;Firma;Umsatz"), QStringLiteral("1;A;5")})
                                    << "Die Spalte \"Umsatz\" ist für Kunden unbekannt!";
    QTest::newRow("no number column")
        << Csv({QStringLiteral("Firma"), QStringLiteral("A")}) << "Die Spalte \"Nummer\" fehlt!";
    // A quote left open would swallow every row after it.
    const QString quote = QStringLiteral("In Zeile 3 beginnt ein Feld mit einem Anführungszeichen, das nicht "
                                         "richtig geschlossen wird. Die Datei wird nicht importiert!");
    QTest::newRow("quote never closed")
        << Csv({QStringLiteral("Nummer;Firma;Kundengruppe"), QStringLiteral("1;A;Allgmein"),
                QStringLiteral("2;\"B;Allgmein"), QStringLiteral("3;C;Allgmein")})
        << quote;
    QTest::newRow("quote closed by a later row")
        << Csv({QStringLiteral("Nummer;Firma;Kundengruppe"), QStringLiteral("1;A;Allgmein"),
                QStringLiteral("2;\"B;Allgmein"), QStringLiteral("3;C;Allgmein"),
                QStringLiteral("4;\"D\";Allgmein")})
        << quote;
}

void TestDatenaustausch::brokenFileIsRefusedWhole() {
    QFETCH(QByteArray, data);
    QFETCH(QString, error);
    const TImportErgebnis r = ImportCSV(*dm, TAustauschArt::Kunden, data, false, true);
    QCOMPARE(r.Fehler, error);
    QVERIFY(!r.Ausgefuehrt);
    QCOMPARE(count(QStringLiteral("select count(*) from Kunde")), 1);
}

void TestDatenaustausch::formulaCellsAreNeutralised_data() {
    QTest::addColumn<QString>("cell");
    QTest::addColumn<QString>("written");
    QTest::newRow("telephone number") << "+4331612"
                                      << "'+4331612";
    QTest::newRow("negative number stays a number") << "-2,5"
                                                    << "-2,5";
    QTest::newRow("apostrophe of its own before a formula") << "'=1"
                                                            << "''=1";
    QTest::newRow("apostrophe of its own before text") << "'Ausnahme"
                                                       << "'Ausnahme";
}

// Every cell of every export (records and shown lists) goes through the same
// writer; what it neutralised the import takes back exactly.
void TestDatenaustausch::formulaCellsAreNeutralised() {
    QFETCH(QString, cell);
    QFETCH(QString, written);
    const QByteArray data =
        CSVDatei({{QStringLiteral("Nummer"), QStringLiteral("Firma"), QStringLiteral("Kundengruppe"),
                   QStringLiteral("Anmerkung")},
                  {QStringLiteral("9"), QStringLiteral("F"), QStringLiteral("Allgmein"), cell}});
    QCOMPARE(QString::fromUtf8(data).section(u';', -1).trimmed(), written);
    QCOMPARE(ImportCSV(*dm, TAustauschArt::Kunden, data, false, true).Neu, 1);
    QCOMPARE(raw(QStringLiteral("select Anmerkung from Kunde where KundenID = 9")), cell);
}

void TestDatenaustausch::formattedDescriptionWins_data() {
    QTest::addColumn<QString>("header");
    QTest::addColumn<QString>("cells");
    QTest::addColumn<QString>("stored");
    const QString both = QStringLiteral("Bezeichnung;Bezeichnung (formatiert)");
    QTest::newRow("both: the formatted text") << both << "neu;{\\rtf1 fett\\par}"
                                              << "{\\rtf1 fett\\par}";
    QTest::newRow("formatted cell empty: the plain text") << both << "neu;"
                                                          << "neu";
    QTest::newRow("plain column only") << "Bezeichnung"
                                       << "neu"
                                       << "neu";
}

void TestDatenaustausch::formattedDescriptionWins() {
    QFETCH(QString, header);
    QFETCH(QString, cells);
    QFETCH(QString, stored);
    const QByteArray data =
        Csv({QStringLiteral("Artikelnummer;Kurzbezeichnung;") + header, QStringLiteral("0;Rest;") + cells});
    QCOMPARE(ImportCSV(*dm, TAustauschArt::Artikel, data, true, true).Aktualisiert, 1);
    QCOMPARE(raw(QStringLiteral("select ArtBez from Artikel where ArtikelID = 0")), stored);
}

void TestDatenaustausch::previewLocksNothingAndCancelChangesNothing_data() {
    QTest::addColumn<bool>("ausfuehren");
    QTest::newRow("check") << false;
    QTest::newRow("import") << true;
}

// While a check runs another program can write to the database; a check or
// an import cancelled half-way leaves it as it was.
void TestDatenaustausch::previewLocksNothingAndCancelChangesNothing() {
    QFETCH(bool, ausfuehren);
    QStringList rows{QStringLiteral("Nummer;Firma;Kundengruppe")};
    for (int i = 1; i <= 20; ++i)
        rows << QStringLiteral("%1;Firma %1;Allgmein").arg(i);
    sqlite3* other = nullptr;
    QCOMPARE(sqlite3_open(QFile::encodeName(dm->SQLiteDB1.FileName).constData(), &other), SQLITE_OK);
    int calls = 0, otherWrote = -1;
    const TImportErgebnis r =
        ImportCSV(*dm, TAustauschArt::Kunden, Csv(rows), false, ausfuehren, [&](int done, int total) {
            if (++calls == 5 && !ausfuehren)
                otherWrote =
                    sqlite3_exec(other, "update set_allg set AllgWert = AllgWert", nullptr, nullptr, nullptr);
            return done < total / 2;
        });
    sqlite3_close(other);
    if (!ausfuehren)
        QCOMPARE(otherWrote, SQLITE_OK);
    QVERIFY(r.Abgebrochen);
    QVERIFY(!r.Ausgefuehrt);
    QCOMPARE(count(QStringLiteral("select count(*) from Kunde")), 1);
}

// The import commits only what the check showed: when the database changed
// in between, a verdict differs and nothing is imported.
void TestDatenaustausch::importIsExactlyThePreview() {
    const QByteArray data = Csv({QStringLiteral("Nummer;Firma;Kundengruppe"),
                                 QStringLiteral("5;Fünf;Allgmein"), QStringLiteral("6;Sechs;Allgmein")});
    const TImportErgebnis preview = ImportCSV(*dm, TAustauschArt::Kunden, data, false, false);
    QCOMPARE(preview.Neu, 2);
    exec(QStringLiteral("insert into Kunde (KundenID,AnredeID,TitelID,Firma,LandID,KunGruID,Aktiv,KonzernID) "
                        "values (6,1,1,'Anderswo angelegt',2,1,'J',0)"));
    const TImportErgebnis r = ImportCSV(*dm, TAustauschArt::Kunden, data, false, true, {}, &preview);
    QCOMPARE(r.Fehler,
             QStringLiteral("Seit der Prüfung hat sich der Datenbestand geändert (Zeile 3: geprüft "
                            "„neu“, jetzt „abgelehnt“). Es wurde nichts importiert; bitte die Datei "
                            "erneut prüfen."));
    QVERIFY(!r.Ausgefuehrt);
    QCOMPARE(raw(QStringLiteral("select KundenID from Kunde order by 1")), QStringLiteral("0\n6"));
}

QTEST_GUILESS_MAIN(TestDatenaustausch)
#include "tst_datenaustausch.moc"
