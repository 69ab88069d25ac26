// The page "Eingangsrechnungen": the e-invoices suppliers sent, imported by
// the file dialog or by dropping files on the page, listed as bills still
// to pay, shown as a readable German invoice, printed, and marked paid.
#pragma once

#include "EingangsArchiv.h"
#include "UPage.h"

#include <QAbstractTableModel>

class QComboBox;
class QLabel;
class QPushButton;
class QTableView;

struct TEingangZeile {
    int ID = 0;
    double Betrag = 0;
    QStringList Zellen; // dates as ISO text, shown German
};

// The bills as the list shows them; sorting by a caption keeps dates and
// amounts in their own order.
class TEingangModell : public QAbstractTableModel {
public:
    using QAbstractTableModel::QAbstractTableModel;
    void Setze(QList<TEingangZeile> zeilen);
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    void sort(int column, Qt::SortOrder order) override;
    static QString Deutsch(const QString& iso);
    static const QStringList& Ueberschriften();

private:
    QList<TEingangZeile> FZeilen;
};

class TEingang : public TPage {
    Q_OBJECT
public:
    explicit TEingang(QWidget* pageArea = nullptr);

    // Imports the files one after the other and says what became of each
    // in one message; returns the number imported.
    int ImportFiles(const QStringList& files);
    // The list anew from the database, with the chosen filter.
    void Refresh();
    // The marked bill: shown, paid or open again, its original saved.
    int CurrentId() const;
    void ShowCurrent();
    void TogglePaid();
    void SaveOriginal();
    // A supplier made from the bill's seller (name, VAT id, IBAN) for a bill
    // whose supplier was not found; returns its number, 0 when none.
    int CreateSupplier();

    // "Eingangsrechnung importieren": the file dialog (replaceable in tests).
    static std::function<QStringList()> ChooseFiles;

    QComboBox* Filter() const { return FFilter; }
    int RowCount() const;
    QString Cell(int row, int column) const;
    void SelectRow(int row);

protected:
    void PrepareShow() override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    // The original bytes of the marked bill; false (and said) when there are none.
    bool CurrentOriginal(QByteArray* bytes) const;

    QTableView* FList;
    TEingangModell* FModell;
    QComboBox* FFilter;
    QLabel* FSumme;
    bool FBreitenGesetzt = false;
};

// The readable German invoice (HTML) of an incoming e-invoice.
QString EingangsHtml(const TEingangsrechnung& r, const TEingangsBefund& befund);
