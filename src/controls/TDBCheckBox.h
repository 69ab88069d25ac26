// A check box bound to a yes/no column holding letters: "J"/"N" by default,
// or the column's own pair (for example "Y"/"N").
#pragma once

#include <QCheckBox>

class TDataSource;
class TField;
class TFieldDataLink;

class TDBCheckBox : public QCheckBox {
    Q_OBJECT
public:
    explicit TDBCheckBox(QWidget* parent = nullptr);

    TDataSource* DataSource() const;
    void SetDataSource(TDataSource* dataSource);
    QString DataField() const;
    void SetDataField(const QString& name);
    TField* Field() const;

    QString ValueChecked() const { return FValueChecked; }
    void SetValueChecked(const QString& value);
    QString ValueUnchecked() const { return FValueUnchecked; }
    void SetValueUnchecked(const QString& value);

    // A read-only box is shown disabled.
    void SetReadOnly(bool value);
    bool ReadOnly() const { return FReadOnly; }

protected:
    void nextCheckState() override;

private:
    void LoadFromField();
    void UpdateState();

    TFieldDataLink* FLink;
    QString FValueChecked = QStringLiteral("J");
    QString FValueUnchecked = QStringLiteral("N");
    bool FReadOnly = false;
};
