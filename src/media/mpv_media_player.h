#pragma once

#include <chrono>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "media/media_player.h"
#include "media/reconnect_schedule.h"
#include "shared/status_display.h"

namespace media {

// WAVELARK_CA_FILE, or empty.
std::string caFileFromEnvironment();

// How the engine is set up. The defaults are the player's; tests choose the audio output.
struct EngineOptions {
    // mpv's audio output ("pulse", "null", "pcm"...); empty lets mpv choose, which finds
    // PulseAudio when a server is reachable.
    std::string audioOutput;
    // Further mpv options, set last (for instance ao-pcm-file with the pcm output).
    std::vector<std::pair<std::string, std::string>> extraOptions;
    // Longest wait from starting a stream to knowing what it holds: mpv has no bound of its
    // own on a server that keeps sending bytes it cannot recognise.
    std::chrono::milliseconds openTimeout{10000};
    // Longest wait for the buffer to fill, at the start or after a stall.
    std::chrono::milliseconds bufferTimeout{15000};
    // Waits before each new try of a stream that dropped.
    ReconnectSchedule::Delays reconnectDelays = ReconnectSchedule::defaultDelays();
    // Then the wait between tries of a station that played.
    std::chrono::milliseconds retryEvery{30000};
    // The certificate authorities (a PEM file) https stations are checked against; empty for
    // the system's trust store. WAVELARK_CA_FILE names one for a run.
    std::string caFile = caFileFromEnvironment();
};

// The media player control over libmpv. It shows what it is doing on the display, which must
// outlive it. libmpv is loaded on the first open or play, so creating the control is cheap.
std::unique_ptr<MediaPlayer> makeMpvMediaPlayer(StatusDisplay& display, EngineOptions options = {});

}  // namespace media
