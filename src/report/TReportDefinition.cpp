// Reading the report definition: the pages, regions, bands and elements of
// the XML file, and finding a report by its name.
#include "TReportPrivate.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QXmlStreamReader>

using namespace ReportEngine;

namespace {

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

} // namespace

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
