#include "MailMessage.h"

#include <QLocale>
#include <QUuid>

namespace {

const QByteArray CRLF = "\r\n";

bool IsPlainAscii(const QString& text) {
    for (const QChar c : text) {
        if (c.unicode() < 0x20 || c.unicode() > 0x7E)
            return false;
    }
    // A plain text that looks like an encoded word would be decoded by the
    // reader; it is encoded itself so it arrives as typed.
    return !text.contains(QLatin1String("=?"));
}

// Encoded words cut between characters (never inside one UTF-8 sequence),
// joined by a folding line break. 39 bytes make a word of 64 characters, so
// a line with a header name in front stays within 78.
QByteArray EncodedWords(const QString& text) {
    const QByteArray utf8 = text.toUtf8();
    QList<QByteArray> words;
    qsizetype start = 0;
    while (start < utf8.size()) {
        qsizetype end = qMin(start + 39, utf8.size());
        // Back off to the start of a character: continuation bytes are 10xxxxxx.
        while (end < utf8.size() && end > start + 1 && (static_cast<uchar>(utf8[end]) & 0xC0) == 0x80)
            --end;
        words << "=?UTF-8?B?" + utf8.mid(start, end - start).toBase64() + "?=";
        start = end;
    }
    return words.join(CRLF + ' ');
}

// A display name as an RFC 5322 phrase: atoms as they stand, a quoted string
// when it has special characters, encoded words when it is not ASCII.
QByteArray Phrase(const QString& name) {
    if (!IsPlainAscii(name))
        return EncodedWords(name);
    static const QString specials = QStringLiteral("()<>[]:;@\\,.\"");
    bool needsQuotes = false;
    for (const QChar c : name)
        needsQuotes = needsQuotes || specials.contains(c);
    if (!needsQuotes)
        return name.toLatin1();
    QByteArray quoted = name.toLatin1();
    quoted.replace('\\', "\\\\").replace('"', "\\\"");
    return '"' + quoted + '"';
}

QByteArray Mailbox(const TMailAddress& a) {
    const QString name = MailHeaderSafe(a.Name);
    const QByteArray address = MailAddressSafe(a.Address).toUtf8();
    if (name.isEmpty())
        return '<' + address + '>';
    const QByteArray phrase = Phrase(name);
    // The address goes on a line of its own when it would make the last
    // line of the name too long.
    const qsizetype lastLine = phrase.size() - (phrase.lastIndexOf('\n') + 1);
    return phrase + (lastLine + address.size() > 60 ? CRLF + " <" : QByteArray(" <")) + address + '>';
}

QByteArray MailboxList(const QList<TMailAddress>& list) {
    QList<QByteArray> boxes;
    for (const TMailAddress& a : list)
        boxes << Mailbox(a);
    return boxes.join("," + CRLF + ' ');
}

// A plain ASCII name as a quoted string.
QByteArray QuotedAscii(const QString& name) {
    QByteArray quoted = name.toLatin1();
    quoted.replace('\\', "\\\\").replace('"', "\\\"");
    return '"' + quoted + '"';
}

// The file name parameters of an attachment: a quoted name for plain ASCII,
// otherwise the RFC 2231 form beside an encoded-word name for older readers.
QByteArray FileNameParameters(const QString& fileName) {
    const QString name = MailHeaderSafe(fileName);
    if (IsPlainAscii(name))
        return "name=" + QuotedAscii(name);
    return "name=\"" + EncodedWords(name) + "\"";
}

QByteArray DispositionParameters(const QString& fileName) {
    const QString name = MailHeaderSafe(fileName);
    if (IsPlainAscii(name))
        return "filename=" + QuotedAscii(name);
    return "filename*=UTF-8''" + name.toUtf8().toPercentEncoding("", "!#$&+^`{}|~");
}

QByteArray Base64Lines(const QByteArray& data) {
    const QByteArray encoded = data.toBase64();
    QByteArray out;
    out.reserve(encoded.size() + encoded.size() / 76 * 2 + 2);
    for (qsizetype i = 0; i < encoded.size(); i += 76)
        out += encoded.mid(i, 76) + CRLF;
    return out;
}

// The domain part for the Message-ID: the sender's domain reduced to the
// characters a domain may hold.
QByteArray MessageIdDomain(const QString& fromAddress) {
    const QString address = MailAddressSafe(fromAddress);
    const qsizetype at = address.lastIndexOf(QLatin1Char('@'));
    QByteArray domain;
    if (at >= 0) {
        for (const QChar c : address.mid(at + 1)) {
            if (c.isLetterOrNumber() && c.unicode() < 0x80)
                domain += char(c.unicode());
            else if (c == QLatin1Char('.') || c == QLatin1Char('-'))
                domain += char(c.unicode());
        }
    }
    return domain.isEmpty() ? QByteArray("quorvent.invalid") : domain;
}

} // namespace

QString MailHeaderSafe(const QString& value) {
    QString out;
    out.reserve(value.size());
    for (const QChar c : value) {
        const char16_t u = c.unicode();
        if (u == '\t')
            out += QLatin1Char(' ');
        else if (u < 0x20 || u == 0x7F || u == 0x85 || u == 0x2028 || u == 0x2029)
            continue;
        else
            out += c;
    }
    return out.trimmed();
}

QString MailAddressSafe(const QString& address) {
    QString out;
    for (const QChar c : MailHeaderSafe(address)) {
        if (c.isSpace() || c == QLatin1Char('<') || c == QLatin1Char('>') || c == QLatin1Char(',') ||
            c == QLatin1Char(';'))
            continue;
        out += c;
    }
    return out;
}

bool IsMailAddress(const QString& address) {
    const QString a = address.trimmed();
    static const QString forbidden = QStringLiteral("<>()[],;:\\\"");
    for (const QChar c : a) {
        const char16_t u = c.unicode();
        if (u < 0x20 || u == 0x7F || (u >= 0x80 && u < 0xA0) || c.isSpace() || forbidden.contains(c) ||
            u == 0x2028 || u == 0x2029)
            return false;
    }
    const QStringList parts = a.split(QLatin1Char('@'));
    if (parts.size() != 2)
        return false;
    for (const QString& part : parts) {
        if (part.isEmpty())
            return false;
        for (const QString& piece : part.split(QLatin1Char('.')))
            if (piece.isEmpty())
                return false;
    }
    return true;
}

QString VisibleMailAddress(const QString& address) {
    QString out = address;
    for (QChar& c : out)
        if (c.unicode() < 0x20 || c.unicode() == 0x7F)
            c = QLatin1Char(' ');
    return out;
}

QByteArray EncodeHeaderText(const QString& text) {
    const QString safe = MailHeaderSafe(text);
    return IsPlainAscii(safe) ? safe.toLatin1() : EncodedWords(safe);
}

QByteArray EncodeQuotedPrintable(const QByteArray& utf8Text) {
    QByteArray text = utf8Text;
    text.replace("\r\n", "\n").replace('\r', '\n');
    const QList<QByteArray> lines = text.split('\n');
    static const char hex[] = "0123456789ABCDEF";
    QByteArray out;
    out.reserve(text.size() * 3 / 2 + 16);
    for (qsizetype n = 0; n < lines.size(); ++n) {
        const QByteArray& line = lines[n];
        qsizetype used = 0;
        for (qsizetype i = 0; i < line.size(); ++i) {
            const uchar c = static_cast<uchar>(line[i]);
            const bool lastOfLine = i + 1 == line.size();
            QByteArray token;
            // A blank at the end of a line would be dropped by mail servers;
            // a dot at the start of a line has a meaning in SMTP.
            if ((c == ' ' || c == '\t') && !lastOfLine)
                token = QByteArray(1, char(c));
            else if (c >= 33 && c <= 126 && c != '=' && !(c == '.' && i == 0))
                token = QByteArray(1, char(c));
            else {
                token = QByteArray(1, '=');
                token += hex[c >> 4];
                token += hex[c & 0x0F];
            }
            // 76 characters per line at most, counting the soft break's "=".
            if (used + token.size() > 75) {
                out += "=" + CRLF;
                used = 0;
            }
            out += token;
            used += token.size();
        }
        if (n + 1 < lines.size())
            out += CRLF;
    }
    return out;
}

QByteArray FormatMailDate(const QDateTime& when) {
    const QLocale c(QLocale::C);
    const int offset = when.offsetFromUtc() / 60;
    const int abs = qAbs(offset);
    return (c.toString(when, QStringLiteral("ddd, dd MMM yyyy hh:mm:ss ")) + (offset < 0 ? '-' : '+') +
            QStringLiteral("%1%2")
                .arg(abs / 60, 2, 10, QLatin1Char('0'))
                .arg(abs % 60, 2, 10, QLatin1Char('0')))
        .toLatin1();
}

QByteArray BuildMimeMessage(const TMailMessage& message, const QDateTime& now) {
    const QByteArray id = QUuid::createUuid().toByteArray(QUuid::Id128);
    const QByteArray boundary = "=_Quorvent_" + id;

    QByteArray out;
    out += "From: " + Mailbox(message.From) + CRLF;
    out += "To: " + MailboxList(message.To) + CRLF;
    out += "Subject: " + EncodeHeaderText(message.Subject) + CRLF;
    out += "Date: " + FormatMailDate(now) + CRLF;
    out += "Message-ID: <" + id + '.' + QByteArray::number(now.toMSecsSinceEpoch()) + '@' +
           MessageIdDomain(message.From.Address) + '>' + CRLF;
    out += "MIME-Version: 1.0" + CRLF;
    if (!message.Mailer.isEmpty())
        out += "X-Mailer: " + EncodeHeaderText(message.Mailer) + CRLF;
    out += "Content-Type: multipart/mixed;" + CRLF + " boundary=\"" + boundary + '"' + CRLF;
    out += CRLF;
    out += "This is a multi-part message in MIME format." + CRLF;

    out += "--" + boundary + CRLF;
    out += "Content-Type: text/plain; charset=UTF-8" + CRLF;
    out += "Content-Transfer-Encoding: quoted-printable" + CRLF;
    out += CRLF;
    out += EncodeQuotedPrintable(message.Body.toUtf8()) + CRLF;

    for (const TMailAttachment& a : message.Attachments) {
        QByteArray type = MailHeaderSafe(QString::fromLatin1(a.ContentType)).toLatin1();
        if (type.isEmpty())
            type = "application/octet-stream";
        out += "--" + boundary + CRLF;
        out += "Content-Type: " + type + ";" + CRLF + ' ' + FileNameParameters(a.FileName) + CRLF;
        out += "Content-Transfer-Encoding: base64" + CRLF;
        out += "Content-Disposition: attachment;" + CRLF + ' ' + DispositionParameters(a.FileName) + CRLF;
        out += CRLF;
        out += Base64Lines(a.Data);
    }
    out += "--" + boundary + "--" + CRLF;
    return out;
}
