#pragma once

#include <chrono>
#include <cstdint>

#include "media/mpv_client.h"
#include "media/mpv_media_player.h"
#include "media/stream_state_machine.h"

namespace media {

// The properties the control watches; each change comes back with its id.
enum MpvProperty : std::uint64_t {
    kCoreIdle = 1,
    kPausedForCache,
    kBufferingState,
    kMetadata,
    kFileSize,
    // Not watched: asked for once per played second (see StreamStateMachine::bufferAhead).
    kCacheState,
    // A hook: mpv found no stream at the address and waits for the player, which may name
    // another (the first of a playlist it read).
    kLoadFailed,
    // What mpv tried to open there, asked for once the hook comes.
    kFailedAddress,
    // The reply to naming the stream to open instead; the hook goes on then.
    kPlaylistStream
};

// A new mpv set up for the player, with the volume and mute the window set before it existed,
// watching the properties above and sending its warning and error lines. Null when mpv refuses
// to start.
mpv_handle* startMpvEngine(const MpvClient& mpv, const EngineOptions& options, double volume,
                           bool muted);

// Hands one of mpv's events to the machine in its own terms.
void feedEvent(StreamStateMachine& machine, const mpv_event& event, std::chrono::milliseconds now);

}  // namespace media
