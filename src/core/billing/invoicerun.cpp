#include "core/billing/invoicerun.h"

#include "core/app/appservices.h"
#include "core/app/busystate.h"
#include "core/app/exclusiveoperation.h"
#include "core/app/faultpoint.h"
#include "core/app/resultcodes.h"
#include "core/app/userinterface.h"
#include "core/billing/invoicedoc.h"
#include "core/billing/plantemplates.h"
#include "core/db/database.h"
#include "core/db/datetimeutil.h"
#include "core/db/invoicerecord.h"
#include "core/db/transaction.h"

#include <QSet>

#include <cmath>
#include <exception>
#include <optional>
#include <stdexcept>

namespace {

// Members of a group (customers and groups), in Username order.
const QString kMembersSql = QStringLiteral(
    "SELECT DISTINCTROW Users.* FROM Users INNER JOIN UserGroupJoin ON Users.Id = "
    "UserGroupJoin.UserLinkId WHERE (((UserGroupJoin.GroupId)=?)) ORDER BY Users.Username");

// Member groups of a group, in Username order.
const QString kMemberGroupsSql = QStringLiteral(
    "SELECT DISTINCTROW Users.* FROM Users INNER JOIN UserGroupJoin ON Users.Id = "
    "UserGroupJoin.UserLinkId WHERE ((Users.IsGroup <> 0) AND ((UserGroupJoin.GroupId)=?)) "
    "ORDER BY Users.Username");

// Invoices of one billing date of a group and of its direct customer members.
const QString kGroupInvoicesSql = QStringLiteral(
    "SELECT DISTINCTROW Invoices.* FROM Invoices INNER JOIN Users ON Invoices.IdUser = Users.Id "
    "WHERE (((Invoices.BillingDate)=?) AND ((Invoices.IdUser = ?) OR ((Invoices.IdUser) In "
    "(SELECT DISTINCTROW Users.Id FROM Users INNER JOIN UserGroupJoin ON Users.Id = "
    "UserGroupJoin.UserLinkId WHERE (Users.IsGroup = 0) AND (((UserGroupJoin.GroupId)=?)) "
    "ORDER BY Users.UserName))))");

// Marks the customers of the invoices above a number as having had their first invoice.
const QString kMarkFirstInvoiceSql =
    QStringLiteral("UPDATE DISTINCTROW Invoices INNER JOIN Users ON Invoices.IdUser = Users.Id SET "
                   "Users.GotFirstInvoice = 1 WHERE (((Invoices.InvoiceNum)>?))");

QString logName(const UserRow& row) {
    return row.Username.isEmpty() ? QStringLiteral("Unknown customer") : row.Username;
}

// Runs `work` as one busy operation under the wait cursor; true when the user asked to
// interrupt it meanwhile.
template <class Work> bool RunBusy(Work&& work) {
    CWaitCursor wait;
    CProcessScope process(QString(), PROC_DEFAULT);
    work();
    return IsProcessInterrupted();
}

} // namespace

QString CommitConfirmQuestion(int choice) {
    if ((choice & CommitChoice::Keep) && (choice & CommitChoice::Send))
        return QStringLiteral("Are you sure you want to keep and send the new invoices?");
    if (choice & CommitChoice::Keep)
        return QStringLiteral("Are you sure you do not want to send the new invoices?");
    return QStringLiteral("Are you sure you do not want to keep or send the new invoices?");
}

CInvoiceRun::CInvoiceRun(Database& db) : m_db(db) {}

CInvoiceRun::~CInvoiceRun() = default;

void CInvoiceRun::reset() {
    m_billed.clear();
    m_skippedInvoiced = 0;
    m_startNum = 0;
    m_aborted = false;
    m_summaryNum = 0;
    m_path.clear();
    m_templates = std::make_shared<PlanTemplates>(m_db);
}

// ---------------------------------------------------------------------------------------------
// The walk

bool CInvoiceRun::CreateInvoice(const UserRow& customer, qint32 billingPlanId, qint32 invoicePlanId,
                                const DbDateTime& invoiceDate, DocSlot& slot, bool summary) {
    if (billingPlanId == 0) {
        report().logResult(logName(customer), ResultCode::NoBillingPlan);
        return true;
    }
    if (invoicePlanId == 0) {
        report().logResult(logName(customer), ResultCode::NoInvoicePlan);
        return true;
    }
    const bool created = !slot;
    if (created) {
        slot = std::make_unique<CInvoiceDoc>(m_db);
        slot->SetTemplates(m_templates);
    }
    // The document's own outcomes go where the run's go.
    if (m_reporter)
        slot->SetReporter([this, name = logName(customer)](const RatingReport& r) {
            report().logResult(name, r.code, r.exceptionText.isEmpty() ? r.text : r.exceptionText);
        });
    int result = 0;
    try {
        result =
            slot->Create(customer.Id, billingPlanId, invoicePlanId, invoiceDate, created, summary);
    } catch (const std::exception&) {
        report().logResult(logName(customer), ResultCode::CreatingInvoice);
        result = ResultCode::CreatingInvoice;
    }
    if (result != ResultCode::CreationSucceeded) {
        if (created)
            slot.reset();
        return true;
    }
    return false;
}

bool CInvoiceRun::ProcessNode(const UserRow& node, qint32 billingPlanId, qint32 invoicePlanId,
                              const DbDateTime& invoiceDate, DocSlot& summaryDoc, qint32& firstNum,
                              bool summary, int what) {
    const QString name = logName(node);
    // An ordinary invoice is made in its own transaction; a summary is kept or discarded by
    // the caller as a whole.
    std::optional<Transaction> transaction;
    try {
        const qint32 planId = billingPlanId ? billingPlanId : node.IdBillingPlan;
        const qint32 invoicePlan = invoicePlanId ? invoicePlanId : node.IdInvoicePlan;

        if (what & RunWhat::Self) {
            if (!(node.ActiveStatus & UserStatus::Active)) {
                report().logResult(name, ResultCode::CustomerInactive);
            } else if (planId == 0) {
                report().logResult(name, ResultCode::NoPlanWarning);
            } else if (invoicePlan == 0) {
                report().logResult(name, ResultCode::NoInvoicePlanWarning);
            } else if (m_billed.contains(node.Id)) {
                ++m_skippedInvoiced;
                report().logResult(
                    name, ResultCode::AlreadyInvoiced,
                    QStringLiteral("Already has an invoice closing on %1; not billed again.")
                        .arg(DbToDateTime(invoiceDate).date().toString(Qt::ISODate)));
            } else {
                // Progress text of the run (a step driven on its own gets a busy state).
                CProcessScope process(name + QStringLiteral("..."), PROC_DEFAULT);
                const bool wasEmpty = !summaryDoc;
                if (!summary)
                    transaction.emplace(m_db);
                // A member that cannot be rated leaves its error line; the summary goes on
                // without it. Only a summary whose own invoice failed is lost.
                const qint32 lastCharge =
                    wasEmpty ? 0
                             : m_db.scalar(QStringLiteral("SELECT MAX(Id) FROM Charges")).toInt();
                const bool failed =
                    CreateInvoice(node, planId, invoicePlan, invoiceDate, summaryDoc, summary);
                if (!failed && !wasEmpty && summaryDoc)
                    FaultPoint("summary-member");
                if (failed && !wasEmpty && summaryDoc) {
                    // Charge copies the failed member left behind are not in the totals:
                    // they must not show on the summary either.
                    m_db.execute(
                        QStringLiteral("DELETE FROM Charges WHERE IdInvoice = ? AND Id > ?"),
                        {summaryDoc->InvoiceNum(), lastCharge});
                }
                if (CheckInterrupt()) {
                    m_aborted = true;
                    // An interrupted ordinary invoice goes with its transaction; a summary
                    // stays for the caller to discard.
                    if (transaction) {
                        transaction->rollback();
                        transaction.reset();
                    }
                    if (!summary)
                        summaryDoc.reset();
                    return false;
                }
                if (summaryDoc) {
                    if (wasEmpty) {
                        firstNum = summaryDoc->InvoiceNum();
                        if (summary)
                            m_summaryNum = firstNum;
                    }
                    if (!summary)
                        summaryDoc.reset();
                    if (transaction) {
                        transaction->commit();
                        transaction.reset();
                    }
                } else {
                    if (transaction) {
                        transaction->rollback();
                        transaction.reset();
                    }
                    if (summary)
                        return true;
                }
            }
        }

        if (node.IsGroup && (what & RunWhat::Members)) {
            // A summary whose group invoice was never made (or was lost) takes no members.
            if (summary && !summaryDoc)
                return false;
            qint32 memberPlan = billingPlanId;
            qint32 memberInvoicePlan = invoicePlanId;
            if (memberPlan == 0 && (node.GroupOptions & GroupOption::OverrideBillingPlan)) {
                memberPlan = node.IdBPOverride;
                if (memberPlan == 0) {
                    report().logResult(name, ResultCode::NoOverrideBillingPlan);
                    return false;
                }
            }
            if (memberInvoicePlan == 0 && (node.GroupOptions & GroupOption::OverrideInvoicePlan)) {
                memberInvoicePlan = node.IdIPOverride;
                if (memberInvoicePlan == 0) {
                    report().logResult(name, ResultCode::NoOverrideInvoicePlan);
                    return false;
                }
            }
            for (const UserRow& member : members(node.Id, false)) {
                if (m_aborted || (summary && !summaryDoc))
                    break;
                // A member that failed has logged its error line; the others are billed.
                (void)GenerateNode(member, memberPlan, memberInvoicePlan, invoiceDate, summaryDoc,
                                   firstNum, RunWhat::SelfAndMembers);
                if (CheckInterrupt()) {
                    m_aborted = true;
                    break;
                }
            }
        }
    } catch (const std::exception&) {
        report().logResult(name, ResultCode::CreatingInvoice);
        firstNum = 0;
        summaryDoc.reset();
        transaction.reset(); // undoes the failed invoice
        return true;
    }
    return false;
}

bool CInvoiceRun::GenerateNode(const UserRow& node, qint32 billingPlanId, qint32 invoicePlanId,
                               const DbDateTime& invoiceDate, DocSlot& summaryDoc, qint32& firstNum,
                               int what) {
    if (enterGroup(node))
        return true;

    const bool inherited = bool(summaryDoc);
    const bool starts =
        !inherited && node.IsGroup && (node.GroupOptions & GroupOption::SummaryInvoice);
    DocSlot own;
    DocSlot& slot = inherited ? summaryDoc : own;
    // A summary invoice is all or nothing: its row, the copies of every member's charges and
    // its totals are one savepoint, released only when Finish has succeeded.
    std::optional<Transaction> summaryWork;
    if (starts) {
        m_summaryNum = 0;
        try {
            summaryWork.emplace(m_db);
        } catch (const std::exception& e) {
            report().logException(logName(node), e, ResultCode::CreatingInvoice);
            leaveGroup(node);
            return true;
        }
    }

    bool failed = ProcessNode(node, billingPlanId, invoicePlanId, invoiceDate, slot, firstNum,
                              inherited || starts, what);

    if (starts) {
        const qint32 summaryNum = m_summaryNum;
        bool finished = false;
        if (!failed && !m_aborted && own) {
            if (own->Finish()) {
                report().logResult(logName(node), ResultCode::CreatingInvoice);
                failed = true;
            } else {
                finished = true;
            }
        }
        own.reset();
        try {
            if (finished) {
                summaryWork->commit();
            } else {
                // A summary whose document was lost or whose totals failed is incomplete:
                // it goes whole rather than be kept. (An interrupted run is undone whole by
                // its own transaction.)
                summaryWork->rollback();
                if (summaryNum != 0 && firstNum == summaryNum)
                    firstNum = 0;
            }
        } catch (const std::exception& e) {
            report().logException(logName(node), e, ResultCode::CreatingInvoice);
            if (summaryNum != 0 && firstNum == summaryNum)
                firstNum = 0;
            failed = true;
        }
        m_summaryNum = 0;
    }
    leaveGroup(node);
    return failed;
}

bool CInvoiceRun::enterGroup(const UserRow& node) {
    if (!node.IsGroup)
        return false;
    if (m_path.contains(node.Id)) {
        report().logResult(logName(node), ResultCode::CreatingInvoice,
                           QStringLiteral("Customer group is a member of itself; it was skipped."));
        return true;
    }
    m_path.append(node.Id);
    return false;
}

void CInvoiceRun::leaveGroup(const UserRow& node) {
    if (node.IsGroup && !m_path.isEmpty() && m_path.constLast() == node.Id)
        m_path.removeLast();
}

QList<UserRow> CInvoiceRun::members(qint32 groupId, bool groupsOnly) {
    QList<UserRow> rows;
    CUserRecord rs(m_db);
    rs.openSql(groupsOnly ? kMemberGroupsSql : kMembersSql, {groupId}, QStringLiteral("Users"));
    for (; !rs.isEOF(); rs.moveNext())
        rows.append(rs.row());
    rs.close();
    return rows;
}

// ---------------------------------------------------------------------------------------------
// Runs

bool CInvoiceRun::rememberStart() {
    try {
        m_startNum = m_db.scalar(QStringLiteral("SELECT MAX(InvoiceNum) FROM Invoices")).toInt();
    } catch (const std::exception&) {
        report().tell(QStringLiteral("Error opening invoice table."));
        return false;
    }
    return true;
}

QList<qint32> CInvoiceRun::NewInvoiceNumbers() const {
    QList<qint32> numbers;
    try {
        Statement st = m_db.prepare(QStringLiteral(
            "SELECT InvoiceNum FROM Invoices WHERE InvoiceNum > ? ORDER BY InvoiceNum"));
        st.bind(1, m_startNum);
        while (st.next())
            numbers.append(st.value(0).toInt());
    } catch (const std::exception& e) {
        report().logException(QStringLiteral("Unknown customer"), e, ResultCode::LoadingInvoice);
    }
    return numbers;
}

bool CInvoiceRun::markFirstInvoices(const QString& name) {
    try {
        Transaction transaction(m_db);
        m_db.execute(kMarkFirstInvoiceSql, {m_startNum});
        // The members rated into a kept summary have had their first invoice as well.
        QSet<qint32> members;
        CInvoiceRecord rs(m_db);
        rs.openWhere(QStringLiteral("[InvoiceNum] > ? ORDER BY InvoiceNum"), {m_startNum});
        for (; !rs.isEOF(); rs.moveNext())
            if (rs.Flags & InvoiceFlag::Summary)
                for (const qint32 id : DecodeMemberList(rs.Users))
                    members.insert(id);
        rs.close();
        for (const qint32 id : std::as_const(members))
            m_db.execute(QStringLiteral("UPDATE Users SET GotFirstInvoice = 1 WHERE Id = ?"), {id});
        transaction.commit();
    } catch (const std::exception& e) {
        report().logException(name, e, ResultCode::CreatingInvoice);
        return true;
    }
    return false;
}

bool CInvoiceRun::sendOne(qint32 invoiceNum, qint32 invoicePlanId) {
    if (!m_sender) {
        report().logResult(
            QStringLiteral("Unknown customer"), ResultCode::SendOptions,
            QStringLiteral("Invoice %1 was not sent: no delivery is available.").arg(invoiceNum));
        return true;
    }
    return m_sender(invoiceNum, invoicePlanId);
}

bool CInvoiceRun::loadInvoiced(const DbDateTime& invoiceDate) {
    m_billed.clear();
    if (!m_skipInvoiced)
        return true;
    try {
        // The day of the invoice date, whatever its time of day.
        const double day = std::floor(invoiceDate.days());
        CInvoiceRecord rs(m_db);
        rs.openWhere(
            QStringLiteral("[BillingDate] >= ? AND [BillingDate] < ?"),
            {QVariant::fromValue(DbDateTime(day)), QVariant::fromValue(DbDateTime(day + 1))});
        for (; !rs.isEOF(); rs.moveNext()) {
            m_billed.insert(rs.IdUser);
            if (rs.Flags & InvoiceFlag::Summary)
                for (const qint32 id : DecodeMemberList(rs.Users))
                    m_billed.insert(id);
        }
        rs.close();
    } catch (const std::exception&) {
        report().tell(QStringLiteral("Error opening invoice table."));
        return false;
    }
    return true;
}

bool CInvoiceRun::lockRun(std::optional<CExclusiveOperation>& lock, const QString& name) {
    try {
        lock.emplace(m_db, OperationKind::InvoiceRun);
    } catch (const std::exception& e) {
        report().logException(name, e, ResultCode::CreatingInvoice);
        report().tell(QString::fromUtf8(e.what()));
        return false;
    }
    return true;
}

bool CInvoiceRun::beginRun(std::optional<Transaction>& work, const QString& name) {
    try {
        work.emplace(m_db);
    } catch (const std::exception& e) {
        report().logException(name, e, ResultCode::CreatingInvoice);
        return false;
    }
    return true;
}

bool CInvoiceRun::interruptedBeforeKeep() {
    FaultPoint("run-keep");
    CProcessScope process(QString(), PROC_DEFAULT);
    return CheckInterrupt();
}

bool CInvoiceRun::keepRun(Transaction& work, const QString& name) {
    try {
        work.commit();
    } catch (const std::exception& e) {
        report().logException(name, e, ResultCode::CreatingInvoice);
        return true;
    }
    return false;
}

void CInvoiceRun::discardRun(Transaction& work) {
    try {
        work.rollback();
    } catch (const std::exception& e) {
        // The connection gives the level up when it closes; the run's invoices are never
        // committed either way.
        report().logException(QStringLiteral("Unknown customer"), e, ResultCode::DeletingInvoice);
    }
}

bool CInvoiceRun::GenerateForCustomer(const UserRow& customer, const DbDateTime& invoiceDate,
                                      bool send, qint32 billingPlanId, qint32 invoicePlanId) {
    reset();
    const QString name = logName(customer);
    if (!(customer.ActiveStatus & UserStatus::Active)) {
        report().logResult(name, ResultCode::NotActive);
        report().tell(QStringLiteral("Customer does not have active status."));
        return true;
    }
    report().setProblem(false);
    std::optional<CExclusiveOperation> running;
    if (!lockRun(running, name) || !rememberStart() || !loadInvoiced(invoiceDate))
        return true;
    std::optional<Transaction> work;
    if (!beginRun(work, name))
        return true;

    auto aborted = [&] {
        report().logResult(name, ResultCode::Aborted);
        report().setProblem(false);
        discardRun(*work);
        report().tell(QStringLiteral("Invoice generation aborted.  Invoice was not generated."));
        report().reportOutcome(true, -1, false);
        return true;
    };

    qint32 firstNum = 0;
    if (RunBusy([&] {
            DocSlot slot;
            // The outcome is the invoice made (firstNum); failures are logged.
            (void)GenerateNode(customer, billingPlanId, invoicePlanId, invoiceDate, slot, firstNum,
                               RunWhat::Self);
        }))
        m_aborted = true;
    if (m_aborted)
        return aborted();

    // A customer skipped as already invoiced has its warning; that is no failure.
    bool failed = firstNum == 0 && m_skippedInvoiced == 0;
    if (firstNum != 0) {
        const int choice = m_decider ? m_decider(NewInvoiceNumbers()) : int(CommitChoice::Keep);
        if (!(choice & CommitChoice::Keep)) {
            discardRun(*work);
            report().reportOutcome(true, -1, false);
            return false;
        }
        try {
            CUserRecord user(m_db);
            if (!user.findById(customer.Id))
                throw std::runtime_error("The customer record no longer exists.");
            user.edit();
            user.GotFirstInvoice = true;
            user.update();
            user.close();
        } catch (const std::exception& e) {
            report().logException(name, e, ResultCode::OpeningCustomer);
            failed = true;
        }
        if (!failed && interruptedBeforeKeep()) {
            m_aborted = true;
            return aborted();
        }
        // An invoice whose customer could not be marked is not kept half-way.
        if (failed || keepRun(*work, name)) {
            discardRun(*work);
            report().reportOutcome(true, -1, false);
            return true;
        }
        RefreshViews();
        if (send || (choice & CommitChoice::Send)) {
            CProcessScope process(QString(), PROC_DEFAULT);
            (void)sendOne(firstNum, 0); // the sender logs its own outcome
        }
    }
    report().reportOutcome(true, -1, false);
    return failed;
}

bool CInvoiceRun::CheckGroup(const UserRow& group, IRunReporter& reporter) {
    const QString name = logName(group);
    auto refuse = [&](int code, const char* message) {
        reporter.logResult(name, code);
        reporter.tell(QString::fromLatin1(message));
        return true;
    };
    if (!(group.ActiveStatus & UserStatus::Active))
        return refuse(ResultCode::NotActive, "Group does not have active status.");
    if ((group.GroupOptions & GroupOption::OverrideBillingPlan) && group.IdBPOverride == 0)
        return refuse(ResultCode::NoOverrideBillingPlan, "Group has no override billing plan.");
    if ((group.GroupOptions & GroupOption::OverrideInvoicePlan) && group.IdIPOverride == 0)
        return refuse(ResultCode::NoOverrideInvoicePlan, "Group has no override invoice plan.");
    if ((group.GroupOptions & GroupOption::SummaryInvoice) &&
        (group.IdBillingPlan == 0 || group.IdInvoicePlan == 0))
        return refuse(ResultCode::NoBillingPlan, "Group representative must have billing and "
                                                 "invoicing plans for a summary invoice.");
    return false;
}

bool CInvoiceRun::GenerateForGroup(const UserRow& group, const DbDateTime& invoiceDate,
                                   qint32 billingPlanId, qint32 invoicePlanId) {
    reset();
    const QString name = logName(group);
    report().setProblem(false);
    std::optional<CExclusiveOperation> running;
    if (!lockRun(running, name) || !rememberStart())
        return true;
    if (CheckGroup(group, report()))
        return true;
    if (!loadInvoiced(invoiceDate))
        return true;
    std::optional<Transaction> work;
    if (!beginRun(work, name))
        return true;

    auto aborted = [&] {
        report().logResult(name, ResultCode::Aborted);
        const bool problem = report().problem();
        report().setProblem(false);
        discardRun(*work);
        report().tell(QStringLiteral("Invoice generation aborted.  No invoices were generated."));
        report().reportOutcome(true, problem ? 1 : 0, false);
        return true;
    };

    qint32 firstNum = 0;
    if (RunBusy([&] {
            DocSlot slot;
            // The outcome is the invoices made; failures are logged.
            (void)GenerateNode(group, billingPlanId, invoicePlanId, invoiceDate, slot, firstNum,
                               RunWhat::SelfAndMembers);
        }))
        m_aborted = true;
    if (m_aborted)
        return aborted();

    report().reportOutcome(false, -1, true);
    const int choice = m_decider ? m_decider(NewInvoiceNumbers()) : int(CommitChoice::Keep);
    if (!(choice & CommitChoice::Keep)) {
        discardRun(*work);
        report().reportOutcome(true, -1, false);
        return false;
    }

    // Invoices whose customers could not be marked are not kept half-way.
    bool failed = markFirstInvoices(name);
    if (!failed && interruptedBeforeKeep()) {
        m_aborted = true;
        return aborted();
    }
    if (failed || keepRun(*work, name)) {
        discardRun(*work);
        report().reportOutcome(true, -1, false);
        return true;
    }
    RefreshViews();
    if (choice & CommitChoice::Send) {
        CProcessScope process(QString(), PROC_DEFAULT);
        QList<qint32> toSend;
        if (group.GroupOptions & GroupOption::SummaryInvoice) {
            if (firstNum != 0)
                toSend.append(firstNum);
        } else {
            toSend = NewInvoiceNumbers();
        }
        for (const qint32 num : std::as_const(toSend)) {
            if (CheckInterrupt()) {
                report().logResult(name, ResultCode::Aborted);
                report().tell(QStringLiteral("Invoice sending aborted."));
                failed = true;
                break;
            }
            (void)sendOne(num, 0); // the sender logs its own outcome
        }
    }
    report().reportOutcome(true, -1, false);
    return failed;
}

bool CInvoiceRun::SendGroupInvoices(const UserRow& group, const DbDateTime& invoiceDate,
                                    qint32 invoicePlanId) {
    reset();
    report().setProblem(false);
    if (CheckGroup(group, report()))
        return true;
    bool aborted = false;
    {
        CWaitCursor wait;
        CProcessScope process(QString(), PROC_DEFAULT);
        aborted = sendGroup(group, invoiceDate, invoicePlanId);
    }
    if (aborted) {
        report().logResult(logName(group), ResultCode::Aborted);
        report().tell(QStringLiteral("Invoice sending aborted."));
    }
    report().reportOutcome(true, -1, false);
    return aborted;
}

bool CInvoiceRun::sendGroup(const UserRow& group, const DbDateTime& invoiceDate,
                            qint32 invoicePlanId) {
    if (enterGroup(group))
        return false;
    bool aborted = false;
    try {
        QList<qint32> numbers;
        {
            CInvoiceRecord rs(m_db);
            rs.openSql(kGroupInvoicesSql, {QVariant::fromValue(invoiceDate), group.Id, group.Id},
                       QStringLiteral("Invoices"));
            for (; !rs.isEOF(); rs.moveNext())
                numbers.append(rs.InvoiceNum);
            rs.close();
        }
        for (const qint32 num : std::as_const(numbers)) {
            if (CheckInterrupt()) {
                aborted = true;
                break;
            }
            (void)sendOne(num, invoicePlanId); // the sender logs its own outcome
        }
        if (!aborted) {
            for (const UserRow& member : members(group.Id, true)) {
                if (CheckInterrupt() || sendGroup(member, invoiceDate, invoicePlanId)) {
                    aborted = true;
                    break;
                }
            }
        }
    } catch (const std::exception& e) {
        report().logException(logName(group), e, ResultCode::SendOptions);
    }
    leaveGroup(group);
    return aborted;
}
