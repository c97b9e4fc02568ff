#include "core/customers/customerpages.h"

#include "core/customers/appoptions.h"
#include "core/db/addressrecord.h"
#include "core/db/chargeoptions.h"
#include "core/db/datetimeutil.h"
#include "core/db/dbexception.h"
#include "core/db/fixedunitsjoin.h"
#include "core/db/phonerecord.h"
#include "core/db/transaction.h"
#include "core/db/userrecord.h"

namespace {

const QString kSaveError = QStringLiteral("Error saving customer properties");

std::optional<qint32> typeOf(const QStringList& names, const QString& name) {
    for (qsizetype i = 0; i < names.size(); ++i)
        if (names.at(i).compare(name, Qt::CaseInsensitive) == 0)
            return qint32(i);
    return std::nullopt;
}

QList<PlanChoice> planChoices(Database& db, const char* table) {
    QList<PlanChoice> plans;
    Statement st =
        db.prepare(QStringLiteral("SELECT Name, Id FROM %1 WHERE IdInvoice = 0 ORDER BY Name, Id")
                       .arg(QLatin1String(table)));
    while (st.next())
        plans.append({st.value(1).toInt(), st.value(0).toString()});
    return plans;
}

std::optional<UserRow> loadUser(Database& db, qint32 id) {
    CUserRecord rec(db);
    if (id == 0 || !rec.findById(id))
        return std::nullopt;
    return rec.row();
}

// Runs `edit` on the customer's Users row in its own transaction; the row must exist.
template <class Edit> EditResult editUser(Database& db, qint32 id, Edit&& edit) {
    try {
        Transaction transaction(db);
        CUserRecord rec(db);
        rec.openWhere(QStringLiteral("[Id] = ?"), {id});
        if (rec.isEOF())
            return EditResult::failed(QStringLiteral("User not found."));
        rec.edit();
        edit(static_cast<UserRow&>(rec));
        rec.update();
        transaction.commit();
    } catch (const DbException& e) {
        return EditResult::failed(kSaveError, e.message());
    }
    return {};
}

// Checks a date field as typed; the stored value, or the reason it is refused.
std::optional<DbDateTime> parseDateField(const QString& text, QString* problem) {
    if (text.trimmed().isEmpty())
        return ZeroDate();
    const DateEntryResult r = CheckDateEntry(text.trimmed(), true);
    if (!r.accepted() || !r.hasDate) {
        *problem = r.message.isEmpty() ? DateFormatHelpMessage() : r.message;
        return std::nullopt;
    }
    return DbFromDate(r.date.year(), r.date.month(), r.date.day());
}

bool isInteger(const QString& text, int low, int high) {
    bool ok = false;
    const int v = text.trimmed().toInt(&ok);
    return ok && v >= low && v <= high;
}

} // namespace

const QStringList& AddressTypeNames() {
    static const QStringList names{QStringLiteral("Billing"), QStringLiteral("Shipping"),
                                   QStringLiteral("Home"), QStringLiteral("Work")};
    return names;
}

const QStringList& PhoneTypeNames() {
    static const QStringList names{QStringLiteral("Home"), QStringLiteral("Business"),
                                   QStringLiteral("Fax"), QStringLiteral("Pager"),
                                   QStringLiteral("Cellular")};
    return names;
}

std::optional<qint32> AddressTypeOf(const QString& name) {
    return typeOf(AddressTypeNames(), name);
}

std::optional<qint32> PhoneTypeOf(const QString& name) {
    return typeOf(PhoneTypeNames(), name);
}

bool IsEmptyDate(const DbDateTime& value) {
    return !value.isValid() || value.days() == 0.0;
}

QList<PlanChoice> BillingPlanChoices(Database& db) {
    return planChoices(db, "BillingPlans");
}

QList<PlanChoice> InvoicePlanChoices(Database& db) {
    return planChoices(db, "InvoicePlans");
}

bool AddressPage::isEmpty() const {
    return email.isEmpty() && address1.isEmpty() && address2.isEmpty() && city.isEmpty() &&
           province.isEmpty() && postalCode.isEmpty();
}

// --- loading ---

std::optional<GeneralPage> LoadGeneralPage(Database& db, qint32 id) {
    const auto user = loadUser(db, id);
    if (!user)
        return std::nullopt;
    const auto dateText = [](const DbDateTime& v) {
        return IsEmptyDate(v) ? QString() : DbToDate(v).toString(Qt::ISODate);
    };
    return GeneralPage{user->FullName, (user->ActiveStatus & UserStatus::Active) != 0,
                       dateText(user->StartDate), dateText(user->EndDate), user->Comment};
}

AddressPage LoadAddressPage(Database& db, qint32 id, qint32 type) {
    CAddressRecord rec(db);
    if (!rec.findByOwner(id, type))
        return {};
    return {rec.EMail, rec.Address1, rec.Address2, rec.City, rec.Province, rec.PostalCode};
}

QString LoadPhonePage(Database& db, qint32 id, qint32 type) {
    CPhoneRecord rec(db);
    return rec.findByOwner(id, type) ? rec.Number : QString();
}

void SplitExpiry(const QString& stored, QString* month, QString* year) {
    month->clear();
    year->clear();
    const qsizetype slash = stored.indexOf(QLatin1Char('/'));
    bool monthOk = false;
    const int m = stored.left(slash < 0 ? stored.size() : slash).trimmed().toInt(&monthOk);
    if (!monthOk)
        return; // the fields stay empty when the month does not read as a number
    *month = QStringLiteral("%1").arg(m, 2, 10, QLatin1Char('0'));
    if (slash < 0)
        return;
    bool yearOk = false;
    int y = stored.mid(slash + 1).trimmed().toInt(&yearOk);
    if (!yearOk)
        return;
    if (y < 100)
        y += y < 90 ? 2000 : 1900;
    *year = QString::number(y);
}

std::optional<CardPage> LoadCardPage(Database& db, qint32 id) {
    const auto user = loadUser(db, id);
    if (!user)
        return std::nullopt;
    CardPage page{user->CCNameOnCard, user->CreditCard, user->CCCompany, {}, {}};
    SplitExpiry(user->ExpiryDate, &page.month, &page.year);
    return page;
}

std::optional<BillingPage> LoadBillingPage(Database& db, qint32 id) {
    const auto user = loadUser(db, id);
    if (!user)
        return std::nullopt;
    return BillingPage{user->IdBillingPlan,
                       user->IdInvoicePlan,
                       (user->Options & UserOption::HtmlOverride) != 0,
                       (user->Options & UserOption::Html) != 0,
                       user->AnniversaryDay,
                       user->GotFirstInvoice};
}

std::optional<GroupPage> LoadGroupPage(Database& db, qint32 id) {
    const auto user = loadUser(db, id);
    if (!user)
        return std::nullopt;
    const qint32 o = user->GroupOptions;
    return GroupPage{
        (o & GroupOption::OverrideBillingPlan) != 0, user->IdBPOverride,
        (o & GroupOption::OverrideInvoicePlan) != 0, user->IdIPOverride,
        (o & GroupOption::SummaryInvoice) != 0,      (o & GroupOption::SendSummaryToMembers) != 0};
}

QList<UnitCount> LoadUnitCounts(Database& db, qint32 id) {
    QList<UnitCount> counts;
    const auto user = loadUser(db, id);
    if (!user || user->IdBillingPlan == 0)
        return counts;
    Statement st = db.prepare(QStringLiteral(
        "SELECT DISTINCTROW Charges.Name, Charges.Id, Charges.UnitName, Charges.DefUnitQuantity "
        "FROM Charges INNER JOIN BPChargeJoin ON Charges.Id = BPChargeJoin.IdCharge "
        "WHERE BPChargeJoin.IdBillingPlan = ? AND Charges.Type = ? ORDER BY Charges.Name"));
    st.bindAll({user->IdBillingPlan, qint32(ChargeType::Fixed)});
    while (st.next()) {
        UnitCount c;
        c.chargeName = st.value(0).toString();
        c.chargeId = st.value(1).toInt();
        c.unitName = st.value(2).toString();
        c.defaultUnits = st.value(3).toInt();
        c.units = c.defaultUnits;
        counts.append(c);
    }
    for (UnitCount& c : counts) {
        CFixedUnitsJoin units(db);
        if (units.findUnits(c.chargeId, id))
            c.units = units.NumUnits;
    }
    return counts;
}

// --- saving ---

EditResult SaveGeneralPage(Database& db, qint32 id, const GeneralPage& page) {
    QString problem;
    const auto start = parseDateField(page.startDate, &problem);
    if (!start)
        return EditResult::failed(QStringLiteral("Start date: %1").arg(problem));
    const auto end = parseDateField(page.endDate, &problem);
    if (!end)
        return EditResult::failed(QStringLiteral("End date: %1").arg(problem));
    return editUser(db, id, [&](UserRow& u) {
        u.FullName = page.fullName;
        u.ActiveStatus = page.active ? UserStatus::Active : 0;
        u.Comment = page.comment;
        u.StartDate = *start;
        u.EndDate = *end;
    });
}

namespace {

// The row of an owner's address or phone of one type: written when the page holds anything,
// deleted when every field is empty, in one transaction.
template <class Rec, class Fill>
EditResult SaveOwnedRow(Database& db, qint32 id, qint32 type, bool empty, Fill fill) {
    try {
        Transaction transaction(db);
        Rec rec(db);
        const bool exists = rec.findByOwner(id, type);
        if (empty) {
            if (exists)
                rec.deleteCurrent();
        } else {
            if (exists) {
                rec.edit();
            } else {
                rec.openWhere(QStringLiteral("1 = 0"));
                rec.addNew();
                rec.IdOwner = id;
                rec.Type = type;
            }
            fill(rec);
            rec.update();
        }
        transaction.commit();
    } catch (const DbException& e) {
        return EditResult::failed(kSaveError, e.message());
    }
    return {};
}

} // namespace

EditResult SaveAddressPage(Database& db, qint32 id, qint32 type, const AddressPage& page) {
    return SaveOwnedRow<CAddressRecord>(db, id, type, page.isEmpty(), [&](CAddressRecord& rec) {
        rec.EMail = page.email;
        rec.Address1 = page.address1;
        rec.Address2 = page.address2;
        rec.City = page.city;
        rec.Province = page.province;
        rec.PostalCode = page.postalCode;
    });
}

EditResult SavePhonePage(Database& db, qint32 id, qint32 type, const QString& number) {
    return SaveOwnedRow<CPhoneRecord>(db, id, type, number.isEmpty(),
                                      [&](CPhoneRecord& rec) { rec.Number = number; });
}

EditResult SaveCardPage(Database& db, qint32 id, const CardPage& page) {
    if (!page.month.isEmpty() || !page.year.isEmpty()) {
        if (page.month.size() > 2 || !isInteger(page.month, 1, 12))
            return EditResult::failed(QStringLiteral("Please enter a month between 1 and 12"));
        if (page.year.size() > 4 || !isInteger(page.year, 1997, 9999))
            return EditResult::failed(QStringLiteral("Please enter a year between 1997 and 9999"));
    }
    if (page.number.size() > 19)
        return EditResult::failed(QStringLiteral("A card number holds at most 19 characters."));
    return editUser(db, id, [&](UserRow& u) {
        u.CreditCard = page.number;
        u.CCCompany = page.company;
        u.CCNameOnCard = page.nameOnCard;
        u.ExpiryDate = page.month + QLatin1Char('/') + page.year;
    });
}

EditResult SaveBillingPage(Database& db, qint32 id, const BillingPage& page) {
    if (page.anniversaryDay < 0 || page.anniversaryDay > 31)
        return EditResult::failed(
            QStringLiteral("Please enter an anniversary day between 0 and 31."));
    try {
        if (!IsTemplateBillingPlan(db, page.billingPlan))
            return EditResult::failed(
                QStringLiteral("Billing plan %1 does not exist.").arg(page.billingPlan));
        if (!IsTemplateInvoicePlan(db, page.invoicePlan))
            return EditResult::failed(
                QStringLiteral("Invoicing plan %1 does not exist.").arg(page.invoicePlan));
    } catch (const DbException& e) {
        return EditResult::failed(kSaveError, e.message());
    }
    return editUser(db, id, [&](UserRow& u) {
        u.IdBillingPlan = page.billingPlan;
        u.IdInvoicePlan = page.invoicePlan;
        u.AnniversaryDay = page.anniversaryDay;
        u.GotFirstInvoice = page.gotFirstInvoice;
        u.Options = (page.overrideHtml ? UserOption::HtmlOverride : 0) |
                    (page.sendHtml ? UserOption::Html : 0);
    });
}

EditResult SaveGroupPage(Database& db, qint32 id, const GroupPage& page) {
    // A cleared override keeps no plan.
    const qint32 bp = page.overrideBillingPlan ? page.billingPlan : 0;
    const qint32 ip = page.overrideInvoicePlan ? page.invoicePlan : 0;
    try {
        if (!IsTemplateBillingPlan(db, bp))
            return EditResult::failed(QStringLiteral("Billing plan %1 does not exist.").arg(bp));
        if (!IsTemplateInvoicePlan(db, ip))
            return EditResult::failed(QStringLiteral("Invoicing plan %1 does not exist.").arg(ip));
    } catch (const DbException& e) {
        return EditResult::failed(kSaveError, e.message());
    }
    return editUser(db, id, [&](UserRow& u) {
        u.GroupOptions = (page.overrideBillingPlan ? GroupOption::OverrideBillingPlan : 0) |
                         (page.overrideInvoicePlan ? GroupOption::OverrideInvoicePlan : 0) |
                         (page.summaryInvoice ? GroupOption::SummaryInvoice : 0) |
                         (page.sendSummaryToMembers ? GroupOption::SendSummaryToMembers : 0);
        u.IdBPOverride = bp;
        u.IdIPOverride = ip;
    });
}

EditResult SaveUnitCount(Database& db, qint32 id, qint32 chargeId, qint32 units) {
    try {
        const QVariant def = db.scalar(
            QStringLiteral("SELECT DefUnitQuantity FROM Charges WHERE Id = ?"), {chargeId});
        if (!def.isValid())
            return EditResult::failed(QStringLiteral("Charge %1 does not exist.").arg(chargeId));
        Transaction transaction(db);
        CFixedUnitsJoin rec(db);
        const bool exists = rec.findUnits(chargeId, id);
        const bool isDefault = units == def.toInt();
        if (exists && isDefault) {
            rec.deleteCurrent();
        } else if (exists) {
            rec.edit();
            rec.NumUnits = units;
            rec.update();
        } else if (!isDefault) {
            rec.openWhere(QStringLiteral("1 = 0"));
            rec.addNew();
            rec.IdCharge = chargeId;
            rec.IdUser = id;
            rec.NumUnits = units;
            rec.update();
        }
        transaction.commit();
    } catch (const DbException& e) {
        return EditResult::failed(kSaveError, e.message());
    }
    return {};
}
