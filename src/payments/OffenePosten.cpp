// The open items: every invoice not fully paid, with its interest.
#include "Zahlungen.h"

#include "DruckText.h"
#include "GlobalFunctions.h"
#include "SQLiteCursor.h"
#include "UDM.h"
#include "ZahlungenIntern.h"

#include <algorithm>
#include <cmath>
#include <unordered_map>

using namespace ZahlungenIntern;

namespace {

struct TBelegDaten {
    char Typ = 0;
    bool PerHandBezahlt = false; // status Z; counts as paid when it has no payment
    bool Netto = false;
    bool OhneFirma = false;
    int KopfID = 0;
    int KundenID = 0;
    QDate Datum;
};

struct TBewegung {
    int Beleg = 0; // index into the invoices
    QDate Datum;
    double Betrag = 0; // credits negative, payments positive
};

// Finds a document of the list by type and number. Numbers are dense in
// practice, so each type gets a plain table from number to position; a type
// whose numbers are spread too thinly for that falls back to a hash.
class TBelegIndex {
public:
    void Add(char typ, int kopfId, int pos) { FEintraege.push_back({typ, kopfId, pos}); }
    void Build() {
        for (const TEintrag& e : FEintraege) {
            TTyp& t = FTypen[Slot(e.Typ)];
            ++t.Anzahl;
            t.Max = std::max(t.Max, e.KopfID);
        }
        for (TTyp& t : FTypen)
            if (t.Anzahl > 0 && t.Max < 4 * t.Anzahl + 1024)
                t.Tabelle.assign(size_t(t.Max) + 1, -1);
        for (const TEintrag& e : FEintraege) {
            TTyp& t = FTypen[Slot(e.Typ)];
            if (!t.Tabelle.empty())
                t.Tabelle[size_t(e.KopfID)] = e.Pos;
            else
                t.Hash.insert(e.KopfID, e.Pos);
        }
        FEintraege.clear();
    }
    // -1 when the document is not in the list.
    int Find(char typ, qint64 kopfId) const {
        const TTyp& t = FTypen[Slot(typ)];
        if (!t.Tabelle.empty())
            return kopfId >= 0 && kopfId < qint64(t.Tabelle.size()) ? t.Tabelle[size_t(kopfId)] : -1;
        return t.Hash.value(int(kopfId), -1);
    }

private:
    struct TEintrag {
        char Typ;
        int KopfID;
        int Pos;
    };
    struct TTyp {
        int Anzahl = 0;
        int Max = 0;
        std::vector<int> Tabelle;
        QHash<int, int> Hash;
    };
    static int Slot(char typ) { return typ == 'R' ? 0 : typ == 'T' ? 1 : typ == 'S' ? 2 : 3; }
    std::vector<TEintrag> FEintraege;
    TTyp FTypen[4];
};

// The net sums per VAT rate of one document: nearly always one or two rates,
// kept in place; a document with more rates moves to `weitere`.
struct TSatzSummen {
    double Satz[2] = {0, 0};
    double Netto[2] = {0, 0};
    int Anzahl = 0; // -1: the rates are in the map of further rates
};

class TSatzTabelle {
public:
    explicit TSatzTabelle(size_t n) : FSummen(n) {}
    void Add(size_t i, double satz, double netto) {
        TSatzSummen& s = FSummen[i];
        for (int k = 0; k < s.Anzahl; ++k)
            if (s.Satz[k] == satz) {
                s.Netto[k] += netto;
                return;
            }
        if (s.Anzahl >= 0 && s.Anzahl < 2) {
            s.Satz[s.Anzahl] = satz;
            s.Netto[s.Anzahl++] = netto;
            return;
        }
        std::map<double, double>& w = FWeitere[i];
        for (int k = 0; k < s.Anzahl; ++k)
            w[s.Satz[k]] += s.Netto[k];
        s.Anzahl = -1;
        w[satz] += netto;
    }
    bool IsEmpty(size_t i) const { return FSummen[i].Anzahl == 0; }
    double Brutto(size_t i, bool netto) const {
        const TSatzSummen& s = FSummen[i];
        if (s.Anzahl < 0)
            return BruttoAusSaetzen(FWeitere.at(i), netto);
        std::map<double, double> saetze;
        for (int k = 0; k < s.Anzahl; ++k)
            saetze[s.Satz[k]] += s.Netto[k];
        return BruttoAusSaetzen(saetze, netto);
    }

private:
    std::vector<TSatzSummen> FSummen;
    std::unordered_map<size_t, std::map<double, double>> FWeitere;
};
} // namespace

QList<TOffenerPosten> OffenePosten(TDM& dm, const TOPFilter& filter, QList<QDate>* fehlendeHalbjahre) {
    QList<TOffenerPosten> result;
    const QDate stichtag = filter.Stichtag.isValid() ? filter.Stichtag : QDate::currentDate();
    const QString bis = DateToSQL(stichtag);
    const bool tabellen = HasZahlungTables(dm);
    TSQLiteDB& db = dm.SQLiteDB1;
    QString kundeBed;
    if (filter.KundenID >= 0)
        kundeBed = QStringLiteral(" and K.KundenID = ") + QString::number(filter.KundenID);

    // The invoices. The table is read straight through: seeking each of them
    // through the key costs twice as much when they are most of the documents.
    QString sql = QStringLiteral("select K.KopfTyp, K.KopfID, K.KundenID, Date(K.Datum), K.Status, K.Netto "
                                 "from Kopf K where (K.KopfTyp || '') in ('R','T') and K.KopfID > 0 and "
                                 "Date(K.Datum) <= '") +
                  bis + u'\'' + kundeBed;
    if (filter.Von.isValid())
        sql += QStringLiteral(" and Date(K.Datum) >= '") + DateToSQL(filter.Von) + u'\'';
    if (filter.Bis.isValid())
        sql += QStringLiteral(" and Date(K.Datum) <= '") + DateToSQL(filter.Bis) + u'\'';
    std::vector<TBelegDaten> belege;
    TBelegIndex index;
    {
        TSQLiteCursor c(db, sql);
        while (c.Next()) {
            TBelegDaten b;
            b.Typ = c.Char(0);
            b.KopfID = int(c.Int(1));
            b.KundenID = int(c.Int(2));
            b.Datum = c.Date(3);
            b.PerHandBezahlt = c.Char(4) == 'Z';
            b.Netto = c.Char(5) == 'J';
            index.Add(b.Typ, b.KopfID, int(belege.size()));
            belege.push_back(b);
        }
    }
    if (belege.empty())
        return result;
    index.Build();

    // Customers once each, not once per invoice.
    QHash<int, QPair<QString, bool>> kunden; // KundenID -> ("number - name", has a company name)
    {
        TSQLiteCursor c(db,
                        QStringLiteral("select K.KundenID, K.KundenID || ' - ' || ifnull(K.Firma || ' ','') "
                                       "|| ifnull(K.Nachname,'') || ifnull(' ' || K.Vorname,''), "
                                       "trim(ifnull(K.Firma,'')) <> '' from Kunde K where 1 = 1") +
                            kundeBed);
        while (c.Next())
            kunden.insert(int(c.Int(0)), {c.Text(1), c.Int(2) != 0});
    }
    for (TBelegDaten& b : belege)
        b.OhneFirma = !kunden.value(b.KundenID).second;

    // Movements that lower what is owed: credits up to the day, then payments.
    std::vector<TBewegung> bewegungen;
    bewegungen.reserve(belege.size() * 2);
    TBelegIndex gutschriften; // credit note -> its entry in bewegungen
    QHash<int, bool> gutschriftNetto;
    {
        TSQLiteCursor c(db, QStringLiteral("select K.RefTyp, K.RefID, K.KopfTyp, K.KopfID, Date(K.Datum), "
                                           "K.Netto from Kopf K where K.KopfTyp in ('S','G') and K.RefTyp "
                                           "in ('R','T') and Date(K.Datum) <= '") +
                                bis + u'\'' + kundeBed);
        while (c.Next()) {
            const int beleg = index.Find(c.Char(0), c.Int(1));
            if (beleg < 0)
                continue;
            const int m = int(bewegungen.size());
            gutschriften.Add(c.Char(2), int(c.Int(3)), m);
            if (c.Char(5) == 'J')
                gutschriftNetto.insert(m, true);
            bewegungen.push_back({beleg, c.Date(4), 0});
        }
    }
    gutschriften.Build();
    std::vector<int> zahlungAnzahl(belege.size(), 0);
    if (tabellen) {
        // Every payment counts for the hand-set Z; only those up to the day lower the amount.
        TSQLiteCursor c(db,
                        QStringLiteral("select Z.KopfTyp, Z.KopfID, Date(Z.Datum), Z.Betrag from Zahlung Z") +
                            (kundeBed.isEmpty() ? QString()
                                                : QStringLiteral(", Kopf K where K.KopfTyp = Z.KopfTyp and "
                                                                 "K.KopfID = Z.KopfID") +
                                                      kundeBed));
        while (c.Next()) {
            const int beleg = index.Find(c.Char(0), c.Int(1));
            if (beleg < 0)
                continue;
            ++zahlungAnzahl[size_t(beleg)];
            const QDate d = c.Date(2);
            if (d.isValid() && d <= stichtag)
                bewegungen.push_back({beleg, d, c.Float(3)});
        }
    }

    // Gross totals of the invoices and of the credits against them, from the
    // net sums per rate. The price lines are read in the table's own order:
    // the sums per document and rate are gathered here, not by a sort.
    TSatzTabelle saetze(belege.size());
    TSatzTabelle gutschriftSaetze(bewegungen.size());
    {
        TSQLiteCursor c(db,
                        QStringLiteral("select P.KopfTyp, P.KopfID, P.MWStSatz, "
                                       "P.Menge*P.Wert*(100.0-P.Rabatt)/100.0 from PosPreis P") +
                            (kundeBed.isEmpty() ? QString()
                                                : QStringLiteral(", Kopf K where K.KopfTyp = P.KopfTyp and "
                                                                 "K.KopfID = P.KopfID") +
                                                      kundeBed));
        while (c.Next()) {
            if (c.IsNull(3))
                continue;
            const char typ = c.Char(0);
            if (typ == 'R' || typ == 'T') {
                if (const int i = index.Find(typ, c.Int(1)); i >= 0)
                    saetze.Add(size_t(i), c.Float(2), c.Float(3));
            } else if (typ == 'S' || typ == 'G') {
                if (const int m = gutschriften.Find(typ, c.Int(1)); m >= 0)
                    gutschriftSaetze.Add(size_t(m), c.Float(2), c.Float(3));
            }
        }
    }
    std::vector<double> brutto(belege.size(), 0.0);
    for (size_t i = 0; i < belege.size(); ++i)
        brutto[i] = saetze.Brutto(i, belege[i].Netto);
    for (size_t m = 0; m < bewegungen.size(); ++m)
        if (!gutschriftSaetze.IsEmpty(m))
            bewegungen[m].Betrag = -gutschriftSaetze.Brutto(m, gutschriftNetto.value(int(m)));

    // Terms per customer and dunning levels.
    const TZahlungsBedingung firma = FirmenZahlungsBedingung(dm);
    QHash<int, QPair<int, QString>> ziele; // KundenID -> (due period, consumer mark)
    QHash<int, QPair<int, QDate>> stufen;  // index -> (level, date)
    if (tabellen) {
        TSQLiteCursor z(db,
                        QStringLiteral("select KundenID, Zahlungsziel, Verbraucher from ZahlungsBedingung"));
        while (z.Next())
            ziele.insert(int(z.Int(0)), {z.IsNull(1) ? -1 : int(z.Int(1)), z.Text(2).trimmed()});
        TSQLiteCursor m(db,
                        QStringLiteral("select KopfTyp, KopfID, max(Stufe), max(Datum) from Mahnung where "
                                       "Datum <= '") +
                            bis + QStringLiteral("' group by KopfTyp, KopfID"));
        while (m.Next())
            if (const int i = index.Find(m.Char(0), m.Int(1)); i >= 0)
                stufen.insert(i, {int(m.Int(2)), m.Date(3)});
    }
    const QString land = ZinsLand(dm);
    const QList<TBasiszins> basis = Basiszinsen(dm, land);
    const int tageBasis = ZinsTageBasis(dm);

    // The movements of each invoice side by side, credits first.
    std::vector<int> anfang(belege.size() + 1, 0);
    for (const TBewegung& m : bewegungen)
        ++anfang[size_t(m.Beleg) + 1];
    for (size_t i = 1; i < anfang.size(); ++i)
        anfang[i] += anfang[i - 1];
    std::vector<int> reihe(bewegungen.size());
    {
        std::vector<int> frei(anfang.begin(), anfang.end() - 1);
        for (int m = 0; m < int(bewegungen.size()); ++m)
            reihe[size_t(frei[size_t(bewegungen[size_t(m)].Beleg)]++)] = m;
    }

    static const QString kRechnung = QStringLiteral("R"), kTeilrechnung = QStringLiteral("T");
    result.reserve(qsizetype(belege.size()));
    QList<QPair<QDate, double>> minderungen;
    for (int i = 0; i < int(belege.size()); ++i) {
        const TBelegDaten& b = belege[size_t(i)];
        if (b.PerHandBezahlt && zahlungAnzahl[size_t(i)] == 0)
            continue; // marked as paid by hand
        TOffenerPosten p;
        p.Brutto = brutto[size_t(i)];
        for (int r = anfang[size_t(i)]; r < anfang[size_t(i) + 1]; ++r) {
            const TBewegung& m = bewegungen[size_t(reihe[size_t(r)])];
            if (m.Betrag < 0)
                p.Gutgeschrieben -= m.Betrag;
            else
                p.Bezahlt += m.Betrag;
        }
        p.Bezahlt = RoundCentsHalfEven(p.Bezahlt);
        p.Gutgeschrieben = RoundCentsHalfEven(p.Gutgeschrieben);
        p.Offen = RoundCentsHalfEven(p.Brutto - p.Bezahlt - p.Gutgeschrieben);
        if (p.Offen < kCent)
            continue;
        const auto z = ziele.constFind(b.KundenID);
        const int ziel = z != ziele.cend() && z->first >= 0 ? z->first : firma.Zahlungsziel;
        p.Faellig = Faelligkeit(b.Datum, ziel);
        p.TageUeberfaellig = int(std::max<qint64>(0, p.Faellig.daysTo(stichtag)));
        if (filter.NurUeberfaellig && p.TageUeberfaellig == 0)
            continue;
        p.Typ = b.Typ == 'T' ? kTeilrechnung : kRechnung;
        p.KopfID = b.KopfID;
        p.KundenID = b.KundenID;
        p.Datum = b.Datum;
        p.Verbraucher = IstVerbraucher(b.OhneFirma ? QString() : QStringLiteral("-"),
                                       z != ziele.cend() ? z->second : QString());
        p.Kunde = kunden.value(b.KundenID).first;
        if (p.Kunde.isEmpty())
            p.Kunde = QString::number(b.KundenID) + QStringLiteral(" - ");
        if (const auto st = stufen.constFind(i); st != stufen.cend()) {
            p.Mahnstufe = st->first;
            p.MahnDatum = st->second;
        }
        if (p.TageUeberfaellig > 0) {
            minderungen.clear();
            for (int r = anfang[size_t(i)]; r < anfang[size_t(i) + 1]; ++r) {
                const TBewegung& m = bewegungen[size_t(reihe[size_t(r)])];
                minderungen.append({m.Datum, std::abs(m.Betrag)});
            }
            p.Zinsen = RoundCentsHalfEven(ZinsenBerechnen(basis, land, p.Verbraucher, b.Datum, p.Faellig,
                                                          stichtag, p.Brutto, minderungen, tageBasis, nullptr,
                                                          fehlendeHalbjahre));
        }
        result.append(std::move(p));
    }
    // By due date, then type and number. The items are swapped in place; the
    // comparison reads no text.
    std::sort(result.begin(), result.end(), [](const TOffenerPosten& a, const TOffenerPosten& b) {
        if (a.Faellig != b.Faellig)
            return a.Faellig < b.Faellig;
        if (a.Typ.at(0) != b.Typ.at(0))
            return a.Typ.at(0) < b.Typ.at(0);
        return a.KopfID < b.KopfID;
    });
    if (fehlendeHalbjahre)
        std::sort(fehlendeHalbjahre->begin(), fehlendeHalbjahre->end());
    return result;
}

TOPSumme OffenePostenSumme(TDM& dm, const QDate& stichtag) {
    TOPFilter f;
    f.Stichtag = stichtag;
    TOPSumme s;
    for (const TOffenerPosten& p : OffenePosten(dm, f)) {
        s.Offen += p.Offen;
        if (p.TageUeberfaellig > 0)
            s.Ueberfaellig += p.Offen;
        ++s.Anzahl;
    }
    s.Offen = RoundCentsHalfEven(s.Offen);
    s.Ueberfaellig = RoundCentsHalfEven(s.Ueberfaellig);
    return s;
}

QHash<QString, QString> ZahlungsMarken(TDM& dm) {
    QHash<QString, QString> marken;
    EnsureZahlungTables(dm);
    TOPFilter f;
    f.Stichtag = QDate(9999, 12, 31);
    QHash<QString, QString> offen;
    for (const TOffenerPosten& p : OffenePosten(dm, f))
        offen.insert(Key(p.Typ, p.KopfID), p.Bezahlt + p.Gutgeschrieben > kCent
                                               ? QStringLiteral("teilbezahlt")
                                               : QStringLiteral("offen"));
    TSQLiteQuery q(&dm.SQLiteDB1);
    q.RunSQL(QStringLiteral("select KopfTyp, KopfID from Kopf where KopfTyp in ('R','T') and KopfID > 0"));
    for (q.First(); !q.Eof(); q.Next()) {
        const QString key = Key(q.Fields(0)->AsString(), q.Fields(1)->AsInteger());
        marken.insert(key, offen.value(key, QStringLiteral("bezahlt")));
    }
    return marken;
}
