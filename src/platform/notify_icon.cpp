#include "platform/notify_icon.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusInterface>
#include <QGuiApplication>
#include <QMenu>
#include <QMouseEvent>
#include <QSystemTrayIcon>
#include <cstring>
#include <map>
#include <memory>
#include <optional>

#include "platform/application.h"
#include "platform/control.h"
#include "platform/event_dispatch.h"
#include "platform/menu.h"
#include "platform/picture.h"
#include "platform/screen.h"

namespace platform {

namespace {

struct Entry {
    NOTIFYICONDATA record;
    std::unique_ptr<QMenu> menu;  // the exported copy on a D-Bus tray; outlives the icon
    std::unique_ptr<QSystemTrayIcon> icon;
};

using Key = std::pair<std::uint32_t, int>;
std::map<Key, Entry>& icons() {
    static std::map<Key, Entry> table;
    return table;
}

// The menu of each window's icons, as setNotifyIconMenu named it.
std::map<std::uint32_t, MenuItem*>& iconMenus() {
    static std::map<std::uint32_t, MenuItem*> table;
    return table;
}

// Whether Qt's icons are StatusNotifierItems. Qt decides once, as the first icon is made, by
// asking the session bus for a watcher with a panel behind it, and keeps its answer for the
// run; this asks the same question at the same moment. An XEmbed icon must not get the menu:
// it would pop it up on the right button's press.
bool dBusTray() {
    static const bool answer = [] {
        const QString watcher = QStringLiteral("org.kde.StatusNotifierWatcher");
        QDBusConnection bus = QDBusConnection::sessionBus();
        if (!bus.isConnected() || !bus.interface()->isServiceRegistered(watcher)) return false;
        QDBusInterface object(watcher, QStringLiteral("/StatusNotifierWatcher"), watcher, bus);
        return object.property("IsStatusNotifierHostRegistered").toBool();
    }();
    return answer;
}

// Set by tests; otherwise the desktop says whether it has a notification area.
std::optional<bool> assumedArea;

bool notificationArea() { return assumedArea.value_or(QSystemTrayIcon::isSystemTrayAvailable()); }

std::string tipOf(const NOTIFYICONDATA& data) {
    return std::string(data.szTip, strnlen(data.szTip, sizeof data.szTip));
}

int mouseMessageOf(QSystemTrayIcon::ActivationReason reason) {
    switch (reason) {
        case QSystemTrayIcon::Trigger:
            return WM_LBUTTONDOWN;
        case QSystemTrayIcon::DoubleClick:
            return WM_LBUTTONDBLCLK;
        case QSystemTrayIcon::Context:
            return WM_RBUTTONUP;
        case QSystemTrayIcon::MiddleClick:
            return WM_MBUTTONDOWN;
        default:
            return WM_MOUSEMOVE;
    }
}

void deliver(const NOTIFYICONDATA& record, int mouseMessage) {
    if (!(record.uFlags & NIF_MESSAGE) || record.uCallbackMessage != WM_MOUSEMOVE) return;
    Control* target = Control::fromHandle(record.hWnd);
    if (!target) return;
    const MouseArgs args{0, 0, static_cast<float>(mouseMessage * Screen::TwipsPerPixelX()), 0};
    dispatch([&] {
        if (target->MouseMove) target->MouseMove(args);
    });
}

// An XEmbed notification area reports the context click when the right button goes down, but
// the icon's message is the button's release (pressing and holding shows nothing). This waits
// for the release, which the icon's window receives under the press's implicit grab. It belongs
// to the icon, so it goes with it.
class RightButtonRelease : public QObject {
public:
    static constexpr const char* kName = "right-button-release";

    RightButtonRelease(QObject* icon, Key key) : QObject(icon), key_(key) {
        setObjectName(kName);
        qApp->installEventFilter(this);
    }

    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() != QEvent::MouseButtonRelease ||
            static_cast<QMouseEvent*>(event)->button() != Qt::RightButton) {
            return false;
        }
        qApp->removeEventFilter(this);
        setObjectName(QString());
        // After the release has been handled: a menu opened from within it would see it too.
        QMetaObject::invokeMethod(
            qApp,
            [key = key_] {
                auto current = icons().find(key);
                if (current != icons().end()) deliver(current->second.record, WM_RBUTTONUP);
            },
            Qt::QueuedConnection);
        deleteLater();
        return false;
    }

private:
    Key key_;
};

void activated(QSystemTrayIcon* icon, Key key, QSystemTrayIcon::ActivationReason reason) {
    auto current = icons().find(key);
    if (current == icons().end()) return;
    // A Wayland popup must hang off input to one of our own windows: asked for by the panel,
    // the menu would open as a window of its own. The panel has the exported copy to draw.
    if (reason == QSystemTrayIcon::Context && current->second.menu && onWayland()) return;
    if (reason == QSystemTrayIcon::Context && (QGuiApplication::mouseButtons() & Qt::RightButton)) {
        // One wait at a time: a second report before the release changes nothing.
        if (!icon->findChild<QObject*>(RightButtonRelease::kName, Qt::FindDirectChildrenOnly))
            new RightButtonRelease(icon, key);
        return;
    }
    deliver(current->second.record, mouseMessageOf(reason));
}

void apply(Entry& entry, const NOTIFYICONDATA& data) {
    entry.record = data;
    if (data.uFlags & NIF_ICON) entry.icon->setIcon(Picture::fromHandle(data.hIcon).icon());
    if (data.uFlags & NIF_TIP) entry.icon->setToolTip(QString::fromLatin1(tipOf(data).c_str()));
}

}  // namespace

bool Shell_NotifyIcon(int message, const NOTIFYICONDATA& data) {
    if (data.cbSize != static_cast<std::int32_t>(sizeof(NOTIFYICONDATA))) return false;
    const Key key{data.hWnd, data.uID};
    auto found = icons().find(key);
    switch (message) {
        case NIM_ADD: {
            if (found != icons().end()) return false;
            Entry& entry = icons()[key];
            entry.icon = std::make_unique<QSystemTrayIcon>();
            apply(entry, data);
            auto menu = iconMenus().find(data.hWnd);
            if (menu != iconMenus().end() && Control::fromHandle(data.hWnd) && dBusTray()) {
                entry.menu.reset(menu->second->buildPopup(nullptr));
                entry.icon->setContextMenu(entry.menu.get());
            }
            QSystemTrayIcon* icon = entry.icon.get();
            QObject::connect(icon, &QSystemTrayIcon::activated, icon,
                             [icon, key](QSystemTrayIcon::ActivationReason reason) {
                                 activated(icon, key, reason);
                             });
            entry.icon->show();
            return notificationArea();
        }
        case NIM_MODIFY:
            if (found == icons().end()) return false;
            apply(found->second, data);
            return true;
        case NIM_DELETE:
            if (found == icons().end()) return false;
            found->second.icon->hide();
            icons().erase(found);
            return true;
        default:
            return false;
    }
}

void setNotifyIconMenu(std::uint32_t hWnd, MenuItem& menu) {
    // Menus of windows that are gone go with them.
    std::erase_if(iconMenus(), [](const auto& named) { return !Control::fromHandle(named.first); });
    iconMenus()[hWnd] = &menu;
}

bool NotifyIconOnShow(const NOTIFYICONDATA& data) {
    auto found = icons().find({data.hWnd, data.uID});
    return found != icons().end() && found->second.icon->isVisible() && notificationArea();
}

std::vector<NotifyIconState> notifyIcons() {
    std::vector<NotifyIconState> states;
    for (const auto& [key, entry] : icons()) {
        states.push_back({key.first, key.second, entry.icon->toolTip().toStdString(),
                          !entry.icon->icon().isNull()});
    }
    return states;
}

void assumeNotificationArea(std::optional<bool> present) { assumedArea = present; }

void simulateTrayClick(std::uint32_t hWnd, int uID, TrayClick click) {
    auto found = icons().find({hWnd, uID});
    if (found == icons().end()) return;
    static constexpr QSystemTrayIcon::ActivationReason reasons[] = {
        QSystemTrayIcon::Trigger, QSystemTrayIcon::DoubleClick, QSystemTrayIcon::Context,
        QSystemTrayIcon::MiddleClick};
    emit found->second.icon->activated(reasons[static_cast<int>(click)]);
}

}  // namespace platform
