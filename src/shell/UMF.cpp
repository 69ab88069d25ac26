#include "UMF.h"

#include "GlobalFunctions.h"
#include "Messages.h"
#include "TAccessKeys.h"
#include "UDM.h"
#include "UHilfe.h"
#include "UIcons.h"
#include "UInfo.h"
#include "UNavigation.h"
#include "UPage.h"
#include "ui_UMF.h"

#include <QAbstractSpinBox>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QScreen>
#include <QSplitterHandle>
#include <QStatusTipEvent>
#include <QToolButton>
#include <QUrl>

TMF* MF = nullptr;

TMF::TMF(QWidget* parent) : QMainWindow(parent), ui(new Ui::TMF) {
    ui->setupUi(this);
    MF = this;
    qApp->installEventFilter(this);
    TAccessKeys::Install();
    setWindowIcon(QuorventIcon());

    // The navigation column keeps its width: the splitter beside it refuses to move.
    ui->Splitter1->handle(1)->setEnabled(false);
    ui->Splitter1->handle(1)->setCursor(Qt::ArrowCursor);
    ui->Splitter1->setStretchFactor(0, 0);
    ui->Splitter1->setStretchFactor(1, 1);
    ui->Splitter1->setSizes({201, 1022 - 201});
    auto* grid = new QGridLayout(ui->PageArea);
    grid->setContentsMargins(0, 0, 0, 0);
    grid->setSpacing(0);

    // Status bar: two panels of 510 and 500 pixels; the hints go to the first.
    // They give way when the window is narrower than both together.
    for (int i = 0; i < 2; ++i) {
        FPanel[i] = new TStatusPanel(i == 0 ? 510 : 500, this);
        FPanel[i]->setObjectName(QStringLiteral("StatusPanel%1").arg(i + 1));
        ui->StatusBar->addWidget(FPanel[i]);
    }

    // Every navigation action empties the second panel before its page shows
    // itself (connected here first, so it runs before the page's show operation).
    for (QAction* a : findChildren<QAction*>()) {
        if (a->objectName().startsWith(QLatin1String("Action")) && a != ui->ActionBeenden)
            connect(a, &QAction::triggered, this, [this] { SetStatusText(1, QString()); });
    }

    // Section buttons and panels.
    const TNavButton* buttons[] = {ui->PNav1, ui->PNav2, ui->PNav3};
    for (int i = 0; i < 3; ++i)
        connect(buttons[i], &TNavButton::clicked, this, [this, i] { ShowSection(i + 1); });
    ui->PNav2A->setEnabled(false);
    ApplyNavigationDefaults();
    ui->PNavStack->setCurrentWidget(ui->PNav1A);

    struct {
        TNavItem* item;
        QToolButton* image;
        QAction* action;
        TNavIcon icon;
    } entries[] = {
        {ui->PNav1I1, ui->SBNav1I1, ui->ActionKopfUeb, TNavIcon::Overview},
        {ui->PNav1I2, ui->SBNav1I2, ui->ActionAbschluss, TNavIcon::Statistics},
        {ui->PNav1I3, ui->SBNav1I3, ui->ActionOffenePosten, TNavIcon::OpenItems},
        {ui->PNav3I1, ui->SBNav3I1, ui->ActionEinAllg, TNavIcon::Settings},
        {ui->PNav3I2, ui->SBNav3I2, ui->ActionStyles, TNavIcon::Styles},
        {ui->PNav3I3, ui->SBNav3I3, ui->ActionRecht, TNavIcon::Rights},
    };
    for (const auto& e : entries) {
        e.image->setIcon(NavIcon(e.icon));
        e.item->Attach();
        QAction* action = e.action;
        connect(e.item, &TNavItem::clicked, action, &QAction::trigger);
    }

    // The master-data tree dispatches by the position of the clicked node.
    FTreeActions = {ui->ActionAllgemein,         ui->ActionAnschrift,   nullptr,
                    ui->ActionKundenGruppe,      ui->ActionKunde,       nullptr,
                    ui->ActionLieferantenGruppe, ui->ActionLieferanten, nullptr,
                    ui->ActionArtikelGruppe,     ui->ActionArtikel};
    ui->TVNav->expandAll();
    connect(ui->TVNav, &QTreeWidget::itemClicked, this, [this](QTreeWidgetItem* item) { RunTreeNode(item); });

    // Menu entries that act on the window itself.
    connect(ui->ActionBeenden, &QAction::triggered, this, &QWidget::close);
    connect(ui->ActionHelp, &QAction::triggered, this, &TMF::HelpClick);
    connect(ui->EditCut1, &QAction::triggered, this, [this] { EditCommand("cut", QKeySequence::Cut); });
    connect(ui->EditCopy1, &QAction::triggered, this, [this] { EditCommand("copy", QKeySequence::Copy); });
    connect(ui->EditPaste1, &QAction::triggered, this, [this] { EditCommand("paste", QKeySequence::Paste); });
    connect(ui->EditSelectAll1, &QAction::triggered, this,
            [this] { EditCommand("selectAll", QKeySequence::SelectAll); });

    // Data exchange, the DATEV export and backup stay off until the program
    // has wired them to their windows (InstallExtras, the DATEV dialog).
    for (QAction* a : {ui->ActionDatenExport, ui->ActionDatenImport, ui->ActionDatevExport, ui->ActionDBSich,
                       ui->ActionDBRueck})
        a->setEnabled(false);

    // Amounts are always written with two decimals and " EUR" appended by the
    // program itself; Qt's number formatting never adds a currency symbol on
    // its own, so there is no locale currency symbol to empty here.
}

TMF::~TMF() {
    if (MF == this)
        MF = nullptr;
    delete ui;
}

// The navigation column's colours before any style is applied, the same as
// the standard style's, so the window looks right on its own.
void TMF::ApplyNavigationDefaults() {
    const QColor area(0xD7, 0xD7, 0xD7);
    for (QWidget* w : {static_cast<QWidget*>(ui->PNavi), static_cast<QWidget*>(ui->PNav1A),
                       static_cast<QWidget*>(ui->PNav2A), static_cast<QWidget*>(ui->PNav3A)})
        SetPanelColors(w, area, Qt::black);
    for (QWidget* w : {ui->PNav1T, ui->PNav2T, ui->PNav3T})
        SetPanelColors(w, QColor(0xC3, 0xC3, 0xC3), QColor(0x0F, 0, 0));
    QPalette p = ui->TVNav->palette();
    p.setColor(QPalette::Base, Qt::white);
    p.setColor(QPalette::Text, Qt::black);
    ui->TVNav->setPalette(p);
}

QWidget* TMF::PageArea() const {
    return ui->PageArea;
}

QAction* TMF::Action(const QString& name) const {
    return findChild<QAction*>(name);
}

void TMF::SetVersionText(const QString& versionText) {
    setWindowTitle(QStringLiteral("Quorvent ") + versionText);
}

void TMF::ShowSection(int section) {
    QWidget* panels[] = {ui->PNav1A, ui->PNav2A, ui->PNav3A};
    if (section < 1 || section > 3)
        return;
    if (section == 2)
        ui->PNav2A->setEnabled(true);
    ui->PNavStack->setCurrentWidget(panels[section - 1]);
}

int TMF::CurrentSection() const {
    return ui->PNavStack->currentIndex() + 1;
}

QAction* TMF::TreeAction(int position) const {
    return position >= 0 && position < FTreeActions.size() ? FTreeActions[position] : nullptr;
}

int TMF::TreePosition(QTreeWidgetItem* item) {
    if (!item || !item->treeWidget())
        return -1;
    QTreeWidget* tree = item->treeWidget();
    int position = 0;
    for (QTreeWidgetItemIterator it(tree); *it; ++it, ++position) {
        if (*it == item)
            return position;
    }
    return -1;
}

void TMF::RunTreeNode(QTreeWidgetItem* item) {
    if (QAction* action = TreeAction(TreePosition(item)))
        action->trigger();
}

void TMF::SetStatusText(int panel, const QString& text) {
    if (panel >= 0 && panel < 2)
        FPanel[panel]->setText(text);
}

QString TMF::StatusText(int panel) const {
    return panel >= 0 && panel < 2 ? FPanel[panel]->text() : QString();
}

bool TMF::StartsMaximized(const QSize& screenSize) {
    return screenSize == QSize(1024, 768);
}

void TMF::ShowOnScreen() {
    QScreen* s = screen();
    if (s && StartsMaximized(s->geometry().size())) {
        showMaximized();
        return;
    }
    resize(1022, 706);
    if (s) {
        const QRect avail = s->availableGeometry();
        move(avail.center() - QPoint(1022 / 2, 706 / 2));
    }
    show();
}

void TMF::StoreWindowSettings() {
    if (!DM || !DM->SQLiteDB1.Connected())
        return;
    const QRect g = frameGeometry();
    int state = 0;
    if (isMinimized())
        state = 1;
    else if (isMaximized())
        state = 2;
    DM->SetAllg(QStringLiteral("WindowLeft"), QString::number(g.left()));
    DM->SetAllg(QStringLiteral("WindowTop"), QString::number(g.top()));
    DM->SetAllg(QStringLiteral("WindowWidth"), QString::number(g.width()));
    DM->SetAllg(QStringLiteral("WindowHeight"), QString::number(g.height()));
    DM->SetAllg(QStringLiteral("WindowState"), QString::number(state));
}

QString TMF::HelpFile() {
    return ResourceFolder() + QStringLiteral("Quorvent-Hilfe.html");
}

void TMF::HelpClick() {
    // One window, shown beside the main window and raised when asked again.
    if (!FHilfe)
        FHilfe = new THilfe(this);
    if (!FHilfe->Load(HelpFile())) {
        Messages::error(QStringLiteral("Die Hilfe-Datei \"") + HelpFile() +
                        QStringLiteral("\" kann nicht gelesen werden!"));
        return;
    }
    FHilfe->show();
    FHilfe->raise();
    FHilfe->activateWindow();
}

// The edit menu works on whatever text field has the focus. Widgets without
// the matching slot (grids, for instance) get the key stroke the shortcut took.
void TMF::EditCommand(const char* slot, const QKeySequence& keys) {
    QWidget* w = QApplication::focusWidget();
    if (!w)
        return;
    if (auto* combo = qobject_cast<QComboBox*>(w); combo && combo->lineEdit())
        w = combo->lineEdit();
    else if (auto* spin = qobject_cast<QAbstractSpinBox*>(w); spin && spin->findChild<QLineEdit*>())
        w = spin->findChild<QLineEdit*>();
    if (QMetaObject::invokeMethod(w, slot))
        return;
    if (keys.isEmpty())
        return;
    const QKeyCombination combo = keys[0];
    QKeyEvent press(QEvent::KeyPress, combo.key(), combo.keyboardModifiers());
    QCoreApplication::sendEvent(w, &press);
    QKeyEvent release(QEvent::KeyRelease, combo.key(), combo.keyboardModifiers());
    QCoreApplication::sendEvent(w, &release);
}

bool TMF::eventFilter(QObject* watched, QEvent* event) {
    // Qt itself only shows status hints, and only those of this window's own
    // controls. Many controls have their hint as a tool tip only (the
    // navigator's buttons, the rich-text bar), and the record forms are
    // dialogs of their own above this window; the user reads every hint here.
    if (event->type() == QEvent::Enter || event->type() == QEvent::Leave) {
        auto* w = qobject_cast<QWidget*>(watched);
        const QString hint = !w ? QString() : !w->statusTip().isEmpty() ? w->statusTip() : w->toolTip();
        if (!hint.isEmpty() && OwnsWindowOf(w))
            SetStatusText(0, event->type() == QEvent::Enter ? hint : QString());
    }
    return QMainWindow::eventFilter(watched, event);
}

bool TMF::OwnsWindowOf(const QWidget* w) const {
    for (const QWidget* window = w->window(); window;
         window = window->parentWidget() ? window->parentWidget()->window() : nullptr)
        if (window == this)
            return true;
    return false;
}

bool TMF::event(QEvent* event) {
    if (event->type() == QEvent::StatusTip) {
        SetStatusText(0, static_cast<QStatusTipEvent*>(event)->tip());
        return true;
    }
    return QMainWindow::event(event);
}

void TMF::showEvent(QShowEvent* event) {
    TPage::ApplyStyle(0, this);
    QMainWindow::showEvent(event);
}

// Closing is always allowed. The geometry is written whatever StoreWindow
// says; a database error is shown but does not keep the window open.
void TMF::closeEvent(QCloseEvent* event) {
    try {
        StoreWindowSettings();
    } catch (const ESQLiteError& e) {
        Messages::error(e.message());
    } catch (const EAbort&) {
    }
    event->accept();
}
