// The general settings page: what it shows, and what "Speichern" does with
// the database file, the connection and the settings.
#include "GlobalFunctions.h"
#include "IniFile.h"
#include "TestSupport.h"
#include "UDM.h"
#include "UEinAllg.h"

#include <QtTest>

#include <QCheckBox>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>

class TestEinAllg : public QObject {
    Q_OBJECT

    std::unique_ptr<TempDataHome> FHome;
    std::unique_ptr<ScriptedMessages> FMessages;
    std::unique_ptr<TDM> FDM;
    std::unique_ptr<TEinAllg> FPage;

    template <class T> T* Child(const char* name) {
        T* w = FPage->findChild<T*>(QLatin1String(name));
        if (!w)
            qFatal("no widget %s", name);
        return w;
    }
    QLineEdit* Edit(const char* name) { return Child<QLineEdit>(name); }
    void Save() { QTest::mouseClick(Child<QPushButton>("BitBtnSpeichern"), Qt::LeftButton); }
    QString DefaultDB() const { return FHome->dataFolder() + QStringLiteral("Quorvent.DB"); }
    QString IniDB() const {
        return ReadIniString(TDM::SettingsFileName(), QStringLiteral("Database"), QStringLiteral("DBFile"));
    }
    // A second, complete database beside the first.
    QString OtherDatabase() {
        const QString file = FHome->dataFolder() + QStringLiteral("Zweite.DB");
        TDM other;
        other.OpenDatabaseFile(file);
        other.SQLiteDB1.Close();
        DM = FDM.get();
        return file;
    }
    // The set_allg value of a database file, read by a data module of its own.
    static QString StoredIn(const QString& file, const QString& key) {
        TDM reader;
        reader.SQLiteDB1.FileName = file;
        reader.SQLiteDB1.Open();
        reader.Query1.RunSQL(QStringLiteral("select AllgWert from set_allg where AllgID = '") + key +
                             QStringLiteral("'"));
        const QString value = reader.Query1.IsEmpty()
                                  ? QStringLiteral("<keine Zeile>")
                                  : (reader.Query1.Fields(0)->IsNull() ? QStringLiteral("<NULL>")
                                                                       : reader.Query1.Fields(0)->AsString());
        reader.SQLiteDB1.Close();
        return value;
    }
    void FillMail(const QString& host, const QString& user, const QString& pw, bool auth, bool window) {
        Edit("EditMailHost")->setText(host);
        Edit("EditMailUser")->setText(user);
        Edit("EditMailPW")->setText(pw);
        Child<QCheckBox>("CBMailAuth")->setChecked(auth);
        Child<QCheckBox>("CBWindow")->setChecked(window);
    }

private slots:
    void init() {
        FHome = std::make_unique<TempDataHome>();
        FMessages = std::make_unique<ScriptedMessages>();
        FDM = std::make_unique<TDM>();
        FDM->ConnectDatabase();
        QVERIFY(!FDM->ConnectFailed);
        FPage = std::make_unique<TEinAllg>();
    }
    void cleanup() {
        QCOMPARE(FMessages->unexpected, 0);
        FPage.reset();
        FDM.reset();
        FMessages.reset();
        FHome.reset();
    }

    void showsStored_data();
    void showsStored();
    void saveSwitchesDatabase_data();
    void saveSwitchesDatabase();
    void failedReconnectKeepsOldDatabase();
    void passwordKeptAsTyped_data();
    void passwordKeptAsTyped();
    void mailFieldsFitTheirColumn();
    void fileChooser();
};

void TestEinAllg::showsStored_data() {
    QTest::addColumn<QStringList>("rows");   // key=value written before showing; value NULL for NULL
    QTest::addColumn<QStringList>("fields"); // host, user, password, certificate file
    QTest::addColumn<bool>("auth");
    QTest::addColumn<bool>("window");
    QTest::newRow("new database") << QStringList() << QStringList({"", "", "", ""}) << false << true;
    QTest::newRow("stored settings")
        << QStringList({"MailHost=mail.brenholm.de:587", "MailUser=buero", "MailPW=geheim", "MailAuth=J",
                        "StoreWindow=N", "MailCAFile=/etc/ssl/firma.pem"})
        << QStringList({"mail.brenholm.de:587", "buero", "geheim", "/etc/ssl/firma.pem"}) << true << false;
    QTest::newRow("only exactly J ticks")
        << QStringList({"MailAuth=j", "StoreWindow=Ja"}) << QStringList({"", "", "", ""}) << false << false;
    QTest::newRow("NULL values") << QStringList({"MailHost=NULL", "StoreWindow=NULL"})
                                 << QStringList({"", "", "", ""}) << false << false;
}

void TestEinAllg::showsStored() {
    QFETCH(QStringList, rows);
    QFETCH(QStringList, fields);
    for (const QString& row : rows)
        FDM->SetAllg(row.section(u'=', 0, 0), row.section(u'=', 1));
    QVERIFY(FPage->ShowPage());
    QCOMPARE(Edit("EditDB")->text(), DefaultDB());
    QCOMPARE(Edit("EditMailHost")->text(), fields[0]);
    QCOMPARE(Edit("EditMailUser")->text(), fields[1]);
    QCOMPARE(Edit("EditMailPW")->text(), fields[2]);
    QCOMPARE(Edit("EditMailCAFile")->text(), fields[3]);
    QCOMPARE(Edit("EditMailHost")->toolTip(), QStringLiteral("Server oder Server:Port"));
    QTEST(Child<QCheckBox>("CBMailAuth")->isChecked(), "auth");
    QTEST(Child<QCheckBox>("CBWindow")->isChecked(), "window");
}

void TestEinAllg::saveSwitchesDatabase_data() {
    QTest::addColumn<bool>("otherFile");
    QTest::newRow("unchanged path reconnects to the same file") << false;
    QTest::newRow("another database becomes the program's") << true;
}

void TestEinAllg::saveSwitchesDatabase() {
    QFETCH(bool, otherFile);
    const QString target = otherFile ? OtherDatabase() : DefaultDB();
    QVERIFY(FPage->ShowPage());
    // A row left in the open dataset must not survive the reconnect unnoticed.
    FDM->Query2.RunSQL(QStringLiteral("select * from set_allg"));
    Edit("EditDB")->setText(target);
    FillMail(QStringLiteral("  smtp.brenholm.de  "), QStringLiteral("buero"), QStringLiteral("geheim"), true,
             false);
    Edit("EditMailCAFile")->setText(QStringLiteral("/home/buero/Firmen-CA.pem"));
    Save();
    QVERIFY2(FMessages->boxes.isEmpty(), qPrintable(FMessages->texts().join(u'\n')));
    QVERIFY(FDM->SQLiteDB1.Connected());
    QCOMPARE(FDM->SQLiteDB1.FileName, target);
    QVERIFY(!FDM->Query2.Active());
    QCOMPARE(IniDB(), target);
    // Trimmed like every setting; the password as typed.
    QCOMPARE(FDM->GetAllg(QStringLiteral("MailHost")), QStringLiteral("smtp.brenholm.de"));
    QCOMPARE(FDM->GetAllg(QStringLiteral("MailUser")), QStringLiteral("buero"));
    QCOMPARE(FDM->GetAllg(QStringLiteral("MailPW")), QStringLiteral("geheim"));
    QCOMPARE(FDM->GetAllg(QStringLiteral("MailAuth")), QStringLiteral("J"));
    QCOMPARE(FDM->GetAllg(QStringLiteral("MailCAFile")), QStringLiteral("/home/buero/Firmen-CA.pem"));
    QCOMPARE(FDM->GetAllg(QStringLiteral("StoreWindow")), QStringLiteral("N"));
    if (otherFile) {
        // The first database keeps what it had.
        QCOMPARE(StoredIn(DefaultDB(), QStringLiteral("MailHost")), QStringLiteral("<keine Zeile>"));
        QCOMPARE(StoredIn(DefaultDB(), QStringLiteral("StoreWindow")), QStringLiteral("J"));
    }
    // The next start opens the chosen file.
    TDM next;
    next.ConnectDatabase();
    QCOMPARE(next.SQLiteDB1.FileName, target);
    DM = FDM.get();
}

void TestEinAllg::failedReconnectKeepsOldDatabase() {
    // A file that exists but is no database: the existence check lets it
    // pass, connecting fails.
    const QString broken = FHome->dataFolder() + QStringLiteral("Kaputt.DB");
    {
        QFile f(broken);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(QByteArray(4096, 'x'));
    }
    const QString missing = FHome->dataFolder() + QStringLiteral("Fehlt.DB");
    FDM->SetAllg(QStringLiteral("MailHost"), QStringLiteral("alt.example.de"));
    QVERIFY(FPage->ShowPage());
    FillMail(QStringLiteral("neu.example.de"), QStringLiteral("neu"), QStringLiteral("neu"), true, false);

    Edit("EditDB")->setText(missing);
    Save();
    QCOMPARE(FMessages->texts(), QStringList({QStringLiteral("Die angegebene Datenbank existiert nicht!")}));
    QCOMPARE(FMessages->boxes.last().kind, Messages::Error);
    QVERIFY(!QFile::exists(TDM::SettingsFileName()));
    // A name that exists nowhere stays in the field to be mended.
    QCOMPARE(Edit("EditDB")->text(), missing);

    FMessages->clear();
    Edit("EditDB")->setText(broken);
    Save();
    QCOMPARE(FMessages->boxes.size(), 1);
    QVERIFY2(FMessages->lastText().startsWith(QStringLiteral("Fehler beim Verbinden zur Datenbank!")),
             qPrintable(FMessages->lastText()));
    // Back on the old database, which got none of the new settings.
    QCOMPARE(IniDB(), DefaultDB());
    QVERIFY(FDM->SQLiteDB1.Connected());
    QCOMPARE(FDM->SQLiteDB1.FileName, DefaultDB());
    QCOMPARE(Edit("EditDB")->text(), DefaultDB());
    QCOMPARE(FDM->GetAllg(QStringLiteral("MailHost")), QStringLiteral("alt.example.de"));
    QCOMPARE(FDM->GetAllg(QStringLiteral("MailUser")), QString());
    QCOMPARE(FDM->GetAllg(QStringLiteral("StoreWindow")), QStringLiteral("J"));
    QCOMPARE(QFileInfo(broken).size(), qint64(4096));
}

void TestEinAllg::passwordKeptAsTyped_data() {
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("stored");
    QTest::newRow("leading blank") << " geheim"
                                   << " geheim";
    QTest::newRow("trailing blanks") << "geheim  "
                                     << "geheim  ";
    QTest::newRow("apostrophe") << "O'Neil's"
                                << "O'Neil's";
    QTest::newRow("the word NULL") << "NULL"
                                   << "NULL";
    QTest::newRow("empty is no password") << ""
                                          << "<NULL>";
    QTest::newRow("umlauts") << "Grüße§ß"
                             << "Grüße§ß";
}

void TestEinAllg::passwordKeptAsTyped() {
    QFETCH(QString, typed);
    QFETCH(QString, stored);
    FDM->SetAllg(QStringLiteral("MailPW"), QStringLiteral("vorher"));
    QVERIFY(FPage->ShowPage());
    Edit("EditMailPW")->setText(typed);
    Save();
    QVERIFY(FMessages->boxes.isEmpty());
    QCOMPARE(StoredIn(DefaultDB(), QStringLiteral("MailPW")), stored);
    // Shown again, and handed to the transport, exactly as typed.
    QVERIFY(FPage->ShowPage());
    QCOMPARE(Edit("EditMailPW")->text(), typed);
}

void TestEinAllg::mailFieldsFitTheirColumn() {
    QVERIFY(FPage->ShowPage());
    const QString longText = QStringLiteral("abcdefghijklmnopqrstuvwxyz0123456789");
    for (const char* name : {"EditMailHost", "EditMailUser", "EditMailPW"}) {
        Edit(name)->clear();
        QTest::keyClicks(Edit(name), longText);
    }
    Save();
    // What the field shows is what is stored and read back: nothing cut on the way.
    for (const char* key : {"MailHost", "MailUser", "MailPW"})
        QCOMPARE(FDM->GetAllg(QLatin1String(key)), longText.left(30));
}

void TestEinAllg::fileChooser() {
    QVERIFY(FPage->ShowPage());
    QString offered;
    TEinAllg::ChooseDatabaseFile = [&offered](QWidget*, const QString& current) {
        offered = current;
        return QStringLiteral("/daten/Firma.DB");
    };
    QTest::mouseClick(Child<QPushButton>("BitBtnDB"), Qt::LeftButton);
    QCOMPARE(offered, DefaultDB());
    QCOMPARE(Edit("EditDB")->text(), QStringLiteral("/daten/Firma.DB"));
    TEinAllg::ChooseDatabaseFile = [](QWidget*, const QString&) { return QString(); };
    QTest::mouseClick(Child<QPushButton>("BitBtnDB"), Qt::LeftButton);
    QCOMPARE(Edit("EditDB")->text(), QStringLiteral("/daten/Firma.DB"));
    // The certificate is chosen the same way.
    TEinAllg::ChooseCertificateFile = [&offered](QWidget*, const QString& current) {
        offered = current;
        return QStringLiteral("/daten/Firmen-CA.pem");
    };
    QTest::mouseClick(Child<QPushButton>("BitBtnMailCAFile"), Qt::LeftButton);
    QCOMPARE(offered, QString());
    QCOMPARE(Edit("EditMailCAFile")->text(), QStringLiteral("/daten/Firmen-CA.pem"));
    // Choosing alone saves nothing.
    QVERIFY(!QFile::exists(TDM::SettingsFileName()));
}

QTEST_MAIN(TestEinAllg)
#include "tst_einallg.moc"
