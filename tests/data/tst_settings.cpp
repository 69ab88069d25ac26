// Settings, number ranges and remembered files on a real database file.
#include "GlobalFunctions.h"
#include "OldDatabases.h"
#include "QuorventFunctions.h"
#include "TestSupport.h"
#include "UDM.h"

#include <QDir>
#include <QtTest>

#include <set>

using OldDatabases::RawRows;

class TestSettings : public QObject {
    Q_OBJECT

    std::unique_ptr<TempDataHome> FHome;
    std::unique_ptr<TDM> FDM;
    QString FFile;
    QString FTemplate;

private slots:
    // Creating a file takes a while (one transaction per step); every test
    // gets a copy of one made here.
    void initTestCase() {
        FHome = std::make_unique<TempDataHome>();
        QDir().mkpath(FHome->dataFolder());
        FTemplate = FHome->path() + QStringLiteral("/template.DB");
        TDM dm;
        dm.OpenDatabaseFile(FTemplate);
    }
    void init() {
        FFile = FHome->dataFolder() + QStringLiteral("Quorvent.DB");
        QFile::remove(FFile);
        QVERIFY(QFile::copy(FTemplate, FFile));
        FDM = std::make_unique<TDM>();
        FDM->OpenDatabaseFile(FFile);
    }
    void cleanup() { FDM.reset(); }
    void cleanupTestCase() { FHome.reset(); }

    void setAllg_data();
    void setAllg();
    void setAllgUpdatesExistingRow();
    void mailSetting_data();
    void mailSetting();
    void getNumber();
    void getNumberInCallersTransaction();
    void getNumberFromTwoConnections();
    void getNumberRollsBackWhenUpdateFails();
    void getFileSetting_data();
    void getFileSetting();
};

void TestSettings::setAllg_data() {
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("stored"); // as the raw file holds it
    QTest::addColumn<QString>("read");   // as the program reads it back
    QTest::newRow("blanks around") << "  abc  "
                                   << "abc"
                                   << "abc";
    QTest::newRow("empty") << ""
                           << "<NULL>"
                           << "";
    QTest::newRow("the word NULL") << "NULL"
                                   << "<NULL>"
                                   << "";
    QTest::newRow("apostrophe") << "O'Brien"
                                << "O'Brien"
                                << "O'Brien";
    QTest::newRow("SQL in the value") << "x'); drop table set_allg; --"
                                      << "x'); drop table set_allg; --"
                                      << "x'); drop table set_allg; --";
    QTest::newRow("longer than 31") << "abcdefghijklmnopqrstuvwxyz0123456789"
                                    << "abcdefghijklmnopqrstuvwxyz0123456789"
                                    << "abcdefghijklmnopqrstuvwxyz01234";
}

void TestSettings::setAllg() {
    QFETCH(QString, value);
    QFETCH(QString, stored);
    QFETCH(QString, read);
    FDM->SetAllg(QStringLiteral("MailHost"), value);
    QCOMPARE(RawRows(FFile, QStringLiteral("select AllgWert from set_allg where AllgID = 'MailHost'")),
             stored);
    QCOMPARE(FDM->GetAllg(QStringLiteral("MailHost")), read);
}

void TestSettings::setAllgUpdatesExistingRow() {
    FDM->SetAllg(QStringLiteral("StoreWindow"), QStringLiteral("N"));
    FDM->SetAllg(QStringLiteral("WindowLeft"), QStringLiteral("120"));
    FDM->SetAllg(QStringLiteral("WindowLeft"), QStringLiteral("-8"));
    QCOMPARE(RawRows(FFile, QStringLiteral("select * from set_allg order by AllgID")),
             QStringLiteral("StoreWindow|N\nWindowLeft|-8"));
    QCOMPARE(FDM->GetAllg(QStringLiteral("WindowTop")), QString());
}

void TestSettings::mailSetting_data() {
    QTest::addColumn<QString>("auth");
    QTest::addColumn<bool>("expected");
    QTest::newRow("J") << "J" << true;
    QTest::newRow("N") << "N" << false;
    QTest::newRow("lower-case j") << "j" << false;
    QTest::newRow("missing") << "" << false;
}

void TestSettings::mailSetting() {
    QFETCH(QString, auth);
    QFETCH(bool, expected);
    FDM->SetAllg(QStringLiteral("MailHost"), QStringLiteral("mail.example.at"));
    FDM->SetAllg(QStringLiteral("MailUser"), QStringLiteral("büro"));
    FDM->SetAllg(QStringLiteral("MailPW"), QStringLiteral("geh'heim"));
    FDM->SetAllg(QStringLiteral("MailAuth"), auth);
    // A path longer than the column's 30 characters is read whole.
    const QString ca = QStringLiteral("/usr/local/share/ca-certificates/büro-mailserver.crt");
    FDM->SetAllg(QStringLiteral("MailCAFile"), ca);
    const TMailSetting s = GetMailSetting(FDM->Query1);
    QCOMPARE(s.CaFile, ca);
    QCOMPARE(s.Host, QStringLiteral("mail.example.at"));
    QCOMPARE(s.User, QStringLiteral("büro"));
    QCOMPARE(s.Password, QStringLiteral("geh'heim"));
    QCOMPARE(s.Auth, expected);
}

void TestSettings::getNumber() {
    QCOMPARE(GetNumber(FDM->Query1, QStringLiteral("KundenID"), true), 1);
    QCOMPARE(GetNumber(FDM->Query1, QStringLiteral("KundenID"), false), 2);
    QCOMPARE(GetNumber(FDM->Query1, QStringLiteral("KundenID"), false), 2);
    QCOMPARE(GetNumber(FDM->Query2, QStringLiteral("KundenID"), true), 2);
    QCOMPARE(GetNumber(FDM->Query1, QStringLiteral("KopfIDR"), true), 1);
    QVERIFY(!FDM->SQLiteDB1.InTransaction());
    // A range that does not exist gives 0 and creates nothing.
    QCOMPARE(GetNumber(FDM->Query1, QStringLiteral("KopfIDX"), true), 0);
    QCOMPARE(GetNumber(FDM->Query1, QStringLiteral("Kopf'X"), true), 0);
    QCOMPARE(RawRows(FFile, QStringLiteral("select NumTyp, Nummer from set_nummer where Nummer <> 1 order by "
                                           "NumTyp")),
             QStringLiteral("KopfIDR|2\nKundenID|3"));
    QCOMPARE(RawRows(FFile, QStringLiteral("select count(*) from set_nummer")), QStringLiteral("12"));
}

void TestSettings::getNumberInCallersTransaction() {
    FDM->SQLiteDB1.StartTransaction();
    QCOMPARE(GetNumber(FDM->Query1, QStringLiteral("KopfIDO"), true), 1);
    QCOMPARE(GetNumber(FDM->Query1, QStringLiteral("KopfIDO"), true), 2);
    // The caller's transaction stays open and carries the increments.
    QVERIFY(FDM->SQLiteDB1.InTransaction());
    FDM->SQLiteDB1.Rollback();
    QCOMPARE(GetNumber(FDM->Query1, QStringLiteral("KopfIDO"), false), 1);

    FDM->SQLiteDB1.StartTransaction();
    QCOMPARE(GetNumber(FDM->Query1, QStringLiteral("KopfIDO"), true), 1);
    FDM->SQLiteDB1.Commit();
    QCOMPARE(RawRows(FFile, QStringLiteral("select Nummer from set_nummer where NumTyp = 'KopfIDO'")),
             QStringLiteral("2"));
}

void TestSettings::getNumberFromTwoConnections() {
    // A second program on the same file, drawing from the same ranges in turn.
    TSQLiteDB other;
    other.FileName = FFile;
    other.BusyTimeout = 50;
    other.Open();
    TSQLiteQuery otherQuery(&other);
    std::set<int> seen;
    for (int i = 0; i < 20; ++i) {
        const int mine = GetNumber(FDM->Query1, QStringLiteral("KopfIDR"), true);
        const int theirs = GetNumber(otherQuery, QStringLiteral("KopfIDR"), true);
        QVERIFY2(seen.insert(mine).second, qPrintable(QString::number(mine)));
        QVERIFY2(seen.insert(theirs).second, qPrintable(QString::number(theirs)));
    }
    QCOMPARE(int(seen.size()), 40);
    QCOMPARE(*seen.begin(), 1);
    QCOMPARE(*seen.rbegin(), 40);

    // While one connection holds its transaction, the other cannot draw the
    // same number: it waits for the lock and then fails instead.
    FDM->SQLiteDB1.StartTransaction();
    QCOMPARE(GetNumber(FDM->Query1, QStringLiteral("KopfIDR"), true), 41);
    QVERIFY_THROWS_EXCEPTION(ESQLiteError, GetNumber(otherQuery, QStringLiteral("KopfIDR"), true));
    QVERIFY(!other.InTransaction());
    FDM->SQLiteDB1.Commit();
    QCOMPARE(GetNumber(otherQuery, QStringLiteral("KopfIDR"), true), 42);
}

void TestSettings::getNumberRollsBackWhenUpdateFails() {
    FDM->SQLiteDB1.ExecSQL(
        QStringLiteral("CREATE TRIGGER NoIncrement BEFORE UPDATE ON set_nummer WHEN "
                       "old.NumTyp = 'KundenID' BEGIN SELECT RAISE(ABORT, 'gesperrt'); END"));
    QVERIFY_THROWS_EXCEPTION(ESQLiteError, GetNumber(FDM->Query1, QStringLiteral("KundenID"), true));
    // The failed draw leaves no transaction open: the next change is stored on its own.
    QVERIFY(!FDM->SQLiteDB1.InTransaction());
    QCOMPARE(GetNumber(FDM->Query1, QStringLiteral("ArtikelID"), true), 1);
    FDM->SetAllg(QStringLiteral("MailHost"), QStringLiteral("mail.example.at"));
    FDM.reset();
    QCOMPARE(
        RawRows(FFile, QStringLiteral("select NumTyp, Nummer from set_nummer where NumTyp in ('KundenID', "
                                      "'ArtikelID') order by NumTyp")),
        QStringLiteral("ArtikelID|2\nKundenID|1"));
    QCOMPARE(RawRows(FFile, QStringLiteral("select AllgWert from set_allg where AllgID = 'MailHost'")),
             QStringLiteral("mail.example.at"));
}

void TestSettings::getFileSetting_data() {
    QTest::addColumn<QString>("stored");
    QTest::addColumn<QString>("expected");
    QTest::newRow("doubled backslashes") << "C:\\\\Daten\\\\Export\\\\kunden.csv"
                                         << "C:\\Daten\\Export\\kunden.csv";
    QTest::newRow("four in a row") << "\\\\\\\\server\\\\teil"
                                   << "\\server\\teil";
    QTest::newRow("single backslashes") << "C:\\Daten\\x.csv"
                                        << "C:\\Daten\\x.csv";
    QTest::newRow("unix path") << "/home/büro/export.csv"
                               << "/home/büro/export.csv";
    QTest::newRow("empty") << ""
                           << "";
}

void TestSettings::getFileSetting() {
    QFETCH(QString, stored);
    QFETCH(QString, expected);
    FDM->SQLiteDB1.ExecSQL(QStringLiteral("update set_file set FileName = ") + SQLQuote(stored) +
                           QStringLiteral(" where FileID = 'DatenExportFile'"));
    QCOMPARE(GetFileSetting(FDM->Query1, QStringLiteral("DatenExportFile")), expected);
    QCOMPARE(GetFileSetting(FDM->Query1, QStringLiteral("DatenImportFile")), QString());
}

QTEST_GUILESS_MAIN(TestSettings)
#include "tst_settings.moc"
