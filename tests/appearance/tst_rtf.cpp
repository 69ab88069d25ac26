// Reading and writing formatted texts: the converter must keep what the user
// formatted, read what Windows rich-edit controls stored in older databases,
// and never lose readable text to malformed input.
#include "Rtf.h"

#include <QTest>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextList>

namespace {

// One line per paragraph: alignment (L/C/R/J), "*" for a bullet or "#" for a
// numbered item, then each run as text[attributes].
QString Describe(const QTextDocument& doc) {
    QStringList lines;
    for (QTextBlock block = doc.begin(); block.isValid(); block = block.next()) {
        const Qt::Alignment a = block.blockFormat().alignment();
        QString line = (a & Qt::AlignHCenter)   ? QStringLiteral("C")
                       : (a & Qt::AlignJustify) ? QStringLiteral("J")
                       : (a & Qt::AlignRight)   ? QStringLiteral("R")
                                                : QStringLiteral("L");
        if (const QTextList* list = block.textList())
            line += list->format().style() == QTextListFormat::ListDisc ? u'*' : u'#';
        line += u'|';
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

    QTest::newRow("plain text") << "Rest"
                                << "L|Rest[]";
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
    QTest::newRow("program's VAT rates")
        << "{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0\\fnil\\fcharset0 Arial;}{\\f1\\fnil Arial;}}\r\n"
           "{\\colortbl ;\\red0\\green0\\blue0;}\r\n\\viewkind4\\uc1\\pard\\qr\\cf1\\lang1031\\fs20 10,00 "
           "%\r\n\\par 20,00 %\r\n\\par \\b Gesamtsumme\\b0\\f1\r\n\\par }"
        << "R|10,00 %[10 Arial #000000]\nR|20,00 %[10 Arial #000000]\nR|Gesamtsumme[b 10 Arial #000000]";
    QTest::newRow("program's white X")
        << "{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0\\fnil\\fcharset0 Arial;}{\\f1\\fnil Arial;}}\r\n"
           "{\\colortbl ;\\red255\\green255\\blue255;}\r\n\\viewkind4\\uc1\\pard\\qr\\cf1\\lang1031\\fs20 "
           "X\\f1\r\n\\par }"
        << "R|X[10 Arial #ffffff]";
}

void TestRtf::readRichEditSamples() {
    QFETCH(QString, rtf);
    QFETCH(QString, expected);
    QCOMPARE(Read(rtf), expected);
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
                                    << "abd"; // the \u gives a control character, and "c" is its fallback
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

QTEST_MAIN(TestRtf)
#include "tst_rtf.moc"
