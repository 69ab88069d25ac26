#include "DatabaseFixture.h"

#include <QFile>

void TDatabaseFixture::BuildTemplate(const std::function<void(TSQLiteDB&)>& fill) {
    TempDataHome buildHome;
    FTemplateFile = FTemplateDir.path() + QStringLiteral("/template.db");
    TDM builder;
    builder.OpenDatabaseFile(FTemplateFile);
    if (fill)
        fill(builder.SQLiteDB1);
    builder.SQLiteDB1.Close();
}

bool TDatabaseFixture::Open() {
    Close();
    home = new TempDataHome;
    messages = new ScriptedMessages;
    const QString file = home->path() + QStringLiteral("/test.db");
    if (!QFile::copy(FTemplateFile, file))
        return false;
    dm = new TDM;
    DM = dm;
    dm->OpenDatabaseFile(file);
    return true;
}

void TDatabaseFixture::Close() {
    if (DM == dm)
        DM = nullptr;
    delete dm;
    dm = nullptr;
    delete messages;
    messages = nullptr;
    delete home;
    home = nullptr;
}
