// Delivery of stored invoices on real database files: the send-options matrix (which plan's
// options, the zero-due rule of the invoice's own plan, the refusal messages), e-mail then
// print with their failure codes, Esc between them, printing to real PDF files read back with
// pdftotext, the page layout settings, and an invoice e-mailed end to end to a local SMTP
// server.
#include "common/billingfixture.h"
#include "common/deliveryfixture.h"
#include "common/loglines.h"
#include "common/pdftext.h"
#include "common/recordingprinter.h"
#include "common/recordingui.h"
#include "common/smtpsinkprocess.h"
#include "common/testfolders.h"
#include "core/app/busystate.h"
#include "core/app/cp1252.h"
#include "core/app/operationlog.h"
#include "core/app/registrystore.h"
#include "core/app/settingsvalues.h"
#include "core/db/database.h"
#include "core/db/datetimeutil.h"
#include "core/db/invoicerecord.h"
#include "core/db/schema.h"
#include "core/invoice/invoicedelivery.h"
#include "core/invoice/invoiceprint.h"
#include "core/mail/smtpclient.h"

#include <QImage>
#include <QProcess>
#include <QTcpServer>
#include <QTest>
#include <QTextBlock>
#include <QTextDocument>
#include <memory>
#include <stdexcept>

using namespace Qt::StringLiterals;

namespace {

enum Opt : int { Email = 1, Print = 2, View = 4, IfZero = 8, Html = 16 };

InvoicePlanRow planWith(int options, const QString& name = u"Own"_s) {
    InvoicePlanRow p;
    p.Name = name;
    p.EmailOnCreate = options & Email;
    p.PrintOnCreate = options & Print;
    p.ViewOnCreate = options & View;
    p.CreateIfZero = options & IfZero;
    p.Options = (options & Html) ? 1 : 0;
    p.EmailServer = u"127.0.0.1"_s;
    p.EmailSender = u"billing@isp.example"_s;
    p.EmailSubject = u"Your invoice"_s;
    p.ShowAddress = true;
    p.ShowInvoiceNum = true;
    return p;
}

} // namespace

class TestInvoiceDelivery : public QObject {
    Q_OBJECT

    std::unique_ptr<CTestFolders> folders;
    std::unique_ptr<Database> db;
    std::unique_ptr<CBillingFixture> fx;

    qint32 templatePlan(int options, const QString& name) {
        return fx->addInvoicePlan(planWith(options, name));
    }

private slots:
    void init() {
        folders = std::make_unique<CTestFolders>();
        QVERIFY(theRegistry().open());
        const QString path = folders->filePath(u"delivery.db"_s);
        CreateNewDatabase(path);
        db = std::make_unique<Database>();
        db->open(path);
        fx = std::make_unique<CBillingFixture>(*db);
        theLog().clear();
    }
    void cleanup() {
        fx.reset();
        db.reset();
        theLog().close();
        theRegistry().close();
        folders.reset();
    }

    // Own plan, override plan (none, a template, a frozen copy, a missing id), zero due or not:
    // what is shown and whether the invoice is printed.
    void sendOptionsMatrix_data() {
        QTest::addColumn<int>("own");
        QTest::addColumn<int>("override"); // -1 none, -2 missing id, -3 a frozen copy
        QTest::addColumn<bool>("zeroDue");
        QTest::addColumn<QString>("message"); // empty: none
        QTest::addColumn<bool>("printed");

        const QString viewOnly = QString::fromLatin1(SendOptionsText::ViewOnly);
        const QString none = QString::fromLatin1(SendOptionsText::NoSendOptions);
        const QString zero = QString::fromLatin1(SendOptionsText::ZeroDue);
        const QString unreadable = QString::fromLatin1(SendOptionsText::OverridePlanUnreadable);

        QTest::newRow("view only") << int(View) << -1 << false << viewOnly << false;
        QTest::newRow("no send options") << 0 << -1 << false << none << false;
        QTest::newRow("print") << int(Print) << -1 << false << QString() << true;
        QTest::newRow("zero due, no CreateIfZero") << int(Print) << -1 << true << zero << false;
        QTest::newRow("zero due, CreateIfZero")
            << (Print | IfZero) << -1 << true << QString() << true;
        QTest::newRow("zero due, override has CreateIfZero")
            << int(Print) << (Print | IfZero) << true << zero << false;
        QTest::newRow("zero due, own has CreateIfZero, override not")
            << (Print | IfZero) << int(Print) << true << QString() << true;
        QTest::newRow("override view only")
            << int(Print) << int(View) << false << viewOnly << false;
        QTest::newRow("override prints for a view-only plan")
            << int(View) << int(Print) << false << QString() << true;
        QTest::newRow("override missing") << int(Print) << -2 << false << unreadable << false;
        QTest::newRow("override is a frozen copy")
            << int(Print) << -3 << false << unreadable << false;
    }
    void sendOptionsMatrix() {
        QFETCH(int, own);
        QFETCH(int, override);
        QFETCH(bool, zeroDue);
        QFETCH(QString, message);
        QFETCH(bool, printed);

        DeliveryInvoiceSpec spec;
        spec.amount = zeroDue ? "0" : "25.00";
        const qint32 num = MakeDeliveryInvoice(*db, *fx, planWith(own), spec);
        QVERIFY(num > 0);
        {
            CInvoiceRecord rec(*db);
            QVERIFY(rec.findByNumber(num));
            QCOMPARE(rec.TotalDue.units() == 0, zeroDue);
        }
        qint32 overrideId = 0;
        if (override >= 0)
            overrideId = templatePlan(override | Html, u"Override"_s);
        else if (override == -2)
            overrideId = 9999;
        else if (override == -3)
            overrideId = qint32(
                db->scalar(u"SELECT Id FROM InvoicePlans WHERE IdInvoice = ?"_s, {num}).toInt());

        CRecordingUi recorder;
        CRecordingPrinter printer;
        int dialogs = 0;
        const SendResult result = ExecuteSendOptions(
            *db, num,
            [&](qint32& id) {
                ++dialogs;
                id = overrideId;
                return true;
            },
            &printer);

        QCOMPARE(dialogs, 1);
        const QString shown =
            recorder.messages.isEmpty() ? QString() : recorder.messages.first().text;
        QVERIFY2(recorder.messages.size() <= 1, qPrintable(recorder.transcript().join('\n')));
        QCOMPARE(shown, message);
        QCOMPARE(printer.jobs.size(), printed ? 1 : 0);
        if (printed) {
            QCOMPARE(result, SendResult::Done);
            QCOMPARE(printer.jobs[0].invoiceNum, num);
            QCOMPARE(printer.jobs[0].logonName, u"joe"_s);
            // The page follows the plan the invoice is sent with.
            QCOMPARE(printer.jobs[0].html, override >= 0);
            QVERIFY(printer.jobs[0].page.contains("Joe Miller"));
        } else {
            QVERIFY(result == SendResult::Refused || result == SendResult::Failed);
            QVERIFY(recorder.processCalls.isEmpty()); // refused before the busy state
        }
    }

    void cancelInSendDialogSendsNothing() {
        const qint32 num = MakeDeliveryInvoice(*db, *fx, planWith(Print));
        CRecordingUi recorder;
        CRecordingPrinter printer;
        QCOMPARE(ExecuteSendOptions(
                     *db, num, [](qint32&) { return false; }, &printer),
                 SendResult::Refused);
        QVERIFY(printer.jobs.isEmpty());
        QVERIFY(recorder.messages.isEmpty());
    }

    // An e-mail that cannot reach its server logs 20 and the invoice is still printed; the end
    // report offers the log.
    void emailFailureStillPrints() {
        QTcpServer closed;
        QVERIFY(closed.listen(QHostAddress::LocalHost));
        const quint16 port = closed.serverPort();
        closed.close(); // nothing listens there now
        SetSmtpTestParameters(port, 2000);

        const qint32 num = MakeDeliveryInvoice(*db, *fx, planWith(Email | Print));
        CRecordingUi recorder;
        CLogLines log;
        CRecordingPrinter printer;
        SendResult result = SendResult::Done;
        QVERIFY(SendInvoice(*db, num, 0, &printer, &result));
        QCOMPARE(result, SendResult::Failed);
        QCOMPARE(printer.jobs.size(), 1);
        QVERIFY2(log.messages().contains(u"joe|ERROR|emailing invoice."_s),
                 qPrintable(log.messages().join('\n')));
        QVERIFY(recorder.processCalls.first().startsWith(u"start:29:"_s));
        QVERIFY(recorder.hasQuestion(
            u"An error or warning was issued, do you wish to view the log?"_s));
        QVERIFY(!IsProcessRunning());
    }

    void escBetweenEmailAndPrintStopsPrinting() {
        // No e-mail: the interruption check comes right after the (skipped) e-mail step.
        const qint32 num = MakeDeliveryInvoice(*db, *fx, planWith(Print));
        CRecordingUi recorder;
        recorder.pressEsc();
        recorder.queueAnswer(true); // "Interrupt process?"
        CLogLines log;
        CRecordingPrinter printer;
        SendResult result = SendResult::Done;
        QVERIFY(SendInvoice(*db, num, 0, &printer, &result));
        QCOMPARE(result, SendResult::Aborted);
        QVERIFY(printer.jobs.isEmpty());
        QVERIFY2(log.messages().contains(u"joe|SUCCESS|Aborted."_s) ||
                     log.messages().contains(u"joe|ERROR|Aborted."_s),
                 qPrintable(log.messages().join('\n')));
        QVERIFY(!IsProcessRunning());
    }

    void printFailureAndUnexpectedError() {
        const qint32 num = MakeDeliveryInvoice(*db, *fx, planWith(Print));
        {
            CRecordingUi recorder;
            CLogLines log;
            CRecordingPrinter printer;
            printer.fail = true;
            QVERIFY(SendInvoice(*db, num, 0, &printer));
            QVERIFY2(log.messages().contains(u"joe|ERROR|printing invoice. paper jam"_s),
                     qPrintable(log.messages().join('\n')));
            QVERIFY(recorder.messages.isEmpty());
        }
        {
            CRecordingUi recorder;
            CLogLines log;
            CRecordingPrinter printer;
            printer.throwError = true;
            QVERIFY(SendInvoice(*db, num, 0, &printer));
            QCOMPARE(log.lines.size(), 1);
            QVERIFY(log.lines[0].message.startsWith(u"executing invoice send options."_s));
            QVERIFY(recorder.hasMessage(QString::fromLatin1(SendOptionsText::Failed)));
            QVERIFY(!IsProcessRunning()); // the busy state ended despite the exception
        }
    }

    // Inside a run's busy state: no second busy state, no end-of-operation question.
    void runBusyStateIsJoinedWithoutEndReport() {
        const qint32 num = MakeDeliveryInvoice(*db, *fx, planWith(Print));
        CRecordingUi recorder;
        CRecordingPrinter printer;
        printer.fail = true;
        {
            CProcessScope run(u"Generating invoices"_s, PROC_DEFAULT);
            QVERIFY(SendInvoice(*db, num, 0, &printer));
            QVERIFY(IsProcessRunning());
        }
        QCOMPARE(recorder.processCalls.count(u"end:29"_s), 1);
        QVERIFY(recorder.questions.isEmpty());
    }

    // A customer who gets plain text is printed with the text page, even when the view shows HTML.
    void printChoosesPageOfHtmlDecision() {
        DeliveryInvoiceSpec spec;
        spec.customerOptions = 0x01; // overrides the plan: plain text
        const qint32 num = MakeDeliveryInvoice(*db, *fx, planWith(Print | Html), spec);
        auto inv = LoadInvoiceForDelivery(*db, num);
        QVERIFY(inv);
        inv->rep.SetHtmlView(true);
        CRecordingPrinter printer;
        QVERIFY(!PrintInvoice(*inv, inv->doc.InvoicePlan(), &printer));
        QCOMPARE(printer.jobs.size(), 1);
        QVERIFY(!printer.jobs[0].html);
        QCOMPARE(printer.jobs[0].page, inv->rep.TextPage());
        QVERIFY(inv->rep.HtmlView()); // the view is left as it was
    }

    void printsToPdfWithCustomerAndTotal() {
        DeliveryInvoiceSpec spec;
        spec.fullName = u"Jos\u00e9 M\u00fcller"_s;
        spec.amount = "1234.50";
        const qint32 html = MakeDeliveryInvoice(*db, *fx, planWith(Print | Html), spec);
        spec.username = u"ann"_s;
        spec.fullName = u"Ann Plain"_s;
        spec.amount = "7.25";
        const qint32 text = MakeDeliveryInvoice(*db, *fx, planWith(Print), spec);

        const QString dir = folders->filePath(u"printed"_s);
        CPdfInvoicePrinter printer({}, dir);
        CRecordingUi recorder;
        CLogLines log;
        QVERIFY2(!SendInvoice(*db, html, 0, &printer), qPrintable(log.messages().join('\n')));
        QVERIFY2(!SendInvoice(*db, text, 0, &printer), qPrintable(log.messages().join('\n')));
        QCOMPARE(printer.writtenFiles(), QStringList({dir + u"/Invoice %1.pdf"_s.arg(html),
                                                      dir + u"/Invoice %1.pdf"_s.arg(text)}));

        const QString first = PdfText(printer.writtenFiles()[0]);
        if (qEnvironmentVariableIsSet("TK_SHOW_PDF"))
            qInfo().noquote() << first << PdfText(printer.writtenFiles()[1]);
        QVERIFY2(first.contains(u"Jos\u00e9 M\u00fcller"_s), qPrintable(first));
        QVERIFY2(first.contains(u"12 Main Street"_s), qPrintable(first));
        QVERIFY2(first.contains(QRegularExpression(u"New Balance:\\s+1,?234\\.50"_s)),
                 qPrintable(first));
        QVERIFY(!first.contains(u"<PRE>"_s));

        const QString second = PdfText(printer.writtenFiles()[1]);
        QVERIFY2(second.contains(u"Ann Plain"_s), qPrintable(second));
        QVERIFY2(second.contains(QRegularExpression(u"New Balance:\\s+7\\.25"_s)),
                 qPrintable(second));
        // The text page keeps its columns: the amounts of the charges section line up.
        QVERIFY(!second.contains(u"TKP_MARKER"_s));

        // A folder that cannot be written: a failure with the reason, no file left.
        CPdfInvoicePrinter blocked(folders->filePath(u"missing/dir/x.pdf"_s));
        auto inv = LoadInvoiceForDelivery(*db, text);
        QVERIFY(inv);
        QString error;
        QVERIFY(PrintInvoice(*inv, inv->doc.InvoicePlan(), &blocked, &error));
        QVERIFY(!error.isEmpty());
        QVERIFY(!QFile::exists(folders->filePath(u"missing/dir/x.pdf"_s)));
    }

    // The footer follows the closing PRE of the charges section; Qt's rich-text engine would run
    // it on at the end of the "New Balance" line of the window and the printed page.
    void footerLaidOutOnItsOwnLine() {
        const QByteArray page =
            "<HTML>\r\n<BODY BGCOLOR=WHITE>\r\n<PRE>\r\nNew Balance:     7.25\r\n"
            "</PRE>\r\n<B>Kestrel Bay \xE9</B>\r\n</BODY>\r\n</HTML>";
        QTextDocument doc;
        doc.setHtml(InvoicePageForTextDocument(page));
        QCOMPARE(doc.lastBlock().text().trimmed(), u"Kestrel Bay \u00e9"_s);
        QTextBlock balance = doc.lastBlock();
        while (balance.isValid() && !balance.text().contains(u"New Balance:"_s))
            balance = balance.previous();
        QVERIFY(balance.isValid());
        QVERIFY(!balance.text().contains(u"Kestrel"_s));
    }

    void pageLayoutFromSettings() {
        QPageLayout layout = InvoicePageLayout();
        layout.setOrientation(QPageLayout::Portrait);
        layout.setMargins(QMarginsF(10, 20, 30, 40));
        QVERIFY(StoreInvoicePageLayout(layout));
        QCOMPARE(RegNumber(Reg::PageOrientation), 1);
        QCOMPARE(RegBinary(Reg::PageMargins).size(), 16);
        const QPageLayout back = InvoicePageLayout();
        QCOMPARE(back.orientation(), QPageLayout::Portrait);
        QCOMPARE(back.margins(QPageLayout::Millimeter), QMarginsF(10, 20, 30, 40));

        // Malformed margins fall back to the default.
        QVERIFY(RegWriteBinary(Reg::PageMargins, QByteArray(5, 'x')));
        QCOMPARE(InvoicePageLayout().margins(QPageLayout::Millimeter).top(), 19.05);

        // The PDF takes the orientation.
        const qint32 num = MakeDeliveryInvoice(*db, *fx, planWith(Print));
        auto inv = LoadInvoiceForDelivery(*db, num);
        QVERIFY(inv);
        const QString portrait = folders->filePath(u"portrait.pdf"_s);
        CPdfInvoicePrinter p1(portrait);
        QVERIFY(!PrintInvoice(*inv, inv->doc.InvoicePlan(), &p1));
        QVERIFY(RegWriteNumber(Reg::PageOrientation, 2));
        const QString landscape = folders->filePath(u"landscape.pdf"_s);
        CPdfInvoicePrinter p2(landscape);
        QVERIFY(!PrintInvoice(*inv, inv->doc.InvoicePlan(), &p2));
        const QSizeF a = PdfPageSize(portrait);
        const QSizeF b = PdfPageSize(landscape);
        QVERIFY2(a.height() > a.width(), qPrintable(u"%1x%2"_s.arg(a.width()).arg(a.height())));
        QVERIFY(b.width() > b.height());
    }

    // One invoice sent by its plan's options to a real SMTP server: an HTML customer with a JPG
    // logo gets text, HTML and the inline image whose Content-ID the HTML refers to.
    void emailEndToEnd() {
        CSmtpSinkProcess sink;
        QString error;
        if (!sink.start(folders->filePath(u"inbox"_s), &error))
            QFAIL(qPrintable(error));

        const QString logo = folders->filePath(u"Logo Folder/logo.JPG"_s);
        QDir().mkpath(QFileInfo(logo).path());
        QImage image(30, 10, QImage::Format_RGB32);
        image.fill(Qt::darkBlue);
        QVERIFY(image.save(logo, "JPG"));

        InvoicePlanRow plan = planWith(Email | Html);
        plan.Bitmap = logo;
        plan.Heading = u"Northwind Internet"_s;
        const qint32 num = MakeDeliveryInvoice(*db, *fx, plan);
        // Sent with another plan that is plain text: the override's pages and options are used.
        const qint32 plainId = templatePlan(Email, u"Plain mail"_s);

        CRecordingUi recorder;
        CLogLines log;
        QVERIFY2(!SendInvoice(*db, num), qPrintable(log.messages().join('\n')));
        QVERIFY2(!SendInvoice(*db, num, plainId), qPrintable(log.messages().join('\n')));
        QVERIFY2(recorder.messages.isEmpty(), qPrintable(recorder.transcript().join('\n')));

        CSmtpSinkProcess::Message m;
        QVERIFY(sink.take(m));
        QCOMPARE(m.from, u"billing@isp.example"_s);
        QCOMPARE(m.rcpt, QStringList{u"joe@example.com"_s});
        QVERIFY2(m.defects.isEmpty(), m.raw.constData());
        QCOMPARE(m.headers[u"Subject"_s].toString(), u"Your invoice"_s);
        QCOMPARE(m.shape(), QStringList({"0:multipart/alternative", "1:text/plain",
                                         "1:multipart/related", "2:text/html", "2:image/jpeg"}));
        const QString text = m.part(u"text/plain"_s)[u"text"_s].toString();
        QVERIFY2(text.contains(u"Joe Miller"_s) && text.contains(u"25.00"_s), qPrintable(text));
        QVERIFY(!text.contains(u"<PRE>"_s));
        const QString cid = m.part(u"image/jpeg"_s)[u"cid"_s].toString();
        const QString html = m.part(u"text/html"_s)[u"text"_s].toString();
        QVERIFY2(html.contains(u"<IMG SRC=cid:"_s + cid.mid(1, cid.size() - 2) + '>'),
                 qPrintable(cid + '\n' + html));

        CSmtpSinkProcess::Message plain;
        QVERIFY(sink.take(plain));
        QCOMPARE(plain.shape(), QStringList({"0:multipart/alternative", "1:text/plain"}));
    }

    // A plan that attaches the PDF sends the printed page beside the alternative parts.
    void pdfAttachedToEmail() {
        CSmtpSinkProcess sink;
        QString error;
        if (!sink.start(folders->filePath(QStringLiteral("inbox")), &error))
            QFAIL(qPrintable(error));
        InvoicePlanRow plan = planWith(Email);
        plan.Options |= InvoicePlanOption::PdfAttachment;
        const qint32 num = MakeDeliveryInvoice(*db, *fx, plan);
        CLogLines log;
        QVERIFY2(!SendInvoice(*db, num), qPrintable(log.messages().join('\n')));

        CSmtpSinkProcess::Message m;
        QVERIFY(sink.take(m));
        QVERIFY2(m.defects.isEmpty(), m.raw.constData());
        QCOMPARE(m.shape(), QStringList({"0:multipart/mixed", "1:multipart/alternative",
                                         "2:text/plain", "1:application/pdf"}));
        const QJsonObject pdf = m.part(QStringLiteral("application/pdf"));
        QVERIFY(pdf[QLatin1String("disposition")].toString().contains(
            QStringLiteral("filename=\"Invoice %1.pdf\"").arg(num)));
        const QString file = folders->filePath(QStringLiteral("attached.pdf"));
        QFile out(file);
        QVERIFY(out.open(QIODevice::WriteOnly));
        out.write(QByteArray::fromBase64(pdf[QLatin1String("base64")].toString().toLatin1()));
        out.close();
        const QString text = PdfText(file);
        QVERIFY2(text.contains(QStringLiteral("Joe Miller")) &&
                     text.contains(QStringLiteral("25.00")),
                 qPrintable(text));
    }

    // A summary invoice flagged for its members goes to the members' billing addresses too.
    void summaryMailedToMembers() {
        CSmtpSinkProcess sink;
        QString error;
        if (!sink.start(folders->filePath(u"inbox"_s), &error))
            QFAIL(qPrintable(error));

        const qint32 bp = fx->addPlan(u"April"_s, QDate(2024, 4, 1), QDate(2024, 5, 1));
        fx->attach(bp, fx->addCharge(CBillingFixture::fixed(u"Service"_s, "10.00")));
        const qint32 ip = fx->addInvoicePlan(planWith(Email));
        UserRow group;
        group.Username = u"acme"_s;
        group.IsGroup = true;
        group.ActiveStatus = 1;
        group.IdBillingPlan = bp;
        group.IdInvoicePlan = ip;
        group.GroupOptions = GroupOption::SummaryInvoice | GroupOption::SendSummaryToMembers;
        group.StartDate = DbFromDate(2020, 1, 1);
        const qint32 gid = fx->addCustomer(group);
        AddBillingAddress(*db, gid, u"boss@acme.example"_s);
        const qint32 ann = fx->addCustomer(u"ann"_s, bp, ip);
        AddBillingAddress(*db, ann, u"ann@acme.example"_s);
        const qint32 bob = fx->addCustomer(u"bob"_s, bp, ip);
        AddBillingAddress(*db, bob, QString()); // no e-mail address

        CInvoiceDoc doc(*db);
        doc.SetReporter([](const RatingReport&) {});
        const DbDateTime date = DbFromDate(2024, 5, 2);
        QCOMPARE(doc.Create(gid, bp, ip, date, true, true), 39);
        QCOMPARE(doc.Create(ann, bp, ip, date, false, true), 39);
        QCOMPARE(doc.Create(bob, bp, ip, date, false, true), 39);
        QVERIFY(!doc.Finish());
        const qint32 num = doc.InvoiceNum();
        QVERIFY(doc.Invoice().Flags & InvoiceFlag::SendToMembers);

        CRecordingUi recorder;
        CLogLines log;
        QVERIFY2(!SendInvoice(*db, num), qPrintable(log.messages().join('\n')));
        CSmtpSinkProcess::Message m;
        QVERIFY(sink.take(m));
        QCOMPARE(m.rcpt, QStringList({"boss@acme.example", "ann@acme.example"}));
        QVERIFY2(log.messages().contains(u"bob|WARNING|"_s), qPrintable(log.messages().join('\n')));
    }
};

QTEST_MAIN(TestInvoiceDelivery)
#include "tst_invoicedelivery.moc"
