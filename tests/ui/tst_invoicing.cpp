// The invoicing windows offscreen on a real database: "Generate Invoice", the "Commit Invoices"
// decision of a group run (discard, keep and send), the paged invoice list, and the invoices
// browser's filters, Enter, Delete and its reopening at start.
#include "common/billingfixture.h"
#include "common/modalwatcher.h"
#include "common/recordingprinter.h"
#include "common/recordingui.h"
#include "common/testfolders.h"
#include "core/app/dbsession.h"
#include "core/app/operationlog.h"
#include "core/app/registrystore.h"
#include "core/app/settingsvalues.h"
#include "core/db/database.h"
#include "core/db/datetimeutil.h"
#include "core/db/schema.h"
#include "core/invoice/invoicelistdoc.h"
#include "ui/app/mainframe.h"
#include "ui/invoice/commitinvoicesdlg.h"
#include "ui/invoice/customercombo.h"
#include "ui/invoice/generateinvoicedlg.h"
#include "ui/invoice/guiinvoiceruns.h"
#include "ui/invoice/invoicebrowser.h"
#include "ui/invoice/invoiceframe.h"
#include "ui/invoice/invoicelistmodel.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QMdiArea>
#include <QTableView>
#include <QTextBrowser>
#include <QTreeWidget>
#include <QtTest>

class TestInvoicing : public QObject {
    Q_OBJECT

    std::unique_ptr<CTestFolders> folders;
    std::unique_ptr<CRecordingUi> rec;
    std::unique_ptr<CDatabaseSession> session;
    std::unique_ptr<CBillingFixture> fx;
    CRecordingPrinter printer;
    Database* db = nullptr;
    qint32 before = 0, group = 0, ann = 0, bob = 0;

    int count(const QString& sql) { return db->scalar(sql).toInt(); }
    QList<qint32> numbers(const QString& where = QStringLiteral("1")) {
        QList<qint32> out;
        Statement st =
            db->prepare("SELECT InvoiceNum FROM Invoices WHERE " + where + " ORDER BY InvoiceNum");
        while (st.next())
            out << st.value(0).toInt();
        return out;
    }
    // A group run whose commit dialog `answer` decides; the dialog's lists are kept.
    void groupRun(std::function<void(CCommitInvoicesDlg*)> answer) {
        CModalWatcher watcher([&](QWidget* w) {
            if (auto* dlg = qobject_cast<CCommitInvoicesDlg*>(w)) {
                for (int i = 0; i < dlg->invoiceList()->topLevelItemCount(); ++i)
                    listed << dlg->invoiceList()->topLevelItem(i)->text(1);
                logged = dlg->logList()->topLevelItemCount();
                answer(dlg);
            }
        });
        QVERIFY(!RunGroupInvoices(*db, nullptr, fx->customer(group), DbFromDate(2024, 5, 2)));
    }
    QStringList listed;
    int logged = 0;

private slots:
    void init() {
        folders = std::make_unique<CTestFolders>();
        QVERIFY(theRegistry().open());
        QVERIFY(RegWriteText(Reg::LogFileName, folders->filePath("Tollk.log")));
        theLog().reset();
        theLog().setLoggingEnabled(true, false);
        const QString path = folders->filePath(QStringLiteral("office.db"));
        CreateNewDatabase(path);
        rec = std::make_unique<CRecordingUi>();
        session = std::make_unique<CDatabaseSession>();
        CDatabaseSession::StartupOptions startup;
        startup.confirmPath = startup.rememberPath = startup.createDefault = false;
        QVERIFY(session->openAtStartup(path, startup));
        db = session->database();
        fx = std::make_unique<CBillingFixture>(*db);
        const qint32 bp =
            fx->addPlan(QStringLiteral("April"), QDate(2024, 4, 1), QDate(2024, 5, 1));
        fx->attach(bp, fx->addCharge(CBillingFixture::fixed(QStringLiteral("Fee"), "10")));
        InvoicePlanRow printed;
        printed.Name = QStringLiteral("Printed");
        printed.PrintOnCreate = true;
        const qint32 ip = fx->addInvoicePlan(printed);
        UserRow g;
        g.Username = QStringLiteral("Sales");
        g.IsGroup = true;
        g.ActiveStatus = 1;
        group = fx->addCustomer(g);
        ann = fx->addCustomer(QStringLiteral("ann"), bp, ip);
        bob = fx->addCustomer(QStringLiteral("bob"), bp, ip);
        for (qint32 member : {ann, bob}) {
            db->execute("INSERT INTO UserGroupJoin (GroupId, UserLinkId) VALUES (?, ?)",
                        {group, member});
            db->execute("UPDATE Users SET GotFirstInvoice = 0 WHERE Id = ?", {member});
        }
        // An invoice from before the run, which no decision of the run may touch.
        const qint32 carl = fx->addCustomer(QStringLiteral("carl"), bp, ip);
        QVERIFY(!RunCustomerInvoice(*db, fx->customer(carl), DbFromDate(2024, 5, 2), false, 0, 0));
        before = numbers().value(0);
        QVERIFY(before > 0);
        SetDefaultInvoicePrinter(&printer);
        printer.jobs.clear();
        listed.clear();
    }
    void cleanup() {
        SetDefaultInvoicePrinter(nullptr);
        fx.reset();
        session.reset();
        rec.reset();
        theLog().reset();
        theRegistry().close();
        folders.reset();
    }

    // Cancel asks first (No keeps the dialog open); the run's invoices, and their frozen
    // copies, go; the earlier invoice and the members' first-invoice state stay.
    void discardDeletesExactlyTheRunsInvoices() {
        const int copiesBefore = count("SELECT COUNT(*) FROM Charges WHERE IdInvoice <> 0");
        QString shownFormatted, shownPlain;
        int rejects = 0;
        rec->queueAnswers({false, true});
        groupRun([&](CCommitInvoicesDlg* dlg) {
            if (rejects == 0) {
                shownFormatted = dlg->invoiceView()->toPlainText();
                dlg->plainTextBox()->setChecked(true);
                shownPlain = dlg->invoiceView()->toPlainText();
            }
            ++rejects;
            dlg->reject();
        });
        QCOMPARE(rejects, 2);
        QCOMPARE(rec->questions.size(), 2);
        QCOMPARE(rec->questions[0].text,
                 QStringLiteral("Are you sure you do not want to keep or send the new invoices?"));
        QCOMPARE(listed, QStringList({"ann", "bob", "ann", "bob"}));
        QVERIFY(logged >= 2); // one outcome per member at least
        QVERIFY(shownPlain.contains(QStringLiteral("ann")));
        QVERIFY(!shownFormatted.isEmpty() && shownFormatted != shownPlain);
        QCOMPARE(numbers(), QList<qint32>{before});
        QCOMPARE(count("SELECT COUNT(*) FROM Charges WHERE IdInvoice <> 0"), copiesBefore);
        QVERIFY(!fx->customer(ann).GotFirstInvoice && !fx->customer(bob).GotFirstInvoice);
        QVERIFY(printer.jobs.isEmpty());
    }

    // Send can be checked only while Keep is; keep and send keeps and prints every new invoice.
    void keepAndSend() {
        groupRun([&](CCommitInvoicesDlg* dlg) {
            dlg->keepBox()->setChecked(false);
            QVERIFY(!dlg->sendBox()->isEnabled());
            dlg->keepBox()->setChecked(true);
            QVERIFY(dlg->sendBox()->isEnabled());
            dlg->sendBox()->setChecked(true);
            rec->queueAnswer(true);
            dlg->accept();
        });
        QVERIFY(rec->hasQuestion(
            QStringLiteral("Are you sure you want to keep and send the new invoices?")));
        const QList<qint32> kept = numbers(QStringLiteral("InvoiceNum > %1").arg(before));
        QCOMPARE(kept.size(), 2);
        QCOMPARE(printer.jobs.size(), 2);
        QCOMPARE(printer.jobs[0].invoiceNum, kept[0]);
        QCOMPARE(printer.jobs[1].invoiceNum, kept[1]);
        QVERIFY(fx->customer(ann).GotFirstInvoice && fx->customer(bob).GotFirstInvoice);
    }

    // "Generate Invoice" refuses a missing plan, a bad date and a customer that is gone, each
    // with its message; accepted with "Send upon completion", the invoice is kept and sent.
    void generateInvoiceRefusesThenRunsAndSends() {
        CGenerateInvoiceDlg dlg(*db, fx->customer(ann));
        dlg.billingPlanList()->setCurrentIndex(0); // "None"
        dlg.accept();
        QVERIFY(rec->hasMessage(QStringLiteral("Please choose a billing plan to use.")));
        dlg.billingPlanList()->setCurrentIndex(1);
        dlg.invoicePlanList()->setCurrentIndex(0);
        dlg.accept();
        QVERIFY(rec->hasMessage(QStringLiteral("Please choose an invoicing plan to use, even if "
                                               "you choose not to execute the send options.")));
        dlg.invoicePlanList()->setCurrentIndex(1);
        dlg.dateEdit()->setText(QStringLiteral("2040-01-01"));
        dlg.accept();
        QVERIFY(rec->hasMessage(DateRangeMessage()));
        QCOMPARE(dlg.result(), int(QDialog::Rejected));

        CModalWatcher watcher([](QWidget* w) {
            if (auto* d = qobject_cast<CGenerateInvoiceDlg*>(w)) {
                d->dateEdit()->setText(QStringLiteral("2024-05-02"));
                d->sendBox()->setChecked(true);
                d->accept();
            }
        });
        GenerateInvoiceDialog(nullptr, ann);
        const QList<qint32> made = numbers(QStringLiteral("InvoiceNum > %1").arg(before));
        QCOMPARE(made.size(), 1);
        QCOMPARE(printer.jobs.size(), 1);
        QCOMPARE(printer.jobs[0].invoiceNum, made[0]);
        QVERIFY(fx->customer(ann).GotFirstInvoice);
        db->execute("DELETE FROM Users WHERE Id = ?", {bob});
        GenerateInvoiceDialog(nullptr, bob);
        QVERIFY(rec->hasMessage(QStringLiteral("Customer record not found.")));
    }

    // Pages continue exactly where the last one ended, also across runs of equal keys, in
    // either direction: every invoice comes once, in order.
    void pagesCoverEveryInvoiceOnce_data() {
        QTest::addColumn<int>("column");
        QTest::addColumn<bool>("descending");
        for (int c = 0; c < InvoiceListColumn::Count; ++c)
            for (bool d : {false, true})
                QTest::addRow("%d%s", c, d ? "desc" : "asc") << c << d;
    }
    void pagesCoverEveryInvoiceOnce() {
        QFETCH(int, column);
        QFETCH(bool, descending);
        for (int i = 0; i < 40; ++i)
            db->execute("INSERT INTO Invoices (IdUser, BillingDate, OpeningDate, NewCharges, "
                        "TotalDue, TotalPaid) VALUES (?, ?, ?, ?, ?, ?)",
                        {i % 3 ? ann : bob, DbFromDate(2024, 1 + i % 4, 1).days(),
                         DbFromDate(2024, 1 + i % 5, 1).days(), 10000 * (i % 3), 10000 * (i % 4),
                         10000 * (i % 2)});
        CInvoiceListDoc doc(*db);
        doc.setSort(column, descending);
        // The order the column's key and the number give, as a tuple that compares.
        auto key = [column](const InvoiceListRow& r) {
            const double value[] = {0,
                                    0,
                                    r.billingDate.days(),
                                    r.openingDate.days(),
                                    double(r.newCharges.units()),
                                    double(r.totalDue.units()),
                                    double(r.totalPaid.units())};
            return std::tuple(column == 1 ? r.username.toLower() : QString(), value[column],
                              r.invoiceNum);
        };
        QList<qint32> seen;
        std::optional<decltype(key(InvoiceListRow()))> last;
        while (!doc.atEnd())
            for (const InvoiceListRow& r : doc.fetch(7)) {
                if (last)
                    QVERIFY(descending ? key(r) < *last : *last < key(r));
                last = key(r);
                seen << r.invoiceNum;
            }
        QList<qint32> all = numbers();
        std::sort(seen.begin(), seen.end());
        QCOMPARE(seen, all);
    }

    void browserFiltersOpensAndDeletes() {
        groupRun([&](CCommitInvoicesDlg* dlg) {
            rec->queueAnswer(true);
            dlg->accept();
        });
        const QList<qint32> all = numbers();
        QCOMPARE(all.size(), 3);
        const qint32 annInv = all[1], bobInv = all[2];
        db->execute("UPDATE Invoices SET TotalPaid = NewCharges WHERE InvoiceNum = ?", {bobInv});
        db->execute("UPDATE Invoices SET BillingDate = ? WHERE InvoiceNum = ?",
                    {DbFromDate(2024, 3, 1).days(), before});
        CMainFrame frame(nullptr);
        CInvoiceBrowserFrame* browser = CInvoiceBrowserFrame::open(frame.mdiArea(), *db, ann);
        auto shown = [&] {
            QList<qint32> out;
            for (int r = 0; r < browser->model()->rowCount(); ++r)
                out << browser->model()->rowAt(r).invoiceNum;
            return out;
        };
        QCOMPARE(shown(), QList<qint32>{annInv});
        QCOMPARE(CInvoiceBrowserFrame::open(frame.mdiArea(), *db), browser);
        QCOMPARE(shown(), QList<qint32>({bobInv, annInv, before})); // newest first
        browser->unpaidBox()->setChecked(true);
        QCOMPARE(shown(), QList<qint32>({annInv, before}));
        browser->unpaidBox()->setChecked(false);
        browser->fromEdit()->setText(QStringLiteral("2024-04-01"));
        QVERIFY(browser->applyFilter());
        QCOMPARE(shown(), QList<qint32>({bobInv, annInv}));
        browser->toEdit()->setText(QStringLiteral("2024-05-01"));
        QVERIFY(browser->applyFilter()); // the last day counts whole: 2 May is after it
        QCOMPARE(shown(), QList<qint32>());
        browser->toEdit()->setText(QStringLiteral("2024-05-02"));
        QVERIFY(browser->applyFilter());
        browser->table()->sortByColumn(InvoiceListColumn::Customer, Qt::AscendingOrder);
        QCOMPARE(shown(), QList<qint32>({annInv, bobInv}));

        // Enter opens the selected invoices.
        browser->table()->setCurrentIndex(browser->model()->index(0, 0));
        browser->table()->selectAll();
        QTest::keyClick(browser->table(), Qt::Key_Return);
        QList<qint32> opened;
        for (CInvoiceFrame* f : CInvoiceFrame::openFrames(frame.mdiArea()))
            opened << f->invoiceNum();
        QCOMPARE(opened, QList<qint32>({annInv, bobInv}));

        // Delete asks, removes the invoice with its frozen copies, closes its window.
        browser->table()->clearSelection();
        browser->table()->selectRow(0);
        rec->queueAnswer(true);
        browser->action(QStringLiteral("actionDeleteInvoices"))->trigger();
        QVERIFY(rec->hasQuestion(QStringLiteral("Are you sure you want to permanently delete the "
                                                "selected invoices?\n\r\n\rThe operation is "
                                                "irreversible.")));
        QCOMPARE(numbers(), QList<qint32>({before, bobInv}));
        QCOMPARE(
            count(QStringLiteral("SELECT COUNT(*) FROM Charges WHERE IdInvoice = %1").arg(annInv)),
            0);
        QCOMPARE(shown(), QList<qint32>{bobInv});
        QTRY_COMPARE(CInvoiceFrame::openFrames(frame.mdiArea()).size(), 1);
    }

    // The browser open when the main window closes opens again with the next main window.
    void browserReopensAtStart() {
        {
            CMainFrame frame(nullptr);
            OpenInvoiceBrowser(frame.mdiArea());
            QVERIFY(frame.close());
        }
        QVERIFY(RegYesNo(Reg::ShowInvoiceBrowser));
        CMainFrame frame(nullptr);
        QTRY_VERIFY(CInvoiceBrowserFrame::find(frame.mdiArea()));
        CInvoiceBrowserFrame::find(frame.mdiArea())->close();
        QVERIFY(frame.close());
        QVERIFY(!RegYesNo(Reg::ShowInvoiceBrowser));
    }
};

QTEST_MAIN(TestInvoicing)
#include "tst_invoicing.moc"
