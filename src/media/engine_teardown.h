#pragma once

#include <chrono>

#include "media/mpv_client.h"

namespace media {

// Ends an engine off the UI thread. libmpv's teardown waits for the engine's opener, and a name
// lookup that hangs cannot be cut short: neither the window nor the next station waits for it.
void endEngineLater(const MpvClient& mpv, mpv_handle* handle);

// Whether an engine is still ending. FFmpeg's log reaches only the engine that was first while
// none other lived; an engine started beside an ending one loses FFmpeg's lines (the causes of
// most failures) once that one is gone.
bool enginesEnding();

// Waits at most limit for the engines still ending; false when some are still at it.
bool enginesEnded(std::chrono::milliseconds limit);

}  // namespace media
