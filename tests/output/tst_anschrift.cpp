// The company data page as a user works it: the company row on its tabs and
// "&Speichern", the stored text blocks, the two logo files, and the layout
// editor with its fields, its preview and dragging an element with the mouse.
#include "DatabaseFixture.h"
#include "FormTestHelpers.h"
#include "LogoFilter.h"
#include "Steuerregeln.h"
#include "TDBCheckBox.h"
#include "TDBEdit.h"
#include "TDBMemo.h"
#include "TDruckVorschau.h"
#include "UAnschrift.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QImageReader>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QtTest>

#include <array>

class TestAnschrift : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void opensRereadOnFirstTab();
    void companyFieldSaved_data();
    void companyFieldSaved();
    void taxSettingsSaved();
    void leavingAsksForUnsavedEdits_data();
    void leavingAsksForUnsavedEdits();
    void textBlocks_data();
    void textBlocks();
    void elementFields_data();
    void elementFields();
    void previewShowsArea_data();
    void previewShowsArea();
    void layoutFieldsSaveAtOnce();
    void layoutFieldsTakeDigitsOnly_data();
    void layoutFieldsTakeDigitsOnly();
    void layoutValueNotWholeRefused_data();
    void layoutValueNotWholeRefused();
    void dragElement_data();
    void dragElement();
    void printAreaWidthScalesPreview_data();
    void printAreaWidthScalesPreview();
    void logoChosenAndRemoved();
    void logoNotReadableKeepsOld_data();
    void logoNotReadableKeepsOld();

private:
    template <class T> T* w(const char* name) { return FindWidget<T>(page, name); }
    TDruckVorschau* preview() { return w<TDruckVorschau>("Vorschau"); }
    QString raw(const QString& sql) {
        dm->Query2.RunSQL(sql);
        const QString v = dm->Query2.Fields(0)->AsString();
        dm->Query2.Close();
        return v;
    }
    QString element(int deid, const char* column) {
        return raw(QStringLiteral("select ") + QLatin1String(column) +
                   QStringLiteral(" from DruckElement where DEID = ") + QString::number(deid));
    }
    void select(int deid) { w<QListWidget>("ListElemente")->setCurrentRow(deid); }
    // The layout editor in front, with a preview 540 pixels wide: 3 pixels per
    // millimetre across as well when the print area is 180 mm wide.
    void showLayoutEditor() {
        w<QTabWidget>("PageControl1")->setCurrentWidget(w<QWidget>("TabDruckpositionen"));
        preview()->setFixedWidth(540);
        QApplication::processEvents();
        QCOMPARE(preview()->width(), 540);
    }

    TDatabaseFixture db;
    ScriptedMessages* messages = nullptr;
    TDM* dm = nullptr;
    QWidget* area = nullptr;
    TAnschrift* page = nullptr;
};

void TestAnschrift::initTestCase() {
    PinGermanLocale();
    db.BuildTemplate();
}

void TestAnschrift::init() {
    QVERIFY(db.Open());
    dm = db.dm;
    messages = db.messages;
    area = new QWidget;
    area->resize(1100, 860);
    page = new TAnschrift(area);
    area->show();
    QVERIFY(page->ShowPage());
}

void TestAnschrift::cleanup() {
    TAnschrift::ChooseLogoFile = nullptr;
    delete area;
    area = nullptr;
    db.Close();
}

// ---------------------------------------------------------------------------

void TestAnschrift::opensRereadOnFirstTab() {
    QCOMPARE(page->windowTitle(), QString("   Firmendaten/Andruck"));
    auto* tabs = w<QTabWidget>("PageControl1");
    QStringList titles;
    for (int i = 0; i < tabs->count(); ++i)
        titles << tabs->tabText(i);
    QCOMPARE(titles, (QStringList{"Anschrift", "Steuer / E-Rechnung", "Bankverbindung", "Andruck Allgemein",
                                  "Druckpositionen", "Angebot", "Auftrag", "Lieferschein", "Rechnung",
                                  "Teilrechnung", "Stornorechnungen", "Gutschrift", "Zahlungserinnerung",
                                  "Bestellung", "Kopf-/Fusstexte", "Mailtext"}));
    // The element list is the layout table in DEID order.
    auto* list = w<QListWidget>("ListElemente");
    QCOMPARE(list->count(), 41);
    QCOMPARE(list->item(20)->text(), QString("Kundenanschrift"));
    QCOMPARE(list->item(38)->text(), QString("Dokumentname"));
    QCOMPARE(list->item(39)->text(), QString("Rechnungsbezug"));
    QCOMPARE(list->item(40)->text(), QString("GiroCode"));
    QCOMPARE(list->currentRow(), 0);

    // An edit left unsaved is gone when the page opens again, on its first tab.
    auto* name = w<TDBEdit>("DBEditName");
    QCOMPARE(name->text(), QString("Mustername"));
    tabs->setCurrentIndex(3);
    name->setFocus();
    QTest::keyClicks(name, "XY");
    QVERIFY(dm->TableAnsch.Editing());
    QVERIFY(page->ShowPage());
    QVERIFY(!dm->TableAnsch.Editing());
    QCOMPARE(name->text(), QString("Mustername"));
    QCOMPARE(raw("select Name from Geschaeft"), QString("Mustername"));
    QCOMPARE(tabs->currentIndex(), 0);
    QVERIFY(w<TDBEdit>("DBEditAnrede")->hasFocus() || !QGuiApplication::focusWindow());
    QVERIFY(messages->boxes.isEmpty());
}

void TestAnschrift::companyFieldSaved_data() {
    QTest::addColumn<QString>("widget");
    QTest::addColumn<QString>("typed"); // empty: click the check box
    QTest::addColumn<QString>("column");
    QTest::addColumn<QString>("stored");

    // A line edit, a number field, a memo and check boxes ("stored" empty: derived from before).
    for (const auto& [widget, typed, column, stored] :
         {std::array<const char*, 4>{"DBEditName", "Huber's Söhne", "Name", "MusternameHuber's Söhne"},
          {"DBEditAndruckLeerzeilen", "2", "AndruckLeerzeilen", ""},
          {"DBMemoMailText", "Grüße ", "MailText", ""},
          {"DBCBFussNachPosZ", "", "FussNachPosZ", "J"},
          {"DBCBPreisandruckenL", "", "PreisandruckenL", "N"}})
        QTest::newRow(column) << QString::fromUtf8(widget) << QString::fromUtf8(typed)
                              << QString::fromUtf8(column) << QString::fromUtf8(stored);
}

// Typing puts the company row into edit mode; "&Speichern" stores it, and
// stores nothing while the row is not being edited.
void TestAnschrift::companyFieldSaved() {
    QFETCH(QString, widget);
    QFETCH(QString, typed);
    QFETCH(QString, column);
    QFETCH(QString, stored);

    const QString before = raw("select " + column + " from Geschaeft where GesID = 1");
    QString expected = stored;
    QWidget* target = w<QWidget>(qPrintable(widget));
    if (auto* box = qobject_cast<TDBCheckBox*>(target)) {
        const bool was = box->isChecked();
        QTest::mouseClick(box, Qt::LeftButton);
        QCOMPARE(box->isChecked(), !was);
        if (expected.isEmpty())
            expected = was ? "N" : "J";
    } else {
        target->setFocus();
        if (auto* edit = qobject_cast<QLineEdit*>(target))
            edit->end(false);
        if (auto* memo = qobject_cast<QPlainTextEdit*>(target))
            memo->moveCursor(QTextCursor::End);
        TypeText(target, typed);
        // A memo hands its lines back with the platform's line ends.
        if (expected.isEmpty())
            expected = QString(before).remove(u'\r') + typed;
    }
    QVERIFY(dm->TableAnsch.Editing());
    QCOMPARE(raw("select " + column + " from Geschaeft where GesID = 1"), before);

    QTest::mouseClick(w<QPushButton>("BitBtnSpeichern"), Qt::LeftButton);
    QVERIFY(!dm->TableAnsch.Editing());
    QCOMPARE(raw("select " + column + " from Geschaeft where GesID = 1"), expected);
    // A second click has nothing to save.
    QTest::mouseClick(w<QPushButton>("BitBtnSpeichern"), Qt::LeftButton);
    QCOMPARE(raw("select " + column + " from Geschaeft where GesID = 1"), expected);
    QVERIFY2(messages->boxes.isEmpty(), qPrintable(messages->lastText()));
}

// The tax tab keeps its values in set_allg under the names jobs use; an
// empty note shows the wording of the chosen country.
void TestAnschrift::taxSettingsSaved() {
    w<QTabWidget>("PageControl1")->setCurrentWidget(w<QWidget>("TabSteuer"));
    auto* klein = w<QLineEdit>("EditHinweisKleinunternehmer");
    QCOMPARE(klein->placeholderText(),
             QString("Umsatzsteuerfrei aufgrund der Kleinunternehmerregelung gemäß § 6 Abs. 1 Z 27 UStG."));
    auto* land = w<QComboBox>("CBLand");
    land->setCurrentIndex(land->findText("Deutschland"));
    emit land->activated(land->currentIndex());
    QCOMPARE(klein->placeholderText(), QString("Gemäß § 19 UStG wird keine Umsatzsteuer berechnet."));
    QTest::keyClicks(w<QLineEdit>("EditFirmaKontakt"), "Anna Brenner");
    QTest::keyClicks(w<QLineEdit>("EditFirmaSteuerNr"), "12/345/67890");
    // An own wording longer than the settings column's 30 characters stays whole.
    const QString note =
        "Als Kleinunternehmer im Sinne von § 19 Abs. 1 UStG berechnen wir keine Umsatzsteuer.";
    klein->setText(note);
    w<QCheckBox>("CBKleinunternehmer")->click();
    w<QCheckBox>("CBGiroCode")->click();
    QTest::mouseClick(w<QPushButton>("BitBtnSpeichern"), Qt::LeftButton);
    for (const auto& [key, value] : QList<QPair<QString, QString>>{{"FirmaKontakt", "Anna Brenner"},
                                                                   {"FirmaSteuerNr", "12/345/67890"},
                                                                   {"Kleinunternehmer", "J"},
                                                                   {"GiroCode", "J"},
                                                                   {"FirmaLand", "DE"}})
        QCOMPARE(dm->GetAllg(key), value);
    // Shown again: what is stored.
    w<QCheckBox>("CBGiroCode")->click();
    QVERIFY(page->ShowPage());
    QVERIFY(w<QCheckBox>("CBGiroCode")->isChecked());
    QCOMPARE(w<QLineEdit>("EditFirmaKontakt")->text(), QString("Anna Brenner"));
    QCOMPARE(klein->text(), note);
    QCOMPARE(SteuerHinweis(*dm, "E"), note);
}

void TestAnschrift::leavingAsksForUnsavedEdits_data() {
    QTest::addColumn<QStringList>("fields");
    QTest::addColumn<QString>("sql");
    QTest::addColumn<int>("answer");
    QTest::addColumn<QString>("stored");
    const QStringList name{"DBEditName"};
    const QStringList block{"DBEditKopfTextBez", "DBMemoKopfTextText"};
    const QString blockSql = "select count(*) from KopfText where KopfTextBez = 'XY'";
    QTest::newRow("company row, Ja") << name << "select Name from Geschaeft" << int(Messages::Yes)
                                     << "MusternameXY";
    QTest::newRow("company row, Nein")
        << name << "select Name from Geschaeft" << int(Messages::No) << "Mustername";
    QTest::newRow("mail text, Ja") << QStringList{"DBMemoMailText"}
                                   << "select substr(MailText, -2) from Geschaeft" << int(Messages::Yes)
                                   << "XY";
    QTest::newRow("text block, Ja") << block << blockSql << int(Messages::Yes) << "1";
    QTest::newRow("text block, Nein") << block << blockSql << int(Messages::No) << "0";
    // The country is a setting beside the row: "chosen" stands for the entry
    // picked in the test, "before" for the one stored before.
    const QString landSql = "select ifnull((select AllgWert from set_allg where AllgID = 'FirmaLand'), '')";
    QTest::newRow("country, Ja") << QStringList{"CBLand"} << landSql << int(Messages::Yes) << "chosen";
    QTest::newRow("country, Nein") << QStringList{"CBLand"} << landSql << int(Messages::No) << "before";
}

// Another page in front (or the program closed) hides this one; what was typed
// must not vanish with it unasked.
void TestAnschrift::leavingAsksForUnsavedEdits() {
    QFETCH(QStringList, fields);
    QFETCH(QString, sql);
    QFETCH(int, answer);
    QFETCH(QString, stored);

    const QString before = raw(sql);
    QString chosen;
    for (const QString& field : fields) {
        auto* edit = w<QWidget>(qPrintable(field));
        edit->setFocus();
        if (auto* combo = qobject_cast<QComboBox*>(edit)) {
            QTest::keyClick(combo, Qt::Key_Down);
            chosen = combo->currentData().toString();
            QVERIFY(chosen != before);
            continue;
        }
        if (auto* line = qobject_cast<QLineEdit*>(edit))
            line->end(false);
        else
            QTest::keyClick(edit, Qt::Key_End, Qt::ControlModifier);
        QTest::keyClicks(edit, "XY");
    }
    messages->answers.enqueue(Messages::Answer(answer));
    page->hide();

    QCOMPARE(messages->texts(), QStringList{"Sollen die Änderungen gespeichert werden?"});
    QCOMPARE(raw(sql), stored == "chosen" ? chosen : stored == "before" ? before : stored);
    QVERIFY(!dm->TableAnsch.Editing());
    QVERIFY(!dm->TableKopfText.Editing());

    // Nothing is asked again when the page opens once more.
    QVERIFY(page->ShowPage());
    page->hide();
    QCOMPARE(messages->boxes.size(), 1);
}

void TestAnschrift::textBlocks_data() {
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("table");
    QTest::addColumn<QString>("missingName");
    QTest::newRow("Kopftext") << "Kopf"
                              << "KopfText"
                              << "Die Bezeichnung für den Kopftext muss angegeben werden!";
    QTest::newRow("Fusstext") << "Fuss"
                              << "FussText"
                              << "Die Bezeichnung für den Fusstext muss angegeben werden!";
}

// The stored blocks are edited through their navigator under the table's rules.
void TestAnschrift::textBlocks() {
    QFETCH(QString, kind);
    QFETCH(QString, table);
    QFETCH(QString, missingName);

    auto* nav = w<TDBNavigator>(qPrintable("DBNavigator" + kind + "Text"));
    auto* bez = w<TDBEdit>(qPrintable("DBEdit" + kind + "TextBez"));
    auto* memo = w<TDBMemo>(qPrintable("DBMemo" + kind + "TextText"));
    const int before = QueryInt(dm->Query2, "select count(*) from " + table);

    QVERIFY(nav->BtnClick(TDBNavigator::nbInsert));
    memo->setFocus();
    TypeText(memo, "Text ohne Namen");
    QVERIFY(!nav->BtnClick(TDBNavigator::nbPost));
    QCOMPARE(messages->lastText(), missingName);
    QCOMPARE(QueryInt(dm->Query2, "select count(*) from " + table), before);

    bez->setFocus();
    TypeText(bez, "Gruß");
    QVERIFY(nav->BtnClick(TDBNavigator::nbPost));
    QCOMPARE(QueryInt(dm->Query2, "select count(*) from " + table), before + 1);
    QCOMPARE(raw("select " + table + "Text from " + table + " where " + table + "Bez = 'Gruß'"),
             QString("Text ohne Namen"));
}

void TestAnschrift::elementFields_data() {
    QTest::addColumn<int>("deid");
    QTest::addColumn<QString>("leftCaption");
    QTest::addColumn<QString>("enabled"); // left, top, width, height, andrucken, mit Kopf ausblenden
    QTest::addColumn<QStringList>("values");

    for (const auto& [tag, deid, caption, enabled, values] :
         {std::tuple{"Druckbereich", 0, "Links (mm)", "111100", QStringList{"15", "9", "180", "271"}},
          {"Seitenanzahl", 1, "Links (mm)", "110010", QStringList{"157", "284", "38", "0"}},
          {"Kopfbereich", 2, "Links (mm)", "000100", QStringList{"0", "0", "0", "99"}},
          {"Logo2", 4, "Links (mm)", "111011", QStringList{"0", "0", "10", "0"}},
          {"Kundenanschrift", 20, "Links (mm)", "111000", QStringList{"2", "50", "90", "0"}},
          {"Fussbereich", 33, "Mindesthöhe", "110100", QStringList{"51", "220", "0", "51"}},
          {"Dokumentname", 38, "Links (mm)", "111011", QStringList{"117", "50", "61", "0"}},
          {"Rechnungsbezug", 39, "Links (mm)", "111000", QStringList{"2", "94", "176", "0"}},
          {"GiroCode", 40, "Links (mm)", "111010", QStringList{"152", "63", "26", "0"}}})
        QTest::newRow(tag) << deid << QString::fromUtf8(caption) << QString::fromLatin1(enabled) << values;
}

// Each element shows its row and offers only what applies to it; the
// footer area's left value is its minimum height.
void TestAnschrift::elementFields() {
    QFETCH(int, deid);
    QFETCH(QString, leftCaption);
    QFETCH(QString, enabled);
    QFETCH(QStringList, values);

    select(33); // the caption must come back from "Mindesthöhe" as well
    select(deid);
    QCOMPARE(w<QLabel>("LabelLeft")->text(), leftCaption);
    const char* names[] = {"EditLeft", "EditTop", "EditWidth", "EditHeight", "CBVisible", "CBHide"};
    QString shown;
    for (const char* n : names)
        shown += w<QWidget>(n)->isEnabled() ? u'1' : u'0';
    QCOMPARE(shown, enabled);
    QStringList texts;
    for (int i = 0; i < 4; ++i)
        texts << w<QLineEdit>(names[i])->text();
    QCOMPARE(texts, values);
    QCOMPARE(w<QCheckBox>("CBVisible")->isChecked(), element(deid, "Visible") == "Y");
    QCOMPARE(w<QCheckBox>("CBHide")->isChecked(), element(deid, "Hide") == "Y");
    QVERIFY(messages->boxes.isEmpty());
}

void TestAnschrift::previewShowsArea_data() {
    QTest::addColumn<int>("deid");
    QTest::addColumn<int>("area"); // -1: nothing drawn
    QTest::addColumn<int>("elements");

    QTest::newRow("Druckbereich") << 0 << -1 << 0;
    QTest::newRow("Seitenanzahl") << 1 << -1 << 0;
    QTest::newRow("Kopfbereich") << 2 << 2 << 33;
    QTest::newRow("Kundenanschrift") << 20 << 2 << 33;
    QTest::newRow("GiroCode") << 40 << 2 << 33;
    QTest::newRow("Fussbereich") << 33 << 33 << 4;
    QTest::newRow("Bankdaten") << 36 << 33 << 4;
}

void TestAnschrift::previewShowsArea() {
    QFETCH(int, deid);
    QFETCH(int, area);
    QFETCH(int, elements);

    showLayoutEditor();
    select(deid);
    const auto& boxes = preview()->Boxes();
    if (area < 0) {
        QVERIFY(boxes.isEmpty());
        return;
    }
    QCOMPARE(boxes.size(), elements + 1);
    const QRect areaRect = preview()->BoxRect(area);
    QCOMPARE(areaRect.width(), 540);
    QCOMPARE(areaRect.height(), element(area, "Height").toInt() * 3);
    if (area == 2)
        QCOMPARE(areaRect.top(), 0);
    else
        QCOMPARE(areaRect.bottom(), preview()->height() - 1);
    for (const TDruckVorschau::TBox& b : boxes) {
        if (b.Area)
            continue;
        QVERIFY2(areaRect.contains(b.Rect.topLeft()), qPrintable(b.Title));
        // 180 mm over 540 pixels; 3 pixels a millimetre down; 12 pixels for no height.
        QCOMPARE(b.Rect.left(), element(b.DEID, "Left").toInt() * 3);
        QCOMPARE(b.Rect.top() - areaRect.top(), element(b.DEID, "Top").toInt() * 3);
        QCOMPARE(b.Rect.height(), 12);
        QCOMPARE(b.Color,
                 element(b.DEID, "Visible") == "Y" ? QColor(0xA6, 0xCA, 0xF0) : QColor(0xC0, 0xC0, 0xC0));
    }
    // A click on the area selects it.
    QTest::mouseClick(preview(), Qt::LeftButton, {}, QPoint(539, areaRect.top() + 1));
    QCOMPARE(w<QListWidget>("ListElemente")->currentRow(), area);
}

// A change of a field or a click on a check box is stored at once; an empty
// field leaves its column alone.
void TestAnschrift::layoutFieldsSaveAtOnce() {
    select(20);
    auto* width = w<QLineEdit>("EditWidth");
    width->setFocus();
    width->selectAll();
    QTest::keyClicks(width, "95");
    QCOMPARE(element(20, "Width"), QString("95"));
    width->clear();
    QCOMPARE(element(20, "Width"), QString("95"));
    QCOMPARE(element(20, "Left"), QString("2"));

    select(5);
    QTest::mouseClick(w<QCheckBox>("CBVisible"), Qt::LeftButton);
    QCOMPARE(element(5, "Visible"), QString("N"));
    QTest::mouseClick(w<QCheckBox>("CBHide"), Qt::LeftButton);
    QCOMPARE(element(5, "Hide"), QString("N"));
    QCOMPARE(element(5, "Width"), QString("60"));
    // Merely selecting writes nothing.
    select(6);
    select(5);
    QCOMPARE(element(5, "Visible"), QString("N"));
    QVERIFY(messages->boxes.isEmpty());
}

void TestAnschrift::layoutFieldsTakeDigitsOnly_data() {
    QTest::addColumn<QString>("pasted");
    QTest::newRow("Buchstabe") << "12a";
    QTest::newRow("Minus") << "-5";
    QTest::newRow("Komma") << "3,5";
    QTest::newRow("SQL") << "1, Title = 'x'";
}

// Neither typing nor pasting gets anything but digits into a field, so the
// row keeps its value.
void TestAnschrift::layoutFieldsTakeDigitsOnly() {
    QFETCH(QString, pasted);
    select(20);
    auto* left = w<QLineEdit>("EditLeft");
    left->setFocus();
    left->selectAll();
    QApplication::clipboard()->setText(pasted);
    left->paste();
    TypeText(left, pasted);
    QVERIFY2(!left->text().contains(QRegularExpression("[^0-9]")), qPrintable(left->text()));
    QCOMPARE(element(20, "Title"), QString("Kundenanschrift"));
    if (left->text().isEmpty())
        QCOMPARE(element(20, "Left"), QString("2"));
    else
        QCOMPARE(element(20, "Left"), left->text());
}

void TestAnschrift::layoutValueNotWholeRefused_data() {
    QTest::addColumn<QStringList>("values");
    QTest::newRow("Buchstaben") << QStringList{"abc", "1", "1", "1"};
    QTest::newRow("Dezimalzahl") << QStringList{"1", "2.5", "1", "1"};
    QTest::newRow("Anweisung") << QStringList{"1", "1", "1, Title = 'x'", "1"};
    QTest::newRow("Vorzeichen") << QStringList{"1", "1", "1", "-3"};
}

// What is not a whole number never reaches the statement: a warning, and the
// row keeps every old value.
void TestAnschrift::layoutValueNotWholeRefused() {
    QFETCH(QStringList, values);
    QVERIFY(!dm->SaveDruckElement(20, values, false, true));
    QCOMPARE(messages->boxes.size(), 1);
    QCOMPARE(messages->boxes.first().kind, Messages::Warning);
    QCOMPARE(raw("select Left || '/' || Top || '/' || Width || '/' || Height || Visible || Hide || Title "
                 "from DruckElement where DEID = 20"),
             QString("2/50/90/0YNKundenanschrift"));
}

void TestAnschrift::dragElement_data() {
    QTest::addColumn<int>("deid");
    QTest::addColumn<QPoint>("move");
    QTest::addColumn<QString>("leftTop");

    // 3 pixels a millimetre both ways.
    QTest::newRow("Kundenanschrift") << 20 << QPoint(30, 15) << "12/55";
    QTest::newRow("Kundenanschrift links hinaus") << 20 << QPoint(-60, -300) << "0/0";
    QTest::newRow("Skonto im Fussbereich") << 34 << QPoint(-9, 6) << "8/23";
}

// Pressing on a box selects its element; the box follows the pointer, the
// fields follow the box, and the row is stored when the button is released.
void TestAnschrift::dragElement() {
    QFETCH(int, deid);
    QFETCH(QPoint, move);
    QFETCH(QString, leftTop);

    showLayoutEditor();
    select(deid == 20 ? 5 : 36); // another element of the same area
    const QRect box = preview()->BoxRect(deid);
    QVERIFY(!box.isEmpty());
    const QPoint start = box.topLeft() + QPoint(4, 4);
    const QString before = element(deid, "Width");

    QTest::mousePress(preview(), Qt::LeftButton, {}, start);
    QCOMPARE(w<QListWidget>("ListElemente")->currentRow(), deid);
    QVERIFY(preview()->Dragging());
    QCOMPARE(preview()->cursor().shape(), Qt::SizeAllCursor);
    QTest::mouseMove(preview(), start + move / 2);
    QTest::mouseMove(preview(), start + move);
    const QStringList expected = leftTop.split('/');
    QCOMPARE(w<QLineEdit>("EditLeft")->text(), expected[0]);
    QCOMPARE(w<QLineEdit>("EditTop")->text(), expected[1]);
    // Nothing is stored while the button is held.
    QCOMPARE(element(deid, "Left") + "/" + element(deid, "Top") == leftTop, false);

    QTest::mouseRelease(preview(), Qt::LeftButton, {}, start + move);
    QVERIFY(!preview()->Dragging());
    QCOMPARE(element(deid, "Left") + "/" + element(deid, "Top"), leftTop);
    QCOMPARE(element(deid, "Width"), before);
    // The redrawn box sits where it was dropped.
    const QRect after = preview()->BoxRect(deid);
    QCOMPARE(after.left(), expected[0].toInt() * 3);
    QVERIFY(messages->boxes.isEmpty());
}

void TestAnschrift::printAreaWidthScalesPreview_data() {
    QTest::addColumn<QString>("width");
    QTest::addColumn<int>("boxWidth"); // of Kundenanschrift (90 mm); -1: nothing drawn
    QTest::newRow("90 mm") << "90" << 540;
    QTest::newRow("360 mm") << "360" << 135;
    QTest::newRow("0 mm") << "0" << -1;
}

// The print area's width is the preview's scale at once; a width of 0 leaves
// the preview empty, and pressing on it does nothing.
void TestAnschrift::printAreaWidthScalesPreview() {
    QFETCH(QString, width);
    QFETCH(int, boxWidth);

    showLayoutEditor();
    select(20);
    QCOMPARE(preview()->BoxRect(20).width(), 270);
    select(0);
    auto* edit = w<QLineEdit>("EditWidth");
    edit->setFocus();
    edit->selectAll();
    QTest::keyClicks(edit, qPrintable(width));
    QCOMPARE(element(0, "Width"), width);
    QCOMPARE(page->PreviewScale(), width.toInt());
    select(20);
    if (boxWidth < 0) {
        QVERIFY(preview()->Boxes().isEmpty());
        QTest::mousePress(preview(), Qt::LeftButton, {}, QPoint(10, 152));
        QTest::mouseMove(preview(), QPoint(60, 200));
        QTest::mouseRelease(preview(), Qt::LeftButton, {}, QPoint(60, 200));
        QCOMPARE(w<QListWidget>("ListElemente")->currentRow(), 20);
        QCOMPARE(element(20, "Left") + "/" + element(20, "Top"), QString("2/50"));
    } else {
        QCOMPARE(preview()->BoxRect(20).width(), boxWidth);
    }
    // The next opening reads the stored width again.
    QVERIFY(page->ShowPage());
    QCOMPARE(page->PreviewScale(), width.toInt());
    QVERIFY(messages->boxes.isEmpty());
}

// Any picture Qt reads is stored as a bitmap under the fixed name at once;
// removing deletes the file. Both put the company row into edit mode.
void TestAnschrift::logoChosenAndRemoved() {
    QTemporaryDir dir;
    const QString png = dir.filePath("logo.png");
    QImage picture(40, 20, QImage::Format_ARGB32);
    picture.fill(Qt::transparent);
    for (int x = 0; x < 20; ++x)
        for (int y = 0; y < 20; ++y)
            picture.setPixelColor(x, y, QColor(200, 0, 0));
    QVERIFY(picture.save(png, "PNG"));
    TAnschrift::ChooseLogoFile = [&png](int logo) { return logo == 1 ? png : QString(); };

    // The chooser offers every format the program reads, PNG first.
    const QString filter = LogoFileFilter();
    QVERIFY2(filter.startsWith("Alle Bilddateien (*.png *.jpg *.jpeg *.bmp "), qPrintable(filter));
    for (const QByteArray& format : QImageReader::supportedImageFormats())
        QVERIFY2(filter.section(";;", 0, 0).contains("*." + QString::fromLatin1(format).toLower()),
                 format.constData());

    const QString file = TDM::LogoFileName(1);
    QCOMPARE(file, db.home->dataFolder() + "Logo1.bmp");
    QVERIFY(!QFile::exists(file));
    QTest::mouseClick(w<QPushButton>("BtnLogo2Auswaehlen"), Qt::LeftButton); // cancelled
    QVERIFY(!QFile::exists(TDM::LogoFileName(2)));
    QVERIFY(!dm->TableAnsch.Editing());

    QTest::mouseClick(w<QPushButton>("BtnLogo1Auswaehlen"), Qt::LeftButton);
    QVERIFY2(messages->boxes.isEmpty(), qPrintable(messages->lastText()));
    QImageReader reader(file);
    QCOMPARE(reader.format(), QByteArray("bmp"));
    const QImage stored = reader.read();
    QCOMPARE(stored.size(), QSize(40, 20));
    QCOMPARE(stored.pixelColor(5, 5), QColor(200, 0, 0));
    QCOMPARE(stored.pixelColor(35, 5), QColor(Qt::white)); // transparent parts print as paper
    QVERIFY(!w<QLabel>("ImageLogo1")->pixmap().isNull());
    QVERIFY(dm->TableAnsch.Editing());
    QCOMPARE(QDir(db.home->dataFolder()).entryList({"Logo*"}), QStringList{"Logo1.bmp"});

    // Opening the page again shows the stored logo.
    QVERIFY(page->ShowPage());
    QVERIFY(!w<QLabel>("ImageLogo1")->pixmap().isNull());
    QVERIFY(w<QLabel>("ImageLogo2")->pixmap().isNull());

    QTest::mouseClick(w<QPushButton>("BtnLogo1Entfernen"), Qt::LeftButton);
    QVERIFY(!QFile::exists(file));
    QVERIFY(w<QLabel>("ImageLogo1")->pixmap().isNull());
    QVERIFY(dm->TableAnsch.Editing());
    QVERIFY(messages->boxes.isEmpty());
}

void TestAnschrift::logoNotReadableKeepsOld_data() {
    QTest::addColumn<QString>("problem");
    QTest::addColumn<QString>("message");
    QTest::newRow("kein Bild") << "text"
                               << "Das Bild „";
    QTest::newRow("Datei fehlt") << "missing"
                                 << "Das Bild „";
    QTest::newRow("Ziel nicht schreibbar") << "target"
                                           << "Das Logo kann nicht gespeichert werden: ";
}

// A picture that cannot be read, or a logo that cannot be written, is
// reported; the old logo stays as it was and nothing half-written is left.
void TestAnschrift::logoNotReadableKeepsOld() {
    QFETCH(QString, problem);
    QFETCH(QString, message);

    QTemporaryDir dir;
    const QString good = dir.filePath("good.bmp");
    QImage picture(8, 8, QImage::Format_RGB32);
    picture.fill(QColor(0, 0, 255));
    QVERIFY(picture.save(good, "BMP"));
    QVERIFY(TDM::SaveLogo(2, good));
    QFile logo(TDM::LogoFileName(2));
    QVERIFY(logo.open(QIODevice::ReadOnly));
    const QByteArray before = logo.readAll();
    logo.close();

    QString chosen = dir.filePath("bild.jpg");
    if (problem == "text") {
        QFile f(chosen);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("kein Bild, nur Text");
    } else if (problem == "missing") {
        chosen = dir.filePath("fehlt.jpg");
    } else {
        chosen = good;
        // The data folder's logo name is taken by a folder: the write must fail.
        QVERIFY(QFile::remove(TDM::LogoFileName(2)));
        QVERIFY(QDir().mkdir(TDM::LogoFileName(2)));
    }
    TAnschrift::ChooseLogoFile = [&chosen](int) { return chosen; };
    QTest::mouseClick(w<QPushButton>("BtnLogo2Auswaehlen"), Qt::LeftButton);

    QCOMPARE(messages->boxes.size(), 1);
    QCOMPARE(messages->boxes.first().kind, Messages::Error);
    QVERIFY2(messages->lastText().startsWith(message), qPrintable(messages->lastText()));
    QVERIFY(!dm->TableAnsch.Editing());
    if (problem == "target") {
        QVERIFY(QFileInfo(TDM::LogoFileName(2)).isDir());
    } else {
        QVERIFY(logo.open(QIODevice::ReadOnly));
        QCOMPARE(logo.readAll(), before);
    }
    QCOMPARE(QDir(db.home->dataFolder()).entryList({"Logo*"}), QStringList{"Logo2.bmp"});
}

QTEST_MAIN(TestAnschrift)
#include "tst_anschrift.moc"
