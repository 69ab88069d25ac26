// The parts of the CSV exchange that its files share: the columns of the
// three kinds of records with the rules for their values
// (DatenaustauschSpalten.cpp), and the CSV format's own helpers
// (DatenaustauschCSV.cpp).
#pragma once

#include "Datenaustausch.h"

#include <QHash>
#include <QList>
#include <QString>
#include <QVariant>

class TDM;
class TField;
class TSQLiteBaseQuery;
class TSQLiteTable;

namespace Austausch {

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
    bool Eigen = false; // a customer's e-invoice setting, kept in KundeERechnung
};

// The columns of a kind of record, in file order; the first is the number.
const QList<TSpalte>& Spalten(TAustauschArt art);
// The table the records are stored in.
QString TableOf(TAustauschArt art);
// The number range of a kind of record (named like its key column).
QString RangeOf(TAustauschArt art);

// The names of a reference table by key, and the keys by name (the first
// key of a name that occurs twice; names compared without regard to case).
struct TBezug {
    QHash<qint64, QString> Namen;
    QHash<QString, qint64> Keys;
};

// The reference tables the columns of a kind of record name, by table.
QHash<QString, TBezug> LoadBezuege(TDM& dm, TAustauschArt art);
QString ExportValue(const TSpalte& s, const TField* f, const QHash<QString, TBezug>& bezuege);

struct TWert {
    QString Feld;
    QVariant Wert; // null: clear the field
};

class TRowRefused {
public:
    QString Grund;
};

// The e-invoice settings of a customer row of the file (its Eigen columns
// that are present) checked and merged with what is stored: TRowRefused for
// a wrong Leitweg-ID or an unknown format. Written after the row is saved.
struct TEigeneWerte {
    bool Leitweg = false, Format = false; // which columns the file has
    QString LeitwegID;
    QString FormatCode;
};
TEigeneWerte ReadEigene(TAustauschArt art, const QList<QPair<int, QString>>& werte);
void WriteEigene(TDM& dm, qint64 kundenId, const TEigeneWerte& e);

// True when the text is digits only (and not empty).
bool AllDigits(const QString& s);
// The value of one field of the file for its column; TRowRefused when the
// text cannot be one.
QVariant ImportValue(const TSpalte& s, const QString& raw, const QHash<QString, TBezug>& bezuege, TDM& dm);
// Sets the fields; TRowRefused when a text is longer than its field.
void Assign(TSQLiteBaseQuery& ds, const QList<TWert>& werte, const QHash<QString, QString>& titel);
// The rules of the forms on a dataset of the import's own, so the lists and
// forms of the program keep their rows and positions.
void WireRules(TDM& dm, TAustauschArt art, TSQLiteTable& t);

// ---------------------------------------------------------------------------
// The CSV format

// One line of the file, fields quoted where needed, with CRLF.
QString CSVLine(const QStringList& fields);
// Strips the apostrophe the export put before a cell that a spreadsheet
// would have run as a formula.
QString WithoutApostrophe(const QString& v);

} // namespace Austausch
