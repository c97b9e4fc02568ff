#pragma once
// The command line of tollkeeper-cli, declared rather than hand-parsed: every command states
// its options, arguments and subcommands once (CliSpec), and one parser turns the arguments
// into CliArgs or a one-line usage error. The help texts are made from the same declarations.
#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

class CCliContext;

struct CliOption {
    QString name = {};       // "date" for --date
    QString shortName = {};  // "o" for -o; empty when there is none
    QString valueName = {};  // "YYYY-MM-DD"; empty for a flag
    QString help = {};       // one sentence for COMMAND --help
    bool repeatable = false; // a value option that may be given more than once
};

// What one command or subcommand accepts. A command with subcommands takes the subcommand's
// name as its first argument.
struct CliSpec {
    QString name = {};
    QString synopsis = {}; // what follows the name in the usage line: "N --pdf FILE"
    QString summary = {};  // one line for the list of commands
    QString details = {};  // more text for COMMAND --help, may be empty
    QList<CliOption> options = {};
    int minArgs = 0;        // positional arguments
    int maxArgs = 0;        // -1: any number
    bool usesFonts = false; // lays out pages with QtGui's fonts (needs a QGuiApplication)
    int (*run)(CCliContext& context) = nullptr;
    QList<CliSpec> subcommands = {};
};

// "Usage: invoice show N [--text|--html] [-o FILE]": the names along the path and the last
// one's synopsis.
QString CliUsage(const QList<const CliSpec*>& path);

// The options, shared by every command, that tell how the tool runs.
const QList<CliOption>& GlobalCliOptions();
// --format table|csv|json, for the commands that print lists.
CliOption FormatCliOption();

// The parsed command line.
class CliArgs {
public:
    bool isSet(const QString& name) const { return m_values.contains(name); }
    // The value of a value option (the last one given); a null string when not given.
    QString value(const QString& name) const;
    QStringList values(const QString& name) const { return m_values.value(name); }
    const QStringList& positional() const { return m_positional; }

    // The command, and the subcommand chain below it: {"invoice", "show"}.
    QList<const CliSpec*> path;
    const CliSpec* command() const { return path.isEmpty() ? nullptr : path.last(); }
    bool help = false;

private:
    friend class CCliParser;
    QHash<QString, QStringList> m_values; // flags have an empty list entry per use
    QStringList m_positional;
};

class CCliParser {
public:
    explicit CCliParser(const QList<CliSpec>& commands) : m_commands(commands) {}

    // Parses the arguments (without the program name). On a usage error returns nullopt and
    // `error` holds one line saying what is wrong. No command is no error (path stays empty).
    std::optional<CliArgs> parse(const QStringList& args, QString* error) const;
    // The command named on the command line (the first argument that is no option), without
    // parsing further; nullptr when there is none or it is unknown.
    const CliSpec* peekCommand(const QStringList& args) const;

    // The text of tollkeeper-cli --help.
    QString programHelp() const;
    // The text of COMMAND [SUBCOMMAND] --help.
    static QString commandHelp(const QList<const CliSpec*>& path);

private:
    const CliSpec* findCommand(const QString& name) const;
    const QList<CliSpec>& m_commands;
};

// The words of `text` wrapped at `width` columns: the first line starts with `prefix` (kept as
// it is), the others with `indent` blanks.
QString WrapCliText(const QString& text, int width, int indent, const QString& prefix = {});
