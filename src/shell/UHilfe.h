// The help page in a window of the program: readable without a web browser
// and beside the window it explains.
#pragma once

#include <QDialog>

class QTextBrowser;

class THilfe : public QDialog {
    Q_OBJECT
public:
    explicit THilfe(QWidget* parent = nullptr);

    // Loads the page; false (and nothing shown) when it cannot be read.
    bool Load(const QString& file);
    QTextBrowser* Browser() const { return FBrowser; }

private:
    QTextBrowser* FBrowser;
};
