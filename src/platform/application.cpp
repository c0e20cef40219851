#include "platform/application.h"

#include <QApplication>

#include "platform/form.h"
#include "shared/addresses.h"

namespace platform {

Application::Application(int& argc, char** argv, const std::string& title)
    : app_(std::make_unique<QApplication>(argc, argv)) {
    QApplication::setApplicationName(QString::fromStdString(title));
    // No display name: Qt would append it to every window title. Message boxes fall back to
    // the application name.
    QGuiApplication::setDesktopFileName(addresses::kDesktopId);
    QApplication::setQuitOnLastWindowClosed(false);
}

Application::~Application() = default;

int Application::Run() { return RunUntilNoFormIsLoaded(); }

}  // namespace platform
