#include "core/billing/plandelete.h"

#include "core/app/faultpoint.h"
#include "core/app/settingsvalues.h"
#include "core/billing/plancatalog.h"
#include "core/db/database.h"
#include "core/db/dbexception.h"
#include "core/db/transaction.h"

namespace {

// After a plan is gone: the customer default that named it becomes none, with the note that
// says so (or why it could not be changed).
QString clearDefault(int setting, qint32 planId, const QString& what) {
    if (RegNumber(setting) != planId)
        return {};
    if (!RegWriteNumber(setting, 0))
        return QStringLiteral("Note:  You have just deleted the customer default %1, but the "
                              "default could not be set to 'None'.")
            .arg(what);
    return QStringLiteral("Note:  You have just deleted the customer default %1.  It has been "
                          "set to 'None'.")
        .arg(what);
}

} // namespace

QString DeletePlanChargeQuestion() {
    return QStringLiteral("Delete the selected charge from the billing plan?");
}

QString DeleteChargeQuestion() {
    return QStringLiteral("Deleting this charge will also delete the charge from all billing "
                          "plans.  Also, any unbilled accumulation of units against this charge "
                          "will be lost.\n\nDelete the selected charge?");
}

QString DeleteBillingPlanQuestion() {
    return QStringLiteral("Delete the selected billing plan?");
}

QString DeleteInvoicingPlanQuestion() {
    return QStringLiteral("Delete the selected invoice plan?");
}

EditResult DeletePlanCharge(Database& db, qint32 planId, qint32 chargeId) {
    try {
        Transaction transaction(db);
        db.execute(QStringLiteral("DELETE FROM BPChargeJoin WHERE IdCharge = ? AND "
                                  "IdBillingPlan = ?"),
                   {chargeId, planId});
        transaction.commit();
    } catch (const DbException& e) {
        return EditResult::failed(QStringLiteral("Error making requested billing plan changes."),
                                  e.message());
    }
    return {};
}

EditResult DeleteCharge(Database& db, qint32 chargeId) {
    const QString failure = QStringLiteral("Error deleting charge records");
    try {
        Transaction transaction(db);
        // Only a template: the copies in issued invoices stay as they were billed.
        if (!IsTemplateRow(db, "Charges", chargeId))
            return EditResult::failed(failure, QStringLiteral("no such charge"));
        db.execute(QStringLiteral("DELETE FROM BPChargeJoin WHERE IdCharge = ?"), {chargeId});
        FaultPoint("charge-delete");
        db.execute(QStringLiteral("DELETE FROM ChargeChargeJoin WHERE IdChargeFrom = ? OR "
                                  "IdChargeTo = ?"),
                   {chargeId, chargeId});
        db.execute(QStringLiteral("DELETE FROM FixedUnitsJoin WHERE IdCharge = ?"), {chargeId});
        db.execute(QStringLiteral("DELETE FROM Charges WHERE Id = ? AND IdInvoice = 0"),
                   {chargeId});
        transaction.commit();
    } catch (const DbException& e) {
        return EditResult::failed(failure, e.message());
    }
    return {};
}

EditResult DeleteBillingPlan(Database& db, qint32 planId, QString* note) {
    const QString failure = QStringLiteral("Error deleting billingPlan records");
    if (note)
        note->clear();
    try {
        Transaction transaction(db);
        if (!IsTemplateRow(db, "BillingPlans", planId))
            return EditResult::failed(failure, QStringLiteral("no such billing plan"));
        db.execute(QStringLiteral("DELETE FROM BillingPlans WHERE Id = ? AND IdInvoice = 0"),
                   {planId});
        db.execute(QStringLiteral("DELETE FROM BPChargeJoin WHERE IdBillingPlan = ?"), {planId});
        FaultPoint("plan-delete");
        db.execute(QStringLiteral("UPDATE Users SET IdBillingPlan = 0 WHERE IdBillingPlan = ?"),
                   {planId});
        // A group overriding its members' plan with this one would make every run refuse it;
        // the override goes with the plan.
        db.execute(QStringLiteral("UPDATE Users SET IdBPOverride = 0, GroupOptions = GroupOptions "
                                  "- (GroupOptions & 1) WHERE IdBPOverride = ?"),
                   {planId});
        transaction.commit();
    } catch (const DbException& e) {
        return EditResult::failed(failure, e.message());
    }
    const QString text = clearDefault(Reg::DefBillingPlan, planId, QStringLiteral("billing plan"));
    if (note)
        *note = text;
    return {};
}

EditResult DeleteInvoicingPlan(Database& db, qint32 planId, QString* note) {
    const QString failure = QStringLiteral("Error deleting invoicePlan records");
    if (note)
        note->clear();
    try {
        Transaction transaction(db);
        if (!IsTemplateRow(db, "InvoicePlans", planId))
            return EditResult::failed(failure, QStringLiteral("no such invoicing plan"));
        db.execute(QStringLiteral("DELETE FROM InvoicePlans WHERE Id = ? AND IdInvoice = 0"),
                   {planId});
        FaultPoint("invoice-plan-delete");
        db.execute(QStringLiteral("UPDATE Users SET IdInvoicePlan = 0 WHERE IdInvoicePlan = ?"),
                   {planId});
        db.execute(QStringLiteral("UPDATE Users SET IdIPOverride = 0, GroupOptions = GroupOptions "
                                  "- (GroupOptions & 2) WHERE IdIPOverride = ?"),
                   {planId});
        transaction.commit();
    } catch (const DbException& e) {
        return EditResult::failed(failure, e.message());
    }
    const QString text =
        clearDefault(Reg::DefInvoicePlan, planId, QStringLiteral("invoicing plan"));
    if (note)
        *note = text;
    return {};
}
