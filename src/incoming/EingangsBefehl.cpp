// "quorvent --read-einvoice FILE": reads an incoming e-invoice as the import
// does and prints what it says by the EN 16931 terms, then the check's
// findings — for scripts and for a look at a file without the window.
#include "Eingangsrechnung.h"

#include "FileNames.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTextStream>

#include <cstdio>

namespace {

QJsonValue Feld(const TEingangsrechnung& r, const QString& bt) {
    return r.Gibt(bt) ? QJsonValue(r.Wert(bt)) : QJsonValue(QJsonValue::Null);
}

QJsonValue Text(const QString& s) {
    return s.isEmpty() ? QJsonValue(QJsonValue::Null) : QJsonValue(s);
}

} // namespace

int RunReadEInvoiceCommand(const QStringList& args, QTextStream& out, QTextStream& err) {
    if (args.size() != 1 || args[0].isEmpty()) {
        err << QStringLiteral("Aufruf: quorvent --read-einvoice DATEI") << Qt::endl;
        return 1;
    }
    const QString name = args[0];
    if (!FileNameExists(name)) {
        err << QStringLiteral("Die Datei \"%1\" wurde nicht gefunden.").arg(name) << Qt::endl;
        return 1;
    }
    // Read through the name's own bytes: a name that is not UTF-8 still
    // names this file and no other.
    QByteArray bytes;
    std::FILE* f = std::fopen(EncodeFileName(name).constData(), "rb");
    if (f) {
        char buffer[65536];
        size_t n = 0;
        while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0)
            bytes.append(buffer, qsizetype(n));
        const bool failed = std::ferror(f);
        std::fclose(f);
        if (failed)
            f = nullptr;
    }
    if (!f) {
        err << QStringLiteral("Die Datei \"%1\" kann nicht gelesen werden (keine Leseberechtigung oder ein "
                              "Ordner?).")
                   .arg(name)
            << Qt::endl;
        return 1;
    }
    const TEingangsDatei d = LeseEingangsrechnung(bytes);
    if (!d.Gelesen) {
        err << QStringLiteral("\"%1\": ").arg(name) << d.Fehler << Qt::endl;
        return 1;
    }
    const TEingangsrechnung& r = d.Rechnung;
    QJsonObject o;
    for (const char* bt : {"BT-1", "BT-2", "BT-3", "BT-5", "BT-9", "BT-10", "BT-20", "BT-27", "BT-31",
                           "BT-84", "BT-106", "BT-109", "BT-110", "BT-112", "BT-115"})
        o.insert(QLatin1String(bt), Feld(r, QLatin1String(bt)));
    o.insert(QStringLiteral("syntax"),
             r.Syntax.startsWith(QLatin1String("CII")) ? QStringLiteral("CII") : QStringLiteral("UBL"));
    QJsonArray zeilen;
    for (const TEingangsZeile& z : r.Zeilen) {
        QJsonObject l;
        l.insert(QStringLiteral("BT-126"), Text(z.ID));
        l.insert(QStringLiteral("BT-129"), Text(z.Menge));
        l.insert(QStringLiteral("BT-130"), Text(z.Einheit));
        l.insert(QStringLiteral("BT-131"), Text(z.Netto));
        l.insert(QStringLiteral("BT-151"), Text(z.Kategorie));
        l.insert(QStringLiteral("BT-152"), Text(z.Satz));
        l.insert(QStringLiteral("BT-153"), Text(z.Name));
        zeilen.append(l);
    }
    o.insert(QStringLiteral("lines"), zeilen);
    const TEingangsBefund b = PruefeEingangsrechnung(r);
    o.insert(QStringLiteral("errors"), QJsonArray::fromStringList(b.Fehler));
    o.insert(QStringLiteral("warnings"), QJsonArray::fromStringList(b.Hinweise));
    out << QString::fromUtf8(QJsonDocument(o).toJson(QJsonDocument::Compact)) << Qt::endl;
    if (!b.Fehler.isEmpty()) {
        err << QStringLiteral("\"%1\" wird nicht angenommen: ").arg(name)
            << b.Fehler.join(QStringLiteral("; ")) << Qt::endl;
        return 1;
    }
    return 0;
}
