#include "TDBEdit.h"

#include "TDBDataLink.h"

#include <QFocusEvent>
#include <QKeyEvent>
#include <QTimer>

TDBEdit::TDBEdit(QWidget* parent) : QLineEdit(parent), FLink(new TFieldDataLink(this)) {
    FLink->OnDataChange = [this] { LoadFromField(); };
    FLink->OnStateChange = [this] { UpdateState(); };
    FLink->OnUpdateData = [this] {
        if (WriteFieldText(Field(), text()))
            return true;
        // The user corrects the refused text where it stands, whatever took
        // the focus away meanwhile (the warning box, the next field).
        QTimer::singleShot(0, this, [this] {
            setFocus(Qt::OtherFocusReason);
            selectAll();
        });
        return false;
    };
    connect(this, &QLineEdit::textEdited, this, &TDBEdit::UserEdited);
    UpdateState();
}

TDataSource* TDBEdit::DataSource() const {
    return FLink->DataSource();
}
void TDBEdit::SetDataSource(TDataSource* dataSource) {
    FLink->SetDataSource(dataSource);
}
QString TDBEdit::DataField() const {
    return FLink->FieldName();
}
void TDBEdit::SetDataField(const QString& name) {
    FLink->SetFieldName(name);
}
TField* TDBEdit::Field() const {
    return FLink->Field();
}

void TDBEdit::setReadOnly(bool value) {
    FReadOnly = value;
    UpdateState();
}

bool TDBEdit::UpdateRecord() {
    return FLink->UpdateRecord();
}

void TDBEdit::LoadFromField() {
    TField* field = Field();
    UpdateState();
    if (!field) {
        setMaxLength(32767);
        clear();
        return;
    }
    const QVariant value = field->Value();
    // While the user is in the field a number reads as he types it ("1234,5");
    // outside it shows the field's display pattern ("1.234,50 EUR").
    const QString shown = FFocused ? EditValueText(field->DataType(), value)
                                   : DisplayValueText(field->DataType(), value, field->DisplayFormat);
    // The declared length limits typing; a longer stored value is still shown whole.
    int limit = 32767;
    if (field->DataType() == TFieldType::String && field->Size() > 0)
        limit = std::max<int>(field->Size(), shown.size());
    setMaxLength(limit);
    if (shown != text()) {
        setText(shown);
        // A long street or address shows its beginning, not its end.
        setCursorPosition(0);
    }
}

void TDBEdit::UpdateState() {
    TField* field = Field();
    QLineEdit::setReadOnly(FReadOnly || !field || field->DataType() == TFieldType::Blob ||
                           field->DataType() == TFieldType::Graphic);
    if (field && IsNumericFieldType(field->DataType()))
        setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    else
        setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
}

void TDBEdit::UserEdited() {
    if (FLink->Modified())
        return;
    const QString typed = text();
    const int cursor = cursorPosition();
    if (!FLink->Edit()) {
        FLink->Reset();
        return;
    }
    // Entering edit state may have announced a new record; keep what was typed.
    if (text() != typed) {
        setText(typed);
        setCursorPosition(cursor);
    }
    FLink->SetModified();
}

void TDBEdit::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        UpdateRecord();
        // Let a dialog see Enter for its default button as well.
        QLineEdit::keyPressEvent(event);
        return;
    }
    if (event->key() == Qt::Key_Escape && FLink->Modified()) {
        FLink->Reset();
        selectAll();
        event->accept();
        return;
    }
    QLineEdit::keyPressEvent(event);
}

void TDBEdit::focusInEvent(QFocusEvent* event) {
    FFocused = true;
    if (!FLink->Modified())
        LoadFromField();
    QLineEdit::focusInEvent(event);
}

void TDBEdit::focusOutEvent(QFocusEvent* event) {
    // A context menu or a message box takes the focus only for a moment; the
    // user is still in the field. Writing here as well would show a refusal twice.
    if (event->reason() != Qt::PopupFocusReason && event->reason() != Qt::ActiveWindowFocusReason) {
        FFocused = false;
        if (FLink->Modified())
            UpdateRecord();
        if (!FLink->Modified())
            LoadFromField();
    }
    QLineEdit::focusOutEvent(event);
}

void BindEdits(TDataSource* source, std::initializer_list<std::pair<TDBEdit*, const char*>> edits) {
    for (const auto& [edit, field] : edits)
        BindField(edit, source, QLatin1String(field));
}
