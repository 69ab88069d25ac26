#include "Zahlungen.h"

#include "Beleg.h"
#include "DruckText.h"
#include "GlobalFunctions.h"
#include "Messages.h"
#include "QuorventFunctions.h"
#include "SQLiteCursor.h"
#include "UDM.h"

#include <QLocale>

#include <algorithm>
#include <cmath>
#include <map>
#include <unordered_map>

namespace {

// German base rates (§ 247 BGB) as announced by the Bundesbank; only the
// half-years whose value is confirmed by more than one source. The user adds
// every new half-year on the page "Offene Posten".
const struct {
    const char* Ab;
    double Satz;
} kBasiszinsDE[] = {
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

constexpr double kCent = 0.005;

QString Num(double value) {
    return QString::number(value, 'f', 2);
}

QString Key(const QString& typ, int kopfId) {
    return typ + QString::number(kopfId);
}

bool IstRechnung(const QString& typ) {
    return typ == QLatin1String("R") || typ == QLatin1String("T");
}

// The day's end as a bound in SQL: every row dated that day or earlier.
QString BisTag(const QDate& stichtag) {
    return stichtag.isValid() ? QStringLiteral(" and Date(Datum) <= '") + DateToSQL(stichtag) + u'\''
                              : QString();
}

// The gross total of a document from its net sums per VAT rate, as the
// printout shows it: net and VAT each rounded per rate; a net document's net
// rounded once.
double BruttoAusSaetzen(const std::map<double, double>& nettoProSatz, bool netto) {
    double ohne = 0, mit = 0;
    for (const auto& [satz, n] : nettoProSatz) {
        ohne += n;
        mit += RoundCentsHalfEven(n) + RoundCentsHalfEven(n * satz / 100.0);
    }
    return RoundCentsHalfEven(netto ? ohne : mit);
}

// Claims that arose up to this day keep the old business rate of § 288 BGB.
const QDate& AlteRegelBis() {
    static const QDate tag(2014, 7, 28);
    return tag;
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
    const bool eigene = !db.InTransaction();
    if (eigene)
        db.StartTransaction();
    try {
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
        if (eigene)
            db.Commit();
    } catch (...) {
        if (eigene && db.InTransaction())
            db.Rollback();
        throw;
    }
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

void InTransaktion(TDM& dm, const std::function<void()>& work) {
    TSQLiteDB& db = dm.SQLiteDB1;
    db.StartTransaction();
    try {
        work();
        db.Commit();
    } catch (...) {
        if (db.InTransaction())
            db.Rollback();
        throw;
    }
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
    InTransaktion(dm, [&] {
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
    InTransaktion(dm, [&] {
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
// Base rates and interest.

QList<TBasiszins> Basiszinsen(TDM& dm, const QString& land) {
    QList<TBasiszins> list;
    if (!dm.TableExists(QStringLiteral("Basiszins"))) {
        // A file that never had the table (read, not changed, by a command)
        // still knows the German rates the table would start with.
        if (land == QLatin1String("DE"))
            for (const auto& z : kBasiszinsDE)
                list.append({QDate::fromString(QLatin1String(z.Ab), Qt::ISODate), z.Satz, true,
                             QStringLiteral("Deutsche Bundesbank")});
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

namespace {

// The interest before rounding. `abschnitte` receives the pieces for a
// letter; the list of open items passes none and only takes the sum.
// `fehlend` collects the half-years without a stored base rate.
double ZinsenBerechnen(const QList<TBasiszins>& basis, const QString& land, bool verbraucher,
                       const QDate& entstanden, const QDate& faellig, const QDate& bis, double kapital,
                       const QList<QPair<QDate, double>>& minderungen, int tageBasis,
                       QList<TZinsAbschnitt>* abschnitte, QList<QDate>* fehlend) {
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

} // namespace

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

// ---------------------------------------------------------------------
// Open items.

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
