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

    // The file chooser (parent, current name -> chosen name, empty when
    // cancelled); tests replace it.
    static std::function<QString(QWidget* parent, const QString& current)> ChooseDatabaseFile;

protected:
    void PrepareShow() override;

private:
    Ui::TEinAllg* ui;
};
