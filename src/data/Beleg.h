// The vocabulary of business documents: type letters, status letters, the
// status rules and the statements that compute the amounts.
//
// A document is identified by its type letter and its number within that type.
// No amount is ever stored: every total is summed by SQL over the price lines
// whenever it is shown, so the statements here are the only place where the
// arithmetic of a price line lives.
#pragma once

#include <QList>
#include <QString>
#include <QStringList>

class TSQLiteDB;
class TSQLiteQuery;

// ---------------------------------------------------------------------------
// Document types.

// The eight type letters in the order every selection list shows them.
const QStringList& DokTypen();
bool IsDokTyp(const QString& typ);

// Caption of the document date in the header form; "Datum" for an unknown letter.
QString DokTypDatumCaption(const QString& typ);
// Number caption of the printout ("RechnungsNr. "); empty for an unknown letter.
QString DokTypNummerDruck(const QString& typ);
// Date caption of the printout ("Rechnungsdatum:"); empty for an unknown letter.
QString DokTypDatumDruck(const QString& typ);
// The number range of the type in set_nummer ("KopfIDR"); empty for an unknown letter.
QString DokTypNumKreis(const QString& typ);
// A purchase order is written to a supplier; every other type to a customer.
bool DokTypMitLieferant(const QString& typ);
// Types that can be closed (R, T, S, G) and types that can be marked as paid (R, T).
bool DokTypAbschliessbar(const QString& typ);
bool DokTypMitZahlungseingang(const QString& typ);
// Sign of the type's revenue in the statistics: +1 for R and T, -1 for S and G, 0 otherwise.
int DokTypUmsatzVorzeichen(const QString& typ);

// ---------------------------------------------------------------------------
// Status.

inline const QString StatusErfasst = QStringLiteral("E");
inline const QString StatusGedruckt = QStringLiteral("D");
inline const QString StatusAbgeschlossen = QStringLiteral("A");
inline const QString StatusZahlungseingang = QStringLiteral("Z");

// The four status letters in the order of the overview's status filter.
const QStringList& StatusWerte();
// "Erfasst", "Gedruckt", "Abgeschlossen", "Zahlungseingang erfolgt"; "STATUSFEHLER!" for anything else.
QString StatusText(const QString& status);
// Closed means A or Z: such a document can no longer be changed.
bool StatusGeschlossen(const QString& status);
// Status after the document went through the print dialog: E becomes D, every other stays.
QString StatusNachAusgabe(const QString& status);
// Status written when the header is saved from the header form with its two
// boxes. Only types that show a box take its value, and nothing turns a closed
// document back into an open one.
QString StatusBeimSpeichern(const QString& typ, const QString& status, bool abgeschlossen,
                            bool zahlungseingang);
// "Die Rechnung 5 ist bereits abgeschlossen!"
QString BereitsAbgeschlossenText(const QString& typ, int kopfId);
// The refusal for a document that another program deleted meanwhile.
inline QString DokumentFehltText() {
    return QStringLiteral("Das gewählte Dokument ist nicht mehr vorhanden!");
}

// What the header form shows for its current row while it is browsed.
struct TKopfAnzeige {
    QString Titel;      // "   Kopfdaten - " + type name
    QString StatusText; // status text or "STATUSFEHLER!"
    bool AbgeschlossenSichtbar = false;
    QString AbgeschlossenCaption; // type name + " abgeschlossen"
    bool AbgeschlossenGehakt = false;
    bool ZahlungSichtbar = false;
    bool ZahlungGehakt = false;
    bool Gesperrt = false; // closed: every field but the payment box is locked

    // Filled by the data module for the header it shows.
    QString Typ;
    QString Kunde;    // name of the partner
    QString Subkunde; // name of the sub-customer
    QString Betrag;   // net amount, two decimals
    // Which of the box settings above apply. A browsed header shows its own
    // boxes and ticks; a new one shows the boxes of its type but keeps the
    // ticks the user set; while a header is edited the boxes stay as they are.
    bool BoxenSichtbarkeit = false;
    bool BoxenHaken = false;
};
TKopfAnzeige KopfAnzeige(const QString& typ, const QString& status);

// ---------------------------------------------------------------------------
// Amounts.

// Net, VAT and gross total of every header, one row per document (columns
// Summe, SummeUST, SummeInkl after the Kopf columns).
QString KopfSummenSQL();
// The index every sum over the price lines of a document reads instead of
// the rows, created when missing; a file that cannot be written goes on
// without it, only slower.
void EnsurePreisSummenIndex(TSQLiteDB& db);
// Net total of one document, column Summe.
QString KopfNettoSQL(const QString& typ, int kopfId);
// Net total of one position, column GPreis (summed first, divided after).
QString PosGesamtpreisSQL(const QString& typ, int kopfId, int posId);

struct TBelegSumme {
    double Netto = 0;
    double MWSt = 0;
    double Brutto = 0;
};
// The three amounts of one document, computed with the overview's statement.
TBelegSumme BelegSumme(TSQLiteQuery& query, const QString& typ, int kopfId);
// The net amount of one document as the header form and the positions list show it.
double KopfNetto(TSQLiteQuery& query, const QString& typ, int kopfId);

// One rate of the printout's VAT summary. The net amount of the rate is
// rounded to the cent and its VAT is computed from the unrounded net and
// rounded per rate (an exact half cent to the even cent); the printout and the
// e-invoice both state these figures, so they agree to the cent. A document
// without VAT (Netto = J) has one line at rate 0.
struct TMWStZeile {
    double Satz = 0;
    double Netto = 0;
    double MWSt = 0;
};
QList<TMWStZeile> MWStZeilen(TSQLiteQuery& query, const QString& typ, int kopfId, bool ohneMWSt);
