#include "TDBMemo.h"

#include "TDBDataLink.h"

#include <QFocusEvent>
#include <QKeyEvent>
#include <QTextCursor>

TDBMemo::TDBMemo(QWidget* parent) : QPlainTextEdit(parent), FLink(new TFieldDataLink(this)) {
    FLink->OnDataChange = [this] { LoadFromField(); };
    FLink->OnStateChange = [this] { UpdateState(); };
    FLink->OnUpdateData = [this] { return WriteFieldText(Field(), toPlainText()); };
    connect(this, &QPlainTextEdit::textChanged, this, &TDBMemo::TextChanged);
    UpdateState();
}

TDataSource* TDBMemo::DataSource() const {
    return FLink->DataSource();
}
void TDBMemo::SetDataSource(TDataSource* dataSource) {
    FLink->SetDataSource(dataSource);
}
QString TDBMemo::DataField() const {
    return FLink->FieldName();
}
void TDBMemo::SetDataField(const QString& name) {
    FLink->SetFieldName(name);
}
TField* TDBMemo::Field() const {
    return FLink->Field();
}

void TDBMemo::setReadOnly(bool value) {
    FReadOnly = value;
    UpdateState();
}

bool TDBMemo::UpdateRecord() {
    return FLink->UpdateRecord();
}

void TDBMemo::LoadFromField() {
    UpdateState();
    TField* field = Field();
    const QString value = field ? field->AsString() : QString();
    if (value == toPlainText())
        return;
    FLoading = true;
    setPlainText(value);
    FLoading = false;
}

void TDBMemo::UpdateState() {
    TField* field = Field();
    QPlainTextEdit::setReadOnly(FReadOnly || !field || field->DataType() == TFieldType::Blob ||
                                field->DataType() == TFieldType::Graphic);
}

void TDBMemo::TextChanged() {
    if (FLoading)
        return;
    TField* field = Field();
    // A memo bound to a text column of declared length stops taking characters
    // at that length instead of losing the rest when the row is read back.
    if (field && field->DataType() == TFieldType::String && field->Size() > 0 &&
        toPlainText().size() > field->Size()) {
        FLoading = true;
        QTextCursor cursor = textCursor();
        const int position = std::min<int>(cursor.position(), field->Size());
        setPlainText(toPlainText().left(field->Size()));
        cursor = textCursor();
        cursor.setPosition(position);
        setTextCursor(cursor);
        FLoading = false;
    }
    if (FLink->Modified())
        return;
    const QString typed = toPlainText();
    const int position = textCursor().position();
    if (!FLink->Edit()) {
        FLink->Reset();
        return;
    }
    if (toPlainText() != typed) {
        FLoading = true;
        setPlainText(typed);
        QTextCursor cursor = textCursor();
        cursor.setPosition(std::min<int>(position, typed.size()));
        setTextCursor(cursor);
        FLoading = false;
    }
    FLink->SetModified();
}

void TDBMemo::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape && FLink->Modified()) {
        FLink->Reset();
        event->accept();
        return;
    }
    QPlainTextEdit::keyPressEvent(event);
}

void TDBMemo::focusOutEvent(QFocusEvent* event) {
    if (event->reason() != Qt::PopupFocusReason && FLink->Modified())
        UpdateRecord();
    QPlainTextEdit::focusOutEvent(event);
}
