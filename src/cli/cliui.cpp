#include "cli/cliui.h"

#include "core/app/busystate.h"

#include <QCoreApplication>
#include <atomic>
#include <csignal>
#include <cstdio>
#include <iostream>
#include <string>
#include <unistd.h>

namespace {
std::atomic<bool> g_interruptRequested{false};
using SignalHandler = void (*)(int);
SignalHandler g_previousHandler = SIG_DFL;
bool g_handlerInstalled = false;

extern "C" void onInterruptSignal(int) {
    g_interruptRequested = true;
}

void writeErr(const QString& text) {
    const QByteArray bytes = text.toLocal8Bit();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stderr);
    std::fputc('\n', stderr);
    std::fflush(stderr);
}
} // namespace

CCliUserInterface::CCliUserInterface(Answer answer, bool verbose)
    : m_answer(answer), m_verbose(verbose) {}

CCliUserInterface::~CCliUserInterface() {
    if (g_handlerInstalled) {
        std::signal(SIGINT, g_previousHandler);
        g_handlerInstalled = false;
    }
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
    writeErr(text);
}

void CCliUserInterface::setStatusText(const QString& text) {
    if (m_verbose && !text.isEmpty())
        writeErr(text);
}

void CCliUserInterface::setWaitCursor(bool) {}

void CCliUserInterface::processStarted(const QString& message, int) {
    g_interruptRequested = false;
    if (!g_handlerInstalled) {
        g_previousHandler = std::signal(SIGINT, onInterruptSignal);
        g_handlerInstalled = true;
    }
    if (m_verbose && !message.isEmpty())
        writeErr(message);
}

void CCliUserInterface::processMessage(const QString& message) {
    if (m_verbose && !message.isEmpty())
        writeErr(message);
}

bool CCliUserInterface::pollInterruptRequest(int flags) {
    QCoreApplication::processEvents();
    if ((flags & (PROC_ESC_INTERRUPTS | PROC_CLOSE_INTERRUPTS)) &&
        g_interruptRequested.exchange(false))
        return true;
    return false;
}

void CCliUserInterface::processEnded(int) {
    if (g_handlerInstalled) {
        std::signal(SIGINT, g_previousHandler);
        g_handlerInstalled = false;
    }
    g_interruptRequested = false;
}
