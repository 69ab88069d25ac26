#include "SmtpTransport.h"

#include <QFileInfo>

#include <curl/curl.h>

#include <arpa/inet.h>
#include <netdb.h>
#include <sys/socket.h>

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
    case CURLE_PEER_FAILED_VERIFICATION:
        return QStringLiteral("Die verschlüsselte Verbindung zum Mail-Server konnte nicht aufgebaut werden: "
                              "Das Zertifikat des Servers \"%1\" wird nicht anerkannt. Für einen Server mit "
                              "eigenem Zertifikat kann unter Einstellungen - Allgemein eine "
                              "Zertifikatsdatei eingetragen werden.")
            .arg(host);
    case CURLE_USE_SSL_FAILED:
    case CURLE_SSL_CONNECT_ERROR:
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

QString InvalidAddressText(const QString& address) {
    return QStringLiteral("Die E-Mail-Adresse \"%1\" ist keine gültige Adresse. Die E-Mail wurde nicht "
                          "versendet.")
        .arg(VisibleMailAddress(address));
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

// The numeric addresses a host name stands for; an address stands for itself.
QStringList ResolveHost(const QString& host) {
    QString name = host;
    if (name.startsWith(QLatin1Char('[')) && name.endsWith(QLatin1Char(']')))
        name = name.mid(1, name.size() - 2);
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    QStringList out;
    if (getaddrinfo(name.toUtf8().constData(), nullptr, &hints, &found) != 0)
        return out;
    for (const addrinfo* a = found; a; a = a->ai_next) {
        char text[INET6_ADDRSTRLEN] = {0};
        if (getnameinfo(a->ai_addr, a->ai_addrlen, text, sizeof text, nullptr, 0, NI_NUMERICHOST) == 0 &&
            !out.contains(QLatin1String(text)))
            out << QString::fromLatin1(text);
    }
    freeaddrinfo(found);
    return out;
}

bool IsLocalIPv4(const unsigned char* a) {
    return a[0] == 127 || a[0] == 10 || (a[0] == 172 && (a[1] & 0xF0) == 16) ||
           (a[0] == 192 && a[1] == 168) || (a[0] == 169 && a[1] == 254);
}

} // namespace

bool IsLocalNetworkAddress(const QString& address) {
    QByteArray text = address.trimmed().toLatin1();
    if (text.startsWith('[') && text.endsWith(']'))
        text = text.mid(1, text.size() - 2);
    // A zone ("fe80::1%eth0") names the interface, not the address.
    if (const qsizetype zone = text.indexOf('%'); zone >= 0)
        text.truncate(zone);
    unsigned char a[16];
    if (inet_pton(AF_INET, text.constData(), a) == 1)
        return IsLocalIPv4(a);
    if (inet_pton(AF_INET6, text.constData(), a) != 1)
        return false;
    static const unsigned char loopback[16] = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1};
    static const unsigned char mapped[12] = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xFF, 0xFF};
    if (std::memcmp(a, loopback, 16) == 0)
        return true;
    if (std::memcmp(a, mapped, 12) == 0)
        return IsLocalIPv4(a + 12);
    return (a[0] & 0xFE) == 0xFC || (a[0] == 0xFE && (a[1] & 0xC0) == 0x80);
}

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
            // An address mended by stripping would go to somebody else, or nowhere.
            if (!IsMailAddress(a.Address)) {
                result.Error = InvalidAddressText(a.Address);
                return result;
            }
            const QByteArray address = a.Address.trimmed().toUtf8();
            if (!recipients.contains(address))
                recipients << address;
        }
    }
    if (recipients.isEmpty()) {
        result.Error = QStringLiteral("Die E-Mail hat keinen Empfänger.");
        return result;
    }
    if (!settings.CaFile.isEmpty() && !QFileInfo(settings.CaFile).isReadable()) {
        result.Error = QStringLiteral("Die Zertifikatsdatei \"%1\" kann nicht gelesen werden. Bitte unter "
                                      "Einstellungen - Allgemein prüfen.")
                           .arg(settings.CaFile);
        return result;
    }
    const bool implicitTls = port == 465;
    // Without TLS the password may only go to this machine or the office
    // network. A name is resolved here and the connection pinned to what was
    // checked, so the answer cannot change between the check and the login.
    bool plainLogin = false;
    QByteArray pinned;
    if (settings.Auth && !implicitTls) {
        const QStringList addresses = ResolveHost(host);
        plainLogin = !addresses.isEmpty();
        for (const QString& a : addresses)
            plainLogin = plainLogin && IsLocalNetworkAddress(a);
        if (plainLogin && !host.startsWith(QLatin1Char('[')) && addresses.constFirst() != host) {
            QStringList bracketed;
            for (const QString& a : addresses)
                bracketed << (a.contains(QLatin1Char(':')) ? QLatin1Char('[') + a + QLatin1Char(']') : a);
            pinned =
                QStringLiteral("%1:%2:%3").arg(host).arg(port).arg(bracketed.join(QLatin1Char(','))).toUtf8();
        }
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
    const QByteArray url = QStringLiteral("%1://%2:%3/%4")
                               .arg(implicitTls ? QStringLiteral("smtps") : QStringLiteral("smtp"))
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
    curl_slist* resolve = pinned.isEmpty() ? nullptr : curl_slist_append(nullptr, pinned.constData());
    const QByteArray connectToEntry =
        QStringLiteral("%1:%2:%3").arg(host).arg(port).arg(settings.ConnectTo).toUtf8();
    curl_slist* connectTo =
        settings.ConnectTo.isEmpty() ? nullptr : curl_slist_append(nullptr, connectToEntry.constData());

    TUpload upload{BuildMimeMessage(message), 0};
    TConversation talk;
    char errorBuffer[CURL_ERROR_SIZE] = {0};

    curl_easy_setopt(curl, CURLOPT_URL, url.constData());
    curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(curl, CURLOPT_ERRORBUFFER, errorBuffer);
    // Encrypt whenever the server offers STARTTLS; insist on it before a
    // login that would otherwise cross a public network in clear text.
    const bool needTls = implicitTls || (settings.Auth && !plainLogin);
    curl_easy_setopt(curl, CURLOPT_USE_SSL, long(needTls ? CURLUSESSL_ALL : CURLUSESSL_TRY));
    if (resolve)
        curl_easy_setopt(curl, CURLOPT_RESOLVE, resolve);
    if (connectTo)
        curl_easy_setopt(curl, CURLOPT_CONNECT_TO, connectTo);
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
    curl_slist_free_all(resolve);
    curl_slist_free_all(connectTo);

    if (code == CURLE_OK) {
        result.Ok = true;
        return result;
    }
    result.Error = QStringLiteral("Der E-Mail-Versand ist fehlgeschlagen.\n");
    if (code == CURLE_USE_SSL_FAILED && settings.Auth && !implicitTls)
        result.Error +=
            QStringLiteral("Der Mail-Server \"%1\" bietet keine verschlüsselte Verbindung "
                           "(STARTTLS) an. Das Kennwort wird nicht unverschlüsselt an einen Server "
                           "außerhalb des lokalen Netzes gesendet. Bitte einen Server mit "
                           "Verschlüsselung oder den Port 465 eintragen (Einstellungen - Allgemein).")
                .arg(host);
    else
        result.Error += FailureText(code, host, errorBuffer);
    const QString answer = talk.LastRefusal.isEmpty() ? QString() : talk.LastRefusal;
    if (!answer.isEmpty())
        result.Error += QStringLiteral("\nAntwort des Servers: ") + answer;
    return result;
}
