// qpdf's old pointer type is not used here.
#define POINTERHOLDER_TRANSITION 4

#include "HybridPdf.h"

#include "FileNames.h"

#include <QColorSpace>
#include <QFile>

#include <qpdf/Buffer.hh>
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFEFStreamObjectHelper.hh>
#include <qpdf/QPDFEmbeddedFileDocumentHelper.hh>
#include <qpdf/QPDFFileSpecObjectHelper.hh>
#include <qpdf/QPDFWriter.hh>
#include <qpdf/QUtil.hh>

#include <exception>
#include <string>

namespace {

const std::string FxNamespace = "urn:factur-x:pdfa:CrossIndustryDocument:invoice:1p0#";

// What a Factur-X reader looks for, and the PDF/A extension schema that
// PDF/A demands for every property outside its own vocabulary.
std::string FacturXDescription() {
    auto property = [](const char* name, const char* description) {
        return std::string("            <rdf:li rdf:parseType=\"Resource\">\n"
                           "              <pdfaProperty:name>") +
               name +
               "</pdfaProperty:name>\n"
               "              <pdfaProperty:valueType>Text</pdfaProperty:valueType>\n"
               "              <pdfaProperty:category>external</pdfaProperty:category>\n"
               "              <pdfaProperty:description>" +
               description +
               "</pdfaProperty:description>\n"
               "            </rdf:li>\n";
    };
    return "    <rdf:Description rdf:about=\"\" xmlns:fx=\"" + FxNamespace +
           "\">\n"
           "      <fx:DocumentType>INVOICE</fx:DocumentType>\n"
           "      <fx:DocumentFileName>" +
           std::string(FacturXDateiname) +
           "</fx:DocumentFileName>\n"
           "      <fx:Version>1.0</fx:Version>\n"
           "      <fx:ConformanceLevel>EN 16931</fx:ConformanceLevel>\n"
           "    </rdf:Description>\n"
           "    <rdf:Description rdf:about=\"\" "
           "xmlns:pdfaExtension=\"http://www.aiim.org/pdfa/ns/extension/\" "
           "xmlns:pdfaSchema=\"http://www.aiim.org/pdfa/ns/schema#\" "
           "xmlns:pdfaProperty=\"http://www.aiim.org/pdfa/ns/property#\">\n"
           "      <pdfaExtension:schemas>\n"
           "        <rdf:Bag>\n"
           "          <rdf:li rdf:parseType=\"Resource\">\n"
           "            <pdfaSchema:schema>Factur-X PDFA Extension Schema</pdfaSchema:schema>\n"
           "            <pdfaSchema:namespaceURI>" +
           FxNamespace +
           "</pdfaSchema:namespaceURI>\n"
           "            <pdfaSchema:prefix>fx</pdfaSchema:prefix>\n"
           "            <pdfaSchema:property>\n"
           "              <rdf:Seq>\n" +
           property("DocumentFileName", "The name of the embedded XML document") +
           property("DocumentType",
                    "The type of the hybrid document in capital letters, e.g. INVOICE or ORDER") +
           property("Version", "The actual version of the standard applying to the embedded XML document") +
           property("ConformanceLevel", "The conformance level of the embedded XML document") +
           "              </rdf:Seq>\n"
           "            </pdfaSchema:property>\n"
           "          </rdf:li>\n"
           "        </rdf:Bag>\n"
           "      </pdfaExtension:schemas>\n"
           "    </rdf:Description>\n";
}

std::string XmlEscape(const std::string& text) {
    std::string out;
    for (const char c : text) {
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '"':
            out += "&quot;";
            break;
        default:
            out += c;
        }
    }
    return out;
}

// "D:20240324100000+01'00'" as XMP wants it: "2024-03-24T10:00:00+01:00".
std::string XmpDate(const std::string& pdfDate) {
    std::string d = pdfDate.rfind("D:", 0) == 0 ? pdfDate.substr(2) : pdfDate;
    if (d.size() < 14)
        return std::string();
    std::string out = d.substr(0, 4) + "-" + d.substr(4, 2) + "-" + d.substr(6, 2) + "T" + d.substr(8, 2) +
                      ":" + d.substr(10, 2) + ":" + d.substr(12, 2);
    const std::string zone = d.substr(14);
    if (zone.empty() || zone[0] == 'Z')
        return out + "Z";
    if ((zone[0] == '+' || zone[0] == '-') && zone.size() >= 6)
        return out + zone.substr(0, 3) + ":" + zone.substr(4, 2);
    return out;
}

// The document's XMP raised to PDF/A-3 with the Factur-X description. The
// existing packet keeps its title, dates and producer, which must agree with
// the document information; without one a packet is made from that information.
std::string HybridXmp(const std::string& existing, QPDFObjectHandle info) {
    std::string xmp = existing;
    const std::string rdfEnd = "</rdf:RDF>";
    if (xmp.find(rdfEnd) == std::string::npos) {
        auto text = [&info](const char* key) {
            return info.isDictionary() && info.hasKey(key) && info.getKey(key).isString()
                       ? XmlEscape(info.getKey(key).getUTF8Value())
                       : std::string();
        };
        std::string created = XmpDate(text("/CreationDate"));
        xmp = "<?xpacket begin='' id='W5M0MpCehiHzreSzNTczkc9d'?>\n"
              "<x:xmpmeta xmlns:x=\"adobe:ns:meta/\">\n"
              "  <rdf:RDF xmlns:rdf=\"http://www.w3.org/1999/02/22-rdf-syntax-ns#\">\n";
        if (!text("/Title").empty())
            xmp += "    <rdf:Description rdf:about=\"\" xmlns:dc=\"http://purl.org/dc/elements/1.1/\">\n"
                   "      <dc:title><rdf:Alt><rdf:li xml:lang=\"x-default\">" +
                   text("/Title") + "</rdf:li></rdf:Alt></dc:title>\n    </rdf:Description>\n";
        xmp += "    <rdf:Description rdf:about=\"\" xmlns:xmp=\"http://ns.adobe.com/xap/1.0/\"";
        if (!text("/Creator").empty())
            xmp += " xmp:CreatorTool=\"" + text("/Creator") + "\"";
        if (!created.empty())
            xmp += " xmp:CreateDate=\"" + created + "\"";
        if (!XmpDate(text("/ModDate")).empty())
            xmp += " xmp:ModifyDate=\"" + XmpDate(text("/ModDate")) + "\"";
        xmp += "/>\n";
        if (!text("/Producer").empty())
            xmp += "    <rdf:Description rdf:about=\"\" xmlns:pdf=\"http://ns.adobe.com/pdf/1.3/\" "
                   "pdf:Producer=\"" +
                   text("/Producer") + "\"/>\n";
        xmp += "  </rdf:RDF>\n</x:xmpmeta>\n<?xpacket end='w'?>";
    }
    // The conformance claim: part 3, level B, whatever part the packet named.
    const std::string pdfaNs = "xmlns:pdfaid=\"http://www.aiim.org/pdfa/ns/id/\"";
    for (const std::string& old : {std::string("pdfaid:part=\"1\""), std::string("pdfaid:part=\"2\""),
                                   std::string("pdfaid:part='1'"), std::string("pdfaid:part='2'")}) {
        if (const auto at = xmp.find(old); at != std::string::npos)
            xmp.replace(at, old.size(), "pdfaid:part=\"3\"");
    }
    for (const std::string& old :
         {std::string("<pdfaid:part>1</pdfaid:part>"), std::string("<pdfaid:part>2</pdfaid:part>")}) {
        if (const auto at = xmp.find(old); at != std::string::npos)
            xmp.replace(at, old.size(), "<pdfaid:part>3</pdfaid:part>");
    }
    std::string insert = FacturXDescription();
    if (xmp.find("pdfaid:part") == std::string::npos)
        insert = "    <rdf:Description rdf:about=\"\" " + pdfaNs +
                 " pdfaid:part=\"3\" pdfaid:conformance=\"B\"/>\n" + insert;
    xmp.insert(xmp.find(rdfEnd), insert);
    return xmp;
}

} // namespace

bool EmbedEInvoice(const QByteArray& pdfData, const QByteArray& xml, QByteArray* hybrid, QString* fehler) {
    try {
        QPDF pdf;
        pdf.setSuppressWarnings(true);
        pdf.processMemoryFile("rechnung.pdf", pdfData.constData(), size_t(pdfData.size()));
        QPDFObjectHandle root = pdf.getRoot();
        QPDFObjectHandle info = pdf.getTrailer().getKey("/Info");

        // The attachment. Its dates are the document's own, so the same
        // printout always gives the same file.
        std::string date;
        if (info.isDictionary() && info.getKey("/CreationDate").isString())
            date = info.getKey("/CreationDate").getUTF8Value();
        if (date.empty())
            date = QUtil::qpdf_time_to_pdf_time(QUtil::get_current_qpdf_time());
        auto stream =
            QPDFEFStreamObjectHelper::createEFStream(pdf, std::string(xml.constData(), size_t(xml.size())));
        stream.setSubtype("text/xml");
        stream.setModDate(date);
        auto anhang = QPDFFileSpecObjectHelper::createFileSpec(pdf, FacturXDateiname, stream);
        anhang.setDescription("Factur-X Invoice");
        QPDFObjectHandle anhangObjekt = anhang.getObjectHandle();
        // The XML says the same as the page: the alternative representation.
        anhangObjekt.replaceKey("/AFRelationship", QPDFObjectHandle::newName("/Alternative"));
        QPDFEmbeddedFileDocumentHelper(pdf).replaceEmbeddedFile(FacturXDateiname, anhang);
        root.replaceKey("/AF", QPDFObjectHandle::newArray(std::vector<QPDFObjectHandle>{anhangObjekt}));

        // PDF/A wants the colours tied to a profile. Qt's archive mode brings
        // one; a plain Qt PDF gets sRGB, which is what its colours mean.
        if (!root.getKey("/OutputIntents").isArray()) {
            const QByteArray icc = QColorSpace(QColorSpace::SRgb).iccProfile();
            QPDFObjectHandle profile = pdf.makeIndirectObject(
                QPDFObjectHandle::newStream(&pdf, std::string(icc.constData(), size_t(icc.size()))));
            profile.getDict().replaceKey("/N", QPDFObjectHandle::newInteger(3));
            QPDFObjectHandle intent = QPDFObjectHandle::parse(
                "<< /Type /OutputIntent /S /GTS_PDFA1 /OutputConditionIdentifier (sRGB IEC61966-2.1) "
                "/RegistryName (http://www.color.org) /Info (sRGB IEC61966-2.1) >>");
            intent.replaceKey("/DestOutputProfile", profile);
            root.replaceKey("/OutputIntents", QPDFObjectHandle::newArray(std::vector<QPDFObjectHandle>{
                                                  pdf.makeIndirectObject(intent)}));
        }

        // The metadata.
        std::string existing;
        QPDFObjectHandle metadata = root.getKey("/Metadata");
        if (metadata.isStream()) {
            auto buffer = metadata.getStreamData();
            existing.assign(reinterpret_cast<const char*>(buffer->getBuffer()), buffer->getSize());
        }
        QPDFObjectHandle xmp =
            pdf.makeIndirectObject(QPDFObjectHandle::newStream(&pdf, HybridXmp(existing, info)));
        xmp.getDict().replaceKey("/Type", QPDFObjectHandle::newName("/Metadata"));
        xmp.getDict().replaceKey("/Subtype", QPDFObjectHandle::newName("/XML"));
        root.replaceKey("/Metadata", xmp);

        QPDFWriter writer(pdf);
        writer.setOutputMemory();
        writer.setMinimumPDFVersion("1.7");
        writer.setDeterministicID(true);
        // Kept readable for the archive checks that predate object streams.
        writer.setObjectStreamMode(qpdf_o_disable);
        // PDF/A wants an end-of-line before every "endstream".
        writer.setNewlineBeforeEndstream(true);
        writer.write();
        auto out = writer.getBufferSharedPointer();
        *hybrid = QByteArray(reinterpret_cast<const char*>(out->getBuffer()), qsizetype(out->getSize()));
        return true;
    } catch (const std::exception& e) {
        *fehler = QStringLiteral("Die E-Rechnung konnte nicht in das PDF eingebettet werden: ") +
                  QString::fromLocal8Bit(e.what());
        return false;
    }
}

bool EmbedEInvoiceFile(const QString& pdfFile, const QByteArray& xml, QString* fehler) {
    QFile in(pdfFile);
    if (!in.open(QIODevice::ReadOnly)) {
        *fehler = QStringLiteral("Die Datei \"") + pdfFile +
                  QStringLiteral("\" kann nicht gelesen werden: ") + in.errorString();
        return false;
    }
    const QByteArray pdf = in.readAll();
    in.close();
    QByteArray hybrid;
    if (!EmbedEInvoice(pdf, xml, &hybrid, fehler))
        return false;
    *fehler = WriteWholeFile(pdfFile, hybrid);
    return fehler->isEmpty();
}
