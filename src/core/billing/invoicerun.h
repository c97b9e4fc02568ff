#pragma once
#include "core/billing/runreporter.h"
#include "core/db/dbdatetime.h"
#include "core/db/userrecord.h"

#include <QList>
#include <QSet>
#include <QString>
#include <functional>
#include <memory>
#include <optional>

class CExclusiveOperation;
class CInvoiceDoc;
class Database;
class PlanTemplates;
class Transaction;

// What a step of the walk handles: the node itself, its members, or both.
namespace RunWhat {
enum : int {
    Self = 0x01,
    Members = 0x02,
    SelfAndMembers = Self | Members,
};
}

// The keep / send decision over the invoices a run created ("Commit Invoices").
namespace CommitChoice {
enum : int {
    Discard = 0,
    Keep = 0x01,
    Send = 0x02, // only together with Keep
};
}

// The question asked before the commit decision takes effect, by the boxes chosen.
QString CommitConfirmQuestion(int choice);

// Sends one kept invoice by the send options of invoicing plan `invoicePlanId` (0: the
// invoice's own frozen plan). True on failure; the sender logs its own outcomes. Supplied by
// the invoice delivery, which lies above billing.
using InvoiceSender = std::function<bool(qint32 invoiceNum, qint32 invoicePlanId)>;
// Decides over the new invoices of a run (their numbers, in order): CommitChoice bits.
using CommitDecider = std::function<int(const QList<qint32>& invoiceNums)>;

// An invoice run: the invoices of one customer, or of a customer group and all its members,
// for one invoice date; then keep (and send) or discard them.
//
// The walk goes depth first through member groups in Username order. Each customer is billed
// with the plans passed down from above, else its group's override, else its own. A group
// with a summary invoice gathers itself and all its members (and the members of member
// groups) into one document.
//
// A run is all or nothing. Its whole work is one transaction, begun before the first invoice
// and committed only when the run's invoices are kept: discarding them, an interruption, a
// crash or a kill leave the database as it was before the run. Inside it every ordinary
// invoice and every summary invoice is a savepoint of its own, so a failed invoice is undone
// whole while the run goes on. Until the commit the new invoices are visible only to this
// process (the commit decision reads them there).
// One run at a time per database: a run holds the invoice-run lock from before it notes the
// highest invoice number until its invoices are kept or discarded, so the runs of several
// workstations never interleave (a second one waits, then refuses).
// Every outcome goes to the run's reporter (the operation log by default). A membership cycle
// stored in the database is not followed: a group met again on its own path is skipped with an
// error line.
class CInvoiceRun {
public:
    using DocSlot = std::unique_ptr<CInvoiceDoc>;

    explicit CInvoiceRun(Database& db);
    ~CInvoiceRun();
    CInvoiceRun(const CInvoiceRun&) = delete;
    CInvoiceRun& operator=(const CInvoiceRun&) = delete;

    // Sending after keeping; without a sender nothing is sent (and a wanted send is logged
    // as failed).
    void SetSender(InvoiceSender sender) { m_sender = std::move(sender); }
    // The commit decision of a group run. Without one the new invoices are kept and not
    // sent. A customer run asks it too when it is set (else it keeps, as the desktop does).
    void SetCommitDecider(CommitDecider decider) { m_decider = std::move(decider); }
    // Where log lines (also those of the invoice documents), messages and the end-of-run
    // report go (nullptr: the operation log and the installed user interface). The caller
    // keeps ownership.
    void SetReporter(IRunReporter* reporter) { m_reporter = reporter; }
    // Customers who already have an invoice closing on the run's invoice date (their own, or
    // as a member of a summary) are skipped with a warning instead of billed again. Off by
    // default: the desktop program bills whom the user chose.
    void SetSkipInvoiced(bool skip) { m_skipInvoiced = skip; }

    // One customer (or a group's own row without its members), with the given plans
    // (0: the customer's own). The new invoice is kept and, with `send`, sent with its own
    // plan. True on failure (inactive, no invoice made, interrupted, not marked); an invoice
    // discarded by the commit decision, or a customer skipped as already invoiced, is no
    // failure.
    [[nodiscard]] bool GenerateForCustomer(const UserRow& customer, const DbDateTime& invoiceDate,
                                           bool send, qint32 billingPlanId, qint32 invoicePlanId);
    // A group and all its members. Plans given here (0: none) win over every override and
    // every customer's own. True when the run was refused, interrupted or its invoices
    // could not be marked; an invoice that failed leaves its error line only.
    [[nodiscard]] bool GenerateForGroup(const UserRow& group, const DbDateTime& invoiceDate,
                                        qint32 billingPlanId = 0, qint32 invoicePlanId = 0);
    // Sends the invoices of `invoiceDate` of the group and its direct customer members, then
    // those of its member groups, with plan `invoicePlanId` (0: each invoice's own). True
    // when refused or interrupted.
    [[nodiscard]] bool SendGroupInvoices(const UserRow& group, const DbDateTime& invoiceDate,
                                         qint32 invoicePlanId);

    // --- the walk (public for the dialogs and tests that drive single steps) ---
    // Computes one invoice into `slot` (a new document when the slot is empty). True on
    // failure; a document created by this call is then closed.
    [[nodiscard]] bool CreateInvoice(const UserRow& customer, qint32 billingPlanId,
                                     qint32 invoicePlanId, const DbDateTime& invoiceDate,
                                     DocSlot& slot, bool summary);
    // One node: itself (what & Self) and its members (what & Members). True on failure.
    [[nodiscard]] bool ProcessNode(const UserRow& node, qint32 billingPlanId, qint32 invoicePlanId,
                                   const DbDateTime& invoiceDate, DocSlot& summaryDoc,
                                   qint32& firstNum, bool summary, int what);
    // ProcessNode in the summary mode the node calls for; finishes a summary it started.
    [[nodiscard]] bool GenerateNode(const UserRow& node, qint32 billingPlanId, qint32 invoicePlanId,
                                    const DbDateTime& invoiceDate, DocSlot& summaryDoc,
                                    qint32& firstNum, int what);

    // --- the last run ---
    // Highest InvoiceNum when the run began (0 for an empty table).
    qint32 StartNumber() const { return m_startNum; }
    // Numbers of the invoices created since the run began, in order (a read failure is
    // logged with 14 and gives the numbers read so far).
    QList<qint32> NewInvoiceNumbers() const;
    bool Aborted() const { return m_aborted; }

    // The group checks before a group run or send; logs and shows the refusal. True when
    // refused.
    [[nodiscard]] static bool CheckGroup(const UserRow& group,
                                         IRunReporter& reporter = LogRunReporter());

private:
    IRunReporter& report() const { return m_reporter ? *m_reporter : LogRunReporter(); }
    // Takes the invoice-run lock (waiting while another workstation runs); false (logged and
    // told) when refused.
    [[nodiscard]] bool lockRun(std::optional<CExclusiveOperation>& lock, const QString& name);
    // Highest InvoiceNum now; false (message shown) when the table cannot be read.
    [[nodiscard]] bool rememberStart();
    // The customers invoiced on the day of `invoiceDate` before the run (when skipping them);
    // false (message shown) when the table cannot be read.
    [[nodiscard]] bool loadInvoiced(const DbDateTime& invoiceDate);
    // The run's transaction: begun (false, logged, when the engine refuses), committed when
    // kept (true on failure, logged), rolled back otherwise.
    [[nodiscard]] bool beginRun(std::optional<Transaction>& work, const QString& name);
    [[nodiscard]] bool keepRun(Transaction& work, const QString& name);
    void discardRun(Transaction& work);
    // The last safe point before the keep: true when the run was interrupted meanwhile.
    [[nodiscard]] bool interruptedBeforeKeep();
    // GotFirstInvoice for the customers of the kept invoices (and the members of kept
    // summaries). True on failure (logged under `name`).
    [[nodiscard]] bool markFirstInvoices(const QString& name);
    [[nodiscard]] bool sendGroup(const UserRow& group, const DbDateTime& invoiceDate,
                                 qint32 invoicePlanId);
    [[nodiscard]] bool sendOne(qint32 invoiceNum, qint32 invoicePlanId);
    // Members of a group, in Username order (all, or the member groups only).
    QList<UserRow> members(qint32 groupId, bool groupsOnly);
    // Cycle guard: true when group `node` is already on the current path (logged).
    [[nodiscard]] bool enterGroup(const UserRow& node);
    void leaveGroup(const UserRow& node);
    void reset();

    Database& m_db;
    InvoiceSender m_sender;
    CommitDecider m_decider;
    IRunReporter* m_reporter = nullptr;
    qint32 m_startNum = 0;
    bool m_aborted = false;
    bool m_skipInvoiced = false;
    QSet<qint32> m_billed; // customers skipped as already invoiced on the run's date
    int m_skippedInvoiced = 0;
    // Number of the summary invoice most recently started (to remove an unfinished one).
    qint32 m_summaryNum = 0;
    // Groups from the root of the walk to the current node.
    QList<qint32> m_path;
    // The template plans and charges, read once per run for all its invoices.
    std::shared_ptr<PlanTemplates> m_templates;
};
