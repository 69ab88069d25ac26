#include "UArtikel.h"

#include "Rtf.h"
#include "Styles.h"
#include "TDBDataLink.h"
#include "UDM.h"
#include "ui_UArtikel.h"

TArtikel::TArtikel(QWidget* parent)
    : TStammForm(parent), ui(new Ui::TArtikel), QueryLieferantAuswahl(&DM->SQLiteDB1) {
    ui->setupUi(this);
    SetFormParts({&DM->TableArtPreis, &DM->TableArtikel}, ui->DBEdit1, ui->BitBtnZurueck);
    ShowNumberProposal(ui->LabVorlaeufig, DM->OnArtikelNummerHinweis, &DM->DSTArtikel);
    // The data module's rule that a description must hold text needs to see
    // through the formatting.
    TDM::FormattedTextPlain = &Rtf::PlainText;
    QueryLieferantAuswahl.Name = QStringLiteral("QueryLieferantAuswahl");

    TDataSource* ds = &DM->DSTArtikel;
    BindEdits(ds, {{ui->DBEdit1, "ArtikelID"}, {ui->DBEdit2, "ArtKurzBez"}});
    const struct {
        TDBCheckBox* box;
        const char* field;
    } checks[] = {{ui->DBCheckBox1, "Aktiv"},
                  {ui->DBCheckBox2, "BereichEK"},
                  {ui->DBCheckBox3, "BereichVK"},
                  {ui->DBCheckBox4, "Zwischensumme"}};
    for (const auto& c : checks)
        BindField(c.box, ds, QLatin1String(c.field));
    ui->DBLookupComboBox1->Bind(ds, QStringLiteral("ArtGruID"), &DM->DSQArtGru, QStringLiteral("ArtGruID"),
                                QStringLiteral("ArtGruBez"), 20);
    ui->DBLookupComboBox2->Bind(ds, QStringLiteral("LieferantenID"), &DSLieferantAuswahl,
                                QStringLiteral("LieferantenID"), QStringLiteral("Firma"), 20);
    BindField(ui->DBRichEdit1, ds, QStringLiteral("ArtBez"));
    ui->DBNavigator1->SetDataSource(ds);

    // The price lines: the list of the current article and the editor of the chosen line.
    TDataSource* preis = &DM->DSTArtPreis;
    ui->DBGrid1->SetDataSource(&DM->DSQArtPreis);
    ui->DBGrid1->SetColumns({
        {QStringLiteral("PreisBez"), QStringLiteral("Bezeichnung"), {}, 190},
        {QStringLiteral("PreisBez2"), QStringLiteral("Bezeichnung 2"), {}, 190},
        {QStringLiteral("Menge"), QStringLiteral("Menge"), {}, 70},
        {QStringLiteral("EinheitBez"), QStringLiteral("Einheit"), {}, 70},
        {QStringLiteral("Wert"), QStringLiteral("Betrag/Stk"), QStringLiteral("0.00"), 90},
        {QStringLiteral("Summe"), QStringLiteral("Summe"), QStringLiteral("0.00"), 90},
    });
    BindEdits(preis, {{ui->DBEdit3, "PreisBez"},
                      {ui->DBEdit4, "PreisBez2"},
                      {ui->DBEdit5, "Menge"},
                      {ui->DBEdit6, "Wert"}});
    ui->DBLookupComboBox3->Bind(preis, QStringLiteral("EinheitID"), &DM->DSQEinheit,
                                QStringLiteral("EinheitID"), QStringLiteral("EinheitBez"), 20);
    // The percentage itself is stored, not the key of the rate's row.
    ui->DBLookupComboBox4->Bind(preis, QStringLiteral("MWStSatz"), &DM->DSQMWSt, QStringLiteral("MWStSatz"),
                                QStringLiteral("MWStSatz"), 20);
    ui->DBNavigator2->SetDataSource(preis);

    DM->OnArtikelGesamtpreis = [this](const QString& text) { ui->LabGesamtpreis->setText(text); };

    // A new line saves a new article first; what the user is still typing
    // into the article's fields belongs to that save.
    ui->DBNavigator2->BeforeAction = [](TDBNavigator::TNavigateBtn b) {
        if (b == TDBNavigator::nbInsert && !TFieldDataLink::UpdateRecord(&DM->TableArtikel))
            Abort();
    };

    connect(ui->DBCheckBox3, &QCheckBox::clicked, this, &TArtikel::DBCheckBoxVKClick);
    connect(ui->DBNavigator1, &TDBNavigator::clicked, this,
            [this](TDBNavigator::TNavigateBtn b) { DBNavigator1Click(b); });
}

TArtikel::~TArtikel() {
    if (DM)
        DM->OnArtikelGesamtpreis = nullptr;
    delete ui;
}

bool TArtikel::prepare(int mode) {
    ApplyStyle(0, this);
    ui->DBNavigator1->UpdateButtons();
    ui->DBNavigator2->UpdateButtons();
    DM->QueryArtGru.Close();
    DM->QueryArtGru.Open();
    QueryLieferantAuswahl.RunSQL(QStringLiteral(
        "select LieferantenID, Firma from Lieferant order by case when LieferantenID = 0 then 'AAA' else "
        "Upper(Firma) end"));
    for (TSQLiteBaseQuery* q : {static_cast<TSQLiteBaseQuery*>(&DM->TableArtikel),
                                static_cast<TSQLiteBaseQuery*>(&DM->QueryEinheit),
                                static_cast<TSQLiteBaseQuery*>(&DM->QueryMWSt)}) {
        q->Close();
        q->Open();
    }

    if (!OpenRecord(mode, DM->TableArtikel, DM->QueryArtikel, QStringLiteral("ArtikelID"),
                    QStringLiteral("Der gewählte Artikel ist nicht mehr vorhanden!")))
        return false;
    if (mode == ModeNew)
        SetDescriptionDefaults();
    DM->RefreshArticlePrices();
    ui->FrameSchrift1->Attach(ui->DBRichEdit1);
    return true;
}

void TArtikel::SetDescriptionDefaults() {
    ui->DBRichEdit1->SetDefAttributes(QStringLiteral("Arial"), 10);
}

// A sales-only article has supplier 0; the save enforces it as well, the
// form shows it at once.
void TArtikel::DBCheckBoxVKClick(bool checked) {
    if (!checked || ui->DBCheckBox2->isChecked())
        return;
    TSQLiteTable& t = DM->TableArtikel;
    RunDataAction([&t] {
        if (!t.Editing())
            t.Edit();
        t.FieldByName(QStringLiteral("LieferantenID"))->SetAsInteger(0);
    });
}

void TArtikel::DBNavigator1Click(int button) {
    if (button == TDBNavigator::nbInsert)
        SetDescriptionDefaults();
}
