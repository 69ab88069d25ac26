// The print buffer and the report parameters of a document: whole buffers
// of realistic documents row by row, the address block, the VAT summary,
// payment terms, bank lines, and that nothing of one run leaks into the next.
#include "DatabaseFixture.h"
#include "DruckText.h"
#include "EndedProcess.h"
#include "UDM.h"

#include <QtTest>

namespace {

// "~" is NULL in the test tables.
QString Nullable(const QString& v, bool quoted) {
    if (v == QLatin1String("~"))
        return QStringLiteral("null");
    return quoted ? u'\'' + v + u'\'' : v;
}

// A buffer column made readable: the RTF amounts as "R:" / "B:" + amount,
// a left-aligned text as "L:" + its body, NULL as "~".
QString Readable(const TField* f) {
    if (f->IsNull())
        return QStringLiteral("~");
    const QString v = f->AsString();
    const QString amountEnd = QStringLiteral(" EUR\\f1\r\n\\par }");
    const QString boldEnd = QStringLiteral(" EUR\\b0\\f1\r\n\\par }");
    const QString textEnd = QStringLiteral("\\f1\r\n\\par }");
    if (v.startsWith(RtfPrefixRightBold()) && v.endsWith(boldEnd))
        return QStringLiteral("B:") + v.mid(RtfPrefixRightBold().size()).chopped(boldEnd.size());
    if (v.startsWith(RtfPrefixRight()) && v.endsWith(amountEnd))
        return QStringLiteral("R:") + v.mid(RtfPrefixRight().size()).chopped(amountEnd.size());
    if (v.startsWith(RtfPrefixLeft()) && v.endsWith(textEnd))
        return QStringLiteral("L:") + v.mid(RtfPrefixLeft().size()).chopped(textEnd.size());
    return v;
}

} // namespace

class TestDruck : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup() { db.Close(); }

    void rtfPieces();
    void buffer_data();
    void buffer();
    void address_data();
    void address();
    void countryLine_data();
    void countryLine();
    void invoiceReference_data();
    void invoiceReference();
    void vatSummary_data();
    void vatSummary();
    void paymentTermsAndTexts_data();
    void paymentTermsAndTexts();
    void bankLines_data();
    void bankLines();
    void nothingOfThePreviousRun();
    void refusals();
    void bufferReadWhole();
    void command();
    void abandonedPrintRuns_data();
    void abandonedPrintRuns();

private:
    TDatabaseFixture db;
    TDM* dm = nullptr;
    void exec(const QString& sql) { dm->SQLiteDB1.ExecSQL(sql); }
    void kopf(const QString& typ, int id, const QString& extra = QString(), int partner = 10) {
        exec(QStringLiteral(
                 "insert into Kopf (KopfTyp,KopfID,Status,KundenID,KunGruID,Datum,DruDatID,Datum2,"
                 "SubkundenID,KopfBez,Netto,KopfTextVorPos,FussTextNachPos,KopfText,FussText) values "
                 "('%1',%2,'E',%3,1,'2014-03-24 10:00:00',2,'2014-04-01 00:00:00',0,'Bad','N','N',"
                 "'N','Kopf','Fuss')")
                 .arg(typ)
                 .arg(id)
                 .arg(partner));
        if (!extra.isEmpty())
            exec(QStringLiteral("update Kopf set ") + extra +
                 QStringLiteral(" where KopfTyp = '%1' and KopfID = %2").arg(typ).arg(id));
    }
    // "pos:bez:zs" positions and "pos:preis:bez:bez2:menge:wert:rabatt:mwst" lines of one document.
    void positions(const QString& typ, int id, const QStringList& zeilen) {
        for (const QString& s : zeilen) {
            const QStringList p = s.split(u':');
            if (p.size() == 3)
                exec(QStringLiteral("insert into PosDaten values ('%1',%2,%3,0,'%4','%4','%5')")
                         .arg(typ)
                         .arg(id)
                         .arg(p[0], p[1], p[2]));
            else
                exec(QStringLiteral("insert into PosPreis values ('%1',%2,%3,%4,'%5',%6,%7,2,%8,%9,%10)")
                         .arg(typ)
                         .arg(id)
                         .arg(p[0], p[1], p[2], Nullable(p[3], true), p[4], p[5], Nullable(p[6], false),
                              p[7]));
        }
    }
    QStringList rows() {
        QStringList result;
        for (dm->QueryRv9.First(); !dm->QueryRv9.Eof(); dm->QueryRv9.Next()) {
            QStringList cols;
            for (const char* c : {"ZeilenID", "PosID", "PosBez", "PosBez2", "PreisBez", "PreisBez2", "Menge",
                                  "EinheitBez", "Wert", "Rabatt", "Summe"})
                cols << Readable(dm->QueryRv9.FieldByName(QLatin1String(c)));
            result << cols.join(u'|');
        }
        return result;
    }
    void company(const QString& assignments) { exec(QStringLiteral("update Geschaeft set ") + assignments); }
};

void TestDruck::initTestCase() {
    PinGermanLocale();
    db.BuildTemplate([](TSQLiteDB& base) {
        base.ExecSQL(QStringLiteral(
            "insert into Kunde "
            "(KundenID,AnredeID,TitelID,Firma,Nachname,Vorname,Strasse,PLZ,Ort,LandID,KunGruID,"
            "Aktiv,KonzernID,HaendlerID,UIDNr) values (10,4,3,'Alpen Bau','Berger','Hans','Hauptstraße "
            "1','6020',"
            "'Innsbruck',2,1,'J',0,0,'ATU123')"));
        base.ExecSQL(QStringLiteral(
            "insert into Lieferant "
            "(LieferantenID,Firma,Strasse,PLZ,Ort,LandID,LieGruID,AnspAnredeID,AnspTitelID,"
            "AnspNachname,Aktiv) values (5,'Holz AG','Waldweg 2','80331','München',3,1,4,1,'Huber','J')"));
        base.ExecSQL(
            QStringLiteral("update Geschaeft set AndruckLeerzeilen = 1, PosNrFortlaufend = 'J', "
                           "PreisandruckenL = 'N', SkontoR = 'J', SkontoZ = 'J', SkontoL = 'N', "
                           "Skonto = 'Zahlbar innerhalb von 10 Tagen mit %1 Skonto (%2).', Skonto2 = "
                           "'Zahlbar sofort.', BankName1 = 'Alpenbank', BankKonto1 = '12345', BLZ1 = "
                           "'20111', IBAN1 = 'AT11', BIC1 = 'ALPBAT', BankName2 = null, IBAN2 = null, "
                           "KopfTextZ = 'Wir erinnern', FussTextZ = null"));
    });
}

void TestDruck::init() {
    QVERIFY(db.Open());
    dm = db.dm;
}

// ---------------------------------------------------------------------------

void TestDruck::rtfPieces() {
    QCOMPARE(RtfWhiteX(),
             QStringLiteral("{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0\\fnil\\fcharset0 Arial;}{\\f1\\fnil "
                            "Arial;}}\r\n{\\colortbl ;\\red255\\green255\\blue255;}\r\n\\viewkind4"
                            "\\uc1\\pard\\qr\\cf1\\lang1031\\fs20 X\\f1\r\n\\par }"));
    QCOMPARE(
        RtfBoldAmount(QStringLiteral("12,50")),
        QStringLiteral("{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0\\fnil\\fcharset0 Arial;}{\\f1\\fnil Arial;}}\r\n"
                       "{\\colortbl ;\\red0\\green0\\blue0;}\r\n\\viewkind4\\uc1\\pard\\qr\\cf1\\lang1031"
                       "\\b\\fs20 12,50 EUR\\b0\\f1\r\n\\par }"));
    // User text never breaks the RTF around it.
    QCOMPARE(RtfLeftText(QStringLiteral("C:\\{a}\r\nÄ€\nΩ")),
             RtfPrefixLeft() +
                 QStringLiteral("C:\\\\\\{a\\}\r\n\\par \\'c4\\'80\r\n\\par \\u937?\\f1\r\n\\par }"));
    QCOMPARE(DruckFixed(1234.5), QStringLiteral("1234,50"));
    QCOMPARE(DruckCurrency(1234.5), QStringLiteral("1.234,50"));
    QCOMPARE(DruckDate(QDate(2014, 3, 24)), QStringLiteral("24.03.2014"));
}

void TestDruck::buffer_data() {
    QTest::addColumn<QString>("typ");
    QTest::addColumn<QString>("setup");
    QTest::addColumn<QStringList>("zeilen");
    QTest::addColumn<QStringList>("expected");

    const QStringList invoice{"1:Bad:N",
                              "2:Fliesen:N",
                              "2:1::~:3:10:~:20",
                              "3:Silikon:N",
                              "3:1:Kartusche:~:2:4.5:10:20",
                              "4:Arbeit:N",
                              "4:1:Meister:~:1:60:0:20",
                              "4:2:Geselle:~:2:40:~:20",
                              "4:3:Fahrt:km:0:0:0:20",
                              "5:Zwischensumme Bad:J",
                              "6:Küche:N",
                              "6:1::~:1:100:50:10",
                              "7:Summe Küche:J"};
    // The subtotal counts only the lines since the previous subtotal; an
    // empty discount is no discount, not a missing line.
    QTest::newRow("invoice, consecutive numbers")
        << "R" << QString() << invoice
        << QStringList{"1|~|Bad|~|~|~|~|~|~|~|~",
                       "2|~|~|~|~|~|~|~|~|~|~",
                       "3|1|~|Fliesen|~|~|3,00|Stk|10,00|~|R:30,00",
                       "4|~|~|~|~|~|~|~|~|~|~",
                       "5|2|Silikon|~|~|~|~|~|~|~|~",
                       "6|~|~|~|Kartusche|~|2,00|Stk|4,50|10,00%|R:8,10",
                       "7|~|~|~|~|~|~|~|~|~|~",
                       "8|3|Arbeit|~|~|~|~|~|~|~|~",
                       "9|~|~|~|Meister|~|1,00|Stk|60,00|~|R:60,00",
                       "10|~|~|~|Geselle|~|2,00|Stk|40,00|~|R:80,00",
                       "11|~|~|~|Fahrt|km|~|~|~|~|~",
                       "12|~|~|~|~|~|~|~|~|~|B:140,00",
                       "13|~|~|~|~|~|~|~|~|~|~",
                       "14|~|Zwischensumme Bad|~|~|~|~|~|~|~|B:178,10",
                       "15|~|~|~|~|~|~|~|~|~|~",
                       "16|4|~|Küche|~|~|1,00|Stk|100,00|50,00%|R:50,00",
                       "17|~|~|~|~|~|~|~|~|~|~",
                       "18|~|Summe Küche|~|~|~|~|~|~|~|B:50,00",
                       "19|~|~|~|~|~|~|~|~|~|~"};
    QTest::newRow("own numbers, no blank rows, texts in the buffer")
        << "R"
        << "AndruckLeerzeilen = null, PosNrFortlaufend = 'N'|KopfTextVorPos = 'J', FussTextNachPos = 'J', "
           "KopfText = 'Guten Tag,\r\nanbei {Angebot}', FussText = 'Danke'"
        << QStringList{"1:Text:N", "2:A:N", "2:1::~:1:5:~:20", "5:B:N", "5:1::~:1:7:~:20"}
        << QStringList{"1|~|L:Guten Tag,\r\n\\par anbei \\{Angebot\\}|~|~|~|~|~|~|~|~",
                       "2|~|Text|~|~|~|~|~|~|~|~", "3|2|~|A|~|~|1,00|Stk|5,00|~|R:5,00",
                       "4|5|~|B|~|~|1,00|Stk|7,00|~|R:7,00", "5|~|L:Danke|~|~|~|~|~|~|~|~"};
    // A delivery note without prices keeps quantities and units, nothing else:
    // not even its subtotal lines show an amount.
    QTest::newRow("delivery note without prices")
        << "L" << QString()
        << QStringList{"1:Holz:N", "1:1:Brett:~:4:10:5:20", "1:2:Latte:~:2:3:~:20", "2:Summe Holz:J"}
        << QStringList{"1|1|Holz|~|~|~|~|~|~|~|~",       "2|~|~|~|Brett|~|4,00|Stk|~|~|~",
                       "3|~|~|~|Latte|~|2,00|Stk|~|~|~", "4|~|~|~|~|~|~|~|~|~|~",
                       "5|~|Summe Holz|~|~|~|~|~|~|~|~", "6|~|~|~|~|~|~|~|~|~|~"};
    QTest::newRow("no positions") << "O" << QString() << QStringList() << QStringList();
}

void TestDruck::buffer() {
    QFETCH(QString, typ);
    QFETCH(QString, setup);
    QFETCH(QStringList, zeilen);
    QFETCH(QStringList, expected);
    const QStringList parts = setup.split(u'|');
    if (!parts[0].isEmpty())
        company(parts[0]);
    kopf(typ, 1, parts.value(1));
    positions(typ, 1, zeilen);
    const int run = dm->PreparePrintData(typ, 1, false);
    QVERIFY(run > 0);
    const QStringList actual = rows();
    for (int i = 0; i < std::min(actual.size(), expected.size()); ++i)
        QCOMPARE(actual[i], expected[i]);
    QCOMPARE(actual.size(), expected.size());
    dm->DeletePrintData(run);
    QCOMPARE(QueryInt(dm->Query2, QStringLiteral("select count(*) from Ausdruck")), 0);
}

void TestDruck::address_data() {
    QTest::addColumn<QString>("typ");
    QTest::addColumn<QString>("update");
    QTest::addColumn<QString>("address");
    QTest::addColumn<QString>("ihreNr");
    QTest::addColumn<QString>("uid");

    QTest::newRow("customer in Austria")
        << "R" << QString() << "Herr\r\nAlpen Bau\r\nDr. Berger Hans\r\nHauptstraße 1\r\n6020 Innsbruck\r\n"
        << "Ihre Kundennr. 10"
        << "Ihre UID-Nr. ATU123";
    QTest::newRow("customer abroad, first name only")
        << "R"
        << "update Kunde set LandID = 3, Nachname = null, Firma = null, TitelID = 1, AnredeID = 1, UIDNr = "
           "null, "
           "Zusatzname = 'Haus 2'"
        << "Hans\r\nHaus 2\r\nHauptstraße 1\r\n6020 Innsbruck\r\nDeutschland\r\n"
        << "Ihre Kundennr. 10"
        << " ";
    QTest::newRow("supplier contact with surname only")
        << "B" << QString() << "Holz AG\r\nWaldweg 2\r\n80331 München\r\nDeutschland\r\n\r\nzH. Herr Huber"
        << "Ihre Liefnr. 5"
        << " ";
    QTest::newRow("supplier contact with first name only")
        << "B"
        << "update Lieferant set AnspNachname = null, AnspVorname = 'Eva', AnspAnredeID = 3, AnspTitelID = 3"
        << "Holz AG\r\nWaldweg 2\r\n80331 München\r\nDeutschland\r\n\r\nzH. Frau Dr. Eva"
        << "Ihre Liefnr. 5"
        << " ";
    QTest::newRow("supplier without contact")
        << "B"
        << "update Lieferant set AnspNachname = null, LandID = 2, UIDNr = 'DE9'"
        << "Holz AG\r\nWaldweg 2\r\n80331 München\r\n"
        << " "
        << "Ihre UID-Nr. DE9";
}

void TestDruck::address() {
    QFETCH(QString, typ);
    QFETCH(QString, update);
    if (!update.isEmpty())
        exec(update);
    kopf(typ, 1, QString(), typ == QLatin1String("B") ? 5 : 10);
    QVERIFY(dm->PreparePrintData(typ, 1, false) > 0);
    QTEST(dm->ReportParam(QStringLiteral("Kundenadresse")), "address");
    QTEST(dm->ReportParam(QStringLiteral("IhreNrStr")) + u' ' + dm->ReportParam(QStringLiteral("IhreNr")),
          "ihreNr");
    QTEST(dm->ReportParam(QStringLiteral("IhreUIDStr")) + u' ' + dm->ReportParam(QStringLiteral("IhreUID")),
          "uid");
}

// No country line for the company's own country; without one set, none for Austria.
void TestDruck::countryLine_data() {
    QTest::addColumn<QString>("typ");
    QTest::addColumn<QString>("firmaLand");
    QTest::addColumn<int>("landId"); // 2 Österreich, 3 Deutschland
    QTest::addColumn<QString>("line");

    QTest::newRow("no company country, Austria") << "R"
                                                 << "" << 2 << "";
    QTest::newRow("no company country, Germany") << "R"
                                                 << "" << 3 << "Deutschland";
    QTest::newRow("German company, Germany") << "R"
                                             << "DE" << 3 << "";
    QTest::newRow("German company, Austria") << "R"
                                             << "DE" << 2 << "Österreich";
    QTest::newRow("German company, German supplier") << "B"
                                                     << "DE" << 3 << "";
}

void TestDruck::countryLine() {
    QFETCH(QString, typ);
    QFETCH(QString, firmaLand);
    QFETCH(int, landId);
    QFETCH(QString, line);
    if (!firmaLand.isEmpty())
        dm->SetAllg(QStringLiteral("FirmaLand"), firmaLand);
    const bool lieferant = typ == QLatin1String("B");
    exec(QStringLiteral("update %1 set LandID = %2").arg(lieferant ? "Lieferant" : "Kunde").arg(landId));
    kopf(typ, 1, QString(), lieferant ? 5 : 10);
    QVERIFY(dm->PreparePrintData(typ, 1, false) > 0);
    const QStringList lines = dm->ReportParam(QStringLiteral("Kundenadresse")).split(QStringLiteral("\r\n"));
    for (const char* land : {"Österreich", "Deutschland", "Schweiz"})
        QVERIFY2(lines.contains(QString::fromUtf8(land)) == (line == QString::fromUtf8(land)),
                 qPrintable(lines.join(u'/')));
}

// A cancellation invoice or credit note names the invoice it refers to, when that is there.
void TestDruck::invoiceReference_data() {
    QTest::addColumn<QString>("typ");
    QTest::addColumn<QString>("ref"); // RefTyp, RefID
    QTest::addColumn<QString>("bezug");

    QTest::newRow("cancellation of an invoice") << "S"
                                                << "'R', 1"
                                                << "Stornorechnung zu Rechnung Nr. 1 vom 24.03.2014";
    QTest::newRow("credit note for a partial invoice") << "G"
                                                       << "'T', 2"
                                                       << "Gutschrift zu Teilrechnung Nr. 2 vom 24.03.2014";
    QTest::newRow("invoice gone") << "S"
                                  << "'R', 99"
                                  << "";
    QTest::newRow("made from an order") << "G"
                                        << "'A', 1"
                                        << "";
    QTest::newRow("made directly") << "S"
                                   << "null, null"
                                   << "";
    QTest::newRow("an invoice names none") << "R"
                                           << "'R', 1"
                                           << "";
}

void TestDruck::invoiceReference() {
    QFETCH(QString, typ);
    QFETCH(QString, ref);
    QFETCH(QString, bezug);
    kopf(QStringLiteral("R"), 1);
    kopf(QStringLiteral("T"), 2);
    kopf(QStringLiteral("A"), 1);
    kopf(typ, 3, QStringLiteral("(RefTyp, RefID) = (%1)").arg(ref));
    QVERIFY(dm->PreparePrintData(typ, 3, false) > 0);
    QCOMPARE(dm->ReportParam(QStringLiteral("Bezug")), bezug);
}

void TestDruck::vatSummary_data() {
    QTest::addColumn<QString>("typ");
    QTest::addColumn<QString>("netto");
    QTest::addColumn<QStringList>("zeilen");
    QTest::addColumn<QStringList>("texts"); // rate, net, VAT, gross: lines joined by "/"

    // Half cents go to the even cent; an empty discount counts as 0.
    QTest::newRow("two rates ascending, half cents")
        << "R"
        << "N" << QStringList{"1:A:N", "1:1:x:~:1:1.25:~:30", "1:2:y:~:1:1.25:0:10"}
        << QStringList{"10,00 %/30,00 %/\\b Gesamtsumme\\b0\\f1", "1,25 EUR/1,25 EUR/\\b 2,50 EUR\\b0\\f1",
                       "0,12 EUR/0,38 EUR/\\b 0,50 EUR\\b0\\f1", "1,37 EUR/1,63 EUR/\\b 3,00 EUR\\b0\\f1"};
    QTest::newRow("thousands") << "R"
                               << "N" << QStringList{"1:A:N", "1:1:x:~:1000:1234.5:~:20"}
                               << QStringList{"20,00 %/\\b Gesamtsumme\\b0\\f1",
                                              "1.234.500,00 EUR/\\b 1.234.500,00 EUR\\b0\\f1",
                                              "246.900,00 EUR/\\b 246.900,00 EUR\\b0\\f1",
                                              "1.481.400,00 EUR/\\b 1.481.400,00 EUR\\b0\\f1"};
    QTest::newRow("net document without positions")
        << "R"
        << "J" << QStringList()
        << QStringList{"0,00 %/\\b Gesamtsumme\\b0\\f1", "0,00 EUR/\\b 0,00 EUR\\b0\\f1",
                       "0,00 EUR/\\b 0,00 EUR\\b0\\f1", "0,00 EUR/\\b 0,00 EUR\\b0\\f1"};
    QTest::newRow("no positions") << "R"
                                  << "N" << QStringList()
                                  << QStringList{"\\b Gesamtsumme\\b0\\f1", "\\b 0,00 EUR\\b0\\f1",
                                                 "\\b 0,00 EUR\\b0\\f1", "\\b 0,00 EUR\\b0\\f1"};
    QTest::newRow("delivery note without prices")
        << "L"
        << "N" << QStringList{"1:A:N", "1:1:x:~:1:5:~:20"} << QStringList{"", "", "", ""};
}

void TestDruck::vatSummary() {
    QFETCH(QString, typ);
    QFETCH(QString, netto);
    QFETCH(QStringList, zeilen);
    QFETCH(QStringList, texts);
    kopf(typ, 1, QStringLiteral("Netto = '") + netto + u'\'');
    positions(typ, 1, zeilen);
    QVERIFY(dm->PreparePrintData(typ, 1, false) > 0);
    const char* names[] = {"SumMWStSatz", "SumNetto", "SumMWSt", "SumBrutto"};
    for (int i = 0; i < 4; ++i) {
        QString value = dm->ReportParam(QLatin1String(names[i]));
        if (!value.isEmpty()) {
            QVERIFY(value.startsWith(RtfPrefixRight()));
            QVERIFY(value.endsWith(QStringLiteral("\r\n\\par }")));
            value = value.mid(RtfPrefixRight().size())
                        .chopped(8)
                        .replace(QStringLiteral("\r\n\\par "), QStringLiteral("/"));
        }
        QCOMPARE(value, texts[i]);
    }
    QCOMPARE(dm->ReportParam(QStringLiteral("SumTemp")), RtfWhiteX());
}

void TestDruck::paymentTermsAndTexts_data() {
    QTest::addColumn<QString>("typ");
    QTest::addColumn<bool>("reminder");
    QTest::addColumn<QString>("kopfUpdate");
    QTest::addColumn<QString>("companyUpdate");
    QTest::addColumn<QStringList>("params"); // DokArt, Skonto, KopfText, FussText, DatumStr2, Datum2

    // The cash discount is taken from the gross total (1.000,00 net at 20 %).
    QTest::newRow("invoice with discount")
        << "R" << false << "Skonto = 2" << QString()
        << QStringList{"",
                       "Zahlbar innerhalb von 10 Tagen mit 2,00% Skonto (24,00 EUR).",
                       "Kopf",
                       "Fuss",
                       "Lieferdatum:",
                       "01.04.2014"};
    QTest::newRow("all three placeholders, template with a percent sign")
        << "R" << false << "Skonto = 3"
        << "Skonto = '%3 statt %2 - %1%2'"
        << QStringList{
               "", "1.164,00 EUR statt 36,00 EUR - 3,00%%2", "Kopf", "Fuss", "Lieferdatum:", "01.04.2014"};
    QTest::newRow("no discount on the header")
        << "R" << false << "Skonto = null" << QString()
        << QStringList{"", "Zahlbar sofort.", "Kopf", "Fuss", "Lieferdatum:", "01.04.2014"};
    QTest::newRow("reminder")
        << "R" << true << "Skonto = 2"
        << "SkontoR = 'N'"
        << QStringList{"Zahlungserinnerung", "Zahlbar innerhalb von 10 Tagen mit 2,00% Skonto (24,00 EUR).",
                       "Wir erinnern",       "Fuss",
                       "Lieferdatum:",       "01.04.2014"};
    QTest::newRow("switch off, texts printed in the buffer")
        << "L" << false << "Skonto = 2, KopfTextVorPos = 'J', FussTextNachPos = 'J'" << QString()
        << QStringList{"", "", "", "", "Lieferdatum:", "01.04.2014"};
    QTest::newRow("print date and missing date kind")
        << "R" << false << "DruDatID = 9, Skonto = 0"
        << "Skonto2 = null" << QStringList{"", "", "Kopf", "Fuss", ":", "01.04.2014"};
    QTest::newRow("second date is the day of printing")
        << "R" << false << "DruDatID = 1"
        << "SkontoR = 'N'"
        << QStringList{"", "", "Kopf", "Fuss", "Druckdatum:", DruckDate(QDate::currentDate())};
}

void TestDruck::paymentTermsAndTexts() {
    QFETCH(QString, typ);
    QFETCH(bool, reminder);
    QFETCH(QString, kopfUpdate);
    QFETCH(QString, companyUpdate);
    QFETCH(QStringList, params);
    if (!companyUpdate.isEmpty())
        company(companyUpdate);
    kopf(typ, 1, kopfUpdate);
    positions(typ, 1, {"1:A:N", "1:1:x:~:1:1000:~:20"});
    QVERIFY(dm->PreparePrintData(typ, 1, reminder) > 0);
    const char* names[] = {"DokArt", "Skonto", "KopfText", "FussText", "DatumStr2", "Datum2"};
    for (int i = 0; i < 6; ++i)
        QCOMPARE(dm->ReportParam(QLatin1String(names[i])), params[i]);
    QCOMPARE(dm->ReportParam(QStringLiteral("DokName")),
             typ == QLatin1String("R") ? QStringLiteral("Rechnung") : QStringLiteral("Lieferschein"));
    QCOMPARE(dm->ReportParam(QStringLiteral("Datum")), QStringLiteral("24.03.2014"));
}

void TestDruck::bankLines_data() {
    QTest::addColumn<QString>("typ");
    QTest::addColumn<QString>("companyUpdate");
    QTest::addColumn<QString>("bank");
    QTest::addColumn<QString>("iban");

    QTest::newRow("one account") << "R" << QString() << "Alpenbank, KontoNr.:  12345, BLZ:  20111"
                                 << "IBAN:  AT11,   BIC/Swift:  ALPBAT";
    QTest::newRow("two accounts")
        << "A"
        << "BankName2 = 'Postbank', BankKonto2 = '9', BLZ2 = '600', IBAN2 = 'DE22', BIC2 = 'PBNK'"
        << "Alpenbank, KontoNr.:  12345, BLZ:  20111  /  Postbank, KontoNr.:  9, BLZ:  600"
        << "IBAN:  AT11,   BIC/Swift:  ALPBAT  /  IBAN:  DE22,   BIC/Swift:  PBNK";
    QTest::newRow("only the second") << "R"
                                     << "BankName1 = null, IBAN1 = ' ', BankName2 = 'Post', BankKonto2 = "
                                        "null, BLZ2 = null, IBAN2 = 'DE22', BIC2 = 'P'"
                                     << "Post, KontoNr.:  , BLZ:  "
                                     << "  /  IBAN:  DE22,   BIC/Swift:  P";
    QTest::newRow("delivery note") << "L"
                                   << "PreisandruckenL = 'J'"
                                   << ""
                                   << "";
}

void TestDruck::bankLines() {
    QFETCH(QString, typ);
    QFETCH(QString, companyUpdate);
    if (!companyUpdate.isEmpty())
        company(companyUpdate);
    kopf(typ, 1);
    QVERIFY(dm->PreparePrintData(typ, 1, false) > 0);
    QTEST(dm->ReportParam(QStringLiteral("Bank")), "bank");
    QTEST(dm->ReportParam(QStringLiteral("IBAN")), "iban");
}

// A purchase order to a supplier without contact must not show the customer
// number of the invoice printed before it.
void TestDruck::nothingOfThePreviousRun() {
    exec(QStringLiteral("update Lieferant set AnspNachname = null, UIDNr = null"));
    company(QStringLiteral("SkontoB = 'N'"));
    kopf(QStringLiteral("R"), 1, QStringLiteral("Skonto = 2"));
    kopf(QStringLiteral("B"), 1, QString(), 5);
    const int first = dm->PreparePrintData(QStringLiteral("R"), 1, true);
    QVERIFY(!dm->ReportParam(QStringLiteral("IhreNr")).isEmpty());
    QVERIFY(!dm->ReportParam(QStringLiteral("Skonto")).isEmpty());
    const int second = dm->PreparePrintData(QStringLiteral("B"), 1, false);
    QCOMPARE(second, first + 1);
    for (const char* name : {"IhreNrStr", "IhreNr", "IhreUIDStr", "IhreUID", "Skonto", "DokArt"})
        QCOMPARE(dm->ReportParam(QLatin1String(name)), QString());
    QCOMPARE(dm->ReportParams.keys().size(), TDM::ReportParamNames().size());
}

void TestDruck::refusals() {
    kopf(QStringLiteral("R"), 1, QString(), 77);
    kopf(QStringLiteral("B"), 1, QString(), 77);
    const int before =
        QueryInt(dm->Query2, QStringLiteral("select Nummer from set_nummer where NumTyp = 'AusdruckID'"));
    QCOMPARE(dm->PreparePrintData(QStringLiteral("R"), 1, false), 0);
    QCOMPARE(dm->PreparePrintData(QStringLiteral("B"), 1, false), 0);
    QCOMPARE(dm->PreparePrintData(QStringLiteral("R"), 2, false), 0);
    QCOMPARE(db.messages->texts(),
             (QStringList{"Keine Daten zum Drucken gefunden! Evt. ist die Kundennummer nicht vorhanden!",
                          "Keine Daten zum Drucken gefunden! Evt. ist die Lieferantennummer nicht vorhanden!",
                          "Keine Daten zum Drucken gefunden! Evt. ist die Belegnummer nicht vorhanden!"}));
    db.messages->clear();
    QCOMPARE(
        QueryInt(dm->Query2, QStringLiteral("select Nummer from set_nummer where NumTyp = 'AusdruckID'")),
        before);
    QCOMPARE(QueryInt(dm->Query2, QStringLiteral("select count(*) from Ausdruck")), 0);
}

// The buffer's narrow declared sizes never cut what the report reads.
void TestDruck::bufferReadWhole() {
    kopf(QStringLiteral("R"), 1);
    const QString longBez(100, u'x');
    positions(QStringLiteral("R"), 1,
              {"1:A:N", QStringLiteral("1:1:%1:~:123456789:9876543.21:12.5:20").arg(longBez)});
    QVERIFY(dm->PreparePrintData(QStringLiteral("R"), 1, false) > 0);
    dm->QueryRv9.First();
    dm->QueryRv9.Next(); // the price-line row under the position row
    QCOMPARE(dm->QueryRv9.FieldByName(QStringLiteral("PreisBez"))->AsString(), longBez);
    QCOMPARE(dm->QueryRv9.FieldByName(QStringLiteral("Menge"))->AsString(), QStringLiteral("123456789,00"));
    QCOMPARE(dm->QueryRv9.FieldByName(QStringLiteral("Wert"))->AsString(), QStringLiteral("9876543,21"));
    QCOMPARE(dm->QueryRv9.FieldByName(QStringLiteral("Rabatt"))->AsString(), QStringLiteral("12,50%"));
    QCOMPARE(dm->QueryRv7.RecordCount(), 1);
}

void TestDruck::command() {
    kopf(QStringLiteral("R"), 1);
    positions(QStringLiteral("R"), 1, {"1:A:N", "1:1::~:2:5:~:20"});
    const QString file = dm->SQLiteDB1.FileName;
    dm->SQLiteDB1.Close();

    QString outText, errText;
    QTextStream out(&outText), err(&errText);
    QCOMPARE(RunPrintDataCommand({file, "r", "1"}, out, err), 0);
    QCOMPARE(errText, QString());
    const QStringList lines = outText.split(u'\n', Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), TDM::ReportParamNames().size() + 2);
    QCOMPARE(lines[1], QStringLiteral("{\"param\":\"DokName\",\"value\":\"Rechnung\"}"));
    QVERIFY(
        lines.contains(QStringLiteral("{\"param\":\"Kundenadresse\",\"value\":\"Herr\\r\\nAlpen Bau\\r\\nDr. "
                                      "Berger Hans\\r\\nHauptstraße 1\\r\\n6020 Innsbruck\\r\\n\"}")));
    QVERIFY(lines[lines.size() - 2].startsWith(
        QStringLiteral("{\"AusdruckID\":1,\"ZeilenID\":1,\"PosID\":1,"
                       "\"PosBez\":null,\"PosBez2\":\"A\",\"PreisBez\":null,"
                       "\"PreisBez2\":null,\"Menge\":\"2,00\"")));
    QCOMPARE(lines.last(),
             QStringLiteral("{\"AusdruckID\":1,\"ZeilenID\":2,\"PosID\":null,\"PosBez\":null,"
                            "\"PosBez2\":null,\"PreisBez\":null,\"PreisBez2\":null,\"Menge\":null,"
                            "\"EinheitBez\":null,\"Wert\":null,\"Rabatt\":null,\"Summe\":null}"));

    outText.clear();
    QCOMPARE(RunPrintDataCommand({file, "R", "2", "--reminder"}, out, err), 1);
    QCOMPARE(errText.trimmed(),
             QStringLiteral("Keine Daten zum Drucken gefunden! Evt. ist die Belegnummer nicht vorhanden!"));
    QCOMPARE(outText, QString());
    errText.clear();
    QCOMPARE(RunPrintDataCommand({file + "x", "R", "1"}, out, err), 1);
    QVERIFY(!QFile::exists(file + "x"));
    QVERIFY(errText.contains(QStringLiteral("wurde nicht gefunden")));

    // The buffer rows are gone again; the document is as it was.
    dm->SQLiteDB1.Open();
    QCOMPARE(QueryInt(dm->Query2, QStringLiteral("select count(*) from Ausdruck")), 0);
    QCOMPARE(QueryInt(dm->Query2, QStringLiteral("select count(*) from PosPreis")), 1);
}

void TestDruck::abandonedPrintRuns_data() {
    QTest::addColumn<QString>("owner");
    QTest::addColumn<bool>("byCommand");
    QTest::addColumn<bool>("kept");
    QTest::newRow("killed run, next start") << "ended" << false << false;
    QTest::newRow("killed run, next command") << "ended" << true << false;
    QTest::newRow("run of an instance still printing") << "running" << true << true;
    QTest::newRow("run on another machine") << "elsewhere" << false << true;
    QTest::newRow("run on another machine days ago") << "elsewhere, old" << false << false;
    QTest::newRow("rows of no recorded run") << "unrecorded" << false << false;
}

void TestDruck::abandonedPrintRuns() {
    QFETCH(QString, owner);
    QFETCH(bool, byCommand);
    QFETCH(bool, kept);
    kopf(QStringLiteral("R"), 1);
    positions(QStringLiteral("R"), 1, {"1:A:N", "1:1::~:2:5:~:20"});
    // The run as a process leaves it that is killed before its output is done.
    const int run = dm->PreparePrintData(QStringLiteral("R"), 1, false);
    const QString rowsSQL = QStringLiteral("select count(*) from Ausdruck where AusdruckID = %1").arg(run);
    const int rows = QueryInt(dm->Query2, rowsSQL);
    QVERIFY(rows > 0);
    if (owner == QLatin1String("ended"))
        exec(QStringLiteral("update AusdruckLauf set Prozess = %1").arg(EndedProcessId()));
    else if (owner.startsWith(QLatin1String("elsewhere")))
        exec(QStringLiteral("update AusdruckLauf set Rechner = 'buero-2'"));
    if (owner == QLatin1String("elsewhere, old"))
        exec(QStringLiteral("update AusdruckLauf set Beginn = '2026-01-05 09:00:00'"));
    if (owner == QLatin1String("unrecorded"))
        exec(QStringLiteral("drop table AusdruckLauf"));

    const QString file = dm->SQLiteDB1.FileName;
    if (byCommand) {
        dm->SQLiteDB1.Close();
        QString outText, errText;
        QTextStream out(&outText), err(&errText);
        QCOMPARE(RunPrintDataCommand({file, "R", "1"}, out, err), 0);
        dm->SQLiteDB1.Open();
    } else {
        dm->OpenDatabaseFile(file);
    }
    QCOMPARE(QueryInt(dm->Query2, rowsSQL), kept ? rows : 0);
    if (owner != QLatin1String("unrecorded"))
        QCOMPARE(QueryInt(dm->Query2, QStringLiteral("select count(*) from AusdruckLauf")), kept ? 1 : 0);
}

QTEST_GUILESS_MAIN(TestDruck)
#include "tst_druck.moc"
