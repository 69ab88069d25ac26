#include "Rtf.h"

#include "Win1252.h"

#include <QColor>
#include <QHash>
#include <QList>
#include <QStringDecoder>
#include <QTextBlock>
#include <QTextCharFormat>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextFrame>
#include <QTextList>
#include <QTextTable>

#include <algorithm>
#include <array>
#include <deque>
#include <map>
#include <memory>
#include <variant>
#include <vector>

namespace Rtf {

namespace {

// Font sizes are half-points; RTF's own default is 12 points.
constexpr int DefaultHalfPoints = 24;
// Rich-edit controls refuse anything above 1638 points; larger values are junk.
constexpr int MaxHalfPoints = 3276;
// One list level indents by half an inch (720 twips), as rich-edit controls do.
constexpr int TwipsPerListLevel = 720;
// The text width of an A4 page with 2 cm margins, in twips: the width a table
// is given when it is written.
constexpr int TableWidthTwips = 9638;
// The number a numbered list starts with, when it is not 1. Qt's list format
// has no such property (yet); keeping it lets the list be written back so.
constexpr int ListStartProperty = QTextFormat::UserProperty + 0x5254;

enum class ListKind { None, Bullet, Numbered };

// ---------------------------------------------------------------------------
// Code pages

// Upper halves of the Windows code pages for Central European and Cyrillic
// text. They are built in because Qt knows code pages other than Latin-1 and
// UTF only when it is built with ICU.
constexpr char16_t Cp1250High[128] = {
    0x20AC, 0x0081, 0x201A, 0x0083, 0x201E, 0x2026, 0x2020, 0x2021, 0x0088, 0x2030, 0x0160, 0x2039, 0x015A,
    0x0164, 0x017D, 0x0179, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014, 0x0098, 0x2122,
    0x0161, 0x203A, 0x015B, 0x0165, 0x017E, 0x017A, 0x00A0, 0x02C7, 0x02D8, 0x0141, 0x00A4, 0x0104, 0x00A6,
    0x00A7, 0x00A8, 0x00A9, 0x015E, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x017B, 0x00B0, 0x00B1, 0x02DB, 0x0142,
    0x00B4, 0x00B5, 0x00B6, 0x00B7, 0x00B8, 0x0105, 0x015F, 0x00BB, 0x013D, 0x02DD, 0x013E, 0x017C, 0x0154,
    0x00C1, 0x00C2, 0x0102, 0x00C4, 0x0139, 0x0106, 0x00C7, 0x010C, 0x00C9, 0x0118, 0x00CB, 0x011A, 0x00CD,
    0x00CE, 0x010E, 0x0110, 0x0143, 0x0147, 0x00D3, 0x00D4, 0x0150, 0x00D6, 0x00D7, 0x0158, 0x016E, 0x00DA,
    0x0170, 0x00DC, 0x00DD, 0x0162, 0x00DF, 0x0155, 0x00E1, 0x00E2, 0x0103, 0x00E4, 0x013A, 0x0107, 0x00E7,
    0x010D, 0x00E9, 0x0119, 0x00EB, 0x011B, 0x00ED, 0x00EE, 0x010F, 0x0111, 0x0144, 0x0148, 0x00F3, 0x00F4,
    0x0151, 0x00F6, 0x00F7, 0x0159, 0x016F, 0x00FA, 0x0171, 0x00FC, 0x00FD, 0x0163, 0x02D9,
};

constexpr char16_t Cp1251High[128] = {
    0x0402, 0x0403, 0x201A, 0x0453, 0x201E, 0x2026, 0x2020, 0x2021, 0x20AC, 0x2030, 0x0409, 0x2039, 0x040A,
    0x040C, 0x040B, 0x040F, 0x0452, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014, 0x0098, 0x2122,
    0x0459, 0x203A, 0x045A, 0x045C, 0x045B, 0x045F, 0x00A0, 0x040E, 0x045E, 0x0408, 0x00A4, 0x0490, 0x00A6,
    0x00A7, 0x0401, 0x00A9, 0x0404, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x0407, 0x00B0, 0x00B1, 0x0406, 0x0456,
    0x0491, 0x00B5, 0x00B6, 0x00B7, 0x0451, 0x2116, 0x0454, 0x00BB, 0x0458, 0x0405, 0x0455, 0x0457, 0x0410,
    0x0411, 0x0412, 0x0413, 0x0414, 0x0415, 0x0416, 0x0417, 0x0418, 0x0419, 0x041A, 0x041B, 0x041C, 0x041D,
    0x041E, 0x041F, 0x0420, 0x0421, 0x0422, 0x0423, 0x0424, 0x0425, 0x0426, 0x0427, 0x0428, 0x0429, 0x042A,
    0x042B, 0x042C, 0x042D, 0x042E, 0x042F, 0x0430, 0x0431, 0x0432, 0x0433, 0x0434, 0x0435, 0x0436, 0x0437,
    0x0438, 0x0439, 0x043A, 0x043B, 0x043C, 0x043D, 0x043E, 0x043F, 0x0440, 0x0441, 0x0442, 0x0443, 0x0444,
    0x0445, 0x0446, 0x0447, 0x0448, 0x0449, 0x044A, 0x044B, 0x044C, 0x044D, 0x044E, 0x044F,
};

// The code page a font's \fcharset stands for; 0 when the charset has none of
// its own and the document's \ansicpg applies. The symbol charset reads as
// 1252, as it always has here.
int CodePageOfCharset(int charset) {
    switch (charset) {
    case 0:
    case 2:
        return 1252;
    case 77:
        return 10000;
    case 128:
        return 932;
    case 129:
        return 949;
    case 130:
        return 1361;
    case 134:
        return 936;
    case 136:
        return 950;
    case 161:
        return 1253;
    case 162:
        return 1254;
    case 163:
        return 1258;
    case 177:
        return 1255;
    case 178:
        return 1256;
    case 186:
        return 1257;
    case 204:
        return 1251;
    case 222:
        return 874;
    case 238:
        return 1250;
    case 254:
        return 437;
    case 255:
        return 850;
    default:
        return 0;
    }
}

bool IsMultiByte(int codePage) {
    return codePage == 932 || codePage == 936 || codePage == 949 || codePage == 950 || codePage == 1361;
}

// Qt's decoder for a code page, when Qt knows it (through ICU).
QStringDecoder SystemDecoder(int codePage) {
    QList<QByteArray> names;
    switch (codePage) {
    case 932:
        names = {"Shift_JIS", "windows-932"};
        break;
    case 936:
        names = {"GBK", "windows-936"};
        break;
    case 949:
        names = {"windows-949", "CP949", "EUC-KR"};
        break;
    case 950:
        names = {"Big5", "windows-950"};
        break;
    case 1361:
        names = {"johab", "windows-1361"};
        break;
    case 10000:
        names = {"macintosh"};
        break;
    case 437:
    case 850:
        names = {"IBM" + QByteArray::number(codePage)};
        break;
    default:
        names = {"windows-" + QByteArray::number(codePage), "CP" + QByteArray::number(codePage)};
        break;
    }
    for (const QByteArray& name : std::as_const(names)) {
        QStringDecoder decoder(name.constData());
        if (decoder.isValid())
            return decoder;
    }
    return QStringDecoder();
}

// Turns the bytes of \'xx escapes into characters, one code page at a time.
class CodePages {
public:
    // The characters of the 256 bytes of a single-byte code page; an unknown
    // code page reads as 1252.
    const std::array<char16_t, 256>& Table(int codePage) {
        auto it = FTables.find(codePage);
        if (it == FTables.end())
            it = FTables.emplace(codePage, BuildTable(codePage)).first;
        return it->second;
    }

    QString DecodeMultiByte(int codePage, const QByteArray& bytes) {
        auto it = FDecoders.find(codePage);
        if (it == FDecoders.end())
            it = FDecoders.emplace(codePage, std::make_unique<QStringDecoder>(SystemDecoder(codePage))).first;
        QStringDecoder& decoder = *it->second;
        if (!decoder.isValid()) {
            QString text;
            const auto& table = Table(1252);
            for (const char b : bytes)
                text.append(QChar(table[uchar(b)]));
            return text;
        }
        QString text = decoder.decode(bytes);
        decoder.resetState();
        return text;
    }

private:
    static std::array<char16_t, 256> BuildTable(int codePage) {
        std::array<char16_t, 256> table{};
        for (int b = 0; b < 256; ++b) {
            const char c = char(b);
            table[size_t(b)] = Win1252::decode(&c, 1).at(0).unicode();
        }
        if (codePage == 1250 || codePage == 1251) {
            const char16_t* high = codePage == 1250 ? Cp1250High : Cp1251High;
            std::copy(high, high + 128, table.begin() + 128);
        } else if (codePage != 1252 && codePage > 0) {
            QStringDecoder decoder = SystemDecoder(codePage);
            if (decoder.isValid()) {
                for (int b = 128; b < 256; ++b) {
                    const char c = char(b);
                    const QString s = decoder.decode(QByteArrayView(&c, 1));
                    decoder.resetState();
                    if (s.size() == 1 && s.at(0) != QChar::ReplacementCharacter)
                        table[size_t(b)] = s.at(0).unicode();
                }
            }
        }
        return table;
    }

    std::map<int, std::array<char16_t, 256>> FTables;
    std::map<int, std::unique_ptr<QStringDecoder>> FDecoders;
};

// ---------------------------------------------------------------------------
// List markers

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

// ---------------------------------------------------------------------------
// Reading

enum class Destination {
    Text,
    FontTable,
    ColorTable,
    Numbering,     // {\*\pn ...}: the numbering of the paragraph it stands in
    NumberingText, // {\pntxta ...} / {\pntxtb ...} inside it
    Marker,        // {\pntext ...} / {\listtext ...}: the marker as text
    ListTable,
    LevelText,
    ListOverrides,
    Skip
};

enum class Capture { None, TextAfter, TextBefore };

struct CharState {
    int font = -1; // -1: the default font (\deff)
    int halfPoints = DefaultHalfPoints;
    bool bold = false;
    bool italic = false;
    bool underline = false;
    bool strike = false;
    int color = 0; // 0: automatic
    bool operator==(const CharState&) const = default;
};

size_t qHash(const CharState& s, size_t seed = 0) {
    return qHashMulti(seed, s.font, s.halfPoints, s.bold, s.italic, s.underline, s.strike, s.color);
}

// What a {\*\pn ...} group says.
struct Numbering {
    ListKind kind = ListKind::None;
    QTextListFormat::Style style = QTextListFormat::ListDecimal;
    int start = 0;         // \pnstart; 0 when not given
    int font = -1;         // \pnf
    QString before, after; // \pntxtb, \pntxta
    bool own = false;      // given in this paragraph, not carried over from the one before
};

struct ParaState {
    Qt::Alignment alignment = Qt::AlignLeft;
    bool inTable = false;
    int leftIndent = 0; // twips
    Numbering pn;
    int ls = 0; // word-processor list (\lsN), 0 for none
    int level = 0;
};

struct State {
    Destination dest = Destination::Text;
    Capture capture = Capture::None;
    CharState chr;
    ParaState para;
    int uc = 1;   // fallback characters after \u
    Numbering pn; // the numbering group being read
};

struct ListLevel {
    int format = 0; // \levelnfc
    int start = 1;
    QString text; // \leveltext: length, then text with the placeholders 0..8
};

struct ListDefinition {
    int id = 0;
    std::vector<ListLevel> levels;
};

struct ListOverride {
    int listId = 0;
    int ls = 0;
};

struct TextRun {
    qsizetype length;
    int format;
};

struct Paragraph {
    ParaState props;
    QString text;
    std::vector<TextRun> runs;
    int endFormat = 0; // the format at the paragraph mark: an empty line keeps its height
    QString marker;    // the list marker as text (\pntext, \listtext)
};

struct CellDefinition {
    int right = 0;                                // twips
    bool mergeFirst = false, mergeNext = false;   // \clmgf, \clmrg
    bool vMergeFirst = false, vMergeNext = false; // \clvmgf, \clvmrg
};

struct Cell {
    std::vector<Paragraph> paragraphs;
    CellDefinition definition;
};

struct Row {
    std::vector<Cell> cells;
    int left = 0; // \trleft: where the first cell begins
    bool borders = false;
};

struct Table {
    std::vector<Row> rows;
};

using Item = std::variant<Paragraph, Table>;

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
class Reader {
public:
    Reader(const QString& source, QTextDocument& document) : FSource(source), FDocument(document) {}

    void Run() {
        Parse();
        Build();
    }

private:
    // -- parsing ------------------------------------------------------------

    void Parse() {
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

    void ReadControl() {
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

    void StartNumbering() {
        FState.dest = Destination::Numbering;
        FState.pn = Numbering();
    }

    void NumberingWord(QStringView word, int param) {
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

    void ListTableWord(QStringView word, int param) {
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

    void UnicodeCharacter(bool hasParam, int param) {
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
    void PutChar(QChar c) {
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
    void PutByte(uchar byte) {
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

    void FlushBytes() {
        if (FBytes.isEmpty())
            return;
        const QString text = FCodePages.DecodeMultiByte(FBytesCodePage, FBytes);
        FBytes.clear();
        AppendChars(text);
    }

    int CodePageNow() {
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

    int FontCharset(int font) const {
        const auto it = FFonts.constFind(font);
        return it == FFonts.constEnd() ? -1 : it->charset;
    }

    void AppendChars(QStringView chars) {
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

    void AppendText(QStringView chars) {
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

    int CurrentFormat() {
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

    // The paragraph properties belong to the paragraph being read: a group
    // that closes around its text, or the end of the document, does not take
    // them away again.
    void ParagraphChanged() { FParagraph = FState.para; }

    void EndGroup(const State& inner) {
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

    void CommitFont() {
        const QString name = FFontName.trimmed();
        if (FFontNumber >= 0 && !name.isEmpty() && !FFonts.contains(FFontNumber))
            FFonts.insert(FFontNumber, FontEntry{name, FFontCharset});
        FFontName.clear();
        FFontNumber = -1;
        FFontCharset = -1;
    }

    void ResetColor() {
        FRed = FGreen = FBlue = 0;
        FColorSet = false;
    }

    // The paragraph read so far, with the properties it was given; the next
    // one starts with the properties in force.
    Paragraph TakeParagraph() {
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

    void EndParagraph() {
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

    void EndCell() {
        Paragraph p = TakeParagraph();
        p.props.inTable = true;
        FCellParagraphs.push_back(std::move(p));
        CloseCell();
    }

    void CloseCell() {
        Cell cell;
        cell.paragraphs = std::move(FCellParagraphs);
        FCellParagraphs.clear();
        FRowCells.push_back(std::move(cell));
    }

    bool RowPending() const { return !FRowCells.empty() || !FCellParagraphs.empty(); }

    void EndRow() {
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

    void Finish() {
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

    // -- building -------------------------------------------------------------

    struct ListInfo {
        QTextList* list = nullptr;
        QTextListFormat::Style style = QTextListFormat::ListDisc;
        int indent = 1;
        int next = 1; // the number of the next item
        bool word = false;
        int ls = 0;
        int level = 0;
    };

    // The lists of one stretch of text: the document outside tables, or one cell.
    struct ListScope {
        std::deque<ListInfo> lists;
        int previous = -1;            // the list of the paragraph just inserted
        QHash<qint64, int> wordLists; // (ls, level) -> list
    };

    struct ListClaim {
        QTextListFormat format;
        int number = 0; // the item's number as its text shows it; 0 when unknown
        bool own = false;
        bool word = false;
        int ls = 0;
        int level = 0;
        int start = 1;
    };

    static QTextListFormat::Style StyleOfLevelFormat(int format) {
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

    const ListLevel* WordListLevel(int ls, int level) const {
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
    bool ClaimOf(const Paragraph& p, ListClaim& claim) const {
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
                const QString text =
                    level->text.mid(1, level->text.isEmpty() ? 0 : level->text.at(0).unicode());
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
                    const qsizetype first = std::find_if(marker.begin(), marker.end(),
                                                         [](QChar c) { return c.isLetterOrNumber(); }) -
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

    static bool SameKind(const ListInfo& info, const ListClaim& claim) {
        return !info.word && info.style == claim.format.style() && info.indent == claim.format.indent();
    }

    // The list to continue, or -1 for a new one.
    int ListToContinue(ListScope& scope, const ListClaim& claim) {
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

    void InsertParagraph(QTextCursor& cursor, const Paragraph& p, bool& fresh, ListScope& scope) {
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

        const QTextCharFormat& blockChar =
            FFormats[size_t(p.runs.empty() ? p.endFormat : p.runs.front().format)];
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

    void InsertTable(QTextCursor& cursor, const Table& t, bool& fresh, ListScope& scope) {
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

    static void MergeCells(const Table& t, QTextTable& table) {
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

    QTextCharFormat FormatOf(const CharState& chr) const {
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

    void Build() {
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

    static int HexValue(QChar c) {
        if (c >= u'0' && c <= u'9')
            return c.unicode() - u'0';
        if (c >= u'a' && c <= u'f')
            return c.unicode() - u'a' + 10;
        if (c >= u'A' && c <= u'F')
            return c.unicode() - u'A' + 10;
        return -1;
    }

    struct FontEntry {
        QString name;
        int charset = -1;
    };

    const QString& FSource;
    QTextDocument& FDocument;
    qsizetype FPos = 0;

    State FState;
    std::vector<State> FStack;
    bool FIgnorable = false;
    int FSkipFallback = 0;

    CodePages FCodePages;
    int FAnsiCodePage = 1252;
    QByteArray FBytes; // \'xx bytes of a multi-byte code page, decoded together
    int FBytesCodePage = 0;

    QHash<int, FontEntry> FFonts;
    int FDefaultFont = 0;
    int FFontNumber = -1;
    int FFontCharset = -1;
    QString FFontName;

    QList<QColor> FColors;
    int FRed = 0, FGreen = 0, FBlue = 0;
    bool FColorSet = false;

    QString FCaptured; // the text of a \pntxta, \pntxtb or \leveltext group
    std::vector<ListDefinition> FListDefinitions;
    std::vector<ListOverride> FOverrides;

    std::vector<CharState> FFormatStates;
    QHash<CharState, int> FFormatIndex;
    int FCurrentFormat = 0;
    bool FFormatDirty = true;
    std::vector<QTextCharFormat> FFormats;

    std::vector<Item> FItems;
    Paragraph FPara;      // the paragraph being read
    ParaState FParagraph; // its properties
    bool FPendingTab = false;
    std::vector<Paragraph> FCellParagraphs;
    std::vector<Cell> FRowCells;
    std::vector<CellDefinition> FRowDefinitions;
    CellDefinition FCellDefinition;
    bool FRowBorders = false;
    int FRowLeft = 0;
    bool FTableOpen = false;
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
