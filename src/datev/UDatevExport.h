// "Extras → DATEV-Export": the period, the target folder and the settings
// agreed with the tax advisor (numbers, fiscal year, account length, chart of
// accounts, the revenue account of every VAT situation), then the export.
#pragma once

#include "DatevExport.h"

#include <QDialog>

#include <functional>

class QCheckBox;
class QComboBox;
class QDateEdit;
class QLineEdit;
class QPushButton;
class QSpinBox;
class QTableWidget;
class TMF;

class TDatevExportDialog : public QDialog {
    Q_OBJECT
public:
    explicit TDatevExportDialog(QWidget* parent = nullptr);

    // Fills the form from the settings; the period is the previous month.
    void prepare();
    void BitBtnOrdnerClick();
    // Stores the settings; false (with a message) when they are not sound.
    bool BitBtnSpeichernClick();
    // Stores the settings and exports; true (and the dialog closed) when the
    // files were written.
    bool BitBtnExportClick();

    // The settings as the form shows them.
    TDatevEinstellungen Einstellungen() const;

    // The folder chooser (parent, current folder -> chosen folder, empty when
    // cancelled); tests replace it.
    static std::function<QString(QWidget*, const QString&)> ChooseFolder;

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    QDateEdit *FVon, *FBis;
    QLineEdit *FOrdner, *FBerater, *FMandant, *FWJBeginn, *FDebitorStart;
    QSpinBox* FKontenlaenge;
    QComboBox* FSKR;
    QCheckBox* FBelegfeldRechnung;
    QTableWidget* FKonten;
    QString FAlterSKR;
    int FAlteLaenge = 4;

    // A row for the situation unless there is one; returns its row.
    int KontoZeile(const QString& situation, const QString& konto);
    // Rows for the VAT rates the period's documents use.
    void SaetzeDesZeitraums();
    // The usual accounts follow a change of the chart or the length where
    // the user kept them.
    void StandardKontenNachfuehren();
    void FokusAufKonto(const QString& situation);
};

// Connects "Extras → DATEV-Export" of the main window, behind its right.
void InstallDatev(TMF& mf);
