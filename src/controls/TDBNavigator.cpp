#include "TDBNavigator.h"

#include "Messages.h"
#include "SQLite.h"
#include "TDBDataLink.h"

#include <QHBoxLayout>
#include <QToolButton>

namespace {

struct ButtonLook {
    const char* objectName;
    const char* glyph;
    const char* hint;
};

const ButtonLook Looks[TDBNavigator::ButtonCount] = {
    {"nbFirst", "|◀", "Erster Datensatz"},      {"nbPrior", "◀", "Vorheriger Datensatz"},
    {"nbNext", "▶", "Nächster Datensatz"},      {"nbLast", "▶|", "Letzter Datensatz"},
    {"nbInsert", "+", "Datensatz einfügen"},    {"nbDelete", "−", "Datensatz löschen"},
    {"nbEdit", "▲", "Datensatz bearbeiten"},    {"nbPost", "✓", "Daten speichern"},
    {"nbCancel", "✗", "Bearbeitung abbrechen"}, {"nbRefresh", "↻", "Daten aktualisieren"},
};

} // namespace

TDBNavigator::TDBNavigator(QWidget* parent) : QWidget(parent) {
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    for (int i = 0; i < ButtonCount; ++i) {
        auto* button = new QToolButton(this);
        button->setObjectName(QString::fromLatin1(Looks[i].objectName));
        button->setText(QString::fromUtf8(Looks[i].glyph));
        button->setToolTip(QString::fromUtf8(Looks[i].hint));
        button->setMinimumSize(26, 24);
        button->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
        button->setFocusPolicy(Qt::NoFocus);
        layout->addWidget(button);
        FButtons[i] = button;
        const auto which = TNavigateBtn(i);
        connect(button, &QToolButton::clicked, this, [this, which] { BtnClick(which); });
    }
    UpdateButtons();
}

void TDBNavigator::SetDataSource(TDataSource* dataSource) {
    for (const auto& c : std::as_const(FConnections))
        disconnect(c);
    FConnections.clear();
    FDataSource = dataSource;
    if (dataSource) {
        FConnections << connect(dataSource, &TDataSource::dataChange, this, [this] { UpdateButtons(); });
        FConnections << connect(dataSource, &TDataSource::stateChange, this, &TDBNavigator::UpdateButtons);
        FConnections << connect(dataSource, &QObject::destroyed, this, &TDBNavigator::UpdateButtons);
    }
    UpdateButtons();
}

TSQLiteBaseQuery* TDBNavigator::DataSet() const {
    return FDataSource ? FDataSource->DataSet() : nullptr;
}

void TDBNavigator::SetVisibleButtons(TButtonSet buttons) {
    FVisible = buttons & AllButtons;
    for (int i = 0; i < ButtonCount; ++i)
        FButtons[i]->setVisible(FVisible & (1u << i));
}

void TDBNavigator::SetButtonVisible(TNavigateBtn button, bool visible) {
    SetVisibleButtons(visible ? (FVisible | Bit(button)) : (FVisible & ~Bit(button)));
}

void TDBNavigator::UpdateButtons() {
    TSQLiteBaseQuery* ds = DataSet();
    const bool active = ds && ds->Active();
    const bool editing = active && ds->State() != TDataSetState::Browse;
    const bool empty = !active || ds->IsEmpty();
    const int recNo = active && !empty ? ds->RecNo() : 0;
    const int count = active ? ds->RecordCount() : 0;
    const bool canBack = active && !empty && recNo > 1;
    const bool canForward = active && !empty && recNo < count;
    FButtons[nbFirst]->setEnabled(canBack);
    FButtons[nbPrior]->setEnabled(canBack);
    FButtons[nbNext]->setEnabled(canForward);
    FButtons[nbLast]->setEnabled(canForward);
    // Insert while editing saves the record first; delete while editing drops
    // the change together with the record.
    FButtons[nbInsert]->setEnabled(active);
    FButtons[nbDelete]->setEnabled(active && !empty);
    FButtons[nbEdit]->setEnabled(active && !editing);
    FButtons[nbPost]->setEnabled(editing);
    FButtons[nbCancel]->setEnabled(editing);
    FButtons[nbRefresh]->setEnabled(active && !editing);
}

void TDBNavigator::Refresh(TSQLiteBaseQuery* ds) {
    // The rows are a snapshot taken at opening; reading them again shows what
    // others changed, and the user stays on the same position in the list.
    const int recNo = ds->IsEmpty() ? 1 : ds->RecNo();
    ds->Close();
    ds->Open();
    if (!ds->IsEmpty())
        ds->MoveBy(std::min(recNo, ds->RecordCount()) - 1);
}

bool TDBNavigator::BtnClick(TNavigateBtn button) {
    TSQLiteBaseQuery* ds = DataSet();
    if (!ds || !ds->Active())
        return false;
    if (BeforeAction && !RunDataAction([&] { BeforeAction(button); }))
        return false;
    // The text still pending in a bound control belongs to the record being
    // left or saved; cancel and delete drop it with the change.
    if (button != nbCancel && button != nbDelete && !TFieldDataLink::UpdateRecord(ds))
        return false;
    bool ok = false;
    switch (button) {
    case nbFirst:
        ok = RunDataAction([ds] { ds->First(); });
        break;
    case nbPrior:
        ok = RunDataAction([ds] { ds->Prior(); });
        break;
    case nbNext:
        ok = RunDataAction([ds] { ds->Next(); });
        break;
    case nbLast:
        ok = RunDataAction([ds] { ds->Last(); });
        break;
    case nbInsert:
        // A new row goes after the existing ones, where the user looks for it.
        ok = RunDataAction([ds] { ds->Append(); });
        break;
    case nbDelete:
        if (ConfirmDelete &&
            Messages::question(QStringLiteral("Datensatz löschen?"), false, Messages::No) != Messages::Yes)
            break;
        ok = RunDataAction([ds] { ds->Delete(); });
        break;
    case nbEdit:
        ok = RunDataAction([ds] { ds->Edit(); });
        break;
    case nbPost:
        ok = RunDataAction([ds] { ds->Post(); });
        break;
    case nbCancel:
        ok = RunDataAction([ds] { ds->Cancel(); });
        break;
    case nbRefresh:
        ok = RunDataAction([this, ds] { Refresh(ds); });
        break;
    }
    UpdateButtons();
    if (ok) {
        if (OnClick)
            RunDataAction([&] { OnClick(button); });
        emit clicked(button);
    }
    return ok;
}
