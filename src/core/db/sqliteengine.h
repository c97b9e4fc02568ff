#pragma once
#include "core/db/database.h"
#include "core/db/dbengine.h"

class DatabaseHold;
struct sqlite3;
struct sqlite3_stmt;

// The embedded engine: one SQLite file, opened exclusively (locking mode EXCLUSIVE, the lock
// taken at open) or shared. Statements in sqlitecursor.cpp, schema in sqliteschema.cpp.
class SqliteEngine final : public DbEngine {
public:
    // Opens the file; throws DbException with the program's own message for a file that is
    // missing, empty, held by another program or not a database.
    SqliteEngine(Database& db, const QString& path, Database::OpenMode mode, bool create);
    ~SqliteEngine() override;

    DbEngineKind kind() const override { return DbEngineKind::Sqlite; }
    std::unique_ptr<DbCursor> prepare(const QString& sql) override;
    qint64 lastInsertId() override;
    bool inTransaction() override;
    int schemaVersion() override;

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

    bool tryLockOperation(qint64) override { return true; }
    void unlockOperation(qint64) override {}

private:
    // Recreates the table with newFields, filling each (name, expression) of copyMap from the
    // old rows; keeps indexes whose field remains and the AutoNumber sequence.
    void rebuildTable(const QString& table, const FieldList& newFields,
                      const QList<QPair<QString, QString>>& copyMap);

    sqlite3* m_handle = nullptr;
    // The process's hold on the file (core/db/databasehold.h), taken before the engine opens it.
    std::shared_ptr<DatabaseHold> m_hold;
};

// Converts between SQLite's storage and Qt values for one declared kind.
QVariant sqliteValueFromColumn(sqlite3_stmt* stmt, int column);
void sqliteBindValue(sqlite3_stmt* stmt, int index, const QVariant& value);
