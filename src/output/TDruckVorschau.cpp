#include "TDruckVorschau.h"

#include <QMouseEvent>
#include <QPainter>

#include <cmath>

namespace {

constexpr int PixelsPerMm = 3;
constexpr int MinBoxHeight = 12;
constexpr int HeaderArea = 2;
constexpr int FooterArea = 33;

const QColor AreaColor(0xFF, 0xFB, 0xF0);
const QColor VisibleColor(0xA6, 0xCA, 0xF0);
const QColor HiddenColor(0xC0, 0xC0, 0xC0);

bool InHeader(int deid) {
    return (deid >= 3 && deid <= 32) || deid == 38 || deid == 39 || deid == 40;
}

bool InFooter(int deid) {
    return deid >= 34 && deid <= 37;
}

} // namespace

TDruckVorschau::TDruckVorschau(QWidget* parent) : QWidget(parent) {
    setMouseTracking(true);
}

void TDruckVorschau::SetLayout(const QList<TDM::TDruckElement>& rows, int selected, int scale) {
    FRows = rows;
    FSelected = selected;
    FScale = scale;
    Relayout();
}

QRect TDruckVorschau::BoxRect(int deid) const {
    for (const TBox& b : FBoxes) {
        if (b.DEID == deid)
            return b.Rect;
    }
    return {};
}

void TDruckVorschau::Relayout() {
    FBoxes.clear();
    FDragIndex = -1;
    unsetCursor();
    // The print area's width is what a millimetre is measured against across;
    // without a usable width there is nothing to place.
    const bool header = FSelected == HeaderArea || InHeader(FSelected);
    const bool footer = FSelected >= FooterArea && FSelected <= 37;
    if (FScale < 1 || width() < 1 || (!header && !footer)) {
        update();
        return;
    }
    const int areaId = header ? HeaderArea : FooterArea;
    int areaHeight = 0;
    for (const TDM::TDruckElement& e : FRows) {
        if (e.DEID == areaId)
            areaHeight = std::max(0, e.Height) * PixelsPerMm;
    }
    const QRect area =
        header ? QRect(0, 0, width(), areaHeight) : QRect(0, height() - areaHeight, width(), areaHeight);
    FBoxes.append({areaId, area, QString(), AreaColor, true});

    const double pxPerMm = double(width()) / FScale;
    for (const TDM::TDruckElement& e : FRows) {
        if (header ? !InHeader(e.DEID) : !InFooter(e.DEID))
            continue;
        const int left = int(std::lround(e.Left * pxPerMm));
        const int w = int(std::lround(e.Width * pxPerMm));
        const int h = e.Height < 1 ? MinBoxHeight : e.Height * PixelsPerMm;
        FBoxes.append({e.DEID, QRect(left, area.top() + e.Top * PixelsPerMm, w, h), e.Title,
                       e.Visible ? VisibleColor : HiddenColor, false});
    }
    update();
}

void TDruckVorschau::paintEvent(QPaintEvent*) {
    QPainter p(this);
    QFont f = font();
    f.setPixelSize(10);
    p.setFont(f);
    // The box being dragged is drawn last, above the ones it passes over.
    QList<TBox> boxes = FBoxes;
    if (Dragging())
        boxes.move(FDragIndex, boxes.size() - 1);
    for (const TBox& b : boxes) {
        p.fillRect(b.Rect, b.Color);
        if (b.Area) {
            p.setPen(QColor(0xA0, 0xA0, 0xA0));
            p.drawRect(b.Rect.adjusted(0, 0, -1, -1));
            continue;
        }
        p.setPen(Qt::black);
        p.drawText(b.Rect.adjusted(1, 0, 0, 0), Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
                   b.Title);
    }
}

void TDruckVorschau::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    if (!Dragging())
        Relayout();
}

int TDruckVorschau::BoxAt(const QPoint& pos, bool elementsOnly) const {
    // Later boxes are drawn over earlier ones, so they are hit first.
    for (qsizetype i = FBoxes.size() - 1; i >= 0; --i) {
        if (elementsOnly && FBoxes[i].Area)
            continue;
        if (FBoxes[i].Rect.contains(pos))
            return int(i);
    }
    return -1;
}

void TDruckVorschau::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        QWidget::mousePressEvent(event);
        return;
    }
    const QPoint pos = event->position().toPoint();
    const int hit = BoxAt(pos, false);
    if (hit < 0)
        return;
    const int deid = FBoxes[hit].DEID;
    const bool area = FBoxes[hit].Area;
    // Selecting redraws the preview from the stored rows.
    emit ElementClicked(deid);
    if (area)
        return;
    const int index = BoxAt(pos, true);
    if (index < 0 || FBoxes[index].DEID != deid)
        return;
    FDragIndex = index;
    FDragOffset = pos - FBoxes[index].Rect.topLeft();
    FDragArea = FBoxes.first().Rect;
    setCursor(Qt::SizeAllCursor);
    emit DragStarted();
}

void TDruckVorschau::mouseMoveEvent(QMouseEvent* event) {
    const QPoint pos = event->position().toPoint();
    if (!Dragging()) {
        if (BoxAt(pos, true) >= 0)
            setCursor(Qt::SizeAllCursor);
        else
            unsetCursor();
        return;
    }
    // Millimetres cannot be negative: the box stops at the area's left and top edge.
    TBox& box = FBoxes[FDragIndex];
    const QPoint topLeft(std::max(0, pos.x() - FDragOffset.x()),
                         std::max(FDragArea.top(), pos.y() - FDragOffset.y()));
    box.Rect.moveTopLeft(topLeft);
    update();
    const int leftMm = int(std::lround(double(topLeft.x()) * FScale / width()));
    const int topMm = int(std::lround(double(topLeft.y() - FDragArea.top()) / PixelsPerMm));
    emit DragMoved(leftMm, topMm);
}

void TDruckVorschau::mouseReleaseEvent(QMouseEvent* event) {
    if (!Dragging() || event->button() != Qt::LeftButton) {
        QWidget::mouseReleaseEvent(event);
        return;
    }
    FDragIndex = -1;
    unsetCursor();
    emit DragFinished();
}
