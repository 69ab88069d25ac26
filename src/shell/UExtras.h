// The four entries of the "Extras" menu: data export, data import, backup
// and restore of the database.
#pragma once

#include "Datenaustausch.h"

#include <QDialog>

#include <functional>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QTableWidget;
class QTreeWidget;
class TMF;

// The remembered file of the export or import window (set_file): read and
// written; a path the database cannot hold is simply not remembered.
QString ReadRememberedFile(const QString& fileId);
void RememberFile(const QString& fileId, const QString& path);

// "Daten exportieren": the kind of records and the file.
class TDatenExport : public QDialog {
    Q_OBJECT
public:
    explicit TDatenExport(QWidget* parent = nullptr);

    // Fills the file field with the remembered file.
    void prepare();
    void BitBtnDateiClick();
    // Writes the file; true (and the dialog closed) when it was written.
    bool BitBtnExportClick();
    TAustauschArt Art() const;

    // The file chooser (parent, current name -> chosen name, empty when
    // cancelled); tests replace it.
    static std::function<QString(QWidget*, const QString&)> ChooseFile;

private:
    QRadioButton *FKunden, *FLieferanten, *FArtikel;
    QLineEdit* FDatei;
};

// "Daten importieren": kind, file, the preview with every row's verdict and
// the import of the good rows.
class TDatenImport : public QDialog {
    Q_OBJECT
public:
    explicit TDatenImport(QWidget* parent = nullptr);

    void prepare();
    void BitBtnDateiClick();
    // Checks the file without changing anything and shows every row's verdict.
    void LoadPreview();
    // Imports the good rows; true when something was committed.
    bool BitBtnImportClick();
    TAustauschArt Art() const;
    // Something was imported since prepare().
    bool Imported() const { return FImported; }

    static std::function<QString(QWidget*, const QString&)> ChooseFile;

private:
    bool FImported = false;
    void ShowRows(const TImportErgebnis& result);
    // The file as it was checked, with what the check was asked and found.
    struct TGeprueft {
        QString Datei;
        QByteArray Daten;
        TAustauschArt Art{};
        bool Aktualisieren = false;
        TImportErgebnis Ergebnis;
    } FGeprueft;
    QRadioButton *FKunden, *FLieferanten, *FArtikel;
    QLineEdit* FDatei;
    QCheckBox* FAktualisieren;
    QTableWidget* FGrid;
    QLabel* FSumme;
    QPushButton* FImport;
};

// "Da&ten sichern": asks for the target (proposing Quorvent-JJJJ-MM-TT.DB in
// the documents folder) and makes the checked copy. True when it was made.
bool DatenSichern(QWidget* parent);
// "Dat&en rücksichern": asks for the backup, confirms, restores and calls
// afterRestore so the pages show the restored data. True when restored.
bool DatenRuecksichern(QWidget* parent, const std::function<void()>& afterRestore);
// The file choosers of backup and restore; tests replace them.
extern std::function<QString(QWidget*, const QString&)> ChooseBackupTarget;
extern std::function<QString(QWidget*, const QString&)> ChooseRestoreFile;
// Milliseconds a backup or restore runs before its progress window appears,
// so that a small file is copied without a flash of a window.
extern int CopyProgressDelay;

// A shown list as a spreadsheet file: the column captions, then every row's
// texts as shown.
QByteArray ListCSV(const QTreeWidget* list);
// Asks for the file (proposing `name`.csv in the documents folder) and
// writes ListCSV there, with a German message either way. True when written.
bool ExportList(QWidget* parent, const QTreeWidget* list, const QString& name);
extern std::function<QString(QWidget*, const QString&)> ChooseListFile;

// Enables the four entries of the main window and connects them, each behind
// its access right; afterRestore shows the first page again.
void InstallExtras(TMF& mf, const std::function<void()>& afterRestore);
