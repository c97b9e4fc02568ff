#pragma once
#include "core/db/currency.h"
#include "core/db/dbdatetime.h"
#include "core/db/recordset.h"

#include <QByteArray>
#include <QString>

// Copies bound fields between a recordset row and a record type's members.
class FieldBinder {
public:
    enum class Dir { Load, Store };
    FieldBinder(Recordset& rs, Dir dir) : m_rs(rs), m_dir(dir) {}
    Dir direction() const { return m_dir; }

    void operator()(const char* field, qint32& v);
    void operator()(const char* field, qint64& v);
    void operator()(const char* field, qint16& v);
    void operator()(const char* field, float& v);
    void operator()(const char* field, double& v);
    void operator()(const char* field, Currency& v);
    void operator()(const char* field, DbDateTime& v);
    void operator()(const char* field, bool& v);
    void operator()(const char* field, QString& v);
    void operator()(const char* field, QByteArray& v);

private:
    Recordset& m_rs;
    Dir m_dir;
};

// Base of the record types: a recordset on one table whose bound fields are typed public
// members of the derived type (they hold the current row; update() writes them back).
class CRecord : public Recordset {
public:
    CRecord(Database& db, QString defaultTable);

    // Opens on the whole default table.
    void open() { openTable(m_defaultTable); }
    // Opens on a criteria of the default table ("[Id] = ?", optionally with ORDER BY).
    void openWhere(const QString& criteria, const QVariantList& params = {}) {
        openFilter(m_defaultTable, criteria, params);
    }
    // A look-up: opens on the criteria; true only when a row was found. An engine
    // exception during the look-up yields false.
    [[nodiscard]] bool lookup(const QString& criteria, const QVariantList& params = {});
    // Row by key ("[Id] = ?").
    [[nodiscard]] bool findById(qint32 id);

    const QString& defaultTable() const { return m_defaultTable; }

protected:
    virtual void bindFields(FieldBinder& b) = 0;
    void rowChanged() override;
    void storeMembers() override;

private:
    QString m_defaultTable;
};
