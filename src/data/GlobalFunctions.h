// Small helpers without knowledge of the application's tables: SQL literals,
// date texts, number texts, folders.
#pragma once

#include <QDate>
#include <QDateTime>
#include <QString>

// Text as an SQL literal: trimmed, single quotes doubled, in single quotes.
// An empty text (or the text NULL) becomes NULL without quotes.
QString SQLQuote(const QString& text);

// yyyy-mm-dd
QString DateToSQL(const QDate& date);
QString DateToSQL(const QDateTime& dateTime);
// yyyy-mm-dd hh:nn:ss
QString DateTimeToSQL(const QDateTime& dateTime);
// The date of a yyyy-mm-dd text (a time after it is ignored). Throws
// ESQLiteError when the text holds no possible date.
QDate SQLToDate(const QString& text);

// Zeros put in front of text until it is width characters long.
QString PadZeros(const QString& text, int width);

// The amount with two decimals in the user's locale, no thousands separator, and " EUR".
QString FormatEuro(double amount);

// A 32-bit version value as "major.minor" (upper and lower 16 bits).
QString VersionToString(quint32 version);
// The program's own version (major in the upper, minor in the lower 16 bits).
quint32 ProgramVersion();

// The folder of the program's executable, ending in "/". Without a running
// application object: the current folder.
QString ProgramFolder();

// The folder of the files the program ships (report definition, help page),
// ending in "/": beside the executable in a build folder, share/quorvent/ of
// the prefix (../share/quorvent/ from bin/) when installed.
QString ResourceFolder();

// The program's data folder ($XDG_DATA_HOME, by default ~/.local/share, then
// Brenholm/Quorvent/), created when missing; the program's folder when it
// cannot be created. A given sub-folder name is appended with a "/" (the
// sub-folder itself is not created).
QString DataFolder(const QString& sub = QString());
