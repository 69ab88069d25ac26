// The parts of the DATEV export that its files share: the column lists of
// both files (DatevSpalten.cpp), how a value is written in DATEV's CSV form
// (DatevFormat.cpp), and a transaction helper (DatevExport.cpp).
#pragma once

#include "DatevExport.h"

#include <functional>

namespace Datev {

// The columns of a booking line (format version 13). The type decides the
// quoting: text is always quoted (empty as ""), every other column is bare
// and empty when unused.
struct TSpalte {
    const char* Name;
    char Typ; // B amount, T text, Z number, K account, D date
};

constexpr int kBuchungSpaltenAnzahl = 125;
extern const TSpalte kBuchungSpalten[];

// The columns of a customer line (format version 5), as DATEV's sample names them.
constexpr int kDebitorSpaltenAnzahl = 254;
extern const char* const kDebitorSpalten[];

// A booking text or master-data value: line breaks and tabs become blanks
// (DATEV takes none inside a field), the rest is checked character by
// character. Empty when everything can be written; else the German reason.
QString Unzulaessig(const QString& text);
// A name for a message: what DATEV cannot take shown as "?".
QString Lesbar(const QString& text);
QString Einzeilig(QString text);
// Appends text in Windows-1252; every character has been checked before.
void Bytes(QByteArray& out, const QString& text);
// Appends text quoted, an inner quote doubled.
void Text(QByteArray& out, const QString& text);
// An amount of cents as DATEV writes it: "1190,00".
QByteArray Betrag(qint64 cents);
QString TTMM(const QDate& d);
QString TTMMJJJJ(const QDate& d);
QString JJJJMMTT(const QDate& d);
// A VAT rate as the situation key and booking text show it: "19", "5,5".
QString SatzText(double satz);
bool NurZiffern(const QString& s);
// The letters before a document number in Belegfeld 1 and 2: RE, TR, SR, GS.
QString TypPraefix(const QString& typ);
// The line 1 of a file: 31 fields, header version 700; kategorie 21 is the
// booking batch, 16 the customers.
QByteArray Kopfzeile(const TDatevEinstellungen& e, int kategorie, const QDateTime& jetzt, const QDate& wj,
                     const QDate& von, const QDate& bis, const QString& bezeichnung);
// The line 2 of a file: the column names.
QByteArray Spaltenzeile(bool buchungen);
// A VAT number as DATEV takes it: the country code, then letters, digits,
// "+" or "*", at most 15 characters in all.
bool UIDFuerDatev(const QString& uid);

} // namespace Datev
