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

    // Sends with the default settings; what the server received (empty if the send failed).
    QJsonObject Send(const TMailMessage& m, QByteArray* raw = nullptr) {
        const int before = FServer->messageCount();
        const TSmtpResult r = SendSmtpMail(Settings(), m);
        [&] { QVERIFY2(r.Ok, qPrintable(r.Error)); }();
        if (raw)
            *raw = FServer->rawMessage(before + 1);
        return r.Ok ? FServer->message(before + 1) : QJsonObject();
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
    void headerValuesStayOneLine_data();
    void headerValuesStayOneLine();
    void encodedWordsHoldWholeCharacters_data();
    void encodedWordsHoldWholeCharacters();
    void recipients_data();
    void recipients();
    void attachmentByteIdentical();
    void login_data();
    void login();
    void deadPort();
    void localNetworkAddress_data();
    void localNetworkAddress();
    void encryption_data();
    void encryption();
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
    QTest::newRow("port not a number") << "host:smtp" << false << "" << 0;
    QTest::newRow("blank inside") << "mail example.de" << false << "" << 0;
    QTest::newRow("a path would change the url") << "host/evil" << false << "" << 0;
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
    QByteArray raw;
    const QJsonObject got = Send(m, &raw);
    QVERIFY(!got.isEmpty());
    QVERIFY2(got.value(QStringLiteral("defects")).toArray().isEmpty(), raw.constData());
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
    for (const QByteArray& line : raw.split('\n')) {
        QVERIFY2(line.size() <= 79, line.constData());
        for (const char c : line)
            QVERIFY(static_cast<uchar>(c) < 0x80);
    }
}

void TestMail::blindCopyOnlyInEnvelope() {
    TMailMessage m = SampleMessage();
    m.Bcc = {{QStringLiteral("Brenholm GmbH"), QStringLiteral("buero@brenholm.de")}};
    const QJsonObject got = Send(m);
    QCOMPARE(Strings(got.value(QStringLiteral("rcpt_tos"))),
             QStringList({QStringLiteral("kunde@example.de"), QStringLiteral("buero@brenholm.de")}));
    QCOMPARE(got.value(QStringLiteral("mail_from")).toString(), QStringLiteral("buero@brenholm.de"));
    QVERIFY(Header(got, "bcc").isEmpty());
    QVERIFY(Header(got, "cc").isEmpty());
    QCOMPARE(Header(got, "to"), QStringLiteral("kunde@example.de"));
}

void TestMail::headerValuesStayOneLine_data() {
    QTest::addColumn<QString>("lineEnd");
    QTest::newRow("CR LF") << "\r\n";
    QTest::newRow("LF alone") << "\n";
    QTest::newRow("CR alone") << "\r";
}

void TestMail::headerValuesStayOneLine() {
    QFETCH(QString, lineEnd);
    const QString injected = lineEnd + QStringLiteral("Bcc: spion@evil.de");
    TMailMessage m = SampleMessage();
    m.From.Name = QStringLiteral("Firma") + injected;
    m.To = {{QStringLiteral("Kunde") + injected, QStringLiteral("kunde@example.de")}};
    m.Subject = QStringLiteral("Rechnung") + injected;
    m.Mailer = QStringLiteral("Quorvent") + injected;
    m.Attachments = {
        {QStringLiteral("R17.pdf") + injected, "application/pdf" + lineEnd.toLatin1() + "X: 1", "%PDF"}};
    QByteArray raw;
    const QJsonObject got = Send(m, &raw);
    QCOMPARE(Strings(got.value(QStringLiteral("rcpt_tos"))), QStringList{QStringLiteral("kunde@example.de")});
    QCOMPARE(Header(got, "subject"), QStringLiteral("RechnungBcc: spion@evil.de"));
    // Every header line as it arrived, the attachment's included: a line
    // break only as CR LF followed by a blank (folding), and no header the
    // program did not write.
    const QByteArray boundary = "--=_Quorvent_";
    QList<QByteArray> heads{raw.left(raw.indexOf("\r\n\r\n"))};
    for (qsizetype at = raw.indexOf(boundary); at >= 0; at = raw.indexOf(boundary, at + 1)) {
        const qsizetype from = raw.indexOf("\r\n", at) + 2;
        heads << raw.mid(from, raw.indexOf("\r\n\r\n", at) - from);
    }
    const QList<QByteArray> known = QByteArray("from to subject date message-id mime-version x-mailer "
                                               "content-type content-transfer-encoding content-disposition")
                                        .split(' ');
    for (const QByteArray& head : heads) {
        for (const QByteArray& line : head.split('\n')) {
            const QByteArray l = line.endsWith('\r') ? line.chopped(1) : line;
            QVERIFY2(!l.contains('\r'), l.constData());
            if (l.isEmpty() || l.startsWith(' ') || l.startsWith('\t'))
                continue;
            QVERIFY2(known.contains(l.left(l.indexOf(':')).toLower()), l.constData());
        }
    }
}

void TestMail::encodedWordsHoldWholeCharacters_data() {
    QTest::addColumn<QString>("subject");
    QTest::newRow("two-byte characters") << QString(60, QChar(u'ä'));
    QTest::newRow("three-byte characters") << QString(40, QChar(u'€'));
    QTest::newRow("four-byte characters") << QStringLiteral("😀").repeated(30);
    QTest::newRow("shifted by one byte") << QStringLiteral("x") + QStringLiteral("ä€😀").repeated(30);
}

void TestMail::encodedWordsHoldWholeCharacters() {
    QFETCH(QString, subject);
    TMailMessage m = SampleMessage();
    m.Subject = subject;
    const QByteArray raw = BuildMimeMessage(m);
    const qsizetype at = raw.indexOf("\r\nSubject: ") + 11;
    QByteArray value = raw.mid(at, raw.indexOf("\r\nDate:", at) - at);
    value.replace("\r\n ", " ");
    // Each encoded word is a whole text of its own: a reader may show them
    // apart, and a character cut in two becomes two replacement marks.
    QString joined;
    for (const QByteArray& word : value.split(' ')) {
        QVERIFY2(word.startsWith("=?UTF-8?B?") && word.endsWith("?="), word.constData());
        const QByteArray bytes = QByteArray::fromBase64(word.mid(10, word.size() - 12));
        QStringDecoder decode(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
        const QString text = decode(bytes);
        QVERIFY2(!decode.hasError(), word.constData());
        joined += text;
    }
    QCOMPARE(joined, subject);
}

void TestMail::recipients_data() {
    QTest::addColumn<QString>("address");
    QTest::addColumn<bool>("sent");
    QTest::newRow("plain") << "kunde@example.de" << true;
    QTest::newRow("blanks around are no part of it") << "  kunde@example.de " << true;
    QTest::newRow("local domain without dot") << "ab@cde" << true;
    QTest::newRow("a command after CR LF") << "kunde@example.de\r\nRCPT TO:<spion@evil.de>" << false;
    QTest::newRow("LF alone") << "kunde@example.de\nspion@evil.de" << false;
    QTest::newRow("blank inside") << "kunde @example.de" << false;
    QTest::newRow("two addresses") << "kunde@example.de,spion@evil.de" << false;
    QTest::newRow("with a name") << "Kunde <kunde@example.de>" << false;
    QTest::newRow("two @") << "kunde@spion@example.de" << false;
    QTest::newRow("empty domain piece") << "kunde@example..de" << false;
    QTest::newRow("no local part") << "@example.de" << false;
}

void TestMail::recipients() {
    QFETCH(QString, address);
    QFETCH(bool, sent);
    TMailMessage m = SampleMessage();
    m.To = {{QString(), address}};
    const int before = FServer->messageCount();
    const TSmtpResult r = SendSmtpMail(Settings(), m);
    QCOMPARE(r.Ok, sent);
    QCOMPARE(FServer->messageCount(), before + (sent ? 1 : 0));
    if (sent) {
        QCOMPARE(Strings(FServer->message(before + 1).value(QStringLiteral("rcpt_tos"))),
                 QStringList{address.trimmed()});
    } else {
        // The message names the address as it is stored, line breaks shown as blanks.
        QCOMPARE(r.Error, QStringLiteral("Die E-Mail-Adresse \"%1\" ist keine gültige Adresse. Die E-Mail "
                                         "wurde nicht versendet.")
                              .arg(QString(address).replace(u'\r', u' ').replace(u'\n', u' ')));
    }
}

void TestMail::attachmentByteIdentical() {
    QByteArray pdf = "%PDF-1.4\n";
    for (int i = 0; i < 5000; ++i)
        pdf += char(i % 256);
    pdf += "\r\n.\r\n%%EOF";
    TMailMessage m = SampleMessage();
    m.Attachments = {{QStringLiteral("R17.pdf"), "application/pdf", pdf}};
    const QJsonObject part = Part(Send(m), 1);
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

void TestMail::localNetworkAddress_data() {
    QTest::addColumn<QString>("address");
    QTest::addColumn<bool>("local");
    QTest::newRow("loopback") << "127.0.0.1" << true;
    QTest::newRow("172.16/12") << "172.31.255.1" << true;
    QTest::newRow("just outside 172.16/12") << "172.32.0.1" << false;
    QTest::newRow("link-local") << "169.254.7.1" << true;
    QTest::newRow("public") << "8.8.8.8" << false;
    QTest::newRow("provider's shared range") << "100.64.0.1" << false;
    QTest::newRow("IPv6 loopback") << "::1" << true;
    QTest::newRow("IPv6 unique local") << "fd12:3456::1" << true;
    QTest::newRow("IPv6 link-local with zone") << "fe80::1%eth0" << true;
    QTest::newRow("IPv6 public") << "2a00:1450::1" << false;
    QTest::newRow("IPv4 in IPv6, private") << "::ffff:192.168.0.1" << true;
    QTest::newRow("IPv4 in IPv6, public") << "::ffff:8.8.8.8" << false;
    QTest::newRow("a name is no address") << "localhost" << false;
}

void TestMail::localNetworkAddress() {
    QFETCH(QString, address);
    QTEST(IsLocalNetworkAddress(address), "local");
}

void TestMail::encryption_data() {
    QTest::addColumn<int>("serverTls"); // SmtpTestServer::Tls
    QTest::addColumn<QString>("host");  // as typed; the test server answers for it
    QTest::addColumn<bool>("trusted");  // its certificate as CaFile
    QTest::addColumn<bool>("auth");
    QTest::addColumn<bool>("sent");
    QTest::addColumn<QString>("error");
    const int plain = SmtpTestServer::NoTls, startTls = SmtpTestServer::StartTls,
              implicit = SmtpTestServer::Implicit;
    QTest::newRow("STARTTLS, certificate trusted: encrypted, then login")
        << startTls << "127.0.0.1" << true << true << true << "";
    QTest::newRow("STARTTLS, certificate not trusted: nothing sent")
        << startTls << "127.0.0.1" << false << true << false << "Zertifikatsdatei";
    QTest::newRow("port 465: TLS from the first byte")
        << implicit << "127.0.0.1:465" << true << true << true << "";
    QTest::newRow("public server without STARTTLS: the password stays at home")
        << plain << "192.0.2.10" << false << true << false << "nicht unverschlüsselt";
    QTest::newRow("public server with STARTTLS: encrypted, then login")
        << startTls << "192.0.2.10:587" << true << true << true << "";
    QTest::newRow("public server without STARTTLS, no login: sent")
        << plain << "192.0.2.10" << false << false << true << "";
    QTest::newRow("office relay by name without STARTTLS: login allowed")
        << plain << "localhost" << false << true << true << "";
    QTest::newRow("certificate file missing") << startTls << "127.0.0.1" << true << true << false
                                              << "Die Zertifikatsdatei \"/nicht/da.pem\" kann nicht gelesen";
}

void TestMail::encryption() {
    QFETCH(int, serverTls);
    QFETCH(QString, host);
    QFETCH(bool, trusted);
    QFETCH(bool, auth);
    QFETCH(bool, sent);
    QFETCH(QString, error);
    SmtpTestServer server(QStringLiteral("quorvent"), QStringLiteral("geheim"),
                          SmtpTestServer::Tls(serverTls));
    QVERIFY(server.ok());
    TSmtpSettings s = Settings(auth);
    s.Host = host;
    s.ConnectTo = server.host();
    if (trusted)
        s.CaFile = QString(QTest::currentDataTag()).contains(QLatin1String("missing"))
                       ? QStringLiteral("/nicht/da.pem")
                       : server.certificateFile();
    const TSmtpResult r = SendSmtpMail(s, SampleMessage());
    QCOMPARE(r.Ok, sent);
    QCOMPARE(server.messageCount(), sent ? 1 : 0);
    QVERIFY2(r.Error.contains(error), qPrintable(r.Error));
    if (sent) {
        QCOMPARE(server.message(1).value(QStringLiteral("tls")).toBool(), serverTls != SmtpTestServer::NoTls);
        QCOMPARE(server.message(1).value(QStringLiteral("authenticated")).toBool(), auth);
    } else {
        QCOMPARE(server.authAttempts(), 0);
    }
}

QTEST_GUILESS_MAIN(TestMail)
#include "tst_mail.moc"
