#include "SQLiteCursor.h"

#include "SQLite.h"
#include "SQLiteAPI.h"
#include "Win1252.h"

namespace {

int Digits(const unsigned char* t, int from, int count) {
    int v = 0;
    for (int i = from; i < from + count; ++i) {
        if (t[i] < '0' || t[i] > '9')
            return -1;
        v = v * 10 + (t[i] - '0');
    }
    return v;
}

} // namespace

TSQLiteCursor::TSQLiteCursor(TSQLiteDB& db, const QString& sql) : FDB(db), FSQL(sql) {
    db.LogSQL(sql);
    if (!db.Connected())
        db.RaiseError(0, {}, QStringLiteral("Es wurde noch keine Verbindung zur Datenbank hergestellt!"));
    const TSQLiteAPI& api = db.Api();
    const QByteArray bytes = Win1252::encode(sql);
    const int rc = api.Prepare(db.Handle(), bytes.constData(), &FStmt);
    if (rc != 0)
        db.RaiseError(rc, sql, Win1252::decode(QByteArray(api.errmsg(db.Handle()))));
    if (!FStmt)
        db.RaiseError(0, sql, QStringLiteral("Die folgende SQL-Anweisung konnte nicht vorbereitet werden:"));
}

TSQLiteCursor::~TSQLiteCursor() {
    if (FStmt)
        FDB.Api().finalize(FStmt);
}

bool TSQLiteCursor::Next() {
    const TSQLiteAPI& api = FDB.Api();
    const int rc = api.step(FStmt);
    if (rc == SQLITE_ROW)
        return true;
    if (rc != SQLITE_DONE)
        FDB.RaiseError(rc, FSQL, Win1252::decode(QByteArray(api.errmsg(FDB.Handle()))));
    return false;
}

bool TSQLiteCursor::IsNull(int column) const {
    return FDB.Api().column_type(FStmt, column) == SQLITE_NULL;
}

qint64 TSQLiteCursor::Int(int column) const {
    return FDB.Api().ColumnInt64(FStmt, column);
}

double TSQLiteCursor::Float(int column) const {
    return FDB.Api().column_double(FStmt, column);
}

QString TSQLiteCursor::Text(int column) const {
    const TSQLiteAPI& api = FDB.Api();
    const auto* t = reinterpret_cast<const char*>(api.column_text(FStmt, column));
    return t ? Win1252::decode(t, api.column_bytes(FStmt, column)) : QString();
}

char TSQLiteCursor::Char(int column) const {
    const auto* t = FDB.Api().column_text(FStmt, column);
    return t ? char(t[0]) : '\0';
}

QDate TSQLiteCursor::Date(int column) const {
    const TSQLiteAPI& api = FDB.Api();
    const auto* t = api.column_text(FStmt, column);
    if (!t || api.column_bytes(FStmt, column) < 10 || t[4] != '-' || t[7] != '-')
        return QDate();
    const int y = Digits(t, 0, 4), m = Digits(t, 5, 2), d = Digits(t, 8, 2);
    return y < 0 || m < 0 || d < 0 ? QDate() : QDate(y, m, d);
}
