#include "core/jobs/monthlyjob.h"

#include "core/app/batchui.h"
#include "core/app/busystate.h"
#include "core/app/cp1252.h"
#include "core/app/operationlog.h"
#include "core/app/oplog.h"
#include "core/billing/invoicerun.h"
#include "core/db/database.h"
#include "core/db/datetimeutil.h"
#include "core/db/invoicerecord.h"
#include "core/db/replacefile.h"
#include "core/db/userrecord.h"
#include "core/import/serverregister.h"
#include "core/import/textlogimport.h"
#include "core/invoice/invoicedelivery.h"
#include "core/invoice/invoiceprint.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QGuiApplication>

namespace {

// Customers and groups that are no member of any group, in Username order.
const QString kTopLevelSql = QStringLiteral(
    "SELECT Users.* FROM Users WHERE Users.Id NOT IN (SELECT UserGroupJoin.UserLinkId FROM "
    "UserGroupJoin) ORDER BY Users.Username");

// Collects the lines the job writes to the operation log.
class CLogCollector : public ILogListener {
public:
    explicit CLogCollector(MonthlyJobResult& result) : m_result(result) {
        theLog().addListener(this);
    }
    ~CLogCollector() override { theLog().removeListener(this); }
    CLogCollector(const CLogCollector&) = delete;
    CLogCollector& operator=(const CLogCollector&) = delete;

    void lineAdded(const QString& line) override {
        m_result.logLines.append(line);
        const QString severity = ParseLogLine(line).severity;
        if (severity == QLatin1String("ERROR"))
            ++m_result.errors;
        else if (severity == QLatin1String("WARNING"))
            ++m_result.warnings;
    }
    void cleared() override {}

private:
    MonthlyJobResult& m_result;
};

// Switches the logging of successes on for the job and back afterwards (not stored).
class CLoggingScope {
public:
    explicit CLoggingScope(bool on) : m_was(theLog().loggingEnabled()) {
        if (on)
            theLog().setLoggingEnabled(true, false);
    }
    ~CLoggingScope() { theLog().setLoggingEnabled(m_was, false); }
    CLoggingScope(const CLoggingScope&) = delete;
    CLoggingScope& operator=(const CLoggingScope&) = delete;

private:
    bool m_was;
};

bool writeFile(const QString& path, const QByteArray& bytes, QString* error) {
    return WriteFileSafely(path, bytes, error);
}

class CMonthlyJob {
public:
    CMonthlyJob(Database& db, const MonthlyJobOptions& options, MonthlyJobResult& result)
        : m_db(db), m_options(options), m_r(result) {}

    void run() {
        if (!prepareFolders())
            return;
        if (!importFiles())
            return;
        if (!bill())
            return;
        writeInvoices();
    }

private:
    void fail(const QString& text) { m_r.failures.append(text); }

    bool prepareFolders() {
        if (m_options.outputFolder.isEmpty()) {
            fail(QStringLiteral("No output folder was given."));
            return false;
        }
        const QDir out(m_options.outputFolder);
        m_r.invoiceFolder = out.absoluteFilePath(QStringLiteral("invoices"));
        m_r.logCopy = out.absoluteFilePath(QStringLiteral("Tollk.log"));
        if (!QDir().mkpath(m_r.invoiceFolder)) {
            fail(QStringLiteral("Unable to create the folder %1.")
                     .arg(QDir::toNativeSeparators(m_r.invoiceFolder)));
            return false;
        }
        if (m_options.pdf && !qobject_cast<QGuiApplication*>(QCoreApplication::instance())) {
            fail(QStringLiteral("PDF files can only be written by a graphical application."));
            return false;
        }
        return true;
    }

    bool importFiles() {
        if (m_options.importFiles.isEmpty())
            return true;
        qint32 serverId = 0;
        const int rc = ResolveServer(m_db, m_options.serverName, &serverId);
        if (rc != IMPORT_OK) {
            m_r.interrupted = rc == IMPORT_INTERRUPTED;
            fail(
                QStringLiteral("The server %1 could not be registered.").arg(m_options.serverName));
            return false;
        }
        for (const QString& file : m_options.importFiles) {
            const TextLogImportOutcome out = ImportTextLogInto(
                m_db, QFileInfo(file).absoluteFilePath(), m_options.authSystem, serverId, false);
            m_r.sessionsImported += out.found;
            m_r.recordsRead += out.total;
            if (out.result != IMPORT_OK) {
                m_r.interrupted = out.result == IMPORT_INTERRUPTED;
                QString text = m_r.interrupted ? QStringLiteral("Import of %1 aborted.")
                                               : QStringLiteral("Import of %1 failed.");
                text = text.arg(QDir::toNativeSeparators(file));
                if (!out.error.isEmpty())
                    text += QLatin1Char(' ') + out.error;
                fail(text);
                return false;
            }
            ++m_r.filesImported;
        }
        return true;
    }

    bool bill() {
        QList<UserRow> rows;
        try {
            CUserRecord rs(m_db);
            rs.openSql(kTopLevelSql, {}, QStringLiteral("Users"));
            for (; !rs.isEOF(); rs.moveNext())
                rows.append(rs.row());
            rs.close();
            m_start = m_db.scalar(QStringLiteral("SELECT MAX(InvoiceNum) FROM Invoices")).toInt();
        } catch (const std::exception& e) {
            fail(QStringLiteral("The customers could not be read: %1")
                     .arg(QString::fromUtf8(e.what())));
            return false;
        }
        CInvoiceRun run(m_db);
        run.SetSkipInvoiced(!m_options.again);
        for (const UserRow& row : std::as_const(rows)) {
            if (!(row.ActiveStatus & UserStatus::Active))
                continue;
            ++m_r.runs;
            // A failed run has written its errors to the log, where the job counts them; the
            // next customer is billed all the same.
            if (row.IsGroup)
                (void)run.GenerateForGroup(row, m_options.invoiceDate);
            else
                (void)run.GenerateForCustomer(row, m_options.invoiceDate, false, 0, 0);
            if (run.Aborted()) {
                m_r.interrupted = true;
                fail(QStringLiteral("The invoice run was interrupted at %1.").arg(row.Username));
                return false;
            }
        }
        return true;
    }

    // The invoices numbered above the start, in order.
    QList<qint32> newInvoices() {
        QList<qint32> numbers;
        Statement st = m_db.prepare(QStringLiteral(
            "SELECT InvoiceNum FROM Invoices WHERE InvoiceNum > ? ORDER BY InvoiceNum"));
        st.bind(1, m_start);
        while (st.next())
            numbers.append(st.value(0).toInt());
        return numbers;
    }

    // Customers (not groups) among the members of a summary invoice.
    int customersAmong(const QList<qint32>& members) {
        int n = 0;
        for (const qint32 id : members) {
            CUserRecord user(m_db);
            if (user.findById(id) && !user.IsGroup)
                ++n;
        }
        return n;
    }

    void writeInvoices() {
        QList<qint32> numbers;
        try {
            numbers = newInvoices();
        } catch (const std::exception& e) {
            fail(QStringLiteral("The new invoices could not be read: %1")
                     .arg(QString::fromUtf8(e.what())));
            return;
        }
        InvoiceRepOptions rendering;
        // The date columns are sized by the invoice date, not by the day the job runs, so
        // that the same month always gives the same pages.
        rendering.now = DbToDateTime(m_options.invoiceDate);
        const QDir folder(m_r.invoiceFolder);
        CProcessScope process(QStringLiteral("Writing invoices..."), PROC_DEFAULT);
        for (const qint32 num : std::as_const(numbers)) {
            if (CheckInterrupt()) {
                // The invoices stay kept; only their files are missing.
                m_r.interrupted = true;
                fail(QStringLiteral("Writing the invoices was interrupted before invoice %1.")
                         .arg(num));
                return;
            }
            std::unique_ptr<DeliveryInvoice> inv = LoadInvoiceForDelivery(m_db, num);
            if (!inv) {
                fail(QStringLiteral("Invoice %1 could not be loaded.").arg(num));
                continue;
            }
            inv->rep.Render(inv->data, rendering);
            MonthlyJobInvoice item;
            item.number = num;
            item.logonName = inv->data.customer.Username;
            item.summary = inv->doc.IsSummary();
            item.newCharges = inv->data.invoice.NewCharges;
            item.totalDue = inv->data.invoice.TotalDue;
            m_r.customersBilled += item.summary ? customersAmong(inv->doc.Members()) : 1;
            m_r.newCharges = m_r.newCharges + item.newCharges;
            m_r.totalDue = m_r.totalDue + item.totalDue;

            const QString base = folder.absoluteFilePath(MonthlyJobFileBase(num, item.logonName));
            const QList<std::pair<QString, QByteArray>> pages = {
                {base + QStringLiteral(".html"), inv->rep.Html()},
                {base + QStringLiteral(".txt"), inv->rep.PlainText()},
            };
            for (const auto& [path, bytes] : pages) {
                QString error;
                if (!writeFile(path, bytes, &error)) {
                    const QString text = error; // names the file
                    LogText(item.logonName, text, ResultCode::CreatingView);
                    fail(text);
                    continue;
                }
                item.files.append(path);
            }
            if (m_options.pdf) {
                const QString path = base + QStringLiteral(".pdf");
                CPdfInvoicePrinter printer(path);
                QString error;
                if (PrintInvoice(*inv, inv->doc.InvoicePlan(), &printer, &error)) {
                    const QString text = error; // names the file
                    LogText(item.logonName, text, ResultCode::Printing);
                    fail(text);
                } else {
                    item.files.append(path);
                }
            }
            m_r.invoices.append(item);
        }
    }

    Database& m_db;
    const MonthlyJobOptions& m_options;
    MonthlyJobResult& m_r;
    qint32 m_start = 0;
};

} // namespace

QString MonthlyJobFileBase(qint32 number, const QString& logonName) {
    QString name = logonName;
    for (QChar& ch : name) {
        const char16_t u = ch.unicode();
        const bool safe = (u >= 'a' && u <= 'z') || (u >= 'A' && u <= 'Z') ||
                          (u >= '0' && u <= '9') || u == '.' || u == '_' || u == '-';
        if (!safe)
            ch = QLatin1Char('_');
    }
    return QStringLiteral("%1-%2").arg(number).arg(name);
}

MonthlyJobResult RunMonthlyJob(Database& db, const MonthlyJobOptions& options) {
    MonthlyJobResult result;
    QElapsedTimer timer;
    timer.start();
    {
        CBatchUserInterface batch;
        CLoggingScope logging(options.logSuccesses);
        CLogCollector collector(result);
        CMonthlyJob(db, options, result).run();
    }
    if (!result.logCopy.isEmpty()) {
        QByteArray bytes;
        for (const QString& line : std::as_const(result.logLines))
            bytes += EncodeCp1252(line) + "\r\n";
        QString error;
        if (!writeFile(result.logCopy, bytes, &error))
            result.failures.append(error); // names the file
    }
    result.ok = result.failures.isEmpty();
    result.elapsedMs = timer.elapsed();
    return result;
}
