// A mail as it goes over the wire: addresses, the text and the attachments,
// put together as a MIME message that every mail program reads the same way.
#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>

struct TMailAddress {
    QString Name;    // display name, may be empty
    QString Address; // the bare address, user@host
};

struct TMailAttachment {
    QString FileName; // the name the recipient sees
    QByteArray ContentType = "application/octet-stream";
    QByteArray Data;
};

struct TMailMessage {
    TMailAddress From;
    QList<TMailAddress> To;
    // Blind copies travel in the envelope only; no header names them.
    QList<TMailAddress> Bcc;
    QString Subject;
    // Lines of the text; any line-end convention, sent as CR LF.
    QString Body;
    QList<TMailAttachment> Attachments;
    // The name the mail program calls itself in the header.
    QString Mailer = QStringLiteral("Quorvent");
};

// Removes CR, LF and the other control characters that would end a header
// line or an SMTP command early, and trims the result: a value taken from a
// customer's record cannot add a header or a recipient of its own.
QString MailHeaderSafe(const QString& value);

// The bare address for the envelope and the header: header-safe and without
// blanks or angle brackets.
QString MailAddressSafe(const QString& address);

// A plain address user@domain as it must be used, with blanks around it at
// most: no character that MailAddressSafe would remove or that has a meaning
// in an address list (control characters, blanks, <>()[],;:\" ), exactly one
// "@", and neither part empty nor holding an empty dot-separated piece.
bool IsMailAddress(const QString& address);

// An address as a message can show it: control characters become blanks.
QString VisibleMailAddress(const QString& address);

// The whole message with CR LF line ends: From, To, Subject (RFC 2047 where
// not plain ASCII), Date, Message-ID, MIME-Version, a multipart/mixed body with
// the text as UTF-8 quoted-printable and every attachment in base64.
// `now` gives the Date header (tests pin it); the Message-ID is unique per call.
QByteArray BuildMimeMessage(const TMailMessage& message, const QDateTime& now = QDateTime::currentDateTime());

// Building blocks, public for the message's own use and for checks.
QByteArray EncodeQuotedPrintable(const QByteArray& utf8Text);
// Header text: as it stands when plain ASCII, else RFC 2047 encoded words.
QByteArray EncodeHeaderText(const QString& text);
QByteArray FormatMailDate(const QDateTime& when);
