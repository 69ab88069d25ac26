// Shared fixtures of the tests: scripted message boxes and a temporary data folder.
#pragma once

#include "Messages.h"

#include <QByteArray>
#include <QList>
#include <QQueue>
#include <QString>
#include <QTemporaryDir>

#include <functional>

class TSQLiteBaseQuery;
class TSQLiteQuery;

// Records every box instead of showing it and answers questions from a queue.
// A question with no queued answer is recorded as unexpected and answered No.
class ScriptedMessages : public Messages {
public:
    struct Box {
        Kind kind;
        QString text;
        Answer defaultAnswer = Yes; // what Enter would have given (questions only)
    };

    ScriptedMessages() { Messages::install(this); }
    ~ScriptedMessages() override { Messages::install(nullptr); }

    QList<Box> boxes;
    QQueue<Answer> answers;
    int unexpected = 0;

    void clear() {
        boxes.clear();
        answers.clear();
        unexpected = 0;
    }
    // The texts of all boxes shown so far, in order.
    QStringList texts() const;
    QString lastText() const { return boxes.isEmpty() ? QString() : boxes.last().text; }

protected:
    void show(Kind kind, const QString& text) override { boxes.append({kind, text}); }
    Answer ask(const QString& text, bool withCancel, Answer defaultAnswer) override;
};

// A temporary folder set as XDG_DATA_HOME for the lifetime of the object, so the
// program's data folder (and its database) lives there.
class TempDataHome {
public:
    TempDataHome();
    ~TempDataHome();
    QString path() const { return FDir.path(); }
    // The program's data folder inside it.
    QString dataFolder() const { return FDir.path() + QStringLiteral("/Brenholm/Quorvent/"); }

private:
    QTemporaryDir FDir;
    QByteArray FOld;
    bool FHadOld;
};

// Pins the German locale so numbers and dates read as a user here sees them.
void PinGermanLocale();

// Whether op was ended by the dataset layer's silent abort (a rule refused it).
bool Aborted(const std::function<void()>& op);
// The message of the database error op raised, or "<no error>".
QString ErrorOf(const std::function<void()>& op);
// The first column of the first row of a statement such as "select count(*) ...".
int QueryInt(TSQLiteQuery& query, const QString& sql);
// Assigns "Field=value" pairs to the current record; an empty value clears the field.
void AssignFields(TSQLiteBaseQuery& dataSet, const QStringList& assignments);
