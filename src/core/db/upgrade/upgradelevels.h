#pragma once

class UpgradeContext;

// The levels of the upgrade, one file each. Every step first tests whether its change is
// still needed, so a level run twice changes nothing the second time. A level returns 0, or
// 1223 when the user declined; engine failures propagate as DbException.

// DBInfo with all its fields and its one row; returns the stored version (0 for a new row).
int UpgradeLevel0(UpgradeContext& ctx);
// The tables the first layout lacked: Comments, Servers, LANTemp; Users gains fields.
int UpgradeLevel1(UpgradeContext& ctx);
// LANTemp.LogonID; invoices numbered by the engine.
int UpgradeLevel2(UpgradeContext& ctx);
// Users.Prepaid becomes Prepay.
int UpgradeLevel3(UpgradeContext& ctx);
// Users.ActiveStatus.
int UpgradeLevel4(UpgradeContext& ctx);
// Logon names of 40 characters.
int UpgradeLevel5(UpgradeContext& ctx);
// Sessions with server and session id; every table keyed by an AutoNumber.
int UpgradeLevel6(UpgradeContext& ctx);
// The second billing model: addresses, plans, charges, groups; old rates to BillingPlans.txt.
int UpgradeLevel7(UpgradeContext& ctx);
// Options of invoicing plans and customers, invoice texts, wide expiry dates.
int UpgradeLevel8(UpgradeContext& ctx);
// InvoicePlans.ShowInvoiceNum.
int UpgradeLevel9(UpgradeContext& ctx);
