#include "platform/file_system.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include <filesystem>

namespace platform {

int openRegularFile(const std::string& name) {
    const int fd = ::open(name.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) return -1;
    struct stat status {};
    if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) {
        ::close(fd);
        errno = EINVAL;
        return -1;
    }
    return fd;
}

bool FileExists(const std::string& name) {
    std::error_code error;
    const auto status = std::filesystem::status(name, error);
    return !error && std::filesystem::exists(status) && !std::filesystem::is_directory(status);
}

}  // namespace platform
