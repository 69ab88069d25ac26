#include "TestSupport.h"

#include "SQLite.h"

#include <QLocale>

QStringList ScriptedMessages::texts() const {
    QStringList result;
    for (const auto& b : boxes)
        result << b.text;
    return result;
}

Messages::Answer ScriptedMessages::ask(const QString& text, bool, Answer defaultAnswer) {
    boxes.append({Question, text, defaultAnswer});
    if (answers.isEmpty()) {
        ++unexpected;
        return No;
    }
    return answers.dequeue();
}

TempDataHome::TempDataHome() {
    FHadOld = qEnvironmentVariableIsSet("XDG_DATA_HOME");
    FOld = qgetenv("XDG_DATA_HOME");
    qputenv("XDG_DATA_HOME", FDir.path().toLocal8Bit());
}

TempDataHome::~TempDataHome() {
    if (FHadOld)
        qputenv("XDG_DATA_HOME", FOld);
    else
        qunsetenv("XDG_DATA_HOME");
}

void PinGermanLocale() {
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
}

bool Aborted(const std::function<void()>& op) {
    try {
        op();
    } catch (const EAbort&) {
        return true;
    }
    return false;
}

QString ErrorOf(const std::function<void()>& op) {
    try {
        op();
    } catch (const ESQLiteError& e) {
        return e.message();
    }
    return QStringLiteral("<no error>");
}

int QueryInt(TSQLiteQuery& query, const QString& sql) {
    query.RunSQL(sql);
    return query.Fields(0)->AsInteger();
}

void AssignFields(TSQLiteBaseQuery& dataSet, const QStringList& assignments) {
    for (const QString& a : assignments) {
        TField* field = dataSet.FieldByName(a.section(QLatin1Char('='), 0, 0));
        const QString value = a.section(QLatin1Char('='), 1);
        if (value.isEmpty())
            field->Clear();
        else
            field->SetAsString(value);
    }
}
