// The document model: amounts summed by SQL over the price lines, the status
// rules and the wording of types.
#include "Beleg.h"
#include "QuorventFunctions.h"
#include "TestSupport.h"
#include "UDM.h"

#include <QtTest>

class TestBeleg : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();

    void totals_data();
    void totals();
    void sameNumberDifferentTypes();
    void wording_data();
    void wording();
    void statusOnSave_data();
    void statusOnSave();

private:
    void addHeader(const QString& typ, int id, const QString& netto, double rabatt = 0);
    void addLine(const QString& typ, int id, int pos, int preis, double menge, double wert, double rabatt,
                 double mwst);

    TempDataHome* home = nullptr;
    ScriptedMessages* messages = nullptr;
    TDM* dm = nullptr;
};

void TestBeleg::initTestCase() {
    PinGermanLocale();
    home = new TempDataHome;
    messages = new ScriptedMessages;
    dm = new TDM;
    DM = dm;
    dm->OpenDatabaseFile(home->path() + QStringLiteral("/test.db"));
}

void TestBeleg::cleanupTestCase() {
    delete dm;
    DM = nullptr;
    delete messages;
    delete home;
}

void TestBeleg::init() {
    dm->SQLiteDB1.ExecSQL("delete from PosPreis");
    dm->SQLiteDB1.ExecSQL("delete from Kopf");
}

void TestBeleg::addHeader(const QString& typ, int id, const QString& netto, double rabatt) {
    dm->SQLiteDB1.ExecSQL(
        QString("insert into Kopf (KopfTyp,KopfID,KundenID,KunGruID,Datum,Netto,Rabatt,Status) "
                "values ('%1',%2,0,1,'2014-03-05 10:00:00',%3,%4,'E')")
            .arg(typ)
            .arg(id)
            .arg(netto.isEmpty() ? QString("NULL") : "'" + netto + "'")
            .arg(rabatt));
}

void TestBeleg::addLine(const QString& typ, int id, int pos, int preis, double menge, double wert,
                        double rabatt, double mwst) {
    dm->SQLiteDB1.ExecSQL(
        QString("insert into PosPreis (KopfTyp,KopfID,PosID,PreisID,Menge,EinheitID,Wert,Rabatt,MWStSatz) "
                "values ('%1',%2,%3,%4,%5,2,%6,%7,%8)")
            .arg(typ)
            .arg(id)
            .arg(pos)
            .arg(preis)
            .arg(QString::number(menge), QString::number(wert), QString::number(rabatt),
                 QString::number(mwst)));
}

// ---------------------------------------------------------------------------

void TestBeleg::totals_data() {
    QTest::addColumn<QString>("netto");
    QTest::addColumn<double>("kopfRabatt");
    QTest::addColumn<QList<QList<double>>>("lines"); // Menge, Wert, Rabatt, MWStSatz (one position each)
    QTest::addColumn<double>("net");
    QTest::addColumn<double>("vat");
    QTest::addColumn<double>("gross");

    const QList<QList<double>> one{{2, 50, 10, 20}};
    QTest::newRow("ohne Preiszeilen") << "N" << 0.0 << QList<QList<double>>{} << 0.0 << 0.0 << 0.0;
    QTest::newRow("2 x 50, 10 %, 20 % MWSt") << "N" << 0.0 << one << 90.0 << 18.0 << 108.0;
    QTest::newRow("Nettoverrechnung") << "J" << 0.0 << one << 90.0 << 0.0 << 90.0;
    QTest::newRow("leeres Netto zählt als N") << "" << 0.0 << one << 90.0 << 18.0 << 108.0;
    QTest::newRow("Kopfrabatt wirkt nicht")
        << "N" << 10.0 << QList<QList<double>>{{2, 50, 0, 20}} << 100.0 << 20.0 << 120.0;
    QTest::newRow("zwei Sätze, zwei Positionen")
        << "N" << 0.0 << QList<QList<double>>{{1, 100, 0, 20}, {3, 10, 0, 10}} << 130.0 << 23.0 << 153.0;
    QTest::newRow("ungerundet") << "N" << 0.0 << QList<QList<double>>{{3, 3.33, 0, 20}} << 9.99 << 1.998
                                << 11.988;
}

void TestBeleg::totals() {
    QFETCH(QString, netto);
    QFETCH(double, kopfRabatt);
    QFETCH(QList<QList<double>>, lines);
    QFETCH(double, net);
    QFETCH(double, vat);
    QFETCH(double, gross);

    addHeader("R", 7, netto, kopfRabatt);
    int pos = 0;
    for (const auto& l : lines)
        addLine("R", 7, ++pos, 1, l[0], l[1], l[2], l[3]);

    const TBelegSumme s = BelegSumme(dm->Query1, "R", 7);
    QVERIFY(qAbs(s.Netto - net) < 1e-9);
    QVERIFY(qAbs(s.MWSt - vat) < 1e-9);
    QVERIFY(qAbs(s.Brutto - gross) < 1e-9);
    QVERIFY(qAbs(KopfNetto(dm->Query1, "R", 7) - net) < 1e-9);
}

// Numbers count per type: offer 1 and invoice 1 are two documents with their own amounts.
void TestBeleg::sameNumberDifferentTypes() {
    addHeader("O", 1, "N");
    addHeader("R", 1, "N");
    addLine("O", 1, 1, 1, 1, 100, 0, 20);
    addLine("R", 1, 1, 1, 2, 50, 10, 20);

    QCOMPARE(BelegSumme(dm->Query1, "O", 1).Netto, 100.0);
    QCOMPARE(BelegSumme(dm->Query1, "R", 1).Netto, 90.0);
    QCOMPARE(KopfNetto(dm->Query1, "O", 1), 100.0);

    dm->Query1.RunSQL(KopfSummenSQL());
    QCOMPARE(dm->Query1.RecordCount(), 2);
}

// ---------------------------------------------------------------------------

// Each row: letter | name | with article | capitalised | date caption | number range.
void TestBeleg::wording_data() {
    QTest::addColumn<QString>("row");
    for (const char* row :
         {"O|Angebot|das Angebot|Das Angebot|Angebotsdatum|KopfIDO",
          "A|Auftrag|der Auftrag|Der Auftrag|Auftragsdatum|KopfIDA",
          "S|Stornorechnung|die Stornorechnung|Die Stornorechnung|Stornorechnungsdatum|KopfIDS",
          "B|Bestellung|die Bestellung|Die Bestellung|Bestellungsdatum|KopfIDB", "X||||Datum|",
          "r||||Datum|"})
        QTest::newRow(row) << QString::fromUtf8(row);
}

void TestBeleg::wording() {
    QFETCH(QString, row);
    const QStringList c = row.split('|');
    QCOMPARE(DokTypName(c[0]), c[1]);
    QCOMPARE(DokTypMitArtikel(c[0], false), c[2]);
    QCOMPARE(DokTypMitArtikel(c[0], true), c[3]);
    QCOMPARE(DokTypDatumCaption(c[0]), c[4]);
    QCOMPARE(DokTypNumKreis(c[0]), c[5]);
    if (!c[3].isEmpty())
        QCOMPARE(BereitsAbgeschlossenText(c[0], 12), c[3] + " 12 ist bereits abgeschlossen!");
}

// ---------------------------------------------------------------------------

// Each row: type, stored status, closed box, payment box, status written.
void TestBeleg::statusOnSave_data() {
    QTest::addColumn<QString>("row");
    QTest::newRow("Rechnung schließen") << "R D 1 0 A";
    QTest::newRow("Rechnung bezahlt") << "R A 1 1 Z";
    QTest::newRow("Zahlung zurückgenommen") << "R Z 1 0 A";
    QTest::newRow("Teilrechnung direkt bezahlt") << "T E 0 1 Z";
    QTest::newRow("offen bleibt offen") << "R E 0 0 E";
    QTest::newRow("Gutschrift schließen") << "G E 1 0 A";
    QTest::newRow("Storno hat keine Zahlung") << "S E 1 1 A";
    // A new document may find the boxes ticked by the document shown before it.
    QTest::newRow("Angebot ohne Kästchen") << "O E 1 1 E";
    QTest::newRow("Bestellung ohne Kästchen") << "B D 1 0 D";
}

void TestBeleg::statusOnSave() {
    QFETCH(QString, row);
    const QStringList c = row.split(' ');
    const QString result = c[4];
    QCOMPARE(StatusBeimSpeichern(c[0], c[1], c[2] == "1", c[3] == "1"), result);
    // The header form's display of the stored result, and output that never reopens a document.
    QCOMPARE(KopfAnzeige(c[0], result).Gesperrt, result == "A" || result == "Z");
    QCOMPARE(StatusNachAusgabe(result), result == "E" ? QString("D") : result);
}

QTEST_GUILESS_MAIN(TestBeleg)
#include "tst_beleg.moc"
