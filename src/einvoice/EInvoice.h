// Electronic invoices after EN 16931: the UN/CEFACT Cross Industry Invoice
// (CII) XML of an invoice, partial invoice, cancellation invoice or credit
// note, as the "EN 16931" profile of Factur-X / ZUGFeRD carries it.
//
// Reading and writing are separate: ReadEInvoice gathers everything from the
// database into a TERechnung and names every missing piece; WriteCII turns a
// complete TERechnung into the XML.
#pragma once

#include <QByteArray>
#include <QDate>
#include <QList>
#include <QString>
#include <QStringList>

#include "Steuerregeln.h"

class TDM;
class QTextStream;

struct TEPartei {
    QString Name;
    QString Kontakt; // a person at a company
    QString Strasse;
    QString Zusatz;
    QString PLZ;
    QString Ort;
    QString Land; // ISO code
    QString UID;
    QString SteuerNr; // the seller's tax number (Steuernummer)
    QString Register; // company register number
    QString Email;
    QString Telefon;
};

struct TEZeile {
    QString ID;
    QString Name;
    QString Beschreibung;
    QString Notiz; // the position's long text, when it says more than the name
    double Menge = 0;
    QString Einheit;   // UN/ECE code
    double Preis = 0;  // net price per unit, never negative
    double Rabatt = 0; // percent
    double Brutto = 0; // quantity x price, to the cent
    double Netto = 0;  // after the discount, to the cent
    QString Kategorie; // VAT category code: S, Z, E, AE, K, G
    double Satz = 0;   // VAT rate in percent
};

struct TESteuer {
    QString Kategorie;
    double Satz = 0;
    double Basis = 0;
    double Betrag = 0;
};

struct TERechnung {
    bool XRechnung = false; // the German rules on top: XRechnung 3.0
    QString Typ;            // R, T, S, G
    QString TypeCode;       // 380, 326, 381
    QString Nummer;
    QDate Datum;
    QStringList Notizen; // header text, text positions, footer text
    TEPartei Verkaeufer;
    TEPartei Kaeufer;
    QList<TEZeile> Zeilen;
    QList<TESteuer> Steuern; // one per category and rate, in rate order
    QString VorRechnung;     // the invoice a cancellation or credit note refers to
    QDate VorRechnungDatum;
    QDate Lieferdatum;
    QString LieferLand; // deliver-to country, for intra-community supplies
    QString IBAN;
    QString BIC;
    QString Verwendungszweck;
    QString Zahlungsbedingungen;
    int SkontoTage = 0;       // cash discount within so many days ...
    double SkontoProzent = 0; // ... of so many percent; 0: none
    QString Kaeuferreferenz;  // BT-10: the customer's Leitweg-ID or reference
    QString Befreiungsgrund;  // category E: the note of the small business
    double Summe = 0;
    double SteuerSumme = 0;
};

// Gathers the document (R, T, S, G) for its e-invoice. False when the
// document cannot become one; *fehler then holds the one German message that
// names every missing piece.
// With xrechnung the German XRechnung rules apply on top (buyer reference,
// seller contact, electronic addresses, post codes and cities).
bool ReadEInvoice(TDM& dm, const QString& typ, int kopfId, TERechnung* rechnung, QString* fehler,
                  bool xrechnung = false);
// The CII XML (UTF-8) of a gathered document; characters XML cannot carry
// are left out. Empty, with a German message in *fehler, when the writer failed.
QByteArray WriteCII(const TERechnung& rechnung, QString* fehler = nullptr);
// Both in one: the XML, or an empty array and the message.
QByteArray BuildEInvoice(TDM& dm, const QString& typ, int kopfId, QString* fehler, bool xrechnung = false);

// The identifiers an XRechnung carries (BT-24, BT-23).
inline const QString XRechnungKennung =
    QStringLiteral("urn:cen.eu:en16931:2017#compliant#urn:xeinkauf.de:kosit:xrechnung_3.0");
inline const QString XRechnungProzess = QStringLiteral("urn:fdc:peppol.eu:2017:poacc:billing:01:1.0");

// The maintenance command behind "quorvent --einvoice FILE TYPE NUMBER
// OUT.xml [--xrechnung]": writes the e-invoice of the document (with
// --xrechnung as an XRechnung) to OUT.xml and returns 0; a German error on
// standard error and 1 otherwise. The file is not upgraded.
int RunEInvoiceCommand(const QStringList& args, QTextStream& out, QTextStream& err);
