#include "UPage.h"

#include <QGridLayout>

namespace {
QList<TPage*>& AllPages() {
    static QList<TPage*> pages;
    return pages;
}
} // namespace

std::function<bool(const QString&)> TPage::CheckRightHook;
std::function<void(int, QWidget*)> TPage::ApplyStyleHook;

TPage::TPage(QWidget* pageArea) : QWidget(pageArea) {
    setAttribute(Qt::WA_StyledBackground, true);
    if (pageArea) {
        // The page area stacks all pages in one cell; hidden pages take no room,
        // so the visible one fills the area completely.
        auto* grid = qobject_cast<QGridLayout*>(pageArea->layout());
        if (!grid) {
            delete pageArea->layout();
            grid = new QGridLayout(pageArea);
            grid->setContentsMargins(0, 0, 0, 0);
            grid->setSpacing(0);
        }
        grid->addWidget(this, 0, 0);
    }
    hide();
    AllPages().append(this);
}

TPage::~TPage() {
    AllPages().removeAll(this);
}

const QList<TPage*>& TPage::Pages() {
    return AllPages();
}

bool TPage::CheckRight(const QString& key) {
    return CheckRightHook ? CheckRightHook(key) : true;
}

void TPage::ApplyStyle(int style, QWidget* window) {
    if (ApplyStyleHook && window)
        ApplyStyleHook(style, window);
}

bool TPage::ShowPage() {
    if (!RightKey.isEmpty() && !CheckRight(RightKey))
        return false;
    ApplyStyle(0, this);
    for (QWidget* frame : StyledFrames())
        ApplyStyle(0, frame);
    PrepareShow();
    HideOtherPages();
    show();
    raise();
    return true;
}

void HideOtherPages() {
    for (TPage* page : AllPages())
        page->hide();
}
