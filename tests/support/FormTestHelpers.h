// Helpers of the tests that drive record forms through their widgets.
#pragma once

#include "DatabaseFixture.h"
#include "SQLite.h"
#include "TDBLookupComboBox.h"
#include "TDBNavigator.h"

#include <QTest>
#include <QWidget>

// The child widget of that object name; a missing widget ends the test run,
// since every later step would only fail less clearly.
template <class T> T* FindWidget(QWidget* root, const char* name) {
    T* found = root->findChild<T*>(QLatin1String(name));
    if (!found)
        qFatal("widget %s missing", name);
    return found;
}

// Types text as a user would, also characters the ASCII-only key clicks refuse.
inline void TypeText(QWidget* target, const QString& text) {
    for (QChar ch : text)
        QTest::sendKeyEvent(QTest::Click, target, Qt::Key_unknown, QString(ch), Qt::NoModifier);
}

// Picks the entry with that text as a user would; false when there is none.
inline bool ChooseEntry(TDBLookupComboBox* box, const QString& text) {
    const int i = box->findText(text);
    if (i < 0)
        return false;
    box->setCurrentIndex(i);
    emit box->activated(i);
    return true;
}

// Picks the entry as a user would and fails the test when there is none.
inline void Choose(TDBLookupComboBox* box, const QString& text) {
    QVERIFY2(ChooseEntry(box, text), qPrintable(text));
}

// Moves the list query to the record with that key, as its list leaves it
// after the user chose a row; false when there is no such record.
inline bool SelectInList(TSQLiteQuery& list, const QString& keyField, int id) {
    list.Close();
    list.Open();
    return list.Locate(keyField, id);
}

// What the tests of a record form share: a fresh copy of the template
// database and a new form for every test function, the form's widgets by
// name, saving with its first navigator, and counting rows.
template <class TForm> struct TFormFixture {
    TDatabaseFixture db;
    ScriptedMessages* messages = nullptr;
    TDM* dm = nullptr;
    TForm* form = nullptr;

    bool OpenForm() {
        if (!db.Open())
            return false;
        dm = db.dm;
        messages = db.messages;
        form = new TForm;
        return true;
    }
    void CloseForm() {
        delete form;
        form = nullptr;
        db.Close();
    }

    template <class T> T* w(const char* name) { return FindWidget<T>(form, name); }
    bool save() { return w<TDBNavigator>("DBNavigator1")->BtnClick(TDBNavigator::nbPost); }
    int count(const QString& sql) { return QueryInt(dm->Query2, sql); }
};
