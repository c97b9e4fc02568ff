#pragma once
#include "cli/cliparser.h"
#include "cli/cliui.h"

#include <QString>
#include <QStringList>
#include <memory>
#include <optional>
#include <vector>

class CCliTable;
class CDatabaseSession;
class Database;
enum class CliTableFormat;

// Exit statuses of the tool.
enum CliExit : int {
    ExitOk = 0,
    ExitFailure = 1,  // the operation failed (the message says why)
    ExitUsage = 2,    // unknown command or bad arguments
    ExitDeclined = 3, // a question was answered No or could not be asked
};

struct CliOptions {
    QString db; // --db FILE, empty when not given
    CCliUserInterface::Answer answer = CCliUserInterface::Answer::Ask;
    bool verbose = false;
};

// What a command gets: its parsed arguments, the options, the terminal interface, and the
// database session opened on demand.
class CCliContext {
public:
    CCliContext(const CliOptions& options, CCliUserInterface& ui, CliArgs args);
    ~CCliContext();

    const CliArgs& args() const { return m_args; }
    const CliOptions& options() const { return m_options; }
    CCliUserInterface& terminal() { return m_ui; }

    // The database the command works on: --db, else "DatabasePath", else the default (a
    // server URL as it stands, a file as an absolute path).
    QString databasePath() const;
    // Opens the database as the desktop program does at start-up (exclusively, upgraded);
    // nullptr when that failed (the reason was shown).
    CDatabaseSession* openDatabase();
    // The open database of openDatabase; nullptr when that failed (the reason was shown).
    Database* database();
    // Exit status after openDatabase failed: ExitDeclined when a question was refused.
    int openFailureExit() const;

    // The list format chosen with --format; nullopt after saying that the text names none (the
    // command then ends with ExitUsage).
    std::optional<CliTableFormat> tableFormat();

    // A result line on stdout.
    void out(const QString& line);
    // A list on stdout in `format`, without an empty line after it.
    void out(const CCliTable& table, CliTableFormat format);
    // A failed operation: `text` shown as an error, ExitFailure.
    int fail(const QString& text);
    // A usage error for this command: message on stderr, ExitUsage.
    int usageError(const QString& text);
    // The same with the command's usage line.
    int usageError() { return usageError(CliUsage(m_args.path)); }
    // Exit status for a result code of the core (0, 13, 1223 ...).
    int exitFor(int resultCode) const;

private:
    CliOptions m_options;
    CCliUserInterface& m_ui;
    CliArgs m_args;
    std::unique_ptr<CDatabaseSession> m_session;
};

// Commands register themselves, one declaration in their own file:
//   const CliRegistration reg{{.name = ..., .synopsis = ..., .options = {...}, .run = &runName}};
struct CliRegistration {
    explicit CliRegistration(const CliSpec& command);
};

// Every registered command, in the order of registration.
const QList<CliSpec>& CliCommands();

// A yes/no field as the commands print it: "yes" or "no".
QString CliYesNo(bool value);
