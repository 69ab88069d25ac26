#include "TReport.h"

#include "Rtf.h"
#include "SQLite.h"
#include "TReportOutput.h"

#include <QAbstractTextDocumentLayout>
#include <QComboBox>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFontDatabase>
#include <QFontInfo>
#include <QFontMetricsF>
#include <QImageReader>
#include <QLineEdit>
#include <QMap>
#include <QPageLayout>
#include <QPageSize>
#include <QPagedPaintDevice>
#include <QPainter>
#include <QPdfWriter>
#include <QPrintPreviewDialog>
#include <QPrintPreviewWidget>
#include <QPrinter>
#include <QPrinterInfo>
#include <QRegularExpression>
#include <QSaveFile>
#include <QSet>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextLayout>
#include <QTextOption>
#include <QXmlStreamReader>

#include <algorithm>
#include <cmath>
#include <deque>
#include <vector>

EReportError::EReportError(const QString& message)
    : std::runtime_error(message.toStdString()), FMessage(message) {}

namespace {

// ---------------------------------------------------------------------------
// The definition as read from the file.

struct TCellDef {
    QString Name;
    QStringList Fields;
    bool Rtf = false;
    double Left = 0, Width = 0; // units
    Qt::Alignment Align = Qt::AlignLeft;
    bool NoWrap = false; // a number: never broken
};

struct TNode {
    TReportElement E;
    QString Template;    // text, rtf: what it shows
    double FontSize = 0; // points; 0: the definition's size
    bool Bold = false;
    bool NoWrap = false; // rtf: lines never broken, printed smaller when wider
    Qt::Alignment Align = Qt::AlignLeft;
    double Thickness = 0; // line
    QString BandType;     // band: header, summary, footer
    QString Column;       // a body caption: the cell whose column it heads
    bool FirstPageOnly = false;
    // body
    QString DataSet;
    double RowGap = 0;
    QStringList KeepWithNext; // cells: a row filling only these stays with the next row
    std::vector<TNode*> Heading;
    std::vector<TCellDef> Cells;
    std::vector<TNode*> Children; // region: bands and body; band: elements
};

struct TPageDef {
    QString Name;
    QPageSize Paper{QPageSize::A4};
    TNode* Region = nullptr;
    std::vector<TNode*> Items; // page-level elements
};

struct TReportDef {
    QString Name;
    std::vector<TPageDef> Pages;
};

bool TrueAttribute(const QXmlStreamAttributes& a, const char* name, bool fallback) {
    const QStringView v = a.value(QLatin1String(name));
    if (v.isEmpty())
        return fallback;
    return v == QLatin1String("true") || v == QLatin1String("yes") || v == QLatin1String("1");
}

double Number(const QXmlStreamAttributes& a, const char* name, double fallback = 0) {
    const QStringView v = a.value(QLatin1String(name));
    if (v.isEmpty())
        return fallback;
    bool ok = false;
    const double d = v.toDouble(&ok);
    return ok ? d : fallback;
}

Qt::Alignment Alignment(const QXmlStreamAttributes& a) {
    const QStringView v = a.value(QLatin1String("align"));
    if (v == QLatin1String("right"))
        return Qt::AlignRight;
    if (v == QLatin1String("center"))
        return Qt::AlignHCenter;
    return Qt::AlignLeft;
}

// ---------------------------------------------------------------------------
// A piece laid out for one device: its size in device pixels and how to paint it.

struct TPiece {
    QRectF Rect; // device pixels, relative to the area it was laid out in
    std::function<void(QPainter&, const QRectF&, int page, int pages)> Paint;
    std::vector<double> Breaks;         // where a tall piece may be cut (relative to its top)
    std::shared_ptr<QTextDocument> Doc; // formatted text, which can be painted a part at a time
    double Scale = 1;                   // Doc printed smaller than laid out
};

struct TRow {
    double Height = 0;
    bool Shows = false;        // false: a blank row, only space
    bool KeepWithNext = false; // printed on the page of the row after it
    std::vector<TPiece> Pieces;
    std::vector<double> Breaks;
};

using TPageOps = std::vector<std::function<void(QPainter&, int page, int pages)>>;

} // namespace

// ---------------------------------------------------------------------------

struct TReport::TPrivate {
    QString FileName;
    bool Open = false;
    double UnitsFactor = 1;
    QStringList FontFamilies;
    // The one family every text of the report is printed in: the first of
    // FontFamilies that is installed (resolved when laid out).
    QString Family;
    QSet<QString> Installed; // installed families, lower case
    double FontSize = 10;
    std::deque<TNode> Nodes; // owner of every node; stable addresses
    std::vector<TReportDef> Reports;

    QMap<QString, QString> Params;
    QMap<QString, TSQLiteBaseQuery*> DataSets;
    TReportDestination Destination = TReportDestination::Preview;
    QString OutputFileName;
    QString Title;
    int PageCount = 0;

    void Read(const QString& file);
    TNode* ReadElement(QXmlStreamReader& xml);
    void ReadChildren(QXmlStreamReader& xml, TNode* parent);

    const TReportDef& Report(const QString& name) const;
    QString Resolve(const QString& text, int page = 0, int pages = 0) const;
    void CheckDataSets(const TReportDef& report) const;

    // Layout, in device pixels.
    QPaintDevice* Device = nullptr;
    double PxPerUnitX = 1, PxPerUnitY = 1;
    double X(double units) const { return units * PxPerUnitX; }
    double Y(double units) const { return units * PxPerUnitY; }
    QFont Font(const TNode& n) const;
    QFont Font(double size, bool bold) const;
    void ResolveFamily();
    std::shared_ptr<QTextDocument> RtfDocument(const QString& rtf, double widthPx) const;
    void OneFamily(QTextDocument& doc) const;
    bool Piece(const TNode& n, double areaWidthPx, double areaHeightPx, TPiece& piece, int page = 0,
               int pages = 0) const;
    std::vector<TPiece> Pieces(const TNode& band, double areaWidthPx, double areaHeightPx,
                               double& height) const;
    bool RowOf(const TNode& body, TSQLiteBaseQuery& ds, double regionWidthPx, TRow& row) const;
    int Layout(const TReportDef& report, QPagedPaintDevice& device, std::vector<TPageOps>& pages);
};

void TReport::TPrivate::Read(const QString& file) {
    QFile f(file);
    if (!QFileInfo(file).isFile())
        throw EReportError(QStringLiteral("Die Druckvorlage \"") + QDir::toNativeSeparators(file) +
                           QStringLiteral("\" fehlt. Ohne sie kann nicht gedruckt werden."));
    if (!f.open(QIODevice::ReadOnly))
        throw EReportError(QStringLiteral("Die Druckvorlage \"") + QDir::toNativeSeparators(file) +
                           QStringLiteral("\" ist nicht lesbar: ") +
                           (f.error() == QFileDevice::PermissionsError
                                ? QStringLiteral("keine Leseberechtigung")
                                : f.errorString()));
    QXmlStreamReader xml(&f);
    auto broken = [&](const QString& why) {
        return EReportError(QStringLiteral("Die Druckvorlage \"") + QDir::toNativeSeparators(file) +
                            QStringLiteral("\" ist nicht lesbar: ") + why);
    };
    if (!xml.readNextStartElement() || xml.name() != QLatin1String("reportdefinition"))
        throw broken(xml.hasError() ? xml.errorString() : QStringLiteral("keine Druckvorlage"));
    const QXmlStreamAttributes root = xml.attributes();
    UnitsFactor = Number(root, "unitsFactor", 1);
    if (!(UnitsFactor > 0))
        throw broken(QStringLiteral("unitsFactor muss größer als 0 sein"));
    FontFamilies.clear();
    for (const QString& family : root.value(QLatin1String("font")).toString().split(u',', Qt::SkipEmptyParts))
        FontFamilies << family.trimmed();
    if (FontFamilies.isEmpty())
        FontFamilies << QStringLiteral("Arial");
    FontSize = Number(root, "size", 10);

    while (xml.readNextStartElement()) {
        if (xml.name() != QLatin1String("report")) {
            xml.skipCurrentElement();
            continue;
        }
        TReportDef& report = Reports.emplace_back();
        report.Name = xml.attributes().value(QLatin1String("name")).toString();
        while (xml.readNextStartElement()) {
            if (xml.name() != QLatin1String("page")) {
                xml.skipCurrentElement();
                continue;
            }
            TPageDef& page = report.Pages.emplace_back();
            page.Name = report.Name + u'.' + xml.attributes().value(QLatin1String("name")).toString();
            const QStringView paper = xml.attributes().value(QLatin1String("paper"));
            if (paper == QLatin1String("A5"))
                page.Paper = QPageSize(QPageSize::A5);
            else if (paper == QLatin1String("Letter"))
                page.Paper = QPageSize(QPageSize::Letter);
            while (xml.readNextStartElement()) {
                TNode* node = ReadElement(xml);
                if (!node)
                    continue;
                if (node->E.Kind == QLatin1String("region"))
                    page.Region = node;
                else
                    page.Items.push_back(node);
            }
            if (!page.Region)
                throw broken(QStringLiteral("die Seite ") + page.Name +
                             QStringLiteral(" hat keinen Druckbereich"));
        }
    }
    if (xml.hasError())
        throw broken(xml.errorString() + QStringLiteral(" (Zeile ") + QString::number(xml.lineNumber()) +
                     u')');
    if (Reports.empty())
        throw broken(QStringLiteral("sie enthält keinen Bericht"));
}

// Reads the element the reader stands on (and everything inside it); nullptr
// for what the engine does not know, which is skipped.
TNode* TReport::TPrivate::ReadElement(QXmlStreamReader& xml) {
    static const QStringList kinds{
        QStringLiteral("region"), QStringLiteral("band"),    QStringLiteral("body"), QStringLiteral("text"),
        QStringLiteral("rtf"),    QStringLiteral("picture"), QStringLiteral("line")};
    const QString kind = xml.name().toString();
    if (!kinds.contains(kind)) {
        xml.skipCurrentElement();
        return nullptr;
    }
    const QXmlStreamAttributes a = xml.attributes();
    TNode& n = Nodes.emplace_back();
    n.E.Kind = kind;
    n.E.Name = a.value(QLatin1String("name")).toString();
    n.E.Left = Number(a, "left");
    n.E.Top = Number(a, "top");
    n.E.Width = Number(a, "width");
    n.E.Height = Number(a, "height");
    n.E.Visible = TrueAttribute(a, "visible", true);
    n.E.PictureFile = a.value(QLatin1String("file")).toString();
    n.E.MinHeightLeft = Number(a, "minHeightLeft");
    n.E.PositionValue = Number(a, "position");
    n.FontSize = Number(a, "size");
    n.Bold = TrueAttribute(a, "bold", false);
    n.NoWrap = TrueAttribute(a, "nowrap", false);
    n.Align = Alignment(a);
    n.Thickness = Number(a, "thickness", 0.3);
    n.BandType = a.value(QLatin1String("type")).toString();
    n.DataSet = a.value(QLatin1String("dataset")).toString();
    n.RowGap = Number(a, "rowGap");
    n.KeepWithNext = a.value(QLatin1String("keepWithNext")).toString().split(u' ', Qt::SkipEmptyParts);
    n.Column = a.value(QLatin1String("column")).toString();
    n.FirstPageOnly = a.value(QLatin1String("pages")) == QLatin1String("first");

    if (kind == QLatin1String("text") || kind == QLatin1String("rtf")) {
        n.Template = xml.readElementText(QXmlStreamReader::SkipChildElements);
    } else if (kind == QLatin1String("body")) {
        while (xml.readNextStartElement()) {
            if (xml.name() == QLatin1String("heading")) {
                TNode heading;
                ReadChildren(xml, &heading);
                n.Heading = heading.Children;
            } else if (xml.name() == QLatin1String("cell")) {
                const QXmlStreamAttributes c = xml.attributes();
                TCellDef cell;
                cell.Name = c.value(QLatin1String("name")).toString();
                cell.Fields = c.value(QLatin1String("field")).toString().split(u' ', Qt::SkipEmptyParts);
                cell.Rtf = c.value(QLatin1String("format")) == QLatin1String("rtf");
                cell.Left = Number(c, "left");
                cell.Width = Number(c, "width");
                cell.Align = Alignment(c);
                cell.NoWrap = TrueAttribute(c, "nowrap", false);
                n.Cells.push_back(cell);
                xml.skipCurrentElement();
            } else {
                xml.skipCurrentElement();
            }
        }
    } else if (kind == QLatin1String("region") || kind == QLatin1String("band")) {
        ReadChildren(xml, &n);
    } else {
        xml.skipCurrentElement();
    }
    return &n;
}

void TReport::TPrivate::ReadChildren(QXmlStreamReader& xml, TNode* parent) {
    while (xml.readNextStartElement())
        if (TNode* child = ReadElement(xml))
            parent->Children.push_back(child);
}

const TReportDef& TReport::TPrivate::Report(const QString& name) const {
    if (!Open)
        throw EReportError(QStringLiteral("Es ist keine Druckvorlage geöffnet."));
    for (const TReportDef& r : Reports)
        if (r.Name == name && !r.Pages.empty())
            return r;
    throw EReportError(QStringLiteral("Die Druckvorlage \"") + QDir::toNativeSeparators(FileName) +
                       QStringLiteral("\" enthält keinen Bericht \"") + name + QStringLiteral("\"."));
}

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

// ---------------------------------------------------------------------------

TReport::TReport() : d(std::make_unique<TPrivate>()) {}
TReport::~TReport() = default;

void TReport::Open(const QString& definitionFile) {
    Close();
    d->FileName = definitionFile;
    try {
        d->Read(definitionFile);
    } catch (...) {
        Close();
        throw;
    }
    d->Open = true;
}

void TReport::Close() {
    d->Open = false;
    d->Reports.clear();
    d->Nodes.clear();
}

bool TReport::IsOpen() const {
    return d->Open;
}
QString TReport::FileName() const {
    return d->FileName;
}
double TReport::UnitsFactor() const {
    return d->UnitsFactor;
}

TReportElement* TReport::FindElement(const QString& page, const QString& name) {
    if (!d->Open)
        return nullptr;
    for (const TReportDef& report : d->Reports)
        for (const TPageDef& p : report.Pages) {
            if (p.Name != page)
                continue;
            std::vector<TNode*> todo{p.Region};
            todo.insert(todo.end(), p.Items.begin(), p.Items.end());
            while (!todo.empty()) {
                TNode* n = todo.back();
                todo.pop_back();
                if (n->E.Name == name)
                    return &n->E;
                todo.insert(todo.end(), n->Children.begin(), n->Children.end());
                todo.insert(todo.end(), n->Heading.begin(), n->Heading.end());
            }
        }
    return nullptr;
}

void TReport::SetParam(const QString& name, const QString& value) {
    d->Params.insert(name, value);
}
QString TReport::Param(const QString& name) const {
    return d->Params.value(name);
}
void TReport::ClearParams() {
    d->Params.clear();
}
void TReport::SetDataSet(const QString& name, TSQLiteBaseQuery* dataSet) {
    d->DataSets.insert(name, dataSet);
}
void TReport::SetDestination(TReportDestination destination) {
    d->Destination = destination;
}
TReportDestination TReport::Destination() const {
    return d->Destination;
}
void TReport::SetOutputFileName(const QString& fileName) {
    d->OutputFileName = fileName;
}
QString TReport::OutputFileName() const {
    return d->OutputFileName;
}
void TReport::SetTitle(const QString& title) {
    d->Title = title;
}
int TReport::PageCount() const {
    return d->PageCount;
}

int TReport::Render(QPagedPaintDevice& device, const QString& report) {
    const TReportDef& def = d->Report(report);
    d->CheckDataSets(def);
    std::vector<TPageOps> pages;
    const int count = d->Layout(def, device, pages);
    QPainter painter;
    if (!painter.begin(&device))
        throw EReportError(QStringLiteral("Die Ausgabe des Berichts \"") + report +
                           QStringLiteral("\" konnte nicht begonnen werden."));
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    for (int i = 0; i < count; ++i) {
        ReportPageProgress(i + 1);
        if (i > 0 && !device.newPage()) {
            painter.end();
            throw EReportError(QStringLiteral("Eine neue Seite konnte nicht begonnen werden."));
        }
        for (const auto& op : pages[size_t(i)])
            op(painter, i + 1, count);
    }
    painter.end();
    d->PageCount = count;
    return count;
}

void TReport::Execute(const QString& report) {
    const TReportDef& def = d->Report(report);
    d->CheckDataSets(def);
    TReportOutputJob job;
    job.Destination = d->Destination;
    job.Title = d->Title.isEmpty() ? report : d->Title;
    job.Paper = def.Pages.front().Paper;
    job.OutputFileName = d->OutputFileName;
    job.Render = [this, &report](QPagedPaintDevice& device) { Render(device, report); };
    RunReportOutput(job);
}

std::function<void(QDialog& preview)>& TReport::PreviewRunner() {
    static std::function<void(QDialog&)> runner = [](QDialog& preview) { preview.exec(); };
    return runner;
}
