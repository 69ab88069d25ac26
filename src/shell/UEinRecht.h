// The rights page: the shared password and which functions it protects.
#pragma once

#include "UPage.h"

#include <QStringList>

namespace Ui {
class TEinRecht;
}

class TEinRecht : public TPage {
    Q_OBJECT
public:
    explicit TEinRecht(QWidget* pageArea = nullptr);
    ~TEinRecht() override;

    // Stores the password and the ticks of the list.
    void BitBtnSpeichernClick();

protected:
    void PrepareShow() override;

private:
    Ui::TEinRecht* ui;
    // The Funktion key of every list entry, in list order.
    QStringList FFunktionen;
};
