#include "OldDatabases.h"

#include "GlobalFunctions.h"
#include "UDM.h"
#include "Win1252.h"

#include <sqlite3.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cstring>

#include <dirent.h>

namespace OldDatabases {

void Build(const QString& file, int version) {
    QFile::remove(file);
    TDM* const previous = DM;
    {
        TDM dm;
        dm.SQLiteDB1.FileName = file;
        dm.SQLiteDB1.Open();
        // Only the fixture is built without waiting for the disk; the upgrade under test runs as usual.
        dm.SQLiteDB1.ExecSQL(QStringLiteral("PRAGMA synchronous = OFF"));
        dm.CreateMissingTables();
        dm.UpgradeSchema(version);
        auto exec = [&](const QString& sql) { dm.SQLiteDB1.ExecSQL(sql); };
        // Price lines carry their VAT rate from version 6 on (and must, from 11 on).
        const QString mwstColumn = version >= 6 ? QStringLiteral(",MWStSatz") : QString();
        const QString mwstValue = version >= 6 ? QStringLiteral(",10") : QString();

        // Rows in the first layout: every column they name exists since version 0.
        exec(QStringLiteral("INSERT INTO KundenGruppe (KunGruBez) VALUES ('Großkunden')"));
        exec(QStringLiteral(
                 "INSERT INTO Kunde (KundenID,AnredeID,TitelID,Firma,Nachname,Vorname,Strasse,PLZ,Ort,"
                 "LandID,Telefon,Email,Geburtsdatum,Erfassungsdatum,KunGruID,ATUNr,Anmerkung,Aktiv,Rabatt,"
                 "Skonto) values (1,2,3,") +
             SQLQuote(CustomerFirma) + u',' + SQLQuote(CustomerNachname) +
             QStringLiteral(",'Jörg','Hauptstraße 5','6020','Innsbruck',2,'0512 / 1234','joerg@example.at',"
                            "'1970-02-03','2012-04-05',2,") +
             SQLQuote(CustomerATUNr) + QStringLiteral(",'Zahlt pünktlich','J',5,2)"));
        exec(
            QStringLiteral("INSERT INTO Kunde (KundenID,AnredeID,TitelID,Firma,LandID,KunGruID,Aktiv) values "
                           "(2,1,1,'Bäckerei Groß',3,1,'N')"));
        exec(QStringLiteral(
            "INSERT INTO Lieferant (LieferantenID,Firma,LandID,LieGruID,AnspAnredeID,AnspTitelID,"
            "AnspNachname,Aktiv) values (1,'Großhandel Maier',2,1,4,1,'Maier','J')"));
        exec(QStringLiteral("INSERT INTO Artikel (ArtikelID,ArtGruID,ArtKurzBez,ArtBez,Aktiv) values (1,1,") +
             SQLQuote(ArticleKurzBez) + QStringLiteral(",'Schraube aus Edelstahl, 4 mm','J')"));
        exec(QStringLiteral("INSERT INTO Artikel (ArtikelID,ArtGruID,ArtKurzBez,ArtBez,Aktiv) values "
                            "(2,1,'Montage','Montage vor Ort','J')"));
        exec(QStringLiteral("INSERT INTO ArtPreis (ArtikelID,PreisID,PreisBez,Menge,EinheitID,Wert") +
             mwstColumn + QStringLiteral(") values (1,1,'Stück',100,2,0.15") + mwstValue + u')');
        exec(QStringLiteral(
                 "INSERT INTO ArtPreis (ArtikelID,PreisID,PreisBez,PreisBez2,Menge,EinheitID,Wert") +
             mwstColumn + QStringLiteral(") values (2,1,'Arbeitszeit','Techniker',1,6,45.5") + mwstValue +
             u')');
        exec(QStringLiteral(
                 "INSERT INTO Kopf (KopfTyp,KopfID,KundenID,KunGruID,KopfBez,Rabatt,Skonto,Status,Datum,"
                 "Anmerkung) values ('R',1,1,2,") +
             SQLQuote(DocumentKopfBez) + QStringLiteral(",5,2,'A','2013-05-02 10:11:12','Anmerkung ä')"));
        exec(QStringLiteral("INSERT INTO Kopf (KopfTyp,KopfID,KundenID,KunGruID,KopfBez,Status,Datum) values "
                            "('O',1,2,1,'Angebot Bäckerei','E','2013-06-07 08:09:10')"));
        exec(QStringLiteral("INSERT INTO PosDaten (KopfTyp,KopfID,PosID,ArtikelID,PosKurzBez,PosBez) values "
                            "('R',1,1,1,'Schraube M4','{\\rtf1 Schraube}')"));
        exec(QStringLiteral("INSERT INTO PosDaten (KopfTyp,KopfID,PosID,ArtikelID,PosKurzBez,PosBez) values "
                            "('R',1,2,2,'Montage','{\\rtf1 Montage}')"));
        exec(
            QStringLiteral("INSERT INTO PosPreis (KopfTyp,KopfID,PosID,PreisID,PreisBez,Menge,EinheitID,Wert,"
                           "Rabatt") +
            mwstColumn + QStringLiteral(") values ('R',1,1,1,'Stück',200,2,0.15,5") + mwstValue + u')');
        exec(
            QStringLiteral("INSERT INTO PosPreis (KopfTyp,KopfID,PosID,PreisID,PreisBez,Menge,EinheitID,Wert,"
                           "Rabatt") +
            mwstColumn + QStringLiteral(") values ('R',1,2,1,'Arbeitszeit',2.5,6,45.5,0") + mwstValue + u')');
        exec(
            QStringLiteral("INSERT INTO KopfText (KopfTextBez,KopfTextText) values ('Standard','Sehr geehrte "
                           "Damen und Herren')"));
        exec(
            QStringLiteral("INSERT INTO FussText (FussTextBez,FussTextText) values ('Gruß','Mit freundlichen "
                           "Grüßen')"));
        exec(QStringLiteral("update Geschaeft set Name = ") + SQLQuote(CompanyName) +
             QStringLiteral(" where GesID = 1"));
        exec(QStringLiteral("update set_nummer set Nummer = 3 where NumTyp in ('KundenID','ArtikelID')"));
        exec(QStringLiteral("update set_nummer set Nummer = 2 where NumTyp in ('KopfIDR','KopfIDO')"));

        // The texts of the company data sit in different columns per layout.
        if (version < 10) {
            exec(QStringLiteral("update Geschaeft set KopfText = ") + SQLQuote(CompanyKopfText) +
                 QStringLiteral(", FussText") + (version < 2 ? QString() : QStringLiteral("R")) +
                 QStringLiteral(" = ") + SQLQuote(CompanyFussText));
        } else {
            QStringList letters{QStringLiteral("R")};
            if (version >= 13)
                letters << QStringLiteral("T");
            if (version >= 15)
                letters << QStringLiteral("S");
            for (const QString& l : letters)
                exec(QStringLiteral("update Geschaeft set KopfText") + l + QStringLiteral(" = ") +
                     SQLQuote(CompanyKopfText) + QStringLiteral(", FussText") + l + QStringLiteral(" = ") +
                     SQLQuote(CompanyFussText));
        }

        // The columns a program of that version fills on every save.
        QStringList filled;
        if (version >= 5)
            filled << QStringLiteral("update Kunde set Netto = 'N' where Netto is null")
                   << QStringLiteral("update Kopf set Netto = 'N' where Netto is null");
        if (version >= 7)
            filled << QStringLiteral("update Kopf set DruDatID = 1, Datum2 = Datum where DruDatID is null");
        if (version >= 10)
            filled << QStringLiteral(
                          "update Artikel set LieferantenID = 0, BereichEK = 'N', BereichVK = 'J' where "
                          "LieferantenID is null")
                   << QStringLiteral("update Kunde set UIDNr = ATUNr where UIDNr is null");
        if (version >= 11)
            filled << QStringLiteral("update Artikel set Zwischensumme = 'N' where Zwischensumme is null")
                   << QStringLiteral("update PosDaten set Zwischensumme = 'N' where Zwischensumme is null")
                   << QStringLiteral("update Kunde set KonzernID = 0 where KonzernID is null");
        if (version >= 12)
            filled << QStringLiteral("update KopfText set KopfTextVorPos = 'N' where KopfTextVorPos is null")
                   << QStringLiteral(
                          "update FussText set FussTextNachPos = 'N' where FussTextNachPos is null")
                   << QStringLiteral(
                          "update Kopf set KopfTextVorPos = 'N', FussTextNachPos = 'N', SubkundenID = 0 "
                          "where SubkundenID is null")
                   << QStringLiteral("update Kunde set HaendlerID = 0 where HaendlerID is null");
        for (const QString& sql : filled)
            exec(sql);
        if (version == 10)
            exec(QStringLiteral("delete from Kunde where KundenID = 0"));
        dm.SQLiteDB1.Close();
    }
    DM = previous;
    // The copies made while building are not part of the file's history.
    QDir(DataFolder() + QStringLiteral("updatebackup")).removeRecursively();
}

QString RawRows(const QString& file, const QString& sql) {
    sqlite3* db = nullptr;
    QStringList lines;
    if (sqlite3_open_v2(QFile::encodeName(file).constData(), &db, SQLITE_OPEN_READONLY, nullptr) !=
        SQLITE_OK) {
        sqlite3_close(db);
        return QStringLiteral("<cannot open>");
    }
    sqlite3_stmt* stmt = nullptr;
    const QByteArray bytes = Win1252::encode(sql);
    if (sqlite3_prepare_v2(db, bytes.constData(), int(bytes.size()), &stmt, nullptr) != SQLITE_OK) {
        const QString error = QString::fromUtf8(sqlite3_errmsg(db));
        sqlite3_close(db);
        return QStringLiteral("<error: ") + error + u'>';
    }
    while (sqlite3_step(stmt) == SQLITE_ROW) {
        QStringList values;
        for (int i = 0; i < sqlite3_column_count(stmt); ++i) {
            if (sqlite3_column_type(stmt, i) == SQLITE_NULL)
                values << QStringLiteral("<NULL>");
            else
                values << Win1252::decode(reinterpret_cast<const char*>(sqlite3_column_text(stmt, i)),
                                          sqlite3_column_bytes(stmt, i));
        }
        lines << values.join(u'|');
    }
    sqlite3_finalize(stmt);
    sqlite3_close(db);
    return lines.join(u'\n');
}

void CrashCopy(const QString& source, const QString& target, const QStringList& statements) {
    sqlite3* db = nullptr;
    sqlite3_open(QFile::encodeName(source).constData(), &db);
    sqlite3_exec(db, "PRAGMA cache_size = 5", nullptr, nullptr, nullptr);
    sqlite3_exec(db, "PRAGMA wal_autocheckpoint = 0", nullptr, nullptr, nullptr);
    for (const QString& sql : statements)
        sqlite3_exec(db, Win1252::encode(sql).constData(), nullptr, nullptr, nullptr);
    for (const QString& suffix : {QString(), QStringLiteral("-journal"), QStringLiteral("-wal")}) {
        QFile::remove(target + suffix);
        if (QFile::exists(source + suffix))
            QFile::copy(source + suffix, target + suffix);
    }
    sqlite3_close(db);
}

QString PlainCopyRows(const QString& file, const QString& sql) {
    const QString copy = file + QStringLiteral(".plain");
    QFile::remove(copy);
    QFile::copy(file, copy);
    // Without its WAL a WAL-mode file is read like any other.
    {
        QFile f(copy);
        if (f.open(QIODevice::ReadWrite) && f.seek(18))
            f.write("\x01\x01", 2);
    }
    const QString rows = RawRows(copy, sql);
    QFile::remove(copy);
    return rows;
}

QList<QByteArray> RawEntries(const QByteArray& folder) {
    QList<QByteArray> names;
    if (DIR* d = ::opendir(folder.constData())) {
        while (const dirent* e = ::readdir(d))
            if (std::strcmp(e->d_name, ".") != 0 && std::strcmp(e->d_name, "..") != 0)
                names << QByteArray(e->d_name);
        ::closedir(d);
    }
    std::sort(names.begin(), names.end());
    return names;
}

} // namespace OldDatabases
