// A label showing one field of the current record as a grid shows it (for
// example the name of a number range above its editable value).
#pragma once

#include <QLabel>

class TDataSource;
class TField;
class TFieldDataLink;

class TDBText : public QLabel {
    Q_OBJECT
public:
    explicit TDBText(QWidget* parent = nullptr);

    TDataSource* DataSource() const;
    void SetDataSource(TDataSource* dataSource);
    QString DataField() const;
    void SetDataField(const QString& name);
    TField* Field() const;

private:
    void LoadFromField();

    TFieldDataLink* FLink;
};
