#include "core/customers/customercreate.h"

#include "core/customers/customernames.h"
#include "core/customers/customerpages.h"
#include "core/db/datetimeutil.h"
#include "core/db/dbexception.h"
#include "core/db/insertrecord.h"
#include "core/db/transaction.h"

UserRow NewCustomerRow(const QString& name, bool group, const CustomerDefaults& defaults,
                       const QDate& today) {
    UserRow row;
    row.Username = name;
    row.IsGroup = group;
    row.IdBillingPlan = defaults.billingPlan;
    row.IdInvoicePlan = defaults.invoicePlan;
    row.StartDate = DbFromDate(today.year(), today.month(), today.day());
    row.AnniversaryDay = defaults.anniversaryDay != 0 ? defaults.anniversaryDay : today.day();
    row.ActiveStatus = UserStatus::Active;
    return row;
}

AddressRow NewCustomerBillingAddress(const QString& name, const CustomerDefaults& defaults) {
    AddressRow address;
    address.Type = AddressType::Billing;
    address.EMail = name + QLatin1Char('@') + defaults.emailDomain;
    return address;
}

EditResult CreateCustomer(Database& db, const QString& name, bool group,
                          const CustomerDefaults& defaults, const QDate& today, qint32* id) {
    try {
        const QString problem = NewCustomerNameProblem(db, name);
        if (!problem.isEmpty())
            return EditResult::failed(problem);
        Transaction transaction(db);
        const qint32 newId =
            insertRecord<CUserRecord>(db, NewCustomerRow(name, group, defaults, today));
        AddressRow address = NewCustomerBillingAddress(name, defaults);
        address.IdOwner = newId;
        insertRecord<CAddressRecord>(db, address);
        transaction.commit();
        if (id)
            *id = newId;
    } catch (const DbException& e) {
        return EditResult::failed(QStringLiteral("Error adding new customer."), e.message());
    }
    return {};
}
