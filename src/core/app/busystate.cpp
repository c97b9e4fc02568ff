#include "core/app/busystate.h"

#include "core/app/appcontext.h"
#include "core/app/userinterface.h"

namespace {
using State = CBusyState::State;

CBusyState& busy() {
    return App().busy();
}
} // namespace

void BeginProcess(const QString& message, int flags) {
    if (busy().state != State::Idle) {
        if (!message.isEmpty())
            ui().processMessage(message);
        return;
    }
    busy().flags = flags;
    busy().state = State::Running;
    ui().processStarted(message, flags);
}

bool CheckInterrupt() {
    if (busy().state == State::Interrupted)
        return true;
    if (!ui().pollInterruptRequest(busy().flags))
        return false;
    if (ui().confirmsInterrupt() && !ConfirmInterrupt())
        return false;
    if (busy().state == State::Running)
        busy().state = State::Interrupted;
    return true;
}

void EndProcess() {
    if (busy().state == State::Idle)
        return;
    const int flags = busy().flags;
    busy().state = State::Idle;
    busy().flags = 0;
    ui().processEnded(flags);
}

bool ConfirmInterrupt() {
    if (busy().state == State::Idle)
        return true;
    return ui().askYesNo(QStringLiteral("Interrupt process?"), MessageIcon::Question);
}

bool IsProcessRunning() {
    return busy().state != State::Idle;
}

bool IsProcessInterrupted() {
    return busy().state == State::Interrupted;
}

int CurrentProcessFlags() {
    return busy().flags;
}

bool RequestInterrupt() {
    if (busy().state == State::Running && ConfirmInterrupt())
        busy().state = State::Interrupted;
    return busy().state == State::Interrupted;
}

CProcessScope::CProcessScope(const QString& message, int flags) {
    m_owner = !IsProcessRunning();
    BeginProcess(message, flags);
}

CProcessScope::~CProcessScope() {
    if (m_owner)
        EndProcess();
}
