// Database files of an older schema version, filled with sample data, for the
// upgrade tests.
#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

namespace OldDatabases {

// Creates file in the layout of the given schema version (0 to 16) through
// the program's own creation phase and upgrade steps, and fills it with
// sample customers, a supplier, articles with price lines and documents with
// positions in that layout (a name with an apostrophe, umlauts). A file at
// version 10 lacks customer 0, as users of that version could delete it.
// The file is closed when the function returns; the backup copies the build
// leaves behind are removed.
void Build(const QString& file, int version);

// Runs a SELECT on the file through its own plain SQLite connection and
// returns the rows, one per line, their values joined by "|" (NULL as
// "<NULL>", text decoded from Windows-1252). Independent of the dataset layer,
// so the tests see exactly what is stored.
QString RawRows(const QString& file, const QString& sql);

// Leaves at `target` what a program that crashed right after running the
// statements on `source` leaves behind. `source` is opened with a connection
// of its own (a cache of a few pages, no automatic checkpoint), the
// statements run, and the file is copied to `target` together with its
// journal or WAL while that connection is still open; then the connection
// closes without committing. A transaction left open whose change outgrew
// the cache has already written part of it into the file, so the copy alone
// holds uncommitted data that only its journal can roll back; rows committed
// in WAL mode are still only in the WAL.
void CrashCopy(const QString& source, const QString& target, const QStringList& statements);

// Runs a SELECT like RawRows on a copy of the file alone, without its journal
// or WAL: what copying the file by hand would have kept.
QString PlainCopyRows(const QString& file, const QString& sql);

// The names in a folder as bytes; QDir cannot list (or even open) a folder
// whose name is not UTF-8.
QList<QByteArray> RawEntries(const QByteArray& folder);

// The sample values the tests look for after an upgrade.
inline const QString CustomerFirma = QStringLiteral("O'Brien & Söhne");
inline const QString CustomerNachname = QStringLiteral("Müller");
inline const QString CustomerATUNr = QStringLiteral("ATU11111111");
inline const QString CompanyName = QStringLiteral("Huber's Werkstätte");
inline const QString CompanyKopfText = QStringLiteral("Vielen Dank für Ihren Auftrag");
inline const QString CompanyFussText = QStringLiteral("Grüße aus dem Ötztal");
inline const QString ArticleKurzBez = QStringLiteral("Schraube M4");
inline const QString DocumentKopfBez = QStringLiteral("Rechnung Größe 'L'");

} // namespace OldDatabases
