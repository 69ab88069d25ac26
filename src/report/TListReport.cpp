#include "TListReport.h"

#include "TReportOutput.h"

#include <QFontMetricsF>
#include <QPagedPaintDevice>
#include <QPainter>

#include <algorithm>

namespace {

// Page margins and gaps in millimetres.
constexpr double kLeft = 20, kRight = 15, kTop = 15, kBottom = 12, kFooter = 8, kGap = 4;
constexpr double kCellPadding = 1.5;

QFont ListFont(double points, bool bold) {
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPointSizeF(points);
    font.setBold(bold);
    return font;
}

} // namespace

int TListReport::Render(QPagedPaintDevice& device) const {
    const double mm = device.logicalDpiY() / 25.4;
    const QRectF page(0, 0, device.width(), device.height());
    const QRectF body(kLeft * mm, kTop * mm, page.width() - (kLeft + kRight) * mm,
                      page.height() - (kTop + kBottom + kFooter) * mm);

    const QFont titleFont = ListFont(14, true), subFont = ListFont(9, false);
    const QFont plainFont = ListFont(9, false), boldFont = ListFont(9, true);
    const QFontMetricsF titleFm(titleFont, &device), subFm(subFont, &device), rowFm(boldFont, &device);
    const double rowHeight = rowFm.height() * 1.3;

    // The first page carries the title, the line below it and the drawing;
    // every later page a short heading with the title only.
    double firstTop = body.top() + titleFm.height();
    if (!Subtitle.isEmpty())
        firstTop += subFm.height();
    firstTop += kGap * mm;
    const bool drawing = Drawing && DrawingAspect > 0;
    const QRectF drawingArea(body.left(), firstTop, body.width(),
                             std::min(body.width() * DrawingAspect, body.bottom() - firstTop));
    if (drawing)
        firstTop = drawingArea.bottom() + kGap * mm;
    const double laterTop = body.top() + subFm.height() + kGap * mm;

    // Rows per page: the captions take one row at the top of every page.
    const bool table = !Columns.isEmpty();
    auto fits = [&](double top) { return std::max(1, int((body.bottom() - top) / rowHeight) - 1); };
    QList<std::pair<qsizetype, qsizetype>> pages; // [first row, end row)
    qsizetype next = 0;
    do {
        const qsizetype count = table ? fits(pages.isEmpty() ? firstTop : laterTop) : Rows.size();
        const qsizetype end = std::min(Rows.size(), next + count);
        pages.append({next, end});
        next = end;
    } while (next < Rows.size());
    const int pageCount = int(pages.size());

    double weights = 0;
    for (const TListColumn& c : Columns)
        weights += std::max(0.0, c.Width);
    QList<QRectF> columns; // left edge and width of each column's text
    double x = body.left();
    for (const TListColumn& c : Columns) {
        const double w =
            weights > 0 ? body.width() * std::max(0.0, c.Width) / weights : body.width() / Columns.size();
        columns.append(QRectF(x + kCellPadding * mm, 0, std::max(0.0, w - 2 * kCellPadding * mm), 0));
        x += w;
    }

    QPainter painter;
    if (!painter.begin(&device))
        throw EReportError(QStringLiteral("Die Ausgabe der Liste \"") + Title +
                           QStringLiteral("\" konnte nicht begonnen werden."));
    painter.setRenderHint(QPainter::Antialiasing);
    QPen thin(Qt::black);
    thin.setWidthF(0.2 * mm);
    const QColor grey(128, 128, 128);

    auto cells = [&](const QStringList& texts, double top, const QFont& font, const QColor& colour) {
        painter.setFont(font);
        painter.setPen(colour);
        const QFontMetricsF fm(font, &device);
        for (qsizetype c = 0; c < columns.size(); ++c) {
            const QRectF cell(columns[c].left(), top, columns[c].width(), rowHeight);
            // A text wider than its column is cut with an ellipsis rather
            // than running into the next column's figures.
            const QString text = fm.elidedText(texts.value(c), Qt::ElideRight, cell.width());
            painter.drawText(cell, int(Columns[c].Alignment | Qt::AlignVCenter) | Qt::TextSingleLine, text);
        }
    };

    for (int p = 0; p < pageCount; ++p) {
        ReportPageProgress(p + 1);
        if (p > 0 && !device.newPage()) {
            painter.end();
            throw EReportError(QStringLiteral("Eine neue Seite konnte nicht begonnen werden."));
        }
        double top;
        if (p == 0) {
            painter.setPen(Qt::black);
            painter.setFont(titleFont);
            painter.drawText(QRectF(body.left(), body.top(), body.width(), titleFm.height()),
                             Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, Title);
            if (!Subtitle.isEmpty()) {
                painter.setFont(subFont);
                painter.drawText(
                    QRectF(body.left(), body.top() + titleFm.height(), body.width(), subFm.height()),
                    Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, Subtitle);
            }
            if (drawing) {
                painter.save();
                Drawing(painter, drawingArea);
                painter.restore();
            }
            top = firstTop;
        } else {
            painter.setPen(Qt::black);
            painter.setFont(boldFont);
            painter.drawText(QRectF(body.left(), body.top(), body.width(), subFm.height()),
                             Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, Title);
            top = laterTop;
        }
        if (table) {
            QStringList captions;
            for (const TListColumn& c : Columns)
                captions << c.Caption;
            cells(captions, top, boldFont, Qt::black);
            top += rowHeight;
            painter.setPen(thin);
            painter.drawLine(QPointF(body.left(), top), QPointF(body.right(), top));
            for (qsizetype r = pages[p].first; r < pages[p].second; ++r, top += rowHeight) {
                const TListRow& row = Rows[r];
                cells(row.Cells, top, row.Bold ? boldFont : plainFont, row.Grey ? grey : QColor(Qt::black));
            }
        }
        painter.setPen(Qt::black);
        painter.setFont(subFont);
        painter.drawText(
            QRectF(body.left(), page.height() - (kBottom + kFooter) * mm, body.width(), kFooter * mm),
            Qt::AlignHCenter | Qt::AlignBottom | Qt::TextSingleLine,
            QStringLiteral("Seite %1 von %2").arg(p + 1).arg(pageCount));
    }
    painter.end();
    return pageCount;
}

void TListReport::Execute(TReportDestination destination, const QString& fileName) const {
    TReportOutputJob job;
    job.Destination = destination;
    job.Title = Title;
    job.OutputFileName = fileName;
    job.NotPrinted = QStringLiteral("Die Liste wurde nicht gedruckt.");
    job.Render = [this](QPagedPaintDevice& device) { Render(device); };
    RunReportOutput(job);
}
