// The preview of the layout editor: the header or footer area of the printed
// page with a box for each element placed in it. The horizontal scale follows
// the print area's width and the preview's width, the vertical one is fixed at
// three pixels per millimetre. An element box can be dragged to a new place.
#pragma once

#include "UDM.h"

#include <QColor>
#include <QList>
#include <QRect>
#include <QWidget>

class TDruckVorschau : public QWidget {
    Q_OBJECT
public:
    explicit TDruckVorschau(QWidget* parent = nullptr);

    // The layout rows, the selected element (which decides the area shown)
    // and the preview scale: the print area's width in millimetres. A scale
    // below 1 shows nothing, as there is no width to divide by.
    void SetLayout(const QList<TDM::TDruckElement>& rows, int selected, int scale);

    struct TBox {
        int DEID = -1;
        QRect Rect;
        QString Title;
        QColor Color;
        bool Area = false;
    };
    // The boxes as drawn, areas first.
    const QList<TBox>& Boxes() const { return FBoxes; }
    // Where the element or area is drawn; empty when it is not.
    QRect BoxRect(int deid) const;
    bool Dragging() const { return FDragIndex >= 0; }

signals:
    // A press on an element or area box: select it.
    void ElementClicked(int deid);
    // A press on an element box started a drag of the selected element.
    void DragStarted();
    // The dragged box moved; its place in millimetres.
    void DragMoved(int leftMm, int topMm);
    // The button was released: the element rests at the last place reported.
    void DragFinished();

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    void Relayout();
    int BoxAt(const QPoint& pos, bool elementsOnly) const;

    QList<TDM::TDruckElement> FRows;
    int FSelected = 0;
    int FScale = 0;
    QList<TBox> FBoxes;
    int FDragIndex = -1; // index into FBoxes of the box being dragged
    QPoint FDragOffset;  // pointer position inside the dragged box
    QRect FDragArea;     // the area the dragged box belongs to
};
