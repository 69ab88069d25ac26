// The buffered datasets: reading, navigation, data sources, controls and
// bookmarks. The editing cycle is in SQLiteEditing.cpp, Locate in
// SQLiteLocate.cpp, the query and table classes in SQLiteTable.cpp.
#include "SQLite.h"

#include "SQLiteAPI.h"
#include "SQLiteInternal.h"
#include "Win1252.h"

#include <algorithm>
#include <cstring>
#include <limits>

namespace {

const QString& closedMessage() {
    static const QString m = QStringLiteral("Operation bei geschlossener Datenmenge nicht ausführbar");
    return m;
}

struct TColumnType {
    TFieldType type;
    int slot;
    int length;
    int precision;
};

// Maps a declared column type (as sqlite3_column_decltype gives it) to a field type.
TColumnType TypeFromDeclared(const char* declared) {
    const QString up = declared ? QString::fromLatin1(declared).toUpper() : QStringLiteral("UNKNOWN");
    const qsizetype paren = up.indexOf(u'(');
    if (paren >= 0) {
        const QString before = up.left(paren);
        QString inside = up.mid(paren + 1);
        const qsizetype close = inside.indexOf(u')');
        if (close >= 0)
            inside.truncate(close);
        if (before.contains(QStringLiteral("CHAR"))) {
            bool ok = false;
            const int n = inside.trimmed().toInt(&ok);
            if (ok && n >= 0)
                return {TFieldType::String, n + 1, n, 0};
        } else if (before.contains(QStringLiteral("NUMERIC"))) {
            const QStringList parts = QString(inside).replace(u'.', u',').split(u',');
            bool ok = false;
            const int scale = parts.size() == 2 ? parts[1].trimmed().toInt(&ok) : 0;
            return {TFieldType::Float, 8, 0, ok ? scale : 0};
        }
        throw ESQLiteError(QStringLiteral("Unbekannter Datentyp: ") + up);
    }
    const QString word = up.trimmed();
    static const struct {
        const char* name;
        TFieldType type;
        int slot;
    } words[] = {
        {"TIME", TFieldType::Time, 8},         {"DATE", TFieldType::Date, 8},
        {"DATETIME", TFieldType::DateTime, 8}, {"INTEGER", TFieldType::Integer, 4},
        {"FLOAT", TFieldType::Float, 8},       {"TEXT", TFieldType::Memo, 4},
        {"GRAPHIC", TFieldType::Graphic, 4},   {"BLOB", TFieldType::Blob, 4},
        {"BOOL", TFieldType::Integer, 4},      {"INT8", TFieldType::LargeInt, 8},
        {"UNKNOWN", TFieldType::Unknown, 255},
    };
    for (const auto& w : words)
        if (word == QLatin1String(w.name))
            return {w.type, w.slot, 0, 0};
    throw ESQLiteError(QStringLiteral("Unbekannter Datentyp: ") + up);
}

int SlotOfPredefined(const TField* field) {
    switch (field->DataType()) {
    case TFieldType::String:
        return 255;
    case TFieldType::Integer:
    case TFieldType::Blob:
    case TFieldType::Memo:
    case TFieldType::Graphic:
        return 4;
    case TFieldType::Float:
    case TFieldType::Date:
    case TFieldType::Time:
    case TFieldType::DateTime:
        return 8;
    default:
        throw ESQLiteError(QStringLiteral("Unbekannter Datentyp für das Feld: ") + field->FieldName());
    }
}

// Finalizes a statement on every way out of a reading loop.
struct TStatementGuard {
    const TSQLiteAPI& api;
    sqlite3_stmt* stmt;
    ~TStatementGuard() {
        if (stmt)
            api.finalize(stmt);
    }
    int release() {
        sqlite3_stmt* s = stmt;
        stmt = nullptr;
        return api.finalize(s);
    }
};

} // namespace

// ---------------------------------------------------------------------------
// TDataSource

TDataSource::TDataSource(TSQLiteBaseQuery* dataSet, QObject* parent) : QObject(parent) {
    SetDataSet(dataSet);
}

TDataSource::~TDataSource() {
    SetDataSet(nullptr);
}

void TDataSource::SetDataSet(TSQLiteBaseQuery* dataSet) {
    if (dataSet == FDataSet)
        return;
    if (FDataSet)
        FDataSet->DetachDataSource(this);
    FDataSet = dataSet;
    if (FDataSet)
        FDataSet->AttachDataSource(this);
}

void TDataSource::NotifyDataChange(TField* field) {
    if (OnDataChange)
        OnDataChange(this, field);
    emit dataChange(field);
}

void TDataSource::NotifyStateChange() {
    if (OnStateChange)
        OnStateChange(this);
    emit stateChange();
}

// ---------------------------------------------------------------------------
// TSQLiteBaseQuery: life, fields and reading

TSQLiteBaseQuery::TSQLiteBaseQuery(TSQLiteDB* connection) {
    SetConnection(connection);
}

TSQLiteBaseQuery::~TSQLiteBaseQuery() {
    if (FConnection)
        FConnection->UnregisterDataSet(this);
    const std::vector<TDataSource*> sources = FDataSources;
    for (TDataSource* ds : sources)
        ds->SetDataSet(nullptr);
}

void TSQLiteBaseQuery::SetConnection(TSQLiteDB* connection) {
    if (connection == FConnection)
        return;
    Close();
    if (FConnection)
        FConnection->UnregisterDataSet(this);
    FConnection = connection;
    if (FConnection)
        FConnection->RegisterDataSet(this);
}

void TSQLiteBaseQuery::Raise(const QString& message) const {
    throw ESQLiteError(message);
}

void TSQLiteBaseQuery::CheckActive() const {
    if (!Active())
        Raise(closedMessage());
}

TField* TSQLiteBaseQuery::AddField(const QString& name, TFieldType type, int size,
                                   const QString& displayFormat) {
    if (Active())
        Raise(QStringLiteral("Felder können nur einer geschlossenen Datenmenge hinzugefügt werden!"));
    FPredefined = true;
    FFields.push_back(std::make_unique<TField>(this, name, type, size));
    TField* f = FFields.back().get();
    f->SetIndex(int(FFields.size()) - 1);
    f->DisplayFormat = displayFormat;
    return f;
}

int TSQLiteBaseQuery::FieldCount() const {
    return int(FFields.size());
}

TField* TSQLiteBaseQuery::Fields(int index) const {
    return index >= 0 && index < int(FFields.size()) ? FFields[index].get() : nullptr;
}

TField* TSQLiteBaseQuery::FindField(const QString& name) const {
    for (const auto& f : FFields)
        if (f->FieldName().compare(name, Qt::CaseInsensitive) == 0)
            return f.get();
    return nullptr;
}

TField* TSQLiteBaseQuery::FieldByName(const QString& name) const {
    TField* f = FindField(name);
    if (!f)
        Raise(QStringLiteral("Feld '") + name + QStringLiteral("' nicht gefunden"));
    return f;
}

void TSQLiteBaseQuery::SetActive(bool value) {
    if (value)
        Open();
    else
        Close();
}

void TSQLiteBaseQuery::Open() {
    if (Active())
        return;
    if (BeforeOpen)
        BeforeOpen(this);
    const QString sql = BuildSelectSQL();
    if (!FConnection)
        Raise(QStringLiteral("Es wurde noch keine Verbindung zur Datenbank hergestellt!"));
    try {
        ReadRows(sql);
        BindFields();
    } catch (...) {
        ClearBuffer();
        throw;
    }
    FState = TDataSetState::Browse;
    FIndex = FRows.empty() ? -1 : 0;
    FBof = true;
    FEof = FRows.empty();
    NotifyStateChange();
    NotifyDataChange(nullptr);
    if (AfterOpen)
        AfterOpen(this);
    if (!FRows.empty() && AfterScroll)
        AfterScroll(this);
}

void TSQLiteBaseQuery::Close() {
    if (!Active())
        return;
    if (BeforeClose)
        BeforeClose(this);
    ClearBuffer();
    NotifyStateChange();
    NotifyDataChange(nullptr);
    if (AfterClose)
        AfterClose(this);
}

void TSQLiteBaseQuery::ClearBuffer() {
    BufferChanged();
    FPostShape[0].clear();
    FPostShape[1].clear();
    FRows.clear();
    FEditRow = TRow();
    FColumns.clear();
    FHasRowIdColumn = false;
    FIndex = -1;
    FLastRecordId = 0;
    FBof = FEof = true;
    FModified = false;
    FState = TDataSetState::Inactive;
    if (FPredefined) {
        for (auto& f : FFields)
            f->SetColumn(-1);
    } else {
        for (auto& f : FFields) {
            f->SetColumn(-1);
            f->SetIndex(-1);
            FStaleFields.push_back(std::move(f));
        }
        FFields.clear();
    }
}

void TSQLiteBaseQuery::ReadRows(const QString& sql) {
    TSQLiteDB* db = FConnection;
    db->StartTiming();
    db->LogSQL(sql);
    if (!db->Connected())
        db->RaiseError(0, {}, QStringLiteral("Es wurde noch keine Verbindung zur Datenbank hergestellt!"));
    const TSQLiteAPI& api = db->Api();
    const QByteArray bytes = Win1252::encode(sql);
    sqlite3_stmt* stmt = nullptr;
    const int prc = api.Prepare(db->Handle(), bytes.constData(), &stmt);
    if (prc != 0)
        db->RaiseError(prc, sql, Win1252::decode(QByteArray(api.errmsg(db->Handle()))));
    if (!stmt)
        db->RaiseError(0, sql, QStringLiteral("Die folgende SQL-Anweisung konnte nicht vorbereitet werden:"));
    TStatementGuard guard{api, stmt};

    FColumns.clear();
    BufferChanged();
    FRows.clear();
    FLastRecordId = 0;
    const int count = api.column_count(stmt);
    const char* firstName = count > 0 ? api.column_name(stmt, 0) : nullptr;
    FHasRowIdColumn = firstName && QString::fromLatin1(firstName).toUpper() == QLatin1String("ROWID");
    const int first = FHasRowIdColumn ? 1 : 0;
    for (int c = first; c < count; ++c) {
        TColumn col;
        col.name = Win1252::decode(QByteArray(api.column_name(stmt, c)));
        const TColumnType t = TypeFromDeclared(api.column_decltype(stmt, c));
        col.type = t.type;
        col.slot = t.slot;
        col.length = t.length;
        col.precision = t.precision;
        if (col.type == TFieldType::Unknown) {
            if (const TField* pre = FPredefined ? FindField(col.name) : nullptr) {
                col.slot = SlotOfPredefined(pre);
                col.type = pre->DataType();
                col.length = col.type == TFieldType::String ? pre->Size() : 0;
                col.precision = pre->Precision();
            }
        }
        FColumns.push_back(col);
    }
    const int columns = int(FColumns.size());

    for (;;) {
        const int rc = api.step(stmt);
        if (rc == SQLITE_DONE)
            break;
        if (rc != SQLITE_ROW)
            db->RaiseError(rc, sql, Win1252::decode(QByteArray(api.errmsg(db->Handle()))));
        TRow row;
        row.values.resize(columns);
        row.rowId = FHasRowIdColumn ? api.ColumnInt64(stmt, 0) : qint64(FRows.size());
        for (int i = 0; i < columns; ++i) {
            const int c = i + first;
            TColumn& col = FColumns[i];
            QVariant& v = row.values[i];
            if (col.type == TFieldType::Unknown) {
                // An expression column takes its type from the first row's value.
                switch (api.column_type(stmt, c)) {
                case SQLITE_INTEGER:
                    col.type = TFieldType::Integer;
                    col.slot = 4;
                    break;
                case SQLITE_FLOAT:
                    col.type = TFieldType::Float;
                    col.slot = 8;
                    break;
                case SQLITE_BLOB:
                    col.type = TFieldType::Blob;
                    col.slot = 4;
                    break;
                case SQLITE_TEXT: {
                    const auto* t = reinterpret_cast<const char*>(api.column_text(stmt, c));
                    col.type = TypeOfTextValue(QString::fromLatin1(t, api.column_bytes(stmt, c)));
                    col.slot = col.type == TFieldType::String ? 255 : 8;
                    break;
                }
                default:
                    col.type = TFieldType::String;
                    col.slot = 255;
                }
            }
            switch (col.type) {
            case TFieldType::String: {
                const auto* t = reinterpret_cast<const char*>(api.column_text(stmt, c));
                if (t) {
                    int n = std::min(api.column_bytes(stmt, c), col.slot);
                    n = int(qstrnlen(t, uint(n)));
                    v = Win1252::decode(t, n);
                }
                break;
            }
            case TFieldType::Integer:
                if (api.column_type(stmt, c) != SQLITE_NULL)
                    v = api.column_int(stmt, c);
                break;
            case TFieldType::Float:
                if (api.column_type(stmt, c) != SQLITE_NULL)
                    v = api.column_double(stmt, c);
                break;
            case TFieldType::Date:
            case TFieldType::Time:
            case TFieldType::DateTime: {
                const auto* t = reinterpret_cast<const char*>(api.column_text(stmt, c));
                if (t) {
                    const QString text = QString::fromLatin1(t, api.column_bytes(stmt, c));
                    v = col.type == TFieldType::Date   ? ParseSQLiteDate(text)
                        : col.type == TFieldType::Time ? ParseSQLiteTime(text)
                                                       : ParseSQLiteDateTime(text);
                }
                break;
            }
            case TFieldType::Blob:
            case TFieldType::Memo:
            case TFieldType::Graphic: {
                const void* b = api.column_blob(stmt, c);
                const int n = api.column_bytes(stmt, c);
                if (b && n > 0)
                    v = QByteArray(static_cast<const char*>(b), n);
                break;
            }
            case TFieldType::LargeInt: {
                const auto* t = reinterpret_cast<const char*>(api.column_text(stmt, c));
                if (t)
                    v = QByteArray(t, api.column_bytes(stmt, c)).trimmed().toLongLong();
                break;
            }
            default:
                throw ESQLiteError(QStringLiteral("Unbekannter Datentyp!"));
            }
        }
        row.recordId = ++FLastRecordId;
        FRows.push_back(std::move(row));
    }
    const int frc = guard.release();
    if (frc != 0)
        db->RaiseError(frc, sql, Win1252::decode(QByteArray(api.errmsg(db->Handle()))));
    db->LogSQL(QStringLiteral("Finish"));
    db->StopTiming();
}

void TSQLiteBaseQuery::BindFields() {
    auto columnOf = [this](const QString& name) {
        for (int i = 0; i < int(FColumns.size()); ++i)
            if (FColumns[i].name.compare(name, Qt::CaseInsensitive) == 0)
                return i;
        return -1;
    };
    if (FPredefined) {
        for (auto& f : FFields)
            f->SetColumn(columnOf(f->FieldName()));
        return;
    }
    for (int i = 0; i < int(FColumns.size()); ++i) {
        const TColumn& col = FColumns[i];
        if (col.type == TFieldType::Unknown) // an expression column of an empty result has no field
            continue;
        std::unique_ptr<TField> field;
        // The name must match exactly (a field keeps its spelling); a search
        // that ignored case would stop at "anz" when "ANZ" returns, make a new
        // field each time and let the kept ones pile up without end.
        auto stale = std::find_if(FStaleFields.begin(), FStaleFields.end(),
                                  [&](const auto& f) { return f->FieldName() == col.name; });
        if (stale != FStaleFields.end()) {
            field = std::move(*stale);
            FStaleFields.erase(stale);
            field->Retype(col.type, col.length, col.precision);
            field->DisplayLabel.clear();
            field->DisplayFormat.clear();
            field->DisplayWidth = 0;
            field->Visible = true;
        } else {
            field = std::make_unique<TField>(this, col.name, col.type, col.length, col.precision);
        }
        field->SetIndex(int(FFields.size()));
        field->SetColumn(i);
        FFields.push_back(std::move(field));
    }
}

// ---------------------------------------------------------------------------
// Navigation

int TSQLiteBaseQuery::CurrentRowIndex() const {
    if (FRows.empty())
        return -1;
    return std::clamp(FIndex, 0, int(FRows.size()) - 1);
}

const TSQLiteBaseQuery::TRow* TSQLiteBaseQuery::CurrentRow() const {
    if (Editing())
        return &FEditRow;
    const int i = CurrentRowIndex();
    return i >= 0 ? &FRows[i] : nullptr;
}

bool TSQLiteBaseQuery::IsEmpty() const {
    return FRows.empty() && FState != TDataSetState::Insert;
}

int TSQLiteBaseQuery::RecordCount() const {
    return int(FRows.size());
}

int TSQLiteBaseQuery::RecNo() const {
    if (FState == TDataSetState::Insert)
        return FInsertPos + 1;
    return CurrentRowIndex() + 1;
}

void TSQLiteBaseQuery::SetRecNo(int value) {
    if (!Active() || value < 0 || value > int(FRows.size()))
        return;
    // The edit buffer belongs to the current row: settle it before the cursor moves.
    CheckBrowseMode();
    FIndex = value - 1;
    FBof = FEof = FRows.empty();
    NotifyDataChange(nullptr);
}

void TSQLiteBaseQuery::First() {
    CheckActive();
    CheckBrowseMode();
    if (BeforeScroll)
        BeforeScroll(this);
    FIndex = FRows.empty() ? -1 : 0;
    FBof = true;
    FEof = FRows.empty();
    NotifyDataChange(nullptr);
    if (AfterScroll)
        AfterScroll(this);
}

void TSQLiteBaseQuery::Last() {
    CheckActive();
    CheckBrowseMode();
    if (BeforeScroll)
        BeforeScroll(this);
    FIndex = int(FRows.size()) - 1;
    FEof = true;
    FBof = FRows.empty();
    NotifyDataChange(nullptr);
    if (AfterScroll)
        AfterScroll(this);
}

void TSQLiteBaseQuery::Next() {
    MoveBy(1);
}

void TSQLiteBaseQuery::Prior() {
    MoveBy(-1);
}

int TSQLiteBaseQuery::MoveBy(int distance) {
    CheckActive();
    CheckBrowseMode();
    if (distance == 0)
        return 0;
    if (BeforeScroll)
        BeforeScroll(this);
    if (FRows.empty()) {
        FBof = FEof = true;
        return 0;
    }
    const int count = int(FRows.size());
    const int current = CurrentRowIndex();
    long long target = (long long)current + distance;
    if (distance > 0) {
        FBof = false;
        FEof = target > count - 1;
        target = std::min<long long>(target, count - 1);
    } else {
        FEof = false;
        FBof = target < 0;
        target = std::max<long long>(target, 0);
    }
    FIndex = int(target);
    const int moved = FIndex - current;
    if (moved != 0) {
        NotifyDataChange(nullptr);
        if (AfterScroll)
            AfterScroll(this);
    }
    return moved;
}

// ---------------------------------------------------------------------------
// Data sources, controls, bookmarks

void TSQLiteBaseQuery::AttachDataSource(TDataSource* ds) {
    if (std::find(FDataSources.begin(), FDataSources.end(), ds) == FDataSources.end())
        FDataSources.push_back(ds);
}

void TSQLiteBaseQuery::DetachDataSource(TDataSource* ds) {
    FDataSources.erase(std::remove(FDataSources.begin(), FDataSources.end(), ds), FDataSources.end());
}

void TSQLiteBaseQuery::NotifyDataChange(TField* field) {
    if (FDisableCount > 0)
        return;
    const std::vector<TDataSource*> sources = FDataSources;
    for (TDataSource* ds : sources)
        ds->NotifyDataChange(field);
}

void TSQLiteBaseQuery::NotifyStateChange() {
    if (FDisableCount > 0)
        return;
    const std::vector<TDataSource*> sources = FDataSources;
    for (TDataSource* ds : sources)
        ds->NotifyStateChange();
}

void TSQLiteBaseQuery::DisableControls() {
    ++FDisableCount;
}

void TSQLiteBaseQuery::EnableControls() {
    if (FDisableCount == 0)
        return;
    if (--FDisableCount == 0) {
        NotifyStateChange();
        NotifyDataChange(nullptr);
    }
}

TBookmark TSQLiteBaseQuery::GetBookmark() const {
    if (FState == TDataSetState::Insert)
        return 0;
    const int i = CurrentRowIndex();
    return i >= 0 ? FRows[i].recordId : 0;
}

bool TSQLiteBaseQuery::BookmarkValid(TBookmark bookmark) const {
    return bookmark != 0 && std::any_of(FRows.begin(), FRows.end(),
                                        [bookmark](const TRow& r) { return r.recordId == bookmark; });
}

void TSQLiteBaseQuery::GotoBookmark(TBookmark bookmark) {
    CheckActive();
    CheckBrowseMode();
    auto it = std::find_if(FRows.begin(), FRows.end(),
                           [bookmark](const TRow& r) { return r.recordId == bookmark; });
    if (it == FRows.end())
        Raise(QStringLiteral("Das Bookmark wurde nicht gefunden!"));
    if (BeforeScroll)
        BeforeScroll(this);
    FIndex = int(it - FRows.begin());
    FBof = FEof = false;
    NotifyDataChange(nullptr);
    if (AfterScroll)
        AfterScroll(this);
}
