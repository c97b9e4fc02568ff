#pragma once
#include "core/db/bprecord.h"
#include "core/db/chargerecord.h"
#include "core/db/invoiceplanrecord.h"

#include <QHash>
#include <QList>
#include <optional>

class Database;

// The template plans and charges the invoices are rated against, each read once and then
// answered from memory. An invoice run keeps one for its whole length: it holds the run's lock
// and transaction, and writes only invoice copies (rows with IdInvoice set) and customers, never
// templates, so what was read stays true until the run ends. A document without a run keeps
// one for the invoice it computes. Reads throw DbException as the engine's reads do.
class PlanTemplates {
public:
    explicit PlanTemplates(Database& db) : m_db(db) {}
    PlanTemplates(const PlanTemplates&) = delete;
    PlanTemplates& operator=(const PlanTemplates&) = delete;

    // The plans by Id; null when there is none.
    const BPRow* billingPlan(qint32 id);
    const InvoicePlanRow* invoicePlan(qint32 id);
    // Charges of one type of a template plan, in plan order.
    const QList<ChargeRow>& planCharges(qint32 planId, qint32 type);
    // The taxes, surcharges and discounts linked to a charge, or the plan-level ones (types 1
    // and 8) of a template plan.
    const QList<ChargeRow>& linkedCharges(qint32 sourceId, bool planLevel);

private:
    Database& m_db;
    QHash<qint32, std::optional<BPRow>> m_billingPlans;
    QHash<qint32, std::optional<InvoicePlanRow>> m_invoicePlans;
    QHash<QPair<qint32, qint32>, QList<ChargeRow>> m_planCharges; // (plan, type)
    QHash<qint32, QList<ChargeRow>> m_linked;                     // by charge
    QHash<qint32, QList<ChargeRow>> m_planLevel;                  // by plan
};

// The charges linked to a charge or to a plan (as PlanTemplates::linkedCharges), read afresh.
QList<ChargeRow> ReadLinkedCharges(Database& db, qint32 sourceId, bool planLevel);
