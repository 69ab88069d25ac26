// The dataset layer: one connection class and buffered datasets over SQLite 3.
//
// Every read and write of the database goes through these classes. A dataset
// reads the whole result of its statement when it opens and serves navigation,
// field access, bookmarks and Locate from that buffer. Text crosses the
// boundary to SQLite as Windows-1252 bytes (see Win1252.h).
#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <exception>
#include <functional>
#include <memory>
#include <vector>

class TSQLiteDB;
class TSQLiteBaseQuery;
class TSQLiteBlobStream;
class TDataSource;
class TField;
struct sqlite3;
struct sqlite3_stmt;
struct TSQLParam;
struct TSQLiteAPI;

// A database or dataset error with its German message (composed as
// RaiseDatabaseError describes). `code` is SQLite's result code, 0 for errors
// of the layer itself.
class ESQLiteError : public std::exception {
public:
    explicit ESQLiteError(const QString& message, int code = 0);
    const QString& message() const { return FMessage; }
    int code() const { return FCode; }
    const char* what() const noexcept override { return FWhat.constData(); }

private:
    QString FMessage;
    int FCode;
    QByteArray FWhat;
};

// The silent abort: a before-event throws it to cancel its operation without a
// message. Whoever started the operation sees the exception; the top level
// swallows it.
class EAbort : public std::exception {
public:
    const char* what() const noexcept override { return "Operation aborted"; }
};

[[noreturn]] void Abort();

enum class TFieldType {
    Unknown,
    String,
    Integer,
    Float,
    Date,
    Time,
    DateTime,
    Blob,
    Memo,
    Graphic,
    LargeInt
};

enum class TDataSetState { Inactive, Browse, Edit, Insert };

enum class TBlobStreamMode { Read, Write, ReadWrite };

enum TLocateOption { loCaseInsensitive = 1, loPartialKey = 2 };
using TLocateOptions = int;

using TBookmark = int; // the record id; 0 = none

// ---------------------------------------------------------------------------
// Text forms of dates on both sides of the database.
//   yyyy-mm-dd hh:nn:ss, yyyy-mm-dd and hh:nn:ss. Parsing anything else (other
//   length, separators misplaced, impossible numbers) gives the zero date
//   30.12.1899 00:00:00.
QDateTime ZeroDateTime();
QString SQLiteDateTimeText(const QDateTime& value); // yyyy-mm-dd hh:nn:ss
QString SQLiteDateText(const QDateTime& value);     // yyyy-mm-dd
QString SQLiteTimeText(const QDateTime& value);     // hh:nn:ss
QDateTime ParseSQLiteDateTime(const QString& text);
QDateTime ParseSQLiteDate(const QString& text);
QDateTime ParseSQLiteTime(const QString& text);

// A number as a person types it, whatever the system's locale: "," and "."
// both serve as the decimal separator ("10,5", "10.5"); where both appear the
// last one is the decimal separator and the other groups thousands
// ("1.234,50", "1,234.50"), and so does one that appears more than once
// ("1.234.567"). False for anything else and for values that are not finite.
bool ParseTypedNumber(const QString& text, double* value);

// Module functions of the layer.
void WriteDebugLog(const QString& fileName, const QString& text);
[[noreturn]] void RaiseDatabaseError(bool log, const QString& logFile, const QString& dbFile, int code,
                                     const QString& sql, const QString& message);
// True when a library version text ("3.45.1") is at least 3.3 (major, then minor, as numbers).
bool SQLiteVersionSupported(const QString& version);

// Told during a copy how many of the file's pages are copied (done of total,
// rising to total); returning false cancels the copy, which then raises
// ESQLiteError "Die Sicherung wurde abgebrochen." and leaves no partial copy.
using TBackupProgress = std::function<bool(int done, int total)>;

// Copies a database file that is not open here into `target`, as
// TSQLiteDB::BackupTo does; opening it rolls back a transaction a crashed
// program left in its journal. `driverDLL` names the SQLite library.
void CopyDatabaseFile(const QString& source, const QString& target, const QString& driverDLL,
                      const TBackupProgress& progress = {});

// ---------------------------------------------------------------------------
// The connection to one database file.
class TSQLiteDB {
public:
    TSQLiteDB();
    ~TSQLiteDB();
    TSQLiteDB(const TSQLiteDB&) = delete;
    TSQLiteDB& operator=(const TSQLiteDB&) = delete;

    QString FileName;
    QString DriverDLL; // default: the system's libsqlite3.so.0
    int BusyTimeout = 1000;
    bool DebugLog = false;
    QString DebugLogFile; // empty: SQLiteDebug.log in the program's folder

    std::function<void(TSQLiteDB*)> BeforeConnect, AfterConnect, BeforeDisconnect, AfterDisconnect;

    bool Connected() const;
    void SetConnected(bool value);
    void Open() { SetConnected(true); }
    void Close() { SetConnected(false); }

    double Duration() const { return FDuration; } // ms of the last statement
    QString SQLiteVerion() const { return FVersion; }

    // Executes one statement that returns no rows; blobs are bound to ?1, ?2, ...
    void ExecSQL(const QString& sql, const QList<QByteArray>& blobs = {});

    void StartTransaction();
    void Commit();
    void Rollback();
    bool InTransaction() const { return FInTransaction; }

    qint64 LastInsertRowId() const;
    int Changes() const; // rows changed by the last INSERT, UPDATE or DELETE

    // A consistent copy of the connected database in the file `target`.
    // The copy is taken through SQLite's online backup from one read
    // snapshot, so it holds exactly the last committed state whatever the
    // journal mode and whoever else writes the file: a transaction a crashed
    // program left in a hot journal is rolled back, rows still in a WAL file
    // are included. It is written under a temporary name beside the target,
    // checked with PRAGMA integrity_check, kept as one self-contained file
    // (rollback journal) and only then renamed to `target`, replacing a file
    // of that name. A failure raises an ESQLiteError naming both files and
    // the reason; `target` is then left as it was. Not possible while this
    // connection has a transaction of its own open. With `progress` the pages
    // are copied in portions and reported after each one.
    void BackupTo(const QString& target, const TBackupProgress& progress = {});
    // The same with the target chosen inside the snapshot that is copied:
    // `chooseTarget` runs in the copy's read transaction and may read (never
    // write) the database, so what it reads, say a version for the copy's
    // name, describes exactly the copied state. An empty name copies
    // nothing. Returns the name copied to.
    QString BackupInSnapshot(const std::function<QString()>& chooseTarget,
                             const TBackupProgress& progress = {});

    // What the rules ask the engine instead of spelling its own catalog and
    // settings statements (SQLiteCatalog.cpp); a second engine answers the
    // same questions its own way.
    bool TableExists(const QString& table);
    // The columns of a table in their declared order; empty when it is missing.
    QStringList TableColumns(const QString& table);
    // True for a file that holds no table yet: a new database.
    bool HasNoTables();
    // Runs `work` without waiting for the disk after each commit, then waits
    // as before (also when `work` throws). For building a new file, which
    // holds nothing worth protecting until it is finished.
    void WithoutDiskSync(const std::function<void()>& work);
    // The size of the file's pages; a new size takes effect by rewriting the file.
    int PageSize();
    void ChangePageSize(int size);
    // Draws the next number of a counter: returns `column` of the row of
    // `table` whose `keyColumn` is the literal `keyLiteral` and raises it by
    // one, such that no other program can draw the same number in between.
    // Joins a transaction that is already open. 0 when the row is missing.
    int DrawNumber(const QString& table, const QString& column, const QString& keyColumn,
                   const QString& keyLiteral);

    // internal: executes a statement whose every value is a ? parameter, keeping
    // it compiled for the next call with the same text. `literal` renders the
    // statement with its values written out, for the debug log and for errors.
    void ExecBound(const QString& sql, const std::vector<TSQLParam>& params,
                   const std::function<QString()>& literal);
    bool CanBind() const;

    // Raises an ESQLiteError carrying this connection's log settings and file name.
    [[noreturn]] void RaiseError(int code, const QString& sql, const QString& message) const;

    // internal: datasets register themselves so that disconnecting closes them.
    void RegisterDataSet(TSQLiteBaseQuery* ds);
    void UnregisterDataSet(TSQLiteBaseQuery* ds);
    sqlite3* Handle() const { return FHandle; }
    const TSQLiteAPI& Api() const { return *FApi; } // the loaded library's entry points
    void LogSQL(const QString& text) const;
    void StartTiming();
    void StopTiming();

private:
    void Connect();
    void Disconnect();

    void DropStatements();

    std::unique_ptr<TSQLiteAPI> FApi;
    sqlite3* FHandle = nullptr;
    std::vector<std::pair<QString, sqlite3_stmt*>> FStatements; // kept compiled by ExecBound
    bool FInTransaction = false;
    QString FVersion;
    double FDuration = 0;
    qint64 FStartNs = 0;
    std::vector<TSQLiteBaseQuery*> FDataSets;
};

// ---------------------------------------------------------------------------
// A field of a dataset: the value of one column in the current record.
class TField {
public:
    TField(TSQLiteBaseQuery* dataSet, const QString& name, TFieldType type, int size = 0, int precision = 0);

    TSQLiteBaseQuery* DataSet() const { return FDataSet; }
    const QString& FieldName() const { return FName; }
    TFieldType DataType() const { return FType; }
    int Size() const { return FSize; } // declared length of a String field (VARCHAR(n) -> n)
    int Precision() const { return FPrecision; }
    int Index() const { return FIndex; } // position in the dataset's field list

    // Display properties used by grids and bound controls.
    QString DisplayLabel;  // column caption; empty: the field name
    QString DisplayFormat; // e.g. "#,##0.00", "0.00 EUR"
    int DisplayWidth = 0;
    bool Visible = true;

    // Reading: a field without a value (or a dataset without a current record)
    // reads as NULL: empty text, 0, an invalid QDateTime, false. AsString shows
    // a float in the user's locale ("1234,5") and a date with a four-digit year;
    // SQL text never takes it from there (numbers go in with QString::number).
    bool IsNull() const;
    QVariant Value() const; // null QVariant for NULL; Memo/Blob as QByteArray decoded for Memo
    QString AsString() const;
    int AsInteger() const;
    qint64 AsLargeInt() const;
    double AsFloat() const;
    QDateTime AsDateTime() const;
    bool AsBoolean() const;
    QByteArray AsBytes() const; // raw content of Blob/Memo/Graphic

    // Writing needs the dataset in edit or insert state (else ESQLiteError). An
    // empty text clears a number or date field; a text that is no number or date
    // is refused. Text is checked against Windows-1252 when the record is posted.
    void SetValue(const QVariant& value); // null QVariant sets NULL
    void SetAsString(const QString& value);
    void SetAsInteger(int value);
    void SetAsLargeInt(qint64 value);
    void SetAsFloat(double value);
    void SetAsDateTime(const QDateTime& value);
    void SetAsBytes(const QByteArray& value);
    void Clear(); // sets NULL

    // Text as a display pattern shows it ("0.00 EUR", "#,##0.00", "0.00%"), in the current QLocale.
    QString DisplayText() const;

    // internal
    void SetIndex(int i) { FIndex = i; }
    void SetColumn(int column) { FColumn = column; }
    int Column() const { return FColumn; }
    void Retype(TFieldType type, int size, int precision) {
        FType = type;
        FSize = size;
        FPrecision = precision;
    }

private:
    TSQLiteBaseQuery* FDataSet;
    QString FName;
    TFieldType FType;
    int FSize;
    int FPrecision;
    int FIndex = -1;
    int FColumn = -1;
};

// Formats a value with a display pattern of the forms the program uses:
// "0.00", "#,##0.00", "0.00 EUR", "0.00%", "0", "#,##0". Uses QLocale().
QString FormatFloat(const QString& pattern, double value);

// ---------------------------------------------------------------------------
// A data source connects a dataset to bound controls.
class TDataSource : public QObject {
    Q_OBJECT
public:
    explicit TDataSource(TSQLiteBaseQuery* dataSet = nullptr, QObject* parent = nullptr);
    ~TDataSource() override;

    TSQLiteBaseQuery* DataSet() const { return FDataSet; }
    void SetDataSet(TSQLiteBaseQuery* dataSet);

    // Fired when the current record changes (field = nullptr) or a field's value is assigned.
    std::function<void(TDataSource*, TField*)> OnDataChange;
    std::function<void(TDataSource*)> OnStateChange;

    // internal: called by the dataset
    void NotifyDataChange(TField* field);
    void NotifyStateChange();

signals:
    void dataChange(TField* field);
    void stateChange();

private:
    TSQLiteBaseQuery* FDataSet = nullptr;
};

// ---------------------------------------------------------------------------
// Base of both dataset classes: the buffered result, navigation, fields, events.
class TSQLiteBaseQuery {
public:
    using TDataSetNotifyEvent = std::function<void(TSQLiteBaseQuery*)>;
    using TDataSetErrorEvent = std::function<void(TSQLiteBaseQuery*, const ESQLiteError&)>;

    explicit TSQLiteBaseQuery(TSQLiteDB* connection = nullptr);
    virtual ~TSQLiteBaseQuery();
    TSQLiteBaseQuery(const TSQLiteBaseQuery&) = delete;
    TSQLiteBaseQuery& operator=(const TSQLiteBaseQuery&) = delete;

    QString Name; // object name, for messages and debugging

    TSQLiteDB* Connection() const { return FConnection; }
    void SetConnection(TSQLiteDB* connection);

    TDataSetNotifyEvent BeforeOpen, AfterOpen, BeforeClose, AfterClose, BeforeInsert, AfterInsert, BeforeEdit,
        AfterEdit, BeforePost, AfterPost, BeforeCancel, AfterCancel, BeforeDelete, AfterDelete, BeforeScroll,
        AfterScroll, OnNewRecord;
    TDataSetErrorEvent OnDeleteError, OnEditError, OnPostError;

    bool Active() const { return FState != TDataSetState::Inactive; }
    void SetActive(bool value);
    void Open();
    void Close();
    TDataSetState State() const { return FState; }
    // In edit or insert state: a record with changes not yet posted.
    bool Editing() const { return FState == TDataSetState::Edit || FState == TDataSetState::Insert; }
    bool Modified() const { return FModified; }

    void First();
    void Next();
    void Prior();
    void Last();
    int MoveBy(int distance);
    bool Eof() const { return FEof; }
    bool Bof() const { return FBof; }
    bool IsEmpty() const;
    int RecordCount() const;
    int RecNo() const;
    void SetRecNo(int value);

    // Predefined fields: when a dataset has any, they are its only fields and
    // give their types to expression columns.
    TField* AddField(const QString& name, TFieldType type, int size = 0, const QString& displayFormat = {});
    bool HasPredefinedFields() const { return FPredefined; }

    int FieldCount() const;
    TField* Fields(int index) const;
    TField* FieldByName(const QString& name) const; // throws ESQLiteError when absent
    TField* FindField(const QString& name) const;   // nullptr when absent

    bool Locate(const QString& keyFields, const QVariant& keyValues, TLocateOptions options = 0);

    void Append();
    void Insert();
    void Edit();
    void Post();
    void Cancel();
    void Delete();
    void CheckBrowseMode();

    void DisableControls();
    void EnableControls();
    bool ControlsDisabled() const { return FDisableCount > 0; }

    TBookmark GetBookmark() const;
    void GotoBookmark(TBookmark bookmark);
    bool BookmarkValid(TBookmark bookmark) const;

    std::unique_ptr<TSQLiteBlobStream> CreateBlobStream(TField* field, TBlobStreamMode mode);

    // Read access to any buffered row without moving the cursor (grids).
    // row is 0-based in buffer order; returns a null QVariant for NULL.
    QVariant ValueAt(int row, int fieldIndex) const;
    int CurrentIndex() const { return FIndex; }

    // internal: used by fields, data sources and blob streams
    void AttachDataSource(TDataSource* ds);
    void DetachDataSource(TDataSource* ds);
    QVariant CurrentValue(int fieldIndex) const;
    void SetCurrentValue(int fieldIndex, const QVariant& value, TField* notifyField);
    void SetModified(bool value) { FModified = value; }

protected:
    virtual QString BuildSelectSQL() const = 0;
    virtual void WriteRecord(bool inserting); // default: read-only error
    virtual void DeleteRecord();              // default: read-only error
    void NotifyDataChange(TField* field);
    void NotifyStateChange();
    void SetState(TDataSetState state);
    [[noreturn]] void Raise(const QString& message) const;

    TSQLiteDB* FConnection = nullptr;

    // The buffer: one entry per row in row order, with its record id and row id.
    struct TRow {
        std::vector<QVariant> values; // null QVariant = NULL; String as QString, Memo/Blob as QByteArray
        int recordId = 0;
        qint64 rowId = 0;
    };
    std::vector<TRow> FRows;
    TRow FEditRow; // the record being edited or inserted
    bool FHasRowIdColumn = false;
    int FIndex = -1; // current row, -1 before the first
    int FLastRecordId = 0;
    std::vector<std::unique_ptr<TField>> FFields;
    bool FPredefined = false;

    // A result column (the leading ROWID column is not one).
    struct TColumn {
        QString name;
        TFieldType type = TFieldType::Unknown;
        int slot = 0;      // bytes a String value may hold (declared length + 1, else 255)
        int length = 0;    // declared length of a CHAR kind
        int precision = 0; // digits after the point of NUMERIC(p,s)
    };
    std::vector<TColumn> FColumns;
    const TRow* CurrentRow() const; // the record fields read: edit buffer or current row; nullptr if none
    int CurrentRowIndex() const;    // index of the current buffered row, -1 when there is none

public:
    // internal: the blob stream writes its content back here when it is destroyed
    void StoreBlob(TField* field, const QByteArray& content);

private:
    void ReadRows(const QString& sql);
    void BindFields();
    void ClearBuffer();
    void CheckActive() const;
    void BeginInsertAppend();
    void EndInsertAppend(int position);
    void StorePosted(bool inserting, qint64 rowId);

    TDataSetState FState = TDataSetState::Inactive;
    bool FModified = false;
    bool FEof = true;
    bool FBof = true;
    int FDisableCount = 0;
    int FInsertPos = 0; // where a record being inserted will be placed
    int FIndexBeforeInsert = -1;
    std::vector<TDataSource*> FDataSources;
    // Generated fields of earlier opens, kept so that a TField* handed out stays
    // valid for the dataset's lifetime; reused when a column of that name returns.
    std::vector<std::unique_ptr<TField>> FStaleFields;
    // Typed copies of the columns Locate searches, made when it searches an
    // unchanged buffer again; dropped whenever the buffer changes.
    struct TKeyColumns;
    std::unique_ptr<TKeyColumns> FKeyColumns;
    // The parameter form of a table's INSERT [0] and UPDATE [1], made once per open.
    QString FPostShape[2];
    bool FPostShapeSkipsKey[2] = {false, false};
    void BufferChanged();

    friend class TSQLiteTable;
    friend class TSQLiteDB;
};

// A read-only result of an arbitrary SQL text.
class TSQLiteQuery : public TSQLiteBaseQuery {
public:
    explicit TSQLiteQuery(TSQLiteDB* connection = nullptr);

    QStringList SQL() const { return FSQL; }
    void SetSQL(const QStringList& lines); // closes the dataset
    void SetSQL(const QString& text);

    // Opens a SELECT, executes anything else (and leaves the dataset closed).
    void RunSQL(const QString& sql);

protected:
    QString BuildSelectSQL() const override;

private:
    QStringList FSQL;
};

// An editable result of one whole table; rows are addressed by their ROWID.
class TSQLiteTable : public TSQLiteBaseQuery {
public:
    explicit TSQLiteTable(TSQLiteDB* connection = nullptr);

    QString TableName() const { return FTableName; }
    void SetTableName(const QString& name); // closes the dataset
    bool PrimaryAutoInc = false;
    QString Filter() const { return FFilter; }
    void SetFilter(const QString& filter); // closes the dataset
    bool Filtered = false;

protected:
    QString BuildSelectSQL() const override;
    void WriteRecord(bool inserting) override;
    void DeleteRecord() override;

private:
    // The column that is the table's INTEGER PRIMARY KEY (and so its ROWID), -1 if none.
    int RowIdAliasColumn();

    QString FTableName;
    QString FFilter;
    QString FRowIdAlias;
    bool FRowIdAliasKnown = false;
};

// A byte stream over one memo or blob field of the current record. Its content
// is written back into the record when it is destroyed.
class TSQLiteBlobStream {
public:
    TSQLiteBlobStream(TField* field, TBlobStreamMode mode);
    ~TSQLiteBlobStream();

    QByteArray& Data() { return FData; }
    qint64 Size() const { return FData.size(); }
    qint64 Position() const { return FPos; }
    void Seek(qint64 pos) { FPos = pos; }
    qint64 Read(char* buffer, qint64 count);
    QByteArray ReadAll();
    qint64 Write(const char* buffer, qint64 count);
    qint64 Write(const QByteArray& bytes) { return Write(bytes.constData(), bytes.size()); }
    bool Written() const { return FWritten; }

private:
    TField* FField;
    TSQLiteBaseQuery* FDataSet;
    TBlobStreamMode FMode;
    QByteArray FData;
    qint64 FPos = 0;
    bool FWritten = false;
};
