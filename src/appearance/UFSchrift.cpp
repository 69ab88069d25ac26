#include "UFSchrift.h"

#include "SQLite.h"
#include "UDBRichEdit.h"
#include "ui_UFSchrift.h"

#include <QFontDatabase>
#include <QPainter>
#include <QPainterPath>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextEdit>
#include <QTextList>

#include <algorithm>

namespace {

// Sets a flag for the lifetime of the guard, so it is cleared on every way out.
class FlagGuard {
public:
    explicit FlagGuard(bool& flag) : FFlag(flag) { FFlag = true; }
    ~FlagGuard() { FFlag = false; }
    FlagGuard(const FlagGuard&) = delete;
    FlagGuard& operator=(const FlagGuard&) = delete;

private:
    bool& FFlag;
};

enum class Picture { Cut, Copy, Paste, Undo, Bold, Italic, Underline, Left, Center, Right, Bullets };

// The toolbar's pictures are drawn here, so the program needs no image files.
QIcon Draw(Picture picture) {
    QPixmap pixmap(16, 16);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    const QColor ink(0x30, 0x30, 0x30);
    const QColor blue(0x2a, 0x5d, 0xb0);
    p.setPen(QPen(ink, 1.2));

    auto lines = [&](const QList<std::pair<int, int>>& spans) {
        p.setPen(QPen(ink, 1.5, Qt::SolidLine, Qt::FlatCap));
        int y = 3;
        for (const auto& [x1, x2] : spans) {
            p.drawLine(QPointF(x1, y + 0.5), QPointF(x2, y + 0.5));
            y += 3;
        }
    };
    auto letter = [&](const QString& text, bool bold, bool italic, bool underline) {
        QFont f(QStringLiteral("DejaVu Serif"));
        f.setPixelSize(13);
        f.setBold(bold);
        f.setItalic(italic);
        f.setUnderline(underline);
        p.setFont(f);
        p.setPen(ink);
        p.drawText(QRect(0, 0, 16, 16), Qt::AlignCenter, text);
    };

    switch (picture) {
    case Picture::Cut:
        p.drawEllipse(QRectF(2, 10, 4.5, 4.5));
        p.drawEllipse(QRectF(9.5, 10, 4.5, 4.5));
        p.drawLine(QPointF(5.5, 10.5), QPointF(11.5, 1.5));
        p.drawLine(QPointF(10.5, 10.5), QPointF(4.5, 1.5));
        break;
    case Picture::Copy:
        p.setBrush(Qt::white);
        p.drawRect(QRectF(1.5, 1.5, 8, 10));
        p.drawRect(QRectF(6.5, 4.5, 8, 10));
        break;
    case Picture::Paste:
        p.setBrush(QColor(0xc8, 0x9b, 0x5a));
        p.drawRoundedRect(QRectF(2.5, 2.5, 11, 12.5), 1.5, 1.5);
        p.setBrush(Qt::white);
        p.drawRect(QRectF(5, 1, 6, 3));
        p.drawRect(QRectF(5, 6, 6.5, 7));
        break;
    case Picture::Undo: {
        p.setPen(QPen(blue, 1.8));
        QPainterPath arc;
        arc.moveTo(4, 7);
        arc.cubicTo(7, 3, 14, 4, 13, 10);
        arc.cubicTo(12.5, 13, 10, 14, 8, 14);
        p.drawPath(arc);
        p.setBrush(blue);
        p.setPen(Qt::NoPen);
        p.drawPolygon(QPolygonF({QPointF(1, 3), QPointF(7, 9), QPointF(1, 10)}));
        break;
    }
    case Picture::Bold:
        letter(QStringLiteral("F"), true, false, false);
        break;
    case Picture::Italic:
        letter(QStringLiteral("K"), false, true, false);
        break;
    case Picture::Underline:
        letter(QStringLiteral("U"), false, false, true);
        break;
    case Picture::Left:
        lines({{1, 15}, {1, 10}, {1, 15}, {1, 10}});
        break;
    case Picture::Center:
        lines({{1, 15}, {4, 12}, {1, 15}, {4, 12}});
        break;
    case Picture::Right:
        lines({{1, 15}, {6, 15}, {1, 15}, {6, 15}});
        break;
    case Picture::Bullets:
        p.setPen(Qt::NoPen);
        p.setBrush(ink);
        for (int y : {3, 8, 13})
            p.drawEllipse(QPointF(2.5, y), 1.6, 1.6);
        p.setPen(QPen(ink, 1.5, Qt::SolidLine, Qt::FlatCap));
        for (int y : {3, 8, 13})
            p.drawLine(QPointF(6, y + 0.5), QPointF(15, y + 0.5));
        break;
    }
    return QIcon(pixmap);
}

Qt::Alignment AlignmentOfCode(int code) {
    switch (code) {
    case 1:
        return Qt::AlignRight;
    case 2:
        return Qt::AlignHCenter;
    default:
        return Qt::AlignLeft;
    }
}

} // namespace

TFrameSchrift::TFrameSchrift(QWidget* parent) : QFrame(parent), ui(new Ui::TFrameSchrift) {
    ui->setupUi(this);

    ui->CutButton->setIcon(Draw(Picture::Cut));
    ui->CopyButton->setIcon(Draw(Picture::Copy));
    ui->PasteButton->setIcon(Draw(Picture::Paste));
    ui->UndoButton->setIcon(Draw(Picture::Undo));
    ui->BoldButton->setIcon(Draw(Picture::Bold));
    ui->ItalicButton->setIcon(Draw(Picture::Italic));
    ui->UnderlineButton->setIcon(Draw(Picture::Underline));
    ui->LeftAlign->setIcon(Draw(Picture::Left));
    ui->CenterAlign->setIcon(Draw(Picture::Center));
    ui->RightAlign->setIcon(Draw(Picture::Right));
    ui->BulletsButton->setIcon(Draw(Picture::Bullets));

    // The alignment buttons carry the codes of left, right and centred text.
    ui->AlignGroup->setId(ui->LeftAlign, 0);
    ui->AlignGroup->setId(ui->CenterAlign, 2);
    ui->AlignGroup->setId(ui->RightAlign, 1);

    connect(ui->CutButton, &QToolButton::clicked, this, &TFrameSchrift::CutButtonClick);
    connect(ui->CopyButton, &QToolButton::clicked, this, &TFrameSchrift::CopyButtonClick);
    connect(ui->PasteButton, &QToolButton::clicked, this, &TFrameSchrift::PasteButtonClick);
    connect(ui->UndoButton, &QToolButton::clicked, this, &TFrameSchrift::UndoButtonClick);
    connect(ui->FontName, &QComboBox::currentIndexChanged, this, &TFrameSchrift::FontNameChange);
    connect(ui->FontSize, &QSpinBox::valueChanged, this, &TFrameSchrift::FontSizeChange);
    connect(ui->BoldButton, &QToolButton::clicked, this, &TFrameSchrift::BoldButtonClick);
    connect(ui->ItalicButton, &QToolButton::clicked, this, &TFrameSchrift::ItalicButtonClick);
    connect(ui->UnderlineButton, &QToolButton::clicked, this, &TFrameSchrift::UnderlineButtonClick);
    connect(ui->AlignGroup, &QButtonGroup::idClicked, this, &TFrameSchrift::AlignButtonClick);
    connect(ui->BulletsButton, &QToolButton::clicked, this, &TFrameSchrift::BulletsButtonClick);
}

TFrameSchrift::~TFrameSchrift() {
    delete ui;
}

void TFrameSchrift::Attach(QTextEdit* editor) {
    for (const auto& c : std::as_const(FEditorConnections))
        disconnect(c);
    FEditorConnections.clear();
    FEditor = editor;
    FDataSet = nullptr;
    if (!editor)
        return;
    FEditorConnections << connect(editor, &QTextEdit::cursorPositionChanged, this,
                                  &TFrameSchrift::SelectionChange)
                       << connect(editor, &QTextEdit::selectionChanged, this, &TFrameSchrift::SelectionChange)
                       << connect(editor, &QTextEdit::currentCharFormatChanged, this,
                                  &TFrameSchrift::SelectionChange);

    if (auto* rich = qobject_cast<TDBRichEdit*>(editor)) {
        FDataSet = rich->DataSet();
        if (FDataSet && FDataSet->State() != TDataSetState::Edit &&
            FDataSet->State() != TDataSetState::Insert)
            FDataSet->Edit();
    }

    FillFontList();
    SelectionChange();

    QTextCharFormat f;
    f.setFontFamilies(QStringList{QStringLiteral("Arial")});
    f.setFontPointSize(AttachFontSize);
    MergeCurrentAttributes(f);
}

void TFrameSchrift::FillFontList() {
    FlagGuard guard(FUpdating);
    QStringList families = QFontDatabase::families();
    std::sort(families.begin(), families.end(), [](const QString& a, const QString& b) {
        return QString::compare(a, b, Qt::CaseInsensitive) < 0;
    });
    ui->FontName->clear();
    ui->FontName->addItems(families);
}

QTextCharFormat TFrameSchrift::SelectionAttributes() const {
    QTextCursor cursor = FEditor->textCursor();
    if (!cursor.hasSelection())
        return FEditor->currentCharFormat();
    // A selection shows the attributes of its first character.
    QTextCursor first(FEditor->document());
    first.setPosition(cursor.selectionStart() + 1);
    return first.charFormat();
}

void TFrameSchrift::SelectionChange() {
    if (!FEditor)
        return;
    FlagGuard guard(FUpdating);
    const QTextCharFormat f = SelectionAttributes();
    ui->BoldButton->setChecked(f.fontWeight() >= QFont::DemiBold);
    ui->ItalicButton->setChecked(f.fontItalic());
    ui->UnderlineButton->setChecked(f.fontUnderline());
    ui->BulletsButton->setChecked(FEditor->textCursor().currentList() != nullptr);

    const QFont font = f.font().resolve(FEditor->document()->defaultFont());
    ui->FontSize->setValue(std::max(0, qRound(font.pointSizeF())));
    QString family = f.fontFamilies().toStringList().value(0);
    if (family.isEmpty())
        family = font.family();
    const int index = ui->FontName->findText(family, Qt::MatchFixedString);
    ui->FontName->setCurrentIndex(index);
    if (index < 0)
        ui->FontName->setEditText(family); // a font that is not installed still shows its name

    const Qt::Alignment a = FEditor->alignment();
    QAbstractButton* pressed = (a & Qt::AlignHCenter)   ? ui->CenterAlign
                               : (a & Qt::AlignJustify) ? nullptr
                               : (a & Qt::AlignRight)   ? ui->RightAlign
                                                        : ui->LeftAlign;
    if (pressed) {
        pressed->setChecked(true);
    } else {
        // justified text matches none of the three buttons
        ui->AlignGroup->setExclusive(false);
        for (QAbstractButton* b : ui->AlignGroup->buttons())
            b->setChecked(false);
        ui->AlignGroup->setExclusive(true);
    }
}

void TFrameSchrift::MergeCurrentAttributes(const QTextCharFormat& format) {
    if (FEditor)
        FEditor->mergeCurrentCharFormat(format);
}

void TFrameSchrift::CutButtonClick() {
    if (!FUpdating && FEditor)
        FEditor->cut();
}

void TFrameSchrift::CopyButtonClick() {
    if (!FUpdating && FEditor)
        FEditor->copy();
}

void TFrameSchrift::PasteButtonClick() {
    if (!FUpdating && FEditor)
        FEditor->paste();
}

void TFrameSchrift::UndoButtonClick() {
    if (!FUpdating && FEditor)
        FEditor->undo();
}

void TFrameSchrift::FontNameChange(int index) {
    if (FUpdating || !FEditor || index < 0)
        return;
    // A name typed that is not in the list counts as the list's selected entry.
    const QString name = ui->FontName->itemText(index);
    if (name.isEmpty())
        return;
    QTextCharFormat f;
    f.setFontFamilies(QStringList{name});
    MergeCurrentAttributes(f);
}

void TFrameSchrift::FontSizeChange(int value) {
    // Zero, where the field starts, is no size a text can have.
    if (FUpdating || !FEditor || value <= 0)
        return;
    QTextCharFormat f;
    f.setFontPointSize(value);
    MergeCurrentAttributes(f);
}

void TFrameSchrift::BoldButtonClick(bool checked) {
    if (FUpdating)
        return;
    QTextCharFormat f;
    f.setFontWeight(checked ? QFont::Bold : QFont::Normal);
    MergeCurrentAttributes(f);
}

void TFrameSchrift::ItalicButtonClick(bool checked) {
    if (FUpdating)
        return;
    QTextCharFormat f;
    f.setFontItalic(checked);
    MergeCurrentAttributes(f);
}

void TFrameSchrift::UnderlineButtonClick(bool checked) {
    if (FUpdating)
        return;
    QTextCharFormat f;
    f.setFontUnderline(checked);
    MergeCurrentAttributes(f);
}

void TFrameSchrift::AlignButtonClick(int code) {
    if (FUpdating || !FEditor)
        return;
    FEditor->setAlignment(AlignmentOfCode(code));
}

void TFrameSchrift::BulletsButtonClick(bool checked) {
    if (FUpdating || !FEditor)
        return;
    QTextCursor cursor = FEditor->textCursor();
    cursor.beginEditBlock();
    if (checked) {
        if (!cursor.currentList()) {
            QTextListFormat lf;
            lf.setStyle(QTextListFormat::ListDisc);
            cursor.createList(lf);
        }
    } else {
        QTextDocument* doc = FEditor->document();
        QTextBlock block = doc->findBlock(cursor.selectionStart());
        const QTextBlock last = doc->findBlock(cursor.selectionEnd());
        while (block.isValid()) {
            if (QTextList* list = block.textList()) {
                list->remove(block);
                QTextBlockFormat bf = block.blockFormat();
                bf.setIndent(0);
                QTextCursor(block).setBlockFormat(bf);
            }
            if (block == last)
                break;
            block = block.next();
        }
    }
    cursor.endEditBlock();
    SelectionChange();
}
