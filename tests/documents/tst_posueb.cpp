// The positions list through its widgets: the document's figures and the
// amounts per position, new, change and delete with the list following, a
// closed document shown read-only (also once printing closed it), leaving the
// page, the reordering by dragging a row with the mouse, and a screenshot.
#include "DatabaseFixture.h"
#include "FormTestHelpers.h"
#include "TDBEdit.h"
#include "TDBGrid.h"
#include "UPosDaten.h"
#include "UPosUeb.h"

#include <QDir>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QToolButton>
#include <QtTest>

class TestPosUeb : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void figuresAndAmounts_data();
    void figuresAndAmounts();
    void newAndChange();
    void deleteAsks_data();
    void deleteAsks();
    void closedDocument();
    void printingClosesTheList();
    void back();
    void dragAndDrop_data();
    void dragAndDrop();
    void screenshot();

private:
    template <class T> T* w(const char* name) { return FindWidget<T>(page, name); }
    TDBGrid* grid() { return w<TDBGrid>("DBGrid1"); }
    void exec(const QString& sql) { dm->SQLiteDB1.ExecSQL(sql); }
    int count(const QString& sql) { return QueryInt(dm->Query2, sql); }
    // Positions 1 ... n of R 1, each with one price line of amount 100 × its number.
    void addPositions(int n, int kopf = 1) {
        for (int pos = 1; pos <= n; ++pos) {
            exec(QStringLiteral("insert into PosDaten values ('R',%1,%2,0,'p%2','p%2','N')")
                     .arg(kopf)
                     .arg(pos));
            exec(QStringLiteral("insert into PosPreis values ('R',%1,%2,1,'p%2',null,1,2,%3,0,20)")
                     .arg(kopf)
                     .arg(pos)
                     .arg(pos * 100));
        }
    }
    // Short designation of each row, and "PosID:PreisBez" of the price lines.
    QStringList listed() {
        QStringList result;
        for (int row = 0; row < grid()->model()->rowCount(); ++row)
            result << grid()->GridModel()->Text(row, 2);
        return result;
    }
    QStringList lineOwners() {
        QStringList result;
        dm->Query2.RunSQL(QStringLiteral(
            "select PosID, PreisBez from PosPreis where KopfTyp = 'R' and KopfID = 1 order by PosID"));
        for (dm->Query2.First(); !dm->Query2.Eof(); dm->Query2.Next())
            result << dm->Query2.Fields(0)->AsString() + QLatin1Char(':') + dm->Query2.Fields(1)->AsString();
        return result;
    }
    QPoint rowCenter(int row) {
        return QPoint(grid()->columnViewportPosition(2) + 10,
                      grid()->rowViewportPosition(row) + grid()->rowHeight(row) / 2);
    }
    // Runs what the modal position form does with the form, then closes it.
    void whileFormOpen(const std::function<void(TPosDaten*)>& work) {
        QTimer::singleShot(0, page, [this, work] {
            work(page->PosDaten());
            page->PosDaten()->done(0);
        });
    }
    void showPage() {
        page->resize(900, 600);
        page->show();
        QVERIFY(QTest::qWaitForWindowExposed(page));
    }

    TDatabaseFixture db;
    TDM* dm = nullptr;
    TPosUeb* page = nullptr;
};

void TestPosUeb::initTestCase() {
    PinGermanLocale();
    db.BuildTemplate([](TSQLiteDB& base) {
        base.ExecSQL(QStringLiteral(
            "insert into Kunde (KundenID,AnredeID,TitelID,Firma,Nachname,Vorname,LandID,KunGruID,Aktiv,"
            "KonzernID,HaendlerID) values (10,1,1,'Alpen Bau','Berger','Anna',1,1,'J',0,0)"));
        base.ExecSQL(
            QStringLiteral("insert into Kunde "
                           "(KundenID,AnredeID,TitelID,Nachname,LandID,KunGruID,Aktiv,KonzernID,HaendlerID) "
                           "values (11,1,1,'Huber',1,1,'J',0,0)"));
        base.ExecSQL(QStringLiteral(
            "insert into Lieferant (LieferantenID,Firma,LandID,LieGruID,AnspAnredeID,AnspTitelID,"
            "Aktiv) values (7,'Holz GmbH',1,1,1,1,'J')"));
        for (const char* kopf :
             {"'R',1,'E',10,'N'", "'R',2,'A',10,'N'", "'R',3,'E',11,'J'", "'B',1,'E',7,'N'"})
            base.ExecSQL(
                QStringLiteral("insert into Kopf (KopfTyp,KopfID,Status,KundenID,Netto,KunGruID,Datum,"
                               "DruDatID,SubkundenID,Rabatt,KopfBez) values (%1,1,'2024-03-05 "
                               "10:00:00',1,0,0,'Badsanierung Haus Berger')")
                    .arg(QLatin1String(kopf)));
    });
}

void TestPosUeb::init() {
    QVERIFY(db.Open());
    dm = db.dm;
    page = new TPosUeb;
}

void TestPosUeb::cleanup() {
    TPosUeb::ShowPrint = nullptr;
    TPosUeb::ShowOverview = nullptr;
    delete page;
    page = nullptr;
    db.Close();
}

// ---------------------------------------------------------------------------

void TestPosUeb::figuresAndAmounts_data() {
    QTest::addColumn<QString>("typ");
    QTest::addColumn<int>("kopf");
    QTest::addColumn<QString>("partner");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("vat"); // VAT and gross of position 10 (amount 1000)
    QTest::addColumn<QString>("gross");
    QTest::newRow("invoice") << "R" << 1 << "10"
                             << "Alpen Bau Berger Anna"
                             << "200,00"
                             << "1.200,00";
    QTest::newRow("without VAT, no firm") << "R" << 3 << "11"
                                          << "Huber"
                                          << "0,00"
                                          << "1.000,00";
    QTest::newRow("purchase order") << "B" << 1 << "7"
                                    << "Holz GmbH"
                                    << "200,00"
                                    << "1.200,00";
}

void TestPosUeb::figuresAndAmounts() {
    QFETCH(QString, typ);
    QFETCH(int, kopf);
    QFETCH(QString, partner);
    QFETCH(QString, name);
    QFETCH(QString, vat);
    QFETCH(QString, gross);
    for (int pos = 1; pos <= 10; ++pos) {
        exec(QStringLiteral("insert into PosDaten values ('%1',%2,%3,0,'p%3','p%3','N')")
                 .arg(typ)
                 .arg(kopf)
                 .arg(pos));
        exec(QStringLiteral("insert into PosPreis values ('%1',%2,%3,1,'x',null,1,2,%4,0,20)")
                 .arg(typ)
                 .arg(kopf)
                 .arg(pos)
                 .arg(pos * 100));
    }
    QVERIFY(page->Open(typ, kopf));
    QVERIFY(page->isVisible());
    QCOMPARE(w<QLabel>("PTitel")->text(),
             QStringLiteral("   Positionsübersicht - ") + (typ == "B" ? "Bestellung" : "Rechnung"));
    QCOMPARE(w<QLabel>("LabKopfID")->text(), QString::number(kopf));
    QCOMPARE(w<QLabel>("LabKundenID")->text(), partner);
    QCOMPARE(w<QLabel>("LabKundenname")->text(), name);
    QCOMPARE(w<QLabel>("LabKopfBez")->text(), QStringLiteral("Badsanierung Haus Berger"));
    QCOMPARE(w<QLabel>("LabBetrag")->text(), QStringLiteral("5.500,00"));
    QCOMPARE(grid()->model()->rowCount(), 10);
    QStringList headers;
    for (int c = 0; c < grid()->model()->columnCount(); ++c)
        headers << grid()->model()->headerData(c, Qt::Horizontal).toString();
    QCOMPARE(headers, (QStringList{"PosNr.", "ArtikelNr.", "Bezeichnung", "Betrag", "MWSt.", "inkl. MWSt."}));
    QCOMPARE(grid()->GridModel()->Text(9, 3), QStringLiteral("1.000,00"));
    QCOMPARE(grid()->GridModel()->Text(9, 4), vat);
    QCOMPARE(grid()->GridModel()->Text(9, 5), gross);
}

// After the form the list is run again and stands on the position edited or
// made; the document's amount follows.
void TestPosUeb::newAndChange() {
    addPositions(2);
    QVERIFY(page->Open(QStringLiteral("R"), 1));
    whileFormOpen([](TPosDaten* form) {
        auto* kurz = FindWidget<TDBEdit>(form, "DBEdit3");
        kurz->selectAll();
        TypeText(kurz, QStringLiteral("Neu"));
        FindWidget<TDBNavigator>(form, "DBNavigator1")->BtnClick(TDBNavigator::nbPost);
    });
    w<QPushButton>("BitBtnNeu")->click();
    QCOMPARE(listed(), (QStringList{"p1", "p2", "Neu"}));
    QCOMPARE(grid()->CurrentRow(), 2);
    QCOMPARE(w<QLabel>("LabBetrag")->text(), QStringLiteral("310,00"));

    dm->QueryPos.First();
    int mode = 0;
    whileFormOpen([&mode](TPosDaten* form) {
        mode = FindWidget<TDBEdit>(form, "DBEdit3")->isEnabled() ? 2 : 3;
        auto* kurz = FindWidget<TDBEdit>(form, "DBEdit3");
        kurz->selectAll();
        TypeText(kurz, QStringLiteral("Geändert"));
        FindWidget<TDBNavigator>(form, "DBNavigator1")->BtnClick(TDBNavigator::nbPost);
    });
    emit grid()->recordDoubleClicked(0);
    QCOMPARE(mode, 2);
    QCOMPARE(listed(), (QStringList{"Geändert", "p2", "Neu"}));
    QCOMPARE(grid()->CurrentRow(), 0);
    QCOMPARE(db.messages->texts(), QStringList());
}

void TestPosUeb::deleteAsks_data() {
    QTest::addColumn<int>("answer");
    QTest::addColumn<QStringList>("remaining");
    QTest::addColumn<QString>("betrag");
    QTest::newRow("Nein") << int(Messages::No) << QStringList{"1:p1", "2:p2", "3:p3"} << "600,00";
    QTest::newRow("Ja") << int(Messages::Yes) << QStringList{"1:p1", "3:p3"} << "400,00";
}

void TestPosUeb::deleteAsks() {
    QFETCH(int, answer);
    QFETCH(QStringList, remaining);
    QFETCH(QString, betrag);
    addPositions(3);
    addPositions(2, 2); // a closed document's positions of the same numbers
    QVERIFY(page->Open(QStringLiteral("R"), 1));
    dm->QueryPos.Locate(QStringLiteral("PosID"), 2);
    db.messages->answers.enqueue(Messages::Answer(answer));
    w<QPushButton>("BitBtnLoeschen")->click();
    QCOMPARE(db.messages->texts(), QStringList{"Soll die Position 2 wirklich gelöscht werden?"});
    QCOMPARE(db.messages->boxes.first().defaultAnswer, Messages::No);
    QCOMPARE(lineOwners(), remaining);
    QCOMPARE(count("select count(*) from PosDaten where KopfID = 1"), remaining.size());
    QCOMPARE(w<QLabel>("LabBetrag")->text(), betrag);
    QCOMPARE(count("select count(*) from PosPreis where KopfID = 2"), 2);
}

// A closed document lists its positions and opens them read-only.
void TestPosUeb::closedDocument() {
    addPositions(2, 2);
    QVERIFY(page->Open(QStringLiteral("R"), 2));
    QVERIFY(!page->Editable());
    QVERIFY(!w<QPushButton>("BitBtnNeu")->isEnabled());
    QVERIFY(!w<QPushButton>("BitBtnLoeschen")->isEnabled());
    QVERIFY(w<QPushButton>("BitBtnAendern")->isEnabled());
    QCOMPARE(grid()->contextMenuPolicy(), Qt::NoContextMenu);
    bool readOnly = false;
    whileFormOpen([&readOnly](TPosDaten* form) {
        readOnly = !FindWidget<QToolButton>(form, "BitBtnArtikel")->isEnabled() &&
                   !FindWidget<TDBEdit>(form, "DBEdit3")->isEnabled();
    });
    w<QPushButton>("BitBtnAendern")->click();
    QVERIFY(readOnly);
    // The buttons are off, and so is what they would do.
    page->LoeschenClick();
    page->NeuClick();
    QCOMPARE(db.messages->texts(), QStringList());
    QCOMPARE(count("select count(*) from PosDaten where KopfID = 2"), 2);
}

void TestPosUeb::printingClosesTheList() {
    addPositions(1);
    QVERIFY(page->Open(QStringLiteral("R"), 1));
    QVERIFY(page->Editable());
    QStringList printed;
    TPosUeb::ShowPrint = [&](const QString& typ, int kopfId) {
        printed << typ + QString::number(kopfId);
        dm->SQLiteDB1.ExecSQL(
            QStringLiteral("update Kopf set Status = 'A' where KopfTyp = 'R' and KopfID = 1"));
    };
    w<QPushButton>("BitBtnDrucken")->click();
    QCOMPARE(printed, QStringList{"R1"});
    QVERIFY(!page->Editable());
    QVERIFY(!w<QPushButton>("BitBtnNeu")->isEnabled());
}

void TestPosUeb::back() {
    QVERIFY(page->Open(QStringLiteral("R"), 3));
    bool overview = false;
    TPosUeb::ShowOverview = [&overview] { overview = true; };
    w<QPushButton>("BitBtnClose")->click();
    QVERIFY(!page->isVisible());
    QVERIFY(overview);
    QCOMPARE(dm->QueryKopf.FieldByName("KopfTyp")->AsString(), QStringLiteral("R"));
    QCOMPARE(dm->QueryKopf.FieldByName("KopfID")->AsInteger(), 3);
}

void TestPosUeb::dragAndDrop_data() {
    QTest::addColumn<int>("from"); // grid rows
    QTest::addColumn<int>("to");   // -1: below the last row
    QTest::addColumn<bool>("closed");
    QTest::addColumn<QString>("end"); // how the drag ends: dropped, "outside" the list, "escape" first
    QTest::addColumn<QStringList>("order");
    const QStringList unchanged{"p1", "p2", "p3", "p4"};
    QTest::newRow("4 onto 2") << 3 << 1 << false << "" << QStringList{"p1", "p4", "p2", "p3"};
    QTest::newRow("1 onto 3") << 0 << 2 << false << "" << QStringList{"p2", "p3", "p1", "p4"};
    QTest::newRow("2 below the last") << 1 << -1 << false << "" << QStringList{"p1", "p3", "p4", "p2"};
    QTest::newRow("own row") << 2 << 2 << false << "" << unchanged;
    QTest::newRow("closed document") << 3 << 0 << true << "" << unchanged;
    QTest::newRow("released outside") << 3 << 1 << false << "outside" << unchanged;
    QTest::newRow("escape") << 3 << 1 << false << "escape" << unchanged;
}

// Pressing on a row, moving the mouse with the button held and releasing it
// over another row puts the position there, and every price line stays with
// its position; the list shows the moved one.
void TestPosUeb::dragAndDrop() {
    QFETCH(int, from);
    QFETCH(int, to);
    QFETCH(bool, closed);
    QFETCH(QString, end);
    QFETCH(QStringList, order);
    // Numbers with gaps; each price line names its position.
    const QList<int> stored{1, 2, 4, 7};
    for (int i = 0; i < stored.size(); ++i) {
        exec(QStringLiteral("insert into PosDaten values ('R',1,%1,0,'p%2','p%2','N')")
                 .arg(stored[i])
                 .arg(i + 1));
        exec(QStringLiteral("insert into PosPreis values ('R',1,%1,1,'p%2',null,1,2,10,0,20)")
                 .arg(stored[i])
                 .arg(i + 1));
    }
    if (closed)
        exec(QStringLiteral("update Kopf set Status = 'A' where KopfTyp = 'R' and KopfID = 1"));
    QVERIFY(page->Open(QStringLiteral("R"), 1));
    showPage();
    QCOMPARE(listed(), (QStringList{"p1", "p2", "p3", "p4"}));

    QWidget* viewport = grid()->viewport();
    const QPoint start = rowCenter(from);
    const QPoint target = to >= 0
                              ? rowCenter(to)
                              : QPoint(start.x(), grid()->rowViewportPosition(3) + grid()->rowHeight(3) + 20);
    QVERIFY(target.y() < viewport->height());
    QTest::mousePress(viewport, Qt::LeftButton, {}, start);
    QCOMPARE(grid()->CurrentRow(), from);
    const int step = QApplication::startDragDistance() + 1;
    QTest::mouseMove(viewport, start + QPoint(0, start.y() < target.y() || from == to ? step : -step));
    QTest::mouseMove(viewport, target);
    if (end == QLatin1String("escape"))
        QTest::keyClick(grid(), Qt::Key_Escape);
    // Beside the list, level with the target row.
    const QPoint release =
        end == QLatin1String("outside") ? QPoint(viewport->width() + 40, target.y()) : target;
    QTest::mouseMove(viewport, release);
    QTest::mouseRelease(viewport, Qt::LeftButton, {}, release);

    QCOMPARE(listed(), order);
    QStringList numbers, owners;
    for (int i = 0; i < order.size(); ++i) {
        numbers << QString::number(closed || !end.isEmpty() ? stored[i] : i + 1);
        owners << numbers.last() + QLatin1Char(':') + order[i];
    }
    QStringList shownNumbers;
    for (int row = 0; row < 4; ++row)
        shownNumbers << grid()->GridModel()->Text(row, 0);
    QCOMPARE(shownNumbers, numbers);
    QCOMPARE(lineOwners(), owners);
    if (!closed && end.isEmpty())
        QCOMPARE(dm->QueryPos.FieldByName("PosKurzBez")->AsString(), order.value(to < 0 ? 3 : to));
    QCOMPARE(db.messages->texts(), QStringList());
}

void TestPosUeb::screenshot() {
    addPositions(10);
    exec(QStringLiteral("update PosDaten set PosKurzBez = 'Fliesen verlegen Bad' where PosID = 3"));
    exec(QStringLiteral("insert into PosPreis values ('R',1,3,2,'Material',null,12.5,2,38.9,5,20)"));
    QVERIFY(page->Open(QStringLiteral("R"), 1));
    showPage();
    const QString out =
        qEnvironmentVariable("QV_SCREENSHOT_DIR", QDir::tempPath()) + QStringLiteral("/posueb.png");
    QVERIFY(page->grab().save(out));
}

QTEST_MAIN(TestPosUeb)
#include "tst_posueb.moc"
