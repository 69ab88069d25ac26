// The dialog "DATEV-Export" as the user drives it: the usual accounts follow
// the chart, a rate without an account is refused and gets its row, the
// settings are stored, and a second export of the period asks first.
#include "DatabaseFixture.h"
#include "UDatevExport.h"

#include <QComboBox>
#include <QDateEdit>
#include <QDir>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QtTest>

class TestDatevDialog : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init() { QVERIFY(db.Open()); }
    void cleanup() { db.Close(); }
    void exportFromTheDialog();

private:
    TDatabaseFixture db;
};

void TestDatevDialog::initTestCase() {
    PinGermanLocale();
    db.BuildTemplate([](TSQLiteDB& base) {
        base.ExecSQL(
            QStringLiteral("insert into Kunde "
                           "(KundenID,AnredeID,TitelID,Firma,Strasse,PLZ,Ort,LandID,KunGruID,Aktiv,KonzernID,"
                           "HaendlerID) values (10,1,1,'Alpen Bau','Weg 1','6020','Innsbruck',2,1,'J',0,0)"));
        for (const auto& [id, satz] : {std::pair{1, 20}, std::pair{2, 10}}) {
            base.ExecSQL(
                QStringLiteral("insert into Kopf (KopfTyp,KopfID,Status,KundenID,KunGruID,Datum,DruDatID,"
                               "SubkundenID,Netto) values ('R',%1,'A',10,1,'2026-03-0%1 10:00:00',1,0,'N')")
                    .arg(id));
            base.ExecSQL(QStringLiteral("insert into PosPreis values ('R',%1,1,1,null,null,1,1,100,0,%2)")
                             .arg(id)
                             .arg(satz));
        }
    });
}

void TestDatevDialog::exportFromTheDialog() {
    QTemporaryDir out;
    TDatevExportDialog dialog;
    dialog.prepare();
    auto* grid = dialog.findChild<QTableWidget*>(QStringLiteral("GridKonten"));
    auto konto = [grid](const QString& was) {
        for (int r = 0; r < grid->rowCount(); ++r)
            if (grid->item(r, 0)->text() == was)
                return grid->item(r, 1)->text();
        return QStringLiteral("(keine Zeile)");
    };
    QCOMPARE(konto(QStringLiteral("Umsatzsteuer 19 %")), QStringLiteral("8400"));
    auto* skr = dialog.findChild<QComboBox*>(QStringLiteral("ComboSKR"));
    skr->setCurrentIndex(1);
    QCOMPARE(konto(QStringLiteral("Umsatzsteuer 19 %")), QStringLiteral("4400"));
    QCOMPARE(konto(QStringLiteral("Kleinunternehmer (ohne Umsatzsteuer)")), QStringLiteral("4185"));
    skr->setCurrentIndex(0);

    // By keyboard, as a user fills it in: the labels' Alt keys, typing, Enter.
    dialog.show();
    QVERIFY(QTest::qWaitForWindowActive(&dialog));
    auto type = [&dialog](Qt::Key alt, const QString& text) {
        QTest::keyClick(&dialog, alt, Qt::AltModifier);
        QWidget* w = QApplication::focusWidget();
        QTest::keyClick(w, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClicks(w, text);
    };
    type(Qt::Key_B, QStringLiteral("29098"));
    QCOMPARE(QApplication::focusWidget()->objectName(), QStringLiteral("EditBerater"));
    type(Qt::Key_M, QStringLiteral("55003"));
    type(Qt::Key_O, out.path());
    type(Qt::Key_V, QStringLiteral("01.03.2026"));
    QCOMPARE(dialog.findChild<QDateEdit*>(QStringLiteral("DateBis"))->date(), QDate(2026, 3, 31));
    // The Austrian rates of the period get their rows, without an account.
    QCOMPARE(konto(QStringLiteral("Umsatzsteuer 20 %")), QString());
    QCOMPARE(konto(QStringLiteral("Umsatzsteuer 10 %")), QString());

    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return); // the default button
    QCOMPARE(db.messages->boxes.size(), 1);
    QVERIFY2(db.messages->lastText().startsWith(QStringLiteral(
                 "Der DATEV-Export wurde nicht geschrieben:\nFür \"Umsatzsteuer 10 %\" ist kein "
                 "Erlöskonto hinterlegt (Rechnung 2).")),
             qPrintable(db.messages->lastText()));
    QCOMPARE(QDir(out.path()).entryList(QDir::Files | QDir::Hidden), QStringList());
    // The cell of the missing account is open for typing.
    QCOMPARE(grid->item(grid->currentRow(), 0)->text(), QStringLiteral("Umsatzsteuer 10 %"));
    QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("8310"));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    QTRY_COMPARE(konto(QStringLiteral("Umsatzsteuer 10 %")), QStringLiteral("8310")); // committed queued
    QCOMPARE(db.messages->boxes.size(), 1); // Enter in the table did not export
    for (int r = 0; r < grid->rowCount(); ++r)
        if (grid->item(r, 0)->text().contains(QStringLiteral(" 20 %")))
            grid->item(r, 1)->setText(QStringLiteral("8410"));
    db.messages->clear();
    QVERIFY(dialog.BitBtnExportClick());
    QVERIFY2(
        db.messages->lastText().startsWith(QStringLiteral(
            "Der DATEV-Export ist geschrieben:\nEXTF_Buchungsstapel_20260301-20260331.csv (2 Buchungen aus 2 "
            "Belegen)")),
        qPrintable(db.messages->lastText()));
    QCOMPARE(QDir(out.path()).entryList(QDir::Files | QDir::Hidden).size(), 2);
    QCOMPARE(db.dm->GetAllg(QStringLiteral("DatevKonto20")), QStringLiteral("8410"));
    QCOMPARE(db.dm->GetAllg(QStringLiteral("DatevBerater")), QStringLiteral("29098"));

    // Again: the question first; Cancel leaves everything as it is, "Nein"
    // exports only the new documents (there are none).
    dialog.prepare();
    QCOMPARE(dialog.findChild<QLineEdit*>(QStringLiteral("EditBerater"))->text(), QStringLiteral("29098"));
    QCOMPARE(konto(QStringLiteral("Umsatzsteuer 20 %")), QStringLiteral("8410"));
    dialog.findChild<QDateEdit*>(QStringLiteral("DateVon"))->setDate(QDate(2026, 3, 1));
    dialog.findChild<QDateEdit*>(QStringLiteral("DateBis"))->setDate(QDate(2026, 3, 31));
    db.messages->clear();
    db.messages->answers.enqueue(Messages::Cancel);
    QVERIFY(!dialog.BitBtnExportClick());
    QCOMPARE(db.messages->boxes.size(), 1);
    QVERIFY2(db.messages->lastText().contains(QStringLiteral("wurden bereits 2 Belege an DATEV exportiert")),
             qPrintable(db.messages->texts().join("|")));
    QCOMPARE(db.messages->boxes.last().defaultAnswer, Messages::Cancel);
    db.messages->clear();
    db.messages->answers.enqueue(Messages::No);
    QVERIFY(!dialog.BitBtnExportClick());
    QCOMPARE(db.messages->lastText(),
             QStringLiteral("Im Zeitraum 01.03.2026 bis 31.03.2026 gibt es keine Belege für "
                            "DATEV; es wurde keine Datei geschrieben."));
    QCOMPARE(db.messages->unexpected, 0);
}

QTEST_MAIN(TestDatevDialog)
#include "tst_datevdialog.moc"
