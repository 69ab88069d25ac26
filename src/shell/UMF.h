// The main window: menu bar, navigation column, status bar and the page area.
// It dispatches the user's choice to the actions; main() connects each action
// to the show operation of its page, so this window knows no page class.
#pragma once

#include <QMainWindow>

#include <functional>

namespace Ui {
class TMF;
}
class QLabel;
class TStatusPanel;
class QTreeWidgetItem;

class TMF : public QMainWindow {
    Q_OBJECT
public:
    explicit TMF(QWidget* parent = nullptr);
    ~TMF() override;

    // The page area: every page window is created as its child.
    QWidget* PageArea() const;

    // An action or other component of the form by its object name
    // ("ActionKunde", "PNav2A", "TVNav", ...); nullptr when there is none.
    QAction* Action(const QString& name) const;

    // Caption "Quorvent " + version text.
    void SetVersionText(const QString& versionText);

    // Brings section panel 1 to 3 to the front ("Stammdaten" also becomes usable).
    void ShowSection(int section);
    int CurrentSection() const;

    // The action of the master-data tree node at a position counted through
    // all nodes from 0; nullptr for the group nodes.
    QAction* TreeAction(int position) const;
    // Runs the action of a tree node, as a click on it does.
    void RunTreeNode(QTreeWidgetItem* item);
    static int TreePosition(QTreeWidgetItem* item);

    // The status bar's two panels (0 and 1); the first one shows the hints.
    void SetStatusText(int panel, const QString& text);
    QString StatusText(int panel) const;

    // Maximized on a screen of exactly 1024 x 768, else the design size centred.
    static bool StartsMaximized(const QSize& screenSize);
    // Makes the window visible on its screen following that rule.
    void ShowOnScreen();

    // Stores left, top, width, height and state in set_allg.
    void StoreWindowSettings();

    // The help page shipped beside the program.
    static QString HelpFile();

protected:
    bool event(QEvent* event) override;
    // Shows the tool-tip hint of a control under the mouse that has no status hint.
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void ApplyNavigationDefaults();
    void EditCommand(const char* slot, const QKeySequence& keys);
    void HelpClick();
    // The widget lies in this window or in a dialog opened above it.
    bool OwnsWindowOf(const QWidget* w) const;

    Ui::TMF* ui;
    TStatusPanel* FPanel[2];
    QList<QAction*> FTreeActions;
    class THilfe* FHilfe = nullptr;
};

// The main window while it exists.
extern TMF* MF;
