// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/session/SecretStore.h"

// Before any Qt header: GLib's headers use a name Qt defines as a macro.
#include <libsecret/secret.h>

#include "platform/Wildcard.h"
#include "ui/InterfaceWait.h"

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

namespace {

using Result = SecretStore::Result;

// A port of 1 to 65535 written in decimal digits only; 0 otherwise.
int parsePort(std::string_view text)
{
    if (text.empty() || text.size() > 5)
        return 0;
    int port = 0;
    for (const char c : text) {
        if (c < '0' || c > '9')
            return 0;
        port = port * 10 + (c - '0');
    }
    return port <= 65535 ? port : 0;
}

// D-Bus strings are UTF-8: bytes that are not (a name typed on a legacy
// Shift-JIS system) are written as \xNN, the same way every time.
std::string utf8Form(const std::string &bytes)
{
    if (g_utf8_validate(bytes.data(), static_cast<gssize>(bytes.size()), nullptr))
        return bytes;
    std::string out;
    for (const char c : bytes) {
        const auto u = static_cast<unsigned char>(c);
        if (u < 0x80) {
            out.push_back(c);
        } else {
            char escaped[5];
            std::snprintf(escaped, sizeof escaped, "\\x%02X", u);
            out += escaped;
        }
    }
    return out;
}

const SecretSchema *accountSchema()
{
    static const SecretSchema schema = [] {
        SecretSchema s{};
        s.name = "org.vexmora.Account";
        s.flags = SECRET_SCHEMA_NONE;
        s.attributes[0] = {"host", SECRET_SCHEMA_ATTRIBUTE_STRING};
        s.attributes[1] = {"port", SECRET_SCHEMA_ATTRIBUTE_INTEGER};
        s.attributes[2] = {"user", SECRET_SCHEMA_ATTRIBUTE_STRING};
        return s;
    }();
    return &schema;
}

GHashTable *attributesOf(const SecretKey &key)
{
    GHashTable *table = g_hash_table_new_full(g_str_hash, g_str_equal, g_free, g_free);
    g_hash_table_insert(table, g_strdup("host"), g_strdup(utf8Form(key.Host).c_str()));
    g_hash_table_insert(table, g_strdup("port"), g_strdup(std::to_string(key.Port).c_str()));
    g_hash_table_insert(table, g_strdup("user"), g_strdup(utf8Form(key.User).c_str()));
    return table;
}

Result classify(const GError *error, GCancellable *cancellable)
{
    if (!error)
        return Result::Failed;
    if (g_cancellable_is_cancelled(cancellable))
        return Result::Failed; // our own deadline
    if (error->domain == SECRET_ERROR && error->code == SECRET_ERROR_IS_LOCKED)
        return Result::Declined;
    if (g_error_matches(error, G_IO_ERROR, G_IO_ERROR_CANCELLED))
        return Result::Declined; // an unlock prompt the user dismissed
    if (error->domain == G_DBUS_ERROR) {
        switch (error->code) {
        case G_DBUS_ERROR_SERVICE_UNKNOWN:
        case G_DBUS_ERROR_NAME_HAS_NO_OWNER:
        case G_DBUS_ERROR_NO_SERVER:
        case G_DBUS_ERROR_SPAWN_EXEC_FAILED:
        case G_DBUS_ERROR_SPAWN_CHILD_EXITED:
        case G_DBUS_ERROR_SPAWN_CHILD_SIGNALED:
        case G_DBUS_ERROR_SPAWN_FAILED:
        case G_DBUS_ERROR_SPAWN_SERVICE_NOT_FOUND:
        case G_DBUS_ERROR_SPAWN_SERVICE_INVALID:
        case G_DBUS_ERROR_SPAWN_FILE_INVALID:
        case G_DBUS_ERROR_UNKNOWN_METHOD:
        case G_DBUS_ERROR_UNKNOWN_OBJECT:
        case G_DBUS_ERROR_UNKNOWN_INTERFACE:
            return Result::NoService;
        default:
            break;
        }
    }
    return Result::Failed;
}

using Work = std::function<Result(SecretService *, GCancellable *, GError **, std::string &)>;

// Connects to the session bus, makes the Secret Service's proxy and runs the
// work; runs on a thread of its own. The process shares one session bus
// connection (GLib's); a bus that goes away never ends the program.
Result connectAndRun(GCancellable *cancellable, const Work &work, std::string &value)
{
    GError *error = nullptr;
    GDBusConnection *connection = g_bus_get_sync(G_BUS_TYPE_SESSION, cancellable, &error);
    if (!connection) {
        // No bus to connect to: nothing can hold a secret.
        const Result r = g_cancellable_is_cancelled(cancellable) ? Result::Failed : Result::NoService;
        g_clear_error(&error);
        return r;
    }
    g_dbus_connection_set_exit_on_close(connection, FALSE);
    // The proxy takes the same connection (the session bus is shared in the process).
    auto *service = static_cast<SecretService *>(
        g_initable_new(SECRET_TYPE_SERVICE, cancellable, &error, "flags", SECRET_SERVICE_NONE, nullptr));
    Result result = Result::Failed;
    if (!service) {
        result = classify(error, cancellable);
    } else {
        result = work(service, cancellable, &error, value);
        if (result != Result::Ok && result != Result::NotFound)
            result = classify(error, cancellable);
        g_object_unref(service);
    }
    g_clear_error(&error);
    g_object_unref(connection);
    return result;
}

// What the caller and the worker thread share; it lives until both let go.
struct PendingCall {
    std::mutex mutex;
    std::condition_variable ended;
    bool done = false;
    ui::InterfaceWait *wait = nullptr;
    Result result = Result::Failed;
    std::string value;
    GCancellable *cancellable = g_cancellable_new();
    ~PendingCall() { g_object_unref(cancellable); }
};

// keepPainting: on the interface thread, the windows paint during the wait.
Result runBounded(int timeoutMs, Work work, std::string *value = nullptr, bool keepPainting = true)
{
    auto call = std::make_shared<PendingCall>();
    std::thread([call, work = std::move(work)] {
        std::string got;
        const Result result = connectAndRun(call->cancellable, work, got);
        const std::lock_guard lock(call->mutex);
        call->done = true;
        call->result = result;
        call->value = std::move(got);
        if (call->wait)
            call->wait->finish();
        call->ended.notify_all();
    }).detach();

    std::unique_lock lock(call->mutex);
    if (!call->done) {
        if (keepPainting && ui::isInterfaceThread()) {
            ui::InterfaceWait wait;
            call->wait = &wait;
            lock.unlock();
            wait.wait(timeoutMs);
            lock.lock();
            call->wait = nullptr;
        } else {
            call->ended.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] { return call->done; });
        }
    }
    if (!call->done) {
        // The thread ends on its own once the cancelled call returns.
        g_cancellable_cancel(call->cancellable);
        return Result::Failed;
    }
    if (value)
        *value = std::move(call->value);
    return call->result;
}

} // namespace

SecretKey SecretKeyOf(std::string_view hostText, std::string_view user)
{
    static constexpr struct {
        std::string_view prefix;
        int port;
    } schemes[] = {{"ftpes://", 21}, {"ftps://", 990}, {"ftp://", 21}, {"sftp://", 22}};
    SecretKey key;
    key.User = std::string(user);
    for (const auto &scheme : schemes) {
        if (platform::startsWithNoCase(hostText, scheme.prefix)) {
            hostText.remove_prefix(scheme.prefix.size());
            key.Port = scheme.port;
            break;
        }
    }
    while (!hostText.empty() && hostText.back() == '/')
        hostText.remove_suffix(1);
    key.Host = std::string(hostText);
    if (!hostText.empty() && hostText.front() == '[') {
        const size_t close = hostText.find(']');
        if (close != std::string_view::npos) {
            const std::string_view rest = hostText.substr(close + 1);
            const int port = rest.size() > 1 && rest.front() == ':' ? parsePort(rest.substr(1)) : 0;
            if (rest.empty() || port) {
                key.Host = std::string(hostText.substr(1, close - 1));
                if (port)
                    key.Port = port;
            }
        }
        return key;
    }
    const size_t colon = hostText.find(':');
    // More than one colon is a bare IPv6 address.
    if (colon != std::string_view::npos && hostText.find(':', colon + 1) == std::string_view::npos) {
        if (const int port = parsePort(hostText.substr(colon + 1))) {
            key.Host = std::string(hostText.substr(0, colon));
            key.Port = port;
        }
    }
    return key;
}

std::string SecretLabel(std::string_view hostText, std::string_view user)
{
    return "Vexmora: " + utf8Form(std::string(user)) + "@" + utf8Form(std::string(hostText));
}

SecretStore::SecretStore(int timeoutMs) : m_timeoutMs(timeoutMs) {}

SecretStore::Result SecretStore::store(const SecretKey &key, const std::string &label,
                                       const std::string &password) const
{
    const std::string shown = utf8Form(label);
    return runBounded(m_timeoutMs, [key, shown, password](SecretService *service, GCancellable *cancellable,
                                                          GError **error, std::string &) {
        GHashTable *attributes = attributesOf(key);
        SecretValue *value =
            secret_value_new(password.data(), static_cast<gssize>(password.size()), "text/plain");
        const gboolean ok =
            secret_service_store_sync(service, accountSchema(), attributes, SECRET_COLLECTION_DEFAULT,
                                      shown.c_str(), value, cancellable, error);
        secret_value_unref(value);
        g_hash_table_unref(attributes);
        return ok ? Result::Ok : Result::Failed;
    });
}

SecretStore::Result SecretStore::lookup(const SecretKey &key, std::string &password) const
{
    std::string found;
    const Result result = runBounded(
        m_timeoutMs,
        [key](SecretService *service, GCancellable *cancellable, GError **error, std::string &value) {
            GHashTable *attributes = attributesOf(key);
            SecretValue *secret =
                secret_service_lookup_sync(service, accountSchema(), attributes, cancellable, error);
            g_hash_table_unref(attributes);
            if (!secret)
                return *error ? Result::Failed : Result::NotFound;
            gsize length = 0;
            const gchar *bytes = secret_value_get(secret, &length);
            value.assign(bytes, length);
            secret_value_unref(secret);
            return Result::Ok;
        },
        &found);
    if (result == Result::Ok)
        password = std::move(found);
    return result;
}

SecretStore::Result SecretStore::remove(const SecretKey &key) const
{
    return runBounded(
        m_timeoutMs, [key](SecretService *service, GCancellable *cancellable, GError **error, std::string &) {
            GHashTable *attributes = attributesOf(key);
            const gboolean removed =
                secret_service_clear_sync(service, accountSchema(), attributes, cancellable, error);
            g_hash_table_unref(attributes);
            if (removed)
                return Result::Ok;
            return *error ? Result::Failed : Result::NotFound;
        });
}

SecretStore::Result SecretStore::probe() const
{
    return runBounded(
        m_timeoutMs,
        [](SecretService *service, GCancellable *cancellable, GError **error, std::string &) {
            return secret_service_ensure_session_sync(service, cancellable, error) ? Result::Ok
                                                                                   : Result::Failed;
        },
        nullptr, false);
}
