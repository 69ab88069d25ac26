#include "UKundenGruppe.h"

#include "TDBDataLink.h"
#include "TDBEdit.h"
#include "TDBNavigator.h"
#include "UDM.h"
#include "ui_UKundenGruppe.h"

TKundenGruppe::TKundenGruppe(QWidget* pageArea) : TPage(pageArea), ui(new Ui::TKundenGruppe) {
    ui->setupUi(this);
    setObjectName(QStringLiteral("KundenGruppe"));
    BindField(ui->DBEdit1, &DM->DSTKunGru, QStringLiteral("KunGruBez"));
    ui->DBNavigator1->SetDataSource(&DM->DSTKunGru);
}

TKundenGruppe::~TKundenGruppe() {
    delete ui;
}

void TKundenGruppe::PrepareShow() {
    ui->DBNavigator1->update();
    DM->TableKunGru.Close();
    DM->TableKunGru.Open();
}

void TKundenGruppe::showEvent(QShowEvent* event) {
    TPage::showEvent(event);
    ui->DBEdit1->setFocus();
}
