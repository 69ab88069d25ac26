#include "IniFile.h"

#include "FileNames.h"

#include <QFile>
#include <QList>
#include <QSaveFile>

namespace {

QList<QByteArray> ReadLines(const QString& file) {
    QFile f(file);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    QByteArray content = f.readAll();
    if (content.startsWith("\xEF\xBB\xBF"))
        content.remove(0, 3);
    QList<QByteArray> lines = content.split('\n');
    for (QByteArray& line : lines)
        if (line.endsWith('\r'))
            line.chop(1);
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    return lines;
}

bool SameName(const QByteArray& bytes, const QString& name) {
    return DecodeFileName(bytes).compare(name, Qt::CaseInsensitive) == 0;
}

// The section a "[name]" line opens, or nothing.
bool SectionLine(const QByteArray& line, QByteArray& name) {
    const QByteArray t = line.trimmed();
    if (t.size() < 2 || !t.startsWith('[') || !t.endsWith(']'))
        return false;
    name = t.mid(1, t.size() - 2).trimmed();
    return true;
}

// Splits a "key=value" line; comment lines and lines without "=" are no entries.
bool EntryLine(const QByteArray& line, QByteArray& key, QByteArray& value) {
    const QByteArray t = line.trimmed();
    const qsizetype eq = t.indexOf('=');
    if (t.isEmpty() || t.startsWith(';') || eq <= 0)
        return false;
    key = t.left(eq).trimmed();
    value = t.mid(eq + 1).trimmed();
    return true;
}

bool Quoted(const QByteArray& v) {
    return v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front();
}

} // namespace

QString ReadIniString(const QString& file, const QString& section, const QString& key,
                      const QString& defaultValue) {
    bool inSection = false;
    for (const QByteArray& line : ReadLines(file)) {
        QByteArray name, entryKey, value;
        if (SectionLine(line, name)) {
            inSection = SameName(name, section);
        } else if (inSection && EntryLine(line, entryKey, value) && SameName(entryKey, key)) {
            if (Quoted(value))
                value = value.mid(1, value.size() - 2);
            return DecodeFileName(value);
        }
    }
    return defaultValue;
}

bool WriteIniString(const QString& file, const QString& section, const QString& key, const QString& value) {
    if (value.contains(u'\n') || value.contains(u'\r'))
        return false;
    QByteArray bytes = EncodeFileName(value);
    if (bytes != bytes.trimmed() || Quoted(bytes))
        bytes = '"' + bytes + '"';
    const QByteArray entry = EncodeFileName(key) + '=' + bytes;

    QList<QByteArray> lines = ReadLines(file);
    qsizetype sectionAt = -1, insertAt = -1;
    bool written = false;
    for (qsizetype i = 0; i < lines.size() && !written; ++i) {
        QByteArray name, entryKey, entryValue;
        if (SectionLine(lines[i], name)) {
            if (sectionAt >= 0)
                break;
            if (SameName(name, section))
                sectionAt = insertAt = i + 1;
        } else if (sectionAt >= 0) {
            if (EntryLine(lines[i], entryKey, entryValue) && SameName(entryKey, key)) {
                lines[i] = entry;
                written = true;
            } else if (!lines[i].trimmed().isEmpty()) {
                insertAt = i + 1;
            }
        }
    }
    if (!written) {
        if (sectionAt >= 0) {
            lines.insert(insertAt, entry);
        } else {
            if (!lines.isEmpty() && !lines.last().trimmed().isEmpty())
                lines << QByteArray();
            lines << '[' + EncodeFileName(section) + ']' << entry;
        }
    }

    QSaveFile out(file);
    if (!out.open(QIODevice::WriteOnly))
        return false;
    for (const QByteArray& line : lines)
        out.write(line + '\n');
    return out.commit();
}
