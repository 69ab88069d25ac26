#include "DruckMail.h"

#include "Beleg.h"
#include "DruckAusgabe.h"
#include "GlobalFunctions.h"
#include "Messages.h"
#include "QuorventFunctions.h"
#include "TReport.h"
#include "UDM.h"
#include "UEmailAnzeige.h"

#include <QApplication>
#include <QEventLoop>
#include <QFile>
#include <QProgressDialog>
#include <QThread>

#include <memory>

std::function<TSmtpResult(const TSmtpSettings&, const TMailMessage&)> DruckMailTransport =
    [](const TSmtpSettings& settings, const TMailMessage& message) {
        return SendMailWithProgress(settings, message, QApplication::activeWindow());
    };

namespace {

// How the text names the document: "hiermit übersenden wir Ihnen den Auftrag".
QString DokumentPhrase(const QString& typ) {
    if (typ == QLatin1String("O"))
        return QStringLiteral("das Angebot");
    if (typ == QLatin1String("A"))
        return QStringLiteral("den Auftrag");
    if (typ == QLatin1String("L"))
        return QStringLiteral("den Lieferschein");
    return DokTypMitArtikel(typ);
}

QString Text(TSQLiteQuery& q, const char* field) {
    return q.IsEmpty() ? QString() : q.FieldByName(QLatin1String(field))->AsString();
}

// Deletes the file when the mail step ends, however it ends.
struct TRemoveFile {
    QString File;
    ~TRemoveFile() {
        if (!File.isEmpty())
            QFile::remove(File);
    }
};

} // namespace

QString MailAnrede(const QString& anredeBez, const QString& nachname) {
    const QString anrede = anredeBez.trimmed();
    if (anrede == QLatin1String("Herr") || anrede == QLatin1String("Herrn"))
        return QStringLiteral("Sehr geehrter Herr ") + nachname + u',';
    if (anrede == QLatin1String("Frau"))
        return QStringLiteral("Sehr geehrte Frau ") + nachname + u',';
    return QStringLiteral("Sehr geehrte Damen und Herren,");
}

TMailMessage DokumentMail(TDM& dm, const QString& typ, int kopfId, bool kopie) {
    TSQLiteQuery& q = dm.Query1;
    q.RunSQL(QStringLiteral("select KundenID from Kopf where KopfTyp = ") + SQLQuote(typ) +
             QStringLiteral(" and KopfID = ") + QString::number(kopfId));
    const QString partner = QString::number(q.IsEmpty() ? 0 : q.Fields(0)->AsLargeInt());

    // The salutation is looked up beside the address, not required for it:
    // a partner without one still gets the mail, greeted in general terms.
    if (DokTypMitLieferant(typ))
        q.RunSQL(QStringLiteral("select L.AnspAnredeID, L.AnspNachname as Nachname, L.AnspEmail as Email, "
                                "A.AnredeBez from Lieferant L left join Anrede A on A.AnredeID = "
                                "L.AnspAnredeID where L.LieferantenID = ") +
                 partner);
    else
        q.RunSQL(QStringLiteral("select K.AnredeID, K.Nachname, K.Email, A.AnredeBez from Kunde K left join "
                                "Anrede A on A.AnredeID = K.AnredeID where K.KundenID = ") +
                 partner);
    const QString address = Text(q, "Email");
    const QString anrede = MailAnrede(Text(q, "AnredeBez"), Text(q, "Nachname"));

    TMailMessage m;
    m.To = {{QString(), address}};
    m.Subject = DokTypNummerDruck(typ) + QString::number(kopfId);

    q.RunSQL(QStringLiteral("select * from Geschaeft"));
    const QString name = Text(q, "Name");
    const QString email = Text(q, "Email");
    QString mailText = Text(q, "MailText");
    mailText.replace(QStringLiteral("\r\n"), QStringLiteral("\n")).replace(u'\r', u'\n');
    QStringList body;
    body << anrede << QString()
         << QStringLiteral("hiermit übersenden wir Ihnen ") + DokumentPhrase(typ) +
                QStringLiteral(" in der Anlage.")
         << QString() << QString() << mailText << QString() << QString()
         << QStringLiteral("Mit freundlichen Grüßen") << QString() << name << Text(q, "Strasse")
         << Text(q, "PLZ") + u' ' + Text(q, "Ort") << QStringLiteral("Tel.: ") + Text(q, "Telefon")
         << QStringLiteral("Fax: ") + Text(q, "Fax") << QStringLiteral("Mobil: ") + Text(q, "Mobil");
    if (!Text(q, "Web").isEmpty())
        body << QStringLiteral("Web: ") + Text(q, "Web");
    m.Body = body.join(u'\n');
    m.From = {name, email};
    if (kopie)
        m.Bcc = {{name, email}};
    return m;
}

bool SendReportPdfMail(TReport& report, const QString& pdfName, TMailMessage message,
                       const TMailSetting& setting) {
    const QString pdfFile = DataFolder() + pdfName;
    TRemoveFile removePdf{pdfFile};
    WriteReportPdf(report, pdfFile);
    QFile pdf(pdfFile);
    if (!pdf.open(QIODevice::ReadOnly)) {
        Messages::error(QStringLiteral("Die Datei \"") + pdfFile +
                        QStringLiteral("\" kann nicht gelesen werden!"));
        return false;
    }
    message.Attachments = {{pdfName, "application/pdf", pdf.readAll()}};
    pdf.close();
    if (!TDruckXRechnung::Xml().isEmpty())
        message.Attachments.append({TDruckXRechnung::FileName(), "application/xml", TDruckXRechnung::Xml()});

    TSmtpSettings smtp;
    smtp.Host = setting.Host;
    smtp.Auth = setting.Auth;
    smtp.User = setting.User;
    smtp.Password = setting.Password;
    smtp.CaFile = setting.CaFile;
    const TSmtpResult sent = DruckMailTransport(smtp, message);
    if (!sent.Ok) {
        Messages::error(sent.Error);
        return false;
    }
    Messages::info(QStringLiteral("Email-Versand wurde erfolgreich durchgeführt!"));
    return true;
}

TDrucken::TVersand SendDocumentMail(TReport& report, const QString& typ, int kopfId, bool kopie,
                                    bool anzeigen) {
    TDrucken::TVersand result;
    // Checked before anything is rendered: without a server there is nothing
    // to send, and no file is left behind.
    const TMailSetting setting = GetMailSetting(DM->Query1);
    if (setting.Host.trimmed().isEmpty() || setting.User.trimmed().isEmpty()) {
        Messages::warning(
            QStringLiteral("Bitte überprüfen Sie Ihre Mail-Einstellungen unter Einstellungen - Allgemein!"));
        result.Abschliessen = true;
        return result;
    }
    TMailMessage message = DokumentMail(*DM, typ, kopfId, kopie);
    const QString pdfName = typ + QString::number(kopfId) + QStringLiteral(".pdf");
    if (anzeigen) {
        // Shown before anything is rendered: nothing to clean up when the
        // user decides against it.
        message.Attachments = {{pdfName, "application/pdf", {}}};
        if (!TDruckXRechnung::Xml().isEmpty())
            message.Attachments.append({TDruckXRechnung::FileName(), "application/xml", {}});
        if (!TEmailAnzeige::Show(message, QApplication::activeWindow())) {
            result.Abschliessen = true;
            return result;
        }
    }

    if (!SendReportPdfMail(report, pdfName, message, setting))
        return result;
    result.Ausgegeben = true;
    result.Abschliessen = true;
    return result;
}

TSmtpResult SendMailWithProgress(const TSmtpSettings& settings, const TMailMessage& message,
                                 QWidget* parent) {
    std::atomic_bool cancel{false};
    TSmtpResult result;
    std::unique_ptr<QThread> worker(QThread::create(
        [&settings, &message, &cancel, &result] { result = SendSmtpMail(settings, message, &cancel); }));

    QProgressDialog progress(QStringLiteral("Die E-Mail wird an den Mail-Server übergeben ..."),
                             QStringLiteral("Abbrechen"), 0, 0, parent);
    progress.setWindowTitle(QStringLiteral("Email-Versand"));
    progress.setWindowModality(Qt::ApplicationModal);
    progress.setMinimumDuration(0);
    progress.setAutoClose(false);
    progress.setAutoReset(false);
    progress.setObjectName(QStringLiteral("MailProgress"));
    QObject::connect(&progress, &QProgressDialog::canceled, &progress, [&cancel, &progress] {
        cancel = true;
        // The window stays until the transport has let go of the connection.
        progress.show();
        progress.setLabelText(QStringLiteral("Der Versand wird abgebrochen ..."));
    });

    QEventLoop loop;
    QObject::connect(worker.get(), &QThread::finished, &loop, &QEventLoop::quit);
    worker->start();
    progress.show();
    if (!worker->isFinished())
        loop.exec();
    worker->wait();
    progress.close();
    return result;
}
