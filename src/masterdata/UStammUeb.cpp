#include "UStammUeb.h"

#include "UFrameArtikelUeb.h"
#include "UFrameKundenUeb.h"
#include "UFrameLieferantenUeb.h"
#include "ui_UFrameArtikelUeb.h"
#include "ui_UFrameKundenUeb.h"
#include "ui_UFrameLieferantenUeb.h"

#include <QVBoxLayout>

namespace {

// The frame fills the page without a margin; the page is named after its class.
template <class TFrame> TFrame* EmbedFrame(TPage* page, const QString& title) {
    page->setWindowTitle(title.trimmed());
    auto* layout = new QVBoxLayout(page);
    layout->setContentsMargins(0, 0, 0, 0);
    auto* frame = new TFrame(page);
    frame->SetTitle(title);
    layout->addWidget(frame);
    return frame;
}

} // namespace

TKundenUeb::TKundenUeb(QWidget* pageArea)
    : TPage(pageArea), FFrame(EmbedFrame<TFrameKundenUeb>(this, QStringLiteral("   Kundenübersicht"))) {
    setObjectName(QStringLiteral("KundenUeb"));
}

void TKundenUeb::PrepareShow() {
    FFrame->Reset();
}

QList<QWidget*> TKundenUeb::StyledFrames() const {
    return {FFrame};
}

void TKundenUeb::showEvent(QShowEvent* event) {
    TPage::showEvent(event);
    FFrame->Form()->EditName->setFocus();
}

TLieferantenUeb::TLieferantenUeb(QWidget* pageArea)
    : TPage(pageArea),
      FFrame(EmbedFrame<TFrameLieferantenUeb>(this, QStringLiteral("   Lieferantenübersicht"))) {
    setObjectName(QStringLiteral("LieferantenUeb"));
}

void TLieferantenUeb::PrepareShow() {
    FFrame->Reset();
}

QList<QWidget*> TLieferantenUeb::StyledFrames() const {
    return {FFrame};
}

void TLieferantenUeb::showEvent(QShowEvent* event) {
    TPage::showEvent(event);
    FFrame->Form()->EditName->setFocus();
}

TArtikelUeb::TArtikelUeb(QWidget* pageArea)
    : TPage(pageArea), FFrame(EmbedFrame<TFrameArtikelUeb>(this, QStringLiteral("   Artikelübersicht"))) {
    setObjectName(QStringLiteral("ArtikelUeb"));
}

void TArtikelUeb::PrepareShow() {
    // No document type: the page starts with the sales articles.
    FFrame->Reset();
}

QList<QWidget*> TArtikelUeb::StyledFrames() const {
    return {FFrame};
}

void TArtikelUeb::showEvent(QShowEvent* event) {
    TPage::showEvent(event);
    FFrame->Form()->EditBezeichnung->setFocus();
}
