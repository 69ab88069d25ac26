// The customer, supplier and article lists through their widgets: start
// states, every filter (also with quotes, percent signs and underscores),
// sorting, the commands with a record form, deleting with the guards, the
// pickers handing back the chosen row, and the customer form's "?" buttons.
#include "DatabaseFixture.h"
#include "FormTestHelpers.h"
#include "TDBEdit.h"
#include "TDBGrid.h"
#include "TestSupport.h"
#include "UDM.h"
#include "UFrameArtikelUeb.h"
#include "UFrameKundenUeb.h"
#include "UFrameLieferantenUeb.h"
#include "UKunde.h"
#include "UStammAusw.h"
#include "UStammUeb.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QToolButton>
#include <QtTest>

namespace {

// Stands in for a record form: records how it was opened and does what the
// test asks for instead of the user.
class FakeForm : public QWidget {
public:
    QList<int> modes;
    std::function<void(int)> action;
    void Show(int mode) {
        modes.append(mode);
        if (action)
            action(mode);
    }
};

// The key column of every row of a list, in list order.
QList<int> Listed(TSQLiteQuery& list, const char* key) {
    QList<int> ids;
    if (!list.Active())
        return ids;
    const int field = list.FieldByName(QLatin1String(key))->Index();
    for (int row = 0; row < list.RecordCount(); ++row)
        ids.append(list.ValueAt(row, field).toInt());
    return ids;
}

// Sets a filter control of a frame the way a user does: text is typed,
// lists get an entry chosen by its text, check boxes get "0", "1" or "2"
// (unticked, undetermined, ticked).
void SetFilter(QWidget* frame, const QString& name, const QString& value) {
    QWidget* w = frame->findChild<QWidget*>(name);
    QVERIFY2(w, qPrintable(name));
    if (auto* edit = qobject_cast<QLineEdit*>(w)) {
        edit->setFocus();
        TypeText(edit, value);
    } else if (auto* list = qobject_cast<QComboBox*>(w)) {
        const int i = list->findText(value);
        QVERIFY2(i >= 0, qPrintable(value));
        list->setCurrentIndex(i);
    } else if (auto* box = qobject_cast<QCheckBox*>(w)) {
        box->setCheckState(Qt::CheckState(value.toInt()));
    }
}

// Data rows of text columns: the first entry of a row is its tag.
void AddRows(const QList<const char*>& columns, const QList<QList<const char*>>& rows) {
    for (const char* column : columns)
        QTest::addColumn<QString>(column);
    for (const QList<const char*>& row : rows) {
        QTestData& data = QTest::newRow(row.first());
        for (qsizetype i = 1; i < row.size(); ++i)
            data << QString::fromUtf8(row[i]);
    }
}

QList<int> Ids(const QString& text) {
    QList<int> ids;
    for (const QString& part : text.split(QLatin1Char(' '), Qt::SkipEmptyParts))
        ids.append(part.toInt());
    return ids;
}

} // namespace

class TestListen : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void startStates_data();
    void startStates();
    void filters_data();
    void filters();
    void parentCompanyJoinComesAndGoes();
    void numberFieldsTakeOnlyDigits();
    void newAndChangeFollowTheRecord();
    void articleListFollowsRenumbering();
    void pickerInBetweenKeepsThePageFilter();
    void emptyListCommandsDoNothing_data();
    void emptyListCommandsDoNothing();
    void deleteThroughTheList_data();
    void deleteThroughTheList();
    void pickerHandsBackTheChosenRow();
    void pickerOnEmptyListCannotConfirm();
    void articlePickerStartsWithTheCallersArea();
    void customerFormPicksParentCompany();
    void pickerRefusesSecondOpening();
    void pagesResetOnEveryShow();

private:
    void exec(const QString& sql) { dm->SQLiteDB1.ExecSQL(sql); }
    int count(const QString& sql) { return QueryInt(dm->Query2, sql); }
    TFrameUeb* frameOf(const QString& kind);
    TSQLiteQuery& listOf(const QString& kind) {
        return kind == u'K' ? dm->QueryKunde : kind == u'L' ? dm->QueryLieferant : dm->QueryArtikel;
    }
    static const char* keyOf(const QString& kind) {
        return kind == u'K' ? "KundenID" : kind == u'L' ? "LieferantenID" : "ArtikelID";
    }

    TDatabaseFixture db;
    ScriptedMessages* messages = nullptr;
    TDM* dm = nullptr;
    TFrameKundenUeb* kunden = nullptr;
    TFrameLieferantenUeb* lieferanten = nullptr;
    TFrameArtikelUeb* artikel = nullptr;
};

void TestListen::initTestCase() {
    PinGermanLocale();
    db.BuildTemplate([](TSQLiteDB& base) {
        const auto run = [&base](const QString& sql) { base.ExecSQL(sql); };
        run(QStringLiteral("insert into KundenGruppe (KunGruID, KunGruBez) values (2, 'Handel')"));
        const char* customers[] = {
            "1,1,'Müller GmbH','Müller','Hans','','1010','Wien','J',0,null",
            "2,2,'','O''Brien','Sean','','4020','Linz','J',0,null",
            "3,1,'Huber & Co','Huber','Anna','Filiale','5020','Salzburg','J',1,null",
            "4,1,'100% Bio KG','Maier','Franz','','8010','Graz','J',0,null",
            "5,2,'Schmidt_Partner','Schmidt','Eva','','6020','Innsbruck','J',0,3",
            "6,1,'SchmidtXPartner','Schmidt','Max','','6021','Innsbruck-Land','J',0,null",
            "7,1,'Zeller','Bauer','Zoe','','1100','Amstetten','J',0,null",
            "8,1,'Alt & Vergessen','Alt','Otto','','9020','Klagenfurt','N',0,null",
        };
        for (const char* c : customers)
            run(QStringLiteral(
                    "insert into Kunde (KundenID,KunGruID,Firma,Nachname,Vorname,Zusatzname,PLZ,Ort,Aktiv,"
                    "KonzernID,HaendlerID,AnredeID,TitelID,LandID) values (") +
                QString::fromUtf8(c) + QStringLiteral(",1,1,1)"));
        run(QStringLiteral("insert into LieferantenGruppe (LieGruID, LieGruBez) values (2, 'Großhandel')"));
        const char* suppliers[] = {
            "5,1,'Bohrwerk GmbH','Werkstraße 1','4600','Wels','J'",
            "6,2,'O''Neil Tools','Dock 3','1020','Wien','J'",
            "7,2,'50% Rabatt OG','Markt 1','1030','Wien','N'",
            "8,1,'Frei & Co','Gasse 2','3100','St. Pölten','J'",
        };
        for (const char* s : suppliers)
            run(QStringLiteral(
                    "insert into Lieferant (LieferantenID,LieGruID,Firma,Strasse,PLZ,Ort,Aktiv,LandID,"
                    "AnspAnredeID,AnspTitelID) values (") +
                QString::fromUtf8(s) + QStringLiteral(",1,1,1)"));
        run(QStringLiteral("insert into ArtikelGruppe (ArtGruID, ArtGruBez) values (2, 'Werkzeug')"));
        const char* articles[] = {
            "10,2,'Akkubohrer','J',5,'J','J'",     "11,2,'Bohrer-Set 10_tlg','J',5,'N','J'",
            "12,1,'Schrauben 100%','J',6,'J','J'", "13,1,'Bohrmaschine alt','N',5,'N','J'",
            "14,1,'Verwaist','J',99,'N','J'",
        };
        for (const char* a : articles)
            run(QStringLiteral(
                    "insert into Artikel (ArtikelID,ArtGruID,ArtKurzBez,Aktiv,LieferantenID,BereichEK,"
                    "BereichVK,ArtBez,Zwischensumme) values (") +
                QString::fromUtf8(a) + QStringLiteral(",'','N')"));
        run(QStringLiteral("insert into ArtPreis (ArtikelID,PreisID,Menge,EinheitID,Wert,MWStSatz) values "
                           "(10,1,2,1,49.5,20)"));
        run(QStringLiteral(
            "insert into ArtPreis (ArtikelID,PreisID,Menge,EinheitID,Wert,MWStSatz) values (10,2,1,1,5,20)"));
        run(QStringLiteral("insert into ArtPreis (ArtikelID,PreisID,Menge,EinheitID,Wert,MWStSatz) values "
                           "(11,1,1,1,19.9,20)"));
    });
}

void TestListen::init() {
    QVERIFY(db.Open());
    dm = db.dm;
    messages = db.messages;
    kunden = new TFrameKundenUeb;
    lieferanten = new TFrameLieferantenUeb;
    artikel = new TFrameArtikelUeb;
}

void TestListen::cleanup() {
    TKunde::PickCustomer = nullptr;
    TKunde::CustomerPickerVisible = nullptr;
    delete kunden;
    delete lieferanten;
    delete artikel;
    QCOMPARE(messages->unexpected, 0);
    db.Close();
}

TFrameUeb* TestListen::frameOf(const QString& kind) {
    if (kind == u'K')
        return kunden;
    if (kind == u'L')
        return lieferanten;
    return artikel;
}

// ---------------------------------------------------------------------------

void TestListen::startStates_data() {
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("docType");
    QTest::addColumn<QString>("sql");
    QTest::addColumn<QString>("listed");

    QTest::newRow("customers") << "K"
                               << ""
                               << "select K.* from Kunde K, Kundengruppe G where G.KunGruID = K.KunGruID and "
                                  "K.Aktiv = 'J' order by K.KundenID"
                               << "0 1 2 3 4 5 6 7";
    QTest::newRow("suppliers") << "L"
                               << ""
                               << "select L.* from Lieferant L, Lieferantengruppe G where G.LieGruID = "
                                  "L.LieGruID and L.Aktiv = 'J' order by L.LieferantenID"
                               << "0 5 6 8";
    const QString articleBase =
        "select A.*, AG.ArtGruBez, L.Firma, (select total(P.Menge*P.Wert)/1.0 from ArtPreis P where "
        "P.ArtikelID = A.ArtikelID) as Summe from Artikel A, ArtikelGruppe AG, Lieferant L where "
        "AG.ArtGruID = A.ArtGruID and L.LieferantenID = A.LieferantenID and A.Aktiv = 'J'";
    QTest::newRow("article page") << "A"
                                  << "" << articleBase + " and A.BereichVK = 'J' order by A.ArtikelID"
                                  << "0 10 11 12";
    QTest::newRow("article purchase order")
        << "A"
        << "B" << articleBase + " and A.BereichEK = 'J' order by A.ArtikelID"
        << "10 12";
}

// Whatever the user left in the filters, a reset starts over.
void TestListen::startStates() {
    QFETCH(QString, kind);
    QFETCH(QString, docType);
    QFETCH(QString, sql);
    QFETCH(QString, listed);
    TFrameUeb* frame = frameOf(kind);
    frameOf(kind)->Reset(docType == u'B' ? QString() : QStringLiteral("B"));
    for (QLineEdit* edit : frame->findChildren<QLineEdit*>())
        TypeText(edit, QStringLiteral("7"));
    for (QCheckBox* box : frame->findChildren<QCheckBox*>())
        box->setCheckState(Qt::Unchecked);
    for (QComboBox* list : frame->findChildren<QComboBox*>())
        list->setCurrentIndex(list->count() - 1);

    frameOf(kind)->Reset(docType);
    QCOMPARE(frame->BuildSQL(), sql);
    QCOMPARE(frame->findChild<QCheckBox*>(QStringLiteral("CheckBoxAktiv"))->checkState(), Qt::Checked);
    for (QLineEdit* edit : frame->findChildren<QLineEdit*>())
        QVERIFY2(edit->text().isEmpty(), qPrintable(edit->objectName()));
    for (QComboBox* list : frame->findChildren<QComboBox*>())
        QCOMPARE(list->currentIndex(), 0);
    TSQLiteQuery& query = listOf(kind);
    const char* key = keyOf(kind);
    QCOMPARE(Listed(query, key), Ids(listed));
    if (kind == u'A') {
        // The caller's area is ticked, the other area box filters nothing and says so.
        const bool purchase = docType == u'B';
        QCOMPARE(frame->findChild<QCheckBox*>(QStringLiteral("CheckBoxEK"))->checkState(),
                 purchase ? Qt::Checked : Qt::PartiallyChecked);
        QCOMPARE(frame->findChild<QCheckBox*>(QStringLiteral("CheckBoxVK"))->checkState(),
                 purchase ? Qt::PartiallyChecked : Qt::Checked);
    }
}

void TestListen::filters_data() {
    AddRows({"kind", "control", "value", "listed"},
            {
                {"customer name begins the company", "K", "EditName", "Mü", "1"},
                {"customer name begins the surname", "K", "EditName", "Schmidt", "5 6"},
                {"customer name begins the first name", "K", "EditName", "Zo", "7"},
                {"customer name begins the additional name", "K", "EditName", "Fil", "3"},
                {"customer star in the middle", "K", "EditName", "Hu*Co", "3"},
                {"customer quote", "K", "EditName", "O'Brien", "2"},
                {"customer percent is a percent", "K", "EditName", "100%", "4"},
                {"customer underscore is an underscore", "K", "EditName", "Schmidt_", "5"},
                {"customer number", "K", "EditNummer", "3", "3"},
                {"customer postcode with star", "K", "EditPLZ", "*20", "2 3 5"},
                {"customer town", "K", "EditOrt", "Inns", "5 6"},
                {"customer parent company number", "K", "EditKonzernNr", "1", "3"},
                {"customer parent company name", "K", "EditKonzernName", "Mü", "3"},
                {"customer dealer number", "K", "EditHaendlerNr", "3", "5"},
                {"customer dealer name", "K", "EditHaendlerName", "Hub", "5"},
                {"customer group", "K", "ComboBoxGruppe", "Handel", "2 5"},
                {"customer group all", "K", "ComboBoxGruppe", "- Alle -", "0 1 2 3 4 5 6 7"},
                {"customer inactive", "K", "CheckBoxAktiv", "0", "8"},
                {"customer active or not", "K", "CheckBoxAktiv", "1", "0 1 2 3 4 5 6 7 8"},
                {"supplier name", "L", "EditName", "bohr", "5"},
                {"supplier name with quote", "L", "EditName", "O'Neil", "6"},
                {"supplier number", "L", "EditNummer", "6", "6"},
                {"supplier postcode", "L", "EditPLZ", "10", "6"},
                {"supplier town", "L", "EditOrt", "Wels", "5"},
                {"supplier group", "L", "ComboBoxGruppe", "Großhandel", "6"},
                {"supplier inactive", "L", "CheckBoxAktiv", "0", "7"},
                {"article description anywhere, any case", "A", "EditBezeichnung", "BOHR", "10 11"},
                {"article description with star", "A", "EditBezeichnung", "bohr*set", "11"},
                {"article percent literal", "A", "EditBezeichnung", "0%", "12"},
                {"article group", "A", "ComboBoxGruppe", "Werkzeug", "10 11"},
                {"article supplier", "A", "ComboBoxLieferant", "Bohrwerk GmbH", "10 11"},
                {"article sales area off", "A", "CheckBoxVK", "0", ""},
                {"article either area", "A", "CheckBoxVK", "1", "0 10 11 12"},
                {"article inactive", "A", "CheckBoxAktiv", "0", "13"},
                {"customer number down sorted", "K", "ComboBoxSort", "Kundennummer absteigend",
                 "7 6 5 4 3 2 1 0"},
                {"customer company sorted", "K", "ComboBoxSort", "Kundenfirma", "2 4 3 0 1 6 5 7"},
                {"customer town sorted", "K", "ComboBoxSort", "Kundenort", "7 4 5 6 2 0 3 1"},
                {"supplier name sorted", "L", "ComboBoxSort", "Lieferantenname", "5 8 6 0"},
                {"article amount sorted", "A", "ComboBoxSort", "Betrag", "12 0 11 10"},
                {"article description sorted", "A", "ComboBoxSort", "Bezeichnung", "10 11 0 12"},
            });
}

// Each filter control and sort choice on its own, set as a user sets it,
// over the start state: the control reaches its slot, and text with quotes,
// percent signs and underscores arrives as typed. (The statement building
// behind it is tested on its own with every odd character.)
void TestListen::filters() {
    QFETCH(QString, kind);
    QFETCH(QString, control);
    QFETCH(QString, value);
    QFETCH(QString, listed);
    TFrameUeb* frame = frameOf(kind);
    frame->Reset();
    SetFilter(frame, control, value);
    QCOMPARE(Listed(listOf(kind), keyOf(kind)), Ids(listed));
    QVERIFY(messages->boxes.isEmpty());
}

// Typing a parent-company name joins the customers a second time; clearing
// it removes the join, so customers without a parent company are back.
void TestListen::parentCompanyJoinComesAndGoes() {
    kunden->Reset();
    auto* name = kunden->findChild<QLineEdit*>(QStringLiteral("EditKonzernName"));
    TypeText(name, QStringLiteral("Mü"));
    QVERIFY(kunden->BuildSQL().contains(QStringLiteral(", Kunde Ko where")));
    QCOMPARE(Listed(dm->QueryKunde, "KundenID"), Ids("3"));
    // Combined with another slot: both apply.
    TypeText(kunden->findChild<QLineEdit*>(QStringLiteral("EditName")), QStringLiteral("X"));
    QCOMPARE(Listed(dm->QueryKunde, "KundenID"), Ids(""));
    kunden->findChild<QLineEdit*>(QStringLiteral("EditName"))->clear();
    name->clear();
    QVERIFY(!kunden->BuildSQL().contains(QStringLiteral("Kunde Ko")));
    QCOMPARE(Listed(dm->QueryKunde, "KundenID"), Ids("0 1 2 3 4 5 6 7"));
}

// Typed or pasted, a number filter keeps only digits.
void TestListen::numberFieldsTakeOnlyDigits() {
    kunden->Reset();
    auto* number = kunden->findChild<QLineEdit*>(QStringLiteral("EditNummer"));
    number->setFocus();
    QTest::keyClicks(number, QStringLiteral("ab"));
    QCOMPARE(number->text(), QString());
    QGuiApplication::clipboard()->setText(QStringLiteral("5' or 1=1 --"));
    number->paste();
    QCOMPARE(number->text(), QStringLiteral("511"));
    number->clear();
    QGuiApplication::clipboard()->setText(QStringLiteral("K-0005"));
    number->paste();
    QCOMPARE(number->text(), QStringLiteral("0005"));
    QCOMPARE(Listed(dm->QueryKunde, "KundenID"), Ids("5"));
}

// "Neu" moves the list to the new record; "Ändern" comes back to the record
// it opened, with the filter still in place.
void TestListen::newAndChangeFollowTheRecord() {
    FakeForm form;
    kunden->SetRecordForm(&form);
    kunden->Reset();
    SetFilter(kunden, QStringLiteral("EditOrt"), QStringLiteral("Inns"));
    form.action = [this](int mode) {
        if (mode != 1)
            return;
        dm->TableKunde.Append();
        dm->TableKunde.FieldByName(QStringLiteral("KundenID"))->SetAsInteger(30);
        dm->TableKunde.FieldByName(QStringLiteral("KunGruID"))->SetAsInteger(1);
        dm->TableKunde.FieldByName(QStringLiteral("Firma"))->SetValue(QStringLiteral("Neu & Co"));
        dm->TableKunde.FieldByName(QStringLiteral("Ort"))->SetValue(QStringLiteral("Innsbruck"));
        dm->TableKunde.Post();
    };
    kunden->findChild<QPushButton*>(QStringLiteral("BitBtnNeu"))->click();
    QCOMPARE(form.modes, QList<int>{1});
    const int created = dm->TableKunde.FieldByName(QStringLiteral("KundenID"))->AsInteger();
    QCOMPARE(Listed(dm->QueryKunde, "KundenID"), (QList<int>{5, 6, created}));
    QCOMPARE(dm->QueryKunde.FieldByName(QStringLiteral("KundenID"))->AsInteger(), created);

    QVERIFY(dm->QueryKunde.Locate(QStringLiteral("KundenID"), 6));
    form.action = [this](int) {
        // The form stands on the chosen customer; the table moving on must not move the list.
        dm->TableKunde.Locate(QStringLiteral("KundenID"), 6);
        dm->TableKunde.Last();
    };
    kunden->findChild<QPushButton*>(QStringLiteral("BitBtnAendern"))->click();
    QCOMPARE(form.modes, (QList<int>{1, 2}));
    QCOMPARE(dm->QueryKunde.FieldByName(QStringLiteral("KundenID"))->AsInteger(), 6);
    QCOMPARE(Listed(dm->QueryKunde, "KundenID"), (QList<int>{5, 6, created}));

    // A double-click on a page opens the record like "Ändern".
    auto* grid = kunden->findChild<TDBGrid*>(QStringLiteral("DBGrid1"));
    emit grid->recordDoubleClicked(0);
    QCOMPARE(form.modes, (QList<int>{1, 2, 2}));
}

// An article renumbered in its form is found again under its new number.
void TestListen::articleListFollowsRenumbering() {
    FakeForm form;
    artikel->SetRecordForm(&form);
    artikel->Reset();
    QVERIFY(dm->QueryArtikel.Locate(QStringLiteral("ArtikelID"), 11));
    form.action = [this](int) {
        dm->SQLiteDB1.ExecSQL(QStringLiteral("update Artikel set ArtikelID = 20 where ArtikelID = 11"));
        dm->SQLiteDB1.ExecSQL(QStringLiteral("update ArtPreis set ArtikelID = 20 where ArtikelID = 11"));
        dm->TableArtikel.Close();
        dm->TableArtikel.Open();
        QVERIFY(dm->TableArtikel.Locate(QStringLiteral("ArtikelID"), 20));
    };
    artikel->findChild<QPushButton*>(QStringLiteral("BitBtnAendern"))->click();
    QCOMPARE(form.modes, QList<int>{2});
    QCOMPARE(dm->QueryArtikel.FieldByName(QStringLiteral("ArtikelID"))->AsInteger(), 20);
}

// The form opened from the page may use the picker, which runs its own
// statement on the same list query: back on the page, the list still matches
// the page's filter.
void TestListen::pickerInBetweenKeepsThePageFilter() {
    FakeForm form;
    kunden->SetRecordForm(&form);
    kunden->Reset();
    SetFilter(kunden, QStringLiteral("EditOrt"), QStringLiteral("Inns"));
    QVERIFY(dm->QueryKunde.Locate(QStringLiteral("KundenID"), 6));
    TFrameKundenUeb pickerList;
    form.action = [&pickerList](int) { pickerList.Reset(); };
    kunden->AendernClick();
    QCOMPARE(Listed(dm->QueryKunde, "KundenID"), Ids("5 6"));
    QCOMPARE(dm->QueryKunde.FieldByName(QStringLiteral("KundenID"))->AsInteger(), 6);
}

void TestListen::emptyListCommandsDoNothing_data() {
    QTest::addColumn<QString>("kind");
    QTest::newRow("customers") << "K";
    QTest::newRow("suppliers") << "L";
    QTest::newRow("articles") << "A";
}

void TestListen::emptyListCommandsDoNothing() {
    QFETCH(QString, kind);
    FakeForm form;
    TFrameUeb* frame = frameOf(kind);
    frame->SetRecordForm(&form);
    frame->Reset();
    TypeText(frame->FocusField(), QStringLiteral("nichts passt"));
    QVERIFY(!frame->ListHasRecord());
    frame->findChild<QPushButton*>(QStringLiteral("BitBtnAendern"))->click();
    frame->findChild<QPushButton*>(QStringLiteral("BitBtnLoeschen"))->click();
    QVERIFY(form.modes.isEmpty());
    QVERIFY(messages->boxes.isEmpty());
}

void TestListen::deleteThroughTheList_data() {
    QTest::addColumn<QString>("kind");
    QTest::addColumn<int>("number");
    QTest::addColumn<bool>("answer");
    QTest::addColumn<QString>("question");
    QTest::addColumn<QString>("warning");
    QTest::addColumn<bool>("deleted");

    QTest::newRow("customer with company")
        << "K" << 6 << true << "Soll der Kunde 6 - SchmidtXPartner wirklich gelöscht werden?"
        << "" << true;
    QTest::newRow("customer without company")
        << "K" << 2 << true << "Soll der Kunde 2 - O'Brien wirklich gelöscht werden?"
        << "" << true;
    QTest::newRow("answered no") << "K" << 6 << false
                                 << "Soll der Kunde 6 - SchmidtXPartner wirklich gelöscht werden?"
                                 << "" << false;
    QTest::newRow("customer used as parent company")
        << "K" << 1 << true << "Soll der Kunde 1 - Müller GmbH wirklich gelöscht werden?"
        << "Der Kunde kann nicht gelöscht werden, da der Kunde noch als Konzern verwendet wird!" << false;
    QTest::newRow("customer 0")
        << "K" << 0 << true << "Soll der Kunde 0 - Musterfirma wirklich gelöscht werden?"
        << "Der Kunde kann nicht gelöscht werden, da die Kundennummer 0 immer vorhanden "
           "sein muss!"
        << false;
    QTest::newRow("supplier") << "L" << 8 << true
                              << "Soll der Lieferant 8 - Frei & Co wirklich gelöscht werden?"
                              << "" << true;
    QTest::newRow("supplier with articles")
        << "L" << 5 << true << "Soll der Lieferant 5 - Bohrwerk GmbH wirklich gelöscht werden?"
        << "Der Lieferant kann nicht gelöscht werden, da der Lieferant noch einem Artikel zugeordnet ist!"
        << false;
    QTest::newRow("article") << "A" << 11 << true
                             << "Soll der Artikel 11 - Bohrer-Set 10_tlg wirklich gelöscht werden?"
                             << "" << true;
}

void TestListen::deleteThroughTheList() {
    QFETCH(QString, kind);
    QFETCH(int, number);
    QFETCH(bool, answer);
    QFETCH(QString, question);
    QFETCH(QString, warning);
    QFETCH(bool, deleted);
    TFrameUeb* frame = frameOf(kind);
    frameOf(kind)->Reset();
    TSQLiteQuery& query = listOf(kind);
    const char* key = keyOf(kind);
    const char* table = kind == u'K' ? "Kunde" : kind == u'L' ? "Lieferant" : "Artikel";
    const QList<int> before = Listed(query, key);
    QVERIFY(query.Locate(QLatin1String(key), number));

    messages->answers.enqueue(answer ? Messages::Yes : Messages::No);
    frame->findChild<QPushButton*>(QStringLiteral("BitBtnLoeschen"))->click();
    QStringList expected{question};
    if (!warning.isEmpty())
        expected.append(warning);
    QCOMPARE(messages->texts(), expected);
    QCOMPARE(count(QStringLiteral("select count(*) from %1 where %2 = %3").arg(table, key).arg(number)),
             deleted ? 0 : 1);
    QList<int> after = before;
    if (deleted)
        after.removeOne(number);
    QCOMPARE(Listed(query, key), after);
    if (!deleted) // a refused delete leaves the list on the same row
        QCOMPARE(query.FieldByName(QLatin1String(key))->AsInteger(), number);
}

// Confirming hands back the chosen row through the list query; a double-click
// confirms too; cancelling says so.
void TestListen::pickerHandsBackTheChosenRow() {
    TKundenAusw picker;
    QCOMPARE(picker.windowTitle(), QStringLiteral("Kundenauswahl"));
    QCOMPARE(picker.findChild<QLabel*>(QStringLiteral("PTitel"))->text(), QStringLiteral("   Kundenauswahl"));
    auto* grid = picker.findChild<TDBGrid*>(QStringLiteral("DBGrid1"));

    QTimer::singleShot(0, &picker, [&] {
        SetFilter(&picker, QStringLiteral("EditOrt"), QStringLiteral("Inns"));
        grid->setCurrentIndex(grid->model()->index(1, 0));
        picker.findChild<QPushButton*>(QStringLiteral("BitBtnUebernehmen"))->click();
    });
    QVERIFY(picker.Execute());
    QCOMPARE(dm->QueryKunde.FieldByName(QStringLiteral("KundenID"))->AsInteger(), 6);

    QTimer::singleShot(0, &picker, [&] {
        // Opened again: the filter of last time is gone.
        QCOMPARE(Listed(dm->QueryKunde, "KundenID"), Ids("0 1 2 3 4 5 6 7"));
        grid->setCurrentIndex(grid->model()->index(3, 0));
        emit grid->doubleClicked(grid->currentIndex());
    });
    QVERIFY(picker.Execute());
    QCOMPARE(dm->QueryKunde.FieldByName(QStringLiteral("KundenID"))->AsInteger(), 3);

    QTimer::singleShot(0, &picker,
                       [&] { picker.findChild<QPushButton*>(QStringLiteral("BitBtnAbbrechen"))->click(); });
    QVERIFY(!picker.Execute());
}

void TestListen::pickerOnEmptyListCannotConfirm() {
    TLieferantenAusw picker;
    QTimer::singleShot(0, &picker, [&] {
        SetFilter(&picker, QStringLiteral("EditName"), QStringLiteral("niemand"));
        picker.findChild<QPushButton*>(QStringLiteral("BitBtnUebernehmen"))->click();
        QVERIFY(picker.isVisible());
        picker.findChild<QPushButton*>(QStringLiteral("BitBtnAbbrechen"))->click();
    });
    QVERIFY(!picker.Execute());
}

void TestListen::articlePickerStartsWithTheCallersArea() {
    TArtikelAusw picker;
    QList<int> seen;
    const auto take = [&] {
        seen = Listed(dm->QueryArtikel, "ArtikelID");
        picker.reject();
    };
    QTimer::singleShot(0, &picker, take);
    picker.Execute(QStringLiteral("B"));
    QCOMPARE(seen, Ids("10 12"));
    QTimer::singleShot(0, &picker, take);
    picker.Execute(QStringLiteral("R"));
    QCOMPARE(seen, Ids("0 10 11 12"));
}

// The customer form asks the picker for a parent company while it edits a new
// customer: the picker must leave that record alone, and hands back its choice.
void TestListen::customerFormPicksParentCompany() {
    TKunde form;
    TKundenAusw picker;
    picker.Frame()->SetRecordForm(&form);
    TKunde::PickCustomer = [&picker] { return picker.Execute(); };
    TKunde::CustomerPickerVisible = [&picker] { return picker.isVisible(); };

    QVERIFY(form.prepare(TKunde::ModeNew));
    form.show();
    auto* firma = FindWidget<TDBEdit>(&form, "DBEdit2");
    firma->setFocus();
    TypeText(firma, QStringLiteral("Tochter GmbH"));

    QTimer::singleShot(0, &picker, [&] {
        // The list's own commands would move the record the form is editing.
        for (const char* name : {"BitBtnNeu", "BitBtnAendern", "BitBtnLoeschen"})
            QVERIFY(!picker.findChild<QPushButton*>(QLatin1String(name))->isEnabled());
        picker.Frame()->NeuClick();
        picker.Frame()->LoeschenClick();
        QVERIFY(dm->QueryKunde.Locate(QStringLiteral("KundenID"), 1));
        picker.findChild<QPushButton*>(QStringLiteral("BitBtnUebernehmen"))->click();
    });
    FindWidget<QToolButton>(&form, "BitBtnKonzern")->click();
    QVERIFY(messages->boxes.isEmpty());
    QCOMPARE(dm->TableKunde.State(), TDataSetState::Insert);
    QCOMPARE(firma->text(), QStringLiteral("Tochter GmbH"));
    QCOMPARE(FindWidget<TDBEdit>(&form, "DBEdit14")->text(), QStringLiteral("1"));
    // The new customer was never saved: closing asks, and Nein drops it.
    messages->answers.enqueue(Messages::No);
    form.close();
    QCOMPARE(messages->texts(), QStringList{QStringLiteral("Sollen die Änderungen gespeichert werden?")});
    QCOMPARE(dm->TableKunde.State(), TDataSetState::Browse);
}

// The customer form opened from the picker cannot open the picker again.
void TestListen::pickerRefusesSecondOpening() {
    TKunde form;
    TKundenAusw picker;
    picker.Frame()->SetRecordForm(&form);
    TKunde::PickCustomer = [&picker] { return picker.Execute(); };
    TKunde::CustomerPickerVisible = [&picker] { return picker.isVisible(); };

    QTimer::singleShot(0, &picker, [&] {
        QVERIFY(dm->QueryKunde.Locate(QStringLiteral("KundenID"), 3));
        QTimer::singleShot(0, &form, [&] {
            FindWidget<QToolButton>(&form, "BitBtnKonzern")->click();
            form.close();
        });
        picker.findChild<QPushButton*>(QStringLiteral("BitBtnAendern"))->click();
        picker.reject();
    });
    QVERIFY(!picker.Execute());
    QCOMPARE(
        messages->texts(),
        QStringList{QStringLiteral(
            "Die Kundenauswahl ist bereits geöffnet, bitte öffnen Sie den Kunden über den Kundenstamm!")});
    QCOMPARE(count(QStringLiteral("select KonzernID from Kunde where KundenID = 3")), 1);
}

// Every show of a list page starts from the start state; the filters typed in
// between stay until then.
void TestListen::pagesResetOnEveryShow() {
    QWidget area;
    TKundenUeb page(&area);
    QVERIFY(page.ShowPage());
    QCOMPARE(page.findChild<QLabel*>(QStringLiteral("PTitel"))->text(), QStringLiteral("   Kundenübersicht"));
    auto* name = page.findChild<QLineEdit*>(QStringLiteral("EditName"));
    TypeText(name, QStringLiteral("Hu"));
    QCOMPARE(Listed(dm->QueryKunde, "KundenID"), Ids("3"));
    QVERIFY(page.ShowPage());
    QCOMPARE(name->text(), QString());
    QCOMPARE(Listed(dm->QueryKunde, "KundenID"), Ids("0 1 2 3 4 5 6 7"));

    TArtikelUeb articles(&area);
    QVERIFY(articles.ShowPage());
    QCOMPARE(articles.findChild<QLabel*>(QStringLiteral("PTitel"))->text(),
             QStringLiteral("   Artikelübersicht"));
    QCOMPARE(Listed(dm->QueryArtikel, "ArtikelID"), Ids("0 10 11 12"));
    TLieferantenUeb suppliers(&area);
    QVERIFY(suppliers.ShowPage());
    QCOMPARE(suppliers.findChild<QLabel*>(QStringLiteral("PTitel"))->text(),
             QStringLiteral("   Lieferantenübersicht"));
}

QTEST_MAIN(TestListen)
#include "tst_listen.moc"
