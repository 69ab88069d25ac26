// Saving the general settings: which database file the program uses, the
// SMTP server for sending documents, and whether the main window remembers
// its place.
#pragma once

#include "QuorventFunctions.h"

#include <QString>

class TDM;

// Stores a set_allg value exactly as given (an empty value as NULL). For the
// mail password, whose blanks are part of it: SetAllg would trim them and
// turn the word NULL into no password at all.
void SetAllgExact(TDM& dm, const QString& key, const QString& value);

// Switches the program to `databaseFile` and stores the settings there:
// the file must exist ("Die angegebene Datenbank existiert nicht!", nothing
// changes); it is written into the settings file, the connection is closed
// and made again (also for an unchanged path), then MailHost, MailUser,
// MailPW, MailAuth, MailCAFile and StoreWindow are written into the database
// just opened.
// When the new file cannot be opened, the connection error has been shown;
// the settings file names the previous database again, the program is
// connected to it again and no setting is written. True when all was saved.
bool SaveGeneralSettings(TDM& dm, const QString& databaseFile, const TMailSetting& mail, bool storeWindow);
