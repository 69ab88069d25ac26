// The DATEV export read back field by field: every line of both files
// against the column rules of the format (type, length, allowed values,
// quoting, column count), the header, the bytes of the encoding, and the
// amount per revenue account against the revenue computed from the price
// lines; the refusals write no file; the marks ask before a second export and
// travel with a backup.
#include "DatabaseFixture.h"
#include "DatevExport.h"
#include "Sicherung.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTextStream>
#include <QtTest>

#include <cmath>

namespace {

struct TFeld {
    QByteArray wert;
    bool quoted = false;
};

// One CSV line of the file (without CR LF) into fields; text in quotes with
// doubled inner quotes.
QList<TFeld> Felder(const QByteArray& line) {
    QList<TFeld> out;
    TFeld f;
    bool inQuotes = false, afterQuote = false;
    for (qsizetype i = 0; i < line.size(); ++i) {
        const char c = line[i];
        if (inQuotes) {
            if (c == '"') {
                if (i + 1 < line.size() && line[i + 1] == '"') {
                    f.wert += '"';
                    ++i;
                } else {
                    inQuotes = false;
                    afterQuote = true;
                }
            } else {
                f.wert += c;
            }
        } else if (c == ';') {
            out << f;
            f = TFeld();
            afterQuote = false;
        } else if (c == '"' && f.wert.isEmpty() && !afterQuote) {
            inQuotes = true;
            f.quoted = true;
        } else {
            f.wert += c;
        }
    }
    out << f;
    return out;
}

// The lines of a file; every line must end in CR LF.
QList<QByteArray> Zeilen(const QByteArray& data) {
    if (!data.endsWith("\r\n") || data.count('\n') != data.count("\r\n") ||
        data.count('\r') != data.count('\n'))
        return {};
    QList<QByteArray> out;
    for (qsizetype at = 0; at < data.size();) {
        const qsizetype end = data.indexOf("\r\n", at);
        out << data.mid(at, end - at);
        at = end + 2;
    }
    return out;
}

struct TRegel {
    QString name;
    QString typ;
    int ganz = 0, dez = 0;
};

QList<TRegel> Regeln() {
    QList<TRegel> out;
    QFile f(QStringLiteral(QV_TEST_SOURCE_DIR "/datev/buchungsstapel-spalten.txt"));
    if (!f.open(QIODevice::ReadOnly))
        return out;
    for (const QString& line : QString::fromUtf8(f.readAll()).split(u'\n')) {
        if (line.isEmpty() || line.startsWith(u'#'))
            continue;
        const QStringList p = line.split(u';');
        TRegel r{p[1], p[2]};
        const QStringList l = p[3].split(u',');
        r.ganz = l[0].toInt();
        r.dez = l.size() > 1 ? l[1].toInt() : 0;
        out << r;
    }
    return out;
}

QStringList DebitorSpalten() {
    QFile f(QStringLiteral(QV_TEST_SOURCE_DIR "/datev/debitoren-spalten.txt"));
    if (!f.open(QIODevice::ReadOnly))
        return {};
    QStringList out;
    for (const QString& line : QString::fromUtf8(f.readAll()).split(u'\n'))
        if (!line.isEmpty() && !line.startsWith(u'#'))
            out << line;
    return out;
}

// Windows-1252 back to text for the checks of lengths and names.
QString Latin(const QByteArray& b) {
    QString s;
    for (const char c : b) {
        const uchar u = uchar(c);
        s += u == 0x80 ? QChar(0x20AC) : QChar(u);
    }
    return s;
}

bool GueltigesDatum(const QByteArray& v, bool mitJahr, int jahr = 2026) {
    if (v.size() != (mitJahr ? 8 : 4))
        return false;
    return QDate(mitJahr ? v.mid(4).toInt() : jahr, v.mid(2, 2).toInt(), v.left(2).toInt()).isValid();
}

} // namespace

class TestDatev : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init() {
        QVERIFY(db.Open());
        dm = db.dm;
        QVERIFY(out.isValid());
    }
    void cleanup() { db.Close(); }

    void exportReadBack();
    void refused_data();
    void refused();
    void kleinunternehmer();
    void secondExportAndCommand();

private:
    TDatabaseFixture db;
    TDM* dm = nullptr;
    QTemporaryDir out;

    void exec(const QString& sql) { dm->SQLiteDB1.ExecSQL(sql); }
    void document(const QString& typ, int id, int kunde, const QString& datum, const QString& status,
                  const QList<QPair<double, double>>& preise, bool netto = false,
                  const QString& ref = QString()) {
        exec(QStringLiteral(
                 "insert into Kopf "
                 "(KopfTyp,KopfID,Status,KundenID,KunGruID,Datum,DruDatID,Datum2,SubkundenID,Netto,Skonto,"
                 "RefTyp,RefID) values ('%1',%2,'%3',%4,1,'%5 09:00:00',1,'%5',0,'%6',0,%7,%8)")
                 .arg(typ)
                 .arg(id)
                 .arg(status)
                 .arg(kunde)
                 .arg(datum, netto ? QStringLiteral("J") : QStringLiteral("N"),
                      ref.isEmpty() ? QStringLiteral("null") : u'\'' + ref.left(1) + u'\'',
                      ref.isEmpty() ? QStringLiteral("null") : ref.mid(1)));
        exec(QStringLiteral("insert into PosDaten values ('%1',%2,1,0,'Arbeit','Arbeit','N')")
                 .arg(typ)
                 .arg(id));
        int n = 0;
        for (const auto& [wert, satz] : preise)
            exec(QStringLiteral("insert into PosPreis values ('%1',%2,1,%3,null,null,1,1,%4,0,%5)")
                     .arg(typ)
                     .arg(id)
                     .arg(++n)
                     .arg(wert)
                     .arg(satz));
    }
    TDatevEinstellungen settings() {
        TDatevEinstellungen e = LeseDatevEinstellungen(*dm);
        e.Berater = QStringLiteral("1001");
        e.Mandant = QStringLiteral("1");
        return e;
    }
    TDatevAuftrag auftrag(const QString& von = QStringLiteral("2026-03-01"),
                          const QString& bis = QStringLiteral("2026-03-31")) {
        TDatevAuftrag a;
        a.Von = QDate::fromString(von, Qt::ISODate);
        a.Bis = QDate::fromString(bis, Qt::ISODate);
        a.Ordner = out.path();
        return a;
    }
    QStringList files() const { return QDir(out.path()).entryList(QDir::Files | QDir::Hidden); }
    void clearFolder() {
        for (const QString& f : files())
            QFile::remove(out.path() + u'/' + f);
    }
    // Checks the whole booking file; returns the signed cents per revenue account.
    QMap<QString, qint64> checkBuchungsstapel(const QByteArray& data,
                                              const QString& skr = QStringLiteral("03"));
    void checkDebitoren(const QByteArray& data, const QStringList& konten);
};

void TestDatev::initTestCase() {
    PinGermanLocale();
    db.BuildTemplate([](TSQLiteDB& base) {
        const QString insert =
            QStringLiteral("insert into Kunde "
                           "(KundenID,AnredeID,TitelID,Firma,Nachname,Vorname,Strasse,PLZ,Ort,LandID,"
                           "KunGruID,Aktiv,KonzernID,HaendlerID,UIDNr) values (%1,1,1,%2,%3,%4,'Hauptstraße "
                           "1','50667','Köln',%5,1,'J',0,0,%6)");
        // LandID 2 Österreich, 3 Deutschland, 4 Schweiz.
        base.ExecSQL(insert.arg(10).arg(QStringLiteral("'Müller & \"Söhne\" GmbH'"),
                                        QStringLiteral("'Müller'"), QStringLiteral("'Jörg'"),
                                        QStringLiteral("3"), QStringLiteral("null")));
        base.ExecSQL(insert.arg(11).arg(QStringLiteral("null"), QStringLiteral("'Weber'"),
                                        QStringLiteral("'Anna'"), QStringLiteral("3"),
                                        QStringLiteral("null")));
        base.ExecSQL(insert.arg(12).arg(QStringLiteral("'Alpen Handel GmbH'"), QStringLiteral("null"),
                                        QStringLiteral("null"), QStringLiteral("2"),
                                        QStringLiteral("'ATU 12345678'")));
        base.ExecSQL(insert.arg(13).arg(QStringLiteral("'Berg AG'"), QStringLiteral("null"),
                                        QStringLiteral("null"), QStringLiteral("4"), QStringLiteral("null")));
        base.ExecSQL(QStringLiteral("insert into set_allg values ('FirmaLand', 'DE')"));
    });
}

QMap<QString, qint64> TestDatev::checkBuchungsstapel(const QByteArray& data, const QString& skr) {
    QMap<QString, qint64> summen;
    const QList<TRegel> regeln = Regeln();
    [&] { QCOMPARE(regeln.size(), 125); }();
    const QList<QByteArray> zeilen = Zeilen(data);
    [&] { QVERIFY2(zeilen.size() >= 3, "every line ends in CR LF, header + columns + bookings"); }();
    if (zeilen.size() < 3 || regeln.size() != 125)
        return summen;
    // The header: 31 fields with the values of a booking batch.
    const QList<TFeld> kopf = Felder(zeilen[0]);
    [&] {
        QCOMPARE(kopf.size(), 31);
        // "*": a value of the moment, checked below.
        const QStringList expected =
            QStringLiteral("\"EXTF\";700;21;\"Buchungsstapel\";13;*;;\"RE\";\"\";\"\";1001;1;20260101;4;"
                           "20260301;20260331;*;\"\";1;0;0;\"EUR\";;\"\";;;\"%1\";;;\"\";\"\"")
                .arg(skr)
                .split(u';');
        for (int i = 0; i < 31; ++i) {
            const QString got = kopf[i].quoted ? u'"' + Latin(kopf[i].wert) + u'"' : Latin(kopf[i].wert);
            if (expected[i] != u'*')
                QVERIFY2(got == expected[i],
                         qPrintable(QStringLiteral("header field %1: %2").arg(i + 1).arg(got)));
        }
        QVERIFY(QRegularExpression(QStringLiteral("^\\d{17}$")).match(Latin(kopf[5].wert)).hasMatch());
        QVERIFY(kopf[16].quoted && kopf[16].wert.size() <= 30 && !kopf[16].wert.isEmpty());
    }();
    // The column line: the names of the format, unquoted.
    [&] {
        const QList<TFeld> namen = Felder(zeilen[1]);
        QCOMPARE(namen.size(), 125);
        for (int i = 0; i < 125; ++i) {
            QVERIFY(!namen[i].quoted);
            QCOMPARE(Latin(namen[i].wert), regeln[i].name);
        }
    }();
    const QRegularExpression belegfeld(QStringLiteral("^[A-Za-z0-9$&%*+\\-/]*$"));
    const QRegularExpression ustid(QStringLiteral("^[A-Z]{2}[A-Z0-9+*]{2,13}$"));
    for (int z = 2; z < zeilen.size(); ++z) {
        const QList<TFeld> f = Felder(zeilen[z]);
        [&] {
            QCOMPARE(f.size(), 125);
            for (int i = 0; i < 125; ++i) {
                const TRegel& r = regeln[i];
                const QString what = QStringLiteral("line %1 column %2 (%3): %4")
                                         .arg(z + 1)
                                         .arg(i + 1)
                                         .arg(r.name, Latin(f[i].wert));
                const QByteArray& v = f[i].wert;
                for (const char c : v)
                    QVERIFY2(uchar(c) >= 0x20, qPrintable(what));
                if (r.typ == QLatin1String("Text")) {
                    QVERIFY2(f[i].quoted, qPrintable(what));
                    QVERIFY2(v.size() <= r.ganz, qPrintable(what));
                    continue;
                }
                QVERIFY2(!f[i].quoted, qPrintable(what));
                if (v.isEmpty()) {
                    QVERIFY2(i + 1 != 1 && i + 1 != 2 && i + 1 != 7 && i + 1 != 8 && i + 1 != 10,
                             qPrintable(what));
                    continue;
                }
                if (r.typ == QLatin1String("Datum")) {
                    QVERIFY2(GueltigesDatum(v, i + 1 != 10), qPrintable(what));
                    continue;
                }
                const QString muster =
                    r.typ == QLatin1String("Betrag") ? QStringLiteral("^\\d{1,%1},\\d{2}$").arg(r.ganz)
                    : r.typ == QLatin1String("Konto")
                        ? QStringLiteral("^[1-9]\\d{0,%1}$").arg(r.ganz - 1)
                        : QStringLiteral("^\\d{1,%1}(,\\d{1,%2})?$").arg(r.ganz).arg(r.dez);
                QVERIFY2(QRegularExpression(muster).match(Latin(v)).hasMatch(), qPrintable(what));
            }
            // Allowed values of the columns the export fills.
            QVERIFY(f[1].wert == "S" || f[1].wert == "H");
            QCOMPARE(f[2].wert, QByteArray("EUR"));
            QVERIFY(f[0].wert != "0,00");
            QCOMPARE(f[6].wert.size(), 5); // personal account: Sachkontenlänge + 1
            QCOMPARE(f[7].wert.size(), 4);
            QCOMPARE(f[8].wert, QByteArray()); // automatic accounts: no tax key
            QVERIFY(QDate(2026, f[9].wert.mid(2).toInt(), f[9].wert.left(2).toInt()) >= QDate(2026, 3, 1));
            QVERIFY(f[9].wert.mid(2).toInt() == 3);
            QVERIFY(!f[10].wert.isEmpty() && belegfeld.match(Latin(f[10].wert)).hasMatch());
            QVERIFY(belegfeld.match(Latin(f[11].wert)).hasMatch());
            QVERIFY(f[39].wert.isEmpty() || ustid.match(Latin(f[39].wert)).hasMatch());
        }();
        const qint64 cents = QByteArray(f[0].wert).replace(",", "").toLongLong();
        summen[Latin(f[7].wert)] += f[1].wert == "S" ? cents : -cents;
    }
    return summen;
}

void TestDatev::checkDebitoren(const QByteArray& data, const QStringList& konten) {
    const QList<QByteArray> zeilen = Zeilen(data);
    QCOMPARE(zeilen.size(), 2 + konten.size());
    const QList<TFeld> kopf = Felder(zeilen[0]);
    QCOMPARE(kopf.size(), 31);
    QCOMPARE(Latin(zeilen[0]).section(u';', 0, 4),
             QStringLiteral("\"EXTF\";700;16;\"Debitoren/Kreditoren\";5"));
    QCOMPARE(kopf[14].wert, QByteArray()); // no period in master data
    QCOMPARE(kopf[15].wert, QByteArray());
    QCOMPARE(kopf[26].wert, QByteArray("03"));
    const QStringList namen = DebitorSpalten();
    QCOMPARE(namen.size(), 254);
    QCOMPARE(Latin(zeilen[1]), namen.join(u';'));
    const QHash<int, int> laengen{{2, 50}, {4, 30},  {5, 30},  {7, 1},   {8, 15}, {9, 2},  {10, 13},
                                  {15, 3}, {16, 36}, {18, 10}, {19, 30}, {20, 2}, {99, 15}};
    for (int z = 2; z < zeilen.size(); ++z) {
        const QList<TFeld> f = Felder(zeilen[z]);
        QCOMPARE(f.size(), 254);
        QCOMPARE(Latin(f[0].wert), konten[z - 2]);
        QVERIFY(!f[0].quoted);
        QVERIFY(f[6].wert == "1" || f[6].wert == "2");
        // A person has surname and first name, a company its name, never both.
        QCOMPARE(f[6].wert == "2", !f[1].wert.isEmpty());
        QCOMPARE(f[6].wert == "1", !f[3].wert.isEmpty());
        for (int i = 1; i < 254; ++i) {
            if (laengen.contains(i + 1)) {
                QVERIFY(f[i].wert.size() <= laengen[i + 1]);
                QCOMPARE(f[i].quoted, !f[i].wert.isEmpty());
            } else {
                // Columns the program does not keep stay truly empty.
                QVERIFY2(f[i].wert.isEmpty() && !f[i].quoted, qPrintable(QString::number(i + 1)));
            }
        }
    }
}

void TestDatev::exportReadBack() {
    // Invoice with two rates, credit note on it, cancellation invoice,
    // intra-community supply, export, then what must stay out: a draft, an
    // offer, an invoice of April.
    document("R", 1, 10, "2026-03-05", "A", {{1000, 19}, {100, 7}, {50, 19}});
    document("G", 1, 10, "2026-03-20", "A", {{100, 19}}, false, "R1");
    document("R", 2, 11, "2026-03-12", "D", {{33.33, 7}});
    document("S", 1, 11, "2026-03-13", "Z", {{33.33, 7}}, false, "R2");
    document("R", 3, 12, "2026-03-14", "A", {{500, 19}}, true);
    document("T", 1, 13, "2026-03-31", "A", {{250.5, 0}}, true);
    document("R", 4, 10, "2026-03-15", "E", {{999, 19}});
    document("O", 1, 10, "2026-03-15", "A", {{999, 19}});
    document("R", 5, 10, "2026-04-01", "A", {{999, 19}});

    TDatevAuftrag a = auftrag();
    a.Jetzt = QDateTime(QDate(2026, 4, 1), QTime(9, 30, 15, 123));
    const TDatevErgebnis r = DatevExportieren(*dm, settings(), a);
    QVERIFY2(r.Ok, qPrintable(r.Fehler));
    QCOMPARE(r.Belege, 6);
    QCOMPARE(r.Buchungen, 7);
    QCOMPARE(files(), QStringList({QStringLiteral("EXTF_Buchungsstapel_20260301-20260331.csv"),
                                   QStringLiteral("EXTF_Debitoren_20260301-20260331.csv")}));
    QFile f(out.path() + QStringLiteral("/EXTF_Buchungsstapel_20260301-20260331.csv"));
    QVERIFY(f.open(QIODevice::ReadOnly));
    const QByteArray data = f.readAll();
    QCOMPARE(data, r.Buchungsstapel);
    const QMap<QString, qint64> summen = checkBuchungsstapel(data);

    // The revenue per account from the price lines, as the printout rounds:
    // the net of each rate to the cent, its VAT to the cent.
    const QHash<QString, QString> kontoFuer{{"R1", ""}, {"G1", ""},     {"R2", ""},
                                            {"S1", ""}, {"R3", "8125"}, {"T1", "8120"}};
    QMap<QString, qint64> erwartet;
    TSQLiteQuery q(&dm->SQLiteDB1);
    q.RunSQL(QStringLiteral("select P.KopfTyp, P.KopfID, P.MWStSatz, K.Netto, total(P.Menge*P.Wert) from "
                            "PosPreis P join Kopf K using (KopfTyp, KopfID) group by 1, 2, 3"));
    for (q.First(); !q.Eof(); q.Next()) {
        const QString beleg = q.Fields(0)->AsString() + QString::number(q.Fields(1)->AsLargeInt());
        if (!kontoFuer.contains(beleg))
            continue;
        const double satz = q.Fields(3)->AsString() == QLatin1String("J") ? 0 : q.Fields(2)->AsFloat();
        const double netto = q.Fields(4)->AsFloat();
        const qint64 brutto = std::llround(netto * 100) + std::llround(netto * satz);
        const int vorzeichen = beleg.startsWith(u'S') || beleg.startsWith(u'G') ? -1 : 1;
        const QString konto = !kontoFuer[beleg].isEmpty() ? kontoFuer[beleg]
                              : satz == 19                ? QStringLiteral("8400")
                                                          : QStringLiteral("8300");
        erwartet[konto] += vorzeichen * brutto;
    }
    QCOMPARE(summen, erwartet);
    QCOMPARE(erwartet.value("8400"), qint64(119000 + 5950 - 11900));

    // The lines as the advisor reads them, including the bytes of umlauts and quotes.
    const QList<QByteArray> zeilen = Zeilen(data);
    QVERIFY(zeilen[3].startsWith("1249,50;\"S\";\"EUR\";;;\"\";10010;8400;\"\";0503;\"RE1\";\"\";;\"RE1 19 % "
                                 "M\xfcller & \"\"S\xf6hne\"\" GmbH\";"));
    QVERIFY(zeilen[3].endsWith(";19032026;\"\";;\"\";\"\";;\"\";;"));
    QVERIFY(zeilen[2].startsWith("107,00;\"S\";\"EUR\";;;\"\";10010;8300;\"\";0503;\"RE1\";"));
    QVERIFY(zeilen[5].startsWith(
        "35,66;\"H\";\"EUR\";;;\"\";10011;8300;\"\";1303;\"SR1\";\"RE2\";;\"SR1 zu RE2 Anna Weber\";"));
    const QList<TFeld> igl = Felder(zeilen[6]);
    QCOMPARE(igl[6].wert, QByteArray("10012"));
    QCOMPARE(igl[39].wert, QByteArray("ATU12345678"));
    QCOMPARE(Felder(zeilen[8])[39].wert, QByteArray());
    QCOMPARE(Felder(zeilen[8])[116].wert, QByteArray("14042026")); // partial invoice: due after 14 days
    QCOMPARE(Felder(zeilen[5])[116].wert, QByteArray());           // no due date for a cancellation
    QVERIFY(zeilen[7].startsWith("119,00;\"H\";\"EUR\";;;\"\";10010;8400;\"\";2003;\"GS1\";\"RE1\";"));

    QFile d(out.path() + QStringLiteral("/EXTF_Debitoren_20260301-20260331.csv"));
    QVERIFY(d.open(QIODevice::ReadOnly));
    const QByteArray deb = d.readAll();
    checkDebitoren(deb, {"10010", "10011", "10012", "10013"});
    const QList<QByteArray> dz = Zeilen(deb);
    QVERIFY(dz[2].startsWith("10010;\"M\xfcller & \"\"S\xf6hne\"\" GmbH\";;;;;\"2\";\"M\xfcller & "
                             "\"\"S\xf6hne\";;;;;;;\"STR\";\"Hauptstra\xdf"
                             "e 1\";;\"50667\";\"K\xf6ln\";\"DE\";"));
    QVERIFY(dz[3].startsWith("10011;;;\"Weber\";\"Anna\";;\"1\";"));
    QVERIFY(
        dz[4].startsWith("10012;\"Alpen Handel GmbH\";;;;;\"2\";\"Alpen Handel Gm\";\"AT\";\"U12345678\";"));
    QCOMPARE(Felder(dz[5])[19].wert, QByteArray("CH"));
}

void TestDatev::refused_data() {
    QTest::addColumn<QString>("setup");
    QTest::addColumn<QString>("von");
    QTest::addColumn<QString>("bis");
    QTest::addColumn<QString>("reason");
    QTest::addColumn<QStringList>("fehlend");

    // "Ł" written by another program as UTF-8 reads as "Å" and an undefined byte.
    QTest::newRow("character outside Windows-1252")
        << "update Kunde set Firma = 'Å\u0081ukasz GmbH' where KundenID = 10"
        << "2026-03-01"
        << "2026-03-31"
        << "Kunde 10 (Å?ukasz GmbH): Die Anschrift enthält das Zeichen U+0081, das DATEV (Windows-1252) nicht"
        << QStringList();
    QTest::newRow("period across the fiscal year")
        << ""
        << "2026-12-01"
        << "2027-01-31"
        << "reicht über das Wirtschaftsjahr hinaus" << QStringList();
    QTest::newRow("fiscal year from July") << "insert into set_allg values ('DatevWJBeginn', '0701')"
                                           << "2026-06-01"
                                           << "2026-07-31"
                                           << "das am 01.07.2025 beginnt" << QStringList();
    QTest::newRow("rate without an account")
        << "update PosPreis set MWStSatz = 20"
        << "2026-03-01"
        << "2026-03-31"
        << "Für \"Umsatzsteuer 20 %\" ist kein Erlöskonto hinterlegt (Rechnung 1)" << QStringList{"20"};
    QTest::newRow("net invoice without the customer's VAT number")
        << "update Kopf set Netto = 'J'"
        << "2026-03-01"
        << "2026-03-31"
        << "Rechnung 1 (ohne Umsatzsteuer): Das Erlöskonto lässt sich nicht bestimmen; es fehlt: UID-Nummer "
           "des Kunden"
        << QStringList();
    QTest::newRow("net invoice, the company's country unknown")
        << "update Kopf set Netto = 'J'; delete from set_allg where AllgID = 'FirmaLand'"
        << "2026-03-01"
        << "2026-03-31"
        << "Rechnung 1 (ohne Umsatzsteuer): Das Erlöskonto lässt sich nicht bestimmen; es fehlt: das Land "
           "der Firma (Firmendaten/Andruck)."
        << QStringList();
    QTest::newRow("intra-community supply without a valid VAT number")
        << "update Kopf set Netto = 'J', KundenID = 12; update Kunde set UIDNr = 'AT-U1234' where KundenID = "
           "12"
        << "2026-03-01"
        << "2026-03-31"
        << "Rechnung 1 (innergemeinschaftliche Lieferung): Die UID-Nummer \"AT-U1234\" des Kunden 12 hat "
           "keine gültige Form."
        << QStringList();
    QTest::newRow("customer number beyond the debtor accounts")
        << "update Kopf set KundenID = 60000; update Kunde set KundenID = 60000 where KundenID = 10"
        << "2026-03-01"
        << "2026-03-31"
        << "Kunde 60000: Das Personenkonto 70000 liegt außerhalb" << QStringList();
}

void TestDatev::refused() {
    QFETCH(QString, setup);
    QFETCH(QString, von);
    QFETCH(QString, bis);
    QFETCH(QString, reason);
    QFETCH(QStringList, fehlend);
    clearFolder();
    document("R", 1, 10, "2026-03-05", "A", {{1000, 19}});
    document("R", 2, 10, "2026-06-05", "A", {{1000, 19}});
    document("R", 3, 10, "2026-12-05", "A", {{1000, 19}});
    for (const QString& sql : setup.split(QStringLiteral("; "), Qt::SkipEmptyParts))
        exec(sql);
    const TDatevErgebnis r = DatevExportieren(*dm, settings(), auftrag(von, bis));
    QVERIFY(!r.Ok);
    QVERIFY2(r.Fehler.contains(reason), qPrintable(r.Fehler));
    QCOMPARE(r.FehlendeKonten, fehlend);
    QCOMPARE(files(), QStringList());
    QCOMPARE(DatevBereitsExportiert(*dm, QDate(2026, 1, 1), QDate(2026, 12, 31)), 0);
}

void TestDatev::kleinunternehmer() {
    exec(QStringLiteral("insert into set_allg values ('Kleinunternehmer', 'J')"));
    document("R", 1, 10, "2026-03-05", "A", {{1000, 0}});
    document("R", 2, 12, "2026-03-06", "A", {{200, 19}}, true);
    TDatevEinstellungen e = settings();
    e.SKR = QStringLiteral("04");
    const TDatevErgebnis r = DatevErstellen(*dm, e, auftrag());
    QVERIFY2(r.Ok, qPrintable(r.Fehler));
    const QMap<QString, qint64> summen = checkBuchungsstapel(r.Buchungsstapel, QStringLiteral("04"));
    QCOMPARE(summen, (QMap<QString, qint64>{{QStringLiteral("4185"), 120000}}));
}

void TestDatev::secondExportAndCommand() {
    document("R", 1, 10, "2026-03-05", "A", {{1000, 19}});
    document("G", 1, 10, "2026-03-20", "A", {{100, 19}}, false, "R1");
    TDatevEinstellungen e = settings();
    e.BelegfeldRechnung = true;
    SpeichereDatevEinstellungen(*dm, e);
    const QString file = dm->SQLiteDB1.FileName;
    auto run = [&](const QString& database, QString* stdOut, QString* stdErr) {
        QTextStream o(stdOut), er(stdErr);
        return RunDatevCommand(
            {database, QStringLiteral("2026-03-01"), QStringLiteral("2026-03-31"), out.path()}, o, er);
    };
    QString o, er;
    QCOMPARE(run(file, &o, &er), 0);
    QCOMPARE(er, QString());
    QVERIFY2(
        o.startsWith(QStringLiteral("EXTF_Buchungsstapel_20260301-20260331.csv 2 Buchungen aus 2 Belegen")),
        qPrintable(o));
    QFile f(out.path() + QStringLiteral("/EXTF_Buchungsstapel_20260301-20260331.csv"));
    QVERIFY(f.open(QIODevice::ReadOnly));
    // The credit note clears the invoice: its number in Belegfeld 2.
    QVERIFY(f.readAll().contains("119,00;\"H\";\"EUR\";;;\"\";10010;8400;\"\";2003;\"RE1\";\"GS1\";"));
    f.close();

    // Marked: the command refuses a second export, on the backup copy too.
    QCOMPARE(DatevBereitsExportiert(*dm, QDate(2026, 3, 1), QDate(2026, 3, 31)), 2);
    const QString backup = db.home->path() + QStringLiteral("/kopie.DB");
    BackupDatabase(*dm, backup);
    for (const QString& database : {file, backup}) {
        o.clear();
        er.clear();
        QCOMPARE(run(database, &o, &er), 1);
        QVERIFY2(er.contains(QStringLiteral("bereits 2 Belege an DATEV exportiert")), qPrintable(er));
    }
    // Only what is new: a late invoice of the same month.
    document("R", 2, 11, "2026-03-31", "A", {{10, 7}});
    TDatevAuftrag a = auftrag();
    a.Umfang = TDatevUmfang::NurNeue;
    const TDatevErgebnis r = DatevExportieren(*dm, e, a);
    QVERIFY2(r.Ok, qPrintable(r.Fehler));
    QCOMPARE(r.Belege, 1);
    QCOMPARE(r.Kunden, 1);
    QCOMPARE(DatevBereitsExportiert(*dm, QDate(2026, 3, 1), QDate(2026, 3, 31)), 3);
    o.clear();
    er.clear();
    QTextStream os(&o), es(&er);
    QCOMPARE(RunDatevCommand({file, QStringLiteral("2026-03-01")}, os, es), 1);
    QVERIFY(er.startsWith(QStringLiteral("Aufruf: quorvent --datev")));
}

QTEST_GUILESS_MAIN(TestDatev)
#include "tst_datev.moc"
