#pragma once
// The frame every maintenance command that reads a document database shares.

#include <QString>
#include <QTextStream>

#include <functional>

class TDM;

// Runs `work` on the database FILE with a data module of its own: a missing
// file is refused (opening it would create an empty database under its name),
// a database of another version too (a command only reads, it never
// upgrades), every box the data module shows becomes a line on `err`, and an
// error that escapes `work` is written there as well. The exit code is what
// `work` returns, else 1.
int RunOnDatabaseFile(const QString& file, QTextStream& err, const std::function<int(TDM&)>& work);

// A command never writes its output onto the database it reads, nor onto the
// journal or write-ahead log beside it: that would destroy the data, or a
// commit of another program that has the file open. True, with a German
// line on `err`, when `output` is one of these files.
bool OutputIsDatabase(const QString& database, const QString& output, QTextStream& err);
