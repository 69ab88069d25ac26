// Print data preparation: the print buffer Ausdruck and the report parameters.
#include "AusdruckLauf.h"
#include "Beleg.h"
#include "DruckText.h"
#include "GiroCode.h"
#include "GlobalFunctions.h"
#include "Laender.h"
#include "MaintenanceCommand.h"
#include "Messages.h"
#include "QuorventFunctions.h"
#include "SQLiteBackup.h"
#include "Steuerregeln.h"
#include "UDM.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QSysInfo>
#include <QTextStream>

namespace {

const QString CRLF = QStringLiteral("\r\n");
const QString kAusdruckLauf = QStringLiteral("AusdruckLauf");

bool Filled(const QString& text) {
    return !text.trimmed().isEmpty();
}

QString Text(const TSQLiteBaseQuery& query, const char* field) {
    return query.FieldByName(QLatin1String(field))->AsString();
}

} // namespace

const QStringList& TDM::ReportParamNames() {
    static const QStringList names{
        QStringLiteral("DokArt"),        QStringLiteral("DokName"),     QStringLiteral("NummerStr"),
        QStringLiteral("Nummer"),        QStringLiteral("DatumStr"),    QStringLiteral("Datum"),
        QStringLiteral("DatumStr2"),     QStringLiteral("Datum2"),      QStringLiteral("Kundenadresse"),
        QStringLiteral("IhreNrStr"),     QStringLiteral("IhreNr"),      QStringLiteral("IhreUIDStr"),
        QStringLiteral("IhreUID"),       QStringLiteral("SumMWStSatz"), QStringLiteral("SumNetto"),
        QStringLiteral("SumMWSt"),       QStringLiteral("SumBrutto"),   QStringLiteral("SumTemp"),
        QStringLiteral("Skonto"),        QStringLiteral("KopfText"),    QStringLiteral("FussText"),
        QStringLiteral("Bank"),          QStringLiteral("IBAN"),        QStringLiteral("Bezug"),
        QStringLiteral("SteuerHinweis"), QStringLiteral("OhneMWSt"),    QStringLiteral("GiroCode")};
    return names;
}

void TDM::DeletePrintData(int ausdruckId) {
    SQLiteDB1.ExecSQL(QStringLiteral("delete from Ausdruck where AusdruckID = ") +
                      QString::number(ausdruckId));
    if (TableExists(kAusdruckLauf))
        SQLiteDB1.ExecSQL(QStringLiteral("delete from AusdruckLauf where AusdruckID = ") +
                          QString::number(ausdruckId));
}

void RemoveAbandonedPrintRuns(TDM& dm) {
    TSQLiteQuery& q = dm.Query1;
    try {
        q.RunSQL(QStringLiteral("select count(*) from Ausdruck"));
        const bool buffered = q.Fields(0)->AsInteger() > 0;
        q.Close();
        const bool recorded = dm.TableExists(kAusdruckLauf);
        if (!buffered && !recorded)
            return;
        QStringList ended;
        if (recorded) {
            const QString host = QSysInfo::machineHostName();
            const QDateTime dayAgo = QDateTime::currentDateTime().addDays(-1);
            q.RunSQL(QStringLiteral("select AusdruckID, Prozess, Rechner, Beginn from AusdruckLauf"));
            for (q.First(); !q.Eof(); q.Next()) {
                const bool here = q.Fields(2)->AsString() == host;
                if (here ? !ProcessRunning(q.Fields(1)->AsLargeInt())
                         : ParseSQLiteDateTime(q.Fields(3)->AsString()) < dayAgo)
                    ended << q.Fields(0)->AsString();
            }
            q.Close();
        }
        const QString orphan = recorded
                                   ? QStringLiteral("AusdruckID not in (select AusdruckID from AusdruckLauf)")
                                   : QStringLiteral("1");
        q.RunSQL(QStringLiteral("select count(*) from Ausdruck where ") + orphan);
        const bool orphans = q.Fields(0)->AsInteger() > 0;
        q.Close();
        if (ended.isEmpty() && !orphans)
            return; // no write at all, as with a file only read
        const QString endedList = u'(' + ended.join(u',') + u')';
        dm.SQLiteDB1.StartTransaction();
        try {
            dm.SQLiteDB1.ExecSQL(QStringLiteral("delete from Ausdruck where ") + orphan +
                                 QStringLiteral(" or AusdruckID in ") + endedList);
            if (recorded)
                dm.SQLiteDB1.ExecSQL(QStringLiteral("delete from AusdruckLauf where AusdruckID in ") +
                                     endedList);
            dm.SQLiteDB1.Commit();
        } catch (...) {
            if (dm.SQLiteDB1.InTransaction())
                dm.SQLiteDB1.Rollback();
            throw;
        }
    } catch (const ESQLiteError&) {
        q.Close();
    }
}

void TDM::OpenPrintBuffer(int run) {
    if (QueryRv9.FieldCount() == 0 || !QueryRv9.HasPredefinedFields()) {
        QueryRv6.Name = QStringLiteral("QueryRv6");
        QueryRv7.Name = QStringLiteral("QueryRv7");
        QueryRv8.Name = QStringLiteral("QueryRv8");
        QueryRv9.Name = QStringLiteral("QueryRv9");
        // The buffer is read as whole texts: its narrow declared column sizes
        // would cut a long quantity or designation.
        QueryRv9.AddField(QStringLiteral("AusdruckID"), TFieldType::Integer);
        QueryRv9.AddField(QStringLiteral("ZeilenID"), TFieldType::Integer);
        QueryRv9.AddField(QStringLiteral("PosID"), TFieldType::Integer);
        for (const char* name :
             {"PosBez", "PosBez2", "PreisBez", "PreisBez2", "Menge", "EinheitBez", "Wert", "Rabatt", "Summe"})
            QueryRv9.AddField(QLatin1String(name), TFieldType::Memo);
    }
    if (run <= 0) {
        QueryRv9.Close();
        return;
    }
    // The buffer as the report reads it; the narrow columns as expressions,
    // so that they take the whole-text fields above.
    QueryRv9.RunSQL(
        QStringLiteral("select AusdruckID, ZeilenID, PosID, PosBez, PosBez2, cast(PreisBez as text) as "
                       "PreisBez, cast(PreisBez2 as text) as PreisBez2, cast(Menge as text) as Menge, "
                       "cast(EinheitBez as text) as EinheitBez, cast(Wert as text) as Wert, "
                       "cast(Rabatt as text) as Rabatt, Summe from Ausdruck where AusdruckID = ") +
        QString::number(run) + QStringLiteral(" order by ZeilenID"));
}

int TDM::PrepareCurrentPrintData(const QString& typ, int kopfId, bool reminder) {
    OpenPrintBuffer(0);
    // Nothing of an earlier document may show on this one.
    ReportParams.clear();
    for (const QString& name : ReportParamNames())
        ReportParams.insert(name, QString());
    auto& P = ReportParams;
    DruckOhnePreis = false;
    DruckZahlungserinnerung = reminder && (typ == QLatin1String("R") || typ == QLatin1String("T"));
    const bool zahlErinnerung = DruckZahlungserinnerung;

    QueryRv6.Close();
    QueryRv7.Close();

    if (!IsDokTyp(typ)) {
        Messages::error(QStringLiteral("Unbekannte Belegart: ") + typ);
        return 0;
    }
    const QString nr = QString::number(kopfId);
    const QString typSQL = u'\'' + typ + u'\'';
    const bool lieferant = DokTypMitLieferant(typ);

    TSQLiteQuery kopf(&SQLiteDB1);
    kopf.RunSQL(QStringLiteral("select * from Kopf where KopfTyp = ") + typSQL +
                QStringLiteral(" and KopfID = ") + nr);
    if (kopf.IsEmpty()) {
        Messages::error(QStringLiteral("Keine Daten zum Drucken gefunden! Evt. ist die Belegnummer nicht "
                                       "vorhanden!"));
        return 0;
    }

    // A small business may not charge VAT: the paper would state a tax the
    // company must not invoice.
    const bool klein = !lieferant && IstKleinunternehmer(*this);
    if (const QString falsch = KleinunternehmerFehler(*this, typ, kopfId); !falsch.isEmpty()) {
        Messages::error(falsch);
        return 0;
    }

    QueryRv8.Close();
    QueryRv8.RunSQL(QStringLiteral("select * from geschaeft"));
    auto ges = [&](const QString& field) {
        return QueryRv8.IsEmpty() ? QString() : QueryRv8.FieldByName(field)->AsString();
    };

    // 1. Recipient. A contact or customer with only one of the two names
    // keeps that name: the plain || of both parts would give NULL.
    const QString partner = kopf.FieldByName(QStringLiteral("KundenID"))->AsString();
    if (lieferant)
        QueryRv6.RunSQL(
            QStringLiteral("select K.*, ifnull(K.AnspVorname || ' ' || K.AnspNachname, "
                           "ifnull(K.AnspVorname, K.AnspNachname)) as Name, A.AnredeBez, T.TitelBez, "
                           "L.LandBez from Lieferant K, Anrede A, Titel T, Land L where K.LieferantenID = ") +
            partner +
            QStringLiteral(" and A.AnredeID = K.AnspAnredeID and T.TitelID = K.AnspTitelID and "
                           "L.LandID = K.LandID"));
    else
        QueryRv6.RunSQL(QStringLiteral("select K.*, ifnull(K.Nachname || ifnull(' ' || K.Vorname,''), "
                                       "K.Vorname) as Name, A.AnredeBez, T.TitelBez, L.LandBez from Kunde K, "
                                       "Anrede A, Titel T, Land L where K.KundenID = ") +
                        partner +
                        QStringLiteral(" and A.AnredeID = K.AnredeID and T.TitelID = K.TitelID and "
                                       "L.LandID = K.LandID"));
    if (QueryRv6.IsEmpty()) {
        Messages::error(lieferant ? QStringLiteral("Keine Daten zum Drucken gefunden! Evt. ist die "
                                                   "Lieferantennummer nicht vorhanden!")
                                  : QStringLiteral("Keine Daten zum Drucken gefunden! Evt. ist die "
                                                   "Kundennummer nicht vorhanden!"));
        return 0;
    }

    // 2. Captions and flags.
    DruckOhnePreis =
        typ == QLatin1String("L") && ges(QStringLiteral("PreisandruckenL")) == QLatin1String("N");
    const bool ohnePreis = DruckOhnePreis;
    if (zahlErinnerung)
        P[QStringLiteral("DokArt")] = QStringLiteral("Zahlungserinnerung");
    P[QStringLiteral("DokName")] = DokTypName(typ);
    P[QStringLiteral("NummerStr")] = DokTypNummerDruck(typ);
    P[QStringLiteral("Nummer")] = nr;
    P[QStringLiteral("DatumStr")] = DokTypDatumDruck(typ);
    P[QStringLiteral("Datum")] = DruckDate(kopf.FieldByName(QStringLiteral("Datum"))->AsDateTime().date());
    const QString druDatId = kopf.FieldByName(QStringLiteral("DruDatID"))->AsString();
    QString druDatBez;
    if (!druDatId.isEmpty()) {
        Query1.RunSQL(QStringLiteral("select DruDatBez from Druckdatum where DruDatID = ") +
                      QString::number(druDatId.toLongLong()));
        if (!Query1.IsEmpty())
            druDatBez = Text(Query1, "DruDatBez");
    }
    P[QStringLiteral("DatumStr2")] = druDatBez + u':';
    P[QStringLiteral("Datum2")] =
        druDatId == QLatin1String("1")
            ? DruckDate(QDate::currentDate())
            : DruckDate(kopf.FieldByName(QStringLiteral("Datum2"))->AsDateTime().date());

    // 3. Address block.
    QString adresse;
    const QString land = Text(QueryRv6, "LandBez");
    // Letters into the company's own country carry no country line; a company
    // that has not said where it is keeps the Austrian rule.
    const QString firmaLand = GetAllg(QStringLiteral("FirmaLand")).trimmed().toUpper();
    const bool mitLand = Filled(land) && (firmaLand.isEmpty() ? land != QStringLiteral("Österreich")
                                                              : LandCode(land) != firmaLand);
    const QString name = Text(QueryRv6, "Name");
    if (lieferant) {
        adresse += Text(QueryRv6, "Firma") + CRLF;
        adresse += Text(QueryRv6, "Strasse") + CRLF;
        adresse += Text(QueryRv6, "PLZ") + u' ' + Text(QueryRv6, "Ort") + CRLF;
        if (mitLand)
            adresse += land + CRLF;
        if (Filled(name)) {
            adresse += CRLF + QStringLiteral("zH. ");
            if (Filled(Text(QueryRv6, "AnredeBez")))
                adresse += Text(QueryRv6, "AnredeBez") + u' ';
            if (Filled(Text(QueryRv6, "TitelBez")))
                adresse += Text(QueryRv6, "TitelBez") + u' ';
            adresse += name;
            P[QStringLiteral("IhreNrStr")] = QStringLiteral("Ihre Liefnr.");
            P[QStringLiteral("IhreNr")] = Text(QueryRv6, "LieferantenID");
        }
    } else {
        if (Filled(Text(QueryRv6, "AnredeBez")))
            adresse += Text(QueryRv6, "AnredeBez") + CRLF;
        if (Filled(Text(QueryRv6, "Firma")))
            adresse += Text(QueryRv6, "Firma") + CRLF;
        if (Filled(name)) {
            if (Filled(Text(QueryRv6, "TitelBez")))
                adresse += Text(QueryRv6, "TitelBez") + u' ';
            adresse += name + CRLF;
        }
        if (Filled(Text(QueryRv6, "Zusatzname")))
            adresse += Text(QueryRv6, "Zusatzname") + CRLF;
        adresse += Text(QueryRv6, "Strasse") + CRLF;
        adresse += Text(QueryRv6, "PLZ") + u' ' + Text(QueryRv6, "Ort") + CRLF;
        if (mitLand)
            adresse += land + CRLF;
        P[QStringLiteral("IhreNrStr")] = QStringLiteral("Ihre Kundennr.");
        P[QStringLiteral("IhreNr")] = Text(QueryRv6, "KundenID");
    }
    P[QStringLiteral("Kundenadresse")] = adresse;
    const QString uid = Text(QueryRv6, "UIDNr");
    if (Filled(uid)) {
        P[QStringLiteral("IhreUIDStr")] = QStringLiteral("Ihre UID-Nr.");
        P[QStringLiteral("IhreUID")] = uid;
    }

    // A cancellation invoice or credit note names the invoice it corrects,
    // as long as that invoice is still there to be named.
    if (typ == QLatin1String("S") || typ == QLatin1String("G")) {
        const QString refTyp = Text(kopf, "RefTyp");
        const TField* refId = kopf.FieldByName(QStringLiteral("RefID"));
        if ((refTyp == QLatin1String("R") || refTyp == QLatin1String("T")) && !refId->IsNull()) {
            const QString refNr = QString::number(refId->AsLargeInt());
            Query1.RunSQL(QStringLiteral("select Datum from Kopf where KopfTyp = ") + u'\'' + refTyp +
                          QStringLiteral("' and KopfID = ") + refNr);
            if (!Query1.IsEmpty())
                P[QStringLiteral("Bezug")] =
                    DokTypName(typ) + QStringLiteral(" zu ") + DokTypName(refTyp) + QStringLiteral(" Nr. ") +
                    refNr + QStringLiteral(" vom ") +
                    DruckDate(Query1.FieldByName(QStringLiteral("Datum"))->AsDateTime().date());
            Query1.Close();
        }
    }

    // An empty discount is no discount: without ifnull such a line's amount
    // would be NULL and vanish from every sum.
    const QString summeSQL = QStringLiteral("PP.Menge*PP.Wert*(100.0-ifnull(PP.Rabatt,0))/100.0");
    QueryRv7.RunSQL(QStringLiteral("select P.PosBez, PP.*, ") + summeSQL +
                    QStringLiteral(" as Summe, E.EinheitBez from PosDaten P, PosPreis PP, Einheit E where "
                                   "P.KopfTyp = ") +
                    typSQL + QStringLiteral(" and P.KopfID = ") + nr +
                    QStringLiteral(" and PP.KopfTyp = P.KopfTyp and PP.KopfID = P.KopfID and PP.PosID = "
                                   "P.PosID and E.EinheitID = PP.EinheitID order by PP.PosID, PP.PreisID"));

    // 4. Run number.
    const int run = GetNumber(Query1, QStringLiteral("AusdruckID"), true);
    const QString runSQL = QString::number(run);

    // 5. The buffer, in one transaction of its own so a long document is
    // written at once; a failure leaves no half buffer behind.
    const bool ownTransaction = !SQLiteDB1.InTransaction();
    if (ownTransaction)
        SQLiteDB1.StartTransaction();
    try {
        // The run is recorded with its rows, so a later start can tell the
        // rows of a killed run from those of a run still going.
        SQLiteDB1.ExecSQL(QStringLiteral("CREATE TABLE IF NOT EXISTS AusdruckLauf (AusdruckID INTEGER NOT "
                                         "NULL PRIMARY KEY, Prozess INTEGER NOT NULL, Rechner TEXT, Beginn "
                                         "TEXT)"));
        SQLiteDB1.ExecSQL(QStringLiteral("insert or replace into AusdruckLauf values (") + runSQL + u',' +
                          QString::number(QCoreApplication::applicationPid()) + u',' +
                          SQLQuote(QSysInfo::machineHostName()) + u',' +
                          SQLQuote(DateTimeToSQL(QDateTime::currentDateTime())) + u')');
        SQLiteDB1.ExecSQL(QStringLiteral("delete from Ausdruck where AusdruckID = ") + runSQL);
        int line = 0;
        double zwischensumme = 0;
        int fortlaufend = 0;
        const int leerzeilen = ges(QStringLiteral("AndruckLeerzeilen")).toInt();
        const bool posNrFortlaufend = ges(QStringLiteral("PosNrFortlaufend")) == QLatin1String("J");
        const QString insertHead = QStringLiteral("insert into Ausdruck (AusdruckID,ZeilenID");
        auto values = [&]() {
            ++line;
            return QStringLiteral(") values (") + runSQL + u',' + QString::number(line);
        };
        auto leer = [&]() {
            for (int i = 0; i < leerzeilen; ++i)
                SQLiteDB1.ExecSQL(insertHead + values() + u')');
        };
        auto textRow = [&](const QString& rtf) {
            SQLiteDB1.ExecSQL(insertHead + QStringLiteral(",PosBez") + values() + u',' + SQLQuote(rtf) +
                              u')');
            leer();
        };
        auto fixedQuoted = [](double v) { return SQLQuote(DruckFixed(v)); };

        if (Text(kopf, "KopfTextVorPos") == QLatin1String("J")) {
            QString text = Text(kopf, "KopfText");
            if (zahlErinnerung && Filled(ges(QStringLiteral("KopfTextZ"))))
                text = ges(QStringLiteral("KopfTextZ"));
            textRow(RtfLeftText(text));
        }

        TSQLiteQuery pos(&SQLiteDB1), preis(&SQLiteDB1), summe(&SQLiteDB1);
        pos.RunSQL(QStringLiteral("select * from PosDaten where KopfTyp = ") + typSQL +
                   QStringLiteral(" and KopfID = ") + nr + QStringLiteral(" order by PosID"));
        const QString preisSQL = QStringLiteral("select PP.*, ") + summeSQL +
                                 QStringLiteral(" as Summe, E.EinheitBez from PosPreis PP, Einheit E where "
                                                "PP.KopfTyp = ") +
                                 typSQL + QStringLiteral(" and PP.KopfID = ") + nr +
                                 QStringLiteral(" and PP.PosID = ");

        // The five price values of the current price line, with the closing parenthesis.
        auto preisWerte = [&]() {
            QString v;
            const double menge = preis.FieldByName(QStringLiteral("Menge"))->AsFloat();
            if (menge != 0)
                v += fixedQuoted(menge) + u',' + SQLQuote(Text(preis, "EinheitBez")) + u',';
            else
                v += QStringLiteral("null,null,");
            if (ohnePreis)
                return v + QStringLiteral("null,null,null)");
            const double wert = preis.FieldByName(QStringLiteral("Wert"))->AsFloat();
            v += (wert != 0 ? fixedQuoted(wert) : QStringLiteral("null")) + u',';
            const double rabatt = preis.FieldByName(QStringLiteral("Rabatt"))->AsFloat();
            v += (rabatt != 0 ? SQLQuote(DruckFixed(rabatt) + u'%') : QStringLiteral("null")) + u',';
            const double betrag = preis.FieldByName(QStringLiteral("Summe"))->AsFloat();
            v += (betrag != 0 ? u'\'' + RtfRightAmount(DruckFixed(betrag)) + u'\'' : QStringLiteral("null")) +
                 u')';
            return v;
        };
        auto preisZeile = [&]() {
            SQLiteDB1.ExecSQL(insertHead +
                              QStringLiteral(",PreisBez,PreisBez2,Menge,EinheitBez,Wert,Rabatt,Summe") +
                              values() + u',' + SQLQuote(Text(preis, "PreisBez")) + u',' +
                              SQLQuote(Text(preis, "PreisBez2")) + u',' + preisWerte());
        };

        for (pos.First(); !pos.Eof(); pos.Next()) {
            const QString posId = Text(pos, "PosID");
            const QString posBez = Text(pos, "PosBez");
            preis.RunSQL(preisSQL + posId +
                         QStringLiteral(" and E.EinheitID = PP.EinheitID order by PP.PreisID"));
            const int n = preis.RecordCount();
            if (n == 0) {
                if (Text(pos, "Zwischensumme") == QLatin1String("J")) {
                    // A delivery note printed without prices must not show them in its
                    // subtotal lines either: the designation stays, the amount is left empty.
                    const QString betrag = ohnePreis
                                               ? QStringLiteral("null")
                                               : u'\'' + RtfBoldAmount(DruckFixed(zwischensumme)) + u'\'';
                    SQLiteDB1.ExecSQL(insertHead + QStringLiteral(",PosBez,Summe") + values() + u',' +
                                      SQLQuote(posBez) + u',' + betrag + u')');
                    zwischensumme = 0;
                    leer();
                } else {
                    textRow(posBez);
                }
                continue;
            }
            ++fortlaufend;
            const QString posNr = posNrFortlaufend ? QString::number(fortlaufend) : posId;
            preis.First();
            if (n == 1 && !Filled(Text(preis, "PreisBez")) && !Filled(Text(preis, "PreisBez2"))) {
                SQLiteDB1.ExecSQL(insertHead +
                                  QStringLiteral(",PosID,PosBez2,Menge,EinheitBez,Wert,Rabatt,Summe") +
                                  values() + u',' + posNr + u',' + SQLQuote(posBez) + u',' + preisWerte());
            } else {
                SQLiteDB1.ExecSQL(insertHead + QStringLiteral(",PosID,PosBez") + values() + u',' + posNr +
                                  u',' + SQLQuote(posBez) + u')');
                for (; !preis.Eof(); preis.Next())
                    preisZeile();
                if (n >= 2 && !ohnePreis) {
                    summe.RunSQL(QStringLiteral("select total(Menge*Wert*(100.0-ifnull(Rabatt,0))/100.0) as "
                                                "Summe from PosPreis where KopfTyp = ") +
                                 typSQL + QStringLiteral(" and KopfID = ") + nr +
                                 QStringLiteral(" and PosID = ") + posId);
                    SQLiteDB1.ExecSQL(
                        insertHead + QStringLiteral(",Summe") + values() + QStringLiteral(",'") +
                        RtfBoldAmount(DruckFixed(summe.FieldByName(QStringLiteral("Summe"))->AsFloat())) +
                        QStringLiteral("')"));
                }
            }
            for (preis.First(); !preis.Eof(); preis.Next())
                zwischensumme += preis.FieldByName(QStringLiteral("Summe"))->AsFloat();
            leer();
        }

        if (Text(kopf, "FussTextNachPos") == QLatin1String("J")) {
            QString text = Text(kopf, "FussText");
            if (zahlErinnerung && Filled(ges(QStringLiteral("FussTextZ"))))
                text = ges(QStringLiteral("FussTextZ"));
            textRow(RtfLeftText(text));
        }
        if (ownTransaction)
            SQLiteDB1.Commit();
    } catch (...) {
        if (ownTransaction && SQLiteDB1.InTransaction()) {
            try {
                SQLiteDB1.Rollback();
            } catch (...) {
            }
        }
        throw;
    }

    OpenPrintBuffer(run);

    // 6. VAT summary, rounded per rate. The totals are the sums of the rows
    // as printed, so a reader who adds them up finds the printed total.
    QString satzText = RtfPrefixRight(), nettoText = satzText, mwstText = satzText, bruttoText = satzText;
    double nettoSumme = 0, mwstSumme = 0, bruttoSumme = 0;
    const QString zeilenEnde = CRLF + QStringLiteral("\\par ");
    for (const TMWStZeile& zeile :
         MWStZeilen(Query1, typ, kopfId, Text(kopf, "Netto") == QLatin1String("J"))) {
        const double satz = zeile.Satz, netto = zeile.Netto, mwst = zeile.MWSt;
        const double brutto = netto + mwst;
        satzText += DruckFixed(satz) + QStringLiteral(" %") + zeilenEnde;
        nettoText += DruckCurrency(netto) + QStringLiteral(" EUR") + zeilenEnde;
        mwstText += DruckCurrency(mwst) + QStringLiteral(" EUR") + zeilenEnde;
        bruttoText += DruckCurrency(brutto) + QStringLiteral(" EUR") + zeilenEnde;
        nettoSumme += netto;
        mwstSumme += mwst;
        bruttoSumme += brutto;
    }
    const QString schluss = CRLF + QStringLiteral("\\par }");
    auto summenZeile = [&](double v) {
        return QStringLiteral("\\b ") + DruckCurrency(v) + QStringLiteral(" EUR\\b0\\f1") + schluss;
    };
    if (!ohnePreis) {
        P[QStringLiteral("SumMWStSatz")] = satzText + QStringLiteral("\\b Gesamtsumme\\b0\\f1") + schluss;
        P[QStringLiteral("SumNetto")] = nettoText + summenZeile(nettoSumme);
        P[QStringLiteral("SumMWSt")] = mwstText + summenZeile(mwstSumme);
        P[QStringLiteral("SumBrutto")] = bruttoText + summenZeile(bruttoSumme);
    }
    P[QStringLiteral("SumTemp")] = RtfWhiteX();
    if (klein && !ohnePreis) {
        // No VAT, so no VAT lines: the total alone.
        P[QStringLiteral("OhneMWSt")] = QStringLiteral("J");
        P[QStringLiteral("SumMWStSatz")] =
            RtfPrefixRight() + QStringLiteral("\\b Gesamtsumme\\b0\\f1") + schluss;
        P[QStringLiteral("SumNetto")].clear();
        P[QStringLiteral("SumMWSt")].clear();
        P[QStringLiteral("SumBrutto")] = RtfPrefixRight() + summenZeile(bruttoSumme);
    }

    // The legal note of a document without VAT: the small business's, or
    // the one of the category its e-invoice chooses (reverse charge,
    // intra-community supply, export) with both VAT numbers.
    if (!lieferant && !ohnePreis) {
        QString hinweis;
        if (klein) {
            hinweis = SteuerHinweis(*this, QStringLiteral("E"));
            const QString steuerNr = GetAllgText(QStringLiteral("FirmaSteuerNr")).trimmed();
            if (Filled(steuerNr))
                hinweis += CRLF + QStringLiteral("Steuernummer: ") + steuerNr;
        } else if (Text(kopf, "Netto") == QLatin1String("J")) {
            QString warum;
            const QString kategorie = NettoKategorie(firmaLand, LandCode(land), uid, &warum);
            if (!kategorie.isEmpty()) {
                hinweis = SteuerHinweis(*this, kategorie);
                QStringList nummern;
                if (Filled(ges(QStringLiteral("UIDNr"))))
                    nummern << QStringLiteral("UID-Nr. des Leistenden: ") +
                                   ges(QStringLiteral("UIDNr")).trimmed();
                if (Filled(uid))
                    nummern << QStringLiteral("UID-Nr. des Leistungsempfängers: ") + uid.trimmed();
                if (!nummern.isEmpty())
                    hinweis += CRLF + nummern.join(QStringLiteral(", "));
            }
        }
        P[QStringLiteral("SteuerHinweis")] = hinweis;
    }

    // 7. and 8. Payment terms.
    const QString suffix = zahlErinnerung ? QStringLiteral("Z") : typ;
    if (ges(QStringLiteral("Skonto") + suffix) == QLatin1String("J")) {
        const TField* skontoFeld = kopf.FieldByName(QStringLiteral("Skonto"));
        const double skonto = skontoFeld->IsNull() ? 0 : skontoFeld->AsFloat();
        if (skonto != 0)
            P[QStringLiteral("Skonto")] = SkontoText(ges(QStringLiteral("Skonto")), skonto, bruttoSumme);
        else
            P[QStringLiteral("Skonto")] = ges(QStringLiteral("Skonto2"));
    }

    // 9. Header and footer texts that are not in the buffer.
    if (Text(kopf, "KopfTextVorPos") != QLatin1String("J")) {
        const QString firma = ges(QStringLiteral("KopfText") + suffix);
        P[QStringLiteral("KopfText")] = zahlErinnerung && Filled(firma) ? firma : Text(kopf, "KopfText");
    }
    if (Text(kopf, "FussTextNachPos") != QLatin1String("J")) {
        const QString firma = ges(QStringLiteral("FussText") + suffix);
        P[QStringLiteral("FussText")] = zahlErinnerung && Filled(firma) ? firma : Text(kopf, "FussText");
    }

    // 10. Bank lines; a delivery note has none.
    if (typ != QLatin1String("L")) {
        QString bank;
        for (const char* n : {"1", "2"}) {
            const QString name = ges(QStringLiteral("BankName") + QLatin1String(n));
            if (!Filled(name))
                continue;
            if (!bank.isEmpty())
                bank += QStringLiteral("  /  ");
            bank += name + QStringLiteral(", KontoNr.:  ") +
                    ges(QStringLiteral("BankKonto") + QLatin1String(n)) + QStringLiteral(", BLZ:  ") +
                    ges(QStringLiteral("BLZ") + QLatin1String(n));
        }
        QString iban;
        if (Filled(ges(QStringLiteral("IBAN1"))))
            iban = QStringLiteral("IBAN:  ") + ges(QStringLiteral("IBAN1")) +
                   QStringLiteral(",   BIC/Swift:  ") + ges(QStringLiteral("BIC1"));
        if (Filled(ges(QStringLiteral("IBAN2"))))
            iban += QStringLiteral("  /  IBAN:  ") + ges(QStringLiteral("IBAN2")) +
                    QStringLiteral(",   BIC/Swift:  ") + ges(QStringLiteral("BIC2"));
        P[QStringLiteral("Bank")] = bank;
        P[QStringLiteral("IBAN")] = iban;
    }

    // 11. The payment QR code of an invoice or partial invoice (and of its
    // payment reminder), when the company prints one: its name and first
    // account, the gross amount and the document as remittance text. A
    // credit note asks for no payment and gets none; an account whose IBAN
    // fails its check gets none either.
    if ((typ == QLatin1String("R") || typ == QLatin1String("T")) && !ohnePreis &&
        GetAllg(QStringLiteral("GiroCode")).trimmed().toUpper() == QLatin1String("J")) {
        TGiroCodeDaten giro;
        giro.Name = ges(QStringLiteral("Name"));
        giro.IBAN = ges(QStringLiteral("IBAN1"));
        giro.Betrag = bruttoSumme;
        giro.Verwendungszweck = DokTypName(typ) + u' ' + nr;
        P[QStringLiteral("GiroCode")] = QString::fromUtf8(GiroCodePayload(giro));
    }
    return run;
}

// ---------------------------------------------------------------------------
// quorvent --print-data FILE TYPE NUMBER [--reminder]

namespace {

QString JsonString(const QString& text) {
    const QByteArray array = QJsonDocument(QJsonArray{text}).toJson(QJsonDocument::Compact);
    return QString::fromUtf8(array.mid(1, array.size() - 2));
}

} // namespace

int RunPrintDataCommand(const QStringList& args, QTextStream& out, QTextStream& err) {
    const bool reminder = args.contains(QStringLiteral("--reminder"));
    QStringList rest = args;
    rest.removeAll(QStringLiteral("--reminder"));
    bool numberOk = false;
    const int number = rest.size() == 3 ? rest[2].toInt(&numberOk) : 0;
    if (rest.size() != 3 || !numberOk) {
        err << QStringLiteral("Aufruf: quorvent --print-data DATEI BELEGART NUMMER [--reminder]") << Qt::endl;
        return 1;
    }
    const QString typ = rest[1].toUpper();
    return RunOnDatabaseFile(rest[0], err, [&](TDM& dm) {
        const int run = dm.PreparePrintData(typ, number, reminder);
        if (run == 0)
            return 1;
        for (const QString& name : TDM::ReportParamNames())
            out << QStringLiteral("{\"param\":") + JsonString(name) + QStringLiteral(",\"value\":") +
                       JsonString(dm.ReportParam(name)) + u'}'
                << Qt::endl;
        TSQLiteQuery& buffer = dm.QueryRv9;
        for (buffer.First(); !buffer.Eof(); buffer.Next()) {
            QString line = QStringLiteral("{");
            for (int i = 0; i < buffer.FieldCount(); ++i) {
                const TField* f = buffer.Fields(i);
                if (i > 0)
                    line += u',';
                line += JsonString(f->FieldName()) + u':';
                if (f->IsNull())
                    line += QStringLiteral("null");
                else if (f->DataType() == TFieldType::Integer)
                    line += QString::number(f->AsLargeInt());
                else
                    line += JsonString(f->AsString());
            }
            out << line + u'}' << Qt::endl;
        }
        dm.QueryRv9.Close();
        dm.DeletePrintData(run);
        return 0;
    });
}
