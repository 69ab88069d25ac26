// Suppliers: numbering, the checks before a save, and the guards before a
// delete or a change of number. Supplier 0 ("Verkauf") supplies every article
// that is only sold, and the article list joins each article with its
// supplier, so supplier 0 must always exist.
#include "UDM.h"

#include "QuorventFunctions.h"
#include "RecordGuards.h"

#include <QDate>
#include <QMap>

namespace {

const QString kVorlaeufig = QStringLiteral("(vorläufige Nummer)");

const QMap<QString, QString>& LieferantLabels() {
    static const QMap<QString, QString> labels = {
        {QStringLiteral("Firma"), QStringLiteral("Firma")},
        {QStringLiteral("Strasse"), QStringLiteral("Straße")},
        {QStringLiteral("PLZ"), QStringLiteral("PLZ")},
        {QStringLiteral("Ort"), QStringLiteral("Ort")},
        {QStringLiteral("Telefon"), QStringLiteral("Telefon")},
        {QStringLiteral("Fax"), QStringLiteral("Fax")},
        {QStringLiteral("Email"), QStringLiteral("E-Mail")},
        {QStringLiteral("Bank"), QStringLiteral("Bank")},
        {QStringLiteral("BLZ"), QStringLiteral("BLZ")},
        {QStringLiteral("Konto"), QStringLiteral("Konto")},
        {QStringLiteral("IBAN"), QStringLiteral("IBAN")},
        {QStringLiteral("BIC"), QStringLiteral("BIC")},
        {QStringLiteral("UIDNr"), QStringLiteral("UID-Nr.")},
        {QStringLiteral("KundenNr"), QStringLiteral("Ihre Kundenr.")},
        {QStringLiteral("AnspNachname"), QStringLiteral("Nachname (Ansprechpartner)")},
        {QStringLiteral("AnspVorname"), QStringLiteral("Vorname (Ansprechpartner)")},
        {QStringLiteral("AnspTelefon"), QStringLiteral("Telefon (Ansprechpartner)")},
        {QStringLiteral("AnspMobil"), QStringLiteral("Mobil (Ansprechpartner)")},
        {QStringLiteral("AnspEmail"), QStringLiteral("E-Mail (Ansprechpartner)")},
        {QStringLiteral("Anmerkung"), QStringLiteral("Anmerkung")},
    };
    return labels;
}

} // namespace

void TDM::SetupLieferant() {
    TableLieferant.Name = QStringLiteral("TableLieferant");
    TableLieferant.SetTableName(QStringLiteral("Lieferant"));
    QueryLieferant.Name = QStringLiteral("QueryLieferant");
    QueryLieferant.SetSQL(QStringLiteral("select * from Lieferant"));
    DSTLieferant.setObjectName(QStringLiteral("DSTLieferant"));
    DSQLieferant.setObjectName(QStringLiteral("DSQLieferant"));

    TableLieferant.OnNewRecord = [this](TSQLiteBaseQuery* ds) { TableLieferantNewRecord(ds); };
    TableLieferant.BeforeEdit = [this](TSQLiteBaseQuery* ds) { TableLieferantBeforeEdit(ds); };
    TableLieferant.BeforePost = [this](TSQLiteBaseQuery* ds) { TableLieferantBeforePost(ds); };
    TableLieferant.BeforeDelete = [this](TSQLiteBaseQuery* ds) { TableLieferantBeforeDelete(ds); };
}

// The number is proposed, not taken; the save draws it. The group is left
// open on purpose so that the user chooses one.
void TDM::TableLieferantNewRecord(TSQLiteBaseQuery* DataSet) {
    const QDateTime today(QDate::currentDate(), QTime(0, 0));
    DataSet->FieldByName(QStringLiteral("LieferantenID"))
        ->SetAsInteger(GetNumber(Query1, QStringLiteral("LieferantenID"), false));
    DataSet->FieldByName(QStringLiteral("AnspAnredeID"))->SetAsInteger(1);
    DataSet->FieldByName(QStringLiteral("AnspTitelID"))->SetAsInteger(1);
    DataSet->FieldByName(QStringLiteral("LandID"))->SetAsInteger(2);
    DataSet->FieldByName(QStringLiteral("Aktiv"))->SetAsString(QStringLiteral("J"));
    DataSet->FieldByName(QStringLiteral("Geburtsdatum"))->SetAsDateTime(today);
    DataSet->FieldByName(QStringLiteral("Erfassungsdatum"))->SetAsDateTime(today);
    if (OnLieferantNummerHinweis)
        OnLieferantNummerHinweis(kVorlaeufig);
}

void TDM::TableLieferantBeforeEdit(TSQLiteBaseQuery* DataSet) {
    LieferantenIDBeforeEdit = DataSet->FieldByName(QStringLiteral("LieferantenID"))->AsString();
}

void TDM::TableLieferantBeforePost(TSQLiteBaseQuery* DataSet) {
    const bool inserting = DataSet->State() == TDataSetState::Insert;
    TField* id = DataSet->FieldByName(QStringLiteral("LieferantenID"));

    // Drawn before the checks, exactly once (see the customers).
    if (inserting) {
        if (!id->IsNull() && id->AsLargeInt() == GetNumber(Query1, QStringLiteral("LieferantenID"), false))
            id->SetAsInteger(GetNumber(Query1, QStringLiteral("LieferantenID"), true));
        if (OnLieferantNummerHinweis)
            OnLieferantNummerHinweis(QString());
    }

    if (id->IsNull())
        RefuseWithWarning(QStringLiteral("Die Lieferantennummer muss angegeben werden!"));
    if (DataSet->FieldByName(QStringLiteral("AnspAnredeID"))->IsNull())
        RefuseWithWarning(QStringLiteral("Die Anrede muss angegeben werden!"));
    if (DataSet->FieldByName(QStringLiteral("AnspTitelID"))->IsNull())
        RefuseWithWarning(QStringLiteral("Der Titel muss angegeben werden!"));
    const TField* firma = DataSet->FieldByName(QStringLiteral("Firma"));
    if (firma->IsNull() || firma->AsString().trimmed().isEmpty())
        RefuseWithWarning(QStringLiteral("Es muss eine Firmenbezeichnung angegeben werden!"));
    if (DataSet->FieldByName(QStringLiteral("LandID"))->IsNull())
        RefuseWithWarning(QStringLiteral("Das Land muss angegeben werden!"));
    if (DataSet->FieldByName(QStringLiteral("LieGruID"))->IsNull())
        RefuseWithWarning(QStringLiteral("Die Lieferantengruppe muss angegeben werden!"));
    const TField* aktiv = DataSet->FieldByName(QStringLiteral("Aktiv"));
    if (aktiv->IsNull() || aktiv->AsString().trimmed().isEmpty())
        RefuseWithWarning(QStringLiteral("Das Aktiv-Kennzeichen muss angegeben werden!"));
    RefuseBadPercent(DataSet, QStringLiteral("Rabatt"),
                     QStringLiteral("Der Rabatt muss zwischen 0 und 100 liegen!"));
    RefuseBadPercent(DataSet, QStringLiteral("Skonto"),
                     QStringLiteral("Das Skonto muss zwischen 0 und 100 liegen!"));
    RefuseUnstorableText(DataSet, LieferantLabels());

    const QString number = QString::number(id->AsLargeInt());
    if (inserting) {
        Query1.RunSQL(QStringLiteral("select count(*) as anz from Lieferant where LieferantenID = ") +
                      number);
        if (Query1.FieldByName(QStringLiteral("anz"))->AsInteger() > 0)
            RefuseWithWarning(QStringLiteral("Die angegebene Lieferantennummer ist bereits vorhanden!"));
    } else if (number != LieferantenIDBeforeEdit) {
        Query1.RunSQL(QStringLiteral("select count(*) as anz from Lieferant where LieferantenID = ") +
                      number);
        if (Query1.FieldByName(QStringLiteral("anz"))->AsInteger() > 0)
            RefuseWithWarning(QStringLiteral("Die angegebene Lieferantennummer ist bereits vorhanden!"));
        CheckSupplierInUse(LieferantenIDBeforeEdit,
                           QStringLiteral("Die Lieferantennummer kann nicht verändert werden"));
    }
}

void TDM::TableLieferantBeforeDelete(TSQLiteBaseQuery* DataSet) {
    CheckSupplierInUse(DataSet->FieldByName(QStringLiteral("LieferantenID"))->AsString(),
                       QStringLiteral("Der Lieferant kann nicht gelöscht werden"));
}

// A purchase order keeps the supplier's number in its header's KundenID:
// without the supplier it would point at nobody, or at whoever gets the
// number next.
void TDM::CheckSupplierInUse(const QString& number, const QString& prefix) {
    RefuseWhenInUse(
        Query1, number, prefix,
        QStringLiteral(", da der \"Verkaufslieferant\" die Lieferantennummer 0 haben muss!"),
        {
            {QStringLiteral("select count(*) as anz from Artikel where LieferantenID = "),
             QStringLiteral(", da der Lieferant noch einem Artikel zugeordnet ist!")},
            {QStringLiteral("select count(*) as anz from Kopf where KopfTyp = 'B' and KundenID = "),
             QStringLiteral(", da der Lieferant noch einer Bestellung zugeordnet ist!")},
        });
}
