// The page "Offene Posten": every invoice and partial invoice not fully paid,
// with due date, days overdue, what is paid and open and the dunning level;
// the payments dialog, the dunning dialog and the base rates are reached
// from here.
#pragma once

#include "UPage.h"
#include "Zahlungen.h"

#include <QAbstractTableModel>
#include <QDialog>

#include <functional>

class QCheckBox;
class QComboBox;
class QDateEdit;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableView;
class QTableWidget;

// The rows of the list, sortable by every column.
class TOffenePostenModel : public QAbstractTableModel {
    Q_OBJECT
public:
    using QAbstractTableModel::QAbstractTableModel;
    void SetPosten(QList<TOffenerPosten> posten);
    const QList<TOffenerPosten>& Posten() const { return FPosten; }
    static QStringList Captions();
    // The text a cell shows.
    static QString Text(const TOffenerPosten& p, int column);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    void sort(int column, Qt::SortOrder order = Qt::AscendingOrder) override;

private:
    QList<TOffenerPosten> FPosten;
};

// Payments of one invoice: the list, a new payment, deleting one.
class TZahlungenDialog : public QDialog {
    Q_OBJECT
public:
    explicit TZahlungenDialog(QWidget* parent = nullptr);
    void prepare(const QString& typ, int kopfId);
    void Show(const QString& typ, int kopfId);
    // "&Erfassen": records the payment in the fields.
    void ErfassenClick();
    // "&Löschen": deletes the marked payment after asking.
    void LoeschenClick();

private:
    void Refresh();
    QString FTyp;
    int FKopfID = 0;
    QLabel* FStand;
    QLabel* FSkontoHinweis;
    QTableWidget* FListe;
    QDateEdit* FDatum;
    QLineEdit* FBetrag;
    QComboBox* FArt;
    QLineEdit* FAnmerkung;
};

// Company defaults and a customer's own payment terms.
class TZahlungsBedingungDialog : public QDialog {
    Q_OBJECT
public:
    explicit TZahlungsBedingungDialog(QWidget* parent = nullptr);
    void prepare(int kundenId);
    void SpeichernClick();

private:
    void KundeLesen();
    QLineEdit *FZiel, *FFrist, *FKunde, *FKundeZiel, *FKundeFrist;
    QComboBox* FVerbraucher;
    QLabel* FKundeName;
};

// The base rates of the company's country: list, add a half-year, delete.
class TBasiszinsDialog : public QDialog {
    Q_OBJECT
public:
    explicit TBasiszinsDialog(QWidget* parent = nullptr);
    void prepare();
    void HinzufuegenClick();
    void LoeschenClick();

private:
    QString FLand;
    QLabel* FTitel;
    QTableWidget* FListe;
    QDateEdit* FAb;
    QLineEdit* FSatz;
    QCheckBox* FBestaetigt;
};

class TOffenePosten : public TPage {
    Q_OBJECT
public:
    explicit TOffenePosten(QWidget* pageArea = nullptr);
    // Rebuilds the list from the filters.
    void Rebuild();
    // Opens the payments of the marked item (also by double-click).
    void ZahlungenClick();
    void MahnenClick();
    void ExportierenClick();
    TOffenePostenModel* Model() const { return FModel; }

    // The customer picker; true when a customer was chosen (QueryKunde's row).
    static std::function<bool()> PickCustomer;
    // The dunning dialog for an item; set by main (it needs the print output).
    static std::function<void(const QString& typ, int kopfId)> ShowMahnen;

protected:
    void PrepareShow() override;

private:
    bool Current(QString* typ, int* kopfId) const;
    TOffenePostenModel* FModel;
    QTableView* FView;
    QLineEdit* FKunde;
    QDateEdit *FStichtag, *FVon, *FBis;
    QCheckBox *FUeberfaellig, *FZeitraum;
    QLabel *FSumme, *FHinweis;
    TZahlungenDialog* FZahlungen;
    TZahlungsBedingungDialog* FBedingungen;
    TBasiszinsDialog* FBasiszins;
    bool FSetting = false;
};

// The statistics' view of the receivables: the open amount and the overdue
// part of it at the end of a chosen day.
class TOffeneBetraege : public QWidget {
    Q_OBJECT
public:
    explicit TOffeneBetraege(QWidget* parent = nullptr);
    void Berechnen();

protected:
    void showEvent(QShowEvent* event) override;

private:
    QDateEdit* FStichtag;
    QLabel *FOffen, *FUeberfaellig, *FAnzahl;
};
