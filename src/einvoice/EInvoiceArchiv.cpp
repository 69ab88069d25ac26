#include "EInvoiceArchiv.h"

#include "Beleg.h"
#include "EInvoice.h"
#include "UDM.h"

QByteArray IssuedEInvoice(TDM& dm, const QString& typ, int kopfId, QString* fehler) {
    const bool geschlossen = DokTypAbschliessbar(typ) && dm.DokumentGeschlossen(typ, kopfId);
    if (geschlossen) {
        // A document closed before anything was kept: its print data and
        // its e-invoice are kept together, from the same data.
        if (!dm.HasIssuedPrintData(typ, kopfId))
            dm.KeepIssuedDocument(typ, kopfId);
        const QByteArray kept = dm.IssuedEInvoiceXml(typ, kopfId);
        if (!kept.isEmpty())
            return kept;
    }
    const QByteArray xml = BuildEInvoice(dm, typ, kopfId, fehler);
    if (geschlossen && !xml.isEmpty())
        dm.KeepIssuedEInvoiceXml(typ, kopfId, xml);
    return xml;
}

void InstallEInvoiceArchiv() {
    TDM::ERechnungAufbewahren = [](TDM& dm, const QString& typ, int kopfId) {
        // A document that cannot be an e-invoice yet keeps none: its XML is
        // kept the first time it can be built.
        QString fehler;
        IssuedEInvoice(dm, typ, kopfId, &fehler);
    };
}
