// The mail step of the print run against a real SMTP server: who gets the
// document, what the mail says, that the PDF arrives as it was rendered, and
// what a failed send leaves behind.
#include "DruckAusgabe.h"
#include "DruckMail.h"
#include "FormTestHelpers.h"
#include "GlobalFunctions.h"
#include "KundeERechnung.h"
#include "Rtf.h"
#include "SmtpTestServer.h"
#include "TReport.h"
#include "UDrucken.h"
#include "UEmailAnzeige.h"

#include <QCheckBox>
#include <QDir>
#include <QJsonArray>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressDialog>
#include <QPushButton>
#include <QTimer>
#include <QtTest>

namespace {

QString BuildDir() {
    return qEnvironmentVariable("QV_BUILD_DIR",
                                QCoreApplication::applicationDirPath() + QStringLiteral("/.."));
}

QStringList Strings(const QJsonValue& v) {
    QStringList out;
    for (const QJsonValue& e : v.toArray())
        out << e.toString();
    return out;
}

QString Header(const QJsonObject& message, const char* name) {
    return Strings(message.value(QStringLiteral("headers")).toObject().value(QLatin1String(name))).join(u'|');
}

QJsonObject Part(const QJsonObject& message, int i) {
    return message.value(QStringLiteral("parts")).toArray().at(i).toObject();
}

const QString CloseQuestion = QStringLiteral("Soll die Rechnung abgeschlossen werden? \r\nACHTUNG: Danach "
                                             "können keine Änderungen mehr gemacht werden!");

} // namespace

class TestDruckMail : public QObject {
    Q_OBJECT

    TDatabaseFixture db;
    TDM* dm = nullptr;
    TDrucken* dialog = nullptr;
    std::unique_ptr<SmtpTestServer> server;
    // What the transport was handed, and the PDF file as it lay on disk then.
    QList<TMailMessage> handed;
    QByteArray pdfOnDisk;
    QString pdfPath;

    void exec(const QString& sql) { dm->SQLiteDB1.ExecSQL(sql); }
    int count(const QString& sql) { return QueryInt(dm->Query2, sql); }
    QString status(const QString& typ, int id) {
        dm->Query2.RunSQL(
            QStringLiteral("select Status from Kopf where KopfTyp = '%1' and KopfID = %2").arg(typ).arg(id));
        return dm->Query2.Fields(0)->AsString();
    }
    void document(const QString& typ, int id) {
        exec(QStringLiteral(
                 "insert into Kopf (KopfTyp,KopfID,Status,KundenID,KunGruID,Datum,DruDatID,Datum2,"
                 "SubkundenID,KopfBez,Netto,KopfTextVorPos,FussTextNachPos,KopfText,FussText) values "
                 "('%1',%2,'E',%3,1,'2026-03-24 10:00:00',2,'2026-04-01 00:00:00',0,'Bad','N','N',"
                 "'N','Kopf','Fuss')")
                 .arg(typ)
                 .arg(id)
                 .arg(typ == QLatin1String("B") ? 5 : 10));
        const QString k = QStringLiteral("'%1',%2").arg(typ).arg(id);
        exec("insert into PosDaten values (" + k + ",1,0,'Fliesen','Fliesen','N')");
        exec("insert into PosPreis values (" + k + ",1,1,null,null,3,2,10,0,20)");
    }
    void mailSettings(const QString& host, bool auth, const QString& password) {
        dm->SetAllg(QStringLiteral("MailHost"), host);
        dm->SetAllg(QStringLiteral("MailUser"), QStringLiteral("quorvent"));
        dm->SetAllg(QStringLiteral("MailPW"), password);
        dm->SetAllg(QStringLiteral("MailAuth"), auth ? QStringLiteral("J") : QStringLiteral("N"));
    }
    // Mailed only, not previewed.
    void mailDocument(const QString& typ, int id, bool kopie) {
        dialog->prepare(typ, id);
        FindWidget<QCheckBox>(dialog, "CBVorschau")->setChecked(false);
        FindWidget<QCheckBox>(dialog, "CBVersand")->setChecked(true);
        FindWidget<QCheckBox>(dialog, "CBKopie")->setChecked(kopie);
        QTest::mouseClick(FindWidget<QPushButton>(dialog, "BitBtnDrucken"), Qt::LeftButton);
    }
    QStringList pdfFilesLeft() const {
        return QDir(DataFolder())
            .entryList({QStringLiteral("*.pdf"), QStringLiteral("*.tmp")}, QDir::Files | QDir::Hidden);
    }

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void mailToPartner_data();
    void mailToPartner();
    void failedSend_data();
    void failedSend();
    void showBeforeSending_data();
    void showBeforeSending();
    void busyWindowCanGiveUp();
    void xrechnungBesidePdf();
};

void TestDruckMail::initTestCase() {
    qputenv("CUPS_SERVER", "/nonexistent/cups.sock");
    PinGermanLocale();
    server = std::make_unique<SmtpTestServer>();
    QVERIFY2(server->ok(), "the SMTP test server (python3-aiosmtpd) does not run");
    db.BuildTemplate([](TSQLiteDB& base) {
        base.ExecSQL(QStringLiteral("insert into Anrede (AnredeID, AnredeBez) values (5, 'Herrn')"));
        base.ExecSQL(QStringLiteral(
            "insert into Kunde (KundenID,AnredeID,TitelID,Firma,Nachname,Vorname,Strasse,PLZ,Ort,LandID,"
            "KunGruID,Aktiv,KonzernID,HaendlerID,Email) values (10,4,1,'Alpen Bau','Öztürk','Hans',"
            "'Hauptstraße 1','6020','Innsbruck',2,1,'J',0,0,'hans@alpenbau.at')"));
        base.ExecSQL(QStringLiteral(
            "insert into Lieferant (LieferantenID,Firma,Strasse,PLZ,Ort,LandID,LieGruID,AnspAnredeID,"
            "AnspTitelID,AnspNachname,Aktiv,AnspEmail) values (5,'Holz AG','Waldweg 2','80331','München',3,1,"
            "3,1,'Huber','J','einkauf@holz.de')"));
        base.ExecSQL(QStringLiteral(
            "update Geschaeft set Name = 'Tischlerei Brenholm & Söhne', Strasse = 'Werkstraße 5', PLZ = "
            "'6020', Ort = 'Innsbruck', Telefon = '0512 1', Fax = '', Mobil = null, Web = null, Email = "
            "'buero@brenholm.at', MailText = 'Erste Zeile' || char(13) || char(10) || 'Zweite Zeile mit "
            "Gruß'"));
    });
    SetReportDefinitionFile(BuildDir() + QStringLiteral("/Quorvent.rav"));
    QVERIFY2(QFile::exists(ReportDefinitionFile()), qPrintable(ReportDefinitionFile()));
    DruckMailTransport = [this](const TSmtpSettings& settings, const TMailMessage& message) {
        handed << message;
        QFile f(pdfPath);
        pdfOnDisk = f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
        TSmtpSettings quick = settings;
        quick.ConnectTimeoutSeconds = 5;
        quick.TotalTimeoutSeconds = 20;
        return SendMailWithProgress(quick, message);
    };
    TDrucken::SendMail = SendDocumentMail;
    TReport::PreviewRunner() = [](QDialog&) {};
}

void TestDruckMail::init() {
    QVERIFY(db.Open());
    dm = db.dm;
    dialog = new TDrucken;
    handed.clear();
    pdfOnDisk.clear();
    mailSettings(server->host(), true, QStringLiteral("geheim"));
}

void TestDruckMail::cleanup() {
    delete dialog;
    dialog = nullptr;
    db.Close();
}

void TestDruckMail::mailToPartner_data() {
    QTest::addColumn<QString>("typ");
    QTest::addColumn<int>("anredeId"); // the customer's; 0 keeps the data as it is
    QTest::addColumn<bool>("kopie");
    QTest::addColumn<QString>("to");
    QTest::addColumn<QString>("subject");
    QTest::addColumn<QString>("salutation");
    QTest::addColumn<QString>("phrase");
    const QString invoice = QStringLiteral("hiermit übersenden wir Ihnen die Rechnung in der Anlage.");
    const QString herr = QStringLiteral("Sehr geehrter Herr Öztürk,");
    const QString kunde = QStringLiteral("hans@alpenbau.at");
    QTest::newRow("invoice to a Herr, with copy")
        << "R" << 4 << true << kunde << "RechnungsNr. 17" << herr << invoice;
    QTest::newRow("Herrn greets like Herr")
        << "R" << 5 << false << kunde << "RechnungsNr. 17" << herr << invoice;
    QTest::newRow("Frau") << "L" << 3 << false << kunde << "LieferscheinNr. 17"
                          << "Sehr geehrte Frau Öztürk,"
                          << "hiermit übersenden wir Ihnen den Lieferschein in der Anlage.";
    QTest::newRow("a firm") << "O" << 2 << false << kunde << "AngebotsNr. 17"
                            << "Sehr geehrte Damen und Herren,"
                            << "hiermit übersenden wir Ihnen das Angebot in der Anlage.";
    QTest::newRow("purchase order to the supplier contact")
        << "B" << 0 << true << "einkauf@holz.de"
        << "BestellungsNr. 17"
        << "Sehr geehrte Frau Huber,"
        << "hiermit übersenden wir Ihnen die Bestellung in der Anlage.";
}

void TestDruckMail::mailToPartner() {
    QFETCH(QString, typ);
    QFETCH(int, anredeId);
    QFETCH(bool, kopie);
    QFETCH(QString, to);
    QFETCH(QString, phrase);
    document(typ, 17);
    if (anredeId)
        exec(QStringLiteral("update Kunde set AnredeID = %1 where KundenID = 10").arg(anredeId));
    pdfPath = DataFolder() + typ + QStringLiteral("17.pdf");
    if (typ == QLatin1String("R"))
        db.messages->answers.enqueue(Messages::No);
    const int before = server->messageCount();

    mailDocument(typ, 17, kopie);

    QStringList boxes{QStringLiteral("Email-Versand wurde erfolgreich durchgeführt!")};
    if (typ == QLatin1String("R"))
        boxes << CloseQuestion;
    QCOMPARE(db.messages->texts(), boxes);
    QCOMPARE(server->messageCount(), before + 1);
    const QJsonObject got = server->message(before + 1);
    QStringList envelope{to};
    if (kopie)
        envelope << QStringLiteral("buero@brenholm.at");
    QCOMPARE(Strings(got.value(QStringLiteral("rcpt_tos"))), envelope);
    QVERIFY(got.value(QStringLiteral("authenticated")).toBool());
    QCOMPARE(Header(got, "to"), to);
    QVERIFY(Header(got, "bcc").isEmpty());
    QCOMPARE(Header(got, "from"), QStringLiteral("Tischlerei Brenholm & Söhne <buero@brenholm.at>"));
    QTEST(Header(got, "subject"), "subject");

    const QStringList lines = Part(got, 0)
                                  .value(QStringLiteral("text"))
                                  .toString()
                                  .replace(QStringLiteral("\r\n"), QStringLiteral("\n"))
                                  .split(u'\n');
    QTEST(lines.value(0), "salutation");
    QCOMPARE(lines.value(1), QString());
    QCOMPARE(lines.value(2), phrase);
    QCOMPARE(lines.mid(3, 10),
             QStringList({"", "", "Erste Zeile", "Zweite Zeile mit Gruß", "", "", "Mit freundlichen Grüßen",
                          "", "Tischlerei Brenholm & Söhne", "Werkstraße 5"}));
    // Empty phone lines stay, an empty web address is left out.
    QCOMPARE(lines.mid(13), QStringList({"6020 Innsbruck", "Tel.: 0512 1", "Fax: ", "Mobil: "}));

    // The attachment is the PDF as it was rendered, and the file is gone.
    const QJsonObject pdf = Part(got, 1);
    QCOMPARE(pdf.value(QStringLiteral("content_type")).toString(), QStringLiteral("application/pdf"));
    QCOMPARE(pdf.value(QStringLiteral("filename")).toString(), typ + QStringLiteral("17.pdf"));
    const QByteArray arrived =
        QByteArray::fromBase64(pdf.value(QStringLiteral("base64")).toString().toLatin1());
    QVERIFY(arrived.startsWith("%PDF"));
    QCOMPARE(arrived, pdfOnDisk);
    QCOMPARE(pdfFilesLeft(), QStringList());
    QCOMPARE(count(QStringLiteral("select count(*) from Ausdruck")), 0);
    QCOMPARE(status(typ, 17), QStringLiteral("D"));
}

void TestDruckMail::failedSend_data() {
    QTest::addColumn<QString>("host"); // "server", "dead" or a host text
    QTest::addColumn<QString>("user");
    QTest::addColumn<QString>("password");
    QTest::addColumn<QString>("message");
    QTest::addColumn<bool>("rendered");
    const QString settings =
        QStringLiteral("Bitte überprüfen Sie Ihre Mail-Einstellungen unter Einstellungen - Allgemein!");
    for (const auto& [tag, host, user, password, message, rendered] :
         {std::tuple{"no server", "", "quorvent", "geheim", settings, false},
          {"no user", "server", "", "geheim", settings, false},
          {"login refused", "server", "quorvent", "falsch",
           QStringLiteral("Der Mail-Server hat die Anmeldung abgelehnt"), true},
          {"nobody listens", "dead", "quorvent", "geheim", QStringLiteral("Keine Verbindung zum Mail-Server"),
           true}})
        QTest::newRow(tag) << QString::fromLatin1(host) << QString::fromLatin1(user)
                           << QString::fromLatin1(password) << message << rendered;
}

void TestDruckMail::failedSend() {
    QFETCH(QString, host);
    QFETCH(QString, user);
    QFETCH(QString, password);
    QFETCH(QString, message);
    QFETCH(bool, rendered);
    int deadPort = 0;
    if (host == QLatin1String("dead")) {
        SmtpTestServer gone;
        deadPort = gone.port();
    }
    mailSettings(host == QLatin1String("server") ? server->host()
                 : host == QLatin1String("dead") ? QStringLiteral("127.0.0.1:%1").arg(deadPort)
                                                 : host,
                 true, password);
    dm->SetAllg(QStringLiteral("MailUser"), user);
    document(QStringLiteral("R"), 17);
    pdfPath = DataFolder() + QStringLiteral("R17.pdf");
    const int before = server->messageCount();

    mailDocument(QStringLiteral("R"), 17, true);

    // One box, the reason; no close question after a mail that did not go out.
    QCOMPARE(db.messages->boxes.size(), 1);
    QVERIFY2(db.messages->lastText().contains(message), qPrintable(db.messages->lastText()));
    QCOMPARE(db.messages->boxes.last().kind, rendered ? Messages::Error : Messages::Warning);
    QCOMPARE(handed.size(), rendered ? 1 : 0);
    QCOMPARE(server->messageCount(), before);
    // Nothing half-done stays: no PDF, no buffer rows.
    QCOMPARE(pdfFilesLeft(), QStringList());
    QCOMPARE(count(QStringLiteral("select count(*) from Ausdruck")), 0);
}

void TestDruckMail::showBeforeSending_data() {
    QTest::addColumn<bool>("senden");
    QTest::newRow("Senden: the mail goes out with the text as edited") << true;
    QTest::newRow("Abbrechen: nothing is rendered or sent") << false;
}

void TestDruckMail::showBeforeSending() {
    QFETCH(bool, senden);
    document(QStringLiteral("R"), 17);
    pdfPath = DataFolder() + QStringLiteral("R17.pdf");
    const int before = server->messageCount();
    const QString edited = QStringLiteral("Geänderter Text\nnur für diese Mail");
    QStringList shown;
    QTimer::singleShot(0, [&] {
        auto* view = qobject_cast<TEmailAnzeige*>(QApplication::activeModalWidget());
        if (!view)
            return;
        for (const char* name : {"EditAn", "EditBlindkopie", "EditBetreff", "EditAnhang"})
            shown << FindWidget<QLineEdit>(view, name)->text();
        auto* text = FindWidget<QPlainTextEdit>(view, "MemoText");
        shown << text->toPlainText().section(u'\n', 0, 0);
        text->setPlainText(edited);
        QTest::mouseClick(FindWidget<QPushButton>(view, senden ? "BitBtnSenden" : "BitBtnAbbrechen"),
                          Qt::LeftButton);
    });
    // "Anzeigen…" answers as the third button.
    db.messages->answers << Messages::Cancel << Messages::No;
    dialog->prepare(QStringLiteral("R"), 17);
    FindWidget<QCheckBox>(dialog, "CBVorschau")->setChecked(true);
    FindWidget<QCheckBox>(dialog, "CBVersand")->setChecked(true);
    FindWidget<QCheckBox>(dialog, "CBKopie")->setChecked(true);
    QTest::mouseClick(FindWidget<QPushButton>(dialog, "BitBtnDrucken"), Qt::LeftButton);

    QCOMPARE(shown, QStringList({"hans@alpenbau.at", "Tischlerei Brenholm & Söhne <buero@brenholm.at>",
                                 "RechnungsNr. 17", "R17.pdf", "Sehr geehrter Herr Öztürk,"}));
    QStringList boxes{QStringLiteral("Soll die Rechnung per Email versendet werden?")};
    if (senden)
        boxes << QStringLiteral("Email-Versand wurde erfolgreich durchgeführt!");
    QCOMPARE(db.messages->texts(), boxes << CloseQuestion);
    QCOMPARE(server->messageCount(), before + (senden ? 1 : 0));
    QCOMPARE(handed.size(), senden ? 1 : 0);
    if (senden) {
        const QJsonObject got = server->message(before + 1);
        QCOMPARE(Part(got, 0)
                     .value(QStringLiteral("text"))
                     .toString()
                     .replace(QStringLiteral("\r\n"), QStringLiteral("\n")),
                 edited);
        QCOMPARE(Part(got, 1).value(QStringLiteral("filename")).toString(), QStringLiteral("R17.pdf"));
    }
    QCOMPARE(pdfFilesLeft(), QStringList());
}

void TestDruckMail::busyWindowCanGiveUp() {
    // A server that takes the connection and never says a word.
    QProcess silent;
    silent.start(
        QStringLiteral("/usr/bin/python3"),
        {QStringLiteral("-c"), QStringLiteral("import socket,sys\ns=socket.socket()\n"
                                              "s.bind(('127.0.0.1',0))\ns.listen()\n"
                                              "print(s.getsockname()[1],flush=True)\nsys.stdin.read()")});
    QVERIFY(silent.waitForReadyRead(10000));
    const int port = silent.readLine().trimmed().toInt();
    QVERIFY(port > 0);

    TSmtpSettings settings;
    settings.Host = QStringLiteral("127.0.0.1:%1").arg(port);
    TMailMessage message;
    message.From = {QStringLiteral("Brenholm"), QStringLiteral("buero@brenholm.at")};
    message.To = {{QString(), QStringLiteral("kunde@example.de")}};
    bool seen = false;
    // The window is there and answers while the transport waits; "Abbrechen" ends the wait.
    QTimer::singleShot(300, [&seen] {
        auto* progress = qobject_cast<QProgressDialog*>(QApplication::activeModalWidget());
        if (!progress)
            return;
        seen = progress->isVisible();
        const auto buttons = progress->findChildren<QPushButton*>();
        if (!buttons.isEmpty())
            QTest::mouseClick(buttons.first(), Qt::LeftButton);
    });
    QElapsedTimer clock;
    clock.start();
    const TSmtpResult r = SendMailWithProgress(settings, message);
    QVERIFY(seen);
    QVERIFY(!r.Ok);
    QVERIFY2(r.Error.contains(QStringLiteral("abgebrochen")), qPrintable(r.Error));
    QVERIFY(clock.elapsed() < 10000);
    silent.closeWriteChannel();
    silent.waitForFinished(5000);
}

// A customer who takes XRechnung gets the XML beside a plain PDF; the
// dialog says so, and a missing piece stops the mail before anything is sent.
void TestDruckMail::xrechnungBesidePdf() {
    TDM::FormattedTextPlain = &Rtf::PlainText;
    document(QStringLiteral("R"), 17);
    dm->SetAllg(QStringLiteral("FirmaLand"), QStringLiteral("AT"));
    exec(QStringLiteral("update Geschaeft set UIDNr = 'ATU12345678', IBAN1 = 'AT611904300234573201'"));
    SchreibeKundeERechnung(*dm, 10, {QStringLiteral("04011000-12345-03"), QStringLiteral("X")});
    pdfPath = DataFolder() + QStringLiteral("R17.pdf");

    const int before = server->messageCount();
    mailDocument(QStringLiteral("R"), 17, false);
    QCOMPARE(FindWidget<QLabel>(dialog, "LabERechnungFormat")->text(),
             QStringLiteral("E-Rechnung des Kunden: XRechnung (als XML-Datei zur Email)"));
    QCOMPARE(
        db.messages->texts(),
        QStringList{QStringLiteral("Für eine E-Rechnung fehlt: Ansprechpartner der Firma (Firmendaten)")});
    QCOMPARE(server->messageCount(), before);

    db.messages->clear();
    dm->SetAllg(QStringLiteral("FirmaKontakt"), QStringLiteral("Anna Brenner"));
    db.messages->answers.enqueue(Messages::No);
    mailDocument(QStringLiteral("R"), 17, false);
    QCOMPARE(db.messages->texts(),
             (QStringList{QStringLiteral("Email-Versand wurde erfolgreich durchgeführt!"), CloseQuestion}));
    QCOMPARE(server->messageCount(), before + 1);
    const QJsonObject got = server->message(before + 1);
    const QJsonObject pdf = Part(got, 1), xml = Part(got, 2);
    QCOMPARE(pdf.value(QStringLiteral("filename")).toString(), QStringLiteral("R17.pdf"));
    QVERIFY(!QByteArray::fromBase64(pdf.value(QStringLiteral("base64")).toString().toLatin1())
                 .contains("factur-x.xml"));
    QCOMPARE(xml.value(QStringLiteral("filename")).toString(), QStringLiteral("xrechnung-17.xml"));
    QCOMPARE(xml.value(QStringLiteral("content_type")).toString(), QStringLiteral("application/xml"));
    const QByteArray arrived =
        QByteArray::fromBase64(xml.value(QStringLiteral("base64")).toString().toLatin1());
    QVERIFY2(arrived.contains("urn:xeinkauf.de:kosit:xrechnung_3.0") &&
                 arrived.contains("<ram:BuyerReference>04011000-12345-03</ram:BuyerReference>"),
             arrived.constData());
}

QTEST_MAIN(TestDruckMail)
#include "tst_druckmail.moc"
