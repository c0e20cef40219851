#pragma once

#include <string>

namespace platform {

// Each room of the program logs under its own category, wavelark.<room>. Silent unless switched
// on, for instance with QT_LOGGING_RULES="wavelark.*=true"; lines go to standard error, with
// their control characters (and backslashes) written as \xNN or \uNNNN.
enum class LogRoom { Platform, Media, Player, About };

// What the room is doing: states, commands, what it opened.
void logInfo(LogRoom room, const std::string& message);
// Something went wrong, or the engine said so.
void logWarning(LogRoom room, const std::string& message);

}  // namespace platform
