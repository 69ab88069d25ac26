#include "UFrameArtikelUeb.h"

#include "ComboHelpers.h"
#include "ListFilter.h"
#include "TDBGrid.h"
#include "UDM.h"
#include "ui_UFrameArtikelUeb.h"

TFrameArtikelUeb::TFrameArtikelUeb(QWidget* parent) : TFrameUeb(parent), ui(new Ui::TFrameArtikelUeb) {
    ui->setupUi(this);
    TRecordKind kind;
    kind.List = &DM->QueryArtikel;
    kind.Table = &DM->TableArtikel;
    kind.KeyField = QStringLiteral("ArtikelID");
    kind.NumberFromTableAfterEdit = true;
    kind.DeleteQuestion = [] {
        TSQLiteQuery& q = DM->QueryArtikel;
        return QStringLiteral("Soll der Artikel ") + q.FieldByName(QStringLiteral("ArtikelID"))->AsString() +
               QStringLiteral(" - ") + q.FieldByName(QStringLiteral("ArtKurzBez"))->AsString() +
               QStringLiteral(" wirklich gelöscht werden?");
    };
    Setup(kind, ui->DBGrid1, ui->PTitel, ui->BitBtnNeu, ui->BitBtnAendern, ui->BitBtnLoeschen);

    ui->DBGrid1->SetDataSource(&DM->DSQArtikel);
    ui->DBGrid1->SetColumns({
        {QStringLiteral("ArtikelID"), QStringLiteral("ArtikelNr"), {}, 75},
        {QStringLiteral("ArtKurzBez"), QStringLiteral("Bezeichnung"), {}, 260},
        {QStringLiteral("ArtGruBez"), QStringLiteral("Artikelgruppe"), {}, 150},
        {QStringLiteral("Summe"), QStringLiteral("Betrag"), QStringLiteral("0.00 EUR"), 100,
         Qt::AlignRight | Qt::AlignVCenter},
        {QStringLiteral("Firma"), QStringLiteral("Lieferant"), {}, 180},
        {QStringLiteral("Aktiv"), {}, {}, 45},
    });

    ClearSlots(ListFilter::ArtikelSlots);
    const auto condition = &ListFilter::ArtikelCondition;
    ConnectList(ui->ComboBoxGruppe, 1, condition);
    ConnectEdit(ui->EditBezeichnung, 2, condition);
    ConnectCheck(ui->CheckBoxAktiv, 3, condition);
    ConnectList(ui->ComboBoxLieferant, 4, condition,
                [this](int index) { return FSupplierNumbers.value(index); });
    ConnectCheck(ui->CheckBoxEK, 5, condition);
    ConnectCheck(ui->CheckBoxVK, 6, condition);
    ConnectSort(ui->ComboBoxSort, ListFilter::ArtikelSortCaptions());
    // Until the first reset neither area filters, and the boxes say so.
    ui->CheckBoxEK->setCheckState(Qt::PartiallyChecked);
    ui->CheckBoxVK->setCheckState(Qt::PartiallyChecked);
}

TFrameArtikelUeb::~TFrameArtikelUeb() {
    delete ui;
}

void TFrameArtikelUeb::FillSupplierList() {
    TSQLiteQuery& q = DM->Query1;
    q.RunSQL(QStringLiteral("select LieferantenID, Firma from Lieferant order by case when LieferantenID = 0 "
                            "then 'AAA' else Upper(Firma) end"));
    QComboBox* list = ui->ComboBoxLieferant;
    list->clear();
    FSupplierNumbers = QStringList{QString()};
    list->addItem(QStringLiteral("- Alle -"));
    for (; !q.Eof(); q.Next()) {
        FSupplierNumbers.append(q.Fields(0)->AsString());
        list->addItem(q.Fields(1)->AsString());
    }
    list->setCurrentIndex(0);
}

void TFrameArtikelUeb::Reset(const QString& docType) {
    ResetWith([this, &docType] {
        ReopenTable();
        ui->CheckBoxAktiv->setCheckState(Qt::Checked);
        FillGroupCombo(DM->Query1, ui->ComboBoxGruppe, 3, true);
        FillSupplierList();
        ui->EditBezeichnung->clear();
        ui->ComboBoxSort->setCurrentIndex(0);
        ClearSlots(ListFilter::ArtikelSlots);
        SetSlotQuietly(3, ListFilter::ArtikelCondition(3, QStringLiteral("J")));
        // The area of the caller is ticked; the other area's box shows
        // "either", as its slot is empty now and the list must match the boxes.
        const bool purchase = docType == u'B';
        (purchase ? ui->CheckBoxEK : ui->CheckBoxVK)->setCheckState(Qt::Checked);
        (purchase ? ui->CheckBoxVK : ui->CheckBoxEK)->setCheckState(Qt::PartiallyChecked);
        SetSlotQuietly(purchase ? 5 : 6, ListFilter::ArtikelCondition(purchase ? 5 : 6, QStringLiteral("J")));
    });
}

QWidget* TFrameArtikelUeb::FocusField() const {
    return ui->EditBezeichnung;
}

QString TFrameArtikelUeb::BuildSQL() const {
    return ListFilter::ArtikelSQL(Slots(), ui->ComboBoxSort->currentIndex());
}
