// The maintenance commands as a script calls them: the program is started
// with the arguments as bytes (through bash, so names that are no UTF-8 reach
// it unchanged) in a folder that holds a database with one invoice.
#include "OldDatabases.h"
#include "TestSupport.h"
#include "UDM.h"

#include <QCryptographicHash>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <sqlite3.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

using Args = QList<QByteArray>;

namespace {

// The argument as a bash word: every byte outside plain ASCII escaped.
QByteArray Word(const QByteArray& bytes) {
    QByteArray word = "$'";
    for (const char c : bytes) {
        const uchar b = uchar(c);
        word += b >= 0x20 && b < 0x7F && c != '\'' && c != '\\'
                    ? QByteArray(1, c)
                    : "\\x" + QByteArray::number(b, 16).rightJustified(2, '0');
    }
    return word + '\'';
}

QByteArray Checksum(const QByteArray& file) {
    QFile f(QString::fromLocal8Bit(file));
    return f.open(QIODevice::ReadOnly) ? QCryptographicHash::hash(f.readAll(), QCryptographicHash::Sha1)
                                       : QByteArray("fehlt");
}

} // namespace

class TestCommands : public QObject {
    Q_OBJECT

    TempDataHome FHome;
    QTemporaryDir FTemplateDir;
    QString FTemplate;
    std::unique_ptr<QTemporaryDir> FDir;
    QByteArray FFolder; // the folder the program runs in, holding Quorvent.DB

    // Runs "quorvent ARGS" in FFolder after the shell commands `before`; the
    // exit code, standard error in *err.
    int Quorvent(const Args& args, QString* err = nullptr, const QByteArray& before = {}) const {
        QByteArray script = before + "cd " + Word(FFolder) + " && exec " +
                            Word(QFile::encodeName(qEnvironmentVariable("QV_BUILD_DIR") + "/quorvent"));
        for (const QByteArray& a : args)
            script += ' ' + Word(a);
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("XDG_DATA_HOME"), FHome.path());
        p.setProcessEnvironment(env);
        p.start(QStringLiteral("bash"), {QStringLiteral("-c"), QString::fromLatin1(script)});
        if (!p.waitForFinished(60000))
            return -1;
        if (err)
            *err = QString::fromUtf8(p.readAllStandardError());
        return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    }

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void outputOntoDatabase_data();
    void outputOntoDatabase();
    void namesKeepTheirBytes_data();
    void namesKeepTheirBytes();
    void wrongArguments_data();
    void wrongArguments();
    void systemErrorsInGerman_data();
    void systemErrorsInGerman();
};

void TestCommands::initTestCase() {
    FTemplate = FTemplateDir.filePath(QStringLiteral("template.db"));
    TDM dm;
    dm.OpenDatabaseFile(FTemplate);
    for (const char* sql : {
             "insert into set_allg values ('FirmaLand', 'AT')",
             "update Geschaeft set Name = 'Brenholm Handel KG', Strasse = 'Ringstraße 5', PLZ = '1010', Ort "
             "= "
             "'Wien', UIDNr = 'ATU12345678', IBAN1 = 'AT61 1904 3002 3457 3201', BIC1 = 'BKAUATWW'",
             "insert into Kunde "
             "(KundenID,AnredeID,TitelID,Firma,Strasse,PLZ,Ort,LandID,KunGruID,Aktiv,KonzernID,"
             "HaendlerID) values (10,1,1,'Alpen Bau GmbH','Hauptstraße 1','6020','Innsbruck',2,1,'J',0,0)",
             "insert into Kopf "
             "(KopfTyp,KopfID,Status,KundenID,KunGruID,Datum,DruDatID,Datum2,SubkundenID,Netto,"
             "KopfTextVorPos,FussTextNachPos) values ('R',1,'E',10,1,'2024-03-24 10:00:00',1,"
             "'2024-03-20 00:00:00',0,'N','N','N')",
             "insert into PosDaten values ('R',1,1,0,'Ware','Ware','N')",
             "insert into PosPreis values ('R',1,1,1,'','',1,2,10,0,20)",
         })
        dm.SQLiteDB1.ExecSQL(QString::fromUtf8(sql));
    dm.SQLiteDB1.Close();
}

void TestCommands::init() {
    FDir = std::make_unique<QTemporaryDir>();
    FFolder = QFile::encodeName(FDir->path());
    QVERIFY(QFile::copy(FTemplate, FDir->filePath(QStringLiteral("Quorvent.DB"))));
}

void TestCommands::cleanup() {
    // QTemporaryDir cannot remove what it cannot name.
    for (const QByteArray& name : OldDatabases::RawEntries(FFolder))
        ::unlink((FFolder + '/' + name).constData());
    FDir.reset();
}

// Whatever path leads to the database or to the journal and write-ahead log
// beside it, no command writes there, while another program has the
// database open with a commit still in its write-ahead log.
void TestCommands::outputOntoDatabase_data() {
    QTest::addColumn<Args>("args");
    const QByteArray db = "Quorvent.DB";
    QTest::newRow("einvoice, the same name") << Args{"--einvoice", db, "R", "1", db};
    QTest::newRow("backup, ./") << Args{"--backup", db, "./" + db};
    QTest::newRow("backup, absolute path") << Args{"--backup", db, "ABS"};
    QTest::newRow("backup, linked folder") << Args{"--backup", db, "durch/" + db};
    QTest::newRow("pdf einvoice, write-ahead log") << Args{"--pdf", db, "R", "1", db + "-wal", "--einvoice"};
    QTest::newRow("einvoice, journal") << Args{"--einvoice", db, "R", "1", db + "-journal"};
    QTest::newRow("backup, journal in linked folder") << Args{"--backup", db, "durch/" + db + "-journal"};
}

void TestCommands::outputOntoDatabase() {
    QFETCH(Args, args);
    const QByteArray db = FFolder + "/Quorvent.DB";
    QVERIFY(::symlink(FFolder.constData(), (FFolder + "/durch").constData()) == 0);
    for (QByteArray& a : args)
        if (a == "ABS")
            a = db;
    sqlite3* other = nullptr;
    QCOMPARE(sqlite3_open(db.constData(), &other), SQLITE_OK);
    auto close = qScopeGuard([&] { sqlite3_close(other); });
    QCOMPARE(sqlite3_exec(other, "PRAGMA journal_mode = WAL; insert into Land (LandBez) values ('Atlantis')",
                          nullptr, nullptr, nullptr),
             SQLITE_OK);
    const QByteArray before = Checksum(db) + Checksum(db + "-wal");

    QString err;
    QCOMPARE(Quorvent(args, &err), 1);
    QVERIFY2(err.contains(QStringLiteral("wird nicht überschrieben")), qPrintable(err));
    QCOMPARE(Checksum(db) + Checksum(db + "-wal"), before);
    QVERIFY(!QFile::exists(QString::fromLocal8Bit(db + "-journal")));
}

// Names that are no UTF-8 (Latin-1 here) are read and written as they are;
// an existing output file is replaced by renaming the new one over it, never
// removed first (a reader would find no file in between).
void TestCommands::namesKeepTheirBytes_data() {
    QTest::addColumn<Args>("args"); // "OUT": the output file
    QTest::newRow("backup") << Args{"--backup", "M\xFCller.DB", "OUT"};
    QTest::newRow("einvoice") << Args{"--einvoice", "M\xFCller.DB", "R", "1", "OUT"};
    QTest::newRow("pdf") << Args{"--pdf", "M\xFCller.DB", "R", "1", "OUT"};
    QTest::newRow("print data") << Args{"--print-data", "M\xFCller.DB", "R", "1"};
}

void TestCommands::namesKeepTheirBytes() {
    QFETCH(Args, args);
    const QByteArray out = "Kopie f\xFCr Sch\xE4"
                           "fer";
    QVERIFY(::rename((FFolder + "/Quorvent.DB").constData(), (FFolder + "/M\xFCller.DB").constData()) == 0);
    Args expected{"M\xFCller.DB"};
    if (args.contains("OUT")) {
        args.replace(args.indexOf("OUT"), out);
        QFile old(QString::fromLocal8Bit(FFolder) + "/alt");
        QVERIFY(old.open(QIODevice::WriteOnly) && old.write("alt") == 3);
        old.close();
        QVERIFY(::rename((FFolder + "/alt").constData(), (FFolder + '/' + out).constData()) == 0);
        expected << out;
    }
    const int watch = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    QVERIFY(watch >= 0);
    auto closeWatch = qScopeGuard([&] { ::close(watch); });
    QVERIFY(inotify_add_watch(watch, FFolder.constData(), IN_DELETE) >= 0);

    QString err;
    QCOMPARE(Quorvent(args, &err), 0);
    QVERIFY2(err.isEmpty(), qPrintable(err));
    std::sort(expected.begin(), expected.end());
    QCOMPARE(OldDatabases::RawEntries(FFolder), expected);
    if (expected.size() > 1) {
        QVERIFY(::access((FFolder + '/' + out).constData(), R_OK) == 0);
        QVERIFY(Checksum(FFolder + '/' + out) != QCryptographicHash::hash("alt", QCryptographicHash::Sha1));
    }
    // Deleted in the folder: at most the program's own temporary files.
    char buffer[4096];
    const ssize_t length = ::read(watch, buffer, sizeof buffer);
    for (ssize_t at = 0; at > -1 && at < length;) {
        const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
        QVERIFY2(QByteArray(event->name) != out,
                 "the old file was removed before the new one took its place");
        at += ssize_t(sizeof(inotify_event) + event->len);
    }
}

void TestCommands::wrongArguments_data() {
    QTest::addColumn<Args>("args");
    QTest::addColumn<QString>("error");
    const QByteArray db = "Quorvent.DB";
    QTest::newRow("upgrade, one too many") << Args{"--upgrade", db, "Neu.DB"} << "Aufruf: quorvent --upgrade";
    QTest::newRow("upgrade, one before") << Args{"Neu.DB", "--upgrade", db} << "Aufruf: quorvent --upgrade";
    QTest::newRow("upgrade, name missing") << Args{"--upgrade", "Neu.DB"} << "wurde nicht gefunden";
    QTest::newRow("backup, one too many")
        << Args{"--backup", db, "Neu.DB", "Neu2.DB"} << "Aufruf: quorvent --backup";
}

void TestCommands::wrongArguments() {
    QFETCH(Args, args);
    QFETCH(QString, error);
    const QByteArray before = Checksum(FFolder + "/Quorvent.DB");
    QString err;
    QCOMPARE(Quorvent(args, &err), 1);
    QVERIFY2(err.contains(error), qPrintable(err));
    QCOMPARE(OldDatabases::RawEntries(FFolder), Args{"Quorvent.DB"});
    QCOMPARE(Checksum(FFolder + "/Quorvent.DB"), before);
}

// A failure of the system is told in German and names the file.
void TestCommands::systemErrorsInGerman_data() {
    QTest::addColumn<QByteArray>("before"); // shell commands before the program starts
    QTest::addColumn<Args>("args");
    QTest::addColumn<QString>("error");
    const QByteArray db = "Quorvent.DB";
    const QByteArray limit = "trap '' XFSZ; ulimit -f 0; "; // no file may grow
    const QString full =
        QStringLiteral(" konnte nicht geschrieben werden: auf dem Datenträger ist kein Platz mehr frei.");
    const QString tooBig =
        QStringLiteral(" konnte nicht geschrieben werden: die Datei überschreitet die erlaubte Größe.");
    QTest::newRow("einvoice, disk full")
        << QByteArray() << Args{"--einvoice", db, "R", "1", "/dev/full"} << "\"/dev/full\"" + full;
    QTest::newRow("pdf, disk full") << QByteArray() << Args{"--pdf", db, "R", "1", "/dev/full"}
                                    << "\"/dev/full\"" + full;
    QTest::newRow("einvoice, size limit")
        << limit << Args{"--einvoice", db, "R", "1", "R1.xml"} << "\"R1.xml\"" + tooBig;
    QTest::newRow("einvoice, no folder")
        << QByteArray() << Args{"--einvoice", db, "R", "1", "fehlt/R1.xml"}
        << "\"fehlt/R1.xml\" konnte nicht geschrieben werden: die Datei oder ihr Ordner existiert nicht.";
    QTest::newRow("backup, no folder") << QByteArray() << Args{"--backup", db, "fehlt/Kopie.DB"}
                                       << "fehlt/Kopie.DB kopiert werden!\nFehler beim Öffnen der "
                                          "Datenbankdatei! (die Datei oder ihr Ordner existiert nicht)";
    QTest::newRow("backup, size limit")
        << limit << Args{"--backup", db, "Kopie.DB"} << "Kopie.DB kopiert werden!\n";
    QTest::newRow("backup, a pipe") << QByteArray("mkfifo Rohr; ") << Args{"--backup", db, "Rohr"}
                                    << "Rohr kopiert werden!\nDas Ziel ist keine gewöhnliche Datei.";
}

void TestCommands::systemErrorsInGerman() {
    QFETCH(QByteArray, before);
    QFETCH(Args, args);
    QFETCH(QString, error);
    struct stat full;
    if (args.contains("/dev/full") && (::stat("/dev/full", &full) != 0 || !S_ISCHR(full.st_mode)))
        QSKIP("/dev/full is no device here");
    QString err;
    QCOMPARE(Quorvent(args, &err, "cd " + Word(FFolder) + " && " + before), 1);
    QVERIFY2(err.contains(error), qPrintable(err));
    QVERIFY2(!err.contains(QLatin1String("error"), Qt::CaseInsensitive), qPrintable(err));
    const Args left = OldDatabases::RawEntries(FFolder);
    QVERIFY2(left == Args{"Quorvent.DB"} || left == (Args{"Quorvent.DB", "Rohr"}),
             left.join(' ').constData());
}

QTEST_GUILESS_MAIN(TestCommands)
#include "tst_commands.moc"
