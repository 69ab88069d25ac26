#include "TAccessKeys.h"

#include <QAbstractButton>
#include <QApplication>
#include <QKeyEvent>
#include <QKeySequence>

void TAccessKeys::Install() {
    static TAccessKeys* installed = nullptr;
    if (installed)
        return;
    installed = new TAccessKeys(qApp);
    qApp->installEventFilter(installed);
}

QAbstractButton* TAccessKeys::ButtonFor(QWidget* window, int key) {
    if (!window)
        return nullptr;
    const QKeySequence wanted(QKeyCombination(Qt::AltModifier, Qt::Key(key)));
    const QList<QAbstractButton*> buttons = window->findChildren<QAbstractButton*>();
    for (QAbstractButton* b : buttons)
        if (b->window() == window && b->isVisible() && b->isEnabled() &&
            QKeySequence::mnemonic(b->text()) == wanted)
            return b;
    return nullptr;
}

bool TAccessKeys::eventFilter(QObject* watched, QEvent* event) {
    const QEvent::Type type = event->type();
    if (type != QEvent::ShortcutOverride && type != QEvent::KeyPress)
        return false;
    auto* key = static_cast<QKeyEvent*>(event);
    const Qt::KeyboardModifiers mods =
        key->modifiers() & (Qt::AltModifier | Qt::ControlModifier | Qt::MetaModifier | Qt::ShiftModifier);
    auto* widget = qobject_cast<QWidget*>(watched);
    if (mods != Qt::AltModifier || !widget)
        return false;
    if (type == QEvent::ShortcutOverride) {
        // Claiming the override keeps the key from the shortcut map (and so
        // from the menu bar); it then arrives as a key press at the focus widget.
        FPending = ButtonFor(widget->window(), key->key());
        if (!FPending)
            return false;
        event->accept();
        return true;
    }
    QPointer<QAbstractButton> button = FPending;
    FPending = nullptr;
    if (!button || button->window() != widget->window())
        return false;
    button->click();
    return true;
}
