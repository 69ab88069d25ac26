// The rules of positions and price lines through the data module: numbering,
// the checks before a save, the short designation, the take-over of an
// article with the header discount, price lines that follow their position
// (also a new one renumbered before its first save, and a cancelled change of
// article), reordering all or nothing, deleting, and lines without discount.
#include "Beleg.h"
#include "DatabaseFixture.h"
#include "QuorventFunctions.h"
#include "Rtf.h"
#include "UDM.h"

#include <QtTest>

namespace {

// A description as the Windows rich-edit control stores it.
QString WindowsRtf(const QString& body) {
    return QStringLiteral("{\\rtf1\\ansi\\ansicpg1252\\deff0\\deflang1031{\\fonttbl{\\f0\\fnil\\fcharset0 "
                          "Arial;}}\r\n\\viewkind4\\uc1\\pard\\f0") +
           body + QStringLiteral("\r\n}\r\n");
}

} // namespace

class TestPos : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup() { db.Close(); }

    void reorder();
    void reorderIsAllOrNothing();
    void newPositionNumber_data();
    void newPositionNumber();
    void saveChecks_data();
    void saveChecks();
    void shortDesignation_data();
    void shortDesignation();
    void renumberTakesPriceLines_data();
    void renumberTakesPriceLines();
    void takeOverWithHeaderDiscount();
    void newPositionRenumberedBeforeSave_data();
    void newPositionRenumberedBeforeSave();
    void cancelledArticleChangeKeepsOldLines();
    void deletePosition();
    void priceLines();
    void lineWithoutDiscount();
    void refusedWrites_data();
    void refusedWrites();

private:
    void exec(const QString& sql) { dm->SQLiteDB1.ExecSQL(sql); }
    int count(const QString& sql) { return QueryInt(dm->Query2, sql); }
    void addPos(const QString& typ, int kopf, qint64 pos, const QString& kurz) {
        exec(QStringLiteral("insert into PosDaten (KopfTyp,KopfID,PosID,ArtikelID,PosKurzBez,PosBez,"
                            "Zwischensumme) values ('%1',%2,%3,0,'%4','%4','N')")
                 .arg(typ)
                 .arg(kopf)
                 .arg(pos)
                 .arg(kurz));
    }
    void addLine(const QString& typ, int kopf, qint64 pos, int preis, const QString& bez, double menge = 1,
                 double wert = 10, const QString& rabatt = QStringLiteral("0")) {
        exec(QStringLiteral("insert into PosPreis values ('%1',%2,%3,%4,'%5',null,%6,2,%7,%8,20)")
                 .arg(typ)
                 .arg(kopf)
                 .arg(pos)
                 .arg(preis)
                 .arg(bez)
                 .arg(menge)
                 .arg(wert)
                 .arg(rabatt));
    }
    // Position "p<n>" of R <kopf> with its price line 1 "p<n>".
    void addPosWithLine(int kopf, qint64 n) {
        addPos(QStringLiteral("R"), kopf, n, QStringLiteral("p%1").arg(n));
        addLine(QStringLiteral("R"), kopf, n, 1, QStringLiteral("p%1").arg(n));
    }
    // Every row of the statement, its columns joined by ':'.
    QStringList rows(const QString& sql) {
        QStringList result;
        dm->Query2.RunSQL(sql);
        for (dm->Query2.First(); !dm->Query2.Eof(); dm->Query2.Next()) {
            QStringList columns;
            for (int i = 0; i < dm->Query2.FieldCount(); ++i)
                columns << dm->Query2.Fields(i)->AsString();
            result << columns.join(QLatin1Char(':'));
        }
        return result;
    }
    QStringList positions() {
        return rows(
            "select PosID, PosKurzBez from PosDaten where KopfTyp = 'R' and KopfID = 1 order by PosID");
    }
    QStringList lines() {
        return rows(
            "select PosID, PreisID, PreisBez, Rabatt from PosPreis where KopfTyp = 'R' and KopfID = 1 "
            "order by PosID, PreisID");
    }
    void openForm() { dm->OpenPosForm(QStringLiteral("R"), 1); }
    bool moveTo(qint64 pos) { return dm->TablePos.Locate(QStringLiteral("PosID"), pos); }

    TDatabaseFixture db;
    TDM* dm = nullptr;
};

void TestPos::initTestCase() {
    PinGermanLocale();
    TDM::FormattedTextPlain = &Rtf::PlainText;
    db.BuildTemplate([](TSQLiteDB& base) {
        base.ExecSQL(
            QStringLiteral("insert into Kunde (KundenID,AnredeID,TitelID,Firma,LandID,KunGruID,Aktiv,"
                           "KonzernID,HaendlerID) values (10,1,1,'Alpen Bau',1,1,'J',0,0)"));
        for (const char* kopf : {"'R',1,'E',5", "'R',2,'A',0", "'O',1,'E',null"})
            base.ExecSQL(
                QStringLiteral("insert into Kopf (KopfTyp,KopfID,Status,Rabatt,KundenID,KunGruID,Datum,"
                               "DruDatID,SubkundenID,KopfBez) values (%1,10,1,'2024-03-05 10:00:00',"
                               "1,0,'Badsanierung')")
                    .arg(QLatin1String(kopf)));
        base.ExecSQL(QStringLiteral(
            "insert into Artikel values (7,1,'Fliesen','Fliesen verlegen','J',0,'N','J','J')"));
        for (const char* line : {"(7,1,'Material',null,12,2,25,20)", "(7,2,'Arbeit','Std.',3,6,48,20)",
                                 "(7,4,'Anfahrt',null,1,2,30,10)"})
            base.ExecSQL(QStringLiteral("insert into ArtPreis values ") + QLatin1String(line));
        base.ExecSQL(
            QStringLiteral("insert into Artikel values (8,1,'Silikon','Silikonfuge','J',0,'N','J','N')"));
        base.ExecSQL(QStringLiteral("insert into ArtPreis values (8,1,'Fuge',null,5,5,4,20)"));
    });
}

void TestPos::init() {
    QVERIFY(db.Open());
    dm = db.dm;
}

// ---------------------------------------------------------------------------

// The list's drag and drop covers the ways a position can move; here the
// numbers whose interim form no longer fits into 32 bits.
void TestPos::reorder() {
    for (qint64 n : {1, 2, 300000000})
        addPosWithLine(1, n);
    addPos(QStringLiteral("O"), 1, 1, QStringLiteral("anderes Dokument"));
    QCOMPARE(dm->ReorderPositions(QStringLiteral("R"), 1, 300000000, 1, -1), qint64(1));
    QCOMPARE(positions(), (QStringList{"1:p300000000", "2:p1", "3:p2"}));
    QCOMPARE(lines(), (QStringList{"1:1:p300000000:0", "2:1:p1:0", "3:1:p2:0"}));
    QCOMPARE(count("select count(*) from PosDaten where KopfTyp = 'O' and PosID = 1"), 1);
    QVERIFY(!dm->SQLiteDB1.InTransaction());
}

// A statement failing half-way leaves every number and price line as it was.
void TestPos::reorderIsAllOrNothing() {
    // Moving 1 into the interim range meets the position typed as 1000010.
    for (qint64 n : {1, 2, 1000010})
        addPosWithLine(1, n);
    const QStringList before = positions();
    const QStringList linesBefore = lines();
    QVERIFY(ErrorOf([&] { dm->ReorderPositions(QStringLiteral("R"), 1, 2, 1, -1); }).contains("SQL-Error"));
    QCOMPARE(positions(), before);
    QCOMPARE(lines(), linesBefore);
    QVERIFY(!dm->SQLiteDB1.InTransaction());
    // The connection goes on working.
    addPos(QStringLiteral("R"), 1, 5, QStringLiteral("p5"));
    QCOMPARE(positions().size(), 4);
}

void TestPos::newPositionNumber_data() {
    QTest::addColumn<QList<qint64>>("existing");
    QTest::addColumn<qint64>("expected");
    QTest::newRow("after 1 and 5") << QList<qint64>{1, 5} << qint64(6);
    QTest::newRow("empty document") << QList<qint64>{} << qint64(1);
}

// A new position gets the next number and starts as a copy of article 0,
// whose price line carries the header discount.
void TestPos::newPositionNumber() {
    QFETCH(QList<qint64>, existing);
    QFETCH(qint64, expected);
    for (qint64 n : existing)
        addPos(QStringLiteral("R"), 1, n, QStringLiteral("p%1").arg(n));
    openForm();
    dm->TablePos.Append();
    QCOMPARE(dm->TablePos.FieldByName("PosID")->AsLargeInt(), expected);
    QCOMPARE(dm->TablePos.FieldByName("ArtikelID")->AsInteger(), 0);
    QCOMPARE(dm->TablePos.FieldByName("PosKurzBez")->AsString(), QStringLiteral("Rest"));
    QCOMPARE(dm->QueryPosPreis.RecordCount(), 1);
    QCOMPARE(dm->PosGesamtpreis, QStringLiteral("Gesamtpreis: 9,50"));
    dm->TablePos.Post();
    QCOMPARE(
        count(QStringLiteral("select count(*) from PosPreis where KopfTyp = 'R' and KopfID = 1 and PosID "
                             "= %1 and Rabatt = 5")
                  .arg(expected)),
        1);
}

void TestPos::saveChecks_data() {
    QTest::addColumn<QStringList>("assignments");
    QTest::addColumn<QString>("warning");
    QTest::newRow("no number") << QStringList{"PosID="} << "Die Positionsnummer muss angegeben werden!";
    QTest::newRow("number 0") << QStringList{"PosID=0"}
                              << "Die Positionsnummer muss ein Wert größer oder gleich 1 sein!";
    QTest::newRow("no article") << QStringList{"ArtikelID="} << "Es muss ein Artikel angegeben werden!";
    QTest::newRow("unknown article") << QStringList{"ArtikelID=99"}
                                     << "Die angegebene Artikel ist nicht vorhanden!";
    QTest::newRow("no description") << QStringList{"PosBez= "}
                                    << "Es muss eine Positionsbezeichnung angegeben werden!";
    QTest::newRow("formatting only") << QStringList{"PosBez=" + WindowsRtf("\\fs20 \r\n\\par }")}
                                     << "Es muss eine Positionsbezeichnung angegeben werden!";
    QTest::newRow("used number") << QStringList{"PosID=1"}
                                 << "Die angegebene Position ist bereits vorhanden!";
}

void TestPos::saveChecks() {
    QFETCH(QStringList, assignments);
    QFETCH(QString, warning);
    addPos(QStringLiteral("R"), 1, 1, QStringLiteral("p1"));
    openForm();
    dm->TablePos.Append();
    AssignFields(dm->TablePos, assignments);
    QVERIFY(Aborted([&] { dm->TablePos.Post(); }));
    QCOMPARE(db.messages->texts(), QStringList{warning});
    QCOMPARE(dm->TablePos.State(), TDataSetState::Insert);
    QCOMPARE(count("select count(*) from PosDaten"), 1);
}

void TestPos::shortDesignation_data() {
    QTest::addColumn<QString>("kurz");
    QTest::addColumn<QString>("bez");
    QTest::addColumn<QString>("expected");
    QTest::newRow("four words, umlaut")
        << "" << WindowsRtf("\\fs20 K\\'fcche und Bad neu\\par\r\nZeile 2\\par") << "Küche und Bad";
    QTest::newRow("two words whole") << " " << WindowsRtf("\\fs20 Zwei Worte\\par") << "Zwei Worte";
    QTest::newRow("empty first paragraph")
        << "" << WindowsRtf("\\fs20\\par\r\nFliesen im Bad legen\\par") << "Fliesen im Bad";
    QTest::newRow("plain text") << ""
                                << "Silikonfuge erneuern\r\nim Bad"
                                << "Silikonfuge erneuern";
    QTest::newRow("given stays") << "Eigene" << WindowsRtf("\\fs20 Lange Bezeichnung hier\\par") << "Eigene";
}

// Without a short designation the first words of the description, as the
// user reads them, become it.
void TestPos::shortDesignation() {
    QFETCH(QString, kurz);
    QFETCH(QString, bez);
    QFETCH(QString, expected);
    openForm();
    dm->TablePos.Append();
    dm->TablePos.FieldByName("PosKurzBez")->SetAsString(kurz);
    dm->TablePos.FieldByName("PosBez")->SetAsString(bez);
    dm->TablePos.Post();
    QCOMPARE(db.messages->texts(), QStringList());
    dm->Query2.RunSQL(QStringLiteral("select PosKurzBez from PosDaten"));
    QCOMPARE(dm->Query2.Fields(0)->AsString(), expected);
}

void TestPos::renumberTakesPriceLines_data() {
    QTest::addColumn<qint64>("to");
    QTest::addColumn<QString>("warning");
    QTest::newRow("free number") << qint64(9) << "";
    QTest::newRow("used number") << qint64(1) << "Die angegebene Position ist bereits vorhanden!";
}

void TestPos::renumberTakesPriceLines() {
    QFETCH(qint64, to);
    QFETCH(QString, warning);
    for (int n : {1, 2}) {
        addPosWithLine(1, n);
        addLine(QStringLiteral("R"), 1, n, 2, QStringLiteral("p%1b").arg(n));
    }
    openForm();
    QVERIFY(moveTo(2));
    dm->TablePos.Edit();
    dm->TablePos.FieldByName("PosID")->SetAsLargeInt(to);
    if (warning.isEmpty()) {
        dm->TablePos.Post();
        QCOMPARE(lines(), (QStringList{"1:1:p1:0", "1:2:p1b:0", "9:1:p2:0", "9:2:p2b:0"}));
        QCOMPARE(dm->QueryPosPreis.RecordCount(), 2);
    } else {
        QVERIFY(Aborted([&] { dm->TablePos.Post(); }));
        QCOMPARE(db.messages->texts(), QStringList{warning});
        QCOMPARE(lines(), (QStringList{"1:1:p1:0", "1:2:p1b:0", "2:1:p2:0", "2:2:p2b:0"}));
        // Until it is saved, the position shows the lines it is stored with.
        QCOMPARE(dm->QueryPosPreis.FieldByName("PreisBez")->AsString(), QStringLiteral("p2"));
    }
    QVERIFY(!dm->SQLiteDB1.InTransaction());
}

// The article's lines come with their numbers and the header discount;
// another article replaces them.
void TestPos::takeOverWithHeaderDiscount() {
    addPos(QStringLiteral("R"), 1, 1, QStringLiteral("p1"));
    addLine(QStringLiteral("R"), 1, 1, 1, QStringLiteral("alt"));
    openForm();
    QVERIFY(moveTo(1));
    dm->TakePosArticle(7);
    QCOMPARE(dm->TablePos.State(), TDataSetState::Edit);
    QCOMPARE(dm->TablePos.FieldByName("PosKurzBez")->AsString(), QStringLiteral("Fliesen"));
    QCOMPARE(dm->TablePos.FieldByName("PosBez")->AsString(), QStringLiteral("Fliesen verlegen"));
    QCOMPARE(dm->TablePos.FieldByName("Zwischensumme")->AsString(), QStringLiteral("J"));
    QCOMPARE(lines(), (QStringList{"1:1:Material:5", "1:2:Arbeit:5", "1:4:Anfahrt:5"}));
    QCOMPARE(dm->QueryPosPreis.RecordCount(), 3);
    dm->TakePosArticle(8);
    QCOMPARE(lines(), QStringList{"1:1:Fuge:5"});
    dm->TablePos.Post();
    QCOMPARE(count("select ArtikelID from PosDaten where PosID = 1"), 8);
    QCOMPARE(lines(), QStringList{"1:1:Fuge:5"});

    // A document without a header discount takes the lines with 0.
    addPos(QStringLiteral("O"), 1, 1, QStringLiteral("o1"));
    dm->ClosePosForm();
    dm->OpenPosForm(QStringLiteral("O"), 1);
    dm->TakePosArticle(8);
    QCOMPARE(count("select count(*) from PosPreis where KopfTyp = 'O' and Rabatt = 0"), 1);
}

void TestPos::newPositionRenumberedBeforeSave_data() {
    QTest::addColumn<QString>("ending"); // post or cancel
    QTest::addColumn<bool>("pickAgain");
    QTest::newRow("saved") << "post" << false;
    QTest::newRow("another article, then saved") << "post" << true;
    QTest::newRow("given up on a used number") << "cancel" << false;
}

// The lines a new position took over follow it to the number it is saved
// under; given up, it takes only its own lines along.
void TestPos::newPositionRenumberedBeforeSave() {
    QFETCH(QString, ending);
    QFETCH(bool, pickAgain);
    addPos(QStringLiteral("R"), 1, 1, QStringLiteral("p1"));
    addLine(QStringLiteral("R"), 1, 1, 1, QStringLiteral("p1"), 2, 50);
    openForm();
    dm->TablePos.Append(); // number 2, the line of article 0 under 2
    QCOMPARE(lines(), (QStringList{"1:1:p1:0", "2:1::5"}));
    if (ending == QLatin1String("post")) {
        dm->TablePos.FieldByName("PosID")->SetAsInteger(7);
        if (pickAgain)
            dm->TakePosArticle(8);
        dm->TablePos.Post();
        const QString taken = pickAgain ? QStringLiteral("7:1:Fuge:5") : QStringLiteral("7:1::5");
        QCOMPARE(lines(), (QStringList{"1:1:p1:0", taken}));
        QCOMPARE(dm->QueryPosPreis.RecordCount(), 1);
        // Every line belongs to a position, so the total is what the list shows.
        dm->OpenQueryPos(QStringLiteral("R"), 1, false);
        double listed = 0;
        for (dm->QueryPos.First(); !dm->QueryPos.Eof(); dm->QueryPos.Next())
            listed += dm->QueryPos.FieldByName("Summe")->AsFloat();
        QCOMPARE(KopfNetto(dm->Query2, QStringLiteral("R"), 1), listed);
    } else {
        dm->TablePos.FieldByName("PosID")->SetAsInteger(1);
        dm->TablePos.Cancel();
        QCOMPARE(lines(), QStringList{"1:1:p1:0"});
    }
}

// Picking another article and then cancelling leaves the position as it was.
void TestPos::cancelledArticleChangeKeepsOldLines() {
    addPos(QStringLiteral("R"), 1, 1, QStringLiteral("p1"));
    addLine(QStringLiteral("R"), 1, 1, 1, QStringLiteral(" eigener Text "), 2, 50, QStringLiteral("12.5"));
    addLine(QStringLiteral("R"), 1, 1, 3, QStringLiteral("ohne Rabatt"), 1, 7, QStringLiteral("null"));
    const QStringList before = lines();
    openForm();
    QVERIFY(moveTo(1));
    dm->TakePosArticle(7);
    dm->TakePosArticle(8);
    QCOMPARE(lines(), QStringList{"1:1:Fuge:5"});
    dm->TablePos.Cancel();
    QCOMPARE(dm->TablePos.FieldByName("ArtikelID")->AsInteger(), 0);
    QCOMPARE(lines(), before);
    QCOMPARE(count("select count(*) from PosPreis where PreisBez = ' eigener Text ' and Rabatt = 12.5"), 1);
    QCOMPARE(dm->QueryPosPreis.RecordCount(), 2);
    // The next change starts from these lines, and saving keeps the new ones.
    dm->TakePosArticle(8);
    dm->TablePos.Post();
    QCOMPARE(lines(), QStringList{"1:1:Fuge:5"});
}

void TestPos::deletePosition() {
    for (int n : {1, 2, 3})
        addPosWithLine(1, n);
    addPos(QStringLiteral("R"), 2, 1, QStringLiteral("geschlossen"));
    addLine(QStringLiteral("R"), 2, 1, 1, QStringLiteral("bleibt"));

    QVERIFY(dm->DeletePos(QStringLiteral("R"), 1, 2));
    QCOMPARE(positions(), (QStringList{"1:p1", "3:p3"}));
    QCOMPARE(lines(), (QStringList{"1:1:p1:0", "3:1:p3:0"}));
    // A number the document does not have deletes nothing, whatever row is current.
    QVERIFY(!dm->DeletePos(QStringLiteral("R"), 1, 2));
    QCOMPARE(positions().size(), 2);
    // A closed document keeps its positions.
    QVERIFY(Aborted([&] { dm->DeletePos(QStringLiteral("R"), 2, 1); }));
    QCOMPARE(db.messages->texts(), QStringList{"Die Rechnung 2 ist bereits abgeschlossen!"});
    QCOMPARE(count("select count(*) from PosPreis where KopfID = 2"), 1);
    QVERIFY(!dm->SQLiteDB1.InTransaction());
}

void TestPos::priceLines() {
    addPos(QStringLiteral("R"), 1, 1, QStringLiteral("p1"));
    addLine(QStringLiteral("R"), 1, 1, 1, QStringLiteral("a"));
    addLine(QStringLiteral("R"), 1, 1, 3, QStringLiteral("b"));
    openForm();
    QVERIFY(moveTo(1));
    TSQLiteTable& t = dm->TablePosPreis;
    t.Append();
    QCOMPARE(t.FieldByName("Rabatt")->AsFloat(), 5.0);
    QCOMPARE(t.FieldByName("MWStSatz")->AsFloat(), 20.0);
    AssignFields(t, {"Menge=3", "EinheitID=2"});
    QVERIFY(Aborted([&] { t.Post(); }));
    QCOMPARE(db.messages->texts(), QStringList{"Der Betrag muss angegeben werden!"});
    AssignFields(t, {"Wert=10", "Rabatt=50", "PreisBez=neu"});
    t.Post();
    QCOMPARE(lines().last(), QStringLiteral("1:4:neu:50"));

    // 3 x 10 at 50 % is 15; alone it is the position's total.
    exec(QStringLiteral("delete from PosPreis where PreisID < 4"));
    dm->RefreshPosPrices();
    QCOMPARE(dm->QueryPosPreis.FieldByName("Summe")->DisplayText(), QStringLiteral("15,00"));
    QCOMPARE(dm->PosGesamtpreis, QStringLiteral("Gesamtpreis: 15,00"));

    // An emptied discount is stored as 0.
    t.Edit();
    AssignFields(t, {"Rabatt="});
    t.Post();
    QCOMPARE(lines().last(), QStringLiteral("1:4:neu:0"));

    // A small business's new lines, typed or taken from an article, start at 0 %.
    dm->SetAllg(QStringLiteral("Kleinunternehmer"), QStringLiteral("J"));
    t.Append();
    QCOMPARE(t.FieldByName("MWStSatz")->AsFloat(), 0.0);
    t.Cancel();
    dm->TakePosArticle(8);
    QVERIFY(count("select count(*) from PosPreis where KopfTyp = 'R' and KopfID = 1 and PosID = 1") > 0);
    QCOMPARE(count("select count(*) from PosPreis where KopfTyp = 'R' and KopfID = 1 and MWStSatz <> 0"), 0);
}

// A line whose discount is empty counts undiscounted everywhere.
void TestPos::lineWithoutDiscount() {
    addPos(QStringLiteral("R"), 1, 1, QStringLiteral("p1"));
    addLine(QStringLiteral("R"), 1, 1, 1, QStringLiteral("alt"), 2, 10, QStringLiteral("null"));
    addLine(QStringLiteral("R"), 1, 1, 2, QStringLiteral("neu"), 1, 100, QStringLiteral("50"));
    const TBelegSumme s = BelegSumme(dm->Query1, QStringLiteral("R"), 1);
    QCOMPARE(s.Netto, 70.0);
    QCOMPARE(s.MWSt, 14.0);
    QCOMPARE(KopfNetto(dm->Query1, QStringLiteral("R"), 1), 70.0);
    dm->OpenQueryPos(QStringLiteral("R"), 1, false);
    QCOMPARE(dm->QueryPos.FieldByName("Summe")->AsFloat(), 70.0);
    QCOMPARE(dm->QueryPos.FieldByName("SummeInkl")->AsFloat(), 84.0);
    dm->OpenQueryPos(QStringLiteral("R"), 1, true);
    QCOMPARE(dm->QueryPos.FieldByName("SummeUST")->AsFloat(), 0.0);
    QCOMPARE(dm->QueryPos.FieldByName("SummeInkl")->AsFloat(), 70.0);
    openForm();
    QVERIFY(moveTo(1));
    QCOMPARE(dm->QueryPosPreis.FieldByName("Summe")->AsFloat(), 20.0);
    QCOMPARE(dm->PosGesamtpreis, QStringLiteral("Gesamtpreis: 70,00"));
}

void TestPos::refusedWrites_data() {
    QTest::addColumn<int>("kopf"); // R 2 is closed; R 1 is deleted by another program once the form is open
    QTest::addColumn<QString>("action");
    QTest::addColumn<QString>("warning");
    const QString closed = QStringLiteral("Die Rechnung 2 ist bereits abgeschlossen!");
    const QString gone = QStringLiteral("Das gewählte Dokument ist nicht mehr vorhanden!");
    QTest::newRow("closed: edit price line") << 2 << "edit line" << closed;
    QTest::newRow("closed: append price line") << 2 << "append line" << closed;
    QTest::newRow("deleted: edit position") << 1 << "edit position" << gone;
    QTest::newRow("deleted: new position") << 1 << "new position" << gone;
    QTest::newRow("deleted: append price line") << 1 << "append line" << gone;
}

// Whatever gets past the screens, the rules write nothing into a closed
// document nor under a document that no longer exists.
void TestPos::refusedWrites() {
    QFETCH(int, kopf);
    QFETCH(QString, action);
    QFETCH(QString, warning);
    addPos(QStringLiteral("R"), kopf, 1, QStringLiteral("p1"));
    addLine(QStringLiteral("R"), kopf, 1, 1, QStringLiteral("a"));
    dm->OpenPosForm(QStringLiteral("R"), kopf);
    QVERIFY(moveTo(1));
    if (kopf == 1)
        exec(QStringLiteral("delete from Kopf where KopfTyp = 'R' and KopfID = 1"));
    auto stored = [&] {
        return QueryInt(dm->Query2, "select count(*) from PosDaten") * 1000 +
               QueryInt(dm->Query2, "select count(*) from PosPreis") * 100 +
               QueryInt(dm->Query2, "select total(Menge) from PosPreis");
    };
    const int before = stored();
    TSQLiteTable& pos = dm->TablePos;
    TSQLiteTable& line = dm->TablePosPreis;
    QVERIFY(Aborted([&] {
        if (action == QLatin1String("edit line")) {
            line.Edit();
            AssignFields(line, {"Menge=7"});
            line.Post();
        } else if (action == QLatin1String("append line")) {
            line.Append();
            AssignFields(line, {"Menge=3", "EinheitID=2", "Wert=10"});
            line.Post();
        } else if (action == QLatin1String("edit position")) {
            pos.Edit();
            AssignFields(pos, {"PosKurzBez=neu"});
            pos.Post();
        } else {
            pos.Append();
        }
    }));
    QCOMPARE(db.messages->texts(), QStringList{warning});
    dm->ClosePosForm();
    QCOMPARE(stored(), before);
    QCOMPARE(QueryInt(dm->Query2, "select count(*) from PosDaten where PosKurzBez = 'neu'"), 0);
}

QTEST_MAIN(TestPos)
#include "tst_pos.moc"
