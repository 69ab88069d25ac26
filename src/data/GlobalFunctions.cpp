#include "GlobalFunctions.h"

#include "SQLite.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QLocale>

namespace {

// Blanks and control characters, as the trimming of values has always treated them.
bool IsTrimmed(QChar c) {
    return c.unicode() <= u' ';
}

QString TrimBlanks(const QString& text) {
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && IsTrimmed(text[begin]))
        ++begin;
    while (end > begin && IsTrimmed(text[end - 1]))
        --end;
    return text.mid(begin, end - begin);
}

QString WithSlash(const QString& folder) {
    QString result = QDir::fromNativeSeparators(folder);
    if (!result.endsWith(u'/'))
        result += u'/';
    return result;
}

} // namespace

QString SQLQuote(const QString& text) {
    QString value = TrimBlanks(text);
    value.replace(u'\'', QStringLiteral("''"));
    if (value.isEmpty() || value == QLatin1String("NULL"))
        return QStringLiteral("NULL");
    return u'\'' + value + u'\'';
}

QString DateToSQL(const QDate& date) {
    return QString::number(date.year()) + u'-' + PadZeros(QString::number(date.month()), 2) + u'-' +
           PadZeros(QString::number(date.day()), 2);
}

QString DateToSQL(const QDateTime& dateTime) {
    return DateToSQL(dateTime.date());
}

QString DateTimeToSQL(const QDateTime& dateTime) {
    const QTime t = dateTime.time();
    return DateToSQL(dateTime.date()) + u' ' + PadZeros(QString::number(t.hour()), 2) + u':' +
           PadZeros(QString::number(t.minute()), 2) + u':' + PadZeros(QString::number(t.second()), 2);
}

QDate SQLToDate(const QString& text) {
    bool okYear = false, okMonth = false, okDay = false;
    const int year = text.mid(0, 4).toInt(&okYear);
    const int month = text.mid(5, 2).toInt(&okMonth);
    const int day = text.mid(8, 2).toInt(&okDay);
    const QDate date(year, month, day);
    if (!okYear || !okMonth || !okDay || !date.isValid())
        throw ESQLiteError(u'\'' + text + QStringLiteral("' ist kein gültiges Datum"));
    return date;
}

QString PadZeros(const QString& text, int width) {
    QString result = text;
    while (result.size() < width)
        result.prepend(u'0');
    return result;
}

QString FormatEuro(double amount) {
    QLocale locale;
    locale.setNumberOptions(locale.numberOptions() | QLocale::OmitGroupSeparator);
    return locale.toString(amount, 'f', 2) + QStringLiteral(" EUR");
}

QString VersionToString(quint32 version) {
    return QString::number(version >> 16) + u'.' + QString::number(version & 0xFFFF);
}

quint32 ProgramVersion() {
    const QStringList parts = QStringLiteral(QUORVENT_VERSION).split(u'.');
    const quint32 major = parts.value(0).toUInt();
    const quint32 minor = parts.value(1).toUInt();
    return (major << 16) | (minor & 0xFFFF);
}

QString ProgramFolder() {
    if (QCoreApplication::instance())
        return WithSlash(QCoreApplication::applicationDirPath());
    return WithSlash(QDir::currentPath());
}

QString ResourceFolder() {
    const QString program = ProgramFolder();
    if (QFileInfo::exists(program + QStringLiteral("Quorvent.rav")))
        return program;
    const QString installed = QDir::cleanPath(program + QStringLiteral("../share/quorvent")) + u'/';
    return QFileInfo::exists(installed + QStringLiteral("Quorvent.rav")) ? installed : program;
}

QString DataFolder(const QString& sub) {
    QString base = qEnvironmentVariable("XDG_DATA_HOME");
    // A relative XDG_DATA_HOME is invalid and has to be ignored.
    if (base.isEmpty() || QDir::isRelativePath(base)) {
        const QString home = qEnvironmentVariable("HOME");
        base = home.isEmpty() ? QString() : home + QStringLiteral("/.local/share");
    }
    QString folder;
    if (base.isEmpty()) {
        folder = ProgramFolder();
    } else {
        folder = WithSlash(base) + QStringLiteral("Brenholm/Quorvent/");
        if (!QDir().mkpath(folder))
            folder = ProgramFolder();
    }
    if (!sub.isEmpty())
        folder += sub + u'/';
    return folder;
}
