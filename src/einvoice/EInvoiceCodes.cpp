#include "EInvoiceCodes.h"

#include <QHash>
#include <QList>
#include <QPair>

namespace {

// Letters folded so that the spellings people type find the same entry:
// case, umlauts written out, "ß" as "ss", dots, hyphens and blanks.
QString Fold(const QString& text) {
    QString s = text.trimmed().toLower();
    s.replace(u'ä', QLatin1String("ae"));
    s.replace(u'ö', QLatin1String("oe"));
    s.replace(u'ü', QLatin1String("ue"));
    s.replace(u'ß', QLatin1String("ss"));
    QString out;
    out.reserve(s.size());
    for (const QChar c : s) {
        if (c != u'.' && c != u'-' && !c.isSpace())
            out += c;
    }
    return out;
}

struct TLand {
    const char* code;
    const char* name; // the German name shown on the company page
    bool eu;
    const char* also[4]; // other names in use, as many as there are
};

const QList<TLand>& Laender() {
    static const QList<TLand> list{
        {"AT", "Österreich", true, {"Oesterreich", "Austria"}},
        {"DE", "Deutschland", true, {"Bundesrepublik Deutschland", "BRD", "Germany"}},
        {"CH", "Schweiz", false, {"Switzerland", "Suisse", "Svizzera"}},
        {"LI", "Liechtenstein", false, {}},
        {"BE", "Belgien", true, {}},
        {"BG", "Bulgarien", true, {}},
        {"DK", "Dänemark", true, {}},
        {"EE", "Estland", true, {}},
        {"FI", "Finnland", true, {}},
        {"FR", "Frankreich", true, {}},
        {"GR", "Griechenland", true, {}},
        {"IE", "Irland", true, {}},
        {"IT", "Italien", true, {}},
        {"HR", "Kroatien", true, {}},
        {"LV", "Lettland", true, {}},
        {"LT", "Litauen", true, {}},
        {"LU", "Luxemburg", true, {}},
        {"MT", "Malta", true, {}},
        {"NL", "Niederlande", true, {"Holland"}},
        {"PL", "Polen", true, {}},
        {"PT", "Portugal", true, {}},
        {"RO", "Rumänien", true, {}},
        {"SE", "Schweden", true, {}},
        {"SK", "Slowakei", true, {"Slowakische Republik"}},
        {"SI", "Slowenien", true, {}},
        {"ES", "Spanien", true, {}},
        {"CZ", "Tschechien", true, {"Tschechische Republik"}},
        {"HU", "Ungarn", true, {}},
        {"CY", "Zypern", true, {}},
        {"GB", "Vereinigtes Königreich", false, {"Großbritannien", "England", "UK"}},
        {"NO", "Norwegen", false, {}},
        {"IS", "Island", false, {}},
        {"MC", "Monaco", false, {}},
        {"SM", "San Marino", false, {}},
        {"AD", "Andorra", false, {}},
        {"VA", "Vatikanstadt", false, {"Vatikan"}},
        {"TR", "Türkei", false, {}},
        {"RS", "Serbien", false, {}},
        {"BA", "Bosnien und Herzegowina", false, {"Bosnien-Herzegowina"}},
        {"ME", "Montenegro", false, {}},
        {"MK", "Nordmazedonien", false, {"Mazedonien"}},
        {"AL", "Albanien", false, {}},
        {"UA", "Ukraine", false, {}},
        {"MD", "Moldau", false, {"Moldawien", "Republik Moldau"}},
        {"BY", "Belarus", false, {"Weißrussland"}},
        {"RU", "Russland", false, {"Russische Föderation"}},
        {"GE", "Georgien", false, {}},
        {"US", "Vereinigte Staaten", false, {"USA", "Vereinigte Staaten von Amerika", "Amerika"}},
        {"CA", "Kanada", false, {}},
        {"MX", "Mexiko", false, {}},
        {"BR", "Brasilien", false, {}},
        {"AR", "Argentinien", false, {}},
        {"CN", "China", false, {"Volksrepublik China"}},
        {"JP", "Japan", false, {}},
        {"KR", "Südkorea", false, {"Korea", "Republik Korea"}},
        {"IN", "Indien", false, {}},
        {"SG", "Singapur", false, {}},
        {"AU", "Australien", false, {}},
        {"NZ", "Neuseeland", false, {}},
        {"IL", "Israel", false, {}},
        {"AE", "Vereinigte Arabische Emirate", false, {"VAE"}},
        {"EG", "Ägypten", false, {}},
        {"MA", "Marokko", false, {}},
        {"TN", "Tunesien", false, {}},
        {"ZA", "Südafrika", false, {}},
    };
    return list;
}

const QHash<QString, int>& LandIndex() {
    static const QHash<QString, int> index = [] {
        QHash<QString, int> h;
        const QList<TLand>& list = Laender();
        for (int i = 0; i < list.size(); ++i) {
            h.insert(Fold(QString::fromUtf8(list[i].name)), i);
            h.insert(Fold(QLatin1String(list[i].code)), i);
            for (const char* other : list[i].also) {
                if (other)
                    h.insert(Fold(QString::fromUtf8(other)), i);
            }
        }
        return h;
    }();
    return index;
}

// Unit names as German users write them, folded, with their UN/ECE code.
const QHash<QString, QString>& Einheiten() {
    static const QHash<QString, QString> units = [] {
        QHash<QString, QString> h;
        auto add = [&h](const char* code, std::initializer_list<const char*> names) {
            for (const char* n : names)
                h.insert(Fold(QString::fromUtf8(n)), QLatin1String(code));
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

QString LandCode(const QString& landBez) {
    const QString key = Fold(landBez);
    if (key.isEmpty())
        return QString();
    const auto it = LandIndex().constFind(key);
    return it == LandIndex().cend() ? QString() : QLatin1String(Laender()[*it].code);
}

bool IsEULand(const QString& code) {
    for (const TLand& land : Laender()) {
        if (code == QLatin1String(land.code))
            return land.eu;
    }
    return false;
}

QString LandName(const QString& code) {
    for (const TLand& land : Laender()) {
        if (code == QLatin1String(land.code))
            return QString::fromUtf8(land.name);
    }
    return QString();
}

QList<QPair<QString, QString>> LandListe() {
    QList<QPair<QString, QString>> list;
    for (const TLand& land : Laender())
        list.append({QLatin1String(land.code), QString::fromUtf8(land.name)});
    std::sort(list.begin(), list.end(), [](const auto& a, const auto& b) {
        return QString::localeAwareCompare(a.second, b.second) < 0;
    });
    return list;
}

QString EinheitCode(const QString& einheitBez) {
    return Einheiten().value(Fold(einheitBez));
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
