#pragma once

#include <QDBusPendingCall>
#include <QObject>
#include <QString>

#include <optional>

// Notices through the desktop's notification service (org.freedesktop.Notifications), with
// the program's icon and desktop entry so that the desktop files them under the program.
class DesktopNotices : public QObject
{
    Q_OBJECT
public:
    static constexpr const char* kService = "org.freedesktop.Notifications";
    static constexpr const char* kDesktopEntry = "velmora"; // velmora.desktop

    enum class Kind { Information, Warning };
    enum class Keep {
        Listed,   // stays in the desktop's list of notices until the user clears it
        Transient // shown and gone; each one replaces the one before
    };

    explicit DesktopNotices(QObject* parent = nullptr);

    // A service is there to take notices (running, or started by the bus on the first call).
    bool available() const;
    // Sent without waiting; false when there is no service to send it to.
    bool notify(const QString& title, const QString& text, Kind kind, int msecs, Keep keep);

private:
    uint m_transientId = 0;                          // the transient notice that a new one replaces
    std::optional<QDBusPendingCall> m_transientCall; // until its id is known
};
