#pragma once

#include <string>

namespace platform {

// Whether a file (not a folder) of that name exists, looked up from the working folder.
bool FileExists(const std::string& name);

// Opens a regular file for reading, once and without blocking, and judges it by what was
// opened, not by its name: a pipe swapped in after a check of the path would otherwise hold
// the window in open() until a writer came. The descriptor, or -1 with errno set (EINVAL for
// something that is not a regular file).
int openRegularFile(const std::string& name);

}  // namespace platform
