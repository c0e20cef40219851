#pragma once

#include <string>

namespace platform {

// Whether a file (not a folder) of that name exists, looked up from the working folder.
bool FileExists(const std::string& name);

}  // namespace platform
