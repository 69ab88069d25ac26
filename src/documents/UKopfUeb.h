// The document overview "   Übersicht", the program's first page: every
// document of every type with its amounts, eight filters and seven sort
// orders, and the starting point of every document action.
#pragma once

#include "UPage.h"

#include <QStringList>

#include <functional>

namespace Ui {
class TKopfUeb;
}

class QLineEdit;

class TKopfUeb : public TPage {
    Q_OBJECT
public:
    explicit TKopfUeb(QWidget* pageArea = nullptr);
    ~TKopfUeb() override;

    // Builds and runs the list from the filters as they stand.
    void Rebuild();

    void NeuClick();
    void AendernClick();
    void LoeschenClick();
    void PositionenClick();
    void DruckenClick();
    void KopierenClick();

    // What the page calls out to, set by main (and by tests). The header
    // form runs modally in mode 1 (new) or 2 (the current row of QueryKopf)
    // and leaves TableKopf on the document shown. The pickers return true
    // when the user took a record, then the current row of QueryKunde or
    // QueryLieferant. The others get the document's type and number.
    static std::function<void(int mode)> ShowKopf;
    static std::function<bool()> PickCustomer;
    static std::function<bool()> PickSupplier;
    static std::function<void(const QString& typ, int kopfId)> ShowPositions;
    static std::function<void(const QString& typ, int kopfId)> ShowPrint;
    static std::function<void(const QString& typ, int kopfId)> ShowCopy;

protected:
    void PrepareShow() override;
    void showEvent(QShowEvent* event) override;

private:
    void SetSlot(int slot, const QString& value);
    void ConnectDigits(QLineEdit* edit, int slot);
    void Pick(QLineEdit* edit, bool supplier);
    // Type and number of the current row; false when the list shows no document.
    bool Current(QString* typ, int* kopfId) const;
    void ShowContextMenu(const QPoint& pos);

    Ui::TKopfUeb* ui;
    QStringList FSlots;
};
