// The supplier form through its widgets: a new supplier with the proposed
// number and a chosen group, edit mode from the supplier list, closing
// without saving, numbers that are none, and the contact person's fields.
#include "FormTestHelpers.h"
#include "QuorventFunctions.h"
#include "TDBCheckBox.h"
#include "TDBDateEdit.h"
#include "TDBEdit.h"
#include "TDBLookupComboBox.h"
#include "TDBNavigator.h"
#include "TestSupport.h"
#include "UDM.h"
#include "ULieferant.h"

#include <QLabel>
#include <QPushButton>
#include <QtTest>

class TestLieferantForm : public QObject, public TFormFixture<TLieferant> {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void newSupplierNeedsAGroup();
    void editModeAndRoundTrip();
    void closingDropsPendingChanges();
    void screenshot();

private:
    void selectInList(int id) {
        QVERIFY(SelectInList(dm->QueryLieferant, QStringLiteral("LieferantenID"), id));
    }
};

void TestLieferantForm::initTestCase() {
    PinGermanLocale();
    db.BuildTemplate([](TSQLiteDB& base) {
        base.ExecSQL(QStringLiteral("insert into LieferantenGruppe (LieGruBez) values ('Holz')"));
        base.ExecSQL(QStringLiteral(
            "insert into Lieferant (LieferantenID,Firma,LandID,LieGruID,AnspAnredeID,AnspTitelID,Aktiv) "
            "values (10,'Sägewerk Moser',1,2,1,1,'J')"));
    });
}

void TestLieferantForm::init() {
    QVERIFY(OpenForm());
}

void TestLieferantForm::cleanup() {
    CloseForm();
}

// ---------------------------------------------------------------------------

void TestLieferantForm::newSupplierNeedsAGroup() {
    dm->SQLiteDB1.ExecSQL(QStringLiteral("update set_nummer set Nummer = 7 where NumTyp = 'LieferantenID'"));
    QVERIFY(form->prepare(TLieferant::ModeNew));
    QCOMPARE(form->windowTitle(), QStringLiteral("Lieferantenstamm"));
    QCOMPARE(w<QLabel>("PTitel")->text(), QStringLiteral("   Lieferantenstamm"));
    QCOMPARE(w<TDBEdit>("DBEdit1")->text(), QStringLiteral("7"));
    QCOMPARE(w<QLabel>("LabVorlaeufig")->text(), QStringLiteral("(vorläufige Nummer)"));
    QVERIFY(w<TDBCheckBox>("DBCheckBox1")->isChecked());

    TypeText(w<TDBEdit>("DBEdit2"), QStringLiteral("Schrauben König"));
    QVERIFY(!save());
    QCOMPARE(messages->texts(), QStringList{QStringLiteral("Die Lieferantengruppe muss angegeben werden!")});
    QCOMPARE(w<QLabel>("LabVorlaeufig")->text(), QString());
    QCOMPARE(GetNumber(dm->Query2, QStringLiteral("LieferantenID"), false), 8);

    Choose(w<TDBLookupComboBox>("DBLookupComboBox2"), QStringLiteral("Holz"));
    QVERIFY(save());
    QCOMPARE(count(QStringLiteral("select count(*) from Lieferant where LieferantenID = 7 and LieGruID = 2")),
             1);
    QCOMPARE(GetNumber(dm->Query2, QStringLiteral("LieferantenID"), false), 8);
}

void TestLieferantForm::editModeAndRoundTrip() {
    selectInList(10);
    QVERIFY(form->prepare(TLieferant::ModeEdit));
    QCOMPARE(w<TDBEdit>("DBEdit2")->text(), QStringLiteral("Sägewerk Moser"));
    TypeText(w<TDBEdit>("DBEdit18"), QStringLiteral("O'Neill-Müller"));
    TypeText(w<TDBEdit>("DBEdit22"), QStringLiteral("K-\"4711\""));
    w<TDBDateEdit>("DTPGeburtstag")->setDate(QDate(1980, 1, 2));
    QVERIFY(save());
    QVERIFY(messages->boxes.isEmpty());

    form->reject();
    selectInList(10);
    QVERIFY(form->prepare(TLieferant::ModeEdit));
    QCOMPARE(w<TDBEdit>("DBEdit18")->text(), QStringLiteral("O'Neill-Müller"));
    QCOMPARE(w<TDBEdit>("DBEdit22")->text(), QStringLiteral("K-\"4711\""));
    QCOMPARE(w<TDBDateEdit>("DTPGeburtstag")->date(), QDate(1980, 1, 2));
}

void TestLieferantForm::closingDropsPendingChanges() {
    selectInList(10);
    QVERIFY(form->prepare(TLieferant::ModeEdit));
    form->show();
    QTest::keyClicks(w<TDBEdit>("DBEdit3"), QStringLiteral("Weg 1"));
    QCOMPARE(dm->TableLieferant.State(), TDataSetState::Edit);
    w<QPushButton>("BitBtnZurueck")->click();
    QVERIFY(!form->isVisible());
    QCOMPARE(dm->TableLieferant.State(), TDataSetState::Browse);
    QCOMPARE(count(QStringLiteral("select count(*) from Lieferant where Strasse is not null")), 0);
}

// Not a check: a picture of a filled-in form for review when QV_SCREENSHOT_DIR is set.
void TestLieferantForm::screenshot() {
    const QString dir = qEnvironmentVariable("QV_SCREENSHOT_DIR");
    if (dir.isEmpty())
        QSKIP("QV_SCREENSHOT_DIR not set");
    dm->SQLiteDB1.ExecSQL(QStringLiteral(
        "update Lieferant set Strasse = 'Industriestraße 4', PLZ = '4020', Ort = 'Linz', LandID = 2, Rabatt "
        "= 3, "
        "Skonto = 2, Telefon = '0732 / 44556', Fax = '0732 / 44557', Email = 'bestellung@moser.at', UIDNr = "
        "'ATU87654321', Erfassungsdatum = '2023-11-20', KundenNr = 'K-4711', Bank = 'Sparkasse Linz', BLZ = "
        "'20320', Konto = '1234567', IBAN = 'AT61 2032 0000 0123 4567', BIC = 'ASPKAT2LXXX', AnspVorname = "
        "'Josef', AnspNachname = 'Moser', AnspTelefon = '0732 / 44556-12', AnspMobil = '0664 / 1122334', "
        "AnspEmail = 'j.moser@moser.at', Geburtsdatum = '1968-07-30', Anmerkung = 'Liefert Schnittholz.' "
        "where LieferantenID = 10"));
    selectInList(10);
    QVERIFY(form->prepare(TLieferant::ModeEdit));
    form->show();
    QVERIFY(QTest::qWaitForWindowExposed(form));
    QVERIFY(form->grab().save(dir + QStringLiteral("/Lieferantenstamm.png")));
}

QTEST_MAIN(TestLieferantForm)
#include "tst_lieferant.moc"
