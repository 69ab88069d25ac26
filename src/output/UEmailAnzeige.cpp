#include "UEmailAnzeige.h"

#include "UPage.h"
#include "ui_UEmailAnzeige.h"

#include <QPushButton>

namespace {

QString Addresses(const QList<TMailAddress>& list) {
    QStringList out;
    for (const TMailAddress& a : list)
        out << (a.Name.trimmed().isEmpty()
                    ? a.Address.trimmed()
                    : MailHeaderSafe(a.Name) + QStringLiteral(" <") + a.Address.trimmed() + u'>');
    return out.join(QStringLiteral(", "));
}

} // namespace

TEmailAnzeige::TEmailAnzeige(QWidget* parent) : QDialog(parent), ui(new Ui::TEmailAnzeige) {
    ui->setupUi(this);
    connect(ui->BitBtnSenden, &QPushButton::clicked, this, &QDialog::accept);
    connect(ui->BitBtnAbbrechen, &QPushButton::clicked, this, &QDialog::reject);
}

TEmailAnzeige::~TEmailAnzeige() {
    delete ui;
}

void TEmailAnzeige::prepare(const TMailMessage& message) {
    TPage::ApplyStyle(0, this);
    setWindowTitle(QStringLiteral("Email-Versand - ") + MailHeaderSafe(message.Subject));
    ui->EditAn->setText(Addresses(message.To));
    ui->EditBlindkopie->setText(Addresses(message.Bcc));
    ui->EditBetreff->setText(MailHeaderSafe(message.Subject));
    ui->MemoText->setPlainText(message.Body);
    QStringList names;
    for (const TMailAttachment& a : message.Attachments)
        names << a.FileName;
    ui->EditAnhang->setText(names.join(QStringLiteral(", ")));
    for (QLineEdit* e : {ui->EditAn, ui->EditBlindkopie, ui->EditBetreff, ui->EditAnhang})
        e->setCursorPosition(0);
    ui->MemoText->setFocus();
}

QString TEmailAnzeige::Text() const {
    return ui->MemoText->toPlainText();
}

bool TEmailAnzeige::Show(TMailMessage& message, QWidget* parent) {
    TEmailAnzeige dialog(parent);
    dialog.prepare(message);
    if (dialog.exec() != QDialog::Accepted)
        return false;
    message.Body = dialog.Text();
    return true;
}
