#include "MaintenanceCommand.h"

#include "AusdruckLauf.h"
#include "FileNames.h"
#include "Messages.h"
#include "Sicherung.h"
#include "UDM.h"

namespace {

// Boxes of the data module become lines on standard error; a question is
// answered No, since nobody is there to answer it.
class TStreamMessages : public Messages {
public:
    explicit TStreamMessages(QTextStream& err) : FErr(err) {}

protected:
    void show(Kind, const QString& text) override { FErr << text << Qt::endl; }
    Answer ask(const QString& text, bool, Answer) override {
        FErr << text << Qt::endl;
        return No;
    }

private:
    QTextStream& FErr;
};

} // namespace

int RunOnDatabaseFile(const QString& file, QTextStream& err, const std::function<int(TDM&)>& work) {
    if (!IsRegularFileName(file)) {
        err << QStringLiteral("Die Datenbankdatei \"") + file + QStringLiteral("\" wurde nicht gefunden!")
            << Qt::endl;
        return 1;
    }
    TDM* const previous = DM;
    Messages* const previousMessages = Messages::installed();
    TStreamMessages messages(err);
    Messages::install(&messages);
    int result = 1;
    {
        TDM dm;
        DM = &dm;
        try {
            dm.SQLiteDB1.FileName = file;
            dm.SQLiteDB1.Open();
            const int version = dm.TableExists(QStringLiteral("set_db")) ? dm.GetDBVersion() : 0;
            if (version != TDM::CurrentDBVersion)
                err << QStringLiteral("Die Datenbank hat die Version ") + QString::number(version) +
                           QStringLiteral(", erwartet wird ") + QString::number(TDM::CurrentDBVersion) +
                           QStringLiteral(". Bitte zuerst mit quorvent --upgrade aktualisieren!")
                    << Qt::endl;
            else {
                // What a killed command or program left goes first.
                RemoveAbandonedPrintRuns(dm);
                RemoveAbandonedBackupCopies(file);
                result = work(dm);
            }
        } catch (const ESQLiteError& e) {
            err << e.message() << Qt::endl;
            result = 1;
        } catch (const std::exception& e) {
            err << QString::fromLocal8Bit(e.what()) << Qt::endl;
            result = 1;
        }
        try {
            dm.SQLiteDB1.Close();
        } catch (...) {
        }
    }
    Messages::install(previousMessages);
    DM = previous;
    return result;
}

bool OutputIsDatabase(const QString& database, const QString& output, QTextStream& err) {
    if (!IsDatabaseOrCompanion(database, output))
        return false;
    err << QStringLiteral("Die Datei \"") + output + QStringLiteral("\" ist die Datenbankdatei \"") +
               database + QStringLiteral("\" oder gehört zu ihr und wird nicht überschrieben!")
        << Qt::endl;
    return true;
}
