#include "core/app/userinterface.h"

namespace {
CSilentUserInterface g_silent;
IUserInterface* g_ui = &g_silent;
} // namespace

IUserInterface& ui() {
    return *g_ui;
}

void setUi(IUserInterface* u) {
    g_ui = u ? u : &g_silent;
}
