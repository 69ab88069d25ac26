// The base of every page window: pages live in the main window's page area,
// fill it without a border, and only one of them is visible at a time.
#pragma once

#include <QList>
#include <QString>
#include <QWidget>

#include <functional>

class TPage : public QWidget {
    Q_OBJECT
public:
    // The page becomes a child of the page area (the main window's
    // PageArea()) and fills it; it starts hidden.
    explicit TPage(QWidget* pageArea = nullptr);
    ~TPage() override;

    // The function key the access gate asks for before the page is shown;
    // empty for a page everyone may open.
    QString RightKey;

    // The show operation: access gate, style for the page and its embedded
    // list frames, the page's own preparation (datasets, list SQL), then every
    // other page is hidden and this one shown. Returns false when the access
    // gate refused; an exception of the preparation passes on and leaves the
    // previous page in front.
    bool ShowPage();

    // The access gate: function key -> may the caller go on. Set at start by
    // the password module; without it every key is allowed.
    static std::function<bool(const QString& key)> CheckRightHook;
    // Applies a colour style (number) to a window or an embedded frame. Set at
    // start by the style module; without it nothing is coloured.
    static std::function<void(int style, QWidget* window)> ApplyStyleHook;

    static bool CheckRight(const QString& key);
    static void ApplyStyle(int style, QWidget* window);

    // Every page that exists, in creation order.
    static const QList<TPage*>& Pages();

protected:
    // Reopens the page's datasets and builds its list SQL; runs after the
    // access gate and the style, before the page is put in front.
    virtual void PrepareShow() {}
    // The list frames embedded in the page; each gets the style once more.
    virtual QList<QWidget*> StyledFrames() const { return {}; }
};

// Hides every page window, so that the next one shown is the only one visible
// beside the main window.
void HideOtherPages();
