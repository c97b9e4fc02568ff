#pragma once
// The fields of one customer or group as its property pages edit them, and the rules by which
// each page is loaded and saved. Every save writes only its own page's fields, checks them
// first and is all or nothing.
#include "core/customers/editresult.h"
#include "core/db/dbdatetime.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

class Database;

// Address.Type: the index in the list of address types.
namespace AddressType {
enum : qint32 { Billing = 0, Shipping = 1, Home = 2, Work = 3 };
}
// Phone.Type: the index in the list of phone types.
namespace PhoneType {
enum : qint32 { Home = 0, Business = 1, Fax = 2, Pager = 3, Cellular = 4 };
}
// The type names in Type order ("Billing", "Shipping", ...; "Home", "Business", ...).
const QStringList& AddressTypeNames();
const QStringList& PhoneTypeNames();
// The Type of a name, ignoring case; nullopt for an unknown one.
std::optional<qint32> AddressTypeOf(const QString& name);
std::optional<qint32> PhoneTypeOf(const QString& name);

// The stored value of an empty date field.
inline DbDateTime ZeroDate() {
    return DbDateTime(0.0);
}
// A stored date as the date fields show it (empty for the zero date or no date).
bool IsEmptyDate(const DbDateTime& value);

// A plan offered for choice: a live plan (not an invoice's frozen copy).
struct PlanChoice {
    qint32 id = 0;
    QString name;
};
// Live billing or invoicing plans by name (without the "None" entry, id 0).
QList<PlanChoice> BillingPlanChoices(Database& db);
QList<PlanChoice> InvoicePlanChoices(Database& db);

struct GeneralPage {
    QString fullName;
    bool active = true;
    QString startDate; // as typed; empty for no date
    QString endDate;
    QString comment;
};
struct AddressPage {
    QString email, address1, address2, city, province, postalCode;
    bool isEmpty() const;
};
struct CardPage {
    QString nameOnCard, number, company;
    QString month; // "07"
    QString year;  // "1998"
};
struct BillingPage {
    qint32 billingPlan = 0;
    qint32 invoicePlan = 0;
    bool overrideHtml = false;
    bool sendHtml = false;
    qint32 anniversaryDay = 0;
    bool gotFirstInvoice = false;
};
struct GroupPage {
    bool overrideBillingPlan = false;
    qint32 billingPlan = 0; // members' plan while overridden
    bool overrideInvoicePlan = false;
    qint32 invoicePlan = 0;
    bool summaryInvoice = false;
    bool sendSummaryToMembers = false;
};
// A fixed charge of the customer's billing plan whose units are counted per customer.
struct UnitCount {
    qint32 chargeId = 0;
    QString chargeName;
    QString unitName;
    qint32 defaultUnits = 0;
    qint32 units = 0; // the customer's count (the default when none is stored)
};

// Loading: a missing row gives empty pages (nullopt for the customer-level pages).
std::optional<GeneralPage> LoadGeneralPage(Database& db, qint32 id);
AddressPage LoadAddressPage(Database& db, qint32 id, qint32 type);
QString LoadPhonePage(Database& db, qint32 id, qint32 type);
std::optional<CardPage> LoadCardPage(Database& db, qint32 id);
std::optional<BillingPage> LoadBillingPage(Database& db, qint32 id);
std::optional<GroupPage> LoadGroupPage(Database& db, qint32 id);
// The per-customer charges of the customer's billing plan, by name; empty without a plan.
QList<UnitCount> LoadUnitCounts(Database& db, qint32 id);

// The card's stored expiry ("7/98") as month and year fields ("07", "1998"): a two-digit year
// below 90 is in this century, 90 and above in the last one.
void SplitExpiry(const QString& stored, QString* month, QString* year);

// Saving. A failure of the checks names the field; a database failure is "Error saving
// customer properties" with the engine's words. Nothing is written on either.
EditResult SaveGeneralPage(Database& db, qint32 id, const GeneralPage& page);
// An address or phone whose fields are all empty is deleted (when stored).
EditResult SaveAddressPage(Database& db, qint32 id, qint32 type, const AddressPage& page);
EditResult SavePhonePage(Database& db, qint32 id, qint32 type, const QString& number);
EditResult SaveCardPage(Database& db, qint32 id, const CardPage& page);
EditResult SaveBillingPage(Database& db, qint32 id, const BillingPage& page);
EditResult SaveGroupPage(Database& db, qint32 id, const GroupPage& page);
// A unit count is stored only while it differs from the charge's default.
EditResult SaveUnitCount(Database& db, qint32 id, qint32 chargeId, qint32 units);
