// Reading and writing formatted texts: the converter must keep what the user
// formatted, read what Windows rich-edit controls stored in older databases,
// and never lose readable text to malformed input.
#include "Rtf.h"

#include <QStringDecoder>
#include <QTest>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextList>
#include <QTextTable>

namespace {

// The list marker a reader sees: "*", "o" or "+" for disc, circle and square
// bullets, the number text ("2.", "b)", "IV.") for numbered items, and a ">"
// for every level of indentation beyond the first.
QString Marker(const QTextBlock& block) {
    const QTextList* list = block.textList();
    if (!list)
        return QString();
    QString marker;
    switch (list->format().style()) {
    case QTextListFormat::ListDisc:
        marker = QStringLiteral("*");
        break;
    case QTextListFormat::ListCircle:
        marker = QStringLiteral("o");
        break;
    case QTextListFormat::ListSquare:
        marker = QStringLiteral("+");
        break;
    default:
        marker = list->itemText(block);
        break;
    }
    return QString(std::max(0, list->format().indent() - 1), u'>') + marker;
}

// Alignment (L/C/R/J) and list marker of a paragraph.
QString ParagraphHead(const QTextBlock& block) {
    const Qt::Alignment a = block.blockFormat().alignment();
    const QString align = (a & Qt::AlignHCenter)   ? QStringLiteral("C")
                          : (a & Qt::AlignJustify) ? QStringLiteral("J")
                          : (a & Qt::AlignRight)   ? QStringLiteral("R")
                                                   : QStringLiteral("L");
    return align + Marker(block) + u'|';
}

// One line per paragraph with its marker and text; a table row as "T" and its
// cells separated by " ; ", each cell's paragraphs joined by "/", a merged
// cell with its span "(rows x columns)" and the cells it covers as "^".
QString Outline(const QTextDocument& doc) {
    QStringList lines;
    for (auto it = doc.rootFrame()->begin(); !it.atEnd(); ++it) {
        if (auto* table = qobject_cast<QTextTable*>(it.currentFrame())) {
            for (int r = 0; r < table->rows(); ++r) {
                QStringList cells;
                for (int c = 0; c < table->columns(); ++c) {
                    const QTextTableCell cell = table->cellAt(r, c);
                    if (cell.row() != r || cell.column() != c) {
                        cells << QStringLiteral("^");
                        continue;
                    }
                    QStringList paragraphs;
                    for (auto ci = cell.begin(); !ci.atEnd(); ++ci) {
                        if (ci.currentBlock().isValid())
                            paragraphs << ParagraphHead(ci.currentBlock()) + ci.currentBlock().text();
                    }
                    QString text = paragraphs.join(u'/');
                    if (cell.rowSpan() > 1 || cell.columnSpan() > 1)
                        text += QStringLiteral("(%1x%2)").arg(cell.rowSpan()).arg(cell.columnSpan());
                    cells << text;
                }
                lines << QStringLiteral("T ") + cells.join(QStringLiteral(" ; "));
            }
        } else if (it.currentBlock().isValid()) {
            lines << ParagraphHead(it.currentBlock()) + it.currentBlock().text();
        }
    }
    return lines.join(u'\n');
}

// One line per paragraph (table cells included): alignment, list marker, then
// each run as text[attributes].
QString Describe(const QTextDocument& doc) {
    QStringList lines;
    for (QTextBlock block = doc.begin(); block.isValid(); block = block.next()) {
        QString line = ParagraphHead(block);
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextCharFormat f = it.fragment().charFormat();
            QStringList attrs;
            if (f.fontWeight() >= QFont::DemiBold)
                attrs << QStringLiteral("b");
            if (f.fontItalic())
                attrs << QStringLiteral("i");
            if (f.fontUnderline())
                attrs << QStringLiteral("u");
            if (f.fontPointSize() > 0)
                attrs << QString::number(f.fontPointSize());
            attrs << f.fontFamilies().toStringList().value(0);
            if (f.foreground().style() != Qt::NoBrush)
                attrs << f.foreground().color().name();
            line += it.fragment().text() + u'[' + attrs.join(u' ') + u']';
        }
        lines << line;
    }
    return lines.join(u'\n');
}

QString Read(const QString& rtf) {
    QTextDocument doc;
    Rtf::Read(rtf, doc);
    return Describe(doc);
}

// What survives saving the text again and reading it back.
QString ReadWrittenBack(const QString& rtf) {
    QTextDocument doc;
    Rtf::Read(rtf, doc);
    return Read(Rtf::Write(doc));
}

const QString Head =
    QStringLiteral("{\\rtf1\\ansi\\ansicpg1252\\deff0\\deflang1031{\\fonttbl{\\f0\\fswiss\\fcharset0 "
                   "Arial;}{\\f1\\fnil\\fcharset2 Symbol;}}\r\n");

} // namespace

class TestRtf : public QObject {
    Q_OBJECT
private slots:
    void roundTrip_data();
    void roundTrip();
    void writerDialect_data();
    void writerDialect();
    void readRichEditSamples_data();
    void readRichEditSamples();
    void malformedInput_data();
    void malformedInput();
    void otherProgramsRoundTrip_data();
    void otherProgramsRoundTrip();
    void fontNames_data();
    void fontNames();
    void multiByteCodePage();
};

void TestRtf::roundTrip_data() {
    QTest::addColumn<QString>("html");
    const QString p = QStringLiteral("<p style=\"font-family:Arial; font-size:10pt\"%1>%2</p>");
    QTest::newRow("attributes") << p.arg("",
                                         "<b>Fett</b> <i>kursiv</i> <u>unter</u> <b><i><u>alles</u></i></b> "
                                         "<span style=\"font-size:14pt\">gro&szlig;</span>");
    QTest::newRow("alignment") << p.arg(" align=center", "Mitte") + p.arg(" align=right", "Rechts") +
                                      p.arg(" align=justify", "Block") + p.arg("", "Links");
    const QString li = QStringLiteral("<li style=\"font-family:Arial; font-size:10pt\">%1</li>");
    QTest::newRow("bullets") << p.arg("", "Vorher") + "<ul>" + li.arg("eins") + li.arg("<b>zwei</b>") +
                                    "</ul>" + p.arg("", "Nachher") + "<ol>" + li.arg("erstens") +
                                    li.arg("zweitens") + "</ol>";
    QTest::newRow("umlauts and euro") << p.arg("", "Äpfel, Öl, Übel, süß: 3 € – „gut“ ‰");
    QTest::newRow("outside 1252") << p.arg("", "Ωmega Ł ☺ 𝄞 Ende");
    QTest::newRow("rtf syntax in text") << p.arg("", "a {b} c\\d \\par \\'e4 {\\rtf1 x}");
    QTest::newRow("colours") << p.arg("", "<span style=\"color:#ff0000\">rot</span> normal "
                                          "<span style=\"color:#0000ff\">blau</span>");
    QTest::newRow("tab and line break") << p.arg("", "a\tb<br>c");
    QTest::newRow("empty paragraphs")
        << p.arg("", "oben") + p.arg("", "") + p.arg("", "unten") + p.arg("", "");
    QTest::newRow("other font") << "<p style=\"font-family:Courier New; font-size:9pt\">fest</p>" +
                                       p.arg("", "breit");
    QTest::newRow("list styles") << "<ol type=\"a\">" + li.arg("a") + li.arg("b") + "</ol>" + p.arg("", "x") +
                                        "<ol type=\"I\">" + li.arg("eins") + li.arg("zwei") + "</ol>" +
                                        p.arg("", "y") + "<ol type=\"i\">" + li.arg("i") + "</ol>" +
                                        p.arg("", "z") + "<ol type=\"A\">" + li.arg("A") + "</ol>" +
                                        "<ul type=\"circle\">" + li.arg("o") + "</ul>" + p.arg("", "-") +
                                        "<ul type=\"square\">" + li.arg("q") + "</ul>";
    QTest::newRow("nested lists") << "<ul>" + li.arg("oben") + "<ul>" + li.arg("unten") + "</ul>" +
                                         li.arg("wieder") + "</ul>";
    QTest::newRow("table") << p.arg("", "vor") +
                                  "<table border=1 style=\"font-family:Arial; "
                                  "font-size:10pt\"><tr><td>a</td><td align=right><b>1,50</b></td></tr>"
                                  "<tr><td>b<br>zweite Zeile</td><td></td></tr></table>" +
                                  p.arg("", "nach");
}

void TestRtf::roundTrip() {
    QFETCH(QString, html);
    QTextDocument original;
    original.setHtml(html);
    const QString rtf = Rtf::Write(original);

    for (const QChar c : rtf)
        QVERIFY2(c.unicode() < 0x80, qPrintable(rtf));
    QVERIFY(Rtf::IsRtf(rtf));

    QTextDocument copy;
    Rtf::Read(rtf, copy);
    QCOMPARE(Describe(copy), Describe(original));
    QCOMPARE(Outline(copy), Outline(original));
    QCOMPARE(copy.toPlainText(), original.toPlainText());
    // Writing what was read gives the same text again: nothing drifts with each save.
    QCOMPARE(Rtf::Write(copy), rtf);
}

void TestRtf::writerDialect_data() {
    QTest::addColumn<QString>("html");
    QTest::addColumn<QStringList>("expected");
    const QString p = QStringLiteral("<p style=\"font-family:Arial; font-size:10pt\"%1>%2</p>");
    QTest::newRow("head") << p.arg("", "x")
                          << QStringList{"{\\rtf1\\ansi\\ansicpg1252\\deff0",
                                         "{\\f0\\fnil\\fcharset0 Arial;}", "\\uc1", "\\fs20 x\\par\r\n}"};
    QTest::newRow("escapes") << p.arg("", "ä€Ω{}\\") << QStringList{"\\'e4\\'80\\u937?\\{\\}\\\\"};
    QTest::newRow("attributes off") << p.arg("", "<b>f</b>n<u>u</u>n")
                                    << QStringList{"\\b\\fs20 f\\b0 n\\ul u\\ulnone n"};
    QTest::newRow("centred") << p.arg(" align=center", "m") << QStringList{"\\pard\\qc"};
    QTest::newRow("bullet") << "<ul><li>a</li><li>b</li></ul>"
                            << QStringList{"{\\f1\\fnil\\fcharset2 Symbol;}",
                                           "\\pard{\\pntext\\f1\\'b7\\tab}{\\*\\pn\\pnlvlblt\\pnf1\\pnindent0"
                                           "{\\pntxtb\\'b7}}",
                                           "\\par\r\n{\\pntext\\f1\\'b7\\tab}"};
    QTest::newRow("letters")
        << "<ol type=\"a\"><li>x</li><li>y</li></ol>"
        << QStringList{"{\\pntext\\f0 a.\\tab}{\\*\\pn\\pnlvlbody\\pnf0\\pnindent0\\pnstart1\\pnlcltr"
                       "{\\pntxta .}}",
                       "{\\pntext\\f0 b.\\tab}"};
    QTest::newRow("table") << "<table><tr><td>a</td><td>b</td></tr></table>"
                           << QStringList{
                                  "\\trowd\\trgaph108\\trleft0\\cellx4819\\cellx9638\r\n\\pard\\intbl",
                                  "a\\cell\\pard\\intbl", "b\\cell\\row\r\n}"};
}

void TestRtf::writerDialect() {
    QFETCH(QString, html);
    QFETCH(QStringList, expected);
    QTextDocument doc;
    doc.setHtml(html);
    const QString rtf = Rtf::Write(doc);
    for (const QString& piece : expected)
        QVERIFY2(rtf.contains(piece), qPrintable(QStringLiteral("%1\nnot in\n%2").arg(piece, rtf)));
}

void TestRtf::readRichEditSamples_data() {
    QTest::addColumn<QString>("rtf");
    QTest::addColumn<QString>("expected");

    QTest::newRow("plain lines") << "eins\r\nzwei"
                                 << "L|eins[]\nL|zwei[]";
    QTest::newRow("rich edit text")
        << Head + "{\\*\\generator Riched20 10.0.19041}\\viewkind4\\uc1\r\n\\pard\\f0\\fs20 Gr\\'fc\\'dfe "
                  "\\b fett\\b0  \\i kursiv\\i0  \\ul unter\\ul0  \\ul x\\ulnone\\par\r\n}\r\n"
        << "L|Grüße [10 Arial]fett[b 10 Arial] [10 Arial]kursiv[i 10 Arial] [10 Arial]unter[u 10 Arial] [10 "
           "Arial]x[u 10 Arial]";
    QTest::newRow("alignment")
        << Head + "\\pard\\qc\\f0\\fs24 Mitte\\par\r\n\\pard\\qr Rechts\\par\r\nnoch rechts\\par\r\n"
                  "\\pard\\qj Block\\par\r\n\\pard links\\par\r\n}"
        << "C|Mitte[12 Arial]\nR|Rechts[12 Arial]\nR|noch rechts[12 Arial]\nJ|Block[12 Arial]\nL|links[12 "
           "Arial]";
    QTest::newRow("bullets")
        << Head + "\\viewkind4\\uc1\\pard\\f0\\fs20 Liste:\\par\r\n"
                  "\\pard{\\pntext\\f1\\'B7\\tab}{\\*\\pn\\pnlvlblt\\pnf1\\pnindent0{\\pntxtb\\'B7}}"
                  "\\fi-720\\li720 eins\\par\r\n{\\pntext\\f1\\'B7\\tab}zwei\\par\r\n\\pard danach\\par\r\n}"
        << "L|Liste:[10 Arial]\nL*|eins[10 Arial]\nL*|zwei[10 Arial]\nL|danach[10 Arial]";
    QTest::newRow("unicode") << Head + "\\pard\\f0\\fs20\\u8364?\\'80 \\uc2\\u937\\'4f\\'4f x\\uc0\\u8486 "
                                       "y\\uc1\\u-10188?\\u-8930?\\par}"
                             << QString::fromUtf8("L|€€ Ω x\u2126y𝄞[10 Arial]");
    QTest::newRow("colours") << Head + "{\\colortbl ;\\red255\\green0\\blue0;\\red0\\green0\\blue255;}\r\n"
                                       "\\pard\\cf1\\f0\\fs20 rot\\cf2 blau\\cf0 auto\\par}"
                             << "L|rot[10 Arial #ff0000]blau[10 Arial #0000ff]auto[10 Arial]";
    QTest::newRow("ignored groups and words")
        << Head +
               "{\\info{\\title Titel}{\\author Jemand}}{\\*\\unbekannt {verborgen}}\\pard\\f0\\fs20\\foo12 "
               "a\\~b\\tab c\\line d{\\field{\\*\\fldinst HYPERLINK x}{\\fldrslt Link}}\\par}"
        << "L|a\u00a0b\tc\u2028dLink[10 Arial]";
    QTest::newRow("program's left text")
        << "{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0\\fnil\\fcharset0 Arial;}{\\f1\\fnil Arial;}}\r\n"
           "{\\colortbl ;\\red0\\green0\\blue0;}\r\n\\viewkind4\\uc1\\pard\\cf1\\lang1031\\fs20 Sehr geehrte "
           "Damen,\r\n\\par wir danken.\\f1\r\n\\par }"
        << "L|Sehr geehrte Damen,[10 Arial #000000]\nL|wir danken.[10 Arial #000000]";
    QTest::newRow("program's bold amount")
        << "{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0\\fnil\\fcharset0 Arial;}{\\f1\\fnil Arial;}}\r\n"
           "{\\colortbl ;\\red0\\green0\\blue0;}\r\n\\viewkind4\\uc1\\pard\\qr\\cf1\\lang1031\\b\\fs20 "
           "1234,50 "
           "EUR\\b0\\f1\r\n\\par }"
        << "R|1234,50 EUR[b 10 Arial #000000]";
    QTest::newRow("font names in their code page")
        << "{\\rtf1\\ansi\\ansicpg1252\\deff0{\\fonttbl{\\f0\\fnil\\fcharset204 \\'d8\\'f0\\'e8\\'f4\\'f2;}"
           "{\\f1\\fnil\\fcharset0 A\\'3bB;}{\\f2\\fnil\\fcharset0 \\u26126?\\u26397?;}}\r\n"
           "\\pard\\f0\\fs20 a\\f1 b\\f2 c\\par}"
        << QString::fromUtf8("L|a[10 Шрифт]b[10 A;B]c[10 明朝]");
}

void TestRtf::readRichEditSamples() {
    QFETCH(QString, rtf);
    QFETCH(QString, expected);
    QCOMPARE(Read(rtf), expected);
    // Plain text takes the document's default font once it is saved as RTF.
    if (Rtf::IsRtf(rtf))
        QCOMPARE(ReadWrittenBack(rtf), expected);
}

void TestRtf::malformedInput_data() {
    QTest::addColumn<QString>("rtf");
    QTest::addColumn<QString>("plain");
    QTest::newRow("unclosed groups") << "{\\rtf1 Hallo {\\b Welt"
                                     << "Hallo Welt";
    QTest::newRow("stray closing braces") << "{\\rtf1 a}}} b"
                                          << "a";
    QTest::newRow("truncated escape") << "{\\rtf1 Hal\\'e"
                                      << "Hal";
    QTest::newRow("bad escape") << "{\\rtf1 a\\'zzb}"
                                << "azzb";
    QTest::newRow("trailing backslash") << "{\\rtf1 abc\\"
                                        << "abc";
    QTest::newRow("absurd numbers") << "{\\rtf1\\fs99999999999999999 a\\fs-5 b\\u-99999999999 c\\cf77 d}"
                                    << "abcd"; // the \u names no character, so its fallback "c" stands
    QTest::newRow("frame marks from \\u") << "{\\rtf1 a\\u-560?b\\u-559?c\\par d}"
                                          << "abc\nd";
    QTest::newRow("binary beyond the end") << "{\\rtf1 a{\\pict\\bin99999 xyz}}"
                                           << "a";
    QTest::newRow("font table without semicolon") << "{\\rtf1{\\fonttbl{\\f0 Arial}}\\f0 x}"
                                                  << "x";
    QTest::newRow("only the head") << "{\\rtf"
                                   << "";
}

void TestRtf::malformedInput() {
    QFETCH(QString, rtf);
    QFETCH(QString, plain);
    QCOMPARE(Rtf::PlainText(rtf), plain);
}

// Texts of the kind word processors and rich-edit controls write: tables, word
// processor lists, other code pages. Each must read right, and read the same
// after it has been saved again: whatever the writer drops is lost for good.
void TestRtf::otherProgramsRoundTrip_data() {
    QTest::addColumn<QString>("rtf");
    QTest::addColumn<QString>("expected");    // Outline()
    QTest::addColumn<QStringList>("written"); // pieces the saved text holds

    const QString bulletPn = QStringLiteral("{\\*\\pn\\pnlvlblt\\pnf1\\pnindent0{\\pntxtb\\'b7}}");
    const QString decimalPn =
        QStringLiteral("{\\*\\pn\\pnlvlbody\\pnf0\\pnindent0\\pnstart%1\\pndec{\\pntxta.}}");

    // Tables
    QTest::newRow("rich edit table")
        << Head + "\\viewkind4\\uc1\\pard\\f0\\fs20 Preise:\\par\r\n"
                  "\\trowd\\trgaph108\\trleft-108\\cellx1892\\cellx3892\\pard\\intbl Artikel\\cell "
                  "Preis\\cell\\row\r\n"
                  "\\trowd\\trgaph108\\trleft-108\\cellx1892\\cellx3892\\pard\\intbl Schraube\\cell\\qr 0,10 "
                  "\\'80\\cell\\row\r\n\\pard danach\\par\r\n}"
        << QString::fromUtf8("L|Preise:\nT L|Artikel ; L|Preis\nT L|Schraube ; R|0,10 €\nL|danach")
        << QStringList{"\\row", "\\cellx4819\\cellx9638"};
    QTest::newRow("word processor table, row properties last")
        << Head + "\\pard\\plain\\ql\\intbl\\f0\\fs20 "
                  "{Menge\\cell}{Text\\cell}\\pard\\plain\\intbl{\\trowd\\irow0"
                  "\\trgaph70\\trleft0\\clbrdrt\\brdrs\\brdrw10\\cellx2000\\clbrdrt\\brdrs\\brdrw10\\cellx600"
                  "0\\row}\r\n"
                  "\\pard\\plain\\intbl\\f0\\fs20 {\\qc 2\\par "
                  "St\\'fcck\\cell}{Schrauben\\cell}\\pard\\plain\\intbl"
                  "{\\trowd\\irow1\\trgaph70\\trleft0\\cellx2000\\cellx6000\\row}\r\n\\pard\\plain\\f0\\fs20 "
                  "Ende\\par}"
        << QString::fromUtf8("L|\nT L|Menge ; L|Text\nT C|2/C|Stück ; L|Schrauben\nL|Ende")
        << QStringList{"\\cellx3213\\", "\\clbrdrt\\brdrs"};
    QTest::newRow("merged cells")
        << Head + "\\pard Kopf\\par\r\n\\trowd\\clvmgf\\cellx2000\\cellx4000\\pard\\intbl A\\cell "
                  "B\\cell\\row\r\n"
                  "\\trowd\\clvmrg\\cellx2000\\cellx4000\\pard\\intbl\\cell C\\cell\\row\r\n"
                  "\\trowd\\clmgf\\cellx2000\\clmrg\\cellx4000\\pard\\intbl D\\cell\\cell\\row\r\n\\pard "
                  "Fu\\'df\\par}"
        << QString::fromUtf8("L|Kopf\nT L|A(2x1) ; L|B\nT ^ ; L|C\nT L|D(1x2) ; ^\nL|Fuß")
        << QStringList{"\\clvmgf", "\\clvmrg", "\\clmgf", "\\clmrg"};
    QTest::newRow("table in a table cell")
        << Head +
               "\\pard vor\\par\\pard\\intbl\\itap1 au\\'dfen\\par\r\n"
               "\\pard\\intbl\\itap2 x1\\nestcell "
               "x2\\nestcell{\\*\\nesttableprops\\trowd\\cellx1000\\cellx2000"
               "\\nestrow}{\\nonesttables\\par}\r\n"
               "\\pard\\intbl\\itap2 y1\\nestcell "
               "y2\\nestcell{\\*\\nesttableprops\\trowd\\cellx1000\\cellx2000"
               "\\nestrow}{\\nonesttables\\par}\r\n"
               "\\pard\\intbl\\itap1 \\cell rechts\\cell\\trowd\\cellx3000\\cellx6000\\row\\pard nach\\par}"
        << QString::fromUtf8("L|vor\nT L|außen/L|x1\tx2/L|y1\ty2/L| ; L|rechts\nL|nach") << QStringList();
    QTest::newRow("last row without its end")
        << Head + "\\pard vor\\par\\trowd\\cellx1000\\cellx2000\\pard\\intbl a\\cell b"
        << "L|vor\nT L|a ; L|b\nL|" << QStringList();

    // Word-processor lists: list table, overrides, \listtext markers
    const QString listHead =
        QStringLiteral("{\\rtf1\\ansi\\ansicpg1252\\deff0{\\fonttbl{\\f0\\fswiss\\fcharset0 Arial;}"
                       "{\\f3\\froman\\fcharset2 Symbol;}{\\f4\\fmodern\\fcharset0 Courier New;}"
                       "{\\f5\\fnil\\fcharset2 Wingdings;}}\r\n");
    QTest::newRow("word processor bullets")
        << listHead +
               "{\\*\\listtable{\\list\\listtemplateid1\\listhybrid{"
               "\\listlevel\\levelnfc23\\levelnfcn23\\leveljc0"
               "\\levelfollow0\\levelstartat1\\levelspace0\\levelindent0{\\leveltext\\leveltemplateid2\\'"
               "01\\u-3913 ?;}"
               "{\\levelnumbers;}\\f3\\fbias0 \\fi-360\\li720\\lin720 }{\\listlevel\\levelnfc23\\levelnfcn23"
               "\\levelstartat1{\\leveltext\\leveltemplateid3\\'01o;}{\\levelnumbers;}\\f4\\fi-360\\li1440 }"
               "{\\listlevel\\levelnfc23\\levelnfcn23\\levelstartat1{\\leveltext\\'01\\u-3929 "
               "?;}{\\levelnumbers;}"
               "\\f5\\fi-360\\li2160 }{\\listname ;}\\listid1001}}\r\n"
               "{\\*\\listoverridetable{\\listoverride\\listid1001\\listoverridecount0\\ls1}}\r\n"
               "\\pard\\plain\\f0\\fs20 Vorher\\par\r\n"
               "{\\listtext\\pard\\plain\\f3\\fs20 "
               "\\'b7\\tab}\\pard\\plain\\fi-360\\li720\\ls1\\ilvl0\\f0\\fs20 eins"
               "\\par\r\n{\\listtext\\pard\\plain\\f4\\fs20 "
               "o\\tab}\\pard\\plain\\fi-360\\li1440\\ls1\\ilvl1\\f0\\fs20 "
               "unter\\par\r\n{\\listtext\\pard\\plain\\f5\\fs20 "
               "\\'a7\\tab}\\pard\\plain\\fi-360\\li2160\\ls1\\ilvl2"
               "\\f0\\fs20 tiefer\\par\r\n{\\listtext\\pard\\plain\\f3\\fs20 "
               "\\'b7\\tab}\\pard\\plain\\fi-360\\li720"
               "\\ls1\\ilvl0\\f0\\fs20 zwei\\par\r\n\\pard\\plain\\f0\\fs20 Nachher\\par}"
        << "L|Vorher\nL*|eins\nL>o|unter\nL>>+|tiefer\nL*|zwei\nL|Nachher"
        << QStringList{"\\li1440", "{\\pntxtb o}", "\\li2160", "{\\pntxtb\\'a7}"};
    QTest::newRow("word processor numbering with levels")
        << listHead +
               "{\\*\\listtable{\\list\\listtemplateid7{\\listlevel\\levelnfc0\\levelnfcn0\\levelstartat1"
               "{\\leveltext\\'02\\'00.;}{\\levelnumbers\\'01;}\\fi-360\\li720 "
               "}{\\listlevel\\levelnfc4\\levelnfcn4"
               "\\levelstartat1{\\leveltext\\'02\\'01);}{\\levelnumbers\\'01;}\\fi-360\\li1440 "
               "}\\listid77}}\r\n"
               "{\\*\\listoverridetable{\\listoverride\\listid77\\listoverridecount0\\ls2}}\r\n"
               "{\\listtext 1.\\tab}\\pard\\ls2\\ilvl0\\f0\\fs20 Erstens\\par\r\n"
               "{\\listtext a)\\tab}\\pard\\ls2\\ilvl1 Unterpunkt\\par\r\n"
               "{\\listtext b)\\tab}\\pard\\ls2\\ilvl1 Noch einer\\par\r\n"
               "{\\listtext 2.\\tab}\\pard\\ls2\\ilvl0 Zweitens\\par\r\n"
               "{\\listtext a)\\tab}\\pard\\ls2\\ilvl1 Neu gez\\'e4hlt\\par\r\n"
               "\\pard Text\\par\r\n{\\listtext 3.\\tab}\\pard\\ls2\\ilvl0 Drittens\\par}"
        << QString::fromUtf8("L1.|Erstens\nL>a)|Unterpunkt\nL>b)|Noch einer\nL2.|Zweitens\nL>a)|Neu "
                             "gezählt\nL|Text\nL3.|Drittens")
        << QStringList{"{\\pntext\\f0 3.\\tab}", "\\pnstart3\\pndec", "\\pnlcltr{\\pntxta )}"};
    QTest::newRow("word processor list without list table")
        << Head + "{\\listtext I.\\tab}\\pard\\ls5\\ilvl0\\f0\\fs20 R\\'f6misch\\par{\\listtext "
                  "II.\\tab}\\pard\\ls5"
                  "\\ilvl0 zwei\\par\\pard\\par{\\listtext c)\\tab}\\pard\\ls6\\ilvl0 Buchstabe\\par}"
        << QString::fromUtf8("LI.|Römisch\nLII.|zwei\nL|\nLa)|Buchstabe")
        << QStringList{"\\pnstart3\\pnlcltr"};

    // Rich-edit numbering
    QTest::newRow("letters and roman numbers")
        << Head + "\\pard{\\pntext\\f0 "
                  "a)\\tab}{\\*\\pn\\pnlvlbody\\pnf0\\pnindent0\\pnstart1\\pnlcltr{\\pntxta)}}"
                  "\\fi-360\\li720\\f0\\fs20 eins\\par{\\pntext\\f0 b)\\tab}zwei\\par\r\n\\pard{\\pntext\\f0 "
                  "IV.\\tab}"
                  "{\\*\\pn\\pnlvlbody\\pnf0\\pnindent0\\pnstart4\\pnucrm{\\pntxta.}}\\fi-360\\li720 "
                  "vier\\par\\pard "
                  "Ende\\par}"
        // Qt numbers a list from 1; the start survives for the next save
        << "La)|eins\nLb)|zwei\nLI.|vier\nL|Ende" << QStringList{"\\pnstart4\\pnucrm"};
    QTest::newRow("two numbered lists in a row")
        << Head + "\\pard{\\pntext\\f0 1.\\tab}" + decimalPn.arg(1) +
               "\\fi-360\\li720\\f0\\fs20 a\\par{\\pntext\\f0 2.\\tab}b\\par\r\n\\pard{\\pntext\\f0 "
               "1.\\tab}" +
               decimalPn.arg(1) + "\\fi-360\\li720 c\\par{\\pntext\\f0 2.\\tab}d\\par}"
        << "L1.|a\nL2.|b\nL1.|c\nL2.|d" << QStringList();
    QTest::newRow("numbering goes on after a paragraph between")
        << Head + "\\pard{\\pntext\\f0 1.\\tab}" + decimalPn.arg(1) +
               "\\fi-360\\li720\\f0\\fs20 a\\par{\\pntext\\f0 2.\\tab}b\\par\\pard dazwischen\\par\r\n"
               "\\pard{\\pntext\\f0 3.\\tab}" +
               decimalPn.arg(3) + "\\fi-360\\li720 c\\par}"
        << "L1.|a\nL2.|b\nL|dazwischen\nL3.|c" << QStringList();

    // The last paragraph and paragraph marks outside their group
    QTest::newRow("last paragraph without its mark")
        << Head + "\\pard\\qc\\f0\\fs20 Mitte\\par\\pard\\qr{\\pntext\\f1\\'b7\\tab}" + bulletPn + "rechts}"
        << "C|Mitte\nR*|rechts" << QStringList();
    QTest::newRow("paragraph mark outside its group")
        << Head + "{\\pard\\qc\\f0\\fs20 Mitte}\\par{\\pard{\\pntext\\f1\\'b7\\tab}" + bulletPn +
               "\\qr Punkt}\\par\\pard links\\par}"
        << "C|Mitte\nR*|Punkt\nL|links" << QStringList();
    QTest::newRow("text after the document's group") << Head + "\\pard\\qc Mitte}\\par Rest"
                                                     << "C|Mitte" << QStringList();

    // Code pages
    QTest::newRow("code page 1250")
        << "{\\rtf1\\ansi\\ansicpg1250\\deff0{\\fonttbl{\\f0\\fswiss\\fcharset238 Arial CE;}{\\f1\\fnil "
           "Tahoma;}}\r\n"
           "\\pard\\f0 P\\'f8\\'edli\\'9a \\'9elu\\'9dou\\'e8k\\'fd k\\'f9\\'f2\\par\\f1 \\'8a\\'e1rka\\par}"
        << QString::fromUtf8("L|Příliš žluťoučký kůň\nL|Šárka") << QStringList{"\\u345?"};
    QTest::newRow("code page 1251 font in a 1252 text")
        << "{\\rtf1\\ansi\\ansicpg1252\\deff0{\\fonttbl{\\f0\\fnil\\fcharset0 "
           "Arial;}{\\f1\\fnil\\fcharset204 "
           "Arial;}}\r\n\\pard\\f0 Gr\\'fc\\'dfe \\f1\\'cf\\'f0\\'e8\\'e2\\'e5\\'f2\\par}"
        << QString::fromUtf8("L|Grüße Привет") << QStringList{"Gr\\'fc\\'dfe \\u1055?\\u1088?"};
    QTest::newRow("\\u beyond 16 bits")
        << Head + "\\pard\\f0 a\\u70000 x b\\u-40000 y c\\uc2\\u8364 EU d\\par}"
        << QString::fromUtf8("L|ax by c€ d") << QStringList();
}

void TestRtf::otherProgramsRoundTrip() {
    QFETCH(QString, rtf);
    QFETCH(QString, expected);
    QFETCH(QStringList, written);

    QTextDocument first;
    Rtf::Read(rtf, first);
    QCOMPARE(Outline(first), expected);

    const QString saved = Rtf::Write(first);
    for (const QString& piece : std::as_const(written))
        QVERIFY2(saved.contains(piece), qPrintable(QStringLiteral("%1\nnot in\n%2").arg(piece, saved)));
    QTextDocument second;
    Rtf::Read(saved, second);
    QCOMPARE(Outline(second), expected);
    QCOMPARE(Describe(second), Describe(first));
    QCOMPARE(Rtf::Write(second), saved);
}

void TestRtf::fontNames_data() {
    QTest::addColumn<QString>("family");
    QTest::newRow("semicolon") << "Times;Roman";
    QTest::newRow("cyrillic") << QString::fromUtf8("Шрифт Тест");
    QTest::newRow("japanese") << QString::fromUtf8("ＭＳ 明朝");
    QTest::newRow("braces and backslash") << "X{1}\\2";
}

void TestRtf::fontNames() {
    QFETCH(QString, family);
    QTextDocument doc;
    QTextCharFormat f;
    f.setFontFamilies(QStringList{family});
    f.setFontPointSize(10);
    QTextCursor(&doc).insertText(QStringLiteral("x"), f);
    QTextCharFormat arial;
    arial.setFontFamilies(QStringList{QStringLiteral("Arial")});
    arial.setFontPointSize(10);
    QTextCursor(&doc).insertText(QStringLiteral("a"), arial);

    const QString rtf = Rtf::Write(doc);
    QTextDocument copy;
    Rtf::Read(rtf, copy);
    QCOMPARE(Describe(copy), QStringLiteral("L|a[10 Arial]x[10 %1]").arg(family));
    QCOMPARE(Rtf::Write(copy), rtf);
}

void TestRtf::multiByteCodePage() {
    if (!QStringDecoder("Shift_JIS").isValid())
        QSKIP("Qt is built without the Japanese code page");
    // Two-byte characters; the trail byte 0x7b is a brace when read alone.
    const QString rtf = QStringLiteral("{\\rtf1\\ansi\\ansicpg1252\\deff0{\\fonttbl{\\f0\\fnil\\fcharset128 "
                                       "\\'82\\'6c\\'82\\'72 \\'96\\'be\\'92\\'a9;}}\\pard\\f0\\fs20 "
                                       "\\'93\\'fa\\'96\\'7b {\\b x}\\'82\\'a0\\par}");
    QCOMPARE(Read(rtf), QString::fromUtf8("L|日本 [10 ＭＳ 明朝]x[b 10 ＭＳ 明朝]あ[10 ＭＳ 明朝]"));
    QCOMPARE(ReadWrittenBack(rtf), Read(rtf));
}

QTEST_MAIN(TestRtf)
#include "tst_rtf.moc"
