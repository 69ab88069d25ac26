// Transactions that a dataset event opens for a change of several statements
// (a row and its dependent rows). Inside a transaction somebody else opened,
// the statements become part of that one and the flag stays false, so only
// the opener commits or rolls back.
#pragma once

#include <functional>

class TSQLiteDB;

// Opens a transaction unless one is running; ours tells whether this call opened it.
void BeginOwnTransaction(TSQLiteDB& db, bool& ours);
// Commits or rolls back the transaction when ours is set, and clears it. A
// failing rollback is ignored: the error that led to it is the one to report.
void EndOwnTransaction(TSQLiteDB& db, bool& ours, bool commit);
// Runs the statements all or nothing.
void AllOrNothing(TSQLiteDB& db, const std::function<void()>& statements);
