// File names as the bytes this system stores them with.
//
// A path is a string of bytes here, and not every byte string is UTF-8 (a
// folder copied from an old Latin-1 system, a USB stick). Qt decodes such
// bytes into replacement characters, so the name it hands back opens (or
// creates) a different file. These functions keep every byte: UTF-8 is
// decoded as usual, and each byte that is not part of valid UTF-8 is held as
// one lone surrogate U+DC80..U+DCFF, which no valid name can contain. Names
// decoded here must reach the file system through these functions (or
// through the dataset layer, which uses them), not through QFile.
#pragma once

#include <QByteArray>
#include <QString>

// The bytes of a file name; the exact inverse of DecodeFileName.
QByteArray EncodeFileName(const QString& name);
// A file name from the bytes of the command line, a settings file or the
// file system; EncodeFileName gives the same bytes back.
QString DecodeFileName(const QByteArray& bytes);

// The file or folder exists.
bool FileNameExists(const QString& name);
// Creates the folder with every missing parent; true when it exists afterwards.
bool CreateFolderPath(const QString& folder);
// Renames a file, replacing a file of the new name (one atomic step).
bool RenameFileName(const QString& from, const QString& to);
// Removes a file; true when it is gone afterwards (also when it never was there).
bool RemoveFileName(const QString& name);
// The name leads to a folder (links followed).
bool IsFolderName(const QString& name);
// The folder part of a file name: "." for a bare name, "/" for one in the root.
QString FolderOfFileName(const QString& name);
// The name leads to a regular file (links followed): not missing, no folder, no device.
bool IsRegularFileName(const QString& name);

// `target` is the database file `database` or one of the files SQLite keeps
// beside it while it is in use (-journal, -wal, -shm). The files themselves
// are compared, not their names: "./X", an absolute path, a folder reached
// through a symbolic link, a link to the file and a second hard link all lead
// to the same file. A name that does not exist (yet) is compared by its
// folder and its file name, since SQLite creates the journal when it needs it.
bool IsDatabaseOrCompanion(const QString& database, const QString& target);

// What the system's error number `error` (errno) means, as a German phrase
// that can follow a colon ("auf dem Datenträger ist kein Platz mehr frei").
QString SystemErrorText(int error);

// Writes `data` into `file` whole or not at all: into a new file in the same
// folder, through to the disk, then renamed over the old one in one step, so
// that every reader sees the old or the new content and a failure leaves the
// old file as it was. A symbolic link stays a link (the file it leads to is
// replaced); a device or pipe (/dev/stdout) is written directly. Returns an
// empty string on success, else a German message that names the file.
QString WriteWholeFile(const QString& file, const QByteArray& data);
