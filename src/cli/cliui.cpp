#include "cli/cliui.h"

#include "core/app/busystate.h"

#include <QCoreApplication>
#include <atomic>
#include <csignal>
#include <cstdio>
#include <iostream>
#include <iterator>
#include <string>
#include <unistd.h>

namespace {
// Set by the signal handler, read by the run at its next safe point. It stays set for the rest
// of the command: a signal asks the whole command to stop, not only the step under way.
std::atomic<bool> g_interruptSignal{false};
std::atomic<int> g_signalNumber{0};
static_assert(std::atomic<bool>::is_always_lock_free && std::atomic<int>::is_always_lock_free);

const int kInterruptSignals[] = {SIGINT, SIGTERM, SIGHUP};
struct sigaction g_previous[std::size(kInterruptSignals)];
bool g_handlersInstalled = false;

extern "C" void onInterruptSignal(int signal) {
    g_signalNumber = signal;
    g_interruptSignal = true;
}

void writeErr(const QString& text) {
    const QByteArray bytes = text.toLocal8Bit();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stderr);
    std::fputc('\n', stderr);
    std::fflush(stderr);
}
} // namespace

CCliUserInterface::CCliUserInterface(Answer answer, bool verbose)
    : m_answer(answer), m_verbose(verbose) {
    // Installed for the whole command, not only while a step is busy: a signal that comes
    // between two steps of a job must stop it as well. SA_RESTART keeps file and database
    // reads that the signal interrupts going; the handler only sets the flag.
    if (g_handlersInstalled)
        return;
    g_interruptSignal = false;
    g_signalNumber = 0;
    struct sigaction action {};
    action.sa_handler = onInterruptSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (size_t i = 0; i < std::size(kInterruptSignals); ++i)
        sigaction(kInterruptSignals[i], &action, &g_previous[i]);
    g_handlersInstalled = true;
}

CCliUserInterface::~CCliUserInterface() {
    if (!g_handlersInstalled)
        return;
    for (size_t i = 0; i < std::size(kInterruptSignals); ++i)
        sigaction(kInterruptSignals[i], &g_previous[i], nullptr);
    g_handlersInstalled = false;
}

int CCliUserInterface::interruptSignal() {
    return g_interruptSignal ? g_signalNumber.load() : 0;
}

void CCliUserInterface::note(const QString& text) {
    writeErr(text);
}

bool CCliUserInterface::askYesNo(const QString& text, MessageIcon) {
    switch (m_answer) {
    case Answer::Yes:
        if (m_verbose)
            writeErr(text + QStringLiteral(" [yes]"));
        return true;
    case Answer::No:
        if (m_verbose)
            writeErr(text + QStringLiteral(" [no]"));
        return false;
    case Answer::Ask:
        break;
    }
    if (!isatty(STDIN_FILENO) || !isatty(STDERR_FILENO)) {
        writeErr(text);
        writeErr(QStringLiteral("No answer given: there is no terminal to ask. Run again with "
                                "--yes or --no to answer questions."));
        m_refused = true;
        return false;
    }
    for (;;) {
        const QByteArray prompt = (text + QStringLiteral(" [y/n] ")).toLocal8Bit();
        std::fwrite(prompt.constData(), 1, size_t(prompt.size()), stderr);
        std::fflush(stderr);
        std::string line;
        if (!std::getline(std::cin, line)) {
            writeErr(QString());
            m_refused = true;
            return false;
        }
        const QString reply = QString::fromLocal8Bit(line.c_str()).trimmed().toLower();
        if (reply == QLatin1String("y") || reply == QLatin1String("yes"))
            return true;
        if (reply == QLatin1String("n") || reply == QLatin1String("no"))
            return false;
    }
}

void CCliUserInterface::showMessage(const QString& text, MessageIcon) {
    ++m_messages;
    m_lastMessage = text;
    writeErr(text);
}

void CCliUserInterface::setStatusText(const QString& text) {
    if (m_verbose && !text.isEmpty())
        writeErr(text);
}

void CCliUserInterface::setWaitCursor(bool) {}

void CCliUserInterface::processStarted(const QString& message, int) {
    if (m_verbose && !message.isEmpty())
        writeErr(message);
}

void CCliUserInterface::processMessage(const QString& message) {
    if (m_verbose && !message.isEmpty())
        writeErr(message);
}

bool CCliUserInterface::pollInterruptRequest(int flags) {
    QCoreApplication::processEvents();
    return (flags & (PROC_ESC_INTERRUPTS | PROC_CLOSE_INTERRUPTS)) && g_interruptSignal;
}

void CCliUserInterface::processEnded(int) {}
