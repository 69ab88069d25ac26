// Text crosses the database boundary as Windows-1252 bytes, both ways, and a
// character that cannot be stored is refused instead of being replaced.
#include "SQLite.h"
#include "Win1252.h"

#include <sqlite3.h>

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

namespace {

QString hexOnDisk(const QString& file, const char* sql) {
    sqlite3* db = nullptr;
    sqlite3_open(QFile::encodeName(file).constData(), &db);
    sqlite3_stmt* st = nullptr;
    QString result = "<no row>";
    if (sqlite3_prepare_v2(db, sql, -1, &st, nullptr) == SQLITE_OK && sqlite3_step(st) == SQLITE_ROW)
        result = QString::fromLatin1(reinterpret_cast<const char*>(sqlite3_column_text(st, 0)));
    sqlite3_finalize(st);
    sqlite3_close(db);
    return result;
}

} // namespace

class TestWin1252 : public QObject {
    Q_OBJECT

    QTemporaryDir dir;

private slots:
    void everyByteRoundTrips();
    void characters_data();
    void characters();
    void refused_data();
    void refused();
    void bytesOnDisk();
};

void TestWin1252::everyByteRoundTrips() {
    QByteArray all(256, Qt::Uninitialized);
    for (int i = 0; i < 256; ++i)
        all[i] = char(i);
    const QString text = Win1252::decode(all);
    QCOMPARE(text.size(), 256);
    QVERIFY(Win1252::canEncode(text));
    QCOMPARE(Win1252::encode(text), all);
}

void TestWin1252::characters_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("umlauts and sharp s") << "äÖüß" << QByteArray("\xE4\xD6\xFC\xDF");
    QTest::newRow("euro sign") << "€" << QByteArray("\x80");
    QTest::newRow("typographic quotes and dash") << "„x“–" << QByteArray("\x84x\x93\x96");
    QTest::newRow("S caron, OE, Y diaeresis") << "ŠŒŸ" << QByteArray("\x8A\x8C\x9F");
    QTest::newRow("undefined byte keeps its control")
        << QString(QChar(0x81)) + QChar(0x9D) << QByteArray("\x81\x9D");
}

void TestWin1252::characters() {
    QFETCH(QString, text);
    QFETCH(QByteArray, bytes);
    QCOMPARE(Win1252::encode(text), bytes);
    QCOMPARE(Win1252::decode(bytes), text);
}

void TestWin1252::refused_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("named");
    QTest::newRow("Polish l") << "Łódź"
                              << "\"Ł\" (U+0141)";
    QTest::newRow("emoji") << "Gut 😀"
                           << "\"😀\" (U+1F600)";
    QTest::newRow("C1 control the euro byte stands for") << QString(QChar(0x80)) << "(U+0080)";
}

void TestWin1252::refused() {
    QFETCH(QString, text);
    QFETCH(QString, named);
    QVERIFY(!Win1252::canEncode(text));
    try {
        Win1252::encode(text);
        QFAIL("encoded an unrepresentable character");
    } catch (const ESQLiteError& e) {
        QVERIFY2(e.message().startsWith("Das Zeichen ") && e.message().contains(named),
                 qPrintable(e.message()));
    }
}

void TestWin1252::bytesOnDisk() {
    TSQLiteDB db;
    db.FileName = dir.filePath("w.db");
    db.Open();
    db.ExecSQL("create table Kunde (KundenID integer primary key, Firma varchar(40), Notiz text)");
    db.ExecSQL("insert into Kunde values (1, 'Müller Öl', NULL)");
    QCOMPARE(hexOnDisk(db.FileName, "select hex(Firma) from Kunde"), "4DFC6C6C657220D66C");

    TSQLiteTable t(&db);
    t.SetTableName("Kunde");
    t.Open();
    QCOMPARE(t.FieldByName("Firma")->AsString(), "Müller Öl");
    t.Edit();
    t.FieldByName("Firma")->SetAsString("Straße 5 €");
    t.FieldByName("Notiz")->SetAsString("Grüße");
    t.Post();
    QCOMPARE(hexOnDisk(db.FileName, "select hex(Firma) || ' ' || hex(Notiz) from Kunde"),
             "53747261DF6520352080 4772FCDF65");

    // SQL compares the stored bytes: a search text in the statement matches them.
    TSQLiteQuery q(&db);
    q.RunSQL("select KundenID from Kunde where Firma = 'Straße 5 €'");
    QCOMPARE(q.RecordCount(), 1);

    // Refused, not replaced: the record stays in edit state and the file unchanged.
    t.Edit();
    t.FieldByName("Firma")->SetAsString("Wałęsa");
    QVERIFY_THROWS_EXCEPTION(ESQLiteError, t.Post());
    QCOMPARE(t.State(), TDataSetState::Edit);
    t.Cancel();
    QVERIFY_THROWS_EXCEPTION(ESQLiteError, db.ExecSQL("update Kunde set Firma = '😀'"));
    QCOMPARE(hexOnDisk(db.FileName, "select hex(Firma) from Kunde"), "53747261DF6520352080");
}

QTEST_GUILESS_MAIN(TestWin1252)
#include "tst_win1252.moc"
