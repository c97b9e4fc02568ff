// Payments, payments taken back, invoice deletion and the purge on real database files: the
// amounts each invoice receives, the payment row of an excess, the rows a purge leaves at the
// boundary of its day, what a deletion removes, and the operation-log line of each change.
#include "common/billingfixture.h"
#include "common/loglines.h"
#include "common/recordingui.h"
#include "common/testfolders.h"
#include "core/app/dbsession.h"
#include "core/app/registrystore.h"
#include "core/app/settingsvalues.h"
#include "core/db/database.h"
#include "core/db/datetimeutil.h"
#include "core/db/schema.h"
#include "core/jobs/balances.h"
#include "core/jobs/purge.h"

#include <QtTest>

namespace {

using F = CBillingFixture;

QStringList amounts(const QString& commaList) {
    return commaList.split(u',', Qt::SkipEmptyParts);
}

} // namespace

class TestMaintenance : public QObject {
    Q_OBJECT

    std::unique_ptr<CTestFolders> m_folders;
    std::unique_ptr<CRecordingUi> m_ui;
    std::unique_ptr<CDatabaseSession> m_session;
    std::unique_ptr<CLogLines> m_log;
    qint32 m_ann = 0;

    Database& db() { return *m_session->database(); }
    qint32 addInvoice(const char* newCharges, const char* paid, const QDate& closing = {2024, 5, 1},
                      const char* totalDue = nullptr) {
        db().execute("INSERT INTO Invoices (IdUser, ClosingDate, NewCharges, TotalDue, TotalPaid) "
                     "VALUES (?, ?, ?, ?, ?)",
                     {m_ann, QVariant::fromValue(DbFromLocal(closing)),
                      QVariant::fromValue(F::money(newCharges)),
                      QVariant::fromValue(F::money(totalDue ? totalDue : newCharges)),
                      QVariant::fromValue(F::money(paid))});
        return qint32(db().lastInsertId());
    }
    // A plan, an invoicing plan and two charges frozen for invoice n.
    void addCopies(qint32 n) {
        db().execute("INSERT INTO BillingPlans (Name, IdInvoice, IdUser) VALUES ('p', ?, ?)",
                     {n, m_ann});
        db().execute("INSERT INTO InvoicePlans (Name, IdInvoice, IdUser) VALUES ('i', ?, ?)",
                     {n, m_ann});
        for (int i = 0; i < 2; ++i)
            db().execute("INSERT INTO Charges (Name, IdInvoice, IdUser) VALUES ('c', ?, ?)",
                         {n, m_ann});
    }
    QString paidOf(const QList<qint32>& numbers) {
        QStringList out;
        for (const BalanceLine& l : LoadBalanceLines(db(), numbers))
            out << l.totalPaid.format(2);
        return out.join(u',');
    }
    qint64 count(const QString& sql) { return db().scalar(sql).toLongLong(); }

private slots:
    void init() {
        m_folders = std::make_unique<CTestFolders>();
        theRegistry().close();
        QVERIFY(theRegistry().open());
        QVERIFY(RegWriteText(Reg::LogFileName, m_folders->filePath("Tollk.log")));
        QVERIFY(RegWriteYesNo(Reg::SuppressDatabasePrompt, true));
        theLog().reset();
        // Records of money and removed data are written with logging off too.
        theLog().setLoggingEnabled(false, false);
        m_log = std::make_unique<CLogLines>();
        m_ui = std::make_unique<CRecordingUi>();
        const QString path = m_folders->filePath("money.db");
        CreateNewDatabase(path);
        m_session = std::make_unique<CDatabaseSession>();
        QVERIFY(m_session->openAtStartup(path));
        m_ann = F(db()).addCustomer("ann");
    }
    void cleanup() {
        m_session.reset();
        m_log.reset();
        m_ui.reset();
        theLog().reset();
        theRegistry().close();
        m_folders.reset();
    }

    void pay_data() {
        QTest::addColumn<QString>("charges"); // NewCharges of each invoice
        QTest::addColumn<QString>("paidBefore");
        QTest::addColumn<QList<int>>("selected"); // indexes
        QTest::addColumn<QString>("amount");
        QTest::addColumn<QString>("paidAfter");
        QTest::addColumn<QString>("excess"); // payment row's TotalPaid, empty: none
        QTest::newRow("exact") << "10,20"
                               << "0,5" << QList<int>{0, 1} << "25"
                               << "10.00,20.00"
                               << "";
        QTest::newRow("excess") << "10,20"
                                << "0,0" << QList<int>{0, 1} << "40.5"
                                << "10.00,20.00"
                                << "10.50";
        QTest::newRow("part of the only one") << "30,7"
                                              << "2,0" << QList<int>{0} << "12.5"
                                              << "14.50,0.00"
                                              << "";
        QTest::newRow("nothing outstanding gets nothing")
            << "10,5,-3,8"
            << "10,0,0,9" << QList<int>{0, 1, 2, 3} << "6"
            << "10.00,5.00,0.00,9.00"
            << "1.00";
        QTest::newRow("short of several") << "10,10,10"
                                          << "0,0,0" << QList<int>{0, 1, 2} << "15"
                                          << "10.00,5.00,0.00"
                                          << "";
        QTest::newRow("zero refused") << "10"
                                      << "0" << QList<int>{0} << "0"
                                      << "0.00"
                                      << "";
    }
    void pay() {
        QFETCH(QString, charges);
        QFETCH(QString, paidBefore);
        QFETCH(QList<int>, selected);
        QFETCH(QString, amount);
        QFETCH(QString, paidAfter);
        QFETCH(QString, excess);
        QList<qint32> all, chosen;
        const QStringList c = amounts(charges), p = amounts(paidBefore);
        for (int i = 0; i < c.size(); ++i)
            all << addInvoice(qPrintable(c[i]), qPrintable(p[i]));
        for (int i : selected)
            chosen << all[i];
        const Currency paid = F::money(qPrintable(amount));
        const BalanceChange r = PayInvoices(db(), m_ann, chosen, paid, QDate(2024, 6, 3));
        QCOMPARE(paidOf(all), paidAfter);
        const QVariant row =
            db().scalar("SELECT TotalPaid FROM Invoices WHERE Version = ?", {kPaymentRowVersion});
        QCOMPARE(row.isValid() ? row.value<Currency>().format(2) : QString(), excess);
        if (paid == Currency()) {
            QCOMPARE(r.error, QString("Enter an amount paid."));
            QVERIFY(m_log->lines.isEmpty());
            return;
        }
        QVERIFY2(!r.failed(), qPrintable(r.message()));
        QCOMPARE(r.applied + r.excess, paid);
        if (!excess.isEmpty()) {
            const auto lines = LoadBalanceLines(db(), QList<qint32>{r.paymentRow});
            QCOMPARE(DbToDate(lines.value(0).closingDate), QDate(2024, 6, 3));
            QCOMPARE(lines.value(0).newCharges, Currency());
        }
        QCOMPARE(m_log->lines.size(), 1);
        QCOMPARE(m_log->lines[0].name, QString("ann"));
        QVERIFY(
            m_log->lines[0].message.startsWith("Payment of " + paid.format(CurrencyDecimals())));
    }

    void unpayAfterSeveralPaymentsAndRefusals() {
        const qint32 n = addInvoice("30", "0");
        const qint32 other = F(db()).addCustomer("bob");
        QVERIFY(!PayInvoices(db(), m_ann, {n}, F::money("10")).failed());
        QVERIFY(!PayInvoices(db(), m_ann, {n}, F::money("5")).failed());
        QCOMPARE(paidOf({n}), QString("15.00"));
        // Another customer's invoice, or one that is not there, changes nothing.
        QVERIFY(PayInvoices(db(), other, {n}, F::money("5")).error.contains("not one of bob's"));
        QVERIFY(UnpayInvoices(db(), {n, 9999}).failed());
        QCOMPARE(paidOf({n}), QString("15.00"));
        QVERIFY(!UnpayInvoices(db(), {n}).failed());
        QCOMPARE(paidOf({n}), QString("0.00"));
        QCOMPARE(UnpaidBalance(LoadBalanceLines(db(), m_ann)), F::money("30"));
        QVERIFY(m_log->messages().last().startsWith("ann|SUCCESS|Marked unpaid: invoice"));
    }

    void deleteRemovesItsCopiesOnly() {
        const qint32 a = addInvoice("10", "0"), b = addInvoice("20", "20");
        addCopies(a);
        addCopies(b);
        F(db()).addPlan("Template", {2024, 1, 1}, {2025, 1, 1});
        const auto copies = [&](qint32 n) {
            return count(QString("SELECT (SELECT COUNT(*) FROM BillingPlans WHERE IdInvoice = %1) "
                                 "+ (SELECT COUNT(*) FROM InvoicePlans WHERE IdInvoice = %1) + "
                                 "(SELECT COUNT(*) FROM Charges WHERE IdInvoice = %1)")
                             .arg(n));
        };
        // All or none: a missing number keeps the one that is there.
        QVERIFY(DeleteInvoices(db(), {a, 777}).error.contains("777"));
        QCOMPARE(copies(a), 4);
        QVERIFY(!DeleteInvoices(db(), {a}).failed());
        QCOMPARE(copies(a), 0);
        QCOMPARE(copies(b), 4);
        QCOMPARE(count("SELECT COUNT(*) FROM BillingPlans WHERE IdInvoice = 0"), 1);
        QCOMPARE(count("SELECT COUNT(*) FROM Invoices"), 1);
        QCOMPARE(m_log->messages().last(),
                 QString("ann|SUCCESS|Deleted invoice %1 (new charges 10.00, paid 0.00).").arg(a));
    }

    void purgeAtTheDaysMidnight() {
        const QString sessions = "SELECT group_concat(Sent) FROM Events";
        F fx(db());
        fx.addSession("ann", F::at(1998, 12, 30, 23, 59, 59), 60, 1);
        fx.addSession("ann", F::at(1998, 12, 31), 60, 2);
        fx.addSession("ann", F::at(1998, 12, 31, 0, 0, 1), 60, 3);
        const qint32 paid = addInvoice("10", "10", {1998, 12, 31});
        addCopies(paid);
        addInvoice("10", "4", {1998, 12, 31});       // not paid in full
        addInvoice("10", "10", {1999, 1, 1});        // closed later
        addInvoice("10", "10", {1998, 12, 1}, "15"); // paid its charges, not its total
        const qint64 before = count("SELECT COUNT(*) FROM Invoices");

        // Nothing chosen, or the question answered No: nothing goes.
        QCOMPARE(RunPurge(*m_session, {1998, 12, 31}, 0), int(SystemResult::Cancelled));
        QVERIFY(m_ui->hasMessage("Please select which types of records you wish to purge."));
        QVERIFY(m_ui->questions.isEmpty());
        QCOMPARE(RunPurge(*m_session, {1998, 12, 31}, PurgeKind::Sessions), 1223);
        QVERIFY(m_ui->questions.last().text.startsWith(
            "This will remove records up to and including 12/31/1998.  The process is"));
        QCOMPARE(db().scalar(sessions).toString(), QString("1,2,3"));

        m_ui->queueAnswers({true, true});
        QCOMPARE(RunPurge(*m_session, {1998, 12, 31}, PurgeKind::Sessions), 0);
        QCOMPARE(db().scalar(sessions).toString(), QString("3"));
        QCOMPARE(count("SELECT COUNT(*) FROM Invoices"), before);
        PurgeOutcome outcome;
        QCOMPARE(RunPurge(*m_session, {1998, 12, 31}, PurgeKind::Invoices, &outcome), 0);
        QCOMPARE(outcome.invoices, QList<qint32>{paid});
        QCOMPARE(count("SELECT COUNT(*) FROM Invoices"), before - 1);
        QCOMPARE(count("SELECT COUNT(*) FROM Charges WHERE IdInvoice = " + QString::number(paid)),
                 2);
        QCOMPARE(m_ui->statusTexts.last(), QString("Done"));
        QCOMPARE(m_log->messages().last(),
                 QString("Purge|SUCCESS|Removed records up to and including 12/31/1998: paid "
                         "invoices 1 (%1; new charges 10.00).")
                     .arg(paid));
    }
};

QTEST_GUILESS_MAIN(TestMaintenance)
#include "tst_maintenance.moc"
