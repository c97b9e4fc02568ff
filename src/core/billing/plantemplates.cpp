#include "core/billing/plantemplates.h"

#include "core/db/database.h"

namespace {

// Charges of one kind of a template plan, in plan order.
const QString kPlanChargesSql = QStringLiteral(
    "SELECT DISTINCTROW Charges.* FROM Charges INNER JOIN BPChargeJoin ON Charges.Id = "
    "BPChargeJoin.IdCharge WHERE (((BPChargeJoin.IdBillingPlan)=?) AND ((Charges.Type)=?)) "
    "ORDER BY BPChargeJoin.OrdinalPosition");

// The plan's own taxes and surcharges (types 1 and 8).
const QString kPlanLevelSql =
    QStringLiteral("SELECT DISTINCTROW Charges.* FROM BPChargeJoin INNER JOIN Charges "
                   "ON BPChargeJoin.IdCharge = Charges.Id "
                   "WHERE (((BPChargeJoin.IdBillingPlan)=?)  AND ((Charges.Type = 1) "
                   "OR (Charges.Type = 8)))");

QList<ChargeRow> readAll(CChargeRecord& rs) {
    QList<ChargeRow> rows;
    for (; !rs.isEOF(); rs.moveNext())
        rows.append(rs.row());
    rs.close();
    return rows;
}

// A row by its Id, read once; a missing one is remembered as missing (null).
template <class Record, class Row>
const Row* cachedById(Database& db, QHash<qint32, std::optional<Row>>& cache, qint32 id) {
    auto it = cache.find(id);
    if (it == cache.end()) {
        Record rec(db);
        std::optional<Row> row;
        if (rec.findById(id))
            row = rec.row();
        it = cache.insert(id, row);
    }
    return it->has_value() ? &**it : nullptr;
}

} // namespace

QList<ChargeRow> ReadLinkedCharges(Database& db, qint32 sourceId, bool planLevel) {
    CChargeRecord rs(db);
    if (planLevel)
        rs.openSql(kPlanLevelSql, {sourceId}, QStringLiteral("Charges"));
    else
        rs.openLinkedTo(sourceId);
    return readAll(rs);
}

const BPRow* PlanTemplates::billingPlan(qint32 id) {
    return cachedById<CBPRecord>(m_db, m_billingPlans, id);
}

const InvoicePlanRow* PlanTemplates::invoicePlan(qint32 id) {
    return cachedById<CInvoicePlanRecord>(m_db, m_invoicePlans, id);
}

const QList<ChargeRow>& PlanTemplates::planCharges(qint32 planId, qint32 type) {
    const QPair<qint32, qint32> key(planId, type);
    auto it = m_planCharges.find(key);
    if (it == m_planCharges.end()) {
        CChargeRecord rs(m_db);
        rs.openSql(kPlanChargesSql, {planId, type}); // read only: no table look-up needed
        it = m_planCharges.insert(key, readAll(rs));
    }
    return *it;
}

const QList<ChargeRow>& PlanTemplates::linkedCharges(qint32 sourceId, bool planLevel) {
    QHash<qint32, QList<ChargeRow>>& cache = planLevel ? m_planLevel : m_linked;
    auto it = cache.find(sourceId);
    if (it == cache.end())
        it = cache.insert(sourceId, ReadLinkedCharges(m_db, sourceId, planLevel));
    return *it;
}
