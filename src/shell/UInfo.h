// The Info dialog: the information frame, the maker's web address and "OK".
#pragma once

#include <QDialog>
#include <QUrl>

#include <functional>

namespace Ui {
class TInfo;
}
class TFrameInfo;

// The maker's web page named in the Info dialog.
extern const char* const MakerWebAddress;

// Opens a web address or a local page in the system's browser. Tests replace it.
extern std::function<bool(const QUrl&)> OpenInBrowser;

class TInfo : public QDialog {
    Q_OBJECT
public:
    explicit TInfo(QWidget* parent = nullptr);
    ~TInfo() override;

    TFrameInfo* FrameInfo() const;
    // Centres the dialog on the screen and runs it modally.
    int exec() override;

private:
    Ui::TInfo* ui;
};
