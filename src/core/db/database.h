#pragma once
#include "core/db/dbengine.h"
#include "core/db/fielddef.h"

#include <QHash>
#include <QString>
#include <QVariant>
#include <QVariantList>
#include <memory>
#include <unordered_map>

class Statement;
class DatabaseHold;

// One open database: an SQLite file named by its path, or a PostgreSQL database named by a
// "postgresql://" URL (core/db/pgengine.h). Every engine failure raises DbException with the
// engine's message.
//
// SQL written by callers may use the Jet forms the program's queries rely on: bracketed names,
// "SELECT DISTINCTROW" (drops only rows that come from the same rows of the tables whose fields
// are selected) and "UPDATE/DELETE DISTINCTROW".
// Values coming from users or files are always bound as parameters ("?"), never spliced in.
// Date literals "#m/d/yy h:mm:ss AM#" are turned into day numbers; "UPDATE A INNER JOIN B ON
// ... SET B.x = ..." updates the table named on the left of the first assignment.
//
// Storage: Currency columns hold ten-thousandths as integers, Date/Time columns day numbers,
// Yes/No columns 0 and 1; SQL arithmetic and aggregates see those stored forms (an expression
// without a declared type reads back as qint64, double, QString or QByteArray).
// Schema: "PrimaryKey" of a table is its AutoNumber field, or a unique index when the table
// has none; deleting "PrimaryKey" of an AutoNumber table leaves the key in place. A required
// field added to a table that has rows gives those rows the empty value of its kind.
// The file uses a rollback journal, so between transactions it is complete and may be copied.
// On PostgreSQL the same SQL, kinds and values hold (see docs/architecture.md); the exclusive
// open becomes one lock per long operation (OperationLock, core/db/operationlock.h).
class Database {
public:
    enum class OpenMode {
        Exclusive, // the file is locked for this process until close
        Shared
    };

    Database();
    ~Database();
    Database(const Database&) = delete;
    Database& operator=(const Database&) = delete;

    // Opens an existing file (create = false) or creates an empty one (create = true; an
    // existing file is opened as it is, never overwritten; a file that is not a database is
    // refused).
    // A file held exclusively by another process gives a clear error and is not touched.
    // A "postgresql://" name connects to that server's database (which must exist; create
    // makes the tables' extension ready in an empty one).
    void open(const QString& path, OpenMode mode = OpenMode::Exclusive, bool create = false);
    void close();
    bool isOpen() const { return m_engine != nullptr; }
    QString path() const { return m_path; }
    // The name to show: the file's path, or the server URL without its password.
    QString displayName() const { return displayNameOf(m_path); }
    static QString displayNameOf(const QString& name);
    OpenMode mode() const { return m_mode; }
    DbEngineKind engineKind() const;
    // True for names of a database on a server rather than a file.
    static bool isServerName(const QString& name);

    // Runs one statement with the fail-on-error option; returns the number of rows changed.
    int execute(const QString& sql, const QVariantList& params = {});
    // Runs a write whose outcome is not waited for (Statement::post): its failure is raised
    // by the next statement, read or commit.
    void post(const QString& sql, const QVariantList& params = {});
    // First column of the first row, or an invalid QVariant when there is no row.
    QVariant scalar(const QString& sql, const QVariantList& params = {});
    // A prepared statement for repeated use (bulk import, duplicate tests).
    Statement prepare(const QString& sql);
    qint64 lastInsertId() const;
    // Rows loaded into the columns of a table as one stream (core/db/dbengine.h), or null when
    // the engine has no such path and prepared inserts serve.
    std::unique_ptr<DbBulkLoad> bulkLoad(const QString& table, const QStringList& columns);
    // Sends queued runs (Statement::queue) on their way at once rather than with the next
    // statement, for the server to work on while the program prepares more.
    void flush();

    // Schema introspection. fieldInfo throws when the table or field does not exist.
    bool tableExists(const QString& table);
    QStringList tableNames();
    bool fieldExists(const QString& table, const QString& field);
    FieldDef fieldInfo(const QString& table, const QString& field);
    FieldList fields(const QString& table);
    QList<IndexDef> indexes(const QString& table);

    // Schema changes. Changes that SQLite cannot make in place rebuild the table, keeping its
    // rows, indexes and AutoNumber sequence.
    void createTable(const QString& table, const FieldList& fields);
    void deleteTable(const QString& table);
    void addField(const QString& table, const FieldDef& field);
    void deleteField(const QString& table, const QString& field);
    void convertField(const QString& table, const FieldDef& newDef); // kind or size; data kept
    void addAutoNumberKey(const QString& table, const QString& field = QStringLiteral("Id"));
    // Creates "PrimaryKey" (primary) or "<Field>_index" (secondary, not unique).
    void createIndex(const QString& table, const QString& field, bool primary = false);
    void deleteIndex(const QString& table, const QString& indexName);
    // The number the table's AutoNumber field hands out next: past the largest in use and past
    // every number handed out before (a deleted row's number is never given again). Setting
    // it makes the table go on from `next`; the engine never hands out a number at or below
    // one in use. Both throw when the table has no AutoNumber field.
    qint64 nextAutoNumber(const QString& table);
    void setNextAutoNumber(const QString& table, qint64 next);

    // Transactions nest; an inner rollback undoes only its own level. Code runs its
    // transactions through the Transaction guard (core/db/transaction.h), which pairs these.
    void beginTrans();
    void commitTrans();
    void rollback();
    int transactionDepth() const { return m_transDepth; }

    // Writes a compacted copy of the file at src into dst (dst must not exist).
    static void compact(const QString& src, const QString& dst);
    // Repairs the file in place: checks it and rebuilds its indexes; a damaged file is replaced
    // by a checked copy of every row that can be read, the original kept beside it as
    // "<name>.damaged-<yyyy-MM-dd>" (*keptOriginal). Answers what could not be read (tables and
    // rows), empty when nothing was lost; throws when nothing was replaced.
    static QStringList repair(const QString& path, QString* keptOriginal = nullptr);

    // Translates the Jet forms named above into SQLite SQL.
    static QString translateSql(const QString& sql);

    // The open engine (for the operation locks and the engines' own helpers).
    DbEngine& engine() const;

private:
    void ensureOpen() const;

    friend class Statement;
    // Returns a finished statement to the cache (or drops it when it belongs to an
    // earlier opening or the cache is full).
    void recycle(const QString& key, std::unique_ptr<DbCursor> cursor, quint64 generation);
    void clearCaches();
    void forgetFields() { m_fieldCache.clear(); }

    std::unique_ptr<DbEngine> m_engine;
    // Every opening and closing starts a new generation; statements of an older one are
    // never put back into the cache.
    quint64 m_generation = 0;
    std::unordered_map<QString, std::unique_ptr<DbCursor>> m_statementCache; // idle, by SQL text
    struct CachedFields {
        int schemaVersion;
        FieldList fields;
    };
    QHash<QString, CachedFields> m_fieldCache; // by lower-case table name
    QString m_path;
    // The process's hold on the file (core/db/databasehold.h), taken before the engine opens it.
    std::shared_ptr<DatabaseHold> m_hold;
    OpenMode m_mode = OpenMode::Exclusive;
    int m_transDepth = 0;
};

// A prepared statement; movable, returned to its database's cache on destruction.
class Statement {
public:
    Statement() = default;
    Statement(Database* db, std::unique_ptr<DbCursor> cursor, QString cacheKey,
              quint64 generation);
    Statement(Statement&& o) noexcept;
    Statement& operator=(Statement&& o) noexcept;
    ~Statement();

    void bind(int index, const QVariant& value); // 1-based
    void bindAll(const QVariantList& values);
    // Typed bindings for loops run per record: each stores what bind() stores for a QVariant
    // of that type (text always as text, an empty one included), without the conversions.
    void bindNull(int index);
    void bindInt64(int index, qint64 value);
    void bindDouble(int index, double value);
    void bindText(int index, QStringView text);
    bool next();  // steps; true while a row is available
    int exec();   // steps to completion, returns rows changed, resets
    void reset(); // ready for new bindings
    // Runs with the current bindings, its outcome read later by takeQueued() (rows changed, or
    // the run's failure), oldest first. On a server, queued runs travel in one stream instead of
    // one round trip each; any other use of the connection first waits for them.
    void queue();
    // Runs with the current bindings without waiting at all: rows changed are not read and a
    // failure is raised by the next use of the connection (on a server the next statement
    // travels in the same round trip). For writes whose outcome nothing needs at once.
    void post();
    // post() of an INSERT into a table with an AutoNumber key: *key receives the new key once
    // the outcome has arrived (any later statement; embedded: at once).
    void postInsert(const std::shared_ptr<qint64>& key);
    int takeQueued();
    int columnCount() const;
    QString columnName(int i) const;
    QVariant value(int i) const; // column of the current row, typed by its declared kind

private:
    void release() noexcept;

    DbCursor& cursor() const;

    Database* m_db = nullptr;
    std::unique_ptr<DbCursor> m_cursor;
    QString m_cacheKey; // SQL text the statement is cached under; empty: not cached
    quint64 m_generation = 0;
};

// The declared type that keeps a field's kind and size visible, and its reading back.
FieldKind fieldKindFromDeclared(const QString& declared, int* size, bool* allowZeroLength);
QString declaredTypeFor(const FieldDef& field);
