#include "Mahnwesen.h"

#include "DruckAusgabe.h"
#include "DruckText.h"
#include "GlobalFunctions.h"
#include "Messages.h"
#include "QuorventFunctions.h"
#include "TReport.h"
#include "UDM.h"

#include <algorithm>

QString PauschaleRegel(const QString& land) {
    return land == QLatin1String("AT") ? QStringLiteral("§ 458 UGB") : QStringLiteral("§ 288 Abs. 5 BGB");
}

bool BerechneMahnung(TDM& dm, const QString& typ, int kopfId, const TMahnAuftrag& a, TMahnBerechnung& b) {
    b = TMahnBerechnung();
    b.Stand = BelegStand(dm, typ, kopfId);
    const QString name = BelegName(typ, kopfId);
    if (typ != QLatin1String("R") && typ != QLatin1String("T")) {
        Messages::warning(QStringLiteral("Gemahnt werden können nur Rechnungen und Teilrechnungen!"));
        return false;
    }
    if (!b.Stand.Gefunden) {
        Messages::warning(QStringLiteral("Die ") + name + QStringLiteral(" wurde nicht gefunden!"));
        return false;
    }
    if (b.Stand.Offen < 0.005) {
        Messages::warning(QStringLiteral("Die ") + name +
                          QStringLiteral(" ist bezahlt und wird nicht gemahnt!"));
        return false;
    }
    const TZahlungsBedingung bed = KundenZahlungsBedingung(dm, b.Stand.KundenID);
    b.Faellig = Faelligkeit(b.Stand.Datum, bed.Zahlungsziel);
    b.Verbraucher = bed.Verbraucher;
    b.Land = ZinsLand(dm);
    b.TageBasis = ZinsTageBasis(dm);
    const QDate datum = a.Datum.isValid() ? a.Datum : QDate::currentDate();
    if (a.Stufe >= 2 && datum <= b.Faellig) {
        Messages::warning(QStringLiteral("Die ") + name + QStringLiteral(" ist erst am ") +
                          DruckDate(b.Faellig) +
                          QStringLiteral(" fällig; eine Mahnung ist erst danach möglich."));
        return false;
    }
    b.Frueher = Mahnungen(dm, typ, kopfId);
    for (const TMahnung& m : b.Frueher)
        b.GebuehrFrueher += m.Gebuehr;
    if (a.Stufe >= 2) {
        if (a.Zinsen) {
            // Every payment and credit lowers the principal from its day on.
            QList<QPair<QDate, double>> minderungen;
            for (const TZahlung& z : Zahlungen(dm, typ, kopfId))
                minderungen.append({z.Datum, z.Betrag});
            TSQLiteQuery q(&dm.SQLiteDB1);
            q.RunSQL(
                QStringLiteral("select KopfTyp, KopfID, Date(Datum) from Kopf where KopfTyp in ('S','G') and "
                               "RefTyp = ") +
                SQLQuote(typ) + QStringLiteral(" and RefID = ") + QString::number(kopfId));
            QList<std::tuple<QString, int, QDate>> gut;
            for (q.First(); !q.Eof(); q.Next())
                gut.append({q.Fields(0)->AsString(), q.Fields(1)->AsInteger(), Tag(q.Fields(2))});
            for (const auto& [t, id, d] : gut)
                minderungen.append({d, BelegBrutto(dm, t, id)});
            b.Zins = Verzugszinsen(Basiszinsen(dm, b.Land), b.Land, b.Verbraucher, b.Stand.Datum, b.Faellig,
                                   datum, b.Stand.Brutto, minderungen, b.TageBasis);
        }
        b.Gebuehr = RoundCentsHalfEven((a.Pauschale && !b.Verbraucher ? MahnPauschale : 0.0) +
                                       std::max(0.0, a.Gebuehr));
    }
    b.Gesamt = RoundCentsHalfEven(b.Stand.Offen + b.Zins.Zinsen + b.GebuehrFrueher + b.Gebuehr);
    b.ZahlbarBis = datum.addDays(std::max(0, a.Zahlungsfrist));
    return true;
}

namespace {

QString Tage(int n) {
    return n == 1 ? QStringLiteral("1 Tag") : QString::number(n) + QStringLiteral(" Tage");
}

QString TageBasisText(int basis) {
    return basis == 0
               ? QStringLiteral("taggenau, 365 bzw. 366 Tage im Jahr")
               : QStringLiteral("taggenau, ") + QString::number(basis) + QStringLiteral(" Tage im Jahr");
}

} // namespace

int PrepareMahnung(TDM& dm, const QString& typ, int kopfId, const TMahnAuftrag& a) {
    TMahnBerechnung b;
    if (!BerechneMahnung(dm, typ, kopfId, a, b))
        return 0;
    const int run = dm.PreparePrintData(typ, kopfId, true);
    if (run == 0 || a.Stufe < 2)
        return run;

    const QDate datum = a.Datum.isValid() ? a.Datum : QDate::currentDate();
    const QString rechnung = DokTypName(typ) + QStringLiteral(" Nr. ") + QString::number(kopfId);
    const QString runSQL = QString::number(run);
    int zeile = 0;
    TSQLiteDB& db = dm.SQLiteDB1;
    // The statement replaces the positions: what was billed, what came in,
    // what is open, and what the delay costs.
    auto row = [&](const QString& bez, const QString& bez2, const QString& summe) {
        db.ExecSQL(
            QStringLiteral("insert into Ausdruck (AusdruckID,ZeilenID,PreisBez,PreisBez2,Summe) values (") +
            runSQL + u',' + QString::number(++zeile) + u',' + SQLQuote(bez.left(100)) + u',' +
            SQLQuote(bez2.left(100)) + u',' + SQLQuote(summe) + u')');
    };
    auto blank = [&] {
        db.ExecSQL(QStringLiteral("insert into Ausdruck (AusdruckID,ZeilenID) values (") + runSQL + u',' +
                   QString::number(++zeile) + u')');
    };
    db.StartTransaction();
    try {
        db.ExecSQL(QStringLiteral("delete from Ausdruck where AusdruckID = ") + runSQL);
        row(rechnung + QStringLiteral(" vom ") + DruckDate(b.Stand.Datum),
            QStringLiteral("fällig am ") + DruckDate(b.Faellig),
            RtfRightAmount(DruckCurrency(b.Stand.Brutto)));
        if (b.Stand.Gutgeschrieben > 0.005)
            row(QStringLiteral("abzüglich Gutschriften und Stornorechnungen"), QString(),
                RtfRightAmount(DruckCurrency(-b.Stand.Gutgeschrieben)));
        if (b.Stand.Bezahlt > 0.005)
            row(QStringLiteral("abzüglich erhaltener Zahlungen"), QString(),
                RtfRightAmount(DruckCurrency(-b.Stand.Bezahlt)));
        row(QStringLiteral("Offener Rechnungsbetrag"), QString(),
            RtfBoldAmount(DruckCurrency(b.Stand.Offen)));
        if (!b.Zins.Abschnitte.isEmpty()) {
            blank();
            for (const TZinsAbschnitt& z : b.Zins.Abschnitte)
                row(QStringLiteral("Verzugszinsen ") + DruckFixed(z.Satz) + QStringLiteral(" % p. a. auf ") +
                        DruckCurrency(z.Kapital) + QStringLiteral(" EUR"),
                    DruckDate(z.Von) + QStringLiteral(" bis ") + DruckDate(z.Bis) + QStringLiteral(" (") +
                        Tage(z.Tage) + u')',
                    RtfRightAmount(DruckCurrency(z.Zinsen)));
            row(QStringLiteral("Verzugszinsen gesamt"), b.Zins.Regel,
                RtfBoldAmount(DruckCurrency(b.Zins.Zinsen)));
        }
        if (b.GebuehrFrueher > 0.005 || b.Gebuehr > 0.005) {
            blank();
            if (b.GebuehrFrueher > 0.005)
                row(QStringLiteral("Mahnkosten früherer Mahnungen"), QString(),
                    RtfRightAmount(DruckCurrency(b.GebuehrFrueher)));
            if (a.Pauschale && !b.Verbraucher)
                row(QStringLiteral("Verzugspauschale (") + PauschaleRegel(b.Land) + u')', QString(),
                    RtfRightAmount(DruckCurrency(MahnPauschale)));
            if (a.Gebuehr > 0.005)
                row(QStringLiteral("Mahngebühr"), QString(), RtfRightAmount(DruckCurrency(a.Gebuehr)));
        }
        blank();
        row(QStringLiteral("Neuer Gesamtbetrag"), QString(), RtfBoldAmount(DruckCurrency(b.Gesamt)));
        db.Commit();
    } catch (...) {
        if (db.InTransaction())
            db.Rollback();
        throw;
    }
    dm.QueryRv9.RunSQL(
        QStringLiteral(
            "select AusdruckID, ZeilenID, PosID, PosBez, PosBez2, cast(PreisBez as text) as PreisBez, "
            "cast(PreisBez2 as text) as PreisBez2, cast(Menge as text) as Menge, cast(EinheitBez as text) "
            "as EinheitBez, cast(Wert as text) as Wert, cast(Rabatt as text) as Rabatt, Summe from "
            "Ausdruck where AusdruckID = ") +
        runSQL + QStringLiteral(" order by ZeilenID"));

    auto& P = dm.ReportParams;
    P[QStringLiteral("DokArt")] = MahnstufeName(a.Stufe);
    P[QStringLiteral("DatumStr2")] = QStringLiteral("Mahndatum:");
    P[QStringLiteral("Datum2")] = DruckDate(datum);
    // The invoice's VAT summary and payment terms do not belong to the letter.
    for (const char* name : {"SumMWStSatz", "SumNetto", "SumMWSt", "SumBrutto", "Skonto"})
        P[QLatin1String(name)] = QString();
    dm.DruckOhnePreis = true;

    QString vorher;
    for (const TMahnung& m : b.Frueher)
        vorher = MahnstufeName(m.Stufe) + QStringLiteral(" vom ") + DruckDate(m.Datum);
    QString kopf = QStringLiteral("Sehr geehrte Damen und Herren,\r\n\r\n");
    if (a.Stufe == 2)
        kopf += QStringLiteral("zu unserer ") + rechnung + QStringLiteral(" vom ") +
                DruckDate(b.Stand.Datum) + QStringLiteral(", fällig am ") + DruckDate(b.Faellig) +
                QStringLiteral(", konnten wir bis heute keinen vollständigen Zahlungseingang feststellen") +
                (vorher.isEmpty() ? QString() : QStringLiteral(", auch nicht nach unserer ") + vorher) +
                QStringLiteral(
                    ". Wir bitten Sie, den offenen Betrag zuzüglich der unten aufgeführten Kosten bis zum ") +
                DruckDate(b.ZahlbarBis) + QStringLiteral(" zu überweisen.");
    else
        kopf +=
            QStringLiteral("trotz ") +
            (vorher.isEmpty() ? QStringLiteral("unserer Mahnung") : QStringLiteral("unserer ") + vorher) +
            QStringLiteral(" ist unsere ") + rechnung + QStringLiteral(" vom ") + DruckDate(b.Stand.Datum) +
            QStringLiteral(
                " noch nicht beglichen. Wir fordern Sie letztmalig auf, den neuen Gesamtbetrag bis zum ") +
            DruckDate(b.ZahlbarBis) +
            QStringLiteral(
                " zu überweisen. Danach werden wir die Forderung ohne weitere Ankündigung gerichtlich "
                "geltend machen.");
    P[QStringLiteral("KopfText")] = kopf;
    QString fuss;
    if (!b.Zins.Abschnitte.isEmpty())
        fuss = QStringLiteral("Die Verzugszinsen sind ab dem Tag nach der Fälligkeit berechnet (") +
               b.Zins.Regel + QStringLiteral("; ") + TageBasisText(b.TageBasis) + QStringLiteral(").\r\n");
    fuss +=
        QStringLiteral("Bitte geben Sie bei der Zahlung die Rechnungsnummer ") + QString::number(kopfId) +
        QStringLiteral(" an. Sollten Sie inzwischen gezahlt haben, betrachten Sie dieses Schreiben bitte als "
                       "gegenstandslos.");
    P[QStringLiteral("FussText")] = fuss;
    return run;
}

bool RenderMahnungPdf(TDM& dm, const QString& typ, int kopfId, const TMahnAuftrag& a,
                      const QString& pdfFile) {
    return RenderPreparedPdf(dm, PrepareMahnung(dm, typ, kopfId, a), typ, kopfId, true, pdfFile);
}
