// Consistent copies of a database and file names that are not UTF-8.
// (Copies of crashed files: tst_connect; the upgrade's copies: tst_upgrade.)
#include "FileNames.h"
#include "OldDatabases.h"
#include "SQLite.h"
#include "TestSupport.h"

#include <sqlite3.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>

#include <sys/resource.h>

using OldDatabases::RawRows;

class TestBackup : public QObject {
    Q_OBJECT

    QTemporaryDir dir;
    QString file(const QString& name) const { return dir.filePath(name); }

    // A database of `rows` customers with discount 5 in the rollback-journal mode.
    void MakeCustomers(const QString& name, int rows) {
        QFile::remove(name);
        TSQLiteDB db;
        db.FileName = name;
        db.Open();
        db.ExecSQL(
            "create table Kunde (KundenID integer primary key, Firma varchar(100), Rabatt numeric(3,2))");
        db.StartTransaction();
        db.ExecSQL(
            QStringLiteral("with recursive n(i) as (select 1 union all select i + 1 from n where i < %1) "
                           "insert into Kunde select i, 'Firma Nummer ' || i, 5 from n")
                .arg(rows));
        db.Commit();
    }
    // The names in the folder, to see that a failure left nothing behind.
    QStringList Entries(const QString& folder) const {
        return QDir(folder).entryList(QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name);
    }

private slots:
    void fileNameBytesSurvive_data();
    void fileNameBytesSurvive();
    void copyIsOneSnapshot();
    void failedCopyLeavesTargetAsItWas_data();
    void failedCopyLeavesTargetAsItWas();
    void progressAndCancel_data();
    void progressAndCancel();
};

void TestBackup::fileNameBytesSurvive_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<bool>("utf8");
    QTest::newRow("ASCII") << QByteArray("/daten/Quorvent.DB") << true;
    QTest::newRow("UTF-8 umlauts and a character beyond 16 bits")
        << QByteArray("/daten/M\xC3\xBCller \xF0\x9F\x93\x81.DB") << true;
    QTest::newRow("Latin-1 umlaut") << QByteArray("/daten/M\xFCller.DB") << false;
    QTest::newRow("sequence cut off at the end") << QByteArray("/daten/a\xC3") << false;
    QTest::newRow("overlong slash") << QByteArray("/daten/\xC0\xAF.DB") << false;
    QTest::newRow("encoded surrogate") << QByteArray("/daten/\xED\xB2\x80.DB") << false;
    QTest::newRow("bytes that look like an escape") << QByteArray("/\xDC\x80\xDC") << false;
}

void TestBackup::fileNameBytesSurvive() {
    QFETCH(QByteArray, bytes);
    QFETCH(bool, utf8);
    const QString name = DecodeFileName(bytes);
    QCOMPARE(EncodeFileName(name), bytes);
    // A valid name reads as Qt reads it, so it still works with QFile and friends.
    QCOMPARE(name == QString::fromUtf8(bytes), utf8);
}

void TestBackup::copyIsOneSnapshot() {
    // While the copy is taken, another program commits a row (WAL lets it):
    // the copy and what was read to name it both show the state before.
    const QString name = file("laufend.DB");
    MakeCustomers(name, 10);
    TSQLiteDB db;
    db.FileName = name;
    db.Open();
    db.ExecSQL("PRAGMA journal_mode = WAL");
    sqlite3* other = nullptr;
    sqlite3_open(QFile::encodeName(name).constData(), &other);
    TSQLiteQuery q(&db);
    int inserted = -1;
    const QString written = db.BackupInSnapshot([&]() -> QString {
        inserted = sqlite3_exec(other, "insert into Kunde values (11, 'Neu', 5)", nullptr, nullptr, nullptr);
        q.RunSQL("select count(*) as ANZ from Kunde");
        return file(QStringLiteral("kopie-%1.DB").arg(q.FieldByName("ANZ")->AsInteger()));
    });
    QCOMPARE(inserted, SQLITE_OK);
    sqlite3_close(other);
    QCOMPARE(written, file("kopie-10.DB"));
    QCOMPARE(RawRows(written, "select count(*) from Kunde"), QStringLiteral("10"));
    QVERIFY(!db.InTransaction());
    q.RunSQL("select count(*) as ANZ from Kunde");
    QCOMPARE(q.FieldByName("ANZ")->AsInteger(), 11);
    // An empty name copies nothing.
    QCOMPARE(db.BackupInSnapshot([] { return QString(); }), QString());
}

void TestBackup::failedCopyLeavesTargetAsItWas_data() {
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("reason"); // a part of the message after the file names
    QTest::newRow("disk full") << "full"
                               << "Es ist ein Disk I/O Fehler aufgetreten!";
    QTest::newRow("target is a folder") << "folder"
                                        << "Das Ziel ist keine gewöhnliche Datei.";
    QTest::newRow("folder missing") << "nofolder"
                                    << "Fehler beim Öffnen der Datenbankdatei!";
    QTest::newRow("damaged original") << "damaged"
                                      << "Die Datenbank-Datei ist beschädigt!";
    QTest::newRow("inside a transaction") << "transaction"
                                          << "Während einer Transaktion";
}

void TestBackup::failedCopyLeavesTargetAsItWas() {
    QFETCH(QString, kind);
    QFETCH(QString, reason);
    const QString folder = file(kind);
    QDir().mkpath(folder);
    const QString source = folder + "/Quorvent.DB";
    MakeCustomers(source, kind == "full" ? 20000 : 100);
    QString target = folder + "/Quorvent.DB.sic10";
    // The copy of an earlier run that must survive a failed one.
    QFile earlier(target);
    QVERIFY(earlier.open(QIODevice::WriteOnly));
    earlier.write("die vorige Kopie");
    earlier.close();

    TSQLiteDB db;
    db.FileName = source;
    db.Open();
    if (kind == "folder") {
        QFile::remove(target);
        QDir().mkpath(target);
    } else if (kind == "nofolder") {
        target = folder + "/fehlt/Quorvent.DB.sic10";
    } else if (kind == "damaged") {
        // The index no longer fits its table: only the check of the copy notices.
        db.ExecSQL("create index KundeFirma on Kunde (Firma)");
        db.ExecSQL("PRAGMA writable_schema = ON");
        db.ExecSQL("update sqlite_master set sql = 'CREATE INDEX KundeFirma on Kunde (Rabatt)' "
                   "where name = 'KundeFirma'");
        db.Close();
        db.Open();
    } else if (kind == "transaction") {
        db.StartTransaction();
    }
    const QStringList before = Entries(folder);

    QString message;
    rlimit old{};
    if (kind == "full") {
        // No file may grow beyond 64 KB now, the copy included.
        std::signal(SIGXFSZ, SIG_IGN);
        getrlimit(RLIMIT_FSIZE, &old);
        rlimit limit = old;
        limit.rlim_cur = 64 * 1024;
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    message = ErrorOf([&] { db.BackupTo(target); });
    if (kind == "full")
        setrlimit(RLIMIT_FSIZE, &old);

    if (kind != "transaction")
        QVERIFY2(message.startsWith("Die Datenbank " + source + " konnte nicht nach " + target +
                                    " kopiert werden!\n"),
                 qPrintable(message));
    QVERIFY2(message.contains(reason), qPrintable(message));
    QCOMPARE(Entries(folder), before); // no half copy, no temporary file
    if (kind != "folder") {
        QVERIFY(earlier.open(QIODevice::ReadOnly));
        QCOMPARE(earlier.readAll(), QByteArray("die vorige Kopie"));
    }
    // The connection goes on as before.
    if (db.InTransaction())
        db.Rollback();
    db.ExecSQL("insert into Kunde values (100001, 'Danach', 0)");
}

void TestBackup::progressAndCancel_data() {
    QTest::addColumn<int>("cancelAt"); // the report answered with false; 0 for none
    QTest::addColumn<bool>("earlier"); // a copy of an earlier run is in the way
    QTest::addColumn<bool>("wal");
    QTest::newRow("whole copy reported") << 0 << false << false;
    QTest::newRow("whole copy of a WAL database over an earlier one") << 0 << true << true;
    QTest::newRow("cancelled at the first portion") << 1 << false << false;
    QTest::newRow("cancelled halfway, the earlier copy survives") << 3 << true << true;
}

void TestBackup::progressAndCancel() {
    QFETCH(int, cancelAt);
    QFETCH(bool, earlier);
    QFETCH(bool, wal);
    const QString folder = file(QStringLiteral("fortschritt-%1-%2").arg(cancelAt).arg(earlier));
    QDir().mkpath(folder);
    const QString source = folder + "/Quorvent.DB";
    const QString target = folder + "/Sicherung.DB";
    MakeCustomers(source, 150000); // some megabytes: several portions
    if (earlier) {
        QFile f(target);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("die vorige Kopie");
    }
    TSQLiteDB db;
    db.FileName = source;
    db.Open();
    if (wal)
        db.ExecSQL("PRAGMA journal_mode = WAL");
    db.ExecSQL("insert into Kunde values (200001, 'Zuletzt', 0)");
    const QStringList before = Entries(folder);

    QList<std::pair<int, int>> reports;
    const QString message = ErrorOf([&] {
        db.BackupTo(target, [&](int done, int total) {
            reports.append({done, total});
            return int(reports.size()) != cancelAt;
        });
    });

    QVERIFY(reports.size() >= (cancelAt ? cancelAt : 4));
    const int total = reports.first().second;
    int last = 0;
    for (const auto& [done, all] : reports) {
        QCOMPARE(all, total);
        QVERIFY2(done > last && done <= total, qPrintable(QStringLiteral("%1 after %2").arg(done).arg(last)));
        last = done;
    }
    if (cancelAt) {
        QCOMPARE(int(reports.size()), cancelAt);
        QVERIFY(last < total);
        QCOMPARE(message, QStringLiteral("Die Sicherung wurde abgebrochen."));
        QCOMPARE(Entries(folder), before); // no partial copy left behind
        if (earlier) {
            QFile f(target);
            QVERIFY(f.open(QIODevice::ReadOnly));
            QCOMPARE(f.readAll(), QByteArray("die vorige Kopie"));
        }
    } else {
        QCOMPARE(message, QStringLiteral("<no error>"));
        QCOMPARE(last, total);
        QCOMPARE(RawRows(target, "select count(*), max(Firma) from Kunde where KundenID > 149999"),
                 QStringLiteral("2|Zuletzt"));
    }
    // The connection goes on as before.
    QVERIFY(!db.InTransaction());
    db.ExecSQL("insert into Kunde values (200002, 'Danach', 0)");
}

QTEST_GUILESS_MAIN(TestBackup)
#include "tst_backup.moc"
