// Backup and restore of the whole database file, and the automatic backups
// the program keeps of it. A small business keeps years of invoices in this
// one file; these are the ways to get a good copy of it out and back in.
#pragma once

#include <QString>
#include <QStringList>

#include <functional>

class QTextStream;
class TDM;

// The set_allg keys of the automatic backup on close: "J"/"N" (empty counts
// as on) and the number of copies kept (empty or not a number: 10).
inline const QString kAutoSicherungKey = QStringLiteral("AutoSicherung");
inline const QString kAutoSicherungAnzahlKey = QStringLiteral("AutoSicherungAnzahl");
constexpr int kAutoSicherungAnzahlDefault = 10;

struct TAutoSicherungSettings {
    bool Enabled = true;
    int Copies = kAutoSicherungAnzahlDefault;
};
TAutoSicherungSettings ReadAutoSicherungSettings(TDM& dm);
void WriteAutoSicherungSettings(TDM& dm, const TAutoSicherungSettings& settings);

// The proposed name of a backup the user starts: Quorvent-JJJJ-MM-TT.DB in
// the user's documents folder.
QString DefaultBackupFileName();

// A consistent copy of the open database in `target`, taken through SQLite's
// online backup and checked with PRAGMA integrity_check; `target` is only
// replaced by a good copy. Raises ESQLiteError with a German message.
// `progress` is told the pages copied (done of total) and may cancel the copy
// by returning false ("Die Sicherung wurde abgebrochen.", no copy left).
void BackupDatabase(TDM& dm, const QString& target,
                    const std::function<bool(int done, int total)>& progress = {});

// The folder of the automatic backups: DataFolder() + "Sicherungen/". Up to
// now it held the copies of every database side by side.
QString AutoBackupFolder();
// The folder of the automatic backups of the database file `dbFile`: a
// sub-folder of AutoBackupFolder() of its own, named after the file name and
// its full path, so that two databases of the same name (two companies, each
// with Quorvent.DB in its own folder) never rotate each other's copies away.
QString AutoBackupFolder(const QString& dbFile);
// Takes an automatic backup of the open database into its
// AutoBackupFolder(file) (named after the database file with date and time)
// and then removes the oldest copies there beyond `keep`, never the file
// `spare` (the backup a restore is taking). Returns the copy's path; raises
// ESQLiteError when the copy fails. `progress` as for BackupDatabase.
QString AutomaticBackup(TDM& dm, int keep, const std::function<bool(int done, int total)>& progress = {},
                        const QString& spare = {});
// The automatic backups of the database file `dbFile`, newest first: those
// of its own folder, then those of its name from the time before each
// database had a folder of its own (they may be another database's and are
// never removed).
QStringList AutomaticBackups(const QString& dbFile);
// Removes what killed copies left (RemoveAbandonedCopies) beside the database
// `dbFile`, in its folder of automatic backups and in the upgrade copies.
void RemoveAbandonedBackupCopies(const QString& dbFile);
// The automatic backup on an orderly close when the settings ask for one.
// Returns the copy's path, empty when switched off; raises ESQLiteError.
QString BackupOnClose(TDM& dm);

// Replaces the open database by the backup `file`: refuses anything that is
// not a Quorvent database or is newer than this program's schema, takes an
// automatic backup of the current data first, brings the restored copy up to
// date and reconnects `dm` to it. Every failure raises ESQLiteError with a
// German message and leaves the current database as it was (and connected).
// Returns the path of the automatic backup of the data that was replaced.
// `progress` is told how far the two copies (the backup in, the current data
// out) have come, as done of total over both; a restore cannot be cancelled.
QString RestoreDatabase(TDM& dm, const QString& file,
                        const std::function<void(int done, int total)>& progress = {});

// "quorvent --backup FILE OUT": a checked copy of FILE in OUT without any
// window and without changing FILE. 0 on success (the German success line on
// out), 1 with a German error on err otherwise.
int RunBackupCommand(const QStringList& args, QTextStream& out, QTextStream& err);
