// Payments, open items and default interest: interest to the cent against
// hand-computed figures, the settlement rules (partial payments, cash
// discount in and after its period, credit notes, overpayment, deleting),
// due dates, and the open-items list against plain SQL.
#include "Beleg.h"
#include "DatabaseFixture.h"
#include "Sicherung.h"
#include "Zahlungen.h"

#include <QTextStream>
#include <QtTest>

class TestZahlungen : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init() {
        QVERIFY(db.Open());
        dm = db.dm;
    }
    void cleanup() { db.Close(); }

    void interest_data();
    void interest();
    void payments_data();
    void payments();
    void dueDates_data();
    void dueDates();
    void openItemsAgainstSql();
    void grossAsPrinted();
    void openItemsCommand();

private:
    TDatabaseFixture db;
    TDM* dm = nullptr;

    void exec(const QString& sql) { dm->SQLiteDB1.ExecSQL(sql); }
    double number(const QString& sql) {
        TSQLiteQuery q(&dm->SQLiteDB1);
        q.RunSQL(sql);
        return q.Fields(0)->AsFloat();
    }
    QString text(const QString& sql) {
        dm->Query2.RunSQL(sql);
        return dm->Query2.IsEmpty() ? QString() : dm->Query2.Fields(0)->AsString();
    }
    // A document of one price line for customer 10.
    void document(const QString& typ, int id, const QString& datum, double wert, double mwst,
                  const QString& status = QStringLiteral("A"), const QString& ref = QString(),
                  double skonto = 2) {
        exec(QStringLiteral(
                 "insert into Kopf (KopfTyp,KopfID,Status,KundenID,KunGruID,Datum,DruDatID,Datum2,"
                 "SubkundenID,Netto,Skonto,RefTyp,RefID) values ('%1',%2,'%3',10,1,'%4 09:00:00',1,'%4',0,"
                 "'N',%5,%6,%7)")
                 .arg(typ)
                 .arg(id)
                 .arg(status, datum)
                 .arg(skonto)
                 .arg(ref.isEmpty() ? QStringLiteral("null") : u'\'' + ref.left(1) + u'\'',
                      ref.isEmpty() ? QStringLiteral("null") : ref.mid(1)));
        exec(QStringLiteral("insert into PosDaten values ('%1',%2,1,0,'Arbeit','Arbeit','N')")
                 .arg(typ)
                 .arg(id));
        exec(QStringLiteral("insert into PosPreis values ('%1',%2,1,1,null,null,1,1,%3,0,%4)")
                 .arg(typ)
                 .arg(id)
                 .arg(wert)
                 .arg(mwst));
    }
};

void TestZahlungen::initTestCase() {
    PinGermanLocale();
    db.BuildTemplate([](TSQLiteDB& base) {
        base.ExecSQL(QStringLiteral(
            "insert into Kunde (KundenID,AnredeID,TitelID,Firma,Nachname,Vorname,Strasse,PLZ,Ort,LandID,"
            "KunGruID,Aktiv,KonzernID,HaendlerID) values (10,4,3,'Alpen Bau','Berger','Hans','Hauptstraße 1',"
            "'80331','München',2,1,'J',0,0)"));
        base.ExecSQL(QStringLiteral(
            "insert into Kunde (KundenID,AnredeID,TitelID,Nachname,Vorname,Strasse,PLZ,Ort,LandID,"
            "KunGruID,Aktiv,KonzernID,HaendlerID) values (11,1,1,'Huber','Eva','Weg 2','80331','München',2,1,"
            "'J',0,0)"));
    });
}

// Each expected figure is worked out by hand in the comment: principal x
// yearly rate x days / days of the year, per piece, summed, then rounded.
void TestZahlungen::interest_data() {
    QTest::addColumn<QString>("land");
    QTest::addColumn<bool>("verbraucher");
    QTest::addColumn<QString>("entstanden");
    QTest::addColumn<QString>("faellig");
    QTest::addColumn<QString>("bis");
    QTest::addColumn<QString>("minderungen"); // "date=amount;..."
    QTest::addColumn<int>("tageBasis");
    QTest::addColumn<double>("zinsen");
    QTest::addColumn<int>("abschnitte");

    // 1000 x 10,62 % x 15/365 = 4,36438 (16.-30.06.2023)
    // 1000 x 12,12 % x 184/365 = 61,09808 (01.07.-31.12.2023)
    // 1000 x 12,62 % x 91/365 = 31,46356 (01.01.-31.03.2024, 29 days in February)
    QTest::newRow("business, two rate changes, leap year") << "DE" << false << "2023-06-01"
                                                           << "2023-06-15"
                                                           << "2024-03-31"
                                                           << "" << 365 << 96.93 << 3;
    // the 2024 piece over 366 days: 1000 x 12,62 % x 91/366 = 31,37760
    QTest::newRow("actual days of the year") << "DE" << false << "2023-06-01"
                                             << "2023-06-15"
                                             << "2024-03-31"
                                             << "" << 0 << 96.84 << 3;
    // 1000 x (6,62 % x 15 + 8,12 % x 184 + 8,62 % x 91) / 365 = 2,72055 + 40,93370 + 21,49096
    QTest::newRow("consumer plus five points") << "DE" << true << "2023-06-01"
                                               << "2023-06-15"
                                               << "2024-03-31"
                                               << "" << 365 << 65.15 << 3;
    // 400 paid on 01.01.2024: the last piece on 600: 600 x 12,62 % x 91/365 = 18,87813
    QTest::newRow("partial payment after the due date") << "DE" << false << "2023-06-01"
                                                        << "2023-06-15"
                                                        << "2024-03-31"
                                                        << "2024-01-01=400" << 365 << 84.34 << 3;
    // paid before the due date: only 700 is late; 700 x 12,62 % x 31/365 = 7,50288
    QTest::newRow("payment before the due date") << "DE" << false << "2024-01-01"
                                                 << "2024-01-15"
                                                 << "2024-02-15"
                                                 << "2024-01-10=300" << 365 << 7.50 << 1;
    // claim of 2014: base + 8: 1000 x 7,27 % x 184/365 = 36,64877
    QTest::newRow("business claim before 29.07.2014") << "DE" << false << "2014-06-01"
                                                      << "2014-06-30"
                                                      << "2014-12-31"
                                                      << "" << 365 << 36.65 << 1;
    // Austria, consumer: 4 % without base rate: 1000 x 4 % x 100/365 = 10,95890
    QTest::newRow("Austria consumer") << "AT" << true << "2023-12-01"
                                      << "2024-01-01"
                                      << "2024-04-10"
                                      << "" << 365 << 10.96 << 1;
    // Austria, business: (3,88 + 9,2) % -> 1000 x 13,08 % x 100/365 = 35,83562
    QTest::newRow("Austria business") << "AT" << false << "2023-12-01"
                                      << "2024-01-01"
                                      << "2024-04-10"
                                      << "" << 365 << 35.84 << 1;
    QTest::newRow("not yet due") << "DE" << false << "2024-01-01"
                                 << "2024-01-15"
                                 << "2024-01-15"
                                 << "" << 365 << 0.0 << 0;
}

void TestZahlungen::interest() {
    QFETCH(QString, land);
    QFETCH(bool, verbraucher);
    QFETCH(QString, entstanden);
    QFETCH(QString, faellig);
    QFETCH(QString, bis);
    QFETCH(QString, minderungen);
    QFETCH(int, tageBasis);
    QFETCH(double, zinsen);
    QFETCH(int, abschnitte);
    EnsureZahlungTables(*dm);
    if (land == QLatin1String("AT"))
        QVERIFY(SaveBasiszins(*dm, land, {QDate(2024, 1, 1), 3.88, false, QStringLiteral("Test")}));
    QList<QPair<QDate, double>> m;
    for (const QString& p : minderungen.split(u';', Qt::SkipEmptyParts))
        m.append({QDate::fromString(p.section(u'=', 0, 0), Qt::ISODate), p.section(u'=', 1).toDouble()});
    const TZinsErgebnis e = Verzugszinsen(
        Basiszinsen(*dm, land), land, verbraucher, QDate::fromString(entstanden, Qt::ISODate),
        QDate::fromString(faellig, Qt::ISODate), QDate::fromString(bis, Qt::ISODate), 1000, m, tageBasis);
    QCOMPARE(e.Zinsen, zinsen);
    QCOMPARE(e.Abschnitte.size(), abschnitte);
    QVERIFY(e.FehlendeHalbjahre.isEmpty());
}

// Invoice 1: 100,00 net + 19 % = 119,00, dated 01.03.2026, 2 % cash discount
// (2,38) within the default 7 days. Steps: "pay DATE AMOUNT", "credit NET",
// "delete N yes|no" (the N-th payment in list order).
void TestZahlungen::payments_data() {
    QTest::addColumn<QStringList>("steps");
    QTest::addColumn<QString>("offen");
    QTest::addColumn<QString>("status");
    QTest::addColumn<QString>("zahlungen"); // kind=amount in list order
    QTest::addColumn<QStringList>("boxes");

    QTest::newRow("partial payments") << QStringList{"pay 2026-03-05 50", "pay 2026-03-20 30"} << "39.00"
                                      << "A"
                                      << "Überweisung=50;Überweisung=30" << QStringList();
    QTest::newRow("paid in two parts") << QStringList{"pay 2026-03-05 50", "pay 2026-04-20 69"} << "0.00"
                                       << "Z"
                                       << "Überweisung=50;Überweisung=69" << QStringList();
    QTest::newRow("cash discount in its period") << QStringList{"pay 2026-03-08 116.62"} << "0.00"
                                                 << "Z"
                                                 << "Überweisung=116.62;Skonto=2.38" << QStringList();
    QTest::newRow("cash discount after its period") << QStringList{"pay 2026-03-09 116.62"} << "2.38"
                                                    << "A"
                                                    << "Überweisung=116.62" << QStringList();
    QTest::newRow("credit note against the invoice")
        << QStringList{"credit 50", "pay 2026-03-20 59.50"} << "0.00"
        << "Z"
        << "Überweisung=59.5" << QStringList();
    QTest::newRow("overpayment refused")
        << QStringList{"pay 2026-03-20 100", "pay 2026-03-21 20"} << "19.00"
        << "A"
        << "Überweisung=100"
        << QStringList{
               "Die Zahlung von 20,00 EUR zur Rechnung 1 ist höher als der offene Betrag von 19,00 EUR!\n"
               "Eine Überzahlung wird nicht erfasst; bitte erfassen Sie höchstens den offenen Betrag."};
    QTest::newRow("deleting the settling payment")
        << QStringList{"pay 2026-03-05 19", "pay 2026-03-20 100", "delete 2 yes"} << "100.00"
        << "A"
        << "Überweisung=19"
        << QStringList{"Soll die Zahlung vom 20.03.2026 über 100,00 EUR zur Rechnung 1 wirklich "
                       "gelöscht werden?"};
    QTest::newRow("deleting takes the booked discount along")
        << QStringList{"pay 2026-03-08 116.62", "delete 1 yes"} << "119.00"
        << "A"
        << ""
        << QStringList{
               "Soll die Zahlung vom 08.03.2026 über 116,62 EUR zur Rechnung 1 wirklich gelöscht werden?"};
    QTest::newRow("deleting answered No")
        << QStringList{"pay 2026-03-08 119", "delete 1 no"} << "0.00"
        << "Z"
        << "Überweisung=119"
        << QStringList{
               "Soll die Zahlung vom 08.03.2026 über 119,00 EUR zur Rechnung 1 wirklich gelöscht werden?"};
}

void TestZahlungen::payments() {
    QFETCH(QStringList, steps);
    QFETCH(QString, offen);
    QFETCH(QString, status);
    QFETCH(QString, zahlungen);
    QFETCH(QStringList, boxes);
    document(QStringLiteral("R"), 1, QStringLiteral("2026-03-01"), 100, 19);
    for (const QString& step : steps) {
        const QStringList w = step.split(u' ');
        if (w[0] == QLatin1String("pay")) {
            TZahlung z;
            z.Datum = QDate::fromString(w[1], Qt::ISODate);
            z.Betrag = w[2].toDouble();
            z.Art = QStringLiteral("Überweisung");
            ZahlungErfassen(*dm, QStringLiteral("R"), 1, z);
        } else if (w[0] == QLatin1String("credit")) {
            document(QStringLiteral("G"), 1, QStringLiteral("2026-03-10"), w[1].toDouble(), 19,
                     QStringLiteral("A"), QStringLiteral("R1"));
        } else {
            db.messages->answers.enqueue(w[2] == QLatin1String("yes") ? Messages::Yes : Messages::No);
            const QList<TZahlung> list = Zahlungen(*dm, QStringLiteral("R"), 1);
            ZahlungLoeschen(*dm, QStringLiteral("R"), 1, list[w[1].toInt() - 1].ZahlungID);
        }
    }
    const TBelegStand s = BelegStand(*dm, QStringLiteral("R"), 1);
    QCOMPARE(QString::number(s.Offen, 'f', 2), offen);
    QCOMPARE(text(QStringLiteral("select Status from Kopf where KopfTyp = 'R' and KopfID = 1")), status);
    QStringList got;
    for (const TZahlung& z : Zahlungen(*dm, QStringLiteral("R"), 1))
        got << z.Art + u'=' + QString::number(z.Betrag);
    QCOMPARE(got.join(u';'), zahlungen);
    QCOMPARE(db.messages->texts(), boxes);
    QCOMPARE(db.messages->unexpected, 0);
}

void TestZahlungen::dueDates_data() {
    QTest::addColumn<int>("kunde");
    QTest::addColumn<QString>("allg"); // company due period ("" = default 14)
    QTest::addColumn<int>("eigenes");  // the customer's own, -1 none
    QTest::addColumn<QString>("datum");
    QTest::addColumn<QString>("faellig");
    QTest::addColumn<bool>("verbraucher");

    QTest::newRow("default 14 days over a year end") << 10 << "" << -1 << "2026-12-20"
                                                     << "2027-01-03" << false;
    QTest::newRow("30 days from 31 January") << 10 << "30" << -1 << "2026-01-31"
                                             << "2026-03-02" << false;
    QTest::newRow("30 days in a leap year") << 10 << "30" << -1 << "2024-01-31"
                                            << "2024-03-01" << false;
    QTest::newRow("customer's own period wins") << 10 << "30" << 10 << "2026-02-25"
                                                << "2026-03-07" << false;
    QTest::newRow("no company name: consumer") << 11 << "" << -1 << "2026-04-30"
                                               << "2026-05-14" << true;
}

void TestZahlungen::dueDates() {
    QFETCH(int, kunde);
    QFETCH(QString, allg);
    QFETCH(int, eigenes);
    QFETCH(QString, datum);
    QFETCH(QString, faellig);
    QFETCH(bool, verbraucher);
    if (!allg.isEmpty())
        SaveFirmenZahlungsBedingung(*dm, allg.toInt(), 7);
    if (eigenes >= 0)
        SaveKundenZahlungsBedingung(*dm, kunde, eigenes, -1, QString());
    const TZahlungsBedingung b = KundenZahlungsBedingung(*dm, kunde);
    QCOMPARE(Faelligkeit(QDate::fromString(datum, Qt::ISODate), b.Zahlungsziel).toString(Qt::ISODate),
             faellig);
    QCOMPARE(b.Verbraucher, verbraucher);
}

// Ten invoices, some paid in part, some in full, one credited, one marked
// paid by hand: the list holds exactly the open ones and its total is the
// plain sum of gross minus payments minus credits.
void TestZahlungen::openItemsAgainstSql() {
    for (int i = 1; i <= 10; ++i)
        document(i % 3 ? QStringLiteral("R") : QStringLiteral("T"), i,
                 QStringLiteral("2026-02-%1").arg(i, 2, 10, QChar(u'0')), 10.0 * i + 0.25, i % 2 ? 19 : 7,
                 i == 9 ? QStringLiteral("Z") : QStringLiteral("A"), QString(), 0);
    auto pay = [&](const QString& typ, int id, double amount) {
        TZahlung z;
        z.Datum = QDate(2026, 3, 1);
        z.Betrag = amount;
        QVERIFY(ZahlungErfassen(*dm, typ, id, z));
    };
    pay(QStringLiteral("R"), 1, 5);
    pay(QStringLiteral("R"), 2, BelegBrutto(*dm, QStringLiteral("R"), 2));
    pay(QStringLiteral("T"), 6, 20);
    // Invoice 4 cancelled in full.
    document(QStringLiteral("S"), 1, QStringLiteral("2026-03-02"), 40.25, 7, QStringLiteral("A"),
             QStringLiteral("R4"));

    TOPFilter f;
    f.Stichtag = QDate(2026, 3, 31);
    QStringList numbers;
    double summe = 0;
    for (const TOffenerPosten& p : OffenePosten(*dm, f)) {
        numbers << p.Typ + QString::number(p.KopfID);
        summe += p.Offen;
    }
    numbers.sort();
    QCOMPARE(numbers.join(u' '), QStringLiteral("R1 R10 R5 R7 R8 T3 T6"));
    // Gross as net plus its rounded VAT (one rate per document), less what was paid.
    const QString gross =
        QStringLiteral("select round(total(P.Menge*P.Wert + round(P.Menge*P.Wert*P.MWStSatz/100.0, 2)), 2) "
                       "from Kopf K, PosPreis "
                       "P where P.KopfTyp = K.KopfTyp and P.KopfID = K.KopfID and K.KopfTyp in ('R','T') and "
                       "K.Status <> 'Z' and "
                       "not (K.KopfTyp = 'R' and K.KopfID = 4)");
    const double plain =
        number(gross) - number(QStringLiteral("select total(Betrag) from Zahlung where KopfID <> 2"));
    QCOMPARE(QString::number(summe, 'f', 2), QString::number(plain, 'f', 2));
    const TOPSumme s = OffenePostenSumme(*dm, QDate(2026, 3, 31));
    QCOMPARE(QString::number(s.Offen, 'f', 2), QString::number(plain, 'f', 2));
    QCOMPARE(s.Anzahl, 7);
    // On 20.02. nothing is paid yet and invoices 1 to 5 (due 15. to 19.02.) are overdue.
    QCOMPARE(
        QString::number(OffenePostenSumme(*dm, QDate(2026, 2, 20)).Ueberfaellig, 'f', 2),
        QString::number(number(QStringLiteral("select round(total(P.Menge*P.Wert + round(P.Menge*P.Wert*"
                                              "P.MWStSatz/100.0, 2)), 2) from PosPreis P where P.KopfTyp in "
                                              "('R','T') and P.KopfID <= 5")),
                        'f', 2));
}

// Two rates whose nets each end in a fraction of a cent: the open amount is
// the printed gross (net and VAT rounded per rate), not the rounded sum of
// the unrounded nets, which lay a cent above it and never let the invoice settle.
void TestZahlungen::grossAsPrinted() {
    document(QStringLiteral("R"), 20, QStringLiteral("2026-02-01"), 10.11, 19);
    exec(QStringLiteral("insert into PosPreis values ('R',20,1,2,null,null,1,1,10.11,5,7)"));
    exec(QStringLiteral("update PosPreis set Rabatt = 5 where KopfTyp = 'R' and KopfID = 20"));
    TSQLiteQuery q(&dm->SQLiteDB1);
    double printed = 0;
    for (const TMWStZeile& z : MWStZeilen(q, QStringLiteral("R"), 20, false))
        printed += z.Netto + z.MWSt;
    QCOMPARE(QString::number(printed, 'f', 2), QStringLiteral("21.69"));
    QCOMPARE(QString::number(BelegBrutto(*dm, QStringLiteral("R"), 20), 'f', 2), QStringLiteral("21.69"));
    TOPFilter f;
    f.Stichtag = QDate(2026, 3, 1);
    const QList<TOffenerPosten> list = OffenePosten(*dm, f);
    QCOMPARE(list.size(), 1);
    QCOMPARE(QString::number(list[0].Brutto, 'f', 2), QStringLiteral("21.69"));
}

void TestZahlungen::openItemsCommand() {
    document(QStringLiteral("R"), 7, QStringLiteral("2026-01-10"), 100, 19);
    TZahlung z;
    z.Datum = QDate(2026, 1, 20);
    z.Betrag = 19;
    QVERIFY(ZahlungErfassen(*dm, QStringLiteral("R"), 7, z));
    // 100,00 of 119,00 open from 25.01.2026, 16 days late: 100 x 10,27 % x 16/365 = 0,45019
    const QString expected = QStringLiteral("{\"type\":\"R\",\"number\":7,\"customer\":10,\"date\":\"2026-01-"
                                            "10\",\"due\":\"2026-01-24\",\"gross\":"
                                            "119.00,\"paid\":19.00,\"credited\":0.00,\"open\":100.00,\"days_"
                                            "overdue\":16,\"level\":0,\"interest\":0.45}\n");
    // The backup (a whole-file copy) carries the payments along.
    const QString backup = db.home->path() + QStringLiteral("/kopie.DB");
    BackupDatabase(*dm, backup);
    for (const QString& file : {dm->SQLiteDB1.FileName, backup}) {
        QString out, err;
        QTextStream o(&out), e(&err);
        QCOMPARE(RunOpenItemsCommand({file, QStringLiteral("2026-02-09")}, o, e), 0);
        QCOMPARE(out, expected);
        QCOMPARE(err, QString());
    }
    QString out, err;
    QTextStream o(&out), e(&err);
    QCOMPARE(RunOpenItemsCommand({backup, QStringLiteral("2026-02-30")}, o, e), 1);
    QVERIFY(err.contains(QStringLiteral("JJJJ-MM-TT")));
    QCOMPARE(out, QString());
}

QTEST_GUILESS_MAIN(TestZahlungen)
#include "tst_zahlungen.moc"
