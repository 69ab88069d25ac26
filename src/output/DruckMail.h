// The mail step of the print run: the document as a PDF file to the
// customer's address (for a purchase order, the supplier contact's), with a
// blind copy to the company when wished.
#pragma once

#include "MailMessage.h"
#include "SmtpTransport.h"
#include "UDrucken.h"

struct TMailSetting;

#include <QString>

#include <functional>

class QWidget;
class TDM;
class TReport;

// "Sehr geehrter Herr Berger," for "Herr" and "Herrn", "Sehr geehrte Frau
// Berger," for "Frau", "Sehr geehrte Damen und Herren," for anything else.
QString MailAnrede(const QString& anredeBez, const QString& nachname);

// The mail of a document without its attachment: sender (the company's name
// and address), the recipient from the customer or supplier contact,
// subject (number caption and number), the text with salutation, the
// company's mail text and its address lines, and the company as blind copy
// when `kopie` is set.
TMailMessage DokumentMail(TDM& dm, const QString& typ, int kopfId, bool kopie);

// The mail step for TDrucken::SendMail. The mail settings are checked
// first; incomplete ones are a warning and nothing is rendered. Otherwise
// with `anzeigen` the mail is shown first (TEmailAnzeige) and "Abbrechen"
// ends the step as if the mail had not been wanted; then the prepared report
// becomes DataFolder() + type + number + ".pdf", the mail is sent while a
// busy window shows, and the success or the transport's error is shown. The PDF file is deleted in every
// case. The run goes on to the close question only when the mail went out (or was never attempted for lack of
// settings).
// Renders the report to a PDF named pdfName (in the data folder, removed
// afterwards), attaches it to the message and sends it with the settings;
// every failure and the success are shown. True when it went out.
bool SendReportPdfMail(TReport& report, const QString& pdfName, TMailMessage message,
                       const TMailSetting& setting);
TDrucken::TVersand SendDocumentMail(TReport& report, const QString& typ, int kopfId, bool kopie,
                                    bool anzeigen);

// How SendDocumentMail sends: by default SendMailWithProgress. Tests look
// at the message on its way.
extern std::function<TSmtpResult(const TSmtpSettings&, const TMailMessage&)> DruckMailTransport;

// Sends on a worker thread while a modal busy window with "Abbrechen" keeps
// the program responsive; a server that does not answer can be given up.
TSmtpResult SendMailWithProgress(const TSmtpSettings& settings, const TMailMessage& message,
                                 QWidget* parent = nullptr);
