#include "UPosDaten.h"

#include "QuorventFunctions.h"
#include "Rtf.h"
#include "Styles.h"
#include "TDBDataLink.h"
#include "UDM.h"
#include "ui_UPosDaten.h"

std::function<bool(const QString&)> TPosDaten::PickArticle;

TPosDaten::TPosDaten(QWidget* parent) : TStammForm(parent), ui(new Ui::TPosDaten) {
    ui->setupUi(this);
    SetFormParts({&DM->TablePosPreis, &DM->TablePos}, ui->DBEdit1, ui->BitBtnClose);
    // The rules on descriptions and the short designation read the text
    // through its formatting.
    TDM::FormattedTextPlain = &Rtf::PlainText;

    TDataSource* ds = &DM->DSTPos;
    BindField(ui->DBText1, ds, QStringLiteral("KopfID"));
    BindEdits(ds, {{ui->DBEdit1, "PosID"}, {ui->DBEdit2, "ArtikelID"}, {ui->DBEdit3, "PosKurzBez"}});
    BindField(ui->DBRichEdit1, ds, QStringLiteral("PosBez"));
    BindField(ui->DBCheckBox1, ds, QStringLiteral("Zwischensumme"));
    ui->DBNavigator1->SetDataSource(ds);

    // The price lines: the list of the current position and the editor of the chosen line.
    TDataSource* preis = &DM->DSTPosPreis;
    ui->DBGrid1->SetDataSource(&DM->DSQPosPreis);
    ui->DBGrid1->SetColumns({
        {QStringLiteral("PreisBez"), QStringLiteral("Bezeichnung"), {}, 180},
        {QStringLiteral("PreisBez2"), QStringLiteral("Bezeichnung 2"), {}, 170},
        {QStringLiteral("Menge"), QStringLiteral("Menge"), {}, 65},
        {QStringLiteral("EinheitBez"), QStringLiteral("Einheit"), {}, 65},
        {QStringLiteral("Wert"), QStringLiteral("Betrag/Stk"), QStringLiteral("0.00"), 85},
        {QStringLiteral("Rabatt"), QStringLiteral("Rabatt"), QStringLiteral("0.00%"), 70},
        {QStringLiteral("Summe"), QStringLiteral("Summe"), QStringLiteral("0.00"), 85},
    });
    BindEdits(preis, {{ui->DBEdit4, "PreisBez"},
                      {ui->DBEdit5, "PreisBez2"},
                      {ui->DBEdit6, "Menge"},
                      {ui->DBEdit7, "Wert"},
                      {ui->DBEdit8, "Rabatt"}});
    ui->DBLookupComboBox1->Bind(preis, QStringLiteral("EinheitID"), &DM->DSQEinheit,
                                QStringLiteral("EinheitID"), QStringLiteral("EinheitBez"), 20);
    // The percentage itself is stored, not the key of the rate's row.
    ui->DBLCBMWStSatz->Bind(preis, QStringLiteral("MWStSatz"), &DM->DSQMWSt, QStringLiteral("MWStSatz"),
                            QStringLiteral("MWStSatz"), 20);
    ui->DBNavigator2->SetDataSource(preis);

    DM->OnPosGesamtpreis = [this](const QString& text) { ui->LabGPreis->setText(text); };

    // A new line saves a new position first; what the user is still typing
    // into the position's fields belongs to that save.
    ui->DBNavigator2->BeforeAction = [](TDBNavigator::TNavigateBtn b) {
        if (b == TDBNavigator::nbInsert && !TFieldDataLink::UpdateRecord(&DM->TablePos))
            Abort();
    };
    connect(ui->DBNavigator1, &TDBNavigator::clicked, this, [this](TDBNavigator::TNavigateBtn b) {
        if (b == TDBNavigator::nbInsert)
            SetDescriptionDefaults();
    });
    connect(ui->BitBtnArtikel, &QToolButton::clicked, this, &TPosDaten::BitBtnArtikelClick);
}

TPosDaten::~TPosDaten() {
    // The hook lives in the data module, which may be gone already.
    if (DM)
        DM->OnPosGesamtpreis = nullptr;
    delete ui;
}

void TPosDaten::Show(const QString& typ, int kopfId, int mode) {
    FTyp = typ;
    FKopfID = kopfId;
    TStammForm::Show(mode);
}

bool TPosDaten::prepare(const QString& typ, int kopfId, int mode) {
    FTyp = typ;
    FKopfID = kopfId;
    return prepare(mode);
}

bool TPosDaten::prepare(int mode) {
    FOpen = false;
    ApplyStyle(0, this);
    ui->PTitel->setText(QStringLiteral("   Positionsdaten - ") + DokTypName(FTyp));
    ui->DBNavigator1->UpdateButtons();
    ui->DBNavigator2->UpdateButtons();
    for (TSQLiteQuery* q : {&DM->QueryEinheit, &DM->QueryMWSt}) {
        q->Close();
        q->Open();
    }
    DM->OpenPosForm(FTyp, FKopfID);
    if (!OpenRecord(mode == ModeShow ? int(ModeEdit) : mode, DM->TablePos, DM->QueryPos,
                    QStringLiteral("PosID"),
                    QStringLiteral("Die gewählte Position ist nicht mehr vorhanden!"))) {
        FLastPosID = DM->ClosePosForm();
        return false;
    }
    if (mode == ModeNew)
        SetDescriptionDefaults();
    DM->RefreshPosPrices();
    ui->FrameSchrift1->Attach(ui->DBRichEdit1);
    SetEditable(mode != ModeShow);
    FOpen = true;
    return true;
}

void TPosDaten::done(int result) {
    TStammForm::done(result);
    // Still editing: the user chose to stay, or the save was refused.
    if (!FOpen || DM->TablePos.Editing() || DM->TablePosPreis.Editing())
        return;
    FOpen = false;
    FLastPosID = DM->ClosePosForm();
}

void TPosDaten::SetEditable(bool editable) {
    for (QWidget* w : std::initializer_list<QWidget*>{
             ui->BitBtnArtikel, ui->DBEdit1, ui->DBEdit3, ui->FrameSchrift1, ui->DBCheckBox1, ui->DBEdit4,
             ui->DBEdit5, ui->DBEdit6, ui->DBLookupComboBox1, ui->DBEdit7, ui->DBLCBMWStSatz, ui->DBEdit8,
             ui->DBNavigator1, ui->DBNavigator2})
        w->setEnabled(editable);
    ui->DBRichEdit1->setReadOnly(!editable);
}

void TPosDaten::SetDescriptionDefaults() {
    ui->DBRichEdit1->SetDefAttributes(QStringLiteral("Arial"), 10);
}

void TPosDaten::BitBtnArtikelClick() {
    if (!PickArticle || !TFieldDataLink::UpdateRecord(&DM->TablePos))
        return;
    if (!PickArticle(FTyp))
        return;
    const TSQLiteQuery& list = DM->QueryArtikel;
    if (!list.Active() || list.IsEmpty())
        return;
    const qint64 artikelId = list.FieldByName(QStringLiteral("ArtikelID"))->AsLargeInt();
    RunDataAction([artikelId] { DM->TakePosArticle(artikelId); });
}
