#include "invoicebalance.h"

#include "db/dbinfo.h"
#include "db/invoicerecord.h"

#include <exception>

BalanceCarry ComputeBalanceCarry(Database& db, qint32 customerId, bool gotFirstInvoice) {
    BalanceCarry carry;
    Currency unpaid;
    bool haveCurrent = false;
    bool haveOld = false;
    Currency lastDue;
    Currency lastPrepaying;

    CInvoiceRecord rs(db);
    rs.openWhere(QStringLiteral("[IdUser] = ? ORDER BY InvoiceNum"), {customerId});
    for (; !rs.isEOF(); rs.moveNext()) {
        // Null amounts count as 0 (Currency::units()).
        unpaid += Currency::fromUnits(rs.NewCharges.units() - rs.TotalPaid.units());
        if (rs.Version == InvoiceVersion::Current) {
            haveCurrent = true;
            lastDue = Currency::fromUnits(rs.TotalDue.units());
            lastPrepaying = Currency::fromUnits(rs.Prepaying.units());
        } else if (rs.Version == InvoiceVersion::OldLayout) {
            haveOld = true;
        }
    }
    rs.close();

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
