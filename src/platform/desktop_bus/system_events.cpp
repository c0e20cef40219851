#include "platform/desktop_bus/system_events.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QObject>

namespace platform {

namespace {
// NetworkManager's NM_STATE_CONNECTED_GLOBAL.
constexpr uint kNetworkConnected = 70;

const QString kBus = QStringLiteral("org.freedesktop.DBus");
const QString kLogin = QStringLiteral("org.freedesktop.login1");
const QString kNetwork = QStringLiteral("org.freedesktop.NetworkManager");
}  // namespace

// Any local user may send any signal on the system bus, so a signal counts only when it comes
// from the connection that owns the service's name now. The owners are asked for without
// waiting and followed as services restart.
class SystemEvents::Listener : public QObject {
    Q_OBJECT
public:
    explicit Listener(SystemEvents& owner) : owner_(owner), bus_(QDBusConnection::systemBus()) {
        if (!bus_.isConnected()) return;
        for (const QString& service : {kLogin, kNetwork}) {
            // No sender in the match: naming one would make Qt ask for its owner and wait.
            bus_.connect(QString(), QStringLiteral("/org/freedesktop/DBus"), kBus,
                         QStringLiteral("NameOwnerChanged"), {service}, QString(), this,
                         SLOT(nameOwnerChanged(QString, QString, QString, QDBusMessage)));
            askOwner(service);
        }
        bus_.connect(QString(), QStringLiteral("/org/freedesktop/login1"),
                     QStringLiteral("org.freedesktop.login1.Manager"),
                     QStringLiteral("PrepareForSleep"), this,
                     SLOT(prepareForSleep(bool, QDBusMessage)));
        bus_.connect(QString(), QStringLiteral("/org/freedesktop/NetworkManager"), kNetwork,
                     QStringLiteral("StateChanged"), this, SLOT(stateChanged(uint, QDBusMessage)));
    }

private slots:
    void nameOwnerChanged(const QString& name, const QString&, const QString& newOwner,
                          const QDBusMessage& message) {
        if (message.service() == kBus) ownerOf(name) = newOwner;
    }
    void prepareForSleep(bool sleeping, const QDBusMessage& message) {
        if (!sleeping && fromOwner(message, loginOwner_) && owner_.Resumed) owner_.Resumed();
    }
    void stateChanged(uint state, const QDBusMessage& message) {
        if (state == kNetworkConnected && fromOwner(message, networkOwner_) &&
            owner_.NetworkConnected) {
            owner_.NetworkConnected();
        }
    }

private:
    void askOwner(const QString& service) {
        const auto call =
            QDBusMessage::createMethodCall(kBus, QStringLiteral("/org/freedesktop/DBus"), kBus,
                                           QStringLiteral("GetNameOwner"))
            << service;
        auto* watcher = new QDBusPendingCallWatcher(bus_.asyncCall(call), this);
        connect(watcher, &QDBusPendingCallWatcher::finished, this,
                [this, service](QDBusPendingCallWatcher* answer) {
                    const QDBusPendingReply<QString> reply = *answer;
                    // A NameOwnerChanged that came first is newer than this answer.
                    if (reply.isValid() && ownerOf(service).isEmpty())
                        ownerOf(service) = reply.value();
                    answer->deleteLater();
                });
    }
    QString& ownerOf(const QString& service) {
        return service == kLogin ? loginOwner_ : service == kNetwork ? networkOwner_ : ignored_;
    }
    static bool fromOwner(const QDBusMessage& message, const QString& owner) {
        return !owner.isEmpty() && message.service() == owner;
    }

    SystemEvents& owner_;
    QDBusConnection bus_;
    QString loginOwner_;
    QString networkOwner_;
    QString ignored_;
};

SystemEvents::SystemEvents() : listener_(std::make_unique<Listener>(*this)) {}

SystemEvents::~SystemEvents() = default;

}  // namespace platform

#include "system_events.moc"
