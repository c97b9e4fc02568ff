#pragma once
#include <QtGlobal>
#include <memory>

class CPropSheet;
class Database;
class QWidget;

// The property sheets of the billing plans browser, built from the stored template row with
// their pages in order: a billing plan General, Apply; a fixed charge General, Frequency,
// Apply; an online charge General, Overtime, Premium, Origin, Apply; a byte-traffic charge
// General, Direction, Origin, Apply; a tax or surcharge/discount its rate page alone.
// Null after the message when the row is gone or cannot be read.
std::unique_ptr<CPropSheet> BuildBillingPlanProps(Database& db, qint32 planId, QWidget* parent);
std::unique_ptr<CPropSheet> BuildChargeProps(Database& db, qint32 chargeId, QWidget* parent);
// An invoicing plan: its one page.
std::unique_ptr<CPropSheet> BuildInvoicingPlanProps(Database& db, qint32 planId, QWidget* parent);

// Shows the sheet modally; true when anything was saved (the views are then refreshed).
bool ShowBillingPlanProps(qint32 planId, QWidget* parent);
bool ShowChargeProps(qint32 chargeId, QWidget* parent);
bool ShowInvoicingPlanProps(qint32 planId, QWidget* parent);
