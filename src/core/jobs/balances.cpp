#include "core/jobs/balances.h"

#include "core/app/faultpoint.h"
#include "core/app/oplog.h"
#include "core/billing/invoicedoc.h"
#include "core/db/database.h"
#include "core/db/datetimeutil.h"
#include "core/db/dbexception.h"
#include "core/db/transaction.h"

#include <QMap>
#include <algorithm>

namespace {

const QString kSelectLines =
    QStringLiteral("SELECT InvoiceNum, ClosingDate, TotalDue, TotalPaid, NewCharges, Version, "
                   "IdUser FROM Invoices ");

struct OwnedLine {
    BalanceLine line;
    qint32 owner = 0;
};

OwnedLine readLine(const Statement& st) {
    OwnedLine o;
    o.line.invoiceNum = st.value(0).toInt();
    o.line.closingDate = st.value(1).value<DbDateTime>();
    o.line.totalDue = st.value(2).value<Currency>();
    o.line.totalPaid = st.value(3).value<Currency>();
    o.line.newCharges = st.value(4).value<Currency>();
    o.line.version = st.value(5).toInt();
    o.owner = st.value(6).toInt();
    return o;
}

// The lines of these invoices with their customers, by invoice number; the numbers not found
// are put in *missing.
QList<OwnedLine> loadOwned(Database& db, QList<qint32> numbers, QList<qint32>* missing) {
    std::sort(numbers.begin(), numbers.end());
    numbers.erase(std::unique(numbers.begin(), numbers.end()), numbers.end());
    QList<OwnedLine> lines;
    Statement st = db.prepare(kSelectLines + QStringLiteral("WHERE InvoiceNum = ?"));
    for (qint32 n : numbers) {
        st.reset();
        st.bind(1, n);
        if (st.next())
            lines.append(readLine(st));
        else if (missing)
            missing->append(n);
    }
    return lines;
}

QString customerName(Database& db, qint32 id) {
    const QString name =
        db.scalar(QStringLiteral("SELECT Username FROM Users WHERE Id = ?"), {id}).toString();
    return name.isEmpty() ? QStringLiteral("Unknown customer") : name;
}

// One log line to write once the change is committed.
struct PendingLine {
    QString name;
    QString text;
};

void writeLines(const QList<PendingLine>& lines) {
    for (const PendingLine& l : lines)
        LogRecord(l.name, l.text);
}

QString money(const Currency& amount) {
    return amount.format(CurrencyDecimals());
}

QString numberList(const QList<qint32>& numbers) {
    QStringList parts;
    for (qint32 n : numbers)
        parts.append(QString::number(n));
    return parts.join(QStringLiteral(", "));
}

// A failed change with the engine's words.
BalanceChange failure(const QString& error, const QString& detail = {}) {
    BalanceChange c;
    c.error = error;
    c.detail = detail;
    return c;
}

BalanceChange notFound(const QList<qint32>& missing) {
    return failure(missing.size() == 1
                       ? QStringLiteral("Invoice %1 not found.").arg(missing.first())
                       : QStringLiteral("Invoices %1 not found.").arg(numberList(missing)));
}

// One log line per customer over that customer's lines (in invoice-number order): the
// invoices' numbers ("invoice 3" / "invoices 3, 4") and what `describe` says of them.
template <class Describe>
QList<PendingLine> linesPerCustomer(Database& db, const QList<OwnedLine>& lines,
                                    Describe describe) {
    QMap<qint32, QList<BalanceLine>> groups;
    for (const OwnedLine& o : lines)
        groups[o.owner].append(o.line);
    QList<PendingLine> out;
    for (auto it = groups.cbegin(); it != groups.cend(); ++it) {
        QList<qint32> numbers;
        for (const BalanceLine& l : *it)
            numbers.append(l.invoiceNum);
        const QString invoices =
            (numbers.size() == 1 ? QStringLiteral("invoice ") : QStringLiteral("invoices ")) +
            numberList(numbers);
        out.append({customerName(db, it.key()), describe(invoices, *it)});
    }
    return out;
}

} // namespace

QList<BalanceLine> LoadBalanceLines(Database& db, qint32 customerId) {
    QList<BalanceLine> lines;
    Statement st =
        db.prepare(kSelectLines + QStringLiteral("WHERE IdUser = ? ORDER BY InvoiceNum"));
    st.bind(1, customerId);
    while (st.next())
        lines.append(readLine(st).line);
    return lines;
}

QList<BalanceLine> LoadBalanceLines(Database& db, const QList<qint32>& invoiceNums) {
    QList<BalanceLine> lines;
    for (const OwnedLine& o : loadOwned(db, invoiceNums, nullptr))
        lines.append(o.line);
    return lines;
}

Currency UnpaidBalance(const QList<BalanceLine>& lines) {
    Currency balance;
    for (const BalanceLine& l : lines)
        balance += l.outstanding();
    return balance;
}

Currency OutstandingSum(const QList<BalanceLine>& lines) {
    Currency sum;
    for (const BalanceLine& l : lines)
        if (l.outstanding() > Currency())
            sum += l.outstanding();
    return sum;
}

BalanceChange PayInvoices(Database& db, qint32 customerId, const QList<qint32>& invoiceNums,
                          const Currency& amount, const QDate& today) {
    if (!amount.isValid() || amount <= Currency())
        return failure(QStringLiteral("Enter an amount paid."));
    const QString error = QStringLiteral("Error recording the payment.");
    BalanceChange result;
    QStringList paid; // "invoice N paid X" in the order paid
    QString name;
    try {
        name = customerName(db, customerId);
        if (!db.scalar(QStringLiteral("SELECT Id FROM Users WHERE Id = ?"), {customerId}).isValid())
            return failure(QStringLiteral("User not found."));
        QList<qint32> missing;
        const QList<OwnedLine> lines = loadOwned(db, invoiceNums, &missing);
        if (!missing.isEmpty())
            return notFound(missing);
        for (const OwnedLine& o : lines)
            if (o.owner != customerId)
                return failure(QStringLiteral("Invoice %1 is not one of %2's invoices.")
                                   .arg(o.line.invoiceNum)
                                   .arg(name));

        Transaction transaction(db);
        Currency remaining = amount;
        for (const OwnedLine& o : lines) {
            const Currency outstanding = o.line.outstanding();
            // Lines with nothing outstanding receive nothing; a payment never exceeds what is
            // left of the amount, so an amount smaller than the selection pays the earliest
            // invoices in full and the next one in part.
            if (outstanding <= Currency() || remaining <= Currency())
                continue;
            const Currency payment = std::min(outstanding, remaining);
            db.execute(QStringLiteral("UPDATE Invoices SET TotalPaid = ? WHERE InvoiceNum = ?"),
                       {QVariant::fromValue(o.line.totalPaid + payment), o.line.invoiceNum});
            FaultPoint("payment-line");
            remaining -= payment;
            result.applied += payment;
            paid.append(
                QStringLiteral("invoice %1 paid %2").arg(o.line.invoiceNum).arg(money(payment)));
        }
        if (remaining > Currency()) {
            const DbDateTime day = DbFromLocal(today);
            db.execute(QStringLiteral("INSERT INTO Invoices (IdUser, ClosingDate, OpeningDate, "
                                      "BillingDate, Version, TotalDue, NewCharges, TotalPaid) "
                                      "VALUES (?, ?, ?, ?, ?, ?, ?, ?)"),
                       {customerId, QVariant::fromValue(day), QVariant::fromValue(day),
                        QVariant::fromValue(day), kPaymentRowVersion,
                        QVariant::fromValue(Currency()), QVariant::fromValue(Currency()),
                        QVariant::fromValue(remaining)});
            result.excess = remaining;
            result.paymentRow = qint32(db.lastInsertId());
            paid.append(QStringLiteral("payment row %1 holds %2")
                            .arg(result.paymentRow)
                            .arg(money(remaining)));
        }
        transaction.commit();
    } catch (const DbException& e) {
        return failure(error, e.message());
    }
    LogRecord(name,
              QStringLiteral("Payment of %1 received: %2.").arg(money(amount), paid.join(u", ")));
    return result;
}

BalanceChange UnpayInvoices(Database& db, const QList<qint32>& invoiceNums) {
    QList<PendingLine> log;
    try {
        QList<qint32> missing;
        const QList<OwnedLine> lines = loadOwned(db, invoiceNums, &missing);
        if (!missing.isEmpty())
            return notFound(missing);
        log =
            linesPerCustomer(db, lines, [](const QString& invoices, const QList<BalanceLine>& ls) {
                Currency before;
                for (const BalanceLine& l : ls)
                    before += l.totalPaid;
                return QStringLiteral("Marked unpaid: %1 (%2 had been paid).")
                    .arg(invoices, money(before));
            });
        Transaction transaction(db);
        for (const OwnedLine& o : lines) {
            db.execute(QStringLiteral("UPDATE Invoices SET TotalPaid = ? WHERE InvoiceNum = ?"),
                       {QVariant::fromValue(Currency()), o.line.invoiceNum});
            FaultPoint("unpay-line");
        }
        transaction.commit();
    } catch (const DbException& e) {
        return failure(QStringLiteral("Error marking the invoices as unpaid."), e.message());
    }
    writeLines(log);
    return {};
}

BalanceChange DeleteInvoices(Database& db, const QList<qint32>& invoiceNums) {
    QList<PendingLine> log;
    const QString error = QStringLiteral("Error deleting invoices.");
    try {
        QList<qint32> missing;
        const QList<OwnedLine> lines = loadOwned(db, invoiceNums, &missing);
        if (!missing.isEmpty())
            return notFound(missing);
        log =
            linesPerCustomer(db, lines, [](const QString& invoices, const QList<BalanceLine>& ls) {
                Currency charges, paid;
                for (const BalanceLine& l : ls) {
                    charges += l.newCharges;
                    paid += l.totalPaid;
                }
                return QStringLiteral("Deleted %1 (new charges %2, paid %3).")
                    .arg(invoices, money(charges), money(paid));
            });
        // Each deletion is a savepoint of this one transaction: all the invoices go, or none.
        Transaction transaction(db);
        for (const OwnedLine& o : lines) {
            QString why;
            if (CInvoiceDoc::DeleteInvoice(db, o.line.invoiceNum, &why))
                return failure(error,
                               QStringLiteral("invoice %1: %2").arg(o.line.invoiceNum).arg(why));
            FaultPoint("delete-invoice");
        }
        transaction.commit();
    } catch (const DbException& e) {
        return failure(error, e.message());
    }
    writeLines(log);
    return {};
}

QString UnpayQuestion() {
    return QStringLiteral("Are you sure you want to mark the selected invoices as unpaid?");
}

QString DeleteInvoicesQuestion() {
    return QStringLiteral("Are you sure you want to permanently delete the selected "
                          "invoices?\n\r\n\rThe operation is irreversible.");
}
