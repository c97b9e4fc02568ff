// The invoice document on real database files: set-up, charge computation, totals, balance
// chain, summary invoices, loading, deleting, and the operation log lines of each outcome.
#include "common/billingfixture.h"
#include "common/invoiceamounts.h"
#include "common/loglines.h"
#include "common/recordingui.h"
#include "common/testdatabase.h"
#include "common/testfolders.h"
#include "core/app/operationlog.h"
#include "core/app/oplog.h"
#include "core/app/registrystore.h"
#include "core/app/settingsvalues.h"
#include "core/billing/chargetypes.h"
#include "core/billing/invoicedoc.h"
#include "core/db/database.h"
#include "core/db/datetimeutil.h"
#include "core/db/invoicerecord.h"
#include "core/db/schema.h"

#include <QTest>

#include <memory>

using namespace Qt::StringLiterals;

namespace {

using F = CBillingFixture;
constexpr auto money = &CBillingFixture::money;

} // namespace

class TestInvoiceDoc : public QObject {
    Q_OBJECT
private slots:
    void init() {
        folders = std::make_unique<CTestFolders>();
        const QString path = TestDatabaseName(folders->filePath(u"billing.db"_s));
        CreateNewDatabase(path);
        db = std::make_unique<Database>();
        db->open(path);
        fx = std::make_unique<CBillingFixture>(*db);
        codes.clear();
    }

    void cleanup() {
        fx.reset();
        db.reset();
        folders.reset();
    }

    void endDateBeforePeriodMakesNoInvoice() {
        const qint32 plan = aprilPlan("20");
        const qint32 ip = fx->addInvoicePlan(u"Plain"_s);
        UserRow u = fx->customer(fx->addCustomer(u"gone"_s, plan, ip));
        u.EndDate = DbFromDate(2024, 3, 15);
        fx->updateCustomer(u);

        auto doc = newDoc();
        QCOMPARE(create(*doc, u.Id, plan, ip), 10);
        QCOMPARE(codes, QList<int>{10});
        // Nothing written: no invoice, and no plan copy that would pass for a template.
        QCOMPARE(count("SELECT COUNT(*) FROM Invoices"), 0);
        QCOMPARE(count("SELECT COUNT(*) FROM BillingPlans"), 1);
        QCOMPARE(count("SELECT COUNT(*) FROM InvoicePlans"), 1);

        // A start on the period's end is after the period as well.
        u.EndDate = DbDateTime::null();
        u.StartDate = DbFromDate(2024, 5, 1);
        fx->updateCustomer(u);
        QCOMPARE(create(*doc, u.Id, plan, ip), 10);
    }

    void inactiveCustomerIsRefused() {
        const qint32 plan = aprilPlan();
        const qint32 ip = fx->addInvoicePlan(u"Plain"_s);
        UserRow u = fx->customer(fx->addCustomer(u"idle"_s, plan, ip));
        u.ActiveStatus = 0;
        fx->updateCustomer(u);
        auto doc = newDoc();
        QCOMPARE(create(*doc, u.Id, plan, ip), 26);
        QCOMPARE(count("SELECT COUNT(*) FROM Invoices"), 0);

        // Missing plans and customers.
        QCOMPARE(create(*doc, 999, plan, ip), 15);
        QCOMPARE(create(*doc, fx->addCustomer(u"x"_s, plan, ip), 999, ip), 1);
        QCOMPARE(create(*doc, fx->addCustomer(u"y"_s, plan, ip), plan, 999), 2);
        // A member cannot join a document that holds no invoice.
        CInvoiceDoc empty(*db);
        empty.SetReporter([](const RatingReport&) {});
        QCOMPARE(empty.Create(u.Id, plan, ip, DbFromDate(2024, 5, 2), false, true), 7);
    }

    void planWithoutChargesGetsMinimum() {
        const qint32 plan = aprilPlan("20");
        const qint32 ip = fx->addInvoicePlan(u"Plain"_s);
        const qint32 c = fx->addCustomer(u"quiet"_s, plan, ip);
        auto doc = newDoc();
        QCOMPARE(create(*doc, c, plan, ip), 39);
        QCOMPARE(codes, (QList<int>{29, 39}));
        const InvoiceRow inv = storedInvoice(doc->InvoiceNum());
        QCOMPARE(InvoiceAmountMismatches(inv, "Charge=0 Minimum=20 TaxableGross=20 NewCharges=20 "
                                              "TotalDue=20"),
                 QString());
        QCOMPARE(inv.Version, 1);
        QCOMPARE(inv.IdUser, c);
        // Frozen plan copies carry the invoice and the customer.
        const QString customer = u"IdUser = %1"_s.arg(c);
        QCOMPARE(rowsOf("BillingPlans", inv.InvoiceNum, customer + " AND Name = 'April'"), 1);
        QCOMPARE(rowsOf("InvoicePlans", inv.InvoiceNum, customer), 1);
        QCOMPARE(DbToSecondsOr0(inv.OpeningDate), F::at(2024, 4, 1));
        QCOMPARE(DbToSecondsOr0(inv.ClosingDate), F::at(2024, 5, 1));
        QCOMPARE(inv.BillingDate, DbFromDate(2024, 5, 2));
    }

    void minimumOrCharges_data() {
        QTest::addColumn<QString>("charges");
        QTest::addColumn<QString>("gross");
        QTest::newRow("below the minimum") << u"12.50"_s << u"20"_s;
        QTest::newRow("above the minimum") << u"25"_s << u"25"_s;
    }
    void minimumOrCharges() {
        QFETCH(QString, charges);
        QFETCH(QString, gross);
        const qint32 plan = aprilPlan("20");
        fx->attach(plan, fx->addCharge(F::fixed(u"Fee"_s, charges.toLatin1())));
        const qint32 ip = fx->addInvoicePlan(u"Plain"_s);
        const qint32 c = fx->addCustomer(u"min"_s, plan, ip);
        auto doc = newDoc();
        QCOMPARE(create(*doc, c, plan, ip), 39);
        QCOMPARE(InvoiceAmountMismatches(storedInvoice(doc->InvoiceNum()),
                                         "Charge=" + charges + " TaxableGross=" + gross +
                                             " NewCharges=" + gross),
                 QString());

        // Skip-first-invoice plans have no minimum on a customer's first invoice.
        db->execute("UPDATE BillingPlans SET Options = 1 WHERE Id = ?", {plan});
        UserRow u = fx->customer(c);
        u.GotFirstInvoice = false;
        fx->updateCustomer(u);
        auto first = newDoc();
        QCOMPARE(create(*first, c, plan, ip), 39);
        QCOMPARE(InvoiceAmountMismatches(first->Invoice(), "Minimum=0 TaxableGross=" + charges),
                 QString());
    }

    void balanceChain_data() {
        QTest::addColumn<qint32>("version");
        QTest::addColumn<bool>("prepaidOption");
        QTest::addColumn<QString>("amounts");
        // Earlier invoice: NewCharges 30, TotalDue 30, 20 of it paid (10 unpaid); new charges 10.
        // Current layout: balance 30 brought forward, 30 - 10 unpaid = 20 paid; due 10 + 30 - 20.
        QTest::newRow("current layout")
            << 1 << false << u"PrevBalance=30 Payments=20 Prepaid=0 TotalDue=20"_s;
        // Older layout: only what is unpaid is brought forward; no payments line.
        QTest::newRow("older layout")
            << 0 << false << u"PrevBalance=10 Payments=0 Prepaid=0 TotalDue=20"_s;
        // Older layout with the database-wide prepaid minimum of 5: TaxableGross 10 - 5.
        QTest::newRow("older layout, prepaid minimum")
            << 0 << true << u"PrevBalance=10 Payments=0 Prepaid=-5 TotalDue=15"_s;
    }
    void balanceChain() {
        QFETCH(qint32, version);
        QFETCH(bool, prepaidOption);
        QFETCH(QString, amounts);
        if (prepaidOption)
            db->execute("UPDATE DBInfo SET PrepaidMinimum = 1, MinimumPayment = ?",
                        {QVariant::fromValue(money("5"))});
        const qint32 plan = aprilPlan();
        fx->attach(plan, fx->addCharge(F::fixed(u"Fee"_s, "10")));
        const qint32 ip = fx->addInvoicePlan(u"Plain"_s);
        const qint32 c = fx->addCustomer(u"bal"_s, plan, ip);
        const qint32 other = fx->addCustomer(u"other"_s, plan, ip);
        addOldInvoice(c, version, "30", "30", "20");
        addOldInvoice(other, 1, "99", "99", "0"); // another customer's invoice counts for nothing

        auto doc = newDoc();
        QCOMPARE(create(*doc, c, plan, ip), 39);
        QCOMPARE(InvoiceAmountMismatches(storedInvoice(doc->InvoiceNum()), amounts), QString());
    }

    void prepayOfMinimumIsCreditedNextTime() {
        const qint32 plan = aprilPlan("15", true);
        fx->attach(plan, fx->addCharge(F::fixed(u"Fee"_s, "10")));
        const qint32 ip = fx->addInvoicePlan(u"Plain"_s);
        const qint32 c = fx->addCustomer(u"prepay"_s, plan, ip);

        auto first = newDoc();
        QCOMPARE(create(*first, c, plan, ip), 39);
        InvoiceRow inv = storedInvoice(first->InvoiceNum());
        // TaxableGross starts at the prepaid 15, then the larger of charges 10 and minimum 15.
        QCOMPARE(InvoiceAmountMismatches(inv, "Prepaying=15 Prepaid=0 TaxableGross=30"), QString());

        setPlanPeriod(plan, QDate(2024, 5, 1), QDate(2024, 6, 1));
        auto second = newDoc();
        QCOMPARE(create(*second, c, plan, ip), 39);
        inv = storedInvoice(second->InvoiceNum());
        // 15 prepaid again, -15 credit, then 15 minimum.
        QCOMPARE(InvoiceAmountMismatches(inv, "Prepaid=-15 Prepaying=15 TaxableGross=15"),
                 QString());

        // No prepay on the customer's last invoice.
        UserRow u = fx->customer(c);
        u.EndDate = DbFromDate(2024, 6, 20);
        fx->updateCustomer(u);
        setPlanPeriod(plan, QDate(2024, 6, 1), QDate(2024, 7, 1));
        auto last = newDoc();
        QCOMPARE(create(*last, c, plan, ip), 39);
        // TaxableGross -15 + 15.
        QCOMPARE(InvoiceAmountMismatches(last->Invoice(), "Prepaying=0 TaxableGross=0"), QString());
    }

    void creditInNextInvoiceCarriesOwnAmount() {
        // Two charges credited on the next invoice, neither first: each carries its own amount.
        const qint32 plan = aprilPlan();
        fx->attach(plan, fx->addCharge(F::fixed(u"Setup"_s, "10")));
        ChargeRow deposit = F::fixed(u"Deposit"_s, "25");
        deposit.Options = ChargeOption::CreditNextInvoice;
        fx->attach(plan, fx->addCharge(deposit));
        ChargeRow key = F::fixed(u"Key deposit"_s, "5");
        key.Options = ChargeOption::CreditNextInvoice;
        fx->attach(plan, fx->addCharge(key));
        const qint32 ip = fx->addInvoicePlan(u"Plain"_s);
        const qint32 c = fx->addCustomer(u"credit"_s, plan, ip);

        auto first = newDoc();
        QCOMPARE(create(*first, c, plan, ip), 39);
        QCOMPARE(
            InvoiceAmountMismatches(storedInvoice(first->InvoiceNum()), "Charge=40 Prepaying=30"),
            QString());

        setPlanPeriod(plan, QDate(2024, 5, 1), QDate(2024, 6, 1));
        auto second = newDoc();
        QCOMPARE(create(*second, c, plan, ip), 39);
        const InvoiceRow inv = storedInvoice(second->InvoiceNum());
        // TaxableGross -30 + 40.
        QCOMPARE(InvoiceAmountMismatches(inv, "Prepaid=-30 TaxableGross=10"), QString());
    }

    void negativeGrossGetsNoPlanLevelTax() {
        const qint32 plan = aprilPlan();
        fx->attach(plan, fx->addCharge(F::fixed(u"Fee"_s, "10")));
        fx->attach(plan, fx->addCharge(F::tax(u"VAT"_s, 19)));
        fx->attach(plan, fx->addCharge(F::surcharge(u"Handling"_s, 5)));
        const qint32 ip = fx->addInvoicePlan(u"Plain"_s);
        const qint32 c = fx->addCustomer(u"credit"_s, plan, ip);
        addOldInvoice(c, 1, "0", "0", "0", "50"); // 50 prepaid last time

        auto doc = newDoc();
        QCOMPARE(create(*doc, c, plan, ip), 39);
        const InvoiceRow inv = storedInvoice(doc->InvoiceNum());
        QCOMPARE(
            InvoiceAmountMismatches(inv, "Prepaid=-50 TaxableGross=-40 Taxes=0 NewCharges=-40"),
            QString());
        QCOMPARE(doc->Charges().size(), qsizetype(1)); // the fee only: no tax or surcharge copies
        QCOMPARE(rowsOf("Charges", inv.InvoiceNum), 1);
    }

    void completeInvoiceWorkedByHand() {
        // April 2024, minimum 30. Plan order: fee, evening, regular, overtime, traffic; VAT and
        // a local tax on the whole invoice; a 10 % discount on the fee. The connect-time charges
        // and sessions are the worked example of docs/billing.md.
        const qint32 plan = aprilPlan("30");
        const qint32 fee = fx->addCharge(F::fixed(u"Monthly fee"_s, "24.90"));
        ChargeRow evening = F::online(u"Evening"_s, "0.50");
        evening.FilterType = 1; // daily 18:00 - 08:00, premium hours only
        evening.FilterStart = 18 * 3600;
        evening.FilterEnd = 8 * 3600;
        evening.Options = ChargeOption::PremiumOnly;
        ChargeRow regular = F::online(u"Regular"_s, "1.00");
        regular.LimitEnd = 10 * 3600; // first 10 accumulated hours
        ChargeRow overtime = F::online(u"Overtime"_s, "2.00");
        overtime.LimitStart = 10 * 3600; // beyond 10 hours
        const qint32 discount = fx->addCharge(F::surcharge(u"Loyalty"_s, -10));
        fx->link(discount, fee);
        fx->attach(plan, fee);
        fx->attach(plan, fx->addCharge(evening));
        fx->attach(plan, fx->addCharge(regular));
        fx->attach(plan, fx->addCharge(overtime));
        fx->attach(plan, fx->addCharge(F::bytes(u"Traffic"_s, "0.10", 1000000)));
        fx->attach(plan, fx->addCharge(F::tax(u"VAT"_s, 19)));
        fx->attach(plan, fx->addCharge(F::tax(u"Local tax"_s, 2)));
        const qint32 ip = fx->addInvoicePlan(u"Detailed"_s, true);
        const qint32 c = fx->addCustomer(u"carol"_s, plan, ip);
        // Last invoice: 45.00 due, 40.00 of it paid.
        addOldInvoice(c, 1, "45", "45", "40");

        // Sessions:
        //  4 Apr 09:00-15:00 (6 h), 2,000,000 sent, 3,000,000 received
        //  5 Apr 17:00-21:00 (4 h),   500,000 sent, 1,500,000 received
        //  6 Apr 10:00-12:00 (2 h)
        //  31 Mar 20:00-23:00 and 1 May 00:30 (ended outside the period): not billed
        fx->addSession("carol", F::at(2024, 4, 4, 15), 6 * 3600, 2000000, 3000000);
        fx->addSession("carol", F::at(2024, 4, 5, 21), 4 * 3600, 500000, 1500000);
        fx->addSession("carol", F::at(2024, 4, 6, 12), 2 * 3600);
        fx->addSession("carol", F::at(2024, 3, 31, 23), 3 * 3600, 9000000, 0);
        fx->addSession("carol", F::at(2024, 5, 1, 0, 30), 3600, 9000000, 0);
        fx->addSession("dave", F::at(2024, 4, 4, 15), 3600, 9000000, 0);

        auto doc = newDoc();
        QCOMPARE(create(*doc, c, plan, ip), 39);
        QCOMPARE(codes, QList<int>{39});

        // Evening: 5 Apr 18:00-21:00 = 3 h x 0.50 = 1.50.
        // Regular counts every hour (evening hours too): 4 Apr 6 h (0 -> 6 h) charged 6 h;
        //   5 Apr 6 -> 10 h, of which only 17:00-18:00 is still chargeable: 1 h. 7 h x 1.00 = 7.00.
        // Overtime: 6 Apr 10 -> 12 h, 2 h x 2.00 = 4.00.
        // Traffic: 2.0 + 3.0 + 0.5 + 1.5 = 7 MB x 0.10 = 0.70.
        // Fee 24.90; discount -10 % of 24.90 = -2.49.
        // Charge = 24.90 - 2.49 + 1.50 + 7.00 + 4.00 + 0.70 = 35.61 (above the minimum 30).
        // VAT 19 % of 35.61 = 6.7659 -> 6.77; local tax 2 % = 0.7122 -> 0.71; Taxes 7.48.
        // NewCharges 35.61 + 7.48 = 43.09; TotalDue 43.09 + 45.00 - 40.00 = 48.09.
        struct Line {
            const char* name;
            qint32 type;
            qint32 quantity;
            const char* amount;
        };
        const Line expected[] = {
            {"Monthly fee", ChargeType::Fixed, 1, "24.90"},
            {"Loyalty", ChargeType::Surcharge, 0, "-2.49"},
            {"Evening", ChargeType::Online, 3 * 3600, "1.50"},
            {"Regular", ChargeType::Online, 7 * 3600, "7.00"},
            {"Overtime", ChargeType::Online, 2 * 3600, "4.00"},
            {"Traffic", ChargeType::ByteTraffic, 7000000, "0.70"},
            {"VAT", ChargeType::Tax, 0, "6.77"},
            {"Local tax", ChargeType::Tax, 0, "0.71"},
        };
        const QList<ChargeRow>& lines = doc->Charges();
        QCOMPARE(lines.size(), qsizetype(std::size(expected)));
        for (qsizetype i = 0; i < lines.size(); ++i) {
            QCOMPARE(lines[i].Name, QString::fromLatin1(expected[i].name));
            QCOMPARE(lines[i].Type, expected[i].type);
            QCOMPARE(lines[i].InvoicedQuantity, expected[i].quantity);
            QCOMPARE(lines[i].InvoicedAmount, money(expected[i].amount));
            QCOMPARE(lines[i].IdInvoice, doc->InvoiceNum());
        }
        // The keys are those of the stored copies, in the order they were added (some copies
        // learn theirs only when the invoice is finished).
        QList<qint32> ids, stored;
        for (const ChargeRow& line : lines)
            ids << line.Id;
        Statement st = db->prepare(u"SELECT Id FROM Charges WHERE IdInvoice = ? ORDER BY Id"_s);
        st.bind(1, doc->InvoiceNum());
        while (st.next())
            stored << st.value(0).toInt();
        QCOMPARE(ids, stored);
        // The discount applies to the fee copy, the taxes to the plan copy.
        QCOMPARE(lines[1].SGIdApplyTo, lines[0].Id);
        QCOMPARE(lines[1].ChargeAmount, money("24.90"));
        QCOMPARE(lines[6].SGIdApplyTo, doc->BillingPlan().Id);
        QCOMPARE(lines[6].ChargeAmount, money("35.61"));

        const InvoiceRow inv = storedInvoice(doc->InvoiceNum());
        QCOMPARE(InvoiceAmountMismatches(inv, "Charge=35.61 Minimum=30 TaxableGross=35.61 "
                                              "Taxes=7.48 NewCharges=43.09 PrevBalance=45 "
                                              "Payments=40 TotalDue=48.09 Prepaid=0 Prepaying=0"),
                 QString());
        // 6 + 4 + 2 = 12 h; bytes of the three April sessions.
        QCOMPARE(inv.TotalTimeHH, 12);
        QCOMPARE(inv.TotalTimeMM, qint16(0));
        QCOMPARE(inv.TotalTimeSS, qint16(0));
        QCOMPARE(inv.Sent, 2500000);
        QCOMPARE(inv.Received, 4500000);
        // The invoicing plan shows details: the sessions in disconnect order.
        QCOMPARE(doc->Sessions().size(), qsizetype(3));
        QCOMPARE(doc->Sessions()[0].Disconnect, F::at(2024, 4, 4, 15));
        QCOMPARE(doc->Sessions()[1].Duration, qint64(4 * 3600));
        QCOMPARE(doc->Sessions()[2].MemberId, c);
        // Stored copies equal the document's.
        QCOMPARE(rowsOf("Charges", inv.InvoiceNum), 8);
        QCOMPARE(count("SELECT COUNT(*) FROM Charges WHERE IdInvoice = 0"), 8); // templates
    }

    void threeInvoicesCarryBalancesAndBlocks() {
        // Connect time by whole hours at 1.00, the remainder carried to the next invoice.
        const qint32 plan = aprilPlan();
        ChargeRow hours = F::online(u"Hours"_s, "1.00");
        hours.Block = true;
        fx->attach(plan, fx->addCharge(hours));
        const qint32 ip = fx->addInvoicePlan(u"Plain"_s);
        const qint32 c = fx->addCustomer(u"ann"_s, plan, ip);
        fx->addSession("ann", F::at(2024, 4, 10, 12), 5400);
        fx->addSession("ann", F::at(2024, 5, 10, 12), 2700);
        fx->addSession("ann", F::at(2024, 6, 10, 12), 2700);

        // April: 5400 s = 1 hour billed, 1800 s carried. Due 1.00.
        auto april = newDoc();
        QCOMPARE(create(*april, c, plan, ip), 39);
        QCOMPARE(april->Charges()[0].InvoicedQuantity, 3600);
        QCOMPARE(april->Charges()[0].UnitAccum, 1800);
        const InvoiceRow a = storedInvoice(april->InvoiceNum());
        QCOMPARE(InvoiceAmountMismatches(a, "NewCharges=1 TotalDue=1"), QString());

        // May: 1800 + 2700 = 4500 s: 1 hour billed, 900 s carried. Nothing paid: 1.00 brought
        // forward, no payments, due 2.00.
        setPlanPeriod(plan, QDate(2024, 5, 1), QDate(2024, 6, 1));
        auto may = newDoc();
        QCOMPARE(create(*may, c, plan, ip), 39);
        QCOMPARE(may->Charges()[0].UnitAccum, 900);
        const InvoiceRow m = storedInvoice(may->InvoiceNum());
        QCOMPARE(InvoiceAmountMismatches(m, "PrevBalance=1 Payments=0 TotalDue=2"), QString());

        // April paid in full, 0.50 of May, and a payment row of 0.25 beyond the invoices.
        db->execute("UPDATE Invoices SET TotalPaid = ? WHERE InvoiceNum = ?",
                    {QVariant::fromValue(money("1")), a.InvoiceNum});
        db->execute("UPDATE Invoices SET TotalPaid = ? WHERE InvoiceNum = ?",
                    {QVariant::fromValue(money("0.5")), m.InvoiceNum});
        addOldInvoice(c, -2147483647, "0", "0", "0.25");

        // June: 900 + 2700 = 3600 s: 1 hour, nothing carried. Brought forward 2.00 (May's due);
        // still unpaid (1 - 1) + (1 - 0.5) + (0 - 0.25) = 0.25, so 1.75 was paid.
        // Due 1.00 + 2.00 - 1.75 = 1.25.
        setPlanPeriod(plan, QDate(2024, 6, 1), QDate(2024, 7, 1));
        auto june = newDoc();
        QCOMPARE(create(*june, c, plan, ip), 39);
        QCOMPARE(june->Charges()[0].UnitAccum, 0);
        const InvoiceRow j = storedInvoice(june->InvoiceNum());
        QCOMPARE(InvoiceAmountMismatches(j, "PrevBalance=2 Payments=1.75 NewCharges=1 "
                                            "TotalDue=1.25"),
                 QString());
    }

    void failureLeavesNothingAfterRollback_data() {
        QTest::addColumn<QString>("failure");
        QTest::addColumn<int>("code");
        QTest::newRow("fixed charge anchored at a missing start date") << "anchor" << 11;
        QTest::newRow("sessions cannot be read") << "events" << 9;
    }
    void failureLeavesNothingAfterRollback() {
        QFETCH(QString, failure);
        QFETCH(int, code);
        const qint32 plan = aprilPlan();
        fx->attach(plan, fx->addCharge(F::fixed(u"Fee"_s, "10")));
        ChargeRow weekly = F::fixed(u"Weekly"_s, "1");
        weekly.LimitType = 1; // every 7 days from the customer's start date
        weekly.LimitFilterEnd = 7;
        weekly.LimitFilterType = failure == "anchor" ? 2 : 0;
        fx->attach(plan, fx->addCharge(weekly));
        fx->attach(plan, fx->addCharge(F::online(u"Hours"_s, "1")));
        const qint32 ip = fx->addInvoicePlan(u"Plain"_s);
        const qint32 c = fx->addCustomer(u"half"_s, plan, ip, QDate());
        if (failure == "events")
            db->execute("ALTER TABLE Events RENAME TO EventsAway");

        db->beginTrans();
        auto doc = newDoc();
        QCOMPARE(create(*doc, c, plan, ip), code);
        // Rows of the failed computation exist until the caller rolls back (a server refuses
        // every reading in a transaction a statement has failed in).
        if (!TestOnPostgres() || failure != "events") {
            QCOMPARE(count("SELECT COUNT(*) FROM Invoices"), 1);
            QVERIFY(count("SELECT COUNT(*) FROM Charges WHERE IdInvoice <> 0") > 0);
        }
        db->rollback();

        QCOMPARE(count("SELECT COUNT(*) FROM Invoices"), 0);
        QCOMPARE(count("SELECT COUNT(*) FROM Charges WHERE IdInvoice <> 0"), 0);
        QCOMPARE(count("SELECT COUNT(*) FROM BillingPlans"), 1);
        QCOMPARE(count("SELECT COUNT(*) FROM InvoicePlans"), 1);
        QCOMPARE(codes.last(), code);
    }

    void summaryInvoiceOfGroupMembers() {
        const qint32 plan = aprilPlan("5");
        fx->attach(plan, fx->addCharge(F::online(u"Hours"_s, "2.00")));
        fx->attach(plan, fx->addCharge(F::tax(u"VAT"_s, 10)));
        const qint32 memberPlan = fx->addPlan(u"Members"_s, QDate(2024, 1, 1), QDate(2024, 2, 1));
        fx->attach(memberPlan, fx->addCharge(F::online(u"Member hours"_s, "1.00")));
        const qint32 ip = fx->addInvoicePlan(u"Detailed"_s, true);
        UserRow group;
        group.Username = u"Office"_s;
        group.IsGroup = true;
        group.GroupOptions = GroupOption::SummaryInvoice | GroupOption::SendSummaryToMembers;
        group.IdBillingPlan = plan;
        group.IdInvoicePlan = ip;
        group.GotFirstInvoice = true;
        const qint32 g = fx->addCustomer(group);
        const qint32 m1 = fx->addCustomer(u"m1"_s, memberPlan, ip);
        const qint32 m2 = fx->addCustomer(u"m2"_s, memberPlan, ip);
        UserRow left = fx->customer(fx->addCustomer(u"left"_s, memberPlan, ip));
        left.EndDate = DbFromDate(2024, 3, 1);
        fx->updateCustomer(left);
        fx->addSession("m1", F::at(2024, 4, 3, 12), 3600);
        fx->addSession("m2", F::at(2024, 4, 5, 12), 2 * 3600, 100, 200);
        fx->addSession("m2", F::at(2024, 4, 7, 12), 1800, 10, 20);
        fx->addSession("left", F::at(2024, 4, 7, 12), 3600);

        auto doc = newDoc();
        const DbDateTime date = DbFromDate(2024, 5, 2);
        QCOMPARE(doc->Create(g, plan, ip, date, true, true), 39);
        // Members are rated with their own plan's charges, in the group's period.
        QCOMPARE(doc->Create(m1, memberPlan, ip, date, false, true), 39);
        QCOMPARE(doc->Create(m2, memberPlan, ip, date, false, true), 39);
        QCOMPARE(doc->Create(left.Id, memberPlan, ip, date, false, true), 10);
        QVERIFY(!doc->Finish());
        QVERIFY(doc->Finish()); // once only

        // m1 1 h + m2 2.5 h at 1.00 = 3.50 (below minimum 5 -> 5); VAT 10 % of the group plan:
        // 0.50.
        const InvoiceRow inv = storedInvoice(doc->InvoiceNum());
        QCOMPARE(inv.IdUser, g);
        QCOMPARE(inv.Flags, 0x03);
        QCOMPARE(
            InvoiceAmountMismatches(inv, "Charge=3.50 TaxableGross=5 Taxes=0.50 TotalDue=5.50"),
            QString());
        // Session totals over all members: 3.5 h, 110 sent, 220 received.
        QCOMPARE(inv.TotalTimeHH, 3);
        QCOMPARE(inv.TotalTimeMM, qint16(30));
        QCOMPARE(inv.Sent, 110);
        QCOMPARE(inv.Received, 220);
        // The group itself, then each member billed.
        const QList<qint32> members{g, m1, m2};
        QCOMPARE(DecodeMemberList(inv.Users), members);
        // Stored as 32-bit little-endian integers.
        QByteArray bytes;
        for (const qint32 id : members)
            for (int shift = 0; shift < 32; shift += 8)
                bytes += char(id >> shift & 0xff);
        QCOMPARE(inv.Users, bytes);
        // Member copies carry the member, the group's own and the plan-level tax the group.
        for (const ChargeRow& ch : doc->Charges()) {
            if (ch.Name == "Member hours")
                QVERIFY(ch.IdUser == m1 || ch.IdUser == m2);
            else
                QCOMPARE(ch.IdUser, g);
        }
        QCOMPARE(rowsOf("Charges", inv.InvoiceNum, u"IdUser = %1"_s.arg(m2)), 1);

        // Loaded again: the members' sessions, each with its member.
        CInvoiceDoc loaded(*db);
        QCOMPARE(loaded.Load(inv.InvoiceNum), 0);
        QVERIFY(loaded.IsSummary());
        QCOMPARE(loaded.Members(), members);
        QCOMPARE(loaded.Sessions().size(), qsizetype(3));
        QCOMPARE(loaded.Sessions()[0].MemberId, m1);
        QCOMPARE(loaded.Sessions()[2].MemberId, m2);
    }

    void loadRoundTripAndDocumentFiles() {
        CRecordingUi ui;
        const qint32 plan = aprilPlan("1");
        const qint32 fee = fx->addCharge(F::fixed(u"Fee"_s, "10"));
        fx->attach(plan, fee);
        fx->link(fx->addCharge(F::tax(u"Fee tax"_s, 7)), fee);
        fx->attach(plan, fx->addCharge(F::online(u"Hours"_s, "1")));
        const qint32 ip = fx->addInvoicePlan(u"Detailed"_s, true);
        const qint32 c = fx->addCustomer(u"eve"_s, plan, ip);
        fx->addSession("eve", F::at(2024, 4, 3, 12), 3600, 5, 6);
        fx->addSession("eve", F::at(2024, 4, 2, 12), 60, 1, 2);

        auto made = newDoc();
        QCOMPARE(create(*made, c, plan, ip), 39);
        const qint32 num = made->InvoiceNum();

        // Later edits of templates do not change the invoice.
        db->execute("UPDATE Charges SET Name = 'Changed' WHERE IdInvoice = 0");
        db->execute("UPDATE InvoicePlans SET ShowDetails = 0 WHERE IdInvoice = 0");

        CInvoiceDoc doc(*db);
        QCOMPARE(doc.OpenDocumentFile(u"/some/folder/%1"_s.arg(CInvoiceDoc::DocumentFileName(num))),
                 0);
        QVERIFY(ui.statusTexts.contains(u"Loading invoice for eve..."_s));
        QCOMPARE(ui.statusTexts.last(), QString());
        QCOMPARE(doc.Invoice(), storedInvoice(num));
        QCOMPARE(doc.RecordCustomer().Username, u"eve"_s);
        QCOMPARE(doc.BillingPlan(), made->BillingPlan());
        QCOMPARE(doc.InvoicePlan(), made->InvoicePlan());
        QCOMPARE(doc.Charges().size(), made->Charges().size());
        for (qsizetype i = 0; i < doc.Charges().size(); ++i) {
            QCOMPARE(doc.Charges()[i].Name, made->Charges()[i].Name);
            QCOMPARE(doc.Charges()[i].InvoicedAmount, made->Charges()[i].InvoicedAmount);
        }
        QCOMPARE(doc.Sessions(), made->Sessions());
        QCOMPARE(doc.Sessions().size(), qsizetype(2));
        QCOMPARE(doc.PeriodStart(), F::at(2024, 4, 1));
        QCOMPARE(doc.PeriodEnd(), F::at(2024, 5, 1));
        QVERIFY(!doc.IsSummary());

        // Sending with another invoicing plan: that plan decides on the details.
        InvoicePlanRow other;
        other.Name = u"Short"_s;
        QCOMPARE(doc.Load(num, &other), 0);
        QCOMPARE(doc.InvoicePlan().Name, u"Short"_s);
        QVERIFY(doc.Sessions().isEmpty());

        // Names that are no invoice number, and numbers that are no invoice.
        doc.SetReporter([this](const RatingReport& r) { codes.append(r.code); });
        codes.clear();
        QCOMPARE(doc.OpenDocumentFile(u"notes.inv"_s), 14);
        QCOMPARE(doc.Load(num + 100), 14);
        QCOMPARE(codes, (QList<int>{14, 14}));
        QCOMPARE(doc.Invoice().InvoiceNum, 0);
    }

    void loadRefusesOtherLayouts_data() {
        QTest::addColumn<qint32>("version");
        QTest::addColumn<int>("code");
        QTest::newRow("older layout") << 0 << 23;
        QTest::newRow("payment row") << -2147483647 << 24;
        QTest::newRow("balance adjustment") << -1 << 24;
    }
    void loadRefusesOtherLayouts() {
        QFETCH(qint32, version);
        QFETCH(int, code);
        const qint32 c = fx->addCustomer(u"old"_s);
        const qint32 num = addOldInvoice(c, version, "30", "30", "0");
        fx->addSession("old", F::at(2024, 3, 5), 60);
        auto doc = newDoc();
        QCOMPARE(doc->Load(num), code);
        QCOMPARE(codes, QList<int>{code});
        // Nothing to show.
        QCOMPARE(doc->Invoice().InvoiceNum, 0);
        QVERIFY(doc->Charges().isEmpty());
        QVERIFY(doc->Sessions().isEmpty());
        QVERIFY(doc->RecordCustomer().Username.isEmpty());
    }

    void invoiceNumberFromFileName_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("number"); // 0: none
        QTest::newRow("plain") << "12.inv" << 12;
        QTest::newRow("with folder") << "/tmp/x/4711.inv" << 4711;
        QTest::newRow("no extension") << "7" << 7;
        QTest::newRow("zero") << "0.inv" << 0;
        QTest::newRow("negative") << "-3.inv" << 0;
        QTest::newRow("text") << "invoice.inv" << 0;
        QTest::newRow("mixed") << "12a.inv" << 0;
        QTest::newRow("two dots") << "12.1.inv" << 0;
        QTest::newRow("too large") << "99999999999.inv" << 0;
        QTest::newRow("empty") << "" << 0;
    }
    void invoiceNumberFromFileName() {
        QFETCH(QString, name);
        QFETCH(int, number);
        const auto n = CInvoiceDoc::InvoiceNumberFromFileName(name);
        QCOMPARE(n.value_or(0), number);
        if (number)
            QCOMPARE(CInvoiceDoc::DocumentFileName(number), u"%1.inv"_s.arg(number));
    }

    void deleteRemovesInvoiceAndCopies() {
        const qint32 plan = aprilPlan();
        const qint32 fee = fx->addCharge(F::fixed(u"Fee"_s, "10"));
        fx->attach(plan, fee);
        fx->link(fx->addCharge(F::tax(u"Tax"_s, 10)), fee);
        const qint32 ip = fx->addInvoicePlan(u"Plain"_s);
        const qint32 c = fx->addCustomer(u"del"_s, plan, ip);
        auto one = newDoc();
        QCOMPARE(create(*one, c, plan, ip), 39);
        auto two = newDoc();
        QCOMPARE(create(*two, c, plan, ip), 39);

        CInvoiceDoc doc(*db);
        QVERIFY(!doc.Delete(one->InvoiceNum()));
        QCOMPARE(count("SELECT COUNT(*) FROM Invoices"), 1);
        QCOMPARE(rowsOf("Charges", one->InvoiceNum()), 0);
        QCOMPARE(rowsOf("BillingPlans", one->InvoiceNum()), 0);
        QCOMPARE(rowsOf("InvoicePlans", one->InvoiceNum()), 0);
        // The other invoice and the templates stay.
        QCOMPARE(rowsOf("Charges", two->InvoiceNum()), 2);
        QCOMPARE(count("SELECT COUNT(*) FROM Charges WHERE IdInvoice = 0"), 2);
        QCOMPARE(count("SELECT COUNT(*) FROM BillingPlans WHERE IdInvoice = 0"), 1);

        // A missing invoice is a failure; so is one whose copies cannot be deleted, and then
        // nothing of it is deleted.
        QVERIFY(doc.Delete(one->InvoiceNum()));
        QVERIFY(!doc.LastError().isEmpty());
        RefuseDeletes(*db, u"InvoicePlans"_s, u"1 = 1"_s, u"locked"_s);
        QVERIFY(doc.Delete(two->InvoiceNum()));
        QVERIFY(doc.LastError().contains("locked"));
        QCOMPARE(db->transactionDepth(), 0);
        QCOMPARE(count("SELECT COUNT(*) FROM Invoices"), 1);
        QCOMPARE(rowsOf("Charges", two->InvoiceNum()), 2);
    }

    void outcomesAreLoggedUnderBilledCustomer() {
        theRegistry().close();
        QVERIFY(theRegistry().open());
        QVERIFY(RegWriteText(Reg::LogFileName, folders->filePath("Tollk.log")));
        theLog().reset();
        CLogLines log;

        const qint32 plan = aprilPlan();
        const qint32 ip = fx->addInvoicePlan(u"Plain"_s);
        UserRow group;
        group.Username = u"Team"_s;
        group.IsGroup = true;
        const qint32 g = fx->addCustomer(group);
        UserRow member = fx->customer(fx->addCustomer(u"member1"_s, plan, ip));
        member.EndDate = DbFromDate(2024, 1, 1);
        fx->updateCustomer(member);
        const qint32 c = fx->addCustomer(u"frank"_s, plan, ip);

        CInvoiceDoc doc(*db);
        QCOMPARE(doc.Create(c, plan, ip, DbFromDate(2024, 5, 2), true, false), 39);
        CInvoiceDoc summary(*db);
        QCOMPARE(summary.Create(g, plan, ip, DbFromDate(2024, 5, 2), true, true), 39);
        QCOMPARE(summary.Create(member.Id, plan, ip, DbFromDate(2024, 5, 2), false, true), 10);
        CInvoiceDoc missing(*db);
        QCOMPARE(missing.Create(4242, plan, ip, DbFromDate(2024, 5, 2), true, false), 15);

        const QStringList expected{
            "frank|WARNING|" + ResultText(29), "frank|SUCCESS|" + ResultText(39),
            "Team|WARNING|" + ResultText(29),  "Team|SUCCESS|" + ResultText(39),
            "member1|ERROR|" + ResultText(10), "Unknown customer|ERROR|" + ResultText(15),
        };
        QCOMPARE(log.messages(), expected);
        QVERIFY(theLog().problem());
        theLog().reset();
        theRegistry().close();
    }

private:
    // The April 2024 plan used by most cases, with the given minimum.
    qint32 aprilPlan(const char* minimum = "0", bool prepay = false) {
        return fx->addPlan(u"April"_s, QDate(2024, 4, 1), QDate(2024, 5, 1), minimum, prepay);
    }
    // A new document reporting into `codes`.
    std::unique_ptr<CInvoiceDoc> newDoc() {
        auto doc = std::make_unique<CInvoiceDoc>(*db);
        doc->SetReporter([this](const RatingReport& r) { codes.append(r.code); });
        return doc;
    }
    int create(CInvoiceDoc& doc, qint32 customer, qint32 plan, qint32 invoicePlan) {
        return doc.Create(customer, plan, invoicePlan, DbFromDate(2024, 5, 2), true, false);
    }
    InvoiceRow storedInvoice(qint32 num) {
        CInvoiceRecord rec(*db);
        return rec.findByNumber(num) ? rec.row() : InvoiceRow();
    }
    int count(const QString& sql) { return db->scalar(sql).toInt(); }
    // Rows of `table` that belong to invoice `num` (and meet the condition `also`).
    int rowsOf(const char* table, qint32 num, const QString& also = QString()) {
        return count(u"SELECT COUNT(*) FROM %1 WHERE IdInvoice = %2"_s.arg(table).arg(num) +
                     (also.isEmpty() ? QString() : " AND " + also));
    }
    void setPlanPeriod(qint32 plan, const QDate& start, const QDate& end) {
        db->execute(
            u"UPDATE BillingPlans SET StartDate = ?, EndDate = ? WHERE Id = ?"_s,
            {QVariant::fromValue(DbFromLocal(start)), QVariant::fromValue(DbFromLocal(end)), plan});
    }
    // An earlier invoice of `customer` written directly (as payment handling leaves it).
    qint32 addOldInvoice(qint32 customer, qint32 version, const char* newCharges,
                         const char* totalDue, const char* totalPaid, const char* prepaying = "0") {
        InvoiceRow r;
        r.IdUser = customer;
        r.Version = version;
        r.NewCharges = money(newCharges);
        r.TotalDue = money(totalDue);
        r.TotalPaid = money(totalPaid);
        r.Prepaying = money(prepaying);
        r.OpeningDate = DbFromDate(2024, 3, 1);
        r.ClosingDate = DbFromDate(2024, 4, 1);
        r.BillingDate = DbFromDate(2024, 4, 2);
        CInvoiceRecord rec(*db);
        rec.openWhere(u"[InvoiceNum] = ?"_s, {0});
        rec.addNew();
        rec = r;
        rec.update();
        return qint32(rec.lastAddedKey());
    }

    std::unique_ptr<CTestFolders> folders;
    std::unique_ptr<Database> db;
    std::unique_ptr<CBillingFixture> fx;
    QList<int> codes;
};

QTEST_GUILESS_MAIN(TestInvoiceDoc)
#include "tst_invoicedoc.moc"
