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
#include <csignal>
#include <cstdio>
#include <memory>
#include <optional>
#ifdef Q_OS_UNIX
#include <unistd.h>
#endif

namespace {

void print(FILE* to, const QString& text) {
    const QByteArray bytes = text.toLocal8Bit();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), to);
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
    const CCliParser parser(CliCommands());
    QStringList rawArgs;
    for (int i = 1; i < argc; ++i)
        rawArgs << QString::fromLocal8Bit(argv[i]);
    const CliSpec* named = parser.peekCommand(rawArgs);
    std::unique_ptr<QCoreApplication> app;
    if (named && named->usesFonts) {
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

    QString error;
    std::optional<CliArgs> args = parser.parse(QCoreApplication::arguments().mid(1), &error);
    if (!args) {
        CCliUserInterface::note(error);
        return ExitUsage;
    }
    if (args->help) {
        print(stdout,
              args->path.isEmpty() ? parser.programHelp() : CCliParser::commandHelp(args->path));
        return ExitOk;
    }
    const bool yes = args->isSet(QStringLiteral("yes"));
    const bool no = args->isSet(QStringLiteral("no"));
    if (yes && no) {
        CCliUserInterface::note(QStringLiteral("--yes and --no cannot be given together."));
        return ExitUsage;
    }
    const CliSpec* cmd = args->command();
    if (!cmd) {
        print(stderr, parser.programHelp());
        return ExitUsage;
    }
    CliOptions options;
    options.db = args->value(QStringLiteral("db"));
    options.verbose = args->isSet(QStringLiteral("verbose"));
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
        CCliContext context(options, terminal, std::move(*args));
        try {
            status = cmd->run(context);
        } catch (const DbException& e) {
            // A database failure no command step handled itself (a look-up that could not be
            // made, say): its message is shown and the command fails.
            terminal.showMessage(e.message(), MessageIcon::Stop);
            status = ExitFailure;
        }
    }
    // A command that a signal interrupted never reports success, even when the signal came
    // after its last safe point.
    if (const int signal = CCliUserInterface::interruptSignal()) {
        const char* name = signal == SIGINT ? "SIGINT" : signal == SIGTERM ? "SIGTERM" : "SIGHUP";
        terminal.note(QStringLiteral("Interrupted by %1.").arg(QLatin1String(name)));
        if (status == ExitOk)
            status = ExitFailure;
    }
    std::fflush(stdout);
    setUi(nullptr);
    return status;
}
