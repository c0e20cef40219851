#pragma once

#include <memory>
#include <string>

namespace platform {

// One desktop notification (org.freedesktop.Notifications) that each show() replaces, so the
// desktop keeps at most one of ours. Without a notification service nothing shows; the call
// never waits for the desktop.
class DesktopNotification {
public:
    DesktopNotification(std::string appName, std::string iconName);
    ~DesktopNotification();
    DesktopNotification(const DesktopNotification&) = delete;
    DesktopNotification& operator=(const DesktopNotification&) = delete;

    // The summary and the body are plain text.
    void show(const std::string& summary, const std::string& body);

    // One notification from a program about to end: waits up to 5 s for the desktop to take it.
    // Needs a Qt application object.
    static void showBeforeExit(const std::string& appName, const std::string& iconName,
                               const std::string& summary, const std::string& body);

private:
    class Sender;
    std::unique_ptr<Sender> sender_;
};

}  // namespace platform
