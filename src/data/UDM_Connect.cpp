// Where the database lies and how the program connects to it.
#include "UDM.h"

#include "GlobalFunctions.h"
#include "Messages.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>

QString TDM::SettingsFileName() {
    return DataFolder() + QStringLiteral("Quorvent.ini");
}

QString TDM::DatabaseFileName() {
    QSettings ini(SettingsFileName(), QSettings::IniFormat);
    return ini.value(QStringLiteral("Database/DBFile"), DataFolder() + QStringLiteral("Quorvent.DB"))
        .toString();
}

QString TDM::OldDatabaseFileName() {
    const QString exe = QCoreApplication::instance() ? QCoreApplication::applicationFilePath() : QString();
    const QString name = exe.isEmpty() ? QStringLiteral("quorvent") : QFileInfo(exe).completeBaseName();
    return ProgramFolder() + name + QStringLiteral(".DB");
}

namespace {

// Older versions kept the database beside the program. It is copied to where
// the settings want it and then renamed to ".DBS" so it is not taken again.
// The rename waits for a successful copy: otherwise the user's data would sit
// unnoticed under the new name while the program starts on an empty database.
// Failures are not reported; the connection then simply opens or creates the
// file at its place.
void MoveOldDatabase(const QString& fileName) {
    const QFileInfo target(fileName);
    const QString targetFolder = target.absolutePath() + QLatin1Char('/');
    if (targetFolder == ProgramFolder() || target.exists())
        return;
    const QString oldFile = TDM::OldDatabaseFileName();
    if (!QFileInfo::exists(oldFile))
        return;
    if (!QDir().mkpath(target.absolutePath()))
        return;
    QFile::remove(fileName);
    if (!QFile::copy(oldFile, fileName)) {
        // Never leave half a database behind for the connection to open.
        QFile::remove(fileName);
        return;
    }
    const QString renamed = QFileInfo(oldFile).path() + QLatin1Char('/') +
                            QFileInfo(oldFile).completeBaseName() + QStringLiteral(".DBS");
    QFile::rename(oldFile, renamed);
}

} // namespace

void TDM::ConnectDatabase() {
    ConnectFailed = false;
    try {
        SQLiteDB1.DriverDLL = QStringLiteral("libsqlite3.so.0");
        const QString fileName = DatabaseFileName();
        MoveOldDatabase(fileName);
        OpenDatabaseFile(fileName);
    } catch (const ESQLiteError& e) {
        ConnectFailed = true;
        Messages::error(QStringLiteral("Fehler beim Verbinden zur Datenbank!\n") + e.message());
    } catch (const std::exception& e) {
        ConnectFailed = true;
        Messages::error(QStringLiteral("Fehler beim Verbinden zur Datenbank!\n") +
                        QString::fromLocal8Bit(e.what()));
    }
}

void TDM::RefuseWithWarning(const QString& message) {
    Messages::warning(message);
    Abort();
}
