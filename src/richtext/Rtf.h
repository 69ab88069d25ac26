// Reading and writing Rich Text Format for the formatted texts of the program.
//
// Formatted texts (article and position descriptions, parts of a printout) are
// stored as RTF in the dialect that Windows rich-edit controls write: ANSI,
// code page 1252, font sizes in half-points, bullets and numbers as "\pntext"
// paragraphs with a "{\*\pn ...}" group, tables as "\trowd ... \cell ... \row".
// Older databases are full of such texts, so the reader understands that
// dialect and the writer produces it. Texts pasted from word processors come
// with their own lists ("\ls", "\listtext", the list table) and with other
// code pages ("\ansicpg", "\fcharset"); the reader understands these too.
//
// The reader never fails: unknown control words are skipped, and malformed
// input (unbalanced braces, truncated text) yields whatever could be read.
// Only QtGui is needed, so the conversion can be used and tested without
// widgets.
#pragma once

#include <QString>

class QTextDocument;

namespace Rtf {

// True when the text is RTF; anything else is taken as plain text.
bool IsRtf(const QString& text);

// Replaces the content of the document with the text: RTF is interpreted,
// plain text is taken as it is (line breaks start new paragraphs).
void Read(const QString& text, QTextDocument& document);

// The document as RTF. The result holds only ASCII characters: characters
// from Windows-1252 are written as \'xx, all others as \uN with a "?" for
// readers that do not know \u.
QString Write(const QTextDocument& document);

// The text without formatting, paragraphs joined by "\n" (e.g. to tell whether
// a formatted text is blank).
QString PlainText(const QString& text);

} // namespace Rtf
