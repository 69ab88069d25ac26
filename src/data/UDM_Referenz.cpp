// The reference tables: salutations, titles, countries, units, VAT rates,
// print-date kinds, the three group tables, the stored header and footer texts
// and the number ranges. Their rules sit here so that they hold on every
// screen that edits these rows.
#include "UDM.h"

#include <QLocale>

namespace {

bool ParseWhole(const QString& text, qint64* value) {
    const QString t = text.trimmed();
    bool ok = false;
    qint64 v = QLocale().toLongLong(t, &ok);
    if (!ok)
        v = t.toLongLong(&ok);
    if (ok)
        *value = v;
    return ok;
}

void SetupTable(TSQLiteTable& table, const QString& name, const QString& tableName) {
    table.Name = name;
    table.SetTableName(tableName);
    table.PrimaryAutoInc = true;
}

void SetupQuery(TSQLiteQuery& query, const QString& name, const QString& sql) {
    query.Name = name;
    query.SetSQL(sql);
}

} // namespace

void TDM::SetupReferenz() {
    SetupTable(TableAnrede, QStringLiteral("TableAnrede"), QStringLiteral("Anrede"));
    SetupTable(TableTitel, QStringLiteral("TableTitel"), QStringLiteral("Titel"));
    SetupTable(TableLand, QStringLiteral("TableLand"), QStringLiteral("Land"));
    SetupTable(TableEinheit, QStringLiteral("TableEinheit"), QStringLiteral("Einheit"));
    SetupTable(TableMWSt, QStringLiteral("TableMWSt"), QStringLiteral("MWSt"));
    SetupTable(TableDruDat, QStringLiteral("TableDruDat"), QStringLiteral("Druckdatum"));
    SetupTable(TableKunGru, QStringLiteral("TableKunGru"), QStringLiteral("KundenGruppe"));
    SetupTable(TableArtGru, QStringLiteral("TableArtGru"), QStringLiteral("ArtikelGruppe"));
    SetupTable(TableLieGru, QStringLiteral("TableLieGru"), QStringLiteral("LieferantenGruppe"));
    SetupTable(TableKopfText, QStringLiteral("TableKopfText"), QStringLiteral("KopfText"));
    SetupTable(TableFussText, QStringLiteral("TableFussText"), QStringLiteral("FussText"));

    // The print-run counter is the program's own business; the user edits every other range.
    TableNumKreis.Name = QStringLiteral("TableNumKreis");
    TableNumKreis.SetTableName(QStringLiteral("set_nummer"));
    TableNumKreis.SetFilter(QStringLiteral("NumTyp <> 'AusdruckID'"));
    TableNumKreis.Filtered = true;

    SetupQuery(QueryAnrede, QStringLiteral("QueryAnrede"),
               QStringLiteral("select * from anrede order by anredebez"));
    SetupQuery(QueryTitel, QStringLiteral("QueryTitel"),
               QStringLiteral("select * from titel order by titelbez"));
    SetupQuery(QueryLand, QStringLiteral("QueryLand"), QStringLiteral("select * from land order by landbez"));
    SetupQuery(QueryEinheit, QStringLiteral("QueryEinheit"),
               QStringLiteral("select * from Einheit order by EinheitBez"));
    SetupQuery(QueryMWSt, QStringLiteral("QueryMWSt"),
               QStringLiteral("select * from MWSt order by MWStSatz"));
    SetupQuery(QueryDruDat, QStringLiteral("QueryDruDat"),
               QStringLiteral("select * from Druckdatum order by DruDatBez"));
    SetupQuery(QueryKunGru, QStringLiteral("QueryKunGru"),
               QStringLiteral("select * from kundengruppe order by kungrubez"));
    SetupQuery(QueryArtGru, QStringLiteral("QueryArtGru"),
               QStringLiteral("select * from Artikelgruppe order by ArtGruBez"));
    SetupQuery(QueryLieGru, QStringLiteral("QueryLieGru"),
               QStringLiteral("select * from LieferantenGruppe order by LieGruBez"));

    const struct {
        TDataSource* source;
        const char* name;
    } sources[] = {
        {&DSTAnrede, "DSTAnrede"},     {&DSTTitel, "DSTTitel"},       {&DSTLand, "DSTLand"},
        {&DSTEinheit, "DSTEinheit"},   {&DSTMWSt, "DSTMWSt"},         {&DSTDruDat, "DSTDruDat"},
        {&DSTKunGru, "DSTKunGru"},     {&DSTArtGru, "DSTArtGru"},     {&DSTLieGru, "DSTLieGru"},
        {&DSTKopfText, "DSTKopfText"}, {&DSTFussText, "DSTFussText"}, {&DSTNumKreis, "DSTNumKreis"},
        {&DSQAnrede, "DSQAnrede"},     {&DSQTitel, "DSQTitel"},       {&DSQLand, "DSQLand"},
        {&DSQEinheit, "DSQEinheit"},   {&DSQMWSt, "DSQMWSt"},         {&DSQDruDat, "DSQDruDat"},
        {&DSQKunGru, "DSQKunGru"},     {&DSQArtGru, "DSQArtGru"},     {&DSQLieGru, "DSQLieGru"},
    };
    for (const auto& s : sources)
        s.source->setObjectName(QLatin1String(s.name));

    auto bind = [this](void (TDM::*handler)(TSQLiteBaseQuery*)) {
        return [this, handler](TSQLiteBaseQuery* ds) { (this->*handler)(ds); };
    };
    TableAnrede.BeforePost = bind(&TDM::TableAnredeBeforePost);
    TableAnrede.BeforeDelete = bind(&TDM::TableAnredeBeforeDelete);
    TableTitel.BeforePost = bind(&TDM::TableTitelBeforePost);
    TableTitel.BeforeDelete = bind(&TDM::TableTitelBeforeDelete);
    TableLand.BeforePost = bind(&TDM::TableLandBeforePost);
    TableLand.BeforeDelete = bind(&TDM::TableLandBeforeDelete);
    TableEinheit.BeforePost = bind(&TDM::TableEinheitBeforePost);
    TableEinheit.BeforeDelete = bind(&TDM::TableEinheitBeforeDelete);
    TableMWSt.BeforePost = bind(&TDM::TableMWStBeforePost);
    TableMWSt.BeforeDelete = bind(&TDM::TableMWStBeforeDelete);
    TableDruDat.BeforePost = bind(&TDM::TableDruDatBeforePost);
    TableDruDat.BeforeDelete = bind(&TDM::TableDruDatBeforeDelete);
    TableKunGru.BeforePost = bind(&TDM::TableKunGruBeforePost);
    TableKunGru.BeforeDelete = bind(&TDM::TableKunGruBeforeDelete);
    TableArtGru.BeforePost = bind(&TDM::TableArtGruBeforePost);
    TableArtGru.BeforeDelete = bind(&TDM::TableArtGruBeforeDelete);
    TableLieGru.BeforePost = bind(&TDM::TableLieGruBeforePost);
    TableLieGru.BeforeDelete = bind(&TDM::TableLieGruBeforeDelete);
    TableKopfText.BeforePost = bind(&TDM::TableKopfTextBeforePost);
    TableFussText.BeforePost = bind(&TDM::TableFussTextBeforePost);
    TableNumKreis.BeforePost = bind(&TDM::TableNumKreisBeforePost);
}

// A description counts as missing only when it holds nothing at all: a single
// blank is a valid description (the blank salutation, title and country rows
// of a new database are such rows).
void TDM::RequireText(TSQLiteBaseQuery* DataSet, const QString& field, const QString& warning) {
    const TField* f = DataSet->FieldByName(field);
    if (f->IsNull() || f->AsString().isEmpty())
        RefuseWithWarning(warning);
}

// Counts the rows that still point to the current row and refuses the delete
// when there is one.
void TDM::RefuseWhenUsed(TSQLiteBaseQuery* DataSet, const QString& keyField, const QString& countSQL,
                         const QString& warning) {
    const TField* key = DataSet->FieldByName(keyField);
    // A row posted since the table was opened has no key in the buffer yet
    // (the database assigns it). Nothing can point to it: every screen that
    // could pick it reopens its lists first, and so does this page.
    if (key->IsNull())
        return;
    Query1.RunSQL(countSQL + QString::number(key->AsLargeInt()));
    if (Query1.FieldByName(QStringLiteral("anz"))->AsInteger() > 0)
        RefuseWithWarning(warning);
}

// ---------------------------------------------------------------------------

void TDM::TableAnredeBeforePost(TSQLiteBaseQuery* DataSet) {
    RequireText(DataSet, QStringLiteral("AnredeBez"),
                QStringLiteral("Die Bezeichnung für die Anrede muss angegeben werden!"));
}

void TDM::TableAnredeBeforeDelete(TSQLiteBaseQuery* DataSet) {
    RefuseWhenUsed(
        DataSet, QStringLiteral("AnredeID"),
        QStringLiteral("select count(*) as anz from Kunde where AnredeID = "),
        QStringLiteral(
            "Die Anrede kann nicht gelöscht werden, da die Anrede noch einem Kunden zugeordnet ist!"));
    RefuseWhenUsed(
        DataSet, QStringLiteral("AnredeID"),
        QStringLiteral("select count(*) as anz from Lieferant where AnspAnredeID = "),
        QStringLiteral(
            "Die Anrede kann nicht gelöscht werden, da die Anrede noch einem Lieferanten zugeordnet ist!"));
}

void TDM::TableTitelBeforePost(TSQLiteBaseQuery* DataSet) {
    RequireText(DataSet, QStringLiteral("TitelBez"),
                QStringLiteral("Die Bezeichnung für den Titel muss angegeben werden!"));
}

void TDM::TableTitelBeforeDelete(TSQLiteBaseQuery* DataSet) {
    RefuseWhenUsed(
        DataSet, QStringLiteral("TitelID"),
        QStringLiteral("select count(*) as anz from Kunde where TitelID = "),
        QStringLiteral(
            "Der Titel kann nicht gelöscht werden, da der Titel noch einem Kunden zugeordnet ist!"));
    RefuseWhenUsed(
        DataSet, QStringLiteral("TitelID"),
        QStringLiteral("select count(*) as anz from Lieferant where AnspTitelID = "),
        QStringLiteral(
            "Der Titel kann nicht gelöscht werden, da der Titel noch einem Lieferanten zugeordnet ist!"));
}

void TDM::TableLandBeforePost(TSQLiteBaseQuery* DataSet) {
    RequireText(DataSet, QStringLiteral("LandBez"),
                QStringLiteral("Die Bezeichnung für das Land muss angegeben werden!"));
}

void TDM::TableLandBeforeDelete(TSQLiteBaseQuery* DataSet) {
    RefuseWhenUsed(
        DataSet, QStringLiteral("LandID"),
        QStringLiteral("select count(*) as anz from Kunde where LandID = "),
        QStringLiteral("Das Land kann nicht gelöscht werden, da das Land noch einem Kunden zugeordnet ist!"));
    RefuseWhenUsed(
        DataSet, QStringLiteral("LandID"),
        QStringLiteral("select count(*) as anz from Lieferant where LandID = "),
        QStringLiteral(
            "Das Land kann nicht gelöscht werden, da das Land noch einem Lieferanten zugeordnet ist!"));
}

void TDM::TableEinheitBeforePost(TSQLiteBaseQuery* DataSet) {
    RequireText(DataSet, QStringLiteral("EinheitBez"),
                QStringLiteral("Die Bezeichnung für die Einheit muss angegeben werden!"));
}

void TDM::TableEinheitBeforeDelete(TSQLiteBaseQuery* DataSet) {
    RefuseWhenUsed(
        DataSet, QStringLiteral("EinheitID"),
        QStringLiteral("select count(*) as anz from ArtPreis where EinheitID = "),
        QStringLiteral(
            "Die Einheit kann nicht gelöscht werden, da die Einheit noch einem Artikel zugeordnet ist!"));
    RefuseWhenUsed(
        DataSet, QStringLiteral("EinheitID"),
        QStringLiteral("select count(*) as anz from PosPreis where EinheitID = "),
        QStringLiteral(
            "Die Einheit kann nicht gelöscht werden, da die Einheit noch einem Auftrag zugeordnet ist!"));
}

// The rate is a number. Whatever a text field handed over ("19,5" in the
// user's notation, "19.5", or something that is no number at all) is settled
// here, so that only a number reaches the database.
void TDM::TableMWStBeforePost(TSQLiteBaseQuery* DataSet) {
    TField* f = DataSet->FieldByName(QStringLiteral("MWStSatz"));
    const QVariant value = f->Value();
    if (value.isNull() || (value.typeId() == QMetaType::QString && value.toString().trimmed().isEmpty()))
        RefuseWithWarning(QStringLiteral("Es muss ein MWSt.Satz angegeben werden!"));
    if (value.typeId() == QMetaType::QString || value.typeId() == QMetaType::QByteArray) {
        double rate = 0;
        if (!ParseTypedNumber(value.toString(), &rate))
            RefuseWithWarning(QStringLiteral("Der MWSt.Satz muss eine Zahl sein (z. B. 20 oder 19,5)!"));
        f->SetAsFloat(rate);
    }
}

void TDM::TableMWStBeforeDelete(TSQLiteBaseQuery* DataSet) {
    // Price lines keep the percentage itself, so no rate is in use by a key;
    // only the standard rate is kept, as the default of new price lines.
    const TField* key = DataSet->FieldByName(QStringLiteral("MWStID"));
    if (!key->IsNull() && key->AsLargeInt() == 1)
        RefuseWithWarning(QStringLiteral("Der MWSt.Satz kann nicht gelöscht werden!"));
}

void TDM::TableDruDatBeforePost(TSQLiteBaseQuery* DataSet) {
    RequireText(DataSet, QStringLiteral("DruDatBez"),
                QStringLiteral("Die Bezeichnung muss angegeben werden!"));
}

void TDM::TableDruDatBeforeDelete(TSQLiteBaseQuery* DataSet) {
    RefuseWhenUsed(
        DataSet, QStringLiteral("DruDatID"),
        QStringLiteral("select count(*) as anz from Kopf where DruDatID = "),
        QStringLiteral(
            "Das Druckdatum kann nicht gelöscht werden, da es noch einem Auftrag zugeordnet ist!"));
}

void TDM::TableKunGruBeforePost(TSQLiteBaseQuery* DataSet) {
    RequireText(DataSet, QStringLiteral("KunGruBez"),
                QStringLiteral("Die Bezeichnung muss angegeben werden!"));
}

void TDM::TableKunGruBeforeDelete(TSQLiteBaseQuery* DataSet) {
    RefuseWhenUsed(
        DataSet, QStringLiteral("KunGruID"),
        QStringLiteral("select count(*) as anz from Kunde where KunGruID = "),
        QStringLiteral("Die Kundengruppe kann nicht gelöscht werden, da die Kundengruppe noch einem "
                       "Kunden zugeordnet ist!"));
    // Purchase orders keep their supplier's group in the same column, so the
    // count errs on the side of keeping the group.
    RefuseWhenUsed(
        DataSet, QStringLiteral("KunGruID"),
        QStringLiteral("select count(*) as anz from Kopf where KunGruID = "),
        QStringLiteral("Die Kundengruppe kann nicht gelöscht werden, da die Kundengruppe noch einem "
                       "Auftrag zugeordnet ist!"));
}

void TDM::TableArtGruBeforePost(TSQLiteBaseQuery* DataSet) {
    RequireText(DataSet, QStringLiteral("ArtGruBez"),
                QStringLiteral("Die Bezeichnung für die Artikelgruppe muss angegeben werden!"));
}

void TDM::TableArtGruBeforeDelete(TSQLiteBaseQuery* DataSet) {
    RefuseWhenUsed(
        DataSet, QStringLiteral("ArtGruID"),
        QStringLiteral("select count(*) as anz from Artikel where ArtGruID = "),
        QStringLiteral("Die Artikelgruppe kann nicht gelöscht werden, da die Artikelgruppe noch einem "
                       "Artikel zugeordnet ist!"));
}

void TDM::TableLieGruBeforePost(TSQLiteBaseQuery* DataSet) {
    RequireText(DataSet, QStringLiteral("LieGruBez"),
                QStringLiteral("Die Bezeichnung muss angegeben werden!"));
}

void TDM::TableLieGruBeforeDelete(TSQLiteBaseQuery* DataSet) {
    RefuseWhenUsed(
        DataSet, QStringLiteral("LieGruID"),
        QStringLiteral("select count(*) as anz from Lieferant where LieGruID = "),
        QStringLiteral("Die Lieferantengruppe kann nicht gelöscht werden, da die Lieferantengruppe noch "
                       "einem Lieferanten zugeordnet ist!"));
}

void TDM::TableKopfTextBeforePost(TSQLiteBaseQuery* DataSet) {
    RequireText(DataSet, QStringLiteral("KopfTextBez"),
                QStringLiteral("Die Bezeichnung für den Kopftext muss angegeben werden!"));
    RequireText(DataSet, QStringLiteral("KopfTextText"),
                QStringLiteral("Der Kopftext muss angegeben werden!"));
}

void TDM::TableFussTextBeforePost(TSQLiteBaseQuery* DataSet) {
    RequireText(DataSet, QStringLiteral("FussTextBez"),
                QStringLiteral("Die Bezeichnung für den Fusstext muss angegeben werden!"));
    RequireText(DataSet, QStringLiteral("FussTextText"),
                QStringLiteral("Der Fusstext muss angegeben werden!"));
}

// The next number of a range is typed as text; only a whole number of at
// least 1 may be stored, or the next document would get no valid number.
void TDM::TableNumKreisBeforePost(TSQLiteBaseQuery* DataSet) {
    TField* f = DataSet->FieldByName(QStringLiteral("Nummer"));
    const QVariant value = f->Value();
    qint64 number = 0;
    bool ok = !value.isNull();
    if (ok) {
        if (value.typeId() == QMetaType::QString || value.typeId() == QMetaType::QByteArray)
            ok = ParseWhole(value.toString(), &number);
        else
            number = f->AsLargeInt();
    }
    if (!ok || number < 1)
        RefuseWithWarning(QStringLiteral("Die nächste Nummer muss eine ganze Zahl größer als 0 sein!"));
    if (value.typeId() == QMetaType::QString || value.typeId() == QMetaType::QByteArray)
        f->SetAsLargeInt(number);
}
