#include "platform/desktop_bus/desktop_notification.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QObject>
#include <optional>

namespace platform {

namespace {

// A Notify call that replaces notification `id` (0: a new one). Servers may read the body as
// markup; ours is only ever text.
QDBusMessage notifyCall(const QString& appName, uint id, const QString& iconName,
                        const QString& summary, const QString& body, bool transient) {
    QDBusMessage notify = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.Notifications"),
        QStringLiteral("/org/freedesktop/Notifications"),
        QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("Notify"));
    const QVariantMap hints{{"desktop-entry", iconName}, {"transient", transient}};
    notify << appName << id << iconName << summary << body.toHtmlEscaped() << QStringList() << hints
           << -1;
    return notify;
}

}  // namespace

// Owns the call on its way, so that an answer arriving after the player is gone finds nobody.
// One call at a time: the next one must carry the number the desktop gave the last, or it
// would add a notification instead of replacing ours.
class DesktopNotification::Sender : public QObject {
public:
    void send(const QString& summary, const QString& body) {
        if (waiting) {
            next = {summary, body};
            return;
        }
        QDBusConnection bus = QDBusConnection::sessionBus();
        if (!bus.isConnected()) return;
        waiting = true;
        auto* watcher = new QDBusPendingCallWatcher(
            bus.asyncCall(notifyCall(appName, id, iconName, summary, body, true)), this);
        QObject::connect(watcher, &QDBusPendingCallWatcher::finished, this,
                         [this](QDBusPendingCallWatcher* call) {
                             QDBusPendingReply<uint> reply = *call;
                             if (reply.isValid()) id = reply.value();
                             call->deleteLater();
                             waiting = false;
                             if (!next) return;
                             const auto [summary, body] = *next;
                             next.reset();
                             send(summary, body);
                         });
    }

    QString appName, iconName;
    // The desktop's number for our notification; 0 asks for a new one.
    uint id = 0;
    bool waiting = false;
    std::optional<std::pair<QString, QString>> next;
};

DesktopNotification::DesktopNotification(std::string appName, std::string iconName)
    : sender_(std::make_unique<Sender>()) {
    sender_->appName = QString::fromStdString(appName);
    sender_->iconName = QString::fromStdString(iconName);
}

DesktopNotification::~DesktopNotification() = default;

void DesktopNotification::show(const std::string& summary, const std::string& body) {
    sender_->send(QString::fromStdString(summary), QString::fromStdString(body));
}

void DesktopNotification::showBeforeExit(const std::string& appName, const std::string& iconName,
                                         const std::string& summary, const std::string& body) {
    QDBusConnection::sessionBus().call(
        notifyCall(QString::fromStdString(appName), 0, QString::fromStdString(iconName),
                   QString::fromStdString(summary), QString::fromStdString(body), false),
        QDBus::Block, 5000);
}

}  // namespace platform
