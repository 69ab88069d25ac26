#include "UDBRichEdit.h"

#include "Messages.h"
#include "Rtf.h"
#include "SQLite.h"

#include <QFont>
#include <QTextCharFormat>
#include <QTextDocument>

TDBRichEdit::TDBRichEdit(QWidget* parent) : QTextEdit(parent) {
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    connect(this, &QTextEdit::textChanged, this, &TDBRichEdit::ContentsChanged);
}

void TDBRichEdit::SetDataSource(TDataSource* dataSource) {
    if (dataSource == FDataSource)
        return;
    FDataSource = dataSource;
    Reconnect();
    FHasShown = false;
    LoadFromField();
}

void TDBRichEdit::SetDataField(const QString& name) {
    FDataField = name;
    FHasShown = false;
    LoadFromField();
}

void TDBRichEdit::Reconnect() {
    for (const auto& c : std::as_const(FConnections))
        disconnect(c);
    FConnections.clear();
    if (!FDataSource)
        return;
    FConnections << connect(FDataSource, &TDataSource::dataChange, this, &TDBRichEdit::DataChanged);
    FConnections << connect(FDataSource, &TDataSource::stateChange, this, &TDBRichEdit::StateChanged);
}

TSQLiteBaseQuery* TDBRichEdit::DataSet() const {
    return FDataSource ? FDataSource->DataSet() : nullptr;
}

TField* TDBRichEdit::Field() const {
    TSQLiteBaseQuery* ds = DataSet();
    if (!ds || !ds->Active() || FDataField.isEmpty())
        return nullptr;
    return ds->FindField(FDataField);
}

void TDBRichEdit::SetDefAttributes(const QString& family, double pointSize) {
    QFont font(family);
    font.setPointSizeF(pointSize);
    document()->setDefaultFont(font);
    QTextCharFormat f;
    f.setFontFamilies(QStringList{family});
    f.setFontPointSize(pointSize);
    f.setFontWeight(QFont::Normal);
    f.setFontItalic(false);
    f.setFontUnderline(false);
    f.setFontStrikeOut(false);
    setCurrentCharFormat(f);
}

void TDBRichEdit::LoadFromField() {
    TField* field = Field();
    TSQLiteBaseQuery* ds = DataSet();
    const bool hasRecord = field && ds && !ds->IsEmpty();
    const QString text = hasRecord ? field->AsString() : QString();
    // Reloading what is already shown would only throw away the caret and the undo steps.
    if (FHasShown && text == FShown)
        return;
    FLoading = true;
    Rtf::Read(text, *document());
    document()->clearUndoRedoStacks();
    FLoading = false;
    FShown = text;
    FHasShown = true;
}

void TDBRichEdit::DataChanged(TField* field) {
    if (FWriting)
        return;
    if (!field || field == Field())
        LoadFromField();
}

void TDBRichEdit::StateChanged() {
    if (FWriting)
        return;
    // After a cancel or a close the field no longer holds what was typed.
    TSQLiteBaseQuery* ds = DataSet();
    if (!ds || ds->State() == TDataSetState::Browse || ds->State() == TDataSetState::Inactive)
        LoadFromField();
}

void TDBRichEdit::ContentsChanged() {
    if (FLoading)
        return;
    TField* field = Field();
    if (!field) {
        FHasShown = false; // what is shown no longer matches any field text
        return;
    }
    TSQLiteBaseQuery* ds = field->DataSet();
    // An emptied editor leaves the field empty rather than an RTF frame
    // around nothing, so that a required text is still recognised as missing.
    const QString text = document()->isEmpty() ? QString() : Rtf::Write(*document());
    FWriting = true;
    bool refused = false;
    try {
        if (ds->State() != TDataSetState::Edit && ds->State() != TDataSetState::Insert)
            ds->Edit();
        field = Field(); // the dataset may have re-created its fields
        if (field)
            field->SetAsString(text);
    } catch (const EAbort&) {
        refused = true;
    } catch (const ESQLiteError& e) {
        refused = true;
        Messages::error(e.message());
    }
    FWriting = false;
    if (refused) {
        // The record cannot be changed: show what it holds, not what was typed.
        FHasShown = false;
        LoadFromField();
        return;
    }
    FShown = text;
    FHasShown = true;
}
