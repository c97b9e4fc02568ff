#pragma once
#include "core/db/record.h"

// BillingPlans.Options bits.
namespace BillingPlanOption {
enum : qint32 {
    SkipFirstInvoice = 0x01, // no minimum on the customer's first invoice
};
}

// A billing plan: a live plan (IdInvoice 0) or the copy frozen into invoice IdInvoice.
struct BPRow {
    qint32 Id = 0;
    QString Name;
    DbDateTime StartDate;
    DbDateTime EndDate;
    Currency MinimumCharge;
    bool PrepayMinimum = false;
    bool UseAnniversary = false;
    qint32 IdInvoice = 0;
    qint32 IdUser = 0;
    qint32 Options = 0;

    // Visits every bound field as (field name, member), in the record type's order.
    template <class F> void forEachField(F&& f) {
        f("Id", Id);
        f("Name", Name);
        f("StartDate", StartDate);
        f("EndDate", EndDate);
        f("MinimumCharge", MinimumCharge);
        f("PrepayMinimum", PrepayMinimum);
        f("UseAnniversary", UseAnniversary);
        f("IdInvoice", IdInvoice);
        f("IdUser", IdUser);
        f("Options", Options);
    }

    bool operator==(const BPRow&) const = default;
};

class CBPRecord : public CRecord, public BPRow {
public:
    // Bound fields, in the order the record type exchanges them.
    static constexpr int kFieldCount = 10;

    explicit CBPRecord(Database& db);
    CBPRecord& operator=(const BPRow& row) {
        static_cast<BPRow&>(*this) = row;
        return *this;
    }
    const BPRow& row() const { return *this; }

    // The frozen copy of invoice n ("[IdInvoice] = ?").
    [[nodiscard]] bool findByInvoice(qint32 invoiceNum);
    // The live plan of this name ("[Name] = ? AND [IdInvoice] = 0").
    [[nodiscard]] bool findLiveByName(const QString& name);

protected:
    void bindFields(FieldBinder& b) override;
};
