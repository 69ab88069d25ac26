#include "DatevExport.h"

#include "Beleg.h"
#include "DruckText.h"
#include "EInvoiceCodes.h"
#include "FileNames.h"
#include "GlobalFunctions.h"
#include "Laender.h"
#include "MaintenanceCommand.h"
#include "QuorventFunctions.h"
#include "Steuerregeln.h"
#include "UDM.h"
#include "Zahlungen.h"

#include <QHash>
#include <QTextStream>

#include <cmath>
#include <functional>
#include <map>

namespace {

// ---------------------------------------------------------------------
// The columns of a booking line (format version 13). The type decides the
// quoting: text is always quoted (empty as ""), every other column is bare
// and empty when unused.
struct TSpalte {
    const char* Name;
    char Typ; // B amount, T text, Z number, K account, D date
};

const TSpalte kBuchungSpalten[] = {
    {"Umsatz (ohne Soll/Haben-Kz)", 'B'},
    {"Soll/Haben-Kennzeichen", 'T'},
    {"WKZ Umsatz", 'T'},
    {"Kurs", 'Z'},
    {"Basis-Umsatz", 'B'},
    {"WKZ Basis-Umsatz", 'T'},
    {"Konto", 'K'},
    {"Gegenkonto (ohne BU-Schlüssel)", 'K'},
    {"BU-Schlüssel", 'T'},
    {"Belegdatum", 'D'},
    {"Belegfeld 1", 'T'},
    {"Belegfeld 2", 'T'},
    {"Skonto", 'B'},
    {"Buchungstext", 'T'},
    {"Postensperre", 'Z'},
    {"Diverse Adressnummer", 'T'},
    {"Geschäftspartnerbank", 'Z'},
    {"Sachverhalt", 'Z'},
    {"Zinssperre", 'Z'},
    {"Beleglink", 'T'},
    {"Beleginfo - Art 1", 'T'},
    {"Beleginfo - Inhalt 1", 'T'},
    {"Beleginfo - Art 2", 'T'},
    {"Beleginfo - Inhalt 2", 'T'},
    {"Beleginfo - Art 3", 'T'},
    {"Beleginfo - Inhalt 3", 'T'},
    {"Beleginfo - Art 4", 'T'},
    {"Beleginfo - Inhalt 4", 'T'},
    {"Beleginfo - Art 5", 'T'},
    {"Beleginfo - Inhalt 5", 'T'},
    {"Beleginfo - Art 6", 'T'},
    {"Beleginfo - Inhalt 6", 'T'},
    {"Beleginfo - Art 7", 'T'},
    {"Beleginfo - Inhalt 7", 'T'},
    {"Beleginfo - Art 8", 'T'},
    {"Beleginfo - Inhalt 8", 'T'},
    {"KOST1 - Kostenstelle", 'T'},
    {"KOST2 - Kostenstelle", 'T'},
    {"Kost-Menge", 'Z'},
    {"EU-Land u. UStID (Bestimmung)", 'T'},
    {"EU-Steuersatz (Bestimmung)", 'Z'},
    {"Abw. Versteuerungsart", 'T'},
    {"Sachverhalt L+L", 'Z'},
    {"Funktionsergänzung L+L", 'Z'},
    {"BU 49 Hauptfunktionstyp", 'Z'},
    {"BU 49 Hauptfunktionsnummer", 'Z'},
    {"BU 49 Funktionsergänzung", 'Z'},
    {"Zusatzinformation - Art 1", 'T'},
    {"Zusatzinformation- Inhalt 1", 'T'},
    {"Zusatzinformation - Art 2", 'T'},
    {"Zusatzinformation- Inhalt 2", 'T'},
    {"Zusatzinformation - Art 3", 'T'},
    {"Zusatzinformation- Inhalt 3", 'T'},
    {"Zusatzinformation - Art 4", 'T'},
    {"Zusatzinformation- Inhalt 4", 'T'},
    {"Zusatzinformation - Art 5", 'T'},
    {"Zusatzinformation- Inhalt 5", 'T'},
    {"Zusatzinformation - Art 6", 'T'},
    {"Zusatzinformation- Inhalt 6", 'T'},
    {"Zusatzinformation - Art 7", 'T'},
    {"Zusatzinformation- Inhalt 7", 'T'},
    {"Zusatzinformation - Art 8", 'T'},
    {"Zusatzinformation- Inhalt 8", 'T'},
    {"Zusatzinformation - Art 9", 'T'},
    {"Zusatzinformation- Inhalt 9", 'T'},
    {"Zusatzinformation - Art 10", 'T'},
    {"Zusatzinformation- Inhalt 10", 'T'},
    {"Zusatzinformation - Art 11", 'T'},
    {"Zusatzinformation- Inhalt 11", 'T'},
    {"Zusatzinformation - Art 12", 'T'},
    {"Zusatzinformation- Inhalt 12", 'T'},
    {"Zusatzinformation - Art 13", 'T'},
    {"Zusatzinformation- Inhalt 13", 'T'},
    {"Zusatzinformation - Art 14", 'T'},
    {"Zusatzinformation- Inhalt 14", 'T'},
    {"Zusatzinformation - Art 15", 'T'},
    {"Zusatzinformation- Inhalt 15", 'T'},
    {"Zusatzinformation - Art 16", 'T'},
    {"Zusatzinformation- Inhalt 16", 'T'},
    {"Zusatzinformation - Art 17", 'T'},
    {"Zusatzinformation- Inhalt 17", 'T'},
    {"Zusatzinformation - Art 18", 'T'},
    {"Zusatzinformation- Inhalt 18", 'T'},
    {"Zusatzinformation - Art 19", 'T'},
    {"Zusatzinformation- Inhalt 19", 'T'},
    {"Zusatzinformation - Art 20", 'T'},
    {"Zusatzinformation- Inhalt 20", 'T'},
    {"Stück", 'Z'},
    {"Gewicht", 'Z'},
    {"Zahlweise", 'Z'},
    {"Forderungsart", 'T'},
    {"Veranlagungsjahr", 'Z'},
    {"Zugeordnete Fälligkeit", 'D'},
    {"Skontotyp", 'Z'},
    {"Auftragsnummer", 'T'},
    {"Buchungstyp", 'T'},
    {"USt-Schlüssel (Anzahlungen)", 'Z'},
    {"EU-Land (Anzahlungen)", 'T'},
    {"Sachverhalt L+L (Anzahlungen)", 'Z'},
    {"EU-Steuersatz (Anzahlungen)", 'Z'},
    {"Erlöskonto (Anzahlungen)", 'K'},
    {"Herkunft-Kz", 'T'},
    {"Buchungs GUID", 'T'},
    {"KOST-Datum", 'D'},
    {"SEPA-Mandatsreferenz", 'T'},
    {"Skontosperre", 'Z'},
    {"Gesellschaftername", 'T'},
    {"Beteiligtennummer", 'Z'},
    {"Identifikationsnummer", 'T'},
    {"Zeichnernummer", 'T'},
    {"Postensperre bis", 'D'},
    {"Bezeichnung SoBil-Sachverhalt", 'T'},
    {"Kennzeichen SoBil-Buchung", 'Z'},
    {"Festschreibung", 'Z'},
    {"Leistungsdatum", 'D'},
    {"Datum Zuord. Steuerperiode", 'D'},
    {"Fälligkeit", 'D'},
    {"Generalumkehr (GU)", 'T'},
    {"Steuersatz", 'Z'},
    {"Land", 'T'},
    {"Abrechnungsreferenz", 'T'},
    {"BVV-Position", 'Z'},
    {"EU-Land u. UStID (Ursprung)", 'T'},
    {"EU-Steuersatz (Ursprung)", 'Z'},
    {"Abw. Skontokonto", 'K'},
};
constexpr int kBuchungSpaltenAnzahl = int(sizeof(kBuchungSpalten) / sizeof(kBuchungSpalten[0]));
static_assert(kBuchungSpaltenAnzahl == 125);

// The columns of a customer line (format version 5), as DATEV's sample names them.
const char* const kDebitorSpalten[] = {
    "Konto",
    "Name (Adressattyp Unternehmen)",
    "Unternehmensgegenstand",
    "Name (Adressattyp natürl. Person)",
    "Vorname (Adressattyp natürl. Person)",
    "Name (Adressattyp keine Angabe)",
    "Adressattyp",
    "Kurzbezeichnung",
    "EU-Land",
    "EU-UStID",
    "Anrede",
    "Titel/Akad. Grad",
    "Adelstitel",
    "Namensvorsatz",
    "Adressart",
    "Straße",
    "Postfach",
    "Postleitzahl",
    "Ort",
    "Land",
    "Versandzusatz",
    "Adresszusatz",
    "Abweichende Anrede",
    "Abw. Zustellbezeichnung 1",
    "Abw. Zustellbezeichnung 2",
    "Kennz. Korrespondenzadresse",
    "Adresse Gültig von",
    "Adresse Gültig bis",
    "Telefon",
    "Bemerkung (Telefon)",
    "Telefon GL",
    "Bemerkung (Telefon GL)",
    "E-Mail",
    "Bemerkung (E-Mail)",
    "Internet",
    "Bemerkung (Internet)",
    "Fax",
    "Bemerkung (Fax)",
    "Sonstige",
    "Bemerkung (Sonstige)",
    "Bankleitzahl 1",
    "Bankbezeichnung 1",
    "Bank-Kontonummer 1",
    "Länderkennzeichen 1",
    "IBAN-Nr. 1",
    "Leerfeld",
    "SWIFT-Code 1",
    "Abw. Kontoinhaber 1",
    "Kennz. Hauptbankverb. 1",
    "Bankverb 1 Gültig von",
    "Bankverb 1 Gültig bis",
    "Bankleitzahl 2",
    "Bankbezeichnung 2",
    "Bank-Kontonummer 2",
    "Länderkennzeichen 2",
    "IBAN-Nr. 2",
    "Leerfeld",
    "SWIFT-Code 2",
    "Abw. Kontoinhaber 2",
    "Kennz. Hauptbankverb. 2",
    "Bankverb 2 Gültig von",
    "Bankverb 2 Gültig bis",
    "Bankleitzahl 3",
    "Bankbezeichnung 3",
    "Bank-Kontonummer 3",
    "Länderkennzeichen 3",
    "IBAN-Nr. 3",
    "Leerfeld",
    "SWIFT-Code 3",
    "Abw. Kontoinhaber 3",
    "Kennz. Hauptbankverb. 3",
    "Bankverb 3 Gültig von",
    "Bankverb 3 Gültig bis",
    "Bankleitzahl 4",
    "Bankbezeichnung 4",
    "Bank-Kontonummer 4",
    "Länderkennzeichen 4",
    "IBAN-Nr. 4",
    "Leerfeld",
    "SWIFT-Code 4",
    "Abw. Kontoinhaber 4",
    "Kennz. Hauptbankverb. 4",
    "Bankverb 4 Gültig von",
    "Bankverb 4 Gültig bis",
    "Bankleitzahl 5",
    "Bankbezeichnung 5",
    "Bank-Kontonummer 5",
    "Länderkennzeichen 5",
    "IBAN-Nr. 5",
    "Leerfeld",
    "SWIFT-Code 5",
    "Abw. Kontoinhaber 5",
    "Kennz. Hauptbankverb. 5",
    "Bankverb 5 Gültig von",
    "Bankverb 5 Gültig bis",
    "Leerfeld",
    "Briefanrede",
    "Grußformel",
    "Kunden-/Lief.-Nr.",
    "Steuernummer",
    "Sprache",
    "Ansprechpartner",
    "Vertreter",
    "Sachbearbeiter",
    "Diverse-Konto",
    "Ausgabeziel",
    "Währungssteuerung",
    "Kreditlimit (Debitor)",
    "Zahlungsbedingung",
    "Fälligkeit in Tagen (Debitor)",
    "Skonto in Prozent (Debitor)",
    "Kreditoren-Ziel 1 Tg.",
    "Kreditoren-Skonto 1 %",
    "Kreditoren-Ziel 2 Tg.",
    "Kreditoren-Skonto 2 %",
    "Kreditoren-Ziel 3 Brutto Tg.",
    "Kreditoren-Ziel 4 Tg.",
    "Kreditoren-Skonto 4 %",
    "Kreditoren-Ziel 5 Tg.",
    "Kreditoren-Skonto 5 %",
    "Mahnung",
    "Kontoauszug",
    "Mahntext 1",
    "Mahntext 2",
    "Mahntext 3",
    "Kontoauszugstext",
    "Mahnlimit Betrag",
    "Mahnlimit %",
    "Zinsberechnung",
    "Mahnzinssatz 1",
    "Mahnzinssatz 2",
    "Mahnzinssatz 3",
    "Lastschrift",
    "Leerfeld",
    "Mandantenbank",
    "Zahlungsträger",
    "Indiv. Feld 1",
    "Indiv. Feld 2",
    "Indiv. Feld 3",
    "Indiv. Feld 4",
    "Indiv. Feld 5",
    "Indiv. Feld 6",
    "Indiv. Feld 7",
    "Indiv. Feld 8",
    "Indiv. Feld 9",
    "Indiv. Feld 10",
    "Indiv. Feld 11",
    "Indiv. Feld 12",
    "Indiv. Feld 13",
    "Indiv. Feld 14",
    "Indiv. Feld 15",
    "Abweichende Anrede (Rechnungsadresse)",
    "Adressart (Rechnungsadresse)",
    "Straße (Rechnungsadresse)",
    "Postfach (Rechnungsadresse)",
    "Postleitzahl (Rechnungsadresse)",
    "Ort (Rechnungsadresse)",
    "Land (Rechnungsadresse)",
    "Versandzusatz (Rechnungsadresse)",
    "Adresszusatz (Rechnungsadresse)",
    "Abw. Zustellbezeichnung 1 (Rechnungsadresse)",
    "Abw. Zustellbezeichnung 2 (Rechnungsadresse)",
    "Adresse Gültig von (Rechnungsadresse)",
    "Adresse Gültig bis (Rechnungsadresse)",
    "Bankleitzahl 6",
    "Bankbezeichnung 6",
    "Bank-Kontonummer 6",
    "Länderkennzeichen 6",
    "IBAN-Nr. 6",
    "Leerfeld",
    "SWIFT-Code 6",
    "Abw. Kontoinhaber 6",
    "Kennz. Hauptbankverb. 6",
    "Bankverb 6 Gültig von",
    "Bankverb 6 Gültig bis",
    "Bankleitzahl 7",
    "Bankbezeichnung 7",
    "Bank-Kontonummer 7",
    "Länderkennzeichen 7",
    "IBAN-Nr. 7",
    "Leerfeld",
    "SWIFT-Code 7",
    "Abw. Kontoinhaber 7",
    "Kennz. Hauptbankverb. 7",
    "Bankverb 7 Gültig von",
    "Bankverb 7 Gültig bis",
    "Bankleitzahl 8",
    "Bankbezeichnung 8",
    "Bank-Kontonummer 8",
    "Länderkennzeichen 8",
    "IBAN-Nr. 8",
    "Leerfeld",
    "SWIFT-Code 8",
    "Abw. Kontoinhaber 8",
    "Kennz. Hauptbankverb. 8",
    "Bankverb 8 Gültig von",
    "Bankverb 8 Gültig bis",
    "Bankleitzahl 9",
    "Bankbezeichnung 9",
    "Bank-Kontonummer 9",
    "Länderkennzeichen 9",
    "IBAN-Nr. 9",
    "Leerfeld",
    "SWIFT-Code 9",
    "Abw. Kontoinhaber 9",
    "Kennz. Hauptbankverb. 9",
    "Bankverb 9 Gültig von",
    "Bankverb 9 Gültig bis",
    "Bankleitzahl 10",
    "Bankbezeichnung 10",
    "Bank-Kontonummer 10",
    "Länderkennzeichen 10",
    "IBAN-Nr. 10",
    "Leerfeld",
    "SWIFT-Code 10",
    "Abw. Kontoinhaber 10",
    "Kennz. Hauptbankverb. 10",
    "Bankverb 10 Gültig von",
    "Bankverb 10 Gültig bis",
    "Nummer Fremdsystem",
    "Insolvent",
    "SEPA-Mandatsreferenz 1",
    "SEPA-Mandatsreferenz 2",
    "SEPA-Mandatsreferenz 3",
    "SEPA-Mandatsreferenz 4",
    "SEPA-Mandatsreferenz 5",
    "SEPA-Mandatsreferenz 6",
    "SEPA-Mandatsreferenz 7",
    "SEPA-Mandatsreferenz 8",
    "SEPA-Mandatsreferenz 9",
    "SEPA-Mandatsreferenz 10",
    "Verknüpftes OPOS-Konto",
    "Mahnsperre bis",
    "Lastschriftsperre bis",
    "Zahlungssperre bis",
    "Gebührenberechnung",
    "Mahngebühr 1",
    "Mahngebühr 2",
    "Mahngebühr 3",
    "Pauschalenberechnung",
    "Verzugspauschale 1",
    "Verzugspauschale 2",
    "Verzugspauschale 3",
    "Alternativer Suchname",
    "Status",
    "Anschrift manuell geändert (Korrespondenzadresse)",
    "Anschrift individuell (Korrespondenzadresse)",
    "Anschrift manuell geändert (Rechnungsadresse)",
    "Anschrift individuell (Rechnungsadresse)",
    "Fristberechnung bei Debitor",
    "Mahnfrist 1",
    "Mahnfrist 2",
    "Mahnfrist 3",
    "Letzte Frist",
};
constexpr int kDebitorSpaltenAnzahl = int(sizeof(kDebitorSpalten) / sizeof(kDebitorSpalten[0]));
static_assert(kDebitorSpaltenAnzahl == 254);

// Characters 0x80..0x9F of Windows-1252; 0 where the code page has none.
const char16_t kHoch[32] = {0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                            0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,
                            0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                            0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

const QString kKontoPraefix = QStringLiteral("Datev");

// A booking text or master-data value: line breaks and tabs become blanks
// (DATEV takes none inside a field), the rest is checked character by
// character. Empty when everything can be written; else the German reason.
QString Unzulaessig(const QString& text) {
    for (const QChar c : text) {
        if (c == u'\r' || c == u'\n' || c == u'\t')
            continue;
        char b;
        if (!DatevByte(c, &b)) {
            const QString code =
                QStringLiteral("U+") + QString::number(c.unicode(), 16).toUpper().rightJustified(4, u'0');
            return QStringLiteral("das Zeichen ") +
                   (c.isPrint() ? u'"' + QString(c) + QStringLiteral("\" (") + code + u')' : code) +
                   QStringLiteral(", das DATEV (Windows-1252) nicht aufnehmen kann");
        }
    }
    return QString();
}

// A name for a message: what DATEV cannot take shown as "?".
QString Lesbar(const QString& text) {
    QString out;
    for (const QChar c : text) {
        char b;
        out += DatevByte(c, &b) || c == u'\n' ? c : QChar(u'?');
    }
    return out;
}

QString Einzeilig(QString text) {
    text.replace(u'\r', u' ').replace(u'\n', u' ').replace(u'\t', u' ');
    return text.simplified();
}

// Appends text in Windows-1252; every character has been checked before.
void Bytes(QByteArray& out, const QString& text) {
    for (const QChar c : text) {
        char b = '?';
        DatevByte(c, &b);
        out.append(b);
    }
}

void Text(QByteArray& out, const QString& text) {
    out.append('"');
    for (const QChar c : text) {
        char b = '?';
        DatevByte(c, &b);
        if (b == '"')
            out.append('"');
        out.append(b);
    }
    out.append('"');
}

// An amount of cents as DATEV writes it: "1190,00".
QByteArray Betrag(qint64 cents) {
    QByteArray s = QByteArray::number(cents / 100);
    s.append(',');
    const int rest = int(cents % 100);
    s.append(char('0' + rest / 10));
    s.append(char('0' + rest % 10));
    return s;
}

QString Zwei(int n) {
    return QString::number(n).rightJustified(2, u'0');
}
QString TTMM(const QDate& d) {
    return Zwei(d.day()) + Zwei(d.month());
}
QString TTMMJJJJ(const QDate& d) {
    return TTMM(d) + QString::number(d.year());
}
QString JJJJMMTT(const QDate& d) {
    return QString::number(d.year()) + Zwei(d.month()) + Zwei(d.day());
}

QString SatzText(double satz) {
    return QString::number(satz, 'g', 6).replace(u'.', u',');
}

bool NurZiffern(const QString& s) {
    if (s.isEmpty())
        return false;
    for (const QChar c : s)
        if (c < u'0' || c > u'9')
            return false;
    return true;
}

QString TypPraefix(const QString& typ) {
    if (typ == QLatin1String("R"))
        return QStringLiteral("RE");
    if (typ == QLatin1String("T"))
        return QStringLiteral("TR");
    if (typ == QLatin1String("S"))
        return QStringLiteral("SR");
    return QStringLiteral("GS");
}

// The line 1 of a file: 31 fields, header version 700.
QByteArray Kopfzeile(const TDatevEinstellungen& e, int kategorie, const QDateTime& jetzt, const QDate& wj,
                     const QDate& von, const QDate& bis, const QString& bezeichnung) {
    const bool buchungen = kategorie == 21;
    QByteArray out;
    out += "\"EXTF\";700;";
    out += QByteArray::number(kategorie);
    out += buchungen ? ";\"Buchungsstapel\";13;" : ";\"Debitoren/Kreditoren\";5;";
    out += jetzt.toString(QStringLiteral("yyyyMMddhhmmsszzz")).toLatin1();
    out += ";;\"RE\";\"\";\"\";";
    out += e.Berater.toLatin1() + ';' + e.Mandant.toLatin1() + ';';
    out += JJJJMMTT(wj).toLatin1() + ';' + QByteArray::number(e.Kontenlaenge) + ';';
    if (buchungen) {
        out += JJJJMMTT(von).toLatin1() + ';' + JJJJMMTT(bis).toLatin1() + ';';
        Text(out, bezeichnung);
        // Diktatkürzel; Buchungstyp 1 (Finanzbuchführung); Rechnungslegungszweck
        // 0; Festschreibung 0, so the advisor can still correct the batch.
        out += ";\"\";1;0;0;\"EUR\";";
    } else {
        out += ";;\"\";\"\";;;;\"\";";
    }
    out += ";\"\";;;\"";
    out += e.SKR.toLatin1();
    out += "\";;;\"\";\"\"\r\n";
    return out;
}

QByteArray Spaltenzeile(bool buchungen) {
    QByteArray out;
    if (buchungen) {
        for (int i = 0; i < kBuchungSpaltenAnzahl; ++i) {
            if (i)
                out += ';';
            Bytes(out, QString::fromUtf8(kBuchungSpalten[i].Name));
        }
    } else {
        for (int i = 0; i < kDebitorSpaltenAnzahl; ++i) {
            if (i)
                out += ';';
            Bytes(out, QString::fromUtf8(kDebitorSpalten[i]));
        }
    }
    out += "\r\n";
    return out;
}

struct TKunde {
    QString Firma, Nachname, Vorname, Strasse, PLZ, Ort, LandBez, UID;
    QString Land; // ISO code, empty when unknown
    QString Name() const {
        const QString f = Firma.trimmed();
        return f.isEmpty() ? (Vorname.trimmed() + u' ' + Nachname.trimmed()).trimmed() : f;
    }
    int Zahlungsziel = -1;
    QString Anzeige; // the name on one line, for the booking text
};

struct TZeile {
    QString Situation;
    double Satz = 0;
    qint64 Cent = 0; // gross, signed as the document counts
};

struct TBeleg {
    QString Typ;
    qint64 Nummer = 0;
    qint64 KundenID = 0;
    QDate Datum;
    bool Netto = false;
    QString RefTyp;
    qint64 RefID = 0;
    QList<TZeile> Zeilen;
    QString Feld1, Feld2, Text; // Belegfeld 1 and 2, the start of the booking text
};

// A VAT number as DATEV takes it: the country code, then letters, digits,
// "+" or "*", at most 15 characters in all.
bool UIDFuerDatev(const QString& uid) {
    if (!UIDFormGueltig(uid) || uid.size() > 15)
        return false;
    for (const QChar c : uid.mid(2))
        if (!(c >= u'A' && c <= u'Z') && !(c >= u'0' && c <= u'9') && c != u'+' && c != u'*')
            return false;
    return true;
}

// Runs work in a transaction of its own unless one is already open.
void InTransaktion(TDM& dm, const std::function<void()>& work) {
    TSQLiteDB& db = dm.SQLiteDB1;
    const bool eigene = !db.InTransaction();
    if (eigene)
        db.StartTransaction();
    try {
        work();
        if (eigene)
            db.Commit();
    } catch (...) {
        if (eigene && db.InTransaction())
            db.Rollback();
        throw;
    }
}

qint64 Cents(double euro) {
    return std::llround(euro * 100.0);
}

QString BelegName(const QString& typ, qint64 nr) {
    return DokTypName(typ) + u' ' + QString::number(nr);
}

} // namespace

// ---------------------------------------------------------------------

bool DatevByte(QChar c, char* byte) {
    const char16_t u = c.unicode();
    if (u < 0x20 || u == 0x7F || (u >= 0x80 && u < 0xA0))
        return false;
    if (u < 0x80 || (u >= 0xA0 && u <= 0xFF)) {
        *byte = char(u);
        return true;
    }
    for (int i = 0; i < 32; ++i)
        if (kHoch[i] == u) {
            *byte = char(0x80 + i);
            return true;
        }
    return false;
}

QStringList DatevStandardSituationen() {
    return {QStringLiteral("19"), QStringLiteral("7"), DatevIGL, DatevAusfuhr, DatevRC, DatevKU};
}

QString DatevSituationText(const QString& situation) {
    if (situation == DatevIGL)
        return QStringLiteral("Innergemeinschaftliche Lieferung (steuerfrei)");
    if (situation == DatevAusfuhr)
        return QStringLiteral("Ausfuhr in ein Land außerhalb der EU (steuerfrei)");
    if (situation == DatevRC)
        return QStringLiteral("Steuerschuldnerschaft des Leistungsempfängers (Inland)");
    if (situation == DatevKU)
        return QStringLiteral("Kleinunternehmer (ohne Umsatzsteuer)");
    return QStringLiteral("Umsatzsteuer ") + situation + QStringLiteral(" %");
}

QString DatevStandardKonto(const QString& situation, const QString& skr, int kontenlaenge) {
    if (kontenlaenge != 4)
        return QString();
    const bool skr04 = skr == QLatin1String("04");
    static const QHash<QString, QPair<QString, QString>> konten{
        {QStringLiteral("19"), {QStringLiteral("8400"), QStringLiteral("4400")}},
        {QStringLiteral("7"), {QStringLiteral("8300"), QStringLiteral("4300")}},
        {DatevIGL, {QStringLiteral("8125"), QStringLiteral("4125")}},
        {DatevAusfuhr, {QStringLiteral("8120"), QStringLiteral("4120")}},
        {DatevRC, {QStringLiteral("8337"), QStringLiteral("4337")}},
        {DatevKU, {QStringLiteral("8195"), QStringLiteral("4185")}},
    };
    const auto it = konten.constFind(situation);
    if (it == konten.cend())
        return QString();
    return skr04 ? it->second : it->first;
}

QString DatevKonto(const TDatevEinstellungen& e, const QString& situation) {
    const QString eigen = e.Konten.value(situation).trimmed();
    return eigen.isEmpty() ? DatevStandardKonto(situation, e.SKR, e.Kontenlaenge) : eigen;
}

TDatevEinstellungen LeseDatevEinstellungen(TDM& dm) {
    TDatevEinstellungen e;
    auto wert = [&dm](const char* key) { return dm.GetAllg(kKontoPraefix + QLatin1String(key)).trimmed(); };
    e.Berater = wert("Berater");
    e.Mandant = wert("Mandant");
    if (const QString wj = wert("WJBeginn"); !wj.isEmpty())
        e.WJBeginn = wj;
    bool ok = false;
    if (const int l = wert("Kontenlaenge").toInt(&ok); ok)
        e.Kontenlaenge = l;
    if (const QString skr = wert("SKR"); !skr.isEmpty())
        e.SKR = skr;
    if (const qint64 start = wert("DebitorStart").toLongLong(&ok); ok)
        e.DebitorStart = start;
    else
        e.DebitorStart = qint64(std::pow(10, std::clamp(e.Kontenlaenge, 4, 8)));
    e.BelegfeldRechnung = wert("BelegfeldRechnung") == QLatin1String("J");
    TSQLiteQuery q(&dm.SQLiteDB1);
    q.RunSQL(QStringLiteral("select AllgID, AllgWert from set_allg where AllgID like 'DatevKonto%'"));
    for (q.First(); !q.Eof(); q.Next()) {
        const QString key = q.Fields(0)->AsString().mid(10);
        const QString konto = q.Fields(1)->AsString().trimmed();
        if (!key.isEmpty() && !konto.isEmpty())
            e.Konten.insert(key, konto);
    }
    return e;
}

void SpeichereDatevEinstellungen(TDM& dm, const TDatevEinstellungen& e) {
    InTransaktion(dm, [&] {
        dm.SetAllg(QStringLiteral("DatevBerater"), e.Berater);
        dm.SetAllg(QStringLiteral("DatevMandant"), e.Mandant);
        dm.SetAllg(QStringLiteral("DatevWJBeginn"), e.WJBeginn);
        dm.SetAllg(QStringLiteral("DatevKontenlaenge"), QString::number(e.Kontenlaenge));
        dm.SetAllg(QStringLiteral("DatevSKR"), e.SKR);
        dm.SetAllg(QStringLiteral("DatevDebitorStart"), QString::number(e.DebitorStart));
        dm.SetAllg(QStringLiteral("DatevBelegfeldRechnung"),
                   e.BelegfeldRechnung ? QStringLiteral("J") : QStringLiteral("N"));
        for (auto it = e.Konten.cbegin(); it != e.Konten.cend(); ++it)
            dm.SetAllg(QStringLiteral("DatevKonto") + it.key(), it.value().trimmed());
    });
}

QString PruefeDatevEinstellungen(const TDatevEinstellungen& e) {
    QStringList fehler;
    bool ok = false;
    const qint64 berater = e.Berater.toLongLong(&ok);
    if (!NurZiffern(e.Berater) || !ok || berater < 1001 || berater > 9999999)
        fehler << QStringLiteral("Die Beraternummer muss eine Zahl von 1001 bis 9999999 sein.");
    const qint64 mandant = e.Mandant.toLongLong(&ok);
    if (!NurZiffern(e.Mandant) || !ok || mandant < 1 || mandant > 99999)
        fehler << QStringLiteral("Die Mandantennummer muss eine Zahl von 1 bis 99999 sein.");
    if (!NurZiffern(e.WJBeginn) || e.WJBeginn.size() != 4 ||
        !QDate(2000, e.WJBeginn.left(2).toInt(), e.WJBeginn.mid(2, 2).toInt()).isValid())
        fehler << QStringLiteral("Der Wirtschaftsjahresbeginn muss ein Tag des Jahres sein (Tag und Monat).");
    if (e.Kontenlaenge < 4 || e.Kontenlaenge > 8)
        fehler << QStringLiteral("Die Sachkontenlänge muss zwischen 4 und 8 liegen.");
    if (e.SKR != QLatin1String("03") && e.SKR != QLatin1String("04"))
        fehler << QStringLiteral("Der Kontenrahmen muss SKR03 oder SKR04 sein.");
    if (e.Kontenlaenge >= 4 && e.Kontenlaenge <= 8) {
        const qint64 unten = qint64(std::pow(10, e.Kontenlaenge));
        if (e.DebitorStart < unten || e.DebitorStart >= 7 * unten)
            fehler << QStringLiteral("Der Beginn der Debitorenkonten muss zwischen %1 und %2 liegen "
                                     "(Sachkontenlänge %3 + 1 Stelle).")
                          .arg(unten)
                          .arg(7 * unten - 1)
                          .arg(e.Kontenlaenge);
    }
    return fehler.join(u'\n');
}

QDate DatevWJAnfang(const TDatevEinstellungen& e, const QDate& tag) {
    const int mm = e.WJBeginn.left(2).toInt(), tt = e.WJBeginn.mid(2, 2).toInt();
    QDate anfang(tag.year(), mm, tt);
    if (!anfang.isValid()) // 29 February outside a leap year
        anfang = QDate(tag.year(), mm, 28);
    if (anfang > tag)
        anfang = anfang.addYears(-1);
    return anfang;
}

QString DatevBuchungsDateiName(const QDate& von, const QDate& bis) {
    return QStringLiteral("EXTF_Buchungsstapel_") + JJJJMMTT(von) + u'-' + JJJJMMTT(bis) +
           QStringLiteral(".csv");
}

QString DatevDebitorenDateiName(const QDate& von, const QDate& bis) {
    return QStringLiteral("EXTF_Debitoren_") + JJJJMMTT(von) + u'-' + JJJJMMTT(bis) + QStringLiteral(".csv");
}

void EnsureDatevTables(TDM& dm) {
    if (dm.TableExists(QStringLiteral("DatevExport")))
        return;
    InTransaktion(dm, [&] {
        dm.SQLiteDB1.ExecSQL(QStringLiteral(
            "CREATE TABLE IF NOT EXISTS DatevExport (KopfTyp CHAR(1) NOT NULL, KopfID INTEGER NOT NULL, "
            "Exportiert DATETIME NOT NULL, Datei VARCHAR(250), PRIMARY KEY (KopfTyp, KopfID))"));
        // The export hands the books out: protected by the password like the data export.
        if (dm.TableExists(QStringLiteral("set_recht")))
            dm.SQLiteDB1.ExecSQL(
                QStringLiteral("INSERT INTO set_recht SELECT 'DatevExport', 'DATEV-Export', 'N' "
                               "WHERE NOT EXISTS (SELECT 1 FROM set_recht WHERE Funktion = 'DatevExport')"));
    });
}

namespace {

QString BelegFilter(const QDate& von, const QDate& bis) {
    return QStringLiteral("K.KopfTyp in ('R','T','S','G') and K.Status in ('D','A','Z') and date(K.Datum) "
                          "between '") +
           DateToSQL(von) + QStringLiteral("' and '") + DateToSQL(bis) + u'\'';
}

QSet<QString> Exportierte(TDM& dm) {
    QSet<QString> set;
    if (!dm.TableExists(QStringLiteral("DatevExport")))
        return set;
    TSQLiteQuery q(&dm.SQLiteDB1);
    q.RunSQL(QStringLiteral("select KopfTyp, KopfID from DatevExport"));
    for (q.First(); !q.Eof(); q.Next())
        set.insert(q.Fields(0)->AsString() + QString::number(q.Fields(1)->AsLargeInt()));
    return set;
}

} // namespace

QStringList DatevSaetzeImZeitraum(TDM& dm, const QDate& von, const QDate& bis) {
    QStringList saetze;
    if (!von.isValid() || !bis.isValid())
        return saetze;
    TSQLiteQuery q(&dm.SQLiteDB1);
    q.RunSQL(
        QStringLiteral("select distinct P.MWStSatz from Kopf K join PosPreis P on P.KopfTyp = K.KopfTyp and "
                       "P.KopfID = K.KopfID where ifnull(K.Netto,'N') <> 'J' and ") +
        BelegFilter(von, bis) + QStringLiteral(" order by 1 desc"));
    for (q.First(); !q.Eof(); q.Next())
        saetze << SatzText(q.Fields(0)->AsFloat());
    return saetze;
}

int DatevBereitsExportiert(TDM& dm, const QDate& von, const QDate& bis) {
    if (!dm.TableExists(QStringLiteral("DatevExport")))
        return 0;
    TSQLiteQuery q(&dm.SQLiteDB1);
    q.RunSQL(QStringLiteral("select count(*) from Kopf K join DatevExport X on X.KopfTyp = K.KopfTyp and "
                            "X.KopfID = K.KopfID where ") +
             BelegFilter(von, bis));
    return int(q.Fields(0)->AsLargeInt());
}

TDatevErgebnis DatevErstellen(TDM& dm, const TDatevEinstellungen& e, const TDatevAuftrag& auftrag) {
    TDatevErgebnis r;
    QStringList fehler;
    auto fertig = [&]() -> TDatevErgebnis& {
        if (fehler.size() > 12) {
            const qsizetype weitere = fehler.size() - 10;
            fehler = fehler.mid(0, 10);
            fehler << QStringLiteral("… und %1 weitere Gründe.").arg(weitere);
        }
        r.Fehler = fehler.join(u'\n');
        r.Ok = r.Fehler.isEmpty();
        if (!r.Ok) {
            r.Buchungsstapel.clear();
            r.Debitoren.clear();
        }
        return r;
    };

    // The period: one fiscal year, the beginning before the end.
    const QDate von = auftrag.Von, bis = auftrag.Bis;
    if (!von.isValid() || !bis.isValid() || von > bis) {
        fehler << QStringLiteral("Der Zeitraum ist ungültig: das Anfangsdatum muss vor dem Enddatum liegen.");
        return fertig();
    }
    if (const QString s = PruefeDatevEinstellungen(e); !s.isEmpty()) {
        fehler << s;
        return fertig();
    }
    const QDate wj = DatevWJAnfang(e, von);
    if (bis > wj.addYears(1).addDays(-1)) {
        fehler << QStringLiteral("Der Zeitraum %1 bis %2 reicht über das Wirtschaftsjahr hinaus, das am %3 "
                                 "beginnt; DATEV nimmt nur Buchungen eines Wirtschaftsjahres in einem Stapel "
                                 "an. Bitte den Zeitraum teilen.")
                      .arg(von.toString(QStringLiteral("dd.MM.yyyy")),
                           bis.toString(QStringLiteral("dd.MM.yyyy")),
                           wj.toString(QStringLiteral("dd.MM.yyyy")));
        return fertig();
    }
    r.BuchungsDatei = DatevBuchungsDateiName(von, bis);
    r.DebitorenDatei = DatevDebitorenDateiName(von, bis);

    const bool kleinunternehmer = IstKleinunternehmer(dm);
    // Which account a document without VAT books to depends on where the
    // company sits; that is not guessed.
    const QString firmaLand = dm.GetAllg(QStringLiteral("FirmaLand")).trimmed().toUpper();
    const QSet<QString> exportiert =
        auftrag.Umfang == TDatevUmfang::NurNeue ? Exportierte(dm) : QSet<QString>();

    // The documents with their net sums per rate, in one pass over the price lines.
    QList<TBeleg> belege;
    {
        TSQLiteQuery q(&dm.SQLiteDB1);
        q.RunSQL(QStringLiteral(
                     "select K.KopfTyp, K.KopfID, K.KundenID, cast(strftime('%Y%m%d', K.Datum) as integer), "
                     "ifnull(K.Netto,'N'), K.RefTyp, "
                     "K.RefID, case ifnull(K.Netto,'N') when 'J' then 0 else P.MWStSatz end as Satz, "
                     "total(P.Menge*P.Wert*(100.0-ifnull(P.Rabatt,0))/100.0), count(P.KopfID) from Kopf K "
                     "left join PosPreis P on P.KopfTyp = K.KopfTyp and P.KopfID = K.KopfID where ") +
                 BelegFilter(von, bis) +
                 QStringLiteral(" group by K.KopfTyp, K.KopfID, Satz order by date(K.Datum), K.KopfTyp, "
                                "K.KopfID, Satz"));
        for (q.First(); !q.Eof(); q.Next()) {
            const QString typ = q.Fields(0)->AsString();
            const qint64 nr = q.Fields(1)->AsLargeInt();
            if (belege.isEmpty() || belege.last().Typ != typ || belege.last().Nummer != nr) {
                if (!exportiert.isEmpty() && exportiert.contains(typ + QString::number(nr))) {
                    continue;
                }
                TBeleg b;
                b.Typ = typ;
                b.Nummer = nr;
                b.KundenID = q.Fields(2)->AsLargeInt();
                // The day as text: no time zone to look up for every document.
                const qint64 jjjjmmtt = q.Fields(3)->AsLargeInt();
                b.Datum = QDate(int(jjjjmmtt / 10000), int(jjjjmmtt / 100 % 100), int(jjjjmmtt % 100));
                b.Netto = q.Fields(4)->AsString() == QLatin1String("J");
                b.RefTyp = q.Fields(5)->AsString();
                b.RefID = q.Fields(6)->AsLargeInt();
                belege.append(b);
            }
            if (q.Fields(9)->AsLargeInt() == 0)
                continue; // no price lines
            TZeile z;
            z.Satz = q.Fields(7)->AsFloat();
            // As the printout: the net of a rate to the cent, its VAT from the
            // unrounded net, rounded per rate.
            const double netto = q.Fields(8)->AsFloat();
            const qint64 gross =
                Cents(RoundCentsHalfEven(netto)) + Cents(RoundCentsHalfEven(netto * z.Satz / 100.0));
            z.Cent = DokTypUmsatzVorzeichen(typ) * gross;
            belege.last().Zeilen.append(z);
        }
    }
    r.Belege = int(belege.size());
    if (belege.isEmpty()) {
        r.Ok = true;
        return r;
    }

    // The customers of these documents.
    QHash<qint64, TKunde> kunden;
    {
        TSQLiteQuery q(&dm.SQLiteDB1);
        q.RunSQL(
            QStringLiteral("select U.KundenID, U.Firma, U.Nachname, U.Vorname, U.Strasse, U.PLZ, U.Ort, "
                           "L.LandBez, U.UIDNr from Kunde U left join Land L on L.LandID = U.LandID where "
                           "U.KundenID in (select K.KundenID from Kopf K where ") +
            BelegFilter(von, bis) + u')');
        for (q.First(); !q.Eof(); q.Next()) {
            TKunde k;
            k.Firma = q.Fields(1)->AsString();
            k.Nachname = q.Fields(2)->AsString();
            k.Vorname = q.Fields(3)->AsString();
            k.Strasse = q.Fields(4)->AsString();
            k.PLZ = q.Fields(5)->AsString();
            k.Ort = q.Fields(6)->AsString();
            k.LandBez = q.Fields(7)->AsString().trimmed();
            k.Land = LandCode(k.LandBez);
            k.UID = q.Fields(8)->AsString().remove(u' ').toUpper();
            k.Anzeige = Einzeilig(k.Name());
            kunden.insert(q.Fields(0)->AsLargeInt(), k);
        }
    }
    // Due dates of invoices: the customer's own due period, else the company's.
    const TZahlungsBedingung firma = FirmenZahlungsBedingung(dm);
    if (HasZahlungTables(dm)) {
        TSQLiteQuery q(&dm.SQLiteDB1);
        q.RunSQL(QStringLiteral("select KundenID, Zahlungsziel from ZahlungsBedingung where Zahlungsziel is "
                                "not null"));
        for (q.First(); !q.Eof(); q.Next()) {
            auto it = kunden.find(q.Fields(0)->AsLargeInt());
            if (it != kunden.end())
                it->Zahlungsziel = int(q.Fields(1)->AsLargeInt());
        }
    }

    // Which account each line books to.
    const qint64 debitorEnde = 7 * qint64(std::pow(10, e.Kontenlaenge)) - 1;
    QMap<QString, QStringList> ohneKonto; // situation -> documents
    QHash<QString, QString> konten;
    auto kontoVon = [&](const QString& situation) {
        auto it = konten.constFind(situation);
        if (it == konten.cend())
            it = konten.insert(situation, DatevKonto(e, situation));
        return *it;
    };
    QSet<qint64> gepruefteKunden, gebuchteKunden;
    QList<qint64> kundenFolge;
    for (TBeleg& b : belege) {
        const QString name = BelegName(b.Typ, b.Nummer);
        if (b.Nummer <= 0) {
            fehler << QStringLiteral("%1: DATEV nimmt nur positive Belegnummern an.").arg(name);
            continue;
        }
        if (!b.Datum.isValid()) {
            fehler << QStringLiteral("%1: Das Belegdatum ist ungültig.").arg(name);
            continue;
        }
        const auto k = kunden.constFind(b.KundenID);
        if (k == kunden.cend()) {
            fehler << QStringLiteral("%1: Der Kunde %2 ist nicht vorhanden.").arg(name).arg(b.KundenID);
            continue;
        }
        if (!gepruefteKunden.contains(b.KundenID)) {
            gepruefteKunden.insert(b.KundenID);
            const qint64 konto = e.DebitorStart + b.KundenID;
            if (b.KundenID < 0 || konto > debitorEnde)
                fehler << QStringLiteral("Kunde %1: Das Personenkonto %2 liegt außerhalb der Debitorenkonten "
                                         "(%3 bis %4); bitte den Beginn der Debitorenkonten anpassen.")
                              .arg(b.KundenID)
                              .arg(konto)
                              .arg(e.DebitorStart)
                              .arg(debitorEnde);
            for (const QString& wert :
                 {k->Firma, k->Nachname, k->Vorname, k->Strasse, k->PLZ, k->Ort, k->UID})
                if (const QString warum = Unzulaessig(wert); !warum.isEmpty()) {
                    fehler << QStringLiteral("Kunde %1 (%2): Die Anschrift enthält %3.")
                                  .arg(b.KundenID)
                                  .arg(Lesbar(Einzeilig(k->Name())), warum);
                    break;
                }
        }
        for (TZeile& z : b.Zeilen) {
            if (z.Satz == 0 && kleinunternehmer) {
                z.Situation = DatevKU;
            } else if (b.Netto) {
                QString fehlt;
                const QString kategorie = NettoKategorie(firmaLand, k->Land, k->UID, &fehlt);
                if (kategorie == QLatin1String("K")) {
                    z.Situation = DatevIGL;
                    // DATEV checks the recipient's VAT number of a tax-free supply.
                    if (!UIDFuerDatev(k->UID)) {
                        fehler << QStringLiteral(
                                      "%1 (innergemeinschaftliche Lieferung): Die UID-Nummer \"%2\" des "
                                      "Kunden %3 hat keine gültige Form.")
                                      .arg(name, Lesbar(k->UID))
                                      .arg(b.KundenID);
                        continue;
                    }
                } else if (kategorie == QLatin1String("AE"))
                    z.Situation = DatevRC;
                else if (kategorie == QLatin1String("G"))
                    z.Situation = DatevAusfuhr;
                else {
                    if (firmaLand.isEmpty())
                        fehlt = QStringLiteral("das Land der Firma (Firmendaten/Andruck)");
                    else if (fehlt.isEmpty())
                        fehlt = k->LandBez.isEmpty()
                                    ? QStringLiteral("das Land des Kunden")
                                    : QStringLiteral("ein Ländercode für \"") + k->LandBez + u'"';
                    fehler << QStringLiteral(
                                  "%1 (ohne Umsatzsteuer): Das Erlöskonto lässt sich nicht bestimmen; "
                                  "es fehlt: %2.")
                                  .arg(name, fehlt);
                    continue;
                }
            } else {
                z.Situation = SatzText(z.Satz);
            }
            if (kontoVon(z.Situation).isEmpty()) {
                QStringList& liste = ohneKonto[z.Situation];
                if (liste.size() < 3)
                    liste << name;
                else if (liste.size() == 3)
                    liste << QStringLiteral("…");
            }
        }
        // Every type counts from 1, so the number alone would not tell an
        // invoice from a credit note: the type goes in front of it.
        const QString eigene = TypPraefix(b.Typ) + QString::number(b.Nummer);
        const bool mitRef = (b.Typ == QLatin1String("S") || b.Typ == QLatin1String("G")) &&
                            (b.RefTyp == QLatin1String("R") || b.RefTyp == QLatin1String("T")) && b.RefID > 0;
        const QString ref = mitRef ? TypPraefix(b.RefTyp) + QString::number(b.RefID) : QString();
        b.Feld1 = mitRef && e.BelegfeldRechnung ? ref : eigene;
        b.Feld2 = mitRef ? (e.BelegfeldRechnung ? eigene : ref) : QString();
        b.Text = mitRef ? eigene + QStringLiteral(" zu ") + ref : eigene;
        if (b.Feld1.size() > 36 || b.Feld2.size() > 12)
            fehler << QStringLiteral("%1: Die Belegnummer \"%2\" ist für DATEV zu lang.")
                          .arg(name, b.Feld1.size() > 36 ? b.Feld1 : b.Feld2);
    }
    for (auto it = ohneKonto.cbegin(); it != ohneKonto.cend(); ++it) {
        r.FehlendeKonten << it.key();
        fehler << QStringLiteral("Für \"%1\" ist kein Erlöskonto hinterlegt (%2).")
                      .arg(DatevSituationText(it.key()), it.value().join(QStringLiteral(", ")));
    }
    for (auto it = konten.cbegin(); it != konten.cend(); ++it) {
        const QString& konto = it.value();
        if (!konto.isEmpty() &&
            (!NurZiffern(konto) || konto.size() > e.Kontenlaenge || konto.toLongLong() == 0))
            fehler << QStringLiteral("Das Erlöskonto \"%1\" für \"%2\" ist kein Sachkonto mit höchstens %3 "
                                     "Ziffern.")
                          .arg(konto, DatevSituationText(it.key()))
                          .arg(e.Kontenlaenge);
    }
    if (!fehler.isEmpty())
        return fertig();

    // The booking lines.
    QByteArray stapel;
    stapel.reserve(qsizetype(belege.size()) * 420 + 4096);
    QString bezeichnung;
    if (von.day() == 1 && bis == von.addMonths(1).addDays(-1))
        bezeichnung = QStringLiteral("Rechnungsausgang ") + von.toString(QStringLiteral("MM/yyyy"));
    else
        bezeichnung = QStringLiteral("Ausgang ") + von.toString(QStringLiteral("dd.MM.yyyy")) + u'-' +
                      bis.toString(QStringLiteral("dd.MM.yyyy"));
    const QDateTime jetzt = auftrag.Jetzt.isValid() ? auftrag.Jetzt : QDateTime::currentDateTime();
    stapel += Kopfzeile(e, 21, jetzt, wj, von, bis, bezeichnung);
    stapel += Spaltenzeile(true);
    // The bare columns after Buchungstext, up to EU-Land u. UStID (40), and
    // from there to Fälligkeit (117) and the end, as the column types demand.
    auto leer = [](int von1, int bis1) {
        QByteArray out;
        for (int i = von1; i <= bis1; ++i) {
            out += ';';
            if (kBuchungSpalten[i - 1].Typ == 'T')
                out += "\"\"";
        }
        return out;
    };
    const QByteArray leer15bis39 = leer(15, 39);
    const QByteArray leer41bis116 = leer(41, 116);
    const QByteArray leer118bis125 = leer(118, 125);
    for (const TBeleg& b : belege) {
        r.ExportierteBelege.append({b.Typ, b.Nummer});
        const TKunde& k = kunden[b.KundenID];
        QDate faellig;
        if (b.Typ == QLatin1String("R") || b.Typ == QLatin1String("T"))
            faellig = Faelligkeit(b.Datum, k.Zahlungsziel >= 0 ? k.Zahlungsziel : firma.Zahlungsziel);
        const QByteArray konto = QByteArray::number(e.DebitorStart + b.KundenID);
        const QString& kundenName = k.Anzeige;
        int zeilen = 0;
        for (const TZeile& z : b.Zeilen)
            zeilen += z.Cent != 0;
        for (const TZeile& z : b.Zeilen) {
            if (z.Cent == 0)
                continue; // DATEV takes no booking of 0,00
            stapel += Betrag(std::llabs(z.Cent));
            stapel += z.Cent > 0 ? ";\"S\";\"EUR\";;;\"\";" : ";\"H\";\"EUR\";;;\"\";";
            stapel += konto;
            stapel += ';';
            stapel += konten.value(z.Situation).toLatin1();
            stapel += ";\"\";";
            stapel += TTMM(b.Datum).toLatin1();
            stapel += ';';
            Text(stapel, b.Feld1);
            stapel += ';';
            Text(stapel, b.Feld2);
            stapel += ";;";
            QString text = b.Text;
            if (zeilen > 1)
                text += u' ' + SatzText(z.Satz) + QStringLiteral(" %");
            text += u' ' + kundenName;
            Text(stapel, text.left(60).trimmed());
            stapel += leer15bis39;
            stapel += ';';
            Text(stapel, z.Situation == DatevIGL ? k.UID.left(15) : QString());
            stapel += leer41bis116;
            stapel += ';';
            if (faellig.isValid())
                stapel += TTMMJJJJ(faellig).toLatin1();
            stapel += leer118bis125;
            stapel += "\r\n";
            ++r.Buchungen;
            if (!gebuchteKunden.contains(b.KundenID)) {
                gebuchteKunden.insert(b.KundenID);
                kundenFolge.append(b.KundenID);
            }
        }
    }
    if (r.Buchungen > 99999) {
        fehler << QStringLiteral(
                      "Der Zeitraum ergibt %1 Buchungen; DATEV nimmt höchstens 99999 in einem Stapel "
                      "an. Bitte den Zeitraum teilen.")
                      .arg(r.Buchungen);
        return fertig();
    }

    // The customers booked, in the order of their first booking.
    QByteArray debitoren;
    debitoren += Kopfzeile(e, 16, jetzt, wj, von, bis, QString());
    debitoren += Spaltenzeile(false);
    for (const qint64 id : kundenFolge) {
        const TKunde& k = kunden[id];
        // Only the columns Quorvent keeps are filled; every other stays truly
        // empty, so the import leaves what the advisor maintains there alone.
        QVector<QString> felder(kDebitorSpaltenAnzahl);
        QVector<bool> text(kDebitorSpaltenAnzahl, false);
        auto setze = [&](int spalte, const QString& wert, int laenge) {
            felder[spalte - 1] = Einzeilig(wert).left(laenge).trimmed();
            text[spalte - 1] = true;
        };
        felder[0] = QString::number(e.DebitorStart + id);
        const bool firmaName = !k.Firma.trimmed().isEmpty();
        if (firmaName) {
            setze(2, k.Firma, 50);
            setze(7, QStringLiteral("2"), 1);
        } else {
            setze(4, k.Nachname, 30);
            setze(5, k.Vorname, 30);
            setze(7, QStringLiteral("1"), 1);
        }
        setze(8, k.Name(), 15);
        if (UIDFuerDatev(k.UID)) {
            setze(9, k.UID.left(2), 2);
            setze(10, k.UID.mid(2), 13);
        }
        setze(15, QStringLiteral("STR"), 3);
        setze(16, k.Strasse, 36);
        setze(18, k.PLZ, 10);
        setze(19, k.Ort, 30);
        if (!k.Land.isEmpty())
            setze(20, k.Land, 2);
        setze(99, QString::number(id), 15);
        for (int i = 0; i < kDebitorSpaltenAnzahl; ++i) {
            if (i)
                debitoren += ';';
            if (text[i] && !felder[i].isEmpty())
                Text(debitoren, felder[i]);
            else if (!text[i])
                Bytes(debitoren, felder[i]);
        }
        debitoren += "\r\n";
    }
    r.Kunden = int(kundenFolge.size());
    r.Buchungsstapel = stapel;
    r.Debitoren = debitoren;
    return fertig();
}

TDatevErgebnis DatevExportieren(TDM& dm, const TDatevEinstellungen& e, const TDatevAuftrag& auftrag) {
    return DatevSchreiben(dm, DatevErstellen(dm, e, auftrag), auftrag.Ordner);
}

TDatevErgebnis DatevSchreiben(TDM& dm, TDatevErgebnis r, const QString& zielOrdner) {
    if (!r.Ok || r.Belege == 0)
        return r;
    auto scheitern = [&r](const QString& text) {
        r.Ok = false;
        r.Fehler = text;
        return r;
    };
    QString ordner = zielOrdner;
    while (ordner.size() > 1 && ordner.endsWith(u'/'))
        ordner.chop(1);
    if (ordner.isEmpty() || !IsFolderName(ordner))
        return scheitern(QStringLiteral("Der Zielordner \"") + zielOrdner +
                         QStringLiteral("\" wurde nicht gefunden!"));
    const QString stapel = ordner + u'/' + r.BuchungsDatei;
    const QString debitoren = ordner + u'/' + r.DebitorenDatei;
    const QString stapelTmp = ordner + QStringLiteral("/.") + r.BuchungsDatei + QStringLiteral(".tmp");
    const QString debitorenTmp = ordner + QStringLiteral("/.") + r.DebitorenDatei + QStringLiteral(".tmp");
    auto aufraeumen = [&] {
        RemoveFileName(stapelTmp);
        RemoveFileName(debitorenTmp);
    };
    if (QString f = WriteWholeFile(stapelTmp, r.Buchungsstapel); !f.isEmpty()) {
        aufraeumen();
        return scheitern(f);
    }
    if (QString f = WriteWholeFile(debitorenTmp, r.Debitoren); !f.isEmpty()) {
        aufraeumen();
        return scheitern(f);
    }
    // The marks and the files together: a mark without its file would hide a
    // document from the next export, a file without marks would not ask.
    TSQLiteDB& db = dm.SQLiteDB1;
    try {
        EnsureDatevTables(dm);
        db.StartTransaction();
        const QString jetzt = DateTimeToSQL(QDateTime::currentDateTime());
        const QString datei = SQLQuote(r.BuchungsDatei);
        for (const auto& [typ, nr] : r.ExportierteBelege)
            db.ExecSQL(QStringLiteral("insert or replace into DatevExport values ('") + typ +
                       QStringLiteral("', ") + QString::number(nr) + QStringLiteral(", '") + jetzt +
                       QStringLiteral("', ") + datei + u')');
        if (!RenameFileName(stapelTmp, stapel) || !RenameFileName(debitorenTmp, debitoren)) {
            db.Rollback();
            aufraeumen();
            return scheitern(QStringLiteral("Die Dateien im Ordner \"") + ordner +
                             QStringLiteral("\" konnten nicht geschrieben werden!"));
        }
        db.Commit();
    } catch (const ESQLiteError& ex) {
        if (db.InTransaction())
            db.Rollback();
        aufraeumen();
        return scheitern(QStringLiteral("Die exportierten Belege konnten nicht vermerkt werden:\n") +
                         ex.message());
    }
    return r;
}

int RunDatevCommand(const QStringList& args, QTextStream& out, QTextStream& err) {
    if (args.size() != 4) {
        err << QStringLiteral("Aufruf: quorvent --datev DATEI JJJJ-MM-TT JJJJ-MM-TT ORDNER") << Qt::endl;
        return 1;
    }
    QDate tage[2];
    for (int i = 0; i < 2; ++i) {
        tage[i] = QDate::fromString(args[1 + i], QStringLiteral("yyyy-MM-dd"));
        if (!tage[i].isValid()) {
            err << QStringLiteral("Das Datum \"") + args[1 + i] +
                       QStringLiteral("\" ist ungültig; erwartet wird JJJJ-MM-TT!")
                << Qt::endl;
            return 1;
        }
    }
    return RunOnDatabaseFile(args[0], err, [&](TDM& dm) {
        const TDatevEinstellungen e = LeseDatevEinstellungen(dm);
        TDatevAuftrag a;
        a.Von = tage[0];
        a.Bis = tage[1];
        a.Ordner = args[3];
        // A scheduled job cannot be asked: it never hands a document to the
        // advisor twice.
        if (const int schon = DatevBereitsExportiert(dm, a.Von, a.Bis); schon > 0) {
            err << (schon == 1 ? QStringLiteral("Im Zeitraum wurde bereits 1 Beleg")
                               : QStringLiteral("Im Zeitraum wurden bereits %1 Belege").arg(schon)) +
                       QStringLiteral(" an DATEV exportiert; ein erneuter Export ist nur im Programm möglich "
                                      "(Extras → DATEV-Export).")
                << Qt::endl;
            return 1;
        }
        const TDatevErgebnis r = DatevExportieren(dm, e, a);
        if (!r.Ok) {
            err << QStringLiteral("Der DATEV-Export wurde nicht geschrieben:\n") + r.Fehler << Qt::endl;
            return 1;
        }
        if (r.Belege == 0)
            out << QStringLiteral(
                       "Im Zeitraum gibt es keine Belege für DATEV; es wurde keine Datei geschrieben.")
                << Qt::endl;
        else
            out << r.BuchungsDatei << u' ' << r.Buchungen
                << (r.Buchungen == 1 ? QStringLiteral(" Buchung aus ") : QStringLiteral(" Buchungen aus "))
                << r.Belege << (r.Belege == 1 ? QStringLiteral(" Beleg\n") : QStringLiteral(" Belegen\n"))
                << r.DebitorenDatei << u' ' << r.Kunden
                << (r.Kunden == 1 ? QStringLiteral(" Kunde") : QStringLiteral(" Kunden")) << Qt::endl;
        return 0;
    });
}
