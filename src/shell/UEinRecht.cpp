#include "UEinRecht.h"

#include "Messages.h"
#include "UDM.h"
#include "ui_UEinRecht.h"

TEinRecht::TEinRecht(QWidget* pageArea) : TPage(pageArea), ui(new Ui::TEinRecht) {
    ui->setupUi(this);
    RightKey = QStringLiteral("EinRecht");
    connect(ui->BitBtnSpeichern, &QPushButton::clicked, this, &TEinRecht::BitBtnSpeichernClick);
}

TEinRecht::~TEinRecht() {
    delete ui;
}

void TEinRecht::PrepareShow() {
    ui->EditPW->setText(DM->ReadKennwort());
    ui->CLBFunktion->clear();
    FFunktionen.clear();
    for (const TDM::TRechtEntry& e : DM->ReadRechte()) {
        auto* item = new QListWidgetItem(e.Bezeichnung, ui->CLBFunktion);
        item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
        item->setCheckState(e.Geschuetzt ? Qt::Checked : Qt::Unchecked);
        FFunktionen << e.Funktion;
    }
}

void TEinRecht::BitBtnSpeichernClick() {
    QList<TDM::TRechtEntry> entries;
    for (int i = 0; i < ui->CLBFunktion->count() && i < FFunktionen.size(); ++i) {
        const QListWidgetItem* item = ui->CLBFunktion->item(i);
        entries.append({FFunktionen[i], item->text(), item->checkState() == Qt::Checked});
    }
    try {
        DM->SaveRechte(ui->EditPW->text(), entries);
    } catch (const ESQLiteError& e) {
        Messages::error(e.message());
    }
}
