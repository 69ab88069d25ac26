#include "QuorventFunctions.h"

#include "SQLite.h"
#include "SQLiteCursor.h"

namespace {

// The keys are the program's own fixed names; doubling a quote keeps an odd
// key from breaking the statement and leaves every normal key unchanged.
QString KeyLiteral(const QString& key) {
    QString escaped = key;
    escaped.replace(u'\'', QStringLiteral("''"));
    return u'\'' + escaped + u'\'';
}

struct TDokTyp {
    char16_t letter;
    const char16_t* name;
    const char16_t* withArticle;
};

constexpr TDokTyp DokTypen[] = {
    {u'O', u"Angebot", u"das Angebot"},           {u'A', u"Auftrag", u"der Auftrag"},
    {u'L', u"Lieferschein", u"der Lieferschein"}, {u'R', u"Rechnung", u"die Rechnung"},
    {u'T', u"Teilrechnung", u"die Teilrechnung"}, {u'S', u"Stornorechnung", u"die Stornorechnung"},
    {u'G', u"Gutschrift", u"die Gutschrift"},     {u'B', u"Bestellung", u"die Bestellung"},
};

const TDokTyp* FindDokTyp(const QString& kopfTyp) {
    if (kopfTyp.size() != 1)
        return nullptr;
    for (const auto& typ : DokTypen)
        if (kopfTyp[0] == QChar(typ.letter))
            return &typ;
    return nullptr;
}

} // namespace

QString ReadAllgSetting(TSQLiteQuery& query, const QString& key) {
    query.RunSQL(QStringLiteral("select AllgWert from set_allg where AllgID = ") + KeyLiteral(key));
    if (query.IsEmpty())
        return QString();
    return query.FieldByName(QStringLiteral("AllgWert"))->AsString();
}

QString ReadAllgText(TSQLiteDB& db, const QString& key) {
    TSQLiteCursor c(db, QStringLiteral("select AllgWert from set_allg where AllgID = ") + KeyLiteral(key));
    return c.Next() ? c.Text(0) : QString();
}

TMailSetting GetMailSetting(TSQLiteQuery& query) {
    TMailSetting setting;
    setting.Host = ReadAllgSetting(query, QStringLiteral("MailHost"));
    setting.User = ReadAllgSetting(query, QStringLiteral("MailUser"));
    setting.Password = ReadAllgSetting(query, QStringLiteral("MailPW"));
    setting.Auth = ReadAllgSetting(query, QStringLiteral("MailAuth")) == QLatin1String("J");
    // A certificate file's path is easily longer than the column.
    setting.CaFile = ReadAllgText(*query.Connection(), QStringLiteral("MailCAFile"));
    return setting;
}

int GetNumber(TSQLiteQuery& query, const QString& numTyp, bool advance) {
    const QString select =
        QStringLiteral("select Nummer from set_nummer where NumTyp = ") + KeyLiteral(numTyp);
    auto readNumber = [&]() {
        query.RunSQL(select);
        return query.IsEmpty() ? 0 : query.FieldByName(QStringLiteral("Nummer"))->AsInteger();
    };
    if (!advance)
        return readNumber();

    return query.Connection()->DrawNumber(QStringLiteral("set_nummer"), QStringLiteral("Nummer"),
                                          QStringLiteral("NumTyp"), KeyLiteral(numTyp));
}

QString GetFileSetting(TSQLiteQuery& query, const QString& fileId) {
    query.RunSQL(QStringLiteral("select FileName from set_file where FileID = ") + KeyLiteral(fileId));
    QString fileName =
        query.IsEmpty() ? QString() : query.FieldByName(QStringLiteral("FileName"))->AsString();
    const QString doubled = QStringLiteral("\\\\");
    qsizetype pos;
    while ((pos = fileName.indexOf(doubled)) >= 0)
        fileName.remove(pos, 1);
    return fileName;
}

QString DokTypName(const QString& kopfTyp) {
    const TDokTyp* typ = FindDokTyp(kopfTyp);
    return typ ? QString::fromUtf16(typ->name) : QString();
}

QString DokTypMitArtikel(const QString& kopfTyp, bool capital) {
    const TDokTyp* typ = FindDokTyp(kopfTyp);
    if (!typ)
        return QString();
    QString text = QString::fromUtf16(typ->withArticle);
    if (capital)
        text[0] = text[0].toUpper();
    return text;
}
