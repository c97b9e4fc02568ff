#include "core/billing/invoicebalance.h"

#include "core/db/database.h"
#include "core/db/dbinfo.h"

#include <exception>

BalanceCarry ComputeBalanceCarry(Database& db, qint32 customerId, bool gotFirstInvoice) {
    BalanceCarry carry;
    Currency unpaid;
    bool haveCurrent = false;
    bool haveOld = false;
    Currency lastDue;
    Currency lastPrepaying;

    Statement st = db.prepare(
        QStringLiteral("SELECT Version, NewCharges, TotalPaid, TotalDue, Prepaying FROM Invoices "
                       "WHERE [IdUser] = ? ORDER BY InvoiceNum"));
    st.bind(1, customerId);
    auto amount = [&st](int column) {
        // Null amounts count as 0.
        const QVariant v = st.value(column);
        return v.canConvert<Currency>() ? Currency::fromUnits(v.value<Currency>().units())
                                        : Currency();
    };
    while (st.next()) {
        const QVariant version = st.value(0);
        unpaid += Currency::fromUnits(amount(1).units() - amount(2).units());
        if (!version.isNull() && version.toInt() == InvoiceVersion::Current) {
            haveCurrent = true;
            lastDue = amount(3);
            lastPrepaying = amount(4);
        } else if (version.isNull() || version.toInt() == InvoiceVersion::OldLayout) {
            haveOld = true;
        }
    }

    if (haveCurrent) {
        carry.PrevBalance = lastDue;
        carry.Payments = lastDue - unpaid;
        carry.Prepaid = -lastPrepaying;
        return carry;
    }
    carry.PrevBalance = unpaid;
    if (gotFirstInvoice && haveOld) {
        try {
            CDBInfo info(db);
            if (info.read() && info.PrepaidMinimum)
                carry.Prepaid = -Currency::fromUnits(info.MinimumPayment.units());
        } catch (const std::exception&) {
            // Without the database-wide options no prepaid credit is given.
        }
    }
    return carry;
}
