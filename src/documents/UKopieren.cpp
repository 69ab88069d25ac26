#include "UKopieren.h"

#include "Beleg.h"
#include "QuorventFunctions.h"
#include "TDBDataLink.h"
#include "UDM.h"
#include "UKopf.h"
#include "UPage.h"
#include "ui_UKopieren.h"

#include <QButtonGroup>

TKopieren::TKopieren(QWidget* parent) : QDialog(parent), ui(new Ui::TKopieren) {
    ui->setupUi(this);
    GroupTypeButtons(this, {ui->RBTyp0, ui->RBTyp1, ui->RBTyp2, ui->RBTyp3, ui->RBTyp4, ui->RBTyp5,
                            ui->RBTyp6, ui->RBTyp7});
    connect(ui->CBAlle, &QCheckBox::clicked, this, &TKopieren::CBAlleClick);
    connect(ui->BitBtnW, &QPushButton::clicked, this, &TKopieren::BitBtnWClick);
    connect(ui->BitBtnAbb, &QPushButton::clicked, this, &QDialog::reject);
}

TKopieren::~TKopieren() {
    delete ui;
}

void TKopieren::prepare(const QString& typ, int kopfId) {
    TPage::ApplyStyle(0, this);
    FTyp = typ;
    FKopfId = kopfId;
    ui->PTitel->setText(QStringLiteral("   Kopieren - ") + DokTypName(typ) + QStringLiteral(" Nr. ") +
                        QString::number(kopfId));
    ui->CLBPos->clear();
    for (const auto& [id, text] : DM->KopierPositionen(typ, kopfId)) {
        auto* item = new QListWidgetItem(text, ui->CLBPos);
        item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
        item->setCheckState(Qt::Checked);
        item->setData(Qt::UserRole, id);
    }
    ui->CBPosfort->setChecked(true);
    ui->CBAlle->setChecked(true);
}

void TKopieren::Show(const QString& typ, int kopfId) {
    bool ok = false;
    RunDataAction([&] {
        prepare(typ, kopfId);
        ok = true;
    });
    if (ok)
        exec();
}

void TKopieren::CBAlleClick(bool checked) {
    for (int i = 0; i < ui->CLBPos->count(); ++i)
        ui->CLBPos->item(i)->setCheckState(checked ? Qt::Checked : Qt::Unchecked);
}

void TKopieren::BitBtnWClick() {
    const int chosen = TypeButtons(this)->checkedId();
    TDM::TKopierAuftrag a;
    a.QuellTyp = FTyp;
    a.QuellID = FKopfId;
    a.ZielTyp = DokTypen().value(chosen < 0 ? 0 : chosen);
    a.Fortlaufend = ui->CBPosfort->isChecked();
    a.KopfFussText = ui->CBKFText->isChecked();
    for (int i = 0; i < ui->CLBPos->count(); ++i) {
        const QListWidgetItem* item = ui->CLBPos->item(i);
        if (item->checkState() == Qt::Checked)
            a.Positionen.append(item->data(Qt::UserRole).toLongLong());
    }
    int number = 0;
    if (!RunDataAction([&] { number = DM->KopiereDokument(a); }) || number <= 0)
        return;
    accept();
    RunDataAction([&] { DM->ReopenQueryKopf(a.ZielTyp, number); });
}
