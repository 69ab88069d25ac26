#include "Rtf.h"

#include "Win1252.h"

#include <QColor>
#include <QHash>
#include <QList>
#include <QTextBlock>
#include <QTextCharFormat>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextList>

#include <algorithm>
#include <vector>

namespace Rtf {

namespace {

// Font sizes are half-points; RTF's own default is 12 points.
constexpr int DefaultHalfPoints = 24;
// Rich-edit controls refuse anything above 1638 points; larger values are junk.
constexpr int MaxHalfPoints = 3276;

enum class ListKind { None, Bullet, Numbered };

// ---------------------------------------------------------------------------
// Reading

enum class Destination { Text, FontTable, ColorTable, Numbering, Skip };

struct CharState {
    int font = -1; // -1: the default font (\deff)
    int halfPoints = DefaultHalfPoints;
    bool bold = false;
    bool italic = false;
    bool underline = false;
    bool strike = false;
    int color = 0; // 0: automatic
};

struct ParaState {
    Qt::Alignment alignment = Qt::AlignLeft;
    ListKind list = ListKind::None;
};

struct State {
    Destination dest = Destination::Text;
    CharState chr;
    ParaState para;
    int uc = 1;                          // fallback characters after \u
    ListKind numbering = ListKind::None; // what a {\*\pn ...} group declares
};

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
        "pntext",
        "listtext",
        "listtable",
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
        "listoverridetable",
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
    };
    for (const char* name : names) {
        if (word == QLatin1StringView(name))
            return true;
    }
    return false;
}

class Reader {
public:
    Reader(const QString& source, QTextDocument& document)
        : FSource(source), FDocument(document), FCursor(&document) {}

    void Run() {
        const qsizetype n = FSource.size();
        while (FPos < n) {
            const QChar c = FSource.at(FPos);
            if (c == u'{') {
                FlushText();
                ++FPos;
                FStack.push_back(FState);
                FIgnorable = false;
            } else if (c == u'}') {
                FlushText();
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
                ++FPos;
                // Line ends in the source only format the file; they are not text.
                if (c != u'\r' && c != u'\n' && c != QChar(0))
                    PutChar(c);
            }
        }
        Finish();
    }

private:
    void ReadControl() {
        const qsizetype n = FSource.size();
        if (FPos >= n)
            return;
        const QChar c = FSource.at(FPos);
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
            if (digits == 2) {
                const char b = char(byte);
                const QString decoded = Win1252::decode(&b, 1);
                if (!decoded.isEmpty())
                    PutChar(decoded.at(0));
            }
        } else {
            ++FPos;
            Symbol(c);
        }
    }

    void Symbol(QChar c) {
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

    void Word(QStringView word, bool hasParam, int param) {
        if (word == u"bin") {
            // Binary data follows raw; step over it wherever it stands.
            if (hasParam && param > 0)
                FPos = std::min<qint64>(FSource.size(), FPos + param);
            return;
        }
        if (FState.dest == Destination::Skip)
            return;
        if (FSkipFallback > 0 && FState.dest == Destination::Text) {
            --FSkipFallback;
            return;
        }
        if (FIgnorable) {
            FIgnorable = false;
            FState.dest = word == u"pn" ? Destination::Numbering : Destination::Skip;
            return;
        }
        if (word == u"deff") {
            FDefaultFont = param;
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
            FState.dest = Destination::Numbering;
            return;
        }
        if (IsSkippedDestination(word)) {
            FState.dest = Destination::Skip;
            return;
        }

        switch (FState.dest) {
        case Destination::FontTable:
            if (word == u"f") {
                CommitFont();
                FFontNumber = param;
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
            if (word == u"pnlvlblt")
                FState.numbering = ListKind::Bullet;
            else if (word == u"pnlvlbody")
                FState.numbering = ListKind::Numbered;
            return;
        case Destination::Skip:
            return;
        case Destination::Text:
            break;
        }

        const bool on = !hasParam || param != 0;
        CharState& chr = FState.chr;
        if (word == u"par" || word == u"sect" || word == u"page") {
            Paragraph();
        } else if (word == u"line") {
            PutChar(QChar(QChar::LineSeparator));
        } else if (word == u"tab") {
            PutChar(u'\t');
        } else if (word == u"u") {
            if (hasParam) {
                const ushort unit = ushort(param & 0xFFFF); // negative values are the upper half
                if (unit != 0)
                    PutChar(QChar(unit));
                FSkipFallback = FState.uc;
            }
        } else if (word == u"uc") {
            FState.uc = std::clamp(param, 0, 10);
        } else if (word == u"pard") {
            FlushText();
            FState.para = ParaState();
        } else if (word == u"ql") {
            FState.para.alignment = Qt::AlignLeft;
        } else if (word == u"qc") {
            FState.para.alignment = Qt::AlignHCenter;
        } else if (word == u"qr") {
            FState.para.alignment = Qt::AlignRight;
        } else if (word == u"qj") {
            FState.para.alignment = Qt::AlignJustify;
        } else if (word == u"plain") {
            FlushText();
            chr = CharState();
        } else if (word == u"b") {
            FlushText();
            chr.bold = on;
        } else if (word == u"i") {
            FlushText();
            chr.italic = on;
        } else if (word == u"ulnone") {
            FlushText();
            chr.underline = false;
        } else if (word == u"ul" || (word.startsWith(u"ul") && word != u"ulc")) {
            // \uld, \uldb, \ulw, \ulwave ... all are underlined for us
            FlushText();
            chr.underline = on;
        } else if (word == u"strike") {
            FlushText();
            chr.strike = on;
        } else if (word == u"f") {
            FlushText();
            chr.font = param;
        } else if (word == u"fs") {
            FlushText();
            if (!hasParam)
                chr.halfPoints = DefaultHalfPoints;
            else if (param > 0)
                chr.halfPoints = std::min(param, MaxHalfPoints);
        } else if (word == u"cf") {
            FlushText();
            chr.color = param;
        } else if (word == u"bullet") {
            PutChar(QChar(0x2022));
        } else if (word == u"emdash") {
            PutChar(QChar(0x2014));
        } else if (word == u"endash") {
            PutChar(QChar(0x2013));
        } else if (word == u"lquote") {
            PutChar(QChar(0x2018));
        } else if (word == u"rquote") {
            PutChar(QChar(0x2019));
        } else if (word == u"ldblquote") {
            PutChar(QChar(0x201C));
        } else if (word == u"rdblquote") {
            PutChar(QChar(0x201D));
        }
        // Every other control word changes nothing we show.
    }

    void PutChar(QChar c) {
        if (FState.dest == Destination::Skip)
            return;
        if (FSkipFallback > 0 && FState.dest == Destination::Text) {
            --FSkipFallback;
            return;
        }
        switch (FState.dest) {
        case Destination::Text:
            if (c.unicode() >= 0x20 || c == u'\t')
                FText.append(c); // control characters are no text to show
            break;
        case Destination::FontTable:
            if (c == u';')
                CommitFont();
            else
                FFontName.append(c);
            break;
        case Destination::ColorTable:
            if (c == u';') {
                FColors.append(FColorSet ? QColor(FRed, FGreen, FBlue) : QColor());
                ResetColor();
            }
            break;
        case Destination::Numbering:
        case Destination::Skip:
            break;
        }
    }

    void EndGroup(const State& inner) {
        if (inner.dest == Destination::FontTable)
            CommitFont();
        // The numbering group describes the paragraph it stands in.
        if (inner.dest == Destination::Numbering && FState.dest != Destination::Numbering &&
            inner.numbering != ListKind::None)
            FState.para.list = inner.numbering;
    }

    void CommitFont() {
        const QString name = FFontName.trimmed();
        if (FFontNumber >= 0 && !name.isEmpty() && !FFonts.contains(FFontNumber))
            FFonts.insert(FFontNumber, name);
        FFontName.clear();
        FFontNumber = -1;
    }

    void ResetColor() {
        FRed = FGreen = FBlue = 0;
        FColorSet = false;
    }

    QTextCharFormat CharFormat() const {
        const CharState& chr = FState.chr;
        QTextCharFormat f;
        const QString family = FFonts.value(chr.font < 0 ? FDefaultFont : chr.font);
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

    // A paragraph mark only ends its paragraph: the next one is opened when
    // something follows, so the final \par of a text adds no empty line.
    void OpenPendingParagraph() {
        if (!FParagraphPending)
            return;
        FCursor.insertBlock(QTextBlockFormat(), CharFormat());
        FParagraphPending = false;
    }

    void FlushText() {
        if (FText.isEmpty())
            return;
        OpenPendingParagraph();
        FCursor.insertText(FText, CharFormat());
        FText.clear();
    }

    void Paragraph() {
        FlushText();
        OpenPendingParagraph();
        FinishBlock();
        FParagraphPending = true;
    }

    void FinishBlock() {
        QTextBlock block = FCursor.block();
        if (block.length() <= 1)
            FCursor.setBlockCharFormat(CharFormat()); // an empty line keeps its height
        QTextBlockFormat bf;
        bf.setAlignment(FState.para.alignment);
        FCursor.setBlockFormat(bf);
        if (FState.para.list == ListKind::None)
            return;
        const QTextListFormat::Style style =
            FState.para.list == ListKind::Bullet ? QTextListFormat::ListDisc : QTextListFormat::ListDecimal;
        // Consecutive paragraphs of the same kind form one list.
        QTextBlock previous = block.previous();
        QTextList* list = previous.isValid() ? previous.textList() : nullptr;
        if (list && list->format().style() == style) {
            list->add(block);
        } else {
            QTextListFormat lf;
            lf.setStyle(style);
            FCursor.createList(lf);
        }
    }

    void Finish() {
        FlushText();
        if (!FParagraphPending)
            FinishBlock();
    }

    static bool IsAsciiLetter(QChar c) { return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z'); }
    static int HexValue(QChar c) {
        if (c >= u'0' && c <= u'9')
            return c.unicode() - u'0';
        if (c >= u'a' && c <= u'f')
            return c.unicode() - u'a' + 10;
        if (c >= u'A' && c <= u'F')
            return c.unicode() - u'A' + 10;
        return -1;
    }

    const QString& FSource;
    QTextDocument& FDocument;
    QTextCursor FCursor;
    qsizetype FPos = 0;

    State FState;
    std::vector<State> FStack;
    bool FIgnorable = false;
    int FSkipFallback = 0;

    QHash<int, QString> FFonts;
    int FDefaultFont = 0;
    int FFontNumber = -1;
    QString FFontName;

    QList<QColor> FColors;
    int FRed = 0, FGreen = 0, FBlue = 0;
    bool FColorSet = false;

    QString FText;
    bool FParagraphPending = false;
};

// ---------------------------------------------------------------------------
// Writing

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
            Word(i == FSymbolFont ? u"fcharset2" : u"fcharset0");
            Text(FFonts.at(i));
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

        bool first = true;
        Qt::Alignment lastAlignment = Qt::AlignLeft;
        ListKind lastList = ListKind::None;
        for (QTextBlock block = FDocument.begin(); block.isValid(); block = block.next()) {
            const Qt::Alignment alignment = HorizontalAlignment(block);
            const ListKind list = ListOf(block);
            if (first || alignment != lastAlignment || list != lastList) {
                Word(u"pard");
                if (list != ListKind::None) {
                    ListText(block, list);
                    NumberingGroup(list);
                    Word(u"fi-360");
                    Word(u"li360");
                }
                if (alignment == Qt::AlignHCenter)
                    Word(u"qc");
                else if (alignment == Qt::AlignRight)
                    Word(u"qr");
                else if (alignment == Qt::AlignJustify)
                    Word(u"qj");
            } else if (list != ListKind::None) {
                ListText(block, list);
            }
            first = false;
            lastAlignment = alignment;
            lastList = list;

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
            Word(u"par");
            Raw(QStringLiteral("\r\n"));
        }
        Raw(QStringLiteral("}"));
        return FOut;
    }

private:
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

    static ListKind ListOf(const QTextBlock& block) {
        const QTextList* list = block.textList();
        if (!list)
            return ListKind::None;
        switch (list->format().style()) {
        case QTextListFormat::ListDisc:
        case QTextListFormat::ListCircle:
        case QTextListFormat::ListSquare:
        case QTextListFormat::ListStyleUndefined:
            return ListKind::Bullet;
        default:
            return ListKind::Numbered;
        }
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
        bool bullets = false;
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
            bullets = bullets || ListOf(block) == ListKind::Bullet;
        }
        if (FFonts.isEmpty())
            FFonts.append(FDocument.defaultFont().family());
        if (bullets) {
            FSymbolFont = int(FFonts.size());
            FFonts.append(QStringLiteral("Symbol"));
        }
    }

    // The paragraph's own bullet text, as rich-edit controls write it; readers
    // that know no numbering show it instead.
    void ListText(const QTextBlock& block, ListKind list) {
        Raw(QStringLiteral("{"));
        Word(u"pntext");
        if (list == ListKind::Bullet) {
            Word(QStringLiteral("f%1").arg(FSymbolFont));
            Raw(QStringLiteral("\\'b7"));
        } else {
            Word(u"f0");
            Text(QStringLiteral("%1.").arg(block.textList()->itemNumber(block) + 1));
        }
        Word(u"tab");
        Raw(QStringLiteral("}"));
    }

    void NumberingGroup(ListKind list) {
        Raw(QStringLiteral("{\\*"));
        Word(u"pn");
        if (list == ListKind::Bullet) {
            Word(u"pnlvlblt");
            Word(QStringLiteral("pnf%1").arg(FSymbolFont));
            Word(u"pnindent0");
            Raw(QStringLiteral("{"));
            Word(u"pntxtb");
            Raw(QStringLiteral("\\'b7}}"));
        } else {
            Word(u"pnlvlbody");
            Word(u"pnf0");
            Word(u"pnindent0");
            Word(u"pnstart1");
            Word(u"pndec");
            Raw(QStringLiteral("{"));
            Word(u"pntxta");
            Text(QStringLiteral("."));
            Raw(QStringLiteral("}}"));
        }
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

    void Text(const QString& text) {
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
    WriterCharState FChar;
};

} // namespace

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

QString Write(const QTextDocument& document) {
    return Writer(document).Run();
}

QString PlainText(const QString& text) {
    if (!IsRtf(text))
        return text;
    QTextDocument document;
    Read(text, document);
    return document.toPlainText();
}

} // namespace Rtf
