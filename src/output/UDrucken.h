// The print dialog "Drucken": shows a document in the preview, prints it on
// the default printer or sends it by e-mail, marks it as printed and offers
// to close an invoice-type document. Created once per program run, so its
// boxes keep what the user ticked from one document to the next.
#pragma once

#include <QDialog>
#include <QString>

#include <functional>

namespace Ui {
class TDrucken;
}
class TReport;

class TDrucken : public QDialog {
    Q_OBJECT
public:
    explicit TDrucken(QWidget* parent = nullptr);
    ~TDrucken() override;

    // Everything before the dialog runs: style, heading, the reminder box
    // for invoices and partial invoices only, and the header table reopened
    // on the document.
    void prepare(const QString& typ, int kopfId);
    // prepare, then the modal dialog.
    void Show(const QString& typ, int kopfId);

    // "&Drucken": one print run. The dialog stays open afterwards.
    void BitBtnDruckenClick();

    QString Typ() const { return FTyp; }
    int KopfID() const { return FKopfID; }

    // What the mail step reports back to the run.
    struct TVersand {
        bool Ausgegeben = false;   // the document went out: it counts as printed
        bool Abschliessen = false; // the run goes on to the close question
    };
    // The mail step: sends the document of the prepared report (its elements
    // placed, its buffer still there) as a PDF file to the partner, with a
    // blind copy to the company when `kopie` is set; with `anzeigen` the user
    // sees the mail first and may send it or not. Set by the mail module.
    static std::function<TVersand(TReport& report, const QString& typ, int kopfId, bool kopie, bool anzeigen)>
        SendMail;

private:
    // The output of the run; false when nothing went out.
    bool Output(TReport& report, bool& abschliessen);
    // The partner's address is one to send to; otherwise the error box.
    bool CheckMailAddress(const QString& partner);
    // Sets the header's status and saves it.
    void SaveStatus(const QString& status);

    Ui::TDrucken* ui;
    QString FTyp;
    int FKopfID = 0;
    QString FFormat; // the customer's e-invoice format: N, Z or X
};
