#pragma once

#include <functional>

namespace platform {

// Runs one event handler. A RuntimeError (or any other exception) that escapes it is reported
// in a message box as "Run-time error 'N':" and the program goes on with its windows as they are.
void dispatch(const std::function<void()>& handler);

// Runs after every handler that dispatch ran, for whoever must learn what the handlers changed
// (the desktop's media controls). One at a time; an empty function removes it.
void setAfterEveryHandler(std::function<void()> hook);

}  // namespace platform
