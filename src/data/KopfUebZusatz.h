// One more column of the document list: its name and an SQL expression over
// the header K, set by a module that keeps data of its own about documents
// (the payments' paid / partly paid / open mark). It is listed only while the
// table it reads exists, so a database without that table still lists.
#pragma once

#include <QString>

struct TKopfUebZusatz {
    QString Name;
    QString SQL;
    QString Tabelle;
};
extern TKopfUebZusatz KopfUebZusatz;
