// The revenue figures of the statistics page, computed from the price lines
// of invoices, partial invoices, cancellation invoices and credit notes (the
// last two count negative). Nothing here knows a widget: each function runs
// its statements and returns the entries a list shows, already formatted.
#pragma once

#include <QDate>
#include <QList>
#include <QString>
#include <QStringList>

class TSQLiteDB;

// How a list entry is drawn.
enum class TStatLook { Plain, Bold, BoldGrey };

struct TStatEintrag {
    QString Caption;
    QStringList Spalten; // the columns after the caption, formatted
    TStatLook Look = TStatLook::Plain;
    QDate Tag; // the day of a day entry; invalid for every other entry
};

// The period (both days included) and the chosen article group; an empty
// group means every group.
struct TStatFilter {
    QDate Von;
    QDate Bis;
    QString ArtGru;
};

// Creates the index the revenue statements read price lines through, when
// it is missing. Without it they work all the same, only slower: a file that
// cannot be written to is left as it is.
void StatPrepareIndex(TSQLiteDB& db);

// One entry per day with revenue documents: date, number of documents,
// revenue per document, revenue; then "Gesamt" when there was any document.
QList<TStatEintrag> StatUmsatzProTag(TSQLiteDB& db, const TStatFilter& filter);

// Article groups, within each its customer groups (caption indented by three
// blanks), within each its articles (six blanks), each with the number of
// positions and the revenue; an empty entry after each article group; then
// "Gesamt" when any position counted.
QList<TStatEintrag> StatUmsatzDetails(TSQLiteDB& db, const TStatFilter& filter);

// Revenue per customer ("number - name"); "Gesamt" when the sum is above zero.
QList<TStatEintrag> StatUmsatzProKunde(TSQLiteDB& db, const TStatFilter& filter);

// Revenue per postcode, or with bundesland per first digit of the postcode
// named after its Austrian federal state; "Gesamt" when the sum is above zero.
QList<TStatEintrag> StatUmsatzProPLZ(TSQLiteDB& db, const TStatFilter& filter, bool bundesland);

// The look of an entry of the details list, from its caption: article groups
// and "Gesamt" bold, customer groups bold grey, articles plain.
TStatLook StatDetailsLook(const QString& caption);

// One article group's revenue in each month of a year (index 0 is January).
struct TStatJahrSerie {
    QString Name;
    QList<double> Monate;
};

// The year overview: one series per article group by name, or only the chosen
// group's series, twelve months each with zero where nothing was earned.
QList<TStatJahrSerie> StatJahresUebersicht(TSQLiteDB& db, int jahr, const QString& artGru);
