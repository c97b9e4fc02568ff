// payment add|undo: money received against a customer's invoices, and taken back.
#include "cli/clicommand.h"
#include "cli/customerlookup.h"

#include "core/app/dbsession.h"
#include "core/db/dbexception.h"
#include "core/jobs/balances.h"

#include <QRegularExpression>

namespace {

// An amount as the command line writes it, in the C locale ("12.34", at most four decimals,
// the precision of a currency field); nullopt after the reason when it is malformed, not
// greater than zero or beyond what a currency field holds.
std::optional<Currency> parseAmount(CCliContext& c, const QString& text) {
    static const QRegularExpression form(QStringLiteral("^(\\d+)(?:\\.(\\d{1,4}))?$"));
    const QRegularExpressionMatch m = form.match(text);
    if (!m.hasMatch()) {
        c.usageError(QStringLiteral("'%1' is no amount of the form 12.34.").arg(text));
        return std::nullopt;
    }
    qint64 units = 0;
    for (const QChar digit : m.captured(1) + m.captured(2).leftJustified(4, u'0')) {
        if (qMulOverflow(units, qint64(10), &units) ||
            qAddOverflow(units, qint64(digit.digitValue()), &units)) {
            c.usageError(QStringLiteral("'%1' is more than an amount can hold.").arg(text));
            return std::nullopt;
        }
    }
    if (units == 0) {
        c.usageError(QStringLiteral("Enter an amount paid (greater than zero)."));
        return std::nullopt;
    }
    return Currency::fromUnits(units);
}

// Invoice numbers given as "N,N,..." or as separate arguments; nullopt when one is no
// positive number.
std::optional<QList<qint32>> parseNumbers(const QStringList& texts) {
    QList<qint32> numbers;
    for (const QString& text : texts)
        for (const QString& part : text.split(u',')) {
            bool ok = false;
            const qint32 n = part.trimmed().toInt(&ok);
            if (!ok || n <= 0)
                return std::nullopt;
            numbers.append(n);
        }
    return numbers;
}

QString money(const Currency& amount) {
    return amount.format(CurrencyDecimals());
}

int runAdd(CCliContext& c) {
    const QStringList& args = c.args().positional();
    const auto amount = parseAmount(c, args.at(1));
    if (!amount)
        return ExitUsage;
    const QString listed = c.args().value(QStringLiteral("invoices"));
    std::optional<QList<qint32>> chosen;
    if (!listed.isNull() && !(chosen = parseNumbers({listed})))
        return c.usageError();

    CDatabaseSession* session = c.openDatabase();
    if (!session)
        return c.openFailureExit();
    Database& db = *session->database();
    const auto customer = LookUpCustomer(c, db, args.at(0));
    if (!customer)
        return ExitFailure;
    QList<qint32> numbers;
    if (chosen) {
        numbers = *chosen;
    } else {
        // Without a choice: every invoice with something outstanding, oldest first.
        try {
            for (const BalanceLine& l : LoadBalanceLines(db, *customer))
                if (l.outstanding() > Currency())
                    numbers.append(l.invoiceNum);
        } catch (const DbException& e) {
            return c.fail(QStringLiteral("Error opening invoice table. %1").arg(e.message()));
        }
    }
    const BalanceChange r = PayInvoices(db, *customer, numbers, *amount);
    if (r.failed())
        return c.fail(r.message());
    c.out(QStringLiteral("Credited to invoices: %1").arg(money(r.applied)));
    if (r.paymentRow != 0)
        c.out(QStringLiteral("Recorded as payment row %1: %2")
                  .arg(r.paymentRow)
                  .arg(money(r.excess)));
    return ExitOk;
}

int runUndo(CCliContext& c) {
    const auto numbers = parseNumbers(c.args().positional());
    if (!numbers)
        return c.usageError();
    CDatabaseSession* session = c.openDatabase();
    if (!session)
        return c.openFailureExit();
    if (!c.terminal().askYesNo(UnpayQuestion(), MessageIcon::Question))
        return ExitDeclined;
    const BalanceChange r = UnpayInvoices(*session->database(), *numbers);
    if (r.failed())
        return c.fail(r.message());
    QStringList listed;
    for (qint32 n : *numbers)
        listed.append(QString::number(n));
    c.out(QStringLiteral("Marked unpaid: %1").arg(listed.join(QStringLiteral(", "))));
    return ExitOk;
}

const CliRegistration reg{{
    .name = QStringLiteral("payment"),
    .synopsis = QStringLiteral("add|undo ..."),
    .summary = QStringLiteral("Record money received against invoices, or take it back."),
    .subcommands =
        {{.name = QStringLiteral("add"),
          .synopsis = QStringLiteral("NAME AMOUNT [--invoices N,...]"),
          .summary = QStringLiteral("Pay AMOUNT (12.34) over the customer's invoices with "
                                    "something outstanding, oldest first, or over the invoices "
                                    "named; what is left over is recorded as a payment row."),
          .options = {{QStringLiteral("invoices"), QString(), QStringLiteral("N,..."),
                       QStringLiteral("pay these invoices of the customer, in number order")}},
          .minArgs = 2,
          .maxArgs = 2,
          .run = &runAdd},
         {.name = QStringLiteral("undo"),
          .synopsis = QStringLiteral("N..."),
          .summary = QStringLiteral("Mark invoices as unpaid: their paid amount goes back to 0 "
                                    "(asks first)."),
          .minArgs = 1,
          .maxArgs = -1,
          .run = &runUndo}},
}};

} // namespace
