// The code pages of \'xx escapes: built-in tables for the Windows code pages
// of Western, Central European and Cyrillic text, Qt's decoders for the rest.
#include "RtfCommon.h"

#include "Win1252.h"

#include <QList>

#include <algorithm>

namespace Rtf::Detail {

namespace {

// Upper halves of the Windows code pages for Central European and Cyrillic
// text. They are built in because Qt knows code pages other than Latin-1 and
// UTF only when it is built with ICU.
constexpr char16_t Cp1250High[128] = {
    0x20AC, 0x0081, 0x201A, 0x0083, 0x201E, 0x2026, 0x2020, 0x2021, 0x0088, 0x2030, 0x0160, 0x2039, 0x015A,
    0x0164, 0x017D, 0x0179, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014, 0x0098, 0x2122,
    0x0161, 0x203A, 0x015B, 0x0165, 0x017E, 0x017A, 0x00A0, 0x02C7, 0x02D8, 0x0141, 0x00A4, 0x0104, 0x00A6,
    0x00A7, 0x00A8, 0x00A9, 0x015E, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x017B, 0x00B0, 0x00B1, 0x02DB, 0x0142,
    0x00B4, 0x00B5, 0x00B6, 0x00B7, 0x00B8, 0x0105, 0x015F, 0x00BB, 0x013D, 0x02DD, 0x013E, 0x017C, 0x0154,
    0x00C1, 0x00C2, 0x0102, 0x00C4, 0x0139, 0x0106, 0x00C7, 0x010C, 0x00C9, 0x0118, 0x00CB, 0x011A, 0x00CD,
    0x00CE, 0x010E, 0x0110, 0x0143, 0x0147, 0x00D3, 0x00D4, 0x0150, 0x00D6, 0x00D7, 0x0158, 0x016E, 0x00DA,
    0x0170, 0x00DC, 0x00DD, 0x0162, 0x00DF, 0x0155, 0x00E1, 0x00E2, 0x0103, 0x00E4, 0x013A, 0x0107, 0x00E7,
    0x010D, 0x00E9, 0x0119, 0x00EB, 0x011B, 0x00ED, 0x00EE, 0x010F, 0x0111, 0x0144, 0x0148, 0x00F3, 0x00F4,
    0x0151, 0x00F6, 0x00F7, 0x0159, 0x016F, 0x00FA, 0x0171, 0x00FC, 0x00FD, 0x0163, 0x02D9,
};

constexpr char16_t Cp1251High[128] = {
    0x0402, 0x0403, 0x201A, 0x0453, 0x201E, 0x2026, 0x2020, 0x2021, 0x20AC, 0x2030, 0x0409, 0x2039, 0x040A,
    0x040C, 0x040B, 0x040F, 0x0452, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014, 0x0098, 0x2122,
    0x0459, 0x203A, 0x045A, 0x045C, 0x045B, 0x045F, 0x00A0, 0x040E, 0x045E, 0x0408, 0x00A4, 0x0490, 0x00A6,
    0x00A7, 0x0401, 0x00A9, 0x0404, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x0407, 0x00B0, 0x00B1, 0x0406, 0x0456,
    0x0491, 0x00B5, 0x00B6, 0x00B7, 0x0451, 0x2116, 0x0454, 0x00BB, 0x0458, 0x0405, 0x0455, 0x0457, 0x0410,
    0x0411, 0x0412, 0x0413, 0x0414, 0x0415, 0x0416, 0x0417, 0x0418, 0x0419, 0x041A, 0x041B, 0x041C, 0x041D,
    0x041E, 0x041F, 0x0420, 0x0421, 0x0422, 0x0423, 0x0424, 0x0425, 0x0426, 0x0427, 0x0428, 0x0429, 0x042A,
    0x042B, 0x042C, 0x042D, 0x042E, 0x042F, 0x0430, 0x0431, 0x0432, 0x0433, 0x0434, 0x0435, 0x0436, 0x0437,
    0x0438, 0x0439, 0x043A, 0x043B, 0x043C, 0x043D, 0x043E, 0x043F, 0x0440, 0x0441, 0x0442, 0x0443, 0x0444,
    0x0445, 0x0446, 0x0447, 0x0448, 0x0449, 0x044A, 0x044B, 0x044C, 0x044D, 0x044E, 0x044F,
};

} // namespace

// The code page a font's \fcharset stands for; 0 when the charset has none of
// its own and the document's \ansicpg applies. The symbol charset reads as
// 1252, as it always has here.
int CodePageOfCharset(int charset) {
    switch (charset) {
    case 0:
    case 2:
        return 1252;
    case 77:
        return 10000;
    case 128:
        return 932;
    case 129:
        return 949;
    case 130:
        return 1361;
    case 134:
        return 936;
    case 136:
        return 950;
    case 161:
        return 1253;
    case 162:
        return 1254;
    case 163:
        return 1258;
    case 177:
        return 1255;
    case 178:
        return 1256;
    case 186:
        return 1257;
    case 204:
        return 1251;
    case 222:
        return 874;
    case 238:
        return 1250;
    case 254:
        return 437;
    case 255:
        return 850;
    default:
        return 0;
    }
}

bool IsMultiByte(int codePage) {
    return codePage == 932 || codePage == 936 || codePage == 949 || codePage == 950 || codePage == 1361;
}

namespace {

// Qt's decoder for a code page, when Qt knows it (through ICU).
QStringDecoder SystemDecoder(int codePage) {
    QList<QByteArray> names;
    switch (codePage) {
    case 932:
        names = {"Shift_JIS", "windows-932"};
        break;
    case 936:
        names = {"GBK", "windows-936"};
        break;
    case 949:
        names = {"windows-949", "CP949", "EUC-KR"};
        break;
    case 950:
        names = {"Big5", "windows-950"};
        break;
    case 1361:
        names = {"johab", "windows-1361"};
        break;
    case 10000:
        names = {"macintosh"};
        break;
    case 437:
    case 850:
        names = {"IBM" + QByteArray::number(codePage)};
        break;
    default:
        names = {"windows-" + QByteArray::number(codePage), "CP" + QByteArray::number(codePage)};
        break;
    }
    for (const QByteArray& name : std::as_const(names)) {
        QStringDecoder decoder(name.constData());
        if (decoder.isValid())
            return decoder;
    }
    return QStringDecoder();
}

// Turns the bytes of \'xx escapes into characters, one code page at a time.

} // namespace

QString CodePages::DecodeMultiByte(int codePage, const QByteArray& bytes) {
    auto it = FDecoders.find(codePage);
    if (it == FDecoders.end())
        it = FDecoders.emplace(codePage, std::make_unique<QStringDecoder>(SystemDecoder(codePage))).first;
    QStringDecoder& decoder = *it->second;
    if (!decoder.isValid()) {
        QString text;
        const auto& table = Table(1252);
        for (const char b : bytes)
            text.append(QChar(table[uchar(b)]));
        return text;
    }
    QString text = decoder.decode(bytes);
    decoder.resetState();
    return text;
}

std::array<char16_t, 256> CodePages::BuildTable(int codePage) {
    std::array<char16_t, 256> table{};
    for (int b = 0; b < 256; ++b) {
        const char c = char(b);
        table[size_t(b)] = Win1252::decode(&c, 1).at(0).unicode();
    }
    if (codePage == 1250 || codePage == 1251) {
        const char16_t* high = codePage == 1250 ? Cp1250High : Cp1251High;
        std::copy(high, high + 128, table.begin() + 128);
    } else if (codePage != 1252 && codePage > 0) {
        QStringDecoder decoder = SystemDecoder(codePage);
        if (decoder.isValid()) {
            for (int b = 128; b < 256; ++b) {
                const char c = char(b);
                const QString s = decoder.decode(QByteArrayView(&c, 1));
                decoder.resetState();
                if (s.size() == 1 && s.at(0) != QChar::ReplacementCharacter)
                    table[size_t(b)] = s.at(0).unicode();
            }
        }
    }
    return table;
}

} // namespace Rtf::Detail
