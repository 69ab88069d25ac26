#include "UAllgemein.h"

#include "TDBDataLink.h"
#include "TDBEdit.h"
#include "TDBNavigator.h"
#include "UDM.h"
#include "ui_UAllgemein.h"

TAllgemein::TAllgemein(QWidget* pageArea) : TPage(pageArea), ui(new Ui::TAllgemein) {
    ui->setupUi(this);
    setObjectName(QStringLiteral("Allgemein"));
    RightKey = QStringLiteral("Allgemein");

    const struct {
        TDBEdit* edit;
        TDBNavigator* navigator;
        TDataSource* source;
        const char* field;
    } bindings[] = {
        {ui->DBEdit1, ui->DBNavigator1, &DM->DSTAnrede, "AnredeBez"},
        {ui->DBEdit2, ui->DBNavigator2, &DM->DSTTitel, "TitelBez"},
        {ui->DBEdit3, ui->DBNavigator3, &DM->DSTLand, "LandBez"},
        {ui->DBEdit4, ui->DBNavigator4, &DM->DSTEinheit, "EinheitBez"},
        {ui->DBEdit5, ui->DBNavigator5, &DM->DSTDruDat, "DruDatBez"},
        {ui->DBEdit6, ui->DBNavigator6, &DM->DSTMWSt, "MWStSatz"},
        {ui->DBEdit7, ui->DBNavigator7, &DM->DSTNumKreis, "Nummer"},
    };
    for (const auto& b : bindings) {
        BindField(b.edit, b.source, QLatin1String(b.field));
        b.navigator->SetDataSource(b.source);
    }
    // The ranges are fixed by the program: they can be changed, never added or removed.
    ui->DBNavigator7->SetButtonVisible(TDBNavigator::nbInsert, false);
    ui->DBNavigator7->SetButtonVisible(TDBNavigator::nbDelete, false);

    connect(&DM->DSTNumKreis, &TDataSource::dataChange, this, [this](TField*) { DSTNumKreisDataChange(); });
    connect(&DM->DSTNumKreis, &TDataSource::stateChange, this, [this] { DSTNumKreisDataChange(); });
}

TAllgemein::~TAllgemein() {
    delete ui;
}

void TAllgemein::PrepareShow() {
    for (TDBNavigator* navigator : findChildren<TDBNavigator*>())
        navigator->update();
    // Reopened on every show, so the lists reflect changes made on other screens.
    for (TSQLiteTable* table : {&DM->TableAnrede, &DM->TableTitel, &DM->TableLand, &DM->TableNumKreis,
                                &DM->TableEinheit, &DM->TableMWSt, &DM->TableDruDat}) {
        table->Close();
        table->Open();
    }
    DSTNumKreisDataChange();
}

void TAllgemein::showEvent(QShowEvent* event) {
    TPage::showEvent(event);
    ui->DBEdit1->setFocus();
}

void TAllgemein::DSTNumKreisDataChange() {
    const TSQLiteTable& table = DM->TableNumKreis;
    const TField* bez = table.Active() ? table.FindField(QStringLiteral("NumBez")) : nullptr;
    ui->LabNumBez->setText(bez && !table.IsEmpty() ? bez->AsString() : QString());
}
