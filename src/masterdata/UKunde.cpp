#include "UKunde.h"

#include "KundeERechnung.h"
#include "Messages.h"
#include "Styles.h"
#include "TDBDataLink.h"
#include "UDM.h"
#include "ui_UKunde.h"

#include <QComboBox>
#include <QLineEdit>

#include <algorithm>

std::function<bool()> TKunde::PickCustomer;
std::function<bool()> TKunde::CustomerPickerVisible;

TKunde::TKunde(QWidget* parent) : TStammForm(parent), ui(new Ui::TKunde) {
    ui->setupUi(this);
    SetFormParts({&DM->TableKunde}, ui->DBEdit1, ui->BitBtnZurueck);
    TDataSource* ds = &DM->DSTKunde;
    ShowNumberProposal(ui->LabVorlaeufig, DM->OnKundeNummerHinweis, ds);

    BindEdits(ds, {{ui->DBEdit1, "KundenID"},
                   {ui->DBEdit2, "Firma"},
                   {ui->DBEdit3, "Nachname"},
                   {ui->DBEdit4, "Vorname"},
                   {ui->DBEdit5, "Zusatzname"},
                   {ui->DBEdit6, "Strasse"},
                   {ui->DBEdit7, "UIDNr"},
                   {ui->DBEdit8, "PLZ"},
                   {ui->DBEdit9, "Ort"},
                   {ui->DBEdit10, "Telefon"},
                   {ui->DBEdit11, "Mobil"},
                   {ui->DBEdit12, "Fax"},
                   {ui->DBEdit13, "Email"},
                   {ui->DBEdit14, "KonzernID"},
                   {ui->DBEdit15, "Rabatt"},
                   {ui->DBEdit16, "HaendlerID"},
                   {ui->DBEdit17, "Skonto"}});

    const struct {
        TDBLookupComboBox* box;
        const char* field;
        TDataSource* list;
        const char* listField;
        int rows;
    } lookups[] = {
        {ui->DBLookupComboBox1, "AnredeID", &DM->DSQAnrede, "AnredeBez", 10},
        {ui->DBLookupComboBox2, "TitelID", &DM->DSQTitel, "TitelBez", 10},
        {ui->DBLookupComboBox3, "LandID", &DM->DSQLand, "LandBez", 10},
        {ui->DBLookupComboBox4, "KunGruID", &DM->DSQKunGru, "KunGruBez", 0},
    };
    for (const auto& l : lookups)
        l.box->Bind(ds, QLatin1String(l.field), l.list, QLatin1String(l.field), QLatin1String(l.listField),
                    l.rows);

    BindField(ui->DTPGeburtstag, ds, QStringLiteral("Geburtsdatum"));
    BindField(ui->DTPErfasst, ds, QStringLiteral("Erfassungsdatum"));
    BindField(ui->DBMemo1, ds, QStringLiteral("Anmerkung"));
    BindField(ui->DBCheckBox1, ds, QStringLiteral("Aktiv"));
    BindField(ui->DBCheckBox2, ds, QStringLiteral("Netto"));
    ui->DBNavigator1->SetDataSource(ds);

    // The e-invoice settings are no columns of Kunde: the fields show the
    // row's settings and hand what the user types to the data module,
    // which writes it with the row (and refuses a wrong Leitweg-ID).
    for (const char* format : {"N", "Z", "X"})
        ui->CBERechnungFormat->addItem(ERechnungFormatName(QLatin1String(format)), QLatin1String(format));
    connect(ui->EditLeitwegID, &QLineEdit::textEdited, this, &TKunde::ERechnungEdited);
    connect(ui->CBERechnungFormat, &QComboBox::activated, this, &TKunde::ERechnungEdited);
    connect(ui->EditLeitwegID, &QLineEdit::editingFinished, this, [this] {
        if (!ui->EditLeitwegID->isModified())
            return;
        ui->EditLeitwegID->setModified(false);
        if (const QString fehler = LeitwegIDFehler(ui->EditLeitwegID->text()); !fehler.isEmpty())
            Messages::warning(fehler);
    });
    connect(ds, &TDataSource::stateChange, this, &TKunde::ShowERechnung);
    connect(ds, &TDataSource::dataChange, this, [this](TField* field) {
        if (!field)
            ShowERechnung();
    });

    connect(ui->BitBtnKonzern, &QToolButton::clicked, this, &TKunde::BitBtnKonzernClick);
    connect(ui->BitBtnHaendler, &QToolButton::clicked, this, &TKunde::BitBtnHaendlerClick);
}

TKunde::~TKunde() {
    delete ui;
}

bool TKunde::prepare(int mode) {
    ApplyStyle(0, this);
    ui->DBNavigator1->UpdateButtons();
    for (TSQLiteQuery* q : {&DM->QueryAnrede, &DM->QueryTitel, &DM->QueryKunGru, &DM->QueryLand}) {
        q->Close();
        q->Open();
    }
    DM->TableKunde.Close();
    DM->TableKunde.Open();

    return OpenRecord(mode, DM->TableKunde, DM->QueryKunde, QStringLiteral("KundenID"),
                      QStringLiteral("Der gewählte Kunde ist nicht mehr vorhanden!"));
}

void TKunde::ShowERechnung() {
    const TSQLiteTable& t = DM->TableKunde;
    // What the user typed stays until the row is saved or the edit cancelled.
    if (HatKundeERechnungEingabe())
        return;
    TKundeERechnung e;
    if (t.Active() && !t.IsEmpty() && t.State() != TDataSetState::Insert)
        RunDataAction(
            [&] { e = LeseKundeERechnung(*DM, t.FieldByName(QStringLiteral("KundenID"))->AsLargeInt()); });
    ui->EditLeitwegID->setText(e.LeitwegID);
    ui->EditLeitwegID->setModified(false);
    ui->CBERechnungFormat->setCurrentIndex(std::max(0, ui->CBERechnungFormat->findData(e.Format)));
}

void TKunde::ERechnungEdited() {
    TSQLiteTable& t = DM->TableKunde;
    TKundeERechnung e;
    e.LeitwegID = ui->EditLeitwegID->text().trimmed();
    e.Format = ui->CBERechnungFormat->currentData().toString();
    SetzeKundeERechnungEingabe(e);
    RunDataAction([&] {
        if (t.State() != TDataSetState::Edit && t.State() != TDataSetState::Insert)
            t.Edit();
    });
    // A row that cannot be edited takes nothing either.
    if (t.State() != TDataSetState::Edit && t.State() != TDataSetState::Insert) {
        VerwerfeKundeERechnungEingabe();
        ShowERechnung();
    }
}

void TKunde::BitBtnKonzernClick() {
    TakePickedCustomer(QStringLiteral("KonzernID"));
}

void TKunde::BitBtnHaendlerClick() {
    TakePickedCustomer(QStringLiteral("HaendlerID"));
}

void TKunde::TakePickedCustomer(const QString& field) {
    if (!PickCustomer)
        return;
    if (CustomerPickerVisible && CustomerPickerVisible()) {
        Messages::warning(QStringLiteral(
            "Die Kundenauswahl ist bereits geöffnet, bitte öffnen Sie den Kunden über den Kundenstamm!"));
        return;
    }
    if (!PickCustomer())
        return;
    TSQLiteTable& t = DM->TableKunde;
    RunDataAction([&] {
        const QVariant picked = DM->QueryKunde.FieldByName(QStringLiteral("KundenID"))->Value();
        if (t.State() != TDataSetState::Edit && t.State() != TDataSetState::Insert)
            t.Edit();
        t.FieldByName(field)->SetValue(picked);
    });
}
