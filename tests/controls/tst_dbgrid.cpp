// The read-only grid: display patterns, captions, alignment, following the
// dataset's cursor both ways, rows appearing and going, per-row looks.
#include "SQLite.h"
#include "TDBGrid.h"
#include "TestSupport.h"

#include <QHeaderView>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

class TestDBGrid : public QObject {
    Q_OBJECT

private:
    QTemporaryDir FDir;
    std::unique_ptr<TSQLiteDB> FDB;
    std::unique_ptr<TSQLiteTable> FTable;
    std::unique_ptr<TDataSource> FSource;
    std::unique_ptr<ScriptedMessages> FMessages;

    static int Column(TDBGrid& grid, const QString& caption) {
        for (int c = 0; c < grid.GridModel()->columnCount(); ++c)
            if (grid.GridModel()->headerData(c, Qt::Horizontal).toString() == caption)
                return c;
        return -1;
    }

private slots:
    void initTestCase() { PinGermanLocale(); }

    void init() {
        FMessages = std::make_unique<ScriptedMessages>();
        FDB = std::make_unique<TSQLiteDB>();
        FDB->FileName = FDir.filePath(QStringLiteral("grid.db"));
        QFile::remove(FDB->FileName);
        FDB->Open();
        FDB->ExecSQL(
            QStringLiteral("create table Preis (ID INTEGER PRIMARY KEY, Bez VARCHAR(20), Wert FLOAT, "
                           "Menge INTEGER, Datum DATE, Notiz TEXT)"));
        FDB->ExecSQL(QStringLiteral("insert into Preis values (1, 'Schraube', 1234.5, 3, '2014-03-24', "
                                    "'erste Zeile\nzweite Zeile'), (2, 'Mutter', 19.5, NULL, NULL, NULL), "
                                    "(3, 'Öl', -1234.5, 10, '2020-01-02', 'x')"));
        FTable = std::make_unique<TSQLiteTable>(FDB.get());
        FTable->SetTableName(QStringLiteral("Preis"));
        FTable->PrimaryAutoInc = true;
        FTable->Open();
        FSource = std::make_unique<TDataSource>(FTable.get());
    }

    void cleanup() {
        FSource.reset();
        FTable.reset();
        FDB.reset();
        QCOMPARE(FMessages->unexpected, 0);
        FMessages.reset();
    }

    void cellsShowPatterns_data() {
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("format");
        QTest::addColumn<int>("row");
        QTest::addColumn<QString>("text");
        QTest::newRow("grouped") << "Wert"
                                 << "#,##0.00" << 0 << "1.234,50";
        QTest::newRow("grouped negative") << "Wert"
                                          << "#,##0.00" << 2 << "-1.234,50";
        QTest::newRow("euro") << "Wert"
                              << "0.00 EUR" << 0 << "1234,50 EUR";
        QTest::newRow("percent") << "Wert"
                                 << "0.00%" << 1 << "19,50%";
        QTest::newRow("plain") << "Wert"
                               << "0.00" << 1 << "19,50";
        QTest::newRow("no pattern") << "Wert"
                                    << "" << 1 << "19,5";
        QTest::newRow("integer") << "Menge"
                                 << "" << 2 << "10";
        QTest::newRow("null") << "Menge"
                              << "#,##0.00" << 1 << "";
        QTest::newRow("date") << "Datum"
                              << "" << 0 << "24.03.2014";
        QTest::newRow("memo first line") << "Notiz"
                                         << "" << 0 << "erste Zeile";
        QTest::newRow("text") << "Bez"
                              << "" << 2 << "Öl";
    }

    void cellsShowPatterns() {
        QFETCH(QString, field);
        QFETCH(QString, format);
        QFETCH(int, row);
        QFETCH(QString, text);
        TDBGrid grid;
        grid.SetDataSource(FSource.get());
        grid.SetColumns({{field, QStringLiteral("Spalte"), format, 0, {}}});
        QCOMPARE(grid.GridModel()->columnCount(), 1);
        QCOMPARE(grid.GridModel()->rowCount(), 3);
        QCOMPARE(grid.GridModel()->data(grid.GridModel()->index(row, 0)).toString(), text);

        // A pattern set on the field itself is used when the column has none.
        if (!format.isEmpty()) {
            grid.SetColumns({{field, {}, {}, 0, {}}});
            FTable->FieldByName(field)->DisplayFormat = format;
            QCOMPARE(grid.GridModel()->data(grid.GridModel()->index(row, 0)).toString(), text);
        }
    }

    // Captions come from the column, else the field's label, else its name;
    // numbers are right-aligned, cells and caption alike.
    void captionsAndAlignment() {
        TDBGrid grid;
        grid.SetDataSource(FSource.get());
        QCOMPARE(grid.GridModel()->columnCount(), 6); // every visible field without columns
        FTable->FieldByName(QStringLiteral("Menge"))->DisplayLabel = QStringLiteral("Anzahl");
        grid.SetColumns({{QStringLiteral("Bez"), QStringLiteral("Bezeichnung"), {}, 120, {}},
                         {QStringLiteral("Menge"), {}, {}, 0, {}},
                         {QStringLiteral("Wert"), QStringLiteral("Betrag"), QStringLiteral("0.00"), 0, {}},
                         {QStringLiteral("Datum"), {}, {}, 0, Qt::AlignCenter}});
        TDBGridModel* m = grid.GridModel();
        QCOMPARE(m->headerData(0, Qt::Horizontal).toString(), QStringLiteral("Bezeichnung"));
        QCOMPARE(m->headerData(1, Qt::Horizontal).toString(), QStringLiteral("Anzahl"));
        QCOMPARE(m->headerData(3, Qt::Horizontal).toString(), QStringLiteral("Datum"));
        QCOMPARE(grid.columnWidth(0), 120);
        auto align = [&](int column) {
            return Qt::Alignment(m->data(m->index(0, column), Qt::TextAlignmentRole).toInt());
        };
        QVERIFY(align(0) & Qt::AlignLeft);
        QVERIFY(align(1) & Qt::AlignRight);
        QVERIFY(align(2) & Qt::AlignRight);
        QCOMPARE(align(3), Qt::Alignment(Qt::AlignCenter));
        QVERIFY(Qt::Alignment(m->headerData(2, Qt::Horizontal, Qt::TextAlignmentRole).toInt()) &
                Qt::AlignRight);
        QVERIFY(!(m->flags(m->index(0, 0)) & Qt::ItemIsEditable));
    }

    // Columns wider together than the grid give way in proportion, so the
    // last one is not cut off; with room enough each keeps its own width.
    void columnsFitTheGrid_data() {
        QTest::addColumn<int>("gridWidth");
        QTest::addColumn<bool>("shrunk");
        QTest::newRow("narrow") << 400 << true;
        QTest::newRow("wide") << 900 << false;
    }
    void columnsFitTheGrid() {
        QFETCH(int, gridWidth);
        QFETCH(bool, shrunk);
        TDBGrid grid;
        grid.SetDataSource(FSource.get());
        grid.SetColumns({{QStringLiteral("Bez"), {}, {}, 260, {}},
                         {QStringLiteral("Wert"), {}, {}, 200, {}},
                         {QStringLiteral("Menge"), QStringLiteral("Aktiv"), {}, 45, {}}});
        grid.resize(gridWidth, 200);
        grid.show();
        QVERIFY(QTest::qWaitForWindowExposed(&grid));
        const int total = grid.columnWidth(0) + grid.columnWidth(1) + grid.columnWidth(2);
        QVERIFY2(total <= grid.viewport()->width(), qPrintable(QString::number(total)));
        QCOMPARE(grid.columnWidth(0) < 260, shrunk);
        QVERIFY(grid.columnWidth(0) > grid.columnWidth(1)); // the proportions stay
    }

    // The selected row follows the cursor, choosing a row moves the cursor,
    // a double-click reports the row the dataset stands on.
    void gridAndCursorFollowEachOther() {
        int scrolls = 0;
        FTable->AfterScroll = [&](TSQLiteBaseQuery*) { ++scrolls; };
        TDBGrid grid;
        grid.resize(500, 300);
        grid.SetDataSource(FSource.get());
        grid.show();
        QCOMPARE(grid.currentIndex().row(), 0);
        FTable->Next();
        QCOMPARE(grid.currentIndex().row(), 1);

        scrolls = 0;
        grid.setCurrentIndex(grid.GridModel()->index(2, 1));
        QCOMPARE(FTable->RecNo(), 3);
        QCOMPARE(scrolls, 1); // forms react to the move as to any other
        QCOMPARE(FTable->FieldByName(QStringLiteral("Bez"))->AsString(), QStringLiteral("Öl"));

        QSignalSpy spy(&grid, &TDBGrid::recordDoubleClicked);
        const QRect cell = grid.visualRect(grid.GridModel()->index(0, 1));
        QTest::mouseClick(grid.viewport(), Qt::LeftButton, {}, cell.center());
        QTest::mouseDClick(grid.viewport(), Qt::LeftButton, {}, cell.center());
        QCOMPARE(spy.count(), 1);
        QCOMPARE(spy.first().first().toInt(), 0);
        QCOMPARE(FTable->RecNo(), 1);
    }

    // New, edited and deleted records show at once.
    void rowsFollowInsertEditAndDelete() {
        TDBGrid grid;
        grid.SetDataSource(FSource.get());
        grid.SetColumns({{QStringLiteral("Bez"), {}, {}, 0, {}},
                         {QStringLiteral("Wert"), {}, QStringLiteral("0.00"), 0, {}}});
        TDBGridModel* m = grid.GridModel();
        auto text = [&](int row, int column = 0) { return m->data(m->index(row, column)).toString(); };

        FTable->Last();
        FTable->Append();
        QCOMPARE(m->rowCount(), 4);
        QCOMPARE(grid.currentIndex().row(), 3);
        FTable->FieldByName(QStringLiteral("Bez"))->SetAsString(QStringLiteral("Neu"));
        FTable->FieldByName(QStringLiteral("Wert"))->SetAsFloat(2);
        QCOMPARE(text(3), QStringLiteral("Neu"));
        QCOMPARE(text(3, 1), QStringLiteral("2,00"));
        FTable->Cancel();
        QCOMPARE(m->rowCount(), 3);

        FTable->First();
        FTable->Insert();
        QCOMPARE(m->rowCount(), 4);
        QCOMPARE(text(0), QString());
        QCOMPARE(text(1), QStringLiteral("Schraube"));
        FTable->FieldByName(QStringLiteral("Bez"))->SetAsString(QStringLiteral("Davor"));
        FTable->Post();
        QCOMPARE(m->rowCount(), 4);
        QCOMPARE(text(0), QStringLiteral("Davor"));
        QCOMPARE(text(1), QStringLiteral("Schraube"));

        FTable->Next();
        FTable->Edit();
        FTable->FieldByName(QStringLiteral("Bez"))->SetAsString(QStringLiteral("Bolzen"));
        QCOMPARE(text(1), QStringLiteral("Bolzen"));
        FTable->Post();
        FTable->Delete();
        QCOMPARE(m->rowCount(), 3);
        QCOMPARE(text(1), QStringLiteral("Mutter"));
        QCOMPARE(grid.currentIndex().row(), 1);

        FTable->Close();
        QCOMPARE(m->rowCount(), 0);
        FTable->Open();
        QCOMPARE(m->rowCount(), 3);
    }

    // Leaving a record whose save is refused keeps the grid on it.
    void refusedSaveKeepsTheRow() {
        FTable->BeforePost = [](TSQLiteBaseQuery*) {
            Messages::warning(QStringLiteral("Nein"));
            Abort();
        };
        TDBGrid grid;
        grid.SetDataSource(FSource.get());
        FTable->Edit();
        FTable->FieldByName(QStringLiteral("Bez"))->SetAsString(QStringLiteral("Geändert"));
        grid.setCurrentIndex(grid.GridModel()->index(2, 0));
        QCOMPARE(FMessages->texts(), QStringList{QStringLiteral("Nein")});
        QCOMPARE(FTable->State(), TDataSetState::Edit);
        QCOMPARE(FTable->RecNo(), 1);
        QCOMPARE(grid.currentIndex().row(), 0);
    }

    void rowStyleHook() {
        TDBGrid grid;
        grid.SetDataSource(FSource.get());
        // Rows without a quantity in red and bold, as a list marks open items.
        grid.SetRowStyleHook([&](int row, TDBGridRowStyle& style) {
            if (grid.GridModel()->Value(row, Column(grid, QStringLiteral("Menge"))).isNull()) {
                style.Foreground = Qt::red;
                style.Bold = true;
            }
        });
        TDBGridModel* m = grid.GridModel();
        QCOMPARE(m->data(m->index(1, 0), Qt::ForegroundRole).value<QColor>(), QColor(Qt::red));
        QVERIFY(m->data(m->index(1, 0), Qt::FontRole).value<QFont>().bold());
        QVERIFY(!m->data(m->index(0, 0), Qt::ForegroundRole).isValid());
        QVERIFY(!m->data(m->index(0, 0), Qt::FontRole).isValid());
    }
};

QTEST_MAIN(TestDBGrid)
#include "tst_dbgrid.moc"
