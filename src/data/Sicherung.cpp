#include "Sicherung.h"

#include "FileNames.h"
#include "GlobalFunctions.h"
#include "UDM.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTextStream>

namespace {

// SQLite keeps these beside a database while a connection writes it.
const char* const Companions[] = {"-journal", "-wal", "-shm"};

void RemoveWithCompanions(const QString& file) {
    RemoveFileName(file);
    for (const char* suffix : Companions)
        RemoveFileName(file + QLatin1String(suffix));
}

QString BaseNameOf(const QString& dbFile) {
    const QString base = QFileInfo(dbFile).completeBaseName();
    return base.isEmpty() ? QStringLiteral("Quorvent") : base;
}

// <database name>_JJJJ-MM-TT_hh-mm-ss.DB, with "-2", "-3" ... for a second
// copy within the same second; the names sort by their time.
QRegularExpression AutoBackupPattern(const QString& dbFile) {
    return QRegularExpression(QStringLiteral("^") + QRegularExpression::escape(BaseNameOf(dbFile)) +
                              QStringLiteral("_\\d{4}-\\d\\d-\\d\\d_\\d\\d-\\d\\d-\\d\\d(-\\d+)?\\.DB$"));
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
            q.RunSQL(QStringLiteral("SELECT COUNT(*) AS ANZ FROM sqlite_master WHERE type = 'table' and "
                                    "name = '") +
                     QLatin1String(table) + u'\'');
            if (q.FieldByName(QStringLiteral("ANZ"))->AsInteger() == 0)
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

QStringList AutomaticBackups(const QString& dbFile) {
    const QRegularExpression pattern = AutoBackupPattern(dbFile);
    QStringList found;
    const QDir dir(AutoBackupFolder());
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

QString AutomaticBackup(TDM& dm, int keep, const std::function<bool(int, int)>& progress) {
    const QString folder = AutoBackupFolder();
    if (!CreateFolderPath(folder))
        throw ESQLiteError(QStringLiteral("Der Ordner ") + folder +
                           QStringLiteral(" für die automatischen Sicherungen kann nicht angelegt werden!"));
    const QString dbFile = dm.SQLiteDB1.FileName;
    const QString stem = folder + BaseNameOf(dbFile) + u'_' +
                         QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd_HH-mm-ss"));
    // A second copy within the same second gets the next serial number, never
    // a lower one that the rotation has freed: the name must keep its order.
    int serial = FileNameExists(stem + QStringLiteral(".DB")) ? 1 : 0;
    const QString prefix = QFileInfo(stem).fileName() + u'-';
    for (const QString& path : AutomaticBackups(dbFile)) {
        const QString name = QFileInfo(path).fileName();
        if (name.startsWith(prefix))
            serial = qMax(serial, name.mid(prefix.size()).chopped(3).toInt());
    }
    QString target = serial == 0 ? stem + QStringLiteral(".DB")
                                 : stem + u'-' + QString::number(serial + 1) + QStringLiteral(".DB");
    dm.SQLiteDB1.BackupTo(target, progress);
    // Only after a good copy exists may an old one go.
    const QStringList all = AutomaticBackups(dbFile);
    for (qsizetype i = qMax(1, keep); i < all.size(); ++i)
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
    if (QFileInfo(file).canonicalFilePath() == QFileInfo(current).canonicalFilePath())
        throw ESQLiteError(QStringLiteral("Die Datei ") + file +
                           QStringLiteral(" ist die geöffnete Datenbank selbst!"));

    // Everything that can fail with the backup is done on a copy beside the
    // current file, so the current file is not touched until the copy is
    // known to be good, and the final step is one rename on the same disk.
    const QString staging = current + QStringLiteral(".ruecksicherung");
    // Each of the two copies fills one half of the progress, in thousandths.
    auto half = [&progress](int which) -> TBackupProgress {
        if (!progress)
            return {};
        return [&progress, which](int done, int total) {
            progress(which * 500 + (total > 0 ? int(qint64(done) * 500 / total) : 500), 1000);
            return true;
        };
    };
    RemoveWithCompanions(staging);
    try {
        try {
            CopyDatabaseFile(file, staging, dm.SQLiteDB1.DriverDLL, half(0));
        } catch (const ESQLiteError& e) {
            throw ESQLiteError(QStringLiteral("Die Datei ") + file +
                               QStringLiteral(" ist keine lesbare Quorvent-Datenbank oder beschädigt!\n") +
                               e.message());
        }
        CheckQuorventDatabase(staging, file);
        UpgradeCopy(staging, dm.SQLiteDB1.DriverDLL);
    } catch (...) {
        RemoveWithCompanions(staging);
        throw;
    }

    QString saved;
    try {
        saved = AutomaticBackup(dm, ReadAutoSicherungSettings(dm).Copies, half(1));
    } catch (const ESQLiteError& e) {
        RemoveWithCompanions(staging);
        throw ESQLiteError(QStringLiteral("Vor dem Rücksichern konnten die aktuellen Daten nicht gesichert "
                                          "werden; es wurde nichts verändert.\n") +
                           e.message());
    }

    dm.SQLiteDB1.Close();
    auto reopenCurrent = [&] {
        RemoveWithCompanions(staging);
        try {
            dm.OpenDatabaseFile(current);
        } catch (...) {
            // The first error is the one the user needs; the caller sees the
            // connection closed.
        }
    };
    // A journal or write-ahead log still beside the file belongs to another
    // program that has the database open; replacing the file under it would
    // mix its pending changes into the restored data.
    for (const char* suffix : {"-journal", "-wal"}) {
        if (QFileInfo(current + QLatin1String(suffix)).size() > 0) {
            reopenCurrent();
            throw ESQLiteError(QStringLiteral("Die Datenbank ") + current +
                               QStringLiteral(" wird noch von einem anderen Programm verwendet; es wurde "
                                              "nichts verändert."));
        }
    }
    RemoveFileName(current + QStringLiteral("-shm"));
    if (!RenameFileName(staging, current)) {
        reopenCurrent();
        throw ESQLiteError(QStringLiteral("Die Datenbank ") + current +
                           QStringLiteral(" konnte nicht ersetzt werden; es wurde nichts verändert."));
    }
    RemoveWithCompanions(staging);
    dm.OpenDatabaseFile(current);
    return saved;
}

int RunBackupCommand(const QStringList& args, QTextStream& out, QTextStream& err) {
    if (args.size() < 2 || args[0].isEmpty() || args[1].isEmpty()) {
        err << QStringLiteral("Aufruf: quorvent --backup DATEI ZIELDATEI") << Qt::endl;
        return 1;
    }
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
