// A read-only table model over the buffered rows of a dataset, for TDBGrid.
#pragma once

#include "SQLite.h"

#include <QAbstractTableModel>
#include <QColor>
#include <QFont>
#include <QPointer>

#include <functional>
#include <vector>

// One column of a grid: the field it shows and how.
struct TDBGridColumn {
    QString FieldName;
    QString Caption;              // empty: the field's DisplayLabel, else its name
    QString DisplayFormat;        // empty: the field's DisplayFormat
    int Width = 0;                // pixels; 0: as wide as the view makes it
    Qt::Alignment Alignment = {}; // empty: right for numbers, left otherwise
};

// What a per-row hook may change about the look of one row.
struct TDBGridRowStyle {
    QColor Background; // invalid: the view's own
    QColor Foreground;
    bool Bold = false;
};

class TDBGridModel : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit TDBGridModel(QObject* parent = nullptr);

    TDataSource* DataSource() const { return FDataSource; }
    void SetDataSource(TDataSource* dataSource);
    TSQLiteBaseQuery* DataSet() const;

    // Without columns the grid shows every visible field of the dataset.
    void SetColumns(const QList<TDBGridColumn>& columns);
    QList<TDBGridColumn> Columns() const { return FColumns; }

    // Called for each row before it is drawn (row is the 0-based grid row).
    std::function<void(int row, TDBGridRowStyle& style)> OnRowStyle;

    TField* ColumnField(int column) const;
    // The raw value of a cell, as the dataset holds it (the edit buffer for the
    // record being edited).
    QVariant Value(int row, int column) const;
    // The text a cell shows.
    QString Text(int row, int column) const;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

    // Re-reads the dataset's shape and rows.
    void Refresh();

    // The grid row of the dataset's current record (a record being inserted
    // has a row of its own), -1 when there is none.
    int CurrentRow() const;
    // The grid row at which a record is being inserted, -1 when none is.
    int InsertRow() const { return FInsertRow; }

signals:
    // The dataset's current record may have changed.
    void currentRecordChanged();

private:
    struct Column {
        TDBGridColumn Definition;
        int FieldIndex = -1;
    };
    void DataChanged(TField* field);
    void Rebuild();
    bool SameShape() const;

    QPointer<TDataSource> FDataSource;
    QList<QMetaObject::Connection> FConnections;
    QList<TDBGridColumn> FColumns;
    std::vector<Column> FShown;
    int FRowCount = 0;
    int FInsertRow = -1;
};
