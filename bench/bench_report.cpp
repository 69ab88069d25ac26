// Benchmark of the printed document:
//
//   ms pdf_invoice_50 MS   preparing an invoice of 50 positions (print buffer,
//                          parameters, report datasets) and rendering it with
//                          its logo through the report definition into a PDF
//                          file, then deleting the run's buffer rows
//
// Wall-clock median: the user waits for it at every preview, printout and
// e-mail of a document.
#include "BenchSupport.h"
#include "TReport.h"
#include "UDM.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QImage>

#include <cstdio>
#include <vector>

namespace {

constexpr int kPositions = 50;
constexpr int kRepetitions = 9;

void FillInvoice(TSQLiteDB& db) {
    db.StartTransaction();
    db.ExecSQL(QStringLiteral(
        "insert into Kunde (KundenID,AnredeID,TitelID,Firma,Nachname,Strasse,PLZ,Ort,LandID,KunGruID,Aktiv,"
        "KonzernID,HaendlerID) values (10,1,1,'Alpen Bau','Berger','Hauptstraße 1','6020','Innsbruck',2,1,"
        "'J',0,0)"));
    db.ExecSQL(QStringLiteral(
        "insert into Kopf (KopfTyp,KopfID,Status,KundenID,KunGruID,Datum,DruDatID,SubkundenID,Rabatt,Skonto,"
        "KopfBez,Netto,KopfTextVorPos,FussTextNachPos,KopfText,FussText) values ('R',1,'E',10,1,"
        "'2024-03-05 10:00:00',2,0,5,2,'Sanierung','N','J','J','Wir danken für Ihren Auftrag.','Mit Gruß')"));
    db.ExecSQL(QStringLiteral("update Geschaeft set Name = 'Fliesen Koller GmbH', AndruckLeerzeilen = 1, "
                              "PosNrFortlaufend = 'J', SkontoR = 'J'"));
    for (int pos = 1; pos <= kPositions; ++pos) {
        db.ExecSQL(QStringLiteral("insert into PosDaten values ('R',1,%1,0,'Position %1','%2','N')")
                       .arg(pos)
                       .arg(QLatin1String(kBenchDescription)));
        db.ExecSQL(QStringLiteral("insert into PosPreis values ('R',1,%1,1,'',null,%2,2,%3,null,%4)")
                       .arg(pos)
                       .arg(1 + pos % 4)
                       .arg(10 + pos % 90)
                       .arg(pos % 3 == 0 ? 10 : 20));
    }
    db.Commit();
}

int PdfInvoice(bool verbose) {
    TBenchDataHome dir;
    if (!dir.isValid())
        return 1;
    const QString definition = QCoreApplication::applicationDirPath() + QStringLiteral("/Quorvent.rav");
    if (!QFileInfo::exists(definition)) {
        std::fprintf(stderr, "%s missing\n", qPrintable(definition));
        return 1;
    }
    std::vector<double> times;
    int pages = 0;
    qint64 bytes = 0;
    try {
        TDM dm;
        DM = &dm;
        dm.OpenDatabaseFile(dir.filePath(QStringLiteral("report.DB")));
        FillInvoice(dm.SQLiteDB1);
        // A logo of the size a scanned letterhead has.
        QImage logo(1200, 300, QImage::Format_RGB32);
        for (int y = 0; y < logo.height(); ++y)
            for (int x = 0; x < logo.width(); ++x)
                logo.setPixel(x, y, qRgb(30 + x % 200, 60 + (x * y) % 150, 140 + y % 100));
        if (!logo.save(TDM::LogoFileName(1), "BMP")) {
            std::fprintf(stderr, "logo not written\n");
            DM = nullptr;
            return 1;
        }
        const QString pdf = dir.filePath(QStringLiteral("R1.pdf"));
        // One run first: fonts and image plugins are loaded once per program.
        for (int r = 0; r <= kRepetitions; ++r) {
            const double ms = WallMillis([&] {
                const int run = dm.PreparePrintData(QStringLiteral("R"), 1, false);
                TReport report;
                report.Open(definition);
                for (auto it = dm.ReportParams.cbegin(); it != dm.ReportParams.cend(); ++it)
                    report.SetParam(it.key(), it.value());
                report.SetDataSet(QStringLiteral("QueryRv8"), &dm.QueryRv8);
                report.SetDataSet(QStringLiteral("QueryRv9"), &dm.QueryRv9);
                report.FindElement(QStringLiteral("REDruck.Page1"), QStringLiteral("BitmapLogo1"))
                    ->PictureFile = TDM::LogoFileName(1);
                report.SetDestination(TReportDestination::File);
                report.SetOutputFileName(pdf);
                report.Execute(QStringLiteral("REDruck"));
                pages = report.PageCount();
                dm.DeletePrintData(run);
            });
            if (r > 0)
                times.push_back(ms);
        }
        bytes = QFileInfo(pdf).size();
        DM = nullptr;
    } catch (const ESQLiteError& e) {
        std::fprintf(stderr, "%s\n", qPrintable(e.message()));
        DM = nullptr;
        return 1;
    } catch (const EReportError& e) {
        std::fprintf(stderr, "%s\n", qPrintable(e.message()));
        DM = nullptr;
        return 1;
    }
    if (pages < 2 || bytes <= 0)
        return 1;
    std::printf("ms pdf_invoice_50 %.1f\n", Median(times));
    if (verbose)
        std::printf("  %d pages, %lld bytes\n", pages, static_cast<long long>(bytes));
    return 0;
}

const TBenchRegistrar pdfInvoice("pdf_invoice_50", PdfInvoice);

} // namespace
