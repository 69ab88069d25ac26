// The page of incoming invoices as the user drives it: several files at
// once (one refused, named in the message), the list with its filters, a
// bill marked paid and open again.
#include "DatabaseFixture.h"
#include "FormTestHelpers.h"
#include "UEingang.h"

#include <QComboBox>
#include <QMimeData>
#include <QPushButton>
#include <QtTest>

class TestEingangsseite : public QObject {
    Q_OBJECT
private slots:
    void importListPay();
};

void TestEingangsseite::importListPay() {
    PinGermanLocale();
    TDatabaseFixture db;
    db.BuildTemplate();
    QVERIFY(db.Open());
    const QString samples = QStringLiteral(QV_INCOMING_SAMPLES "/incoming/");
    TEingang page;
    page.ShowPage();
    QCOMPARE(page.RowCount(), 0);
    TEingang::ChooseFiles = [&] {
        return QStringList{samples + QStringLiteral("xrechnung-testsuite/ubl/01.13a-INVOICE_ubl.xml"),
                           samples + QStringLiteral("robustness/empty.xml")};
    };
    QTest::mouseClick(FindWidget<QPushButton>(&page, "BitBtnImport"), Qt::LeftButton);
    QCOMPARE(db.messages->boxes.size(), 1);
    // A file dropped on the page is imported like one chosen.
    QMimeData mime;
    mime.setUrls({QUrl::fromLocalFile(samples + QStringLiteral("hybrid-pdf/zugferd_2p1_BASIC_Einfach.pdf"))});
    QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    static_cast<QObject&>(page).event(&drop); // as the window system delivers it

    QVERIFY2(db.messages->boxes.size() == 2, qPrintable(db.messages->texts().join(u"|")));
    QCOMPARE(db.messages->boxes[1].kind, Messages::Information);
    QCOMPARE(db.messages->boxes[0].kind, Messages::Warning);
    QVERIFY2(db.messages->boxes[0].text.contains(QStringLiteral("empty.xml: Die Datei ist leer")),
             qPrintable(db.messages->boxes[0].text));
    QCOMPARE(page.RowCount(), 2);
    // No supplier matched: one is made from the seller, and the bill names it.
    page.SelectRow(0);
    const int lieferant = page.CreateSupplier();
    QVERIFY2(lieferant > 0, qPrintable(db.messages->lastText()));
    TSQLiteQuery q(&db.dm->SQLiteDB1);
    QCOMPARE(QueryInt(q, QStringLiteral("select count(*) from Eingangsrechnung where LieferantenID = %1")
                             .arg(lieferant)),
             1);

    // Both are overdue long since; paid, one moves to "Bezahlt".
    page.Filter()->setCurrentIndex(2);
    QCOMPARE(page.RowCount(), 2);
    page.SelectRow(0);
    QTest::mouseClick(FindWidget<QPushButton>(&page, "BitBtnBezahlt"), Qt::LeftButton);
    QCOMPARE(page.RowCount(), 1);
    page.Filter()->setCurrentIndex(3);
    QCOMPARE(page.RowCount(), 1);
    QVERIFY(page.Cell(0, 6).startsWith(QStringLiteral("bezahlt am")));
    page.SelectRow(0);
    db.messages->answers.enqueue(Messages::Yes);
    QTest::mouseClick(FindWidget<QPushButton>(&page, "BitBtnBezahlt"), Qt::LeftButton);
    QCOMPARE(page.RowCount(), 0);
}

QTEST_MAIN(TestEingangsseite)
#include "tst_eingangsseite.moc"
