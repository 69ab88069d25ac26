#include "UEmptyPage.h"

#include <QLabel>
#include <QVBoxLayout>

TEmptyPage::TEmptyPage(const QString& title, QWidget* pageArea) : TPage(pageArea) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    PTitel = new QLabel(QStringLiteral("   ") + title, this);
    PTitel->setObjectName(QStringLiteral("PTitel"));
    PTitel->setMinimumHeight(30);
    QFont f = PTitel->font();
    f.setBold(true);
    f.setPointSize(f.pointSize() + 3);
    PTitel->setFont(f);
    PTitel->setAutoFillBackground(true);
    layout->addWidget(PTitel);
    layout->addStretch(1);
}
