// Guards shared by the rules of the master-data tables (customers, suppliers,
// articles): the in-use guard that runs before a record is deleted or given
// another number, and the check that typed text can be stored at all.
#pragma once

#include <QList>
#include <QMap>
#include <QString>

class TSQLiteBaseQuery;
class TSQLiteQuery;
class TSQLiteTable;

// One reason why a record is still in use: a count statement that ends with
// "= " (the record's number is appended) and the ending of the warning.
struct TInUseCheck {
    QString countSQL; // e.g. "select count(*) as anz from Kopf where KundenID = "
    QString ending;   // e.g. ", da der Kunde noch einem Auftrag zugeordnet ist!"
};

// Refuses (RefuseWithWarning) with prefix + ending at the first reason that
// applies: number "0" refuses with zeroEnding before any count runs (record 0
// is built in and must keep existing); then each count in order, run on
// query, refuses when it finds a row. The number must be the decimal text of
// a whole number; anything else is refused too, so it never reaches the SQL.
void RefuseWhenInUse(TSQLiteQuery& query, const QString& number, const QString& prefix,
                     const QString& zeroEnding, const QList<TInUseCheck>& checks);

// Refuses the save of the current record when one of its text fields holds a
// character that the database's character set (Windows-1252) cannot store, so
// that the user sees which field to correct instead of a database error.
// labels maps column names to the captions the user sees; a column without
// one is named by itself.
void RefuseUnstorableText(TSQLiteBaseQuery* dataSet, const QMap<QString, QString>& labels);

// Refuses the save when a percentage column holds a value outside 0 to 100.
// An empty column is accepted.
void RefuseBadPercent(TSQLiteBaseQuery* dataSet, const QString& field, const QString& warning);

// The checks every price line shares, of an article or of a document
// position, in this order: quantity, unit, amount and VAT rate given
// (missingRate is the warning of the last, worded differently by the two
// screens), quantity and amount within ±9999,99, the rate within 0 to 100,
// the two designations at most 100 characters, and text that can be stored.
void RefusePriceLine(TSQLiteBaseQuery* dataSet, const QString& missingRate);

// Moves table to the record that is current in its list query (the record the
// user chose) and tells whether it was found. keyField may name several
// columns separated by ";" (a document is found by type and number). When it was not, the table is
// closed, so a record form can never open whatever row happened to be current.
bool LocateChosenRecord(TSQLiteTable& table, TSQLiteQuery& list, const QString& keyField);
