#include "TDBGrid.h"

#include "SQLite.h"
#include "TDBDataLink.h"

#include <QHeaderView>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QPainter>
#include <QStyledItemDelegate>

namespace {

class TDBGridDelegate : public QStyledItemDelegate {
public:
    explicit TDBGridDelegate(TDBGrid* grid) : QStyledItemDelegate(grid), FGrid(grid) {}

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        if (FGrid->OnDrawCell) {
            QStyleOptionViewItem opt = option;
            initStyleOption(&opt, index);
            painter->save();
            const bool done = FGrid->OnDrawCell(painter, opt, index.row(), index.column());
            painter->restore();
            if (done)
                return;
        }
        QStyledItemDelegate::paint(painter, option, index);
    }

private:
    TDBGrid* FGrid;
};

} // namespace

TDBGrid::TDBGrid(QWidget* parent) : QTableView(parent), FModel(new TDBGridModel(this)) {
    setModel(FModel);
    setItemDelegate(new TDBGridDelegate(this));
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setAlternatingRowColors(false);
    setWordWrap(false);
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
    verticalHeader()->hide();
    horizontalHeader()->setHighlightSections(false);
    connect(FModel, &TDBGridModel::currentRecordChanged, this, &TDBGrid::FollowDataSet);
    connect(FModel, &QAbstractItemModel::modelReset, this, &TDBGrid::ApplyColumnWidths);
    connect(selectionModel(), &QItemSelectionModel::currentChanged, this, &TDBGrid::RowChosen);
    connect(this, &QAbstractItemView::doubleClicked, this, [this](const QModelIndex& index) {
        if (index.isValid() && CurrentRow() == index.row())
            emit recordDoubleClicked(index.row());
    });
}

void TDBGrid::keyPressEvent(QKeyEvent* event) {
    // Enter opens the record like a double-click: a list is usable without a mouse.
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) && CurrentRow() >= 0 &&
        !(event->modifiers() & ~Qt::KeypadModifier)) {
        event->accept();
        emit recordDoubleClicked(CurrentRow());
        return;
    }
    QTableView::keyPressEvent(event);
}

void TDBGrid::SetDataSource(TDataSource* dataSource) {
    FModel->SetDataSource(dataSource);
    ApplyColumnWidths();
    FollowDataSet();
}

void TDBGrid::SetColumns(const QList<TDBGridColumn>& columns) {
    FModel->SetColumns(columns);
    ApplyColumnWidths();
    FollowDataSet();
}

void TDBGrid::SetRowStyleHook(std::function<void(int, TDBGridRowStyle&)> hook) {
    FModel->OnRowStyle = std::move(hook);
    viewport()->update();
}

int TDBGrid::CurrentRow() const {
    return FModel->CurrentRow();
}

void TDBGrid::ApplyColumnWidths() {
    const QList<TDBGridColumn> columns = FModel->Columns();
    const int count = std::min<int>(columns.size(), FModel->columnCount());
    int total = 0;
    for (int i = 0; i < count; ++i)
        total += std::max(columns[i].Width, 0);
    // Columns that would not fit beside each other give way in proportion,
    // so that the last one ("Aktiv") is not cut off in a window of the
    // default size; with room enough every column has its own width.
    const int room = viewport()->width() - 2;
    const double scale = total > room && room > 0 ? double(room) / total : 1.0;
    for (int i = 0; i < count; ++i)
        if (columns[i].Width > 0)
            setColumnWidth(i, std::max(24, int(columns[i].Width * scale)));
}

void TDBGrid::resizeEvent(QResizeEvent* event) {
    QTableView::resizeEvent(event);
    ApplyColumnWidths();
}

void TDBGrid::FollowDataSet() {
    const int row = CurrentRow();
    FFollowing = true;
    if (row >= 0 && row < FModel->rowCount() && FModel->columnCount() > 0) {
        const int column = std::max(0, currentIndex().column());
        const QModelIndex index = FModel->index(row, std::min(column, FModel->columnCount() - 1));
        selectionModel()->setCurrentIndex(index,
                                          QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
        scrollTo(index);
    } else {
        selectionModel()->clearCurrentIndex();
        selectionModel()->clearSelection();
    }
    FFollowing = false;
}

void TDBGrid::RowChosen(const QModelIndex& current, const QModelIndex&) {
    if (FFollowing || !current.isValid())
        return;
    TSQLiteBaseQuery* ds = FModel->DataSet();
    if (!ds || CurrentRow() < 0 || current.row() == CurrentRow())
        return;
    int target = current.row();
    // Leaving a record settles its pending change first; a refused save keeps
    // the dataset (and so the grid) on that record.
    const int insertRow = FModel->InsertRow();
    const int countBefore = ds->RecordCount();
    if (!TFieldDataLink::UpdateRecord(ds) || !RunDataAction([ds] { ds->CheckBrowseMode(); })) {
        FollowDataSet();
        return;
    }
    // A dropped new record no longer occupies a row of its own.
    if (insertRow >= 0 && target > insertRow && ds->RecordCount() == countBefore)
        --target;
    const int from = CurrentRow();
    if (from >= 0 && target != from)
        RunDataAction([&] { ds->MoveBy(target - from); });
    if (CurrentRow() != current.row())
        FollowDataSet();
}
