#include "UStammAusw.h"

#include "Styles.h"
#include "UFrameArtikelUeb.h"
#include "UFrameKundenUeb.h"
#include "UFrameLieferantenUeb.h"
#include "ui_UFrameKundenUeb.h"
#include "ui_UFrameLieferantenUeb.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QPushButton>
#include <QVBoxLayout>

TAuswahl::TAuswahl(const QString& caption, QWidget* parent) : QDialog(parent) {
    setWindowTitle(caption);
    setModal(true);
    resize(960, 620);
}

void TAuswahl::Embed(TFrameUeb* frame) {
    FFrame = frame;
    frame->SetTitle(QStringLiteral("   ") + windowTitle());
    frame->SetPickMode(true);
    connect(frame, &TFrameUeb::confirmed, this, &TAuswahl::accept);

    auto* buttons = new QHBoxLayout;
    buttons->setContentsMargins(12, 0, 12, 10);
    buttons->addStretch();
    auto* take = new QPushButton(QStringLiteral("Ü&bernehmen"), this);
    take->setObjectName(QStringLiteral("BitBtnUebernehmen"));
    take->setDefault(true);
    auto* cancel = new QPushButton(QStringLiteral("&Abbrechen"), this);
    cancel->setObjectName(QStringLiteral("BitBtnAbbrechen"));
    for (QPushButton* b : {take, cancel}) {
        b->setMinimumWidth(110);
        buttons->addWidget(b);
    }
    connect(take, &QPushButton::clicked, this, &TAuswahl::accept);
    connect(cancel, &QPushButton::clicked, this, &TAuswahl::reject);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(frame);
    layout->addLayout(buttons);
}

void TAuswahl::accept() {
    if (FFrame && FFrame->ListHasRecord())
        QDialog::accept();
}

bool TAuswahl::Run(const std::function<void()>& reset) {
    ApplyStyle(0, this);
    ApplyStyle(0, FFrame);
    reset();
    return exec() == QDialog::Accepted;
}

TKundenAusw::TKundenAusw(QWidget* parent)
    : TAuswahl(QStringLiteral("Kundenauswahl"), parent), FFrame(new TFrameKundenUeb(this)) {
    setObjectName(QStringLiteral("KundenAusw"));
    Embed(FFrame);
}

bool TKundenAusw::Execute() {
    return Run([this] {
        FFrame->Reset();
        FFrame->Form()->CheckBoxAktiv->setCheckState(Qt::Checked);
    });
}

TLieferantenAusw::TLieferantenAusw(QWidget* parent)
    : TAuswahl(QStringLiteral("Lieferantenauswahl"), parent), FFrame(new TFrameLieferantenUeb(this)) {
    setObjectName(QStringLiteral("LieferantenAusw"));
    Embed(FFrame);
}

bool TLieferantenAusw::Execute() {
    return Run([this] {
        FFrame->Reset();
        FFrame->Form()->CheckBoxAktiv->setCheckState(Qt::Checked);
    });
}

TArtikelAusw::TArtikelAusw(QWidget* parent)
    : TAuswahl(QStringLiteral("Artikelauswahl"), parent), FFrame(new TFrameArtikelUeb(this)) {
    setObjectName(QStringLiteral("ArtikelAusw"));
    Embed(FFrame);
}

bool TArtikelAusw::Execute(const QString& docType) {
    return Run([this, &docType] { FFrame->Reset(docType); });
}
