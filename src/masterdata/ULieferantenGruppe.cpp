#include "ULieferantenGruppe.h"

#include "TDBDataLink.h"
#include "TDBEdit.h"
#include "TDBNavigator.h"
#include "UDM.h"
#include "ui_ULieferantenGruppe.h"

TLieferantenGruppe::TLieferantenGruppe(QWidget* pageArea) : TPage(pageArea), ui(new Ui::TLieferantenGruppe) {
    ui->setupUi(this);
    setObjectName(QStringLiteral("LieferantenGruppe"));
    BindField(ui->DBEdit1, &DM->DSTLieGru, QStringLiteral("LieGruBez"));
    ui->DBNavigator1->SetDataSource(&DM->DSTLieGru);
}

TLieferantenGruppe::~TLieferantenGruppe() {
    delete ui;
}

void TLieferantenGruppe::PrepareShow() {
    ui->DBNavigator1->update();
    DM->TableLieGru.Close();
    DM->TableLieGru.Open();
}

void TLieferantenGruppe::showEvent(QShowEvent* event) {
    TPage::showEvent(event);
    ui->DBEdit1->setFocus();
}
