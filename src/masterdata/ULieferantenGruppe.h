// The page of the supplier groups: one description field and a navigator bar.
#pragma once

#include "UPage.h"

namespace Ui {
class TLieferantenGruppe;
}

class TLieferantenGruppe : public TPage {
    Q_OBJECT
public:
    explicit TLieferantenGruppe(QWidget* pageArea = nullptr);
    ~TLieferantenGruppe() override;

protected:
    void PrepareShow() override;
    void showEvent(QShowEvent* event) override;

private:
    Ui::TLieferantenGruppe* ui;
};
