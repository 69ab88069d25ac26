#include "TDBDataLink.h"

#include "Messages.h"
#include "Win1252.h"

#include <QLocale>
#include <QTime>

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

// Every living link, so that a save can collect the pending text of all
// controls bound to its dataset.
QList<TFieldDataLink*>& AllLinks() {
    static QList<TFieldDataLink*> links;
    return links;
}

QLocale PlainLocale() {
    QLocale locale;
    locale.setNumberOptions(QLocale::OmitGroupSeparator);
    return locale;
}

QDateTime ToDateTime(const QVariant& value) {
    if (value.metaType().id() == QMetaType::QDate)
        return QDateTime(value.toDate(), QTime(0, 0));
    if (value.metaType().id() == QMetaType::QTime)
        return QDateTime(QDate(1899, 12, 30), value.toTime());
    if (value.metaType().id() == QMetaType::QString)
        return ParseSQLiteDateTime(value.toString());
    return value.toDateTime();
}

QString MemoText(const QVariant& value) {
    if (value.metaType().id() == QMetaType::QByteArray)
        return Win1252::decode(value.toByteArray());
    return value.toString();
}

QDate ParseDate(const QString& text) {
    for (const char* format : {"d.M.yyyy", "yyyy-MM-dd"}) {
        const QDate date = QDate::fromString(text, QString::fromLatin1(format));
        if (date.isValid())
            return date;
    }
    return {};
}

QTime ParseTime(const QString& text) {
    for (const char* format : {"h:mm:ss", "h:mm"}) {
        const QTime time = QTime::fromString(text, QString::fromLatin1(format));
        if (time.isValid())
            return time;
    }
    return {};
}

} // namespace

// ---------------------------------------------------------------------------

TFieldDataLink::TFieldDataLink(QObject* parent) : QObject(parent) {
    AllLinks().append(this);
}

TFieldDataLink::~TFieldDataLink() {
    AllLinks().removeAll(this);
    Disconnect();
}

void TFieldDataLink::SetDataSource(TDataSource* dataSource) {
    if (dataSource == FDataSource)
        return;
    Disconnect();
    FDataSource = dataSource;
    Connect();
    FModified = false;
    StateChanged();
    if (OnDataChange)
        OnDataChange();
}

void TFieldDataLink::SetFieldName(const QString& name) {
    if (name == FFieldName)
        return;
    FFieldName = name;
    FModified = false;
    StateChanged();
    if (OnDataChange)
        OnDataChange();
}

void TFieldDataLink::Connect() {
    if (!FDataSource)
        return;
    FConnections << connect(FDataSource, &TDataSource::dataChange, this, &TFieldDataLink::DataChanged);
    FConnections << connect(FDataSource, &TDataSource::stateChange, this, &TFieldDataLink::StateChanged);
    FConnections << connect(FDataSource, &QObject::destroyed, this, [this] {
        FConnections.clear();
        FModified = false;
        StateChanged();
        if (OnDataChange)
            OnDataChange();
    });
}

void TFieldDataLink::Disconnect() {
    for (const auto& c : std::as_const(FConnections))
        disconnect(c);
    FConnections.clear();
}

TSQLiteBaseQuery* TFieldDataLink::DataSet() const {
    return FDataSource ? FDataSource->DataSet() : nullptr;
}

bool TFieldDataLink::Active() const {
    TSQLiteBaseQuery* ds = DataSet();
    return ds && ds->Active();
}

TField* TFieldDataLink::Field() const {
    if (!Active() || FFieldName.isEmpty())
        return nullptr;
    return DataSet()->FindField(FFieldName);
}

bool TFieldDataLink::Editing() const {
    TSQLiteBaseQuery* ds = DataSet();
    return ds && ds->Editing();
}

bool TFieldDataLink::Edit() {
    if (Editing())
        return true;
    if (!Field())
        return false;
    // Edit on an empty dataset inserts a record, which announces a record
    // change; the control must keep the text the user is typing meanwhile.
    FEntering = true;
    const bool ok = RunDataAction([this] { DataSet()->Edit(); });
    FEntering = false;
    return ok && Editing();
}

void TFieldDataLink::Reset() {
    FModified = false;
    if (OnDataChange)
        OnDataChange();
}

bool TFieldDataLink::UpdateRecord() {
    if (!FModified)
        return true;
    if (!Field() || !OnUpdateData)
        return false;
    if (!OnUpdateData())
        return false;
    FModified = false;
    return true;
}

bool TFieldDataLink::UpdateRecord(TSQLiteBaseQuery* dataSet) {
    if (!dataSet)
        return true;
    bool ok = true;
    // Copy: writing a value notifies controls, which must not disturb the walk.
    const QList<TFieldDataLink*> links = AllLinks();
    for (TFieldDataLink* link : links)
        if (AllLinks().contains(link) && link->DataSet() == dataSet && !link->UpdateRecord())
            ok = false;
    return ok;
}

bool TFieldDataLink::Modified(TSQLiteBaseQuery* dataSet) {
    const QList<TFieldDataLink*> links = AllLinks();
    return std::any_of(links.begin(), links.end(), [dataSet](const TFieldDataLink* link) {
        return link->FModified && link->DataSet() == dataSet;
    });
}

void TFieldDataLink::DataChanged(TField* field) {
    if (FEntering)
        return;
    if (field && field != Field())
        return;
    FModified = false;
    if (OnDataChange)
        OnDataChange();
}

void TFieldDataLink::StateChanged() {
    if (OnStateChange)
        OnStateChange();
}

// ---------------------------------------------------------------------------

bool RunDataAction(const std::function<void()>& action) {
    try {
        action();
        return true;
    } catch (const EAbort&) {
        return false;
    } catch (const ESQLiteError& e) {
        Messages::error(e.message());
    } catch (const std::exception& e) {
        Messages::error(QString::fromLocal8Bit(e.what()));
    }
    return false;
}

bool IsNumericFieldType(TFieldType type) {
    return type == TFieldType::Integer || type == TFieldType::Float || type == TFieldType::LargeInt;
}

QString DisplayValueText(TFieldType type, const QVariant& value, const QString& displayFormat) {
    if (!value.isValid() || value.isNull())
        return {};
    switch (type) {
    case TFieldType::Integer:
    case TFieldType::LargeInt:
        if (!displayFormat.isEmpty())
            return FormatFloat(displayFormat, value.toDouble());
        return QString::number(value.toLongLong());
    case TFieldType::Float:
        if (!displayFormat.isEmpty())
            return FormatFloat(displayFormat, value.toDouble());
        return PlainLocale().toString(value.toDouble(), 'g', 15);
    case TFieldType::Date:
        return ToDateTime(value).date().toString(QStringLiteral("dd.MM.yyyy"));
    case TFieldType::Time:
        return ToDateTime(value).time().toString(QStringLiteral("hh:mm:ss"));
    case TFieldType::DateTime: {
        const QDateTime dt = ToDateTime(value);
        if (dt.time() == QTime(0, 0))
            return dt.date().toString(QStringLiteral("dd.MM.yyyy"));
        return dt.toString(QStringLiteral("dd.MM.yyyy hh:mm:ss"));
    }
    case TFieldType::Memo:
        return MemoText(value);
    case TFieldType::Blob:
        return QStringLiteral("(BLOB)");
    case TFieldType::Graphic:
        return QStringLiteral("(GRAPHIC)");
    case TFieldType::String:
    case TFieldType::Unknown:
        break;
    }
    return value.toString();
}

QString EditValueText(TFieldType type, const QVariant& value) {
    if (type == TFieldType::DateTime && value.isValid() && !value.isNull())
        return ToDateTime(value).toString(QStringLiteral("dd.MM.yyyy hh:mm:ss"));
    return DisplayValueText(type, value);
}

bool ParseFieldText(TFieldType type, const QString& text, QVariant& value, QString& error) {
    const QString trimmed = text.trimmed();
    const QString quoted = QStringLiteral("\"") + text + QStringLiteral("\"");
    switch (type) {
    case TFieldType::String:
    case TFieldType::Memo:
    case TFieldType::Unknown:
        // A blank is a value ("" is not): the reference tables hold such rows.
        value = text.isEmpty() ? QVariant() : QVariant(text);
        return true;
    case TFieldType::Integer:
    case TFieldType::LargeInt: {
        if (trimmed.isEmpty()) {
            value = QVariant();
            return true;
        }
        bool ok = false;
        qlonglong n = QLocale().toLongLong(trimmed, &ok);
        if (!ok)
            n = QLocale::c().toLongLong(trimmed, &ok);
        if (ok && type == TFieldType::Integer &&
            (n < std::numeric_limits<int>::min() || n > std::numeric_limits<int>::max()))
            ok = false;
        if (!ok) {
            error = quoted + QStringLiteral(" ist keine gültige ganze Zahl!");
            return false;
        }
        value = type == TFieldType::Integer ? QVariant(int(n)) : QVariant(n);
        return true;
    }
    case TFieldType::Float: {
        if (trimmed.isEmpty()) {
            value = QVariant();
            return true;
        }
        double d = 0;
        if (!ParseTypedNumber(trimmed, &d)) {
            error = quoted + QStringLiteral(" ist keine gültige Zahl!");
            return false;
        }
        value = d;
        return true;
    }
    case TFieldType::Date:
    case TFieldType::DateTime: {
        if (trimmed.isEmpty()) {
            value = QVariant();
            return true;
        }
        const QStringList parts = trimmed.split(QLatin1Char(' '), Qt::SkipEmptyParts);
        const QDate date = ParseDate(parts.value(0));
        QTime time(0, 0);
        if (parts.size() == 2 && type == TFieldType::DateTime)
            time = ParseTime(parts.value(1));
        if (!date.isValid() || !time.isValid() || parts.size() > (type == TFieldType::DateTime ? 2 : 1)) {
            error = quoted + QStringLiteral(" ist kein gültiges Datum!");
            return false;
        }
        value = QDateTime(date, time);
        return true;
    }
    case TFieldType::Time: {
        if (trimmed.isEmpty()) {
            value = QVariant();
            return true;
        }
        const QTime time = ParseTime(trimmed);
        if (!time.isValid()) {
            error = quoted + QStringLiteral(" ist keine gültige Uhrzeit!");
            return false;
        }
        value = QDateTime(QDate(1899, 12, 30), time);
        return true;
    }
    case TFieldType::Blob:
    case TFieldType::Graphic:
        break;
    }
    error = QStringLiteral("Das Feld kann nicht als Text bearbeitet werden!");
    return false;
}

bool WriteFieldText(TField* field, const QString& text) {
    if (!field)
        return false;
    QVariant value;
    QString error;
    if (!ParseFieldText(field->DataType(), text, value, error)) {
        Messages::warning(error);
        return false;
    }
    return RunDataAction([&] {
        if (value.isNull())
            field->Clear();
        else
            field->SetValue(value);
    });
}
