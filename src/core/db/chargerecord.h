#pragma once
#include "core/db/chargeoptions.h"
#include "core/db/record.h"

// The fields of one Charges row (a live charge or a frozen copy); copyable, so billing can
// hold in-memory copies. The meaning of every field is the charge model's.
struct ChargeRow {
    Currency ChargeAmount;
    DbDateTime ExpiryDate;
    qint32 FilterEnd = 0;
    qint32 FilterStart = 0;
    qint32 FilterType = 0;
    bool FirstInvoiceOnly = false;
    qint32 Id = 0;
    qint32 IdInvoice = 0;
    qint32 IdTemplate = 0;
    qint32 IdUser = 0;
    Currency InvoicedAmount;
    qint32 InvoicedQuantity = 0;
    qint32 LimitEnd = 0;
    qint32 LimitFilterEnd = 0;
    qint32 LimitFilterStart = 0;
    qint32 LimitFilterType = 0;
    qint32 LimitStart = 0;
    qint32 LimitType = 0;
    QString Name;
    bool Prepaid = false;
    bool Prorate = false;
    qint32 SGIdApplyTo = 0;
    double SGPercentage = 0;
    bool SGRound = false;
    qint32 Type = 0;
    QString UnitName;
    qint32 UnitQuantity = 0;
    bool Block = false;
    qint32 Options = 0;
    qint32 LimitAccum = 0;
    qint32 UnitAccum = 0;
    QString FilterString;
    qint32 FilterValue = 0;
    qint32 DefUnitQuantity = 1;
};

class CChargeRecord : public CRecord, public ChargeRow {
public:
    explicit CChargeRecord(Database& db);
    CChargeRecord& operator=(const ChargeRow& row) {
        static_cast<ChargeRow&>(*this) = row;
        return *this;
    }
    const ChargeRow& row() const { return *this; }

    // Frozen copies of invoice n, in key order.
    [[nodiscard]] bool findByInvoice(qint32 invoiceNum);
    // The frozen copy of a customer for a live charge ("[IdUser] = ? AND [IdTemplate] = ?").
    [[nodiscard]] bool findFrozen(qint32 idUser, qint32 idTemplate);
    // Charges linked to charge n (DISTINCTROW over ChargeChargeJoin).
    void openLinkedTo(qint32 chargeId);

protected:
    void bindFields(FieldBinder& b) override;
};
