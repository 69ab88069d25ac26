// Helpers that know the program's settings tables and document types.
#pragma once

#include <QString>

class TSQLiteDB;
class TSQLiteQuery;

// The SMTP settings as stored in set_allg.
struct TMailSetting {
    QString Host;
    QString User;
    QString Password;
    bool Auth = false; // set_allg MailAuth is exactly "J"
    // MailCAFile: certificates to trust for TLS instead of the system's; empty for those.
    QString CaFile;
};

// Reads one set_allg value through the given query; empty when missing or NULL.
QString ReadAllgSetting(TSQLiteQuery& query, const QString& key);
// The same value read whole, not cut to the column's 30 characters; for the
// program's own settings that may be longer (a file path, a legal note).
QString ReadAllgText(TSQLiteDB& db, const QString& key);

// The mail settings, read in the order host, user, password, authentication,
// certificate file.
TMailSetting GetMailSetting(TSQLiteQuery& query);

// Reads the number range numTyp. With advance the number is taken: the range
// moves on by one and the number read before is returned. The increment runs
// in its own transaction unless the caller already has one open, in which case
// it becomes part of it. A range without a row gives 0 and changes nothing.
int GetNumber(TSQLiteQuery& query, const QString& numTyp, bool advance);

// A remembered file path from set_file, with doubled backslashes made single.
QString GetFileSetting(TSQLiteQuery& query, const QString& fileId);

// The German name of a document type letter ("Rechnung"); empty for an unknown letter.
QString DokTypName(const QString& kopfTyp);
// The name with its article ("die Rechnung"), the first letter in upper case
// when capital is set ("Die Rechnung"); empty for an unknown letter.
QString DokTypMitArtikel(const QString& kopfTyp, bool capital = false);
