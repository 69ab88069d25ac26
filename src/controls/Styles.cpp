#include "Styles.h"

#include "UDM.h"

#include <QAbstractButton>
#include <QAbstractSlider>
#include <QAbstractSpinBox>
#include <QCalendarWidget>
#include <QCheckBox>
#include <QComboBox>
#include <QDateTimeEdit>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollArea>
#include <QStatusBar>
#include <QTabBar>
#include <QTableView>
#include <QTextEdit>
#include <QTreeView>

std::function<void(const TNavHoverColors&)> OnNavHoverColors;
std::function<void(QWidget*, const QColor&, const QColor&)> ChartStyler;

namespace {

TTabColors TabColors;
TNavHoverColors NavColors;

const char* const FrameProperty = "qvStyleFrame";

QString Css(const QColor& c) {
    return c.name(QColor::HexRgb);
}

QColor Col(const std::optional<qint32>& value, const QColor& fallback) {
    return value ? StoredToColor(*value) : fallback;
}

QColor Entry(const QString& colors, int n) {
    return StoredToColor(ColorsEntry(colors, n).value_or(0));
}

bool InheritsClassPrefix(const QWidget* w, QLatin1String prefix) {
    for (const QMetaObject* m = w->metaObject(); m; m = m->superClass())
        if (QLatin1String(m->className()).startsWith(prefix))
            return true;
    return false;
}

// Windows, pages and frames inside a window are coloured by their own call.
bool IsOwnStyleUnit(const QWidget* w) {
    if (w->isWindow() || w->property(FrameProperty).toBool())
        return true;
    for (const QMetaObject* m = w->metaObject(); m; m = m->superClass())
        if (QLatin1String(m->className()) == QLatin1String("TPage"))
            return true;
    return InheritsClassPrefix(w, QLatin1String("TFrame"));
}

// Controls whose inner widgets belong to the control itself.
bool IsWholeControl(const QWidget* w) {
    return qobject_cast<const QAbstractButton*>(w) || qobject_cast<const QLineEdit*>(w) ||
           qobject_cast<const QComboBox*>(w) || qobject_cast<const QAbstractSpinBox*>(w) ||
           qobject_cast<const QLabel*>(w) || qobject_cast<const QMenuBar*>(w) ||
           qobject_cast<const QStatusBar*>(w) || qobject_cast<const QTabBar*>(w) ||
           qobject_cast<const QCalendarWidget*>(w) || qobject_cast<const QProgressBar*>(w) ||
           qobject_cast<const QAbstractSlider*>(w) ||
           (qobject_cast<const QAbstractScrollArea*>(w) && !qobject_cast<const QScrollArea*>(w));
}

// The elements owned directly by a window or frame, in tree order.
void CollectOwn(QWidget* parent, QList<QWidget*>& out) {
    for (QObject* o : parent->children()) {
        auto* w = qobject_cast<QWidget*>(o);
        if (!w || IsOwnStyleUnit(w))
            continue;
        out << w;
        if (auto* area = qobject_cast<QScrollArea*>(w)) {
            if (QWidget* content = area->widget(); content && !IsOwnStyleUnit(content)) {
                out << content;
                CollectOwn(content, out);
            }
        } else if (!IsWholeControl(w)) {
            CollectOwn(w, out);
        }
    }
}

bool StartsWithNav(const QWidget* w) {
    return w->objectName().startsWith(QLatin1String("PNav"));
}

// Labels inside a title bar, a navigation panel or a status bar take that
// element's colours, not the window's.
bool HasColouredPanelAncestor(const QWidget* w, const QWidget* root) {
    for (const QWidget* p = w->parentWidget(); p && p != root; p = p->parentWidget())
        if (p->objectName() == QLatin1String("PTitel") ||
            NavPanelKind(p->objectName()) != TNavPanelKind::None || qobject_cast<const QStatusBar*>(p))
            return true;
    return false;
}

template <class T> QList<T*> OfType(const QList<QWidget*>& elements) {
    QList<T*> result;
    for (QWidget* w : elements)
        if (auto* t = qobject_cast<T*>(w))
            result << t;
    return result;
}

QString BasicSheet(const char* type, const QColor& bg, const QColor& fg) {
    return QStringLiteral("%1 { background-color: %2; color: %3; }")
        .arg(QLatin1String(type), Css(bg), Css(fg));
}

void StyleForm(QWidget* root, const QList<QWidget*>& elements, const QColor& bg, const QColor& fg) {
    QPalette p = root->palette();
    p.setColor(QPalette::Window, bg);
    root->setPalette(p);
    root->setAutoFillBackground(true);
    for (QWidget* w : elements) {
        auto* label = qobject_cast<QLabel*>(w);
        // Navigation buttons are labels too, but have colours of their own.
        if (!label || StartsWithNav(label) || label->objectName() == QLatin1String("PTitel") ||
            HasColouredPanelAncestor(label, root))
            continue;
        QPalette lp = label->palette();
        lp.setColor(QPalette::WindowText, fg);
        label->setPalette(lp);
    }
}

void StyleNavigation(const QList<QWidget*>& elements, const TStyleRow& row) {
    bool hasItem = false, hasButton = false;
    const QColor areaBG = Col(row.BGColor, QColor(0xD7, 0xD7, 0xD7));
    const QColor areaFont = Col(row.FontColor, Qt::black);
    for (QWidget* w : elements) {
        switch (NavPanelKind(w->objectName())) {
        case TNavPanelKind::Area:
            SetPanelColors(w, areaBG, areaFont);
            break;
        case TNavPanelKind::Item: {
            hasItem = true;
            const QColor bg = Entry(row.Colors, ncItemBG), fg = Entry(row.Colors, ncItemFont);
            SetPanelColors(w, bg, fg);
            // The entry's caption label, inside the panel or beside it.
            QString labelName = w->objectName();
            labelName[labelName.size() - 2] = QLatin1Char('L');
            QList<QLabel*> labels = w->findChildren<QLabel*>();
            if (w->parentWidget())
                if (auto* beside =
                        w->parentWidget()->findChild<QLabel*>(labelName, Qt::FindDirectChildrenOnly))
                    labels << beside;
            for (QLabel* l : labels)
                SetPanelColors(l, bg, fg);
            break;
        }
        case TNavPanelKind::Button:
            hasButton = true;
            SetPanelColors(w, Entry(row.Colors, ncButtonBG), Entry(row.Colors, ncButtonFont));
            break;
        case TNavPanelKind::Title:
            SetPanelColors(w, Entry(row.Colors, ncTitleBG), Entry(row.Colors, ncTitleFont));
            break;
        case TNavPanelKind::None:
            break;
        }
    }
    for (QTreeView* tree : OfType<QTreeView>(elements))
        if (tree->isHeaderHidden())
            tree->setStyleSheet(
                BasicSheet("QTreeView", Entry(row.Colors, ncTreeBG), Entry(row.Colors, ncTreeFont)));

    if (hasItem) {
        NavColors.ItemBG = Entry(row.Colors, ncItemBG);
        NavColors.ItemBGHL = Entry(row.Colors, ncItemBGHL);
        NavColors.ItemFont = Entry(row.Colors, ncItemFont);
        NavColors.ItemFontHL = Entry(row.Colors, ncItemFontHL);
    }
    if (hasButton) {
        NavColors.ButtonBG = Entry(row.Colors, ncButtonBG);
        NavColors.ButtonBGHL = Entry(row.Colors, ncButtonBGHL);
        NavColors.ButtonFont = Entry(row.Colors, ncButtonFont);
        NavColors.ButtonFontHL = Entry(row.Colors, ncButtonFontHL);
    }
    if ((hasItem || hasButton) && OnNavHoverColors)
        OnNavHoverColors(NavColors);
}

QString MenuSheet(const QString& colors) {
    const auto c = [&](int n) { return Css(Entry(colors, n)); };
    return QStringLiteral(
               "QMenuBar { background-color: %1; color: %2; }"
               "QMenuBar::item { background: transparent; padding: 3px 8px; border: 1px solid transparent; }"
               "QMenuBar::item:selected { background-color: %3; color: %4; border: 1px solid %5; }"
               "QMenuBar::item:pressed { background-color: %6; color: %4; border: 1px solid %5; }"
               "QMenuBar::item:disabled { color: %7; }")
        .arg(c(mcColor), c(mcFontColor), c(mcSelectedColor), c(mcSelectedFontColor), c(mcBtnFrameColor),
             c(mcBtnSelectedColor), c(mcDisabledFontColor));
}

QString DropDownSheet(const QString& colors) {
    const auto c = [&](int n) { return Css(Entry(colors, n)); };
    return QStringLiteral(
               "QMenu { background-color: %1; color: %2; border-top: 1px solid %3; border-left: 1px "
               "solid %3; border-bottom: 1px solid %4; border-right: 1px solid %4; padding: 2px; }"
               "QMenu::item { padding: 3px 24px 3px 20px; border: 1px solid transparent; }"
               "QMenu::item:selected { background-color: %5; color: %6; border: 1px solid %7; }"
               "QMenu::item:disabled { color: %8; }"
               "QMenu::separator { height: 1px; background: %9; margin: 3px 4px; }")
        .arg(c(mcMenuColor), c(mcFontColor), c(mcFrameTopLeftOuter), c(mcFrameBottomRightOuter),
             c(mcSelectedColor), c(mcSelectedFontColor), c(mcBtnFrameColor), c(mcDisabledFontColor),
             c(mcFrameBottomRightOuter));
}

void StyleMenus(QMenu* menu, const QString& sheet) {
    menu->setStyleSheet(sheet);
    for (QAction* a : menu->actions())
        if (a->menu())
            StyleMenus(a->menu(), sheet);
}

QString ButtonSheet(const QColor& bg, const QColor& fg) {
    return QStringLiteral(
               "QPushButton { background-color: %1; color: %2; border: 1px solid %3; border-radius: "
               "3px; padding: 4px 12px; }"
               "QPushButton:hover { border-color: %4; }"
               "QPushButton:pressed { background-color: %5; }"
               "QPushButton:default { border-color: %4; }"
               "QPushButton:disabled { color: %6; }")
        .arg(Css(bg), Css(fg), Css(bg.darker(150)), Css(QColor(0x3C, 0x7F, 0xB1)), Css(bg.darker(112)),
             Css(bg.darker(160)));
}

QString GroupBoxSheet(const QColor& bg, const QColor& fg) {
    return QStringLiteral(
               "QGroupBox { background-color: %1; color: %2; border: 1px solid %3; border-radius: 3px; "
               "margin-top: 1.1em; padding-top: 0.3em; }"
               "QGroupBox::title { subcontrol-origin: margin; left: 8px; padding: 0 3px; color: %2; }"
               "QGroupBox > QRadioButton { color: %2; }")
        .arg(Css(bg), Css(fg), Css(bg.darker(140)));
}

QString GridSheet(const QColor& bg, const QColor& fg, const QColor& fixed) {
    return QStringLiteral(
               "QTableView { background-color: %1; color: %2; gridline-color: %4; }"
               "QHeaderView::section { background-color: %3; color: %2; border: none; border-right: 1px "
               "solid %4; border-bottom: 1px solid %4; padding: 2px 4px; }"
               "QTableCornerButton::section { background-color: %3; border: none; border-right: 1px "
               "solid %4; border-bottom: 1px solid %4; }")
        .arg(Css(bg), Css(fg), Css(fixed), Css(fixed.darker(125)));
}

void ApplyRow(const TStyleRow& row, QWidget* root, const QList<QWidget*>& elements) {
    const QString& kind = row.Object;
    const QColor bg = Col(row.BGColor, QColor(0xE1, 0xE1, 0xE1));
    const QColor fg = Col(row.FontColor, Qt::black);

    if (kind == QLatin1String("Form")) {
        StyleForm(root, elements, bg, fg);
    } else if (kind == QLatin1String("StatusBar")) {
        for (QStatusBar* s : OfType<QStatusBar>(elements))
            s->setStyleSheet(BasicSheet("QStatusBar", bg, fg) +
                             QStringLiteral("QStatusBar QLabel { color: %1; }").arg(Css(fg)));
    } else if (kind == QLatin1String("Navigation")) {
        StyleNavigation(elements, row);
    } else if (kind == QLatin1String("MainMenu")) {
        for (QMenuBar* bar : OfType<QMenuBar>(elements)) {
            bar->setStyleSheet(MenuSheet(row.Colors));
            for (QAction* a : bar->actions())
                if (a->menu())
                    StyleMenus(a->menu(), DropDownSheet(row.Colors));
        }
    } else if (kind == QLatin1String("Titel")) {
        for (QWidget* w : elements)
            if (w->objectName() == QLatin1String("PTitel"))
                SetPanelColors(w, bg, fg);
    } else if (kind == QLatin1String("Edit")) {
        for (QWidget* w : elements) {
            if (qobject_cast<QLineEdit*>(w))
                w->setStyleSheet(BasicSheet("QLineEdit", bg, fg));
            else if (qobject_cast<QAbstractSpinBox*>(w) && !qobject_cast<QDateTimeEdit*>(w))
                w->setStyleSheet(BasicSheet("QAbstractSpinBox", bg, fg));
        }
    } else if (kind == QLatin1String("ComboBox")) {
        for (QComboBox* c : OfType<QComboBox>(elements))
            c->setStyleSheet(BasicSheet("QComboBox", bg, fg) +
                             BasicSheet("QComboBox QAbstractItemView", bg, fg));
    } else if (kind == QLatin1String("ListBox")) {
        for (QListView* l : OfType<QListView>(elements))
            l->setStyleSheet(BasicSheet("QListView", bg, fg));
    } else if (kind == QLatin1String("Grid")) {
        const QColor fixed = Entry(row.Colors, 1);
        for (QTableView* t : OfType<QTableView>(elements))
            t->setStyleSheet(GridSheet(bg, fg, fixed));
    } else if (kind == QLatin1String("Button")) {
        for (QPushButton* b : OfType<QPushButton>(elements))
            b->setStyleSheet(ButtonSheet(bg, fg));
    } else if (kind == QLatin1String("Memo")) {
        for (QWidget* w : elements) {
            if (qobject_cast<QTextEdit*>(w))
                w->setStyleSheet(BasicSheet("QTextEdit", bg, fg));
            else if (qobject_cast<QPlainTextEdit*>(w))
                w->setStyleSheet(BasicSheet("QPlainTextEdit", bg, fg));
        }
    } else if (kind == QLatin1String("DateTimePicker")) {
        for (QDateTimeEdit* d : OfType<QDateTimeEdit>(elements))
            d->setStyleSheet(BasicSheet("QDateTimeEdit", bg, fg));
    } else if (kind == QLatin1String("ListView")) {
        for (QTreeView* t : OfType<QTreeView>(elements))
            if (!t->isHeaderHidden())
                t->setStyleSheet(BasicSheet("QTreeView", bg, fg));
    } else if (kind == QLatin1String("CheckBox")) {
        for (QCheckBox* c : OfType<QCheckBox>(elements))
            c->setStyleSheet(BasicSheet("QCheckBox", bg, fg));
    } else if (kind == QLatin1String("TabControl")) {
        TabColors = {bg, Col(row.BGHLColor, bg), fg, Col(row.FontHLColor, fg)};
        for (QTabBar* t : OfType<QTabBar>(elements)) {
            QPalette p = t->palette();
            p.setColor(QPalette::WindowText, fg);
            p.setColor(QPalette::ButtonText, fg);
            t->setPalette(p);
        }
    } else if (kind == QLatin1String("GroupBox")) {
        for (QGroupBox* g : OfType<QGroupBox>(elements))
            g->setStyleSheet(GroupBoxSheet(bg, fg));
    } else if (kind == QLatin1String("Chart")) {
        if (ChartStyler)
            for (QWidget* w : elements)
                if (w->inherits("QChartView"))
                    ChartStyler(w, bg, fg);
    }
}

} // namespace

// Fills the panel's background and sets its text colour. Palettes rather
// than a style sheet, so that the main window's pointer effect, which sets
// the same palette roles, keeps working on the navigation panels.
void SetPanelColors(QWidget* w, const QColor& background, const QColor& text) {
    QPalette p = w->palette();
    p.setColor(QPalette::Window, background);
    p.setColor(QPalette::Button, background);
    p.setColor(QPalette::WindowText, text);
    p.setColor(QPalette::ButtonText, text);
    p.setColor(QPalette::Text, text);
    w->setPalette(p);
    w->setAutoFillBackground(true);
}

TNavPanelKind NavPanelKind(const QString& name) {
    if (!name.startsWith(QLatin1String("PNav")))
        return TNavPanelKind::None;
    if (name.endsWith(QLatin1Char('A')))
        return TNavPanelKind::Area;
    if (name.size() >= 2 && name.at(name.size() - 2) == QLatin1Char('I'))
        return TNavPanelKind::Item;
    if (name.size() == 5)
        return TNavPanelKind::Button;
    if (name.endsWith(QLatin1Char('T')))
        return TNavPanelKind::Title;
    return TNavPanelKind::None;
}

void MarkStyleFrame(QWidget* frame) {
    frame->setProperty(FrameProperty, true);
}

const TTabColors& StyleTabColors() {
    return TabColors;
}

const TNavHoverColors& StyleNavHoverColors() {
    return NavColors;
}

void ApplyStyleRows(const QList<TStyleRow>& rows, QWidget* window) {
    if (!window)
        return;
    QList<QWidget*> elements;
    CollectOwn(window, elements);
    for (const TStyleRow& row : rows)
        ApplyRow(row, window, elements);
}

void ApplyStyle(int styleNumber, QWidget* window) {
    if (!window || !DM)
        return;
    ApplyStyleRows(DM->ReadStyle(styleNumber), window);
}
