// The invoice window offscreen, on a real database file: opening "%d.inv" by number, the
// plain-text / HTML toggle kept in "ViewHTML", copy and select all, printing directly, the
// main window's print-all and e-mail-all commands over the open invoice windows, the send
// dialog's plan list, and a window closing when its invoice is deleted.
#include "common/billingfixture.h"
#include "common/deliveryfixture.h"
#include "common/loglines.h"
#include "common/recordingprinter.h"
#include "common/recordingui.h"
#include "common/testfolders.h"
#include "core/app/appservices.h"
#include "core/app/operationlog.h"
#include "core/app/registrystore.h"
#include "core/app/settingsvalues.h"
#include "core/billing/invoicedoc.h"
#include "core/db/database.h"
#include "core/db/schema.h"
#include "core/invoice/invoicedelivery.h"
#include "ui/app/mainframe.h"
#include "ui/invoice/invoicecommands.h"
#include "ui/invoice/invoiceframe.h"
#include "ui/invoice/senddlg.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QMdiArea>
#include <QRadioButton>
#include <QTextBrowser>
#include <QtTest>
#include <memory>

using namespace Qt::StringLiterals;

namespace {
InvoicePlanRow htmlPlan(const QString& name = u"Formatted"_s) {
    InvoicePlanRow p;
    p.Name = name;
    p.Options = 1;
    p.PrintOnCreate = true;
    p.EmailOnCreate = true;
    p.EmailServer = u"mail.tollkeeper-test.invalid"_s; // never resolves
    p.EmailSender = u"billing@isp.example"_s;
    p.EmailSubject = u"Invoice"_s;
    return p;
}
} // namespace

class TestInvoiceWindow : public QObject {
    Q_OBJECT

    std::unique_ptr<CTestFolders> folders;
    std::unique_ptr<Database> db;
    std::unique_ptr<CBillingFixture> fx;
    std::unique_ptr<CRecordingUi> recorder;
    std::unique_ptr<CMainFrame> frame;
    CRecordingPrinter printer;
    qint32 joe = 0;
    qint32 ann = 0;

    QMdiArea* area() const { return frame->mdiArea(); }

private slots:
    void init() {
        folders = std::make_unique<CTestFolders>();
        QVERIFY(theRegistry().open());
        const QString path = folders->filePath(u"window.db"_s);
        CreateNewDatabase(path);
        db = std::make_unique<Database>();
        db->open(path);
        fx = std::make_unique<CBillingFixture>(*db);
        joe = MakeDeliveryInvoice(*db, *fx, htmlPlan());
        DeliveryInvoiceSpec spec;
        spec.username = u"ann"_s;
        spec.fullName = u"Ann Plain"_s;
        ann = MakeDeliveryInvoice(*db, *fx, htmlPlan(u"Second"_s), spec);
        QVERIFY(joe > 0 && ann > 0);
        recorder = std::make_unique<CRecordingUi>();
        frame = std::make_unique<CMainFrame>(nullptr);
        SetDefaultInvoicePrinter(&printer); // after the main window installed its own
        printer.jobs.clear();
        theLog().clear();
    }
    void cleanup() {
        frame.reset();
        SetDefaultInvoicePrinter(nullptr);
        recorder.reset();
        fx.reset();
        db.reset();
        theLog().close();
        theRegistry().close();
        folders.reset();
    }

    void opensByNumberAndTogglesPlainText() {
        CInvoiceFrame* w = CInvoiceFrame::open(area(), *db, joe);
        QVERIFY(w);
        QCOMPARE(w->documentName(), u"%1.inv"_s.arg(joe));
        QVERIFY(w->windowTitle().startsWith(u"Invoice for joe dated "_s));
        QVERIFY(w->htmlView());
        QVERIFY(w->browser()->toPlainText().contains(u"Joe Miller"_s));
        QAction* plain = w->action(u"actionViewPlainText"_s);
        QVERIFY(plain && !plain->isChecked());
        QVERIFY(!CheckNoDocumentsOpen()); // the close-windows test sees the invoice window
        QVERIFY(recorder->hasMessage(QStringLiteral(
            "Please close all invoice and report windows before using this feature.")));

        plain->trigger();
        QVERIFY(!w->htmlView());
        QVERIFY(plain->isChecked());
        QCOMPARE(RegYesNo(Reg::ViewHTML), false);
        const QString text = w->browser()->toPlainText();
        QVERIFY2(text.contains(u"New Balance:"_s), qPrintable(text));
        QVERIFY(!text.contains(u"TKP_MARKER"_s));

        w->action(u"actionViewHtml"_s)->trigger();
        QVERIFY(w->htmlView());
        QVERIFY(!plain->isChecked());
        QCOMPARE(RegYesNo(Reg::ViewHTML), true);

        // Opening the same invoice again activates its window.
        QCOMPARE(CInvoiceFrame::open(area(), *db, joe), w);
        QCOMPARE(area()->subWindowList().size(), 1);

        // An invoice that does not exist.
        QVERIFY(!CInvoiceFrame::open(area(), *db, 9999));
        QVERIFY(recorder->hasMessage(u"Unable to load invoice 9999."_s));
    }

    void copyAndSelectAll() {
        CInvoiceFrame* w = CInvoiceFrame::open(area(), *db, joe);
        QVERIFY(w);
        w->copy();
        QVERIFY(recorder->hasMessage(u"Error copying."_s));
        w->action(u"actionSelectAll"_s)->trigger();
        w->action(u"actionCopy"_s)->trigger();
        QVERIFY(QApplication::clipboard()->text().contains(u"Joe Miller"_s));
        QCOMPARE(recorder->countMessages(u"Error copying."_s), 1);
    }

    void printDirectAndPrintAll() {
        CInvoiceFrame* first = CInvoiceFrame::open(area(), *db, ann);
        CInvoiceFrame* second = CInvoiceFrame::open(area(), *db, joe);
        QVERIFY(first && second);
        // The text page is shown, but the customer gets HTML: the HTML page is printed.
        first->toggleView();
        first->action(u"actionPrintDirect"_s)->trigger();
        QCOMPARE(printer.jobs.size(), 1);
        QVERIFY(printer.jobs[0].html);
        QVERIFY(!first->htmlView()); // the window still shows the text
        printer.jobs.clear();

        recorder->queueAnswer(false);
        QVERIFY(!PrintAllViewedInvoices(area()));
        QVERIFY(printer.jobs.isEmpty());
        recorder->queueAnswer(true);
        QVERIFY(PrintAllViewedInvoices(area()));
        QVERIFY(recorder->hasQuestion(u"Print all viewed invoices?"_s));
        QCOMPARE(printer.jobs.size(), 2);
        QCOMPARE(printer.jobs[0].invoiceNum, ann); // in the order the windows were opened
        QCOMPARE(printer.jobs[1].invoiceNum, joe);
        QVERIFY(recorder->hasMessage(u"Finished printing all viewed invoices."_s));
    }

    // Each open invoice is e-mailed with its own plan; a failure is logged per invoice.
    void emailAllViewed() {
        QVERIFY(CInvoiceFrame::open(area(), *db, joe));
        QVERIFY(CInvoiceFrame::open(area(), *db, ann));
        CLogLines log;
        recorder->queueAnswers({true, false}); // the command, then "view the log?"
        QVERIFY(EmailAllViewedInvoices(area()));
        const QStringList lines = log.messages(false);
        QVERIFY(recorder->hasQuestion(u"Email invoices for all displayed invoices?"_s));
        QVERIFY(lines.contains(u"joe|emailing invoice."_s));
        QVERIFY(lines.contains(u"ann|emailing invoice."_s));
        QVERIFY(recorder->hasMessage(u"Finished emailing all displayed invoices."_s));
        QVERIFY(recorder->hasQuestion(
            u"An error or warning was issued, do you wish to view the log?"_s));
    }

    void deletedInvoiceClosesItsWindow() {
        QVERIFY(CInvoiceFrame::open(area(), *db, joe));
        QVERIFY(CInvoiceFrame::open(area(), *db, ann));
        QVERIFY(!CInvoiceDoc::DeleteInvoice(*db, joe));
        RefreshViews();
        QTRY_COMPARE(CInvoiceFrame::openFrames(area()).size(), 1);
        QCOMPARE(CInvoiceFrame::openFrames(area()).first()->invoiceNum(), ann);
    }

    // Templates only, "None" first; the choice is remembered.
    void sendDialogOffersTemplates() {
        CSendDlg dlg(*db);
        QStringList names;
        for (int i = 0; i < dlg.planList()->count(); ++i)
            names << dlg.planList()->itemText(i);
        QCOMPARE(names, QStringList({"None", "Formatted", "Second"}));
        QVERIFY(dlg.ownPlanButton()->isChecked());
        QCOMPARE(dlg.overridePlanId(), 0);
        dlg.overrideButton()->setChecked(true);
        dlg.planList()->setCurrentIndex(2);
        const qint32 second = dlg.planList()->currentData().toInt();
        QCOMPARE(dlg.overridePlanId(), second);
        dlg.accept();
        QCOMPARE(RegYesNo(Reg::ExecuteSO_UseDefaultIP), false);
        QCOMPARE(RegNumber(Reg::ExecuteSO_OverrideIP), second);
        CSendDlg again(*db);
        QVERIFY(again.overrideButton()->isChecked());
        QCOMPARE(again.overridePlanId(), second);
    }
};

QTEST_MAIN(TestInvoiceWindow)
#include "tst_invoicewindow.moc"
