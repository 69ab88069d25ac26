// Bound text fields, memo, check box, lookup list, date picker and the navigator
// bar, driven as a user drives them, over a real SQLite file.
#include "SQLite.h"
#include "TDBCheckBox.h"
#include "TDBDataLink.h"
#include "TDBDateEdit.h"
#include "TDBEdit.h"
#include "TDBLookupComboBox.h"
#include "TDBMemo.h"
#include "TDBNavigator.h"
#include "TDBText.h"
#include "TestSupport.h"

#include <QApplication>
#include <QFocusEvent>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>

#include <memory>

namespace {

// Types any text, also characters QTest::keyClicks cannot (umlauts).
void TypeText(QWidget* w, const QString& text) {
    for (const QChar ch : text)
        QTest::sendKeyEvent(QTest::Click, w, Qt::Key_unknown, QString(ch), Qt::NoModifier);
}

void Leave(QWidget* w) {
    QFocusEvent event(QEvent::FocusOut, Qt::TabFocusReason);
    QApplication::sendEvent(w, &event);
}

} // namespace

class TestDBControls : public QObject {
    Q_OBJECT

private:
    QTemporaryDir FDir;
    std::unique_ptr<TSQLiteDB> FDB;
    std::unique_ptr<TSQLiteTable> FTable;
    std::unique_ptr<TSQLiteQuery> FLand;
    std::unique_ptr<TDataSource> FSource;
    std::unique_ptr<ScriptedMessages> FMessages;

    QVariant Stored(const QString& column, int id) {
        TSQLiteQuery q(FDB.get());
        q.RunSQL(QStringLiteral("select %1 as V from Kunde where ID = %2").arg(column).arg(id));
        if (q.IsEmpty() || q.Fields(0)->IsNull())
            return {};
        TField* f = q.Fields(0);
        if (f->DataType() == TFieldType::Date)
            return f->AsDateTime().date();
        if (f->DataType() == TFieldType::Memo || f->DataType() == TFieldType::String)
            return f->AsString();
        return f->Value();
    }

private slots:
    void initTestCase() { PinGermanLocale(); }

    void init() {
        FMessages = std::make_unique<ScriptedMessages>();
        FDB = std::make_unique<TSQLiteDB>();
        FDB->FileName = FDir.filePath(QStringLiteral("controls.db"));
        QFile::remove(FDB->FileName);
        FDB->Open();
        FDB->ExecSQL(QStringLiteral("create table Land (LandID INTEGER PRIMARY KEY, LandBez VARCHAR(30))"));
        FDB->ExecSQL(
            QStringLiteral("insert into Land values (1, ' '), (2, 'Österreich'), (3, 'Deutschland')"));
        FDB->ExecSQL(QStringLiteral(
            "create table Kunde (ID INTEGER PRIMARY KEY, Name VARCHAR(10), Aktiv CHAR(1), Druck CHAR(1), "
            "LandID INTEGER, Rabatt FLOAT, Anzahl INTEGER, Datum DATE, Notiz TEXT)"));
        FDB->ExecSQL(
            QStringLiteral("insert into Kunde values (1, 'Müller', 'J', 'Y', 2, 2.5, 7, '2014-03-24', "
                           "'Zeile 1\nZeile 2'), (2, 'Berger', 'N', 'N', 3, NULL, NULL, NULL, NULL)"));
        FTable = std::make_unique<TSQLiteTable>(FDB.get());
        FTable->SetTableName(QStringLiteral("Kunde"));
        FTable->PrimaryAutoInc = true;
        FTable->Open();
        FLand = std::make_unique<TSQLiteQuery>(FDB.get());
        FLand->RunSQL(QStringLiteral("select * from Land order by LandBez"));
        FSource = std::make_unique<TDataSource>(FTable.get());
    }

    void cleanup() {
        FSource.reset();
        FLand.reset();
        FTable.reset();
        FDB.reset();
        QCOMPARE(FMessages->unexpected, 0);
        FMessages.reset();
    }

    // Every control shows the current row and follows the cursor at once.
    void controlsFollowTheCurrentRow() {
        TDBEdit edit;
        BindField(&edit, FSource.get(), QStringLiteral("Name"));
        TDBEdit rabatt;
        BindField(&rabatt, FSource.get(), QStringLiteral("Rabatt"));
        TDBMemo memo;
        BindField(&memo, FSource.get(), QStringLiteral("Notiz"));
        TDBCheckBox aktiv;
        BindField(&aktiv, FSource.get(), QStringLiteral("Aktiv"));
        TDBCheckBox druck;
        druck.SetValueChecked(QStringLiteral("Y"));
        BindField(&druck, FSource.get(), QStringLiteral("Druck"));
        TDBLookupComboBox land;
        BindField(&land, FSource.get(), QStringLiteral("LandID"));
        land.SetListDataSet(FLand.get());
        land.SetKeyField(QStringLiteral("LandID"));
        land.SetListField(QStringLiteral("LandBez"));
        land.SetDropDownRows(10);
        TDBDateEdit datum;
        BindField(&datum, FSource.get(), QStringLiteral("Datum"));
        TDBText label;
        BindField(&label, FSource.get(), QStringLiteral("Rabatt"));
        FTable->FieldByName(QStringLiteral("Rabatt"))->DisplayFormat = QStringLiteral("0.00 EUR");
        FTable->First();

        QCOMPARE(label.text(), QStringLiteral("2,50 EUR"));
        QCOMPARE(edit.text(), QStringLiteral("Müller"));
        // Outside the field an amount reads in its pattern, inside as it is typed.
        QCOMPARE(rabatt.text(), QStringLiteral("2,50 EUR"));
        QFocusEvent focusIn(QEvent::FocusIn, Qt::TabFocusReason);
        QApplication::sendEvent(&rabatt, &focusIn);
        QCOMPARE(rabatt.text(), QStringLiteral("2,5"));
        Leave(&rabatt);
        QCOMPARE(rabatt.text(), QStringLiteral("2,50 EUR"));
        QCOMPARE(FTable->State(), TDataSetState::Browse);
        QCOMPARE(memo.toPlainText(), QStringLiteral("Zeile 1\nZeile 2"));
        QVERIFY(aktiv.isChecked());
        QVERIFY(druck.isChecked());
        QCOMPARE(land.count(), 3);
        QCOMPARE(land.currentText(), QStringLiteral("Österreich"));
        QCOMPARE(land.maxVisibleItems(), 10);
        QCOMPARE(datum.FieldDate(), QDate(2014, 3, 24));
        QCOMPARE(datum.text(), QStringLiteral("24.03.2014"));

        FTable->Next();
        QCOMPARE(label.text(), QString());
        QCOMPARE(edit.text(), QStringLiteral("Berger"));
        QCOMPARE(rabatt.text(), QString());
        QCOMPARE(memo.toPlainText(), QString());
        QVERIFY(!aktiv.isChecked());
        QVERIFY(!druck.isChecked());
        QCOMPARE(land.currentText(), QStringLiteral("Deutschland"));
        QVERIFY(!datum.FieldDate().isValid());

        // A value assigned in code shows at once, without moving.
        FTable->Edit();
        FTable->FieldByName(QStringLiteral("Name"))->SetAsString(QStringLiteral("Huber"));
        FTable->FieldByName(QStringLiteral("LandID"))->SetAsInteger(1);
        QCOMPARE(edit.text(), QStringLiteral("Huber"));
        QCOMPARE(land.currentText(), QStringLiteral(" "));

        // Closed dataset: the controls are empty and cannot be typed into.
        FTable->Cancel();
        FTable->Close();
        QCOMPARE(edit.text(), QString());
        QVERIFY(edit.isReadOnly());
        QVERIFY(!aktiv.isEnabled());
        QCOMPARE(land.currentIndex(), -1);
    }

    // Typing enters edit state, leaving the field writes, the navigator saves.
    void typingEditsAndTheNavigatorSaves() {
        TDBEdit edit;
        BindField(&edit, FSource.get(), QStringLiteral("Name"));
        TDBMemo memo;
        BindField(&memo, FSource.get(), QStringLiteral("Notiz"));
        TDBNavigator nav;
        nav.SetDataSource(FSource.get());
        QVERIFY(nav.Button(TDBNavigator::nbPost) && !nav.Button(TDBNavigator::nbPost)->isEnabled());

        edit.selectAll();
        TypeText(&edit, QStringLiteral("Jürgen"));
        QCOMPARE(FTable->State(), TDataSetState::Edit);
        QVERIFY(nav.Button(TDBNavigator::nbPost)->isEnabled());
        QVERIFY(!nav.Button(TDBNavigator::nbEdit)->isEnabled());
        Leave(&edit);
        QCOMPARE(FTable->FieldByName(QStringLiteral("Name"))->AsString(), QStringLiteral("Jürgen"));

        // Still inside the memo when saving: its text is saved too.
        memo.moveCursor(QTextCursor::End);
        TypeText(&memo, QStringLiteral(" und ß"));
        QTest::mouseClick(nav.Button(TDBNavigator::nbPost), Qt::LeftButton);
        QCOMPARE(FTable->State(), TDataSetState::Browse);
        QCOMPARE(Stored(QStringLiteral("Name"), 1).toString(), QStringLiteral("Jürgen"));
        QCOMPARE(Stored(QStringLiteral("Notiz"), 1).toString(), QStringLiteral("Zeile 1\nZeile 2 und ß"));
        QCOMPARE(edit.text(), QStringLiteral("Jürgen"));

        // Cancel brings back the stored text; Escape drops what was typed.
        TypeText(&edit, QStringLiteral("x"));
        QVERIFY(nav.BtnClick(TDBNavigator::nbCancel));
        QCOMPARE(edit.text(), QStringLiteral("Jürgen"));
        TypeText(&edit, QStringLiteral("y"));
        QTest::keyClick(&edit, Qt::Key_Escape);
        QCOMPARE(edit.text(), QStringLiteral("Jürgen"));

        // Enter writes the value (without saving the record).
        edit.selectAll();
        TypeText(&edit, QStringLiteral("Hans"));
        QTest::keyClick(&edit, Qt::Key_Return);
        QCOMPARE(FTable->FieldByName(QStringLiteral("Name"))->AsString(), QStringLiteral("Hans"));
        QCOMPARE(FTable->State(), TDataSetState::Edit);
        QCOMPARE(Stored(QStringLiteral("Name"), 1).toString(), QStringLiteral("Jürgen"));
    }

    // A save the rules refuse leaves the record in edit state with the text as typed.
    void refusedSaveKeepsTheTypedText() {
        FTable->BeforePost = [](TSQLiteBaseQuery*) {
            Messages::warning(QStringLiteral("Die Bezeichnung muss angegeben werden!"));
            Abort();
        };
        TDBEdit edit;
        BindField(&edit, FSource.get(), QStringLiteral("Name"));
        TDBNavigator nav;
        nav.SetDataSource(FSource.get());

        edit.selectAll();
        TypeText(&edit, QStringLiteral("Neu"));
        QVERIFY(!nav.BtnClick(TDBNavigator::nbPost));
        QCOMPARE(FMessages->texts(), QStringList{QStringLiteral("Die Bezeichnung muss angegeben werden!")});
        QCOMPARE(FTable->State(), TDataSetState::Edit);
        QCOMPARE(edit.text(), QStringLiteral("Neu"));
        QCOMPARE(Stored(QStringLiteral("Name"), 1).toString(), QStringLiteral("Müller"));

        // The user corrects the text and saves again.
        FTable->BeforePost = nullptr;
        TypeText(&edit, QStringLiteral("!"));
        QVERIFY(nav.BtnClick(TDBNavigator::nbPost));
        QCOMPARE(Stored(QStringLiteral("Name"), 1).toString(), QStringLiteral("Neu!"));
    }

    // Moving to another record keeps what was typed in the field the user is
    // still in: the navigator's buttons take no focus, so nothing else writes it.
    void movingAwaySavesWhatWasTyped_data() {
        QTest::addColumn<int>("button");
        QTest::addColumn<QString>("stored");
        QTest::newRow("next") << int(TDBNavigator::nbNext) << "Müllerei";
        QTest::newRow("insert") << int(TDBNavigator::nbInsert) << "Müllerei";
        QTest::newRow("cancel") << int(TDBNavigator::nbCancel) << "Müller";
    }

    void movingAwaySavesWhatWasTyped() {
        QFETCH(int, button);
        QFETCH(QString, stored);
        TDBEdit edit;
        BindField(&edit, FSource.get(), QStringLiteral("Name"));
        TDBNavigator nav;
        nav.SetDataSource(FSource.get());
        // A field shows the beginning of its text; the user goes to its end to add.
        QCOMPARE(edit.cursorPosition(), 0);
        QTest::keyClick(&edit, Qt::Key_End);
        TypeText(&edit, QStringLiteral("ei"));
        QTest::mouseClick(nav.Button(TDBNavigator::TNavigateBtn(button)), Qt::LeftButton);
        QCOMPARE(Stored(QStringLiteral("Name"), 1).toString(), stored);
        FTable->Cancel();
        FTable->First();
        QCOMPARE(edit.text(), stored);
    }

    // A refused edit (for example a closed document) takes nothing typed.
    void refusedEditTakesNoInput() {
        FTable->BeforeEdit = [](TSQLiteBaseQuery*) { Abort(); };
        TDBEdit edit;
        BindField(&edit, FSource.get(), QStringLiteral("Name"));
        TDBCheckBox aktiv;
        BindField(&aktiv, FSource.get(), QStringLiteral("Aktiv"));
        TypeText(&edit, QStringLiteral("x"));
        QCOMPARE(edit.text(), QStringLiteral("Müller"));
        aktiv.click();
        QVERIFY(aktiv.isChecked());
        QCOMPARE(FTable->State(), TDataSetState::Browse);
    }

    // The declared length limits typing, so nothing is cut when read back.
    void textFieldTakesTheDeclaredLength() {
        TDBEdit edit;
        BindField(&edit, FSource.get(), QStringLiteral("Name"));
        QCOMPARE(edit.maxLength(), 10);
        edit.selectAll();
        TypeText(&edit, QStringLiteral("Abcdefghijklm"));
        QCOMPARE(edit.text(), QStringLiteral("Abcdefghij"));
        Leave(&edit);
        FTable->Post();
        QCOMPARE(Stored(QStringLiteral("Name"), 1).toString(), QStringLiteral("Abcdefghij"));
    }

    void numbersAreCheckedWhenWritten_data() {
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QVariant>("stored");
        QTest::addColumn<QString>("warning");
        QTest::addColumn<QString>("locale");
        QTest::newRow("whole") << "Rabatt"
                               << "20" << QVariant(20.0) << QString() << "de_DE";
        QTest::newRow("empty is null") << "Rabatt"
                                       << "" << QVariant() << QString() << "de_DE";
        QTest::newRow("letters") << "Rabatt"
                                 << "abc" << QVariant(2.5) << "\"abc\" ist keine gültige Zahl!"
                                 << "de_DE";
        QTest::newRow("integer") << "Anzahl"
                                 << "12" << QVariant(12) << QString() << "de_DE";
        QTest::newRow("fraction for integer")
            << "Anzahl"
            << "1,5" << QVariant(7) << "\"1,5\" ist keine gültige ganze Zahl!"
            << "de_DE";
        QTest::newRow("date") << "Datum"
                              << "1.2.2015" << QVariant(QDate(2015, 2, 1)) << QString() << "de_DE";
        QTest::newRow("impossible date")
            << "Datum"
            << "31.02.2015" << QVariant(QDate(2014, 3, 24)) << "\"31.02.2015\" ist kein gültiges Datum!"
            << "de_DE";
        // Both separators in every locale: a bare machine (C) or an English one
        // must not refuse "10,5" nor read "1.234,50" as anything but 1234.5.
        for (const char* locale : {"en_US", "C", "de_DE"}) {
            const QString l = QString::fromLatin1(locale);
            QTest::newRow(qPrintable(l + " comma")) << "Rabatt"
                                                    << "10,5" << QVariant(10.5) << QString() << l;
            QTest::newRow(qPrintable(l + " point")) << "Rabatt"
                                                    << "10.5" << QVariant(10.5) << QString() << l;
            QTest::newRow(qPrintable(l + " grouped")) << "Rabatt"
                                                      << "1.234,50" << QVariant(1234.5) << QString() << l;
            QTest::newRow(qPrintable(l + " grouped point"))
                << "Rabatt"
                << "1,234.50" << QVariant(1234.5) << QString() << l;
            QTest::newRow(qPrintable(l + " negative")) << "Rabatt"
                                                       << "-0,25" << QVariant(-0.25) << QString() << l;
            QTest::newRow(qPrintable(l + " two commas")) << "Rabatt"
                                                         << "1,2,3" << QVariant(123.0) << QString() << l;
            QTest::newRow(qPrintable(l + " letters"))
                << "Rabatt"
                << "1,5x" << QVariant(2.5) << "\"1,5x\" ist keine gültige Zahl!" << l;
        }
    }

    void numbersAreCheckedWhenWritten() {
        QFETCH(QString, field);
        QFETCH(QString, typed);
        QFETCH(QVariant, stored);
        QFETCH(QString, warning);
        QFETCH(QString, locale);
        QLocale::setDefault(QLocale(locale));
        const auto german = qScopeGuard([] { PinGermanLocale(); });
        TDBEdit edit;
        BindField(&edit, FSource.get(), field);
        TDBNavigator nav;
        nav.SetDataSource(FSource.get());

        edit.selectAll();
        QTest::keyClick(&edit, Qt::Key_Delete);
        TypeText(&edit, typed);
        const bool saved = nav.BtnClick(TDBNavigator::nbPost);
        QCOMPARE(saved, warning.isEmpty());
        if (!warning.isEmpty()) {
            // No database error, no stored text: a clear message and the input stays for correcting.
            QCOMPARE(FMessages->texts(), QStringList{warning});
            QCOMPARE(FMessages->boxes.last().kind, Messages::Warning);
            QCOMPARE(FTable->State(), TDataSetState::Edit);
            QCOMPARE(edit.text(), typed);
            FTable->Cancel();
        }
        QCOMPARE(Stored(field, 1), stored);
    }

    // A refused number is shown once, even when a message box takes the focus
    // from the window meanwhile, and the cursor comes back into the field with
    // the text selected, so that typing goes on there and not in the next field.
    void refusedNumberKeepsTheCursor() {
        QWidget window;
        auto* edit = new TDBEdit(&window);
        auto* next = new TDBEdit(&window);
        next->move(0, 40);
        BindField(edit, FSource.get(), QStringLiteral("Rabatt"));
        BindField(next, FSource.get(), QStringLiteral("Name"));
        window.show();
        QApplication::setActiveWindow(&window);
        QVERIFY(QTest::qWaitForWindowActive(&window));
        edit->setFocus();
        edit->selectAll();
        TypeText(edit, QStringLiteral("abc"));

        QFocusEvent toBox(QEvent::FocusOut, Qt::ActiveWindowFocusReason);
        QApplication::sendEvent(edit, &toBox);
        QVERIFY(FMessages->boxes.isEmpty());

        next->setFocus(Qt::TabFocusReason);
        QCOMPARE(FMessages->texts(), QStringList{QStringLiteral("\"abc\" ist keine gültige Zahl!")});
        QCoreApplication::processEvents();
        QCOMPARE(QApplication::focusWidget(), edit);
        QCOMPARE(edit->selectedText(), QStringLiteral("abc"));
        QCOMPARE(FMessages->boxes.size(), 1);
        FTable->Cancel();
    }

    // Tab leaves a date field for the next field instead of walking through
    // day, month and year; Shift+Tab comes back.
    void tabLeavesTheDateField() {
        QWidget window;
        auto* before = new TDBEdit(&window);
        auto* date = new TDBDateEdit(&window);
        auto* after = new TDBEdit(&window);
        BindField(date, FSource.get(), QStringLiteral("Datum"));
        QWidget::setTabOrder(before, date);
        QWidget::setTabOrder(date, after);
        window.show();
        QApplication::setActiveWindow(&window);
        QVERIFY(QTest::qWaitForWindowActive(&window));
        date->setFocus(Qt::TabFocusReason);
        QTest::keyClick(date, Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), after);
        date->setFocus(Qt::TabFocusReason);
        QTest::keyClick(date, Qt::Key_Backtab, Qt::ShiftModifier);
        QCOMPARE(QApplication::focusWidget(), before);
    }

    // "+" adds the new row after the existing ones, where the user looks for it.
    void navigatorAppendsNewRows() {
        TDBNavigator nav;
        nav.SetDataSource(FSource.get());
        FTable->First();
        QVERIFY(nav.BtnClick(TDBNavigator::nbInsert));
        FTable->FieldByName(QStringLiteral("Name"))->SetAsString(QStringLiteral("Neu"));
        QVERIFY(nav.BtnClick(TDBNavigator::nbPost));
        QCOMPARE(FTable->RecordCount(), 3);
        QCOMPARE(FTable->RecNo(), 3);
        FTable->First();
        QCOMPARE(FTable->FieldByName(QStringLiteral("Name"))->AsString(), QStringLiteral("Müller"));
    }

    void checkBoxWritesItsLetters_data() {
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("yes");
        QTest::addColumn<QString>("no");
        QTest::newRow("J/N") << "Aktiv"
                             << "J"
                             << "N";
        QTest::newRow("Y/N") << "Druck"
                             << "Y"
                             << "N";
    }

    void checkBoxWritesItsLetters() {
        QFETCH(QString, field);
        QFETCH(QString, yes);
        QFETCH(QString, no);
        TDBCheckBox box;
        box.SetValueChecked(yes);
        box.SetValueUnchecked(no);
        BindField(&box, FSource.get(), field);
        QVERIFY(box.isChecked());
        box.click();
        QVERIFY(!box.isChecked());
        QCOMPARE(FTable->State(), TDataSetState::Edit);
        QCOMPARE(FTable->FieldByName(field)->AsString(), no);
        box.click();
        QCOMPARE(FTable->FieldByName(field)->AsString(), yes);
        QTest::keyClick(&box, Qt::Key_Space);
        FTable->Post();
        QCOMPARE(Stored(field, 1).toString(), no);
    }

    // Choosing an entry writes its key; the date picker writes the picked day.
    void lookupAndDatePickerWriteAtOnce() {
        TDBLookupComboBox land;
        BindField(&land, FSource.get(), QStringLiteral("LandID"));
        land.SetListDataSet(FLand.get());
        land.SetKeyField(QStringLiteral("LandID"));
        land.SetListField(QStringLiteral("LandBez"));
        TDBDateEdit datum;
        BindField(&datum, FSource.get(), QStringLiteral("Datum"));

        const int deutschland = land.findText(QStringLiteral("Deutschland"));
        land.setCurrentIndex(deutschland);
        emit land.activated(deutschland);
        QCOMPARE(FTable->State(), TDataSetState::Edit);
        QCOMPARE(FTable->FieldByName(QStringLiteral("LandID"))->AsInteger(), 3);

        datum.setDate(QDate(2020, 12, 31));
        QCOMPARE(FTable->FieldByName(QStringLiteral("Datum"))->AsDateTime().date(), QDate(2020, 12, 31));
        FTable->Post();
        QCOMPARE(Stored(QStringLiteral("LandID"), 1).toInt(), 3);
        QCOMPARE(Stored(QStringLiteral("Datum"), 1).toDate(), QDate(2020, 12, 31));

        // A list reopened with other rows is taken over.
        FDB->ExecSQL(QStringLiteral("insert into Land values (4, 'Schweiz')"));
        FLand->Close();
        FLand->Open();
        QCOMPARE(land.count(), 4);
        QCOMPARE(land.currentText(), QStringLiteral("Deutschland"));
    }

    // Typing into an empty table starts a new record and keeps the typed text.
    void typingIntoAnEmptyTableInserts() {
        FDB->ExecSQL(QStringLiteral("delete from Kunde"));
        FTable->Close();
        FTable->Open();
        TDBEdit edit;
        BindField(&edit, FSource.get(), QStringLiteral("Name"));
        TypeText(&edit, QStringLiteral("Erster"));
        QCOMPARE(FTable->State(), TDataSetState::Insert);
        QCOMPARE(edit.text(), QStringLiteral("Erster"));
        TDBNavigator nav;
        nav.SetDataSource(FSource.get());
        QVERIFY(nav.BtnClick(TDBNavigator::nbPost));
        TSQLiteQuery q(FDB.get());
        q.RunSQL(QStringLiteral("select Name from Kunde"));
        QCOMPARE(q.RecordCount(), 1);
        QCOMPARE(q.Fields(0)->AsString(), QStringLiteral("Erster"));
    }

    void navigatorDeleteAsksFirst_data() {
        QTest::addColumn<int>("answer");
        QTest::addColumn<int>("rowsLeft");
        QTest::newRow("OK") << int(Messages::Yes) << 1;
        QTest::newRow("cancel") << int(Messages::No) << 2;
    }

    void navigatorDeleteAsksFirst() {
        QFETCH(int, answer);
        QFETCH(int, rowsLeft);
        TDBNavigator nav;
        nav.SetDataSource(FSource.get());
        FMessages->answers.enqueue(Messages::Answer(answer));
        nav.Button(TDBNavigator::nbDelete)->click();
        QCOMPARE(FMessages->texts(), QStringList{QStringLiteral("Datensatz löschen?")});
        QCOMPARE(FMessages->boxes.first().kind, Messages::Question);
        // Enter alone must never delete.
        QCOMPARE(FMessages->boxes.first().defaultAnswer, Messages::No);
        TSQLiteQuery q(FDB.get());
        q.RunSQL(QStringLiteral("select count(*) as ANZ from Kunde"));
        QCOMPARE(q.Fields(0)->AsInteger(), rowsLeft);
        QCOMPARE(FTable->RecordCount(), rowsLeft);
    }

    // Moving, inserting, refreshing and which buttons a bar offers.
    void navigatorMovesAndOffersItsButtons() {
        TDBNavigator nav;
        nav.SetDataSource(FSource.get());
        QVERIFY(!nav.Button(TDBNavigator::nbFirst)->isEnabled());
        QVERIFY(nav.Button(TDBNavigator::nbNext)->isEnabled());
        QVERIFY(nav.BtnClick(TDBNavigator::nbLast));
        QCOMPARE(FTable->RecNo(), 2);
        QVERIFY(!nav.Button(TDBNavigator::nbNext)->isEnabled());
        QVERIFY(nav.Button(TDBNavigator::nbPrior)->isEnabled());

        // Refresh shows rows written elsewhere and stays on the position.
        FDB->ExecSQL(QStringLiteral("update Kunde set Name = 'Anders' where ID = 2"));
        QVERIFY(nav.BtnClick(TDBNavigator::nbRefresh));
        QCOMPARE(FTable->RecNo(), 2);
        QCOMPARE(FTable->FieldByName(QStringLiteral("Name"))->AsString(), QStringLiteral("Anders"));

        QList<TDBNavigator::TNavigateBtn> clicked;
        nav.OnClick = [&](TDBNavigator::TNavigateBtn b) { clicked << b; };
        QVERIFY(nav.BtnClick(TDBNavigator::nbInsert));
        QCOMPARE(FTable->State(), TDataSetState::Insert);
        QVERIFY(nav.BtnClick(TDBNavigator::nbCancel));
        QCOMPARE(clicked,
                 (QList<TDBNavigator::TNavigateBtn>{TDBNavigator::nbInsert, TDBNavigator::nbCancel}));

        // A bar for number ranges: no insert and no delete.
        nav.SetButtonVisible(TDBNavigator::nbInsert, false);
        nav.SetButtonVisible(TDBNavigator::nbDelete, false);
        QVERIFY(nav.Button(TDBNavigator::nbInsert)->isHidden());
        QVERIFY(nav.Button(TDBNavigator::nbDelete)->isHidden());
        QVERIFY(!nav.Button(TDBNavigator::nbEdit)->isHidden());
    }

    // A database error is shown and the record stays as the user left it.
    void databaseErrorIsShown() {
        FDB->ExecSQL(QStringLiteral("create trigger NoSave before update on Kunde begin "
                                    "select raise(abort, 'gesperrt'); end"));
        TDBEdit edit;
        BindField(&edit, FSource.get(), QStringLiteral("Name"));
        TDBNavigator nav;
        nav.SetDataSource(FSource.get());
        QTest::keyClick(&edit, Qt::Key_End);
        TypeText(&edit, QStringLiteral("z"));
        QVERIFY(!nav.BtnClick(TDBNavigator::nbPost));
        QCOMPARE(FMessages->boxes.size(), 1);
        QCOMPARE(FMessages->boxes.first().kind, Messages::Error);
        QVERIFY(FMessages->lastText().contains(QStringLiteral("gesperrt")));
        QCOMPARE(FTable->State(), TDataSetState::Edit);
        QCOMPARE(edit.text(), QStringLiteral("Müllerz"));
    }
};

QTEST_MAIN(TestDBControls)
#include "tst_dbcontrols.moc"
