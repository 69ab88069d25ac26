// Helpers of the tests that drive record forms through their widgets.
#pragma once

#include "SQLite.h"
#include "TDBLookupComboBox.h"

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

// The first column of the first row of a statement such as "select count(*) ...".
inline int QueryInt(TSQLiteQuery& query, const QString& sql) {
    query.RunSQL(sql);
    return query.Fields(0)->AsInteger();
}
