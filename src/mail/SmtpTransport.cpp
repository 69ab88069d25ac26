#include "SmtpTransport.h"

#include <curl/curl.h>

#include <cstring>
#include <mutex>

namespace {

void GlobalInitOnce() {
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

struct TUpload {
    QByteArray Data;
    qsizetype Offset = 0;
};

size_t ReadUpload(char* buffer, size_t size, size_t count, void* userp) {
    auto* upload = static_cast<TUpload*>(userp);
    const qsizetype room = static_cast<qsizetype>(size * count);
    const qsizetype n = qMin(room, upload->Data.size() - upload->Offset);
    if (n <= 0)
        return 0;
    std::memcpy(buffer, upload->Data.constData() + upload->Offset, static_cast<size_t>(n));
    upload->Offset += n;
    return static_cast<size_t>(n);
}

// The server's last refusal (a reply starting with 4 or 5), or failing that
// its last reply: what the user needs to tell an administrator.
struct TConversation {
    QString LastReply;
    QString LastRefusal;
};

int RecordReply(CURL*, curl_infotype type, char* data, size_t size, void* userp) {
    if (type != CURLINFO_HEADER_IN)
        return 0;
    auto* talk = static_cast<TConversation*>(userp);
    const QString line = QString::fromUtf8(data, static_cast<qsizetype>(size)).trimmed();
    if (line.isEmpty())
        return 0;
    talk->LastReply = line;
    if (line.startsWith(QLatin1Char('4')) || line.startsWith(QLatin1Char('5')))
        talk->LastRefusal = line;
    return 0;
}

int CheckCancel(void* userp, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
    const auto* cancel = static_cast<const std::atomic_bool*>(userp);
    return cancel && cancel->load() ? 1 : 0;
}

QString FailureText(CURLcode code, const QString& host, const char* detail) {
    switch (code) {
    case CURLE_COULDNT_RESOLVE_HOST:
        return QStringLiteral("Der Mail-Server \"%1\" wurde nicht gefunden.").arg(host);
    case CURLE_COULDNT_CONNECT:
        return QStringLiteral("Keine Verbindung zum Mail-Server \"%1\" möglich.").arg(host);
    case CURLE_OPERATION_TIMEDOUT:
        return QStringLiteral("Der Mail-Server \"%1\" antwortet nicht (Zeitüberschreitung).").arg(host);
    case CURLE_LOGIN_DENIED:
        return QStringLiteral("Der Mail-Server hat die Anmeldung abgelehnt. Bitte Benutzer und Kennwort "
                              "unter Einstellungen - Allgemein prüfen.");
    case CURLE_ABORTED_BY_CALLBACK:
        return QStringLiteral("Der E-Mail-Versand wurde abgebrochen.");
    case CURLE_USE_SSL_FAILED:
    case CURLE_SSL_CONNECT_ERROR:
    case CURLE_PEER_FAILED_VERIFICATION:
    case CURLE_SSL_CACERT_BADFILE:
        return QStringLiteral("Die verschlüsselte Verbindung zum Mail-Server konnte nicht aufgebaut werden.");
    case CURLE_SEND_ERROR:
    case CURLE_RECV_ERROR:
    case CURLE_GOT_NOTHING:
    case CURLE_WEIRD_SERVER_REPLY:
        return QStringLiteral("Der Mail-Server hat die Nachricht nicht angenommen oder die Verbindung "
                              "unterbrochen.");
    case CURLE_UPLOAD_FAILED:
        return QStringLiteral("Der Mail-Server hat die Nachricht nicht angenommen.");
    case CURLE_OUT_OF_MEMORY:
        return QStringLiteral("Nicht genügend Speicher für den E-Mail-Versand.");
    default:
        break;
    }
    QString text = QStringLiteral("Fehler bei der Verbindung zum Mail-Server (Code %1)").arg(int(code));
    if (detail && *detail)
        text += QStringLiteral(": ") + QString::fromUtf8(detail).trimmed();
    return text + QLatin1Char('.');
}

bool ValidHostName(const QString& host) {
    if (host.isEmpty())
        return false;
    for (const QChar c : host) {
        if (c.unicode() >= 0x80)
            return false;
        if (!(c.isLetterOrNumber() || c == QLatin1Char('.') || c == QLatin1Char('-') ||
              c == QLatin1Char('_')))
            return false;
    }
    return true;
}

bool ValidIPv6(const QString& host) {
    if (host.isEmpty())
        return false;
    for (const QChar c : host) {
        if (!(isxdigit(c.toLatin1()) || c == QLatin1Char(':') || c == QLatin1Char('.')))
            return false;
    }
    return true;
}

} // namespace

bool ParseSmtpHost(const QString& text, QString* host, int* port) {
    const QString t = text.trimmed();
    QString h = t;
    QString portText;
    bool ipv6 = false;
    if (t.startsWith(QLatin1Char('['))) {
        const qsizetype close = t.indexOf(QLatin1Char(']'));
        if (close < 0)
            return false;
        h = t.mid(1, close - 1);
        const QString rest = t.mid(close + 1);
        if (!rest.isEmpty()) {
            if (!rest.startsWith(QLatin1Char(':')))
                return false;
            portText = rest.mid(1);
        }
        ipv6 = true;
    } else if (const qsizetype colon = t.indexOf(QLatin1Char(':')); colon >= 0) {
        h = t.left(colon);
        portText = t.mid(colon + 1);
    }
    if (ipv6 ? !ValidIPv6(h) : !ValidHostName(h))
        return false;
    int p = 25;
    if (!portText.isNull()) {
        bool ok = false;
        p = portText.toInt(&ok);
        if (!ok || p < 1 || p > 65535 || portText.startsWith(QLatin1Char('+')))
            return false;
    }
    if (host)
        *host = ipv6 ? QLatin1Char('[') + h + QLatin1Char(']') : h;
    if (port)
        *port = p;
    return true;
}

TSmtpResult SendSmtpMail(const TSmtpSettings& settings, const TMailMessage& message,
                         const std::atomic_bool* cancel) {
    TSmtpResult result;
    QString host;
    int port = 25;
    if (!ParseSmtpHost(settings.Host, &host, &port)) {
        result.Error = QStringLiteral("Der Mail-Server \"%1\" ist kein gültiger Servername.")
                           .arg(MailHeaderSafe(settings.Host));
        return result;
    }
    const QByteArray from = MailAddressSafe(message.From.Address).toUtf8();
    QList<QByteArray> recipients;
    for (const auto* list : {&message.To, &message.Bcc}) {
        for (const TMailAddress& a : *list) {
            const QByteArray address = MailAddressSafe(a.Address).toUtf8();
            if (!address.isEmpty() && !recipients.contains(address))
                recipients << address;
        }
    }
    if (recipients.isEmpty()) {
        result.Error = QStringLiteral("Die E-Mail hat keinen Empfänger.");
        return result;
    }

    GlobalInitOnce();
    CURL* curl = curl_easy_init();
    if (!curl) {
        result.Error = FailureText(CURLE_FAILED_INIT, host, nullptr);
        return result;
    }

    // The path of an SMTP URL is the name sent with EHLO.
    QString helo;
    for (const QChar c : settings.HeloName)
        if (c.unicode() < 0x80 && (c.isLetterOrNumber() || c == QLatin1Char('.') || c == QLatin1Char('-')))
            helo += c;
    const QByteArray url = QStringLiteral("smtp://%1:%2/%3")
                               .arg(host)
                               .arg(port)
                               .arg(helo.isEmpty() ? QStringLiteral("Quorvent") : helo)
                               .toUtf8();
    const QByteArray mailFrom = '<' + from + '>';
    const QByteArray user = settings.User.toUtf8();
    const QByteArray password = settings.Password.toUtf8();
    const QByteArray caFile = settings.CaFile.toLocal8Bit();

    curl_slist* rcpt = nullptr;
    for (const QByteArray& r : recipients)
        rcpt = curl_slist_append(rcpt, ('<' + r + '>').constData());

    TUpload upload{BuildMimeMessage(message), 0};
    TConversation talk;
    char errorBuffer[CURL_ERROR_SIZE] = {0};

    curl_easy_setopt(curl, CURLOPT_URL, url.constData());
    curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(curl, CURLOPT_ERRORBUFFER, errorBuffer);
    // Encrypt whenever the server offers STARTTLS, so a password never
    // crosses the network in clear text where that can be avoided.
    curl_easy_setopt(curl, CURLOPT_USE_SSL, long(CURLUSESSL_TRY));
    if (!caFile.isEmpty())
        curl_easy_setopt(curl, CURLOPT_CAINFO, caFile.constData());
    curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT, long(settings.ConnectTimeoutSeconds));
    curl_easy_setopt(curl, CURLOPT_TIMEOUT, long(settings.TotalTimeoutSeconds));
    curl_easy_setopt(curl, CURLOPT_SERVER_RESPONSE_TIMEOUT,
                     long(qMax(1, settings.ConnectTimeoutSeconds * 2)));
    curl_easy_setopt(curl, CURLOPT_MAIL_FROM, mailFrom.constData());
    curl_easy_setopt(curl, CURLOPT_MAIL_RCPT, rcpt);
    if (settings.Auth) {
        curl_easy_setopt(curl, CURLOPT_USERNAME, user.constData());
        curl_easy_setopt(curl, CURLOPT_PASSWORD, password.constData());
        curl_easy_setopt(curl, CURLOPT_LOGIN_OPTIONS, "AUTH=LOGIN");
    }
    curl_easy_setopt(curl, CURLOPT_UPLOAD, 1L);
    curl_easy_setopt(curl, CURLOPT_READFUNCTION, ReadUpload);
    curl_easy_setopt(curl, CURLOPT_READDATA, &upload);
    curl_easy_setopt(curl, CURLOPT_INFILESIZE_LARGE, curl_off_t(upload.Data.size()));
    curl_easy_setopt(curl, CURLOPT_DEBUGFUNCTION, RecordReply);
    curl_easy_setopt(curl, CURLOPT_DEBUGDATA, &talk);
    curl_easy_setopt(curl, CURLOPT_VERBOSE, 1L);
    curl_easy_setopt(curl, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(curl, CURLOPT_XFERINFOFUNCTION, CheckCancel);
    curl_easy_setopt(curl, CURLOPT_XFERINFODATA, const_cast<std::atomic_bool*>(cancel));

    const CURLcode code = curl_easy_perform(curl);
    curl_easy_cleanup(curl); // closes the connection
    curl_slist_free_all(rcpt);

    if (code == CURLE_OK) {
        result.Ok = true;
        return result;
    }
    result.Error =
        QStringLiteral("Der E-Mail-Versand ist fehlgeschlagen.\n") + FailureText(code, host, errorBuffer);
    const QString answer = talk.LastRefusal.isEmpty() ? QString() : talk.LastRefusal;
    if (!answer.isEmpty())
        result.Error += QStringLiteral("\nAntwort des Servers: ") + answer;
    return result;
}
