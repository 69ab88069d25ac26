#include "UPosUeb.h"

#include "Beleg.h"
#include "Messages.h"
#include "QuorventFunctions.h"
#include "TDBDataLink.h"
#include "TDBGrid.h"
#include "UDM.h"
#include "UPosDaten.h"
#include "ui_UPosUeb.h"

#include <QApplication>
#include <QFrame>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLocale>
#include <QMenu>
#include <QMouseEvent>
#include <QScrollBar>

std::function<void(const QString&, int)> TPosUeb::ShowPrint;
std::function<void()> TPosUeb::ShowOverview;

TPosUeb::TPosUeb(QWidget* pageArea)
    : TPage(pageArea), ui(new Ui::TPosUeb), FPosDaten(new TPosDaten), FDropMarker(nullptr) {
    ui->setupUi(this);
    setObjectName(QStringLiteral("PosUeb"));

    TDBGrid* grid = ui->DBGrid1;
    grid->SetDataSource(&DM->DSQPos);
    grid->SetColumns({
        {QStringLiteral("PosID"), QStringLiteral("PosNr."), {}, 70},
        {QStringLiteral("ArtikelID"), QStringLiteral("ArtikelNr."), {}, 80},
        {QStringLiteral("PosKurzBez"), QStringLiteral("Bezeichnung"), {}, 340},
        {QStringLiteral("Summe"), QStringLiteral("Betrag"), QStringLiteral("#,##0.00"), 110},
        {QStringLiteral("SummeUST"), QStringLiteral("MWSt."), QStringLiteral("#,##0.00"), 100},
        {QStringLiteral("SummeInkl"), QStringLiteral("inkl. MWSt."), QStringLiteral("#,##0.00"), 110},
    });
    grid->setContextMenuPolicy(Qt::CustomContextMenu);
    grid->viewport()->installEventFilter(this);
    // Escape reaches the grid, which has the focus while a row is dragged.
    grid->installEventFilter(this);

    // Where a dragged row would land: a line between two rows.
    FDropMarker = new QFrame(grid->viewport());
    FDropMarker->setObjectName(QStringLiteral("DropMarker"));
    FDropMarker->setFrameShape(QFrame::NoFrame);
    FDropMarker->setAutoFillBackground(true);
    QPalette marker = FDropMarker->palette();
    marker.setColor(QPalette::Window, palette().color(QPalette::Highlight));
    FDropMarker->setPalette(marker);
    FDropMarker->hide();

    connect(ui->BitBtnNeu, &QPushButton::clicked, this, &TPosUeb::NeuClick);
    connect(ui->BitBtnAendern, &QPushButton::clicked, this, &TPosUeb::AendernClick);
    connect(ui->BitBtnLoeschen, &QPushButton::clicked, this, &TPosUeb::LoeschenClick);
    connect(ui->BitBtnDrucken, &QPushButton::clicked, this, &TPosUeb::DruckenClick);
    connect(ui->BitBtnClose, &QPushButton::clicked, this, &TPosUeb::CloseClick);
    connect(grid, &TDBGrid::recordDoubleClicked, this, &TPosUeb::AendernClick);
    connect(grid, &QWidget::customContextMenuRequested, this, &TPosUeb::ShowContextMenu);
}

TPosUeb::~TPosUeb() {
    delete FPosDaten.data();
    delete ui;
}

TPosDaten* TPosUeb::PosDaten() const {
    return FPosDaten.data();
}

bool TPosUeb::Open(const QString& typ, int kopfId) {
    // A document another program deleted has no positions to edit.
    bool found = false;
    if (!RunDataAction([&] { found = DM->ReadPosKopf(typ, kopfId).Found; }))
        return false;
    if (!found) {
        Messages::warning(DokumentFehltText());
        return false;
    }
    FTyp = typ;
    FKopfID = kopfId;
    return ShowPage();
}

void TPosUeb::PrepareShow() {
    FDragStartRow = -1;
    FDragging = false;
    FDropMarker->hide();
    ui->PTitel->setText(QStringLiteral("   Positionsübersicht - ") + DokTypName(FTyp));
    RefreshFigures();
    DM->OpenQueryPos(FTyp, FKopfID, FNetto);
    // The position form opens it for itself, filtered to the document.
    DM->TablePos.Close();
    SetEditable(!StatusGeschlossen(FStatus));
}

void TPosUeb::RefreshFigures() {
    const TDM::TPosKopf k = DM->ReadPosKopf(FTyp, FKopfID);
    FNetto = k.Netto;
    FStatus = k.Status;
    ui->LabKopfID->setText(QString::number(FKopfID));
    ui->LabKundenID->setText(k.KundenID);
    ui->LabKundenname->setText(k.Kundenname);
    ui->LabKopfBez->setText(k.KopfBez);
    ui->LabBetrag->setText(QLocale().toString(k.Betrag, 'f', 2));
}

void TPosUeb::SetEditable(bool editable) {
    FEditable = editable;
    ui->BitBtnNeu->setEnabled(editable);
    ui->BitBtnLoeschen->setEnabled(editable);
    ui->DBGrid1->setContextMenuPolicy(editable ? Qt::CustomContextMenu : Qt::NoContextMenu);
}

qint64 TPosUeb::CurrentPosID() const {
    const TSQLiteQuery& list = DM->QueryPos;
    if (!list.Active() || list.IsEmpty())
        return 0;
    return list.FieldByName(QStringLiteral("PosID"))->AsLargeInt();
}

void TPosUeb::ReopenList(qint64 posId) {
    RunDataAction([this, posId] {
        DM->OpenQueryPos(FTyp, FKopfID, FNetto);
        if (posId > 0)
            DM->QueryPos.Locate(QStringLiteral("PosID"), posId);
    });
}

void TPosUeb::ShowContextMenu(const QPoint& pos) {
    if (!FEditable)
        return;
    QMenu menu(this);
    menu.addAction(QStringLiteral("&Neu"), this, &TPosUeb::NeuClick);
    menu.addAction(QStringLiteral("Än&dern"), this, &TPosUeb::AendernClick);
    menu.addAction(QStringLiteral("&Löschen"), this, &TPosUeb::LoeschenClick);
    menu.exec(ui->DBGrid1->viewport()->mapToGlobal(pos));
}

void TPosUeb::ShowPosDaten(int mode) {
    QWidget* top = window();
    if (top != this && FPosDaten->parentWidget() != top)
        FPosDaten->setParent(top, FPosDaten->windowFlags());
    FPosDaten->Show(FTyp, FKopfID, mode);
}

void TPosUeb::NeuClick() {
    if (!FEditable)
        return;
    ShowPosDaten(TStammForm::ModeNew);
    RunDataAction([this] { RefreshFigures(); });
    ReopenList(FPosDaten->LastPosID());
}

void TPosUeb::AendernClick() {
    const qint64 posId = CurrentPosID();
    if (posId <= 0)
        return;
    ShowPosDaten(FEditable ? int(TStammForm::ModeEdit) : int(TPosDaten::ModeShow));
    RunDataAction([this] { RefreshFigures(); });
    ReopenList(posId);
}

void TPosUeb::LoeschenClick() {
    const qint64 posId = CurrentPosID();
    if (!FEditable || posId <= 0)
        return;
    if (Messages::question(QStringLiteral("Soll die Position ") + QString::number(posId) +
                               QStringLiteral(" wirklich gelöscht werden?"),
                           false, Messages::No) != Messages::Yes)
        return;
    const int row = DM->QueryPos.RecNo();
    RunDataAction([this, posId] { DM->DeletePos(FTyp, FKopfID, posId); });
    RunDataAction([this, row] {
        RefreshFigures();
        DM->OpenQueryPos(FTyp, FKopfID, FNetto);
        // Stay where the deleted row was, so the user goes on with its neighbour.
        if (!DM->QueryPos.IsEmpty())
            DM->QueryPos.SetRecNo(std::min(row, DM->QueryPos.RecordCount()));
    });
}

void TPosUeb::DruckenClick() {
    if (!ShowPrint)
        return;
    RunDataAction([this] { ShowPrint(FTyp, FKopfID); });
    // Printing may have closed the document.
    if (FEditable)
        RunDataAction([this] {
            RefreshFigures();
            if (StatusGeschlossen(FStatus))
                SetEditable(false);
        });
}

void TPosUeb::CloseClick() {
    hide();
    // The overview runs its list again; the document shown here stays the
    // one chosen in it.
    if (ShowOverview)
        RunDataAction([] { ShowOverview(); });
    RunDataAction([this] { DM->ReopenQueryKopf(FTyp, FKopfID); });
}

// ---------------------------------------------------------------------------
// Reordering. A press on a row remembers it; moving the mouse the usual
// distance with the button held starts the drag, and releasing it drops the
// row at the place under the pointer. Only rows of this grid can be dragged
// and dropped here.

bool TPosUeb::eventFilter(QObject* watched, QEvent* event) {
    if (FDragging && event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape) {
        CancelDrag();
        return true;
    }
    if (watched == ui->DBGrid1->viewport()) {
        switch (event->type()) {
        case QEvent::MouseButtonPress:
            return GridMousePress(static_cast<QMouseEvent*>(event));
        case QEvent::MouseMove:
            return GridMouseMove(static_cast<QMouseEvent*>(event));
        case QEvent::MouseButtonRelease:
            return GridMouseRelease(static_cast<QMouseEvent*>(event));
        default:
            break;
        }
    }
    return TPage::eventFilter(watched, event);
}

bool TPosUeb::GridMousePress(QMouseEvent* event) {
    FDragStartRow = -1;
    FDragging = false;
    FDragCancelled = false;
    if (!FEditable || event->button() != Qt::LeftButton)
        return false;
    const QModelIndex index = ui->DBGrid1->indexAt(event->position().toPoint());
    if (!index.isValid())
        return false;
    FDragStartRow = index.row();
    FPressPos = event->position().toPoint();
    // The grid selects the row, which makes it the current position.
    return false;
}

bool TPosUeb::GridMouseMove(QMouseEvent* event) {
    if (FDragCancelled)
        return true;
    if (FDragStartRow < 0 || !(event->buttons() & Qt::LeftButton))
        return false;
    const QPoint pos = event->position().toPoint();
    if (!FDragging && (pos - FPressPos).manhattanLength() >= QApplication::startDragDistance()) {
        FDragging = true;
        ui->DBGrid1->viewport()->setCursor(Qt::DragMoveCursor);
    }
    if (FDragging) {
        // Near the edges the list scrolls, so a row can go anywhere.
        QScrollBar* bar = ui->DBGrid1->verticalScrollBar();
        const int edge = ui->DBGrid1->verticalHeader()->defaultSectionSize() / 2;
        if (pos.y() < edge)
            bar->setValue(bar->value() - 1);
        else if (pos.y() > ui->DBGrid1->viewport()->height() - edge)
            bar->setValue(bar->value() + 1);
        ShowDropMarker(pos);
    }
    // The grid's own handling would move the selection along with the pointer.
    return true;
}

bool TPosUeb::GridMouseRelease(QMouseEvent* event) {
    if (FDragStartRow < 0 || event->button() != Qt::LeftButton) {
        // A drag given up with Escape ends with its button: the grid must
        // not take the release as a click of its own.
        const bool cancelled = FDragCancelled;
        FDragCancelled = false;
        return cancelled && event->button() == Qt::LeftButton;
    }
    const bool dragged = FDragging;
    const int startRow = FDragStartRow;
    CancelDrag();
    FDragCancelled = false;
    if (!dragged)
        return false;
    // A row let go of outside the list was not put anywhere.
    const QPoint pos = event->position().toPoint();
    if (ui->DBGrid1->viewport()->rect().contains(pos))
        DropAt(pos, startRow);
    return true;
}

void TPosUeb::CancelDrag() {
    FDragCancelled = FDragging;
    FDragging = false;
    FDragStartRow = -1;
    FDropMarker->hide();
    ui->DBGrid1->viewport()->unsetCursor();
}

void TPosUeb::ShowDropMarker(const QPoint& pos) {
    TDBGrid* grid = ui->DBGrid1;
    const int rows = grid->model()->rowCount();
    if (rows == 0) {
        FDropMarker->hide();
        return;
    }
    int row = grid->rowAt(std::max(pos.y(), 0));
    int y = 0;
    if (row < 0)
        y = grid->rowViewportPosition(rows - 1) + grid->rowHeight(rows - 1);
    else if (row < FDragStartRow)
        y = grid->rowViewportPosition(row);
    else
        y = grid->rowViewportPosition(row) + grid->rowHeight(row);
    FDropMarker->setGeometry(0, std::max(0, y - 1), grid->viewport()->width(), 2);
    FDropMarker->show();
    FDropMarker->raise();
}

void TPosUeb::DropAt(const QPoint& pos, int startRow) {
    TDBGrid* grid = ui->DBGrid1;
    TSQLiteQuery& list = DM->QueryPos;
    if (!list.Active() || list.IsEmpty())
        return;
    // Below the last row counts as behind it.
    const int targetRow = grid->rowAt(pos.y());
    qint64 newNumber = 0;
    const bool done = RunDataAction([&] {
        const qint64 moved = list.FieldByName(QStringLiteral("PosID"))->AsLargeInt();
        qint64 target = 0;
        int direction = 1;
        if (targetRow >= 0) {
            list.MoveBy(targetRow - grid->CurrentRow());
            target = list.FieldByName(QStringLiteral("PosID"))->AsLargeInt();
            direction = targetRow < startRow ? -1 : 1;
        }
        newNumber = DM->ReorderPositions(FTyp, FKopfID, moved, target, direction);
    });
    ReopenList(done ? newNumber : CurrentPosID());
}
