// The statements of the customer, supplier and article lists: one condition
// per filter slot, built from what the user typed, joined with the base text
// of the list and the chosen sort.
//
// Typed text never reaches the statement as SQL: quotes are doubled and the
// LIKE wildcards "%" and "_" are escaped, so they stand for themselves; only
// "*" is a wildcard (any run of characters).
#pragma once

#include <QString>
#include <QStringList>
#include <Qt>

namespace ListFilter {

// Text as an SQL literal exactly as given: single quotes doubled, no trimming.
QString QuoteExact(const QString& text);

// The typed text as a LIKE pattern literal with its escape clause, e.g.
// "'Mü%er%' escape '\'": "*" becomes "%", "%", "_" and "\" are escaped. With
// anywhere the text may begin anywhere, otherwise it must begin the value; a
// text may always go on after the typed part.
QString LikePattern(const QString& typed, bool anywhere);

// "column like <pattern>", or empty when nothing is typed.
QString LikeCondition(const QString& column, const QString& typed, bool anywhere = false);

// "column = number" when typed holds only the digits 0 to 9, else empty: a
// number field never puts anything else into a statement.
QString NumberCondition(const QString& column, const QString& typed);

// "column = 'value'" for a name chosen in a list; empty when value is empty.
QString EqualsCondition(const QString& column, const QString& value);

// A three-state check box: ticked "column = 'J'", not ticked "column = 'N'",
// undetermined empty.
QString CheckCondition(const QString& column, Qt::CheckState state);

// The customer name filter on one alias (K, Ko or H): the company, surname,
// first name or additional name begins with the typed text.
QString KundenNameCondition(const QString& alias, const QString& typed);

// The article description filter: the short description contains the typed
// text anywhere, letters compared without regard to case.
QString ArtikelBezCondition(const QString& typed);

// The statement from base, the non-empty slots in order and the sort clause.
QString JoinSlots(const QString& base, const QStringList& conds, const QString& sortClause);

// The captions of the sort list and their order-by clauses, in the order of the list.
QStringList KundenSortCaptions();
QStringList LieferantenSortCaptions();
QStringList ArtikelSortCaptions();
QString KundenSortClause(int index);
QString LieferantenSortClause(int index);
QString ArtikelSortClause(int index);

// The condition of one slot (1-based) of a frame from its control's value:
// the typed text of a text or number field, the chosen name of a group list
// (empty for "- Alle -"), the supplier number of the article supplier list
// (empty for "- Alle -"), or for a three-state check box the value of
// CheckValue. An empty value, or a slot number outside the frame, gives an
// empty (inactive) slot.
QString CheckValue(Qt::CheckState state);
QString KundenCondition(int slot, const QString& value);
QString LieferantenCondition(int slot, const QString& value);
QString ArtikelCondition(int slot, const QString& value);

// Slot counts of the frames.
constexpr int KundenSlots = 10;
constexpr int LieferantenSlots = 6;
constexpr int ArtikelSlots = 6;

// The full list statements. conds holds one condition per slot (index 0 is slot
// 1); a shorter list counts the missing slots as empty.
QString KundenSQL(const QStringList& conds, int sort);
QString LieferantenSQL(const QStringList& conds, int sort);
QString ArtikelSQL(const QStringList& conds, int sort);

} // namespace ListFilter
