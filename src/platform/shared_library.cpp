#include "platform/shared_library.h"

#include <QLibrary>

namespace platform {

SharedLibrary::SharedLibrary(const std::string& name, int majorVersion)
    : library_(std::make_unique<QLibrary>(QString::fromStdString(name), majorVersion)) {}

SharedLibrary::~SharedLibrary() = default;

SharedLibrary::Function SharedLibrary::resolve(const char* symbol) {
    return library_->resolve(symbol);
}

}  // namespace platform
