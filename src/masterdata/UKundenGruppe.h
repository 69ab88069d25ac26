// The page of the customer groups: one description field and a navigator bar.
#pragma once

#include "UPage.h"

namespace Ui {
class TKundenGruppe;
}

class TKundenGruppe : public TPage {
    Q_OBJECT
public:
    explicit TKundenGruppe(QWidget* pageArea = nullptr);
    ~TKundenGruppe() override;

protected:
    void PrepareShow() override;
    void showEvent(QShowEvent* event) override;

private:
    Ui::TKundenGruppe* ui;
};
