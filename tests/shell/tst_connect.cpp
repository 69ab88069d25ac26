// Finding, moving and connecting the database file.
#include "GlobalFunctions.h"
#include "TestSupport.h"
#include "UDM.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QSettings>
#include <QtTest>

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
