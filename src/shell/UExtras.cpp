#include "UExtras.h"

#include "Datenaustausch.h"
#include "FileNames.h"
#include "GlobalFunctions.h"
#include "Messages.h"
#include "QuorventFunctions.h"
#include "Sicherung.h"
#include "UDM.h"
#include "UMF.h"
#include "UPage.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QProgressDialog>
#include <QPushButton>
#include <QRadioButton>
#include <QStandardPaths>
#include <QTableWidget>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <algorithm>

namespace {

const QString kExportFile = QStringLiteral("DatenExportFile");
const QString kImportFile = QStringLiteral("DatenImportFile");
const QString kCsvFilter = QStringLiteral("CSV-Datei (*.csv *.CSV);;Alle Dateien (*)");
const QString kDbFilter = QStringLiteral("Datenbank (*.DB *.db);;Alle Dateien (*)");

QString FileDialog(QWidget* parent, const QString& caption, const QString& current, const QString& filter,
                   const QString& suffix, bool save) {
    QFileDialog dialog(parent, caption);
    dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    dialog.setNameFilter(filter);
    dialog.setDefaultSuffix(suffix);
    if (!current.isEmpty()) {
        const QFileInfo info(current);
        if (info.dir().exists())
            dialog.setDirectory(info.dir());
        if (!current.endsWith(u'/'))
            dialog.selectFile(info.fileName());
    }
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return QString();
    return dialog.selectedFiles().constFirst();
}

QString Documents() {
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    return folder.isEmpty() || !QFileInfo(folder).isDir() ? QDir::homePath() : folder;
}

// The proposed file of an export: the remembered one, else Kunden.csv (and
// so on) in the documents folder.
QString ProposedFile(const QString& remembered, TAustauschArt art) {
    if (!remembered.isEmpty())
        return remembered;
    return Documents() + u'/' + AustauschArtName(art) + QStringLiteral(".csv");
}

// A window that tells the user that a longer operation runs; the program
// has one thread, so it is painted once before the work starts and then
// answers between the steps of the work (a few times a second, so the work
// is not slowed down by painting). With a cancel button Step tells whether
// the user pressed it.
class TBusy {
public:
    TBusy(QWidget* parent, const QString& text, bool cancellable = false)
        : FDialog(text, cancellable ? QStringLiteral("Abbrechen") : QString(), 0, 0, parent) {
        FDialog.setWindowTitle(QStringLiteral("Quorvent"));
        FDialog.setObjectName(QStringLiteral("ProgressDialog"));
        if (!cancellable)
            FDialog.setCancelButton(nullptr);
        FDialog.setWindowModality(Qt::WindowModal);
        FDialog.setMinimumDuration(0);
        FDialog.setValue(0);
        QApplication::processEvents();
        FSince.start();
    }
    bool Step(int done, int total) {
        if (FSince.elapsed() >= 50 || done == total) {
            FDialog.setMaximum(std::max(total, 1));
            FDialog.setValue(std::min(done, FDialog.maximum()));
            QApplication::processEvents();
            FSince.restart();
        }
        return !FDialog.wasCanceled();
    }

private:
    QProgressDialog FDialog;
    QElapsedTimer FSince;
};

// The progress of a backup or restore copy, out of the pages to copy. It
// appears only when the copy takes a while; a backup may be cancelled from it.
class TCopyProgress {
public:
    TCopyProgress(QWidget* parent, const QString& text, bool cancellable)
        : FDialog(text, cancellable ? QStringLiteral("Abbrechen") : QString(), 0, 0, parent) {
        FDialog.setWindowTitle(QStringLiteral("Quorvent"));
        FDialog.setObjectName(QStringLiteral("ProgressDialog"));
        if (!cancellable)
            FDialog.setCancelButton(nullptr);
        FDialog.setWindowModality(Qt::WindowModal);
        // Stays up while the copy is checked after its last page.
        FDialog.setAutoReset(false);
        FDialog.setAutoClose(false);
        FDialog.setMinimumDuration(CopyProgressDelay);
        FDialog.setValue(0);
    }
    // False when the user asked to cancel.
    bool Step(int done, int total) {
        FDialog.setMaximum(std::max(total, 1));
        FDialog.setValue(std::min(done, FDialog.maximum()));
        QApplication::processEvents();
        FCancelled = FCancelled || FDialog.wasCanceled();
        return !FCancelled;
    }

private:
    QProgressDialog FDialog;
    bool FCancelled = false;
};

QWidget* ArtGroup(QWidget* parent, QRadioButton*& kunden, QRadioButton*& lieferanten,
                  QRadioButton*& artikel) {
    auto* box = new QGroupBox(QStringLiteral("Daten"), parent);
    box->setObjectName(QStringLiteral("GBArt"));
    auto* layout = new QHBoxLayout(box);
    kunden = new QRadioButton(QStringLiteral("&Kunden"), box);
    kunden->setObjectName(QStringLiteral("RBKunden"));
    lieferanten = new QRadioButton(QStringLiteral("&Lieferanten"), box);
    lieferanten->setObjectName(QStringLiteral("RBLieferanten"));
    artikel = new QRadioButton(QStringLiteral("A&rtikel mit Preisen"), box);
    artikel->setObjectName(QStringLiteral("RBArtikel"));
    kunden->setChecked(true);
    layout->addWidget(kunden);
    layout->addWidget(lieferanten);
    layout->addWidget(artikel);
    layout->addStretch();
    return box;
}

TAustauschArt ArtOf(const QRadioButton* lieferanten, const QRadioButton* artikel) {
    if (artikel->isChecked())
        return TAustauschArt::Artikel;
    return lieferanten->isChecked() ? TAustauschArt::Lieferanten : TAustauschArt::Kunden;
}

QPushButton* Button(const QString& text, const char* name, const QString& hint, QWidget* parent) {
    auto* b = new QPushButton(text, parent);
    b->setObjectName(QLatin1String(name));
    b->setToolTip(hint);
    b->setStatusTip(hint);
    return b;
}

// The row "Datei" with its line edit and the file chooser button; the line
// edit is handed back, the row gets further buttons from the caller.
QHBoxLayout* FileRow(QWidget* parent, const QString& hint, QLineEdit*& datei, QPushButton*& choose) {
    auto* row = new QHBoxLayout;
    auto* label = new QLabel(QStringLiteral("&Datei"), parent);
    datei = new QLineEdit(parent);
    datei->setObjectName(QStringLiteral("EditDatei"));
    datei->setToolTip(hint);
    label->setBuddy(datei);
    choose = Button(QStringLiteral("..."), "BitBtnDatei", QStringLiteral("Datei auswählen"), parent);
    row->addWidget(label);
    row->addWidget(datei, 1);
    row->addWidget(choose);
    return row;
}
} // namespace

QString ReadRememberedFile(const QString& fileId) {
    try {
        return GetFileSetting(DM->Query1, fileId);
    } catch (const ESQLiteError&) {
        return QString();
    }
}

void RememberFile(const QString& fileId, const QString& path) {
    try {
        DM->SQLiteDB1.ExecSQL(QStringLiteral("update set_file set FileName = ") + SQLQuote(path) +
                              QStringLiteral(" where FileID = ") + SQLQuote(fileId));
    } catch (const ESQLiteError&) {
        // A name outside Windows-1252 cannot be stored; the file was still used.
    }
}

// ---------------------------------------------------------------------------

std::function<QString(QWidget*, const QString&)> TDatenExport::ChooseFile = [](QWidget* p, const QString& c) {
    return FileDialog(p, QStringLiteral("Daten exportieren"), c, kCsvFilter, QStringLiteral("csv"), true);
};

TDatenExport::TDatenExport(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("DatenExport"));
    setWindowTitle(QStringLiteral("Daten exportieren"));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(ArtGroup(this, FKunden, FLieferanten, FArtikel));
    QPushButton* choose = nullptr;
    layout->addLayout(FileRow(this, QStringLiteral("Datei, in die exportiert wird"), FDatei, choose));
    auto* hint = new QLabel(QStringLiteral("Die Datei (Trennzeichen Semikolon, UTF-8) kann direkt mit einer "
                                           "Tabellenkalkulation geöffnet werden."),
                            this);
    hint->setWordWrap(true);
    layout->addWidget(hint);
    auto* buttons = new QHBoxLayout;
    QPushButton* ok = Button(QStringLiteral("&Exportieren"), "BitBtnExport",
                             QStringLiteral("Daten in die Datei exportieren"), this);
    ok->setDefault(true);
    QPushButton* cancel = Button(QStringLiteral("&Abbrechen"), "BitBtnAbbrechen", QString(), this);
    buttons->addStretch();
    buttons->addWidget(ok);
    buttons->addWidget(cancel);
    layout->addLayout(buttons);
    resize(520, sizeHint().height());

    // A file named after the kind of records follows the kind.
    for (QRadioButton* rb : {FKunden, FLieferanten, FArtikel})
        connect(rb, &QRadioButton::toggled, this, [this](bool on) {
            if (!on)
                return;
            const QFileInfo current(FDatei->text());
            for (TAustauschArt art :
                 {TAustauschArt::Kunden, TAustauschArt::Lieferanten, TAustauschArt::Artikel})
                if (current.fileName() == AustauschArtName(art) + QStringLiteral(".csv"))
                    FDatei->setText(current.path() + u'/' + AustauschArtName(Art()) + QStringLiteral(".csv"));
        });
    connect(choose, &QPushButton::clicked, this, &TDatenExport::BitBtnDateiClick);
    connect(ok, &QPushButton::clicked, this, &TDatenExport::BitBtnExportClick);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
}

TAustauschArt TDatenExport::Art() const {
    return ArtOf(FLieferanten, FArtikel);
}

void TDatenExport::prepare() {
    FDatei->setText(ProposedFile(ReadRememberedFile(kExportFile), Art()));
}

void TDatenExport::BitBtnDateiClick() {
    const QString chosen = ChooseFile ? ChooseFile(this, FDatei->text()) : QString();
    if (!chosen.isEmpty())
        FDatei->setText(chosen);
}

bool TDatenExport::BitBtnExportClick() {
    const QString file = FDatei->text().trimmed();
    if (file.isEmpty()) {
        Messages::warning(QStringLiteral("Bitte eine Datei angeben!"));
        return false;
    }
    int records = 0;
    try {
        TBusy busy(this, QStringLiteral("Die Daten werden exportiert …"));
        records = ExportCSVFile(*DM, Art(), file);
    } catch (const ESQLiteError& e) {
        Messages::error(QStringLiteral("Die Daten konnten nicht exportiert werden!\n") + e.message());
        return false;
    }
    RememberFile(kExportFile, file);
    Messages::info(QStringLiteral("Es wurden ") + QString::number(records) + u' ' + AustauschArtName(Art()) +
                   QStringLiteral(" in die Datei ") + file + QStringLiteral(" exportiert."));
    accept();
    return true;
}

// ---------------------------------------------------------------------------

std::function<QString(QWidget*, const QString&)> TDatenImport::ChooseFile = [](QWidget* p, const QString& c) {
    return FileDialog(p, QStringLiteral("Daten importieren"), c, kCsvFilter, QStringLiteral("csv"), false);
};

TDatenImport::TDatenImport(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("DatenImport"));
    setWindowTitle(QStringLiteral("Daten importieren"));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(ArtGroup(this, FKunden, FLieferanten, FArtikel));
    QPushButton* choose = nullptr;
    QHBoxLayout* fileRow = FileRow(this, QStringLiteral("Datei, aus der importiert wird"), FDatei, choose);
    QPushButton* check = Button(QStringLiteral("&Prüfen"), "BitBtnPruefen",
                                QStringLiteral("Datei prüfen, ohne etwas zu ändern"), this);
    fileRow->addWidget(check);
    layout->addLayout(fileRow);
    FAktualisieren = new QCheckBox(QStringLiteral("Vorhandene Datensätze aktualisieren"), this);
    FAktualisieren->setObjectName(QStringLiteral("CBAktualisieren"));
    FAktualisieren->setToolTip(QStringLiteral("Datensätze, deren Nummer schon vorhanden ist, mit den Angaben "
                                              "der Datei überschreiben"));
    layout->addWidget(FAktualisieren);
    FGrid = new QTableWidget(0, 5, this);
    FGrid->setObjectName(QStringLiteral("GridVorschau"));
    FGrid->setHorizontalHeaderLabels({QStringLiteral("Zeile"), QStringLiteral("Nummer"),
                                      QStringLiteral("Name"), QStringLiteral("Ergebnis"),
                                      QStringLiteral("Grund")});
    FGrid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    FGrid->setSelectionBehavior(QAbstractItemView::SelectRows);
    FGrid->verticalHeader()->hide();
    FGrid->horizontalHeader()->setStretchLastSection(true);
    FGrid->setColumnWidth(0, 50);
    FGrid->setColumnWidth(1, 70);
    FGrid->setColumnWidth(2, 200);
    FGrid->setColumnWidth(3, 90);
    layout->addWidget(FGrid, 1);
    FSumme = new QLabel(this);
    FSumme->setObjectName(QStringLiteral("LabSumme"));
    FSumme->setWordWrap(true);
    layout->addWidget(FSumme);
    auto* buttons = new QHBoxLayout;
    FImport = Button(QStringLiteral("&Importieren"), "BitBtnImport",
                     QStringLiteral("Die gültigen Zeilen importieren"), this);
    QPushButton* close = Button(QStringLiteral("&Schließen"), "BitBtnSchliessen", QString(), this);
    buttons->addStretch();
    buttons->addWidget(FImport);
    buttons->addWidget(close);
    layout->addLayout(buttons);
    resize(820, 520);

    connect(choose, &QPushButton::clicked, this, &TDatenImport::BitBtnDateiClick);
    connect(check, &QPushButton::clicked, this, &TDatenImport::LoadPreview);
    connect(FImport, &QPushButton::clicked, this, &TDatenImport::BitBtnImportClick);
    connect(close, &QPushButton::clicked, this, &QDialog::reject);
    // Every change of what would be imported shows the verdicts anew.
    for (QRadioButton* rb : {FKunden, FLieferanten, FArtikel})
        connect(rb, &QRadioButton::toggled, this, [this](bool on) {
            if (on && !FDatei->text().trimmed().isEmpty())
                LoadPreview();
        });
    connect(FAktualisieren, &QCheckBox::toggled, this, [this] {
        if (!FDatei->text().trimmed().isEmpty())
            LoadPreview();
    });
}

TAustauschArt TDatenImport::Art() const {
    return ArtOf(FLieferanten, FArtikel);
}

void TDatenImport::prepare() {
    FImported = false;
    FGeprueft = {};
    FDatei->setText(ReadRememberedFile(kImportFile));
    FAktualisieren->setChecked(false);
    FGrid->setRowCount(0);
    FSumme->clear();
    FImport->setEnabled(false);
    // The remembered file is usually the one to import again: its verdicts
    // are shown at once.
    if (!FDatei->text().isEmpty() && QFileInfo(FDatei->text()).isFile())
        LoadPreview();
}

void TDatenImport::BitBtnDateiClick() {
    QString current = FDatei->text();
    if (current.isEmpty())
        current = Documents() + u'/';
    const QString chosen = ChooseFile ? ChooseFile(this, current) : QString();
    if (chosen.isEmpty())
        return;
    FDatei->setText(chosen);
    LoadPreview();
}

void TDatenImport::ShowRows(const TImportErgebnis& r) {
    FGrid->setRowCount(int(r.Zeilen.size()));
    for (int i = 0; i < r.Zeilen.size(); ++i) {
        const TImportZeile& z = r.Zeilen[i];
        const QStringList cells = {QString::number(z.Zeile), z.Nummer, z.Name, UrteilText(z.Ergebnis),
                                   z.Grund};
        for (int c = 0; c < cells.size(); ++c) {
            auto* item = new QTableWidgetItem(cells[c]);
            if (z.Ergebnis == TImportZeile::Abgelehnt)
                item->setForeground(QColor(0xB0, 0x00, 0x00));
            if (c == 4)
                item->setToolTip(cells[c]);
            FGrid->setItem(i, c, item);
        }
    }
}

void TDatenImport::LoadPreview() {
    FGrid->setRowCount(0);
    FImport->setEnabled(false);
    FGeprueft = {};
    const QString file = FDatei->text().trimmed();
    QFile in(file);
    if (file.isEmpty() || !in.open(QIODevice::ReadOnly)) {
        FSumme->setText(QStringLiteral("Die Datei ") + file + QStringLiteral(" kann nicht gelesen werden."));
        return;
    }
    const QByteArray data = in.readAll();
    TImportErgebnis r;
    try {
        TBusy busy(this,
                   QStringLiteral("Die Datei ") + QFileInfo(file).fileName() +
                       QStringLiteral(" wird geprüft …"),
                   true);
        r = ImportCSV(*DM, Art(), data, FAktualisieren->isChecked(), false,
                      [&busy](int done, int total) { return busy.Step(done, total); });
    } catch (const ESQLiteError& e) {
        FSumme->setText(QStringLiteral("Die Datei ") + file + QStringLiteral(" kann nicht geprüft werden: ") +
                        e.message());
        return;
    }
    if (r.Abgebrochen) {
        FSumme->setText(QStringLiteral("Die Prüfung der Datei ") + file +
                        QStringLiteral(" wurde abgebrochen; es wurde nichts verändert."));
        return;
    }
    if (!r.Fehler.isEmpty()) {
        FSumme->setText(QStringLiteral("Die Datei ") + file + QStringLiteral(" wird nicht importiert: ") +
                        r.Fehler);
        return;
    }
    // What "Importieren" will import: exactly this file with these verdicts.
    FGeprueft = {file, data, Art(), FAktualisieren->isChecked(), r};
    ShowRows(r);
    FSumme->setText(
        QStringLiteral("Vorschau: %1 neu, %2 zu aktualisieren, %3 abgelehnt. Importiert werden nur "
                       "die gültigen Zeilen.")
            .arg(r.Neu)
            .arg(r.Aktualisiert)
            .arg(r.Abgelehnt));
    FImport->setEnabled(r.Neu + r.Aktualisiert > 0);
}

bool TDatenImport::BitBtnImportClick() {
    const QString file = FDatei->text().trimmed();
    QFile in(file);
    if (!in.open(QIODevice::ReadOnly)) {
        Messages::error(QStringLiteral("Die Datei ") + file + QStringLiteral(" kann nicht gelesen werden!"));
        return false;
    }
    const QByteArray data = in.readAll();
    // Only what the user has seen checked is imported.
    if (file != FGeprueft.Datei || data != FGeprueft.Daten || Art() != FGeprueft.Art ||
        FAktualisieren->isChecked() != FGeprueft.Aktualisieren) {
        FImport->setEnabled(false);
        Messages::error(QStringLiteral("Die Datei ") + file +
                        QStringLiteral(" wurde nach dem Prüfen verändert. Es wurde nichts importiert; bitte "
                                       "die Datei erneut prüfen."));
        return false;
    }
    TImportErgebnis r;
    try {
        TBusy busy(this,
                   QStringLiteral("Die Datei ") + QFileInfo(file).fileName() +
                       QStringLiteral(" wird importiert …"),
                   true);
        r = ImportCSV(
            *DM, Art(), data, FAktualisieren->isChecked(), true,
            [&busy](int done, int total) { return busy.Step(done, total); }, &FGeprueft.Ergebnis);
    } catch (const ESQLiteError& e) {
        Messages::error(QStringLiteral("Die Datei ") + file +
                        QStringLiteral(" konnte nicht importiert werden; es wurde nichts verändert.\n") +
                        e.message());
        return false;
    }
    if (r.Abgebrochen) {
        Messages::info(QStringLiteral("Der Import der Datei ") + file +
                       QStringLiteral(" wurde abgebrochen; es wurde nichts verändert."));
        return false;
    }
    if (!r.Fehler.isEmpty()) {
        FImport->setEnabled(false);
        Messages::error(QStringLiteral("Die Datei ") + file + QStringLiteral(": ") + r.Fehler);
        return false;
    }
    FGeprueft = {};
    FImported = FImported || r.Neu + r.Aktualisiert > 0;
    RememberFile(kImportFile, file);
    ShowRows(r);
    FImport->setEnabled(false);
    FSumme->setText(QStringLiteral("Importiert: %1 neu, %2 aktualisiert, %3 abgelehnt.")
                        .arg(r.Neu)
                        .arg(r.Aktualisiert)
                        .arg(r.Abgelehnt));
    QString text =
        QStringLiteral("Der Import ist abgeschlossen: %1 Datensätze neu angelegt, %2 aktualisiert.")
            .arg(r.Neu)
            .arg(r.Aktualisiert);
    if (r.Abgelehnt > 0)
        text += QStringLiteral("\n%1 Datensätze wurden abgelehnt; die Gründe stehen in der Liste.")
                    .arg(r.Abgelehnt);
    Messages::info(text);
    return r.Ausgefuehrt;
}

// ---------------------------------------------------------------------------

std::function<QString(QWidget*, const QString&)> ChooseBackupTarget = [](QWidget* p, const QString& c) {
    return FileDialog(p, QStringLiteral("Daten sichern"), c, kDbFilter, QStringLiteral("DB"), true);
};
std::function<QString(QWidget*, const QString&)> ChooseRestoreFile = [](QWidget* p, const QString& c) {
    return FileDialog(p, QStringLiteral("Daten rücksichern"), c, kDbFilter, QStringLiteral("DB"), false);
};

int CopyProgressDelay = 500;

bool DatenSichern(QWidget* parent) {
    const QString target =
        ChooseBackupTarget ? ChooseBackupTarget(parent, DefaultBackupFileName()) : QString();
    if (target.isEmpty())
        return false;
    bool cancelled = false;
    try {
        TCopyProgress progress(parent, QStringLiteral("Die Daten werden gesichert …"), true);
        BackupDatabase(*DM, target, [&](int done, int total) {
            cancelled = !progress.Step(done, total);
            return !cancelled;
        });
    } catch (const ESQLiteError& e) {
        // Stopped by the user: no failure, and nothing was written.
        if (cancelled)
            Messages::info(e.message());
        else
            Messages::error(QStringLiteral("Die Daten konnten nicht gesichert werden!\n") + e.message());
        return false;
    }
    Messages::info(QStringLiteral("Die Daten wurden in ") + target + QStringLiteral(" gesichert."));
    return true;
}

bool DatenRuecksichern(QWidget* parent, const std::function<void()>& afterRestore) {
    const QStringList automatic = AutomaticBackups(DM->SQLiteDB1.FileName);
    const QString start = automatic.isEmpty() ? Documents() + u'/' : automatic.first();
    const QString file = ChooseRestoreFile ? ChooseRestoreFile(parent, start) : QString();
    if (file.isEmpty())
        return false;
    if (Messages::question(
            QStringLiteral("Sollen die aktuellen Daten durch die Sicherung ") + file +
                QStringLiteral(" ersetzt werden?\nDie aktuellen Daten werden vorher automatisch "
                               "gesichert."),
            false, Messages::No) != Messages::Yes)
        return false;
    QString saved;
    try {
        TCopyProgress progress(parent, QStringLiteral("Die Daten werden rückgesichert …"), false);
        saved = RestoreDatabase(*DM, file, [&progress](int done, int total) { progress.Step(done, total); });
    } catch (const ESQLiteError& e) {
        const QString tail =
            DM->SQLiteDB1.Connected() ? QStringLiteral("\nDie aktuellen Daten sind unverändert.") : QString();
        Messages::error(QStringLiteral("Die Daten konnten nicht rückgesichert werden!\n") + e.message() +
                        tail);
        if (DM->SQLiteDB1.Connected() && afterRestore)
            afterRestore();
        return false;
    }
    if (afterRestore)
        afterRestore();
    Messages::info(QStringLiteral("Die Daten wurden aus ") + file +
                   QStringLiteral(" rückgesichert.\nDie bisherigen Daten wurden in ") + saved +
                   QStringLiteral(" gesichert."));
    return true;
}

std::function<QString(QWidget*, const QString&)> ChooseListFile = [](QWidget* p, const QString& c) {
    return FileDialog(p, QStringLiteral("Liste exportieren"), c, kCsvFilter, QStringLiteral("csv"), true);
};

QByteArray ListCSV(const QTreeWidget* list) {
    QList<QStringList> rows;
    QStringList header;
    for (int c = 0; c < list->columnCount(); ++c)
        header << list->headerItem()->text(c);
    rows << header;
    for (int i = 0; i < list->topLevelItemCount(); ++i) {
        QStringList row;
        for (int c = 0; c < list->columnCount(); ++c)
            row << list->topLevelItem(i)->text(c);
        rows << row;
    }
    return CSVDatei(rows);
}

bool ExportList(QWidget* parent, const QTreeWidget* list, const QString& name) {
    const QString file = ChooseListFile
                             ? ChooseListFile(parent, Documents() + u'/' + name + QStringLiteral(".csv"))
                             : QString();
    if (file.isEmpty())
        return false;
    if (IsDatabaseFile(*DM, file)) {
        Messages::error(QStringLiteral("Die Liste konnte nicht exportiert werden!\nDie Datei ") + file +
                        QStringLiteral(" ist die geöffnete Datenbank und kann nicht überschrieben werden!"));
        return false;
    }
    const QByteArray data = ListCSV(list);
    if (const QString failure = WriteWholeFile(file, data); !failure.isEmpty()) {
        Messages::error(QStringLiteral("Die Liste konnte nicht exportiert werden!\n") + failure);
        return false;
    }
    Messages::info(QStringLiteral("Die Liste wurde in die Datei ") + file + QStringLiteral(" exportiert."));
    return true;
}

void InstallExtras(TMF& mf, const std::function<void()>& afterRestore) {
    auto* exportDialog = new TDatenExport(&mf);
    auto* importDialog = new TDatenImport(&mf);
    auto wire = [&mf](const char* action, const QString& right, std::function<void()> run) {
        QAction* a = mf.Action(QLatin1String(action));
        if (!a)
            return;
        a->setEnabled(true);
        QObject::connect(a, &QAction::triggered, &mf, [right, run] {
            if (!TPage::CheckRight(right))
                return;
            run();
        });
    };
    wire("ActionDatenExport", QStringLiteral("DatenExport"), [exportDialog] {
        TPage::ApplyStyle(0, exportDialog);
        exportDialog->prepare();
        exportDialog->exec();
    });
    wire("ActionDatenImport", QStringLiteral("DatenImport"), [importDialog] {
        TPage::ApplyStyle(0, importDialog);
        importDialog->prepare();
        importDialog->exec();
        // The list in front shows what was imported. A protected page is left
        // as it is rather than asking for the password again.
        if (!importDialog->Imported())
            return;
        for (TPage* page : TPage::Pages())
            if (page->isVisible() && page->RightKey.isEmpty()) {
                page->ShowPage();
                break;
            }
    });
    wire("ActionDBSich", QStringLiteral("DBSich"), [&mf] { DatenSichern(&mf); });
    wire("ActionDBRueck", QStringLiteral("DBRueck"),
         [&mf, afterRestore] { DatenRuecksichern(&mf, afterRestore); });
}
