#include "UBerechtigung.h"

#include "Messages.h"
#include "Styles.h"
#include "UDM.h"
#include "UNavigation.h"
#include "UPage.h"
#include "ui_UBerechtigung.h"

#include <QScreen>

TBerechtigung* Berechtigung = nullptr;

TBerechtigung::TBerechtigung(QWidget* parent) : QDialog(parent), ui(new Ui::TBerechtigung) {
    ui->setupUi(this);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    setFixedSize(sizeHint().expandedTo(size()));
    connect(ui->BitBtnOK, &QPushButton::clicked, this, &TBerechtigung::BitBtnOKClick);
    connect(ui->BitBtnAbbrechen, &QPushButton::clicked, this, &QDialog::reject);
}

TBerechtigung::~TBerechtigung() {
    if (Berechtigung == this)
        Berechtigung = nullptr;
    delete ui;
}

void TBerechtigung::prepare() {
    Allowed = false;
    ApplyStyle(0, this);
    ui->EditPW->clear();
    ui->EditPW->setFocus();
}

int TBerechtigung::exec() {
    if (QScreen* s = screen())
        move(s->availableGeometry().center() - rect().center());
    return QDialog::exec();
}

void TBerechtigung::BitBtnOKClick() {
    // Exact comparison: letter case and blanks count.
    if (ui->EditPW->text() != DM->ReadKennwort()) {
        Allowed = false;
        Messages::warning(QStringLiteral("Das eingegeben Kennwort ist ungültig!"));
        return;
    }
    Allowed = true;
    accept();
}

bool CheckRight(const QString& key) {
    if (!Berechtigung)
        Berechtigung = new TBerechtigung;
    Berechtigung->Allowed = false;
    if (!DM->RightProtected(key))
        return true;
    Berechtigung->prepare();
    Berechtigung->exec();
    return Berechtigung->Allowed;
}

void InstallAccessGateAndStyles() {
    TPage::CheckRightHook = CheckRight;
    TPage::ApplyStyleHook = [](int style, QWidget* window) { ApplyStyle(style, window); };
    OnNavHoverColors = [](const TNavHoverColors& c) { NavigationColors = c; };
}
