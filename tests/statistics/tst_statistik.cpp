// Revenue statistics: the four lists and the year overview computed from a
// small year of documents, and the page through its widgets (group choice,
// dates, day details, the chart, the drawing of the details list).
#include "FormTestHelpers.h"
#include "StatistikDaten.h"
#include "TReport.h"
#include "UStatistik.h"

#include <QBarCategoryAxis>
#include <QBarSeries>
#include <QBarSet>
#include <QChart>
#include <QChartView>
#include <QComboBox>
#include <QDateEdit>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTreeWidget>
#include <QValueAxis>
#include <QtTest>

#include <vector>

namespace {

const QString kFliesen = QStringLiteral("Müller's Fliesen");

struct TLine {
    double Wert;
    double Menge;
    const char* Rabatt; // "NULL" for a line without a discount
};
struct TPos {
    int Artikel;
    std::vector<TLine> Lines;
};

void Doc(TSQLiteDB& db, char typ, int id, int kunde, int kunGru, const char* datum,
         const std::vector<TPos>& pos, const char* status = "E", const char* netto = "N") {
    db.ExecSQL(
        QStringLiteral("insert into Kopf (KopfTyp,KopfID,KundenID,KunGruID,KopfBez,Status,Datum,DruDatID,"
                       "SubkundenID,Netto) values ('%1',%2,%3,%4,'Auftrag','%5','%6',1,0,'%7')")
            .arg(QLatin1Char(typ))
            .arg(id)
            .arg(kunde)
            .arg(kunGru)
            .arg(QLatin1String(status), QLatin1String(datum), QLatin1String(netto)));
    int posId = 0;
    for (const TPos& p : pos) {
        ++posId;
        db.ExecSQL(QStringLiteral("insert into PosDaten (KopfTyp,KopfID,PosID,ArtikelID,PosKurzBez,PosBez,"
                                  "Zwischensumme) values ('%1',%2,%3,%4,'Pos','Text','N')")
                       .arg(QLatin1Char(typ))
                       .arg(id)
                       .arg(posId)
                       .arg(p.Artikel));
        int preisId = 0;
        for (const TLine& l : p.Lines)
            db.ExecSQL(
                QStringLiteral("insert into PosPreis (KopfTyp,KopfID,PosID,PreisID,PreisBez,Menge,EinheitID,"
                               "Wert,Rabatt,MWStSatz) values ('%1',%2,%3,%4,'Preis',%5,1,%6,%7,20)")
                    .arg(QLatin1Char(typ))
                    .arg(id)
                    .arg(posId)
                    .arg(++preisId)
                    .arg(l.Menge)
                    .arg(l.Wert)
                    .arg(QLatin1String(l.Rabatt)));
    }
}

// Article groups Allgemein (article 0 "Rest"), Bad ("Wanne") and one whose
// name holds an apostrophe ("Fliese", "Kleber"); customer groups Allgmein
// and Gewerbe; customers with Lower Austrian, Salzburg and Carinthian
// postcodes and one starting with 0.
void Fill(TSQLiteDB& db) {
    db.ExecSQL(
        QStringLiteral("insert into ArtikelGruppe (ArtGruID,ArtGruBez) values (2,'Müller''s Fliesen')"));
    db.ExecSQL(QStringLiteral("insert into ArtikelGruppe (ArtGruID,ArtGruBez) values (3,'Bad')"));
    db.ExecSQL(QStringLiteral("insert into KundenGruppe (KunGruID,KunGruBez) values (2,'Gewerbe')"));
    for (const char* a : {"10,2,'Fliese'", "11,2,'Kleber'", "12,3,'Wanne'"})
        db.ExecSQL(
            QStringLiteral("insert into Artikel (ArtikelID,ArtGruID,ArtKurzBez,ArtBez,Aktiv) values (%1,'',"
                           "'J')")
                .arg(QLatin1String(a)));
    for (const char* k :
         {"1,'Kessler',NULL,NULL,'2345'", "2,NULL,'Huber','Anna','3456'", "3,'Ost',NULL,NULL,'0123'",
          "4,'Salz',NULL,NULL,'5020'", "5,'Storno',NULL,NULL,'9020'", "6,'Null',NULL,NULL,'1010'"})
        db.ExecSQL(
            QStringLiteral("insert into Kunde (KundenID,Firma,Nachname,Vorname,PLZ,AnredeID,TitelID,LandID,"
                           "KunGruID,Aktiv,KonzernID,HaendlerID) values (%1,1,1,1,1,'J',0,0)")
                .arg(QString::fromUtf8(k)));
    // An invoice and a credit note under the same number, then under different numbers.
    Doc(db, 'R', 1, 1, 1, "2024-03-05 10:00:00", {{12, {{100, 1, "0"}}}});
    Doc(db, 'G', 1, 1, 1, "2024-03-05 15:00:00", {{12, {{30, 1, "0"}}}});
    Doc(db, 'R', 2, 1, 1, "2024-03-06 09:00:00", {{12, {{100, 1, "0"}}}});
    Doc(db, 'G', 5, 1, 1, "2024-03-06 11:00:00", {{12, {{30, 1, "0"}}}});
    // Offers, orders, delivery notes and purchase orders are no revenue.
    for (char typ : {'O', 'A', 'L', 'B'})
        Doc(db, typ, 1, 1, 1, "2024-03-07 10:00:00", {{12, {{1000, 1, "0"}}}}, "A");
    // A closed net invoice with a discount.
    Doc(db, 'R', 3, 1, 1, "2024-03-08 10:00:00", {{12, {{200, 2, "10"}}}}, "Z", "J");
    // A line without a discount beside one with a discount of 0.
    Doc(db, 'R', 4, 1, 1, "2024-04-02 10:00:00", {{0, {{50, 2, "NULL"}, {10, 1, "0"}}}});
    // Two price lines on one position, a second position.
    Doc(db, 'R', 5, 2, 2, "2024-05-10 10:00:00", {{10, {{20, 10, "0"}, {5, 10, "0"}}}, {11, {{15, 2, "0"}}}});
    Doc(db, 'R', 6, 3, 1, "2024-06-01 10:00:00", {{0, {{40, 1, "0"}}}});
    Doc(db, 'R', 7, 4, 1, "2024-06-02 10:00:00", {{0, {{60, 1, "0"}}}});
    Doc(db, 'S', 1, 5, 2, "2024-07-01 10:00:00", {{0, {{80, 1, "0"}}}});
    // Just outside the year 2024.
    Doc(db, 'R', 8, 1, 1, "2023-12-31 23:59:00", {{12, {{70, 1, "0"}}}});
    Doc(db, 'R', 9, 1, 1, "2025-01-01 00:00:00", {{12, {{90, 1, "0"}}}});
    // Revenue that cancels out to the cent.
    Doc(db, 'R', 11, 6, 1, "2025-02-03 10:00:00", {{0, {{0.1, 1, "0"}}}});
    Doc(db, 'R', 12, 6, 1, "2025-02-03 10:00:00", {{0, {{0.2, 1, "0"}}}});
    Doc(db, 'G', 12, 6, 1, "2025-02-03 10:00:00", {{0, {{0.3, 1, "0"}}}});
}

QStringList Texts(const QList<TStatEintrag>& entries) {
    QStringList out;
    for (const TStatEintrag& e : entries)
        out << (QStringList{e.Caption} + e.Spalten).join(u'|');
    return out;
}

QStringList Captions(QTreeWidget* list) {
    QStringList out;
    for (int i = 0; i < list->topLevelItemCount(); ++i)
        out << list->topLevelItem(i)->text(0);
    return out;
}

void Choose(QComboBox* box, const QString& text) {
    const int i = box->findText(text);
    QVERIFY2(i >= 0, qPrintable(text));
    box->setCurrentIndex(i);
    emit box->activated(i);
}

// As a user does it: the first click marks the entry, the second opens it.
void DoubleClick(QTreeWidget* list, QTreeWidgetItem* item) {
    const QPoint at = list->visualItemRect(item).center();
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, at);
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, at);
}

QDate D(const char* iso) {
    return QDate::fromString(QLatin1String(iso), Qt::ISODate);
}

} // namespace

class TestStatistik : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        PinGermanLocale();
        db.BuildTemplate(Fill);
    }
    void init() { QVERIFY(db.Open()); }
    void cleanup() {
        delete page;
        page = nullptr;
        db.Close();
    }

    void lists_data();
    void lists();
    void yearOverview_data();
    void yearOverview();

    void everyTabWithApostropheGroup_data();
    void everyTabWithApostropheGroup();
    void dayDetails();
    void yearChart();
    void printButtons_data();
    void printButtons();

private:
    void showPage() {
        page = new TStatistik;
        QVERIFY(page->ShowPage());
        page->resize(1000, 700);
    }
    template <class T> T* w(const char* name) { return FindWidget<T>(page, name); }
    void setPeriod(const QString& suffix, const QDate& von, const QDate& bis) {
        page->findChild<QDateEdit*>(QStringLiteral("DTPvon") + suffix)->setDate(von);
        page->findChild<QDateEdit*>(QStringLiteral("DTPbis") + suffix)->setDate(bis);
    }

    TDatabaseFixture db;
    TStatistik* page = nullptr;
};

// The day, details, customer and postcode lists for a period and group. The apostrophe
// group reaches every list through the page in everyTabWithApostropheGroup.
void TestStatistik::lists_data() {
    QTest::addColumn<QString>("list");
    QTest::addColumn<QDate>("von");
    QTest::addColumn<QDate>("bis");
    QTest::addColumn<QString>("gruppe");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("days: credit note under another number")
        << "Tag" << D("2024-03-06") << D("2024-03-06") << QString()
        << QStringList{"06.03.2024|2|35,00 EUR|70,00 EUR", "Gesamt|2|35,00 EUR|70,00 EUR"};
    QTest::newRow("days: credit note under the same number")
        << "Tag" << D("2024-03-05") << D("2024-03-05") << QString()
        << QStringList{"05.03.2024|1|70,00 EUR|70,00 EUR", "Gesamt|1|70,00 EUR|70,00 EUR"};
    QTest::newRow("days: both bounds included")
        << "Tag" << D("2024-03-05") << D("2024-03-06") << QString()
        << QStringList{"05.03.2024|1|70,00 EUR|70,00 EUR", "06.03.2024|2|35,00 EUR|70,00 EUR",
                       "Gesamt|3|46,67 EUR|140,00 EUR"};
    QTest::newRow("days: no revenue documents")
        << "Tag" << D("2024-01-01") << D("2024-02-29") << QString() << QStringList{};
    QTest::newRow("days: offers, orders, delivery notes, purchase orders")
        << "Tag" << D("2024-03-07") << D("2024-03-07") << QString() << QStringList{};
    QTest::newRow("days: closed net invoice")
        << "Tag" << D("2024-03-08") << D("2024-03-08") << QString()
        << QStringList{"08.03.2024|1|360,00 EUR|360,00 EUR", "Gesamt|1|360,00 EUR|360,00 EUR"};
    QTest::newRow("days: empty discount counts as none")
        << "Tag" << D("2024-04-02") << D("2024-04-02") << QString()
        << QStringList{"02.04.2024|1|110,00 EUR|110,00 EUR", "Gesamt|1|110,00 EUR|110,00 EUR"};
    QTest::newRow("days: other group on the same days")
        << "Tag" << D("2024-03-01") << D("2024-05-31") << QStringLiteral("Allgemein")
        << QStringList{"02.04.2024|1|110,00 EUR|110,00 EUR", "Gesamt|1|110,00 EUR|110,00 EUR"};
    // The invoice and the credit note numbered 1 share their position 1: one position.
    QTest::newRow("details: year 2024") << "Details" << D("2024-01-01") << D("2024-12-31") << QString()
                                        << QStringList{"Allgemein|4|130,00 EUR",
                                                       "   Allgmein|3|210,00 EUR",
                                                       "      Rest|3|210,00 EUR",
                                                       "   Gewerbe|1|-80,00 EUR",
                                                       "      Rest|1|-80,00 EUR",
                                                       "||",
                                                       "Bad|4|500,00 EUR",
                                                       "   Allgmein|4|500,00 EUR",
                                                       "      Wanne|4|500,00 EUR",
                                                       "||",
                                                       "Müller's Fliesen|2|280,00 EUR",
                                                       "   Gewerbe|2|280,00 EUR",
                                                       "      Fliese|1|250,00 EUR",
                                                       "      Kleber|1|30,00 EUR",
                                                       "||",
                                                       "Gesamt|10|910,00 EUR"};
    QTest::newRow("details: no revenue documents")
        << "Details" << D("2024-03-07") << D("2024-03-07") << QString() << QStringList{};
    QTest::newRow("customers: year 2024")
        << "Kunde" << D("2024-01-01") << D("2024-12-31") << QString()
        << QStringList{"1 - Kessler |610,00 EUR", "2 - Huber Anna|280,00 EUR", "3 - Ost |40,00 EUR",
                       "4 - Salz |60,00 EUR",     "5 - Storno |-80,00 EUR",    "Gesamt|910,00 EUR"};
    QTest::newRow("customers: negative sum without Gesamt")
        << "Kunde" << D("2024-07-01") << D("2024-07-01") << QString()
        << QStringList{"5 - Storno |-80,00 EUR"};
    QTest::newRow("customers: sum cancelling out without Gesamt")
        << "Kunde" << D("2025-02-03") << D("2025-02-03") << QString() << QStringList{"6 - Null |0,00 EUR"};
    QTest::newRow("postcodes") << "PLZ" << D("2024-01-01") << D("2024-12-31") << QString()
                               << QStringList{"0123|40,00 EUR", "2345|610,00 EUR", "3456|280,00 EUR",
                                              "5020|60,00 EUR", "9020|-80,00 EUR", "Gesamt|910,00 EUR"};
    // 2 and 3 both lie in Lower Austria and still stay two entries.
    QTest::newRow("federal states") << "Bundesland" << D("2024-01-01") << D("2024-12-31") << QString()
                                    << QStringList{"0|40,00 EUR",
                                                   "2... Niederösterreich|610,00 EUR",
                                                   "3... Niederösterreich|280,00 EUR",
                                                   "5... Salzburg|60,00 EUR",
                                                   "9... Kärnten|-80,00 EUR",
                                                   "Gesamt|910,00 EUR"};
}

void TestStatistik::lists() {
    QFETCH(QString, list);
    QFETCH(QDate, von);
    QFETCH(QDate, bis);
    QFETCH(QString, gruppe);
    QFETCH(QStringList, expected);
    const TStatFilter filter{von, bis, gruppe};
    const QList<TStatEintrag> entries =
        list == u"Tag"       ? StatUmsatzProTag(db.dm->SQLiteDB1, filter)
        : list == u"Details" ? StatUmsatzDetails(db.dm->SQLiteDB1, filter)
        : list == u"Kunde"   ? StatUmsatzProKunde(db.dm->SQLiteDB1, filter)
                             : StatUmsatzProPLZ(db.dm->SQLiteDB1, filter, list == u"Bundesland");
    QCOMPARE(Texts(entries), expected);
}

void TestStatistik::yearOverview_data() {
    QTest::addColumn<int>("jahr");
    QTest::addColumn<QString>("gruppe");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("2024") << 2024 << QString()
                          << QStringList{"Allgemein:0 0 0 110 0 100 -80 0 0 0 0 0",
                                         "Bad:0 0 500 0 0 0 0 0 0 0 0 0",
                                         "Müller's Fliesen:0 0 0 0 280 0 0 0 0 0 0 0"};
    QTest::newRow("2023") << 2023 << QString()
                          << QStringList{"Allgemein:0 0 0 0 0 0 0 0 0 0 0 0", "Bad:0 0 0 0 0 0 0 0 0 0 0 70",
                                         "Müller's Fliesen:0 0 0 0 0 0 0 0 0 0 0 0"};
}

void TestStatistik::yearOverview() {
    QFETCH(int, jahr);
    QFETCH(QString, gruppe);
    QFETCH(QStringList, expected);
    QStringList got;
    for (const TStatJahrSerie& s : StatJahresUebersicht(db.dm->SQLiteDB1, jahr, gruppe)) {
        QStringList values;
        for (double v : s.Monate)
            values << QString::number(v);
        got << s.Name + u':' + values.join(u' ');
    }
    QCOMPARE(got, expected);
}

void TestStatistik::everyTabWithApostropheGroup_data() {
    QTest::addColumn<QString>("suffix");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("Umsatz pro Tag") << "2" << QStringList{"10.05.2024", "Gesamt"};
    QTest::newRow("Umsatzdetails") << "" << QStringList{kFliesen,       "   Gewerbe", "      Fliese",
                                                        "      Kleber", "",           "Gesamt"};
    QTest::newRow("Umsatz pro Kunde") << "3" << QStringList{"2 - Huber Anna", "Gesamt"};
    QTest::newRow("Umsatz pro PLZ") << "4" << QStringList{"3456", "Gesamt"};
}

void TestStatistik::everyTabWithApostropheGroup() {
    QFETCH(QString, suffix);
    QFETCH(QStringList, expected);
    showPage();
    QVERIFY(page->findChild<QPushButton*>(QStringLiteral("BtnDrucken") + suffix)->isEnabled());
    QVERIFY(page->findChild<QPushButton*>(QStringLiteral("BtnExportieren") + suffix)->isEnabled());
    auto* gruppe = page->findChild<QComboBox*>(QStringLiteral("CBArtGru") + suffix);
    QCOMPARE(gruppe->itemText(0), QStringLiteral("- Alle -"));
    QCOMPARE(gruppe->count(), 4);
    Choose(gruppe, kFliesen);
    setPeriod(suffix, D("2024-01-01"), D("2024-12-31"));
    auto* list = page->findChild<QTreeWidget*>(QStringLiteral("LVUmsatz") + suffix);
    QCOMPARE(Captions(list), expected);
    if (suffix == QLatin1String("4")) {
        w<QRadioButton>("RBBundesland")->click();
        QCOMPARE(Captions(list), (QStringList{"3... Niederösterreich", "Gesamt"}));
        w<QRadioButton>("RBPLZ")->click();
        QCOMPARE(Captions(list), expected);
    }
    QCOMPARE(db.messages->boxes.size(), 0);
}

void TestStatistik::dayDetails() {
    showPage();
    auto* tabs = w<QTabWidget>("PageControl1");
    auto* days = w<QTreeWidget>("LVUmsatz2");
    auto* details = w<QTreeWidget>("LVUmsatz");
    Choose(w<QComboBox>("CBArtGru2"), QStringLiteral("Bad"));
    setPeriod(QStringLiteral("2"), D("2024-03-01"), D("2024-03-31"));
    QCOMPARE(Captions(days), (QStringList{"05.03.2024", "06.03.2024", "08.03.2024", "Gesamt"}));

    // "Gesamt" is no day.
    const QDate before = w<QDateEdit>("DTPvon")->date();
    QTreeWidgetItem* gesamt = days->topLevelItem(3);
    DoubleClick(days, gesamt);
    QCOMPARE(tabs->currentIndex(), 0);
    QCOMPARE(w<QDateEdit>("DTPvon")->date(), before);

    QTreeWidgetItem* day = days->topLevelItem(0);
    DoubleClick(days, day);
    QCOMPARE(tabs->currentIndex(), 1);
    QCOMPARE(w<QComboBox>("CBArtGru")->currentText(), QStringLiteral("Bad"));
    QCOMPARE(w<QDateEdit>("DTPvon")->date(), D("2024-03-05"));
    QCOMPARE(w<QDateEdit>("DTPbis")->date(), D("2024-03-05"));
    QCOMPARE(Captions(details), (QStringList{"Bad", "   Allgmein", "      Wanne", "", "Gesamt"}));
    // Article groups bold, customer groups bold grey, articles plain; amounts right-aligned.
    QVERIFY(details->topLevelItem(0)->font(0).bold());
    QVERIFY(details->topLevelItem(1)->font(0).bold());
    QCOMPARE(details->topLevelItem(1)->foreground(0).color(), QColor(128, 128, 128));
    QVERIFY(!details->topLevelItem(2)->font(0).bold());
    QVERIFY(details->topLevelItem(4)->font(2).bold());
    QCOMPARE(details->topLevelItem(2)->textAlignment(2) & Qt::AlignRight, Qt::AlignRight);

    // The button: a hint without a marked day, else the marked day.
    tabs->setCurrentIndex(0);
    days->clearSelection();
    w<QPushButton>("BtnDetails")->click();
    QCOMPARE(db.messages->texts(), QStringList{"Bitte wählen Sie einen Tag aus!"});
    QCOMPARE(db.messages->boxes.first().kind, Messages::Information);
    days->topLevelItem(1)->setSelected(true);
    w<QPushButton>("BtnDetails")->click();
    QCOMPARE(tabs->currentIndex(), 1);
    QCOMPARE(w<QDateEdit>("DTPvon")->date(), D("2024-03-06"));
    QCOMPARE(details->topLevelItem(0)->text(1), QStringLiteral("2"));
    QCOMPARE(details->topLevelItem(0)->text(2), QStringLiteral("70,00 EUR"));
}

void TestStatistik::yearChart() {
    showPage();
    auto* view = w<QChartView>("ChartUms");
    auto* days = w<QTreeWidget>("LVUmsatz2");
    QVERIFY(view->isHidden() || !view->isVisibleTo(page));
    setPeriod(QStringLiteral("2"), D("2024-03-01"), D("2024-03-31"));
    w<QPushButton>("BtnJahr")->click();
    QVERIFY(view->isVisibleTo(page));
    QVERIFY(!days->isVisibleTo(page));
    QChart* chart = view->chart();
    QCOMPARE(chart->title(), QStringLiteral("Umsätze im Jahr 2024"));
    auto* series = qobject_cast<QBarSeries*>(chart->series().value(0));
    QVERIFY(series);
    QCOMPARE(series->count(), 3);
    QCOMPARE(series->barSets().at(1)->label(), QStringLiteral("Bad"));
    QCOMPARE(series->barSets().at(1)->at(2), 500.0);
    QCOMPARE(series->barSets().at(1)->at(11), 0.0);
    auto* months = qobject_cast<QBarCategoryAxis*>(chart->axes(Qt::Horizontal).value(0));
    QVERIFY(months);
    QCOMPARE(months->count(), 12);
    QCOMPARE(months->at(2), QLocale().standaloneMonthName(3, QLocale::ShortFormat));
    auto* amounts = qobject_cast<QValueAxis*>(chart->axes(Qt::Vertical).value(0));
    QVERIFY(amounts);
    QCOMPARE(amounts->titleText(), QStringLiteral("Umsatz in EUR"));

    // Rebuilt while visible, for the year of the from-date and the chosen group only.
    Choose(w<QComboBox>("CBArtGru2"), kFliesen);
    series = qobject_cast<QBarSeries*>(chart->series().value(0));
    QCOMPARE(series->count(), 1);
    QCOMPARE(series->barSets().at(0)->label(), kFliesen);
    QCOMPARE(series->barSets().at(0)->at(4), 280.0);
    w<QDateEdit>("DTPvon2")->setDate(D("2023-06-01"));
    QCOMPARE(chart->title(), QStringLiteral("Umsätze im Jahr 2023"));
    QCOMPARE(chart->series().size(), 1);

    w<QPushButton>("BtnJahr")->click();
    QVERIFY(!view->isVisibleTo(page));
    QVERIFY(days->isVisibleTo(page));
    QCOMPARE(db.messages->boxes.size(), 0);
}

void TestStatistik::printButtons_data() {
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("suffix");
    QTest::addColumn<QString>("list");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("days") << "BtnDrucken2"
                          << "2"
                          << "LVUmsatz2" << QStringList{"Umsatz pro Tag", "vom 01.01.2024 bis 31.12.2024"};
    QTest::newRow("details") << "BtnDrucken"
                             << ""
                             << "LVUmsatz" << QStringList{"Umsatzdetails", "vom 01.01.2024 bis 31.12.2024"};
    QTest::newRow("customers") << "BtnDrucken3"
                               << "3"
                               << "LVUmsatz3" << QStringList{"Umsatz pro Kunde"};
    QTest::newRow("postcodes") << "BtnDrucken4"
                               << "4"
                               << "LVUmsatz4" << QStringList{"Umsatz pro PLZ"};
    QTest::newRow("chart") << "BtnChartDrucken"
                           << "2"
                           << "" << QStringList{"Umsätze im Jahr 2024", "Bad", "Jan Feb Mär"};
}

// Each print button opens the preview of what the screen shows; the pages
// the preview would print are written to a PDF and read back.
void TestStatistik::printButtons() {
    QFETCH(QString, button);
    QFETCH(QString, suffix);
    QFETCH(QString, list);
    QFETCH(QStringList, expected);
    showPage();
    page->show();
    setPeriod(suffix, D("2024-01-01"), D("2024-12-31"));
    if (list.isEmpty())
        w<QPushButton>("BtnJahr")->click();
    auto* print = page->findChild<QPushButton*>(button);
    QVERIFY(print && print->isEnabled());

    QTemporaryDir dir;
    const QString pdf = dir.filePath(QStringLiteral("druck.pdf"));
    QString title;
    int runs = 0;
    const auto previous = TReport::PreviewRunner();
    TReport::PreviewRunner() = [&](QDialog& dialog) {
        ++runs;
        title = dialog.windowTitle();
        QPrinter printer(QPrinter::HighResolution);
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(pdf);
        printer.setFullPage(true);
        printer.setPageSize(QPageSize(QPageSize::A4));
        emit static_cast<QPrintPreviewDialog&>(dialog).paintRequested(&printer);
    };
    print->click();
    TReport::PreviewRunner() = previous;
    QCOMPARE(runs, 1);
    QCOMPARE(title, QStringLiteral("Druckvorschau"));
    QCOMPARE(db.messages->boxes.size(), 0);

    QProcess text;
    text.start(QStringLiteral("pdftotext"), {QStringLiteral("-raw"), pdf, QStringLiteral("-")});
    QVERIFY(text.waitForFinished(60000));
    const QString printed = QString::fromUtf8(text.readAllStandardOutput());
    for (const QString& e : expected)
        QVERIFY2(printed.contains(e), qPrintable(e + QStringLiteral(" missing in:\n") + printed));
    if (!list.isEmpty()) {
        // Every entry with its figures, the total included.
        auto* tree = w<QTreeWidget>(list.toLatin1().constData());
        QVERIFY(tree->topLevelItemCount() > 1);
        QCOMPARE(tree->topLevelItem(tree->topLevelItemCount() - 1)->text(0), QStringLiteral("Gesamt"));
        for (int i = 0; i < tree->topLevelItemCount(); ++i) {
            QStringList cells;
            for (int c = 0; c < tree->columnCount(); ++c)
                cells << tree->topLevelItem(i)->text(c).trimmed();
            cells.removeAll(QString());
            if (!cells.isEmpty())
                QVERIFY2(printed.contains(cells.join(u' ')), qPrintable(cells.join(u' ') + "\n" + printed));
        }
    }
}

QTEST_MAIN(TestStatistik)
#include "tst_statistik.moc"
