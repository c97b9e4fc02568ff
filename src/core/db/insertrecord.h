#pragma once
#include "core/db/database.h"

#include <QtGlobal>
#include <memory>

// Inserts one row through its record type (CUserRecord with a UserRow, CChargeRecord with a
// ChargeRow, ...) and answers the new row's key (Id, or InvoiceNum of an invoice). Every bound
// field is written from the row; the row's own key is ignored, the table assigns a new one.
// The row is not read back: one statement per row.
template <class Record, class Row> qint32 insertRecord(Database& db, const Row& row) {
    Record rec(db);
    rec.openForAdding(rec.defaultTable());
    rec.addNew();
    rec = row;
    rec.update();
    return qint32(rec.lastAddedKey());
}

// insertRecord with the INSERT posted (Statement::postInsert): nothing waits for it, and *key
// receives the new key once a later statement has run (at once on the file). Its failure is
// raised by that statement.
template <class Record, class Row>
void postRecord(Database& db, const Row& row, const std::shared_ptr<qint64>& key) {
    Record rec(db);
    rec.openForAdding(rec.defaultTable());
    rec.addNew();
    rec = row;
    rec.updatePosted(key);
}
