// The list pages of the main window: customers, suppliers and articles, each
// one list frame filling the page. Every show resets the frame (an article
// page shows the sales articles first) and puts the cursor in its name or
// description filter.
#pragma once

#include "UPage.h"

class TFrameUeb;
class TFrameKundenUeb;
class TFrameLieferantenUeb;
class TFrameArtikelUeb;

class TUebPage : public TPage {
    Q_OBJECT
protected:
    // The page takes the frame (created without a parent) and gives it its title bar.
    TUebPage(QWidget* pageArea, TFrameUeb* frame, const QString& title);

    void PrepareShow() override;
    QList<QWidget*> StyledFrames() const override;
    void showEvent(QShowEvent* event) override;

    TFrameUeb* FFrame;
};

class TKundenUeb : public TUebPage {
    Q_OBJECT
public:
    explicit TKundenUeb(QWidget* pageArea = nullptr);
    TFrameKundenUeb* Frame() const;
};

class TLieferantenUeb : public TUebPage {
    Q_OBJECT
public:
    explicit TLieferantenUeb(QWidget* pageArea = nullptr);
    TFrameLieferantenUeb* Frame() const;
};

class TArtikelUeb : public TUebPage {
    Q_OBJECT
public:
    explicit TArtikelUeb(QWidget* pageArea = nullptr);
    TFrameArtikelUeb* Frame() const;
};
