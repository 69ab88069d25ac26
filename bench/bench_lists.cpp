// Benchmark of the customer list:
//
//   ratio filter_customers_50k VALUE   one rebuild of the customer list after a
//                                      keystroke in the name filter (statement
//                                      built, query run, grid model reset) / the
//                                      same SELECT stepped through plain sqlite3
//   ms filter_customers_50k VALUE      the rebuild itself (typing must not stutter)
//
// Wall-clock medians: the wait after a keystroke is what the user notices.
#include "BenchSupport.h"
#include "UDM.h"
#include "UFrameKundenUeb.h"

#include <sqlite3.h>

#include <QFile>
#include <QLineEdit>
#include <QTemporaryDir>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

namespace {

constexpr int kCustomers = 50000;
constexpr int kRepetitions = 9;

// 50,000 customers with surnames and firms spread over the alphabet, so the
// first letter typed keeps a realistic share of them (about one in eight).
void FillCustomers(TSQLiteDB& db) {
    static const char* const surnames[] = {"Auer",   "Berger", "Fischer", "Gruber",  "Huber",   "Koller",
                                           "Lang",   "Mayer",  "Novak",   "Pichler", "Steiner", "Schmid",
                                           "Wagner", "Wolf",   "Zach",    "Moser"};
    static const char* const firms[] = {"", "", "Bau GmbH", "Elektro OG", "Tischlerei", "Sanitär KG", "", ""};
    db.StartTransaction();
    for (int i = 1; i <= kCustomers; ++i) {
        const QString surname = QString::fromLatin1(surnames[i % 16]);
        const QString firm = QString::fromUtf8(firms[i % 8]);
        db.ExecSQL(
            QStringLiteral("insert into Kunde (KundenID,AnredeID,TitelID,Firma,Nachname,Vorname,PLZ,Ort,"
                           "Strasse,LandID,KunGruID,Aktiv,KonzernID) values (%1,1,1,'%2','%3','Vorname "
                           "%1','%4','Ort %5','Hauptstraße %1',1,1,'%6',0)")
                .arg(i)
                .arg(firm.isEmpty() ? QString() : surname + QLatin1Char(' ') + firm, surname)
                .arg(1000 + i % 9000)
                .arg(i % 300)
                .arg(i % 10 ? QStringLiteral("J") : QStringLiteral("N")));
    }
    db.Commit();
}

int FilterCustomers(bool verbose) {
    TBenchDataHome dir;
    if (!dir.isValid())
        return 1;
    const QString file = dir.filePath(QStringLiteral("lists.DB"));
    std::vector<double> ours, plain;
    int listed = 0, plainRows = 0;
    try {
        TDM dm;
        DM = &dm;
        dm.OpenDatabaseFile(file);
        FillCustomers(dm.SQLiteDB1);
        TFrameKundenUeb frame;
        frame.Reset();
        auto* name = frame.findChild<QLineEdit*>(QStringLiteral("EditName"));

        sqlite3* raw = nullptr;
        sqlite3_open(QFile::encodeName(file).constData(), &raw);
        TPlainList plainList;
        for (int r = 0; r < kRepetitions; ++r) {
            // Before the keystroke both show the whole list.
            name->clear();
            PlainSelect(raw, frame.BuildSQL().toLatin1(), plainList);
            // The keystroke: the text changes, the frame does the rest.
            ours.push_back(WallMillis([&] { name->insert(QStringLiteral("M")); }));
            listed = dm.QueryKunde.RecordCount();
            const QByteArray sql = frame.BuildSQL().toLatin1();
            plain.push_back(WallMillis([&] { PlainSelect(raw, sql, plainList); }));
            plainRows = int(plainList.size());
        }
        sqlite3_close(raw);
        DM = nullptr;
    } catch (const ESQLiteError& e) {
        std::fprintf(stderr, "%s\n", qPrintable(e.message()));
        DM = nullptr;
        return 1;
    }
    if (listed != plainRows || listed == 0)
        return 1;
    std::printf("ratio filter_customers_50k %.2f\n", Median(ours) / Median(plain));
    std::printf("ms filter_customers_50k %.1f\n", Median(ours));
    if (verbose)
        std::printf("  ours %.3f ms, plain %.3f ms (%d rows listed)\n", Median(ours), Median(plain), listed);
    return 0;
}

const TBenchRegistrar filterCustomers("filter_customers_50k", FilterCustomers);

} // namespace
