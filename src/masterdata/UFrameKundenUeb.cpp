#include "UFrameKundenUeb.h"

#include "ComboHelpers.h"
#include "ListFilter.h"
#include "TDBGrid.h"
#include "UDM.h"
#include "ui_UFrameKundenUeb.h"

TFrameKundenUeb::TFrameKundenUeb(QWidget* parent) : TFrameUeb(parent), ui(new Ui::TFrameKundenUeb) {
    ui->setupUi(this);
    TRecordKind kind;
    kind.List = &DM->QueryKunde;
    kind.Table = &DM->TableKunde;
    kind.KeyField = QStringLiteral("KundenID");
    kind.DeleteQuestion = [] {
        TSQLiteQuery& q = DM->QueryKunde;
        QString name = q.FieldByName(QStringLiteral("Firma"))->AsString();
        if (name.isEmpty())
            name = q.FieldByName(QStringLiteral("Nachname"))->AsString();
        return QStringLiteral("Soll der Kunde ") + q.FieldByName(QStringLiteral("KundenID"))->AsString() +
               QStringLiteral(" - ") + name + QStringLiteral(" wirklich gelöscht werden?");
    };
    Setup(kind, ui->DBGrid1, ui->PTitel, ui->BitBtnNeu, ui->BitBtnAendern, ui->BitBtnLoeschen);

    ui->DBGrid1->SetDataSource(&DM->DSQKunde);
    ui->DBGrid1->SetColumns({
        {QStringLiteral("KundenID"), QStringLiteral("Nummer"), {}, 60},
        {QStringLiteral("Firma"), {}, {}, 160},
        {QStringLiteral("Nachname"), {}, {}, 100},
        {QStringLiteral("Vorname"), {}, {}, 80},
        {QStringLiteral("Zusatzname"), {}, {}, 90},
        {QStringLiteral("PLZ"), {}, {}, 50},
        {QStringLiteral("Ort"), {}, {}, 100},
        {QStringLiteral("Strasse"), {}, {}, 110},
        {QStringLiteral("Aktiv"), {}, {}, 40},
    });

    ClearSlots(ListFilter::KundenSlots);
    for (QLineEdit* e : {ui->EditNummer, ui->EditKonzernNr, ui->EditHaendlerNr})
        MakeDigitsOnly(e);
    const auto condition = &ListFilter::KundenCondition;
    ConnectList(ui->ComboBoxGruppe, 1, condition);
    ConnectCheck(ui->CheckBoxAktiv, 2, condition);
    ConnectEdit(ui->EditNummer, 3, condition);
    ConnectEdit(ui->EditName, 4, condition);
    ConnectEdit(ui->EditPLZ, 5, condition);
    ConnectEdit(ui->EditOrt, 6, condition);
    ConnectEdit(ui->EditKonzernNr, 7, condition);
    ConnectEdit(ui->EditKonzernName, 8, condition);
    ConnectEdit(ui->EditHaendlerNr, 9, condition);
    ConnectEdit(ui->EditHaendlerName, 10, condition);
    ConnectSort(ui->ComboBoxSort, ListFilter::KundenSortCaptions());
}

TFrameKundenUeb::~TFrameKundenUeb() {
    delete ui;
}

void TFrameKundenUeb::Reset(const QString&) {
    ResetWith([this] {
        ReopenTable();
        FillGroupCombo(DM->Query1, ui->ComboBoxGruppe, 1, true);
        ui->CheckBoxAktiv->setCheckState(Qt::Checked);
        for (QLineEdit* e : {ui->EditNummer, ui->EditName, ui->EditPLZ, ui->EditOrt, ui->EditKonzernNr,
                             ui->EditKonzernName, ui->EditHaendlerNr, ui->EditHaendlerName})
            e->clear();
        ui->ComboBoxSort->setCurrentIndex(0);
        ClearSlots(ListFilter::KundenSlots);
        SetSlotQuietly(2, ListFilter::KundenCondition(2, QStringLiteral("J")));
    });
}

QWidget* TFrameKundenUeb::FocusField() const {
    return ui->EditName;
}

QString TFrameKundenUeb::BuildSQL() const {
    return ListFilter::KundenSQL(Slots(), ui->ComboBoxSort->currentIndex());
}
