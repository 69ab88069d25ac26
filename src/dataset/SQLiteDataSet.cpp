// The buffered datasets: reading, navigation, the editing cycle, Locate, data
// sources and blob streams.
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
// Editing cycle

void TSQLiteBaseQuery::SetState(TDataSetState state) {
    if (FState == state)
        return;
    FState = state;
    NotifyStateChange();
}

void TSQLiteBaseQuery::BeginInsertAppend() {
    CheckActive();
    CheckBrowseMode();
    if (BeforeInsert)
        BeforeInsert(this);
    if (BeforeScroll)
        BeforeScroll(this);
}

void TSQLiteBaseQuery::EndInsertAppend(int position) {
    FIndexBeforeInsert = FIndex;
    FInsertPos = position;
    FEditRow = TRow();
    FEditRow.values.resize(FColumns.size());
    SetState(TDataSetState::Insert);
    FModified = false;
    NotifyDataChange(nullptr);
    try {
        if (OnNewRecord)
            OnNewRecord(this);
    } catch (...) {
        FEditRow = TRow();
        SetState(TDataSetState::Browse);
        NotifyDataChange(nullptr);
        throw;
    }
    // Values set by OnNewRecord are defaults, not a change by the user.
    FModified = false;
    if (AfterInsert)
        AfterInsert(this);
    if (AfterScroll)
        AfterScroll(this);
}

void TSQLiteBaseQuery::Append() {
    BeginInsertAppend();
    EndInsertAppend(int(FRows.size()));
}

void TSQLiteBaseQuery::Insert() {
    BeginInsertAppend();
    EndInsertAppend(std::max(CurrentRowIndex(), 0));
}

void TSQLiteBaseQuery::Edit() {
    CheckActive();
    if (Editing())
        return;
    if (FRows.empty()) {
        Insert();
        return;
    }
    if (BeforeEdit)
        BeforeEdit(this);
    FIndex = CurrentRowIndex();
    FEditRow = FRows[FIndex];
    SetState(TDataSetState::Edit);
    FModified = false;
    NotifyDataChange(nullptr);
    if (AfterEdit)
        AfterEdit(this);
}

void TSQLiteBaseQuery::Post() {
    if (FState != TDataSetState::Edit && FState != TDataSetState::Insert)
        return;
    if (BeforePost)
        BeforePost(this);
    const bool inserting = FState == TDataSetState::Insert || FRows.empty();
    try {
        WriteRecord(inserting);
    } catch (const ESQLiteError& e) {
        if (OnPostError)
            OnPostError(this, e);
        throw;
    }
    FEditRow = TRow();
    SetState(TDataSetState::Browse);
    FModified = false;
    FBof = FEof = false;
    NotifyDataChange(nullptr);
    if (AfterPost)
        AfterPost(this);
}

void TSQLiteBaseQuery::StorePosted(bool inserting, qint64 rowId) {
    BufferChanged();
    if (inserting) {
        TRow row = std::move(FEditRow);
        row.recordId = ++FLastRecordId;
        row.rowId = rowId;
        const int pos = std::clamp(FInsertPos, 0, int(FRows.size()));
        FRows.insert(FRows.begin() + pos, std::move(row));
        FIndex = pos;
    } else {
        TRow& row = FRows[CurrentRowIndex()];
        row.values = std::move(FEditRow.values);
        row.rowId = rowId;
    }
    FEditRow = TRow();
}

void TSQLiteBaseQuery::Cancel() {
    if (FState != TDataSetState::Edit && FState != TDataSetState::Insert)
        return;
    if (BeforeCancel)
        BeforeCancel(this);
    const bool dropNew = FState == TDataSetState::Insert;
    if (dropNew && BeforeScroll)
        BeforeScroll(this);
    FEditRow = TRow();
    if (dropNew)
        FIndex = FRows.empty() ? -1 : std::clamp(FIndexBeforeInsert, 0, int(FRows.size()) - 1);
    SetState(TDataSetState::Browse);
    FModified = false;
    NotifyDataChange(nullptr);
    if (AfterCancel)
        AfterCancel(this);
    if (dropNew && AfterScroll)
        AfterScroll(this);
}

void TSQLiteBaseQuery::Delete() {
    CheckActive();
    if (FState == TDataSetState::Insert) {
        Cancel();
        return;
    }
    if (FRows.empty())
        Raise(QStringLiteral("Operation bei leerer Datenmenge nicht ausführbar"));
    if (BeforeDelete)
        BeforeDelete(this);
    if (BeforeScroll)
        BeforeScroll(this);
    FIndex = CurrentRowIndex();
    try {
        DeleteRecord();
    } catch (const ESQLiteError& e) {
        if (OnDeleteError)
            OnDeleteError(this, e);
        throw;
    }
    BufferChanged();
    FRows.erase(FRows.begin() + FIndex);
    if (FIndex >= int(FRows.size()))
        FIndex = int(FRows.size()) - 1;
    FEditRow = TRow();
    SetState(TDataSetState::Browse);
    FModified = false;
    FBof = FEof = FRows.empty();
    NotifyDataChange(nullptr);
    if (AfterDelete)
        AfterDelete(this);
    if (AfterScroll)
        AfterScroll(this);
}

void TSQLiteBaseQuery::CheckBrowseMode() {
    if (FState != TDataSetState::Edit && FState != TDataSetState::Insert)
        return;
    if (FModified)
        Post();
    else
        Cancel();
}

void TSQLiteBaseQuery::WriteRecord(bool) {
    Raise(QStringLiteral("Die Datenquelle ist schreibgeschützt!"));
}

void TSQLiteBaseQuery::DeleteRecord() {
    Raise(QStringLiteral("Die Datenquelle ist schreibgeschützt!"));
}

// ---------------------------------------------------------------------------
// Field values

QVariant TSQLiteBaseQuery::CurrentValue(int fieldIndex) const {
    const TField* f = Fields(fieldIndex);
    const TRow* row = CurrentRow();
    if (!f || !row || f->Column() < 0 || f->Column() >= int(row->values.size()))
        return {};
    return row->values[f->Column()];
}

QVariant TSQLiteBaseQuery::ValueAt(int row, int fieldIndex) const {
    const TField* f = Fields(fieldIndex);
    if (!f || f->Column() < 0 || row < 0 || row >= int(FRows.size()))
        return {};
    const TRow& r = (FState == TDataSetState::Edit && row == CurrentRowIndex()) ? FEditRow : FRows[row];
    return f->Column() < int(r.values.size()) ? r.values[f->Column()] : QVariant();
}

void TSQLiteBaseQuery::SetCurrentValue(int fieldIndex, const QVariant& value, TField* notifyField) {
    if (FState != TDataSetState::Edit && FState != TDataSetState::Insert)
        Raise(QStringLiteral("Die Datenmenge befindet sich nicht im Editier- oder Einfügemodus!"));
    const TField* f = Fields(fieldIndex);
    if (!f || f->Column() < 0 || f->Column() >= int(FEditRow.values.size()))
        return;
    FEditRow.values[f->Column()] = value;
    FModified = true;
    NotifyDataChange(notifyField);
}

void TSQLiteBaseQuery::StoreBlob(TField* field, const QByteArray& content) {
    TRow* row = nullptr;
    if (Editing())
        row = &FEditRow;
    else if (CurrentRowIndex() >= 0)
        row = &FRows[CurrentRowIndex()];
    if (!row || !field || field->Column() < 0 || field->Column() >= int(row->values.size()))
        return;
    BufferChanged();
    row->values[field->Column()] = content.isEmpty() ? QVariant() : QVariant(content);
    NotifyDataChange(field);
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

// ---------------------------------------------------------------------------
// Locate: a linear scan over the buffer comparing texts.

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

void TSQLiteBaseQuery::BufferChanged() {
    FKeyColumns.reset();
}

namespace {

struct TLocateKey {
    int column = -1;
    TFieldType type = TFieldType::Unknown;
    QString text;
    bool intKey = false; // the text is a canonical integer, so integer cells compare as numbers
    int intValue = 0;
};

} // namespace

bool TSQLiteBaseQuery::Locate(const QString& keyFields, const QVariant& keyValues, TLocateOptions options) {
    CheckActive();
    QStringList names = keyFields.split(u';', Qt::SkipEmptyParts);
    for (QString& n : names)
        n = n.trimmed();
    const QVariantList values = names.size() == 1 ? QVariantList{keyValues} : keyValues.toList();
    std::vector<TLocateKey> keys;
    for (int i = 0; i < names.size(); ++i) {
        const TField* f = FieldByName(names[i]);
        TLocateKey k;
        k.column = f->Column();
        k.type = f->DataType();
        k.text = values.value(i).toString();
        if (k.type == TFieldType::Integer) {
            bool ok = false;
            k.intValue = k.text.toInt(&ok);
            k.intKey = ok && QString::number(k.intValue) == k.text;
        }
        keys.push_back(k);
    }
    const bool caseless = options & loCaseInsensitive;
    const bool partial = options & loPartialKey;
    const Qt::CaseSensitivity cs = caseless ? Qt::CaseInsensitive : Qt::CaseSensitive;

    auto textMatches = [&](const QString& fieldText, const QString& wanted) {
        if (partial)
            return fieldText.startsWith(wanted, cs);
        return fieldText.compare(wanted, cs) == 0;
    };
    auto matches = [&](const TRow& row) {
        for (const TLocateKey& k : keys) {
            static const QVariant none;
            const QVariant& v = k.column >= 0 ? row.values[k.column] : none;
            const int typeId = v.typeId();
            if (typeId == QMetaType::QString) {
                if (!textMatches(*static_cast<const QString*>(v.constData()), k.text))
                    return false;
            } else if (typeId == QMetaType::Int && k.type == TFieldType::Integer && !partial) {
                if (!k.intKey || *static_cast<const int*>(v.constData()) != k.intValue)
                    return false;
            } else if (!textMatches(FieldValueText(v, k.type), k.text)) {
                return false;
            }
        }
        return true;
    };

    // A second search on an unchanged buffer scans typed copies of the key
    // columns instead of the cells: exact matches of integers and texts only.
    if (!FKeyColumns)
        FKeyColumns = std::make_unique<TKeyColumns>();
    const bool useCopies = ++FKeyColumns->searches >= 2 && options == 0 && !keys.empty();
    std::vector<const TKeyColumns::Column*> copies;
    if (useCopies) {
        FKeyColumns->columns.resize(FColumns.size());
        for (const TLocateKey& k : keys) {
            if (k.column < 0 || (k.type == TFieldType::Integer && !k.intKey)) {
                copies.clear();
                break;
            }
            TKeyColumns::Column& col = FKeyColumns->columns[k.column];
            if (!col.built) {
                col.built = true;
                col.integers = k.type == TFieldType::Integer;
                col.usable = col.integers || k.type == TFieldType::String;
                if (col.usable)
                    col.values.resize(FRows.size());
                for (size_t i = 0; i < FRows.size() && col.usable; ++i) {
                    const QVariant& v = FRows[i].values[k.column];
                    if (!v.isValid())
                        col.values[i] = col.integers ? TKeyColumns::kNull : qint64(qHash(QString()));
                    else if (col.integers && v.typeId() == QMetaType::Int)
                        col.values[i] = *static_cast<const int*>(v.constData());
                    else if (!col.integers && v.typeId() == QMetaType::QString)
                        col.values[i] = qint64(qHash(*static_cast<const QString*>(v.constData())));
                    else
                        col.usable = false;
                }
                if (!col.usable)
                    col.values = {};
            }
            if (!col.usable || col.integers != (k.type == TFieldType::Integer)) {
                copies.clear();
                break;
            }
            copies.push_back(&col);
        }
    }
    std::vector<qint64> wanted;
    for (const TLocateKey& k : keys)
        wanted.push_back(k.type == TFieldType::Integer ? qint64(k.intValue) : qint64(qHash(k.text)));
    auto copiesMatch = [&](size_t row) {
        for (size_t j = 0; j < keys.size(); ++j) {
            if (copies[j]->values[row] != wanted[j])
                return false;
            if (!copies[j]->integers) { // a hash only says "maybe"
                const QVariant& v = FRows[row].values[keys[j].column];
                const QString text = v.isValid() ? *static_cast<const QString*>(v.constData()) : QString();
                if (text != keys[j].text)
                    return false;
            }
        }
        return true;
    };

    bool found = false;
    DisableControls();
    try {
        First();
        const size_t count = FRows.size();
        if (!copies.empty()) {
            const qint64* first = copies[0]->values.data();
            const qint64 firstWanted = wanted[0];
            for (size_t i = 0; i < count; ++i) {
                if (first[i] == firstWanted && copiesMatch(i)) {
                    FIndex = int(i);
                    found = true;
                    break;
                }
            }
        } else {
            for (size_t i = 0; i < count; ++i) {
                if (matches(FRows[i])) {
                    FIndex = int(i);
                    found = true;
                    break;
                }
            }
        }
        if (found)
            FBof = FEof = false;
        if (!found)
            First();
    } catch (...) {
        EnableControls();
        throw;
    }
    EnableControls();
    return found;
}

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
