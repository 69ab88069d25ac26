// Reading and writing one string of an INI file (paths with commas and
// bytes that are not UTF-8 as the program reads them: tst_connect).
#include "FileNames.h"
#include "IniFile.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

class TestIniFile : public QObject {
    Q_OBJECT

    QTemporaryDir dir;
    QString FFile;

    void Write(const QByteArray& content) {
        QFile f(FFile);
        QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(content);
    }

private slots:
    void init() {
        FFile = dir.filePath("Quorvent.ini");
        QFile::remove(FFile);
    }

    void readsTheValueAsWritten_data() {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("expected");
        QTest::newRow("case, blanks, CRLF and byte order mark")
            << QByteArray("\xEF\xBB\xBF[ DATABASE ]\r\n  dbfile  =  /x/Q.DB  \r\n") << "/x/Q.DB";
        QTest::newRow("enclosing quotes go, inner ones stay")
            << QByteArray("[Database]\nDBFile=\"'/x/Q.DB'\"\n") << "'/x/Q.DB'";
        QTest::newRow("comment line is no entry")
            << QByteArray("[Database]\n;DBFile=/alt.DB\nDBFile=/neu.DB\n") << "/neu.DB";
        QTest::newRow("empty value stays empty") << QByteArray("[Database]\nDBFile=\n") << "";
        QTest::newRow("key of another section")
            << QByteArray("[Andere]\nDBFile=/x.DB\n[Database]\nA=1\n") << "<Vorgabe>";
        QTest::newRow("no file") << QByteArray() << "<Vorgabe>";
        QTest::newRow("Latin-1 bytes")
            << QByteArray("[Database]\nDBFile=/M\xFCller.DB\n") << DecodeFileName("/M\xFCller.DB");
    }
    void readsTheValueAsWritten() {
        QFETCH(QByteArray, content);
        QFETCH(QString, expected);
        if (!content.isEmpty())
            Write(content);
        const QString value = ReadIniString(FFile, "Database", "DBFile", "<Vorgabe>");
        QCOMPARE(value, expected);
        QCOMPARE(EncodeFileName(value), EncodeFileName(expected));
    }

    void writtenValueReadsBackExactly_data() {
        QTest::addColumn<QString>("value");
        QTest::newRow("comma") << "/Daten, alt/Quorvent.DB";
        QTest::newRow("blanks at both ends") << "  /Daten/Quorvent.DB ";
        QTest::newRow("enclosing quotes") << "\"/Daten/Quorvent.DB\"";
        QTest::newRow("umlauts") << "/Müller & Söhne/Quorvent.DB";
        QTest::newRow("Latin-1 bytes") << DecodeFileName("/M\xFCller/Quorvent.DB");
        QTest::newRow("empty") << "";
    }
    void writtenValueReadsBackExactly() {
        QFETCH(QString, value);
        Write(
            "; Einstellungen\n[Allgemein]\nSprache=de\n\n[Database]\nDBFile=/alt.DB\nDebug=1\n[Ende]\nX=y\n");
        QVERIFY(WriteIniString(FFile, "Database", "DBFile", value));
        QCOMPARE(EncodeFileName(ReadIniString(FFile, "Database", "DBFile", "<Vorgabe>")),
                 EncodeFileName(value));
        // Everything else in the file stays.
        QCOMPARE(ReadIniString(FFile, "Allgemein", "Sprache"), "de");
        QCOMPARE(ReadIniString(FFile, "Database", "Debug"), "1");
        QCOMPARE(ReadIniString(FFile, "Ende", "X"), "y");
        QFile f(FFile);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QVERIFY(f.readAll().startsWith("; Einstellungen\n"));
    }

    void writeCreatesFileAndSection() {
        QVERIFY(WriteIniString(FFile, "Database", "DBFile", "/a, b/Q.DB"));
        QVERIFY(WriteIniString(FFile, "Andere", "Wert", "1"));
        QCOMPARE(ReadIniString(FFile, "Database", "DBFile"), "/a, b/Q.DB");
        QCOMPARE(ReadIniString(FFile, "Andere", "Wert"), "1");
        // A line break cannot be stored and must not cut the file apart.
        QVERIFY(!WriteIniString(FFile, "Database", "DBFile", "/a\n[Andere]\nWert=2"));
        QCOMPARE(ReadIniString(FFile, "Database", "DBFile"), "/a, b/Q.DB");
        QCOMPARE(ReadIniString(FFile, "Andere", "Wert"), "1");
    }
};

QTEST_GUILESS_MAIN(TestIniFile)
#include "tst_inifile.moc"
