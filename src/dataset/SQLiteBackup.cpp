// Consistent copies of a database file through SQLite's online backup.
//
// A plain file copy is only right while nobody writes the file and nothing is
// pending beside it: it takes a half-written page of another process, keeps a
// crashed transaction that the journal would have rolled back, and misses the
// committed rows still in a WAL file. SQLite's backup reads the database the
// way every connection does, so the copy is what a reader sees.
#include "SQLiteBackup.h"

#include "FileNames.h"
#include "SQLite.h"
#include "SQLiteAPI.h"
#include "SQLiteInternal.h"

#include <QCoreApplication>

#include <cerrno>
#include <csignal>
#include <cstring>

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

struct TCopyFailure {
    int code;       // SQLite's result code, 0 for a failure of the file system
    QString detail; // SQLite's or the system's own text
};

// The user stopped the copy through the progress callback.
struct TCopyCancelled {};

// Pages per backup step when progress is reported: about a megabyte with
// the usual page size, so the progress window answers a click quickly.
constexpr int kPagesPerStep = 256;

// SQLite keeps these files beside a database while it is in use.
const char* const Companions[] = {"-journal", "-wal", "-shm"};

void RemoveWithCompanions(const QString& file) {
    RemoveFileName(file);
    for (const char* suffix : Companions)
        RemoveFileName(file + QLatin1String(suffix));
}

// The length of the side-file suffix ("-journal" ...) `name` ends in, else 0.
qsizetype CompanionSuffix(const QByteArray& name) {
    for (const char* suffix : Companions)
        if (name.endsWith(suffix))
            return qsizetype(std::strlen(suffix));
    return 0;
}

// The process that writes the temporary copy `name` ("<target>.tmp<pid>-<n>",
// or one of its side files), 0 when the name is not of that form.
qint64 CopyOwner(QByteArray name) {
    name.chop(CompanionSuffix(name));
    auto digitsBefore = [&name](qsizetype end) {
        qsizetype start = end;
        while (start > 0 && name.at(start - 1) >= '0' && name.at(start - 1) <= '9')
            --start;
        return start;
    };
    const qsizetype serial = digitsBefore(name.size());
    if (serial == name.size() || serial < 1 || name.at(serial - 1) != '-')
        return 0;
    const qsizetype pid = digitsBefore(serial - 1);
    if (pid == serial - 1 || pid < 5 || name.mid(pid - 4, 4) != ".tmp")
        return 0;
    return name.mid(pid, serial - 1 - pid).toLongLong();
}

// What a copy in progress is: an empty file (killed before the first page),
// one whose first page is not written yet (SQLite writes it last when the
// copy spills pages early), or a database file. Anything else of a similar
// name is the user's.
bool LooksLikeCopy(const QByteArray& path) {
    struct stat info;
    if (::stat(path.constData(), &info) != 0 || !S_ISREG(info.st_mode))
        return false;
    if (info.st_size == 0)
        return true;
    char header[16] = {};
    FILE* f = std::fopen(path.constData(), "rb");
    if (!f)
        return false;
    const size_t read = std::fread(header, 1, sizeof header, f);
    std::fclose(f);
    static const char unwritten[16] = {};
    return read == sizeof header &&
           (std::memcmp(header, "SQLite format 3", 16) == 0 || std::memcmp(header, unwritten, 16) == 0);
}

// Why the last file operation on `db` failed, in German: the system's reason
// (a full disk, missing rights). SQLite's own text is English and says no
// more than the German text of its result code, which the message carries.
QString ErrorText(const TSQLiteAPI& api, sqlite3* db) {
    const int error = db && api.system_errno ? api.system_errno(db) : 0;
    return error != 0 ? SystemErrorText(error) : QString();
}

// The rows of a statement that returns text, one entry per row and column.
int Collect(void* rows, int columns, char** values, char**) {
    for (int i = 0; i < columns; ++i)
        static_cast<QStringList*>(rows)->append(values[i] ? QString::fromUtf8(values[i]) : QString());
    return 0;
}

QStringList Rows(const TSQLiteAPI& api, sqlite3* db, const char* sql, int& rc) {
    QStringList rows;
    rc = api.exec(db, sql, &Collect, &rows, nullptr);
    return rows;
}

// Copies the database of the open connection `source` into `target`; throws
// TCopyFailure. The caller holds the read snapshot the copy is taken from.
void CopyPages(const TSQLiteAPI& api, sqlite3* source, int busyTimeout, const QString& target,
               const TBackupProgress& progress) {
    const QString temporary = TemporaryCopyName(target);
    const qsizetype slash = target.lastIndexOf(u'/');
    RemoveAbandonedCopies(slash < 0    ? QStringLiteral(".")
                          : slash == 0 ? QStringLiteral("/")
                                       : target.left(slash));
    RemoveWithCompanions(temporary);
    sqlite3* dest = nullptr;
    auto fail = [&](int code, const QString& detail) {
        if (dest)
            api.close(dest);
        RemoveWithCompanions(temporary);
        throw TCopyFailure{code & 0xFF, detail};
    };

    int rc = api.open(EncodeFileName(temporary).constData(), &dest);
    if (rc != SQLITE_OK)
        fail(rc, ErrorText(api, dest));
    api.busy_timeout(dest, busyTimeout);
    // The copy is written to the disk as carefully as the database itself.
    const QStringList synchronous = Rows(api, source, "PRAGMA synchronous", rc);
    if (rc == SQLITE_OK && synchronous.size() == 1)
        Rows(api, dest, ("PRAGMA synchronous = " + synchronous.first().toLatin1()).constData(), rc);

    sqlite3_backup* backup = api.backup_init(dest, "main", source, "main");
    if (!backup)
        fail(SQLITE_ERROR, ErrorText(api, dest));
    // Without progress all pages go in one step. In portions the copy stays
    // one snapshot all the same: the caller's read transaction on the source
    // lasts across the steps.
    do {
        rc = api.backup_step(backup, progress ? kPagesPerStep : -1);
        if (progress && (rc == SQLITE_OK || rc == SQLITE_DONE)) {
            const int total = api.backup_pagecount(backup);
            bool goOn = false;
            try {
                goOn = progress(total - api.backup_remaining(backup), total);
            } catch (...) {
                api.backup_finish(backup);
                api.close(dest);
                RemoveWithCompanions(temporary);
                throw;
            }
            if (!goOn) {
                api.backup_finish(backup);
                api.close(dest);
                RemoveWithCompanions(temporary);
                throw TCopyCancelled{};
            }
        }
    } while (rc == SQLITE_OK);
    api.backup_finish(backup);
    if (rc != SQLITE_DONE)
        fail(rc, ErrorText(api, dest));

    const QStringList check = Rows(api, dest, "PRAGMA integrity_check", rc);
    if (rc != SQLITE_OK)
        fail(rc, ErrorText(api, dest));
    if (check != QStringList{QStringLiteral("ok")})
        fail(SQLITE_CORRUPT, check.mid(0, 5).join(u'\n'));
    // A copy of a WAL database would be in WAL mode too and need its side
    // files; a safety copy is one file that can be moved and opened alone.
    const QStringList mode = Rows(api, dest, "PRAGMA journal_mode = DELETE", rc);
    if (rc != SQLITE_OK)
        fail(rc, ErrorText(api, dest));
    if (mode != QStringList{QStringLiteral("delete")})
        fail(SQLITE_ERROR, mode.join(u' '));

    rc = api.close(dest);
    if (rc != SQLITE_OK)
        fail(rc, ErrorText(api, dest));
    dest = nullptr;
    if (!RenameFileName(temporary, target))
        fail(0, SystemErrorText(errno));
}

QString FailureMessage(const QString& source, const QString& target, const TCopyFailure& failure) {
    QString reason = failure.code != 0 ? SQLiteCodeText(failure.code) : QString();
    if (!failure.detail.isEmpty())
        reason += reason.isEmpty() ? failure.detail : QStringLiteral(" (") + failure.detail + u')';
    return QStringLiteral("Die Datenbank ") + source + QStringLiteral(" konnte nicht nach ") + target +
           QStringLiteral(" kopiert werden!") + (reason.isEmpty() ? QString() : u'\n' + reason);
}

} // namespace

QString TemporaryCopyName(const QString& target) {
    // Unique per process and copy: two programs upgrading the same file at
    // once must not write into each other's half-finished copy.
    static int counter = 0;
    return target + QStringLiteral(".tmp") + QString::number(QCoreApplication::applicationPid()) + u'-' +
           QString::number(++counter);
}

bool ProcessRunning(qint64 pid) {
    // Without the right to signal it, the process still exists.
    return pid > 0 &&
           (pid == QCoreApplication::applicationPid() || ::kill(pid_t(pid), 0) == 0 || errno == EPERM);
}

void RemoveAbandonedCopies(const QString& folder) {
    const QByteArray dirBytes = EncodeFileName(folder);
    DIR* dir = ::opendir(dirBytes.isEmpty() ? "." : dirBytes.constData());
    if (!dir)
        return;
    QList<QByteArray> names;
    while (const dirent* entry = ::readdir(dir))
        names << QByteArray(entry->d_name);
    ::closedir(dir);
    const QByteArray prefix = dirBytes.isEmpty() || dirBytes.endsWith('/') ? dirBytes : dirBytes + '/';
    for (const QByteArray& name : names) {
        const qint64 owner = CopyOwner(name);
        if (owner == 0 || ProcessRunning(owner))
            continue;
        const QByteArray path = prefix + name;
        if (const qsizetype suffix = CompanionSuffix(name)) {
            // The side file of a copy goes with it, or alone once it is gone.
            const QByteArray main = path.chopped(suffix);
            struct stat info;
            if (::stat(main.constData(), &info) != 0)
                ::unlink(path.constData());
        } else if (LooksLikeCopy(path)) {
            RemoveWithCompanions(DecodeFileName(path));
        }
    }
}

void TSQLiteDB::BackupTo(const QString& target, const TBackupProgress& progress) {
    BackupInSnapshot([&] { return target; }, progress);
}

QString TSQLiteDB::BackupInSnapshot(const std::function<QString()>& chooseTarget,
                                    const TBackupProgress& progress) {
    if (!FHandle)
        RaiseError(0, {}, QStringLiteral("Es wurde noch keine Verbindung zur Datenbank hergestellt!"));
    if (FInTransaction) // SQLite cannot copy from a connection that is writing
        RaiseError(0, {},
                   QStringLiteral("Während einer Transaktion kann die Datenbank nicht kopiert werden!"));
    // A read transaction: the snapshot starts with its first read and lasts
    // until the end, for chooseTarget and the copy alike.
    ExecSQL(QStringLiteral("BEGIN TRANSACTION"));
    QString target;
    auto endSnapshot = [&] {
        try {
            ExecSQL(QStringLiteral("ROLLBACK"));
        } catch (...) {
            // The failure that brought us here is the one to report.
        }
    };
    try {
        ExecSQL(QStringLiteral("SELECT count(*) FROM sqlite_master"));
        target = chooseTarget();
        if (!target.isEmpty()) {
            // The copy is renamed over the target: over the database or its
            // journal it would destroy what it copies, and over a device
            // (/dev/null) it would replace the device.
            if (IsDatabaseOrCompanion(FileName, target))
                throw TCopyFailure{0,
                                   QStringLiteral("Das Ziel ist die Datenbank selbst oder gehört zu ihr.")};
            if (FileNameExists(target) && !IsRegularFileName(target))
                throw TCopyFailure{0, QStringLiteral("Das Ziel ist keine gewöhnliche Datei.")};
            CopyPages(*FApi, FHandle, BusyTimeout, target, progress);
        }
    } catch (const TCopyCancelled&) {
        endSnapshot();
        RaiseDatabaseError(DebugLog, DebugLogFile, QString(), 0, QString(),
                           QStringLiteral("Die Sicherung wurde abgebrochen."));
    } catch (const TCopyFailure& failure) {
        endSnapshot();
        RaiseDatabaseError(DebugLog, DebugLogFile, QString(), 0, QString(),
                           FailureMessage(FileName, target, failure));
    } catch (...) {
        endSnapshot();
        throw;
    }
    ExecSQL(QStringLiteral("COMMIT TRANSACTION"));
    return target;
}

void RestoreDatabaseContent(TSQLiteDB& db, const QString& source, const TBackupProgress& progress) {
    if (!db.Connected())
        db.RaiseError(0, {}, QStringLiteral("Es wurde noch keine Verbindung zur Datenbank hergestellt!"));
    if (db.InTransaction())
        db.RaiseError(0, {},
                      QStringLiteral("Während einer Transaktion kann die Datenbank nicht ersetzt werden!"));
    const TSQLiteAPI& api = db.Api();
    sqlite3* src = nullptr;
    int rc = api.open(EncodeFileName(source).constData(), &src);
    auto fail = [&](int code, const QString& detail) {
        if (src)
            api.close(src);
        db.RaiseError(code & 0xFF, {},
                      QStringLiteral("Die Datenbank konnte nicht aus ") + source +
                          QStringLiteral(" ersetzt werden!") +
                          (detail.isEmpty() ? QString() : QStringLiteral("\n") + detail));
    };
    if (rc != SQLITE_OK)
        fail(rc, ErrorText(api, src));
    sqlite3_backup* backup = api.backup_init(db.Handle(), "main", src, "main");
    if (!backup)
        fail(SQLITE_ERROR, ErrorText(api, db.Handle()));
    // All pages go in one write transaction of `db`, however many steps:
    // SQLite takes the write lock (waiting the busy time-out for other
    // connections to finish) and rolls everything back when a step fails.
    do {
        rc = api.backup_step(backup, progress ? kPagesPerStep : -1);
        if (progress && (rc == SQLITE_OK || rc == SQLITE_DONE)) {
            const int total = api.backup_pagecount(backup);
            progress(total - api.backup_remaining(backup), total);
        }
    } while (rc == SQLITE_OK);
    api.backup_finish(backup);
    if (rc != SQLITE_DONE)
        fail(rc, ErrorText(api, db.Handle()));
    api.close(src);
}

void CopyDatabaseFile(const QString& source, const QString& target, const QString& driverDLL,
                      const TBackupProgress& progress) {
    // Opening would create a missing file, and an empty copy is no copy.
    if (!FileNameExists(source))
        throw ESQLiteError(QStringLiteral("Die Datenbank ") + source + QStringLiteral(" existiert nicht!"));
    TSQLiteDB db;
    db.FileName = source;
    db.DriverDLL = driverDLL;
    db.Open();
    db.BackupTo(target, progress);
    db.Close();
}
