#include "cli/cliparser.h"

#include <algorithm>

namespace {

const QString kProgram = QStringLiteral("tollkeeper-cli");
constexpr int kWidth = 79;        // help lines stay within a classic terminal
constexpr int kOptionColumn = 28; // where option descriptions start

QString optionLabel(const CliOption& o) {
    QString label =
        o.shortName.isEmpty() ? QStringLiteral("    ") : QStringLiteral("-%1, ").arg(o.shortName);
    label += QStringLiteral("--") + o.name;
    if (!o.valueName.isEmpty())
        label += QLatin1Char(' ') + o.valueName;
    return label;
}

QString optionList(const QList<CliOption>& options) {
    QString text;
    for (const CliOption& o : options) {
        const QString label = QStringLiteral("  ") + optionLabel(o);
        // A label too long for the column gets a line of its own.
        const bool own = label.size() + 2 > kOptionColumn;
        if (own)
            text += label + QLatin1Char('\n');
        text += WrapCliText(o.help, kWidth, kOptionColumn,
                            own ? QString(kOptionColumn, QLatin1Char(' '))
                                : label.leftJustified(kOptionColumn));
        text += QLatin1Char('\n');
    }
    return text;
}

// The spelling of an option as the user wrote it, for messages.
QString spelled(const CliOption& o, bool shortForm) {
    return shortForm ? QStringLiteral("-") + o.shortName : QStringLiteral("--") + o.name;
}

QString seeHelp(const QList<const CliSpec*>& path) {
    QStringList names{kProgram};
    for (const CliSpec* s : path)
        names << s->name;
    return QStringLiteral("Run '%1 --help' for the usage.").arg(names.join(QLatin1Char(' ')));
}

} // namespace

QString WrapCliText(const QString& text, int width, int indent, const QString& prefix) {
    QString out;
    QString line = prefix;
    bool lineHasWords = false;
    for (const QString& word : text.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        if (lineHasWords && line.size() + 1 + word.size() > width) {
            out += line + QLatin1Char('\n');
            line = QString(indent, QLatin1Char(' '));
            lineHasWords = false;
        }
        if (lineHasWords)
            line += QLatin1Char(' ');
        line += word;
        lineHasWords = true;
    }
    return out + line;
}

const QList<CliOption>& GlobalCliOptions() {
    static const QList<CliOption> options = {
        {QStringLiteral("db"), QString(), QStringLiteral("FILE"),
         QStringLiteral("the database file (default: the one the desktop program last opened, "
                        "else tollk.db in the user's data folder)")},
        {QStringLiteral("yes"), QStringLiteral("y"), QString(),
         QStringLiteral("answer every question Yes")},
        {QStringLiteral("no"), QStringLiteral("n"), QString(),
         QStringLiteral("answer every question No (without --yes or --no questions are asked "
                        "on the terminal, and refused when there is no terminal)")},
        {QStringLiteral("verbose"), QStringLiteral("v"), QString(),
         QStringLiteral("show status and progress text on stderr")},
        {QStringLiteral("help"), QStringLiteral("h"), QString(),
         QStringLiteral("this text; after a command, that command's usage")},
    };
    return options;
}

CliOption FormatCliOption() {
    return {QStringLiteral("format"), QString(), QStringLiteral("table|csv|json"),
            QStringLiteral("how the list is printed: aligned columns (the default), CSV with a "
                           "header line, or a JSON array of objects")};
}

QString CliUsage(const QList<const CliSpec*>& path) {
    QStringList parts;
    for (const CliSpec* s : path)
        parts << s->name;
    if (!path.isEmpty() && !path.last()->synopsis.isEmpty())
        parts << path.last()->synopsis;
    return QStringLiteral("Usage: ") + parts.join(QLatin1Char(' '));
}

QString CliArgs::value(const QString& name) const {
    const QStringList v = m_values.value(name);
    return v.isEmpty() ? QString() : v.last();
}

const CliSpec* CCliParser::findCommand(const QString& name) const {
    for (const CliSpec& c : m_commands)
        if (c.name == name)
            return &c;
    return nullptr;
}

const CliSpec* CCliParser::peekCommand(const QStringList& args) const {
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString& a = args[i];
        if (a == QLatin1String("--db")) {
            ++i;
            continue;
        }
        if (a.startsWith(QLatin1Char('-')))
            continue;
        return findCommand(a);
    }
    return nullptr;
}

std::optional<CliArgs> CCliParser::parse(const QStringList& args, QString* error) const {
    CliArgs parsed;
    auto fail = [&](const QString& text) -> std::optional<CliArgs> {
        *error = text;
        return std::nullopt;
    };
    // The options known so far: the global ones, then those of the command and subcommand.
    QList<CliOption> known = GlobalCliOptions();
    bool onlyArguments = false;
    QStringList positional;
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString& a = args[i];
        const bool isOption = !onlyArguments && a.size() > 1 && a.startsWith(QLatin1Char('-'));
        if (!isOption) {
            const CliSpec* current = parsed.command();
            if (!current) {
                const CliSpec* c = findCommand(a);
                if (!c)
                    return fail(QStringLiteral("Unknown command '%1'. Run %2 --help for the "
                                               "commands.")
                                    .arg(a, kProgram));
                parsed.path << c;
                known += c->options;
            } else if (!current->subcommands.isEmpty()) {
                const CliSpec* sub = nullptr;
                for (const CliSpec& s : current->subcommands)
                    if (s.name == a)
                        sub = &s;
                if (!sub)
                    return fail(QStringLiteral("Unknown %1 subcommand '%2'. %3")
                                    .arg(current->name, a, seeHelp(parsed.path)));
                parsed.path << sub;
                known += sub->options;
            } else {
                positional << a;
            }
            continue;
        }
        if (a == QLatin1String("--")) {
            onlyArguments = true;
            continue;
        }
        const bool shortForm = !a.startsWith(QLatin1String("--"));
        const qsizetype eq = shortForm ? -1 : a.indexOf(QLatin1Char('='));
        const QString name = a.mid(shortForm ? 1 : 2, eq < 0 ? -1 : eq - 2);
        const CliOption* option = nullptr;
        for (const CliOption& o : known)
            if ((shortForm ? o.shortName : o.name) == name && !name.isEmpty())
                option = &o;
        if (!option)
            return fail(QStringLiteral("Unknown option '%1'. %2")
                            .arg(eq < 0 ? a : a.left(eq), seeHelp(parsed.path)));
        const QString shown = spelled(*option, shortForm);
        QStringList& given = parsed.m_values[option->name];
        if (option->valueName.isEmpty()) {
            if (eq >= 0)
                return fail(QStringLiteral("Option '%1' takes no value.").arg(shown));
            given << QString();
            if (option->name == QLatin1String("help"))
                parsed.help = true;
            continue;
        }
        QString value;
        if (eq >= 0)
            value = a.mid(eq + 1);
        else if (i + 1 < args.size())
            value = args[++i];
        if (value.isEmpty())
            return fail(
                QStringLiteral("Option '%1' needs a value (%2).").arg(shown, option->valueName));
        if (!given.isEmpty() && !option->repeatable)
            return fail(QStringLiteral("Option '%1' is given more than once.").arg(shown));
        given << value;
    }
    parsed.m_positional = positional;
    const CliSpec* command = parsed.command();
    if (parsed.help || !command)
        return parsed;
    if (!command->subcommands.isEmpty()) {
        QStringList names;
        for (const CliSpec& s : command->subcommands)
            names << s.name;
        return fail(
            QStringLiteral("%1 needs a subcommand: %2. %3")
                .arg(command->name, names.join(QStringLiteral(", ")), seeHelp(parsed.path)));
    }
    if (positional.size() < command->minArgs ||
        (command->maxArgs >= 0 && positional.size() > command->maxArgs))
        return fail(CliUsage(parsed.path));
    return parsed;
}

QString CCliParser::programHelp() const {
    QString text = QStringLiteral("Usage: %1 [--db FILE] [--yes|--no] [--verbose] COMMAND "
                                  "[ARGS]\n\nOptions:\n")
                       .arg(kProgram);
    text += optionList(GlobalCliOptions());
    text += QStringLiteral("\nCommands:\n");
    QList<const CliSpec*> sorted;
    for (const CliSpec& c : m_commands)
        sorted << &c;
    std::sort(sorted.begin(), sorted.end(),
              [](const CliSpec* a, const CliSpec* b) { return a->name < b->name; });
    constexpr int column = 14;
    for (const CliSpec* c : std::as_const(sorted))
        text += WrapCliText(c->summary, kWidth, column,
                            QStringLiteral("  ") + c->name.leftJustified(column - 2)) +
                QLatin1Char('\n');
    text += QLatin1Char('\n');
    text += WrapCliText(QStringLiteral("Run '%1 COMMAND --help' for the usage and options of a "
                                       "command. Messages go to stderr, results to stdout. Exit "
                                       "status: 0 success, 1 failure, 2 usage error, 3 declined (a "
                                       "question answered No or not answerable).")
                            .arg(kProgram),
                        kWidth, 0);
    return text + QLatin1Char('\n');
}

QString CCliParser::commandHelp(const QList<const CliSpec*>& path) {
    const CliSpec& spec = *path.last();
    QString text = WrapCliText(CliUsage(path), kWidth, 4) + QStringLiteral("\n\n");
    text += WrapCliText(spec.summary, kWidth, 0) + QLatin1Char('\n');
    if (!spec.details.isEmpty())
        text += QLatin1Char('\n') + WrapCliText(spec.details, kWidth, 0) + QLatin1Char('\n');
    if (!spec.subcommands.isEmpty()) {
        text += QStringLiteral("\nSubcommands:\n");
        for (const CliSpec& s : spec.subcommands)
            text += WrapCliText(s.name + QLatin1Char(' ') + s.synopsis, kWidth, 6,
                                QStringLiteral("  ")) +
                    QLatin1Char('\n') +
                    WrapCliText(s.summary, kWidth, 6, QString(6, QLatin1Char(' '))) +
                    QLatin1Char('\n');
    }
    QList<CliOption> options;
    for (const CliSpec* s : path)
        options += s->options;
    if (!options.isEmpty())
        text += QStringLiteral("\nOptions:\n") + optionList(options);
    text += QLatin1Char('\n') +
            WrapCliText(QStringLiteral("The options of every command (--db, --yes, --no, "
                                       "--verbose) are listed by %1 --help.")
                            .arg(kProgram),
                        kWidth, 0);
    return text + QLatin1Char('\n');
}
