// Customers, suppliers and articles (with their price lines) in and out of
// CSV files that German spreadsheet programs open directly: semicolons
// between the fields, decimal comma, dates as TT.MM.JJJJ, UTF-8 with a byte
// order mark, one header row with the column names. The import runs every
// row through the same rules as the forms and writes the good rows in one
// transaction; a refused row leaves nothing of itself behind.
#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <functional>

class TDM;

enum class TAustauschArt { Kunden, Lieferanten, Artikel };

// "Kunden", "Lieferanten", "Artikel".
QString AustauschArtName(TAustauschArt art);

// The column names of the header row, in file order.
QStringList AustauschSpalten(TAustauschArt art);

// The file contents of an export: every record by number (articles one row
// per price line). Raises ESQLiteError on a database error.
QByteArray ExportCSV(TDM& dm, TAustauschArt art, int* records = nullptr);
// Whether `file` is the open database file or its journal or write-ahead log.
bool IsDatabaseFile(TDM& dm, const QString& file);
// Writes ExportCSV into `file` (replacing it only once it is complete);
// returns the number of records. Raises ESQLiteError with a German message,
// also for the database file itself.
int ExportCSVFile(TDM& dm, TAustauschArt art, const QString& file);

// A CSV file of the given rows (the first one the header), as the export
// writes it: byte order mark, semicolons, quotes where needed, CRLF.
QByteArray CSVDatei(const QList<QStringList>& rows);

// The fields of a CSV text; a field in double quotes may hold semicolons,
// quotes (doubled) and line breaks. `lines` gets the file line each record
// starts on. A quote that is never closed, or text after a closing quote,
// gives no records and the German reason, naming the line, in `fehler`.
QList<QStringList> ParseCSV(const QString& text, QList<int>* lines = nullptr, QString* fehler = nullptr);
// The text of a CSV file: UTF-16 or UTF-32 with its byte order mark, UTF-16
// without one, UTF-8 (with or without byte order mark), else Windows-1252 as
// spreadsheet programs save "CSV" here.
QString DecodeCSV(const QByteArray& data);

struct TImportZeile {
    enum Urteil { Neu, Aktualisiert, Abgelehnt };
    int Zeile = 0;  // line of the file the row starts on (the header is line 1)
    QString Nummer; // the record number as in the file
    QString Name;   // firm or name, or the article's short description
    Urteil Ergebnis = Abgelehnt;
    QString Grund; // why it was refused
};

struct TImportErgebnis {
    QString Fehler; // the whole file was refused (no header, unknown column ...)
    QList<TImportZeile> Zeilen;
    int Neu = 0, Aktualisiert = 0, Abgelehnt = 0;
    bool Ausgefuehrt = false; // the good rows were committed
    bool Abgebrochen = false; // the user cancelled; nothing was changed
};

// Progress of a check or an import: (records done, records in the file);
// returns false to cancel.
using TImportFortschritt = std::function<bool(int done, int total)>;

// The German text of a verdict: "neu", "aktualisiert", "abgelehnt".
QString UrteilText(TImportZeile::Urteil urteil);

// Checks every row of the CSV data against the rules and, when `ausfuehren`,
// imports the good ones in one transaction. Without `ausfuehren` (the
// preview) the rules run on a copy of the database made for the check, so the
// database itself is only read for a moment, whatever the size of the file.
// Rows whose number exists are updated only with `aktualisieren`, else
// refused. `fortschritt` is called after every record and may cancel: the
// result is then Abgebrochen and nothing was changed. With `vorschau` (the
// result of the preview the user saw) the import commits only when every
// verdict is the same as there, else it changes nothing and says why in
// Fehler. Nothing is half-imported: a database error rolls back the whole
// import and is raised as ESQLiteError. Boxes of the rules are not shown;
// their text is the row's reason.
TImportErgebnis ImportCSV(TDM& dm, TAustauschArt art, const QByteArray& data, bool aktualisieren,
                          bool ausfuehren, const TImportFortschritt& fortschritt = {},
                          const TImportErgebnis* vorschau = nullptr);
