// Customers: numbering, the checks before a save, and the guards that keep a
// customer from disappearing under its number while something still points
// to it. Customer 0 is the target of every KonzernID 0 and must always exist.
#include "KundeERechnung.h"
#include "UDM.h"

#include "QuorventFunctions.h"
#include "RecordGuards.h"

#include <QDate>
#include <QMap>

namespace {

const QString kVorlaeufig = QStringLiteral("(vorläufige Nummer)");

// The captions of the customer form, to name a field in a warning.
const QMap<QString, QString>& KundeLabels() {
    static const QMap<QString, QString> labels = {
        {QStringLiteral("Firma"), QStringLiteral("Firma")},
        {QStringLiteral("Nachname"), QStringLiteral("Nachname")},
        {QStringLiteral("Vorname"), QStringLiteral("Vorname")},
        {QStringLiteral("Zusatzname"), QStringLiteral("Zusatzname")},
        {QStringLiteral("Strasse"), QStringLiteral("Straße")},
        {QStringLiteral("PLZ"), QStringLiteral("PLZ")},
        {QStringLiteral("Ort"), QStringLiteral("Ort")},
        {QStringLiteral("Telefon"), QStringLiteral("Telefon")},
        {QStringLiteral("Mobil"), QStringLiteral("Mobil")},
        {QStringLiteral("Fax"), QStringLiteral("Fax")},
        {QStringLiteral("Email"), QStringLiteral("E-Mail")},
        {QStringLiteral("UIDNr"), QStringLiteral("UID-Nr.")},
        {QStringLiteral("ATUNr"), QStringLiteral("UID-Nr.")},
        {QStringLiteral("Anmerkung"), QStringLiteral("Anmerkung")},
    };
    return labels;
}

bool Blank(const TField* field) {
    return field->IsNull() || field->AsString().trimmed().isEmpty();
}

// The number an edited customer had (0 for a new one) and the one being
// deleted: its e-invoice settings follow the row.
qint64 FKundeVorher = 0;
QString FKundeGeloescht;

// The key as SQL text: always the decimal digits of the stored number.
QString KeyText(const TField* field) {
    return QString::number(field->AsLargeInt());
}

} // namespace

void TDM::SetupKunde() {
    TableKunde.Name = QStringLiteral("TableKunde");
    TableKunde.SetTableName(QStringLiteral("Kunde"));
    QueryKunde.Name = QStringLiteral("QueryKunde");
    QueryKunde.SetSQL(QStringLiteral("select * from Kunde"));
    DSTKunde.setObjectName(QStringLiteral("DSTKunde"));
    DSQKunde.setObjectName(QStringLiteral("DSQKunde"));

    TableKunde.OnNewRecord = [this](TSQLiteBaseQuery* ds) { TableKundeNewRecord(ds); };
    TableKunde.BeforeEdit = [this](TSQLiteBaseQuery* ds) { TableKundeBeforeEdit(ds); };
    TableKunde.BeforePost = [this](TSQLiteBaseQuery* ds) { TableKundeBeforePost(ds); };
    TableKunde.BeforeDelete = [this](TSQLiteBaseQuery* ds) { TableKundeBeforeDelete(ds); };
    // The customer's e-invoice settings live in a table of their own and
    // follow the row: saved with it, dropped with an edit cancelled or the
    // row deleted.
    TableKunde.AfterPost = [this](TSQLiteBaseQuery* ds) {
        SpeichereKundeERechnungEingabe(*this, ds->FieldByName(QStringLiteral("KundenID"))->AsLargeInt(),
                                       FKundeVorher);
        FKundeVorher = 0;
    };
    TableKunde.AfterCancel = [](TSQLiteBaseQuery*) { VerwerfeKundeERechnungEingabe(); };
    TableKunde.AfterDelete = [this](TSQLiteBaseQuery*) {
        if (!FKundeGeloescht.isEmpty())
            LoescheKundeERechnung(*this, FKundeGeloescht.toLongLong());
    };
}

// A new row starts with the number the range would give next, without taking
// it: the number is drawn only when the row is saved, so a form left with
// "Zurück" costs no number.
void TDM::TableKundeNewRecord(TSQLiteBaseQuery* DataSet) {
    const QDateTime today(QDate::currentDate(), QTime(0, 0));
    DataSet->FieldByName(QStringLiteral("KundenID"))
        ->SetAsInteger(GetNumber(Query1, QStringLiteral("KundenID"), false));
    DataSet->FieldByName(QStringLiteral("AnredeID"))->SetAsInteger(1);
    DataSet->FieldByName(QStringLiteral("TitelID"))->SetAsInteger(1);
    DataSet->FieldByName(QStringLiteral("Aktiv"))->SetAsString(QStringLiteral("J"));
    DataSet->FieldByName(QStringLiteral("LandID"))->SetAsInteger(2);
    DataSet->FieldByName(QStringLiteral("Geburtsdatum"))->SetAsDateTime(today);
    DataSet->FieldByName(QStringLiteral("Erfassungsdatum"))->SetAsDateTime(today);
    DataSet->FieldByName(QStringLiteral("Netto"))->SetAsString(QStringLiteral("N"));
    DataSet->FieldByName(QStringLiteral("KonzernID"))->SetAsInteger(0);
    if (OnKundeNummerHinweis)
        OnKundeNummerHinweis(kVorlaeufig);
}

void TDM::TableKundeBeforeEdit(TSQLiteBaseQuery* DataSet) {
    KundenIDBeforeEdit = DataSet->FieldByName(QStringLiteral("KundenID"))->AsString();
}

void TDM::TableKundeBeforePost(TSQLiteBaseQuery* DataSet) {
    const bool inserting = DataSet->State() == TDataSetState::Insert;
    TField* id = DataSet->FieldByName(QStringLiteral("KundenID"));

    // Drawn before the checks: a refused save has taken its number already,
    // and the next attempt no longer matches the range, so it takes none.
    if (inserting) {
        if (!id->IsNull() && id->AsLargeInt() == GetNumber(Query1, QStringLiteral("KundenID"), false))
            id->SetAsInteger(GetNumber(Query1, QStringLiteral("KundenID"), true));
        if (OnKundeNummerHinweis)
            OnKundeNummerHinweis(QString());
    }

    if (id->IsNull())
        RefuseWithWarning(QStringLiteral("Die Kundennummer muss angegeben werden!"));
    if (DataSet->FieldByName(QStringLiteral("AnredeID"))->IsNull())
        RefuseWithWarning(QStringLiteral("Die Anrede muss angegeben werden!"));
    if (DataSet->FieldByName(QStringLiteral("TitelID"))->IsNull())
        RefuseWithWarning(QStringLiteral("Der Titel muss angegeben werden!"));
    if (Blank(DataSet->FieldByName(QStringLiteral("Firma"))) &&
        Blank(DataSet->FieldByName(QStringLiteral("Nachname"))))
        RefuseWithWarning(QStringLiteral("Es muss entweder eine Firma oder der Nachname angegeben werden!"));
    if (DataSet->FieldByName(QStringLiteral("LandID"))->IsNull())
        RefuseWithWarning(QStringLiteral("Das Land muss angegeben werden!"));
    if (DataSet->FieldByName(QStringLiteral("KunGruID"))->IsNull())
        RefuseWithWarning(QStringLiteral("Die Kundengruppe muss angegeben werden!"));
    if (Blank(DataSet->FieldByName(QStringLiteral("Aktiv"))))
        RefuseWithWarning(QStringLiteral("Das Aktiv-Kennzeichen muss angegeben werden!"));
    RefuseBadPercent(DataSet, QStringLiteral("Rabatt"),
                     QStringLiteral("Der Rabatt muss zwischen 0 und 100 liegen!"));
    RefuseBadPercent(DataSet, QStringLiteral("Skonto"),
                     QStringLiteral("Das Skonto muss zwischen 0 und 100 liegen!"));
    RefuseUnstorableText(DataSet, KundeLabels());
    // What the customer form typed belongs to its own table's row only, not
    // to a row an import saves meanwhile.
    if (DataSet == &TableKunde) {
        PruefeKundeERechnungEingabe();
        FKundeVorher = inserting ? 0 : KundenIDBeforeEdit.toLongLong();
    }

    // An empty parent company means none, which is customer 0.
    TField* konzern = DataSet->FieldByName(QStringLiteral("KonzernID"));
    if (konzern->IsNull())
        konzern->SetAsInteger(0);
    Query1.RunSQL(QStringLiteral("select count(*) as anz from Kunde where KundenID = ") + KeyText(konzern));
    if (Query1.FieldByName(QStringLiteral("anz"))->AsInteger() == 0)
        RefuseWithWarning(
            QStringLiteral("Die angegebene Konzernnummer ist als Kundennummer nicht vorhanden!"));

    const QString number = KeyText(id);
    if (inserting) {
        Query1.RunSQL(QStringLiteral("select count(*) as anz from Kunde where KundenID = ") + number);
        if (Query1.FieldByName(QStringLiteral("anz"))->AsInteger() > 0)
            RefuseWithWarning(QStringLiteral("Die angegebene Kundennummer ist bereits vorhanden!"));
    } else if (number != KundenIDBeforeEdit) {
        Query1.RunSQL(QStringLiteral("select count(*) as anz from Kunde where KundenID = ") + number);
        if (Query1.FieldByName(QStringLiteral("anz"))->AsInteger() > 0)
            RefuseWithWarning(QStringLiteral("Die angegebene Kundennummer ist bereits vorhanden!"));
        CheckCustomerInUse(KundenIDBeforeEdit,
                           QStringLiteral("Die Kundennummer kann nicht verändert werden"));
    }
}

void TDM::TableKundeBeforeDelete(TSQLiteBaseQuery* DataSet) {
    FKundeGeloescht.clear();
    CheckCustomerInUse(DataSet->FieldByName(QStringLiteral("KundenID"))->AsString(),
                       QStringLiteral("Der Kunde kann nicht gelöscht werden"));
    FKundeGeloescht = DataSet->FieldByName(QStringLiteral("KundenID"))->AsString();
}

void TDM::CheckCustomerInUse(const QString& number, const QString& prefix) {
    RefuseWhenInUse(Query1, number, prefix,
                    QStringLiteral(", da die Kundennummer 0 immer vorhanden sein muss!"),
                    {
                        {QStringLiteral("select count(*) as anz from Kunde where KonzernID = "),
                         QStringLiteral(", da der Kunde noch als Konzern verwendet wird!")},
                        {QStringLiteral("select count(*) as anz from Kunde where HaendlerID = "),
                         QStringLiteral(", da der Kunde noch als Händler verwendet wird!")},
                        {QStringLiteral("select count(*) as anz from Kopf where KundenID = "),
                         QStringLiteral(", da der Kunde noch einem Auftrag zugeordnet ist!")},
                        {QStringLiteral("select count(*) as anz from Kopf where SubkundenID = "),
                         QStringLiteral(", da der Kunde noch einem Auftrag zugeordnet ist (als Subkunde)!")},
                    });
}
