#include "TDBLookupComboBox.h"

#include "TDBDataLink.h"

namespace {

// Keys compare as numbers when both are numbers ("20" and 20.0 are one VAT
// rate), otherwise as text.
bool SameKey(const QVariant& a, const QVariant& b) {
    if (a.isNull() || b.isNull())
        return false;
    bool okA = false, okB = false;
    const double da = a.toDouble(&okA);
    const double db = b.toDouble(&okB);
    if (okA && okB)
        return qFuzzyCompare(1.0 + da, 1.0 + db);
    return a.toString() == b.toString();
}

} // namespace

TDBLookupComboBox::TDBLookupComboBox(QWidget* parent) : QComboBox(parent), FLink(new TFieldDataLink(this)) {
    setEditable(false);
    FLink->OnDataChange = [this] { LoadFromField(); };
    FLink->OnStateChange = [this] { UpdateState(); };
    FLink->OnUpdateData = [] { return true; }; // the choice is written at once
    connect(this, &QComboBox::activated, this, &TDBLookupComboBox::UserSelected);
    UpdateState();
}

TDataSource* TDBLookupComboBox::DataSource() const {
    return FLink->DataSource();
}
void TDBLookupComboBox::SetDataSource(TDataSource* dataSource) {
    FLink->SetDataSource(dataSource);
}
QString TDBLookupComboBox::DataField() const {
    return FLink->FieldName();
}
void TDBLookupComboBox::SetDataField(const QString& name) {
    FLink->SetFieldName(name);
}
TField* TDBLookupComboBox::Field() const {
    return FLink->Field();
}

void TDBLookupComboBox::SetListSource(TDataSource* listSource) {
    for (const auto& c : std::as_const(FListConnections))
        disconnect(c);
    FListConnections.clear();
    FListSource = listSource;
    if (listSource) {
        // The list is rebuilt when its dataset opens or moves as a whole; a
        // change of a single field of it does not alter the entries' count.
        FListConnections << connect(listSource, &TDataSource::dataChange, this, [this](TField* field) {
            if (!field)
                ReloadList();
        });
        FListConnections << connect(listSource, &TDataSource::stateChange, this,
                                    &TDBLookupComboBox::ReloadList);
    }
    ReloadList();
}

void TDBLookupComboBox::SetListDataSet(TSQLiteBaseQuery* dataSet) {
    if (!FOwnListSource)
        FOwnListSource = new TDataSource(nullptr, this);
    FOwnListSource->SetDataSet(dataSet);
    SetListSource(FOwnListSource);
}

void TDBLookupComboBox::SetKeyField(const QString& name) {
    FKeyField = name;
    ReloadList();
}

void TDBLookupComboBox::SetListField(const QString& name) {
    FListField = name;
    ReloadList();
}

void TDBLookupComboBox::Bind(TDataSource* dataSource, const QString& dataField, TDataSource* listSource,
                             const QString& keyField, const QString& listField, int dropDownRows) {
    SetDataSource(dataSource);
    SetDataField(dataField);
    SetListSource(listSource);
    SetKeyField(keyField);
    SetListField(listField);
    if (dropDownRows > 0)
        SetDropDownRows(dropDownRows);
}

void TDBLookupComboBox::SetReadOnly(bool value) {
    FReadOnly = value;
    UpdateState();
}

QVariant TDBLookupComboBox::KeyValue() const {
    return currentIndex() >= 0 ? currentData() : QVariant();
}

void TDBLookupComboBox::ReloadList() {
    const QSignalBlocker blocker(this);
    clear();
    TSQLiteBaseQuery* list = FListSource ? FListSource->DataSet() : nullptr;
    if (list && list->Active()) {
        TField* key = list->FindField(FKeyField);
        TField* shown = list->FindField(FListField.isEmpty() ? FKeyField : FListField);
        if (key && shown) {
            const int rows = list->RecordCount();
            for (int row = 0; row < rows; ++row)
                addItem(DisplayValueText(shown->DataType(), list->ValueAt(row, shown->Index())),
                        list->ValueAt(row, key->Index()));
        }
    }
    LoadFromField();
}

void TDBLookupComboBox::LoadFromField() {
    UpdateState();
    TField* field = Field();
    int index = -1;
    if (field && !field->IsNull()) {
        const QVariant value = field->Value();
        for (int i = 0; i < count(); ++i)
            if (SameKey(itemData(i), value)) {
                index = i;
                break;
            }
    }
    const QSignalBlocker blocker(this);
    setCurrentIndex(index);
}

void TDBLookupComboBox::UpdateState() {
    setEnabled(Field() != nullptr && !FReadOnly);
}

void TDBLookupComboBox::UserSelected(int index) {
    const QVariant key = itemData(index);
    if (Field() && SameKey(Field()->Value(), key))
        return; // the same entry again changes nothing
    if (!FLink->Edit()) {
        LoadFromField();
        return;
    }
    TField* field = Field();
    if (!field || !RunDataAction([&] { field->SetValue(key); }))
        LoadFromField();
}
