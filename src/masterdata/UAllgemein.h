// The page "Stammdaten - Allgemein": the small reference lists (salutations,
// titles, countries, units, print-date kinds, VAT rates) and the number ranges,
// each edited in its own group with a text field and a navigator bar.
#pragma once

#include "UPage.h"

namespace Ui {
class TAllgemein;
}

class TAllgemein : public TPage {
    Q_OBJECT
public:
    explicit TAllgemein(QWidget* pageArea = nullptr);
    ~TAllgemein() override;

protected:
    void PrepareShow() override;
    void showEvent(QShowEvent* event) override;

private:
    // The bold label of the number-range group follows the current range.
    void DSTNumKreisDataChange();

    Ui::TAllgemein* ui;
};
