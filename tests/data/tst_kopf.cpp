// The document header rules through the data module: the checks before a
// save (after the number is drawn), the status from the form's boxes, closed
// documents that keep their columns, and deleting with positions and price
// lines in one transaction.
#include "Beleg.h"
#include "DatabaseFixture.h"
#include "QuorventFunctions.h"
#include "UDM.h"

#include <QtTest>

class TestKopf : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        PinGermanLocale();
        db.BuildTemplate([](TSQLiteDB& base) {
            base.ExecSQL(
                QStringLiteral("insert into Kunde (KundenID,AnredeID,TitelID,Firma,LandID,KunGruID,Aktiv,"
                               "KonzernID,HaendlerID) values (10,1,1,'Alpen Bau',1,1,'J',0,0)"));
            base.ExecSQL(
                QStringLiteral("insert into Lieferant (LieferantenID,Firma,LandID,LieGruID,AnspAnredeID,"
                               "AnspTitelID,Aktiv) values (7,'Holz GmbH',1,1,1,1,'J')"));
        });
    }
    void init() {
        QVERIFY(db.Open());
        dm = db.dm;
        dm->TableKopf.Open();
    }
    void cleanup() { db.Close(); }

    void saveChecks_data();
    void saveChecks();
    void savedStatus_data();
    void savedStatus();
    void deleteTakesPositionsAlong_data();
    void deleteTakesPositionsAlong();

private:
    void exec(const QString& sql) { dm->SQLiteDB1.ExecSQL(sql); }
    int count(const QString& sql) { return QueryInt(dm->Query2, sql); }
    void addHeader(const QString& typ, const QString& status) {
        exec(QStringLiteral(
                 "insert into Kopf (KopfTyp,KopfID,KundenID,KunGruID,KopfBez,Rabatt,Status,Datum,Anmerkung,"
                 "DruDatID,SubkundenID) values ('%1',1,10,1,'Umbau',0,'%2','2024-03-05 10:00:00','alt',1,0)")
                 .arg(typ, status));
        for (const char* sql :
             {"insert into PosDaten (KopfTyp,KopfID,PosID,ArtikelID,PosKurzBez,PosBez) values "
              "('%1',1,%2,0,'Rest','Rest')",
              "insert into PosPreis (KopfTyp,KopfID,PosID,PreisID,PreisBez,Menge,EinheitID,Wert,MWStSatz) "
              "values ('%1',1,%2,1,'Arbeit',2,1,50,20)"})
            for (int pos : {1, 2})
                exec(QString::fromLatin1(sql).arg(typ).arg(pos));
    }

    TDatabaseFixture db;
    TDM* dm = nullptr;
};

void TestKopf::saveChecks_data() {
    QTest::addColumn<QString>("typ");
    QTest::addColumn<QStringList>("assignments");
    QTest::addColumn<QString>("warning"); // empty: saved

    QTest::newRow("invoice") << "R" << QStringList{"KundenID=10"} << "";
    QTest::newRow("no partner") << "R" << QStringList{} << "Die Kundennummer muss angegeben werden!";
    QTest::newRow("supplier number is no customer")
        << "O" << QStringList{"KundenID=7"} << "Der angegebene Kunde ist nicht vorhanden!";
    QTest::newRow("purchase order to a supplier that is no customer")
        << "B" << QStringList{"KundenID=7"} << "";
    QTest::newRow("purchase order to a customer that is no supplier")
        << "B" << QStringList{"KundenID=10"} << "Der angegebene Lieferant ist nicht vorhanden!";
    QTest::newRow("no group") << "R" << QStringList{"KundenID=10", "KunGruID="}
                              << "Die Kundengruppe muss angegeben werden!";
    QTest::newRow("no kind of second date")
        << "R" << QStringList{"KundenID=10", "DruDatID="} << "Die Art des 2. Datums muss angegeben werden!";
    QTest::newRow("discount above 100")
        << "R" << QStringList{"KundenID=10", "Rabatt=150"} << "Der Rabatt muss zwischen 0 und 100 liegen!";
    QTest::newRow("cash discount above 100")
        << "R" << QStringList{"KundenID=10", "Skonto=150"} << "Das Skonto muss zwischen 0 und 100 liegen!";
    QTest::newRow("negative cash discount")
        << "R" << QStringList{"KundenID=10", "Skonto=-2"} << "Das Skonto muss zwischen 0 und 100 liegen!";
}

void TestKopf::saveChecks() {
    QFETCH(QString, typ);
    QFETCH(QStringList, assignments);
    QFETCH(QString, warning);
    dm->TableKopf.Append();
    dm->SetKopfTyp(typ);
    AssignFields(dm->TableKopf, QStringList{"KunGruID=1"} + assignments);

    QCOMPARE(Aborted([&] { dm->TableKopf.Post(); }), !warning.isEmpty());
    QCOMPARE(db.messages->lastText(), warning);
    // The number is drawn before any check: a refused save has used it up,
    // and the corrected save takes the next one.
    QCOMPARE(GetNumber(dm->Query2, QStringLiteral("KopfID") + typ, false), 2);
    if (!warning.isEmpty()) {
        AssignFields(dm->TableKopf, {"KunGruID=1", "DruDatID=1", "Rabatt=0", "Skonto=0",
                                     typ == QLatin1String("B") ? "KundenID=7" : "KundenID=10"});
        dm->TableKopf.Post();
    }
    QCOMPARE(count(QStringLiteral("select max(KopfID) from Kopf where KopfTyp = '%1'").arg(typ)),
             warning.isEmpty() ? 1 : 2);
}

void TestKopf::savedStatus_data() {
    QTest::addColumn<QString>("typ");
    QTest::addColumn<QString>("status");
    QTest::addColumn<QString>("assignment"); // a change besides the boxes
    QTest::addColumn<QString>("boxes");      // ticked in the form: A closed, Z paid; "-" saved elsewhere
    QTest::addColumn<QString>("saved");      // empty: refused

    QTest::newRow("invoice closed") << "R"
                                    << "E"
                                    << ""
                                    << "A"
                                    << "A";
    QTest::newRow("invoice closed and paid") << "R"
                                             << "D"
                                             << ""
                                             << "AZ"
                                             << "Z";
    QTest::newRow("closed invoice marked paid") << "R"
                                                << "A"
                                                << ""
                                                << "AZ"
                                                << "Z";
    QTest::newRow("payment withdrawn") << "R"
                                       << "Z"
                                       << ""
                                       << "A"
                                       << "A";
    QTest::newRow("cancellation has no payment box") << "S"
                                                     << "E"
                                                     << ""
                                                     << "Z"
                                                     << "E";
    QTest::newRow("offer ignores a left-over tick") << "O"
                                                    << "E"
                                                    << ""
                                                    << "AZ"
                                                    << "E";
    QTest::newRow("saved elsewhere keeps its status") << "R"
                                                      << "D"
                                                      << ""
                                                      << "-"
                                                      << "D";
    QTest::newRow("open invoice changed") << "R"
                                          << "E"
                                          << "KopfBez=Neubau"
                                          << ""
                                          << "E";
    QTest::newRow("closed: designation") << "R"
                                         << "A"
                                         << "KopfBez=Neubau"
                                         << "A"
                                         << "";
    QTest::newRow("paid: remark") << "R"
                                  << "Z"
                                  << "Anmerkung=neu"
                                  << "AZ"
                                  << "";
    QTest::newRow("closed: date") << "G"
                                  << "A"
                                  << "Datum=2024-04-01 10:00:00"
                                  << "A"
                                  << "";
    QTest::newRow("closed: changed elsewhere") << "R"
                                               << "A"
                                               << "Rabatt=10"
                                               << "-"
                                               << "";
    QTest::newRow("closed: reopened elsewhere") << "R"
                                                << "A"
                                                << "Status=E"
                                                << "-"
                                                << "";
    QTest::newRow("number of an open document") << "R"
                                                << "E"
                                                << "KopfID=9"
                                                << ""
                                                << "";
}

void TestKopf::savedStatus() {
    QFETCH(QString, typ);
    QFETCH(QString, status);
    QFETCH(QString, assignment);
    QFETCH(QString, boxes);
    QFETCH(QString, saved);
    addHeader(typ, status);
    dm->TableKopf.Close();
    dm->TableKopf.Open();
    dm->KopfStatusBoxes = [&](bool& a, bool& z) {
        a = boxes.contains(QLatin1Char('A'));
        z = boxes.contains(QLatin1Char('Z'));
        return boxes != QLatin1String("-");
    };
    dm->TableKopf.Edit();
    if (!assignment.isEmpty())
        AssignFields(dm->TableKopf, {assignment});

    QCOMPARE(Aborted([&] { dm->TableKopf.Post(); }), saved.isEmpty());
    if (saved.isEmpty())
        QCOMPARE(db.messages->texts(),
                 QStringList{
                     StatusGeschlossen(status)
                         ? DokTypMitArtikel(typ, true) +
                               " 1 ist bereits abgeschlossen und kann nicht mehr geändert werden!"
                         : QStringLiteral("Art und Nummer eines Dokuments können nicht verändert werden!")});
    const bool changed = !saved.isEmpty() && !assignment.isEmpty();
    QCOMPARE(count(QStringLiteral(
                       "select count(*) from Kopf where KopfID = 1 and Status = '%1' and KopfBez = '%2'")
                       .arg(saved.isEmpty() ? status : saved, changed ? "Neubau" : "Umbau")),
             1);
}

void TestKopf::deleteTakesPositionsAlong_data() {
    QTest::addColumn<QString>("status");
    QTest::addColumn<QString>("failingTable"); // a trigger makes the delete fail there
    QTest::addColumn<bool>("gone");

    QTest::newRow("open document") << "D"
                                   << "" << true;
    QTest::newRow("closed") << "A"
                            << "" << false;
    QTest::newRow("paid") << "Z"
                          << "" << false;
    QTest::newRow("positions cannot be deleted") << "E"
                                                 << "PosDaten" << false;
    QTest::newRow("header cannot be deleted") << "E"
                                              << "Kopf" << false;
}

void TestKopf::deleteTakesPositionsAlong() {
    QFETCH(QString, status);
    QFETCH(QString, failingTable);
    QFETCH(bool, gone);
    addHeader(QStringLiteral("R"), status);
    // An offer with the same number is another document.
    addHeader(QStringLiteral("O"), QStringLiteral("E"));
    if (!failingTable.isEmpty())
        exec(QStringLiteral(
                 "create trigger Fail before delete on %1 begin select raise(abort, 'gesperrt'); end")
                 .arg(failingTable));
    dm->TableKopf.Close();
    dm->TableKopf.Open();
    QVERIFY(dm->TableKopf.Locate(QStringLiteral("KopfTyp;KopfID"), QVariantList{"R", 1}));

    const QString error = ErrorOf([&] { Aborted([&] { dm->TableKopf.Delete(); }); });
    QCOMPARE(error.contains(QLatin1String("gesperrt")), !failingTable.isEmpty());
    if (StatusGeschlossen(status))
        QCOMPARE(db.messages->texts(),
                 QStringList{QStringLiteral("Die Rechnung 1 ist bereits abgeschlossen!")});
    QVERIFY(!dm->SQLiteDB1.InTransaction());
    for (const char* table : {"Kopf", "PosDaten", "PosPreis"}) {
        QCOMPARE(count(QStringLiteral("select count(*) from %1 where KopfTyp = 'R'").arg(table)) > 0, !gone);
        QVERIFY(count(QStringLiteral("select count(*) from %1 where KopfTyp = 'O'").arg(table)) > 0);
    }
}

QTEST_GUILESS_MAIN(TestKopf)
#include "tst_kopf.moc"
