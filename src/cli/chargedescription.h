#pragma once
// How plan and charge commands describe a charge in one line each: its price and unit, and
// the conditions (frequency, premium hours, band, origin, direction) under which it bills.
#include "core/db/chargerecord.h"

#include <QHash>
#include <QString>

class Database;

// "19.95" with the currency decimals; a tax or surcharge/discount as its signed rate "19.00%".
QString ChargeAmountText(const ChargeRow& charge, int decimals);
// The units one price buys: "1 Hour", "1048576 Byte(s)", "1" (empty for taxes).
QString ChargeUnitsText(const ChargeRow& charge);
// The conditions, "; "-separated, empty when it bills without any ("every billing period").
// `servers` maps server Ids to names.
QString ChargeFiltersText(const ChargeRow& charge, const QHash<qint32, QString>& servers);
// Server names by Id (throws DbException).
QHash<qint32, QString> ServerNames(Database& db);
// A stored date as YYYY-MM-DD, empty when not set.
QString IsoDateText(const DbDateTime& value);
