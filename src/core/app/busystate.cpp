#include "core/app/busystate.h"

#include "core/app/userinterface.h"

namespace {
enum class State { Idle, Running, Interrupted };
State g_state = State::Idle;
int g_flags = 0;
} // namespace

void BeginProcess(const QString& message, int flags) {
    if (g_state != State::Idle) {
        if (!message.isEmpty())
            ui().processMessage(message);
        return;
    }
    g_flags = flags;
    g_state = State::Running;
    ui().processStarted(message, flags);
}

bool CheckInterrupt() {
    if (g_state == State::Interrupted)
        return true;
    if (!ui().pollInterruptRequest(g_flags))
        return false;
    if (!ConfirmInterrupt())
        return false;
    if (g_state == State::Running)
        g_state = State::Interrupted;
    return true;
}

void EndProcess() {
    if (g_state == State::Idle)
        return;
    const int flags = g_flags;
    g_state = State::Idle;
    g_flags = 0;
    ui().processEnded(flags);
}

bool ConfirmInterrupt() {
    if (g_state == State::Idle)
        return true;
    return ui().askYesNo(QStringLiteral("Interrupt process?"), MessageIcon::Question);
}

bool IsProcessRunning() {
    return g_state != State::Idle;
}

bool IsProcessInterrupted() {
    return g_state == State::Interrupted;
}

int CurrentProcessFlags() {
    return g_flags;
}

bool RequestInterrupt() {
    if (g_state == State::Running && ConfirmInterrupt())
        g_state = State::Interrupted;
    return g_state == State::Interrupted;
}

CProcessScope::CProcessScope(const QString& message, int flags) {
    m_owner = !IsProcessRunning();
    BeginProcess(message, flags);
}

CProcessScope::~CProcessScope() {
    if (m_owner)
        EndProcess();
}
