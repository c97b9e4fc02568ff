#include "core/reports/icvexport.h"

#include "core/app/cp1252.h"
#include "core/app/oplog.h"
#include "core/app/resultcodes.h"
#include "core/db/currency.h"
#include "core/db/database.h"
#include "core/db/datetimeutil.h"
#include "core/db/dbexception.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSaveFile>

bool IcvBreaksLine(const QString& value) {
    return value.contains(QLatin1Char('"')) || value.contains(QLatin1Char('\r')) ||
           value.contains(QLatin1Char('\n'));
}

QString IcvOptionBreakingLine(const IcvExportOptions& o) {
    if (!o.commentUsesLogon && IcvBreaksLine(o.comment))
        return QStringLiteral("Comment");
    if (IcvBreaksLine(o.clerk))
        return QStringLiteral("Clerk");
    if (IcvBreaksLine(o.postalCode))
        return QStringLiteral("Postal code");
    if (IcvBreaksLine(o.address))
        return QStringLiteral("Address");
    return {};
}

QString IcvExpiryField(const QString& stored) {
    // "%d/%d": optional blanks and sign before each number, month first.
    static const QRegularExpression form(QStringLiteral("^\\s*([+-]?\\d+)/\\s*([+-]?\\d+)"));
    const QRegularExpressionMatch m = form.match(stored);
    if (!m.hasMatch())
        return {};
    bool monthOk = false;
    bool yearOk = false;
    const int month = m.captured(1).toInt(&monthOk);
    int year = m.captured(2).toInt(&yearOk);
    if (!monthOk || !yearOk)
        return {};
    if (year > 100)
        year %= 100;
    return QString::asprintf("%02d%02d", year, month);
}

bool IcvReplaceFile(const QString& path, const QByteArray& bytes, QString* error) {
    // QSaveFile writes a temporary file beside the target and renames it only on commit(), so
    // the payment program never finds half a batch it could charge twice.
    QSaveFile file(path);
    const auto fail = [&] {
        if (error)
            *error =
                QStringLiteral("%1: %2").arg(QDir::toNativeSeparators(path), file.errorString());
        file.cancelWriting();
        return true;
    };
    if (!file.open(QIODevice::WriteOnly))
        return fail();
    // Card numbers: the file is for its owner's eyes only.
    if (!file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner))
        return fail();
    if (file.write(bytes) != bytes.size())
        return fail();
    if (!file.commit()) {
        if (error)
            *error =
                QStringLiteral("%1: %2").arg(QDir::toNativeSeparators(path), file.errorString());
        return true;
    }
    return false;
}

IcvExportResult ExportIcverify(Database& db, const IcvExportOptions& o, const QString& path) {
    IcvExportResult result;
    result.path = QFileInfo(path).absoluteFilePath();
    const int decimals = CurrencyDecimals();
    QByteArray out;
    try {
        Statement invoices = db.prepare(QStringLiteral(
            "SELECT InvoiceNum, IdUser, NewCharges FROM Invoices WHERE [ClosingDate] >= ? AND "
            "[ClosingDate] < ? AND ([NewCharges] > 0)"));
        invoices.bindDouble(1, DateTimeToDb(o.start).days());
        invoices.bindDouble(2, DateTimeToDb(o.end).days());
        Statement user = db.prepare(
            QStringLiteral("SELECT Username, CreditCard, ExpiryDate FROM Users WHERE [Id] = ? AND "
                           "[CreditCard] <> '' AND [ExpiryDate] <> ''"));
        while (invoices.next()) {
            const qint64 number = invoices.value(0).toLongLong();
            user.reset();
            user.bindInt64(1, invoices.value(1).toLongLong());
            if (!user.next())
                continue; // no card on record: this customer pays another way
            const QString logon = user.value(0).toString();
            const QString card = user.value(1).toString();
            const QString expiryText = user.value(2).toString();
            const QString expiry = IcvExpiryField(expiryText);
            QString why;
            if (o.commentUsesLogon && IcvBreaksLine(logon))
                why = QStringLiteral("its logon name");
            else if (IcvBreaksLine(card) || IcvBreaksLine(expiryText))
                why = QStringLiteral("its card fields");
            else if (expiry.isEmpty())
                why = QStringLiteral("its card expiry date");
            if (!why.isEmpty()) {
                // The customer is not charged this time: the office must hear about it.
                LogText(logon,
                        QStringLiteral("Invoice %1 was not exported for ICVerify: %2 cannot be "
                                       "written in the batch file.")
                            .arg(number)
                            .arg(why),
                        ResultCode::OpeningCustomer);
                result.skipped.append(QStringLiteral("invoice %1 (%2)").arg(number).arg(logon));
                continue;
            }
            const QVariant amountValue = invoices.value(2);
            const Currency amount =
                amountValue.isNull() ? Currency::null() : amountValue.value<Currency>();
            QString amountText;
            if (amount.isNull())
                amountText = QStringLiteral("0");
            else if (amount.isValid())
                amountText = amount.format(decimals);
            const QString comment = (o.commentUsesLogon ? logon : o.comment).left(kIcvCommentMax);
            const QString line =
                QStringLiteral("\"C1\",\"%1\",\"%2\",\"%3\",\"%4\",\"%5\",\"%6\",\"%7\"\r\n")
                    .arg(o.clerk, comment, card, expiry, amountText, o.postalCode, o.address);
            out += EncodeCp1252(line);
            ++result.transactions;
        }
    } catch (const DbException& e) {
        result.failed = true;
        result.error = e.message();
        return result;
    }
    if (IcvReplaceFile(result.path, out, &result.error))
        result.failed = true;
    return result;
}
