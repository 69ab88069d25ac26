#include "UFrameUeb.h"

#include "ComboHelpers.h"
#include "ListFilter.h"
#include "Messages.h"
#include "SQLite.h"
#include "TDBDataLink.h"
#include "TDBGrid.h"
#include "UDM.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QValidator>

namespace {

// Drops every character but 0 to 9, wherever it came from (keys or paste).
class TDigitsValidator : public QValidator {
public:
    using QValidator::QValidator;
    State validate(QString& input, int& pos) const override {
        QString digits;
        int before = 0;
        for (qsizetype i = 0; i < input.size(); ++i) {
            const QChar c = input.at(i);
            if (c >= u'0' && c <= u'9') {
                digits.append(c);
                if (i < pos)
                    ++before;
            }
        }
        input = digits;
        pos = before;
        return Acceptable;
    }
};

} // namespace

TFrameUeb::TFrameUeb(QWidget* parent) : QFrame(parent) {}

void TFrameUeb::SetTitle(const QString& title) {
    if (FTitle)
        FTitle->setText(title);
}

void TFrameUeb::MakeDigitsOnly(QLineEdit* edit) {
    edit->setValidator(new TDigitsValidator(edit));
}

void TFrameUeb::Setup(const TRecordKind& kind, TDBGrid* grid, QLabel* title, QPushButton* neu,
                      QPushButton* aendern, QPushButton* loeschen) {
    FKind = kind;
    FGrid = grid;
    FTitle = title;
    FCommandButtons = {neu, aendern, loeschen};
    connect(neu, &QPushButton::clicked, this, &TFrameUeb::NeuClick);
    connect(aendern, &QPushButton::clicked, this, &TFrameUeb::AendernClick);
    connect(loeschen, &QPushButton::clicked, this, &TFrameUeb::LoeschenClick);
    connect(grid, &TDBGrid::recordDoubleClicked, this, &TFrameUeb::GridDoubleClicked);
    grid->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(grid, &QWidget::customContextMenuRequested, this, &TFrameUeb::ShowContextMenu);
}

void TFrameUeb::ShowContextMenu(const QPoint& pos) {
    QMenu menu(this);
    const bool free = !RecordFormOnScreen();
    menu.addAction(QStringLiteral("&Neu"), this, &TFrameUeb::NeuClick)->setEnabled(free);
    menu.addAction(QStringLiteral("Än&dern"), this, &TFrameUeb::AendernClick)->setEnabled(free);
    menu.addAction(QStringLiteral("&Löschen"), this, &TFrameUeb::LoeschenClick)->setEnabled(free);
    menu.exec(FGrid->viewport()->mapToGlobal(pos));
}

void TFrameUeb::Rebuild() {
    RunDataAction([this] { RerunList(); });
}

void TFrameUeb::ChangeSlot(int slot, const QString& condition) {
    FSlots[slot - 1] = condition;
    if (!FResetting)
        Rebuild();
}

void TFrameUeb::ClearSlots(int count) {
    FSlots = QStringList();
    for (int i = 0; i < count; ++i)
        FSlots.append(QString());
}

void TFrameUeb::ResetWith(const std::function<void()>& fill) {
    // Opened from the record form itself (the customer form's picker), the
    // list must not touch the record being edited there: its commands rest.
    const bool free = !RecordFormOnScreen();
    for (QPushButton* b : FCommandButtons)
        b->setEnabled(free);
    FResetting = true;
    try {
        fill();
    } catch (...) {
        FResetting = false;
        throw;
    }
    FResetting = false;
    Rebuild();
}

void TFrameUeb::ReopenTable() {
    // The customer form opens the customer picker for the parent company while
    // it edits a customer in the same table: reopening it would drop what the
    // user typed and leave the form on another row.
    if (RecordFormOnScreen())
        return;
    FKind.Table->Close();
    FKind.Table->Open();
}

void TFrameUeb::ConnectCheck(QCheckBox* box, int slot, const TCondition& condition) {
    box->setTristate(true);
    connect(box, &QCheckBox::stateChanged, this, [this, slot, condition](int state) {
        ChangeSlot(slot, condition(slot, ListFilter::CheckValue(Qt::CheckState(state))));
    });
}

void TFrameUeb::ConnectEdit(QLineEdit* edit, int slot, const TCondition& condition) {
    connect(edit, &QLineEdit::textChanged, this,
            [this, slot, condition](const QString& text) { ChangeSlot(slot, condition(slot, text)); });
}

void TFrameUeb::ConnectList(QComboBox* list, int slot, const TCondition& condition,
                            const std::function<QString(int index)>& value) {
    connect(list, &QComboBox::currentIndexChanged, this, [this, list, slot, condition, value](int index) {
        QString chosen;
        if (index > 0)
            chosen = value ? value(index) : list->itemText(index);
        ChangeSlot(slot, condition(slot, chosen));
    });
}

void TFrameUeb::ConnectSort(QComboBox* sort, const QStringList& captions) {
    sort->addItems(captions);
    connect(sort, &QComboBox::currentIndexChanged, this, [this] {
        if (!FResetting)
            Rebuild();
    });
}

void TFrameUeb::SetupPersonFilters(const TPersonFilters& filters) {
    FPerson = filters;
    ClearSlots(filters.SlotCount);
    ConnectList(filters.Group, 1, filters.Condition);
    ConnectCheck(filters.Aktiv, 2, filters.Condition);
    for (int i = 0; i < filters.Edits.size(); ++i)
        ConnectEdit(filters.Edits[i], 3 + i, filters.Condition);
    ConnectSort(filters.Sort, filters.SortCaptions);
}

void TFrameUeb::ResetPersonFilters() {
    ResetWith([this] {
        ReopenTable();
        FillGroupCombo(DM->Query1, FPerson.Group, FPerson.GroupKind, true);
        FPerson.Aktiv->setCheckState(Qt::Checked);
        for (QLineEdit* e : FPerson.Edits)
            e->clear();
        FPerson.Sort->setCurrentIndex(0);
        ClearSlots(FPerson.SlotCount);
        SetSlotQuietly(2, FPerson.Condition(2, QStringLiteral("J")));
    });
}

QVariant TFrameUeb::ListNumber() const {
    TSQLiteQuery& list = *FKind.List;
    if (!list.Active() || list.IsEmpty())
        return QVariant();
    return list.FieldByName(FKind.KeyField)->Value();
}

QVariant TFrameUeb::TableNumber(const QVariant& fallback) const {
    const TSQLiteTable& table = *FKind.Table;
    if (!table.Active() || table.IsEmpty())
        return fallback;
    return table.FieldByName(FKind.KeyField)->Value();
}

void TFrameUeb::RerunList() {
    // The list query is shared with the other list of the same records (page
    // and picker): its last statement may be the other frame's, so the
    // frame's own statement is run rather than the query reopened.
    FKind.List->RunSQL(BuildSQL());
}

void TFrameUeb::ReopenListAt(const QVariant& number) {
    RunDataAction([this, &number] {
        RerunList();
        if (!number.isNull())
            FKind.List->Locate(FKind.KeyField, number);
    });
}

void TFrameUeb::NeuClick() {
    if (RecordFormOnScreen() || !FShowForm)
        return;
    FShowForm(1);
    ReopenListAt(TableNumber(QVariant()));
}

void TFrameUeb::AendernClick() {
    if (RecordFormOnScreen() || !FShowForm)
        return;
    const QVariant number = ListNumber();
    // Nothing listed, nothing to change.
    if (number.isNull())
        return;
    FShowForm(2);
    ReopenListAt(FKind.NumberFromTableAfterEdit ? TableNumber(number) : number);
}

void TFrameUeb::LoeschenClick() {
    if (RecordFormOnScreen())
        return;
    const QVariant number = ListNumber();
    if (number.isNull())
        return;
    if (Messages::question(FKind.DeleteQuestion(), false, Messages::No) != Messages::Yes)
        return;
    TSQLiteQuery& list = *FKind.List;
    const int row = list.RecNo();
    const bool done = RunDataAction([this, &number] {
        TSQLiteTable& table = *FKind.Table;
        if (!table.Active())
            table.Open();
        if (table.Locate(FKind.KeyField, number))
            table.Delete();
    });
    // A refused delete leaves the list as it was, on the same row.
    if (!done)
        return;
    RunDataAction([this, &list, row] {
        RerunList();
        // Stay where the deleted row was, so the user goes on with its neighbour.
        if (!list.IsEmpty())
            list.SetRecNo(std::min(row, list.RecordCount()));
    });
}

void TFrameUeb::GridDoubleClicked() {
    if (FPickMode)
        emit confirmed();
    else
        AendernClick();
}
