// The data module: the one connection to the database file and every named
// dataset of the program, with the rules that sit in their events.
//
// TDM is a single class whose implementation is split by subject:
//   UDM.cpp            construction and wiring of the datasets
//   UDM_Schema.cpp     CreateAndUpgradeSchema and its upgrade steps
//   UDM_Settings.cpp   set_allg and the other settings tables
//   UDM_<Subject>.cpp  the datasets and event handlers of one subject
// Add a subject's members in its own marked section below.
#pragma once

#include "SQLite.h"
#include "StyleColors.h"

#include <QMap>
#include <QObject>
#include <QString>

class QTextStream;
struct TKopfAnzeige;

class TDM : public QObject {
    Q_OBJECT
public:
    explicit TDM(QObject* parent = nullptr);
    ~TDM() override;

    // ------------------------------------------------------------------
    // Connection and general-purpose queries.
    // Query1 serves the settings, the schema operations and most look-ups.
    TSQLiteDB SQLiteDB1;
    TSQLiteQuery Query1{&SQLiteDB1};
    TSQLiteQuery Query2{&SQLiteDB1};
    TSQLiteQuery Query3{&SQLiteDB1};
    TSQLiteQuery Query4{&SQLiteDB1};
    TSQLiteQuery QueryTimer1{&SQLiteDB1};

    // Set when the last ConnectDatabase failed.
    bool ConnectFailed = false;

    // Connects SQLiteDB1 to the given file (closing any previous connection)
    // and brings its schema up to date. On failure the connection is closed
    // again and the ESQLiteError is passed on.
    void OpenDatabaseFile(const QString& file);

    // ------------------------------------------------------------------
    // Database location and connection (UDM_Connect.cpp).
    // Finds the database file (Quorvent.ini in the data folder, else the
    // default Quorvent.DB there), moves an old database from beside the
    // program into place, connects and brings the schema up to date. On
    // failure shows "Fehler beim Verbinden zur Datenbank!" with the error and
    // sets ConnectFailed; the connection is then closed.
    void ConnectDatabase();
    // The settings file naming the database: DataFolder() + "Quorvent.ini".
    static QString SettingsFileName();
    // The database file the settings name, else DataFolder() + "Quorvent.DB".
    static QString DatabaseFileName();
    // Where older versions kept the database: beside the program, named after
    // the executable with ".DB".
    static QString OldDatabaseFileName();
    // The warning a database on a network file system gets at start (naming
    // the file, the kind of share, the risk and the safe ways); empty for a
    // file on a local disk.
    static QString NetworkShareWarning(const QString& fileName);
    // Shows that warning unless Quorvent.ini says NetzlaufwerkErlaubt=1 in
    // [Database]: an administrator's decision for this machine.
    static void WarnAboutNetworkShare(const QString& fileName);
    // Shows the message as a warning with OK, then cancels the running
    // operation (save, delete) silently.
    [[noreturn]] static void RefuseWithWarning(const QString& message);

    // ------------------------------------------------------------------
    // Schema and versioned upgrade (UDM_Schema.cpp).
    static constexpr int CurrentDBVersion = 16;

    // Creates every missing table with its default rows, runs every due
    // upgrade step and refuses a database written by a newer program.
    void CreateAndUpgradeSchema();
    bool TableExists(const QString& name);
    // The version in set_db; 0 when its row is missing.
    int GetDBVersion();
    // Stores the version, writing the row of set_db when it is missing.
    void SetDBVersion(int version);
    // The safety copy before upgrade step `step`: a consistent copy of the
    // database in DataFolder()/updatebackup/<name>.sic<version>, named by the
    // version of the very state it holds. False (and no copy) when that state
    // already has the step. Raises an error that says the step did not run
    // when the copy cannot be made, or when the tables are ahead of the
    // version (see LayoutVersion). A file that CreateAndUpgradeSchema found
    // empty gets no copies: they would hold nothing but the empty layout.
    bool BackupBeforeUpgrade(int step);
    // The newest upgrade step whose traces the tables show (a column or row
    // only that step creates; step 3 leaves none and reads as 2). A version
    // below it means set_db contradicts the tables.
    int LayoutVersion();
    // Called with the step's number before an upgrade step takes the write
    // lock; a start screen can show progress with it.
    std::function<void(int step)> OnUpgradeStep;
    // The two halves of CreateAndUpgradeSchema. UpgradeSchema stops after
    // maxVersion, which lets tests and tools build files of an older layout.
    void CreateMissingTables();
    void UpgradeSchema(int maxVersion = CurrentDBVersion);
    // Set while CreateAndUpgradeSchema fills a file it found empty.
    bool FCreatingFile = false;

    // ------------------------------------------------------------------
    // Settings (UDM_Settings.cpp).
    // Inserts or updates one set_allg row; the value is trimmed, empty becomes NULL.
    void SetAllg(const QString& key, const QString& value);
    // The text of one set_allg row; empty when there is no row or it is NULL.
    QString GetAllg(const QString& key);
    // A setting of the program's own whose value may be longer than the 30
    // characters of the column (a file path, a legal note): read whole, where
    // GetAllg cuts like every column of the original layout.
    QString GetAllgText(const QString& key);

    // ------------------------------------------------------------------
    // Reference tables (UDM_Referenz.cpp). Every table runs with automatic
    // keys; the queries are the ordered lookup lists of the other screens.
    TSQLiteTable TableAnrede{&SQLiteDB1}, TableTitel{&SQLiteDB1}, TableLand{&SQLiteDB1},
        TableEinheit{&SQLiteDB1}, TableMWSt{&SQLiteDB1}, TableDruDat{&SQLiteDB1}, TableKunGru{&SQLiteDB1},
        TableArtGru{&SQLiteDB1}, TableLieGru{&SQLiteDB1}, TableKopfText{&SQLiteDB1},
        TableFussText{&SQLiteDB1}, TableNumKreis{&SQLiteDB1};
    TSQLiteQuery QueryAnrede{&SQLiteDB1}, QueryTitel{&SQLiteDB1}, QueryLand{&SQLiteDB1},
        QueryEinheit{&SQLiteDB1}, QueryMWSt{&SQLiteDB1}, QueryDruDat{&SQLiteDB1}, QueryKunGru{&SQLiteDB1},
        QueryArtGru{&SQLiteDB1}, QueryLieGru{&SQLiteDB1};
    TDataSource DSTAnrede{&TableAnrede}, DSTTitel{&TableTitel}, DSTLand{&TableLand},
        DSTEinheit{&TableEinheit}, DSTMWSt{&TableMWSt}, DSTDruDat{&TableDruDat}, DSTKunGru{&TableKunGru},
        DSTArtGru{&TableArtGru}, DSTLieGru{&TableLieGru}, DSTKopfText{&TableKopfText},
        DSTFussText{&TableFussText}, DSTNumKreis{&TableNumKreis};
    TDataSource DSQAnrede{&QueryAnrede}, DSQTitel{&QueryTitel}, DSQLand{&QueryLand},
        DSQEinheit{&QueryEinheit}, DSQMWSt{&QueryMWSt}, DSQDruDat{&QueryDruDat}, DSQKunGru{&QueryKunGru},
        DSQArtGru{&QueryArtGru}, DSQLieGru{&QueryLieGru};

    void TableAnredeBeforePost(TSQLiteBaseQuery* DataSet);
    void TableAnredeBeforeDelete(TSQLiteBaseQuery* DataSet);
    void TableTitelBeforePost(TSQLiteBaseQuery* DataSet);
    void TableTitelBeforeDelete(TSQLiteBaseQuery* DataSet);
    void TableLandBeforePost(TSQLiteBaseQuery* DataSet);
    void TableLandBeforeDelete(TSQLiteBaseQuery* DataSet);
    void TableEinheitBeforePost(TSQLiteBaseQuery* DataSet);
    void TableEinheitBeforeDelete(TSQLiteBaseQuery* DataSet);
    void TableMWStBeforePost(TSQLiteBaseQuery* DataSet);
    void TableMWStBeforeDelete(TSQLiteBaseQuery* DataSet);
    void TableDruDatBeforePost(TSQLiteBaseQuery* DataSet);
    void TableDruDatBeforeDelete(TSQLiteBaseQuery* DataSet);
    void TableKunGruBeforePost(TSQLiteBaseQuery* DataSet);
    void TableKunGruBeforeDelete(TSQLiteBaseQuery* DataSet);
    void TableArtGruBeforePost(TSQLiteBaseQuery* DataSet);
    void TableArtGruBeforeDelete(TSQLiteBaseQuery* DataSet);
    void TableLieGruBeforePost(TSQLiteBaseQuery* DataSet);
    void TableLieGruBeforeDelete(TSQLiteBaseQuery* DataSet);
    void TableKopfTextBeforePost(TSQLiteBaseQuery* DataSet);
    void TableFussTextBeforePost(TSQLiteBaseQuery* DataSet);
    void TableNumKreisBeforePost(TSQLiteBaseQuery* DataSet);

    // ------------------------------------------------------------------
    // Customers (UDM_Kunde.cpp).
    TSQLiteTable TableKunde{&SQLiteDB1};
    TSQLiteQuery QueryKunde{&SQLiteDB1}; // the customer list; its current row is the selected customer
    TDataSource DSTKunde{&TableKunde}, DSQKunde{&QueryKunde};
    // KundenID as text when the current row entered edit state.
    QString KundenIDBeforeEdit;
    // Called with "(vorläufige Nummer)" when a new row gets a proposed number
    // and with an empty text once the save has settled it; set by the form.
    std::function<void(const QString&)> OnKundeNummerHinweis;

    void TableKundeNewRecord(TSQLiteBaseQuery* DataSet);
    void TableKundeBeforeEdit(TSQLiteBaseQuery* DataSet);
    void TableKundeBeforePost(TSQLiteBaseQuery* DataSet);
    void TableKundeBeforeDelete(TSQLiteBaseQuery* DataSet);
    // Refuses (warning, silent abort) when the customer must not disappear
    // under its number: customer 0, a parent company, a dealer, or a customer
    // of a document. The warning is prefix + the reason.
    void CheckCustomerInUse(const QString& number, const QString& prefix);

    // ------------------------------------------------------------------
    // Suppliers (UDM_Lieferant.cpp).
    TSQLiteTable TableLieferant{&SQLiteDB1};
    TSQLiteQuery QueryLieferant{&SQLiteDB1}; // the supplier list; its current row is the selected supplier
    TDataSource DSTLieferant{&TableLieferant}, DSQLieferant{&QueryLieferant};
    QString LieferantenIDBeforeEdit;
    std::function<void(const QString&)> OnLieferantNummerHinweis;

    void TableLieferantNewRecord(TSQLiteBaseQuery* DataSet);
    void TableLieferantBeforeEdit(TSQLiteBaseQuery* DataSet);
    void TableLieferantBeforePost(TSQLiteBaseQuery* DataSet);
    void TableLieferantBeforeDelete(TSQLiteBaseQuery* DataSet);
    // Refuses when the supplier must keep its number: supplier 0, the
    // supplier of an article or of a purchase order.
    void CheckSupplierInUse(const QString& number, const QString& prefix);

    // ------------------------------------------------------------------
    // Articles and article prices (UDM_Artikel.cpp).
    TSQLiteTable TableArtikel{&SQLiteDB1};
    TSQLiteQuery QueryArtikel{&SQLiteDB1}; // the article list; its current row is the selected article
    // The price lines of the current article: the editable table (filtered to
    // the article) and the read-only list with each line's amount and unit name.
    TSQLiteTable TableArtPreis{&SQLiteDB1};
    TSQLiteQuery QueryArtPreis{&SQLiteDB1};
    TDataSource DSTArtikel{&TableArtikel}, DSQArtikel{&QueryArtikel}, DSTArtPreis{&TableArtPreis},
        DSQArtPreis{&QueryArtPreis};
    // ArtikelID as text when TableArtikel last moved to a row or entered edit
    // state: the number the article is stored under.
    QString ArtikelIDBeforeEdit;
    std::function<void(const QString&)> OnArtikelNummerHinweis;
    // "Gesamtpreis: " and the article's total, as of the last RefreshArticlePrices;
    // the form's label shows it through OnArtikelGesamtpreis.
    QString ArtikelGesamtpreis;
    std::function<void(const QString&)> OnArtikelGesamtpreis;
    // Turns a stored formatted text (RTF) into its plain text, so that a
    // description that only holds formatting counts as empty. The rich-text
    // unit installs it; until then a text is taken as it is stored.
    static std::function<QString(const QString&)> FormattedTextPlain;

    void TableArtikelNewRecord(TSQLiteBaseQuery* DataSet);
    void TableArtikelBeforeEdit(TSQLiteBaseQuery* DataSet);
    void TableArtikelAfterScroll(TSQLiteBaseQuery* DataSet);
    void TableArtikelBeforePost(TSQLiteBaseQuery* DataSet);
    void TableArtikelBeforeDelete(TSQLiteBaseQuery* DataSet);
    void DSTArtikelDataChange(TDataSource* Sender, TField* Field);
    void DSQArtikelDataChange(TDataSource* Sender, TField* Field);
    void TableArtPreisBeforeInsert(TSQLiteBaseQuery* DataSet);
    void TableArtPreisAfterInsert(TSQLiteBaseQuery* DataSet);
    void TableArtPreisBeforePost(TSQLiteBaseQuery* DataSet);
    void TableArtPreisAfterPost(TSQLiteBaseQuery* DataSet);
    void TableArtPreisAfterDelete(TSQLiteBaseQuery* DataSet);
    void DSQArtPreisDataChange(TDataSource* Sender, TField* Field);
    // Re-reads the price lines of the current article and its total.
    void RefreshArticlePrices();
    // Refuses when the article must keep its number: article 0, the template
    // of every new position, or an article used by a document position.
    void CheckArticleInUse(const QString& number, const QString& prefix);

    // ------------------------------------------------------------------
    // Documents: headers (UDM_Kopf.cpp), positions, price lines.
    TSQLiteTable TableKopf{&SQLiteDB1};
    TSQLiteQuery QueryKopf{&SQLiteDB1}; // the document list; its current row is the selected document
    TDataSource DSTKopf{&TableKopf}, DSQKopf{&QueryKopf};
    // Called with "(vorläufige Nummer)" when a new header gets a proposed
    // number and with an empty text once its save has drawn the number.
    std::function<void(const QString&)> OnKopfNummerHinweis;
    // Called with what the header form shows, after every change of the
    // current header or of one of its fields.
    std::function<void(const TKopfAnzeige&)> OnKopfAnzeige;
    // Set by the header form: while it is open and saving for itself, it
    // gives the ticks of its two status boxes (closed, payment received) and
    // returns true. Any other save keeps the status it sets itself.
    std::function<bool(bool& abgeschlossen, bool& zahlungseingang)> KopfStatusBoxes;

    void TableKopfNewRecord(TSQLiteBaseQuery* DataSet);
    void TableKopfBeforeEdit(TSQLiteBaseQuery* DataSet);
    void TableKopfBeforePost(TSQLiteBaseQuery* DataSet);
    void TableKopfBeforeDelete(TSQLiteBaseQuery* DataSet);
    void DSTKopfDataChange(TDataSource* Sender, TField* Field);
    // Makes the new header a document of the type: the number the range
    // would give next (proposed, not taken) and the type's standard texts.
    void SetKopfTyp(const QString& typ);
    // Loads the header text (footer text) and its print flag into the
    // current header: textId 0 the type's standard text, else a stored block.
    void LoadKopfText(bool footer, int textId);
    // The stored header (footer) text blocks as (id, name), by name.
    QList<QPair<int, QString>> KopfTextBlocks(bool footer);
    // Takes the partner confirmed in the picker into the current header: the
    // customer of QueryKunde, for a purchase order the supplier of QueryLieferant.
    void TakeKopfPartner();
    // Takes the customer of QueryKunde as the sub-customer.
    void TakeKopfSubkunde();

private:
    void SetupKopf();
    void EndKopfTransaction(bool commit);
    bool FKopfTransaction = false; // a document delete is under way
    QString FKopfTypBeforeEdit;
    QString FKopfIDBeforeEdit;
    TSQLiteQuery QueryKopfAnzeige{&SQLiteDB1}; // the look-ups of DSTKopfDataChange

public:
    // ------------------------------------------------------------------
    // Document overview and copying (UDM_Ueb.cpp).
    // The overview's filter slots in the order they are joined: number,
    // designation, customer, status, type, parent company, sub-customer,
    // supplier.
    static constexpr int KopfUebSlots = 8;
    // The condition of one slot (1-based) from its control: the digits of a
    // number slot, the designation as typed, or the chosen entry of the
    // status (1 to 4) and type (1 to 8) lists as a number. An empty value,
    // entry 0 or a number slot without digits gives an empty slot.
    static QString KopfUebCondition(int slot, const QString& value);
    // The list statement of the slots (index 0 is slot 1) and the sort entry;
    // a statement without rows when no document has a partner that exists
    // as a customer.
    QString KopfUebSQL(const QStringList& conds, int sort);
    // Runs KopfUebSQL on QueryKopf.
    void OpenQueryKopf(const QStringList& conds, int sort);
    // Runs QueryKopf's statement again and moves it to the document (when
    // it is listed).
    void ReopenQueryKopf(const QString& typ = QString(), int kopfId = 0);
    // The overview's delete of the document: a closed one is refused with a
    // warning, any other is deleted after the question, through TableKopf
    // and its rules. Nothing is deleted unless exactly that document is
    // found. True when it was deleted.
    bool DeleteKopfAsked(const QString& typ, int kopfId);

    // What the copy dialog lists: each position of the document as
    // (PosID, PosID + " - " + PosKurzBez), by number.
    QList<QPair<qint64, QString>> KopierPositionen(const QString& typ, int kopfId);
    struct TKopierAuftrag {
        QString QuellTyp;
        int QuellID = 0;
        QString ZielTyp;
        QList<qint64> Positionen;  // the ticked positions, in list order
        bool Fortlaufend = true;   // number the copied positions from 1
        bool KopfFussText = false; // keep the source's texts instead of the standard texts
    };
    // Draws the target number for good, then copies header, positions and
    // price lines in one transaction (nothing of the copy remains when a
    // statement fails; the error passes on). Returns the new number, or 0
    // when the drawn number is already used (the user has been warned).
    int KopiereDokument(const TKopierAuftrag& auftrag);
    // True when the document exists and its partner number names no
    // customer (for B no supplier): a copy between customer documents and
    // purchase orders, whose partner the user has yet to choose.
    bool KopfOhnePartner(const QString& typ, int kopfId);

    // ------------------------------------------------------------------
    // Document positions and their price lines (UDM_Pos.cpp).
    // TablePos is filtered to the document while the position form is open;
    // TablePosPreis always to the price lines of the current position.
    // QueryPos lists the document's positions with their amounts,
    // QueryPosPreis the current position's lines with amount and unit name.
    TSQLiteTable TablePos{&SQLiteDB1};
    TSQLiteQuery QueryPos{&SQLiteDB1};
    TSQLiteTable TablePosPreis{&SQLiteDB1};
    TSQLiteQuery QueryPosPreis{&SQLiteDB1};
    TDataSource DSTPos{&TablePos}, DSQPos{&QueryPos}, DSTPosPreis{&TablePosPreis},
        DSQPosPreis{&QueryPosPreis};
    // PosID as text when TablePos last moved to a row or entered edit state:
    // the number the position is stored under; empty for a new position.
    QString PosIDBeforeEdit;
    // "Gesamtpreis: " and the position's total, as of the last
    // RefreshPosPrices; the position form shows it through OnPosGesamtpreis.
    QString PosGesamtpreis;
    std::function<void(const QString&)> OnPosGesamtpreis;

    // What the positions list shows about its document.
    struct TPosKopf {
        bool Found = false;
        QString KopfBez;
        QString KundenID;
        QString Kundenname;
        QString Status;
        bool Netto = false;
        double Betrag = 0; // net amount of the document
    };
    TPosKopf ReadPosKopf(const QString& typ, int kopfId);
    // Builds and runs QueryPos for the document.
    void OpenQueryPos(const QString& typ, int kopfId, bool netto);
    // Moves position `moved` directly before (direction -1) or after (+1)
    // position `target`, or behind the last one when target is 0, and
    // numbers all positions 1 ... n; price lines go with their position.
    // All or nothing. Returns the new number of the moved position (0 when
    // the document has no position).
    qint64 ReorderPositions(const QString& typ, int kopfId, qint64 moved, qint64 target, int direction);
    // Deletes the position of that document, with its price lines, under the
    // delete rule. False (and nothing deleted) when there is no such position.
    bool DeletePos(const QString& typ, int kopfId, qint64 posId);

    // The position form's document: TablePos filtered to it, the header
    // discount read for the take-over and for new price lines. A new row of
    // TablePos then becomes the document's next position, made from article 0.
    void OpenPosForm(const QString& typ, int kopfId);
    // Gives up what is not saved, takes the filter away and forgets the
    // document. Returns the PosID TablePos stood on (0 for none).
    qint64 ClosePosForm();
    // Makes the current position one of the article: its texts, subtotal
    // flag and price lines (with the header discount) replace the old ones.
    void TakePosArticle(qint64 artikelId);
    // Re-reads the price lines of the current position and its total.
    void RefreshPosPrices();

    void TablePosNewRecord(TSQLiteBaseQuery* DataSet);
    void TablePosAfterScroll(TSQLiteBaseQuery* DataSet);
    void TablePosBeforeEdit(TSQLiteBaseQuery* DataSet);
    void TablePosBeforeCancel(TSQLiteBaseQuery* DataSet);
    void TablePosBeforePost(TSQLiteBaseQuery* DataSet);
    void TablePosBeforeDelete(TSQLiteBaseQuery* DataSet);
    void DSTPosDataChange(TDataSource* Sender, TField* Field);
    void TablePosPreisBeforeInsert(TSQLiteBaseQuery* DataSet);
    void TablePosPreisAfterInsert(TSQLiteBaseQuery* DataSet);
    void TablePosPreisBeforePost(TSQLiteBaseQuery* DataSet);
    void TablePosPreisAfterPost(TSQLiteBaseQuery* DataSet);
    void TablePosPreisAfterDelete(TSQLiteBaseQuery* DataSet);
    void DSQPosPreisDataChange(TDataSource* Sender, TField* Field);

private:
    void SetupPos();
    struct TPosState; // the form's document, remembered numbers, snapshots
    std::shared_ptr<TPosState> FPos;

public:
    // ------------------------------------------------------------------
    // Print output, report and mail.

    // Print data preparation (UDM_Druck.cpp). PreparePrintData lays the
    // document out into the print buffer Ausdruck under a new run number and
    // sets every report parameter; it returns the run number, or 0 when it
    // refused (error box shown, nothing written). The report reads the
    // parameters by these names, the buffer through QueryRv9, the recipient
    // through QueryRv6, the price lines through QueryRv7, the company through
    // QueryRv8.
    static const QStringList& ReportParamNames();
    QMap<QString, QString> ReportParams;
    QString ReportParam(const QString& name) const { return ReportParams.value(name); }
    bool DruckZahlungserinnerung = false; // the reminder flag of the last run
    bool DruckOhnePreis = false;          // the no-price flag of the last run
    TSQLiteQuery QueryRv6{&SQLiteDB1}, QueryRv7{&SQLiteDB1}, QueryRv8{&SQLiteDB1}, QueryRv9{&SQLiteDB1};
    // A closed document (A, Z) is not prepared anew: its run is made from the
    // print data kept when it was closed (see below), a payment reminder excepted.
    int PreparePrintData(const QString& typ, int kopfId, bool reminder);
    // Removes the buffer rows of a run once its output is done.
    void DeletePrintData(int ausdruckId);

    // Issued documents (UDM_Archiv.cpp): a closed document keeps the print
    // data and the e-invoice it was issued with, in the tables DruckArchiv
    // and DruckArchivZeile of the program's own (created when missing), so
    // that it prints, mails and exports unchanged whatever happens to the
    // customer, company and article data later.
    void EnsureDruckArchiv();
    bool DokumentGeschlossen(const QString& typ, int kopfId);
    bool HasIssuedPrintData(const QString& typ, int kopfId);
    // Prepares the document from today's data and keeps that as issued,
    // replacing anything kept under its key; then the e-invoice through
    // ERechnungAufbewahren.
    void KeepIssuedDocument(const QString& typ, int kopfId);
    // The kept e-invoice XML; empty when none is kept.
    QByteArray IssuedEInvoiceXml(const QString& typ, int kopfId);
    void KeepIssuedEInvoiceXml(const QString& typ, int kopfId, const QByteArray& xml);
    // Keeps the e-invoice of a document that has just been closed. Set by
    // the program to the e-invoice module (which the data module cannot
    // reach); without it the e-invoice is kept the first time it is output.
    static std::function<void(TDM&, const QString& typ, int kopfId)> ERechnungAufbewahren;
    void TableKopfAfterPost(TSQLiteBaseQuery* DataSet);

private:
    int PrepareCurrentPrintData(const QString& typ, int kopfId, bool reminder);
    // Opens QueryRv9 on the buffer rows of the run; 0 only closes it.
    void OpenPrintBuffer(int run);
    void StoreIssuedPrintData(const QString& typ, int kopfId, int run);
    int RestoreIssuedPrintData(const QString& typ, int kopfId);
    bool FKopfWarGeschlossen = false; // the header being saved was closed before

public:
    // ------------------------------------------------------------------
    // Company data, logos and print layout (UDM_Anschrift.cpp).
    // TableAnsch holds the one company row of Geschaeft (GesID 1).
    TSQLiteTable TableAnsch{&SQLiteDB1};
    TDataSource DSTAnsch{&TableAnsch};
    // One row of DruckElement: an element of the printed page in millimetres.
    struct TDruckElement {
        int DEID = -1; // -1: no such row
        int Left = 0, Top = 0, Width = 0, Height = 0;
        bool Visible = false, Hide = false;
        QString Title;
    };
    // The titles of all layout rows in DEID order, so a list position is the DEID.
    QStringList DruckElementTitles();
    TDruckElement ReadDruckElement(int deid);
    QList<TDruckElement> ReadDruckElemente();
    // Writes the layout editor's fields into the row: left, top, width and
    // height as typed (an empty one leaves its column alone) and the two
    // flags. Refuses with a warning, writing nothing, when a value is not a
    // whole number of millimetres; false then.
    bool SaveDruckElement(int deid, const QStringList& leftTopWidthHeight, bool visible, bool hide);
    // The file of logo 1 or 2 in the data folder; a logo exists exactly when its file does.
    static QString LogoFileName(int logo);
    // Reads a picture in any format Qt knows and stores it as the logo's
    // bitmap, replacing the old one only once the new file is complete. A
    // picture that cannot be read or written leaves the old logo in place
    // and is reported (error box); false then.
    static bool SaveLogo(int logo, const QString& pictureFile);
    // Deletes the logo's file; false (error box) when it stays.
    static bool RemoveLogo(int logo);

private:
    void SetupAnsch();

public:
    // ------------------------------------------------------------------
    // Access rights and password (UDM_Rights.cpp).
    struct TRechtEntry {
        QString Funktion;
        QString Bezeichnung;
        bool Geschuetzt = false; // Berechtigt = 'N'
    };
    // True when the function asks for the password; a key without a row is free.
    bool RightProtected(const QString& key);
    // The password as stored.
    QString ReadKennwort();
    // The functions the rights page lists (all but the password and the page itself), by label.
    QList<TRechtEntry> ReadRechte();
    // Stores the password exactly as typed and every entry's protection, all or nothing.
    void SaveRechte(const QString& password, const QList<TRechtEntry>& entries);

    // ------------------------------------------------------------------
    // Colour styles (UDM_Style.cpp).
    // Every row of a style, read on Query1.
    QList<TStyleRow> ReadStyle(int styleId);
    // One row of a style; an empty row (Object set) when there is none.
    TStyleRow ReadStyleRow(int styleId, const QString& object);
    // What the style editor shows for a style: one read per kind.
    TStyleSquares LoadStyleSquares(int styleId);
    // Writes the editor's squares into style 0, first resetting style 0 from
    // the chosen style when that is not 0; all in one transaction.
    void SaveStyle(const TStyleSquares& squares, int chosenStyle);

private:
    // Reference tables (UDM_Referenz.cpp).
    void SetupReferenz();
    // Customers and suppliers (UDM_Kunde.cpp, UDM_Lieferant.cpp).
    void SetupKunde();
    void SetupLieferant();
    // Articles (UDM_Artikel.cpp).
    void SetupArtikel();
    QString StoredArtikelNumber() const;
    void EndArtikelTransaction(bool commit);
    bool FArtikelTransaction = false; // a renumbering or delete of an article is under way
    QString FArtPreisShownFor;        // the article whose price lines were read last
    void RequireText(TSQLiteBaseQuery* DataSet, const QString& field, const QString& warning);
    void RefuseWhenUsed(TSQLiteBaseQuery* DataSet, const QString& keyField, const QString& countSQL,
                        const QString& warning);

    void Exec(const QString& sql);
    // Runs statements between StartTransaction and Commit; rolls back and
    // passes the error on when one of them fails.
    void RunInTransaction(const std::function<void()>& statements);
    // One upgrade step: backup copy, then statements and the new version in
    // one transaction. False when another program finished the step first.
    bool RunStep(int version, const std::function<void()>& statements);
    // Refuses (error) when the tables are ahead of `version`.
    void CheckLayout(int version);
};

// The program's data module; set while one exists.
extern TDM* DM;

// The maintenance command behind "quorvent --upgrade FILE": upgrades the
// existing FILE to the current schema without any window (a missing FILE is
// refused, not created). Prints the version reached on `out` and returns 0; on
// failure prints the German error text on `err` and returns 1.
int RunUpgradeCommand(const QString& file, QTextStream& out, QTextStream& err);

// The maintenance command behind "quorvent --print-data FILE TYPE NUMBER
// [--reminder]": prepares the document of FILE as a printout would, writes
// the report parameters and then the buffer rows as JSON lines, removes the
// run's buffer rows and returns 0; a German error on standard error and 1
// when the file, the document or its recipient is missing. The file is not
// upgraded: the command only reads the data it shows.
int RunPrintDataCommand(const QStringList& args, QTextStream& out, QTextStream& err);
