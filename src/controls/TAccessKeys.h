// Access keys of buttons before those of the menu bar.
//
// A page lives inside the main window, so its "Än&dern" and "&Speichern"
// share Alt+D and Alt+S with the menus "&Datei" and "&Stammdaten". Qt treats
// such a pair as ambiguous and the button only takes the focus. The user who
// presses a button's access key on the screen in front of him means that
// button: while a visible, enabled button of the active window carries the
// key, it is clicked; otherwise the menu bar gets the key as before.
#pragma once

#include <QObject>
#include <QPointer>

class QAbstractButton;
class QWidget;

class TAccessKeys : public QObject {
    Q_OBJECT
public:
    // Installs the filter on the application (once; later calls do nothing).
    static void Install();

    // The visible, enabled button of the window whose access key is Alt + key.
    static QAbstractButton* ButtonFor(QWidget* window, int key);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    using QObject::QObject;
    QPointer<QAbstractButton> FPending; // claimed by the key's shortcut override
};
