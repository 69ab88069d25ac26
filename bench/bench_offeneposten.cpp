// Benchmark of the page "Offene Posten" on a file with 100,000 invoices and
// partial invoices (one to four price lines each, two VAT rates), 150,000
// payments, some credit notes and dunning letters:
//
//   ms open_items_100k VALUE    the page opened (every item computed with its
//                               interest, listed and summed)
//
// Wall-clock median: the wait is what the user notices.
#include "BenchSupport.h"
#include "UDM.h"
#include "UOffenePosten.h"
#include "Zahlungen.h"

#include <sqlite3.h>

#include <QFile>

#include <cstdio>
#include <string>

namespace {

constexpr int kInvoices = 100000;
constexpr int kPayments = 150000;
constexpr int kCustomers = 2000;
constexpr int kRepetitions = 5;

void Fill(const QString& file) {
    sqlite3* db = nullptr;
    sqlite3_open(QFile::encodeName(file).constData(), &db);
    BenchExec(db, "begin");
    sqlite3_stmt* kunde = nullptr;
    sqlite3_prepare_v2(
        db,
        "insert into Kunde (KundenID,AnredeID,TitelID,Firma,Nachname,PLZ,LandID,KunGruID,Aktiv,"
        "KonzernID,HaendlerID) values (?1,1,1,case when ?1 % 3 = 0 then null else 'Firma ' || ?1 end,"
        "'Name',?1,1,1,'J',0,0)",
        -1, &kunde, nullptr);
    for (int i = 1; i <= kCustomers; ++i) {
        sqlite3_bind_int(kunde, 1, i);
        sqlite3_step(kunde);
        sqlite3_reset(kunde);
    }
    sqlite3_finalize(kunde);
    sqlite3_stmt *kopf = nullptr, *pos = nullptr, *preis = nullptr, *zahlung = nullptr;
    sqlite3_prepare_v2(
        db,
        "insert into Kopf (KopfTyp,KopfID,KundenID,KunGruID,KopfBez,Rabatt,Skonto,Status,Datum,"
        "DruDatID,SubkundenID,Netto,RefTyp,RefID) values (?1,?2,?3,1,'Rechnung',0,2,'A',?4,1,0,'N',?5,?6)",
        -1, &kopf, nullptr);
    sqlite3_prepare_v2(
        db,
        "insert into PosDaten (KopfTyp,KopfID,PosID,ArtikelID,PosKurzBez,PosBez,Zwischensumme) "
        "values (?1,?2,1,0,'Position','Text','N')",
        -1, &pos, nullptr);
    sqlite3_prepare_v2(
        db,
        "insert into PosPreis (KopfTyp,KopfID,PosID,PreisID,Menge,EinheitID,Wert,Rabatt,MWStSatz) "
        "values (?1,?2,1,?3,?4,1,?5,0,?6)",
        -1, &preis, nullptr);
    sqlite3_prepare_v2(db, "insert into Zahlung (KopfTyp,KopfID,Datum,Betrag,Art) values (?1,?2,?3,?4,'Bar')",
                       -1, &zahlung, nullptr);
    int payments = 0, credits = 0;
    for (int i = 0; i < kInvoices; ++i) {
        const std::string typ = i % 5 == 4 ? "T" : "R";
        const int id = 1 + i;
        char date[32];
        const int day = (i * 7) % 1000;
        const QDate d = QDate(2023, 1, 1).addDays(day);
        std::snprintf(date, sizeof date, "%04d-%02d-%02d 10:00:00", d.year(), d.month(), d.day());
        sqlite3_bind_text(kopf, 1, typ.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_int(kopf, 2, id);
        sqlite3_bind_int(kopf, 3, 1 + (i * 7919) % kCustomers);
        sqlite3_bind_text(kopf, 4, date, -1, SQLITE_TRANSIENT);
        sqlite3_bind_null(kopf, 5);
        sqlite3_bind_null(kopf, 6);
        sqlite3_step(kopf);
        sqlite3_reset(kopf);
        sqlite3_bind_text(pos, 1, typ.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_int(pos, 2, id);
        sqlite3_step(pos);
        sqlite3_reset(pos);
        const int lines = 1 + i % 4;
        for (int l = 0; l < lines; ++l) {
            sqlite3_bind_text(preis, 1, typ.c_str(), -1, SQLITE_TRANSIENT);
            sqlite3_bind_int(preis, 2, id);
            sqlite3_bind_int(preis, 3, 1 + l);
            sqlite3_bind_int(preis, 4, 1 + l);
            sqlite3_bind_double(preis, 5, 12.5 * (1 + (i + l) % 17));
            sqlite3_bind_int(preis, 6, l % 2 ? 7 : 19);
            sqlite3_step(preis);
            sqlite3_reset(preis);
        }
        // One and a half payments per invoice on average, most of them partial.
        const int count = std::min(i % 2 ? 2 : 1, kPayments - payments);
        for (int p = 0; p < count; ++p) {
            const QDate pd = d.addDays(5 + 20 * p);
            char pdate[16];
            std::snprintf(pdate, sizeof pdate, "%04d-%02d-%02d", pd.year(), pd.month(), pd.day());
            sqlite3_bind_text(zahlung, 1, typ.c_str(), -1, SQLITE_TRANSIENT);
            sqlite3_bind_int(zahlung, 2, id);
            sqlite3_bind_text(zahlung, 3, pdate, -1, SQLITE_TRANSIENT);
            sqlite3_bind_double(zahlung, 4, 5.0 + p);
            sqlite3_step(zahlung);
            sqlite3_reset(zahlung);
            ++payments;
        }
        if (i % 50 == 0) {
            ++credits;
            sqlite3_bind_text(kopf, 1, "G", -1, SQLITE_STATIC);
            sqlite3_bind_int(kopf, 2, credits);
            sqlite3_bind_int(kopf, 3, 1 + (i * 7919) % kCustomers);
            sqlite3_bind_text(kopf, 4, date, -1, SQLITE_TRANSIENT);
            sqlite3_bind_text(kopf, 5, typ.c_str(), -1, SQLITE_TRANSIENT);
            sqlite3_bind_int(kopf, 6, id);
            sqlite3_step(kopf);
            sqlite3_reset(kopf);
            sqlite3_bind_text(preis, 1, "G", -1, SQLITE_STATIC);
            sqlite3_bind_int(preis, 2, credits);
            sqlite3_bind_int(preis, 3, 1);
            sqlite3_bind_int(preis, 4, 1);
            sqlite3_bind_double(preis, 5, 10);
            sqlite3_bind_int(preis, 6, 19);
            sqlite3_step(preis);
            sqlite3_reset(preis);
        }
    }
    BenchExec(db,
              "insert into Mahnung (KopfTyp,KopfID,Stufe,Datum,Gebuehr,Zinsen) select KopfTyp, KopfID, 2, "
              "'2025-10-01', 40, 1 from Kopf where KopfTyp = 'R' and KopfID % 97 = 0");
    sqlite3_finalize(kopf);
    sqlite3_finalize(pos);
    sqlite3_finalize(preis);
    sqlite3_finalize(zahlung);
    BenchExec(db, "commit");
    sqlite3_close(db);
}

int OpenItems(bool verbose) {
    TBenchDataHome dir;
    if (!dir.isValid())
        return 1;
    const QString file = dir.filePath(QStringLiteral("offeneposten.DB"));
    std::vector<double> open;
    int rows = 0;
    try {
        CreateBenchDatabase(file, EnsureZahlungTables);
        Fill(file);
        TDM dm;
        DM = &dm;
        dm.OpenDatabaseFile(file);
        TOffenePosten page;
        page.resize(1200, 800);
        for (int r = 0; r < kRepetitions; ++r)
            open.push_back(WallMillis([&] { page.ShowPage(); }));
        rows = page.Model()->rowCount();
        DM = nullptr;
    } catch (const ESQLiteError& e) {
        std::fprintf(stderr, "%s\n", qPrintable(e.message()));
        DM = nullptr;
        return 1;
    }
    if (rows < kInvoices / 2) {
        std::fprintf(stderr, "open_items: only %d open items\n", rows);
        return 1;
    }
    std::printf("ms open_items_100k %.1f\n", Median(open));
    if (verbose)
        std::printf("  %d open items of %d invoices with %d payments\n", rows, kInvoices, kPayments);
    return 0;
}

const TBenchRegistrar openItems("open_items_100k", OpenItems);

} // namespace
