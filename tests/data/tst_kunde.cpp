// The customer rules through the data module on a fresh database: numbering
// from the range, every check before a save with its warning, the guards
// before renumbering and deleting, and text that must come back unchanged.
#include "DatabaseFixture.h"
#include "QuorventFunctions.h"
#include "TestSupport.h"
#include "UDM.h"

#include <QtTest>

class TestKunde : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void cleanup();

    void numbering_data();
    void numbering();
    void saveChecks_data();
    void saveChecks();
    void renumber_data();
    void renumber();
    void renumberBackToOldNumberRunsNoGuard();
    void deleteGuards_data();
    void deleteGuards();
    void textRoundTrip();

private:
    int range() { return GetNumber(dm->Query2, QStringLiteral("KundenID"), false); }
    void exec(const QString& sql) { dm->SQLiteDB1.ExecSQL(sql); }
    void addCustomer(int id, const QString& firma, int konzern = 0,
                     const QString& haendler = QStringLiteral("0"));
    int count(const QString& sql) { return QueryInt(dm->Query2, sql); }
    // Sets "field=value" pairs on the current row; "field=" clears the field.
    void assign(const QStringList& assignments) { AssignFields(dm->TableKunde, assignments); }
    // Puts the used-by rows for a kind of link to customer 10 into the database.
    void link(const QString& kind);

    // A fresh database is built once and copied for every test: building
    // one runs every upgrade step with its backup copy.
    TDatabaseFixture db;
    ScriptedMessages* messages = nullptr;
    TDM* dm = nullptr;
    QString hint;
};

void TestKunde::initTestCase() {
    PinGermanLocale();
    db.BuildTemplate();
}

void TestKunde::cleanupTestCase() {
    DM = nullptr;
}

void TestKunde::init() {
    QVERIFY(db.Open());
    dm = db.dm;
    messages = db.messages;
    dm->OnKundeNummerHinweis = [this](const QString& text) { hint = text; };
    hint.clear();
    dm->TableKunde.Open();
}

void TestKunde::cleanup() {
    db.Close();
}

void TestKunde::addCustomer(int id, const QString& firma, int konzern, const QString& haendler) {
    exec(QStringLiteral("insert into Kunde (KundenID,AnredeID,TitelID,Firma,LandID,KunGruID,Aktiv,KonzernID,"
                        "HaendlerID) values (%1,1,1,'%2',1,1,'J',%3,%4)")
             .arg(id)
             .arg(firma)
             .arg(konzern)
             .arg(haendler));
}

void TestKunde::link(const QString& kind) {
    if (kind == QLatin1String("Konzern"))
        addCustomer(11, QStringLiteral("Tochter"), 10);
    else if (kind == QLatin1String("Haendler"))
        addCustomer(11, QStringLiteral("Endkunde"), 0, QStringLiteral("10"));
    else if (kind == QLatin1String("Auftrag") || kind == QLatin1String("Bestellung"))
        exec(QStringLiteral("insert into Kopf (KopfTyp,KopfID,KundenID,KunGruID,Datum,SubkundenID) "
                            "values ('%1',1,10,1,'2024-03-05 00:00:00',0)")
                 .arg(kind == QLatin1String("Auftrag") ? QStringLiteral("R") : QStringLiteral("B")));
    else if (kind == QLatin1String("Subkunde"))
        exec(QStringLiteral("insert into Kopf (KopfTyp,KopfID,KundenID,KunGruID,Datum,SubkundenID) "
                            "values ('R',1,0,1,'2024-03-05 00:00:00',10)"));
    else if (kind == QLatin1String("HaendlerUndAuftrag")) {
        link(QStringLiteral("Haendler"));
        link(QStringLiteral("Auftrag"));
    }
}

// ---------------------------------------------------------------------------

void TestKunde::numbering_data() {
    QTest::addColumn<QString>("typed");     // empty: keep the proposal
    QTest::addColumn<bool>("firstRefused"); // the first save lacks Firma and Nachname
    QTest::addColumn<int>("savedId");       // -1: cancelled after the refusal
    QTest::addColumn<int>("rangeAfter");

    QTest::newRow("proposal kept") << "" << false << 5 << 6;
    QTest::newRow("typed number leaves the range") << "100" << false << 100 << 5;
    QTest::newRow("refused, then saved: drawn once") << "" << true << 5 << 6;
    QTest::newRow("refused, then cancelled: gap") << "" << true << -1 << 6;
}

void TestKunde::numbering() {
    QFETCH(QString, typed);
    QFETCH(bool, firstRefused);
    QFETCH(int, savedId);
    QFETCH(int, rangeAfter);
    exec(QStringLiteral("update set_nummer set Nummer = 5 where NumTyp = 'KundenID'"));

    dm->TableKunde.Append();
    if (!typed.isEmpty())
        assign({QStringLiteral("KundenID=") + typed});
    assign({QStringLiteral("KunGruID=1")});
    if (firstRefused) {
        QVERIFY(Aborted([&] { dm->TableKunde.Post(); }));
        QCOMPARE(messages->lastText(),
                 QStringLiteral("Es muss entweder eine Firma oder der Nachname angegeben werden!"));
        QCOMPARE(dm->TableKunde.State(), TDataSetState::Insert);
        QCOMPARE(hint, QString()); // the number is no longer a proposal
    }
    if (savedId < 0) {
        dm->TableKunde.Cancel();
    } else {
        assign({QStringLiteral("Nachname=Berger")});
        dm->TableKunde.Post();
        QCOMPARE(dm->TableKunde.FieldByName("KundenID")->AsInteger(), savedId);
        QCOMPARE(count(QStringLiteral("select count(*) from Kunde where KundenID = %1").arg(savedId)), 1);
    }
    QCOMPARE(range(), rangeAfter);
}

void TestKunde::saveChecks_data() {
    QTest::addColumn<QStringList>("assignments");
    QTest::addColumn<QString>("warning"); // empty: saved

    const QString land = QStringLiteral("Das Land muss angegeben werden!");
    QTest::newRow("number") << QStringList{"KundenID="} << "Die Kundennummer muss angegeben werden!";
    QTest::newRow("salutation") << QStringList{"AnredeID="} << "Die Anrede muss angegeben werden!";
    QTest::newRow("title") << QStringList{"TitelID="} << "Der Titel muss angegeben werden!";
    QTest::newRow("firm of blanks, no surname")
        << QStringList{"Firma=   ", "Nachname="}
        << "Es muss entweder eine Firma oder der Nachname angegeben werden!";
    QTest::newRow("surname only") << QStringList{"Firma=", "Nachname=Berger"} << "";
    QTest::newRow("country") << QStringList{"LandID="} << land;
    QTest::newRow("group") << QStringList{"KunGruID="} << "Die Kundengruppe muss angegeben werden!";
    QTest::newRow("active flag") << QStringList{"Aktiv="} << "Das Aktiv-Kennzeichen muss angegeben werden!";
    QTest::newRow("first failing check wins")
        << QStringList{"TitelID=", "LandID="} << "Der Titel muss angegeben werden!";
    QTest::newRow("unknown parent company")
        << QStringList{"KonzernID=999"}
        << "Die angegebene Konzernnummer ist als Kundennummer nicht vorhanden!";
    QTest::newRow("parent company 0") << QStringList{"KonzernID=0"} << "";
    QTest::newRow("existing parent company") << QStringList{"KonzernID=10"} << "";
    QTest::newRow("empty parent company means none") << QStringList{"KonzernID="} << "";
    QTest::newRow("dealer is not checked") << QStringList{"HaendlerID=999"} << "";
    QTest::newRow("number taken") << QStringList{"KundenID=10"}
                                  << "Die angegebene Kundennummer ist bereits vorhanden!";
    QTest::newRow("discount too big")
        << QStringList{"Rabatt=150"} << "Der Rabatt muss zwischen 0 und 100 liegen!";
    QTest::newRow("discount negative")
        << QStringList{"Rabatt=-1"} << "Der Rabatt muss zwischen 0 und 100 liegen!";
    QTest::newRow("cash discount too big")
        << QStringList{"Skonto=1e300"} << "Das Skonto muss zwischen 0 und 100 liegen!";
    QTest::newRow("discounts in range") << QStringList{"Rabatt=12.5", "Skonto=3"} << "";
    QTest::newRow("character outside Windows-1252") << QStringList{"Ort=Łódź"}
                                                    << "Das Zeichen \"Ł\" im Feld \"Ort\" kann nicht "
                                                       "gespeichert werden, da der Zeichensatz der Datenbank "
                                                       "(Windows-1252) es nicht enthält!";
    QTest::newRow("emoji in the note")
        << QStringList{QStringLiteral("Anmerkung=nett \U0001F600")}
        << QStringLiteral(
               "Das Zeichen \"\U0001F600\" im Feld \"Anmerkung\" kann nicht gespeichert werden, da der "
               "Zeichensatz der Datenbank (Windows-1252) es nicht enthält!");
}

void TestKunde::saveChecks() {
    QFETCH(QStringList, assignments);
    QFETCH(QString, warning);
    addCustomer(10, QStringLiteral("Konzern AG"));
    dm->TableKunde.Close();
    dm->TableKunde.Open();

    dm->TableKunde.Append();
    assign({QStringLiteral("Firma=Neu GmbH"), QStringLiteral("KunGruID=1")});
    assign(assignments);
    const int before = count(QStringLiteral("select count(*) from Kunde"));
    const bool refused = Aborted([&] { dm->TableKunde.Post(); });
    if (warning.isEmpty()) {
        QVERIFY2(!refused, qPrintable(messages->lastText()));
        QCOMPARE(count(QStringLiteral("select count(*) from Kunde")), before + 1);
        QVERIFY(!dm->TableKunde.FieldByName("KonzernID")->IsNull());
    } else {
        QVERIFY(refused);
        QCOMPARE(messages->texts(), QStringList{warning});
        QCOMPARE(dm->TableKunde.State(), TDataSetState::Insert);
        QCOMPARE(count(QStringLiteral("select count(*) from Kunde")), before);
    }
}

void TestKunde::renumber_data() {
    QTest::addColumn<int>("from");
    QTest::addColumn<int>("to");
    QTest::addColumn<QString>("linkKind");
    QTest::addColumn<QString>("warning"); // empty: renumbered

    const QString prefix = QStringLiteral("Die Kundennummer kann nicht verändert werden");
    QTest::newRow("free number") << 10 << 20 << ""
                                 << "";
    QTest::newRow("used number") << 10 << 12 << ""
                                 << "Die angegebene Kundennummer ist bereits vorhanden!";
    QTest::newRow("customer 0") << 0 << 20 << ""
                                << prefix + ", da die Kundennummer 0 immer vorhanden sein muss!";
    QTest::newRow("parent") << 10 << 20 << "Konzern"
                            << prefix + ", da der Kunde noch als Konzern verwendet wird!";
    QTest::newRow("dealer") << 10 << 20 << "Haendler"
                            << prefix + ", da der Kunde noch als Händler verwendet wird!";
    QTest::newRow("documents") << 10 << 20 << "Auftrag"
                               << prefix + ", da der Kunde noch einem Auftrag zugeordnet ist!";
    QTest::newRow("sub-customer") << 10 << 20 << "Subkunde"
                                  << prefix +
                                         ", da der Kunde noch einem Auftrag zugeordnet ist (als Subkunde)!";
}

void TestKunde::renumber() {
    QFETCH(int, from);
    QFETCH(int, to);
    QFETCH(QString, linkKind);
    QFETCH(QString, warning);
    addCustomer(10, QStringLiteral("Alt"));
    addCustomer(12, QStringLiteral("Nachbar"));
    link(linkKind);
    dm->TableKunde.Close();
    dm->TableKunde.Open();

    QVERIFY(dm->TableKunde.Locate(QStringLiteral("KundenID"), from));
    dm->TableKunde.Edit();
    assign({QStringLiteral("KundenID=%1").arg(to)});
    const bool refused = Aborted([&] { dm->TableKunde.Post(); });
    if (warning.isEmpty()) {
        QVERIFY2(!refused, qPrintable(messages->lastText()));
        QCOMPARE(count(QStringLiteral("select count(*) from Kunde where KundenID = %1").arg(to)), 1);
        QCOMPARE(count(QStringLiteral("select count(*) from Kunde where KundenID = %1").arg(from)), 0);
        // The renamed row is still the table's current row and can be edited again.
        dm->TableKunde.Edit();
        assign({QStringLiteral("Ort=Graz")});
        dm->TableKunde.Post();
        QCOMPARE(
            count(QStringLiteral("select count(*) from Kunde where KundenID = %1 and Ort = 'Graz'").arg(to)),
            1);
    } else {
        QVERIFY(refused);
        QCOMPARE(messages->texts(), QStringList{warning});
        QCOMPARE(dm->TableKunde.State(), TDataSetState::Edit);
        QCOMPARE(count(QStringLiteral("select count(*) from Kunde where KundenID = %1").arg(from)), 1);
    }
}

void TestKunde::renumberBackToOldNumberRunsNoGuard() {
    addCustomer(10, QStringLiteral("Alt"));
    link(QStringLiteral("Auftrag"));
    dm->TableKunde.Close();
    dm->TableKunde.Open();
    QVERIFY(dm->TableKunde.Locate(QStringLiteral("KundenID"), 10));
    dm->TableKunde.Edit();
    assign({QStringLiteral("KundenID=20"), QStringLiteral("Ort=Linz"), QStringLiteral("KundenID=10")});
    dm->TableKunde.Post();
    QVERIFY(messages->boxes.isEmpty());
    QCOMPARE(count(QStringLiteral("select count(*) from Kunde where KundenID = 10 and Ort = 'Linz'")), 1);
}

void TestKunde::deleteGuards_data() {
    QTest::addColumn<int>("id");
    QTest::addColumn<QString>("linkKind");
    QTest::addColumn<QString>("warning"); // empty: deleted

    const QString prefix = QStringLiteral("Der Kunde kann nicht gelöscht werden");
    QTest::newRow("unused") << 10 << ""
                            << "";
    QTest::newRow("customer 0") << 0 << "" << prefix + ", da die Kundennummer 0 immer vorhanden sein muss!";
    QTest::newRow("parent") << 10 << "Konzern" << prefix + ", da der Kunde noch als Konzern verwendet wird!";
    QTest::newRow("dealer with documents: dealer first")
        << 10 << "HaendlerUndAuftrag" << prefix + ", da der Kunde noch als Händler verwendet wird!";
    QTest::newRow("documents") << 10 << "Auftrag"
                               << prefix + ", da der Kunde noch einem Auftrag zugeordnet ist!";
    QTest::newRow("purchase order of the supplier with this number")
        << 10 << "Bestellung" << prefix + ", da der Kunde noch einem Auftrag zugeordnet ist!";
    QTest::newRow("sub-customer") << 10 << "Subkunde"
                                  << prefix +
                                         ", da der Kunde noch einem Auftrag zugeordnet ist (als Subkunde)!";
}

void TestKunde::deleteGuards() {
    QFETCH(int, id);
    QFETCH(QString, linkKind);
    QFETCH(QString, warning);
    addCustomer(10, QStringLiteral("Alt"));
    link(linkKind);
    dm->TableKunde.Close();
    dm->TableKunde.Open();

    QVERIFY(dm->TableKunde.Locate(QStringLiteral("KundenID"), id));
    const bool refused = Aborted([&] { dm->TableKunde.Delete(); });
    const int left = count(QStringLiteral("select count(*) from Kunde where KundenID = %1").arg(id));
    if (warning.isEmpty()) {
        QVERIFY(!refused);
        QCOMPARE(left, 0);
    } else {
        QVERIFY(refused);
        QCOMPARE(messages->texts(), QStringList{warning});
        QCOMPARE(left, 1);
    }
}

void TestKunde::textRoundTrip() {
    const QString firma = QStringLiteral("O'Brien & Söhne \"Müller\"");
    const QString note = QStringLiteral("Straße ' ; -- drop table Kunde; €ÄÖÜß");
    dm->TableKunde.Append();
    assign({QStringLiteral("KundenID=42"), QStringLiteral("KunGruID=1"), QStringLiteral("Firma=") + firma,
            QStringLiteral("Anmerkung=") + note});
    dm->TableKunde.Post();
    QVERIFY(messages->boxes.isEmpty());

    dm->TableKunde.Close();
    dm->TableKunde.Open();
    QVERIFY(dm->TableKunde.Locate(QStringLiteral("KundenID"), 42));
    QCOMPARE(dm->TableKunde.FieldByName("Firma")->AsString(), firma);
    QCOMPARE(dm->TableKunde.FieldByName("Anmerkung")->AsString(), note);
    // Stored as single Windows-1252 bytes (0xF6 is ö), as older files have them.
    dm->Query2.RunSQL(QStringLiteral("select hex(Firma) as h from Kunde where KundenID = 42"));
    QVERIFY(dm->Query2.FieldByName("h")->AsString().contains(QStringLiteral("53F6686E65")));
}

QTEST_GUILESS_MAIN(TestKunde)
#include "tst_kunde.moc"
