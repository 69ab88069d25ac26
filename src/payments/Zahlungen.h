// Payments, open items and default interest: who still owes what, and since
// when. Everything here works on the data module alone (no widget), so the
// rules hold for the page, the dialogs and the command line alike.
//
// The program keeps these in tables of its own, created when missing, so a
// database stays readable by programs that know only the document tables:
//   Zahlung           payments (and booked cash discounts) of invoices
//   ZahlungsBedingung a customer's own due period, cash-discount period and
//                     consumer/business mark
//   Basiszins         base rates per country and half-year
//   Mahnung           the reminders and dunning letters sent
#pragma once

#include <QDate>
#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

class TDM;
class TField;

// A day from a column: a declared date column arrives as a date, an
// expression such as max(Datum) as its yyyy-mm-dd text.
QDate Tag(const TField* f);

// The kinds of payment a user records; "Skonto" is the kind of the cash
// discount the program books itself when a payment settles an invoice.
const QStringList& ZahlungArten();
inline const QString ZahlungArtSkonto = QStringLiteral("Skonto");

// Creates the program's payment tables when they are missing; a new base-rate
// table starts with the German rates. Cheap when they exist.
void EnsureZahlungTables(TDM& dm);
// True when the file has the payment tables (read-only commands use this
// instead of creating them).
bool HasZahlungTables(TDM& dm);

// ---------------------------------------------------------------------
// Payment terms.
struct TZahlungsBedingung {
    int Zahlungsziel = 14; // days from the invoice date to its due date
    int Skontofrist = 7;   // days from the invoice date in which the cash discount may be taken
    bool Verbraucher = false;
    // What the customer's own row says: -1 no own value (company default).
    int EigenesZiel = -1;
    int EigeneFrist = -1;
    QString VerbraucherMerk; // "J", "N" or empty (decided by the company name)
};
// The company's defaults (set_allg Zahlungsziel and Skontofrist, else 14 and 7).
TZahlungsBedingung FirmenZahlungsBedingung(TDM& dm);
void SaveFirmenZahlungsBedingung(TDM& dm, int zahlungsziel, int skontofrist);
// A customer's terms: its own values where it has them, else the company's.
// A customer with a company name is a business unless marked as consumer; one
// without is a consumer unless marked as business.
TZahlungsBedingung KundenZahlungsBedingung(TDM& dm, int kundenId);
// Stores a customer's own values; -1 (or an empty mark) removes that override.
void SaveKundenZahlungsBedingung(TDM& dm, int kundenId, int zahlungsziel, int skontofrist,
                                 const QString& verbraucher);
bool IstVerbraucher(const QString& firma, const QString& merk);

// The due date: the invoice date plus the due period in calendar days.
QDate Faelligkeit(const QDate& rechnungsDatum, int zahlungsziel);

// ---------------------------------------------------------------------
// Amounts of one invoice or partial invoice.
struct TBelegStand {
    bool Gefunden = false;
    QString Typ;
    int KopfID = 0;
    int KundenID = 0;
    QString Status;
    QDate Datum;
    double SkontoProzent = 0;
    double Brutto = 0;           // as printed: VAT rounded per rate
    double Bezahlt = 0;          // payments and booked cash discount
    double Skonto = 0;           // of that, the booked cash discount
    double Gutgeschrieben = 0;   // cancellation invoices and credit notes referring to it
    double Offen = 0;            // Brutto - Bezahlt - Gutgeschrieben, 0 when it counts as paid
    bool PerHandBezahlt = false; // status Z without any payment
};
// The state at the end of `stichtag` (an invalid date: everything recorded).
TBelegStand BelegStand(TDM& dm, const QString& typ, int kopfId, const QDate& stichtag = QDate());
// The gross total as the printout computes it (net plus VAT rounded per rate).
double BelegBrutto(TDM& dm, const QString& typ, int kopfId);
// "Rechnung 17", "Teilrechnung 3".
QString BelegName(const QString& typ, int kopfId);

struct TZahlung {
    qint64 ZahlungID = 0;
    QDate Datum;
    double Betrag = 0;
    QString Art;
    QString Anmerkung;
};
QList<TZahlung> Zahlungen(TDM& dm, const QString& typ, int kopfId);

// Records a payment of an invoice or partial invoice (closed ones too). A
// payment within the cash-discount period that leaves exactly the discount
// open settles the invoice and books the discount; a payment above the open
// amount is refused. The payment that settles the invoice sets status Z.
// Refusals are warnings; false then and nothing stored.
bool ZahlungErfassen(TDM& dm, const QString& typ, int kopfId, const TZahlung& zahlung);
// Deletes a payment after asking; the discount booked with a settlement goes
// with it, and an invoice that is no longer settled goes back from Z to A.
// True when deleted.
bool ZahlungLoeschen(TDM& dm, const QString& typ, int kopfId, qint64 zahlungId);

// The overview's mark for an invoice: "bezahlt", "teilbezahlt", "offen";
// empty for other types. Keyed by type + number ("R17").
QHash<QString, QString> ZahlungsMarken(TDM& dm);

// ---------------------------------------------------------------------
// Default interest.
struct TBasiszins {
    QDate Ab;
    double Satz = 0;
    bool Bestaetigt = true;
    QString Quelle;
};
// The base rates of a country ("DE", "AT"), oldest first.
QList<TBasiszins> Basiszinsen(TDM& dm, const QString& land);
// Adds or replaces the rate of a half-year (1 January or 1 July); refuses
// other days with a warning.
bool SaveBasiszins(TDM& dm, const QString& land, const TBasiszins& zins);
void DeleteBasiszins(TDM& dm, const QString& land, const QDate& ab);
// The country whose law applies: the company's FirmaLand, "DE" when empty.
QString ZinsLand(TDM& dm);

// How many days a year has in the interest formula: 365 (the default),
// 360, or 0 for the actual days of each calendar year (365 or 366).
int ZinsTageBasis(TDM& dm);

struct TZinsAbschnitt {
    QDate Von, Bis; // both included
    int Tage = 0;
    double Kapital = 0;
    double Satz = 0; // percent a year
    double Zinsen = 0;
};
struct TZinsErgebnis {
    double Zinsen = 0; // rounded to the cent
    QList<TZinsAbschnitt> Abschnitte;
    QList<QDate> FehlendeHalbjahre; // half-years without a stored base rate
    QString Regel;                  // "§ 288 Abs. 2 BGB: Basiszinssatz + 9 Prozentpunkte"
};
// The yearly rate for a day: Germany § 288 BGB (consumers base + 5, business
// base + 9, for business claims that arose up to 28.07.2014 base + 8);
// Austria § 456 UGB (business base + 9,2) and § 1000 ABGB (consumers 4 %).
double VerzugsZinssatz(const QString& land, bool verbraucher, double basis, const QDate& entstanden);
// Interest from the day after `faellig` up to and including `bis` on a
// principal that starts at `kapital` and falls by each (date, amount) of
// `minderungen` from that day on; per day, split at every change of the base
// rate, of the principal and (day basis 0) of the calendar year.
TZinsErgebnis Verzugszinsen(const QList<TBasiszins>& basis, const QString& land, bool verbraucher,
                            const QDate& entstanden, const QDate& faellig, const QDate& bis, double kapital,
                            const QList<QPair<QDate, double>>& minderungen, int tageBasis);

// ---------------------------------------------------------------------
// Open items.
struct TOPFilter {
    QDate Stichtag;    // state at the end of this day
    int KundenID = -1; // -1: every customer
    bool NurUeberfaellig = false;
    QDate Von, Bis; // invoice dates; invalid: no limit
};
struct TOffenerPosten {
    QString Typ;
    int KopfID = 0;
    int KundenID = 0;
    QString Kunde; // "number - name"
    QDate Datum, Faellig;
    int TageUeberfaellig = 0;
    double Brutto = 0, Bezahlt = 0, Gutgeschrieben = 0, Offen = 0, Zinsen = 0;
    int Mahnstufe = 0;
    QDate MahnDatum;
    bool Verbraucher = false;
};
// Every invoice and partial invoice dated up to the day that is not fully paid
// at its end, by due date. Interest to the day for the overdue ones.
QList<TOffenerPosten> OffenePosten(TDM& dm, const TOPFilter& filter,
                                   QList<QDate>* fehlendeHalbjahre = nullptr);

// The open amount and the overdue part of it at the end of a day.
struct TOPSumme {
    double Offen = 0;
    double Ueberfaellig = 0;
    int Anzahl = 0;
};
TOPSumme OffenePostenSumme(TDM& dm, const QDate& stichtag);

// ---------------------------------------------------------------------
// Dunning.
struct TMahnung {
    int Stufe = 0; // 1 Zahlungserinnerung, 2 and 3 Mahnung
    QDate Datum;
    double Gebuehr = 0;
    double Zinsen = 0;
};
QList<TMahnung> Mahnungen(TDM& dm, const QString& typ, int kopfId);
void SaveMahnung(TDM& dm, const QString& typ, int kopfId, const TMahnung& mahnung);
// "Zahlungserinnerung", "1. Mahnung", "2. Mahnung".
QString MahnstufeName(int stufe);

// "quorvent --open-items FILE DATE": one JSON line per open item at DATE.
int RunOpenItemsCommand(const QStringList& args, class QTextStream& out, class QTextStream& err);

// The document list's payment mark of an invoice or partial invoice as an SQL
// expression over the header K: "bezahlt" (status Z, or payments and credits
// covering the gross total), "teilbezahlt", "offen"; NULL for other types.
QString ZahlungsMarkeSQL();
