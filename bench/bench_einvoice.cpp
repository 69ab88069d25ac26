// Benchmark of the e-invoice:
//
//   ms einvoice_xml_50 MS   building the EN 16931 XML of an invoice of 50
//                           positions (two price lines each, two rates,
//                           discounts): reading the document, the checks and
//                           writing the XML
//
// Wall-clock median: the user waits for it before every mailed e-invoice.
#include "BenchSupport.h"
#include "EInvoice.h"
#include "UDM.h"

#include <cstdio>
#include <vector>

namespace {

constexpr int kPositions = 50;
constexpr int kRepetitions = 15;

void FillInvoice(TDM& dm) {
    TSQLiteDB& db = dm.SQLiteDB1;
    db.StartTransaction();
    db.ExecSQL(QStringLiteral("insert into set_allg values ('FirmaLand', 'AT')"));
    db.ExecSQL(
        QStringLiteral("update Geschaeft set Name = 'Brenholm Handel KG', UIDNr = 'ATU12345678', IBAN1 = "
                       "'AT611904300234573201', BIC1 = 'BKAUATWW', SkontoR = 'J'"));
    db.ExecSQL(QStringLiteral(
        "insert into Kunde (KundenID,AnredeID,TitelID,Firma,Nachname,Strasse,PLZ,Ort,LandID,KunGruID,Aktiv,"
        "KonzernID,HaendlerID,UIDNr) values (10,1,1,'Alpen Bau','Berger','Hauptstraße "
        "1','6020','Innsbruck',2,"
        "1,'J',0,0,'ATU99999999')"));
    db.ExecSQL(QStringLiteral(
        "insert into Kopf (KopfTyp,KopfID,Status,KundenID,KunGruID,Datum,DruDatID,Datum2,SubkundenID,Rabatt,"
        "Skonto,KopfBez,Netto,KopfTextVorPos,FussTextNachPos,KopfText,FussText) values ('R',1,'E',10,1,"
        "'2024-03-05 10:00:00',2,'2024-03-01 00:00:00',0,5,2,'Sanierung','N','N','N','Wir danken für Ihren "
        "Auftrag.','Mit Gruß')"));
    for (int pos = 1; pos <= kPositions; ++pos) {
        db.ExecSQL(QStringLiteral("insert into PosDaten values ('R',1,%1,0,'Position %1','%2','N')")
                       .arg(pos)
                       .arg(QLatin1String(kBenchDescription)));
        for (int line = 1; line <= 2; ++line)
            db.ExecSQL(
                QStringLiteral("insert into PosPreis values ('R',1,%1,%2,'Zeile %2',null,%3,%4,%5,%6,%7)")
                    .arg(pos)
                    .arg(line)
                    .arg(line * 1.5)
                    .arg(2 + pos % 5)
                    .arg(10 + pos % 90)
                    .arg(line == 1 ? QStringLiteral("5") : QStringLiteral("null"))
                    .arg(pos % 3 == 0 ? 10 : 20));
    }
    db.Commit();
}

int Build(bool verbose) {
    TBenchDataHome dir;
    if (!dir.isValid())
        return 1;
    std::vector<double> times;
    QByteArray xml;
    QString fehler;
    try {
        TDM dm;
        DM = &dm;
        dm.OpenDatabaseFile(dir.filePath(QStringLiteral("einvoice.DB")));
        FillInvoice(dm);
        for (int r = 0; r < kRepetitions; ++r)
            times.push_back(WallMillis([&] { xml = BuildEInvoice(dm, QStringLiteral("R"), 1, &fehler); }));
        DM = nullptr;
    } catch (const ESQLiteError& e) {
        std::fprintf(stderr, "%s\n", qPrintable(e.message()));
        DM = nullptr;
        return 1;
    }
    if (xml.count("<ram:IncludedSupplyChainTradeLineItem>") != kPositions * 2) {
        std::fprintf(stderr, "%s\n", qPrintable(fehler));
        return 1;
    }
    std::printf("ms einvoice_xml_50 %.1f\n", Median(times));
    if (verbose)
        std::printf("  %lld bytes of XML\n", static_cast<long long>(xml.size()));
    return 0;
}

const TBenchRegistrar build("einvoice_xml_50", Build);

} // namespace
