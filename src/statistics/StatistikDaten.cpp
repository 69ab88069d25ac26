#include "StatistikDaten.h"

#include "Beleg.h"
#include "DruckText.h"
#include "GlobalFunctions.h"
#include "ListFilter.h"
#include "SQLite.h"

#include "Win1252.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <map>
#include <set>
#include <tuple>
#include <vector>

namespace {

// The net amount of a price line with its sign: cancellation invoices and
// credit notes take revenue back. A line without a discount has none, as on
// the document itself; without the ifnull the line would vanish from the sum.
const QString kUmsatz = QStringLiteral(
    "total(PP.Wert*PP.Menge*(100.0-ifnull(PP.Rabatt,0))/100.0 * case K.KopfTyp when 'S' then -1 when 'G' "
    "then -1 else 1 end)");

const QString kPositionen = QStringLiteral("count(distinct P.KopfID || ' ' || P.PosID)");

// Documents first, then their positions, price lines and the looked-up
// rows. Left to itself SQLite starts from every price line of the revenue
// types of all years, which on a file of several years is many times slower;
// a cross join keeps the order and changes nothing else.
QString From(const char* more) {
    return QStringLiteral(" from Kopf K cross join PosDaten P cross join PosPreis PP") + QLatin1String(more);
}

const QString kJoins =
    QStringLiteral("P.KopfTyp = K.KopfTyp and P.KopfID = K.KopfID and "
                   "PP.KopfTyp = P.KopfTyp and PP.KopfID = P.KopfID and PP.PosID = P.PosID and ");

QString Bedingungen(const QDate& von, const QDate& bis) {
    return QStringLiteral("K.KopfTyp in ('R','T','S','G') and Date(K.Datum) >= '") + DateToSQL(von) +
           QStringLiteral("' and Date(K.Datum) <= '") + DateToSQL(bis) + QStringLiteral("' and ");
}

// A group name is compared exactly as stored: quotes doubled, nothing
// trimmed, so no name can break the statement or match another group.
QString GruppenBedingung(const QString& artGru) {
    return QStringLiteral("and AG.ArtGruID = A.ArtGruID and AG.ArtGruBez =") +
           ListFilter::QuoteExact(artGru) + QStringLiteral(" ");
}

// Sums are compared as the user reads them, in whole cents: revenue that
// cancels out must not leave a "Gesamt" of 0,00 EUR behind.
bool AboveZero(double amount) {
    return std::llround(amount * 100.0) > 0;
}

// In whole cents, so that revenue which cancels out reads 0,00 EUR and
// never -0,00 EUR.
QString Euro(double amount) {
    return FormatEuro(std::llround(amount * 100.0) == 0 ? 0.0 : amount);
}

struct TRow {
    QString Text;
    QDate Tag;
    qint64 Id = 0;
    qint64 Id2 = 0;
    int Anzahl = 0;
    double Umsatz = 0;
};

// The rows of a statement: the text column (or none), the key column (or
// none), the count column (or none) and the revenue column "Umsatz".
std::vector<TRow> ReadRows(TSQLiteDB& db, const QString& sql, const QString& text, const QString& id,
                           const QString& anzahl, const QString& id2 = {}) {
    TSQLiteQuery q(&db);
    q.SetSQL(sql);
    q.Open();
    std::vector<TRow> rows;
    // An empty result has no fields for its expression columns.
    if (q.IsEmpty())
        return rows;
    rows.reserve(size_t(q.RecordCount()));
    TField* fText = text.isEmpty() ? nullptr : q.FieldByName(text);
    TField* fId = id.isEmpty() ? nullptr : q.FieldByName(id);
    TField* fId2 = id2.isEmpty() ? nullptr : q.FieldByName(id2);
    TField* fAnzahl = anzahl.isEmpty() ? nullptr : q.FieldByName(anzahl);
    TField* fUmsatz = q.FieldByName(QStringLiteral("Umsatz"));
    for (q.First(); !q.Eof(); q.Next()) {
        TRow& r = rows.emplace_back();
        if (fText && (fText->DataType() == TFieldType::Date || fText->DataType() == TFieldType::DateTime)) {
            // A day column is read as a date; its text would already be the
            // user's format.
            r.Tag = fText->AsDateTime().date();
            r.Text = DateToSQL(r.Tag);
        } else if (fText) {
            r.Text = fText->AsString();
        }
        if (fId)
            r.Id = fId->AsLargeInt();
        if (fId2)
            r.Id2 = fId2->AsLargeInt();
        if (fAnzahl)
            r.Anzahl = fAnzahl->AsInteger();
        r.Umsatz = fUmsatz->AsFloat();
    }
    return rows;
}

QString IdList(const std::vector<TRow>& rows) {
    QStringList ids;
    for (const TRow& r : rows)
        ids << QString::number(r.Id);
    return ids.join(u',');
}

QList<TStatEintrag> MitGesamt(QList<TStatEintrag> entries, double summe) {
    if (AboveZero(summe))
        entries.append({QStringLiteral("Gesamt"), {Euro(summe)}, TStatLook::Bold, {}});
    return entries;
}

// The tail the customer and postcode lists share.
QString KundenRest(const TStatFilter& f) {
    const bool gruppe = !f.ArtGru.isEmpty();
    QString sql = gruppe ? QStringLiteral(" cross join Artikel A cross join ArtikelGruppe AG where ")
                         : QStringLiteral(" where ");
    sql += Bedingungen(f.Von, f.Bis) + kJoins + QStringLiteral("U.KundenID = K.KundenID ");
    if (gruppe)
        sql += QStringLiteral("and A.ArtikelID = P.ArtikelID ") + GruppenBedingung(f.ArtGru);
    return sql;
}

} // namespace

void StatPrepareIndex(TSQLiteDB& db) {
    // Every statement sums the price lines of the documents it finds; with
    // the amounts in the index the rows themselves need not be read, which
    // saves a fifth of the time on a large file.
    EnsurePreisSummenIndex(db);
}

QList<TStatEintrag> StatUmsatzProTag(TSQLiteDB& db, const TStatFilter& f) {
    const bool gruppe = !f.ArtGru.isEmpty();
    QString sql =
        QStringLiteral("select Date(K.Datum) as Datum, count(distinct K.KopfID) as Anzahl, ") + kUmsatz +
        QStringLiteral(" as Umsatz") + From(" cross join Artikel A") +
        (gruppe ? QStringLiteral(" cross join ArtikelGruppe AG where ") : QStringLiteral(" where ")) +
        Bedingungen(f.Von, f.Bis) + kJoins + QStringLiteral("A.ArtikelID = P.ArtikelID ");
    if (gruppe)
        sql += GruppenBedingung(f.ArtGru);
    sql += QStringLiteral("group by Date(K.Datum) order by Date(K.Datum)");

    QList<TStatEintrag> entries;
    int anzahl = 0;
    double summe = 0;
    for (const TRow& r : ReadRows(db, sql, QStringLiteral("Datum"), {}, QStringLiteral("Anzahl"))) {
        TStatEintrag e;
        e.Caption = r.Text;
        if (r.Text.contains(u'-')) {
            e.Tag = r.Tag.isValid() ? r.Tag : SQLToDate(r.Text);
            e.Caption = DruckDate(e.Tag);
        }
        e.Spalten = {QString::number(r.Anzahl), Euro(r.Anzahl ? r.Umsatz / r.Anzahl : 0.0), Euro(r.Umsatz)};
        entries.append(e);
        anzahl += r.Anzahl;
        summe += r.Umsatz;
    }
    if (anzahl > 0)
        entries.append({QStringLiteral("Gesamt"),
                        {QString::number(anzahl), Euro(summe / anzahl), Euro(summe)},
                        TStatLook::Bold,
                        {}});
    return entries;
}

namespace {

// The revenue and the positions of one entry of the details list. Positions
// are told apart by document number and position number only, so that an
// invoice and a credit note sharing both count as one position.
struct TSumme {
    QString Name;
    QByteArray Key; // the name's stored bytes: the order the database sorts in
    qint64 Id = 0;
    double Umsatz = 0;
    std::set<std::pair<qint64, qint64>> Positionen;

    void Add(const QString& name, qint64 id, double umsatz, const std::pair<qint64, qint64>& pos) {
        if (Key.isNull()) {
            Name = name;
            Key = Win1252::encode(name);
            Id = id;
        }
        Umsatz += umsatz;
        Positionen.insert(pos);
    }
};

// The entries of one level by name as the database orders them, equal names by number.
template <class TKey> std::vector<const TSumme*> Sorted(const std::map<TKey, TSumme>& sums) {
    std::vector<const TSumme*> out;
    for (const auto& [key, sum] : sums)
        out.push_back(&sum);
    std::sort(out.begin(), out.end(), [](const TSumme* a, const TSumme* b) {
        return a->Key != b->Key ? a->Key < b->Key : a->Id < b->Id;
    });
    return out;
}

} // namespace

QList<TStatEintrag> StatUmsatzDetails(TSQLiteDB& db, const TStatFilter& f) {
    // One row per position of the period with its article group, the customer
    // group stored in the document (not the customer's present one), its
    // article and its revenue. The three levels are summed from these rows,
    // so the file is read once and not once per group.
    QString sql =
        QStringLiteral(
            "select A.ArtGruID as ArtGruID, AG.ArtGruBez as ArtGruBez, K.KunGruID as KunGruID, "
            "KG.KunGruID as KGID, KG.KunGruBez as KunGruBez, A.ArtikelID as ArtikelID, A.ArtKurzBez as "
            "ArtKurzBez, P.KopfID as KopfID, P.PosID as PosID, ") +
        kUmsatz + QStringLiteral(" as Umsatz") +
        From(" cross join Artikel A cross join ArtikelGruppe AG left join KundenGruppe KG on KG.KunGruID = "
             "K.KunGruID") +
        QStringLiteral(" where ") + Bedingungen(f.Von, f.Bis) + kJoins +
        QStringLiteral("A.ArtikelID = P.ArtikelID and AG.ArtGruID = A.ArtGruID ");
    if (!f.ArtGru.isEmpty())
        sql += QStringLiteral("and AG.ArtGruBez = ") + ListFilter::QuoteExact(f.ArtGru) + QStringLiteral(" ");
    // Grouped by the document columns the rows arrive sorted by, so no sorting is needed.
    sql += QStringLiteral("group by K.KopfTyp, K.KopfID, P.PosID");

    std::map<qint64, TSumme> artGruppen;
    std::map<std::pair<qint64, qint64>, TSumme> kunGruppen;
    std::map<std::tuple<qint64, qint64, qint64>, TSumme> artikel;
    // Under a customer group numbered 0 the articles of every document are listed.
    std::map<std::pair<qint64, qint64>, TSumme> artikelAlle;
    {
        TSQLiteQuery q(&db);
        q.SetSQL(sql);
        q.Open();
        if (q.IsEmpty())
            return {};
        auto field = [&q](const char* name) { return q.FieldByName(QLatin1String(name)); };
        TField *fAg = field("ArtGruID"), *fAgName = field("ArtGruBez"), *fKg = field("KunGruID"),
               *fKgId = field("KGID"), *fKgName = field("KunGruBez"), *fArt = field("ArtikelID"),
               *fArtName = field("ArtKurzBez"), *fKopf = field("KopfID"), *fPos = field("PosID"),
               *fUmsatz = field("Umsatz");
        for (q.First(); !q.Eof(); q.Next()) {
            const qint64 ag = fAg->AsLargeInt(), kg = fKg->AsLargeInt(), art = fArt->AsLargeInt();
            const std::pair<qint64, qint64> pos{fKopf->AsLargeInt(), fPos->AsLargeInt()};
            const double umsatz = fUmsatz->AsFloat();
            const QString artName = fArtName->AsString();
            artGruppen[ag].Add(fAgName->AsString(), ag, umsatz, pos);
            if (!fKgId->IsNull())
                kunGruppen[{ag, kg}].Add(fKgName->AsString(), kg, umsatz, pos);
            artikel[{ag, kg, art}].Add(artName, art, umsatz, pos);
            artikelAlle[{ag, art}].Add(artName, art, umsatz, pos);
        }
    }

    QList<TStatEintrag> entries;
    auto add = [&entries](const QString& caption, const TSumme& s) {
        entries.append(
            {caption, {QString::number(s.Positionen.size()), Euro(s.Umsatz)}, StatDetailsLook(caption), {}});
    };
    qsizetype anzahl = 0;
    double summe = 0;
    for (const TSumme* ag : Sorted(artGruppen)) {
        add(ag->Name, *ag);
        anzahl += ag->Positionen.size();
        summe += ag->Umsatz;
        std::map<qint64, TSumme> kgs;
        for (auto it = kunGruppen.lower_bound({ag->Id, std::numeric_limits<qint64>::min()});
             it != kunGruppen.end() && it->first.first == ag->Id; ++it)
            kgs.emplace(it->first.second, it->second);
        for (const TSumme* kg : Sorted(kgs)) {
            add(QStringLiteral("   ") + kg->Name, *kg);
            std::map<qint64, TSumme> arts;
            if (kg->Id != 0) {
                for (auto it = artikel.lower_bound({ag->Id, kg->Id, std::numeric_limits<qint64>::min()});
                     it != artikel.end() && std::get<0>(it->first) == ag->Id &&
                     std::get<1>(it->first) == kg->Id;
                     ++it)
                    arts.emplace(std::get<2>(it->first), it->second);
            } else {
                for (auto it = artikelAlle.lower_bound({ag->Id, std::numeric_limits<qint64>::min()});
                     it != artikelAlle.end() && it->first.first == ag->Id; ++it)
                    arts.emplace(it->first.second, it->second);
            }
            for (const TSumme* a : Sorted(arts))
                add(QStringLiteral("      ") + a->Name, *a);
        }
        entries.append({QString(), {QString(), QString()}, TStatLook::Plain, {}});
    }
    if (anzahl != 0)
        entries.append(
            {QStringLiteral("Gesamt"), {QString::number(anzahl), Euro(summe)}, TStatLook::Bold, {}});
    return entries;
}

QList<TStatEintrag> StatUmsatzProKunde(TSQLiteDB& db, const TStatFilter& f) {
    const QString sql = QStringLiteral("select K.KundenID || ' - ' || ifnull(U.Firma || ' ','') || "
                                       "ifnull(U.Nachname,'') || ifnull(' ' || U.Vorname,'') as Kunde,") +
                        kUmsatz + QStringLiteral(" as Umsatz") + From(" cross join Kunde U") + KundenRest(f) +
                        QStringLiteral("group by K.KundenID");
    QList<TStatEintrag> entries;
    double summe = 0;
    for (const TRow& r : ReadRows(db, sql, QStringLiteral("Kunde"), {}, {})) {
        entries.append({r.Text, {Euro(r.Umsatz)}, TStatLook::Plain, {}});
        summe += r.Umsatz;
    }
    return MitGesamt(entries, summe);
}

QList<TStatEintrag> StatUmsatzProPLZ(TSQLiteDB& db, const TStatFilter& f, bool bundesland) {
    const QString erste =
        bundesland
            ? QStringLiteral("select case substr(U.PLZ,1,1) when '1' then '1... Wien' when '2' then '2... "
                             "Niederösterreich' when '3' then '3... Niederösterreich' when '4' then '4... "
                             "Oberösterreich' when '5' then '5... Salzburg' when '6' then '6... Tirol und "
                             "Vorarlberg' when '7' then '7... Burgenland' when '8' then '8... Steiermark' "
                             "when '9' then '9... Kärnten' else substr(U.PLZ,1,1) end as PLZ, ")
            : QStringLiteral("select U.PLZ as PLZ, ");
    const QString sql =
        erste + kUmsatz + QStringLiteral(" as Umsatz") + From(" cross join Kunde U") + KundenRest(f) +
        (bundesland ? QStringLiteral("group by substr(U.PLZ,1,1)") : QStringLiteral("group by U.PLZ"));
    QList<TStatEintrag> entries;
    double summe = 0;
    for (const TRow& r : ReadRows(db, sql, QStringLiteral("PLZ"), {}, {})) {
        entries.append({r.Text, {Euro(r.Umsatz)}, TStatLook::Plain, {}});
        summe += r.Umsatz;
    }
    return MitGesamt(entries, summe);
}

TStatLook StatDetailsLook(const QString& caption) {
    if (!caption.startsWith(u' '))
        return TStatLook::Bold;
    if (caption.startsWith(QLatin1String("   ")) && !caption.startsWith(QLatin1String("    ")))
        return TStatLook::BoldGrey;
    return TStatLook::Plain;
}

QList<TStatJahrSerie> StatJahresUebersicht(TSQLiteDB& db, int jahr, const QString& artGru) {
    const bool gruppe = !artGru.isEmpty();
    const QString gruppenSql =
        gruppe ? QStringLiteral("select ArtGruID, ArtGruBez from Artikelgruppe where ArtGruBez = ") +
                     ListFilter::QuoteExact(artGru)
               : QStringLiteral("select ArtGruID, ArtGruBez from Artikelgruppe order by ArtGruBez");
    std::vector<TRow> gruppen;
    {
        TSQLiteQuery q(&db);
        q.SetSQL(gruppenSql);
        q.Open();
        for (q.First(); !q.Eof(); q.Next()) {
            TRow& g = gruppen.emplace_back();
            g.Text = q.FieldByName(QStringLiteral("ArtGruBez"))->AsString();
            g.Id = q.FieldByName(QStringLiteral("ArtGruID"))->AsLargeInt();
        }
    }
    if (gruppen.empty())
        return {};
    // Every group's months in one statement, grouped by group and month.
    QString sql =
        QStringLiteral("select A.ArtGruID as ArtGruID, substr(K.Datum,6,2) as Monat, ") + kUmsatz +
        QStringLiteral(" as Umsatz") + From(" cross join Artikel A") +
        (gruppe ? QStringLiteral(" cross join ArtikelGruppe AG where ") : QStringLiteral(" where ")) +
        Bedingungen(QDate(jahr, 1, 1), QDate(jahr, 12, 31)) + kJoins +
        QStringLiteral("A.ArtikelID = P.ArtikelID and A.ArtGruID in (") + IdList(gruppen) +
        QStringLiteral(") ");
    if (gruppe)
        sql += GruppenBedingung(artGru);
    sql += QStringLiteral("group by A.ArtGruID, substr(K.Datum,6,2)");
    std::map<qint64, QList<double>> monate;
    for (const TRow& r : ReadRows(db, sql, QStringLiteral("Monat"), QStringLiteral("ArtGruID"), {})) {
        const int monat = r.Text.toInt();
        QList<double>& werte = monate[r.Id];
        if (werte.isEmpty())
            werte = QList<double>(12, 0.0);
        if (monat >= 1 && monat <= 12)
            werte[monat - 1] = r.Umsatz;
    }
    QList<TStatJahrSerie> serien;
    for (const TRow& g : gruppen) {
        const auto found = monate.find(g.Id);
        serien.append({g.Text, found != monate.end() ? found->second : QList<double>(12, 0.0)});
    }
    return serien;
}
