#include "common/deliveryfixture.h"

#include "common/billingfixture.h"
#include "core/billing/invoicedoc.h"
#include "core/db/addressrecord.h"
#include "core/db/database.h"
#include "core/db/datetimeutil.h"
#include "core/db/insertrecord.h"

using namespace Qt::StringLiterals;

void AddBillingAddress(Database& db, qint32 owner, const QString& email, const QString& city) {
    AddressRow a;
    a.Type = 0;
    a.Address1 = u"12 Main Street"_s;
    a.City = city;
    a.PostalCode = u"12345"_s;
    a.EMail = email;
    a.IdOwner = owner;
    insertRecord<CAddressRecord>(db, a);
}

qint32 MakeDeliveryInvoice(Database& db, CBillingFixture& fx, const InvoicePlanRow& plan,
                           const DeliveryInvoiceSpec& spec, qint32* customerId) {
    const qint32 bp = fx.addPlan(u"April "_s + spec.username, QDate(2024, 4, 1), QDate(2024, 5, 1));
    fx.attach(bp, fx.addCharge(CBillingFixture::fixed(u"Service"_s, spec.amount)));
    const qint32 ip = fx.addInvoicePlan(plan);
    const qint32 id = fx.addCustomer(spec.username, bp, ip);
    UserRow u = fx.customer(id);
    u.FullName = spec.fullName;
    u.Options = spec.customerOptions;
    fx.updateCustomer(u);
    if (!spec.email.isEmpty())
        AddBillingAddress(db, id, spec.email);
    if (customerId)
        *customerId = id;

    CInvoiceDoc doc(db);
    doc.SetReporter([](const RatingReport&) {});
    if (doc.Create(id, bp, ip, DbFromDate(2024, 5, 2), true, false) != 39)
        return 0;
    return doc.InvoiceNum();
}
