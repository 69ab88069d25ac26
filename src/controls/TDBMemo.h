// A multi-line plain text field bound to one (memo) field of a data source.
#pragma once

#include <QPlainTextEdit>

class TDataSource;
class TField;
class TFieldDataLink;

class TDBMemo : public QPlainTextEdit {
    Q_OBJECT
public:
    explicit TDBMemo(QWidget* parent = nullptr);

    TDataSource* DataSource() const;
    void SetDataSource(TDataSource* dataSource);
    QString DataField() const;
    void SetDataField(const QString& name);
    TField* Field() const;

    // Hides the base setter so that a read-only flag from a form file survives the binding.
    void setReadOnly(bool value);
    bool ReadOnly() const { return FReadOnly; }

    bool UpdateRecord();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    void LoadFromField();
    void UpdateState();
    void TextChanged();

    TFieldDataLink* FLink;
    bool FReadOnly = false;
    bool FLoading = false;
};
