// Base rates and default interest.
#include "Zahlungen.h"

#include "DruckText.h"
#include "GlobalFunctions.h"
#include "Messages.h"
#include "UDM.h"
#include "ZahlungenIntern.h"

#include <algorithm>
#include <cmath>

using namespace ZahlungenIntern;

QList<TBasiszins> Basiszinsen(TDM& dm, const QString& land) {
    QList<TBasiszins> list;
    if (!dm.TableExists(QStringLiteral("Basiszins"))) {
        // A file that never had the table (read, not changed, by a command)
        // still knows the German rates the table would start with.
        if (land == QLatin1String("DE"))
            for (int i = 0; i < kBasiszinsDEAnzahl; ++i)
                list.append({QDate::fromString(QLatin1String(kBasiszinsDE[i].Ab), Qt::ISODate),
                             kBasiszinsDE[i].Satz, true, QStringLiteral("Deutsche Bundesbank")});
        return list;
    }
    TSQLiteQuery q(&dm.SQLiteDB1);
    q.RunSQL(QStringLiteral("select GueltigAb, Satz, Bestaetigt, Quelle from Basiszins where Land = ") +
             SQLQuote(land) + QStringLiteral(" order by GueltigAb"));
    for (q.First(); !q.Eof(); q.Next()) {
        TBasiszins z;
        z.Ab = Tag(q.Fields(0));
        z.Satz = q.Fields(1)->AsFloat();
        z.Bestaetigt = q.Fields(2)->AsString() != QLatin1String("N");
        z.Quelle = q.Fields(3)->AsString();
        list.append(z);
    }
    return list;
}

bool SaveBasiszins(TDM& dm, const QString& land, const TBasiszins& zins) {
    EnsureZahlungTables(dm);
    if (!zins.Ab.isValid() || zins.Ab.day() != 1 || (zins.Ab.month() != 1 && zins.Ab.month() != 7)) {
        Messages::warning(
            QStringLiteral("Ein Basiszinssatz gilt ab dem 1. Januar oder dem 1. Juli eines Jahres!"));
        return false;
    }
    if (land.trimmed().size() != 2) {
        Messages::warning(
            QStringLiteral("Bitte geben Sie das Land als Kürzel mit zwei Buchstaben ein (DE, AT)!"));
        return false;
    }
    dm.SQLiteDB1.ExecSQL(QStringLiteral("insert or replace into Basiszins values (") +
                         SQLQuote(land.trimmed().toUpper()) + QStringLiteral(",'") + DateToSQL(zins.Ab) +
                         QStringLiteral("',") + Num(zins.Satz) + u',' +
                         (zins.Bestaetigt ? QStringLiteral("'J'") : QStringLiteral("'N'")) + u',' +
                         SQLQuote(zins.Quelle) + u')');
    return true;
}

void DeleteBasiszins(TDM& dm, const QString& land, const QDate& ab) {
    EnsureZahlungTables(dm);
    dm.SQLiteDB1.ExecSQL(QStringLiteral("delete from Basiszins where Land = ") + SQLQuote(land) +
                         QStringLiteral(" and GueltigAb = '") + DateToSQL(ab) + u'\'');
}

QString ZinsLand(TDM& dm) {
    const QString land = dm.GetAllg(QStringLiteral("FirmaLand")).trimmed().toUpper();
    return land.isEmpty() ? QStringLiteral("DE") : land;
}

int ZinsTageBasis(TDM& dm) {
    const QString v = dm.GetAllg(QStringLiteral("ZinsTage")).trimmed();
    if (v == QLatin1String("360"))
        return 360;
    if (v == QLatin1String("0"))
        return 0;
    return 365;
}

double VerzugsZinssatz(const QString& land, bool verbraucher, double basis, const QDate& entstanden) {
    double satz;
    if (land == QLatin1String("AT"))
        satz = verbraucher ? 4.0 : basis + 9.2;
    else if (verbraucher)
        satz = basis + 5.0;
    else
        satz = basis + (entstanden.isValid() && entstanden <= AlteRegelBis() ? 8.0 : 9.0);
    return std::max(0.0, satz);
}

double ZahlungenIntern::ZinsenBerechnen(const QList<TBasiszins>& basis, const QString& land, bool verbraucher,
                                        const QDate& entstanden, const QDate& faellig, const QDate& bis,
                                        double kapital, const QList<QPair<QDate, double>>& minderungen,
                                        int tageBasis, QList<TZinsAbschnitt>* abschnitte,
                                        QList<QDate>* fehlend) {
    if (!faellig.isValid() || !bis.isValid() || bis <= faellig)
        return 0;
    const bool ohneBasis = land == QLatin1String("AT") && verbraucher;
    // What is still owed on the first day of default.
    double k = kapital;
    QList<QPair<QDate, double>> spaeter;
    for (const auto& m : minderungen) {
        if (m.first <= faellig)
            k -= m.second;
        else
            spaeter.append(m);
    }
    std::sort(spaeter.begin(), spaeter.end(),
              [](const QPair<QDate, double>& a, const QPair<QDate, double>& b) { return a.first < b.first; });

    // The base rate of a day: the row of its half-year; a half-year without a
    // row is reported and takes the rate before it.
    auto basisAm = [&](const QDate& tag, const QDate& halbjahr) {
        const int i = int(std::upper_bound(basis.cbegin(), basis.cend(), tag,
                                           [](const QDate& d, const TBasiszins& z) { return d < z.Ab; }) -
                          basis.cbegin()) -
                      1;
        if (fehlend && !ohneBasis && (i < 0 || basis[i].Ab < halbjahr) && !fehlend->contains(halbjahr))
            fehlend->append(halbjahr);
        return i >= 0 ? basis[i].Satz : 0.0;
    };

    double summe = 0;
    QDate tag = faellig.addDays(1);
    int m = 0;
    while (tag <= bis) {
        while (m < spaeter.size() && spaeter[m].first <= tag)
            k -= spaeter[m++].second;
        // One calendar lookup per piece: the half-year and the year of the day.
        int jahr = 0, monat = 0;
        tag.getDate(&jahr, &monat, nullptr);
        const bool erstes = monat <= 6;
        const double b = basisAm(tag, QDate(jahr, erstes ? 1 : 7, 1));
        QDate ende = std::min(erstes ? QDate(jahr, 6, 30) : QDate(jahr, 12, 31), bis);
        if (m < spaeter.size() && spaeter[m].first <= ende)
            ende = spaeter[m].first.addDays(-1);
        const int tage = int(tag.daysTo(ende)) + 1;
        const double satz = VerzugsZinssatz(land, verbraucher, b, entstanden);
        const double tageImJahr =
            tageBasis == 0 ? (QDate::isLeapYear(jahr) ? 366.0 : 365.0) : double(tageBasis);
        if (k > kCent) {
            const double z = k * satz / 100.0 * tage / tageImJahr;
            summe += z;
            // Neighbouring pieces with the same principal and rate read as one.
            if (!abschnitte) {
            } else if (!abschnitte->isEmpty() && abschnitte->last().Satz == satz &&
                       std::abs(abschnitte->last().Kapital - k) < 1e-9 &&
                       abschnitte->last().Bis.addDays(1) == tag && tageBasis != 0) {
                abschnitte->last().Bis = ende;
                abschnitte->last().Tage += tage;
                abschnitte->last().Zinsen += z;
            } else {
                abschnitte->append({tag, ende, tage, k, satz, z});
            }
        }
        tag = ende.addDays(1);
    }
    return summe;
}

TZinsErgebnis Verzugszinsen(const QList<TBasiszins>& basis, const QString& land, bool verbraucher,
                            const QDate& entstanden, const QDate& faellig, const QDate& bis, double kapital,
                            const QList<QPair<QDate, double>>& minderungen, int tageBasis) {
    TZinsErgebnis e;
    if (land == QLatin1String("AT"))
        e.Regel = verbraucher ? QStringLiteral("§ 1000 ABGB: 4 % p. a.")
                              : QStringLiteral("§ 456 UGB: Basiszinssatz + 9,2 Prozentpunkte");
    else
        e.Regel = verbraucher
                      ? QStringLiteral("§ 288 Abs. 1 BGB: Basiszinssatz + 5 Prozentpunkte")
                      : (entstanden.isValid() && entstanden <= AlteRegelBis()
                             ? QStringLiteral("§ 288 Abs. 2 BGB a. F.: Basiszinssatz + 8 Prozentpunkte")
                             : QStringLiteral("§ 288 Abs. 2 BGB: Basiszinssatz + 9 Prozentpunkte"));
    e.Zinsen =
        RoundCentsHalfEven(ZinsenBerechnen(basis, land, verbraucher, entstanden, faellig, bis, kapital,
                                           minderungen, tageBasis, &e.Abschnitte, &e.FehlendeHalbjahre));
    return e;
}
