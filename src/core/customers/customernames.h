#pragma once
#include <QHash>
#include <QString>

class Database;

// Longest name of a customer or group (the width of Users.Username).
inline constexpr int kMaxCustomerNameLength = 40;

// The key under which two names count as the same: names are unique ignoring case.
QString CustomerNameKey(const QString& name);

// The row whose name equals `name` ignoring case; 0 when there is none.
qint32 FindCustomerByName(Database& db, const QString& name);

// Why `name` cannot be given to a new customer or group (empty, too long, or taken by an
// existing row ignoring case); empty when it can.
QString NewCustomerNameProblem(Database& db, const QString& name);
// The same checks against names already known (bulk creation), without reading the database.
QString NewCustomerNameProblem(const QHash<QString, qint32>& takenKeys, const QString& name);

// Every stored name's key with its row (for checking many new names at once).
QHash<QString, qint32> CustomerNameKeys(Database& db);
