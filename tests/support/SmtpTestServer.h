// A real SMTP server for tests (aiosmtpd through tests/mail/smtp_server.py,
// on 127.0.0.1 with a free port). It accepts AUTH LOGIN with the given user
// and password without requiring it, and keeps every message it receives as
// Python's email package reads it.
#pragma once

#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>

class SmtpTestServer {
public:
    // Plain SMTP; StartTls also offers STARTTLS, Implicit speaks TLS from the
    // first byte; both with a certificate for 127.0.0.1 made for the run
    // (certificateFile()).
    enum Tls { NoTls, StartTls, Implicit };
    explicit SmtpTestServer(const QString& user = QStringLiteral("quorvent"),
                            const QString& password = QStringLiteral("geheim"), Tls tls = NoTls);
    ~SmtpTestServer();

    bool ok() const { return FPort > 0; }
    int port() const { return FPort; }
    // "127.0.0.1:<port>", as the MailHost setting holds it.
    QString host() const;
    // The n-th received message (1 = first): envelope ("mail_from", "rcpt_tos",
    // "authenticated", "tls"), "headers" (lower-case name -> list of decoded values)
    // and "parts" (content_type, charset, filename, text, base64, sha256).
    // Empty when it has not arrived.
    QJsonObject message(int n) const;
    int messageCount() const;
    QByteArray rawMessage(int n) const;
    // How often a client tried to log in (sent AUTH), whatever the outcome.
    int authAttempts() const;
    QString certificateFile() const { return FFolder.filePath(QStringLiteral("cert.pem")); }

private:
    QTemporaryDir FFolder;
    QProcess FProcess;
    int FPort = 0;
};
