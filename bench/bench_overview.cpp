// Benchmark of the document overview on a file with 100,000 documents and
// 500,000 price lines:
//
//   ms overview_open_100k VALUE      showing the overview: statement built
//                                    and run, grid model filled, the header
//                                    table reopened
//   ratio overview_open_100k VALUE   the list itself (statement built, run,
//                                    grid model filled) / the same SELECT
//                                    stepped through plain sqlite3
//   ms overview_filter_100k VALUE    one keystroke in "Bezeichnung"
//
// Wall-clock medians: the wait is what the user notices.
#include "BenchSupport.h"
#include "UDM.h"
#include "UKopfUeb.h"

#include <sqlite3.h>

#include <QFile>
#include <QLineEdit>
#include <QTemporaryDir>

#include <cstdio>
#include <string>
#include <vector>

namespace {

constexpr int kDocuments = 100000;
constexpr int kPriceLines = 500000;
constexpr int kCustomers = 2000;
constexpr int kRepetitions = 5;

// Documents of every type, most of them offers, orders and invoices, spread
// over the customers (a few are frequent) and over eight years; one to nine
// price lines each, on one to three positions.
void Fill(const QString& file) {
    sqlite3* db = nullptr;
    sqlite3_open(QFile::encodeName(file).constData(), &db);
    sqlite3_exec(db, "begin", nullptr, nullptr, nullptr);
    sqlite3_stmt* kunde = nullptr;
    sqlite3_prepare_v2(
        db,
        "insert into Kunde (KundenID,AnredeID,TitelID,Firma,Nachname,LandID,KunGruID,Aktiv,KonzernID,"
        "HaendlerID) values (?1,1,1,'Firma ' || ?1,'Name',1,1,'J',?1 % 50,0)",
        -1, &kunde, nullptr);
    for (int i = 1; i <= kCustomers; ++i) {
        sqlite3_bind_int(kunde, 1, i);
        sqlite3_step(kunde);
        sqlite3_reset(kunde);
    }
    sqlite3_finalize(kunde);
    sqlite3_stmt* kopf = nullptr;
    sqlite3_prepare_v2(
        db,
        "insert into Kopf (KopfTyp,KopfID,KundenID,KunGruID,KopfBez,Rabatt,Status,Datum,DruDatID,"
        "SubkundenID,Netto) values (?1,?2,?3,1,?4,0,?5,?6,1,0,?7)",
        -1, &kopf, nullptr);
    sqlite3_stmt* preis = nullptr;
    sqlite3_prepare_v2(
        db,
        "insert into PosPreis (KopfTyp,KopfID,PosID,PreisID,PreisBez,Menge,EinheitID,Wert,Rabatt,"
        "MWStSatz) values (?1,?2,?3,?4,'Zeile',?5,1,?6,?7,20)",
        -1, &preis, nullptr);
    // Weighted: offers, orders, delivery notes and invoices dominate.
    static const char types[] = "OOOAAALLRRRRRTSGBB";
    // The first word is "Küche" in Windows-1252 ("c" escaped, or it would join the hex escape).
    static const char* const words[] = {"K\xFC\x63he", "Bad",  "Umbau",   "Wartung",
                                        "Fenster",     "Dach", "Heizung", "Boden"};
    int lines = 0;
    std::vector<int> next(128, 1);
    for (int i = 0; i < kDocuments; ++i) {
        const char t = types[i % (sizeof(types) - 1)];
        const int id = next[size_t(t)]++;
        const int customer = (i % 3 == 0) ? 1 + i % 40 : 1 + (i * 7919) % kCustomers;
        const std::string typ(1, t);
        const std::string bez = std::string(words[i % 8]) + " " + std::to_string(i % 997);
        char date[32];
        std::snprintf(date, sizeof date, "%04d-%02d-%02d 10:%02d:00", 2017 + i % 8, 1 + i % 12, 1 + i % 28,
                      i % 60);
        sqlite3_bind_text(kopf, 1, typ.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_int(kopf, 2, id);
        sqlite3_bind_int(kopf, 3, customer);
        sqlite3_bind_text(kopf, 4, bez.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_text(kopf, 5, i % 4 ? "A" : "E", -1, SQLITE_STATIC);
        sqlite3_bind_text(kopf, 6, date, -1, SQLITE_TRANSIENT);
        sqlite3_bind_text(kopf, 7, i % 10 ? "N" : "J", -1, SQLITE_STATIC);
        sqlite3_step(kopf);
        sqlite3_reset(kopf);
        // Five lines on average: 1 to 9.
        const int count =
            i == kDocuments - 1 ? kPriceLines - lines : std::min(1 + (i * 31) % 9, kPriceLines - lines);
        for (int l = 0; l < count; ++l) {
            sqlite3_bind_text(preis, 1, typ.c_str(), -1, SQLITE_TRANSIENT);
            sqlite3_bind_int(preis, 2, id);
            sqlite3_bind_int(preis, 3, 1 + l / 3);
            sqlite3_bind_int(preis, 4, 1 + l % 3);
            sqlite3_bind_int(preis, 5, 1 + l);
            sqlite3_bind_double(preis, 6, 10.5 * (1 + (i + l) % 20));
            sqlite3_bind_int(preis, 7, l % 2 ? 10 : 0);
            sqlite3_step(preis);
            sqlite3_reset(preis);
        }
        lines += count;
    }
    sqlite3_finalize(kopf);
    sqlite3_finalize(preis);
    sqlite3_exec(db, "commit", nullptr, nullptr, nullptr);
    sqlite3_close(db);
}

int Overview(bool verbose) {
    TBenchDataHome dir;
    if (!dir.isValid())
        return 1;
    const QString file = dir.filePath(QStringLiteral("overview.DB"));
    std::vector<double> show, list, plain, filter;
    int listed = 0, plainRows = 0, filtered = 0;
    try {
        CreateBenchDatabase(file);
        Fill(file);
        TDM dm;
        DM = &dm;
        dm.OpenDatabaseFile(file);
        TKopfUeb page;
        auto* bez = page.findChild<QLineEdit*>(QStringLiteral("EditBez"));
        const QStringList noFilter(TDM::KopfUebSlots);

        sqlite3* raw = nullptr;
        sqlite3_open(QFile::encodeName(file).constData(), &raw);
        TPlainList plainList;
        for (int r = 0; r < kRepetitions; ++r) {
            bez->clear();
            show.push_back(WallMillis([&] { page.ShowPage(); }));
            list.push_back(WallMillis([&] { page.Rebuild(); }));
            listed = dm.QueryKopf.RecordCount();
            const QByteArray sql = dm.KopfUebSQL(noFilter, 0).toLatin1();
            plain.push_back(WallMillis([&] { PlainSelect(raw, sql, plainList); }));
            plainRows = int(plainList.size());
            filter.push_back(WallMillis([&] { bez->insert(QStringLiteral("k")); }));
            filtered = dm.QueryKopf.RecordCount();
        }
        sqlite3_close(raw);
        DM = nullptr;
    } catch (const ESQLiteError& e) {
        std::fprintf(stderr, "%s\n", qPrintable(e.message()));
        DM = nullptr;
        return 1;
    }
    if (listed != plainRows || listed != kDocuments || filtered == 0)
        return 1;
    std::printf("ms overview_open_100k %.1f\n", Median(show));
    std::printf("ratio overview_open_100k %.2f\n", Median(list) / Median(plain));
    std::printf("ms overview_filter_100k %.1f\n", Median(filter));
    if (verbose)
        std::printf("  list %.1f ms, plain %.1f ms, %d rows; filter lists %d rows\n", Median(list),
                    Median(plain), listed, filtered);
    return 0;
}

const TBenchRegistrar overview("overview_open_100k", Overview);

} // namespace
