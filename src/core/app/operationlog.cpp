#include "core/app/operationlog.h"
#include "core/app/appcontext.h"
#include "core/app/cp1252.h"
#include "core/app/resultcodes.h"
#include "core/app/settingsvalues.h"
#include "core/app/userinterface.h"
#include "core/db/datetimeutil.h"

#include <QFileInfo>
#include <QLocale>
#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace {
// The message shown when the log file cannot be opened, by the cause of the failure.
QString openFailureText(int err, const QString& path) {
    switch (err) {
    case ENOENT:
    case ENOTDIR:
    case ENAMETOOLONG:
    case ELOOP:
        return QStringLiteral(
                   "%1\nCannot find this file.\nPlease verify that the correct path and file "
                   "name are given.")
            .arg(path);
    case EACCES:
    case EPERM:
    case EROFS:
        // A missing file whose folder refuses it is no file someone else holds open.
        if (!QFileInfo::exists(path))
            return QStringLiteral("Unable to create %1: its folder cannot be written.").arg(path);
        [[fallthrough]];
    case ETXTBSY:
    case EBUSY:
        return QStringLiteral("Unable to read from %1, it is opened by someone else.").arg(path);
    case ENOSPC:
    case EDQUOT:
        return QStringLiteral("Destination disk drive is full.");
    case EMFILE:
    case ENFILE:
    case EISDIR:
    case EINVAL:
    case EIO:
    case EBADF:
    case ESPIPE:
        return QStringLiteral("Failed to open document.");
    default:
        return QStringLiteral("An unexpected error occurred while reading %1.").arg(path);
    }
}

// A field of a log line must stay on its line and in its column.
QString oneLine(QString s) {
    for (QChar& c : s)
        if (c == QLatin1Char('\t') || c == QLatin1Char('\r') || c == QLatin1Char('\n'))
            c = QLatin1Char(' ');
    return s;
}

QString withoutLineBreak(QString s) {
    while (s.endsWith(QLatin1Char('\n')) || s.endsWith(QLatin1Char('\r')))
        s.chop(1);
    return s;
}
} // namespace

QString LogDateText(const QDateTime& when) {
    return FormatLocalDateTime(when, QLocale::system());
}

QDateTime ParseLogDate(const QString& text) {
    const QLocale locale = QLocale::system();
    const QString t = text.trimmed();
    QDateTime dt = locale.toDateTime(t, LocaleDateTimeFormat(locale));
    if (dt.isValid())
        return dt;
    dt = QDateTime::fromString(t, Qt::ISODate);
    if (dt.isValid())
        return dt;
    const DateEntryResult r = CheckDateEntry(t, false, locale);
    if (r.status == DateEntryResult::Ok && r.hasDate)
        return DbToDateTime(r.value);
    return {};
}

LogLineFields ParseLogLine(const QString& line) {
    const QStringList parts = withoutLineBreak(line).split(QLatin1Char('\t'));
    LogLineFields f;
    f.dateText = parts.value(0);
    f.dateTime = ParseLogDate(f.dateText);
    f.name = parts.value(1);
    f.severity = parts.value(2);
    f.message = parts.value(3);
    return f;
}

COperationLog::COperationLog() = default;
COperationLog::~COperationLog() = default;

void COperationLog::reset() {
    close();
    m_logging.reset();
    m_problem = false;
    m_listeners.clear();
    m_viewHook = {};
}

bool COperationLog::loggingEnabled() const {
    if (!m_logging)
        const_cast<COperationLog*>(this)->m_logging = RegYesNo(Reg::Logging);
    return *m_logging;
}

void COperationLog::setLoggingEnabled(bool on, bool store) {
    m_logging = on;
    if (store && !RegWriteYesNo(Reg::Logging, on))
        qWarning("Unable to store the logging switch in the settings");
}

bool COperationLog::ensureOpen() {
    if (m_file.isOpen())
        return true;
    const QString path = LogFilePath();
    // Created when missing, never truncated; every write lands at the end (O_APPEND).
    const int fd = path.isEmpty() ? (errno = ENOENT, -1)
                                  : ::open(QFile::encodeName(path).constData(),
                                           O_RDWR | O_APPEND | O_CREAT | O_CLOEXEC, 0666);
    int err = errno;
    if (fd >= 0) {
        if (m_file.open(fd, QIODevice::ReadWrite | QIODevice::Append,
                        QFileDevice::AutoCloseHandle)) {
            m_openPath = path;
            return true;
        }
        ::close(fd);
        err = EINVAL;
    }
    ui().showMessage(openFailureText(err, path), MessageIcon::Exclamation);
    setLoggingEnabled(false, false);
    return false;
}

void COperationLog::close() {
    if (m_file.isOpen())
        m_file.close();
}

QString COperationLog::filePath() const {
    return m_file.isOpen() ? m_openPath : LogFilePath();
}

void COperationLog::writeEntry(const QString& name, const QString& message, int code) {
    if (IsProblemCode(code))
        m_problem = true;
    if (!IsProblemCode(code) && !loggingEnabled())
        return;
    if (!ensureOpen())
        return;
    writeLine(LogDateText(QDateTime::currentDateTime()) + QLatin1Char('\t') + oneLine(name) +
              QLatin1Char('\t') + ResultSeverity(code) + QLatin1Char('\t') + oneLine(message));
}

void COperationLog::writeRecord(const QString& name, const QString& message) {
    if (!ensureOpen())
        return;
    writeLine(LogDateText(QDateTime::currentDateTime()) + QLatin1Char('\t') + oneLine(name) +
              QLatin1Char('\t') + ResultSeverity(ResultCode::FirstSuccess) + QLatin1Char('\t') +
              oneLine(message));
}

void COperationLog::writeLine(const QString& line) {
    if (!ensureOpen())
        return;
    const QString text = withoutLineBreak(line);
    const QByteArray bytes = EncodeCp1252(text) + "\r\n";
    errno = 0;
    if (m_file.write(bytes) != bytes.size() || !m_file.flush()) {
        reportWriteFailure(errno);
        return;
    }
    const auto listeners = m_listeners;
    for (ILogListener* l : listeners)
        l->lineAdded(text);
}

void COperationLog::reportWriteFailure(int err) {
    const QString path = m_openPath;
    close(); // the next entry opens it again
    ui().showMessage(
        err == ENOSPC || err == EDQUOT
            ? QStringLiteral("Destination disk drive is full.")
            : QStringLiteral("An unexpected error occurred while writing %1.").arg(path),
        MessageIcon::Exclamation);
}

QStringList COperationLog::readLines() {
    QFile f(filePath());
    if (!f.open(QIODevice::ReadOnly))
        return {};
    QStringList lines = DecodeCp1252(f.readAll()).split(QLatin1Char('\n'));
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    for (QString& l : lines)
        if (l.endsWith(QLatin1Char('\r')))
            l.chop(1);
    return lines;
}

bool COperationLog::clearWithQuestion() {
    if (!ui().askYesNo(QStringLiteral("Clear the logfile?"), MessageIcon::Question))
        return false;
    clear();
    return true;
}

void COperationLog::clear() {
    notifyCleared();
    if (m_file.isOpen() && !m_file.resize(0))
        ui().showMessage(
            QStringLiteral("An unexpected error occurred while writing %1.").arg(m_openPath),
            MessageIcon::Exclamation);
}

bool COperationLog::reload() {
    notifyCleared();
    close();
    if (!ensureOpen())
        return false;
    const QStringList lines = readLines();
    const auto listeners = m_listeners;
    for (const QString& line : lines)
        for (ILogListener* l : listeners)
            l->lineAdded(line);
    return true;
}

void COperationLog::reportOutcome(bool offerView, int problem, bool sayIfNone) {
    const bool p = problem < 0 ? m_problem : problem != 0;
    if (p && offerView) {
        const bool view = ui().askYesNo(
            QStringLiteral("An error or warning was issued, do you wish to view the log?"),
            MessageIcon::Exclamation);
        m_problem = false;
        if (view)
            viewLog();
    } else if (p) {
        ui().showMessage(QStringLiteral("An error or warning was issued."),
                         MessageIcon::Exclamation);
        m_problem = false;
    } else if (sayIfNone) {
        ui().showMessage(QStringLiteral("Operation logged no errors or warnings."),
                         MessageIcon::Information);
    }
}

void COperationLog::addListener(ILogListener* listener) {
    if (listener &&
        std::find(m_listeners.begin(), m_listeners.end(), listener) == m_listeners.end())
        m_listeners.push_back(listener);
}

void COperationLog::removeListener(ILogListener* listener) {
    std::erase(m_listeners, listener);
}

void COperationLog::viewLog() {
    if (m_viewHook)
        m_viewHook();
}

void COperationLog::notifyCleared() {
    const auto listeners = m_listeners;
    for (ILogListener* l : listeners)
        l->cleared();
}

COperationLog& theLog() {
    return App().log();
}
