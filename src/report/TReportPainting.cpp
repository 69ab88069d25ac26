// Painting: fonts, formatted texts and the pieces an element or a body row
// is laid out into, each with the paint operation that draws it.
#include "Rtf.h"
#include "SQLite.h"
#include "TReportPrivate.h"

#include <QAbstractTextDocumentLayout>
#include <QFontDatabase>
#include <QFontInfo>
#include <QFontMetricsF>
#include <QImageReader>
#include <QPainter>
#include <QRegularExpression>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextLayout>
#include <QTextOption>

#include <algorithm>
#include <cmath>

using namespace ReportEngine;

// {Param.Name}, {Dataset.Column}, {Page} and {Pages} replaced; anything else stays as written.
QString TReport::TPrivate::Resolve(const QString& text, int page, int pages) const {
    static const QRegularExpression placeholder(QStringLiteral(R"(\{(\w+)(?:\.(\w+))?\})"));
    QString result;
    qsizetype at = 0;
    for (auto it = placeholder.globalMatch(text); it.hasNext();) {
        const QRegularExpressionMatch m = it.next();
        result += QStringView(text).mid(at, m.capturedStart() - at);
        at = m.capturedEnd();
        const QString head = m.captured(1);
        const QString tail = m.captured(2);
        if (tail.isEmpty() && head == QLatin1String("Page"))
            result += QString::number(page);
        else if (tail.isEmpty() && head == QLatin1String("Pages"))
            result += QString::number(pages);
        else if (!tail.isEmpty() && head == QLatin1String("Param"))
            result += Params.value(tail);
        else if (!tail.isEmpty() && DataSets.contains(head)) {
            const TSQLiteBaseQuery* ds = DataSets.value(head);
            const TField* f = ds && ds->Active() && !ds->Eof() ? ds->FindField(tail) : nullptr;
            if (f && !f->IsNull())
                result += f->AsString();
        } else
            result += m.captured(0);
    }
    result += QStringView(text).mid(at);
    return result;
}

void TReport::TPrivate::ResolveFamily() {
    Installed.clear();
    for (const QString& family : QFontDatabase::families())
        Installed.insert(family.toLower());
    Family.clear();
    for (const QString& family : FontFamilies)
        if (Installed.contains(family.toLower())) {
            Family = family;
            return;
        }
    // None of them: whatever the system puts in the first one's place.
    QFont font;
    font.setFamilies(FontFamilies);
    Family = QFontInfo(font).family();
}

// A page in two typefaces looks patched together. A formatted text written in
// the report's font (the editors write "Arial"), or in one this machine lacks,
// takes the family the rest of the page is printed in; one the user chose on
// purpose and that is installed stays.
void TReport::TPrivate::OneFamily(QTextDocument& doc) const {
    std::vector<std::pair<int, int>> ranges;
    for (QTextBlock b = doc.begin(); b.isValid(); b = b.next())
        for (auto it = b.begin(); !it.atEnd(); ++it) {
            const QTextFragment f = it.fragment();
            const QString family = f.charFormat().fontFamilies().toStringList().value(0);
            if (family.isEmpty() || family == Family)
                continue;
            const bool listed = FontFamilies.contains(family, Qt::CaseInsensitive);
            if (listed || !Installed.contains(family.toLower()))
                ranges.emplace_back(f.position(), f.position() + f.length());
        }
    QTextCharFormat format;
    format.setFontFamilies(QStringList{Family});
    for (const auto& [from, to] : ranges) {
        QTextCursor cursor(&doc);
        cursor.setPosition(from);
        cursor.setPosition(to, QTextCursor::KeepAnchor);
        cursor.mergeCharFormat(format);
    }
}

QFont TReport::TPrivate::Font(double size, bool bold) const {
    QFont font;
    if (Family.isEmpty())
        font.setFamilies(FontFamilies);
    else
        font.setFamilies(QStringList{Family});
    font.setPointSizeF(size > 0 ? size : FontSize);
    font.setBold(bold);
    // No ligatures: a reader searching the PDF for "office" must find it, and
    // copied text must come out as typed.
    font.setStyleStrategy(QFont::PreferNoShaping);
    return font;
}

QFont TReport::TPrivate::Font(const TNode& n) const {
    return Font(n.FontSize, n.Bold);
}

std::shared_ptr<QTextDocument> TReport::TPrivate::RtfDocument(const QString& rtf, double widthPx) const {
    auto doc = std::make_shared<QTextDocument>();
    // Without the device the document measures in screen pixels and its text
    // comes out tiny on a printer or PDF.
    doc->documentLayout()->setPaintDevice(Device);
    doc->setDefaultFont(Font(0, false));
    doc->setDocumentMargin(0);
    Rtf::Read(rtf, *doc);
    OneFamily(*doc);
    doc->setTextWidth(widthPx);
    return doc;
}

namespace {

// The lower edges of the lines of a document: where it may be cut between pages.
std::vector<double> LineBottoms(QTextDocument& doc) {
    std::vector<double> result;
    QAbstractTextDocumentLayout* layout = doc.documentLayout();
    for (QTextBlock b = doc.begin(); b.isValid(); b = b.next()) {
        const QRectF r = layout->blockBoundingRect(b);
        if (QTextLayout* l = b.layout())
            for (int i = 0; i < l->lineCount(); ++i) {
                const QTextLine line = l->lineAt(i);
                result.push_back(r.top() + line.y() + line.height());
            }
    }
    return result;
}

// The document on one line, as wide as its longest line, which it returns.
// Measured without a width, then laid out at that width, so that its
// alignment still applies.
double UnbrokenWidth(QTextDocument& doc) {
    QTextOption option = doc.defaultTextOption();
    option.setWrapMode(QTextOption::NoWrap);
    doc.setDefaultTextOption(option);
    doc.setTextWidth(-1);
    const double natural = doc.idealWidth();
    doc.setTextWidth(natural);
    return natural;
}

QString PlainLines(QString text) {
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(u'\r', u'\n');
    while (text.endsWith(u'\n'))
        text.chop(1);
    return text;
}

} // namespace

// The element laid out at its place in an area of the given size; false when
// it prints nothing (hidden, empty text, no picture).
bool TReport::TPrivate::Piece(const TNode& n, double areaWidthPx, double areaHeightPx, TPiece& piece,
                              int page, int pages) const {
    const TReportElement& e = n.E;
    if (!e.Visible)
        return false;
    const double left = X(e.Left);
    const double top = Y(e.Top);
    // Nothing may run past the right edge of its area (and so off the paper).
    double width = X(e.Width);
    if (areaWidthPx > 0 && (width <= 0 || left + width > areaWidthPx))
        width = std::max(0.0, areaWidthPx - left);
    if (e.Kind == QLatin1String("text")) {
        const QString text = PlainLines(Resolve(n.Template, page, pages));
        if (text.trimmed().isEmpty())
            return false;
        const QFont font = Font(n);
        const int flags = int(n.Align) | Qt::AlignTop | (width > 0 ? int(Qt::TextWordWrap) : 0);
        const QFontMetricsF fm(font, Device);
        const QRectF bounds = fm.boundingRect(QRectF(0, 0, width > 0 ? width : 1e7, 1e7), flags, text);
        const double height = std::max(bounds.height(), Y(e.Height));
        piece.Rect = QRectF(left, top, width > 0 ? width : bounds.width(), height);
        piece.Paint = [font, flags, text](QPainter& p, const QRectF& r, int, int) {
            p.setFont(font);
            p.drawText(r, flags, text);
        };
        return true;
    }
    if (e.Kind == QLatin1String("rtf")) {
        const QString rtf = Resolve(n.Template, page, pages);
        if (rtf.trimmed().isEmpty())
            return false;
        auto doc = RtfDocument(rtf, width);
        // Amounts are never broken: a line wider than the element is printed
        // smaller, a millimetre clear of the column beside it.
        double scale = 1;
        if (n.NoWrap) {
            const double natural = UnbrokenWidth(*doc);
            const double room = width - X(1.0 / UnitsFactor);
            if (natural > width && room > 0)
                scale = room / natural;
            doc->setTextWidth(scale < 1 ? natural : width);
        }
        piece.Rect = QRectF(left, top, width, std::max(doc->size().height() * scale, Y(e.Height)));
        for (double b : LineBottoms(*doc))
            piece.Breaks.push_back(b * scale);
        const double indent = scale < 1 && (n.Align & Qt::AlignRight) ? width - doc->idealWidth() * scale : 0;
        piece.Paint = [doc, scale, indent](QPainter& p, const QRectF& r, int, int) {
            p.save();
            p.translate(r.topLeft() + QPointF(indent, 0));
            p.scale(scale, scale);
            doc->drawContents(&p);
            p.restore();
        };
        return true;
    }
    if (e.Kind == QLatin1String("picture")) {
        if (e.PictureFile.isEmpty())
            return false;
        QImageReader reader(e.PictureFile);
        reader.setAutoTransform(true);
        auto image = std::make_shared<QImage>(reader.read());
        if (image->isNull() || image->width() <= 0)
            return false;
        const double aspect = double(image->height()) / image->width();
        // Without a width: its own size (at 96 dpi), within the area.
        double w = width;
        if (e.Width <= 0) {
            w = X(image->width() * 25.4 / 96.0 / UnitsFactor);
            if (areaWidthPx > 0)
                w = std::min(w, std::max(0.0, areaWidthPx - left));
        }
        if (w <= 0)
            return false;
        double h = e.Height > 0 ? Y(e.Height) : w * aspect;
        // A picture never grows out of its band into what follows it.
        if (areaHeightPx > 0 && top + h > areaHeightPx && areaHeightPx > top) {
            const double scale = (areaHeightPx - top) / h;
            h *= scale;
            w *= scale;
        }
        // More than 300 dpi at its printed size shows no better on paper but
        // makes every PDF larger and slower to write.
        const int finest = int(std::ceil(w / Device->logicalDpiX() * 300));
        if (finest > 0 && image->width() > finest)
            *image = image->scaledToWidth(finest, Qt::SmoothTransformation);
        piece.Rect = QRectF(left, top, w, h);
        piece.Paint = [image](QPainter& p, const QRectF& r, int, int) { p.drawImage(r, *image); };
        return true;
    }
    if (e.Kind == QLatin1String("line")) {
        const double thickness = std::max(Y(n.Thickness), 1.0);
        piece.Rect = QRectF(left, top, width, thickness);
        piece.Paint = [thickness](QPainter& p, const QRectF& r, int, int) {
            p.fillRect(QRectF(r.left(), r.top(), r.width(), thickness), Qt::black);
        };
        return true;
    }
    return false;
}

// The visible pieces of a band; height gets the lowest edge of them.
std::vector<TPiece> TReport::TPrivate::Pieces(const TNode& band, double areaWidthPx, double areaHeightPx,
                                              double& height) const {
    std::vector<TPiece> result;
    height = 0;
    for (const TNode* child : band.Children) {
        TPiece piece;
        if (Piece(*child, areaWidthPx, areaHeightPx, piece)) {
            height = std::max(height, piece.Rect.bottom());
            result.push_back(std::move(piece));
        }
    }
    return result;
}

// One record of the body as a row; false for a record that shows nothing.
bool TReport::TPrivate::RowOf(const TNode& body, TSQLiteBaseQuery& ds, double regionWidthPx,
                              TRow& row) const {
    struct TFilled {
        const TCellDef* Cell;
        std::shared_ptr<QTextDocument> Doc;
        double Left, Width;      // the cell's column, device pixels
        double Natural = 0;      // a number wider than its column: its width on one line
        double From = 0, To = 0; // what the content covers
    };
    std::vector<TFilled> filled;
    bool filledOnlyKept = !body.KeepWithNext.isEmpty();
    for (const TCellDef& cell : body.Cells) {
        QStringList parts;
        for (const QString& field : cell.Fields)
            if (const TField* f = ds.FindField(field);
                f && !f->IsNull() && !f->AsString().trimmed().isEmpty())
                parts << f->AsString();
        if (parts.isEmpty())
            continue;
        filledOnlyKept = filledOnlyKept && body.KeepWithNext.contains(cell.Name);
        const double left = X(cell.Left);
        const double width = std::max(0.0, std::min(X(cell.Width), regionWidthPx - left));
        std::shared_ptr<QTextDocument> doc;
        if (cell.Rtf) {
            doc = RtfDocument(parts.join(QString()), width);
        } else {
            // A word longer than its column (a unit like "Quadratmeter") is
            // broken inside rather than written over the next column.
            doc = std::make_shared<QTextDocument>();
            doc->documentLayout()->setPaintDevice(Device);
            doc->setDocumentMargin(0);
            doc->setDefaultFont(Font(0, false));
            QTextOption option(cell.Align);
            option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
            doc->setDefaultTextOption(option);
            doc->setPlainText(PlainLines(parts.join(u'\n')));
            doc->setTextWidth(width);
        }
        TFilled c{&cell, doc, left, width};
        if (cell.NoWrap) {
            const double natural = UnbrokenWidth(*doc);
            if (natural > width)
                c.Natural = natural;
            else
                doc->setTextWidth(width);
        }
        const double used = c.Natural > 0 ? width : std::min(width, doc->idealWidth());
        const bool right = cell.Align & Qt::AlignRight;
        c.From = right ? left + width - used : left;
        c.To = right ? left + width : left + used;
        filled.push_back(std::move(c));
    }

    // A number wider than its column is never broken: it takes the free room
    // on its open side (up to the content beside it), and what it still
    // lacks it is printed smaller. From left to right, so each sees where
    // its neighbours' content ended.
    const double gap = X(1.0 / UnitsFactor);
    for (TFilled& c : filled) {
        if (c.Natural <= 0)
            continue;
        const bool right = c.Cell->Align & Qt::AlignRight;
        double room = 0;
        if (right) {
            double limit = 0;
            for (const TFilled& o : filled)
                if (&o != &c && o.Left < c.Left)
                    limit = std::max(limit, o.To + gap);
            room = c.Left + c.Width - limit;
        } else {
            double limit = regionWidthPx;
            for (const TFilled& o : filled)
                if (&o != &c && o.Left > c.Left)
                    limit = std::min(limit, o.From - gap);
            room = limit - c.Left;
        }
        // Columns laid over each other leave no room to speak of: the cell's own.
        if (room < c.Width / 2)
            room = c.Width;
        const double used = std::min(room, c.Natural);
        c.From = right ? c.Left + c.Width - used : c.Left;
        c.To = c.From + used;
    }

    double tallest = 0;
    for (TFilled& c : filled) {
        TPiece piece;
        if (c.Natural > 0) {
            piece.Scale = std::min(1.0, (c.To - c.From) / c.Natural);
            c.Doc->setTextWidth(c.Natural);
        }
        const double height = c.Doc->size().height() * piece.Scale;
        piece.Rect =
            c.Natural > 0 ? QRectF(c.From, 0, c.To - c.From, height) : QRectF(c.Left, 0, c.Width, height);
        for (double b : LineBottoms(*c.Doc))
            piece.Breaks.push_back(b * piece.Scale);
        piece.Doc = c.Doc;
        piece.Paint = [doc = c.Doc, scale = piece.Scale](QPainter& p, const QRectF& r, int, int) {
            p.save();
            p.translate(r.topLeft());
            p.scale(scale, scale);
            doc->drawContents(&p);
            p.restore();
        };
        if (piece.Rect.height() > tallest) {
            tallest = piece.Rect.height();
            row.Breaks = piece.Breaks;
        }
        row.Pieces.push_back(std::move(piece));
    }
    const double rowGap = Y(body.RowGap);
    if (row.Pieces.empty()) {
        // A blank row of the buffer: one line of space.
        row.Height = QFontMetricsF(Font(0, false), Device).lineSpacing() + rowGap;
        return false;
    }
    row.Height = tallest + rowGap;
    row.Shows = true;
    row.KeepWithNext = filledOnlyKept;
    return true;
}
