// A one-line text field bound to one field of a data source.
#pragma once

#include <QLineEdit>

#include <initializer_list>
#include <utility>

class TDataSource;
class TField;
class TFieldDataLink;

class TDBEdit : public QLineEdit {
    Q_OBJECT
public:
    explicit TDBEdit(QWidget* parent = nullptr);

    TDataSource* DataSource() const;
    void SetDataSource(TDataSource* dataSource);
    QString DataField() const;
    void SetDataField(const QString& name);
    TField* Field() const;

    // Hides QLineEdit's setter so that a read-only flag from a form file
    // survives the binding, which makes the field read-only while unbound.
    void setReadOnly(bool value);
    bool ReadOnly() const { return FReadOnly; }

    // Writes what the user typed into the field; false when the text is no
    // valid value for it (a warning was shown and the text stays).
    bool UpdateRecord();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    void LoadFromField();
    void UpdateState();
    void UserEdited();

    TFieldDataLink* FLink;
    bool FReadOnly = false;
    bool FFocused = false;
};

// Binds each edit to its field of one data source.
void BindEdits(TDataSource* source, std::initializer_list<std::pair<TDBEdit*, const char*>> edits);
