#include "Zahlungen.h"

#include "Beleg.h"
#include "DruckText.h"
#include "GlobalFunctions.h"
#include "Messages.h"
#include "QuorventFunctions.h"
#include "UDM.h"

#include <QLocale>

#include <algorithm>
#include <cmath>
#include <map>

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

// The gross total of each document from its net sums per VAT rate: the VAT
// of every rate rounded as the printout rounds it.
double BruttoAusSaetzen(const std::map<double, double>& nettoProSatz, bool netto) {
    double summe = 0;
    for (const auto& [satz, n] : nettoProSatz)
        summe += n + (netto ? 0.0 : RoundCentsHalfEven(n * satz / 100.0));
    return RoundCentsHalfEven(summe);
}

QDate HalbjahrBeginn(const QDate& d) {
    return QDate(d.year(), d.month() <= 6 ? 1 : 7, 1);
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
        satz = basis + (entstanden.isValid() && entstanden <= QDate(2014, 7, 28) ? 8.0 : 9.0);
    return std::max(0.0, satz);
}

TZinsErgebnis Verzugszinsen(const QList<TBasiszins>& basis, const QString& land, bool verbraucher,
                            const QDate& entstanden, const QDate& faellig, const QDate& bis, double kapital,
                            const QList<QPair<QDate, double>>& minderungen, int tageBasis) {
    TZinsErgebnis e;
    const bool oesterreich = land == QLatin1String("AT");
    if (oesterreich)
        e.Regel = verbraucher ? QStringLiteral("§ 1000 ABGB: 4 % p. a.")
                              : QStringLiteral("§ 456 UGB: Basiszinssatz + 9,2 Prozentpunkte");
    else
        e.Regel = verbraucher
                      ? QStringLiteral("§ 288 Abs. 1 BGB: Basiszinssatz + 5 Prozentpunkte")
                      : (entstanden.isValid() && entstanden <= QDate(2014, 7, 28)
                             ? QStringLiteral("§ 288 Abs. 2 BGB a. F.: Basiszinssatz + 8 Prozentpunkte")
                             : QStringLiteral("§ 288 Abs. 2 BGB: Basiszinssatz + 9 Prozentpunkte"));
    if (!faellig.isValid() || !bis.isValid() || bis <= faellig)
        return e;
    const bool ohneBasis = oesterreich && verbraucher;
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
    auto basisAm = [&](const QDate& tag, QDate* gueltigBis) {
        double satz = 0;
        int i = -1;
        for (int j = 0; j < basis.size() && basis[j].Ab <= tag; ++j)
            i = j;
        if (i >= 0)
            satz = basis[i].Satz;
        const QDate halbjahr = HalbjahrBeginn(tag);
        if (!ohneBasis && (i < 0 || basis[i].Ab < halbjahr) && !e.FehlendeHalbjahre.contains(halbjahr))
            e.FehlendeHalbjahre.append(halbjahr);
        *gueltigBis = halbjahr.addMonths(6).addDays(-1);
        return satz;
    };

    double summe = 0;
    QDate tag = faellig.addDays(1);
    int m = 0;
    while (tag <= bis) {
        while (m < spaeter.size() && spaeter[m].first <= tag)
            k -= spaeter[m++].second;
        QDate ende;
        const double b = basisAm(tag, &ende);
        ende = std::min(ende, bis);
        if (tageBasis == 0)
            ende = std::min(ende, QDate(tag.year(), 12, 31));
        if (m < spaeter.size() && spaeter[m].first <= ende)
            ende = spaeter[m].first.addDays(-1);
        const int tage = int(tag.daysTo(ende)) + 1;
        const double satz = VerzugsZinssatz(land, verbraucher, b, entstanden);
        const double jahr =
            tageBasis == 0 ? (QDate::isLeapYear(tag.year()) ? 366.0 : 365.0) : double(tageBasis);
        if (k > kCent) {
            const double z = k * satz / 100.0 * tage / jahr;
            summe += z;
            // Neighbouring pieces with the same principal and rate read as one.
            if (!e.Abschnitte.isEmpty() && e.Abschnitte.last().Satz == satz &&
                std::abs(e.Abschnitte.last().Kapital - k) < 1e-9 &&
                e.Abschnitte.last().Bis.addDays(1) == tag && tageBasis != 0) {
                e.Abschnitte.last().Bis = ende;
                e.Abschnitte.last().Tage += tage;
                e.Abschnitte.last().Zinsen += z;
            } else {
                e.Abschnitte.append({tag, ende, tage, k, satz, z});
            }
        }
        tag = ende.addDays(1);
    }
    e.Zinsen = RoundCentsHalfEven(summe);
    return e;
}

// ---------------------------------------------------------------------
// Open items.

namespace {

struct TBelegDaten {
    QString Typ;
    int KopfID = 0;
    int KundenID = 0;
    QDate Datum;
    QString Status;
    QString Kunde;
    QString Firma;
};

struct TBewegung {
    QDate Datum;
    double Betrag = 0;
};

} // namespace

QList<TOffenerPosten> OffenePosten(TDM& dm, const TOPFilter& filter, QList<QDate>* fehlendeHalbjahre) {
    QList<TOffenerPosten> result;
    const QDate stichtag = filter.Stichtag.isValid() ? filter.Stichtag : QDate::currentDate();
    const QString bis = DateToSQL(stichtag);
    const bool tabellen = HasZahlungTables(dm);
    QString kundeBed;
    if (filter.KundenID >= 0)
        kundeBed = QStringLiteral(" and K.KundenID = ") + QString::number(filter.KundenID);

    TSQLiteQuery q(&dm.SQLiteDB1);
    // The invoices.
    QString sql =
        QStringLiteral(
            "select K.KopfTyp, K.KopfID, K.KundenID, Date(K.Datum), K.Status, U.Firma, K.KundenID || ' - ' "
            "|| ifnull(U.Firma || ' ','') || ifnull(U.Nachname,'') || ifnull(' ' || U.Vorname,'') from "
            "Kopf K left join Kunde U on U.KundenID = K.KundenID where K.KopfTyp in ('R','T') and "
            "K.KopfID > 0 and Date(K.Datum) <= '") +
        bis + u'\'' + kundeBed;
    if (filter.Von.isValid())
        sql += QStringLiteral(" and Date(K.Datum) >= '") + DateToSQL(filter.Von) + u'\'';
    if (filter.Bis.isValid())
        sql += QStringLiteral(" and Date(K.Datum) <= '") + DateToSQL(filter.Bis) + u'\'';
    q.RunSQL(sql);
    QList<TBelegDaten> belege;
    belege.reserve(q.RecordCount());
    QHash<QString, int> index;
    for (q.First(); !q.Eof(); q.Next()) {
        TBelegDaten b;
        b.Typ = q.Fields(0)->AsString();
        b.KopfID = q.Fields(1)->AsInteger();
        b.KundenID = q.Fields(2)->AsInteger();
        b.Datum = Tag(q.Fields(3));
        b.Status = q.Fields(4)->AsString();
        b.Firma = q.Fields(5)->AsString();
        b.Kunde = q.Fields(6)->AsString();
        index.insert(Key(b.Typ, b.KopfID), int(belege.size()));
        belege.append(b);
    }
    q.Close();
    if (belege.isEmpty())
        return result;

    // Gross totals of the invoices and of the documents that credit them.
    QHash<QString, std::map<double, double>> saetze;
    QHash<QString, bool> nettoBeleg;
    q.RunSQL(
        QStringLiteral("select K.KopfTyp, K.KopfID, K.Netto, P.MWStSatz, "
                       "total(P.Menge*P.Wert*(100.0-P.Rabatt)/100.0) from Kopf K, PosPreis P where K.KopfTyp "
                       "in ('R','T','S','G') and P.KopfTyp = K.KopfTyp and P.KopfID = K.KopfID") +
        kundeBed + QStringLiteral(" group by K.KopfTyp, K.KopfID, P.MWStSatz"));
    for (q.First(); !q.Eof(); q.Next()) {
        const QString key = Key(q.Fields(0)->AsString(), q.Fields(1)->AsInteger());
        saetze[key][q.Fields(3)->AsFloat()] += q.Fields(4)->AsFloat();
        nettoBeleg[key] = q.Fields(2)->AsString() == QLatin1String("J");
    }
    q.Close();
    auto brutto = [&](const QString& key) {
        const auto it = saetze.constFind(key);
        return it == saetze.cend() ? 0.0 : BruttoAusSaetzen(*it, nettoBeleg.value(key));
    };

    // Movements that lower what is owed: credits and payments up to the day.
    QHash<int, QList<TBewegung>> bewegungen; // by index in belege
    QHash<int, int> zahlungAnzahl;
    q.RunSQL(QStringLiteral("select K.RefTyp, K.RefID, K.KopfTyp, K.KopfID, Date(K.Datum) from Kopf K where "
                            "K.KopfTyp in ('S','G') and K.RefTyp in ('R','T') and Date(K.Datum) <= '") +
             bis + u'\'' + kundeBed);
    for (q.First(); !q.Eof(); q.Next()) {
        const auto it = index.constFind(Key(q.Fields(0)->AsString(), q.Fields(1)->AsInteger()));
        if (it == index.cend())
            continue;
        bewegungen[*it].append(
            {Tag(q.Fields(4)), -brutto(Key(q.Fields(2)->AsString(), q.Fields(3)->AsInteger()))});
    }
    q.Close();
    // Credits are kept negative to tell them from payments below.
    if (tabellen) {
        q.RunSQL(QStringLiteral("select Z.KopfTyp, Z.KopfID, Z.Datum, Z.Betrag from Zahlung Z") +
                 (kundeBed.isEmpty()
                      ? QString()
                      : QStringLiteral(", Kopf K where K.KopfTyp = Z.KopfTyp and K.KopfID = Z.KopfID") +
                            kundeBed + QStringLiteral(" and")) +
                 (kundeBed.isEmpty() ? QStringLiteral(" where") : QString()) +
                 QStringLiteral(" Z.Datum <= '") + bis + QStringLiteral("' order by Z.Datum"));
        for (q.First(); !q.Eof(); q.Next()) {
            const auto it = index.constFind(Key(q.Fields(0)->AsString(), q.Fields(1)->AsInteger()));
            if (it == index.cend())
                continue;
            bewegungen[*it].append({Tag(q.Fields(2)), q.Fields(3)->AsFloat()});
        }
        q.Close();
        // Whether an invoice has payments at all decides how a hand-set Z counts.
        q.RunSQL(QStringLiteral("select KopfTyp, KopfID, count(*) from Zahlung group by KopfTyp, KopfID"));
        for (q.First(); !q.Eof(); q.Next()) {
            const auto it = index.constFind(Key(q.Fields(0)->AsString(), q.Fields(1)->AsInteger()));
            if (it != index.cend())
                zahlungAnzahl[*it] = q.Fields(2)->AsInteger();
        }
        q.Close();
    }

    // Terms per customer and dunning levels.
    const TZahlungsBedingung firma = FirmenZahlungsBedingung(dm);
    QHash<int, QPair<int, QString>> ziele; // KundenID -> (due period, consumer mark)
    QHash<int, QPair<int, QDate>> stufen;  // index -> (level, date)
    if (tabellen) {
        q.RunSQL(QStringLiteral("select KundenID, Zahlungsziel, Verbraucher from ZahlungsBedingung"));
        for (q.First(); !q.Eof(); q.Next())
            ziele.insert(q.Fields(0)->AsInteger(), {q.Fields(1)->IsNull() ? -1 : q.Fields(1)->AsInteger(),
                                                    q.Fields(2)->AsString().trimmed()});
        q.RunSQL(
            QStringLiteral("select KopfTyp, KopfID, max(Stufe), max(Datum) from Mahnung where Datum <= '") +
            bis + QStringLiteral("' group by KopfTyp, KopfID"));
        for (q.First(); !q.Eof(); q.Next()) {
            const auto it = index.constFind(Key(q.Fields(0)->AsString(), q.Fields(1)->AsInteger()));
            if (it != index.cend())
                stufen.insert(*it, {q.Fields(2)->AsInteger(), Tag(q.Fields(3))});
        }
        q.Close();
    }
    const QString land = ZinsLand(dm);
    const QList<TBasiszins> basis = Basiszinsen(dm, land);
    const int tageBasis = ZinsTageBasis(dm);

    for (int i = 0; i < belege.size(); ++i) {
        const TBelegDaten& b = belege[i];
        if (b.Status == StatusZahlungseingang && zahlungAnzahl.value(i) == 0)
            continue; // marked as paid by hand
        TOffenerPosten p;
        p.Typ = b.Typ;
        p.KopfID = b.KopfID;
        p.KundenID = b.KundenID;
        p.Kunde = b.Kunde;
        p.Datum = b.Datum;
        p.Brutto = brutto(Key(b.Typ, b.KopfID));
        const QList<TBewegung> bew = bewegungen.value(i);
        for (const TBewegung& m : bew) {
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
        p.Verbraucher = IstVerbraucher(b.Firma, z != ziele.cend() ? z->second : QString());
        p.Faellig = Faelligkeit(b.Datum, ziel);
        p.TageUeberfaellig = std::max<qint64>(0, p.Faellig.daysTo(stichtag));
        if (filter.NurUeberfaellig && p.TageUeberfaellig == 0)
            continue;
        const auto st = stufen.constFind(i);
        if (st != stufen.cend()) {
            p.Mahnstufe = st->first;
            p.MahnDatum = st->second;
        }
        if (p.TageUeberfaellig > 0) {
            QList<QPair<QDate, double>> minderungen;
            for (const TBewegung& m : bew)
                minderungen.append({m.Datum, std::abs(m.Betrag)});
            const TZinsErgebnis e = Verzugszinsen(basis, land, p.Verbraucher, b.Datum, p.Faellig, stichtag,
                                                  p.Brutto, minderungen, tageBasis);
            p.Zinsen = e.Zinsen;
            if (fehlendeHalbjahre)
                for (const QDate& d : e.FehlendeHalbjahre)
                    if (!fehlendeHalbjahre->contains(d))
                        fehlendeHalbjahre->append(d);
        }
        result.append(p);
    }
    std::stable_sort(result.begin(), result.end(), [](const TOffenerPosten& a, const TOffenerPosten& b) {
        return a.Faellig != b.Faellig ? a.Faellig < b.Faellig
                                      : (a.Typ != b.Typ ? a.Typ < b.Typ : a.KopfID < b.KopfID);
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
