// quorvent-bench: the dataset layer against plain sqlite3 loops doing the same
// work, both measured in this run on the same database file. Each line reads
// "ratio NAME VALUE" (our time / plain time, medians of several repetitions);
// one more line gives the memory an open 100,000-row result set takes.
#include "BenchSupport.h"
#include "LocalTime.h"
#include "SQLite.h"

#include <sqlite3.h>

#include <QApplication>
#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

namespace {

constexpr int kRows = 100000;
constexpr int kPosts = 10000;
constexpr int kRepetitions = 7;

const char* const kColumns =
    "(KopfTyp char(1), KopfID integer, PosID integer, PreisID integer, "
    "PreisBez varchar(100), PreisBez2 varchar(100), Menge numeric(15,3), "
    "EinheitID integer, Wert numeric(15,2), Rabatt numeric(5,2), MWStSatz numeric(5,2))";

const char* const kTexts[] = {"Montage Heizkörper Typ 22", "Anfahrt und Rüstzeit",
                              "Kupferrohr 15 mm, je Meter", "Entsorgung Altgerät", "Arbeitszeit Geselle"};

// CPU time of this thread: the machine is shared with builds and other work,
// and waiting for the processor or the disk says nothing about our code.
double cpuMillis() {
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return double(ts.tv_sec) * 1e3 + double(ts.tv_nsec) / 1e6;
}

double millis(const std::function<void()>& work) {
    const double start = cpuMillis();
    work();
    return cpuMillis() - start;
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

double residentMiB() {
    std::ifstream status("/proc/self/status");
    std::string key;
    while (status >> key) {
        if (key == "VmRSS:") {
            double kib = 0;
            status >> kib;
            return kib / 1024.0;
        }
        status.ignore(4096, '\n');
    }
    return 0;
}

void check(int rc, sqlite3* db) {
    if (rc != SQLITE_OK && rc != SQLITE_DONE && rc != SQLITE_ROW) {
        std::fprintf(stderr, "sqlite: %s\n", sqlite3_errmsg(db));
        std::exit(1);
    }
}

// One price line as a plain program would hold it.
struct PlainRow {
    std::string kopfTyp;
    int kopfId, posId, preisId;
    std::string preisBez, preisBez2;
    double menge;
    int einheitId;
    double wert, rabatt, mwst;
};

std::string text(sqlite3_stmt* st, int c) {
    const auto* t = reinterpret_cast<const char*>(sqlite3_column_text(st, c));
    return t ? std::string(t, size_t(sqlite3_column_bytes(st, c))) : std::string();
}

// The same rows through the bare C API: prepare, step, copy every column.
std::vector<PlainRow> plainRead(sqlite3* db) {
    std::vector<PlainRow> rows;
    sqlite3_stmt* st = nullptr;
    check(sqlite3_prepare_v2(db, "select * from PosPreis", -1, &st, nullptr), db);
    while (sqlite3_step(st) == SQLITE_ROW) {
        rows.push_back({text(st, 0), sqlite3_column_int(st, 1), sqlite3_column_int(st, 2),
                        sqlite3_column_int(st, 3), text(st, 4), text(st, 5), sqlite3_column_double(st, 6),
                        sqlite3_column_int(st, 7), sqlite3_column_double(st, 8), sqlite3_column_double(st, 9),
                        sqlite3_column_double(st, 10)});
    }
    sqlite3_finalize(st);
    return rows;
}

int kopfIdOf(int i) {
    return i / 10;
}
int posIdOf(int i) {
    return i % 10;
}

} // namespace

int main(int argc, char** argv) {
    ReadLocalZoneOnce(); // as the program does
    // The list benchmarks build real frames; they need no screen.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const bool verbose = app.arguments().contains(QStringLiteral("-v"));
    if (!qEnvironmentVariableIsEmpty("QV_BENCH_ONLY"))
        return RunRegisteredBenchmarks(verbose);
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("bench.db"));

    sqlite3* raw = nullptr;
    check(sqlite3_open(QFile::encodeName(file).constData(), &raw), raw);
    check(sqlite3_exec(raw, (std::string("create table PosPreis ") + kColumns).c_str(), nullptr, nullptr,
                       nullptr),
          raw);
    check(sqlite3_exec(raw, (std::string("create table PostTest ") + kColumns).c_str(), nullptr, nullptr,
                       nullptr),
          raw);
    {
        check(sqlite3_exec(raw, "BEGIN", nullptr, nullptr, nullptr), raw);
        sqlite3_stmt* ins = nullptr;
        check(sqlite3_prepare_v2(raw, "insert into PosPreis values ('R', ?, ?, 1, ?, ?, ?, 3, ?, 0, 19)", -1,
                                 &ins, nullptr),
              raw);
        for (int i = 0; i < kRows; ++i) {
            // Stored as Windows-1252, the way the program stores its texts.
            const QByteArray bez = QString::fromUtf8(kTexts[i % 5]).toLatin1();
            sqlite3_bind_int(ins, 1, kopfIdOf(i));
            sqlite3_bind_int(ins, 2, posIdOf(i));
            sqlite3_bind_text(ins, 3, bez.constData(), int(bez.size()), SQLITE_TRANSIENT);
            sqlite3_bind_text(ins, 4, "Lieferung frei Baustelle", -1, SQLITE_STATIC);
            sqlite3_bind_double(ins, 5, 1 + i % 7);
            sqlite3_bind_double(ins, 6, 12.5 + i % 100);
            check(sqlite3_step(ins), raw);
            sqlite3_reset(ins);
        }
        sqlite3_finalize(ins);
        check(sqlite3_exec(raw, "COMMIT", nullptr, nullptr, nullptr), raw);
    }

    TSQLiteDB db;
    db.FileName = file;
    db.Open();

    // open_100k ------------------------------------------------------------
    std::vector<double> ours, plain;
    double memory = 0;
    for (int r = 0; r < kRepetitions; ++r) {
        plain.push_back(millis([&] {
            auto rows = plainRead(raw);
            if (rows.size() != size_t(kRows))
                std::exit(1);
        }));
        TSQLiteQuery q(&db);
        q.SetSQL(QStringLiteral("select * from PosPreis"));
        const double before = residentMiB();
        ours.push_back(millis([&] { q.Open(); }));
        memory = std::max(memory, residentMiB() - before);
        if (q.RecordCount() != kRows)
            return 1;
    }
    std::printf("ratio open_100k %.2f\n", median(ours) / median(plain));
    if (verbose)
        std::printf("  ours %.3f ms, plain %.3f ms\n", median(ours), median(plain));
    std::printf("memory open_100k %.1f\n", memory);
    std::fflush(stdout);

    // post_10k -------------------------------------------------------------
    ours.clear();
    plain.clear();
    const QString bez = QString::fromUtf8(kTexts[0]);
    const QByteArray bezBytes = bez.toLatin1();
    for (int r = 0; r < kRepetitions; ++r) {
        db.ExecSQL(QStringLiteral("delete from PostTest"));
        plain.push_back(millis([&] {
            check(sqlite3_exec(raw, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr), raw);
            sqlite3_stmt* ins = nullptr;
            check(sqlite3_prepare_v2(
                      raw,
                      "insert into PostTest (KopfTyp, KopfID, PosID, PreisID, PreisBez, PreisBez2, "
                      "Menge, EinheitID, Wert, Rabatt, MWStSatz) values (?,?,?,?,?,?,?,?,?,?,?)",
                      -1, &ins, nullptr),
                  raw);
            for (int i = 0; i < kPosts; ++i) {
                sqlite3_bind_text(ins, 1, "R", 1, SQLITE_STATIC);
                sqlite3_bind_int(ins, 2, kopfIdOf(i));
                sqlite3_bind_int(ins, 3, posIdOf(i));
                sqlite3_bind_int(ins, 4, 1);
                sqlite3_bind_text(ins, 5, bezBytes.constData(), int(bezBytes.size()), SQLITE_STATIC);
                sqlite3_bind_null(ins, 6);
                sqlite3_bind_double(ins, 7, 2);
                sqlite3_bind_int(ins, 8, 3);
                sqlite3_bind_double(ins, 9, 12.5);
                sqlite3_bind_double(ins, 10, 0);
                sqlite3_bind_double(ins, 11, 19);
                check(sqlite3_step(ins), raw);
                sqlite3_reset(ins);
            }
            sqlite3_finalize(ins);
            check(sqlite3_exec(raw, "COMMIT", nullptr, nullptr, nullptr), raw);
        }));
        db.ExecSQL(QStringLiteral("delete from PostTest"));
        TSQLiteTable t(&db);
        t.SetTableName(QStringLiteral("PostTest"));
        t.Open();
        TField* fKopfTyp = t.FieldByName(QStringLiteral("KopfTyp"));
        TField* fKopfID = t.FieldByName(QStringLiteral("KopfID"));
        TField* fPosID = t.FieldByName(QStringLiteral("PosID"));
        TField* fPreisID = t.FieldByName(QStringLiteral("PreisID"));
        TField* fBez = t.FieldByName(QStringLiteral("PreisBez"));
        TField* fMenge = t.FieldByName(QStringLiteral("Menge"));
        TField* fEinheit = t.FieldByName(QStringLiteral("EinheitID"));
        TField* fWert = t.FieldByName(QStringLiteral("Wert"));
        TField* fRabatt = t.FieldByName(QStringLiteral("Rabatt"));
        TField* fMWSt = t.FieldByName(QStringLiteral("MWStSatz"));
        ours.push_back(millis([&] {
            db.StartTransaction();
            for (int i = 0; i < kPosts; ++i) {
                t.Append();
                fKopfTyp->SetAsString(QStringLiteral("R"));
                fKopfID->SetAsInteger(kopfIdOf(i));
                fPosID->SetAsInteger(posIdOf(i));
                fPreisID->SetAsInteger(1);
                fBez->SetAsString(bez);
                fMenge->SetAsFloat(2);
                fEinheit->SetAsInteger(3);
                fWert->SetAsFloat(12.5);
                fRabatt->SetAsFloat(0);
                fMWSt->SetAsFloat(19);
                t.Post();
            }
            db.Commit();
        }));
        if (t.RecordCount() != kPosts)
            return 1;
    }
    std::printf("ratio post_10k %.2f\n", median(ours) / median(plain));
    if (verbose)
        std::printf("  ours %.3f ms, plain %.3f ms\n", median(ours), median(plain));
    std::fflush(stdout);

    // locate_100k ----------------------------------------------------------
    ours.clear();
    plain.clear();
    TSQLiteQuery q(&db);
    q.SetSQL(QStringLiteral("select * from PosPreis"));
    q.Open();
    std::vector<std::pair<int, int>> keys;
    keys.reserve(kRows);
    for (q.First(); !q.Eof(); q.Next())
        keys.emplace_back(q.FieldByName(QStringLiteral("KopfID"))->AsInteger(),
                          q.FieldByName(QStringLiteral("PosID"))->AsInteger());
    const int lastKopf = kopfIdOf(kRows - 1), lastPos = posIdOf(kRows - 1);
    volatile size_t foundAt = 0;
    for (int r = 0; r < kRepetitions; ++r) {
        plain.push_back(millis([&] {
            for (size_t i = 0; i < keys.size(); ++i)
                if (keys[i].first == lastKopf && keys[i].second == lastPos) {
                    foundAt = i;
                    break;
                }
        }));
        ours.push_back(millis([&] {
            if (!q.Locate(QStringLiteral("KopfID;PosID"), QVariantList{lastKopf, lastPos}))
                std::exit(1);
        }));
    }
    if (q.RecNo() != kRows || foundAt != size_t(kRows - 1))
        return 1;
    std::printf("ratio locate_100k %.2f\n", median(ours) / median(plain));
    if (verbose)
        std::printf("  ours %.3f ms, plain %.3f ms\n", median(ours), median(plain));

    sqlite3_close(raw);
    // Benchmarks of the other folders register themselves (bench_schema.cpp).
    return RunRegisteredBenchmarks(verbose);
}
