#include "UDM.h"

#include "AusdruckLauf.h"
#include "FileNames.h"
#include "Sicherung.h"

#include <QTextStream>

TDM* DM = nullptr;

TDM::TDM(QObject* parent) : QObject(parent) {
    setObjectName(QStringLiteral("DM"));
    SQLiteDB1.BusyTimeout = 1000;
    SQLiteDB1.DebugLog = false;

    Query1.Name = QStringLiteral("Query1");
    Query2.Name = QStringLiteral("Query2");
    Query3.Name = QStringLiteral("Query3");
    Query4.Name = QStringLiteral("Query4");
    QueryTimer1.Name = QStringLiteral("QueryTimer1");
    SetupReferenz();
    SetupKunde();
    SetupLieferant();
    SetupArtikel();
    SetupKopf();
    SetupPos();
    SetupAnsch();

    if (!DM)
        DM = this;
}

TDM::~TDM() {
    if (DM == this)
        DM = nullptr;
}

void TDM::OpenDatabaseFile(const QString& file) {
    SQLiteDB1.Close();
    SQLiteDB1.FileName = file;
    try {
        SQLiteDB1.Open();
        CreateAndUpgradeSchema();
    } catch (...) {
        try {
            SQLiteDB1.Close();
        } catch (...) {
        }
        throw;
    }
    // A process killed while it printed or copied left rows and files behind.
    RemoveAbandonedPrintRuns(*this);
    RemoveAbandonedBackupCopies(file);
}

void TDM::Exec(const QString& sql) {
    SQLiteDB1.ExecSQL(sql);
}

void TDM::RunInTransaction(const std::function<void()>& statements) {
    SQLiteDB1.StartTransaction();
    try {
        statements();
        SQLiteDB1.Commit();
    } catch (...) {
        // A failed change must not leave its transaction open: the statements
        // that follow would join it and be lost with it.
        if (SQLiteDB1.InTransaction()) {
            try {
                SQLiteDB1.Rollback();
            } catch (...) {
            }
        }
        throw;
    }
}

int RunUpgradeCommand(const QString& file, QTextStream& out, QTextStream& err) {
    if (file.isEmpty()) {
        err << QStringLiteral("Es wurde keine Datenbankdatei angegeben!") << Qt::endl;
        return 1;
    }
    // Opening a mistyped name would create a new, empty database under it and
    // report it as upgraded.
    if (!IsRegularFileName(file)) {
        err << QStringLiteral("Die Datenbankdatei \"") + file + QStringLiteral("\" wurde nicht gefunden!")
            << Qt::endl;
        return 1;
    }
    TDM* const previous = DM;
    TDM dm;
    DM = &dm;
    int result = 0;
    try {
        dm.OpenDatabaseFile(file);
        out << dm.GetDBVersion() << Qt::endl;
        dm.SQLiteDB1.Close();
    } catch (const ESQLiteError& e) {
        err << e.message() << Qt::endl;
        result = 1;
    } catch (const std::exception& e) {
        err << QString::fromLocal8Bit(e.what()) << Qt::endl;
        result = 1;
    }
    DM = previous;
    return result;
}
