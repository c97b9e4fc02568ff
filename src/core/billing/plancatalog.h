#pragma once
// The template rows the plan editors work on: billing plans, invoicing plans and charges with
// IdInvoice 0. The frozen copies of issued invoices never appear in these lists.
#include "core/db/bprecord.h"
#include "core/db/chargerecord.h"
#include "core/db/invoiceplanrecord.h"

#include <QList>
#include <QString>
#include <optional>

class Database;

// One template row as a list shows it.
struct TemplateEntry {
    qint32 id = 0;
    QString name;
    qint32 type = 0; // Charges.Type of a charge; 0 for plans
};

// Template billing plans, invoicing plans and charges, by name (then Id). Throw DbException.
QList<TemplateEntry> TemplateBillingPlans(Database& db);
QList<TemplateEntry> TemplateInvoicingPlans(Database& db);
QList<TemplateEntry> TemplateCharges(Database& db);
// Every charge a billing plan holds (ordinary charges and its plan-level taxes, surcharges and
// discounts), in OrdinalPosition order.
QList<TemplateEntry> PlanChargeEntries(Database& db, qint32 planId);

// The template billing or invoicing plan of that Id (frozen copies are not found), or nullopt.
std::optional<BPRow> LoadTemplateBillingPlan(Database& db, qint32 planId);
std::optional<InvoicePlanRow> LoadTemplateInvoicingPlan(Database& db, qint32 planId);

// Whether the row of that Id in `table` (BillingPlans, InvoicePlans or Charges, a name of this
// code, never of the user) is a template rather than an invoice's frozen copy; false when there
// is no such row. Throws DbException.
bool IsTemplateRow(Database& db, const char* table, qint32 id);

// The template of that name (compared without regard to case), or nullopt. Throw DbException.
std::optional<BPRow> FindTemplateBillingPlan(Database& db, const QString& name);
std::optional<InvoicePlanRow> FindTemplateInvoicingPlan(Database& db, const QString& name);
std::optional<ChargeRow> FindTemplateCharge(Database& db, const QString& name);

// The kind of a charge type as the create dialog names it ("Fixed", "Online", "Tax",
// "Surcharge/Discount", "Byte traffic"); empty for an unknown type.
QString ChargeKindName(qint32 type);
// The type of a kind name (ignoring case and blanks: "fixed", "online", "tax", "surcharge",
// "discount", "bytetraffic", "byte traffic"); nullopt for any other text.
std::optional<qint32> ChargeTypeOfKind(const QString& name);

// Why a template may not take this name: empty name, or another template of the table holding
// it ("A charge with the name of '%s' already exists."). `exceptId` is the row being renamed
// (0 for a new row). Frozen copies never count. Empty when the name is free. Throw DbException.
QString BillingPlanNameProblem(Database& db, const QString& name, qint32 exceptId = 0);
QString InvoicingPlanNameProblem(Database& db, const QString& name, qint32 exceptId = 0);
QString ChargeNameProblem(Database& db, const QString& name, qint32 exceptId = 0);
