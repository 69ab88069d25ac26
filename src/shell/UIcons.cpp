#include "UIcons.h"

#include <QFont>
#include <QPainter>
#include <QPainterPath>

QPixmap QuorventPixmap(int size) {
    QPixmap pm(size, size);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    const qreal r = size * 0.18;
    QLinearGradient g(0, 0, 0, size);
    g.setColorAt(0, QColor(0x2F, 0x6F, 0xB3));
    g.setColorAt(1, QColor(0x1A, 0x44, 0x7A));
    p.setBrush(g);
    p.setPen(Qt::NoPen);
    p.drawRoundedRect(QRectF(0, 0, size, size), r, r);
    QFont f(QStringLiteral("DejaVu Sans"));
    f.setBold(true);
    f.setPixelSize(qMax(8, int(size * 0.72)));
    p.setFont(f);
    p.setPen(Qt::white);
    p.drawText(QRectF(0, 0, size, size * 0.96), Qt::AlignCenter, QStringLiteral("Q"));
    return pm;
}

QIcon QuorventIcon() {
    QIcon icon;
    for (int s : {16, 24, 32, 48, 64, 128})
        icon.addPixmap(QuorventPixmap(s));
    return icon;
}

namespace {

void DrawOverview(QPainter& p) {
    // A sheet with lines of text.
    p.setPen(QPen(QColor(0x50, 0x50, 0x50), 1.5));
    p.setBrush(Qt::white);
    p.drawRect(QRectF(7, 3, 18, 26));
    p.setPen(QPen(QColor(0x2F, 0x6F, 0xB3), 2));
    for (int y = 9; y <= 23; y += 4)
        p.drawLine(QPointF(10, y), QPointF(y == 23 ? 17 : 22, y));
}

void DrawOpenItems(QPainter& p) {
    // A sheet with a red euro circle: money still owed.
    p.setPen(QPen(QColor(0x50, 0x50, 0x50), 1.5));
    p.setBrush(Qt::white);
    p.drawRect(QRectF(4, 3, 16, 22));
    p.setPen(QPen(QColor(0x2F, 0x6F, 0xB3), 2));
    for (int y = 8; y <= 16; y += 4)
        p.drawLine(QPointF(7, y), QPointF(17, y));
    p.setPen(QPen(QColor(0xB0, 0x20, 0x20), 1.5));
    p.setBrush(QColor(0xFF, 0xF0, 0xF0));
    p.drawEllipse(QRectF(15, 15, 14, 14));
    QFont f = p.font();
    f.setPixelSize(11);
    f.setBold(true);
    p.setFont(f);
    p.drawText(QRectF(15, 15, 14, 14), Qt::AlignCenter, QStringLiteral("€"));
}

void DrawStatistics(QPainter& p) {
    p.setPen(Qt::NoPen);
    const QColor c[] = {QColor(0x2F, 0x6F, 0xB3), QColor(0x3C, 0x9D, 0x4E), QColor(0xE0, 0x8A, 0x1E)};
    const int h[] = {10, 18, 24};
    for (int i = 0; i < 3; ++i) {
        p.setBrush(c[i]);
        p.drawRect(QRectF(6 + i * 7, 28 - h[i], 6, h[i]));
    }
    p.setPen(QPen(QColor(0x50, 0x50, 0x50), 1.5));
    p.drawLine(QPointF(4, 28.5), QPointF(28, 28.5));
}

void DrawSettings(QPainter& p) {
    // Three sliders.
    for (int i = 0; i < 3; ++i) {
        const qreal y = 8 + i * 8;
        p.setPen(QPen(QColor(0x50, 0x50, 0x50), 2));
        p.drawLine(QPointF(5, y), QPointF(27, y));
        p.setPen(QPen(QColor(0x30, 0x30, 0x30), 1));
        p.setBrush(QColor(0x2F, 0x6F, 0xB3));
        const qreal x = 9 + ((i * 7) % 15);
        p.drawEllipse(QPointF(x, y), 3.5, 3.5);
    }
}

void DrawStyles(QPainter& p) {
    // A palette with colour spots.
    p.setPen(QPen(QColor(0x60, 0x50, 0x40), 1.5));
    p.setBrush(QColor(0xF2, 0xE2, 0xC4));
    QPainterPath path;
    path.addEllipse(QRectF(3, 5, 26, 22));
    QPainterPath hole;
    hole.addEllipse(QRectF(18, 17, 6, 6));
    p.drawPath(path.subtracted(hole));
    const QColor c[] = {Qt::red, QColor(0x2F, 0x6F, 0xB3), QColor(0x3C, 0x9D, 0x4E),
                        QColor(0xE0, 0xC0, 0x10)};
    const QPointF pos[] = {{9, 12}, {15, 9}, {22, 11}, {9, 20}};
    p.setPen(Qt::NoPen);
    for (int i = 0; i < 4; ++i) {
        p.setBrush(c[i]);
        p.drawEllipse(pos[i], 2.8, 2.8);
    }
}

void DrawRights(QPainter& p) {
    // A padlock.
    p.setPen(QPen(QColor(0x60, 0x60, 0x60), 3));
    p.setBrush(Qt::NoBrush);
    p.drawArc(QRectF(10, 4, 12, 14), 0, 180 * 16);
    p.drawLine(QPointF(10, 11), QPointF(10, 15));
    p.drawLine(QPointF(22, 11), QPointF(22, 15));
    p.setPen(QPen(QColor(0x80, 0x60, 0x10), 1.5));
    p.setBrush(QColor(0xE0, 0xB0, 0x30));
    p.drawRoundedRect(QRectF(6, 14, 20, 15), 2, 2);
    p.setBrush(QColor(0x40, 0x30, 0x10));
    p.setPen(Qt::NoPen);
    p.drawEllipse(QPointF(16, 20), 2.2, 2.2);
    p.drawRect(QRectF(15.2, 20, 1.6, 5));
}

} // namespace

QIcon NavIcon(TNavIcon kind) {
    QIcon icon;
    for (int s : {32, 64}) {
        QPixmap pm(s, s);
        pm.fill(Qt::transparent);
        QPainter p(&pm);
        p.setRenderHint(QPainter::Antialiasing);
        p.scale(s / 32.0, s / 32.0);
        switch (kind) {
        case TNavIcon::Overview:
            DrawOverview(p);
            break;
        case TNavIcon::Statistics:
            DrawStatistics(p);
            break;
        case TNavIcon::Settings:
            DrawSettings(p);
            break;
        case TNavIcon::Styles:
            DrawStyles(p);
            break;
        case TNavIcon::Rights:
            DrawRights(p);
            break;
        case TNavIcon::OpenItems:
            DrawOpenItems(p);
            break;
        }
        p.end();
        icon.addPixmap(pm);
    }
    return icon;
}
