// The reference-table pages as a user works them: "Stammdaten - Allgemein" and
// the group pages, driven through their fields and navigator bars.
#include "DatabaseFixture.h"
#include "TDBEdit.h"
#include "TDBNavigator.h"
#include "TestSupport.h"
#include "UAllgemein.h"
#include "UArtikelGruppe.h"
#include "UDM.h"
#include "UKundenGruppe.h"
#include "ULieferantenGruppe.h"

#include <QGroupBox>
#include <QLabel>
#include <QToolButton>
#include <QtTest>

class TestAllgemein : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void showAllgemein();
    void rightRefusedKeepsPage();
    void vatRateTyped_data();
    void vatRateTyped();
    void groupPages_data();
    void groupPages();
    void deleteAsksFirst();

private:
    template <typename T> T* child(QWidget* page, const char* name) {
        T* w = page->findChild<T*>(QLatin1String(name));
        if (!w)
            qFatal("missing widget %s", name);
        return w;
    }
    void screenshot(QWidget* page, const QString& name);

    TDatabaseFixture db;
    ScriptedMessages* messages = nullptr;
    TDM* dm = nullptr;
    QWidget* area = nullptr;
    TAllgemein* allgemein = nullptr;
    TKundenGruppe* kunGru = nullptr;
    TArtikelGruppe* artGru = nullptr;
    TLieferantenGruppe* lieGru = nullptr;
};

void TestAllgemein::initTestCase() {
    PinGermanLocale();
    db.BuildTemplate();
}

void TestAllgemein::init() {
    QVERIFY(db.Open());
    dm = db.dm;
    messages = db.messages;

    area = new QWidget;
    area->resize(821, 680);
    allgemein = new TAllgemein(area);
    kunGru = new TKundenGruppe(area);
    artGru = new TArtikelGruppe(area);
    lieGru = new TLieferantenGruppe(area);
    area->show();
}

void TestAllgemein::cleanup() {
    TPage::CheckRightHook = nullptr;
    delete area;
    db.Close();
}

void TestAllgemein::screenshot(QWidget* page, const QString& name) {
    const QString dir = qEnvironmentVariable("QV_SCREENSHOT_DIR");
    if (!dir.isEmpty())
        page->grab().save(dir + QLatin1Char('/') + name + QStringLiteral(".png"));
}

// ---------------------------------------------------------------------------

void TestAllgemein::showAllgemein() {
    QVERIFY(allgemein->ShowPage());
    QVERIFY(allgemein->isVisible());
    QVERIFY(!kunGru->isVisible());
    QCOMPARE(allgemein->windowTitle(), QString("   Stammdaten - Allgemein"));

    QStringList captions;
    for (int i = 1; i <= 7; ++i)
        captions << child<QGroupBox>(allgemein, qPrintable(QString("GroupBox%1").arg(i)))->title();
    QCOMPARE(captions, (QStringList{"Anrede", "Titel", "Land", "Mengeneinheit", "Druckdatum", "MWSt-Satz",
                                    "Nummernkreis"}));

    // Each field shows the first row of its table.
    QCOMPARE(child<TDBEdit>(allgemein, "DBEdit2")->text(), QString(" "));
    QCOMPARE(child<TDBEdit>(allgemein, "DBEdit5")->text(), QString("Druckdatum"));
    QCOMPARE(child<QLabel>(allgemein, "LabNumBez")->text(), QString("Kundennummer"));
    QCOMPARE(child<TDBEdit>(allgemein, "DBEdit7")->text(), QString("1"));
    QVERIFY(child<TDBEdit>(allgemein, "DBEdit1")->hasFocus() || !QGuiApplication::focusWindow());

    // The number ranges can be changed, never added or removed.
    auto* numNav = child<TDBNavigator>(allgemein, "DBNavigator7");
    QVERIFY(numNav->Button(TDBNavigator::nbInsert)->isHidden());
    QVERIFY(numNav->Button(TDBNavigator::nbDelete)->isHidden());
    QVERIFY(!numNav->Button(TDBNavigator::nbPost)->isHidden());
    auto* anredeNav = child<TDBNavigator>(allgemein, "DBNavigator1");
    QVERIFY(!anredeNav->Button(TDBNavigator::nbInsert)->isHidden());
    QVERIFY(!anredeNav->Button(TDBNavigator::nbDelete)->isHidden());

    // Moving in the number ranges moves the bold caption along.
    QVERIFY(numNav->BtnClick(TDBNavigator::nbNext));
    QCOMPARE(child<QLabel>(allgemein, "LabNumBez")->text(), QString("Artikelnummer"));

    screenshot(allgemein, "Allgemein");
    QVERIFY(messages->boxes.isEmpty());
}

void TestAllgemein::rightRefusedKeepsPage() {
    QVERIFY(kunGru->ShowPage());
    QStringList asked;
    TPage::CheckRightHook = [&asked](const QString& key) {
        asked << key;
        return false;
    };
    QVERIFY(!allgemein->ShowPage());
    QCOMPARE(asked, QStringList{"Allgemein"});
    QVERIFY(kunGru->isVisible());
    QVERIFY(!allgemein->isVisible());
    // The group pages need no right.
    QVERIFY(lieGru->ShowPage());
    QCOMPARE(asked, QStringList{"Allgemein"});
}

void TestAllgemein::vatRateTyped_data() {
    QTest::addColumn<QString>("typed");
    QTest::addColumn<bool>("saved");
    QTest::addColumn<double>("stored");

    QTest::newRow("Komma") << "19,5" << true << 19.5;
    QTest::newRow("ganze Zahl") << "7" << true << 7.0;
    QTest::newRow("Buchstaben") << "abc" << false << 0.0;
}

// A rate is typed as text; a German number is stored as that number, anything
// else is refused with a message and stays in the field for correction.
void TestAllgemein::vatRateTyped() {
    QFETCH(QString, typed);
    QFETCH(bool, saved);
    QFETCH(double, stored);

    QVERIFY(allgemein->ShowPage());
    auto* nav = child<TDBNavigator>(allgemein, "DBNavigator6");
    auto* edit = child<TDBEdit>(allgemein, "DBEdit6");
    QVERIFY(nav->BtnClick(TDBNavigator::nbInsert));
    edit->setFocus();
    QTest::keyClicks(edit, typed);
    const bool posted = nav->BtnClick(TDBNavigator::nbPost);

    dm->Query1.RunSQL("select MWStSatz, typeof(MWStSatz) as art from MWSt where MWStID > 3");
    if (saved) {
        QVERIFY(posted);
        QVERIFY(messages->boxes.isEmpty());
        QCOMPARE(dm->Query1.RecordCount(), 1);
        QCOMPARE(dm->Query1.FieldByName("MWStSatz")->AsFloat(), stored);
        QVERIFY(dm->Query1.FieldByName("art")->AsString() != "text");
    } else {
        QVERIFY(!posted);
        QCOMPARE(messages->boxes.size(), 1);
        QCOMPARE(messages->boxes.first().kind, Messages::Warning);
        QVERIFY(!messages->lastText().startsWith("SQL-Error"));
        QCOMPARE(dm->Query1.RecordCount(), 0);
        QCOMPARE(edit->text(), typed);
        QCOMPARE(dm->TableMWSt.State(), TDataSetState::Insert);
    }
}

void TestAllgemein::groupPages_data() {
    QTest::addColumn<QString>("page");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("table");
    QTest::addColumn<QString>("field");

    QTest::newRow("Kunden") << "kunGru"
                            << "   Kundengruppe"
                            << "KundenGruppe"
                            << "KunGruBez";
    QTest::newRow("Artikel") << "artGru"
                             << "   Artikelgruppe"
                             << "ArtikelGruppe"
                             << "ArtGruBez";
    QTest::newRow("Lieferanten") << "lieGru"
                                 << "   Lieferantengruppe"
                                 << "LieferantenGruppe"
                                 << "LieGruBez";
}

// A group in use may be renamed: the rename is typed, saved and stored.
void TestAllgemein::groupPages() {
    QFETCH(QString, page);
    QFETCH(QString, title);
    QFETCH(QString, table);
    QFETCH(QString, field);

    TPage* p = page == "kunGru"   ? static_cast<TPage*>(kunGru)
               : page == "artGru" ? static_cast<TPage*>(artGru)
                                  : static_cast<TPage*>(lieGru);
    QVERIFY(p->ShowPage());
    QVERIFY(p->isVisible());
    QVERIFY(!allgemein->isVisible());
    QCOMPARE(p->windowTitle(), title);

    auto* edit = child<TDBEdit>(p, "DBEdit1");
    auto* nav = child<TDBNavigator>(p, "DBNavigator1");
    edit->setFocus();
    edit->selectAll();
    QTest::keyClicks(edit, "Handel");
    QVERIFY(nav->BtnClick(TDBNavigator::nbPost));
    QVERIFY(messages->boxes.isEmpty());
    dm->Query1.RunSQL("select " + field + " from " + table);
    QCOMPARE(dm->Query1.Fields(0)->AsString(), QString("Handel"));
    if (page == "lieGru")
        screenshot(p, "Lieferantengruppe");
}

void TestAllgemein::deleteAsksFirst() {
    QVERIFY(lieGru->ShowPage());
    auto* nav = child<TDBNavigator>(lieGru, "DBNavigator1");

    // Cancelled: nothing happens.
    messages->answers.enqueue(Messages::No);
    nav->BtnClick(TDBNavigator::nbDelete);
    QCOMPARE(messages->texts(), QStringList{"Datensatz löschen?"});

    // Confirmed: the guard refuses, the group used by supplier 0 stays.
    messages->clear();
    messages->answers.enqueue(Messages::Yes);
    QVERIFY(!nav->BtnClick(TDBNavigator::nbDelete));
    QCOMPARE(messages->texts(),
             (QStringList{"Datensatz löschen?", "Die Lieferantengruppe kann nicht gelöscht werden, da die "
                                                "Lieferantengruppe noch einem Lieferanten zugeordnet ist!"}));
    QCOMPARE(dm->TableLieGru.RecordCount(), 1);
    QCOMPARE(child<TDBEdit>(lieGru, "DBEdit1")->text(), QString("Allgmein"));
}

QTEST_MAIN(TestAllgemein)
#include "tst_allgemein.moc"
