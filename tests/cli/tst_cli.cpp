// The built tollkeeper-cli run as a separate process on real database files, with its own
// settings and data folders: argument handling, help, exit statuses, where messages and
// results go, and the files the commands write. The rules behind the commands (billing,
// import, rendering) are tested in process.
#include "common/billingfixture.h"
#include "common/cliprocess.h"
#include "common/deliveryfixture.h"
#include "common/radiusdetail.h"
#include "common/testfolders.h"
#include "core/billing/invoicedoc.h"
#include "core/db/currency.h"
#include "core/db/database.h"
#include "core/db/datetimeutil.h"
#include "core/db/schema.h"
#include "core/invoice/invoicerep.h"
#include "core/invoice/invoicerepdata.h"

#include <QDirIterator>
#include <QProcess>
#include <QtTest>
#include <memory>

namespace {

using F = CBillingFixture;

QString amount(const char* text) {
    return F::money(text).format(CurrencyDecimals());
}

QStringList sorted(QStringList list) {
    list.sort();
    return list;
}

InvoicePlanRow deliveryPlan(bool email, bool print, bool view = false) {
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

class TestCli : public QObject {
    Q_OBJECT

    std::unique_ptr<CTestFolders> m_folders;

    CliResult run(const QStringList& args) { return RunCli(m_folders->path(), args, 120000); }
    CliResult on(const QString& db, const QStringList& args) {
        return RunCliOn(m_folders->path(), db, args, 120000);
    }
    QString dataFolder() const { return m_folders->dataHome() + "/Corvane/Tollkeeper"; }
    QString newDatabase(const QString& name, const QString& sql = {}) {
        const QString path = m_folders->filePath(name);
        CreateNewDatabase(path);
        if (!sql.isEmpty()) {
            Database db;
            db.open(path);
            db.execute(sql);
        }
        return path;
    }
    static QVariant scalar(const QString& path, const QString& sql) {
        Database db;
        db.open(path);
        return db.scalar(sql);
    }
    QStringList pdfFiles(bool remove = false) {
        QStringList files;
        QDirIterator it(m_folders->path(), {"*.pdf"}, QDir::Files, QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QString path = it.next();
            files << QFileInfo(path).fileName();
            if (remove)
                QFile::remove(path);
        }
        return sorted(files);
    }

    // Plans "Monthly" (fee 10) and "Premium" (fee 25), invoicing plans "Plain" and "Printed"
    // (prints on sending); customers ann and bob, the inactive idle, the departed gone and
    // noplan without an invoicing plan; groups team (ann, bob, idle), strict (override bit,
    // no override plan) and leavers (gone).
    QString billDatabase() {
        const QString path = newDatabase("bill.db");
        Database db;
        db.open(path);
        F fx(db);
        const qint32 monthly = fx.addPlan("Monthly", QDate(2024, 4, 1), QDate(2024, 5, 1));
        fx.attach(monthly, fx.addCharge(F::fixed("Fee", "10")));
        const qint32 premium = fx.addPlan("Premium", QDate(2024, 4, 1), QDate(2024, 5, 1));
        fx.attach(premium, fx.addCharge(F::fixed("Premium fee", "25")));
        const qint32 plain = fx.addInvoicePlan("Plain");
        InvoicePlanRow printed;
        printed.Name = "Printed";
        printed.PrintOnCreate = true;
        printed.CreateIfZero = true;
        fx.addInvoicePlan(printed);

        const qint32 ann = fx.addCustomer("ann", monthly, plain);
        const qint32 bob = fx.addCustomer("bob", monthly, plain);
        UserRow idle = fx.customer(fx.addCustomer("idle", monthly, plain));
        idle.ActiveStatus = 0;
        fx.updateCustomer(idle);
        UserRow gone = fx.customer(fx.addCustomer("gone", monthly, plain));
        gone.EndDate = DbFromDate(2024, 1, 1);
        fx.updateCustomer(gone);
        fx.addCustomer("noplan", monthly, 0);
        auto group = [&](const char* name, qint32 options, QList<qint32> members) {
            UserRow g;
            g.Username = name;
            g.IsGroup = true;
            g.GroupOptions = options;
            const qint32 id = fx.addCustomer(g);
            for (const qint32 m : members)
                db.execute("INSERT INTO UserGroupJoin (GroupId, UserLinkId) VALUES (?, ?)",
                           {id, m});
        };
        group("team", 0, {ann, bob, idle.Id});
        group("strict", 0x01, {ann});
        group("leavers", 0, {gone.Id});
        return path;
    }

private slots:
    void initTestCase() { QVERIFY2(CliMissing().isEmpty(), qPrintable(CliMissing())); }
    void init() {
        m_folders = std::make_unique<CTestFolders>();
        QVERIFY(m_folders->isValid());
    }
    void cleanup() { m_folders.reset(); }

    void help() {
        CliResult r = run({"--help"});
        QCOMPARE(r.code, 0);
        QVERIFY(r.out.startsWith("Usage: tollkeeper-cli"));
        QVERIFY(r.err.isEmpty());
        for (const QString& line : r.out.split('\n'))
            QVERIFY2(line.size() <= 100, qPrintable(line));
        for (const char* c : {"backup", "bill", "compact", "import", "init", "invoice", "log",
                              "month", "repair", "schema", "send-group"})
            QVERIFY2(r.out.contains(QRegularExpression(QString("\\n  %1 +[A-Z]").arg(c))), c);

        r = run({"bill", "--help"});
        QCOMPARE(r.code, 0);
        QVERIFY(r.out.startsWith("Usage: bill (--customer NAME | --group NAME)"));
        QVERIFY(r.out.contains(QRegularExpression("\\n +--billing-plan NAME +bill with")));
        r = run({"invoice", "show", "--help"});
        QCOMPARE(r.code, 0);
        QVERIFY(r.out.startsWith("Usage: invoice show N [--text|--html] [-o FILE]\n"));
        QVERIFY(r.out.contains("-o, --output FILE"));
        QVERIFY(run({"invoice", "--help"}).out.contains("\n  send N [--plan NAME]\n"));

        r = run({});
        QCOMPARE(r.code, 2);
        QVERIFY(r.out.isEmpty());
        QVERIFY(r.err.startsWith("Usage: tollkeeper-cli"));
    }

    // Refused before the database is opened: status 2, one line on stderr, nothing on stdout.
    void usageErrors_data() {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("err");
        const QStringList keep{"--date", "2024-05-02", "--keep"};
        const QStringList show{"invoice", "show"};
        QTest::newRow("unknown command") << QStringList{"frobnicate"} << "Unknown command";
        QTest::newRow("unknown global option")
            << QStringList{"--bogus", "schema"} << "Unknown option '--bogus'";
        QTest::newRow("unknown command option") << QStringList{"log", "--bogus=1"}
                                                << "Unknown option '--bogus'. Run 'tollkeeper-cli "
                                                   "log --help'";
        QTest::newRow("missing value")
            << QStringList{"bill", "--keep", "--group"} << "Option '--group' needs a value (NAME).";
        QTest::newRow("--db without file") << QStringList{"schema", "--db"} << "'--db' needs";
        QTest::newRow("--db empty") << QStringList{"--db=", "schema"} << "'--db' needs";
        QTest::newRow("flag with value") << QStringList{"log", "--clear=yes"} << "takes no value";
        QTest::newRow("value twice") << (QStringList{"bill", "--group", "a", "--group", "b"} + keep)
                                     << "given more than once";
        QTest::newRow("yes and no") << QStringList{"--yes", "--no", "schema"} << "--yes and --no";
        QTest::newRow("date with trailing text")
            << QStringList{"bill", "--group", "team", "--date", "2026-12-01x", "--keep"}
            << "'2026-12-01x' is no date of the form YYYY-MM-DD.";
        QTest::newRow("no such day")
            << QStringList{"send-group", "--group", "team", "--date", "2024-13-01"} << "YYYY-MM-DD";
        QTest::newRow("month date") << QStringList{"month", "--date", "1.12.2026"} << "YYYY-MM-DD";
        QTest::newRow("neither keep nor discard")
            << QStringList{"bill", "--group", "t"} << "Usage: bill";
        QTest::newRow("send without keep")
            << QStringList{"bill", "--group", "t", "--discard", "--send"} << "Usage: bill";
        QTest::newRow("customer and group")
            << (QStringList{"bill", "--group", "t", "--customer", "a"} + keep) << "Usage: bill";
        QTest::newRow("send-group without date")
            << QStringList{"send-group", "--group", "t"} << "Usage: send-group";
        QTest::newRow("backup without file") << QStringList{"backup"} << "Usage: backup FILE";
        QTest::newRow("backup two files") << QStringList{"backup", "a", "b"} << "Usage: backup";
        QTest::newRow("schema argument") << QStringList{"schema", "x"} << "Usage: schema";
        QTest::newRow("init --force alone") << QStringList{"init", "--force"} << "--sample";
        QTest::newRow("import no file")
            << QStringList{"import", "--system", "radius", "--server", "s"} << "Usage: import";
        QTest::newRow("import unknown system")
            << QStringList{"import", "--system", "nt", "--server", "s", "f"} << "Usage: import";
        QTest::newRow("import no server")
            << QStringList{"import", "--system", "radius", "f"} << "Usage: import";
        QTest::newRow("import two files")
            << QStringList{"import", "--system", "radius", "--server", "s", "a", "b"}
            << "Usage: import";
        QTest::newRow("invoice alone") << QStringList{"invoice"} << "needs a subcommand";
        QTest::newRow("invoice frob")
            << QStringList{"invoice", "frob"} << "Unknown invoice subcommand 'frob'.";
        const QString showUsage = "Usage: invoice show N [--text|--html] [-o FILE]";
        QTest::newRow("show no number") << show << showUsage;
        QTest::newRow("show x") << (show + QStringList{"x"}) << showUsage;
        QTest::newRow("show 0") << (show + QStringList{"0"}) << showUsage;
        QTest::newRow("show two numbers") << (show + QStringList{"1", "2"}) << showUsage;
        QTest::newRow("show both pages")
            << (show + QStringList{"1", "--text", "--html"}) << showUsage;
        QTest::newRow("show -o last") << (show + QStringList{"1", "-o"}) << "'-o' needs";
        QTest::newRow("show -o empty") << (show + QStringList{"1", "-o", ""}) << "'-o' needs";
        QTest::newRow("show -o twice")
            << (show + QStringList{"1", "-o", "a", "-o", "b"}) << "more than once";
        QTest::newRow("print no --pdf")
            << QStringList{"invoice", "print", "1"} << "Usage: invoice print N --pdf FILE";
        QTest::newRow("print no number")
            << QStringList{"invoice", "print", "--pdf", "x.pdf"} << "Usage: invoice print";
        QTest::newRow("print --pdf twice")
            << QStringList{"invoice", "print", "1", "--pdf", "a", "--pdf", "b"} << "more than once";
        QTest::newRow("send no number") << QStringList{"invoice", "send"} << "Usage: invoice send";
    }
    void usageErrors() {
        QFETCH(QStringList, args);
        QFETCH(QString, err);
        const CliResult r = run(args);
        QCOMPARE(r.code, 2);
        QVERIFY2(r.err.startsWith(err) || r.err.contains(err), qPrintable(r.err));
        QCOMPARE(r.err.count('\n'), 1);
        QVERIFY(r.out.isEmpty());
        QVERIFY(!QFile::exists(dataFolder() + "/tollk.db"));
    }

    void initAndSchema() {
        const QString path = m_folders->filePath("new.db");
        CliResult r = run({"--db", path, "init"});
        QCOMPARE(r.code, 0);
        QCOMPARE(r.out.trimmed(), path);
        QCOMPARE(scalar(path, "SELECT [Version] FROM DBInfo").toInt(), int(kCurrentDbVersion));
        {
            Database db;
            db.open(path);
            db.execute("INSERT INTO Users ([Username]) VALUES ('keep')");
        }
        // Never over an existing file.
        r = run({"--db", path, "init"});
        QCOMPARE(r.code, 1);
        QVERIFY(r.out.isEmpty());
        QVERIFY(r.err.contains(path));
        QCOMPARE(scalar(path, "SELECT [Username] FROM Users").toString(), QString("keep"));

        r = run({"init"});
        QCOMPARE(r.code, 0);
        QCOMPARE(r.out.trimmed(), dataFolder() + "/tollk.db");

        r = run({"schema"});
        QCOMPARE(r.code, 0);
        QVERIFY(r.out.split('\n').contains("Users"));
        QVERIFY(r.out.contains(QRegularExpression("\\n  Username +Text\\(40\\)")));
        QVERIFY(r.out.contains("  index PrimaryKey (Id) primary unique"));
        QVERIFY(r.err.isEmpty());
        r = run({"--db", path, "schema", "--file"});
        QCOMPARE(r.code, 0);
        QVERIFY(r.out.split('\n').contains("Invoices"));
    }

    void questionsAnsweredOrRefused() {
        const QString path = newDatabase("q.db", "INSERT INTO Users ([Username]) VALUES ('al')");
        CliResult r = on(path, {"compact"});
        QCOMPARE(r.code, 3);
        QVERIFY(r.err.contains("Do you wish to compact the database?"));
        QVERIFY(r.err.contains("--yes or --no"));
        QCOMPARE(on(path, {"--no", "compact"}).code, 3);

        r = on(path, {"--yes", "--verbose", "compact"});
        QCOMPARE(r.code, 0);
        QVERIFY(r.err.contains("Compacting database..."));
        // Global options also work after the command.
        r = on(path, {"repair", "-y"});
        QCOMPARE(r.code, 0);
        QVERIFY(!r.err.contains("Repairing database...")); // status only with --verbose
        QCOMPARE(scalar(path, "SELECT [Username] FROM Users").toString(), QString("al"));
    }

    void backupAndUnusableDatabase() {
        const QString path = newDatabase("live.db", "INSERT INTO Users ([Username]) VALUES ('b')");
        const QString target = m_folders->filePath("copy.db");
        CliResult r = on(path, {"backup", target});
        QCOMPARE(r.code, 0);
        QCOMPARE(r.out.trimmed(), target);
        QCOMPARE(scalar(target, "SELECT [Username] FROM Users").toString(), QString("b"));
        r = on(path, {"backup", m_folders->filePath("missing/dir/copy.db")});
        QCOMPARE(r.code, 1);
        QVERIFY(r.err.contains("Database backup failed."));
        QCOMPARE(on(path, {"backup", path}).code, 1);

        const QString missing = m_folders->filePath("nothere.db");
        r = on(missing, {"--yes", "compact"});
        QCOMPARE(r.code, 1);
        QVERIFY(r.err.contains(QString("Error opening Tollkeeper database %1.").arg(missing)));
        QVERIFY(!QFile::exists(missing));
        Database holder;
        holder.open(path);
        r = on(path, {"backup", m_folders->filePath("b.db")});
        QCOMPARE(r.code, 1);
        QVERIFY(r.err.contains(QString("Error opening Tollkeeper database %1.").arg(path)));
        QVERIFY(!QFile::exists(m_folders->filePath("b.db")));
    }

    void logPrintsAndClears() {
        QDir().mkpath(dataFolder());
        const QString logPath = dataFolder() + "/Tollk.log";
        {
            QFile f(logPath);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write("1/2/2024 10:00:00\tbob\tERROR\tNo billing plan\r\n"
                    "1/2/2024 10:00:01\tcaf\xe9\tSUCCESS\tInvoice created\r\n");
        }
        CliResult r = run({"log"});
        QCOMPARE(r.code, 0);
        QCOMPARE(r.out, QString("1/2/2024 10:00:00\tbob\tERROR\tNo billing plan\n"
                                "1/2/2024 10:00:01\tcaf\u00e9\tSUCCESS\tInvoice created\n"));
        r = run({"log", "--clear"});
        QCOMPARE(r.code, 3);
        QVERIFY(r.err.contains("Clear the logfile?"));
        QVERIFY(QFileInfo(logPath).size() > 0);
        QCOMPARE(run({"--yes", "log", "--clear"}).code, 0);
        QCOMPARE(QFileInfo(logPath).size(), 0);
        QVERIFY(run({"log"}).out.isEmpty());
    }

    void billKeepAndDiscard() {
        const QString db = billDatabase();
        CliResult r = on(db, {"bill", "--group", "team", "--date", "2024-05-02", "--keep"});
        QCOMPARE(r.code, 0);
        QCOMPARE(r.outLines(), (QStringList{"1\tann\t" + amount("10") + "\t" + amount("10"),
                                            "2\tbob\t" + amount("10") + "\t" + amount("10")}));
        QVERIFY2(r.err.contains("WARNING\tteam\tNo billing plan."), qPrintable(r.err));
        QVERIFY2(r.err.contains("WARNING\tidle\tcustomer is not active."), qPrintable(r.err));
        QCOMPARE(scalar(db, "SELECT COUNT(*) FROM Invoices").toInt(), 2);
        r = on(db, {"bill", "--customer=ann", "--date=2024-05-03", "--keep", "--billing-plan",
                    "Premium"});
        QCOMPARE(r.code, 0);
        QCOMPARE(r.outLines(), QStringList{"3\tann\t" + amount("25") + "\t" + amount("35")});

        r = on(db, {"bill", "--customer", "bob", "--date", "2024-05-04", "--discard",
                    "--billing-plan", "Premium"});
        QCOMPARE(r.code, 0);
        QCOMPARE(r.outLines().size(), 1);
        QVERIFY(r.err.contains("Discarded 1 new invoice(s)."));
        QCOMPARE(scalar(db, "SELECT COUNT(*) FROM Invoices").toInt(), 3);
    }

    void billFailures_data() {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("err");
        QTest::newRow("group refused")
            << QStringList{"--group", "strict"} << "Group has no override billing plan.";
        QTest::newRow("no such group")
            << QStringList{"--group", "ann"} << "Customer group record not found.";
        QTest::newRow("no such customer")
            << QStringList{"--customer", "zoe"} << "Customer record not found.";
        QTest::newRow("no invoicing plan")
            << QStringList{"--customer", "noplan"} << "Please choose an invoicing plan to use";
        QTest::newRow("inactive customer")
            << QStringList{"--customer", "idle"} << "Customer does not have active status.";
        QTest::newRow("invoice fails") << QStringList{"--group", "leavers"}
                                       << "ERROR\tgone\tcustomer's service was terminated";
        QTest::newRow("no such plan") << QStringList{"--customer", "ann", "--billing-plan", "Gold"}
                                      << "There is no billing plan named 'Gold'.";
    }
    void billFailures() {
        QFETCH(QStringList, args);
        QFETCH(QString, err);
        const QString db = billDatabase();
        const CliResult r = on(db, QStringList{"bill", "--date", "2024-05-02", "--keep"} + args);
        QCOMPARE(r.code, 1);
        QVERIFY2(r.err.contains(err), qPrintable(r.err));
        QVERIFY(r.out.isEmpty());
        QCOMPARE(scalar(db, "SELECT COUNT(*) FROM Invoices").toInt(), 0);
    }

    void billSendAndSendGroup() {
        const QString db = billDatabase();
        CliResult r = on(db, {"bill", "--group", "team", "--date", "2024-05-02", "--invoice-plan",
                              "Printed", "--keep", "--send"});
        QCOMPARE(r.code, 0);
        QCOMPARE(r.outLines().size(), 2);
        QCOMPARE(pdfFiles(true), (QStringList{"Invoice 1.pdf", "Invoice 2.pdf"}));

        const QStringList sendTeam{"send-group", "--group", "team", "--date", "2024-05-02"};
        r = on(db, sendTeam + QStringList{"--invoice-plan", "Printed"});
        QCOMPARE(r.code, 0);
        QCOMPARE(sorted(r.outLines()), (QStringList{"1\tann\tsent", "2\tbob\tsent"}));
        QCOMPARE(pdfFiles(), (QStringList{"Invoice 1.pdf", "Invoice 2.pdf"}));
        r = on(db, sendTeam + QStringList{"--invoice-plan", "Plain"});
        QCOMPARE(r.code, 0);
        QCOMPARE(sorted(r.outLines()), (QStringList{"1\tann\tnot sent", "2\tbob\tnot sent"}));
        QVERIFY(r.err.contains("The invoicing plan has no 'send' options selected."));
        r = on(db, {"send-group", "--group", "team", "--date", "2024-06-02"});
        QCOMPARE(r.code, 0);
        QVERIFY(r.out.isEmpty());
    }

    void importSummaryAndExitStatuses() {
        const QString db = newDatabase("import.db");
        QByteArray bytes;
        for (int i = 0; i < 3; ++i) {
            RadiusDetailSession s;
            s.user = QStringLiteral("Puser%1").arg(i);
            s.written = QDateTime(QDate(2023, 6, 1), QTime(0, 0)).addSecs(i * 90);
            s.sessionId = QString::number(i);
            s.framedProtocol.clear(); // written after the user name, as many servers do
            s.extra = {{"Framed-Protocol", "PPP"}};
            bytes += RadiusDetailRecord(s);
        }
        const QString file = m_folders->filePath("detail");
        QVERIFY(WriteFileBytes(file, bytes));
        const QStringList radius{"import", "--system", "radius", "--server", "NAS-1"};
        CliResult r = on(db, radius + QStringList{"--strip-prefixes", file});
        QCOMPARE(r.code, 0);
        QCOMPARE(r.outLines().last(), QString("Found 3 new logons out of 3 events"));
        QCOMPARE(scalar(db, "SELECT MIN(Username) FROM Events").toString(), QString("user0"));
        r = on(db, {"import", "--system=RADIUS", "--server=nas-1", "--strip-prefixes", file});
        QCOMPARE(r.code, 0);
        QCOMPARE(r.outLines().last(), QString("Found 0 new logons out of 3 events"));

        r = on(db, radius + QStringList{m_folders->filePath("missing.log")});
        QCOMPARE(r.code, 4);
        QVERIFY(!r.err.isEmpty());
        QCOMPARE(r.outLines().last(), QString("Found 0 new logons out of 0 events"));
        {
            Database d;
            d.open(db);
            d.execute("DROP TABLE Events");
        }
        r = on(db, radius + QStringList{file});
        QCOMPARE(r.code, 1);
        QVERIFY(r.err.contains("Error importing event log."));
    }

    void invoiceShow() {
        const QString db = newDatabase("show.db");
        qint32 n = 0;
        QByteArray text, html;
        {
            Database d;
            d.open(db);
            F fx(d);
            n = MakeDeliveryInvoice(d, fx, deliveryPlan(false, true));
            QVERIFY(n > 0);
            CInvoiceDoc doc(d);
            doc.SetReporter([](const RatingReport&) {});
            QCOMPARE(doc.Load(n), 0);
            CInvoiceRep rep;
            rep.Render(InvoiceRepDataFromDoc(doc, d));
            text = rep.PlainText();
            html = rep.Html();
        }
        CliResult r = on(db, {"invoice", "show", QString::number(n), "--text"});
        QCOMPARE(r.code, 0);
        QCOMPARE(r.outBytes, text);
        // Without a choice, the page its customer receives (HTML by this plan).
        QCOMPARE(on(db, {"invoice", "show", QString::number(n)}).outBytes, html);

        r = on(db, {"invoice", "show", "--html", "-o", m_folders->filePath("out/../page.htm"),
                    QString::number(n)});
        QCOMPARE(r.code, 0);
        QVERIFY(r.outBytes.isEmpty());
        QFile page(m_folders->filePath("page.htm"));
        QVERIFY(page.open(QIODevice::ReadOnly));
        QCOMPARE(page.readAll(), html);

        // Failures write nothing.
        const QString none = m_folders->filePath("none.htm");
        r = on(db, {"invoice", "show", "4711", "-o", none});
        QCOMPARE(r.code, 1);
        QVERIFY2(r.err.contains("Invoice 4711 could not be loaded"), qPrintable(r.err));
        QVERIFY(!QFile::exists(none));
        r = on(db, {"invoice", "show", QString::number(n), "--output",
                    m_folders->filePath("no/such/dir/x.htm")});
        QCOMPARE(r.code, 1);
        QVERIFY2(r.err.contains("Unable to write"), qPrintable(r.err));
    }

    void invoicePrintAndSend() {
        const QString db = newDatabase("send.db");
        qint32 printNum = 0, viewNum = 0, mailNum = 0, zeroNum = 0;
        {
            Database d;
            d.open(db);
            F fx(d);
            DeliveryInvoiceSpec spec;
            spec.amount = "99.90";
            printNum = MakeDeliveryInvoice(d, fx, deliveryPlan(false, true), spec);
            spec.username = "viewer";
            viewNum = MakeDeliveryInvoice(d, fx, deliveryPlan(false, false, true), spec);
            spec.username = "mailer";
            mailNum = MakeDeliveryInvoice(d, fx, deliveryPlan(true, false), spec);
            spec.username = "nothing";
            spec.amount = "0";
            zeroNum = MakeDeliveryInvoice(d, fx, deliveryPlan(false, true), spec);
            QVERIFY(printNum && viewNum && mailNum && zeroNum);
            InvoicePlanRow printer = deliveryPlan(false, true);
            printer.Name = "Printer";
            fx.addInvoicePlan(printer);
        }
        const QString pdf = m_folders->filePath("invoice.pdf");
        CliResult r = on(db, {"invoice", "print", QString::number(printNum), "--pdf", pdf});
        QVERIFY2(r.code == 0, qPrintable(r.err));
        QCOMPARE(r.out.trimmed(), pdf);
        QProcess text;
        text.start("pdftotext", {"-layout", pdf, "-"});
        QVERIFY(text.waitForFinished(30000));
        const QString content = QString::fromUtf8(text.readAllStandardOutput());
        QVERIFY2(content.contains("Joe Miller"), qPrintable(content));
        QVERIFY2(content.contains(QRegularExpression("New Balance:\\s+99\\.90")),
                 qPrintable(content));
        QCOMPARE(on(db, {"invoice", "print", "999", "--pdf", "x.pdf"}).code, 1);
        QCOMPARE(on(db, {"invoice", "print", "1", "--pdf", "no/such/dir/x.pdf"}).code, 1);
        QVERIFY(!QFile::exists(m_folders->filePath("no/such/dir/x.pdf")));

        // Printing by the plan's options writes the PDF into the user's data folder.
        r = on(db, {"invoice", "send", QString::number(printNum)});
        QVERIFY2(r.code == 0, qPrintable(r.err));
        const QRegularExpressionMatch m =
            QRegularExpression(QString("^Printed to (.*Invoice %1\\.pdf)$").arg(printNum),
                               QRegularExpression::MultilineOption)
                .match(r.out);
        QVERIFY2(m.hasMatch(), qPrintable(r.out));
        QVERIFY(QFile::exists(m.captured(1)));
        QVERIFY(m.captured(1).startsWith(m_folders->path()));

        r = on(db, {"invoice", "send", QString::number(viewNum)});
        QCOMPARE(r.code, 3);
        QVERIFY2(r.err.contains("The invoicing plan has only the 'view' 'send' option selected."),
                 qPrintable(r.err));
        r = on(db, {"invoice", "send", QString::number(zeroNum)});
        QCOMPARE(r.code, 3);
        QVERIFY(r.err.contains("says don't send it."));
        r = on(db, {"invoice", "send", QString::number(viewNum), "--plan", "Printer"});
        QVERIFY2(r.code == 0, qPrintable(r.err));
        QVERIFY(r.out.contains(QString("Invoice %1.pdf").arg(viewNum)));
        // A mail server that cannot be reached: failure, with the log lines on stderr.
        r = on(db, {"invoice", "send", QString::number(mailNum)});
        QCOMPARE(r.code, 1);
        QVERIFY2(r.err.contains("emailing invoice."), qPrintable(r.err));
        QCOMPARE(on(db, {"invoice", "send", "1", "--plan", "No such plan"}).code, 1);
        QCOMPARE(on(db, {"invoice", "send", "999"}).code, 1);
    }
};

QTEST_MAIN(TestCli)
#include "tst_cli.moc"
