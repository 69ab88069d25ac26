// The small widgets and conversions the page "Offene Posten" and its dialogs
// share; not for other folders.
#pragma once

#include <QDate>
#include <QDateEdit>
#include <QFont>
#include <QFrame>
#include <QHeaderView>
#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QTableWidget>

#include <cmath>

namespace OffenePostenWidgets {

inline QString Betrag(double v) {
    return QLocale().toString(v, 'f', 2);
}

inline QDateEdit* DatumFeld(QWidget* parent, const char* name) {
    auto* d = new QDateEdit(QDate::currentDate(), parent);
    d->setObjectName(QLatin1String(name));
    d->setCalendarPopup(true);
    d->setDisplayFormat(QStringLiteral("dd.MM.yyyy"));
    return d;
}

inline QPushButton* Knopf(QWidget* parent, const char* name, const QString& text, const QString& hint) {
    auto* b = new QPushButton(text, parent);
    b->setObjectName(QLatin1String(name));
    b->setToolTip(hint);
    b->setStatusTip(hint);
    return b;
}

inline QLabel* Titel(QWidget* parent, const QString& text) {
    auto* t = new QLabel(text, parent);
    t->setObjectName(QStringLiteral("PTitel"));
    t->setMinimumHeight(30);
    QFont f = t->font();
    f.setPointSize(11);
    f.setBold(true);
    t->setFont(f);
    t->setFrameShape(QFrame::Panel);
    t->setFrameShadow(QFrame::Raised);
    return t;
}

// An amount as typed by the user: German or point decimals; NaN when it is none.
inline double Zahl(const QString& text) {
    bool ok = false;
    QString t = text.trimmed();
    t.remove(QStringLiteral("EUR")).remove(u'€');
    t = t.trimmed();
    double v = QLocale().toDouble(t, &ok);
    if (!ok)
        v = t.toDouble(&ok);
    return ok ? v : std::nan("");
}

inline void SetzeSpalten(QTableWidget* t, const QStringList& captions, const QList<int>& widths) {
    t->setColumnCount(int(captions.size()));
    t->setHorizontalHeaderLabels(captions);
    for (int i = 0; i < widths.size(); ++i)
        t->setColumnWidth(i, widths[i]);
    t->setEditTriggers(QAbstractItemView::NoEditTriggers);
    t->setSelectionBehavior(QAbstractItemView::SelectRows);
    t->setSelectionMode(QAbstractItemView::SingleSelection);
    t->verticalHeader()->hide();
    t->horizontalHeader()->setStretchLastSection(true);
}

inline QTableWidgetItem* Zelle(const QString& text, bool rechts = false) {
    auto* i = new QTableWidgetItem(text);
    if (rechts)
        i->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
    return i;
}

} // namespace OffenePostenWidgets
