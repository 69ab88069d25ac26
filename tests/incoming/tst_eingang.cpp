// Incoming e-invoices: every sample of the official test suites and the
// hybrid PDFs reads with exactly the fields and lines a correct reader gets
// (expected.json beside them); every broken input is refused with its reason.
#include "DatabaseFixture.h"
#include "EingangsArchiv.h"
#include "Eingangsrechnung.h"
#include "TestSupport.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QtTest>

namespace {

const QString Samples = QStringLiteral(QV_INCOMING_SAMPLES "/incoming/");

QByteArray Bytes(const QString& file) {
    QFile f(Samples + file);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QJsonValue Value(const QString& s, bool present = true) {
    return present && !s.isNull() ? QJsonValue(s) : QJsonValue(QJsonValue::Null);
}

} // namespace

class TestEingang : public QObject {
    Q_OBJECT
private slots:
    void reads_data();
    void reads();
    void refuses_data();
    void refuses();
    void command();
    void archive();
};

void TestEingang::reads_data() {
    QTest::addColumn<QJsonObject>("expected");
    QFile f(Samples + QStringLiteral("expected.json"));
    QVERIFY(f.open(QIODevice::ReadOnly));
    const QJsonArray all = QJsonDocument::fromJson(f.readAll()).array();
    QVERIFY(all.size() >= 49);
    for (const QJsonValue& v : all)
        QTest::newRow(qPrintable(v[QStringLiteral("file")].toString())) << v.toObject();
}

void TestEingang::reads() {
    QFETCH(QJsonObject, expected);
    const TEingangsDatei d = LeseEingangsrechnung(Bytes(expected[QStringLiteral("file")].toString()));
    QVERIFY2(d.Gelesen, qPrintable(d.Fehler));
    const TEingangsrechnung& r = d.Rechnung;
    QCOMPARE(r.Syntax, expected[QStringLiteral("syntax")].toString());
    const QList<QPair<const char*, const char*>> fields{
        {"BT-1", "number"},         {"BT-2", "issue_date"},       {"BT-3", "type_code"},
        {"BT-5", "currency"},       {"BT-9", "due_date"},         {"BT-10", "buyer_reference"},
        {"BT-20", "payment_terms"}, {"BT-27", "seller_name"},     {"BT-31", "seller_vat_id"},
        {"BT-84", "seller_iban"},   {"BT-106", "sum_line_net"},   {"BT-109", "total_without_vat"},
        {"BT-110", "vat_total"},    {"BT-112", "total_with_vat"}, {"BT-115", "amount_due"},
    };
    for (const auto& [bt, key] : fields) {
        const QString term = QLatin1String(bt);
        QVERIFY2(Value(r.Wert(term), r.Gibt(term)) == expected[QLatin1String(key)], bt);
    }
    const QJsonArray lines = expected[QStringLiteral("lines")].toArray();
    QCOMPARE(r.Zeilen.size(), lines.size());
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const TEingangsZeile& z = r.Zeilen[i];
        const QJsonObject e = lines[i].toObject();
        for (const auto& [got, key] : QList<QPair<QString, const char*>>{{z.ID, "id"},
                                                                         {z.Menge, "quantity"},
                                                                         {z.Einheit, "unit_code"},
                                                                         {z.Netto, "net_amount"},
                                                                         {z.Name, "item_name"},
                                                                         {z.Kategorie, "vat_category"},
                                                                         {z.Satz, "vat_rate"}})
            QVERIFY2(Value(got, !got.isEmpty()) == e[QLatin1String(key)], key);
    }
    // A valid invoice passes the check; the embedded PDFs inside it are kept.
    const TEingangsBefund b = PruefeEingangsrechnung(r);
    QVERIFY2(b.Fehler.isEmpty(), qPrintable(b.Fehler.join(u'\n')));
    const QJsonArray attachments = expected[QStringLiteral("extra")][QStringLiteral("attachments")].toArray();
    QCOMPARE(r.Anhaenge.size(), attachments.size());
}

void TestEingang::refuses_data() {
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("reason");
    QTest::newRow("empty") << "robustness/empty.xml"
                           << "leer";
    QTest::newRow("truncated") << "robustness/truncated_01.14a-INVOICE_uncefact.xml"
                               << "Zeile 171";
    QTest::newRow("order") << "robustness/not-an-invoice_order_ubl.xml"
                           << "keine Rechnung";
    QTest::newRow("plain pdf") << "robustness/plain-pdf-no-xml.pdf"
                               << "keine E-Rechnung";
    QTest::newRow("type 220") << "robustness/wrong-type-code-220_01.02a-INVOICE_uncefact.xml"
                              << "(BT-3)";
    QTest::newRow("grand total") << "robustness/wrong-grand-total_01.05a-INVOICE_uncefact.xml"
                                 << "(BT-112)";
    QTest::newRow("line sum") << "robustness/wrong-line-sum_01.05a-INVOICE_uncefact.xml"
                              << "(BT-106)";
}

void TestEingang::refuses() {
    QFETCH(QString, file);
    QFETCH(QString, reason);
    const TEingangsDatei d = LeseEingangsrechnung(Bytes(file));
    const QString why = d.Gelesen ? PruefeEingangsrechnung(d.Rechnung).Fehler.join(u'\n') : d.Fehler;
    QVERIFY2(why.contains(reason), qPrintable(why));
}

// The command prints the terms as JSON and says by its exit code whether the
// file would be taken.
void TestEingang::command() {
    const QString program =
        qEnvironmentVariable("QV_BUILD_DIR", QCoreApplication::applicationDirPath() + QStringLiteral("/..")) +
        QStringLiteral("/quorvent");
    QProcess p;
    p.start(program, {QStringLiteral("--read-einvoice"),
                      Samples + QStringLiteral("xrechnung-testsuite/cii/01.10a-INVOICE_uncefact.xml")});
    QVERIFY(p.waitForFinished(30000));
    QCOMPARE(p.exitCode(), 0);
    const QJsonObject o = QJsonDocument::fromJson(p.readAllStandardOutput()).object();
    QCOMPARE(o[QStringLiteral("syntax")].toString(), QStringLiteral("CII"));
    QVERIFY(o[QStringLiteral("BT-20")].toString().contains(QStringLiteral("#SKONTO#TAGE=7#PROZENT=2.00#\n")));
    QCOMPARE(o[QStringLiteral("lines")].toArray().size(), 1);
    QVERIFY(o[QStringLiteral("errors")].toArray().isEmpty());

    p.start(program, {QStringLiteral("--read-einvoice"),
                      Samples + QStringLiteral("robustness/wrong-grand-total_01.05a-INVOICE_uncefact.xml")});
    QVERIFY(p.waitForFinished(30000));
    QCOMPARE(p.exitCode(), 1);
    QVERIFY(
        !QJsonDocument::fromJson(p.readAllStandardOutput())[QStringLiteral("errors")].toArray().isEmpty());
}

// The archive keeps the original bytes and refuses what it must not keep:
// a second copy of the same invoice, a broken file (nothing stored at all).
void TestEingang::archive() {
    TDatabaseFixture db;
    db.BuildTemplate([](TSQLiteDB& c) {
        c.ExecSQL(QStringLiteral(
            "insert into Lieferant (LieferantenID,Firma,LandID,LieGruID,AnspAnredeID,"
            "AnspTitelID,Aktiv,UIDNr) values (7,'Lieferant GmbH',1,1,1,1,'J','DE 123456789')"));
    });
    QVERIFY(db.Open());
    TSQLiteDB& c = db.dm->SQLiteDB1;
    TSQLiteQuery q(&c);
    const QByteArray pdf = Bytes(QStringLiteral("hybrid-pdf/zugferd_2p1_EN16931_Rabatte.pdf"));
    const QDateTime now(QDate(2026, 12, 11), QTime(9, 30));
    const TEingangsImport first = ImportiereEingangsrechnung(c, pdf, QStringLiteral("Rabatte.pdf"), now);
    QVERIFY2(first.Importiert, qPrintable(first.Fehler));
    QCOMPARE(first.LieferantenID, 7); // by the VAT id, blanks ignored

    const TEingangsImport again = ImportiereEingangsrechnung(c, pdf, QStringLiteral("nochmal.pdf"), now);
    QVERIFY(!again.Importiert);
    QVERIFY2(again.Fehler.contains(QStringLiteral("bereits am 11.12.2026 importiert")),
             qPrintable(again.Fehler));

    const TEingangsImport broken = ImportiereEingangsrechnung(
        c, Bytes(QStringLiteral("robustness/wrong-line-sum_01.05a-INVOICE_uncefact.xml")),
        QStringLiteral("x.xml"), now);
    QVERIFY(!broken.Importiert);
    QCOMPARE(QueryInt(q, QStringLiteral("select count(*) from EingangsrechnungDatei")), 1);

    // Cash discount date from XRechnung's payment terms, due date and amount.
    const TEingangsImport skonto = ImportiereEingangsrechnung(
        c, Bytes(QStringLiteral("xrechnung-testsuite/cii/01.10a-INVOICE_uncefact.xml")),
        QStringLiteral("s.xml"), now);
    QVERIFY2(skonto.Importiert, qPrintable(skonto.Fehler));
    q.RunSQL(QStringLiteral("select SkontoBis, Datum, Zahlbetrag from Eingangsrechnung where ERID = ") +
             QString::number(skonto.ERID));
    QCOMPARE(q.Fields(0)->AsDateTime().date(), q.Fields(1)->AsDateTime().date().addDays(7));

    QByteArray original;
    QString why;
    QVERIFY2(EingangsOriginal(c, first.ERID, &original, &why), qPrintable(why));
    QCOMPARE(original, pdf);
    MarkiereBezahlt(c, first.ERID, QDate(2026, 12, 12), 165.07);
    QCOMPARE(QueryInt(q, QStringLiteral("select count(*) from Eingangsrechnung where BezahltAm is not null")),
             1);
}

QTEST_GUILESS_MAIN(TestEingang)
#include "tst_eingang.moc"
