// Benchmark of the CSV exchange:
//
//   ms csv_preview_50k VALUE   "Prüfen" of a file of 50,000 customers: every
//                              row checked by the rules, nothing written
//   ms csv_import_50k VALUE    "Importieren" of the same file into a database
//                              that has none of them
//
// Wall-clock times of one run each: the user waits for both, and the time
// must grow with the file, not with its square.
#include "BenchSupport.h"
#include "Datenaustausch.h"
#include "UDM.h"

#include <QStringList>

#include <cstdio>

namespace {

constexpr int kCustomers = 50000;

QByteArray CustomerFile() {
    QList<QStringList> rows;
    rows << QStringList{
        QStringLiteral("Nummer"),     QStringLiteral("Firma"),        QStringLiteral("Nachname"),
        QStringLiteral("Vorname"),    QStringLiteral("Straße"),       QStringLiteral("PLZ"),
        QStringLiteral("Ort"),        QStringLiteral("Kundengruppe"), QStringLiteral("Rabatt"),
        QStringLiteral("Konzernnr."), QStringLiteral("Anmerkung")};
    for (int i = 1; i <= kCustomers; ++i)
        // Every tenth customer belongs to a parent company that comes later in
        // the file, so the ordering of parents before members is exercised.
        rows << QStringList{QString::number(i),
                            i % 3 ? QString() : QStringLiteral("Firma %1 GmbH").arg(i),
                            QStringLiteral("Nachname %1").arg(i),
                            QStringLiteral("Jörg"),
                            QStringLiteral("Hauptstraße %1").arg(i % 200),
                            QString::number(1000 + i % 9000),
                            QStringLiteral("Ort %1").arg(i % 300),
                            QStringLiteral("Allgmein"),
                            QStringLiteral("2,5"),
                            i % 10 || i + 5 > kCustomers ? QStringLiteral("0") : QString::number(i + 5),
                            i % 7 ? QString() : QStringLiteral("Zeile 1\nZeile 2; \"zitiert\"")};
    return CSVDatei(rows);
}

int CsvImport(bool verbose) {
    TBenchDataHome dir;
    if (!dir.isValid())
        return 1;
    const QByteArray data = CustomerFile();
    TImportErgebnis preview, done;
    double previewMs = 0, importMs = 0;
    try {
        TDM dm;
        DM = &dm;
        dm.OpenDatabaseFile(dir.filePath(QStringLiteral("csv.DB")));
        previewMs = WallMillis([&] { preview = ImportCSV(dm, TAustauschArt::Kunden, data, false, false); });
        importMs = WallMillis([&] { done = ImportCSV(dm, TAustauschArt::Kunden, data, false, true); });
        DM = nullptr;
    } catch (const ESQLiteError& e) {
        std::fprintf(stderr, "%s\n", qPrintable(e.message()));
        DM = nullptr;
        return 1;
    }
    if (preview.Neu != kCustomers || done.Neu != kCustomers || !done.Ausgefuehrt) {
        std::fprintf(stderr, "csv_import_50k: %d/%d new rows, %s\n", preview.Neu, done.Neu,
                     qPrintable(preview.Fehler + done.Fehler));
        return 1;
    }
    std::printf("ms csv_preview_50k %.1f\n", previewMs);
    std::printf("ms csv_import_50k %.1f\n", importMs);
    if (verbose)
        std::printf("  %lld bytes, %d customers\n", qlonglong(data.size()), kCustomers);
    return 0;
}

const TBenchRegistrar csvImport("csv_import_50k", CsvImport);

} // namespace
