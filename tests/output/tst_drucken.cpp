// The print run: where the layout rows put the elements and which of them
// show, the status and close question after the output, what a failing
// output leaves behind, the mail address check, and "quorvent --pdf".
#include "DruckAusgabe.h"
#include "FormTestHelpers.h"
#include "GlobalFunctions.h"
#include "QuorventFunctions.h"
#include "TReport.h"
#include "UDrucken.h"

#include <QCheckBox>
#include <QDir>
#include <QImage>
#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <QtTest>

namespace {

const QString CloseQuestion = QStringLiteral(
    "Soll %1 abgeschlossen werden? \r\nACHTUNG: Danach können keine Änderungen mehr gemacht werden!");

QString BuildDir() {
    return qEnvironmentVariable("QV_BUILD_DIR",
                                QCoreApplication::applicationDirPath() + QStringLiteral("/.."));
}

QString PdfText(const QString& pdf) {
    QProcess p;
    p.start(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), pdf, QStringLiteral("-")});
    p.waitForFinished(30000);
    return QString::fromUtf8(p.readAllStandardOutput());
}

} // namespace

class TestDrucken : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void letterheadAndLogos_data();
    void letterheadAndLogos();
    void layoutRows_data();
    void layoutRows();
    void unreadableLogo();
    void statusAndCloseQuestion_data();
    void statusAndCloseQuestion();
    void failedOutput_data();
    void failedOutput();
    void mail_data();
    void mail();
    void rememberedBoxes();
    void renderPdfFails();
    void pdfCommand_data();
    void pdfCommand();

private:
    TDatabaseFixture db;
    TDM* dm = nullptr;
    TDrucken* dialog = nullptr;
    int previews = 0;
    QList<QString> mails;
    TDrucken::TVersand mailResult;
    bool mailThrows = false;

    void exec(const QString& sql) { dm->SQLiteDB1.ExecSQL(sql); }
    int count(const QString& sql) { return QueryInt(dm->Query2, sql); }
    QString status(const QString& typ, int id) {
        dm->Query2.RunSQL(
            QStringLiteral("select Status from Kopf where KopfTyp = '%1' and KopfID = %2").arg(typ).arg(id));
        return dm->Query2.Fields(0)->AsString();
    }
    // A document with two positions for customer 10 (supplier 5 for a purchase order).
    void document(const QString& typ, int id, const QString& st = QStringLiteral("E")) {
        exec(QStringLiteral(
                 "insert into Kopf (KopfTyp,KopfID,Status,KundenID,KunGruID,Datum,DruDatID,Datum2,"
                 "SubkundenID,KopfBez,Netto,KopfTextVorPos,FussTextNachPos,KopfText,FussText) values "
                 "('%1',%2,'%3',%4,1,'2026-03-24 10:00:00',2,'2026-04-01 00:00:00',0,'Bad','N','N',"
                 "'N','Wir danken für Ihren Auftrag.','Fuss')")
                 .arg(typ)
                 .arg(id)
                 .arg(st)
                 .arg(typ == QLatin1String("B") ? 5 : 10));
        const QString k = QStringLiteral("'%1',%2").arg(typ).arg(id);
        exec("insert into PosDaten values (" + k + ",1,0,'Fliesen','Fliesen','N')");
        exec("insert into PosPreis values (" + k + ",1,1,null,null,3,2,10,0,20)");
        exec("insert into PosDaten values (" + k + ",2,0,'Silikon','Silikon','N')");
        exec("insert into PosPreis values (" + k + ",2,1,null,null,2,2,4.5,0,20)");
    }
    template <class T> T* w(const char* name) { return FindWidget<T>(dialog, name); }
    void tick(const char* box, bool on) { w<QCheckBox>(box)->setChecked(on); }
    void print(const QString& typ, int id) {
        dialog->prepare(typ, id);
        QTest::mouseClick(w<QPushButton>("BitBtnDrucken"), Qt::LeftButton);
    }
    void writeLogo(const QString& name) {
        QImage logo(40, 20, QImage::Format_RGB32);
        logo.fill(Qt::darkBlue);
        QVERIFY(logo.save(DataFolder() + name, "BMP"));
    }
};

void TestDrucken::initTestCase() {
    // Nothing here may reach a real printer.
    qputenv("CUPS_SERVER", "/nonexistent/cups.sock");
    PinGermanLocale();
    db.BuildTemplate([](TSQLiteDB& base) {
        base.ExecSQL(QStringLiteral(
            "insert into Kunde (KundenID,AnredeID,TitelID,Firma,Nachname,Vorname,Strasse,PLZ,Ort,LandID,"
            "KunGruID,Aktiv,KonzernID,HaendlerID,Email) values (10,4,3,'Alpen Bau','Berger','Hans',"
            "'Hauptstraße 1','6020','Innsbruck',2,1,'J',0,0,'hans@alpenbau.at')"));
        base.ExecSQL(QStringLiteral(
            "insert into Lieferant (LieferantenID,Firma,Strasse,PLZ,Ort,LandID,LieGruID,AnspAnredeID,"
            "AnspTitelID,AnspNachname,Aktiv,AnspEmail) values (5,'Holz AG','Waldweg 2','80331','München',3,1,"
            "4,1,'Huber','J','huber@holz.de')"));
        base.ExecSQL(QStringLiteral(
            "update Geschaeft set Name = 'Tischlerei Brenholm', PreisandruckenL = 'N', SkontoR = 'J', "
            "SkontoL = 'J', Skonto = 'Zahlbar innerhalb von 10 Tagen mit %1 Skonto (%2).', Skonto2 = "
            "'Zahlbar sofort netto.', BankName1 = 'Alpenbank', BankKonto1 = '12345', BLZ1 = '20111', "
            "IBAN1 = 'AT11', BIC1 = 'ALPBAT'"));
    });
    SetReportDefinitionFile(BuildDir() + QStringLiteral("/Quorvent.rav"));
    QVERIFY2(QFile::exists(ReportDefinitionFile()), qPrintable(ReportDefinitionFile()));
    TReport::PreviewRunner() = [this](QDialog&) { ++previews; };
    TDrucken::SendMail = [this](TReport& report, const QString& typ, int id, bool kopie,
                                bool anzeigen) -> TDrucken::TVersand {
        if (!report.IsOpen())
            qFatal("mail step without a report");
        mails << typ + QString::number(id) + (kopie ? QStringLiteral("+Kopie") : QString()) +
                     (anzeigen ? QStringLiteral("+Anzeigen") : QString());
        if (mailThrows)
            throw EReportError(QStringLiteral("Die Datei \"R6.pdf\" kann nicht geschrieben werden!"));
        return mailResult;
    };
}

void TestDrucken::init() {
    QVERIFY(db.Open());
    dm = db.dm;
    dialog = new TDrucken;
    previews = 0;
    mails.clear();
    mailResult = {true, true};
    mailThrows = false;
}

void TestDrucken::cleanup() {
    delete dialog;
    dialog = nullptr;
    db.Close();
}

// ---------------------------------------------------------------------------
// Placing the elements.

void TestDrucken::letterheadAndLogos_data() {
    QTest::addColumn<bool>("mitKopfFuss");
    QTest::addColumn<bool>("hide");
    QTest::newRow("letterhead printed") << true << true;
    QTest::newRow("letterhead left out") << false << true;
    QTest::newRow("letterhead left out, nothing marked") << false << false;
}

// With every row printed and marked alike, leaving the letterhead out hides
// exactly the marked elements of the letterhead and logo rule: the others
// keep what the definition says, the page number follows its row.
void TestDrucken::letterheadAndLogos() {
    QFETCH(bool, mitKopfFuss);
    QFETCH(bool, hide);
    writeLogo(QStringLiteral("Logo1.bmp"));
    writeLogo(QStringLiteral("Logo2.bmp"));
    exec(QStringLiteral("update DruckElement set Visible = 'Y', Hide = '%1'").arg(hide ? 'Y' : 'N'));

    TReport fresh, report;
    fresh.Open(ReportDefinitionFile());
    report.Open(ReportDefinitionFile());
    PlaceDruckElemente(*dm, report, mitKopfFuss, false);
    for (const TDruckElementRegel& r : DruckElementRegeln()) {
        const TReportElement* e = report.FindElement(DruckSeite, r.Element);
        QVERIFY2(e, qPrintable(r.Element));
        bool expected = fresh.FindElement(DruckSeite, r.Element)->Visible;
        if (r.Sichtbar == TDruckElementRegel::Briefkopf || r.Sichtbar == TDruckElementRegel::Logo)
            expected = mitKopfFuss || !hide;
        else if (r.Sichtbar == TDruckElementRegel::NurVisible)
            expected = true;
        QVERIFY2(e->Visible == expected, qPrintable(r.Element));
    }
    QCOMPARE(report.FindElement(DruckSeite, QStringLiteral("BitmapLogo2"))->PictureFile,
             DataFolder() + QStringLiteral("Logo2.bmp"));
}

void TestDrucken::layoutRows_data() {
    QTest::addColumn<QString>("update"); // statements on DruckElement, ";"-separated
    QTest::addColumn<bool>("logo1");
    QTest::addColumn<bool>("ohnePreis");
    QTest::addColumn<QStringList>("visible");
    QTest::addColumn<QStringList>("hidden");

    const QStringList totals{"HLineSumme", "TextMWSt", "TextNetto", "TextSteuer", "TextBrutto"};
    QTest::newRow("default rows: logo 2 and document name are off")
        << QString() << true << false
        << (QStringList{"BitmapLogo1", "DataTextName", "DataTextSkonto"} + totals)
        << QStringList{"BitmapLogo2", "DataTextDokName"};
    // Whatever row 4 says, a logo without its file is not printed; nor is a
    // logo whose row is on but whose file was removed.
    QTest::newRow("logo 1 without logo 2")
        << "update DruckElement set Visible = 'Y' where DEID in (3,4)" << true << false
        << QStringList{"BitmapLogo1"} << QStringList{"BitmapLogo2"};
    QTest::newRow("logo file removed")
        << QString() << false << false << QStringList{} << QStringList{"BitmapLogo1", "BitmapLogo2"};
    QTest::newRow("payment terms and footer text always, bank lines obey")
        << "update DruckElement set Visible = 'N' where DEID in (34,35,36,37)" << false << false
        << QStringList{"DataTextSkonto", "DataMemoFussText"} << QStringList{"DataTextBank", "DataTextIBAN"};
    QTest::newRow("page number and document name switched")
        << "update DruckElement set Visible = 'N' where DEID = 1;"
           "update DruckElement set Visible = 'Y' where DEID = 38"
        << false << false << QStringList{"DataTextDokName"} << QStringList{"DataTextSeite"};
    QTest::newRow("without prices") << QString() << false << true
                                    << QStringList{"DataTextBank", "DataMemoFussText"}
                                    << (totals + QStringList{"DataTextSkonto"});
}

void TestDrucken::layoutRows() {
    QFETCH(QString, update);
    QFETCH(bool, logo1);
    QFETCH(bool, ohnePreis);
    QFETCH(QStringList, visible);
    QFETCH(QStringList, hidden);
    if (logo1)
        writeLogo(QStringLiteral("Logo1.bmp"));
    for (const QString& sql : update.split(u';', Qt::SkipEmptyParts))
        exec(sql);
    exec(QStringLiteral("update DruckElement set Left = 7, Top = 3, Width = 33, Height = 5 where DEID = 20"));

    TReport report;
    report.Open(ReportDefinitionFile());
    PlaceDruckElemente(*dm, report, true, ohnePreis);
    for (const QString& name : visible)
        QVERIFY2(report.FindElement(DruckSeite, name)->Visible, qPrintable(name));
    for (const QString& name : hidden)
        QVERIFY2(!report.FindElement(DruckSeite, name)->Visible, qPrintable(name));

    // Millimetres become engine units; the address block takes no height.
    const double f = report.UnitsFactor();
    const TReportElement* address = report.FindElement(DruckSeite, QStringLiteral("DataMemoKunde"));
    QCOMPARE(address->Left * f, 7.0);
    QCOMPARE(address->Top * f, 3.0);
    QCOMPARE(address->Width * f, 33.0);
    QVERIFY(address->Height * f != 5.0);
    // The footer area: room it needs, where it is printed, its height.
    const TReportElement* footer = report.FindElement(DruckSeite, QStringLiteral("Band3"));
    QCOMPARE(footer->MinHeightLeft * f, 51.0);
    QCOMPARE(footer->PositionValue * f, 220.0);
    QCOMPARE(footer->Height * f, 51.0);
    QCOMPARE(report.FindElement(DruckSeite, QStringLiteral("Region1"))->Height * f, 271.0);
}

// A logo file that cannot be read is left out with a warning that names it;
// one whose row is not printed says nothing.
void TestDrucken::unreadableLogo() {
    for (const char* name : {"Logo1.bmp", "Logo2.bmp"}) {
        QFile file(DataFolder() + QLatin1String(name));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("BM kein Bild");
    }
    TReport report;
    report.Open(ReportDefinitionFile());
    PlaceDruckElemente(*dm, report, true, false);
    QVERIFY(!report.FindElement(DruckSeite, QStringLiteral("BitmapLogo1"))->Visible);
    QCOMPARE(db.messages->boxes.size(), 1);
    QCOMPARE(db.messages->boxes[0].kind, Messages::Warning);
    QVERIFY2(db.messages->lastText().contains(QStringLiteral("Logo1.bmp“ kann nicht gelesen werden")),
             qPrintable(db.messages->lastText()));
}

// ---------------------------------------------------------------------------
// The print run through the dialog.

void TestDrucken::statusAndCloseQuestion_data() {
    QTest::addColumn<QString>("typ");
    QTest::addColumn<QString>("before");
    QTest::addColumn<QList<int>>("answers");
    QTest::addColumn<bool>("asked");
    QTest::addColumn<QString>("after");

    const QList<int> no{Messages::No}, yes{Messages::Yes}, none;
    // Invoices of every kind and credit notes ask; other documents are simply printed.
    for (const auto& [tag, typ, before, answers, asked, after] :
         {std::tuple{"invoice printed, left open", "R", "E", no, true, "D"},
          {"invoice printed and closed", "R", "E", yes, true, "A"},
          {"printed invoice printed again", "R", "D", no, true, "D"},
          {"closed invoice", "R", "A", none, false, "A"},
          {"paid invoice", "R", "Z", none, false, "Z"},
          {"partial invoice", "T", "E", yes, true, "A"},
          {"cancellation invoice", "S", "E", yes, true, "A"},
          {"credit note", "G", "E", no, true, "D"},
          {"offer", "O", "E", none, false, "D"},
          {"purchase order", "B", "E", none, false, "D"}})
        QTest::newRow(tag) << QString::fromLatin1(typ) << QString::fromLatin1(before) << answers << asked
                           << QString::fromLatin1(after);
}

void TestDrucken::statusAndCloseQuestion() {
    QFETCH(QString, typ);
    QFETCH(QString, before);
    QFETCH(QList<int>, answers);
    QFETCH(bool, asked);
    QFETCH(QString, after);
    document(typ, 3, before);
    for (int a : answers)
        db.messages->answers.enqueue(Messages::Answer(a));

    print(typ, 3);

    QCOMPARE(previews, 1);
    QCOMPARE(db.messages->texts(),
             asked ? QStringList{CloseQuestion.arg(DokTypMitArtikel(typ))} : QStringList{});
    QCOMPARE(db.messages->unexpected, 0);
    QCOMPARE(status(typ, 3), after);
    QCOMPARE(count(QStringLiteral("select count(*) from Ausdruck")), 0);
}

void TestDrucken::failedOutput_data() {
    QTest::addColumn<QString>("cause");
    QTest::addColumn<QString>("message"); // a part of the error box

    QTest::newRow("definition missing") << "definition"
                                        << "Fehlt.rav";
    QTest::newRow("definition not readable") << "garbage"
                                             << "Kaputt.rav";
    QTest::newRow("no default printer") << "printer" << QString();
    QTest::newRow("recipient missing")
        << "recipient"
        << "Keine Daten zum Drucken gefunden! Evt. ist die Kundennummer nicht vorhanden!";
}

// A run whose output fails keeps the status, asks nothing and leaves no
// buffer rows behind; the user learns why.
void TestDrucken::failedOutput() {
    QFETCH(QString, cause);
    QFETCH(QString, message);
    document(QStringLiteral("R"), 4);
    const QString definition = ReportDefinitionFile();
    QTemporaryDir dir;
    if (cause == QLatin1String("definition"))
        SetReportDefinitionFile(dir.path() + QStringLiteral("/Fehlt.rav"));
    if (cause == QLatin1String("garbage")) {
        QFile f(dir.path() + QStringLiteral("/Kaputt.rav"));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("<reportdefinition><report name=");
        f.close();
        SetReportDefinitionFile(f.fileName());
    }
    if (cause == QLatin1String("printer"))
        tick("CBVorschau", false);
    if (cause == QLatin1String("recipient"))
        exec(QStringLiteral("update Kopf set KundenID = 99 where KopfTyp = 'R' and KopfID = 4"));

    print(QStringLiteral("R"), 4);
    SetReportDefinitionFile(definition);

    QCOMPARE(db.messages->boxes.size(), 1);
    QCOMPARE(db.messages->boxes[0].kind, Messages::Error);
    QVERIFY2(db.messages->boxes[0].text.contains(message), qPrintable(db.messages->boxes[0].text));
    QVERIFY(!db.messages->boxes[0].text.isEmpty());
    QCOMPARE(status(QStringLiteral("R"), 4), QStringLiteral("E"));
    QCOMPARE(previews, 0);
    QCOMPARE(count(QStringLiteral("select count(*) from Ausdruck")), 0);
    QVERIFY(count(QStringLiteral("select count(*) from PosPreis where KopfTyp = 'R' and KopfID = 4")) == 2);
}

void TestDrucken::mail_data() {
    QTest::addColumn<QString>("typ");
    QTest::addColumn<QString>("address");
    QTest::addColumn<bool>("vorschau");
    QTest::addColumn<QList<int>>("answers");
    QTest::addColumn<int>("mailWorks"); // 1 sent, 0 failed, -1 its PDF could not be written
    QTest::addColumn<QStringList>("boxes");
    QTest::addColumn<QStringList>("mailed");
    QTest::addColumn<QString>("after");

    const QString noAddress = QStringLiteral("Beim Kunden 10 ist keine gültige EMail-Adresse definiert!");
    const QString close = CloseQuestion.arg(QStringLiteral("die Rechnung"));
    const QString mailQuestion = QStringLiteral("Soll die Rechnung per Email versendet werden?");
    const QList<int> no{Messages::No};
    QTest::newRow("five characters") << "R"
                                     << "a@b.c" << false << QList<int>{} << 1 << QStringList{noAddress}
                                     << QStringList{} << "E";
    QTest::newRow("no @") << "R"
                          << "hans.alpenbau.at" << false << QList<int>{} << 1 << QStringList{noAddress}
                          << QStringList{} << "E";
    QTest::newRow("six characters, mailed only")
        << "R"
        << "a@b.de" << false << no << 1 << QStringList{close} << QStringList{"R6+Kopie"} << "D";
    QTest::newRow("purchase order to the supplier contact")
        << "B"
        << "" << false << QList<int>{} << 1 << QStringList{} << QStringList{"B6+Kopie"} << "D";
    QTest::newRow("supplier contact without address")
        << "B"
        << "null" << false << QList<int>{} << 1
        << QStringList{"Beim Ansprechpartner vom Lieferanten 5 ist keine gültige EMail-Adresse definiert!"}
        << QStringList{} << "E";
    QTest::newRow("preview, then no mail") << "R"
                                           << "" << true << QList<int>{Messages::No, Messages::No} << 1
                                           << QStringList{mailQuestion, close} << QStringList{} << "D";
    QTest::newRow("preview, then mail") << "R"
                                        << "" << true << QList<int>{Messages::Yes, Messages::No} << 1
                                        << QStringList{mailQuestion, close} << QStringList{"R6+Kopie"} << "D";
    QTest::newRow("preview, then show the mail first")
        << "R"
        << "" << true << QList<int>{Messages::Cancel, Messages::No} << 1 << QStringList{mailQuestion, close}
        << QStringList{"R6+Kopie+Anzeigen"} << "D";
    QTest::newRow("address garbled by a line break")
        << "R"
        << "hans@alpenbau.at' || char(13) || char(10) || 'RCPT TO:<x@evil.de>" << false << QList<int>{} << 1
        << QStringList{"Die EMail-Adresse \"hans@alpenbau.at  RCPT TO:<x@evil.de>\" beim Kunden 10 ist keine "
                       "gültige Adresse!"}
        << QStringList{} << "E";
    QTest::newRow("two addresses")
        << "R"
        << "hans@alpenbau.at, spion@evil.de" << false << QList<int>{} << 1
        << QStringList{"Die EMail-Adresse \"hans@alpenbau.at, spion@evil.de\" beim "
                       "Kunden 10 ist keine gültige Adresse!"}
        << QStringList{} << "E";
    // A mail that could not go out leaves the document as it was.
    QTest::newRow("mail failed") << "R"
                                 << "" << false << QList<int>{} << 0 << QStringList{}
                                 << QStringList{"R6+Kopie"} << "E";
    // The preview was shown: the document counts as printed whatever became of the mail.
    QTest::newRow("preview, then the PDF fails")
        << "R"
        << "" << true << QList<int>{Messages::Yes} << -1
        << QStringList{mailQuestion, "Die Datei \"R6.pdf\" kann nicht geschrieben werden!"}
        << QStringList{"R6+Kopie"} << "D";
}

void TestDrucken::mail() {
    QFETCH(QString, typ);
    QFETCH(QString, address);
    QFETCH(bool, vorschau);
    QFETCH(QList<int>, answers);
    QFETCH(int, mailWorks);
    QFETCH(QStringList, boxes);
    QFETCH(QStringList, mailed);
    QFETCH(QString, after);
    document(typ, 6);
    if (!address.isEmpty()) {
        const QString value = address == QLatin1String("null") ? address : u'\'' + address + u'\'';
        exec(typ == QLatin1String("B") ? QStringLiteral("update Lieferant set AnspEmail = ") + value
                                       : QStringLiteral("update Kunde set Email = ") + value);
    }
    for (int a : answers)
        db.messages->answers.enqueue(Messages::Answer(a));
    mailResult = mailWorks > 0 ? TDrucken::TVersand{true, true} : TDrucken::TVersand{false, false};
    mailThrows = mailWorks < 0;
    tick("CBVersand", true);
    tick("CBVorschau", vorschau);

    print(typ, 6);

    QCOMPARE(db.messages->texts(), boxes);
    QCOMPARE(db.messages->unexpected, 0);
    QCOMPARE(mails, mailed);
    QCOMPARE(previews, vorschau ? 1 : 0);
    QCOMPARE(status(typ, 6), after);
    QCOMPARE(count(QStringLiteral("select count(*) from Ausdruck")), 0);
}

// The boxes keep their ticks from one document to the next; the reminder
// box only shows for invoices and partial invoices and only counts there.
void TestDrucken::rememberedBoxes() {
    document(QStringLiteral("T"), 7);
    document(QStringLiteral("O"), 8);
    dialog->prepare(QStringLiteral("T"), 7);
    QCOMPARE(w<QLabel>("PTitel")->text(), QStringLiteral("   Drucken - Teilrechnung Nr. 7"));
    QVERIFY(!w<QCheckBox>("CBZE")->isHidden());
    tick("CBZE", true);
    tick("CBMitdrucken", false);
    QTest::mouseClick(w<QPushButton>("BitBtnDrucken"), Qt::LeftButton);
    QCOMPARE(dm->ReportParam(QStringLiteral("DokArt")), QStringLiteral("Zahlungserinnerung"));

    dialog->prepare(QStringLiteral("O"), 8);
    QCOMPARE(w<QLabel>("PTitel")->text(), QStringLiteral("   Drucken - Angebot Nr. 8"));
    QVERIFY(w<QCheckBox>("CBZE")->isHidden());
    QVERIFY(!w<QCheckBox>("CBMitdrucken")->isChecked());
    QTest::mouseClick(w<QPushButton>("BitBtnDrucken"), Qt::LeftButton);
    QCOMPARE(dm->ReportParam(QStringLiteral("DokArt")), QString());

    dialog->prepare(QStringLiteral("T"), 7);
    QVERIFY(w<QCheckBox>("CBZE")->isChecked());
    QCOMPARE(previews, 2);
}

// A PDF that cannot be made leaves neither buffer rows nor a half file
// behind, and an earlier file of that name as it was.
void TestDrucken::renderPdfFails() {
    document(QStringLiteral("R"), 2);
    QTemporaryDir outDir;
    const QString out = outDir.path() + QStringLiteral("/R2.pdf");
    {
        QFile earlier(out);
        QVERIFY(earlier.open(QIODevice::WriteOnly));
        earlier.write("earlier");
    }
    const QString definition = ReportDefinitionFile();
    SetReportDefinitionFile(outDir.path() + QStringLiteral("/Fehlt.rav"));
    QString error;
    try {
        RenderDocumentPdf(*dm, QStringLiteral("R"), 2, false, true, out);
    } catch (const EReportError& e) {
        error = e.message();
    }
    SetReportDefinitionFile(definition);
    QVERIFY2(error.contains(QStringLiteral("Fehlt.rav")), qPrintable(error));
    QCOMPARE(count(QStringLiteral("select count(*) from Ausdruck")), 0);
    QCOMPARE(QDir(outDir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"R2.pdf"});

    QVERIFY(RenderDocumentPdf(*dm, QStringLiteral("R"), 2, false, true, out));
    QFile pdf(out);
    QVERIFY(pdf.open(QIODevice::ReadOnly));
    QVERIFY(pdf.readAll().startsWith("%PDF"));
    QCOMPARE(count(QStringLiteral("select count(*) from Ausdruck")), 0);
    QCOMPARE(status(QStringLiteral("R"), 2), QStringLiteral("E"));
}

// ---------------------------------------------------------------------------
// quorvent --pdf

void TestDrucken::pdfCommand_data() {
    QTest::addColumn<QStringList>("args"); // DB and OUT stand for the files
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QStringList>("shown");
    QTest::addColumn<QStringList>("absent");

    QTest::newRow("invoice") << QStringList{"DB", "R", "1", "OUT"} << 0
                             << QStringList{"Alpen Bau", "RechnungsNr.", "Fliesen", "Gesamtsumme",
                                            "Alpenbank"}
                             << QStringList{"Zahlungserinnerung"};
    QTest::newRow("payment reminder") << QStringList{"DB", "r", "1", "OUT", "--reminder"} << 0
                                      << QStringList{"Zahlungserinnerung", "Gesamtsumme"} << QStringList{};
    QTest::newRow("delivery note without prices")
        << QStringList{"DB", "L", "1", "OUT"} << 0 << QStringList{"LieferscheinNr.", "Fliesen", "Silikon"}
        << QStringList{"Gesamtsumme", "EUR", "Alpenbank", "Zahlbar"};
    QTest::newRow("document missing") << QStringList{"DB", "R", "9", "OUT"} << 1
                                      << QStringList{"Keine Daten zum Drucken gefunden!"} << QStringList{};
    QTest::newRow("database missing")
        << QStringList{"DBx", "R", "1", "OUT"} << 1 << QStringList{"wurde nicht gefunden"} << QStringList{};
    QTest::newRow("output is the database")
        << QStringList{"DB", "R", "1", "DB"} << 1 << QStringList{"ist die Datenbankdatei"} << QStringList{};
    QTest::newRow("number missing") << QStringList{"DB", "R", "OUT"} << 1 << QStringList{"Aufruf:"}
                                    << QStringList{};
}

// The command renders what the dialog would, leaves the document, the buffer
// and the output folder as they were, and keeps an earlier file of the same
// name when it fails.
void TestDrucken::pdfCommand() {
    QFETCH(QStringList, args);
    QFETCH(int, exitCode);
    QFETCH(QStringList, shown);
    QFETCH(QStringList, absent);
    document(QStringLiteral("R"), 1);
    document(QStringLiteral("L"), 1);
    const QString file = dm->SQLiteDB1.FileName;
    QTemporaryDir outDir;
    const QString out = outDir.path() + QStringLiteral("/Beleg.pdf");
    {
        QFile earlier(out);
        QVERIFY(earlier.open(QIODevice::WriteOnly));
        earlier.write("earlier");
    }
    for (QString& a : args)
        a = a == QLatin1String("DB")    ? file
            : a == QLatin1String("DBx") ? file + u'x'
            : a == QLatin1String("OUT") ? out
                                        : a;

    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_DATA_HOME"), db.home->path());
    env.remove(QStringLiteral("QT_QPA_PLATFORM"));
    env.remove(QStringLiteral("DISPLAY"));
    p.setProcessEnvironment(env);
    p.start(BuildDir() + QStringLiteral("/quorvent"), QStringList{QStringLiteral("--pdf")} + args);
    QVERIFY(p.waitForFinished(60000));
    const QString err = QString::fromUtf8(p.readAllStandardError());
    QCOMPARE(p.exitCode(), exitCode);

    if (exitCode == 0) {
        QVERIFY2(err.isEmpty(), qPrintable(err));
        const QString text = PdfText(out);
        for (const QString& s : shown)
            QVERIFY2(text.contains(s), qPrintable(s + QStringLiteral(" missing in:\n") + text));
        for (const QString& s : absent)
            QVERIFY2(!text.contains(s), qPrintable(s + QStringLiteral(" shown in:\n") + text));
    } else {
        for (const QString& s : shown)
            QVERIFY2(err.contains(s), qPrintable(err));
        QFile earlier(out);
        QVERIFY(earlier.open(QIODevice::ReadOnly));
        QCOMPARE(earlier.readAll(), QByteArray("earlier"));
    }
    QCOMPARE(QDir(outDir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"Beleg.pdf"});
    QVERIFY(!QFile::exists(file + u'x'));
    QCOMPARE(status(QStringLiteral("R"), 1), QStringLiteral("E"));
    QCOMPARE(count(QStringLiteral("select count(*) from Ausdruck")), 0);
}

QTEST_MAIN(TestDrucken)
#include "tst_drucken.moc"
