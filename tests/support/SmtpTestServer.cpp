#include "SmtpTestServer.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>

SmtpTestServer::SmtpTestServer(const QString& user, const QString& password, Tls tls) {
    const QString script = QStringLiteral(QV_TEST_SOURCE_DIR "/mail/smtp_server.py");
    // Debian's python3, which has aiosmtpd; the one first on PATH may not.
    FProcess.start(QStringLiteral("/usr/bin/python3"), {script, FFolder.path(), user, password,
                                                        tls == StartTls   ? QStringLiteral("tls")
                                                        : tls == Implicit ? QStringLiteral("smtps")
                                                                          : QString()});
    if (!FProcess.waitForStarted(10000))
        return;
    while (FProcess.state() == QProcess::Running && !FProcess.canReadLine())
        FProcess.waitForReadyRead(10000);
    const QByteArray line = FProcess.readLine().trimmed();
    if (line.startsWith("PORT "))
        FPort = line.mid(5).toInt();
    else
        qWarning("SMTP test server did not start: %s %s", line.constData(),
                 FProcess.readAllStandardError().constData());
}

SmtpTestServer::~SmtpTestServer() {
    if (FProcess.state() != QProcess::NotRunning) {
        FProcess.closeWriteChannel();
        if (!FProcess.waitForFinished(10000)) {
            FProcess.kill();
            FProcess.waitForFinished(5000);
        }
    }
}

QString SmtpTestServer::host() const {
    return QStringLiteral("127.0.0.1:%1").arg(FPort);
}

QJsonObject SmtpTestServer::message(int n) const {
    QFile f(FFolder.filePath(QStringLiteral("%1.json").arg(n)));
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return QJsonDocument::fromJson(f.readAll()).object();
}

int SmtpTestServer::messageCount() const {
    return int(QDir(FFolder.path()).entryList({QStringLiteral("*.json")}, QDir::Files).size());
}

QByteArray SmtpTestServer::rawMessage(int n) const {
    QFile f(FFolder.filePath(QStringLiteral("%1.eml").arg(n)));
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

int SmtpTestServer::authAttempts() const {
    QFile f(FFolder.filePath(QStringLiteral("auth.log")));
    return f.open(QIODevice::ReadOnly) ? int(f.readAll().count('\n')) : 0;
}
