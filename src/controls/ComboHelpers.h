// Filling pick lists from queries.
#pragma once

class QComboBox;
class TSQLiteQuery;

// Clears the list and adds the first column of every row from the query's
// current row to its end (the query must be open and is left at its end).
// With withAll the list starts with "- Alle -", which is then selected.
void FillComboFromQuery(TSQLiteQuery& query, QComboBox* list, bool withAll);

// Fills the list with the names of customer groups (kind 1), supplier groups
// (2), article groups (3) or units (4), sorted by name. Any other kind does nothing.
void FillGroupCombo(TSQLiteQuery& query, QComboBox* list, int kind, bool withAll);
