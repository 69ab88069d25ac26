#include "Win1252.h"

#include "SQLite.h"

namespace {

// The 32 positions where Windows-1252 differs from Latin-1. Zero marks the five
// undefined bytes: they stand for the C1 control of the same value so that a
// stored byte always comes back unchanged.
constexpr char16_t kHigh[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178,
};

struct DecodeTable {
    char16_t map[256];
    constexpr DecodeTable() : map() {
        for (int i = 0; i < 256; ++i)
            map[i] = char16_t(i);
        for (int i = 0; i < 32; ++i)
            if (kHigh[i] != 0)
                map[0x80 + i] = kHigh[i];
    }
};
constexpr DecodeTable kDecode;

// Byte for a character outside plain Latin-1 ranges, or -1.
int encodeSpecial(char16_t c) {
    if (c >= 0x80 && c <= 0x9F)
        return kHigh[c - 0x80] == 0 ? int(c) : -1; // only the undefined bytes keep their control
    for (int i = 0; i < 32; ++i)
        if (kHigh[i] == c && c != 0)
            return 0x80 + i;
    return -1;
}

inline int encodeChar(char16_t c) {
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF))
        return c;
    return encodeSpecial(c);
}

} // namespace

namespace Win1252 {

QString decode(const char* data, qsizetype size) {
    QString result(size, Qt::Uninitialized);
    auto* out = reinterpret_cast<char16_t*>(result.data());
    const auto* in = reinterpret_cast<const unsigned char*>(data);
    for (qsizetype i = 0; i < size; ++i)
        out[i] = kDecode.map[in[i]];
    return result;
}

bool canEncode(const QString& text, QChar* badChar) {
    for (QChar ch : text) {
        if (encodeChar(ch.unicode()) < 0) {
            if (badChar)
                *badChar = ch;
            return false;
        }
    }
    return true;
}

QByteArray encode(const QString& text) {
    QByteArray result(text.size(), Qt::Uninitialized);
    char* out = result.data();
    const char16_t* in = reinterpret_cast<const char16_t*>(text.constData());
    for (qsizetype i = 0, n = text.size(); i < n; ++i) {
        const int b = encodeChar(in[i]);
        if (b < 0) {
            // Name the whole character, also when it takes two UTF-16 units (emoji).
            QString shown(QChar(in[i]));
            char32_t code = in[i];
            if (QChar::isHighSurrogate(in[i]) && i + 1 < n && QChar::isLowSurrogate(in[i + 1])) {
                shown += QChar(in[i + 1]);
                code = QChar::surrogateToUcs4(in[i], in[i + 1]);
            }
            const QString hex = QString::number(uint(code), 16).toUpper().rightJustified(4, QLatin1Char('0'));
            throw ESQLiteError(QStringLiteral("Das Zeichen \"%1\" (U+%2) kann nicht in der Datenbank "
                                              "gespeichert werden, weil ihr Zeichensatz (Windows-1252) "
                                              "es nicht enthält!")
                                   .arg(shown, hex));
        }
        out[i] = char(b);
    }
    return result;
}

} // namespace Win1252
