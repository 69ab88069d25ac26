// The supplier form "Lieferantenstamm": every column of one supplier with its
// bank data and contact person, bound to the current row of TableLieferant.
#pragma once

#include "UStammForm.h"

namespace Ui {
class TLieferant;
}

class TLieferant : public TStammForm {
    Q_OBJECT
public:
    explicit TLieferant(QWidget* parent = nullptr);
    ~TLieferant() override;

    // Style, lookup lists and TableLieferant reopened, then a new supplier
    // (mode 1) or the supplier that is current in QueryLieferant (mode 2).
    // False when that supplier cannot be found; the user has been told.
    bool prepare(int mode) override;

private:
    Ui::TLieferant* ui;
};
