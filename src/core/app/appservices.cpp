#include "core/app/appservices.h"

#include "core/app/userinterface.h"

#include <QString>
#include <map>

namespace {
std::function<bool()>& openDocumentsProbe() {
    static std::function<bool()> probe;
    return probe;
}
std::function<bool()>& closeAllHook() {
    static std::function<bool()> hook;
    return hook;
}
std::map<int, RefreshHandler>& refreshHandlers() {
    static std::map<int, RefreshHandler> handlers;
    return handlers;
}
int g_nextHandlerId = 1;
} // namespace

void SetOpenDocumentsProbe(std::function<bool()> anyOpen) {
    openDocumentsProbe() = std::move(anyOpen);
}

void SetCloseAllDocumentsHook(std::function<bool()> closeAll) {
    closeAllHook() = std::move(closeAll);
}

bool CheckNoDocumentsOpen() {
    const auto& probe = openDocumentsProbe();
    if (probe && probe()) {
        ui().showMessage(QStringLiteral("Please close all invoice and report windows before "
                                        "using this feature."),
                         MessageIcon::Exclamation);
        return false;
    }
    return true;
}

bool CloseAllDocuments() {
    const auto& hook = closeAllHook();
    if (hook && !hook())
        return false;
    const auto& probe = openDocumentsProbe();
    return !(probe && probe());
}

int AddRefreshHandler(RefreshHandler handler) {
    const int id = g_nextHandlerId++;
    refreshHandlers().emplace(id, std::move(handler));
    return id;
}

void RemoveRefreshHandler(int id) {
    refreshHandlers().erase(id);
}

void RefreshViews(const void* sender, int hint, void* hintObject) {
    if (refreshHandlers().empty())
        return;
    CWaitCursor wait;
    ui().setStatusText(QStringLiteral("Updating views..."));
    // A handler may add or remove handlers; walk a copy.
    const auto handlers = refreshHandlers();
    for (const auto& [id, handler] : handlers)
        if (handler)
            handler(sender, hint, hintObject);
    ui().setStatusText(QString());
}
