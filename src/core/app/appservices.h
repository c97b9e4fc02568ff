#pragma once
#include <functional>

// Services of the application that many commands use: the test that no document window is
// open, and the refresh of every view after data changed. The user interface registers the
// hooks; without them no document counts as open and there is nothing to refresh.

// Answers whether any document window (invoice, report, log ...) is open.
void SetOpenDocumentsProbe(std::function<bool()> anyOpen);
// Closes every document window; answers false when one refused to close.
void SetCloseAllDocumentsHook(std::function<bool()> closeAll);

// The close-windows test: when a document window is open, says "Please close all invoice
// and report windows before using this feature." and answers false; otherwise true.
[[nodiscard]] bool CheckNoDocumentsOpen();
// Closes all document windows through the hook; true when none is left open.
[[nodiscard]] bool CloseAllDocuments();

// A view refresh: the sender (the view that made the change, not refreshed itself; may be
// null), a hint number and a hint object, both passed through to the views.
using RefreshHandler = std::function<void(const void* sender, int hint, void* hintObject)>;
// Returns an id for RemoveRefreshHandler.
int AddRefreshHandler(RefreshHandler handler);
void RemoveRefreshHandler(int id);
// Shows "Updating views..." under the wait cursor, calls every handler, clears the status
// text. Nothing is shown when no handler is registered (no main window).
void RefreshViews(const void* sender = nullptr, int hint = 0, void* hintObject = nullptr);
