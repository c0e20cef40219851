#include "platform/desktop_bus/desktop_notification.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QObject>
#include <optional>

namespace platform {

namespace {

QDBusMessage notificationsCall(const QString& method) {
    return QDBusMessage::createMethodCall(QStringLiteral("org.freedesktop.Notifications"),
                                          QStringLiteral("/org/freedesktop/Notifications"),
                                          QStringLiteral("org.freedesktop.Notifications"), method);
}

// Whether the server reads bodies as markup, from its answer to GetCapabilities.
bool readsMarkup(const QDBusMessage& capabilities) {
    return capabilities.type() == QDBusMessage::ReplyMessage &&
           !capabilities.arguments().isEmpty() &&
           capabilities.arguments().front().toStringList().contains(QStringLiteral("body-markup"));
}

// A Notify call that replaces notification `id` (0: a new one). Ours is only ever text, so it
// is escaped for a server that reads the body as markup, and only then: another shows the
// escapes as they are.
QDBusMessage notifyCall(const QString& appName, uint id, const QString& iconName,
                        const QString& summary, const QString& body, bool transient, bool markup) {
    QDBusMessage notify = notificationsCall(QStringLiteral("Notify"));
    const QVariantMap hints{{"desktop-entry", iconName}, {"transient", transient}};
    notify << appName << id << iconName << summary << (markup ? body.toHtmlEscaped() : body)
           << QStringList() << hints << -1;
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
        if (!markup) {
            // Asked once, before the first notification, which waits for the answer.
            next = {summary, body};
            auto* asked = new QDBusPendingCallWatcher(
                bus.asyncCall(notificationsCall(QStringLiteral("GetCapabilities"))), this);
            QObject::connect(asked, &QDBusPendingCallWatcher::finished, this,
                             [this](QDBusPendingCallWatcher* call) {
                                 markup = readsMarkup(call->reply());
                                 call->deleteLater();
                                 sendNext();
                             });
            return;
        }
        auto* watcher = new QDBusPendingCallWatcher(
            bus.asyncCall(notifyCall(appName, id, iconName, summary, body, true, *markup)), this);
        QObject::connect(watcher, &QDBusPendingCallWatcher::finished, this,
                         [this](QDBusPendingCallWatcher* call) {
                             QDBusPendingReply<uint> reply = *call;
                             if (reply.isValid()) id = reply.value();
                             call->deleteLater();
                             sendNext();
                         });
    }

    void sendNext() {
        waiting = false;
        if (!next) return;
        const auto [summary, body] = *next;
        next.reset();
        send(summary, body);
    }

    QString appName, iconName;
    // The desktop's number for our notification; 0 asks for a new one.
    uint id = 0;
    bool waiting = false;
    std::optional<bool> markup;  // once the server said
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
    QDBusConnection bus = QDBusConnection::sessionBus();
    const bool markup = readsMarkup(
        bus.call(notificationsCall(QStringLiteral("GetCapabilities")), QDBus::Block, 5000));
    bus.call(
        notifyCall(QString::fromStdString(appName), 0, QString::fromStdString(iconName),
                   QString::fromStdString(summary), QString::fromStdString(body), false, markup),
        QDBus::Block, 5000);
}

}  // namespace platform
