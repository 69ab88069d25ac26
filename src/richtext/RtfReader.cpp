#include "RtfReader.h"
#include "Rtf.h"

#include <QTextDocument>

#include <algorithm>

namespace Rtf::Detail {

namespace {

// Control words that open a group whose content is not text. Groups marked with
// \* are skipped anyway; these also come without the mark.
bool IsSkippedDestination(QStringView word) {
    static const char* const names[] = {
        "stylesheet",
        "info",
        "pict",
        "header",
        "headerl",
        "headerr",
        "headerf",
        "footer",
        "footerl",
        "footerr",
        "footerf",
        "footnote",
        "object",
        "fldinst",
        "themedata",
        "datastore",
        "colorschememapping",
        "rsidtbl",
        "latentstyles",
        "xmlnstbl",
        "generator",
        "bkmkstart",
        "bkmkend",
        "filetbl",
        "revtbl",
        "annotation",
        "atnid",
        "atnauthor",
        "txe",
        "xe",
        "tc",
        "private",
        "nonshppict",
        "shp",
        "nonesttables", // what readers without nested tables show instead of them
    };
    for (const char* name : names) {
        if (word == QLatin1StringView(name))
            return true;
    }
    return false;
}

QChar SpecialCharacter(QStringView word) {
    if (word == u"bullet")
        return QChar(0x2022);
    if (word == u"emdash")
        return QChar(0x2014);
    if (word == u"endash")
        return QChar(0x2013);
    if (word == u"lquote")
        return QChar(0x2018);
    if (word == u"rquote")
        return QChar(0x2019);
    if (word == u"ldblquote")
        return QChar(0x201C);
    if (word == u"rdblquote")
        return QChar(0x201D);
    return QChar();
}

// Reads the whole text into a plain model first (paragraphs and tables), then
// builds the document in one edit: inserting piece by piece while reading made
// every insertion pay for what was already there.

} // namespace

void Reader::Run() {
    Parse();
    Build();
}

void Reader::Parse() {
    const qsizetype n = FSource.size();
    while (FPos < n) {
        const QChar c = FSource.at(FPos);
        if (c == u'{') {
            FlushBytes();
            ++FPos;
            FStack.push_back(FState);
            FIgnorable = false;
        } else if (c == u'}') {
            FlushBytes();
            ++FPos;
            FSkipFallback = 0;
            if (FStack.empty())
                continue; // a stray closing brace
            const State inner = FState;
            FState = FStack.back();
            FStack.pop_back();
            EndGroup(inner);
            if (FStack.empty())
                break; // the document's own group is closed: anything after it is not RTF
        } else if (c == u'\\') {
            ++FPos;
            ReadControl();
        } else {
            FlushBytes();
            ++FPos;
            // Line ends in the source only format the file; they are not text.
            if (c != u'\r' && c != u'\n' && c != QChar(0))
                PutChar(c);
        }
    }
    FlushBytes();
    Finish();
}

void Reader::ReadControl() {
    const qsizetype n = FSource.size();
    if (FPos >= n)
        return;
    const QChar c = FSource.at(FPos);
    if (c != u'\'')
        FlushBytes();
    if (IsAsciiLetter(c)) {
        const qsizetype start = FPos;
        while (FPos < n && IsAsciiLetter(FSource.at(FPos)) && FPos - start < 32)
            ++FPos;
        const QStringView word = QStringView(FSource).mid(start, FPos - start);
        bool hasParam = false;
        bool negative = false;
        qint64 value = 0;
        if (FPos < n && FSource.at(FPos) == u'-' && FPos + 1 < n && FSource.at(FPos + 1).isDigit()) {
            negative = true;
            ++FPos;
        }
        while (FPos < n && FSource.at(FPos) >= u'0' && FSource.at(FPos) <= u'9') {
            hasParam = true;
            if (value < 100000000000LL) // further digits cannot make a sensible value
                value = value * 10 + (FSource.at(FPos).unicode() - u'0');
            ++FPos;
        }
        if (FPos < n && FSource.at(FPos) == u' ')
            ++FPos; // the delimiter belongs to the control word
        value = std::clamp<qint64>(negative ? -value : value, -2147483647LL, 2147483647LL);
        Word(word, hasParam, int(value));
    } else if (c == u'\'') {
        ++FPos;
        int byte = 0;
        int digits = 0;
        while (digits < 2 && FPos < n) {
            const int d = HexValue(FSource.at(FPos));
            if (d < 0)
                break;
            byte = byte * 16 + d;
            ++digits;
            ++FPos;
        }
        if (digits == 2)
            PutByte(uchar(byte));
    } else {
        ++FPos;
        Symbol(c);
    }
}

void Reader::Symbol(QChar c) {
    switch (c.unicode()) {
    case u'\\':
    case u'{':
    case u'}':
        PutChar(c);
        break;
    case u'~':
        PutChar(QChar(0x00A0));
        break;
    case u'_':
        PutChar(QChar(0x2011));
        break;
    case u'-':
        PutChar(QChar(0x00AD));
        break;
    case u'*':
        FIgnorable = true;
        break;
    case u'\r':
    case u'\n':
        Word(u"par", false, 0);
        break;
    case u'\t':
        Word(u"tab", false, 0);
        break;
    default:
        break; // \| \: and the like: nothing to show
    }
}

void Reader::Word(QStringView word, bool hasParam, int param) {
    if (word == u"bin") {
        // Binary data follows raw; step over it wherever it stands.
        if (hasParam && param > 0)
            FPos = std::min<qint64>(FSource.size(), FPos + param);
        return;
    }
    if (FState.dest == Destination::Skip)
        return;
    if (FSkipFallback > 0) {
        --FSkipFallback;
        return;
    }
    if (FIgnorable) {
        FIgnorable = false;
        if (word == u"pn")
            StartNumbering();
        else if (word == u"listtable")
            FState.dest = Destination::ListTable;
        else if (word == u"listoverridetable")
            FState.dest = Destination::ListOverrides;
        else if (word == u"nesttableprops") {
            // This group ends a row of a table inside a cell: the row becomes one paragraph.
            if (FState.dest == Destination::Text)
                EndParagraph();
            FState.dest = Destination::Skip;
        } else
            FState.dest = Destination::Skip;
        return;
    }
    if (word == u"deff") {
        FDefaultFont = param;
        return;
    }
    if (word == u"ansicpg") {
        if (param > 0)
            FAnsiCodePage = param;
        return;
    }
    if (word == u"mac" || word == u"pc" || word == u"pca") {
        FAnsiCodePage = word == u"mac" ? 10000 : word == u"pc" ? 437 : 850;
        return;
    }
    if (word == u"fonttbl") {
        FState.dest = Destination::FontTable;
        return;
    }
    if (word == u"colortbl") {
        FState.dest = Destination::ColorTable;
        FColors.clear();
        ResetColor();
        return;
    }
    if (word == u"pn") {
        StartNumbering();
        return;
    }
    if (word == u"pntext" || word == u"listtext") {
        FState.dest = Destination::Marker;
        FPara.marker.clear();
        return;
    }
    if (IsSkippedDestination(word)) {
        FState.dest = Destination::Skip;
        return;
    }
    if (word == u"u") {
        UnicodeCharacter(hasParam, param);
        return;
    }
    if (word == u"uc") {
        FState.uc = std::clamp(param, 0, 10);
        return;
    }

    switch (FState.dest) {
    case Destination::FontTable:
        if (word == u"f") {
            CommitFont();
            FFontNumber = param;
        } else if (word == u"fcharset") {
            FFontCharset = param;
        }
        return;
    case Destination::ColorTable:
        if (word == u"red")
            FRed = std::clamp(param, 0, 255), FColorSet = true;
        else if (word == u"green")
            FGreen = std::clamp(param, 0, 255), FColorSet = true;
        else if (word == u"blue")
            FBlue = std::clamp(param, 0, 255), FColorSet = true;
        return;
    case Destination::Numbering:
        NumberingWord(word, param);
        return;
    case Destination::NumberingText:
    case Destination::Marker:
    case Destination::LevelText: {
        const QChar special = SpecialCharacter(word);
        if (!special.isNull())
            AppendChars(QStringView(&special, 1));
        return;
    }
    case Destination::ListTable:
        ListTableWord(word, param);
        return;
    case Destination::ListOverrides:
        if (word == u"listoverride")
            FOverrides.emplace_back();
        else if (word == u"listid" && !FOverrides.empty())
            FOverrides.back().listId = param;
        else if (word == u"ls" && !FOverrides.empty())
            FOverrides.back().ls = param;
        else if (word == u"lfolevel")
            FState.dest = Destination::Skip;
        return;
    case Destination::Skip:
        return;
    case Destination::Text:
        break;
    }

    const bool on = !hasParam || param != 0;
    CharState& chr = FState.chr;
    ParaState& para = FState.para;
    if (word == u"par" || word == u"sect" || word == u"page") {
        EndParagraph();
    } else if (word == u"line") {
        PutChar(QChar(QChar::LineSeparator));
    } else if (word == u"tab") {
        PutChar(u'\t');
    } else if (word == u"pard") {
        para = ParaState();
        ParagraphChanged();
    } else if (word == u"ql" || word == u"qc" || word == u"qr" || word == u"qj") {
        para.alignment = word == u"qc"   ? Qt::AlignHCenter
                         : word == u"qr" ? Qt::AlignRight
                         : word == u"qj" ? Qt::AlignJustify
                                         : Qt::AlignLeft;
        ParagraphChanged();
    } else if (word == u"li") {
        para.leftIndent = param;
        ParagraphChanged();
    } else if (word == u"ls") {
        para.ls = std::max(param, 0);
        ParagraphChanged();
    } else if (word == u"ilvl") {
        para.level = std::clamp(param, 0, 8);
        ParagraphChanged();
    } else if (word == u"intbl") {
        para.inTable = true;
        ParagraphChanged();
    } else if (word == u"cell") {
        EndCell();
    } else if (word == u"row") {
        EndRow();
    } else if (word == u"nestcell") {
        // A table inside a table cell: its cells become tab-separated text.
        FPendingTab = true;
    } else if (word == u"nestrow") {
        FPendingTab = false;
        EndParagraph();
    } else if (word == u"trowd") {
        FRowDefinitions.clear();
        FCellDefinition = CellDefinition();
        FRowBorders = false;
        FRowLeft = 0;
    } else if (word == u"trleft") {
        FRowLeft = param;
    } else if (word == u"cellx") {
        FCellDefinition.right = param;
        FRowDefinitions.push_back(FCellDefinition);
        FCellDefinition = CellDefinition();
    } else if (word == u"clmgf") {
        FCellDefinition.mergeFirst = true;
    } else if (word == u"clmrg") {
        FCellDefinition.mergeNext = true;
    } else if (word == u"clvmgf") {
        FCellDefinition.vMergeFirst = true;
    } else if (word == u"clvmrg") {
        FCellDefinition.vMergeNext = true;
    } else if (word.startsWith(u"clbrdr") || word.startsWith(u"trbrdr")) {
        FRowBorders = true;
    } else if (word == u"plain") {
        chr = CharState();
        FFormatDirty = true;
    } else if (word == u"b") {
        chr.bold = on;
        FFormatDirty = true;
    } else if (word == u"i") {
        chr.italic = on;
        FFormatDirty = true;
    } else if (word == u"ulnone") {
        chr.underline = false;
        FFormatDirty = true;
    } else if (word == u"ul" || (word.startsWith(u"ul") && word != u"ulc")) {
        // \uld, \uldb, \ulw, \ulwave ... all are underlined for us
        chr.underline = on;
        FFormatDirty = true;
    } else if (word == u"strike") {
        chr.strike = on;
        FFormatDirty = true;
    } else if (word == u"f") {
        chr.font = param;
        FFormatDirty = true;
    } else if (word == u"fs") {
        if (!hasParam)
            chr.halfPoints = DefaultHalfPoints;
        else if (param > 0)
            chr.halfPoints = std::min(param, MaxHalfPoints);
        FFormatDirty = true;
    } else if (word == u"cf") {
        chr.color = param;
        FFormatDirty = true;
    } else {
        const QChar special = SpecialCharacter(word);
        if (!special.isNull())
            PutChar(special);
    }
    // Every other control word changes nothing we show.
}

void Reader::UnicodeCharacter(bool hasParam, int param) {
    if (!hasParam)
        return;
    // \u takes a signed 16-bit number; anything beyond it names no
    // character, and the fallback that follows is what remains to show.
    if (param < -32768 || param > 65535)
        return;
    const char16_t unit = char16_t(param < 0 ? param + 65536 : param);
    if (unit != 0) {
        const QChar c(unit);
        AppendChars(QStringView(&c, 1));
    }
    FSkipFallback = FState.uc;
}

// A literal character or a control symbol standing for one.
void Reader::PutChar(QChar c) {
    if (FState.dest == Destination::Skip)
        return;
    if (FSkipFallback > 0) {
        --FSkipFallback;
        return;
    }
    if (FState.dest == Destination::FontTable && c == u';') {
        CommitFont();
        return;
    }
    if (FState.dest == Destination::ColorTable) {
        if (c == u';') {
            FColors.append(FColorSet ? QColor(FRed, FGreen, FBlue) : QColor());
            ResetColor();
        }
        return;
    }
    AppendChars(QStringView(&c, 1));
}

// A byte given as \'xx: a character of the code page in force.
void Reader::PutByte(uchar byte) {
    if (FState.dest == Destination::Skip)
        return;
    if (FSkipFallback > 0) {
        --FSkipFallback;
        return;
    }
    if (FState.dest == Destination::LevelText && byte < 0x20) {
        const QChar c(byte); // a level number's placeholder, or the text's length
        AppendChars(QStringView(&c, 1));
        return;
    }
    const int codePage = CodePageNow();
    if (IsMultiByte(codePage)) {
        if (FBytesCodePage != codePage)
            FlushBytes();
        FBytes.append(char(byte));
        FBytesCodePage = codePage;
        return;
    }
    const QChar c(FCodePages.Table(codePage)[byte]);
    if (FState.dest == Destination::ColorTable)
        return;
    AppendChars(QStringView(&c, 1)); // an escaped ";" belongs to a font name, it does not end it
}

void Reader::FlushBytes() {
    if (FBytes.isEmpty())
        return;
    const QString text = FCodePages.DecodeMultiByte(FBytesCodePage, FBytes);
    FBytes.clear();
    AppendChars(text);
}

int Reader::CodePageNow() {
    int charset = -1;
    if (FState.dest == Destination::FontTable)
        charset = FFontCharset;
    else if (FState.dest == Destination::Text)
        charset = FontCharset(FState.chr.font < 0 ? FDefaultFont : FState.chr.font);
    else if (FState.dest == Destination::NumberingText)
        charset = FontCharset(FState.pn.font);
    const int codePage = charset >= 0 ? CodePageOfCharset(charset) : 0;
    return codePage > 0 ? codePage : FAnsiCodePage;
}

int Reader::FontCharset(int font) const {
    const auto it = FFonts.constFind(font);
    return it == FFonts.constEnd() ? -1 : it->charset;
}

void Reader::AppendChars(QStringView chars) {
    switch (FState.dest) {
    case Destination::Text:
        AppendText(chars);
        break;
    case Destination::FontTable:
        FFontName.append(chars);
        break;
    case Destination::Marker:
        FPara.marker.append(chars);
        break;
    case Destination::NumberingText:
    case Destination::LevelText:
        FCaptured.append(chars);
        break;
    default:
        break;
    }
}

void Reader::AppendText(QStringView chars) {
    for (QChar c : chars) {
        const char16_t u = c.unicode();
        // Control characters are no text to show, and the frame marks of
        // the document must never come from the text.
        if ((u < 0x20 && u != u'\t') || u == 0xFDD0 || u == 0xFDD1)
            continue;
        if (u == QChar::ParagraphSeparator)
            c = QChar(QChar::LineSeparator);
        if (FPendingTab) {
            FPendingTab = false;
            AppendText(u"\t");
        }
        const int format = CurrentFormat();
        if (FPara.runs.empty() || FPara.runs.back().format != format)
            FPara.runs.push_back({1, format});
        else
            ++FPara.runs.back().length;
        FPara.text.append(c);
    }
}

int Reader::CurrentFormat() {
    if (FFormatDirty) {
        const auto it = FFormatIndex.constFind(FState.chr);
        if (it != FFormatIndex.constEnd()) {
            FCurrentFormat = *it;
        } else {
            FCurrentFormat = int(FFormatStates.size());
            FFormatStates.push_back(FState.chr);
            FFormatIndex.insert(FState.chr, FCurrentFormat);
        }
        FFormatDirty = false;
    }
    return FCurrentFormat;
}

void Reader::EndGroup(const State& inner) {
    FFormatDirty = true;
    switch (inner.dest) {
    case Destination::FontTable:
        CommitFont();
        break;
    case Destination::Numbering:
        // The numbering group describes the paragraph it stands in.
        if (FState.dest == Destination::Text) {
            FState.para.pn = inner.pn;
            FState.para.pn.own = true;
            ParagraphChanged();
        }
        break;
    case Destination::NumberingText:
        if (FState.dest == Destination::Numbering) {
            if (inner.capture == Capture::TextAfter)
                FState.pn.after = FCaptured;
            else if (inner.capture == Capture::TextBefore)
                FState.pn.before = FCaptured;
        }
        break;
    case Destination::LevelText:
        if (FState.dest == Destination::ListTable && !FListDefinitions.empty() &&
            !FListDefinitions.back().levels.empty())
            FListDefinitions.back().levels.back().text = FCaptured;
        break;
    default:
        break;
    }
    if (FPara.text.isEmpty())
        FParagraph = FState.para;
}

void Reader::CommitFont() {
    const QString name = FFontName.trimmed();
    if (FFontNumber >= 0 && !name.isEmpty() && !FFonts.contains(FFontNumber))
        FFonts.insert(FFontNumber, FontEntry{name, FFontCharset});
    FFontName.clear();
    FFontNumber = -1;
    FFontCharset = -1;
}

void Reader::ResetColor() {
    FRed = FGreen = FBlue = 0;
    FColorSet = false;
}

// The paragraph read so far, with the properties it was given; the next
// one starts with the properties in force.
Paragraph Reader::TakeParagraph() {
    Paragraph p = std::move(FPara);
    FPara = Paragraph();
    p.props = FParagraph;
    p.endFormat = CurrentFormat();
    // A numbering group and its start number speak for their own paragraph only.
    FState.para.pn.own = false;
    FState.para.pn.start = 0;
    FParagraph = FState.para;
    FPendingTab = false;
    return p;
}

void Reader::EndParagraph() {
    Paragraph p = TakeParagraph();
    if (p.props.inTable) {
        FCellParagraphs.push_back(std::move(p));
        return;
    }
    if (RowPending())
        EndRow();
    FTableOpen = false;
    FItems.emplace_back(std::move(p));
}

void Reader::EndCell() {
    Paragraph p = TakeParagraph();
    p.props.inTable = true;
    FCellParagraphs.push_back(std::move(p));
    CloseCell();
}

void Reader::CloseCell() {
    Cell cell;
    cell.paragraphs = std::move(FCellParagraphs);
    FCellParagraphs.clear();
    FRowCells.push_back(std::move(cell));
}

void Reader::EndRow() {
    // Text after the last cell mark still belongs to the row.
    if (!FPara.text.isEmpty())
        EndCell();
    else if (!FCellParagraphs.empty())
        CloseCell();
    if (FRowCells.empty())
        return;
    Row row;
    row.cells = std::move(FRowCells);
    FRowCells.clear();
    row.borders = FRowBorders;
    row.left = FRowLeft;
    for (size_t i = 0; i < row.cells.size() && i < FRowDefinitions.size(); ++i)
        row.cells[i].definition = FRowDefinitions[i];
    if (!FTableOpen || FItems.empty() || !std::holds_alternative<Table>(FItems.back()))
        FItems.emplace_back(Table());
    std::get<Table>(FItems.back()).rows.push_back(std::move(row));
    FTableOpen = true;
}

void Reader::Finish() {
    // A last paragraph without its mark still counts; an empty one after
    // the last mark does not, so the final \par adds no empty line.
    if (!FPara.text.isEmpty()) {
        if (FParagraph.inTable)
            EndCell();
        else
            EndParagraph();
    }
    if (RowPending())
        EndRow();
}

QTextCharFormat Reader::FormatOf(const CharState& chr) const {
    QTextCharFormat f;
    const QString family = FFonts.value(chr.font < 0 ? FDefaultFont : chr.font).name;
    if (!family.isEmpty())
        f.setFontFamilies(QStringList{family});
    f.setFontPointSize(chr.halfPoints / 2.0);
    f.setFontWeight(chr.bold ? QFont::Bold : QFont::Normal);
    f.setFontItalic(chr.italic);
    f.setFontUnderline(chr.underline);
    f.setFontStrikeOut(chr.strike);
    if (chr.color > 0 && chr.color < FColors.size() && FColors.at(chr.color).isValid())
        f.setForeground(FColors.at(chr.color));
    return f;
}

int Reader::HexValue(QChar c) {
    if (c >= u'0' && c <= u'9')
        return c.unicode() - u'0';
    if (c >= u'a' && c <= u'f')
        return c.unicode() - u'a' + 10;
    if (c >= u'A' && c <= u'F')
        return c.unicode() - u'A' + 10;
    return -1;
}

} // namespace Rtf::Detail

namespace Rtf {

using Detail::Reader;

bool IsRtf(const QString& text) {
    return text.startsWith(QLatin1StringView("{\\rtf"));
}

void Read(const QString& text, QTextDocument& document) {
    document.clear();
    if (!IsRtf(text)) {
        QString plain = text;
        plain.replace(QLatin1StringView("\r\n"), QLatin1StringView("\n"));
        plain.replace(u'\r', u'\n');
        document.setPlainText(plain);
        return;
    }
    Reader(text, document).Run();
}

QString PlainText(const QString& text) {
    if (!IsRtf(text))
        return text;
    QTextDocument document;
    Read(text, document);
    return document.toPlainText();
}

} // namespace Rtf
