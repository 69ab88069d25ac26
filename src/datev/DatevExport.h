// The DATEV export for the tax advisor: the issued invoices, partial
// invoices, cancellation invoices and credit notes of a period as a DATEV
// "Buchungsstapel" (one booking per document and VAT rate, the customer's
// personal account against the revenue account), and the customers booked in
// it as "Debitoren/Kreditoren" master data. Both files are the CSV form DATEV
// imports (EXTF, header version 700): Windows-1252, ";" between fields, CR LF
// after every line.
//
// The advisor's numbers and the revenue accounts are settings (set_allg
// "Datev..."); which document went out in which export is kept in the table
// DatevExport of the program's own, so a second export of a period can ask.
#pragma once

#include <QByteArray>
#include <QDate>
#include <QDateTime>
#include <QList>
#include <QMap>
#include <QPair>
#include <QSet>
#include <QString>
#include <QStringList>

class TDM;
class QTextStream;

// ---------------------------------------------------------------------
// Settings.

// The revenue situations besides the domestic VAT rates (whose key is the
// rate itself, "19", "7", "5,5"): documents without VAT by the customer's
// country and VAT number, and a small business that charges none.
inline const QString DatevIGL = QStringLiteral("IGL");         // intra-community supply
inline const QString DatevAusfuhr = QStringLiteral("Ausfuhr"); // export outside the EU
inline const QString DatevRC = QStringLiteral("RC");           // domestic reverse charge
inline const QString DatevKU = QStringLiteral("KU");           // small business, no VAT

struct TDatevEinstellungen {
    QString Berater;                           // Beraternummer, 1001 .. 9999999
    QString Mandant;                           // Mandantennummer, 1 .. 99999
    QString WJBeginn = QStringLiteral("0101"); // first day of the fiscal year, MMTT (month, day)
    int Kontenlaenge = 4;                      // length of the G/L accounts (4 .. 8)
    QString SKR = QStringLiteral("03");        // chart of accounts, "03" or "04"
    qint64 DebitorStart = 10000;               // personal account = this + customer number
    // Credit notes and cancellation invoices carry the number of the invoice
    // they refer to in Belegfeld 1 (so DATEV clears the invoice), their own in
    // Belegfeld 2; otherwise the other way round.
    bool BelegfeldRechnung = false;
    // Revenue account per situation as stored; a situation missing here uses
    // DatevStandardKonto.
    QMap<QString, QString> Konten;
};

// The settings as stored in set_allg (DatevBerater, DatevMandant,
// DatevWJBeginn, DatevKontenlaenge, DatevSKR, DatevDebitorStart,
// DatevBelegfeldRechnung and DatevKonto + situation).
TDatevEinstellungen LeseDatevEinstellungen(TDM& dm);
void SpeichereDatevEinstellungen(TDM& dm, const TDatevEinstellungen& e);
// The usual account of a situation in SKR03/SKR04 with 4-digit accounts;
// empty where no usual account exists (another rate, another length).
QString DatevStandardKonto(const QString& situation, const QString& skr, int kontenlaenge);
// The account of a situation: the stored one, else the usual one.
QString DatevKonto(const TDatevEinstellungen& e, const QString& situation);
// "Umsatzsteuer 19 %", "Innergemeinschaftliche Lieferung" ...
QString DatevSituationText(const QString& situation);
// The situations the dialog always lists, in its order.
QStringList DatevStandardSituationen();
// The settings themselves are sound (numbers in their ranges); empty, else
// the German reason.
QString PruefeDatevEinstellungen(const TDatevEinstellungen& e);

// The table of exported documents, created when missing; also the right
// "DatevExport" of the access gate.
void EnsureDatevTables(TDM& dm);

// ---------------------------------------------------------------------
// The export.

enum class TDatevUmfang {
    Alle,    // every issued document of the period, exported before or not
    NurNeue, // only those not exported yet
};

struct TDatevAuftrag {
    QDate Von, Bis;
    QString Ordner;
    TDatevUmfang Umfang = TDatevUmfang::Alle;
    QDateTime Jetzt; // "Erzeugt am" of the header; the current time when invalid
};

struct TDatevErgebnis {
    bool Ok = false;
    QString Fehler;             // German, one reason a line
    QStringList FehlendeKonten; // situations without an account
    QString BuchungsDatei, DebitorenDatei;
    QByteArray Buchungsstapel, Debitoren; // the bytes written
    int Belege = 0, Buchungen = 0, Kunden = 0;
    QList<QPair<QString, qint64>> ExportierteBelege; // type and number
};

// The file names of a period: EXTF_Buchungsstapel_JJJJMMTT-JJJJMMTT.csv and
// EXTF_Debitoren_JJJJMMTT-JJJJMMTT.csv.
QString DatevBuchungsDateiName(const QDate& von, const QDate& bis);
QString DatevDebitorenDateiName(const QDate& von, const QDate& bis);

// The first day of the fiscal year that holds `tag`.
QDate DatevWJAnfang(const TDatevEinstellungen& e, const QDate& tag);

// The VAT rates ("19", "7", "5,5") the issued documents of the period charge.
QStringList DatevSaetzeImZeitraum(TDM& dm, const QDate& von, const QDate& bis);

// How many issued documents of the period went out in an earlier export.
int DatevBereitsExportiert(TDM& dm, const QDate& von, const QDate& bis);

// Builds both files in memory and checks everything; writes nothing. With
// Ok false, Fehler says why (the document or customer named).
TDatevErgebnis DatevErstellen(TDM& dm, const TDatevEinstellungen& e, const TDatevAuftrag& auftrag);

// Builds, writes both files (each under a temporary name, then renamed) and
// marks the documents as exported, all or nothing. A period without any
// document gives Ok with Belege 0 and writes nothing.
TDatevErgebnis DatevExportieren(TDM& dm, const TDatevEinstellungen& e, const TDatevAuftrag& auftrag);

// Writes what DatevErstellen built into the folder and marks its documents.
TDatevErgebnis DatevSchreiben(TDM& dm, TDatevErgebnis erstellt, const QString& ordner);

// "quorvent --datev DATEI VON BIS ORDNER".
int RunDatevCommand(const QStringList& args, QTextStream& out, QTextStream& err);

// The byte of a character in Windows-1252; false for a character the
// code page cannot hold and for control characters, which DATEV refuses.
bool DatevByte(QChar c, char* byte);
