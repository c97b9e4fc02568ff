#pragma once
#include <QString>

// Secrets of the installation (the mail server's password) kept where the desktop keeps
// secrets: the Secret Service of the user's session (GNOME Keyring, KWallet) through
// libsecret. It is used only when the build has libsecret and the session has a message bus;
// everywhere else (a server run from cron, the tests) the callers fall back to the settings
// file, which is then readable by its owner only.
namespace SecretStore {
// The build has libsecret and a session bus is there to reach the Secret Service.
bool available();
// The secret kept under `key`; false when there is none or the service cannot be reached.
[[nodiscard]] bool lookup(const QString& key, QString* secret);
// Keeps `secret` under `key` (an empty one removes it). True when the service took it.
[[nodiscard]] bool store(const QString& key, const QString& secret);
} // namespace SecretStore
