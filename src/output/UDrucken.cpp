#include "UDrucken.h"

#include "Beleg.h"
#include "DruckAusgabe.h"
#include "EInvoice.h"
#include "EInvoiceArchiv.h"
#include "GlobalFunctions.h"
#include "KundeERechnung.h"
#include "MailMessage.h"
#include "Messages.h"
#include "QuorventFunctions.h"
#include "TDBDataLink.h"
#include "TReport.h"
#include "UDM.h"
#include "UPage.h"
#include "ui_UDrucken.h"

#include <QScreen>

std::function<TDrucken::TVersand(TReport&, const QString&, int, bool, bool)> TDrucken::SendMail;

namespace {

// The buffer rows of a run go when the run ends, however it ends.
void DeleteBuffer(int run) noexcept {
    try {
        DM->QueryRv9.Close();
        DM->DeletePrintData(run);
    } catch (...) {
    }
}

bool Locate(TSQLiteTable& kopf, const QString& typ, int kopfId) {
    return kopf.Locate(QStringLiteral("KopfTyp;KopfID"), QVariantList{typ, kopfId});
}

} // namespace

TDrucken::TDrucken(QWidget* parent) : QDialog(parent), ui(new Ui::TDrucken) {
    ui->setupUi(this);
    connect(ui->BitBtnDrucken, &QPushButton::clicked, this, &TDrucken::BitBtnDruckenClick);
    connect(ui->BitBtnClose, &QPushButton::clicked, this, &QDialog::reject);
    // A payment reminder is no invoice: it never carries the e-invoice.
    connect(ui->CBZE, &QCheckBox::toggled, ui->CBERechnung,
            [this](bool on) { ui->CBERechnung->setEnabled(!on); });
}

TDrucken::~TDrucken() {
    delete ui;
}

void TDrucken::prepare(const QString& typ, int kopfId) {
    TPage::ApplyStyle(0, this);
    FTyp = typ;
    FKopfID = kopfId;
    ui->PTitel->setText(QStringLiteral("   Drucken - ") + DokTypName(typ) + QStringLiteral(" Nr. ") +
                        QString::number(kopfId));
    ui->CBZE->setVisible(typ == QLatin1String("R") || typ == QLatin1String("T"));
    ui->CBERechnung->setVisible(DokTypAbschliessbar(typ));
    DM->TableKopf.Close();
    DM->TableKopf.Open();
    Locate(DM->TableKopf, typ, kopfId);
    // The format the customer gets its e-invoices in decides what the mail
    // carries: ZUGFeRD in the PDF, or the XRechnung beside a plain PDF.
    // Without a setting the box keeps what was chosen last.
    FFormat = QStringLiteral("N");
    if (DokTypAbschliessbar(typ)) {
        DM->Query1.RunSQL(QStringLiteral("select KundenID from Kopf where KopfTyp = ") + SQLQuote(typ) +
                          QStringLiteral(" and KopfID = ") + QString::number(kopfId));
        if (!DM->Query1.IsEmpty())
            FFormat = LeseKundeERechnung(*DM, DM->Query1.Fields(0)->AsLargeInt()).Format;
        DM->Query1.Close();
    }
    if (FFormat == QLatin1String("Z"))
        ui->CBERechnung->setChecked(true);
    else if (FFormat == QLatin1String("X"))
        ui->CBERechnung->setChecked(false);
    ui->LabERechnungFormat->setVisible(DokTypAbschliessbar(typ));
    ui->LabERechnungFormat->setText(
        FFormat == QLatin1String("X")
            ? QStringLiteral("E-Rechnung des Kunden: XRechnung (als XML-Datei zur Email)")
        : FFormat == QLatin1String("Z") ? QStringLiteral("E-Rechnung des Kunden: ZUGFeRD-PDF")
                                        : QStringLiteral("E-Rechnung des Kunden: keine festgelegt"));
}

void TDrucken::Show(const QString& typ, int kopfId) {
    bool ok = false;
    RunDataAction([&] {
        prepare(typ, kopfId);
        ok = true;
    });
    if (!ok)
        return;
    adjustSize();
    if (const QScreen* s = screen())
        move(s->availableGeometry().center() - rect().center());
    exec();
}

bool TDrucken::CheckMailAddress(const QString& partner) {
    const bool lieferant = DokTypMitLieferant(FTyp);
    // The number goes into the statement as a number only.
    const QString nr = partner.isEmpty() ? QStringLiteral("null") : QString::number(partner.toLongLong());
    if (lieferant)
        DM->Query1.RunSQL(QStringLiteral("select AnspEmail from Lieferant where LieferantenID = ") + nr);
    else
        DM->Query1.RunSQL(QStringLiteral("select EMail from Kunde where KundenID = ") + nr);
    const QString address = DM->Query1.IsEmpty() ? QString() : DM->Query1.Fields(0)->AsString();
    if (!address.contains(u'@') || address.size() < 6) {
        Messages::error(lieferant ? QStringLiteral("Beim Ansprechpartner vom Lieferanten ") + partner +
                                        QStringLiteral(" ist keine gültige EMail-Adresse definiert!")
                                  : QStringLiteral("Beim Kunden ") + partner +
                                        QStringLiteral(" ist keine gültige EMail-Adresse definiert!"));
        return false;
    }
    // Long enough and with an "@", but garbled (a line break, a second
    // address, a name around it): nothing is rendered for it.
    if (!IsMailAddress(address)) {
        Messages::error(QStringLiteral("Die EMail-Adresse \"") + VisibleMailAddress(address) +
                        (lieferant ? QStringLiteral("\" beim Ansprechpartner vom Lieferanten ")
                                   : QStringLiteral("\" beim Kunden ")) +
                        partner + QStringLiteral(" ist keine gültige Adresse!"));
        return false;
    }
    return true;
}

void TDrucken::SaveStatus(const QString& status) {
    TSQLiteTable& kopf = DM->TableKopf;
    if (!kopf.Active())
        kopf.Open();
    if (!Locate(kopf, FTyp, FKopfID))
        return;
    kopf.Edit();
    kopf.FieldByName(QStringLiteral("Status"))->SetAsString(status);
    try {
        kopf.Post();
    } catch (...) {
        if (kopf.State() != TDataSetState::Browse)
            kopf.Cancel();
        throw;
    }
}

bool TDrucken::Output(TReport& report, bool& abschliessen) {
    abschliessen = true;
    const bool versand = ui->CBVersand->isChecked();
    // HOOK (e-mail): the document goes out as a PDF file through SendMail.
    auto mail = [&](bool anzeigen) -> TVersand {
        if (!SendMail) {
            Messages::warning(QStringLiteral("Der Email-Versand ist in dieser Version nicht verfügbar!"));
            return {};
        }
        return SendMail(report, FTyp, FKopfID, ui->CBKopie->isChecked(), anzeigen);
    };
    if (ui->CBVorschau->isChecked()) {
        report.SetDestination(TReportDestination::Preview);
        report.Execute(DruckReport);
        // The preview was shown: the document counts as printed, whatever
        // becomes of the mail. "Anzeigen…" shows the mail before it goes.
        if (versand) {
            const Messages::Answer answer =
                Messages::questionWithThird(QStringLiteral("Soll ") + DokTypMitArtikel(FTyp) +
                                                QStringLiteral(" per Email versendet werden?"),
                                            QStringLiteral("&Anzeigen…"));
            if (answer != Messages::No) {
                try {
                    abschliessen = mail(answer == Messages::Cancel).Abschliessen;
                } catch (const EReportError& e) {
                    // A PDF that could not be written sends nothing; the
                    // preview still was the output.
                    Messages::error(e.message());
                    abschliessen = false;
                }
            }
        }
        return true;
    }
    if (versand) {
        const TVersand v = mail(false);
        abschliessen = v.Abschliessen;
        return v.Ausgegeben;
    }
    report.SetDestination(TReportDestination::Printer);
    report.Execute(DruckReport);
    return true;
}

void TDrucken::BitBtnDruckenClick() {
    RunDataAction([this] {
        // 1. and 2. The partner, and its address when the document is mailed.
        bool found = Locate(DM->TableKopf, FTyp, FKopfID);
        if (!found) {
            DM->TableKopf.Close();
            DM->TableKopf.Open();
            found = Locate(DM->TableKopf, FTyp, FKopfID);
        }
        // A document that is gone meanwhile is reported by the preparation;
        // the row the table stands on then belongs to another one.
        if (found && ui->CBVersand->isChecked() &&
            !CheckMailAddress(DM->TableKopf.FieldByName(QStringLiteral("KundenID"))->AsString()))
            return;

        // 3. and 4. The print data; a refusal has shown its message.
        const bool reminder =
            ui->CBZE->isChecked() && (FTyp == QLatin1String("R") || FTyp == QLatin1String("T"));
        // The e-invoice for the mailed PDF, checked before anything is
        // printed: a document that cannot be one is refused with what is missing.
        QByteArray eRechnung;
        if (ui->CBVersand->isChecked() && ui->CBERechnung->isChecked() && DokTypAbschliessbar(FTyp) &&
            !reminder) {
            QString fehler;
            eRechnung = IssuedEInvoice(*DM, FTyp, FKopfID, &fehler);
            if (eRechnung.isEmpty()) {
                Messages::warning(fehler);
                return;
            }
        }
        // A customer who takes XRechnung gets it beside the PDF, refused
        // before anything is printed when a piece is missing.
        QByteArray xRechnung;
        if (ui->CBVersand->isChecked() && FFormat == QLatin1String("X") && DokTypAbschliessbar(FTyp) &&
            !reminder) {
            QString fehler;
            xRechnung = BuildEInvoice(*DM, FTyp, FKopfID, &fehler, true);
            if (xRechnung.isEmpty()) {
                Messages::warning(fehler);
                return;
            }
        }
        const TDruckXRechnung beside(
            QStringLiteral("xrechnung-") + QString::number(FKopfID) + QStringLiteral(".xml"), xRechnung);
        const TDruckEInvoice embed(eRechnung);
        const int run = DM->PreparePrintData(FTyp, FKopfID, reminder);
        if (run == 0)
            return;

        // 5. to 7. The page, the output and then the status: a document is
        // printed only once its output has worked (a preview that was shown
        // counts). A report, printer or file that fails leaves the status as
        // it was and shows why.
        bool abschliessen = false;
        try {
            TReport report;
            OpenDruckReport(*DM, report, FTyp, FKopfID, ui->CBMitdrucken->isChecked());
            if (!Output(report, abschliessen)) {
                DeleteBuffer(run);
                return;
            }
            Locate(DM->TableKopf, FTyp, FKopfID);
            if (DM->TableKopf.FieldByName(QStringLiteral("Status"))->AsString() == StatusErfasst)
                SaveStatus(StatusNachAusgabe(StatusErfasst));
        } catch (const EReportError& e) {
            DeleteBuffer(run);
            Messages::error(e.message());
            return;
        } catch (...) {
            DeleteBuffer(run);
            throw;
        }

        // 8. The buffer has served its purpose.
        DM->QueryRv9.Close();
        DM->DeletePrintData(run);

        // 9. The close question for the document types that can be closed.
        if (abschliessen && DokTypAbschliessbar(FTyp)) {
            DM->Query1.RunSQL(QStringLiteral("select Status from Kopf where KopfTyp = ") + SQLQuote(FTyp) +
                              QStringLiteral(" and KopfID = ") + QString::number(FKopfID));
            const QString status = DM->Query1.IsEmpty() ? QString() : DM->Query1.Fields(0)->AsString();
            if (!DM->Query1.IsEmpty() && !StatusGeschlossen(status) &&
                Messages::question(QStringLiteral("Soll ") + DokTypMitArtikel(FTyp) +
                                       QStringLiteral(" abgeschlossen werden? \r\nACHTUNG: Danach können "
                                                      "keine Änderungen mehr gemacht werden!"),
                                   false, Messages::No) == Messages::Yes)
                SaveStatus(StatusAbgeschlossen);
        }

        // 10. The document list shows the new status, on the same document.
        if (!DM->QueryKopf.SQL().isEmpty())
            DM->ReopenQueryKopf(FTyp, FKopfID);
    });
}
