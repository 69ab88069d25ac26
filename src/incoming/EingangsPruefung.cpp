// The check of an incoming e-invoice before it is kept: the required pieces,
// the arithmetic of EN 16931 (recomputed in exact decimals from the file's
// own values) and the IBAN. Errors refuse the file; warnings are stored with
// it and shown.
#include "Eingangsrechnung.h"

#include <QHash>
#include <QSet>

#include <cstdlib>

bool DezimalMikro(const QString& text, qint64* mikro) {
    QString t = text.trimmed();
    if (t.isEmpty())
        return false;
    bool negativ = false;
    if (t.startsWith(u'-') || t.startsWith(u'+')) {
        negativ = t.startsWith(u'-');
        t.remove(0, 1);
    }
    const qsizetype punkt = t.indexOf(u'.');
    const QString ganz = punkt < 0 ? t : t.left(punkt);
    QString bruch = punkt < 0 ? QString() : t.mid(punkt + 1);
    if ((ganz.isEmpty() && bruch.isEmpty()) || ganz.size() > 12 || bruch.size() > 6)
        return false;
    for (const QChar c : ganz + bruch)
        if (!c.isDigit() || c.unicode() > '9')
            return false;
    bruch = bruch.leftJustified(6, u'0');
    const qint64 wert = (ganz.isEmpty() ? 0 : ganz.toLongLong()) * 1000000 + bruch.toLongLong();
    *mikro = negativ ? -wert : wert;
    return true;
}

QString MikroText(qint64 mikro) {
    const bool negativ = mikro < 0;
    const qint64 a = std::llabs(mikro);
    QString text = QString::number(a / 1000000);
    QString bruch = QStringLiteral("%1").arg(a % 1000000, 6, 10, QLatin1Char('0'));
    while (bruch.endsWith(u'0'))
        bruch.chop(1);
    if (!bruch.isEmpty())
        text += u'.' + bruch;
    return negativ ? u'-' + text : text;
}

bool IbanGueltig(const QString& iban) {
    QString s = iban;
    s.remove(u' ');
    s = s.toUpper();
    if (s.size() < 15 || s.size() > 34 || !s[0].isLetter() || !s[1].isLetter() || !s[2].isDigit() ||
        !s[3].isDigit())
        return false;
    const QString umgestellt = s.mid(4) + s.left(4);
    int rest = 0;
    for (const QChar c : umgestellt) {
        if (c >= u'0' && c <= u'9')
            rest = (rest * 10 + (c.unicode() - '0')) % 97;
        else if (c >= u'A' && c <= u'Z')
            rest = (rest * 100 + (c.unicode() - 'A' + 10)) % 97;
        else
            return false;
    }
    return rest == 1;
}

QString EinheitName(const QString& code) {
    static const QHash<QString, QString> namen{
        {QStringLiteral("C62"), QStringLiteral("Stück")},
        {QStringLiteral("H87"), QStringLiteral("Stück")},
        {QStringLiteral("XPP"), QStringLiteral("Stück")},
        {QStringLiteral("EA"), QStringLiteral("Stück")},
        {QStringLiteral("HUR"), QStringLiteral("Stunde")},
        {QStringLiteral("MIN"), QStringLiteral("Minute")},
        {QStringLiteral("DAY"), QStringLiteral("Tag")},
        {QStringLiteral("WEE"), QStringLiteral("Woche")},
        {QStringLiteral("MON"), QStringLiteral("Monat")},
        {QStringLiteral("ANN"), QStringLiteral("Jahr")},
        {QStringLiteral("KGM"), QStringLiteral("kg")},
        {QStringLiteral("GRM"), QStringLiteral("g")},
        {QStringLiteral("TNE"), QStringLiteral("t")},
        {QStringLiteral("LTR"), QStringLiteral("l")},
        {QStringLiteral("MLT"), QStringLiteral("ml")},
        {QStringLiteral("MTR"), QStringLiteral("m")},
        {QStringLiteral("CMT"), QStringLiteral("cm")},
        {QStringLiteral("MMT"), QStringLiteral("mm")},
        {QStringLiteral("KMT"), QStringLiteral("km")},
        {QStringLiteral("MTK"), QStringLiteral("m²")},
        {QStringLiteral("MTQ"), QStringLiteral("m³")},
        {QStringLiteral("KWH"), QStringLiteral("kWh")},
        {QStringLiteral("SET"), QStringLiteral("Satz")},
        {QStringLiteral("PR"), QStringLiteral("Paar")},
        {QStringLiteral("XBX"), QStringLiteral("Karton")},
        {QStringLiteral("XPK"), QStringLiteral("Packung")},
        {QStringLiteral("LS"), QStringLiteral("pauschal")},
        {QStringLiteral("E48"), QStringLiteral("Leistung")},
        {QStringLiteral("P1"), QStringLiteral("Prozent")},
        {QStringLiteral("ZZ"), QStringLiteral("Einheit")},
    };
    return namen.value(code.trimmed(), code.trimmed());
}

namespace {

// The document types of EN 16931 (UNTDID 1001 subset of code list BR-CL-01).
bool RechnungsTyp(const QString& code) {
    static const QSet<QString> codes{
        QStringLiteral("71"),  QStringLiteral("80"),  QStringLiteral("81"),  QStringLiteral("82"),
        QStringLiteral("83"),  QStringLiteral("84"),  QStringLiteral("102"), QStringLiteral("130"),
        QStringLiteral("202"), QStringLiteral("203"), QStringLiteral("204"), QStringLiteral("211"),
        QStringLiteral("218"), QStringLiteral("219"), QStringLiteral("261"), QStringLiteral("262"),
        QStringLiteral("295"), QStringLiteral("296"), QStringLiteral("308"), QStringLiteral("325"),
        QStringLiteral("326"), QStringLiteral("331"), QStringLiteral("380"), QStringLiteral("381"),
        QStringLiteral("382"), QStringLiteral("383"), QStringLiteral("384"), QStringLiteral("385"),
        QStringLiteral("386"), QStringLiteral("387"), QStringLiteral("388"), QStringLiteral("389"),
        QStringLiteral("390"), QStringLiteral("393"), QStringLiteral("394"), QStringLiteral("395"),
        QStringLiteral("396"), QStringLiteral("420"), QStringLiteral("456"), QStringLiteral("457"),
        QStringLiteral("458"), QStringLiteral("527"), QStringLiteral("532"), QStringLiteral("553"),
        QStringLiteral("575"), QStringLiteral("623"), QStringLiteral("633"), QStringLiteral("751"),
        QStringLiteral("780"), QStringLiteral("817"), QStringLiteral("870"), QStringLiteral("875"),
        QStringLiteral("876"), QStringLiteral("877"), QStringLiteral("935"),
    };
    return codes.contains(code.trimmed());
}

QString Euro(qint64 mikro) {
    return MikroText(mikro);
}

// A VAT group: category and rate (a missing rate counts as 0).
QString Gruppe(const QString& kategorie, const QString& satz) {
    qint64 s = 0;
    DezimalMikro(satz.isEmpty() ? QStringLiteral("0") : satz, &s);
    return kategorie.trimmed() + u'|' + QString::number(s);
}

} // namespace

TEingangsBefund PruefeEingangsrechnung(const TEingangsrechnung& r) {
    TEingangsBefund b;
    auto fehlt = [&](const QString& bt, const QString& name) {
        if (r.Wert(bt).isEmpty())
            b.Fehler << QStringLiteral("Pflichtangabe fehlt: %1 (%2)").arg(name, bt);
    };
    fehlt(QStringLiteral("BT-1"), QStringLiteral("Rechnungsnummer"));
    fehlt(QStringLiteral("BT-2"), QStringLiteral("Rechnungsdatum"));
    fehlt(QStringLiteral("BT-3"), QStringLiteral("Rechnungsart"));
    fehlt(QStringLiteral("BT-5"), QStringLiteral("Währung"));
    fehlt(QStringLiteral("BT-27"), QStringLiteral("Name des Verkäufers"));
    fehlt(QStringLiteral("BT-106"), QStringLiteral("Summe der Positionen"));
    fehlt(QStringLiteral("BT-109"), QStringLiteral("Gesamtbetrag ohne Umsatzsteuer"));
    fehlt(QStringLiteral("BT-112"), QStringLiteral("Gesamtbetrag mit Umsatzsteuer"));
    fehlt(QStringLiteral("BT-115"), QStringLiteral("Zahlbetrag"));
    if (r.Zeilen.isEmpty())
        b.Fehler << QStringLiteral("Pflichtangabe fehlt: die Rechnung hat keine Position (BG-25)");
    if (!r.Wert(QStringLiteral("BT-3")).isEmpty() && !RechnungsTyp(r.Wert(QStringLiteral("BT-3"))))
        b.Fehler << QStringLiteral("Die Dokumentart %1 (BT-3) ist keine Rechnung und keine Gutschrift")
                        .arg(r.Wert(QStringLiteral("BT-3")));

    // Every amount must be a number.
    QHash<QString, qint64> v;
    for (const QString& bt : {QStringLiteral("BT-106"), QStringLiteral("BT-107"), QStringLiteral("BT-108"),
                              QStringLiteral("BT-109"), QStringLiteral("BT-110"), QStringLiteral("BT-112"),
                              QStringLiteral("BT-113"), QStringLiteral("BT-114"), QStringLiteral("BT-115")}) {
        if (!r.Gibt(bt))
            continue;
        qint64 m = 0;
        if (DezimalMikro(r.Wert(bt), &m))
            v.insert(bt, m);
        else
            b.Fehler << QStringLiteral("Der Betrag %1 ist keine Zahl: \"%2\"").arg(bt, r.Wert(bt));
    }
    auto wert = [&](const QString& bt) { return v.value(bt, 0); };

    // BR-CO-10: the lines add up to BT-106.
    qint64 zeilen = 0;
    QHash<QString, qint64> basisJeGruppe;
    bool zeilenLesbar = true;
    for (const TEingangsZeile& z : r.Zeilen) {
        qint64 n = 0;
        if (!DezimalMikro(z.Netto, &n)) {
            b.Fehler << QStringLiteral("Position %1: der Nettobetrag (BT-131) fehlt oder ist keine Zahl")
                            .arg(z.ID);
            zeilenLesbar = false;
            continue;
        }
        zeilen += n;
        basisJeGruppe[Gruppe(z.Kategorie, z.Satz)] += n;
        // Peppol R120: quantity x net price / base quantity + charges - allowances.
        qint64 menge = 0, preis = 0, basis = 1000000, zu = 0, ab = 0;
        if (DezimalMikro(z.Menge, &menge) && DezimalMikro(z.Preis, &preis)) {
            if (!z.Basismenge.isEmpty())
                DezimalMikro(z.Basismenge, &basis);
            DezimalMikro(z.Zuschlaege, &zu);
            DezimalMikro(z.Abschlaege, &ab);
            if (basis != 0) {
                const long double erwartet = (long double)menge * preis / basis + zu - ab; // in millionths
                if (std::abs((long double)n - erwartet) > 10000.5L)
                    b.Hinweise
                        << QStringLiteral("Position %1: Menge × Preis ergibt %2, der Nettobetrag (BT-131) "
                                          "ist %3")
                               .arg(z.ID, MikroText(qint64(std::llround(double(erwartet) / 10000.0)) * 10000),
                                    z.Netto);
            }
        }
    }
    if (zeilenLesbar && r.Gibt(QStringLiteral("BT-106")) && zeilen != wert(QStringLiteral("BT-106")))
        b.Fehler << QStringLiteral("Die Positionen ergeben %1, die Summe der Positionen (BT-106) ist %2")
                        .arg(Euro(zeilen), r.Wert(QStringLiteral("BT-106")));

    // BR-CO-11/-12: document allowances and charges.
    qint64 ab = 0, zu = 0;
    for (const TEingangsZuAbschlag& z : r.ZuAbschlaege) {
        qint64 m = 0;
        DezimalMikro(z.Betrag, &m);
        (z.Zuschlag ? zu : ab) += m;
        basisJeGruppe[Gruppe(z.Kategorie, z.Satz)] += z.Zuschlag ? m : -m;
    }
    if (!r.ZuAbschlaege.isEmpty() || r.Gibt(QStringLiteral("BT-107")) || r.Gibt(QStringLiteral("BT-108"))) {
        if (ab != wert(QStringLiteral("BT-107")))
            b.Fehler << QStringLiteral("Die Abschläge ergeben %1, die Summe der Abschläge (BT-107) ist %2")
                            .arg(Euro(ab), Euro(wert(QStringLiteral("BT-107"))));
        if (zu != wert(QStringLiteral("BT-108")))
            b.Fehler << QStringLiteral("Die Zuschläge ergeben %1, die Summe der Zuschläge (BT-108) ist %2")
                            .arg(Euro(zu), Euro(wert(QStringLiteral("BT-108"))));
    }
    // BR-CO-13, -15, -16.
    if (r.Gibt(QStringLiteral("BT-106")) && r.Gibt(QStringLiteral("BT-109"))) {
        const qint64 soll =
            wert(QStringLiteral("BT-106")) - wert(QStringLiteral("BT-107")) + wert(QStringLiteral("BT-108"));
        if (soll != wert(QStringLiteral("BT-109")))
            b.Fehler << QStringLiteral("Summe der Positionen − Abschläge + Zuschläge ergibt %1, der "
                                       "Gesamtbetrag ohne Umsatzsteuer (BT-109) ist %2")
                            .arg(Euro(soll), r.Wert(QStringLiteral("BT-109")));
    }
    if (r.Gibt(QStringLiteral("BT-109")) && r.Gibt(QStringLiteral("BT-112"))) {
        const qint64 soll = wert(QStringLiteral("BT-109")) + wert(QStringLiteral("BT-110"));
        if (soll != wert(QStringLiteral("BT-112")))
            b.Fehler << QStringLiteral("Netto %1 + Umsatzsteuer %2 ergibt %3, der Gesamtbetrag mit "
                                       "Umsatzsteuer (BT-112) ist %4")
                            .arg(r.Wert(QStringLiteral("BT-109")), Euro(wert(QStringLiteral("BT-110"))),
                                 Euro(soll), r.Wert(QStringLiteral("BT-112")));
    }
    if (r.Gibt(QStringLiteral("BT-112")) && r.Gibt(QStringLiteral("BT-115"))) {
        const qint64 soll =
            wert(QStringLiteral("BT-112")) - wert(QStringLiteral("BT-113")) + wert(QStringLiteral("BT-114"));
        if (soll != wert(QStringLiteral("BT-115")))
            b.Fehler << QStringLiteral("Gesamtbetrag − Vorauszahlung + Rundung ergibt %1, der Zahlbetrag "
                                       "(BT-115) ist %2")
                            .arg(Euro(soll), r.Wert(QStringLiteral("BT-115")));
    }
    // BR-CO-14 and the VAT groups: the basis of each group is what its lines,
    // allowances and charges add up to; its tax is basis × rate.
    if (!r.Steuern.isEmpty()) {
        qint64 steuer = 0;
        for (const TEingangsSteuer& s : r.Steuern) {
            qint64 basis = 0, betrag = 0, satz = 0;
            const bool ok = DezimalMikro(s.Basis, &basis) && DezimalMikro(s.Betrag, &betrag);
            DezimalMikro(s.Satz.isEmpty() ? QStringLiteral("0") : s.Satz, &satz);
            if (!ok) {
                b.Fehler << QStringLiteral("Umsatzsteuer %1 %2 %: Basis (BT-116) oder Steuer (BT-117) fehlt")
                                .arg(s.Kategorie, s.Satz);
                continue;
            }
            steuer += betrag;
            const QString g = Gruppe(s.Kategorie, s.Satz);
            if (zeilenLesbar && basisJeGruppe.value(g, 0) != basis)
                b.Fehler << QStringLiteral("Umsatzsteuer %1 %2 %: die Positionen ergeben die Basis %3, "
                                           "angegeben ist %4 (BT-116)")
                                .arg(s.Kategorie, s.Satz, Euro(basisJeGruppe.value(g, 0)), s.Basis);
            const long double soll = (long double)basis * satz / 100000000.0L;
            if (std::abs((long double)betrag - soll) > 10000.5L)
                b.Hinweise << QStringLiteral("Umsatzsteuer %1 %2 %: %3 × %2 % ergibt nicht %4 (BT-117)")
                                  .arg(s.Kategorie, s.Satz, s.Basis, s.Betrag);
        }
        if (steuer != wert(QStringLiteral("BT-110")))
            b.Fehler << QStringLiteral("Die Umsatzsteuer der Steuersätze ergibt %1, die Umsatzsteuer "
                                       "(BT-110) ist %2")
                            .arg(Euro(steuer), Euro(wert(QStringLiteral("BT-110"))));
    }
    // A wrong check digit in the IBAN is a typing error or a fraud: shown
    // before anybody pays.
    for (const TEingangsKonto& k : r.Konten) {
        QString konto = k.Konto;
        konto.remove(u' ');
        if (konto.size() >= 4 && konto[0].isLetter() && konto[1].isLetter() && konto[2].isDigit() &&
            konto[3].isDigit() && !IbanGueltig(konto))
            b.Hinweise << QStringLiteral("Die IBAN %1 (BT-84) hat eine falsche Prüfziffer").arg(k.Konto);
    }
    return b;
}
