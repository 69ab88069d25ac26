#include "GeneralSettings.h"

#include "FileNames.h"
#include "GlobalFunctions.h"
#include "IniFile.h"
#include "Messages.h"
#include "UDM.h"

void SetAllgExact(TDM& dm, const QString& key, const QString& value) {
    QString literal = QStringLiteral("NULL");
    if (!value.isEmpty()) {
        QString escaped = value;
        escaped.replace(u'\'', QStringLiteral("''"));
        literal = u'\'' + escaped + u'\'';
    }
    TSQLiteQuery& q = dm.Query1;
    q.RunSQL(QStringLiteral("select count(*) as anz from set_allg where AllgID = ") + SQLQuote(key));
    if (q.FieldByName(QStringLiteral("anz"))->AsInteger() != 0)
        q.RunSQL(QStringLiteral("update set_allg set AllgWert = ") + literal +
                 QStringLiteral(" where AllgID = ") + SQLQuote(key));
    else
        q.RunSQL(QStringLiteral("insert into set_allg values (") + SQLQuote(key) + u',' + literal + u')');
}

bool SaveGeneralSettings(TDM& dm, const QString& databaseFile, const TMailSetting& mail, bool storeWindow) {
    if (!FileNameExists(databaseFile)) {
        Messages::error(QStringLiteral("Die angegebene Datenbank existiert nicht!"));
        return false;
    }
    const QString settingsFile = TDM::SettingsFileName();
    const QString section = QStringLiteral("Database");
    const QString key = QStringLiteral("DBFile");
    const QString previous = TDM::DatabaseFileName();
    // Reconnecting reads the name from the settings file: when it cannot be
    // written, the program would quietly reopen the old database.
    if (!WriteIniString(settingsFile, section, key, databaseFile)) {
        Messages::error(QStringLiteral("Die Einstellungsdatei ") + settingsFile +
                        QStringLiteral(" konnte nicht geschrieben werden!"));
        return false;
    }
    dm.SQLiteDB1.Close();
    dm.ConnectDatabase();
    if (dm.ConnectFailed) {
        // Without a connection no page could work: back to the database the
        // program had, and nothing meant for the other file lands in it.
        WriteIniString(settingsFile, section, key, previous);
        dm.ConnectDatabase();
        return false;
    }
    dm.SetAllg(QStringLiteral("MailHost"), mail.Host);
    dm.SetAllg(QStringLiteral("MailUser"), mail.User);
    SetAllgExact(dm, QStringLiteral("MailPW"), mail.Password);
    dm.SetAllg(QStringLiteral("MailAuth"), mail.Auth ? QStringLiteral("J") : QStringLiteral("N"));
    dm.SetAllg(QStringLiteral("MailCAFile"), mail.CaFile);
    dm.SetAllg(QStringLiteral("StoreWindow"), storeWindow ? QStringLiteral("J") : QStringLiteral("N"));
    return true;
}
