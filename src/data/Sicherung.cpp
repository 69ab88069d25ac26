#include "Sicherung.h"

#include "FileNames.h"
#include "GlobalFunctions.h"
#include "MaintenanceCommand.h"
#include "SQLiteBackup.h"
#include "UDM.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTextStream>

#include <sqlite3.h>

#include <cstdlib>

#include <sys/stat.h>

namespace {

// SQLite keeps these beside a database while a connection writes it.
const char* const Companions[] = {"-journal", "-wal", "-shm"};

void RemoveWithCompanions(const QString& file) {
    RemoveFileName(file);
    for (const char* suffix : Companions)
        RemoveFileName(file + QLatin1String(suffix));
}

// A name part that lists and matches like any other: a byte of the database's
// name that is not UTF-8 becomes "_".
QString Printable(QString name) {
    for (QChar& c : name)
        if (c.isSurrogate())
            c = u'_';
    return name;
}

QString BaseNameOf(const QString& dbFile) {
    const QString base = Printable(QFileInfo(dbFile).completeBaseName());
    return base.isEmpty() ? QStringLiteral("Quorvent") : base;
}

// <database name>_JJJJ-MM-TT_hh-mm-ss.DB, with "-2", "-3" ... for a second
// copy within the same second; the names sort by their time.
QRegularExpression AutoBackupPattern(const QString& dbFile) {
    return QRegularExpression(QStringLiteral("^") + QRegularExpression::escape(BaseNameOf(dbFile)) +
                              QStringLiteral("_\\d{4}-\\d\\d-\\d\\d_\\d\\d-\\d\\d-\\d\\d(-\\d+)?\\.DB$"));
}

// The copies in `folder` of the database `dbFile`, newest first.
QStringList BackupsIn(const QString& folder, const QString& dbFile) {
    const QRegularExpression pattern = AutoBackupPattern(dbFile);
    QStringList found;
    const QDir dir(folder);
    for (const QString& name : dir.entryList(QDir::Files, QDir::Name))
        if (pattern.match(name).hasMatch())
            found << dir.filePath(name);
    // "…_12-00-00-2.DB" was made after "…_12-00-00.DB" but sorts before it.
    const QRegularExpression stamp(
        QStringLiteral("(\\d{4}-\\d\\d-\\d\\d_\\d\\d-\\d\\d-\\d\\d)(-(\\d+))?\\.DB$"));
    auto key = [&](const QString& path) {
        const QRegularExpressionMatch m = stamp.match(QFileInfo(path).fileName());
        return qMakePair(m.captured(1), m.captured(3).isEmpty() ? 1 : m.captured(3).toInt());
    };
    std::sort(found.begin(), found.end(),
              [&](const QString& a, const QString& b) { return key(a) > key(b); });
    return found;
}

// The same file, whatever path leads to it.
bool SameFile(const QString& a, const QString& b) {
    struct stat x, y;
    return ::stat(EncodeFileName(a).constData(), &x) == 0 && ::stat(EncodeFileName(b).constData(), &y) == 0 &&
           x.st_dev == y.st_dev && x.st_ino == y.st_ino;
}

// What makes a file a Quorvent database: the version row and the tables every
// version of the program has had.
void CheckQuorventDatabase(const QString& copy, const QString& shownName) {
    TSQLiteDB db;
    db.FileName = copy;
    TSQLiteQuery q(&db);
    auto notQuorvent = [&] {
        throw ESQLiteError(QStringLiteral("Die Datei ") + shownName +
                           QStringLiteral(" ist keine Quorvent-Datenbank!"));
    };
    int version = 0;
    try {
        db.Open();
        for (const char* table : {"set_db", "set_allg", "Kunde", "Artikel", "Kopf"}) {
            if (!db.TableExists(QLatin1String(table)))
                notQuorvent();
        }
        q.RunSQL(QStringLiteral("SELECT Version FROM set_db WHERE DBID = 1"));
        if (q.IsEmpty())
            notQuorvent();
        version = q.FieldByName(QStringLiteral("Version"))->AsInteger();
        q.Close();
        db.Close();
    } catch (const ESQLiteError&) {
        q.Close();
        db.Close();
        throw;
    }
    if (version > TDM::CurrentDBVersion)
        throw ESQLiteError(QStringLiteral("Die Sicherung ") + shownName +
                           QStringLiteral(" hat die Version ") + QString::number(version) +
                           QStringLiteral(" und stammt von einer neueren Programmversion. Dieses Programm "
                                          "kann nur Sicherungen bis zur Version ") +
                           QString::number(TDM::CurrentDBVersion) + QStringLiteral(" rücksichern."));
}

// Brings the copy up to the current schema with a data module of its own, as
// the program does for every file it opens.
void UpgradeCopy(const QString& copy, const QString& driverDLL) {
    TDM* const previous = DM;
    {
        TDM up;
        up.SQLiteDB1.DriverDLL = driverDLL;
        DM = &up;
        try {
            up.OpenDatabaseFile(copy);
            up.SQLiteDB1.Close();
        } catch (...) {
            DM = previous;
            throw;
        }
    }
    DM = previous;
}

// SQLite cannot write pages of another size into a database in WAL mode;
// the copy is given the page size of the database it goes into.
void MatchPageSize(TDM& dm, const QString& copy) {
    const int wanted = dm.SQLiteDB1.PageSize();
    TSQLiteDB db;
    db.FileName = copy;
    db.DriverDLL = dm.SQLiteDB1.DriverDLL;
    try {
        db.Open();
        if (wanted > 0 && db.PageSize() != wanted)
            db.ChangePageSize(wanted);
        db.Close();
    } catch (...) {
        db.Close();
        throw;
    }
}

} // namespace

TAutoSicherungSettings ReadAutoSicherungSettings(TDM& dm) {
    TAutoSicherungSettings s;
    s.Enabled = dm.GetAllg(kAutoSicherungKey) != QLatin1String("N");
    bool ok = false;
    const int copies = dm.GetAllg(kAutoSicherungAnzahlKey).toInt(&ok);
    s.Copies = ok && copies >= 1 ? copies : kAutoSicherungAnzahlDefault;
    return s;
}

void WriteAutoSicherungSettings(TDM& dm, const TAutoSicherungSettings& settings) {
    dm.SetAllg(kAutoSicherungKey, settings.Enabled ? QStringLiteral("J") : QStringLiteral("N"));
    dm.SetAllg(kAutoSicherungAnzahlKey, QString::number(qMax(1, settings.Copies)));
}

QString DefaultBackupFileName() {
    QString folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (folder.isEmpty() || !QFileInfo(folder).isDir())
        folder = QDir::homePath();
    return folder + QStringLiteral("/Quorvent-") +
           QDate::currentDate().toString(QStringLiteral("yyyy-MM-dd")) + QStringLiteral(".DB");
}

void BackupDatabase(TDM& dm, const QString& target, const std::function<bool(int, int)>& progress) {
    if (target.trimmed().isEmpty())
        throw ESQLiteError(QStringLiteral("Es wurde keine Zieldatei angegeben!"));
    dm.SQLiteDB1.BackupTo(target, progress);
}

QString AutoBackupFolder() {
    return DataFolder(QStringLiteral("Sicherungen"));
}

QString AutoBackupFolder(const QString& dbFile) {
    // The full path tells two databases of the same name apart; the name
    // keeps the folder recognisable for a person looking for a copy.
    QByteArray path = EncodeFileName(dbFile);
    if (char* real = ::realpath(path.constData(), nullptr)) {
        path = real;
        std::free(real);
    }
    const QString id =
        QString::fromLatin1(QCryptographicHash::hash(path, QCryptographicHash::Sha1).toHex().left(8));
    const QString name = Printable(QFileInfo(dbFile).fileName());
    return AutoBackupFolder() + (name.isEmpty() ? QStringLiteral("Quorvent") : name) + u'_' + id + u'/';
}

QStringList AutomaticBackups(const QString& dbFile) {
    return BackupsIn(AutoBackupFolder(dbFile), dbFile) + BackupsIn(AutoBackupFolder(), dbFile);
}

void RemoveAbandonedBackupCopies(const QString& dbFile) {
    const qsizetype slash = dbFile.lastIndexOf(u'/');
    RemoveAbandonedCopies(slash < 0 ? QStringLiteral(".") : dbFile.left(qMax<qsizetype>(slash, 1)));
    RemoveAbandonedCopies(AutoBackupFolder(dbFile));
    RemoveAbandonedCopies(DataFolder(QStringLiteral("updatebackup")));
}

QString AutomaticBackup(TDM& dm, int keep, const std::function<bool(int, int)>& progress,
                        const QString& spare) {
    const QString dbFile = dm.SQLiteDB1.FileName;
    const QString folder = AutoBackupFolder(dbFile);
    if (!CreateFolderPath(folder))
        throw ESQLiteError(QStringLiteral("Der Ordner ") + folder +
                           QStringLiteral(" für die automatischen Sicherungen kann nicht angelegt werden!"));
    const QString stem = folder + BaseNameOf(dbFile) + u'_' +
                         QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd_HH-mm-ss"));
    // A second copy within the same second gets the next serial number, never
    // a lower one that the rotation has freed: the name must keep its order.
    int serial = FileNameExists(stem + QStringLiteral(".DB")) ? 1 : 0;
    const QString prefix = QFileInfo(stem).fileName() + u'-';
    for (const QString& path : BackupsIn(folder, dbFile)) {
        const QString name = QFileInfo(path).fileName();
        if (name.startsWith(prefix))
            serial = qMax(serial, name.mid(prefix.size()).chopped(3).toInt());
    }
    QString target = serial == 0 ? stem + QStringLiteral(".DB")
                                 : stem + u'-' + QString::number(serial + 1) + QStringLiteral(".DB");
    dm.SQLiteDB1.BackupTo(target, progress);
    // Only after a good copy exists may an old one go; the copies of the
    // time before each database had a folder of its own are left alone, since
    // nobody can tell which database they belong to.
    const QStringList all = BackupsIn(folder, dbFile);
    for (qsizetype i = qMax(1, keep); i < all.size(); ++i)
        if (spare.isEmpty() || !SameFile(all[i], spare))
            RemoveWithCompanions(all[i]);
    return target;
}

QString BackupOnClose(TDM& dm) {
    if (!dm.SQLiteDB1.Connected())
        return QString();
    const TAutoSicherungSettings s = ReadAutoSicherungSettings(dm);
    if (!s.Enabled)
        return QString();
    return AutomaticBackup(dm, s.Copies);
}

QString RestoreDatabase(TDM& dm, const QString& file, const std::function<void(int, int)>& progress) {
    const QString current = dm.SQLiteDB1.FileName;
    if (file.trimmed().isEmpty())
        throw ESQLiteError(QStringLiteral("Es wurde keine Sicherungsdatei angegeben!"));
    if (!FileNameExists(file) || QFileInfo(file).isDir())
        throw ESQLiteError(QStringLiteral("Die Datei ") + file + QStringLiteral(" existiert nicht!"));
    if (SameFile(file, current))
        throw ESQLiteError(QStringLiteral("Die Datei ") + file +
                           QStringLiteral(" ist die geöffnete Datenbank selbst!"));

    // Everything that can fail with the backup is done on a copy beside the
    // current file, so the current data are not touched until the copy is
    // known to be good. The name carries this process's number, so what a
    // killed restore leaves is recognised and removed at the next start.
    const QString staging = TemporaryCopyName(current + QStringLiteral(".ruecksicherung"));
    // The three copies (the backup in, the current data out, the checked copy
    // into the database) each fill a third of the progress, in thousandths.
    auto part = [&progress](int which) -> TBackupProgress {
        if (!progress)
            return {};
        return [&progress, which](int done, int total) {
            progress(which * 333 + (total > 0 ? int(qint64(done) * 333 / total) : 333), 999);
            return true;
        };
    };
    try {
        try {
            CopyDatabaseFile(file, staging, dm.SQLiteDB1.DriverDLL, part(0));
        } catch (const ESQLiteError& e) {
            throw ESQLiteError(QStringLiteral("Die Datei ") + file +
                               QStringLiteral(" ist keine lesbare Quorvent-Datenbank oder beschädigt!\n") +
                               e.message());
        }
        CheckQuorventDatabase(staging, file);
        UpgradeCopy(staging, dm.SQLiteDB1.DriverDLL);
        MatchPageSize(dm, staging);
    } catch (...) {
        RemoveWithCompanions(staging);
        throw;
    }

    QString saved;
    try {
        // The backup being restored may be the oldest automatic one; the
        // rotation must not take it away now.
        saved = AutomaticBackup(dm, ReadAutoSicherungSettings(dm).Copies, part(1), file);
    } catch (const ESQLiteError& e) {
        RemoveWithCompanions(staging);
        throw ESQLiteError(QStringLiteral("Vor dem Rücksichern konnten die aktuellen Daten nicht gesichert "
                                          "werden; es wurde nichts verändert.\n") +
                           e.message());
    }

    // Written into the open database rather than put in place of its file:
    // another program that has the file open then sees the restored data
    // instead of keeping the old file, and SQLite's locking refuses while
    // that program is in the middle of a change.
    try {
        RestoreDatabaseContent(dm.SQLiteDB1, staging, part(2));
    } catch (const ESQLiteError& e) {
        RemoveWithCompanions(staging);
        if (e.code() == SQLITE_BUSY || e.code() == SQLITE_LOCKED)
            throw ESQLiteError(QStringLiteral("Die Datenbank ") + current +
                               QStringLiteral(" wird noch von einem anderen Programm verwendet; es wurde "
                                              "nichts verändert."));
        throw ESQLiteError(QStringLiteral("Die Datenbank ") + current +
                           QStringLiteral(" konnte nicht ersetzt werden; es wurde nichts verändert.\n") +
                           e.message());
    }
    RemoveWithCompanions(staging);
    // Every dataset starts afresh on the new content.
    dm.OpenDatabaseFile(current);
    return saved;
}

int RunBackupCommand(const QStringList& args, QTextStream& out, QTextStream& err) {
    if (args.size() != 2 || args[0].isEmpty() || args[1].isEmpty()) {
        err << QStringLiteral("Aufruf: quorvent --backup DATEI ZIELDATEI") << Qt::endl;
        return 1;
    }
    if (OutputIsDatabase(args[0], args[1], err))
        return 1;
    try {
        CopyDatabaseFile(args[0], args[1], TSQLiteDB().DriverDLL);
    } catch (const ESQLiteError& e) {
        err << e.message() << Qt::endl;
        return 1;
    } catch (const std::exception& e) {
        err << QString::fromLocal8Bit(e.what()) << Qt::endl;
        return 1;
    }
    out << QStringLiteral("Die Daten wurden in ") << args[1] << QStringLiteral(" gesichert.") << Qt::endl;
    return 0;
}
