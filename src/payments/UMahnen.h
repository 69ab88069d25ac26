// The dunning dialog "Mahnen": level, date, interest and fees of the letter,
// its figures before it goes out, and the output like the print dialog's:
// preview, printer, PDF file or e-mail. A letter that went out is stored with
// its level and date.
#pragma once

#include "Mahnwesen.h"

#include <QDialog>

#include <functional>

class QCheckBox;
class QComboBox;
class QDateEdit;
class QLabel;
class QLineEdit;
class TReport;

class TMahnen : public QDialog {
    Q_OBJECT
public:
    explicit TMahnen(QWidget* parent = nullptr);
    void prepare(const QString& typ, int kopfId);
    void Show(const QString& typ, int kopfId);
    // "&Drucken": preview, printer or e-mail as ticked; stores the letter.
    void BitBtnDruckenClick();
    // "Als &PDF speichern": the letter into a file; stores the letter.
    void BitBtnPdfClick();
    TMahnAuftrag Auftrag() const;

    // The file of "Als PDF speichern"; tests replace the chooser.
    static std::function<QString(QWidget*, const QString& proposal)> ChoosePdfFile;

private:
    void Berechnen();
    bool Mail(TReport& report);
    QString FTyp;
    int FKopfID = 0;
    bool FSetting = false;
    QLabel *FBeleg, *FFiguren;
    QComboBox* FStufe;
    QDateEdit* FDatum;
    QCheckBox *FZinsen, *FPauschale, *FVorschau, *FVersand, *FKopie;
    QLineEdit* FGebuehr;
};
