// The main window's navigation, its status bar, the page base and closing.
#include "TestSupport.h"
#include "UDM.h"
#include "UInfo.h"
#include "UMF.h"
#include "UNavigation.h"
#include "UPage.h"

#include <QAction>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QStackedWidget>
#include <QStatusBar>
#include <QTextBrowser>
#include <QToolButton>
#include <QTreeWidget>
#include <QtTest>

namespace {

// Records which actions of the window ran, in order.
struct ActionLog {
    QStringList names;
    explicit ActionLog(TMF& mf) {
        for (QAction* a : mf.findChildren<QAction*>())
            QObject::connect(a, &QAction::triggered, &mf, [this, a] { names << a->objectName(); });
    }
};

class TestPage : public TPage {
public:
    using TPage::TPage;
    QStringList* log = nullptr;
    bool fail = false;
    QWidget* frame = nullptr;

protected:
    void PrepareShow() override {
        if (log)
            *log << "prepare";
        if (fail)
            throw ESQLiteError(QStringLiteral("SQL-Error: kaputt"));
    }
    QList<QWidget*> StyledFrames() const override {
        return frame ? QList<QWidget*>{frame} : QList<QWidget*>{};
    }
};

QStringList MenuTexts(QMenu* menu) {
    QStringList result;
    for (QAction* a : menu->actions()) {
        QString t = a->text();
        if (!a->shortcut().isEmpty())
            t += " [" + a->shortcut().toString() + "]";
        result << t;
    }
    return result;
}

} // namespace

class TstMainWindow : public QObject {
    Q_OBJECT

private slots:
    void init() {
        TPage::CheckRightHook = nullptr;
        TPage::ApplyStyleHook = nullptr;
    }

    void menuBar_data() {
        QTest::addColumn<QString>("menu");
        QTest::addColumn<QStringList>("entries");
        QTest::newRow("Datei") << "&Datei" << QStringList{"&Beenden"};
        QTest::newRow("Bearbeiten") << "&Bearbeiten"
                                    << QStringList{"&Ausschneiden [Ctrl+X]", "&Kopieren [Ctrl+C]",
                                                   "&Einfügen [Ctrl+V]", "Alles &markieren [Ctrl+A]"};
        QTest::newRow("Tägliches") << "&Tägliches"
                                   << QStringList{"Ü&bersicht", "&Statistiken", "&Offene Posten"};
        QTest::newRow("Stammdaten") << "&Stammdaten"
                                    << QStringList{"&Allgemein", "&Firmendaten/Andruck", "&Kunden",
                                                   "&Lieferanten", "A&rtikel"};
        QTest::newRow("Kunden") << "&Kunden" << QStringList{"&Kundengruppe", "K&undenstamm"};
        QTest::newRow("Lieferanten") << "&Lieferanten"
                                     << QStringList{"&Lieferantengruppe", "L&ieferantenstamm"};
        QTest::newRow("Artikel") << "A&rtikel" << QStringList{"&Artikelgruppe", "A&rtikelstamm"};
        QTest::newRow("Extras") << "&Extras"
                                << QStringList{"&Daten exportieren", "D&aten importieren", "DATE&V-Export",
                                               "Da&ten sichern", "Dat&en rücksichern"};
        QTest::newRow("Einstellungen")
            << "E&instellungen" << QStringList{"&Allgemein", "&Styles", "&Berechtigungen"};
        QTest::newRow("Hilfe") << "&Hilfe" << QStringList{"Quorvent Hilfe", "&Info"};
    }
    void menuBar() {
        QFETCH(QString, menu);
        QFETCH(QStringList, entries);
        TMF mf;
        QMenu* found = nullptr;
        for (QMenu* m : mf.findChildren<QMenu*>())
            if (m->title() == menu)
                found = m;
        QVERIFY(found);
        QCOMPARE(MenuTexts(found), entries);
        // The data-exchange entries exist but cannot be used.
        for (QAction* a : found->actions())
            QCOMPARE(a->isEnabled(), menu != "&Extras");
    }

    void menuBarOrder() {
        TMF mf;
        QStringList titles;
        for (QAction* a : mf.menuBar()->actions())
            titles << a->text();
        QCOMPARE(titles, (QStringList{"&Datei", "&Bearbeiten", "&Tägliches", "&Stammdaten", "&Extras",
                                      "E&instellungen", "&Hilfe"}));
    }

    void treeDispatchesByPosition_data() {
        QTest::addColumn<int>("position");
        QTest::addColumn<QString>("action");
        const char* expected[] = {
            "ActionAllgemein",         "ActionAnschrift",   "", "ActionKundenGruppe",  "ActionKunde",  "",
            "ActionLieferantenGruppe", "ActionLieferanten", "", "ActionArtikelGruppe", "ActionArtikel"};
        for (int i = 0; i < 11; ++i)
            QTest::addRow("node %d", i) << i << QString::fromLatin1(expected[i]);
    }
    void treeDispatchesByPosition() {
        QFETCH(int, position);
        QFETCH(QString, action);
        TMF mf;
        mf.show();
        mf.ShowSection(2);
        auto* tree = mf.findChild<QTreeWidget*>("TVNav");
        QTreeWidgetItem* item = nullptr;
        int i = 0;
        for (QTreeWidgetItemIterator it(tree); *it; ++it, ++i)
            if (i == position)
                item = *it;
        QVERIFY(item);
        tree->scrollToItem(item);
        ActionLog log(mf);
        QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, tree->visualItemRect(item).center());
        QCOMPARE(log.names, action.isEmpty() ? QStringList{} : QStringList{action});
    }

    void sectionButtons() {
        TMF mf;
        mf.show();
        auto* stack = mf.findChild<QStackedWidget*>("PNavStack");
        QCOMPARE(stack->currentWidget()->objectName(), QStringLiteral("PNav1A"));
        QVERIFY(!mf.findChild<QWidget*>("PNav2A")->isEnabled());
        const char* buttons[] = {"PNav2", "PNav3", "PNav1"};
        const char* panels[] = {"PNav2A", "PNav3A", "PNav1A"};
        for (int i = 0; i < 3; ++i) {
            QTest::mouseClick(mf.findChild<QWidget*>(buttons[i]), Qt::LeftButton);
            QCOMPARE(stack->currentWidget()->objectName(), QString::fromLatin1(panels[i]));
        }
        QVERIFY(mf.findChild<QWidget*>("PNav2A")->isEnabled());
    }

    // An entry runs its action from its image button, its label and its panel.
    void entriesRunTheirAction_data() {
        QTest::addColumn<int>("section");
        QTest::addColumn<QString>("item");
        QTest::addColumn<QString>("part");
        QTest::addColumn<QString>("action");
        const struct {
            int section;
            const char* item;
            const char* action;
        } entries[] = {{1, "PNav1I1", "ActionKopfUeb"},
                       {1, "PNav1I2", "ActionAbschluss"},
                       {3, "PNav3I1", "ActionEinAllg"},
                       {3, "PNav3I2", "ActionStyles"},
                       {3, "PNav3I3", "ActionRecht"}};
        for (const auto& e : entries)
            for (const char* part : {"image", "label", "panel"})
                QTest::addRow("%s %s", e.item, part) << e.section << e.item << part << e.action;
    }
    void entriesRunTheirAction() {
        QFETCH(int, section);
        QFETCH(QString, item);
        QFETCH(QString, part);
        QFETCH(QString, action);
        TMF mf;
        mf.show();
        mf.ShowSection(section);
        auto* entry = mf.findChild<TNavItem*>(item);
        QVERIFY(entry);
        ActionLog log(mf);
        if (part == "image")
            QTest::mouseClick(entry->Image(), Qt::LeftButton);
        else if (part == "label")
            QTest::mouseClick(entry->Label(), Qt::LeftButton);
        else
            QTest::mouseClick(entry, Qt::LeftButton, {}, QPoint(3, 3));
        QCOMPARE(log.names, QStringList{action});
    }

    // The pointer lights up a section button or an entry until it leaves.
    void hoverHighlight_data() {
        QTest::addColumn<QString>("name");
        QTest::newRow("section button") << "PNav2";
        QTest::newRow("entry") << "PNav1I2";
    }
    void hoverHighlight() {
        QFETCH(QString, name);
        NavigationColors.ButtonBGHL = QColor(10, 20, 30);
        NavigationColors.ItemBGHL = QColor(40, 50, 60);
        TMF mf;
        mf.show();
        QWidget* w = mf.findChild<QWidget*>(name);
        const bool button = qobject_cast<TNavButton*>(w) != nullptr;
        const QColor normal = button ? NavigationColors.ButtonBG : NavigationColors.ItemBG;
        const QColor lit = button ? NavigationColors.ButtonBGHL : NavigationColors.ItemBGHL;
        QCOMPARE(w->palette().color(QPalette::Window), normal);
        QEnterEvent enter(QPointF(2, 2), QPointF(2, 2), w->mapToGlobal(QPointF(2, 2)));
        QApplication::sendEvent(w, &enter);
        QCOMPARE(w->palette().color(QPalette::Window), lit);
        // The hint of the control under the pointer goes to the first panel.
        QCOMPARE(mf.StatusText(0), w->statusTip());
        QEvent leave(QEvent::Leave);
        QApplication::sendEvent(w, &leave);
        QCOMPARE(w->palette().color(QPalette::Window), normal);
        NavigationColors = TNavHoverColors();
    }

    // Each action empties the second panel before its page shows itself.
    void actionClearsSecondPanelFirst() {
        TMF mf;
        mf.SetStatusText(1, "3 Datensätze");
        QString seen = "not run";
        QObject::connect(mf.Action("ActionKunde"), &QAction::triggered, &mf,
                         [&] { seen = mf.StatusText(1); });
        mf.Action("ActionKunde")->trigger();
        QCOMPARE(seen, QString());
    }

    // The first panel shows the hint of the control under the mouse, also
    // where the hint is only a tool tip, and forgets it when the mouse leaves.
    void hintOfControlUnderMouse_data() {
        QTest::addColumn<QString>("statusTip");
        QTest::addColumn<QString>("toolTip");
        QTest::addColumn<QString>("shown");
        QTest::newRow("tool tip only") << ""
                                       << "Zurück zur Übersicht"
                                       << "Zurück zur Übersicht";
        QTest::newRow("status tip") << "Angaben speichern"
                                    << "Speichern"
                                    << "Angaben speichern";
        QTest::newRow("no hint") << ""
                                 << ""
                                 << "";
        QTest::newRow("in a record form") << ""
                                          << "Datensatz einfügen"
                                          << "Datensatz einfügen";
    }
    void hintOfControlUnderMouse() {
        QFETCH(QString, statusTip);
        QFETCH(QString, toolTip);
        QFETCH(QString, shown);
        TMF mf;
        // A record form is a dialog of its own above the main window.
        QDialog form(&mf);
        auto* button = new QToolButton(QString(QTest::currentDataTag()) == "in a record form"
                                           ? static_cast<QWidget*>(&form)
                                           : mf.PageArea());
        button->setStatusTip(statusTip);
        button->setToolTip(toolTip);
        mf.show();
        QVERIFY(QTest::qWaitForWindowExposed(&mf));
        QTest::mouseMove(button);
        QEnterEvent enter(QPointF(2, 2), QPointF(2, 2), button->mapToGlobal(QPointF(2, 2)));
        QApplication::sendEvent(button, &enter);
        QCOMPARE(mf.StatusText(0), shown);
        QEvent leave(QEvent::Leave);
        QApplication::sendEvent(button, &leave);
        QCOMPARE(mf.StatusText(0), QString());
    }

    // A page button's access key wins over the menu bar's entry with the same
    // letter ("Än&dern" against "&Datei", "&Speichern" against "&Stammdaten");
    // without such a button the menu gets the key as before.
    void accessKeyOfPageButtonBeforeMenu_data() {
        QTest::addColumn<QString>("caption");
        QTest::addColumn<int>("key");
        QTest::addColumn<bool>("clicked");
        QTest::newRow("Ändern") << "Än&dern" << int(Qt::Key_D) << true;
        QTest::newRow("Speichern") << "&Speichern" << int(Qt::Key_S) << true;
        QTest::newRow("other letter") << "&Neu" << int(Qt::Key_D) << false;
    }
    void accessKeyOfPageButtonBeforeMenu() {
        QFETCH(QString, caption);
        QFETCH(int, key);
        QFETCH(bool, clicked);
        TMF mf;
        auto* edit = new QLineEdit(mf.PageArea());
        auto* button = new QPushButton(caption, mf.PageArea());
        button->move(0, 40);
        int clicks = 0;
        QObject::connect(button, &QPushButton::clicked, &mf, [&clicks] { ++clicks; });
        mf.show();
        QApplication::setActiveWindow(&mf);
        QVERIFY(QTest::qWaitForWindowActive(&mf));
        edit->setFocus();
        QTest::keyClick(edit, Qt::Key(key), Qt::AltModifier);
        QCOMPARE(clicks, clicked ? 1 : 0);
        QVERIFY(edit->text().isEmpty());
        // A hidden or disabled button has no say.
        button->setEnabled(false);
        QTest::keyClick(edit, Qt::Key(key), Qt::AltModifier);
        QCOMPARE(clicks, clicked ? 1 : 0);
        if (QWidget* popup = QApplication::activePopupWidget())
            popup->close();
    }

    // The edit menu works on the focused text field.
    void editMenuActsOnFocusedField() {
        TMF mf;
        auto* edit = new QLineEdit("Musterfirma", mf.PageArea());
        mf.show();
        QApplication::setActiveWindow(&mf);
        edit->setFocus();
        QVERIFY(QTest::qWaitForWindowActive(&mf));
        QCOMPARE(QApplication::focusWidget(), edit);
        mf.Action("EditSelectAll1")->trigger();
        QCOMPARE(edit->selectedText(), QStringLiteral("Musterfirma"));
        mf.Action("EditCut1")->trigger();
        QCOMPARE(edit->text(), QString());
        mf.Action("EditPaste1")->trigger();
        mf.Action("EditPaste1")->trigger();
        QCOMPARE(edit->text(), QStringLiteral("MusterfirmaMusterfirma"));
    }

    void startsMaximizedOnlyOn1024x768_data() {
        QTest::addColumn<QSize>("screen");
        QTest::addColumn<bool>("maximized");
        QTest::newRow("1024x768") << QSize(1024, 768) << true;
        QTest::newRow("1280x1024") << QSize(1280, 1024) << false;
        QTest::newRow("800x600") << QSize(800, 600) << false;
        QTest::newRow("768x1024 upright") << QSize(768, 1024) << false;
    }
    void startsMaximizedOnlyOn1024x768() {
        QFETCH(QSize, screen);
        QFETCH(bool, maximized);
        QCOMPARE(TMF::StartsMaximized(screen), maximized);
    }

    void navigationColumnLayout() {
        TMF mf;
        mf.ShowOnScreen();
        QVERIFY(QTest::qWaitForWindowExposed(&mf));
        QWidget* navi = mf.findChild<QWidget*>("PNavi");
        QCOMPARE(navi->width(), 201);
        QCOMPARE(navi->x(), 0);
        // The section buttons sit at the bottom of the column, 30 pixels each, in order.
        int y = navi->height();
        for (const char* name : {"PNav3", "PNav2", "PNav1"}) {
            QWidget* b = mf.findChild<QWidget*>(name);
            QCOMPARE(b->height(), 30);
            const int bottom = b->mapTo(navi, QPoint(0, b->height())).y();
            QVERIFY2(y - bottom <= 1, name);
            y = b->mapTo(navi, QPoint(0, 0)).y();
        }
        // The page area starts right of the column and its splitter.
        QVERIFY(mf.PageArea()->mapTo(&mf, QPoint(0, 0)).x() <= 201 + 6);
    }

    // Shown in a window of the program: no web browser needed.
    void helpShownInProgramWindow() {
        int browsed = 0;
        const auto saved = OpenInBrowser;
        OpenInBrowser = [&](const QUrl&) { return ++browsed, true; };
        // The page lies beside the program; the tests run from a folder of their own.
        QFile::remove(TMF::HelpFile());
        QVERIFY(QFile::copy(QStringLiteral(QV_TEST_SOURCE_DIR "/../resources/Quorvent-Hilfe.html"),
                            TMF::HelpFile()));
        TMF mf;
        mf.Action("ActionHelp")->trigger();
        mf.Action("ActionHelp")->trigger();
        OpenInBrowser = saved;
        QCOMPARE(browsed, 0);
        const auto windows = mf.findChildren<QTextBrowser*>();
        QCOMPARE(windows.size(), 1);
        QVERIFY(windows[0]->window()->isVisible());
        QCOMPARE(windows[0]->source().toLocalFile(), TMF::HelpFile());
        QCOMPARE(windows[0]->documentTitle(), QStringLiteral("Quorvent Hilfe"));
        QVERIFY(windows[0]->toPlainText().contains(QStringLiteral("Ein Beleg entsteht")));
    }

    // The geometry is stored whatever StoreWindow says.
    void closingStoresWindowSettings() {
        TempDataHome home;
        ScriptedMessages msgs;
        TDM dm;
        dm.ConnectDatabase();
        QVERIFY(!dm.ConnectFailed);
        dm.SetAllg("StoreWindow", "N");
        TMF mf;
        mf.ShowOnScreen();
        QVERIFY(QTest::qWaitForWindowExposed(&mf));
        const QRect g = mf.frameGeometry();
        QVERIFY(mf.close());
        QCOMPARE(dm.GetAllg("WindowLeft"), QString::number(g.left()));
        QCOMPARE(dm.GetAllg("WindowTop"), QString::number(g.top()));
        QCOMPARE(dm.GetAllg("WindowWidth"), QString::number(g.width()));
        QCOMPARE(dm.GetAllg("WindowHeight"), QString::number(g.height()));
        QCOMPARE(dm.GetAllg("WindowState"), QStringLiteral("0"));
        QVERIFY(msgs.boxes.isEmpty());
    }

    // --- the page base ---------------------------------------------------

    void showPageRunsGateStyleAndPreparationInOrder() {
        TMF mf;
        mf.show();
        QStringList log;
        QWidget frame;
        TPage::CheckRightHook = [&](const QString& key) {
            log << "right " + key;
            return true;
        };
        TPage::ApplyStyleHook = [&](int style, QWidget* w) {
            log << QString("style %1 %2").arg(style).arg(w == &frame ? "frame" : "page");
        };
        TestPage first(mf.PageArea()), second(mf.PageArea());
        second.RightKey = "Statistik";
        second.log = &log;
        second.frame = &frame;
        QVERIFY(first.ShowPage());
        log.clear();
        QVERIFY(second.ShowPage());
        QCOMPARE(log, (QStringList{"right Statistik", "style 0 page", "style 0 frame", "prepare"}));
        QVERIFY(second.isVisible());
        QVERIFY(!first.isVisible());
        // The page fills the page area.
        QCOMPARE(second.geometry(), mf.PageArea()->rect());
    }

    // A refused gate or a failing preparation leaves the previous page in front.
    void showPageStopsWithoutChangingPage_data() {
        QTest::addColumn<bool>("refused");
        QTest::newRow("access refused") << true;
        QTest::newRow("preparation fails") << false;
    }
    void showPageStopsWithoutChangingPage() {
        QFETCH(bool, refused);
        TMF mf;
        mf.show();
        TestPage first(mf.PageArea()), second(mf.PageArea());
        QVERIFY(first.ShowPage());
        second.RightKey = "EinRecht";
        TPage::CheckRightHook = [&](const QString&) { return !refused; };
        second.fail = !refused;
        if (refused)
            QVERIFY(!second.ShowPage());
        else
            QVERIFY_THROWS_EXCEPTION(ESQLiteError, second.ShowPage());
        QVERIFY(first.isVisible());
        QVERIFY(!second.isVisible());
    }
};

QTEST_MAIN(TstMainWindow)
#include "tst_mainwindow.moc"
