// The editing cycle of the buffered datasets (insert, edit, post, cancel,
// delete) and the values of the current record.
#include "SQLite.h"

#include "SQLiteAPI.h"
#include "SQLiteInternal.h"
#include "Win1252.h"

#include <algorithm>
#include <cstring>
#include <limits>

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
