#include "UFrameKundenUeb.h"

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

    for (QLineEdit* e : {ui->EditNummer, ui->EditKonzernNr, ui->EditHaendlerNr})
        MakeDigitsOnly(e);
    SetupPersonFilters({ui->ComboBoxGruppe,
                        1,
                        ui->CheckBoxAktiv,
                        {ui->EditNummer, ui->EditName, ui->EditPLZ, ui->EditOrt, ui->EditKonzernNr,
                         ui->EditKonzernName, ui->EditHaendlerNr, ui->EditHaendlerName},
                        ui->ComboBoxSort,
                        ListFilter::KundenSlots,
                        &ListFilter::KundenCondition,
                        ListFilter::KundenSortCaptions()});
}

TFrameKundenUeb::~TFrameKundenUeb() {
    delete ui;
}

void TFrameKundenUeb::Reset(const QString&) {
    ResetPersonFilters();
}

QWidget* TFrameKundenUeb::FocusField() const {
    return ui->EditName;
}

QString TFrameKundenUeb::BuildSQL() const {
    return ListFilter::KundenSQL(Slots(), ui->ComboBoxSort->currentIndex());
}
