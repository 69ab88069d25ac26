// What a value looks like in a DATEV file: the Windows-1252 bytes, quoted
// text, amounts and dates, the header line and the file names.
#include "DatevIntern.h"

#include "EInvoiceCodes.h"

using namespace Datev;

namespace {

// Characters 0x80..0x9F of Windows-1252; 0 where the code page has none.
const char16_t kHoch[32] = {0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                            0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,
                            0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                            0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

QString Zwei(int n) {
    return QString::number(n).rightJustified(2, u'0');
}

} // namespace

bool DatevByte(QChar c, char* byte) {
    const char16_t u = c.unicode();
    if (u < 0x20 || u == 0x7F || (u >= 0x80 && u < 0xA0))
        return false;
    if (u < 0x80 || (u >= 0xA0 && u <= 0xFF)) {
        *byte = char(u);
        return true;
    }
    for (int i = 0; i < 32; ++i)
        if (kHoch[i] == u) {
            *byte = char(0x80 + i);
            return true;
        }
    return false;
}

QString DatevBuchungsDateiName(const QDate& von, const QDate& bis) {
    return QStringLiteral("EXTF_Buchungsstapel_") + JJJJMMTT(von) + u'-' + JJJJMMTT(bis) +
           QStringLiteral(".csv");
}

QString DatevDebitorenDateiName(const QDate& von, const QDate& bis) {
    return QStringLiteral("EXTF_Debitoren_") + JJJJMMTT(von) + u'-' + JJJJMMTT(bis) + QStringLiteral(".csv");
}

namespace Datev {

// A booking text or master-data value: line breaks and tabs become blanks
// (DATEV takes none inside a field), the rest is checked character by
// character. Empty when everything can be written; else the German reason.
QString Unzulaessig(const QString& text) {
    for (const QChar c : text) {
        if (c == u'\r' || c == u'\n' || c == u'\t')
            continue;
        char b;
        if (!DatevByte(c, &b)) {
            const QString code =
                QStringLiteral("U+") + QString::number(c.unicode(), 16).toUpper().rightJustified(4, u'0');
            return QStringLiteral("das Zeichen ") +
                   (c.isPrint() ? u'"' + QString(c) + QStringLiteral("\" (") + code + u')' : code) +
                   QStringLiteral(", das DATEV (Windows-1252) nicht aufnehmen kann");
        }
    }
    return QString();
}

// A name for a message: what DATEV cannot take shown as "?".
QString Lesbar(const QString& text) {
    QString out;
    for (const QChar c : text) {
        char b;
        out += DatevByte(c, &b) || c == u'\n' ? c : QChar(u'?');
    }
    return out;
}

QString Einzeilig(QString text) {
    text.replace(u'\r', u' ').replace(u'\n', u' ').replace(u'\t', u' ');
    return text.simplified();
}

// Appends text in Windows-1252; every character has been checked before.
void Bytes(QByteArray& out, const QString& text) {
    for (const QChar c : text) {
        char b = '?';
        DatevByte(c, &b);
        out.append(b);
    }
}

void Text(QByteArray& out, const QString& text) {
    out.append('"');
    for (const QChar c : text) {
        char b = '?';
        DatevByte(c, &b);
        if (b == '"')
            out.append('"');
        out.append(b);
    }
    out.append('"');
}

// An amount of cents as DATEV writes it: "1190,00".
QByteArray Betrag(qint64 cents) {
    QByteArray s = QByteArray::number(cents / 100);
    s.append(',');
    const int rest = int(cents % 100);
    s.append(char('0' + rest / 10));
    s.append(char('0' + rest % 10));
    return s;
}

QString TTMM(const QDate& d) {
    return Zwei(d.day()) + Zwei(d.month());
}
QString TTMMJJJJ(const QDate& d) {
    return TTMM(d) + QString::number(d.year());
}
QString JJJJMMTT(const QDate& d) {
    return QString::number(d.year()) + Zwei(d.month()) + Zwei(d.day());
}

QString SatzText(double satz) {
    return QString::number(satz, 'g', 6).replace(u'.', u',');
}

bool NurZiffern(const QString& s) {
    if (s.isEmpty())
        return false;
    for (const QChar c : s)
        if (c < u'0' || c > u'9')
            return false;
    return true;
}

QString TypPraefix(const QString& typ) {
    if (typ == QLatin1String("R"))
        return QStringLiteral("RE");
    if (typ == QLatin1String("T"))
        return QStringLiteral("TR");
    if (typ == QLatin1String("S"))
        return QStringLiteral("SR");
    return QStringLiteral("GS");
}

// The line 1 of a file: 31 fields, header version 700.
QByteArray Kopfzeile(const TDatevEinstellungen& e, int kategorie, const QDateTime& jetzt, const QDate& wj,
                     const QDate& von, const QDate& bis, const QString& bezeichnung) {
    const bool buchungen = kategorie == 21;
    QByteArray out;
    out += "\"EXTF\";700;";
    out += QByteArray::number(kategorie);
    out += buchungen ? ";\"Buchungsstapel\";13;" : ";\"Debitoren/Kreditoren\";5;";
    out += jetzt.toString(QStringLiteral("yyyyMMddhhmmsszzz")).toLatin1();
    out += ";;\"RE\";\"\";\"\";";
    out += e.Berater.toLatin1() + ';' + e.Mandant.toLatin1() + ';';
    out += JJJJMMTT(wj).toLatin1() + ';' + QByteArray::number(e.Kontenlaenge) + ';';
    if (buchungen) {
        out += JJJJMMTT(von).toLatin1() + ';' + JJJJMMTT(bis).toLatin1() + ';';
        Text(out, bezeichnung);
        // Diktatkürzel; Buchungstyp 1 (Finanzbuchführung); Rechnungslegungszweck
        // 0; Festschreibung 0, so the advisor can still correct the batch.
        out += ";\"\";1;0;0;\"EUR\";";
    } else {
        out += ";;\"\";\"\";;;;\"\";";
    }
    out += ";\"\";;;\"";
    out += e.SKR.toLatin1();
    out += "\";;;\"\";\"\"\r\n";
    return out;
}

// A VAT number as DATEV takes it: the country code, then letters, digits,
// "+" or "*", at most 15 characters in all.
bool UIDFuerDatev(const QString& uid) {
    if (!UIDFormGueltig(uid) || uid.size() > 15)
        return false;
    for (const QChar c : uid.mid(2))
        if (!(c >= u'A' && c <= u'Z') && !(c >= u'0' && c <= u'9') && c != u'+' && c != u'*')
            return false;
    return true;
}

} // namespace Datev
