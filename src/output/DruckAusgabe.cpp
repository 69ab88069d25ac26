#include "DruckAusgabe.h"

#include "EInvoice.h"
#include "EInvoiceArchiv.h"
#include "FileNames.h"
#include "GiroCode.h"
#include "GlobalFunctions.h"
#include "HybridPdf.h"
#include "MaintenanceCommand.h"
#include "Messages.h"
#include "QuorventFunctions.h"
#include "Rtf.h"
#include "TReport.h"
#include "UDM.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QTemporaryDir>
#include <QTextDocument>
#include <QTextStream>

#include <algorithm>

namespace {

QString FDefinitionFile;

using R = TDruckElementRegel;

// The smallest printed width of the payment QR code, in millimetres.
constexpr double GiroCodeMinMm = 25.0;

TReportElement& Element(TReport& report, const QString& name) {
    TReportElement* e = report.FindElement(DruckSeite, name);
    if (!e)
        throw EReportError(QStringLiteral("Die Druckvorlage \"") + report.FileName() +
                           QStringLiteral("\" enthält das Element ") + name + QStringLiteral(" nicht!"));
    return *e;
}

} // namespace

QString ReportDefinitionFile() {
    return FDefinitionFile.isEmpty() ? ResourceFolder() + QStringLiteral("Quorvent.rav") : FDefinitionFile;
}

void SetReportDefinitionFile(const QString& file) {
    FDefinitionFile = file;
}

const QList<TDruckElementRegel>& DruckElementRegeln() {
    static const QList<TDruckElementRegel> regeln = [] {
        QList<TDruckElementRegel> r{
            {0, QStringLiteral("Region1"), R::LTWH, R::Unveraendert},
            {1, QStringLiteral("DataTextSeite"), R::LT, R::NurVisible},
            {2, QStringLiteral("Band1"), R::H, R::Unveraendert},
            {3, QStringLiteral("BitmapLogo1"), R::LTW, R::Logo},
            {4, QStringLiteral("BitmapLogo2"), R::LTW, R::Logo},
        };
        const char* briefkopf[] = {"DataTextName",  "DataTextStrasse", "DataTextOrt",   "TextTel",
                                   "DataTextTel",   "TextFax",         "DataTextFax",   "TextMobil",
                                   "DataTextMobil", "TextEmail",       "DataTextEmail", "TextWeb",
                                   "DataTextWeb",   "TextUID",         "DataTextUID"};
        int id = 5;
        for (const char* name : briefkopf)
            r.append({id++, QLatin1String(name), R::LTW, R::Briefkopf});
        r.append({38, QStringLiteral("DataTextDokName"), R::LTW, R::Briefkopf});
        const char* dokument[] = {
            "DataMemoKunde",    "DataTextNummerT", "DataTextNummerD", "DataTextDatum1T", "DataTextDatum1D",
            "DataTextDatum2T",  "DataTextDatum2D", "DataTextIhreNrT", "DataTextIhreNrD", "DataTextIhreUIDT",
            "DataTextIhreUIDD", "DataTextDokArt",  "DataMemoKopfText"};
        for (const char* name : dokument)
            r.append({id++, QLatin1String(name), R::LTW, R::Unveraendert});
        r.append({33, QStringLiteral("Band3"), R::Fussbereich, R::Unveraendert});
        // Payment terms and footer text are part of every document: the
        // layout row's print switch does not apply to them.
        r.append({34, QStringLiteral("DataTextSkonto"), R::LTW, R::Unveraendert});
        r.append({35, QStringLiteral("DataMemoFussText"), R::LTW, R::Unveraendert});
        r.append({36, QStringLiteral("DataTextBank"), R::LTW, R::Briefkopf});
        r.append({37, QStringLiteral("DataTextIBAN"), R::LTW, R::Briefkopf});
        r.append({39, QStringLiteral("DataTextBezug"), R::LTW, R::Unveraendert});
        r.append({40, QStringLiteral("BitmapGiroCode"), R::LTW, R::GiroCode});
        return r;
    }();
    return regeln;
}

const QStringList& PreisElemente() {
    static const QStringList names{QStringLiteral("HLineSumme"), QStringLiteral("TextMWSt"),
                                   QStringLiteral("TextNetto"),  QStringLiteral("TextSteuer"),
                                   QStringLiteral("TextBrutto"), QStringLiteral("DataTextSkonto")};
    return names;
}

void PlaceDruckElemente(TDM& dm, TReport& report, bool mitKopfFuss, bool ohnePreis) {
    const double faktor = report.UnitsFactor() > 0 ? report.UnitsFactor() : 1.0;
    TSQLiteQuery row(&dm.SQLiteDB1);
    const QString giroCode = dm.ReportParam(QStringLiteral("GiroCode"));
    for (const TDruckElementRegel& regel : DruckElementRegeln()) {
        // A definition of an older program without the QR code prints
        // every document that has none as before.
        if (regel.Sichtbar == R::GiroCode && giroCode.isEmpty() &&
            !report.FindElement(DruckSeite, regel.Element))
            continue;
        TReportElement& e = Element(report, regel.Element);
        row.RunSQL(QStringLiteral("select * from DruckElement where DEID = ") + QString::number(regel.DEID));
        if (row.IsEmpty())
            continue;
        auto mm = [&](const char* field) {
            return row.FieldByName(QLatin1String(field))->AsFloat() / faktor;
        };
        switch (regel.Masse) {
        case R::LTWH:
            e.Height = mm("Height");
            [[fallthrough]];
        case R::LTW:
            e.Width = mm("Width");
            [[fallthrough]];
        case R::LT:
            e.Left = mm("Left");
            e.Top = mm("Top");
            break;
        case R::H:
            e.Height = mm("Height");
            break;
        case R::Fussbereich:
            // Left is the room the area needs on the page, Top where it is printed.
            e.MinHeightLeft = mm("Left");
            e.PositionValue = mm("Top");
            e.Height = mm("Height");
            break;
        }
        const bool visible = row.FieldByName(QStringLiteral("Visible"))->AsString() == QLatin1String("Y");
        const bool hide = row.FieldByName(QStringLiteral("Hide"))->AsString() == QLatin1String("Y");
        switch (regel.Sichtbar) {
        case R::Unveraendert:
            break;
        case R::NurVisible:
            e.Visible = visible;
            break;
        case R::Briefkopf:
            e.Visible = visible && (mitKopfFuss || !hide);
            break;
        case R::Logo: {
            const QString file =
                DataFolder() + (regel.DEID == 3 ? QStringLiteral("Logo1.bmp") : QStringLiteral("Logo2.bmp"));
            if (QFileInfo::exists(file)) {
                e.PictureFile = file;
                e.Visible = visible && (mitKopfFuss || !hide);
                // A logo that should be on the page and cannot be read is
                // missed by the reader of the paper: the user hears of it.
                if (e.Visible) {
                    QImageReader reader(file);
                    if (reader.read().isNull()) {
                        e.Visible = false;
                        Messages::warning(
                            QStringLiteral("Das Logo „") + QDir::toNativeSeparators(file) +
                            QStringLiteral("“ kann nicht gelesen werden und wird nicht "
                                           "gedruckt: ") +
                            reader.errorString() +
                            QStringLiteral("\nBitte wählen Sie es unter Firmendaten/Andruck neu "
                                           "aus."));
                    }
                }
            } else {
                e.PictureFile.clear();
                e.Visible = false;
            }
            break;
        }
        case R::GiroCode: {
            e.Visible = false;
            e.PictureFile.clear();
            if (!visible || giroCode.isEmpty())
                break;
            // Never smaller than banking apps read from paper.
            e.Width = std::max(e.Width, GiroCodeMinMm / faktor);
            static QTemporaryDir folder;
            const QString file = folder.filePath(QStringLiteral("GiroCode.png"));
            if (folder.isValid() && GiroCodeBild(giroCode.toUtf8()).save(file, "PNG")) {
                e.PictureFile = file;
                e.Visible = true;
            }
            break;
        }
        }
    }
    if (ohnePreis)
        for (const QString& name : PreisElemente())
            Element(report, name).Visible = false;
    // A small business's totals have no VAT lines: the total alone.
    if (!ohnePreis && dm.ReportParam(QStringLiteral("OhneMWSt")) == QLatin1String("J"))
        for (const char* name :
             {"TextMWSt", "TextNetto", "TextSteuer", "TextBrutto", "DataRtfSumNetto", "DataRtfSumMWSt"})
            Element(report, QLatin1String(name)).Visible = false;
    // The legal note of a document without VAT prints only when there is
    // one; a definition of an older program without its element prints
    // every other document as before.
    const bool hinweis = !ohnePreis && !dm.ReportParam(QStringLiteral("SteuerHinweis")).isEmpty();
    if (hinweis)
        Element(report, QStringLiteral("DataTextSteuerHinweis")).Visible = true;
    else if (TReportElement* e = report.FindElement(DruckSeite, QStringLiteral("DataTextSteuerHinweis")))
        e->Visible = false;
}

void OpenDruckReport(TDM& dm, TReport& report, const QString& typ, int kopfId, bool mitKopfFuss) {
    // A fresh definition: nothing hidden or moved by the previous run stays.
    report.Close();
    report.Open(ReportDefinitionFile());
    report.ClearParams();
    for (const QString& name : TDM::ReportParamNames())
        report.SetParam(name, dm.ReportParam(name));
    report.SetDataSet(QStringLiteral("QueryRv6"), &dm.QueryRv6);
    report.SetDataSet(QStringLiteral("QueryRv7"), &dm.QueryRv7);
    report.SetDataSet(QStringLiteral("QueryRv8"), &dm.QueryRv8);
    report.SetDataSet(QStringLiteral("QueryRv9"), &dm.QueryRv9);
    report.SetTitle(DokTypName(typ) + u' ' + QString::number(kopfId));
    PlaceDruckElemente(dm, report, mitKopfFuss, dm.DruckOhnePreis);
}

namespace {
QByteArray FDruckEInvoiceXml;
} // namespace

TDruckEInvoice::TDruckEInvoice(const QByteArray& xml) : FPrevious(FDruckEInvoiceXml) {
    FDruckEInvoiceXml = xml;
}

TDruckEInvoice::~TDruckEInvoice() {
    FDruckEInvoiceXml = FPrevious;
}

QByteArray TDruckEInvoice::Xml() {
    return FDruckEInvoiceXml;
}

namespace {
QString FXRechnungName;
QByteArray FXRechnungXml;
} // namespace

TDruckXRechnung::TDruckXRechnung(const QString& fileName, const QByteArray& xml)
    : FPreviousName(FXRechnungName), FPrevious(FXRechnungXml) {
    FXRechnungName = fileName;
    FXRechnungXml = xml;
}

TDruckXRechnung::~TDruckXRechnung() {
    FXRechnungName = FPreviousName;
    FXRechnungXml = FPrevious;
}

QString TDruckXRechnung::FileName() {
    return FXRechnungName;
}

QByteArray TDruckXRechnung::Xml() {
    return FXRechnungXml;
}

void WriteReportPdf(TReport& report, const QString& pdfFile) {
    // Rendered into a work folder of its own and put in place whole at the
    // end, so that a failure never leaves a broken file, nor destroys an
    // earlier one, under the name the user gave. The work file has a plain
    // name: the target's may hold bytes that are no UTF-8, which only the
    // final write keeps.
    QTemporaryDir work;
    if (!work.isValid())
        throw EReportError(
            QStringLiteral("Die Datei \"") + pdfFile +
            QStringLiteral("\" kann nicht geschrieben werden: im Ordner für temporäre Dateien ") +
            QDir::tempPath() + QStringLiteral(" kann keine Arbeitsdatei angelegt werden."));
    const QString temp = work.filePath(QStringLiteral("Ausgabe.pdf"));
    try {
        report.SetDestination(TReportDestination::File);
        report.SetOutputFileName(temp);
        report.Execute(DruckReport);
    } catch (const EReportError& e) {
        throw EReportError(e.message().replace(temp, pdfFile));
    }
    report.SetOutputFileName(pdfFile);
    QFile rendered(temp);
    if (!rendered.open(QIODevice::ReadOnly))
        throw EReportError(QStringLiteral("Die Datei \"") + pdfFile +
                           QStringLiteral("\" kann nicht geschrieben werden: die Arbeitsdatei ") + temp +
                           QStringLiteral(" ist nicht lesbar."));
    QByteArray pdf = rendered.readAll();
    rendered.close();
    if (const QByteArray xml = TDruckEInvoice::Xml(); !xml.isEmpty()) {
        QString fehler;
        QByteArray hybrid;
        if (!EmbedEInvoice(pdf, xml, &hybrid, &fehler))
            throw EReportError(fehler);
        pdf = hybrid;
    }
    if (const QString failure = WriteWholeFile(pdfFile, pdf); !failure.isEmpty())
        throw EReportError(failure);
}

bool RenderDocumentPdf(TDM& dm, const QString& typ, int kopfId, bool reminder, bool mitKopfFuss,
                       const QString& pdfFile) {
    return RenderPreparedPdf(dm, dm.PreparePrintData(typ, kopfId, reminder), typ, kopfId, mitKopfFuss,
                             pdfFile);
}

bool RenderPreparedPdf(TDM& dm, int run, const QString& typ, int kopfId, bool mitKopfFuss,
                       const QString& pdfFile) {
    if (run == 0)
        return false;
    // The buffer rows go whatever happens to the report.
    auto deleteBuffer = [&dm, run] {
        dm.QueryRv9.Close();
        dm.DeletePrintData(run);
    };
    try {
        TReport report;
        OpenDruckReport(dm, report, typ, kopfId, mitKopfFuss);
        WriteReportPdf(report, pdfFile);
    } catch (...) {
        try {
            deleteBuffer();
        } catch (...) {
        }
        throw;
    }
    deleteBuffer();
    return true;
}

// ---------------------------------------------------------------------------
// quorvent --pdf FILE TYPE NUMBER OUT.pdf [--reminder]

int RunPdfCommand(const QStringList& args, QTextStream&, QTextStream& err) {
    const bool reminder = args.contains(QStringLiteral("--reminder"));
    const bool einvoice = args.contains(QStringLiteral("--einvoice"));
    QStringList rest = args;
    rest.removeAll(QStringLiteral("--reminder"));
    rest.removeAll(QStringLiteral("--einvoice"));
    bool numberOk = false;
    const int number = rest.size() == 4 ? rest[2].toInt(&numberOk) : 0;
    if (rest.size() != 4 || !numberOk || rest[3].isEmpty()) {
        err << QStringLiteral("Aufruf: quorvent --pdf DATEI BELEGART NUMMER AUSGABE.pdf [--reminder] "
                              "[--einvoice]")
            << Qt::endl;
        return 1;
    }
    const QString file = rest[0];
    const QString typ = rest[1].toUpper();
    const QString pdfFile = rest[3];
    // A slip in a script must not replace the database by its own printout.
    if (OutputIsDatabase(file, pdfFile, err))
        return 1;
    if (!IsFolderName(FolderOfFileName(pdfFile))) {
        err << QStringLiteral("Der Ordner \"") + QFileInfo(pdfFile).absolutePath() +
                   QStringLiteral("\" für die PDF-Datei existiert nicht!")
            << Qt::endl;
        return 1;
    }

    return RunOnDatabaseFile(file, err, [&](TDM& dm) {
        try {
            if (!einvoice)
                return RenderDocumentPdf(dm, typ, number, reminder, true, pdfFile) ? 0 : 1;
            if (reminder) {
                // A reminder is no invoice: its page must not carry one.
                err << QStringLiteral(
                           "Eine Zahlungserinnerung wird ohne E-Rechnung ausgegeben: --einvoice und "
                           "--reminder schließen einander aus.")
                    << Qt::endl;
                return 1;
            }
            // Checked before anything is rendered: a document that cannot
            // be an e-invoice gets no PDF that looks like one.
            if (!TDM::FormattedTextPlain)
                TDM::FormattedTextPlain = &Rtf::PlainText;
            QString fehler;
            const QByteArray xml = IssuedEInvoice(dm, typ, number, &fehler);
            if (xml.isEmpty()) {
                err << fehler << Qt::endl;
                return 1;
            }
            TDruckEInvoice embed(xml);
            return RenderDocumentPdf(dm, typ, number, false, true, pdfFile) ? 0 : 1;
        } catch (const EReportError& e) {
            err << e.message() << Qt::endl;
            return 1;
        }
    });
}
