// The monthly job end to end on the sample ISP: a fresh sample database in a temporary folder,
// its month imported, every customer and group invoiced, the pages and PDFs written. Checks
// invoices worked out by hand from the sample's sessions, the counts of invoices and files,
// a log without errors, that a second run gives the same invoices, and the command line.
#include "common/cliprocess.h"
#include "common/pdftext.h"
#include "common/recordingui.h"
#include "common/testfolders.h"
#include "core/app/appcontext.h"
#include "core/app/operationlog.h"
#include "core/db/database.h"
#include "core/db/datetimeutil.h"
#include "core/jobs/monthlyjob.h"
#include "core/jobs/samplemonth.h"
#include "core/sample/sampledata.h"
#include "core/sample/sampledetail.h"

#include <QtTest>

using namespace Qt::StringLiterals;

namespace {

// Sums over one customer's sessions whose Stop record is in the month's file and that ended
// before `before` (server wall-clock time).
struct Usage {
    qint64 seconds = 0;
    qint64 bytes = 0; // sent and received
    int sessions = 0;
};
Usage usageOf(const QString& user, const QDateTime& before = {}) {
    Usage u;
    for (const SampleSession& s : SampleSessions()) {
        if (s.username != user || !s.stopInFile)
            continue;
        if (before.isValid() && s.disconnect >= before)
            continue;
        u.seconds += s.seconds;
        u.bytes += s.inputOctets + s.outputOctets;
        ++u.sessions;
    }
    return u;
}

const MonthlyJobInvoice* invoiceOf(const MonthlyJobResult& r, const QString& logon) {
    for (const MonthlyJobInvoice& inv : r.invoices)
        if (inv.logonName == logon)
            return &inv;
    return nullptr;
}

} // namespace

class TestMonthJob : public QObject {
    Q_OBJECT

    std::unique_ptr<CTestFolders> m_folders;
    std::unique_ptr<CRecordingUi> m_ui;

    // The job as the command line runs it with --sample, in `folder`.
    MonthlyJobResult runSample(const QString& folder, bool pdf = true) {
        const SampleMonthFiles files = PrepareSampleMonth(folder);
        if (!files.ok) {
            MonthlyJobResult failed;
            failed.failures << files.error;
            return failed;
        }
        Database db;
        db.open(files.databasePath);
        MonthlyJobOptions options;
        options.importFiles = {files.detailPath};
        options.serverName = QLatin1String(kSampleServerName);
        options.invoiceDate = DbFromLocal(SampleBillingDate());
        options.outputFolder = folder;
        options.pdf = pdf;
        return RunMonthlyJob(db, options);
    }

private slots:
    void init() {
        m_folders = std::make_unique<CTestFolders>();
        QVERIFY(m_folders->isValid());
        App().reset();
        m_ui = std::make_unique<CRecordingUi>();
    }
    void cleanup() {
        m_ui.reset();
        App().reset();
        m_folders.reset();
    }

    void sampleMonthEndToEnd() {
        const QString folder = m_folders->filePath(u"out"_s);
        const MonthlyJobResult r = runSample(folder);
        QVERIFY2(r.ok, qPrintable(r.failures.join(QLatin1Char('\n'))));
        QVERIFY(!r.interrupted);

        // The whole detail file went in: one session per Stop record.
        const SampleDetailCounts counts = SampleDetailRecordCounts();
        QCOMPARE(r.filesImported, 1);
        QCOMPARE(r.sessionsImported, counts.stop);
        QCOMPARE(r.recordsRead, counts.start + counts.interim + counts.stop);

        // Runs: the 17 customers in no group and the two top-level groups (the dock offices
        // are nested in the park). Invoices: the 17 customers (the two idle ones get a zero
        // invoice: the computation creates it, only sending asks the plan), one summary for
        // the park with its 5 member customers, and the 3 Riverside members; the Riverside
        // row itself has no plan (one warning). 17 + 5 + 3 = all 25 customers billed.
        QCOMPARE(r.runs, 19);
        QCOMPARE(r.invoices.size(), 21);
        QCOMPARE(r.customersBilled, 25);
        QCOMPARE(r.errors, 0);
        QCOMPARE(r.warnings, 1);
        for (const QString& line : r.logLines)
            QVERIFY2(ParseLogLine(line).severity != u"ERROR"_s, qPrintable(line));
        QVERIFY(r.logLines.filter(u"No billing plan."_s).size() == 1);
        QVERIFY(m_ui->questions.isEmpty()); // the log offers were answered by the job
        QVERIFY(m_ui->messages.isEmpty());  // nothing went wrong that it had to show

        // Every invoice number once, in order; each has its three files, and nothing else
        // is in the folder.
        QStringList expectedFiles;
        Currency sum;
        for (qsizetype i = 0; i < r.invoices.size(); ++i) {
            const MonthlyJobInvoice& inv = r.invoices[i];
            QCOMPARE(inv.number, qint32(i + 1));
            QCOMPARE(inv.files.size(), 3);
            for (const QString& f : inv.files) {
                QVERIFY2(QFileInfo(f).size() > 0, qPrintable(f));
                expectedFiles << QFileInfo(f).fileName();
            }
            sum += inv.newCharges;
        }
        QCOMPARE(r.newCharges.units(), sum.units());
        QStringList written = QDir(r.invoiceFolder).entryList(QDir::Files);
        written.sort();
        expectedFiles.sort();
        QCOMPARE(written, expectedFiles);
        QVERIFY(QFileInfo::exists(
            QDir(r.invoiceFolder)
                .filePath(MonthlyJobFileBase(invoiceOf(r, u"Harbor Business Park"_s)->number,
                                             u"Harbor Business Park"_s) +
                          u".pdf"_s)));

        // The log copy holds exactly the job's lines.
        const QList<QByteArray> logged = FileBytes(r.logCopy).split('\n');
        QCOMPARE(logged.size() - 1, r.logLines.size());

        // --- invoices worked out by hand ---

        // kobrien, Pay As You Go (2.40 per hour, sales tax 8.25 %), 9 daytime sessions:
        // 42:15 + 30:46 + 34:20 + 22:11 + 1:09:28 + 34:39 + 1:02:51 + 54:14 + 1:12:06
        // = 7:02:50 = 25370 s. 25370 / 3600 x 2.40 = 16.9133 -> 16.91 (rounding each
        // session's addition gives the same). Tax 8.25 % of 16.91 = 1.3951 -> 1.40.
        // New charges 16.91 + 1.40 = 18.31. (His session open on 1 December is not billed.)
        const Usage kobrien = usageOf(u"kobrien"_s);
        QCOMPARE(kobrien.sessions, 9);
        QCOMPARE(kobrien.seconds, 25370);
        const MonthlyJobInvoice* k = invoiceOf(r, u"kobrien"_s);
        QVERIFY(k);
        QCOMPARE(k->newCharges.units(), 183100);
        QCOMPARE(k->totalDue.units(), 183100);

        // lrossi, Anniversary Dial-up, anniversary day 5: billed 5 Oct to 5 Nov. The
        // anniversary fee falls once (5 Oct): 12.00. Her sessions before 5 Nov 00:00 total
        // 6:00:05 = 21605 s; 21605 / 3600 x 1.25 = 7.5017 -> 7.50. Subtotal 19.50; tax
        // 8.25 % = 1.6088 -> 1.61. New charges 21.11.
        const Usage lrossi =
            usageOf(u"lrossi"_s, QDateTime(QDate(2026, 11, 5), QTime(0, 0), Qt::UTC));
        QCOMPARE(lrossi.seconds, 21605);
        const MonthlyJobInvoice* l = invoiceOf(r, u"lrossi"_s);
        QVERIFY(l);
        QCOMPARE(l->newCharges.units(), 211100);

        // qwilliams, Broadband Home, started 16 Nov (first invoice). Monthly fee 29.95 for 15
        // of 30 days = 14.975 -> 14.98; set-up fee 25.00. Traffic 54584317 sent + 472885106
        // received = 527469423 bytes = 503.03 MB: 503 whole MB x 0.05 = 25.15 (the rest is
        // carried). Network surcharge 5 % of 25.15 = 1.2575 -> 1.26. Subtotal 14.98 + 25.00 +
        // 25.15 + 1.26 = 66.39; tax 8.25 % = 5.4772 -> 5.48. New charges 71.87.
        const Usage qwilliams = usageOf(u"qwilliams"_s);
        QCOMPARE(qwilliams.bytes, Q_INT64_C(527469423));
        QCOMPARE(qwilliams.bytes / (1024 * 1024), 503);
        const MonthlyJobInvoice* q = invoiceOf(r, u"qwilliams"_s);
        QVERIFY(q);
        QCOMPARE(q->newCharges.units(), 718700);

        // ijohansson has no sessions and Pay As You Go has no fixed charge: 0.00.
        const MonthlyJobInvoice* i = invoiceOf(r, u"ijohansson"_s);
        QVERIFY(i);
        QCOMPARE(i->newCharges.units(), 0);

        // The pages and the PDF show the hand-worked figures.
        const QString base =
            QDir(r.invoiceFolder).filePath(MonthlyJobFileBase(k->number, k->logonName));
        const QByteArray text = FileBytes(base + u".txt"_s);
        QVERIFY(text.contains("07:02:50 (7.05) at 2.40 per Hour"));
        QVERIFY(text.contains("18.31"));
        QVERIFY(FileBytes(base + u".html"_s).contains("18.31"));
        const QString pdf = PdfText(base + u".pdf"_s);
        QVERIFY2(pdf.contains(u"18.31"_s), qPrintable(pdf));
        QVERIFY(pdf.contains(u"Kevin O'Brien"_s));
    }

    // A fresh copy of the sample each run: the same invoices, byte for byte in their pages.
    void secondRunGivesTheSameInvoices() {
        const QString folder = m_folders->filePath(u"again"_s);
        const MonthlyJobResult first = runSample(folder, false);
        QVERIFY(first.ok);
        QHash<QString, QByteArray> pages;
        for (const MonthlyJobInvoice& inv : first.invoices)
            for (const QString& f : inv.files)
                pages.insert(f, FileBytes(f));
        QCOMPARE(pages.size(), first.invoices.size() * 2);

        const MonthlyJobResult second = runSample(folder, false);
        QVERIFY(second.ok);
        QCOMPARE(second.sessionsImported, first.sessionsImported);
        QCOMPARE(second.invoices.size(), first.invoices.size());
        for (qsizetype n = 0; n < first.invoices.size(); ++n) {
            const MonthlyJobInvoice& a = first.invoices[n];
            const MonthlyJobInvoice& b = second.invoices[n];
            QCOMPARE(b.number, a.number);
            QCOMPARE(b.logonName, a.logonName);
            QCOMPARE(b.newCharges.units(), a.newCharges.units());
            QCOMPARE(b.totalDue.units(), a.totalDue.units());
            QCOMPARE(b.files, a.files);
            for (const QString& f : b.files)
                QVERIFY2(FileBytes(f) == pages.value(f), qPrintable(f));
        }
        QCOMPARE(second.newCharges.units(), first.newCharges.units());
    }

    // Without a graphical application no PDF can be laid out: here there is one, so the
    // check is the other failure the job reports instead of going on: an output folder that
    // cannot be made.
    void unusableOutputFolderFails() {
        const QString blocker = m_folders->filePath(u"blocked"_s);
        QVERIFY(WriteFileBytes(blocker, {}));
        const SampleMonthFiles files = PrepareSampleMonth(m_folders->filePath("db"));
        QVERIFY(files.ok);
        Database db;
        db.open(files.databasePath);
        MonthlyJobOptions options;
        options.importFiles = {files.detailPath};
        options.invoiceDate = DbFromLocal(SampleBillingDate());
        options.outputFolder = blocker; // a file: "invoices" cannot be made inside it
        const MonthlyJobResult r = RunMonthlyJob(db, options);
        QVERIFY(!r.ok);
        QVERIFY(r.invoices.isEmpty());
        QCOMPARE(db.scalar(u"SELECT COUNT(*) FROM Invoices"_s).toInt(), 0);
        QCOMPARE(db.scalar(u"SELECT COUNT(*) FROM Events"_s).toInt(), 0);

        // A file that cannot be read stops the job before any invoice is made.
        options.outputFolder = m_folders->filePath(u"out2"_s);
        options.importFiles = {m_folders->filePath(u"missing-detail"_s)};
        const MonthlyJobResult missing = RunMonthlyJob(db, options);
        QVERIFY(!missing.ok);
        QCOMPARE(missing.filesImported, 0);
        QCOMPARE(db.scalar(u"SELECT COUNT(*) FROM Invoices"_s).toInt(), 0);
    }

    // Esc while the pages are written, confirmed: the job stops there and says so; the
    // invoices made stay kept.
    void escWhileWritingStopsTheJob() {
        bool pressed = false;
        m_ui->onPoll = [&] {
            if (!pressed && m_ui->processCalls.contains(u"start:29:Writing invoices..."_s)) {
                pressed = true;
                m_ui->pressEsc();
            }
        };
        m_ui->queueAnswers({true});
        const QString folder = m_folders->filePath(u"esc"_s);
        const MonthlyJobResult r = runSample(folder, false);
        m_ui->onPoll = nullptr;
        QVERIFY(pressed);
        QVERIFY(!r.ok);
        QVERIFY(r.interrupted);
        QVERIFY(m_ui->hasQuestion(u"Interrupt process?"_s));
        QVERIFY(r.invoices.size() < 21);
        QVERIFY(r.failures.join(QString()).contains(u"interrupted"_s));
        Database db;
        db.open(QDir(folder).filePath(QLatin1String(kSampleDatabaseFile)));
        QCOMPARE(db.scalar(u"SELECT COUNT(*) FROM Invoices"_s).toInt(), 21);
    }

    void fileBaseNames_data() {
        QTest::addColumn<QString>("logon");
        QTest::addColumn<QString>("base");
        QTest::newRow("plain") << u"alice"_s << u"7-alice"_s;
        QTest::newRow("blanks") << u"Harbor Business Park"_s << u"7-Harbor_Business_Park"_s;
        QTest::newRow("path") << u"../etc/x"_s << u"7-.._etc_x"_s;
        QTest::newRow("accents") << u"gaëlle"_s << "7-ga_lle";
    }
    void fileBaseNames() {
        QFETCH(QString, logon);
        QFETCH(QString, base);
        QCOMPARE(MonthlyJobFileBase(7, logon), base);
    }

    void commandLine() {
        QVERIFY2(CliMissing().isEmpty(), qPrintable(CliMissing()));
        auto run = [&](const QStringList& args, QByteArray* out = nullptr) {
            const CliResult r = RunCli(m_folders->path(), args, 120000);
            if (out)
                *out = r.outBytes;
            return r.code;
        };
        QByteArray out;
        QCOMPARE(run({"month", "--sample", "--out", "job"}, &out), 0);
        QVERIFY2(out.contains("Invoices:          21 in "), out.constData());
        QVERIFY(out.contains("Customers billed:  25"));
        QVERIFY(out.contains("Errors:            0"));
        QVERIFY(out.contains("Warnings:          1"));
        QVERIFY(out.contains("11\tkobrien\t18.31\t18.31"));
        const QDir job(m_folders->filePath(u"job"_s));
        QCOMPARE(QDir(job.filePath("invoices")).entryList(QDir::Files).size(), 21 * 3);
        QVERIFY(QFileInfo::exists(job.filePath(u"Tollk.log"_s)));
        // The user's own database is never replaced by the sample.
        QCOMPARE(run({"--db", "mine.db", "month", "--sample"}), 2);
        QVERIFY(!QFileInfo::exists(m_folders->filePath(u"mine.db"_s)));
        QCOMPARE(run({"month", "--bogus"}), 2);
    }
};

QTEST_MAIN(TestMonthJob)
#include "tst_monthjob.moc"
