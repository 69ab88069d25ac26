// Colour styles on screen: ApplyStyle colours a window or an embedded frame
// from the rows of a style in set_style.
//
// A window's own elements are coloured; pages, frames and other windows placed
// inside it are left to their own call, so each of them keeps the colours it
// was last given.
#pragma once

#include "StyleColors.h"

#include <QColor>
#include <QList>

#include <functional>

class QWidget;

// Reads the rows of the style and applies them to the window or frame.
void ApplyStyle(int styleNumber, QWidget* window);
// Applies rows already read (the style editor's preview of unsaved squares).
void ApplyStyleRows(const QList<TStyleRow>& rows, QWidget* window);

// Marks a widget placed inside another window as a frame: the surrounding
// window's style call leaves it alone, it is coloured by its own call. Pages,
// classes named TFrame... and separate windows count as frames by themselves.
void MarkStyleFrame(QWidget* frame);

// The tab colours of the TabControl row read most recently, for windows that
// draw their own tabs.
struct TTabColors {
    QColor BG{0xE1, 0xE1, 0xE1};
    QColor BGHL{0xE1, 0xE1, 0xE1};
    QColor Font{0, 0, 0};
    QColor FontHL{0, 0, 0};
};
const TTabColors& StyleTabColors();

// Fills a panel's background and sets its text colour (palette roles, which
// the navigation column's pointer effect sets too).
void SetPanelColors(QWidget* w, const QColor& background, const QColor& text);

// The pointer effect colours of the navigation column (colours 1 to 8 of the
// Navigation row): items from the latest window with an item panel, group
// buttons from the latest window with a group button.
struct TNavHoverColors {
    QColor ItemBG{0xD7, 0xD7, 0xD7};
    QColor ItemBGHL{0xD7, 0xD7, 0xD7};
    QColor ItemFont{0, 0, 0};
    QColor ItemFontHL{0, 0, 0};
    QColor ButtonBG{0xD7, 0xD7, 0xD7};
    QColor ButtonBGHL{0xDC, 0xDC, 0xDC};
    QColor ButtonFont{0, 0, 0};
    QColor ButtonFontHL{0, 0, 0};
};
const TNavHoverColors& StyleNavHoverColors();
// Called whenever the navigation colours change (the main window takes them
// over for its pointer effect).
extern std::function<void(const TNavHoverColors&)> OnNavHoverColors;

// How the navigation area's naming scheme classifies a panel name.
enum class TNavPanelKind { None, Area, Item, Button, Title };
TNavPanelKind NavPanelKind(const QString& name);

// Charts live in a library the controls do not link; the statistics page
// installs this to colour its chart (background, title text).
extern std::function<void(QWidget* chart, const QColor& background, const QColor& title)> ChartStyler;
