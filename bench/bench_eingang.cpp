// Benchmarks of incoming e-invoices:
//
//   ms einvoice_import_avg VALUE   one file read, checked and archived, on
//                                  average over 1,000 files made from the
//                                  CII and UBL samples (each with a number
//                                  of its own, so none is a duplicate)
//   ms eingang_list_10k VALUE      the page "Eingangsrechnungen" shown with
//                                  10,000 archived invoices
//
// Wall-clock medians: the wait is what the user notices.
#include "BenchSupport.h"
#include "EingangsArchiv.h"
#include "UDM.h"
#include "UEingang.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>

#include <cstdio>

namespace {

constexpr int kFiles = 1000;
constexpr int kList = 10000;

QList<QByteArray> Samples() {
    QList<QByteArray> files;
    for (const char* folder : {"cii", "ubl"}) {
        const QDir dir(QStringLiteral(QV_INCOMING_SAMPLES "/incoming/xrechnung-testsuite/") +
                       QLatin1String(folder));
        for (const QString& name : dir.entryList({QStringLiteral("*.xml")})) {
            QFile f(dir.filePath(name));
            if (f.open(QIODevice::ReadOnly))
                files << f.readAll();
        }
    }
    return files;
}

// The sample with the invoice number BT-1 replaced by a number of its own.
QByteArray Numbered(const QByteArray& xml, int n) {
    static const QRegularExpression cii(
        QStringLiteral("(ExchangedDocument>(?:\\s|<!--.*?-->)*<ram:ID>)[^<]*"));
    static const QRegularExpression ubl(
        QStringLiteral("(</cbc:ProfileID>\\s*<cbc:ID>|</cbc:CustomizationID>\\s*<cbc:ID>)[^<]*"));
    QString text = QString::fromUtf8(xml);
    const QString nr = QStringLiteral("B%1").arg(n);
    if (text.contains(cii))
        text.replace(cii, QStringLiteral("\\1") + nr);
    else
        text.replace(ubl, QStringLiteral("\\1") + nr);
    return text.toUtf8();
}

int Import(bool verbose) {
    TBenchDataHome dir;
    if (!dir.isValid())
        return 1;
    const QList<QByteArray> samples = Samples();
    if (samples.isEmpty()) {
        std::fprintf(stderr, "einvoice_import: no samples in %s\n", QV_INCOMING_SAMPLES);
        return 1;
    }
    QList<QByteArray> files;
    for (int i = 0; i < kFiles; ++i)
        files << Numbered(samples[i % samples.size()], i);
    int imported = 0;
    double total = 0;
    try {
        TDM dm;
        DM = &dm;
        dm.OpenDatabaseFile(dir.filePath(QStringLiteral("eingang.DB")));
        EingangPrepareTables(dm.SQLiteDB1);
        total = WallMillis([&] {
            for (const QByteArray& f : files)
                imported += ImportiereEingangsrechnung(dm.SQLiteDB1, f, QStringLiteral("x.xml")).Importiert;
        });
        DM = nullptr;
    } catch (const ESQLiteError& e) {
        std::fprintf(stderr, "%s\n", qPrintable(e.message()));
        DM = nullptr;
        return 1;
    }
    if (imported != kFiles) {
        std::fprintf(stderr, "einvoice_import: only %d of %d imported\n", imported, kFiles);
        return 1;
    }
    std::printf("ms einvoice_import_avg %.2f\n", total / kFiles);
    if (verbose)
        std::printf("  %d files from %lld samples in %.0f ms\n", kFiles, qlonglong(samples.size()), total);
    return 0;
}

int List(bool) {
    TBenchDataHome dir;
    if (!dir.isValid())
        return 1;
    std::vector<double> open;
    int rows = 0;
    try {
        TDM dm;
        DM = &dm;
        dm.OpenDatabaseFile(dir.filePath(QStringLiteral("liste.DB")));
        EingangPrepareTables(dm.SQLiteDB1);
        dm.SQLiteDB1.StartTransaction();
        for (int i = 0; i < kList; ++i)
            dm.SQLiteDB1.ExecSQL(
                QStringLiteral(
                    "insert into Eingangsrechnung (Syntax, Typ, Nummer, Datum, Faellig, Waehrung, "
                    "Zahlbetrag, Verkaeufer, VerkaeuferUID, SHA256, Importiert, BezahltAm) values "
                    "('CII', '380', 'R%1', date('2025-01-01', '+%2 days'), date('2025-01-15', '+%2 "
                    "days'), 'EUR', %3, 'Lieferant %4', 'DE%4', 'x', '2026-01-01 10:00:00', %5)")
                    .arg(i)
                    .arg(i % 700)
                    .arg(100 + i % 977)
                    .arg(i % 300)
                    .arg(i % 3 ? QStringLiteral("null") : QStringLiteral("'2026-01-01'")));
        dm.SQLiteDB1.Commit();
        TEingang page;
        page.resize(1200, 800);
        for (int r = 0; r < 5; ++r)
            open.push_back(WallMillis([&] { page.ShowPage(); }));
        rows = page.RowCount();
        DM = nullptr;
    } catch (const ESQLiteError& e) {
        std::fprintf(stderr, "%s\n", qPrintable(e.message()));
        DM = nullptr;
        return 1;
    }
    if (rows != kList) {
        std::fprintf(stderr, "eingang_list: %d rows\n", rows);
        return 1;
    }
    std::printf("ms eingang_list_10k %.1f\n", Median(open));
    return 0;
}

const TBenchRegistrar import("einvoice_import_avg", Import);
const TBenchRegistrar list("eingang_list_10k", List);

} // namespace
