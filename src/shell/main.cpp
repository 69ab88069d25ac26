// The main program: start screen, data module, every window, then the main
// window until it closes.
#include "CommandLine.h"
#include "DatevExport.h"
#include "DruckAusgabe.h"
#include "DruckMail.h"
#include "EInvoice.h"
#include "EInvoiceArchiv.h"
#include "Eingangsrechnung.h"
#include "FileNames.h"
#include "GlobalFunctions.h"
#include "LocalTime.h"
#include "QtMessages.h"
#include "Rtf.h"
#include "Sicherung.h"
#include "TReportOutput.h"
#include "UAllgemein.h"
#include "UAnschrift.h"
#include "UApplication.h"
#include "UArtikel.h"
#include "UArtikelGruppe.h"
#include "UBerechtigung.h"
#include "UDM.h"
#include "UDatevExport.h"
#include "UDrucken.h"
#include "UEinAllg.h"
#include "UEinRecht.h"
#include "UEinStyle.h"
#include "UEingang.h"
#include "UExtras.h"
#include "UFInfo.h"
#include "UFrameArtikelUeb.h"
#include "UFrameKundenUeb.h"
#include "UFrameLieferantenUeb.h"
#include "UInfo.h"
#include "UKopf.h"
#include "UKopfUeb.h"
#include "UKopieren.h"
#include "UKunde.h"
#include "UKundenGruppe.h"
#include "ULieferant.h"
#include "ULieferantenGruppe.h"
#include "UMF.h"
#include "UMahnen.h"
#include "UNavigation.h"
#include "UOffenePosten.h"
#include "UPage.h"
#include "UPosDaten.h"
#include "UPosUeb.h"
#include "USignals.h"
#include "UStammAusw.h"
#include "UStammUeb.h"
#include "UStartForm.h"
#include "UStatistik.h"
#include "Zahlungen.h"

#include <QCoreApplication>
#include <QDialog>
#include <QGuiApplication>
#include <QMenu>
#include <QStatusBar>
#include <QTextStream>
#include <QTimer>

#include <cstring>
#include <memory>

namespace {

QtMessageHandler QtDefaultHandler = nullptr;
void OnlyCriticalMessages(QtMsgType type, const QMessageLogContext& context, const QString& text) {
    if ((type == QtCriticalMsg || type == QtFatalMsg) && QtDefaultHandler)
        QtDefaultHandler(type, context, text);
}

// The maintenance commands: no window, results on standard output or in the
// named file, German errors on standard error, exit code 0 or 1.
struct TCommand {
    const char* option;
    bool painting; // draws pages (needs the GUI application, without a display)
    int (*run)(const QStringList& args, QTextStream& out, QTextStream& err);
};

const TCommand Commands[] = {
    // "quorvent --upgrade FILE" brings a database file up to date.
    {"--upgrade", false,
     [](const QStringList& args, QTextStream& out, QTextStream& err) {
         if (args.size() != 1) {
             err << QStringLiteral("Aufruf: quorvent --upgrade DATEI") << Qt::endl;
             return 1;
         }
         return RunUpgradeCommand(args[0], out, err);
     }},
    // "quorvent --backup FILE OUT": a checked copy for scheduled backups.
    {"--backup", false, &RunBackupCommand},
    // "quorvent --print-data FILE TYPE NUMBER [--reminder]": what a printout
    // of the document will contain, as JSON lines.
    {"--print-data", false, &RunPrintDataCommand},
    // "quorvent --einvoice FILE TYPE NUMBER OUT.xml": the EN 16931 e-invoice
    // of a document, for accounting software and portals.
    {"--einvoice", false, &RunEInvoiceCommand},
    // "quorvent --read-einvoice FILE": what an incoming e-invoice says, as
    // JSON, with the check's findings; no database.
    {"--read-einvoice", false, &RunReadEInvoiceCommand},
    // "quorvent --open-items FILE DATE": the open items at the end of DATE
    // as JSON lines, for scripts and accounting.
    {"--open-items", false, &RunOpenItemsCommand},
    // "quorvent --datev FILE FROM TO FOLDER": the period's documents and
    // customers as DATEV files for the tax advisor, for a scheduled export.
    {"--datev", false, &RunDatevCommand},
    // "quorvent --pdf FILE TYPE NUMBER OUT.pdf [--reminder] [--einvoice]": the
    // document as the print dialog's PDF shows it, for archives and batch
    // exports.
    {"--pdf", true, &RunPdfCommand},
};

int MaintenanceCommand(int argc, char** argv, bool* handled) {
    *handled = false;
    int at = 1;
    const TCommand* command = nullptr;
    for (; at < argc && !command; ++at)
        for (const TCommand& c : Commands)
            if (std::strcmp(argv[at], c.option) == 0)
                command = &c;
    if (!command)
        return 0;
    *handled = true;
    std::unique_ptr<QCoreApplication> app;
    if (command->painting) {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
        // Standard error carries the command's own German errors; the
        // toolkit's notes about the environment (no runtime folder, no
        // display) would only bury them in scripts and logs.
        QtDefaultHandler = qInstallMessageHandler(OnlyCriticalMessages);
        app = std::make_unique<QGuiApplication>(argc, argv);
    } else {
        app = std::make_unique<QCoreApplication>(argc, argv);
    }
    // Amounts, dates and payment terms as the printout words them, German on
    // a bare machine too.
    QLocale::setDefault(ProgramLocale(QLocale::system()));
    TDM::FormattedTextPlain = &Rtf::PlainText;
    QTextStream out(stdout), err(stderr);
    // Every argument keeps its bytes even where they are not UTF-8, so a
    // command reads and writes exactly the files named, never look-alikes.
    // Arguments before the command are as wrong as surplus ones after it;
    // given none, a command answers with its usage text.
    QStringList args;
    if (at == 2)
        for (int j = at; j < argc; ++j)
            args << DecodeFileName(QByteArray(argv[j]));
    return command->run(args, out, err);
}

// The value after a command-line option, empty when the option is absent.
QString OptionValue(const QStringList& args, const QString& option) {
    const qsizetype i = args.indexOf(option);
    return i >= 0 && i + 1 < args.size() ? args[i + 1] : QString();
}

// Connects an action of the main window to a page's show operation.
void Wire(TMF& mf, const char* action, TPage* page) {
    QObject::connect(mf.Action(QLatin1String(action)), &QAction::triggered, page,
                     [page] { page->ShowPage(); });
}

// The record form that the list on a page and in a picker opens.
template <class TForm> void ListsOpen(TForm* form, TFrameUeb* pageList, TFrameUeb* pickerList) {
    pageList->SetRecordForm(form);
    pickerList->SetRecordForm(form);
}

// A termination request closes open dialogs and the main window through the
// normal close path (window settings stored), then leaves the event loop.
void CloseInOrder(TMF& mf) {
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (auto* dialog = qobject_cast<QDialog*>(w); dialog && dialog->isVisible())
            dialog->reject();
    }
    if (mf.isVisible())
        mf.close();
    QCoreApplication::exit(0);
}

} // namespace

int main(int argc, char** argv) {
    ReadLocalZoneOnce();
    InstallEInvoiceArchiv();
    bool handled = false;
    if (const int early = EarlyCommandLine(argc, argv, &handled); handled)
        return early;
    const int rc = MaintenanceCommand(argc, argv, &handled);
    if (handled)
        return rc;

    TQuorventApp app(argc, argv);
    LoadGermanQtTranslations(&app);
    TQtMessages messages;
    Messages::install(&messages);
    const QStringList args = QCoreApplication::arguments();

    // Declared first so that it outlives every window bound to its datasets.
    std::unique_ptr<TDM> dm;

    // 1. The main window (hidden), the start screen and the Info dialog.
    TMF mf;
    TStartForm startForm;
    TInfo info(&mf);
    TTerminationSignals signalHandler([&mf](int) { CloseInOrder(mf); });

    // 2. Version texts.
    const QString version = VersionToString(ProgramVersion());
    mf.SetVersionText(version);
    startForm.FrameInfo()->SetVersionText(version);
    info.FrameInfo()->SetVersionText(version);

    // 3. The start screen, painted before the data module starts its work.
    startForm.ShowNow();

    // 4. The data module; without a database the program ends here.
    dm = std::make_unique<TDM>();
    dm->ConnectDatabase();
    if (dm->ConnectFailed)
        return 1;

    // 5. The pages and dialogs.
    InstallAccessGateAndStyles();
    Berechtigung = new TBerechtigung(&mf);
    // The document overview is the first page.
    auto* kopfUeb = new TKopfUeb(mf.PageArea());
    TPage* firstPage = kopfUeb;
    Wire(mf, "ActionKopfUeb", kopfUeb);
    // Reference tables and group pages.
    Wire(mf, "ActionAllgemein", new TAllgemein(mf.PageArea()));
    Wire(mf, "ActionKundenGruppe", new TKundenGruppe(mf.PageArea()));
    Wire(mf, "ActionArtikelGruppe", new TArtikelGruppe(mf.PageArea()));
    Wire(mf, "ActionLieferantenGruppe", new TLieferantenGruppe(mf.PageArea()));
    Wire(mf, "ActionStyles", new TEinStyle(mf.PageArea()));
    Wire(mf, "ActionRecht", new TEinRecht(mf.PageArea()));
    Wire(mf, "ActionEinAllg", new TEinAllg(mf.PageArea()));
    Wire(mf, "ActionAbschluss", new TStatistik(mf.PageArea()));
    Wire(mf, "ActionAnschrift", new TAnschrift(mf.PageArea()));
    // Payments, open items and dunning keep tables of their own.
    try {
        EnsureZahlungTables(*dm);
    } catch (const ESQLiteError& e) {
        Messages::warning(
            QStringLiteral("Die Tabellen für Zahlungen und Mahnungen konnten nicht angelegt werden!\n") +
            e.message());
    }
    auto* offenePosten = new TOffenePosten(mf.PageArea());
    Wire(mf, "ActionOffenePosten", offenePosten);
    auto* mahnen = new TMahnen(&mf);
    TOffenePosten::ShowMahnen = [mahnen](const QString& typ, int kopfId) { mahnen->Show(typ, kopfId); };
    // Incoming e-invoices, under "Tägliches" beside the documents.
    auto* eingang = new QAction(QStringLiteral("&Eingangsrechnungen"), &mf);
    eingang->setObjectName(QStringLiteral("ActionEingang"));
    eingang->setStatusTip(QStringLiteral("Eingangsrechnungen importieren, prüfen, anzeigen und bezahlen"));
    if (auto* menu = mf.findChild<QMenu*>(QStringLiteral("MenuTaegliches")))
        menu->addAction(eingang);
    Wire(mf, "ActionEingang", new TEingang(mf.PageArea()));
    // The record forms are created once, like every window; the lists on the
    // pages and in the pickers open them.
    auto* kunde = new TKunde(&mf);
    auto* lieferant = new TLieferant(&mf);
    auto* artikel = new TArtikel(&mf);
    auto* kundenUeb = new TKundenUeb(mf.PageArea());
    auto* lieferantenUeb = new TLieferantenUeb(mf.PageArea());
    auto* artikelUeb = new TArtikelUeb(mf.PageArea());
    auto* kundenAusw = new TKundenAusw(&mf);
    auto* lieferantenAusw = new TLieferantenAusw(&mf);
    auto* artikelAusw = new TArtikelAusw(&mf);
    ListsOpen(kunde, kundenUeb->Frame(), kundenAusw->Frame());
    ListsOpen(lieferant, lieferantenUeb->Frame(), lieferantenAusw->Frame());
    ListsOpen(artikel, artikelUeb->Frame(), artikelAusw->Frame());
    Wire(mf, "ActionKunde", kundenUeb);
    Wire(mf, "ActionLieferanten", lieferantenUeb);
    Wire(mf, "ActionArtikel", artikelUeb);
    TKunde::PickCustomer = [kundenAusw] { return kundenAusw->Execute(); };
    TOffenePosten::PickCustomer = [kundenAusw] { return kundenAusw->Execute(); };
    TKunde::CustomerPickerVisible = [kundenAusw] { return kundenAusw->isVisible(); };
    // The header form. Besides the overview, the hidden action
    // ActionKopfNeu does (for "--screenshot FILE --action ActionKopfNeu").
    auto* kopf = new TKopf(&mf);
    TKopf::PickCustomer = [kundenAusw] { return kundenAusw->Execute(); };
    TKopf::PickSupplier = [lieferantenAusw] { return lieferantenAusw->Execute(); };
    auto* kopfNeu = new QAction(&mf);
    kopfNeu->setObjectName(QStringLiteral("ActionKopfNeu"));
    QObject::connect(kopfNeu, &QAction::triggered, kopf, [kopf] { kopf->Show(TStammForm::ModeNew); });
    TKopfUeb::ShowKopf = [kopf](int mode) { kopf->Show(mode); };
    TKopfUeb::PickCustomer = [kundenAusw] { return kundenAusw->Execute(); };
    TKopfUeb::PickSupplier = [lieferantenAusw] { return lieferantenAusw->Execute(); };
    auto* kopieren = new TKopieren(&mf);
    TKopfUeb::ShowCopy = [kopieren](const QString& typ, int kopfId) { kopieren->Show(typ, kopfId); };
    // The positions list of a document, from the header form and the overview.
    auto* posUeb = new TPosUeb(mf.PageArea());
    TKopf::ShowPositions =
        TKopfUeb::ShowPositions = [posUeb](const QString& typ, int kopfId) { posUeb->Open(typ, kopfId); };
    TPosUeb::ShowOverview = [kopfUeb] { kopfUeb->ShowPage(); };
    // The print dialog, from the header form, the positions list and the overview.
    auto* drucken = new TDrucken(&mf);
    TKopf::ShowPrint = TPosUeb::ShowPrint =
        TKopfUeb::ShowPrint = [drucken](const QString& typ, int kopfId) { drucken->Show(typ, kopfId); };
    TDrucken::SendMail = SendDocumentMail;
    // A long printout or PDF says in the status bar how far it has got; the
    // bar is painted at once, since the run holds the event loop.
    ReportProgressDisplay() = [&mf](const QString& text) {
        mf.SetStatusText(1, text);
        mf.statusBar()->repaint();
    };
    TPosDaten::PickArticle = [artikelAusw](const QString& typ) { return artikelAusw->Execute(typ); };
    QObject::connect(mf.Action(QStringLiteral("ActionInfo")), &QAction::triggered, &info, &TInfo::exec);
    // Data export, import, backup and restore; after a restore the overview
    // shows the restored data.
    InstallExtras(mf, [kopfUeb] { kopfUeb->ShowPage(); });
    // The DATEV export for the tax advisor, under "Extras" beside the data export.
    InstallDatev(mf);

    // 6. - 8. Start screen away, main window up with the document overview.
    startForm.close();
    if (TTerminationSignals::Requested()) {
        dm->SQLiteDB1.Close();
        return 0;
    }
    mf.ShowOnScreen();
    try {
        firstPage->ShowPage();
    } catch (...) {
        TQuorventApp::ShowException(std::current_exception());
    }

    // Lets a script that started the program know when it is ready for input.
    if (args.contains(QStringLiteral("--print-ready"))) {
        QTextStream(stdout) << "Quorvent bereit" << Qt::endl;
    }

    // A look at the window without a person in front of it:
    // "quorvent --screenshot FILE [--action ActionName|PNav1..3]" grabs the
    // main window (or the dialog the action opened) to a PNG file and ends.
    const QString screenshot = OptionValue(args, QStringLiteral("--screenshot"));
    if (!screenshot.isEmpty()) {
        QTimer::singleShot(300, &mf, [&mf, &args, screenshot] {
            QTimer::singleShot(300, &mf, [&mf, screenshot] {
                QWidget* modal = QApplication::activeModalWidget();
                (modal ? modal : static_cast<QWidget*>(&mf))->grab().save(screenshot);
                CloseInOrder(mf);
            });
            const QString name = OptionValue(args, QStringLiteral("--action"));
            if (auto* section = mf.findChild<TNavButton*>(name))
                emit section->clicked();
            else if (QAction* a = mf.Action(name))
                a->trigger();
        });
    }

    // 9. Until the main window closes.
    const int result = app.exec();
    ReportProgressDisplay() = nullptr;
    // Every orderly end (the window closed, a termination request) leaves an
    // automatic backup behind. A request from outside has nobody to read a
    // box, so its failure goes to the error output only.
    try {
        BackupOnClose(*dm);
    } catch (const ESQLiteError& e) {
        const QString text = QStringLiteral("Die automatische Sicherung ist fehlgeschlagen!\n") + e.message();
        if (TTerminationSignals::Requested())
            QTextStream(stderr) << text << Qt::endl;
        else
            Messages::warning(text);
    }
    dm->SQLiteDB1.Close();
    return result;
}
