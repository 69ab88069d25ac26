#include "EInvoice.h"

#include "Beleg.h"
#include "DruckText.h"
#include "EInvoiceArchiv.h"
#include "EInvoiceCodes.h"
#include "FileNames.h"
#include "KundeERechnung.h"
#include "MaintenanceCommand.h"
#include "QuorventFunctions.h"
#include "UDM.h"

#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QMap>
#include <QRegularExpression>
#include <QTextStream>
#include <QXmlStreamWriter>

#include <algorithm>
#include <cmath>

namespace {

bool Filled(const QString& text) {
    return !text.trimmed().isEmpty();
}

// The text without the characters XML 1.0 cannot carry: control characters
// that pasted text brings along, lone surrogates and the non-characters
// U+FFFE and U+FFFF. A file with any of them is no XML at all.
QString XmlText(const QString& text) {
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        if (QChar::isHighSurrogate(c) && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
            out += text[i];
            out += text[++i];
        } else if (c == u'\t' || c == u'\n' || c == u'\r' ||
                   (c >= 0x20 && c < 0xFFFE && !QChar::isSurrogate(c))) {
            out += text[i];
        }
    }
    return out;
}

QString Text(const TSQLiteBaseQuery& query, const char* field) {
    return XmlText(query.FieldByName(QLatin1String(field))->AsString()).trimmed();
}

// The text a formatted (RTF) description shows, line breaks as they are.
QString PlainText(const QString& stored) {
    QString plain = TDM::FormattedTextPlain ? TDM::FormattedTextPlain(stored) : stored;
    plain.replace(QChar::ParagraphSeparator, u'\n');
    plain.replace(QChar::LineSeparator, u'\n');
    plain.remove(u'\r');
    return XmlText(plain).trimmed();
}

double Number(const TSQLiteBaseQuery& query, const char* field) {
    const TField* f = query.FieldByName(QLatin1String(field));
    return f->IsNull() ? 0.0 : f->AsFloat();
}

// An amount as the XML writes it: two decimals, a point, never "-0.00".
QString Amount(double value) {
    const double cents = RoundCentsHalfEven(value);
    return QString::number(cents == 0.0 ? 0.0 : cents, 'f', 2);
}

// A quantity, price or percentage: as many decimals as it has (up to four).
QString Decimal(double value) {
    QString s = QString::number(std::round(value * 10000.0) / 10000.0, 'f', 4);
    while (s.endsWith(u'0'))
        s.chop(1);
    if (s.endsWith(u'.'))
        s.chop(1);
    return s == QLatin1String("-0") ? QStringLiteral("0") : s;
}

QString Quoted(const QString& text) {
    return QStringLiteral("„") + text.trimmed() + QStringLiteral("“");
}

QString TypeCodeOf(const QString& typ) {
    if (typ == QLatin1String("R"))
        return QStringLiteral("380");
    if (typ == QLatin1String("T"))
        return QStringLiteral("326");
    return QStringLiteral("381"); // cancellation invoice and credit note
}

// The reason a zero-rated category needs on the invoice, with its code.
QPair<QString, QString> Befreiung(const QString& kategorie) {
    if (kategorie == QLatin1String("AE"))
        return {QStringLiteral("Steuerschuldnerschaft des Leistungsempfängers"),
                QStringLiteral("VATEX-EU-AE")};
    if (kategorie == QLatin1String("K"))
        return {QStringLiteral("Steuerfreie innergemeinschaftliche Lieferung"),
                QStringLiteral("VATEX-EU-IC")};
    if (kategorie == QLatin1String("G"))
        return {QStringLiteral("Steuerfreie Ausfuhrlieferung"), QStringLiteral("VATEX-EU-G")};
    return {};
}

// The cash discount period in days: the customer's agreed one (payment
// terms of the open items), else the first "n Tage(n)" of the company's text.
int SkontoFrist(TDM& dm, const QString& kundenId, const QString& vorlage) {
    if (dm.TableExists(QStringLiteral("ZahlungsBedingung"))) {
        TSQLiteQuery q(&dm.SQLiteDB1);
        q.RunSQL(QStringLiteral("select Skontofrist from ZahlungsBedingung where KundenID = ") + kundenId);
        if (!q.IsEmpty() && !q.Fields(0)->IsNull() && q.Fields(0)->AsInteger() > 0)
            return q.Fields(0)->AsInteger();
    }
    static const QRegularExpression tage(QStringLiteral("(\\d+)\\s*Tag"),
                                         QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch m = tage.match(vorlage);
    return m.hasMatch() ? m.captured(1).toInt() : 0;
}

} // namespace

bool ReadEInvoice(TDM& dm, const QString& typ, int kopfId, TERechnung* r, QString* fehler, bool xrechnung) {
    *r = TERechnung();
    r->XRechnung = xrechnung;
    if (!DokTypAbschliessbar(typ)) {
        *fehler =
            QStringLiteral("Eine E-Rechnung gibt es nur für Rechnungen, Teilrechnungen, Stornorechnungen "
                           "und Gutschriften.");
        return false;
    }
    const QString nr = QString::number(kopfId);
    const QString where = QStringLiteral(" where KopfTyp = '") + typ + QStringLiteral("' and KopfID = ") + nr;
    TSQLiteQuery q(&dm.SQLiteDB1);
    q.RunSQL(QStringLiteral("select * from Kopf") + where);
    if (q.IsEmpty()) {
        *fehler = DokTypMitArtikel(typ, true) + u' ' + nr + QStringLiteral(" ist nicht vorhanden!");
        return false;
    }
    QStringList fehlt;
    bool stammdaten = false; // a name the reference tables must fix
    // A small business charges no VAT: a line that does is refused by name
    // before anything else, as the printout refuses it.
    const bool klein = IstKleinunternehmer(dm);
    if (const QString falsch = KleinunternehmerFehler(dm, typ, kopfId); !falsch.isEmpty()) {
        *fehler = falsch;
        return false;
    }

    r->Typ = typ;
    r->TypeCode = TypeCodeOf(typ);
    r->Nummer = nr;
    r->Datum = q.FieldByName(QStringLiteral("Datum"))->AsDateTime().date();
    r->Verwendungszweck = DokTypName(typ) + u' ' + nr;
    // A small business has one category for every document: E.
    const bool netto = !klein && Text(q, "Netto") == QLatin1String("J");
    const QString kundenId = QString::number(q.FieldByName(QStringLiteral("KundenID"))->AsLargeInt());
    const double kopfSkonto = Number(q, "Skonto");
    const QString druDatId = QString::number(q.FieldByName(QStringLiteral("DruDatID"))->AsLargeInt());
    const QDate datum2 = q.FieldByName(QStringLiteral("Datum2"))->AsDateTime().date();
    const QString kopfText = Text(q, "KopfText"), fussText = Text(q, "FussText");
    const QString refTyp = Text(q, "RefTyp");
    // The notes in the order the paper prints them: the header text, the
    // text positions (without price lines, not subtotals), the footer text.
    if (Filled(kopfText))
        r->Notizen << kopfText;
    {
        TSQLiteQuery texte(&dm.SQLiteDB1);
        texte.RunSQL(QStringLiteral("select P.PosBez from PosDaten P where P.KopfTyp = '") + typ +
                     QStringLiteral("' and P.KopfID = ") + nr +
                     QStringLiteral(" and ifnull(P.Zwischensumme, 'N') <> 'J' and not exists (select 1 from "
                                    "PosPreis PP where PP.KopfTyp = P.KopfTyp and PP.KopfID = P.KopfID and "
                                    "PP.PosID = P.PosID) order by P.PosID"));
        for (texte.First(); !texte.Eof(); texte.Next()) {
            const QString text = PlainText(texte.FieldByName(QStringLiteral("PosBez"))->AsString());
            if (Filled(text))
                r->Notizen << text;
        }
    }
    if (Filled(fussText))
        r->Notizen << fussText;
    const qint64 refId = q.FieldByName(QStringLiteral("RefID"))->AsLargeInt();

    if ((typ == QLatin1String("S") || typ == QLatin1String("G")) &&
        (refTyp == QLatin1String("R") || refTyp == QLatin1String("T")) && refId > 0) {
        r->VorRechnung = QString::number(refId);
        q.RunSQL(QStringLiteral("select Datum from Kopf where KopfTyp = '") + refTyp +
                 QStringLiteral("' and KopfID = ") + r->VorRechnung);
        if (!q.IsEmpty())
            r->VorRechnungDatum = q.FieldByName(QStringLiteral("Datum"))->AsDateTime().date();
    }

    q.RunSQL(QStringLiteral("select DruDatBez from Druckdatum where DruDatID = ") + druDatId);
    if (!q.IsEmpty() &&
        Text(q, "DruDatBez").compare(QLatin1String("Lieferdatum"), Qt::CaseInsensitive) == 0 &&
        datum2.isValid())
        r->Lieferdatum = datum2;

    // The seller: the company row and the company's country setting.
    q.RunSQL(QStringLiteral("select * from Geschaeft where GesID = 1"));
    QString skontoSchalter, skontoVorlage, skonto2;
    if (!q.IsEmpty()) {
        TEPartei& v = r->Verkaeufer;
        v.Name = Text(q, "Name");
        v.Strasse = Text(q, "Strasse");
        v.PLZ = Text(q, "PLZ");
        v.Ort = Text(q, "Ort");
        v.UID = Text(q, "UIDNr");
        v.Register = Text(q, "Firmenbuch");
        v.Email = Text(q, "Email");
        v.Telefon = Text(q, "Telefon");
        r->IBAN = Text(q, "IBAN1").remove(u' ');
        r->BIC = Text(q, "BIC1").remove(u' ');
        skontoSchalter = Text(q, QStringLiteral("Skonto%1").arg(typ).toLatin1().constData());
        skontoVorlage = q.FieldByName(QStringLiteral("Skonto"))->AsString();
        skonto2 = q.FieldByName(QStringLiteral("Skonto2"))->AsString();
    }
    r->Verkaeufer.Land = dm.GetAllg(QStringLiteral("FirmaLand")).trimmed().toUpper();
    r->Verkaeufer.Kontakt = XmlText(dm.GetAllgText(QStringLiteral("FirmaKontakt"))).trimmed();
    r->Verkaeufer.SteuerNr = XmlText(dm.GetAllgText(QStringLiteral("FirmaSteuerNr"))).trimmed();
    if (LandName(r->Verkaeufer.Land).isEmpty())
        r->Verkaeufer.Land.clear();
    if (!Filled(r->Verkaeufer.Name))
        fehlt << QStringLiteral("Name der Firma");
    if (r->Verkaeufer.Land.isEmpty())
        fehlt << QStringLiteral("Land der Firma");
    if (xrechnung) {
        const TEPartei& v = r->Verkaeufer;
        if (!Filled(v.PLZ))
            fehlt << QStringLiteral("Postleitzahl der Firma");
        if (!Filled(v.Ort))
            fehlt << QStringLiteral("Ort der Firma");
        if (!Filled(v.Kontakt))
            fehlt << QStringLiteral("Ansprechpartner der Firma (Firmendaten)");
        if (!Filled(v.Telefon))
            fehlt << QStringLiteral("Telefonnummer der Firma");
        if (!Filled(v.Email))
            fehlt << QStringLiteral("E-Mail-Adresse der Firma");
    }
    bool uidForm = false; // a VAT number in a form the rules refuse
    if (klein && !Filled(r->Verkaeufer.UID)) {
        // Without VAT the company states its tax number instead.
        if (!Filled(r->Verkaeufer.SteuerNr))
            fehlt << QStringLiteral("Steuernummer der Firma (Kleinunternehmerregelung)");
    } else if (!Filled(r->Verkaeufer.UID)) {
        fehlt << QStringLiteral("UID-Nummer der Firma");
    } else if (!UIDFormGueltig(r->Verkaeufer.UID)) {
        fehlt << QStringLiteral("gültige UID-Nummer der Firma (statt ") + Quoted(r->Verkaeufer.UID) + u')';
        uidForm = true;
    }
    const bool zahlung = typ == QLatin1String("R") || typ == QLatin1String("T");
    if (zahlung && r->IBAN.isEmpty())
        fehlt << QStringLiteral("IBAN der Firma");

    // The buyer.
    q.RunSQL(
        QStringLiteral("select K.*, L.LandBez from Kunde K left join Land L on L.LandID = K.LandID where "
                       "K.KundenID = ") +
        kundenId);
    if (q.IsEmpty()) {
        *fehler = QStringLiteral("Der Kunde ") + kundenId + QStringLiteral(" ist nicht vorhanden!");
        return false;
    }
    {
        TEPartei& k = r->Kaeufer;
        const QString person = (Text(q, "Vorname") + u' ' + Text(q, "Nachname")).trimmed();
        k.Name = Filled(Text(q, "Firma")) ? Text(q, "Firma") : person;
        if (Filled(Text(q, "Firma")))
            k.Kontakt = person;
        k.Zusatz = Text(q, "Zusatzname");
        k.Strasse = Text(q, "Strasse");
        k.PLZ = Text(q, "PLZ");
        k.Ort = Text(q, "Ort");
        k.UID = Text(q, "UIDNr");
        k.Email = Text(q, "Email");
        k.Telefon = Text(q, "Telefon");
        const QString landBez = Text(q, "LandBez");
        k.Land = LandCode(landBez);
        if (!Filled(k.Name))
            fehlt << QStringLiteral("Name des Kunden");
        r->Kaeuferreferenz =
            XmlText(LeseKundeERechnung(dm, q.FieldByName(QStringLiteral("KundenID"))->AsLargeInt()).LeitwegID)
                .trimmed();
        if (xrechnung) {
            if (!Filled(r->Kaeuferreferenz))
                fehlt << QStringLiteral("Leitweg-ID / Käuferreferenz des Kunden");
            if (!Filled(k.PLZ))
                fehlt << QStringLiteral("Postleitzahl des Kunden");
            if (!Filled(k.Ort))
                fehlt << QStringLiteral("Ort des Kunden");
            if (!Filled(k.Email))
                fehlt << QStringLiteral("E-Mail-Adresse des Kunden");
        }
        if (Filled(k.UID) && !UIDFormGueltig(k.UID)) {
            fehlt << QStringLiteral("gültige UID-Nummer des Kunden (statt ") + Quoted(k.UID) + u')';
            uidForm = true;
        }
        if (!Filled(landBez)) {
            fehlt << QStringLiteral("Land des Kunden");
        } else if (k.Land.isEmpty()) {
            fehlt << QStringLiteral("Ländercode für ") + Quoted(landBez) +
                         QStringLiteral(" (Land des Kunden)");
            stammdaten = true;
        }
    }

    QString nettoKategorie;
    if (netto) {
        QString warum;
        nettoKategorie = NettoKategorie(r->Verkaeufer.Land, r->Kaeufer.Land, r->Kaeufer.UID, &warum);
        if (!warum.isEmpty())
            fehlt << warum;
        if (nettoKategorie == QLatin1String("K")) {
            r->LieferLand = r->Kaeufer.Land;
            if (!r->Lieferdatum.isValid())
                fehlt << QStringLiteral("Lieferdatum als zweites Datum (innergemeinschaftliche Lieferung)");
        }
    }

    // The invoice lines: one per price line; text and subtotal positions
    // carry no amount and stay on the printout only.
    q.RunSQL(QStringLiteral("select P.PosID, P.PosKurzBez, P.PosBez, PP.PreisBez, PP.PreisBez2, PP.Menge, "
                            "PP.Wert, PP.Rabatt, PP.MWStSatz, E.EinheitBez, E.EinheitID as Einheit from "
                            "PosDaten P join PosPreis PP on PP.KopfTyp = P.KopfTyp and PP.KopfID = P.KopfID "
                            "and PP.PosID = P.PosID left join Einheit E on E.EinheitID = PP.EinheitID where "
                            "P.KopfTyp = '") +
             typ + QStringLiteral("' and P.KopfID = ") + nr +
             QStringLiteral(" order by P.PosID, PP.PreisID"));
    TSQLiteQuery ges(&dm.SQLiteDB1);
    ges.RunSQL(QStringLiteral("select PosNrFortlaufend from Geschaeft where GesID = 1"));
    const bool fortlaufend = !ges.IsEmpty() && Text(ges, "PosNrFortlaufend") == QLatin1String("J");
    QHash<qint64, int> zeilenJePos;
    for (q.First(); !q.Eof(); q.Next())
        ++zeilenJePos[q.FieldByName(QStringLiteral("PosID"))->AsLargeInt()];
    QList<double> ungerundet; // each line's net before rounding
    QStringList unbekannteEinheiten;
    qint64 letztePos = -1;
    int posNr = 0, unterNr = 0;
    for (q.First(); !q.Eof(); q.Next()) {
        const qint64 posId = q.FieldByName(QStringLiteral("PosID"))->AsLargeInt();
        if (posId != letztePos) {
            letztePos = posId;
            ++posNr;
            unterNr = 0;
        }
        ++unterNr;
        TEZeile z;
        const QString nummer = QString::number(fortlaufend ? posNr : posId);
        z.ID = zeilenJePos.value(posId) > 1 ? nummer + u'.' + QString::number(unterNr) : nummer;
        z.Name = Text(q, "PosKurzBez");
        if (!Filled(z.Name) && TDM::FormattedTextPlain)
            z.Name = TDM::FormattedTextPlain(Text(q, "PosBez")).trimmed().section(u'\n', 0, 0).trimmed();
        if (!Filled(z.Name))
            z.Name = QStringLiteral("Position ") + nummer;
        // The position's long text, as the paper prints it, goes with the
        // position's first line when it says more than the name.
        if (unterNr == 1) {
            const QString lang = PlainText(q.FieldByName(QStringLiteral("PosBez"))->AsString());
            if (Filled(lang) && lang != z.Name)
                z.Notiz = lang;
        }
        QStringList bez;
        for (const char* field : {"PreisBez", "PreisBez2"}) {
            if (Filled(Text(q, field)))
                bez << Text(q, field);
        }
        z.Beschreibung = bez.join(QStringLiteral(", "));
        z.Menge = Number(q, "Menge");
        z.Preis = Number(q, "Wert");
        z.Rabatt = Number(q, "Rabatt");
        const double satz = Number(q, "MWStSatz");
        const double unrounded = z.Menge * z.Preis * (100.0 - z.Rabatt) / 100.0;
        ungerundet.append(unrounded);
        // A price may not be negative: a credit line keeps its amount with
        // the sign on the quantity.
        if (z.Preis < 0) {
            z.Preis = -z.Preis;
            z.Menge = -z.Menge;
        }
        z.Brutto = RoundCentsHalfEven(z.Menge * z.Preis);
        z.Netto = RoundCentsHalfEven(unrounded);
        if (q.FieldByName(QStringLiteral("Einheit"))->IsNull()) {
            fehlt << QStringLiteral("Mengeneinheit der Position ") + nummer;
        } else {
            const QString einheit = q.FieldByName(QStringLiteral("EinheitBez"))->AsString();
            z.Einheit = EinheitCode(einheit);
            if (z.Einheit.isEmpty() && !unbekannteEinheiten.contains(einheit.trimmed())) {
                unbekannteEinheiten << einheit.trimmed();
                fehlt << QStringLiteral("Code der Mengeneinheit ") + Quoted(einheit);
                stammdaten = true;
            }
        }
        if (klein) {
            z.Kategorie = QStringLiteral("E");
            z.Satz = 0;
        } else if (netto) {
            z.Kategorie = nettoKategorie;
            z.Satz = 0;
        } else {
            z.Satz = satz;
            z.Kategorie = satz > 0 ? QStringLiteral("S") : QStringLiteral("Z");
        }
        r->Zeilen.append(z);
    }
    if (r->Zeilen.isEmpty())
        fehlt << QStringLiteral("eine Position mit Preis");

    if (!fehlt.isEmpty()) {
        *fehler = QStringLiteral("Für eine E-Rechnung fehlt: ") + fehlt.join(QStringLiteral(", "));
        if (uidForm)
            *fehler += QStringLiteral("\nEine UID-Nummer beginnt mit dem Ländercode in Großbuchstaben "
                                      "(z. B. ATU12345678, DE123456789; Griechenland: EL).");
        if (stammdaten)
            *fehler += QStringLiteral("\nLänder und Mengeneinheiten werden unter Stammdaten → Allgemein mit "
                                      "ihren deutschen Namen gepflegt (z. B. „Österreich“, „Stk“).");
        return false;
    }

    // The VAT breakdown is the printout's: per rate the net rounded to the
    // cent and the VAT rounded per rate. The lines, each rounded on its own,
    // may miss their rate's net by a few cents; the difference goes a cent
    // at a time to the lines whose rounding lost (or gained) the most, so
    // the lines add up to the breakdown and the totals to the paper's.
    double brutto = 0;
    for (const TMWStZeile& zeile : MWStZeilen(q, typ, kopfId, netto)) {
        TESteuer s;
        s.Satz = zeile.Satz;
        s.Kategorie = klein            ? QStringLiteral("E")
                      : netto          ? nettoKategorie
                      : zeile.Satz > 0 ? QStringLiteral("S")
                                       : QStringLiteral("Z");
        s.Basis = zeile.Netto;
        s.Betrag = zeile.MWSt;
        QList<int> zeilen;
        qint64 summe = 0;
        for (int i = 0; i < r->Zeilen.size(); ++i) {
            if (netto || klein || std::fabs(r->Zeilen[i].Satz - zeile.Satz) < 1e-9) {
                zeilen.append(i);
                summe += std::llround(r->Zeilen[i].Netto * 100.0);
            }
        }
        const qint64 rest = std::llround(s.Basis * 100.0) - summe;
        auto verlust = [&](int i) {
            return ungerundet[i] * 100.0 - std::llround(r->Zeilen[i].Netto * 100.0);
        };
        std::stable_sort(zeilen.begin(), zeilen.end(), [&](int a, int b) {
            return rest > 0 ? verlust(a) > verlust(b) : verlust(a) < verlust(b);
        });
        for (qint64 n = 0; n < std::abs(rest) && !zeilen.isEmpty(); ++n) {
            TEZeile& z = r->Zeilen[zeilen[int(n % zeilen.size())]];
            z.Netto = (std::llround(z.Netto * 100.0) + (rest > 0 ? 1 : -1)) / 100.0;
        }
        r->Steuern.append(s);
        r->Summe += s.Basis;
        r->SteuerSumme += s.Betrag;
        brutto += s.Basis + s.Betrag;
    }
    r->Summe = RoundCentsHalfEven(r->Summe);
    r->SteuerSumme = RoundCentsHalfEven(r->SteuerSumme);

    if (klein)
        r->Befreiungsgrund = SteuerHinweis(dm, QStringLiteral("E"));

    // The payment terms exactly as the printout words them.
    if (skontoSchalter == QLatin1String("J")) {
        if (kopfSkonto != 0) {
            r->Zahlungsbedingungen = SkontoText(skontoVorlage, kopfSkonto, brutto);
            r->SkontoProzent = kopfSkonto;
        } else
            r->Zahlungsbedingungen = skonto2;
    } else if (zahlung) {
        r->Zahlungsbedingungen = skonto2;
    }
    r->Zahlungsbedingungen = r->Zahlungsbedingungen.trimmed();
    if (xrechnung && r->SkontoProzent > 0) {
        // XRechnung wants the period in days as a number: the customer's
        // cash discount period where one is agreed, else the days the
        // company's wording names ("innerhalb von 10 Tagen").
        r->SkontoTage = SkontoFrist(dm, kundenId, skontoVorlage);
        if (r->SkontoTage <= 0) {
            *fehler = QStringLiteral("Für eine E-Rechnung fehlt: Skontofrist in Tagen (im Skontotext der "
                                     "Firmendaten, z. B. „Zahlbar innerhalb von 10 Tagen mit %1 Skonto“)");
            return false;
        }
    }
    if (!zahlung) {
        r->IBAN.clear();
        r->BIC.clear();
    }
    return true;
}

QByteArray WriteCII(const TERechnung& r, QString* fehler) {
    QByteArray xml;
    xml.reserve(4096 + 1500 * r.Zeilen.size());
    QXmlStreamWriter w(&xml);
    w.setAutoFormatting(true);
    w.setAutoFormattingIndent(2);
    const QString rsm = QStringLiteral("urn:un:unece:uncefact:data:standard:CrossIndustryInvoice:100");
    const QString ram =
        QStringLiteral("urn:un:unece:uncefact:data:standard:ReusableAggregateBusinessInformationEntity:100");
    const QString udt = QStringLiteral("urn:un:unece:uncefact:data:standard:UnqualifiedDataType:100");
    const QString qdt = QStringLiteral("urn:un:unece:uncefact:data:standard:QualifiedDataType:100");

    auto open = [&](const char* name) { w.writeStartElement(ram, QLatin1String(name)); };
    auto close = [&]() { w.writeEndElement(); };
    auto text = [&](const char* name, const QString& value) {
        w.writeTextElement(ram, QLatin1String(name), XmlText(value));
    };
    auto textIf = [&](const char* name, const QString& value) {
        const QString clean = XmlText(value).trimmed();
        if (!clean.isEmpty())
            text(name, clean);
    };
    auto note = [&](const QString& content) {
        open("IncludedNote");
        text("Content", content.trimmed());
        close();
    };
    auto date = [&](const char* name, const QDate& d, const QString& ns, const char* inner) {
        open(name);
        w.writeStartElement(ns, QLatin1String(inner));
        w.writeAttribute(QStringLiteral("format"), QStringLiteral("102"));
        w.writeCharacters(d.toString(QStringLiteral("yyyyMMdd")));
        w.writeEndElement();
        close();
    };
    auto indicator = [&](bool value) {
        open("ChargeIndicator");
        w.writeTextElement(udt, QStringLiteral("Indicator"),
                           value ? QStringLiteral("true") : QStringLiteral("false"));
        close();
    };
    auto party = [&](const char* role, const TEPartei& p) {
        open(role);
        text("Name", p.Name.trimmed());
        if (Filled(p.Register)) {
            open("SpecifiedLegalOrganization");
            text("ID", p.Register.trimmed());
            close();
        }
        if (Filled(p.Kontakt) || Filled(p.Telefon) || Filled(p.Email)) {
            open("DefinedTradeContact");
            textIf("PersonName", p.Kontakt);
            if (Filled(p.Telefon)) {
                open("TelephoneUniversalCommunication");
                text("CompleteNumber", p.Telefon.trimmed());
                close();
            }
            if (Filled(p.Email)) {
                open("EmailURIUniversalCommunication");
                text("URIID", p.Email.trimmed());
                close();
            }
            close();
        }
        open("PostalTradeAddress");
        textIf("PostcodeCode", p.PLZ);
        textIf("LineOne", p.Strasse);
        textIf("LineTwo", p.Zusatz);
        textIf("CityName", p.Ort);
        text("CountryID", p.Land);
        close();
        if (Filled(p.Email)) {
            open("URIUniversalCommunication");
            w.writeStartElement(ram, QStringLiteral("URIID"));
            w.writeAttribute(QStringLiteral("schemeID"), QStringLiteral("EM"));
            w.writeCharacters(XmlText(p.Email).trimmed());
            w.writeEndElement();
            close();
        }
        auto registration = [&](const char* scheme, const QString& id) {
            open("SpecifiedTaxRegistration");
            w.writeStartElement(ram, QStringLiteral("ID"));
            w.writeAttribute(QStringLiteral("schemeID"), QLatin1String(scheme));
            w.writeCharacters(id);
            w.writeEndElement();
            close();
        };
        if (Filled(p.SteuerNr))
            registration("FC", XmlText(p.SteuerNr).trimmed());
        if (Filled(p.UID))
            registration("VA", XmlText(p.UID).remove(u' '));
        close();
    };

    w.writeStartDocument();
    w.writeNamespace(rsm, QStringLiteral("rsm"));
    w.writeNamespace(ram, QStringLiteral("ram"));
    w.writeNamespace(udt, QStringLiteral("udt"));
    w.writeNamespace(qdt, QStringLiteral("qdt"));
    w.writeStartElement(rsm, QStringLiteral("CrossIndustryInvoice"));

    w.writeStartElement(rsm, QStringLiteral("ExchangedDocumentContext"));
    if (r.XRechnung) {
        open("BusinessProcessSpecifiedDocumentContextParameter");
        text("ID", XRechnungProzess);
        close();
    }
    open("GuidelineSpecifiedDocumentContextParameter");
    text("ID", r.XRechnung ? XRechnungKennung : QStringLiteral("urn:cen.eu:en16931:2017"));
    close();
    w.writeEndElement();

    w.writeStartElement(rsm, QStringLiteral("ExchangedDocument"));
    text("ID", r.Nummer);
    text("TypeCode", r.TypeCode);
    date("IssueDateTime", r.Datum, udt, "DateTimeString");
    for (const QString& notiz : r.Notizen) {
        if (Filled(XmlText(notiz)))
            note(notiz);
    }
    w.writeEndElement();

    w.writeStartElement(rsm, QStringLiteral("SupplyChainTradeTransaction"));
    for (const TEZeile& z : r.Zeilen) {
        open("IncludedSupplyChainTradeLineItem");
        open("AssociatedDocumentLineDocument");
        text("LineID", z.ID);
        if (Filled(XmlText(z.Notiz)))
            note(z.Notiz);
        close();
        open("SpecifiedTradeProduct");
        text("Name", z.Name.trimmed());
        textIf("Description", z.Beschreibung);
        close();
        open("SpecifiedLineTradeAgreement");
        open("NetPriceProductTradePrice");
        text("ChargeAmount", Decimal(z.Preis));
        close();
        close();
        open("SpecifiedLineTradeDelivery");
        w.writeStartElement(ram, QStringLiteral("BilledQuantity"));
        w.writeAttribute(QStringLiteral("unitCode"), z.Einheit);
        w.writeCharacters(Decimal(z.Menge));
        w.writeEndElement();
        close();
        open("SpecifiedLineTradeSettlement");
        open("ApplicableTradeTax");
        text("TypeCode", QStringLiteral("VAT"));
        text("CategoryCode", z.Kategorie);
        text("RateApplicablePercent", Decimal(z.Satz));
        close();
        if (z.Rabatt != 0) {
            open("SpecifiedTradeAllowanceCharge");
            indicator(false);
            text("CalculationPercent", Decimal(z.Rabatt));
            text("BasisAmount", Amount(z.Brutto));
            text("ActualAmount", Amount(z.Brutto - z.Netto));
            text("ReasonCode", QStringLiteral("95"));
            text("Reason", QStringLiteral("Rabatt"));
            close();
        }
        open("SpecifiedTradeSettlementLineMonetarySummation");
        text("LineTotalAmount", Amount(z.Netto));
        close();
        close();
        close();
    }

    open("ApplicableHeaderTradeAgreement");
    textIf("BuyerReference", r.Kaeuferreferenz);
    party("SellerTradeParty", r.Verkaeufer);
    party("BuyerTradeParty", r.Kaeufer);
    close();

    open("ApplicableHeaderTradeDelivery");
    if (!r.LieferLand.isEmpty()) {
        open("ShipToTradeParty");
        open("PostalTradeAddress");
        // The goods go to the buyer's address; XRechnung wants its post
        // code and city whenever a deliver-to address is given.
        if (r.XRechnung) {
            textIf("PostcodeCode", r.Kaeufer.PLZ);
            textIf("LineOne", r.Kaeufer.Strasse);
            textIf("CityName", r.Kaeufer.Ort);
        }
        text("CountryID", r.LieferLand);
        close();
        close();
    }
    if (r.Lieferdatum.isValid()) {
        open("ActualDeliverySupplyChainEvent");
        date("OccurrenceDateTime", r.Lieferdatum, udt, "DateTimeString");
        close();
    }
    close();

    open("ApplicableHeaderTradeSettlement");
    textIf("PaymentReference", r.Verwendungszweck);
    text("InvoiceCurrencyCode", QStringLiteral("EUR"));
    if (!r.IBAN.isEmpty()) {
        open("SpecifiedTradeSettlementPaymentMeans");
        text("TypeCode", QStringLiteral("58")); // SEPA credit transfer
        open("PayeePartyCreditorFinancialAccount");
        text("IBANID", r.IBAN);
        close();
        if (!r.BIC.isEmpty()) {
            open("PayeeSpecifiedCreditorFinancialInstitution");
            text("BICID", r.BIC);
            close();
        }
        close();
    } else if (r.XRechnung) {
        // XRechnung asks for payment instructions on every document; a
        // credit note names no account to pay into.
        open("SpecifiedTradeSettlementPaymentMeans");
        text("TypeCode", QStringLiteral("1")); // instrument not defined
        close();
    }
    for (const TESteuer& s : r.Steuern) {
        open("ApplicableTradeTax");
        text("CalculatedAmount", Amount(s.Betrag));
        text("TypeCode", QStringLiteral("VAT"));
        auto befreiung = Befreiung(s.Kategorie);
        if (s.Kategorie == QLatin1String("E"))
            befreiung.first = r.Befreiungsgrund;
        textIf("ExemptionReason", befreiung.first);
        text("BasisAmount", Amount(s.Basis));
        text("CategoryCode", s.Kategorie);
        textIf("ExemptionReasonCode", befreiung.second);
        text("RateApplicablePercent", Decimal(s.Satz));
        close();
    }
    QString bedingungen = r.Zahlungsbedingungen;
    if (r.XRechnung && r.SkontoProzent > 0 && r.SkontoTage > 0) {
        // The printed wording first, then the line a machine reads; every
        // such line ends with a line break, the last one too.
        if (!bedingungen.isEmpty())
            bedingungen += u'\n';
        bedingungen += QStringLiteral("#SKONTO#TAGE=%1#PROZENT=%2#\n")
                           .arg(r.SkontoTage)
                           .arg(QString::number(std::fabs(r.SkontoProzent), 'f', 2));
    }
    if (Filled(bedingungen)) {
        open("SpecifiedTradePaymentTerms");
        text("Description", bedingungen);
        close();
    }
    open("SpecifiedTradeSettlementHeaderMonetarySummation");
    text("LineTotalAmount", Amount(r.Summe));
    text("TaxBasisTotalAmount", Amount(r.Summe));
    w.writeStartElement(ram, QStringLiteral("TaxTotalAmount"));
    w.writeAttribute(QStringLiteral("currencyID"), QStringLiteral("EUR"));
    w.writeCharacters(Amount(r.SteuerSumme));
    w.writeEndElement();
    text("GrandTotalAmount", Amount(r.Summe + r.SteuerSumme));
    text("DuePayableAmount", Amount(r.Summe + r.SteuerSumme));
    close();
    if (!r.VorRechnung.isEmpty()) {
        open("InvoiceReferencedDocument");
        text("IssuerAssignedID", r.VorRechnung);
        if (r.VorRechnungDatum.isValid())
            date("FormattedIssueDateTime", r.VorRechnungDatum, qdt, "DateTimeString");
        close();
    }
    close();

    w.writeEndElement(); // SupplyChainTradeTransaction
    w.writeEndElement(); // CrossIndustryInvoice
    w.writeEndDocument();
    if (w.hasError()) {
        if (fehler)
            *fehler = QStringLiteral("Die E-Rechnung zur ") + DokTypName(r.Typ) + u' ' + r.Nummer +
                      QStringLiteral(" konnte nicht geschrieben werden.");
        return QByteArray();
    }
    return xml;
}

QByteArray BuildEInvoice(TDM& dm, const QString& typ, int kopfId, QString* fehler, bool xrechnung) {
    TERechnung r;
    if (!ReadEInvoice(dm, typ, kopfId, &r, fehler, xrechnung))
        return QByteArray();
    return WriteCII(r, fehler);
}

int RunEInvoiceCommand(const QStringList& arguments, QTextStream& out, QTextStream& err) {
    QStringList args = arguments;
    const bool xrechnung = args.removeAll(QStringLiteral("--xrechnung")) > 0;
    bool numberOk = false;
    const int number = args.size() == 4 ? args[2].toInt(&numberOk) : 0;
    if (args.size() != 4 || !numberOk) {
        err << QStringLiteral("Aufruf: quorvent --einvoice DATEI BELEGART NUMMER AUSGABE.xml [--xrechnung]")
            << Qt::endl;
        return 1;
    }
    const QString typ = args[1].toUpper();
    if (OutputIsDatabase(args[0], args[3], err))
        return 1;
    return RunOnDatabaseFile(args[0], err, [&](TDM& dm) {
        QString fehler;
        const QByteArray xml = xrechnung ? BuildEInvoice(dm, typ, number, &fehler, true)
                                         : IssuedEInvoice(dm, typ, number, &fehler);
        if (xml.isEmpty()) {
            err << fehler << Qt::endl;
            return 1;
        }
        // Written whole or not at all: a half file would be an invalid invoice.
        if (const QString failure = WriteWholeFile(args[3], xml); !failure.isEmpty()) {
            err << failure << Qt::endl;
            return 1;
        }
        out << QStringLiteral("E-Rechnung geschrieben: ") + args[3] << Qt::endl;
        return 0;
    });
}
