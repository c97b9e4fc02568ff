#include "ui/invoice/guiinvoiceruns.h"

#include "core/billing/invoicerun.h"
#include "core/invoice/invoicedelivery.h"
#include "ui/invoice/commitinvoicesdlg.h"
#include "ui/invoice/runlogreporter.h"

namespace {

void useDelivery(CInvoiceRun& run, Database& db) {
    run.SetSender([&db](qint32 num, qint32 plan) { return SendInvoice(db, num, plan); });
}

} // namespace

bool RunCustomerInvoice(Database& db, const UserRow& customer, const DbDateTime& invoiceDate,
                        bool send, qint32 billingPlanId, qint32 invoicePlanId) {
    CInvoiceRun run(db);
    useDelivery(run, db);
    return run.GenerateForCustomer(customer, invoiceDate, send, billingPlanId, invoicePlanId);
}

bool RunGroupInvoices(Database& db, QWidget* parent, const UserRow& group,
                      const DbDateTime& invoiceDate) {
    CInvoiceRun run(db);
    CRunLogReporter log;
    run.SetReporter(&log);
    useDelivery(run, db);
    run.SetCommitDecider(CommitInvoicesDecider(db, parent, log));
    return run.GenerateForGroup(group, invoiceDate);
}

bool RunSendGroupInvoices(Database& db, const UserRow& group, const DbDateTime& invoiceDate,
                          qint32 invoicePlanId) {
    CInvoiceRun run(db);
    useDelivery(run, db);
    return run.SendGroupInvoices(group, invoiceDate, invoicePlanId);
}
