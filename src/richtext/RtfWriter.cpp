// The RTF writer: the dialect of Windows rich-edit controls, so that older
// versions and other programs read the texts as before.
#include "Rtf.h"
#include "RtfCommon.h"

#include "Win1252.h"

#include <QColor>
#include <QHash>
#include <QList>
#include <QTextBlock>
#include <QTextCharFormat>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextFrame>
#include <QTextList>
#include <QTextTable>

#include <algorithm>
#include <vector>

namespace Rtf {

namespace {

using namespace Detail;

struct WriterCharState {
    int font = -1;
    int halfPoints = -1;
    bool bold = false;
    bool italic = false;
    bool underline = false;
    bool strike = false;
    int color = 0;
};

class Writer {
public:
    explicit Writer(const QTextDocument& document) : FDocument(document) {}

    QString Run() {
        CollectTables();

        Raw(QStringLiteral("{"));
        Word(u"rtf1");
        Word(u"ansi");
        Word(u"ansicpg1252");
        Word(u"deff0");
        Word(u"deflang1031");
        Raw(QStringLiteral("{"));
        Word(u"fonttbl");
        for (int i = 0; i < FFonts.size(); ++i) {
            Raw(QStringLiteral("{"));
            Word(QStringLiteral("f%1").arg(i));
            Word(u"fnil");
            Word(i == FSymbolFont || i == FWingdingsFont ? u"fcharset2" : u"fcharset0");
            Text(FFonts.at(i), true);
            Raw(QStringLiteral(";}"));
        }
        Raw(QStringLiteral("}\r\n"));
        if (!FColors.isEmpty()) {
            Raw(QStringLiteral("{"));
            Word(u"colortbl");
            Raw(QStringLiteral(" ;"));
            for (const QColor& c : std::as_const(FColors)) {
                Word(QStringLiteral("red%1").arg(c.red()));
                Word(QStringLiteral("green%1").arg(c.green()));
                Word(QStringLiteral("blue%1").arg(c.blue()));
                Raw(QStringLiteral(";"));
            }
            Raw(QStringLiteral("}\r\n"));
        }
        Word(u"viewkind4");
        Word(u"uc1");

        const std::vector<Entry> entries = Entries(FDocument.rootFrame());
        for (size_t i = 0; i < entries.size(); ++i) {
            const Entry& e = entries[i];
            if (e.table) {
                WriteTable(*e.table);
                continue;
            }
            // Qt keeps an empty paragraph in front of a table that opens the
            // document and behind one that closes it; they are no text of ours.
            const bool empty = e.block.length() <= 1;
            if (empty && i == 0 && i + 1 < entries.size() && entries[i + 1].table)
                continue;
            if (empty && i + 1 == entries.size() && i > 0 && entries[i - 1].table)
                continue;
            StartParagraph(e.block, false);
            BlockText(e.block);
            Word(u"par");
            Raw(QStringLiteral("\r\n"));
        }
        Raw(QStringLiteral("}"));
        return FOut;
    }

private:
    // A paragraph of a frame, or a table in it.
    struct Entry {
        QTextBlock block;
        QTextTable* table = nullptr;
    };

    static void AddEntries(QTextFrame* frame, std::vector<Entry>& entries) {
        for (auto it = frame->begin(); !it.atEnd(); ++it) {
            if (QTextFrame* child = it.currentFrame()) {
                if (auto* table = qobject_cast<QTextTable*>(child))
                    entries.push_back(Entry{QTextBlock(), table});
                else
                    AddEntries(child, entries); // other frames only group their paragraphs
            } else {
                entries.push_back(Entry{it.currentBlock(), nullptr});
            }
        }
    }

    static std::vector<Entry> Entries(QTextFrame* frame) {
        std::vector<Entry> entries;
        AddEntries(frame, entries);
        return entries;
    }

    QString FamilyOf(const QTextCharFormat& f) const {
        const QString family = f.fontFamilies().toStringList().value(0);
        return family.isEmpty() ? FDocument.defaultFont().family() : family;
    }

    int HalfPointsOf(const QTextCharFormat& f) const {
        double points = f.fontPointSize();
        if (points <= 0)
            points = FDocument.defaultFont().pointSizeF();
        if (points <= 0)
            points = 10;
        return std::clamp(qRound(points * 2), 1, MaxHalfPoints);
    }

    static Qt::Alignment HorizontalAlignment(const QTextBlock& block) {
        const Qt::Alignment a = block.blockFormat().alignment() & Qt::AlignHorizontal_Mask;
        if (a & Qt::AlignHCenter)
            return Qt::AlignHCenter;
        if (a & Qt::AlignJustify)
            return Qt::AlignJustify;
        if (a & Qt::AlignRight)
            return Qt::AlignRight;
        return Qt::AlignLeft;
    }

    static QTextListFormat::Style StyleOf(const QTextList* list) {
        const QTextListFormat::Style style = list->format().style();
        return style == QTextListFormat::ListStyleUndefined ? QTextListFormat::ListDisc : style;
    }

    void CollectTables() {
        auto addFont = [this](const QString& family) {
            if (!FFonts.contains(family))
                FFonts.append(family);
        };
        auto addColor = [this](const QTextCharFormat& f) {
            if (f.foreground().style() == Qt::NoBrush)
                return;
            const QColor c = f.foreground().color().toRgb();
            const QColor plain(c.red(), c.green(), c.blue());
            if (!FColors.contains(plain))
                FColors.append(plain);
        };
        bool discs = false;
        bool squares = false;
        for (QTextBlock block = FDocument.begin(); block.isValid(); block = block.next()) {
            bool anyText = false;
            for (auto it = block.begin(); !it.atEnd(); ++it) {
                const QTextFragment fragment = it.fragment();
                if (!fragment.isValid())
                    continue;
                addFont(FamilyOf(fragment.charFormat()));
                addColor(fragment.charFormat());
                anyText = true;
            }
            if (!anyText) {
                addFont(FamilyOf(block.charFormat()));
                addColor(block.charFormat());
            }
            if (const QTextList* list = block.textList()) {
                discs = discs || StyleOf(list) == QTextListFormat::ListDisc;
                squares = squares || StyleOf(list) == QTextListFormat::ListSquare;
            }
        }
        if (FFonts.isEmpty())
            FFonts.append(FDocument.defaultFont().family());
        if (discs) {
            FSymbolFont = int(FFonts.size());
            FFonts.append(QStringLiteral("Symbol"));
        }
        if (squares) {
            FWingdingsFont = int(FFonts.size());
            FFonts.append(QStringLiteral("Wingdings"));
        }
    }

    // \pard and the paragraph's properties, written when they differ from the
    // paragraph before; inside a table every paragraph states them.
    void StartParagraph(const QTextBlock& block, bool inCell) {
        const Qt::Alignment alignment = HorizontalAlignment(block);
        const QTextList* list = block.textList();
        int number = 0;
        if (list)
            number = ListStart(list) + FItemsWritten[list]++;
        const bool changed = inCell || FForcePard || alignment != FLastAlignment || list != FLastList;
        if (changed) {
            Word(u"pard");
            if (inCell)
                Word(u"intbl");
            if (list) {
                ListText(list, number);
                NumberingGroup(list, number);
                Word(u"fi-360");
                Word(QStringLiteral("li%1").arg(TwipsPerListLevel * std::max(1, list->format().indent())));
            }
            if (alignment == Qt::AlignHCenter)
                Word(u"qc");
            else if (alignment == Qt::AlignRight)
                Word(u"qr");
            else if (alignment == Qt::AlignJustify)
                Word(u"qj");
        } else if (list) {
            ListText(list, number);
        }
        FForcePard = inCell; // after a table the next paragraph must leave it
        FLastAlignment = alignment;
        FLastList = list;
    }

    void BlockText(const QTextBlock& block) {
        bool anyText = false;
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment fragment = it.fragment();
            if (!fragment.isValid())
                continue;
            CharFormat(fragment.charFormat());
            Text(fragment.text());
            anyText = true;
        }
        if (!anyText)
            CharFormat(block.charFormat());
    }

    static int ListStart(const QTextList* list) {
        const QTextListFormat f = list->format();
        return f.hasProperty(ListStartProperty) ? f.intProperty(ListStartProperty) : 1;
    }

    static QString ListPrefix(const QTextList* list) { return list->format().numberPrefix(); }

    static QString ListSuffix(const QTextList* list) {
        const QTextListFormat f = list->format();
        return f.hasProperty(QTextFormat::ListNumberSuffix) ? f.numberSuffix() : QStringLiteral(".");
    }

    // The paragraph's own marker, as rich-edit controls write it; readers
    // that know no numbering show it instead.
    void ListText(const QTextList* list, int number) {
        const QTextListFormat::Style style = StyleOf(list);
        Raw(QStringLiteral("{"));
        Word(u"pntext");
        if (style == QTextListFormat::ListDisc) {
            Word(QStringLiteral("f%1").arg(FSymbolFont));
            Raw(QStringLiteral("\\'b7"));
        } else if (style == QTextListFormat::ListSquare) {
            Word(QStringLiteral("f%1").arg(FWingdingsFont));
            Raw(QStringLiteral("\\'a7"));
        } else if (style == QTextListFormat::ListCircle) {
            Word(u"f0");
            Text(QStringLiteral("o"));
        } else {
            Word(u"f0");
            Text(ListPrefix(list) + NumberText(number, style) + ListSuffix(list));
        }
        Word(u"tab");
        Raw(QStringLiteral("}"));
    }

    void NumberingGroup(const QTextList* list, int number) {
        const QTextListFormat::Style style = StyleOf(list);
        Raw(QStringLiteral("{\\*"));
        Word(u"pn");
        if (IsBulletStyle(style)) {
            Word(u"pnlvlblt");
            const int font = style == QTextListFormat::ListDisc     ? FSymbolFont
                             : style == QTextListFormat::ListSquare ? FWingdingsFont
                                                                    : 0;
            Word(QStringLiteral("pnf%1").arg(font));
            Word(u"pnindent0");
            Raw(QStringLiteral("{"));
            Word(u"pntxtb");
            if (style == QTextListFormat::ListDisc)
                Raw(QStringLiteral("\\'b7}}"));
            else if (style == QTextListFormat::ListSquare)
                Raw(QStringLiteral("\\'a7}}"));
            else
                Raw(QStringLiteral(" o}}"));
            return;
        }
        Word(u"pnlvlbody");
        Word(u"pnf0");
        Word(u"pnindent0");
        Word(QStringLiteral("pnstart%1").arg(number));
        switch (style) {
        case QTextListFormat::ListLowerAlpha:
            Word(u"pnlcltr");
            break;
        case QTextListFormat::ListUpperAlpha:
            Word(u"pnucltr");
            break;
        case QTextListFormat::ListLowerRoman:
            Word(u"pnlcrm");
            break;
        case QTextListFormat::ListUpperRoman:
            Word(u"pnucrm");
            break;
        default:
            Word(u"pndec");
            break;
        }
        const QString prefix = ListPrefix(list);
        if (!prefix.isEmpty()) {
            Raw(QStringLiteral("{"));
            Word(u"pntxtb");
            Text(prefix);
            Raw(QStringLiteral("}"));
        }
        const QString suffix = ListSuffix(list);
        if (!suffix.isEmpty()) {
            Raw(QStringLiteral("{"));
            Word(u"pntxta");
            Text(suffix);
            Raw(QStringLiteral("}"));
        }
        Raw(QStringLiteral("}"));
    }

    // Rows as \trowd ... \cellx ... then each cell's paragraphs ending in \cell.
    void WriteTable(QTextTable& table) {
        const int rows = table.rows();
        const int columns = table.columns();
        const QTextTableFormat tf = table.format();
        const QList<QTextLength> constraints = tf.columnWidthConstraints();
        std::vector<int> edges;
        {
            double total = 0;
            std::vector<double> share(size_t(columns), 0);
            for (int c = 0; c < columns; ++c) {
                const QTextLength length = c < constraints.size() ? constraints.at(c) : QTextLength();
                share[size_t(c)] = length.type() == QTextLength::VariableLength ? 0 : length.rawValue();
                total += share[size_t(c)];
            }
            double edge = 0;
            for (int c = 0; c < columns; ++c) {
                const double part =
                    total > 0 && share[size_t(c)] > 0 ? share[size_t(c)] / total : 1.0 / columns;
                edge += part * TableWidthTwips;
                edges.push_back(int(std::lround(edge)));
            }
        }
        const bool borders = tf.border() > 0;
        for (int r = 0; r < rows; ++r) {
            Word(u"trowd");
            Word(u"trgaph108");
            Word(u"trleft0");
            for (int c = 0; c < columns; ++c) {
                const QTextTableCell cell = table.cellAt(r, c);
                if (cell.row() == r && cell.rowSpan() > 1)
                    Word(u"clvmgf");
                else if (cell.row() != r)
                    Word(u"clvmrg");
                if (cell.column() == c && cell.columnSpan() > 1)
                    Word(u"clmgf");
                else if (cell.column() != c)
                    Word(u"clmrg");
                if (borders) {
                    for (const char16_t* side : {u"clbrdrt", u"clbrdrl", u"clbrdrb", u"clbrdrr"}) {
                        Word(side);
                        Word(u"brdrs");
                        Word(u"brdrw10");
                    }
                }
                Word(QStringLiteral("cellx%1").arg(edges[size_t(c)]));
            }
            Raw(QStringLiteral("\r\n"));
            for (int c = 0; c < columns; ++c) {
                const QTextTableCell cell = table.cellAt(r, c);
                if (cell.row() != r || cell.column() != c) {
                    Word(u"pard");
                    Word(u"intbl");
                    Word(u"cell");
                    continue;
                }
                WriteCell(cell);
            }
            Word(u"row");
            Raw(QStringLiteral("\r\n"));
        }
        FForcePard = true;
        FLastList = nullptr;
    }

    void WriteCell(const QTextTableCell& cell) {
        std::vector<Entry> entries;
        for (auto it = cell.begin(); !it.atEnd(); ++it) {
            if (QTextFrame* child = it.currentFrame()) {
                if (auto* table = qobject_cast<QTextTable*>(child))
                    entries.push_back(Entry{QTextBlock(), table});
                else
                    AddEntries(child, entries);
            } else {
                entries.push_back(Entry{it.currentBlock(), nullptr});
            }
        }
        // As in the document, Qt's empty paragraphs around a nested table are no text.
        std::vector<Entry> kept;
        for (size_t i = 0; i < entries.size(); ++i) {
            const Entry& e = entries[i];
            const bool empty = !e.table && e.block.length() <= 1;
            const bool besideTable = (i + 1 < entries.size() && entries[i + 1].table && i == 0) ||
                                     (i > 0 && entries[i - 1].table && i + 1 == entries.size());
            if (!(empty && besideTable))
                kept.push_back(e);
        }
        if (kept.empty()) {
            Word(u"pard");
            Word(u"intbl");
            Word(u"cell");
            return;
        }
        for (size_t i = 0; i < kept.size(); ++i) {
            const bool last = i + 1 == kept.size();
            if (kept[i].table) {
                WriteNestedTable(*kept[i].table, last);
                continue;
            }
            StartParagraph(kept[i].block, true);
            BlockText(kept[i].block);
            Word(last ? u"cell" : u"par");
        }
    }

    // A table inside a cell: one paragraph per row, the cells separated by tabs.
    void WriteNestedTable(QTextTable& table, bool lastInCell) {
        for (int r = 0; r < table.rows(); ++r) {
            Word(u"pard");
            Word(u"intbl");
            for (int c = 0; c < table.columns(); ++c) {
                const QTextTableCell cell = table.cellAt(r, c);
                if (c > 0)
                    Word(u"tab");
                if (cell.row() != r || cell.column() != c)
                    continue;
                bool firstBlock = true;
                for (QTextBlock b = FDocument.findBlock(cell.firstPosition());
                     b.isValid() && b.position() < cell.lastPosition() + 1; b = b.next()) {
                    if (!firstBlock)
                        Word(u"line");
                    firstBlock = false;
                    BlockText(b);
                }
            }
            Word(lastInCell && r + 1 == table.rows() ? u"cell" : u"par");
        }
        FLastList = nullptr;
    }

    void CharFormat(const QTextCharFormat& f) {
        WriterCharState s;
        s.font = int(FFonts.indexOf(FamilyOf(f)));
        s.halfPoints = HalfPointsOf(f);
        s.bold = f.fontWeight() >= QFont::DemiBold;
        s.italic = f.fontItalic();
        s.underline = f.fontUnderline();
        s.strike = f.fontStrikeOut();
        if (f.foreground().style() != Qt::NoBrush) {
            const QColor c = f.foreground().color().toRgb();
            s.color = int(FColors.indexOf(QColor(c.red(), c.green(), c.blue()))) + 1;
        }
        if (s.color != FChar.color)
            Word(QStringLiteral("cf%1").arg(s.color));
        if (s.font != FChar.font)
            Word(QStringLiteral("f%1").arg(s.font));
        if (s.bold != FChar.bold)
            Word(s.bold ? u"b" : u"b0");
        if (s.italic != FChar.italic)
            Word(s.italic ? u"i" : u"i0");
        if (s.underline != FChar.underline)
            Word(s.underline ? u"ul" : u"ulnone");
        if (s.strike != FChar.strike)
            Word(s.strike ? u"strike" : u"strike0");
        if (s.halfPoints != FChar.halfPoints)
            Word(QStringLiteral("fs%1").arg(s.halfPoints));
        FChar = s;
    }

    void Word(QStringView word) {
        FOut += u'\\';
        FOut += word;
        FNeedDelimiter = true;
    }

    void Raw(const QString& text) {
        FOut += text;
        FNeedDelimiter = false;
    }

    // In a font name the semicolon would end the name: it is written as a byte.
    void Text(const QString& text, bool fontName = false) {
        for (const QChar c : text) {
            const char16_t u = c.unicode();
            if (u == u'\t') {
                Word(u"tab");
            } else if (u == QChar::LineSeparator || u == QChar::ParagraphSeparator) {
                Word(u"line");
            } else if (u < 0x20 || u == QChar::ObjectReplacementCharacter) {
                // control characters and embedded objects have no place in the text
            } else if (u == u'\\' || u == u'{' || u == u'}') {
                Raw(QString(u'\\') + c);
            } else if (fontName && u == u';') {
                Raw(QStringLiteral("\\'3b"));
            } else if (u < 0x80) {
                if (FNeedDelimiter)
                    FOut += u' ';
                FOut += c;
                FNeedDelimiter = false;
            } else if (!c.isSurrogate() && Win1252::canEncode(QString(c))) {
                const QByteArray b = Win1252::encode(QString(c));
                Raw(QStringLiteral("\\'%1").arg(uchar(b.at(0)), 2, 16, QLatin1Char('0')));
            } else {
                // \u takes a signed 16-bit number; "?" stands in for readers without \u
                Word(QStringLiteral("u%1").arg(qint16(u)));
                Raw(QStringLiteral("?"));
            }
        }
    }

    const QTextDocument& FDocument;
    QString FOut;
    bool FNeedDelimiter = false;
    QStringList FFonts;
    QList<QColor> FColors;
    int FSymbolFont = -1;
    int FWingdingsFont = -1;
    WriterCharState FChar;

    bool FForcePard = true;
    Qt::Alignment FLastAlignment = Qt::AlignLeft;
    const QTextList* FLastList = nullptr;
    QHash<const QTextList*, int> FItemsWritten;
};

} // namespace

QString Write(const QTextDocument& document) {
    return Writer(document).Run();
}

} // namespace Rtf
