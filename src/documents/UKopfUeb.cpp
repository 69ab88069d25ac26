#include "UKopfUeb.h"

#include "KopfUebZusatz.h"
#include "SQLite.h"
#include "TDBDataLink.h"
#include "TDBGrid.h"
#include "UDM.h"
#include "UFrameUeb.h"
#include "Zahlungen.h"
#include "ui_UKopfUeb.h"

#include <QMenu>

std::function<void(int)> TKopfUeb::ShowKopf;
std::function<bool()> TKopfUeb::PickCustomer;
std::function<bool()> TKopfUeb::PickSupplier;
std::function<void(const QString&, int)> TKopfUeb::ShowPositions;
std::function<void(const QString&, int)> TKopfUeb::ShowPrint;
std::function<void(const QString&, int)> TKopfUeb::ShowCopy;

TKopfUeb::TKopfUeb(QWidget* pageArea) : TPage(pageArea), ui(new Ui::TKopfUeb) {
    ui->setupUi(this);
    setObjectName(QStringLiteral("KopfUeb"));
    setWindowTitle(QStringLiteral("Übersicht"));
    FSlots = QStringList(TDM::KopfUebSlots);

    ui->DBGrid1->SetDataSource(&DM->DSQKopf);
    const QString amount = QStringLiteral("#,##0.00");
    ui->DBGrid1->SetColumns({
        {QStringLiteral("KopfTyp"), QStringLiteral("Typ"), {}, 40},
        {QStringLiteral("KopfID"), QStringLiteral("Nummer"), {}, 70},
        {QStringLiteral("KundenID"), QStringLiteral("KundenNr"), {}, 80},
        {QStringLiteral("KopfBez"), QStringLiteral("Bezeichnung"), {}, 200},
        {QStringLiteral("Status"), QStringLiteral("Status"), {}, 55},
        {QStringLiteral("Datum"), QStringLiteral("Datum"), {}, 160},
        {QStringLiteral("Summe"), QStringLiteral("Betrag"), amount, 100},
        {QStringLiteral("SummeUST"), QStringLiteral("MWst"), amount, 90},
        {QStringLiteral("SummeInkl"), QStringLiteral("Inkl. MWSt"), amount, 100},
        {QStringLiteral("Zahlung"), QStringLiteral("Zahlung"), {}, 90},
    });
    // Invoices show whether they are paid, partly paid or open.
    KopfUebZusatz = {QStringLiteral("Zahlung"), ZahlungsMarkeSQL(), QStringLiteral("Zahlung")};
    if (!DM->QueryKopf.FindField(KopfUebZusatz.Name))
        DM->QueryKopf.AddField(KopfUebZusatz.Name, TFieldType::String, 20);
    ui->DBGrid1->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(ui->DBGrid1, &QWidget::customContextMenuRequested, this, &TKopfUeb::ShowContextMenu);
    connect(ui->DBGrid1, &TDBGrid::recordDoubleClicked, this, &TKopfUeb::AendernClick);

    ConnectDigits(ui->EditNum, 1);
    connect(ui->EditBez, &QLineEdit::textChanged, this, [this](const QString& text) { SetSlot(2, text); });
    ConnectDigits(ui->EditKunde, 3);
    connect(ui->CBStatus, &QComboBox::currentIndexChanged, this,
            [this](int index) { SetSlot(4, QString::number(index)); });
    connect(ui->CBTyp, &QComboBox::currentIndexChanged, this,
            [this](int index) { SetSlot(5, QString::number(index)); });
    ConnectDigits(ui->EditKonzern, 6);
    ConnectDigits(ui->EditSubkunde, 7);
    ConnectDigits(ui->EditLieferant, 8);
    connect(ui->CBSort, &QComboBox::currentIndexChanged, this, &TKopfUeb::Rebuild);

    connect(ui->BitBtnKunde, &QToolButton::clicked, this, [this] { Pick(ui->EditKunde, false); });
    connect(ui->BitBtnSubkunde, &QToolButton::clicked, this, [this] { Pick(ui->EditSubkunde, false); });
    connect(ui->BitBtnKonzern, &QToolButton::clicked, this, [this] { Pick(ui->EditKonzern, false); });
    connect(ui->BitBtnLieferant, &QToolButton::clicked, this, [this] { Pick(ui->EditLieferant, true); });

    connect(ui->BitBtnNeu, &QPushButton::clicked, this, &TKopfUeb::NeuClick);
    connect(ui->BitBtnAendern, &QPushButton::clicked, this, &TKopfUeb::AendernClick);
    connect(ui->BitBtnLoeschen, &QPushButton::clicked, this, &TKopfUeb::LoeschenClick);
    connect(ui->BitBtnPositionen, &QPushButton::clicked, this, &TKopfUeb::PositionenClick);
    connect(ui->BitBtnDrucken, &QPushButton::clicked, this, &TKopfUeb::DruckenClick);
    connect(ui->BitBtnKopieren, &QPushButton::clicked, this, &TKopfUeb::KopierenClick);
}

TKopfUeb::~TKopfUeb() {
    delete ui;
}

void TKopfUeb::ConnectDigits(QLineEdit* edit, int slot) {
    // The validator drops whatever is not a digit, typed or pasted, so the
    // edit shows the cleaned text.
    TFrameUeb::MakeDigitsOnly(edit);
    connect(edit, &QLineEdit::textChanged, this, [this, slot](const QString& text) { SetSlot(slot, text); });
}

void TKopfUeb::SetSlot(int slot, const QString& value) {
    FSlots[slot - 1] = TDM::KopfUebCondition(slot, value);
    Rebuild();
}

void TKopfUeb::Rebuild() {
    RunDataAction([this] { DM->OpenQueryKopf(FSlots, ui->CBSort->currentIndex()); });
}

void TKopfUeb::PrepareShow() {
    // Coming back from the positions list or the print dialog, the list
    // stays on the document the user worked on.
    QString typ;
    int id = 0;
    Current(&typ, &id);
    EnsureZahlungTables(*DM);
    DM->OpenQueryKopf(FSlots, ui->CBSort->currentIndex());
    if (id > 0)
        DM->QueryKopf.Locate(QStringLiteral("KopfTyp;KopfID"), QVariantList{typ, id});
    DM->TableKopf.Close();
    DM->TableKopf.Open();
}

void TKopfUeb::showEvent(QShowEvent* event) {
    TPage::showEvent(event);
    ui->EditBez->setFocus();
}

void TKopfUeb::Pick(QLineEdit* edit, bool supplier) {
    const auto& pick = supplier ? PickSupplier : PickCustomer;
    if (!pick || !pick())
        return;
    TSQLiteQuery& list = supplier ? DM->QueryLieferant : DM->QueryKunde;
    if (!list.Active() || list.IsEmpty())
        return;
    edit->setText(list.FieldByName(supplier ? QStringLiteral("LieferantenID") : QStringLiteral("KundenID"))
                      ->AsString());
}

bool TKopfUeb::Current(QString* typ, int* kopfId) const {
    TSQLiteQuery& list = DM->QueryKopf;
    if (!list.Active() || list.IsEmpty())
        return false;
    *kopfId = list.FieldByName(QStringLiteral("KopfID"))->AsInteger();
    *typ = list.FieldByName(QStringLiteral("KopfTyp"))->AsString();
    return *kopfId > 0;
}

void TKopfUeb::NeuClick() {
    if (!ShowKopf)
        return;
    ShowKopf(1);
    RunDataAction([] {
        TSQLiteTable& t = DM->TableKopf;
        QString typ;
        int id = 0;
        if (t.Active() && !t.IsEmpty() && t.State() == TDataSetState::Browse) {
            typ = t.FieldByName(QStringLiteral("KopfTyp"))->AsString();
            id = t.FieldByName(QStringLiteral("KopfID"))->AsInteger();
        }
        DM->ReopenQueryKopf(typ, id);
    });
}

void TKopfUeb::AendernClick() {
    QString typ;
    int id = 0;
    if (!ShowKopf || !Current(&typ, &id))
        return;
    ShowKopf(2);
    RunDataAction([&] { DM->ReopenQueryKopf(typ, id); });
}

void TKopfUeb::LoeschenClick() {
    QString typ;
    int id = 0;
    if (!Current(&typ, &id))
        return;
    const int row = DM->QueryKopf.RecNo();
    bool deleted = false;
    RunDataAction([&] { deleted = DM->DeleteKopfAsked(typ, id); });
    if (!deleted)
        return;
    RunDataAction([row] {
        DM->ReopenQueryKopf();
        // Stay where the deleted row was, so the user goes on with its neighbour.
        if (!DM->QueryKopf.IsEmpty())
            DM->QueryKopf.SetRecNo(std::min(row, DM->QueryKopf.RecordCount()));
    });
}

void TKopfUeb::PositionenClick() {
    QString typ;
    int id = 0;
    if (ShowPositions && Current(&typ, &id))
        ShowPositions(typ, id);
}

void TKopfUeb::DruckenClick() {
    QString typ;
    int id = 0;
    if (ShowPrint && Current(&typ, &id))
        ShowPrint(typ, id);
}

void TKopfUeb::KopierenClick() {
    QString typ;
    int id = 0;
    if (!ShowCopy || !Current(&typ, &id))
        return;
    ShowCopy(typ, id);
    // The list stands on the copy now. One between customer documents and
    // purchase orders has no partner yet: its header opens for the user to
    // choose one.
    QString copyTyp;
    int copyId = 0;
    bool ohnePartner = false;
    if (!ShowKopf || !Current(&copyTyp, &copyId) || (copyTyp == typ && copyId == id) ||
        !RunDataAction([&] { ohnePartner = DM->KopfOhnePartner(copyTyp, copyId); }) || !ohnePartner)
        return;
    ShowKopf(2);
    RunDataAction([&] { DM->ReopenQueryKopf(copyTyp, copyId); });
}

void TKopfUeb::ShowContextMenu(const QPoint& pos) {
    QMenu menu(this);
    menu.addAction(QStringLiteral("&Neu"), this, &TKopfUeb::NeuClick);
    menu.addAction(QStringLiteral("Än&dern"), this, &TKopfUeb::AendernClick);
    menu.addAction(QStringLiteral("&Löschen"), this, &TKopfUeb::LoeschenClick);
    menu.addAction(QStringLiteral("&Positionen"), this, &TKopfUeb::PositionenClick);
    menu.addAction(QStringLiteral("&Drucken"), this, &TKopfUeb::DruckenClick);
    menu.addAction(QStringLiteral("&Kopieren"), this, &TKopfUeb::KopierenClick);
    menu.exec(ui->DBGrid1->viewport()->mapToGlobal(pos));
}
