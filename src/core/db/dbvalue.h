#pragma once
#include "core/db/fielddef.h"

#include <QByteArray>
#include <QVariant>

// The form a Qt value takes in the database, whatever the engine: Currency as ten-thousandths,
// dates as days since 30 December 1899 (local time), Yes/No as 0 and 1, text as UTF-8.
struct DbStoredValue {
    enum Type { Null, Integer, Real, Text, Blob } type = Null;
    qint64 integer = 0;
    double real = 0;
    QByteArray bytes; // Text (UTF-8) or Blob
};

// Throws DbException for a value no field can hold.
DbStoredValue dbStoredForm(const QVariant& value);
// The kind of a declared type (as declaredTypeFor writes it), without allocating.
FieldKind dbKindOfDeclared(const char* declared);
