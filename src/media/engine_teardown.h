#pragma once

#include <chrono>

#include "media/mpv_client.h"

namespace media {

// Ends an engine off the UI thread. libmpv's teardown waits for the engine's opener, and a name
// lookup that hangs cannot be cut short: neither the window nor the next station waits for it.
void endEngineLater(const MpvClient& mpv, mpv_handle* handle);

// Waits at most limit for the engines still ending; false when some are still at it.
bool enginesEnded(std::chrono::milliseconds limit);

}  // namespace media
