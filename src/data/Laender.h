// Countries as users write them in the reference table "Land" and as codes
// speak of them: the printed address leaves out the company's own country,
// the e-invoice names each party's country by its ISO code.
#pragma once

#include <QList>
#include <QPair>
#include <QString>

// A name folded so that the spellings people type find the same entry: case,
// umlauts written out, "ß" as "ss", dots, hyphens and blanks.
QString FoldedName(const QString& text);

// The ISO 3166 code ("AT") of a country name as users enter it in German
// ("Österreich", "Oesterreich", "Tschechische Republik"); a two-letter code of a
// known country is taken as it is. Empty when the name is unknown or blank.
QString LandCode(const QString& landBez);
// Whether the ISO code is a member state of the European Union.
bool IsEULand(const QString& code);
// The German name of a country code of LandCode's list ("Österreich"); empty when unknown.
QString LandName(const QString& code);
// Every known country code with its German name, ordered by name (the company page's choice).
QList<QPair<QString, QString>> LandListe();
