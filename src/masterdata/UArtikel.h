// The article form "Artikelstamm": one article bound to the current row of the
// data module's TableArtikel, its formatted description with the rich-text
// bar, and the group "Preiselemente" with the article's price lines and the
// editor of the selected line.
#pragma once

#include "SQLite.h"

#include "UStammForm.h"

namespace Ui {
class TArtikel;
}

class TArtikel : public TStammForm {
    Q_OBJECT
public:
    explicit TArtikel(QWidget* parent = nullptr);
    ~TArtikel() override;

    // Everything the show operation does before the dialog runs: style, lookup
    // lists and TableArtikel reopened, then a new article (mode 1) or the
    // article that is current in QueryArtikel (mode 2), its price lines, and
    // the rich-text bar attached. False when the listed article cannot be
    // found; the user has been told and no record was opened.
    bool prepare(int mode) override;

private:
    void DBCheckBoxVKClick(bool checked);
    void DBNavigator1Click(int button);
    void SetDescriptionDefaults();

    Ui::TArtikel* ui;
    // The supplier selection: supplier 0 first, then by firm.
    TSQLiteQuery QueryLieferantAuswahl;
    TDataSource DSLieferantAuswahl{&QueryLieferantAuswahl};
};
