// The code lists an e-invoice speaks: ISO country codes for the country names
// of the reference table and UN/ECE codes for the unit names.
#pragma once

#include <QString>

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

// The UN/ECE recommendation 20/21 code of a unit name ("Stk" -> "H87", "h" ->
// "HUR"). A blank unit counts as the unit "one" (C62). Empty when unknown.
QString EinheitCode(const QString& einheitBez);

// Whether a VAT number (blanks ignored) has the form an e-invoice needs: the
// issuing country's ISO 3166 code in capitals ("ATU12345678", "DE123456789";
// Greece uses "EL", Northern Ireland "XI"), then a number.
bool UIDFormGueltig(const QString& uid);
