#pragma once

#include <functional>

namespace platform {

// Runs one event handler. A RuntimeError (or any other exception) that escapes it is reported
// in a message box as "Run-time error 'N':" and the program goes on with its windows as they are.
void dispatch(const std::function<void()>& handler);

}  // namespace platform
