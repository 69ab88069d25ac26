// Document headers: numbering of new documents, the checks before a save,
// the status taken from the header form's boxes, the removal of positions and
// price lines together with their header, and what the header form shows.
//
// A closed document (A or Z) keeps every column but its status, whatever
// screen or code saves it: the form locks its controls, and the save rule
// refuses what gets past them.
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

const QString kVorlaeufig = QStringLiteral("(vorläufige Nummer)");

const QMap<QString, QString>& KopfLabels() {
    static const QMap<QString, QString> labels = {
        {QStringLiteral("KopfBez"), QStringLiteral("Bezeichnung")},
        {QStringLiteral("KopfText"), QStringLiteral("Kopftext")},
        {QStringLiteral("FussText"), QStringLiteral("Fusstext")},
        {QStringLiteral("Anmerkung"), QStringLiteral("Anmerkung")},
    };
    return labels;
}

// The key as SQL text: always the decimal digits of the stored number.
QString KeyText(const TField* field) {
    return QString::number(field->AsLargeInt());
}

// Copies a value between datasets; NULL stays NULL.
void CopyValue(const TField* from, TField* to) {
    to->SetValue(from->Value());
}

// Whether two values of one column are the same as far as the user can see:
// an empty text is no text, numbers compare by value.
bool SameValue(const TField* a, const TField* b) {
    if (a->IsNull() && b->IsNull())
        return true;
    switch (a->DataType()) {
    case TFieldType::String:
    case TFieldType::Memo:
        return a->AsString() == b->AsString();
    case TFieldType::Integer:
    case TFieldType::LargeInt:
        return a->IsNull() == b->IsNull() && a->AsLargeInt() == b->AsLargeInt();
    case TFieldType::Float:
        return a->IsNull() == b->IsNull() && std::abs(a->AsFloat() - b->AsFloat()) < 1e-9;
    case TFieldType::Date:
    case TFieldType::Time:
    case TFieldType::DateTime:
        return a->IsNull() == b->IsNull() && a->AsDateTime() == b->AsDateTime();
    default:
        return a->IsNull() == b->IsNull() && a->Value() == b->Value();
    }
}

QString NichtMehrAenderbarText(const QString& typ, const QString& kopfId) {
    return DokTypMitArtikel(typ, true) + QLatin1Char(' ') + kopfId +
           QStringLiteral(" ist bereits abgeschlossen und kann nicht mehr geändert werden!");
}

} // namespace

void TDM::SetupKopf() {
    TableKopf.Name = QStringLiteral("TableKopf");
    TableKopf.SetTableName(QStringLiteral("Kopf"));
    DSTKopf.setObjectName(QStringLiteral("DSTKopf"));

    QueryKopf.Name = QStringLiteral("QueryKopf");
    QueryKopf.SetSQL(KopfSummenSQL());
    QueryKopf.AddField(QStringLiteral("KopfTyp"), TFieldType::String, 1);
    QueryKopf.AddField(QStringLiteral("KopfID"), TFieldType::Integer);
    QueryKopf.AddField(QStringLiteral("KundenID"), TFieldType::Integer);
    QueryKopf.AddField(QStringLiteral("KunGruID"), TFieldType::Integer);
    QueryKopf.AddField(QStringLiteral("KopfBez"), TFieldType::String, 100);
    QueryKopf.AddField(QStringLiteral("Rabatt"), TFieldType::Float);
    QueryKopf.AddField(QStringLiteral("Skonto"), TFieldType::Float);
    QueryKopf.AddField(QStringLiteral("Status"), TFieldType::String, 1);
    QueryKopf.AddField(QStringLiteral("Datum"), TFieldType::DateTime);
    QueryKopf.AddField(QStringLiteral("Anmerkung"), TFieldType::Memo);
    QueryKopf.AddField(QStringLiteral("RefTyp"), TFieldType::String, 1);
    QueryKopf.AddField(QStringLiteral("RefID"), TFieldType::Integer);
    QueryKopf.AddField(QStringLiteral("Netto"), TFieldType::String, 1);
    QueryKopf.AddField(QStringLiteral("DruDatID"), TFieldType::Integer);
    QueryKopf.AddField(QStringLiteral("Datum2"), TFieldType::DateTime);
    QueryKopf.AddField(QStringLiteral("KopfText"), TFieldType::Memo);
    QueryKopf.AddField(QStringLiteral("FussText"), TFieldType::Memo);
    QueryKopf.AddField(QStringLiteral("KopfTextVorPos"), TFieldType::String, 1);
    QueryKopf.AddField(QStringLiteral("FussTextNachPos"), TFieldType::String, 1);
    QueryKopf.AddField(QStringLiteral("SubkundenID"), TFieldType::Integer);
    for (const char* sum : {"Summe", "SummeUST", "SummeInkl"})
        QueryKopf.AddField(QLatin1String(sum), TFieldType::Float, 0, QStringLiteral("#,##0.00"));
    DSQKopf.setObjectName(QStringLiteral("DSQKopf"));
    QueryKopfAnzeige.Name = QStringLiteral("QueryKopfAnzeige");

    TableKopf.OnNewRecord = [this](TSQLiteBaseQuery* ds) { TableKopfNewRecord(ds); };
    TableKopf.BeforeEdit = [this](TSQLiteBaseQuery* ds) { TableKopfBeforeEdit(ds); };
    TableKopf.BeforePost = [this](TSQLiteBaseQuery* ds) { TableKopfBeforePost(ds); };
    TableKopf.AfterPost = [this](TSQLiteBaseQuery* ds) { TableKopfAfterPost(ds); };
    TableKopf.BeforeDelete = [this](TSQLiteBaseQuery* ds) { TableKopfBeforeDelete(ds); };
    TableKopf.AfterDelete = [this](TSQLiteBaseQuery*) { EndKopfTransaction(true); };
    TableKopf.OnDeleteError = [this](TSQLiteBaseQuery*, const ESQLiteError&) { EndKopfTransaction(false); };
    DSTKopf.OnDataChange = [this](TDataSource* s, TField* f) { DSTKopfDataChange(s, f); };
}

// The type is chosen afterwards (SetKopfTyp); until then the row has neither
// type nor number.
void TDM::TableKopfNewRecord(TSQLiteBaseQuery* DataSet) {
    const QDateTime now = QDateTime::currentDateTime();
    DataSet->FieldByName(QStringLiteral("Datum"))->SetAsDateTime(now);
    DataSet->FieldByName(QStringLiteral("Datum2"))->SetAsDateTime(now);
    DataSet->FieldByName(QStringLiteral("DruDatID"))->SetAsInteger(1);
    DataSet->FieldByName(QStringLiteral("Status"))->SetAsString(StatusErfasst);
    DataSet->FieldByName(QStringLiteral("SubkundenID"))->SetAsInteger(0);
}

void TDM::TableKopfBeforeEdit(TSQLiteBaseQuery* DataSet) {
    FKopfTypBeforeEdit = DataSet->FieldByName(QStringLiteral("KopfTyp"))->AsString();
    FKopfIDBeforeEdit = DataSet->FieldByName(QStringLiteral("KopfID"))->AsString();
}

void TDM::TableKopfBeforePost(TSQLiteBaseQuery* DataSet) {
    const bool inserting = DataSet->State() == TDataSetState::Insert;
    const QString typ = DataSet->FieldByName(QStringLiteral("KopfTyp"))->AsString();
    TField* id = DataSet->FieldByName(QStringLiteral("KopfID"));
    TField* status = DataSet->FieldByName(QStringLiteral("Status"));

    // Without a type there is neither a number range nor a partner table.
    if (!IsDokTyp(typ))
        RefuseWithWarning(QStringLiteral("Die Art des Dokuments muss angegeben werden!"));

    // Drawn before the checks: a refused save has used up its number, and the
    // next attempt draws the following one.
    bool storedClosed = false;
    if (inserting) {
        id->SetAsInteger(GetNumber(Query1, DokTypNumKreis(typ), true));
        if (OnKopfNummerHinweis)
            OnKopfNummerHinweis(QString());
    } else {
        // Positions and price lines hang on type and number: a header given
        // another key would leave them behind under the old one.
        if (typ != FKopfTypBeforeEdit || id->AsString() != FKopfIDBeforeEdit)
            RefuseWithWarning(
                QStringLiteral("Art und Nummer eines Dokuments können nicht verändert werden!"));
        Query1.RunSQL(QStringLiteral("select * from Kopf where KopfTyp = ") + SQLQuote(typ) +
                      QStringLiteral(" and KopfID = ") + KeyText(id));
        storedClosed =
            !Query1.IsEmpty() && StatusGeschlossen(Query1.FieldByName(QStringLiteral("Status"))->AsString());
        if (storedClosed) {
            for (int i = 0; i < DataSet->FieldCount(); ++i) {
                const TField* field = DataSet->Fields(i);
                if (field->FieldName() == QLatin1String("Status"))
                    continue;
                const TField* stored = Query1.FindField(field->FieldName());
                if (stored && !SameValue(field, stored))
                    RefuseWithWarning(NichtMehrAenderbarText(typ, KeyText(id)));
            }
        }
    }

    TField* partner = DataSet->FieldByName(QStringLiteral("KundenID"));
    if (partner->IsNull())
        RefuseWithWarning(QStringLiteral("Die Kundennummer muss angegeben werden!"));
    // A purchase order is written to a supplier, every other type to a customer.
    if (DokTypMitLieferant(typ)) {
        Query1.RunSQL(QStringLiteral("select count(*) as anz from Lieferant where LieferantenID = ") +
                      KeyText(partner));
        if (Query1.FieldByName(QStringLiteral("anz"))->AsInteger() == 0)
            RefuseWithWarning(QStringLiteral("Der angegebene Lieferant ist nicht vorhanden!"));
    } else {
        Query1.RunSQL(QStringLiteral("select count(*) as anz from Kunde where KundenID = ") +
                      KeyText(partner));
        if (Query1.FieldByName(QStringLiteral("anz"))->AsInteger() == 0)
            RefuseWithWarning(QStringLiteral("Der angegebene Kunde ist nicht vorhanden!"));
    }
    if (DataSet->FieldByName(QStringLiteral("KunGruID"))->IsNull())
        RefuseWithWarning(QStringLiteral("Die Kundengruppe muss angegeben werden!"));
    if (DataSet->FieldByName(QStringLiteral("DruDatID"))->IsNull())
        RefuseWithWarning(QStringLiteral("Die Art des 2. Datums muss angegeben werden!"));
    // New price lines start with the header's discount.
    RefuseBadPercent(DataSet, QStringLiteral("Rabatt"),
                     QStringLiteral("Der Rabatt muss zwischen 0 und 100 liegen!"));
    RefuseBadPercent(DataSet, QStringLiteral("Skonto"),
                     QStringLiteral("Das Skonto muss zwischen 0 und 100 liegen!"));
    RefuseUnstorableText(DataSet, KopfLabels());

    bool abgeschlossen = false;
    bool zahlungseingang = false;
    if (KopfStatusBoxes && KopfStatusBoxes(abgeschlossen, zahlungseingang))
        status->SetAsString(StatusBeimSpeichern(typ, status->AsString(), abgeschlossen, zahlungseingang));
    // Nothing opens a closed document again.
    if (storedClosed && !StatusGeschlossen(status->AsString()))
        RefuseWithWarning(NichtMehrAenderbarText(typ, KeyText(id)));
    FKopfWarGeschlossen = storedClosed;
}

void TDM::TableKopfBeforeDelete(TSQLiteBaseQuery* DataSet) {
    const QString typ = DataSet->FieldByName(QStringLiteral("KopfTyp"))->AsString();
    const TField* id = DataSet->FieldByName(QStringLiteral("KopfID"));
    if (StatusGeschlossen(DataSet->FieldByName(QStringLiteral("Status"))->AsString()))
        RefuseWithWarning(BereitsAbgeschlossenText(typ, id->AsInteger()));

    // Price lines, positions and the header go together or not at all: the
    // header row is deleted after this event, and AfterDelete commits all
    // three (OnDeleteError rolls them back).
    EndKopfTransaction(false);
    BeginOwnTransaction(SQLiteDB1, FKopfTransaction);
    const QString where =
        QStringLiteral(" where KopfTyp = ") + SQLQuote(typ) + QStringLiteral(" and KopfID = ") + KeyText(id);
    try {
        Exec(QStringLiteral("delete from PosPreis") + where);
        Exec(QStringLiteral("delete from PosDaten") + where);
    } catch (...) {
        EndKopfTransaction(false);
        throw;
    }
}

void TDM::EndKopfTransaction(bool commit) {
    EndOwnTransaction(SQLiteDB1, FKopfTransaction, commit);
}

void TDM::DSTKopfDataChange(TDataSource*, TField*) {
    if (!TableKopf.Active() || !OnKopfAnzeige)
        return;
    const TField* id = TableKopf.FindField(QStringLiteral("KopfID"));
    if (!id || id->IsNull())
        return;
    const QString typ = TableKopf.FieldByName(QStringLiteral("KopfTyp"))->AsString();
    TKopfAnzeige a = KopfAnzeige(typ, TableKopf.FieldByName(QStringLiteral("Status"))->AsString());
    a.Typ = typ;

    const TField* partner = TableKopf.FieldByName(QStringLiteral("KundenID"));
    if (!partner->IsNull()) {
        TSQLiteQuery& q = QueryKopfAnzeige;
        if (DokTypMitLieferant(typ)) {
            q.RunSQL(QStringLiteral("select Firma from Lieferant where LieferantenID = ") + KeyText(partner));
            a.Kunde = q.FieldByName(QStringLiteral("Firma"))->AsString();
        } else {
            auto name = [&q](const TField* number) {
                q.RunSQL(QStringLiteral("select Firma, Nachname, Vorname from Kunde where KundenID = ") +
                         KeyText(number));
                if (q.IsEmpty())
                    return QString();
                return q.FieldByName(QStringLiteral("Firma"))->AsString() + QLatin1Char(' ') +
                       q.FieldByName(QStringLiteral("Nachname"))->AsString() + QLatin1Char(' ') +
                       q.FieldByName(QStringLiteral("Vorname"))->AsString();
            };
            a.Kunde = name(partner);
            const TField* sub = TableKopf.FieldByName(QStringLiteral("SubkundenID"));
            if (!sub->IsNull())
                a.Subkunde = name(sub);
        }
    }
    a.Betrag = QLocale().toString(KopfNetto(QueryKopfAnzeige, typ, id->AsInteger()), 'f', 2);
    a.BoxenSichtbarkeit = TableKopf.State() != TDataSetState::Edit;
    a.BoxenHaken = TableKopf.State() == TDataSetState::Browse;
    OnKopfAnzeige(a);
}

void TDM::SetKopfTyp(const QString& typ) {
    // The type of a stored document never changes.
    if (TableKopf.State() != TDataSetState::Insert || !IsDokTyp(typ))
        return;
    TableKopf.FieldByName(QStringLiteral("KopfTyp"))->SetAsString(typ);
    TableKopf.FieldByName(QStringLiteral("KopfID"))
        ->SetAsInteger(GetNumber(Query1, DokTypNumKreis(typ), false));
    if (OnKopfNummerHinweis)
        OnKopfNummerHinweis(kVorlaeufig);
    Query1.RunSQL(QStringLiteral("select KopfText") + typ + QStringLiteral(", KopfVorPos") + typ +
                  QStringLiteral(", FussText") + typ + QStringLiteral(", FussNachPos") + typ +
                  QStringLiteral(" from Geschaeft where GesId = 1"));
    if (!Query1.IsEmpty()) {
        CopyValue(Query1.FieldByName(QStringLiteral("KopfText") + typ),
                  TableKopf.FieldByName(QStringLiteral("KopfText")));
        CopyValue(Query1.FieldByName(QStringLiteral("KopfVorPos") + typ),
                  TableKopf.FieldByName(QStringLiteral("KopfTextVorPos")));
        CopyValue(Query1.FieldByName(QStringLiteral("FussText") + typ),
                  TableKopf.FieldByName(QStringLiteral("FussText")));
        CopyValue(Query1.FieldByName(QStringLiteral("FussNachPos") + typ),
                  TableKopf.FieldByName(QStringLiteral("FussTextNachPos")));
    }
    // What the type brings along is a default, not a change of the user's.
    TableKopf.SetModified(false);
}

void TDM::LoadKopfText(bool footer, int textId) {
    if (!TableKopf.Active())
        return;
    const QString typ = TableKopf.FieldByName(QStringLiteral("KopfTyp"))->AsString();
    if (!IsDokTyp(typ))
        return;
    const QString text = footer ? QStringLiteral("FussText") : QStringLiteral("KopfText");
    const QString flag = footer ? QStringLiteral("FussTextNachPos") : QStringLiteral("KopfTextVorPos");
    QString textColumn;
    QString flagColumn;
    if (textId <= 0) {
        const QString stdFlag = footer ? QStringLiteral("FussNachPos") : QStringLiteral("KopfVorPos");
        Query1.RunSQL(QStringLiteral("select ") + text + typ + QStringLiteral(", ") + stdFlag + typ +
                      QStringLiteral(" from Geschaeft where GesId = 1"));
        textColumn = text + typ;
        flagColumn = stdFlag + typ;
    } else {
        Query1.RunSQL(QStringLiteral("select ") + text + QStringLiteral("Text, ") + flag +
                      QStringLiteral(" from ") + text + QStringLiteral(" where ") + text +
                      QStringLiteral("ID = ") + QString::number(textId));
        textColumn = text + QStringLiteral("Text");
        flagColumn = flag;
    }
    // A block someone deleted meanwhile leaves the text as it is.
    if (Query1.IsEmpty())
        return;
    if (!TableKopf.Editing())
        TableKopf.Edit();
    CopyValue(Query1.FieldByName(textColumn), TableKopf.FieldByName(text));
    CopyValue(Query1.FieldByName(flagColumn), TableKopf.FieldByName(flag));
}

QList<QPair<int, QString>> TDM::KopfTextBlocks(bool footer) {
    const QString table = footer ? QStringLiteral("FussText") : QStringLiteral("KopfText");
    Query1.RunSQL(QStringLiteral("select * from ") + table + QStringLiteral(" order by ") + table +
                  QStringLiteral("Bez"));
    QList<QPair<int, QString>> blocks;
    for (Query1.First(); !Query1.Eof(); Query1.Next())
        blocks.append({Query1.FieldByName(table + QStringLiteral("ID"))->AsInteger(),
                       Query1.FieldByName(table + QStringLiteral("Bez"))->AsString()});
    return blocks;
}

void TDM::TakeKopfPartner() {
    if (!TableKopf.Active())
        return;
    const QString typ = TableKopf.FieldByName(QStringLiteral("KopfTyp"))->AsString();
    const bool supplier = DokTypMitLieferant(typ);
    TSQLiteQuery& list = supplier ? QueryLieferant : QueryKunde;
    if (!IsDokTyp(typ) || !list.Active() || list.IsEmpty())
        return;
    if (!TableKopf.Editing())
        TableKopf.Edit();
    auto take = [&](const char* from, const char* to) {
        CopyValue(list.FieldByName(QLatin1String(from)), TableKopf.FieldByName(QLatin1String(to)));
    };
    if (supplier) {
        // Netto belongs to customers; a purchase order keeps its own.
        take("LieferantenID", "KundenID");
        take("LieGruID", "KunGruID");
    } else {
        take("KundenID", "KundenID");
        take("KunGruID", "KunGruID");
        take("Netto", "Netto");
    }
    take("Rabatt", "Rabatt");
    take("Skonto", "Skonto");
}

void TDM::TakeKopfSubkunde() {
    if (!TableKopf.Active() || !QueryKunde.Active() || QueryKunde.IsEmpty())
        return;
    if (!TableKopf.Editing())
        TableKopf.Edit();
    CopyValue(QueryKunde.FieldByName(QStringLiteral("KundenID")),
              TableKopf.FieldByName(QStringLiteral("SubkundenID")));
}
