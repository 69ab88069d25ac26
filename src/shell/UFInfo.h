// The information frame of the start screen and the Info dialog: program icon,
// name, version and the maker line.
#pragma once

#include <QFrame>

namespace Ui {
class TFrameInfo;
}
class QLabel;

class TFrameInfo : public QFrame {
    Q_OBJECT
public:
    explicit TFrameInfo(QWidget* parent = nullptr);
    ~TFrameInfo() override;

    // "Version " + version text.
    void SetVersionText(const QString& versionText);
    QString VersionCaption() const;
    // The third line (the maker); the start screen leaves it empty.
    void SetThirdLine(const QString& text);

private:
    Ui::TFrameInfo* ui;
};
