// The supplier form "Lieferantenstamm": every column of one supplier with its
// bank data and contact person, bound to the current row of TableLieferant.
#pragma once

#include <QDialog>

namespace Ui {
class TLieferant;
}

class TLieferant : public QDialog {
    Q_OBJECT
public:
    enum TMode { ModeNew = 1, ModeEdit = 2 };

    explicit TLieferant(QWidget* parent = nullptr);
    ~TLieferant() override;

    // Style, lookup lists and TableLieferant reopened, then a new supplier
    // (mode 1) or the supplier that is current in QueryLieferant (mode 2).
    // False when that supplier cannot be found; the user has been told.
    bool prepare(int mode);
    void Show(int mode);

    // Closing by any means drops a pending edit or new record.
    void done(int result) override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    Ui::TLieferant* ui;
};
