// The customer form "Kundenstamm": every column of one customer, bound to the
// current row of the data module's TableKunde, with the navigator bar.
#pragma once

#include "UStammForm.h"

#include <functional>

namespace Ui {
class TKunde;
}

class TKunde : public TStammForm {
    Q_OBJECT
public:
    explicit TKunde(QWidget* parent = nullptr);
    ~TKunde() override;

    // Everything the show operation does before the dialog runs: style,
    // lookup lists and TableKunde reopened, then a new customer (mode 1) or
    // the customer that is current in QueryKunde (mode 2). False when there is
    // nothing to edit because that customer cannot be found; the user has
    // been told, and no record was opened or changed.
    bool prepare(int mode) override;

    // The customer picker, which lives with the customer lists. PickCustomer
    // shows it modally and returns true when the user took a customer, which
    // is then the current row of QueryKunde; CustomerPickerVisible tells
    // whether it is on screen already (this form was opened from it). Until
    // they are set, the "?" buttons do nothing.
    static std::function<bool()> PickCustomer;
    static std::function<bool()> CustomerPickerVisible;

private:
    void BitBtnKonzernClick();
    void BitBtnHaendlerClick();
    void TakePickedCustomer(const QString& field);
    // The customer's e-invoice settings: shown from the row, edits handed on.
    void ShowERechnung();
    void ERechnungEdited();

    Ui::TKunde* ui;
};
