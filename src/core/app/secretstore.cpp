// libsecret (through GLib) comes before any Qt header: GIO names a struct member "signals",
// which Qt defines as a keyword macro.
#ifdef TK_HAVE_LIBSECRET
#include <libsecret/secret.h>
#endif

#include "core/app/secretstore.h"

#include <QByteArray>
#include <QtGlobal>

namespace SecretStore {

#ifdef TK_HAVE_LIBSECRET
namespace {
const SecretSchema* schema() {
    static const SecretSchema s = [] {
        SecretSchema x{};
        x.name = "com.corvane.Tollkeeper";
        x.flags = SECRET_SCHEMA_NONE;
        x.attributes[0] = {"setting", SECRET_SCHEMA_ATTRIBUTE_STRING};
        return x;
    }();
    return &s;
}
} // namespace

bool available() {
    // Without a session bus libsecret would try to start one; a cron job has none.
    return !qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS");
}

bool lookup(const QString& key, QString* secret) {
    if (!available())
        return false;
    const QByteArray k = key.toUtf8();
    GError* error = nullptr;
    gchar* value =
        secret_password_lookup_sync(schema(), nullptr, &error, "setting", k.constData(), nullptr);
    if (error) {
        qWarning("Secret Service lookup failed: %s", error->message);
        g_error_free(error);
        return false;
    }
    if (!value)
        return false;
    *secret = QString::fromUtf8(value);
    secret_password_free(value);
    return true;
}

bool store(const QString& key, const QString& secret) {
    if (!available())
        return false;
    const QByteArray k = key.toUtf8();
    GError* error = nullptr;
    bool ok;
    if (secret.isEmpty()) {
        secret_password_clear_sync(schema(), nullptr, &error, "setting", k.constData(), nullptr);
        ok = !error;
    } else {
        const QByteArray label = "Tollkeeper " + k;
        const QByteArray v = secret.toUtf8();
        ok = secret_password_store_sync(schema(), SECRET_COLLECTION_DEFAULT, label.constData(),
                                        v.constData(), nullptr, &error, "setting", k.constData(),
                                        nullptr);
    }
    if (error) {
        qWarning("Secret Service store failed: %s", error->message);
        g_error_free(error);
        return false;
    }
    return ok;
}
#else
bool available() {
    return false;
}
bool lookup(const QString&, QString*) {
    return false;
}
bool store(const QString&, const QString&) {
    return false;
}
#endif

} // namespace SecretStore
