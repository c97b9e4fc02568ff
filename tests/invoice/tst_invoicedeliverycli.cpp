// `tollkeeper-cli invoice print` and `invoice send` run as separate processes against a real
// database file: the PDF written and read back with pdftotext, and the exit statuses of a
// sent, a refused and a failed invoice.
#include "common/billingfixture.h"
#include "common/cliprocess.h"
#include "core/db/database.h"
#include "core/db/schema.h"
#include "common/deliveryfixture.h"
#include "common/testfolders.h"

#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QTest>
#include <memory>

namespace {
InvoicePlanRow plan(bool email, bool print, bool view = false) {
    InvoicePlanRow p;
    p.Name = QStringLiteral("Plan");
    p.EmailOnCreate = email;
    p.PrintOnCreate = print;
    p.ViewOnCreate = view;
    p.Options = 1; // HTML
    // A server name that never resolves: the e-mail fails at once, without any network.
    p.EmailServer = QStringLiteral("mail.tollkeeper-test.invalid");
    p.EmailSender = QStringLiteral("billing@isp.example");
    p.EmailSubject = QStringLiteral("Invoice");
    return p;
}
} // namespace

class TestInvoiceDeliveryCli : public QObject {
    Q_OBJECT

    using Result = CliResult;

    std::unique_ptr<CTestFolders> m_folders;
    QString m_dbPath;

    Result run(const QStringList& args) { return RunCliOn(m_folders->path(), m_dbPath, args); }

    qint32 printNum = 0, viewNum = 0, mailNum = 0, zeroNum = 0;

private slots:
    void initTestCase() {
        QVERIFY2(CliMissing().isEmpty(), qPrintable(CliMissing()));
        m_folders = std::make_unique<CTestFolders>();
        m_dbPath = m_folders->filePath(QStringLiteral("cli.db"));
        CreateNewDatabase(m_dbPath);
        Database db;
        db.open(m_dbPath);
        CBillingFixture fx(db);
        DeliveryInvoiceSpec spec;
        spec.amount = "99.90";
        printNum = MakeDeliveryInvoice(db, fx, plan(false, true), spec);
        spec.username = QStringLiteral("viewer");
        viewNum = MakeDeliveryInvoice(db, fx, plan(false, false, true), spec);
        spec.username = QStringLiteral("mailer");
        mailNum = MakeDeliveryInvoice(db, fx, plan(true, false), spec);
        spec.username = QStringLiteral("nothing");
        spec.amount = "0";
        zeroNum = MakeDeliveryInvoice(db, fx, plan(false, true), spec);
        QVERIFY(printNum && viewNum && mailNum && zeroNum);
        InvoicePlanRow printer = plan(false, true);
        printer.Name = QStringLiteral("Printer");
        fx.addInvoicePlan(printer);
    }

    void printToPdf() {
        const QString pdf = m_folders->filePath(QStringLiteral("out/invoice.pdf"));
        QDir().mkpath(QFileInfo(pdf).path());
        const Result r = run({QStringLiteral("invoice"), QStringLiteral("print"),
                              QString::number(printNum), QStringLiteral("--pdf"), pdf});
        QVERIFY2(r.code == 0, qPrintable(r.err));
        QCOMPARE(r.out.trimmed(), pdf);
        QProcess text;
        text.start(QStringLiteral("pdftotext"),
                   {QStringLiteral("-layout"), pdf, QStringLiteral("-")});
        QVERIFY(text.waitForFinished(30000));
        const QString content = QString::fromUtf8(text.readAllStandardOutput());
        QVERIFY2(content.contains(QStringLiteral("Joe Miller")), qPrintable(content));
        QVERIFY2(content.contains(QRegularExpression(QStringLiteral("New Balance:\\s+99\\.90"))),
                 qPrintable(content));
    }

    void printUsageAndFailures_data() {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("code");
        QTest::newRow("no --pdf") << QStringList{"invoice", "print", "1"} << 2;
        QTest::newRow("no number") << QStringList{"invoice", "print", "--pdf", "x.pdf"} << 2;
        QTest::newRow("unknown invoice")
            << QStringList{"invoice", "print", "999", "--pdf", "x.pdf"} << 1;
        QTest::newRow("folder missing")
            << QStringList{"invoice", "print", "1", "--pdf", "no/such/dir/x.pdf"} << 1;
        QTest::newRow("empty --pdf") << QStringList{"invoice", "print", "1", "--pdf", ""} << 2;
        QTest::newRow("--pdf twice")
            << QStringList{"invoice", "print", "1", "--pdf", "a.pdf", "--pdf", "b.pdf"} << 2;
        QTest::newRow("send without number") << QStringList{"invoice", "send"} << 2;
        QTest::newRow("send, --plan twice")
            << QStringList{"invoice", "send", "1", "--plan", "a", "--plan", "b"} << 2;
        QTest::newRow("send unknown plan")
            << QStringList{"invoice", "send", "1", "--plan", "No such plan"} << 1;
        QTest::newRow("send unknown invoice") << QStringList{"invoice", "send", "999"} << 1;
    }
    void printUsageAndFailures() {
        QFETCH(QStringList, args);
        QFETCH(int, code);
        const Result r = run(args);
        QVERIFY2(r.code == code, qPrintable(QStringLiteral("%1\n%2").arg(r.code).arg(r.err)));
        QVERIFY(!QFile::exists(m_folders->filePath(QStringLiteral("no/such/dir/x.pdf"))));
    }

    // Printing by the plan's options writes the PDF into the user's data folder.
    void sendPrints() {
        const Result r =
            run({QStringLiteral("invoice"), QStringLiteral("send"), QString::number(printNum)});
        QVERIFY2(r.code == 0, qPrintable(r.err));
        const QRegularExpressionMatch m =
            QRegularExpression(QStringLiteral("^Printed to (.*Invoice %1\\.pdf)$").arg(printNum),
                               QRegularExpression::MultilineOption)
                .match(r.out);
        QVERIFY2(m.hasMatch(), qPrintable(r.out));
        QVERIFY(QFile::exists(m.captured(1)));
        QVERIFY(m.captured(1).startsWith(m_folders->path()));
    }

    void sendRefusedAndFailed() {
        Result r = run({"invoice", "send", QString::number(viewNum)});
        QCOMPARE(r.code, 3);
        QVERIFY2(r.err.contains(QStringLiteral(
                     "The invoicing plan has only the 'view' 'send' option selected.")),
                 qPrintable(r.err));
        r = run({"invoice", "send", QString::number(zeroNum)});
        QCOMPARE(r.code, 3);
        QVERIFY(r.err.contains(QStringLiteral("says don't send it.")));
        // The view-only invoice printed by another plan.
        r = run({"invoice", "send", QString::number(viewNum), "--plan", "Printer"});
        QVERIFY2(r.code == 0, qPrintable(r.err));
        QVERIFY(r.out.contains(QStringLiteral("Invoice %1.pdf").arg(viewNum)));
        // A mail server that cannot be reached: failure, with the log lines on stderr.
        r = run({"invoice", "send", QString::number(mailNum)});
        QCOMPARE(r.code, 1);
        QVERIFY2(r.err.contains(QStringLiteral("emailing invoice.")), qPrintable(r.err));
    }
};

QTEST_MAIN(TestInvoiceDeliveryCli)
#include "tst_invoicedeliverycli.moc"
