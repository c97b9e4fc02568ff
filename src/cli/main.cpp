// tollkeeper-cli: the command-line tool over the same core as the desktop program.
#include "cli/clicommand.h"
#include "cli/cliui.h"
#include "core/app/registrystore.h"
#include "core/app/userinterface.h"
#include "core/db/dbexception.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QStringList>
#include <cstdio>
#include <memory>
#ifdef Q_OS_UNIX
#include <unistd.h>
#endif

namespace {

void printUsage(FILE* to) {
    QString text = QStringLiteral(
        "Usage: tollkeeper-cli [--db FILE] [--yes|--no] [--verbose] COMMAND [ARGS]\n"
        "\n"
        "Options:\n"
        "  --db FILE    the database file (default: the one the desktop program last opened,\n"
        "               else tollk.db in the user's data folder)\n"
        "  --yes, --no  answer every question Yes or No (otherwise asked on the terminal,\n"
        "               and refused when there is no terminal)\n"
        "  --verbose    show status and progress text on stderr\n"
        "  --help       this text\n"
        "\n"
        "Commands:\n");
    for (const CliCommand& c : CliCommands())
        text += QStringLiteral("  %1%2\n").arg(c.synopsis.leftJustified(16), c.summary);
    text += QStringLiteral(
        "\n"
        "Messages go to stderr, results to stdout. Exit status: 0 success, 1 failure,\n"
        "2 usage error, 3 declined (a question answered No or not answerable).\n");
    const QByteArray bytes = text.toLocal8Bit();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), to);
}

// Whether the command named on the command line (the first argument that is no option) can
// print invoices.
bool mayPrintInvoices(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        const QByteArray a(argv[i]);
        if (a == "--db") {
            ++i;
            continue;
        }
        if (a.startsWith('-'))
            continue;
        return a == "invoice" || a == "bill" || a == "send-group" || a == "month";
    }
    return false;
}

// Jobs run from cron have no session runtime folder; the graphics system would complain about
// that on stderr at every run (and cron mails stderr). A private folder of this user serves.
void ensureRuntimeFolder() {
#ifdef Q_OS_UNIX
    if (!qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR"))
        return;
    const QString dir = QDir::tempPath() + QStringLiteral("/tollkeeper-runtime-%1").arg(getuid());
    if (!QDir().mkpath(dir))
        return;
    QFile::setPermissions(dir, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    if (QFileInfo(dir).ownerId() == getuid())
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(dir));
#endif
}

} // namespace

int main(int argc, char** argv) {
    // Commands that may print invoices lay text out with QtGui's fonts, which need a
    // QGuiApplication (on the offscreen platform unless one is chosen: the tool never shows a
    // window); the others start without the graphics system.
    std::unique_ptr<QCoreApplication> app;
    if (mayPrintInvoices(argc, argv)) {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
        ensureRuntimeFolder();
        app = std::make_unique<QGuiApplication>(argc, argv);
    } else {
        app = std::make_unique<QCoreApplication>(argc, argv);
    }
    // The same settings and data folder as the desktop program.
    QCoreApplication::setOrganizationName(QStringLiteral("Corvane"));
    QCoreApplication::setApplicationName(QStringLiteral("Tollkeeper"));

    CliOptions options;
    bool help = false;
    bool yes = false;
    bool no = false;
    QString command;
    QStringList commandArgs;
    const QStringList args = QCoreApplication::arguments().mid(1);
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString& a = args[i];
        if (a == QLatin1String("--db")) {
            if (i + 1 >= args.size()) {
                CCliUserInterface::note(QStringLiteral("--db needs a file name."));
                return ExitUsage;
            }
            options.db = args[++i];
        } else if (a.startsWith(QLatin1String("--db="))) {
            options.db = a.mid(5);
        } else if (a == QLatin1String("--yes") || a == QLatin1String("-y")) {
            yes = true;
        } else if (a == QLatin1String("--no") || a == QLatin1String("-n")) {
            no = true;
        } else if (a == QLatin1String("--verbose") || a == QLatin1String("-v")) {
            options.verbose = true;
        } else if (a == QLatin1String("--help") || a == QLatin1String("-h")) {
            help = true;
        } else if (command.isEmpty()) {
            if (a.startsWith(QLatin1Char('-'))) {
                CCliUserInterface::note(QStringLiteral("Unknown option '%1'. Run "
                                                       "tollkeeper-cli --help for the options.")
                                            .arg(a));
                return ExitUsage;
            }
            command = a;
        } else {
            commandArgs.append(a);
        }
    }
    if (help) {
        printUsage(stdout);
        return ExitOk;
    }
    if (yes && no) {
        CCliUserInterface::note(QStringLiteral("--yes and --no cannot be given together."));
        return ExitUsage;
    }
    if (command.isEmpty()) {
        printUsage(stderr);
        return ExitUsage;
    }
    const CliCommand* cmd = FindCliCommand(command);
    if (!cmd) {
        CCliUserInterface::note(
            QStringLiteral("Unknown command '%1'. Run tollkeeper-cli --help for the commands.")
                .arg(command));
        return ExitUsage;
    }
    options.answer = yes  ? CCliUserInterface::Answer::Yes
                     : no ? CCliUserInterface::Answer::No
                          : CCliUserInterface::Answer::Ask;

    CCliUserInterface terminal(options.answer, options.verbose);
    setUi(&terminal);
    if (!theRegistry().open()) {
        terminal.showMessage(QStringLiteral("Unable to access the registry.  Please ensure that "
                                            "you have sufficient permissions to read and write "
                                            "to the registry."),
                             MessageIcon::Stop);
        setUi(nullptr);
        return ExitFailure;
    }
    int status = ExitFailure;
    {
        CCliContext context(options, terminal, commandArgs);
        try {
            status = cmd->run(context);
        } catch (const DbException& e) {
            // A database failure no command step handled itself (a look-up that could not be
            // made, say): its message is shown and the command fails.
            terminal.showMessage(e.message(), MessageIcon::Stop);
            status = ExitFailure;
        }
    }
    std::fflush(stdout);
    setUi(nullptr);
    return status;
}
