// Typed fields: conversions between the buffered values and what callers read
// and assign, and the display patterns of grids.
#include "SQLite.h"

#include "SQLiteInternal.h"
#include "Win1252.h"

#include <QLocale>

#include <algorithm>
#include <cmath>

bool IsBlobType(TFieldType type) {
    return type == TFieldType::Blob || type == TFieldType::Memo || type == TFieldType::Graphic;
}

bool ParseTypedNumber(const QString& text, double* value) {
    QString t = text.trimmed();
    const int lastComma = t.lastIndexOf(u',');
    const int lastPoint = t.lastIndexOf(u'.');
    QChar decimal;
    if (lastComma >= 0 && lastPoint >= 0)
        decimal = lastComma > lastPoint ? u',' : u'.';
    else if (lastComma >= 0 && t.count(u',') == 1)
        decimal = u',';
    else if (lastPoint >= 0 && t.count(u'.') == 1)
        decimal = u'.';
    const int at = decimal.isNull() ? -1 : t.lastIndexOf(decimal);
    QString plain;
    plain.reserve(t.size());
    for (int i = 0; i < t.size(); ++i) {
        if (i == at)
            plain += u'.';
        else if (t[i] != u',' && t[i] != u'.')
            plain += t[i];
    }
    QLocale c = QLocale::c();
    c.setNumberOptions(QLocale::RejectGroupSeparator);
    bool ok = false;
    const double v = c.toDouble(plain, &ok);
    if (!ok || !std::isfinite(v))
        return false;
    *value = v;
    return true;
}

namespace {

// The user's short date with a four-digit year ("24.03.2014" in German).
QString dateFormat() {
    QString f = QLocale().dateFormat(QLocale::ShortFormat);
    if (!f.contains(QLatin1String("yyyy")))
        f.replace(QLatin1String("yy"), QLatin1String("yyyy"));
    return f;
}

QLocale plainLocale() {
    QLocale l;
    l.setNumberOptions(QLocale::OmitGroupSeparator);
    return l;
}

double parseFloat(const QString& text, bool* ok) {
    double v = 0;
    *ok = ParseTypedNumber(text, &v);
    return v;
}

QDateTime parseDateTime(const QString& text, TFieldType type, bool* ok) {
    const QString t = text.trimmed();
    *ok = true;
    if (t.size() == 19 && t.at(4) == u'-')
        return ParseSQLiteDateTime(t);
    if (t.size() == 10 && t.at(4) == u'-')
        return ParseSQLiteDate(t);
    if (t.size() == 8 && t.at(2) == u':' && type == TFieldType::Time)
        return ParseSQLiteTime(t);
    const QString df = dateFormat();
    const QStringList dateForms = {df, QStringLiteral("dd.MM.yyyy"), QStringLiteral("d.M.yyyy"),
                                   QStringLiteral("dd.MM.yy")};
    for (const QString& f : dateForms) {
        for (const QString& suffix : {QString(), QStringLiteral(" hh:mm:ss"), QStringLiteral(" hh:mm")}) {
            QDateTime dt = QLocale::c().toDateTime(t, f + suffix);
            if (dt.isValid()) {
                if (f.endsWith(QLatin1String(".yy")) && dt.date().year() < 1950)
                    dt = dt.addYears(100);
                return dt;
            }
        }
    }
    for (const QString& f : {QStringLiteral("hh:mm:ss"), QStringLiteral("hh:mm")}) {
        const QTime tm = QTime::fromString(t, f);
        if (tm.isValid())
            return QDateTime(QDate(1899, 12, 30), tm);
    }
    *ok = false;
    return {};
}

[[noreturn]] void invalidValue(const QString& text, TFieldType type) {
    QString kind;
    switch (type) {
    case TFieldType::Integer:
    case TFieldType::LargeInt:
        kind = QStringLiteral("ist kein gültiger Integerwert");
        break;
    case TFieldType::Float:
        kind = QStringLiteral("ist kein gültiger Gleitkommawert");
        break;
    case TFieldType::Time:
        kind = QStringLiteral("ist keine gültige Zeit");
        break;
    default:
        kind = QStringLiteral("ist kein gültiges Datum");
    }
    throw ESQLiteError(u'\'' + text + QStringLiteral("' ") + kind);
}

} // namespace

QString FieldValueText(const QVariant& value, TFieldType type) {
    if (!value.isValid() || value.isNull())
        return {};
    switch (type) {
    case TFieldType::Integer:
    case TFieldType::LargeInt:
        return QString::number(value.toLongLong());
    case TFieldType::Float:
        return plainLocale().toString(value.toDouble(), 'f', QLocale::FloatingPointShortest);
    case TFieldType::Date:
        return value.toDateTime().toString(dateFormat());
    case TFieldType::Time:
        return value.toDateTime().toString(QStringLiteral("hh:mm:ss"));
    case TFieldType::DateTime:
        return value.toDateTime().toString(dateFormat() + QStringLiteral(" hh:mm:ss"));
    case TFieldType::Blob:
    case TFieldType::Memo:
    case TFieldType::Graphic:
        return value.typeId() == QMetaType::QByteArray ? Win1252::decode(value.toByteArray())
                                                       : value.toString();
    default:
        return value.toString();
    }
}

QVariant ToFieldValue(const QVariant& value, TFieldType type) {
    if (!value.isValid() || value.isNull())
        return {};
    const bool isText = value.typeId() == QMetaType::QString;
    switch (type) {
    case TFieldType::String:
        return value.typeId() == QMetaType::QByteArray ? QVariant(Win1252::decode(value.toByteArray()))
                                                       : QVariant(value.toString());
    case TFieldType::Memo:
        if (isText || value.typeId() == QMetaType::QByteArray)
            return value;
        return value.toString();
    case TFieldType::Blob:
    case TFieldType::Graphic:
        return isText ? QVariant(Win1252::encode(value.toString())) : QVariant(value.toByteArray());
    case TFieldType::Integer:
    case TFieldType::LargeInt:
    case TFieldType::Float: {
        double d = 0;
        if (isText) {
            const QString t = value.toString().trimmed();
            if (t.isEmpty()) // an emptied number field holds no value
                return {};
            bool ok = false;
            if (type != TFieldType::Float) {
                const qint64 i = t.toLongLong(&ok);
                if (ok)
                    return type == TFieldType::Integer ? QVariant(int(i)) : QVariant(i);
                invalidValue(value.toString(), type);
            }
            d = parseFloat(t, &ok);
            if (!ok)
                invalidValue(value.toString(), type);
        } else if (value.typeId() == QMetaType::Bool) {
            d = value.toBool() ? 1 : 0;
        } else {
            if (type == TFieldType::Integer && value.typeId() != QMetaType::Double)
                return value.toInt();
            if (type == TFieldType::LargeInt && value.typeId() != QMetaType::Double)
                return value.toLongLong();
            d = value.toDouble();
        }
        if (type == TFieldType::Integer)
            return int(std::llround(d));
        if (type == TFieldType::LargeInt)
            return qint64(std::llround(d));
        return d;
    }
    case TFieldType::Date:
    case TFieldType::Time:
    case TFieldType::DateTime: {
        QDateTime dt;
        if (isText) {
            if (value.toString().trimmed().isEmpty())
                return {};
            bool ok = false;
            dt = parseDateTime(value.toString(), type, &ok);
            if (!ok)
                invalidValue(value.toString(), type);
        } else if (value.typeId() == QMetaType::QDate) {
            dt = QDateTime(value.toDate(), QTime(0, 0));
        } else if (value.typeId() == QMetaType::QTime) {
            dt = QDateTime(QDate(1899, 12, 30), value.toTime());
        } else {
            dt = value.toDateTime();
        }
        if (!dt.isValid())
            return {};
        if (type == TFieldType::Date)
            dt.setTime(QTime(0, 0));
        return dt;
    }
    default:
        throw ESQLiteError(QStringLiteral("Unbekannter Datentyp!"));
    }
}

// ---------------------------------------------------------------------------

TField::TField(TSQLiteBaseQuery* dataSet, const QString& name, TFieldType type, int size, int precision)
    : FDataSet(dataSet), FName(name), FType(type), FSize(size), FPrecision(precision) {}

bool TField::IsNull() const {
    const QVariant v = FDataSet->CurrentValue(FIndex);
    return !v.isValid() || v.isNull();
}

QVariant TField::Value() const {
    const QVariant v = FDataSet->CurrentValue(FIndex);
    if (FType == TFieldType::Memo && v.typeId() == QMetaType::QByteArray)
        return Win1252::decode(v.toByteArray());
    return v;
}

QString TField::AsString() const {
    return FieldValueText(FDataSet->CurrentValue(FIndex), FType);
}

qint64 TField::AsLargeInt() const {
    const QVariant v = FDataSet->CurrentValue(FIndex);
    if (!v.isValid() || v.isNull())
        return 0;
    switch (v.typeId()) {
    case QMetaType::Int:
    case QMetaType::LongLong:
        return v.toLongLong();
    case QMetaType::Double:
        return std::llround(v.toDouble());
    default: {
        const QString t = FieldValueText(v, FType).trimmed();
        if (t.isEmpty())
            return 0;
        bool ok = false;
        const qint64 i = t.toLongLong(&ok);
        if (!ok)
            invalidValue(t, TFieldType::Integer);
        return i;
    }
    }
}

int TField::AsInteger() const {
    return int(AsLargeInt());
}

double TField::AsFloat() const {
    const QVariant v = FDataSet->CurrentValue(FIndex);
    if (!v.isValid() || v.isNull())
        return 0;
    switch (v.typeId()) {
    case QMetaType::Int:
    case QMetaType::LongLong:
    case QMetaType::Double:
        return v.toDouble();
    default: {
        const QString t = FieldValueText(v, FType).trimmed();
        if (t.isEmpty())
            return 0;
        bool ok = false;
        const double d = parseFloat(t, &ok);
        if (!ok)
            invalidValue(t, TFieldType::Float);
        return d;
    }
    }
}

QDateTime TField::AsDateTime() const {
    const QVariant v = FDataSet->CurrentValue(FIndex);
    if (!v.isValid() || v.isNull())
        return {};
    if (v.typeId() == QMetaType::QDateTime)
        return v.toDateTime();
    bool ok = false;
    const QDateTime dt = parseDateTime(FieldValueText(v, FType), TFieldType::DateTime, &ok);
    return ok ? dt : QDateTime();
}

bool TField::AsBoolean() const {
    const QVariant v = FDataSet->CurrentValue(FIndex);
    if (!v.isValid() || v.isNull())
        return false;
    if (v.typeId() == QMetaType::Int || v.typeId() == QMetaType::LongLong || v.typeId() == QMetaType::Double)
        return v.toDouble() != 0;
    const QString t = FieldValueText(v, FType).trimmed();
    return !t.isEmpty() && QStringLiteral("JjYyTt1").contains(t.at(0));
}

QByteArray TField::AsBytes() const {
    const QVariant v = FDataSet->CurrentValue(FIndex);
    if (!v.isValid() || v.isNull())
        return {};
    if (v.typeId() == QMetaType::QByteArray)
        return v.toByteArray();
    return Win1252::encode(FieldValueText(v, FType));
}

void TField::SetValue(const QVariant& value) {
    FDataSet->SetCurrentValue(FIndex, ToFieldValue(value, FType), this);
}
void TField::SetAsString(const QString& value) {
    SetValue(value);
}
void TField::SetAsInteger(int value) {
    SetValue(value);
}
void TField::SetAsLargeInt(qint64 value) {
    SetValue(value);
}
void TField::SetAsFloat(double value) {
    SetValue(value);
}
void TField::SetAsDateTime(const QDateTime& value) {
    SetValue(value.isValid() ? QVariant(value) : QVariant());
}
void TField::SetAsBytes(const QByteArray& value) {
    SetValue(value);
}
void TField::Clear() {
    FDataSet->SetCurrentValue(FIndex, QVariant(), this);
}

namespace {

// Turns a date pattern as the program writes it ("dd.mm.yyyy hh:nn") into Qt's.
QString qtDatePattern(const QString& pattern) {
    QString out;
    bool afterHour = false;
    for (qsizetype i = 0; i < pattern.size();) {
        const QChar c = pattern.at(i);
        qsizetype run = 1;
        while (i + run < pattern.size() && pattern.at(i + run) == c)
            ++run;
        const QString piece(run, c);
        if (c == u'm' || c == u'M')
            out += afterHour ? piece.toLower() : piece.toUpper();
        else if (c == u'n' || c == u'N')
            out += QString(run, u'm');
        else if (c == u'h' || c == u'H')
            out += piece.toLower();
        else
            out += piece;
        if (c.isLetter())
            afterHour = c == u'h' || c == u'H';
        i += run;
    }
    return out;
}

} // namespace

QString TField::DisplayText() const {
    if (IsNull())
        return {};
    if (DisplayFormat.isEmpty())
        return AsString();
    switch (FType) {
    case TFieldType::Integer:
    case TFieldType::LargeInt:
    case TFieldType::Float:
        return FormatFloat(DisplayFormat, AsFloat());
    case TFieldType::Date:
    case TFieldType::Time:
    case TFieldType::DateTime:
        return AsDateTime().toString(qtDatePattern(DisplayFormat));
    default:
        return AsString();
    }
}

// ---------------------------------------------------------------------------

QString FormatFloat(const QString& pattern, double value) {
    // Only the first section of "pos;neg;zero" patterns is used by the program.
    const QString section = pattern.section(u';', 0, 0);
    qsizetype first = -1, last = -1;
    for (qsizetype i = 0; i < section.size(); ++i) {
        const QChar c = section.at(i);
        if (c == u'0' || c == u'#') {
            if (first < 0)
                first = i;
            last = i;
        } else if ((c == u'.' || c == u',') && first >= 0) {
            last = i;
        } else if (first >= 0) {
            break;
        }
    }
    auto literal = [](QString s) { return s.remove(u'"').remove(u'\''); };
    if (first < 0)
        return literal(section);
    const QString prefix = literal(section.left(first));
    const QString suffix = literal(section.mid(last + 1));
    const QString number = section.mid(first, last - first + 1);
    const qsizetype point = number.indexOf(u'.');
    const QString intPart = point < 0 ? number : number.left(point);
    const QString fracPart = point < 0 ? QString() : number.mid(point + 1);
    const bool grouping = intPart.contains(u',');
    const int minInt = int(intPart.count(u'0'));
    const int minFrac = int(fracPart.count(u'0'));
    const int maxFrac = int(fracPart.count(u'0') + fracPart.count(u'#'));

    // Round on the value's 15 significant decimal digits, half away from zero,
    // so 0.125 shows as 0.13 and 1.005 as 1.01 the way a user reckons.
    const bool negative = value < 0;
    QString digits = QString::number(std::fabs(value), 'e', 14); // d.dddddddddddddde+XX
    const int exponent = digits.mid(digits.indexOf(u'e') + 1).toInt();
    digits = digits.left(digits.indexOf(u'e')).remove(u'.');
    // value = 0.<digits> * 10^(exponent + 1)
    int intDigits = exponent + 1;
    const int keep = intDigits + maxFrac; // digits that survive rounding
    QString kept;
    if (keep < 0) {
        kept.clear();
    } else if (keep < digits.size()) {
        kept = digits.left(keep);
        if (digits.at(keep) >= u'5') {
            int i = int(kept.size()) - 1;
            while (i >= 0 && kept.at(i) == u'9') {
                kept[i] = u'0';
                --i;
            }
            if (i >= 0) {
                kept[i] = QChar(kept.at(i).unicode() + 1);
            } else {
                kept.prepend(u'1');
                ++intDigits;
            }
        }
    } else {
        kept = digits + QString(keep - digits.size(), u'0');
    }
    // Split into integer and fraction digits.
    QString intText, fracText;
    if (intDigits > 0) {
        intText = kept.left(intDigits);
        fracText = kept.mid(intDigits);
    } else {
        fracText = QString(-intDigits, u'0') + kept;
    }
    fracText = fracText.left(maxFrac).leftJustified(maxFrac, u'0');
    while (fracText.size() > minFrac && fracText.endsWith(u'0'))
        fracText.chop(1);
    while (intText.size() > 1 && intText.startsWith(u'0'))
        intText.remove(0, 1);
    if (intText == QLatin1String("0") && minInt == 0)
        intText.clear();
    if (intText.size() < minInt)
        intText = QString(minInt - intText.size(), u'0') + intText;

    const QLocale locale;
    if (grouping && intText.size() > 3) {
        const QString sep = locale.groupSeparator();
        QString grouped;
        for (qsizetype i = 0; i < intText.size(); ++i) {
            if (i > 0 && (intText.size() - i) % 3 == 0)
                grouped += sep;
            grouped += intText.at(i);
        }
        intText = grouped;
    }
    QString result = intText;
    if (!fracText.isEmpty())
        result += locale.decimalPoint() + fracText;
    const bool allZero =
        std::all_of(result.begin(), result.end(), [](QChar c) { return !c.isDigit() || c == u'0'; });
    if (negative && !allZero)
        result.prepend(u'-');
    return prefix + result + suffix;
}
