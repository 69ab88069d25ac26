// The two kinds of dataset: a query runs its SQL, a table reads a table and
// writes its changed records back; and the blob streams of their fields.
#include "SQLite.h"

#include "SQLiteAPI.h"
#include "SQLiteInternal.h"
#include "Win1252.h"

#include <algorithm>
#include <cstring>
#include <limits>

// ---------------------------------------------------------------------------
// TSQLiteQuery

TSQLiteQuery::TSQLiteQuery(TSQLiteDB* connection) : TSQLiteBaseQuery(connection) {}

void TSQLiteQuery::SetSQL(const QStringList& lines) {
    Close();
    FSQL = lines;
}

void TSQLiteQuery::SetSQL(const QString& text) {
    SetSQL(QStringList{text});
}

QString TSQLiteQuery::BuildSelectSQL() const {
    return FSQL.join(u'\n');
}

void TSQLiteQuery::RunSQL(const QString& sql) {
    Close();
    SetSQL(sql);
    const QString text = sql.trimmed();
    qsizetype end = 0;
    while (end < text.size() && !text.at(end).isSpace())
        ++end;
    if (text.left(end).toUpper() == QLatin1String("SELECT")) {
        Open();
        return;
    }
    if (!FConnection)
        Raise(QStringLiteral("Es wurde noch keine Verbindung zur Datenbank hergestellt!"));
    FConnection->ExecSQL(sql);
    Close();
}

// ---------------------------------------------------------------------------
// TSQLiteTable

TSQLiteTable::TSQLiteTable(TSQLiteDB* connection) : TSQLiteBaseQuery(connection) {}

void TSQLiteTable::SetTableName(const QString& name) {
    Close();
    FTableName = name;
    FRowIdAlias.clear();
    FRowIdAliasKnown = false;
}

void TSQLiteTable::SetFilter(const QString& filter) {
    Close();
    FFilter = filter;
}

QString TSQLiteTable::BuildSelectSQL() const {
    if (FTableName.isEmpty())
        Raise(QStringLiteral("Es wurde keine Tabelle definiert!"));
    QString sql = QStringLiteral("SELECT ROWID AS ROWID, * FROM ") + FTableName;
    if (Filtered && !FFilter.isEmpty()) {
        if (FFilter.trimmed().toUpper().startsWith(QLatin1String("ORDER BY")))
            sql += u' ' + FFilter;
        else
            sql += QStringLiteral(" WHERE ") + FFilter;
    }
    return sql;
}

int TSQLiteTable::RowIdAliasColumn() {
    if (!FRowIdAliasKnown && FConnection && FConnection->Connected()) {
        // A single-column key declared INTEGER PRIMARY KEY is SQLite's ROWID itself.
        const TSQLiteAPI& api = FConnection->Api();
        const QByteArray sql = Win1252::encode(QStringLiteral("PRAGMA table_info(") + FTableName + u')');
        sqlite3_stmt* stmt = nullptr;
        int keys = 0;
        QString name;
        if (api.Prepare(FConnection->Handle(), sql.constData(), &stmt) == 0 && stmt) {
            while (api.step(stmt) == SQLITE_ROW) {
                if (api.column_int(stmt, 5) > 0) {
                    ++keys;
                    const char* type = reinterpret_cast<const char*>(api.column_text(stmt, 2));
                    if (type && QByteArray(type).trimmed().toUpper() == "INTEGER")
                        name = Win1252::decode(
                            QByteArray(reinterpret_cast<const char*>(api.column_text(stmt, 1))));
                }
            }
        }
        if (stmt)
            api.finalize(stmt);
        FRowIdAlias = keys == 1 ? name : QString();
        FRowIdAliasKnown = true;
    }
    if (FRowIdAlias.isEmpty())
        return -1;
    for (int i = 0; i < int(FColumns.size()); ++i)
        if (FColumns[i].name.compare(FRowIdAlias, Qt::CaseInsensitive) == 0)
            return i;
    return -1;
}

namespace {

QString SQLValue(const TField* field, const QVariant& value, QList<QByteArray>& blobs) {
    if (!value.isValid() || value.isNull())
        return QStringLiteral("NULL");
    switch (field->DataType()) {
    case TFieldType::String: {
        QString s = value.toString();
        return u'\'' + s.replace(u'\'', QStringLiteral("''")) + u'\'';
    }
    case TFieldType::Integer:
        return QString::number(value.toInt());
    case TFieldType::LargeInt:
        return QString::number(value.toLongLong());
    case TFieldType::Float:
        // Always a point and every digit needed to read the same number back,
        // whatever the user's locale says.
        return QString::number(value.toDouble(), 'g', QLocale::FloatingPointShortest);
    case TFieldType::Date:
        return u'\'' + SQLiteDateText(value.toDateTime()) + u'\'';
    case TFieldType::Time:
        return u'\'' + SQLiteTimeText(value.toDateTime()) + u'\'';
    case TFieldType::DateTime:
        return u'\'' + SQLiteDateTimeText(value.toDateTime()) + u'\'';
    case TFieldType::Blob:
    case TFieldType::Memo:
    case TFieldType::Graphic:
        blobs.append(value.typeId() == QMetaType::QString ? Win1252::encode(value.toString())
                                                          : value.toByteArray());
        return QStringLiteral("?");
    default:
        throw ESQLiteError(QStringLiteral("Unbekannter Datentyp!"));
    }
}

// The value of a field as a statement parameter; the same conversions as SQLValue.
TSQLParam SQLParam(const TField* field, const QVariant& value) {
    TSQLParam p;
    if (!value.isValid() || value.isNull())
        return p;
    switch (field->DataType()) {
    case TFieldType::String:
        p.kind = TSQLParam::Text;
        p.bytes = Win1252::encode(value.toString());
        break;
    case TFieldType::Integer:
        p.kind = TSQLParam::Int;
        p.i = value.toInt();
        break;
    case TFieldType::LargeInt:
        p.kind = TSQLParam::Int;
        p.i = value.toLongLong();
        break;
    case TFieldType::Float:
        p.kind = TSQLParam::Double;
        p.d = value.toDouble();
        break;
    case TFieldType::Date:
        p.kind = TSQLParam::Text;
        p.bytes = SQLiteDateText(value.toDateTime()).toLatin1();
        break;
    case TFieldType::Time:
        p.kind = TSQLParam::Text;
        p.bytes = SQLiteTimeText(value.toDateTime()).toLatin1();
        break;
    case TFieldType::DateTime:
        p.kind = TSQLParam::Text;
        p.bytes = SQLiteDateTimeText(value.toDateTime()).toLatin1();
        break;
    case TFieldType::Blob:
    case TFieldType::Memo:
    case TFieldType::Graphic:
        p.kind = TSQLParam::Blob;
        p.bytes =
            value.typeId() == QMetaType::QString ? Win1252::encode(value.toString()) : value.toByteArray();
        break;
    default:
        throw ESQLiteError(QStringLiteral("Unbekannter Datentyp!"));
    }
    return p;
}

} // namespace

void TSQLiteTable::WriteRecord(bool inserting) {
    if (!FConnection)
        Raise(QStringLiteral("Es wurde noch keine Verbindung zur Datenbank hergestellt!"));
    const bool skipKey = PrimaryAutoInc && !FFields.empty() && FFields[0]->DataType() == TFieldType::Integer;
    auto valueOf = [this](const TField* f) {
        const int c = f->Column();
        return c >= 0 && c < int(FEditRow.values.size()) ? FEditRow.values[c] : QVariant();
    };
    const qint64 currentRowId = inserting ? 0 : FRows[CurrentRowIndex()].rowId;

    // The statement with its values written out: what the log and every error show.
    auto literalSQL = [&](QList<QByteArray>& blobs) {
        QString sql;
        if (!inserting) {
            sql = QStringLiteral("UPDATE ") + FTableName + QStringLiteral(" SET ");
            for (size_t i = 0; i < FFields.size(); ++i) {
                if (i == 0 && skipKey)
                    continue;
                sql += FFields[i]->FieldName() + u'=' +
                       SQLValue(FFields[i].get(), valueOf(FFields[i].get()), blobs) + u',';
            }
            sql[sql.size() - 1] = u' ';
            sql += QStringLiteral("WHERE ROWID = ") + QString::number(currentRowId);
        } else {
            sql = QStringLiteral("INSERT INTO ") + FTableName + QStringLiteral(" (");
            for (const auto& f : FFields)
                sql += f->FieldName() + u',';
            sql[sql.size() - 1] = u')';
            sql += QStringLiteral(" VALUES (");
            for (size_t i = 0; i < FFields.size(); ++i) {
                if (i == 0 && skipKey)
                    sql += QStringLiteral("NULL,");
                else
                    sql += SQLValue(FFields[i].get(), valueOf(FFields[i].get()), blobs) + u',';
            }
            sql[sql.size() - 1] = u')';
        }
        return sql;
    };
    auto literal = [&] {
        QList<QByteArray> blobs;
        return literalSQL(blobs);
    };

    if (FConnection->CanBind()) {
        // The same statement with every value a parameter: its text is the same
        // for every post of this table, so SQLite compiles it once.
        QString& sql = FPostShape[inserting ? 0 : 1];
        if (sql.isEmpty() || FPostShapeSkipsKey[inserting ? 0 : 1] != skipKey) {
            FPostShapeSkipsKey[inserting ? 0 : 1] = skipKey;
            if (!inserting) {
                sql = QStringLiteral("UPDATE ") + FTableName + QStringLiteral(" SET ");
                for (size_t i = skipKey ? 1 : 0; i < FFields.size(); ++i)
                    sql += FFields[i]->FieldName() + QStringLiteral("=?,");
                sql[sql.size() - 1] = u' ';
                sql += QStringLiteral("WHERE ROWID = ?");
            } else {
                sql = QStringLiteral("INSERT INTO ") + FTableName + QStringLiteral(" (");
                for (const auto& f : FFields)
                    sql += f->FieldName() + u',';
                sql[sql.size() - 1] = u')';
                sql += skipKey ? QStringLiteral(" VALUES (NULL,") : QStringLiteral(" VALUES (");
                for (size_t i = skipKey ? 1 : 0; i < FFields.size(); ++i)
                    sql += QStringLiteral("?,");
                sql[sql.size() - 1] = u')';
            }
        }
        std::vector<TSQLParam> params;
        params.reserve(FFields.size() + 1);
        for (size_t i = skipKey ? 1 : 0; i < FFields.size(); ++i)
            params.push_back(SQLParam(FFields[i].get(), valueOf(FFields[i].get())));
        if (!inserting) {
            TSQLParam id;
            id.kind = TSQLParam::Int;
            id.i = currentRowId;
            params.push_back(id);
        }
        FConnection->ExecBound(sql, params, literal);
    } else {
        QList<QByteArray> blobs;
        FConnection->ExecSQL(literalSQL(blobs), blobs);
    }
    // An UPDATE whose row has gone (deleted by someone else, or addressed by a
    // stale row id) changes nothing; that must not pass as a successful save.
    if (FConnection->Changes() == 0)
        FConnection->RaiseError(
            0, literal(),
            inserting ? QStringLiteral("Der Datensatz konnte nicht gespeichert werden, weil die "
                                       "Datenbank keine Zeile angelegt hat!")
                      : QStringLiteral("Der Datensatz konnte nicht gespeichert werden, weil er in "
                                       "der Datenbank nicht mehr vorhanden ist!"));
    // The buffer keeps what was posted: a key that SQLite assigns stays empty
    // until the table is read again, whatever was typed into the field.
    if (skipKey) {
        const int key = FFields[0]->Column();
        if (key >= 0 && key < int(FEditRow.values.size()))
            FEditRow.values[key] = inserting ? QVariant() : FRows[CurrentRowIndex()].values[key];
    }
    qint64 rowId = 0;
    if (inserting) {
        rowId = FConnection->LastInsertRowId();
    } else {
        rowId = currentRowId;
        // When the key is the ROWID, changing the key moves the row: follow it.
        const int alias = skipKey ? -1 : RowIdAliasColumn();
        if (alias >= 0 && alias < int(FEditRow.values.size()) && FEditRow.values[alias].isValid())
            rowId = FEditRow.values[alias].toLongLong();
    }
    StorePosted(inserting, rowId);
}

void TSQLiteTable::DeleteRecord() {
    if (!FConnection)
        Raise(QStringLiteral("Es wurde noch keine Verbindung zur Datenbank hergestellt!"));
    const QString sql = QStringLiteral("DELETE FROM ") + FTableName + QStringLiteral(" WHERE ROWID = ") +
                        QString::number(FRows[CurrentRowIndex()].rowId);
    FConnection->ExecSQL(sql);
    if (FConnection->Changes() == 0)
        FConnection->RaiseError(0, sql,
                                QStringLiteral("Der Datensatz konnte nicht gelöscht werden, weil er in der "
                                               "Datenbank nicht mehr vorhanden ist!"));
}

// ---------------------------------------------------------------------------
// TSQLiteBlobStream

TSQLiteBlobStream::TSQLiteBlobStream(TField* field, TBlobStreamMode mode)
    : FField(field), FDataSet(field ? field->DataSet() : nullptr), FMode(mode) {
    if (mode != TBlobStreamMode::Write && field)
        FData = field->AsBytes();
}

TSQLiteBlobStream::~TSQLiteBlobStream() {
    try {
        if (FDataSet && (FMode != TBlobStreamMode::Read || FWritten))
            FDataSet->StoreBlob(FField, FData);
    } catch (...) {
        // A bound control's reaction to the change must not escape a destructor.
    }
}

qint64 TSQLiteBlobStream::Read(char* buffer, qint64 count) {
    const qint64 n = std::max<qint64>(0, std::min(count, qint64(FData.size()) - FPos));
    if (n > 0)
        std::memcpy(buffer, FData.constData() + FPos, size_t(n));
    FPos += n;
    return n;
}

QByteArray TSQLiteBlobStream::ReadAll() {
    const QByteArray rest = FPos < FData.size() ? FData.mid(FPos) : QByteArray();
    FPos = FData.size();
    return rest;
}

qint64 TSQLiteBlobStream::Write(const char* buffer, qint64 count) {
    if (count <= 0)
        return 0;
    if (FPos > FData.size())
        FData.append(FPos - FData.size(), '\0');
    if (FPos + count > FData.size())
        FData.resize(FPos + count);
    std::memcpy(FData.data() + FPos, buffer, size_t(count));
    FPos += count;
    FWritten = true;
    if (FDataSet)
        FDataSet->SetModified(true);
    return count;
}

std::unique_ptr<TSQLiteBlobStream> TSQLiteBaseQuery::CreateBlobStream(TField* field, TBlobStreamMode mode) {
    return std::make_unique<TSQLiteBlobStream>(field, mode);
}
