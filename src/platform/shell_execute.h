#pragma once

#include <functional>
#include <string>

namespace platform {

// Opens a web address in the user's browser; a bare host name ("www.…") is opened over http.
// The outcome is not reported.
void ShellExecute(const std::string& address);

// Tests record the addresses instead of launching a browser. An empty function restores it.
void setShellExecuteHandler(std::function<void(const std::string& url)> handler);

}  // namespace platform
