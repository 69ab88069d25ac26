// Copying a document through the data module: the number drawn for good,
// the occupied-number warning, the header marked as a copy, standard texts
// or the source's texts, the ticked positions with their price lines, and a
// copy that fails in the middle leaving nothing behind but the used number.
#include "DatabaseFixture.h"
#include "UDM.h"

#include <QtTest>

class TestKopieren : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        PinGermanLocale();
        db.BuildTemplate([](TSQLiteDB& base) {
            auto exec = [&base](const QString& sql) { base.ExecSQL(sql); };
            exec(
                QStringLiteral("insert into Kunde (KundenID,Firma,KonzernID,AnredeID,TitelID,LandID,KunGruID,"
                               "Aktiv,HaendlerID) values (10,'Alpen Bau',0,1,1,1,1,'J',0)"));
            exec(QStringLiteral("update Geschaeft set KopfTextR = 'Wir erlauben uns, Ihnen ''Folgendes'' zu "
                                "berechnen', KopfVorPosR = 'J', FussTextR = '   ', FussNachPosR = 'N', "
                                "KopfTextG = NULL, FussTextG = 'Gutschrift' where GesID = 1"));
            exec(QStringLiteral(
                "insert into Kopf "
                "(KopfTyp,KopfID,KundenID,KunGruID,KopfBez,Rabatt,Skonto,Status,Datum,Datum2,"
                "Anmerkung,DruDatID,SubkundenID,Netto,KopfText,FussText,KopfTextVorPos,FussTextNachPos) "
                "values "
                "('R',1,10,1,'Küche',5,2,'A','2020-01-02 03:04:05','2020-01-02 03:04:05','alt',2,10,'J',"
                "'eigener Kopf','eigener Fuss','N','J')"));
            for (int pos : {2, 5, 9}) {
                exec(QStringLiteral("insert into PosDaten (KopfTyp,KopfID,PosID,ArtikelID,PosKurzBez,PosBez,"
                                    "Zwischensumme) values ('R',1,%1,0,'Pos %1','Text %1','N')")
                         .arg(pos));
                for (int line : {1, 2})
                    exec(QStringLiteral(
                             "insert into PosPreis (KopfTyp,KopfID,PosID,PreisID,PreisBez,Menge,"
                             "EinheitID,Wert,Rabatt,MWStSatz) values ('R',1,%1,%2,'Zeile %1.%2',%2,1,"
                             "%1,0,20)")
                             .arg(pos)
                             .arg(line));
            }
            exec(QStringLiteral("update set_nummer set Nummer = 4 where NumTyp = 'KopfIDR'"));
            exec(QStringLiteral("update set_nummer set Nummer = 3 where NumTyp = 'KopfIDG'"));
        });
    }
    void init() {
        QVERIFY(db.Open());
        dm = db.dm;
    }
    void cleanup() { db.Close(); }

    void positions_data();
    void positions();
    void header_data();
    void header();
    void occupiedNumber();
    void failureLeavesNoTrace();

private:
    QString rows(const QString& sql) {
        QStringList out;
        TSQLiteQuery& q = dm->Query2;
        q.RunSQL(sql);
        for (q.First(); !q.Eof(); q.Next()) {
            QStringList values;
            for (int i = 0; i < q.FieldCount(); ++i)
                values << (q.Fields(i)->IsNull() ? QStringLiteral("<NULL>") : q.Fields(i)->AsString());
            out << values.join(u'|');
        }
        return out.join(u' ');
    }
    TDM::TKopierAuftrag auftrag(const QString& ziel, const QList<qint64>& pos, bool fortlaufend,
                                bool texte = false) {
        TDM::TKopierAuftrag a;
        a.QuellTyp = QStringLiteral("R");
        a.QuellID = 1;
        a.ZielTyp = ziel;
        a.Positionen = pos;
        a.Fortlaufend = fortlaufend;
        a.KopfFussText = texte;
        return a;
    }
    int range(const char* typ) {
        return QueryInt(
            dm->Query2,
            QStringLiteral("select Nummer from set_nummer where NumTyp = '%1'").arg(QLatin1String(typ)));
    }

    TDatabaseFixture db;
    TDM* dm = nullptr;
};

void TestKopieren::positions_data() {
    QTest::addColumn<QList<qint64>>("ticked");
    QTest::addColumn<bool>("fortlaufend");
    QTest::addColumn<QString>("posDaten");
    QTest::addColumn<QString>("posPreis");

    QTest::newRow("5 and 9 renumbered") << QList<qint64>{5, 9} << true << "1|Pos 5|Text 5 2|Pos 9|Text 9"
                                        << "1|1|Zeile 5.1|5 1|2|Zeile 5.2|5 2|1|Zeile 9.1|9 2|2|Zeile 9.2|9";
    QTest::newRow("5 and 9 kept") << QList<qint64>{5, 9} << false << "5|Pos 5|Text 5 9|Pos 9|Text 9"
                                  << "5|1|Zeile 5.1|5 5|2|Zeile 5.2|5 9|1|Zeile 9.1|9 9|2|Zeile 9.2|9";
    QTest::newRow("list order decides the numbers")
        << QList<qint64>{9, 2} << true << "1|Pos 9|Text 9 2|Pos 2|Text 2"
        << "1|1|Zeile 9.1|9 1|2|Zeile 9.2|9 2|1|Zeile 2.1|2 2|2|Zeile 2.2|2";
    QTest::newRow("no ticks: header only") << QList<qint64>{} << true << ""
                                           << "";
}

void TestKopieren::positions() {
    QFETCH(QList<qint64>, ticked);
    QFETCH(bool, fortlaufend);
    QFETCH(QString, posDaten);
    QFETCH(QString, posPreis);
    const int m = dm->KopiereDokument(auftrag(QStringLiteral("A"), ticked, fortlaufend));
    QCOMPARE(m, 1);
    QCOMPARE(rows(QStringLiteral("select PosID, PosKurzBez, PosBez from PosDaten where KopfTyp = 'A' and "
                                 "KopfID = 1 order by PosID")),
             posDaten);
    QCOMPARE(
        rows(QStringLiteral(
            "select PosID, PreisID, PreisBez, cast(Wert as integer) from PosPreis where KopfTyp = 'A' and "
            "KopfID = 1 order by PosID, PreisID")),
        posPreis);
    QCOMPARE(rows(QStringLiteral("select count(*) from Kopf where KopfTyp = 'A'")), QStringLiteral("1"));
    // The source stays as it was.
    QCOMPARE(rows(QStringLiteral("select count(*) from PosPreis where KopfTyp = 'R' and KopfID = 1")),
             QStringLiteral("6"));
}

void TestKopieren::header_data() {
    QTest::addColumn<QString>("ziel");
    QTest::addColumn<bool>("texte");
    QTest::addColumn<int>("number");
    QTest::addColumn<QString>("texts"); // KopfText|KopfTextVorPos|FussText|FussTextNachPos
    QTest::addColumn<QString>("partner");

    QTest::newRow("invoice to invoice, standard texts")
        << "R" << false << 4 << "Wir erlauben uns, Ihnen 'Folgendes' zu berechnen|J|<NULL>|N"
        << "10";
    QTest::newRow("credit note, empty standard header text") << "G" << false << 3 << "<NULL>|N|Gutschrift|N"
                                                             << "10";
    QTest::newRow("own texts kept") << "R" << true << 4 << "eigener Kopf|N|eigener Fuss|J"
                                    << "10";
    // Customer 10 would be some supplier's number: a number of no partner.
    QTest::newRow("purchase order takes no partner") << "B" << true << 1 << "eigener Kopf|N|eigener Fuss|J"
                                                     << "-1";
}

void TestKopieren::header() {
    QFETCH(QString, ziel);
    QFETCH(bool, texte);
    QFETCH(int, number);
    QFETCH(QString, texts);
    QFETCH(QString, partner);
    const QDateTime before = QDateTime::currentDateTime().addSecs(-1);
    QCOMPARE(dm->KopiereDokument(auftrag(ziel, {}, true, texte)), number);
    const QString where =
        QStringLiteral(" from Kopf where KopfTyp = '%1' and KopfID = %2").arg(ziel).arg(number);
    QCOMPARE(rows(QStringLiteral("select KundenID, KunGruID, KopfBez, cast(Rabatt as integer), cast(Skonto "
                                 "as integer), Anmerkung, DruDatID, "
                                 "SubkundenID, Netto, Status, RefTyp, RefID") +
                  where),
             partner + QStringLiteral("|1|Küche|5|2|alt|2|10|J|E|R|1"));
    QCOMPARE(dm->KopfOhnePartner(ziel, number), partner != QLatin1String("10"));
    if (partner != QLatin1String("10")) {
        // Nothing goes out to a firm nobody chose.
        QCOMPARE(dm->PreparePrintData(ziel, number, false), 0);
        QCOMPARE(
            db.messages->texts(),
            QStringList{"Keine Daten zum Drucken gefunden! Evt. ist die Lieferantennummer nicht vorhanden!"});
        db.messages->clear();
    }
    QCOMPARE(rows(QStringLiteral("select KopfText, KopfTextVorPos, FussText, FussTextNachPos") + where),
             texts);
    dm->Query2.RunSQL(QStringLiteral("select Datum, Datum2") + where);
    for (const char* column : {"Datum", "Datum2"}) {
        const QDateTime stamp = dm->Query2.FieldByName(QLatin1String(column))->AsDateTime();
        QVERIFY2(stamp >= before && stamp <= QDateTime::currentDateTime(), column);
    }
    // The source is untouched, closed status included.
    QCOMPARE(rows(QStringLiteral("select Status, Datum = '2020-01-02 03:04:05', KopfText from Kopf where "
                                 "KopfTyp = 'R' and KopfID = 1")),
             QStringLiteral("A|1|eigener Kopf"));
}

void TestKopieren::occupiedNumber() {
    dm->SQLiteDB1.ExecSQL(
        QStringLiteral("insert into Kopf (KopfTyp,KopfID,KundenID,KunGruID,Status,DruDatID,Datum) "
                       "values ('G',3,10,1,'E',1,'2024-01-01')"));
    QCOMPARE(dm->KopiereDokument(auftrag(QStringLiteral("G"), {2}, true)), 0);
    QCOMPARE(
        db.messages->lastText(),
        QStringLiteral("Die vorgesehende Nummer ist bereits vorhanden! Bitte versuchen Sie es erneut oder "
                       "passen Sie den entsprechenden Nummernkreis an!"));
    QCOMPARE(range("KopfIDG"), 4);
    QCOMPARE(rows(QStringLiteral("select count(*) from PosDaten where KopfTyp = 'G'")), QStringLiteral("0"));
    // The second try takes the next number.
    QCOMPARE(dm->KopiereDokument(auftrag(QStringLiteral("G"), {2}, true)), 4);
    QCOMPARE(range("KopfIDG"), 5);
    QCOMPARE(rows(QStringLiteral("select KopfID, PosID from PosDaten where KopfTyp = 'G'")),
             QStringLiteral("4|1"));
}

void TestKopieren::failureLeavesNoTrace() {
    // The second price line of the copy fails: header, positions and the
    // first price line must go with it.
    dm->SQLiteDB1.ExecSQL(
        QStringLiteral("create trigger Fail before insert on PosPreis when new.KopfTyp = 'S' "
                       "and new.PosID = 2 begin select raise(abort, 'Platte voll'); end"));
    QVERIFY(ErrorOf([&] {
                dm->KopiereDokument(auftrag(QStringLiteral("S"), {2, 5}, true));
            }).contains(QStringLiteral("Platte voll")));
    for (const char* table : {"Kopf", "PosDaten", "PosPreis"})
        QCOMPARE(
            rows(QStringLiteral("select count(*) from %1 where KopfTyp = 'S'").arg(QLatin1String(table))),
            QStringLiteral("0"));
    QCOMPARE(range("KopfIDS"), 2);
    QVERIFY(!dm->SQLiteDB1.InTransaction());
    // The connection goes on working: the next copy succeeds.
    dm->SQLiteDB1.ExecSQL(QStringLiteral("drop trigger Fail"));
    QCOMPARE(dm->KopiereDokument(auftrag(QStringLiteral("S"), {2, 5}, true)), 2);
}

QTEST_GUILESS_MAIN(TestKopieren)
#include "tst_kopieren.moc"
