#include "UFrameLieferantenUeb.h"

#include "ListFilter.h"
#include "TDBGrid.h"
#include "UDM.h"
#include "ui_UFrameLieferantenUeb.h"

TFrameLieferantenUeb::TFrameLieferantenUeb(QWidget* parent)
    : TFrameUeb(parent), ui(new Ui::TFrameLieferantenUeb) {
    ui->setupUi(this);
    TRecordKind kind;
    kind.List = &DM->QueryLieferant;
    kind.Table = &DM->TableLieferant;
    kind.KeyField = QStringLiteral("LieferantenID");
    kind.DeleteQuestion = [] {
        TSQLiteQuery& q = DM->QueryLieferant;
        return QStringLiteral("Soll der Lieferant ") +
               q.FieldByName(QStringLiteral("LieferantenID"))->AsString() + QStringLiteral(" - ") +
               q.FieldByName(QStringLiteral("Firma"))->AsString() +
               QStringLiteral(" wirklich gelöscht werden?");
    };
    Setup(kind, ui->DBGrid1, ui->PTitel, ui->BitBtnNeu, ui->BitBtnAendern, ui->BitBtnLoeschen);

    ui->DBGrid1->SetDataSource(&DM->DSQLieferant);
    ui->DBGrid1->SetColumns({
        {QStringLiteral("LieferantenID"), QStringLiteral("Nummer"), {}, 70},
        {QStringLiteral("Firma"), {}, {}, 240},
        {QStringLiteral("Strasse"), {}, {}, 200},
        {QStringLiteral("PLZ"), {}, {}, 60},
        {QStringLiteral("Ort"), {}, {}, 150},
        {QStringLiteral("Aktiv"), {}, {}, 45},
    });

    MakeDigitsOnly(ui->EditNummer);
    SetupPersonFilters({ui->ComboBoxGruppe,
                        2,
                        ui->CheckBoxAktiv,
                        {ui->EditNummer, ui->EditName, ui->EditPLZ, ui->EditOrt},
                        ui->ComboBoxSort,
                        ListFilter::LieferantenSlots,
                        &ListFilter::LieferantenCondition,
                        ListFilter::LieferantenSortCaptions()});
}

TFrameLieferantenUeb::~TFrameLieferantenUeb() {
    delete ui;
}

void TFrameLieferantenUeb::Reset(const QString&) {
    ResetPersonFilters();
}

QWidget* TFrameLieferantenUeb::FocusField() const {
    return ui->EditName;
}

QString TFrameLieferantenUeb::BuildSQL() const {
    return ListFilter::LieferantenSQL(Slots(), ui->ComboBoxSort->currentIndex());
}
