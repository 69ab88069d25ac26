#include "UHilfe.h"

#include "UIcons.h"

#include <QDialogButtonBox>
#include <QFileInfo>
#include <QPushButton>
#include <QTextBrowser>
#include <QUrl>
#include <QVBoxLayout>

THilfe::THilfe(QWidget* parent) : QDialog(parent), FBrowser(new QTextBrowser(this)) {
    setObjectName(QStringLiteral("Hilfe"));
    setWindowTitle(QStringLiteral("Quorvent Hilfe"));
    setWindowIcon(QuorventIcon());
    FBrowser->setObjectName(QStringLiteral("TBHilfe"));
    // Links to the web still go to the browser, where there is one.
    FBrowser->setOpenExternalLinks(true);
    auto* buttons = new QDialogButtonBox(this);
    QPushButton* close = buttons->addButton(QStringLiteral("Schließen"), QDialogButtonBox::RejectRole);
    close->setObjectName(QStringLiteral("BitBtnSchliessen"));
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::close);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(FBrowser);
    layout->addWidget(buttons);
    resize(720, 640);
}

bool THilfe::Load(const QString& file) {
    if (!QFileInfo(file).isReadable())
        return false;
    FBrowser->setSource(QUrl::fromLocalFile(file));
    FBrowser->setFocus();
    return true;
}
