#include "Zahlungen.h"

#include "Beleg.h"
#include "DruckText.h"
#include "GlobalFunctions.h"
#include "Messages.h"
#include "OwnTransaction.h"
#include "QuorventFunctions.h"
#include "SQLiteCursor.h"
#include "UDM.h"
#include "ZahlungenIntern.h"

#include <QLocale>

#include <algorithm>
#include <cmath>
#include <map>
#include <unordered_map>

namespace ZahlungenIntern {

const TBasiszinsDE kBasiszinsDE[] = {
    {"2002-01-01", 2.57},  {"2002-07-01", 2.47},  {"2003-01-01", 1.97},  {"2003-07-01", 1.22},
    {"2004-01-01", 1.14},  {"2004-07-01", 1.13},  {"2005-01-01", 1.21},  {"2005-07-01", 1.17},
    {"2006-01-01", 1.37},  {"2006-07-01", 1.95},  {"2007-01-01", 2.70},  {"2007-07-01", 3.19},
    {"2008-01-01", 3.32},  {"2008-07-01", 3.19},  {"2009-01-01", 1.62},  {"2009-07-01", 0.12},
    {"2010-01-01", 0.12},  {"2010-07-01", 0.12},  {"2011-01-01", 0.12},  {"2011-07-01", 0.37},
    {"2012-01-01", 0.12},  {"2012-07-01", 0.12},  {"2013-01-01", -0.13}, {"2013-07-01", -0.38},
    {"2014-01-01", -0.63}, {"2014-07-01", -0.73}, {"2015-01-01", -0.83}, {"2015-07-01", -0.83},
    {"2016-01-01", -0.83}, {"2016-07-01", -0.88}, {"2017-01-01", -0.88}, {"2017-07-01", -0.88},
    {"2018-01-01", -0.88}, {"2018-07-01", -0.88}, {"2019-01-01", -0.88}, {"2019-07-01", -0.88},
    {"2020-01-01", -0.88}, {"2020-07-01", -0.88}, {"2021-01-01", -0.88}, {"2021-07-01", -0.88},
    {"2022-01-01", -0.88}, {"2022-07-01", -0.88}, {"2023-01-01", 1.62},  {"2023-07-01", 3.12},
    {"2024-01-01", 3.62},  {"2025-07-01", 1.27},  {"2026-01-01", 1.27},
};
const int kBasiszinsDEAnzahl = int(std::size(kBasiszinsDE));

QString Num(double value) {
    return QString::number(value, 'f', 2);
}

QString Key(const QString& typ, int kopfId) {
    return typ + QString::number(kopfId);
}

bool IstRechnung(const QString& typ) {
    return typ == QLatin1String("R") || typ == QLatin1String("T");
}

double BruttoAusSaetzen(const std::map<double, double>& nettoProSatz, bool netto) {
    double ohne = 0, mit = 0;
    for (const auto& [satz, n] : nettoProSatz) {
        ohne += n;
        mit += RoundCentsHalfEven(n) + RoundCentsHalfEven(n * satz / 100.0);
    }
    return RoundCentsHalfEven(netto ? ohne : mit);
}

const QDate& AlteRegelBis() {
    static const QDate tag(2014, 7, 28);
    return tag;
}

} // namespace ZahlungenIntern

using namespace ZahlungenIntern;

namespace {

// The day's end as a bound in SQL: every row dated that day or earlier.
QString BisTag(const QDate& stichtag) {
    return stichtag.isValid() ? QStringLiteral(" and Date(Datum) <= '") + DateToSQL(stichtag) + u'\''
                              : QString();
}

} // namespace

QDate Tag(const TField* f) {
    if (f->IsNull())
        return QDate();
    const QDate d = QDate::fromString(f->AsString().left(10), Qt::ISODate);
    return d.isValid() ? d : f->AsDateTime().date();
}

const QStringList& ZahlungArten() {
    static const QStringList arten{QStringLiteral("Überweisung"), QStringLiteral("Bar"),
                                   QStringLiteral("Lastschrift"), QStringLiteral("Verrechnung")};
    return arten;
}

bool HasZahlungTables(TDM& dm) {
    return dm.TableExists(QStringLiteral("Zahlung")) && dm.TableExists(QStringLiteral("Basiszins")) &&
           dm.TableExists(QStringLiteral("ZahlungsBedingung")) && dm.TableExists(QStringLiteral("Mahnung"));
}

void EnsureZahlungTables(TDM& dm) {
    if (HasZahlungTables(dm))
        return;
    TSQLiteDB& db = dm.SQLiteDB1;
    AllOrNothing(db, [&] {
        db.ExecSQL(QStringLiteral(
            "CREATE TABLE IF NOT EXISTS Zahlung (ZahlungID INTEGER NOT NULL PRIMARY KEY AUTOINCREMENT, "
            "KopfTyp CHAR(1) NOT NULL, KopfID INTEGER NOT NULL, Datum DATE NOT NULL, Betrag NUMERIC(10,2) "
            "NOT "
            "NULL, Art VARCHAR(20), Anmerkung TEXT)"));
        db.ExecSQL(QStringLiteral("CREATE INDEX IF NOT EXISTS ZahlungBeleg ON Zahlung (KopfTyp, KopfID)"));
        db.ExecSQL(QStringLiteral(
            "CREATE TABLE IF NOT EXISTS ZahlungsBedingung (KundenID INTEGER NOT NULL PRIMARY KEY, "
            "Zahlungsziel INTEGER, Skontofrist INTEGER, Verbraucher CHAR(1))"));
        db.ExecSQL(
            QStringLiteral("CREATE TABLE IF NOT EXISTS Mahnung (MahnungID INTEGER NOT NULL PRIMARY KEY "
                           "AUTOINCREMENT, KopfTyp CHAR(1) NOT NULL, KopfID INTEGER NOT NULL, Stufe "
                           "INTEGER NOT NULL, Datum DATE NOT NULL, Gebuehr NUMERIC(10,2), Zinsen "
                           "NUMERIC(10,2))"));
        // The page has a right of its own, free until the user protects it.
        if (dm.TableExists(QStringLiteral("set_recht")))
            db.ExecSQL(QStringLiteral(
                "INSERT INTO set_recht SELECT 'OffenePosten', 'Offene Posten / Mahnwesen', 'J' "
                "WHERE NOT EXISTS (SELECT 1 FROM set_recht WHERE Funktion = 'OffenePosten')"));
        if (!dm.TableExists(QStringLiteral("Basiszins"))) {
            db.ExecSQL(QStringLiteral(
                "CREATE TABLE Basiszins (Land VARCHAR(2) NOT NULL, GueltigAb DATE NOT NULL, Satz "
                "NUMERIC(5,2) "
                "NOT NULL, Bestaetigt CHAR(1), Quelle VARCHAR(100), PRIMARY KEY (Land, GueltigAb))"));
            for (const auto& z : kBasiszinsDE)
                db.ExecSQL(QStringLiteral("INSERT INTO Basiszins VALUES ('DE', '") + QLatin1String(z.Ab) +
                           QStringLiteral("', ") + Num(z.Satz) +
                           QStringLiteral(", 'J', 'Deutsche Bundesbank')"));
        }
    });
}

// ---------------------------------------------------------------------
// Payment terms.

TZahlungsBedingung FirmenZahlungsBedingung(TDM& dm) {
    TZahlungsBedingung b;
    bool ok = false;
    const int ziel = dm.GetAllg(QStringLiteral("Zahlungsziel")).toInt(&ok);
    if (ok && ziel >= 0)
        b.Zahlungsziel = ziel;
    const int frist = dm.GetAllg(QStringLiteral("Skontofrist")).toInt(&ok);
    if (ok && frist >= 0)
        b.Skontofrist = frist;
    return b;
}

void SaveFirmenZahlungsBedingung(TDM& dm, int zahlungsziel, int skontofrist) {
    dm.SetAllg(QStringLiteral("Zahlungsziel"), QString::number(std::max(0, zahlungsziel)));
    dm.SetAllg(QStringLiteral("Skontofrist"), QString::number(std::max(0, skontofrist)));
}

bool IstVerbraucher(const QString& firma, const QString& merk) {
    if (merk == QLatin1String("J"))
        return true;
    if (merk == QLatin1String("N"))
        return false;
    return firma.trimmed().isEmpty();
}

TZahlungsBedingung KundenZahlungsBedingung(TDM& dm, int kundenId) {
    EnsureZahlungTables(dm);
    TZahlungsBedingung b = FirmenZahlungsBedingung(dm);
    TSQLiteQuery q(&dm.SQLiteDB1);
    q.RunSQL(QStringLiteral("select K.Firma, B.Zahlungsziel, B.Skontofrist, B.Verbraucher from Kunde K left "
                            "join ZahlungsBedingung B on B.KundenID = K.KundenID where K.KundenID = ") +
             QString::number(kundenId));
    QString firma;
    if (!q.IsEmpty()) {
        firma = q.Fields(0)->AsString();
        if (!q.Fields(1)->IsNull())
            b.Zahlungsziel = b.EigenesZiel = q.Fields(1)->AsInteger();
        if (!q.Fields(2)->IsNull())
            b.Skontofrist = b.EigeneFrist = q.Fields(2)->AsInteger();
        b.VerbraucherMerk = q.Fields(3)->AsString().trimmed();
    }
    b.Verbraucher = IstVerbraucher(firma, b.VerbraucherMerk);
    return b;
}

void SaveKundenZahlungsBedingung(TDM& dm, int kundenId, int zahlungsziel, int skontofrist,
                                 const QString& verbraucher) {
    EnsureZahlungTables(dm);
    const QString merk =
        verbraucher == QLatin1String("J") || verbraucher == QLatin1String("N") ? verbraucher : QString();
    if (zahlungsziel < 0 && skontofrist < 0 && merk.isEmpty()) {
        dm.SQLiteDB1.ExecSQL(QStringLiteral("delete from ZahlungsBedingung where KundenID = ") +
                             QString::number(kundenId));
        return;
    }
    auto zahl = [](int v) { return v < 0 ? QStringLiteral("NULL") : QString::number(v); };
    dm.SQLiteDB1.ExecSQL(QStringLiteral("insert or replace into ZahlungsBedingung values (") +
                         QString::number(kundenId) + u',' + zahl(zahlungsziel) + u',' + zahl(skontofrist) +
                         u',' + SQLQuote(merk) + u')');
}

QDate Faelligkeit(const QDate& rechnungsDatum, int zahlungsziel) {
    return rechnungsDatum.addDays(std::max(0, zahlungsziel));
}

// ---------------------------------------------------------------------
// Amounts of one document.

QString BelegName(const QString& typ, int kopfId) {
    return DokTypName(typ) + u' ' + QString::number(kopfId);
}

double BelegBrutto(TDM& dm, const QString& typ, int kopfId) {
    TSQLiteQuery q(&dm.SQLiteDB1);
    q.RunSQL(
        QStringLiteral("select K.Netto, P.MWStSatz, total(P.Menge*P.Wert*(100.0-P.Rabatt)/100.0) from "
                       "Kopf K, PosPreis P where K.KopfTyp = ") +
        SQLQuote(typ) + QStringLiteral(" and K.KopfID = ") + QString::number(kopfId) +
        QStringLiteral(" and P.KopfTyp = K.KopfTyp and P.KopfID = K.KopfID group by K.Netto, P.MWStSatz"));
    std::map<double, double> saetze;
    bool netto = false;
    for (q.First(); !q.Eof(); q.Next()) {
        netto = q.Fields(0)->AsString() == QLatin1String("J");
        saetze[q.Fields(1)->AsFloat()] += q.Fields(2)->AsFloat();
    }
    return BruttoAusSaetzen(saetze, netto);
}

TBelegStand BelegStand(TDM& dm, const QString& typ, int kopfId, const QDate& stichtag) {
    EnsureZahlungTables(dm);
    TBelegStand s;
    s.Typ = typ;
    s.KopfID = kopfId;
    TSQLiteQuery q(&dm.SQLiteDB1);
    q.RunSQL(QStringLiteral("select KundenID, Status, Datum, Skonto from Kopf where KopfTyp = ") +
             SQLQuote(typ) + QStringLiteral(" and KopfID = ") + QString::number(kopfId));
    if (q.IsEmpty())
        return s;
    s.Gefunden = true;
    s.KundenID = q.Fields(0)->AsInteger();
    s.Status = q.Fields(1)->AsString();
    s.Datum = Tag(q.Fields(2));
    s.SkontoProzent = q.Fields(3)->AsFloat();
    s.Brutto = BelegBrutto(dm, typ, kopfId);

    q.RunSQL(QStringLiteral("select Art, total(Betrag), count(*) from Zahlung where KopfTyp = ") +
             SQLQuote(typ) + QStringLiteral(" and KopfID = ") + QString::number(kopfId) + BisTag(stichtag) +
             QStringLiteral(" group by Art"));
    int anzahl = 0;
    for (q.First(); !q.Eof(); q.Next()) {
        s.Bezahlt += q.Fields(1)->AsFloat();
        if (q.Fields(0)->AsString() == ZahlungArtSkonto)
            s.Skonto += q.Fields(1)->AsFloat();
        anzahl += q.Fields(2)->AsInteger();
    }
    q.RunSQL(QStringLiteral("select KopfTyp, KopfID from Kopf where KopfTyp in ('S','G') and RefTyp = ") +
             SQLQuote(typ) + QStringLiteral(" and RefID = ") + QString::number(kopfId) + BisTag(stichtag));
    QList<QPair<QString, int>> gutschriften;
    for (q.First(); !q.Eof(); q.Next())
        gutschriften.append({q.Fields(0)->AsString(), q.Fields(1)->AsInteger()});
    for (const auto& g : gutschriften)
        s.Gutgeschrieben += BelegBrutto(dm, g.first, g.second);

    s.Bezahlt = RoundCentsHalfEven(s.Bezahlt);
    s.Gutgeschrieben = RoundCentsHalfEven(s.Gutgeschrieben);
    s.Offen = RoundCentsHalfEven(s.Brutto - s.Bezahlt - s.Gutgeschrieben);
    // Marked as paid by hand, before payments were recorded here: paid.
    if (s.Status == StatusZahlungseingang && anzahl == 0) {
        s.PerHandBezahlt = true;
        s.Offen = 0;
    }
    return s;
}

QList<TZahlung> Zahlungen(TDM& dm, const QString& typ, int kopfId) {
    EnsureZahlungTables(dm);
    QList<TZahlung> list;
    TSQLiteQuery q(&dm.SQLiteDB1);
    q.RunSQL(QStringLiteral("select ZahlungID, Datum, Betrag, Art, Anmerkung from Zahlung where KopfTyp = ") +
             SQLQuote(typ) + QStringLiteral(" and KopfID = ") + QString::number(kopfId) +
             QStringLiteral(" order by Datum, ZahlungID"));
    for (q.First(); !q.Eof(); q.Next()) {
        TZahlung z;
        z.ZahlungID = q.Fields(0)->AsLargeInt();
        z.Datum = Tag(q.Fields(1));
        z.Betrag = q.Fields(2)->AsFloat();
        z.Art = q.Fields(3)->AsString();
        z.Anmerkung = q.Fields(4)->AsString();
        list.append(z);
    }
    return list;
}

namespace {

void SetStatus(TDM& dm, const QString& typ, int kopfId, const QString& status) {
    dm.SQLiteDB1.ExecSQL(QStringLiteral("update Kopf set Status = ") + SQLQuote(status) +
                         QStringLiteral(" where KopfTyp = ") + SQLQuote(typ) +
                         QStringLiteral(" and KopfID = ") + QString::number(kopfId));
}

} // namespace

bool ZahlungErfassen(TDM& dm, const QString& typ, int kopfId, const TZahlung& zahlung) {
    if (!IstRechnung(typ)) {
        Messages::warning(
            QStringLiteral("Zahlungen können nur zu Rechnungen und Teilrechnungen erfasst werden!"));
        return false;
    }
    const TBelegStand s = BelegStand(dm, typ, kopfId);
    const QString name = BelegName(typ, kopfId);
    if (!s.Gefunden) {
        Messages::warning(QStringLiteral("Die ") + name + QStringLiteral(" wurde nicht gefunden!"));
        return false;
    }
    if (!zahlung.Datum.isValid()) {
        Messages::warning(QStringLiteral("Bitte geben Sie das Zahlungsdatum ein!"));
        return false;
    }
    const double betrag = RoundCentsHalfEven(zahlung.Betrag);
    if (betrag < 0.01) {
        Messages::warning(QStringLiteral("Der Betrag der Zahlung muss größer als 0 sein!"));
        return false;
    }
    if (!zahlung.Art.isEmpty() && !ZahlungArten().contains(zahlung.Art)) {
        Messages::warning(QStringLiteral("Die Zahlungsart \"") + zahlung.Art +
                          QStringLiteral("\" gibt es nicht!"));
        return false;
    }
    // A hand-set Z without payments counted as paid; a recorded payment
    // replaces that mark by the amounts.
    const double offen = RoundCentsHalfEven(s.Brutto - s.Bezahlt - s.Gutgeschrieben);
    if (betrag > offen + kCent) {
        Messages::warning(
            QStringLiteral("Die Zahlung von ") + FormatEuro(betrag) + QStringLiteral(" zur ") + name +
            QStringLiteral(" ist höher als der offene Betrag von ") + FormatEuro(std::max(0.0, offen)) +
            QStringLiteral("!\nEine Überzahlung wird nicht erfasst; bitte erfassen Sie höchstens "
                           "den offenen Betrag."));
        return false;
    }
    double rest = RoundCentsHalfEven(offen - betrag);
    double skonto = 0;
    if (rest > kCent && s.SkontoProzent > 0) {
        const TZahlungsBedingung b = KundenZahlungsBedingung(dm, s.KundenID);
        const double abzug = RoundCentsHalfEven(s.Brutto * s.SkontoProzent / 100.0);
        if (zahlung.Datum <= s.Datum.addDays(b.Skontofrist) && std::abs(rest - abzug) < kCent) {
            skonto = rest;
            rest = 0;
        }
    }
    AllOrNothing(dm.SQLiteDB1, [&] {
        auto insert = [&](double wert, const QString& art, const QString& anmerkung) {
            dm.SQLiteDB1.ExecSQL(
                QStringLiteral(
                    "insert into Zahlung (KopfTyp, KopfID, Datum, Betrag, Art, Anmerkung) values (") +
                SQLQuote(typ) + u',' + QString::number(kopfId) + QStringLiteral(",'") +
                DateToSQL(zahlung.Datum) + QStringLiteral("',") + Num(wert) + u',' + SQLQuote(art) + u',' +
                SQLQuote(anmerkung) + u')');
        };
        insert(betrag, zahlung.Art, zahlung.Anmerkung);
        if (skonto > 0)
            insert(skonto, ZahlungArtSkonto,
                   QStringLiteral("Skonto ") + DruckFixed(s.SkontoProzent) + QStringLiteral(" %"));
        if (rest <= kCent)
            SetStatus(dm, typ, kopfId, StatusZahlungseingang);
    });
    return true;
}

bool ZahlungLoeschen(TDM& dm, const QString& typ, int kopfId, qint64 zahlungId) {
    EnsureZahlungTables(dm);
    TSQLiteQuery q(&dm.SQLiteDB1);
    q.RunSQL(QStringLiteral("select Datum, Betrag, Art from Zahlung where ZahlungID = ") +
             QString::number(zahlungId) + QStringLiteral(" and KopfTyp = ") + SQLQuote(typ) +
             QStringLiteral(" and KopfID = ") + QString::number(kopfId));
    if (q.IsEmpty())
        return false;
    const bool istSkonto = q.Fields(2)->AsString() == ZahlungArtSkonto;
    const QString text = QStringLiteral("Soll ") +
                         (istSkonto ? QStringLiteral("der Skonto") : QStringLiteral("die Zahlung")) +
                         QStringLiteral(" vom ") + DruckDate(Tag(q.Fields(0))) + QStringLiteral(" über ") +
                         FormatEuro(q.Fields(1)->AsFloat()) + QStringLiteral(" zur ") +
                         BelegName(typ, kopfId) + QStringLiteral(" wirklich gelöscht werden?");
    if (Messages::question(text, false, Messages::No) != Messages::Yes)
        return false;
    const QString beleg = QStringLiteral(" and KopfTyp = ") + SQLQuote(typ) +
                          QStringLiteral(" and KopfID = ") + QString::number(kopfId);
    AllOrNothing(dm.SQLiteDB1, [&] {
        dm.SQLiteDB1.ExecSQL(QStringLiteral("delete from Zahlung where ZahlungID = ") +
                             QString::number(zahlungId) + beleg);
        // The discount exists only because a payment settled the invoice in
        // time; without that payment it is owed again.
        dm.SQLiteDB1.ExecSQL(QStringLiteral("delete from Zahlung where Art = ") + SQLQuote(ZahlungArtSkonto) +
                             beleg);
        // Z stays only while the remaining payments still settle the invoice.
        const TBelegStand s = BelegStand(dm, typ, kopfId);
        if (s.Status == StatusZahlungseingang && s.Brutto - s.Bezahlt - s.Gutgeschrieben > kCent)
            SetStatus(dm, typ, kopfId, StatusAbgeschlossen);
    });
    return true;
}

// ---------------------------------------------------------------------
// Dunning.

QString MahnstufeName(int stufe) {
    switch (stufe) {
    case 1:
        return QStringLiteral("Zahlungserinnerung");
    case 2:
        return QStringLiteral("1. Mahnung");
    case 3:
        return QStringLiteral("2. Mahnung");
    default:
        return QString();
    }
}

QList<TMahnung> Mahnungen(TDM& dm, const QString& typ, int kopfId) {
    EnsureZahlungTables(dm);
    QList<TMahnung> list;
    TSQLiteQuery q(&dm.SQLiteDB1);
    q.RunSQL(QStringLiteral("select Stufe, Datum, Gebuehr, Zinsen from Mahnung where KopfTyp = ") +
             SQLQuote(typ) + QStringLiteral(" and KopfID = ") + QString::number(kopfId) +
             QStringLiteral(" order by Datum, MahnungID"));
    for (q.First(); !q.Eof(); q.Next())
        list.append(
            {q.Fields(0)->AsInteger(), Tag(q.Fields(1)), q.Fields(2)->AsFloat(), q.Fields(3)->AsFloat()});
    return list;
}

void SaveMahnung(TDM& dm, const QString& typ, int kopfId, const TMahnung& m) {
    EnsureZahlungTables(dm);
    dm.SQLiteDB1.ExecSQL(
        QStringLiteral("insert into Mahnung (KopfTyp, KopfID, Stufe, Datum, Gebuehr, Zinsen) values (") +
        SQLQuote(typ) + u',' + QString::number(kopfId) + u',' + QString::number(m.Stufe) +
        QStringLiteral(",'") + DateToSQL(m.Datum) + QStringLiteral("',") + Num(m.Gebuehr) + u',' +
        Num(m.Zinsen) + u')');
}

QString ZahlungsMarkeSQL() {
    const QString brutto = QStringLiteral(
        "(select total(P.Menge*P.Wert*(100-ifnull(P.Rabatt,0))/100.0*(case %1.Netto when 'J' then 100 else "
        "P.MWStSatz + 100 end)/100.0) from PosPreis P where P.KopfTyp = %1.KopfTyp and P.KopfID = "
        "%1.KopfID)");
    const QString gutschrift =
        QStringLiteral("(select total(") + brutto.arg(QStringLiteral("G")) +
        QStringLiteral(
            ") from Kopf G where G.KopfTyp in ('S','G') and G.RefTyp = K.KopfTyp and G.RefID = K.KopfID)");
    const QString bezahlt = QStringLiteral(
        "(select total(Z.Betrag) from Zahlung Z where Z.KopfTyp = K.KopfTyp and Z.KopfID = K.KopfID)");
    return QStringLiteral(
               "case when K.KopfTyp not in ('R','T') then null when K.Status = 'Z' then 'bezahlt' when ") +
           bezahlt + QStringLiteral(" + ") + gutschrift + QStringLiteral(" >= ") +
           brutto.arg(QStringLiteral("K")) + QStringLiteral(" - 0.01 then 'bezahlt' when ") + bezahlt +
           QStringLiteral(" + ") + gutschrift + QStringLiteral(" > 0 then 'teilbezahlt' else 'offen' end");
}
