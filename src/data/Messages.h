// Every warning, error, information and question box of the program goes
// through this interface. The program installs the QMessageBox implementation;
// tests install a scripted one that records each box and answers questions.
#pragma once

#include <QString>

class Messages {
public:
    enum Kind { Warning, Error, Information, Question };
    enum Answer { Yes, No, Cancel };

    virtual ~Messages() = default;

    static void warning(const QString& text);
    static void error(const QString& text);
    static void info(const QString& text);
    // A question with Yes and No buttons (and Cancel when withCancel); Enter
    // gives defaultAnswer. A question whose Yes destroys data defaults to No.
    static Answer question(const QString& text, bool withCancel = false, Answer defaultAnswer = Yes);
    // A question with Yes, No and in place of Cancel a third button captioned
    // `third` ("Anzeigen…"), which answers Cancel; Escape gives No.
    static Answer questionWithThird(const QString& text, const QString& third, Answer defaultAnswer = Yes);

    // Installs the implementation; the caller keeps ownership. nullptr restores
    // the fallback, which writes to stderr and answers No.
    static void install(Messages* impl);
    static Messages* installed();

protected:
    virtual void show(Kind kind, const QString& text) = 0;
    virtual Answer ask(const QString& text, bool withCancel, Answer defaultAnswer) = 0;
    // Without a box of its own, the question is asked with Yes and No only
    // (a scripted answer may still be Cancel).
    virtual Answer askWithThird(const QString& text, const QString& /*third*/, Answer defaultAnswer) {
        return ask(text, false, defaultAnswer);
    }
};
