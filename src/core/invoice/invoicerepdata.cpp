#include "core/invoice/invoicerepdata.h"

#include "core/db/database.h"
#include "core/db/dbexception.h"

#include <QSet>

bool InvoiceUsesHtml(qint32 planOptions, qint32 customerOptions) {
    if (customerOptions & UserOption::HtmlOverride)
        return (customerOptions & UserOption::Html) != 0;
    return (planOptions & InvoicePlanOption::Html) != 0;
}

bool InvoiceRepData::usesHtml() const {
    return InvoiceUsesHtml(plan.Options, customer.Options);
}

InvoiceRepData InvoiceRepDataFromDoc(const CInvoiceDoc& doc, Database& db) {
    InvoiceRepData d;
    d.customer = doc.RecordCustomer();
    d.invoice = doc.Invoice();
    d.billingPlanId = doc.BillingPlan().Id;
    d.plan = doc.InvoicePlan();
    d.charges = doc.Charges();
    d.sessions = doc.Sessions();
    d.periodStart = doc.PeriodStart();
    d.periodEnd = doc.PeriodEnd();
    d.billingDate = doc.BillingDate();
    d.summary = doc.IsSummary();

    try {
        CAddressRecord address(db);
        if (address.findByOwner(d.customer.Id, 0))
            d.address = address.row();
    } catch (const DbException&) {
        // The page is written without the address, as when there is none.
    }

    QSet<qint32> ids;
    ids.insert(d.customer.Id);
    for (qint32 id : doc.Members())
        ids.insert(id);
    for (const InvoiceSession& s : d.sessions)
        ids.insert(s.MemberId);
    for (const ChargeRow& c : d.charges)
        ids.insert(c.IdUser);
    ids.remove(0);

    d.memberNames.insert(d.customer.Id, d.customer.Username);
    CUserRecord user(db);
    for (qint32 id : std::as_const(ids)) {
        if (d.memberNames.contains(id))
            continue;
        if (user.findById(id))
            d.memberNames.insert(id, user.Username);
    }
    return d;
}
