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
    // With tls the server also offers STARTTLS, with a certificate for
    // 127.0.0.1 made for the run (certificateFile()).
    explicit SmtpTestServer(const QString& user = QStringLiteral("quorvent"),
                            const QString& password = QStringLiteral("geheim"), bool tls = false);
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
    QString certificateFile() const { return FFolder.filePath(QStringLiteral("cert.pem")); }

private:
    QTemporaryDir FFolder;
    QProcess FProcess;
    int FPort = 0;
};
