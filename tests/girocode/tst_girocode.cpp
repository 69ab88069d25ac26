// The payment QR code: its payload after EPC069-12 version 002, the 331-byte
// limit, no code without a valid IBAN or an amount to pay, and the code on
// the rendered invoice page read back with a QR decoder (zxing-cpp's
// ZXingReader) as a banking app reads it.
#include "DatabaseFixture.h"
#include "DruckAusgabe.h"
#include "GiroCode.h"
#include "UDM.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

namespace {

QString BuildDir() {
    return qEnvironmentVariable("QV_BUILD_DIR",
                                QCoreApplication::applicationDirPath() + QStringLiteral("/.."));
}

// The bytes of every QR code ZXingReader finds on the image, one after the other.
QByteArray Decoded(const QString& png) {
    QProcess p;
    p.start(QStringLiteral("ZXingReader"),
            {QStringLiteral("-format"), QStringLiteral("QRCode"), QStringLiteral("-bytes"), png});
    if (!p.waitForFinished(60000))
        return "ZXingReader läuft nicht";
    return p.readAllStandardOutput();
}

} // namespace

class TestGiroCode : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup() { db.Close(); }

    void payload_data();
    void payload();
    void limit();
    void iban_data();
    void iban();
    void printedAndDecoded_data();
    void printedAndDecoded();

private:
    TDatabaseFixture db;
    QTemporaryDir FOut;
};

void TestGiroCode::initTestCase() {
    PinGermanLocale();
    db.BuildTemplate([](TSQLiteDB& base) {
        base.ExecSQL(QStringLiteral("update Geschaeft set Name = 'Müller & Söhne Bäckerei GmbH', IBAN1 = "
                                    "'DE89 3704 0044 0532 0130 00', BIC1 = 'COBADEFFXXX'"));
        base.ExecSQL(QStringLiteral("insert into set_allg values ('GiroCode', 'J')"));
        base.ExecSQL(QStringLiteral(
            "insert into Kunde (KundenID,AnredeID,TitelID,Firma,Strasse,PLZ,Ort,LandID,KunGruID,Aktiv,"
            "KonzernID,HaendlerID) values (10,1,1,'Alpen Bau GmbH','Hauptstraße "
            "1','6020','Innsbruck',2,1,'J',"
            "0,0)"));
    });
    SetReportDefinitionFile(BuildDir() + QStringLiteral("/Quorvent.rav"));
}

void TestGiroCode::payload_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("iban");
    QTest::addColumn<double>("betrag");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QByteArray>("expected"); // empty: no code

    QTest::newRow("invoice") << "Muster GmbH"
                             << "DE89 3704 0044 0532 0130 00" << 1190.0 << "RE2026-0042 Kd-Nr. 10001"
                             << QByteArray("BCD\n002\n1\nSCT\n\nMuster GmbH\nDE89370400440532013000\nEUR1190."
                                           "00\n\n\nRE2026-0042 Kd-Nr. 10001");
    QTest::newRow("umlauts in UTF-8, cents rounded, lower-case IBAN")
        << "Müller Büroservice e.K."
        << "de89370400440532013000" << 49.899999 << "Rechnung 44"
        << QByteArray(
               "BCD\n002\n1\nSCT\n\nM\xc3\xbcller B\xc3\xbcroservice e.K.\nDE89370400440532013000\nEUR49."
               "90\n\n\nRechnung 44");
    QTest::newRow("a line break would shift the lines")
        << "Muster\nGmbH"
        << "DE89370400440532013000" << 10.0 << "Rechnung\r\n7"
        << QByteArray("BCD\n002\n1\nSCT\n\nMuster GmbH\nDE89370400440532013000\nEUR10.00\n\n\nRechnung 7");
    QTest::newRow("IBAN check digits wrong")
        << "Muster GmbH"
        << "DE33100206000001194701" << 10.0 << "Rechnung 1" << QByteArray();
    QTest::newRow("nothing to pay") << "Muster GmbH"
                                    << "DE89370400440532013000" << 0.0 << "Rechnung 1" << QByteArray();
    QTest::newRow("credit") << "Muster GmbH"
                            << "DE89370400440532013000" << -20.0 << "Gutschrift 1" << QByteArray();
    QTest::newRow("no name") << " "
                             << "DE89370400440532013000" << 20.0 << "Rechnung 1" << QByteArray();
}

void TestGiroCode::payload() {
    QFETCH(QString, name);
    QFETCH(QString, iban);
    QFETCH(double, betrag);
    QFETCH(QString, text);
    QFETCH(QByteArray, expected);
    const QByteArray payload = GiroCodePayload({name, iban, betrag, text});
    QCOMPARE(payload, expected);
    QCOMPARE(GiroCodeBild(payload).isNull(), expected.isEmpty());
}

// 70 two-byte characters of name and 140 three-byte ones of text are far
// above 331 bytes: the text is cut, the name and the account stay whole.
void TestGiroCode::limit() {
    const QString name = QString(70, QChar(0xDC));                                     // Ü
    const QString text = QStringLiteral("Rechnung 17 ") + QString(140, QChar(0x20AC)); // €
    const QByteArray payload = GiroCodePayload({name, QStringLiteral("DE89370400440532013000"), 5.5, text});
    QVERIFY(payload.size() <= GiroCodeMaxBytes);
    QVERIFY(payload.size() > GiroCodeMaxBytes - 3);
    const QStringList lines = QString::fromUtf8(payload).split(u'\n');
    QCOMPARE(lines.size(), 11);
    QCOMPARE(lines[5], name);
    QCOMPARE(lines[7], QStringLiteral("EUR5.50"));
    QVERIFY(lines[10].startsWith(QStringLiteral("Rechnung 17 ")));
    // It still fits a symbol of version 13 at level M, and reads back.
    const QImage image = GiroCodeBild(payload, 4);
    QVERIFY(!image.isNull());
    QVERIFY(image.width() <= (69 + 8) * 4);
    const QString png = FOut.filePath(QStringLiteral("limit.png"));
    QVERIFY(image.save(png));
    QCOMPARE(Decoded(png), payload);
}

void TestGiroCode::iban_data() {
    QTest::addColumn<QString>("iban");
    QTest::addColumn<bool>("valid");
    QTest::newRow("Germany, printed in groups") << "DE89 3704 0044 0532 0130 00" << true;
    QTest::newRow("Austria") << "AT61 1904 3002 3457 3201" << true;
    QTest::newRow("one digit changed") << "AT61 1904 3002 3457 3202" << false;
    QTest::newRow("two digits swapped") << "DE89 3704 0044 0532 0103 00" << false;
    QTest::newRow("too short") << "DE89 3704" << false;
    QTest::newRow("account number only") << "0532013000" << false;
}

void TestGiroCode::iban() {
    QFETCH(QString, iban);
    QFETCH(bool, valid);
    QCOMPARE(IBANGueltig(iban), valid);
}

void TestGiroCode::printedAndDecoded_data() {
    QTest::addColumn<QString>("typ");
    QTest::addColumn<QString>("setup");
    QTest::addColumn<QByteArray>("expected"); // empty: no code on the page

    const QByteArray invoice = "BCD\n002\n1\nSCT\n\nM\xc3\xbcller & S\xc3\xb6hne B\xc3\xa4"
                               "ckerei GmbH\nDE89370400440532013000\nEUR72.00\n\n\n";
    QTest::newRow("invoice") << "R" << QString() << invoice + "Rechnung 1";
    QTest::newRow("partial invoice") << "T" << QString() << invoice + "Teilrechnung 1";
    QTest::newRow("credit note: never") << "G" << QString() << QByteArray();
    QTest::newRow("invalid IBAN: none")
        << "R"
        << "update Geschaeft set IBAN1 = 'DE89 3704 0044 0532 0130 01'" << QByteArray();
    QTest::newRow("switched off") << "R"
                                  << "update set_allg set AllgWert = 'N' where AllgID = 'GiroCode'"
                                  << QByteArray();
    QTest::newRow("not placed") << "R"
                                << "update DruckElement set Visible = 'N' where DEID = 40" << QByteArray();
}

void TestGiroCode::printedAndDecoded() {
    QFETCH(QString, typ);
    QFETCH(QString, setup);
    QFETCH(QByteArray, expected);
    QVERIFY(db.Open());
    TDM& dm = *db.dm;
    if (!setup.isEmpty())
        dm.SQLiteDB1.ExecSQL(setup);
    dm.SQLiteDB1.ExecSQL(
        QStringLiteral("insert into Kopf (KopfTyp,KopfID,Status,KundenID,KunGruID,Datum,DruDatID,"
                       "SubkundenID,Netto,KopfTextVorPos,FussTextNachPos) values ('%1',1,'E',10,1,"
                       "'2026-03-24 10:00:00',1,0,'N','N','N')")
            .arg(typ));
    dm.SQLiteDB1.ExecSQL(
        QStringLiteral("insert into PosDaten values ('%1',1,1,0,'Brot','Brot','N')").arg(typ));
    dm.SQLiteDB1.ExecSQL(
        QStringLiteral("insert into PosPreis values ('%1',1,1,1,null,null,3,2,20,0,20)").arg(typ));
    const QString pdf = FOut.filePath(QString::fromLatin1(QTest::currentDataTag()) + QStringLiteral(".pdf"));
    QVERIFY(RenderDocumentPdf(dm, typ, 1, false, true, pdf));
    QProcess render;
    render.start(QStringLiteral("pdftoppm"),
                 {QStringLiteral("-png"), QStringLiteral("-r"), QStringLiteral("200"), QStringLiteral("-f"),
                  QStringLiteral("1"), QStringLiteral("-singlefile"), pdf, pdf});
    QVERIFY(render.waitForFinished(60000) && render.exitCode() == 0);
    QCOMPARE(Decoded(pdf + QStringLiteral(".png")), expected);
    if (const QString shots = qEnvironmentVariable("QV_SCREENSHOT_DIR"); !shots.isEmpty())
        QFile::copy(pdf + QStringLiteral(".png"),
                    shots + u'/' + QFileInfo(pdf).baseName() + QStringLiteral(".png"));
}

QTEST_MAIN(TestGiroCode)
#include "tst_girocode.moc"
