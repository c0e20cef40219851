#include "platform/application.h"

#include <QApplication>

#include "platform/accessibility.h"
#include "platform/form.h"

namespace platform {

Application::Application(int& argc, char** argv, const std::string& title)
    : app_(std::make_unique<QApplication>(argc, argv)) {
    QApplication::setApplicationName(QString::fromStdString(title));
    // No display name: Qt would append it to every window title. Message boxes fall back to
    // the application name.
    QGuiApplication::setDesktopFileName("example.skyvane.Wavelark");
    QApplication::setQuitOnLastWindowClosed(false);
    installAccessibility();
}

Application::~Application() = default;

int Application::Run() { return RunUntilNoFormIsLoaded(); }

}  // namespace platform
