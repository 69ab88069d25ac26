// The rules of the reference tables, run through the data module on a fresh
// database: required descriptions, the usage guards in their order, and VAT
// rates and number ranges that must be numbers.
#include "DatabaseFixture.h"
#include "TestSupport.h"
#include "UDM.h"

#include <QtTest>

class TestReferenz : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void requiredText_data();
    void requiredText();
    void deleteGuards_data();
    void deleteGuards();
    void usedGroupCanBeRenamed();
    void vatRateText_data();
    void vatRateText();
    void numberRangeText_data();
    void numberRangeText();

private:
    TSQLiteTable* table(const QString& name);

    TDatabaseFixture db;
    ScriptedMessages* messages = nullptr;
    TDM* dm = nullptr;
};

// Building a database runs every upgrade step; it is done once, and each test
// starts from a fresh copy of the result.
void TestReferenz::initTestCase() {
    PinGermanLocale();
    db.BuildTemplate();
}

void TestReferenz::init() {
    QVERIFY(db.Open());
    dm = db.dm;
    messages = db.messages;
}

void TestReferenz::cleanup() {
    db.Close();
}

TSQLiteTable* TestReferenz::table(const QString& name) {
    const QHash<QString, TSQLiteTable*> tables{
        {"Anrede", &dm->TableAnrede},     {"Titel", &dm->TableTitel},       {"Land", &dm->TableLand},
        {"Einheit", &dm->TableEinheit},   {"MWSt", &dm->TableMWSt},         {"DruDat", &dm->TableDruDat},
        {"KunGru", &dm->TableKunGru},     {"ArtGru", &dm->TableArtGru},     {"LieGru", &dm->TableLieGru},
        {"KopfText", &dm->TableKopfText}, {"FussText", &dm->TableFussText}, {"NumKreis", &dm->TableNumKreis},
    };
    return tables.value(name);
}

// ---------------------------------------------------------------------------

void TestReferenz::requiredText_data() {
    QTest::addColumn<QString>("table");
    QTest::addColumn<QStringList>("assignments"); // field=value; a field without "=" stays empty
    QTest::addColumn<QString>("warning");         // empty: the row is saved

    QTest::newRow("Anrede") << "Anrede" << QStringList{}
                            << "Die Bezeichnung für die Anrede muss angegeben werden!";
    QTest::newRow("Titel") << "Titel" << QStringList{}
                           << "Die Bezeichnung für den Titel muss angegeben werden!";
    QTest::newRow("Land") << "Land" << QStringList{} << "Die Bezeichnung für das Land muss angegeben werden!";
    QTest::newRow("Einheit") << "Einheit" << QStringList{}
                             << "Die Bezeichnung für die Einheit muss angegeben werden!";
    QTest::newRow("MWSt") << "MWSt" << QStringList{} << "Es muss ein MWSt.Satz angegeben werden!";
    QTest::newRow("Druckdatum") << "DruDat" << QStringList{} << "Die Bezeichnung muss angegeben werden!";
    QTest::newRow("Kundengruppe") << "KunGru" << QStringList{} << "Die Bezeichnung muss angegeben werden!";
    QTest::newRow("Artikelgruppe") << "ArtGru" << QStringList{}
                                   << "Die Bezeichnung für die Artikelgruppe muss angegeben werden!";
    QTest::newRow("Lieferantengruppe")
        << "LieGru" << QStringList{} << "Die Bezeichnung muss angegeben werden!";
    QTest::newRow("Kopftext ohne alles")
        << "KopfText" << QStringList{} << "Die Bezeichnung für den Kopftext muss angegeben werden!";
    QTest::newRow("Kopftext ohne Text")
        << "KopfText" << QStringList{"KopfTextBez=Gruß"} << "Der Kopftext muss angegeben werden!";
    QTest::newRow("Fusstext ohne alles") << "FussText" << QStringList{"FussTextText=Danke"}
                                         << "Die Bezeichnung für den Fusstext muss angegeben werden!";
    QTest::newRow("Fusstext ohne Text")
        << "FussText" << QStringList{"FussTextBez=Dank"} << "Der Fusstext muss angegeben werden!";
    QTest::newRow("leerer Text zählt als fehlend")
        << "Anrede" << QStringList{"AnredeBez="} << "Die Bezeichnung für die Anrede muss angegeben werden!";
    QTest::newRow("Leerzeichen ist eine Bezeichnung") << "Titel" << QStringList{"TitelBez= "} << "";
    QTest::newRow("Kopftext vollständig")
        << "KopfText" << QStringList{"KopfTextBez=Gruß", "KopfTextText=Hallo"} << "";
    QTest::newRow("Einheit gespeichert") << "Einheit" << QStringList{"EinheitBez=kg"} << "";
}

void TestReferenz::requiredText() {
    QFETCH(QString, table);
    QFETCH(QStringList, assignments);
    QFETCH(QString, warning);

    TSQLiteTable* t = this->table(table);
    t->Open();
    const int before = t->RecordCount();
    t->Append();
    for (const QString& a : assignments) {
        const QString field = a.section('=', 0, 0);
        const QString value = a.section('=', 1);
        t->FieldByName(field)->SetAsString(value);
    }
    const bool refused = Aborted([&] { t->Post(); });

    dm->Query1.RunSQL("select count(*) as anz from " + t->TableName());
    const int stored = dm->Query1.FieldByName("anz")->AsInteger();
    if (warning.isEmpty()) {
        QVERIFY(!refused);
        QVERIFY(messages->boxes.isEmpty());
        QCOMPARE(stored, before + 1);
    } else {
        QVERIFY(refused);
        QCOMPARE(messages->texts(), QStringList{warning});
        QCOMPARE(messages->boxes.first().kind, Messages::Warning);
        QCOMPARE(t->State(), TDataSetState::Insert); // the user can correct and save again
        QCOMPARE(stored, before);
    }
}

// ---------------------------------------------------------------------------

void TestReferenz::deleteGuards_data() {
    QTest::addColumn<QStringList>("setup");
    QTest::addColumn<QString>("table");
    QTest::addColumn<QString>("keyField");
    QTest::addColumn<int>("key");
    QTest::addColumn<QString>("warning"); // empty: the row is deleted

    // A new database has customer 0 and supplier 0 on salutation, title,
    // country and groups 1, and article 0 with a price line in unit 1.
    const QString kunde = "insert into Kunde (KundenID,AnredeID,TitelID,LandID,KunGruID,Aktiv) values "
                          "(5,%1,%2,%3,%4,'J')";
    const QString lieferant = "insert into Lieferant (LieferantenID,Firma,LandID,LieGruID,AnspAnredeID,"
                              "AnspTitelID,Aktiv) values (5,'Holz',%1,%2,%3,%4,'J')";

    QTest::newRow("Land bei Kunde und Lieferant: nur Kundenwarnung")
        << QStringList{} << "Land"
        << "LandID" << 1
        << "Das Land kann nicht gelöscht werden, da das Land noch einem Kunden zugeordnet ist!";
    QTest::newRow("Land nur bei Lieferant")
        << QStringList{lieferant.arg(3).arg(1).arg(1).arg(1)} << "Land"
        << "LandID" << 3
        << "Das Land kann nicht gelöscht werden, da das Land noch einem Lieferanten zugeordnet ist!";
    QTest::newRow("Anrede bei Kunde")
        << QStringList{kunde.arg(3).arg(1).arg(1).arg(1)} << "Anrede"
        << "AnredeID" << 3
        << "Die Anrede kann nicht gelöscht werden, da die Anrede noch einem Kunden zugeordnet ist!";
    QTest::newRow("Anrede bei Ansprechpartner")
        << QStringList{lieferant.arg(1).arg(1).arg(4).arg(1)} << "Anrede"
        << "AnredeID" << 4
        << "Die Anrede kann nicht gelöscht werden, da die Anrede noch einem Lieferanten zugeordnet ist!";
    QTest::newRow("Titel bei Kunde")
        << QStringList{kunde.arg(1).arg(3).arg(1).arg(1)} << "Titel"
        << "TitelID" << 3
        << "Der Titel kann nicht gelöscht werden, da der Titel noch einem Kunden zugeordnet ist!";
    QTest::newRow("Einheit bei Artikelpreis")
        << QStringList{} << "Einheit"
        << "EinheitID" << 1
        << "Die Einheit kann nicht gelöscht werden, da die Einheit noch einem Artikel zugeordnet ist!";
    QTest::newRow("Einheit nur bei Belegpreis")
        << QStringList{"insert into PosPreis "
                       "(KopfTyp,KopfID,PosID,PreisID,Menge,EinheitID,Wert,Rabatt,MWStSatz) "
                       "values ('R',1,1,1,2,3,50,0,20)"}
        << "Einheit"
        << "EinheitID" << 3
        << "Die Einheit kann nicht gelöscht werden, da die Einheit noch einem Auftrag zugeordnet ist!";
    QTest::newRow("MWSt 20 immer geschützt") << QStringList{} << "MWSt"
                                             << "MWStID" << 1 << "Der MWSt.Satz kann nicht gelöscht werden!";
    QTest::newRow("MWSt 10 trotz Preiszeile löschbar")
        << QStringList{"insert into PosPreis "
                       "(KopfTyp,KopfID,PosID,PreisID,Menge,EinheitID,Wert,Rabatt,MWStSatz) "
                       "values ('R',1,1,1,2,1,50,0,10)"}
        << "MWSt"
        << "MWStID" << 2 << "";
    QTest::newRow("Druckdatum bei Beleg")
        << QStringList{"insert into Kopf (KopfTyp,KopfID,KundenID,KunGruID,Datum,DruDatID) values "
                       "('A',1,0,1,'2014-03-05 10:00:00',2)"}
        << "DruDat"
        << "DruDatID" << 2
        << "Das Druckdatum kann nicht gelöscht werden, da es noch einem Auftrag zugeordnet ist!";
    QTest::newRow("Kundengruppe bei Kunde") << QStringList{} << "KunGru"
                                            << "KunGruID" << 1
                                            << "Die Kundengruppe kann nicht gelöscht werden, da die "
                                               "Kundengruppe noch einem Kunden zugeordnet ist!";
    QTest::newRow("Kundengruppe nur bei Beleg")
        << QStringList{"insert into KundenGruppe (KunGruBez) values ('Handel')",
                       "insert into Kopf (KopfTyp,KopfID,KundenID,KunGruID,Datum,DruDatID) values "
                       "('B',1,0,2,'2014-03-05 10:00:00',1)"}
        << "KunGru"
        << "KunGruID" << 2
        << "Die Kundengruppe kann nicht gelöscht werden, da die Kundengruppe noch einem Auftrag zugeordnet "
           "ist!";
    QTest::newRow("Artikelgruppe bei Artikel") << QStringList{} << "ArtGru"
                                               << "ArtGruID" << 1
                                               << "Die Artikelgruppe kann nicht gelöscht werden, da die "
                                                  "Artikelgruppe noch einem Artikel zugeordnet ist!";
    QTest::newRow("Lieferantengruppe bei Lieferant") << QStringList{} << "LieGru"
                                                     << "LieGruID" << 1
                                                     << "Die Lieferantengruppe kann nicht gelöscht werden, "
                                                        "da die Lieferantengruppe noch einem Lieferanten "
                                                        "zugeordnet ist!";
    QTest::newRow("Lieferantengruppe unbenutzt")
        << QStringList{"insert into LieferantenGruppe (LieGruBez) values ('Holz')"} << "LieGru"
        << "LieGruID" << 2 << "";
}

void TestReferenz::deleteGuards() {
    QFETCH(QStringList, setup);
    QFETCH(QString, table);
    QFETCH(QString, keyField);
    QFETCH(int, key);
    QFETCH(QString, warning);

    for (const QString& sql : setup)
        dm->SQLiteDB1.ExecSQL(sql);
    TSQLiteTable* t = this->table(table);
    t->Open();
    QVERIFY(t->Locate(keyField, key));
    const int before = t->RecordCount();

    const bool refused = Aborted([&] { t->Delete(); });

    dm->Query1.RunSQL("select count(*) as anz from " + t->TableName() + " where " + keyField + " = " +
                      QString::number(key));
    const int left = dm->Query1.FieldByName("anz")->AsInteger();
    if (warning.isEmpty()) {
        QVERIFY(!refused);
        QVERIFY(messages->boxes.isEmpty());
        QCOMPARE(left, 0);
        QCOMPARE(t->RecordCount(), before - 1);
    } else {
        QVERIFY(refused);
        QCOMPARE(messages->texts(), QStringList{warning}); // the first guard that finds a use, only
        QCOMPARE(left, 1);
        QCOMPARE(t->RecordCount(), before);
        QCOMPARE(t->FieldByName(keyField)->AsInteger(), key);
    }
}

void TestReferenz::usedGroupCanBeRenamed() {
    TSQLiteTable& t = dm->TableLieGru;
    t.Open();
    QVERIFY(t.Locate("LieGruID", 1));
    t.Edit();
    t.FieldByName("LieGruBez")->SetAsString("Großhandel");
    t.Post();
    QVERIFY(messages->boxes.isEmpty());
    dm->Query1.RunSQL("select LieGruBez from LieferantenGruppe where LieGruID = 1");
    QCOMPARE(dm->Query1.FieldByName("LieGruBez")->AsString(), QString("Großhandel"));

    // A row added on the page can be deleted at once, before the table is reopened.
    t.Append();
    t.FieldByName("LieGruBez")->SetAsString("Neu");
    t.Post();
    QVERIFY(!Aborted([&] { t.Delete(); }));
    QVERIFY(messages->boxes.isEmpty());
    dm->Query1.RunSQL("select count(*) as anz from LieferantenGruppe");
    QCOMPARE(dm->Query1.FieldByName("anz")->AsInteger(), 1);
}

// ---------------------------------------------------------------------------

void TestReferenz::vatRateText_data() {
    QTest::addColumn<QString>("typed");
    QTest::addColumn<bool>("saved");
    QTest::addColumn<double>("stored");

    QTest::newRow("Komma") << "19,5" << true << 19.5;
    QTest::newRow("Punkt") << "7.5" << true << 7.5;
    QTest::newRow("ganze Zahl") << "16" << true << 16.0;
    QTest::newRow("Buchstaben") << "abc" << false << 0.0;
    QTest::newRow("Zahl mit Rest") << "19,5x" << false << 0.0;
}

// Whatever path a text takes into the rate, only a number may reach the
// database: "abc" is refused with a German warning, never stored as text or
// turned into a database error.
void TestReferenz::vatRateText() {
    QFETCH(QString, typed);
    QFETCH(bool, saved);
    QFETCH(double, stored);

    TSQLiteTable& t = dm->TableMWSt;
    t.Open();
    t.Append();
    bool refused = false;
    try {
        t.FieldByName("MWStSatz")->SetAsString(typed);
        t.Post();
    } catch (const EAbort&) {
        refused = true;
    } catch (const ESQLiteError& e) {
        // The field itself may already refuse the text; that is as good, as
        // long as it is a message for the user and not a failed statement.
        QVERIFY2(!saved, qPrintable(e.message()));
        QVERIFY2(!e.message().startsWith("SQL-Error"), qPrintable(e.message()));
        refused = true;
    }
    dm->Query1.RunSQL("select MWStSatz, typeof(MWStSatz) as art from MWSt where MWStID > 3");
    if (saved) {
        QVERIFY(!refused);
        QVERIFY(messages->boxes.isEmpty());
        QCOMPARE(dm->Query1.RecordCount(), 1);
        QCOMPARE(dm->Query1.FieldByName("MWStSatz")->AsFloat(), stored);
        QVERIFY(dm->Query1.FieldByName("art")->AsString() != "text");
    } else {
        QVERIFY(refused);
        QCOMPARE(dm->Query1.RecordCount(), 0);
    }
}

void TestReferenz::numberRangeText_data() {
    QTest::addColumn<QString>("typed");
    QTest::addColumn<int>("stored"); // 0: refused, the range keeps 1

    QTest::newRow("Zahl") << "17" << 17;
    QTest::newRow("Null") << "0" << 0;
    QTest::newRow("negativ") << "-3" << 0;
    QTest::newRow("Text") << "abc" << 0;
}

void TestReferenz::numberRangeText() {
    QFETCH(QString, typed);
    QFETCH(int, stored);

    TSQLiteTable& t = dm->TableNumKreis;
    t.Open();
    QVERIFY(!t.Locate("NumTyp", "AusdruckID")); // the print-run counter is not the user's
    QVERIFY(t.Locate("NumTyp", "KopfIDR"));
    t.Edit();
    bool refused = false;
    try {
        t.FieldByName("Nummer")->SetAsString(typed);
        t.Post();
    } catch (const EAbort&) {
        refused = true;
    } catch (const ESQLiteError& e) {
        QVERIFY2(!e.message().startsWith("SQL-Error"), qPrintable(e.message()));
        refused = true;
    }
    dm->Query1.RunSQL("select Nummer, typeof(Nummer) as art from set_nummer where NumTyp = 'KopfIDR'");
    QCOMPARE(dm->Query1.FieldByName("art")->AsString(), QString("integer"));
    QCOMPARE(dm->Query1.FieldByName("Nummer")->AsInteger(), stored ? stored : 1);
    QCOMPARE(refused, stored == 0);
}

QTEST_GUILESS_MAIN(TestReferenz)
#include "tst_referenz.moc"
