// The one way pages leave the program: the preview window "Druckvorschau"
// (maximised, 100 %; the user may print from it), the default printer without
// a setup dialog, or a PDF file. Documents and lists both go through here, so
// that they look and fail alike.
#pragma once

#include <QPageSize>
#include <QString>

#include <functional>
#include <stdexcept>

class QDialog;
class QPagedPaintDevice;

enum class TReportDestination { Preview, Printer, File };

class EReportError : public std::runtime_error {
public:
    explicit EReportError(const QString& message);
    // The German text for the user (what() holds it as UTF-8).
    QString message() const { return FMessage; }

private:
    QString FMessage;
};

struct TReportOutputJob {
    TReportDestination Destination = TReportDestination::Preview;
    // Title of the preview window's printer job and of the PDF document.
    QString Title;
    QPageSize Paper = QPageSize(QPageSize::A4);
    // The PDF file for the destination File.
    QString OutputFileName;
    // Said after the printer's name when the printer fails ("Der Beleg wurde
    // nicht gedruckt.").
    QString NotPrinted = QStringLiteral("Der Beleg wurde nicht gedruckt.");
    // Paints every page onto the device (set up as Paper, portrait, without
    // margins); throws EReportError when it cannot.
    std::function<void(QPagedPaintDevice& device)> Render;
};

// Throws EReportError on any failure, after which nothing has been printed or
// the PDF file is not left half-written. The preview runs through
// ReportPreviewRunner.
void RunReportOutput(const TReportOutputJob& job);

// How far a long output has got, for the program's status bar: "Drucke Seite
// 3" while the printer is fed, "Erzeuge Seite 3" while a PDF file or the
// preview is made. A quick output says nothing; once one has taken longer
// than ReportProgressDelayMs, each page is announced, and an empty text
// follows when it is done. Nothing is shown while no display is installed.
std::function<void(const QString& text)>& ReportProgressDisplay();
int& ReportProgressDelayMs();
// Called by the page painting as it begins page `page` (1-based) of an output.
void ReportPageProgress(int page);

// What shows the preview window; by default it runs the dialog modally.
// Tests replace it so that no window waits for a person.
std::function<void(QDialog& preview)>& ReportPreviewRunner();
