#include "Laender.h"

#include <QHash>
#include <QList>
#include <QPair>

#include <algorithm>

// Letters folded so that the spellings people type find the same entry:
// case, umlauts written out, "ß" as "ss", dots, hyphens and blanks.
QString FoldedName(const QString& text) {
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

namespace {

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
            h.insert(FoldedName(QString::fromUtf8(list[i].name)), i);
            h.insert(FoldedName(QLatin1String(list[i].code)), i);
            for (const char* other : list[i].also) {
                if (other)
                    h.insert(FoldedName(QString::fromUtf8(other)), i);
            }
        }
        return h;
    }();
    return index;
}

} // namespace

QString LandCode(const QString& landBez) {
    const QString key = FoldedName(landBez);
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
