// Benchmarks of the data module's schema handling, and the small registry
// through which benchmarks outside bench_dataset.cpp are run by its main().
//
//   ratio create_schema VALUE      CreateAndUpgradeSchema on a new file / the
//                                  final CREATE statements in one transaction
//   ms startup_check_100k VALUE    CreateAndUpgradeSchema on an up-to-date file
//                                  with 100,000 documents and 500,000 price lines
//
// Both are wall-clock medians: creating a file is mostly waiting for the disk
// (one synchronous commit per table and step), and that wait is what a user
// sees on the first start.
#include "BenchSupport.h"
#include "UDM.h"

#include <QDir>
#include <QFile>
#include <QStringList>
#include <QTemporaryDir>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <vector>

// ---------------------------------------------------------------------------
// Registry.
struct TBenchEntry {
    const char* name;
    std::function<int(bool verbose)> run;
};

static std::vector<TBenchEntry>& BenchEntries() {
    static std::vector<TBenchEntry> entries;
    return entries;
}

TBenchRegistrar::TBenchRegistrar(const char* name, std::function<int(bool)> run) {
    BenchEntries().push_back({name, run});
}

int RunRegisteredBenchmarks(bool verbose) {
    int result = 0;
    // QV_BENCH_ONLY=name,name runs just those (while working on one of them).
    const QStringList only =
        qEnvironmentVariable("QV_BENCH_ONLY").split(QLatin1Char(','), Qt::SkipEmptyParts);
    for (const TBenchEntry& entry : BenchEntries()) {
        if (!only.isEmpty() && !only.contains(QLatin1String(entry.name)))
            continue;
        if (entry.run(verbose) != 0) {
            std::fprintf(stderr, "benchmark %s failed\n", entry.name);
            result = 1;
        }
        std::fflush(stdout);
    }
    return result;
}

// ---------------------------------------------------------------------------
namespace {

int CreateSchema(bool verbose) {
    TBenchDataHome dir;
    if (!dir.isValid())
        return 1;
    // The upgrade copies go to the data folder: keep them in the temporary one.
    std::vector<double> ours, plain;
    QStringList finalCreates;
    try {
        for (int r = 0; r < 5; ++r) {
            const QString file = dir.filePath(QStringLiteral("schema%1.DB").arg(r));
            TDM dm;
            dm.SQLiteDB1.FileName = file;
            dm.SQLiteDB1.Open();
            ours.push_back(WallMillis([&] { dm.CreateAndUpgradeSchema(); }));
            if (finalCreates.isEmpty()) {
                dm.Query1.RunSQL(
                    QStringLiteral("select sql from sqlite_master where type = 'table' and name <> "
                                   "'sqlite_sequence' order by rowid"));
                for (dm.Query1.First(); !dm.Query1.Eof(); dm.Query1.Next())
                    finalCreates << dm.Query1.Fields(0)->AsString();
            }
            dm.SQLiteDB1.Close();

            TSQLiteDB db;
            db.FileName = dir.filePath(QStringLiteral("plain%1.DB").arg(r));
            db.Open();
            plain.push_back(WallMillis([&] {
                db.StartTransaction();
                for (const QString& sql : finalCreates)
                    db.ExecSQL(sql);
                db.Commit();
            }));
            db.Close();
        }
    } catch (const ESQLiteError& e) {
        std::fprintf(stderr, "%s\n", qPrintable(e.message()));
        return 1;
    }
    std::printf("ratio create_schema %.2f\n", Median(ours) / Median(plain));
    if (verbose)
        std::printf("  ours %.3f ms, plain %.3f ms (%d tables)\n", Median(ours), Median(plain),
                    int(finalCreates.size()));
    return 0;
}

int StartupCheck(bool verbose) {
    TBenchDataHome dir;
    if (!dir.isValid())
        return 1;
    const QString file = dir.filePath(QStringLiteral("Quorvent.DB"));
    std::vector<double> times;
    int changes = 0;
    try {
        TDM dm;
        dm.OpenDatabaseFile(file);
        // 100,000 documents with a position each and five price lines per position.
        TSQLiteDB& db = dm.SQLiteDB1;
        db.StartTransaction();
        db.ExecSQL(QStringLiteral(
            "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 100000) "
            "INSERT INTO Kopf (KopfTyp, KopfID, KundenID, KunGruID, KopfBez, Status, Datum, Netto, DruDatID, "
            "Datum2, "
            "KopfTextVorPos, FussTextNachPos, SubkundenID) SELECT 'R', i, 0, 1, 'Rechnung ' || i, 'E', "
            "'2024-01-01 10:00:00', 'N', 1, '2024-01-01 10:00:00', 'N', 'N', 0 FROM n"));
        db.ExecSQL(
            QStringLiteral("INSERT INTO PosDaten (KopfTyp, KopfID, PosID, ArtikelID, PosKurzBez, PosBez, "
                           "Zwischensumme) SELECT KopfTyp, KopfID, 1, 0, 'Rest', 'Rest', 'N' FROM Kopf"));
        db.ExecSQL(QStringLiteral(
            "WITH RECURSIVE p(j) AS (SELECT 1 UNION ALL SELECT j + 1 FROM p WHERE j < 5) "
            "INSERT INTO PosPreis (KopfTyp, KopfID, PosID, PreisID, PreisBez, Menge, EinheitID, Wert, "
            "Rabatt, "
            "MWStSatz) SELECT KopfTyp, KopfID, 1, j, 'Arbeitszeit', 2, 6, 45.5, 0, 20 FROM Kopf, p"));
        db.Commit();
        dm.Query1.RunSQL(QStringLiteral("select count(*) from PosPreis"));
        if (dm.Query1.Fields(0)->AsInteger() != 500000)
            return 1;
        dm.SQLiteDB1.Close();

        // Each start opens the file anew; the check itself is what is timed.
        for (int r = 0; r < 9; ++r) {
            TDM start;
            start.SQLiteDB1.FileName = file;
            start.SQLiteDB1.Open();
            times.push_back(WallMillis([&] { start.CreateAndUpgradeSchema(); }));
            start.Query1.RunSQL(QStringLiteral("select total_changes()"));
            changes += start.Query1.Fields(0)->AsInteger();
            start.SQLiteDB1.Close();
        }
    } catch (const ESQLiteError& e) {
        std::fprintf(stderr, "%s\n", qPrintable(e.message()));
        return 1;
    }
    // The check must only read.
    if (changes != 0) {
        std::fprintf(stderr, "startup check changed %d rows\n", changes);
        return 1;
    }
    std::printf("ms startup_check_100k %.2f\n", Median(times));
    if (verbose)
        std::printf("  min %.3f ms, max %.3f ms\n", *std::min_element(times.begin(), times.end()),
                    *std::max_element(times.begin(), times.end()));
    return 0;
}

const TBenchRegistrar createSchema("create_schema", CreateSchema);
const TBenchRegistrar startupCheck("startup_check_100k", StartupCheck);

} // namespace
