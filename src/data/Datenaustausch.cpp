#include "Datenaustausch.h"

#include "DatenaustauschIntern.h"
#include "FileNames.h"
#include "Messages.h"
#include "RecordGuards.h"
#include "UDM.h"

#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QSaveFile>
#include <QSet>
#include <QTemporaryDir>

#include <algorithm>
#include <optional>

using namespace Austausch;

QString UrteilText(TImportZeile::Urteil urteil) {
    switch (urteil) {
    case TImportZeile::Neu:
        return QStringLiteral("neu");
    case TImportZeile::Aktualisiert:
        return QStringLiteral("aktualisiert");
    case TImportZeile::Abgelehnt:
        break;
    }
    return QStringLiteral("abgelehnt");
}

QByteArray ExportCSV(TDM& dm, TAustauschArt art, int* records) {
    const QList<TSpalte>& spalten = Spalten(art);
    const QHash<QString, TBezug> bezuege = LoadBezuege(dm, art);
    const QString key = spalten.first().Feld;
    QString sql = QStringLiteral("select * from ") + TableOf(art) + QStringLiteral(" order by ") + key;
    // A customer's e-invoice settings come from the program's own table.
    if (art == TAustauschArt::Kunden && dm.TableExists(QStringLiteral("KundeERechnung")))
        sql =
            QStringLiteral("select K.*, E.LeitwegID, case E.Format when 'Z' then 'ZUGFeRD-PDF' when 'X' then "
                           "'XRechnung' else 'keine' end as ERechnungFormat from Kunde K left join "
                           "KundeERechnung E on E.KundenID = K.KundenID order by K.KundenID");
    if (art == TAustauschArt::Artikel)
        sql = QStringLiteral("select A.*, P.PreisBez, P.PreisBez2, P.Menge, P.EinheitID, P.Wert, P.MWStSatz "
                             "from Artikel A left join ArtPreis P on P.ArtikelID = A.ArtikelID "
                             "order by A.ArtikelID, P.PreisID");
    TSQLiteQuery q(&dm.SQLiteDB1);
    q.RunSQL(sql);
    QString text = CSVLine(AustauschSpalten(art));
    QSet<qint64> seen;
    for (q.First(); !q.Eof(); q.Next()) {
        seen.insert(q.FieldByName(key)->AsLargeInt());
        QStringList row;
        for (const TSpalte& s : spalten)
            row << ExportValue(s, q.FindField(s.Feld), bezuege);
        text += CSVLine(row);
    }
    q.Close();
    if (records)
        *records = int(seen.size());
    return QByteArray("\xEF\xBB\xBF") + text.toUtf8();
}

bool IsDatabaseFile(TDM& dm, const QString& file) {
    return IsDatabaseOrCompanion(dm.SQLiteDB1.FileName, file);
}

int ExportCSVFile(TDM& dm, TAustauschArt art, const QString& file) {
    // Replacing the database by its own export would lose every record.
    if (IsDatabaseFile(dm, file))
        throw ESQLiteError(
            QStringLiteral("Die Datei ") + file +
            QStringLiteral(" ist die geöffnete Datenbank und kann nicht überschrieben werden!"));
    int records = 0;
    const QByteArray data = ExportCSV(dm, art, &records);
    if (const QString failure = WriteWholeFile(file, data); !failure.isEmpty())
        throw ESQLiteError(failure);
    return records;
}

namespace {

// Boxes of the rules become the reason of the row instead of a window.
class TCapturedMessages : public Messages {
public:
    TCapturedMessages() : FPrevious(Messages::installed()) { Messages::install(this); }
    ~TCapturedMessages() override { Messages::install(FPrevious); }
    QString Last;

protected:
    void show(Kind, const QString& text) override { Last = text; }
    Answer ask(const QString& text, bool, Answer) override {
        Last = text;
        return No;
    }

private:
    Messages* FPrevious;
};

// One record of the file: a customer or supplier is one row, an article the
// rows of its price lines that follow each other under the same number.
struct TGruppe {
    QList<int> Zeilen; // indexes into the file's records
    QString Nummer;
    qint64 Konzern = -1; // customers: the parent company named, -1 none
};

// The file, read and grouped: what both the check and the import work on.
struct TDatei {
    QList<QStringList> Records;
    QList<int> Lines;
    QList<int> SpalteVon; // per file column: index into the columns, -1 empty header
    QList<TGruppe> Gruppen;
    QList<int> Order;    // the order the groups are saved in
    QList<int> ZeileVon; // record -> its verdict row, -1 for a blank line
    bool PreisSpalten = false;

    const QString* ValueOf(const QStringList& row, int spalte) const {
        const int col = int(SpalteVon.indexOf(spalte));
        return col >= 0 && col < row.size() ? &row[col] : nullptr;
    }
};

// Reads the file into `d` and the verdict rows into `result`; false (and
// result.Fehler) when the whole file is refused.
bool ReadDatei(TAustauschArt art, const QByteArray& data, TDatei& d, TImportErgebnis& result) {
    d.Records = ParseCSV(DecodeCSV(data), &d.Lines, &result.Fehler);
    if (!result.Fehler.isEmpty())
        return false;
    if (d.Records.isEmpty()) {
        result.Fehler = QStringLiteral("Die Datei enthält keine Daten!");
        return false;
    }
    for (QStringList& row : d.Records)
        for (QString& f : row)
            f = WithoutApostrophe(f);
    const QList<TSpalte>& spalten = Spalten(art);

    // The header row names the columns; their order is free and a column may
    // be left out (a new record then gets the form's default for it).
    for (const QString& h : d.Records.first()) {
        const QString name = h.trimmed();
        if (name.isEmpty()) {
            d.SpalteVon << -1;
            continue;
        }
        int found = -1;
        for (int i = 0; i < spalten.size(); ++i)
            if (spalten[i].Titel.compare(name, Qt::CaseInsensitive) == 0)
                found = i;
        if (found < 0) {
            result.Fehler = QStringLiteral("Die Spalte \"") + name + QStringLiteral("\" ist für ") +
                            AustauschArtName(art) + QStringLiteral(" unbekannt!");
            return false;
        }
        if (d.SpalteVon.contains(found)) {
            result.Fehler =
                QStringLiteral("Die Spalte \"") + name + QStringLiteral("\" steht zweimal in der Kopfzeile!");
            return false;
        }
        d.SpalteVon << found;
        d.PreisSpalten = d.PreisSpalten || spalten[found].Preis;
    }
    if (!d.SpalteVon.contains(0)) {
        result.Fehler = QStringLiteral("Die Spalte \"") + spalten.first().Titel + QStringLiteral("\" fehlt!");
        return false;
    }

    // The records, grouped; blank lines are skipped.
    d.ZeileVon = QList<int>(d.Records.size(), -1);
    for (int r = 1; r < d.Records.size(); ++r) {
        const QStringList& row = d.Records[r];
        bool blank = true;
        for (const QString& f : row)
            blank = blank && f.trimmed().isEmpty();
        if (blank)
            continue;
        const QString nummer = d.ValueOf(row, 0) ? d.ValueOf(row, 0)->trimmed() : QString();
        TImportZeile z;
        z.Zeile = d.Lines[r];
        z.Nummer = nummer;
        const int nameSpalte =
            art == TAustauschArt::Kunden && d.ValueOf(row, 3) && d.ValueOf(row, 3)->trimmed().isEmpty()
                ? 4 // no firm: the surname
                : (art == TAustauschArt::Artikel ? 2 : (art == TAustauschArt::Kunden ? 3 : 1));
        z.Name = d.ValueOf(row, nameSpalte) ? d.ValueOf(row, nameSpalte)->trimmed() : QString();
        d.ZeileVon[r] = int(result.Zeilen.size());
        result.Zeilen << z;
        const bool sameArticle = art == TAustauschArt::Artikel && !d.Gruppen.isEmpty() && !nummer.isEmpty() &&
                                 d.Gruppen.last().Nummer == nummer && d.Gruppen.last().Zeilen.last() == r - 1;
        if (sameArticle) {
            d.Gruppen.last().Zeilen << r;
            continue;
        }
        TGruppe g;
        g.Zeilen << r;
        g.Nummer = nummer;
        if (art == TAustauschArt::Kunden) {
            const QString* k = d.ValueOf(row, 22);
            if (k && AllDigits(k->trimmed()))
                g.Konzern = k->trimmed().toLongLong();
        }
        d.Gruppen << g;
    }

    // A parent company must exist before its members are saved: a member
    // whose parent comes later in the file takes the parent (and its parent,
    // and so on) first. Each group is looked at once, so the order costs no
    // more than the file; a circle of parents stops where it closes.
    QHash<qint64, int> gruppeMit; // number -> its first group
    for (int g = 0; g < d.Gruppen.size(); ++g)
        if (AllDigits(d.Gruppen[g].Nummer) && d.Gruppen[g].Nummer.size() <= 15)
            gruppeMit.insert(d.Gruppen[g].Nummer.toLongLong(),
                             gruppeMit.value(d.Gruppen[g].Nummer.toLongLong(), g));
    QList<bool> genommen(d.Gruppen.size(), false);
    QList<int> kette;
    for (int g = 0; g < d.Gruppen.size(); ++g) {
        kette.clear();
        for (int c = g; c >= 0 && !genommen[c];) {
            genommen[c] = true;
            kette << c;
            const qint64 k = d.Gruppen[c].Konzern;
            c = k >= 0 ? gruppeMit.value(k, -1) : -1;
        }
        for (auto it = kette.crbegin(); it != kette.crend(); ++it)
            d.Order << *it;
    }
    return true;
}

// The other column of the same field (plain and formatted text), -1 none.
int Partner(const QList<TSpalte>& spalten, int i) {
    for (int j = 0; j < spalten.size(); ++j)
        if (j != i && spalten[j].Feld == spalten[i].Feld)
            return j;
    return -1;
}

// Runs the groups of the file through the rules on `dm` inside the
// transaction the caller opened, filling the verdicts. False when the user
// cancelled through `fortschritt`.
bool RunRules(TDM& dm, TAustauschArt art, const TDatei& d, bool aktualisieren,
              const TImportFortschritt& fortschritt, TImportErgebnis& result) {
    const QList<TSpalte>& spalten = Spalten(art);
    QHash<QString, QString> titel; // field -> column name, for the messages
    for (const TSpalte& s : spalten)
        if (!titel.contains(s.Feld))
            titel.insert(s.Feld, s.Titel);
    const QHash<QString, TBezug> bezuege = LoadBezuege(dm, art);
    TCapturedMessages captured;
    TSQLiteDB& db = dm.SQLiteDB1;
    const QString key = spalten.first().Feld;
    // number -> first line it was seen on; "007" and "7" are the same number
    auto normal = [](const QString& n) { return AllDigits(n) ? QString::number(n.toLongLong()) : n; };
    QHash<QString, int> ersteZeile;
    for (const TGruppe& g : d.Gruppen)
        if (!g.Nummer.isEmpty() && !ersteZeile.contains(normal(g.Nummer)))
            ersteZeile.insert(normal(g.Nummer), d.Lines[g.Zeilen.first()]);

    // The datasets live for the whole file, so each table is looked up once:
    // `neu` takes the new records (opened empty, and again after a few hundred
    // so its buffer stays small), `alt` the record that is updated. A record
    // is looked for only when its number is known to exist.
    TSQLiteTable neu(&db), alt(&db);
    for (TSQLiteTable* ds : {&neu, &alt}) {
        WireRules(dm, art, *ds);
        ds->SetTableName(TableOf(art));
        ds->Filtered = true;
    }
    QSet<qint64> vorhanden;
    {
        TSQLiteQuery q(&db);
        q.RunSQL(QStringLiteral("select ") + key + QStringLiteral(" from ") + TableOf(art));
        for (q.First(); !q.Eof(); q.Next())
            vorhanden.insert(q.Fields(0)->AsLargeInt());
    }
    TSQLiteTable preis(&db);
    preis.SetTableName(QStringLiteral("ArtPreis"));
    preis.Filtered = true;
    preis.BeforePost = [](TSQLiteBaseQuery* ds) {
        RefusePriceLine(ds, QStringLiteral("Bitte einen MWSt.-Satz auswählen!"));
    };

    qint64 hoechsteNeue = -1;
    int fertig = 0;
    for (int gi : d.Order) {
        const TGruppe& g = d.Gruppen[gi];
        TImportZeile::Urteil urteil = TImportZeile::Abgelehnt;
        QString grund;
        db.ExecSQL(QStringLiteral("SAVEPOINT import_zeile"));
        try {
            if (!g.Nummer.isEmpty() && ersteZeile.value(normal(g.Nummer)) != d.Lines[g.Zeilen.first()])
                throw TRowRefused{QStringLiteral("Die Nummer ") + g.Nummer +
                                  QStringLiteral(" steht mehrfach in der Datei (zuerst in Zeile ") +
                                  QString::number(ersteZeile.value(normal(g.Nummer))) + QStringLiteral(")!")};
            const QStringList& first = d.Records[g.Zeilen.first()];
            QList<TWert> werte;
            QList<QPair<int, QString>> eigene;
            for (int i = 1; i < spalten.size(); ++i) {
                if (spalten[i].Preis)
                    continue;
                if (spalten[i].Eigen) {
                    if (const QString* v = d.ValueOf(first, i))
                        eigene.append({i, *v});
                    continue;
                }
                const QString* v = d.ValueOf(first, i);
                if (!v)
                    continue;
                // A formatted field may come twice: as plain text and as
                // formatted text. The formatted cell wins unless it is empty.
                const int partner = Partner(spalten, i);
                if (const QString* anderer = partner >= 0 ? d.ValueOf(first, partner) : nullptr) {
                    const bool formatiert = spalten[i].Art != TArt::Klartext;
                    if (formatiert == (formatiert ? v : anderer)->isEmpty())
                        continue;
                }
                const QVariant wert = ImportValue(spalten[i], *v, bezuege, dm);
                werte << TWert{spalten[i].Feld, wert};
            }
            const TEigeneWerte eigeneWerte = ReadEigene(art, eigene);
            QVariant nummer;
            if (!g.Nummer.isEmpty())
                nummer = ImportValue(spalten[0], g.Nummer, bezuege, dm);
            if (art == TAustauschArt::Artikel) {
                for (const TWert& w : werte)
                    if (w.Feld == QLatin1String("LieferantenID") && !w.Wert.isNull()) {
                        TSQLiteQuery q(&db);
                        q.RunSQL(
                            QStringLiteral("select count(*) as anz from Lieferant where LieferantenID = ") +
                            QString::number(w.Wert.toLongLong()));
                        if (q.FieldByName(QStringLiteral("anz"))->AsInteger() == 0)
                            throw TRowRefused{QStringLiteral("Der Lieferant ") + w.Wert.toString() +
                                              QStringLiteral(" ist nicht vorhanden!")};
                    }
            }

            if (aktualisieren && !nummer.isNull() && vorhanden.contains(nummer.toLongLong())) {
                alt.SetFilter(key + QStringLiteral(" = ") + QString::number(nummer.toLongLong()));
                alt.Open();
            }
            TSQLiteTable& t = alt.Active() && !alt.IsEmpty() ? alt : neu;
            if (&t == &alt) {
                t.Edit();
                urteil = TImportZeile::Aktualisiert;
            } else {
                if (neu.Active() && neu.RecordCount() >= 256)
                    neu.Close();
                if (!neu.Active()) {
                    neu.SetFilter(QStringLiteral("0 = 1"));
                    neu.Open();
                }
                t.Append();
                if (!nummer.isNull())
                    t.FieldByName(key)->SetValue(nummer);
                urteil = TImportZeile::Neu;
            }
            Assign(t, werte, titel);
            captured.Last.clear();
            t.Post();
            const qint64 id = t.FieldByName(key)->AsLargeInt();
            if (urteil == TImportZeile::Neu)
                hoechsteNeue = qMax(hoechsteNeue, id);
            WriteEigene(dm, id, eigeneWerte);

            if (art == TAustauschArt::Artikel && d.PreisSpalten) {
                if (urteil == TImportZeile::Aktualisiert)
                    db.ExecSQL(QStringLiteral("delete from ArtPreis where ArtikelID = ") +
                               QString::number(id));
                preis.SetFilter(QStringLiteral("ArtikelID = ") + QString::number(id));
                preis.Open();
                int preisId = 0;
                for (int r : g.Zeilen) {
                    try {
                        QList<TWert> pw;
                        bool leer = true;
                        for (int i = 0; i < spalten.size(); ++i) {
                            if (!spalten[i].Preis)
                                continue;
                            if (const QString* v = d.ValueOf(d.Records[r], i)) {
                                leer = leer && v->trimmed().isEmpty();
                                pw << TWert{spalten[i].Feld, ImportValue(spalten[i], *v, bezuege, dm)};
                            }
                        }
                        if (leer)
                            continue;
                        preis.Append();
                        preis.FieldByName(QStringLiteral("ArtikelID"))->SetAsLargeInt(id);
                        preis.FieldByName(QStringLiteral("PreisID"))->SetAsInteger(++preisId);
                        Assign(preis, pw, titel);
                        captured.Last.clear();
                        preis.Post();
                    } catch (const EAbort&) {
                        throw TRowRefused{QStringLiteral("Preiszeile in Zeile ") +
                                          QString::number(d.Lines[r]) + QStringLiteral(": ") + captured.Last};
                    } catch (const TRowRefused& e) {
                        throw TRowRefused{QStringLiteral("Preiszeile in Zeile ") +
                                          QString::number(d.Lines[r]) + QStringLiteral(": ") + e.Grund};
                    }
                }
            }
            db.ExecSQL(QStringLiteral("RELEASE import_zeile"));
            vorhanden.insert(id);
        } catch (const TRowRefused& e) {
            grund = e.Grund;
        } catch (const EAbort&) {
            grund =
                captured.Last.isEmpty() ? QStringLiteral("Der Datensatz wurde abgelehnt!") : captured.Last;
        } catch (const ESQLiteError& e) {
            grund = e.message();
        }
        for (TSQLiteTable* ds : {&neu, &alt, &preis}) {
            if (ds->Active() && ds->Editing())
                ds->Cancel();
            // A refused record may have left a row behind that is rolled back now.
            if (ds != &neu || !grund.isEmpty())
                ds->Close();
        }
        if (!grund.isEmpty()) {
            urteil = TImportZeile::Abgelehnt;
            db.ExecSQL(QStringLiteral("ROLLBACK TO import_zeile"));
            db.ExecSQL(QStringLiteral("RELEASE import_zeile"));
        }
        for (int r : g.Zeilen) {
            TImportZeile& z = result.Zeilen[d.ZeileVon[r]];
            z.Ergebnis = urteil;
            z.Grund = grund;
        }
        switch (urteil) {
        case TImportZeile::Neu:
            ++result.Neu;
            break;
        case TImportZeile::Aktualisiert:
            ++result.Aktualisiert;
            break;
        case TImportZeile::Abgelehnt:
            ++result.Abgelehnt;
            break;
        }
        if (fortschritt && !fortschritt(++fertig, int(d.Gruppen.size())))
            return false;
    }
    // The number range proposes no number that the import has given.
    if (hoechsteNeue >= 0)
        db.ExecSQL(QStringLiteral("update set_nummer set Nummer = ") + QString::number(hoechsteNeue + 1) +
                   QStringLiteral(" where NumTyp = '") + RangeOf(art) + QStringLiteral("' and Nummer <= ") +
                   QString::number(hoechsteNeue));
    return true;
}

// The first row whose verdict differs from the preview's, as a text; empty
// when every verdict is the same.
QString Abweichung(const TImportErgebnis& vorschau, const TImportErgebnis& jetzt) {
    for (int i = 0; i < jetzt.Zeilen.size(); ++i) {
        const TImportZeile& z = jetzt.Zeilen[i];
        if (i >= vorschau.Zeilen.size())
            return QStringLiteral("Zeile %1 wurde nicht geprüft").arg(z.Zeile);
        const TImportZeile& v = vorschau.Zeilen[i];
        if (v.Zeile != z.Zeile || v.Ergebnis != z.Ergebnis || v.Grund != z.Grund)
            return QStringLiteral("Zeile %1: geprüft „%2“, jetzt „%3“")
                .arg(z.Zeile)
                .arg(UrteilText(v.Ergebnis), UrteilText(z.Ergebnis));
    }
    if (vorschau.Zeilen.size() != jetzt.Zeilen.size())
        return QStringLiteral("die Datei hat jetzt %1 statt %2 Zeilen")
            .arg(jetzt.Zeilen.size())
            .arg(vorschau.Zeilen.size());
    return QString();
}

void RollbackQuietly(TSQLiteDB& db) {
    if (!db.InTransaction())
        return;
    try {
        db.Rollback();
    } catch (...) {
    }
}

} // namespace

TImportErgebnis ImportCSV(TDM& dm, TAustauschArt art, const QByteArray& data, bool aktualisieren,
                          bool ausfuehren, const TImportFortschritt& fortschritt,
                          const TImportErgebnis* vorschau) {
    TImportErgebnis result;
    TDatei d;
    if (!ReadDatei(art, data, d, result))
        return result;
    if (dm.SQLiteDB1.InTransaction())
        throw ESQLiteError(QStringLiteral("Während einer anderen Änderung kann nicht importiert werden!"));
    const int total = int(d.Gruppen.size());

    if (!ausfuehren) {
        // The check runs every rule on a copy of the database made for it: it
        // writes as the import would, but no lock on the database itself is
        // held for it, however long the file, and other programs go on reading
        // and writing meanwhile. Only the copy reads the database, briefly.
        QTemporaryDir dir;
        if (!dir.isValid())
            throw ESQLiteError(
                QStringLiteral("Für die Prüfung der Datei kann keine Arbeitskopie der Datenbank "
                               "angelegt werden: ") +
                dir.errorString());
        const QString copy = dir.filePath(QStringLiteral("Pruefung.DB"));
        try {
            dm.SQLiteDB1.BackupTo(copy, [&](int, int) {
                result.Abgebrochen = fortschritt && !fortschritt(0, total);
                return !result.Abgebrochen;
            });
        } catch (const ESQLiteError&) {
            if (!result.Abgebrochen)
                throw;
        }
        if (result.Abgebrochen)
            return result;
        TDM pruefung;
        pruefung.OpenDatabaseFile(copy);
        pruefung.SQLiteDB1.StartTransaction();
        try {
            result.Abgebrochen = !RunRules(pruefung, art, d, aktualisieren, fortschritt, result);
        } catch (...) {
            RollbackQuietly(pruefung.SQLiteDB1);
            throw;
        }
        RollbackQuietly(pruefung.SQLiteDB1);
        pruefung.SQLiteDB1.Close();
        return result;
    }

    TSQLiteDB& db = dm.SQLiteDB1;
    db.StartTransaction();
    try {
        result.Abgebrochen = !RunRules(dm, art, d, aktualisieren, fortschritt, result);
        const QString abweichung =
            vorschau && !result.Abgebrochen ? Abweichung(*vorschau, result) : QString();
        if (!abweichung.isEmpty())
            result.Fehler = QStringLiteral("Seit der Prüfung hat sich der Datenbestand geändert (") +
                            abweichung +
                            QStringLiteral("). Es wurde nichts importiert; bitte die Datei erneut prüfen.");
        if (result.Abgebrochen || !result.Fehler.isEmpty()) {
            db.Rollback();
        } else {
            db.Commit();
            result.Ausgefuehrt = true;
        }
    } catch (...) {
        RollbackQuietly(db);
        throw;
    }
    return result;
}
