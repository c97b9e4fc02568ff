#pragma once
#include "core/db/fielddef.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <deque>
#include <memory>

class Database;
class DbEngine;

// The engines behind Database: the embedded SQLite file (the default) and a PostgreSQL server
// reached through libpq. Database owns the engine-neutral part (statement cache, transaction
// levels, field cache, the checks of schema changes); an engine supplies one connection's
// statements and the schema primitives in its own SQL.
enum class DbEngineKind { Sqlite, Postgres };

// One prepared statement of an engine. Parameters are 1-based; values read back are typed by
// the declared kind of their column (see Database).
class DbCursor {
public:
    virtual ~DbCursor() = default;
    virtual int parameterCount() const = 0;
    virtual void bind(int index, const QVariant& value) = 0;
    virtual void bindNull(int index) = 0;
    virtual void bindInt64(int index, qint64 value) = 0;
    virtual void bindDouble(int index, double value) = 0;
    virtual void bindText(int index, QStringView text) = 0;
    virtual bool next() = 0;  // steps; true while a row is available
    virtual int exec() = 0;   // to completion; rows changed; ready to run again
    virtual void reset() = 0; // ready to run again, bindings cleared
    virtual int columnCount() const = 0;
    virtual QString columnName(int i) const = 0;
    virtual QVariant value(int i) const = 0;
    virtual QString sql() const = 0; // the caller's text, for messages

    // A run whose outcome is read later: queue() runs the statement with its bindings as they
    // are (a server receives it in a stream, without a round trip of its own); takeQueued()
    // answers the rows changed by the oldest queued run not yet taken, throwing its failure.
    // Embedded: the run happens at once.
    virtual void queue() { m_queued.push_back(exec()); }
    virtual int takeQueued();
    // Forgets the outcomes not taken (a statement going back to the cache after a failure).
    virtual void discardQueued() { m_queued.clear(); }
    // A run nobody waits for: a server receives it in the stream and the next statement
    // travels behind it; its rows changed are dropped and its failure is raised by the next
    // use of the connection. Embedded: the run happens at once.
    virtual void post() { exec(); }
    // A posted insert whose new key is wanted later: *key receives it once the outcome has
    // arrived (0 until then; embedded: at once).
    virtual void postInsert(const std::shared_ptr<qint64>& key, DbEngine& engine);

protected:
    std::deque<int> m_queued;
};

// Rows written into a table as one stream, without a statement per row (a server's COPY). Values
// are added field by field in the order of the columns named when it was started; finish()
// answers the rows stored and throws the engine's failure. Rows may wait in memory until
// finish(). Dropped unfinished, the load is abandoned; on a server, once rows were sent, that
// spoils the open transaction (as any failed statement does).
class DbBulkLoad {
public:
    virtual ~DbBulkLoad() = default;
    virtual void addNull() = 0;
    virtual void addInt64(qint64 value) = 0;
    virtual void addDouble(double value) = 0;
    virtual void addText(QStringView text) = 0;
    virtual void endRow() = 0;
    virtual qint64 finish() = 0;
};

// One open connection. Schema methods take names as the caller spelt them; the checks that do
// not depend on the engine (the field exists, one AutoNumber per table, ...) are made by
// Database before it calls them.
class DbEngine {
public:
    explicit DbEngine(Database& db) : m_db(db) {}
    virtual ~DbEngine() = default;
    DbEngine(const DbEngine&) = delete;
    DbEngine& operator=(const DbEngine&) = delete;

    virtual DbEngineKind kind() const = 0;
    // Prepares one statement written in the program's Jet-style SQL (translated here).
    virtual std::unique_ptr<DbCursor> prepare(const QString& sql) = 0;
    virtual qint64 lastInsertId() = 0;
    // Sends what queued and posted runs wait in the connection's buffer, so that the server
    // works on them while the program goes on (nothing to do on the file).
    virtual void flush() {}
    // A bulk load into the named columns of table, or null when the engine has none (the file:
    // its prepared inserts are as fast).
    virtual std::unique_ptr<DbBulkLoad> bulkLoad(const QString& table, const QStringList& columns) {
        Q_UNUSED(table);
        Q_UNUSED(columns);
        return nullptr;
    }
    // True while the connection is inside a transaction the engine has not ended itself.
    virtual bool inTransaction() = 0;
    // True when a failed statement has spoilt the open transaction: on a server every later
    // statement fails and COMMIT would quietly roll back, so committing it is refused.
    virtual bool transactionFailed() { return false; }
    // Changes whenever the schema changes (field lists are cached against it).
    virtual int schemaVersion() = 0;

    virtual QStringList tableNames() = 0;
    virtual bool tableExists(const QString& table) = 0;
    virtual FieldList readFields(const QString& table) = 0; // empty when there is no table
    // Indexes other than the AutoNumber key, with names as reported ("PrimaryKey",
    // "<Field>_index" or an outside name).
    virtual QList<IndexDef> readIndexes(const QString& table) = 0;
    virtual void createTable(const QString& table, const FieldList& fields) = 0;
    virtual void dropTable(const QString& table) = 0;
    // A field that is not an AutoNumber and does not exist yet.
    virtual void addField(const QString& table, const FieldList& current, const FieldDef& f) = 0;
    // A field that exists and is not the last; its indexes are gone already unless it is the key.
    virtual void dropField(const QString& table, const FieldList& current, const FieldDef& f) = 0;
    // Changes kind or size of `from` to `to` (same name), keeping the data converted.
    virtual void convertField(const QString& table, const FieldList& current, const FieldDef& from,
                              const FieldDef& to) = 0;
    // Adds an AutoNumber field, numbering the rows there are.
    virtual void addAutoNumberKey(const QString& table, const FieldList& current,
                                  const QString& field) = 0;
    virtual void createIndex(const QString& table, const QString& name, const QString& field,
                             bool unique) = 0;
    virtual void dropIndex(const QString& table, const IndexDef& index) = 0;
    // The number the AutoNumber field of table hands out next (1 for a fresh table), and
    // raising it (never lowering below what the table holds).
    virtual qint64 nextAutoNumber(const QString& table) = 0;
    virtual void setNextAutoNumber(const QString& table, qint64 next) = 0;

    // Locks that serialise one kind of long operation among every connection of the database.
    // The SQLite file is opened by one process at a time, so there they always succeed.
    virtual bool tryLockOperation(qint64 key) = 0;
    virtual void unlockOperation(qint64 key) = 0;

protected:
    Database& m_db;
};
