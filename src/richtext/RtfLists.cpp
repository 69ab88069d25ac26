// Lists and tables: the markers of list items, the numbering and list table
// control words, and the building of lists and tables into the document.
#include "RtfReader.h"

#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextList>
#include <QTextTable>

#include <algorithm>

namespace Rtf::Detail {

QString AlphaNumber(int n, bool upper) {
    // a .. z, aa, ab ...: the way Qt counts letter lists
    QString s;
    while (n > 0) {
        --n;
        s.prepend(QChar(char16_t((upper ? u'A' : u'a') + n % 26)));
        n /= 26;
    }
    return s;
}

QString RomanNumber(int n, bool upper) {
    if (n <= 0 || n >= 4000)
        return QString::number(n);
    static const int values[] = {1000, 900, 500, 400, 100, 90, 50, 40, 10, 9, 5, 4, 1};
    static const char* const digits[] = {"m",  "cm", "d",  "cd", "c",  "xc", "l",
                                         "xl", "x",  "ix", "v",  "iv", "i"};
    QString s;
    for (int i = 0; i < 13; ++i) {
        while (n >= values[i]) {
            s += QLatin1StringView(digits[i]);
            n -= values[i];
        }
    }
    return upper ? s.toUpper() : s;
}

bool IsBulletStyle(QTextListFormat::Style style) {
    return style == QTextListFormat::ListDisc || style == QTextListFormat::ListCircle ||
           style == QTextListFormat::ListSquare || style == QTextListFormat::ListStyleUndefined;
}

QString NumberText(int n, QTextListFormat::Style style) {
    switch (style) {
    case QTextListFormat::ListLowerAlpha:
        return AlphaNumber(n, false);
    case QTextListFormat::ListUpperAlpha:
        return AlphaNumber(n, true);
    case QTextListFormat::ListLowerRoman:
        return RomanNumber(n, false);
    case QTextListFormat::ListUpperRoman:
        return RomanNumber(n, true);
    default:
        return QString::number(n);
    }
}

int RomanValue(QChar c) {
    switch (c.toLower().unicode()) {
    case u'i':
        return 1;
    case u'v':
        return 5;
    case u'x':
        return 10;
    case u'l':
        return 50;
    case u'c':
        return 100;
    case u'd':
        return 500;
    case u'm':
        return 1000;
    default:
        return 0;
    }
}

bool IsAsciiLetter(QChar c) {
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z');
}

// The item number a list marker such as "3.", "c)" or "iv." shows; 0 when it
// shows none.
int MarkerNumber(const QString& marker, QTextListFormat::Style style) {
    qsizetype i = 0;
    const qsizetype n = marker.size();
    if (style == QTextListFormat::ListLowerRoman || style == QTextListFormat::ListUpperRoman) {
        while (i < n && RomanValue(marker.at(i)) == 0)
            ++i;
        int total = 0;
        for (; i < n && RomanValue(marker.at(i)) > 0; ++i) {
            const int v = RomanValue(marker.at(i));
            const int next = i + 1 < n ? RomanValue(marker.at(i + 1)) : 0;
            total += next > v ? -v : v;
        }
        return std::clamp(total, 0, 100000);
    }
    if (style == QTextListFormat::ListLowerAlpha || style == QTextListFormat::ListUpperAlpha) {
        while (i < n && !IsAsciiLetter(marker.at(i)))
            ++i;
        int total = 0;
        for (; i < n && IsAsciiLetter(marker.at(i)) && total < 100000; ++i)
            total = total * 26 + (marker.at(i).toLower().unicode() - u'a' + 1);
        return std::min(total, 100000);
    }
    while (i < n && !marker.at(i).isDigit())
        ++i;
    int total = 0;
    for (; i < n && marker.at(i) >= u'0' && marker.at(i) <= u'9' && total < 100000; ++i)
        total = total * 10 + (marker.at(i).unicode() - u'0');
    return std::min(total, 100000);
}

// The bullet style a bullet character stands for: "o" is the hollow circle of
// word processors, the small square is Wingdings' "§" (U+F0A7 when Unicode).
QTextListFormat::Style BulletStyle(const QString& text) {
    for (const QChar c : text) {
        if (c.isSpace())
            continue;
        const char16_t u = c.unicode();
        if (u == u'o' || u == 0x25CB || u == 0x25E6 || u == 0xF06F)
            return QTextListFormat::ListCircle;
        if (u == 0x00A7 || u == 0xF0A7 || u == 0x25AA || u == 0x25A0 || u == 0xF06E)
            return QTextListFormat::ListSquare;
        return QTextListFormat::ListDisc;
    }
    return QTextListFormat::ListDisc;
}

// A guess from the marker text alone, for word-processor lists whose list
// table is missing.
QTextListFormat::Style StyleOfMarker(const QString& marker) {
    for (const QChar c : marker) {
        if (c.isDigit())
            return QTextListFormat::ListDecimal;
        if (IsAsciiLetter(c)) {
            qsizetype letters = 0;
            bool roman = true;
            for (qsizetype i = marker.indexOf(c); i < marker.size() && IsAsciiLetter(marker.at(i)); ++i) {
                ++letters;
                roman = roman && RomanValue(marker.at(i)) > 0;
            }
            if (roman && (letters > 1 || c.toLower() == u'i'))
                return c.isUpper() ? QTextListFormat::ListUpperRoman : QTextListFormat::ListLowerRoman;
            return c.isUpper() ? QTextListFormat::ListUpperAlpha : QTextListFormat::ListLowerAlpha;
        }
        if (!c.isSpace())
            return BulletStyle(QString(c));
    }
    return QTextListFormat::ListDisc;
}

void Reader::StartNumbering() {
    FState.dest = Destination::Numbering;
    FState.pn = Numbering();
}

void Reader::NumberingWord(QStringView word, int param) {
    Numbering& pn = FState.pn;
    if (word == u"pnlvlblt") {
        pn.kind = ListKind::Bullet;
    } else if (word == u"pnlvlbody" || word == u"pnlvl") {
        pn.kind = ListKind::Numbered;
    } else if (word == u"pnlvlcont") {
        pn.kind = ListKind::None; // a paragraph inside a list item, without a number of its own
    } else if (word == u"pndec" || word == u"pncard" || word == u"pnord" || word == u"pnordt") {
        pn.style = QTextListFormat::ListDecimal;
    } else if (word == u"pnlcltr") {
        pn.style = QTextListFormat::ListLowerAlpha;
    } else if (word == u"pnucltr") {
        pn.style = QTextListFormat::ListUpperAlpha;
    } else if (word == u"pnlcrm") {
        pn.style = QTextListFormat::ListLowerRoman;
    } else if (word == u"pnucrm") {
        pn.style = QTextListFormat::ListUpperRoman;
    } else if (word == u"pnstart") {
        pn.start = std::clamp(param, 0, 100000);
    } else if (word == u"pnf") {
        pn.font = param;
    } else if (word == u"pntxta" || word == u"pntxtb") {
        FState.dest = Destination::NumberingText;
        FState.capture = word == u"pntxta" ? Capture::TextAfter : Capture::TextBefore;
        FCaptured.clear();
    }
}

void Reader::ListTableWord(QStringView word, int param) {
    if (word == u"list") {
        FListDefinitions.emplace_back();
    } else if (FListDefinitions.empty()) {
        return;
    } else if (word == u"listlevel") {
        FListDefinitions.back().levels.emplace_back();
    } else if (word == u"listid") {
        FListDefinitions.back().id = param;
    } else if (word == u"levelnfc" || word == u"levelnfcn") {
        if (!FListDefinitions.back().levels.empty())
            FListDefinitions.back().levels.back().format = param;
    } else if (word == u"levelstartat") {
        if (!FListDefinitions.back().levels.empty())
            FListDefinitions.back().levels.back().start = std::clamp(param, 0, 100000);
    } else if (word == u"leveltext") {
        FState.dest = Destination::LevelText;
        FCaptured.clear();
    } else if (word == u"levelnumbers" || word == u"listname" || word == u"liststylename") {
        FState.dest = Destination::Skip;
    }
}

QTextListFormat::Style Reader::StyleOfLevelFormat(int format) {
    switch (format) {
    case 1:
        return QTextListFormat::ListUpperRoman;
    case 2:
        return QTextListFormat::ListLowerRoman;
    case 3:
        return QTextListFormat::ListUpperAlpha;
    case 4:
        return QTextListFormat::ListLowerAlpha;
    case 23:
        return QTextListFormat::ListDisc;
    default:
        return QTextListFormat::ListDecimal;
    }
}

const ListLevel* Reader::WordListLevel(int ls, int level) const {
    const auto over = std::find_if(FOverrides.begin(), FOverrides.end(),
                                   [ls](const ListOverride& o) { return o.ls == ls; });
    if (over == FOverrides.end())
        return nullptr;
    const auto def = std::find_if(FListDefinitions.begin(), FListDefinitions.end(),
                                  [&](const ListDefinition& d) { return d.id == over->listId; });
    if (def == FListDefinitions.end() || def->levels.empty())
        return nullptr;
    return &def->levels[std::min<size_t>(size_t(level), def->levels.size() - 1)];
}

// The list a paragraph belongs to, as far as its text says; false when it is no list item.
bool Reader::ClaimOf(const Paragraph& p, ListClaim& claim) const {
    const ParaState& props = p.props;
    if (props.ls > 0) {
        claim.word = true;
        claim.ls = props.ls;
        claim.level = props.level;
        claim.format.setIndent(props.level + 1);
        if (const ListLevel* level = WordListLevel(props.ls, props.level)) {
            if (level->format == 255)
                return false; // a level without numbers: an indented paragraph
            QTextListFormat::Style style = StyleOfLevelFormat(level->format);
            // The level text: its length, then the text with placeholders 0..8 for the numbers.
            const QString text = level->text.mid(1, level->text.isEmpty() ? 0 : level->text.at(0).unicode());
            if (style == QTextListFormat::ListDisc) {
                style = BulletStyle(text);
            } else {
                qsizetype first = -1, last = -1;
                for (qsizetype i = 0; i < text.size(); ++i) {
                    if (text.at(i).unicode() < 9) {
                        if (first < 0)
                            first = i;
                        last = i;
                    }
                }
                if (last >= 0) {
                    claim.format.setNumberPrefix(first == last ? text.left(first) : QString());
                    claim.format.setNumberSuffix(text.mid(last + 1));
                }
            }
            claim.format.setStyle(style);
            claim.start = level->start;
        } else {
            // Without the list table the marker text is all there is to go by.
            const QString marker = p.marker.trimmed();
            claim.format.setStyle(marker.isEmpty() ? QTextListFormat::ListDisc : StyleOfMarker(marker));
            if (!IsBulletStyle(claim.format.style())) {
                claim.start = std::max(1, MarkerNumber(marker, claim.format.style()));
                const qsizetype first =
                    std::find_if(marker.begin(), marker.end(), [](QChar c) { return c.isLetterOrNumber(); }) -
                    marker.begin();
                qsizetype last = first;
                while (last < marker.size() && marker.at(last).isLetterOrNumber())
                    ++last;
                claim.format.setNumberPrefix(marker.left(first));
                claim.format.setNumberSuffix(marker.mid(last));
            }
        }
        return true;
    }
    const Numbering& pn = props.pn;
    if (pn.kind == ListKind::None)
        return false;
    claim.own = pn.own;
    claim.format.setIndent(std::max(1, (props.leftIndent + TwipsPerListLevel / 4) / TwipsPerListLevel));
    if (pn.kind == ListKind::Bullet) {
        claim.format.setStyle(BulletStyle(pn.before));
        return true;
    }
    claim.format.setStyle(pn.style);
    claim.format.setNumberPrefix(pn.before);
    claim.format.setNumberSuffix(pn.after);
    claim.number = MarkerNumber(p.marker, pn.style);
    if (claim.number == 0 && pn.own)
        claim.number = pn.start;
    return true;
}

bool Reader::SameKind(const ListInfo& info, const ListClaim& claim) {
    return !info.word && info.style == claim.format.style() && info.indent == claim.format.indent();
}

// The list to continue, or -1 for a new one.
int Reader::ListToContinue(ListScope& scope, const ListClaim& claim) {
    if (claim.word) {
        // Deeper levels start counting again under a new item of this one.
        for (int deeper = claim.level + 1; deeper <= 8; ++deeper)
            scope.wordLists.remove(qint64(claim.ls) * 16 + deeper);
        return scope.wordLists.value(qint64(claim.ls) * 16 + claim.level, -1);
    }
    const ListInfo* previous = scope.previous >= 0 ? &scope.lists[size_t(scope.previous)] : nullptr;
    const bool adjacent = previous && SameKind(*previous, claim);
    if (IsBulletStyle(claim.format.style()))
        return adjacent && !claim.own ? scope.previous : -1;
    // A numbered item continues the list before it unless its number says
    // otherwise; one that continues a list interrupted by other paragraphs
    // says so with its number.
    if (adjacent && (claim.number == previous->next || (claim.number == 0 && !claim.own)))
        return scope.previous;
    if (claim.number > 1) {
        for (int i = int(scope.lists.size()) - 1; i >= 0; --i) {
            const ListInfo& info = scope.lists[size_t(i)];
            if (SameKind(info, claim) && info.next == claim.number)
                return i;
        }
    }
    return -1;
}

void Reader::InsertParagraph(QTextCursor& cursor, const Paragraph& p, bool& fresh, ListScope& scope) {
    QTextBlockFormat bf;
    bf.setAlignment(p.props.alignment);

    ListClaim claim;
    const bool isItem = ClaimOf(p, claim);
    int listIndex = -1;
    if (isItem) {
        listIndex = ListToContinue(scope, claim);
        if (listIndex >= 0)
            bf.setObjectIndex(scope.lists[size_t(listIndex)].list->objectIndex());
    }

    const QTextCharFormat& blockChar = FFormats[size_t(p.runs.empty() ? p.endFormat : p.runs.front().format)];
    if (fresh) {
        cursor.setBlockFormat(bf);
        cursor.setBlockCharFormat(blockChar);
        fresh = false;
    } else {
        cursor.insertBlock(bf, blockChar);
    }

    if (isItem) {
        if (listIndex < 0) {
            ListInfo info;
            info.style = claim.format.style();
            info.indent = claim.format.indent();
            info.word = claim.word;
            info.ls = claim.ls;
            info.level = claim.level;
            const int start = claim.word || claim.number <= 0 ? std::max(1, claim.start) : claim.number;
            if (start != 1 && !IsBulletStyle(info.style))
                claim.format.setProperty(ListStartProperty, start);
            info.next = start;
            info.list = cursor.createList(claim.format);
            scope.lists.push_back(info);
            listIndex = int(scope.lists.size()) - 1;
            if (claim.word)
                scope.wordLists.insert(qint64(claim.ls) * 16 + claim.level, listIndex);
        }
        ++scope.lists[size_t(listIndex)].next;
    }
    scope.previous = listIndex;

    qsizetype pos = 0;
    for (const TextRun& run : p.runs) {
        cursor.insertText(p.text.mid(pos, run.length), FFormats[size_t(run.format)]);
        pos += run.length;
    }
}

void Reader::InsertTable(QTextCursor& cursor, const Table& t, bool& fresh, ListScope& scope) {
    int columns = 0;
    bool borders = false;
    const Row* widest = nullptr;
    for (const Row& row : t.rows) {
        if (int(row.cells.size()) > columns) {
            columns = int(row.cells.size());
            widest = &row;
        }
        borders = borders || row.borders;
    }
    const int rows = int(t.rows.size());

    QTextTableFormat tf;
    tf.setBorder(borders ? 1 : 0);
    tf.setBorderStyle(QTextFrameFormat::BorderStyle_Solid);
    tf.setBorderCollapse(true);
    tf.setCellSpacing(0);
    tf.setCellPadding(2);
    // Column widths in proportion to the cell edges, when these make sense.
    QList<QTextLength> widths;
    int left = widest->left;
    const int total = widest->cells.back().definition.right - widest->left;
    for (const Cell& cell : widest->cells) {
        const int width = cell.definition.right - left;
        if (width <= 0 || total <= 0) {
            widths.clear();
            break;
        }
        widths << QTextLength(QTextLength::PercentageLength, 100.0 * width / total);
        left = cell.definition.right;
    }
    if (!widths.isEmpty()) {
        tf.setColumnWidthConstraints(widths);
        tf.setWidth(QTextLength(QTextLength::PercentageLength, 100));
    }

    QTextTable* table = cursor.insertTable(rows, columns, tf);
    for (int r = 0; r < rows; ++r) {
        const Row& row = t.rows[size_t(r)];
        for (int c = 0; c < int(row.cells.size()); ++c) {
            QTextCursor cellCursor = table->cellAt(r, c).firstCursorPosition();
            bool cellFresh = true;
            ListScope cellScope;
            for (const Paragraph& p : row.cells[size_t(c)].paragraphs)
                InsertParagraph(cellCursor, p, cellFresh, cellScope);
        }
    }
    MergeCells(t, *table);

    cursor.setPosition(table->lastPosition() + 1);
    fresh = true; // the block after a table is there already, and empty
    scope.previous = -1;
}

void Reader::MergeCells(const Table& t, QTextTable& table) {
    const int rows = int(t.rows.size());
    auto def = [&](int r, int c) -> const CellDefinition* {
        const Row& row = t.rows[size_t(r)];
        return c < int(row.cells.size()) ? &row.cells[size_t(c)].definition : nullptr;
    };
    for (int r = 0; r < rows; ++r) {
        const int cells = int(t.rows[size_t(r)].cells.size());
        for (int c = 0; c < cells; ++c) {
            if (!def(r, c)->mergeFirst)
                continue;
            int span = 1;
            while (c + span < cells && def(r, c + span)->mergeNext)
                ++span;
            if (span > 1)
                table.mergeCells(r, c, 1, span);
        }
    }
    for (int c = 0; c < table.columns(); ++c) {
        for (int r = 0; r < rows; ++r) {
            const CellDefinition* first = def(r, c);
            if (!first || !first->vMergeFirst)
                continue;
            int span = 1;
            while (r + span < rows && def(r + span, c) && def(r + span, c)->vMergeNext)
                ++span;
            if (span > 1 && table.cellAt(r, c).column() == c)
                table.mergeCells(r, c, span, table.cellAt(r, c).columnSpan());
        }
    }
}

void Reader::Build() {
    CurrentFormat(); // every paragraph refers to some format, even an empty text
    FFormats.reserve(FFormatStates.size());
    for (const CharState& chr : FFormatStates)
        FFormats.push_back(FormatOf(chr));

    const bool undo = FDocument.isUndoRedoEnabled();
    FDocument.setUndoRedoEnabled(false); // the old content is gone, and so is its history
    QTextCursor cursor(&FDocument);
    cursor.beginEditBlock();
    bool fresh = true;
    ListScope scope;
    for (const Item& item : FItems) {
        if (const Paragraph* p = std::get_if<Paragraph>(&item))
            InsertParagraph(cursor, *p, fresh, scope);
        else
            InsertTable(cursor, std::get<Table>(item), fresh, scope);
    }
    cursor.endEditBlock();
    FDocument.setUndoRedoEnabled(undo);
}

} // namespace Rtf::Detail
