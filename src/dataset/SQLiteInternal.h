// Helpers shared by the dataset layer's own source files; not for other folders.
#pragma once

#include "SQLite.h"

#include <limits>
#include <vector>

// The type an expression column takes from a text value of its first row.
TFieldType TypeOfTextValue(const QString& text);

// A buffered value as the field's text (what AsString and Locate compare).
QString FieldValueText(const QVariant& value, TFieldType type);

// A value converted to what a field of this type holds in the buffer; throws
// ESQLiteError for a text that is no valid number or date.
QVariant ToFieldValue(const QVariant& value, TFieldType type);

bool IsBlobType(TFieldType type);

// The German text of an SQLite result code as error messages begin with it
// ("SQL-Error-Code: " + number for a code without a text; empty for 0, 100, 101).
QString SQLiteCodeText(int code);

// A value bound to a statement parameter.
struct TSQLParam {
    enum Kind { Null, Int, Double, Text, Blob } kind = Null;
    qint64 i = 0;
    double d = 0;
    QByteArray bytes; // Windows-1252 text or blob content
};

// Per Locate key column, a copy of the buffer's values that repeated searches
// compare instead of the texts; dropped whenever the buffer changes.
struct TSQLiteBaseQuery::TKeyColumns {
    int searches = 0; // Locate calls since the buffer last changed
    struct Column {
        bool built = false;
        bool usable = false;
        bool integers = false;      // values holds the integers, else hashes of the texts
        std::vector<qint64> values; // integer or text hash per row; kNull for NULL integers
    };
    std::vector<Column> columns;
    static constexpr qint64 kNull = std::numeric_limits<qint64>::min();
};
