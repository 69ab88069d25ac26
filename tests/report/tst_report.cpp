// The report engine on real printouts: documents prepared from a database are
// rendered to PDF and read back with poppler (pdftotext, pdftoppm), so what is
// checked is what a reader of the file sees: the texts in their order, where
// they are on which page, and the pixels of the logo.
#include "DatabaseFixture.h"
#include "TReport.h"
#include "TReportOutput.h"
#include "UDM.h"

#include <QDialog>
#include <QFontDatabase>
#include <QImage>
#include <QPainter>
#include <QPrintPreviewWidget>
#include <QPrinterInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QScreen>
#include <QtTest>

namespace {

constexpr double PtPerMm = 72.0 / 25.4;

QString Definition() {
    const QString dir = qEnvironmentVariable("QV_BUILD_DIR", QCoreApplication::applicationDirPath() + "/..");
    return dir + QStringLiteral("/Quorvent.rav");
}

QString Run(const QString& program, const QStringList& args) {
    QProcess p;
    p.start(program, args);
    if (!p.waitForFinished(60000) || p.exitCode() != 0)
        return QStringLiteral("<%1 failed: %2>")
            .arg(program, QString::fromLocal8Bit(p.readAllStandardError()));
    return QString::fromUtf8(p.readAllStandardOutput());
}

// The text of each page as pdftotext -layout reads it.
QStringList PageTexts(const QString& pdf) {
    QStringList pages =
        Run(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), pdf, QStringLiteral("-")}).split(u'\f');
    if (!pages.isEmpty() && pages.last().trimmed().isEmpty())
        pages.removeLast();
    return pages;
}

// Where a word is: its page (1-based) and top left corner in millimetres; page 0 when absent.
struct TWordPlace {
    int page = 0;
    double left = 0, top = 0, right = 0;
};
// Every word of the file with each of its places, in reading order.
QList<std::pair<QString, TWordPlace>> AllWords(const QString& pdf) {
    const QString html =
        Run(QStringLiteral("pdftotext"), {QStringLiteral("-bbox"), pdf, QStringLiteral("-")});
    static const QRegularExpression token(QStringLiteral(
        R"re(<page |<word xMin="([\d.]+)" yMin="([\d.]+)" xMax="([\d.]+)" yMax="[\d.]+">([^<]*)</word>)re"));
    QList<std::pair<QString, TWordPlace>> words;
    int page = 0;
    for (auto it = token.globalMatch(html); it.hasNext();) {
        const QRegularExpressionMatch m = it.next();
        if (m.captured(0).startsWith(QLatin1String("<page")))
            ++page;
        else
            words.append({m.captured(4),
                          {page, m.captured(1).toDouble() / PtPerMm, m.captured(2).toDouble() / PtPerMm,
                           m.captured(3).toDouble() / PtPerMm}});
    }
    return words;
}
// Every word of the file at its first place.
QHash<QString, TWordPlace> WordPlaces(const QString& pdf) {
    QHash<QString, TWordPlace> places;
    for (const auto& [word, place] : AllWords(pdf))
        if (!places.contains(word))
            places.insert(word, place);
    return places;
}
TWordPlace WordPlace(const QString& pdf, const QString& word) {
    return WordPlaces(pdf).value(word);
}

// The fragments found in this order in the text; the first one missing otherwise.
QString MissingInOrder(const QString& text, const QStringList& fragments) {
    qsizetype at = 0;
    for (const QString& f : fragments) {
        const qsizetype found = text.indexOf(f, at);
        if (found < 0)
            return f;
        at = found + f.size();
    }
    return QString();
}

QString RtfLine(const QString& text) {
    return QStringLiteral("{\\rtf1\\ansi\\ansicpg1252\\deff0{\\fonttbl{\\f0\\fnil\\fcharset0 Arial;}}\r\n"
                          "\\viewkind4\\uc1\\pard\\f0\\fs20 ") +
           text + QStringLiteral("\\par\r\n}\r\n");
}

} // namespace

class TestReport : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup() { db.Close(); }

    void documents_data();
    void documents();
    void pagesFlow_data();
    void pagesFlow();
    void placing_data();
    void placing();
    void keepWithNext();
    void longWordInColumn();
    void numbersUnbroken();
    void oneFontFamily();
    void pageProgress_data();
    void pageProgress();
    void footerArea_data();
    void footerArea();
    void logo_data();
    void logo();
    void definitionErrors_data();
    void definitionErrors();
    void runErrors();
    void tinyRegion();
    void preview();

private:
    TDatabaseFixture db;
    TDM* dm = nullptr;

    void exec(const QString& sql) { dm->SQLiteDB1.ExecSQL(sql); }
    // Prepares the document, lets adjust place elements, renders the PDF and
    // removes the buffer rows; returns the PDF's path.
    QString render(const QString& typ, int nr, bool reminder,
                   const std::function<void(TReport&)>& adjust = {}, int* pages = nullptr) {
        const int run = dm->PreparePrintData(typ, nr, reminder);
        if (run == 0)
            return QString();
        TReport report;
        report.Open(Definition());
        for (auto it = dm->ReportParams.cbegin(); it != dm->ReportParams.cend(); ++it)
            report.SetParam(it.key(), it.value());
        report.SetDataSet(QStringLiteral("QueryRv6"), &dm->QueryRv6);
        report.SetDataSet(QStringLiteral("QueryRv7"), &dm->QueryRv7);
        report.SetDataSet(QStringLiteral("QueryRv8"), &dm->QueryRv8);
        report.SetDataSet(QStringLiteral("QueryRv9"), &dm->QueryRv9);
        if (dm->DruckOhnePreis)
            for (const char* name :
                 {"HLineSumme", "TextMWSt", "TextNetto", "TextSteuer", "TextBrutto", "DataTextSkonto"})
                report.FindElement(QStringLiteral("REDruck.Page1"), QLatin1String(name))->Visible = false;
        if (adjust)
            adjust(report);
        const QString file = db.home->path() + QStringLiteral("/%1%2.pdf").arg(typ).arg(nr);
        report.SetDestination(TReportDestination::File);
        report.SetOutputFileName(file);
        report.Execute(QStringLiteral("REDruck"));
        if (pages)
            *pages = report.PageCount();
        dm->DeletePrintData(run);
        return file;
    }
    TReportElement* element(TReport& r, const char* name) {
        return r.FindElement(QStringLiteral("REDruck.Page1"), QLatin1String(name));
    }
};

void TestReport::initTestCase() {
    PinGermanLocale();
    QVERIFY2(QFile::exists(Definition()), qPrintable(Definition()));
    db.BuildTemplate([](TSQLiteDB& base) {
        base.ExecSQL(QStringLiteral(
            "insert into Kunde (KundenID,AnredeID,TitelID,Firma,Nachname,Vorname,Strasse,PLZ,Ort,LandID,"
            "KunGruID,Aktiv,KonzernID,HaendlerID,UIDNr) values (10,4,1,'Alpen Bau','Berger','Hans',"
            "'Hauptstraße 1','6020','Innsbruck',2,1,'J',0,0,'ATU123')"));
        base.ExecSQL(QStringLiteral(
            "update Geschaeft set Name = 'Fliesen Koller GmbH', Strasse = 'Marktplatz 3', PLZ = '6020', "
            "Ort = 'Innsbruck', Telefon = '0512 1234', Fax = '0512 1235', Email = 'office@koller.at', "
            "Web = 'www.koller.at', UIDNr = 'ATU999', AndruckLeerzeilen = 1, PosNrFortlaufend = 'J', "
            "PreisandruckenL = 'N', SkontoR = 'J', SkontoZ = 'J', SkontoL = 'J', "
            "Skonto = 'Zahlbar innerhalb von 10 Tagen mit %1 Skonto (%2).', Skonto2 = 'Zahlbar sofort.', "
            "BankName1 = 'Alpenbank', BankKonto1 = '12345', BLZ1 = '20111', IBAN1 = 'AT611904300234573201', "
            "BIC1 = 'ALPBAT22', KopfTextZ = 'Wir erinnern an die offene Rechnung.'"));
        auto kopf = [&](const QString& typ, int nr) {
            base.ExecSQL(
                QStringLiteral(
                    "insert into Kopf (KopfTyp,KopfID,Status,KundenID,KunGruID,Datum,DruDatID,Datum2,"
                    "SubkundenID,KopfBez,Netto,Skonto,KopfTextVorPos,FussTextNachPos,KopfText,FussText) "
                    "values ('%1',%2,'E',10,1,'2014-03-24 10:00:00',2,'2014-04-01 00:00:00',0,'Bad',"
                    "'N',2,'J','N','Wir danken für Ihren Auftrag.','Mit freundlichen Grüßen')")
                    .arg(typ)
                    .arg(nr));
        };
        auto pos = [&](const QString& typ, int nr, int pos, const QString& bez) {
            base.ExecSQL(QStringLiteral("insert into PosDaten values ('%1',%2,%3,0,'kurz','%4','N')")
                             .arg(typ)
                             .arg(nr)
                             .arg(pos)
                             .arg(QString(bez).replace(u'\'', QStringLiteral("''"))));
        };
        auto preis = [&](const QString& typ, int nr, int pos, int line, const QString& bez, double menge,
                         double wert, const QString& rabatt, int mwst) {
            base.ExecSQL(QStringLiteral("insert into PosPreis values ('%1',%2,%3,%4,'%5',null,%6,2,%7,%8,%9)")
                             .arg(typ)
                             .arg(nr)
                             .arg(pos)
                             .arg(line)
                             .arg(bez)
                             .arg(menge)
                             .arg(wert)
                             .arg(rabatt)
                             .arg(mwst));
        };
        // An invoice with two VAT rates, a position with a discount and one with two lines.
        kopf("R", 1);
        pos("R", 1, 1, RtfLine(QStringLiteral("Fliesen verlegen in der K\\'fcche")));
        preis("R", 1, 1, 1, QString(), 10, 25, QStringLiteral("null"), 20);
        pos("R", 1, 2, QStringLiteral("Silikon"));
        preis("R", 1, 2, 1, QStringLiteral("Kartusche"), 2, 4.5, QStringLiteral("10"), 10);
        pos("R", 1, 3, QStringLiteral("Arbeit"));
        preis("R", 1, 3, 1, QStringLiteral("Meister"), 1, 60, QStringLiteral("null"), 20);
        preis("R", 1, 3, 2, QStringLiteral("Geselle"), 2, 40, QStringLiteral("null"), 20);
        // The same as a delivery note, printed without prices.
        kopf("L", 2);
        pos("L", 2, 1, QStringLiteral("Holz"));
        preis("L", 2, 1, 1, QStringLiteral("Brett"), 4, 10, QStringLiteral("5"), 20);
        preis("L", 2, 1, 2, QStringLiteral("Latte"), 2, 3, QStringLiteral("null"), 20);
        // 60 positions: several pages.
        kopf("R", 3);
        for (int p = 1; p <= 60; ++p) {
            pos("R", 3, p, RtfLine(QStringLiteral("Posten%1 Fliesen verlegen").arg(p, 2, 10, QChar(u'0'))));
            preis("R", 3, p, 1, QString(), 2, 10 + p, QStringLiteral("null"), 20);
        }
        // One position whose description is longer than a page.
        kopf("R", 4);
        QString lines;
        for (int l = 1; l <= 150; ++l)
            lines += QStringLiteral("Zeile%1\\par ").arg(l, 3, 10, QChar(u'0'));
        pos("R", 4, 1, RtfLine(lines));
        preis("R", 4, 1, 1, QString(), 1, 100, QStringLiteral("null"), 20);
        pos("R", 4, 2, QStringLiteral("Danach"));
        preis("R", 4, 2, 1, QString(), 1, 5, QStringLiteral("null"), 20);
        // A unit wider than its column.
        kopf("R", 5);
        base.ExecSQL(QStringLiteral("insert into Einheit (EinheitID,EinheitBez) values (90,'Laufmeter')"));
        pos("R", 5, 1, QStringLiteral("Sockelleiste"));
        base.ExecSQL(
            QStringLiteral("insert into PosPreis values ('R',5,1,1,'',null,12.5,90,1234.5,null,20)"));
        // Numbers longer than their columns, position numbers from 1000 on.
        kopf("R", 6);
        pos("R", 6, 1000, QStringLiteral("Fliesen"));
        base.ExecSQL(
            QStringLiteral("insert into PosPreis values ('R',6,1000,1,'',null,123456789,2,1,null,20)"));
        pos("R", 6, 10001, QStringLiteral("Platten"));
        preis("R", 6, 10001, 1, QStringLiteral("Granit"), 12345.5, 80000, QStringLiteral("12.5"), 20);
        // A cancellation invoice of invoice 1.
        kopf("S", 7);
        base.ExecSQL(QStringLiteral("update Kopf set RefTyp = 'R', RefID = 1 where KopfTyp = 'S'"));
        pos("S", 7, 1, QStringLiteral("Storno"));
        preis("S", 7, 1, 1, QString(), 1, 250, QStringLiteral("null"), 20);
    });
}

void TestReport::init() {
    QVERIFY(db.Open());
    dm = db.dm;
}

void TestReport::documents_data() {
    QTest::addColumn<QString>("typ");
    QTest::addColumn<int>("nr");
    QTest::addColumn<bool>("reminder");
    QTest::addColumn<QStringList>("inOrder");
    QTest::addColumn<QStringList>("absent");

    const QStringList letterhead{"Fliesen Koller GmbH", "Marktplatz 3", "6020 Innsbruck", "0512 1234",
                                 "office@koller.at"};
    const QStringList address{"Herr", "Alpen Bau", "Berger Hans", "Hauptstraße 1", "6020 Innsbruck"};
    const QStringList captions{"Pos.", "Bezeichnung", "Menge", "Einheit", "Einzelpreis", "Rabatt", "Gesamt"};
    QTest::newRow("invoice") << "R" << 1 << false
                             << QStringList{letterhead + address +
                                            QStringList{"RechnungsNr.", "1", "Rechnungsdatum:", "24.03.2014",
                                                        "Ihre Kundennr.", "10"} +
                                            captions +
                                            QStringList{
                                                "Wir danken für Ihren Auftrag.",
                                                "1",
                                                "Fliesen verlegen in der Küche",
                                                "10,00",
                                                "Stk",
                                                "25,00",
                                                "250,00 EUR",
                                                "2",
                                                "Silikon",
                                                "Kartusche",
                                                "2,00",
                                                "4,50",
                                                "10,00%",
                                                "8,10 EUR",
                                                "3",
                                                "Arbeit",
                                                "Meister",
                                                "60,00 EUR",
                                                "Geselle",
                                                "80,00 EUR",
                                                "140,00 EUR",
                                                "MwSt-Satz",
                                                "Netto",
                                                "MwSt",
                                                "Brutto",
                                                "10,00 %",
                                                "8,10 EUR",
                                                "0,81 EUR",
                                                "8,91 EUR",
                                                "20,00 %",
                                                "390,00 EUR",
                                                "78,00 EUR",
                                                "468,00 EUR",
                                                "Gesamtsumme",
                                                "398,10 EUR",
                                                "78,81 EUR",
                                                "476,91 EUR",
                                                "Zahlbar innerhalb von 10 Tagen mit 2,00% Skonto (9,54 EUR).",
                                                "Alpenbank",
                                                "IBAN:",
                                                "AT611904300234573201",
                                                "Seite 1 von 1"}}
                             << QStringList{"Zahlungserinnerung", "{"};
    QTest::newRow("cancellation invoice")
        << "S" << 7 << false
        << QStringList{"StornorechNr.", "7",          "Stornorechnung zu Rechnung Nr. 1 vom 24.03.2014",
                       "Storno",        "250,00 EUR", "Gesamtsumme",
                       "300,00 EUR"}
        << QStringList{"Zahlungserinnerung"};
    QTest::newRow("payment reminder")
        << "R" << 1 << true << QStringList{"Zahlungserinnerung",
                                           "RechnungsNr.",
                                           "Wir erinnern an die offene Rechnung.",
                                           "Silikon",
                                           "Gesamtsumme",
                                           "476,91 EUR",
                                           "Seite 1 von 1"}
        << QStringList{"Wir danken"};
    // Quantities and units stay; no amount, no totals, no payment terms, no bank lines.
    QTest::newRow("delivery note without prices")
        << "L" << 2 << false
        << QStringList{"Alpen Bau", "LieferscheinNr.", "2",    "Lieferscheindatum:", "Holz", "Brett", "4,00",
                       "Stk",       "Latte",           "2,00", "Seite 1 von 1"}
        << QStringList{"EUR",       "Gesamtsumme", "MwSt-Satz",   "Brutto", "Zahlbar", "IBAN",
                       "Alpenbank", "10,00",       "Einzelpreis", "Rabatt", "Gesamt"};
}

void TestReport::documents() {
    QFETCH(QString, typ);
    QFETCH(int, nr);
    QFETCH(bool, reminder);
    QFETCH(QStringList, inOrder);
    QFETCH(QStringList, absent);
    const QString pdf = render(typ, nr, reminder);
    QVERIFY(!pdf.isEmpty());
    const QStringList pages = PageTexts(pdf);
    QCOMPARE(pages.size(), 1);
    const QString missing = MissingInOrder(pages[0], inOrder);
    QVERIFY2(missing.isEmpty(),
             qPrintable(missing + QStringLiteral(" missing or out of order in:\n") + pages[0]));
    for (const QString& a : absent)
        QVERIFY2(!pages[0].contains(a), qPrintable(a));
}

void TestReport::pagesFlow_data() {
    QTest::addColumn<int>("nr");
    QTest::addColumn<QStringList>("body"); // every entry once, in this order, over all pages
    QTest::addColumn<int>("minPages");

    QStringList postings;
    for (int p = 1; p <= 60; ++p)
        postings << QStringLiteral("Posten%1").arg(p, 2, 10, QChar(u'0'));
    QTest::newRow("60 positions") << 3 << postings << 3;
    // A description longer than a page goes on over the next page, cut
    // between its lines: no line lost, none twice.
    QStringList lines;
    for (int l = 1; l <= 150; ++l)
        lines << QStringLiteral("Zeile%1").arg(l, 3, 10, QChar(u'0'));
    QTest::newRow("position taller than a page") << 4 << (lines << "Danach") << 3;
}

void TestReport::pagesFlow() {
    QFETCH(int, nr);
    QFETCH(QStringList, body);
    QFETCH(int, minPages);
    int count = 0;
    const QString pdf = render(QStringLiteral("R"), nr, false, {}, &count);
    const QStringList pages = PageTexts(pdf);
    QCOMPARE(pages.size(), count);
    QVERIFY2(count >= minPages, qPrintable(QString::number(count)));

    const QString all = pages.join(u'\f');
    for (const QString& entry : body)
        QCOMPARE(all.count(QRegularExpression(QStringLiteral("\\b") + entry + QStringLiteral("\\b"))), 1);
    QCOMPARE(MissingInOrder(all, body), QString());
    const int lastRow = int(all.left(all.indexOf(body.last())).count(u'\f'));
    for (int i = 0; i < count; ++i) {
        const QString& page = pages[i];
        QVERIFY2(page.contains(QStringLiteral("Seite %1 von %2").arg(i + 1).arg(count)), qPrintable(page));
        // The column captions head the body on every page of it; the address only the first.
        QCOMPARE(page.contains(QStringLiteral("Einzelpreis")), i <= lastRow);
        QCOMPARE(page.contains(QStringLiteral("Hauptstraße 1")), i == 0);
        // Every further page says which document it belongs to.
        QCOMPARE(page.contains(QStringLiteral("RechnungsNr. %1 vom 24.03.2014").arg(nr)), i > 0);
        // The footer area once, at the end.
        QCOMPARE(page.contains(QStringLiteral("Alpenbank")), i == count - 1);
    }
    // The totals follow the last row, on its page or, when they do not fit
    // there, on the next one.
    QCOMPARE(all.count(QStringLiteral("Gesamtsumme")), 1);
    const int totals = int(all.left(all.indexOf(QStringLiteral("Gesamtsumme"))).count(u'\f'));
    QVERIFY(totals == lastRow || totals == lastRow + 1);
}

void TestReport::placing_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<double>("left");
    QTest::addColumn<double>("top");
    QTest::addColumn<QString>("word");
    QTest::addColumn<double>("expectLeft"); // on the paper, mm
    QTest::addColumn<double>("expectTop");

    // Band elements sit relative to the printable region (15/9), the page
    // number relative to the paper, footer elements to the footer area.
    QTest::newRow("address in the header") << "DataMemoKunde" << 20.0 << 60.0 << "Herr" << 35.0 << 69.0;
    QTest::newRow("page number on the paper") << "DataTextSeite" << 20.0 << 200.0 << "Seite" << -1.0 << 200.0;
    QTest::newRow("bank line in the footer")
        << "DataTextIBAN" << 0.0 << 40.0 << "IBAN:" << -1.0 << 9 + 220 + 40.0;
}

void TestReport::placing() {
    QFETCH(QString, name);
    QFETCH(double, left);
    QFETCH(double, top);
    QFETCH(QString, word);
    QFETCH(double, expectLeft);
    QFETCH(double, expectTop);
    const QString pdf = render(QStringLiteral("R"), 1, false, [&](TReport& r) {
        TReportElement* e = r.FindElement(QStringLiteral("REDruck.Page1"), name);
        QVERIFY(e);
        e->Left = left / r.UnitsFactor();
        e->Top = top / r.UnitsFactor();
    });
    const TWordPlace at = WordPlace(pdf, word);
    QCOMPARE(at.page, 1);
    if (expectLeft >= 0)
        QVERIFY2(std::abs(at.left - expectLeft) < 1.5, qPrintable(QString::number(at.left)));
    QVERIFY2(std::abs(at.top - expectTop) < 2.0, qPrintable(QString::number(at.top)));
}

// A position's title never ends a page without its price lines, nor the
// header text without the first position, whatever the page's height.
void TestReport::keepWithNext() {
    for (double height = 30; height <= 66; height += 3) {
        const QString pdf = render(QStringLiteral("R"), 1, false, [&](TReport& r) {
            element(r, "Band1")->Visible = false;
            element(r, "Region1")->Height = height / r.UnitsFactor();
        });
        const QHash<QString, TWordPlace> places = WordPlaces(pdf);
        for (const auto& [title, next] :
             {std::pair{"Wir", "Fliesen"}, {"Silikon", "Kartusche"}, {"Arbeit", "Meister"}}) {
            const int page = places.value(QLatin1String(title)).page;
            QVERIFY2(page > 0 && page == places.value(QLatin1String(next)).page,
                     qPrintable(QStringLiteral("%1 mm: %2").arg(height).arg(QLatin1String(title))));
        }
    }
}

// A word wider than its column is broken inside it, not written over the price beside it.
void TestReport::longWordInColumn() {
    const QString pdf = render(QStringLiteral("R"), 5, false);
    const QHash<QString, TWordPlace> places = WordPlaces(pdf);
    const double unitColumnEnd = 15 + 106;
    QString unit;
    for (auto it = places.cbegin(); it != places.cend(); ++it)
        if (it.value().page == 1 && it.value().left >= 15 + 88 - 0.5 && it.value().top > 110 &&
            it.value().top < 140 && it.value().right < 15 + 110) {
            QVERIFY2(it.value().right <= unitColumnEnd + 0.5, qPrintable(it.key()));
            unit += it.key();
        }
    QCOMPARE(unit.size(), QStringLiteral("Laufmeter").size());
    const TWordPlace price = places.value(QStringLiteral("1234,50"));
    QVERIFY(price.left >= unitColumnEnd);
}

// A number is never broken inside its column: it runs into the free room on
// its open side or is printed smaller, and stays at its column's edge.
void TestReport::numbersUnbroken() {
    exec(QStringLiteral("update Geschaeft set PosNrFortlaufend = 'N'"));
    const QString pdf = render(QStringLiteral("R"), 6, false);
    const QList<std::pair<QString, TWordPlace>> words = AllWords(pdf);
    // Each number with the right edge of its column on the paper.
    const std::pair<const char*, double> numbers[] = {{"1000", 23},
                                                      {"123456789,00", 101},
                                                      {"1,00", 143},
                                                      {"123456789,00", 195},
                                                      {"10001", 23},
                                                      {"12345,50", 101},
                                                      {"80000,00", 143},
                                                      {"12,50%", 161},
                                                      {"864185000,00", 195},
                                                      {"987.641.789,00", 131},
                                                      {"1.185.170.146,80", 195}};
    QList<std::pair<QString, TWordPlace>> rest = words;
    for (const auto& [number, edge] : numbers) {
        const auto it = std::find_if(rest.begin(), rest.end(), [&](const auto& w) {
            return w.first == QLatin1String(number) && w.second.right <= edge + 0.5 &&
                   w.second.right > edge - 12 && w.second.left >= 15 - 0.5;
        });
        QVERIFY2(it != rest.end(),
                 qPrintable(QLatin1String(number) + QStringLiteral(" broken or misplaced in:\n") +
                            PageTexts(pdf).join(u'\f')));
        rest.erase(it);
    }
}

// Every text of a page, the formatted ones included, in one family: Arial
// where it is installed, otherwise the metric-compatible Liberation Sans.
void TestReport::oneFontFamily() {
    // A text written on another machine in a font this one lacks.
    exec(QStringLiteral("update PosDaten set PosBez = replace(PosBez, 'Arial', 'Times New Roman') where "
                        "KopfTyp = 'R' and KopfID = 1 and PosID = 1"));
    const QString pdf = render(QStringLiteral("R"), 1, false);
    const QStringList lines = Run(QStringLiteral("pdffonts"), {pdf}).split(u'\n', Qt::SkipEmptyParts);
    QSet<QString> families;
    for (const QString& line : lines.mid(2)) {
        QString name = line.section(u' ', 0, 0);
        name = name.mid(name.indexOf(u'+') + 1).section(u'-', 0, 0);
        if (name.endsWith(QLatin1String("MT")))
            name.chop(2);
        families.insert(name);
    }
    const QString expected = QFontDatabase::families().contains(QStringLiteral("Arial"))
                                 ? QStringLiteral("Arial")
                                 : QStringLiteral("LiberationSans");
    QCOMPARE(families, QSet<QString>{expected});
}

void TestReport::pageProgress_data() {
    QTest::addColumn<int>("delay");
    QTest::addColumn<bool>("shown");
    QTest::newRow("long output") << 0 << true;
    QTest::newRow("quick output") << 60000 << false;
}

// A long output says which page it is making; a quick one says nothing.
void TestReport::pageProgress() {
    QFETCH(int, delay);
    QFETCH(bool, shown);
    QStringList texts;
    ReportProgressDelayMs() = delay;
    ReportProgressDisplay() = [&texts](const QString& text) { texts << text; };
    int count = 0;
    render(QStringLiteral("R"), 3, false, {}, &count);
    ReportProgressDisplay() = nullptr;
    ReportProgressDelayMs() = 1000;
    QStringList expected;
    if (shown) {
        for (int page = 1; page <= count; ++page)
            expected << QStringLiteral("Erzeuge Seite %1").arg(page);
        expected << QString();
    }
    QCOMPARE(texts, expected);
}

void TestReport::footerArea_data() {
    QTest::addColumn<double>("minHeightLeft");
    QTest::addColumn<double>("position");
    QTest::addColumn<int>("page");
    QTest::addColumn<double>("minTop"); // where the bank line is, mm on the paper
    QTest::addColumn<double>("maxTop");

    QTest::newRow("room left: at its position")
        << 51.0 << 220.0 << 1 << 9 + 220 + 44 - 1.0 << 9 + 220 + 44 + 2.0;
    // Less room left than the area asks for: the area goes to a new page.
    QTest::newRow("not enough room: next page")
        << 200.0 << 220.0 << 2 << 9 + 220 + 44 - 1.0 << 9 + 220 + 44 + 2.0;
    // A position too low for the area's content: moved up, still on the paper.
    QTest::newRow("position too low") << 0.0 << 260.0 << 1 << 265.0 << 277.0;
    // Without a position it follows the totals directly.
    QTest::newRow("no position: below the body") << 0.0 << 0.0 << 1 << 150.0 << 9 + 220 + 44 - 5.0;
}

void TestReport::footerArea() {
    QFETCH(double, minHeightLeft);
    QFETCH(double, position);
    QFETCH(int, page);
    QFETCH(double, minTop);
    QFETCH(double, maxTop);
    int count = 0;
    const QString pdf = render(
        QStringLiteral("R"), 1, false,
        [&](TReport& r) {
            TReportElement* band = element(r, "Band3");
            band->MinHeightLeft = minHeightLeft / r.UnitsFactor();
            band->PositionValue = position / r.UnitsFactor();
        },
        &count);
    QCOMPARE(count, page);
    const TWordPlace at = WordPlace(pdf, QStringLiteral("Alpenbank,"));
    QCOMPARE(at.page, page);
    QVERIFY2(at.top >= minTop && at.top <= maxTop, qPrintable(QString::number(at.top)));
    // The totals stay on the first page in every case.
    QCOMPARE(WordPlace(pdf, QStringLiteral("Gesamtsumme")).page, 1);
}

void TestReport::logo_data() {
    QTest::addColumn<bool>("withLogo");
    QTest::addColumn<bool>("visible");
    QTest::newRow("logo") << true << true;
    QTest::newRow("logo hidden") << true << false;
    QTest::newRow("no logo file") << false << true;
}

void TestReport::logo() {
    QFETCH(bool, withLogo);
    QFETCH(bool, visible);
    const QString logo = dm->LogoFileName(1);
    if (withLogo) {
        QImage image(400, 100, QImage::Format_RGB32);
        image.fill(QColor(20, 40, 120));
        QVERIFY(image.save(logo, "BMP"));
    }
    const QString pdf = render(QStringLiteral("R"), 1, false, [&](TReport& r) {
        element(r, "BitmapLogo1")->PictureFile = logo;
        element(r, "BitmapLogo1")->Visible = visible;
    });
    const QString png = db.home->path() + QStringLiteral("/page");
    Run(QStringLiteral("pdftoppm"), {QStringLiteral("-png"), QStringLiteral("-r"), QStringLiteral("50"),
                                     QStringLiteral("-singlefile"), pdf, png});
    const QImage page(png + QStringLiteral(".png"));
    QVERIFY(!page.isNull());
    // The logo's place: 101 mm wide from 93 mm, a quarter of that high, from 9 mm down.
    const double px = page.width() / 210.0;
    int dark = 0, total = 0;
    for (double x = 95; x < 190; x += 2)
        for (double y = 11; y < 30; y += 2, ++total)
            if (qGray(page.pixel(int(x * px), int(y * px))) < 128)
                ++dark;
    QCOMPARE(dark > total * 9 / 10, withLogo && visible);
    if (!(withLogo && visible))
        QCOMPARE(dark, 0);
}

void TestReport::definitionErrors_data() {
    QTest::addColumn<QByteArray>("content"); // "-": no file, "/": a folder
    QTest::addColumn<QString>("expected");
    QTest::newRow("missing") << QByteArray("-") << "fehlt";
    QTest::newRow("a folder") << QByteArray("/") << "fehlt";
    QTest::newRow("not XML") << QByteArray("RAVE\x01\x02 binary") << "nicht lesbar";
    QTest::newRow("cut off") << QByteArray("<reportdefinition><report name=\"REDruck\"><page name=\"Page1\">")
                             << "nicht lesbar";
    QTest::newRow("no report") << QByteArray("<reportdefinition unitsFactor=\"1\"/>") << "nicht lesbar";
    QTest::newRow("page without region") << QByteArray("<reportdefinition><report name=\"REDruck\"><page "
                                                       "name=\"Page1\"/></report></reportdefinition>")
                                         << "nicht lesbar";
}

void TestReport::definitionErrors() {
    QFETCH(QByteArray, content);
    QFETCH(QString, expected);
    const QString file = db.home->path() + QStringLiteral("/Quorvent.rav");
    if (content == "/") {
        QVERIFY(QDir().mkpath(file));
    } else if (content != "-") {
        QFile f(file);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(content);
    }
    TReport report;
    QString message;
    try {
        report.Open(file);
    } catch (const EReportError& e) {
        message = e.message();
    }
    QVERIFY2(message.contains(QDir::toNativeSeparators(file)), qPrintable(message));
    QVERIFY2(message.contains(expected), qPrintable(message));
    QVERIFY(!report.IsOpen());
    QVERIFY(!report.FindElement(QStringLiteral("REDruck.Page1"), QStringLiteral("Region1")));
    // Executing a report that could not be opened fails as well, with a text.
    QVERIFY_THROWS_EXCEPTION(EReportError, report.Execute(QStringLiteral("REDruck")));
}

void TestReport::runErrors() {
    const int run = dm->PreparePrintData(QStringLiteral("R"), 1, false);
    QVERIFY(run > 0);
    TReport report;
    report.Open(Definition());
    report.SetDataSet(QStringLiteral("QueryRv8"), &dm->QueryRv8);
    report.SetDataSet(QStringLiteral("QueryRv9"), &dm->QueryRv9);
    auto failure = [&](const std::function<void()>& op) {
        try {
            op();
        } catch (const EReportError& e) {
            return e.message();
        }
        return QStringLiteral("<no error>");
    };

    // A PDF that cannot be written fails, and leaves nothing behind.
    const QString blocked = db.home->path() + QStringLiteral("/fehlt/R1.pdf");
    report.SetDestination(TReportDestination::File);
    report.SetOutputFileName(blocked);
    QVERIFY(failure([&] {
                report.Execute(QStringLiteral("REDruck"));
            }).contains(QDir::toNativeSeparators(blocked)));
    QVERIFY(!QFile::exists(blocked));

    // An unknown report, or a dataset that is not there: nothing printed as if it were fine.
    report.SetOutputFileName(db.home->path() + QStringLiteral("/R1.pdf"));
    QVERIFY(failure([&] { report.Execute(QStringLiteral("REListe")); }).contains(QStringLiteral("REListe")));
    dm->QueryRv9.Close();
    QVERIFY(failure([&] { report.Execute(QStringLiteral("REDruck")); }).contains(QStringLiteral("QueryRv9")));
    QVERIFY(!QFile::exists(db.home->path() + QStringLiteral("/R1.pdf")));

    // The printer: without a default printer a clear German error, never a silent nothing.
    if (!QPrinterInfo::defaultPrinter().isNull())
        QSKIP("This machine has a default printer.");
    dm->QueryRv9.Open();
    report.SetDestination(TReportDestination::Printer);
    QCOMPARE(
        failure([&] { report.Execute(QStringLiteral("REDruck")); }),
        QStringLiteral("Es ist kein Standarddrucker eingerichtet. Bitte richten Sie einen Drucker ein oder "
                       "drucken Sie über die Vorschau."));
    dm->DeletePrintData(run);
}

// A layout edited down to a region smaller than its column captions still
// ends, and loses no line of the body.
void TestReport::tinyRegion() {
    const QString file = db.home->path() + QStringLiteral("/Klein.rav");
    QFile f(file);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(R"(<reportdefinition unitsFactor="0.5"><report name="REDruck"><page name="Page1">
        <region name="Region1" left="30" top="30" width="300" height="10">
          <body name="BandDaten" dataset="QueryRv9">
            <heading><text left="0" top="0" width="100">Bezeichnung</text></heading>
            <cell field="PosBez PosBez2" format="rtf" left="0" width="300"/>
            <cell field="PreisBez" left="20" width="100"/>
          </body>
        </region></page></report></reportdefinition>)");
    f.close();
    const int run = dm->PreparePrintData(QStringLiteral("R"), 1, false);
    QVERIFY(run > 0);
    TReport report;
    report.Open(file);
    QCOMPARE(report.UnitsFactor(), 0.5);
    report.SetDataSet(QStringLiteral("QueryRv9"), &dm->QueryRv9);
    report.SetDestination(TReportDestination::File);
    report.SetOutputFileName(db.home->path() + QStringLiteral("/klein.pdf"));
    report.Execute(QStringLiteral("REDruck"));
    dm->DeletePrintData(run);
    const QString all = PageTexts(db.home->path() + QStringLiteral("/klein.pdf")).join(u'\f');
    for (const char* word : {"Küche", "Silikon", "Kartusche", "Arbeit", "Meister", "Geselle"})
        QVERIFY2(all.contains(QString::fromUtf8(word)), word);
}

void TestReport::preview() {
    const int run = dm->PreparePrintData(QStringLiteral("R"), 3, false);
    QVERIFY(run > 0);
    TReport report;
    report.Open(Definition());
    report.SetDataSet(QStringLiteral("QueryRv8"), &dm->QueryRv8);
    report.SetDataSet(QStringLiteral("QueryRv9"), &dm->QueryRv9);
    report.SetDestination(TReportDestination::Preview);
    QString title;
    bool maximised = false;
    bool normalSize = false;
    double zoom = 0;
    bool fitting = false;
    int pages = 0;
    const auto previous = TReport::PreviewRunner();
    TReport::PreviewRunner() = [&](QDialog& dialog) {
        title = dialog.windowTitle();
        maximised = dialog.windowState().testFlag(Qt::WindowMaximized);
        // Restored from maximised (or without a window manager) the window
        // still shows a readable page, not a strip of its toolbar.
        if (const QScreen* screen = dialog.screen())
            normalSize = dialog.size().height() >= screen->availableGeometry().height() * 0.85;
        dialog.show();
        auto* widget = dialog.findChild<QPrintPreviewWidget*>();
        QVERIFY(widget);
        zoom = widget->zoomFactor();
        // The dialog's own fit buttons agree with the zoom.
        for (const char* fit : {"fitWidthAction", "fitPageAction"})
            if (auto* action = dialog.findChild<QAction*>(QLatin1String(fit)))
                fitting = fitting || action->isChecked();
        pages = widget->pageCount();
        dialog.close();
    };
    report.Execute(QStringLiteral("REDruck"));
    TReport::PreviewRunner() = previous;
    dm->DeletePrintData(run);
    QCOMPARE(title, QStringLiteral("Druckvorschau"));
    QVERIFY(maximised);
    QVERIFY(normalSize);
    QCOMPARE(zoom, 1.0);
    QVERIFY(!fitting);
    QVERIFY(pages >= 3);
    QCOMPARE(pages, report.PageCount());
}

QTEST_MAIN(TestReport)
#include "tst_report.moc"
