#include "platform/file_system.h"

#include <filesystem>

namespace platform {

bool FileExists(const std::string& name) {
    std::error_code error;
    const auto status = std::filesystem::status(name, error);
    return !error && std::filesystem::exists(status) && !std::filesystem::is_directory(status);
}

}  // namespace platform
