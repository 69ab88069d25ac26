// The code lists an e-invoice speaks: ISO country codes for the country names
// of the reference table (Laender.h) and UN/ECE codes for the unit names.
#pragma once

#include "Laender.h"

#include <QString>

// The UN/ECE recommendation 20/21 code of a unit name ("Stk" -> "H87", "h" ->
// "HUR"). A blank unit counts as the unit "one" (C62). Empty when unknown.
QString EinheitCode(const QString& einheitBez);

// Whether a VAT number (blanks ignored) has the form an e-invoice needs: the
// issuing country's ISO 3166 code in capitals ("ATU12345678", "DE123456789";
// Greece uses "EL", Northern Ireland "XI"), then a number.
bool UIDFormGueltig(const QString& uid);
