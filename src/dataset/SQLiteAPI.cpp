#include "SQLiteAPI.h"

#include "SQLite.h"

#include <QFile>

#include <dlfcn.h>

namespace {

template <typename F> bool resolve(void* library, const char* name, F& target) {
    target = reinterpret_cast<F>(dlsym(library, name));
    return target != nullptr;
}

} // namespace

bool LoadSQLiteLibrary(const QString& fileName, TSQLiteAPI& api) {
    UnloadSQLiteLibrary(api);
    void* library = dlopen(QFile::encodeName(fileName).constData(), RTLD_NOW | RTLD_LOCAL);
    if (!library)
        return false;

    const char* missing = nullptr;
    auto need = [&](const char* name, auto& target) {
        if (!missing && !resolve(library, name, target))
            missing = name;
    };
    need("sqlite3_libversion", api.libversion);
    need("sqlite3_open", api.open);
    need("sqlite3_close", api.close);
    need("sqlite3_exec", api.exec);
    need("sqlite3_prepare", api.prepare);
    need("sqlite3_step", api.step);
    need("sqlite3_finalize", api.finalize);
    need("sqlite3_column_count", api.column_count);
    need("sqlite3_column_name", api.column_name);
    need("sqlite3_column_decltype", api.column_decltype);
    need("sqlite3_column_type", api.column_type);
    need("sqlite3_column_bytes", api.column_bytes);
    need("sqlite3_column_text", api.column_text);
    need("sqlite3_column_int", api.column_int);
    need("sqlite3_column_double", api.column_double);
    need("sqlite3_column_blob", api.column_blob);
    need("sqlite3_last_insert_rowid", api.last_insert_rowid);
    need("sqlite3_errmsg", api.errmsg);
    need("sqlite3_bind_blob", api.bind_blob);
    need("sqlite3_busy_timeout", api.busy_timeout);
    need("sqlite3_backup_init", api.backup_init);
    need("sqlite3_backup_step", api.backup_step);
    need("sqlite3_backup_finish", api.backup_finish);
    need("sqlite3_backup_remaining", api.backup_remaining);
    need("sqlite3_backup_pagecount", api.backup_pagecount);
    need("sqlite3_changes", api.changes);
    if (missing) {
        dlclose(library);
        api = TSQLiteAPI();
        throw ESQLiteError(QStringLiteral("SQLite missing function ") + QString::fromLatin1(missing));
    }
    resolve(library, "sqlite3_prepare_v2", api.prepare_v2);
    resolve(library, "sqlite3_column_int64", api.column_int64);
    resolve(library, "sqlite3_bind_int64", api.bind_int64);
    resolve(library, "sqlite3_bind_double", api.bind_double);
    resolve(library, "sqlite3_bind_text", api.bind_text);
    resolve(library, "sqlite3_bind_null", api.bind_null);
    resolve(library, "sqlite3_reset", api.reset);
    resolve(library, "sqlite3_create_function", api.create_function);
    resolve(library, "sqlite3_value_text", api.value_text);
    resolve(library, "sqlite3_value_bytes", api.value_bytes);
    resolve(library, "sqlite3_result_int", api.result_int);
    resolve(library, "sqlite3_result_error", api.result_error);
    resolve(library, "sqlite3_system_errno", api.system_errno);
    api.library = library;
    return true;
}

void UnloadSQLiteLibrary(TSQLiteAPI& api) {
    if (api.library)
        dlclose(api.library);
    api = TSQLiteAPI();
}
