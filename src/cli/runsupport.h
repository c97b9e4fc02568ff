#pragma once
// What the invoice-run commands (bill, send-group) share: plan and customer look-ups by name,
// the invoice date, and the collection of the run's warning and error lines.
#include "core/app/operationlog.h"
#include "core/app/forwardingui.h"
#include "core/db/dbdatetime.h"
#include "core/db/userrecord.h"

#include <QString>
#include <QStringList>
#include <optional>

class CCliContext;
class Database;

// The template billing / invoicing plan of this name; nullopt (message shown) when none;
// 0 for a null name (no plan named).
std::optional<qint32> FindBillingPlanId(Database& db, const QString& name);
std::optional<qint32> FindInvoicePlanId(Database& db, const QString& name);
// The customer or group row of this name; nullopt when there is none (or, with groupOnly,
// when the row is no group).
std::optional<UserRow> FindCustomerRow(Database& db, const QString& name, bool groupOnly);
// An invoice date "YYYY-MM-DD" (empty: today) at 00:00; nullopt (message shown) when the
// text is no date of 1970 to 2035.
std::optional<DbDateTime> ParseInvoiceDate(const QString& text);

// While it lives: collects the warning and error lines written to the operation log, and
// stands in for the terminal's user interface so that the end-of-run offer to view the log
// is answered No without asking (the lines are printed instead). Every other question and
// message goes to the terminal.
class CRunReport : public CForwardingUserInterface, private ILogListener {
public:
    explicit CRunReport(IUserInterface& terminal);
    ~CRunReport() override;
    CRunReport(const CRunReport&) = delete;
    CRunReport& operator=(const CRunReport&) = delete;

    // "WARNING\tname\tmessage" / "ERROR\tname\tmessage", in log order.
    const QStringList& lines() const { return m_lines; }
    bool hadError() const { return m_errors > 0; }
    // Writes the lines to stderr.
    void print() const;

    bool askYesNo(const QString& text, MessageIcon icon) override;

private:
    void lineAdded(const QString& line) override;
    void cleared() override {}

    QStringList m_lines;
    int m_errors = 0;
};
