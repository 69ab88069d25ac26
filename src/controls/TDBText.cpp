#include "TDBText.h"

#include "TDBDataLink.h"

TDBText::TDBText(QWidget* parent) : QLabel(parent), FLink(new TFieldDataLink(this)) {
    setTextFormat(Qt::PlainText);
    FLink->OnDataChange = [this] { LoadFromField(); };
}

TDataSource* TDBText::DataSource() const {
    return FLink->DataSource();
}
void TDBText::SetDataSource(TDataSource* dataSource) {
    FLink->SetDataSource(dataSource);
}
QString TDBText::DataField() const {
    return FLink->FieldName();
}
void TDBText::SetDataField(const QString& name) {
    FLink->SetFieldName(name);
}
TField* TDBText::Field() const {
    return FLink->Field();
}

void TDBText::LoadFromField() {
    TField* field = Field();
    setText(field ? DisplayValueText(field->DataType(), field->Value(), field->DisplayFormat) : QString());
}
