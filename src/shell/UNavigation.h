// The clickable parts of the main window's navigation column: the section
// buttons at its bottom and the entries (image button with label) of a section
// panel. Both light up while the pointer is over them.
#pragma once

#include "Styles.h"

#include <QColor>
#include <QFrame>
#include <QLabel>

class QToolButton;

// Colours of the navigation column's pointer effect. The style module fills
// them whenever it applies the "Navigation" style entry; until then they hold
// the standard style's values.
extern TNavHoverColors NavigationColors;

// A section button ("Tägliches", "Stammdaten", "Einstellungen").
class TNavButton : public QLabel {
    Q_OBJECT
public:
    explicit TNavButton(QWidget* parent = nullptr);
    bool Highlighted() const { return FHighlighted; }
    void SetHighlighted(bool on);

signals:
    void clicked();

protected:
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    bool FHighlighted = false;
};

// An entry of a section panel: a frame holding an image button and a label.
// A click on the frame, the image or the label runs the entry.
class TNavItem : public QFrame {
    Q_OBJECT
public:
    explicit TNavItem(QWidget* parent = nullptr);
    // Connects the image button and the label that the form placed inside.
    void Attach();
    bool Highlighted() const { return FHighlighted; }
    void SetHighlighted(bool on);
    QToolButton* Image() const { return FImage; }
    QLabel* Label() const { return FLabel; }

signals:
    void clicked();

protected:
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QToolButton* FImage = nullptr;
    QLabel* FLabel = nullptr;
    bool FHighlighted = false;
};

// A panel of the status bar: as wide as given while there is room.
class TStatusPanel : public QLabel {
    Q_OBJECT
public:
    TStatusPanel(int width, QWidget* parent = nullptr);
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

private:
    int FWidth;
};
