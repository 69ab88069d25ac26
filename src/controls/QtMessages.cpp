#include "QtMessages.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>

namespace {

QString BoxTitle() {
    // The program's name; the box's icon says what kind of message it is.
    return QApplication::applicationDisplayName().isEmpty() ? QStringLiteral("Quorvent")
                                                            : QApplication::applicationDisplayName();
}

QWidget* BoxParent() {
    return QApplication::activeWindow();
}

} // namespace

void TQtMessages::show(Kind kind, const QString& text) {
    QMessageBox box(BoxParent());
    box.setWindowTitle(BoxTitle());
    box.setTextFormat(Qt::PlainText);
    box.setText(text);
    switch (kind) {
    case Warning:
        box.setIcon(QMessageBox::Warning);
        break;
    case Error:
        box.setIcon(QMessageBox::Critical);
        break;
    case Question:
        box.setIcon(QMessageBox::Question);
        break;
    case Information:
        box.setIcon(QMessageBox::Information);
        break;
    }
    box.addButton(QStringLiteral("OK"), QMessageBox::AcceptRole);
    box.exec();
}

Messages::Answer TQtMessages::ask(const QString& text, bool withCancel, Answer defaultAnswer) {
    QMessageBox box(BoxParent());
    box.setWindowTitle(BoxTitle());
    box.setIcon(QMessageBox::Question);
    box.setTextFormat(Qt::PlainText);
    box.setText(text);
    QPushButton* yes = box.addButton(QStringLiteral("&Ja"), QMessageBox::YesRole);
    QPushButton* no = box.addButton(QStringLiteral("&Nein"), QMessageBox::NoRole);
    QPushButton* cancel = nullptr;
    if (withCancel) {
        cancel = box.addButton(QStringLiteral("Abbrechen"), QMessageBox::RejectRole);
        box.setEscapeButton(cancel);
    } else {
        box.setEscapeButton(no);
    }
    box.setDefaultButton(defaultAnswer == No ? no : defaultAnswer == Cancel && cancel ? cancel : yes);
    box.exec();
    if (box.clickedButton() == yes)
        return Yes;
    if (cancel && box.clickedButton() == cancel)
        return Cancel;
    return withCancel && !box.clickedButton() ? Cancel : No;
}

Messages::Answer TQtMessages::askWithThird(const QString& text, const QString& third, Answer defaultAnswer) {
    QMessageBox box(BoxParent());
    box.setWindowTitle(BoxTitle());
    box.setIcon(QMessageBox::Question);
    box.setTextFormat(Qt::PlainText);
    box.setText(text);
    QPushButton* yes = box.addButton(QStringLiteral("&Ja"), QMessageBox::YesRole);
    QPushButton* no = box.addButton(QStringLiteral("&Nein"), QMessageBox::NoRole);
    QPushButton* other = box.addButton(third, QMessageBox::ActionRole);
    box.setEscapeButton(no);
    box.setDefaultButton(defaultAnswer == No ? no : defaultAnswer == Cancel ? other : yes);
    box.exec();
    if (box.clickedButton() == yes)
        return Yes;
    return box.clickedButton() == other ? Cancel : No;
}
