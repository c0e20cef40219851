#pragma once

#include <memory>
#include <string>

class QApplication;

namespace platform {

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
