#pragma once
#include "core/db/database.h"
#include "core/db/fielddef.h"

#include <QList>
#include <QString>

// The current database layout, as one table of definitions: every table with its fields in
// order (kind, size, required, default, zero length) and its indexes. New databases are
// created from it, and the upgrade takes the definitions of tables and fields it adds from it.

// Layout level of the current layout, as stored in DBInfo.Version: a program version encoded
// as (build * 65536) + (major * 100) + minor. Release 2.05 (build 0) is the first release
// whose layout is the current one, so the upgrade finds nothing to do for this value.
inline constexpr qint32 kCurrentDbVersion = 205;

// Text fields created without an explicit size hold this many characters.
inline constexpr int kDefaultTextSize = 255;

struct IndexSchema {
    QString field;
    bool primary = false;
    // "PrimaryKey" for the primary index, "<Field>_index" otherwise.
    QString name() const;
};

struct TableSchema {
    QString name;
    FieldList fields;
    QList<IndexSchema> indexes;

    // The definition of a field, or nullptr when the table has no such field.
    const FieldDef* field(const QString& fieldName) const;
};

// All tables of the current layout, in creation order.
const QList<TableSchema>& CurrentSchema();
// One table of the current layout; throws DbException for an unknown table.
const TableSchema& CurrentTable(const QString& table);
// One field of the current layout; throws DbException for an unknown table or field.
FieldDef CurrentField(const QString& table, const QString& field);

// Creates one table with its fields and indexes as defined.
void CreateTable(Database& db, const TableSchema& table);
// Creates every table, field and index of the current layout and the one DBInfo row
// (Version = kCurrentDbVersion, the other fields at their defaults), all in one transaction.
// Throws DbException on any failure; nothing is left created then.
void CreateCurrentSchema(Database& db);
// Creates a new database file holding the current layout. Refuses (DbException) a path that
// already exists; a file it could not complete is removed again.
void CreateNewDatabase(const QString& path);
