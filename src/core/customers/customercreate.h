#pragma once
#include "core/customers/appoptions.h"
#include "core/customers/editresult.h"
#include "core/db/addressrecord.h"
#include "core/db/userrecord.h"

#include <QDate>

class Database;

// The row of a new customer (or group) named `name` with the customer defaults applied: the
// default plans, service from `today`, the default anniversary day (today's day of the month
// when the default is 0), active.
UserRow NewCustomerRow(const QString& name, bool group, const CustomerDefaults& defaults,
                       const QDate& today);
// Its Billing address: the e-mail is the name, an at sign and the default domain.
AddressRow NewCustomerBillingAddress(const QString& name, const CustomerDefaults& defaults);

// Creates a customer or group by name (checked: not empty, at most 40 characters, not taken
// ignoring case) with the defaults and its Billing address, all or nothing. `id` gets the new
// row's Id.
EditResult CreateCustomer(Database& db, const QString& name, bool group,
                          const CustomerDefaults& defaults, const QDate& today,
                          qint32* id = nullptr);
