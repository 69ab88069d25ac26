#include "UDatevExport.h"

#include "FileNames.h"
#include "GlobalFunctions.h"
#include "Messages.h"
#include "QuorventFunctions.h"
#include "UDM.h"
#include "UMF.h"
#include "UPage.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QFileDialog>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QStandardPaths>
#include <QTableWidget>
#include <QVBoxLayout>

#include <cmath>

namespace {

const QString kOrdnerKey = QStringLiteral("DatevOrdner");

QPushButton* Button(const QString& text, const char* name, const QString& hint, QWidget* parent) {
    auto* b = new QPushButton(text, parent);
    b->setObjectName(QLatin1String(name));
    b->setToolTip(hint);
    b->setStatusTip(hint);
    return b;
}

template <class W> W* Named(W* w, const char* name, const QString& hint = QString()) {
    w->setObjectName(QLatin1String(name));
    if (!hint.isEmpty()) {
        w->setToolTip(hint);
        w->setStatusTip(hint);
    }
    return w;
}

QString Datum(const QDate& d) {
    return d.toString(QStringLiteral("dd.MM.yyyy"));
}

} // namespace

std::function<QString(QWidget*, const QString&)> TDatevExportDialog::ChooseFolder =
    [](QWidget* p, const QString& current) {
        return QFileDialog::getExistingDirectory(p, QStringLiteral("Zielordner für den DATEV-Export"),
                                                 current);
    };

TDatevExportDialog::TDatevExportDialog(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("DatevExport"));
    setWindowTitle(QStringLiteral("DATEV-Export"));
    auto* layout = new QVBoxLayout(this);

    // What is exported, and where to.
    auto* was = new QGroupBox(QStringLiteral("Export"), this);
    auto* wasForm = new QFormLayout(was);
    auto* zeitraum = new QHBoxLayout;
    FVon = Named(new QDateEdit(was), "DateVon", QStringLiteral("Erster Tag des Zeitraums (Belegdatum)"));
    FBis = Named(new QDateEdit(was), "DateBis", QStringLiteral("Letzter Tag des Zeitraums (Belegdatum)"));
    for (QDateEdit* d : {FVon, FBis}) {
        d->setDisplayFormat(QStringLiteral("dd.MM.yyyy"));
        d->setCalendarPopup(true);
    }
    auto* bisLabel = new QLabel(QStringLiteral("b&is"), was);
    bisLabel->setBuddy(FBis);
    zeitraum->addWidget(FVon);
    zeitraum->addWidget(bisLabel);
    zeitraum->addWidget(FBis);
    zeitraum->addStretch();
    auto* vonLabel = new QLabel(QStringLiteral("Zeitraum &von"), was);
    vonLabel->setBuddy(FVon);
    wasForm->addRow(vonLabel, zeitraum);
    auto* ordner = new QHBoxLayout;
    FOrdner = Named(new QLineEdit(was), "EditOrdner",
                    QStringLiteral("Ordner, in den der Buchungsstapel und die Debitoren geschrieben werden"));
    auto* waehlen =
        Button(QStringLiteral("Ordner &wählen…"), "BitBtnOrdner", QStringLiteral("Zielordner wählen"), was);
    ordner->addWidget(FOrdner, 1);
    ordner->addWidget(waehlen);
    auto* ordnerLabel = new QLabel(QStringLiteral("Ziel&ordner"), was);
    ordnerLabel->setBuddy(FOrdner);
    wasForm->addRow(ordnerLabel, ordner);
    layout->addWidget(was);

    // What the tax advisor tells.
    auto* berater = new QGroupBox(QStringLiteral("Angaben des Steuerberaters"), this);
    auto* form = new QFormLayout(berater);
    FBerater =
        Named(new QLineEdit(berater), "EditBerater", QStringLiteral("Beraternummer (1001 bis 9999999)"));
    FMandant = Named(new QLineEdit(berater), "EditMandant", QStringLiteral("Mandantennummer (1 bis 99999)"));
    FWJBeginn = Named(new QLineEdit(berater), "EditWJBeginn",
                      QStringLiteral("Erster Tag des Wirtschaftsjahres als Tag und Monat, z. B. 01.01."));
    FWJBeginn->setInputMask(QStringLiteral("99.99."));
    FKontenlaenge =
        Named(new QSpinBox(berater), "SpinKontenlaenge",
              QStringLiteral("Stellen der Sachkonten; die Personenkonten haben eine Stelle mehr"));
    FKontenlaenge->setRange(4, 8);
    FSKR = Named(new QComboBox(berater), "ComboSKR", QStringLiteral("Kontenrahmen der Buchhaltung"));
    FSKR->addItem(QStringLiteral("SKR03"), QStringLiteral("03"));
    FSKR->addItem(QStringLiteral("SKR04"), QStringLiteral("04"));
    FDebitorStart = Named(new QLineEdit(berater), "EditDebitorStart",
                          QStringLiteral("Personenkonto eines Kunden = dieser Wert + Kundennummer"));
    FBelegfeldRechnung =
        Named(new QCheckBox(
                  QStringLiteral("Gutschriften und Stornorechnungen mit der Rechnungsnummer in Beleg&feld 1"),
                  berater),
              "CBBelegfeldRechnung",
              QStringLiteral(
                  "Dann gleicht DATEV die Rechnung aus; sonst steht die eigene Nummer in Belegfeld 1 und die "
                  "der Rechnung in Belegfeld 2"));
    auto label = [berater](const QString& text, QWidget* buddy) {
        auto* l = new QLabel(text, berater);
        l->setBuddy(buddy);
        return l;
    };
    form->addRow(label(QStringLiteral("&Beraternummer"), FBerater), FBerater);
    form->addRow(label(QStringLiteral("&Mandantennummer"), FMandant), FMandant);
    form->addRow(label(QStringLiteral("Wirtschafts&jahr beginnt am (TT.MM.)"), FWJBeginn), FWJBeginn);
    form->addRow(label(QStringLiteral("Sach&kontenlänge"), FKontenlaenge), FKontenlaenge);
    form->addRow(label(QStringLiteral("Konten&rahmen"), FSKR), FSKR);
    form->addRow(label(QStringLiteral("&Debitorenkonten ab"), FDebitorStart), FDebitorStart);
    form->addRow(FBelegfeldRechnung);
    FKonten = Named(new QTableWidget(0, 2, berater), "GridKonten",
                    QStringLiteral("Erlöskonto je Umsatzsteuer-Fall; leer = kein Konto vereinbart"));
    FKonten->setHorizontalHeaderLabels({QStringLiteral("Umsatz"), QStringLiteral("Erlöskonto")});
    FKonten->horizontalHeader()->setSectionResizeMode(0, QHeaderView::Stretch);
    FKonten->horizontalHeader()->setSectionResizeMode(1, QHeaderView::ResizeToContents);
    FKonten->verticalHeader()->hide();
    FKonten->setSelectionMode(QAbstractItemView::SingleSelection);
    FKonten->setTabKeyNavigation(false);
    FKonten->setEditTriggers(QAbstractItemView::AllEditTriggers);
    auto* kontenLabel = label(QStringLiteral("&Erlöskonten"), FKonten);
    form->addRow(kontenLabel);
    form->addRow(FKonten);
    layout->addWidget(berater, 1);

    auto* buttons = new QHBoxLayout;
    auto* exportieren = Button(QStringLiteral("E&xportieren"), "BitBtnExport",
                               QStringLiteral("Einstellungen speichern und den Zeitraum exportieren"), this);
    exportieren->setDefault(true);
    auto* speichern = Button(QStringLiteral("&Speichern"), "BitBtnSpeichern",
                             QStringLiteral("Einstellungen speichern, ohne zu exportieren"), this);
    auto* schliessen = Button(QStringLiteral("S&chließen"), "BitBtnSchliessen", QString(), this);
    buttons->addStretch();
    buttons->addWidget(exportieren);
    buttons->addWidget(speichern);
    buttons->addWidget(schliessen);
    layout->addLayout(buttons);
    resize(640, 660);

    connect(waehlen, &QPushButton::clicked, this, &TDatevExportDialog::BitBtnOrdnerClick);
    connect(exportieren, &QPushButton::clicked, this, &TDatevExportDialog::BitBtnExportClick);
    connect(speichern, &QPushButton::clicked, this, &TDatevExportDialog::BitBtnSpeichernClick);
    connect(schliessen, &QPushButton::clicked, this, &QDialog::reject);
    connect(FSKR, &QComboBox::currentIndexChanged, this, &TDatevExportDialog::StandardKontenNachfuehren);
    connect(FKontenlaenge, &QSpinBox::valueChanged, this, &TDatevExportDialog::StandardKontenNachfuehren);
    // A month is what is usually handed over: its first day brings its last.
    connect(FVon, &QDateEdit::dateChanged, this, [this](const QDate& von) {
        if (von.day() == 1)
            FBis->setDate(von.addMonths(1).addDays(-1));
        SaetzeDesZeitraums();
    });
    connect(FBis, &QDateEdit::dateChanged, this, &TDatevExportDialog::SaetzeDesZeitraums);
}

int TDatevExportDialog::KontoZeile(const QString& situation, const QString& konto) {
    for (int r = 0; r < FKonten->rowCount(); ++r)
        if (FKonten->item(r, 0)->data(Qt::UserRole).toString() == situation)
            return r;
    const int r = FKonten->rowCount();
    FKonten->insertRow(r);
    auto* was = new QTableWidgetItem(DatevSituationText(situation));
    was->setData(Qt::UserRole, situation);
    was->setFlags(Qt::ItemIsEnabled);
    FKonten->setItem(r, 0, was);
    FKonten->setItem(r, 1, new QTableWidgetItem(konto));
    return r;
}

void TDatevExportDialog::SaetzeDesZeitraums() {
    if (!DM)
        return;
    const TDatevEinstellungen e = Einstellungen();
    try {
        for (const QString& satz : DatevSaetzeImZeitraum(*DM, FVon->date(), FBis->date()))
            KontoZeile(satz, DatevKonto(e, satz));
    } catch (const ESQLiteError&) {
        // The rows are a convenience; the export names a missing account itself.
    }
}

void TDatevExportDialog::StandardKontenNachfuehren() {
    const QString skr = FSKR->currentData().toString();
    const int laenge = FKontenlaenge->value();
    for (int r = 0; r < FKonten->rowCount(); ++r) {
        const QString situation = FKonten->item(r, 0)->data(Qt::UserRole).toString();
        QTableWidgetItem* konto = FKonten->item(r, 1);
        const QString alt = DatevStandardKonto(situation, FAlterSKR, FAlteLaenge);
        if (konto->text().trimmed().isEmpty() || konto->text().trimmed() == alt)
            konto->setText(DatevStandardKonto(situation, skr, laenge));
    }
    // The debtor accounts start at the first number one digit longer.
    const qint64 altStart = qint64(std::pow(10, FAlteLaenge));
    if (FDebitorStart->text().trimmed() == QString::number(altStart))
        FDebitorStart->setText(QString::number(qint64(std::pow(10, laenge))));
    FAlterSKR = skr;
    FAlteLaenge = laenge;
}

void TDatevExportDialog::prepare() {
    const TDatevEinstellungen e = LeseDatevEinstellungen(*DM);
    FBerater->setText(e.Berater);
    FMandant->setText(e.Mandant);
    FWJBeginn->setText(e.WJBeginn.mid(2, 2) + u'.' + e.WJBeginn.left(2) + u'.');
    FAlterSKR = e.SKR;
    FAlteLaenge = e.Kontenlaenge;
    {
        const QSignalBlocker b1(FSKR), b2(FKontenlaenge);
        FKontenlaenge->setValue(e.Kontenlaenge);
        FSKR->setCurrentIndex(std::max(0, FSKR->findData(e.SKR)));
    }
    FDebitorStart->setText(QString::number(e.DebitorStart));
    FBelegfeldRechnung->setChecked(e.BelegfeldRechnung);
    FKonten->setRowCount(0);
    for (const QString& s : DatevStandardSituationen())
        KontoZeile(s, DatevKonto(e, s));
    for (auto it = e.Konten.cbegin(); it != e.Konten.cend(); ++it)
        KontoZeile(it.key(), it.value());
    // The previous month: what is usually handed over.
    const QDate heute = QDate::currentDate();
    const QDate von(heute.addMonths(-1).year(), heute.addMonths(-1).month(), 1);
    {
        const QSignalBlocker b1(FVon), b2(FBis);
        FVon->setDate(von);
        FBis->setDate(von.addMonths(1).addDays(-1));
    }
    SaetzeDesZeitraums();
    QString ordner;
    try {
        ordner = GetFileSetting(DM->Query1, kOrdnerKey);
    } catch (const ESQLiteError&) {
    }
    if (ordner.isEmpty())
        ordner = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    FOrdner->setText(ordner);
    FVon->setFocus();
}

void TDatevExportDialog::BitBtnOrdnerClick() {
    const QString chosen = ChooseFolder ? ChooseFolder(this, FOrdner->text()) : QString();
    if (!chosen.isEmpty())
        FOrdner->setText(chosen);
}

TDatevEinstellungen TDatevExportDialog::Einstellungen() const {
    TDatevEinstellungen e;
    e.Berater = FBerater->text().trimmed();
    e.Mandant = FMandant->text().trimmed();
    const QStringList wj = FWJBeginn->text().split(u'.');
    if (wj.size() >= 2)
        e.WJBeginn = wj[1].trimmed().rightJustified(2, u'0') + wj[0].trimmed().rightJustified(2, u'0');
    e.Kontenlaenge = FKontenlaenge->value();
    e.SKR = FSKR->currentData().toString();
    bool ok = false;
    e.DebitorStart = FDebitorStart->text().trimmed().toLongLong(&ok);
    if (!ok)
        e.DebitorStart = -1;
    e.BelegfeldRechnung = FBelegfeldRechnung->isChecked();
    for (int r = 0; r < FKonten->rowCount(); ++r)
        e.Konten.insert(FKonten->item(r, 0)->data(Qt::UserRole).toString(),
                        FKonten->item(r, 1)->text().trimmed());
    return e;
}

void TDatevExportDialog::keyPressEvent(QKeyEvent* event) {
    // Enter confirms an account typed into the table; it does not export.
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) &&
        FKonten->isAncestorOf(QApplication::focusWidget())) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

void TDatevExportDialog::FokusAufKonto(const QString& situation) {
    const int r = KontoZeile(situation, QString());
    FKonten->setFocus();
    FKonten->setCurrentCell(r, 1);
    FKonten->editItem(FKonten->item(r, 1));
}

bool TDatevExportDialog::BitBtnSpeichernClick() {
    const TDatevEinstellungen e = Einstellungen();
    if (const QString fehler = PruefeDatevEinstellungen(e); !fehler.isEmpty()) {
        Messages::warning(QStringLiteral("Die DATEV-Einstellungen wurden nicht gespeichert:\n") + fehler);
        return false;
    }
    try {
        SpeichereDatevEinstellungen(*DM, e);
    } catch (const ESQLiteError& ex) {
        Messages::error(QStringLiteral("Die DATEV-Einstellungen konnten nicht gespeichert werden!\n") +
                        ex.message());
        return false;
    }
    return true;
}

bool TDatevExportDialog::BitBtnExportClick() {
    if (!BitBtnSpeichernClick())
        return false;
    const TDatevEinstellungen e = Einstellungen();
    TDatevAuftrag a;
    a.Von = FVon->date();
    a.Bis = FBis->date();
    a.Ordner = FOrdner->text().trimmed();
    if (a.Ordner.isEmpty() || !IsFolderName(a.Ordner)) {
        Messages::warning(QStringLiteral("Bitte einen vorhandenen Zielordner angeben!"));
        FOrdner->setFocus();
        return false;
    }
    try {
        // A second export of a period would book its documents twice at the
        // advisor's, unless the earlier batch is dropped there.
        if (const int schon = DatevBereitsExportiert(*DM, a.Von, a.Bis); schon > 0) {
            const QString zeitraum = QStringLiteral("Im Zeitraum %1 bis %2 ").arg(Datum(a.Von), Datum(a.Bis));
            const Messages::Answer antwort = Messages::question(
                zeitraum +
                    (schon == 1
                         ? QStringLiteral("wurde bereits 1 Beleg an DATEV exportiert.")
                         : QStringLiteral("wurden bereits %1 Belege an DATEV exportiert.").arg(schon)) +
                    QStringLiteral(
                        "\n\nJa: alle Belege des Zeitraums erneut exportieren (der Steuerberater muss "
                        "den früheren Stapel verwerfen, sonst sind sie doppelt gebucht).\nNein: nur die "
                        "noch nicht exportierten Belege exportieren.\nAbbrechen: nichts exportieren."),
                true, Messages::Cancel);
            if (antwort == Messages::Cancel)
                return false;
            a.Umfang = antwort == Messages::Yes ? TDatevUmfang::Alle : TDatevUmfang::NurNeue;
        }
        TDatevErgebnis r = DatevErstellen(*DM, e, a);
        if (!r.Ok) {
            for (const QString& s : r.FehlendeKonten)
                KontoZeile(s, QString());
            Messages::warning(QStringLiteral("Der DATEV-Export wurde nicht geschrieben:\n") + r.Fehler);
            if (!r.FehlendeKonten.isEmpty())
                FokusAufKonto(r.FehlendeKonten.first());
            return false;
        }
        if (r.Belege == 0) {
            Messages::info(
                QStringLiteral("Im Zeitraum %1 bis %2 gibt es keine Belege für DATEV; es wurde keine "
                               "Datei geschrieben.")
                    .arg(Datum(a.Von), Datum(a.Bis)));
            return false;
        }
        const QString datei = a.Ordner + u'/' + r.BuchungsDatei;
        if (FileNameExists(datei) &&
            Messages::question(QStringLiteral("Die Datei \"") + datei +
                                   QStringLiteral("\" gibt es schon. Soll sie ersetzt werden?"),
                               false, Messages::No) != Messages::Yes)
            return false;
        r = DatevSchreiben(*DM, r, a.Ordner);
        if (!r.Ok) {
            Messages::error(QStringLiteral("Der DATEV-Export wurde nicht geschrieben:\n") + r.Fehler);
            return false;
        }
        try {
            // Beside the other remembered files: a settings value holds only 30 characters.
            DM->SQLiteDB1.ExecSQL(QStringLiteral("insert or replace into set_file values (") +
                                  SQLQuote(kOrdnerKey) + u',' + SQLQuote(a.Ordner) + u')');
        } catch (const ESQLiteError&) {
            // A folder name outside Windows-1252 is not remembered; the export is written.
        }
        Messages::info(
            QStringLiteral("Der DATEV-Export ist geschrieben:\n%1 (%2 Buchungen aus %3 Belegen)\n%4 (%5 "
                           "Kunden)\n\nim Ordner %6")
                .arg(r.BuchungsDatei)
                .arg(r.Buchungen)
                .arg(r.Belege)
                .arg(r.DebitorenDatei)
                .arg(r.Kunden)
                .arg(a.Ordner));
    } catch (const ESQLiteError& ex) {
        Messages::error(QStringLiteral("Der DATEV-Export ist fehlgeschlagen!\n") + ex.message());
        return false;
    }
    accept();
    return true;
}

void InstallDatev(TMF& mf) {
    try {
        EnsureDatevTables(*DM);
    } catch (const ESQLiteError& e) {
        Messages::warning(QStringLiteral("Die Tabelle für den DATEV-Export konnte nicht angelegt werden!\n") +
                          e.message());
    }
    auto* dialog = new TDatevExportDialog(&mf);
    QAction* a = mf.Action(QStringLiteral("ActionDatevExport"));
    if (!a)
        return;
    a->setEnabled(true);
    QObject::connect(a, &QAction::triggered, &mf, [dialog] {
        if (!TPage::CheckRight(QStringLiteral("DatevExport")))
            return;
        TPage::ApplyStyle(0, dialog);
        dialog->prepare();
        dialog->exec();
    });
}
