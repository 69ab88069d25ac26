#include "CommandLine.h"

#include "GlobalFunctions.h"

#include <QSet>
#include <QTextStream>

#include <cstdio>

QString HelpText() {
    return QStringLiteral(
        "Aufruf: quorvent [OPTION]\n"
        "Ohne Option startet das Programmfenster auf der Datenbank aus den Einstellungen.\n"
        "\n"
        "Wartungsbefehle (ohne Fenster, ohne Bildschirm):\n"
        "  quorvent --upgrade DATEI\n"
        "      bringt eine vorhandene Datenbank auf den Stand dieser Version\n"
        "  quorvent --backup DATEI ZIELDATEI\n"
        "      schreibt eine geprüfte Kopie der Datenbank\n"
        "  quorvent --print-data DATEI BELEGART NUMMER [--reminder]\n"
        "      gibt die Druckdaten eines Belegs als JSON-Zeilen aus\n"
        "  quorvent --pdf DATEI BELEGART NUMMER AUSGABE.pdf [--reminder] [--einvoice]\n"
        "      schreibt einen Beleg als PDF (mit --einvoice als PDF/A-3 mit E-Rechnung)\n"
        "  quorvent --einvoice DATEI BELEGART NUMMER AUSGABE.xml [--xrechnung]\n"
        "      schreibt die E-Rechnung (EN 16931, CII) einer Rechnung, Teilrechnung,\n"
        "      Stornorechnung oder Gutschrift (mit --xrechnung als XRechnung 3.0)\n"
        "  quorvent --read-einvoice DATEI\n"
        "      liest eine eingegangene E-Rechnung (XML in CII oder UBL, ZUGFeRD-/Factur-X-PDF)\n"
        "      und gibt ihre Angaben und Prüfbefunde als JSON aus; Rückgabewert 1, wenn sie\n"
        "      nicht gelesen werden kann oder die Prüfung Fehler findet\n"
        "  quorvent --open-items DATEI JJJJ-MM-TT\n"
        "      gibt die am Ende des Tages offenen Rechnungen und Teilrechnungen als\n"
        "      JSON-Zeilen aus (Fälligkeit, bezahlt, offen, Mahnstufe, Verzugszinsen)\n"
        "  quorvent --datev DATEI JJJJ-MM-TT JJJJ-MM-TT ORDNER\n"
        "      schreibt die Rechnungen, Teilrechnungen, Stornorechnungen und Gutschriften\n"
        "      des Zeitraums und ihre Kunden als DATEV-Dateien (Buchungsstapel, Debitoren)\n"
        "      in den Ordner; Rückgabewert 1, wenn ein Beleg des Zeitraums schon exportiert\n"
        "      wurde oder eine Angabe fehlt\n"
        "\n"
        "BELEGART: O Angebot, A Auftrag, L Lieferschein, R Rechnung, T Teilrechnung,\n"
        "          S Stornorechnung, G Gutschrift, B Bestellung\n"
        "\n"
        "  quorvent --help      zeigt diese Hilfe\n"
        "  quorvent --version   zeigt die Version\n"
        "\n"
        "Rückgabewert: 0 bei Erfolg, 1 bei einem Fehler oder falschen Aufruf\n"
        "(die Meldung steht auf der Standardfehlerausgabe).\n"
        "Mehr dazu: man quorvent\n");
}

namespace {

// Options of the program itself: the maintenance commands and their flags,
// and the switches of the window (start signal, screenshot for reviews).
const QSet<QString>& OwnOptions() {
    static const QSet<QString> options{
        QStringLiteral("--upgrade"),       QStringLiteral("--backup"),     QStringLiteral("--print-data"),
        QStringLiteral("--pdf"),           QStringLiteral("--einvoice"),   QStringLiteral("--reminder"),
        QStringLiteral("--print-ready"),   QStringLiteral("--screenshot"), QStringLiteral("--action"),
        QStringLiteral("--read-einvoice"), QStringLiteral("--open-items"), QStringLiteral("--datev"),
        QStringLiteral("--xrechnung"),
    };
    return options;
}

// Qt's own options, which the toolkit takes with one or two dashes.
bool IsToolkitOption(const QString& option) {
    static const QSet<QString> options{
        QStringLiteral("platform"),
        QStringLiteral("platformpluginpath"),
        QStringLiteral("platformtheme"),
        QStringLiteral("plugin"),
        QStringLiteral("qwindowgeometry"),
        QStringLiteral("qwindowicon"),
        QStringLiteral("qwindowtitle"),
        QStringLiteral("reverse"),
        QStringLiteral("session"),
        QStringLiteral("style"),
        QStringLiteral("stylesheet"),
        QStringLiteral("widgetcount"),
        QStringLiteral("display"),
        QStringLiteral("geometry"),
        QStringLiteral("name"),
        QStringLiteral("title"),
        QStringLiteral("visual"),
        QStringLiteral("ncols"),
        QStringLiteral("cmap"),
        QStringLiteral("nograb"),
        QStringLiteral("dograb"),
        QStringLiteral("sync"),
        QStringLiteral("qmljsdebugger"),
        QStringLiteral("testability"),
    };
    QString name = option;
    while (name.startsWith(u'-'))
        name.remove(0, 1);
    return options.contains(name.section(u'=', 0, 0));
}

} // namespace

int EarlyCommandLine(int argc, char** argv, bool* handled) {
    *handled = false;
    if (argc < 2)
        return 0;
    const QString first = QString::fromLocal8Bit(argv[1]);
    if (first == QLatin1String("--help") || first == QLatin1String("-h")) {
        *handled = true;
        QTextStream(stdout) << HelpText();
        return 0;
    }
    if (first == QLatin1String("--version")) {
        *handled = true;
        QTextStream(stdout) << QStringLiteral("Quorvent ") << VersionToString(ProgramVersion()) << u'\n';
        return 0;
    }
    // Only options are checked here: the values after them (file names,
    // numbers) belong to the command that reads them.
    for (int i = 1; i < argc; ++i) {
        const QString arg = QString::fromLocal8Bit(argv[i]);
        if (!arg.startsWith(u'-') || arg == QLatin1String("-") || OwnOptions().contains(arg) ||
            IsToolkitOption(arg))
            continue;
        // A negative number is a value, not an option.
        bool number = false;
        arg.toDouble(&number);
        if (number)
            continue;
        *handled = true;
        QTextStream(stderr) << QStringLiteral("Unbekannte Option: ") << arg
                            << QStringLiteral("\n\"quorvent --help\" zeigt alle Befehle.\n");
        return 1;
    }
    return 0;
}
