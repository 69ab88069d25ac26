// ApplyStyle on screen and the style editor.
#include "GlobalFunctions.h"
#include "Styles.h"
#include "TestSupport.h"
#include "UBerechtigung.h"
#include "UDM.h"
#include "UEinStyle.h"

#include <QtTest>

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenuBar>
#include <QPushButton>
#include <QStackedWidget>
#include <QStatusBar>
#include <QVBoxLayout>

namespace {

QColor PixelAt(QWidget* w, QPoint p) {
    return w->grab().toImage().pixelColor(p);
}
QColor CentreOf(QWidget* w) {
    return PixelAt(w, w->rect().center());
}

} // namespace

class TestStyle : public QObject {
    Q_OBJECT

    std::unique_ptr<TempDataHome> FHome;
    std::unique_ptr<TDM> FDM;
    std::unique_ptr<ScriptedMessages> FMessages;

    void Exec(const QString& sql) { FDM->SQLiteDB1.ExecSQL(sql); }

private slots:
    void initTestCase() { InstallAccessGateAndStyles(); }
    void init() {
        FHome = std::make_unique<TempDataHome>();
        FDM = std::make_unique<TDM>();
        FDM->OpenDatabaseFile(DataFolder() + QStringLiteral("Quorvent.DB"));
        FMessages = std::make_unique<ScriptedMessages>();
    }
    void cleanup() {
        QCOMPARE(FMessages->unexpected, 0);
        FMessages.reset();
        FDM.reset();
        FHome.reset();
    }

    void navPanelKind_data();
    void navPanelKind();
    void coloursOnScreen();
    void frameOnlyByItsOwnCall();
    void editorSquareSavesAndPreviews();
    void editorEveryKindHasItsPanel();
    void editorStandardStyle();
    void editorMenuBackgroundFollowsEntryTwo();
    void editorSaveFailureKeepsStyle();
};

void TestStyle::navPanelKind_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("kind");
    QTest::newRow("group button") << "PNav1" << int(TNavPanelKind::Button);
    QTest::newRow("item") << "PNav1I2" << int(TNavPanelKind::Item);
    QTest::newRow("area") << "PNav1A" << int(TNavPanelKind::Area);
    QTest::newRow("title") << "PNav1T" << int(TNavPanelKind::Title);
    QTest::newRow("label of an item") << "PNav1L2" << int(TNavPanelKind::None);
    QTest::newRow("other prefix") << "PTitel" << int(TNavPanelKind::None);
    QTest::newRow("page stack") << "PNavStack" << int(TNavPanelKind::None);
}

void TestStyle::navPanelKind() {
    QFETCH(QString, name);
    QFETCH(int, kind);
    QCOMPARE(int(NavPanelKind(name)), kind);
}

// The colours a user sees are the stored ones, in the stored byte order.
void TestStyle::coloursOnScreen() {
    Exec(
        "update set_style set BGColor = 3368652, FontColor = 0 where StyleID = 0 and Object = 'Edit'"); // 3366CC
    Exec(
        "update set_style set BGColor = 1122867, FontColor = 0 where StyleID = 0 and Object = 'Form'"); // 112233
    Exec("update set_style set BGColor = 6710886 where StyleID = 0 and Object = 'StatusBar'"); // 666666
    Exec("update set_style set BGColor = 10066431 where StyleID = 0 and Object = 'Button'");   // 9999FF
    Exec("update set_style set Colors = '00FF0000' where StyleID = 0 and Object = 'Grid'");

    QWidget window;
    window.resize(300, 300);
    auto* layout = new QVBoxLayout(&window);
    auto* edit = new QLineEdit(&window);
    auto* button = new QPushButton(QStringLiteral("  "), &window);
    auto* status = new QStatusBar(&window);
    auto* navButton = new QLabel(&window);
    navButton->setObjectName(QStringLiteral("PNav9"));
    navButton->setMinimumHeight(20);
    layout->addWidget(edit);
    layout->addWidget(button);
    layout->addWidget(navButton);
    layout->addStretch();
    layout->addWidget(status);
    ApplyStyle(0, &window);

    QCOMPARE(CentreOf(edit), QColor(0xCC, 0x66, 0x33));
    QCOMPARE(CentreOf(button), QColor(0xFF, 0x99, 0x99));
    QCOMPARE(CentreOf(status), QColor(0x66, 0x66, 0x66));
    QCOMPARE(PixelAt(&window, QPoint(150, 200)), QColor(0x33, 0x22, 0x11));
    QCOMPARE(CentreOf(navButton), QColor(0xD7, 0xD7, 0xD7));
    QCOMPARE(StyleNavHoverColors().ButtonBGHL, QColor(0xDC, 0xDC, 0xDC));
}

// A window's call leaves the inner controls of an embedded frame alone; the
// frame's own call colours them.
void TestStyle::frameOnlyByItsOwnCall() {
    Exec("update set_style set BGColor = 255 where StyleID = 0 and Object = 'Edit'"); // red
    QWidget window;
    window.resize(200, 120);
    auto* layout = new QVBoxLayout(&window);
    auto* outer = new QLineEdit(&window);
    auto* frame = new QFrame(&window);
    MarkStyleFrame(frame);
    auto* inner = new QLineEdit(frame);
    (new QVBoxLayout(frame))->addWidget(inner);
    layout->addWidget(outer);
    layout->addWidget(frame);

    ApplyStyle(0, &window);
    QCOMPARE(CentreOf(outer), QColor(Qt::red));
    QVERIFY(CentreOf(inner) != QColor(Qt::red));

    ApplyStyle(0, frame);
    QCOMPARE(CentreOf(inner), QColor(Qt::red));
}

// A colour chosen for a square shows in the sample at once and is stored by
// "Übernehmen"; the editor's own fields take it too.
void TestStyle::editorSquareSavesAndPreviews() {
    TEinStyle editor;
    editor.resize(820, 600);
    QVERIFY(editor.ShowPage());
    editor.ChooseColor = [](const QColor&) { return std::optional<QColor>(QColor(0x10, 0x80, 0xF0)); };

    auto* list = editor.findChild<QListWidget*>(QStringLiteral("LBObjekt"));
    QCOMPARE(list->currentItem()->text(), QStringLiteral("Anmerkungsfeld"));
    list->setCurrentRow(6);
    QCOMPARE(list->currentItem()->text(), QStringLiteral("Eingabefeld"));
    QVERIFY(editor.findChild<QWidget*>(QStringLiteral("PObjEdit"))->isVisible());

    auto* square = editor.findChild<QFrame*>(QStringLiteral("SqEditBG"));
    QTest::mouseClick(square, Qt::LeftButton);
    auto* sample = editor.findChild<QLineEdit*>(QStringLiteral("SampleEdit"));
    sample->clear();
    QCOMPARE(CentreOf(sample), QColor(0x10, 0x80, 0xF0));
    QCOMPARE(FDM->ReadStyleRow(0, QStringLiteral("Edit")).BGColor, std::optional<qint32>(16777215));

    QTest::mouseClick(editor.findChild<QPushButton*>(QStringLiteral("BitBtnUebernehmen")), Qt::LeftButton);
    QCOMPARE(FDM->ReadStyleRow(0, QStringLiteral("Edit")).BGColor, std::optional<qint32>(0xF08010));
    QVERIFY(FMessages->boxes.isEmpty());
}

// Every entry of the "Objekt" list shows the panel with its own colour
// squares (the title bar's panel was once shadowed by the page's title label).
void TestStyle::editorEveryKindHasItsPanel() {
    TEinStyle editor;
    editor.resize(820, 600);
    QVERIFY(editor.ShowPage());
    auto* list = editor.findChild<QListWidget*>(QStringLiteral("LBObjekt"));
    auto* stack = editor.findChild<QStackedWidget*>(QStringLiteral("PObjekte"));
    QCOMPARE(list->count(), 17);
    QSet<QWidget*> seen;
    for (int row = list->count() - 1; row >= 0; --row) {
        list->setCurrentRow(row);
        const QString kind = list->item(row)->data(Qt::UserRole).toString();
        QWidget* panel = stack->currentWidget();
        QCOMPARE(panel->objectName(), "PObj" + kind);
        QVERIFY2(!panel->findChildren<QFrame*>(QRegularExpression("^Sq" + kind + "[A-Z]")).isEmpty(),
                 qPrintable(kind));
        seen.insert(panel);
    }
    QCOMPARE(seen.size(), 17);
}

// Choosing "Standard - Style" previews style 1; "Übernehmen" makes it the
// style in use and goes back to "Benutzerdefinierter - Style".
void TestStyle::editorStandardStyle() {
    Exec("update set_style set BGColor = 255 where StyleID = 0");
    TEinStyle editor;
    QVERIFY(editor.ShowPage());
    auto* styles = editor.findChild<QComboBox*>(QStringLiteral("CBStyle"));
    QCOMPARE(styles->currentText(), QStringLiteral("Benutzerdefinierter - Style"));
    QCOMPARE(editor.Squares().Rows.value(QStringLiteral("Form")).BGColor, std::optional<qint32>(255));

    styles->setCurrentIndex(1);
    QCOMPARE(editor.Squares().Rows.value(QStringLiteral("Form")).BGColor, std::optional<qint32>(14803425));
    QTest::mouseClick(editor.findChild<QPushButton*>(QStringLiteral("BitBtnUebernehmen")), Qt::LeftButton);

    QCOMPARE(styles->currentIndex(), 0);
    QCOMPARE(FDM->ReadStyle(0), FDM->ReadStyle(1));
}

void TestStyle::editorMenuBackgroundFollowsEntryTwo() {
    TEinStyle editor;
    QVERIFY(editor.ShowPage());
    editor.ChooseColor = [](const QColor&) { return std::optional<QColor>(QColor(0x01, 0x02, 0x03)); };
    editor.SquareClick(editor.findChild<QFrame*>(QStringLiteral("SqMainMenuC3")));
    editor.BitBtnUebernehmenClick();
    const QString menu = FDM->ReadStyleRow(0, QStringLiteral("MainMenu")).Colors;
    QCOMPARE(menu.mid(8, 16), QStringLiteral("0003020100030201"));
    auto* bar = editor.findChild<QMenuBar*>(QStringLiteral("SampleMainMenu"));
    QCOMPARE(PixelAt(bar, QPoint(bar->width() - 3, bar->height() / 2)), QColor(0x01, 0x02, 0x03));
}

void TestStyle::editorSaveFailureKeepsStyle() {
    TEinStyle editor;
    QVERIFY(editor.ShowPage());
    editor.findChild<QComboBox*>(QStringLiteral("CBStyle"))->setCurrentIndex(1);
    const QList<TStyleRow> before = FDM->ReadStyle(0);
    Exec("create trigger refuse_nav before update on set_style when new.Object = 'Navigation' begin select "
         "raise(abort, 'refused'); end");
    editor.BitBtnUebernehmenClick();
    QCOMPARE(FMessages->boxes.size(), 1);
    QCOMPARE(FMessages->boxes.first().kind, Messages::Error);
    QCOMPARE(FDM->ReadStyle(0), before);
}

QTEST_MAIN(TestStyle)
#include "tst_style.moc"
