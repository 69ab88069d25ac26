#include "TReportOutput.h"

#include "FileNames.h"

#include <QComboBox>
#include <QDialog>
#include <QDir>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QPageLayout>
#include <QPdfWriter>
#include <QPrintPreviewDialog>
#include <QPrintPreviewWidget>
#include <QPrinter>
#include <QPrinterInfo>
#include <QSaveFile>
#include <QScreen>

#include <cerrno>

EReportError::EReportError(const QString& message)
    : std::runtime_error(message.toStdString()), FMessage(message) {}

std::function<void(QDialog& preview)>& ReportPreviewRunner() {
    static std::function<void(QDialog&)> runner = [](QDialog& preview) { preview.exec(); };
    return runner;
}

namespace {

// The output being rendered now, for the page progress.
struct TProgress {
    QString Pattern; // "%p" stands for the page
    QElapsedTimer Timer;
    bool Shown = false;
};
TProgress* FProgress = nullptr;

// Announces the pages of one rendering, from its own start: a preview that
// renders again (to print from it) is timed afresh.
class TProgressScope {
public:
    explicit TProgressScope(const QString& pattern) : FPrevious(FProgress) {
        FOwn.Pattern = pattern;
        FOwn.Timer.start();
        FProgress = &FOwn;
    }
    ~TProgressScope() {
        FProgress = FPrevious;
        if (FOwn.Shown && ReportProgressDisplay())
            ReportProgressDisplay()(QString());
    }
    TProgressScope(const TProgressScope&) = delete;
    TProgressScope& operator=(const TProgressScope&) = delete;

private:
    TProgress FOwn;
    TProgress* FPrevious;
};

void SetupPage(QPagedPaintDevice& device, const QPageSize& paper) {
    device.setPageLayout(QPageLayout(paper, QPageLayout::Portrait, QMarginsF(0, 0, 0, 0)));
}

} // namespace

std::function<void(const QString& text)>& ReportProgressDisplay() {
    static std::function<void(const QString&)> display;
    return display;
}

int& ReportProgressDelayMs() {
    static int delay = 1000;
    return delay;
}

void ReportPageProgress(int page) {
    if (!FProgress || !ReportProgressDisplay())
        return;
    if (!FProgress->Shown && FProgress->Timer.elapsed() < ReportProgressDelayMs())
        return;
    FProgress->Shown = true;
    ReportProgressDisplay()(QString(FProgress->Pattern).replace(QStringLiteral("%p"), QString::number(page)));
}

void RunReportOutput(const TReportOutputJob& job) {
    const QString& title = job.Title;
    const QPageSize& paper = job.Paper;

    switch (job.Destination) {
    case TReportDestination::File: {
        if (job.OutputFileName.isEmpty())
            throw EReportError(QStringLiteral("Für die PDF-Datei ist kein Dateiname angegeben."));
        // Written beside the target and put in place at the end, so that a
        // failed run never leaves half a PDF under the name.
        QSaveFile file(job.OutputFileName);
        // The system's reason, in German; Qt's own text is English.
        auto failed = [&] {
            return EReportError(QStringLiteral("Die PDF-Datei \"") +
                                QDir::toNativeSeparators(job.OutputFileName) +
                                QStringLiteral("\" konnte nicht geschrieben werden: ") +
                                SystemErrorText(errno != 0 ? errno : EIO) + u'.');
        };
        errno = 0;
        if (!file.open(QIODevice::WriteOnly))
            throw failed();
        {
            QPdfWriter pdf(&file);
            pdf.setResolution(600);
            pdf.setTitle(title);
            pdf.setCreator(QStringLiteral("Quorvent"));
            SetupPage(pdf, paper);
            const TProgressScope progress(QStringLiteral("Erzeuge Seite %p"));
            job.Render(pdf);
        }
        if (!file.commit())
            throw failed();
        return;
    }
    case TReportDestination::Printer: {
        const QPrinterInfo info = QPrinterInfo::defaultPrinter();
        if (info.isNull())
            throw EReportError(
                QStringLiteral("Es ist kein Standarddrucker eingerichtet. Bitte richten Sie einen "
                               "Drucker ein oder drucken Sie über die Vorschau."));
        QPrinter printer(info, QPrinter::HighResolution);
        printer.setFullPage(true);
        printer.setDocName(title);
        SetupPage(printer, paper);
        const QString failed = QStringLiteral("Der Drucker \"") + info.printerName() +
                               QStringLiteral("\" meldet einen Fehler. ") + job.NotPrinted;
        try {
            const TProgressScope progress(QStringLiteral("Drucke Seite %p"));
            job.Render(printer);
        } catch (const EReportError&) {
            throw EReportError(failed);
        }
        if (printer.printerState() == QPrinter::Error || printer.printerState() == QPrinter::Aborted)
            throw EReportError(failed);
        return;
    }
    case TReportDestination::Preview: {
        QPrinter printer(QPrinter::HighResolution);
        printer.setFullPage(true);
        printer.setDocName(title);
        SetupPage(printer, paper);
        QPrintPreviewDialog preview(&printer);
        preview.setWindowTitle(QStringLiteral("Druckvorschau"));
        QString failure;
        QObject::connect(&preview, &QPrintPreviewDialog::paintRequested, &preview, [&](QPrinter* target) {
            try {
                const TProgressScope progress(QStringLiteral("Erzeuge Seite %p"));
                job.Render(*target);
            } catch (const EReportError& e) {
                failure = e.message();
            }
        });
        // 100 %: through the dialog's own zoom box, so that its fit buttons
        // do not stay pressed beside a zoom that no longer fits.
        if (auto* zoom = preview.findChild<QComboBox*>(); zoom && zoom->lineEdit()) {
            zoom->lineEdit()->setText(QStringLiteral("100%"));
            emit zoom->lineEdit()->editingFinished();
        }
        if (auto* widget = preview.findChild<QPrintPreviewWidget*>(); widget && widget->zoomFactor() != 1.0) {
            widget->setZoomMode(QPrintPreviewWidget::CustomZoom);
            widget->setZoomFactor(1.0);
        }
        // Its own size hint is a strip of a few lines; when the window is not
        // maximised (no window manager, or the user restores it) it keeps a
        // size in which a page can be read.
        if (const QScreen* screen = preview.screen()) {
            const QRect area = screen->availableGeometry();
            preview.resize(area.size() * 0.9);
            preview.move(area.center() - preview.rect().center());
        }
        preview.setWindowState(preview.windowState() | Qt::WindowMaximized);
        ReportPreviewRunner()(preview);
        if (!failure.isEmpty())
            throw EReportError(failure);
        return;
    }
    }
}
