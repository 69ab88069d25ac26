// The RTF reader: it reads the whole text into a plain model first
// (paragraphs and tables), then builds the document in one edit. Its parsing
// is in RtfReader.cpp, the building of lists and tables in RtfLists.cpp.
#pragma once

#include "RtfCommon.h"

#include <QColor>
#include <QHash>
#include <QList>
#include <QTextCharFormat>

#include <deque>
#include <variant>
#include <vector>

class QTextCursor;
class QTextDocument;
class QTextList;
class QTextTable;

namespace Rtf::Detail {

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

inline size_t qHash(const CharState& s, size_t seed = 0) {
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

// Inserting piece by piece while reading made every insertion pay for what
// was already there; so the reader builds the document only at the end.
class Reader {
public:
    Reader(const QString& source, QTextDocument& document) : FSource(source), FDocument(document) {}

    void Run();

private:
    // -- parsing ------------------------------------------------------------

    void Parse();
    void ReadControl();
    void Symbol(QChar c);
    void Word(QStringView word, bool hasParam, int param);
    void StartNumbering();
    void NumberingWord(QStringView word, int param);
    void ListTableWord(QStringView word, int param);
    void UnicodeCharacter(bool hasParam, int param);

    // A literal character or a control symbol standing for one.
    void PutChar(QChar c);

    // A byte given as \'xx: a character of the code page in force.
    void PutByte(uchar byte);
    void FlushBytes();
    int CodePageNow();

    int FontCharset(int font) const;
    void AppendChars(QStringView chars);
    void AppendText(QStringView chars);
    int CurrentFormat();

    // The paragraph properties belong to the paragraph being read: a group
    // that closes around its text, or the end of the document, does not take
    // them away again.
    void ParagraphChanged() { FParagraph = FState.para; }

    void EndGroup(const State& inner);
    void CommitFont();
    void ResetColor();

    // The paragraph read so far, with the properties it was given; the next
    // one starts with the properties in force.
    Paragraph TakeParagraph();
    void EndParagraph();
    void EndCell();
    void CloseCell();
    bool RowPending() const { return !FRowCells.empty() || !FCellParagraphs.empty(); }

    void EndRow();
    void Finish();

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

    static QTextListFormat::Style StyleOfLevelFormat(int format);

    const ListLevel* WordListLevel(int ls, int level) const;

    // The list a paragraph belongs to, as far as its text says; false when it is no list item.
    bool ClaimOf(const Paragraph& p, ListClaim& claim) const;
    static bool SameKind(const ListInfo& info, const ListClaim& claim);

    // The list to continue, or -1 for a new one.
    int ListToContinue(ListScope& scope, const ListClaim& claim);
    void InsertParagraph(QTextCursor& cursor, const Paragraph& p, bool& fresh, ListScope& scope);
    void InsertTable(QTextCursor& cursor, const Table& t, bool& fresh, ListScope& scope);
    static void MergeCells(const Table& t, QTextTable& table);

    QTextCharFormat FormatOf(const CharState& chr) const;
    void Build();
    static int HexValue(QChar c);

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

} // namespace Rtf::Detail
