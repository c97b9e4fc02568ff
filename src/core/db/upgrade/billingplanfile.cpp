#include "core/db/upgrade/billingplanfile.h"

#include "core/db/currency.h"
#include "core/db/database.h"
#include "core/db/upgrade/upgradecontext.h"

#include <QDir>
#include <QFileInfo>
#include <QSaveFile>

// The text of the file for the database of ctx.
QString BillingPlanSummary(UpgradeContext& ctx);

namespace {

// The rate fields of the first billing model, in the order of the listing by value, with
// their labels there.
const struct {
    const char* field;
    const char* label;
} kRateFields[] = {{"HRate", "Regular hourly rate"},
                   {"ORate", "Overtime hourly rates"},
                   {"HDay", "Daily maximum regular hours"},
                   {"HMonth", "Monthly maximum regular hours"},
                   {"Premium1", "Premium1 hourly rates"},
                   {"Premium2", "Premium2 hourly rates"},
                   {"MRate", "Monthly charge"},
                   {"Minimum", "Minimum charge"},
                   {"Prepay", "Prepay minimum charge"},
                   {"Tax1", "Apply Tax1"},
                   {"Tax2", "Apply Tax2"}};

const QString kRule = QString(53, QLatin1Char('='));

QString heading(const QString& title) {
    return kRule + QLatin1Char('\n') + title + QLatin1Char('\n') + kRule + QLatin1Char('\n');
}

QString yesNo(bool value) {
    return value ? QStringLiteral("Yes") : QStringLiteral("No");
}

QString languageName(int language) {
    static const char* const names[] = {"English", "French", "Spanish", "Portuguese"};
    return language >= 0 && language < 4 ? QString::fromLatin1(names[language]) : QString();
}

QString money(const QVariant& value, int decimals) {
    return value.value<Currency>().format(decimals);
}

// A value as the listing by value shows it.
QString valueText(const QVariant& value, int decimals) {
    if (value.isNull() || !value.isValid())
        return QStringLiteral("<Null>");
    if (value.canConvert<Currency>() && value.userType() == qMetaTypeId<Currency>())
        return money(value, decimals);
    switch (value.typeId()) {
    case QMetaType::Bool:
        return value.toBool() ? QStringLiteral("YES") : QStringLiteral("NO");
    case QMetaType::Float:
    case QMetaType::Double:
        return QString::asprintf("%0.2f", value.toDouble());
    case QMetaType::Int:
    case QMetaType::LongLong:
        return QString::number(value.toLongLong());
    default:
        return value.toString();
    }
}

// Identity of a stored value, for gathering the customers that share it.
QString valueKey(const QVariant& value) {
    if (value.isNull() || !value.isValid())
        return QStringLiteral("null");
    if (value.userType() == qMetaTypeId<Currency>())
        return QString::number(value.value<Currency>().units());
    return QString::number(value.typeId()) + QLatin1Char(':') + value.toString();
}

QString settingsListing(const LegacySettings& s) {
    QString t = heading(QStringLiteral("GLOBAL SETTINGS:"));
    const auto line = [&t](const char* label, const QString& value) {
        t += QString::fromLatin1(label) + QStringLiteral(":  ") + value + QLatin1Char('\n');
    };
    const auto time = [](int hour, int minute) {
        return QStringLiteral("%1:%2").arg(hour).arg(minute);
    };
    line("Default emailed-invoice email server", s.smtpName);
    line("Default emailed-invoice subject", s.emailSubject);
    line("Default emailed-invoice return address", s.emailProfile);
    line("Invoice language", languageName(s.language));
    line("Show invoice details", yesNo(s.showDetails));
    line("Show invoice address", yesNo(s.showAddress));
    line("Bill always", yesNo(s.billAlways));
    line("Tax1 name", s.tax1Name);
    line("Tax1 rate", s.tax1Rate);
    line("Round off Tax1", yesNo(s.roundTax1));
    line("Tax2 name", s.tax2Name);
    line("Tax2 rate", s.tax2Rate);
    line("Round off Tax2", yesNo(s.roundTax2));
    line("Premium1 Start Time", time(s.premium1[0], s.premium1[1]));
    line("Premium1 End Time", time(s.premium1[2], s.premium1[3]));
    line("Premium1 Overrides Overtime", yesNo(s.overrideOvertime1));
    line("Premium2 Start Time", time(s.premium2[0], s.premium2[1]));
    line("Premium2 End Time", time(s.premium2[2], s.premium2[3]));
    line("Premium2 Overrides Overtime", yesNo(s.overrideOvertime2));
    return t;
}

QString customerListing(Database& db, int decimals) {
    QString t = QStringLiteral("\n") + heading(QStringLiteral("DATA BY CUSTOMER:"));
    Statement st = db.prepare(QStringLiteral(
        "SELECT Username, HRate, MRate, Minimum, Tax1, Tax2, HDay, HMonth, ORate, Premium1, "
        "Premium2, Prepay FROM Users ORDER BY HRate, ORate, HDay, HMonth, Premium1, Premium2, "
        "MRate, Minimum, Prepay, Tax1, Tax2, Username"));
    while (st.next()) {
        t += st.value(0).toString().toUpper() + QLatin1Char('\n');
        t += QStringLiteral("Regular hourly rate:  %1\n").arg(money(st.value(1), decimals));
        t += QStringLiteral("Overtime hourly rate:  %1\n").arg(money(st.value(8), decimals));
        t += QStringLiteral("Daily maximum regular hours:  %1\n").arg(int(st.value(6).toFloat()));
        t += QStringLiteral("Monthly maximum regular hours:  %1\n").arg(int(st.value(7).toFloat()));
        t += QStringLiteral("Premium1 hourly rate:  %1\n").arg(money(st.value(9), decimals));
        t += QStringLiteral("Premium2 hourly rate:  %1\n").arg(money(st.value(10), decimals));
        t += QStringLiteral("Monthly charge:  %1\n").arg(money(st.value(2), decimals));
        t += QStringLiteral("Minimum charge:  %1\n").arg(money(st.value(3), decimals));
        t += QStringLiteral("Prepay minimum charge:  %1\n").arg(yesNo(st.value(11).toBool()));
        t += QStringLiteral("Apply Tax1:  %1\n").arg(yesNo(st.value(4).toBool()));
        t += QStringLiteral("Apply Tax2:  %1\n").arg(yesNo(st.value(5).toBool()));
        t += QLatin1Char('\n');
    }
    return t;
}

QString valueListing(Database& db, int decimals) {
    QString t = heading(QStringLiteral("DATA BY VALUE:"));
    for (const auto& rate : kRateFields) {
        const QString field = QString::fromLatin1(rate.field);
        // Sorted by value, the customers sharing a value come together.
        Statement st = db.prepare(
            QStringLiteral("SELECT Users.%1, Users.Username FROM Users ORDER BY Users.%1, "
                           "Users.Username")
                .arg(field));
        QString lastKey;
        bool first = true;
        while (st.next()) {
            const QVariant value = st.value(0);
            const QString key = valueKey(value);
            if (first || key != lastKey) {
                if (!first)
                    t += QLatin1Char('\n');
                t += QStringLiteral("Data: %1:\n").arg(QString::fromLatin1(rate.label));
                t += QStringLiteral("Value: %1\n").arg(valueText(value, decimals));
                lastKey = key;
                first = false;
            }
            t += QLatin1Char('\t') + st.value(1).toString().toUpper() + QLatin1Char('\n');
        }
        if (!first)
            t += QLatin1Char('\n');
    }
    return t;
}

bool writeFile(UpgradeContext& ctx, const QString& path, QString* error) {
    const QByteArray bytes = ctx.host().encodeText(BillingPlanSummary(ctx));
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Text)) {
        *error = file.errorString();
        return false;
    }
    if (file.write(bytes) != bytes.size() || !file.commit()) {
        *error = file.errorString();
        return false;
    }
    return true;
}

} // namespace

QString BillingPlanSummary(UpgradeContext& ctx) {
    const int decimals = ctx.host().currencyDecimals();
    QString t = QStringLiteral(
        "*** Tollkeeper billing plan summary. ***\n\nThe data in this file comprises all of the "
        "billing parameters that you have been using to generate invoices.\n\nYou may find it "
        "useful to refer to this information when generating your billing plans in this new "
        "version of Tollkeeper.\n\nThree listings are included in this file:\n\tGLOBAL "
        "SETTINGS\n\tDATA BY CUSTOMER\n\tDATA BY VALUE\n\n");
    t += settingsListing(ctx.host().legacySettings());
    t += customerListing(ctx.db(), decimals);
    t += valueListing(ctx.db(), decimals);
    return t;
}

void WriteBillingPlansAndDropRates(UpgradeContext& ctx) {
    const QString folder =
        ctx.options().planFileFolder.isEmpty() ? QDir::currentPath() : ctx.options().planFileFolder;
    const QString path =
        QFileInfo(QDir(folder), QString::fromLatin1(kBillingPlanFileName)).absoluteFilePath();
    if (ctx.options().dryRun) {
        ctx.note(QStringLiteral("write %1 and delete the rate fields of Users").arg(path));
    } else {
        QString error;
        if (!writeFile(ctx, path, &error)) {
            ctx.note(QStringLiteral("could not write %1 (%2); the rate fields stay")
                         .arg(QDir::toNativeSeparators(path), error));
            ctx.host().showMessage(
                QStringLiteral("Tollkeeper was unable to compile and write out your billing plan "
                               "data.  Try freeing up disk space.  Tollkeeper will try again "
                               "each time you start it up until it succeeds."),
                true);
            return;
        }
        ctx.note(QStringLiteral("write %1").arg(QDir::toNativeSeparators(path)));
        ctx.host().showMessage(
            QStringLiteral(
                "Tollkeeper has compiled and written all of your billing plan data to the file: "
                "%1.\n\nThe data in that file comprises all of the billing parameters that you "
                "have been using to generate invoices.  You may find it useful to refer to this "
                "information when generating your billing plans in this new version of "
                "Tollkeeper.")
                .arg(QDir::toNativeSeparators(path)),
            false);
    }
    for (const char* f : {"HRate", "MRate", "Minimum", "Tax1", "Tax2", "HDay", "HMonth", "ORate",
                          "Premium1", "Premium2", "Prepay"})
        ctx.dropField(QStringLiteral("Users"), QString::fromLatin1(f));
}
