// The page flow: which data sets a report needs, and how the bands, body rows
// and page-level elements are placed onto pages.
#include "SQLite.h"
#include "TReportPrivate.h"

#include <QPagedPaintDevice>
#include <QPainter>
#include <QRegularExpression>
#include <QTextDocument>

#include <algorithm>
#include <cmath>

using namespace ReportEngine;

// Every dataset the report reads must be there and open: a report quietly
// printing an empty letterhead or no positions would look like a success.
void TReport::TPrivate::CheckDataSets(const TReportDef& report) const {
    static const QRegularExpression placeholder(QStringLiteral(R"(\{(\w+)\.\w+\})"));
    QStringList needed;
    for (const TPageDef& page : report.Pages) {
        std::vector<const TNode*> todo{page.Region};
        for (const TNode* n : page.Items)
            todo.push_back(n);
        while (!todo.empty()) {
            const TNode* n = todo.back();
            todo.pop_back();
            if (!n->DataSet.isEmpty())
                needed << n->DataSet;
            for (auto it = placeholder.globalMatch(n->Template); it.hasNext();) {
                const QString name = it.next().captured(1);
                if (name != QLatin1String("Param"))
                    needed << name;
            }
            for (const TNode* c : n->Children)
                todo.push_back(c);
            for (const TNode* c : n->Heading)
                todo.push_back(c);
        }
    }
    needed.removeDuplicates();
    for (const QString& name : needed) {
        const TSQLiteBaseQuery* ds = DataSets.value(name);
        if (!ds || !ds->Active())
            throw EReportError(QStringLiteral("Der Bericht \"") + report.Name +
                               QStringLiteral("\" braucht die Datenmenge ") + name +
                               QStringLiteral(", die nicht geöffnet ist."));
    }
}

// Lays the report out into pages of paint operations; returns the page count.
int TReport::TPrivate::Layout(const TReportDef& report, QPagedPaintDevice& device,
                              std::vector<TPageOps>& pages) {
    Device = &device;
    ResolveFamily();
    const TPageDef& pageDef = report.Pages.front();
    // Units to device pixels: the device's resolution over the units' length.
    PxPerUnitX = device.logicalDpiX() / 25.4 * UnitsFactor;
    PxPerUnitY = device.logicalDpiY() / 25.4 * UnitsFactor;

    for (auto it = DataSets.cbegin(); it != DataSets.cend(); ++it)
        if (it.value() && it.value()->Active())
            it.value()->First();

    const TNode& region = *pageDef.Region;
    const double regionLeft = X(region.E.Left);
    const double regionTop = Y(region.E.Top);
    const double regionWidth = X(region.E.Width);
    const double regionBottom = regionTop + Y(region.E.Height);

    pages.clear();
    pages.emplace_back();
    double y = regionTop;

    auto place = [&](std::vector<TPiece> pieces, double originX, double originY) {
        for (TPiece& piece : pieces) {
            const QRectF r = piece.Rect.translated(originX, originY);
            pages.back().push_back([paint = std::move(piece.Paint), r](QPainter& p, int page, int count) {
                paint(p, r, page, count);
            });
        }
    };
    // What heads every page after the first (which has its header band).
    std::vector<TPiece> continuation;
    double continuationHeight = 0;
    for (const TNode* band : region.Children)
        if (band->E.Visible && band->BandType == QLatin1String("continuation")) {
            continuation = Pieces(*band, regionWidth, 0, continuationHeight);
            continuationHeight = std::max(continuationHeight, Y(band->E.Height));
        }
    double pageTop = regionTop; // where the content of the current page starts
    auto newPage = [&] {
        pages.emplace_back();
        y = regionTop;
        if (!continuation.empty()) {
            place(continuation, regionLeft, y);
            y += continuationHeight;
        }
        pageTop = y;
    };

    for (const TNode* band : region.Children) {
        if (!band->E.Visible)
            continue;
        if (band->E.Kind == QLatin1String("body")) {
            TSQLiteBaseQuery* ds = DataSets.value(band->DataSet);
            if (!ds)
                continue;
            // A caption over a column that no row fills (prices of a delivery
            // note printed without them, a discount nobody got) is left out.
            QSet<QString> filled;
            for (ds->First(); !ds->Eof(); ds->Next())
                for (const TCellDef& cell : band->Cells)
                    for (const QString& field : cell.Fields)
                        if (const TField* f = ds->FindField(field);
                            f && !f->IsNull() && !f->AsString().trimmed().isEmpty())
                            filled.insert(cell.Name);
            TNode headingBand;
            for (TNode* caption : band->Heading)
                if (caption->Column.isEmpty() || filled.contains(caption->Column))
                    headingBand.Children.push_back(caption);
            double headingHeight = 0;
            const std::vector<TPiece> heading = Pieces(headingBand, regionWidth, 0, headingHeight);
            if (headingHeight > 0)
                headingHeight += Y(1.5);
            bool headingOnPage = false;
            auto startRows = [&] {
                if (!headingOnPage) {
                    place(heading, regionLeft, y);
                    y += headingHeight;
                    headingOnPage = true;
                }
            };
            std::vector<TRow> rows;
            for (ds->First(); !ds->Eof(); ds->Next())
                RowOf(*band, *ds, regionWidth, rows.emplace_back());
            const double fullHeight = regionBottom - regionTop - continuationHeight - headingHeight;
            for (size_t i = 0; i < rows.size(); ++i) {
                TRow& row = rows[i];
                if (!row.Shows) {
                    // A blank row at the top of a page would only push the page down.
                    if (headingOnPage && y + row.Height <= regionBottom)
                        y += row.Height;
                    continue;
                }
                // A position's title or a text stays with what follows it,
                // rather than ending a page on its own.
                double needed = row.Height;
                if (row.KeepWithNext) {
                    double next = 0;
                    for (size_t j = i + 1; j < rows.size(); ++j) {
                        next += rows[j].Height;
                        if (rows[j].Shows) {
                            if (row.Height + next <= fullHeight)
                                needed += next;
                            break;
                        }
                    }
                }
                if (y + headingHeight * !headingOnPage + needed > regionBottom && row.Height <= fullHeight &&
                    !(headingOnPage && y <= pageTop + headingHeight + 0.5)) {
                    newPage();
                    headingOnPage = false;
                }
                startRows();
                if (y + row.Height <= regionBottom) {
                    place(std::move(row.Pieces), regionLeft, y);
                    y += row.Height;
                    continue;
                }
                // Taller than a page: printed in slices, cut between lines of its text.
                auto shared = std::make_shared<TRow>(std::move(row));
                double offset = 0;
                while (offset < shared->Height) {
                    const double room = regionBottom - y;
                    double cut = offset + room;
                    if (cut < shared->Height) {
                        double best = 0;
                        for (double b : shared->Breaks)
                            if (b > offset && b <= cut)
                                best = std::max(best, b);
                        if (best > offset)
                            cut = best;
                        else if (y > pageTop + headingHeight + 0.5) {
                            // Not one line fits here: the rest goes to the next page.
                            newPage();
                            headingOnPage = false;
                            startRows();
                            continue;
                        }
                    } else {
                        cut = shared->Height;
                    }
                    // A region too small for anything still moves on.
                    if (cut <= offset)
                        cut = std::min(shared->Height, offset + std::max(room, Y(10)));
                    const QRectF clip(regionLeft, y, regionWidth, cut - offset);
                    const double top = y - offset;
                    pages.back().push_back([shared, clip, top, regionLeft](QPainter& p, int page, int count) {
                        p.save();
                        p.setClipRect(clip);
                        for (const TPiece& piece : shared->Pieces) {
                            const QRectF r = piece.Rect.translated(regionLeft, top);
                            if (piece.Doc) {
                                // Only the lines of this slice: text cut away
                                // by the clip would still be in the PDF, found
                                // by a search and copied twice.
                                const double eps = 0.01;
                                const double s = piece.Scale;
                                p.save();
                                p.translate(r.topLeft());
                                p.scale(s, s);
                                piece.Doc->drawContents(&p,
                                                        QRectF(0, (clip.top() - r.top() + eps) / s,
                                                               r.width() / s, (clip.height() - 2 * eps) / s));
                                p.restore();
                            } else if (r.top() >= clip.top() - 0.5 && r.top() < clip.bottom()) {
                                piece.Paint(p, r, page, count);
                            }
                        }
                        p.restore();
                    });
                    y += cut - offset;
                    offset = cut;
                    if (offset < shared->Height) {
                        newPage();
                        headingOnPage = false;
                        startRows();
                    }
                }
            }
            continue;
        }
        if (band->E.Kind != QLatin1String("band"))
            continue;
        const QString type = band->BandType;
        if (type == QLatin1String("continuation"))
            continue;
        if (type == QLatin1String("header")) {
            if (pages.size() != 1)
                continue;
            const double height = Y(band->E.Height);
            double used = 0;
            place(Pieces(*band, regionWidth, height > 0 ? height : 0, used), regionLeft, y);
            y += height > 0 ? height : used;
        } else if (type == QLatin1String("footer")) {
            double used = 0;
            std::vector<TPiece> pieces = Pieces(*band, regionWidth, 0, used);
            const double height = band->E.Height > 0 ? Y(band->E.Height) : used;
            if (pieces.empty())
                continue;
            // At its position, but never lower than its content leaves room
            // for: the bank lines must not run off the paper.
            auto position = [&] {
                return std::max(y, std::min(regionTop + Y(band->E.PositionValue), regionBottom - used));
            };
            double at = position();
            if (regionBottom - y < Y(band->E.MinHeightLeft) || at + used > regionBottom) {
                newPage();
                at = position();
            }
            place(std::move(pieces), regionLeft, at);
            y = at + height;
        } else {
            // Printed once where the body ended, on one page.
            double used = 0;
            std::vector<TPiece> pieces = Pieces(*band, regionWidth, 0, used);
            const double height = std::max(used, Y(band->E.Height));
            if (pieces.empty())
                continue;
            if (y + height > regionBottom && y > pageTop)
                newPage();
            place(std::move(pieces), regionLeft, y);
            y += height;
        }
    }

    // Page-level elements (the page number, fold marks) on every page or the first.
    for (const TNode* n : pageDef.Items) {
        if (!n->E.Visible)
            continue;
        for (size_t i = 0; i < (n->FirstPageOnly ? 1 : pages.size()); ++i) {
            const TNode* node = n;
            // Resolved when painted: the text may name the page and the page count.
            pages[i].push_back([this, node](QPainter& p, int page, int count) {
                TPiece piece;
                if (Piece(*node, 0, 0, piece, page, count))
                    piece.Paint(p, piece.Rect, page, count);
            });
        }
    }
    return int(pages.size());
}
