// Incoming e-invoices: what a supplier's XRechnung or ZUGFeRD / Factur-X file
// says, read without a database. Both syntaxes of EN 16931 are read — the
// UN/CEFACT Cross Industry Invoice (CII, and its predecessor of ZUGFeRD 1.0)
// and OASIS UBL 2.1 (Invoice, CreditNote) — with a streaming reader, and a
// hybrid PDF gives up the invoice XML it carries.
//
// Every value is kept as the text the file writes ("1685.3", "19.00"): the
// archive and the display show what the supplier sent, and the check
// compares the amounts as decimals.
#pragma once

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>

struct TEingangsZeile {
    QString ID;         // BT-126
    QString Menge;      // BT-129
    QString Einheit;    // BT-130, UN/ECE code
    QString Netto;      // BT-131
    QString Kategorie;  // BT-151
    QString Satz;       // BT-152
    QString Name;       // BT-153
    QString Preis;      // BT-146
    QString Basismenge; // BT-149
    QString Notiz;      // BT-127
    QString Zuschlaege; // sum of line charges, as a decimal text
    QString Abschlaege; // sum of line allowances
};

struct TEingangsSteuer {
    QString Kategorie; // BT-118
    QString Satz;      // BT-119
    QString Basis;     // BT-116
    QString Betrag;    // BT-117
    QString Grund;     // BT-120
};

struct TEingangsZuAbschlag {
    bool Zuschlag = false; // charge (BG-21), else allowance (BG-20)
    QString Betrag;
    QString Kategorie;
    QString Satz;
    QString Grund;
};

struct TEingangsAnhang {
    QString ID;           // BT-122
    QString Beschreibung; // BT-123
    QString URI;          // BT-124
    QString Typ;          // document type code (CII 916 for an attachment)
    QString MimeCode;
    QString Dateiname;
    QByteArray Inhalt; // decoded embedded object, empty for a reference
};

struct TEingangsKonto {
    QString Art;   // BT-81
    QString Konto; // BT-84 (IBAN or another account)
    QString BIC;   // BT-86
};

struct TEingangsrechnung {
    QString Syntax; // "CII", "CII-ZF1" (ZUGFeRD 1.0) or "UBL"
    QString Wurzel; // root element
    // Single values by their EN 16931 term ("BT-1" ...); absent when the
    // file has none.
    QMap<QString, QString> BT;
    QStringList Notizen;         // BT-22
    QStringList Vorrechnungen;   // BT-25
    QString Zahlungsbedingungen; // BT-20, exactly as written (joined by "\n")
    bool HatZahlungsbedingungen = false;
    QList<TEingangsZeile> Zeilen;
    QList<TEingangsSteuer> Steuern;
    QList<TEingangsZuAbschlag> ZuAbschlaege;
    QList<TEingangsAnhang> Anhaenge;
    QList<TEingangsKonto> Konten;

    QString Wert(const QString& bt) const { return BT.value(bt); }
    bool Gibt(const QString& bt) const { return BT.contains(bt); }
};

// The result of reading a file (XML or PDF).
struct TEingangsDatei {
    bool Gelesen = false; // an invoice was read; else Fehler says why
    QString Fehler;
    QByteArray Xml;          // the invoice XML (the file itself or the PDF's attachment)
    QString EingebettetAls;  // name of the PDF attachment the XML came from
    QStringList PdfAnhaenge; // every embedded file name of a PDF
    TEingangsrechnung Rechnung;
};

// Reads an XML or PDF file's bytes; the name only helps the messages.
TEingangsDatei LeseEingangsrechnung(const QByteArray& bytes);
// Reads invoice XML (CII, ZUGFeRD 1.0 or UBL).
TEingangsDatei LeseEingangsXml(const QByteArray& xml);

// The findings of the check, in German, each naming the business term.
struct TEingangsBefund {
    QStringList Fehler;   // the import refuses the file
    QStringList Hinweise; // stored, with the warnings shown
};
TEingangsBefund PruefeEingangsrechnung(const TEingangsrechnung& r);

// The IBAN's check digits (ISO 13616, MOD 97-10); blanks are ignored.
bool IbanGueltig(const QString& iban);

// A decimal text of the file ("1685.3", "-0.10") in millionths, exact up to
// six decimals; false when it is no number.
bool DezimalMikro(const QString& text, qint64* mikro);
// Millionths back as the shortest decimal text ("1685.3").
QString MikroText(qint64 mikro);

// The German name of a UN/ECE Recommendation 20/21 unit code, or the code.
QString EinheitName(const QString& code);

class QTextStream;
// "quorvent --read-einvoice FILE": one JSON object on standard output.
int RunReadEInvoiceCommand(const QStringList& args, QTextStream& out, QTextStream& err);
