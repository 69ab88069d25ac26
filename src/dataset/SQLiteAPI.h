// The SQLite library, loaded at connect time by file name.
//
// The connection loads the library its DriverDLL names and reaches SQLite only
// through this table of entry points, so a missing or too-old library is a
// clear message at connect instead of a failed program start.
#pragma once

#include <sqlite3.h>

#include <QString>

struct TSQLiteAPI {
    void* library = nullptr;

    decltype(&::sqlite3_libversion) libversion = nullptr;
    decltype(&::sqlite3_open) open = nullptr;
    decltype(&::sqlite3_close) close = nullptr;
    decltype(&::sqlite3_exec) exec = nullptr;
    decltype(&::sqlite3_prepare) prepare = nullptr;
    decltype(&::sqlite3_step) step = nullptr;
    decltype(&::sqlite3_finalize) finalize = nullptr;
    decltype(&::sqlite3_column_count) column_count = nullptr;
    decltype(&::sqlite3_column_name) column_name = nullptr;
    decltype(&::sqlite3_column_decltype) column_decltype = nullptr;
    decltype(&::sqlite3_column_type) column_type = nullptr;
    decltype(&::sqlite3_column_bytes) column_bytes = nullptr;
    decltype(&::sqlite3_column_text) column_text = nullptr;
    decltype(&::sqlite3_column_int) column_int = nullptr;
    decltype(&::sqlite3_column_double) column_double = nullptr;
    decltype(&::sqlite3_column_blob) column_blob = nullptr;
    decltype(&::sqlite3_last_insert_rowid) last_insert_rowid = nullptr;
    decltype(&::sqlite3_errmsg) errmsg = nullptr;
    decltype(&::sqlite3_bind_blob) bind_blob = nullptr;
    decltype(&::sqlite3_busy_timeout) busy_timeout = nullptr;
    decltype(&::sqlite3_backup_init) backup_init = nullptr;
    decltype(&::sqlite3_backup_step) backup_step = nullptr;
    decltype(&::sqlite3_backup_finish) backup_finish = nullptr;
    decltype(&::sqlite3_backup_remaining) backup_remaining = nullptr;
    decltype(&::sqlite3_backup_pagecount) backup_pagecount = nullptr;
    // Needed to tell a post or delete that reached no row from a real one.
    decltype(&::sqlite3_changes) changes = nullptr;

    // Present in every library since 3.3.9; preferred because a statement
    // prepared with it survives a schema change made by another connection.
    decltype(&::sqlite3_prepare_v2) prepare_v2 = nullptr;
    // Row ids beyond 32 bits; optional like prepare_v2.
    decltype(&::sqlite3_column_int64) column_int64 = nullptr;
    // Binding values lets a post reuse one compiled statement per table; a
    // library without them gets the statement with the values spelled out.
    decltype(&::sqlite3_bind_int64) bind_int64 = nullptr;
    decltype(&::sqlite3_bind_double) bind_double = nullptr;
    decltype(&::sqlite3_bind_text) bind_text = nullptr;
    decltype(&::sqlite3_bind_null) bind_null = nullptr;
    decltype(&::sqlite3_reset) reset = nullptr;
    // The byte-wise LIKE of the connection (see SQLiteLike.cpp); optional.
    decltype(&::sqlite3_create_function) create_function = nullptr;
    decltype(&::sqlite3_value_text) value_text = nullptr;
    decltype(&::sqlite3_value_bytes) value_bytes = nullptr;
    decltype(&::sqlite3_result_int) result_int = nullptr;
    decltype(&::sqlite3_result_error) result_error = nullptr;
    // The system's error number behind a failed file operation (3.16 on);
    // optional, for a German reason instead of SQLite's English one.
    decltype(&::sqlite3_system_errno) system_errno = nullptr;

    bool canReuseStatements() const {
        return prepare_v2 && bind_int64 && bind_double && bind_text && bind_null && reset;
    }

    bool loaded() const { return library != nullptr; }

    int Prepare(sqlite3* db, const char* sql, sqlite3_stmt** stmt) const {
        return prepare_v2 ? prepare_v2(db, sql, -1, stmt, nullptr) : prepare(db, sql, -1, stmt, nullptr);
    }
    qint64 ColumnInt64(sqlite3_stmt* stmt, int column) const {
        return column_int64 ? column_int64(stmt, column) : column_int(stmt, column);
    }
};

// Loads the library and resolves its entry points. Returns false when the file
// cannot be loaded; throws ESQLiteError "SQLite missing function <name>" when an
// entry point is missing (the library is unloaded again then).
bool LoadSQLiteLibrary(const QString& fileName, TSQLiteAPI& api);

// Replaces SQLite's LIKE on the connection by one that compares bytes. The
// database holds Windows-1252 text, which SQLite's own LIKE reads as broken
// UTF-8: every letter beyond ASCII became the same replacement character, so
// "Müller" matched "Möller". Letters a-z and A-Z still match either case, as
// before; "%", "_" and the ESCAPE character keep their meaning, "_" standing
// for one character (one byte). Nothing happens when the library lacks the
// entry points.
void InstallByteLike(TSQLiteAPI& api, sqlite3* db);
void UnloadSQLiteLibrary(TSQLiteAPI& api);
