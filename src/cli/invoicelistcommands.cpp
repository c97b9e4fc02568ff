#include "cli/invoicelistcommands.h"

#include "cli/clicommand.h"
#include "cli/clitable.h"
#include "cli/customerlookup.h"
#include "cli/runsupport.h"

#include "core/app/dbsession.h"
#include "core/db/database.h"
#include "core/db/datetimeutil.h"
#include "core/db/dbexception.h"
#include "core/jobs/balances.h"

namespace {

QString isoDate(const QVariant& value) {
    const QDate date = DbToDate(value.value<DbDateTime>());
    return date.isValid() ? date.toString(Qt::ISODate) : QString();
}

} // namespace

int RunInvoiceList(CCliContext& c) {
    const CliArgs& a = c.args();
    const auto format = c.tableFormat();
    if (!format)
        return ExitUsage;
    QString where = QStringLiteral("WHERE 1 = 1");
    QVariantList params;
    // Closing dates are days: --to takes in the whole of its day.
    for (const char* name : {"from", "to"}) {
        const QString text = a.value(QLatin1String(name));
        if (text.isNull())
            continue;
        const std::optional<DbDateTime> day =
            text.isEmpty() ? std::nullopt : ParseInvoiceDate(text);
        if (!day)
            return text.isEmpty() ? c.usageError() : ExitUsage;
        const bool from = qstrcmp(name, "from") == 0;
        where += from ? QStringLiteral(" AND i.ClosingDate >= ?")
                      : QStringLiteral(" AND i.ClosingDate < ?");
        params.append(QVariant::fromValue(from ? *day : DbFromLocal(DbToDate(*day).addDays(1))));
    }
    if (a.isSet(QStringLiteral("unpaid")))
        where += QStringLiteral(" AND IFNULL(i.NewCharges, 0) - IFNULL(i.TotalPaid, 0) > 0");

    CDatabaseSession* session = c.openDatabase();
    if (!session)
        return c.openFailureExit();
    Database& db = *session->database();
    const QString customer = a.value(QStringLiteral("customer"));
    if (!customer.isNull()) {
        const auto id = LookUpCustomer(c, db, customer);
        if (!id)
            return ExitFailure;
        where += QStringLiteral(" AND i.IdUser = ?");
        params.append(*id);
    }
    CCliTable table;
    table.addColumn(QStringLiteral("Number"), CCliTable::Kind::Number);
    table.addColumn(QStringLiteral("Customer"));
    table.addColumn(QStringLiteral("Kind"));
    table.addColumn(QStringLiteral("InvoiceDate"));
    table.addColumn(QStringLiteral("PeriodStart"));
    table.addColumn(QStringLiteral("PeriodEnd"));
    for (const char* name : {"NewCharges", "TotalDue", "Paid"})
        table.addColumn(QLatin1String(name), CCliTable::Kind::Number);
    const int decimals = CurrencyDecimals();
    try {
        Statement st = db.prepare(
            QStringLiteral("SELECT i.InvoiceNum, u.Username, i.Version, i.BillingDate, "
                           "i.OpeningDate, i.ClosingDate, i.NewCharges, i.TotalDue, i.TotalPaid "
                           "FROM Invoices i LEFT JOIN Users u ON u.Id = i.IdUser ") +
            where + QStringLiteral(" ORDER BY i.InvoiceNum"));
        st.bindAll(params);
        while (st.next()) {
            const bool payment = st.value(2).toInt() == kPaymentRowVersion;
            table.addRow({st.value(0).toString(), st.value(1).toString(),
                          payment ? QStringLiteral("payment") : QStringLiteral("invoice"),
                          isoDate(st.value(3)), isoDate(st.value(4)), isoDate(st.value(5)),
                          st.value(6).value<Currency>().format(decimals),
                          st.value(7).value<Currency>().format(decimals),
                          st.value(8).value<Currency>().format(decimals)});
        }
    } catch (const DbException& e) {
        return c.fail(QStringLiteral("Error opening invoice table. %1").arg(e.message()));
    }
    c.out(table, *format);
    return ExitOk;
}

int RunInvoiceDelete(CCliContext& c) {
    QList<qint32> numbers;
    for (const QString& arg : c.args().positional()) {
        bool ok = false;
        const qint32 n = arg.toInt(&ok);
        if (!ok || n <= 0)
            return c.usageError();
        numbers.append(n);
    }
    CDatabaseSession* session = c.openDatabase();
    if (!session)
        return c.openFailureExit();
    QStringList listed;
    for (qint32 n : numbers)
        listed.append(QString::number(n));
    const QString invoices =
        (numbers.size() == 1 ? QStringLiteral("invoice ") : QStringLiteral("invoices ")) +
        listed.join(QStringLiteral(", "));
    if (!c.terminal().askYesNo(QStringLiteral("Permanently delete %1 with the plan and charge "
                                              "copies made for it? The operation is "
                                              "irreversible.")
                                   .arg(invoices),
                               MessageIcon::Exclamation))
        return ExitDeclined;
    const BalanceChange r = DeleteInvoices(*session->database(), numbers);
    if (r.failed())
        return c.fail(r.message());
    c.out(QStringLiteral("Deleted %1.").arg(invoices));
    return ExitOk;
}
