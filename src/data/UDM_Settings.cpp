#include "GlobalFunctions.h"
#include "QuorventFunctions.h"
#include "UDM.h"

void TDM::SetAllg(const QString& key, const QString& value) {
    Query1.RunSQL(QStringLiteral("select count(*) as anz from set_allg where AllgID = ") + SQLQuote(key));
    if (Query1.FieldByName(QStringLiteral("anz"))->AsInteger() != 0)
        Query1.RunSQL(QStringLiteral("update set_allg set AllgWert = ") + SQLQuote(value) +
                      QStringLiteral(" where AllgID = ") + SQLQuote(key));
    else
        Query1.RunSQL(QStringLiteral("insert into set_allg values (") + SQLQuote(key) + u',' +
                      SQLQuote(value) + u')');
}

QString TDM::GetAllg(const QString& key) {
    return ReadAllgSetting(Query1, key);
}

QString TDM::GetAllgText(const QString& key) {
    return ReadAllgText(SQLiteDB1, key);
}
