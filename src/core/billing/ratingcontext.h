#pragma once
#include "core/db/chargerecord.h"
#include "core/db/userrecord.h"

#include <QHash>
#include <QList>
#include <QString>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <utility>

class PlanTemplates;

// Seconds accumulated per accumulation window of one connect-time charge copy, keyed by the
// window's start (seconds since 1970). Kept for the current invoice only.
using WindowCounters = std::map<qint64, qint64>;

// What the usage rules keep per charge copy while the sessions of an invoice are rated.
struct UsageState {
    WindowCounters windows;
    qint64 bytes = 0; // byte traffic taken so far (may pass 2^31 over a period)
};

// One outcome the charge rules report: a result code, the text to log when the code's own
// text is not the one wanted, and the message of an engine failure.
struct RatingReport {
    int code = 0;
    QString text;
    QString exceptionText;
};

// Everything the charge and usage rules need of the invoice being computed. The invoice
// document fills it in and keeps it for the whole computation.
struct RatingContext {
    // The billing period [PeriodStart, PeriodEnd), local times in seconds since 1970.
    qint64 PeriodStart = 0;
    qint64 PeriodEnd = 0;
    // The billed customer: whose sessions and eligibility are rated.
    UserRow Customer;
    // The customer of record (the group of a summary invoice); plan-level copies carry it.
    qint32 RecordCustomerId = 0;
    QString RecordCustomerName;
    qint32 InvoiceNum = 0;

    // The invoice's charge copies, in the order they were added.
    QList<ChargeRow> Charges;
    // Index of the first charge added by the current computation; sessions are rated only
    // against the usage charges from here on.
    qsizetype FirstNewIndex = 0;
    // Usage state per index into Charges.
    std::map<qsizetype, UsageState> Usage;

    // Receives every reported outcome; when empty, outcomes go to the operation log under
    // LogName().
    std::function<void(const RatingReport&)> Reporter;
    // The carry-over (LimitAccum, UnitAccum) of the latest copy of each template for the
    // billed customer, by template Id. When LatestCopiesCached is set, ChargeApplies reads them
    // all with one statement into LatestCopies and noteSaved keeps them current; otherwise it
    // looks each one up.
    bool LatestCopiesCached = false;
    std::optional<QHash<qint32, std::pair<qint32, qint32>>> LatestCopies;
    // Records a copy just saved: it is now the latest of its template for its customer.
    void noteSaved(const ChargeRow& copy);

    // Copies in Charges whose INSERT was posted (PostChargeCopy): their keys arrive with a
    // later statement; resolveKeys puts them into Charges (throwing DbException when one has
    // not arrived). dropCharge removes a copy from Charges, keeping the pending indexes right.
    struct PendingKey {
        qsizetype index = 0;
        std::shared_ptr<qint64> key;
    };
    QList<PendingKey> PendingKeys;
    // Plan-level copies, which nothing links to, may be posted.
    bool PostLeafCopies = false;
    void resolveKeys();
    void dropCharge(qsizetype index);

    // Where the template charges are read (once); null: read from the database each time.
    PlanTemplates* Templates = nullptr;
    // Message of the last engine failure a rule returned failure for.
    QString LastError;

    void report(int code, const QString& text = {}, const QString& exceptionText = {});
    // The billed customer's logon name, else the customer of record's, else
    // "Unknown customer".
    QString LogName() const;

    // The customer's dates as local seconds; nullopt when not set (null, invalid, before 1970).
    std::optional<qint64> CustomerStart() const;
    std::optional<qint64> CustomerEnd() const;
    // True when the customer's end date lies in the period (this is the last invoice).
    bool EndsInPeriod() const;
};

// The expiry of a charge as local seconds; nullopt when it has none.
std::optional<qint64> ChargeExpiry(const ChargeRow& charge);
