#include "platform/desktop_bus/system_events.h"

#include <QDBusConnection>
#include <QObject>

namespace platform {

namespace {
// NetworkManager's NM_STATE_CONNECTED_GLOBAL.
constexpr uint kNetworkConnected = 70;
}  // namespace

class SystemEvents::Listener : public QObject {
    Q_OBJECT
public:
    explicit Listener(SystemEvents& owner) : owner_(owner) {
        QDBusConnection bus = QDBusConnection::systemBus();
        if (!bus.isConnected()) return;
        // Any sender: naming the service would make Qt ask the bus for its owner and wait.
        bus.connect(QString(), QStringLiteral("/org/freedesktop/login1"),
                    QStringLiteral("org.freedesktop.login1.Manager"),
                    QStringLiteral("PrepareForSleep"), this, SLOT(prepareForSleep(bool)));
        bus.connect(QString(), QStringLiteral("/org/freedesktop/NetworkManager"),
                    QStringLiteral("org.freedesktop.NetworkManager"),
                    QStringLiteral("StateChanged"), this, SLOT(stateChanged(uint)));
    }

private slots:
    void prepareForSleep(bool sleeping) {
        if (!sleeping && owner_.Resumed) owner_.Resumed();
    }
    void stateChanged(uint state) {
        if (state == kNetworkConnected && owner_.NetworkConnected) owner_.NetworkConnected();
    }

private:
    SystemEvents& owner_;
};

SystemEvents::SystemEvents() : listener_(std::make_unique<Listener>(*this)) {}

SystemEvents::~SystemEvents() = default;

}  // namespace platform

#include "system_events.moc"
