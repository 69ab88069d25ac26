// Writing what the export built: both files under temporary names, then the
// marks of the exported documents and the renaming together; and the command
// line that runs the whole export.
#include "DatevExport.h"
#include "DatevIntern.h"

#include "FileNames.h"
#include "GlobalFunctions.h"
#include "MaintenanceCommand.h"
#include "OwnTransaction.h"
#include "UDM.h"

#include <QTextStream>

using namespace Datev;

void EnsureDatevTables(TDM& dm) {
    if (dm.TableExists(QStringLiteral("DatevExport")))
        return;
    AllOrNothing(dm.SQLiteDB1, [&] {
        dm.SQLiteDB1.ExecSQL(QStringLiteral(
            "CREATE TABLE IF NOT EXISTS DatevExport (KopfTyp CHAR(1) NOT NULL, KopfID INTEGER NOT NULL, "
            "Exportiert DATETIME NOT NULL, Datei VARCHAR(250), PRIMARY KEY (KopfTyp, KopfID))"));
        // The export hands the books out: protected by the password like the data export.
        if (dm.TableExists(QStringLiteral("set_recht")))
            dm.SQLiteDB1.ExecSQL(
                QStringLiteral("INSERT INTO set_recht SELECT 'DatevExport', 'DATEV-Export', 'N' "
                               "WHERE NOT EXISTS (SELECT 1 FROM set_recht WHERE Funktion = 'DatevExport')"));
    });
}

TDatevErgebnis DatevExportieren(TDM& dm, const TDatevEinstellungen& e, const TDatevAuftrag& auftrag) {
    return DatevSchreiben(dm, DatevErstellen(dm, e, auftrag), auftrag.Ordner);
}

TDatevErgebnis DatevSchreiben(TDM& dm, TDatevErgebnis r, const QString& zielOrdner) {
    if (!r.Ok || r.Belege == 0)
        return r;
    auto scheitern = [&r](const QString& text) {
        r.Ok = false;
        r.Fehler = text;
        return r;
    };
    QString ordner = zielOrdner;
    while (ordner.size() > 1 && ordner.endsWith(u'/'))
        ordner.chop(1);
    if (ordner.isEmpty() || !IsFolderName(ordner))
        return scheitern(QStringLiteral("Der Zielordner \"") + zielOrdner +
                         QStringLiteral("\" wurde nicht gefunden!"));
    const QString stapel = ordner + u'/' + r.BuchungsDatei;
    const QString debitoren = ordner + u'/' + r.DebitorenDatei;
    const QString stapelTmp = ordner + QStringLiteral("/.") + r.BuchungsDatei + QStringLiteral(".tmp");
    const QString debitorenTmp = ordner + QStringLiteral("/.") + r.DebitorenDatei + QStringLiteral(".tmp");
    auto aufraeumen = [&] {
        RemoveFileName(stapelTmp);
        RemoveFileName(debitorenTmp);
    };
    if (QString f = WriteWholeFile(stapelTmp, r.Buchungsstapel); !f.isEmpty()) {
        aufraeumen();
        return scheitern(f);
    }
    if (QString f = WriteWholeFile(debitorenTmp, r.Debitoren); !f.isEmpty()) {
        aufraeumen();
        return scheitern(f);
    }
    // The marks and the files together: a mark without its file would hide a
    // document from the next export, a file without marks would not ask.
    TSQLiteDB& db = dm.SQLiteDB1;
    try {
        EnsureDatevTables(dm);
        db.StartTransaction();
        const QString jetzt = DateTimeToSQL(QDateTime::currentDateTime());
        const QString datei = SQLQuote(r.BuchungsDatei);
        for (const auto& [typ, nr] : r.ExportierteBelege)
            db.ExecSQL(QStringLiteral("insert or replace into DatevExport values ('") + typ +
                       QStringLiteral("', ") + QString::number(nr) + QStringLiteral(", '") + jetzt +
                       QStringLiteral("', ") + datei + u')');
        if (!RenameFileName(stapelTmp, stapel) || !RenameFileName(debitorenTmp, debitoren)) {
            db.Rollback();
            aufraeumen();
            return scheitern(QStringLiteral("Die Dateien im Ordner \"") + ordner +
                             QStringLiteral("\" konnten nicht geschrieben werden!"));
        }
        db.Commit();
    } catch (const ESQLiteError& ex) {
        if (db.InTransaction())
            db.Rollback();
        aufraeumen();
        return scheitern(QStringLiteral("Die exportierten Belege konnten nicht vermerkt werden:\n") +
                         ex.message());
    }
    return r;
}

int RunDatevCommand(const QStringList& args, QTextStream& out, QTextStream& err) {
    if (args.size() != 4) {
        err << QStringLiteral("Aufruf: quorvent --datev DATEI JJJJ-MM-TT JJJJ-MM-TT ORDNER") << Qt::endl;
        return 1;
    }
    QDate tage[2];
    for (int i = 0; i < 2; ++i) {
        tage[i] = QDate::fromString(args[1 + i], QStringLiteral("yyyy-MM-dd"));
        if (!tage[i].isValid()) {
            err << QStringLiteral("Das Datum \"") + args[1 + i] +
                       QStringLiteral("\" ist ungültig; erwartet wird JJJJ-MM-TT!")
                << Qt::endl;
            return 1;
        }
    }
    return RunOnDatabaseFile(args[0], err, [&](TDM& dm) {
        const TDatevEinstellungen e = LeseDatevEinstellungen(dm);
        TDatevAuftrag a;
        a.Von = tage[0];
        a.Bis = tage[1];
        a.Ordner = args[3];
        // A scheduled job cannot be asked: it never hands a document to the
        // advisor twice.
        if (const int schon = DatevBereitsExportiert(dm, a.Von, a.Bis); schon > 0) {
            err << (schon == 1 ? QStringLiteral("Im Zeitraum wurde bereits 1 Beleg")
                               : QStringLiteral("Im Zeitraum wurden bereits %1 Belege").arg(schon)) +
                       QStringLiteral(" an DATEV exportiert; ein erneuter Export ist nur im Programm möglich "
                                      "(Extras → DATEV-Export).")
                << Qt::endl;
            return 1;
        }
        const TDatevErgebnis r = DatevExportieren(dm, e, a);
        if (!r.Ok) {
            err << QStringLiteral("Der DATEV-Export wurde nicht geschrieben:\n") + r.Fehler << Qt::endl;
            return 1;
        }
        if (r.Belege == 0)
            out << QStringLiteral(
                       "Im Zeitraum gibt es keine Belege für DATEV; es wurde keine Datei geschrieben.")
                << Qt::endl;
        else
            out << r.BuchungsDatei << u' ' << r.Buchungen
                << (r.Buchungen == 1 ? QStringLiteral(" Buchung aus ") : QStringLiteral(" Buchungen aus "))
                << r.Belege << (r.Belege == 1 ? QStringLiteral(" Beleg\n") : QStringLiteral(" Belegen\n"))
                << r.DebitorenDatei << u' ' << r.Kunden
                << (r.Kunden == 1 ? QStringLiteral(" Kunde") : QStringLiteral(" Kunden")) << Qt::endl;
        return 0;
    });
}
