#include "UEinAllg.h"

#include "GeneralSettings.h"
#include "Messages.h"
#include "Sicherung.h"
#include "UDM.h"
#include "ui_UEinAllg.h"

#include <QFileDialog>
#include <QFileInfo>

namespace {

QString OpenDialog1(QWidget* parent, const QString& current) {
    QFileDialog dialog(parent, QStringLiteral("Datei auswählen"));
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::AnyFile);
    // Files on this system may carry the extension in either case.
    dialog.setNameFilter(QStringLiteral("Datenbank (*.DB *.db)"));
    dialog.setDefaultSuffix(QStringLiteral("DB"));
    dialog.selectFile(current);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return QString();
    return dialog.selectedFiles().constFirst();
}

QString OpenCertificate(QWidget* parent, const QString& current) {
    QFileDialog dialog(parent, QStringLiteral("Zertifikatsdatei auswählen"));
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setNameFilters(
        {QStringLiteral("Zertifikate (*.pem *.crt *.cer)"), QStringLiteral("Alle Dateien (*)")});
    if (!current.isEmpty())
        dialog.selectFile(current);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return QString();
    return dialog.selectedFiles().constFirst();
}

} // namespace

std::function<QString(QWidget*, const QString&)> TEinAllg::ChooseDatabaseFile = OpenDialog1;
std::function<QString(QWidget*, const QString&)> TEinAllg::ChooseCertificateFile = OpenCertificate;

TEinAllg::TEinAllg(QWidget* pageArea) : TPage(pageArea), ui(new Ui::TEinAllg) {
    ui->setupUi(this);
    RightKey = QStringLiteral("EinAllg");
    connect(ui->BitBtnDB, &QPushButton::clicked, this, &TEinAllg::BitBtnDBClick);
    connect(ui->BitBtnMailCAFile, &QPushButton::clicked, this, &TEinAllg::BitBtnMailCAFileClick);
    connect(ui->BitBtnSpeichern, &QPushButton::clicked, this, &TEinAllg::BitBtnSpeichernClick);
}

TEinAllg::~TEinAllg() {
    delete ui;
}

void TEinAllg::PrepareShow() {
    ui->EditDB->setText(TDM::DatabaseFileName());
    const TMailSetting mail = GetMailSetting(DM->Query1);
    ui->EditMailHost->setText(mail.Host);
    ui->EditMailUser->setText(mail.User);
    ui->EditMailPW->setText(mail.Password);
    ui->CBMailAuth->setChecked(mail.Auth);
    ui->EditMailCAFile->setText(mail.CaFile);
    ui->CBWindow->setChecked(DM->GetAllg(QStringLiteral("StoreWindow")) == QLatin1String("J"));
    const TAutoSicherungSettings backup = ReadAutoSicherungSettings(*DM);
    ui->CBAutoSicherung->setChecked(backup.Enabled);
    ui->SEAutoSicherungAnzahl->setValue(backup.Copies);
}

void TEinAllg::BitBtnDBClick() {
    const QString chosen = ChooseDatabaseFile ? ChooseDatabaseFile(this, ui->EditDB->text()) : QString();
    if (!chosen.isEmpty())
        ui->EditDB->setText(chosen);
}

void TEinAllg::BitBtnMailCAFileClick() {
    const QString chosen =
        ChooseCertificateFile ? ChooseCertificateFile(this, ui->EditMailCAFile->text()) : QString();
    if (!chosen.isEmpty())
        ui->EditMailCAFile->setText(chosen);
}

void TEinAllg::BitBtnSpeichernClick() {
    TMailSetting mail;
    mail.Host = ui->EditMailHost->text();
    mail.User = ui->EditMailUser->text();
    mail.Password = ui->EditMailPW->text();
    mail.Auth = ui->CBMailAuth->isChecked();
    mail.CaFile = ui->EditMailCAFile->text();
    try {
        // The backup settings go into the database just opened, like the others.
        if (SaveGeneralSettings(*DM, ui->EditDB->text(), mail, ui->CBWindow->isChecked()))
            WriteAutoSicherungSettings(
                *DM, {ui->CBAutoSicherung->isChecked(), ui->SEAutoSicherungAnzahl->value()});
        else if (QFileInfo::exists(ui->EditDB->text()))
            // The file could not be opened and the program went back to its
            // database: the field shows the one in use, not the refused one.
            // A name that exists nowhere stays, so a typing slip can be mended.
            ui->EditDB->setText(TDM::DatabaseFileName());
    } catch (const ESQLiteError& e) {
        Messages::error(e.message());
    }
}
