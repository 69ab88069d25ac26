#include "TDBGridModel.h"

#include "SQLite.h"
#include "TDBDataLink.h"

TDBGridModel::TDBGridModel(QObject* parent) : QAbstractTableModel(parent) {}

void TDBGridModel::SetDataSource(TDataSource* dataSource) {
    for (const auto& c : std::as_const(FConnections))
        disconnect(c);
    FConnections.clear();
    FDataSource = dataSource;
    if (dataSource) {
        FConnections << connect(dataSource, &TDataSource::dataChange, this, &TDBGridModel::DataChanged);
        // Insert, cancel and post change the number of rows; the layer announces
        // them as a change of state.
        FConnections << connect(dataSource, &TDataSource::stateChange, this, &TDBGridModel::Refresh);
        FConnections << connect(dataSource, &QObject::destroyed, this, &TDBGridModel::Refresh);
    }
    Refresh();
}

TSQLiteBaseQuery* TDBGridModel::DataSet() const {
    return FDataSource ? FDataSource->DataSet() : nullptr;
}

void TDBGridModel::SetColumns(const QList<TDBGridColumn>& columns) {
    FColumns = columns;
    beginResetModel();
    Rebuild();
    endResetModel();
}

void TDBGridModel::Rebuild() {
    FShown.clear();
    FRowCount = 0;
    FInsertRow = -1;
    TSQLiteBaseQuery* ds = DataSet();
    if (!ds || !ds->Active())
        return;
    if (FColumns.isEmpty()) {
        for (int i = 0; i < ds->FieldCount(); ++i)
            if (ds->Fields(i)->Visible)
                FShown.push_back({TDBGridColumn{ds->Fields(i)->FieldName(), {}, {}, 0, {}}, i});
    } else {
        for (const TDBGridColumn& c : std::as_const(FColumns)) {
            TField* field = ds->FindField(c.FieldName);
            FShown.push_back({c, field ? field->Index() : -1});
        }
    }
    FRowCount = ds->RecordCount();
    if (ds->State() == TDataSetState::Insert) {
        FInsertRow = ds->RecNo() - 1;
        ++FRowCount;
    }
}

int TDBGridModel::CurrentRow() const {
    TSQLiteBaseQuery* ds = DataSet();
    if (!ds || !ds->Active() || ds->IsEmpty())
        return -1;
    return ds->RecNo() - 1;
}

bool TDBGridModel::SameShape() const {
    TSQLiteBaseQuery* ds = DataSet();
    const bool inserting = ds && ds->Active() && ds->State() == TDataSetState::Insert;
    const int rows = ds && ds->Active() ? ds->RecordCount() + (inserting ? 1 : 0) : 0;
    if (rows != FRowCount || (inserting ? ds->RecNo() - 1 : -1) != FInsertRow)
        return false;
    if (!ds || !ds->Active())
        return FShown.empty();
    if (FColumns.isEmpty()) {
        size_t n = 0;
        for (int i = 0; i < ds->FieldCount(); ++i)
            if (ds->Fields(i)->Visible) {
                if (n >= FShown.size() || FShown[n].FieldIndex != i ||
                    FShown[n].Definition.FieldName != ds->Fields(i)->FieldName())
                    return false;
                ++n;
            }
        return n == FShown.size();
    }
    for (const Column& c : FShown) {
        TField* field = ds->FindField(c.Definition.FieldName);
        if ((field ? field->Index() : -1) != c.FieldIndex)
            return false;
    }
    return true;
}

void TDBGridModel::Refresh() {
    if (SameShape()) {
        // Same rows and columns: repaint the values without losing the view's
        // scroll position and selection.
        if (FRowCount > 0 && !FShown.empty())
            emit dataChanged(index(0, 0), index(FRowCount - 1, int(FShown.size()) - 1));
        emit headerDataChanged(Qt::Horizontal, 0, std::max(0, int(FShown.size()) - 1));
    } else {
        beginResetModel();
        Rebuild();
        endResetModel();
    }
    emit currentRecordChanged();
}

void TDBGridModel::DataChanged(TField* field) {
    TSQLiteBaseQuery* ds = DataSet();
    if (!field || !ds) {
        Refresh();
        return;
    }
    // One field of the current record was assigned: repaint that row only.
    const int row = CurrentRow();
    if (row >= 0 && row < FRowCount && !FShown.empty())
        emit dataChanged(index(row, 0), index(row, int(FShown.size()) - 1));
}

TField* TDBGridModel::ColumnField(int column) const {
    TSQLiteBaseQuery* ds = DataSet();
    if (!ds || column < 0 || column >= int(FShown.size()))
        return nullptr;
    const int i = FShown[size_t(column)].FieldIndex;
    return i >= 0 && i < ds->FieldCount() ? ds->Fields(i) : nullptr;
}

QVariant TDBGridModel::Value(int row, int column) const {
    TSQLiteBaseQuery* ds = DataSet();
    TField* field = ColumnField(column);
    if (!field || row < 0 || row >= FRowCount)
        return {};
    // The record being edited or inserted shows what the user has entered so far.
    if (row == FInsertRow || (ds->State() == TDataSetState::Edit && row == CurrentRow()))
        return ds->CurrentValue(field->Index());
    return ds->ValueAt(FInsertRow >= 0 && row > FInsertRow ? row - 1 : row, field->Index());
}

QString TDBGridModel::Text(int row, int column) const {
    TField* field = ColumnField(column);
    if (!field)
        return {};
    const QString& format = FShown[size_t(column)].Definition.DisplayFormat;
    QString text = DisplayValueText(field->DataType(), Value(row, column),
                                    format.isEmpty() ? field->DisplayFormat : format);
    if (field->DataType() == TFieldType::Memo)
        text = text.section(QLatin1Char('\n'), 0, 0).trimmed(); // a cell holds one line
    return text;
}

int TDBGridModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : FRowCount;
}

int TDBGridModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(FShown.size());
}

QVariant TDBGridModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= FRowCount || index.column() >= int(FShown.size()))
        return {};
    const int row = index.row();
    const int column = index.column();
    switch (role) {
    case Qt::DisplayRole:
    case Qt::ToolTipRole:
        return Text(row, column);
    case Qt::TextAlignmentRole: {
        const Qt::Alignment a = FShown[size_t(column)].Definition.Alignment;
        if (a)
            return int(a);
        TField* field = ColumnField(column);
        const bool numeric = field && IsNumericFieldType(field->DataType());
        return int(Qt::AlignVCenter | (numeric ? Qt::AlignRight : Qt::AlignLeft));
    }
    case Qt::BackgroundRole:
    case Qt::ForegroundRole:
    case Qt::FontRole: {
        if (!OnRowStyle)
            return {};
        TDBGridRowStyle style;
        OnRowStyle(row, style);
        if (role == Qt::BackgroundRole)
            return style.Background.isValid() ? QVariant(style.Background) : QVariant();
        if (role == Qt::ForegroundRole)
            return style.Foreground.isValid() ? QVariant(style.Foreground) : QVariant();
        if (!style.Bold)
            return {};
        QFont font;
        font.setBold(true);
        return font;
    }
    default:
        return {};
    }
}

QVariant TDBGridModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || section < 0 || section >= int(FShown.size()))
        return QAbstractTableModel::headerData(section, orientation, role);
    const TDBGridColumn& c = FShown[size_t(section)].Definition;
    TField* field = ColumnField(section);
    if (role == Qt::DisplayRole) {
        if (!c.Caption.isEmpty())
            return c.Caption;
        if (field && !field->DisplayLabel.isEmpty())
            return field->DisplayLabel;
        return c.FieldName;
    }
    if (role == Qt::TextAlignmentRole) {
        if (c.Alignment)
            return int(c.Alignment);
        const bool numeric = field && IsNumericFieldType(field->DataType());
        return int(Qt::AlignVCenter | (numeric ? Qt::AlignRight : Qt::AlignLeft));
    }
    return {};
}

Qt::ItemFlags TDBGridModel::flags(const QModelIndex& index) const {
    if (!index.isValid())
        return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable;
}
