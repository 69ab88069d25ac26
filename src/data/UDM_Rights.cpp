// Access rights: which functions ask for the shared password, and the password.
#include "UDM.h"

namespace {

// A text as an SQL literal exactly as typed: quotes doubled, nothing trimmed,
// an empty text stays an empty text. The password must survive any character
// the user types, and its column does not take NULL.
QString ExactLiteral(const QString& text) {
    QString doubled = text;
    doubled.replace(QLatin1Char('\''), QLatin1String("''"));
    return QLatin1Char('\'') + doubled + QLatin1Char('\'');
}

} // namespace

bool TDM::RightProtected(const QString& key) {
    Query1.RunSQL("select berechtigt from set_recht where Funktion = " + ExactLiteral(key));
    const bool isProtected = !Query1.IsEmpty() && Query1.Fields(0)->AsString() == QLatin1String("N");
    Query1.Close();
    return isProtected;
}

QString TDM::ReadKennwort() {
    Query1.RunSQL(QStringLiteral("select Bezeichnung from set_recht where Funktion = 'Kennwort'"));
    const QString password = Query1.IsEmpty() ? QString() : Query1.Fields(0)->AsString();
    Query1.Close();
    return password;
}

QList<TDM::TRechtEntry> TDM::ReadRechte() {
    QList<TRechtEntry> entries;
    Query1.RunSQL(QStringLiteral("select * from set_recht where Funktion <> 'Kennwort' and Funktion <> "
                                 "'EinRecht' order by Bezeichnung"));
    for (Query1.First(); !Query1.Eof(); Query1.Next())
        entries.append({Query1.FieldByName(QStringLiteral("Funktion"))->AsString(),
                        Query1.FieldByName(QStringLiteral("Bezeichnung"))->AsString(),
                        Query1.FieldByName(QStringLiteral("Berechtigt"))->AsString() == QLatin1String("N")});
    Query1.Close();
    return entries;
}

void TDM::SaveRechte(const QString& password, const QList<TRechtEntry>& entries) {
    // One transaction: a password the database refuses must not leave the
    // rights half changed, nor the rights changed without the password.
    RunInTransaction([&] {
        Exec("update set_recht set Bezeichnung = " + ExactLiteral(password) + " where Funktion = " + "'" +
             "Kennwort" + "'");
        for (const TRechtEntry& e : entries) {
            if (e.Geschuetzt)
                Exec("update set_recht set berechtigt = 'N' where Funktion = " + ExactLiteral(e.Funktion));
            else
                Exec("update set_recht set berechtigt = 'J' where Funktion = " + ExactLiteral(e.Funktion));
        }
    });
}
