// A page with only its title bar, standing in for a page that is not part of
// the program yet, so every navigation entry leads somewhere.
#pragma once

#include "UPage.h"

class QLabel;

class TEmptyPage : public TPage {
    Q_OBJECT
public:
    TEmptyPage(const QString& title, QWidget* pageArea);

private:
    QLabel* PTitel;
};
