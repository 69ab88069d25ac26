// The position form through its widgets: a new position made from an article
// with its price lines, a price line added to a new position, the read-only
// mode of a closed document, closing without saving (a renumbered new
// position, a changed article), and a screenshot.
#include "FormTestHelpers.h"
#include "Rtf.h"
#include "TDBCheckBox.h"
#include "TDBEdit.h"
#include "TDBGrid.h"
#include "TDBText.h"
#include "UDBRichEdit.h"
#include "UFSchrift.h"
#include "UPosDaten.h"

#include <QDir>
#include <QLabel>
#include <QPushButton>
#include <QToolButton>
#include <QtTest>

using N = TDBNavigator;

class TestPosDaten : public QObject, public TFormFixture<TPosDaten> {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup() {
        TPosDaten::PickArticle = nullptr;
        CloseForm();
    }

    void newPositionFromArticle();
    void priceLineSavesNewPositionFirst();
    void modes_data();
    void modes();
    void closingWithoutSaving_data();
    void closingWithoutSaving();
    void screenshot();

private:
    QStringList lines(int pos) {
        QStringList result;
        dm->Query2.RunSQL(QStringLiteral("select PreisID, PreisBez from PosPreis where KopfTyp = 'R' and "
                                         "KopfID = 1 and PosID = %1 order by PreisID")
                              .arg(pos));
        for (dm->Query2.First(); !dm->Query2.Eof(); dm->Query2.Next())
            result << dm->Query2.Fields(0)->AsString() + QLatin1Char(':') + dm->Query2.Fields(1)->AsString();
        return result;
    }
    bool openListed(const QString& typ, int kopfId, int pos, int mode) {
        dm->OpenQueryPos(typ, kopfId, false);
        return dm->QueryPos.Locate(QStringLiteral("PosID"), pos) && form->prepare(typ, kopfId, mode);
    }
};

void TestPosDaten::initTestCase() {
    PinGermanLocale();
    db.BuildTemplate([](TSQLiteDB& base) {
        base.ExecSQL(
            QStringLiteral("insert into Kunde (KundenID,AnredeID,TitelID,Firma,LandID,KunGruID,Aktiv,"
                           "KonzernID,HaendlerID) values (10,1,1,'Alpen Bau',1,1,'J',0,0)"));
        for (const char* kopf : {"'R',1,'E',5", "'R',2,'A',0"})
            base.ExecSQL(
                QStringLiteral("insert into Kopf (KopfTyp,KopfID,Status,Rabatt,KundenID,KunGruID,Datum,"
                               "DruDatID,SubkundenID) values (%1,10,1,'2024-03-05 10:00:00',1,0)")
                    .arg(QLatin1String(kopf)));
        base.ExecSQL(QStringLiteral(
            "insert into Artikel values (7,1,'Fliesen','{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0 "
            "Arial;}}\\pard\\f0\\fs20 Fliesen verlegen im \\b Bad\\b0\\par}','J',0,'N','J','J')"));
        for (const char* line : {"(7,1,'Material','Feinsteinzeug',12,2,25,20)",
                                 "(7,2,'Arbeit',null,3,6,48,20)", "(7,4,'Anfahrt',null,1,2,30,10)"})
            base.ExecSQL(QStringLiteral("insert into ArtPreis values ") + QLatin1String(line));
        for (const char* kopf : {"'R',1", "'R',2"}) {
            for (int pos : {1, 2}) {
                base.ExecSQL(QStringLiteral("insert into PosDaten values (%1,%2,0,'Position %2','Position "
                                            "%2','N')")
                                 .arg(QLatin1String(kopf))
                                 .arg(pos));
                base.ExecSQL(QStringLiteral("insert into PosPreis values (%1,%2,1,'alt %2',null,2,2,50,0,20)")
                                 .arg(QLatin1String(kopf))
                                 .arg(pos));
            }
        }
    });
}

void TestPosDaten::init() {
    QVERIFY(OpenForm());
    TPosDaten::PickArticle = [this](const QString& typ) {
        return typ == QLatin1String("R") && SelectInList(dm->QueryArtikel, QStringLiteral("ArtikelID"), 7);
    };
}

// ---------------------------------------------------------------------------

void TestPosDaten::newPositionFromArticle() {
    QVERIFY(form->prepare(QStringLiteral("R"), 1, TPosDaten::ModeNew));
    QCOMPARE(w<QLabel>("PTitel")->text(), QStringLiteral("   Positionsdaten - Rechnung"));
    QCOMPARE(w<TDBText>("DBText1")->text(), QStringLiteral("1"));
    QCOMPARE(w<TDBEdit>("DBEdit1")->text(), QStringLiteral("3"));
    QCOMPARE(w<TDBEdit>("DBEdit2")->text(), QStringLiteral("0"));
    QCOMPARE(w<TDBEdit>("DBEdit3")->text(), QStringLiteral("Rest"));
    QCOMPARE(w<QLabel>("LabGPreis")->text(), QStringLiteral("Gesamtpreis: 9,50"));
    auto* editor = w<TDBRichEdit>("DBRichEdit1");
    QCOMPARE(editor->currentCharFormat().fontFamilies().toStringList().value(0), QStringLiteral("Arial"));

    w<QToolButton>("BitBtnArtikel")->click();
    QCOMPARE(w<TDBEdit>("DBEdit2")->text(), QStringLiteral("7"));
    QCOMPARE(w<TDBEdit>("DBEdit3")->text(), QStringLiteral("Fliesen"));
    QCOMPARE(editor->toPlainText(), QStringLiteral("Fliesen verlegen im Bad"));
    QVERIFY(w<TDBCheckBox>("DBCheckBox1")->isChecked());
    auto* grid = w<TDBGrid>("DBGrid1");
    QCOMPARE(grid->model()->rowCount(), 3);
    // 12 x 25, 3 x 48 and 1 x 30, each less the header's 5 %.
    QCOMPARE(grid->GridModel()->Text(1, 5), QStringLiteral("5,00%"));
    QCOMPARE(grid->GridModel()->Text(1, 6), QStringLiteral("136,80"));
    QCOMPARE(w<QLabel>("LabGPreis")->text(), QStringLiteral("Gesamtpreis: 450,30"));
    // The line chosen in the list is the one in the editors.
    grid->setCurrentIndex(grid->model()->index(2, 0));
    QCOMPARE(w<TDBEdit>("DBEdit4")->text(), QStringLiteral("Anfahrt"));
    QCOMPARE(w<TDBLookupComboBox>("DBLCBMWStSatz")->currentText(), QStringLiteral("10"));

    QVERIFY(save());
    QCOMPARE(messages->texts(), QStringList());
    QCOMPARE(count("select ArtikelID from PosDaten where KopfID = 1 and PosID = 3"), 7);
    QCOMPARE(lines(3), (QStringList{"1:Material", "2:Arbeit", "4:Anfahrt"}));
    form->show();
    w<QPushButton>("BitBtnClose")->click();
    QVERIFY(!form->isVisible());
    QCOMPARE(messages->texts(), QStringList());
    QCOMPARE(form->LastPosID(), qint64(3));
    QVERIFY(!dm->TablePos.Active());
    QVERIFY(dm->TablePos.Filter().isEmpty());
}

// The first price line of a new position saves the position, and the line
// starts with the header discount and 20 % VAT.
void TestPosDaten::priceLineSavesNewPositionFirst() {
    QVERIFY(form->prepare(QStringLiteral("R"), 1, TPosDaten::ModeNew));
    auto* kurz = w<TDBEdit>("DBEdit3");
    kurz->selectAll();
    TypeText(kurz, QStringLiteral("Verfugen"));
    auto* nav = w<TDBNavigator>("DBNavigator2");
    QVERIFY(nav->BtnClick(N::nbInsert));
    QCOMPARE(count("select count(*) from PosDaten where KopfID = 1 and PosKurzBez = 'Verfugen'"), 1);
    QCOMPARE(w<TDBEdit>("DBEdit8")->text(), QStringLiteral("5"));
    QCOMPARE(w<TDBLookupComboBox>("DBLCBMWStSatz")->currentText(), QStringLiteral("20"));
    TypeText(w<TDBEdit>("DBEdit4"), QStringLiteral("Fugenmörtel"));
    TypeText(w<TDBEdit>("DBEdit6"), QStringLiteral("3"));
    Choose(w<TDBLookupComboBox>("DBLookupComboBox1"), QStringLiteral("Stk"));
    TypeText(w<TDBEdit>("DBEdit7"), QStringLiteral("10"));
    auto* rabatt = w<TDBEdit>("DBEdit8");
    rabatt->selectAll();
    TypeText(rabatt, QStringLiteral("50"));
    QVERIFY(nav->BtnClick(N::nbPost));
    QCOMPARE(messages->texts(), QStringList());
    QCOMPARE(lines(3), (QStringList{"1:", "2:Fugenmörtel"}));
    QCOMPARE(w<TDBGrid>("DBGrid1")->GridModel()->Text(1, 6), QStringLiteral("15,00"));
    QCOMPARE(w<QLabel>("LabGPreis")->text(), QStringLiteral("Gesamtpreis: 24,50"));
}

void TestPosDaten::modes_data() {
    QTest::addColumn<QString>("typ");
    QTest::addColumn<int>("kopf");
    QTest::addColumn<int>("mode");
    QTest::addColumn<bool>("editable");
    QTest::newRow("change") << "R" << 1 << int(TPosDaten::ModeEdit) << true;
    QTest::newRow("closed document") << "R" << 2 << int(TPosDaten::ModeShow) << false;
}

void TestPosDaten::modes() {
    QFETCH(QString, typ);
    QFETCH(int, kopf);
    QFETCH(int, mode);
    QFETCH(bool, editable);
    QVERIFY(openListed(typ, kopf, 2, mode));
    QCOMPARE(w<TDBEdit>("DBEdit3")->text(), QStringLiteral("Position 2"));
    QCOMPARE(w<TDBGrid>("DBGrid1")->model()->rowCount(), 1);
    for (const char* name :
         {"BitBtnArtikel", "DBEdit1", "DBEdit3", "FrameSchrift1", "DBCheckBox1", "DBEdit4", "DBEdit6",
          "DBLookupComboBox1", "DBEdit7", "DBLCBMWStSatz", "DBEdit8", "DBNavigator1", "DBNavigator2"})
        QVERIFY2(w<QWidget>(name)->isEnabled() == editable, name);
    QCOMPARE(w<TDBRichEdit>("DBRichEdit1")->isReadOnly(), !editable);
    QVERIFY(!w<TDBEdit>("DBEdit2")->isEnabled() || w<TDBEdit>("DBEdit2")->isReadOnly());
    form->done(0);
    QCOMPARE(messages->texts(), QStringList());
    QCOMPARE(lines(2), QStringList{"1:alt 2"});
}

void TestPosDaten::closingWithoutSaving_data() {
    QTest::addColumn<int>("mode");
    QTest::addColumn<bool>("pickArticle");
    QTest::addColumn<QString>("number"); // typed into the position number, empty: none
    QTest::newRow("new position untouched") << int(TPosDaten::ModeNew) << false << "";
    QTest::newRow("new position, renumbered to a used number") << int(TPosDaten::ModeNew) << false << "1";
    QTest::newRow("new position with an article") << int(TPosDaten::ModeNew) << true << "";
    QTest::newRow("another article for position 1") << int(TPosDaten::ModeEdit) << true << "";
}

// Nein leaves every stored position with exactly its own price lines.
void TestPosDaten::closingWithoutSaving() {
    QFETCH(int, mode);
    QFETCH(bool, pickArticle);
    QFETCH(QString, number);
    if (mode == TPosDaten::ModeNew)
        QVERIFY(form->prepare(QStringLiteral("R"), 1, mode));
    else
        QVERIFY(openListed(QStringLiteral("R"), 1, 1, mode));
    form->show();
    if (pickArticle)
        w<QToolButton>("BitBtnArtikel")->click();
    if (!number.isEmpty()) {
        auto* edit = w<TDBEdit>("DBEdit1");
        edit->setFocus();
        edit->selectAll();
        TypeText(edit, number);
    }
    const bool changed = pickArticle || !number.isEmpty();
    if (changed)
        messages->answers.enqueue(Messages::No);
    w<QPushButton>("BitBtnClose")->click();
    QVERIFY(!form->isVisible());
    QCOMPARE(messages->texts(),
             changed ? QStringList{"Sollen die Änderungen gespeichert werden?"} : QStringList());
    QCOMPARE(messages->unexpected, 0);
    QCOMPARE(lines(1), QStringList{"1:alt 1"});
    QCOMPARE(lines(3), QStringList());
    QCOMPARE(count("select count(*) from PosDaten where KopfID = 1"), 2);
    QCOMPARE(count("select ArtikelID from PosDaten where KopfID = 1 and PosID = 1"), 0);
}

void TestPosDaten::screenshot() {
    for (int pos = 3; pos <= 10; ++pos)
        dm->SQLiteDB1.ExecSQL(
            QStringLiteral("insert into PosDaten values ('R',1,%1,0,'Position %1','Position %1','N')")
                .arg(pos));
    QVERIFY(openListed(QStringLiteral("R"), 1, 1, TPosDaten::ModeEdit));
    w<QToolButton>("BitBtnArtikel")->click();
    QVERIFY(save());
    form->resize(860, 780);
    form->show();
    QVERIFY(QTest::qWaitForWindowExposed(form));
    const QString out =
        qEnvironmentVariable("QV_SCREENSHOT_DIR", QDir::tempPath()) + QStringLiteral("/posdaten.png");
    QVERIFY(form->grab().save(out));
    form->done(0);
}

QTEST_MAIN(TestPosDaten)
#include "tst_posdaten.moc"
