// The article form through its widgets: a new article with its first price
// lines, editing the listed article, the price-line list driving the line
// editor, typed input that is no number, the sales check box, closing without
// saving, and a screenshot of a formatted description with two price lines.
#include "FormTestHelpers.h"
#include "Rtf.h"
#include "TDBCheckBox.h"
#include "TDBEdit.h"
#include "TDBGrid.h"
#include "TDBLookupComboBox.h"
#include "TDBNavigator.h"
#include "TestSupport.h"
#include "UArtikel.h"
#include "UDBRichEdit.h"
#include "UDM.h"

#include <QDir>
#include <QLabel>
#include <QPushButton>
#include <QTextBlock>
#include <QTextList>
#include <QtTest>

namespace {

// Bold first line, a centred line and two bullets, as a Windows rich-edit control writes them.
const char* const kFormatted =
    "{\\rtf1\\ansi\\ansicpg1252\\deff0{\\fonttbl{\\f0\\fswiss\\fcharset0 Arial;}{\\f1\\fnil\\fcharset2 "
    "Symbol;}}"
    "\\viewkind4\\uc1\\pard\\f0\\fs24{\\b Akku-Bohrschrauber 18 V}\\b0\\par"
    "\\pard\\qc\\fs20 Profi-Qualit\\'e4t f\\'fcr Handwerk und Werkstatt\\par"
    "\\pard{\\pntext\\f1\\'b7\\tab}{\\*\\pn\\pnlvlblt\\pnf1\\pnindent0{\\pntxtb\\'b7}}\\fi-200\\li200 "
    "zwei Akkus mit 2,0 Ah\\par{\\pntext\\f1\\'b7\\tab}Schnellladeger\\'e4t und Koffer\\par\\pard\\par}";

} // namespace

class TestArtikelForm : public QObject, public TFormFixture<TArtikel> {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void newArticleWithPriceLines();
    void editModeShowsListedArticle();
    void badNumbers_data();
    void badNumbers();
    void salesOnlyTakesSupplierZero();
    void navigatorNewShowsNoOtherArticlesLines();
    void closingAsksAboutUnsavedChanges_data();
    void closingAsksAboutUnsavedChanges();
    void screenshot();

private:
    void selectInList(int id) { QVERIFY(SelectInList(dm->QueryArtikel, QStringLiteral("ArtikelID"), id)); }
    // A new price line typed into the line editor and saved with the navigator.
    bool addLine(const QString& bez, const QString& menge, const QString& einheit, const QString& wert) {
        auto* nav = w<TDBNavigator>("DBNavigator2");
        if (!nav->BtnClick(TDBNavigator::nbInsert))
            return false;
        TypeText(w<TDBEdit>("DBEdit3"), bez);
        TypeText(w<TDBEdit>("DBEdit5"), menge);
        Choose(w<TDBLookupComboBox>("DBLookupComboBox3"), einheit);
        TypeText(w<TDBEdit>("DBEdit6"), wert);
        return nav->BtnClick(TDBNavigator::nbPost);
    }
};

void TestArtikelForm::initTestCase() {
    PinGermanLocale();
    db.BuildTemplate([](TSQLiteDB& base) {
        base.ExecSQL(QStringLiteral("insert into ArtikelGruppe (ArtGruBez) values ('Werkzeug')"));
        base.ExecSQL(QStringLiteral(
            "insert into Lieferant (LieferantenID,Firma,LandID,LieGruID,AnspAnredeID,AnspTitelID,"
            "Aktiv) values (5,'Bohrwerk GmbH',1,1,1,1,'J')"));
    });
}

void TestArtikelForm::init() {
    QVERIFY(OpenForm());
}

void TestArtikelForm::cleanup() {
    CloseForm();
}

// ---------------------------------------------------------------------------

void TestArtikelForm::newArticleWithPriceLines() {
    QVERIFY(form->prepare(TArtikel::ModeNew));
    QCOMPARE(w<TDBEdit>("DBEdit1")->text(), QStringLiteral("1"));
    QCOMPARE(w<QLabel>("LabVorlaeufig")->text(), QStringLiteral("(vorläufige Nummer)"));
    QVERIFY(w<TDBCheckBox>("DBCheckBox3")->isChecked());
    QCOMPARE(w<TDBLookupComboBox>("DBLookupComboBox2")->currentText(), QStringLiteral("Verkauf"));

    Choose(w<TDBLookupComboBox>("DBLookupComboBox1"), QStringLiteral("Werkzeug"));
    TypeText(w<TDBEdit>("DBEdit2"), QStringLiteral("Bohrer"));
    auto* editor = w<TDBRichEdit>("DBRichEdit1");
    QCOMPARE(editor->currentCharFormat().fontFamilies().toStringList().value(0), QStringLiteral("Arial"));
    TypeText(editor, QStringLiteral("Holzbohrer Ø 8"));

    // The first line saves the article, then the line.
    QVERIFY(
        addLine(QStringLiteral("Stück"), QStringLiteral("2"), QStringLiteral("Stk"), QStringLiteral("10,5")));
    QVERIFY(
        addLine(QStringLiteral("Porto"), QStringLiteral("1"), QStringLiteral("Pkg"), QStringLiteral("3")));
    QCOMPARE(messages->texts(), QStringList());
    QVERIFY(w<QLabel>("LabVorlaeufig")->text().isEmpty());
    QCOMPARE(count("select count(*) from Artikel where ArtikelID = 1 and ArtKurzBez = 'Bohrer'"), 1);
    QCOMPARE(count("select count(*) from ArtPreis where ArtikelID = 1 and MWStSatz = 20"), 2);
    QCOMPARE(w<TDBGrid>("DBGrid1")->model()->rowCount(), 2);
    QCOMPARE(w<QLabel>("LabGesamtpreis")->text(), QStringLiteral("Gesamtpreis: 24,00"));

    // The description is kept as formatted text.
    dm->Query2.RunSQL(QStringLiteral("select ArtBez from Artikel where ArtikelID = 1"));
    const QString stored = dm->Query2.Fields(0)->AsString();
    QVERIFY(stored.startsWith(QLatin1String("{\\rtf")));
    QCOMPARE(Rtf::PlainText(stored).trimmed(), QStringLiteral("Holzbohrer Ø 8"));
}

void TestArtikelForm::editModeShowsListedArticle() {
    dm->SQLiteDB1.ExecSQL(
        QStringLiteral("insert into ArtPreis values (0,2,'Anfahrt','Pauschale',1,6,45,10)"));
    selectInList(0);
    QVERIFY(form->prepare(TArtikel::ModeEdit));
    QCOMPARE(w<TDBEdit>("DBEdit2")->text(), QStringLiteral("Rest"));
    QCOMPARE(w<TDBRichEdit>("DBRichEdit1")->toPlainText(), QStringLiteral("Rest"));
    // The rich-text bar starts the article in edit state.
    QCOMPARE(dm->TableArtikel.State(), TDataSetState::Edit);
    QCOMPARE(w<TDBGrid>("DBGrid1")->model()->rowCount(), 2);
    QCOMPARE(w<QLabel>("LabGesamtpreis")->text(), QStringLiteral("Gesamtpreis: 55,00"));

    // Choosing a line in the list shows it in the line editor.
    auto* grid = w<TDBGrid>("DBGrid1");
    grid->setCurrentIndex(grid->model()->index(1, 0));
    QCOMPARE(w<TDBEdit>("DBEdit3")->text(), QStringLiteral("Anfahrt"));
    QCOMPARE(w<TDBEdit>("DBEdit4")->text(), QStringLiteral("Pauschale"));
    QCOMPARE(w<TDBLookupComboBox>("DBLookupComboBox3")->currentText(), QStringLiteral("h"));
    QCOMPARE(w<TDBLookupComboBox>("DBLookupComboBox4")->currentText(), QStringLiteral("10"));

    // An edit left pending is dropped when another line is chosen.
    TypeText(w<TDBEdit>("DBEdit3"), QStringLiteral("X"));
    w<TDBEdit>("DBEdit3")->UpdateRecord();
    grid->setCurrentIndex(grid->model()->index(0, 0));
    QVERIFY(w<TDBEdit>("DBEdit3")->text().isEmpty());
    QCOMPARE(count("select count(*) from ArtPreis where PreisBez = 'Anfahrt'"), 1);

    // A list that no longer holds the article opens nothing.
    dm->SQLiteDB1.ExecSQL(QStringLiteral("update Artikel set ArtikelID = 50 where ArtikelID = 0"));
    form->done(0);
    QVERIFY(!form->prepare(TArtikel::ModeEdit));
    QCOMPARE(messages->lastText(), QStringLiteral("Der gewählte Artikel ist nicht mehr vorhanden!"));
}

void TestArtikelForm::badNumbers_data() {
    QTest::addColumn<QString>("menge");
    QTest::addColumn<QString>("wert");
    QTest::addColumn<QString>("warning");

    QTest::newRow("quantity no number") << "zwei"
                                        << "5"
                                        << "\"zwei\" ist keine gültige Zahl!";
    QTest::newRow("amount no number") << "2"
                                      << "5 Euro"
                                      << "\"5 Euro\" ist keine gültige Zahl!";
}

void TestArtikelForm::badNumbers() {
    QFETCH(QString, menge);
    QFETCH(QString, wert);
    QFETCH(QString, warning);
    selectInList(0);
    QVERIFY(form->prepare(TArtikel::ModeEdit));
    QVERIFY(!addLine(QStringLiteral("Teil"), menge, QStringLiteral("Stk"), wert));
    QCOMPARE(messages->texts(), QStringList{warning});
    QCOMPARE(count("select count(*) from ArtPreis"), 1);
}

void TestArtikelForm::salesOnlyTakesSupplierZero() {
    dm->SQLiteDB1.ExecSQL(
        QStringLiteral("update Artikel set BereichEK = 'J', BereichVK = 'N', LieferantenID = 5"));
    selectInList(0);
    QVERIFY(form->prepare(TArtikel::ModeEdit));
    QCOMPARE(w<TDBLookupComboBox>("DBLookupComboBox2")->currentText(), QStringLiteral("Bohrwerk GmbH"));
    w<TDBCheckBox>("DBCheckBox2")->click(); // no longer a purchase article
    w<TDBCheckBox>("DBCheckBox3")->click(); // a sales article
    QCOMPARE(w<TDBLookupComboBox>("DBLookupComboBox2")->currentText(), QStringLiteral("Verkauf"));
    QVERIFY(w<TDBNavigator>("DBNavigator1")->BtnClick(TDBNavigator::nbPost));
    QCOMPARE(count("select LieferantenID from Artikel where ArtikelID = 0"), 0);
}

// Article 0 is the template of every new position: a new article made with
// the form's own "+" must neither show nor write its price lines.
void TestArtikelForm::navigatorNewShowsNoOtherArticlesLines() {
    dm->SQLiteDB1.ExecSQL(QStringLiteral("update ArtPreis set PreisBez = 'Vorlage' where ArtikelID = 0"));
    selectInList(0);
    QVERIFY(form->prepare(TArtikel::ModeEdit));
    auto* grid = w<TDBGrid>("DBGrid1");
    QCOMPARE(grid->model()->rowCount(), 1);

    QVERIFY(w<TDBNavigator>("DBNavigator1")->BtnClick(TDBNavigator::nbInsert));
    QCOMPARE(dm->TableArtikel.State(), TDataSetState::Insert);
    QCOMPARE(grid->model()->rowCount(), 0);
    QCOMPARE(w<QLabel>("LabGesamtpreis")->text(), QStringLiteral("Gesamtpreis: 0,00"));
    QVERIFY(w<TDBEdit>("DBEdit3")->text().isEmpty());

    // Typing into the line editor saves the new article first; its rules
    // refuse it, the typing is not taken, and no line of article 0 changes.
    TypeText(w<TDBEdit>("DBEdit3"), QStringLiteral("V"));
    QCOMPARE(messages->texts(), QStringList{QStringLiteral("Die Artikelgruppe muss angegeben werden!")});
    QVERIFY(!dm->TableArtPreis.Editing());
    QVERIFY(w<TDBNavigator>("DBNavigator2")->BtnClick(TDBNavigator::nbPost));
    QCOMPARE(count("select count(*) from ArtPreis where ArtikelID = 0 and PreisBez = 'Vorlage'"), 1);
    QCOMPARE(count("select count(*) from ArtPreis"), 1);

    // Completed, the new article starts without lines and takes its own.
    messages->clear();
    Choose(w<TDBLookupComboBox>("DBLookupComboBox1"), QStringLiteral("Werkzeug"));
    TypeText(w<TDBEdit>("DBEdit2"), QStringLiteral("Neu"));
    TypeText(w<TDBRichEdit>("DBRichEdit1"), QStringLiteral("Neuer Artikel"));
    QVERIFY(
        addLine(QStringLiteral("Eigen"), QStringLiteral("1"), QStringLiteral("Stk"), QStringLiteral("2")));
    QCOMPARE(messages->texts(), QStringList());
    QCOMPARE(count("select count(*) from ArtPreis where ArtikelID = 1 and PreisBez = 'Eigen'"), 1);
    QCOMPARE(count("select count(*) from ArtPreis where ArtikelID = 0 and PreisBez = 'Vorlage'"), 1);
    QCOMPARE(grid->model()->rowCount(), 1);
}

void TestArtikelForm::closingAsksAboutUnsavedChanges_data() {
    QTest::addColumn<QString>("typed");
    QTest::addColumn<int>("answer");
    QTest::addColumn<bool>("closed");
    QTest::addColumn<QString>("stored");
    QTest::newRow("nothing changed") << "" << -1 << true << "Rest";
    QTest::newRow("Nein drops") << "xyz" << int(Messages::No) << true << "Rest";
    QTest::newRow("Ja saves") << "xyz" << int(Messages::Yes) << true << "Restxyz";
    QTest::newRow("Abbrechen stays") << "xyz" << int(Messages::Cancel) << false << "Rest";
}

// Zurück, Escape and the window's close button all ask before unsaved
// changes are lost; what the user still types in a field counts as a change.
void TestArtikelForm::closingAsksAboutUnsavedChanges() {
    QFETCH(QString, typed);
    QFETCH(int, answer);
    QFETCH(bool, closed);
    QFETCH(QString, stored);
    selectInList(0);
    QVERIFY(form->prepare(TArtikel::ModeEdit));
    form->show();
    auto* edit = w<TDBEdit>("DBEdit2");
    edit->setFocus();
    edit->setCursorPosition(edit->text().size());
    TypeText(edit, typed);
    if (answer >= 0)
        messages->answers.enqueue(Messages::Answer(answer));
    w<QPushButton>("BitBtnZurueck")->click();
    QCOMPARE(!form->isVisible(), closed);
    const QStringList asked = answer >= 0
                                  ? QStringList{QStringLiteral("Sollen die Änderungen gespeichert werden?")}
                                  : QStringList();
    QCOMPARE(messages->texts(), asked);
    QCOMPARE(messages->unexpected, 0);
    QCOMPARE(count("select count(*) from Artikel where ArtikelID = 0 and ArtKurzBez = '" + stored + "'"), 1);
    if (!closed) {
        // Still editing: Escape asks again, and Nein closes now.
        QCOMPARE(edit->text(), QStringLiteral("Restxyz"));
        messages->answers.enqueue(Messages::No);
        QTest::keyClick(form, Qt::Key_Escape);
        QVERIFY(!form->isVisible());
    }
    QCOMPARE(dm->TableArtikel.State(), TDataSetState::Browse);
}

void TestArtikelForm::screenshot() {
    dm->SQLiteDB1.ExecSQL(
        QStringLiteral("insert into Artikel values (12,2,'Akku-Bohrschrauber','%1','J',5,'J','J','N')")
            .arg(QString::fromLatin1(kFormatted).replace(QLatin1Char('\''), QLatin1String("''"))));
    dm->SQLiteDB1.ExecSQL(
        QStringLiteral("insert into ArtPreis values (12,1,'Bohrschrauber','inkl. Bits',1,2,189.9,20)"));
    dm->SQLiteDB1.ExecSQL(QStringLiteral("insert into ArtPreis values (12,2,'Ersatzakku',null,2,2,39.5,20)"));
    selectInList(12);
    QVERIFY(form->prepare(TArtikel::ModeEdit));
    form->resize(820, 760);
    form->show();
    QVERIFY(QTest::qWaitForWindowExposed(form));
    QCOMPARE(w<QLabel>("LabGesamtpreis")->text(), QStringLiteral("Gesamtpreis: 268,90"));
    const QTextDocument* doc = w<TDBRichEdit>("DBRichEdit1")->document();
    QVERIFY(doc->begin().next().blockFormat().alignment() & Qt::AlignHCenter);
    QVERIFY(doc->begin().next().next().textList());
    const QString out =
        qEnvironmentVariable("QV_SCREENSHOT_DIR", QDir::tempPath()) + QStringLiteral("/artikel.png");
    QVERIFY(form->grab().save(out));
    form->done(0);
}

QTEST_MAIN(TestArtikelForm)
#include "tst_artikel.moc"
