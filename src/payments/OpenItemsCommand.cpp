// "quorvent --open-items FILE DATE": the open items of a database at the end
// of a day, one JSON line each, for scripts and accounting.
#include "MaintenanceCommand.h"
#include "UDM.h"
#include "Zahlungen.h"

#include <QTextStream>

namespace {

QString Amount(double value) {
    return QString::number(value, 'f', 2);
}

} // namespace

int RunOpenItemsCommand(const QStringList& args, QTextStream& out, QTextStream& err) {
    if (args.size() != 2) {
        err << QStringLiteral("Aufruf: quorvent --open-items DATEI JJJJ-MM-TT") << Qt::endl;
        return 1;
    }
    const QDate stichtag = QDate::fromString(args[1], QStringLiteral("yyyy-MM-dd"));
    if (!stichtag.isValid()) {
        err << QStringLiteral("Das Datum \"") + args[1] +
                   QStringLiteral("\" ist ungültig; erwartet wird JJJJ-MM-TT!")
            << Qt::endl;
        return 1;
    }
    return RunOnDatabaseFile(args[0], err, [&](TDM& dm) {
        TOPFilter filter;
        filter.Stichtag = stichtag;
        QList<QDate> fehlend;
        const QList<TOffenerPosten> posten = OffenePosten(dm, filter, &fehlend);
        for (const TOffenerPosten& p : posten) {
            out << QStringLiteral("{\"type\":\"") << p.Typ << QStringLiteral("\",\"number\":") << p.KopfID
                << QStringLiteral(",\"customer\":") << p.KundenID << QStringLiteral(",\"date\":\"")
                << p.Datum.toString(Qt::ISODate) << QStringLiteral("\",\"due\":\"")
                << p.Faellig.toString(Qt::ISODate) << QStringLiteral("\",\"gross\":") << Amount(p.Brutto)
                << QStringLiteral(",\"paid\":") << Amount(p.Bezahlt) << QStringLiteral(",\"credited\":")
                << Amount(p.Gutgeschrieben) << QStringLiteral(",\"open\":") << Amount(p.Offen)
                << QStringLiteral(",\"days_overdue\":") << p.TageUeberfaellig << QStringLiteral(",\"level\":")
                << p.Mahnstufe << QStringLiteral(",\"interest\":") << Amount(p.Zinsen)
                << QStringLiteral("}\n");
        }
        out.flush();
        if (!fehlend.isEmpty()) {
            QStringList tage;
            for (const QDate& d : fehlend)
                tage << d.toString(QStringLiteral("dd.MM.yyyy"));
            err << QStringLiteral("Hinweis: Für die Halbjahre ab ") + tage.join(QStringLiteral(", ")) +
                       QStringLiteral(" ist kein Basiszinssatz hinterlegt; die Zinsen rechnen dort mit dem "
                                      "Satz davor.")
                << Qt::endl;
        }
        return 0;
    });
}
