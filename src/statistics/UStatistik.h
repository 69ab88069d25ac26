// The statistics page "   Statistik / Auswertungen": the revenue of a period
// per day (with the year chart by month), in detail per article group,
// customer group and article, per customer and per postcode or federal
// state. Protected by the access right "Statistik".
#pragma once

#include "StatistikDaten.h"
#include "UPage.h"

namespace Ui {
class TStatistik;
}

class QComboBox;
class QDateEdit;
class QTreeWidget;
class QTreeWidgetItem;

class TStatistik : public TPage {
    Q_OBJECT
public:
    explicit TStatistik(QWidget* pageArea = nullptr);
    ~TStatistik() override;

    // Each tab computed anew from its group and dates.
    void BerechneTag();
    void BerechneDetails();
    void BerechneKunde();
    void BerechnePLZ();

    // The day entry's details on the "Umsatzdetails" tab; nothing for
    // "Gesamt" or no entry.
    void TagDetails(QTreeWidgetItem* item);
    // "Details anzeigen": the marked day's details, or a hint to mark one.
    void DetailsClick();
    // "Jahresübersicht": switches between the day list and the year chart.
    void JahrClick();
    bool ChartVisible() const;
    // "Drucken" under the chart: the year chart on a page of its own.
    void PrintChart();

protected:
    void PrepareShow() override;

private:
    TStatFilter Filter(QComboBox* gruppe, QDateEdit* von, QDateEdit* bis) const;
    // The line below a printed list's title: its period and chosen group.
    QString Period(QComboBox* gruppe, QDateEdit* von, QDateEdit* bis) const;
    void FillList(QTreeWidget* list, const QList<TStatEintrag>& entries);
    void BuildChart();
    void ApplyTabColors();
    void ConnectTab(QComboBox* gruppe, QDateEdit* von, QDateEdit* bis, void (TStatistik::*berechne)());

    Ui::TStatistik* ui;
    QWidget* FChart = nullptr; // the chart view; absent where Qt Charts is not installed
    bool FSetting = false;     // dates set by the program, not by the user
};
