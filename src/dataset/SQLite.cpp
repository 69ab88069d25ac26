// The connection, the error messages, the debug log and the date forms.
#include "SQLite.h"

#include "FileNames.h"
#include "SQLiteAPI.h"
#include "SQLiteInternal.h"
#include "Win1252.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <chrono>

ESQLiteError::ESQLiteError(const QString& message, int code)
    : FMessage(message), FCode(code), FWhat(message.toUtf8()) {}

void Abort() {
    throw EAbort();
}

// ---------------------------------------------------------------------------
// Dates

namespace {

bool digitsAt(const QString& t, std::initializer_list<int> positions) {
    for (int p : positions)
        if (!t.at(p).isDigit() || t.at(p).unicode() > '9')
            return false;
    return true;
}

int numberAt(const QString& t, int pos, int len) {
    int v = 0;
    for (int i = 0; i < len; ++i)
        v = v * 10 + (t.at(pos + i).unicode() - '0');
    return v;
}

bool isDateForm(const QString& t) {
    return t.size() == 10 && t.at(4) == u'-' && t.at(7) == u'-' && digitsAt(t, {0, 1, 2, 3, 5, 6, 8, 9});
}

bool isTimeForm(const QString& t, int at = 0) {
    return t.size() == at + 8 && t.at(at + 2) == u':' && t.at(at + 5) == u':' &&
           digitsAt(t, {at, at + 1, at + 3, at + 4, at + 6, at + 7});
}

bool isDateTimeForm(const QString& t) {
    return t.size() == 19 && isDateForm(t.left(10)) && t.at(10) == u' ' && isTimeForm(t, 11);
}

QDate dateAt(const QString& t) {
    return QDate(numberAt(t, 0, 4), numberAt(t, 5, 2), numberAt(t, 8, 2));
}

QTime timeAt(const QString& t, int at) {
    return QTime(numberAt(t, at, 2), numberAt(t, at + 3, 2), numberAt(t, at + 6, 2));
}

} // namespace

QDateTime ZeroDateTime() {
    return QDateTime(QDate(1899, 12, 30), QTime(0, 0));
}

QString SQLiteDateTimeText(const QDateTime& value) {
    return value.toString(QStringLiteral("yyyy-MM-dd hh:mm:ss"));
}
QString SQLiteDateText(const QDateTime& value) {
    return value.toString(QStringLiteral("yyyy-MM-dd"));
}
QString SQLiteTimeText(const QDateTime& value) {
    return value.toString(QStringLiteral("hh:mm:ss"));
}

QDateTime ParseSQLiteDateTime(const QString& text) {
    if (!isDateTimeForm(text))
        return ZeroDateTime();
    const QDate d = dateAt(text);
    const QTime t = timeAt(text, 11);
    return d.isValid() && t.isValid() ? QDateTime(d, t) : ZeroDateTime();
}

QDateTime ParseSQLiteDate(const QString& text) {
    if (!isDateForm(text))
        return ZeroDateTime();
    const QDate d = dateAt(text);
    return d.isValid() ? QDateTime(d, QTime(0, 0)) : ZeroDateTime();
}

QDateTime ParseSQLiteTime(const QString& text) {
    if (!isTimeForm(text))
        return ZeroDateTime();
    const QTime t = timeAt(text, 0);
    return t.isValid() ? QDateTime(QDate(1899, 12, 30), t) : ZeroDateTime();
}

// Used by the column typing of expression columns.
TFieldType TypeOfTextValue(const QString& text) {
    if (isDateTimeForm(text))
        return TFieldType::DateTime;
    if (isDateForm(text))
        return TFieldType::Date;
    if (isTimeForm(text))
        return TFieldType::Time;
    return TFieldType::String;
}

// ---------------------------------------------------------------------------
// Debug log and errors

namespace {

QString programFolder() {
    if (QCoreApplication::instance())
        return QCoreApplication::applicationDirPath();
    return QFileInfo(QFile::symLinkTarget(QStringLiteral("/proc/self/exe"))).absolutePath();
}

QString codeText(int code) {
    static const char* const texts[] = {
        nullptr,
        "Allgemeiner Fehler oder fehlende Datenbank!",
        "Interner Fehler!",
        "Der Zugriff auf die Datenbank wurde verweigert!",
        "Abbruch durch Callback-Routine!",
        "Es existiert ein Lock auf die Datenbank!",
        "Es existiert ein Lock auf eine Tabelle!",
        "Fehler bei der Speicherreservierung!",
        "Es wurde versucht eine schreibgeschützte Datenbank zu verändern!",
        "Die Operation wurde von der Interrupt-Routine abgebrochen!",
        "Es ist ein Disk I/O Fehler aufgetreten!",
        "Die Datenbank-Datei ist beschädigt!",
        "Die Tabelle oder der Datensatz wurde nicht gefunden!",
        "Die Datenbank ist voll!",
        "Fehler beim Öffnen der Datenbankdatei!",
        "Fehler im Lockprotokoll der Datenbank!",
        "Die Datenbank ist leer!",
        "Das Datenbankschema hat sich verändert!",
        "Der Datensatz ist zu groß!",
        "Contraint-Verletzung!",
        "Nicht übereinstimmender Datentyp!",
        "Ungültige Verwendung der DLL!",
        "Verwendete OS-Funktionen werden nicht unterstützt!",
        "Berechtigung wurde verweigert!",
        "Zusätzliches Datenbank-Format fehlerhaft!",
        "Parameter außerhalb des gültigen Bereichs!",
        "Die angegeben Datei ist keine Datenbankdatei!",
    };
    if (code == 0 || code == 100 || code == 101)
        return {};
    if (code > 0 && code <= 26)
        return QString::fromUtf8(texts[code]);
    return QStringLiteral("SQL-Error-Code: ") + QString::number(code);
}

} // namespace

QString SQLiteCodeText(int code) {
    return codeText(code);
}

void WriteDebugLog(const QString& fileName, const QString& text) {
    const QString name = fileName.isEmpty() ? programFolder() + QStringLiteral("/SQLiteDebug.log") : fileName;
    QFile file(name);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Text))
        return;
    qsizetype begin = 0, end = text.size();
    auto isBreak = [](QChar c) { return c == u'\n' || c == u'\r'; };
    while (begin < end && isBreak(text.at(begin)))
        ++begin;
    while (end > begin && isBreak(text.at(end - 1)))
        --end;
    const QString line = QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd-hh.mm.ss.zzz")) +
                         QStringLiteral("000 ") + text.mid(begin, end - begin) + u'\n';
    file.write(line.toUtf8());
    file.flush();
    file.close();
}

void RaiseDatabaseError(bool log, const QString& logFile, const QString& dbFile, int code, const QString& sql,
                        const QString& message) {
    QString text;
    const QString ct = codeText(code);
    if (!ct.isEmpty())
        text += (code > 0 && code <= 26 ? QStringLiteral("SQL-Error: ") + ct : ct) + u'\n';
    if (!dbFile.isEmpty())
        text += QStringLiteral(" (") + QFileInfo(dbFile).fileName() + QStringLiteral(") ");
    text += message;
    if (!sql.isEmpty())
        text += QStringLiteral("\n\n") + sql;
    if (log)
        WriteDebugLog(logFile, text);
    throw ESQLiteError(text, code);
}

bool SQLiteVersionSupported(const QString& version) {
    const QStringList parts = version.trimmed().split(u'.');
    bool ok1 = false, ok2 = false;
    const int major = parts.value(0).toInt(&ok1);
    const int minor = parts.value(1).toInt(&ok2);
    if (!ok1 || !ok2)
        return false;
    return major > 3 || (major == 3 && minor >= 3);
}

// ---------------------------------------------------------------------------
// Connection

TSQLiteDB::TSQLiteDB() : DriverDLL(QStringLiteral("libsqlite3.so.0")), FApi(std::make_unique<TSQLiteAPI>()) {}

TSQLiteDB::~TSQLiteDB() {
    try {
        Disconnect();
    } catch (...) {
        // A destructor cannot report; the handle is gone with the process anyway.
    }
    for (TSQLiteBaseQuery* ds : FDataSets)
        ds->FConnection = nullptr;
    UnloadSQLiteLibrary(*FApi);
}

bool TSQLiteDB::Connected() const {
    return FHandle != nullptr;
}

void TSQLiteDB::SetConnected(bool value) {
    if (value && !Connected())
        Connect();
    else if (!value && Connected())
        Disconnect();
}

void TSQLiteDB::Connect() {
    if (FileName.isEmpty())
        throw ESQLiteError(QStringLiteral("Es wurde keine Datenbank angegeben!"));
    if (!LoadSQLiteLibrary(DriverDLL, *FApi))
        throw ESQLiteError(QStringLiteral("Die Datei ") + DriverDLL +
                           QStringLiteral(" konnte nicht gefunden werden!"));
    FVersion = QString::fromLatin1(FApi->libversion());
    if (!SQLiteVersionSupported(FVersion)) {
        UnloadSQLiteLibrary(*FApi);
        throw ESQLiteError(QStringLiteral("Ungültige Version des Datenbanktreibers!"));
    }
    try {
        if (BeforeConnect)
            BeforeConnect(this);
        sqlite3* handle = nullptr;
        // The file name is a path of this system, not database text; its
        // bytes go to SQLite unchanged, so a name that is not UTF-8 opens
        // exactly that file instead of creating one with a mangled name.
        const int rc = FApi->open(EncodeFileName(FileName).constData(), &handle);
        if (rc != 0) {
            if (handle)
                FApi->close(handle);
            RaiseError(rc, {},
                       QStringLiteral("Die Datenbank ") + FileName +
                           QStringLiteral(" konnte nicht geöffnet werden!"));
        }
        FHandle = handle;
        FApi->busy_timeout(FHandle, BusyTimeout);
        InstallByteLike(*FApi, FHandle);
        FInTransaction = false;
        if (AfterConnect)
            AfterConnect(this);
    } catch (...) {
        if (!FHandle)
            UnloadSQLiteLibrary(*FApi);
        throw;
    }
}

void TSQLiteDB::Disconnect() {
    if (!FHandle)
        return;
    if (FInTransaction)
        Rollback();
    if (BeforeDisconnect)
        BeforeDisconnect(this);
    const std::vector<TSQLiteBaseQuery*> dataSets = FDataSets;
    for (TSQLiteBaseQuery* ds : dataSets)
        ds->Close();
    DropStatements(); // a compiled statement left over would keep the file from closing
    const int rc = FApi->close(FHandle);
    if (rc != 0)
        RaiseError(rc, {},
                   QStringLiteral("Die Datenbank ") + FileName +
                       QStringLiteral(" konnte nicht geschlossen werden!"));
    FHandle = nullptr;
    if (AfterDisconnect)
        AfterDisconnect(this);
    UnloadSQLiteLibrary(*FApi);
}

void TSQLiteDB::RaiseError(int code, const QString& sql, const QString& message) const {
    RaiseDatabaseError(DebugLog, DebugLogFile, FileName, code, sql, message);
}

void TSQLiteDB::LogSQL(const QString& text) const {
    if (DebugLog)
        WriteDebugLog(DebugLogFile, text);
}

namespace {
qint64 nowNs() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}
} // namespace

void TSQLiteDB::StartTiming() {
    FStartNs = nowNs();
}
void TSQLiteDB::StopTiming() {
    FDuration = double(nowNs() - FStartNs) / 1e6;
}

void TSQLiteDB::ExecSQL(const QString& sql, const QList<QByteArray>& blobs) {
    StartTiming();
    LogSQL(sql);
    if (!FHandle)
        RaiseError(0, {}, QStringLiteral("Es wurde noch keine Verbindung zur Datenbank hergestellt!"));
    const QByteArray bytes = Win1252::encode(sql);

    sqlite3_stmt* stmt = nullptr;
    int rc = FApi->Prepare(FHandle, bytes.constData(), &stmt);
    if (rc != 0) {
        StopTiming();
        RaiseError(rc, sql, Win1252::decode(QByteArray(FApi->errmsg(FHandle))));
    }
    if (!stmt) {
        StopTiming();
        RaiseError(0, sql, QStringLiteral("Die folgende SQL-Anweisung konnte nicht vorbereitet werden:"));
    }
    int stepRc = 0;
    for (int i = 0; i < blobs.size() && stepRc == 0; ++i)
        stepRc = FApi->bind_blob(stmt, i + 1, blobs[i].constData(), int(blobs[i].size()), SQLITE_STATIC);
    if (stepRc == 0)
        stepRc = FApi->step(stmt);
    const bool failed = stepRc != SQLITE_ROW && stepRc != SQLITE_DONE;
    // A PRAGMA reports its failure at the step; every other statement's failure
    // (a constraint, a lock) comes back from finalize with SQLite's own text.
    QString stepMessage;
    if (failed)
        stepMessage = Win1252::decode(QByteArray(FApi->errmsg(FHandle)));
    LogSQL(QStringLiteral("Finish"));
    StopTiming();
    rc = FApi->finalize(stmt);
    if (failed && sql.trimmed().toUpper().startsWith(QStringLiteral("PRAGMA")))
        RaiseError(stepRc, sql, stepMessage);
    if (rc != 0)
        RaiseError(rc, sql, Win1252::decode(QByteArray(FApi->errmsg(FHandle))));
    if (failed) // a bind that failed leaves finalize content; the failure must not pass as success
        RaiseError(stepRc, sql, stepMessage);
}

bool TSQLiteDB::CanBind() const {
    return FHandle && FApi->canReuseStatements();
}

void TSQLiteDB::DropStatements() {
    for (auto& entry : FStatements)
        FApi->finalize(entry.second);
    FStatements.clear();
}

void TSQLiteDB::ExecBound(const QString& sql, const std::vector<TSQLParam>& params,
                          const std::function<QString()>& literal) {
    StartTiming();
    if (DebugLog)
        LogSQL(literal());
    if (!FHandle)
        RaiseError(0, {}, QStringLiteral("Es wurde noch keine Verbindung zur Datenbank hergestellt!"));
    sqlite3_stmt* stmt = nullptr;
    for (const auto& entry : FStatements)
        if (entry.first == sql) {
            stmt = entry.second;
            break;
        }
    if (!stmt) {
        const QByteArray bytes = Win1252::encode(sql);
        const int rc = FApi->prepare_v2(FHandle, bytes.constData(), -1, &stmt, nullptr);
        if (rc != 0) {
            StopTiming();
            RaiseError(rc, literal(), Win1252::decode(QByteArray(FApi->errmsg(FHandle))));
        }
        if (!stmt) {
            StopTiming();
            RaiseError(0, literal(),
                       QStringLiteral("Die folgende SQL-Anweisung konnte nicht vorbereitet werden:"));
        }
        if (FStatements.size() >= 32)
            DropStatements();
        FStatements.emplace_back(sql, stmt);
    }
    int rc = 0;
    for (int i = 0; i < int(params.size()) && rc == 0; ++i) {
        const TSQLParam& p = params[i];
        switch (p.kind) {
        case TSQLParam::Null:
            rc = FApi->bind_null(stmt, i + 1);
            break;
        case TSQLParam::Int:
            rc = FApi->bind_int64(stmt, i + 1, p.i);
            break;
        case TSQLParam::Double:
            rc = FApi->bind_double(stmt, i + 1, p.d);
            break;
        case TSQLParam::Text:
            rc = FApi->bind_text(stmt, i + 1, p.bytes.constData(), int(p.bytes.size()), SQLITE_STATIC);
            break;
        case TSQLParam::Blob:
            rc = FApi->bind_blob(stmt, i + 1, p.bytes.constData(), int(p.bytes.size()), SQLITE_STATIC);
            break;
        }
    }
    if (rc == 0)
        rc = FApi->step(stmt);
    const bool failed = rc != SQLITE_ROW && rc != SQLITE_DONE;
    QString message;
    if (failed)
        message = Win1252::decode(QByteArray(FApi->errmsg(FHandle)));
    LogSQL(QStringLiteral("Finish"));
    StopTiming();
    const int resetRc = FApi->reset(stmt);
    if (failed)
        RaiseError(resetRc != 0 ? resetRc : rc, literal(), message);
}

void TSQLiteDB::StartTransaction() {
    if (FInTransaction)
        throw ESQLiteError(QStringLiteral("Es ist bereits eine Transaktion aktiv!"));
    ExecSQL(QStringLiteral("BEGIN IMMEDIATE TRANSACTION"));
    FInTransaction = true;
}

void TSQLiteDB::Commit() {
    ExecSQL(QStringLiteral("COMMIT TRANSACTION"));
    FInTransaction = false;
}

void TSQLiteDB::Rollback() {
    // Cleared first: when SQLite has already rolled back by itself (disk full,
    // I/O error) the statement fails, and the flag must not stay set forever.
    FInTransaction = false;
    ExecSQL(QStringLiteral("ROLLBACK"));
}

qint64 TSQLiteDB::LastInsertRowId() const {
    return FHandle ? FApi->last_insert_rowid(FHandle) : 0;
}

int TSQLiteDB::Changes() const {
    return FHandle ? FApi->changes(FHandle) : 0;
}

void TSQLiteDB::RegisterDataSet(TSQLiteBaseQuery* ds) {
    if (std::find(FDataSets.begin(), FDataSets.end(), ds) == FDataSets.end())
        FDataSets.push_back(ds);
}

void TSQLiteDB::UnregisterDataSet(TSQLiteBaseQuery* ds) {
    FDataSets.erase(std::remove(FDataSets.begin(), FDataSets.end(), ds), FDataSets.end());
}
