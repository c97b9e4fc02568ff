#pragma once
#include "core/app/resultcodes.h"
#include "core/billing/ratingcontext.h"
#include "core/db/bprecord.h"
#include "core/db/invoiceplanrecord.h"
#include "core/db/invoicerecord.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <memory>
#include <optional>

class Database;
class PlanTemplates;

// One session as an invoice lists it (filled only when the invoicing plan shows details).
struct InvoiceSession {
    qint64 Connect = 0;    // local seconds since 1970, 0 when not set
    qint64 Disconnect = 0; // local seconds since 1970
    qint64 Duration = 0;   // seconds
    qint64 Sent = 0;
    qint64 Received = 0;
    qint32 MemberId = 0; // Users.Id of the customer the session belongs to

    bool operator==(const InvoiceSession&) const = default;
};

// The member list of a summary invoice as Invoices.Users holds it: 32-bit little-endian
// integers, one per member.
QByteArray EncodeMemberList(const QList<qint32>& members);
// Reads it back; trailing bytes short of a whole integer and ids of 0 (padding) are ignored.
QList<qint32> DecodeMemberList(const QByteArray& data);

// One invoice: computed anew for a customer (or a group member added to a summary invoice),
// or loaded for viewing, printing and e-mailing.
//
// Computing writes the Invoices row, frozen copies of the billing and invoicing plan and one
// Charges copy per billed charge. The caller owns the transaction: rows already written by a
// failed computation stay until the caller rolls back (an ordinary invoice) or deletes the
// invoice. Every outcome of Create and Load is written to the operation log with its result
// code, under the billed customer's logon name.
class CInvoiceDoc {
public:
    explicit CInvoiceDoc(Database& db);
    CInvoiceDoc(const CInvoiceDoc&) = delete;
    CInvoiceDoc& operator=(const CInvoiceDoc&) = delete;

    // Computes an invoice of customer `customerId` for billing date `billingDate` with the
    // given template plans. newRecord: the document was created for this call (set up a new
    // invoice); false: add one more member to the summary invoice this document already
    // holds (billingPlanId then chooses the member's charges). Returns 39 on success, else
    // the code of the failure. An ordinary invoice is finished here; a summary invoice is
    // finished by the caller with Finish after its last member.
    [[nodiscard]] int Create(qint32 customerId, qint32 billingPlanId, qint32 invoicePlanId,
                             const DbDateTime& billingDate, bool newRecord, bool summary);
    // The totals: prepaid credit, minimum, plan-level surcharges and discounts, then taxes
    // (not when the gross is negative), NewCharges, TotalDue, the member list; saves the
    // invoice row. Runs once per invoice. True on failure.
    [[nodiscard]] bool Finish();

    // Loads invoice `invoiceNum` with its plan and charge copies, the member list and, when
    // the invoicing plan shows details, the sessions. `invoicePlan` replaces the invoice's
    // own frozen invoicing plan (sending with another plan). Returns 0, or the failure's code
    // (23 older layout, 24 balance adjustment, 15 customer missing, 14 otherwise); the
    // document is then empty.
    [[nodiscard]] int Load(qint32 invoiceNum, const InvoicePlanRow* invoicePlan = nullptr);

    // The invoice number a document file stands for: its name without folder and extension
    // when that is a positive number ("12.inv" -> 12), else nullopt.
    static std::optional<qint32> InvoiceNumberFromFileName(const QString& fileName);
    // The document file name of an invoice ("%d.inv").
    static QString DocumentFileName(qint32 invoiceNum);
    // Opens a document file: loads the invoice its name stands for. Returns Load's result,
    // or 14 (logged) when the name is no invoice number.
    [[nodiscard]] int OpenDocumentFile(const QString& fileName);

    // Deletes invoice `invoiceNum` with its plan and charge copies in one transaction.
    // True on failure (also when the invoice does not exist; the reason is in LastError()).
    [[nodiscard]] bool Delete(qint32 invoiceNum);
    [[nodiscard]] static bool DeleteInvoice(Database& db, qint32 invoiceNum,
                                            QString* error = nullptr);

    // --- what the invoice holds ---
    const UserRow& RecordCustomer() const { return m_recordCustomer; }
    const UserRow& BilledCustomer() const { return m_ctx.Customer; }
    const InvoiceRow& Invoice() const { return m_invoice; }
    const BPRow& BillingPlan() const { return m_billingPlan; }
    const InvoicePlanRow& InvoicePlan() const { return m_invoicePlan; }
    const QList<ChargeRow>& Charges() const { return m_ctx.Charges; }
    const QList<InvoiceSession>& Sessions() const { return m_sessions; }
    const QList<qint32>& Members() const { return m_members; }
    qint64 PeriodStart() const { return m_ctx.PeriodStart; }
    qint64 PeriodEnd() const { return m_ctx.PeriodEnd; }
    const DbDateTime& BillingDate() const { return m_invoice.BillingDate; }
    // The template of the invoice's billing plan copy.
    qint32 TemplatePlanId() const { return m_templatePlanId; }
    bool IsSummary() const { return m_summary; }
    qsizetype FirstNewIndex() const { return m_ctx.FirstNewIndex; }
    qint32 InvoiceNum() const { return m_invoice.InvoiceNum; }
    // Message of the last engine failure (empty when none).
    const QString& LastError() const { return m_lastError; }

    // Outcomes go to the operation log unless a reporter is set (tests, callers that collect).
    void SetReporter(std::function<void(const RatingReport&)> reporter) {
        m_ctx.Reporter = std::move(reporter);
    }

    // The template plans and charges to rate against, shared by the documents of one run
    // (read once for all its invoices). Without it each new invoice reads them afresh.
    void SetTemplates(std::shared_ptr<PlanTemplates> templates);

private:
    void reset();
    void report(int code, const QString& exceptionText = {});
    [[nodiscard]] int setUp(qint32 customerId, qint32 billingPlanId, qint32 invoicePlanId,
                            const DbDateTime& billingDate, bool newRecord, bool summary);
    [[nodiscard]] int computeCharges();
    [[nodiscard]] int rateSessions();
    [[nodiscard]] int loadInvoice(qint32 invoiceNum, const InvoicePlanRow* invoicePlan);
    bool outsideService() const;
    // Template charges of plan `planId` of one kind, in plan order.
    QList<ChargeRow> planCharges(qint32 planId, qint32 type);
    // Calls f(EventRow) for each session of `username` in the period, by disconnect time.
    template <class F> void forEachSession(const QString& username, F&& f);

    Database& m_db;
    RatingContext m_ctx; // period, billed customer, invoice number, charge list
    UserRow m_recordCustomer;
    InvoiceRow m_invoice;
    BPRow m_billingPlan;
    InvoicePlanRow m_invoicePlan;
    QList<InvoiceSession> m_sessions;
    QList<qint32> m_members;
    qint32 m_templatePlanId = 0; // template of the invoice's plan copy
    qint32 m_chargePlanId = 0;   // template plan whose charges the current computation rates
    bool m_summary = false;
    bool m_finished = false;
    // Session totals over every computation into this invoice.
    qint64 m_totalSeconds = 0;
    qint64 m_totalSent = 0;
    qint64 m_totalReceived = 0;
    QString m_lastError;
    std::shared_ptr<PlanTemplates> m_templates;
    bool m_runTemplates = false;     // m_templates was given by the run
    bool m_latestCopiesRead = false; // the set-up read the customer's latest copies
};
