// Backup, restore and the automatic backups of the open database: a copy is
// consistent and complete, a restore replaces the data only with a good
// Quorvent database, and anything else leaves the current file untouched.
#include "DatabaseFixture.h"
#include "EndedProcess.h"
#include "FileNames.h"
#include "OldDatabases.h"
#include "Sicherung.h"
#include "TestSupport.h"
#include "UDM.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTextStream>
#include <QtTest>

using OldDatabases::RawRows;

class TestSicherung : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void backupWhileAnotherConnectionWrites();
    void backupOfWalDatabase();
    void restoreOfBackup();
    void restoreOfOldVersionIsUpgraded();
    void refusedRestoreLeavesDataAsItWas_data();
    void refusedRestoreLeavesDataAsItWas();
    void rotationKeepsTheNewest();
    void autoBackupsOfTwoDatabasesStayApart();
    void restoreKeepsTheOldestBackup();
    void restoreWithAnotherConnection_data();
    void restoreWithAnotherConnection();
    void abandonedCopiesAreRemoved_data();
    void abandonedCopiesAreRemoved();
    void backupOnCloseFollowsSettings();
    void backupCommand_data();
    void backupCommand();

private:
    QString tmp(const QString& name) const { return work->filePath(name); }
    QString firms(const QString& file) {
        return RawRows(file, QStringLiteral("select Firma from Kunde where KundenID > 0 order by KundenID"));
    }
    void addFirm(int id, const QString& firma) {
        dm->SQLiteDB1.ExecSQL(
            QStringLiteral("insert into Kunde (KundenID,AnredeID,TitelID,Firma,LandID,KunGruID,Aktiv,"
                           "KonzernID) values (%1,1,1,'%2',1,1,'J',0)")
                .arg(id)
                .arg(firma));
    }
    static void Write(const QString& file, const QByteArray& data) {
        QFile f(file);
        [&] { QVERIFY(f.open(QIODevice::WriteOnly)); }();
        f.write(data);
    }
    // Changes a database file through a connection of its own.
    static void Exec(const QString& file, const QStringList& statements) {
        TSQLiteDB other;
        other.FileName = file;
        other.Open();
        for (const QString& sql : statements)
            other.ExecSQL(sql);
    }
    static QByteArray Hash(const QString& file) {
        QFile f(file);
        f.open(QIODevice::ReadOnly);
        return QCryptographicHash::hash(f.readAll(), QCryptographicHash::Sha256);
    }

    TDatabaseFixture db;
    TDM* dm = nullptr;
    QTemporaryDir* work = nullptr;
};

void TestSicherung::initTestCase() {
    PinGermanLocale();
    db.BuildTemplate();
}

void TestSicherung::init() {
    QVERIFY(db.Open());
    dm = db.dm;
    work = new QTemporaryDir;
    addFirm(1, QStringLiteral("Müller & Söhne"));
}

void TestSicherung::cleanup() {
    db.Close();
    delete work;
    work = nullptr;
}

void TestSicherung::backupWhileAnotherConnectionWrites() {
    // Another program is in the middle of a change: the copy holds the last
    // committed state, not its half.
    TSQLiteDB other;
    other.FileName = dm->SQLiteDB1.FileName;
    other.Open();
    other.StartTransaction();
    other.ExecSQL(QStringLiteral("update Kunde set Firma = 'halb' where KundenID = 1"));
    other.ExecSQL(QStringLiteral("insert into Kunde (KundenID,AnredeID,TitelID,Firma,LandID,KunGruID,Aktiv,"
                                 "KonzernID) values (2,1,1,'neu',1,1,'J',0)"));
    BackupDatabase(*dm, tmp(QStringLiteral("copy.DB")));
    other.Commit();
    other.Close();

    QCOMPARE(firms(tmp(QStringLiteral("copy.DB"))), QStringLiteral("Müller & Söhne"));
    QCOMPARE(RawRows(tmp(QStringLiteral("copy.DB")), QStringLiteral("PRAGMA integrity_check")),
             QStringLiteral("ok"));
}

void TestSicherung::backupOfWalDatabase() {
    dm->SQLiteDB1.ExecSQL(QStringLiteral("PRAGMA journal_mode = WAL"));
    dm->SQLiteDB1.ExecSQL(QStringLiteral("PRAGMA wal_autocheckpoint = 0"));
    addFirm(2, QStringLiteral("Nur im Log"));
    QVERIFY(QFileInfo(dm->SQLiteDB1.FileName + QStringLiteral("-wal")).size() > 0);

    const QString copy = tmp(QStringLiteral("Quorvent-2026-12-09.DB"));
    BackupDatabase(*dm, copy);
    // One file that can be carried away alone and holds what the log held.
    QVERIFY(!QFile::exists(copy + QStringLiteral("-wal")));
    QCOMPARE(firms(copy), QStringLiteral("Müller & Söhne\nNur im Log"));
    QCOMPARE(RawRows(copy, QStringLiteral("PRAGMA journal_mode")), QStringLiteral("delete"));
}

void TestSicherung::restoreOfBackup() {
    const QString backup = tmp(QStringLiteral("sicherung.DB"));
    BackupDatabase(*dm, backup);
    addFirm(2, QStringLiteral("Nach der Sicherung"));
    dm->TableKunde.Open();

    const QString saved = RestoreDatabase(*dm, backup);

    // The program works on the restored data at once, through its own connection.
    QVERIFY(dm->SQLiteDB1.Connected());
    QCOMPARE(QueryInt(dm->Query2, QStringLiteral("select count(*) from Kunde where KundenID > 0")), 1);
    QCOMPARE(firms(dm->SQLiteDB1.FileName), QStringLiteral("Müller & Söhne"));
    // What was replaced is kept as an automatic backup.
    QVERIFY(saved.startsWith(AutoBackupFolder(dm->SQLiteDB1.FileName)));
    QCOMPARE(firms(saved), QStringLiteral("Müller & Söhne\nNach der Sicherung"));
    QCOMPARE(AutomaticBackups(dm->SQLiteDB1.FileName), QStringList{saved});
    // No staging copy is left beside the database.
    const QDir dir = QFileInfo(dm->SQLiteDB1.FileName).dir();
    QCOMPARE(dir.entryList({QStringLiteral("*ruecksicherung*")}, QDir::Files), QStringList());
    QCOMPARE(db.messages->boxes.size(), 0);
}

void TestSicherung::restoreOfOldVersionIsUpgraded() {
    const QString old = tmp(QStringLiteral("alt.DB"));
    OldDatabases::Build(old, 10);
    const QByteArray before = Hash(old);
    RestoreDatabase(*dm, old);
    QCOMPARE(dm->GetDBVersion(), 16);
    QVERIFY(QueryInt(dm->Query2, QStringLiteral("select count(*) from Kunde where KundenID = 0")) == 1);
    // The chosen backup itself stays as it was.
    QCOMPARE(Hash(old), before);
}

void TestSicherung::refusedRestoreLeavesDataAsItWas_data() {
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("message");
    QTest::newRow("text file") << "text"
                               << "ist keine lesbare Quorvent-Datenbank oder beschädigt!";
    QTest::newRow("corrupt database") << "corrupt"
                                      << "ist keine lesbare Quorvent-Datenbank oder beschädigt!";
    QTest::newRow("other program's database") << "foreign"
                                              << "ist keine Quorvent-Datenbank!";
    QTest::newRow("newer version") << "newer"
                                   << "hat die Version 17 und stammt von einer neueren";
    QTest::newRow("missing file") << "missing"
                                  << "existiert nicht!";
    QTest::newRow("the open database") << "self"
                                       << "ist die geöffnete Datenbank selbst!";
}

void TestSicherung::refusedRestoreLeavesDataAsItWas() {
    QFETCH(QString, kind);
    QFETCH(QString, message);
    QString file = tmp(QStringLiteral("kaputt.DB"));
    if (kind == QLatin1String("text")) {
        Write(file, QByteArray("KundenID;Firma\n1;Test\n").repeated(400));
    } else if (kind == QLatin1String("corrupt")) {
        BackupDatabase(*dm, file);
        QFile f(file);
        QVERIFY(f.open(QIODevice::ReadWrite));
        const qint64 size = f.size();
        // Pages in the middle overwritten, the header intact: SQLite opens it.
        f.seek(size / 3);
        f.write(QByteArray(size / 3, '\x5A'));
    } else if (kind == QLatin1String("foreign")) {
        Exec(file, {QStringLiteral("create table Kunde (Name text)")});
    } else if (kind == QLatin1String("newer")) {
        BackupDatabase(*dm, file);
        Exec(file, {QStringLiteral("update set_db set Version = 17")});
    } else if (kind == QLatin1String("self")) {
        file = dm->SQLiteDB1.FileName;
    } else {
        file = tmp(QStringLiteral("gibtsnicht.DB"));
    }
    const QString current = db.home->path() + QStringLiteral("/test.db");
    dm->SQLiteDB1.Close();
    const QByteArray before = Hash(current);
    dm->OpenDatabaseFile(current);

    const QString error = ErrorOf([&] { RestoreDatabase(*dm, file); });
    QVERIFY2(error.contains(message), qPrintable(error));
    QVERIFY(dm->SQLiteDB1.Connected());
    QCOMPARE(
        QueryInt(dm->Query2, QStringLiteral("select count(*) from Kunde where Firma = 'Müller & Söhne'")), 1);
    dm->SQLiteDB1.Close();
    QCOMPARE(Hash(current), before);
    // No automatic backup was needed, and nothing is left behind.
    QCOMPARE(AutomaticBackups(current), QStringList());
    QCOMPARE(QDir(db.home->path()).entryList({QStringLiteral("*ruecksicherung*")}, QDir::Files),
             QStringList());
}

void TestSicherung::rotationKeepsTheNewest() {
    // Another database's backups in the same folder are not this one's to remove.
    QVERIFY(CreateFolderPath(AutoBackupFolder()));
    const QString foreign = AutoBackupFolder() + QStringLiteral("Anders_2020-01-01_00-00-00.DB");
    Write(foreign, {});

    QStringList made;
    for (int i = 1; i <= 12; ++i) {
        dm->SQLiteDB1.ExecSQL(
            QStringLiteral("update Kunde set Firma = 'Stand %1' where KundenID = 1").arg(i));
        made << AutomaticBackup(*dm, 10);
    }
    const QStringList kept = AutomaticBackups(dm->SQLiteDB1.FileName);
    QCOMPARE(kept.size(), 10);
    // Newest first: the last copy made holds the last state.
    QCOMPARE(kept.first(), made.last());
    QCOMPARE(firms(kept.first()), QStringLiteral("Stand 12"));
    QCOMPARE(firms(kept.last()), QStringLiteral("Stand 3"));
    QVERIFY(!QFile::exists(made[0]));
    QVERIFY(!QFile::exists(made[1]));
    QVERIFY(QFile::exists(foreign));
    // The name tells the database and the time.
    QVERIFY(QFileInfo(made[0]).fileName().startsWith(QStringLiteral("test_")));
}

void TestSicherung::autoBackupsOfTwoDatabasesStayApart() {
    // Two companies, each with a database of the same name in a folder of its own.
    const QString mine = dm->SQLiteDB1.FileName;
    QVERIFY(CreateFolderPath(tmp(QStringLiteral("b"))));
    const QString other = tmp(QStringLiteral("b/")) + QFileInfo(mine).fileName();
    BackupDatabase(*dm, other);
    TDM second;
    second.OpenDatabaseFile(other);
    // A copy of the time when all copies shared one folder stays findable
    // and is never rotated away: nobody can tell whose it is.
    QVERIFY(CreateFolderPath(AutoBackupFolder()));
    const QString legacy = AutoBackupFolder() + QStringLiteral("test_2020-01-01_00-00-00.DB");
    Write(legacy, {});

    QStringList mineMade, otherMade;
    for (int i = 0; i < 3; ++i) {
        mineMade << AutomaticBackup(*dm, 2);
        otherMade << AutomaticBackup(second, 2);
    }
    QCOMPARE(AutomaticBackups(mine), (QStringList{mineMade[2], mineMade[1], legacy}));
    QCOMPARE(AutomaticBackups(other), (QStringList{otherMade[2], otherMade[1], legacy}));
    second.SQLiteDB1.Close();
}

void TestSicherung::restoreKeepsTheOldestBackup() {
    WriteAutoSicherungSettings(*dm, {true, 2});
    const QString oldest = AutomaticBackup(*dm, 2);
    AutomaticBackup(*dm, 2);
    RestoreDatabase(*dm, oldest);
    QVERIFY(QFile::exists(oldest));
}

void TestSicherung::restoreWithAnotherConnection_data() {
    QTest::addColumn<bool>("wal");
    QTest::addColumn<bool>("writing");
    QTest::newRow("reader, rollback journal") << false << false;
    QTest::newRow("reader, write-ahead log") << true << false;
    QTest::newRow("writer, rollback journal") << false << true;
    QTest::newRow("writer, write-ahead log") << true << true;
}

void TestSicherung::restoreWithAnotherConnection() {
    QFETCH(bool, wal);
    QFETCH(bool, writing);
    if (wal)
        dm->SQLiteDB1.ExecSQL(QStringLiteral("PRAGMA journal_mode = WAL"));
    // A backup of another page size: SQLite cannot write such pages into a
    // database in WAL mode as they are.
    const QString backup = tmp(QStringLiteral("sicherung.DB"));
    BackupDatabase(*dm, backup);
    Exec(backup, {QStringLiteral("PRAGMA page_size = 1024"), QStringLiteral("VACUUM")});
    addFirm(2, QStringLiteral("Nach der Sicherung"));

    // A second instance of the program has the same file open.
    TSQLiteDB other;
    other.FileName = dm->SQLiteDB1.FileName;
    other.Open();
    TSQLiteQuery q(&other);
    auto otherSees = [&] {
        QStringList names;
        q.RunSQL(QStringLiteral("select Firma from Kunde where KundenID > 0 order by KundenID"));
        for (q.First(); !q.Eof(); q.Next())
            names << q.Fields(0)->AsString();
        q.Close();
        return names.join(u'\n');
    };
    QCOMPARE(otherSees(), QStringLiteral("Müller & Söhne\nNach der Sicherung"));
    if (writing) {
        other.StartTransaction();
        other.ExecSQL(QStringLiteral("update Kunde set Firma = 'Geändert' where KundenID = 2"));
    }

    const QString error = ErrorOf([&] { RestoreDatabase(*dm, backup); });
    QVERIFY(dm->SQLiteDB1.Connected());
    if (writing) {
        // SQLite's locking refuses; the other instance's change is not lost.
        QVERIFY2(error.contains(QStringLiteral("wird noch von einem anderen Programm verwendet")),
                 qPrintable(error));
        other.Commit();
        QCOMPARE(otherSees(), QStringLiteral("Müller & Söhne\nGeändert"));
    } else {
        QCOMPARE(error, QStringLiteral("<no error>"));
        // The other instance works on the restored data, not on a deleted file.
        QCOMPARE(otherSees(), QStringLiteral("Müller & Söhne"));
        other.ExecSQL(QStringLiteral("update Kunde set Firma = 'Danach' where KundenID = 1"));
    }
    QCOMPARE(QueryInt(dm->Query2, QStringLiteral("select count(*) from Kunde where KundenID > 0")),
             writing ? 2 : 1);
    other.Close();
    QCOMPARE(RawRows(dm->SQLiteDB1.FileName, QStringLiteral("PRAGMA integrity_check")), QStringLiteral("ok"));
}

void TestSicherung::abandonedCopiesAreRemoved_data() {
    QTest::addColumn<QString>("where");
    QTest::newRow("folder a backup is written to") << "target";
    QTest::newRow("folder of the database at open") << "database";
    QTest::newRow("automatic backups at open") << "automatic";
}

void TestSicherung::abandonedCopiesAreRemoved() {
    QFETCH(QString, where);
    const QString file = dm->SQLiteDB1.FileName;
    const QString folder = where == QLatin1String("target")     ? tmp(QStringLiteral("ziel/"))
                           : where == QLatin1String("database") ? QFileInfo(file).path() + u'/'
                                                                : AutoBackupFolder(file);
    QVERIFY(CreateFolderPath(folder));
    const QString dead = QString::number(EndedProcessId());
    // Copies of killed processes (a database, its journal, a journal alone),
    // a copy of a process still running, and a file of the user's.
    const QString killed = folder + QStringLiteral("test.db.tmp") + dead + QStringLiteral("-1");
    const QString running = folder + QStringLiteral("test.db.tmp1-1");
    BackupDatabase(*dm, killed);
    BackupDatabase(*dm, running);
    // A copy killed early has no first page yet.
    Write(folder + QStringLiteral("y.DB.tmp") + dead + QStringLiteral("-4"), QByteArray(8192, '\0'));
    for (const QString& name : {killed + QStringLiteral("-journal"),
                                folder + QStringLiteral("x.DB.tmp") + dead + QStringLiteral("-2-journal"),
                                folder + QStringLiteral("notiz.tmp") + dead + QStringLiteral("-3")})
        Write(name, "Notiz");

    if (where == QLatin1String("target")) {
        QString outText, errText;
        QTextStream o(&outText), e(&errText);
        QCOMPARE(RunBackupCommand({file, folder + QStringLiteral("out.DB")}, o, e), 0);
    } else {
        dm->OpenDatabaseFile(file);
    }
    const QStringList left = QDir(folder).entryList({QStringLiteral("*.tmp*")}, QDir::Files, QDir::Name);
    QCOMPARE(left, (QStringList{QStringLiteral("notiz.tmp") + dead + QStringLiteral("-3"),
                                QStringLiteral("test.db.tmp1-1")}));
}

void TestSicherung::backupOnCloseFollowsSettings() {
    QVERIFY(!BackupOnClose(*dm).isEmpty()); // on by default
    WriteAutoSicherungSettings(*dm, {false, 3});
    QVERIFY(BackupOnClose(*dm).isEmpty());
    QCOMPARE(AutomaticBackups(dm->SQLiteDB1.FileName).size(), 1);
    WriteAutoSicherungSettings(*dm, {true, 3});
    for (int i = 0; i < 4; ++i)
        BackupOnClose(*dm);
    QCOMPARE(AutomaticBackups(dm->SQLiteDB1.FileName).size(), 3);
    QCOMPARE(ReadAutoSicherungSettings(*dm).Copies, 3);
}

void TestSicherung::backupCommand_data() {
    QTest::addColumn<QString>("source");
    QTest::addColumn<QString>("target");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("error");
    QTest::newRow("good copy") << "db"
                               << "out.DB" << 0 << "";
    QTest::newRow("missing source") << "nichtda.DB"
                                    << "out.DB" << 1 << "existiert nicht!";
    QTest::newRow("no target given") << "db"
                                     << "" << 1 << "Aufruf: quorvent --backup";
    QTest::newRow("not a database") << "text"
                                    << "out.DB" << 1 << "keine Datenbankdatei";
    QTest::newRow("target folder missing") << "db"
                                           << "fehlt/out.DB" << 1 << "konnte nicht nach";
}

void TestSicherung::backupCommand() {
    QFETCH(QString, source);
    QFETCH(QString, target);
    QFETCH(int, exitCode);
    QFETCH(QString, error);
    QString src = tmp(source);
    if (source == QLatin1String("db")) {
        src = dm->SQLiteDB1.FileName;
    } else if (source == QLatin1String("text")) {
        Write(src, QByteArray("keine Datenbank\n").repeated(300));
    }
    const QString out = target.isEmpty() ? QString() : tmp(target);
    QString outText, errText;
    QTextStream o(&outText), e(&errText);
    QCOMPARE(RunBackupCommand({src, out}, o, e), exitCode);
    if (exitCode == 0) {
        QCOMPARE(outText.trimmed(),
                 QStringLiteral("Die Daten wurden in ") + out + QStringLiteral(" gesichert."));
        QCOMPARE(firms(out), QStringLiteral("Müller & Söhne"));
    } else {
        QVERIFY2(errText.contains(error), qPrintable(errText));
        if (!out.isEmpty())
            QVERIFY(!QFile::exists(out));
    }
}

QTEST_GUILESS_MAIN(TestSicherung)
#include "tst_sicherung.moc"
