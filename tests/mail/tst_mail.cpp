// The MIME message and the SMTP transport against a real SMTP server; what
// arrived is read back with Python's email package, as a mail program would.
#include "MailMessage.h"
#include "SmtpTestServer.h"
#include "SmtpTransport.h"

#include <QtTest>

#include <QJsonArray>

namespace {

TMailMessage SampleMessage() {
    TMailMessage m;
    m.From = {QStringLiteral("Brenholm GmbH"), QStringLiteral("buero@brenholm.de")};
    m.To = {{QString(), QStringLiteral("kunde@example.de")}};
    m.Subject = QStringLiteral("RechnungsNr. 17");
    m.Body = QStringLiteral("Sehr geehrte Damen und Herren,\n\nhiermit übersenden wir Ihnen die Rechnung.");
    return m;
}

QStringList Strings(const QJsonValue& v) {
    QStringList out;
    for (const QJsonValue& e : v.toArray())
        out << e.toString();
    return out;
}

QJsonObject Part(const QJsonObject& message, int i) {
    return message.value(QStringLiteral("parts")).toArray().at(i).toObject();
}

QString Header(const QJsonObject& message, const char* name) {
    return Strings(message.value(QStringLiteral("headers")).toObject().value(QLatin1String(name))).join(u'|');
}

} // namespace

class TestMail : public QObject {
    Q_OBJECT

    std::unique_ptr<SmtpTestServer> FServer;

    TSmtpSettings Settings(bool auth = false, const QString& password = QStringLiteral("geheim")) const {
        TSmtpSettings s;
        s.Host = FServer->host();
        s.Auth = auth;
        s.User = QStringLiteral("quorvent");
        s.Password = password;
        s.ConnectTimeoutSeconds = 5;
        s.TotalTimeoutSeconds = 20;
        return s;
    }

private slots:
    void initTestCase() {
        FServer = std::make_unique<SmtpTestServer>();
        QVERIFY2(FServer->ok(), "the SMTP test server (python3-aiosmtpd) does not run");
    }
    void cleanupTestCase() { FServer.reset(); }

    void parseHost_data();
    void parseHost();
    void contentArrivesIntact_data();
    void contentArrivesIntact();
    void blindCopyOnlyInEnvelope();
    void headerInjectionStripped();
    void attachmentByteIdentical();
    void login_data();
    void login();
    void deadPort();
    void startTlsWhenOffered_data();
    void startTlsWhenOffered();
    void quotedPrintableLines();
};

void TestMail::parseHost_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<QString>("host");
    QTest::addColumn<int>("port");
    QTest::newRow("name alone is port 25") << "mail.example.de" << true << "mail.example.de" << 25;
    QTest::newRow("submission port") << "mail.example.de:587" << true << "mail.example.de" << 587;
    QTest::newRow("blanks around") << "  smtp.web.de  " << true << "smtp.web.de" << 25;
    QTest::newRow("ipv6 with port") << "[::1]:2525" << true << "[::1]" << 2525;
    QTest::newRow("empty") << "" << false << "" << 0;
    QTest::newRow("port zero") << "host:0" << false << "" << 0;
    QTest::newRow("port too big") << "host:70000" << false << "" << 0;
    QTest::newRow("port not a number") << "host:smtp" << false << "" << 0;
    QTest::newRow("blank inside") << "mail example.de" << false << "" << 0;
    QTest::newRow("a path would change the url") << "host/evil" << false << "" << 0;
    QTest::newRow("user part would change the url") << "user@host" << false << "" << 0;
    QTest::newRow("line break") << "host\r\nRSET" << false << "" << 0;
}

void TestMail::parseHost() {
    QFETCH(QString, text);
    QFETCH(bool, valid);
    QString parsedHost;
    int parsedPort = 0;
    QCOMPARE(ParseSmtpHost(text, &parsedHost, &parsedPort), valid);
    if (valid) {
        QTEST(parsedHost, "host");
        QTEST(parsedPort, "port");
    }
}

void TestMail::contentArrivesIntact_data() {
    QTest::addColumn<QString>("fromName");
    QTest::addColumn<QString>("subject");
    QTest::addColumn<QString>("body");
    QTest::newRow("plain ascii") << "Brenholm GmbH"
                                 << "RechnungsNr. 17"
                                 << "Sehr geehrte Damen und Herren,\n\nDanke.";
    QTest::newRow("umlauts and sharp s everywhere")
        << "Müller & Söhne Größenwahn"
        << "Auftragsbestätigung Nr. 4 für Jürgen"
        << "Sehr geehrter Herr Öztürk,\n\nMit freundlichen Grüßen\nStraße 5, 12345 Düsseldorf";
    QTest::newRow("special characters in the name") << "Meier, Schulz & Co. \"Bau\""
                                                    << "Angebot <1>"
                                                    << "Zeile";
    QTest::newRow("long subject and long lines")
        << "Ä" << QString(40, QChar(u'ä')) + QStringLiteral(" Ende des Betreffs")
        << QString(200, QChar(u'x')) + QStringLiteral("\n") + QString(100, QChar(u'ö')) +
               QStringLiteral(" \n.");
    QTest::newRow("dots, blanks at line ends, equals signs")
        << "Firma"
        << "a =?utf-8?q?x?= b"
        << ".\n..Punkt\nEnde mit Leerzeichen   \n=3D ist kein Code\n\tTab";
}

void TestMail::contentArrivesIntact() {
    QFETCH(QString, fromName);
    QFETCH(QString, subject);
    QFETCH(QString, body);
    TMailMessage m = SampleMessage();
    m.From.Name = fromName;
    m.Subject = subject;
    m.Body = body;
    const int before = FServer->messageCount();
    const TSmtpResult r = SendSmtpMail(Settings(), m);
    QVERIFY2(r.Ok, qPrintable(r.Error));
    const QJsonObject got = FServer->message(before + 1);
    QVERIFY(!got.isEmpty());
    QVERIFY2(got.value(QStringLiteral("defects")).toArray().isEmpty(),
             qPrintable(QString::fromUtf8(FServer->rawMessage(before + 1))));
    QCOMPARE(Header(got, "subject"), subject);
    QCOMPARE(Header(got, "from"),
             (fromName.contains(u',') || fromName.contains(u'"')
                  ? QStringLiteral("\"%1\"").arg(QString(fromName).replace(u'"', QStringLiteral("\\\"")))
                  : fromName) +
                 QStringLiteral(" <buero@brenholm.de>"));
    QCOMPARE(Header(got, "to"), QStringLiteral("kunde@example.de"));
    QVERIFY(got.value(QStringLiteral("date_valid")).toBool());
    QVERIFY(Header(got, "message-id").contains(QStringLiteral("@brenholm.de>")));
    QCOMPARE(got.value(QStringLiteral("content_type")).toString(), QStringLiteral("multipart/mixed"));
    const QJsonObject text = Part(got, 0);
    QCOMPARE(text.value(QStringLiteral("content_type")).toString(), QStringLiteral("text/plain"));
    QCOMPARE(text.value(QStringLiteral("charset")).toString(), QStringLiteral("utf-8"));
    // The text arrives with CR LF made LF by the reader; nothing else changed.
    QString arrived = text.value(QStringLiteral("text")).toString();
    arrived.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    if (arrived.endsWith(u'\n'))
        arrived.chop(1);
    QCOMPARE(arrived, body);
    // Only seven-bit lines of at most 78 characters travel.
    const QByteArray raw = FServer->rawMessage(before + 1);
    for (const QByteArray& line : raw.split('\n')) {
        QVERIFY2(line.size() <= 79, line.constData());
        for (const char c : line)
            QVERIFY(static_cast<uchar>(c) < 0x80);
    }
}

void TestMail::blindCopyOnlyInEnvelope() {
    TMailMessage m = SampleMessage();
    m.Bcc = {{QStringLiteral("Brenholm GmbH"), QStringLiteral("buero@brenholm.de")}};
    const int before = FServer->messageCount();
    const TSmtpResult r = SendSmtpMail(Settings(), m);
    QVERIFY2(r.Ok, qPrintable(r.Error));
    const QJsonObject got = FServer->message(before + 1);
    QCOMPARE(Strings(got.value(QStringLiteral("rcpt_tos"))),
             QStringList({QStringLiteral("kunde@example.de"), QStringLiteral("buero@brenholm.de")}));
    QCOMPARE(got.value(QStringLiteral("mail_from")).toString(), QStringLiteral("buero@brenholm.de"));
    QVERIFY(Header(got, "bcc").isEmpty());
    QVERIFY(Header(got, "cc").isEmpty());
    QCOMPARE(Header(got, "to"), QStringLiteral("kunde@example.de"));
}

void TestMail::headerInjectionStripped() {
    TMailMessage m = SampleMessage();
    m.To = {{QStringLiteral("Kunde\r\nBcc: spion@evil.de"),
             QStringLiteral("kunde@example.de\r\nRCPT TO:<spion@evil.de>")}};
    m.From.Name = QStringLiteral("Firma\nX-Injected: 1");
    m.Subject = QStringLiteral("Rechnung\r\nBcc: spion@evil.de");
    const int before = FServer->messageCount();
    const TSmtpResult r = SendSmtpMail(Settings(), m);
    // The mangled address may be refused; what matters is that nobody else got it
    // and no header was added.
    if (r.Ok) {
        const QJsonObject got = FServer->message(before + 1);
        for (const QString& rcpt : Strings(got.value(QStringLiteral("rcpt_tos"))))
            QVERIFY2(!rcpt.contains(QStringLiteral("spion")) || rcpt.startsWith(QStringLiteral("kunde@")),
                     qPrintable(rcpt));
        QVERIFY(Header(got, "bcc").isEmpty());
        QVERIFY(Header(got, "x-injected").isEmpty());
        QCOMPARE(Header(got, "subject"), QStringLiteral("RechnungBcc: spion@evil.de"));
    }
    QVERIFY(FServer->messageCount() <= before + 1);
    const QByteArray raw = FServer->rawMessage(before + 1);
    QVERIFY(!raw.contains("\r\nBcc:"));
    QVERIFY(!raw.contains("\nX-Injected"));
}

void TestMail::attachmentByteIdentical() {
    QByteArray pdf = "%PDF-1.4\n";
    for (int i = 0; i < 5000; ++i)
        pdf += char(i % 256);
    pdf += "\r\n.\r\n%%EOF";
    TMailMessage m = SampleMessage();
    m.Attachments = {{QStringLiteral("R17.pdf"), "application/pdf", pdf}};
    const int before = FServer->messageCount();
    const TSmtpResult r = SendSmtpMail(Settings(), m);
    QVERIFY2(r.Ok, qPrintable(r.Error));
    const QJsonObject part = Part(FServer->message(before + 1), 1);
    QCOMPARE(part.value(QStringLiteral("content_type")).toString(), QStringLiteral("application/pdf"));
    QCOMPARE(part.value(QStringLiteral("filename")).toString(), QStringLiteral("R17.pdf"));
    QCOMPARE(part.value(QStringLiteral("disposition")).toString(), QStringLiteral("attachment"));
    QCOMPARE(QByteArray::fromBase64(part.value(QStringLiteral("base64")).toString().toLatin1()), pdf);
}

void TestMail::login_data() {
    QTest::addColumn<bool>("auth");
    QTest::addColumn<QString>("password");
    QTest::addColumn<bool>("sent");
    QTest::newRow("right password") << true << "geheim" << true;
    QTest::newRow("wrong password") << true << "falsch" << false;
    QTest::newRow("no login wanted") << false << "" << true;
}

void TestMail::login() {
    QFETCH(bool, auth);
    QFETCH(QString, password);
    QFETCH(bool, sent);
    const int before = FServer->messageCount();
    const TSmtpResult r = SendSmtpMail(Settings(auth, password), SampleMessage());
    QCOMPARE(r.Ok, sent);
    QCOMPARE(FServer->messageCount(), before + (sent ? 1 : 0));
    if (sent) {
        QCOMPARE(FServer->message(before + 1).value(QStringLiteral("authenticated")).toBool(), auth);
    } else {
        QVERIFY2(r.Error.contains(QStringLiteral("Anmeldung abgelehnt")), qPrintable(r.Error));
        // The server's own answer is part of the text.
        QVERIFY2(r.Error.contains(QStringLiteral("Antwort des Servers: 535")), qPrintable(r.Error));
    }
}

void TestMail::deadPort() {
    // A port just freed by a closed server: nobody listens there.
    int deadPort = 0;
    {
        SmtpTestServer gone;
        QVERIFY(gone.ok());
        deadPort = gone.port();
    }
    TSmtpSettings s = Settings();
    s.Host = QStringLiteral("127.0.0.1:%1").arg(deadPort);
    QElapsedTimer clock;
    clock.start();
    const TSmtpResult r = SendSmtpMail(s, SampleMessage());
    QVERIFY(!r.Ok);
    QVERIFY2(r.Error.startsWith(QStringLiteral("Der E-Mail-Versand ist fehlgeschlagen.\nKeine Verbindung zum "
                                               "Mail-Server \"127.0.0.1\" möglich.")),
             qPrintable(r.Error));
    QVERIFY(clock.elapsed() < 5000);
}

void TestMail::startTlsWhenOffered_data() {
    QTest::addColumn<bool>("trusted");
    QTest::newRow("certificate trusted: encrypted, then login") << true;
    QTest::newRow("certificate not trusted: nothing sent") << false;
}

void TestMail::startTlsWhenOffered() {
    QFETCH(bool, trusted);
    SmtpTestServer tlsServer(QStringLiteral("quorvent"), QStringLiteral("geheim"), true);
    QVERIFY(tlsServer.ok());
    TSmtpSettings s = Settings(true);
    s.Host = tlsServer.host();
    if (trusted)
        s.CaFile = tlsServer.certificateFile();
    const TSmtpResult r = SendSmtpMail(s, SampleMessage());
    QCOMPARE(r.Ok, trusted);
    QCOMPARE(tlsServer.messageCount(), trusted ? 1 : 0);
    if (trusted) {
        QVERIFY(tlsServer.message(1).value(QStringLiteral("tls")).toBool());
        QVERIFY(tlsServer.message(1).value(QStringLiteral("authenticated")).toBool());
    } else {
        QVERIFY2(r.Error.contains(QStringLiteral("verschlüsselte Verbindung")), qPrintable(r.Error));
    }
}

void TestMail::quotedPrintableLines() {
    // Soft breaks keep every line at 76 characters and never split an escape.
    const QByteArray encoded = EncodeQuotedPrintable(QString(100, QChar(u'ü')).toUtf8() + " \n");
    for (const QByteArray& line : encoded.split('\n')) {
        const QByteArray l = line.endsWith('\r') ? line.chopped(1) : line;
        QVERIFY(l.size() <= 76);
        const qsizetype eq = l.lastIndexOf('=');
        QVERIFY(eq < 0 || eq == l.size() - 1 || eq <= l.size() - 3);
    }
    QVERIFY(encoded.endsWith("=20\r\n"));
}

QTEST_GUILESS_MAIN(TestMail)
#include "tst_mail.moc"
