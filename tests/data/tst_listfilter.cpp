// The statements of the customer, supplier and article lists: the condition
// of each filter slot, how conds and sort combine, and, on a real database,
// that typed quotes, percent signs and underscores find exactly that text
// while "*" stays a wildcard.
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
    void kundenJoins_data();
    void kundenJoins();
    void slotsAndSort();
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
    QTest::newRow("K2 ticked") << "K" << 2 << "J"
                               << "K.Aktiv = 'J'";
    QTest::newRow("K2 not ticked") << "K" << 2 << "N"
                                   << "K.Aktiv = 'N'";
    QTest::newRow("K2 undetermined") << "K" << 2 << ""
                                     << "";
    QTest::newRow("K3 number") << "K" << 3 << "42"
                               << "K.KundenID = 42";
    QTest::newRow("K4 name")
        << "K" << 4 << "Mü*er"
        << "(K.Firma like 'Mü%er%' escape '\\' or K.Nachname like 'Mü%er%' escape '\\' or "
           "K.Vorname like 'Mü%er%' escape '\\' or K.Zusatzname like 'Mü%er%' escape '\\')";
    QTest::newRow("K5 postcode") << "K" << 5 << "12"
                                 << "K.PLZ like '12%' escape '\\'";
    QTest::newRow("K6 town") << "K" << 6 << "St_*"
                             << "K.Ort like 'St\\_%%' escape '\\'";
    QTest::newRow("K7 parent number") << "K" << 7 << "5"
                                      << "K.KonzernID = 5";
    QTest::newRow("K8 parent name") << "K" << 8 << "a"
                                    << "(Ko.Firma like 'a%' escape '\\' or Ko.Nachname like "
                                       "'a%' escape '\\' or Ko.Vorname like 'a%' escape '\\' "
                                       "or Ko.Zusatzname like 'a%' escape '\\')";
    QTest::newRow("K9 dealer number") << "K" << 9 << "7"
                                      << "K.HaendlerID = 7";
    QTest::newRow("K10 dealer name") << "K" << 10 << "x"
                                     << "(H.Firma like 'x%' escape '\\' or H.Nachname like "
                                        "'x%' escape '\\' or H.Vorname like 'x%' escape '\\' "
                                        "or H.Zusatzname like 'x%' escape '\\')";
    QTest::newRow("K11 no such slot") << "K" << 11 << "x"
                                      << "";
    QTest::newRow("L1 group") << "L" << 1 << "Großhandel"
                              << "G.LieGruBez = 'Großhandel'";
    QTest::newRow("L2 ticked") << "L" << 2 << "J"
                               << "L.Aktiv = 'J'";
    QTest::newRow("L3 number") << "L" << 3 << "0"
                               << "L.LieferantenID = 0";
    QTest::newRow("L4 name with quote") << "L" << 4 << "O'B"
                                        << "Firma like 'O''B%' escape '\\'";
    QTest::newRow("L5 postcode") << "L" << 5 << "8"
                                 << "L.PLZ like '8%' escape '\\'";
    QTest::newRow("L6 town percent") << "L" << 6 << "50%"
                                     << "L.Ort like '50\\%%' escape '\\'";
    QTest::newRow("A1 group") << "A" << 1 << "Schrauben"
                              << "AG.ArtGruBez = 'Schrauben'";
    QTest::newRow("A2 description") << "A" << 2 << "Mü*ll"
                                    << "Upper(A.ArtKurzBez) like '%Mü%LL%' escape '\\'";
    QTest::newRow("A3 active") << "A" << 3 << "N"
                               << "A.Aktiv = 'N'";
    QTest::newRow("A4 supplier") << "A" << 4 << "12"
                                 << "A.LieferantenID = '12'";
    QTest::newRow("A4 all") << "A" << 4 << ""
                            << "";
    QTest::newRow("A5 purchase") << "A" << 5 << "J"
                                 << "A.BereichEK = 'J'";
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

void TestListFilter::kundenJoins_data() {
    QTest::addColumn<int>("slot");
    QTest::addColumn<QString>("sql");
    const QString sort = QStringLiteral(" order by K.KundenID");
    QTest::newRow("none") << 0
                          << "select K.* from Kunde K, Kundengruppe G where G.KunGruID = K.KunGruID" + sort;
    QTest::newRow("parent")
        << 8
        << "select K.* from Kunde K, Kundengruppe G, Kunde Ko where G.KunGruID = K.KunGruID "
           "and K.KonzernID = Ko.KundenID and " +
               KundenCondition(8, QStringLiteral("a")) + sort;
    QTest::newRow("dealer")
        << 10
        << "select K.* from Kunde K, Kundengruppe G, Kunde H where G.KunGruID = K.KunGruID "
           "and K.HaendlerID = H.KundenID and " +
               KundenCondition(10, QStringLiteral("a")) + sort;
    QTest::newRow("both") << 18
                          << "select K.* from Kunde K, Kundengruppe G, Kunde Ko, Kunde H where G.KunGruID = "
                             "K.KunGruID and K.KonzernID = Ko.KundenID and K.HaendlerID = H.KundenID and " +
                                 KundenCondition(8, QStringLiteral("a")) + " and " +
                                 KundenCondition(10, QStringLiteral("a")) + sort;
}

void TestListFilter::kundenJoins() {
    QFETCH(int, slot);
    QFETCH(QString, sql);
    QStringList conds(KundenSlots);
    if (slot == 8 || slot == 18)
        conds[7] = KundenCondition(8, QStringLiteral("a"));
    if (slot == 10 || slot == 18)
        conds[9] = KundenCondition(10, QStringLiteral("a"));
    QCOMPARE(KundenSQL(conds, 0), sql);
}

void TestListFilter::slotsAndSort() {
    QStringList conds(KundenSlots);
    conds[1] = KundenCondition(2, QStringLiteral("J"));
    conds[5] = KundenCondition(6, QStringLiteral("Berlin"));
    QCOMPARE(KundenSQL(conds, 4),
             QStringLiteral("select K.* from Kunde K, Kundengruppe G where G.KunGruID = "
                            "K.KunGruID and K.Aktiv = 'J' and K.Ort like 'Berlin%' escape "
                            "'\\' order by Upper(K.Ort)"));

    QStringList lie(LieferantenSlots);
    lie[0] = LieferantenCondition(1, QStringLiteral("Standard"));
    lie[3] = LieferantenCondition(4, QStringLiteral("B"));
    QCOMPARE(
        LieferantenSQL(lie, 1),
        QStringLiteral("select L.* from Lieferant L, Lieferantengruppe G where G.LieGruID = L.LieGruID and "
                       "G.LieGruBez = 'Standard' and Firma like 'B%' escape '\\' order by L.LieferantenID "
                       "desc"));

    QStringList art(ArtikelSlots);
    art[2] = ArtikelCondition(3, QStringLiteral("J"));
    art[5] = ArtikelCondition(6, QStringLiteral("J"));
    QCOMPARE(
        ArtikelSQL(art, 3),
        QStringLiteral("select A.*, AG.ArtGruBez, L.Firma, (select total(P.Menge*P.Wert)/1.0 from ArtPreis "
                       "P where P.ArtikelID = A.ArtikelID) as Summe from Artikel A, ArtikelGruppe AG, "
                       "Lieferant L where AG.ArtGruID = A.ArtGruID and L.LieferantenID = A.LieferantenID and "
                       "A.Aktiv = 'J' and A.BereichVK = 'J' order by Upper(AG.ArtGruBez), "
                       "Upper(A.ArtKurzBez)"));
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
