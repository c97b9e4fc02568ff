#include "core/customers/autocreate.h"

#include "core/app/appservices.h"
#include "core/app/busystate.h"
#include "core/app/cp1252.h"
#include "core/app/oplog.h"
#include "core/app/settingsvalues.h"
#include "core/app/userinterface.h"
#include "core/customers/appoptions.h"
#include "core/customers/customercreate.h"
#include "core/customers/customernames.h"
#include "core/db/database.h"
#include "core/db/datetimeutil.h"
#include "core/db/dbexception.h"
#include "core/db/insertrecord.h"
#include "core/db/schema.h"
#include "core/db/transaction.h"

#include <QHash>
#include <optional>

QDateTime AutoCreateSessionsDefaultStart() {
    const qint32 seconds = RegNumber(Reg::AutoCreateELastDate);
    return seconds > 0 ? SecondsToDateTime(seconds) : QDateTime(QDate(1996, 1, 1), QTime(0, 0));
}

AccountScanChoice AccountScanChoice::read() {
    AccountScanChoice c;
    c.server = RegText(Reg::AutoCreateNTServer);
    c.local = RegNumber(Reg::AutoCreateNTLocal) != 0;
    c.global = RegNumber(Reg::AutoCreateNTGlobal) != 0;
    return c;
}

bool AccountScanChoice::write() const {
    bool ok = RegWriteText(Reg::AutoCreateNTServer, server);
    ok = RegWriteNumber(Reg::AutoCreateNTLocal, local ? 1 : 0) && ok;
    return RegWriteNumber(Reg::AutoCreateNTGlobal, global ? 1 : 0) && ok;
}

QString AccountScanChoice::problem() const {
    if (!local && !global)
        return QStringLiteral("You must select local and/or global users.");
    if (!server.trimmed().isEmpty())
        return QStringLiteral("Only the user database of this computer can be read.  Leave the "
                              "server name blank.");
    return {};
}

namespace {

// One run: the busy state, the counter and the closing message.
class CAutoCreateRun {
public:
    CAutoCreateRun(Database& db, const QString& startText)
        : m_db(db), m_defaults(CustomerDefaults::read()), m_today(QDate::currentDate()),
          m_process(std::in_place, QString(), PROC_DEFAULT) {
        ui().setStatusText(startText);
    }

    // Creates one customer with the defaults (and the account's names); throws DbException.
    void create(const QString& name, const QString& fullName = {}, const QString& comment = {}) {
        UserRow row = NewCustomerRow(name, false, m_defaults, m_today);
        row.FullName = fullName.left(kDefaultTextSize);
        row.Comment = comment;
        Transaction transaction(m_db);
        const qint32 id = insertRecord<CUserRecord>(m_db, row);
        AddressRow address = NewCustomerBillingAddress(name, m_defaults);
        address.IdOwner = id;
        insertRecord<CAddressRecord>(m_db, address);
        transaction.commit();
        ++m_out.added;
        m_out.names.append(name);
        ui().setStatusText(name + QStringLiteral("..."));
    }

    qint32 added() const { return m_out.added; }

    // True (with the outcome marked) when the user interrupted.
    bool interrupted() {
        if (!CheckInterrupt())
            return false;
        m_out.result = SystemResult::Cancelled;
        return true;
    }

    void fail(const QString& error) {
        m_out.result = SystemResult::Failed;
        m_out.error = error;
        // The message is a fixed one; the reason goes to the operation log.
        WriteLogLine(QStringLiteral("Error adding new customers: %1").arg(error));
        ui().showMessage(QStringLiteral("Error adding new customers."), MessageIcon::Exclamation);
    }

    AutoCreateOutcome finish() {
        ui().setStatusText(QString());
        m_wait.reset();
        m_process.reset();
        if (m_out.added != 0)
            RefreshViews();
        if (m_out.result == SystemResult::Ok)
            ui().showMessage(QStringLiteral("Automated customer setup is complete.  Added %1 new "
                                            "customers.")
                                 .arg(m_out.added),
                             MessageIcon::Information);
        else if (m_out.result == SystemResult::Cancelled)
            ui().showMessage(QStringLiteral("Automated customer setup aborted.  Added %1 new "
                                            "customers.")
                                 .arg(m_out.added),
                             MessageIcon::Information);
        return m_out;
    }

private:
    Database& m_db;
    const CustomerDefaults m_defaults;
    const QDate m_today;
    std::optional<CWaitCursor> m_wait{std::in_place};
    std::optional<CProcessScope> m_process;
    AutoCreateOutcome m_out;
};

} // namespace

AutoCreateOutcome CreateCustomersFromSessions(Database& db, const QDateTime& since) {
    CAutoCreateRun run(db, QStringLiteral("Scanning event log..."));
    if (run.interrupted())
        return run.finish();
    try {
        // Names compare ignoring case, so two spellings of one name make one customer, and a
        // name taken by a customer or group in another spelling is not created again.
        Statement query = db.prepare(QStringLiteral(
            "SELECT DISTINCT Events.Username FROM Events WHERE Events.ConnectDate > ? "
            "AND Events.Username <> '' AND NOT EXISTS (SELECT 1 FROM Users "
            "WHERE Users.Username = Events.Username) ORDER BY Events.Username"));
        query.bindDouble(1, DateTimeToDb(since).days());
        QStringList names;
        while (query.next())
            names.append(query.value(0).toString());
        query.reset();
        if (run.interrupted())
            return run.finish();
        for (const QString& name : names) {
            run.create(name);
            if (run.interrupted())
                return run.finish();
        }
        if (!RegWriteNumber(Reg::AutoCreateELastDate, qint32(since.toSecsSinceEpoch())))
            LogText(QString(), QStringLiteral("The starting date of the scan could not be stored."),
                    ResultCode::OwnTextWarning);
    } catch (const std::exception& e) {
        run.fail(QString::fromLocal8Bit(e.what()));
    }
    return run.finish();
}

AutoCreateOutcome CreateCustomersFromAccounts(Database& db, const AccountSources& sources) {
    CAutoCreateRun run(db, QStringLiteral("Enumerating user database..."));
    if (run.interrupted())
        return run.finish();
    QList<SystemAccount> accounts;
    QString error;
    if (!ReadSystemAccounts(sources, &accounts, &error)) {
        run.fail(error);
        return run.finish();
    }
    try {
        QHash<QString, qint32> taken = CustomerNameKeys(db);
        int examined = 0;
        for (const SystemAccount& account : accounts) {
            ++examined;
            const QString key = CustomerNameKey(account.name);
            if (!taken.contains(key)) {
                const QString problem = NewCustomerNameProblem(taken, account.name);
                if (!problem.isEmpty() || !IsCp1252(account.name)) {
                    LogText(account.name,
                            problem.isEmpty()
                                ? QStringLiteral("Not created: the name has characters a "
                                                 "customer's name cannot hold.")
                                : QStringLiteral("Not created: %1").arg(problem),
                            ResultCode::OwnTextWarning);
                } else {
                    run.create(account.name, account.fullName, account.comment);
                    taken.insert(key, 0);
                }
            }
            // Until the first customer is made, a moving row of dots shows the scan going on.
            if (run.added() == 0)
                ui().setStatusText(QString(examined % 30 + 1, QLatin1Char('.')));
            if (run.interrupted())
                return run.finish();
        }
    } catch (const std::exception& e) {
        run.fail(QString::fromLocal8Bit(e.what()));
    }
    return run.finish();
}
