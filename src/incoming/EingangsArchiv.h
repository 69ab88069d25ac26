// The archive of incoming e-invoices in the database: the original file's
// bytes, unchanged and with their SHA-256, beside the terms a list and the
// payables need. The tables are the program's own, created when missing, so
// a database stays readable by older versions; being inside the database
// file, every backup and restore carries them.
#pragma once

#include "Eingangsrechnung.h"

#include <QDate>

class TSQLiteDB;

// Creates the tables when missing.
void EingangPrepareTables(TSQLiteDB& db);
// The page's own entry in the rights list, added when missing, so that the
// password can protect it like the other pages.
void EingangPrepareRight(TSQLiteDB& db);

struct TEingangsImport {
    bool Importiert = false;
    int ERID = 0;
    QString Fehler;         // why nothing was stored
    QStringList Hinweise;   // stored with the invoice and shown
    int LieferantenID = -1; // the supplier found, -1 when none
};

// Reads, checks and stores one file. A file that cannot be read as an
// invoice, that the check refuses, or that was imported before (same seller
// and number) stores nothing. `dateiname` is kept for the user's eyes only.
TEingangsImport ImportiereEingangsrechnung(TSQLiteDB& db, const QByteArray& bytes, const QString& dateiname,
                                           const QDateTime& jetzt = QDateTime::currentDateTime());

// The original bytes of an archived invoice, exactly as imported; false when
// they are missing or no longer match their SHA-256.
bool EingangsOriginal(TSQLiteDB& db, int erid, QByteArray* bytes, QString* fehler);

// The supplier of an incoming invoice: by VAT id, then IBAN, then name; -1
// when none matches.
int FindeLieferant(TSQLiteDB& db, const TEingangsrechnung& r);

// The last day of the cash discount when the payment terms carry it in
// XRechnung's form ("#SKONTO#TAGE=7#PROZENT=2.00#"); invalid otherwise.
QDate SkontoBis(const TEingangsrechnung& r);

// Marks a bill paid (an empty date marks it open again).
void MarkiereBezahlt(TSQLiteDB& db, int erid, const QDate& datum, double betrag);
