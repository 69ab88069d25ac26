// Reading an incoming e-invoice: one pass of a streaming XML reader over the
// file, each element's text handed over with its path below the root. The
// ZUGFeRD 1.0 names are mapped onto those of today's CII, so both are read by
// one table of paths.
// qpdf's old pointer type is not used here.
#define POINTERHOLDER_TRANSITION 4

#include "Eingangsrechnung.h"

#include <QHash>
#include <QXmlStreamReader>

#include <qpdf/Buffer.hh>
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFEmbeddedFileDocumentHelper.hh>
#include <qpdf/QPDFFileSpecObjectHelper.hh>

namespace {

// ZUGFeRD 1.0 element names with the same meaning in CII D16B.
QString Zf1Name(const QString& name, bool inLine) {
    static const QHash<QString, QString> names{
        {QStringLiteral("HeaderExchangedDocument"), QStringLiteral("ExchangedDocument")},
        {QStringLiteral("SpecifiedExchangedDocumentContext"), QStringLiteral("ExchangedDocumentContext")},
        {QStringLiteral("SpecifiedSupplyChainTradeTransaction"),
         QStringLiteral("SupplyChainTradeTransaction")},
        {QStringLiteral("ApplicableSupplyChainTradeAgreement"),
         QStringLiteral("ApplicableHeaderTradeAgreement")},
        {QStringLiteral("ApplicableSupplyChainTradeDelivery"),
         QStringLiteral("ApplicableHeaderTradeDelivery")},
        {QStringLiteral("ApplicableSupplyChainTradeSettlement"),
         QStringLiteral("ApplicableHeaderTradeSettlement")},
        {QStringLiteral("SpecifiedSupplyChainTradeAgreement"), QStringLiteral("SpecifiedLineTradeAgreement")},
        {QStringLiteral("SpecifiedSupplyChainTradeDelivery"), QStringLiteral("SpecifiedLineTradeDelivery")},
        {QStringLiteral("SpecifiedSupplyChainTradeSettlement"),
         QStringLiteral("SpecifiedLineTradeSettlement")},
        {QStringLiteral("ApplicablePercent"), QStringLiteral("RateApplicablePercent")},
    };
    if (name == QLatin1String("SpecifiedTradeSettlementMonetarySummation"))
        return inLine ? QStringLiteral("SpecifiedTradeSettlementLineMonetarySummation")
                      : QStringLiteral("SpecifiedTradeSettlementHeaderMonetarySummation");
    return names.value(name, name);
}

// "20160621" (format 102) as "2016-06-21"; other forms stay as written.
QString IsoDate(const QString& text) {
    const QString t = text.trimmed();
    if (t.size() == 8 && t.toLongLong() > 0)
        return t.left(4) + u'-' + t.mid(4, 2) + u'-' + t.mid(6, 2);
    return t;
}

QString GermanXmlError(const QXmlStreamReader& xml) {
    QString what;
    switch (xml.error()) {
    case QXmlStreamReader::PrematureEndOfDocumentError:
        what = xml.lineNumber() <= 1 && xml.columnNumber() == 0
                   ? QStringLiteral("Die Datei ist leer oder enthält kein XML.")
                   : QStringLiteral("Die Datei endet mitten im XML (abgeschnitten?).");
        break;
    case QXmlStreamReader::NotWellFormedError:
        what = QStringLiteral("Die Datei ist kein wohlgeformtes XML.");
        break;
    case QXmlStreamReader::UnexpectedElementError:
        what = QStringLiteral("Die Datei enthält ein unerwartetes XML-Element.");
        break;
    default:
        what = QStringLiteral("Die Datei kann nicht als XML gelesen werden.");
    }
    if (xml.lineNumber() > 1 || xml.columnNumber() > 0)
        what += QStringLiteral(" (Zeile %1, Spalte %2)").arg(xml.lineNumber()).arg(xml.columnNumber());
    return what;
}

struct TKnoten {
    QString Name;
    QXmlStreamAttributes Attribute;
    QString Text;
};

// The reader's state while it walks the file.
class TLeser {
public:
    explicit TLeser(TEingangsrechnung& r) : R(r) {}

    void Beginn(const QString& pfad) {
        if (R.Syntax == QLatin1String("UBL"))
            BeginnUbl(pfad);
        else
            BeginnCii(pfad);
    }
    void Ende(const QString& pfad, const TKnoten& k) {
        if (R.Syntax == QLatin1String("UBL"))
            EndeUbl(pfad, k);
        else
            EndeCii(pfad, k);
    }
    void Abschluss();

private:
    TEingangsrechnung& R;
    QString Waehrung() const { return R.Wert(QStringLiteral("BT-5")); }
    QList<QPair<QString, QString>> SteuerSummen; // (currency, amount) of BT-110 candidates
    QList<QPair<QString, QString>> SteuerIds;    // UBL PartyTaxScheme: (scheme, id) of the seller
    QString UblSchemaId, UblSchemaFirma;
    bool ZeileHatZuschlag = false;
    QString ZeileZuAbBetrag;

    void Setze(const QString& bt, const QString& text) {
        if (!R.BT.contains(bt))
            R.BT.insert(bt, text.trimmed());
    }
    static QString Plus(const QString& a, const QString& b) {
        qint64 x = 0, y = 0;
        DezimalMikro(a, &x);
        DezimalMikro(b, &y);
        return MikroText(x + y);
    }

    void BeginnCii(const QString& pfad);
    void EndeCii(const QString& pfad, const TKnoten& k);
    void BeginnUbl(const QString& pfad);
    void EndeUbl(const QString& pfad, const TKnoten& k);
};

const QString CiiAgr = QStringLiteral("SupplyChainTradeTransaction/ApplicableHeaderTradeAgreement/");
const QString CiiDlv = QStringLiteral("SupplyChainTradeTransaction/ApplicableHeaderTradeDelivery/");
const QString CiiStl = QStringLiteral("SupplyChainTradeTransaction/ApplicableHeaderTradeSettlement/");
const QString CiiSum = CiiStl + QStringLiteral("SpecifiedTradeSettlementHeaderMonetarySummation/");
const QString CiiZeile = QStringLiteral("SupplyChainTradeTransaction/IncludedSupplyChainTradeLineItem");

void TLeser::BeginnCii(const QString& pfad) {
    if (pfad == CiiZeile)
        R.Zeilen.append(TEingangsZeile());
    else if (pfad == CiiStl + QStringLiteral("ApplicableTradeTax"))
        R.Steuern.append(TEingangsSteuer());
    else if (pfad == CiiStl + QStringLiteral("SpecifiedTradeAllowanceCharge") ||
             pfad == CiiStl + QStringLiteral("SpecifiedLogisticsServiceCharge")) {
        R.ZuAbschlaege.append(TEingangsZuAbschlag());
        // A logistics service charge of ZUGFeRD EXTENDED is a charge.
        R.ZuAbschlaege.last().Zuschlag = pfad.endsWith(QLatin1String("LogisticsServiceCharge"));
    } else if (pfad == CiiAgr + QStringLiteral("AdditionalReferencedDocument"))
        R.Anhaenge.append(TEingangsAnhang());
    else if (pfad == CiiStl + QStringLiteral("SpecifiedTradeSettlementPaymentMeans"))
        R.Konten.append(TEingangsKonto());
    else if (pfad ==
             CiiZeile + QStringLiteral("/SpecifiedLineTradeSettlement/SpecifiedTradeAllowanceCharge")) {
        ZeileHatZuschlag = false;
        ZeileZuAbBetrag.clear();
    }
}

void TLeser::EndeCii(const QString& pfad, const TKnoten& k) {
    const QString t = k.Text.trimmed();
    if (pfad.startsWith(CiiZeile + u'/') && !R.Zeilen.isEmpty()) {
        TEingangsZeile& z = R.Zeilen.last();
        const QString p = pfad.mid(CiiZeile.size() + 1);
        if (p == QLatin1String("AssociatedDocumentLineDocument/LineID"))
            z.ID = t;
        else if (p == QLatin1String("AssociatedDocumentLineDocument/IncludedNote/Content"))
            z.Notiz = z.Notiz.isEmpty() ? t : z.Notiz + u'\n' + t;
        else if (p == QLatin1String("SpecifiedTradeProduct/Name"))
            z.Name = t;
        else if (p == QLatin1String("SpecifiedLineTradeDelivery/BilledQuantity")) {
            z.Menge = t;
            z.Einheit = k.Attribute.value(QLatin1String("unitCode")).toString().trimmed();
        } else if (p == QLatin1String("SpecifiedLineTradeAgreement/NetPriceProductTradePrice/ChargeAmount"))
            z.Preis = t;
        else if (p == QLatin1String("SpecifiedLineTradeAgreement/NetPriceProductTradePrice/BasisQuantity"))
            z.Basismenge = t;
        else if (p == QLatin1String("SpecifiedLineTradeSettlement/ApplicableTradeTax/CategoryCode"))
            z.Kategorie = t;
        else if (p == QLatin1String("SpecifiedLineTradeSettlement/ApplicableTradeTax/RateApplicablePercent"))
            z.Satz = t;
        else if (p == QLatin1String("SpecifiedLineTradeSettlement/"
                                    "SpecifiedTradeSettlementLineMonetarySummation/LineTotalAmount"))
            z.Netto = t;
        else if (p ==
                 QLatin1String(
                     "SpecifiedLineTradeSettlement/SpecifiedTradeAllowanceCharge/ChargeIndicator/Indicator"))
            ZeileHatZuschlag = t == QLatin1String("true") || t == QLatin1String("1");
        else if (p ==
                 QLatin1String("SpecifiedLineTradeSettlement/SpecifiedTradeAllowanceCharge/ActualAmount"))
            ZeileZuAbBetrag = t;
        else if (p == QLatin1String("SpecifiedLineTradeSettlement/SpecifiedTradeAllowanceCharge")) {
            if (ZeileHatZuschlag)
                z.Zuschlaege = Plus(z.Zuschlaege, ZeileZuAbBetrag);
            else
                z.Abschlaege = Plus(z.Abschlaege, ZeileZuAbBetrag);
        }
        return;
    }
    if (pfad == QLatin1String("ExchangedDocument/ID"))
        Setze(QStringLiteral("BT-1"), t);
    else if (pfad == QLatin1String("ExchangedDocument/TypeCode"))
        Setze(QStringLiteral("BT-3"), t);
    else if (pfad == QLatin1String("ExchangedDocument/IssueDateTime/DateTimeString"))
        Setze(QStringLiteral("BT-2"), IsoDate(t));
    else if (pfad == QLatin1String("ExchangedDocument/IncludedNote/Content"))
        R.Notizen << t;
    else if (pfad == QLatin1String("ExchangedDocumentContext/GuidelineSpecifiedDocumentContextParameter/ID"))
        Setze(QStringLiteral("BT-24"), t);
    else if (pfad == CiiAgr + QStringLiteral("BuyerReference"))
        Setze(QStringLiteral("BT-10"), t);
    else if (pfad == CiiAgr + QStringLiteral("SellerTradeParty/Name"))
        Setze(QStringLiteral("BT-27"), t);
    else if (pfad == CiiAgr + QStringLiteral("SellerTradeParty/SpecifiedTaxRegistration/ID")) {
        const QString scheme = k.Attribute.value(QLatin1String("schemeID")).toString();
        if (scheme == QLatin1String("VA"))
            Setze(QStringLiteral("BT-31"), t);
        else if (scheme == QLatin1String("FC"))
            Setze(QStringLiteral("BT-32"), t);
    } else if (pfad == CiiAgr + QStringLiteral("SellerTradeParty/PostalTradeAddress/CountryID"))
        Setze(QStringLiteral("BT-40"), t);
    else if (pfad == CiiAgr + QStringLiteral("BuyerTradeParty/Name"))
        Setze(QStringLiteral("BT-44"), t);
    else if (pfad == CiiAgr + QStringLiteral("BuyerOrderReferencedDocument/IssuerAssignedID"))
        Setze(QStringLiteral("BT-13"), t);
    else if (pfad == CiiAgr + QStringLiteral("ContractReferencedDocument/IssuerAssignedID"))
        Setze(QStringLiteral("BT-12"), t);
    else if (pfad.startsWith(CiiAgr + QStringLiteral("AdditionalReferencedDocument/")) &&
             !R.Anhaenge.isEmpty()) {
        TEingangsAnhang& a = R.Anhaenge.last();
        const QString p = pfad.mid(CiiAgr.size() + 29);
        if (p == QLatin1String("IssuerAssignedID"))
            a.ID = t;
        else if (p == QLatin1String("TypeCode"))
            a.Typ = t;
        else if (p == QLatin1String("Name"))
            a.Beschreibung = t;
        else if (p == QLatin1String("URIID"))
            a.URI = t;
        else if (p == QLatin1String("AttachmentBinaryObject")) {
            a.Inhalt = QByteArray::fromBase64(t.toLatin1());
            a.Dateiname = k.Attribute.value(QLatin1String("filename")).toString();
            a.MimeCode = k.Attribute.value(QLatin1String("mimeCode")).toString();
        }
    } else if (pfad == CiiAgr + QStringLiteral("AdditionalReferencedDocument") && !R.Anhaenge.isEmpty()) {
        // Only type 916 is an attachment (BG-24); 50 and 130 are references.
        if (!R.Anhaenge.last().Typ.isEmpty() && R.Anhaenge.last().Typ != QLatin1String("916"))
            R.Anhaenge.removeLast();
    } else if (pfad == CiiDlv + QStringLiteral("ShipToTradeParty/Name"))
        Setze(QStringLiteral("BT-70"), t);
    else if (pfad ==
             CiiDlv + QStringLiteral("ActualDeliverySupplyChainEvent/OccurrenceDateTime/DateTimeString"))
        Setze(QStringLiteral("BT-72"), IsoDate(t));
    else if (pfad == CiiStl + QStringLiteral("InvoiceCurrencyCode"))
        Setze(QStringLiteral("BT-5"), t);
    else if (pfad == CiiStl + QStringLiteral("TaxCurrencyCode"))
        Setze(QStringLiteral("BT-6"), t);
    else if (pfad == CiiStl + QStringLiteral("PaymentReference"))
        Setze(QStringLiteral("BT-83"), t);
    else if (pfad == CiiStl + QStringLiteral("PayeeTradeParty/Name"))
        Setze(QStringLiteral("BT-59"), t);
    else if (pfad == CiiStl + QStringLiteral("SpecifiedTradePaymentTerms/Description")) {
        // Exactly as written: XRechnung's cash-discount lines need their line feeds.
        R.Zahlungsbedingungen = R.HatZahlungsbedingungen ? R.Zahlungsbedingungen + u'\n' + k.Text : k.Text;
        R.HatZahlungsbedingungen = true;
    } else if (pfad == CiiStl + QStringLiteral("SpecifiedTradePaymentTerms/DueDateDateTime/DateTimeString"))
        Setze(QStringLiteral("BT-9"), IsoDate(t));
    else if (pfad.startsWith(CiiStl + QStringLiteral("SpecifiedTradeSettlementPaymentMeans/")) &&
             !R.Konten.isEmpty()) {
        TEingangsKonto& konto = R.Konten.last();
        const QString p = pfad.mid(CiiStl.size() + 37);
        if (p == QLatin1String("TypeCode"))
            konto.Art = t;
        else if (p == QLatin1String("PayeePartyCreditorFinancialAccount/IBANID"))
            konto.Konto = t;
        else if (p == QLatin1String("PayeePartyCreditorFinancialAccount/ProprietaryID") &&
                 konto.Konto.isEmpty())
            konto.Konto = t;
        else if (p == QLatin1String("PayeeSpecifiedCreditorFinancialInstitution/BICID"))
            konto.BIC = t;
    } else if (pfad.startsWith(CiiStl + QStringLiteral("ApplicableTradeTax/")) && !R.Steuern.isEmpty()) {
        TEingangsSteuer& s = R.Steuern.last();
        const QString p = pfad.mid(CiiStl.size() + 19);
        if (p == QLatin1String("CalculatedAmount"))
            s.Betrag = t;
        else if (p == QLatin1String("BasisAmount"))
            s.Basis = t;
        else if (p == QLatin1String("CategoryCode"))
            s.Kategorie = t;
        else if (p == QLatin1String("RateApplicablePercent"))
            s.Satz = t;
        else if (p == QLatin1String("ExemptionReason"))
            s.Grund = t;
    } else if ((pfad.startsWith(CiiStl + QStringLiteral("SpecifiedTradeAllowanceCharge/")) ||
                pfad.startsWith(CiiStl + QStringLiteral("SpecifiedLogisticsServiceCharge/"))) &&
               !R.ZuAbschlaege.isEmpty()) {
        TEingangsZuAbschlag& z = R.ZuAbschlaege.last();
        const QString p = pfad.mid(pfad.indexOf(u'/', CiiStl.size()) + 1);
        if (p == QLatin1String("ChargeIndicator/Indicator"))
            z.Zuschlag = t == QLatin1String("true") || t == QLatin1String("1");
        else if (p == QLatin1String("ActualAmount") || p == QLatin1String("AppliedAmount"))
            z.Betrag = t;
        else if (p == QLatin1String("CategoryTradeTax/CategoryCode") ||
                 p == QLatin1String("AppliedTradeTax/CategoryCode"))
            z.Kategorie = t;
        else if (p == QLatin1String("CategoryTradeTax/RateApplicablePercent") ||
                 p == QLatin1String("AppliedTradeTax/RateApplicablePercent"))
            z.Satz = t;
        else if (p == QLatin1String("Reason") || p == QLatin1String("Description"))
            z.Grund = t;
    } else if (pfad == CiiStl + QStringLiteral("InvoiceReferencedDocument/IssuerAssignedID"))
        R.Vorrechnungen << t;
    else if (pfad.startsWith(CiiSum)) {
        const QString p = pfad.mid(CiiSum.size());
        static const QHash<QString, QString> summen{
            {QStringLiteral("LineTotalAmount"), QStringLiteral("BT-106")},
            {QStringLiteral("AllowanceTotalAmount"), QStringLiteral("BT-107")},
            {QStringLiteral("ChargeTotalAmount"), QStringLiteral("BT-108")},
            {QStringLiteral("TaxBasisTotalAmount"), QStringLiteral("BT-109")},
            {QStringLiteral("GrandTotalAmount"), QStringLiteral("BT-112")},
            {QStringLiteral("TotalPrepaidAmount"), QStringLiteral("BT-113")},
            {QStringLiteral("RoundingAmount"), QStringLiteral("BT-114")},
            {QStringLiteral("DuePayableAmount"), QStringLiteral("BT-115")},
        };
        if (p == QLatin1String("TaxTotalAmount"))
            SteuerSummen.append({k.Attribute.value(QLatin1String("currencyID")).toString(), t});
        else if (summen.contains(p))
            Setze(summen.value(p), t);
    }
}

const QString UblLieferant = QStringLiteral("AccountingSupplierParty/Party/");

void TLeser::BeginnUbl(const QString& pfad) {
    if (pfad == QLatin1String("InvoiceLine") || pfad == QLatin1String("CreditNoteLine"))
        R.Zeilen.append(TEingangsZeile());
    else if (pfad == QLatin1String("TaxTotal/TaxSubtotal"))
        R.Steuern.append(TEingangsSteuer());
    else if (pfad == QLatin1String("AllowanceCharge"))
        R.ZuAbschlaege.append(TEingangsZuAbschlag());
    else if (pfad == QLatin1String("AdditionalDocumentReference"))
        R.Anhaenge.append(TEingangsAnhang());
    else if (pfad == QLatin1String("PaymentMeans"))
        R.Konten.append(TEingangsKonto());
    else if (pfad == UblLieferant + QStringLiteral("PartyTaxScheme")) {
        UblSchemaId.clear();
        UblSchemaFirma.clear();
    } else if (pfad.endsWith(QLatin1String("Line/AllowanceCharge"))) {
        ZeileHatZuschlag = false;
        ZeileZuAbBetrag.clear();
    }
}

void TLeser::EndeUbl(const QString& pfad, const TKnoten& k) {
    const QString t = k.Text.trimmed();
    const bool zeile =
        pfad.startsWith(QLatin1String("InvoiceLine/")) || pfad.startsWith(QLatin1String("CreditNoteLine/"));
    if (zeile && !R.Zeilen.isEmpty()) {
        TEingangsZeile& z = R.Zeilen.last();
        const QString p = pfad.mid(pfad.indexOf(u'/') + 1);
        if (p == QLatin1String("ID"))
            z.ID = t;
        else if (p == QLatin1String("Note"))
            z.Notiz = z.Notiz.isEmpty() ? t : z.Notiz + u'\n' + t;
        else if (p == QLatin1String("InvoicedQuantity") || p == QLatin1String("CreditedQuantity")) {
            z.Menge = t;
            z.Einheit = k.Attribute.value(QLatin1String("unitCode")).toString().trimmed();
        } else if (p == QLatin1String("LineExtensionAmount"))
            z.Netto = t;
        else if (p == QLatin1String("Item/Name"))
            z.Name = t;
        else if (p == QLatin1String("Item/ClassifiedTaxCategory/ID"))
            z.Kategorie = t;
        else if (p == QLatin1String("Item/ClassifiedTaxCategory/Percent"))
            z.Satz = t;
        else if (p == QLatin1String("Price/PriceAmount"))
            z.Preis = t;
        else if (p == QLatin1String("Price/BaseQuantity"))
            z.Basismenge = t;
        else if (p == QLatin1String("AllowanceCharge/ChargeIndicator"))
            ZeileHatZuschlag = t == QLatin1String("true") || t == QLatin1String("1");
        else if (p == QLatin1String("AllowanceCharge/Amount"))
            ZeileZuAbBetrag = t;
        else if (p == QLatin1String("AllowanceCharge")) {
            if (ZeileHatZuschlag)
                z.Zuschlaege = Plus(z.Zuschlaege, ZeileZuAbBetrag);
            else
                z.Abschlaege = Plus(z.Abschlaege, ZeileZuAbBetrag);
        }
        return;
    }
    static const QHash<QString, QString> einfach{
        {QStringLiteral("ID"), QStringLiteral("BT-1")},
        {QStringLiteral("IssueDate"), QStringLiteral("BT-2")},
        {QStringLiteral("InvoiceTypeCode"), QStringLiteral("BT-3")},
        {QStringLiteral("CreditNoteTypeCode"), QStringLiteral("BT-3")},
        {QStringLiteral("DocumentCurrencyCode"), QStringLiteral("BT-5")},
        {QStringLiteral("TaxCurrencyCode"), QStringLiteral("BT-6")},
        {QStringLiteral("DueDate"), QStringLiteral("BT-9")},
        {QStringLiteral("BuyerReference"), QStringLiteral("BT-10")},
        {QStringLiteral("ContractDocumentReference/ID"), QStringLiteral("BT-12")},
        {QStringLiteral("OrderReference/ID"), QStringLiteral("BT-13")},
        {QStringLiteral("CustomizationID"), QStringLiteral("BT-24")},
        {QStringLiteral("AccountingSupplierParty/Party/PartyLegalEntity/RegistrationName"),
         QStringLiteral("BT-27")},
        {QStringLiteral("AccountingSupplierParty/Party/PostalAddress/Country/IdentificationCode"),
         QStringLiteral("BT-40")},
        {QStringLiteral("AccountingCustomerParty/Party/PartyLegalEntity/RegistrationName"),
         QStringLiteral("BT-44")},
        {QStringLiteral("PayeeParty/PartyName/Name"), QStringLiteral("BT-59")},
        {QStringLiteral("Delivery/DeliveryParty/PartyName/Name"), QStringLiteral("BT-70")},
        {QStringLiteral("Delivery/ActualDeliveryDate"), QStringLiteral("BT-72")},
        {QStringLiteral("LegalMonetaryTotal/LineExtensionAmount"), QStringLiteral("BT-106")},
        {QStringLiteral("LegalMonetaryTotal/AllowanceTotalAmount"), QStringLiteral("BT-107")},
        {QStringLiteral("LegalMonetaryTotal/ChargeTotalAmount"), QStringLiteral("BT-108")},
        {QStringLiteral("LegalMonetaryTotal/TaxExclusiveAmount"), QStringLiteral("BT-109")},
        {QStringLiteral("LegalMonetaryTotal/TaxInclusiveAmount"), QStringLiteral("BT-112")},
        {QStringLiteral("LegalMonetaryTotal/PrepaidAmount"), QStringLiteral("BT-113")},
        {QStringLiteral("LegalMonetaryTotal/PayableRoundingAmount"), QStringLiteral("BT-114")},
        {QStringLiteral("LegalMonetaryTotal/PayableAmount"), QStringLiteral("BT-115")},
    };
    if (einfach.contains(pfad)) {
        Setze(einfach.value(pfad), t);
    } else if (pfad == QLatin1String("Note"))
        R.Notizen << t;
    else if (pfad == QLatin1String("BillingReference/InvoiceDocumentReference/ID"))
        R.Vorrechnungen << t;
    else if (pfad == QLatin1String("PaymentTerms/Note")) {
        R.Zahlungsbedingungen = R.HatZahlungsbedingungen ? R.Zahlungsbedingungen + u'\n' + k.Text : k.Text;
        R.HatZahlungsbedingungen = true;
    } else if (pfad == QLatin1String("TaxTotal/TaxAmount"))
        SteuerSummen.append({k.Attribute.value(QLatin1String("currencyID")).toString(), t});
    else if (pfad == UblLieferant + QStringLiteral("PartyTaxScheme/CompanyID"))
        UblSchemaFirma = t;
    else if (pfad == UblLieferant + QStringLiteral("PartyTaxScheme/TaxScheme/ID"))
        UblSchemaId = t;
    else if (pfad == UblLieferant + QStringLiteral("PartyTaxScheme"))
        SteuerIds.append({UblSchemaId, UblSchemaFirma});
    else if (pfad.startsWith(QLatin1String("TaxTotal/TaxSubtotal/")) && !R.Steuern.isEmpty()) {
        TEingangsSteuer& s = R.Steuern.last();
        const QString p = pfad.mid(21);
        if (p == QLatin1String("TaxableAmount"))
            s.Basis = t;
        else if (p == QLatin1String("TaxAmount"))
            s.Betrag = t;
        else if (p == QLatin1String("TaxCategory/ID"))
            s.Kategorie = t;
        else if (p == QLatin1String("TaxCategory/Percent"))
            s.Satz = t;
        else if (p == QLatin1String("TaxCategory/TaxExemptionReason"))
            s.Grund = t;
    } else if (pfad.startsWith(QLatin1String("AllowanceCharge/")) && !R.ZuAbschlaege.isEmpty()) {
        TEingangsZuAbschlag& z = R.ZuAbschlaege.last();
        const QString p = pfad.mid(16);
        if (p == QLatin1String("ChargeIndicator"))
            z.Zuschlag = t == QLatin1String("true") || t == QLatin1String("1");
        else if (p == QLatin1String("Amount"))
            z.Betrag = t;
        else if (p == QLatin1String("TaxCategory/ID"))
            z.Kategorie = t;
        else if (p == QLatin1String("TaxCategory/Percent"))
            z.Satz = t;
        else if (p == QLatin1String("AllowanceChargeReason"))
            z.Grund = t;
    } else if (pfad.startsWith(QLatin1String("PaymentMeans/")) && !R.Konten.isEmpty()) {
        TEingangsKonto& konto = R.Konten.last();
        const QString p = pfad.mid(13);
        if (p == QLatin1String("PaymentMeansCode"))
            konto.Art = t;
        else if (p == QLatin1String("PayeeFinancialAccount/ID"))
            konto.Konto = t;
        else if (p == QLatin1String("PayeeFinancialAccount/FinancialInstitutionBranch/ID"))
            konto.BIC = t;
        else if (p == QLatin1String("PaymentDueDate"))
            Setze(QStringLiteral("BT-9"), t);
        else if (p == QLatin1String("PaymentID"))
            Setze(QStringLiteral("BT-83"), t);
    } else if (pfad.startsWith(QLatin1String("AdditionalDocumentReference/")) && !R.Anhaenge.isEmpty()) {
        TEingangsAnhang& a = R.Anhaenge.last();
        const QString p = pfad.mid(28);
        if (p == QLatin1String("ID"))
            a.ID = t;
        else if (p == QLatin1String("DocumentTypeCode"))
            a.Typ = t;
        else if (p == QLatin1String("DocumentDescription"))
            a.Beschreibung = t;
        else if (p == QLatin1String("Attachment/ExternalReference/URI"))
            a.URI = t;
        else if (p == QLatin1String("Attachment/EmbeddedDocumentBinaryObject")) {
            a.Inhalt = QByteArray::fromBase64(t.toLatin1());
            a.Dateiname = k.Attribute.value(QLatin1String("filename")).toString();
            a.MimeCode = k.Attribute.value(QLatin1String("mimeCode")).toString();
        }
    } else if (pfad == QLatin1String("AdditionalDocumentReference") && !R.Anhaenge.isEmpty()) {
        // Type 130 (an invoiced object) and 50 (a tender) are references, not attachments.
        const QString typ = R.Anhaenge.last().Typ;
        if (typ == QLatin1String("130") || typ == QLatin1String("50"))
            R.Anhaenge.removeLast();
    }
}

void TLeser::Abschluss() {
    // BT-110 is the VAT total in the invoice currency; a second one may give
    // it in the VAT accounting currency (BT-111). Without a matching currency
    // the one without a currency counts, else the only one.
    const QString* vat = nullptr;
    for (const auto& summe : SteuerSummen)
        if (!vat && summe.first == Waehrung())
            vat = &summe.second;
    for (const auto& summe : SteuerSummen)
        if (!vat && summe.first.isEmpty())
            vat = &summe.second;
    if (!vat && SteuerSummen.size() == 1)
        vat = &SteuerSummen.first().second;
    if (vat)
        Setze(QStringLiteral("BT-110"), *vat);
    for (const auto& [scheme, id] : SteuerIds)
        Setze(scheme == QLatin1String("VAT") ? QStringLiteral("BT-31") : QStringLiteral("BT-32"), id);
    // BT-84: the first account.
    for (const TEingangsKonto& konto : R.Konten) {
        if (!konto.Konto.isEmpty()) {
            Setze(QStringLiteral("BT-84"), konto.Konto);
            break;
        }
    }
    if (R.HatZahlungsbedingungen)
        R.BT.insert(QStringLiteral("BT-20"), R.Zahlungsbedingungen);
}

} // namespace

TEingangsDatei LeseEingangsXml(const QByteArray& bytes) {
    TEingangsDatei d;
    d.Xml = bytes;
    TEingangsrechnung& r = d.Rechnung;
    if (bytes.trimmed().isEmpty()) {
        d.Fehler = QStringLiteral("Die Datei ist leer oder enthält kein XML.");
        return d;
    }
    QXmlStreamReader xml(bytes);
    QList<TKnoten> stapel;
    TLeser leser(r);
    bool zf1 = false;
    QString pfad; // of the element on top of the stack, below the root
    int zeilenTiefe = -1;
    while (!xml.atEnd()) {
        const auto token = xml.readNext();
        if (token == QXmlStreamReader::StartElement) {
            QString name = xml.name().toString();
            if (stapel.isEmpty()) {
                if (name == QLatin1String("CrossIndustryInvoice"))
                    r.Syntax = QStringLiteral("CII");
                else if (name == QLatin1String("CrossIndustryDocument")) {
                    r.Syntax = QStringLiteral("CII-ZF1");
                    zf1 = true;
                } else if (name == QLatin1String("Invoice") || name == QLatin1String("CreditNote"))
                    r.Syntax = QStringLiteral("UBL");
                else {
                    d.Fehler = QStringLiteral("Die Datei ist keine Rechnung: Ihr XML ist ein \"%1\", keine "
                                              "Rechnung oder Gutschrift (CII oder UBL).")
                                   .arg(name);
                    return d;
                }
                r.Wurzel = name;
                stapel.append({name, xml.attributes(), QString()});
                continue;
            }
            if (zf1) {
                if (name == QLatin1String("IncludedSupplyChainTradeLineItem"))
                    zeilenTiefe = int(stapel.size());
                name = Zf1Name(name, zeilenTiefe >= 0);
            }
            pfad = stapel.size() == 1 ? name : pfad + u'/' + name;
            stapel.append({name, xml.attributes(), QString()});
            leser.Beginn(pfad);
        } else if (token == QXmlStreamReader::Characters) {
            if (!stapel.isEmpty())
                stapel.last().Text += xml.text();
        } else if (token == QXmlStreamReader::EndElement) {
            if (stapel.isEmpty())
                break;
            const TKnoten knoten = stapel.takeLast();
            if (stapel.isEmpty())
                continue;
            leser.Ende(pfad, knoten);
            if (zeilenTiefe == int(stapel.size()))
                zeilenTiefe = -1;
            pfad = pfad.left(qMax(0, int(pfad.lastIndexOf(u'/'))));
        }
    }
    if (xml.hasError()) {
        d.Fehler = GermanXmlError(xml);
        d.Rechnung = TEingangsrechnung();
        return d;
    }
    if (r.Syntax.isEmpty()) {
        d.Fehler = QStringLiteral("Die Datei ist leer oder enthält kein XML.");
        return d;
    }
    leser.Abschluss();
    d.Gelesen = true;
    return d;
}

TEingangsDatei LeseEingangsrechnung(const QByteArray& bytes) {
    if (!bytes.startsWith("%PDF-"))
        return LeseEingangsXml(bytes);
    // A hybrid PDF carries the invoice as an embedded file under one of the
    // names its standard gives (ZUGFeRD 1.0, 2.x, Factur-X, XRechnung).
    static const QStringList namen{QStringLiteral("factur-x.xml"), QStringLiteral("zugferd-invoice.xml"),
                                   QStringLiteral("xrechnung.xml")};
    TEingangsDatei d;
    QStringList alle;
    QByteArray xml;
    QString gefunden;
    try {
        QPDF pdf;
        pdf.setSuppressWarnings(true);
        pdf.processMemoryFile("eingang.pdf", bytes.constData(), size_t(bytes.size()));
        QPDFEmbeddedFileDocumentHelper dateien(pdf);
        for (const auto& [name, eintrag] : dateien.getEmbeddedFiles()) {
            const QString n = QString::fromStdString(name);
            alle << n;
            if (gefunden.isEmpty() && namen.contains(n, Qt::CaseInsensitive)) {
                auto data = eintrag->getEmbeddedFileStream().getStreamData();
                xml =
                    QByteArray(reinterpret_cast<const char*>(data->getBuffer()), qsizetype(data->getSize()));
                gefunden = n;
            }
        }
    } catch (const std::exception&) {
        d.Fehler = QStringLiteral("Die PDF-Datei kann nicht gelesen werden (beschädigt oder unvollständig).");
        return d;
    }
    if (gefunden.isEmpty()) {
        d.Fehler = QStringLiteral("Das PDF enthält keine E-Rechnung (keine eingebettete Datei factur-x.xml, "
                                  "zugferd-invoice.xml, ZUGFeRD-invoice.xml oder xrechnung.xml).");
        d.PdfAnhaenge = alle;
        return d;
    }
    d = LeseEingangsXml(xml);
    d.EingebettetAls = gefunden;
    d.PdfAnhaenge = alle;
    if (!d.Gelesen)
        d.Fehler = QStringLiteral("Die im PDF eingebettete E-Rechnung %1: ").arg(gefunden) + d.Fehler;
    return d;
}
