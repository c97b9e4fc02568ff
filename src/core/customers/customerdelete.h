#pragma once
#include "core/customers/editresult.h"
#include "core/db/userrecord.h"

class Database;

// The question asked before a customer or group is deleted (its name twice).
QString DeleteCustomerQuestion(const UserRow& user);

// Deletes a customer or group with everything that hangs off it, in one transaction: the
// Users row, each of its invoices with their plan and charge copies, its sessions (by logon
// name), its memberships in groups, its addresses, phones and unit counts. When any step
// fails nothing is deleted ("Error deleting user records", with the reason).
EditResult DeleteCustomer(Database& db, qint32 id);
