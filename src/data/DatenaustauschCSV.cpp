// The CSV format of the exchange files: semicolons, quotes where needed, an
// apostrophe before what a spreadsheet would run as a formula, and the
// encodings spreadsheet programs save in.
#include "DatenaustauschIntern.h"

#include "Win1252.h"

#include <QRegularExpression>
#include <QStringDecoder>

namespace Austausch {

namespace {

// A negative number as the export writes it (-2,5) or a list shows it
// (-1.234,50): a spreadsheet reads it as a number, never as a formula, so a
// negative amount keeps no apostrophe. A leading plus is not a number here:
// it is a telephone number's, which the apostrophe keeps in a spreadsheet.
bool PlainNumber(QStringView v) {
    static const QRegularExpression number(QStringLiteral("^-?(\\d+|\\d{1,3}(\\.\\d{3})+)(,\\d+)?$"));
    return number.match(v).hasMatch();
}

// A spreadsheet runs a cell that begins with =, +, - or @ as a formula. Such
// a cell is written with a leading apostrophe (which the spreadsheet shows as
// text and the import takes away again); so is one that begins with
// apostrophes followed by such a character, so that the import can tell the
// added apostrophe from the text's own.
bool NeedsApostrophe(QStringView v) {
    qsizetype i = 0;
    while (i < v.size() && v[i] == u'\'')
        ++i;
    if (i == v.size() || !QStringView(u"=+-@").contains(v[i]))
        return false;
    return i > 0 || !PlainNumber(v);
}

QString CSVField(const QString& text) {
    const QString v = NeedsApostrophe(text) ? u'\'' + text : text;
    if (!v.contains(u';') && !v.contains(u'"') && !v.contains(u'\n') && !v.contains(u'\r'))
        return v;
    QString q = v;
    q.replace(QStringLiteral("\""), QStringLiteral("\"\""));
    return u'"' + q + u'"';
}

} // namespace

QString CSVLine(const QStringList& fields) {
    QStringList quoted;
    for (const QString& f : fields)
        quoted << CSVField(f);
    return quoted.join(u';') + QStringLiteral("\r\n");
}

// Strips the apostrophe the export put before a cell that a spreadsheet
// would have run as a formula.
QString WithoutApostrophe(const QString& v) {
    return v.startsWith(u'\'') && NeedsApostrophe(QStringView(v).mid(1)) ? v.mid(1) : v;
}

} // namespace Austausch

using namespace Austausch;

QByteArray CSVDatei(const QList<QStringList>& rows) {
    QString text;
    for (const QStringList& row : rows)
        text += CSVLine(row);
    return QByteArray("\xEF\xBB\xBF") + text.toUtf8();
}

QString DecodeCSV(const QByteArray& data) {
    // Spreadsheets save "Unicode text" as UTF-16 with a byte order mark; one
    // without the mark still shows itself by the zero byte beside the first
    // letter of the header row.
    const std::optional<QStringConverter::Encoding> bom = QStringConverter::encodingForData(data);
    std::optional<QStringConverter::Encoding> utf16 =
        bom && *bom != QStringConverter::Utf8 ? bom : std::nullopt;
    if (!bom && data.size() >= 2 && (data[0] == 0) != (data[1] == 0))
        utf16 = data[0] == 0 ? QStringConverter::Utf16BE : QStringConverter::Utf16LE;
    if (utf16) {
        QStringDecoder decoder(*utf16);
        return decoder(data);
    }
    if (data.startsWith("\xEF\xBB\xBF"))
        return QString::fromUtf8(data.mid(3));
    QStringDecoder utf8(QStringDecoder::Utf8);
    const QString text = utf8(data);
    if (!utf8.hasError())
        return text;
    return Win1252::decode(data);
}

QList<QStringList> ParseCSV(const QString& text, QList<int>* lines, QString* fehler) {
    QList<QStringList> records;
    QStringList fields;
    QString field;
    bool quoted = false, closed = false, fieldStarted = false, any = false;
    int line = 1, recordLine = 1, quoteLine = 1;
    auto endField = [&] {
        fields << field;
        field.clear();
        fieldStarted = closed = false;
    };
    auto endRecord = [&] {
        endField();
        records << fields;
        if (lines)
            *lines << recordLine;
        fields.clear();
        any = false;
    };
    // A quote left open swallows every row after it into one field; one
    // closed too early leaves text behind it. Either way the rows of the file
    // are not what its author meant, so the file is refused.
    auto refuse = [&] {
        if (fehler)
            *fehler = QStringLiteral("In Zeile %1 beginnt ein Feld mit einem Anführungszeichen, das nicht "
                                     "richtig geschlossen wird. Die Datei wird nicht importiert!")
                          .arg(quoteLine);
        return QList<QStringList>();
    };
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (quoted) {
            if (c == u'"') {
                if (i + 1 < text.size() && text[i + 1] == u'"') {
                    field += u'"';
                    ++i;
                } else {
                    quoted = false;
                    closed = true;
                }
            } else {
                if (c == u'\n')
                    ++line;
                field += c;
            }
            continue;
        }
        if (c == u'"' && !fieldStarted) {
            quoted = fieldStarted = any = true;
            quoteLine = line;
        } else if (c == u';') {
            endField();
            any = true;
        } else if (c == u'\r' || c == u'\n') {
            if (c == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n')
                ++i;
            endRecord();
            ++line;
            recordLine = line;
        } else if (closed) {
            return refuse();
        } else {
            field += c;
            fieldStarted = any = true;
        }
    }
    if (quoted)
        return refuse();
    if (any || !field.isEmpty())
        endRecord();
    return records;
}
