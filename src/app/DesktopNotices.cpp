#include "app/DesktopNotices.h"

#include "store/BidiControls.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QVariantMap>

DesktopNotices::DesktopNotices(QObject* parent) : QObject(parent) {}

bool DesktopNotices::available() const
{
    const QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected() || !bus.interface())
        return false;
    const QString service = QLatin1String(kService);
    return bus.interface()->isServiceRegistered(service).value() ||
           bus.interface()->activatableServiceNames().value().contains(service);
}

bool DesktopNotices::notify(const QString& title, const QString& text, Kind kind, int msecs, Keep keep)
{
    if (!available())
        return false;
    QVariantMap hints;
    hints.insert(QStringLiteral("desktop-entry"), QLatin1String(kDesktopEntry));
    hints.insert(QStringLiteral("urgency"), QVariant::fromValue<uchar>(kind == Kind::Warning ? 1 : 0));
    if (keep == Keep::Transient)
        hints.insert(QStringLiteral("transient"), true);
    QDBusMessage call = QDBusMessage::createMethodCall(QLatin1String(kService),
                                                       QStringLiteral("/org/freedesktop/Notifications"),
                                                       QLatin1String(kService), QStringLiteral("Notify"));
    // The id of the one before is needed to replace it: its answer is awaited if still out.
    if (keep == Keep::Transient && m_transientCall) {
        QDBusPendingReply<uint> earlier = *std::exchange(m_transientCall, std::nullopt);
        earlier.waitForFinished();
        if (!earlier.isError())
            m_transientId = earlier.value();
    }
    const uint replaces = keep == Keep::Transient ? m_transientId : 0;
    call << QStringLiteral("Velmora") << replaces << QLatin1String(kDesktopEntry)
         << withoutBidiControls(title) << withoutBidiControls(text) << QStringList() << hints << msecs;
    const QDBusPendingCall pending = QDBusConnection::sessionBus().asyncCall(call);
    if (keep == Keep::Transient)
        m_transientCall = pending;
    return true;
}
