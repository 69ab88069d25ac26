#include "UKopf.h"

#include "Beleg.h"
#include "Styles.h"
#include "TDBDataLink.h"
#include "UDM.h"
#include "ui_UKopf.h"

#include <QButtonGroup>

std::function<bool()> TKopf::PickCustomer;
std::function<bool()> TKopf::PickSupplier;
std::function<void(const QString&, int)> TKopf::ShowPositions;
std::function<void(const QString&, int)> TKopf::ShowPrint;

void GroupTypeButtons(QWidget* owner, const QList<QRadioButton*>& radios) {
    auto* types = new QButtonGroup(owner);
    types->setObjectName(QStringLiteral("RGTypButtons"));
    for (int i = 0; i < radios.size(); ++i)
        types->addButton(radios[i], i);
}

QButtonGroup* TypeButtons(const QWidget* owner) {
    return owner->findChild<QButtonGroup*>(QStringLiteral("RGTypButtons"));
}

TKopf::TKopf(QWidget* parent) : TStammForm(parent), ui(new Ui::TKopf) {
    ui->setupUi(this);
    SetFormParts({&DM->TableKopf}, ui->DBEdit3, ui->BitBtnClose);
    TDataSource* ds = &DM->DSTKopf;
    ShowNumberProposal(ui->LabKopfIDHint, DM->OnKopfNummerHinweis, ds);

    BindEdits(ds, {{ui->DBEdit1, "Rabatt"},
                   {ui->DBEdit2, "KundenID"},
                   {ui->DBEdit3, "KopfBez"},
                   {ui->DBEdit4, "SubkundenID"},
                   {ui->DBEdit14, "Skonto"}});
    BindField(ui->DBText1, ds, QStringLiteral("KopfID"));
    BindField(ui->DBCBNetto, ds, QStringLiteral("Netto"));
    BindField(ui->DBCBKopfTextVP, ds, QStringLiteral("KopfTextVorPos"));
    BindField(ui->DBCBFussTextNP, ds, QStringLiteral("FussTextNachPos"));
    BindField(ui->DBMemoKopfText, ds, QStringLiteral("KopfText"));
    BindField(ui->DBMemoFussText, ds, QStringLiteral("FussText"));
    BindField(ui->DBMemoAnmerk, ds, QStringLiteral("Anmerkung"));
    BindField(ui->DTPDatum, ds, QStringLiteral("Datum"));
    BindField(ui->DTPDatum2, ds, QStringLiteral("Datum2"));
    ui->DBLCBDruDat->Bind(ds, QStringLiteral("DruDatID"), &DM->DSQDruDat, QStringLiteral("DruDatID"),
                          QStringLiteral("DruDatBez"));
    ui->DBNavi->SetDataSource(ds);
    AdaptToType(QString());

    GroupTypeButtons(this, {ui->RBTyp0, ui->RBTyp1, ui->RBTyp2, ui->RBTyp3, ui->RBTyp4, ui->RBTyp5,
                            ui->RBTyp6, ui->RBTyp7});

    connect(ui->BitBtnW, &QPushButton::clicked, this, &TKopf::BitBtnWClick);
    connect(ui->BitBtnKunde, &QToolButton::clicked, this, &TKopf::BitBtnKundeClick);
    connect(ui->BitBtnSubKunde, &QToolButton::clicked, this, &TKopf::BitBtnSubKundeClick);
    connect(ui->CBKopfText, &QComboBox::activated, this, &TKopf::CBKopfTextSelect);
    connect(ui->CBFussText, &QComboBox::activated, this, &TKopf::CBFussTextSelect);
    connect(ui->CBStatusAb, &QCheckBox::clicked, this, &TKopf::StatusBoxClick);
    connect(ui->CBStatusZE, &QCheckBox::clicked, this, &TKopf::StatusBoxClick);
    connect(ui->BitBtnPos, &QPushButton::clicked, this, &TKopf::BitBtnPosClick);
    connect(ui->BitBtnDrucken, &QPushButton::clicked, this, &TKopf::BitBtnDruckenClick);

    // A new row, from the form's mode 1 or the navigator's insert, starts
    // with the type choice; a new row given up shows the header again.
    connect(ds, &TDataSource::stateChange, this, [this] {
        const TSQLiteTable& t = DM->TableKopf;
        if (t.State() == TDataSetState::Insert && t.FieldByName(QStringLiteral("KopfTyp"))->IsNull())
            InitNewDocument();
        else if (t.State() != TDataSetState::Insert && !ui->PTyp->isHidden())
            ShowTypeChoice(false);
    });
    DM->OnKopfAnzeige = [this](const TKopfAnzeige& a) { ShowAnzeige(a); };
    // Only the form's own saves take the status from its boxes; the print
    // dialog opened from here sets a status of its own.
    DM->KopfStatusBoxes = [this](bool& abgeschlossen, bool& zahlungseingang) {
        if (!FOpen || FOutside)
            return false;
        abgeschlossen = ui->CBStatusAb->isChecked();
        zahlungseingang = ui->CBStatusZE->isChecked();
        return true;
    };
    ShowTypeChoice(false);
}

TKopf::~TKopf() {
    // The hooks live in the data module, which may be gone already.
    if (DM) {
        DM->OnKopfAnzeige = nullptr;
        DM->KopfStatusBoxes = nullptr;
    }
    delete ui;
}

bool TKopf::prepare(int mode) {
    FOpen = false;
    ApplyStyle(0, this);
    for (TSQLiteQuery* q : {&DM->QueryDruDat, &DM->QueryKunGru, &DM->QueryLieGru}) {
        q->Close();
        q->Open();
    }
    DM->TableKopf.Close();
    DM->TableKopf.Open();
    ui->LabKopfIDHint->clear();
    FillTextBlocks();

    if (!OpenRecord(mode, DM->TableKopf, DM->QueryKopf, QStringLiteral("KopfTyp;KopfID"),
                    QStringLiteral("Das gewählte Dokument ist nicht mehr vorhanden!")))
        return false;
    if (mode != ModeNew) {
        ShowTypeChoice(false);
        AdaptToType(DM->TableKopf.FieldByName(QStringLiteral("KopfTyp"))->AsString());
        DM->DSTKopfDataChange(&DM->DSTKopf, nullptr);
    }
    FOpen = true;
    return true;
}

void TKopf::done(int result) {
    TStammForm::done(result);
    // Closing drops or saves every pending change; a header still being
    // edited means the user chose to stay.
    if (!DM || !DM->TableKopf.Editing())
        FOpen = false;
}

void TKopf::FillTextBlocks() {
    struct {
        QComboBox* box;
        QList<int>* ids;
        bool footer;
    } lists[] = {{ui->CBKopfText, &FKopfTextIDs, false}, {ui->CBFussText, &FFussTextIDs, true}};
    for (auto& l : lists) {
        const QSignalBlocker blocker(l.box);
        l.box->clear();
        l.ids->clear();
        l.box->addItem(QStringLiteral("Standardtext"));
        l.ids->append(0);
        for (const auto& block : DM->KopfTextBlocks(l.footer)) {
            l.box->addItem(block.second);
            l.ids->append(block.first);
        }
        l.box->setCurrentIndex(0);
    }
}

void TKopf::InitNewDocument() {
    FReady = false;
    ui->PTitel->setText(QStringLiteral("   Kopfdaten"));
    ui->LabKunde->clear();
    ui->LabSubkunde->clear();
    ui->LabStatus->clear();
    ui->LabBetrag->setText(QStringLiteral("0.00"));
    // Whatever the document shown before had ticked does not carry over.
    ui->CBStatusAb->setChecked(false);
    ui->CBStatusZE->setChecked(false);
    Lock(false);
    ShowTypeChoice(true);
    FReady = true;
}

void TKopf::ShowTypeChoice(bool show) {
    ui->PTyp->setVisible(show);
    ui->PKopf->setVisible(!show);
    // Without a type there is nothing to save, list or print yet.
    ui->DBNavi->setEnabled(!show);
    ui->BitBtnPos->setEnabled(!show);
    ui->BitBtnDrucken->setEnabled(!show);
    ui->BitBtnW->setDefault(show);
    if (show) {
        if (QWidget* first = FirstField())
            first->setFocus();
    }
}

QWidget* TKopf::FirstField() const {
    if (ui->PTyp->isHidden())
        return TStammForm::FirstField();
    return TypeButtons(this)->checkedButton();
}

void TKopf::AdaptToType(const QString& typ) {
    FTyp = typ;
    const bool supplier = DokTypMitLieferant(typ);
    ui->LabDatum->setText(DokTypDatumCaption(typ));
    ui->LabKunLie->setText(supplier ? QStringLiteral("Lieferant") : QStringLiteral("Kunde"));
    ui->BitBtnKunde->setToolTip(supplier ? QStringLiteral("Lieferant auswählen")
                                         : QStringLiteral("Kunde auswählen"));
    ui->LabKunGru->setText(supplier ? QStringLiteral("Lieferantengruppe") : QStringLiteral("Kundengruppe"));
    if (supplier)
        ui->DBLCBKunGru->Bind(&DM->DSTKopf, QStringLiteral("KunGruID"), &DM->DSQLieGru,
                              QStringLiteral("LieGruID"), QStringLiteral("LieGruBez"));
    else
        ui->DBLCBKunGru->Bind(&DM->DSTKopf, QStringLiteral("KunGruID"), &DM->DSQKunGru,
                              QStringLiteral("KunGruID"), QStringLiteral("KunGruBez"));
    ui->BitBtnSubKunde->setEnabled(!supplier && !FLocked);
}

void TKopf::ShowAnzeige(const TKopfAnzeige& a) {
    FReady = false;
    if (a.Typ != FTyp)
        AdaptToType(a.Typ);
    ui->PTitel->setText(a.Titel);
    ui->LabStatus->setText(a.StatusText);
    ui->LabKunde->setText(a.Kunde);
    ui->LabSubkunde->setText(a.Subkunde);
    ui->LabBetrag->setText(a.Betrag);
    if (a.BoxenSichtbarkeit) {
        ui->CBStatusAb->setVisible(a.AbgeschlossenSichtbar);
        if (a.AbgeschlossenSichtbar)
            ui->CBStatusAb->setText(a.AbgeschlossenCaption);
        ui->CBStatusZE->setVisible(a.ZahlungSichtbar);
    }
    if (a.BoxenHaken) {
        ui->CBStatusAb->setChecked(a.AbgeschlossenGehakt);
        ui->CBStatusZE->setChecked(a.ZahlungGehakt);
    }
    Lock(a.Gesperrt);
    FReady = true;
}

void TKopf::Lock(bool locked) {
    FLocked = locked;
    const bool open = !locked;
    ui->BitBtnKunde->setEnabled(open);
    ui->BitBtnSubKunde->setEnabled(open && !DokTypMitLieferant(FTyp));
    ui->CBStatusAb->setEnabled(open);
    ui->CBKopfText->setEnabled(open);
    ui->CBFussText->setEnabled(open);
    // Locked fields stay read-only, not disabled: a click puts the focus
    // into them, so keys typed there do nothing instead of reaching the
    // button that had the focus (a blank would press "&Zurück").
    for (TDBEdit* e : {ui->DBEdit3, ui->DBEdit1, ui->DBEdit14})
        e->setReadOnly(locked);
    ui->DTPDatum->setReadOnly(locked);
    ui->DTPDatum2->setReadOnly(locked);
    for (TDBMemo* m : {ui->DBMemoKopfText, ui->DBMemoFussText, ui->DBMemoAnmerk})
        m->setReadOnly(locked);
    // These controls set their enabled state from their binding, so they are
    // locked through it.
    ui->DBCBNetto->SetReadOnly(locked);
    ui->DBCBKopfTextVP->SetReadOnly(locked);
    ui->DBCBFussTextNP->SetReadOnly(locked);
    ui->DBLCBKunGru->SetReadOnly(locked);
    ui->DBLCBDruDat->SetReadOnly(locked);

    using N = TDBNavigator;
    N::TButtonSet buttons =
        N::Bit(N::nbEdit) | N::Bit(N::nbPost) | N::Bit(N::nbCancel) | N::Bit(N::nbRefresh);
    if (open)
        buttons |= N::Bit(N::nbInsert) | N::Bit(N::nbDelete);
    ui->DBNavi->SetVisibleButtons(buttons);
}

void TKopf::BitBtnWClick() {
    const QString typ = DokTypen().value(TypeButtons(this)->checkedId());
    if (typ.isEmpty())
        return;
    AdaptToType(typ);
    if (!RunDataAction([&] { DM->SetKopfTyp(typ); }))
        return;
    ShowTypeChoice(false);
    ui->DBEdit3->setFocus();
}

void TKopf::BitBtnKundeClick() {
    const std::function<bool()>& pick = DokTypMitLieferant(FTyp) ? PickSupplier : PickCustomer;
    if (!pick || !pick())
        return;
    RunDataAction([] { DM->TakeKopfPartner(); });
}

void TKopf::BitBtnSubKundeClick() {
    if (!PickCustomer || !PickCustomer())
        return;
    RunDataAction([] { DM->TakeKopfSubkunde(); });
}

void TKopf::CBKopfTextSelect(int index) {
    if (index >= 0 && index < FKopfTextIDs.size())
        RunDataAction([&] { DM->LoadKopfText(false, FKopfTextIDs[index]); });
}

void TKopf::CBFussTextSelect(int index) {
    if (index >= 0 && index < FFussTextIDs.size())
        RunDataAction([&] { DM->LoadKopfText(true, FFussTextIDs[index]); });
}

// The status itself changes when the header is saved; a tick is a change the
// closing question asks about.
void TKopf::StatusBoxClick() {
    TSQLiteTable& t = DM->TableKopf;
    if (!FReady || !t.Active() || (t.IsEmpty() && !t.Editing()))
        return;
    RunDataAction([&t] {
        if (!t.Editing())
            t.Edit();
        t.SetModified(true);
    });
}

bool TKopf::SaveIfEditing() {
    TSQLiteTable& t = DM->TableKopf;
    if (!t.Active() || !t.Editing())
        return true;
    return TFieldDataLink::UpdateRecord(&t) && RunDataAction([&t] { t.Post(); });
}

bool TKopf::CurrentDocument(QString* typ, int* kopfId) const {
    const TSQLiteTable& t = DM->TableKopf;
    if (!t.Active() || t.IsEmpty())
        return false;
    const TField* id = t.FieldByName(QStringLiteral("KopfID"));
    *typ = t.FieldByName(QStringLiteral("KopfTyp"))->AsString();
    *kopfId = id->AsInteger();
    return !id->IsNull() && IsDokTyp(*typ);
}

void TKopf::BitBtnPosClick() {
    QString typ;
    int kopfId = 0;
    if (!SaveIfEditing() || !CurrentDocument(&typ, &kopfId))
        return;
    accept();
    if (ShowPositions)
        RunDataAction([&] { ShowPositions(typ, kopfId); });
}

void TKopf::BitBtnDruckenClick() {
    QString typ;
    int kopfId = 0;
    if (!SaveIfEditing() || !CurrentDocument(&typ, &kopfId) || !ShowPrint)
        return;
    FOutside = true;
    RunDataAction([&] { ShowPrint(typ, kopfId); });
    FOutside = false;
}
