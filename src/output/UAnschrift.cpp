#include "UAnschrift.h"

#include "LogoFilter.h"

#include "EInvoiceCodes.h"
#include "Messages.h"
#include "Steuerregeln.h"
#include "Styles.h"
#include "TDBCheckBox.h"
#include "TDBDataLink.h"
#include "TDBEdit.h"
#include "TDBMemo.h"
#include "TDBNavigator.h"
#include "TDruckVorschau.h"
#include "UDM.h"
#include "ui_UAnschrift.h"

#include <QEvent>
#include <QFile>
#include <QFileDialog>
#include <QHideEvent>
#include <QPixmap>
#include <QRegularExpressionValidator>

#include <algorithm>

namespace {

// The document types in the order of their tabs.
const char DocumentLetters[] = "OALRTSGZB";

// Which layout controls an element may change: left, top, width, height,
// "andrucken", "mit Kopf ausblenden".
struct TEnabled {
    bool Left, Top, Width, Height, Visible, Hide;
};

TEnabled EnabledFor(int deid) {
    if (deid == 0)
        return {true, true, true, true, false, false};
    if (deid == 1)
        return {true, true, false, false, true, false};
    if (deid == 2)
        return {false, false, false, true, false, false};
    if ((deid >= 3 && deid <= 19) || deid == 38)
        return {true, true, true, false, true, true};
    // The document's own data, the invoice reference (39) included, prints
    // whenever the document has it.
    if ((deid >= 20 && deid <= 32) || deid == 39)
        return {true, true, true, false, false, false};
    if (deid == 33)
        return {true, true, false, true, false, false};
    // The payment QR code: placed and switched like a logo, printed with
    // or without the letterhead.
    if (deid == 40)
        return {true, true, true, false, true, false};
    return {true, true, true, false, true, true}; // 34 to 37
}

} // namespace

std::function<QString(int)> TAnschrift::ChooseLogoFile = [](int) {
    return QFileDialog::getOpenFileName(nullptr, QString(), QString(), LogoFileFilter());
};

TAnschrift::TAnschrift(QWidget* pageArea) : TPage(pageArea), ui(new Ui::TAnschrift) {
    ui->setupUi(this);
    setObjectName(QStringLiteral("Anschrift"));
    RightKey = QStringLiteral("Anschrift");

    TDataSource* ds = &DM->DSTAnsch;
    for (const char* field : {"Anrede",  "Name",       "Strasse",   "PLZ",     "Ort",
                              "Telefon", "Mobil",      "Fax",       "Email",   "Web",
                              "UIDNr",   "Firmenbuch", "BankName1", "BLZ1",    "BankKonto1",
                              "IBAN1",   "BIC1",       "BankName2", "BLZ2",    "BankKonto2",
                              "IBAN2",   "BIC2",       "Skonto",    "Skonto2", "AndruckLeerzeilen"}) {
        auto* edit = findChild<TDBEdit*>(QStringLiteral("DBEdit") + QLatin1String(field));
        Q_ASSERT(edit);
        BindField(edit, ds, QLatin1String(field));
    }
    BindField(ui->DBCBPosNrFortlaufend, ds, QStringLiteral("PosNrFortlaufend"));
    BindField(ui->DBCBPreisandruckenL, ds, QStringLiteral("PreisandruckenL"));
    BindField(ui->DBMemoMailText, ds, QStringLiteral("MailText"));
    for (const char* l = DocumentLetters; *l; ++l) {
        const QString letter = QString(QLatin1Char(*l));
        auto check = [this](const QString& name) { return findChild<TDBCheckBox*>(name); };
        auto memo = [this](const QString& name) { return findChild<TDBMemo*>(name); };
        BindField(check(QStringLiteral("DBCBSkonto") + letter), ds, QStringLiteral("Skonto") + letter);
        BindField(memo(QStringLiteral("DBMemoKopfText") + letter), ds, QStringLiteral("KopfText") + letter);
        BindField(check(QStringLiteral("DBCBKopfVorPos") + letter), ds,
                  QStringLiteral("KopfVorPos") + letter);
        BindField(memo(QStringLiteral("DBMemoFussText") + letter), ds, QStringLiteral("FussText") + letter);
        BindField(check(QStringLiteral("DBCBFussNachPos") + letter), ds,
                  QStringLiteral("FussNachPos") + letter);
    }
    connect(ui->BitBtnSpeichern, &QPushButton::clicked, this, [this] { Speichern(); });
    // The country is a setting beside the company row, kept as its ISO code.
    ui->CBLand->addItem(QString(), QString());
    for (const auto& [code, name] : LandListe())
        ui->CBLand->addItem(name, code);
    connect(ui->CBLand, &QComboBox::activated, this, [this] {
        FLandGeaendert = true;
        ShowSteuerVorgaben();
    });
    // The tax and e-invoice settings sit in set_allg too, where scheduled
    // jobs find them under the same names.
    for (QLineEdit* edit : SteuerEdits())
        connect(edit, &QLineEdit::textEdited, this, [this] { FLandGeaendert = true; });
    for (QCheckBox* box : {ui->CBKleinunternehmer, ui->CBGiroCode})
        connect(box, &QCheckBox::clicked, this, [this] { FLandGeaendert = true; });

    // The stored text blocks; their save rules sit with the tables.
    BindField(ui->DBEditKopfTextBez, &DM->DSTKopfText, QStringLiteral("KopfTextBez"));
    BindField(ui->DBMemoKopfTextText, &DM->DSTKopfText, QStringLiteral("KopfTextText"));
    BindField(ui->DBCBKopfTextVorPos, &DM->DSTKopfText, QStringLiteral("KopfTextVorPos"));
    ui->DBNavigatorKopfText->SetDataSource(&DM->DSTKopfText);
    BindField(ui->DBEditFussTextBez, &DM->DSTFussText, QStringLiteral("FussTextBez"));
    BindField(ui->DBMemoFussTextText, &DM->DSTFussText, QStringLiteral("FussTextText"));
    BindField(ui->DBCBFussTextNachPos, &DM->DSTFussText, QStringLiteral("FussTextNachPos"));
    ui->DBNavigatorFussText->SetDataSource(&DM->DSTFussText);

    // Logos.
    connect(ui->BtnLogo1Auswaehlen, &QPushButton::clicked, this, [this] { ChooseLogo(1); });
    connect(ui->BtnLogo2Auswaehlen, &QPushButton::clicked, this, [this] { ChooseLogo(2); });
    connect(ui->BtnLogo1Entfernen, &QPushButton::clicked, this, [this] { RemoveLogo(1); });
    connect(ui->BtnLogo2Entfernen, &QPushButton::clicked, this, [this] { RemoveLogo(2); });
    ui->ImageLogo1->installEventFilter(this);
    ui->ImageLogo2->installEventFilter(this);

    // Layout editor. The millimetre fields go into the update statement as
    // they stand: digits only, typed or pasted.
    auto* digits = new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), this);
    for (int i = 0; i < 4; ++i) {
        QLineEdit* edit = LayoutEdit(i);
        edit->setValidator(digits);
        edit->setMaxLength(5);
        connect(edit, &QLineEdit::textChanged, this, [this] {
            if (FSaving)
                SaveLayout();
        });
    }
    for (QCheckBox* box : {ui->CBVisible, ui->CBHide}) {
        connect(box, &QCheckBox::clicked, this, [this] {
            if (FSaving)
                SaveLayout();
        });
    }
    connect(ui->ListElemente, &QListWidget::currentRowChanged, this, [this](int row) {
        if (row >= 0)
            SelectElement(row);
    });
    connect(ui->Vorschau, &TDruckVorschau::ElementClicked, this, [this](int deid) {
        const QSignalBlocker block(ui->ListElemente);
        ui->ListElemente->setCurrentRow(deid);
        SelectElement(deid);
    });
    connect(ui->Vorschau, &TDruckVorschau::DragStarted, this, [this] { FSaving = false; });
    connect(ui->Vorschau, &TDruckVorschau::DragMoved, this, &TAnschrift::DragMoved);
    connect(ui->Vorschau, &TDruckVorschau::DragFinished, this, &TAnschrift::DragFinished);
}

TAnschrift::~TAnschrift() {
    delete ui;
}

void TAnschrift::PrepareShow() {
    // The layout editor's panels sit on the page's own colour.
    for (QWidget* panel : {ui->PanelElemente, ui->PanelFelder, ui->PanelVorschau})
        SetPanelColors(panel, palette().color(QPalette::Window), palette().color(QPalette::WindowText));

    FSaving = false;
    FScale = DM->ReadDruckElement(0).Width;

    // Reread, so that an edit left unsaved last time is gone.
    DM->TableAnsch.Close();
    DM->TableAnsch.Open();
    ui->CBLand->setCurrentIndex(std::max(0, ui->CBLand->findData(DM->GetAllg(QStringLiteral("FirmaLand")))));
    for (QLineEdit* edit : SteuerEdits())
        edit->setText(DM->GetAllgText(edit->objectName().mid(4)));
    ShowSteuerVorgaben();
    ui->CBKleinunternehmer->setChecked(IstKleinunternehmer(*DM));
    ui->CBGiroCode->setChecked(DM->GetAllg(QStringLiteral("GiroCode")).trimmed().toUpper() ==
                               QLatin1String("J"));
    FLandGeaendert = false;
    LoadLogos();
    DM->TableKopfText.Close();
    DM->TableKopfText.Open();
    DM->TableFussText.Close();
    DM->TableFussText.Open();
    for (TDBNavigator* navigator : findChildren<TDBNavigator*>())
        navigator->UpdateButtons();

    {
        const QSignalBlocker block(ui->ListElemente);
        ui->ListElemente->clear();
        ui->ListElemente->addItems(DM->DruckElementTitles());
        ui->ListElemente->setCurrentRow(0);
    }
    SelectElement(0);
    ui->PageControl1->setCurrentWidget(ui->TabAnschrift);
}

void TAnschrift::showEvent(QShowEvent* event) {
    TPage::showEvent(event);
    ui->DBEditAnrede->setFocus();
}

void TAnschrift::hideEvent(QHideEvent* event) {
    TPage::hideEvent(event);
    // A minimised main window hides the page only for the moment.
    if (!event->spontaneous())
        OfferToSaveEdits();
}

// The page rereads its rows each time it opens, so what was typed here and not
// saved would be gone once another page comes to the front or the program
// ends. The user is asked instead of losing it unnoticed.
void TAnschrift::OfferToSaveEdits() {
    if (!DM)
        return;
    QList<TSQLiteTable*> edited;
    for (TSQLiteTable* table : {&DM->TableAnsch, &DM->TableKopfText, &DM->TableFussText})
        if (table->Active() && table->Editing())
            edited.append(table);
    if (edited.isEmpty() && !FLandGeaendert)
        return;
    if (Messages::question(QStringLiteral("Sollen die Änderungen gespeichert werden?")) == Messages::Yes) {
        Speichern();
        for (TSQLiteTable* table : edited)
            if (table != &DM->TableAnsch && table->Editing() && TFieldDataLink::UpdateRecord(table))
                RunDataAction([table] { table->Post(); });
    }
    // What was not saved is dropped now, not left in edit mode behind a hidden page.
    FLandGeaendert = false;
    for (TSQLiteTable* table : edited)
        if (table->Editing())
            RunDataAction([table] { table->Cancel(); });
}

bool TAnschrift::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::Resize) {
        if (watched == ui->ImageLogo1)
            ShowLogo(1);
        else if (watched == ui->ImageLogo2)
            ShowLogo(2);
    }
    return TPage::eventFilter(watched, event);
}

void TAnschrift::Speichern() {
    TSQLiteTable& table = DM->TableAnsch;
    const QString land = ui->CBLand->currentData().toString();
    FLandGeaendert = false;
    QList<QPair<QString, QString>> settings;
    for (QLineEdit* edit : SteuerEdits())
        settings.append({edit->objectName().mid(4), edit->text().trimmed()});
    settings.append({QStringLiteral("Kleinunternehmer"),
                     ui->CBKleinunternehmer->isChecked() ? QStringLiteral("J") : QStringLiteral("N")});
    settings.append({QStringLiteral("GiroCode"),
                     ui->CBGiroCode->isChecked() ? QStringLiteral("J") : QStringLiteral("N")});
    RunDataAction([&table, &land, &settings] {
        if (land != DM->GetAllg(QStringLiteral("FirmaLand")))
            DM->SetAllg(QStringLiteral("FirmaLand"), land);
        for (const auto& [key, value] : settings)
            if (value != DM->GetAllgText(key).trimmed())
                DM->SetAllg(key, value);
        if (table.Editing() && TFieldDataLink::UpdateRecord(&table))
            table.Post();
    });
}

QList<QLineEdit*> TAnschrift::SteuerEdits() const {
    return {ui->EditFirmaKontakt,        ui->EditFirmaSteuerNr,      ui->EditHinweisKleinunternehmer,
            ui->EditHinweisSteuerschuld, ui->EditHinweisIGLieferung, ui->EditHinweisAusfuhr};
}

// An empty note prints the wording of the company's country; the field shows it.
void TAnschrift::ShowSteuerVorgaben() {
    const QString land = ui->CBLand->currentData().toString();
    const QList<QPair<QLineEdit*, const char*>> notes{{ui->EditHinweisKleinunternehmer, "E"},
                                                      {ui->EditHinweisSteuerschuld, "AE"},
                                                      {ui->EditHinweisIGLieferung, "K"},
                                                      {ui->EditHinweisAusfuhr, "G"}};
    for (const auto& [edit, kategorie] : notes)
        edit->setPlaceholderText(SteuerHinweisVorgabe(QLatin1String(kategorie), land));
}

// ---------------------------------------------------------------------------
// Logos

void TAnschrift::LoadLogos() {
    ShowLogo(1);
    ShowLogo(2);
}

void TAnschrift::ShowLogo(int logo) {
    QLabel* image = logo == 1 ? ui->ImageLogo1 : ui->ImageLogo2;
    const QString file = TDM::LogoFileName(logo);
    QPixmap picture;
    if (QFile::exists(file))
        picture.load(file);
    if (picture.isNull()) {
        image->clear();
        return;
    }
    // Proportionally into the frame, never enlarged beyond its own size.
    const QSize room = image->contentsRect().size();
    if (picture.width() > room.width() || picture.height() > room.height())
        picture = picture.scaled(room, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    image->setPixmap(picture);
}

void TAnschrift::PutCompanyInEdit() {
    TSQLiteTable& table = DM->TableAnsch;
    if (table.Active() && !table.Editing())
        RunDataAction([&table] { table.Edit(); });
}

void TAnschrift::ChooseLogo(int logo) {
    const QString file = ChooseLogoFile ? ChooseLogoFile(logo) : QString();
    if (file.isEmpty())
        return;
    if (!TDM::SaveLogo(logo, file))
        return;
    ShowLogo(logo);
    PutCompanyInEdit();
}

void TAnschrift::RemoveLogo(int logo) {
    if (!TDM::RemoveLogo(logo))
        return;
    ShowLogo(logo);
    PutCompanyInEdit();
}

// ---------------------------------------------------------------------------
// Layout editor

QLineEdit* TAnschrift::LayoutEdit(int i) const {
    QLineEdit* const edits[] = {ui->EditLeft, ui->EditTop, ui->EditWidth, ui->EditHeight};
    return edits[i];
}

void TAnschrift::SelectElement(int deid) {
    FSaving = false;
    FSelected = deid;
    ui->LabelLeft->setText(QStringLiteral("Links (mm)"));
    TDM::TDruckElement e;
    RunDataAction([&] { e = DM->ReadDruckElement(deid); });
    const int values[] = {e.Left, e.Top, e.Width, e.Height};
    for (int i = 0; i < 4; ++i)
        LayoutEdit(i)->setText(e.DEID < 0 ? QString() : QString::number(values[i]));
    ui->CBVisible->setChecked(e.Visible);
    ui->CBHide->setChecked(e.Hide);

    const TEnabled on = EnabledFor(deid);
    ui->EditLeft->setEnabled(on.Left);
    ui->EditTop->setEnabled(on.Top);
    ui->EditWidth->setEnabled(on.Width);
    ui->EditHeight->setEnabled(on.Height);
    ui->CBVisible->setEnabled(on.Visible);
    ui->CBHide->setEnabled(on.Hide);
    // For the footer area the left value is the room the area needs on the page.
    if (deid == 33)
        ui->LabelLeft->setText(QStringLiteral("Mindesthöhe"));

    Redraw();
    FSaving = true;
}

void TAnschrift::SaveLayout() {
    QStringList values;
    for (int i = 0; i < 4; ++i)
        values << LayoutEdit(i)->text();
    bool saved = false;
    RunDataAction([&] {
        saved = DM->SaveDruckElement(FSelected, values, ui->CBVisible->isChecked(), ui->CBHide->isChecked());
    });
    if (saved && FSelected == 0 && !values[2].isEmpty())
        FScale = values[2].toInt();
    Redraw();
}

void TAnschrift::Redraw() {
    QList<TDM::TDruckElement> rows;
    RunDataAction([&rows] { rows = DM->ReadDruckElemente(); });
    ui->Vorschau->SetLayout(rows, FSelected, FScale);
}

void TAnschrift::DragMoved(int leftMm, int topMm) {
    FSaving = false;
    ui->EditLeft->setText(QString::number(leftMm));
    ui->EditTop->setText(QString::number(topMm));
}

void TAnschrift::DragFinished() {
    FSaving = true;
    SaveLayout();
}
