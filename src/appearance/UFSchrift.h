// The rich-text toolbar that sits above a description editor: clipboard,
// undo, font name and size, bold, italic, underline, paragraph alignment and
// bullets for the text of the attached editor.
#pragma once

#include <QFrame>
#include <QList>
#include <QPointer>
#include <QTextEdit>

class QTextCharFormat;
class TSQLiteBaseQuery;

namespace Ui {
class TFrameSchrift;
}

class TFrameSchrift : public QFrame {
    Q_OBJECT
public:
    explicit TFrameSchrift(QWidget* parent = nullptr);
    ~TFrameSchrift() override;

    // Binds the toolbar to an editor; the owning form calls it each time it
    // opens. When the editor is a TDBRichEdit its record is put into edit
    // state, so a form with this toolbar always starts editing its record.
    // Errors of that edit (a refusing before-edit rule) reach the caller.
    void Attach(QTextEdit* editor);

    QTextEdit* Editor() const { return FEditor; }
    TSQLiteBaseQuery* DataSet() const { return FDataSet; }
    // True while the toolbar is being brought in line with the editor.
    bool Updating() const { return FUpdating; }

    // Brings the toolbar in line with the selection or caret of the editor.
    void SelectionChange();

    // The size the current attributes get when the toolbar is attached.
    static constexpr int AttachFontSize = 10;

private:
    void CutButtonClick();
    void CopyButtonClick();
    void PasteButtonClick();
    void UndoButtonClick();
    void FontNameChange(int index);
    void FontSizeChange(int value);
    void BoldButtonClick(bool checked);
    void ItalicButtonClick(bool checked);
    void UnderlineButtonClick(bool checked);
    void AlignButtonClick(int code);
    void BulletsButtonClick(bool checked);

    // Applies to the selection when there is one, otherwise to the attributes
    // of text typed next.
    void MergeCurrentAttributes(const QTextCharFormat& format);
    QTextCharFormat SelectionAttributes() const;
    void FillFontList();

    Ui::TFrameSchrift* ui;
    QPointer<QTextEdit> FEditor;
    TSQLiteBaseQuery* FDataSet = nullptr;
    QList<QMetaObject::Connection> FEditorConnections;
    bool FUpdating = false;
};
