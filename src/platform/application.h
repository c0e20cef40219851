#pragma once

#include <memory>
#include <string>

class QApplication;

namespace platform {

// Settles the window system before the application is made. Qt ends the program with abort()
// when it reaches none, which a user who started it from a menu never sees; this picks Qt's
// Wayland platform on a Wayland desktop that has it and Xwayland (X11) otherwise, and when
// there is neither says why on standard error and as a desktop notification, and returns false.
bool chooseWindowSystem();

// Whether the windows are Wayland clients, which may neither raise themselves nor learn that
// they were minimised.
bool onWayland();

// The program's event loop. It runs until the last loaded form is unloaded; hidden forms keep
// it running.
class Application {
public:
    Application(int& argc, char** argv, const std::string& title);
    ~Application();
    int Run();

private:
    std::unique_ptr<QApplication> app_;
};

}  // namespace platform
