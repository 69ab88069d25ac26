#include "UNavigation.h"

#include <QEnterEvent>
#include <QMouseEvent>
#include <QToolButton>

TNavHoverColors NavigationColors;

// --- TNavButton -------------------------------------------------------------

TNavButton::TNavButton(QWidget* parent) : QLabel(parent) {
    setAlignment(Qt::AlignCenter);
    setCursor(Qt::PointingHandCursor);
    setFrameShape(QFrame::Panel);
    setFrameShadow(QFrame::Raised);
    SetHighlighted(false);
}

void TNavButton::SetHighlighted(bool on) {
    FHighlighted = on;
    if (on)
        SetPanelColors(this, NavigationColors.ButtonBGHL, NavigationColors.ButtonFontHL);
    else
        SetPanelColors(this, NavigationColors.ButtonBG, NavigationColors.ButtonFont);
}

void TNavButton::enterEvent(QEnterEvent* event) {
    SetHighlighted(true);
    QLabel::enterEvent(event);
}

void TNavButton::leaveEvent(QEvent* event) {
    SetHighlighted(false);
    QLabel::leaveEvent(event);
}

void TNavButton::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
        emit clicked();
    QLabel::mouseReleaseEvent(event);
}

// --- TNavItem ---------------------------------------------------------------

TNavItem::TNavItem(QWidget* parent) : QFrame(parent) {
    setCursor(Qt::PointingHandCursor);
    SetHighlighted(false);
}

void TNavItem::Attach() {
    FImage = findChild<QToolButton*>();
    FLabel = findChild<QLabel*>();
    if (FImage)
        connect(FImage, &QToolButton::clicked, this, &TNavItem::clicked);
    if (FLabel) {
        FLabel->installEventFilter(this);
        FLabel->setCursor(Qt::PointingHandCursor);
    }
    SetHighlighted(false);
}

void TNavItem::SetHighlighted(bool on) {
    FHighlighted = on;
    const QColor bg = on ? NavigationColors.ItemBGHL : NavigationColors.ItemBG;
    const QColor fg = on ? NavigationColors.ItemFontHL : NavigationColors.ItemFont;
    SetPanelColors(this, bg, fg);
    if (FLabel)
        SetPanelColors(FLabel, bg, fg);
    // The raised frame marks the entry under the pointer.
    setFrameShape(on ? QFrame::Panel : QFrame::NoFrame);
    setFrameShadow(QFrame::Raised);
}

void TNavItem::enterEvent(QEnterEvent* event) {
    SetHighlighted(true);
    QFrame::enterEvent(event);
}

// Moving onto the image or the label does not leave the entry: Qt only sends
// the leave event once the pointer is outside the frame and its children.
void TNavItem::leaveEvent(QEvent* event) {
    SetHighlighted(false);
    QFrame::leaveEvent(event);
}

void TNavItem::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
        emit clicked();
    QFrame::mouseReleaseEvent(event);
}

bool TNavItem::eventFilter(QObject* watched, QEvent* event) {
    if (watched == FLabel && event->type() == QEvent::MouseButtonRelease) {
        auto* me = static_cast<QMouseEvent*>(event);
        if (me->button() == Qt::LeftButton && FLabel->rect().contains(me->position().toPoint())) {
            emit clicked();
            return true;
        }
    }
    return QFrame::eventFilter(watched, event);
}

// --- TStatusPanel -----------------------------------------------------------

TStatusPanel::TStatusPanel(int width, QWidget* parent) : QLabel(parent), FWidth(width) {
    setFrameShape(QFrame::StyledPanel);
    setFrameShadow(QFrame::Sunken);
    setIndent(3);
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    setMaximumWidth(width);
}

QSize TStatusPanel::sizeHint() const {
    return {FWidth, QLabel::sizeHint().height()};
}

QSize TStatusPanel::minimumSizeHint() const {
    return {0, QLabel::minimumSizeHint().height()};
}
