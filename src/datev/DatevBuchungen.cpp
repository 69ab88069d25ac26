// Which documents go to the advisor and how each becomes booking lines, and
// which customers become master-data lines.
#include "DatevIntern.h"

#include "Beleg.h"
#include "DruckText.h"
#include "GlobalFunctions.h"
#include "Laender.h"
#include "QuorventFunctions.h"
#include "Steuerregeln.h"
#include "UDM.h"
#include "Zahlungen.h"

#include <QHash>

#include <cmath>

using namespace Datev;

namespace {

struct TKunde {
    QString Firma, Nachname, Vorname, Strasse, PLZ, Ort, LandBez, UID;
    QString Land; // ISO code, empty when unknown
    QString Name() const {
        const QString f = Firma.trimmed();
        return f.isEmpty() ? (Vorname.trimmed() + u' ' + Nachname.trimmed()).trimmed() : f;
    }
    int Zahlungsziel = -1;
    QString Anzeige; // the name on one line, for the booking text
};

struct TZeile {
    QString Situation;
    double Satz = 0;
    qint64 Cent = 0; // gross, signed as the document counts
};

struct TBeleg {
    QString Typ;
    qint64 Nummer = 0;
    qint64 KundenID = 0;
    QDate Datum;
    bool Netto = false;
    QString RefTyp;
    qint64 RefID = 0;
    QList<TZeile> Zeilen;
    QString Feld1, Feld2, Text; // Belegfeld 1 and 2, the start of the booking text
};

qint64 Cents(double euro) {
    return std::llround(euro * 100.0);
}

QString BelegName(const QString& typ, qint64 nr) {
    return DokTypName(typ) + u' ' + QString::number(nr);
}

QString BelegFilter(const QDate& von, const QDate& bis) {
    return QStringLiteral("K.KopfTyp in ('R','T','S','G') and K.Status in ('D','A','Z') and date(K.Datum) "
                          "between '") +
           DateToSQL(von) + QStringLiteral("' and '") + DateToSQL(bis) + u'\'';
}

QSet<QString> Exportierte(TDM& dm) {
    QSet<QString> set;
    if (!dm.TableExists(QStringLiteral("DatevExport")))
        return set;
    TSQLiteQuery q(&dm.SQLiteDB1);
    q.RunSQL(QStringLiteral("select KopfTyp, KopfID from DatevExport"));
    for (q.First(); !q.Eof(); q.Next())
        set.insert(q.Fields(0)->AsString() + QString::number(q.Fields(1)->AsLargeInt()));
    return set;
}

} // namespace

QStringList DatevSaetzeImZeitraum(TDM& dm, const QDate& von, const QDate& bis) {
    QStringList saetze;
    if (!von.isValid() || !bis.isValid())
        return saetze;
    TSQLiteQuery q(&dm.SQLiteDB1);
    q.RunSQL(
        QStringLiteral("select distinct P.MWStSatz from Kopf K join PosPreis P on P.KopfTyp = K.KopfTyp and "
                       "P.KopfID = K.KopfID where ifnull(K.Netto,'N') <> 'J' and ") +
        BelegFilter(von, bis) + QStringLiteral(" order by 1 desc"));
    for (q.First(); !q.Eof(); q.Next())
        saetze << SatzText(q.Fields(0)->AsFloat());
    return saetze;
}

int DatevBereitsExportiert(TDM& dm, const QDate& von, const QDate& bis) {
    if (!dm.TableExists(QStringLiteral("DatevExport")))
        return 0;
    TSQLiteQuery q(&dm.SQLiteDB1);
    q.RunSQL(QStringLiteral("select count(*) from Kopf K join DatevExport X on X.KopfTyp = K.KopfTyp and "
                            "X.KopfID = K.KopfID where ") +
             BelegFilter(von, bis));
    return int(q.Fields(0)->AsLargeInt());
}

TDatevErgebnis DatevErstellen(TDM& dm, const TDatevEinstellungen& e, const TDatevAuftrag& auftrag) {
    TDatevErgebnis r;
    QStringList fehler;
    auto fertig = [&]() -> TDatevErgebnis& {
        if (fehler.size() > 12) {
            const qsizetype weitere = fehler.size() - 10;
            fehler = fehler.mid(0, 10);
            fehler << QStringLiteral("… und %1 weitere Gründe.").arg(weitere);
        }
        r.Fehler = fehler.join(u'\n');
        r.Ok = r.Fehler.isEmpty();
        if (!r.Ok) {
            r.Buchungsstapel.clear();
            r.Debitoren.clear();
        }
        return r;
    };

    // The period: one fiscal year, the beginning before the end.
    const QDate von = auftrag.Von, bis = auftrag.Bis;
    if (!von.isValid() || !bis.isValid() || von > bis) {
        fehler << QStringLiteral("Der Zeitraum ist ungültig: das Anfangsdatum muss vor dem Enddatum liegen.");
        return fertig();
    }
    if (const QString s = PruefeDatevEinstellungen(e); !s.isEmpty()) {
        fehler << s;
        return fertig();
    }
    const QDate wj = DatevWJAnfang(e, von);
    if (bis > wj.addYears(1).addDays(-1)) {
        fehler << QStringLiteral("Der Zeitraum %1 bis %2 reicht über das Wirtschaftsjahr hinaus, das am %3 "
                                 "beginnt; DATEV nimmt nur Buchungen eines Wirtschaftsjahres in einem Stapel "
                                 "an. Bitte den Zeitraum teilen.")
                      .arg(von.toString(QStringLiteral("dd.MM.yyyy")),
                           bis.toString(QStringLiteral("dd.MM.yyyy")),
                           wj.toString(QStringLiteral("dd.MM.yyyy")));
        return fertig();
    }
    r.BuchungsDatei = DatevBuchungsDateiName(von, bis);
    r.DebitorenDatei = DatevDebitorenDateiName(von, bis);

    const bool kleinunternehmer = IstKleinunternehmer(dm);
    // Which account a document without VAT books to depends on where the
    // company sits; that is not guessed.
    const QString firmaLand = dm.GetAllg(QStringLiteral("FirmaLand")).trimmed().toUpper();
    const QSet<QString> exportiert =
        auftrag.Umfang == TDatevUmfang::NurNeue ? Exportierte(dm) : QSet<QString>();

    // The documents with their net sums per rate, in one pass over the price lines.
    QList<TBeleg> belege;
    {
        TSQLiteQuery q(&dm.SQLiteDB1);
        q.RunSQL(QStringLiteral(
                     "select K.KopfTyp, K.KopfID, K.KundenID, cast(strftime('%Y%m%d', K.Datum) as integer), "
                     "ifnull(K.Netto,'N'), K.RefTyp, "
                     "K.RefID, case ifnull(K.Netto,'N') when 'J' then 0 else P.MWStSatz end as Satz, "
                     "total(P.Menge*P.Wert*(100.0-ifnull(P.Rabatt,0))/100.0), count(P.KopfID) from Kopf K "
                     "left join PosPreis P on P.KopfTyp = K.KopfTyp and P.KopfID = K.KopfID where ") +
                 BelegFilter(von, bis) +
                 QStringLiteral(" group by K.KopfTyp, K.KopfID, Satz order by date(K.Datum), K.KopfTyp, "
                                "K.KopfID, Satz"));
        for (q.First(); !q.Eof(); q.Next()) {
            const QString typ = q.Fields(0)->AsString();
            const qint64 nr = q.Fields(1)->AsLargeInt();
            if (belege.isEmpty() || belege.last().Typ != typ || belege.last().Nummer != nr) {
                if (!exportiert.isEmpty() && exportiert.contains(typ + QString::number(nr))) {
                    continue;
                }
                TBeleg b;
                b.Typ = typ;
                b.Nummer = nr;
                b.KundenID = q.Fields(2)->AsLargeInt();
                // The day as text: no time zone to look up for every document.
                const qint64 jjjjmmtt = q.Fields(3)->AsLargeInt();
                b.Datum = QDate(int(jjjjmmtt / 10000), int(jjjjmmtt / 100 % 100), int(jjjjmmtt % 100));
                b.Netto = q.Fields(4)->AsString() == QLatin1String("J");
                b.RefTyp = q.Fields(5)->AsString();
                b.RefID = q.Fields(6)->AsLargeInt();
                belege.append(b);
            }
            if (q.Fields(9)->AsLargeInt() == 0)
                continue; // no price lines
            TZeile z;
            z.Satz = q.Fields(7)->AsFloat();
            // As the printout: the net of a rate to the cent, its VAT from the
            // unrounded net, rounded per rate.
            const double netto = q.Fields(8)->AsFloat();
            const qint64 gross =
                Cents(RoundCentsHalfEven(netto)) + Cents(RoundCentsHalfEven(netto * z.Satz / 100.0));
            z.Cent = DokTypUmsatzVorzeichen(typ) * gross;
            belege.last().Zeilen.append(z);
        }
    }
    r.Belege = int(belege.size());
    if (belege.isEmpty()) {
        r.Ok = true;
        return r;
    }

    // The customers of these documents.
    QHash<qint64, TKunde> kunden;
    {
        TSQLiteQuery q(&dm.SQLiteDB1);
        q.RunSQL(
            QStringLiteral("select U.KundenID, U.Firma, U.Nachname, U.Vorname, U.Strasse, U.PLZ, U.Ort, "
                           "L.LandBez, U.UIDNr from Kunde U left join Land L on L.LandID = U.LandID where "
                           "U.KundenID in (select K.KundenID from Kopf K where ") +
            BelegFilter(von, bis) + u')');
        for (q.First(); !q.Eof(); q.Next()) {
            TKunde k;
            k.Firma = q.Fields(1)->AsString();
            k.Nachname = q.Fields(2)->AsString();
            k.Vorname = q.Fields(3)->AsString();
            k.Strasse = q.Fields(4)->AsString();
            k.PLZ = q.Fields(5)->AsString();
            k.Ort = q.Fields(6)->AsString();
            k.LandBez = q.Fields(7)->AsString().trimmed();
            k.Land = LandCode(k.LandBez);
            k.UID = q.Fields(8)->AsString().remove(u' ').toUpper();
            k.Anzeige = Einzeilig(k.Name());
            kunden.insert(q.Fields(0)->AsLargeInt(), k);
        }
    }
    // Due dates of invoices: the customer's own due period, else the company's.
    const TZahlungsBedingung firma = FirmenZahlungsBedingung(dm);
    if (HasZahlungTables(dm)) {
        TSQLiteQuery q(&dm.SQLiteDB1);
        q.RunSQL(QStringLiteral("select KundenID, Zahlungsziel from ZahlungsBedingung where Zahlungsziel is "
                                "not null"));
        for (q.First(); !q.Eof(); q.Next()) {
            auto it = kunden.find(q.Fields(0)->AsLargeInt());
            if (it != kunden.end())
                it->Zahlungsziel = int(q.Fields(1)->AsLargeInt());
        }
    }

    // Which account each line books to.
    const qint64 debitorEnde = 7 * qint64(std::pow(10, e.Kontenlaenge)) - 1;
    QMap<QString, QStringList> ohneKonto; // situation -> documents
    QHash<QString, QString> konten;
    auto kontoVon = [&](const QString& situation) {
        auto it = konten.constFind(situation);
        if (it == konten.cend())
            it = konten.insert(situation, DatevKonto(e, situation));
        return *it;
    };
    QSet<qint64> gepruefteKunden, gebuchteKunden;
    QList<qint64> kundenFolge;
    for (TBeleg& b : belege) {
        const QString name = BelegName(b.Typ, b.Nummer);
        if (b.Nummer <= 0) {
            fehler << QStringLiteral("%1: DATEV nimmt nur positive Belegnummern an.").arg(name);
            continue;
        }
        if (!b.Datum.isValid()) {
            fehler << QStringLiteral("%1: Das Belegdatum ist ungültig.").arg(name);
            continue;
        }
        const auto k = kunden.constFind(b.KundenID);
        if (k == kunden.cend()) {
            fehler << QStringLiteral("%1: Der Kunde %2 ist nicht vorhanden.").arg(name).arg(b.KundenID);
            continue;
        }
        if (!gepruefteKunden.contains(b.KundenID)) {
            gepruefteKunden.insert(b.KundenID);
            const qint64 konto = e.DebitorStart + b.KundenID;
            if (b.KundenID < 0 || konto > debitorEnde)
                fehler << QStringLiteral("Kunde %1: Das Personenkonto %2 liegt außerhalb der Debitorenkonten "
                                         "(%3 bis %4); bitte den Beginn der Debitorenkonten anpassen.")
                              .arg(b.KundenID)
                              .arg(konto)
                              .arg(e.DebitorStart)
                              .arg(debitorEnde);
            for (const QString& wert :
                 {k->Firma, k->Nachname, k->Vorname, k->Strasse, k->PLZ, k->Ort, k->UID})
                if (const QString warum = Unzulaessig(wert); !warum.isEmpty()) {
                    fehler << QStringLiteral("Kunde %1 (%2): Die Anschrift enthält %3.")
                                  .arg(b.KundenID)
                                  .arg(Lesbar(Einzeilig(k->Name())), warum);
                    break;
                }
        }
        for (TZeile& z : b.Zeilen) {
            if (z.Satz == 0 && kleinunternehmer) {
                z.Situation = DatevKU;
            } else if (b.Netto) {
                QString fehlt;
                const QString kategorie = NettoKategorie(firmaLand, k->Land, k->UID, &fehlt);
                if (kategorie == QLatin1String("K")) {
                    z.Situation = DatevIGL;
                    // DATEV checks the recipient's VAT number of a tax-free supply.
                    if (!UIDFuerDatev(k->UID)) {
                        fehler << QStringLiteral(
                                      "%1 (innergemeinschaftliche Lieferung): Die UID-Nummer \"%2\" des "
                                      "Kunden %3 hat keine gültige Form.")
                                      .arg(name, Lesbar(k->UID))
                                      .arg(b.KundenID);
                        continue;
                    }
                } else if (kategorie == QLatin1String("AE"))
                    z.Situation = DatevRC;
                else if (kategorie == QLatin1String("G"))
                    z.Situation = DatevAusfuhr;
                else {
                    if (firmaLand.isEmpty())
                        fehlt = QStringLiteral("das Land der Firma (Firmendaten/Andruck)");
                    else if (fehlt.isEmpty())
                        fehlt = k->LandBez.isEmpty()
                                    ? QStringLiteral("das Land des Kunden")
                                    : QStringLiteral("ein Ländercode für \"") + k->LandBez + u'"';
                    fehler << QStringLiteral(
                                  "%1 (ohne Umsatzsteuer): Das Erlöskonto lässt sich nicht bestimmen; "
                                  "es fehlt: %2.")
                                  .arg(name, fehlt);
                    continue;
                }
            } else {
                z.Situation = SatzText(z.Satz);
            }
            if (kontoVon(z.Situation).isEmpty()) {
                QStringList& liste = ohneKonto[z.Situation];
                if (liste.size() < 3)
                    liste << name;
                else if (liste.size() == 3)
                    liste << QStringLiteral("…");
            }
        }
        // Every type counts from 1, so the number alone would not tell an
        // invoice from a credit note: the type goes in front of it.
        const QString eigene = TypPraefix(b.Typ) + QString::number(b.Nummer);
        const bool mitRef = (b.Typ == QLatin1String("S") || b.Typ == QLatin1String("G")) &&
                            (b.RefTyp == QLatin1String("R") || b.RefTyp == QLatin1String("T")) && b.RefID > 0;
        const QString ref = mitRef ? TypPraefix(b.RefTyp) + QString::number(b.RefID) : QString();
        b.Feld1 = mitRef && e.BelegfeldRechnung ? ref : eigene;
        b.Feld2 = mitRef ? (e.BelegfeldRechnung ? eigene : ref) : QString();
        b.Text = mitRef ? eigene + QStringLiteral(" zu ") + ref : eigene;
        if (b.Feld1.size() > 36 || b.Feld2.size() > 12)
            fehler << QStringLiteral("%1: Die Belegnummer \"%2\" ist für DATEV zu lang.")
                          .arg(name, b.Feld1.size() > 36 ? b.Feld1 : b.Feld2);
    }
    for (auto it = ohneKonto.cbegin(); it != ohneKonto.cend(); ++it) {
        r.FehlendeKonten << it.key();
        fehler << QStringLiteral("Für \"%1\" ist kein Erlöskonto hinterlegt (%2).")
                      .arg(DatevSituationText(it.key()), it.value().join(QStringLiteral(", ")));
    }
    for (auto it = konten.cbegin(); it != konten.cend(); ++it) {
        const QString& konto = it.value();
        if (!konto.isEmpty() &&
            (!NurZiffern(konto) || konto.size() > e.Kontenlaenge || konto.toLongLong() == 0))
            fehler << QStringLiteral("Das Erlöskonto \"%1\" für \"%2\" ist kein Sachkonto mit höchstens %3 "
                                     "Ziffern.")
                          .arg(konto, DatevSituationText(it.key()))
                          .arg(e.Kontenlaenge);
    }
    if (!fehler.isEmpty())
        return fertig();

    // The booking lines.
    QByteArray stapel;
    stapel.reserve(qsizetype(belege.size()) * 420 + 4096);
    QString bezeichnung;
    if (von.day() == 1 && bis == von.addMonths(1).addDays(-1))
        bezeichnung = QStringLiteral("Rechnungsausgang ") + von.toString(QStringLiteral("MM/yyyy"));
    else
        bezeichnung = QStringLiteral("Ausgang ") + von.toString(QStringLiteral("dd.MM.yyyy")) + u'-' +
                      bis.toString(QStringLiteral("dd.MM.yyyy"));
    const QDateTime jetzt = auftrag.Jetzt.isValid() ? auftrag.Jetzt : QDateTime::currentDateTime();
    stapel += Kopfzeile(e, 21, jetzt, wj, von, bis, bezeichnung);
    stapel += Spaltenzeile(true);
    // The bare columns after Buchungstext, up to EU-Land u. UStID (40), and
    // from there to Fälligkeit (117) and the end, as the column types demand.
    auto leer = [](int von1, int bis1) {
        QByteArray out;
        for (int i = von1; i <= bis1; ++i) {
            out += ';';
            if (kBuchungSpalten[i - 1].Typ == 'T')
                out += "\"\"";
        }
        return out;
    };
    const QByteArray leer15bis39 = leer(15, 39);
    const QByteArray leer41bis116 = leer(41, 116);
    const QByteArray leer118bis125 = leer(118, 125);
    for (const TBeleg& b : belege) {
        r.ExportierteBelege.append({b.Typ, b.Nummer});
        const TKunde& k = kunden[b.KundenID];
        QDate faellig;
        if (b.Typ == QLatin1String("R") || b.Typ == QLatin1String("T"))
            faellig = Faelligkeit(b.Datum, k.Zahlungsziel >= 0 ? k.Zahlungsziel : firma.Zahlungsziel);
        const QByteArray konto = QByteArray::number(e.DebitorStart + b.KundenID);
        const QString& kundenName = k.Anzeige;
        int zeilen = 0;
        for (const TZeile& z : b.Zeilen)
            zeilen += z.Cent != 0;
        for (const TZeile& z : b.Zeilen) {
            if (z.Cent == 0)
                continue; // DATEV takes no booking of 0,00
            stapel += Betrag(std::llabs(z.Cent));
            stapel += z.Cent > 0 ? ";\"S\";\"EUR\";;;\"\";" : ";\"H\";\"EUR\";;;\"\";";
            stapel += konto;
            stapel += ';';
            stapel += konten.value(z.Situation).toLatin1();
            stapel += ";\"\";";
            stapel += TTMM(b.Datum).toLatin1();
            stapel += ';';
            Text(stapel, b.Feld1);
            stapel += ';';
            Text(stapel, b.Feld2);
            stapel += ";;";
            QString text = b.Text;
            if (zeilen > 1)
                text += u' ' + SatzText(z.Satz) + QStringLiteral(" %");
            text += u' ' + kundenName;
            Text(stapel, text.left(60).trimmed());
            stapel += leer15bis39;
            stapel += ';';
            Text(stapel, z.Situation == DatevIGL ? k.UID.left(15) : QString());
            stapel += leer41bis116;
            stapel += ';';
            if (faellig.isValid())
                stapel += TTMMJJJJ(faellig).toLatin1();
            stapel += leer118bis125;
            stapel += "\r\n";
            ++r.Buchungen;
            if (!gebuchteKunden.contains(b.KundenID)) {
                gebuchteKunden.insert(b.KundenID);
                kundenFolge.append(b.KundenID);
            }
        }
    }
    if (r.Buchungen > 99999) {
        fehler << QStringLiteral(
                      "Der Zeitraum ergibt %1 Buchungen; DATEV nimmt höchstens 99999 in einem Stapel "
                      "an. Bitte den Zeitraum teilen.")
                      .arg(r.Buchungen);
        return fertig();
    }

    // The customers booked, in the order of their first booking.
    QByteArray debitoren;
    debitoren += Kopfzeile(e, 16, jetzt, wj, von, bis, QString());
    debitoren += Spaltenzeile(false);
    for (const qint64 id : kundenFolge) {
        const TKunde& k = kunden[id];
        // Only the columns Quorvent keeps are filled; every other stays truly
        // empty, so the import leaves what the advisor maintains there alone.
        QVector<QString> felder(kDebitorSpaltenAnzahl);
        QVector<bool> text(kDebitorSpaltenAnzahl, false);
        auto setze = [&](int spalte, const QString& wert, int laenge) {
            felder[spalte - 1] = Einzeilig(wert).left(laenge).trimmed();
            text[spalte - 1] = true;
        };
        felder[0] = QString::number(e.DebitorStart + id);
        const bool firmaName = !k.Firma.trimmed().isEmpty();
        if (firmaName) {
            setze(2, k.Firma, 50);
            setze(7, QStringLiteral("2"), 1);
        } else {
            setze(4, k.Nachname, 30);
            setze(5, k.Vorname, 30);
            setze(7, QStringLiteral("1"), 1);
        }
        setze(8, k.Name(), 15);
        if (UIDFuerDatev(k.UID)) {
            setze(9, k.UID.left(2), 2);
            setze(10, k.UID.mid(2), 13);
        }
        setze(15, QStringLiteral("STR"), 3);
        setze(16, k.Strasse, 36);
        setze(18, k.PLZ, 10);
        setze(19, k.Ort, 30);
        if (!k.Land.isEmpty())
            setze(20, k.Land, 2);
        setze(99, QString::number(id), 15);
        for (int i = 0; i < kDebitorSpaltenAnzahl; ++i) {
            if (i)
                debitoren += ';';
            if (text[i] && !felder[i].isEmpty())
                Text(debitoren, felder[i]);
            else if (!text[i])
                Bytes(debitoren, felder[i]);
        }
        debitoren += "\r\n";
    }
    r.Kunden = int(kundenFolge.size());
    r.Buchungsstapel = stapel;
    r.Debitoren = debitoren;
    return fertig();
}
