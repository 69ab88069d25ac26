#include "UStartForm.h"

#include "UFInfo.h"
#include "UIcons.h"
#include "ui_UStartForm.h"

#include <QCoreApplication>
#include <QScreen>

TStartForm::TStartForm(QWidget* parent) : QWidget(parent), ui(new Ui::TStartForm) {
    ui->setupUi(this);
    setWindowFlags(Qt::SplashScreen | Qt::FramelessWindowHint);
    setWindowIcon(QuorventIcon());
    setFixedSize(433, 249);
    ui->TFrameInfo1->SetThirdLine(QString());
}

TStartForm::~TStartForm() {
    delete ui;
}

TFrameInfo* TStartForm::FrameInfo() const {
    return ui->TFrameInfo1;
}

void TStartForm::ShowNow() {
    if (QScreen* s = screen())
        move(s->availableGeometry().center() - rect().center());
    show();
    raise();
    repaint();
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}
