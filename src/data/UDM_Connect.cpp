// Where the database lies and how the program connects to it.
#include "UDM.h"

#include "FileNames.h"
#include "FileSystem.h"
#include "GlobalFunctions.h"
#include "IniFile.h"
#include "Messages.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

QString TDM::SettingsFileName() {
    return DataFolder() + QStringLiteral("Quorvent.ini");
}

QString TDM::DatabaseFileName() {
    // Read by hand rather than through QSettings, which takes a path with a
    // comma for a list and drops the bytes of a name that are not UTF-8.
    return ReadIniString(SettingsFileName(), QStringLiteral("Database"), QStringLiteral("DBFile"),
                         DataFolder() + QStringLiteral("Quorvent.DB"));
}

QString TDM::OldDatabaseFileName() {
    const QString exe = QCoreApplication::instance() ? QCoreApplication::applicationFilePath() : QString();
    const QString name = exe.isEmpty() ? QStringLiteral("quorvent") : QFileInfo(exe).completeBaseName();
    return ProgramFolder() + name + QStringLiteral(".DB");
}

namespace {

// Older versions kept the database beside the program. It is copied to where
// the settings want it and then renamed to ".DBS" so it is not taken again.
// The copy goes through SQLite: opening the old file rolls back a transaction
// a crash left in its journal, and rows still in a WAL file come along; the
// copy is checked before it appears under its name. The rename waits for
// that: otherwise the user's data would sit unnoticed under the new name
// while the program starts on an empty database. Failures are not reported;
// the connection then simply opens or creates the file at its place.
void MoveOldDatabase(const QString& fileName, const QString& driverDLL) {
    const QFileInfo target(fileName);
    const QString targetFolder = target.absolutePath() + QLatin1Char('/');
    if (targetFolder == ProgramFolder() || FileNameExists(fileName))
        return;
    const QString oldFile = TDM::OldDatabaseFileName();
    if (!FileNameExists(oldFile))
        return;
    if (!CreateFolderPath(target.absolutePath()))
        return;
    try {
        CopyDatabaseFile(oldFile, fileName, driverDLL);
    } catch (const ESQLiteError&) {
        return;
    }
    const QString renamed = QFileInfo(oldFile).path() + QLatin1Char('/') +
                            QFileInfo(oldFile).completeBaseName() + QStringLiteral(".DBS");
    // An earlier ".DBS" is another database of the user's: never replaced.
    if (FileNameExists(renamed) || !RenameFileName(oldFile, renamed))
        return;
    // A journal left beside the old name belongs to the file; it must not be
    // cut off from it (nor be taken for the journal of another file later).
    for (const char* suffix : {"-journal", "-wal", "-shm"})
        if (FileNameExists(oldFile + QLatin1String(suffix)))
            RenameFileName(oldFile + QLatin1String(suffix), renamed + QLatin1String(suffix));
}

} // namespace

void TDM::ConnectDatabase() {
    ConnectFailed = false;
    try {
        SQLiteDB1.DriverDLL = QStringLiteral("libsqlite3.so.0");
        const QString fileName = DatabaseFileName();
        MoveOldDatabase(fileName, SQLiteDB1.DriverDLL);
        OpenDatabaseFile(fileName);
        WarnAboutNetworkShare(fileName);
    } catch (const ESQLiteError& e) {
        ConnectFailed = true;
        Messages::error(QStringLiteral("Fehler beim Verbinden zur Datenbank!\n") + e.message());
    } catch (const std::exception& e) {
        ConnectFailed = true;
        Messages::error(QStringLiteral("Fehler beim Verbinden zur Datenbank!\n") +
                        QString::fromLocal8Bit(e.what()));
    }
}

QString TDM::NetworkShareWarning(const QString& fileName) {
    const QString name = NetworkFileSystemName(FileSystemType(fileName));
    if (name.isEmpty())
        return QString();
    return QStringLiteral("Die Datenbank \"") + QDir::toNativeSeparators(fileName) +
           QStringLiteral("\" liegt auf einem Netzlaufwerk (") + name +
           QStringLiteral(
               ").\n\n"
               "Auf einem Netzlaufwerk ist die Datenbank nicht sicher: die Sperren, mit denen sich "
               "zwei Arbeitsplätze beim Schreiben abwechseln, wirken dort nicht zuverlässig. Die "
               "Datei kann beschädigt werden, eine Rechnungsnummer kann doppelt vergeben werden, "
               "und eine Rücksicherung kann die Arbeit anderer Arbeitsplätze verlieren.\n\n"
               "Sicher ist es so: die Datenbank liegt auf der Festplatte dieses Rechners, und "
               "gesichert wird mit \"Daten sichern\" auf das Netzlaufwerk. Sollen mehrere Personen "
               "mit denselben Daten arbeiten, arbeiten sie nacheinander an diesem Rechner oder über "
               "eine Fernwartung bzw. einen Terminalserver auf ihm.\n\n"
               "Ein Administrator, der das Netzlaufwerk für sicher hält, schaltet diese Warnung in "
               "der Datei Quorvent.ini aus (Abschnitt [Database], NetzlaufwerkErlaubt=1).");
}

void TDM::WarnAboutNetworkShare(const QString& fileName) {
    if (ReadIniString(SettingsFileName(), QStringLiteral("Database"),
                      QStringLiteral("NetzlaufwerkErlaubt")) == QLatin1String("1"))
        return;
    const QString warning = NetworkShareWarning(fileName);
    if (!warning.isEmpty())
        Messages::warning(warning);
}

void TDM::RefuseWithWarning(const QString& message) {
    Messages::warning(message);
    Abort();
}
