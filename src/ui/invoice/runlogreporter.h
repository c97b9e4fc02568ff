#pragma once
#include "core/billing/runreporter.h"

#include <QStringList>

// Passes every outcome of an invoice run on to the operation log (and every message to the
// user) as the default reporter does, and keeps the run's own lines, so that the commit
// decision can show what this run logged even where the log file holds earlier runs, or
// leaves success lines out while logging is off.
class CRunLogReporter : public IRunReporter {
public:
    // One line per outcome: "<name>\t<severity>\t<message>", in the order logged.
    const QStringList& lines() const { return m_lines; }

    void logResult(const QString& name, int code, const QString& text = {}) override;
    void logException(const QString& name, const std::exception& e, int code) override;
    void tell(const QString& message) override;
    bool problem() const override;
    void setProblem(bool on) override;
    void reportOutcome(bool offerView, int problem, bool sayIfNone) override;

private:
    void keep(const QString& name, int code, const QString& message);

    QStringList m_lines;
};
