#include "core/billing/planpages.h"

#include "core/billing/plancatalog.h"
#include "core/db/database.h"
#include "core/db/datetimeutil.h"
#include "core/db/dbexception.h"
#include "core/db/transaction.h"

#include <QLocale>
#include <QSet>
#include <cmath>

namespace {

const QString kPlanSaveError = QStringLiteral("Error saving billing plan properties");
const QString kChargeSaveError = QStringLiteral("Error saving charge properties");

// The date the period fields name, when it is a real calendar date in the years dates are
// entered for.
QDate periodDate(int month, int day, int year) {
    const QDate date(year, month, day);
    return date.isValid() && year >= 1970 && year <= 2035 ? date : QDate();
}

void setBit(qint32& options, qint32 bit, bool on) {
    options = on ? (options | bit) : (options & ~bit);
}

// Every template tax and surcharge/discount by name, checked when its Id is in `checked`.
QList<AppliedChoice> appliedChoices(Database& db, const QSet<qint32>& checked, qint32 except) {
    QList<AppliedChoice> list;
    Statement st = db.prepare(QStringLiteral("SELECT Id, Name FROM Charges WHERE IdInvoice = 0 "
                                             "AND (Type = 1 OR Type = 8) ORDER BY Name, Id"));
    while (st.next()) {
        const qint32 id = st.value(0).toInt();
        if (id != except)
            list.append({id, st.value(1).toString(), checked.contains(id)});
    }
    return list;
}

QSet<qint32> ids(Database& db, const QString& sql, qint32 param) {
    QSet<qint32> set;
    Statement st = db.prepare(sql);
    st.bind(1, param);
    while (st.next())
        set.insert(st.value(0).toInt());
    return set;
}

} // namespace

QString AmountText(const Currency& amount, int decimals) {
    QString text = amount.format(decimals);
    const QString point = QLocale::system().decimalPoint();
    if (point != QLatin1String("."))
        text.replace(QLatin1Char('.'), point);
    return text;
}

std::optional<Currency> ParseAmountText(const QString& text) {
    const QString t = text.trimmed();
    if (t.isEmpty())
        return std::nullopt;
    bool ok = false;
    double value = QLocale::system().toDouble(t, &ok);
    if (!ok)
        value = QLocale::c().toDouble(t, &ok);
    // Amounts are held in ten-thousandths in 64 bits; far smaller bounds than that are no
    // price anyone means.
    if (!ok || !std::isfinite(value) || std::fabs(value) > 1e12)
        return std::nullopt;
    return Currency::fromDouble(value);
}

// --- Billing plan, General page ---

BillingPlanGeneralPage BillingPlanGeneralPage::fromRow(const BPRow& row, int decimals) {
    BillingPlanGeneralPage page;
    page.name = row.Name;
    const QDate start = DbToDate(row.StartDate);
    const QDate end = DbToDate(row.EndDate);
    if (start.isValid()) {
        page.startMonth = start.month();
        page.startDay = start.day();
        page.startYear = start.year();
    }
    if (end.isValid()) {
        page.endMonth = end.month();
        page.endDay = end.day();
        page.endYear = end.year();
    }
    page.useAnniversary = row.UseAnniversary;
    page.minimum = AmountText(row.MinimumCharge, decimals);
    page.prepayMinimum = row.PrepayMinimum;
    page.skipFirstInvoice = row.Options & BillingPlanOption::SkipFirstInvoice;
    return page;
}

QString BillingPlanGeneralPage::validate(Field* field) const {
    const auto refuse = [field](Field f, const QString& message) {
        if (field)
            *field = f;
        return message;
    };
    if (name.trimmed().isEmpty())
        return refuse(NameField, QStringLiteral("Please enter a name."));
    const QDate start = periodDate(startMonth, startDay, startYear);
    if (!start.isValid())
        return refuse(StartField, QStringLiteral("Please enter a valid date."));
    const QDate end = periodDate(endMonth, endDay, endYear);
    if (!end.isValid())
        return refuse(EndField, QStringLiteral("Please enter a valid date."));
    if (start >= end)
        return refuse(StartField,
                      QStringLiteral("Billing start date must precede billing end date."));
    const auto amount = ParseAmountText(minimum);
    if (!amount || amount->units() < 0)
        return refuse(MinimumField, QStringLiteral("Please enter a valid minimum amount."));
    return {};
}

void BillingPlanGeneralPage::toRow(BPRow& row) const {
    row.Name = name.trimmed();
    row.StartDate = DbFromDate(startYear, startMonth, startDay);
    row.EndDate = DbFromDate(endYear, endMonth, endDay);
    row.UseAnniversary = useAnniversary;
    row.MinimumCharge = ParseAmountText(minimum).value_or(Currency::fromUnits(0));
    row.PrepayMinimum = prepayMinimum;
    setBit(row.Options, BillingPlanOption::SkipFirstInvoice, skipFirstInvoice);
}

EditResult BillingPlanGeneralPage::save(Database& db, qint32 planId) const {
    const QString problem = validate();
    if (!problem.isEmpty())
        return EditResult::failed(problem);
    try {
        const QString taken = BillingPlanNameProblem(db, name.trimmed(), planId);
        if (!taken.isEmpty())
            return EditResult::failed(taken);
        Transaction transaction(db);
        CBPRecord rec(db);
        rec.openWhere(QStringLiteral("[Id] = ? AND [IdInvoice] = 0"), {planId});
        if (rec.isEOF())
            return EditResult::failed(QStringLiteral("Billing plan not found."));
        rec.edit();
        toRow(rec);
        rec.update();
        transaction.commit();
    } catch (const DbException& e) {
        return EditResult::failed(kPlanSaveError, e.message());
    }
    return {};
}

// --- Apply pages ---

ApplyPage ApplyPage::forPlan(Database& db, qint32 planId) {
    const QSet<qint32> checked =
        ids(db,
            QStringLiteral("SELECT BPChargeJoin.IdCharge FROM BPChargeJoin INNER JOIN Charges ON "
                           "BPChargeJoin.IdCharge = Charges.Id WHERE BPChargeJoin.IdBillingPlan "
                           "= ? AND (Charges.Type = 1 OR Charges.Type = 8)"),
            planId);
    return {appliedChoices(db, checked, 0)};
}

ApplyPage ApplyPage::forCharge(Database& db, qint32 chargeId) {
    const QSet<qint32> checked =
        ids(db, QStringLiteral("SELECT IdChargeFrom FROM ChargeChargeJoin WHERE IdChargeTo = ?"),
            chargeId);
    return {appliedChoices(db, checked, chargeId)};
}

bool ApplyPage::setChecked(qint32 chargeId, bool on) {
    for (AppliedChoice& c : choices)
        if (c.chargeId == chargeId) {
            c.checked = on;
            return true;
        }
    return false;
}

EditResult ApplyPage::saveForPlan(Database& db, qint32 planId) const {
    try {
        Transaction transaction(db);
        if (!IsTemplateRow(db, "BillingPlans", planId))
            return EditResult::failed(QStringLiteral("Billing plan not found."));
        // Only this plan's taxes and surcharges go; its ordinary charges keep their places.
        db.execute(QStringLiteral("DELETE FROM BPChargeJoin WHERE IdBillingPlan = ? AND IdCharge "
                                  "IN (SELECT Id FROM Charges WHERE Type = 1 OR Type = 8)"),
                   {planId});
        for (const AppliedChoice& c : choices)
            if (c.checked)
                // A choice deleted meanwhile is no longer a template tax and adds nothing.
                db.execute(QStringLiteral("INSERT INTO BPChargeJoin (IdBillingPlan, IdCharge, "
                                          "OrdinalPosition) SELECT ?, Id, 0 FROM Charges WHERE "
                                          "Id = ? AND IdInvoice = 0 AND (Type = 1 OR Type = 8)"),
                           {planId, c.chargeId});
        transaction.commit();
    } catch (const DbException& e) {
        return EditResult::failed(kPlanSaveError, e.message());
    }
    return {};
}

EditResult ApplyPage::saveForCharge(Database& db, qint32 chargeId) const {
    try {
        Transaction transaction(db);
        if (!IsTemplateRow(db, "Charges", chargeId))
            return EditResult::failed(QStringLiteral("Charge not found."));
        db.execute(QStringLiteral("DELETE FROM ChargeChargeJoin WHERE IdChargeTo = ?"), {chargeId});
        for (const AppliedChoice& c : choices)
            if (c.checked && c.chargeId != chargeId)
                db.execute(QStringLiteral("INSERT INTO ChargeChargeJoin (IdChargeFrom, IdChargeTo) "
                                          "SELECT Id, ? FROM Charges WHERE Id = ? AND IdInvoice = "
                                          "0 AND (Type = 1 OR Type = 8)"),
                           {chargeId, c.chargeId});
        transaction.commit();
    } catch (const DbException& e) {
        return EditResult::failed(kChargeSaveError, e.message());
    }
    return {};
}
