// Copies of database files in progress, and writing a whole database into an
// open connection, both through SQLite's online backup.
#pragma once

#include "SQLite.h"

#include <QString>

// The name a copy of `target` is written under before it replaces `target`:
// beside it, unique per process and copy, with the number of the writing
// process in it ("<target>.tmp<pid>-<n>").
QString TemporaryCopyName(const QString& target);
// Removes from `folder` the temporary copies (with their side files) that
// processes left which no longer run: a copy killed half-way can be as large
// as the database. Copies of running processes stay, as does every file that
// is not a database of such a name.
void RemoveAbandonedCopies(const QString& folder);
// The process with this number runs on this machine (this process included).
bool ProcessRunning(qint64 pid);

// Replaces the whole content of the database `db` is connected to by that of
// the database file `source`, in one write transaction of `db`: SQLite's
// locking refuses (after the busy time-out, code SQLITE_BUSY or
// SQLITE_LOCKED) while another connection reads or writes the file, a failure
// changes nothing, and every other connection sees the new content at its
// next read. Not possible during a transaction of `db`; statements `db` keeps
// compiled must be prepared anew afterwards (reconnect). `progress` is told
// the pages written; its answer is ignored. Raises ESQLiteError.
void RestoreDatabaseContent(TSQLiteDB& db, const QString& source, const TBackupProgress& progress = {});
