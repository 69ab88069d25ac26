#include "EInvoiceCodes.h"

#include <QHash>
#include <QList>
#include <QPair>

namespace {

// Unit names as German users write them, folded, with their UN/ECE code.
const QHash<QString, QString>& Einheiten() {
    static const QHash<QString, QString> units = [] {
        QHash<QString, QString> h;
        auto add = [&h](const char* code, std::initializer_list<const char*> names) {
            for (const char* n : names)
                h.insert(FoldedName(QString::fromUtf8(n)), QLatin1String(code));
        };
        add("H87", {"Stk", "Stck", "St", "Stk.", "Stück", "Stueck", "pcs", "Teil", "Teile"});
        add("C62", {"", "x", "Anzahl", "Einheit", "Einh", "EH", "E"});
        add("LTR", {"Ltr", "l", "Liter"});
        add("MLT", {"ml", "Milliliter"});
        add("XPK", {"Pkg", "Paket", "Packung", "Pack", "Pck", "VE", "Verpackungseinheit"});
        add("MTR", {"Lfm", "lfdm", "lfd m", "laufender Meter", "laufende Meter", "m", "Meter", "Mtr"});
        add("CMT", {"cm", "Zentimeter"});
        add("MMT", {"mm", "Millimeter"});
        add("KMT", {"km", "Kilometer"});
        add("MTK", {"m²", "m2", "qm", "Quadratmeter"});
        add("MTQ", {"m³", "m3", "cbm", "Kubikmeter"});
        add("HUR", {"h", "Std", "Stunde", "Stunden", "Stde"});
        add("MIN", {"min", "Minute", "Minuten"});
        add("DAY", {"Tag", "Tage", "Tg"});
        add("WEE", {"Woche", "Wochen", "Wo"});
        add("MON", {"Monat", "Monate", "Mon"});
        add("ANN", {"Jahr", "Jahre"});
        add("KGM", {"kg", "Kilogramm", "Kilo"});
        add("GRM", {"g", "Gramm"});
        add("TNE", {"t", "Tonne", "Tonnen", "to"});
        add("KWH", {"kWh", "Kilowattstunde", "Kilowattstunden"});
        add("LS", {"pauschal", "Pauschale", "psch", "pausch", "Pausch"});
        add("SET", {"Satz", "Set", "Sätze"});
        add("PR", {"Paar", "Pr"});
        add("XCT", {"Karton", "Kt", "Ktn"});
        add("XRO", {"Rolle", "Rollen", "Rl"});
        add("XBO", {"Flasche", "Flaschen", "Fl"});
        add("XCX", {"Dose", "Dosen"});
        add("XBX", {"Kiste", "Kisten", "Box"});
        add("XSA", {"Sack", "Säcke"});
        add("XPX", {"Palette", "Paletten", "Pal"});
        add("XEI", {"Eimer"});
        add("XTU", {"Tube", "Tuben"});
        add("XBG", {"Beutel", "Tüte"});
        add("XBJ", {"Kübel"});
        return h;
    }();
    return units;
}

} // namespace

QString EinheitCode(const QString& einheitBez) {
    return Einheiten().value(FoldedName(einheitBez));
}

bool UIDFormGueltig(const QString& uid) {
    // ISO 3166-1 alpha-2, with Kosovo's user-assigned 1A. GR is missing on
    // purpose: a Greek VAT number starts with EL.
    static const QString prefixes = QStringLiteral(
        " 1A AD AE AF AG AI AL AM AO AQ AR AS AT AU AW AX AZ BA BB BD BE BF BG BH BI BJ BL BM BN BO BQ BR BS "
        "BT "
        "BV BW BY BZ CA CC CD CF CG CH CI CK CL CM CN CO CR CU CV CW CX CY CZ DE DJ DK DM DO DZ EC EE EG EH "
        "EL "
        "ER ES ET FI FJ FK FM FO FR GA GB GD GE GF GG GH GI GL GM GN GP GQ GS GT GU GW GY HK HM HN HR HT HU "
        "ID "
        "IE IL IM IN IO IQ IR IS IT JE JM JO JP KE KG KH KI KM KN KP KR KW KY KZ LA LB LC LI LK LR LS LT LU "
        "LV "
        "LY MA MC MD ME MF MG MH MK ML MM MN MO MP MQ MR MS MT MU MV MW MX MY MZ NA NC NE NF NG NI NL NO NP "
        "NR "
        "NU NZ OM PA PE PF PG PH PK PL PM PN PR PS PT PW PY QA RE RO RS RU RW SA SB SC SD SE SG SH SI SJ SK "
        "SL "
        "SM SN SO SR ST SV SX SY SZ TC TD TF TG TH TJ TK TL TM TN TO TR TT TV TW TZ UA UG UM US UY UZ VA VC "
        "VE VG VI VN VU WF WS XI YE YT ZA ZM ZW ");
    const QString s = QString(uid).remove(u' ');
    if (s.size() < 3 || !prefixes.contains(u' ' + s.left(2) + u' '))
        return false;
    for (const QChar c : s.mid(2)) {
        if (c.isDigit())
            return true;
    }
    return false;
}
