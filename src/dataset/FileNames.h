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
