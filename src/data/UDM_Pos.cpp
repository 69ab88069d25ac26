// The body of a document: its positions and their price lines. Numbering of
// positions and price lines, the checks before a save, the short designation
// taken from the long one, the take-over of an article with its price lines,
// the reordering of the positions, and the removal of price lines with their
// position.
//
// Price lines hang on their position's number, so every change of that
// number takes them along in the same transaction. They are written before
// the position itself is: the take-over of an article stores them at once,
// also for a position that is not saved yet. Such lines are remembered under
// the number they were stored with, so that they follow the position when it
// is saved under another number and go when it is given up.
#include "Steuerregeln.h"
#include "UDM.h"

#include "OwnTransaction.h"

#include "Beleg.h"
#include "GlobalFunctions.h"
#include "QuorventFunctions.h"
#include "RecordGuards.h"

#include <QLocale>
#include <QMap>

#include <cmath>

namespace {

// A position as the price lines know it.
struct TPosKey {
    QString Typ;
    qint64 KopfID = 0;
    qint64 PosID = 0;
    bool Valid = false;

    bool operator==(const TPosKey& other) const {
        return Valid == other.Valid && Typ == other.Typ && KopfID == other.KopfID && PosID == other.PosID;
    }
    QString Where() const {
        return QStringLiteral(" where KopfTyp = ") + SQLQuote(Typ) + QStringLiteral(" and KopfID = ") +
               QString::number(KopfID) + QStringLiteral(" and PosID = ") + QString::number(PosID);
    }
    QString Text() const {
        return Valid ? Typ + QLatin1Char('/') + QString::number(KopfID) + QLatin1Char('/') +
                           QString::number(PosID)
                     : QString();
    }
};

// Interim numbers of the reordering: far above every number a user gives,
// and ten apart, so a moved position fits in just before or after another.
constexpr qint64 kInterimFactor = 10;
constexpr qint64 kInterimOffset = 1000000;

// NUMERIC(6,2): four digits before the point.
constexpr int kMaxText = 100;

const QMap<QString, QString>& PosLabels() {
    static const QMap<QString, QString> labels = {
        {QStringLiteral("PosKurzBez"), QStringLiteral("Kurzbezeichnung")},
        {QStringLiteral("PosBez"), QStringLiteral("Bezeichnung")},
    };
    return labels;
}

QString DocWhere(const QString& typ, qint64 kopfId) {
    return QStringLiteral(" where KopfTyp = ") + SQLQuote(typ) + QStringLiteral(" and KopfID = ") +
           QString::number(kopfId);
}

// A number in SQL text; NUMERIC values keep every digit they have.
QString SQLNumber(double value) {
    return QString::number(value, 'g', 15);
}

bool Blank(const TField* field) {
    return field->IsNull() || field->AsString().trimmed().isEmpty();
}

// The text of a formatted description, as the user reads it.
QString PlainDescription(const QString& stored) {
    return TDM::FormattedTextPlain ? TDM::FormattedTextPlain(stored) : stored;
}

// The short designation a long one gives: the first line that holds text,
// up to its third blank (three words stay, fewer stay whole).
QString ShortDesignation(const QString& posBez) {
    QString plain = PlainDescription(posBez);
    plain.replace(QChar::ParagraphSeparator, QLatin1Char('\n'));
    plain.replace(QChar::LineSeparator, QLatin1Char('\n'));
    plain.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    for (const QString& line : plain.split(QLatin1Char('\n'))) {
        QString text = line.trimmed();
        if (text.isEmpty())
            continue;
        qsizetype blanks = 0;
        for (qsizetype i = 0; i < text.size(); ++i) {
            if (text.at(i) == QLatin1Char(' ') && ++blanks == 3) {
                text.truncate(i);
                break;
            }
        }
        return text.left(kMaxText).trimmed();
    }
    return QString();
}

// The delete and change guard of a closed document, and of one that another
// program deleted meanwhile: its positions would belong to nothing.
void RefuseWhenClosed(TSQLiteQuery& query, const QString& typ, qint64 kopfId) {
    query.RunSQL(QStringLiteral("select Status from Kopf") + DocWhere(typ, kopfId));
    if (query.IsEmpty())
        TDM::RefuseWithWarning(DokumentFehltText());
    if (StatusGeschlossen(query.FieldByName(QStringLiteral("Status"))->AsString()))
        TDM::RefuseWithWarning(BereitsAbgeschlossenText(typ, int(kopfId)));
}

// The amount of a price line; a line whose discount is empty (older files
// hold such lines) counts without discount instead of dropping out.
QString LineNet(const QString& alias) {
    return alias + QStringLiteral("Menge*") + alias + QStringLiteral("Wert*(100-ifnull(") + alias +
           QStringLiteral("Rabatt,0))/100.0");
}

} // namespace

struct TDM::TPosState {
    explicit TPosState(TSQLiteDB* db) : Numbers(db) { Numbers.Name = QStringLiteral("QueryPosNummern"); }

    // The document of the open position form.
    QString Typ;
    int KopfID = 0;
    bool FormOpen = false;
    // The header discount: new price lines and the take-over start with it.
    bool HasRabatt = false;
    double Rabatt = 0;

    // Where the take-over stored the price lines of the position being
    // inserted; they move to its number when it is saved.
    TPosKey NewLines;
    // The price lines an edited position had before its first take-over,
    // kept in the temporary table PosPreisVorher until the edit ends.
    TPosKey Snapshot;
    // The position whose price lines were read last.
    QString ShownFor;
    // A change of number or a delete is under way in a transaction of ours.
    bool Transaction = false;

    // Reads the numbers of the reordering: 64-bit, they outgrow an int.
    TSQLiteQuery Numbers;
};

void TDM::SetupPos() {
    FPos = std::make_shared<TPosState>(&SQLiteDB1);

    TablePos.Name = QStringLiteral("TablePos");
    TablePos.SetTableName(QStringLiteral("PosDaten"));
    TablePosPreis.Name = QStringLiteral("TablePosPreis");
    TablePosPreis.SetTableName(QStringLiteral("PosPreis"));

    QueryPos.Name = QStringLiteral("QueryPos");
    QueryPos.AddField(QStringLiteral("PosID"), TFieldType::Integer);
    QueryPos.AddField(QStringLiteral("ArtikelID"), TFieldType::Integer);
    QueryPos.AddField(QStringLiteral("PosKurzBez"), TFieldType::String, 100);
    for (const char* sum : {"Summe", "SummeUST", "SummeInkl"})
        QueryPos.AddField(QLatin1String(sum), TFieldType::Float, 0, QStringLiteral("#,##0.00"));

    QueryPosPreis.Name = QStringLiteral("QueryPosPreis");
    QueryPosPreis.AddField(QStringLiteral("KopfTyp"), TFieldType::String, 1);
    QueryPosPreis.AddField(QStringLiteral("KopfID"), TFieldType::Integer);
    QueryPosPreis.AddField(QStringLiteral("PosID"), TFieldType::Integer);
    QueryPosPreis.AddField(QStringLiteral("PreisID"), TFieldType::Integer);
    QueryPosPreis.AddField(QStringLiteral("PreisBez"), TFieldType::String, 100);
    QueryPosPreis.AddField(QStringLiteral("PreisBez2"), TFieldType::String, 100);
    QueryPosPreis.AddField(QStringLiteral("Menge"), TFieldType::Float);
    QueryPosPreis.AddField(QStringLiteral("EinheitID"), TFieldType::Integer);
    QueryPosPreis.AddField(QStringLiteral("Wert"), TFieldType::Float, 0, QStringLiteral("0.00"));
    QueryPosPreis.AddField(QStringLiteral("Rabatt"), TFieldType::Float, 0, QStringLiteral("0.00%"));
    QueryPosPreis.AddField(QStringLiteral("MWStSatz"), TFieldType::Float);
    QueryPosPreis.AddField(QStringLiteral("Summe"), TFieldType::Float, 0, QStringLiteral("0.00"));
    QueryPosPreis.AddField(QStringLiteral("EinheitBez"), TFieldType::String, 10);

    FPos->Numbers.AddField(QStringLiteral("PosID"), TFieldType::LargeInt);

    DSTPos.setObjectName(QStringLiteral("DSTPos"));
    DSQPos.setObjectName(QStringLiteral("DSQPos"));
    DSTPosPreis.setObjectName(QStringLiteral("DSTPosPreis"));
    DSQPosPreis.setObjectName(QStringLiteral("DSQPosPreis"));

    TablePos.OnNewRecord = [this](TSQLiteBaseQuery* ds) { TablePosNewRecord(ds); };
    TablePos.AfterScroll = [this](TSQLiteBaseQuery* ds) { TablePosAfterScroll(ds); };
    TablePos.BeforeEdit = [this](TSQLiteBaseQuery* ds) { TablePosBeforeEdit(ds); };
    TablePos.BeforeCancel = [this](TSQLiteBaseQuery* ds) { TablePosBeforeCancel(ds); };
    TablePos.BeforePost = [this](TSQLiteBaseQuery* ds) { TablePosBeforePost(ds); };
    TablePos.AfterPost = [this](TSQLiteBaseQuery* ds) {
        EndOwnTransaction(SQLiteDB1, FPos->Transaction, true);
        // The lines are stored under the position's number now, and a
        // snapshot of an edit is no longer needed.
        FPos->NewLines = TPosKey();
        if (FPos->Snapshot.Valid) {
            FPos->Snapshot = TPosKey();
            Exec(QStringLiteral("delete from temp.PosPreisVorher"));
        }
        PosIDBeforeEdit = ds->FieldByName(QStringLiteral("PosID"))->AsString();
        RefreshPosPrices();
    };
    TablePos.OnPostError = [this](TSQLiteBaseQuery*, const ESQLiteError&) {
        EndOwnTransaction(SQLiteDB1, FPos->Transaction, false);
    };
    TablePos.BeforeDelete = [this](TSQLiteBaseQuery* ds) { TablePosBeforeDelete(ds); };
    TablePos.AfterDelete = [this](TSQLiteBaseQuery*) {
        EndOwnTransaction(SQLiteDB1, FPos->Transaction, true);
    };
    TablePos.OnDeleteError = [this](TSQLiteBaseQuery*, const ESQLiteError&) {
        EndOwnTransaction(SQLiteDB1, FPos->Transaction, false);
    };
    // Closing drops a pending change the way a cancel does, so the lines of a
    // new position or the snapshot of an edit are taken care of as well.
    TablePos.BeforeClose = [](TSQLiteBaseQuery* ds) {
        if (!ds->Editing())
            return;
        // The dataset closes in any case; what the cancel could not clean up
        // is what a crash would have left.
        try {
            ds->Cancel();
        } catch (const ESQLiteError&) {
        } catch (const EAbort&) {
        }
    };
    DSTPos.OnDataChange = [this](TDataSource* s, TField* f) { DSTPosDataChange(s, f); };

    TablePosPreis.BeforeInsert = [this](TSQLiteBaseQuery* ds) { TablePosPreisBeforeInsert(ds); };
    TablePosPreis.AfterInsert = [this](TSQLiteBaseQuery* ds) { TablePosPreisAfterInsert(ds); };
    TablePosPreis.BeforePost = [this](TSQLiteBaseQuery* ds) { TablePosPreisBeforePost(ds); };
    TablePosPreis.AfterPost = [this](TSQLiteBaseQuery* ds) { TablePosPreisAfterPost(ds); };
    TablePosPreis.BeforeDelete = [this](TSQLiteBaseQuery* ds) {
        RefuseWhenClosed(Query1, ds->FieldByName(QStringLiteral("KopfTyp"))->AsString(),
                         ds->FieldByName(QStringLiteral("KopfID"))->AsLargeInt());
    };
    TablePosPreis.AfterDelete = [this](TSQLiteBaseQuery* ds) { TablePosPreisAfterDelete(ds); };
    DSQPosPreis.OnDataChange = [this](TDataSource* s, TField* f) { DSQPosPreisDataChange(s, f); };
}

namespace {

// The position whose price lines the form shows and writes: the number a
// stored position is stored under (a number typed but not yet saved owns no
// lines), for a new one the number the take-over stored its lines under.
TPosKey StoredPosLines(const TSQLiteTable& table, const QString& beforeEdit, const TPosKey& newLines) {
    TPosKey key;
    if (!table.Active())
        return key;
    if (table.State() == TDataSetState::Insert)
        return newLines;
    if (table.IsEmpty())
        return key;
    const TField* typ = table.FieldByName(QStringLiteral("KopfTyp"));
    const TField* kopf = table.FieldByName(QStringLiteral("KopfID"));
    const TField* pos = table.FieldByName(QStringLiteral("PosID"));
    if (typ->IsNull() || kopf->IsNull())
        return key;
    key.Typ = typ->AsString();
    key.KopfID = kopf->AsLargeInt();
    if (table.State() == TDataSetState::Edit && !beforeEdit.isEmpty()) {
        bool ok = false;
        key.PosID = beforeEdit.toLongLong(&ok);
        key.Valid = ok;
    } else {
        key.PosID = pos->AsLargeInt();
        key.Valid = !pos->IsNull();
    }
    return key;
}

} // namespace

// ---------------------------------------------------------------------------
// The positions list.

TDM::TPosKopf TDM::ReadPosKopf(const QString& typ, int kopfId) {
    TPosKopf k;
    k.Betrag = KopfNetto(Query1, typ, kopfId);
    Query1.RunSQL(QStringLiteral("select * from Kopf") + DocWhere(typ, kopfId));
    if (Query1.IsEmpty())
        return k;
    k.Found = true;
    k.KopfBez = Query1.FieldByName(QStringLiteral("KopfBez"))->AsString();
    k.Status = Query1.FieldByName(QStringLiteral("Status"))->AsString();
    k.Netto = Query1.FieldByName(QStringLiteral("Netto"))->AsString() == QLatin1String("J");
    const TField* partner = Query1.FieldByName(QStringLiteral("KundenID"));
    if (partner->IsNull())
        return k;
    k.KundenID = QString::number(partner->AsLargeInt());
    if (DokTypMitLieferant(typ)) {
        Query1.RunSQL(QStringLiteral("select Firma from Lieferant where LieferantenID = ") + k.KundenID);
        if (!Query1.IsEmpty())
            k.Kundenname = Query1.FieldByName(QStringLiteral("Firma"))->AsString();
    } else {
        Query1.RunSQL(
            QStringLiteral("select ifnull(U.Firma || ' ','') || ifnull(U.Nachname,'') || ifnull(' ' "
                           "|| U.Vorname,'') as Name from Kunde U where U.KundenID = ") +
            k.KundenID);
        if (!Query1.IsEmpty())
            k.Kundenname = Query1.FieldByName(QStringLiteral("Name"))->AsString();
    }
    return k;
}

void TDM::OpenQueryPos(const QString& typ, int kopfId, bool netto) {
    const QString ofPos = QStringLiteral(" from PosPreis PP where PP.KopfTyp = P.KopfTyp and PP.KopfID = "
                                         "P.KopfID and PP.PosID = P.PosID)");
    const QString net = LineNet(QStringLiteral("PP."));
    QString sql = QStringLiteral("select P.PosID as PosID, P.ArtikelID as ArtikelID, P.PosKurzBez as "
                                 "PosKurzBez, (select total(") +
                  net + QLatin1Char(')') + ofPos + QStringLiteral(" as Summe, ");
    if (!netto) {
        sql += QStringLiteral("(select total(") + net + QStringLiteral("*PP.MWStSatz/100.0)") + ofPos +
               QStringLiteral(" as SummeUST, ");
        sql += QStringLiteral("(select total(") + net + QStringLiteral("*(PP.MWStSatz + 100)/100.0)") +
               ofPos + QStringLiteral(" as SummeInkl ");
    } else {
        sql += QStringLiteral("0 as SummeUST, ");
        sql += QStringLiteral("(select total(") + net + QLatin1Char(')') + ofPos +
               QStringLiteral(" as SummeInkl ");
    }
    sql += QStringLiteral("from PosDaten P where P.KopfTyp = ") + SQLQuote(typ) +
           QStringLiteral(" and P.KopfID = ") + QString::number(kopfId) +
           QStringLiteral(" group by P.PosID, P.ArtikelID, P.PosKurzBez order By P.PosID");
    QueryPos.RunSQL(sql);
}

qint64 TDM::ReorderPositions(const QString& typ, int kopfId, qint64 moved, qint64 target, int direction) {
    RefuseWhenClosed(Query1, typ, kopfId);
    const QString doc = DocWhere(typ, kopfId);
    if (target <= 0) {
        Query1.RunSQL(QStringLiteral("select max(PosID) as maxID from PosDaten") + doc);
        const TField* maxId = Query1.FieldByName(QStringLiteral("maxID"));
        if (Query1.IsEmpty() || maxId->IsNull())
            return 0;
        target = maxId->AsLargeInt();
        direction = 1;
    }
    direction = direction < 0 ? -1 : 1;
    const qint64 movedInterim = moved * kInterimFactor + kInterimOffset;
    const qint64 placed = target * kInterimFactor + direction + kInterimOffset;

    qint64 newNumber = 0;
    AllOrNothing(SQLiteDB1, [&] {
        for (const char* table : {"PosDaten", "PosPreis"}) {
            const QString update = QStringLiteral("update ") + QLatin1String(table);
            Exec(update + QStringLiteral(" set PosID = PosID * 10 + 1000000") + doc);
            Exec(update + QStringLiteral(" set PosID = ") + QString::number(placed) + doc +
                 QStringLiteral(" and PosID = ") + QString::number(movedInterim));
        }
        TSQLiteQuery& numbers = FPos->Numbers;
        numbers.RunSQL(QStringLiteral("select PosID from PosDaten") + doc +
                       QStringLiteral(" order by PosID"));
        qint64 k = 0;
        for (numbers.First(); !numbers.Eof(); numbers.Next()) {
            const qint64 interim = numbers.FieldByName(QStringLiteral("PosID"))->AsLargeInt();
            ++k;
            for (const char* table : {"PosDaten", "PosPreis"})
                Exec(QStringLiteral("update ") + QLatin1String(table) + QStringLiteral(" set PosID = ") +
                     QString::number(k) + doc + QStringLiteral(" and PosID = ") + QString::number(interim));
            if (interim == placed)
                newNumber = k;
        }
        numbers.Close();
    });
    return newNumber;
}

bool TDM::DeletePos(const QString& typ, int kopfId, qint64 posId) {
    TablePos.Close();
    TablePos.SetFilter(QStringLiteral("KopfTyp = ") + SQLQuote(typ) + QStringLiteral(" and KopfID = ") +
                       QString::number(kopfId));
    TablePos.Filtered = true;
    TablePos.Open();
    // Only the position asked for; never the row that happens to be current.
    if (!TablePos.Locate(QStringLiteral("PosID"), posId))
        return false;
    TablePos.Delete();
    return true;
}

// ---------------------------------------------------------------------------
// The position form.

void TDM::OpenPosForm(const QString& typ, int kopfId) {
    TablePos.Close();
    FPos->Typ = typ;
    FPos->KopfID = kopfId;
    FPos->FormOpen = true;
    FPos->NewLines = TPosKey();
    Query1.RunSQL(QStringLiteral("select Rabatt from Kopf") + DocWhere(typ, kopfId));
    const TField* rabatt = Query1.FieldByName(QStringLiteral("Rabatt"));
    FPos->HasRabatt = !Query1.IsEmpty() && !rabatt->IsNull();
    FPos->Rabatt = FPos->HasRabatt ? rabatt->AsFloat() : 0.0;
    TablePos.SetFilter(QStringLiteral("KopfTyp = ") + SQLQuote(typ) + QStringLiteral(" and KopfID = ") +
                       QString::number(kopfId));
    TablePos.Filtered = true;
    TablePos.Open();
}

qint64 TDM::ClosePosForm() {
    if (TablePosPreis.Editing())
        TablePosPreis.Cancel();
    if (TablePos.Editing())
        TablePos.Cancel();
    qint64 current = 0;
    if (TablePos.Active() && !TablePos.IsEmpty())
        current = TablePos.FieldByName(QStringLiteral("PosID"))->AsLargeInt();
    TablePos.Close();
    TablePos.SetFilter(QString());
    TablePos.Filtered = false;
    TablePosPreis.Close();
    QueryPosPreis.Close();
    FPos->FormOpen = false;
    FPos->Typ.clear();
    FPos->KopfID = 0;
    FPos->ShownFor.clear();
    return current;
}

void TDM::TablePosNewRecord(TSQLiteBaseQuery* DataSet) {
    FPos->NewLines = TPosKey();
    if (!FPos->FormOpen)
        return;
    RefuseWhenClosed(Query1, FPos->Typ, FPos->KopfID);
    DataSet->FieldByName(QStringLiteral("KopfTyp"))->SetAsString(FPos->Typ);
    DataSet->FieldByName(QStringLiteral("KopfID"))->SetAsInteger(FPos->KopfID);
    Query1.RunSQL(QStringLiteral("select max(PosID) as pid from PosDaten") +
                  DocWhere(FPos->Typ, FPos->KopfID));
    const TField* pid = Query1.FieldByName(QStringLiteral("pid"));
    DataSet->FieldByName(QStringLiteral("PosID"))
        ->SetAsLargeInt((Query1.IsEmpty() || pid->IsNull() ? 0 : pid->AsLargeInt()) + 1);
    DataSet->FieldByName(QStringLiteral("ArtikelID"))->SetAsInteger(0);
    // Every new position starts as a copy of article 0.
    TakePosArticle(0);
}

void TDM::TakePosArticle(qint64 artikelId) {
    TSQLiteTable& t = TablePos;
    if (!t.Active() || (!t.Editing() && t.IsEmpty()))
        return;
    const QString typ = t.FieldByName(QStringLiteral("KopfTyp"))->AsString();
    const qint64 kopfId = t.FieldByName(QStringLiteral("KopfID"))->AsLargeInt();
    RefuseWhenClosed(Query1, typ, kopfId);
    Query1.RunSQL(QStringLiteral("select ArtKurzBez, ArtBez, Zwischensumme from Artikel where ArtikelID = ") +
                  QString::number(artikelId));
    if (Query1.IsEmpty())
        RefuseWithWarning(QStringLiteral("Die angegebene Artikel ist nicht vorhanden!"));
    // Read before the position enters edit state, which reads its lines again.
    const QVariant kurzBez = Query1.FieldByName(QStringLiteral("ArtKurzBez"))->Value();
    const QVariant bez = Query1.FieldByName(QStringLiteral("ArtBez"))->Value();
    const QVariant zwischensumme = Query1.FieldByName(QStringLiteral("Zwischensumme"))->Value();
    if (!t.Editing())
        t.Edit();

    t.FieldByName(QStringLiteral("ArtikelID"))->SetAsLargeInt(artikelId);
    t.FieldByName(QStringLiteral("PosKurzBez"))->SetValue(kurzBez);
    t.FieldByName(QStringLiteral("PosBez"))->SetValue(bez);
    t.FieldByName(QStringLiteral("Zwischensumme"))->SetValue(zwischensumme);

    // The lines are written under the number they are stored with: that of
    // the stored position, or the one this new position first took them
    // under. A number the user typed but has not saved yet may belong to
    // another position.
    TPosKey key;
    if (t.State() == TDataSetState::Insert) {
        key = FPos->NewLines;
        const TField* pos = t.FieldByName(QStringLiteral("PosID"));
        if (!key.Valid && !pos->IsNull())
            key = TPosKey{typ, kopfId, pos->AsLargeInt(), true};
    } else {
        key = StoredPosLines(t, PosIDBeforeEdit, FPos->NewLines);
    }
    if (!key.Valid) {
        RefreshPosPrices();
        return;
    }
    // What an edited position had before is kept until the edit ends, so a
    // cancel brings the old lines back with the old article.
    if (t.State() == TDataSetState::Edit && !FPos->Snapshot.Valid) {
        Exec(QStringLiteral(
            "create temp table if not exists PosPreisVorher as select * from PosPreis where 0"));
        Exec(QStringLiteral("delete from temp.PosPreisVorher"));
        Exec(QStringLiteral("insert into temp.PosPreisVorher select * from PosPreis") + key.Where());
        FPos->Snapshot = key;
    }
    const QString discount = FPos->HasRabatt && FPos->Typ == typ && FPos->KopfID == kopfId
                                 ? SQLNumber(FPos->Rabatt)
                                 : QStringLiteral("0");
    AllOrNothing(SQLiteDB1, [&] {
        Exec(QStringLiteral("delete from PosPreis") + key.Where());
        Exec(QStringLiteral("insert into PosPreis select ") + SQLQuote(key.Typ) + QLatin1Char(',') +
             QString::number(key.KopfID) + QLatin1Char(',') + QString::number(key.PosID) +
             QStringLiteral(",PreisID,PreisBez,PreisBez2,Menge,EinheitID,Wert,") + discount +
             (IstKleinunternehmer(*this) ? QStringLiteral(",0") : QStringLiteral(",MWStSatz")) +
             QStringLiteral(" from ArtPreis where ArtikelID = ") + QString::number(artikelId));
    });
    if (t.State() == TDataSetState::Insert)
        FPos->NewLines = key;
    RefreshPosPrices();
}

void TDM::RefreshPosPrices() {
    const TPosKey key = StoredPosLines(TablePos, PosIDBeforeEdit, FPos->NewLines);
    FPos->ShownFor = key.Text();
    const QString typ = key.Valid ? key.Typ : QStringLiteral("x");
    const qint64 kopfId = key.Valid ? key.KopfID : 0;
    const qint64 posId = key.Valid ? key.PosID : 0;
    auto where = [&](const QString& alias) {
        return alias + QStringLiteral("KopfTyp = ") + SQLQuote(typ) + QStringLiteral(" and ") + alias +
               QStringLiteral("KopfID = ") + QString::number(kopfId) + QStringLiteral(" and ") + alias +
               QStringLiteral("PosID = ") + QString::number(posId);
    };

    TablePosPreis.Close();
    TablePosPreis.SetFilter(where(QString()));
    TablePosPreis.Filtered = true;
    TablePosPreis.Open();

    QueryPosPreis.RunSQL(QStringLiteral("select P.*, ") + LineNet(QStringLiteral("P.")) +
                         QStringLiteral(" as Summe, E.EinheitBez from PosPreis P, Einheit E where ") +
                         where(QStringLiteral("P.")) +
                         QStringLiteral(" and E.EinheitID = P.EinheitID order by P.PosID, P.PreisID"));

    Query1.RunSQL(PosGesamtpreisSQL(typ, int(kopfId), int(posId)));
    QLocale locale;
    locale.setNumberOptions(QLocale::OmitGroupSeparator);
    PosGesamtpreis = QStringLiteral("Gesamtpreis: ") +
                     locale.toString(Query1.FieldByName(QStringLiteral("GPreis"))->AsFloat(), 'f', 2);
    if (OnPosGesamtpreis)
        OnPosGesamtpreis(PosGesamtpreis);
}

// ---------------------------------------------------------------------------
// Rules of TablePos.

void TDM::TablePosAfterScroll(TSQLiteBaseQuery* DataSet) {
    if (DataSet->State() == TDataSetState::Insert)
        PosIDBeforeEdit.clear();
    else if (DataSet->State() == TDataSetState::Browse)
        PosIDBeforeEdit = DataSet->FieldByName(QStringLiteral("PosID"))->AsString();
}

void TDM::TablePosBeforeEdit(TSQLiteBaseQuery* DataSet) {
    PosIDBeforeEdit = DataSet->FieldByName(QStringLiteral("PosID"))->AsString();
}

void TDM::TablePosBeforeCancel(TSQLiteBaseQuery* DataSet) {
    if (DataSet->State() == TDataSetState::Insert) {
        // Only the lines this new position stored itself: the number in its
        // field may be one the user typed, and belong to another position.
        const TPosKey lines = FPos->NewLines;
        if (lines.Valid)
            Exec(QStringLiteral("delete from PosPreis") + lines.Where());
        FPos->NewLines = TPosKey();
        return;
    }
    if (FPos->Snapshot.Valid) {
        const TPosKey lines = FPos->Snapshot;
        AllOrNothing(SQLiteDB1, [&] {
            Exec(QStringLiteral("delete from PosPreis") + lines.Where());
            Exec(QStringLiteral("insert into PosPreis select * from temp.PosPreisVorher"));
            Exec(QStringLiteral("delete from temp.PosPreisVorher"));
        });
        FPos->Snapshot = TPosKey();
    }
}

void TDM::TablePosBeforePost(TSQLiteBaseQuery* DataSet) {
    const bool inserting = DataSet->State() == TDataSetState::Insert;
    const TField* kopf = DataSet->FieldByName(QStringLiteral("KopfID"));
    TField* pos = DataSet->FieldByName(QStringLiteral("PosID"));
    const TField* artikel = DataSet->FieldByName(QStringLiteral("ArtikelID"));
    const QString typ = DataSet->FieldByName(QStringLiteral("KopfTyp"))->AsString();

    if (kopf->IsNull())
        RefuseWithWarning(QStringLiteral("Die Nummer muss angegeben werden!"));
    RefuseWhenClosed(Query1, typ, kopf->AsLargeInt());
    if (pos->IsNull())
        RefuseWithWarning(QStringLiteral("Die Positionsnummer muss angegeben werden!"));
    if (pos->AsLargeInt() <= 0)
        RefuseWithWarning(QStringLiteral("Die Positionsnummer muss ein Wert größer oder gleich 1 sein!"));
    if (artikel->IsNull())
        RefuseWithWarning(QStringLiteral("Es muss ein Artikel angegeben werden!"));
    Query1.RunSQL(QStringLiteral("select count(*) as anz from Artikel where ArtikelID = ") +
                  QString::number(artikel->AsLargeInt()));
    if (Query1.FieldByName(QStringLiteral("anz"))->AsInteger() == 0)
        RefuseWithWarning(QStringLiteral("Die angegebene Artikel ist nicht vorhanden!"));
    // A description that is nothing but formatting is as empty as none.
    const TField* bez = DataSet->FieldByName(QStringLiteral("PosBez"));
    if (bez->IsNull() || PlainDescription(bez->AsString()).trimmed().isEmpty())
        RefuseWithWarning(QStringLiteral("Es muss eine Positionsbezeichnung angegeben werden!"));

    // Without a short designation the first words of the description serve,
    // as the user reads them (never the formatting codes around them).
    TField* kurz = DataSet->FieldByName(QStringLiteral("PosKurzBez"));
    if (Blank(kurz)) {
        const QString derived = ShortDesignation(bez->AsString());
        if (!derived.isEmpty())
            kurz->SetAsString(derived);
    }
    if (kurz->AsString().size() > kMaxText)
        RefuseWithWarning(QStringLiteral("Die Kurzbezeichnung darf höchstens 100 Zeichen lang sein!"));
    RefuseUnstorableText(DataSet, PosLabels());

    const QString number = QString::number(pos->AsLargeInt());
    if (!inserting && number == PosIDBeforeEdit)
        return;
    Query1.RunSQL(QStringLiteral("select count(*) as anz from PosDaten where KopfTyp = ") + SQLQuote(typ) +
                  QStringLiteral(" and KopfID = ") + QString::number(kopf->AsLargeInt()) +
                  QStringLiteral(" and PosID = ") + number);
    if (Query1.FieldByName(QStringLiteral("anz"))->AsInteger() > 0)
        RefuseWithWarning(QStringLiteral("Die angegebene Position ist bereits vorhanden!"));

    // The price lines follow the number: from the stored number of an edited
    // position, from where the take-over put them for a new one. The row is
    // written after this event; AfterPost commits both, OnPostError rolls back.
    const TPosKey from = StoredPosLines(TablePos, PosIDBeforeEdit, FPos->NewLines);
    if (!from.Valid || from.PosID == pos->AsLargeInt())
        return;
    BeginOwnTransaction(SQLiteDB1, FPos->Transaction);
    try {
        Exec(QStringLiteral("update PosPreis set PosID = ") + number + from.Where());
    } catch (...) {
        EndOwnTransaction(SQLiteDB1, FPos->Transaction, false);
        throw;
    }
}

void TDM::TablePosBeforeDelete(TSQLiteBaseQuery* DataSet) {
    const QString typ = DataSet->FieldByName(QStringLiteral("KopfTyp"))->AsString();
    const qint64 kopfId = DataSet->FieldByName(QStringLiteral("KopfID"))->AsLargeInt();
    RefuseWhenClosed(Query1, typ, kopfId);
    // The lines of the number the position is stored under, also when the
    // user typed another one into it.
    const TPosKey lines = StoredPosLines(TablePos, PosIDBeforeEdit, FPos->NewLines);
    // The position row goes in the same transaction (AfterDelete commits).
    BeginOwnTransaction(SQLiteDB1, FPos->Transaction);
    try {
        if (lines.Valid)
            Exec(QStringLiteral("delete from PosPreis") + lines.Where());
        if (FPos->Snapshot.Valid) {
            Exec(QStringLiteral("delete from temp.PosPreisVorher"));
            FPos->Snapshot = TPosKey();
        }
    } catch (...) {
        EndOwnTransaction(SQLiteDB1, FPos->Transaction, false);
        throw;
    }
}

void TDM::DSTPosDataChange(TDataSource*, TField* Field) {
    // Typing into a field changes nothing about the price lines, and entering
    // edit state must not throw away a price line the user is still editing.
    if (Field)
        return;
    const TPosKey key = StoredPosLines(TablePos, PosIDBeforeEdit, FPos->NewLines);
    if (key.Text() == FPos->ShownFor && TablePosPreis.Editing())
        return;
    RefreshPosPrices();
}

// ---------------------------------------------------------------------------
// Rules of TablePosPreis.

// A price line belongs to a stored position: a new one is saved first.
void TDM::TablePosPreisBeforeInsert(TSQLiteBaseQuery*) {
    if (!TablePos.Active())
        Abort();
    if (TablePos.State() == TDataSetState::Insert)
        TablePos.Post();
    if (!StoredPosLines(TablePos, PosIDBeforeEdit, FPos->NewLines).Valid)
        Abort();
}

void TDM::TablePosPreisAfterInsert(TSQLiteBaseQuery* DataSet) {
    if (FPos->HasRabatt)
        DataSet->FieldByName(QStringLiteral("Rabatt"))->SetAsFloat(FPos->Rabatt);
    // A small business charges no VAT: its lines start at 0 %.
    DataSet->FieldByName(QStringLiteral("MWStSatz"))->SetAsFloat(IstKleinunternehmer(*this) ? 0 : 20);
}

void TDM::TablePosPreisBeforePost(TSQLiteBaseQuery* DataSet) {
    RefusePriceLine(DataSet, QStringLiteral("Der MWSt.-Satz muss angegeben werden!"));
    RefuseBadPercent(DataSet, QStringLiteral("Rabatt"),
                     QStringLiteral("Der Rabatt muss zwischen 0 und 100 liegen!"));

    // A line is only ever written under the position the form shows as stored.
    const TPosKey key = StoredPosLines(TablePos, PosIDBeforeEdit, FPos->NewLines);
    if (!key.Valid)
        Abort();
    RefuseWhenClosed(Query1, key.Typ, key.KopfID);
    if (DataSet->State() == TDataSetState::Insert) {
        Query1.RunSQL(QStringLiteral("select max(PreisID) as pid from PosPreis") + key.Where());
        const TField* pid = Query1.FieldByName(QStringLiteral("pid"));
        DataSet->FieldByName(QStringLiteral("KopfTyp"))->SetAsString(key.Typ);
        DataSet->FieldByName(QStringLiteral("KopfID"))->SetAsLargeInt(key.KopfID);
        DataSet->FieldByName(QStringLiteral("PosID"))->SetAsLargeInt(key.PosID);
        DataSet->FieldByName(QStringLiteral("PreisID"))
            ->SetAsLargeInt((Query1.IsEmpty() || pid->IsNull() ? 0 : pid->AsLargeInt()) + 1);
    } else {
        const TPosKey own{DataSet->FieldByName(QStringLiteral("KopfTyp"))->AsString(),
                          DataSet->FieldByName(QStringLiteral("KopfID"))->AsLargeInt(),
                          DataSet->FieldByName(QStringLiteral("PosID"))->AsLargeInt(), true};
        if (!(own == key))
            Abort();
    }
    TField* rabatt = DataSet->FieldByName(QStringLiteral("Rabatt"));
    if (rabatt->IsNull())
        rabatt->SetAsFloat(0);
}

void TDM::TablePosPreisAfterPost(TSQLiteBaseQuery*) {
    RefreshPosPrices();
}

void TDM::TablePosPreisAfterDelete(TSQLiteBaseQuery*) {
    RefreshPosPrices();
}

// The editors below the list always show the line chosen in the list.
void TDM::DSQPosPreisDataChange(TDataSource*, TField* Field) {
    if (Field || !QueryPosPreis.Active() || QueryPosPreis.IsEmpty() || !TablePosPreis.Active())
        return;
    if (TablePosPreis.Editing())
        TablePosPreis.Cancel();
    TablePosPreis.Locate(QStringLiteral("KopfTyp;KopfID;PosID;PreisID"),
                         QVariantList{QueryPosPreis.FieldByName(QStringLiteral("KopfTyp"))->Value(),
                                      QueryPosPreis.FieldByName(QStringLiteral("KopfID"))->Value(),
                                      QueryPosPreis.FieldByName(QStringLiteral("PosID"))->Value(),
                                      QueryPosPreis.FieldByName(QStringLiteral("PreisID"))->Value()});
}
