// The mail of a document as it will go out, shown before it is sent: the
// recipient, the blind copy, the subject, the text and the names of the
// attachments. The text may be changed for this one mail.
#pragma once

#include "MailMessage.h"

#include <QDialog>

namespace Ui {
class TEmailAnzeige;
}

class TEmailAnzeige : public QDialog {
    Q_OBJECT
public:
    explicit TEmailAnzeige(QWidget* parent = nullptr);
    ~TEmailAnzeige() override;

    // Fills the fields from the message; the text gets the focus.
    void prepare(const TMailMessage& message);
    // The text as it stands now, edited or not.
    QString Text() const;

    // prepare, then the modal window. True on "Senden": the message then
    // carries the text as edited.
    static bool Show(TMailMessage& message, QWidget* parent = nullptr);

private:
    Ui::TEmailAnzeige* ui;
};
