#include "UInfo.h"

#include "UFInfo.h"
#include "UIcons.h"
#include "UPage.h"
#include "ui_UInfo.h"

#include <QDesktopServices>
#include <QScreen>

const char* const MakerWebAddress = "https://www.brenholm.example/";

std::function<bool(const QUrl&)> OpenInBrowser = [](const QUrl& url) {
    return QDesktopServices::openUrl(url);
};

TInfo::TInfo(QWidget* parent) : QDialog(parent), ui(new Ui::TInfo) {
    ui->setupUi(this);
    setWindowIcon(QuorventIcon());
    setFixedSize(433, 346);
    const QString address = QString::fromLatin1(MakerWebAddress);
    ui->LabWeb->setText(QStringLiteral("<a href=\"%1\">%1</a>").arg(address));
    connect(ui->LabWeb, &QLabel::linkActivated, this, [](const QString& link) { OpenInBrowser(QUrl(link)); });
}

TInfo::~TInfo() {
    delete ui;
}

TFrameInfo* TInfo::FrameInfo() const {
    return ui->TFrameInfo1;
}

int TInfo::exec() {
    // Coloured like every other window of the program.
    TPage::ApplyStyle(0, this);
    if (QScreen* s = screen())
        move(s->availableGeometry().center() - rect().center());
    return QDialog::exec();
}
