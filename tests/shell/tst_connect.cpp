// Finding, moving and connecting the database file.
#include "FileNames.h"
#include "GlobalFunctions.h"
#include "IniFile.h"
#include "OldDatabases.h"
#include "TestSupport.h"
#include "UDM.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QSettings>
#include <QtTest>

#include <unistd.h>

class TstConnect : public QObject {
    Q_OBJECT

private:
    // Builds a database at an old schema version with one marker row.
    static void BuildOldDatabase(const QString& file, int version) {
        TDM old;
        old.SQLiteDB1.FileName = file;
        old.SQLiteDB1.Open();
        old.CreateMissingTables();
        old.UpgradeSchema(version);
        old.SQLiteDB1.ExecSQL(QStringLiteral("CREATE TABLE Marker (Text VARCHAR(20))"));
        old.SQLiteDB1.ExecSQL(QStringLiteral("INSERT INTO Marker VALUES ('alte Daten')"));
        old.SQLiteDB1.Close();
    }
    static void WriteIni(const QString& dbFile) {
        QSettings ini(TDM::SettingsFileName(), QSettings::IniFormat);
        ini.setValue(QStringLiteral("Database/DBFile"), dbFile);
        ini.sync();
    }
    static QString OldDbs() {
        QString f = TDM::OldDatabaseFileName();
        return f.left(f.size() - 3) + QStringLiteral(".DBS");
    }

private slots:
    void init() {
        QFile::remove(TDM::OldDatabaseFileName());
        QFile::remove(OldDbs());
    }
    void cleanup() { init(); }

    void firstStartCreatesDefaultDatabase() {
        TempDataHome home;
        ScriptedMessages msgs;
        TDM dm;
        dm.ConnectDatabase();
        QVERIFY(!dm.ConnectFailed);
        QVERIFY(msgs.boxes.isEmpty());
        QCOMPARE(dm.SQLiteDB1.FileName, home.dataFolder() + "Quorvent.DB");
        QVERIFY(QFile::exists(home.dataFolder() + "Quorvent.DB"));
        QCOMPARE(dm.GetDBVersion(), 16);
        // Nothing is written into the settings: the default stays the default.
        QVERIFY(!QFile::exists(home.dataFolder() + "Quorvent.ini"));
    }

    void oldDatabaseBesideProgramIsMovedAndUpgraded() {
        TempDataHome home;
        ScriptedMessages msgs;
        BuildOldDatabase(TDM::OldDatabaseFileName(), 10);
        TDM dm;
        dm.ConnectDatabase();
        QVERIFY2(!dm.ConnectFailed, qPrintable(msgs.texts().join('\n')));
        QCOMPARE(dm.SQLiteDB1.FileName, home.dataFolder() + "Quorvent.DB");
        QCOMPARE(dm.GetDBVersion(), 16);
        dm.Query1.RunSQL(QStringLiteral("select Text from Marker"));
        QCOMPARE(dm.Query1.FieldByName("Text")->AsString(), QStringLiteral("alte Daten"));
        QVERIFY(!QFile::exists(TDM::OldDatabaseFileName()));
        QVERIFY(QFile::exists(OldDbs()));
    }

    // Only a missing file outside the program's folder is filled from the old place.
    void noMoveWhenNotNeeded_data() {
        QTest::addColumn<bool>("intoProgramFolder");
        QTest::addColumn<bool>("targetExists");
        QTest::newRow("settings point into the program folder") << true << false;
        QTest::newRow("database already in place") << false << true;
    }
    void noMoveWhenNotNeeded() {
        QFETCH(bool, intoProgramFolder);
        QFETCH(bool, targetExists);
        TempDataHome home;
        ScriptedMessages msgs;
        BuildOldDatabase(TDM::OldDatabaseFileName(), 16);
        const QString target =
            intoProgramFolder ? ProgramFolder() + "tst-connect-neu.DB" : home.dataFolder() + "Quorvent.DB";
        QFile::remove(target);
        if (intoProgramFolder)
            WriteIni(target);
        if (targetExists) {
            TDM existing;
            existing.OpenDatabaseFile(target);
        }
        TDM dm;
        dm.ConnectDatabase();
        QVERIFY(!dm.ConnectFailed);
        QCOMPARE(dm.SQLiteDB1.FileName, target);
        QVERIFY(!dm.TableExists(QStringLiteral("Marker")));
        QVERIFY(QFile::exists(TDM::OldDatabaseFileName()));
        QVERIFY(!QFile::exists(OldDbs()));
        dm.SQLiteDB1.Close();
        if (intoProgramFolder)
            QFile::remove(target);
    }

    // A failed copy must not hide the user's data behind the ".DBS" name.
    void failedCopyKeepsOldDatabase() {
        TempDataHome home;
        ScriptedMessages msgs;
        BuildOldDatabase(TDM::OldDatabaseFileName(), 16);
        // A folder that cannot be created: its parent is a file.
        const QString blocker = home.path() + "/keine-mappe";
        QFile f(blocker);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.close();
        QDir().mkpath(home.dataFolder());
        WriteIni(blocker + "/unter/Quorvent.DB");
        TDM dm;
        dm.ConnectDatabase();
        QVERIFY(dm.ConnectFailed);
        QVERIFY(QFile::exists(TDM::OldDatabaseFileName()));
        QVERIFY(!QFile::exists(OldDbs()));
    }

    void failedConnectionIsReported_data() {
        QTest::addColumn<QByteArray>("content");
        QTest::newRow("not a database")
            << QByteArray("Dies ist keine Datenbank, sondern nur Text.\n").repeated(50);
        QTest::newRow("newer schema") << QByteArray();
    }
    void failedConnectionIsReported() {
        QFETCH(QByteArray, content);
        TempDataHome home;
        ScriptedMessages msgs;
        const QString file = home.path() + "/fremd.DB";
        if (content.isEmpty()) {
            TDM newer;
            newer.OpenDatabaseFile(file);
            newer.SetDBVersion(99);
        } else {
            QFile f(file);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(content);
        }
        QDir().mkpath(home.dataFolder());
        WriteIni(file);
        TDM dm;
        dm.ConnectDatabase();
        QVERIFY(dm.ConnectFailed);
        QVERIFY(!dm.SQLiteDB1.Connected());
        QCOMPARE(msgs.boxes.size(), 1);
        QCOMPARE(msgs.boxes[0].kind, Messages::Error);
        QVERIFY2(msgs.boxes[0].text.startsWith("Fehler beim Verbinden zur Datenbank!\n"),
                 qPrintable(msgs.boxes[0].text));
        QVERIFY(msgs.boxes[0].text.size() > QString("Fehler beim Verbinden zur Datenbank!\n").size());

        // Connecting again to a good file clears the flag.
        WriteIni(home.path() + "/gut.DB");
        dm.ConnectDatabase();
        QVERIFY(!dm.ConnectFailed);
    }

    // The old database as a crash left it: the move takes what SQLite reads
    // from it, not the bytes of the file alone.
    void oldDatabaseIsMovedAsSQLiteReadsIt_data() {
        QTest::addColumn<QStringList>("statements");
        // Customers with discount 99 that copying the file by hand would have kept.
        QTest::addColumn<bool>("plainCopyHas99");
        QTest::addColumn<QString>("expected");
        QTest::newRow("unfinished update in a hot journal")
            << QStringList{"BEGIN", "update Kunde set Rabatt = 99"} << true << "0|5003";
        QTest::newRow("committed rows only in the WAL")
            << QStringList{"PRAGMA journal_mode = WAL", "update Kunde set Rabatt = 99 where KundenID = 107",
                           "delete from Kunde where KundenID = 108"}
            << false << "1|5002";
    }
    void oldDatabaseIsMovedAsSQLiteReadsIt() {
        QFETCH(QStringList, statements);
        QFETCH(bool, plainCopyHas99);
        QFETCH(QString, expected);
        TempDataHome home;
        ScriptedMessages msgs;
        const QString scratch = home.path() + "/vorher.DB";
        OldDatabases::Build(scratch, 10);
        {
            TSQLiteDB db;
            db.FileName = scratch;
            db.Open();
            db.ExecSQL("with recursive n(i) as (select 101 union all select i + 1 from n where i < 5100) "
                       "insert into Kunde (KundenID,AnredeID,TitelID,Firma,LandID,KunGruID,Aktiv,Rabatt) "
                       "select i, 1, 1, 'Firma ' || i, 1, 1, 'J', 5 from n");
        }
        const QString old = TDM::OldDatabaseFileName();
        OldDatabases::CrashCopy(scratch, old, statements);
        const QString count99 = "select count(*) from Kunde where Rabatt = 99";
        QCOMPARE(OldDatabases::PlainCopyRows(old, count99).toInt() > 0, plainCopyHas99);

        TDM dm;
        dm.ConnectDatabase();
        QVERIFY2(!dm.ConnectFailed, qPrintable(msgs.texts().join('\n')));
        QCOMPARE(dm.SQLiteDB1.FileName, home.dataFolder() + "Quorvent.DB");
        QCOMPARE(dm.GetDBVersion(), 16);
        dm.Query1.RunSQL("select (" + count99 + ") as A, (select count(*) from Kunde) as B");
        QCOMPARE(dm.Query1.Fields(0)->AsString() + u'|' + dm.Query1.Fields(1)->AsString(), expected);
        // The old file went to ".DBS" with nothing of it left behind under its old name.
        for (const char* suffix : {"", "-journal", "-wal"})
            QVERIFY2(!QFile::exists(old + suffix), suffix);
        QVERIFY(QFile::exists(OldDbs()));
        QFile::remove(OldDbs() + "-wal");
        QFile::remove(OldDbs() + "-shm");
    }

    // A ".DBS" from an earlier move is a database of its own and stays.
    void earlierDbsIsKept() {
        TempDataHome home;
        ScriptedMessages msgs;
        BuildOldDatabase(TDM::OldDatabaseFileName(), 16);
        QFile earlier(OldDbs());
        QVERIFY(earlier.open(QIODevice::WriteOnly));
        earlier.write("die ältere Datenbank");
        earlier.close();
        TDM dm;
        dm.ConnectDatabase();
        QVERIFY(!dm.ConnectFailed);
        QVERIFY(dm.TableExists(QStringLiteral("Marker")));
        QVERIFY(earlier.open(QIODevice::ReadOnly));
        QCOMPARE(earlier.readAll(), QByteArray("die ältere Datenbank"));
        QVERIFY(QFile::exists(TDM::OldDatabaseFileName()));
    }

    // The settings file names the database as the user wrote it.
    void settingsPathIsTakenAsWritten_data() {
        QTest::addColumn<QByteArray>("folder");
        QTest::addColumn<QByteArray>("value"); // the value as it stands in the file; %1 is the folder
        QTest::newRow("comma") << QByteArray("Daten, alt") << QByteArray("%1/Quorvent.DB");
        QTest::newRow("semicolon and equals sign")
            << QByteArray("Kunden; Lieferanten = alle") << QByteArray("%1/Quorvent.DB");
        QTest::newRow("bytes that are not UTF-8")
            << QByteArray("Kunden \xC4nderungen") << QByteArray("%1/Quorvent.DB");
        QTest::newRow("in quotes with blanks")
            << QByteArray(" Daten ") << QByteArray("  \"%1/Quorvent.DB\"  ");
    }
    void settingsPathIsTakenAsWritten() {
        QFETCH(QByteArray, folder);
        QFETCH(QByteArray, value);
        TempDataHome home;
        ScriptedMessages msgs;
        const QByteArray path = QFile::encodeName(home.path()) + '/' + folder;
        auto tidy = qScopeGuard([&] {
            RemoveFileName(DecodeFileName(path + "/Quorvent.DB"));
            ::rmdir(path.constData());
        });
        QVERIFY(CreateFolderPath(DecodeFileName(path)));
        QDir().mkpath(home.dataFolder());
        QFile ini(TDM::SettingsFileName());
        QVERIFY(ini.open(QIODevice::WriteOnly));
        ini.write("; written by hand\r\n[database]\r\nDBFile=" + value.replace("%1", path) + "\r\n");
        ini.close();

        TDM dm;
        dm.ConnectDatabase();
        QVERIFY2(!dm.ConnectFailed, qPrintable(msgs.texts().join('\n')));
        QCOMPARE(EncodeFileName(dm.SQLiteDB1.FileName), path + "/Quorvent.DB");
        QCOMPARE(dm.GetDBVersion(), 16);
        dm.SQLiteDB1.Close();
        QCOMPARE(OldDatabases::RawEntries(path), QList<QByteArray>{"Quorvent.DB"});
    }

    // A database on a network share gets its warning at start, naming the
    // file and the kind of share, unless the administrator allowed it.
    void networkShareIsWarnedAbout_data() {
        QTest::addColumn<QString>("fileSystem");
        QTest::addColumn<QString>("allowed");
        QTest::addColumn<QString>("shown");
        QTest::newRow("SMB") << "cifs"
                             << ""
                             << "liegt auf einem Netzlaufwerk (SMB/CIFS)";
        QTest::newRow("NFS allowed by the administrator") << "nfs4"
                                                          << "1"
                                                          << "";
        QTest::newRow("local disk") << "ext4"
                                    << ""
                                    << "";
    }
    void networkShareIsWarnedAbout() {
        QFETCH(QString, fileSystem);
        QFETCH(QString, allowed);
        QFETCH(QString, shown);
        TempDataHome home;
        ScriptedMessages msgs;
        if (!allowed.isEmpty()) {
            QDir().mkpath(home.dataFolder());
            QVERIFY(WriteIniString(TDM::SettingsFileName(), QStringLiteral("Database"),
                                   QStringLiteral("NetzlaufwerkErlaubt"), allowed));
        }
        qputenv("QUORVENT_DATEISYSTEM", fileSystem.toUtf8());
        TDM dm;
        dm.ConnectDatabase();
        qunsetenv("QUORVENT_DATEISYSTEM");
        QVERIFY(!dm.ConnectFailed);
        if (shown.isEmpty()) {
            QVERIFY2(msgs.boxes.isEmpty(), qPrintable(msgs.texts().join('\n')));
            return;
        }
        QCOMPARE(msgs.boxes.size(), 1);
        QCOMPARE(msgs.boxes[0].kind, Messages::Warning);
        QVERIFY(msgs.boxes[0].text.contains(shown));
        QVERIFY(msgs.boxes[0].text.contains(home.dataFolder() + QStringLiteral("Quorvent.DB")));
        QVERIFY(msgs.boxes[0].text.contains(QStringLiteral("NetzlaufwerkErlaubt=1")));
        // The database is opened all the same: the warning does not lock anyone out.
        QCOMPARE(dm.GetDBVersion(), 16);
    }

    void refuseWithWarningWarnsAndAbortsSilently() {
        ScriptedMessages msgs;
        QVERIFY_THROWS_EXCEPTION(EAbort,
                                 TDM::RefuseWithWarning(QStringLiteral("Bitte eine Bezeichnung eingeben!")));
        QCOMPARE(msgs.boxes.size(), 1);
        QCOMPARE(msgs.boxes[0].kind, Messages::Warning);
        QCOMPARE(msgs.boxes[0].text, QStringLiteral("Bitte eine Bezeichnung eingeben!"));
    }
};

QTEST_GUILESS_MAIN(TstConnect)
#include "tst_connect.moc"
