#include "UStammAusw.h"

#include "Styles.h"
#include "UFrameArtikelUeb.h"
#include "UFrameKundenUeb.h"
#include "UFrameLieferantenUeb.h"

#include <QHBoxLayout>
#include <QPushButton>
#include <QVBoxLayout>

TAuswahl::TAuswahl(TFrameUeb* frame, const QString& caption, QWidget* parent)
    : QDialog(parent), FFrame(frame) {
    setWindowTitle(caption);
    setModal(true);
    resize(960, 620);
    frame->SetTitle(QStringLiteral("   ") + caption);
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
    if (FFrame->ListHasRecord())
        QDialog::accept();
}

bool TAuswahl::Execute(const QString& docType) {
    ApplyStyle(0, this);
    ApplyStyle(0, FFrame);
    // The reset ticks "Aktiv": a picker starts with the active records.
    FFrame->Reset(docType);
    return exec() == QDialog::Accepted;
}

TKundenAusw::TKundenAusw(QWidget* parent)
    : TAuswahl(new TFrameKundenUeb, QStringLiteral("Kundenauswahl"), parent) {
    setObjectName(QStringLiteral("KundenAusw"));
}

TFrameKundenUeb* TKundenAusw::Frame() const {
    return static_cast<TFrameKundenUeb*>(FFrame);
}

TLieferantenAusw::TLieferantenAusw(QWidget* parent)
    : TAuswahl(new TFrameLieferantenUeb, QStringLiteral("Lieferantenauswahl"), parent) {
    setObjectName(QStringLiteral("LieferantenAusw"));
}

TFrameLieferantenUeb* TLieferantenAusw::Frame() const {
    return static_cast<TFrameLieferantenUeb*>(FFrame);
}

TArtikelAusw::TArtikelAusw(QWidget* parent)
    : TAuswahl(new TFrameArtikelUeb, QStringLiteral("Artikelauswahl"), parent) {
    setObjectName(QStringLiteral("ArtikelAusw"));
}

TFrameArtikelUeb* TArtikelAusw::Frame() const {
    return static_cast<TFrameArtikelUeb*>(FFrame);
}
