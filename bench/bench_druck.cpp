// Benchmark of the print data preparation:
//
//   ms prepare_invoice_200 MS   preparing an invoice of 200 positions with two
//                               price lines each: buffer rows, parameters and
//                               the four report datasets, then deleting the
//                               run's rows as the print run does
//
// Wall-clock median: the user waits for it before every preview and printout.
#include "BenchSupport.h"
#include "UDM.h"

#include <QTemporaryDir>

#include <cstdio>
#include <vector>

namespace {

constexpr int kPositions = 200;
constexpr int kRepetitions = 9;

void FillInvoice(TSQLiteDB& db) {
    db.StartTransaction();
    db.ExecSQL(QStringLiteral(
        "insert into Kunde (KundenID,AnredeID,TitelID,Firma,Nachname,Strasse,PLZ,Ort,LandID,KunGruID,Aktiv,"
        "KonzernID,HaendlerID) values (10,1,1,'Alpen Bau','Berger','Hauptstraße "
        "1','6020','Innsbruck',2,1,'J',0,0)"));
    db.ExecSQL(QStringLiteral(
        "insert into Kopf (KopfTyp,KopfID,Status,KundenID,KunGruID,Datum,DruDatID,SubkundenID,Rabatt,Skonto,"
        "KopfBez,Netto,KopfTextVorPos,FussTextNachPos,KopfText,FussText) values ('R',1,'E',10,1,"
        "'2024-03-05 10:00:00',2,0,5,2,'Sanierung','N','J','J','Wir danken für Ihren Auftrag.','Mit Gruß')"));
    db.ExecSQL(
        QStringLiteral("update Geschaeft set AndruckLeerzeilen = 1, PosNrFortlaufend = 'J', SkontoR = 'J'"));
    for (int pos = 1; pos <= kPositions; ++pos) {
        db.ExecSQL(QStringLiteral("insert into PosDaten values ('R',1,%1,0,'Position %1','%2','N')")
                       .arg(pos)
                       .arg(QLatin1String(kBenchDescription)));
        for (int line = 1; line <= 2; ++line)
            db.ExecSQL(
                QStringLiteral("insert into PosPreis values ('R',1,%1,%2,'Zeile %2',null,%3,2,%4,%5,%6)")
                    .arg(pos)
                    .arg(line)
                    .arg(line * 1.5)
                    .arg(10 + pos % 90)
                    .arg(line == 1 ? QStringLiteral("5") : QStringLiteral("null"))
                    .arg(pos % 3 == 0 ? 10 : 20));
    }
    db.Commit();
}

int Prepare(bool verbose) {
    TBenchDataHome dir;
    if (!dir.isValid())
        return 1;
    std::vector<double> times;
    int rows = 0;
    try {
        TDM dm;
        DM = &dm;
        dm.OpenDatabaseFile(dir.filePath(QStringLiteral("druck.DB")));
        FillInvoice(dm.SQLiteDB1);
        for (int r = 0; r < kRepetitions; ++r) {
            times.push_back(WallMillis([&] {
                const int run = dm.PreparePrintData(QStringLiteral("R"), 1, false);
                rows = dm.QueryRv9.RecordCount();
                dm.DeletePrintData(run);
            }));
        }
        DM = nullptr;
    } catch (const ESQLiteError& e) {
        std::fprintf(stderr, "%s\n", qPrintable(e.message()));
        DM = nullptr;
        return 1;
    }
    // Header text, 200 x (position, two lines, total, blank), footer text, each with a blank row.
    if (rows != 4 + kPositions * 5)
        return 1;
    std::printf("ms prepare_invoice_200 %.1f\n", Median(times));
    if (verbose)
        std::printf("  %d buffer rows\n", rows);
    return 0;
}

const TBenchRegistrar prepare("prepare_invoice_200", Prepare);

} // namespace
