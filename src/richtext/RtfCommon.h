// What the RTF reader and writer share: the measures of the rich-edit
// dialect, the code pages of \'xx escapes and the list markers.
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringDecoder>
#include <QTextFormat>
#include <QTextListFormat>

#include <array>
#include <map>
#include <memory>

namespace Rtf::Detail {

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

// The code page a font's \fcharset stands for; 0 when the charset has none of
// its own and the document's \ansicpg applies.
int CodePageOfCharset(int charset);

// True for the code pages whose characters take one or two bytes.
bool IsMultiByte(int codePage);

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

    QString DecodeMultiByte(int codePage, const QByteArray& bytes);

private:
    static std::array<char16_t, 256> BuildTable(int codePage);

    std::map<int, std::array<char16_t, 256>> FTables;
    std::map<int, std::unique_ptr<QStringDecoder>> FDecoders;
};

// ---------------------------------------------------------------------------
// List markers

bool IsAsciiLetter(QChar c);
bool IsBulletStyle(QTextListFormat::Style style);

// The marker text of item n in a list of the style ("3.", "c)" without the
// punctuation).
QString NumberText(int n, QTextListFormat::Style style);

// The bullet style a bullet character stands for.
QTextListFormat::Style BulletStyle(const QString& text);

} // namespace Rtf::Detail
