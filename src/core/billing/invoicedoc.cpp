#include "core/billing/invoicedoc.h"

#include "core/app/faultpoint.h"
#include "core/app/userinterface.h"
#include "core/billing/billingtime.h"
#include "core/billing/chargemodel.h"
#include "core/billing/chargetypes.h"
#include "core/billing/invoicebalance.h"
#include "core/billing/plantemplates.h"
#include "core/billing/usagerating.h"
#include "core/db/database.h"
#include "core/db/datetimeutil.h"
#include "core/db/dbexception.h"
#include "core/db/eventrecord.h"
#include "core/db/insertrecord.h"
#include "core/db/transaction.h"
#include "core/db/userrecord.h"

#include <QFileInfo>
#include <QtEndian>

#include <algorithm>
#include <exception>
#include <tuple>
#include <utility>

namespace {

// Sessions of one customer in a period, by disconnect time.
const QString kSessionsSql = QStringLiteral(
    "SELECT ConnectDate, DisconnectDate, Hours, Minutes, Seconds, Sent, Received, Port, ServerId "
    "FROM Events WHERE [Username] = ? AND [DisconnectDate] >= ? AND [DisconnectDate] < ? "
    "ORDER BY DisconnectDate");

// Clears the status text when loading ends, however it ends.
struct StatusTextScope {
    ~StatusTextScope() { ui().setStatusText(QString()); }
};

} // namespace

QByteArray EncodeMemberList(const QList<qint32>& members) {
    QByteArray data(members.size() * 4, '\0');
    for (qsizetype i = 0; i < members.size(); ++i)
        qToLittleEndian<qint32>(members.at(i), data.data() + i * 4);
    return data;
}

QList<qint32> DecodeMemberList(const QByteArray& data) {
    QList<qint32> members;
    for (qsizetype at = 0; at + 4 <= data.size(); at += 4) {
        const qint32 id = qFromLittleEndian<qint32>(data.constData() + at);
        if (id != 0)
            members.append(id);
    }
    return members;
}

CInvoiceDoc::CInvoiceDoc(Database& db)
    : m_db(db), m_templates(std::make_shared<PlanTemplates>(db)) {
    m_ctx.Templates = m_templates.get();
}

void CInvoiceDoc::SetTemplates(std::shared_ptr<PlanTemplates> templates) {
    m_templates = std::move(templates);
    m_runTemplates = bool(m_templates);
    m_ctx.Templates = m_templates.get();
}

void CInvoiceDoc::reset() {
    auto reporter = std::move(m_ctx.Reporter);
    m_ctx = RatingContext();
    m_ctx.Reporter = std::move(reporter);
    if (!m_runTemplates)
        m_templates = std::make_shared<PlanTemplates>(m_db);
    m_ctx.Templates = m_templates.get();
    m_recordCustomer = UserRow();
    m_invoice = InvoiceRow();
    m_billingPlan = BPRow();
    m_invoicePlan = InvoicePlanRow();
    m_sessions.clear();
    m_members.clear();
    m_templatePlanId = 0;
    m_chargePlanId = 0;
    m_summary = false;
    m_finished = false;
    m_latestCopiesRead = false;
    m_totalSeconds = m_totalSent = m_totalReceived = 0;
}

void CInvoiceDoc::report(int code, const QString& exceptionText) {
    m_ctx.report(code, QString(), exceptionText);
}

bool CInvoiceDoc::outsideService() const {
    const auto end = m_ctx.CustomerEnd();
    const auto start = m_ctx.CustomerStart();
    return (end && *end < m_ctx.PeriodStart) || (start && *start >= m_ctx.PeriodEnd);
}

QList<ChargeRow> CInvoiceDoc::planCharges(qint32 planId, qint32 type) {
    return m_templates->planCharges(planId, type);
}

template <class F> void CInvoiceDoc::forEachSession(const QString& username, F&& f) {
    // Read through a plain statement: this is the one query whose rows grow with the usage.
    Statement st = m_db.prepare(kSessionsSql);
    st.bindAll({username, QVariant::fromValue(SecondsToDb(m_ctx.PeriodStart)),
                QVariant::fromValue(SecondsToDb(m_ctx.PeriodEnd))});
    EventRow e;
    e.Username = username;
    while (st.next()) {
        e.ConnectDate = st.value(0).value<DbDateTime>();
        e.DisconnectDate = st.value(1).value<DbDateTime>();
        e.Hours = qint16(st.value(2).toInt());
        e.Minutes = qint16(st.value(3).toInt());
        e.Seconds = qint16(st.value(4).toInt());
        e.Sent = st.value(5).toLongLong();
        e.Received = st.value(6).toLongLong();
        e.Port = st.value(7).toString();
        e.ServerId = st.value(8).toInt();
        f(std::as_const(e));
    }
}

// ---------------------------------------------------------------------------------------------
// Create

int CInvoiceDoc::Create(qint32 customerId, qint32 billingPlanId, qint32 invoicePlanId,
                        const DbDateTime& billingDate, bool newRecord, bool summary) {
    CWaitCursor wait;
    m_lastError.clear();
    int result = setUp(customerId, billingPlanId, invoicePlanId, billingDate, newRecord, summary);
    if (result == ResultCode::CreationSucceeded)
        result = computeCharges();
    report(result, m_lastError);
    return result;
}

int CInvoiceDoc::setUp(qint32 customerId, qint32 billingPlanId, qint32 invoicePlanId,
                       const DbDateTime& billingDate, bool newRecord, bool summary) {
    // Without the new-record flag a member joins the invoice this document already holds.
    if (!newRecord && (m_invoice.InvoiceNum == 0 || m_finished))
        return ResultCode::CreatingInvoice;

    int failCode = ResultCode::CreatingInvoice; // what an exception here means
    try {
        if (newRecord) {
            reset();
            m_summary = summary;
            CUserRecord user(m_db);
            if (!user.findById(customerId))
                return ResultCode::OpeningCustomer;
            m_recordCustomer = user.row();
            m_ctx.RecordCustomerId = m_recordCustomer.Id;
            m_ctx.RecordCustomerName = m_recordCustomer.Username;

            failCode = ResultCode::NoBillingPlan;
            const BPRow* plan = m_templates->billingPlan(billingPlanId);
            if (!plan)
                return ResultCode::NoBillingPlan;
            failCode = ResultCode::NoInvoicePlan;
            const InvoicePlanRow* invoicePlan = m_templates->invoicePlan(invoicePlanId);
            if (!invoicePlan)
                return ResultCode::NoInvoicePlan;
            failCode = ResultCode::CreatingInvoice;

            // The copies are written once the invoice row exists (below), so that a set-up
            // that stops early leaves no copy that would pass for a template.
            m_billingPlan = *plan;
            m_invoicePlan = *invoicePlan;
            m_templatePlanId = m_billingPlan.Id;

            qint64 start = DbToSecondsOr0(m_billingPlan.StartDate);
            qint64 end = DbToSecondsOr0(m_billingPlan.EndDate);
            if (m_billingPlan.UseAnniversary)
                std::tie(start, end) =
                    AlignToAnniversary(start, end, m_recordCustomer.AnniversaryDay);
            m_ctx.PeriodStart = start;
            m_ctx.PeriodEnd = end;
        }

        m_chargePlanId = billingPlanId;
        if (customerId == m_recordCustomer.Id) {
            m_ctx.Customer = m_recordCustomer;
        } else {
            CUserRecord billed(m_db);
            if (!billed.findById(customerId))
                return ResultCode::OpeningCustomer;
            m_ctx.Customer = billed.row();
        }
        if (m_ctx.Customer.ActiveStatus == 0)
            return ResultCode::CustomerInactive;
        if (outsideService())
            return ResultCode::OutsideService;
        if (!newRecord)
            return ResultCode::CreationSucceeded;

        // The new invoice row.
        const bool skipFirst = (m_billingPlan.Options & BillingPlanOption::SkipFirstInvoice) &&
                               !m_recordCustomer.GotFirstInvoice;
        InvoiceRow& inv = m_invoice;
        inv.BillingDate = billingDate;
        inv.OpeningDate = SecondsToDb(m_ctx.PeriodStart);
        inv.ClosingDate = SecondsToDb(m_ctx.PeriodEnd);
        inv.Version = InvoiceVersion::Current;
        inv.Flags = 0;
        if (summary) {
            inv.Flags |= InvoiceFlag::Summary;
            if (m_recordCustomer.GroupOptions & GroupOption::SendSummaryToMembers)
                inv.Flags |= InvoiceFlag::SendToMembers;
        }
        inv.IdUser = m_recordCustomer.Id;
        inv.Minimum =
            skipFirst ? Currency() : Currency::fromUnits(m_billingPlan.MinimumCharge.units());
        inv.Taxes = inv.TaxableGross = inv.Prepaying = inv.Charge = inv.TotalDue = inv.NewCharges =
            Currency();
        const BalanceCarry carry =
            ComputeBalanceCarry(m_db, m_recordCustomer.Id, m_recordCustomer.GotFirstInvoice);
        inv.PrevBalance = carry.PrevBalance;
        inv.Payments = carry.Payments;
        inv.Prepaid = carry.Prepaid;

        // The minimum of the coming period paid in advance.
        const auto recordEnd = DbToSeconds(m_recordCustomer.EndDate);
        const bool lastInvoice =
            recordEnd && *recordEnd >= m_ctx.PeriodStart && *recordEnd < m_ctx.PeriodEnd;
        if (m_billingPlan.PrepayMinimum && !skipFirst && !lastInvoice) {
            inv.Prepaying = Currency::fromUnits(m_billingPlan.MinimumCharge.units());
            inv.TaxableGross = inv.Prepaying;
        }

        inv.InvoiceNum = insertRecord<CInvoiceRecord>(m_db, inv);
        m_ctx.InvoiceNum = inv.InvoiceNum;
        FaultPoint("invoice-row");

        // The plan copies are sent without waiting; the read of the customer's latest charge
        // copies (wanted by the charges next) brings their outcomes and keys back with it.
        failCode = ResultCode::CopyingRecords;
        const auto planKey = std::make_shared<qint64>(0);
        const auto invoicePlanKey = std::make_shared<qint64>(0);
        m_billingPlan.Id = 0;
        m_billingPlan.IdInvoice = inv.InvoiceNum;
        m_billingPlan.IdUser = m_recordCustomer.Id;
        postRecord<CBPRecord>(m_db, m_billingPlan, planKey);
        m_invoicePlan.Id = 0;
        m_invoicePlan.IdInvoice = inv.InvoiceNum;
        m_invoicePlan.IdUser = m_recordCustomer.Id;
        postRecord<CInvoicePlanRecord>(m_db, m_invoicePlan, invoicePlanKey);
        LoadLatestCopies(m_db, m_ctx);
        m_latestCopiesRead = true;
        if (*planKey == 0 || *invoicePlanKey == 0)
            throw DbException(QStringLiteral("The keys of the plan copies are not known."));
        m_billingPlan.Id = qint32(*planKey);
        m_invoicePlan.Id = qint32(*invoicePlanKey);
    } catch (const std::exception& e) {
        m_lastError = QString::fromUtf8(e.what());
        return failCode;
    }
    return ResultCode::CreationSucceeded;
}

int CInvoiceDoc::computeCharges() {
    if (outsideService())
        return ResultCode::OutsideService;

    int result = 0;
    try {
        m_ctx.FirstNewIndex = m_ctx.Charges.size();
        m_ctx.Usage.clear();
        // The latest copies are read once for this customer (a summary's members each
        // their own); a new invoice's set-up has just read them.
        m_ctx.LatestCopiesCached = true;
        if (!std::exchange(m_latestCopiesRead, false))
            m_ctx.LatestCopies.reset();

        // Fixed charges: priced, saved, then their linked taxes, surcharges and discounts.
        for (const ChargeRow& tpl : planCharges(m_chargePlanId, ChargeType::Fixed)) {
            ChargeRow copy = MakeInvoiceCopy(m_ctx, tpl);
            const int r = RateFixed(m_db, m_ctx, copy);
            if (r == ResultCode::ChargeSkipped)
                continue;
            if (r != 0)
                return r;
            SaveChargeCopy(m_db, copy);
            m_ctx.noteSaved(copy);
            m_ctx.Charges.append(copy);
            Currency total;
            if (ApplyLinked(m_db, m_ctx, copy.InvoicedAmount, tpl.Id, copy.Id, false,
                            ChargeType::All, total)) {
                m_lastError = m_ctx.LastError;
                return ResultCode::ComputingCharge;
            }
        }

        // Usage charges: connect time, then byte traffic; priced after the last session.
        QList<qsizetype> usage;
        for (const qint32 type : {qint32(ChargeType::Online), qint32(ChargeType::ByteTraffic)}) {
            for (const ChargeRow& tpl : planCharges(m_chargePlanId, type)) {
                ChargeRow copy = MakeInvoiceCopy(m_ctx, tpl);
                if (!ChargeApplies(m_db, m_ctx, copy))
                    continue;
                usage.append(m_ctx.Charges.size());
                m_ctx.Charges.append(copy);
            }
        }

        if (const int r = rateSessions())
            return r;
        for (const qsizetype index : usage) {
            if (FinishUsageCharge(m_ctx, index))
                return ResultCode::ComputingCharge;
        }

        // Each usage charge once: prorate, save, link. Linked copies are appended behind.
        QList<qsizetype> dropped;
        for (const qsizetype index : usage) {
            if (!ProrateCharge(m_ctx, m_ctx.Charges[index])) {
                dropped.append(index);
                continue;
            }
            // A copy nothing links to is sent without waiting when this computation finishes
            // the invoice (which settles it); its key arrives by then.
            const ChargeRow& charge = m_ctx.Charges.at(index);
            if (!m_summary && m_templates->linkedCharges(charge.IdTemplate, false).isEmpty())
                PostChargeCopy(m_db, m_ctx, charge, index);
            else
                SaveChargeCopy(m_db, m_ctx.Charges[index]);
            m_ctx.noteSaved(m_ctx.Charges.at(index));
            FaultPoint("charge-copy");
            const ChargeRow saved = m_ctx.Charges.at(index);
            Currency total;
            if (ApplyLinked(m_db, m_ctx, saved.InvoicedAmount, saved.IdTemplate, saved.Id, false,
                            ChargeType::All, total)) {
                m_lastError = m_ctx.LastError;
                return ResultCode::ComputingCharge;
            }
        }
        std::sort(dropped.begin(), dropped.end(), std::greater<>());
        for (const qsizetype index : dropped)
            m_ctx.dropCharge(index);

        if (m_ctx.Charges.size() == m_ctx.FirstNewIndex)
            report(ResultCode::NoCharges);

        // Sums over the charges of this computation. A charge credited on the next invoice
        // carries its own amount there.
        for (qsizetype i = m_ctx.FirstNewIndex; i < m_ctx.Charges.size(); ++i) {
            const ChargeRow& c = m_ctx.Charges.at(i);
            if (c.Type == ChargeType::Tax)
                m_invoice.Taxes += c.InvoicedAmount;
            else
                m_invoice.Charge += c.InvoicedAmount;
            if (c.Options & ChargeOption::CreditNextInvoice)
                m_invoice.Prepaying += c.InvoicedAmount;
        }

        if (m_summary) {
            m_members.append(m_ctx.Customer.Id);
        } else if (Finish()) {
            return ResultCode::SummingCharges;
        }
        result = ResultCode::CreationSucceeded;
    } catch (const std::exception& e) {
        m_lastError = QString::fromUtf8(e.what());
        if (result == 0)
            result = ResultCode::SummingCharges;
    }
    return result == 0 ? int(ResultCode::UnspecifiedCharge) : result;
}

int CInvoiceDoc::rateSessions() {
    try {
        const bool details = m_invoicePlan.ShowDetails;
        const qint32 member = m_ctx.Customer.Id;
        bool failed = false;
        forEachSession(m_ctx.Customer.Username, [&](const EventRow& event) {
            if (failed)
                return;
            const UsageSession s = UsageSession::fromEvent(event);
            if (RateSession(m_ctx, s)) {
                failed = true;
                return;
            }
            if (details)
                m_sessions.append(
                    {s.Connect, s.Disconnect, s.Duration, s.Sent, s.Received, member});
            m_totalSeconds += s.Duration;
            m_totalSent = AddSaturated(m_totalSent, s.Sent);
            m_totalReceived = AddSaturated(m_totalReceived, s.Received);
        });
        if (failed) {
            m_lastError = m_ctx.LastError;
            return ResultCode::ComputingCharge;
        }
    } catch (const std::exception& e) {
        m_lastError = QString::fromUtf8(e.what());
        return ResultCode::ComputingCharge;
    }
    // Totals over every session billed on this invoice (all members of a summary).
    m_invoice.TotalTimeHH = ClampToInt32(m_totalSeconds / 3600);
    m_invoice.TotalTimeMM = qint16(m_totalSeconds / 60 % 60);
    m_invoice.TotalTimeSS = qint16(m_totalSeconds % 60);
    m_invoice.Sent = m_totalSent;
    m_invoice.Received = m_totalReceived;
    return 0;
}

// ---------------------------------------------------------------------------------------------
// Finish

bool CInvoiceDoc::Finish() {
    if (m_invoice.InvoiceNum == 0 || m_finished)
        return true;
    try {
        InvoiceRow& inv = m_invoice;
        inv.TaxableGross += inv.Prepaid;
        if (inv.Minimum > Currency())
            inv.TaxableGross += std::max(inv.Charge, inv.Minimum);
        else
            inv.TaxableGross += inv.Charge;

        // Plan-level surcharges and discounts, then taxes on the result; none on a credit.
        Currency total;
        // The plan-level copies are sent without waiting: the invoice row's update below
        // settles them.
        m_ctx.PostLeafCopies = true;
        if (inv.TaxableGross >= Currency()) {
            if (ApplyLinked(m_db, m_ctx, inv.TaxableGross, m_templatePlanId, m_billingPlan.Id, true,
                            ChargeType::Surcharge, total)) {
                m_lastError = m_ctx.LastError;
                return true;
            }
            inv.TaxableGross += total;
        }
        if (inv.TaxableGross >= Currency()) {
            if (ApplyLinked(m_db, m_ctx, inv.TaxableGross, m_templatePlanId, m_billingPlan.Id, true,
                            ChargeType::Tax, total)) {
                m_lastError = m_ctx.LastError;
                return true;
            }
            inv.Taxes += total;
        }
        inv.NewCharges = inv.TaxableGross + inv.Taxes;
        inv.TotalDue = inv.NewCharges + inv.PrevBalance - inv.Payments;
        if (!m_members.isEmpty())
            inv.Users = EncodeMemberList(m_members);

        // Written by its number, without reading the row first: one statement.
        CInvoiceRecord rec(m_db);
        rec.openForAdding(rec.defaultTable());
        rec.editKey(inv.InvoiceNum);
        rec = inv;
        rec.update(); // throws when the row is gone
        rec.close();
        m_ctx.resolveKeys();
    } catch (const std::exception& e) {
        m_lastError = QString::fromUtf8(e.what());
        return true;
    }
    m_finished = true;
    return false;
}

// ---------------------------------------------------------------------------------------------
// Load

int CInvoiceDoc::Load(qint32 invoiceNum, const InvoicePlanRow* invoicePlan) {
    reset();
    m_lastError.clear();
    const int result = loadInvoice(invoiceNum, invoicePlan);
    if (result != 0) {
        report(result, m_lastError);
        // A failed load shows nothing.
        const QString error = m_lastError;
        reset();
        m_lastError = error;
    }
    return result;
}

int CInvoiceDoc::loadInvoice(qint32 invoiceNum, const InvoicePlanRow* invoicePlan) {
    int result = 0;
    StatusTextScope status;
    try {
        {
            CInvoiceRecord rec(m_db);
            if (!rec.findByNumber(invoiceNum)) {
                m_lastError = QStringLiteral("Invoice %1 not found.").arg(invoiceNum);
                return ResultCode::LoadingInvoice;
            }
            m_invoice = rec.row();
        }
        {
            CUserRecord user(m_db);
            if (!user.findById(m_invoice.IdUser))
                return ResultCode::OpeningCustomer;
            m_recordCustomer = user.row();
            m_ctx.Customer = m_recordCustomer;
            m_ctx.RecordCustomerId = m_recordCustomer.Id;
            m_ctx.RecordCustomerName = m_recordCustomer.Username;
        }
        ui().setStatusText(
            QStringLiteral("Loading invoice for %1...").arg(m_recordCustomer.Username));

        if (m_invoice.Version == InvoiceVersion::OldLayout)
            return ResultCode::OldStyleInvoice;
        if (m_invoice.Version < 0)
            return ResultCode::BalanceAdjustment;

        m_summary = m_invoice.Flags & InvoiceFlag::Summary;
        m_ctx.PeriodStart = DbToSecondsOr0(m_invoice.OpeningDate);
        m_ctx.PeriodEnd = DbToSecondsOr0(m_invoice.ClosingDate);
        m_ctx.InvoiceNum = m_invoice.InvoiceNum;

        {
            CBPRecord plan(m_db);
            result = ResultCode::NoBillingPlan;
            if (!plan.findByInvoice(invoiceNum))
                return result;
            m_billingPlan = plan.row();
            m_templatePlanId = 0; // a loaded invoice no longer knows its template
        }
        if (invoicePlan) {
            m_invoicePlan = *invoicePlan;
        } else {
            CInvoicePlanRecord plan(m_db);
            result = ResultCode::NoInvoicePlan;
            if (!plan.findByInvoice(invoiceNum))
                return result;
            m_invoicePlan = plan.row();
        }
        result = 0;

        {
            CChargeRecord rs(m_db);
            rs.openWhere(QStringLiteral("[IdInvoice] = ? ORDER BY Id"), {invoiceNum});
            for (; !rs.isEOF(); rs.moveNext())
                m_ctx.Charges.append(rs.row());
            rs.close();
        }
        m_members = DecodeMemberList(m_invoice.Users);

        if (m_invoicePlan.ShowDetails) {
            auto add = [this](qint32 member) {
                return [this, member](const EventRow& event) {
                    const UsageSession s = UsageSession::fromEvent(event);
                    m_sessions.append(
                        {s.Connect, s.Disconnect, s.Duration, s.Sent, s.Received, member});
                };
            };
            if (m_summary) {
                for (const qint32 id : std::as_const(m_members)) {
                    CUserRecord member(m_db);
                    if (member.findById(id))
                        forEachSession(member.Username, add(id));
                }
            } else {
                forEachSession(m_recordCustomer.Username, add(m_recordCustomer.Id));
            }
        }
    } catch (const std::exception& e) {
        m_lastError = QString::fromUtf8(e.what());
        return result != 0 ? result : int(ResultCode::LoadingInvoice);
    }
    return 0;
}

std::optional<qint32> CInvoiceDoc::InvoiceNumberFromFileName(const QString& fileName) {
    const QString base = QFileInfo(fileName).completeBaseName();
    if (base.isEmpty())
        return std::nullopt;
    for (const QChar c : base)
        if (!c.isDigit() || c.unicode() > 127)
            return std::nullopt;
    bool ok = false;
    const qint32 n = base.toInt(&ok);
    if (!ok || n <= 0)
        return std::nullopt;
    return n;
}

QString CInvoiceDoc::DocumentFileName(qint32 invoiceNum) {
    return QStringLiteral("%1.inv").arg(invoiceNum);
}

int CInvoiceDoc::OpenDocumentFile(const QString& fileName) {
    const auto number = InvoiceNumberFromFileName(fileName);
    if (!number) {
        reset();
        m_lastError = QStringLiteral("'%1' names no invoice.").arg(fileName);
        report(ResultCode::LoadingInvoice, m_lastError);
        return ResultCode::LoadingInvoice;
    }
    return Load(*number);
}

// ---------------------------------------------------------------------------------------------
// Delete

bool CInvoiceDoc::Delete(qint32 invoiceNum) {
    m_lastError.clear();
    return DeleteInvoice(m_db, invoiceNum, &m_lastError);
}

bool CInvoiceDoc::DeleteInvoice(Database& db, qint32 invoiceNum, QString* error) {
    try {
        CInvoiceRecord rec(db);
        if (!rec.findByNumber(invoiceNum)) {
            if (error)
                *error = QStringLiteral("Invoice %1 not found.").arg(invoiceNum);
            return true;
        }
        Transaction transaction(db);
        db.execute(QStringLiteral("DELETE FROM Charges WHERE Charges.IdInvoice = ?"), {invoiceNum});
        db.execute(QStringLiteral("DELETE FROM BillingPlans WHERE IdInvoice = ?"), {invoiceNum});
        db.execute(QStringLiteral("DELETE FROM InvoicePlans WHERE IdInvoice = ?"), {invoiceNum});
        rec.deleteCurrent();
        transaction.commit();
    } catch (const std::exception& e) {
        if (error)
            *error = QString::fromUtf8(e.what());
        return true;
    }
    return false;
}
