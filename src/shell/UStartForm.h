// The start screen shown while the data module connects.
#pragma once

#include <QWidget>

namespace Ui {
class TStartForm;
}
class TFrameInfo;

class TStartForm : public QWidget {
    Q_OBJECT
public:
    explicit TStartForm(QWidget* parent = nullptr);
    ~TStartForm() override;

    TFrameInfo* FrameInfo() const;
    // Shows the screen centred and paints it at once, before the slow work starts.
    void ShowNow();

private:
    Ui::TStartForm* ui;
};
