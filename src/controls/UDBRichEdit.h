// A rich-text editor bound to one memo field of a data source.
//
// The field holds the text as RTF. The editor shows the RTF of the current
// record; every change the user makes puts the dataset into edit state (when
// it is not already editing) and writes the whole text back into the field at
// once, so a save never misses the last keystroke.
#pragma once

#include "SQLite.h"

#include <QPointer>
#include <QString>
#include <QTextEdit>

class TDBRichEdit : public QTextEdit {
    Q_OBJECT
public:
    explicit TDBRichEdit(QWidget* parent = nullptr);

    TDataSource* DataSource() const { return FDataSource; }
    void SetDataSource(TDataSource* dataSource);
    QString DataField() const { return FDataField; }
    void SetDataField(const QString& name);

    TSQLiteBaseQuery* DataSet() const; // nullptr without a data source
    TField* Field() const;             // nullptr while the dataset is closed or has no such field

    // The attributes of text typed where no formatting is set yet: the
    // document's default font and the format at the caret, both plain.
    void SetDefAttributes(const QString& family, double pointSize);

    // Shows the field's content of the current record (again).
    void LoadFromField();

private:
    void DataChanged(TField* field);
    void StateChanged();
    void ContentsChanged();
    void Reconnect();

    QPointer<TDataSource> FDataSource;
    QString FDataField;
    QList<QMetaObject::Connection> FConnections;
    QString FShown;         // the field text the editor shows or last wrote
    bool FHasShown = false; // FShown is valid
    bool FLoading = false;  // the document is being filled from the field
    bool FWriting = false;  // the editor is writing into the field itself
};
