#include "platform/application.h"

#include <QApplication>
#include <QFileInfo>
#include <QLibraryInfo>
#include <cstdio>

#include "platform/accessibility.h"
#include "platform/desktop_bus/desktop_notification.h"
#include "platform/form.h"
#include "shared/addresses.h"

namespace platform {

namespace {

// Whether chooseWindowSystem named the platform: the choice is for this program only, not for
// the browser the About window starts.
bool chosen = false;

void choose(const char* platform) {
    qputenv("QT_QPA_PLATFORM", platform);
    chosen = true;
}

bool waylandPlatformInstalled() {
    const QString folder = QLibraryInfo::path(QLibraryInfo::PluginsPath);
    return QFileInfo::exists(folder + QLatin1String("/platforms/libqwayland-generic.so"));
}

void tellWithoutWindow(const QString& message) {
    std::fprintf(stderr, "wavelark: %s\n", message.toLocal8Bit().constData());
    static int argc = 1;
    static char name[] = "wavelark";
    static char* argv[] = {name, nullptr};
    QCoreApplication application(argc, argv);
    DesktopNotification::showBeforeExit("Wavelark", addresses::kDesktopId,
                                        "Wavelark cannot open its window", message.toStdString());
}

}  // namespace

bool chooseWindowSystem() {
    // A platform named by the user is theirs to choose; Qt says what fails with it.
    if (qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) return true;
    const bool x11 = !qEnvironmentVariableIsEmpty("DISPLAY");
    const bool wayland = !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
    if (wayland && waylandPlatformInstalled()) {
        // Qt takes Wayland itself where the session says it is one; without X it must.
        if (!x11) choose("wayland");
        return true;
    }
    if (x11) {
        // Xwayland, where Qt's Wayland platform is missing.
        if (wayland) choose("xcb");
        return true;
    }
    tellWithoutWindow(
        wayland ? QStringLiteral("this Wayland desktop offers no X11 (Xwayland), and Qt's "
                                 "Wayland platform is not installed: install qt6-wayland.")
                : QStringLiteral("there is no desktop to show a window on (neither "
                                 "WAYLAND_DISPLAY nor DISPLAY is set)."));
    return false;
}

bool onWayland() { return QGuiApplication::platformName().startsWith(QLatin1String("wayland")); }

Application::Application(int& argc, char** argv, const std::string& title)
    : app_(std::make_unique<QApplication>(argc, argv)) {
    if (chosen) qunsetenv("QT_QPA_PLATFORM");
    QApplication::setApplicationName(QString::fromStdString(title));
    // No display name: Qt would append it to every window title. Message boxes fall back to
    // the application name.
    QGuiApplication::setDesktopFileName(addresses::kDesktopId);
    QApplication::setQuitOnLastWindowClosed(false);
    installAccessibility();
}

Application::~Application() = default;

int Application::Run() { return RunUntilNoFormIsLoaded(); }

}  // namespace platform
