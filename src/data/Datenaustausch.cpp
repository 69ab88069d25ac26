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
#include <QRegularExpression>
#include <QSaveFile>
#include <QSet>
#include <QStringDecoder>
#include <QTemporaryDir>

#include <algorithm>
#include <optional>

namespace {

// Klartext: the formatted text of a memo as plain text; written on export,
// read on import only when the row has no formatted text for the field.
enum class TArt { Text, Ganz, Dezimal, Datum, JaNein, Bezug, Klartext };

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
    case TArt::Klartext:
        return TDM::FormattedTextPlain ? TDM::FormattedTextPlain(f->AsString()) : f->AsString();
    case TArt::Text:
    case TArt::JaNein:
        break;
    }
    return f->AsString();
}

// A negative number as the export writes it (-2,5) or a list shows it
// (-1.234,50): a spreadsheet reads it as a number, never as a formula, so a
// negative amount keeps no apostrophe. A leading plus is not a number here:
// it is a telephone number's, which the apostrophe keeps in a spreadsheet.
bool PlainNumber(QStringView v) {
    static const QRegularExpression number(QStringLiteral("^-?(\\d+|\\d{1,3}(\\.\\d{3})+)(,\\d+)?$"));
    return number.match(v).hasMatch();
}

// A spreadsheet runs a cell that begins with =, +, - or @ as a formula. Such
// a cell is written with a leading apostrophe (which the spreadsheet shows as
// text and the import takes away again); so is one that begins with
// apostrophes followed by such a character, so that the import can tell the
// added apostrophe from the text's own.
bool NeedsApostrophe(QStringView v) {
    qsizetype i = 0;
    while (i < v.size() && v[i] == u'\'')
        ++i;
    if (i == v.size() || !QStringView(u"=+-@").contains(v[i]))
        return false;
    return i > 0 || !PlainNumber(v);
}

QString CSVField(const QString& text) {
    const QString v = NeedsApostrophe(text) ? u'\'' + text : text;
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
    return IsDatabaseOrCompanion(dm.SQLiteDB1.FileName, file);
}

int ExportCSVFile(TDM& dm, TAustauschArt art, const QString& file) {
    // Replacing the database by its own export would lose every record.
    if (IsDatabaseFile(dm, file))
        throw ESQLiteError(
            QStringLiteral("Die Datei ") + file +
            QStringLiteral(" ist die geöffnete Datenbank und kann nicht überschrieben werden!"));
    int records = 0;
    const QByteArray data = ExportCSV(dm, art, &records);
    if (const QString failure = WriteWholeFile(file, data); !failure.isEmpty())
        throw ESQLiteError(failure);
    return records;
}

QByteArray CSVDatei(const QList<QStringList>& rows) {
    QString text;
    for (const QStringList& row : rows)
        text += CSVLine(row);
    return QByteArray("\xEF\xBB\xBF") + text.toUtf8();
}

QString DecodeCSV(const QByteArray& data) {
    // Spreadsheets save "Unicode text" as UTF-16 with a byte order mark; one
    // without the mark still shows itself by the zero byte beside the first
    // letter of the header row.
    const std::optional<QStringConverter::Encoding> bom = QStringConverter::encodingForData(data);
    std::optional<QStringConverter::Encoding> utf16 =
        bom && *bom != QStringConverter::Utf8 ? bom : std::nullopt;
    if (!bom && data.size() >= 2 && (data[0] == 0) != (data[1] == 0))
        utf16 = data[0] == 0 ? QStringConverter::Utf16BE : QStringConverter::Utf16LE;
    if (utf16) {
        QStringDecoder decoder(*utf16);
        return decoder(data);
    }
    if (data.startsWith("\xEF\xBB\xBF"))
        return QString::fromUtf8(data.mid(3));
    QStringDecoder utf8(QStringDecoder::Utf8);
    const QString text = utf8(data);
    if (!utf8.hasError())
        return text;
    return Win1252::decode(data);
}

QList<QStringList> ParseCSV(const QString& text, QList<int>* lines, QString* fehler) {
    QList<QStringList> records;
    QStringList fields;
    QString field;
    bool quoted = false, closed = false, fieldStarted = false, any = false;
    int line = 1, recordLine = 1, quoteLine = 1;
    auto endField = [&] {
        fields << field;
        field.clear();
        fieldStarted = closed = false;
    };
    auto endRecord = [&] {
        endField();
        records << fields;
        if (lines)
            *lines << recordLine;
        fields.clear();
        any = false;
    };
    // A quote left open swallows every row after it into one field; one
    // closed too early leaves text behind it. Either way the rows of the file
    // are not what its author meant, so the file is refused.
    auto refuse = [&] {
        if (fehler)
            *fehler = QStringLiteral("In Zeile %1 beginnt ein Feld mit einem Anführungszeichen, das nicht "
                                     "richtig geschlossen wird. Die Datei wird nicht importiert!")
                          .arg(quoteLine);
        return QList<QStringList>();
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
                    closed = true;
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
            quoteLine = line;
        } else if (c == u';') {
            endField();
            any = true;
        } else if (c == u'\r' || c == u'\n') {
            if (c == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n')
                ++i;
            endRecord();
            ++line;
            recordLine = line;
        } else if (closed) {
            return refuse();
        } else {
            field += c;
            fieldStarted = any = true;
        }
    }
    if (quoted)
        return refuse();
    if (any || !field.isEmpty())
        endRecord();
    return records;
}

namespace {

// Strips the apostrophe the export put before a cell that a spreadsheet
// would have run as a formula.
QString WithoutApostrophe(const QString& v) {
    return v.startsWith(u'\'') && NeedsApostrophe(QStringView(v).mid(1)) ? v.mid(1) : v;
}

// The file, read and grouped: what both the check and the import work on.
struct TDatei {
    QList<QStringList> Records;
    QList<int> Lines;
    QList<int> SpalteVon; // per file column: index into the columns, -1 empty header
    QList<TGruppe> Gruppen;
    QList<int> Order;    // the order the groups are saved in
    QList<int> ZeileVon; // record -> its verdict row, -1 for a blank line
    bool PreisSpalten = false;

    const QString* ValueOf(const QStringList& row, int spalte) const {
        const int col = int(SpalteVon.indexOf(spalte));
        return col >= 0 && col < row.size() ? &row[col] : nullptr;
    }
};

// Reads the file into `d` and the verdict rows into `result`; false (and
// result.Fehler) when the whole file is refused.
bool ReadDatei(TAustauschArt art, const QByteArray& data, TDatei& d, TImportErgebnis& result) {
    d.Records = ParseCSV(DecodeCSV(data), &d.Lines, &result.Fehler);
    if (!result.Fehler.isEmpty())
        return false;
    if (d.Records.isEmpty()) {
        result.Fehler = QStringLiteral("Die Datei enthält keine Daten!");
        return false;
    }
    for (QStringList& row : d.Records)
        for (QString& f : row)
            f = WithoutApostrophe(f);
    const QList<TSpalte>& spalten = Spalten(art);

    // The header row names the columns; their order is free and a column may
    // be left out (a new record then gets the form's default for it).
    for (const QString& h : d.Records.first()) {
        const QString name = h.trimmed();
        if (name.isEmpty()) {
            d.SpalteVon << -1;
            continue;
        }
        int found = -1;
        for (int i = 0; i < spalten.size(); ++i)
            if (spalten[i].Titel.compare(name, Qt::CaseInsensitive) == 0)
                found = i;
        if (found < 0) {
            result.Fehler = QStringLiteral("Die Spalte \"") + name + QStringLiteral("\" ist für ") +
                            AustauschArtName(art) + QStringLiteral(" unbekannt!");
            return false;
        }
        if (d.SpalteVon.contains(found)) {
            result.Fehler =
                QStringLiteral("Die Spalte \"") + name + QStringLiteral("\" steht zweimal in der Kopfzeile!");
            return false;
        }
        d.SpalteVon << found;
        d.PreisSpalten = d.PreisSpalten || spalten[found].Preis;
    }
    if (!d.SpalteVon.contains(0)) {
        result.Fehler = QStringLiteral("Die Spalte \"") + spalten.first().Titel + QStringLiteral("\" fehlt!");
        return false;
    }

    // The records, grouped; blank lines are skipped.
    d.ZeileVon = QList<int>(d.Records.size(), -1);
    for (int r = 1; r < d.Records.size(); ++r) {
        const QStringList& row = d.Records[r];
        bool blank = true;
        for (const QString& f : row)
            blank = blank && f.trimmed().isEmpty();
        if (blank)
            continue;
        const QString nummer = d.ValueOf(row, 0) ? d.ValueOf(row, 0)->trimmed() : QString();
        TImportZeile z;
        z.Zeile = d.Lines[r];
        z.Nummer = nummer;
        const int nameSpalte =
            art == TAustauschArt::Kunden && d.ValueOf(row, 3) && d.ValueOf(row, 3)->trimmed().isEmpty()
                ? 4 // no firm: the surname
                : (art == TAustauschArt::Artikel ? 2 : (art == TAustauschArt::Kunden ? 3 : 1));
        z.Name = d.ValueOf(row, nameSpalte) ? d.ValueOf(row, nameSpalte)->trimmed() : QString();
        d.ZeileVon[r] = int(result.Zeilen.size());
        result.Zeilen << z;
        const bool sameArticle = art == TAustauschArt::Artikel && !d.Gruppen.isEmpty() && !nummer.isEmpty() &&
                                 d.Gruppen.last().Nummer == nummer && d.Gruppen.last().Zeilen.last() == r - 1;
        if (sameArticle) {
            d.Gruppen.last().Zeilen << r;
            continue;
        }
        TGruppe g;
        g.Zeilen << r;
        g.Nummer = nummer;
        if (art == TAustauschArt::Kunden) {
            const QString* k = d.ValueOf(row, 22);
            if (k && AllDigits(k->trimmed()))
                g.Konzern = k->trimmed().toLongLong();
        }
        d.Gruppen << g;
    }

    // A parent company must exist before its members are saved: a member
    // whose parent comes later in the file takes the parent (and its parent,
    // and so on) first. Each group is looked at once, so the order costs no
    // more than the file; a circle of parents stops where it closes.
    QHash<qint64, int> gruppeMit; // number -> its first group
    for (int g = 0; g < d.Gruppen.size(); ++g)
        if (AllDigits(d.Gruppen[g].Nummer) && d.Gruppen[g].Nummer.size() <= 15)
            gruppeMit.insert(d.Gruppen[g].Nummer.toLongLong(),
                             gruppeMit.value(d.Gruppen[g].Nummer.toLongLong(), g));
    QList<bool> genommen(d.Gruppen.size(), false);
    QList<int> kette;
    for (int g = 0; g < d.Gruppen.size(); ++g) {
        kette.clear();
        for (int c = g; c >= 0 && !genommen[c];) {
            genommen[c] = true;
            kette << c;
            const qint64 k = d.Gruppen[c].Konzern;
            c = k >= 0 ? gruppeMit.value(k, -1) : -1;
        }
        for (auto it = kette.crbegin(); it != kette.crend(); ++it)
            d.Order << *it;
    }
    return true;
}

// The other column of the same field (plain and formatted text), -1 none.
int Partner(const QList<TSpalte>& spalten, int i) {
    for (int j = 0; j < spalten.size(); ++j)
        if (j != i && spalten[j].Feld == spalten[i].Feld)
            return j;
    return -1;
}

// Runs the groups of the file through the rules on `dm` inside the
// transaction the caller opened, filling the verdicts. False when the user
// cancelled through `fortschritt`.
bool RunRules(TDM& dm, TAustauschArt art, const TDatei& d, bool aktualisieren,
              const TImportFortschritt& fortschritt, TImportErgebnis& result) {
    const QList<TSpalte>& spalten = Spalten(art);
    QHash<QString, QString> titel; // field -> column name, for the messages
    for (const TSpalte& s : spalten)
        if (!titel.contains(s.Feld))
            titel.insert(s.Feld, s.Titel);
    const QHash<QString, TBezug> bezuege = LoadBezuege(dm, art);
    TCapturedMessages captured;
    TSQLiteDB& db = dm.SQLiteDB1;
    const QString key = spalten.first().Feld;
    // number -> first line it was seen on; "007" and "7" are the same number
    auto normal = [](const QString& n) { return AllDigits(n) ? QString::number(n.toLongLong()) : n; };
    QHash<QString, int> ersteZeile;
    for (const TGruppe& g : d.Gruppen)
        if (!g.Nummer.isEmpty() && !ersteZeile.contains(normal(g.Nummer)))
            ersteZeile.insert(normal(g.Nummer), d.Lines[g.Zeilen.first()]);

    // The datasets live for the whole file, so each table is looked up once:
    // `neu` takes the new records (opened empty, and again after a few hundred
    // so its buffer stays small), `alt` the record that is updated. A record
    // is looked for only when its number is known to exist.
    TSQLiteTable neu(&db), alt(&db);
    for (TSQLiteTable* ds : {&neu, &alt}) {
        WireRules(dm, art, *ds);
        ds->SetTableName(TableOf(art));
        ds->Filtered = true;
    }
    QSet<qint64> vorhanden;
    {
        TSQLiteQuery q(&db);
        q.RunSQL(QStringLiteral("select ") + key + QStringLiteral(" from ") + TableOf(art));
        for (q.First(); !q.Eof(); q.Next())
            vorhanden.insert(q.Fields(0)->AsLargeInt());
    }
    TSQLiteTable preis(&db);
    preis.SetTableName(QStringLiteral("ArtPreis"));
    preis.Filtered = true;
    preis.BeforePost = [](TSQLiteBaseQuery* ds) {
        RefusePriceLine(ds, QStringLiteral("Bitte einen MWSt.-Satz auswählen!"));
    };

    qint64 hoechsteNeue = -1;
    int fertig = 0;
    for (int gi : d.Order) {
        const TGruppe& g = d.Gruppen[gi];
        TImportZeile::Urteil urteil = TImportZeile::Abgelehnt;
        QString grund;
        db.ExecSQL(QStringLiteral("SAVEPOINT import_zeile"));
        try {
            if (!g.Nummer.isEmpty() && ersteZeile.value(normal(g.Nummer)) != d.Lines[g.Zeilen.first()])
                throw TRowRefused{QStringLiteral("Die Nummer ") + g.Nummer +
                                  QStringLiteral(" steht mehrfach in der Datei (zuerst in Zeile ") +
                                  QString::number(ersteZeile.value(normal(g.Nummer))) + QStringLiteral(")!")};
            const QStringList& first = d.Records[g.Zeilen.first()];
            QList<TWert> werte;
            for (int i = 1; i < spalten.size(); ++i) {
                if (spalten[i].Preis)
                    continue;
                const QString* v = d.ValueOf(first, i);
                if (!v)
                    continue;
                // A formatted field may come twice: as plain text and as
                // formatted text. The formatted cell wins unless it is empty.
                const int partner = Partner(spalten, i);
                if (const QString* anderer = partner >= 0 ? d.ValueOf(first, partner) : nullptr) {
                    const bool formatiert = spalten[i].Art != TArt::Klartext;
                    if (formatiert == (formatiert ? v : anderer)->isEmpty())
                        continue;
                }
                const QVariant wert = ImportValue(spalten[i], *v, bezuege, dm);
                werte << TWert{spalten[i].Feld, wert};
            }
            QVariant nummer;
            if (!g.Nummer.isEmpty())
                nummer = ImportValue(spalten[0], g.Nummer, bezuege, dm);
            if (art == TAustauschArt::Artikel) {
                for (const TWert& w : werte)
                    if (w.Feld == QLatin1String("LieferantenID") && !w.Wert.isNull()) {
                        TSQLiteQuery q(&db);
                        q.RunSQL(
                            QStringLiteral("select count(*) as anz from Lieferant where LieferantenID = ") +
                            QString::number(w.Wert.toLongLong()));
                        if (q.FieldByName(QStringLiteral("anz"))->AsInteger() == 0)
                            throw TRowRefused{QStringLiteral("Der Lieferant ") + w.Wert.toString() +
                                              QStringLiteral(" ist nicht vorhanden!")};
                    }
            }

            if (aktualisieren && !nummer.isNull() && vorhanden.contains(nummer.toLongLong())) {
                alt.SetFilter(key + QStringLiteral(" = ") + QString::number(nummer.toLongLong()));
                alt.Open();
            }
            TSQLiteTable& t = alt.Active() && !alt.IsEmpty() ? alt : neu;
            if (&t == &alt) {
                t.Edit();
                urteil = TImportZeile::Aktualisiert;
            } else {
                if (neu.Active() && neu.RecordCount() >= 256)
                    neu.Close();
                if (!neu.Active()) {
                    neu.SetFilter(QStringLiteral("0 = 1"));
                    neu.Open();
                }
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

            if (art == TAustauschArt::Artikel && d.PreisSpalten) {
                if (urteil == TImportZeile::Aktualisiert)
                    db.ExecSQL(QStringLiteral("delete from ArtPreis where ArtikelID = ") +
                               QString::number(id));
                preis.SetFilter(QStringLiteral("ArtikelID = ") + QString::number(id));
                preis.Open();
                int preisId = 0;
                for (int r : g.Zeilen) {
                    try {
                        QList<TWert> pw;
                        bool leer = true;
                        for (int i = 0; i < spalten.size(); ++i) {
                            if (!spalten[i].Preis)
                                continue;
                            if (const QString* v = d.ValueOf(d.Records[r], i)) {
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
                                          QString::number(d.Lines[r]) + QStringLiteral(": ") + captured.Last};
                    } catch (const TRowRefused& e) {
                        throw TRowRefused{QStringLiteral("Preiszeile in Zeile ") +
                                          QString::number(d.Lines[r]) + QStringLiteral(": ") + e.Grund};
                    }
                }
            }
            db.ExecSQL(QStringLiteral("RELEASE import_zeile"));
            vorhanden.insert(id);
        } catch (const TRowRefused& e) {
            grund = e.Grund;
        } catch (const EAbort&) {
            grund =
                captured.Last.isEmpty() ? QStringLiteral("Der Datensatz wurde abgelehnt!") : captured.Last;
        } catch (const ESQLiteError& e) {
            grund = e.message();
        }
        for (TSQLiteTable* ds : {&neu, &alt, &preis}) {
            if (ds->Active() && ds->Editing())
                ds->Cancel();
            // A refused record may have left a row behind that is rolled back now.
            if (ds != &neu || !grund.isEmpty())
                ds->Close();
        }
        if (!grund.isEmpty()) {
            urteil = TImportZeile::Abgelehnt;
            db.ExecSQL(QStringLiteral("ROLLBACK TO import_zeile"));
            db.ExecSQL(QStringLiteral("RELEASE import_zeile"));
        }
        for (int r : g.Zeilen) {
            TImportZeile& z = result.Zeilen[d.ZeileVon[r]];
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
        if (fortschritt && !fortschritt(++fertig, int(d.Gruppen.size())))
            return false;
    }
    // The number range proposes no number that the import has given.
    if (hoechsteNeue >= 0)
        db.ExecSQL(QStringLiteral("update set_nummer set Nummer = ") + QString::number(hoechsteNeue + 1) +
                   QStringLiteral(" where NumTyp = '") + RangeOf(art) + QStringLiteral("' and Nummer <= ") +
                   QString::number(hoechsteNeue));
    return true;
}

// The first row whose verdict differs from the preview's, as a text; empty
// when every verdict is the same.
QString Abweichung(const TImportErgebnis& vorschau, const TImportErgebnis& jetzt) {
    for (int i = 0; i < jetzt.Zeilen.size(); ++i) {
        const TImportZeile& z = jetzt.Zeilen[i];
        if (i >= vorschau.Zeilen.size())
            return QStringLiteral("Zeile %1 wurde nicht geprüft").arg(z.Zeile);
        const TImportZeile& v = vorschau.Zeilen[i];
        if (v.Zeile != z.Zeile || v.Ergebnis != z.Ergebnis || v.Grund != z.Grund)
            return QStringLiteral("Zeile %1: geprüft „%2“, jetzt „%3“")
                .arg(z.Zeile)
                .arg(UrteilText(v.Ergebnis), UrteilText(z.Ergebnis));
    }
    if (vorschau.Zeilen.size() != jetzt.Zeilen.size())
        return QStringLiteral("die Datei hat jetzt %1 statt %2 Zeilen")
            .arg(jetzt.Zeilen.size())
            .arg(vorschau.Zeilen.size());
    return QString();
}

void RollbackQuietly(TSQLiteDB& db) {
    if (!db.InTransaction())
        return;
    try {
        db.Rollback();
    } catch (...) {
    }
}

} // namespace

TImportErgebnis ImportCSV(TDM& dm, TAustauschArt art, const QByteArray& data, bool aktualisieren,
                          bool ausfuehren, const TImportFortschritt& fortschritt,
                          const TImportErgebnis* vorschau) {
    TImportErgebnis result;
    TDatei d;
    if (!ReadDatei(art, data, d, result))
        return result;
    if (dm.SQLiteDB1.InTransaction())
        throw ESQLiteError(QStringLiteral("Während einer anderen Änderung kann nicht importiert werden!"));
    const int total = int(d.Gruppen.size());

    if (!ausfuehren) {
        // The check runs every rule on a copy of the database made for it: it
        // writes as the import would, but no lock on the database itself is
        // held for it, however long the file, and other programs go on reading
        // and writing meanwhile. Only the copy reads the database, briefly.
        QTemporaryDir dir;
        if (!dir.isValid())
            throw ESQLiteError(
                QStringLiteral("Für die Prüfung der Datei kann keine Arbeitskopie der Datenbank "
                               "angelegt werden: ") +
                dir.errorString());
        const QString copy = dir.filePath(QStringLiteral("Pruefung.DB"));
        try {
            dm.SQLiteDB1.BackupTo(copy, [&](int, int) {
                result.Abgebrochen = fortschritt && !fortschritt(0, total);
                return !result.Abgebrochen;
            });
        } catch (const ESQLiteError&) {
            if (!result.Abgebrochen)
                throw;
        }
        if (result.Abgebrochen)
            return result;
        TDM pruefung;
        pruefung.OpenDatabaseFile(copy);
        pruefung.SQLiteDB1.StartTransaction();
        try {
            result.Abgebrochen = !RunRules(pruefung, art, d, aktualisieren, fortschritt, result);
        } catch (...) {
            RollbackQuietly(pruefung.SQLiteDB1);
            throw;
        }
        RollbackQuietly(pruefung.SQLiteDB1);
        pruefung.SQLiteDB1.Close();
        return result;
    }

    TSQLiteDB& db = dm.SQLiteDB1;
    db.StartTransaction();
    try {
        result.Abgebrochen = !RunRules(dm, art, d, aktualisieren, fortschritt, result);
        const QString abweichung =
            vorschau && !result.Abgebrochen ? Abweichung(*vorschau, result) : QString();
        if (!abweichung.isEmpty())
            result.Fehler = QStringLiteral("Seit der Prüfung hat sich der Datenbestand geändert (") +
                            abweichung +
                            QStringLiteral("). Es wurde nichts importiert; bitte die Datei erneut prüfen.");
        if (result.Abgebrochen || !result.Fehler.isEmpty()) {
            db.Rollback();
        } else {
            db.Commit();
            result.Ausgefuehrt = true;
        }
    } catch (...) {
        RollbackQuietly(db);
        throw;
    }
    return result;
}
