// The rich-text toolbar and the data-aware rich-text editor: formatting goes
// where the user expects it, the toolbar follows the caret without touching
// the text, and the memo field always holds what the editor shows.
#include "Rtf.h"
#include "SQLite.h"
#include "TDBDataLink.h"
#include "TestSupport.h"
#include "UDBRichEdit.h"
#include "UFSchrift.h"

#include <QComboBox>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextList>
#include <QToolButton>

#include <memory>

namespace {

const QString Sample =
    QStringLiteral("{\\rtf1\\ansi\\ansicpg1252\\deff0{\\fonttbl{\\f0\\fnil\\fcharset0 DejaVu "
                   "Sans;}{\\f1\\fnil DejaVu Serif;}"
                   "{\\f2\\fnil\\fcharset2 Symbol;}}\r\n\\viewkind4\\uc1\\pard\\f0\\fs20 Hallo Welt\\par\r\n"
                   "\\pard\\qc\\ul Mitte\\ulnone\\par\r\n"
                   "\\pard{\\pntext\\f2\\'b7\\tab}{\\*\\pn\\pnlvlblt\\pnf2\\pnindent0{\\pntxtb\\'b7}}"
                   "\\qr\\b\\i Punkt\\b0\\i0\\par\r\n"
                   "\\pard\\f1\\fs28 gross\\f0\\fs16 klein\\par\r\n}");

QTextCharFormat FormatAt(QTextEdit& editor, int position) {
    QTextCursor c(editor.document());
    c.setPosition(position + 1); // the format of the character at position
    return c.charFormat();
}

// Moves the caret into the paragraph with the given number, behind its first character.
void PutCaret(QTextEdit& editor, int paragraph) {
    QTextCursor c(editor.document()->findBlockByNumber(paragraph));
    c.movePosition(QTextCursor::NextCharacter);
    editor.setTextCursor(c);
}

} // namespace

class TestFSchrift : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void styleButtons_data();
    void styleButtons();
    void togglesFollowCaret_data();
    void togglesFollowCaret();
    void noWriteBackWhileUpdating();
    void alignmentAndBullets();
    void attachStartsEditingWithArial();
    void editorFollowsRecordAndWritesField();
    void refusedEditRestoresText();

private:
    template <typename T> T* Child(const char* name) {
        T* w = FFrame->findChild<T*>(QLatin1String(name));
        Q_ASSERT(w);
        return w;
    }
    void Open(const QStringList& texts);

    std::unique_ptr<QTemporaryDir> FDir;
    std::unique_ptr<TSQLiteDB> FDB;
    std::unique_ptr<TSQLiteTable> FTable;
    std::unique_ptr<TDataSource> FSource;
    std::unique_ptr<TDBRichEdit> FEditor;
    std::unique_ptr<TFrameSchrift> FFrame;
    std::unique_ptr<ScriptedMessages> FMessages;
};

void TestFSchrift::init() {
    FMessages = std::make_unique<ScriptedMessages>();
    FDir = std::make_unique<QTemporaryDir>();
    FDB = std::make_unique<TSQLiteDB>();
    FDB->FileName = FDir->filePath(QStringLiteral("t.db"));
    FDB->Open();
    FDB->ExecSQL(QStringLiteral("create table Artikel (ArtikelID integer primary key, ArtBez text)"));
    FTable = std::make_unique<TSQLiteTable>(FDB.get());
    FTable->SetTableName(QStringLiteral("Artikel"));
    FSource = std::make_unique<TDataSource>(FTable.get());
    FEditor = std::make_unique<TDBRichEdit>();
    BindField(FEditor.get(), FSource.get(), QStringLiteral("ArtBez"));
    FFrame = std::make_unique<TFrameSchrift>();
}

void TestFSchrift::cleanup() {
    FFrame.reset();
    FEditor.reset();
    FSource.reset();
    FTable.reset();
    FDB.reset();
    FDir.reset();
    QCOMPARE(FMessages->texts(), QStringList());
    FMessages.reset();
}

void TestFSchrift::Open(const QStringList& texts) {
    for (int i = 0; i < texts.size(); ++i) {
        QString quoted = texts.at(i);
        quoted.replace(u'\'', QStringLiteral("''"));
        FDB->ExecSQL(QStringLiteral("insert into Artikel values (%1, '%2')").arg(i + 1).arg(quoted));
    }
    FTable->Open();
}

void TestFSchrift::styleButtons_data() {
    QTest::addColumn<QString>("button");
    QTest::addColumn<int>("property");
    QTest::newRow("bold") << "BoldButton" << int(QTextFormat::FontWeight);
    QTest::newRow("italic") << "ItalicButton" << int(QTextFormat::FontItalic);
    QTest::newRow("underline") << "UnderlineButton" << int(QTextFormat::TextUnderlineStyle);
}

void TestFSchrift::styleButtons() {
    QFETCH(QString, button);
    QFETCH(int, property);
    auto has = [property](const QTextCharFormat& f) {
        return property == QTextFormat::FontWeight ? f.fontWeight() >= QFont::Bold
                                                   : f.boolProperty(property) || f.intProperty(property) != 0;
    };
    Open({QStringLiteral("Hallo Welt")});
    FFrame->Attach(FEditor.get());
    QToolButton* b = Child<QToolButton>(qPrintable(button));

    // Without a selection the attribute applies to what is typed next, not to the text.
    QTextCursor c = FEditor->textCursor();
    c.movePosition(QTextCursor::End);
    FEditor->setTextCursor(c);
    b->click();
    QTest::keyClicks(FEditor.get(), "x");
    QVERIFY(has(FormatAt(*FEditor, 10)));
    QVERIFY(!has(FormatAt(*FEditor, 9)));

    // With a selection only the selected text changes, and clicking again clears it.
    c.setPosition(0);
    c.setPosition(5, QTextCursor::KeepAnchor);
    FEditor->setTextCursor(c);
    QVERIFY(!b->isChecked());
    b->click();
    QVERIFY(has(FormatAt(*FEditor, 0)) && has(FormatAt(*FEditor, 4)));
    QVERIFY(!has(FormatAt(*FEditor, 5)));
    b->click();
    QVERIFY(!has(FormatAt(*FEditor, 0)));

    // Other style bits stay as they were.
    QCOMPARE(FormatAt(*FEditor, 10).fontWeight() >= QFont::Bold, button == "BoldButton");
    QVERIFY(!FormatAt(*FEditor, 10).fontStrikeOut());
    QCOMPARE(FTable->FieldByName("ArtBez")->AsString(), Rtf::Write(*FEditor->document()));
}

void TestFSchrift::togglesFollowCaret_data() {
    QTest::addColumn<int>("paragraph");
    QTest::addColumn<QString>("pressed"); // B I U, alignment, bullets
    QTest::addColumn<QString>("font");
    QTest::addColumn<int>("size");
    QTest::newRow("plain left") << 0 << "--- L -"
                                << "DejaVu Sans" << 10;
    QTest::newRow("underlined centred") << 1 << "--U C -"
                                        << "DejaVu Sans" << 10;
    QTest::newRow("bold italic bullet right") << 2 << "BI- R *"
                                              << "DejaVu Sans" << 10;
    QTest::newRow("other font") << 3 << "--- L -"
                                << "DejaVu Serif" << 14;
}

void TestFSchrift::togglesFollowCaret() {
    QFETCH(int, paragraph);
    QFETCH(QString, pressed);
    QFETCH(QString, font);
    QFETCH(int, size);
    Open({Sample});
    FFrame->Attach(FEditor.get());
    FTable->Post();
    const QString before = FTable->FieldByName("ArtBez")->AsString();

    PutCaret(*FEditor, paragraph);
    QString shown;
    shown += Child<QToolButton>("BoldButton")->isChecked() ? u'B' : u'-';
    shown += Child<QToolButton>("ItalicButton")->isChecked() ? u'I' : u'-';
    shown += Child<QToolButton>("UnderlineButton")->isChecked() ? u'U' : u'-';
    shown += u' ';
    shown += Child<QToolButton>("LeftAlign")->isChecked()     ? u'L'
             : Child<QToolButton>("CenterAlign")->isChecked() ? u'C'
             : Child<QToolButton>("RightAlign")->isChecked()  ? u'R'
                                                              : u'?';
    shown += u' ';
    shown += Child<QToolButton>("BulletsButton")->isChecked() ? u'*' : u'-';
    QCOMPARE(shown, pressed);
    QCOMPARE(Child<QComboBox>("FontName")->currentText(), font);
    QCOMPARE(Child<QSpinBox>("FontSize")->value(), size);

    // Looking is not changing: the record stays as it was.
    QCOMPARE(FTable->State(), TDataSetState::Browse);
    QCOMPARE(FTable->FieldByName("ArtBez")->AsString(), before);
    QVERIFY(!FFrame->Updating());
}

void TestFSchrift::noWriteBackWhileUpdating() {
    Open({Sample});
    FFrame->Attach(FEditor.get());
    const QString before = Rtf::Write(*FEditor->document());

    // Select "grossklein": the toolbar shows the first character's font and
    // size, but the second half must keep its own.
    QTextCursor c(FEditor->document()->findBlockByNumber(3));
    c.movePosition(QTextCursor::EndOfBlock, QTextCursor::KeepAnchor);
    FEditor->setTextCursor(c);
    QCOMPARE(Child<QSpinBox>("FontSize")->value(), 14);
    QCOMPARE(Child<QComboBox>("FontName")->currentText(), QStringLiteral("DejaVu Serif"));
    QCOMPARE(Rtf::Write(*FEditor->document()), before);

    // The user's own choice does reach the whole selection.
    Child<QSpinBox>("FontSize")->setValue(12);
    const int start = FEditor->document()->findBlockByNumber(3).position();
    QCOMPARE(FormatAt(*FEditor, start).fontPointSize(), 12.0);
    QCOMPARE(FormatAt(*FEditor, start + 9).fontPointSize(), 12.0);
}

void TestFSchrift::alignmentAndBullets() {
    Open({QStringLiteral("eins\r\nzwei\r\ndrei")});
    FFrame->Attach(FEditor.get());
    PutCaret(*FEditor, 1);

    Child<QToolButton>("CenterAlign")->click();
    QCOMPARE(FEditor->document()->findBlockByNumber(1).blockFormat().alignment() & Qt::AlignHorizontal_Mask,
             Qt::AlignHCenter);
    Child<QToolButton>("RightAlign")->click();
    QCOMPARE(FEditor->document()->findBlockByNumber(1).blockFormat().alignment() & Qt::AlignHorizontal_Mask,
             Qt::AlignRight);
    QCOMPARE(FEditor->document()->findBlockByNumber(0).blockFormat().alignment() & Qt::AlignRight, 0);

    // Bullets for two selected paragraphs, then off again for one of them.
    QTextCursor c(FEditor->document()->findBlockByNumber(1));
    c.setPosition(FEditor->document()->findBlockByNumber(2).position() + 1, QTextCursor::KeepAnchor);
    FEditor->setTextCursor(c);
    Child<QToolButton>("BulletsButton")->click();
    QVERIFY(FEditor->document()->findBlockByNumber(1).textList());
    QVERIFY(FEditor->document()->findBlockByNumber(2).textList());
    QVERIFY(!FEditor->document()->findBlockByNumber(0).textList());
    PutCaret(*FEditor, 2);
    QVERIFY(Child<QToolButton>("BulletsButton")->isChecked());
    Child<QToolButton>("BulletsButton")->click();
    QVERIFY(!FEditor->document()->findBlockByNumber(2).textList());
    QVERIFY(FEditor->document()->findBlockByNumber(1).textList());

    // What the field holds reads back as the same paragraphs.
    QTextDocument stored;
    Rtf::Read(FTable->FieldByName("ArtBez")->AsString(), stored);
    QVERIFY(stored.findBlockByNumber(1).textList());
    QVERIFY(!stored.findBlockByNumber(2).textList());
    QCOMPARE(stored.findBlockByNumber(1).blockFormat().alignment() & Qt::AlignHorizontal_Mask,
             Qt::AlignRight);
}

void TestFSchrift::attachStartsEditingWithArial() {
    Open({QStringLiteral("Rest")});
    QCOMPARE(FTable->State(), TDataSetState::Browse);
    FFrame->Attach(FEditor.get());
    QCOMPARE(FTable->State(), TDataSetState::Edit);
    QVERIFY(FFrame->DataSet() == FTable.get());
    // Nothing typed: the field is untouched, and a cancel leaves the record as it was.
    QCOMPARE(FTable->FieldByName("ArtBez")->AsString(), QStringLiteral("Rest"));
    QCOMPARE(FEditor->currentCharFormat().fontFamilies().toStringList(), QStringList{"Arial"});
    QCOMPARE(FEditor->currentCharFormat().fontPointSize(), 10.0);
    QCOMPARE(Child<QSpinBox>("FontSize")->value(), 10);
    QCOMPARE(Child<QComboBox>("FontName")->currentText(), QStringLiteral("Arial"));

    QStringList fonts;
    for (int i = 0; i < Child<QComboBox>("FontName")->count(); ++i)
        fonts << Child<QComboBox>("FontName")->itemText(i);
    QVERIFY(fonts.contains(QStringLiteral("DejaVu Sans")));
    QStringList sorted = fonts;
    std::sort(sorted.begin(), sorted.end(),
              [](const QString& a, const QString& b) { return a.compare(b, Qt::CaseInsensitive) < 0; });
    QCOMPARE(fonts, sorted);
}

void TestFSchrift::editorFollowsRecordAndWritesField() {
    Open({Sample, QStringLiteral("Rest")});
    QCOMPARE(FEditor->toPlainText(), QStringLiteral("Hallo Welt\nMitte\nPunkt\ngrossklein"));
    FTable->Next();
    QCOMPARE(FEditor->toPlainText(), QStringLiteral("Rest"));

    // Typing in a browsing record starts the edit and stores RTF with the text.
    QTextCursor c = FEditor->textCursor();
    c.movePosition(QTextCursor::End);
    FEditor->setTextCursor(c);
    QTest::keyClicks(FEditor.get(), " {x}");
    QCOMPARE(FTable->State(), TDataSetState::Edit);
    const QString stored = FTable->FieldByName("ArtBez")->AsString();
    QVERIFY(Rtf::IsRtf(stored));
    QCOMPARE(Rtf::PlainText(stored), QStringLiteral("Rest {x}"));
    FTable->Post();
    FTable->First();
    FTable->Last();
    QCOMPARE(FEditor->toPlainText(), QStringLiteral("Rest {x}"));

    // Cancel shows the stored text again.
    FEditor->selectAll();
    QTest::keyClick(FEditor.get(), Qt::Key_Delete);
    QVERIFY(FTable->FieldByName("ArtBez")->AsString().isEmpty()); // an emptied editor leaves no RTF frame
    FTable->Cancel();
    QCOMPARE(FEditor->toPlainText(), QStringLiteral("Rest {x}"));
    QVERIFY(!FEditor->document()->isUndoAvailable());
}

void TestFSchrift::refusedEditRestoresText() {
    Open({QStringLiteral("Rest")});
    FTable->BeforeEdit = [](TSQLiteBaseQuery*) { Abort(); };
    QTest::keyClicks(FEditor.get(), "x");
    QCOMPARE(FTable->State(), TDataSetState::Browse);
    QCOMPARE(FEditor->toPlainText(), QStringLiteral("Rest"));
}

QTEST_MAIN(TestFSchrift)
#include "tst_fschrift.moc"
