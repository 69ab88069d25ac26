#include "UStammForm.h"

#include "Messages.h"
#include "RecordGuards.h"
#include "SQLite.h"
#include "TDBDataLink.h"
#include "UDM.h"

#include <QAbstractButton>
#include <QLabel>

void TStammForm::Show(int mode) {
    if (prepare(mode))
        exec();
}

bool TStammForm::HasUnsavedChanges() const {
    for (TSQLiteBaseQuery* ds : FEdited)
        if (ds->Editing() && (ds->Modified() || TFieldDataLink::Modified(ds)))
            return true;
    return false;
}

bool TStammForm::SaveChanges() {
    for (TSQLiteBaseQuery* ds : FEdited) {
        if (!ds->Editing())
            continue;
        if (!TFieldDataLink::UpdateRecord(ds) || !RunDataAction([ds] { ds->Post(); }))
            return false;
    }
    return true;
}

void TStammForm::done(int result) {
    // Whatever way the form is closed, what the user typed is not thrown away
    // without asking; a save the rules refuse keeps the form open.
    if (HasUnsavedChanges()) {
        switch (Messages::question(QStringLiteral("Sollen die Änderungen gespeichert werden?"), true)) {
        case Messages::Yes:
            if (!SaveChanges())
                return;
            break;
        case Messages::No:
            break;
        case Messages::Cancel:
            return;
        }
    }
    for (TSQLiteBaseQuery* ds : FEdited)
        if (ds->Editing())
            RunDataAction([ds] { ds->Cancel(); });
    QDialog::done(result);
}

TStammForm::~TStammForm() {
    // The hook lives in the data module, which may be gone already.
    if (DM && FProposalHook)
        *FProposalHook = nullptr;
}

void TStammForm::SetFormParts(const QList<TSQLiteBaseQuery*>& edited, QWidget* firstField,
                              QAbstractButton* back) {
    FEdited = edited;
    FFirstField = firstField;
    connect(back, &QAbstractButton::clicked, this, &QDialog::close);
}

void TStammForm::ShowNumberProposal(QLabel* label, std::function<void(const QString&)>& hook,
                                    TDataSource* source) {
    FProposal = label;
    FProposalHook = &hook;
    hook = [label](const QString& text) { label->setText(text); };
    // A new row given up with the navigator's cancel takes its proposal with it.
    connect(source, &TDataSource::stateChange, this, [label, source] {
        if (!source->DataSet() || source->DataSet()->State() != TDataSetState::Insert)
            label->clear();
    });
}

bool TStammForm::OpenRecord(int mode, TSQLiteTable& table, TSQLiteQuery& list, const QString& keyField,
                            const QString& vanished) {
    if (FProposal)
        FProposal->clear();
    if (mode == ModeNew) {
        table.Append();
    } else if (!LocateChosenRecord(table, list, keyField)) {
        Messages::warning(vanished);
        return false;
    }
    if (QWidget* first = FirstField())
        first->setFocus();
    return true;
}

void TStammForm::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (QWidget* first = FirstField())
        first->setFocus();
}
