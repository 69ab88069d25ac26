#include "DruckText.h"

#include "Win1252.h"

#include <QList>
#include <QLocale>

#include <algorithm>
#include <cmath>

namespace {

const QString CRLF = QStringLiteral("\r\n");

QString RtfHead(const QString& color, const QString& paragraph) {
    return QStringLiteral(
               "{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0\\fnil\\fcharset0 Arial;}{\\f1\\fnil Arial;}}") +
           CRLF + QStringLiteral("{\\colortbl ;") + color + QStringLiteral(";}") + CRLF + paragraph;
}

const QString Black = QStringLiteral("\\red0\\green0\\blue0");

} // namespace

QString DruckFixed(double value) {
    QLocale locale;
    locale.setNumberOptions(locale.numberOptions() | QLocale::OmitGroupSeparator);
    return locale.toString(value, 'f', 2);
}

QString DruckCurrency(double value) {
    QLocale locale;
    locale.setNumberOptions(locale.numberOptions() & ~QLocale::OmitGroupSeparator);
    return locale.toString(value, 'f', 2);
}

QString DruckDate(const QDate& date) {
    if (!date.isValid())
        return QString();
    // The short formats of many locales carry a two-digit year, which a
    // business letter must not print.
    QString format = QLocale().dateFormat(QLocale::ShortFormat);
    if (!format.contains(QStringLiteral("yyyy")))
        format.replace(QStringLiteral("yy"), QStringLiteral("yyyy"));
    return QLocale().toString(date, format);
}

double RoundCentsHalfEven(double value) {
    const double cents = value * 100.0;
    const double lower = std::floor(cents);
    const double fraction = cents - lower;
    // Products such as 1,25 x 10 % land on a half cent only up to the binary
    // error of the multiplication; such a value counts as an exact half.
    double rounded;
    if (std::fabs(fraction - 0.5) < 1e-7)
        rounded = std::fmod(lower, 2.0) == 0.0 ? lower : lower + 1.0;
    else
        rounded = std::round(cents);
    return rounded / 100.0;
}

QString RtfPrefixLeft() {
    return RtfHead(Black, QStringLiteral("\\viewkind4\\uc1\\pard\\cf1\\lang1031\\fs20 "));
}

QString RtfPrefixRight() {
    return RtfHead(Black, QStringLiteral("\\viewkind4\\uc1\\pard\\qr\\cf1\\lang1031\\fs20 "));
}

QString RtfPrefixRightBold() {
    return RtfHead(Black, QStringLiteral("\\viewkind4\\uc1\\pard\\qr\\cf1\\lang1031\\b\\fs20 "));
}

QString RtfWhiteX() {
    return RtfHead(QStringLiteral("\\red255\\green255\\blue255"),
                   QStringLiteral("\\viewkind4\\uc1\\pard\\qr\\cf1\\lang1031\\fs20 X\\f1")) +
           CRLF + QStringLiteral("\\par }");
}

QString RtfEscape(const QString& text) {
    QString out;
    out.reserve(text.size() + 8);
    for (QChar c : text) {
        const char16_t u = c.unicode();
        if (u == u'\\' || u == u'{' || u == u'}') {
            out += u'\\';
            out += c;
        } else if (u < 0x80) {
            out += c;
        } else if (QChar::isSurrogate(u) || !Win1252::canEncode(QString(c))) {
            // \uc1 tells the reader to skip one byte after the code: the "?".
            out += QStringLiteral("\\u") + QString::number(qint16(u)) + u'?';
        } else {
            const auto byte = uchar(Win1252::encode(QString(c)).at(0));
            out += QStringLiteral("\\'") + QStringLiteral("%1").arg(byte, 2, 16, QLatin1Char('0'));
        }
    }
    return out;
}

QString RtfLeftText(const QString& text) {
    QString lines = text;
    // Every line break counts, whether the text came with CR LF or a bare LF or CR.
    lines.replace(CRLF, QStringLiteral("\n"));
    lines.replace(u'\r', u'\n');
    lines = RtfEscape(lines);
    lines.replace(QStringLiteral("\n"), CRLF + QStringLiteral("\\par "));
    return RtfPrefixLeft() + lines + QStringLiteral("\\f1") + CRLF + QStringLiteral("\\par }");
}

QString RtfRightAmount(const QString& amount) {
    return RtfPrefixRight() + amount + QStringLiteral(" EUR\\f1") + CRLF + QStringLiteral("\\par }");
}

QString RtfBoldAmount(const QString& amount) {
    return RtfPrefixRightBold() + amount + QStringLiteral(" EUR\\b0\\f1") + CRLF + QStringLiteral("\\par }");
}

// Replaces the first %1, %2 and %3 of the template itself, so that a
// replacement that happens to contain a "%" never takes the next placeholder.
QString FillSkonto(const QString& pattern, const QString& p1, const QString& p2, const QString& p3) {
    struct THit {
        qsizetype at;
        QString value;
    };
    QList<THit> hits;
    const QString values[] = {p1, p2, p3};
    for (int i = 0; i < 3; ++i) {
        const qsizetype at = pattern.indexOf(u'%' + QString::number(i + 1));
        if (at >= 0)
            hits.append({at, values[i]});
    }
    std::sort(hits.begin(), hits.end(), [](const THit& a, const THit& b) { return a.at > b.at; });
    QString text = pattern;
    for (const THit& hit : hits)
        text.replace(hit.at, 2, hit.value);
    return text;
}

QString SkontoText(const QString& pattern, double skonto, double brutto) {
    return FillSkonto(pattern, DruckFixed(skonto) + u'%',
                      DruckCurrency(skonto * brutto / 100.0) + QStringLiteral(" EUR"),
                      DruckCurrency((100.0 - skonto) * brutto / 100.0) + QStringLiteral(" EUR"));
}
