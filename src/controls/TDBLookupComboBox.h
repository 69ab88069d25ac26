// A selection list bound to a key column: the entries come from a list dataset
// (key field and display field), the chosen entry's key is written into the
// bound field.
#pragma once

#include "SQLite.h"

#include <QComboBox>
#include <QPointer>

class TFieldDataLink;

class TDBLookupComboBox : public QComboBox {
    Q_OBJECT
public:
    explicit TDBLookupComboBox(QWidget* parent = nullptr);

    TDataSource* DataSource() const;
    void SetDataSource(TDataSource* dataSource);
    QString DataField() const;
    void SetDataField(const QString& name);
    TField* Field() const;

    TDataSource* ListSource() const { return FListSource; }
    void SetListSource(TDataSource* listSource);
    // Binds to a list dataset through a data source the box owns.
    void SetListDataSet(TSQLiteBaseQuery* dataSet);
    QString KeyField() const { return FKeyField; }
    void SetKeyField(const QString& name);
    QString ListField() const { return FListField; }
    void SetListField(const QString& name);
    // The whole binding in one call: the field written, the list offered, the list's key and
    // shown fields and, when above 0, the number of rows the drop-down shows.
    void Bind(TDataSource* dataSource, const QString& dataField, TDataSource* listSource,
              const QString& keyField, const QString& listField, int dropDownRows = 0);
    int DropDownRows() const { return maxVisibleItems(); }
    void SetDropDownRows(int rows) { setMaxVisibleItems(rows); }

    // The key of the shown entry (null when none is shown).
    QVariant KeyValue() const;

    void SetReadOnly(bool value);
    bool ReadOnly() const { return FReadOnly; }

    // Rebuilds the entries from the list dataset's rows.
    void ReloadList();

private:
    void LoadFromField();
    void UpdateState();
    void UserSelected(int index);

    TFieldDataLink* FLink;
    QPointer<TDataSource> FListSource;
    TDataSource* FOwnListSource = nullptr;
    QList<QMetaObject::Connection> FListConnections;
    QString FKeyField;
    QString FListField;
    bool FReadOnly = false;
};
