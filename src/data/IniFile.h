// One string of an INI file by section and key, read and written the way
// Windows programs treat INI files: a value is the rest of its line, taken as
// it stands. A comma or a semicolon is part of the value (QSettings would read
// "C:/Daten, alt/Quorvent.DB" as a list), and the bytes of a path that are
// not UTF-8 survive (see FileNames.h).
#pragma once

#include <QString>

// The value of `key` in `section` (both compared without regard to case),
// trimmed, with one pair of enclosing quotes removed; `defaultValue` when the
// file, the section or the key is missing. An empty value is empty.
QString ReadIniString(const QString& file, const QString& section, const QString& key,
                      const QString& defaultValue = QString());

// Sets `key` in `section`, creating the file, the section or the key as
// needed and keeping every other line. The value is quoted when reading it
// back would otherwise change it (blanks at its ends, enclosing quotes).
// False when the file cannot be written or the value holds a line break.
bool WriteIniString(const QString& file, const QString& section, const QString& key, const QString& value);
