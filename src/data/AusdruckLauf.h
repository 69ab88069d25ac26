// The print runs under way, each recorded with its process and machine in
// AusdruckLauf, a table of the program's own beside the print buffer: a run
// records itself in the transaction that writes its buffer rows, so rows
// that no running process owns can be told apart and removed.
#pragma once

class TDM;

// Removes the buffer rows that a killed print run left behind: rows of a run
// whose process no longer runs on this machine go, rows of a running
// instance stay; a run of another machine sharing the file counts as ended a
// day after it began; rows of no recorded run are from a program that did
// not record its runs yet and go as well. Writes nothing when there is
// nothing to remove. A failure (a locked or read-only file) is no reason not
// to open the database and is passed over.
void RemoveAbandonedPrintRuns(TDM& dm);
