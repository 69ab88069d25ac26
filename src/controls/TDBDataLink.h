// The link between one data-aware control and one field of a data source.
//
// Every bound control owns a TFieldDataLink. The link listens to the data
// source, finds the field by name whenever it is needed (fields are created
// anew each time a dataset opens), puts the dataset into edit state when the
// user starts typing and writes the control's pending text back on request.
// Dataset operations started by a control run through RunDataAction, which
// shows database errors and swallows the silent abort, because an exception
// must never travel through Qt's event loop.
#pragma once

#include "SQLite.h"

#include <QObject>
#include <QPointer>
#include <QVariant>

#include <functional>

class TFieldDataLink : public QObject {
    Q_OBJECT
public:
    explicit TFieldDataLink(QObject* parent = nullptr);
    ~TFieldDataLink() override;

    TDataSource* DataSource() const { return FDataSource; }
    void SetDataSource(TDataSource* dataSource);
    QString FieldName() const { return FFieldName; }
    void SetFieldName(const QString& name);

    TSQLiteBaseQuery* DataSet() const;
    bool Active() const;   // a dataset is attached and open
    TField* Field() const; // nullptr while inactive or when the dataset has no such field
    bool Editing() const;  // the dataset is in edit or insert state

    // Puts the dataset into edit state unless it already is; false when that was refused.
    bool Edit();

    // The control holds text the user changed and that is not yet in the field.
    bool Modified() const { return FModified; }
    void SetModified() { FModified = true; }
    // Reloads the control from the field, dropping what the user typed.
    void Reset();

    // Writes the control's pending change into the field; false when the control
    // refused its own text (for example a number that is none).
    bool UpdateRecord();
    // Writes the pending changes of every control bound to the dataset; a save
    // calls this first so that a field the user is still in is saved too.
    static bool UpdateRecord(TSQLiteBaseQuery* dataSet);
    // A control bound to the dataset holds text the user changed.
    static bool Modified(TSQLiteBaseQuery* dataSet);

    // Set by the owning control.
    std::function<void()> OnDataChange;  // show the field's current value
    std::function<void()> OnStateChange; // adjust read-only state and similar
    std::function<bool()> OnUpdateData;  // write the control's value into the field

private:
    void DataChanged(TField* field);
    void StateChanged();
    void Connect();
    void Disconnect();

    QPointer<TDataSource> FDataSource;
    QString FFieldName;
    bool FModified = false;
    bool FEntering = false; // inside Edit(): the control keeps what the user typed
    QList<QMetaObject::Connection> FConnections;
};

// Runs a dataset operation on behalf of the user: the silent abort ends it
// quietly, any other error is shown in an error box. True when it succeeded.
bool RunDataAction(const std::function<void()>& action);

// Binds a data-aware control to one field of a data source.
template <class TControl> void BindField(TControl* control, TDataSource* source, const QString& field) {
    control->SetDataSource(source);
    control->SetDataField(field);
}

// Text of a value as a grid or a control that is not being edited shows it:
// the display pattern for numbers when one is given, dates as dd.MM.yyyy.
QString DisplayValueText(TFieldType type, const QVariant& value, const QString& displayFormat = {});
// Text of a value for editing: numbers without grouping in the current locale.
QString EditValueText(TFieldType type, const QVariant& value);

// Converts typed text into a value for a field of the given type. An empty text
// (only blanks for numbers and dates) gives NULL. On failure returns false and
// puts a German message for the user into error.
bool ParseFieldText(TFieldType type, const QString& text, QVariant& value, QString& error);

// Writes typed text into a field, showing a warning when the text is no valid
// value for it. True when the field holds the value afterwards.
bool WriteFieldText(TField* field, const QString& text);

// True for the field types whose values are numbers (shown right-aligned).
bool IsNumericFieldType(TFieldType type);
