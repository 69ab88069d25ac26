// Reminders and dunning letters: level 1 is the invoice printed as
// "Zahlungserinnerung"; levels 2 and 3 are letters that refer to the invoice
// (number, date, amount, paid, open) and add default interest and fees. They
// go through the report output of documents and never get a number of their own.
#pragma once

#include "Zahlungen.h"

#include <QString>

class TDM;

struct TMahnAuftrag {
    int Stufe = 1;
    QDate Datum;            // the letter's date; interest runs up to it
    bool Zinsen = true;     // levels 2 and 3: default interest
    bool Pauschale = false; // the 40 euro flat fee of business debtors
    double Gebuehr = 0;     // a further fee of this letter
    int Zahlungsfrist = 10; // days from the letter's date to pay
};

struct TMahnBerechnung {
    TBelegStand Stand;
    QDate Faellig;
    bool Verbraucher = false;
    QString Land;
    int TageBasis = 365;
    TZinsErgebnis Zins;        // empty without interest
    double GebuehrFrueher = 0; // fees of the earlier letters
    double Gebuehr = 0;        // this letter's fee (flat fee and further fee)
    double Gesamt = 0;         // open + interest + all fees
    QDate ZahlbarBis;
    QList<TMahnung> Frueher;
};

// The flat fee for business debtors (§ 288 Abs. 5 BGB, § 458 UGB).
constexpr double MahnPauschale = 40.0;
// Its legal ground for the company's country.
QString PauschaleRegel(const QString& land);

// The figures of the letter; refuses (warning, false) when the document is
// no invoice, is paid, or is not yet due for a dunning letter.
bool BerechneMahnung(TDM& dm, const QString& typ, int kopfId, const TMahnAuftrag& auftrag,
                     TMahnBerechnung& b);

// Prepares the print run of the letter (PreparePrintData as a reminder;
// for levels 2 and 3 the body becomes the statement and the texts the
// letter's). Returns the run number, 0 when refused.
int PrepareMahnung(TDM& dm, const QString& typ, int kopfId, const TMahnAuftrag& auftrag);

// The letter as a PDF file; records nothing. False when refused.
bool RenderMahnungPdf(TDM& dm, const QString& typ, int kopfId, const TMahnAuftrag& auftrag,
                      const QString& pdfFile);
