// The payment QR code ("GiroCode", EPC QR code) of an invoice: the payload
// after EPC069-12 version 002 in UTF-8, which banking apps read to fill in
// the transfer, and its QR symbol (error correction level M).
// Needs nothing of the program: the data module hands in the company's name
// and account and the document's amount and number.
#pragma once

#include <QByteArray>
#include <QImage>
#include <QString>

// ISO 7064 MOD 97-10 over digits and letters (A = 10 ... Z = 35): the
// remainder of the whole number; -1 for any other character. 1 for a valid
// IBAN (rearranged), Leitweg-ID or RF reference.
int Mod97(const QString& text);

// Whether the IBAN (blanks ignored, any case) has the form of one and its
// check digits are right.
bool IBANGueltig(const QString& iban);

struct TGiroCodeDaten {
    QString Name;             // the beneficiary: the company
    QString IBAN;             // blanks are removed
    double Betrag = 0;        // euro; a code needs an amount above zero
    QString Verwendungszweck; // the unstructured remittance text
};

// The most bytes a payload may have: what a QR symbol of version 13 at
// level M holds.
constexpr int GiroCodeMaxBytes = 331;

// The payload, or an empty array when no code may be printed (no valid
// IBAN, no name, no amount above zero). A name above 70 or a text above
// 140 characters is cut, and so, should the whole still exceed 331 bytes,
// the text first and then the name.
QByteArray GiroCodePayload(const TGiroCodeDaten& daten);

// The QR symbol of the payload (byte mode, level M, never a higher level),
// with the quiet zone of four modules, black on white, `pixelsPerModule`
// pixels to a module. A null image when it cannot be made.
QImage GiroCodeBild(const QByteArray& payload, int pixelsPerModule = 8);
