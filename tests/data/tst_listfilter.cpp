// The statements of the customer, supplier and article lists: the condition
// of the slots no search below runs, and, on a real database, that typed
// quotes, percent signs and underscores find exactly that text while "*"
// stays a wildcard, the joins of parent and dealer, and the sort orders.
#include "DatabaseFixture.h"
#include "ListFilter.h"
#include "TestSupport.h"
#include "UDM.h"

#include <QtTest>

using namespace ListFilter;

class TestListFilter : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void slotCondition_data();
    void slotCondition();
    void numberFieldsTakeOnlyDigits_data();
    void numberFieldsTakeOnlyDigits();
    void kundenSearch_data();
    void kundenSearch();
    void kundenParentAndDealer();
    void lieferantenSearch_data();
    void lieferantenSearch();
    void artikelSearch_data();
    void artikelSearch();
    void sorting_data();
    void sorting();

private:
    void exec(const QString& sql) { dm->SQLiteDB1.ExecSQL(sql); }
    // The first column of every row the statement gives, in order.
    QList<int> ids(const QString& sql);
    void addCustomer(int id, const QString& firma, const QString& nachname = QString(),
                     const QString& aktiv = QStringLiteral("J"), int konzern = 0, int haendler = 0);
    void addSupplier(int id, const QString& firma, const QString& ort = QString());
    void addArticle(int id, const QString& bez, int lieferant = 0, const QString& ek = QStringLiteral("N"),
                    const QString& vk = QStringLiteral("J"));
    void fillCustomers();

    TDatabaseFixture db;
    ScriptedMessages* messages = nullptr;
    TDM* dm = nullptr;
};

void TestListFilter::initTestCase() {
    db.BuildTemplate();
}

void TestListFilter::init() {
    QVERIFY(db.Open());
    dm = db.dm;
    messages = db.messages;
}

void TestListFilter::cleanup() {
    db.Close();
}

QList<int> TestListFilter::ids(const QString& sql) {
    dm->Query2.RunSQL(sql);
    QList<int> list;
    for (dm->Query2.First(); !dm->Query2.Eof(); dm->Query2.Next())
        list.append(dm->Query2.Fields(0)->AsInteger());
    return list;
}

void TestListFilter::addCustomer(int id, const QString& firma, const QString& nachname, const QString& aktiv,
                                 int konzern, int haendler) {
    exec(QStringLiteral("insert into Kunde (KundenID,AnredeID,TitelID,Firma,Nachname,LandID,KunGruID,Aktiv,"
                        "KonzernID,HaendlerID) values (%1,1,1,%2,%3,1,1,%4,%5,%6)")
             .arg(id)
             .arg(QuoteExact(firma), QuoteExact(nachname), QuoteExact(aktiv))
             .arg(konzern)
             .arg(haendler));
}

void TestListFilter::addSupplier(int id, const QString& firma, const QString& ort) {
    exec(QStringLiteral("insert into Lieferant (LieferantenID,Firma,Ort,LandID,LieGruID,AnspAnredeID,"
                        "AnspTitelID,Aktiv) values (%1,%2,%3,1,1,1,1,'J')")
             .arg(id)
             .arg(QuoteExact(firma), QuoteExact(ort)));
}

void TestListFilter::addArticle(int id, const QString& bez, int lieferant, const QString& ek,
                                const QString& vk) {
    exec(QStringLiteral("insert into Artikel (ArtikelID,ArtGruID,ArtKurzBez,ArtBez,Aktiv,LieferantenID,"
                        "BereichEK,BereichVK,Zwischensumme) values (%1,1,%2,%2,'J',%3,'%4','%5','N')")
             .arg(id)
             .arg(QuoteExact(bez))
             .arg(lieferant)
             .arg(ek, vk));
}

void TestListFilter::fillCustomers() {
    addCustomer(1, QStringLiteral("O'Brien Ltd"));
    addCustomer(2, QStringLiteral("OBrien GmbH"));
    addCustomer(3, QStringLiteral("100% Bio"));
    addCustomer(4, QStringLiteral("1000 Teile"));
    addCustomer(5, QStringLiteral("A_B Bau"));
    addCustomer(6, QStringLiteral("AxB Bau"));
    addCustomer(7, QString(), QStringLiteral("Müller"));
    addCustomer(8, QStringLiteral("Meier"), QString(), QStringLiteral("N"));
    addCustomer(9, QStringLiteral("Schmidt"));
    addCustomer(10, QStringLiteral("C:\\Pfad"));
    addCustomer(11, QStringLiteral("Mayer und Meier"));
}

void TestListFilter::slotCondition_data() {
    QTest::addColumn<QString>("frame");
    QTest::addColumn<int>("slot");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("condition");

    QTest::newRow("K1 group") << "K" << 1 << "Händler"
                              << "G.KunGruBez = 'Händler'";
    QTest::newRow("K1 group with quote") << "K" << 1 << "Kunde's"
                                         << "G.KunGruBez = 'Kunde''s'";
    QTest::newRow("K1 all") << "K" << 1 << ""
                            << "";
    QTest::newRow("K5 postcode") << "K" << 5 << "12"
                                 << "K.PLZ like '12%' escape '\\'";
    QTest::newRow("K6 town") << "K" << 6 << "St_*"
                             << "K.Ort like 'St\\_%%' escape '\\'";
    QTest::newRow("K7 parent number") << "K" << 7 << "5"
                                      << "K.KonzernID = 5";
    QTest::newRow("K9 dealer number") << "K" << 9 << "7"
                                      << "K.HaendlerID = 7";
    QTest::newRow("K11 no such slot") << "K" << 11 << "x"
                                      << "";
    QTest::newRow("L1 group") << "L" << 1 << "Großhandel"
                              << "G.LieGruBez = 'Großhandel'";
    QTest::newRow("L2 ticked") << "L" << 2 << "J"
                               << "L.Aktiv = 'J'";
    QTest::newRow("L3 number") << "L" << 3 << "0"
                               << "L.LieferantenID = 0";
    QTest::newRow("L5 postcode") << "L" << 5 << "8"
                                 << "L.PLZ like '8%' escape '\\'";
    QTest::newRow("A1 group") << "A" << 1 << "Schrauben"
                              << "AG.ArtGruBez = 'Schrauben'";
    QTest::newRow("A3 active") << "A" << 3 << "N"
                               << "A.Aktiv = 'N'";
    QTest::newRow("A4 all") << "A" << 4 << ""
                            << "";
    QTest::newRow("A6 sales") << "A" << 6 << "J"
                              << "A.BereichVK = 'J'";
}

void TestListFilter::slotCondition() {
    QFETCH(QString, frame);
    QFETCH(int, slot);
    QFETCH(QString, value);
    QFETCH(QString, condition);
    const QString got = frame == u'K'   ? KundenCondition(slot, value)
                        : frame == u'L' ? LieferantenCondition(slot, value)
                                        : ArtikelCondition(slot, value);
    QCOMPARE(got, condition);
}

void TestListFilter::numberFieldsTakeOnlyDigits_data() {
    QTest::addColumn<QString>("typed");
    QTest::addColumn<bool>("used");
    QTest::newRow("digits") << "0815" << true;
    QTest::newRow("letter") << "12a" << false;
    QTest::newRow("pasted statement") << "1 or 1=1" << false;
    QTest::newRow("minus") << "-1" << false;
    QTest::newRow("blank") << " 1" << false;
    QTest::newRow("arabic digit") << "١" << false;
}

void TestListFilter::numberFieldsTakeOnlyDigits() {
    QFETCH(QString, typed);
    QFETCH(bool, used);
    for (int slot : {3, 7, 9})
        QCOMPARE(KundenCondition(slot, typed).isEmpty(), !used);
    QCOMPARE(LieferantenCondition(3, typed).isEmpty(), !used);
}

void TestListFilter::kundenSearch_data() {
    QTest::addColumn<int>("slot");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QList<int>>("found");

    QTest::newRow("quote") << 4 << "O'Brien" << QList<int>{1};
    QTest::newRow("only a quote") << 4 << "'" << QList<int>{};
    QTest::newRow("percent is itself") << 4 << "100%" << QList<int>{3};
    QTest::newRow("underscore is itself") << 4 << "A_" << QList<int>{5};
    QTest::newRow("backslash is itself") << 4 << "C:\\" << QList<int>{10};
    QTest::newRow("star in the middle") << 4 << "M*er" << QList<int>{0, 7, 8, 11};
    QTest::newRow("star at the end only") << 4 << "Me*" << QList<int>{8};
    QTest::newRow("surname") << 4 << "Mü" << QList<int>{7};
    QTest::newRow("start of the name only") << 4 << "eier" << QList<int>{};
    QTest::newRow("statement typed in") << 4 << "x' or 1=1 --" << QList<int>{};
    QTest::newRow("number") << 3 << "9" << QList<int>{9};
    QTest::newRow("undetermined active lists both")
        << 2 << "" << QList<int>{0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11};
    QTest::newRow("inactive") << 2 << "N" << QList<int>{8};
}

void TestListFilter::kundenSearch() {
    QFETCH(int, slot);
    QFETCH(QString, typed);
    QFETCH(QList<int>, found);
    fillCustomers();
    QStringList conds(KundenSlots);
    conds[slot - 1] = KundenCondition(slot, typed);
    QCOMPARE(ids(KundenSQL(conds, 0)), found);
    QCOMPARE(messages->boxes.size(), 0);
}

void TestListFilter::kundenParentAndDealer() {
    addCustomer(1, QStringLiteral("O'Brien Holding"));
    addCustomer(2, QStringLiteral("Tochter A"), QString(), QStringLiteral("J"), 1);
    addCustomer(3, QStringLiteral("Tochter B"), QString(), QStringLiteral("J"), 0, 1);
    addCustomer(4, QStringLiteral("Tochter C"), QString(), QStringLiteral("J"), 1, 1);
    QStringList conds(KundenSlots);
    conds[7] = KundenCondition(8, QStringLiteral("O'Brien"));
    QCOMPARE(ids(KundenSQL(conds, 0)), (QList<int>{2, 4}));
    conds[9] = KundenCondition(10, QStringLiteral("O'B*Hold"));
    QCOMPARE(ids(KundenSQL(conds, 0)), (QList<int>{4}));
    conds[7].clear();
    QCOMPARE(ids(KundenSQL(conds, 0)), (QList<int>{3, 4}));
    conds[9].clear();
    QVERIFY(!KundenSQL(conds, 0).contains(QStringLiteral("Kunde H")));
    QCOMPARE(ids(KundenSQL(conds, 0)), (QList<int>{0, 1, 2, 3, 4}));
}

void TestListFilter::lieferantenSearch_data() {
    QTest::addColumn<int>("slot");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QList<int>>("found");
    QTest::newRow("quote in name") << 4 << "D'Ang" << QList<int>{1};
    QTest::newRow("percent in name") << 4 << "50%" << QList<int>{2};
    QTest::newRow("star in name") << 4 << "*Bau" << QList<int>{3, 4};
    QTest::newRow("underscore in town") << 6 << "Bad_" << QList<int>{3};
    QTest::newRow("quote in town") << 6 << "L'A" << QList<int>{4};
}

void TestListFilter::lieferantenSearch() {
    QFETCH(int, slot);
    QFETCH(QString, typed);
    QFETCH(QList<int>, found);
    addSupplier(1, QStringLiteral("D'Angelo"));
    addSupplier(2, QStringLiteral("50% Rabatt"));
    addSupplier(3, QStringLiteral("Nord Bau"), QStringLiteral("Bad_Ems"));
    addSupplier(4, QStringLiteral("Süd Bau"), QStringLiteral("L'Aquila"));
    addSupplier(5, QStringLiteral("500 Rabatt"), QStringLiteral("BadXEms"));
    QStringList conds(LieferantenSlots);
    conds[slot - 1] = LieferantenCondition(slot, typed);
    QCOMPARE(ids(LieferantenSQL(conds, 0)), found);
}

void TestListFilter::artikelSearch_data() {
    QTest::addColumn<int>("slot");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QList<int>>("found");
    QTest::newRow("anywhere, any case") << 2 << "schraube" << QList<int>{1, 2};
    QTest::newRow("umlaut in lower case") << 2 << "müll" << QList<int>{3};
    QTest::newRow("percent") << 2 << "5%" << QList<int>{4};
    QTest::newRow("underscore") << 2 << "a_b" << QList<int>{5};
    QTest::newRow("quote") << 2 << "r'r" << QList<int>{6};
    QTest::newRow("star") << 2 << "holz*schraube" << QList<int>{2};
    QTest::newRow("supplier") << 4 << "7" << QList<int>{6};
    QTest::newRow("purchase") << 5 << "J" << QList<int>{5};
}

void TestListFilter::artikelSearch() {
    QFETCH(int, slot);
    QFETCH(QString, typed);
    QFETCH(QList<int>, found);
    addSupplier(7, QStringLiteral("Holzhandel"));
    addArticle(1, QStringLiteral("Schraube M4"));
    addArticle(2, QStringLiteral("Holzschraube"));
    addArticle(3, QStringLiteral("Müllsack"));
    addArticle(4, QStringLiteral("5% Aufschlag"));
    addArticle(5, QStringLiteral("Teil A_B"), 0, QStringLiteral("J"), QStringLiteral("N"));
    addArticle(6, QStringLiteral("Tor'Riegel"), 7);
    addArticle(7, QStringLiteral("50 Aufschlag"));
    addArticle(8, QStringLiteral("Teil AxB"));
    addArticle(9, QStringLiteral("Ohne Lieferant"), 99);
    QStringList conds(ArtikelSlots);
    conds[slot - 1] = ArtikelCondition(slot, typed);
    QCOMPARE(ids(ArtikelSQL(conds, 0)), found);
}

void TestListFilter::sorting_data() {
    QTest::addColumn<QString>("frame");
    QTest::addColumn<int>("sort");
    QTest::addColumn<QList<int>>("order");
    QTest::newRow("customers descending") << "K" << 1 << QList<int>{3, 2, 1, 0};
    QTest::newRow("customers by company") << "K" << 2 << QList<int>{1, 3, 0, 2};
    QTest::newRow("unknown entry is the first") << "K" << 9 << QList<int>{0, 1, 2, 3};
    QTest::newRow("articles by amount") << "A" << 4 << QList<int>{0, 2, 1};
    QTest::newRow("articles by supplier") << "A" << 5 << QList<int>{2, 1, 0};
}

void TestListFilter::sorting() {
    QFETCH(QString, frame);
    QFETCH(int, sort);
    QFETCH(QList<int>, order);
    if (frame == u'K') {
        addCustomer(1, QStringLiteral("alpha"));
        addCustomer(2, QStringLiteral("Zeta"));
        addCustomer(3, QStringLiteral("Beta"));
        // Customer 0 is "Musterfirma".
        QCOMPARE(ids(KundenSQL(QStringList(), sort)), order);
    } else {
        addSupplier(5, QStringLiteral("Aachen Holz"));
        addArticle(1, QStringLiteral("Eins"));
        addArticle(2, QStringLiteral("Zwei"), 5);
        exec(QStringLiteral("delete from ArtPreis where ArtikelID = 0"));
        exec(QStringLiteral("insert into ArtPreis values (1,1,null,null,2,2,5,20)"));
        exec(QStringLiteral("insert into ArtPreis values (2,1,null,null,1,2,3,20)"));
        QCOMPARE(ids(ArtikelSQL(QStringList(), sort)), order);
    }
}

QTEST_GUILESS_MAIN(TestListFilter)
#include "tst_listfilter.moc"
