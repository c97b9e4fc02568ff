// Invoice runs on real database files with a scripted user: the group checks, the walk over
// nested groups with their plans and overrides, skipped and failed customers, summary
// invoices, keep / discard / send, Esc, the end prompts, and stored membership cycles.
#include "common/testdatabase.h"
#include "common/billingfixture.h"
#include "common/loglines.h"
#include "common/recordingui.h"
#include "common/testfolders.h"
#include "core/app/operationlog.h"
#include "core/app/oplog.h"
#include "core/app/registrystore.h"
#include "core/app/settingsvalues.h"
#include "core/billing/invoicedoc.h"
#include "core/billing/invoicerun.h"
#include "core/db/database.h"
#include "core/db/datetimeutil.h"
#include "core/db/invoicerecord.h"
#include "core/db/schema.h"

#include <QTest>

#include <memory>
#include <optional>

using namespace Qt::StringLiterals;

namespace {

using F = CBillingFixture;

// Takes what a run reports instead of the log and the user interface.
struct CollectingReporter : IRunReporter {
    QStringList lines;
    bool flag = false;
    void logResult(const QString& name, int code, const QString& text) override {
        lines.append(name + "|" + QString::number(code) + "|" + text);
    }
    void logException(const QString& name, const std::exception&, int code) override {
        logResult(name, code, {});
    }
    void tell(const QString& message) override { lines.append(message); }
    bool problem() const override { return flag; }
    void setProblem(bool on) override { flag = on; }
    void reportOutcome(bool, int, bool) override { lines.append("outcome"); }
};

const QString kNoProblems = u"Operation logged no errors or warnings."_s;
const QString kViewLog = u"An error or warning was issued, do you wish to view the log?"_s;

} // namespace

class TestInvoiceRun : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void groupChecksRefuseBeforeAnyInvoice_data();
    void groupChecksRefuseBeforeAnyInvoice();
    void inactiveMemberSkippedOthersBilled();
    void nestedGroupsDepthFirstOuterOverrideWins();
    void failedInvoiceRolledBackRunGoesOn();
    void discardDeletesExactlyTheRunsInvoices();
    void discardedFirstInvoiceKeepsFirstOnlyCharges();
    void summaryOfGroupWithNestedGroup();
    void storedCycleIsSkippedWithErrorLine();
    void escDiscardsEveryInvoiceOfTheRun_data();
    void escDiscardsEveryInvoiceOfTheRun();
    void keepAndSend_data();
    void keepAndSend();
    void customerRun();
    void sendGroupInvoicesByDateAndMembership();

private:
    // The April 2024 plan with one fixed charge of `fee`.
    qint32 plan(const QString& name, const char* fee = "10") {
        const qint32 id = fx->addPlan(name, QDate(2024, 4, 1), QDate(2024, 5, 1));
        fx->attach(id, fx->addCharge(F::fixed(name + " fee", fee)));
        return id;
    }
    qint32 group(const QString& name, qint32 options, qint32 bp = 0, qint32 ip = 0,
                 qint32 bpOverride = 0, qint32 ipOverride = 0) {
        UserRow g;
        g.Username = name;
        g.IsGroup = true;
        g.ActiveStatus = 1;
        g.GroupOptions = options;
        g.IdBillingPlan = bp;
        g.IdInvoicePlan = ip;
        g.IdBPOverride = bpOverride;
        g.IdIPOverride = ipOverride;
        g.StartDate = DbFromDate(2020, 1, 1);
        return fx->addCustomer(g);
    }
    qint32 customer(const QString& name, qint32 bp, qint32 ip, bool firstInvoiceHad = true) {
        UserRow u = fx->customer(fx->addCustomer(name, bp, ip));
        u.GotFirstInvoice = firstInvoiceHad;
        fx->updateCustomer(u);
        return u.Id;
    }
    void join(qint32 groupId, qint32 memberId) {
        db->execute("INSERT INTO UserGroupJoin (GroupId, UserLinkId) VALUES (?, ?)",
                    {groupId, memberId});
    }
    int count(const QString& sql) { return db->scalar(sql).toInt(); }
    // "customer:plan copy name" of every invoice, by number.
    QStringList invoices() {
        QStringList out;
        Statement st = db->prepare(
            "SELECT Users.Username, BillingPlans.Name FROM Invoices INNER JOIN Users ON "
            "Invoices.IdUser = Users.Id LEFT JOIN BillingPlans ON BillingPlans.IdInvoice = "
            "Invoices.InvoiceNum ORDER BY Invoices.InvoiceNum");
        while (st.next())
            out << st.value(0).toString() + ":" + st.value(1).toString();
        return out;
    }
    InvoiceRow invoice(qint32 num) {
        CInvoiceRecord rec(*db);
        return rec.findByNumber(num) ? rec.row() : InvoiceRow();
    }
    bool gotFirst(qint32 id) { return fx->customer(id).GotFirstInvoice; }
    // Copies frozen into invoices (plans and charges), all tables together.
    int copies() {
        return count("SELECT (SELECT COUNT(*) FROM BillingPlans WHERE IdInvoice <> 0) + "
                     "(SELECT COUNT(*) FROM InvoicePlans WHERE IdInvoice <> 0) + "
                     "(SELECT COUNT(*) FROM Charges WHERE IdInvoice <> 0)");
    }
    // A run that records its commit decision and its sends.
    std::unique_ptr<CInvoiceRun> newRun(int choice = CommitChoice::Keep) {
        auto run = std::make_unique<CInvoiceRun>(*db);
        run->SetCommitDecider([this, choice](const QList<qint32>& nums) {
            decided.append(nums);
            ++decisions;
            return choice;
        });
        run->SetSender([this](qint32 num, qint32 plan) {
            sent << u"%1/%2"_s.arg(num).arg(plan);
            return false;
        });
        return run;
    }
    QStringList problems() const {
        QStringList out;
        for (const QString& l : log->messages())
            if (!l.contains("|SUCCESS|"))
                out << l;
        return out;
    }

    const DbDateTime may2 = DbFromDate(2024, 5, 2);
    std::unique_ptr<CTestFolders> folders;
    std::unique_ptr<Database> db;
    std::unique_ptr<CBillingFixture> fx;
    std::unique_ptr<CRecordingUi> ui;
    std::optional<CLogLines> log;
    QList<qint32> decided;
    int decisions = 0;
    QStringList sent;
    qint32 ip = 0;
};

void TestInvoiceRun::init() {
    folders = std::make_unique<CTestFolders>();
    theRegistry().close();
    QVERIFY(theRegistry().open());
    QVERIFY(RegWriteText(Reg::LogFileName, folders->filePath("Tollk.log")));
    theLog().reset();
    theLog().setLoggingEnabled(true, false);
    log.emplace();
    ui = std::make_unique<CRecordingUi>();

    const QString path = TestDatabaseName(folders->filePath(u"run.db"_s));
    CreateNewDatabase(path);
    db = std::make_unique<Database>();
    db->open(path);
    fx = std::make_unique<CBillingFixture>(*db);
    ip = fx->addInvoicePlan(u"Plain"_s);
    decided.clear();
    decisions = 0;
    sent.clear();
}

void TestInvoiceRun::cleanup() {
    log.reset();
    theLog().reset();
    theRegistry().close();
    ui.reset();
    fx.reset();
    db.reset();
    folders.reset();
}

void TestInvoiceRun::groupChecksRefuseBeforeAnyInvoice_data() {
    QTest::addColumn<int>("options");
    QTest::addColumn<bool>("active");
    QTest::addColumn<bool>("plans");
    QTest::addColumn<QString>("message");
    QTest::addColumn<int>("code");
    QTest::newRow("inactive") << 0 << false << true << "Group does not have active status." << 19;
    QTest::newRow("billing override missing")
        << 0x01 << true << true << "Group has no override billing plan." << 17;
    QTest::newRow("invoicing override missing")
        << 0x02 << true << true << "Group has no override invoice plan." << 18;
    QTest::newRow("summary without plans")
        << 0x04 << true << false
        << "Group representative must have billing and invoicing plans for a summary invoice." << 1;
}

void TestInvoiceRun::groupChecksRefuseBeforeAnyInvoice() {
    QFETCH(int, options);
    QFETCH(bool, active);
    QFETCH(bool, plans);
    QFETCH(QString, message);
    QFETCH(int, code);
    const qint32 bp = plan("Monthly");
    const qint32 g = group("team", options, plans ? bp : 0, plans ? ip : 0);
    if (!active) {
        UserRow row = fx->customer(g);
        row.ActiveStatus = 0;
        fx->updateCustomer(row);
    }
    join(g, customer("ann", bp, ip));

    auto run = newRun();
    QVERIFY(run->GenerateForGroup(fx->customer(g), may2));
    QCOMPARE(ui->messages.size(), 1);
    QCOMPARE(ui->messages[0].text, message);
    QCOMPARE(problems(), QStringList{"team|ERROR|" + ResultText(code)});
    QCOMPARE(count("SELECT COUNT(*) FROM Invoices"), 0);
    QCOMPARE(decisions, 0);

    // Sending is refused by the same checks.
    ui->clear();
    QVERIFY(run->SendGroupInvoices(fx->customer(g), may2, 0));
    QCOMPARE(ui->messages.value(0).text, message);
    QVERIFY(sent.isEmpty());

    // With a reporter of its own the run reaches neither the log nor the user.
    ui->clear();
    const QStringList logged = problems();
    CollectingReporter collected;
    run->SetReporter(&collected);
    QVERIFY(run->SendGroupInvoices(fx->customer(g), may2, 0));
    QCOMPARE(collected.lines, (QStringList{"team|" + QString::number(code) + "|", message}));
    QVERIFY(ui->messages.isEmpty());
    QCOMPARE(problems(), logged);
}

void TestInvoiceRun::inactiveMemberSkippedOthersBilled() {
    const qint32 bp = plan("Monthly");
    const qint32 g = group("team", 0);
    const qint32 ann = customer("ann", bp, ip, false);
    const qint32 bob = customer("bob", bp, ip, false);
    const qint32 cy = customer("cy", bp, ip, false);
    UserRow b = fx->customer(bob);
    b.ActiveStatus = 0;
    fx->updateCustomer(b);
    const qint32 dan = customer("dan", 0, ip);
    for (const qint32 m : {cy, dan, bob, ann})
        join(g, m);

    auto run = newRun();
    QVERIFY(!run->GenerateForGroup(fx->customer(g), may2));
    QCOMPARE(invoices(), (QStringList{"ann:Monthly", "cy:Monthly"}));
    // The group itself has no plan; bob is inactive; dan has no plan.
    QCOMPARE(problems(),
             (QStringList{"team|WARNING|No billing plan.", "bob|WARNING|customer is not active.",
                          "dan|WARNING|No billing plan."}));
    QCOMPARE(decided.size(), 2);
    // Kept: the billed customers have had their first invoice now, bob has not.
    QVERIFY(gotFirst(ann));
    QVERIFY(gotFirst(cy));
    QVERIFY(!gotFirst(bob));
    // The end prompts: the plain warning before the decision, no question after.
    QVERIFY(ui->hasMessage("An error or warning was issued."));
    QVERIFY(!ui->hasQuestion(kViewLog));
}

void TestInvoiceRun::nestedGroupsDepthFirstOuterOverrideWins() {
    const qint32 own = plan("Own");
    const qint32 outerPlan = plan("OuterOverride");
    const qint32 innerPlan = plan("InnerOverride");
    const qint32 outerIp = fx->addInvoicePlan(u"OuterInvoice"_s);
    const qint32 outer = group("outer", 0x01 | 0x02, 0, 0, outerPlan, outerIp);
    const qint32 inner = group("inner", 0x01, 0, 0, innerPlan);
    const qint32 deep = group("deep", 0);
    join(outer, customer("zed", own, ip));
    join(outer, inner);
    join(outer, customer("alpha", own, ip));
    join(inner, customer("gamma", own, ip));
    join(inner, customer("beta", own, ip));
    join(inner, deep);
    join(deep, customer("delta", own, ip));
    // A customer of the inner group billed on its own: the inner override applies.
    const qint32 solo = group("solo", 0x01, 0, 0, innerPlan);
    join(solo, customer("omega", own, ip));

    auto run = newRun();
    QVERIFY(!run->GenerateForGroup(fx->customer(outer), may2));
    // Depth first in Username order; every node below the outer group is billed with the
    // outer override, groups included.
    QCOMPARE(invoices(),
             (QStringList{"alpha:OuterOverride", "inner:OuterOverride", "beta:OuterOverride",
                          "deep:OuterOverride", "delta:OuterOverride", "gamma:OuterOverride",
                          "zed:OuterOverride"}));
    QCOMPARE(count(QStringLiteral("SELECT COUNT(*) FROM InvoicePlans WHERE IdInvoice <> 0 AND "
                                  "Name <> 'OuterInvoice'")),
             0);

    auto second = newRun();
    QVERIFY(!second->GenerateForGroup(fx->customer(solo), DbFromDate(2024, 5, 3)));
    QCOMPARE(invoices().mid(7), QStringList{"omega:InnerOverride"});
}

void TestInvoiceRun::failedInvoiceRolledBackRunGoesOn() {
    const qint32 bp = plan("Monthly");
    // A weekly charge counted from the customer's start date cannot be rated without one.
    const qint32 weeklyPlan = plan("Weekly");
    ChargeRow weekly = F::fixed(u"Weekly"_s, "1");
    weekly.LimitType = 1;
    weekly.LimitFilterEnd = 7;
    weekly.LimitFilterType = 2;
    fx->attach(weeklyPlan, fx->addCharge(weekly));
    const qint32 g = group("team", 0);
    join(g, customer("ann", bp, ip));
    join(g, fx->addCustomer(u"bob"_s, weeklyPlan, ip, QDate()));
    join(g, customer("cy", bp, ip));

    auto run = newRun();
    QVERIFY(!run->GenerateForGroup(fx->customer(g), may2));
    QCOMPARE(invoices(), (QStringList{"ann:Monthly", "cy:Monthly"}));
    QVERIFY(problems().contains("bob|ERROR|" + ResultText(11)));
    // Nothing of bob's invoice is left: no copies beyond the two invoices'.
    QCOMPARE(count("SELECT COUNT(*) FROM BillingPlans WHERE IdInvoice <> 0"), 2);
    QCOMPARE(count("SELECT COUNT(*) FROM InvoicePlans WHERE IdInvoice <> 0"), 2);
    QCOMPARE(count("SELECT COUNT(*) FROM Charges WHERE IdInvoice <> 0"), 2);
    QCOMPARE(db->transactionDepth(), 0);
}

void TestInvoiceRun::discardDeletesExactlyTheRunsInvoices() {
    const qint32 bp = plan("Monthly");
    const qint32 ann = customer("ann", bp, ip, false);
    const qint32 bob = customer("bob", bp, ip, false);
    // An invoice of an earlier, kept run.
    auto earlier = newRun();
    QVERIFY(!earlier->GenerateForCustomer(fx->customer(ann), DbFromDate(2024, 4, 2), false, 0, 0));
    QCOMPARE(invoices(), QStringList{"ann:Monthly"});
    const int earlierCopies = copies();
    QCOMPARE(earlierCopies, 3);
    UserRow a = fx->customer(ann);
    a.GotFirstInvoice = false;
    fx->updateCustomer(a);
    decided.clear();

    const qint32 g = group("team", 0x04, bp, ip);
    join(g, ann);
    join(g, bob);
    const qint32 g2 = group("pair", 0);
    join(g2, ann);
    join(g2, bob);

    auto run = newRun(CommitChoice::Discard);
    QVERIFY(!run->GenerateForGroup(fx->customer(g2), may2));
    QCOMPARE(decided.size(), 2);
    QVERIFY(decided.first() > run->StartNumber());
    QVERIFY(!run->GenerateForGroup(fx->customer(g), may2));
    QCOMPARE(decided.size(), 3); // the summary
    // Only the earlier invoice and its copies are left; templates untouched.
    QCOMPARE(invoices(), QStringList{"ann:Monthly"});
    QCOMPARE(copies(), earlierCopies);
    QCOMPARE(count("SELECT COUNT(*) FROM BillingPlans WHERE IdInvoice = 0"), 1);
    QCOMPARE(count("SELECT COUNT(*) FROM Charges WHERE IdInvoice = 0"), 1);
    QVERIFY(!gotFirst(ann));
    QVERIFY(!gotFirst(bob));
    QVERIFY(sent.isEmpty());
}

void TestInvoiceRun::discardedFirstInvoiceKeepsFirstOnlyCharges() {
    const qint32 bp = plan("Monthly", "20");
    ChargeRow setup = F::fixed(u"Set-up"_s, "50");
    setup.FirstInvoiceOnly = true;
    fx->attach(bp, fx->addCharge(setup));
    const qint32 ann = customer("ann", bp, ip, false);
    const qint32 g = group("team", 0);
    join(g, ann);

    auto run = newRun(CommitChoice::Discard);
    QVERIFY(!run->GenerateForGroup(fx->customer(g), may2));
    QCOMPARE(decided.size(), 1);
    QCOMPARE(count("SELECT COUNT(*) FROM Invoices"), 0);
    QVERIFY(!gotFirst(ann));

    auto keep = newRun(CommitChoice::Keep);
    QVERIFY(!keep->GenerateForGroup(fx->customer(g), may2));
    QCOMPARE(invoice(decided.last()).Charge, F::money("70"));
    QVERIFY(gotFirst(ann));
    QCOMPARE(count("SELECT COUNT(*) FROM Charges WHERE IdInvoice <> 0 AND Name = 'Set-up'"), 1);

    QVERIFY(!keep->GenerateForGroup(fx->customer(g), DbFromDate(2024, 5, 3)));
    QCOMPARE(invoice(decided.last()).Charge, F::money("20"));
}

void TestInvoiceRun::summaryOfGroupWithNestedGroup() {
    const qint32 groupPlan = fx->addPlan(u"Office"_s, QDate(2024, 4, 1), QDate(2024, 5, 1));
    fx->attach(groupPlan, fx->addCharge(F::fixed(u"Office fee"_s, "5")));
    const qint32 memberPlan = fx->addPlan(u"Members"_s, QDate(2024, 1, 1), QDate(2024, 2, 1));
    fx->attach(memberPlan, fx->addCharge(F::online(u"Hours"_s, "1.00")));
    const qint32 office = group("office", 0x04, groupPlan, ip);
    const qint32 sub = group("sub", 0);
    const qint32 ann = customer("ann", memberPlan, ip, false);
    const qint32 bob = customer("bob", memberPlan, ip, false);
    const qint32 cy = customer("cy", memberPlan, ip, false);
    customer("dan", memberPlan, ip);
    join(office, sub);
    join(office, ann);
    join(sub, cy);
    join(sub, bob);
    // A member whose service ended before the period is left out with its error line.
    UserRow gone = fx->customer(customer("gone", memberPlan, ip));
    gone.EndDate = DbFromDate(2024, 1, 1);
    fx->updateCustomer(gone);
    join(sub, gone.Id);
    // A member whose weekly charge needs a start date it does not have fails part-way: the
    // copies it had made do not stay on the summary.
    const qint32 weeklyPlan = fx->addPlan(u"Weekly"_s, QDate(2024, 1, 1), QDate(2024, 2, 1));
    fx->attach(weeklyPlan, fx->addCharge(F::fixed(u"Base"_s, "3")));
    ChargeRow weekly = F::fixed(u"Weekly"_s, "1");
    weekly.LimitType = 1;
    weekly.LimitFilterEnd = 7;
    weekly.LimitFilterType = 2;
    fx->attach(weeklyPlan, fx->addCharge(weekly));
    const qint32 nostart = fx->addCustomer(u"nostart"_s, weeklyPlan, ip, QDate());
    join(sub, nostart);
    fx->addSession("ann", F::at(2024, 4, 3, 12), 3600, 100, 1000);
    fx->addSession("bob", F::at(2024, 4, 5, 12), 2 * 3600, 200, 2000);
    fx->addSession("cy", F::at(2024, 4, 7, 12), 1800, 300, 3000);
    fx->addSession("cy", F::at(2024, 3, 30, 12), 3600, 1, 1);     // before the period
    fx->addSession("dan", F::at(2024, 4, 8, 12), 5 * 3600, 7, 7); // no member

    auto run = newRun(CommitChoice::Keep | CommitChoice::Send);
    QVERIFY(!run->GenerateForGroup(fx->customer(office), may2));
    QCOMPARE(decided.size(), 1);
    const InvoiceRow inv = invoice(decided.first());
    QCOMPARE(inv.IdUser, office);
    QCOMPARE(inv.Flags & InvoiceFlag::Summary, InvoiceFlag::Summary);
    // The group first, then its members depth first; the nested group adds its own.
    QCOMPARE(DecodeMemberList(inv.Users), (QList<qint32>{office, ann, bob, cy}));
    // The members' own sessions in the period, from the sessions table.
    Statement st = db->prepare(
        "SELECT SUM(Hours * 3600 + Minutes * 60 + Seconds), SUM(Sent), SUM(Received) FROM "
        "Events WHERE Username IN ('ann', 'bob', 'cy') AND DisconnectDate >= ? AND "
        "DisconnectDate < ?");
    st.bindAll(
        {QVariant::fromValue(DbFromDate(2024, 4, 1)), QVariant::fromValue(DbFromDate(2024, 5, 1))});
    QVERIFY(st.next());
    const qint64 seconds = st.value(0).toLongLong();
    QCOMPARE(seconds, qint64(3.5 * 3600));
    QCOMPARE(qint64(inv.TotalTimeHH) * 3600 + inv.TotalTimeMM * 60 + inv.TotalTimeSS, seconds);
    QCOMPARE(qint64(inv.Sent), st.value(1).toLongLong());
    QCOMPARE(qint64(inv.Received), st.value(2).toLongLong());
    // 3.5 hours at 1.00 and the group's fee.
    QCOMPARE(inv.Charge, F::money("8.50"));
    QCOMPARE(inv.TotalDue, F::money("8.50"));
    // The nested group without a plan of its own is not rated itself.
    QVERIFY(problems().contains("sub|WARNING|No billing plan."));
    QVERIFY(problems().contains("gone|ERROR|" + ResultText(10)));
    QVERIFY(problems().contains("nostart|ERROR|" + ResultText(11)));
    QCOMPARE(count(QStringLiteral("SELECT COUNT(*) FROM Charges WHERE IdInvoice = %1 AND "
                                  "IdUser = %2")
                       .arg(inv.InvoiceNum)
                       .arg(nostart)),
             0);
    // Kept and sent: the summary only; its members have had their first invoice.
    QCOMPARE(sent, QStringList{u"%1/0"_s.arg(inv.InvoiceNum)});
    QVERIFY(gotFirst(ann) && gotFirst(bob) && gotFirst(cy));
    QCOMPARE(db->transactionDepth(), 0);
}

void TestInvoiceRun::storedCycleIsSkippedWithErrorLine() {
    const qint32 bp = plan("Monthly");
    const qint32 a = group("a", 0);
    const qint32 b = group("b", 0);
    const qint32 self = group("self", 0x04, bp, ip);
    join(a, b);
    join(b, a);
    join(b, customer("cy", bp, ip));
    join(self, self);
    const qint32 dot = customer("dot", bp, ip);
    join(self, dot);

    auto run = newRun(CommitChoice::Keep | CommitChoice::Send);
    QVERIFY(!run->GenerateForGroup(fx->customer(a), may2));
    QCOMPARE(invoices(), QStringList{"cy:Monthly"});
    QVERIFY(problems().contains("a|ERROR|Customer group is a member of itself; it was skipped."));
    QCOMPARE(sent.size(), 1);

    // A summary group that lists itself: the summary still gets its real member.
    QVERIFY(!run->GenerateForGroup(fx->customer(self), may2));
    QCOMPARE(DecodeMemberList(invoice(decided.last()).Users), (QList<qint32>{self, dot}));
    QVERIFY(
        problems().contains("self|ERROR|Customer group is a member of itself; it was skipped."));

    // Sending walks member groups too, and stops at the cycle.
    sent.clear();
    QVERIFY(!run->SendGroupInvoices(fx->customer(a), may2, 0));
    QCOMPARE(sent.size(), 1);
}

void TestInvoiceRun::escDiscardsEveryInvoiceOfTheRun_data() {
    QTest::addColumn<int>("options");
    QTest::newRow("ordinary invoices") << 0;
    QTest::newRow("summary invoice") << 0x04;
}

void TestInvoiceRun::escDiscardsEveryInvoiceOfTheRun() {
    QFETCH(int, options);
    const qint32 bp = plan("Monthly");
    const qint32 g = group("team", options, bp, ip);
    QList<qint32> members;
    for (const char* name : {"ann", "bob", "cy", "dan"}) {
        members << customer(name, bp, ip, false);
        join(g, members.last());
    }
    // Esc once two customers are rated (each has one charge; a summary has the group's own
    // as well); the interruption is confirmed.
    bool pressed = false;
    ui->onPoll = [&] {
        const int rated = count("SELECT COUNT(*) FROM Charges WHERE IdInvoice <> 0");
        if (!pressed && rated >= (options ? 3 : 2)) {
            pressed = true;
            ui->queueAnswer(true);
            ui->pressEsc();
        }
    };

    auto run = newRun();
    QVERIFY(run->GenerateForGroup(fx->customer(g), may2));
    QVERIFY(pressed);
    QVERIFY(run->Aborted());
    QVERIFY(ui->hasQuestion("Interrupt process?"));
    QVERIFY(ui->hasMessage("Invoice generation aborted.  No invoices were generated."));
    QCOMPARE(count("SELECT COUNT(*) FROM Invoices"), 0);
    QCOMPARE(copies(), 0);
    QCOMPARE(decisions, 0);
    for (const qint32 m : members)
        QVERIFY(!gotFirst(m));
    QVERIFY(log->messages().contains("team|SUCCESS|Aborted."));
    QCOMPARE(db->transactionDepth(), 0);
}

void TestInvoiceRun::keepAndSend_data() {
    QTest::addColumn<int>("choice");
    QTest::addColumn<bool>("escWhileSending");
    QTest::newRow("keep and send") << int(CommitChoice::Keep | CommitChoice::Send) << false;
    QTest::newRow("keep only") << int(CommitChoice::Keep) << false;
    QTest::newRow("Esc while sending") << int(CommitChoice::Keep | CommitChoice::Send) << true;
}

void TestInvoiceRun::keepAndSend() {
    QFETCH(int, choice);
    QFETCH(bool, escWhileSending);
    const qint32 bp = plan("Monthly");
    const qint32 g = group("team", 0x01, 0, 0, bp);
    join(g, customer("bob", 0, ip, false));
    join(g, customer("ann", 0, ip, false));
    join(g, customer("cy", 0, ip, false));

    auto run = newRun(choice);
    if (escWhileSending) {
        run->SetSender([&](qint32 num, qint32 plan) {
            sent << u"%1/%2"_s.arg(num).arg(plan);
            ui->queueAnswer(true);
            ui->pressEsc();
            return false;
        });
    }
    const bool failed = run->GenerateForGroup(fx->customer(g), may2);
    QCOMPARE(failed, escWhileSending);
    QCOMPARE(invoices(), (QStringList{"ann:Monthly", "bob:Monthly", "cy:Monthly"}));
    QStringList expected;
    for (const qint32 num : std::as_const(decided))
        expected << u"%1/0"_s.arg(num);
    if (!(choice & CommitChoice::Send))
        expected.clear();
    if (escWhileSending) {
        expected = expected.mid(0, 1);
        QVERIFY(ui->hasMessage("Invoice sending aborted."));
    }
    QCOMPARE(sent, expected);
    // Nothing deleted by an interrupted send.
    QCOMPARE(count("SELECT COUNT(*) FROM Invoices"), 3);
    QCOMPARE(count("SELECT COUNT(*) FROM Users WHERE GotFirstInvoice <> 0 AND IsGroup = 0"), 3);
    // The group has no plan of its own: warned, shown plainly, not asked again.
    QCOMPARE(problems(), QStringList{"team|WARNING|No billing plan."});
    QVERIFY(ui->hasMessage("An error or warning was issued."));
    QVERIFY(!ui->hasMessage(kNoProblems));
}

void TestInvoiceRun::customerRun() {
    const qint32 bp = plan("Monthly");
    const qint32 other = plan("Other");
    const qint32 ann = customer("ann", bp, ip, false);

    // Inactive: refused with its message and nothing else.
    UserRow idle = fx->customer(customer("idle", bp, ip));
    idle.ActiveStatus = 0;
    fx->updateCustomer(idle);
    CInvoiceRun run(*db);
    run.SetSender([this](qint32 num, qint32 plan) {
        sent << u"%1/%2"_s.arg(num).arg(plan);
        return false;
    });
    QVERIFY(run.GenerateForCustomer(idle, may2, true, 0, 0));
    QVERIFY(ui->hasMessage("Customer does not have active status."));
    QCOMPARE(problems(), QStringList{"idle|ERROR|customer is not active."});
    QCOMPARE(count("SELECT COUNT(*) FROM Invoices"), 0);

    // Kept at once, marked, sent with its own plan; the chosen plan overrides the customer's.
    ui->clear();
    QVERIFY(!run.GenerateForCustomer(fx->customer(ann), may2, true, other, 0));
    QCOMPARE(invoices(), QStringList{"ann:Other"});
    QVERIFY(gotFirst(ann));
    const qint32 num = run.NewInvoiceNumbers().value(0);
    QCOMPARE(sent, QStringList{u"%1/0"_s.arg(num)});
    QVERIFY(ui->messages.isEmpty());
    QVERIFY(ui->questions.isEmpty());

    // Esc: no invoice is left, whatever was written.
    ui->queueAnswer(true);
    ui->pressEsc();
    QVERIFY(run.GenerateForCustomer(fx->customer(ann), DbFromDate(2024, 5, 3), true, 0, 0));
    QVERIFY(ui->hasMessage("Invoice generation aborted.  Invoice was not generated."));
    QCOMPARE(count("SELECT COUNT(*) FROM Invoices"), 1);
    QCOMPARE(copies(), 3);
    QCOMPARE(sent.size(), 1);
    QCOMPARE(db->transactionDepth(), 0);

    // A failure (no invoice plan) asks whether to view the log.
    ui->clear();
    const qint32 bare = customer("bare", bp, 0);
    QVERIFY(run.GenerateForCustomer(fx->customer(bare), may2, false, 0, 0));
    QVERIFY(log->messages().contains("bare|WARNING|No invoice plan."));
    QVERIFY(ui->hasQuestion(kViewLog));
    QVERIFY(!theLog().problem());
}

void TestInvoiceRun::sendGroupInvoicesByDateAndMembership() {
    const qint32 bp = plan("Monthly");
    const qint32 other = fx->addInvoicePlan(u"Mailing"_s);
    const qint32 g = group("team", 0, bp, ip);
    const qint32 sub = group("sub", 0);
    const qint32 ann = customer("ann", bp, ip);
    const qint32 cy = customer("cy", bp, ip);
    const qint32 out = customer("out", bp, ip);
    join(g, ann);
    join(g, sub);
    join(sub, cy);
    // Invoices of the date for the group, ann, cy and the outsider; one of another date.
    QMap<qint32, qint32> numberOf;
    for (const qint32 id : {g, ann, cy, out}) {
        QVERIFY(!newRun()->GenerateForCustomer(fx->customer(id), may2, false, 0, 0));
        numberOf[id] = decided.last();
    }
    QVERIFY(!newRun()->GenerateForCustomer(fx->customer(ann), DbFromDate(2024, 5, 9), false, 0, 0));

    auto run = newRun();
    QVERIFY(!run->SendGroupInvoices(fx->customer(g), may2, other));
    QStringList got = sent;
    std::sort(got.begin(), got.begin() + 2);
    QCOMPARE(got, (QStringList{u"%1/%2"_s.arg(numberOf[g]).arg(other),
                               u"%1/%2"_s.arg(numberOf[ann]).arg(other),
                               u"%1/%2"_s.arg(numberOf[cy]).arg(other)}));
}

QTEST_GUILESS_MAIN(TestInvoiceRun)
#include "tst_invoicerun.moc"
