// What the customer, supplier and article forms share: the two modes, the
// show operation (prepare, then the modal dialog), opening the new or the
// chosen record, the cursor in the first field, and closing by any means
// asking before it drops what the user did not save.
#pragma once

#include <QDialog>
#include <QList>

#include <functional>

class QAbstractButton;
class QLabel;
class TDataSource;
class TSQLiteBaseQuery;
class TSQLiteQuery;
class TSQLiteTable;

class TStammForm : public QDialog {
    Q_OBJECT
public:
    enum TMode { ModeNew = 1, ModeEdit = 2 };

    // Everything the show operation does before the dialog runs. False when
    // there is nothing to edit because the chosen record cannot be found; the
    // user has been told, and no record was opened or changed.
    virtual bool prepare(int mode) = 0;
    // prepare, then the modal dialog.
    void Show(int mode);

    // Closing by any means asks whether unsaved changes are to be saved
    // (Ja / Nein / Abbrechen); what is not saved is dropped.
    void done(int result) override;
    // The user changed something in one of the edited datasets that is not saved.
    bool HasUnsavedChanges() const;

protected:
    using QDialog::QDialog;

    // The datasets whose pending changes a close drops, the field that gets
    // the cursor and the button that closes the form.
    void SetFormParts(const QList<TSQLiteBaseQuery*>& edited, QWidget* firstField, QAbstractButton* back);
    // The label that shows the hint of the data module's hook while a new row
    // holds a proposed number; the hint goes when the row is saved or given up.
    void ShowNumberProposal(QLabel* label, std::function<void(const QString&)>& hook, TDataSource* source);

    ~TStammForm() override;

    // A new row in table (mode 1), or table moved to the record that is
    // current in list (mode 2); when that record is gone, the warning
    // vanished is shown and the result is false.
    bool OpenRecord(int mode, TSQLiteTable& table, TSQLiteQuery& list, const QString& keyField,
                    const QString& vanished);

    void showEvent(QShowEvent* event) override;
    // The control that gets the cursor when the form opens a record.
    virtual QWidget* FirstField() const { return FFirstField; }

private:
    // Saves every edited dataset in order; false when one was refused.
    bool SaveChanges();

    QList<TSQLiteBaseQuery*> FEdited;
    QWidget* FFirstField = nullptr;
    QLabel* FProposal = nullptr;
    std::function<void(const QString&)>* FProposalHook = nullptr;
};
