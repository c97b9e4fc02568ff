#include "cli/clicommand.h"
#include "cli/clitable.h"

#include "core/app/dbsession.h"
#include "core/app/settingsvalues.h"
#include "core/db/database.h"

#include <QDir>
#include <cstdio>

namespace {
QList<CliSpec>& registry() {
    static QList<CliSpec> commands;
    return commands;
}
} // namespace

CliRegistration::CliRegistration(const CliSpec& command) {
    registry().append(command);
}

const QList<CliSpec>& CliCommands() {
    return registry();
}

QString CliYesNo(bool value) {
    return value ? QStringLiteral("yes") : QStringLiteral("no");
}

CCliContext::CCliContext(const CliOptions& options, CCliUserInterface& ui, CliArgs args)
    : m_options(options), m_ui(ui), m_args(std::move(args)) {}

CCliContext::~CCliContext() = default;

QString CCliContext::databasePath() const {
    if (Database::isServerName(m_options.db))
        return m_options.db;
    QString path = CDatabaseSession::commandLinePath(m_options.db);
    if (path.isEmpty())
        path = RegText(Reg::DatabasePath, CDatabaseSession::defaultDatabasePath());
    if (path.isEmpty())
        path = CDatabaseSession::defaultDatabasePath();
    if (Database::isServerName(path))
        return path;
    return QDir::cleanPath(QDir::current().absoluteFilePath(path));
}

CDatabaseSession* CCliContext::openDatabase() {
    if (m_session && m_session->isOpen())
        return m_session.get();
    m_session = std::make_unique<CDatabaseSession>();
    // The terminal has no way to go on after a lost database but to stop.
    m_session->setShutdownHandler([] { std::exit(ExitFailure); });
    CDatabaseSession::StartupOptions startup;
    // A file named with --db is the user's explicit choice: no question, and the desktop
    // program's remembered database stays as it is.
    startup.confirmPath = m_options.db.isEmpty();
    startup.rememberPath = false;
    // New databases are made by "init" only.
    startup.createDefault = false;
    if (!m_session->openAtStartup(m_options.db, startup)) {
        // The engine's reason for a failed open is still to be said; a refusal of the upgrade
        // (another program's file, a newer version's) has been shown already.
        const QString error = m_session->lastError();
        if (!error.isEmpty() && error != m_ui.lastMessage())
            CCliUserInterface::note(error);
        m_session.reset();
        return nullptr;
    }
    return m_session.get();
}

Database* CCliContext::database() {
    CDatabaseSession* session = openDatabase();
    return session ? session->database() : nullptr;
}

int CCliContext::openFailureExit() const {
    return m_ui.refusedQuestion() ? ExitDeclined : ExitFailure;
}

void CCliContext::out(const QString& line) {
    const QByteArray bytes = line.toLocal8Bit();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stdout);
    std::fputc('\n', stdout);
}

std::optional<CliTableFormat> CCliContext::tableFormat() {
    const auto format = ParseCliTableFormat(m_args.value(QStringLiteral("format")));
    if (!format)
        usageError(QStringLiteral("--format is table, csv or json."));
    return format;
}

void CCliContext::out(const CCliTable& table, CliTableFormat format) {
    const QString text = table.render(format);
    out(text.endsWith(QLatin1Char('\n')) ? text.chopped(1) : text);
}

int CCliContext::fail(const QString& text) {
    m_ui.showMessage(text, MessageIcon::Stop);
    return ExitFailure;
}

int CCliContext::usageError(const QString& text) {
    CCliUserInterface::note(text);
    return ExitUsage;
}

int CCliContext::exitFor(int resultCode) const {
    if (resultCode == 0)
        return ExitOk;
    if (resultCode == SystemResult::Cancelled)
        return ExitDeclined;
    return ExitFailure;
}
