// The supplier list: filters by group, active, number or name, postcode and
// town; the grid over QueryLieferant.
#pragma once

#include "UFrameUeb.h"

namespace Ui {
class TFrameLieferantenUeb;
}

class TFrameLieferantenUeb : public TFrameUeb {
    Q_OBJECT
public:
    explicit TFrameLieferantenUeb(QWidget* parent = nullptr);
    ~TFrameLieferantenUeb() override;

    // Every filter to its start state (active suppliers, sorted by number),
    // TableLieferant reopened, the list run.
    void Reset(const QString& docType = QString()) override;
    QWidget* FocusField() const override;
    QString BuildSQL() const override;

    Ui::TFrameLieferantenUeb* Form() const { return ui; }

private:
    Ui::TFrameLieferantenUeb* ui;
};
