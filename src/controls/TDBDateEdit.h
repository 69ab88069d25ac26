// A date picker bound to a date or date-time field. A NULL date shows an empty
// box; picking a date puts the record into edit state and writes it at once.
#pragma once

#include <QDateEdit>

class TDataSource;
class TField;
class TFieldDataLink;

class TDBDateEdit : public QDateEdit {
    Q_OBJECT
public:
    explicit TDBDateEdit(QWidget* parent = nullptr);

    TDataSource* DataSource() const;
    void SetDataSource(TDataSource* dataSource);
    QString DataField() const;
    void SetDataField(const QString& name);
    TField* Field() const;

    // Hides the base setter so that a read-only flag from a form file survives the binding.
    void setReadOnly(bool value);
    bool ReadOnly() const { return FReadOnly; }

    // The date shown; invalid while the field is NULL.
    QDate FieldDate() const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    // Tab leaves the field like in every other field; the day, month and
    // year parts are reached with the cursor keys.
    bool focusNextPrevChild(bool next) override { return QWidget::focusNextPrevChild(next); }

private:
    void LoadFromField();
    void UpdateState();
    void UserChanged(QDate date);

    TFieldDataLink* FLink;
    bool FReadOnly = false;
    bool FLoading = false;
};
