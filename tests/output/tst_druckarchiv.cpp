// An issued document prints as issued: once an invoice is closed (by the
// print run's close question, by saving its header, or in a file older than
// this keeping), changes to its customer, the company or a unit no longer
// reach its preview, printout, PDF, mail or e-invoice.
#include "Datenaustausch.h"
#include "DruckAusgabe.h"
#include "EInvoiceArchiv.h"
#include "FormTestHelpers.h"
#include "TReport.h"
#include "UDrucken.h"

#include <QCheckBox>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

namespace {

QString BuildDir() {
    return qEnvironmentVariable("QV_BUILD_DIR",
                                QCoreApplication::applicationDirPath() + QStringLiteral("/.."));
}

} // namespace

class TestDruckArchiv : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void issuedStaysIssued_data();
    void issuedStaysIssued();

private:
    void exec(const QString& sql) { dm->SQLiteDB1.ExecSQL(sql); }
    // Everything the report is given for R 4: parameters, letterhead and rows.
    QString printed(bool reminder = false) {
        const int run = dm->PreparePrintData(QStringLiteral("R"), 4, reminder);
        if (run == 0)
            return QStringLiteral("refused");
        QStringList out;
        for (const QString& name : TDM::ReportParamNames())
            out << name + u'=' + dm->ReportParam(name);
        out << dm->QueryRv8.FieldByName(QStringLiteral("Name"))->AsString();
        TSQLiteQuery& rows = dm->QueryRv9;
        for (rows.First(); !rows.Eof(); rows.Next())
            for (int i = 2; i < rows.FieldCount(); ++i)
                out << rows.Fields(i)->AsString();
        rows.Close();
        dm->DeletePrintData(run);
        return out.join(u'\n');
    }
    QByteArray xml() {
        QString fehler;
        const QByteArray x = IssuedEInvoice(*dm, QStringLiteral("R"), 4, &fehler);
        if (x.isEmpty())
            qWarning("%s", qPrintable(fehler));
        return x;
    }
    // Runs "quorvent <args>" on the database; its exit code.
    int command(const QStringList& args) {
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("XDG_DATA_HOME"), db.home->path());
        p.setProcessEnvironment(env);
        p.start(BuildDir() + QStringLiteral("/quorvent"), args);
        p.waitForFinished(60000);
        if (p.exitCode() != 0)
            qWarning("%s", p.readAllStandardError().constData());
        return p.exitCode();
    }

    TDatabaseFixture db;
    TDM* dm = nullptr;
};

void TestDruckArchiv::initTestCase() {
    qputenv("CUPS_SERVER", "/nonexistent/cups.sock");
    PinGermanLocale();
    InstallEInvoiceArchiv();
    db.BuildTemplate([](TSQLiteDB& base) {
        base.ExecSQL(QStringLiteral("insert into set_allg values ('FirmaLand', 'AT')"));
        base.ExecSQL(QStringLiteral(
            "update Geschaeft set Name = 'Tischlerei Brenholm', Strasse = 'Ringstraße 5', PLZ = '1010', Ort "
            "= "
            "'Wien', UIDNr = 'ATU12345678', Email = 'office@brenholm.at', IBAN1 = 'AT61 1904 3002 3457 "
            "3201', BIC1 = 'BKAUATWW'"));
        base.ExecSQL(QStringLiteral(
            "insert into Kunde (KundenID,AnredeID,TitelID,Firma,Nachname,Vorname,Strasse,PLZ,Ort,LandID,"
            "KunGruID,Aktiv,KonzernID,HaendlerID,UIDNr,Email) values (10,1,1,'Alpen Bau GmbH','Berger',"
            "'Hans','Hauptstraße 1','6020','Innsbruck',2,1,'J',0,0,'ATU99999999','einkauf@alpenbau.at')"));
        base.ExecSQL(QStringLiteral(
            "insert into Kopf (KopfTyp,KopfID,Status,KundenID,KunGruID,Datum,DruDatID,Datum2,SubkundenID,"
            "Netto,KopfTextVorPos,FussTextNachPos) values ('R',4,'E',10,1,'2026-03-24 10:00:00',1,"
            "'2026-03-24 10:00:00',0,'N','N','N')"));
        base.ExecSQL(QStringLiteral("insert into PosDaten values ('R',4,1,0,'Fliesen','Fliesen','N')"));
        base.ExecSQL(QStringLiteral("insert into PosPreis values ('R',4,1,1,null,null,3,2,19.99,10,20)"));
    });
    SetReportDefinitionFile(BuildDir() + QStringLiteral("/Quorvent.rav"));
    TReport::PreviewRunner() = [](QDialog&) {};
}

void TestDruckArchiv::init() {
    QVERIFY(db.Open());
    dm = db.dm;
}

void TestDruckArchiv::cleanup() {
    db.Close();
}

void TestDruckArchiv::issuedStaysIssued_data() {
    QTest::addColumn<QString>("closing");
    QTest::addColumn<QString>("change");
    QTest::addColumn<QString>("was");
    QTest::addColumn<QString>("now");
    QTest::newRow("closed after printing, customer moved in the form") << "print"
                                                                       << "form"
                                                                       << "Hauptstraße 1"
                                                                       << "Neue Gasse 9";
    QTest::newRow("closed in the header, customer moved by a CSV import") << "header"
                                                                          << "csv"
                                                                          << "Hauptstraße 1"
                                                                          << "Neue Gasse 9";
    QTest::newRow("closed in an older file, company and unit renamed") << "older file"
                                                                       << "company"
                                                                       << "Tischlerei Brenholm"
                                                                       << "Holzbau Brenholm";
}

void TestDruckArchiv::issuedStaysIssued() {
    QFETCH(QString, closing);
    QFETCH(QString, change);
    QFETCH(QString, was);
    QFETCH(QString, now);

    if (closing == QLatin1String("print")) {
        TDrucken dialog;
        dialog.prepare(QStringLiteral("R"), 4);
        FindWidget<QCheckBox>(&dialog, "CBVorschau")->setChecked(true);
        db.messages->answers.enqueue(Messages::Yes);
        FindWidget<QPushButton>(&dialog, "BitBtnDrucken")->click();
    } else if (closing == QLatin1String("header")) {
        TSQLiteTable& kopf = dm->TableKopf;
        kopf.Open();
        QVERIFY(kopf.Locate(QStringLiteral("KopfTyp;KopfID"), QVariantList{QStringLiteral("R"), 4}));
        kopf.Edit();
        kopf.FieldByName(QStringLiteral("Status"))->SetAsString(QStringLiteral("A"));
        kopf.Post();
    } else {
        exec(QStringLiteral("update Kopf set Status = 'A' where KopfTyp = 'R' and KopfID = 4"));
    }
    QCOMPARE(QueryInt(dm->Query2, "select count(*) from Kopf where Status = 'A'"), 1);
    // What went out first: the preview and the e-invoice of the issued invoice.
    const QString issued = printed();
    const QByteArray issuedXml = xml();
    QVERIFY(issued.contains(was));
    QVERIFY(!issuedXml.isEmpty());

    if (change == QLatin1String("form")) {
        TSQLiteTable& kunde = dm->TableKunde;
        kunde.Open();
        QVERIFY(kunde.Locate(QStringLiteral("KundenID"), 10));
        kunde.Edit();
        kunde.FieldByName(QStringLiteral("Strasse"))->SetAsString(now);
        kunde.Post();
    } else if (change == QLatin1String("csv")) {
        const QByteArray file = ExportCSV(*dm, TAustauschArt::Kunden).replace(was.toUtf8(), now.toUtf8());
        QVERIFY(ImportCSV(*dm, TAustauschArt::Kunden, file, true, true).Ausgefuehrt);
    } else {
        exec(QStringLiteral("update Geschaeft set Name = '%1'").arg(now));
        exec(QStringLiteral("update Einheit set EinheitBez = 'Stk.neu' where EinheitID = 2"));
    }
    // A payment reminder is a new letter to the customer of today.
    QVERIFY(printed(true).contains(now));

    QCOMPARE(printed(), issued);
    QCOMPARE(xml(), issuedXml);
    QCOMPARE(db.messages->unexpected, 0);

    // The maintenance commands read the same kept data.
    QTemporaryDir out;
    const QString file = dm->SQLiteDB1.FileName;
    QCOMPARE(command({QStringLiteral("--einvoice"), file, QStringLiteral("R"), QStringLiteral("4"),
                      out.filePath(QStringLiteral("R4.xml"))}),
             0);
    QFile exported(out.filePath(QStringLiteral("R4.xml")));
    QVERIFY(exported.open(QIODevice::ReadOnly));
    QCOMPARE(exported.readAll(), issuedXml);
    QCOMPARE(command({QStringLiteral("--pdf"), file, QStringLiteral("R"), QStringLiteral("4"),
                      out.filePath(QStringLiteral("R4.pdf"))}),
             0);
    QProcess text;
    text.start(QStringLiteral("pdftotext"), {out.filePath(QStringLiteral("R4.pdf")), QStringLiteral("-")});
    QVERIFY(text.waitForFinished(30000));
    const QString pdf = QString::fromUtf8(text.readAllStandardOutput());
    QVERIFY2(pdf.contains(was) && !pdf.contains(now), qPrintable(pdf));
}

QTEST_MAIN(TestDruckArchiv)
#include "tst_druckarchiv.moc"
