// The position form "Positionsdaten": one position of a document bound to the
// current row of the data module's TablePos, its formatted description with
// the rich-text bar, the article it was made from, and the group
// "Preiselemente" with the position's price lines and the editor of the
// selected line.
#pragma once

#include "UStammForm.h"

#include <QString>

#include <functional>

namespace Ui {
class TPosDaten;
}

class TPosDaten : public TStammForm {
    Q_OBJECT
public:
    // Mode 3 shows a position of a closed document: nothing can be changed.
    enum { ModeShow = 3 };

    explicit TPosDaten(QWidget* parent = nullptr);
    ~TPosDaten() override;

    // The show operation for a position of the document: prepare, then the
    // modal dialog.
    void Show(const QString& typ, int kopfId, int mode);
    // Everything the show operation does before the dialog runs: style,
    // title, TablePos filtered to the document, then a new position (mode 1)
    // or the one current in QueryPos (modes 2 and 3), the rich-text bar
    // attached, and the controls enabled or not. False when the listed
    // position cannot be found; the user has been told.
    bool prepare(const QString& typ, int kopfId, int mode);
    // The same for the document given last.
    bool prepare(int mode) override;
    // Closing gives up what is not saved (after asking) and takes the
    // document's filter away from TablePos.
    void done(int result) override;

    // The position TablePos stood on when the form closed last (0 for none).
    qint64 LastPosID() const { return FLastPosID; }

    // The article picker, which lives with the master-data lists: shows it
    // modally for the document type and returns true when the user took an
    // article, which is then the current row of QueryArtikel. Until it is
    // set, the "?" button does nothing.
    static std::function<bool(const QString& typ)> PickArticle;

private:
    void BitBtnArtikelClick();
    void SetEditable(bool editable);
    void SetDescriptionDefaults();

    Ui::TPosDaten* ui;
    QString FTyp;
    int FKopfID = 0;
    bool FOpen = false;
    qint64 FLastPosID = 0;
};
