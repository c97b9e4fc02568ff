#pragma once
#include <QString>
#include <exception>

// Where the outcomes of an invoice run go: its log lines, its messages to the user and the
// end-of-run report. The default (LogRunReporter) writes to the operation log and tells the
// user through the installed interface; tests and callers that collect install their own.
class IRunReporter {
public:
    virtual ~IRunReporter() = default;
    // An outcome under a customer's name: the code's own text, or `text` when not empty.
    virtual void logResult(const QString& name, int code, const QString& text = {}) = 0;
    // An engine failure under a customer's name: its message, logged with the code.
    virtual void logException(const QString& name, const std::exception& e, int code) = 0;
    // A message to the user (exclamation icon).
    virtual void tell(const QString& message) = 0;
    // The error-or-warning flag raised by every error or warning logged.
    virtual bool problem() const = 0;
    virtual void setProblem(bool on) = 0;
    // The end-of-run report: problem 1 / 0, or -1 to use the flag.
    virtual void reportOutcome(bool offerView, int problem, bool sayIfNone) = 0;
};

// The operation log and the installed user interface.
class CLogRunReporter : public IRunReporter {
public:
    void logResult(const QString& name, int code, const QString& text = {}) override;
    void logException(const QString& name, const std::exception& e, int code) override;
    void tell(const QString& message) override;
    bool problem() const override;
    void setProblem(bool on) override;
    void reportOutcome(bool offerView, int problem, bool sayIfNone) override;
};

// The process-wide default reporter.
IRunReporter& LogRunReporter();
