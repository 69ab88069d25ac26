// Benchmarks of the positions list, on a document of 500 positions with three
// price lines each:
//
//   ms reorder_500 MS                  one drag-and-drop move of the last
//                                      position to the top: the renumbering
//                                      transaction and the list run again
//                                      into its grid
//   ratio open_positions_500 VALUE     opening the positions list (figures,
//                                      list statement, grid) / the list's
//                                      statement stepped through plain sqlite3
//
// Wall-clock medians: both are waits the user sits through.
#include "BenchSupport.h"
#include "TDBGrid.h"
#include "UDM.h"
#include "UPosUeb.h"

#include <sqlite3.h>

#include <QFile>
#include <QTemporaryDir>

#include <cstdio>
#include <string>
#include <vector>

namespace {

constexpr int kPositions = 500;
constexpr int kRepetitions = 9;

void FillDocument(TSQLiteDB& db) {
    db.StartTransaction();
    db.ExecSQL(
        QStringLiteral("insert into Kunde (KundenID,AnredeID,TitelID,Firma,Nachname,LandID,KunGruID,Aktiv,"
                       "KonzernID,HaendlerID) values (10,1,1,'Alpen Bau','Berger',1,1,'J',0,0)"));
    db.ExecSQL(
        QStringLiteral("insert into Kopf (KopfTyp,KopfID,Status,KundenID,KunGruID,Datum,DruDatID,"
                       "SubkundenID,Rabatt,KopfBez,Netto) values ('R',1,'E',10,1,'2024-03-05 10:00:00',"
                       "1,0,5,'Sanierung','N')"));
    for (int pos = 1; pos <= kPositions; ++pos) {
        db.ExecSQL(QStringLiteral("insert into PosDaten values ('R',1,%1,0,'Position %1','%2','N')")
                       .arg(pos)
                       .arg(QLatin1String(kBenchDescription)));
        for (int line = 1; line <= 3; ++line)
            db.ExecSQL(
                QStringLiteral("insert into PosPreis values ('R',1,%1,%2,'Zeile %2',null,%3,2,%4,5,20)")
                    .arg(pos)
                    .arg(line)
                    .arg(line * 1.5)
                    .arg(10 + pos % 90));
    }
    db.Commit();
}

int Positions(bool verbose) {
    TBenchDataHome dir;
    if (!dir.isValid())
        return 1;
    const QString file = dir.filePath(QStringLiteral("positions.DB"));
    std::vector<double> reorder, open, plain;
    int listed = 0, plainRows = 0;
    bool movedToTop = true;
    try {
        TDM dm;
        DM = &dm;
        dm.OpenDatabaseFile(file);
        FillDocument(dm.SQLiteDB1);
        TPosUeb page;
        page.resize(900, 600);
        sqlite3* raw = nullptr;
        sqlite3_open(QFile::encodeName(file).constData(), &raw);
        for (int r = 0; r < kRepetitions; ++r) {
            open.push_back(WallMillis([&] { page.Open(QStringLiteral("R"), 1); }));
            listed = page.findChild<TDBGrid*>(QStringLiteral("DBGrid1"))->model()->rowCount();
            const QByteArray sql = dm.QueryPos.SQL().join(QLatin1Char(' ')).toLatin1();
            plain.push_back(WallMillis([&] {
                TPlainList rows;
                PlainSelect(raw, sql, rows);
                plainRows = int(rows.size());
            }));

            // The drop of the last row on the first: the list does exactly this.
            reorder.push_back(WallMillis([&] {
                const qint64 moved = dm.ReorderPositions(QStringLiteral("R"), 1, kPositions, 1, -1);
                dm.OpenQueryPos(QStringLiteral("R"), 1, false);
                dm.QueryPos.Locate(QStringLiteral("PosID"), moved);
            }));
            movedToTop = movedToTop && dm.QueryPos.RecNo() == 1 &&
                         dm.QueryPos.FieldByName(QStringLiteral("PosKurzBez"))->AsString() ==
                             QStringLiteral("Position %1").arg(kPositions - r);
        }
        sqlite3_close(raw);
        DM = nullptr;
    } catch (const ESQLiteError& e) {
        std::fprintf(stderr, "%s\n", qPrintable(e.message()));
        DM = nullptr;
        return 1;
    }
    if (listed != kPositions || plainRows != kPositions || !movedToTop)
        return 1;
    std::printf("ms reorder_500 %.1f\n", Median(reorder));
    std::printf("ratio open_positions_500 %.2f\n", Median(open) / Median(plain));
    if (verbose)
        std::printf("  open %.3f ms, plain %.3f ms, reorder %.3f ms\n", Median(open), Median(plain),
                    Median(reorder));
    return 0;
}

const TBenchRegistrar positions("positions_500", Positions);

} // namespace
