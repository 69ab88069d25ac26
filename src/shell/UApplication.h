// The application object: an error that no screen handles is shown in an
// error box and the program goes on.
#pragma once

#include <QApplication>
#include <QLocale>

class TQuorventApp : public QApplication {
    Q_OBJECT
public:
    TQuorventApp(int& argc, char** argv);

    bool notify(QObject* receiver, QEvent* event) override;

    // Shows the error box for an exception caught at the top level; the
    // silent abort shows nothing.
    static void ShowException(std::exception_ptr error);
};

// The locale numbers and dates are shown in: the system's, or German where
// the system has none (C/POSIX).
QLocale ProgramLocale(const QLocale& system);

// Loads Qt's own German texts (standard buttons, file, colour and print
// dialogs). Returns false when the translation file is not installed.
bool LoadGermanQtTranslations(QCoreApplication* app);
