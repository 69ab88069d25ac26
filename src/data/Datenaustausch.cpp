#include "Datenaustausch.h"

#include "FileNames.h"
#include "Messages.h"
#include "RecordGuards.h"
#include "UDM.h"
#include "Win1252.h"

#include <QDate>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QLocale>
#include <QSaveFile>
#include <QSet>
#include <QStringDecoder>

namespace {

enum class TArt { Text, Ganz, Dezimal, Datum, JaNein, Bezug };

struct TSpalte {
    QString Titel; // the column name in the header row
    QString Feld;  // the column of the table
    TArt Art = TArt::Text;
    QString BezTabelle; // Bezug: the reference table, its key and its name column
    QString BezID;
    QString BezName;
    bool Preis = false; // a column of the article's price line
};

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
        T("Bezeichnung", "ArtBez"),
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

// Numbers as a German spreadsheet writes them; every digit the stored value
// has is kept, so nothing is rounded away on the way out and back in.
QLocale German() {
    QLocale de(QLocale::German, QLocale::Germany);
    de.setNumberOptions(QLocale::OmitGroupSeparator);
    return de;
}

// The names of a reference table by key, and the keys by name (the first
// key of a name that occurs twice; names compared without regard to case).
struct TBezug {
    QHash<qint64, QString> Namen;
    QHash<QString, qint64> Keys;
};

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
    case TArt::Text:
    case TArt::JaNein:
        break;
    }
    return f->AsString();
}

QString CSVField(const QString& v) {
    if (!v.contains(u';') && !v.contains(u'"') && !v.contains(u'\n') && !v.contains(u'\r'))
        return v;
    QString q = v;
    q.replace(QStringLiteral("\""), QStringLiteral("\"\""));
    return u'"' + q + u'"';
}

QString CSVLine(const QStringList& fields) {
    QStringList quoted;
    for (const QString& f : fields)
        quoted << CSVField(f);
    return quoted.join(u';') + QStringLiteral("\r\n");
}

// Boxes of the rules become the reason of the row instead of a window.
class TCapturedMessages : public Messages {
public:
    TCapturedMessages() : FPrevious(Messages::installed()) { Messages::install(this); }
    ~TCapturedMessages() override { Messages::install(FPrevious); }
    QString Last;

protected:
    void show(Kind, const QString& text) override { Last = text; }
    Answer ask(const QString& text, bool, Answer) override {
        Last = text;
        return No;
    }

private:
    Messages* FPrevious;
};

// One record of the file: a customer or supplier is one row, an article the
// rows of its price lines that follow each other under the same number.
struct TGruppe {
    QList<int> Zeilen; // indexes into the file's records
    QString Nummer;
    qint64 Konzern = -1; // customers: the parent company named, -1 none
};

struct TWert {
    QString Feld;
    QVariant Wert; // null: clear the field
};

class TRowRefused {
public:
    QString Grund;
};

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
    const QString t = s.Art == TArt::Text ? raw : raw.trimmed();
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

} // namespace

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

QString UrteilText(TImportZeile::Urteil urteil) {
    switch (urteil) {
    case TImportZeile::Neu:
        return QStringLiteral("neu");
    case TImportZeile::Aktualisiert:
        return QStringLiteral("aktualisiert");
    case TImportZeile::Abgelehnt:
        break;
    }
    return QStringLiteral("abgelehnt");
}

QByteArray ExportCSV(TDM& dm, TAustauschArt art, int* records) {
    const QList<TSpalte>& spalten = Spalten(art);
    const QHash<QString, TBezug> bezuege = LoadBezuege(dm, art);
    const QString key = spalten.first().Feld;
    QString sql = QStringLiteral("select * from ") + TableOf(art) + QStringLiteral(" order by ") + key;
    if (art == TAustauschArt::Artikel)
        sql = QStringLiteral("select A.*, P.PreisBez, P.PreisBez2, P.Menge, P.EinheitID, P.Wert, P.MWStSatz "
                             "from Artikel A left join ArtPreis P on P.ArtikelID = A.ArtikelID "
                             "order by A.ArtikelID, P.PreisID");
    TSQLiteQuery q(&dm.SQLiteDB1);
    q.RunSQL(sql);
    QString text = CSVLine(AustauschSpalten(art));
    QSet<qint64> seen;
    for (q.First(); !q.Eof(); q.Next()) {
        seen.insert(q.FieldByName(key)->AsLargeInt());
        QStringList row;
        for (const TSpalte& s : spalten)
            row << ExportValue(s, q.FindField(s.Feld), bezuege);
        text += CSVLine(row);
    }
    q.Close();
    if (records)
        *records = int(seen.size());
    return QByteArray("\xEF\xBB\xBF") + text.toUtf8();
}

bool IsDatabaseFile(TDM& dm, const QString& file) {
    const QString db = QFileInfo(dm.SQLiteDB1.FileName).absoluteFilePath();
    const QFileInfo target(file);
    if (target.exists() && QFileInfo(db).exists())
        return target.canonicalFilePath() == QFileInfo(db).canonicalFilePath();
    return target.absoluteFilePath() == db;
}

int ExportCSVFile(TDM& dm, TAustauschArt art, const QString& file) {
    // Replacing the database by its own export would lose every record.
    if (IsDatabaseFile(dm, file))
        throw ESQLiteError(
            QStringLiteral("Die Datei ") + file +
            QStringLiteral(" ist die geöffnete Datenbank und kann nicht überschrieben werden!"));
    int records = 0;
    const QByteArray data = ExportCSV(dm, art, &records);
    QSaveFile out(file);
    if (!out.open(QIODevice::WriteOnly) || out.write(data) != data.size() || !out.commit())
        throw ESQLiteError(QStringLiteral("Die Datei ") + file +
                           QStringLiteral(" konnte nicht geschrieben werden!\n") + out.errorString());
    return records;
}

QByteArray CSVDatei(const QList<QStringList>& rows) {
    QString text;
    for (const QStringList& row : rows)
        text += CSVLine(row);
    return QByteArray("\xEF\xBB\xBF") + text.toUtf8();
}

QString DecodeCSV(const QByteArray& data) {
    if (data.startsWith("\xEF\xBB\xBF"))
        return QString::fromUtf8(data.mid(3));
    QStringDecoder utf8(QStringDecoder::Utf8);
    const QString text = utf8(data);
    if (!utf8.hasError())
        return text;
    return Win1252::decode(data);
}

QList<QStringList> ParseCSV(const QString& text, QList<int>* lines) {
    QList<QStringList> records;
    QStringList fields;
    QString field;
    bool quoted = false, fieldStarted = false, any = false;
    int line = 1, recordLine = 1;
    auto endField = [&] {
        fields << field;
        field.clear();
        fieldStarted = false;
    };
    auto endRecord = [&] {
        endField();
        records << fields;
        if (lines)
            *lines << recordLine;
        fields.clear();
        any = false;
    };
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (quoted) {
            if (c == u'"') {
                if (i + 1 < text.size() && text[i + 1] == u'"') {
                    field += u'"';
                    ++i;
                } else {
                    quoted = false;
                }
            } else {
                if (c == u'\n')
                    ++line;
                field += c;
            }
            continue;
        }
        if (c == u'"' && !fieldStarted) {
            quoted = fieldStarted = any = true;
        } else if (c == u';') {
            endField();
            any = true;
        } else if (c == u'\r' || c == u'\n') {
            if (c == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n')
                ++i;
            endRecord();
            ++line;
            recordLine = line;
        } else {
            field += c;
            fieldStarted = any = true;
        }
    }
    if (any || !field.isEmpty())
        endRecord();
    return records;
}

TImportErgebnis ImportCSV(TDM& dm, TAustauschArt art, const QByteArray& data, bool aktualisieren,
                          bool ausfuehren, const std::function<void(int, int)>& fortschritt) {
    TImportErgebnis result;
    QList<int> lines;
    const QList<QStringList> records = ParseCSV(DecodeCSV(data), &lines);
    if (records.isEmpty()) {
        result.Fehler = QStringLiteral("Die Datei enthält keine Daten!");
        return result;
    }
    const QList<TSpalte>& spalten = Spalten(art);
    QHash<QString, QString> titel; // field -> column name, for the messages
    for (const TSpalte& s : spalten)
        titel.insert(s.Feld, s.Titel);

    // The header row names the columns; their order is free and a column may
    // be left out (a new record then gets the form's default for it).
    QList<int> spalteVon; // per file column: index into spalten, -1 empty header
    for (const QString& h : records.first()) {
        const QString name = h.trimmed();
        if (name.isEmpty()) {
            spalteVon << -1;
            continue;
        }
        int found = -1;
        for (int i = 0; i < spalten.size(); ++i)
            if (spalten[i].Titel.compare(name, Qt::CaseInsensitive) == 0)
                found = i;
        if (found < 0) {
            result.Fehler = QStringLiteral("Die Spalte \"") + name + QStringLiteral("\" ist für ") +
                            AustauschArtName(art) + QStringLiteral(" unbekannt!");
            return result;
        }
        if (spalteVon.contains(found)) {
            result.Fehler =
                QStringLiteral("Die Spalte \"") + name + QStringLiteral("\" steht zweimal in der Kopfzeile!");
            return result;
        }
        spalteVon << found;
    }
    if (!spalteVon.contains(0)) {
        result.Fehler = QStringLiteral("Die Spalte \"") + spalten.first().Titel + QStringLiteral("\" fehlt!");
        return result;
    }
    auto valueOf = [&](const QStringList& row, int spalte) -> const QString* {
        const int col = int(spalteVon.indexOf(spalte));
        return col >= 0 && col < row.size() ? &row[col] : nullptr;
    };

    // The records, grouped; blank lines are skipped.
    QList<TGruppe> gruppen;
    QList<int> gruppeVon(records.size(), -1);
    for (int r = 1; r < records.size(); ++r) {
        const QStringList& row = records[r];
        bool blank = true;
        for (const QString& f : row)
            blank = blank && f.trimmed().isEmpty();
        if (blank)
            continue;
        const QString nummer = valueOf(row, 0) ? valueOf(row, 0)->trimmed() : QString();
        TImportZeile z;
        z.Zeile = lines[r];
        z.Nummer = nummer;
        const int nameSpalte =
            art == TAustauschArt::Kunden && valueOf(row, 3) && valueOf(row, 3)->trimmed().isEmpty()
                ? 4 // no firm: the surname
                : (art == TAustauschArt::Artikel ? 2 : (art == TAustauschArt::Kunden ? 3 : 1));
        z.Name = valueOf(row, nameSpalte) ? valueOf(row, nameSpalte)->trimmed() : QString();
        result.Zeilen << z;
        const bool sameArticle = art == TAustauschArt::Artikel && !gruppen.isEmpty() && !nummer.isEmpty() &&
                                 gruppen.last().Nummer == nummer &&
                                 gruppeVon[gruppen.last().Zeilen.last()] == int(gruppen.size()) - 1 &&
                                 gruppen.last().Zeilen.last() == r - 1;
        if (sameArticle) {
            gruppen.last().Zeilen << r;
        } else {
            TGruppe g;
            g.Zeilen << r;
            g.Nummer = nummer;
            if (art == TAustauschArt::Kunden) {
                const QString* k = valueOf(row, 22);
                if (k && AllDigits(k->trimmed()))
                    g.Konzern = k->trimmed().toLongLong();
            }
            gruppen << g;
        }
        gruppeVon[r] = int(gruppen.size()) - 1;
    }
    // Which verdict row belongs to which record of the file.
    QHash<int, int> zeileVon;
    for (int i = 0, r = 1; r < records.size(); ++r)
        if (gruppeVon[r] >= 0)
            zeileVon.insert(r, i++);

    // A parent company must exist before its members are saved: parents that
    // come later in the file are taken first.
    QList<int> order;
    {
        QHash<qint64, int> pending;
        for (int g = 0; g < gruppen.size(); ++g)
            if (AllDigits(gruppen[g].Nummer))
                pending.insert(gruppen[g].Nummer.toLongLong(), g);
        QList<bool> done(gruppen.size(), false);
        bool progress = true;
        while (progress && order.size() < gruppen.size()) {
            progress = false;
            for (int g = 0; g < gruppen.size(); ++g) {
                if (done[g])
                    continue;
                const qint64 k = gruppen[g].Konzern;
                const bool waits = k >= 0 && pending.contains(k) && pending.value(k) != g;
                if (waits)
                    continue;
                order << g;
                done[g] = progress = true;
                if (AllDigits(gruppen[g].Nummer) && pending.value(gruppen[g].Nummer.toLongLong(), -1) == g)
                    pending.remove(gruppen[g].Nummer.toLongLong());
            }
        }
        for (int g = 0; g < gruppen.size(); ++g)
            if (!done[g])
                order << g;
    }

    const QHash<QString, TBezug> bezuege = LoadBezuege(dm, art);
    TCapturedMessages captured;
    TSQLiteDB& db = dm.SQLiteDB1;
    const QString key = spalten.first().Feld;
    // number -> first line it was seen on; "007" and "7" are the same number
    auto normal = [](const QString& n) { return AllDigits(n) ? QString::number(n.toLongLong()) : n; };
    QHash<QString, int> ersteZeile;
    for (const TGruppe& g : gruppen)
        if (!g.Nummer.isEmpty() && !ersteZeile.contains(normal(g.Nummer)))
            ersteZeile.insert(normal(g.Nummer), lines[g.Zeilen.first()]);
    // Without a single price column the file says nothing about price lines:
    // an updated article keeps its own.
    bool preisSpalten = false;
    for (int i : spalteVon)
        preisSpalten = preisSpalten || (i >= 0 && spalten[i].Preis);

    if (db.InTransaction())
        throw ESQLiteError(QStringLiteral("Während einer anderen Änderung kann nicht importiert werden!"));
    db.StartTransaction();
    qint64 hoechsteNeue = -1;
    try {
        int fertig = 0;
        for (int gi : order) {
            const TGruppe& g = gruppen[gi];
            TImportZeile::Urteil urteil = TImportZeile::Abgelehnt;
            QString grund;
            db.ExecSQL(QStringLiteral("SAVEPOINT import_zeile"));
            TSQLiteTable t(&db);
            try {
                if (!g.Nummer.isEmpty() && ersteZeile.value(normal(g.Nummer)) != lines[g.Zeilen.first()])
                    throw TRowRefused{QStringLiteral("Die Nummer ") + g.Nummer +
                                      QStringLiteral(" steht mehrfach in der Datei (zuerst in Zeile ") +
                                      QString::number(ersteZeile.value(normal(g.Nummer))) +
                                      QStringLiteral(")!")};
                const QStringList& first = records[g.Zeilen.first()];
                QList<TWert> werte;
                for (int i = 1; i < spalten.size(); ++i) {
                    if (spalten[i].Preis)
                        continue;
                    if (const QString* v = valueOf(first, i))
                        werte << TWert{spalten[i].Feld, ImportValue(spalten[i], *v, bezuege, dm)};
                }
                QVariant nummer;
                if (!g.Nummer.isEmpty())
                    nummer = ImportValue(spalten[0], g.Nummer, bezuege, dm);
                if (art == TAustauschArt::Artikel) {
                    for (const TWert& w : werte)
                        if (w.Feld == QLatin1String("LieferantenID") && !w.Wert.isNull()) {
                            TSQLiteQuery q(&db);
                            q.RunSQL(QStringLiteral(
                                         "select count(*) as anz from Lieferant where LieferantenID = ") +
                                     QString::number(w.Wert.toLongLong()));
                            if (q.FieldByName(QStringLiteral("anz"))->AsInteger() == 0)
                                throw TRowRefused{QStringLiteral("Der Lieferant ") + w.Wert.toString() +
                                                  QStringLiteral(" ist nicht vorhanden!")};
                        }
                }

                WireRules(dm, art, t);
                t.SetTableName(TableOf(art));
                t.SetFilter(nummer.isNull()
                                ? QStringLiteral("0 = 1")
                                : key + QStringLiteral(" = ") + QString::number(nummer.toLongLong()));
                t.Filtered = true;
                t.Open();
                const bool vorhanden = !t.IsEmpty();
                if (vorhanden && aktualisieren) {
                    t.Edit();
                    urteil = TImportZeile::Aktualisiert;
                } else {
                    t.Append();
                    if (!nummer.isNull())
                        t.FieldByName(key)->SetValue(nummer);
                    urteil = TImportZeile::Neu;
                }
                Assign(t, werte, titel);
                captured.Last.clear();
                t.Post();
                const qint64 id = t.FieldByName(key)->AsLargeInt();
                if (urteil == TImportZeile::Neu)
                    hoechsteNeue = qMax(hoechsteNeue, id);

                if (art == TAustauschArt::Artikel && preisSpalten) {
                    if (urteil == TImportZeile::Aktualisiert)
                        db.ExecSQL(QStringLiteral("delete from ArtPreis where ArtikelID = ") +
                                   QString::number(id));
                    TSQLiteTable preis(&db);
                    preis.SetTableName(QStringLiteral("ArtPreis"));
                    preis.SetFilter(QStringLiteral("ArtikelID = ") + QString::number(id));
                    preis.Filtered = true;
                    preis.BeforePost = [](TSQLiteBaseQuery* ds) {
                        RefusePriceLine(ds, QStringLiteral("Bitte einen MWSt.-Satz auswählen!"));
                    };
                    preis.Open();
                    int preisId = 0;
                    for (int r : g.Zeilen) {
                        try {
                            QList<TWert> pw;
                            bool leer = true;
                            for (int i = 0; i < spalten.size(); ++i) {
                                if (!spalten[i].Preis)
                                    continue;
                                if (const QString* v = valueOf(records[r], i)) {
                                    leer = leer && v->trimmed().isEmpty();
                                    pw << TWert{spalten[i].Feld, ImportValue(spalten[i], *v, bezuege, dm)};
                                }
                            }
                            if (leer)
                                continue;
                            preis.Append();
                            preis.FieldByName(QStringLiteral("ArtikelID"))->SetAsLargeInt(id);
                            preis.FieldByName(QStringLiteral("PreisID"))->SetAsInteger(++preisId);
                            Assign(preis, pw, titel);
                            captured.Last.clear();
                            preis.Post();
                        } catch (const EAbort&) {
                            throw TRowRefused{QStringLiteral("Preiszeile in Zeile ") +
                                              QString::number(lines[r]) + QStringLiteral(": ") +
                                              captured.Last};
                        } catch (const TRowRefused& e) {
                            throw TRowRefused{QStringLiteral("Preiszeile in Zeile ") +
                                              QString::number(lines[r]) + QStringLiteral(": ") + e.Grund};
                        }
                    }
                    preis.Close();
                }
                db.ExecSQL(QStringLiteral("RELEASE import_zeile"));
            } catch (const TRowRefused& e) {
                grund = e.Grund;
            } catch (const EAbort&) {
                grund = captured.Last.isEmpty() ? QStringLiteral("Der Datensatz wurde abgelehnt!")
                                                : captured.Last;
            } catch (const ESQLiteError& e) {
                grund = e.message();
            }
            if (!grund.isEmpty()) {
                urteil = TImportZeile::Abgelehnt;
                if (t.Active() && t.Editing())
                    t.Cancel();
                t.Close();
                db.ExecSQL(QStringLiteral("ROLLBACK TO import_zeile"));
                db.ExecSQL(QStringLiteral("RELEASE import_zeile"));
            }
            t.Close();
            for (int r : g.Zeilen) {
                TImportZeile& z = result.Zeilen[zeileVon.value(r)];
                z.Ergebnis = urteil;
                z.Grund = grund;
            }
            switch (urteil) {
            case TImportZeile::Neu:
                ++result.Neu;
                break;
            case TImportZeile::Aktualisiert:
                ++result.Aktualisiert;
                break;
            case TImportZeile::Abgelehnt:
                ++result.Abgelehnt;
                break;
            }
            if (fortschritt)
                fortschritt(++fertig, int(gruppen.size()));
        }
        // The number range proposes no number that the import has given.
        if (hoechsteNeue >= 0)
            db.ExecSQL(QStringLiteral("update set_nummer set Nummer = ") + QString::number(hoechsteNeue + 1) +
                       QStringLiteral(" where NumTyp = '") + RangeOf(art) +
                       QStringLiteral("' and Nummer <= ") + QString::number(hoechsteNeue));
        if (ausfuehren) {
            db.Commit();
            result.Ausgefuehrt = true;
        } else {
            db.Rollback();
        }
    } catch (...) {
        if (db.InTransaction()) {
            try {
                db.Rollback();
            } catch (...) {
            }
        }
        throw;
    }
    return result;
}
