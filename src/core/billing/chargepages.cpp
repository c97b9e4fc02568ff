#include "core/billing/chargepages.h"

#include "core/billing/chargetypes.h"
#include "core/billing/plancatalog.h"
#include "core/billing/planpages.h"
#include "core/db/database.h"
#include "core/db/datetimeutil.h"
#include "core/db/dbexception.h"
#include "core/db/transaction.h"

#include <QLocale>
#include <cmath>

namespace {

constexpr qint32 kSecondsPerHour = 3600;
// The most hours whose seconds still fit the 32-bit fields.
constexpr qint64 kMaxHours = 2147483647 / kSecondsPerHour;

template <class Field> QString refuse(Field* field, Field f, const QString& message) {
    if (field)
        *field = f;
    return message;
}

void setBit(qint32& options, qint32 bit, bool on) {
    options = on ? (options | bit) : (options & ~bit);
}

// A date as the date fields show it: the user's short date with a four-digit year.
QString dateText(const QDate& date) {
    if (!date.isValid())
        return {};
    const QLocale locale = QLocale::system();
    return locale.toString(date, WithFourDigitYear(locale.dateFormat(QLocale::ShortFormat)));
}

QString dateTextOfSeconds(qint64 seconds) {
    return seconds > 0 ? dateText(SecondsToDateTime(seconds).date()) : QString();
}

// A date field as typed: the date, or the reason it is refused. Empty text gives an invalid
// date and no problem.
QDate parseDate(const QString& text, QString* problem) {
    if (text.trimmed().isEmpty())
        return {};
    const DateEntryResult r = CheckDateEntry(text.trimmed(), false);
    if (!r.accepted() || !r.hasDate) {
        *problem = r.message.isEmpty() ? DateFormatHelpMessage() : r.message;
        return {};
    }
    return r.date;
}

// A whole number typed in a field, within [low, high].
std::optional<qint64> wholeNumber(const QString& text, qint64 low, qint64 high) {
    bool ok = false;
    const qint64 v = text.trimmed().toLongLong(&ok);
    if (!ok || v < low || v > high)
        return std::nullopt;
    return v;
}

std::optional<double> parseRate(const QString& text) {
    const QString t = text.trimmed();
    bool ok = false;
    double v = QLocale::system().toDouble(t, &ok);
    if (!ok)
        v = QLocale::c().toDouble(t, &ok);
    return ok && std::isfinite(v) ? std::optional<double>(v) : std::nullopt;
}

qint32 anchorSeconds(const QString& otherDate) {
    QString ignored;
    const QDate date = parseDate(otherDate, &ignored);
    return date.isValid() ? ClampToInt32(LocalToSeconds(date, QTime(0, 0))) : 0;
}

// The problem with an anchor: the other date must be a valid date when it is chosen.
QString anchorProblem(int anchor, const QString& otherDate) {
    if (anchor < LimitAnchor::PeriodStart || anchor > LimitAnchor::FixedDate)
        return QStringLiteral("Please choose where the periods start.");
    if (anchor != LimitAnchor::FixedDate)
        return {};
    QString problem;
    const QDate date = parseDate(otherDate, &problem);
    if (!date.isValid())
        return problem.isEmpty() ? QStringLiteral("Please enter a valid date.") : problem;
    return {};
}

// The weekly premium ranges in seconds after Sunday 00:00, in the order of the day choices.
std::pair<qint32, qint32> weeklyRange(int choice) {
    if (choice == 7)
        return {qint32(kSecondsPerDay), qint32(6 * kSecondsPerDay)}; // Monday-Friday
    if (choice == 8)
        return {qint32(6 * kSecondsPerDay), qint32(8 * kSecondsPerDay)}; // Saturday-Sunday
    return {qint32(choice * kSecondsPerDay), qint32((choice + 1) * kSecondsPerDay)};
}

bool validClock(int hour, int minute) {
    return hour >= 0 && hour <= 23 && minute >= 0 && minute <= 59;
}

bool validDuration(int hours, int minutes) {
    return hours >= 0 && hours <= kMaxHours - 1 && minutes >= 0 && minutes <= 59;
}

// Reads template charge `chargeId`, lets `apply` check and write one page into it, and writes
// it back, all in one transaction. `apply` answers the reason to refuse, empty to write.
template <class Apply>
EditResult editCharge(Database& db, qint32 chargeId, ChargePage kind, Apply&& apply) {
    try {
        Transaction transaction(db);
        CChargeRecord rec(db);
        rec.openWhere(QStringLiteral("[Id] = ? AND [IdInvoice] = 0"), {chargeId});
        if (rec.isEOF())
            return EditResult::failed(QStringLiteral("Charge not found."));
        if (!ChargePagesOf(rec.Type).contains(kind))
            return EditResult::failed(QStringLiteral("A charge of kind '%1' has no such page.")
                                          .arg(ChargeKindName(rec.Type)));
        rec.edit();
        const QString problem = apply(db, static_cast<ChargeRow&>(rec));
        if (!problem.isEmpty()) {
            rec.cancelUpdate();
            return EditResult::failed(problem);
        }
        rec.update();
        transaction.commit();
    } catch (const DbException& e) {
        return EditResult::failed(QStringLiteral("Error saving charge properties"), e.message());
    }
    return {};
}

// Saves a page that needs nothing from the database beyond its own row.
template <class Page>
EditResult savePlain(Database& db, qint32 chargeId, ChargePage kind, const Page& page) {
    return editCharge(db, chargeId, kind, [&page](Database&, ChargeRow& row) {
        const QString problem = page.validate();
        if (problem.isEmpty())
            page.toRow(row);
        return problem;
    });
}

} // namespace

QList<ChargePage> ChargePagesOf(qint32 type) {
    switch (type) {
    case ChargeType::Fixed:
        return {ChargePage::General, ChargePage::Frequency, ChargePage::Apply};
    case ChargeType::Online:
        return {ChargePage::General, ChargePage::Overtime, ChargePage::Premium, ChargePage::Origin,
                ChargePage::Apply};
    case ChargeType::ByteTraffic:
        return {ChargePage::General, ChargePage::Direction, ChargePage::Origin, ChargePage::Apply};
    case ChargeType::Tax:
    case ChargeType::Surcharge:
        return {ChargePage::Rate};
    default:
        return {};
    }
}

std::optional<ChargeRow> LoadTemplateCharge(Database& db, qint32 chargeId) {
    CChargeRecord rec(db);
    rec.openWhere(QStringLiteral("[Id] = ? AND [IdInvoice] = 0"), {chargeId});
    if (rec.isEOF())
        return std::nullopt;
    return rec.row();
}

// --- General ---

bool ChargeGeneralPage::unitsInHours() const {
    return type == ChargeType::Online;
}

bool ChargeGeneralPage::prorateEnabled() const {
    return type != ChargeType::Online && type != ChargeType::ByteTraffic;
}

bool ChargeGeneralPage::defaultUnitsEnabled() const {
    return type == ChargeType::Fixed;
}

ChargeGeneralPage ChargeGeneralPage::fromRow(const ChargeRow& row, int decimals) {
    ChargeGeneralPage page;
    page.type = row.Type;
    page.name = row.Name;
    page.amount = AmountText(row.ChargeAmount, decimals);
    const qint32 quantity = row.UnitQuantity == 0 ? 1 : row.UnitQuantity;
    page.units = page.unitsInHours() ? QString::number(double(quantity) / kSecondsPerHour)
                                     : QString::number(quantity);
    page.unitName = row.UnitName;
    page.expiryDate = dateTextOfSeconds(DbToSecondsOr0(row.ExpiryDate));
    page.firstInvoiceOnly = row.FirstInvoiceOnly;
    page.skipFirstInvoice = row.Options & SkipFirstInvoiceBit(row.Type);
    page.creditNextInvoice = row.Options & ChargeOption::CreditNextInvoice;
    page.skipLastInvoice = row.Options & ChargeOption::SkipLastInvoice;
    page.block = row.Block;
    page.prepaid = row.Prepaid;
    page.prorate = row.Prorate;
    page.defaultUnits = QString::number(row.DefUnitQuantity);
    return page;
}

QString ChargeGeneralPage::validate(Field* field) const {
    if (name.trimmed().isEmpty())
        return refuse(field, NameField, QStringLiteral("Please enter a name."));
    if (!ParseAmountText(amount))
        return refuse(field, AmountField, QStringLiteral("Please enter a valid amount."));
    // Online units are whole hours: 1.5 hours cannot be entered.
    if (!wholeNumber(units, 1, unitsInHours() ? kMaxHours : 2147483647))
        return refuse(field, UnitsField,
                      unitsInHours()
                          ? QStringLiteral("Please enter a whole number of hours, at least 1.")
                          : QStringLiteral("Please enter a whole number of units, at least 1."));
    QString problem;
    if (!parseDate(expiryDate, &problem).isValid() && !problem.isEmpty())
        return refuse(field, ExpiryField, problem);
    if (defaultUnitsEnabled() && !wholeNumber(defaultUnits, 0, 2147483647))
        return refuse(field, DefUnitsField,
                      QStringLiteral("Please enter a default number of units of 0 or more."));
    return {};
}

void ChargeGeneralPage::toRow(ChargeRow& row) const {
    row.Name = name.trimmed();
    row.ChargeAmount = ParseAmountText(amount).value_or(Currency::fromUnits(0));
    const qint64 n = wholeNumber(units, 1, 2147483647).value_or(1);
    row.UnitQuantity = ClampToInt32(unitsInHours() ? n * kSecondsPerHour : n);
    row.UnitName = unitName;
    QString ignored;
    const QDate expiry = parseDate(expiryDate, &ignored);
    if (!expiry.isValid())
        row.ExpiryDate = DbDateTime(0.0);
    else if (DbToDate(row.ExpiryDate) != expiry) // an unchanged date keeps its stored time
        row.ExpiryDate = DbFromDate(expiry.year(), expiry.month(), expiry.day());
    row.FirstInvoiceOnly = firstInvoiceOnly;
    setBit(row.Options, SkipFirstInvoiceBit(row.Type), skipFirstInvoice);
    setBit(row.Options, ChargeOption::CreditNextInvoice, creditNextInvoice);
    setBit(row.Options, ChargeOption::SkipLastInvoice, skipLastInvoice);
    row.Block = block;
    row.Prepaid = prepaid;
    row.Prorate = prorateEnabled() && prorate;
    if (defaultUnitsEnabled())
        row.DefUnitQuantity = qint32(wholeNumber(defaultUnits, 0, 2147483647).value_or(0));
}

// --- Frequency ---

FrequencyPage FrequencyPage::fromRow(const ChargeRow& row) {
    FrequencyPage page;
    page.frequency = row.LimitType >= BillingPeriod && row.LimitType <= EveryNMonths
                         ? row.LimitType
                         : BillingPeriod;
    page.count = std::max(row.LimitFilterEnd, 1);
    page.anchor = page.frequency == BillingPeriod ? LimitAnchor::PeriodStart : row.LimitFilterType;
    page.otherDate = dateTextOfSeconds(row.LimitFilterStart);
    return page;
}

QString FrequencyPage::validate(Field* field) const {
    if (frequency == BillingPeriod)
        return {};
    if (frequency != EveryNDays && frequency != EveryNMonths)
        return refuse(field, CountField, QStringLiteral("Please choose how often to charge."));
    if (count < 1)
        return refuse(field, CountField, QStringLiteral("Please enter a number of at least 1."));
    const QString problem = anchorProblem(anchor, otherDate);
    if (!problem.isEmpty())
        return refuse(field, OtherDateField, problem);
    return {};
}

void FrequencyPage::toRow(ChargeRow& row) const {
    row.LimitType = frequency;
    row.LimitFilterEnd = std::max(count, 1);
    // Once per billing period always counts from the period's start.
    row.LimitFilterType = frequency == BillingPeriod ? qint32(LimitAnchor::PeriodStart) : anchor;
    row.LimitFilterStart =
        row.LimitFilterType == LimitAnchor::FixedDate ? anchorSeconds(otherDate) : 0;
    row.LimitStart = 0;
    row.LimitEnd = 0;
}

// --- Overtime ---

OvertimePage OvertimePage::fromRow(const ChargeRow& row) {
    OvertimePage page;
    page.startSet = row.LimitStart != 0;
    page.startHours = row.LimitStart / kSecondsPerHour;
    page.startMinutes = row.LimitStart % kSecondsPerHour / 60;
    page.stopSet = row.LimitEnd != 0;
    page.stopHours = row.LimitEnd / kSecondsPerHour;
    page.stopMinutes = row.LimitEnd % kSecondsPerHour / 60;
    page.window =
        row.LimitType >= LimitWindow::BillingPeriod && row.LimitType <= LimitWindow::Forever
            ? row.LimitType
            : LimitWindow::BillingPeriod;
    page.count = std::max(row.LimitFilterEnd, 1);
    page.anchor = row.LimitFilterType;
    page.otherDate = dateTextOfSeconds(row.LimitFilterStart);
    page.premiumOnly = row.Options & ChargeOption::PremiumOnly;
    return page;
}

QString OvertimePage::validate(Field* field) const {
    const QString badTime =
        QStringLiteral("Please enter hours of 0 or more and minutes from 0 to 59.");
    if (startSet && !validDuration(startHours, startMinutes))
        return refuse(field, StartField, badTime);
    if (stopSet && !validDuration(stopHours, stopMinutes))
        return refuse(field, StopField, badTime);
    if (startSet && stopSet && stopHours * 60 + stopMinutes <= startHours * 60 + startMinutes)
        return refuse(field, StopField, QStringLiteral("Stop must be greater than start."));
    if (window < LimitWindow::BillingPeriod || window > LimitWindow::Forever)
        return refuse(field, CountField, QStringLiteral("Please choose the accumulation period."));
    if ((window == LimitWindow::EveryNDays || window == LimitWindow::EveryNMonths) && count < 1)
        return refuse(field, CountField, QStringLiteral("Please enter a number of at least 1."));
    if (window != LimitWindow::BillingPeriod) {
        const QString problem = anchorProblem(anchor, otherDate);
        if (!problem.isEmpty())
            return refuse(field, OtherDateField, problem);
    }
    return {};
}

void OvertimePage::toRow(ChargeRow& row) const {
    row.LimitStart = startSet ? (startHours * 60 + startMinutes) * 60 : 0;
    row.LimitEnd = stopSet ? (stopHours * 60 + stopMinutes) * 60 : 0;
    row.LimitType = window;
    row.LimitFilterEnd = std::max(count, 1);
    row.LimitFilterType =
        window == LimitWindow::BillingPeriod ? qint32(LimitAnchor::PeriodStart) : anchor;
    row.LimitFilterStart =
        row.LimitFilterType == LimitAnchor::FixedDate ? anchorSeconds(otherDate) : 0;
    setBit(row.Options, ChargeOption::PremiumOnly, premiumOnly);
}

// --- Premium ---

const QStringList& PremiumPage::dayChoices() {
    static const QStringList names{
        QStringLiteral("Sunday"),         QStringLiteral("Monday"),
        QStringLiteral("Tuesday"),        QStringLiteral("Wednesday"),
        QStringLiteral("Thursday"),       QStringLiteral("Friday"),
        QStringLiteral("Saturday"),       QStringLiteral("Monday-Friday"),
        QStringLiteral("Saturday-Sunday")};
    return names;
}

PremiumPage PremiumPage::fromRow(const ChargeRow& row) {
    PremiumPage page;
    switch (row.FilterType) {
    case PremiumFilter::Daily:
        page.mode = Daily;
        page.fromHour = row.FilterStart / kSecondsPerHour;
        page.fromMinute = row.FilterStart % kSecondsPerHour / 60;
        page.toHour = row.FilterEnd / kSecondsPerHour;
        page.toMinute = row.FilterEnd % kSecondsPerHour / 60;
        break;
    case PremiumFilter::Weekly:
        page.mode = Weekly;
        for (int d = 0; d < int(dayChoices().size()); ++d)
            if (weeklyRange(d) == std::pair(row.FilterStart, row.FilterEnd))
                page.day = d;
        break;
    default:
        page.mode = AllHours;
    }
    return page;
}

QString PremiumPage::validate(Field* field) const {
    const QString badTime =
        QStringLiteral("Please enter a time of day (hours 0 to 23, minutes 0 to 59).");
    if (mode == Daily) {
        if (!validClock(fromHour, fromMinute))
            return refuse(field, FromField, badTime);
        if (!validClock(toHour, toMinute))
            return refuse(field, ToField, badTime);
    } else if (mode == Weekly) {
        if (day < 0 || day >= int(dayChoices().size()))
            return refuse(field, FromField, QStringLiteral("Please choose a day."));
    } else if (mode != AllHours) {
        return refuse(field, FromField,
                      QStringLiteral("Please choose when the premium hours are."));
    }
    return {};
}

void PremiumPage::toRow(ChargeRow& row) const {
    row.FilterType = mode;
    if (mode == Daily) {
        row.FilterStart = (fromHour * 60 + fromMinute) * 60;
        row.FilterEnd = (toHour * 60 + toMinute) * 60;
    } else if (mode == Weekly) {
        std::tie(row.FilterStart, row.FilterEnd) = weeklyRange(day);
    } else {
        row.FilterStart = 0;
        row.FilterEnd = 0;
    }
}

// --- Origin ---

OriginPage OriginPage::fromRow(const ChargeRow& row) {
    OriginPage page;
    page.portSet = !row.FilterString.isEmpty();
    page.port = row.FilterString;
    page.serverSet = row.FilterValue != 0;
    page.serverId = row.FilterValue;
    return page;
}

EditResult OriginPage::servers(Database& db, QList<ServerChoice>* list) {
    list->clear();
    try {
        Statement st = db.prepare(
            QStringLiteral("SELECT Id, ServerName FROM Servers ORDER BY ServerName, Id"));
        while (st.next())
            list->append({st.value(0).toInt(), st.value(1).toString()});
    } catch (const DbException& e) {
        list->clear();
        return EditResult::failed(QStringLiteral("Error accessing server table"), e.message());
    }
    return {};
}

QString OriginPage::serverProblem(const QList<ServerChoice>& list) const {
    if (!serverSet || serverId == 0)
        return {};
    for (const ServerChoice& s : list)
        if (s.id == serverId)
            return {};
    return QStringLiteral("Error finding server record.");
}

QString OriginPage::validate(Field* field) const {
    if (portSet && port.trimmed().isEmpty())
        return refuse(field, PortField, QStringLiteral("Please enter a port id."));
    if (serverSet && serverId == 0)
        return refuse(field, ServerField, QStringLiteral("Please select a server."));
    return {};
}

void OriginPage::toRow(ChargeRow& row) const {
    row.FilterString = portSet ? port.trimmed() : QString();
    row.FilterValue = serverSet ? serverId : 0;
}

// --- Direction ---

DirectionPage DirectionPage::fromRow(const ChargeRow& row) {
    return {bool(row.Options & ChargeOption::BytesSent),
            bool(row.Options & ChargeOption::BytesReceived)};
}

QString DirectionPage::validate() const {
    return sent || received ? QString()
                            : QStringLiteral("Choose either 'Sent' or 'Received' or both");
}

void DirectionPage::toRow(ChargeRow& row) const {
    setBit(row.Options, ChargeOption::BytesSent, sent);
    setBit(row.Options, ChargeOption::BytesReceived, received);
}

// --- Rate ---

QString RatePage::tabTitle() const {
    return type == ChargeType::Surcharge ? QStringLiteral("Surcharge/Discount")
                                         : QStringLiteral("Tax");
}

RatePage RatePage::fromRow(const ChargeRow& row) {
    RatePage page;
    page.type = row.Type;
    page.name = row.Name;
    page.rate = QString::asprintf("%.2f", std::fabs(row.SGPercentage));
    page.discount = row.Type == ChargeType::Surcharge && row.SGPercentage < 0;
    page.round = row.SGRound;
    return page;
}

QString RatePage::validate(Field* field) const {
    if (name.trimmed().isEmpty())
        return refuse(field, NameField, QStringLiteral("Please enter a name."));
    const auto r = parseRate(rate);
    if (!r || *r <= 0)
        return refuse(field, RateField, QStringLiteral("Enter a positive value for a rate."));
    return {};
}

void RatePage::toRow(ChargeRow& row) const {
    row.Name = name.trimmed();
    const double r = parseRate(rate).value_or(0);
    // Only a surcharge/discount can be a discount; a tax is always added.
    row.SGPercentage = discount && row.Type == ChargeType::Surcharge ? -r : r;
    row.SGRound = round;
}

// --- Saving ---

EditResult SaveChargePage(Database& db, qint32 chargeId, const ChargeGeneralPage& page) {
    return editCharge(db, chargeId, ChargePage::General, [&](Database& d, ChargeRow& row) {
        ChargeGeneralPage p = page;
        p.type = row.Type; // the stored kind decides how units are read
        QString problem = p.validate();
        if (problem.isEmpty())
            problem = ChargeNameProblem(d, p.name.trimmed(), chargeId);
        if (problem.isEmpty())
            p.toRow(row);
        return problem;
    });
}

EditResult SaveChargePage(Database& db, qint32 chargeId, const FrequencyPage& page) {
    return savePlain(db, chargeId, ChargePage::Frequency, page);
}

EditResult SaveChargePage(Database& db, qint32 chargeId, const OvertimePage& page) {
    return savePlain(db, chargeId, ChargePage::Overtime, page);
}

EditResult SaveChargePage(Database& db, qint32 chargeId, const PremiumPage& page) {
    return savePlain(db, chargeId, ChargePage::Premium, page);
}

EditResult SaveChargePage(Database& db, qint32 chargeId, const OriginPage& page) {
    return editCharge(db, chargeId, ChargePage::Origin, [&](Database& d, ChargeRow& row) {
        QString problem = page.validate();
        if (problem.isEmpty() && page.serverSet &&
            !d.scalar(QStringLiteral("SELECT 1 FROM Servers WHERE Id = ?"), {page.serverId})
                 .isValid())
            problem = QStringLiteral("Error finding server record.");
        if (problem.isEmpty())
            page.toRow(row);
        return problem;
    });
}

EditResult SaveChargePage(Database& db, qint32 chargeId, const DirectionPage& page) {
    return savePlain(db, chargeId, ChargePage::Direction, page);
}

EditResult SaveChargePage(Database& db, qint32 chargeId, const RatePage& page) {
    return editCharge(db, chargeId, ChargePage::Rate, [&](Database& d, ChargeRow& row) {
        QString problem = page.validate();
        if (problem.isEmpty())
            problem = ChargeNameProblem(d, page.name.trimmed(), chargeId);
        if (problem.isEmpty())
            page.toRow(row);
        return problem;
    });
}
