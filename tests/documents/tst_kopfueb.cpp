// The document overview and the copy dialog through their widgets: the
// digits-only filters, the pickers, the list repositioned after the header
// form, delete from the page, and copying with the dialog's controls.
#include "FormTestHelpers.h"
#include "TDBGrid.h"
#include "UKopfUeb.h"
#include "UKopieren.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QToolButton>
#include <QtTest>

class TestKopfUebForm : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        PinGermanLocale();
        db.BuildTemplate([](TSQLiteDB& base) {
            auto exec = [&base](const QString& sql) { base.ExecSQL(sql); };
            for (const char* row : {"5,'Kessler',0", "6,'Tochter',5"})
                exec(QStringLiteral(
                         "insert into Kunde (KundenID,Firma,KonzernID,AnredeID,TitelID,LandID,KunGruID,"
                         "Aktiv,HaendlerID) values (%1,1,1,1,1,'J',0)")
                         .arg(QString::fromUtf8(row)));
            // A few hundred documents, so the page is seen as a user with some history sees it.
            const char* types = "OALRTSGB";
            for (int i = 1; i <= 300; ++i) {
                const char t = types[i % 8];
                exec(QStringLiteral(
                         "insert into Kopf (KopfTyp,KopfID,KundenID,KunGruID,KopfBez,Status,Datum,"
                         "DruDatID,SubkundenID) values ('%1',%2,%3,1,'%4 %2','%5','2024-%6-%7 10:00:00',"
                         "1,0)")
                         .arg(QLatin1Char(t))
                         .arg(i)
                         .arg(t == 'B' ? 0 : 5 + i % 2)
                         .arg(i % 3 ? QStringLiteral("Umbau") : QStringLiteral("Küche"))
                         .arg(i % 5 ? QLatin1Char('E') : QLatin1Char('A'))
                         .arg(1 + i % 12, 2, 10, QLatin1Char('0'))
                         .arg(1 + i % 28, 2, 10, QLatin1Char('0')));
                exec(QStringLiteral(
                         "insert into PosPreis (KopfTyp,KopfID,PosID,PreisID,Menge,EinheitID,Wert,Rabatt,"
                         "MWStSatz) values ('%1',%2,1,1,%2,1,12.5,0,20)")
                         .arg(QLatin1Char(t))
                         .arg(i));
            }
            exec(QStringLiteral(
                "update Kopf set Status = 'E', KopfBez = NULL where KopfTyp = 'R' and KopfID = 3"));
            for (int pos : {2, 5, 9})
                exec(QStringLiteral("insert into PosDaten (KopfTyp,KopfID,PosID,ArtikelID,PosKurzBez,PosBez,"
                                    "Zwischensumme) values ('R',3,%1,0,'Pos %1','Text','N')")
                         .arg(pos));
            exec(QStringLiteral("update set_nummer set Nummer = 7 where NumTyp = 'KopfIDG'"));
        });
    }
    void init() {
        QVERIFY(db.Open());
        page = new TKopfUeb;
        QVERIFY(page->ShowPage());
    }
    void cleanup() {
        delete page;
        TKopfUeb::ShowKopf = {};
        TKopfUeb::ShowCopy = {};
        TKopfUeb::PickCustomer = {};
        db.Close();
    }

    void digitFilters();
    void pickers();
    void changeReturnsToDocument();
    void newDocumentIsSelected();
    void deleteFromPage();
    void copyDialog();
    void occupiedNumberKeepsDialogOpen();
    void copyWithoutPartnerOpensHeader_data();
    void copyWithoutPartnerOpensHeader();

private:
    template <class T> T* w(QWidget* root, const char* name) { return FindWidget<T>(root, name); }
    int rows() { return db.dm->QueryKopf.RecordCount(); }
    QString current() {
        TSQLiteQuery& q = db.dm->QueryKopf;
        return q.FieldByName(QStringLiteral("KopfTyp"))->AsString() +
               q.FieldByName(QStringLiteral("KopfID"))->AsString();
    }
    void select(const QString& typ, int id) {
        QVERIFY(db.dm->QueryKopf.Locate(QStringLiteral("KopfTyp;KopfID"), QVariantList{typ, id}));
    }

    TDatabaseFixture db;
    TKopfUeb* page = nullptr;
};

void TestKopfUebForm::digitFilters() {
    QCOMPARE(rows(), 300);
    auto* num = w<QLineEdit>(page, "EditNum");
    QTest::keyClicks(num, "1a2");
    QCOMPARE(num->text(), QStringLiteral("12"));
    QCOMPARE(rows(), 1);
    QCOMPARE(current(), QStringLiteral("T12"));
    num->clear();
    QCOMPARE(rows(), 300);
    // Customer 5 together with the purchase order type lists nothing.
    QTest::keyClicks(w<QLineEdit>(page, "EditKunde"), "5");
    QCOMPARE(rows(), 150);
    w<QComboBox>(page, "CBTyp")->setCurrentIndex(8);
    QCOMPARE(rows(), 0);
    // Number sort: the highest number first.
    w<QComboBox>(page, "CBTyp")->setCurrentIndex(0);
    w<QComboBox>(page, "CBSort")->setCurrentIndex(2);
    db.dm->QueryKopf.First();
    QCOMPARE(current(), QStringLiteral("T300"));
}

void TestKopfUebForm::pickers() {
    TKopfUeb::PickCustomer = [this] {
        db.dm->QueryKunde.RunSQL(QStringLiteral("select * from Kunde where KundenID = 5"));
        return true;
    };
    // The parent company is the chosen customer's own number: its daughter's documents.
    w<QToolButton>(page, "BitBtnKonzern")->click();
    QCOMPARE(w<QLineEdit>(page, "EditKonzern")->text(), QStringLiteral("5"));
    QCOMPARE(rows(), 113);
    db.dm->QueryKopf.First();
    QCOMPARE(db.dm->QueryKopf.FieldByName(QStringLiteral("KundenID"))->AsInteger(), 6);
}

void TestKopfUebForm::changeReturnsToDocument() {
    select(QStringLiteral("R"), 19);
    int mode = 0;
    TKopfUeb::ShowKopf = [&](int m) {
        mode = m;
        QCOMPARE(current(), QStringLiteral("R19"));
        db.dm->QueryKopf.First();
    };
    w<QPushButton>(page, "BitBtnAendern")->click();
    QCOMPARE(mode, 2);
    QCOMPARE(current(), QStringLiteral("R19"));
    // Shown again (back from the positions list), the list stays on the document.
    QVERIFY(page->ShowPage());
    QCOMPARE(current(), QStringLiteral("R19"));
    // An empty list opens nothing.
    mode = 0;
    QTest::keyClicks(w<QLineEdit>(page, "EditNum"), "999");
    w<QPushButton>(page, "BitBtnAendern")->click();
    QCOMPARE(mode, 0);
}

void TestKopfUebForm::newDocumentIsSelected() {
    TKopfUeb::ShowKopf = [this](int mode) {
        QCOMPARE(mode, 1);
        TSQLiteTable& t = db.dm->TableKopf;
        t.Append();
        db.dm->SetKopfTyp(QStringLiteral("G"));
        AssignFields(t, {"KundenID=5", "KunGruID=1"});
        t.Post();
    };
    w<QPushButton>(page, "BitBtnNeu")->click();
    QCOMPARE(current(), QStringLiteral("G7"));
    QCOMPARE(rows(), 301);
}

void TestKopfUebForm::deleteFromPage() {
    select(QStringLiteral("R"), 195);
    w<QPushButton>(page, "BitBtnLoeschen")->click();
    QCOMPARE(db.messages->lastText(),
             QStringLiteral("Die Rechnung 195 - Küche 195 ist bereits abgeschlossen!"));
    QCOMPARE(rows(), 300);
    select(QStringLiteral("R"), 3);
    db.messages->answers.enqueue(Messages::Yes);
    w<QPushButton>(page, "BitBtnLoeschen")->click();
    QCOMPARE(db.messages->lastText(), QStringLiteral("Soll die Rechnung 3 wirklich gelöscht werden?"));
    QCOMPARE(rows(), 299);
    QCOMPARE(QueryInt(db.dm->Query2, QStringLiteral("select count(*) from PosDaten where KopfTyp = 'R'")), 0);
}

void TestKopfUebForm::copyDialog() {
    TKopieren dialog;
    dialog.prepare(QStringLiteral("R"), 3);
    QCOMPARE(w<QLabel>(&dialog, "PTitel")->text(), QStringLiteral("   Kopieren - Rechnung Nr. 3"));
    auto* list = w<QListWidget>(&dialog, "CLBPos");
    QCOMPARE(list->count(), 3);
    QCOMPARE(list->item(1)->text(), QStringLiteral("5 - Pos 5"));
    // "Alle auswählen" clears and ticks every entry.
    w<QCheckBox>(&dialog, "CBAlle")->click();
    QCOMPARE(list->item(2)->checkState(), Qt::Unchecked);
    w<QCheckBox>(&dialog, "CBAlle")->click();
    list->item(0)->setCheckState(Qt::Unchecked);
    w<QRadioButton>(&dialog, "RBTyp6")->click();
    w<QCheckBox>(&dialog, "CBPosfort")->setChecked(false);
    w<QCheckBox>(&dialog, "CBKFText")->setChecked(true);
    w<QPushButton>(&dialog, "BitBtnW")->click();
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    QCOMPARE(QueryInt(db.dm->Query2, QStringLiteral("select cast(replace(group_concat(PosID), ',', '') as "
                                                    "integer) from PosDaten where KopfTyp = 'G' "
                                                    "and KopfID = 7")),
             59); // positions 5 and 9
    QCOMPARE(QueryInt(db.dm->Query2,
                      QStringLiteral(
                          "select count(*) from Kopf where KopfTyp = 'G' and KopfID = 7 and RefTyp = 'R' "
                          "and RefID = 3")),
             1);
    QCOMPARE(current(), QStringLiteral("G7"));
    // Reopened: target type and text choice stay, positions are ticked and numbered again.
    dialog.prepare(QStringLiteral("R"), 3);
    QVERIFY(w<QRadioButton>(&dialog, "RBTyp6")->isChecked());
    QVERIFY(w<QCheckBox>(&dialog, "CBKFText")->isChecked());
    QVERIFY(w<QCheckBox>(&dialog, "CBPosfort")->isChecked());
    QCOMPARE(list->item(0)->checkState(), Qt::Checked);

    if (const QByteArray dir = qgetenv("QV_SCREENSHOTS"); !dir.isEmpty()) {
        dialog.show();
        dialog.grab().save(QString::fromLocal8Bit(dir) + QStringLiteral("/kopieren.png"));
        page->resize(1100, 700);
        page->show();
        page->grab().save(QString::fromLocal8Bit(dir) + QStringLiteral("/uebersicht.png"));
    }
}

void TestKopfUebForm::occupiedNumberKeepsDialogOpen() {
    db.dm->SQLiteDB1.ExecSQL(QStringLiteral("update set_nummer set Nummer = 6 where NumTyp = 'KopfIDG'"));
    TKopieren dialog;
    dialog.prepare(QStringLiteral("R"), 3);
    w<QRadioButton>(&dialog, "RBTyp6")->click();
    dialog.setResult(-1);
    w<QPushButton>(&dialog, "BitBtnW")->click();
    QCOMPARE(dialog.result(), -1);
    QVERIFY(
        db.messages->lastText().startsWith(QStringLiteral("Die vorgesehende Nummer ist bereits vorhanden!")));
    w<QPushButton>(&dialog, "BitBtnW")->click();
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    QCOMPARE(QueryInt(db.dm->Query2,
                      QStringLiteral("select count(*) from PosDaten where KopfTyp = 'G' and KopfID = 7")),
             3);
}

void TestKopfUebForm::copyWithoutPartnerOpensHeader_data() {
    QTest::addColumn<QString>("radio");
    QTest::addColumn<QString>("header"); // the document whose header opens, empty for none
    QTest::newRow("credit note keeps the customer") << "RBTyp6"
                                                    << "";
    QTest::newRow("purchase order: choose a supplier") << "RBTyp7"
                                                       << "B1";
}

void TestKopfUebForm::copyWithoutPartnerOpensHeader() {
    QFETCH(QString, radio);
    QFETCH(QString, header);
    TKopfUeb::ShowCopy = [&](const QString& typ, int kopfId) {
        TKopieren dialog;
        dialog.prepare(typ, kopfId);
        w<QRadioButton>(&dialog, radio.toLatin1().constData())->click();
        w<QPushButton>(&dialog, "BitBtnW")->click();
    };
    QString opened;
    TKopfUeb::ShowKopf = [&](int mode) { opened = QString::number(mode) + current(); };
    select(QStringLiteral("R"), 3);
    w<QPushButton>(page, "BitBtnKopieren")->click();
    QCOMPARE(opened, header.isEmpty() ? QString() : QStringLiteral("2") + header);
}

QTEST_MAIN(TestKopfUebForm)
#include "tst_kopfueb.moc"
