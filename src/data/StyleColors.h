// Colours as the style table stores them, and the rows of a style.
//
// A stored colour is a 32-bit value with red in the lowest byte, green in the
// second and blue in the third (Windows byte order). The highest byte is 0 for a
// plain colour and FF for a colour of the desktop's colour scheme. Integer
// columns hold the value as a signed decimal number; the Colors column holds a
// sequence of values, each written as exactly eight upper-case hex digits.
//
// Every conversion between a stored value and a QColor goes through
// StoredToColor and ColorToStored, so screens and the editor agree on what a
// stored value looks like.
#pragma once

#include <QColor>
#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>

#include <optional>

// The QColor a stored value stands for. Desktop-scheme values are taken from the
// application's palette.
QColor StoredToColor(qint32 value);
// The stored value of a plain colour (highest byte 0).
qint32 ColorToStored(const QColor& color);

// Eight upper-case hex digits of a value, read as an unsigned 32-bit number.
QString StoredToHex(qint32 value);
// Reads eight hex digits back as a signed 32-bit value; nullopt when the text is
// not eight hex digits.
std::optional<qint32> HexToStored(QStringView digits);

// The n-th colour (counting from 1) of a Colors text; nullopt when the text is
// too short or the digits are not hexadecimal.
std::optional<qint32> ColorsEntry(const QString& colors, int n);
// All complete colours of a Colors text, in order (unreadable entries become 0).
QList<qint32> SplitColors(const QString& colors);
// The Colors text of a list of values.
QString JoinColors(const QList<qint32>& values);

// One row of set_style. Empty columns are nullopt / an empty text.
struct TStyleRow {
    QString Object;
    std::optional<qint32> BGColor;
    std::optional<qint32> BGHLColor;
    std::optional<qint32> FontColor;
    std::optional<qint32> FontHLColor;
    QString Colors;

    bool operator==(const TStyleRow&) const = default;
};

// Entries of the Navigation row's Colors text (counting from 1).
enum TNavColor {
    ncItemBG = 1,
    ncItemBGHL,
    ncItemFont,
    ncItemFontHL,
    ncButtonBG,
    ncButtonBGHL,
    ncButtonFont,
    ncButtonFontHL,
    ncTitleBG,
    ncTitleFont,
    ncTreeBG,
    ncTreeFont,
    NavColorCount = ncTreeFont
};

// Entries of the MainMenu row's colour map (counting from 1).
enum TMenuColor {
    mcBtnFrameColor = 1,
    mcBtnSelectedColor,
    mcColor,
    mcDisabledColor,
    mcDisabledFontColor,
    mcDisabledFontShadow,
    mcFontColor,
    mcFrameBottomRightInner,
    mcFrameBottomRightOuter,
    mcFrameTopLeftInner,
    mcFrameTopLeftOuter,
    mcHighlightColor,
    mcHotColor,
    mcHotFontColor,
    mcMenuColor,
    mcSelectedColor,
    mcSelectedFontColor,
    mcShadowColor,
    mcUnusedColor,
    MenuColorCount = mcUnusedColor
};

constexpr int CustomColorCount = 16;

// What the style editor holds between loading and saving: per kind of element
// the values of its colour squares (Colors of Grid, Navigation and MainMenu
// as their colour lists), the MainMenu text as it was loaded (its entries
// without a square are written back from it unchanged) and the colour
// dialog's custom colours.
struct TStyleSquares {
    QMap<QString, TStyleRow> Rows;
    QString MainMenuLoaded;
    QList<qint32> CustomColors;

    // The row of a kind (an empty row for a kind not loaded).
    TStyleRow& Row(const QString& object) {
        TStyleRow& r = Rows[object];
        r.Object = object;
        return r;
    }
};

// The kinds the editor offers, as stored in set_style's Object column.
const QStringList& StyleEditorKinds();
