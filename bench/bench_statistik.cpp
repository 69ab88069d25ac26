// Benchmark of the statistics page on a file with 100,000 documents and
// 500,000 price lines over three years:
//
//   ms statistics_year_100k VALUE    all four tabs computed for one whole
//                                    year (day list, details, customers,
//                                    federal states) and the year chart built
//
// Wall-clock median: the wait is what the user notices.
#include "BenchSupport.h"
#include "UDM.h"
#include "UStatistik.h"

#include <sqlite3.h>

#include <QDateEdit>
#include <QFile>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QTreeWidget>

#include <cstdio>
#include <ctime>
#include <string>
#include <vector>

namespace {

constexpr int kDocuments = 100000;
constexpr int kPriceLines = 500000;
constexpr int kCustomers = 2000;
constexpr int kArticles = 400;
constexpr int kArticleGroups = 12;
constexpr int kCustomerGroups = 6;
constexpr int kRepetitions = 5;

// Documents of every type (offers, orders, delivery notes and invoices
// dominate) over 2022 to 2024, with one to three positions of articles from
// twelve groups and five lines on average; customers in six groups with
// postcodes over all federal states.
void Fill(const QString& file) {
    sqlite3* db = nullptr;
    sqlite3_open(QFile::encodeName(file).constData(), &db);
    BenchExec(db, "begin");
    for (int g = 2; g <= kArticleGroups; ++g)
        BenchExec(db, ("insert into ArtikelGruppe (ArtGruID,ArtGruBez) values (" + std::to_string(g) +
                       ",'Gruppe " + std::to_string(g) + "')")
                          .c_str());
    for (int g = 2; g <= kCustomerGroups; ++g)
        BenchExec(db, ("insert into KundenGruppe (KunGruID,KunGruBez) values (" + std::to_string(g) +
                       ",'Kunden " + std::to_string(g) + "')")
                          .c_str());
    sqlite3_stmt* artikel = nullptr;
    sqlite3_prepare_v2(db,
                       "insert into Artikel (ArtikelID,ArtGruID,ArtKurzBez,ArtBez,Aktiv) values (?1,?2,"
                       "'Artikel ' || ?1,'Text','J')",
                       -1, &artikel, nullptr);
    for (int a = 1; a <= kArticles; ++a) {
        sqlite3_bind_int(artikel, 1, a);
        sqlite3_bind_int(artikel, 2, 1 + a % kArticleGroups);
        sqlite3_step(artikel);
        sqlite3_reset(artikel);
    }
    sqlite3_finalize(artikel);
    sqlite3_stmt* kunde = nullptr;
    sqlite3_prepare_v2(
        db,
        "insert into Kunde (KundenID,AnredeID,TitelID,Firma,Nachname,PLZ,LandID,KunGruID,Aktiv,"
        "KonzernID,HaendlerID) values (?1,1,1,'Firma ' || ?1,'Name',?2,1,?3,'J',0,0)",
        -1, &kunde, nullptr);
    for (int i = 1; i <= kCustomers; ++i) {
        const std::string plz = std::to_string(1000 + (i * 7919) % 9000);
        sqlite3_bind_int(kunde, 1, i);
        sqlite3_bind_text(kunde, 2, plz.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_int(kunde, 3, 1 + i % kCustomerGroups);
        sqlite3_step(kunde);
        sqlite3_reset(kunde);
    }
    sqlite3_finalize(kunde);
    sqlite3_stmt* kopf = nullptr;
    sqlite3_prepare_v2(
        db,
        "insert into Kopf (KopfTyp,KopfID,KundenID,KunGruID,KopfBez,Rabatt,Status,Datum,DruDatID,"
        "SubkundenID,Netto) values (?1,?2,?3,?4,'Auftrag',0,'A',?5,1,0,'N')",
        -1, &kopf, nullptr);
    sqlite3_stmt* pos = nullptr;
    sqlite3_prepare_v2(
        db,
        "insert into PosDaten (KopfTyp,KopfID,PosID,ArtikelID,PosKurzBez,PosBez,Zwischensumme) "
        "values (?1,?2,?3,?4,'Position','Text','N')",
        -1, &pos, nullptr);
    sqlite3_stmt* preis = nullptr;
    sqlite3_prepare_v2(
        db,
        "insert into PosPreis (KopfTyp,KopfID,PosID,PreisID,PreisBez,Menge,EinheitID,Wert,Rabatt,"
        "MWStSatz) values (?1,?2,?3,?4,'Zeile',?5,1,?6,?7,20)",
        -1, &preis, nullptr);
    static const char types[] = "OOOAAALLRRRRRTSGBB";
    int lines = 0;
    std::vector<int> next(128, 1);
    for (int i = 0; i < kDocuments; ++i) {
        const char t = types[i % (sizeof(types) - 1)];
        const int id = next[size_t(t)]++;
        const int customer = 1 + (i * 7919) % kCustomers;
        const std::string typ(1, t);
        // Scattered over the days so that every day of each year has invoices.
        const int day = int((unsigned(i) * 2654435761u >> 7) % 336u);
        char date[32];
        std::snprintf(date, sizeof date, "%04d-%02d-%02d %02d:%02d:00", 2022 + (i / 7) % 3, 1 + day / 28,
                      1 + day % 28, 8 + i % 10, i % 60);
        sqlite3_bind_text(kopf, 1, typ.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_int(kopf, 2, id);
        sqlite3_bind_int(kopf, 3, customer);
        sqlite3_bind_int(kopf, 4, 1 + customer % kCustomerGroups);
        sqlite3_bind_text(kopf, 5, date, -1, SQLITE_TRANSIENT);
        sqlite3_step(kopf);
        sqlite3_reset(kopf);
        const int count =
            i == kDocuments - 1 ? kPriceLines - lines : std::min(1 + (i * 31) % 9, kPriceLines - lines);
        for (int p = 0; p < (count + 2) / 3; ++p) {
            sqlite3_bind_text(pos, 1, typ.c_str(), -1, SQLITE_TRANSIENT);
            sqlite3_bind_int(pos, 2, id);
            sqlite3_bind_int(pos, 3, 1 + p);
            sqlite3_bind_int(pos, 4, 1 + (i * 13 + p * 101) % kArticles);
            sqlite3_step(pos);
            sqlite3_reset(pos);
        }
        for (int l = 0; l < count; ++l) {
            sqlite3_bind_text(preis, 1, typ.c_str(), -1, SQLITE_TRANSIENT);
            sqlite3_bind_int(preis, 2, id);
            sqlite3_bind_int(preis, 3, 1 + l / 3);
            sqlite3_bind_int(preis, 4, 1 + l % 3);
            sqlite3_bind_int(preis, 5, 1 + l);
            sqlite3_bind_double(preis, 6, 10.5 * (1 + (i + l) % 20));
            if (l % 4 == 3)
                sqlite3_bind_null(preis, 7);
            else
                sqlite3_bind_int(preis, 7, l % 2 ? 10 : 0);
            sqlite3_step(preis);
            sqlite3_reset(preis);
        }
        lines += count;
    }
    sqlite3_finalize(kopf);
    sqlite3_finalize(pos);
    sqlite3_finalize(preis);
    BenchExec(db, "commit");
    sqlite3_close(db);
}

int Statistics(bool verbose) {
    TBenchDataHome dir;
    if (!dir.isValid())
        return 1;
    const QString file = dir.filePath(QStringLiteral("statistik.DB"));
    // Processor time beside the wall clock: on a busy machine the two differ widely.
    std::vector<double> year, cpu, parts[5];
    int days = 0, details = 0;
    double firstOpen = 0;
    try {
        CreateBenchDatabase(file);
        Fill(file);
        TDM dm;
        DM = &dm;
        dm.OpenDatabaseFile(file);
        TStatistik page;
        // The first opening creates the price-line index.
        firstOpen = WallMillis([&] { page.ShowPage(); });
        const QDate von(2023, 1, 1), bis(2023, 12, 31);
        for (const char* suffix : {"2", "", "3", "4"}) {
            for (const char* edit : {"DTPvon", "DTPbis"}) {
                auto* d = page.findChild<QDateEdit*>(QLatin1String(edit) + QLatin1String(suffix));
                const QSignalBlocker quiet(d);
                d->setDate(QLatin1String(edit) == QLatin1String("DTPvon") ? von : bis);
            }
        }
        page.findChild<QRadioButton*>(QStringLiteral("RBBundesland"))->setChecked(true);
        for (int r = 0; r < kRepetitions; ++r) {
            double part[5] = {};
            const std::clock_t cpuStart = std::clock();
            year.push_back(WallMillis([&] {
                part[0] = WallMillis([&] { page.BerechneTag(); });
                part[1] = WallMillis([&] { page.BerechneDetails(); });
                part[2] = WallMillis([&] { page.BerechneKunde(); });
                part[3] = WallMillis([&] { page.BerechnePLZ(); });
                part[4] = WallMillis([&] { page.JahrClick(); }); // the chart becomes visible and is built
            }));
            cpu.push_back(1000.0 * double(std::clock() - cpuStart) / CLOCKS_PER_SEC);
            for (int p = 0; p < 5; ++p)
                parts[p].push_back(part[p]);
            page.JahrClick(); // back to the list
        }
        days = page.findChild<QTreeWidget*>(QStringLiteral("LVUmsatz2"))->topLevelItemCount();
        details = page.findChild<QTreeWidget*>(QStringLiteral("LVUmsatz"))->topLevelItemCount();
        DM = nullptr;
    } catch (const ESQLiteError& e) {
        std::fprintf(stderr, "%s\n", qPrintable(e.message()));
        DM = nullptr;
        return 1;
    }
    // A day for each of the 28 days of each month, and "Gesamt".
    if (days != 12 * 28 + 1 || details == 0) {
        std::fprintf(stderr, "statistics: %d day entries, %d detail entries\n", days, details);
        return 1;
    }
    std::printf("ms statistics_year_100k %.1f\n", Median(year));
    if (verbose)
        std::printf("  %d day entries, %d detail entries; days %.1f ms, details %.1f ms, customers %.1f ms, "
                    "states %.1f ms, chart %.1f ms; processor time %.1f ms; first opening %.1f ms\n",
                    days, details, Median(parts[0]), Median(parts[1]), Median(parts[2]), Median(parts[3]),
                    Median(parts[4]), Median(cpu), firstOpen);
    return 0;
}

const TBenchRegistrar statistics("statistics_year_100k", Statistics);

} // namespace
