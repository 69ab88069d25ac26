// The columns of customers, suppliers and articles in the exchange files, and
// the rules that turn a stored value into the text of its column and back.
#include "DatenaustauschIntern.h"

#include "KundeERechnung.h"
#include "UDM.h"

#include <QDate>
#include <QDateTime>
#include <QLocale>

namespace Austausch {

namespace {

TSpalte T(const char* titel, const char* feld, TArt art = TArt::Text) {
    return {QString::fromUtf8(titel), QLatin1String(feld), art, {}, {}, {}, false};
}

TSpalte B(const char* titel, const char* feld, const char* tabelle, const char* id, const char* name) {
    return {QString::fromUtf8(titel), QLatin1String(feld), TArt::Bezug, QLatin1String(tabelle),
            QLatin1String(id),        QLatin1String(name), false};
}

TSpalte P(TSpalte s) {
    s.Preis = true;
    return s;
}

TSpalte E(TSpalte s) {
    s.Eigen = true;
    return s;
}

// Numbers as a German spreadsheet writes them; every digit the stored value
// has is kept, so nothing is rounded away on the way out and back in.
QLocale German() {
    QLocale de(QLocale::German, QLocale::Germany);
    de.setNumberOptions(QLocale::OmitGroupSeparator);
    return de;
}

TBezug LoadBezug(TDM& dm, const TSpalte& s) {
    TBezug b;
    TSQLiteQuery q(&dm.SQLiteDB1);
    q.RunSQL(QStringLiteral("select ") + s.BezID + QStringLiteral(", ") + s.BezName +
             QStringLiteral(" from ") + s.BezTabelle + QStringLiteral(" order by ") + s.BezID);
    for (q.First(); !q.Eof(); q.Next()) {
        const qint64 id = q.Fields(0)->AsLargeInt();
        const QString name = q.Fields(1)->AsString();
        b.Namen.insert(id, name);
        const QString key = name.trimmed().toLower();
        if (!b.Keys.contains(key))
            b.Keys.insert(key, id);
    }
    q.Close();
    return b;
}

} // namespace

const QList<TSpalte>& Spalten(TAustauschArt art) {
    static const QList<TSpalte> kunden = {
        T("Nummer", "KundenID", TArt::Ganz),
        B("Anrede", "AnredeID", "Anrede", "AnredeID", "AnredeBez"),
        B("Titel", "TitelID", "Titel", "TitelID", "TitelBez"),
        T("Firma", "Firma"),
        T("Nachname", "Nachname"),
        T("Vorname", "Vorname"),
        T("Zusatzname", "Zusatzname"),
        T("Straße", "Strasse"),
        T("PLZ", "PLZ"),
        T("Ort", "Ort"),
        B("Land", "LandID", "Land", "LandID", "LandBez"),
        T("Telefon", "Telefon"),
        T("Mobil", "Mobil"),
        T("Fax", "Fax"),
        T("E-Mail", "Email"),
        T("Geburtstag", "Geburtsdatum", TArt::Datum),
        T("Erfasst am", "Erfassungsdatum", TArt::Datum),
        B("Kundengruppe", "KunGruID", "KundenGruppe", "KunGruID", "KunGruBez"),
        T("UID-Nr.", "UIDNr"),
        T("Rabatt", "Rabatt", TArt::Dezimal),
        T("Skonto", "Skonto", TArt::Dezimal),
        T("Nettoverrechnung", "Netto", TArt::JaNein),
        T("Konzernnr.", "KonzernID", TArt::Ganz),
        T("Händlernr.", "HaendlerID", TArt::Ganz),
        T("Aktiv", "Aktiv", TArt::JaNein),
        T("Anmerkung", "Anmerkung"),
        E(T("Leitweg-ID / Käuferreferenz", "LeitwegID")),
        E(T("E-Rechnung als", "ERechnungFormat")),
    };
    static const QList<TSpalte> lieferanten = {
        T("Nummer", "LieferantenID", TArt::Ganz),
        T("Firma", "Firma"),
        T("Straße", "Strasse"),
        T("PLZ", "PLZ"),
        T("Ort", "Ort"),
        B("Land", "LandID", "Land", "LandID", "LandBez"),
        B("Lieferantengruppe", "LieGruID", "LieferantenGruppe", "LieGruID", "LieGruBez"),
        T("Rabatt", "Rabatt", TArt::Dezimal),
        T("Skonto", "Skonto", TArt::Dezimal),
        T("Telefon", "Telefon"),
        T("Fax", "Fax"),
        T("E-Mail", "Email"),
        T("UID-Nr.", "UIDNr"),
        T("Erfasst am", "Erfassungsdatum", TArt::Datum),
        T("Ihre Kundennr.", "KundenNr"),
        T("Bank", "Bank"),
        T("BLZ", "BLZ"),
        T("Konto", "Konto"),
        T("IBAN", "IBAN"),
        T("BIC", "BIC"),
        B("Anrede Ansprechpartner", "AnspAnredeID", "Anrede", "AnredeID", "AnredeBez"),
        B("Titel Ansprechpartner", "AnspTitelID", "Titel", "TitelID", "TitelBez"),
        T("Vorname Ansprechpartner", "AnspVorname"),
        T("Nachname Ansprechpartner", "AnspNachname"),
        T("Telefon Ansprechpartner", "AnspTelefon"),
        T("Mobil Ansprechpartner", "AnspMobil"),
        T("E-Mail Ansprechpartner", "AnspEmail"),
        T("Geburtstag Ansprechpartner", "Geburtsdatum", TArt::Datum),
        T("Aktiv", "Aktiv", TArt::JaNein),
        T("Anmerkung", "Anmerkung"),
    };
    static const QList<TSpalte> artikel = {
        T("Artikelnummer", "ArtikelID", TArt::Ganz),
        B("Artikelgruppe", "ArtGruID", "ArtikelGruppe", "ArtGruID", "ArtGruBez"),
        T("Kurzbezeichnung", "ArtKurzBez"),
        T("Bezeichnung", "ArtBez", TArt::Klartext),
        T("Bezeichnung (formatiert)", "ArtBez"),
        T("Aktiv", "Aktiv", TArt::JaNein),
        T("Einkaufsartikel", "BereichEK", TArt::JaNein),
        T("Verkaufsartikel", "BereichVK", TArt::JaNein),
        T("Lieferantennr.", "LieferantenID", TArt::Ganz),
        T("Zwischensumme", "Zwischensumme", TArt::JaNein),
        P(T("Preis-Bezeichnung", "PreisBez")),
        P(T("Preis-Bezeichnung 2", "PreisBez2")),
        P(T("Menge", "Menge", TArt::Dezimal)),
        P(B("Einheit", "EinheitID", "Einheit", "EinheitID", "EinheitBez")),
        P(T("Betrag/Stk", "Wert", TArt::Dezimal)),
        P(T("MWSt.", "MWStSatz", TArt::Dezimal)),
    };
    switch (art) {
    case TAustauschArt::Kunden:
        return kunden;
    case TAustauschArt::Lieferanten:
        return lieferanten;
    case TAustauschArt::Artikel:
        break;
    }
    return artikel;
}

QString TableOf(TAustauschArt art) {
    switch (art) {
    case TAustauschArt::Kunden:
        return QStringLiteral("Kunde");
    case TAustauschArt::Lieferanten:
        return QStringLiteral("Lieferant");
    case TAustauschArt::Artikel:
        break;
    }
    return QStringLiteral("Artikel");
}

QString RangeOf(TAustauschArt art) {
    return Spalten(art).first().Feld; // the key column names its number range too
}

QHash<QString, TBezug> LoadBezuege(TDM& dm, TAustauschArt art) {
    QHash<QString, TBezug> all;
    for (const TSpalte& s : Spalten(art))
        if (s.Art == TArt::Bezug && !all.contains(s.BezTabelle))
            all.insert(s.BezTabelle, LoadBezug(dm, s));
    return all;
}

QString ExportValue(const TSpalte& s, const TField* f, const QHash<QString, TBezug>& bezuege) {
    if (!f || f->IsNull())
        return QString();
    switch (s.Art) {
    case TArt::Ganz:
        return QString::number(f->AsLargeInt());
    case TArt::Dezimal:
        return German().toString(f->AsFloat(), 'f', QLocale::FloatingPointShortest);
    case TArt::Datum: {
        const QDate d = f->AsDateTime().date();
        return d.isValid() ? d.toString(QStringLiteral("dd.MM.yyyy")) : f->AsString();
    }
    case TArt::Bezug: {
        // A key without its row is written as the number, so it is not lost.
        const qint64 id = f->AsLargeInt();
        return bezuege.value(s.BezTabelle).Namen.value(id, QString::number(id));
    }
    case TArt::Klartext:
        return TDM::FormattedTextPlain ? TDM::FormattedTextPlain(f->AsString()) : f->AsString();
    case TArt::Text:
    case TArt::JaNein:
        break;
    }
    return f->AsString();
}

bool AllDigits(const QString& s) {
    if (s.isEmpty())
        return false;
    for (QChar c : s)
        if (c < u'0' || c > u'9')
            return false;
    return true;
}

// The value of one field of the file for its column; TRowRefused when the
// text cannot be one.
QVariant ImportValue(const TSpalte& s, const QString& raw, const QHash<QString, TBezug>& bezuege, TDM& dm) {
    // The database would cut the text off at the NUL, silently.
    if (raw.contains(QChar(0)))
        throw TRowRefused{
            QStringLiteral("Im Feld \"") + s.Titel +
            QStringLiteral("\" steht ein NUL-Zeichen (Zeichencode 0); es kann nicht gespeichert "
                           "werden!")};
    const QString t = s.Art == TArt::Text || s.Art == TArt::Klartext ? raw : raw.trimmed();
    // A reference name may be a blank: the first salutation, title, country
    // and unit are " ", meaning none shown.
    if (s.Art == TArt::Bezug ? raw.isEmpty() : t.isEmpty())
        return QVariant();
    switch (s.Art) {
    case TArt::Ganz:
        if (!AllDigits(t) || t.size() > 15)
            throw TRowRefused{QStringLiteral("Im Feld \"") + s.Titel +
                              QStringLiteral("\" steht keine Nummer: \"") + t + QStringLiteral("\"!")};
        return t.toLongLong();
    case TArt::Dezimal: {
        bool ok = false;
        double v = German().toDouble(t, &ok);
        if (!ok)
            v = QLocale::c().toDouble(t, &ok);
        if (!ok)
            throw TRowRefused{QStringLiteral("Im Feld \"") + s.Titel +
                              QStringLiteral("\" steht keine Zahl: \"") + t + QStringLiteral("\"!")};
        return v;
    }
    case TArt::Datum: {
        QDate d = QDate::fromString(t, QStringLiteral("dd.MM.yyyy"));
        if (!d.isValid())
            d = QDate::fromString(t, QStringLiteral("d.M.yyyy"));
        if (!d.isValid())
            d = QDate::fromString(t, QStringLiteral("yyyy-MM-dd"));
        if (!d.isValid())
            throw TRowRefused{QStringLiteral("Im Feld \"") + s.Titel +
                              QStringLiteral("\" steht kein gültiges Datum (TT.MM.JJJJ): \"") + t +
                              QStringLiteral("\"!")};
        return QDateTime(d, QTime(0, 0));
    }
    case TArt::JaNein: {
        const QString u = t.toUpper();
        if (u == QLatin1String("J") || u == QLatin1String("JA"))
            return QStringLiteral("J");
        if (u == QLatin1String("N") || u == QLatin1String("NEIN"))
            return QStringLiteral("N");
        throw TRowRefused{QStringLiteral("Im Feld \"") + s.Titel +
                          QStringLiteral("\" ist nur J oder N erlaubt: \"") + t + QStringLiteral("\"!")};
    }
    case TArt::Bezug: {
        const TBezug& b = bezuege[s.BezTabelle];
        const auto it = b.Keys.constFind(t.toLower());
        if (it != b.Keys.constEnd())
            return it.value();
        // The number of a row written when its name was missing.
        if (AllDigits(t) && b.Namen.contains(t.toLongLong()))
            return t.toLongLong();
        throw TRowRefused{QStringLiteral("\"") + t + QStringLiteral("\" ist als ") + s.Titel +
                          QStringLiteral(" nicht vorhanden!")};
    }
    case TArt::Text:
    case TArt::Klartext:
        break;
    }
    Q_UNUSED(dm);
    return t;
}

void Assign(TSQLiteBaseQuery& ds, const QList<TWert>& werte, const QHash<QString, QString>& titel) {
    for (const TWert& w : werte) {
        TField* f = ds.FieldByName(w.Feld);
        if (w.Wert.isNull()) {
            f->Clear();
            continue;
        }
        if (w.Wert.typeId() == QMetaType::QString && f->DataType() == TFieldType::String && f->Size() > 0 &&
            w.Wert.toString().size() > f->Size())
            throw TRowRefused{QStringLiteral("Das Feld \"") + titel.value(w.Feld, w.Feld) +
                              QStringLiteral("\" darf höchstens ") + QString::number(f->Size()) +
                              QStringLiteral(" Zeichen lang sein!")};
        f->SetValue(w.Wert);
    }
}

// The rules of the forms on a dataset of the import's own, so the lists and
// forms of the program keep their rows and positions.
void WireRules(TDM& dm, TAustauschArt art, TSQLiteTable& t) {
    switch (art) {
    case TAustauschArt::Kunden:
        t.OnNewRecord = [&dm](TSQLiteBaseQuery* ds) { dm.TableKundeNewRecord(ds); };
        t.BeforeEdit = [&dm](TSQLiteBaseQuery* ds) { dm.TableKundeBeforeEdit(ds); };
        t.BeforePost = [&dm](TSQLiteBaseQuery* ds) { dm.TableKundeBeforePost(ds); };
        break;
    case TAustauschArt::Lieferanten:
        t.OnNewRecord = [&dm](TSQLiteBaseQuery* ds) { dm.TableLieferantNewRecord(ds); };
        t.BeforeEdit = [&dm](TSQLiteBaseQuery* ds) { dm.TableLieferantBeforeEdit(ds); };
        t.BeforePost = [&dm](TSQLiteBaseQuery* ds) { dm.TableLieferantBeforePost(ds); };
        break;
    case TAustauschArt::Artikel:
        t.OnNewRecord = [&dm](TSQLiteBaseQuery* ds) { dm.TableArtikelNewRecord(ds); };
        t.BeforeEdit = [&dm](TSQLiteBaseQuery* ds) { dm.TableArtikelBeforeEdit(ds); };
        t.BeforePost = [&dm](TSQLiteBaseQuery* ds) { dm.TableArtikelBeforePost(ds); };
        break;
    }
}

TEigeneWerte ReadEigene(TAustauschArt art, const QList<QPair<int, QString>>& werte) {
    TEigeneWerte e;
    const QList<TSpalte>& spalten = Spalten(art);
    for (const auto& [i, raw] : werte) {
        const QString text = raw.trimmed();
        if (spalten[i].Feld == QLatin1String("LeitwegID")) {
            e.Leitweg = true;
            e.LeitwegID = text;
            if (const QString fehler = LeitwegIDFehler(text); !fehler.isEmpty())
                throw TRowRefused{fehler};
            if (text.size() > 50)
                throw TRowRefused{
                    QStringLiteral("Die Leitweg-ID / Käuferreferenz ist länger als 50 Zeichen!")};
        } else if (spalten[i].Feld == QLatin1String("ERechnungFormat")) {
            e.Format = true;
            // The caption the form shows, or its code.
            e.FormatCode.clear();
            for (const char* code : {"N", "Z", "X"})
                if (text.compare(ERechnungFormatName(QLatin1String(code)), Qt::CaseInsensitive) == 0 ||
                    text.compare(QLatin1String(code), Qt::CaseInsensitive) == 0)
                    e.FormatCode = QLatin1String(code);
            if (text.isEmpty())
                e.FormatCode = QStringLiteral("N");
            if (e.FormatCode.isEmpty())
                throw TRowRefused{QStringLiteral("Unbekanntes E-Rechnungsformat „") + text +
                                  QStringLiteral("“ (keine, ZUGFeRD-PDF oder XRechnung)!")};
        }
    }
    return e;
}

void WriteEigene(TDM& dm, qint64 kundenId, const TEigeneWerte& e) {
    if (!e.Leitweg && !e.Format)
        return;
    // A column the file leaves out keeps what is stored.
    TKundeERechnung neu = LeseKundeERechnung(dm, kundenId);
    if (e.Leitweg)
        neu.LeitwegID = e.LeitwegID;
    if (e.Format)
        neu.Format = e.FormatCode;
    SchreibeKundeERechnung(dm, kundenId, neu);
}

} // namespace Austausch

using namespace Austausch;

QString AustauschArtName(TAustauschArt art) {
    switch (art) {
    case TAustauschArt::Kunden:
        return QStringLiteral("Kunden");
    case TAustauschArt::Lieferanten:
        return QStringLiteral("Lieferanten");
    case TAustauschArt::Artikel:
        break;
    }
    return QStringLiteral("Artikel");
}

QStringList AustauschSpalten(TAustauschArt art) {
    QStringList names;
    for (const TSpalte& s : Spalten(art))
        names << s.Titel;
    return names;
}
