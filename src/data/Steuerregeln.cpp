#include "Steuerregeln.h"

#include "Beleg.h"
#include "DruckText.h"
#include "GlobalFunctions.h"
#include "Laender.h"
#include "UDM.h"

QString NettoKategorie(const QString& verkaeuferLand, const QString& kaeuferLand, const QString& kaeuferUID,
                       QString* fehlt) {
    if (verkaeuferLand.isEmpty() || kaeuferLand.isEmpty())
        return QString(); // the missing country is named on its own
    const bool uid = !kaeuferUID.trimmed().isEmpty();
    if (kaeuferLand == verkaeuferLand) {
        if (uid)
            return QStringLiteral("AE");
        *fehlt = QStringLiteral("UID-Nummer des Kunden (Nettorechnung im Inland: Steuerschuldnerschaft des "
                                "Leistungsempfängers)");
        return QString();
    }
    if (IsEULand(kaeuferLand) && IsEULand(verkaeuferLand)) {
        if (uid)
            return QStringLiteral("K");
        *fehlt = QStringLiteral("UID-Nummer des Kunden (Nettorechnung in ein anderes EU-Land)");
        return QString();
    }
    return QStringLiteral("G");
}

bool IstKleinunternehmer(TDM& dm) {
    return dm.GetAllg(QStringLiteral("Kleinunternehmer")).trimmed().toUpper() == QLatin1String("J");
}

QString SteuerHinweisSchluessel(const QString& kategorie) {
    if (kategorie == QLatin1String("E"))
        return QStringLiteral("HinweisKleinunternehmer");
    if (kategorie == QLatin1String("AE"))
        return QStringLiteral("HinweisSteuerschuld");
    if (kategorie == QLatin1String("K"))
        return QStringLiteral("HinweisIGLieferung");
    if (kategorie == QLatin1String("G"))
        return QStringLiteral("HinweisAusfuhr");
    return QString();
}

QString SteuerHinweisVorgabe(const QString& kategorie, const QString& land) {
    const bool de = land.trimmed().toUpper() == QLatin1String("DE");
    if (kategorie == QLatin1String("E"))
        return de ? QStringLiteral("Gemäß § 19 UStG wird keine Umsatzsteuer berechnet.")
                  : QStringLiteral(
                        "Umsatzsteuerfrei aufgrund der Kleinunternehmerregelung gemäß § 6 Abs. 1 Z 27 "
                        "UStG.");
    if (kategorie == QLatin1String("AE"))
        return de ? QStringLiteral("Steuerschuldnerschaft des Leistungsempfängers")
                  : QStringLiteral("Übergang der Steuerschuld auf den Leistungsempfänger (Reverse Charge)");
    if (kategorie == QLatin1String("K"))
        return QStringLiteral("Steuerfreie innergemeinschaftliche Lieferung");
    if (kategorie == QLatin1String("G"))
        return QStringLiteral("Steuerfreie Ausfuhrlieferung");
    return QString();
}

QString SteuerHinweis(TDM& dm, const QString& kategorie) {
    const QString key = SteuerHinweisSchluessel(kategorie);
    if (key.isEmpty())
        return QString();
    const QString eigen = dm.GetAllgText(key).trimmed();
    return eigen.isEmpty() ? SteuerHinweisVorgabe(kategorie, dm.GetAllg(QStringLiteral("FirmaLand"))) : eigen;
}

QString KleinunternehmerFehler(TDM& dm, const QString& typ, int kopfId) {
    if (!IsDokTyp(typ) || DokTypMitLieferant(typ) || !IstKleinunternehmer(dm))
        return QString();
    TSQLiteQuery q(&dm.SQLiteDB1);
    q.RunSQL(QStringLiteral("select PosID, PreisID, PreisBez, MWStSatz from PosPreis where KopfTyp = ") +
             SQLQuote(typ) + QStringLiteral(" and KopfID = ") + QString::number(kopfId) +
             QStringLiteral(" and ifnull(MWStSatz, 0) > 0 order by PosID, PreisID limit 1"));
    if (q.IsEmpty())
        return QString();
    const QString bez = q.FieldByName(QStringLiteral("PreisBez"))->AsString().trimmed();
    return QStringLiteral("Kleinunternehmerregelung: Die Position ") +
           q.FieldByName(QStringLiteral("PosID"))->AsString() + u'.' +
           q.FieldByName(QStringLiteral("PreisID"))->AsString() +
           (bez.isEmpty() ? QString() : QStringLiteral(" („") + bez + QStringLiteral("“)")) +
           QStringLiteral(" hat ") + DruckFixed(q.FieldByName(QStringLiteral("MWStSatz"))->AsFloat()) +
           QStringLiteral(" % MwSt. Als Kleinunternehmer berechnen Sie keine Umsatzsteuer: bitte setzen Sie "
                          "den MwSt.-Satz dieser Position auf 0 %.");
}
