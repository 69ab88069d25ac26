// The report engine: lays out a report definition (Quorvent.rav beside the
// program) into pages for the preview window, the default printer or a PDF
// file.
//
// The program never builds a page itself. It opens the definition, moves,
// sizes and shows or hides the named elements of a page, sets the named text
// parameters and the datasets the definition reads, chooses the destination
// and executes the report:
//
//     TReport report;
//     report.Open(folder + "/Quorvent.rav");
//     if (TReportElement* e = report.FindElement("REDruck.Page1", "DataMemoKunde")) {
//         e->Left = 2 / report.UnitsFactor();   // millimetres -> engine units
//         e->Visible = true;
//     }
//     report.SetParam("Kundenadresse", address);
//     report.SetDataSet("QueryRv9", &DM->QueryRv9);
//     report.SetDestination(TReportDestination::File);
//     report.SetOutputFileName(pdfPath);
//     report.Execute("REDruck");               // throws EReportError on any failure
//
// Every failure (missing or unreadable definition, unknown report, no default
// printer, a file that cannot be written) is an EReportError with a German
// message meant for the user's error box.
//
// Formatted texts (parameters and buffer columns holding RTF) are read with
// the program's own RTF reader, so they print as they look in the editor.
#pragma once

#include "TReportOutput.h"

#include <QString>

#include <functional>
#include <memory>

class QDialog;
class QPagedPaintDevice;
class TSQLiteBaseQuery;

// A named element of a page. Measures are engine units (millimetres divided by
// the definition's units factor), relative to the area the element sits in:
// elements of a band to the band's top left corner, bands to the printable
// region, the region and page-level elements (the page number) to the page.
// Changes take effect at the next Execute or Render.
struct TReportElement {
    QString Name;
    QString Kind; // "region", "band", "text", "rtf", "picture", "line", "body"
    double Left = 0;
    double Top = 0;
    double Width = 0;
    double Height = 0; // 0 for a text or picture: as high as its content needs
    bool Visible = true;
    // A picture's file (e.g. Logo1.bmp); an empty or unreadable file prints nothing.
    QString PictureFile;
    // A band printed after the body (the footer area Band3): it is printed on
    // the current page only when at least MinHeightLeft is left below the body
    // there, otherwise on a new page; and it is printed PositionValue below the
    // top of the printable region (directly below the body when that already
    // reaches further down). Both 0: directly below the body.
    double MinHeightLeft = 0;
    double PositionValue = 0;
};

class TReport {
public:
    TReport();
    ~TReport();
    TReport(const TReport&) = delete;
    TReport& operator=(const TReport&) = delete;

    // Reads the definition file; a file that is missing, unreadable or not a
    // report definition throws EReportError naming the file. Parameters,
    // datasets, destination and output file name are kept across Close/Open.
    void Open(const QString& definitionFile);
    void Close();
    bool IsOpen() const;
    QString FileName() const;

    // Millimetres per engine unit, as the definition states it.
    double UnitsFactor() const;

    // The element `name` of page `page` ("REDruck.Page1"), nullptr when the
    // definition has no such page or element (or is not open). The pointer
    // stays valid until Close.
    TReportElement* FindElement(const QString& page, const QString& name);

    // Named text values the definition shows ({Param.Name} in its texts). An
    // unset parameter prints as empty text.
    void SetParam(const QString& name, const QString& value);
    QString Param(const QString& name) const;
    void ClearParams();

    // A dataset the definition reads by name (QueryRv6 ... QueryRv9); columns
    // are read by their names. The dataset must be open while the report
    // runs; the engine moves its cursor.
    void SetDataSet(const QString& name, TSQLiteBaseQuery* dataSet);

    void SetDestination(TReportDestination destination);
    TReportDestination Destination() const;
    // The PDF file written for the destination File.
    void SetOutputFileName(const QString& fileName);
    QString OutputFileName() const;
    // Title of the preview window, printer job and PDF document.
    void SetTitle(const QString& title);

    // Runs the report `report` ("REDruck") to the destination: the preview
    // window "Druckvorschau" (maximised, 100 %; the user may print from it),
    // the default printer without a setup dialog, or the PDF file. Throws
    // EReportError on any failure, after which nothing has been printed or the
    // PDF file is not left half-written.
    void Execute(const QString& report);

    // Lays out all pages of the report and paints them onto the device (a
    // QPdfWriter, a QPrinter); returns the number of pages. The device is
    // painted as it is set up: its page should be the definition's paper (A4)
    // without margins, which Execute arranges itself.
    int Render(QPagedPaintDevice& device, const QString& report = QStringLiteral("REDruck"));
    // The number of pages of the last Execute or Render.
    int PageCount() const;

    // What shows the preview window; by default it runs the dialog modally.
    // Tests replace it so that no window waits for a person.
    static std::function<void(QDialog& preview)>& PreviewRunner() { return ReportPreviewRunner(); }

private:
    struct TPrivate;
    std::unique_ptr<TPrivate> d;
};
