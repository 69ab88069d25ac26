// The page of the article groups: one description field and a navigator bar.
#pragma once

#include "UPage.h"

namespace Ui {
class TArtikelGruppe;
}

class TArtikelGruppe : public TPage {
    Q_OBJECT
public:
    explicit TArtikelGruppe(QWidget* pageArea = nullptr);
    ~TArtikelGruppe() override;

protected:
    void PrepareShow() override;
    void showEvent(QShowEvent* event) override;

private:
    Ui::TArtikelGruppe* ui;
};
