// The catalog and the engine's settings, asked through the connection: the
// rules above the dataset layer never spell sqlite_master or a PRAGMA.
#include "SQLite.h"
#include "SQLiteCursor.h"

namespace {

// A name as a text literal; table names come from the program, but a quote
// in one must still not end the literal.
QString Literal(const QString& text) {
    QString t = text;
    t.replace(u'\'', QStringLiteral("''"));
    return u'\'' + t + u'\'';
}

} // namespace

bool TSQLiteDB::TableExists(const QString& table) {
    TSQLiteCursor c(*this,
                    QStringLiteral("SELECT COUNT(*) FROM sqlite_master WHERE type = 'table' and name = ") +
                        Literal(table));
    return c.Next() && c.Int(0) != 0;
}

QStringList TSQLiteDB::TableColumns(const QString& table) {
    QStringList names;
    TSQLiteCursor c(*this, QStringLiteral("PRAGMA table_info(") + Literal(table) + u')');
    while (c.Next())
        names << c.Text(1);
    return names;
}

bool TSQLiteDB::HasNoTables() {
    TSQLiteCursor c(*this, QStringLiteral("SELECT COUNT(*) FROM sqlite_master"));
    return c.Next() && c.Int(0) == 0;
}

void TSQLiteDB::WithoutDiskSync(const std::function<void()>& work) {
    QString synchronous;
    {
        TSQLiteCursor c(*this, QStringLiteral("PRAGMA synchronous"));
        synchronous = c.Next() ? QString::number(c.Int(0)) : QStringLiteral("2");
    }
    ExecSQL(QStringLiteral("PRAGMA synchronous = OFF"));
    try {
        work();
    } catch (...) {
        ExecSQL(QStringLiteral("PRAGMA synchronous = ") + synchronous);
        throw;
    }
    ExecSQL(QStringLiteral("PRAGMA synchronous = ") + synchronous);
}

int TSQLiteDB::PageSize() {
    TSQLiteCursor c(*this, QStringLiteral("PRAGMA page_size"));
    return c.Next() ? int(c.Int(0)) : 0;
}

void TSQLiteDB::ChangePageSize(int size) {
    ExecSQL(QStringLiteral("PRAGMA page_size = ") + QString::number(size));
    ExecSQL(QStringLiteral("VACUUM"));
}

int TSQLiteDB::DrawNumber(const QString& table, const QString& column, const QString& keyColumn,
                          const QString& keyLiteral) {
    const QString where = QStringLiteral(" where ") + keyColumn + QStringLiteral(" = ") + keyLiteral;
    // BEGIN IMMEDIATE takes the write lock before the select, so a second
    // process cannot read the same number between our select and update.
    const bool own = !InTransaction();
    if (own)
        StartTransaction();
    try {
        int number = 0;
        {
            TSQLiteCursor c(*this,
                            QStringLiteral("select ") + column + QStringLiteral(" from ") + table + where);
            if (c.Next())
                number = int(c.Int(0));
        }
        ExecSQL(QStringLiteral("update ") + table + QStringLiteral(" set ") + column + QStringLiteral(" = ") +
                column + QStringLiteral("+1") + where);
        if (own)
            Commit();
        return number;
    } catch (...) {
        // Leave no transaction of ours open: later statements would silently
        // join it and be lost with it.
        if (own && InTransaction()) {
            try {
                Rollback();
            } catch (...) {
            }
        }
        throw;
    }
}
