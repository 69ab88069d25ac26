// The steps of a print run that need no window: the page elements placed
// from the layout table DruckElement, the prepared run handed to the report,
// and a document rendered to a PDF file (used by the print dialog, by
// "quorvent --pdf", by the mail step and by the e-invoice).
#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

class QTextStream;
class TDM;
class TReport;

// The page of the report that every element lives on.
inline const QString DruckSeite = QStringLiteral("REDruck.Page1");
inline const QString DruckReport = QStringLiteral("REDruck");

// The report definition: Quorvent.rav in the program's folder. Tests and
// tools may name another file; an empty name goes back to the program's.
QString ReportDefinitionFile();
void SetReportDefinitionFile(const QString& file);

// How one row of DruckElement acts on its element.
struct TDruckElementRegel {
    enum TMasse { LTWH, LT, H, LTW, Fussbereich };
    enum TSichtbar {
        Unveraendert, // the definition's visibility stays
        NurVisible,   // Visible alone (the page number)
        Briefkopf,    // Visible, then hidden without letterhead when Hide is set
        Logo,         // the letterhead rule, and only while its picture file exists
        GiroCode      // Visible, and only while the run has a payment QR code
    };
    int DEID;
    QString Element;
    TMasse Masse;
    TSichtbar Sichtbar;
};

// The rule of every layout row, in the order the run applies them: the
// letterhead first (0 to 19), the document name (38), then the rest (20 to 37)
// and the invoice reference of a cancellation invoice or credit note (39),
// the payment QR code (40).
const QList<TDruckElementRegel>& DruckElementRegeln();

// What a page without prices leaves out: the totals block and the payment terms.
const QStringList& PreisElemente();

// Places every element of the open report from DruckElement (millimetres
// divided by the units factor) and applies the visibility rules; then hides
// the price elements when the run prints no prices. Logos come from
// "Logo1.bmp" and "Logo2.bmp" in the data folder. A layout row that is
// missing leaves its element as the definition has it; an element the
// definition lacks is an EReportError naming the definition.
void PlaceDruckElemente(TDM& dm, TReport& report, bool mitKopfFuss, bool ohnePreis);

// Opens the report definition anew and hands it the prepared run of the
// data module: every report parameter, the four report datasets and the
// placed elements. Throws EReportError when the definition is missing or
// unreadable.
void OpenDruckReport(TDM& dm, TReport& report, const QString& typ, int kopfId, bool mitKopfFuss);

// Writes the prepared report as a PDF file. The file appears only once it is
// complete: an existing file of that name stays as it was when rendering
// fails. Throws EReportError.
void WriteReportPdf(TReport& report, const QString& pdfFile);

// While one exists, every PDF that WriteReportPdf writes (the file of
// "quorvent --pdf … --einvoice", the mail's attachment) becomes a hybrid
// e-invoice carrying this XML; a PDF it cannot be embedded into is an
// EReportError and no file.
class TDruckEInvoice {
public:
    explicit TDruckEInvoice(const QByteArray& xml);
    ~TDruckEInvoice();
    TDruckEInvoice(const TDruckEInvoice&) = delete;
    TDruckEInvoice& operator=(const TDruckEInvoice&) = delete;
    static QByteArray Xml();

private:
    QByteArray FPrevious;
};

// While one exists, a mailed document carries this XRechnung file beside
// its PDF (named "xrechnung-<number>.xml").
class TDruckXRechnung {
public:
    TDruckXRechnung(const QString& fileName, const QByteArray& xml);
    ~TDruckXRechnung();
    TDruckXRechnung(const TDruckXRechnung&) = delete;
    TDruckXRechnung& operator=(const TDruckXRechnung&) = delete;
    static QString FileName();
    static QByteArray Xml();

private:
    QString FPreviousName;
    QByteArray FPrevious;
};

// The document as a PDF file, as the print dialog would show it: prepares
// the print data, places the elements, renders the file and deletes the
// run's buffer rows in every case. Returns false when the preparation
// refused (its error box was shown); database and report failures pass on
// as ESQLiteError and EReportError. Changes nothing of the document.
bool RenderDocumentPdf(TDM& dm, const QString& typ, int kopfId, bool reminder, bool mitKopfFuss,
                       const QString& pdfFile);
// The same for a print run already prepared (a dunning letter's); its buffer
// rows are removed whatever happens. False for run 0.
bool RenderPreparedPdf(TDM& dm, int run, const QString& typ, int kopfId, bool mitKopfFuss,
                       const QString& pdfFile);

// "quorvent --pdf FILE TYPE NUMBER OUT.pdf [--reminder] [--einvoice]":
// renders the document of the database FILE to OUT.pdf without a window and
// returns 0; a German error on err and 1 otherwise. With --einvoice the PDF
// is the hybrid e-invoice; a document that cannot be one gets no file. The file is not upgraded, no status
// changes and no buffer row stays behind.
int RunPdfCommand(const QStringList& args, QTextStream& out, QTextStream& err);
