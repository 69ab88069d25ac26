// Dunning letters as the customer reads them (pdftotext of the rendered PDF):
// the original invoice's number and figures, interest, fee and new total; the
// stored level; and the refusal of a letter before the due date.
#include "DatabaseFixture.h"
#include "DruckAusgabe.h"
#include "FormTestHelpers.h"
#include "UKopfUeb.h"
#include "UMahnen.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QProcess>
#include <QPushButton>
#include <QtTest>

class TestMahnung : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup() { db.Close(); }
    void letterText_data();
    void letterText();
    void dialogStoresLevel();
    void overviewMark();

private:
    TDatabaseFixture db;
    TDM* dm = nullptr;
    QTemporaryDir out;

    QString pdfText(const QString& pdf) {
        QProcess p;
        p.start(QStringLiteral("pdftotext"), {QStringLiteral("-raw"), pdf, QStringLiteral("-")});
        p.waitForFinished(60000);
        return QString::fromUtf8(p.readAllStandardOutput()).simplified();
    }
};

void TestMahnung::initTestCase() {
    PinGermanLocale();
    SetReportDefinitionFile(qEnvironmentVariable("QV_BUILD_DIR") + QStringLiteral("/Quorvent.rav"));
    db.BuildTemplate([](TSQLiteDB& base) {
        base.ExecSQL(QStringLiteral(
            "insert into Kunde (KundenID,AnredeID,TitelID,Firma,Nachname,Vorname,Strasse,PLZ,Ort,LandID,"
            "KunGruID,Aktiv,KonzernID,HaendlerID) values (10,4,3,'Alpen Bau','Berger','Hans','Hauptstraße 1',"
            "'80331','München',2,1,'J',0,0)"));
        base.ExecSQL(
            QStringLiteral("insert into Kopf "
                           "(KopfTyp,KopfID,Status,KundenID,KunGruID,Datum,DruDatID,Datum2,SubkundenID,Netto,"
                           "Skonto,KopfTextVorPos,FussTextNachPos) values ('R',17,'A',10,1,'2026-01-10 "
                           "09:00:00',1,'2026-01-10',0,"
                           "'N',0,'N','N')"));
        base.ExecSQL(
            QStringLiteral("insert into PosDaten values ('R',17,1,0,'Arbeit','Fliesen verlegen','N')"));
        base.ExecSQL(QStringLiteral("insert into PosPreis values ('R',17,1,1,null,null,1,1,100,0,19)"));
        base.ExecSQL(QStringLiteral("update Geschaeft set Name = 'Tischlerei Brenholm'"));
    });
}

void TestMahnung::init() {
    QVERIFY(db.Open());
    dm = db.dm;
    TZahlung z;
    z.Datum = QDate(2026, 1, 20);
    z.Betrag = 19;
    z.Art = QStringLiteral("Überweisung");
    QVERIFY(ZahlungErfassen(*dm, QStringLiteral("R"), 17, z));
}

// Invoice 17: 119,00, 19,00 paid on 20.01. (before the due date 24.01.), so
// 100,00 is late from 25.01.: up to 23.02. that is 30 days at 1,27 + 9 =
// 10,27 %: 100 x 10,27 % x 30/365 = 0,84411.
void TestMahnung::letterText_data() {
    QTest::addColumn<int>("stufe");
    QTest::addColumn<bool>("pauschale");
    QTest::addColumn<QStringList>("contains");
    QTest::addColumn<QStringList>("absent");

    QTest::newRow("reminder: the invoice itself")
        << 1 << false << QStringList{"Zahlungserinnerung", "RechnungsNr. 17", "Fliesen verlegen", "119,00"}
        << QStringList{"Mahnung", "Verzugszinsen"};
    QTest::newRow("first dunning letter with interest and flat fee")
        << 2 << true
        << QStringList{"1. Mahnung",
                       "RechnungsNr. 17",
                       "Rechnung Nr. 17 vom 10.01.2026",
                       "fällig am 24.01.2026",
                       "119,00 EUR",
                       "-19,00 EUR",
                       "Offener Rechnungsbetrag 100,00 EUR",
                       "10,27 % p. a. auf 100,00 EUR",
                       "25.01.2026 bis 23.02.2026 (30 Tage)",
                       "0,84 EUR",
                       "Verzugspauschale (§ 288 Abs. 5 BGB) 40,00 EUR",
                       "Neuer Gesamtbetrag 140,84 EUR",
                       "Mahndatum: 23.02.2026"}
        << QStringList{"Fliesen verlegen", "RechnungsNr. 18"};
    QTest::newRow("second letter without fee")
        << 3 << false
        << QStringList{"2. Mahnung", "RechnungsNr. 17", "Neuer Gesamtbetrag 100,84 EUR", "letztmalig"}
        << QStringList{"Verzugspauschale"};
}

void TestMahnung::letterText() {
    QFETCH(int, stufe);
    QFETCH(bool, pauschale);
    QFETCH(QStringList, contains);
    QFETCH(QStringList, absent);
    TMahnAuftrag a;
    a.Stufe = stufe;
    a.Datum = QDate(2026, 2, 23);
    a.Pauschale = pauschale;
    const QString pdf = out.filePath(QStringLiteral("mahnung%1.pdf").arg(stufe));
    QVERIFY(RenderMahnungPdf(*dm, QStringLiteral("R"), 17, a, pdf));
    const QString text = pdfText(pdf);
    for (const QString& c : contains)
        QVERIFY2(text.contains(c), qPrintable(c + QStringLiteral(" missing in: ") + text));
    for (const QString& c : absent)
        QVERIFY2(!text.contains(c), qPrintable(c + QStringLiteral(" found in: ") + text));
    // Rendering alone stores nothing and leaves no buffer behind; the
    // invoice keeps its number range untouched.
    QCOMPARE(QueryInt(dm->Query2, QStringLiteral("select count(*) from Mahnung")), 0);
    QCOMPARE(QueryInt(dm->Query2, QStringLiteral("select count(*) from Ausdruck")), 0);
    QCOMPARE(QueryInt(dm->Query2, QStringLiteral("select count(*) from Kopf")), 1);
}

void TestMahnung::dialogStoresLevel() {
    TMahnen dialog;
    QString chosen;
    TMahnen::ChoosePdfFile = [&](QWidget*, const QString& proposal) {
        chosen = proposal;
        return out.filePath(QStringLiteral("dialog.pdf"));
    };
    dialog.prepare(QStringLiteral("R"), 17);
    auto* stufe = dialog.findChild<QComboBox*>(QStringLiteral("CBStufe"));
    QCOMPARE(stufe->currentText(), QStringLiteral("Zahlungserinnerung"));
    // A dunning letter before the due date is refused.
    stufe->setCurrentIndex(1);
    dialog.findChild<QDateEdit*>(QStringLiteral("DTPDatum"))->setDate(QDate(2026, 1, 24));
    QTest::mouseClick(dialog.findChild<QPushButton*>(QStringLiteral("BitBtnPdf")), Qt::LeftButton);
    QCOMPARE(db.messages->lastText(),
             QStringLiteral(
                 "Die Rechnung 17 ist erst am 24.01.2026 fällig; eine Mahnung ist erst danach möglich."));
    QCOMPARE(QueryInt(dm->Query2, QStringLiteral("select count(*) from Mahnung")), 0);

    dialog.findChild<QDateEdit*>(QStringLiteral("DTPDatum"))->setDate(QDate(2026, 2, 23));
    QVERIFY(dialog.findChild<QCheckBox*>(QStringLiteral("CBPauschale"))->isChecked());
    QTest::mouseClick(dialog.findChild<QPushButton*>(QStringLiteral("BitBtnPdf")), Qt::LeftButton);
    QVERIFY(chosen.endsWith(QStringLiteral("/Mahnung-R17.pdf")));
    dm->Query2.RunSQL(QStringLiteral("select Stufe, Datum, Gebuehr, Zinsen from Mahnung"));
    QCOMPARE(dm->Query2.Fields(0)->AsInteger(), 2);
    QCOMPARE(Tag(dm->Query2.Fields(1)), QDate(2026, 2, 23));
    QCOMPARE(dm->Query2.Fields(2)->AsFloat(), 40.0);
    QCOMPARE(dm->Query2.Fields(3)->AsFloat(), 0.84);
    // The next letter is the next level, and the flat fee is not asked twice.
    dialog.prepare(QStringLiteral("R"), 17);
    QCOMPARE(stufe->currentText(), QStringLiteral("2. Mahnung"));
    QVERIFY(!dialog.findChild<QCheckBox*>(QStringLiteral("CBPauschale"))->isChecked());
    TOPFilter f;
    f.Stichtag = QDate(2026, 2, 23);
    QCOMPARE(OffenePosten(*dm, f).value(0).Mahnstufe, 2);
}

// The overview's column "Zahlung": partly paid, paid by payments, paid by
// hand (status Z without payments), open, and nothing for other types.
void TestMahnung::overviewMark() {
    for (const char* sql :
         {"insert into Kopf (KopfTyp,KopfID,Status,KundenID,KunGruID,Datum,DruDatID,SubkundenID,Netto) "
          "values "
          "('R',18,'Z',10,1,'2026-01-11',1,0,'N'),('T',2,'A',10,1,'2026-01-12',1,0,'N'),"
          "('O',5,'E',10,1,'2026-01-12',1,0,'N')",
          "insert into PosPreis values ('R',18,1,1,null,null,1,1,50,0,19),('T',2,1,1,null,null,1,1,50,0,19)"})
        dm->SQLiteDB1.ExecSQL(QLatin1String(sql));
    TKopfUeb page;
    page.ShowPage();
    auto marks = [&] {
        QStringList m;
        TSQLiteQuery& q = dm->QueryKopf;
        for (q.First(); !q.Eof(); q.Next())
            m << q.FieldByName(QStringLiteral("KopfTyp"))->AsString() +
                     q.FieldByName(QStringLiteral("KopfID"))->AsString() + u'=' +
                     q.FieldByName(QStringLiteral("Zahlung"))->AsString();
        m.sort();
        return m.join(u' ');
    };
    QCOMPARE(marks(), QStringLiteral("O5= R17=teilbezahlt R18=bezahlt T2=offen"));
    TZahlung z;
    z.Datum = QDate(2026, 2, 1);
    z.Betrag = 100;
    QVERIFY(ZahlungErfassen(*dm, QStringLiteral("R"), 17, z));
    page.ShowPage();
    QCOMPARE(marks(), QStringLiteral("O5= R17=bezahlt R18=bezahlt T2=offen"));
}

QTEST_MAIN(TestMahnung)
#include "tst_mahnung.moc"
