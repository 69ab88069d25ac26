// The dialogs of the page "Offene Posten": payments of an invoice, a
// customer's payment terms, the base rates.
#include "UOffenePosten.h"

#include "Datenaustausch.h"
#include "DruckText.h"
#include "GlobalFunctions.h"
#include "Messages.h"
#include "QuorventFunctions.h"
#include "TDBDataLink.h"
#include "UDM.h"
#include "UExtras.h"
#include "UFrameUeb.h"
#include "UOffenePostenIntern.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QDir>
#include <QDoubleValidator>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QIntValidator>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QSaveFile>
#include <QStandardPaths>
#include <QTableView>
#include <QTableWidget>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>

using namespace OffenePostenWidgets;

// ---------------------------------------------------------------------
// Payments dialog.

TZahlungenDialog::TZahlungenDialog(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("Zahlungen"));
    setWindowTitle(QStringLiteral("Zahlungen"));
    resize(680, 460);
    auto* layout = new QVBoxLayout(this);
    FStand = new QLabel(this);
    FStand->setObjectName(QStringLiteral("LabStand"));
    layout->addWidget(FStand);
    FListe = new QTableWidget(this);
    FListe->setObjectName(QStringLiteral("LVZahlungen"));
    SetzeSpalten(FListe,
                 {QStringLiteral("Datum"), QStringLiteral("Betrag"), QStringLiteral("Art"),
                  QStringLiteral("Anmerkung")},
                 {100, 110, 120});
    layout->addWidget(FListe, 1);

    auto* neu = new QFormLayout;
    FDatum = DatumFeld(this, "DTPDatum");
    FBetrag = new QLineEdit(this);
    FBetrag->setObjectName(QStringLiteral("EditBetrag"));
    FArt = new QComboBox(this);
    FArt->setObjectName(QStringLiteral("CBArt"));
    FArt->addItems(ZahlungArten());
    FAnmerkung = new QLineEdit(this);
    FAnmerkung->setObjectName(QStringLiteral("EditAnmerkung"));
    FAnmerkung->setMaxLength(200);
    neu->addRow(QStringLiteral("Zahlungsdatum"), FDatum);
    neu->addRow(QStringLiteral("Betrag (EUR)"), FBetrag);
    neu->addRow(QStringLiteral("Zahlungsart"), FArt);
    neu->addRow(QStringLiteral("Anmerkung"), FAnmerkung);
    layout->addLayout(neu);
    FSkontoHinweis = new QLabel(this);
    FSkontoHinweis->setObjectName(QStringLiteral("LabSkonto"));
    layout->addWidget(FSkontoHinweis);

    auto* buttons = new QHBoxLayout;
    auto* erfassen =
        Knopf(this, "BitBtnErfassen", QStringLiteral("&Erfassen"), QStringLiteral("Zahlung erfassen"));
    auto* loeschen = Knopf(this, "BitBtnLoeschen", QStringLiteral("&Löschen"),
                           QStringLiteral("Markierte Zahlung löschen"));
    auto* zurueck = Knopf(this, "BitBtnClose", QStringLiteral("&Zurück"), QStringLiteral("Zurück zur Liste"));
    buttons->addWidget(erfassen);
    buttons->addWidget(loeschen);
    buttons->addStretch();
    buttons->addWidget(zurueck);
    layout->addLayout(buttons);
    erfassen->setDefault(true);
    connect(erfassen, &QPushButton::clicked, this, [this] { RunDataAction([this] { ErfassenClick(); }); });
    connect(loeschen, &QPushButton::clicked, this, [this] { RunDataAction([this] { LoeschenClick(); }); });
    connect(zurueck, &QPushButton::clicked, this, &QDialog::accept);
}

void TZahlungenDialog::prepare(const QString& typ, int kopfId) {
    FTyp = typ;
    FKopfID = kopfId;
    TPage::ApplyStyle(0, this);
    setWindowTitle(QStringLiteral("Zahlungen - ") + BelegName(typ, kopfId));
    FDatum->setDate(QDate::currentDate());
    FAnmerkung->clear();
    FArt->setCurrentIndex(0);
    Refresh();
}

void TZahlungenDialog::Show(const QString& typ, int kopfId) {
    prepare(typ, kopfId);
    exec();
}

void TZahlungenDialog::Refresh() {
    const TBelegStand s = BelegStand(*DM, FTyp, FKopfID);
    QString stand = BelegName(FTyp, FKopfID) + QStringLiteral(" vom ") + DruckDate(s.Datum) +
                    QStringLiteral(":  Brutto ") + FormatEuro(s.Brutto) + QStringLiteral(",  bezahlt ") +
                    FormatEuro(s.Bezahlt) + QStringLiteral(",  Gutschriften ") +
                    FormatEuro(s.Gutgeschrieben) + QStringLiteral(",  offen ") + FormatEuro(s.Offen);
    if (s.PerHandBezahlt)
        stand += QStringLiteral("  (als bezahlt markiert, ohne erfasste Zahlungen)");
    FStand->setText(stand);
    FListe->setRowCount(0);
    for (const TZahlung& z : Zahlungen(*DM, FTyp, FKopfID)) {
        const int r = FListe->rowCount();
        FListe->insertRow(r);
        FListe->setItem(r, 0, Zelle(DruckDate(z.Datum)));
        FListe->setItem(r, 1, Zelle(Betrag(z.Betrag), true));
        FListe->setItem(r, 2, Zelle(z.Art));
        FListe->setItem(r, 3, Zelle(z.Anmerkung));
        FListe->item(r, 0)->setData(Qt::UserRole, z.ZahlungID);
    }
    // The proposal: what is open, or less the discount while it may be taken.
    const double offen = std::max(0.0, s.Brutto - s.Bezahlt - s.Gutgeschrieben);
    FBetrag->setText(Betrag(offen));
    FSkontoHinweis->clear();
    if (s.SkontoProzent > 0 && s.Bezahlt < 0.005 && offen > 0.005) {
        const TZahlungsBedingung b = KundenZahlungsBedingung(*DM, s.KundenID);
        const double abzug = RoundCentsHalfEven(s.Brutto * s.SkontoProzent / 100.0);
        FSkontoHinweis->setText(QStringLiteral("Bei Zahlung bis ") +
                                DruckDate(s.Datum.addDays(b.Skontofrist)) + QStringLiteral(": ") +
                                FormatEuro(offen - abzug) + QStringLiteral(" (") +
                                DruckFixed(s.SkontoProzent) + QStringLiteral(" % Skonto = ") +
                                FormatEuro(abzug) + QStringLiteral(")"));
    }
}

void TZahlungenDialog::ErfassenClick() {
    const double betrag = Zahl(FBetrag->text());
    if (std::isnan(betrag)) {
        Messages::warning(
            QStringLiteral("Bitte geben Sie den Betrag der Zahlung als Zahl ein (z.B. 119,00)!"));
        return;
    }
    TZahlung z;
    z.Datum = FDatum->date();
    z.Betrag = betrag;
    z.Art = FArt->currentText();
    z.Anmerkung = FAnmerkung->text();
    if (ZahlungErfassen(*DM, FTyp, FKopfID, z))
        FAnmerkung->clear();
    Refresh();
}

void TZahlungenDialog::LoeschenClick() {
    const int r = FListe->currentRow();
    if (r < 0 || !FListe->item(r, 0)) {
        Messages::info(QStringLiteral("Bitte wählen Sie die Zahlung aus, die gelöscht werden soll!"));
        return;
    }
    ZahlungLoeschen(*DM, FTyp, FKopfID, FListe->item(r, 0)->data(Qt::UserRole).toLongLong());
    Refresh();
}

// ---------------------------------------------------------------------
// Payment terms.

TZahlungsBedingungDialog::TZahlungsBedingungDialog(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("Zahlungsbedingungen"));
    setWindowTitle(QStringLiteral("Zahlungsbedingungen"));
    auto* layout = new QVBoxLayout(this);
    auto tage = [this](const char* name) {
        auto* e = new QLineEdit(this);
        e->setObjectName(QLatin1String(name));
        e->setValidator(new QIntValidator(0, 3650, e));
        return e;
    };
    auto* firma = new QFormLayout;
    firma->addRow(new QLabel(QStringLiteral("<b>Standard der Firma</b>"), this));
    FZiel = tage("EditZahlungsziel");
    FFrist = tage("EditSkontofrist");
    firma->addRow(QStringLiteral("Zahlungsziel (Tage)"), FZiel);
    firma->addRow(QStringLiteral("Skontofrist (Tage)"), FFrist);
    layout->addLayout(firma);
    auto* kunde = new QFormLayout;
    kunde->addRow(
        new QLabel(QStringLiteral("<b>Abweichend für einen Kunden</b> (leer = Standard der Firma)"), this));
    FKunde = new QLineEdit(this);
    FKunde->setObjectName(QStringLiteral("EditKunde"));
    TFrameUeb::MakeDigitsOnly(FKunde);
    FKundeName = new QLabel(this);
    kunde->addRow(QStringLiteral("KundenNr"), FKunde);
    kunde->addRow(QString(), FKundeName);
    FKundeZiel = tage("EditKundeZiel");
    FKundeFrist = tage("EditKundeFrist");
    FVerbraucher = new QComboBox(this);
    FVerbraucher->setObjectName(QStringLiteral("CBVerbraucher"));
    FVerbraucher->addItem(QStringLiteral("nach Firmenname (mit Firma = Unternehmer)"), QString());
    FVerbraucher->addItem(QStringLiteral("Verbraucher"), QStringLiteral("J"));
    FVerbraucher->addItem(QStringLiteral("Unternehmer"), QStringLiteral("N"));
    kunde->addRow(QStringLiteral("Zahlungsziel (Tage)"), FKundeZiel);
    kunde->addRow(QStringLiteral("Skontofrist (Tage)"), FKundeFrist);
    kunde->addRow(QStringLiteral("Schuldner ist"), FVerbraucher);
    layout->addLayout(kunde);
    auto* buttons = new QHBoxLayout;
    auto* speichern =
        Knopf(this, "BitBtnSpeichern", QStringLiteral("&Speichern"), QStringLiteral("Angaben speichern"));
    auto* zurueck = Knopf(this, "BitBtnClose", QStringLiteral("&Zurück"), QStringLiteral("Zurück zur Liste"));
    buttons->addStretch();
    buttons->addWidget(speichern);
    buttons->addWidget(zurueck);
    layout->addLayout(buttons);
    connect(FKunde, &QLineEdit::textChanged, this, [this] { RunDataAction([this] { KundeLesen(); }); });
    connect(speichern, &QPushButton::clicked, this, [this] { RunDataAction([this] { SpeichernClick(); }); });
    connect(zurueck, &QPushButton::clicked, this, &QDialog::accept);
}

void TZahlungsBedingungDialog::prepare(int kundenId) {
    TPage::ApplyStyle(0, this);
    const TZahlungsBedingung f = FirmenZahlungsBedingung(*DM);
    FZiel->setText(QString::number(f.Zahlungsziel));
    FFrist->setText(QString::number(f.Skontofrist));
    FKunde->setText(kundenId > 0 ? QString::number(kundenId) : QString());
    KundeLesen();
}

void TZahlungsBedingungDialog::KundeLesen() {
    bool ok = false;
    const int id = FKunde->text().toInt(&ok);
    FKundeName->clear();
    FKundeZiel->clear();
    FKundeFrist->clear();
    FVerbraucher->setCurrentIndex(0);
    if (!ok)
        return;
    DM->Query3.RunSQL(QStringLiteral("select ifnull(Firma || ' ','') || ifnull(Nachname,'') || ifnull(' ' || "
                                     "Vorname,'') from Kunde where KundenID = ") +
                      QString::number(id));
    FKundeName->setText(DM->Query3.IsEmpty() ? QStringLiteral("(kein Kunde mit dieser Nummer)")
                                             : DM->Query3.Fields(0)->AsString());
    const TZahlungsBedingung b = KundenZahlungsBedingung(*DM, id);
    if (b.EigenesZiel >= 0)
        FKundeZiel->setText(QString::number(b.EigenesZiel));
    if (b.EigeneFrist >= 0)
        FKundeFrist->setText(QString::number(b.EigeneFrist));
    FVerbraucher->setCurrentIndex(std::max(0, FVerbraucher->findData(b.VerbraucherMerk)));
}

void TZahlungsBedingungDialog::SpeichernClick() {
    auto tage = [](QLineEdit* e, int leer) {
        return e->text().trimmed().isEmpty() ? leer : e->text().toInt();
    };
    SaveFirmenZahlungsBedingung(*DM, tage(FZiel, 14), tage(FFrist, 7));
    bool ok = false;
    const int id = FKunde->text().toInt(&ok);
    if (ok) {
        DM->Query3.RunSQL(QStringLiteral("select count(*) from Kunde where KundenID = ") +
                          QString::number(id));
        if (DM->Query3.Fields(0)->AsInteger() == 0) {
            Messages::warning(
                QStringLiteral("Den Kunden ") + QString::number(id) +
                QStringLiteral(" gibt es nicht! Die Standardwerte der Firma wurden gespeichert."));
            return;
        }
        SaveKundenZahlungsBedingung(*DM, id, tage(FKundeZiel, -1), tage(FKundeFrist, -1),
                                    FVerbraucher->currentData().toString());
    }
    Messages::info(QStringLiteral("Die Zahlungsbedingungen wurden gespeichert."));
}

// ---------------------------------------------------------------------
// Base rates.

TBasiszinsDialog::TBasiszinsDialog(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("Basiszinssaetze"));
    setWindowTitle(QStringLiteral("Basiszinssätze"));
    resize(560, 520);
    auto* layout = new QVBoxLayout(this);
    FTitel = new QLabel(this);
    FTitel->setWordWrap(true);
    layout->addWidget(FTitel);
    FListe = new QTableWidget(this);
    FListe->setObjectName(QStringLiteral("LVBasiszins"));
    SetzeSpalten(FListe,
                 {QStringLiteral("Gültig ab"), QStringLiteral("Satz %"), QStringLiteral("Bestätigt"),
                  QStringLiteral("Quelle")},
                 {100, 80, 80});
    layout->addWidget(FListe, 1);
    auto* neu = new QHBoxLayout;
    FAb = DatumFeld(this, "DTPAb");
    FSatz = new QLineEdit(this);
    FSatz->setObjectName(QStringLiteral("EditSatz"));
    FBestaetigt = new QCheckBox(QStringLiteral("von der Notenbank bekanntgegeben"), this);
    FBestaetigt->setObjectName(QStringLiteral("CBBestaetigt"));
    FBestaetigt->setChecked(true);
    neu->addWidget(new QLabel(QStringLiteral("Gültig ab"), this));
    neu->addWidget(FAb);
    neu->addWidget(new QLabel(QStringLiteral("Satz %"), this));
    neu->addWidget(FSatz);
    neu->addWidget(FBestaetigt);
    layout->addLayout(neu);
    auto* buttons = new QHBoxLayout;
    auto* hinzu = Knopf(this, "BitBtnHinzufuegen", QStringLiteral("&Hinzufügen"),
                        QStringLiteral("Basiszinssatz für ein Halbjahr eintragen oder ändern"));
    auto* loeschen = Knopf(this, "BitBtnLoeschen", QStringLiteral("&Löschen"),
                           QStringLiteral("Markierten Basiszinssatz löschen"));
    auto* zurueck = Knopf(this, "BitBtnClose", QStringLiteral("&Zurück"), QStringLiteral("Zurück zur Liste"));
    buttons->addWidget(hinzu);
    buttons->addWidget(loeschen);
    buttons->addStretch();
    buttons->addWidget(zurueck);
    layout->addLayout(buttons);
    connect(hinzu, &QPushButton::clicked, this, [this] { RunDataAction([this] { HinzufuegenClick(); }); });
    connect(loeschen, &QPushButton::clicked, this, [this] { RunDataAction([this] { LoeschenClick(); }); });
    connect(zurueck, &QPushButton::clicked, this, &QDialog::accept);
}

void TBasiszinsDialog::prepare() {
    TPage::ApplyStyle(0, this);
    EnsureZahlungTables(*DM);
    FLand = ZinsLand(*DM);
    FTitel->setText(
        QStringLiteral("Basiszinssätze für das Land ") + FLand +
        (FLand == QLatin1String("AT")
             ? QStringLiteral(" (Oesterreichische Nationalbank). Die österreichischen Sätze werden nicht "
                              "mitgeliefert und müssen eingetragen werden.")
             : QStringLiteral(
                   " (Deutsche Bundesbank, § 247 BGB). Jedes Halbjahr (1. Januar, 1. Juli) bitte den "
                   "neuen Satz eintragen.")));
    FListe->setRowCount(0);
    const QList<TBasiszins> list = Basiszinsen(*DM, FLand);
    for (int i = int(list.size()) - 1; i >= 0; --i) {
        const TBasiszins& z = list[i];
        const int r = FListe->rowCount();
        FListe->insertRow(r);
        FListe->setItem(r, 0, Zelle(DruckDate(z.Ab)));
        FListe->item(r, 0)->setData(Qt::UserRole, z.Ab);
        FListe->setItem(r, 1, Zelle(DruckFixed(z.Satz), true));
        FListe->setItem(r, 2, Zelle(z.Bestaetigt ? QStringLiteral("ja") : QStringLiteral("nein")));
        FListe->setItem(r, 3, Zelle(z.Quelle));
    }
    const QDate heute = QDate::currentDate();
    FAb->setDate(QDate(heute.year(), heute.month() <= 6 ? 1 : 7, 1));
    FSatz->clear();
}

void TBasiszinsDialog::HinzufuegenClick() {
    const double satz = Zahl(FSatz->text());
    if (std::isnan(satz) || satz < -20 || satz > 50) {
        Messages::warning(
            QStringLiteral("Bitte geben Sie den Basiszinssatz in Prozent ein (z.B. 1,27 oder -0,88)!"));
        return;
    }
    if (SaveBasiszins(*DM, FLand,
                      {FAb->date(), satz, FBestaetigt->isChecked(), QStringLiteral("eingetragen")}))
        prepare();
}

void TBasiszinsDialog::LoeschenClick() {
    const int r = FListe->currentRow();
    if (r < 0 || !FListe->item(r, 0))
        return;
    const QDate ab = FListe->item(r, 0)->data(Qt::UserRole).toDate();
    if (Messages::question(QStringLiteral("Soll der Basiszinssatz ab ") + DruckDate(ab) +
                               QStringLiteral(" wirklich gelöscht werden?"),
                           false, Messages::No) != Messages::Yes)
        return;
    DeleteBasiszins(*DM, FLand, ab);
    prepare();
}
