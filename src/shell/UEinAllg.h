// The general settings page: database file, SMTP server, window memory.
#pragma once

#include "UPage.h"

#include <functional>

namespace Ui {
class TEinAllg;
}

class TEinAllg : public TPage {
    Q_OBJECT
public:
    explicit TEinAllg(QWidget* pageArea = nullptr);
    ~TEinAllg() override;

    // "...": lets the user pick the database file.
    void BitBtnDBClick();
    // "&Speichern": settings file, reconnect, then the settings into the
    // database just opened.
    void BitBtnSpeichernClick();

    // "..." beside the certificate: lets the user pick the file to trust.
    void BitBtnMailCAFileClick();

    // The file choosers (parent, current name -> chosen name, empty when
    // cancelled); tests replace them.
    static std::function<QString(QWidget* parent, const QString& current)> ChooseDatabaseFile;
    static std::function<QString(QWidget* parent, const QString& current)> ChooseCertificateFile;

protected:
    void PrepareShow() override;

private:
    Ui::TEinAllg* ui;
};
