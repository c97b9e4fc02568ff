#pragma once
#include <QList>
#include <QString>

// Kinds of field the data store knows. Each maps to a declared SQLite type that keeps the
// kind and size visible to introspection (see docs/architecture.md).
enum class FieldKind {
    Long,       // 32-bit signed integer            "LONG"
    AutoNumber, // Long assigned by the engine      "INTEGER PRIMARY KEY AUTOINCREMENT"
    Integer,    // 16-bit signed integer            "SHORT"
    Single,     // 32-bit float                     "SINGLE"
    Double,     // 64-bit float                     "DOUBLE"
    Currency,   // 64-bit ten-thousandths           "CURRENCY"
    DateTime,   // days since 30 Dec 1899           "DATETIME"
    YesNo,      // 0 / 1                            "YESNO"
    Text,       // at most size characters          "TEXT(n)"
    Memo,       // long text                        "MEMO TEXT"
    LongBinary  // bytes                            "LONGBINARY"
};

struct FieldDef {
    QString name;
    FieldKind kind = FieldKind::Long;
    int size = 0;                 // Text: maximum characters (255 when created without size)
    bool required = false;        // NOT NULL
    bool allowZeroLength = false; // Text and Memo only
    QString defaultValue;         // literal default text, empty when none
    bool hasDefault = false;

    FieldDef() = default;
    FieldDef(QString n, FieldKind k, int sz = 0) : name(std::move(n)), kind(k), size(sz) {}
    FieldDef& req(bool r = true) { required = r; return *this; }
    FieldDef& zeroLength(bool z = true) { allowZeroLength = z; return *this; }
    FieldDef& def(const QString& v) { defaultValue = v; hasDefault = true; return *this; }
};

struct IndexDef {
    QString name;  // "PrimaryKey" or "<Field>_index"
    QString field; // indexes cover a single field
    bool primary = false;
    bool unique = false;
};

using FieldList = QList<FieldDef>;
