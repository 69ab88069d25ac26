// The article and price-line rules through the data module: numbering at the
// first save, the checks before a save, the supplier rule, the guards before
// renumbering and deleting, and that price lines always travel with their
// article.
#include "DatabaseFixture.h"
#include "QuorventFunctions.h"
#include "Rtf.h"
#include "TestSupport.h"
#include "UDM.h"

#include <QtTest>

class TestArtikel : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void saveChecks_data();
    void saveChecks();
    void supplierRule_data();
    void supplierRule();
    void priceLineNumbers();
    void priceLineChecks_data();
    void priceLineChecks();
    void priceLineOnNewArticle();
    void total();
    void deleteArticle_data();
    void deleteArticle();
    void renumber_data();
    void renumber();
    void failedWriteKeepsPriceLines_data();
    void failedWriteKeepsPriceLines();

private:
    void exec(const QString& sql) { dm->SQLiteDB1.ExecSQL(sql); }
    int count(const QString& sql) { return QueryInt(dm->Query2, sql); }
    QString lineIds(int artikel) {
        dm->Query2.RunSQL(QStringLiteral("select PreisID from ArtPreis where ArtikelID = %1 order by PreisID")
                              .arg(artikel));
        QStringList ids;
        for (dm->Query2.First(); !dm->Query2.Eof(); dm->Query2.Next())
            ids << dm->Query2.Fields(0)->AsString();
        return ids.join(QLatin1Char(','));
    }
    void addArticle(int id, const QString& ek = QStringLiteral("N"),
                    const QString& vk = QStringLiteral("J")) {
        exec(QStringLiteral(
                 "insert into Artikel (ArtikelID,ArtGruID,ArtKurzBez,ArtBez,Aktiv,LieferantenID,"
                 "BereichEK,BereichVK,Zwischensumme) values (%1,1,'Schraube','Schraube','J',0,'%2','%3',"
                 "'N')")
                 .arg(id)
                 .arg(ek, vk));
    }
    void addLine(int artikel, int preisId, double menge = 1, double wert = 1) {
        exec(QStringLiteral("insert into ArtPreis values (%1,%2,null,null,%3,2,%4,20)")
                 .arg(artikel)
                 .arg(preisId)
                 .arg(menge)
                 .arg(wert));
    }
    // Opens the article with the given number as the form does in mode 2.
    void openArticle(int id) {
        dm->TableArtikel.Close();
        dm->TableArtikel.Open();
        QVERIFY(dm->TableArtikel.Locate(QStringLiteral("ArtikelID"), id));
        dm->RefreshArticlePrices();
    }
    void fillNew() {
        dm->TableArtikel.Append();
        dm->TableArtikel.FieldByName("ArtKurzBez")->SetAsString(QStringLiteral("Dübel"));
        dm->TableArtikel.FieldByName("ArtBez")->SetAsString(
            QStringLiteral("{\\rtf1\\ansi {\\b Dübel}\\par}"));
        dm->TableArtikel.FieldByName("ArtGruID")->SetAsInteger(1);
    }
    // Appends and saves a good price line, changed by the "Field=value" pairs.
    bool postLine(const QStringList& changes = {}) {
        dm->TableArtPreis.Append();
        AssignFields(dm->TableArtPreis,
                     QStringList{"Menge=1", "EinheitID=2", "Wert=5", "MWStSatz=20"} + changes);
        return !Aborted([&] { dm->TableArtPreis.Post(); });
    }

    TDatabaseFixture db;
    ScriptedMessages* messages = nullptr;
    TDM* dm = nullptr;
};

void TestArtikel::initTestCase() {
    PinGermanLocale();
    TDM::FormattedTextPlain = &Rtf::PlainText;
    db.BuildTemplate();
}

void TestArtikel::init() {
    QVERIFY(db.Open());
    dm = db.dm;
    messages = db.messages;
    exec(QStringLiteral("insert into Lieferant (LieferantenID,Firma,LandID,LieGruID,AnspAnredeID,AnspTitelID,"
                        "Aktiv) values (5,'Holz & Co',1,1,1,1,'J')"));
    dm->TableArtikel.Open();
}

void TestArtikel::cleanup() {
    db.Close();
}

// ---------------------------------------------------------------------------

void TestArtikel::saveChecks_data() {
    QTest::addColumn<QString>("assignment");
    QTest::addColumn<QString>("warning");
    QTest::newRow("no number") << "ArtikelID="
                               << "Die Artikelnummer muss angegeben werden!";
    QTest::newRow("no group") << "ArtGruID="
                              << "Die Artikelgruppe muss angegeben werden!";
    QTest::newRow("blank short text") << "ArtKurzBez=   "
                                      << "Die Kurzbezeichnung muss angegeben werden!";
    QTest::newRow("no description") << "ArtBez="
                                    << "Die Bezeichnung muss angegeben werden!";
    QTest::newRow("description only formatting")
        << "ArtBez={\\rtf1\\ansi{\\fonttbl{\\f0 Arial;}}\\pard\\b  \\tab\\par\\par}"
        << "Die Bezeichnung muss angegeben werden!";
    QTest::newRow("neither purchase nor sale")
        << "BereichVK=N"
        << "Der Artikel muss entweder ein Einkaufs- und/oder ein Verkaufsartikel sein!";
    QTest::newRow("short text too long")
        << "ArtKurzBez=" + QString(101, u'x') << "Die Kurzbezeichnung darf höchstens 100 Zeichen lang sein!";
    QTest::newRow("character outside Windows-1252")
        << "ArtKurzBez=Dübel ≥ 5"
        << "Das Zeichen \"≥\" im Feld \"Kurzbezeichnung\" kann nicht gespeichert werden, da der Zeichensatz "
           "der Datenbank (Windows-1252) es nicht enthält!";
    QTest::newRow("duplicate number") << "ArtikelID=0"
                                      << "Die angegebene Artikelnummer ist bereits vorhanden!";
}

void TestArtikel::saveChecks() {
    QFETCH(QString, assignment);
    QFETCH(QString, warning);
    fillNew();
    AssignFields(dm->TableArtikel, {assignment});
    QVERIFY(Aborted([&] { dm->TableArtikel.Post(); }));
    QCOMPARE(messages->texts(), QStringList{warning});
    QCOMPARE(dm->TableArtikel.State(), TDataSetState::Insert);
    QCOMPARE(count("select count(*) from Artikel"), 1);
}

void TestArtikel::supplierRule_data() {
    QTest::addColumn<bool>("ek");
    QTest::addColumn<bool>("vk");
    QTest::addColumn<int>("supplier"); // -1: none chosen
    QTest::addColumn<int>("stored");
    QTest::newRow("sales only: supplier 0") << false << true << 5 << 0;
    QTest::newRow("purchase and sale keep supplier") << true << true << 5 << 5;
    QTest::newRow("purchase only keeps supplier") << true << false << 5 << 5;
    QTest::newRow("no supplier is supplier 0") << true << false << -1 << 0;
}

void TestArtikel::supplierRule() {
    QFETCH(bool, ek);
    QFETCH(bool, vk);
    QFETCH(int, supplier);
    QFETCH(int, stored);
    fillNew();
    AssignFields(dm->TableArtikel, {ek ? "BereichEK=J" : "BereichEK=N", vk ? "BereichVK=J" : "BereichVK=N",
                                    supplier < 0 ? "LieferantenID=" : "LieferantenID=5"});
    dm->TableArtikel.Post();
    QCOMPARE(count("select LieferantenID from Artikel where ArtikelID = 1"), stored);
    // The article shows in the list, which joins the supplier.
    dm->QueryArtikel.Close();
    dm->QueryArtikel.Open();
    QVERIFY(dm->QueryArtikel.Locate(QStringLiteral("ArtikelID"), 1));
}

void TestArtikel::priceLineNumbers() {
    addArticle(3);
    openArticle(3);
    QVERIFY(postLine());
    QCOMPARE(lineIds(3), QStringLiteral("1"));
    QCOMPARE(dm->TableArtPreis.FieldByName("MWStSatz")->AsFloat(), 20.0);

    exec(QStringLiteral("delete from ArtPreis where ArtikelID = 3"));
    addLine(3, 1);
    addLine(3, 3);
    dm->RefreshArticlePrices();
    QVERIFY(postLine());
    QCOMPARE(lineIds(3), QStringLiteral("1,3,4"));

    // Deleting the last line frees its number again; the others keep theirs.
    QVERIFY(dm->TableArtPreis.Locate(QStringLiteral("ArtikelID;PreisID"), QVariantList{3, 4}));
    dm->TableArtPreis.Delete();
    QCOMPARE(dm->QueryArtPreis.RecordCount(), 2);
    QVERIFY(postLine());
    QCOMPARE(lineIds(3), QStringLiteral("1,3,4"));
    QVERIFY(messages->boxes.isEmpty());
}

void TestArtikel::priceLineChecks_data() {
    QTest::addColumn<QString>("assignment");
    QTest::addColumn<QString>("warning");
    QTest::newRow("no quantity") << "Menge="
                                 << "Die Menge muss angegeben werden!";
    QTest::newRow("no unit") << "EinheitID="
                             << "Die Mengeneinheit muss angegeben werden!";
    QTest::newRow("no amount") << "Wert="
                               << "Der Betrag muss angegeben werden!";
    QTest::newRow("no VAT") << "MWStSatz="
                            << "Bitte einen MWSt.-Satz auswählen!";
    QTest::newRow("quantity too large") << "Menge=10000"
                                        << "Die Menge muss zwischen -9999,99 und 9999,99 liegen!";
    QTest::newRow("amount too large") << "Wert=-12345,5"
                                      << "Der Betrag muss zwischen -9999,99 und 9999,99 liegen!";
    QTest::newRow("VAT above 100") << "MWStSatz=120"
                                   << "Der MWSt.-Satz muss zwischen 0 und 100 liegen!";
    QTest::newRow("text too long") << "PreisBez=" + QString(101, u'a')
                                   << "Die Bezeichnung darf höchstens 100 Zeichen lang sein!";
    QTest::newRow("character outside Windows-1252")
        << "PreisBez=Ω-Widerstand"
        << "Das Zeichen \"Ω\" im Feld \"Bezeichnung\" kann nicht gespeichert werden, da der Zeichensatz der "
           "Datenbank (Windows-1252) es nicht enthält!";
}

void TestArtikel::priceLineChecks() {
    QFETCH(QString, assignment);
    QFETCH(QString, warning);
    addArticle(3);
    openArticle(3);
    QVERIFY(!postLine({assignment}));
    QCOMPARE(messages->texts(), QStringList{warning});
    QCOMPARE(dm->TableArtPreis.State(), TDataSetState::Insert);
    QCOMPARE(count("select count(*) from ArtPreis where ArtikelID = 3"), 0);
}

void TestArtikel::priceLineOnNewArticle() {
    // A refused article save stops the new line as well.
    fillNew();
    dm->TableArtikel.FieldByName("ArtKurzBez")->Clear();
    QVERIFY(Aborted([&] { dm->TableArtPreis.Append(); }));
    QCOMPARE(messages->texts(), QStringList{QStringLiteral("Die Kurzbezeichnung muss angegeben werden!")});
    QCOMPARE(dm->TableArtPreis.State(), TDataSetState::Browse);
    QCOMPARE(count("select count(*) from ArtPreis"), 1); // article 0's line

    // Once it can be saved, the article is saved first and the line is its own.
    dm->TableArtikel.FieldByName("ArtKurzBez")->SetAsString(QStringLiteral("Dübel"));
    QVERIFY(postLine({"Menge=2", "Wert=1,5"}));
    QCOMPARE(dm->TableArtikel.State(), TDataSetState::Browse);
    // The refused save drew the proposed number already; the next save draws none.
    QCOMPARE(dm->TableArtikel.FieldByName("ArtikelID")->AsInteger(), 1);
    QCOMPARE(GetNumber(dm->Query2, QStringLiteral("ArtikelID"), false), 2);
    QCOMPARE(lineIds(1), QStringLiteral("1"));
}

void TestArtikel::total() {
    addArticle(4);
    addLine(4, 1, 2, 10.5);
    addLine(4, 2, 1, 3);
    addLine(5, 1, 100, 100); // another article's line does not count
    QString shown;
    dm->OnArtikelGesamtpreis = [&](const QString& t) { shown = t; };
    openArticle(4);
    QCOMPARE(shown, QStringLiteral("Gesamtpreis: 24,00"));
    QCOMPARE(dm->QueryArtPreis.RecordCount(), 2);

    dm->QueryArtikel.Close();
    dm->QueryArtikel.Open();
    QVERIFY(dm->QueryArtikel.Locate(QStringLiteral("ArtikelID"), 4));
    QCOMPARE(dm->QueryArtikel.FieldByName("Summe")->DisplayText(), QStringLiteral("24,00 EUR"));

    // Choosing the article in the list moves the table and the price lines along.
    QVERIFY(dm->QueryArtikel.Locate(QStringLiteral("ArtikelID"), 0));
    QCOMPARE(dm->TableArtikel.FieldByName("ArtikelID")->AsInteger(), 0);
    QCOMPARE(shown, QStringLiteral("Gesamtpreis: 10,00"));
}

void TestArtikel::deleteArticle_data() {
    QTest::addColumn<int>("id");
    QTest::addColumn<bool>("usedByPosition");
    QTest::addColumn<QString>("warning"); // empty: deleted

    QTest::newRow("unused: goes with its lines") << 3 << false << "";
    QTest::newRow("used by a position")
        << 3 << true
        << "Der Artikel kann nicht gelöscht werden, da der Artikel noch einem Auftrag zugeordnet ist!";
    QTest::newRow("article 0")
        << 0 << false
        << "Der Artikel kann nicht gelöscht werden, da der Artikel 0 die Vorlage jeder "
           "neuen Position ist!";
}

void TestArtikel::deleteArticle() {
    QFETCH(int, id);
    QFETCH(bool, usedByPosition);
    QFETCH(QString, warning);
    addArticle(3);
    addLine(3, 1);
    addLine(3, 2);
    if (usedByPosition)
        exec(QStringLiteral("insert into PosDaten (KopfTyp,KopfID,PosID,ArtikelID,PosKurzBez,PosBez) "
                            "values ('R',1,1,3,'x','x')"));
    openArticle(id);
    const QString linesBefore = lineIds(id);
    const bool refused = Aborted([&] { dm->TableArtikel.Delete(); });
    QCOMPARE(refused, !warning.isEmpty());
    QCOMPARE(messages->texts(), warning.isEmpty() ? QStringList() : QStringList{warning});
    QCOMPARE(count(QStringLiteral("select count(*) from Artikel where ArtikelID = %1").arg(id)),
             refused ? 1 : 0);
    QCOMPARE(lineIds(id), refused ? linesBefore : QString());
    QVERIFY(!dm->SQLiteDB1.InTransaction());
}

void TestArtikel::renumber_data() {
    QTest::addColumn<int>("from");
    QTest::addColumn<int>("to");
    QTest::addColumn<bool>("usedByPosition");
    QTest::addColumn<QString>("warning"); // empty: renumbered

    QTest::newRow("lines move along") << 3 << 9 << false << "";
    QTest::newRow("number taken") << 3 << 5 << false << "Die angegebene Artikelnummer ist bereits vorhanden!";
    QTest::newRow("used by a position")
        << 3 << 9 << true
        << "Die Artikelnummer kann nicht verändert werden, da der Artikel noch einem Auftrag zugeordnet ist!";
    QTest::newRow("article 0")
        << 0 << 9 << false
        << "Die Artikelnummer kann nicht verändert werden, da der Artikel 0 die Vorlage "
           "jeder neuen Position ist!";
}

void TestArtikel::renumber() {
    QFETCH(int, from);
    QFETCH(int, to);
    QFETCH(bool, usedByPosition);
    QFETCH(QString, warning);
    addArticle(3);
    addArticle(5);
    addLine(3, 1);
    addLine(3, 2);
    addLine(5, 1);
    if (usedByPosition)
        exec(QStringLiteral("insert into PosDaten (KopfTyp,KopfID,PosID,ArtikelID,PosKurzBez,PosBez) "
                            "values ('R',1,1,3,'x','x')"));
    openArticle(from);
    const QString fromLines = lineIds(from);
    const QString toLines = lineIds(to);
    dm->TableArtikel.Edit();
    dm->TableArtikel.FieldByName("ArtikelID")->SetAsInteger(to);
    const bool refused = Aborted([&] { dm->TableArtikel.Post(); });
    QCOMPARE(messages->texts(), warning.isEmpty() ? QStringList() : QStringList{warning});
    QCOMPARE(refused, !warning.isEmpty());
    QVERIFY(!dm->SQLiteDB1.InTransaction());
    if (refused) {
        QCOMPARE(lineIds(from), fromLines);
        QCOMPARE(lineIds(to), toLines);
        return;
    }
    QCOMPARE(lineIds(from), QString());
    QCOMPARE(lineIds(to), fromLines);
    QCOMPARE(dm->QueryArtPreis.RecordCount(), 2); // the list follows the new number

    // A later article given the freed number starts without lines.
    fillNew();
    dm->TableArtikel.FieldByName("ArtikelID")->SetAsInteger(from);
    dm->TableArtikel.Post();
    QCOMPARE(dm->QueryArtPreis.RecordCount(), 0);
    QCOMPARE(lineIds(from), QString());
}

void TestArtikel::failedWriteKeepsPriceLines_data() {
    QTest::addColumn<bool>("renumber");
    QTest::newRow("renumbering") << true;
    QTest::newRow("deleting") << false;
}

// When the database refuses the article row itself, the price lines must stay
// exactly where they were.
void TestArtikel::failedWriteKeepsPriceLines() {
    QFETCH(bool, renumber);
    addArticle(3);
    addLine(3, 1);
    addLine(3, 2);
    exec(QStringLiteral(
             "create trigger NoChange before %1 on Artikel begin select raise(abort, 'gesperrt'); end")
             .arg(renumber ? QStringLiteral("update") : QStringLiteral("delete")));
    openArticle(3);
    bool failed = false;
    try {
        if (renumber) {
            dm->TableArtikel.Edit();
            dm->TableArtikel.FieldByName("ArtikelID")->SetAsInteger(9);
            dm->TableArtikel.Post();
        } else {
            dm->TableArtikel.Delete();
        }
    } catch (const ESQLiteError&) {
        failed = true;
    }
    QVERIFY(failed);
    QVERIFY(!dm->SQLiteDB1.InTransaction());
    QCOMPARE(lineIds(3), QStringLiteral("1,2"));
    QCOMPARE(lineIds(9), QString());
}

QTEST_MAIN(TestArtikel)
#include "tst_artikel.moc"
