// Printed lists: rendered to PDF and read back with poppler, so what is
// checked is what lands on paper (every row once, in order, captions and page
// numbers on each page, bold rows, long texts kept out of the next column),
// and the preview window the statistics page opens.
#include "TListReport.h"

#include <QDialog>
#include <QPdfWriter>
#include <QPrintPreviewWidget>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

namespace {

QString Run(const QString& program, const QStringList& args) {
    QProcess p;
    p.start(program, args);
    if (!p.waitForFinished(60000) || p.exitCode() != 0)
        return QStringLiteral("<%1 failed>").arg(program);
    return QString::fromUtf8(p.readAllStandardOutput());
}

QStringList PageTexts(const QString& pdf) {
    QStringList pages =
        Run(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), pdf, QStringLiteral("-")}).split(u'\f');
    if (!pages.isEmpty() && pages.last().trimmed().isEmpty())
        pages.removeLast();
    return pages;
}

// Widths in points of every occurrence of a word, in reading order.
QList<double> WordWidths(const QString& pdf, const QString& word) {
    const QString html =
        Run(QStringLiteral("pdftotext"), {QStringLiteral("-bbox"), pdf, QStringLiteral("-")});
    static const QRegularExpression token(QStringLiteral(
        R"re(<word xMin="([\d.]+)" yMin="[\d.]+" xMax="([\d.]+)" yMax="[\d.]+">([^<]*)</word>)re"));
    QList<double> widths;
    for (auto it = token.globalMatch(html); it.hasNext();) {
        const QRegularExpressionMatch m = it.next();
        if (m.captured(3) == word)
            widths << m.captured(2).toDouble() - m.captured(1).toDouble();
    }
    return widths;
}

TListReport CustomerList(int rows) {
    TListReport list;
    list.Title = QStringLiteral("Umsatz pro Kunde");
    list.Subtitle = QStringLiteral("vom 01.01.2024 bis 31.12.2024");
    list.Columns = {{QStringLiteral("Kunde"), Qt::AlignLeft, 3},
                    {QStringLiteral("Umsatz"), Qt::AlignRight, 1}};
    for (int i = 1; i <= rows; ++i)
        list.Rows.append({{QStringLiteral("K%1 - Müller").arg(i, 3, 10, QLatin1Char('0')),
                           QStringLiteral("%1,00 EUR").arg(i * 10)}});
    return list;
}

int PageNumberOf(const QString& text, int* of) {
    static const QRegularExpression re(QStringLiteral(R"(Seite (\d+) von (\d+))"));
    const QRegularExpressionMatch m = re.match(text);
    *of = m.hasMatch() ? m.captured(2).toInt() : 0;
    return m.hasMatch() ? m.captured(1).toInt() : 0;
}

} // namespace

class TestListReport : public QObject {
    Q_OBJECT

private slots:
    void everyRowOnItsPage_data();
    void everyRowOnItsPage();
    void boldRowAndLongText();
    void preview();
    void unwritableFile();

private:
    QTemporaryDir dir;
};

void TestListReport::everyRowOnItsPage_data() {
    QTest::addColumn<int>("rows");
    QTest::addColumn<int>("minPages");
    QTest::addColumn<int>("maxPages");
    QTest::newRow("empty list: one page with the captions") << 0 << 1 << 1;
    QTest::newRow("short list") << 12 << 1 << 1;
    QTest::newRow("200 rows over several pages") << 200 << 3 << 8;
}

void TestListReport::everyRowOnItsPage() {
    QFETCH(int, rows);
    QFETCH(int, minPages);
    QFETCH(int, maxPages);
    TListReport list = CustomerList(rows);
    list.Rows.append({{QStringLiteral("Gesamt"), QStringLiteral("99,00 EUR")}, true});
    const QString pdf = dir.filePath(QStringLiteral("liste%1.pdf").arg(rows));
    list.Execute(TReportDestination::File, pdf);

    const QStringList pages = PageTexts(pdf);
    QVERIFY2(pages.size() >= minPages && pages.size() <= maxPages, qPrintable(QString::number(pages.size())));
    QVERIFY(pages.first().contains(QStringLiteral("Umsatz pro Kunde")));
    QVERIFY(pages.first().contains(QStringLiteral("vom 01.01.2024 bis 31.12.2024")));
    int expected = 1;
    for (int p = 0; p < pages.size(); ++p) {
        const QString& text = pages[p];
        int of = 0;
        QCOMPARE(PageNumberOf(text, &of), p + 1);
        QCOMPARE(of, int(pages.size()));
        // The captions head every page, a later page names its list too.
        QVERIFY2(text.contains(QRegularExpression(QStringLiteral("Kunde +Umsatz"))), qPrintable(text));
        QVERIFY(text.contains(QStringLiteral("Umsatz pro Kunde")));
        // The rows continue where the previous page stopped: none lost, none twice.
        static const QRegularExpression row(QStringLiteral(R"(K(\d{3}) - Müller +(\d+),00 EUR)"));
        for (auto it = row.globalMatch(text); it.hasNext();) {
            const QRegularExpressionMatch m = it.next();
            QCOMPARE(m.captured(1).toInt(), expected);
            QCOMPARE(m.captured(2).toInt(), expected * 10);
            ++expected;
        }
    }
    QCOMPARE(expected, rows + 1);
    QVERIFY(pages.last().contains(QRegularExpression(QStringLiteral("Gesamt +99,00 EUR"))));
}

void TestListReport::boldRowAndLongText() {
    TListReport list;
    list.Title = QStringLiteral("Umsatzdetails");
    list.Columns = {{QStringLiteral("Bezeichnung"), Qt::AlignLeft, 2},
                    {QStringLiteral("Anzahl"), Qt::AlignRight, 1},
                    {QStringLiteral("Umsatz"), Qt::AlignRight, 1}};
    list.Rows = {{{QStringLiteral("Gesamt"), QStringLiteral("1"), QStringLiteral("5,00 EUR")}},
                 {{QStringLiteral("Sehr lange Artikelbezeichnung ") + QString(120, u'x'), QStringLiteral("7"),
                   QStringLiteral("1.234,56 EUR")},
                  false,
                  true},
                 {{QStringLiteral("Gesamt"), QStringLiteral("8"), QStringLiteral("1.239,56 EUR")}, true}};
    const QString pdf = dir.filePath(QStringLiteral("details.pdf"));
    list.Execute(TReportDestination::File, pdf);

    // The same word set bold runs wider than set plain.
    const QList<double> widths = WordWidths(pdf, QStringLiteral("Gesamt"));
    QCOMPARE(widths.size(), 2);
    QVERIFY2(widths[1] > widths[0] * 1.03, qPrintable(QStringLiteral("%1 %2").arg(widths[0]).arg(widths[1])));
    // The long caption is cut short instead of covering its amounts.
    const QString text = PageTexts(pdf).value(0);
    QVERIFY2(text.contains(QRegularExpression(QStringLiteral(R"(x…? +7 +1\.234,56 EUR)"))), qPrintable(text));
    QVERIFY(!text.contains(QString(120, u'x')));
}

void TestListReport::preview() {
    TListReport list = CustomerList(120);
    QString title;
    bool maximised = false;
    double zoom = 0;
    int pages = 0;
    const auto previous = TReport::PreviewRunner();
    TReport::PreviewRunner() = [&](QDialog& dialog) {
        title = dialog.windowTitle();
        maximised = dialog.windowState().testFlag(Qt::WindowMaximized);
        dialog.show();
        if (auto* widget = dialog.findChild<QPrintPreviewWidget*>()) {
            zoom = widget->zoomFactor();
            pages = widget->pageCount();
        }
        dialog.close();
    };
    list.Execute(TReportDestination::Preview);
    TReport::PreviewRunner() = previous;
    QCOMPARE(title, QStringLiteral("Druckvorschau"));
    QVERIFY(maximised);
    QCOMPARE(zoom, 1.0);
    QPdfWriter pdf(dir.filePath(QStringLiteral("count.pdf")));
    pdf.setResolution(600);
    pdf.setPageSize(QPageSize(QPageSize::A4));
    pdf.setPageMargins(QMarginsF(0, 0, 0, 0));
    QCOMPARE(pages, list.Render(pdf));
    QVERIFY(pages >= 2);
}

void TestListReport::unwritableFile() {
    const QString target = dir.filePath(QStringLiteral("fehlt/liste.pdf"));
    try {
        CustomerList(3).Execute(TReportDestination::File, target);
        QFAIL("no error for a folder that does not exist");
    } catch (const EReportError& e) {
        QVERIFY2(e.message().startsWith(QStringLiteral("Die PDF-Datei")), qPrintable(e.message()));
    }
    QVERIFY(!QFile::exists(target));
}

QTEST_MAIN(TestListReport)
#include "tst_listreport.moc"
