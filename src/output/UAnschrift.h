// The page "Firmendaten/Andruck": the own company's row (letterhead, bank
// accounts, payment terms, standard texts of every document type, mail
// text), the two logos, the stored header and footer text blocks, and the
// layout editor that places every element of the printed page.
#pragma once

#include <QList>

#include "UPage.h"

#include <functional>

namespace Ui {
class TAnschrift;
}
class QLineEdit;

class TAnschrift : public TPage {
    Q_OBJECT
public:
    explicit TAnschrift(QWidget* pageArea = nullptr);
    ~TAnschrift() override;

    // Asks for the picture file of a logo; empty when the user cancelled.
    // Tests replace it; by default a file dialog.
    static std::function<QString(int logo)> ChooseLogoFile;

    // The layout editor's preview scale: the print area's width in millimetres.
    int PreviewScale() const { return FScale; }

protected:
    void PrepareShow() override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Speichern();
    // The set_allg fields of the tax tab, each named "Edit" + its key.
    QList<QLineEdit*> SteuerEdits() const;
    void ShowSteuerVorgaben();
    void OfferToSaveEdits();
    void LoadLogos();
    void ShowLogo(int logo);
    void ChooseLogo(int logo);
    void RemoveLogo(int logo);
    void PutCompanyInEdit();

    // Layout editor.
    QLineEdit* LayoutEdit(int i) const;
    void SelectElement(int deid);
    void SaveLayout();
    void Redraw();
    void DragMoved(int leftMm, int topMm);
    void DragFinished();

    Ui::TAnschrift* ui;
    int FScale = 0;
    int FSelected = 0;
    bool FSaving = false;        // field changes are written at once
    bool FLandGeaendert = false; // the country or a tax setting was changed and not yet saved
};
