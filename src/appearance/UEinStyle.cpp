#include "UEinStyle.h"

#include "Messages.h"
#include "Styles.h"
#include "UDM.h"
#include "UNavigation.h"
#include "ui_UEinStyle.h"

#include <QColorDialog>
#include <QDateTime>
#include <QMenuBar>
#include <QMouseEvent>
#include <QTabBar>
#include <QToolButton>
#include <QTreeWidget>

namespace {

// The kinds in the order of the "Objekt" list (sorted by their German names).
const char* const KindOfEntry[] = {"Memo",       "ComboBox", "Button",     "CheckBox",  "DateTimePicker",
                                   "Chart",      "Edit",     "Form",       "GroupBox",  "ListBox",
                                   "ListView",   "MainMenu", "Navigation", "StatusBar", "Grid",
                                   "TabControl", "Titel"};

std::optional<QColor> AskColorDialog(const QColor& initial) {
    const QColor c = QColorDialog::getColor(initial, nullptr, QString(), QColorDialog::DontUseNativeDialog);
    if (!c.isValid())
        return std::nullopt;
    return c;
}

} // namespace

TEinStyle::TEinStyle(QWidget* pageArea) : TPage(pageArea), ui(new Ui::TEinStyle) {
    ui->setupUi(this);
    RightKey = QStringLiteral("EinStyle");
    ChooseColor = AskColorDialog;

    for (int i = 0; i < ui->LBObjekt->count(); ++i)
        ui->LBObjekt->item(i)->setData(Qt::UserRole, QString::fromLatin1(KindOfEntry[i]));
    FSquareFrames = findChildren<QFrame*>(QRegularExpression(QStringLiteral("^Sq")));
    for (QFrame* sq : FSquareFrames) {
        sq->setAutoFillBackground(true);
        sq->installEventFilter(this);
    }
    BuildSamples();

    connect(ui->CBStyle, &QComboBox::currentIndexChanged, this, &TEinStyle::CBStyleChange);
    connect(ui->LBObjekt, &QListWidget::currentRowChanged, this, &TEinStyle::LBObjektClick);
    connect(ui->BitBtnUebernehmen, &QPushButton::clicked, this, &TEinStyle::BitBtnUebernehmenClick);
}

TEinStyle::~TEinStyle() {
    delete ui;
}

// Samples that need classes or names a form file cannot give them.
void TEinStyle::BuildSamples() {
    // Menu bar with a disabled entry, so every colour of the map shows.
    auto* bar = new QMenuBar(ui->PSampleMainMenu);
    bar->setObjectName(QStringLiteral("SampleMainMenu"));
    bar->setNativeMenuBar(false);
    QMenu* datei = bar->addMenu(QStringLiteral("&Datei"));
    datei->addAction(QStringLiteral("&Öffnen"));
    datei->addAction(QStringLiteral("&Beenden"));
    QMenu* bearbeiten = bar->addMenu(QStringLiteral("&Bearbeiten"));
    bearbeiten->addAction(QStringLiteral("&Kopieren"));
    bar->addAction(QStringLiteral("&Inaktiv"))->setEnabled(false);
    ui->LayoutSampleMainMenu->insertWidget(0, bar);

    // Navigation area: one title, one item with its label, a tree, one group button.
    auto* area = new QFrame(ui->PSampleNavigation);
    area->setObjectName(QStringLiteral("PNavSA"));
    auto* areaLayout = new QVBoxLayout(area);
    areaLayout->setContentsMargins(0, 0, 0, 0);
    auto* title = new QLabel(QStringLiteral("Titel"), area);
    title->setObjectName(QStringLiteral("PNavST"));
    title->setMinimumHeight(22);
    areaLayout->addWidget(title);
    auto* item = new TNavItem(area);
    item->setObjectName(QStringLiteral("PNavSI1"));
    auto* itemLayout = new QHBoxLayout(item);
    auto* image = new QToolButton(item);
    image->setObjectName(QStringLiteral("PNavSB1"));
    image->setAutoRaise(true);
    image->setIcon(style()->standardIcon(QStyle::SP_FileDialogDetailedView));
    itemLayout->addWidget(image);
    auto* label = new QLabel(QStringLiteral("Eintrag"), item);
    label->setObjectName(QStringLiteral("PNavSL1"));
    itemLayout->addWidget(label, 1);
    item->Attach();
    areaLayout->addWidget(item);
    auto* tree = new QTreeWidget(area);
    tree->setObjectName(QStringLiteral("SampleTree"));
    tree->setHeaderHidden(true);
    auto* group = new QTreeWidgetItem(tree, {QStringLiteral("Gruppe")});
    new QTreeWidgetItem(group, {QStringLiteral("Stamm")});
    tree->expandAll();
    tree->setMaximumHeight(80);
    areaLayout->addWidget(tree);
    auto* button = new TNavButton(area);
    button->setObjectName(QStringLiteral("PNavS"));
    button->setText(QStringLiteral("Button"));
    button->setMinimumHeight(30);
    areaLayout->addWidget(button);
    ui->LayoutSampleNavigation->insertWidget(0, area);

    // A title bar carries its name, like the title bar of every page.
    auto* titel = new QLabel(QStringLiteral("   Titelleiste"), ui->PSampleTitel);
    titel->setObjectName(QStringLiteral("PTitel"));
    titel->setMinimumHeight(30);
    titel->setFrameShape(QFrame::Panel);
    titel->setFrameShadow(QFrame::Raised);
    QFont f = titel->font();
    f.setBold(true);
    titel->setFont(f);
    ui->LayoutSampleTitel->insertWidget(0, titel);

    for (int r = 0; r < ui->SampleGrid->rowCount(); ++r)
        for (int c = 0; c < ui->SampleGrid->columnCount(); ++c)
            ui->SampleGrid->setItem(
                r, c, new QTableWidgetItem(QStringLiteral("Zelle %1.%2").arg(r + 1).arg(c + 1)));
    ui->SampleStatusBar->showMessage(QStringLiteral("Statusleiste"));
}

void TEinStyle::PrepareShow() {
    LoadStyle(0);
    {
        const QSignalBlocker block(ui->CBStyle);
        ui->CBStyle->setCurrentIndex(0);
    }
    ui->LBObjekt->setCurrentRow(0);
    LBObjektClick();
    for (const QString& kind : FSquares.Rows.keys())
        PreviewKind(kind);
    ui->SampleDateTimePicker->setDateTime(QDateTime::currentDateTime());
}

void TEinStyle::LoadStyle(int styleId) {
    FSquares = DM->LoadStyleSquares(styleId);
    for (int i = 0; i < CustomColorCount; ++i)
        QColorDialog::setCustomColor(i, StoredToColor(FSquares.CustomColors.value(i, 0)));
    ShowSquares();
}

void TEinStyle::CBStyleChange(int index) {
    if (index < 0)
        return;
    try {
        LoadStyle(index);
        ApplyStyle(index, this);
        for (const QString& kind : FSquares.Rows.keys())
            PreviewKind(kind);
    } catch (const ESQLiteError& e) {
        Messages::error(e.message());
    }
}

void TEinStyle::LBObjektClick() {
    QListWidgetItem* item = ui->LBObjekt->currentItem();
    if (!item)
        return;
    // The panels are named "PObj" + kind: a plain "P" + kind would clash with
    // the page's own title label "PTitel".
    if (auto* panel = ui->PObjekte->findChild<QWidget*>("PObj" + item->data(Qt::UserRole).toString(),
                                                        Qt::FindDirectChildrenOnly))
        ui->PObjekte->setCurrentWidget(panel);
}

std::optional<qint32> TEinStyle::SquareValue(const QFrame* square) const {
    const QString kind = square->property("styleKind").toString();
    const QString field = square->property("styleField").toString();
    const TStyleRow row = FSquares.Rows.value(kind);
    if (field == QLatin1String("BG"))
        return row.BGColor;
    if (field == QLatin1String("BGHL"))
        return row.BGHLColor;
    if (field == QLatin1String("Font"))
        return row.FontColor;
    if (field == QLatin1String("FontHL"))
        return row.FontHLColor;
    return ColorsEntry(row.Colors, field.mid(1).toInt());
}

void TEinStyle::SetSquareValue(const QFrame* square, qint32 value) {
    const QString kind = square->property("styleKind").toString();
    const QString field = square->property("styleField").toString();
    TStyleRow& row = FSquares.Row(kind);
    if (field == QLatin1String("BG"))
        row.BGColor = value;
    else if (field == QLatin1String("BGHL"))
        row.BGHLColor = value;
    else if (field == QLatin1String("Font"))
        row.FontColor = value;
    else if (field == QLatin1String("FontHL"))
        row.FontHLColor = value;
    else {
        const int n = field.mid(1).toInt();
        QList<qint32> colors = SplitColors(row.Colors);
        const int count = kind == QLatin1String("MainMenu")     ? int(MenuColorCount)
                          : kind == QLatin1String("Navigation") ? int(NavColorCount)
                                                                : 1;
        while (colors.size() < count)
            colors << 0;
        colors[n - 1] = value;
        // A pressed menu entry shows the bar's background.
        if (kind == QLatin1String("MainMenu") && n == mcColor)
            colors[mcBtnSelectedColor - 1] = value;
        row.Colors = JoinColors(colors);
    }
}

void TEinStyle::ShowSquares() {
    for (QFrame* sq : FSquareFrames) {
        QPalette p = sq->palette();
        p.setColor(QPalette::Window, StoredToColor(SquareValue(sq).value_or(0)));
        sq->setPalette(p);
    }
}

void TEinStyle::PreviewKind(const QString& kind) {
    QWidget* sample = findChild<QWidget*>("PSample" + kind);
    if (!sample)
        return;
    const TStyleRow row = FSquares.Rows.value(kind);
    const QColor bg = StoredToColor(row.BGColor.value_or(0xFFFFFF));
    const QColor fg = StoredToColor(row.FontColor.value_or(0));
    if (kind == QLatin1String("Chart")) {
        // The chart itself lives in the statistics; its sample shows the two colours.
        QPalette p = ui->SampleChart->palette();
        p.setColor(QPalette::Window, bg);
        p.setColor(QPalette::WindowText, fg);
        ui->SampleChart->setPalette(p);
        return;
    }
    ApplyStyleRows({row}, sample);
    if (kind == QLatin1String("TabControl")) {
        // Tabs drawn by the program itself show all four colours.
        const TTabColors& t = StyleTabColors();
        ui->SampleTabControl->tabBar()->setStyleSheet(
            QStringLiteral(
                "QTabBar::tab { background-color: %1; color: %2; padding: 4px 12px; border: 1px solid "
                "%5; }"
                "QTabBar::tab:selected { background-color: %3; color: %4; }")
                .arg(t.BG.name(), t.Font.name(), t.BGHL.name(), t.FontHL.name(), t.BG.darker(140).name()));
    }
}

bool TEinStyle::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::MouseButtonRelease) {
        auto* square = qobject_cast<QFrame*>(watched);
        auto* me = static_cast<QMouseEvent*>(event);
        if (square && FSquareFrames.contains(square) && me->button() == Qt::LeftButton) {
            SquareClick(square);
            return true;
        }
    }
    return TPage::eventFilter(watched, event);
}

void TEinStyle::SquareClick(QFrame* square) {
    const std::optional<QColor> chosen = ChooseColor(StoredToColor(SquareValue(square).value_or(0)));
    if (!chosen)
        return;
    SetSquareValue(square, ColorToStored(*chosen));
    for (int i = 0; i < CustomColorCount; ++i)
        FSquares.CustomColors.replace(i, ColorToStored(QColorDialog::customColor(i)));
    ShowSquares();
    PreviewKind(square->property("styleKind").toString());
}

void TEinStyle::BitBtnUebernehmenClick() {
    try {
        DM->SaveStyle(FSquares, ui->CBStyle->currentIndex());
        if (ui->CBStyle->currentIndex() != 0) {
            const QSignalBlocker block(ui->CBStyle);
            ui->CBStyle->setCurrentIndex(0);
        }
        ApplyStyle(0, this);
        for (const QString& kind : FSquares.Rows.keys())
            PreviewKind(kind);
        if (window() != this)
            ApplyStyle(0, window());
    } catch (const ESQLiteError& e) {
        Messages::error(e.message());
    }
}
