#include "Beleg.h"

#include "DruckText.h"
#include "QuorventFunctions.h"
#include "SQLite.h"

namespace {

struct TDokTypInfo {
    const char* typ;
    const char* datumCaption;
    const char* nummerDruck;
    const char* datumDruck;
};

// One row per type, in list order. Texts in UTF-8.
const TDokTypInfo DokTypInfos[] = {
    {"O", "Angebotsdatum", "AngebotsNr. ", "Angebotsdatum:"},
    {"A", "Auftragsdatum", "AuftragsNr. ", "Auftragsdatum:"},
    {"L", "Lieferscheindatum", "LieferscheinNr. ", "Lieferscheindatum:"},
    {"R", "Rechnungsdatum", "RechnungsNr. ", "Rechnungsdatum:"},
    {"T", "Teilrechnungsdatum", "TeilrechnungsNr. ", "Teilrechnungsdatum:"},
    {"S", "Stornorechnungsdatum", "StornorechNr. ", "Stornorechnungsdat.:"},
    {"G", "Gutschriftsdatum", "GutschriftsNr. ", "Gutschriftsdatum:"},
    {"B", "Bestellungsdatum", "BestellungsNr. ", "Bestellungsdatum:"},
};

const TDokTypInfo* FindDokTyp(const QString& typ) {
    for (const auto& info : DokTypInfos)
        if (typ == QLatin1String(info.typ))
            return &info;
    return nullptr;
}

// The type letter goes into SQL between single quotes. It always comes from
// the program, but a stray quote must not be able to break the statement.
QString TypLiteral(const QString& typ) {
    QString t = typ;
    t.replace(QLatin1Char('\''), QLatin1String("''"));
    return QLatin1Char('\'') + t + QLatin1Char('\'');
}

} // namespace

const QStringList& DokTypen() {
    static const QStringList list{"O", "A", "L", "R", "T", "S", "G", "B"};
    return list;
}

bool IsDokTyp(const QString& typ) {
    return FindDokTyp(typ) != nullptr;
}

QString DokTypDatumCaption(const QString& typ) {
    const auto* info = FindDokTyp(typ);
    return info ? QString::fromUtf8(info->datumCaption) : QStringLiteral("Datum");
}

QString DokTypNummerDruck(const QString& typ) {
    const auto* info = FindDokTyp(typ);
    return info ? QString::fromUtf8(info->nummerDruck) : QString();
}

QString DokTypDatumDruck(const QString& typ) {
    const auto* info = FindDokTyp(typ);
    return info ? QString::fromUtf8(info->datumDruck) : QString();
}

QString DokTypNumKreis(const QString& typ) {
    return IsDokTyp(typ) ? QStringLiteral("KopfID") + typ : QString();
}

bool DokTypMitLieferant(const QString& typ) {
    return typ == QLatin1String("B");
}

bool DokTypAbschliessbar(const QString& typ) {
    return typ == QLatin1String("R") || typ == QLatin1String("T") || typ == QLatin1String("S") ||
           typ == QLatin1String("G");
}

bool DokTypMitZahlungseingang(const QString& typ) {
    return typ == QLatin1String("R") || typ == QLatin1String("T");
}

int DokTypUmsatzVorzeichen(const QString& typ) {
    if (typ == QLatin1String("R") || typ == QLatin1String("T"))
        return 1;
    if (typ == QLatin1String("S") || typ == QLatin1String("G"))
        return -1;
    return 0;
}

// ---------------------------------------------------------------------------

const QStringList& StatusWerte() {
    static const QStringList list{StatusErfasst, StatusGedruckt, StatusAbgeschlossen, StatusZahlungseingang};
    return list;
}

QString StatusText(const QString& status) {
    if (status == StatusErfasst)
        return QStringLiteral("Erfasst");
    if (status == StatusGedruckt)
        return QStringLiteral("Gedruckt");
    if (status == StatusAbgeschlossen)
        return QStringLiteral("Abgeschlossen");
    if (status == StatusZahlungseingang)
        return QStringLiteral("Zahlungseingang erfolgt");
    return QStringLiteral("STATUSFEHLER!");
}

bool StatusGeschlossen(const QString& status) {
    return status == StatusAbgeschlossen || status == StatusZahlungseingang;
}

QString StatusNachAusgabe(const QString& status) {
    return status == StatusErfasst ? StatusGedruckt : status;
}

QString StatusBeimSpeichern(const QString& typ, const QString& status, bool abgeschlossen,
                            bool zahlungseingang) {
    // The boxes keep whatever the previously shown document left in them while
    // a new document is entered; a box the type does not have must not act.
    QString result = status;
    if (abgeschlossen && DokTypAbschliessbar(typ))
        result = StatusAbgeschlossen;
    if (DokTypMitZahlungseingang(typ)) {
        if (zahlungseingang)
            result = StatusZahlungseingang;
        else if (result == StatusZahlungseingang)
            result = StatusAbgeschlossen; // payment withdrawn: still closed
    }
    return result;
}

QString BereitsAbgeschlossenText(const QString& typ, int kopfId) {
    return DokTypMitArtikel(typ, true) + QLatin1Char(' ') + QString::number(kopfId) +
           QStringLiteral(" ist bereits abgeschlossen!");
}

TKopfAnzeige KopfAnzeige(const QString& typ, const QString& status) {
    TKopfAnzeige a;
    a.Titel = QStringLiteral("   Kopfdaten - ") + DokTypName(typ);
    a.StatusText = StatusText(status);
    a.Gesperrt = StatusGeschlossen(status);
    a.AbgeschlossenSichtbar = DokTypAbschliessbar(typ);
    if (a.AbgeschlossenSichtbar) {
        a.AbgeschlossenCaption = DokTypName(typ) + QStringLiteral(" abgeschlossen");
        a.AbgeschlossenGehakt = a.Gesperrt;
    }
    a.ZahlungSichtbar = DokTypMitZahlungseingang(typ);
    if (a.ZahlungSichtbar)
        a.ZahlungGehakt = status == StatusZahlungseingang;
    return a;
}

// ---------------------------------------------------------------------------

// A price line whose discount is empty (older files hold such lines) counts
// without discount; in plain arithmetic it would drop out of every total.
QString KopfSummenSQL() {
    return QStringLiteral(
        "select K.*, (select total(P.Menge*P.Wert*(100-ifnull(P.Rabatt,0))/100.0) from PosPreis P where "
        "P.KopfTyp = K.KopfTyp and P.KopfID = K.KopfID) as Summe, case K.Netto when 'J' then 0 else (select "
        "total(P.Menge*P.Wert*(100-ifnull(P.Rabatt,0))/100.0*P.MWStSatz/100.0) from PosPreis P where "
        "P.KopfTyp = K.KopfTyp and P.KopfID = K.KopfID) end as SummeUST, case K.Netto when 'J' then (select "
        "total(P.Menge*P.Wert*(100-ifnull(P.Rabatt,0))/100.0) from PosPreis P where P.KopfTyp = K.KopfTyp "
        "and P.KopfID = K.KopfID) else (select "
        "total(P.Menge*P.Wert*(100-ifnull(P.Rabatt,0))/100.0*(P.MWStSatz + 100)/100.0) from PosPreis P where "
        "P.KopfTyp = K.KopfTyp and P.KopfID = K.KopfID) end as SummeInkl from Kopf K");
}

void EnsurePreisSummenIndex(TSQLiteDB& db) {
    // The price lines in the order of their key, so that every sum read from
    // the index adds them up in the same order as from the table; with the
    // amounts and the rate in it, neither the overview's three totals nor the
    // statistics' revenue need to read a single row. An older index of the
    // statistics held the amounts in another order and not the rate: the
    // overview read some totals through it and some through the key, and two
    // indexes slow down every saved price line.
    try {
        db.ExecSQL(
            QStringLiteral("create index if not exists PosPreisSumme on PosPreis (KopfTyp, KopfID, PosID, "
                           "PreisID, Menge, Wert, Rabatt, MWStSatz)"));
        db.ExecSQL(QStringLiteral("drop index if exists PosPreisUmsatz"));
    } catch (const ESQLiteError&) {
    }
}

QString KopfNettoSQL(const QString& typ, int kopfId) {
    return QStringLiteral("select total(Menge*Wert*(100-ifnull(Rabatt,0))/100.0) as Summe from PosPreis "
                          "where KopfTyp = ") +
           TypLiteral(typ) + QStringLiteral(" and KopfID = ") + QString::number(kopfId);
}

QString PosGesamtpreisSQL(const QString& typ, int kopfId, int posId) {
    return QStringLiteral("select total(Menge*Wert*(100.0-ifnull(Rabatt,0)))/100.0 as GPreis from PosPreis "
                          "where KopfTyp = ") +
           TypLiteral(typ) + QStringLiteral(" and KopfID = ") + QString::number(kopfId) +
           QStringLiteral(" and PosID = ") + QString::number(posId);
}

TBelegSumme BelegSumme(TSQLiteQuery& query, const QString& typ, int kopfId) {
    query.RunSQL(KopfSummenSQL() + QStringLiteral(" where K.KopfTyp = ") + TypLiteral(typ) +
                 QStringLiteral(" and K.KopfID = ") + QString::number(kopfId));
    TBelegSumme s;
    if (!query.IsEmpty()) {
        s.Netto = query.FieldByName(QStringLiteral("Summe"))->AsFloat();
        s.MWSt = query.FieldByName(QStringLiteral("SummeUST"))->AsFloat();
        s.Brutto = query.FieldByName(QStringLiteral("SummeInkl"))->AsFloat();
    }
    return s;
}

double KopfNetto(TSQLiteQuery& query, const QString& typ, int kopfId) {
    query.RunSQL(KopfNettoSQL(typ, kopfId));
    return query.FieldByName(QStringLiteral("Summe"))->AsFloat();
}

QList<TMWStZeile> MWStZeilen(TSQLiteQuery& query, const QString& typ, int kopfId, bool ohneMWSt) {
    const QString betrag = QStringLiteral("total(Wert*Menge*(100.0-ifnull(Rabatt,0))/100.0) as Summe from "
                                          "PosPreis where KopfTyp = ") +
                           TypLiteral(typ) + QStringLiteral(" and KopfID = ") + QString::number(kopfId);
    if (ohneMWSt)
        query.RunSQL(QStringLiteral("select 0 as MWStSatz, ") + betrag);
    else
        query.RunSQL(QStringLiteral("select MWStSatz, ") + betrag +
                     QStringLiteral(" group by MWStSatz order by MWStSatz"));
    QList<TMWStZeile> zeilen;
    for (query.First(); !query.Eof(); query.Next()) {
        TMWStZeile z;
        z.Satz = query.FieldByName(QStringLiteral("MWStSatz"))->AsFloat();
        const double netto = query.FieldByName(QStringLiteral("Summe"))->AsFloat();
        z.Netto = RoundCentsHalfEven(netto);
        z.MWSt = RoundCentsHalfEven(netto * z.Satz / 100.0);
        zeilen.append(z);
    }
    return zeilen;
}
