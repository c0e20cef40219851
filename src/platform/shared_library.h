#pragma once

#include <memory>
#include <string>

class QLibrary;

namespace platform {

// A shared library opened while the program runs instead of when it starts, found by its base
// name and major version: ("mpv", 2) is libmpv.so.2 on Linux and libmpv.2.dylib on macOS.
class SharedLibrary {
public:
    using Function = void (*)();

    SharedLibrary(const std::string& name, int majorVersion);
    // Leaves the library loaded: threads it started may still run code from it.
    ~SharedLibrary();
    SharedLibrary(const SharedLibrary&) = delete;
    SharedLibrary& operator=(const SharedLibrary&) = delete;

    // The exported function called `symbol`, or nullptr when the library cannot be loaded or
    // does not export it. The first call loads the library.
    Function resolve(const char* symbol);

private:
    std::unique_ptr<QLibrary> library_;
};

}  // namespace platform
