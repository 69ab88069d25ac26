#include "ListFilter.h"

namespace ListFilter {

namespace {

struct SortEntry {
    const char* caption;
    const char* clause;
};

const SortEntry KundenSort[] = {
    {"Kundennummer aufsteigend", " order by K.KundenID"},
    {"Kundennummer absteigend", " order by K.KundenID desc"},
    {"Kundenfirma", " order by Upper(K.Firma)"},
    {"Kundenname", " order by Upper(K.Nachname)"},
    {"Kundenort", " order by Upper(K.Ort)"},
};

const SortEntry LieferantenSort[] = {
    {"Nummer aufsteigend", " order by L.LieferantenID"},
    {"Nummer absteigend", " order by L.LieferantenID desc"},
    {"Lieferantenname", " order by Upper(L.Firma)"},
    {"Lieferantenort", " order by Upper(L.Ort)"},
};

const SortEntry ArtikelSort[] = {
    {"Artikelnummer aufsteigend", " order by A.ArtikelID"},
    {"Artikelnummer absteigend", " order by A.ArtikelID desc"},
    {"Bezeichnung", " order by Upper(A.ArtKurzBez)"},
    {"Artikelgruppe", " order by Upper(AG.ArtGruBez), Upper(A.ArtKurzBez)"},
    {"Betrag", " order by Summe"},
    {"Lieferant", " order by Upper(L.Firma), Upper(A.ArtKurzBez)"},
};

template <size_t N> QStringList captions(const SortEntry (&entries)[N]) {
    QStringList list;
    for (const SortEntry& e : entries)
        list.append(QString::fromUtf8(e.caption));
    return list;
}

// An index outside the list falls back to the first entry, as the list starts there.
template <size_t N> QString clause(const SortEntry (&entries)[N], int index) {
    if (index < 0 || index >= int(N))
        index = 0;
    return QString::fromLatin1(entries[index].clause);
}

// SQLite's Upper only changes ASCII letters, and the stored text is compared
// byte for byte otherwise: upper-casing "ü" here would make "müller" miss
// "Müller". So only ASCII letters are raised.
QString upperAscii(const QString& text) {
    QString out = text;
    for (QChar& c : out)
        if (c >= u'a' && c <= u'z')
            c = QChar(c.unicode() - 'a' + 'A');
    return out;
}

} // namespace

QString QuoteExact(const QString& text) {
    QString value = text;
    value.replace(u'\'', QStringLiteral("''"));
    return u'\'' + value + u'\'';
}

QString LikePattern(const QString& typed, bool anywhere) {
    QString pattern;
    pattern.reserve(typed.size() + 4);
    if (anywhere)
        pattern += u'%';
    for (const QChar c : typed) {
        if (c == u'*')
            pattern += u'%';
        else if (c == u'%' || c == u'_' || c == u'\\')
            pattern += u'\\' + QString(c);
        else
            pattern += c;
    }
    pattern += u'%';
    return QuoteExact(pattern) + QStringLiteral(" escape '\\'");
}

QString LikeCondition(const QString& column, const QString& typed, bool anywhere) {
    if (typed.isEmpty())
        return QString();
    return column + QStringLiteral(" like ") + LikePattern(typed, anywhere);
}

QString NumberCondition(const QString& column, const QString& typed) {
    if (typed.isEmpty())
        return QString();
    for (const QChar c : typed)
        if (c < u'0' || c > u'9')
            return QString();
    return column + QStringLiteral(" = ") + typed;
}

QString EqualsCondition(const QString& column, const QString& value) {
    if (value.isEmpty())
        return QString();
    return column + QStringLiteral(" = ") + QuoteExact(value);
}

QString CheckCondition(const QString& column, Qt::CheckState state) {
    switch (state) {
    case Qt::Checked:
        return column + QStringLiteral(" = 'J'");
    case Qt::Unchecked:
        return column + QStringLiteral(" = 'N'");
    default:
        return QString();
    }
}

QString KundenNameCondition(const QString& alias, const QString& typed) {
    if (typed.isEmpty())
        return QString();
    const QString pattern = LikePattern(typed, false);
    QStringList parts;
    for (const char* column : {"Firma", "Nachname", "Vorname", "Zusatzname"})
        parts.append(alias + u'.' + QLatin1String(column) + QStringLiteral(" like ") + pattern);
    return u'(' + parts.join(QStringLiteral(" or ")) + u')';
}

QString ArtikelBezCondition(const QString& typed) {
    if (typed.isEmpty())
        return QString();
    return QStringLiteral("Upper(A.ArtKurzBez) like ") + LikePattern(upperAscii(typed), true);
}

QString CheckValue(Qt::CheckState state) {
    switch (state) {
    case Qt::Checked:
        return QStringLiteral("J");
    case Qt::Unchecked:
        return QStringLiteral("N");
    default:
        return QString();
    }
}

namespace {
QString checkSlot(const QString& column, const QString& value) {
    if (value == u'J')
        return CheckCondition(column, Qt::Checked);
    if (value == u'N')
        return CheckCondition(column, Qt::Unchecked);
    return QString();
}
} // namespace

QString KundenCondition(int slot, const QString& value) {
    switch (slot) {
    case 1:
        return EqualsCondition(QStringLiteral("G.KunGruBez"), value);
    case 2:
        return checkSlot(QStringLiteral("K.Aktiv"), value);
    case 3:
        return NumberCondition(QStringLiteral("K.KundenID"), value);
    case 4:
        return KundenNameCondition(QStringLiteral("K"), value);
    case 5:
        return LikeCondition(QStringLiteral("K.PLZ"), value);
    case 6:
        return LikeCondition(QStringLiteral("K.Ort"), value);
    case 7:
        return NumberCondition(QStringLiteral("K.KonzernID"), value);
    case 8:
        return KundenNameCondition(QStringLiteral("Ko"), value);
    case 9:
        return NumberCondition(QStringLiteral("K.HaendlerID"), value);
    case 10:
        return KundenNameCondition(QStringLiteral("H"), value);
    default:
        return QString();
    }
}

QString LieferantenCondition(int slot, const QString& value) {
    switch (slot) {
    case 1:
        return EqualsCondition(QStringLiteral("G.LieGruBez"), value);
    case 2:
        return checkSlot(QStringLiteral("L.Aktiv"), value);
    case 3:
        return NumberCondition(QStringLiteral("L.LieferantenID"), value);
    case 4:
        return LikeCondition(QStringLiteral("Firma"), value);
    case 5:
        return LikeCondition(QStringLiteral("L.PLZ"), value);
    case 6:
        return LikeCondition(QStringLiteral("L.Ort"), value);
    default:
        return QString();
    }
}

QString ArtikelCondition(int slot, const QString& value) {
    switch (slot) {
    case 1:
        return EqualsCondition(QStringLiteral("AG.ArtGruBez"), value);
    case 2:
        return ArtikelBezCondition(value);
    case 3:
        return checkSlot(QStringLiteral("A.Aktiv"), value);
    case 4:
        return EqualsCondition(QStringLiteral("A.LieferantenID"), value);
    case 5:
        return checkSlot(QStringLiteral("A.BereichEK"), value);
    case 6:
        return checkSlot(QStringLiteral("A.BereichVK"), value);
    default:
        return QString();
    }
}

QString JoinSlots(const QString& base, const QStringList& conds, const QString& sortClause) {
    QString sql = base;
    for (const QString& slot : conds)
        if (!slot.isEmpty())
            sql += QStringLiteral(" and ") + slot;
    return sql + sortClause;
}

QStringList KundenSortCaptions() {
    return captions(KundenSort);
}
QStringList LieferantenSortCaptions() {
    return captions(LieferantenSort);
}
QStringList ArtikelSortCaptions() {
    return captions(ArtikelSort);
}
QString KundenSortClause(int index) {
    return clause(KundenSort, index);
}
QString LieferantenSortClause(int index) {
    return clause(LieferantenSort, index);
}
QString ArtikelSortClause(int index) {
    return clause(ArtikelSort, index);
}

QString KundenSQL(const QStringList& conds, int sort) {
    // Slots 8 and 10 filter on the parent company and the dealer, which need
    // the customer table joined a second and a third time.
    const bool konzern = conds.size() > 7 && !conds.at(7).isEmpty();
    const bool haendler = conds.size() > 9 && !conds.at(9).isEmpty();
    QString base = QStringLiteral("select K.* from Kunde K, Kundengruppe G");
    if (konzern)
        base += QStringLiteral(", Kunde Ko");
    if (haendler)
        base += QStringLiteral(", Kunde H");
    base += QStringLiteral(" where G.KunGruID = K.KunGruID");
    if (konzern)
        base += QStringLiteral(" and K.KonzernID = Ko.KundenID");
    if (haendler)
        base += QStringLiteral(" and K.HaendlerID = H.KundenID");
    return JoinSlots(base, conds.mid(0, KundenSlots), KundenSortClause(sort));
}

QString LieferantenSQL(const QStringList& conds, int sort) {
    return JoinSlots(QStringLiteral("select L.* from Lieferant L, Lieferantengruppe G where G.LieGruID = "
                                    "L.LieGruID"),
                     conds.mid(0, LieferantenSlots), LieferantenSortClause(sort));
}

QString ArtikelSQL(const QStringList& conds, int sort) {
    return JoinSlots(QStringLiteral("select A.*, AG.ArtGruBez, L.Firma, (select total(P.Menge*P.Wert)/1.0 "
                                    "from ArtPreis P where P.ArtikelID = A.ArtikelID) as Summe from Artikel "
                                    "A, ArtikelGruppe AG, Lieferant L where AG.ArtGruID = A.ArtGruID and "
                                    "L.LieferantenID = A.LieferantenID"),
                     conds.mid(0, ArtikelSlots), ArtikelSortClause(sort));
}

} // namespace ListFilter
