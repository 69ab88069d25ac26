#include "UStammForm.h"

#include "Messages.h"
#include "RecordGuards.h"
#include "SQLite.h"
#include "TDBDataLink.h"

void TStammForm::Show(int mode) {
    if (prepare(mode))
        exec();
}

void TStammForm::done(int result) {
    for (TSQLiteBaseQuery* ds : FEdited)
        if (ds->Editing())
            RunDataAction([ds] { ds->Cancel(); });
    QDialog::done(result);
}

void TStammForm::SetFormParts(const QList<TSQLiteBaseQuery*>& edited, QWidget* firstField) {
    FEdited = edited;
    FFirstField = firstField;
}

bool TStammForm::OpenRecord(int mode, TSQLiteTable& table, TSQLiteQuery& list, const QString& keyField,
                            const QString& vanished) {
    if (mode == ModeNew) {
        table.Append();
    } else if (!LocateChosenRecord(table, list, keyField)) {
        Messages::warning(vanished);
        return false;
    }
    if (FFirstField)
        FFirstField->setFocus();
    return true;
}

void TStammForm::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (FFirstField)
        FFirstField->setFocus();
}
