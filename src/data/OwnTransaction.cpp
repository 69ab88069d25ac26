#include "OwnTransaction.h"

#include "SQLite.h"

void BeginOwnTransaction(TSQLiteDB& db, bool& ours) {
    if (ours && db.InTransaction())
        return;
    ours = false;
    if (!db.InTransaction()) {
        db.StartTransaction();
        ours = true;
    }
}

void EndOwnTransaction(TSQLiteDB& db, bool& ours, bool commit) {
    if (!ours)
        return;
    ours = false;
    if (!db.InTransaction())
        return;
    if (commit) {
        db.Commit();
        return;
    }
    try {
        db.Rollback();
    } catch (...) {
    }
}

void AllOrNothing(TSQLiteDB& db, const std::function<void()>& statements) {
    bool ours = false;
    BeginOwnTransaction(db, ours);
    try {
        statements();
    } catch (...) {
        EndOwnTransaction(db, ours, false);
        throw;
    }
    EndOwnTransaction(db, ours, true);
}
