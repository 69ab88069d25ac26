// The copy dialog "Kopieren": turns the document chosen in the overview into
// a new document of the chosen type, with the ticked positions.
#pragma once

#include <QDialog>
#include <QString>

namespace Ui {
class TKopieren;
}

class TKopieren : public QDialog {
    Q_OBJECT
public:
    explicit TKopieren(QWidget* parent = nullptr);
    ~TKopieren() override;

    // Everything before the dialog runs: style, title, the source's
    // positions, all ticked. The target type and "Kopf- und Fusstext
    // kopieren" keep the user's last choice.
    void prepare(const QString& typ, int kopfId);
    // prepare, then the modal dialog.
    void Show(const QString& typ, int kopfId);

    // "&OK": copies and closes; after the occupied-number warning the dialog
    // stays open, and the next "&OK" draws the next number.
    void BitBtnWClick();

private:
    void CBAlleClick(bool checked);

    Ui::TKopieren* ui;
    QString FTyp;
    int FKopfId = 0;
};
