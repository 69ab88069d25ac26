// The database schema: its version, the check of its layout and the versioned
// upgrade from the oldest layout (version 0) to the current one. The tables a
// new file starts with are created in UDM_SchemaTables.cpp.
//
// A new file goes through the same chain as an old one, so the statements of
// every step must stay exactly as they are: stored files depend on them.
#include "FileNames.h"
#include "GlobalFunctions.h"
#include "KundeERechnung.h"
#include "UDM.h"
#include "UDM_SchemaInternal.h"

#include <QDate>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QScopeGuard>

using Schema::InsertCustomerZero;

namespace {

// The document-type letters of the company data, in the order of their columns.
const QString GeschaeftLetters = QStringLiteral("OALRTGZB");

// The column list of the company data between version 13 and 14: one entry per
// column with its type, and the source expression of the version-12 layout.
struct TColumn {
    QString name;
    QString type;
    QString source;
};

QString CreateStatement(const QString& table, const QList<TColumn>& columns) {
    QStringList defs;
    for (const TColumn& c : columns)
        defs << c.name + u' ' + c.type;
    return QStringLiteral("CREATE TABLE ") + table + QStringLiteral(" (") + defs.join(QStringLiteral(", ")) +
           u')';
}

QString InsertSelect(const QString& target, const QList<TColumn>& columns, const QString& source) {
    QStringList exprs;
    for (const TColumn& c : columns)
        exprs << c.source;
    return QStringLiteral("INSERT INTO ") + target + QStringLiteral(" SELECT ") +
           exprs.join(QStringLiteral(", ")) + QStringLiteral(" FROM ") + source;
}

QList<TColumn> GeschaeftColumnsV13() {
    QList<TColumn> c;
    auto add = [&](const QString& name, const QString& type, const QString& source = QString()) {
        c.append({name, type, source.isEmpty() ? name : source});
    };
    add(QStringLiteral("GesID"), QStringLiteral("INTEGER NOT NULL PRIMARY KEY"));
    add(QStringLiteral("Anrede"), QStringLiteral("VARCHAR(50)"));
    add(QStringLiteral("Name"), QStringLiteral("VARCHAR(100)"));
    add(QStringLiteral("Strasse"), QStringLiteral("VARCHAR(100)"));
    add(QStringLiteral("PLZ"), QStringLiteral("VARCHAR(10)"));
    add(QStringLiteral("Ort"), QStringLiteral("VARCHAR(100)"));
    add(QStringLiteral("Telefon"), QStringLiteral("VARCHAR(50)"));
    add(QStringLiteral("Mobil"), QStringLiteral("VARCHAR(50)"));
    add(QStringLiteral("Fax"), QStringLiteral("VARCHAR(50)"));
    add(QStringLiteral("Email"), QStringLiteral("VARCHAR(100)"));
    add(QStringLiteral("Web"), QStringLiteral("VARCHAR(100)"));
    add(QStringLiteral("UIDNr"), QStringLiteral("VARCHAR(20)"), QStringLiteral("ATUNr"));
    add(QStringLiteral("BankName"), QStringLiteral("VARCHAR(100)"));
    add(QStringLiteral("BankKonto"), QStringLiteral("VARCHAR(20)"));
    add(QStringLiteral("BankLZ"), QStringLiteral("VARCHAR(10)"));
    add(QStringLiteral("BankName2"), QStringLiteral("VARCHAR(100)"));
    add(QStringLiteral("BankKonto2"), QStringLiteral("VARCHAR(20)"));
    add(QStringLiteral("BankLZ2"), QStringLiteral("VARCHAR(10)"));
    add(QStringLiteral("IBAN"), QStringLiteral("CHAR(30)"));
    add(QStringLiteral("Swift"), QStringLiteral("CHAR(30)"));
    add(QStringLiteral("Firmenbuch"), QStringLiteral("VARCHAR(20)"));
    add(QStringLiteral("KundeLeft"), QStringLiteral("NUMERIC(5,2)"));
    add(QStringLiteral("KundeTop"), QStringLiteral("NUMERIC(5,2)"));
    add(QStringLiteral("PreisandruckenL"), QStringLiteral("CHAR(1)"));
    add(QStringLiteral("MailText"), QStringLiteral("TEXT"));
    add(QStringLiteral("LogoDrucken"), QStringLiteral("CHAR(1)"));
    add(QStringLiteral("LogoLeft"), QStringLiteral("NUMERIC(5,2)"));
    add(QStringLiteral("LogoTop"), QStringLiteral("NUMERIC(5,2)"));
    add(QStringLiteral("LogoWidth"), QStringLiteral("NUMERIC(5,2)"));
    add(QStringLiteral("AndruckLeerzeilen"), QStringLiteral("INTEGER"));
    add(QStringLiteral("PosNrFortlaufend"), QStringLiteral("CHAR(1)"));
    add(QStringLiteral("SkontoLeft"), QStringLiteral("NUMERIC(5,2)"));
    add(QStringLiteral("SkontoTop"), QStringLiteral("NUMERIC(5,2)"));
    add(QStringLiteral("Skonto"), QStringLiteral("VARCHAR(100)"));
    add(QStringLiteral("Skonto2"), QStringLiteral("VARCHAR(100)"));
    // The partial invoice (T) starts with the settings of the invoice (R).
    auto from = [](const QString& name, QChar letter) {
        return letter == u'T' ? name + u'R' : name + letter;
    };
    for (QChar l : GeschaeftLetters)
        add(QStringLiteral("Skonto") + l, QStringLiteral("CHAR(1)"), from(QStringLiteral("Skonto"), l));
    for (QChar l : GeschaeftLetters) {
        add(QStringLiteral("KopfLeft") + l, QStringLiteral("NUMERIC(5,2)"),
            from(QStringLiteral("KopfLeft"), l));
        add(QStringLiteral("KopfTop") + l, QStringLiteral("NUMERIC(5,2)"),
            from(QStringLiteral("KopfTop"), l));
        add(QStringLiteral("KopfText") + l, QStringLiteral("TEXT"), from(QStringLiteral("KopfText"), l));
        add(QStringLiteral("KopfVorPos") + l, QStringLiteral("CHAR(1)"),
            from(QStringLiteral("KopfVorPos"), l));
    }
    for (QChar l : GeschaeftLetters) {
        add(QStringLiteral("FussLeft") + l, QStringLiteral("NUMERIC(5,2)"),
            from(QStringLiteral("FussLeft"), l));
        add(QStringLiteral("FussTop") + l, QStringLiteral("NUMERIC(5,2)"),
            from(QStringLiteral("FussTop"), l));
        add(QStringLiteral("FussText") + l, QStringLiteral("TEXT"), from(QStringLiteral("FussText"), l));
        add(QStringLiteral("FussNachPos") + l, QStringLiteral("CHAR(1)"),
            from(QStringLiteral("FussNachPos"), l));
    }
    return c;
}

// The company data of version 14: without the position columns, two full bank accounts.
QList<TColumn> GeschaeftColumnsV14() {
    QList<TColumn> c;
    auto add = [&](const QString& name, const QString& type, const QString& source = QString()) {
        c.append({name, type, source.isEmpty() ? name : source});
    };
    add(QStringLiteral("GesID"), QStringLiteral("INTEGER NOT NULL PRIMARY KEY"));
    add(QStringLiteral("Anrede"), QStringLiteral("VARCHAR(50)"));
    add(QStringLiteral("Name"), QStringLiteral("VARCHAR(100)"));
    add(QStringLiteral("Strasse"), QStringLiteral("VARCHAR(100)"));
    add(QStringLiteral("PLZ"), QStringLiteral("VARCHAR(10)"));
    add(QStringLiteral("Ort"), QStringLiteral("VARCHAR(100)"));
    add(QStringLiteral("Telefon"), QStringLiteral("VARCHAR(50)"));
    add(QStringLiteral("Mobil"), QStringLiteral("VARCHAR(50)"));
    add(QStringLiteral("Fax"), QStringLiteral("VARCHAR(50)"));
    add(QStringLiteral("Email"), QStringLiteral("VARCHAR(100)"));
    add(QStringLiteral("Web"), QStringLiteral("VARCHAR(100)"));
    add(QStringLiteral("UIDNr"), QStringLiteral("VARCHAR(20)"));
    add(QStringLiteral("BankName1"), QStringLiteral("VARCHAR(100)"), QStringLiteral("BankName"));
    add(QStringLiteral("BankKonto1"), QStringLiteral("VARCHAR(20)"), QStringLiteral("BankKonto"));
    add(QStringLiteral("BLZ1"), QStringLiteral("VARCHAR(10)"), QStringLiteral("BankLZ"));
    add(QStringLiteral("IBAN1"), QStringLiteral("CHAR(30)"), QStringLiteral("IBAN"));
    add(QStringLiteral("BIC1"), QStringLiteral("CHAR(30)"), QStringLiteral("Swift"));
    add(QStringLiteral("BankName2"), QStringLiteral("VARCHAR(100)"));
    add(QStringLiteral("BankKonto2"), QStringLiteral("VARCHAR(20)"));
    add(QStringLiteral("BLZ2"), QStringLiteral("VARCHAR(10)"), QStringLiteral("BankLZ2"));
    add(QStringLiteral("IBAN2"), QStringLiteral("CHAR(30)"), QStringLiteral("NULL"));
    add(QStringLiteral("BIC2"), QStringLiteral("CHAR(30)"), QStringLiteral("NULL"));
    add(QStringLiteral("Firmenbuch"), QStringLiteral("VARCHAR(20)"));
    add(QStringLiteral("PreisandruckenL"), QStringLiteral("CHAR(1)"));
    add(QStringLiteral("MailText"), QStringLiteral("TEXT"));
    add(QStringLiteral("AndruckLeerzeilen"), QStringLiteral("INTEGER"));
    add(QStringLiteral("PosNrFortlaufend"), QStringLiteral("CHAR(1)"));
    add(QStringLiteral("Skonto"), QStringLiteral("VARCHAR(100)"));
    add(QStringLiteral("Skonto2"), QStringLiteral("VARCHAR(100)"));
    for (QChar l : GeschaeftLetters)
        add(QStringLiteral("Skonto") + l, QStringLiteral("CHAR(1)"));
    for (QChar l : GeschaeftLetters) {
        add(QStringLiteral("KopfText") + l, QStringLiteral("TEXT"));
        add(QStringLiteral("KopfVorPos") + l, QStringLiteral("CHAR(1)"));
    }
    for (QChar l : GeschaeftLetters) {
        add(QStringLiteral("FussText") + l, QStringLiteral("TEXT"));
        add(QStringLiteral("FussNachPos") + l, QStringLiteral("CHAR(1)"));
    }
    return c;
}

QString Geschaeft2Create(const QString& table) {
    return QStringLiteral("CREATE TABLE ") + table +
           QStringLiteral(
               " (GesID INTEGER NOT NULL PRIMARY KEY, Anrede VARCHAR(50), Name VARCHAR(100), Strasse "
               "VARCHAR(100), "
               "PLZ VARCHAR(10), Ort VARCHAR(100), Telefon VARCHAR(50), Mobil VARCHAR(50), Fax VARCHAR(50), "
               "Email "
               "VARCHAR(100), Web VARCHAR(100), ATUNr VARCHAR(20), BankName VARCHAR(100), BankKonto "
               "VARCHAR(20), "
               "BankLZ VARCHAR(10), BankName2 VARCHAR(100), BankKonto2 VARCHAR(20), BankLZ2 VARCHAR(10), "
               "Firmenbuch "
               "VARCHAR(20), LogoDrucken CHAR(1), KopfLeft NUMERIC(5,2), KopfTop NUMERIC(5,2), KopfText "
               "TEXT, "
               "LogoLeft NUMERIC(5,2), LogoTop NUMERIC(5,2), LogoWidth NUMERIC(5,2), KundeLeft NUMERIC(5,2), "
               "KundeTop NUMERIC(5,2), SkontoLeft NUMERIC(5,2), SkontoTop NUMERIC(5,2), Skonto VARCHAR(100), "
               "Skonto2 "
               "VARCHAR(100),FussLeftO NUMERIC(5,2), FussTopO NUMERIC(5,2), FussTextO VARCHAR(250), "
               "FussLeftA "
               "NUMERIC(5,2), FussTopA NUMERIC(5,2), FussTextA VARCHAR(250), FussLeftL NUMERIC(5,2), "
               "FussTopL "
               "NUMERIC(5,2), FussTextL VARCHAR(250), FussLeftR NUMERIC(5,2), FussTopR NUMERIC(5,2), "
               "FussTextR "
               "VARCHAR(250))");
}

// One ALTER TABLE ... ADD statement per column, in the given order.
QStringList AddColumns(const QString& table, const QList<QPair<QString, QString>>& columns) {
    QStringList result;
    for (const auto& [name, type] : columns)
        result << QStringLiteral("ALTER TABLE ") + table + QStringLiteral(" ADD ") + name + u' ' + type;
    return result;
}

// Copies a file over an existing one, which is replaced in one step (never
// removed first, so a failed copy leaves it as it was). A failure is not an
// error for the caller.
void CopyReplacing(const QString& source, const QString& target) {
    QFile in(source);
    if (in.open(QIODevice::ReadOnly))
        WriteWholeFile(target, in.readAll());
}

} // namespace

// ---------------------------------------------------------------------------

bool TDM::TableExists(const QString& name) {
    return SQLiteDB1.TableExists(name);
}

int TDM::GetDBVersion() {
    Query1.RunSQL(QStringLiteral("SELECT Version FROM set_db WHERE DBID = 1"));
    return Query1.FieldByName(QStringLiteral("Version"))->AsInteger();
}

void TDM::SetDBVersion(int version) {
    Exec(QStringLiteral("UPDATE set_db SET Version = ") + QString::number(version) +
         QStringLiteral(", LastUpdate = CURRENT_TIMESTAMP WHERE DBID = 1"));
    // Without its row the version would be lost: every start would take the
    // file for version 0 and run the first step on tables long past it.
    if (SQLiteDB1.Changes() == 0)
        Exec(QStringLiteral("INSERT INTO set_db VALUES (1, 'Datenbank-Version', ") +
             QString::number(version) + QStringLiteral(", CURRENT_TIMESTAMP)"));
}

int TDM::LayoutVersion() {
    // Each trace is created by its step alone and survives every later step,
    // the rebuilds of the company data included.
    struct TTrace {
        int version;
        const char* table;
        const char* column;
    };
    static const TTrace traces[] = {
        {15, "Geschaeft", "SkontoS"}, {14, "Geschaeft", "BankName1"}, {13, "Geschaeft", "SkontoT"},
        {12, "Kopf", "SubkundenID"},  {11, "Kunde", "KonzernID"},     {10, "Artikel", "LieferantenID"},
        {9, "Geschaeft", "MailText"}, {8, "Geschaeft", "FussTextG"},  {7, "Kopf", "DruDatID"},
        {6, "ArtPreis", "MWStSatz"},  {5, "Kunde", "Netto"},          {4, "Geschaeft", "PreisandruckenL"},
        {2, "Geschaeft", "Skonto2"},
    };
    if (TableExists(QStringLiteral("DruckElement"))) {
        Query1.RunSQL(QStringLiteral("SELECT COUNT(*) AS ANZ FROM DruckElement WHERE DEID = 38"));
        if (Query1.FieldByName(QStringLiteral("ANZ"))->AsInteger() != 0)
            return 16;
    }
    QHash<QString, QStringList> columns;
    auto hasColumn = [&](const QString& table, const QString& column) {
        if (!columns.contains(table))
            columns.insert(table, SQLiteDB1.TableColumns(table));
        return columns.value(table).contains(column, Qt::CaseInsensitive);
    };
    for (const TTrace& trace : traces)
        if (hasColumn(QString::fromLatin1(trace.table), QString::fromLatin1(trace.column)))
            return trace.version;
    return 0;
}

namespace {

ESQLiteError LayoutContradiction(const QString& file, int version, int layout) {
    return ESQLiteError(
        QStringLiteral("Die Datenbank %1 ist widersprüchlich: In der Tabelle set_db steht die "
                       "Version %2, ihre Tabellen haben aber bereits den Aufbau der Version "
                       "%3. Die Datenbank wird deshalb nicht aktualisiert.")
            .arg(file)
            .arg(version)
            .arg(layout));
}

} // namespace

void TDM::CheckLayout(int version) {
    const int layout = LayoutVersion();
    if (layout > version)
        throw LayoutContradiction(SQLiteDB1.FileName, version, layout);
}

bool TDM::BackupBeforeUpgrade(int step) {
    const QString refused =
        QStringLiteral("Die Datenbank wurde nicht auf Version %1 aktualisiert, weil vorher "
                       "keine Sicherungskopie angelegt werden konnte.\n")
            .arg(step);
    if (FCreatingFile)
        return GetDBVersion() < step;
    const QString folder = DataFolder() + QStringLiteral("updatebackup");
    if (!QDir().mkpath(folder))
        throw ESQLiteError(refused + QStringLiteral("Der Ordner ") + folder +
                           QStringLiteral(" für die Sicherungskopien konnte nicht angelegt werden!"));
    // The version is read in the snapshot the copy is taken from, so a copy
    // named .sicN holds version N even while another program upgrades the
    // same file (its copy of the same state merely replaces ours). A file
    // whose tables are ahead of its version gets no copy: it is refused.
    int version = 0, layout = 0;
    bool due = false;
    try {
        SQLiteDB1.BackupInSnapshot([&] {
            version = GetDBVersion();
            due = version < step;
            layout = due ? LayoutVersion() : 0;
            if (!due || layout > version)
                return QString();
            return folder + u'/' + QFileInfo(SQLiteDB1.FileName).fileName() + QStringLiteral(".sic") +
                   QString::number(version);
        });
    } catch (const ESQLiteError& e) {
        throw ESQLiteError(refused + e.message(), e.code());
    }
    if (due && layout > version)
        throw LayoutContradiction(SQLiteDB1.FileName, version, layout);
    return due;
}

namespace {

// Layout rows of elements the program added to the page after version 16.
// They come after the rows of the schema, for new and old files alike, so a
// file stays what version 16 describes. Only a missing row is written: an
// open must not wait for the write lock another program holds.
void AddOwnLayoutRows(TSQLiteDB& db, TSQLiteQuery& query) {
    // DEID 39: the reference of a cancellation invoice or credit note to its invoice.
    query.RunSQL(QStringLiteral("SELECT COUNT(*) AS ANZ FROM DruckElement WHERE DEID = 39"));
    const bool missing = query.FieldByName(QStringLiteral("ANZ"))->AsInteger() == 0;
    query.Close();
    if (missing)
        db.ExecSQL(
            QStringLiteral("INSERT INTO DruckElement values (39,2,94,176,0,'Y','N','Rechnungsbezug')"));
    // DEID 40: the payment QR code, printed only while the company has
    // switched it on; beside the document data, 26 mm wide so banking apps
    // read it.
    query.RunSQL(QStringLiteral("SELECT COUNT(*) AS ANZ FROM DruckElement WHERE DEID = 40"));
    const bool giroMissing = query.FieldByName(QStringLiteral("ANZ"))->AsInteger() == 0;
    query.Close();
    if (giroMissing)
        db.ExecSQL(QStringLiteral("INSERT INTO DruckElement values (40,152,63,26,0,'Y','N','GiroCode')"));
}

} // namespace

void TDM::CreateAndUpgradeSchema() {
    const bool newFile = SQLiteDB1.HasNoTables();
    // A file whose set_db lost its row (or the whole table) no longer knows
    // its version; its tables still show how far it got.
    bool versionLost = false;
    if (!newFile) {
        versionLost = !TableExists(QStringLiteral("set_db"));
        if (!versionLost) {
            Query1.RunSQL(QStringLiteral("SELECT COUNT(*) AS ANZ FROM set_db WHERE DBID = 1"));
            versionLost = Query1.FieldByName(QStringLiteral("ANZ"))->AsInteger() == 0;
        }
    }
    // A new file holds nothing worth protecting yet: its upgrade steps need
    // no safety copies.
    FCreatingFile = newFile;
    const auto created = qScopeGuard([this] { FCreatingFile = false; });
    if (newFile) {
        // Nor need its forty-odd commits each wait for the disk: that wait
        // made the first start take seconds. The last step runs with the usual setting again,
        // and its commit writes the finished file through to the disk.
        SQLiteDB1.WithoutDiskSync([this] {
            CreateMissingTables();
            UpgradeSchema(CurrentDBVersion - 1);
        });
    }
    CreateMissingTables();
    if (versionLost)
        RunInTransaction([&] { SetDBVersion(LayoutVersion()); });
    UpgradeSchema(CurrentDBVersion);
    const int version = GetDBVersion();
    if (version > CurrentDBVersion)
        throw ESQLiteError(
            QStringLiteral("Die Datenbank hat die Version %1, dieses Programm kann nur Datenbanken bis "
                           "zur Version %2 öffnen. Sie wurde mit einer neueren Programmversion "
                           "bearbeitet; bitte verwenden Sie diese.")
                .arg(version)
                .arg(CurrentDBVersion));
    AddOwnLayoutRows(SQLiteDB1, Query1);
    // Cancellation invoices and credit notes ask for no payment: a new company
    // starts without the payment-terms line on them; existing ones keep theirs.
    if (newFile)
        Exec(QStringLiteral("update Geschaeft set SkontoS = 'N', SkontoG = 'N'"));
    EnsureDruckArchiv();
    EnsureKundeERechnung(*this);
}

bool TDM::RunStep(int version, const std::function<void()>& statements) {
    if (!BackupBeforeUpgrade(version))
        return false;
    if (OnUpgradeStep)
        OnUpgradeStep(version);
    bool ran = false;
    RunInTransaction([&] {
        // Read again under the write lock: another program starting on the
        // same file may have run this step since, and running it twice would
        // set the version back below the tables.
        const int current = GetDBVersion();
        if (current >= version)
            return;
        CheckLayout(current);
        statements();
        SetDBVersion(version);
        ran = true;
    });
    return ran;
}

void TDM::UpgradeSchema(int maxVersion) {
    auto due = [&](int step) { return step <= maxVersion && GetDBVersion() < step; };
    auto execAll = [&](const QStringList& list) {
        for (const QString& sql : list)
            Exec(sql);
    };
    using Cols = QList<QPair<QString, QString>>;
    const QString num52 = QStringLiteral("NUMERIC(5,2)");
    const QString char1 = QStringLiteral("CHAR(1)");

    if (due(2))
        RunStep(2, [&] {
            Exec(Geschaeft2Create(QStringLiteral("Geschaeft2")));
            Exec(QStringLiteral("INSERT INTO Geschaeft2 SELECT GesID, Anrede, Name, Strasse, PLZ, Ort, "
                                "Telefon, Mobil, Fax, Email, "
                                "Web, ATUNr, BankName, BankKonto, BankLZ, BankName2, BankKonto2, BankLZ2, "
                                "Firmenbuch, LogoDrucken, "
                                "128, 31, KopfText, LogoLeft, LogoTop, LogoWidth, 2, 50, 11, 21, Skonto, "
                                "'Zahlbar innerhalb von 10 "
                                "Tagen ohne Abzug.', 11, 31, FussText, 11, 31, FussText, 11, 31, FussText, "
                                "11, 31, FussText FROM "
                                "Geschaeft"));
            Exec(QStringLiteral("DROP TABLE Geschaeft"));
            Exec(Geschaeft2Create(QStringLiteral("Geschaeft")));
            Exec(QStringLiteral("INSERT INTO Geschaeft SELECT * FROM Geschaeft2"));
            Exec(QStringLiteral("DROP TABLE Geschaeft2"));
        });

    if (due(3))
        RunStep(3, [] {});

    if (due(4))
        RunStep(4, [&] {
            Exec(QStringLiteral("ALTER TABLE Geschaeft ADD PreisandruckenL CHAR(1)"));
            Exec(QStringLiteral("UPDATE Geschaeft SET PreisandruckenL = 'J'"));
        });

    if (due(5))
        RunStep(5, [&] {
            Exec(QStringLiteral("ALTER TABLE Kunde ADD Netto CHAR(1)"));
            Exec(QStringLiteral("UPDATE Kunde SET Netto = 'N'"));
            Exec(QStringLiteral("ALTER TABLE Kopf ADD Netto CHAR(1)"));
            Exec(QStringLiteral("UPDATE Kopf SET Netto = 'N'"));
            Exec(QStringLiteral("ALTER TABLE Geschaeft ADD IBAN CHAR(30)"));
            Exec(QStringLiteral("ALTER TABLE Geschaeft ADD Swift CHAR(30)"));
        });

    if (due(6))
        RunStep(6, [&] {
            Exec(QStringLiteral("ALTER TABLE ArtPreis ADD MWStSatz NUMERIC(5,2)"));
            Exec(QStringLiteral("UPDATE ArtPreis SET MWStSatz = 20"));
            Exec(QStringLiteral("ALTER TABLE PosPreis ADD MWStSatz NUMERIC(5,2)"));
            Exec(QStringLiteral("UPDATE PosPreis SET MWStSatz = 20"));
        });

    if (due(7))
        RunStep(7, [&] {
            Exec(QStringLiteral("ALTER TABLE Kopf ADD DruDatID INTEGER"));
            Exec(QStringLiteral("ALTER TABLE Kopf ADD Datum2 DATETIME"));
            Exec(QStringLiteral("UPDATE Kopf SET DruDatID = 1, Datum2 = Datum"));
        });

    if (due(8))
        RunStep(8, [&] {
            Exec(QStringLiteral("INSERT INTO set_nummer VALUES ('KopfIDG', 'Gutschriftsnummer', 1)"));
            execAll(AddColumns(QStringLiteral("Geschaeft"),
                               Cols{{QStringLiteral("FussLeftG"), num52},
                                    {QStringLiteral("FussTopG"), num52},
                                    {QStringLiteral("FussTextG"), QStringLiteral("VARCHAR(250)")}}));
            Exec(QStringLiteral(
                "update Geschaeft set FussLeftG = FussLeftR, FussTopG = FussTopR, FussTextG = FussTextR"));
        });

    if (due(9))
        RunStep(9, [&] {
            Exec(QStringLiteral("ALTER TABLE Geschaeft ADD MailText TEXT"));
            Exec(QStringLiteral(
                "update Geschaeft set MailText = 'Sollten Sie den zur Anzeige erforderlichen Acrobat "
                "Reader noch nicht\r\ninstalliert haben, können Sie ihn hier gratis downloaden:\r\n"
                "https://get.adobe.com/de/reader/'"));
        });

    if (due(10))
        RunStep(10, [&] {
            Cols cols;
            const QString v250 = QStringLiteral("VARCHAR(250)");
            for (QChar l : QStringLiteral("ZB"))
                cols << qMakePair(QStringLiteral("FussLeft") + l, num52)
                     << qMakePair(QStringLiteral("FussTop") + l, num52)
                     << qMakePair(QStringLiteral("FussText") + l, v250);
            for (QChar l : QStringLiteral("OALRGZB"))
                cols << qMakePair(QStringLiteral("KopfLeft") + l, num52)
                     << qMakePair(QStringLiteral("KopfTop") + l, num52)
                     << qMakePair(QStringLiteral("KopfText") + l, v250);
            for (QChar l : QStringLiteral("OALRGZB"))
                cols << qMakePair(QStringLiteral("Skonto") + l, char1);
            execAll(AddColumns(QStringLiteral("Geschaeft"), cols));
            Exec(QStringLiteral("update Geschaeft set FussLeftZ = FussLeftR, FussTopZ = FussTopR, FussTextZ "
                                "= FussTextR, FussLeftB = "
                                "FussLeftR, FussTopB = FussTopR, FussTextB = FussTextR, KopfLeftO = "
                                "KopfLeft, KopfTopO = KopfTop, "
                                "KopfTextO = KopfText, SkontoO = 'J', KopfLeftA = KopfLeft, KopfTopA = "
                                "KopfTop, KopfTextA = KopfText, "
                                "SkontoA = 'J', KopfLeftL = KopfLeft, KopfTopL = KopfTop, KopfTextL = "
                                "KopfText, SkontoL = 'J', "
                                "KopfLeftR = KopfLeft, KopfTopR = KopfTop, KopfTextR = KopfText, SkontoR = "
                                "'J', KopfLeftG = KopfLeft, "
                                "KopfTopG = KopfTop, KopfTextG = KopfText, SkontoG = 'J', KopfLeftZ = "
                                "KopfLeft, KopfTopZ = KopfTop, "
                                "KopfTextZ = KopfText, SkontoZ = 'J', KopfLeftB = KopfLeft, KopfTopB = "
                                "KopfTop, KopfTextB = KopfText, "
                                "SkontoB = 'J'"));
            Exec(QStringLiteral("ALTER TABLE Kopf ADD KopfText TEXT"));
            Exec(QStringLiteral("ALTER TABLE Kopf ADD FussText TEXT"));
            Exec(QStringLiteral(
                "update Kopf set KopfText = (select KopfText from Geschaeft where GesID = 1)"));
            for (QChar l : QStringLiteral("OALRG"))
                Exec(QStringLiteral("update Kopf set FussText = (select FussText") + l +
                     QStringLiteral(" from Geschaeft where GesID = 1) where KopfTyp = '") + l + u'\'');
            Exec(QStringLiteral("INSERT INTO set_nummer VALUES ('LieferantenID', 'Lieferantennummer', 1)"));
            Exec(QStringLiteral("ALTER TABLE Artikel ADD LieferantenID integer"));
            Exec(QStringLiteral("ALTER TABLE Artikel ADD BereichEK char(1)"));
            Exec(QStringLiteral("ALTER TABLE Artikel ADD BereichVK char(1)"));
            Exec(QStringLiteral("update Artikel set LieferantenID = 0, BereichEK = 'N', BereichVK = 'J'"));
            Exec(QStringLiteral("INSERT INTO set_nummer VALUES ('KopfIDB', 'Bestellungsnummer', 1)"));
            Exec(QStringLiteral("ALTER TABLE Kunde ADD UIDNr VARCHAR(20)"));
            Exec(QStringLiteral("update Kunde SET UIDNr = ATUNr"));
        });

    if (due(11)) {
        const bool ran = RunStep(11, [&] {
            const QString artPreis = QStringLiteral(
                " (ArtikelID INTEGER NOT NULL, PreisID INTEGER NOT NULL, PreisBez VARCHAR(100), PreisBez2 "
                "VARCHAR(100), Menge NUMERIC(6,2) NOT NULL, EinheitID INTEGER NOT NULL, Wert NUMERIC(6,2) "
                "NOT NULL, "
                "MWStSatz NUMERIC(5,2) NOT NULL, PRIMARY KEY (ArtikelID, PreisID))");
            const QString posPreis = QStringLiteral(" (KopfTyp CHAR(1) NOT NULL, KopfID INTEGER NOT NULL, "
                                                    "PosID INTEGER NOT NULL, PreisID INTEGER NOT "
                                                    "NULL, PreisBez VARCHAR(100), PreisBez2 VARCHAR(100), "
                                                    "Menge NUMERIC(6,2) NOT NULL, EinheitID INTEGER "
                                                    "NOT NULL, Wert NUMERIC(6,2) NOT NULL, Rabatt "
                                                    "NUMERIC(3,2), MWStSatz NUMERIC(5,2) NOT NULL, PRIMARY "
                                                    "KEY (KopfTyp, KopfID, PosID, PreisID))");
            Exec(QStringLiteral("CREATE TABLE ArtPreisTemp") + artPreis);
            Exec(QStringLiteral("insert into ArtPreisTemp select * from ArtPreis"));
            Exec(QStringLiteral("drop table ArtPreis"));
            Exec(QStringLiteral("CREATE TABLE ArtPreis") + artPreis);
            Exec(QStringLiteral("insert into ArtPreis select * from ArtPreisTemp"));
            Exec(QStringLiteral("drop table ArtPreisTemp"));
            Exec(QStringLiteral("CREATE TABLE PosPreisTemp") + posPreis);
            Exec(QStringLiteral("insert into PosPreisTemp select * from PosPreis"));
            Exec(QStringLiteral("drop table PosPreis"));
            Exec(QStringLiteral("CREATE TABLE PosPreis") + posPreis);
            Exec(QStringLiteral("insert into PosPreis select * from PosPreisTemp"));
            Exec(QStringLiteral("drop table PosPreisTemp"));
            Exec(QStringLiteral("ALTER TABLE Lieferant ADD KundenNr VARCHAR(30)"));
            Exec(QStringLiteral("ALTER TABLE Kunde ADD Zusatzname VARCHAR(100)"));
            // Files of the oldest layout kept their free-position article as
            // number 1; it becomes the built-in article 0. A file that already
            // has an article 0 keeps its article 1 as a real article: moving
            // it would collide with the key of article 0 and re-point its
            // positions to the free position.
            Query1.RunSQL(QStringLiteral("select count(*) as cnt from Artikel where ArtikelID = 0"));
            if (Query1.FieldByName(QStringLiteral("cnt"))->AsInteger() == 0) {
                Exec(QStringLiteral("update Artikel set ArtikelID = 0 where ArtikelID = 1"));
                Exec(QStringLiteral("update ArtPreis set ArtikelID = 0 where ArtikelID = 1"));
                Exec(QStringLiteral("update PosDaten set ArtikelID = 0 where ArtikelID = 1"));
            }
            Exec(QStringLiteral("ALTER TABLE Geschaeft ADD AndruckLeerzeilen INTEGER"));
            Exec(QStringLiteral("ALTER TABLE Geschaeft ADD PosNrFortlaufend CHAR(1)"));
            Exec(QStringLiteral("update Geschaeft set AndruckLeerzeilen = 1, PosNrFortlaufend = 'J'"));
            Exec(QStringLiteral("ALTER TABLE PosDaten ADD Zwischensumme CHAR(1)"));
            Exec(QStringLiteral("update PosDaten set Zwischensumme = 'N'"));
            Exec(QStringLiteral("ALTER TABLE Artikel ADD Zwischensumme CHAR(1)"));
            Exec(QStringLiteral("update Artikel set Zwischensumme = 'N'"));
            Exec(QStringLiteral("ALTER TABLE Kunde ADD KonzernID INTEGER"));
            Exec(QStringLiteral("update Kunde set KonzernID = 0"));
            Query1.RunSQL(QStringLiteral("select count(*) as cnt from Kunde where KundenID = 0"));
            if (Query1.FieldByName(QStringLiteral("cnt"))->AsInteger() == 0) {
                Exec(InsertCustomerZero());
                // The re-inserted row must look like every other customer of
                // this version; a NULL parent company breaks its later saves.
                Exec(QStringLiteral("update Kunde set KonzernID = 0, Netto = 'N' where KundenID = 0"));
            }
        });
        if (ran)
            SetAllg(QStringLiteral("StoreWindow"), QStringLiteral("J"));
    }

    if (due(12))
        RunStep(12, [&] {
            Cols cols;
            for (QChar l : QStringLiteral("OALRGZB"))
                cols << qMakePair(QStringLiteral("KopfVorPos") + l, char1);
            for (QChar l : QStringLiteral("OALRGZB"))
                cols << qMakePair(QStringLiteral("FussNachPos") + l, char1);
            execAll(AddColumns(QStringLiteral("Geschaeft"), cols));
            Exec(QStringLiteral("update Geschaeft set KopfVorPosO = 'N', KopfVorPosA = 'N', KopfVorPosL = "
                                "'N', KopfVorPosR = 'N', "
                                "KopfVorPosG = 'N', KopfVorPosZ = 'N', KopfVorPosB = 'N', FussNachPosO = "
                                "'N', FussNachPosA = 'N', "
                                "FussNachPosL = 'N', FussNachPosR = 'N', FussNachPosG = 'N', FussNachPosZ = "
                                "'N', FussNachPosB = "
                                "'N'"));
            Exec(QStringLiteral("ALTER TABLE KopfText ADD KopfTextVorPos CHAR(1)"));
            Exec(QStringLiteral("update KopfText set KopfTextVorPos = 'N'"));
            Exec(QStringLiteral("ALTER TABLE FussText ADD FussTextNachPos CHAR(1)"));
            Exec(QStringLiteral("update FussText set FussTextNachPos = 'N'"));
            Exec(QStringLiteral("ALTER TABLE Kopf ADD KopfTextVorPos CHAR(1)"));
            Exec(QStringLiteral("ALTER TABLE Kopf ADD FussTextNachPos CHAR(1)"));
            Exec(QStringLiteral("ALTER TABLE Kopf ADD SubkundenID INTEGER"));
            Exec(QStringLiteral(
                "update Kopf set KopfTextVorPos = 'N', FussTextNachPos = 'N', SubkundenID = 0"));
            Exec(QStringLiteral("ALTER TABLE Kunde ADD HaendlerID INTEGER"));
            Exec(QStringLiteral("update Kunde set HaendlerID = 0"));
        });

    if (due(13))
        RunStep(13, [&] {
            const QList<TColumn> columns = GeschaeftColumnsV13();
            Exec(CreateStatement(QStringLiteral("GeschaeftTemp"), columns));
            Exec(InsertSelect(QStringLiteral("GeschaeftTemp"), columns, QStringLiteral("Geschaeft")));
            Exec(QStringLiteral("drop table Geschaeft"));
            Exec(CreateStatement(QStringLiteral("Geschaeft"), columns));
            Exec(QStringLiteral("insert into Geschaeft select * from GeschaeftTemp"));
            Exec(QStringLiteral("drop table GeschaeftTemp"));
            Exec(QStringLiteral("INSERT INTO set_nummer VALUES ('KopfIDT', 'Teilrechnungsnummer', 1)"));
        });

    if (due(14)) {
        // Logos used to live beside the program; from now on they are kept in the data folder.
        for (const QString& logo : {QStringLiteral("Logo1.bmp"), QStringLiteral("Logo2.bmp")})
            CopyReplacing(ProgramFolder() + logo, DataFolder() + logo);
        RunStep(14, [&] {
            Exec(QStringLiteral(
                     "update DruckElement set Left = (select KundeLeft from Geschaeft where GesID = 1), Top "
                     "= (select KundeTop from Geschaeft where GesID = 1) where DEID = ") +
                 QString::number(20));
            Exec(QStringLiteral(
                     "update DruckElement set Left = (select KopfLeftR from Geschaeft where GesID = 1), "
                     "Top = (select KopfTopR from Geschaeft where GesID = 1) where DEID = ") +
                 QString::number(32));
            Exec(QStringLiteral(
                     "update DruckElement set Left = (select SkontoLeft from Geschaeft where GesID = 1), "
                     "Top = (select SkontoTop from Geschaeft where GesID = 1) where DEID = ") +
                 QString::number(34));
            Exec(QStringLiteral(
                     "update DruckElement set Left = (select FussLeftR from Geschaeft where GesID = 1), "
                     "Top = (select FussTopR from Geschaeft where GesID = 1) where DEID = ") +
                 QString::number(35));
            const QList<TColumn> columns = GeschaeftColumnsV14();
            Exec(CreateStatement(QStringLiteral("GeschaeftTemp"), columns));
            Exec(InsertSelect(QStringLiteral("GeschaeftTemp"), columns, QStringLiteral("Geschaeft")));
            Exec(QStringLiteral("drop table Geschaeft"));
            Exec(CreateStatement(QStringLiteral("Geschaeft"), columns));
            Exec(QStringLiteral("insert into Geschaeft select * from GeschaeftTemp"));
            Exec(QStringLiteral("drop table GeschaeftTemp"));
            Exec(QStringLiteral(
                "update set_recht set Bezeichnung = 'Firmendaten / Andruck' where Funktion = 'Anschrift'"));
        });
    }

    if (due(15))
        RunStep(15, [&] {
            execAll(AddColumns(QStringLiteral("Geschaeft"),
                               Cols{{QStringLiteral("SkontoS"), char1},
                                    {QStringLiteral("KopfTextS"), QStringLiteral("TEXT")},
                                    {QStringLiteral("KopfVorPosS"), char1},
                                    {QStringLiteral("FussTextS"), QStringLiteral("TEXT")},
                                    {QStringLiteral("FussNachPosS"), char1}}));
            Exec(
                QStringLiteral("update Geschaeft set SkontoS = SkontoR, KopfTextS = KopfTextR, KopfVorPosS = "
                               "KopfVorPosR, FussTextS = FussTextR, FussNachPosS = FussNachPosR"));
            Exec(QStringLiteral("INSERT INTO set_nummer VALUES ('KopfIDS', 'Stornorechnungssnummer', 1)"));
        });

    if (due(16))
        RunStep(16, [&] {
            Exec(QStringLiteral("INSERT INTO DruckElement values (") + QString::number(38) +
                 QStringLiteral(",117,50,61,0,'N','N','Dokumentname')"));
        });
}
