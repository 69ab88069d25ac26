#include "UStammUeb.h"

#include "UFrameArtikelUeb.h"
#include "UFrameKundenUeb.h"
#include "UFrameLieferantenUeb.h"

#include <QVBoxLayout>

TUebPage::TUebPage(QWidget* pageArea, TFrameUeb* frame, const QString& title)
    : TPage(pageArea), FFrame(frame) {
    setWindowTitle(title.trimmed());
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(frame);
    frame->SetTitle(title);
}

void TUebPage::PrepareShow() {
    FFrame->Reset();
}

QList<QWidget*> TUebPage::StyledFrames() const {
    return {FFrame};
}

void TUebPage::showEvent(QShowEvent* event) {
    TPage::showEvent(event);
    FFrame->FocusField()->setFocus();
}

TKundenUeb::TKundenUeb(QWidget* pageArea)
    : TUebPage(pageArea, new TFrameKundenUeb, QStringLiteral("   Kundenübersicht")) {
    setObjectName(QStringLiteral("KundenUeb"));
}

TFrameKundenUeb* TKundenUeb::Frame() const {
    return static_cast<TFrameKundenUeb*>(FFrame);
}

TLieferantenUeb::TLieferantenUeb(QWidget* pageArea)
    : TUebPage(pageArea, new TFrameLieferantenUeb, QStringLiteral("   Lieferantenübersicht")) {
    setObjectName(QStringLiteral("LieferantenUeb"));
}

TFrameLieferantenUeb* TLieferantenUeb::Frame() const {
    return static_cast<TFrameLieferantenUeb*>(FFrame);
}

TArtikelUeb::TArtikelUeb(QWidget* pageArea)
    : TUebPage(pageArea, new TFrameArtikelUeb, QStringLiteral("   Artikelübersicht")) {
    setObjectName(QStringLiteral("ArtikelUeb"));
}

TFrameArtikelUeb* TArtikelUeb::Frame() const {
    return static_cast<TFrameArtikelUeb*>(FFrame);
}
