// Issued documents print as issued. When a document is closed, the print
// data it was prepared with (report parameters, buffer rows and the company
// row of the letterhead) and, for the invoice types, its e-invoice are kept
// in tables of the program's own; every later output of the closed document
// reads them instead of the customer, company and article data of today. A
// closed document of an older file gets them the first time it is output.
//
// A payment reminder is a new letter: it is prepared from today's data.
#include "UDM.h"

#include "Beleg.h"
#include "GlobalFunctions.h"
#include "OwnTransaction.h"
#include "QuorventFunctions.h"

#include <QDateTime>
#include <QJsonDocument>
#include <QJsonObject>

std::function<void(TDM&, const QString&, int)> TDM::ERechnungAufbewahren;

namespace {

const QString kBufferColumns = QStringLiteral(
    "ZeilenID, PosID, PosBez, PosBez2, PreisBez, PreisBez2, Menge, EinheitBez, Wert, Rabatt, Summe");

QString KeyWhere(const QString& typ, int kopfId) {
    return QStringLiteral(" where KopfTyp = ") + SQLQuote(typ) + QStringLiteral(" and KopfID = ") +
           QString::number(kopfId);
}

// A text as an SQL literal exactly as it is (SQLQuote would trim it).
QString Literal(const QJsonValue& value) {
    if (!value.isString())
        return QStringLiteral("null");
    return u'\'' + value.toString().replace(u'\'', QStringLiteral("''")) + u'\'';
}

} // namespace

void TDM::EnsureDruckArchiv() {
    Exec(
        QStringLiteral("CREATE TABLE IF NOT EXISTS DruckArchiv (KopfTyp CHAR(1) NOT NULL, KopfID INTEGER NOT "
                       "NULL, Angelegt DATETIME, Parameter BLOB, Firma BLOB, ERechnung BLOB, PRIMARY KEY "
                       "(KopfTyp, KopfID))"));
    Exec(QStringLiteral(
        "CREATE TABLE IF NOT EXISTS DruckArchivZeile (KopfTyp CHAR(1) NOT NULL, KopfID INTEGER "
        "NOT NULL, ZeilenID INTEGER NOT NULL, PosID INTEGER, PosBez TEXT, PosBez2 TEXT, "
        "PreisBez TEXT, PreisBez2 TEXT, Menge TEXT, EinheitBez TEXT, Wert TEXT, Rabatt TEXT, "
        "Summe TEXT, PRIMARY KEY (KopfTyp, KopfID, ZeilenID))"));
}

bool TDM::DokumentGeschlossen(const QString& typ, int kopfId) {
    Query1.RunSQL(QStringLiteral("select Status from Kopf") + KeyWhere(typ, kopfId));
    return !Query1.IsEmpty() && StatusGeschlossen(Query1.Fields(0)->AsString());
}

bool TDM::HasIssuedPrintData(const QString& typ, int kopfId) {
    if (!TableExists(QStringLiteral("DruckArchiv")))
        return false;
    Query1.RunSQL(QStringLiteral("select count(*) from DruckArchiv") + KeyWhere(typ, kopfId) +
                  QStringLiteral(" and Parameter is not null"));
    return Query1.Fields(0)->AsInteger() > 0;
}

int TDM::PreparePrintData(const QString& typ, int kopfId, bool reminder) {
    const bool erinnerung = reminder && DokTypMitZahlungseingang(typ);
    if (erinnerung || !IsDokTyp(typ) || !DokumentGeschlossen(typ, kopfId))
        return PrepareCurrentPrintData(typ, kopfId, reminder);
    if (!HasIssuedPrintData(typ, kopfId)) {
        // Closed before anything was kept: what it prints now is kept, and
        // from then on it prints as it does today.
        KeepIssuedDocument(typ, kopfId);
        if (!HasIssuedPrintData(typ, kopfId))
            return 0; // the preparation refused and said why
    }
    return RestoreIssuedPrintData(typ, kopfId);
}

void TDM::KeepIssuedDocument(const QString& typ, int kopfId) {
    const int run = PrepareCurrentPrintData(typ, kopfId, false);
    if (run == 0)
        return;
    try {
        StoreIssuedPrintData(typ, kopfId, run);
    } catch (...) {
        OpenPrintBuffer(0);
        DeletePrintData(run);
        throw;
    }
    OpenPrintBuffer(0);
    DeletePrintData(run);
    if (ERechnungAufbewahren && DokTypAbschliessbar(typ))
        ERechnungAufbewahren(*this, typ, kopfId);
}

void TDM::StoreIssuedPrintData(const QString& typ, int kopfId, int run) {
    QJsonObject params;
    for (auto it = ReportParams.cbegin(); it != ReportParams.cend(); ++it)
        params.insert(it.key(), it.value());
    const QJsonObject stand{{QStringLiteral("Parameter"), params},
                            {QStringLiteral("OhnePreis"), DruckOhnePreis}};
    QJsonObject firma;
    if (QueryRv8.Active() && !QueryRv8.IsEmpty())
        for (int i = 0; i < QueryRv8.FieldCount(); ++i) {
            const TField* f = QueryRv8.Fields(i);
            firma.insert(f->FieldName(), f->IsNull() ? QJsonValue() : QJsonValue(f->AsString()));
        }
    const QString where = KeyWhere(typ, kopfId);
    AllOrNothing(SQLiteDB1, [&] {
        EnsureDruckArchiv();
        // A document closed anew replaces whatever an earlier one of the
        // same number left behind, its e-invoice included.
        Exec(QStringLiteral("delete from DruckArchivZeile") + where);
        Exec(QStringLiteral("delete from DruckArchiv") + where);
        SQLiteDB1.ExecSQL(
            QStringLiteral("insert into DruckArchiv (KopfTyp, KopfID, Angelegt, Parameter, Firma) "
                           "values (") +
                SQLQuote(typ) + u',' + QString::number(kopfId) + QStringLiteral(",'") +
                QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")) +
                QStringLiteral("', ?1, ?2)"),
            {QJsonDocument(stand).toJson(QJsonDocument::Compact),
             QJsonDocument(firma).toJson(QJsonDocument::Compact)});
        Exec(QStringLiteral("insert into DruckArchivZeile (KopfTyp, KopfID, ") + kBufferColumns +
             QStringLiteral(") select ") + SQLQuote(typ) + u',' + QString::number(kopfId) + u',' +
             kBufferColumns + QStringLiteral(" from Ausdruck where AusdruckID = ") + QString::number(run));
    });
}

int TDM::RestoreIssuedPrintData(const QString& typ, int kopfId) {
    OpenPrintBuffer(0);
    QueryRv6.Close();
    QueryRv7.Close();
    const QString where = KeyWhere(typ, kopfId);
    Query1.RunSQL(QStringLiteral("select Parameter, Firma from DruckArchiv") + where);
    const QJsonObject stand = QJsonDocument::fromJson(Query1.Fields(0)->AsBytes()).object();
    const QJsonObject firma = QJsonDocument::fromJson(Query1.Fields(1)->AsBytes()).object();

    ReportParams.clear();
    for (const QString& name : ReportParamNames())
        ReportParams.insert(name, QString());
    const QJsonObject params = stand.value(QStringLiteral("Parameter")).toObject();
    for (auto it = params.constBegin(); it != params.constEnd(); ++it)
        ReportParams.insert(it.key(), it.value().toString());
    DruckOhnePreis = stand.value(QStringLiteral("OhnePreis")).toBool();
    DruckZahlungserinnerung = false;

    // The letterhead as it was: the company row of that day.
    QueryRv8.Close();
    if (firma.isEmpty()) {
        QueryRv8.RunSQL(QStringLiteral("select * from geschaeft"));
    } else {
        QStringList columns;
        for (auto it = firma.constBegin(); it != firma.constEnd(); ++it)
            columns << Literal(it.value()) + QStringLiteral(" as \"") + it.key() + u'"';
        QueryRv8.RunSQL(QStringLiteral("select ") + columns.join(QStringLiteral(", ")));
    }

    const int run = GetNumber(Query1, QStringLiteral("AusdruckID"), true);
    const QString runSQL = QString::number(run);
    AllOrNothing(SQLiteDB1, [&] {
        Exec(QStringLiteral("delete from Ausdruck where AusdruckID = ") + runSQL);
        Exec(QStringLiteral("insert into Ausdruck (AusdruckID, ") + kBufferColumns +
             QStringLiteral(") select ") + runSQL + QStringLiteral(", ") + kBufferColumns +
             QStringLiteral(" from DruckArchivZeile") + where);
    });
    OpenPrintBuffer(run);
    return run;
}

QByteArray TDM::IssuedEInvoiceXml(const QString& typ, int kopfId) {
    if (!TableExists(QStringLiteral("DruckArchiv")))
        return {};
    Query1.RunSQL(QStringLiteral("select ERechnung from DruckArchiv") + KeyWhere(typ, kopfId));
    return Query1.IsEmpty() ? QByteArray() : Query1.Fields(0)->AsBytes();
}

void TDM::KeepIssuedEInvoiceXml(const QString& typ, int kopfId, const QByteArray& xml) {
    AllOrNothing(SQLiteDB1, [&] {
        EnsureDruckArchiv();
        Exec(QStringLiteral("insert or ignore into DruckArchiv (KopfTyp, KopfID, Angelegt) values (") +
             SQLQuote(typ) + u',' + QString::number(kopfId) + QStringLiteral(",'") +
             QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")) +
             QStringLiteral("')"));
        SQLiteDB1.ExecSQL(QStringLiteral("update DruckArchiv set ERechnung = ?1") + KeyWhere(typ, kopfId),
                          {xml});
    });
}

void TDM::TableKopfAfterPost(TSQLiteBaseQuery* DataSet) {
    const bool warGeschlossen = FKopfWarGeschlossen;
    FKopfWarGeschlossen = false;
    if (!StatusGeschlossen(DataSet->FieldByName(QStringLiteral("Status"))->AsString()))
        return;
    const QString typ = DataSet->FieldByName(QStringLiteral("KopfTyp"))->AsString();
    const int kopfId = DataSet->FieldByName(QStringLiteral("KopfID"))->AsInteger();
    // Just closed: this is the document as issued. A closed one of an older
    // file gets its print data now, the first time its header is saved.
    if (!warGeschlossen || !HasIssuedPrintData(typ, kopfId))
        KeepIssuedDocument(typ, kopfId);
}
