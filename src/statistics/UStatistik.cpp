#include "UStatistik.h"

#include "ComboHelpers.h"
#include "Messages.h"
#include "SQLite.h"
#include "StyleColors.h"
#include "Styles.h"
#include "TDBDataLink.h"
#include "TListReport.h"
#include "UDM.h"
#include "UExtras.h"
#include "UOffenePosten.h"
#include "ui_UStatistik.h"

#include <QHeaderView>
#include <QLocale>
#include <QPainter>
#include <QTabBar>

#if __has_include(<QChartView>)
#define QV_HAVE_CHARTS 1
#include <QBarCategoryAxis>
#include <QBarSeries>
#include <QBarSet>
#include <QChart>
#include <QChartView>
#include <QGraphicsLayout>
#include <QValueAxis>
#endif

#include <algorithm>

namespace {

// Customer groups in the details list are drawn in this grey (a stored colour value).
constexpr qint32 kGrau = 8421504;

void SetWidths(QTreeWidget* list, std::initializer_list<int> widths) {
    int c = 0;
    for (int w : widths)
        list->setColumnWidth(c++, w);
    // Amounts and counts line up on their right edge, headings with them.
    for (int i = 1; i < list->columnCount(); ++i)
        list->headerItem()->setTextAlignment(i, Qt::AlignRight | Qt::AlignVCenter);
}

// The list as the screen shows it: captions with their alignment, column
// widths as shares of the line, bold and grey entries.
TListReport ListToPrint(const QTreeWidget* list, const QString& title, const QString& subtitle) {
    TListReport report;
    report.Title = title;
    report.Subtitle = subtitle;
    const QTreeWidgetItem* header = list->headerItem();
    for (int c = 0; c < list->columnCount(); ++c)
        report.Columns.append({header->text(c),
                               Qt::Alignment(header->textAlignment(c)) & Qt::AlignHorizontal_Mask,
                               double(std::max(1, list->columnWidth(c)))});
    const QColor grau = StoredToColor(kGrau);
    for (int i = 0; i < list->topLevelItemCount(); ++i) {
        const QTreeWidgetItem* item = list->topLevelItem(i);
        TListRow row;
        for (int c = 0; c < list->columnCount(); ++c)
            row.Cells << item->text(c);
        row.Bold = item->font(0).bold();
        row.Grey = item->foreground(0).style() != Qt::NoBrush && item->foreground(0).color() == grau;
        report.Rows.append(row);
    }
    return report;
}

void Print(const TListReport& report) {
    try {
        report.Execute(TReportDestination::Preview);
    } catch (const EReportError& e) {
        Messages::error(e.message());
    }
}

#ifdef QV_HAVE_CHARTS
void StyleChart(QWidget* w, const QColor& background, const QColor& title) {
    auto* view = qobject_cast<QChartView*>(w);
    if (!view)
        return;
    view->chart()->setBackgroundBrush(background);
    view->chart()->setTitleBrush(title);
    view->setBackgroundBrush(background);
}
#endif

} // namespace

TStatistik::TStatistik(QWidget* pageArea) : TPage(pageArea), ui(new Ui::TStatistik) {
    ui->setupUi(this);
    setObjectName(QStringLiteral("Statistik"));
    RightKey = QStringLiteral("Statistik");
    ui->PChart->hide();
    // The receivables beside the revenue: open and overdue at a day.
    ui->PageControl1->addTab(new TOffeneBetraege(ui->PageControl1), QStringLiteral("Offene Beträge"));

#ifdef QV_HAVE_CHARTS
    auto* view = new QChartView(ui->PChart);
    view->setObjectName(QStringLiteral("ChartUms"));
    view->setRenderHint(QPainter::Antialiasing);
    view->chart()->legend()->setAlignment(Qt::AlignRight);
    ui->VLayoutChart->insertWidget(0, view, 1);
    FChart = view;
    ChartStyler = StyleChart;
#endif

    SetWidths(ui->LVUmsatz2, {130, 150, 170, 150});
    SetWidths(ui->LVUmsatz, {420, 100, 150});
    SetWidths(ui->LVUmsatz3, {520, 150});
    SetWidths(ui->LVUmsatz4, {320, 150});

    ConnectTab(ui->CBArtGru2, ui->DTPvon2, ui->DTPbis2, &TStatistik::BerechneTag);
    ConnectTab(ui->CBArtGru, ui->DTPvon, ui->DTPbis, &TStatistik::BerechneDetails);
    ConnectTab(ui->CBArtGru3, ui->DTPvon3, ui->DTPbis3, &TStatistik::BerechneKunde);
    ConnectTab(ui->CBArtGru4, ui->DTPvon4, ui->DTPbis4, &TStatistik::BerechnePLZ);
    for (QRadioButton* rb : {ui->RBPLZ, ui->RBBundesland})
        connect(rb, &QRadioButton::clicked, this, [this] { RunDataAction([this] { BerechnePLZ(); }); });

    connect(ui->LVUmsatz2, &QTreeWidget::itemDoubleClicked, this,
            [this](QTreeWidgetItem* item) { RunDataAction([this, item] { TagDetails(item); }); });
    connect(ui->BtnDetails, &QPushButton::clicked, this,
            [this] { RunDataAction([this] { DetailsClick(); }); });
    connect(ui->BtnJahr, &QPushButton::clicked, this, [this] { RunDataAction([this] { JahrClick(); }); });
    // "&Exportieren" writes the list as shown into a spreadsheet file named after its tab.
    const struct {
        QPushButton* Button;
        QTreeWidget* List;
        QWidget* Tab;
    } exports[] = {{ui->BtnExportieren2, ui->LVUmsatz2, ui->TabSheet1},
                   {ui->BtnExportieren, ui->LVUmsatz, ui->TabSheet2},
                   {ui->BtnExportieren3, ui->LVUmsatz3, ui->TabSheet3},
                   {ui->BtnExportieren4, ui->LVUmsatz4, ui->TabSheet4}};
    for (const auto& e : exports)
        connect(e.Button, &QPushButton::clicked, this, [this, list = e.List, tab = e.Tab] {
            const int index = ui->PageControl1->indexOf(tab);
            ExportList(this, list,
                       index >= 0 ? ui->PageControl1->tabText(index) : QStringLiteral("Statistik"));
        });
    // "&Drucken" prints the list as shown, headed by its tab's name and the chosen period.
    const struct {
        QPushButton* Button;
        QTreeWidget* List;
        QWidget* Tab;
        QComboBox* Gruppe;
        QDateEdit* Von;
        QDateEdit* Bis;
    } prints[] = {{ui->BtnDrucken2, ui->LVUmsatz2, ui->TabSheet1, ui->CBArtGru2, ui->DTPvon2, ui->DTPbis2},
                  {ui->BtnDrucken, ui->LVUmsatz, ui->TabSheet2, ui->CBArtGru, ui->DTPvon, ui->DTPbis},
                  {ui->BtnDrucken3, ui->LVUmsatz3, ui->TabSheet3, ui->CBArtGru3, ui->DTPvon3, ui->DTPbis3},
                  {ui->BtnDrucken4, ui->LVUmsatz4, ui->TabSheet4, ui->CBArtGru4, ui->DTPvon4, ui->DTPbis4}};
    for (const auto& p : prints)
        connect(p.Button, &QPushButton::clicked, this, [this, p] {
            const int index = ui->PageControl1->indexOf(p.Tab);
            QString title = index >= 0 ? ui->PageControl1->tabText(index) : QStringLiteral("Statistik");
            if (p.List == ui->LVUmsatz4 && ui->RBBundesland->isChecked())
                title = QStringLiteral("Umsatz pro Bundesland");
            Print(ListToPrint(p.List, title, Period(p.Gruppe, p.Von, p.Bis)));
        });
    connect(ui->BtnChartDrucken, &QPushButton::clicked, this, [this] { PrintChart(); });
}

TStatistik::~TStatistik() {
    delete ui;
}

void TStatistik::ConnectTab(QComboBox* gruppe, QDateEdit* von, QDateEdit* bis,
                            void (TStatistik::*berechne)()) {
    auto run = [this, berechne] {
        if (!FSetting)
            RunDataAction([this, berechne] { (this->*berechne)(); });
    };
    connect(gruppe, &QComboBox::activated, this, run);
    connect(von, &QDateEdit::dateChanged, this, run);
    connect(bis, &QDateEdit::dateChanged, this, run);
}

void TStatistik::PrepareShow() {
    for (QPushButton* b :
         {ui->BtnDrucken2, ui->BtnDrucken, ui->BtnDrucken3, ui->BtnDrucken4, ui->BtnChartDrucken,
          ui->BtnExportieren2, ui->BtnExportieren, ui->BtnExportieren3, ui->BtnExportieren4})
        b->setEnabled(true);
    ApplyTabColors();

    struct TTab {
        QComboBox* Gruppe;
        QDateEdit* Von;
        QDateEdit* Bis;
        void (TStatistik::*Berechne)();
    };
    const TTab tabs[] = {{ui->CBArtGru2, ui->DTPvon2, ui->DTPbis2, &TStatistik::BerechneTag},
                         {ui->CBArtGru, ui->DTPvon, ui->DTPbis, &TStatistik::BerechneDetails},
                         {ui->CBArtGru3, ui->DTPvon3, ui->DTPbis3, &TStatistik::BerechneKunde},
                         {ui->CBArtGru4, ui->DTPvon4, ui->DTPbis4, &TStatistik::BerechnePLZ}};
    StatPrepareIndex(DM->SQLiteDB1);
    const QDate heute = QDate::currentDate();
    TSQLiteQuery query(&DM->SQLiteDB1);
    for (const TTab& t : tabs) {
        FSetting = true;
        FillGroupCombo(query, t.Gruppe, 3, true);
        t.Von->setDate(heute);
        t.Bis->setDate(heute);
        FSetting = false;
        (this->*t.Berechne)();
    }
}

QString TStatistik::Period(QComboBox* gruppe, QDateEdit* von, QDateEdit* bis) const {
    const QString format = QStringLiteral("dd.MM.yyyy");
    QString text = QStringLiteral("vom ") + von->date().toString(format) + QStringLiteral(" bis ") +
                   bis->date().toString(format);
    if (gruppe->currentIndex() > 0)
        text += QStringLiteral(", Artikelgruppe ") + gruppe->currentText();
    return text;
}

void TStatistik::PrintChart() {
#ifdef QV_HAVE_CHARTS
    auto* view = static_cast<QChartView*>(FChart);
    TListReport report;
    report.Title = view->chart()->title();
    if (ui->CBArtGru2->currentIndex() > 0)
        report.Subtitle = QStringLiteral("Artikelgruppe ") + ui->CBArtGru2->currentText();
    // The chart as it stands on the screen, scaled to the page's width; laid
    // out first in case it was just built and not yet painted.
    if (QGraphicsLayout* layout = view->chart()->layout())
        layout->activate();
    const QSize size = view->size();
    report.DrawingAspect = size.width() > 0 && size.height() > 0 ? double(size.height()) / size.width() : 0.6;
    report.Drawing = [view](QPainter& painter, const QRectF& area) { view->render(&painter, area); };
    Print(report);
#endif
}

TStatFilter TStatistik::Filter(QComboBox* gruppe, QDateEdit* von, QDateEdit* bis) const {
    // Entry 0 is "- Alle -".
    return {von->date(), bis->date(), gruppe->currentIndex() > 0 ? gruppe->currentText() : QString()};
}

void TStatistik::FillList(QTreeWidget* list, const QList<TStatEintrag>& entries) {
    list->clear();
    QList<QTreeWidgetItem*> items;
    items.reserve(entries.size());
    QFont bold = list->font();
    bold.setBold(true);
    const QColor grau = StoredToColor(kGrau);
    for (const TStatEintrag& e : entries) {
        auto* item = new QTreeWidgetItem(QStringList{e.Caption} + e.Spalten);
        for (int c = 1; c < list->columnCount(); ++c)
            item->setTextAlignment(c, Qt::AlignRight | Qt::AlignVCenter);
        if (e.Look != TStatLook::Plain)
            for (int c = 0; c < list->columnCount(); ++c)
                item->setFont(c, bold);
        if (e.Look == TStatLook::BoldGrey)
            for (int c = 0; c < list->columnCount(); ++c)
                item->setForeground(c, grau);
        if (e.Tag.isValid())
            item->setData(0, Qt::UserRole, e.Tag);
        items.append(item);
    }
    list->addTopLevelItems(items);
}

void TStatistik::BerechneTag() {
    FillList(ui->LVUmsatz2, StatUmsatzProTag(DM->SQLiteDB1, Filter(ui->CBArtGru2, ui->DTPvon2, ui->DTPbis2)));
    if (ChartVisible())
        BuildChart();
}

void TStatistik::BerechneDetails() {
    FillList(ui->LVUmsatz, StatUmsatzDetails(DM->SQLiteDB1, Filter(ui->CBArtGru, ui->DTPvon, ui->DTPbis)));
}

void TStatistik::BerechneKunde() {
    FillList(ui->LVUmsatz3,
             StatUmsatzProKunde(DM->SQLiteDB1, Filter(ui->CBArtGru3, ui->DTPvon3, ui->DTPbis3)));
}

void TStatistik::BerechnePLZ() {
    FillList(ui->LVUmsatz4, StatUmsatzProPLZ(DM->SQLiteDB1, Filter(ui->CBArtGru4, ui->DTPvon4, ui->DTPbis4),
                                             ui->RBBundesland->isChecked()));
}

void TStatistik::TagDetails(QTreeWidgetItem* item) {
    const QDate tag = item ? item->data(0, Qt::UserRole).toDate() : QDate();
    if (!tag.isValid())
        return;
    FSetting = true;
    ui->CBArtGru->setCurrentIndex(ui->CBArtGru2->currentIndex());
    ui->DTPvon->setDate(tag);
    ui->DTPbis->setDate(tag);
    FSetting = false;
    BerechneDetails();
    ui->PageControl1->setCurrentWidget(ui->TabSheet2);
}

void TStatistik::DetailsClick() {
    const QList<QTreeWidgetItem*> selected = ui->LVUmsatz2->selectedItems();
    if (selected.isEmpty()) {
        Messages::info(QStringLiteral("Bitte wählen Sie einen Tag aus!"));
        return;
    }
    TagDetails(selected.first());
}

bool TStatistik::ChartVisible() const {
    return !ui->PChart->isHidden();
}

void TStatistik::JahrClick() {
    const bool show = !ChartVisible();
    ui->LVUmsatz2->setVisible(!show);
    ui->PChart->setVisible(show);
    if (show)
        BuildChart();
}

void TStatistik::BuildChart() {
#ifdef QV_HAVE_CHARTS
    QChart* chart = static_cast<QChartView*>(FChart)->chart();
    chart->removeAllSeries();
    for (QAbstractAxis* axis : chart->axes()) {
        chart->removeAxis(axis);
        delete axis;
    }
    const int jahr = ui->DTPvon2->date().year();
    chart->setTitle(QStringLiteral("Umsätze im Jahr ") + QString::number(jahr));
    const QString gruppe = ui->CBArtGru2->currentIndex() > 0 ? ui->CBArtGru2->currentText() : QString();
    const QList<TStatJahrSerie> serien = StatJahresUebersicht(DM->SQLiteDB1, jahr, gruppe);

    auto* series = new QBarSeries;
    double lo = 0, hi = 0;
    for (const TStatJahrSerie& s : serien) {
        auto* set = new QBarSet(s.Name);
        for (double v : s.Monate) {
            set->append(v);
            lo = std::min(lo, v);
            hi = std::max(hi, v);
        }
        series->append(set);
    }
    series->setLabelsVisible(false);
    chart->addSeries(series);

    QStringList monate;
    for (int m = 1; m <= 12; ++m)
        monate << QLocale().standaloneMonthName(m, QLocale::ShortFormat);
    auto* x = new QBarCategoryAxis;
    x->append(monate);
    chart->addAxis(x, Qt::AlignBottom);
    series->attachAxis(x);
    auto* y = new QValueAxis;
    y->setTitleText(QStringLiteral("Umsatz in EUR"));
    y->setLabelFormat(QStringLiteral("%.0f"));
    y->setRange(lo, hi > lo ? hi : lo + 1);
    y->applyNiceNumbers();
    chart->addAxis(y, Qt::AlignLeft);
    series->attachAxis(y);
#endif
}

void TStatistik::ApplyTabColors() {
    // The page draws its tabs in the style's tab colours: the chosen tab in
    // its highlight colours, the caption centred a little below the top.
    const TTabColors& c = StyleTabColors();
    ui->PageControl1->tabBar()->setStyleSheet(
        QStringLiteral("QTabBar::tab { background-color: %1; color: %2; border: 1px solid %5; border-bottom: "
                       "none; padding: 2px 14px 5px 14px; margin-right: 2px; }"
                       "QTabBar::tab:selected { background-color: %3; color: %4; }")
            .arg(c.BG.name(), c.Font.name(), c.BGHL.name(), c.FontHL.name(), c.BG.darker(140).name()));
}
