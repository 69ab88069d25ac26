// The document overview through the data module: the list statement from
// the filter slots and the sort entry, the empty-list rule, and the delete
// with its warning and question.
#include "Beleg.h"
#include "DatabaseFixture.h"
#include "UDM.h"

#include <QtTest>

class TestKopfUeb : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        PinGermanLocale();
        db.BuildTemplate([](TSQLiteDB& base) {
            auto exec = [&base](const QString& sql) { base.ExecSQL(sql); };
            // Customer 6 belongs to parent company 5.
            for (const char* row : {"5,'Kessler',0", "6,'Tochter',5", "10,'Alpen Bau',0"})
                exec(QStringLiteral(
                         "insert into Kunde (KundenID,Firma,KonzernID,AnredeID,TitelID,LandID,KunGruID,"
                         "Aktiv,HaendlerID) values (%1,1,1,1,1,'J',0)")
                         .arg(QString::fromUtf8(row)));
            exec(QStringLiteral("insert into Lieferant (LieferantenID,Firma,LandID,LieGruID,AnspAnredeID,"
                                "AnspTitelID,Aktiv) values (5,'Holz GmbH',1,1,1,1,'J')"));
            // typ, number, partner, sub-customer, designation, status, day
            const char* docs[] = {
                "'R',123,5,0,'Küche','E','2024-03-01'",        "'O',123,10,0,'Bad','E','2024-03-02'",
                "'A',12,5,0,'O''Brien','D','2024-03-03'",      "'B',7,5,0,'Holz','E','2024-03-04'",
                "'R',9,6,10,'50% Anzahlung','A','2024-03-05'", "'R',10,10,0,'500 Schrauben','E','2024-03-06'",
                "'A',10,10,0,'a_b','Z','2024-03-07'",          "'O',9,10,6,'KÜCHE','E','2024-03-08'",
            };
            for (const char* d : docs)
                exec(QStringLiteral(
                         "insert into Kopf (KopfTyp,KopfID,KundenID,SubkundenID,KopfBez,Status,Datum,"
                         "KunGruID,DruDatID,Rabatt) values (%1,1,1,0)")
                         .arg(QString::fromUtf8(d)));
            exec(QStringLiteral(
                "insert into PosPreis (KopfTyp,KopfID,PosID,PreisID,Menge,EinheitID,Wert,Rabatt,"
                "MWStSatz) values ('R',10,1,1,2,1,50,10,20)"));
        });
    }
    void init() {
        QVERIFY(db.Open());
        dm = db.dm;
    }
    void cleanup() { db.Close(); }

    void filters_data();
    void filters();
    void amounts();
    void noCustomerDocument();
    void sumsAsThroughTheKey();
    void deleteDocument_data();
    void deleteDocument();

private:
    // The listed documents as "R123 O123 ...".
    QString listed() {
        QStringList out;
        for (dm->QueryKopf.First(); !dm->QueryKopf.Eof(); dm->QueryKopf.Next())
            out << dm->QueryKopf.FieldByName(QStringLiteral("KopfTyp"))->AsString() +
                       dm->QueryKopf.FieldByName(QStringLiteral("KopfID"))->AsString();
        return out.join(u' ');
    }

    TDatabaseFixture db;
    TDM* dm = nullptr;
};

void TestKopfUeb::filters_data() {
    QTest::addColumn<QStringList>("values"); // "slot=value"
    QTest::addColumn<int>("sort");
    QTest::addColumn<QString>("expected");

    QTest::newRow("nothing set, newest first") << QStringList{} << 0 << "O9 A10 R10 R9 B7 A12 O123 R123";
    QTest::newRow("number 12a3 is 123 of every type") << QStringList{"1=12a3"} << 2 << "O123 R123";
    QTest::newRow("customer 5 leaves out the purchase order") << QStringList{"3=5"} << 0 << "A12 R123";
    QTest::newRow("customer 5 and type purchase order") << QStringList{"3=5", "5=8"} << 0 << "";
    QTest::newRow("supplier 5 lists its purchase orders only") << QStringList{"8=5"} << 0 << "B7";
    QTest::newRow("parent company 5") << QStringList{"6=5"} << 0 << "R9";
    QTest::newRow("sub-customer 10") << QStringList{"7=10"} << 0 << "R9";
    QTest::newRow("status closed") << QStringList{"4=3"} << 0 << "R9";
    QTest::newRow("status paid and type order") << QStringList{"4=4", "5=2"} << 0 << "A10";
    QTest::newRow("küche finds Küche, not KÜCHE") << QStringList{"2=küche"} << 0 << "R123";
    QTest::newRow("KÜCHE finds itself only") << QStringList{"2=KÜCHE"} << 0 << "O9";
    QTest::newRow("other letters beyond a to z are no wildcard") << QStringList{"2=KöCHE"} << 0 << "";
    QTest::newRow("apostrophe searches for itself") << QStringList{"2=o'b"} << 0 << "A12";
    QTest::newRow("percent is no wildcard") << QStringList{"2=50%"} << 0 << "R9";
    QTest::newRow("underscore is no wildcard") << QStringList{"2=a_"} << 0 << "A10";
    QTest::newRow("backslash and quotes break nothing") << QStringList{"2=\\' or ''='"} << 0 << "";
    QTest::newRow("number sort: 10 before 9, types in order")
        << QStringList{} << 2 << "O123 R123 A12 A10 R10 O9 R9 B7";
    QTest::newRow("type sort") << QStringList{"1=10"} << 1 << "A10 R10";
    QTest::newRow("unknown sort entry sorts by date") << QStringList{"1=9"} << 42 << "O9 R9";
}

void TestKopfUeb::filters() {
    QFETCH(QStringList, values);
    QFETCH(int, sort);
    QFETCH(QString, expected);
    QStringList conds(TDM::KopfUebSlots);
    for (const QString& v : values) {
        const int slot = v.section(u'=', 0, 0).toInt();
        conds[slot - 1] = TDM::KopfUebCondition(slot, v.section(u'=', 1));
    }
    dm->OpenQueryKopf(conds, sort);
    QCOMPARE(listed(), expected);
}

void TestKopfUeb::amounts() {
    QStringList conds(TDM::KopfUebSlots);
    conds[0] = TDM::KopfUebCondition(1, QStringLiteral("10"));
    dm->OpenQueryKopf(conds, 6);
    QCOMPARE(listed(), QStringLiteral("A10 R10"));
    dm->QueryKopf.Last();
    QCOMPARE(dm->QueryKopf.FieldByName(QStringLiteral("Summe"))->DisplayText(), QStringLiteral("90,00"));
    QCOMPARE(dm->QueryKopf.FieldByName(QStringLiteral("SummeUST"))->DisplayText(), QStringLiteral("18,00"));
    QCOMPARE(dm->QueryKopf.FieldByName(QStringLiteral("SummeInkl"))->DisplayText(), QStringLiteral("108,00"));
}

void TestKopfUeb::noCustomerDocument() {
    dm->SQLiteDB1.ExecSQL(QStringLiteral("update Kopf set KundenID = 99"));
    dm->OpenQueryKopf(QStringList(TDM::KopfUebSlots), 0);
    QCOMPARE(listed(), QString());
}

// The list reads its totals from an index. Floating-point sums depend on the
// order of the lines, so the totals must come out bit for bit as when the
// price lines are read through their key, also on a file where the
// statistics left their own index with the amounts in another order.
void TestKopfUeb::sumsAsThroughTheKey() {
    TSQLiteDB& base = dm->SQLiteDB1;
    base.ExecSQL(QStringLiteral("delete from PosPreis"));
    base.StartTransaction();
    for (int doc = 0; doc < 60; ++doc) {
        const char typ = "ROA"[doc % 3];
        base.ExecSQL(QStringLiteral("insert or ignore into Kopf (KopfTyp,KopfID,KundenID,SubkundenID,KopfBez,"
                                    "Status,Datum,KunGruID,DruDatID,Rabatt,Netto) values ('%1',%2,10,0,'x',"
                                    "'E','2024-04-01',1,1,0,'%3')")
                         .arg(QLatin1Char(typ))
                         .arg(1000 + doc)
                         .arg(doc % 5 ? u'N' : u'J'));
        // Amounts far apart in size and listed out of order, so that adding
        // them in another order changes the last bits.
        for (int line = 0; line < 9; ++line)
            base.ExecSQL(
                QStringLiteral("insert into PosPreis (KopfTyp,KopfID,PosID,PreisID,PreisBez,Menge,"
                               "EinheitID,Wert,Rabatt,MWStSatz) values ('%1',%2,%3,%4,'p',%5,1,%6,%7,%8)")
                    .arg(QLatin1Char(typ))
                    .arg(1000 + doc)
                    .arg(1 + line / 4)
                    .arg(9 - line)
                    .arg(0.3 + line % 3)
                    .arg((line * 7 + doc) % 5 == 0 ? 1234567.89 : 0.07 * (1 + (line + doc) % 11), 0, 'f', 2)
                    .arg(line % 4 ? QStringLiteral("3.3") : QStringLiteral("null"))
                    .arg(line % 2 ? 19 : 7));
    }
    base.Commit();
    auto totals = [&](TSQLiteQuery& q) {
        QMap<QString, QList<double>> out;
        for (q.First(); !q.Eof(); q.Next())
            out[q.FieldByName(QStringLiteral("KopfTyp"))->AsString() +
                q.FieldByName(QStringLiteral("KopfID"))->AsString()] = {
                q.FieldByName(QStringLiteral("Summe"))->AsFloat(),
                q.FieldByName(QStringLiteral("SummeUST"))->AsFloat(),
                q.FieldByName(QStringLiteral("SummeInkl"))->AsFloat()};
        return out;
    };
    TSQLiteQuery byKey(&base);
    byKey.RunSQL(KopfSummenSQL());
    const auto expected = totals(byKey);
    base.ExecSQL(QStringLiteral("create index if not exists PosPreisUmsatz on PosPreis (KopfTyp, KopfID, "
                                "PosID, Wert, Menge, Rabatt)"));
    for (int sort : {0, 6}) {
        dm->OpenQueryKopf(QStringList(TDM::KopfUebSlots), sort);
        QCOMPARE(totals(dm->QueryKopf), expected);
    }
}

void TestKopfUeb::deleteDocument_data() {
    QTest::addColumn<QString>("typ");
    QTest::addColumn<int>("id");
    QTest::addColumn<bool>("answerYes");
    QTest::addColumn<QString>("box");
    QTest::addColumn<bool>("deleted");

    QTest::newRow("closed invoice") << "R" << 9 << true
                                    << "Die Rechnung 9 - 50% Anzahlung ist bereits abgeschlossen!" << false;
    QTest::newRow("paid order") << "A" << 10 << true << "Der Auftrag 10 - a_b ist bereits abgeschlossen!"
                                << false;
    QTest::newRow("open invoice, yes")
        << "R" << 10 << true << "Soll die Rechnung 10 - 500 Schrauben wirklich gelöscht werden?" << true;
    QTest::newRow("open invoice, no")
        << "R" << 10 << false << "Soll die Rechnung 10 - 500 Schrauben wirklich gelöscht werden?" << false;
    QTest::newRow("no designation, no")
        << "B" << 7 << false << "Soll die Bestellung 7 wirklich gelöscht werden?" << false;
    QTest::newRow("no such document") << "R" << 77 << true << "" << false;
}

void TestKopfUeb::deleteDocument() {
    QFETCH(QString, typ);
    QFETCH(int, id);
    QFETCH(bool, answerYes);
    QFETCH(QString, box);
    QFETCH(bool, deleted);
    // Closed documents with a designation in the text; a document without one reads without " - ".
    dm->SQLiteDB1.ExecSQL(QStringLiteral("update Kopf set KopfBez = NULL where KopfTyp = 'B'"));
    db.messages->answers.enqueue(answerYes ? Messages::Yes : Messages::No);
    // The table stands on another document: only the one asked for may go.
    dm->TableKopf.Open();
    dm->TableKopf.Locate(QStringLiteral("KopfTyp;KopfID"), QVariantList{QStringLiteral("B"), 7});
    const int before = QueryInt(dm->Query2, QStringLiteral("select count(*) from Kopf"));

    QCOMPARE(dm->DeleteKopfAsked(typ, id), deleted);
    QCOMPARE(db.messages->lastText(), box);
    const QString where = QStringLiteral(" where KopfTyp = '%1' and KopfID = %2").arg(typ).arg(id);
    QCOMPARE(QueryInt(dm->Query2, QStringLiteral("select count(*) from Kopf")), before - (deleted ? 1 : 0));
    QCOMPARE(QueryInt(dm->Query2, QStringLiteral("select count(*) from Kopf") + where),
             0 + (!deleted && id != 77));
    if (deleted)
        QCOMPARE(QueryInt(dm->Query2, QStringLiteral("select count(*) from PosPreis") + where), 0);
    QCOMPARE(
        QueryInt(dm->Query2, QStringLiteral("select count(*) from Kopf where KopfTyp = 'B' and KopfID = 7")),
        1);
}

QTEST_GUILESS_MAIN(TestKopfUeb)
#include "tst_kopfueb.moc"
