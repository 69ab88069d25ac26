// The texts of a printout: numbers, dates and the small RTF documents the
// report places as they are. The report formats nothing itself, so every
// amount reaches it through these functions.
#pragma once

#include <QDate>
#include <QString>

// Two decimals with the user's decimal separator and no thousands separator (1234,50).
QString DruckFixed(double value);
// Two decimals with the user's thousands and decimal separators, no symbol (1.234,50).
QString DruckCurrency(double value);
// The user's short date with a four-digit year (24.03.2014); empty for an invalid date.
QString DruckDate(const QDate& date);
// Rounds to whole cents; an exact half cent goes to the even cent.
double RoundCentsHalfEven(double value);

// The three heads every RTF piece starts with.
QString RtfPrefixLeft();
QString RtfPrefixRight();
QString RtfPrefixRightBold();
// A single right-aligned X in white.
QString RtfWhiteX();
// User text made safe inside RTF: backslash and braces escaped, characters
// beyond ASCII as \'xx (Windows-1252) or \uN? (anything else).
QString RtfEscape(const QString& text);
// A left-aligned paragraph of the (escaped) text, one \par per line.
QString RtfLeftText(const QString& text);
// An amount text with " EUR", right-aligned, plain or bold.
QString RtfRightAmount(const QString& amount);
QString RtfBoldAmount(const QString& amount);
// The payment-terms template with its first %1, %2 and %3 replaced; a
// placeholder that is missing is skipped.
QString FillSkonto(const QString& pattern, const QString& p1, const QString& p2, const QString& p3);
// The payment-terms line of a cash discount in percent on the gross total:
// the template with the rate ("2,00%"), the discount and the amount after the
// discount (each "1.234,50 EUR").
QString SkontoText(const QString& pattern, double skonto, double brutto);
