// The hybrid e-invoice: the printed PDF with its EN 16931 XML embedded as
// "factur-x.xml" (PDF/A-3 associated file) and the Factur-X XMP metadata of
// the EN 16931 profile, so that a person reads the page and accounting
// software imports the data.
#pragma once

#include <QByteArray>
#include <QString>

// The name the XML has inside the PDF; readers look for exactly this name.
inline constexpr const char* FacturXDateiname = "factur-x.xml";

// The PDF (best a PDF/A-1b as Qt writes it) with the XML embedded and its
// metadata raised to PDF/A-3 with the Factur-X description. The pages stay as
// they are. False with a German message when the PDF cannot be read.
bool EmbedEInvoice(const QByteArray& pdf, const QByteArray& xml, QByteArray* hybrid, QString* fehler);
// The same on a file: the PDF file is replaced by its hybrid, whole or not at all.
bool EmbedEInvoiceFile(const QString& pdfFile, const QByteArray& xml, QString* fehler);
