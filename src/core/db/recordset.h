#pragma once
#include "core/db/database.h"

#include <QHash>
#include <QStringList>
#include <QVariant>
#include <QVector>
#include <memory>
#include <optional>

// A dynaset-style recordset: rows of a table, of a criteria on a table, or of a SELECT.
// Rows are read when the recordset is opened or re-queried; edits go straight to the table
// (located by its key, or rowid for a table without one).
class Recordset {
public:
    explicit Recordset(Database& db);
    virtual ~Recordset();

    // criteria is a WHERE clause, optionally followed by "ORDER BY ...", with "?" parameters.
    void openTable(const QString& table);
    void openFilter(const QString& table, const QString& criteria, const QVariantList& params = {});
    // updateTable names the table whose rows the SELECT returns when edits are wanted
    // (its key column must be among the selected columns).
    void openSql(const QString& sql, const QVariantList& params = {},
                 const QString& updateTable = {});
    // Opens on no rows, for adding only: the table's columns come from the prepared statement,
    // which never runs. Rows added are not read back (no engine defaults in the recordset);
    // only their keys are known (lastAddedKey).
    void openForAdding(const QString& table);
    void requery();
    void close();
    bool isOpen() const { return m_open; }

    bool isEOF() const { return !m_open || m_pos >= m_rows.size(); }
    bool isBOF() const { return !m_open || m_pos < 0; }
    int recordCount() const { return int(m_rows.size()); }
    void moveNext();
    void moveFirst();
    void moveLast();

    // Editing. addNew starts a row filled with the table's defaults; edit starts on the
    // current row; update writes; cancelUpdate drops the pending change. After update() of an
    // added row that row is appended to the recordset and becomes the current row (its key is
    // also lastAddedKey()); deleteCurrent makes the following row current.
    void addNew();
    void edit();
    // Starts a change of the row with the given key without reading it (on a recordset opened
    // by openForAdding): update() writes only the fields set meanwhile (throwing when no row
    // has the key) and reads nothing back.
    void editKey(const QVariant& key);
    // update() of a row added on a recordset opened by openForAdding, the INSERT posted
    // (Statement::postInsert): *key receives the new key once a later statement has run.
    void updatePosted(const std::shared_ptr<qint64>& key);
    void update();
    void cancelUpdate();
    void deleteCurrent();
    bool isEditing() const { return m_editMode != EditMode::None; }
    // Key (Id / InvoiceNum) of the row most recently added by update().
    qint64 lastAddedKey() const { return m_lastAddedKey; }

    // Field of the current row (or of the pending row while editing), typed by its kind:
    // null, int, float, double, Currency, QString, bool, DbDateTime, QByteArray.
    // setValue converts numbers given for Currency, Date/Time and Yes/No fields to their kind.
    QVariant value(const QString& field) const;
    void setValue(const QString& field, const QVariant& value);
    QStringList fieldNames() const { return m_columns; }
    bool hasField(const QString& field) const { return findColumn(field) >= 0; }
    // Column of a field (the first of that name, compared without regard to case); -1 when the
    // recordset has none. valueAt and setValueAt work as value and setValue on that column.
    int findColumn(const QString& field) const;
    QVariant valueAt(int column) const;
    void setValueAt(int column, const QVariant& value);

    Database& database() const { return m_db; }
    QString table() const { return m_table; }

protected:
    // Record types copy the current row into their members (load) and back (store).
    virtual void rowChanged() {}
    virtual void storeMembers() {}

private:
    enum class EditMode { None, Add, Edit };
    void openFilter(const QString& table, const QString& criteria, const QVariantList& params,
                    bool readRows);
    void run(bool readRows = true);
    void clearRows(); // the rows and what was learnt of their columns
    void resolveTableInfo();
    int columnIndex(const QString& field) const;
    // Reads the row with the given key (or rowid) from the table into a full row.
    QVector<QVariant> fetchRow(const QVariant& key, const QVector<QVariant>& fallback);
    const FieldDef* tableField(const QString& column) const;
    const FieldDef* columnField(int column) const; // tableField of the column, looked up once
    QVariant keyOfCurrent() const;
    // Runs an INSERT or UPDATE of one row of a table without key; answers its row id after.
    QVariant writeLocating(const QString& sql, const QVariantList& params);

    Database& m_db;
    bool m_open = false;
    QString m_table;
    QString m_sql;
    QVariantList m_params;
    QStringList m_columns;
    QHash<QString, int> m_columnIndex; // lower-case name -> column
    QHash<QString, int> m_exactIndex;  // name as selected -> column, first of its name only
    QVector<int> m_columnField;        // column -> index in m_tableFields, or -1
    QVector<bool> m_firstOfName;       // column is the first of its name (without case)
    QVector<QVector<QVariant>> m_rows;
    qsizetype m_pos = 0;
    EditMode m_editMode = EditMode::None;
    QVector<QVariant> m_pending;
    QString m_keyField; // "Id", "InvoiceNum" or "rowid"
    qint64 m_lastAddedKey = 0;
    FieldList m_tableFields; // fields of m_table, when it is set
    int m_rowidColumn = -1;  // hidden "__rowid__" column of a table without key
    bool m_addOnly = false;  // opened by openForAdding: added rows are not read back
    // A change started by editKey: the row's key and the columns set since.
    std::optional<QVariant> m_editKey;
    QVector<bool> m_assigned;
    std::shared_ptr<qint64> m_postedKey; // during updatePosted
};
