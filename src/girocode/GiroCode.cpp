#include "GiroCode.h"

#include <QRegularExpression>

#include <qrencode.h>

#include <cmath>
#include <memory>

int Mod97(const QString& text) {
    int rest = 0;
    for (const QChar c : text) {
        int value = -1;
        if (c >= u'0' && c <= u'9')
            value = c.unicode() - u'0';
        else if (c.toUpper() >= u'A' && c.toUpper() <= u'Z')
            value = c.toUpper().unicode() - u'A' + 10;
        if (value < 0)
            return -1;
        rest = value >= 10 ? (rest * 100 + value) % 97 : (rest * 10 + value) % 97;
    }
    return rest;
}

bool IBANGueltig(const QString& iban) {
    QString plain = iban;
    plain.remove(u' ');
    plain = plain.toUpper();
    static const QRegularExpression form(QStringLiteral("^[A-Z]{2}[0-9]{2}[A-Z0-9]{11,30}$"));
    if (!form.match(plain).hasMatch())
        return false;
    return Mod97(plain.mid(4) + plain.left(4)) == 1;
}

namespace {

// The text without line breaks (they would shift every element after it)
// and other control characters, at most `max` characters long.
QString Element(const QString& text, int max) {
    QString clean;
    for (const QChar c : text)
        clean += c.category() == QChar::Other_Control || c == QChar::LineSeparator ||
                         c == QChar::ParagraphSeparator
                     ? u' '
                     : c;
    clean = clean.simplified();
    if (clean.size() > max) {
        clean.truncate(max);
        // Never half a surrogate pair.
        if (!clean.isEmpty() && clean.back().isHighSurrogate())
            clean.chop(1);
    }
    return clean;
}

QByteArray Join(const QString& name, const QString& iban, const QString& betrag, const QString& text) {
    // Service tag, version, UTF-8, SEPA credit transfer, no BIC (version 002
    // needs none inside the EEA), name, IBAN, amount, no purpose code, no
    // structured reference, the remittance text; nothing after the last.
    const QStringList lines{QStringLiteral("BCD"),
                            QStringLiteral("002"),
                            QStringLiteral("1"),
                            QStringLiteral("SCT"),
                            QString(),
                            name,
                            iban,
                            betrag,
                            QString(),
                            QString(),
                            text};
    QStringList used = lines;
    while (!used.isEmpty() && used.last().isEmpty())
        used.removeLast();
    return used.join(u'\n').toUtf8();
}

} // namespace

QByteArray GiroCodePayload(const TGiroCodeDaten& daten) {
    QString iban = daten.IBAN;
    iban.remove(u' ');
    iban = iban.toUpper();
    if (!IBANGueltig(iban))
        return QByteArray();
    const double cents = std::round(daten.Betrag * 100.0);
    if (cents < 1 || cents > 99999999999.0)
        return QByteArray();
    QString name = Element(daten.Name, 70);
    if (name.isEmpty())
        return QByteArray();
    const QString betrag = QStringLiteral("EUR") + QString::number(cents / 100.0, 'f', 2);
    QString text = Element(daten.Verwendungszweck, 140);
    QByteArray payload = Join(name, iban, betrag, text);
    while (payload.size() > GiroCodeMaxBytes && !text.isEmpty()) {
        text.chop(1);
        payload = Join(name, iban, betrag, text.trimmed());
    }
    while (payload.size() > GiroCodeMaxBytes && name.size() > 1) {
        name.chop(1);
        if (name.back().isHighSurrogate())
            name.chop(1);
        payload = Join(name.trimmed(), iban, betrag, text);
    }
    return payload.size() > GiroCodeMaxBytes ? QByteArray() : payload;
}

QImage GiroCodeBild(const QByteArray& payload, int pixelsPerModule) {
    if (payload.isEmpty() || pixelsPerModule < 1)
        return QImage();
    std::unique_ptr<QRcode, void (*)(QRcode*)> code(
        QRcode_encodeData(int(payload.size()), reinterpret_cast<const unsigned char*>(payload.constData()), 0,
                          QR_ECLEVEL_M),
        QRcode_free);
    if (!code || code->version > 13)
        return QImage();
    const int quiet = 4;
    const int modules = code->width + 2 * quiet;
    QImage image(modules * pixelsPerModule, modules * pixelsPerModule, QImage::Format_Mono);
    image.setColor(0, qRgb(255, 255, 255));
    image.setColor(1, qRgb(0, 0, 0));
    image.fill(0);
    for (int y = 0; y < code->width; ++y) {
        for (int x = 0; x < code->width; ++x) {
            if (!(code->data[y * code->width + x] & 1))
                continue;
            for (int dy = 0; dy < pixelsPerModule; ++dy)
                for (int dx = 0; dx < pixelsPerModule; ++dx)
                    image.setPixel((x + quiet) * pixelsPerModule + dx, (y + quiet) * pixelsPerModule + dy, 1);
        }
    }
    return image;
}
