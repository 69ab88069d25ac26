// The header form "Kopfdaten": creates a document of any type (type choice,
// then the header) and edits the header of an existing one, bound to the
// current row of the data module's TableKopf.
#pragma once

#include "UStammForm.h"

#include <QList>
#include <QString>

#include <functional>

namespace Ui {
class TKopf;
}

struct TKopfAnzeige;
class QButtonGroup;
class QRadioButton;

// The eight type radio buttons of a form as one group whose ids are the
// positions in the order of the type letters (0 O … 7 B), and that group.
void GroupTypeButtons(QWidget* owner, const QList<QRadioButton*>& radios);
QButtonGroup* TypeButtons(const QWidget* owner);

class TKopf : public TStammForm {
    Q_OBJECT
public:
    explicit TKopf(QWidget* parent = nullptr);
    ~TKopf() override;

    // Everything the show operation does before the dialog runs: style, the
    // lists and TableKopf reopened, the text-block boxes filled, then a new
    // row with the type choice (mode 1) or the document that is current in
    // QueryKopf (mode 2). False when that document cannot be found; the user
    // has been told, and no document was opened or changed. Afterwards
    // TableKopf stands on the document shown.
    bool prepare(int mode) override;
    void done(int result) override;

    // The pickers, which live with the master-data lists: they show the
    // picker modally and return true when the user took a record, which is
    // then the current row of QueryKunde or QueryLieferant. Until they are
    // set, the "?" buttons do nothing.
    static std::function<bool()> PickCustomer;
    static std::function<bool()> PickSupplier;
    // What "&Positionen" (after the form closed) and "&Drucken" (the form
    // stays open) lead to, for the document's type and number.
    static std::function<void(const QString& typ, int kopfId)> ShowPositions;
    static std::function<void(const QString& typ, int kopfId)> ShowPrint;

protected:
    // While the type is still to be chosen, the chosen type's button: the
    // arrow keys pick the type and Enter goes on ("&Weiter").
    QWidget* FirstField() const override;

private:
    void BitBtnWClick();
    void BitBtnKundeClick();
    void BitBtnSubKundeClick();
    void CBKopfTextSelect(int index);
    void CBFussTextSelect(int index);
    void StatusBoxClick();
    void BitBtnPosClick();
    void BitBtnDruckenClick();

    void FillTextBlocks();
    // A new row without a type: the type choice, empty labels and boxes.
    void InitNewDocument();
    void ShowTypeChoice(bool show);
    // Captions, partner hint and group list of the type.
    void AdaptToType(const QString& typ);
    void ShowAnzeige(const TKopfAnzeige& a);
    void Lock(bool locked);
    // Saves the header when it is being edited; false when that was refused.
    bool SaveIfEditing();
    bool CurrentDocument(QString* typ, int* kopfId) const;

    Ui::TKopf* ui;
    QString FTyp;                          // the type the captions were adapted to
    QList<int> FKopfTextIDs, FFussTextIDs; // entry 0 "Standardtext" holds 0
    bool FReady = true;                    // off while the form itself sets the status boxes
    bool FOpen = false;                    // shown (prepared and not yet closed)
    bool FOutside = false;                 // a dialog opened from here is running
    bool FLocked = false;
};
