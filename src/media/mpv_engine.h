#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "media/mpv_client.h"
#include "media/mpv_media_player.h"
#include "media/stream_state_machine.h"

namespace media {

// The properties the control uses, by the id each comes back with; their names and formats
// are in one table, beside feedEvent.
enum class MpvProperty : std::uint64_t {
    CoreIdle = 1,
    PausedForCache,
    BufferingState,
    Metadata,
    FileSize,
    SoundOutput,
    CacheState,
    Volume,
    Mute,
    // What mpv opens for the entry: asked for when it found no stream there, set to the first
    // stream of the playlist the player read in its place.
    OpenAddress,
};

// The hook mpv waits in when it found no stream at an address (a playlist, which the player
// reads itself, bounded); its event comes with this id.
constexpr std::uint64_t kLoadFailedHook = 1;

// A new mpv set up for the player, with the volume and mute the window set before it existed,
// watching the properties it follows and sending its warning and error lines. Null when mpv refuses
// to start.
mpv_handle* startMpvEngine(const MpvClient& mpv, const EngineOptions& options, double volume,
                           bool muted);

// Asynchronous: the UI thread never waits for the engine's core. The buffer's state comes back
// as an event for feedEvent.
void setVolume(const MpvClient& mpv, mpv_handle* handle, double volume);
void setMute(const MpvClient& mpv, mpv_handle* handle, bool muted);
void askCacheState(const MpvClient& mpv, mpv_handle* handle);
// While mpv waits in kLoadFailedHook: what it failed to open (the reply comes with the
// OpenAddress id), and the stream to open there instead (its reply likewise).
void askOpenAddress(const MpvClient& mpv, mpv_handle* handle);
void openInstead(const MpvClient& mpv, mpv_handle* handle, const std::string& address);

// What mpv's and FFmpeg's log lines say failed (the lines of mpv 0.35); nothing for a line that
// names no cause.
std::optional<Failure> failureInLog(std::string_view prefix, std::string_view level,
                                    std::string_view text);
// What mpv's end-file error code says by itself.
Failure failureAtEnd(int mpvError);

// Hands one of mpv's events to the machine in its own terms. With the null output chosen (tests),
// playing into it is no missing sound device.
void feedEvent(StreamStateMachine& machine, const mpv_event& event, std::chrono::milliseconds now,
               bool nullOutputChosen);

}  // namespace media
