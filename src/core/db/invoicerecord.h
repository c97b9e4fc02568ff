#pragma once
#include "core/db/record.h"

// Invoices.Flags bits.
namespace InvoiceFlag {
enum : qint32 {
    Summary = 0x01,       // a group's summary invoice
    SendToMembers = 0x02, // the summary goes to the group's members as well
};
}

// One invoice (or a payment row). Keyed by InvoiceNum; Users holds the invoice's binary data.
struct InvoiceRow {
    DbDateTime ClosingDate;
    qint32 TotalTimeHH = 0;
    qint16 TotalTimeMM = 0;
    qint16 TotalTimeSS = 0;
    qint64 Sent = 0; // bytes; Long in the layout, but the engine keeps all 64 bits
    qint64 Received = 0;
    Currency Charge;
    Currency Prepaid;
    Currency Minimum;
    Currency TotalDue;
    Currency TotalPaid;
    qint32 InvoiceNum = 0;
    qint32 IdUser = 0;
    Currency Prepaying;
    Currency PrevBalance;
    Currency TaxableGross;
    Currency Taxes;
    DbDateTime BillingDate;
    DbDateTime OpeningDate;
    qint32 Version = 0;
    Currency NewCharges;
    qint32 Flags = 0;
    Currency Tax1;
    Currency Tax2;
    QByteArray Users;
    Currency Payments;

    // Visits every bound field as (field name, member), in the record type's order.
    template <class F> void forEachField(F&& f) {
        f("ClosingDate", ClosingDate);
        f("TotalTimeHH", TotalTimeHH);
        f("TotalTimeMM", TotalTimeMM);
        f("TotalTimeSS", TotalTimeSS);
        f("Sent", Sent);
        f("Received", Received);
        f("Charge", Charge);
        f("Prepaid", Prepaid);
        f("Minimum", Minimum);
        f("TotalDue", TotalDue);
        f("TotalPaid", TotalPaid);
        f("InvoiceNum", InvoiceNum);
        f("IdUser", IdUser);
        f("Prepaying", Prepaying);
        f("PrevBalance", PrevBalance);
        f("TaxableGross", TaxableGross);
        f("Taxes", Taxes);
        f("BillingDate", BillingDate);
        f("OpeningDate", OpeningDate);
        f("Version", Version);
        f("NewCharges", NewCharges);
        f("Flags", Flags);
        f("Tax1", Tax1);
        f("Tax2", Tax2);
        f("Users", Users);
        f("Payments", Payments);
    }

    bool operator==(const InvoiceRow&) const = default;
};

class CInvoiceRecord : public CRecord, public InvoiceRow {
public:
    // Bound fields, in the order the record type exchanges them.
    static constexpr int kFieldCount = 26;

    explicit CInvoiceRecord(Database& db);
    CInvoiceRecord& operator=(const InvoiceRow& row) {
        static_cast<InvoiceRow&>(*this) = row;
        return *this;
    }
    const InvoiceRow& row() const { return *this; }

    // Invoice by number ("[InvoiceNum] = ?").
    [[nodiscard]] bool findByNumber(qint32 invoiceNum);
    // The table's key is InvoiceNum, so the row-by-key look-up goes through it.
    [[nodiscard]] bool findById(qint32 invoiceNum) { return findByNumber(invoiceNum); }

protected:
    void bindFields(FieldBinder& b) override;
};
