// The message boxes the user sees: every Messages call becomes a modal
// QMessageBox with German button texts.
#pragma once

#include "Messages.h"

class TQtMessages : public Messages {
protected:
    void show(Kind kind, const QString& text) override;
    Answer ask(const QString& text, bool withCancel, Answer defaultAnswer) override;
    Answer askWithThird(const QString& text, const QString& third, Answer defaultAnswer) override;
};
