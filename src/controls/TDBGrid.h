// A read-only grid over a dataset. The selected row follows the dataset's
// current record and choosing a row moves the dataset there.
#pragma once

#include "TDBGridModel.h"

#include <QStyleOptionViewItem>
#include <QTableView>

class TDBGrid : public QTableView {
    Q_OBJECT
public:
    explicit TDBGrid(QWidget* parent = nullptr);

    TDataSource* DataSource() const { return FModel->DataSource(); }
    void SetDataSource(TDataSource* dataSource);
    TDBGridModel* GridModel() const { return FModel; }

    // Columns to show; without any, every visible field is shown.
    void SetColumns(const QList<TDBGridColumn>& columns);

    // Per-row look: colours and bold text of a row (row = 0-based buffer row).
    void SetRowStyleHook(std::function<void(int row, TDBGridRowStyle& style)> hook);
    // Owner drawing of a cell; return true when the hook painted the cell itself.
    std::function<bool(QPainter* painter, const QStyleOptionViewItem& option, int row, int column)>
        OnDrawCell;

    // The dataset row a grid row shows (0-based), -1 for none.
    int CurrentRow() const;

signals:
    // A row was double-clicked, or Enter pressed on it; the dataset stands on
    // that row already.
    void recordDoubleClicked(int row);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void FollowDataSet();
    void RowChosen(const QModelIndex& current, const QModelIndex& previous);
    void ApplyColumnWidths();

    TDBGridModel* FModel;
    bool FFollowing = false;
};
