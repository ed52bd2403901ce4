// GLib's headers use "signals" as a field name, which Qt's headers define away: GLib goes first.
#include <libsecret/secret.h>

#include "store/SecretStore.h"

#include <QByteArray>
#include <QFileInfo>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

namespace {

using Answer = SecretStore::Answer;
using Status = SecretStore::Status;

constexpr char kServiceName[] = "org.freedesktop.secrets";
constexpr char kApplication[] = "velmora";

const SecretSchema* schema()
{
    static const SecretSchema s = [] {
        SecretSchema built{};
        built.name = "org.velmora.Password";
        built.flags = SECRET_SCHEMA_NONE;
        built.attributes[0] = {"application", SECRET_SCHEMA_ATTRIBUTE_STRING};
        built.attributes[1] = {"key", SECRET_SCHEMA_ATTRIBUTE_STRING};
        return built;
    }();
    return &s;
}

Answer fromError(GError* error, Status status = Status::Failed)
{
    Answer a{status, {}, QString::fromUtf8(error->message)};
    g_error_free(error);
    return a;
}

// Without an address GLib would start a bus of its own (X11 autolaunch): a session that names
// none, and has no bus socket in its runtime folder, has no keyring to ask.
bool sessionBusNamed()
{
    if (!qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS"))
        return true;
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    return !runtime.isEmpty() && QFileInfo::exists(runtime + QStringLiteral("/bus"));
}

// Only a service that runs counts: asking the bus to start one could bring up a keyring
// daemon (and its prompts) in a session that never had one.
Answer serviceRunning(GCancellable* cancellable, int timeoutMs)
{
    GError* error = nullptr;
    GDBusConnection* bus = g_bus_get_sync(G_BUS_TYPE_SESSION, cancellable, &error);
    if (!bus)
        return fromError(error, Status::NoService);
    GVariant* reply = g_dbus_connection_call_sync(bus, "org.freedesktop.DBus", "/org/freedesktop/DBus",
                                                  "org.freedesktop.DBus", "NameHasOwner",
                                                  g_variant_new("(s)", kServiceName), G_VARIANT_TYPE("(b)"),
                                                  G_DBUS_CALL_FLAGS_NONE, timeoutMs, cancellable, &error);
    g_object_unref(bus);
    if (!reply)
        return fromError(error, Status::NoService);
    gboolean owned = FALSE;
    g_variant_get(reply, "(b)", &owned);
    g_variant_unref(reply);
    if (!owned)
        return {Status::NoService, {}, QStringLiteral("桌面没有运行密钥环服务")};
    return {Status::Ok, {}, {}};
}

struct Call
{
    std::mutex mutex;
    std::condition_variable finished;
    bool done = false;
    Answer answer;
    GCancellable* cancellable = g_cancellable_new();
    ~Call() { g_object_unref(cancellable); }
};

// Runs `work` on a worker thread once the service is known to run, and gives up (cancelling
// it) when the time is up. The thread keeps the call alive until it ends.
Answer runWithin(std::chrono::milliseconds timeout, std::function<Answer(GCancellable*)> work)
{
    if (!sessionBusNamed())
        return {Status::NoService, {}, QStringLiteral("没有桌面会话")};
    auto call = std::make_shared<Call>();
    const int timeoutMs = int(timeout.count());
    std::thread([call, timeoutMs, work = std::move(work)] {
        Answer answer = serviceRunning(call->cancellable, timeoutMs);
        if (answer.ok())
            answer = work(call->cancellable);
        const std::lock_guard lock(call->mutex);
        call->answer = answer;
        call->done = true;
        call->finished.notify_all();
    }).detach();
    std::unique_lock lock(call->mutex);
    if (!call->finished.wait_for(lock, timeout, [&] { return call->done; })) {
        g_cancellable_cancel(call->cancellable);
        return {Status::Failed, {}, QStringLiteral("桌面的密钥环没有及时响应")};
    }
    return call->answer;
}

} // namespace

SecretStore::SecretStore(std::chrono::milliseconds timeout) : m_timeout(timeout) {}

SecretStore::Answer SecretStore::lookup(const QString& key) const
{
    return runWithin(m_timeout, [key = key.toUtf8()](GCancellable* cancellable) {
        GError* error = nullptr;
        gchar* found = secret_password_lookup_sync(schema(), cancellable, &error, "application", kApplication,
                                                   "key", key.constData(), nullptr);
        if (error)
            return fromError(error);
        if (!found)
            return Answer{Status::NotFound, {}, {}};
        Answer a{Status::Ok, QString::fromUtf8(found), {}};
        secret_password_free(found);
        return a;
    });
}

SecretStore::Answer SecretStore::store(const QString& key, const QString& label, const QString& value) const
{
    return runWithin(m_timeout, [key = key.toUtf8(), label = label.toUtf8(),
                                 value = value.toUtf8()](GCancellable* cancellable) mutable {
        GError* error = nullptr;
        const gboolean stored = secret_password_store_sync(
            schema(), SECRET_COLLECTION_DEFAULT, label.constData(), value.constData(), cancellable, &error,
            "application", kApplication, "key", key.constData(), nullptr);
        value.fill('\0'); // this copy of the password is not left in freed memory
        if (!stored)
            return error ? fromError(error) : Answer{Status::Failed, {}, QStringLiteral("密钥环拒绝保存")};
        return Answer{Status::Ok, {}, {}};
    });
}

SecretStore::Answer SecretStore::clear(const QString& key) const
{
    return runWithin(m_timeout, [key = key.toUtf8()](GCancellable* cancellable) {
        GError* error = nullptr;
        secret_password_clear_sync(schema(), cancellable, &error, "application", kApplication, "key",
                                   key.constData(), nullptr);
        if (error)
            return fromError(error);
        return Answer{Status::Ok, {}, {}};
    });
}

bool SecretStore::available() const
{
    return runWithin(m_timeout, [](GCancellable*) { return Answer{Status::Ok, {}, {}}; }).ok();
}
