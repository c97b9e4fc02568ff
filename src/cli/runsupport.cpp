#include "cli/runsupport.h"

#include "cli/cliui.h"
#include "core/db/bprecord.h"
#include "core/db/datetimeutil.h"
#include "core/db/invoiceplanrecord.h"

#include <QDate>
#include <QRegularExpression>

namespace {
const QString kViewLogQuestion =
    QStringLiteral("An error or warning was issued, do you wish to view the log?");
} // namespace

std::optional<qint32> FindBillingPlanId(Database& db, const QString& name) {
    if (name.isNull())
        return 0;
    CBPRecord plan(db);
    if (plan.findLiveByName(name))
        return plan.Id;
    CCliUserInterface::note(QStringLiteral("There is no billing plan named '%1'.").arg(name));
    return std::nullopt;
}

std::optional<qint32> FindInvoicePlanId(Database& db, const QString& name) {
    if (name.isNull())
        return 0;
    CInvoicePlanRecord plan(db);
    if (plan.findLiveByName(name))
        return plan.Id;
    CCliUserInterface::note(QStringLiteral("There is no invoicing plan named '%1'.").arg(name));
    return std::nullopt;
}

std::optional<UserRow> FindCustomerRow(Database& db, const QString& name, bool groupOnly) {
    CUserRecord user(db);
    if (!user.findByName(name) || (groupOnly && !user.IsGroup))
        return std::nullopt;
    return user.row();
}

std::optional<DbDateTime> ParseInvoiceDate(const QString& text) {
    if (text.isEmpty())
        return DbFromLocal(QDate::currentDate());
    // Exactly YYYY-MM-DD: the ISO reading alone would take "2026-12-01x" for 1 December.
    static const QRegularExpression form(QStringLiteral("^\\d{4}-\\d{2}-\\d{2}$"));
    const QDate date = form.match(text).hasMatch() ? QDate::fromString(text, Qt::ISODate) : QDate();
    if (!date.isValid()) {
        CCliUserInterface::note(
            QStringLiteral("'%1' is no date of the form YYYY-MM-DD.").arg(text));
        return std::nullopt;
    }
    if (date.year() < 1970 || date.year() > 2035) {
        CCliUserInterface::note(DateRangeMessage());
        return std::nullopt;
    }
    return DbFromLocal(date);
}

CRunReport::CRunReport(IUserInterface& terminal) : CForwardingUserInterface(terminal) {
    theLog().addListener(this);
    setUi(this);
}

CRunReport::~CRunReport() {
    setUi(&inner());
    theLog().removeListener(this);
}

void CRunReport::lineAdded(const QString& line) {
    const LogLineFields f = ParseLogLine(line);
    if (f.severity == QLatin1String("ERROR"))
        ++m_errors;
    else if (f.severity != QLatin1String("WARNING"))
        return;
    m_lines.append(f.severity + QLatin1Char('\t') + f.name + QLatin1Char('\t') + f.message);
}

void CRunReport::print() const {
    for (const QString& line : m_lines)
        CCliUserInterface::note(line);
}

bool CRunReport::askYesNo(const QString& text, MessageIcon icon) {
    if (text == kViewLogQuestion)
        return false;
    return inner().askYesNo(text, icon);
}
