// A forward-only reader of one statement's result, for lists of many thousand
// rows that are read once and summed or copied into a model of their own.
//
// Unlike a dataset it keeps no buffer, no field objects and no variants: each
// value is read from the current row when asked for. Text arrives decoded from
// Windows-1252 like everywhere else; dates are read from their leading
// "yyyy-mm-dd" without going through a time zone.
#pragma once

#include <QDate>
#include <QString>

struct sqlite3_stmt;
class TSQLiteDB;

class TSQLiteCursor {
public:
    // Prepares `sql` and raises the connection's ESQLiteError when it fails.
    TSQLiteCursor(TSQLiteDB& db, const QString& sql);
    ~TSQLiteCursor();
    TSQLiteCursor(const TSQLiteCursor&) = delete;
    TSQLiteCursor& operator=(const TSQLiteCursor&) = delete;

    // Steps to the next row; false after the last one.
    bool Next();

    bool IsNull(int column) const;
    qint64 Int(int column) const;
    double Float(int column) const;
    QString Text(int column) const;
    // The first character of a text column, 0 for NULL or empty.
    char Char(int column) const;
    // An invalid date for NULL or a text that does not start with a date.
    QDate Date(int column) const;

private:
    TSQLiteDB& FDB;
    QString FSQL;
    sqlite3_stmt* FStmt = nullptr;
};
