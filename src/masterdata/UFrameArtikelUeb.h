// The article list: filters by group, description, active, supplier and
// purchase or sales article; the grid over QueryArtikel with the group, the
// supplier and the sum of the article's price lines.
#pragma once

#include "UFrameUeb.h"

namespace Ui {
class TFrameArtikelUeb;
}

class TFrameArtikelUeb : public TFrameUeb {
    Q_OBJECT
public:
    explicit TFrameArtikelUeb(QWidget* parent = nullptr);
    ~TFrameArtikelUeb() override;

    // Every filter to its start state for the caller's document type: active
    // purchase articles for a purchase order ("B"), active sales articles for
    // any other type or none. TableArtikel reopened, the list run.
    void Reset(const QString& docType = QString()) override;
    QWidget* FocusField() const override;
    QString BuildSQL() const override;

    Ui::TFrameArtikelUeb* Form() const { return ui; }

private:
    void FillSupplierList();

    Ui::TFrameArtikelUeb* ui;
    // The supplier numbers behind the entries of the supplier list; entry 0
    // ("- Alle -") has none.
    QStringList FSupplierNumbers;
};
