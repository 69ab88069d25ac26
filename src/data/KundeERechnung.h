// How a customer receives e-invoices: the buyer reference (for public
// offices their Leitweg-ID) and the format (none, ZUGFeRD PDF, XRechnung).
// Kept in KundeERechnung, a table of the program's own beside Kunde, so a
// database stays readable as version 16; a customer without a row gets no
// e-invoice of its own accord and has no reference.
#pragma once

#include <QString>

class TDM;

struct TKundeERechnung {
    QString LeitwegID;                    // or another reference the customer gave
    QString Format = QStringLiteral("N"); // N none, Z ZUGFeRD/Factur-X PDF, X XRechnung
};

// Creates the table when it is missing (at every open).
void EnsureKundeERechnung(TDM& dm);
TKundeERechnung LeseKundeERechnung(TDM& dm, qint64 kundenId);
// Writes the row; a customer back at "none" without a reference loses it.
void SchreibeKundeERechnung(TDM& dm, qint64 kundenId, const TKundeERechnung& e);
void LoescheKundeERechnung(TDM& dm, qint64 kundenId);

// What the customer form shows for the row being edited: written with that
// row when it is saved (under its number, also a new one), dropped when the
// edit is cancelled. A Leitweg-ID that fails its check refuses the save.
void SetzeKundeERechnungEingabe(const TKundeERechnung& e);
void VerwerfeKundeERechnungEingabe();
bool HatKundeERechnungEingabe();
// Called by the customer table's handlers.
void PruefeKundeERechnungEingabe();
void SpeichereKundeERechnungEingabe(TDM& dm, qint64 kundenId, qint64 vorherId);

// The caption of a format code as the customer form and the print dialog show it.
QString ERechnungFormatName(const QString& format);

// Whether the reference reads as a Leitweg-ID (digits, a hyphen, ...): only
// those are checked, any other reference is taken as the customer gave it.
bool SiehtWieLeitwegIDAus(const QString& id);
// Empty when the reference may be stored; otherwise the German message that
// says what is wrong with the Leitweg-ID (its form or its check digits,
// ISO 7064 MOD 97-10 as for an IBAN).
QString LeitwegIDFehler(const QString& id);
