#include "UFInfo.h"

#include "UIcons.h"
#include "ui_UFInfo.h"

TFrameInfo::TFrameInfo(QWidget* parent) : QFrame(parent), ui(new Ui::TFrameInfo) {
    ui->setupUi(this);
    ui->ImageLogo->setPixmap(QuorventPixmap(96));
}

TFrameInfo::~TFrameInfo() {
    delete ui;
}

void TFrameInfo::SetVersionText(const QString& versionText) {
    ui->Version->setText(QStringLiteral("Version ") + versionText);
}

QString TFrameInfo::VersionCaption() const {
    return ui->Version->text();
}

void TFrameInfo::SetThirdLine(const QString& text) {
    ui->LabHersteller->setText(text);
}
