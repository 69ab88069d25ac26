// The shared helpers: SQL literals, date and number texts, document type
// names, the data folder and the pick-list filling.
#include "ComboHelpers.h"
#include "GlobalFunctions.h"
#include "QuorventFunctions.h"
#include "TestSupport.h"
#include "UDM.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QtTest>

class TestHelpers : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { PinGermanLocale(); }

    void sqlQuote_data();
    void sqlQuote();
    void dateTexts();
    void sqlToDate_data();
    void sqlToDate();
    void formatEuro_data();
    void formatEuro();
    void padZerosAndVersion();
    void dokTyp_data();
    void dokTyp();
    void dataFolder();
    void dataFolderFallsBackToProgramFolder();
    void fillCombos();
};

void TestHelpers::sqlQuote_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("literal");
    QTest::newRow("plain") << "Herr"
                           << "'Herr'";
    QTest::newRow("trimmed") << "  Frau \t"
                             << "'Frau'";
    QTest::newRow("apostrophe doubled") << "O'Brien"
                                        << "'O''Brien'";
    QTest::newRow("closing quote attempt") << "x'); delete from Kunde; --"
                                           << "'x''); delete from Kunde; --'";
    QTest::newRow("empty") << ""
                           << "NULL";
    QTest::newRow("blanks") << "   "
                            << "NULL";
    QTest::newRow("the word NULL") << " NULL "
                                   << "NULL";
    QTest::newRow("lower-case null is text") << "null"
                                             << "'null'";
}

void TestHelpers::sqlQuote() {
    QFETCH(QString, text);
    QFETCH(QString, literal);
    QCOMPARE(SQLQuote(text), literal);
}

void TestHelpers::dateTexts() {
    const QDateTime t(QDate(2014, 3, 5), QTime(7, 8, 9));
    QCOMPARE(DateToSQL(t.date()), QStringLiteral("2014-03-05"));
    QCOMPARE(DateToSQL(t), QStringLiteral("2014-03-05"));
    QCOMPARE(DateTimeToSQL(t), QStringLiteral("2014-03-05 07:08:09"));
    QCOMPARE(SQLToDate(DateToSQL(QDate(2024, 2, 29))), QDate(2024, 2, 29));
}

void TestHelpers::sqlToDate_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QDate>("date"); // invalid: the text must be refused
    QTest::newRow("date") << "2014-03-05" << QDate(2014, 3, 5);
    QTest::newRow("date with time") << "2013-05-02 10:11:12" << QDate(2013, 5, 2);
    QTest::newRow("30 February") << "2014-02-30" << QDate();
    QTest::newRow("German form") << "05.03.2014" << QDate();
    QTest::newRow("empty") << "" << QDate();
}

void TestHelpers::sqlToDate() {
    QFETCH(QString, text);
    QFETCH(QDate, date);
    if (date.isValid()) {
        QCOMPARE(SQLToDate(text), date);
    } else {
        QVERIFY_THROWS_EXCEPTION(ESQLiteError, SQLToDate(text));
    }
}

void TestHelpers::formatEuro_data() {
    QTest::addColumn<double>("amount");
    QTest::addColumn<QString>("text");
    QTest::newRow("no thousands separator") << 1234.5 << "1234,50 EUR";
    QTest::newRow("rounded") << 0.125 << "0,13 EUR";
    QTest::newRow("negative") << -17.9 << "-17,90 EUR";
    QTest::newRow("millions") << 1234567.891 << "1234567,89 EUR";
}

void TestHelpers::formatEuro() {
    QFETCH(double, amount);
    QFETCH(QString, text);
    QCOMPARE(FormatEuro(amount), text);
}

void TestHelpers::padZerosAndVersion() {
    QCOMPARE(PadZeros(QStringLiteral("42"), 5), QStringLiteral("00042"));
    QCOMPARE(PadZeros(QStringLiteral("123456"), 5), QStringLiteral("123456"));
    QCOMPARE(PadZeros(QString(), 2), QStringLiteral("00"));
    QCOMPARE(VersionToString((2014u << 16) | 1u), QStringLiteral("2014.1"));
    QCOMPARE(VersionToString(0xFFFFFFFFu), QStringLiteral("65535.65535"));
    QCOMPARE(VersionToString(ProgramVersion()), QStringLiteral(QUORVENT_VERSION));
}

void TestHelpers::dokTyp_data() {
    QTest::addColumn<QString>("typ");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("withArticle");
    QTest::addColumn<QString>("capital");
    QTest::newRow("O") << "O"
                       << "Angebot"
                       << "das Angebot"
                       << "Das Angebot";
    QTest::newRow("A") << "A"
                       << "Auftrag"
                       << "der Auftrag"
                       << "Der Auftrag";
    QTest::newRow("R") << "R"
                       << "Rechnung"
                       << "die Rechnung"
                       << "Die Rechnung";
    QTest::newRow("payment reminder is no type") << "Z"
                                                 << ""
                                                 << ""
                                                 << "";
    QTest::newRow("empty") << ""
                           << ""
                           << ""
                           << "";
}

void TestHelpers::dokTyp() {
    QFETCH(QString, typ);
    QFETCH(QString, name);
    QFETCH(QString, withArticle);
    QFETCH(QString, capital);
    QCOMPARE(DokTypName(typ), name);
    QCOMPARE(DokTypMitArtikel(typ), withArticle);
    QCOMPARE(DokTypMitArtikel(typ, true), capital);
}

void TestHelpers::dataFolder() {
    TempDataHome home;
    const QString expected = home.path() + QStringLiteral("/Brenholm/Quorvent/");
    QVERIFY(!QDir(expected).exists());
    QCOMPARE(DataFolder(), expected);
    QVERIFY(QDir(expected).exists());
    QCOMPARE(DataFolder(QStringLiteral("updatebackup")), expected + QStringLiteral("updatebackup/"));
    QVERIFY(!QDir(expected + QStringLiteral("updatebackup")).exists());

    // Without XDG_DATA_HOME the folder lies under the home folder.
    const QByteArray oldHome = qgetenv("HOME");
    qunsetenv("XDG_DATA_HOME");
    qputenv("HOME", home.path().toLocal8Bit());
    const QString underHome = DataFolder();
    qputenv("HOME", oldHome);
    QCOMPARE(underHome, home.path() + QStringLiteral("/.local/share/Brenholm/Quorvent/"));
}

void TestHelpers::dataFolderFallsBackToProgramFolder() {
    TempDataHome home;
    // A file where the folder should be: the folder cannot be created.
    QFile blocker(home.path() + QStringLiteral("/Brenholm"));
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    QCOMPARE(DataFolder(), QCoreApplication::applicationDirPath() + u'/');
    QCOMPARE(ProgramFolder(), QCoreApplication::applicationDirPath() + u'/');
}

void TestHelpers::fillCombos() {
    TempDataHome home;
    TDM dm;
    dm.OpenDatabaseFile(DataFolder() + QStringLiteral("Quorvent.DB"));
    dm.SQLiteDB1.ExecSQL(QStringLiteral("INSERT INTO KundenGruppe (KunGruBez) VALUES ('Ärzte')"));
    dm.SQLiteDB1.ExecSQL(QStringLiteral("INSERT INTO KundenGruppe (KunGruBez) VALUES ('Bäcker')"));

    QComboBox combo;
    auto items = [&] {
        QStringList list;
        for (int i = 0; i < combo.count(); ++i)
            list << combo.itemText(i);
        return list;
    };
    FillGroupCombo(dm.Query1, &combo, 1, true);
    QCOMPARE(items().first(), QStringLiteral("- Alle -"));
    QCOMPARE(items().size(), 4);
    QCOMPARE(combo.currentIndex(), 0);
    QVERIFY(items().contains(QStringLiteral("Ärzte")));

    FillGroupCombo(dm.Query1, &combo, 4, false);
    QCOMPARE(items(), (QStringList{QStringLiteral(" "), QStringLiteral("Lfm"), QStringLiteral("Ltr"),
                                   QStringLiteral("Pkg"), QStringLiteral("Stk"), QStringLiteral("h")}));
    FillGroupCombo(dm.Query1, &combo, 3, false);
    QCOMPARE(items(), QStringList{QStringLiteral("Allgemein")});
    // An unknown kind leaves the list alone.
    FillGroupCombo(dm.Query1, &combo, 5, true);
    QCOMPARE(items(), QStringList{QStringLiteral("Allgemein")});

    // An empty result with "all" leaves just that entry, selected.
    dm.Query1.RunSQL(QStringLiteral("select KunGruBez from KundenGruppe where KunGruID < 0"));
    FillComboFromQuery(dm.Query1, &combo, true);
    QCOMPARE(items(), QStringList{QStringLiteral("- Alle -")});
    QCOMPARE(combo.currentIndex(), 0);

    // Filling starts at the query's current row.
    dm.Query1.RunSQL(QStringLiteral("select AnredeBez from Anrede order by AnredeID"));
    dm.Query1.Next();
    dm.Query1.Next();
    FillComboFromQuery(dm.Query1, &combo, false);
    QCOMPARE(items(), (QStringList{QStringLiteral("Frau"), QStringLiteral("Herr")}));
    QVERIFY(dm.Query1.Eof());
}

QTEST_MAIN(TestHelpers)
#include "tst_helpers.moc"
