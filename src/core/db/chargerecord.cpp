#include "core/db/chargerecord.h"

CChargeRecord::CChargeRecord(Database& db) : CRecord(db, QStringLiteral("Charges")) {}

bool CChargeRecord::findByInvoice(qint32 invoiceNum) {
    return lookup(QStringLiteral("[IdInvoice] = ? ORDER BY Id"), {invoiceNum});
}

bool CChargeRecord::findFrozen(qint32 idUser, qint32 idTemplate) {
    return lookup(QStringLiteral("[IdUser] = ? AND +[IdTemplate] = ?"), {idUser, idTemplate});
}

void CChargeRecord::openLinkedTo(qint32 chargeId) {
    openSql(QStringLiteral("SELECT DISTINCTROW Charges.* FROM ChargeChargeJoin INNER JOIN Charges "
                           "ON ChargeChargeJoin.IdChargeFrom = Charges.Id "
                           "WHERE (((ChargeChargeJoin.IdChargeTo)=?))"),
            {chargeId}, QStringLiteral("Charges"));
}

void CChargeRecord::bindFields(FieldBinder& b) {
    b("ChargeAmount", ChargeAmount);
    b("ExpiryDate", ExpiryDate);
    b("FilterEnd", FilterEnd);
    b("FilterStart", FilterStart);
    b("FilterType", FilterType);
    b("FirstInvoiceOnly", FirstInvoiceOnly);
    b("Id", Id);
    b("IdInvoice", IdInvoice);
    b("IdTemplate", IdTemplate);
    b("IdUser", IdUser);
    b("InvoicedAmount", InvoicedAmount);
    b("InvoicedQuantity", InvoicedQuantity);
    b("LimitEnd", LimitEnd);
    b("LimitFilterEnd", LimitFilterEnd);
    b("LimitFilterStart", LimitFilterStart);
    b("LimitFilterType", LimitFilterType);
    b("LimitStart", LimitStart);
    b("LimitType", LimitType);
    b("Name", Name);
    b("Prepaid", Prepaid);
    b("Prorate", Prorate);
    b("SGIdApplyTo", SGIdApplyTo);
    b("SGPercentage", SGPercentage);
    b("SGRound", SGRound);
    b("Type", Type);
    b("UnitName", UnitName);
    b("UnitQuantity", UnitQuantity);
    b("Block", Block);
    b("Options", Options);
    b("LimitAccum", LimitAccum);
    b("UnitAccum", UnitAccum);
    b("FilterString", FilterString);
    b("FilterValue", FilterValue);
    b("DefUnitQuantity", DefUnitQuantity);
}
