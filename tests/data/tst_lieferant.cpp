// The supplier rules through the data module: numbering, the checks before a
// save, and the guards before renumbering and deleting, which count articles
// but not purchase orders.
#include "DatabaseFixture.h"
#include "QuorventFunctions.h"
#include "TestSupport.h"
#include "UDM.h"

#include <QtTest>

class TestLieferant : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void numbering_data();
    void numbering();
    void saveChecks_data();
    void saveChecks();
    void renumber_data();
    void renumber();
    void deleteGuards_data();
    void deleteGuards();

private:
    int range() { return GetNumber(dm->Query2, QStringLiteral("LieferantenID"), false); }
    void exec(const QString& sql) { dm->SQLiteDB1.ExecSQL(sql); }
    void addSupplier(int id, const QString& firma) {
        exec(QStringLiteral(
                 "insert into Lieferant (LieferantenID,Firma,LandID,LieGruID,AnspAnredeID,AnspTitelID,"
                 "Aktiv) values (%1,'%2',1,1,1,1,'J')")
                 .arg(id)
                 .arg(firma));
    }
    void link(const QString& kind);
    int count(const QString& sql) { return QueryInt(dm->Query2, sql); }
    void assign(const QStringList& assignments) { AssignFields(dm->TableLieferant, assignments); }
    void reopen() {
        dm->TableLieferant.Close();
        dm->TableLieferant.Open();
    }

    TDatabaseFixture db;
    ScriptedMessages* messages = nullptr;
    TDM* dm = nullptr;
    QString hint;
};

void TestLieferant::initTestCase() {
    PinGermanLocale();
    db.BuildTemplate();
}

void TestLieferant::init() {
    QVERIFY(db.Open());
    dm = db.dm;
    messages = db.messages;
    dm->OnLieferantNummerHinweis = [this](const QString& text) { hint = text; };
    hint.clear();
    dm->TableLieferant.Open();
}

void TestLieferant::cleanup() {
    db.Close();
}

void TestLieferant::link(const QString& kind) {
    if (kind == QLatin1String("Artikel"))
        exec(QStringLiteral(
            "insert into Artikel (ArtikelID,ArtGruID,ArtKurzBez,ArtBez,Aktiv,LieferantenID,BereichEK,"
            "BereichVK,Zwischensumme) values (7,1,'Schraube','Schraube','J',10,'J','N','N')"));
    else if (kind == QLatin1String("Bestellung") || kind == QLatin1String("Rechnung"))
        exec(QStringLiteral("insert into Kopf (KopfTyp,KopfID,KundenID,KunGruID,Datum,SubkundenID) "
                            "values ('%1',1,10,1,'2024-03-05 00:00:00',0)")
                 .arg(kind == QLatin1String("Bestellung") ? QStringLiteral("B") : QStringLiteral("R")));
}

// ---------------------------------------------------------------------------

void TestLieferant::numbering_data() {
    QTest::addColumn<QString>("typed");
    QTest::addColumn<bool>("firstRefused"); // the first save has no group
    QTest::addColumn<int>("savedId");       // -1: cancelled after the refusal
    QTest::addColumn<int>("rangeAfter");

    QTest::newRow("proposal kept") << "" << false << 3 << 4;
    QTest::newRow("typed number leaves the range") << "50" << false << 50 << 3;
    QTest::newRow("refused without group, then saved") << "" << true << 3 << 4;
    QTest::newRow("refused, then cancelled: gap") << "" << true << -1 << 4;
}

void TestLieferant::numbering() {
    QFETCH(QString, typed);
    QFETCH(bool, firstRefused);
    QFETCH(int, savedId);
    QFETCH(int, rangeAfter);
    exec(QStringLiteral("update set_nummer set Nummer = 3 where NumTyp = 'LieferantenID'"));

    dm->TableLieferant.Append();
    QCOMPARE(dm->TableLieferant.FieldByName("LieferantenID")->AsInteger(), 3);
    QCOMPARE(hint, QStringLiteral("(vorläufige Nummer)"));
    QVERIFY(dm->TableLieferant.FieldByName("LieGruID")->IsNull()); // the user chooses the group
    assign({QStringLiteral("Firma=Holz & Co")});
    if (!typed.isEmpty())
        assign({QStringLiteral("LieferantenID=") + typed});
    if (firstRefused) {
        QVERIFY(Aborted([&] { dm->TableLieferant.Post(); }));
        QCOMPARE(messages->texts(),
                 QStringList{QStringLiteral("Die Lieferantengruppe muss angegeben werden!")});
        QCOMPARE(range(), 4);
        QCOMPARE(hint, QString());
    }
    if (savedId < 0) {
        dm->TableLieferant.Cancel();
    } else {
        assign({QStringLiteral("LieGruID=1")});
        dm->TableLieferant.Post();
        QCOMPARE(
            count(QStringLiteral("select count(*) from Lieferant where LieferantenID = %1").arg(savedId)), 1);
    }
    QCOMPARE(range(), rangeAfter);
}

void TestLieferant::saveChecks_data() {
    QTest::addColumn<QStringList>("assignments");
    QTest::addColumn<QString>("warning");

    QTest::newRow("number") << QStringList{"LieferantenID="}
                            << "Die Lieferantennummer muss angegeben werden!";
    QTest::newRow("firm of blanks") << QStringList{"Firma=   "}
                                    << "Es muss eine Firmenbezeichnung angegeben werden!";
    QTest::newRow("group") << QStringList{"LieGruID="} << "Die Lieferantengruppe muss angegeben werden!";
    QTest::newRow("number taken") << QStringList{"LieferantenID=10"}
                                  << "Die angegebene Lieferantennummer ist bereits vorhanden!";
    QTest::newRow("discount too big")
        << QStringList{"Rabatt=101"} << "Der Rabatt muss zwischen 0 und 100 liegen!";
    QTest::newRow("character outside Windows-1252")
        << QStringList{"AnspNachname=Łukasz"}
        << "Das Zeichen \"Ł\" im Feld \"Nachname (Ansprechpartner)\" kann nicht gespeichert werden, da der "
           "Zeichensatz der Datenbank (Windows-1252) es nicht enthält!";
    QTest::newRow("complete") << QStringList{"Rabatt=5", "Skonto=2", "KundenNr=K-4711"} << "";
}

void TestLieferant::saveChecks() {
    QFETCH(QStringList, assignments);
    QFETCH(QString, warning);
    addSupplier(10, QStringLiteral("Vorhanden"));
    reopen();

    dm->TableLieferant.Append();
    assign({QStringLiteral("Firma=Neu GmbH"), QStringLiteral("LieGruID=1")});
    assign(assignments);
    const bool refused = Aborted([&] { dm->TableLieferant.Post(); });
    if (warning.isEmpty()) {
        QVERIFY2(!refused, qPrintable(messages->lastText()));
        QCOMPARE(count(QStringLiteral("select count(*) from Lieferant where KundenNr = 'K-4711'")), 1);
    } else {
        QVERIFY(refused);
        QCOMPARE(messages->texts(), QStringList{warning});
        QCOMPARE(dm->TableLieferant.State(), TDataSetState::Insert);
    }
}

void TestLieferant::renumber_data() {
    QTest::addColumn<int>("from");
    QTest::addColumn<int>("to");
    QTest::addColumn<QString>("linkKind");
    QTest::addColumn<QString>("warning");

    const QString prefix = QStringLiteral("Die Lieferantennummer kann nicht verändert werden");
    QTest::newRow("free number") << 10 << 20 << ""
                                 << "";
    QTest::newRow("with purchase orders only")
        << 10 << 20 << "Bestellung" << prefix + ", da der Lieferant noch einer Bestellung zugeordnet ist!";
    QTest::newRow("used number") << 10 << 12 << ""
                                 << "Die angegebene Lieferantennummer ist bereits vorhanden!";
    QTest::newRow("supplier 0") << 0 << 20 << ""
                                << prefix +
                                       ", da der \"Verkaufslieferant\" die Lieferantennummer 0 haben muss!";
    QTest::newRow("supplies an article")
        << 10 << 20 << "Artikel" << prefix + ", da der Lieferant noch einem Artikel zugeordnet ist!";
}

void TestLieferant::renumber() {
    QFETCH(int, from);
    QFETCH(int, to);
    QFETCH(QString, linkKind);
    QFETCH(QString, warning);
    addSupplier(10, QStringLiteral("Alt"));
    addSupplier(12, QStringLiteral("Nachbar"));
    link(linkKind);
    reopen();

    QVERIFY(dm->TableLieferant.Locate(QStringLiteral("LieferantenID"), from));
    dm->TableLieferant.Edit();
    assign({QStringLiteral("LieferantenID=%1").arg(to)});
    const bool refused = Aborted([&] { dm->TableLieferant.Post(); });
    if (warning.isEmpty()) {
        QVERIFY2(!refused, qPrintable(messages->lastText()));
        QCOMPARE(count(QStringLiteral("select count(*) from Lieferant where LieferantenID = %1").arg(to)), 1);
        QCOMPARE(count(QStringLiteral("select count(*) from Lieferant where LieferantenID = %1").arg(from)),
                 0);
    } else {
        QVERIFY(refused);
        QCOMPARE(messages->texts(), QStringList{warning});
        QCOMPARE(count(QStringLiteral("select count(*) from Lieferant where LieferantenID = %1").arg(from)),
                 1);
    }
}

void TestLieferant::deleteGuards_data() {
    QTest::addColumn<int>("id");
    QTest::addColumn<QString>("linkKind");
    QTest::addColumn<QString>("warning");

    const QString prefix = QStringLiteral("Der Lieferant kann nicht gelöscht werden");
    QTest::newRow("unused") << 10 << ""
                            << "";
    QTest::newRow("with purchase orders only")
        << 10 << "Bestellung" << prefix + ", da der Lieferant noch einer Bestellung zugeordnet ist!";
    // An invoice's partner number is a customer's, whatever supplier has it too.
    QTest::newRow("invoice to the customer with this number") << 10 << "Rechnung"
                                                              << "";
    QTest::newRow("supplier 0") << 0 << ""
                                << prefix +
                                       ", da der \"Verkaufslieferant\" die Lieferantennummer 0 haben muss!";
    QTest::newRow("supplies an article")
        << 10 << "Artikel" << prefix + ", da der Lieferant noch einem Artikel zugeordnet ist!";
}

void TestLieferant::deleteGuards() {
    QFETCH(int, id);
    QFETCH(QString, linkKind);
    QFETCH(QString, warning);
    addSupplier(10, QStringLiteral("Alt"));
    link(linkKind);
    reopen();

    QVERIFY(dm->TableLieferant.Locate(QStringLiteral("LieferantenID"), id));
    const bool refused = Aborted([&] { dm->TableLieferant.Delete(); });
    const int left = count(QStringLiteral("select count(*) from Lieferant where LieferantenID = %1").arg(id));
    QCOMPARE(refused, !warning.isEmpty());
    QCOMPARE(left, warning.isEmpty() ? 0 : 1);
    if (!warning.isEmpty())
        QCOMPARE(messages->texts(), QStringList{warning});
}

QTEST_GUILESS_MAIN(TestLieferant)
#include "tst_lieferant.moc"
