// A plain printed list: a title, a line below it (period, filter), the column
// captions, the rows as the screen shows them (bold, grey) and, when given, a
// drawing such as a chart on the first page. A4 portrait; the captions are
// repeated on every page and each page says "Seite n von N". It leaves the
// program the same way a document does (preview, default printer or PDF).
//
//     TListReport list;
//     list.Title = "Umsatz pro Kunde";
//     list.Columns = {{"Kunde", Qt::AlignLeft, 3}, {"Umsatz", Qt::AlignRight, 1}};
//     list.Rows.append({{"10001 - Huber", "120,00 EUR"}});
//     list.Execute(TReportDestination::Preview);   // throws EReportError
#pragma once

#include "TReport.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <functional>

class QPainter;
class QRectF;

struct TListColumn {
    QString Caption;
    Qt::Alignment Alignment = Qt::AlignLeft;
    double Width = 1; // share of the line's width, relative to the other columns
};

struct TListRow {
    QStringList Cells;
    bool Bold = false;
    bool Grey = false;
};

class TListReport {
public:
    QString Title;
    QString Subtitle;
    QList<TListColumn> Columns;
    QList<TListRow> Rows;
    // Drawn on the first page below the title, across the full width and
    // DrawingAspect times as high as wide; nothing when either is unset.
    std::function<void(QPainter& painter, const QRectF& area)> Drawing;
    double DrawingAspect = 0;

    // Paints all pages onto the device (set up as A4 without margins);
    // returns the number of pages. Throws EReportError when the device
    // cannot be painted on.
    int Render(QPagedPaintDevice& device) const;
    // Sends the list to the destination; fileName is the PDF for File.
    void Execute(TReportDestination destination, const QString& fileName = {}) const;
};
