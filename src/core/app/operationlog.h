#pragma once
#include <QDateTime>
#include <QFile>
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>
#include <vector>

// A window (or anything else) that shows the operation log. CLogDoc implements it.
class ILogListener {
public:
    virtual ~ILogListener() = default;
    // A line was appended (passed without its line break).
    virtual void lineAdded(const QString& line) = 0;
    // The log was cleared or is about to be reloaded from another file.
    virtual void cleared() = 0;
};

// One log line split into its fields.
struct LogLineFields {
    QString dateText;
    QDateTime dateTime; // invalid when the date text does not parse
    QString name;
    QString severity;
    QString message;
};

// Splits a log line ("<date>\t<name>\t<severity>\t<message>", line break optional) and parses
// its date with the same locale rules the writer uses. Missing fields stay empty.
LogLineFields ParseLogLine(const QString& line);
// The date-and-time text written at the start of each line (the user's locale short date
// with a four-digit year, a blank, the long time without time zone).
QString LogDateText(const QDateTime& when);
// Parses a date text produced by LogDateText (also tolerant of other common forms).
QDateTime ParseLogDate(const QString& text);

// The state of the process-wide operation log: its file, the switch for logging non-error
// output, the error-or-warning flag, the views listening, and the hook that opens the log
// window.
class COperationLog {
public:
    COperationLog();
    ~COperationLog();
    COperationLog(const COperationLog&) = delete;
    COperationLog& operator=(const COperationLog&) = delete;

    // Back to the state of a fresh process: file closed, flags re-read / cleared, no
    // listeners, no view hook.
    void reset();

    // Logging of non-error output (codes of 35 and above).
    bool loggingEnabled() const;
    // Switches it and stores the new value in "Logging" when store is set.
    void setLoggingEnabled(bool on, bool store = true);
    void toggleLogging() { setLoggingEnabled(!loggingEnabled(), true); }

    // Set by every entry with a code below 35; cleared by reportOutcome.
    bool problem() const { return m_problem; }
    void setProblem(bool on) { m_problem = on; }

    // One entry: decides by code whether to write, opens the file when needed, writes.
    void writeEntry(const QString& name, const QString& message, int code);
    // A success entry written even while logging is off (LogRecord).
    void writeRecord(const QString& name, const QString& message);
    // Writes a finished line at the end of the file and hands it to the listeners.
    void writeLine(const QString& line);

    // Opens the file named by "LogFileName" when not open; on failure tells the user why,
    // switches logging of non-error output off (in memory only) and answers false.
    [[nodiscard]] bool ensureOpen();
    bool isOpen() const { return m_file.isOpen(); }
    void close();
    // Full path of the open file, else of the file "LogFileName" names.
    QString filePath() const;

    // Every line of the file from its start, without line breaks.
    QStringList readLines();
    // Asks "Clear the logfile?"; on Yes empties the views and the file. True when cleared.
    bool clearWithQuestion();
    // Empties the views and truncates the file (no question).
    void clear();
    // After "LogFileName" changed: empty the views, reopen with the new name, hand every line
    // of the new file to the views. False when the new file cannot be opened.
    [[nodiscard]] bool reload();

    // End-of-operation report; problem 1 / 0, or -1 to use the problem flag.
    void reportOutcome(bool offerView, int problem, bool sayIfNone);

    void addListener(ILogListener* listener);
    void removeListener(ILogListener* listener);
    // Opens (or activates) the log window; installed by the GUI.
    void setViewLogHook(std::function<void()> hook) { m_viewHook = std::move(hook); }
    void viewLog();

private:
    void notifyCleared();
    void reportWriteFailure(int err);

    QFile m_file;
    QString m_openPath;            // QFile opened on a handle does not keep the name
    std::optional<bool> m_logging; // read from the settings on first use
    bool m_problem = false;
    std::vector<ILogListener*> m_listeners;
    std::function<void()> m_viewHook;
};

// The process-wide log (App().log()).
COperationLog& theLog();

// The log's operations under the names the rest of the program uses.
[[nodiscard]] inline bool EnsureLogOpen() {
    return theLog().ensureOpen();
}
[[nodiscard]] inline bool ReloadLog() {
    return theLog().reload();
}
