#include "TDBCheckBox.h"

#include "TDBDataLink.h"

TDBCheckBox::TDBCheckBox(QWidget* parent) : QCheckBox(parent), FLink(new TFieldDataLink(this)) {
    FLink->OnDataChange = [this] { LoadFromField(); };
    FLink->OnStateChange = [this] { UpdateState(); };
    // The box writes its value at the click already, so nothing is ever pending.
    FLink->OnUpdateData = [] { return true; };
    UpdateState();
}

TDataSource* TDBCheckBox::DataSource() const {
    return FLink->DataSource();
}
void TDBCheckBox::SetDataSource(TDataSource* dataSource) {
    FLink->SetDataSource(dataSource);
}
QString TDBCheckBox::DataField() const {
    return FLink->FieldName();
}
void TDBCheckBox::SetDataField(const QString& name) {
    FLink->SetFieldName(name);
}
TField* TDBCheckBox::Field() const {
    return FLink->Field();
}

void TDBCheckBox::SetValueChecked(const QString& value) {
    FValueChecked = value;
    LoadFromField();
}

void TDBCheckBox::SetValueUnchecked(const QString& value) {
    FValueUnchecked = value;
    LoadFromField();
}

void TDBCheckBox::SetReadOnly(bool value) {
    FReadOnly = value;
    UpdateState();
}

void TDBCheckBox::LoadFromField() {
    UpdateState();
    TField* field = Field();
    // NULL and any letter other than the "yes" letter show as not ticked.
    const bool ticked = field && !field->IsNull() &&
                        field->AsString().trimmed().compare(FValueChecked, Qt::CaseInsensitive) == 0;
    setChecked(ticked);
}

void TDBCheckBox::UpdateState() {
    // Like the lookup box: a box that cannot be changed shows it.
    setEnabled(Field() != nullptr && !FReadOnly);
}

void TDBCheckBox::nextCheckState() {
    TField* field = Field();
    if (FReadOnly || !field || !FLink->Edit())
        return;
    field = Field(); // entering edit state may have created a new record
    const QString value = isChecked() ? FValueUnchecked : FValueChecked;
    if (RunDataAction([&] { field->SetAsString(value); }))
        setChecked(value == FValueChecked);
    else
        LoadFromField();
}
