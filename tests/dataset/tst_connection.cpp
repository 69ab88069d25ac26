// The connection: connecting, error messages, transactions, the debug log and the date forms.
#include "FileSystem.h"
#include "SQLite.h"
#include "TestSupport.h"

#include <sqlite3.h>

#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

class TestConnection : public QObject {
    Q_OBJECT

    QTemporaryDir dir;
    QString file(const QString& name) const { return dir.filePath(name); }

private slots:
    void versionCheck_data();
    void versionCheck();
    void connectFailures_data();
    void connectFailures();
    void connectAndDisconnect();
    void constraintMessage();
    void messageLayout_data();
    void messageLayout();
    void transactions();
    void lockedDatabase();
    void debugLog();
    void dateForms_data();
    void dateForms();
    void likeComparesCharacters_data();
    void likeComparesCharacters();
    void fileSystemOfPath_data();
    void fileSystemOfPath();
};

void TestConnection::versionCheck_data() {
    QTest::addColumn<QString>("version");
    QTest::addColumn<bool>("accepted");
    QTest::newRow("3.3.17") << "3.3.17" << true;
    QTest::newRow("3.10.0 compares as numbers") << "3.10.0" << true;
    QTest::newRow("3.45.1") << "3.45.1" << true;
    QTest::newRow("3.2.8") << "3.2.8" << false;
    QTest::newRow("2.8.17") << "2.8.17" << false;
    QTest::newRow("4.0.0") << "4.0.0" << true;
}

void TestConnection::versionCheck() {
    QFETCH(QString, version);
    QFETCH(bool, accepted);
    QCOMPARE(SQLiteVersionSupported(version), accepted);
}

void TestConnection::connectFailures_data() {
    QTest::addColumn<QString>("fileName");
    QTest::addColumn<QString>("driver");
    QTest::addColumn<QString>("message");
    QTest::newRow("no file name") << ""
                                  << "libsqlite3.so.0"
                                  << "Es wurde keine Datenbank angegeben!";
    QTest::newRow("library missing") << "a.db"
                                     << "libgibtesnicht.so.7"
                                     << "Die Datei libgibtesnicht.so.7 konnte nicht gefunden werden!";
    QTest::newRow("not an SQLite library") << "a.db"
                                           << "libc.so.6"
                                           << "SQLite missing function sqlite3_libversion";
    QTest::newRow("folder missing") << "fehlt/a.db"
                                    << "libsqlite3.so.0"
                                    << "SQL-Error: Fehler beim Öffnen der Datenbankdatei!\n (a.db) Die "
                                       "Datenbank %1 konnte nicht geöffnet werden!";
}

void TestConnection::connectFailures() {
    QFETCH(QString, fileName);
    QFETCH(QString, driver);
    QFETCH(QString, message);
    TSQLiteDB db;
    db.FileName = fileName.isEmpty() ? QString() : file(fileName);
    db.DriverDLL = driver;
    if (message.contains("%1"))
        message = message.arg(db.FileName);
    QCOMPARE(ErrorOf([&] { db.SetConnected(true); }), message);
    QVERIFY(!db.Connected());
}

void TestConnection::connectAndDisconnect() {
    QStringList events; // outlives db: destroying the connection disconnects it and fires its events
    TSQLiteDB db;
    db.FileName = file("events.db");
    db.BeforeConnect = [&](TSQLiteDB*) { events << "BeforeConnect"; };
    db.AfterConnect = [&](TSQLiteDB* d) { events << QStringLiteral("AfterConnect %1").arg(d->Connected()); };
    db.BeforeDisconnect = [&](TSQLiteDB*) { events << "BeforeDisconnect"; };
    db.AfterDisconnect = [&](TSQLiteDB*) { events << "AfterDisconnect"; };
    db.SetConnected(true);
    QVERIFY(db.Connected());
    QVERIFY(QFile::exists(db.FileName));
    QVERIFY(db.SQLiteVerion().startsWith("3."));

    db.ExecSQL("create table t (a integer)");
    db.StartTransaction();
    db.ExecSQL("insert into t values (1)");
    TSQLiteQuery q(&db);
    q.SetSQL("select * from t");
    q.Open();
    // Disconnecting closes the datasets and rolls back the open transaction.
    db.SetConnected(false);
    QVERIFY(!q.Active());
    QVERIFY(!db.InTransaction());
    QCOMPARE(events, QStringList({"BeforeConnect", "AfterConnect 1", "BeforeDisconnect", "AfterDisconnect"}));
    db.SetConnected(true);
    q.Open();
    QCOMPARE(q.RecordCount(), 0);
}

void TestConnection::constraintMessage() {
    TSQLiteDB db;
    db.FileName = file("constraint.db");
    db.Open();
    db.ExecSQL("create table t (id integer primary key, name varchar(10) not null)");
    db.ExecSQL("insert into t values (1, 'a')");
    const QString sql = "insert into t values (1, 'b')";
    QCOMPARE(ErrorOf([&] { db.ExecSQL(sql); }),
             "SQL-Error: Contraint-Verletzung!\n (constraint.db) UNIQUE constraint failed: t.id\n\n" + sql);
    QCOMPARE(
        ErrorOf([&] { db.ExecSQL("selec 1"); }),
        "SQL-Error: Allgemeiner Fehler oder fehlende Datenbank!\n (constraint.db) near \"selec\": syntax "
        "error\n\nselec 1");
    QCOMPARE(ErrorOf([&] { db.ExecSQL("   "); }),
             " (constraint.db) Die folgende SQL-Anweisung konnte nicht vorbereitet werden:\n\n   ");
}

void TestConnection::messageLayout_data() {
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("dbFile");
    QTest::addColumn<QString>("sql");
    QTest::addColumn<QString>("expected");
    QTest::newRow("code with text")
        << 5 << "/x/y/Quorvent.DB"
        << "BEGIN"
        << "SQL-Error: Es existiert ein Lock auf die Datenbank!\n (Quorvent.DB) M\n\nBEGIN";
    QTest::newRow("code 26") << 26 << ""
                             << ""
                             << "SQL-Error: Die angegeben Datei ist keine Datenbankdatei!\nM";
    QTest::newRow("code without entry") << 99 << ""
                                        << ""
                                        << "SQL-Error-Code: 99\nM";
    QTest::newRow("code 0 has no text") << 0 << "a.db"
                                        << ""
                                        << " (a.db) M";
    QTest::newRow("code 101 has no text") << 101 << ""
                                          << "S"
                                          << "M\n\nS";
}

void TestConnection::messageLayout() {
    QFETCH(int, code);
    QFETCH(QString, dbFile);
    QFETCH(QString, sql);
    QFETCH(QString, expected);
    try {
        RaiseDatabaseError(false, {}, dbFile, code, sql, "M");
    } catch (const ESQLiteError& e) {
        QCOMPARE(e.message(), expected);
        QCOMPARE(e.code(), code);
        return;
    }
    QFAIL("no error raised");
}

void TestConnection::transactions() {
    TSQLiteDB db;
    db.FileName = file("tx.db");
    db.Open();
    db.ExecSQL("create table t (a integer)");
    db.StartTransaction();
    QVERIFY(db.InTransaction());
    QCOMPARE(ErrorOf([&] { db.StartTransaction(); }), "Es ist bereits eine Transaktion aktiv!");
    db.ExecSQL("insert into t values (1)");
    db.Rollback();
    QVERIFY(!db.InTransaction());
    db.StartTransaction();
    db.ExecSQL("insert into t values (2)");
    db.Commit();
    QVERIFY(!db.InTransaction());

    TSQLiteQuery q(&db);
    q.RunSQL("select a from t");
    QCOMPARE(q.RecordCount(), 1);
    QCOMPARE(q.FieldByName("a")->AsInteger(), 2);
}

void TestConnection::lockedDatabase() {
    // Another process holding the write lock: BEGIN IMMEDIATE fails at once
    // after the busy time-out instead of failing later in the middle of the work.
    TSQLiteDB db;
    db.FileName = file("lock.db");
    db.BusyTimeout = 50;
    db.Open();
    db.ExecSQL("create table t (a integer)");
    sqlite3* other = nullptr;
    QCOMPARE(sqlite3_open(QFile::encodeName(db.FileName).constData(), &other), SQLITE_OK);
    QCOMPARE(sqlite3_exec(other, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr), SQLITE_OK);
    const QString message = ErrorOf([&] { db.StartTransaction(); });
    QVERIFY2(message.startsWith("SQL-Error: Es existiert ein Lock auf die Datenbank!\n (lock.db) "),
             qPrintable(message));
    QVERIFY(!db.InTransaction());
    sqlite3_exec(other, "ROLLBACK", nullptr, nullptr, nullptr);
    sqlite3_close(other);
    db.StartTransaction();
    db.Commit();
}

void TestConnection::debugLog() {
    TSQLiteDB db;
    db.FileName = file("log.db");
    db.DebugLog = true;
    db.DebugLogFile = file("SQLiteDebug.log");
    db.Open();
    db.ExecSQL("\r\ncreate table t (a integer)\n\n");
    ErrorOf([&] { db.ExecSQL("insert into nix values (1)"); });

    QFile log(db.DebugLogFile);
    QVERIFY(log.open(QIODevice::ReadOnly));
    const QStringList lines = QString::fromUtf8(log.readAll()).split('\n', Qt::SkipEmptyParts);
    const QString stamp = R"(^\d{4}-\d\d-\d\d-\d\d\.\d\d\.\d\d\.\d{3}000 )";
    // statement, Finish, the failing statement, then the error message over three lines
    QCOMPARE(lines.size(), 6);
    QVERIFY(QRegularExpression(stamp + "create table t \\(a integer\\)$").match(lines[0]).hasMatch());
    QVERIFY(QRegularExpression(stamp + "Finish$").match(lines[1]).hasMatch());
    QVERIFY(QRegularExpression(stamp + "insert into nix values \\(1\\)$").match(lines[2]).hasMatch());
    QVERIFY(QRegularExpression(stamp + "SQL-Error: Allgemeiner Fehler").match(lines[3]).hasMatch());
    QCOMPARE(lines[4], " (log.db) no such table: nix");
    QCOMPARE(lines[5], "insert into nix values (1)");
}

void TestConnection::dateForms_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("form"); // 0 date, 1 time, 2 date and time
    QTest::addColumn<QDateTime>("expected");
    const QDateTime zero(QDate(1899, 12, 30), QTime(0, 0));
    QTest::newRow("date") << "2014-02-05" << 0 << QDateTime(QDate(2014, 2, 5), QTime(0, 0));
    QTest::newRow("date without leading zeros") << "2014-2-5" << 0 << zero;
    QTest::newRow("impossible date") << "2014-02-30" << 0 << zero;
    QTest::newRow("date with time is another form") << "2014-02-05 10:00:00" << 0 << zero;
    QTest::newRow("time") << "23:59:58" << 1 << QDateTime(QDate(1899, 12, 30), QTime(23, 59, 58));
    QTest::newRow("impossible time") << "24:00:00" << 1 << zero;
    QTest::newRow("date and time") << "2014-03-24 08:05:09" << 2
                                   << QDateTime(QDate(2014, 3, 24), QTime(8, 5, 9));
    QTest::newRow("T separator") << "2014-03-24T08:05:09" << 2 << zero;
    QTest::newRow("empty") << "" << 2 << zero;
}

void TestConnection::dateForms() {
    QFETCH(QString, text);
    QFETCH(int, form);
    QFETCH(QDateTime, expected);
    const QDateTime value = form == 0   ? ParseSQLiteDate(text)
                            : form == 1 ? ParseSQLiteTime(text)
                                        : ParseSQLiteDateTime(text);
    QCOMPARE(value, expected);
    if (value != ZeroDateTime()) {
        const QString back = form == 0   ? SQLiteDateText(value)
                             : form == 1 ? SQLiteTimeText(value)
                                         : SQLiteDateTimeText(value);
        QCOMPARE(back, text);
    }
}

// Stored text is Windows-1252: LIKE must compare its letters, not read them
// as broken UTF-8 (which made "Müller" match "Möller").
void TestConnection::likeComparesCharacters_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("pattern");
    QTest::addColumn<bool>("matches");
    QTest::newRow("umlaut itself") << "Müller"
                                   << "Mü%" << true;
    QTest::newRow("other umlaut") << "Möller"
                                  << "Mü%" << false;
    QTest::newRow("sharp s") << "Straße"
                             << "%ße" << true;
    QTest::newRow("sharp s against ss") << "Strasse"
                                        << "%ße" << false;
    QTest::newRow("ascii either case") << "müller"
                                       << "M%LLER" << true;
    QTest::newRow("umlaut case kept") << "MÜLLER"
                                      << "mü%" << false;
    QTest::newRow("underscore one letter") << "Bär"
                                           << "B_r" << true;
    QTest::newRow("underscore not two") << "Bär"
                                        << "B__r" << false;
    QTest::newRow("percent anywhere") << "Küche Umbau"
                                      << "%umb%" << true;
    QTest::newRow("escaped percent") << "50% Rabatt"
                                     << "50\\%%" << true;
    QTest::newRow("escaped percent literal") << "500 Rabatt"
                                             << "50\\%%" << false;
    QTest::newRow("escaped underscore") << "A_B"
                                        << "A\\_B" << true;
    QTest::newRow("escaped underscore literal") << "AxB"
                                                << "A\\_B" << false;
    QTest::newRow("backtracking") << "abcabcabd"
                                  << "%abd" << true;
    QTest::newRow("empty pattern") << ""
                                   << "" << true;
}

void TestConnection::likeComparesCharacters() {
    QFETCH(QString, text);
    QFETCH(QString, pattern);
    QFETCH(bool, matches);
    TSQLiteDB db;
    db.FileName = file("like.db");
    db.Open();
    db.ExecSQL("create table if not exists t (v varchar(30))");
    db.ExecSQL("delete from t");
    db.ExecSQL("insert into t values ('" + text + "')");
    TSQLiteQuery q(&db);
    q.RunSQL("select count(*) from t where v like '" + pattern + "' escape '\\'");
    QCOMPARE(q.Fields(0)->AsInteger(), matches ? 1 : 0);
    // NOT LIKE is the opposite, and a NULL operand matches neither way.
    q.RunSQL("select count(*) from t where v not like '" + pattern + "' escape '\\'");
    QCOMPARE(q.Fields(0)->AsInteger(), matches ? 0 : 1);
    q.RunSQL("select count(*) from t where null like v or null not like v");
    QCOMPARE(q.Fields(0)->AsInteger(), 0);
}

// The mount that holds a path is the one with the longest mount point that
// contains it as a whole folder; escaped blanks in mount points are read.
void TestConnection::fileSystemOfPath_data() {
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("type");
    QTest::addColumn<QString>("network");
    QTest::newRow("share") << "/srv/buero/Quorvent.DB"
                           << "cifs"
                           << "SMB/CIFS";
    QTest::newRow("not a folder prefix") << "/srv/buero2/Quorvent.DB"
                                         << "ext4"
                                         << "";
    QTest::newRow("blank in the mount point") << "/mnt/Daten Büro/a.DB"
                                              << "nfs4"
                                              << "NFS";
    QTest::newRow("later mount over the same point") << "/home/anna/a.DB"
                                                     << "fuse.sshfs"
                                                     << "SSHFS";
    QTest::newRow("local tmpfs") << "/tmp/a.DB"
                                 << "tmpfs"
                                 << "";
}

void TestConnection::fileSystemOfPath() {
    QFETCH(QString, path);
    QFETCH(QString, type);
    QFETCH(QString, network);
    const QString mountInfo =
        QStringLiteral("21 1 8:1 / / rw,relatime shared:1 - ext4 /dev/sda1 rw\n"
                       "30 21 0:40 / /srv/buero rw,relatime shared:9 - cifs //nas/buero rw,vers=3.0\n"
                       "31 21 0:41 / /tmp rw shared:10 - tmpfs tmpfs rw\n"
                       "32 21 0:42 / /mnt/Daten\\040Büro rw - nfs4 nas:/daten rw\n"
                       "33 21 8:2 / /home rw - ext4 /dev/sda2 rw\n"
                       "34 33 8:3 / /home/anna rw - ext4 /dev/sda3 rw\n"
                       "35 33 0:50 / /home/anna rw,nosuid shared:20 - fuse.sshfs anna@server: rw\n");
    QCOMPARE(FileSystemTypeFromMountInfo(mountInfo, path), type);
    QCOMPARE(NetworkFileSystemName(type), network);
}

QTEST_GUILESS_MAIN(TestConnection)
#include "tst_connection.moc"
