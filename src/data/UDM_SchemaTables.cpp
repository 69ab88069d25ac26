// The creation phase of the schema: every table in its first layout with its
// default rows, in the order a new file gets them. Later layouts come from the
// upgrade steps (UDM_Schema.cpp), which a new file runs like an old one; so
// these statements must stay exactly as they are.
#include "GlobalFunctions.h"
#include "UDM.h"
#include "UDM_SchemaInternal.h"

#include <QDate>

#include <vector>

using Schema::InsertCustomerZero;

namespace {

struct TCreateTable {
    const char* name;
    bool inTransaction;
    QStringList statements;
};

QString TodayQuoted() {
    return SQLQuote(DateToSQL(QDate::currentDate()));
}

} // namespace

namespace Schema {

// The built-in customer 0, target of every KonzernID 0.
QString InsertCustomerZero() {
    return QStringLiteral("INSERT INTO Kunde (KundenID,AnredeID,TitelID,Firma,Strasse,PLZ, "
                          "Ort,LandID,Geburtsdatum,Erfassungsdatum,KunGruID,Aktiv) values "
                          "(0,1,1,'Musterfirma','Musterstrasse 1','1234','Musterort',1,") +
           TodayQuoted() + u',' + TodayQuoted() + QStringLiteral(",1,'J')");
}

} // namespace Schema

namespace {

QStringList RechtRows() {
    return {
        QStringLiteral("INSERT INTO set_recht VALUES ('Allgemein', 'Allgemeine Stammdaten', 'J')"),
        QStringLiteral("INSERT INTO set_recht VALUES ('Anschrift', 'Geschäftsanschrift / Andruck', 'J')"),
        QStringLiteral("INSERT INTO set_recht VALUES ('DatenExport', 'Daten exportieren', 'N')"),
        QStringLiteral("INSERT INTO set_recht VALUES ('DatenImport', 'Daten importieren', 'N')"),
        QStringLiteral("INSERT INTO set_recht VALUES ('DBRueck', 'Daten rücksichern', 'N')"),
        QStringLiteral("INSERT INTO set_recht VALUES ('DBSich', 'Daten sichern', 'J')"),
        QStringLiteral("INSERT INTO set_recht VALUES ('EinAllg', 'Allgemeine Einstellungen', 'N')"),
        QStringLiteral("INSERT INTO set_recht VALUES ('EinRecht', 'Berechnungen ändern', 'N')"),
        QStringLiteral("INSERT INTO set_recht VALUES ('EinStyle', 'Styles', 'J')"),
        QStringLiteral("INSERT INTO set_recht VALUES ('Kennwort', 'Wendoxal', 'X')"),
        QStringLiteral("INSERT INTO set_recht VALUES ('Statistik', 'Statistik / Auswertungen', 'J')"),
    };
}

QStringList StyleRows() {
    struct TRow {
        const char* object;
        const char* bg;
        const char* bgHL;
        const char* font;
        const char* fontHL;
        const char* colors;
    };
    const QString mainMenu =
        QStringLiteral("00C6693100E1E1E100E1E1E1000000000099A8AC00FFFFFF0000000000FFFFFF007A8"
                       "68A00FFFFFF007A868AAAAAAAAA00F2F2F20000000000FFFFFF00EFD3C6000000000"
                       "000000000646F71");
    const QString navigation =
        QStringLiteral("00D7D7D700D7D7D7000000000000000000D7D7D700DCDCDC00000000000000000"
                       "0C3C3C30000000F00FFFFFF00000000");
    const QString customColors = QStringLiteral("00D7D7D7") + QStringLiteral("00000000").repeated(15);
    const QByteArray mainMenuLatin = mainMenu.toLatin1();
    const QByteArray navigationLatin = navigation.toLatin1();
    const QByteArray customLatin = customColors.toLatin1();
    const TRow rows[] = {
        {"Button", "14803425", nullptr, "0", nullptr, nullptr},
        {"Chart", "14803425", nullptr, "0", nullptr, nullptr},
        {"CheckBox", "14803425", nullptr, "0", nullptr, nullptr},
        {"ComboBox", "16777215", nullptr, "0", nullptr, nullptr},
        {"CustomColors", nullptr, nullptr, nullptr, nullptr, customLatin.constData()},
        {"DateTimePicker", "16777215", nullptr, "0", nullptr, nullptr},
        {"Edit", "16777215", nullptr, "0", nullptr, nullptr},
        {"Form", "14803425", nullptr, "0", nullptr, nullptr},
        {"Grid", "16777215", nullptr, "0", nullptr, "00E1E1E1"},
        {"GroupBox", "14803425", nullptr, "0", nullptr, nullptr},
        {"ListBox", "16777215", nullptr, "0", nullptr, nullptr},
        {"ListView", "16777215", nullptr, "0", nullptr, nullptr},
        {"MainMenu", nullptr, nullptr, nullptr, nullptr, mainMenuLatin.constData()},
        {"Memo", "16777215", nullptr, "0", nullptr, nullptr},
        {"Navigation", "14145495", nullptr, "0", nullptr, navigationLatin.constData()},
        {"StatusBar", "14803425", nullptr, "0", nullptr, nullptr},
        {"StringGrid", "16777215", "15790320", "0", "0", "00E1E1E1"},
        {"TabControl", "14803425", "14803425", "0", "0", nullptr},
        {"Titel", "13816530", nullptr, "0", nullptr, nullptr},
    };
    auto number = [](const char* v) { return v ? QString::fromLatin1(v) : QStringLiteral("NULL"); };
    auto text = [](const char* v) {
        return v ? u'\'' + QString::fromLatin1(v) + u'\'' : QStringLiteral("NULL");
    };
    QStringList result;
    for (const TRow& r : rows)
        result << QStringLiteral("INSERT INTO set_style VALUES (1, '") + QString::fromLatin1(r.object) +
                      QStringLiteral("', ") + number(r.bg) + QStringLiteral(", ") + number(r.bgHL) +
                      QStringLiteral(", ") + number(r.font) + QStringLiteral(", ") + number(r.fontHL) +
                      QStringLiteral(", ") + text(r.colors) + u')';
    return result;
}

QStringList DruckElementRows() {
    // DEID 0 to 37 in order; element 38 comes with version 16.
    const char* const rows[] = {
        ",15,9,180,271,'Y','N','Druckbereich')",
        ",157,284,38,0,'Y','N','Seitenanzahl')",
        ",0,0,0,99,'Y','N','Kopfbereich')",
        ",78,0,101,0,'Y','Y','Logo1')",
        ",0,0,10,0,'N','Y','Logo2')",
        ",2,0,60,0,'Y','Y','Firma')",
        ",2,4,60,0,'Y','Y','Strasse')",
        ",2,8,60,0,'Y','Y','PLZ/Ort')",
        ",2,14,11,0,'Y','Y','TelefonText')",
        ",15,14,47,0,'Y','Y','Telefon')",
        ",2,18,11,0,'Y','Y','FaxText')",
        ",15,18,47,0,'Y','Y','Fax')",
        ",2,22,11,0,'Y','Y','MobilText')",
        ",15,22,47,0,'Y','Y','Mobil')",
        ",2,26,11,0,'Y','Y','EmailText')",
        ",15,26,47,0,'Y','Y','Email')",
        ",2,30,11,0,'Y','Y','WebText')",
        ",15,30,47,0,'Y','Y','Web')",
        ",2,35,11,0,'Y','Y','UIDText')",
        ",15,35,47,0,'Y','Y','UID')",
        ",2,48,90,0,'Y','N','Kundenanschrift')",
        ",2,79,36,0,'Y','N','NummerText')",
        ",39,79,35,0,'Y','N','Nummer')",
        ",2,85,36,0,'Y','N','Datum1Text')",
        ",39,85,22,0,'Y','N','Datum1')",
        ",2,89,36,0,'Y','N','Datum2Text')",
        ",39,89,22,0,'Y','N','Datum2')",
        ",65,85,24,0,'Y','N','IhreNrText')",
        ",91,85,28,0,'Y','N','IhreNr')",
        ",65,89,24,0,'Y','N','IhreUIDText')",
        ",91,89,28,0,'Y','N','IhreUID')",
        ",117,56,61,0,'Y','N','Zahlungserinnerung')",
        ",117,65,70,0,'Y','N','Kopftext')",
        ",51,220,0,51,'Y','N','Fussbereich')",
        ",2,24,176,0,'Y','N','Skonto')",
        ",2,32,176,0,'Y','N','Fusstext')",
        ",0,44,180,0,'Y','N','Bankdaten')",
        ",0,47,180,0,'Y','N','IBAN/BIC')",
    };
    QStringList result;
    int deid = 0;
    for (const char* rest : rows)
        result << QStringLiteral("INSERT INTO DruckElement values (") + QString::number(deid++) +
                      QString::fromLatin1(rest);
    return result;
}

// The creation phase: every table in its first layout, in this order.
std::vector<TCreateTable> CreationPhase() {
    std::vector<TCreateTable> tables;
    tables.push_back(
        {"set_allg",
         true,
         {QStringLiteral(
             "CREATE TABLE set_allg (AllgID VARCHAR(30) NOT NULL PRIMARY KEY, AllgWert VARCHAR(30))")}});
    tables.push_back(
        {"set_db",
         true,
         {QStringLiteral("CREATE TABLE set_db (DBID INTEGER NOT NULL PRIMARY KEY, Caption VARCHAR(30) NOT "
                         "NULL, Version INTEGER NOT NULL, LastUpdate DATETIME NOT NULL)"),
          QStringLiteral("INSERT INTO set_db VALUES (1, 'Datenbank-Version', 0, CURRENT_TIMESTAMP)")}});
    tables.push_back(
        {"set_file",
         true,
         {QStringLiteral(
              "CREATE TABLE set_file (FileID VARCHAR(20) NOT NULL PRIMARY KEY, FileName VARCHAR(250))"),
          QStringLiteral("INSERT INTO set_file (FileID) VALUES ('DatenExportFile')"),
          QStringLiteral("INSERT INTO set_file (FileID) VALUES ('DatenImportFile')")}});
    tables.push_back(
        {"set_nummer",
         true,
         {QStringLiteral("CREATE TABLE set_nummer (NumTyp VARCHAR(20) NOT NULL PRIMARY KEY, NumBez "
                         "VARCHAR(100) NOT NULL, Nummer INTEGER NOT NULL)"),
          QStringLiteral("INSERT INTO set_nummer VALUES ('KundenID', 'Kundennummer', 1)"),
          QStringLiteral("INSERT INTO set_nummer VALUES ('ArtikelID', 'Artikelnummer', 1)"),
          QStringLiteral("INSERT INTO set_nummer VALUES ('KopfIDO', 'Angebotsnummer', 1)"),
          QStringLiteral("INSERT INTO set_nummer VALUES ('KopfIDA', 'Auftragsnummer', 1)"),
          QStringLiteral("INSERT INTO set_nummer VALUES ('KopfIDL', 'Lieferscheinnummer', 1)"),
          QStringLiteral("INSERT INTO set_nummer VALUES ('KopfIDR', 'Rechnungssnummer', 1)")}});
    tables.push_back(
        {"set_recht", true,
         QStringList{QStringLiteral("CREATE TABLE set_recht (Funktion VARCHAR(30) NOT NULL PRIMARY KEY, "
                                    "Bezeichnung VARCHAR(50) NOT NULL, Berechtigt CHAR(1) NOT NULL)")} +
             RechtRows()});
    tables.push_back({"set_style", true,
                      QStringList{QStringLiteral(
                          "CREATE TABLE set_style (StyleID INTEGER NOT NULL, Object VARCHAR(50) NOT NULL, "
                          "BGColor INTEGER, BGHLColor INTEGER, FontColor INTEGER, FontHLColor INTEGER, "
                          "Colors VARCHAR(200), PRIMARY KEY (StyleID, Object))")} +
                          StyleRows() +
                          QStringList{QStringLiteral(
                              "INSERT INTO set_style SELECT 0, Object, BGColor, BGHLColor, FontColor, "
                              "FontHLColor, Colors FROM set_style WHERE StyleID = 1")}});
    tables.push_back(
        {"Anrede",
         true,
         {QStringLiteral("CREATE TABLE Anrede (AnredeID INTEGER NOT NULL PRIMARY KEY AUTOINCREMENT, "
                         "AnredeBez VARCHAR(50) NOT NULL)"),
          QStringLiteral("INSERT INTO Anrede (AnredeBez) VALUES (' ')"),
          QStringLiteral("INSERT INTO Anrede (AnredeBez) VALUES ('Firma')"),
          QStringLiteral("INSERT INTO Anrede (AnredeBez) VALUES ('Frau')"),
          QStringLiteral("INSERT INTO Anrede (AnredeBez) VALUES ('Herr')")}});
    tables.push_back(
        {"Titel",
         true,
         {QStringLiteral("CREATE TABLE Titel (TitelID INTEGER NOT NULL PRIMARY KEY AUTOINCREMENT, "
                         "TitelBez VARCHAR(50) NOT NULL)"),
          QStringLiteral("INSERT INTO Titel (TitelBez) VALUES (' ')"),
          QStringLiteral("INSERT INTO Titel (TitelBez) VALUES ('DI')"),
          QStringLiteral("INSERT INTO Titel (TitelBez) VALUES ('Dr.')"),
          QStringLiteral("INSERT INTO Titel (TitelBez) VALUES ('Ing.')"),
          QStringLiteral("INSERT INTO Titel (TitelBez) VALUES ('Mag.')")}});
    tables.push_back({"Land",
                      true,
                      {QStringLiteral("CREATE TABLE Land (LandID INTEGER NOT NULL PRIMARY KEY AUTOINCREMENT, "
                                      "LandBez VARCHAR(100) NOT NULL)"),
                       QStringLiteral("INSERT INTO Land (LandBez) VALUES (' ')"),
                       QStringLiteral("INSERT INTO Land (LandBez) VALUES ('Österreich')"),
                       QStringLiteral("INSERT INTO Land (LandBez) VALUES ('Deutschland')"),
                       QStringLiteral("INSERT INTO Land (LandBez) VALUES ('Schweiz')")}});
    tables.push_back(
        {"Einheit",
         true,
         {QStringLiteral("CREATE TABLE Einheit (EinheitID INTEGER NOT NULL PRIMARY KEY AUTOINCREMENT, "
                         "EinheitBez VARCHAR(10) NOT NULL)"),
          QStringLiteral("INSERT INTO Einheit (EinheitBez) VALUES (' ')"),
          QStringLiteral("INSERT INTO Einheit (EinheitBez) VALUES ('Stk')"),
          QStringLiteral("INSERT INTO Einheit (EinheitBez) VALUES ('Ltr')"),
          QStringLiteral("INSERT INTO Einheit (EinheitBez) VALUES ('Pkg')"),
          QStringLiteral("INSERT INTO Einheit (EinheitBez) VALUES ('Lfm')"),
          QStringLiteral("INSERT INTO Einheit (EinheitBez) VALUES ('h')")}});
    tables.push_back({"MWSt",
                      true,
                      {QStringLiteral("CREATE TABLE MWSt (MWStID INTEGER NOT NULL PRIMARY KEY AUTOINCREMENT, "
                                      "MWStSatz NUMERIC(5,2) NOT NULL)"),
                       QStringLiteral("INSERT INTO MWSt (MWStSatz) VALUES (20)"),
                       QStringLiteral("INSERT INTO MWSt (MWStSatz) VALUES (10)"),
                       QStringLiteral("INSERT INTO MWSt (MWStSatz) VALUES (0)")}});
    tables.push_back({"ArtikelGruppe",
                      true,
                      {QStringLiteral("CREATE TABLE ArtikelGruppe (ArtGruID INTEGER NOT NULL PRIMARY KEY "
                                      "AUTOINCREMENT, ArtGruBez VARCHAR(100) NOT NULL)"),
                       QStringLiteral("INSERT INTO ArtikelGruppe (ArtGruBez) VALUES ('Allgemein')")}});
    tables.push_back({"KundenGruppe",
                      true,
                      {QStringLiteral("CREATE TABLE KundenGruppe (KunGruID INTEGER NOT NULL PRIMARY KEY "
                                      "AUTOINCREMENT, KunGruBez VARCHAR(100) NOT NULL)"),
                       QStringLiteral("INSERT INTO KundenGruppe (KunGruBez) VALUES ('Allgmein')")}});
    tables.push_back(
        {"Geschaeft",
         true,
         {QStringLiteral(
              "CREATE TABLE Geschaeft (GesID INTEGER NOT NULL PRIMARY KEY, Anrede VARCHAR(50), Name "
              "VARCHAR(100), "
              "Strasse VARCHAR(100), PLZ VARCHAR(10), Ort VARCHAR(100), Telefon VARCHAR(50), Mobil "
              "VARCHAR(50), Fax "
              "VARCHAR(50), Email VARCHAR(100), Web VARCHAR(100), ATUNr VARCHAR(20), BankName VARCHAR(100), "
              "BankKonto VARCHAR(20), BankLZ VARCHAR(10), Firmenbuch VARCHAR(20), LogoDrucken CHAR(1), "
              "KopfLeft "
              "NUMERIC(5,2), KopfTop NUMERIC(5,2), FussLeft NUMERIC(5,2), FussTop NUMERIC(5,2), LogoLeft "
              "NUMERIC(5,2), LogoTop NUMERIC(5,2), LogoWidth NUMERIC(5,2), FussText VARCHAR(250), BankName2 "
              "VARCHAR(100), BankKonto2 VARCHAR(20), BankLZ2 VARCHAR(10), FussLeft2 NUMERIC(5,2), FussTop2 "
              "NUMERIC(5,2), KopfText TEXT, KundeLeft NUMERIC(5,2), KundeTop NUMERIC(5,2), Skonto "
              "VARCHAR(100))"),
          QStringLiteral(
              "INSERT INTO Geschaeft (GesID, Anrede, Name, Strasse, PLZ, Ort, Telefon, Mobil, Fax, Email, "
              "Web, "
              "ATUNr, BankName, BankKonto, BankLZ, BankName2, BankKonto2, BankLZ2, Skonto, LogoDrucken, "
              "KopfLeft, "
              "KopfTop, FussLeft, FussTop, LogoLeft, LogoTop, LogoWidth, KundeLeft, KundeTop) VALUES (1, "
              "'Firma', "
              "'Mustername', 'Musterstraße 123', '1234', 'Musterort', '01234 / 56789 - 0', '0664 / 1234567', "
              "'01234 / 56789 - 1', 'office@musterfirma.at', 'www.musterfirma.at', 'ATU  12345678', "
              "'Musterbank 1', '1234567', '12345', 'Musterbank 2', '987654321', '98765', 'Zahlbar innerhalb "
              "von "
              "10 Tagen mit %1 Skonto (%2).', 'N', 118, 74, 11, 25, 1, 1, 70, 2, 53)")}});
    tables.push_back(
        {"Kunde",
         true,
         {QStringLiteral(
              "CREATE TABLE Kunde (KundenID INTEGER NOT NULL PRIMARY KEY, AnredeID INTEGER NOT NULL, "
              "TitelID INTEGER NOT NULL, Firma VARCHAR(100), Nachname VARCHAR(100), Vorname "
              "VARCHAR(100), Strasse VARCHAR(100), PLZ VARCHAR(10), Ort VARCHAR(100), LandID INTEGER NOT "
              "NULL, Telefon VARCHAR(50), Mobil VARCHAR(50), Fax VARCHAR(50), Email VARCHAR(100), "
              "Geburtsdatum DATE, Erfassungsdatum DATE, KunGruID INTEGER NOT NULL, ATUNr VARCHAR(20), "
              "Anmerkung TEXT, Aktiv CHAR(1) NOT NULL, Rabatt NUMERIC(3,2),Skonto NUMERIC(3,2))"),
          InsertCustomerZero()}});
    tables.push_back(
        {"Artikel",
         true,
         {QStringLiteral("CREATE TABLE Artikel (ArtikelID INTEGER NOT NULL PRIMARY KEY, ArtGruID INTEGER "
                         "NOT NULL, ArtKurzBez VARCHAR(100) NOT NULL, ArtBez TEXT NOT NULL, Aktiv CHAR(1) "
                         "NOT NULL)"),
          QStringLiteral("INSERT INTO Artikel (ArtikelID,ArtGruID,ArtKurzBez,ArtBez,Aktiv) values "
                         "(0,1,'Rest','Rest','J')")}});
    tables.push_back(
        {"ArtPreis",
         true,
         {QStringLiteral("CREATE TABLE ArtPreis (ArtikelID INTEGER NOT NULL, PreisID INTEGER NOT NULL, "
                         "PreisBez VARCHAR(100), PreisBez2 VARCHAR(100), Menge NUMERIC(6,2) NOT NULL, "
                         "EinheitID INTEGER NOT NULL, Wert NUMERIC(6,2) NOT NULL, PRIMARY KEY (ArtikelID, "
                         "PreisID))"),
          QStringLiteral(
              "INSERT INTO ArtPreis (ArtikelID,PreisID,Menge,EinheitID,Wert) values (0,1,1,1,10)")}});
    tables.push_back(
        {"Kopf",
         false,
         {QStringLiteral(
             "CREATE TABLE Kopf (KopfTyp CHAR(1) NOT NULL, KopfID INTEGER NOT NULL, KundenID INTEGER NOT "
             "NULL, KunGruID INTEGER NOT NULL, KopfBez VARCHAR(100), Rabatt NUMERIC(3,2), Skonto "
             "NUMERIC(3,2), Status CHAR(1), Datum DATETIME NOT NULL, Anmerkung TEXT, RefTyp CHAR(1), RefID "
             "INTEGER,PRIMARY KEY (KopfTyp, KopfID))")}});
    tables.push_back(
        {"PosDaten",
         true,
         {QStringLiteral("CREATE TABLE PosDaten (KopfTyp CHAR(1) NOT NULL, KopfID INTEGER NOT NULL, PosID "
                         "INTEGER NOT NULL, ArtikelID INTEGER NOT NULL, PosKurzBez VARCHAR(100) NOT NULL, "
                         "PosBez TEXT NOT NULL, PRIMARY KEY (KopfTyp, KopfID, PosID))")}});
    tables.push_back(
        {"PosPreis",
         true,
         {QStringLiteral(
             "CREATE TABLE PosPreis (KopfTyp CHAR(1) NOT NULL, KopfID INTEGER NOT NULL, PosID INTEGER NOT "
             "NULL, PreisID INTEGER NOT NULL, PreisBez VARCHAR(100) NOT NULL, PreisBez2 VARCHAR(100), "
             "Menge NUMERIC(6,2) NOT NULL, EinheitID INTEGER NOT NULL, Wert NUMERIC(6,2) NOT NULL, Rabatt "
             "NUMERIC(3,2), PRIMARY KEY (KopfTyp, KopfID, PosID, PreisID))")}});
    tables.push_back(
        {"Druckdatum",
         true,
         {QStringLiteral("CREATE TABLE Druckdatum (DruDatID INTEGER NOT NULL PRIMARY KEY AUTOINCREMENT, "
                         "DruDatBez VARCHAR(100) NOT NULL)"),
          QStringLiteral("INSERT INTO Druckdatum (DruDatBez) VALUES ('Druckdatum')"),
          QStringLiteral("INSERT INTO Druckdatum (DruDatBez) VALUES ('Lieferdatum')"),
          QStringLiteral("INSERT INTO Druckdatum (DruDatBez) VALUES ('Abholung')")}});
    tables.push_back(
        {"KopfText",
         false,
         {QStringLiteral("CREATE TABLE KopfText (KopfTextID INTEGER NOT NULL PRIMARY KEY AUTOINCREMENT, "
                         "KopfTextBez VARCHAR(100) NOT NULL, KopfTextText TEXT)")}});
    tables.push_back(
        {"FussText",
         false,
         {QStringLiteral("CREATE TABLE FussText (FussTextID INTEGER NOT NULL PRIMARY KEY AUTOINCREMENT, "
                         "FussTextBez VARCHAR(100) NOT NULL, FussTextText TEXT)")}});
    tables.push_back({"LieferantenGruppe",
                      true,
                      {QStringLiteral("CREATE TABLE LieferantenGruppe (LieGruID INTEGER NOT NULL PRIMARY KEY "
                                      "AUTOINCREMENT, LieGruBez VARCHAR(100) NOT NULL)"),
                       QStringLiteral("INSERT INTO LieferantenGruppe (LieGruBez) VALUES ('Allgmein')")}});
    tables.push_back(
        {"Lieferant",
         true,
         {QStringLiteral(
              "CREATE TABLE Lieferant (LieferantenID INTEGER NOT NULL PRIMARY KEY, Firma VARCHAR(200) NOT "
              "NULL, "
              "Strasse VARCHAR(100), PLZ VARCHAR(10), Ort VARCHAR(100), LandID INTEGER NOT NULL, Telefon "
              "VARCHAR(50), Fax VARCHAR(50), Email VARCHAR(100), Erfassungsdatum DATE, Rabatt NUMERIC(3,2), "
              "Skonto "
              "NUMERIC(3,2), Bank VARCHAR(100), BLZ VARCHAR(10), Konto VARCHAR(20), IBAN VARCHAR(30), BIC "
              "VARCHAR(30), LieGruID INTEGER NOT NULL, UIDNr VARCHAR(20), AnspAnredeID INTEGER NOT NULL, "
              "AnspTitelID INTEGER NOT NULL, AnspNachname VARCHAR(100), AnspVorname VARCHAR(100), "
              "AnspTelefon "
              "VARCHAR(50), AnspMobil VARCHAR(50), AnspEmail VARCHAR(100), Geburtsdatum DATE, Anmerkung "
              "TEXT, Aktiv "
              "CHAR(1) NOT NULL)"),
          QStringLiteral(
              "INSERT INTO Lieferant (LieferantenID,Firma,LandID,Erfassungsdatum,LieGruID,AnspAnredeID,"
              "AnspTitelID,Geburtsdatum,Aktiv) values (0,'Verkauf',1,") +
              TodayQuoted() + QStringLiteral(",1,1,1,") + TodayQuoted() + QStringLiteral(",'J')")}});
    tables.push_back(
        {"Ausdruck",
         true,
         {QStringLiteral(
              "CREATE TABLE Ausdruck (AusdruckID INTEGER NOT NULL, ZeilenID INTEGER NOT NULL, PosID "
              "INTEGER, PosBez TEXT, PosBez2 TEXT, PreisBez VARCHAR(100), PreisBez2 VARCHAR(100), Menge "
              "VARCHAR(10), EinheitBez VARCHAR(10), Wert VARCHAR(20), Rabatt VARCHAR(10), Summe TEXT, "
              "PRIMARY KEY (AusdruckID, ZeilenID))"),
          QStringLiteral("INSERT INTO set_nummer VALUES ('AusdruckID', 'Ausdrucksnummer', 1)")}});
    tables.push_back(
        {"DruckElement", true,
         QStringList{QStringLiteral(
             "CREATE TABLE DruckElement (DEID INTEGER NOT NULL PRIMARY KEY, Left INTEGER NOT NULL, Top "
             "INTEGER NOT NULL, Width INTEGER NOT NULL, Height INTEGER NOT NULL, Visible CHAR(1) NOT "
             "NULL, Hide CHAR(1) NOT NULL, Title VARCHAR(30))")} +
             DruckElementRows()});
    return tables;
}

} // namespace

void TDM::CreateMissingTables() {
    for (const TCreateTable& table : CreationPhase()) {
        if (TableExists(QString::fromLatin1(table.name)))
            continue;
        if (table.inTransaction) {
            RunInTransaction([&] {
                for (const QString& sql : table.statements)
                    Exec(sql);
            });
        } else {
            for (const QString& sql : table.statements)
                Exec(sql);
        }
    }
}
