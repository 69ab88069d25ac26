// The export's settings: the advisor's numbers, the fiscal year and the
// revenue account of each situation.
#include "DatevIntern.h"

#include "OwnTransaction.h"
#include "UDM.h"

#include <QHash>

#include <algorithm>
#include <cmath>

using namespace Datev;

namespace {

const QString kKontoPraefix = QStringLiteral("Datev");

} // namespace

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
    AllOrNothing(dm.SQLiteDB1, [&] {
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
