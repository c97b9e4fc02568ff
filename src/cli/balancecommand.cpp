// balance [NAME]: what each customer was invoiced, has paid and still owes.
#include "cli/clicommand.h"
#include "cli/clitable.h"
#include "cli/customerlookup.h"

#include "core/app/dbsession.h"
#include "core/db/currency.h"
#include "core/db/database.h"
#include "core/db/dbexception.h"

namespace {

int runBalance(CCliContext& c) {
    const auto format = c.tableFormat();
    if (!format)
        return ExitUsage;
    CDatabaseSession* session = c.openDatabase();
    if (!session)
        return c.openFailureExit();
    Database& db = *session->database();
    QString sql = QStringLiteral("SELECT u.Username, SUM(IFNULL(i.NewCharges, 0)), "
                                 "SUM(IFNULL(i.TotalPaid, 0)) FROM Users u ");
    QVariantList params;
    if (c.args().positional().isEmpty()) {
        // Everyone who has an invoice or a payment row.
        sql += QStringLiteral("INNER JOIN Invoices i ON i.IdUser = u.Id ");
    } else {
        const auto id = LookUpCustomer(c, db, c.args().positional().at(0));
        if (!id)
            return ExitFailure;
        sql += QStringLiteral("LEFT JOIN Invoices i ON i.IdUser = u.Id WHERE u.Id = ? ");
        params.append(*id);
    }
    sql += QStringLiteral("GROUP BY u.Id ORDER BY u.Username, u.Id");

    CCliTable table;
    table.addColumn(QStringLiteral("Customer"));
    for (const char* name : {"Invoiced", "Paid", "Unpaid"})
        table.addColumn(QLatin1String(name), CCliTable::Kind::Number);
    const int decimals = CurrencyDecimals();
    try {
        Statement st = db.prepare(sql);
        st.bindAll(params);
        while (st.next()) {
            const Currency invoiced = Currency::fromUnits(st.value(1).toLongLong());
            const Currency paid = Currency::fromUnits(st.value(2).toLongLong());
            table.addRow({st.value(0).toString(), invoiced.format(decimals), paid.format(decimals),
                          (invoiced - paid).format(decimals)});
        }
    } catch (const DbException& e) {
        return c.fail(QStringLiteral("Error opening invoice table. %1").arg(e.message()));
    }
    c.out(table, *format);
    return ExitOk;
}

const CliRegistration reg{{
    .name = QStringLiteral("balance"),
    .synopsis = QStringLiteral("[NAME] [--format table|csv|json]"),
    .summary = QStringLiteral("Show what customers were invoiced, have paid and still owe."),
    .details = QStringLiteral("Without NAME, every customer and group with an invoice or a "
                              "payment row. Unpaid is the sum of new charges less the sum paid."),
    .options = {FormatCliOption()},
    .maxArgs = 1,
    .run = &runBalance,
}};

} // namespace
