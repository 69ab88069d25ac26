// What the payment sources share among themselves; not for other folders.
#pragma once

#include "Zahlungen.h"

#include <QDate>
#include <QString>

#include <map>

namespace ZahlungenIntern {

// Amounts below half a cent are nothing.
constexpr double kCent = 0.005;

// German base rates (§ 247 BGB) as announced by the Bundesbank; only the
// half-years whose value is confirmed by more than one source. The user adds
// every new half-year on the page "Offene Posten".
struct TBasiszinsDE {
    const char* Ab;
    double Satz;
};
extern const TBasiszinsDE kBasiszinsDE[];
extern const int kBasiszinsDEAnzahl;

// An amount as SQL text with two decimals.
QString Num(double value);
// "R17" for an invoice's type and number.
QString Key(const QString& typ, int kopfId);
bool IstRechnung(const QString& typ);
// The gross total of a document from its net sums per VAT rate, as the
// printout shows it: net and VAT each rounded per rate; a net document's net
// rounded once.
double BruttoAusSaetzen(const std::map<double, double>& nettoProSatz, bool netto);
// Claims that arose up to this day keep the old business rate of § 288 BGB.
const QDate& AlteRegelBis();
// The interest before rounding. `abschnitte` receives the pieces for a
// letter; the list of open items passes none and only takes the sum.
// `fehlend` collects the half-years without a stored base rate.
double ZinsenBerechnen(const QList<TBasiszins>& basis, const QString& land, bool verbraucher,
                       const QDate& entstanden, const QDate& faellig, const QDate& bis, double kapital,
                       const QList<QPair<QDate, double>>& minderungen, int tageBasis,
                       QList<TZinsAbschnitt>* abschnitte, QList<QDate>* fehlend);

} // namespace ZahlungenIntern
