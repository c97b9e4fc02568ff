#pragma once
#include "core/db/record.h"

// Users.ActiveStatus bits.
namespace UserStatus {
enum : qint16 {
    Active = 0x01, // billed by invoice runs
};
}

// Users.GroupOptions bits of a group.
namespace GroupOption {
enum : qint32 {
    OverrideBillingPlan = 0x01,  // members are billed with IdBPOverride
    OverrideInvoicePlan = 0x02,  // members are billed with IdIPOverride
    SummaryInvoice = 0x04,       // one summary invoice for the group and all its members
    SendSummaryToMembers = 0x08, // the summary invoice goes to the members as well
};
}

// Users.Options bits: the customer's own choice of invoice page.
namespace UserOption {
enum : qint32 {
    HtmlOverride = 0x01, // the customer's choice beats the invoicing plan's
    Html = 0x02,         // the customer's choice: HTML (else plain text)
};
}

// One customer or customer group (IsGroup). Username is the logon name of a customer, the name of a
// group.
struct UserRow {
    QString Username;
    QString FullName;
    QString CreditCard;
    QString ExpiryDate;
    qint16 ActiveStatus = 1;
    qint32 Id = 0;
    QString CCCompany;
    QString CCNameOnCard;
    DbDateTime StartDate;
    qint32 IdBillingPlan = 0;
    qint32 IdInvoicePlan = 0;
    bool GotFirstInvoice = false;
    DbDateTime EndDate;
    qint32 GroupOptions = 0;
    QString Comment;
    bool IsGroup = false;
    qint32 AnniversaryDay = 0;
    qint32 IdBPOverride = 0;
    qint32 IdIPOverride = 0;
    qint32 Options = 0;

    // Visits every bound field as (field name, member), in the record type's order.
    template <class F> void forEachField(F&& f) {
        f("Username", Username);
        f("FullName", FullName);
        f("CreditCard", CreditCard);
        f("ExpiryDate", ExpiryDate);
        f("ActiveStatus", ActiveStatus);
        f("Id", Id);
        f("CCCompany", CCCompany);
        f("CCNameOnCard", CCNameOnCard);
        f("StartDate", StartDate);
        f("IdBillingPlan", IdBillingPlan);
        f("IdInvoicePlan", IdInvoicePlan);
        f("GotFirstInvoice", GotFirstInvoice);
        f("EndDate", EndDate);
        f("GroupOptions", GroupOptions);
        f("Comment", Comment);
        f("IsGroup", IsGroup);
        f("AnniversaryDay", AnniversaryDay);
        f("IdBPOverride", IdBPOverride);
        f("IdIPOverride", IdIPOverride);
        f("Options", Options);
    }

    bool operator==(const UserRow&) const = default;
};

class CUserRecord : public CRecord, public UserRow {
public:
    // Bound fields, in the order the record type exchanges them.
    static constexpr int kFieldCount = 20;

    explicit CUserRecord(Database& db);
    CUserRecord& operator=(const UserRow& row) {
        static_cast<UserRow&>(*this) = row;
        return *this;
    }
    const UserRow& row() const { return *this; }

    // The customer or group of this logon name (compared as stored, bound as a parameter).
    [[nodiscard]] bool findByName(const QString& username);

protected:
    void bindFields(FieldBinder& b) override;
};
