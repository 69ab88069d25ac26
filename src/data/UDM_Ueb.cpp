// The document overview's list statement and delete, and copying a document
// into another (or the same) type.
#include "UDM.h"

#include "Beleg.h"
#include "GlobalFunctions.h"
#include "KopfUebZusatz.h"
#include "ListFilter.h"
#include "Messages.h"
#include "QuorventFunctions.h"

#include <QDateTime>

namespace {

// Only a to z: the database's upper() changes no other letter, so the typed
// text must be treated alike or "küche" would no longer find "Küche".
QString UpperAscii(const QString& text) {
    QString result = text;
    for (QChar& c : result) {
        if (c >= u'a' && c <= u'z')
            c = QChar(c.unicode() - 'a' + 'A');
    }
    return result;
}

QString DigitsOf(const QString& text) {
    QString digits;
    for (QChar c : text) {
        if (c >= u'0' && c <= u'9')
            digits.append(c);
    }
    // Leading zeros say nothing, and a long run must still be one number.
    while (digits.size() > 1 && digits.startsWith(u'0'))
        digits.remove(0, 1);
    return digits.left(18);
}

// The designation searched anywhere, every typed character standing for
// itself. The text is stored as Windows-1252 bytes, which SQLite's LIKE reads
// as broken UTF-8: it takes every letter beyond a to z for the same
// character, so "KÜCHE" would find "Küche" and "Bär" "Bör". instr compares
// the bytes, and the quotes are doubled, so nothing typed becomes SQL.
QString BezCondition(const QString& typed) {
    return QStringLiteral("instr(upper(K.KopfBez), ") + ListFilter::QuoteExact(UpperAscii(typed)) +
           QStringLiteral(") > 0");
}

QString SortClause(int sort) {
    static const char* const clauses[] = {
        " order by K.Datum desc, K.KopfID desc",
        " order by K.KopfTyp, K.Datum desc, K.KopfID desc",
        " order by K.KopfID desc, K.KopfTyp",
        " order by K.KundenId, K.Datum desc, K.KopfID desc",
        " order by Upper(K.KopfBez), K.Datum desc, K.KopfID desc",
        " order by K.Status, K.Datum desc, K.KopfID desc",
        " order by Summe, K.Datum desc, K.KopfID desc",
    };
    if (sort < 0 || sort >= int(std::size(clauses)))
        sort = 0;
    return QLatin1String(clauses[sort]);
}

QString TypLiteral(const QString& typ) {
    return QLatin1Char('\'') + typ + QLatin1Char('\'');
}

QString DocWhere(const QString& typ, int kopfId) {
    return QStringLiteral(" where KopfTyp = ") + TypLiteral(typ) + QStringLiteral(" and KopfID = ") +
           QString::number(kopfId);
}

// The indexes the overview's sums and payment marks read, created when
// missing (a no-op once they exist).
void EnsureKopfUebIndizes(TSQLiteDB& db) {
    EnsurePreisSummenIndex(db);
    // The payment mark of each invoice looks for the credit notes and
    // cancellations that refer to it; without an index that is a walk over
    // all of them for every invoice, minutes on a file of ten years.
    try {
        db.ExecSQL(QStringLiteral("create index if not exists KopfBezug on Kopf (RefTyp, RefID)"));
    } catch (const ESQLiteError&) {
    }
}

} // namespace

QString TDM::KopfUebCondition(int slot, const QString& value) {
    switch (slot) {
    case 2:
        return value.isEmpty() ? QString() : BezCondition(value);
    case 4:
    case 5: {
        const int entry = value.toInt();
        if (slot == 4 && entry >= 1 && entry <= StatusWerte().size())
            return QStringLiteral("K.Status = ") + TypLiteral(StatusWerte().at(entry - 1));
        if (slot == 5 && entry >= 1 && entry <= DokTypen().size())
            return QStringLiteral("K.KopfTyp = ") + TypLiteral(DokTypen().at(entry - 1));
        return QString();
    }
    default:
        break;
    }
    const QString digits = DigitsOf(value);
    if (digits.isEmpty())
        return QString();
    switch (slot) {
    case 1:
        return QStringLiteral("K.KopfID = ") + digits;
    case 3:
        return QStringLiteral("K.KopfTyp <> 'B' and K.KundenID = ") + digits;
    case 6:
        return QStringLiteral("K.KopfTyp <> 'B' and Ku.KundenID = K.KundenID and Ku.KonzernID = ") + digits;
    case 7:
        return QStringLiteral("K.KopfTyp <> 'B' and K.SubkundenID = ") + digits;
    case 8:
        return QStringLiteral("K.KopfTyp = 'B' and K.KundenID = ") + digits;
    default:
        return QString();
    }
}

TKopfUebZusatz KopfUebZusatz;

QString TDM::KopfUebSQL(const QStringList& conds, int sort) {
    EnsureKopfUebIndizes(SQLiteDB1);
    // Whether there is anything to list at all; counting the documents would
    // walk all of them on every keystroke.
    Query1.RunSQL(
        QStringLiteral("select exists (select 1 from Kopf K, Kunde U where U.KundenID = K.KundenID) as cnt"));
    if (Query1.FieldByName(QStringLiteral("cnt"))->AsInteger() == 0)
        return QStringLiteral(
            "select *, Rabatt as Summe, Rabatt as SummeUST, Rabatt as SummeInkl, KopfBez as "
            "KundenName from Kopf where KopfID < 0");
    QString sql = KopfSummenSQL();
    if (!KopfUebZusatz.SQL.isEmpty() && TableExists(KopfUebZusatz.Tabelle))
        sql.insert(sql.lastIndexOf(QStringLiteral(" from Kopf K")),
                   QStringLiteral(", ") + KopfUebZusatz.SQL + QStringLiteral(" as ") + KopfUebZusatz.Name);
    if (!conds.value(5).isEmpty())
        sql += QStringLiteral(", Kunde Ku");
    QStringList set;
    for (const QString& c : conds.mid(0, KopfUebSlots))
        if (!c.isEmpty())
            set.append(c);
    if (!set.isEmpty())
        sql += QStringLiteral(" where ") + set.join(QStringLiteral(" and "));
    return sql + SortClause(sort);
}

void TDM::OpenQueryKopf(const QStringList& conds, int sort) {
    QueryKopf.RunSQL(KopfUebSQL(conds, sort));
}

void TDM::ReopenQueryKopf(const QString& typ, int kopfId) {
    QueryKopf.Close();
    QueryKopf.Open();
    if (!typ.isEmpty() && kopfId > 0)
        QueryKopf.Locate(QStringLiteral("KopfTyp;KopfID"), QVariantList{typ, kopfId});
}

bool TDM::DeleteKopfAsked(const QString& typ, int kopfId) {
    if (!IsDokTyp(typ) || kopfId <= 0)
        return false;
    TableKopf.Close();
    TableKopf.Open();
    // Only exactly this document: a row the list still showed but someone
    // else deleted meanwhile must not lead to deleting whatever row the
    // table happens to stand on.
    if (!TableKopf.Locate(QStringLiteral("KopfTyp;KopfID"), QVariantList{typ, kopfId}))
        return false;
    const QString bez = TableKopf.FieldByName(QStringLiteral("KopfBez"))->AsString();
    const QString rest = QLatin1Char(' ') + QString::number(kopfId) +
                         (bez.isEmpty() ? QString() : QStringLiteral(" - ") + bez);
    if (StatusGeschlossen(TableKopf.FieldByName(QStringLiteral("Status"))->AsString())) {
        Messages::warning(DokTypMitArtikel(typ, true) + rest + QStringLiteral(" ist bereits abgeschlossen!"));
        return false;
    }
    if (Messages::question(QStringLiteral("Soll ") + DokTypMitArtikel(typ) + rest +
                               QStringLiteral(" wirklich gelöscht werden?"),
                           false, Messages::No) != Messages::Yes)
        return false;
    TableKopf.Delete();
    return true;
}

QList<QPair<qint64, QString>> TDM::KopierPositionen(const QString& typ, int kopfId) {
    QList<QPair<qint64, QString>> list;
    if (!IsDokTyp(typ))
        return list;
    Query1.RunSQL(QStringLiteral("select PosID, PosKurzBez from PosDaten") + DocWhere(typ, kopfId) +
                  QStringLiteral(" order by PosID"));
    for (Query1.First(); !Query1.Eof(); Query1.Next()) {
        const qint64 id = Query1.FieldByName(QStringLiteral("PosID"))->AsLargeInt();
        list.append({id, QString::number(id) + QStringLiteral(" - ") +
                             Query1.FieldByName(QStringLiteral("PosKurzBez"))->AsString()});
    }
    return list;
}

int TDM::KopiereDokument(const TKopierAuftrag& a) {
    const QString& s = a.QuellTyp;
    const QString& z = a.ZielTyp;
    if (!IsDokTyp(s) || !IsDokTyp(z) || a.QuellID <= 0)
        return 0;

    // Taken for good: a copy refused below leaves a gap in the range.
    const int m = GetNumber(Query1, DokTypNumKreis(z), true);
    Query1.RunSQL(QStringLiteral("select count(*) as anz from Kopf") + DocWhere(z, m));
    if (Query1.FieldByName(QStringLiteral("anz"))->AsInteger() > 0) {
        Messages::warning(
            QStringLiteral("Die vorgesehende Nummer ist bereits vorhanden! Bitte versuchen Sie es "
                           "erneut oder passen Sie den entsprechenden Nummernkreis an!"));
        return 0;
    }

    // The columns to take along, named in table order; type and number are the copy's own.
    auto columnsOf = [this](const QString& table, const QStringList& keys, const QString& where) {
        Query1.RunSQL(QStringLiteral("select * from ") + table + where);
        QString columns;
        for (int i = 0; i < Query1.FieldCount(); ++i) {
            const QString name = Query1.Fields(i)->FieldName();
            if (!keys.contains(name, Qt::CaseInsensitive))
                columns += QStringLiteral(", ") + name;
        }
        return columns;
    };
    const QString sourceWhere = DocWhere(s, a.QuellID);
    const QString targetWhere = DocWhere(z, m);
    const QStringList kopfKeys{QStringLiteral("KopfTyp"), QStringLiteral("KopfID")};
    const QString kopfColumns = columnsOf(QStringLiteral("Kopf"), kopfKeys, sourceWhere);
    if (Query1.IsEmpty())
        RefuseWithWarning(DokTypMitArtikel(s, true) + QLatin1Char(' ') + QString::number(a.QuellID) +
                          QStringLiteral(" ist nicht mehr vorhanden!"));

    QString texts;
    if (!a.KopfFussText) {
        Query1.RunSQL(QStringLiteral("select KopfText") + z + QStringLiteral(", KopfVorPos") + z +
                      QStringLiteral(", FussText") + z + QStringLiteral(", FussNachPos") + z +
                      QStringLiteral(" from Geschaeft where GesId = 1"));
        auto q = [this](const QString& column) { return SQLQuote(Query1.FieldByName(column)->AsString()); };
        texts = QStringLiteral("update Kopf set KopfText = ") + q(QStringLiteral("KopfText") + z) +
                QStringLiteral(",KopfTextVorPos = ") + q(QStringLiteral("KopfVorPos") + z) +
                QStringLiteral(",FussText = ") + q(QStringLiteral("FussText") + z) +
                QStringLiteral(",FussTextNachPos = ") + q(QStringLiteral("FussNachPos") + z) + targetWhere;
    }

    const QStringList posKeys{QStringLiteral("KopfTyp"), QStringLiteral("KopfID"), QStringLiteral("PosID")};
    const QString now = QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));

    // Header, positions and price lines of the copy stand or fall together.
    RunInTransaction([&] {
        Exec(QStringLiteral("insert into Kopf (KopfTyp, KopfID") + kopfColumns + QStringLiteral(") select ") +
             TypLiteral(z) + QStringLiteral(", ") + QString::number(m) + kopfColumns +
             QStringLiteral(" from Kopf") + sourceWhere);
        Exec(QStringLiteral("update Kopf set RefTyp = ") + TypLiteral(s) + QStringLiteral(", RefID = ") +
             QString::number(a.QuellID) + QStringLiteral(", Datum = '") + now +
             QStringLiteral("', Datum2 = '") + now + QStringLiteral("',Status = 'E'") + targetWhere);
        if (!texts.isEmpty())
            Exec(texts);
        // A customer's number means someone else among the suppliers, and the
        // other way round: such a copy takes no partner until the user picks
        // one, so it can neither be saved nor printed for the wrong firm. The
        // column allows no NULL; a number below every customer and supplier
        // stands for none.
        if (DokTypMitLieferant(s) != DokTypMitLieferant(z))
            Exec(
                QStringLiteral("update Kopf set KundenID = min(-1, ifnull((select min(KundenID) from Kunde), "
                               "0) - 1, ifnull((select min(LieferantenID) from Lieferant), 0) - 1)") +
                targetWhere);
        if (a.Positionen.isEmpty())
            return;
        for (const QString& table : {QStringLiteral("PosDaten"), QStringLiteral("PosPreis")}) {
            const QString columns = columnsOf(table, posKeys, sourceWhere);
            qint64 counter = 0;
            for (const qint64 old : a.Positionen) {
                const qint64 neu = a.Fortlaufend ? ++counter : old;
                Exec(QStringLiteral("insert into ") + table + QStringLiteral(" (KopfTyp, KopfID, PosID") +
                     columns + QStringLiteral(") select ") + TypLiteral(z) + QStringLiteral(", ") +
                     QString::number(m) + QStringLiteral(", ") + QString::number(neu) + columns +
                     QStringLiteral(" from ") + table + sourceWhere + QStringLiteral(" and PosID = ") +
                     QString::number(old));
            }
        }
    });
    return m;
}

bool TDM::KopfOhnePartner(const QString& typ, int kopfId) {
    Query1.RunSQL(
        QStringLiteral("select count(*) as anz from Kopf K where K.KopfTyp = ") + SQLQuote(typ) +
        QStringLiteral(" and K.KopfID = ") + QString::number(kopfId) +
        (DokTypMitLieferant(typ)
             ? QStringLiteral(" and not exists (select 1 from Lieferant L where L.LieferantenID = "
                              "K.KundenID)")
             : QStringLiteral(" and not exists (select 1 from Kunde U where U.KundenID = K.KundenID)")));
    return Query1.FieldByName(QStringLiteral("anz"))->AsInteger() > 0;
}
