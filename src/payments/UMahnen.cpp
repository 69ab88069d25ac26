#include "UMahnen.h"

#include "DruckAusgabe.h"
#include "DruckMail.h"
#include "DruckText.h"
#include "GlobalFunctions.h"
#include "Messages.h"
#include "QuorventFunctions.h"
#include "TDBDataLink.h"
#include "TReport.h"
#include "UDM.h"
#include "UPage.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QStandardPaths>
#include <QVBoxLayout>

#include <cmath>

std::function<QString(QWidget*, const QString&)> TMahnen::ChoosePdfFile = [](QWidget* parent,
                                                                             const QString& proposal) {
    return QFileDialog::getSaveFileName(parent, QStringLiteral("Mahnung als PDF speichern"), proposal,
                                        QStringLiteral("PDF-Datei (*.pdf)"));
};

TMahnen::TMahnen(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("Mahnen"));
    setWindowTitle(QStringLiteral("Mahnen"));
    resize(620, 520);
    auto* layout = new QVBoxLayout(this);
    FBeleg = new QLabel(this);
    FBeleg->setObjectName(QStringLiteral("LabBeleg"));
    QFont f = FBeleg->font();
    f.setBold(true);
    FBeleg->setFont(f);
    layout->addWidget(FBeleg);
    auto* form = new QFormLayout;
    FStufe = new QComboBox(this);
    FStufe->setObjectName(QStringLiteral("CBStufe"));
    for (int s = 1; s <= 3; ++s)
        FStufe->addItem(MahnstufeName(s), s);
    FDatum = new QDateEdit(QDate::currentDate(), this);
    FDatum->setObjectName(QStringLiteral("DTPDatum"));
    FDatum->setCalendarPopup(true);
    FDatum->setDisplayFormat(QStringLiteral("dd.MM.yyyy"));
    FZinsen = new QCheckBox(QStringLiteral("Verzugszinsen berechnen"), this);
    FZinsen->setObjectName(QStringLiteral("CBZinsen"));
    FPauschale = new QCheckBox(this);
    FPauschale->setObjectName(QStringLiteral("CBPauschale"));
    FGebuehr = new QLineEdit(this);
    FGebuehr->setObjectName(QStringLiteral("EditGebuehr"));
    form->addRow(QStringLiteral("Mahnstufe"), FStufe);
    form->addRow(QStringLiteral("Mahndatum"), FDatum);
    form->addRow(QString(), FZinsen);
    form->addRow(QString(), FPauschale);
    form->addRow(QStringLiteral("weitere Mahngebühr (EUR)"), FGebuehr);
    layout->addLayout(form);
    FFiguren = new QLabel(this);
    FFiguren->setObjectName(QStringLiteral("LabFiguren"));
    FFiguren->setTextFormat(Qt::PlainText);
    FFiguren->setFrameShape(QFrame::StyledPanel);
    FFiguren->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    FFiguren->setMinimumHeight(170);
    layout->addWidget(FFiguren, 1);
    FVorschau = new QCheckBox(QStringLiteral("Vorschau anzeigen"), this);
    FVorschau->setObjectName(QStringLiteral("CBVorschau"));
    FVorschau->setChecked(true);
    FVersand = new QCheckBox(QStringLiteral("Email - Versand (als PDF-Datei)"), this);
    FVersand->setObjectName(QStringLiteral("CBVersand"));
    FKopie = new QCheckBox(QStringLiteral("Kopie an mich versenden (bei Email - Versand)"), this);
    FKopie->setObjectName(QStringLiteral("CBKopie"));
    FKopie->setChecked(true);
    layout->addWidget(FVorschau);
    layout->addWidget(FVersand);
    layout->addWidget(FKopie);
    auto* buttons = new QHBoxLayout;
    auto* drucken = new QPushButton(QStringLiteral("&Drucken"), this);
    drucken->setObjectName(QStringLiteral("BitBtnDrucken"));
    drucken->setToolTip(QStringLiteral("Ausdruck bzw. Emailversand starten"));
    drucken->setDefault(true);
    auto* pdf = new QPushButton(QStringLiteral("Als &PDF speichern"), this);
    pdf->setObjectName(QStringLiteral("BitBtnPdf"));
    pdf->setToolTip(QStringLiteral("Mahnung als PDF-Datei speichern"));
    auto* zurueck = new QPushButton(QStringLiteral("&Zurück"), this);
    zurueck->setObjectName(QStringLiteral("BitBtnClose"));
    zurueck->setToolTip(QStringLiteral("Zurück zur Liste"));
    buttons->addWidget(drucken);
    buttons->addWidget(pdf);
    buttons->addStretch();
    buttons->addWidget(zurueck);
    layout->addLayout(buttons);

    auto neu = [this] {
        if (!FSetting)
            RunDataAction([this] { Berechnen(); });
    };
    connect(FStufe, &QComboBox::currentIndexChanged, this, neu);
    connect(FDatum, &QDateEdit::dateChanged, this, neu);
    connect(FZinsen, &QCheckBox::toggled, this, neu);
    connect(FPauschale, &QCheckBox::toggled, this, neu);
    connect(FGebuehr, &QLineEdit::textChanged, this, neu);
    connect(drucken, &QPushButton::clicked, this,
            [this] { RunDataAction([this] { BitBtnDruckenClick(); }); });
    connect(pdf, &QPushButton::clicked, this, [this] { RunDataAction([this] { BitBtnPdfClick(); }); });
    connect(zurueck, &QPushButton::clicked, this, &QDialog::accept);
}

TMahnAuftrag TMahnen::Auftrag() const {
    TMahnAuftrag a;
    a.Stufe = FStufe->currentData().toInt();
    a.Datum = FDatum->date();
    a.Zinsen = FZinsen->isChecked();
    a.Pauschale = FPauschale->isChecked();
    bool ok = false;
    const double g = QLocale().toDouble(FGebuehr->text().trimmed(), &ok);
    a.Gebuehr = ok && g > 0 ? g : 0;
    return a;
}

void TMahnen::prepare(const QString& typ, int kopfId) {
    FTyp = typ;
    FKopfID = kopfId;
    TPage::ApplyStyle(0, this);
    setWindowTitle(QStringLiteral("Mahnen - ") + BelegName(typ, kopfId));
    FSetting = true;
    const QList<TMahnung> frueher = Mahnungen(*DM, typ, kopfId);
    const int naechste = frueher.isEmpty() ? 1 : std::min(3, frueher.last().Stufe + 1);
    FStufe->setCurrentIndex(naechste - 1);
    FDatum->setDate(QDate::currentDate());
    FZinsen->setChecked(true);
    const TBelegStand s = BelegStand(*DM, typ, kopfId);
    const bool verbraucher = KundenZahlungsBedingung(*DM, s.KundenID).Verbraucher;
    double gebuehren = 0;
    for (const TMahnung& m : frueher)
        gebuehren += m.Gebuehr;
    FPauschale->setText(QStringLiteral("Verzugspauschale 40,00 EUR (") + PauschaleRegel(ZinsLand(*DM)) +
                        QStringLiteral(", nur gegenüber Unternehmern)"));
    FPauschale->setEnabled(!verbraucher);
    // The flat fee is owed once per claim.
    FPauschale->setChecked(!verbraucher && gebuehren < MahnPauschale - 0.005);
    FGebuehr->clear();
    FSetting = false;
    Berechnen();
}

void TMahnen::Show(const QString& typ, int kopfId) {
    RunDataAction([&] { prepare(typ, kopfId); });
    exec();
}

void TMahnen::Berechnen() {
    const TMahnAuftrag a = Auftrag();
    const bool mahnung = a.Stufe >= 2;
    FZinsen->setEnabled(mahnung);
    FGebuehr->setEnabled(mahnung);
    TMahnBerechnung b;
    // The figures are shown without boxes; the refusal comes when printing.
    Messages* const previous = Messages::installed();
    struct TStumm : Messages {
        QString Text;
        void show(Kind, const QString& t) override { Text = t; }
        Answer ask(const QString&, bool, Answer) override { return No; }
    } stumm;
    Messages::install(&stumm);
    bool ok = false;
    try {
        ok = BerechneMahnung(*DM, FTyp, FKopfID, a, b);
    } catch (...) {
        Messages::install(previous);
        throw;
    }
    Messages::install(previous);
    FBeleg->setText(BelegName(FTyp, FKopfID) +
                    (b.Stand.Gefunden ? QStringLiteral(" vom ") + DruckDate(b.Stand.Datum) +
                                            QStringLiteral(", fällig am ") + DruckDate(b.Faellig)
                                      : QString()));
    if (!ok) {
        FFiguren->setText(stumm.Text);
        return;
    }
    QStringList t;
    t << QStringLiteral("Rechnungsbetrag:\t") + FormatEuro(b.Stand.Brutto)
      << QStringLiteral("bezahlt:\t\t") + FormatEuro(b.Stand.Bezahlt)
      << QStringLiteral("Gutschriften:\t") + FormatEuro(b.Stand.Gutgeschrieben)
      << QStringLiteral("offen:\t\t") + FormatEuro(b.Stand.Offen);
    if (mahnung) {
        t << QStringLiteral("Verzugszinsen:\t") + FormatEuro(b.Zins.Zinsen) +
                 (a.Zinsen ? QStringLiteral("  (") + b.Zins.Regel + u')' : QString())
          << QStringLiteral("Mahnkosten:\t") + FormatEuro(b.GebuehrFrueher + b.Gebuehr)
          << QStringLiteral("neuer Gesamtbetrag:\t") + FormatEuro(b.Gesamt);
        if (!b.Zins.FehlendeHalbjahre.isEmpty()) {
            QStringList tage;
            for (const QDate& d : b.Zins.FehlendeHalbjahre)
                tage << DruckDate(d);
            t << QString()
              << QStringLiteral("Achtung: Für die Halbjahre ab ") + tage.join(QStringLiteral(", ")) +
                     QStringLiteral(" fehlt der Basiszinssatz (Offene Posten - Basiszinssätze).");
        }
    }
    if (!b.Frueher.isEmpty()) {
        t << QString();
        for (const TMahnung& m : b.Frueher)
            t << QStringLiteral("bereits versandt: ") + MahnstufeName(m.Stufe) + QStringLiteral(" vom ") +
                     DruckDate(m.Datum);
    }
    FFiguren->setText(t.join(u'\n'));
}

bool TMahnen::Mail(TReport& report) {
    const TMailSetting setting = GetMailSetting(DM->Query1);
    if (setting.Host.trimmed().isEmpty() || setting.User.trimmed().isEmpty()) {
        Messages::warning(
            QStringLiteral("Bitte überprüfen Sie Ihre Mail-Einstellungen unter Einstellungen - Allgemein!"));
        return false;
    }
    DM->Query1.RunSQL(QStringLiteral("select EMail from Kunde K, Kopf B where B.KopfTyp = ") +
                      SQLQuote(FTyp) + QStringLiteral(" and B.KopfID = ") + QString::number(FKopfID) +
                      QStringLiteral(" and K.KundenID = B.KundenID"));
    const QString adresse = DM->Query1.IsEmpty() ? QString() : DM->Query1.Fields(0)->AsString().trimmed();
    if (!adresse.contains(u'@') || adresse.size() < 6) {
        Messages::error(QStringLiteral("Beim Kunden der ") + BelegName(FTyp, FKopfID) +
                        QStringLiteral(" ist keine gültige EMail-Adresse definiert!"));
        return false;
    }
    const int stufe = FStufe->currentData().toInt();
    TMailMessage message = DokumentMail(*DM, FTyp, FKopfID, FKopie->isChecked());
    message.Subject = MahnstufeName(stufe) + QStringLiteral(" zur ") + message.Subject;
    const QString satz = QStringLiteral("hiermit übersenden wir Ihnen ");
    const int i = message.Body.indexOf(satz);
    if (i >= 0) {
        const int ende = message.Body.indexOf(u'\n', i);
        message.Body.replace(i, (ende < 0 ? message.Body.size() : ende) - i,
                             satz +
                                 (stufe == 1 ? QStringLiteral("eine Zahlungserinnerung")
                                             : QStringLiteral("unsere ") + MahnstufeName(stufe)) +
                                 QStringLiteral(" zur ") + BelegName(FTyp, FKopfID) +
                                 QStringLiteral(" in der Anlage."));
    }
    const QString name = (stufe == 1 ? QStringLiteral("Zahlungserinnerung-") : QStringLiteral("Mahnung-")) +
                         FTyp + QString::number(FKopfID) + QStringLiteral(".pdf");
    return SendReportPdfMail(report, name, message, setting);
}

namespace {

void Speichern(const QString& typ, int kopfId, const TMahnAuftrag& a) {
    TMahnBerechnung b;
    if (!BerechneMahnung(*DM, typ, kopfId, a, b))
        return;
    SaveMahnung(*DM, typ, kopfId, {a.Stufe, a.Datum, b.Gebuehr, b.Zins.Zinsen});
}

} // namespace

void TMahnen::BitBtnDruckenClick() {
    const TMahnAuftrag a = Auftrag();
    const int run = PrepareMahnung(*DM, FTyp, FKopfID, a);
    if (run == 0)
        return;
    auto deleteBuffer = [run] {
        try {
            DM->QueryRv9.Close();
            DM->DeletePrintData(run);
        } catch (...) {
        }
    };
    bool ausgegeben = false;
    try {
        TReport report;
        OpenDruckReport(*DM, report, FTyp, FKopfID, true);
        if (FVorschau->isChecked()) {
            report.SetDestination(TReportDestination::Preview);
            report.Execute(DruckReport);
            ausgegeben = true;
            if (FVersand->isChecked() &&
                Messages::question(QStringLiteral("Soll die ") + MahnstufeName(a.Stufe) +
                                   QStringLiteral(" per Email versendet werden?")) == Messages::Yes)
                Mail(report);
        } else if (FVersand->isChecked()) {
            ausgegeben = Mail(report);
        } else {
            report.SetDestination(TReportDestination::Printer);
            report.Execute(DruckReport);
            ausgegeben = true;
        }
    } catch (const EReportError& e) {
        deleteBuffer();
        Messages::error(e.message());
        return;
    } catch (...) {
        deleteBuffer();
        throw;
    }
    deleteBuffer();
    if (ausgegeben)
        Speichern(FTyp, FKopfID, a);
    Berechnen();
}

void TMahnen::BitBtnPdfClick() {
    const TMahnAuftrag a = Auftrag();
    QString folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (folder.isEmpty() || !QDir(folder).exists())
        folder = QDir::homePath();
    const QString file = ChoosePdfFile
                             ? ChoosePdfFile(this, folder + QStringLiteral("/Mahnung-") + FTyp +
                                                       QString::number(FKopfID) + QStringLiteral(".pdf"))
                             : QString();
    if (file.isEmpty())
        return;
    try {
        if (!RenderMahnungPdf(*DM, FTyp, FKopfID, a, file))
            return;
    } catch (const EReportError& e) {
        Messages::error(e.message());
        return;
    }
    Speichern(FTyp, FKopfID, a);
    Messages::info(QStringLiteral("Die ") + MahnstufeName(a.Stufe) + QStringLiteral(" wurde in die Datei ") +
                   file + QStringLiteral(" gespeichert."));
    Berechnen();
}
