#include "ULieferant.h"

#include "Styles.h"
#include "TDBDataLink.h"
#include "UDM.h"
#include "ui_ULieferant.h"

TLieferant::TLieferant(QWidget* parent) : TStammForm(parent), ui(new Ui::TLieferant) {
    ui->setupUi(this);
    SetFormParts({&DM->TableLieferant}, ui->DBEdit1, ui->BitBtnZurueck);
    TDataSource* ds = &DM->DSTLieferant;
    ShowNumberProposal(ui->LabVorlaeufig, DM->OnLieferantNummerHinweis, ds);

    BindEdits(
        ds, {
                {ui->DBEdit1, "LieferantenID"}, {ui->DBEdit2, "Firma"},        {ui->DBEdit3, "Strasse"},
                {ui->DBEdit4, "PLZ"},           {ui->DBEdit5, "Ort"},          {ui->DBEdit6, "Rabatt"},
                {ui->DBEdit7, "Skonto"},        {ui->DBEdit8, "Telefon"},      {ui->DBEdit9, "Fax"},
                {ui->DBEdit10, "Email"},        {ui->DBEdit11, "UIDNr"},       {ui->DBEdit12, "Bank"},
                {ui->DBEdit13, "BLZ"},          {ui->DBEdit14, "Konto"},       {ui->DBEdit15, "IBAN"},
                {ui->DBEdit16, "BIC"},          {ui->DBEdit17, "AnspVorname"}, {ui->DBEdit18, "AnspNachname"},
                {ui->DBEdit19, "AnspTelefon"},  {ui->DBEdit20, "AnspMobil"},   {ui->DBEdit21, "AnspEmail"},
                {ui->DBEdit22, "KundenNr"},
            });

    const struct {
        TDBLookupComboBox* box;
        const char* field;
        TDataSource* list;
        const char* keyField;
        const char* listField;
        int rows;
    } lookups[] = {
        {ui->DBLookupComboBox1, "LandID", &DM->DSQLand, "LandID", "LandBez", 10},
        {ui->DBLookupComboBox2, "LieGruID", &DM->DSQLieGru, "LieGruID", "LieGruBez", 0},
        {ui->DBLookupComboBox3, "AnspAnredeID", &DM->DSQAnrede, "AnredeID", "AnredeBez", 10},
        {ui->DBLookupComboBox4, "AnspTitelID", &DM->DSQTitel, "TitelID", "TitelBez", 10},
    };
    for (const auto& l : lookups)
        l.box->Bind(ds, QLatin1String(l.field), l.list, QLatin1String(l.keyField), QLatin1String(l.listField),
                    l.rows);

    BindField(ui->DTPGeburtstag, ds, QStringLiteral("Geburtsdatum"));
    BindField(ui->DTPErfasst, ds, QStringLiteral("Erfassungsdatum"));
    BindField(ui->DBMemo1, ds, QStringLiteral("Anmerkung"));
    BindField(ui->DBCheckBox1, ds, QStringLiteral("Aktiv"));
    ui->DBNavigator1->SetDataSource(ds);
}

TLieferant::~TLieferant() {
    delete ui;
}

bool TLieferant::prepare(int mode) {
    ApplyStyle(0, this);
    ui->DBNavigator1->UpdateButtons();
    for (TSQLiteQuery* q : {&DM->QueryAnrede, &DM->QueryTitel, &DM->QueryLieGru, &DM->QueryLand}) {
        q->Close();
        q->Open();
    }
    DM->TableLieferant.Close();
    DM->TableLieferant.Open();

    return OpenRecord(mode, DM->TableLieferant, DM->QueryLieferant, QStringLiteral("LieferantenID"),
                      QStringLiteral("Der gewählte Lieferant ist nicht mehr vorhanden!"));
}
