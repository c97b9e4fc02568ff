#include "cli/chargedescription.h"

#include "core/billing/chargepages.h"
#include "core/billing/chargetypes.h"
#include "core/db/database.h"
#include "core/db/datetimeutil.h"

#include <QStringList>
#include <cmath>

namespace {

// Seconds as hours and minutes, "18:00", "120:30".
QString clock(qint32 seconds) {
    return QStringLiteral("%1:%2")
        .arg(seconds / 3600, 2, 10, QLatin1Char('0'))
        .arg(seconds % 3600 / 60, 2, 10, QLatin1Char('0'));
}

QString anchorText(const ChargeRow& c) {
    switch (c.LimitFilterType) {
    case LimitAnchor::AnniversaryDay:
        return QStringLiteral("from the customer's anniversary day");
    case LimitAnchor::StartDate:
        return QStringLiteral("from the customer's start date");
    case LimitAnchor::FixedDate:
        return QStringLiteral("from %1").arg(
            SecondsToDateTime(c.LimitFilterStart).date().toString(Qt::ISODate));
    default:
        return QStringLiteral("from the billing period's start");
    }
}

QString windowText(const ChargeRow& c) {
    switch (c.LimitType) {
    case LimitWindow::EveryNDays:
        return QStringLiteral("every %1 days %2").arg(c.LimitFilterEnd).arg(anchorText(c));
    case LimitWindow::EveryNMonths:
        return QStringLiteral("every %1 months %2").arg(c.LimitFilterEnd).arg(anchorText(c));
    case LimitWindow::Forever:
        return QStringLiteral("forever");
    default:
        return QStringLiteral("every billing period");
    }
}

} // namespace

QString ChargeAmountText(const ChargeRow& charge, int decimals) {
    if (charge.Type & ChargeType::Applied)
        return QString::asprintf("%.2f%%", charge.SGPercentage);
    return charge.ChargeAmount.format(decimals);
}

QString ChargeUnitsText(const ChargeRow& charge) {
    if (charge.Type & ChargeType::Applied)
        return {};
    const qint32 q = charge.UnitQuantity == 0 ? 1 : charge.UnitQuantity;
    if (charge.Type == ChargeType::Online)
        return (QString::number(double(q) / 3600) + QLatin1Char(' ') + charge.UnitName).trimmed();
    // A byte unit is named by the user ("MB") but counted in bytes: both are shown.
    if (charge.Type == ChargeType::ByteTraffic)
        return charge.UnitName.isEmpty()
                   ? QStringLiteral("%1 bytes").arg(q)
                   : QStringLiteral("1 %1 (%2 bytes)").arg(charge.UnitName).arg(q);
    return (QString::number(q) + QLatin1Char(' ') + charge.UnitName).trimmed();
}

QString ChargeFiltersText(const ChargeRow& c, const QHash<qint32, QString>& servers) {
    QStringList parts;
    if (c.Type == ChargeType::Fixed)
        parts << windowText(c);
    if (c.Type == ChargeType::Online) {
        if (c.FilterType == PremiumFilter::Daily)
            parts << QStringLiteral("daily %1-%2").arg(clock(c.FilterStart), clock(c.FilterEnd));
        else if (c.FilterType == PremiumFilter::Weekly)
            parts << QStringLiteral("weekly %1")
                         .arg(PremiumPage::dayChoices().value(PremiumPage::fromRow(c).day));
        if (c.LimitStart != 0 || c.LimitEnd != 0)
            parts << (c.LimitEnd != 0
                          ? QStringLiteral("charged between %1 and %2 hours of use (counted %3)")
                                .arg(clock(c.LimitStart), clock(c.LimitEnd))
                          : QStringLiteral("charged after %1 hours of use (counted %2)")
                                .arg(clock(c.LimitStart)))
                         .arg(windowText(c));
        if (c.Options & ChargeOption::PremiumOnly)
            parts << QStringLiteral("premium hours only");
    }
    if (c.Type == ChargeType::ByteTraffic) {
        QStringList directions;
        if (c.Options & ChargeOption::BytesSent)
            directions << QStringLiteral("sent");
        if (c.Options & ChargeOption::BytesReceived)
            directions << QStringLiteral("received");
        parts << QStringLiteral("bytes %1").arg(directions.join(QStringLiteral(" and ")));
    }
    if (c.Type & ChargeType::Usage) {
        if (!c.FilterString.isEmpty())
            parts << QStringLiteral("port %1").arg(c.FilterString);
        if (c.FilterValue != 0)
            parts << QStringLiteral("server %1")
                         .arg(servers.value(c.FilterValue,
                                            QStringLiteral("#%1").arg(c.FilterValue)));
    }
    if (c.Block)
        parts << QStringLiteral("by the block");
    if (c.FirstInvoiceOnly)
        parts << QStringLiteral("first invoice only");
    if (c.Options & SkipFirstInvoiceBit(c.Type))
        parts << QStringLiteral("skips the first invoice");
    if (c.Options & ChargeOption::SkipLastInvoice)
        parts << QStringLiteral("skips the last invoice");
    if (c.Options & ChargeOption::CreditNextInvoice)
        parts << QStringLiteral("credited in the next invoice");
    if (c.Prorate)
        parts << QStringLiteral("prorated");
    if (c.Type & ChargeType::Applied && c.SGRound)
        parts << QStringLiteral("rounded to whole currency units");
    if (const QString expiry = IsoDateText(c.ExpiryDate); !expiry.isEmpty())
        parts << QStringLiteral("expires %1").arg(expiry);
    return parts.join(QStringLiteral("; "));
}

QHash<qint32, QString> ServerNames(Database& db) {
    QHash<qint32, QString> names;
    Statement st = db.prepare(QStringLiteral("SELECT Id, ServerName FROM Servers"));
    while (st.next())
        names.insert(st.value(0).toInt(), st.value(1).toString());
    return names;
}

QString IsoDateText(const DbDateTime& value) {
    return DbToSeconds(value) ? DbToDate(value).toString(Qt::ISODate) : QString();
}
