#include "core/billing/planassign.h"

#include "core/db/database.h"
#include "core/db/dbexception.h"
#include "core/db/transaction.h"

#include <algorithm>

namespace {

qsizetype indexOf(const QList<TemplateEntry>& list, qint32 id) {
    for (qsizetype i = 0; i < list.size(); ++i)
        if (list.at(i).id == id)
            return i;
    return -1;
}

bool byName(const TemplateEntry& a, const TemplateEntry& b) {
    const int c = a.name.compare(b.name, Qt::CaseInsensitive);
    return c != 0 ? c < 0 : a.id < b.id;
}

} // namespace

QString PlanChargeAssignment::title() const {
    return QStringLiteral("Assign charges to %1 billing plan").arg(planName);
}

PlanChargeAssignment PlanChargeAssignment::load(Database& db, qint32 planId) {
    PlanChargeAssignment a;
    a.planId = planId;
    a.planName = db.scalar(QStringLiteral("SELECT Name FROM BillingPlans WHERE Id = ? AND "
                                          "IdInvoice = 0"),
                           {planId})
                     .toString();
    for (const TemplateEntry& e : PlanChargeEntries(db, planId))
        if (!(e.type & ChargeType::Applied) && indexOf(a.assigned, e.id) < 0)
            a.assigned.append(e);
    for (const TemplateEntry& e : TemplateCharges(db))
        if (!(e.type & ChargeType::Applied) && indexOf(a.assigned, e.id) < 0)
            a.available.append(e);
    return a;
}

bool PlanChargeAssignment::add(qint32 chargeId) {
    const qsizetype i = indexOf(available, chargeId);
    if (i < 0)
        return false;
    assigned.append(available.takeAt(i));
    return true;
}

bool PlanChargeAssignment::remove(qint32 chargeId) {
    const qsizetype i = indexOf(assigned, chargeId);
    if (i < 0)
        return false;
    const TemplateEntry e = assigned.takeAt(i);
    available.insert(std::upper_bound(available.begin(), available.end(), e, byName), e);
    return true;
}

bool PlanChargeAssignment::moveUp(int index) {
    if (index <= 0 || index >= assigned.size())
        return false;
    assigned.swapItemsAt(index, index - 1);
    return true;
}

bool PlanChargeAssignment::moveDown(int index) {
    if (index < 0 || index + 1 >= assigned.size())
        return false;
    assigned.swapItemsAt(index, index + 1);
    return true;
}

EditResult PlanChargeAssignment::save(Database& db) const {
    const QString failure = QStringLiteral("Error making requested billing plan changes.");
    try {
        Transaction transaction(db);
        if (!db.scalar(QStringLiteral("SELECT 1 FROM BillingPlans WHERE Id = ? AND IdInvoice = 0"),
                       {planId})
                 .isValid())
            return EditResult::failed(failure, QStringLiteral("the billing plan is gone"));
        // The plan's taxes and surcharges are kept; only its ordinary charges are replaced.
        db.execute(QStringLiteral("DELETE FROM BPChargeJoin WHERE IdBillingPlan = ? AND IdCharge "
                                  "IN (SELECT Id FROM Charges WHERE Type <> 1 AND Type <> 8)"),
                   {planId});
        for (qsizetype i = 0; i < assigned.size(); ++i) {
            const int added = db.execute(
                QStringLiteral(
                    "INSERT INTO BPChargeJoin (IdBillingPlan, IdCharge, OrdinalPosition) "
                    "SELECT ?, Id, ? FROM Charges WHERE Id = ? AND IdInvoice = 0 AND "
                    "Type <> 1 AND Type <> 8"),
                {planId, qint32(i), assigned.at(i).id});
            if (added != 1)
                return EditResult::failed(
                    failure, QStringLiteral("the charge '%1' is gone").arg(assigned.at(i).name));
        }
        transaction.commit();
    } catch (const DbException& e) {
        return EditResult::failed(failure, e.message());
    }
    return {};
}
