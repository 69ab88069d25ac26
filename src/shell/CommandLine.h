// The command line before anything else runs: "--help", "--version", and
// the refusal of an option the program does not know (a typing slip in a
// scheduled job must not start the window and wait for nobody).
#pragma once

#include <QString>

// Every command with its arguments and exit codes, in German.
QString HelpText();

// Handles --help, --version and unknown options; *handled tells whether the
// program ends with the returned exit code.
int EarlyCommandLine(int argc, char** argv, bool* handled);
