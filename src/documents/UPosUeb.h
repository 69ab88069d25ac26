// The positions list "Positionsübersicht": the positions of one document
// with their amounts, the document's figures, opening, adding and deleting
// positions, and their order changed by dragging a row to another place.
// A closed document's list only shows its positions.
#pragma once

#include "UPage.h"

#include <QPoint>
#include <QPointer>
#include <QString>

#include <functional>

namespace Ui {
class TPosUeb;
}

class QFrame;
class TPosDaten;

class TPosUeb : public TPage {
    Q_OBJECT
public:
    explicit TPosUeb(QWidget* pageArea = nullptr);
    ~TPosUeb() override;

    // Fills the page for the document and shows it (the page's show
    // operation); false when the access gate refused.
    bool Open(const QString& typ, int kopfId);

    QString Typ() const { return FTyp; }
    int KopfID() const { return FKopfID; }
    // Positions can be added, deleted and reordered (the document is not closed).
    bool Editable() const { return FEditable; }
    // The position form the list opens.
    TPosDaten* PosDaten() const;

    void NeuClick();
    void AendernClick();
    void LoeschenClick();
    void DruckenClick();
    void CloseClick();

    // The print dialog for the document and, after the page was left, the
    // document overview. Until they are set, the buttons only do their part
    // on this page.
    static std::function<void(const QString& typ, int kopfId)> ShowPrint;
    static std::function<void()> ShowOverview;

protected:
    void PrepareShow() override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void RefreshFigures();
    // Runs the list again and moves it to the position (when there is one).
    void ReopenList(qint64 posId);
    void SetEditable(bool editable);
    void ShowContextMenu(const QPoint& pos);
    qint64 CurrentPosID() const;

    // Reordering: where a press started, the drag that follows it, the drop.
    bool GridMousePress(QMouseEvent* event);
    bool GridMouseMove(QMouseEvent* event);
    bool GridMouseRelease(QMouseEvent* event);
    void ShowDropMarker(const QPoint& pos);
    void DropAt(const QPoint& pos, int startRow);
    // Ends a drag without moving anything.
    void CancelDrag();

    Ui::TPosUeb* ui;
    // Not a child of the page: the page's widgets are found by name, and the
    // form has widgets of the same names. It is placed over the main window.
    QPointer<TPosDaten> FPosDaten;
    void ShowPosDaten(int mode);
    QFrame* FDropMarker;
    QString FTyp;
    int FKopfID = 0;
    bool FNetto = false;
    QString FStatus;
    bool FEditable = false;
    int FDragStartRow = -1; // grid row of the press a drag may start from, -1 for none
    QPoint FPressPos;
    bool FDragging = false;
    bool FDragCancelled = false; // Escape ended the drag; its button is still down
};
