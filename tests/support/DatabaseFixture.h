// The data module of a test program on a fresh copy of one template
// database: the template is built once (initTestCase), every test function
// gets its own copy in its own data folder, with scripted message boxes.
#pragma once

#include "TestSupport.h"
#include "UDM.h"

#include <QTemporaryDir>

#include <functional>

class TDatabaseFixture {
public:
    ~TDatabaseFixture() { Close(); }

    // A new database with the rows fill adds, kept as the template.
    void BuildTemplate(const std::function<void(TSQLiteDB& db)>& fill = {});
    // A copy of the template opened by a new data module, which becomes DM.
    bool Open();
    // Data module, messages and data folder of the last Open gone.
    void Close();

    TDM* dm = nullptr;
    ScriptedMessages* messages = nullptr;
    TempDataHome* home = nullptr;

private:
    QTemporaryDir FTemplateDir;
    QString FTemplateFile;
};
