#include "EingangsArchiv.h"

#include "GlobalFunctions.h"
#include "SQLite.h"
#include "Win1252.h"

#include <QCryptographicHash>
#include <QRegularExpression>

namespace {

// List columns hold Windows-1252 like every text of the file; a character it
// cannot hold is shown as "?" there — the archived original keeps it.
QString Speicherbar(const QString& text) {
    QString s = text;
    for (QChar& c : s) {
        if (!Win1252::canEncode(QString(c)))
            c = u'?';
    }
    return s;
}

QString Text(const QString& text) {
    return SQLQuote(Speicherbar(text.left(250)));
}

QString Datum(const QString& iso) {
    const QDate d = QDate::fromString(iso.left(10), Qt::ISODate);
    return d.isValid() ? SQLQuote(d.toString(Qt::ISODate)) : QStringLiteral("null");
}

QString Betrag(const QString& text) {
    qint64 m = 0;
    return DezimalMikro(text, &m) ? MikroText(m) : QStringLiteral("null");
}

QString Normal(QString s) {
    s.remove(u' ');
    return s.toUpper();
}

} // namespace

void EingangPrepareTables(TSQLiteDB& db) {
    db.ExecSQL(QStringLiteral(
        "create table if not exists Eingangsrechnung (ERID INTEGER NOT NULL PRIMARY KEY AUTOINCREMENT, "
        "Syntax VARCHAR(10) NOT NULL, Typ VARCHAR(3), Nummer VARCHAR(250) NOT NULL, Datum DATE, Faellig "
        "DATE, "
        "SkontoBis DATE, Waehrung CHAR(3), Netto NUMERIC(12,2), Steuer NUMERIC(12,2), Brutto NUMERIC(12,2), "
        "Zahlbetrag NUMERIC(12,2), Verkaeufer VARCHAR(250), VerkaeuferUID VARCHAR(50), IBAN VARCHAR(50), "
        "LieferantenID INTEGER, BestellungID INTEGER, Dateiname VARCHAR(250), SHA256 CHAR(64) NOT NULL, "
        "Importiert DATETIME NOT NULL, Hinweise TEXT, BezahltAm DATE, BezahltBetrag NUMERIC(12,2))"));
    // The original apart from the list, so that the list never reads it.
    db.ExecSQL(
        QStringLiteral("create table if not exists EingangsrechnungDatei (ERID INTEGER NOT NULL PRIMARY "
                       "KEY, Original BLOB NOT NULL)"));
    db.ExecSQL(QStringLiteral(
        "create index if not exists EingangsrechnungNummer on Eingangsrechnung (Nummer, VerkaeuferUID)"));
}

void EingangPrepareRight(TSQLiteDB& db) {
    db.ExecSQL(
        QStringLiteral("insert into set_recht select 'Eingangsrechnungen', 'Eingangsrechnungen', 'J' where "
                       "not exists (select 1 from set_recht where Funktion = 'Eingangsrechnungen')"));
}

QDate SkontoBis(const TEingangsrechnung& r) {
    static const QRegularExpression skonto(QStringLiteral("#SKONTO#TAGE=(\\d+)#"));
    const QRegularExpressionMatch m = skonto.match(r.Zahlungsbedingungen);
    const QDate datum = QDate::fromString(r.Wert(QStringLiteral("BT-2")), Qt::ISODate);
    if (!m.hasMatch() || !datum.isValid())
        return QDate();
    return datum.addDays(m.captured(1).toInt());
}

int FindeLieferant(TSQLiteDB& db, const TEingangsrechnung& r) {
    TSQLiteQuery q(&db);
    auto erste = [&](const QString& bedingung) {
        q.RunSQL(QStringLiteral("select LieferantenID from Lieferant where LieferantenID > 0 and ") +
                 bedingung + QStringLiteral(" order by LieferantenID limit 1"));
        return q.Eof() ? -1 : q.Fields(0)->AsInteger();
    };
    const QString uid = Normal(r.Wert(QStringLiteral("BT-31")));
    if (!uid.isEmpty() && Win1252::canEncode(uid)) {
        const int id = erste(QStringLiteral("upper(replace(UIDNr, ' ', '')) = ") + SQLQuote(uid));
        if (id >= 0)
            return id;
    }
    for (const TEingangsKonto& k : r.Konten) {
        const QString iban = Normal(k.Konto);
        if (iban.isEmpty() || !Win1252::canEncode(iban))
            continue;
        const int id = erste(QStringLiteral("upper(replace(IBAN, ' ', '')) = ") + SQLQuote(iban));
        if (id >= 0)
            return id;
    }
    const QString name = r.Wert(QStringLiteral("BT-27"));
    if (!name.isEmpty() && Win1252::canEncode(name))
        return erste(QStringLiteral("Firma = ") + SQLQuote(name));
    return -1;
}

TEingangsImport ImportiereEingangsrechnung(TSQLiteDB& db, const QByteArray& bytes, const QString& dateiname,
                                           const QDateTime& jetzt) {
    TEingangsImport ergebnis;
    const TEingangsDatei d = LeseEingangsrechnung(bytes);
    if (!d.Gelesen) {
        ergebnis.Fehler = d.Fehler;
        return ergebnis;
    }
    const TEingangsrechnung& r = d.Rechnung;
    const TEingangsBefund befund = PruefeEingangsrechnung(r);
    if (!befund.Fehler.isEmpty()) {
        ergebnis.Fehler =
            QStringLiteral("Die Rechnung wird nicht angenommen: ") + befund.Fehler.join(QStringLiteral("; "));
        return ergebnis;
    }
    EingangPrepareTables(db);
    const QString nummer = Speicherbar(r.Wert(QStringLiteral("BT-1")));
    const QString uid = Speicherbar(Normal(r.Wert(QStringLiteral("BT-31"))));
    const QString verkaeufer = Speicherbar(r.Wert(QStringLiteral("BT-27")));
    // The same seller (by VAT id, else by name) and number: imported before.
    TSQLiteQuery q(&db);
    q.RunSQL(QStringLiteral("select ERID, Importiert from Eingangsrechnung where Nummer = ") +
             SQLQuote(nummer) + QStringLiteral(" and ") +
             (uid.isEmpty() ? QStringLiteral("VerkaeuferUID is null and Verkaeufer = ") + SQLQuote(verkaeufer)
                            : QStringLiteral("VerkaeuferUID = ") + SQLQuote(uid)));
    if (!q.Eof()) {
        ergebnis.Fehler = QStringLiteral("Die Rechnung %1 von %2 wurde bereits am %3 importiert.")
                              .arg(nummer, verkaeufer,
                                   q.FieldByName(QStringLiteral("Importiert"))
                                       ->AsDateTime()
                                       .toString(QStringLiteral("dd.MM.yyyy")));
        return ergebnis;
    }
    ergebnis.Hinweise = befund.Hinweise;
    ergebnis.LieferantenID = FindeLieferant(db, r);
    // A purchase order of ours that the invoice names (BT-13) is linked.
    int bestellung = 0;
    bool zahl = false;
    const int bestellNr = r.Wert(QStringLiteral("BT-13")).toInt(&zahl);
    if (zahl && bestellNr > 0) {
        q.RunSQL(QStringLiteral("select KopfID from Kopf where KopfTyp = 'B' and KopfID = ") +
                 QString::number(bestellNr));
        if (!q.Eof())
            bestellung = bestellNr;
    }
    const QByteArray sha = QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex();
    const QDate skonto = SkontoBis(r);
    db.StartTransaction();
    try {
        db.ExecSQL(
            QStringLiteral(
                "insert into Eingangsrechnung (Syntax, Typ, Nummer, Datum, Faellig, SkontoBis, Waehrung, "
                "Netto, Steuer, Brutto, Zahlbetrag, Verkaeufer, VerkaeuferUID, IBAN, LieferantenID, "
                "BestellungID, Dateiname, SHA256, Importiert, Hinweise) values (") +
            SQLQuote(r.Syntax) + u',' + Text(r.Wert(QStringLiteral("BT-3"))) + u',' + SQLQuote(nummer) +
            u',' + Datum(r.Wert(QStringLiteral("BT-2"))) + u',' + Datum(r.Wert(QStringLiteral("BT-9"))) +
            u',' + (skonto.isValid() ? SQLQuote(skonto.toString(Qt::ISODate)) : QStringLiteral("null")) +
            u',' + Text(r.Wert(QStringLiteral("BT-5"))) + u',' + Betrag(r.Wert(QStringLiteral("BT-109"))) +
            u',' + Betrag(r.Wert(QStringLiteral("BT-110"))) + u',' +
            Betrag(r.Wert(QStringLiteral("BT-112"))) + u',' + Betrag(r.Wert(QStringLiteral("BT-115"))) +
            u',' + SQLQuote(verkaeufer) + u',' + (uid.isEmpty() ? QStringLiteral("null") : SQLQuote(uid)) +
            u',' + Text(r.Wert(QStringLiteral("BT-84"))) + u',' +
            (ergebnis.LieferantenID >= 0 ? QString::number(ergebnis.LieferantenID) : QStringLiteral("null")) +
            u',' + (bestellung ? QString::number(bestellung) : QStringLiteral("null")) + u',' +
            Text(dateiname) + u',' + SQLQuote(QString::fromLatin1(sha)) + u',' +
            SQLQuote(jetzt.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"))) + u',' +
            SQLQuote(Speicherbar(befund.Hinweise.join(u'\n'))) + u')');
        ergebnis.ERID = int(db.LastInsertRowId());
        db.ExecSQL(QStringLiteral("insert into EingangsrechnungDatei (ERID, Original) values (") +
                       QString::number(ergebnis.ERID) + QStringLiteral(", ?1)"),
                   {bytes});
        db.Commit();
    } catch (...) {
        db.Rollback();
        throw;
    }
    ergebnis.Importiert = true;
    return ergebnis;
}

bool EingangsOriginal(TSQLiteDB& db, int erid, QByteArray* bytes, QString* fehler) {
    TSQLiteQuery q(&db);
    q.RunSQL(
        QStringLiteral("select D.Original, E.SHA256 from EingangsrechnungDatei D, Eingangsrechnung E where "
                       "D.ERID = E.ERID and E.ERID = ") +
        QString::number(erid));
    if (q.Eof()) {
        *fehler = QStringLiteral("Die Originaldatei der Eingangsrechnung fehlt.");
        return false;
    }
    *bytes = q.Fields(0)->AsBytes();
    if (QCryptographicHash::hash(*bytes, QCryptographicHash::Sha256).toHex() !=
        q.Fields(1)->AsString().toLatin1()) {
        *fehler =
            QStringLiteral("Die Originaldatei der Eingangsrechnung wurde verändert (SHA-256 stimmt nicht).");
        return false;
    }
    return true;
}

void MarkiereBezahlt(TSQLiteDB& db, int erid, const QDate& datum, double betrag) {
    db.ExecSQL(QStringLiteral("update Eingangsrechnung set BezahltAm = ") +
               (datum.isValid() ? SQLQuote(datum.toString(Qt::ISODate)) +
                                      QStringLiteral(", BezahltBetrag = ") + QString::number(betrag, 'f', 2)
                                : QStringLiteral("null, BezahltBetrag = null")) +
               QStringLiteral(" where ERID = ") + QString::number(erid));
}
