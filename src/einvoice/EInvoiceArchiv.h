// The e-invoice of a document as it was issued. A closed invoice, partial
// invoice, cancellation invoice or credit note keeps the XML it had when it
// was closed (a closed one of an older file: the first time it is output),
// so that every later export, mail or hybrid PDF carries the same bytes; an
// open document gets its XML built anew each time.
#pragma once

#include <QByteArray>
#include <QString>

class TDM;

// The XML, or an empty array and the German message that names what is missing.
QByteArray IssuedEInvoice(TDM& dm, const QString& typ, int kopfId, QString* fehler);

// Lets the data module keep the e-invoice of every document it sees closed.
void InstallEInvoiceArchiv();
