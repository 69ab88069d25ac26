// Articles and their price lines: numbering, the checks before a save, the
// guards before a delete or a change of number, and the price-line list of the
// current article with its total.
//
// The price lines hang on the article's number, so every change of that
// number and every delete of an article carries the price lines along in the
// same transaction: a line left behind under a freed number would turn up in
// the next article that gets it.
#include "UDM.h"

#include "OwnTransaction.h"

#include "QuorventFunctions.h"
#include "RecordGuards.h"

#include <QLocale>
#include <QMap>

#include <cmath>

std::function<QString(const QString&)> TDM::FormattedTextPlain;

namespace {

const QString kVorlaeufig = QStringLiteral("(vorläufige Nummer)");

// NUMERIC(6,2): four digits before the point.
constexpr int kMaxText = 100;

const QMap<QString, QString>& ArtikelLabels() {
    static const QMap<QString, QString> labels = {
        {QStringLiteral("ArtKurzBez"), QStringLiteral("Kurzbezeichnung")},
        {QStringLiteral("ArtBez"), QStringLiteral("Bezeichnung")},
    };
    return labels;
}

bool Blank(const TField* field) {
    return field->IsNull() || field->AsString().trimmed().isEmpty();
}

void RefuseLongText(const TField* field, const QString& warning) {
    if (!field->IsNull() && field->AsString().size() > kMaxText)
        TDM::RefuseWithWarning(warning);
}

} // namespace

void TDM::SetupArtikel() {
    TableArtikel.Name = QStringLiteral("TableArtikel");
    TableArtikel.SetTableName(QStringLiteral("Artikel"));

    QueryArtikel.Name = QStringLiteral("QueryArtikel");
    QueryArtikel.SetSQL(QStringList{
        QStringLiteral(
            "select A.*,  AG.ArtGruBez, L.Firma, (select total(P.Menge*P.Wert)/1.0 from ArtPreis P "
            "where P.ArtikelID = A.ArtikelID) as Summe"),
        QStringLiteral("from Artikel A, ArtikelGruppe AG, Lieferant L"),
        QStringLiteral("where AG.ArtGruID = A.ArtGruID and L.LieferantenID = A.LieferantenID"),
    });
    QueryArtikel.AddField(QStringLiteral("ArtikelID"), TFieldType::Integer);
    QueryArtikel.AddField(QStringLiteral("ArtGruID"), TFieldType::Integer);
    QueryArtikel.AddField(QStringLiteral("ArtKurzBez"), TFieldType::String, 100);
    QueryArtikel.AddField(QStringLiteral("ArtBez"), TFieldType::Memo);
    for (const char* yesNo : {"Aktiv", "BereichEK", "BereichVK", "Zwischensumme"})
        QueryArtikel.AddField(QLatin1String(yesNo), TFieldType::String, 1);
    QueryArtikel.AddField(QStringLiteral("LieferantenID"), TFieldType::Integer);
    QueryArtikel.AddField(QStringLiteral("ArtGruBez"), TFieldType::String, 100);
    QueryArtikel.AddField(QStringLiteral("Firma"), TFieldType::String, 200);
    QueryArtikel.AddField(QStringLiteral("Summe"), TFieldType::Float, 0, QStringLiteral("0.00 EUR"));

    TableArtPreis.Name = QStringLiteral("TableArtPreis");
    TableArtPreis.SetTableName(QStringLiteral("ArtPreis"));
    QueryArtPreis.Name = QStringLiteral("QueryArtPreis");
    QueryArtPreis.SetSQL(
        QStringLiteral("select P.*, P.Menge*P.Wert / 1.0 as Summe, E.EinheitBez from ArtPreis P, "
                       "Einheit E where E.EinheitID = P.EinheitID"));
    for (TSQLiteBaseQuery* ds :
         {static_cast<TSQLiteBaseQuery*>(&TableArtPreis), static_cast<TSQLiteBaseQuery*>(&QueryArtPreis)}) {
        ds->AddField(QStringLiteral("ArtikelID"), TFieldType::Integer);
        ds->AddField(QStringLiteral("PreisID"), TFieldType::Integer);
        ds->AddField(QStringLiteral("PreisBez"), TFieldType::String, 100);
        ds->AddField(QStringLiteral("PreisBez2"), TFieldType::String, 100);
        ds->AddField(QStringLiteral("Menge"), TFieldType::Float);
        ds->AddField(QStringLiteral("EinheitID"), TFieldType::Integer);
        ds->AddField(QStringLiteral("Wert"), TFieldType::Float, 0, QStringLiteral("0.00"));
        ds->AddField(QStringLiteral("MWStSatz"), TFieldType::Float);
    }
    QueryArtPreis.AddField(QStringLiteral("Summe"), TFieldType::Float, 0, QStringLiteral("0.00"));
    QueryArtPreis.AddField(QStringLiteral("EinheitBez"), TFieldType::String, 10);

    DSTArtikel.setObjectName(QStringLiteral("DSTArtikel"));
    DSQArtikel.setObjectName(QStringLiteral("DSQArtikel"));
    DSTArtPreis.setObjectName(QStringLiteral("DSTArtPreis"));
    DSQArtPreis.setObjectName(QStringLiteral("DSQArtPreis"));

    TableArtikel.OnNewRecord = [this](TSQLiteBaseQuery* ds) { TableArtikelNewRecord(ds); };
    TableArtikel.BeforeEdit = [this](TSQLiteBaseQuery* ds) { TableArtikelBeforeEdit(ds); };
    TableArtikel.AfterScroll = [this](TSQLiteBaseQuery* ds) { TableArtikelAfterScroll(ds); };
    TableArtikel.BeforePost = [this](TSQLiteBaseQuery* ds) { TableArtikelBeforePost(ds); };
    TableArtikel.AfterPost = [this](TSQLiteBaseQuery* ds) {
        EndArtikelTransaction(true);
        // The row is stored under its number now, also after a change of number.
        ArtikelIDBeforeEdit = ds->FieldByName(QStringLiteral("ArtikelID"))->AsString();
    };
    TableArtikel.OnPostError = [this](TSQLiteBaseQuery*, const ESQLiteError&) {
        EndArtikelTransaction(false);
    };
    TableArtikel.BeforeDelete = [this](TSQLiteBaseQuery* ds) { TableArtikelBeforeDelete(ds); };
    TableArtikel.AfterDelete = [this](TSQLiteBaseQuery*) { EndArtikelTransaction(true); };
    TableArtikel.OnDeleteError = [this](TSQLiteBaseQuery*, const ESQLiteError&) {
        EndArtikelTransaction(false);
    };
    DSTArtikel.OnDataChange = [this](TDataSource* s, TField* f) { DSTArtikelDataChange(s, f); };
    DSQArtikel.OnDataChange = [this](TDataSource* s, TField* f) { DSQArtikelDataChange(s, f); };

    TableArtPreis.BeforeInsert = [this](TSQLiteBaseQuery* ds) { TableArtPreisBeforeInsert(ds); };
    TableArtPreis.AfterInsert = [this](TSQLiteBaseQuery* ds) { TableArtPreisAfterInsert(ds); };
    TableArtPreis.BeforePost = [this](TSQLiteBaseQuery* ds) { TableArtPreisBeforePost(ds); };
    TableArtPreis.AfterPost = [this](TSQLiteBaseQuery* ds) { TableArtPreisAfterPost(ds); };
    TableArtPreis.AfterDelete = [this](TSQLiteBaseQuery* ds) { TableArtPreisAfterDelete(ds); };
    DSQArtPreis.OnDataChange = [this](TDataSource* s, TField* f) { DSQArtPreisDataChange(s, f); };
}

// The number is proposed, not taken; the save draws it (see the customers).
void TDM::TableArtikelNewRecord(TSQLiteBaseQuery* DataSet) {
    DataSet->FieldByName(QStringLiteral("ArtikelID"))
        ->SetAsInteger(GetNumber(Query1, QStringLiteral("ArtikelID"), false));
    DataSet->FieldByName(QStringLiteral("Aktiv"))->SetAsString(QStringLiteral("J"));
    DataSet->FieldByName(QStringLiteral("BereichEK"))->SetAsString(QStringLiteral("N"));
    DataSet->FieldByName(QStringLiteral("BereichVK"))->SetAsString(QStringLiteral("J"));
    DataSet->FieldByName(QStringLiteral("LieferantenID"))->SetAsInteger(0);
    DataSet->FieldByName(QStringLiteral("Zwischensumme"))->SetAsString(QStringLiteral("N"));
    if (OnArtikelNummerHinweis)
        OnArtikelNummerHinweis(kVorlaeufig);
}

void TDM::TableArtikelBeforeEdit(TSQLiteBaseQuery* DataSet) {
    ArtikelIDBeforeEdit = DataSet->FieldByName(QStringLiteral("ArtikelID"))->AsString();
}

void TDM::TableArtikelAfterScroll(TSQLiteBaseQuery* DataSet) {
    if (DataSet->State() == TDataSetState::Browse)
        ArtikelIDBeforeEdit = DataSet->FieldByName(QStringLiteral("ArtikelID"))->AsString();
}

void TDM::TableArtikelBeforePost(TSQLiteBaseQuery* DataSet) {
    const bool inserting = DataSet->State() == TDataSetState::Insert;
    TField* id = DataSet->FieldByName(QStringLiteral("ArtikelID"));

    // Drawn before the checks: a refused save has taken its number already,
    // and the next attempt no longer matches the range, so it takes none.
    if (inserting) {
        if (!id->IsNull() && id->AsLargeInt() == GetNumber(Query1, QStringLiteral("ArtikelID"), false))
            id->SetAsInteger(GetNumber(Query1, QStringLiteral("ArtikelID"), true));
        if (OnArtikelNummerHinweis)
            OnArtikelNummerHinweis(QString());
    }

    if (id->IsNull())
        RefuseWithWarning(QStringLiteral("Die Artikelnummer muss angegeben werden!"));
    if (DataSet->FieldByName(QStringLiteral("ArtGruID"))->IsNull())
        RefuseWithWarning(QStringLiteral("Die Artikelgruppe muss angegeben werden!"));
    if (Blank(DataSet->FieldByName(QStringLiteral("ArtKurzBez"))))
        RefuseWithWarning(QStringLiteral("Die Kurzbezeichnung muss angegeben werden!"));
    // A description that is nothing but formatting is as empty as none.
    const TField* bez = DataSet->FieldByName(QStringLiteral("ArtBez"));
    const QString plain = FormattedTextPlain ? FormattedTextPlain(bez->AsString()) : bez->AsString();
    if (bez->IsNull() || plain.trimmed().isEmpty())
        RefuseWithWarning(QStringLiteral("Die Bezeichnung muss angegeben werden!"));
    if (Blank(DataSet->FieldByName(QStringLiteral("Aktiv"))))
        RefuseWithWarning(QStringLiteral("Das Aktiv-Kennzeichen muss angegeben werden!"));
    TField* ek = DataSet->FieldByName(QStringLiteral("BereichEK"));
    TField* vk = DataSet->FieldByName(QStringLiteral("BereichVK"));
    const bool einkauf = ek->AsString() == QLatin1String("J");
    const bool verkauf = vk->AsString() == QLatin1String("J");
    if (!einkauf && !verkauf)
        RefuseWithWarning(
            QStringLiteral("Der Artikel muss entweder ein Einkaufs- und/oder ein Verkaufsartikel sein!"));
    RefuseLongText(DataSet->FieldByName(QStringLiteral("ArtKurzBez")),
                   QStringLiteral("Die Kurzbezeichnung darf höchstens 100 Zeichen lang sein!"));
    RefuseUnstorableText(DataSet, ArtikelLabels());

    // A sales-only article is always supplied by supplier 0. An article
    // without any supplier would drop out of the article list, which joins
    // every article with its supplier, so none means supplier 0 as well.
    TField* lieferant = DataSet->FieldByName(QStringLiteral("LieferantenID"));
    if ((!einkauf && verkauf) || lieferant->IsNull())
        lieferant->SetAsInteger(0);

    const QString number = QString::number(id->AsLargeInt());
    if (inserting) {
        Query1.RunSQL(QStringLiteral("select count(*) as anz from Artikel where ArtikelID = ") + number);
        if (Query1.FieldByName(QStringLiteral("anz"))->AsInteger() > 0)
            RefuseWithWarning(QStringLiteral("Die angegebene Artikelnummer ist bereits vorhanden!"));
    } else if (number != ArtikelIDBeforeEdit) {
        Query1.RunSQL(QStringLiteral("select count(*) as anz from Artikel where ArtikelID = ") + number);
        if (Query1.FieldByName(QStringLiteral("anz"))->AsInteger() > 0)
            RefuseWithWarning(QStringLiteral("Die angegebene Artikelnummer ist bereits vorhanden!"));
        CheckArticleInUse(ArtikelIDBeforeEdit,
                          QStringLiteral("Die Artikelnummer kann nicht verändert werden"));

        // The price lines move with the article; the row itself is written
        // after this event, and AfterPost commits both (OnPostError rolls back).
        EndArtikelTransaction(false);
        BeginOwnTransaction(SQLiteDB1, FArtikelTransaction);
        try {
            Exec(QStringLiteral("update ArtPreis set ArtikelID = ") + number +
                 QStringLiteral(" where ArtikelID = ") + ArtikelIDBeforeEdit);
        } catch (...) {
            EndArtikelTransaction(false);
            throw;
        }
    }
}

void TDM::TableArtikelBeforeDelete(TSQLiteBaseQuery* DataSet) {
    const QString number = DataSet->FieldByName(QStringLiteral("ArtikelID"))->AsString();
    CheckArticleInUse(number, QStringLiteral("Der Artikel kann nicht gelöscht werden"));
    // The article row goes in the same transaction (AfterDelete commits), so a
    // failing delete cannot leave an article without its price lines.
    EndArtikelTransaction(false);
    BeginOwnTransaction(SQLiteDB1, FArtikelTransaction);
    try {
        Exec(QStringLiteral("delete from ArtPreis where ArtikelID = ") + number);
    } catch (...) {
        EndArtikelTransaction(false);
        throw;
    }
}

void TDM::EndArtikelTransaction(bool commit) {
    EndOwnTransaction(SQLiteDB1, FArtikelTransaction, commit);
}

void TDM::CheckArticleInUse(const QString& number, const QString& prefix) {
    RefuseWhenInUse(Query1, number, prefix,
                    QStringLiteral(", da der Artikel 0 die Vorlage jeder neuen Position ist!"),
                    {
                        {QStringLiteral("select count(*) as anz from PosDaten where ArtikelID = "),
                         QStringLiteral(", da der Artikel noch einem Auftrag zugeordnet ist!")},
                    });
}

// While the article is being edited its price lines are still stored under
// the number it had before; a number typed but not yet saved owns none. A new
// row owns no price lines until it is saved: empty then, so that no other
// article's lines (least of all those of article 0, the template of every new
// position) are shown or written under it.
QString TDM::StoredArtikelNumber() const {
    if (!TableArtikel.Active() || TableArtikel.State() == TDataSetState::Insert || TableArtikel.IsEmpty())
        return QString();
    if (TableArtikel.State() == TDataSetState::Edit && !ArtikelIDBeforeEdit.isEmpty())
        return ArtikelIDBeforeEdit;
    const TField* id = TableArtikel.FieldByName(QStringLiteral("ArtikelID"));
    return id->IsNull() ? QString() : QString::number(id->AsLargeInt());
}

void TDM::DSTArtikelDataChange(TDataSource*, TField* Field) {
    // Typing into a field changes nothing about the price lines. Entering
    // edit state on the same article must not throw away a price line the
    // user is still editing either.
    if (Field)
        return;
    if (StoredArtikelNumber() == FArtPreisShownFor && TableArtPreis.Editing())
        return;
    RefreshArticlePrices();
}

void TDM::DSQArtikelDataChange(TDataSource*, TField* Field) {
    if (Field || !QueryArtikel.Active() || QueryArtikel.IsEmpty() || !TableArtikel.Active())
        return;
    // A record being edited is not saved behind the user's back.
    if (TableArtikel.Editing())
        return;
    TableArtikel.Locate(QStringLiteral("ArtikelID"),
                        QueryArtikel.FieldByName(QStringLiteral("ArtikelID"))->Value());
}

void TDM::RefreshArticlePrices() {
    FArtPreisShownFor = StoredArtikelNumber();
    // "= NULL" matches no row: an article that is not stored has no lines.
    const QString number = FArtPreisShownFor.isEmpty() ? QStringLiteral("NULL") : FArtPreisShownFor;

    TableArtPreis.Close();
    TableArtPreis.SetFilter(QStringLiteral("ArtikelID = ") + number);
    TableArtPreis.Filtered = true;
    TableArtPreis.Open();

    QueryArtPreis.RunSQL(
        QStringLiteral("select P.*, P.Menge*P.Wert / 1.0 as Summe, E.EinheitBez from ArtPreis P, "
                       "Einheit E where P.ArtikelID = ") +
        number + QStringLiteral(" and E.EinheitID = P.EinheitID order by P.ArtikelID, P.PreisID"));

    Query1.RunSQL(QStringLiteral("select total(Menge*Wert)/1.0 as GPreis from ArtPreis where ArtikelID = ") +
                  number);
    QLocale locale;
    locale.setNumberOptions(QLocale::OmitGroupSeparator);
    ArtikelGesamtpreis = QStringLiteral("Gesamtpreis: ") +
                         locale.toString(Query1.FieldByName(QStringLiteral("GPreis"))->AsFloat(), 'f', 2);
    if (OnArtikelGesamtpreis)
        OnArtikelGesamtpreis(ArtikelGesamtpreis);
}

// A price line belongs to a stored article: a new article is saved first, with
// all its rules, and so is an article whose number was changed, because the
// line is numbered under the article's stored number.
void TDM::TableArtPreisBeforeInsert(TSQLiteBaseQuery*) {
    if (!TableArtikel.Active())
        return;
    const bool renumbered =
        TableArtikel.State() == TDataSetState::Edit &&
        TableArtikel.FieldByName(QStringLiteral("ArtikelID"))->AsString() != ArtikelIDBeforeEdit;
    if (TableArtikel.State() == TDataSetState::Insert || renumbered)
        TableArtikel.Post();
}

void TDM::TableArtPreisAfterInsert(TSQLiteBaseQuery* DataSet) {
    DataSet->FieldByName(QStringLiteral("MWStSatz"))->SetAsFloat(20);
}

void TDM::TableArtPreisBeforePost(TSQLiteBaseQuery* DataSet) {
    RefusePriceLine(DataSet, QStringLiteral("Bitte einen MWSt.-Satz auswählen!"));

    // A line is only ever written under the article the form shows as stored.
    const QString number = StoredArtikelNumber();
    if (number.isEmpty())
        Abort();
    if (DataSet->State() == TDataSetState::Insert) {
        Query1.RunSQL(QStringLiteral("select max(PreisID) as pid from ArtPreis where ArtikelID = ") + number);
        const TField* pid = Query1.FieldByName(QStringLiteral("pid"));
        const int next = (pid->IsNull() ? 0 : pid->AsInteger()) + 1;
        DataSet->FieldByName(QStringLiteral("ArtikelID"))->SetAsLargeInt(number.toLongLong());
        DataSet->FieldByName(QStringLiteral("PreisID"))->SetAsInteger(next);
    } else if (DataSet->FieldByName(QStringLiteral("ArtikelID"))->AsString() != number) {
        Abort();
    }
}

void TDM::TableArtPreisAfterPost(TSQLiteBaseQuery*) {
    RefreshArticlePrices();
}

void TDM::TableArtPreisAfterDelete(TSQLiteBaseQuery*) {
    RefreshArticlePrices();
}

// The edit fields below the list always show the line chosen in the list.
void TDM::DSQArtPreisDataChange(TDataSource*, TField* Field) {
    if (Field || !QueryArtPreis.Active() || QueryArtPreis.IsEmpty() || !TableArtPreis.Active())
        return;
    if (TableArtPreis.Editing())
        TableArtPreis.Cancel();
    TableArtPreis.Locate(QStringLiteral("ArtikelID;PreisID"),
                         QVariantList{QueryArtPreis.FieldByName(QStringLiteral("ArtikelID"))->Value(),
                                      QueryArtPreis.FieldByName(QStringLiteral("PreisID"))->Value()});
}
