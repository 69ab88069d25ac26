// Stored colours and the saving of the style in use.
#include "GlobalFunctions.h"
#include "StyleColors.h"
#include "TestSupport.h"
#include "UDM.h"

#include <QtTest>

class TestStyleColors : public QObject {
    Q_OBJECT

    std::unique_ptr<TempDataHome> FHome;
    std::unique_ptr<TDM> FDM;

    QString Colors(int style, const QString& object) { return FDM->ReadStyleRow(style, object).Colors; }

    // A fresh database for the tests that store styles.
    void OpenFresh() {
        FHome = std::make_unique<TempDataHome>();
        FDM = std::make_unique<TDM>();
        FDM->OpenDatabaseFile(DataFolder() + QStringLiteral("Quorvent.DB"));
    }

private slots:
    void cleanup() {
        FDM.reset();
        FHome.reset();
    }

    void storedToColor_data();
    void storedToColor();
    void colorsText_data();
    void colorsText();
    void resetFromStandard();
    void savingTwiceChangesNothing();
    void failedSaveLeavesStyleZero();
};

void TestStyleColors::storedToColor_data() {
    QTest::addColumn<QString>("hex");
    QTest::addColumn<qint32>("value");
    QTest::addColumn<QColor>("color");
    QTest::newRow("grey") << "00E1E1E1" << 14803425 << QColor(0xE1, 0xE1, 0xE1);
    QTest::newRow("red is the lowest byte") << "000000FF" << 255 << QColor(255, 0, 0);
    QTest::newRow("blue is the third byte") << "00C66931" << 13003057 << QColor(0x31, 0x69, 0xC6);
    QTest::newRow("mixed") << "00336699" << 3368601 << QColor(0x99, 0x66, 0x33);
    QTest::newRow("white") << "00FFFFFF" << 16777215 << QColor(255, 255, 255);
}

// Both encodings and both directions agree for plain colours.
void TestStyleColors::storedToColor() {
    QFETCH(QString, hex);
    QFETCH(qint32, value);
    QFETCH(QColor, color);
    QCOMPARE(HexToStored(hex), std::optional<qint32>(value));
    QCOMPARE(StoredToHex(value), hex);
    QCOMPARE(StoredToColor(value), color);
    QCOMPARE(ColorToStored(color), value);
}

void TestStyleColors::colorsText_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("n");
    QTest::addColumn<std::optional<qint32>>("expected");
    const QString nav =
        QStringLiteral("00D7D7D700D7D7D7000000000000000000D7D7D700DCDCDC000000000000000000C3C3C3"
                       "0000000F00FFFFFF00000000");
    QTest::newRow("first") << nav << 1 << std::optional<qint32>(0xD7D7D7);
    QTest::newRow("sixth") << nav << 6 << std::optional<qint32>(0xDCDCDC);
    QTest::newRow("tenth") << nav << 10 << std::optional<qint32>(0x0F);
    QTest::newRow("last") << nav << 12 << std::optional<qint32>(0);
    QTest::newRow("beyond the end") << nav << 13 << std::optional<qint32>();
    // A scheme colour reads back as the signed value it was written from.
    QTest::newRow("highest byte FF") << QStringLiteral("FF00000F") << 1 << std::optional<qint32>(-16777201);
    QTest::newRow("not hex") << QStringLiteral("00GG0000") << 1 << std::optional<qint32>();
    QTest::newRow("sign is not a digit") << QStringLiteral("+0000001") << 1 << std::optional<qint32>();
}

void TestStyleColors::colorsText() {
    QFETCH(QString, text);
    QFETCH(int, n);
    QFETCH(std::optional<qint32>, expected);
    QCOMPARE(ColorsEntry(text, n), expected);
    if (expected)
        QCOMPARE(StoredToHex(*expected), text.mid(8 * (n - 1), 8));
}

// "Standard - Style" then "Übernehmen" with no square changed: style 0 is
// style 1 again, only the pressed-entry colour of the menu follows the bar.
void TestStyleColors::resetFromStandard() {
    OpenFresh();
    FDM->SQLiteDB1.ExecSQL("update set_style set BGColor = 255, Colors = '00112233' where StyleID = 0 and "
                           "Object in ('Edit', 'Grid')");
    FDM->SQLiteDB1.ExecSQL("update set_style set Colors = '0011223300445566' where StyleID = 0 and Object = "
                           "'MainMenu'");
    FDM->SQLiteDB1.ExecSQL("delete from set_style where StyleID = 0 and Object = 'StringGrid'");

    FDM->SaveStyle(FDM->LoadStyleSquares(1), 1);

    QList<TStyleRow> zero = FDM->ReadStyle(0), one = FDM->ReadStyle(1);
    QCOMPARE(zero.size(), 19);
    QCOMPARE(zero.size(), one.size());
    for (int i = 0; i < one.size(); ++i) {
        TStyleRow expected = one[i];
        if (expected.Object == QLatin1String("MainMenu"))
            expected.Colors.replace(8, 8, expected.Colors.mid(16, 8));
        QCOMPARE(zero[i].Object, expected.Object);
        QVERIFY2(zero[i] == expected, qPrintable(expected.Object));
    }
}

// Loading and saving style 0 twice keeps every stored text, including menu
// entries that have no square and digits the program would not write itself.
void TestStyleColors::savingTwiceChangesNothing() {
    OpenFresh();
    QString menu = Colors(0, QStringLiteral("MainMenu"));
    menu.replace(8 * (mcHotColor - 1), 8, QStringLiteral("FF00000D"));
    FDM->SQLiteDB1.ExecSQL("update set_style set Colors = '" + menu +
                           "' where StyleID = 0 and Object = 'MainMenu'");

    FDM->SaveStyle(FDM->LoadStyleSquares(0), 0);
    const QList<TStyleRow> first = FDM->ReadStyle(0);
    FDM->SaveStyle(FDM->LoadStyleSquares(0), 0);
    QCOMPARE(FDM->ReadStyle(0), first);

    const QString saved = Colors(0, QStringLiteral("MainMenu"));
    QCOMPARE(saved.size(), 8 * MenuColorCount);
    QCOMPARE(saved.mid(8 * (mcHotColor - 1), 8), QStringLiteral("FF00000D"));
    QCOMPARE(saved.mid(8 * (mcHighlightColor - 1), 8), QStringLiteral("AAAAAAAA"));
    QCOMPARE(Colors(0, QStringLiteral("Navigation")), Colors(1, QStringLiteral("Navigation")));
    QCOMPARE(Colors(0, QStringLiteral("CustomColors")), Colors(1, QStringLiteral("CustomColors")));
}

// A statement failing late in "Übernehmen" must not leave style 0 deleted or
// half written.
void TestStyleColors::failedSaveLeavesStyleZero() {
    OpenFresh();
    FDM->SQLiteDB1.ExecSQL("update set_style set BGColor = 255 where StyleID = 0 and Object = 'Edit'");
    const QList<TStyleRow> before = FDM->ReadStyle(0);
    FDM->SQLiteDB1.ExecSQL(
        "create trigger refuse_tab before update on set_style when new.Object = 'TabControl' "
        "begin select raise(abort, 'refused'); end");

    TStyleSquares squares = FDM->LoadStyleSquares(1);
    squares.Row(QStringLiteral("Form")).BGColor = 0x123456;
    QVERIFY_THROWS_EXCEPTION(ESQLiteError, FDM->SaveStyle(squares, 1));

    QVERIFY(!FDM->SQLiteDB1.InTransaction());
    QCOMPARE(FDM->ReadStyle(0), before);
}

QTEST_GUILESS_MAIN(TestStyleColors)
#include "tst_stylecolors.moc"
