// Benchmark of the DATEV export on a month of 10,000 issued invoices (one to
// four price lines each, two VAT rates) for 2,000 customers, with some
// credit notes:
//
//   ms datev_export_10k VALUE    both files built and checked in memory
//                                (Buchungsstapel and Debitoren), median of 5
//
// The user waits for it in the dialog, and a scheduled job for each month.
#include "BenchSupport.h"
#include "DatevExport.h"
#include "UDM.h"

#include <sqlite3.h>

#include <QFile>

#include <cstdio>
#include <string>

namespace {

constexpr int kInvoices = 10000;
constexpr int kCustomers = 2000;
constexpr int kRepetitions = 5;

void Fill(const QString& file) {
    sqlite3* db = nullptr;
    sqlite3_open(QFile::encodeName(file).constData(), &db);
    BenchExec(db, "begin");
    sqlite3_stmt* kunde = nullptr;
    sqlite3_prepare_v2(
        db,
        "insert into Kunde (KundenID,AnredeID,TitelID,Firma,Nachname,Vorname,Strasse,PLZ,Ort,LandID,"
        "KunGruID,Aktiv,KonzernID,HaendlerID) values (?1,1,1,case when ?1 % 3 = 0 then null else "
        "'Müller & Söhne ' || ?1 end,'Weiß','Jörg','Hauptstraße 1',?1,'Köln',3,1,'J',0,0)",
        -1, &kunde, nullptr);
    for (int i = 1; i <= kCustomers; ++i) {
        sqlite3_bind_int(kunde, 1, i);
        sqlite3_step(kunde);
        sqlite3_reset(kunde);
    }
    sqlite3_finalize(kunde);
    sqlite3_stmt *kopf = nullptr, *pos = nullptr, *preis = nullptr;
    sqlite3_prepare_v2(
        db,
        "insert into Kopf (KopfTyp,KopfID,KundenID,KunGruID,KopfBez,Rabatt,Skonto,Status,Datum,"
        "DruDatID,SubkundenID,Netto,RefTyp,RefID) values (?1,?2,?3,1,'Rechnung',0,2,'A',?4,1,0,'N',"
        "?5,?6)",
        -1, &kopf, nullptr);
    sqlite3_prepare_v2(
        db,
        "insert into PosDaten (KopfTyp,KopfID,PosID,ArtikelID,PosKurzBez,PosBez,Zwischensumme) "
        "values (?1,?2,1,0,'Position','Text','N')",
        -1, &pos, nullptr);
    sqlite3_prepare_v2(
        db,
        "insert into PosPreis (KopfTyp,KopfID,PosID,PreisID,Menge,EinheitID,Wert,Rabatt,MWStSatz) "
        "values (?1,?2,1,?3,?4,1,?5,0,?6)",
        -1, &preis, nullptr);
    int credits = 0;
    auto beleg = [&](const char* typ, int id, int kunde, const char* date, const char* refTyp, int refId,
                     int lines, int i) {
        sqlite3_bind_text(kopf, 1, typ, -1, SQLITE_STATIC);
        sqlite3_bind_int(kopf, 2, id);
        sqlite3_bind_int(kopf, 3, kunde);
        sqlite3_bind_text(kopf, 4, date, -1, SQLITE_TRANSIENT);
        if (refTyp) {
            sqlite3_bind_text(kopf, 5, refTyp, -1, SQLITE_STATIC);
            sqlite3_bind_int(kopf, 6, refId);
        } else {
            sqlite3_bind_null(kopf, 5);
            sqlite3_bind_null(kopf, 6);
        }
        sqlite3_step(kopf);
        sqlite3_reset(kopf);
        sqlite3_bind_text(pos, 1, typ, -1, SQLITE_STATIC);
        sqlite3_bind_int(pos, 2, id);
        sqlite3_step(pos);
        sqlite3_reset(pos);
        for (int l = 0; l < lines; ++l) {
            sqlite3_bind_text(preis, 1, typ, -1, SQLITE_STATIC);
            sqlite3_bind_int(preis, 2, id);
            sqlite3_bind_int(preis, 3, 1 + l);
            sqlite3_bind_int(preis, 4, 1 + l);
            sqlite3_bind_double(preis, 5, 12.5 * (1 + (i + l) % 17));
            sqlite3_bind_int(preis, 6, l % 2 ? 7 : 19);
            sqlite3_step(preis);
            sqlite3_reset(preis);
        }
    };
    for (int i = 0; i < kInvoices; ++i) {
        char date[32];
        std::snprintf(date, sizeof date, "2026-03-%02d 10:00:00", 1 + i % 31);
        const int kunde = 1 + (i * 7919) % kCustomers;
        beleg("R", 1 + i, kunde, date, nullptr, 0, 1 + i % 4, i);
        if (i % 50 == 0)
            beleg("G", ++credits, kunde, date, "R", 1 + i, 1, i);
    }
    sqlite3_finalize(kopf);
    sqlite3_finalize(pos);
    sqlite3_finalize(preis);
    BenchExec(db, "commit");
    sqlite3_close(db);
}

int DatevExport(bool verbose) {
    TBenchDataHome dir;
    if (!dir.isValid())
        return 1;
    const QString file = dir.filePath(QStringLiteral("datev.DB"));
    std::vector<double> times;
    TDatevErgebnis r;
    try {
        CreateBenchDatabase(file);
        Fill(file);
        TDM dm;
        DM = &dm;
        dm.OpenDatabaseFile(file);
        TDatevEinstellungen e = LeseDatevEinstellungen(dm);
        e.Berater = QStringLiteral("1001");
        e.Mandant = QStringLiteral("1");
        TDatevAuftrag a;
        a.Von = QDate(2026, 3, 1);
        a.Bis = QDate(2026, 3, 31);
        for (int i = 0; i < kRepetitions; ++i)
            times.push_back(WallMillis([&] { r = DatevErstellen(dm, e, a); }));
        DM = nullptr;
    } catch (const ESQLiteError& e) {
        std::fprintf(stderr, "%s\n", qPrintable(e.message()));
        DM = nullptr;
        return 1;
    }
    if (!r.Ok || r.Belege < kInvoices) {
        std::fprintf(stderr, "datev_export_10k: %d documents, %s\n", r.Belege, qPrintable(r.Fehler));
        return 1;
    }
    std::printf("ms datev_export_10k %.1f\n", Median(times));
    if (verbose)
        std::printf("  %d documents, %d bookings, %d customers, %lld + %lld bytes\n", r.Belege, r.Buchungen,
                    r.Kunden, qlonglong(r.Buchungsstapel.size()), qlonglong(r.Debitoren.size()));
    return 0;
}

const TBenchRegistrar datevExport("datev_export_10k", DatevExport);

} // namespace
