#include "UArtikelGruppe.h"

#include "TDBDataLink.h"
#include "TDBEdit.h"
#include "TDBNavigator.h"
#include "UDM.h"
#include "ui_UArtikelGruppe.h"

TArtikelGruppe::TArtikelGruppe(QWidget* pageArea) : TPage(pageArea), ui(new Ui::TArtikelGruppe) {
    ui->setupUi(this);
    setObjectName(QStringLiteral("ArtikelGruppe"));
    BindField(ui->DBEdit1, &DM->DSTArtGru, QStringLiteral("ArtGruBez"));
    ui->DBNavigator1->SetDataSource(&DM->DSTArtGru);
}

TArtikelGruppe::~TArtikelGruppe() {
    delete ui;
}

void TArtikelGruppe::PrepareShow() {
    ui->DBNavigator1->update();
    DM->TableArtGru.Close();
    DM->TableArtGru.Open();
}

void TArtikelGruppe::showEvent(QShowEvent* event) {
    TPage::showEvent(event);
    ui->DBEdit1->setFocus();
}
