#include "StatistikDaten.h"

#include "DruckText.h"
#include "GlobalFunctions.h"
#include "ListFilter.h"
#include "SQLite.h"

#include <cmath>
#include <vector>

namespace {

// The net amount of a price line with its sign: cancellation invoices and
// credit notes take revenue back. A line without a discount has none, as on
// the document itself; without the ifnull the line would vanish from the sum.
const QString kUmsatz = QStringLiteral(
    "total(PP.Wert*PP.Menge*(100.0-ifnull(PP.Rabatt,0))/100.0 * case K.KopfTyp when 'S' then -1 when 'G' "
    "then -1 else 1 end)");

const QString kPositionen = QStringLiteral("count(distinct P.KopfID || ' ' || P.PosID)");

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
    int Anzahl = 0;
    double Umsatz = 0;
};

// The rows of a statement: the text column (or none), the key column (or
// none), the count column (or none) and the revenue column "Umsatz".
std::vector<TRow> ReadRows(TSQLiteDB& db, const QString& sql, const QString& text, const QString& id,
                           const QString& anzahl) {
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
        if (fAnzahl)
            r.Anzahl = fAnzahl->AsInteger();
        r.Umsatz = fUmsatz->AsFloat();
    }
    return rows;
}

QList<TStatEintrag> MitGesamt(QList<TStatEintrag> entries, double summe) {
    if (AboveZero(summe))
        entries.append({QStringLiteral("Gesamt"), {Euro(summe)}, TStatLook::Bold, {}});
    return entries;
}

// The tail the customer and postcode lists share.
QString KundenRest(const TStatFilter& f) {
    const bool gruppe = !f.ArtGru.isEmpty();
    QString sql = gruppe ? QStringLiteral(", Artikel A, ArtikelGruppe AG where ") : QStringLiteral(" where ");
    sql += Bedingungen(f.Von, f.Bis) + kJoins + QStringLiteral("U.KundenID = K.KundenID ");
    if (gruppe)
        sql += QStringLiteral("and A.ArtikelID = P.ArtikelID ") + GruppenBedingung(f.ArtGru);
    return sql;
}

} // namespace

QList<TStatEintrag> StatUmsatzProTag(TSQLiteDB& db, const TStatFilter& f) {
    const bool gruppe = !f.ArtGru.isEmpty();
    QString sql = QStringLiteral("select Date(K.Datum) as Datum, count(distinct K.KopfID) as Anzahl, ") +
                  kUmsatz + QStringLiteral(" as Umsatz from Kopf K, PosDaten P, PosPreis PP, Artikel A") +
                  (gruppe ? QStringLiteral(", ArtikelGruppe AG where ") : QStringLiteral(" where ")) +
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

QList<TStatEintrag> StatUmsatzDetails(TSQLiteDB& db, const TStatFilter& f) {
    const QString bedingungen = Bedingungen(f.Von, f.Bis);
    QString sql =
        QStringLiteral("select AG.ArtGruID as ArtGruID, AG.ArtGruBez as ArtGruBez,") + kUmsatz +
        QStringLiteral(" as Umsatz, ") + kPositionen +
        QStringLiteral(" as Anzahl from Kopf K, PosDaten P, PosPreis PP, Artikel A, ArtikelGruppe AG "
                       "where ") +
        bedingungen + kJoins + QStringLiteral("A.ArtikelID = P.ArtikelID and AG.ArtGruID = A.ArtGruID ");
    if (!f.ArtGru.isEmpty())
        sql += QStringLiteral("and AG.ArtGruBez = ") + ListFilter::QuoteExact(f.ArtGru) + QStringLiteral(" ");
    sql += QStringLiteral("group by AG.ArtGruID order by AG.ArtGruBez");

    QList<TStatEintrag> entries;
    auto add = [&entries](const QString& caption, const TRow& r) {
        entries.append({caption, {QString::number(r.Anzahl), Euro(r.Umsatz)}, StatDetailsLook(caption), {}});
    };
    int anzahl = 0;
    double summe = 0;
    for (const TRow& ag : ReadRows(db, sql, QStringLiteral("ArtGruBez"), QStringLiteral("ArtGruID"),
                                   QStringLiteral("Anzahl"))) {
        add(ag.Text, ag);
        anzahl += ag.Anzahl;
        summe += ag.Umsatz;
        const QString artGruId = QString::number(ag.Id);
        // The customer group stored in the document counts, not the customer's present one.
        const QString kgSql =
            QStringLiteral("select KG.KunGruID as KunGruID, KG.KunGruBez as KunGruBez, ") + kUmsatz +
            QStringLiteral(" as Umsatz, ") + kPositionen +
            QStringLiteral(
                " as Anzahl from Kopf K, PosDaten P, PosPreis PP, Artikel A, KundenGruppe KG where ") +
            bedingungen + kJoins + QStringLiteral("A.ArtikelID = P.ArtikelID and A.ArtGruID = ") + artGruId +
            QStringLiteral(" and KG.KunGruID = K.KunGruID group by KG.KunGruID order by KG.KunGruBez");
        for (const TRow& kg : ReadRows(db, kgSql, QStringLiteral("KunGruBez"), QStringLiteral("KunGruID"),
                                       QStringLiteral("Anzahl"))) {
            add(QStringLiteral("   ") + kg.Text, kg);
            QString aSql =
                QStringLiteral("select A.ArtKurzBez as Bezeichnung,") + kUmsatz +
                QStringLiteral(" as Umsatz, ") + kPositionen +
                QStringLiteral(" as Anzahl from Kopf K, PosDaten P, PosPreis PP, Artikel A where ") +
                bedingungen;
            if (kg.Id != 0)
                aSql += QStringLiteral("K.KunGruID = ") + QString::number(kg.Id) + QStringLiteral(" and ");
            aSql += kJoins + QStringLiteral("A.ArtikelID = P.ArtikelID and A.ArtGruID = ") + artGruId +
                    QStringLiteral(" group by A.ArtikelID order by A.ArtKurzBez");
            for (const TRow& a :
                 ReadRows(db, aSql, QStringLiteral("Bezeichnung"), {}, QStringLiteral("Anzahl")))
                add(QStringLiteral("      ") + a.Text, a);
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
                        kUmsatz + QStringLiteral(" as Umsatz from Kopf K, PosDaten P, PosPreis PP, Kunde U") +
                        KundenRest(f) + QStringLiteral("group by K.KundenID");
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
        erste + kUmsatz + QStringLiteral(" as Umsatz from Kopf K, PosDaten P, PosPreis PP, Kunde U") +
        KundenRest(f) +
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
        for (q.First(); !q.Eof(); q.Next())
            gruppen.push_back({q.FieldByName(QStringLiteral("ArtGruBez"))->AsString(),
                               {},
                               q.FieldByName(QStringLiteral("ArtGruID"))->AsLargeInt(),
                               0,
                               0});
    }
    const TStatFilter jahrFilter{QDate(jahr, 1, 1), QDate(jahr, 12, 31), artGru};
    QList<TStatJahrSerie> serien;
    for (const TRow& g : gruppen) {
        QString sql = QStringLiteral("select substr(K.Datum,6,2) as Monat, ") + kUmsatz +
                      QStringLiteral(" as Umsatz from Kopf K, PosDaten P, PosPreis PP, Artikel A ") +
                      (gruppe ? QStringLiteral(", ArtikelGruppe AG where ") : QStringLiteral(" where ")) +
                      Bedingungen(jahrFilter.Von, jahrFilter.Bis) + kJoins +
                      QStringLiteral("A.ArtikelID = P.ArtikelID and A.ArtGruID = ") + QString::number(g.Id) +
                      QStringLiteral(" ");
        if (gruppe)
            sql += GruppenBedingung(artGru);
        sql += QStringLiteral("group by substr(K.Datum,6,2) order by substr(K.Datum,6,2)");
        TStatJahrSerie s{g.Text, QList<double>(12, 0.0)};
        for (const TRow& r : ReadRows(db, sql, QStringLiteral("Monat"), {}, {})) {
            const int monat = r.Text.toInt();
            if (monat >= 1 && monat <= 12)
                s.Monate[monat - 1] = r.Umsatz;
        }
        serien.append(s);
    }
    return serien;
}
