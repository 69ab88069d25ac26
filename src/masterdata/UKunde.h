// The customer form "Kundenstamm": every column of one customer, bound to the
// current row of the data module's TableKunde, with the navigator bar.
#pragma once

#include <QDialog>

#include <functional>

namespace Ui {
class TKunde;
}

class TKunde : public QDialog {
    Q_OBJECT
public:
    enum TMode { ModeNew = 1, ModeEdit = 2 };

    explicit TKunde(QWidget* parent = nullptr);
    ~TKunde() override;

    // Everything the show operation does before the dialog runs: style,
    // lookup lists and TableKunde reopened, then a new customer (mode 1) or
    // the customer that is current in QueryKunde (mode 2). False when there is
    // nothing to edit because that customer cannot be found; the user has
    // been told, and no record was opened or changed.
    bool prepare(int mode);
    // prepare, then the modal dialog.
    void Show(int mode);

    // The customer picker, which lives with the customer lists. PickCustomer
    // shows it modally and returns true when the user took a customer, which
    // is then the current row of QueryKunde; CustomerPickerVisible tells
    // whether it is on screen already (this form was opened from it). Until
    // they are set, the "?" buttons do nothing.
    static std::function<bool()> PickCustomer;
    static std::function<bool()> CustomerPickerVisible;

    // Closing by any means drops a pending edit or new record: only what the
    // user saved stays.
    void done(int result) override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void BitBtnKonzernClick();
    void BitBtnHaendlerClick();
    void TakePickedCustomer(const QString& field);

    Ui::TKunde* ui;
};
