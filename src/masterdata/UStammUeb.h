// The list pages of the main window: customers, suppliers and articles, each
// one list frame filling the page.
#pragma once

#include "UPage.h"

class TFrameKundenUeb;
class TFrameLieferantenUeb;
class TFrameArtikelUeb;
class QLineEdit;

class TKundenUeb : public TPage {
    Q_OBJECT
public:
    explicit TKundenUeb(QWidget* pageArea = nullptr);
    TFrameKundenUeb* Frame() const { return FFrame; }

protected:
    void PrepareShow() override;
    QList<QWidget*> StyledFrames() const override;
    void showEvent(QShowEvent* event) override;

private:
    TFrameKundenUeb* FFrame;
};

class TLieferantenUeb : public TPage {
    Q_OBJECT
public:
    explicit TLieferantenUeb(QWidget* pageArea = nullptr);
    TFrameLieferantenUeb* Frame() const { return FFrame; }

protected:
    void PrepareShow() override;
    QList<QWidget*> StyledFrames() const override;
    void showEvent(QShowEvent* event) override;

private:
    TFrameLieferantenUeb* FFrame;
};

class TArtikelUeb : public TPage {
    Q_OBJECT
public:
    explicit TArtikelUeb(QWidget* pageArea = nullptr);
    TFrameArtikelUeb* Frame() const { return FFrame; }

protected:
    void PrepareShow() override;
    QList<QWidget*> StyledFrames() const override;
    void showEvent(QShowEvent* event) override;

private:
    TFrameArtikelUeb* FFrame;
};
