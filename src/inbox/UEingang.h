// The page "Eingangsrechnungen": the e-invoices suppliers sent, imported by
// the file dialog or by dropping files on the page, listed as bills still
// to pay, shown as a readable German invoice, printed, and marked paid.
#pragma once

#include "EingangsArchiv.h"
#include "UPage.h"

class QComboBox;
class QLabel;
class QPushButton;
class QTableWidget;

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

    // "Eingangsrechnung importieren": the file dialog (replaceable in tests).
    static std::function<QStringList()> ChooseFiles;

    QTableWidget* List() const { return FList; }
    QComboBox* Filter() const { return FFilter; }

protected:
    void PrepareShow() override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    QTableWidget* FList;
    QComboBox* FFilter;
    QLabel* FSumme;
};

// The readable German invoice (HTML) of an incoming e-invoice.
QString EingangsHtml(const TEingangsrechnung& r, const TEingangsBefund& befund);
