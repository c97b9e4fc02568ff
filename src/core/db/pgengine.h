#pragma once
#include "core/db/database.h"
#include "core/db/dbengine.h"

#include <QHash>
#include <QSet>
#include <deque>
#include <memory>
#include <utility>

struct pg_conn;
struct pg_result;

// A PostgreSQL database on a server, through libpq. The name is a libpq connection URI
// ("postgresql://user@host/dbname"); password, SSL and the rest follow libpq's own conventions
// (PGPASSFILE, ~/.pgpass, PG* variables) and never appear in a message or the log.
//
// Storage keeps the SQLite forms: integers for Long, AutoNumber (identity), Currency
// (ten-thousandths) and Yes/No, double precision for dates (days since 30 December 1899),
// citext for Text and Memo (compared without regard to case; a Text field's size is a check).
// The column's comment holds the declared type ("TEXT(50)", "CURRENCY", ...) so that kinds and
// sizes read back as they were created. SQL is translated in pgsql.cpp.
class PgEngine final : public DbEngine {
public:
    PgEngine(Database& db, const QString& uri, bool create);
    ~PgEngine() override;

    DbEngineKind kind() const override { return DbEngineKind::Postgres; }
    std::unique_ptr<DbCursor> prepare(const QString& sql) override;
    qint64 lastInsertId() override;
    std::unique_ptr<DbBulkLoad> bulkLoad(const QString& table, const QStringList& columns) override;
    void flush() override;
    bool inTransaction() override;
    bool transactionFailed() override;
    int schemaVersion() override { return m_schemaVersion; }

    QStringList tableNames() override;
    bool tableExists(const QString& table) override;
    FieldList readFields(const QString& table) override;
    QList<IndexDef> readIndexes(const QString& table) override;
    void createTable(const QString& table, const FieldList& fields) override;
    void dropTable(const QString& table) override;
    void addField(const QString& table, const FieldList& current, const FieldDef& f) override;
    void dropField(const QString& table, const FieldList& current, const FieldDef& f) override;
    void convertField(const QString& table, const FieldList& current, const FieldDef& from,
                      const FieldDef& to) override;
    void addAutoNumberKey(const QString& table, const FieldList& current,
                          const QString& field) override;
    void createIndex(const QString& table, const QString& name, const QString& field,
                     bool unique) override;
    void dropIndex(const QString& table, const IndexDef& index) override;
    qint64 nextAutoNumber(const QString& table) override;
    void setNextAutoNumber(const QString& table, qint64 next) override;

    bool tryLockOperation(qint64 key) override;
    void unlockOperation(qint64 key) override;

    // The program's SQL in PostgreSQL's words: identifiers folded to lower case (names compare
    // without regard to case, as in the file), "?" numbered, SQLite's functions and row ids
    // replaced. aliases maps each folded "AS" name to its spelling, for the result's columns.
    struct Translation {
        QByteArray text;
        int parameters = 0;
        bool returnsKey = false; // an INSERT that answers the AutoNumber of its rows
        QHash<QByteArray, QString> aliases;
    };
    Translation translate(const QString& sql);

    // What a result column that comes straight from a table column is: its kind and spelling.
    struct ColumnInfo {
        bool declared = false; // false: a column without the program's declared type
        FieldKind kind = FieldKind::Long;
        QString name;
    };
    const ColumnInfo* columnInfo(unsigned tableOid, int column);
    unsigned citextOid() const { return m_citextOid; }
    // A name as the tables hold it: folded to lower case, quoted.
    static QString quoteName(const QString& name);
    // The URI without its password, for messages.
    static QString displayName(const QString& uri);
    // The connection, shared with the statements (which may outlive a close).
    std::shared_ptr<pg_conn> connection() const { return m_conn; }
    quint64 nextStatementNumber() { return ++m_statementCounter; }
    // Noted by statements that change the schema through plain SQL.
    void schemaChanged();
    void noteInsertedKey(qint64 key) { m_lastInsertId = key; }
    // The message of the connection's last failure.
    QString lastError() const;

    // Queued runs (DbCursor::queue): sent in pipeline mode, their outcomes read in order.
    class PipelineReader {
    public:
        virtual ~PipelineReader() = default;
        // One queued run's outcome: rows changed, or the server's message.
        virtual void queuedOutcome(int changed, const QString& error) = 0;
    };
    // Sends one run of a prepared statement into the stream; throws when it cannot be sent.
    void sendQueued(PipelineReader* reader, const QByteArray& statement, int n,
                    const char* const* values, const int* lengths, const int* formats);
    // Reads the outcome of every queued run into its reader; leaves pipeline mode when asked.
    void collectQueued(bool leave);
    // Before any other use of the connection. The failure of a posted run (postQueued) is
    // raised here, once, unless the caller keeps it for a later use (a statement going away).
    void settle(bool raisePosted = true) {
        if (m_inPipeline)
            collectQueued(true);
        if (raisePosted && !m_postedFailure.isEmpty())
            raisePostedFailure();
    }
    // Sends a run whose outcome nobody reads (DbCursor::post): rows changed are dropped, a
    // failure is raised by the next settle().
    void postQueued(const QByteArray& statement, int n, const char* const* values,
                    const int* lengths, const int* formats);
    // The same for an insert that answers its key (RETURNING): *key receives it on arrival.
    void postInsert(const std::shared_ptr<qint64>& key, const QByteArray& statement, int n,
                    const char* const* values, const int* lengths, const int* formats);
    // True when the stream holds only posted runs: a statement run now can travel behind them
    // in the same round trip (runAfterPosted).
    bool onlyPostedPending() const;
    // Runs a prepared statement behind the posted runs and leaves the stream; answers its
    // result (the caller clears it). An earlier posted failure is raised instead.
    struct pg_result* runAfterPosted(const QByteArray& statement, int n, const char* const* values,
                                     const int* lengths, const int* formats);
    // The posted failure not raised yet (taken away), for a rollback that undoes it anyway.
    QString takePostedFailure() { return std::exchange(m_postedFailure, QString()); }
    // A statement going away: its queued outcomes are read first, then it is forgotten.
    void forgetReader(PipelineReader* reader);

private:
    // Runs engine SQL without parameters; throws with the server's message.
    void run(const QString& sql);
    QString storedName(const QString& table); // lower-case engine name of a table
    // The kind of a column of a table, as far as the translation needs it (Long when unknown).
    FieldKind columnKindIn(const QString& table, const QString& column);
    QString sequenceOf(const QString& table, QString* keyField);
    qint64 sequenceNext(const QString& sequence); // the number the sequence hands out next
    qint64 maxKey(const QString& table, const QString& key);
    void loadKeys();
    // Sends "SET <setting>" into the statement stream.
    void queueSetting(const char* setting);

    std::shared_ptr<pg_conn> m_conn;
    QString m_display;
    int m_schemaVersion = 1;
    quint64 m_statementCounter = 0;
    unsigned m_citextOid = 0;
    QHash<quint64, ColumnInfo> m_columns; // (table oid << 16 | column number)
    QSet<unsigned> m_tablesRead;          // tables whose columns m_columns holds
    QHash<QString, QString> m_keys;       // lower-case table -> lower-case AutoNumber field
    bool m_keysLoaded = false;
    qint64 m_lastInsertId = 0;
    bool m_inPipeline = false;
    std::deque<PipelineReader*> m_pending; // queued runs sent, outcome not read, in order
    // The stream's statements run with the plan made once (bulk runs); put back on leaving.
    bool m_streamPlanShared = false;
    // Reader of the posted runs: keeps the first failure.
    struct PostedReader final : PipelineReader {
        explicit PostedReader(QString& failure) : failure(failure) {}
        void queuedOutcome(int, const QString& error) override {
            if (failure.isEmpty() && !error.isEmpty())
                failure = error;
        }
        QString& failure;
    };
    QString m_postedFailure;
    PostedReader m_posted{m_postedFailure};
    // Posted inserts waiting for their keys, in the order sent (reader m_postedKey).
    PostedReader m_postedKey{m_postedFailure};
    std::deque<std::shared_ptr<qint64>> m_postedKeys;
    [[noreturn]] void raisePostedFailure();
    // Marks the statement run behind posted runs: its result is kept (m_keptResult).
    struct ResultKeeper final : PipelineReader {
        void queuedOutcome(int, const QString&) override {}
    } m_keepResult;
    struct pg_result* m_keptResult = nullptr;
};
