// What the customer, supplier and article list frames share: the condition
// slots and the rebuild of the list statement, the grid over the list query,
// the commands "&Neu", "Än&dern" and "&Löschen" (buttons and context menu) and
// the double-click, which opens the record on a page and confirms in a picker.
#pragma once

#include <QFrame>
#include <QPointer>
#include <QStringList>
#include <QVariant>

#include <functional>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class TDBGrid;
class TSQLiteQuery;
class TSQLiteTable;

class TFrameUeb : public QFrame {
    Q_OBJECT
public:
    explicit TFrameUeb(QWidget* parent = nullptr);

    // The form that opens a record of this list (mode 1 new, 2 the current
    // row of the list). While it is on screen — the picker was opened from it —
    // the frame's own commands do nothing, so the record being edited there is
    // never moved, reopened or deleted underneath it.
    template <class TForm> void SetRecordForm(TForm* form) {
        FForm = form;
        FShowForm = [form](int mode) { form->Show(mode); };
    }
    bool RecordFormOnScreen() const { return FForm && FForm->isVisible(); }

    // In a picker a double-click confirms the row instead of opening it.
    void SetPickMode(bool pick) { FPickMode = pick; }
    void SetTitle(const QString& title);

    // Every filter control to its start state and the slots to the start
    // conditions, then the list run. The document type of the caller matters
    // to the article list only.
    virtual void Reset(const QString& docType = QString()) = 0;
    // The filter field a page puts the cursor in.
    virtual QWidget* FocusField() const = 0;

    // The statement of the current slots and sort choice, and running it on
    // the list query. A statement the database refuses is reported to the user.
    virtual QString BuildSQL() const = 0;
    void Rebuild();

    // The slots as they stand (index 0 is slot 1).
    const QStringList& Slots() const { return FSlots; }

    // Whether the list shows a record (the current row of the list query).
    bool ListHasRecord() const { return !ListNumber().isNull(); }

    void NeuClick();
    void AendernClick();
    void LoeschenClick();

    // Accepts only the digits 0 to 9, also in pasted text (anything else is
    // dropped), so a number filter never holds text that is no number.
    static void MakeDigitsOnly(QLineEdit* edit);

signals:
    // A row was double-clicked in a picker.
    void confirmed();

protected:
    // The condition of a slot (1-based) from the value of its control.
    using TCondition = std::function<QString(int slot, const QString& value)>;

    // What the subclass tells about its record kind.
    struct TRecordKind {
        TSQLiteQuery* List = nullptr;
        TSQLiteTable* Table = nullptr;
        QString KeyField;
        // The delete question for the current row of the list.
        std::function<QString()> DeleteQuestion;
        // Articles take the number to return to from the table after the form
        // closed (so a renumbered article is found again); customers and
        // suppliers remember the list's number before.
        bool NumberFromTableAfterEdit = false;
    };

    // Connects the shared widgets of the subclass's form.
    void Setup(const TRecordKind& kind, TDBGrid* grid, QLabel* title, QPushButton* neu, QPushButton* aendern,
               QPushButton* loeschen);

    // Sets one slot and rebuilds, unless a reset is filling the controls.
    void ChangeSlot(int slot, const QString& condition);
    // Empties every slot; the reset then sets its start conditions.
    void ClearSlots(int count);
    void SetSlotQuietly(int slot, const QString& condition) { FSlots[slot - 1] = condition; }

    // Runs fill while the filter controls' own change handlers stay quiet, then rebuilds once.
    void ResetWith(const std::function<void()>& fill);

    // Reopens the editable table unless a record form is using it.
    void ReopenTable();

    // The filters customers and suppliers have in common: slot 1 the group
    // list, slot 2 "Aktiv", then one text field per slot from slot 3 on.
    struct TPersonFilters {
        QComboBox* Group = nullptr;
        int GroupKind = 0; // as FillGroupCombo counts them
        QCheckBox* Aktiv = nullptr;
        QList<QLineEdit*> Edits;
        QComboBox* Sort = nullptr;
        int SlotCount = 0;
        TCondition Condition;
        QStringList SortCaptions;
    };
    void SetupPersonFilters(const TPersonFilters& filters);
    // Their reset: table reopened, group list refilled, active records, every
    // field empty, the first sort, only the "Aktiv" slot set.
    void ResetPersonFilters();

    // Wires a three-state box to its slot.
    void ConnectCheck(QCheckBox* box, int slot, const TCondition& condition);
    // Wires a text field to its slot.
    void ConnectEdit(QLineEdit* edit, int slot, const TCondition& condition);
    // Wires a list whose entry 0 is "- Alle -" to its slot; value gives the
    // value of an entry for the condition (by default its text).
    void ConnectList(QComboBox* list, int slot, const TCondition& condition,
                     const std::function<QString(int index)>& value = {});
    // Fills the sort list and rebuilds when another entry is chosen.
    void ConnectSort(QComboBox* sort, const QStringList& captions);

private:
    QVariant ListNumber() const;
    // The number of the editable table's current record, or fallback when it has none.
    QVariant TableNumber(const QVariant& fallback) const;
    void RerunList();
    void ReopenListAt(const QVariant& number);
    void GridDoubleClicked();
    void ShowContextMenu(const QPoint& pos);

    TRecordKind FKind;
    TDBGrid* FGrid = nullptr;
    QLabel* FTitle = nullptr;
    QList<QPushButton*> FCommandButtons;
    QStringList FSlots;
    QPointer<QWidget> FForm;
    std::function<void(int)> FShowForm;
    TPersonFilters FPerson;
    bool FPickMode = false;
    bool FResetting = false;
};
