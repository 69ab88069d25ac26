// What the report engine shares between its parts: the definition as read
// from the file (TReportDefinition.cpp), the pieces the painting lays out
// (TReportPainting.cpp) and the page flow that places them (TReportPages.cpp).
#pragma once

#include "TReport.h"

#include <QFont>
#include <QMap>
#include <QPageSize>
#include <QRectF>
#include <QSet>
#include <QStringList>

#include <deque>
#include <functional>
#include <memory>
#include <vector>

class QPaintDevice;
class QPainter;
class QTextDocument;
class QXmlStreamReader;

namespace ReportEngine {

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

} // namespace ReportEngine

struct TReport::TPrivate {
    using TNode = ReportEngine::TNode;
    using TReportDef = ReportEngine::TReportDef;
    using TPiece = ReportEngine::TPiece;
    using TRow = ReportEngine::TRow;
    using TPageOps = ReportEngine::TPageOps;

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
