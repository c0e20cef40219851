#pragma once

#include <chrono>
#include <string>

#include "media/stream_status.h"
#include "shared/status_display.h"

namespace media::status_text {

// The stream's status in the words the strip shows: "Buffering 40%", "Playing: Artist - Song"
// with the time played, "Not found (404)".
StatusLine line(const StreamStatus& status);

// Time played as m:ss, or h:mm:ss from the first hour on.
std::string elapsed(std::chrono::seconds played);

}  // namespace media::status_text
