#pragma once

#include <functional>
#include <string>

namespace platform {

// A modal message box with a single OK button and no icon, titled with the application's name.
void MsgBox(const std::string& text);

// Tests replace the dialog with a recorder so that nothing blocks on a modal box.
// Passing an empty function restores the dialog.
void setMessageBoxHandler(std::function<void(const std::string& text)> handler);

}  // namespace platform
