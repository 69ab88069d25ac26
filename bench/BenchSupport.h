// What the benchmark files share: the registry of benchmarks outside
// bench_dataset.cpp (each file registers its entries with a static
// TBenchRegistrar; the main program runs them all after its own; an entry
// prints its "ratio NAME VALUE" / "ms NAME VALUE" lines and returns 0, or
// non-zero on failure) and wall-clock timing.
#pragma once

#include "UDM.h"

#include <QByteArray>
#include <QTemporaryDir>

#include <sqlite3.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <string>
#include <vector>

struct TBenchRegistrar {
    TBenchRegistrar(const char* name, std::function<int(bool verbose)> run);
};

int RunRegisteredBenchmarks(bool verbose);

// Wall-clock time of work in milliseconds.
inline double WallMillis(const std::function<void()>& work) {
    const auto start = std::chrono::steady_clock::now();
    work();
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

inline double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

// What a plain program showing the list does: the rows of the statement read
// into memory as text, replacing the list shown before.
using TPlainList = std::vector<std::vector<std::string>>;
inline void PlainSelect(sqlite3* db, const QByteArray& sql, TPlainList& list) {
    list.clear();
    sqlite3_stmt* st = nullptr;
    sqlite3_prepare_v2(db, sql.constData(), -1, &st, nullptr);
    const int columns = sqlite3_column_count(st);
    while (sqlite3_step(st) == SQLITE_ROW) {
        std::vector<std::string>& row = list.emplace_back(size_t(columns));
        for (int c = 0; c < columns; ++c)
            if (const unsigned char* text = sqlite3_column_text(st, c))
                row[size_t(c)].assign(reinterpret_cast<const char*>(text),
                                      size_t(sqlite3_column_bytes(st, c)));
    }
    sqlite3_finalize(st);
}

// A temporary folder as the program's data home (XDG_DATA_HOME) for one
// benchmark; the previous value comes back when it ends.
class TBenchDataHome {
public:
    TBenchDataHome() : FOld(qgetenv("XDG_DATA_HOME")) { qputenv("XDG_DATA_HOME", FDir.path().toLocal8Bit()); }
    ~TBenchDataHome() { qputenv("XDG_DATA_HOME", FOld); }
    bool isValid() const { return FDir.isValid(); }
    QString filePath(const QString& name) const { return FDir.filePath(name); }

private:
    QTemporaryDir FDir;
    QByteArray FOld;
};

// The formatted description of the positions the document benchmarks fill in.
inline const char* const kBenchDescription =
    "{\\rtf1\\ansi\\ansicpg1252\\deff0{\\fonttbl{\\f0\\fnil\\fcharset0 Arial;}}\r\n\\viewkind4\\uc1\\pard\\f0"
    "\\fs20 Fliesen verlegen im Bad, Untergrund vorbereiten und verfugen\\par\r\n}\r\n";

// A statement run on a file opened by plain SQLite, as the fill functions of
// the benchmarks write their data.
inline void BenchExec(sqlite3* db, const char* sql) {
    sqlite3_exec(db, sql, nullptr, nullptr, nullptr);
}

// A new database file at `file` with the program's schema (and whatever
// `prepare` adds, say the tables of the payments), closed again so that a
// fill function can write into it with plain SQLite.
inline void CreateBenchDatabase(const QString& file, const std::function<void(TDM&)>& prepare = {}) {
    TDM init;
    DM = &init;
    init.OpenDatabaseFile(file);
    if (prepare)
        prepare(init);
    init.SQLiteDB1.Close();
    DM = nullptr;
}
