// The customer list: filters by group, active, number or name, postcode,
// town, parent company and dealer; the grid over QueryKunde.
#pragma once

#include "UFrameUeb.h"

namespace Ui {
class TFrameKundenUeb;
}

class TFrameKundenUeb : public TFrameUeb {
    Q_OBJECT
public:
    explicit TFrameKundenUeb(QWidget* parent = nullptr);
    ~TFrameKundenUeb() override;

    // Every filter to its start state (active customers, sorted by number),
    // TableKunde reopened, the list run.
    void Reset(const QString& docType = QString()) override;
    QWidget* FocusField() const override;
    QString BuildSQL() const override;

    Ui::TFrameKundenUeb* Form() const { return ui; }

private:
    Ui::TFrameKundenUeb* ui;
};
