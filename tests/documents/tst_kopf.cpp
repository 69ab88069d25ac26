// The header form through its widgets: type choice and proposed number, the
// partner pickers, captions and status boxes per type, text blocks, a closed
// invoice, closing with and without saving, a vanished document and the
// buttons that lead on.
#include "Beleg.h"
#include "FormTestHelpers.h"
#include "QuorventFunctions.h"
#include "TDBCheckBox.h"
#include "TDBDateEdit.h"
#include "TDBEdit.h"
#include "TDBMemo.h"
#include "TDBText.h"
#include "UKopf.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QToolButton>
#include <QtTest>

using N = TDBNavigator;

class TestKopfForm : public QObject, public TFormFixture<TKopf> {
    Q_OBJECT

private slots:
    void initTestCase();
    void init() {
        QVERIFY(OpenForm());
        TKopf::PickCustomer = [this] { return SelectInList(dm->QueryKunde, QStringLiteral("KundenID"), 10); };
        TKopf::PickSupplier = [this] {
            return SelectInList(dm->QueryLieferant, QStringLiteral("LieferantenID"), 7);
        };
    }
    void cleanup();

    void newInvoice();
    void captionsAndBoxesPerType_data();
    void captionsAndBoxesPerType();
    void newDocumentDoesNotInheritTicks();
    void purchaseOrderAndTextBlocks();
    void closedInvoice();
    void vanishedDocumentOpensNothing();
    void leavingTheForm_data();
    void leavingTheForm();
    void screenshot();

private:
    void addHeader(const QString& typ, const QString& status, int partner = 10) {
        dm->SQLiteDB1.ExecSQL(
            QStringLiteral(
                "insert into Kopf (KopfTyp,KopfID,KundenID,KunGruID,KopfBez,Rabatt,Skonto,Status,Datum,"
                "Anmerkung,Netto,DruDatID,Datum2,KopfText,FussText,KopfTextVorPos,FussTextNachPos,"
                "SubkundenID) values ('%1',5,%2,2,'Umbau Halle 3',5,2,'%3','2024-03-05 10:30:00',"
                "'Teillieferung','N',2,'2024-03-12 08:00:00','Wir danken für Ihren Auftrag.',"
                "'Zahlbar binnen 14 Tagen.','J','N',0)")
                .arg(typ)
                .arg(partner)
                .arg(status));
        dm->SQLiteDB1.ExecSQL(
            QStringLiteral("insert into PosPreis (KopfTyp,KopfID,PosID,PreisID,PreisBez,Menge,EinheitID,Wert,"
                           "Rabatt,MWStSatz) values ('%1',5,1,1,'Arbeit',12,1,100.5,0,20)")
                .arg(typ));
    }
    // Mode 2 on the document, as the overview's list leaves it.
    void openDocument(const QString& typ) {
        dm->QueryKopf.Open();
        QVERIFY(dm->QueryKopf.Locate(QStringLiteral("KopfTyp;KopfID"), QVariantList{typ, 5}));
        QVERIFY(form->prepare(TKopf::ModeEdit));
    }
    // Mode 1 with the type chosen as a user does.
    void newDocument(int typeIndex) {
        QVERIFY(form->prepare(TKopf::ModeNew));
        w<QRadioButton>(qPrintable(QStringLiteral("RBTyp%1").arg(typeIndex)))->click();
        w<QPushButton>("BitBtnW")->click();
    }
    void click(const char* button) { w<QAbstractButton>(button)->click(); }
    bool shown(const char* name) { return w<QWidget>(name)->isVisibleTo(form); }
    bool ticked(const char* name) { return w<QCheckBox>(name)->isChecked(); }
    QString text(const char* name) { return w<QLabel>(name)->text(); }
    bool nav(N::TNavigateBtn button) { return w<N>("DBNavi")->BtnClick(button); }
    int range() { return GetNumber(dm->Query2, QStringLiteral("KopfIDR"), false); }
};

void TestKopfForm::initTestCase() {
    PinGermanLocale();
    db.BuildTemplate([](TSQLiteDB& base) {
        for (const char* sql :
             {"insert into KundenGruppe (KunGruBez) values ('Handel')",
              "insert into LieferantenGruppe (LieGruBez) values ('Holzhandel')",
              "insert into Kunde (KundenID,AnredeID,TitelID,Firma,Nachname,Vorname,LandID,KunGruID,Aktiv,"
              "KonzernID,HaendlerID,Netto,Rabatt,Skonto) values (10,1,1,'Alpen "
              "Bau','Huber','Anna',1,2,'J',0,0,'J',5,"
              "2)",
              "insert into Lieferant "
              "(LieferantenID,Firma,LandID,LieGruID,AnspAnredeID,AnspTitelID,Aktiv,Rabatt,"
              "Skonto) values (7,'Holz GmbH',1,2,1,1,'J',3,1)",
              "update Geschaeft set KopfTextR = 'Wir danken für Ihren Auftrag.', KopfVorPosR = 'J', "
              "FussTextR = "
              "'Zahlbar binnen 14 Tagen ohne Abzug.', FussNachPosR = 'N' where GesID = 1",
              "insert into KopfText (KopfTextBez,KopfTextText,KopfTextVorPos) values "
              "('Mahnung','Bitte begleichen Sie den offenen Betrag.','N')",
              "update set_nummer set Nummer = 17 where NumTyp = 'KopfIDR'"})
            base.ExecSQL(QString::fromUtf8(sql));
    });
}

void TestKopfForm::cleanup() {
    TKopf::PickCustomer = nullptr;
    TKopf::PickSupplier = nullptr;
    TKopf::ShowPositions = nullptr;
    TKopf::ShowPrint = nullptr;
    CloseForm();
}

// ---------------------------------------------------------------------------

void TestKopfForm::newInvoice() {
    QVERIFY(form->prepare(TKopf::ModeNew));
    QVERIFY(shown("RGTyp") && !shown("PKopf"));
    QVERIFY(!w<QPushButton>("BitBtnPos")->isEnabled());
    click("RBTyp3");
    click("BitBtnW");
    QVERIFY(!shown("RGTyp") && shown("PKopf"));
    QCOMPARE(w<TDBText>("DBText1")->text(), QStringLiteral("17"));
    QCOMPARE(text("LabKopfIDHint"), QStringLiteral("(vorläufige Nummer)"));
    QCOMPARE(text("PTitel"), QStringLiteral("   Kopfdaten - Rechnung"));
    QCOMPARE(w<TDBMemo>("DBMemoKopfText")->toPlainText(), QStringLiteral("Wir danken für Ihren Auftrag."));
    QCOMPARE(w<TDBMemo>("DBMemoFussText")->toPlainText(),
             QStringLiteral("Zahlbar binnen 14 Tagen ohne Abzug."));
    QVERIFY(ticked("DBCBKopfTextVP") && !ticked("DBCBFussTextNP"));
    QCOMPARE(w<TDBDateEdit>("DTPDatum")->date(), QDate::currentDate());

    click("BitBtnKunde");
    QCOMPARE(text("LabKunde"), QStringLiteral("Alpen Bau Huber Anna"));
    QVERIFY(ticked("DBCBNetto"));
    QCOMPARE(w<TDBEdit>("DBEdit1")->text() + w<TDBEdit>("DBEdit14")->text(), QStringLiteral("52"));
    QCOMPARE(range(), 17);
    QVERIFY(nav(N::nbPost));
    QCOMPARE(messages->texts(), QStringList());
    QCOMPARE(text("LabKopfIDHint"), QString());
    QCOMPARE(count("select count(*) from Kopf where KopfTyp = 'R' and KopfID = 17 and KundenID = 10 and "
                   "KunGruID = 2 "
                   "and Netto = 'J' and Status = 'E' and KopfTextVorPos = 'J' and SubkundenID = 0"),
             1);
    QCOMPARE(range(), 18);
}

void TestKopfForm::captionsAndBoxesPerType_data() {
    QTest::addColumn<int>("index");
    QTest::addColumn<QString>("datum");
    QTest::addColumn<QString>("closedBox"); // empty: the box is hidden
    QTest::addColumn<bool>("paidBox");

    QTest::newRow("Angebot") << 0 << "Angebotsdatum"
                             << "" << false;
    QTest::newRow("Lieferschein") << 2 << "Lieferscheindatum"
                                  << "" << false;
    QTest::newRow("Rechnung") << 3 << "Rechnungsdatum"
                              << "Rechnung abgeschlossen" << true;
    QTest::newRow("Teilrechnung") << 4 << "Teilrechnungsdatum"
                                  << "Teilrechnung abgeschlossen" << true;
    QTest::newRow("Stornorechnung") << 5 << "Stornorechnungsdatum"
                                    << "Stornorechnung abgeschlossen" << false;
    QTest::newRow("Gutschrift") << 6 << "Gutschriftsdatum"
                                << "Gutschrift abgeschlossen" << false;
    QTest::newRow("Bestellung") << 7 << "Bestellungsdatum"
                                << "" << false;
}

void TestKopfForm::captionsAndBoxesPerType() {
    QFETCH(int, index);
    QFETCH(QString, datum);
    QFETCH(QString, closedBox);
    QFETCH(bool, paidBox);
    const QString typ = DokTypen().at(index);
    const bool supplier = typ == QLatin1String("B");
    addHeader(typ, QStringLiteral("E"), supplier ? 7 : 10);

    // A new document and a saved one of the type look alike.
    for (bool saved : {false, true}) {
        if (saved)
            openDocument(typ);
        else
            newDocument(index);
        QCOMPARE(text("LabDatum"), datum);
        QCOMPARE(text("LabKunLie") + '/' + text("LabKunGru") + '/' + w<QToolButton>("BitBtnKunde")->toolTip(),
                 supplier ? QStringLiteral("Lieferant/Lieferantengruppe/Lieferant auswählen")
                          : QStringLiteral("Kunde/Kundengruppe/Kunde auswählen"));
        QCOMPARE(w<QToolButton>("BitBtnSubKunde")->isEnabled(), !supplier);
        QCOMPARE(shown("CBStatusAb") ? w<QCheckBox>("CBStatusAb")->text() : QString(), closedBox);
        QCOMPARE(shown("CBStatusZE"), paidBox);
        QVERIFY(!ticked("CBStatusAb") && !ticked("CBStatusZE"));
        QCOMPARE(w<TDBLookupComboBox>("DBLCBKunGru")->findText(QStringLiteral("Holzhandel")) >= 0, supplier);
        form->reject();
    }
    QCOMPARE(text("LabKunde"),
             supplier ? QStringLiteral("Holz GmbH") : QStringLiteral("Alpen Bau Huber Anna"));
}

// A paid invoice leaves its ticks in the boxes; a new document must neither
// show nor save them, and its own tick closes it with the first save.
void TestKopfForm::newDocumentDoesNotInheritTicks() {
    addHeader(QStringLiteral("R"), QStringLiteral("Z"));
    openDocument(QStringLiteral("R"));
    QVERIFY(ticked("CBStatusAb") && ticked("CBStatusZE"));
    form->reject();

    newDocument(6); // Gutschrift
    QVERIFY(shown("CBStatusAb") && !shown("CBStatusZE") && !ticked("CBStatusAb"));
    click("BitBtnKunde");
    QVERIFY(nav(N::nbPost));
    QVERIFY(nav(N::nbInsert));
    QVERIFY(shown("RGTyp"));
    click("RBTyp3");
    click("BitBtnW");
    QVERIFY(!ticked("CBStatusAb") && !ticked("CBStatusZE"));
    click("BitBtnKunde");
    click("CBStatusAb");
    QVERIFY(nav(N::nbPost));
    QCOMPARE(count("select count(*) from Kopf where KopfTyp || KopfID || Status in ('G1E', 'R17A', 'R5Z')"),
             3);
    QVERIFY(w<TDBEdit>("DBEdit3")->isReadOnly());
}

void TestKopfForm::purchaseOrderAndTextBlocks() {
    newDocument(7);
    click("DBCBNetto"); // ticked by hand; the supplier does not change it
    click("BitBtnKunde");
    QCOMPARE(text("LabKunde"), QStringLiteral("Holz GmbH"));
    QCOMPARE(w<TDBLookupComboBox>("DBLCBKunGru")->currentText(), QStringLiteral("Holzhandel"));

    QComboBox* box = w<QComboBox>("CBKopfText");
    QCOMPARE(box->itemText(0), QStringLiteral("Standardtext"));
    emit box->activated(box->findText(QStringLiteral("Mahnung")));
    QCOMPARE(w<TDBMemo>("DBMemoKopfText")->toPlainText(),
             QStringLiteral("Bitte begleichen Sie den offenen Betrag."));
    QVERIFY(nav(N::nbPost));
    QCOMPARE(
        count(
            "select count(*) from Kopf where KopfTyp = 'B' and KundenID = 7 and KunGruID = 2 and Rabatt = 3 "
            "and Netto = 'J' and KopfTextVorPos = 'N'"),
        1);

    // "Standardtext" brings the type's own text back.
    addHeader(QStringLiteral("R"), QStringLiteral("E"));
    openDocument(QStringLiteral("R"));
    emit box->activated(1);
    emit box->activated(0);
    QCOMPARE(w<TDBMemo>("DBMemoKopfText")->toPlainText(), QStringLiteral("Wir danken für Ihren Auftrag."));
    QVERIFY(ticked("DBCBKopfTextVP"));
}

void TestKopfForm::closedInvoice() {
    addHeader(QStringLiteral("R"), QStringLiteral("A"));
    openDocument(QStringLiteral("R"));
    QCOMPARE(text("LabStatus") + ' ' + text("LabBetrag"), QStringLiteral("Abgeschlossen 1.206,00"));
    QCOMPARE(w<TDBDateEdit>("DTPDatum2")->date(), QDate(2024, 3, 12));
    for (const char* locked : {"BitBtnKunde", "DBCBNetto", "DBLCBKunGru", "CBStatusAb", "BitBtnSubKunde",
                               "DBLCBDruDat", "CBKopfText", "CBFussText", "DBCBKopfTextVP", "DBCBFussTextNP"})
        QVERIFY2(!w<QWidget>(locked)->isEnabled(), locked);
    QVERIFY(w<QWidget>("CBStatusZE")->isEnabled());
    // The text fields are read-only: a field clicked into takes the keys and
    // does nothing with them; a blank does not press "Zurück".
    form->show();
    QVERIFY(QTest::qWaitForWindowActive(form));
    w<QPushButton>("BitBtnClose")->setFocus();
    for (const char* field : {"DBEdit3", "DBEdit1", "DBEdit14", "DTPDatum", "DTPDatum2", "DBMemoKopfText",
                              "DBMemoFussText", "DBMemoAnmerk"}) {
        QWidget* f = w<QWidget>(field);
        QTest::mouseClick(f, Qt::LeftButton, {}, QPoint(5, 5));
        QVERIFY2(QApplication::focusWidget() == f || f->isAncestorOf(QApplication::focusWidget()), field);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Space);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_X);
        QVERIFY2(form->isVisible(), field);
    }
    QCOMPARE(dm->TableKopf.State(), TDataSetState::Browse);
    QCOMPARE(w<TDBEdit>("DBEdit3")->text(), QStringLiteral("Umbau Halle 3"));
    QCOMPARE(w<N>("DBNavi")->VisibleButtons(),
             N::Bit(N::nbEdit) | N::Bit(N::nbPost) | N::Bit(N::nbCancel) | N::Bit(N::nbRefresh));

    // Paid and back again: only the status changes.
    click("CBStatusZE");
    QVERIFY(nav(N::nbPost));
    QCOMPARE(text("LabStatus"), QStringLiteral("Zahlungseingang erfolgt"));
    click("CBStatusZE");
    QVERIFY(nav(N::nbPost));
    QCOMPARE(count("select count(*) from Kopf where Status = 'A' and KopfBez = 'Umbau Halle 3'"), 1);

    messages->answers.enqueue(Messages::Yes); // "Datensatz löschen?"
    QVERIFY(!nav(N::nbDelete));
    QCOMPARE(messages->lastText(), QStringLiteral("Die Rechnung 5 ist bereits abgeschlossen!"));
    QCOMPARE(count("select count(*) from PosPreis"), 1);
}

void TestKopfForm::vanishedDocumentOpensNothing() {
    addHeader(QStringLiteral("R"), QStringLiteral("E"));
    dm->QueryKopf.Open();
    dm->SQLiteDB1.ExecSQL(QStringLiteral("update Kopf set KopfID = 6"));
    QVERIFY(!form->prepare(TKopf::ModeEdit));
    QCOMPARE(messages->texts(),
             QStringList{QStringLiteral("Das gewählte Dokument ist nicht mehr vorhanden!")});
    QVERIFY(!dm->TableKopf.Active());
    QVERIFY(!nav(N::nbEdit));
}

void TestKopfForm::leavingTheForm_data() {
    QTest::addColumn<QString>("button");
    QTest::addColumn<bool>("partner"); // with a partner the save succeeds
    QTest::addColumn<int>("answer");   // to the closing question
    QTest::addColumn<QString>("box");  // the one box shown
    QTest::addColumn<int>("stored");   // documents stored afterwards
    QTest::addColumn<bool>("stillOpen");

    const QString ask = QStringLiteral("Sollen die Änderungen gespeichert werden?");
    const QString refused = QStringLiteral("Die Kundennummer muss angegeben werden!");
    QTest::newRow("Zurück, only the type chosen") << "BitBtnClose" << false << -1 << "" << 0 << false;
    QTest::newRow("Zurück, not saved") << "BitBtnClose" << true << int(Messages::No) << ask << 0 << false;
    QTest::newRow("Zurück, saved") << "BitBtnClose" << true << int(Messages::Yes) << ask << 1 << false;
    QTest::newRow("Zurück, stays") << "BitBtnClose" << true << int(Messages::Cancel) << ask << 0 << true;
    QTest::newRow("Positionen saves and closes") << "BitBtnPos" << true << -1 << "" << 1 << false;
    QTest::newRow("Positionen refused stays") << "BitBtnPos" << false << -1 << refused << 0 << true;
    QTest::newRow("Drucken saves and stays") << "BitBtnDrucken" << true << -1 << "" << 1 << true;
    QTest::newRow("Drucken refused") << "BitBtnDrucken" << false << -1 << refused << 0 << true;
}

void TestKopfForm::leavingTheForm() {
    QFETCH(QString, button);
    QFETCH(bool, partner);
    QFETCH(int, answer);
    QFETCH(QString, box);
    QFETCH(int, stored);
    QFETCH(bool, stillOpen);
    QString calledWith;
    TKopf::ShowPositions =
        TKopf::ShowPrint = [&](const QString& typ, int id) { calledWith = typ + QString::number(id); };
    newDocument(3);
    form->show();
    if (partner)
        click("BitBtnKunde");
    if (answer >= 0)
        messages->answers.enqueue(Messages::Answer(answer));
    click(qPrintable(button));
    QCOMPARE(messages->texts(), box.isEmpty() ? QStringList() : QStringList{box});
    QCOMPARE(form->isVisible(), stillOpen);
    QCOMPARE(count("select count(*) from Kopf"), stored);
    QCOMPARE(calledWith,
             stored && button != QLatin1String("BitBtnClose") ? QStringLiteral("R17") : QString());
    // The proposed number is taken by a save, also by a refused one.
    QCOMPARE(range(), stored || box.startsWith(QLatin1String("Die Kundennummer")) ? 18 : 17);
    messages->answers.enqueue(Messages::No);
    form->reject();
}

// Not a check: leaves pictures of a new invoice, a closed invoice and the
// type choice for review when QV_SCREENSHOT_DIR names a folder.
void TestKopfForm::screenshot() {
    const QString dir = qEnvironmentVariable("QV_SCREENSHOT_DIR");
    if (dir.isEmpty())
        QSKIP("QV_SCREENSHOT_DIR not set");
    auto grab = [&](const QString& name) {
        form->show();
        QVERIFY(QTest::qWaitForWindowExposed(form));
        QVERIFY(form->grab().save(dir + QStringLiteral("/Kopfdaten-") + name + QStringLiteral(".png")));
        messages->answers.enqueue(Messages::No);
        form->reject();
    };
    newDocument(3);
    click("BitBtnKunde");
    TypeText(w<TDBEdit>("DBEdit3"), QStringLiteral("Dachsanierung Lagerhalle"));
    grab(QStringLiteral("neu"));
    addHeader(QStringLiteral("R"), QStringLiteral("A"));
    openDocument(QStringLiteral("R"));
    grab(QStringLiteral("abgeschlossen"));
    QVERIFY(form->prepare(TKopf::ModeNew));
    grab(QStringLiteral("Typwahl"));
}

QTEST_MAIN(TestKopfForm)
#include "tst_kopf.moc"
