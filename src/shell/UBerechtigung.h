// The access gate: functions protected in set_recht ask for the shared
// password in the dialog "Geschützter Bereich" before they open.
#pragma once

#include <QDialog>

namespace Ui {
class TBerechtigung;
}

class TBerechtigung : public QDialog {
    Q_OBJECT
public:
    explicit TBerechtigung(QWidget* parent = nullptr);
    ~TBerechtigung() override;

    // Set when the right password was confirmed with "OK".
    bool Allowed = false;

    // Everything before the dialog runs: flag reset, style, empty field with the focus.
    void prepare();
    // Centres the dialog on the screen and runs it modally.
    int exec() override;

private:
    void BitBtnOKClick();

    Ui::TBerechtigung* ui;
};

// The password dialog, created once and reused (CheckRight creates it when
// nothing did before).
extern TBerechtigung* Berechtigung;

// May the caller go on with the function of this key? A protected function
// asks for the password; a key without a row in set_recht is free.
bool CheckRight(const QString& key);

// Connects every page to the access gate and the colour styles, and the
// navigation column's pointer effect to the colours of the style.
void InstallAccessGateAndStyles();
