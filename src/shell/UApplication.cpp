#include "UApplication.h"

#include "Messages.h"
#include "SQLite.h"

#include <QLibraryInfo>
#include <QTranslator>

TQuorventApp::TQuorventApp(int& argc, char** argv) : QApplication(argc, argv) {
    setApplicationName(QStringLiteral("Quorvent"));
    setOrganizationName(QStringLiteral("Brenholm"));
    setApplicationVersion(QStringLiteral(QUORVENT_VERSION));
    QLocale::setDefault(ProgramLocale(QLocale::system()));
}

QLocale ProgramLocale(const QLocale& system) {
    // A bare machine (C/POSIX) would show "1234.5" and "12/9/26" in a German
    // interface; any real locale the user chose is kept.
    if (system.language() == QLocale::C)
        return QLocale(QLocale::German, QLocale::Germany);
    return system;
}

bool TQuorventApp::notify(QObject* receiver, QEvent* event) {
    try {
        return QApplication::notify(receiver, event);
    } catch (...) {
        ShowException(std::current_exception());
    }
    return false;
}

void TQuorventApp::ShowException(std::exception_ptr error) {
    try {
        std::rethrow_exception(error);
    } catch (const EAbort&) {
        // A cancelled operation: its reason was shown already, if any.
    } catch (const ESQLiteError& e) {
        Messages::error(e.message());
    } catch (const std::exception& e) {
        Messages::error(QString::fromLocal8Bit(e.what()));
    } catch (...) {
        Messages::error(QStringLiteral("Unbekannter Fehler"));
    }
}

bool LoadGermanQtTranslations(QCoreApplication* app) {
    auto* translator = new QTranslator(app);
    if (!translator->load(QLocale(QLocale::German, QLocale::Germany), QStringLiteral("qtbase"),
                          QStringLiteral("_"), QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        delete translator;
        return false;
    }
    return QCoreApplication::installTranslator(translator);
}
