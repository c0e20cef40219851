#pragma once

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "media/media_player.h"
#include "media/stream_state_machine.h"
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
    // The stream's waits and bounds.
    StreamStateMachine::Settings stream;
    // The certificate authorities (a PEM file) https stations are checked against; empty for
    // the system's trust store. WAVELARK_CA_FILE names one for a run.
    std::string caFile = caFileFromEnvironment();
};

// The media player control over libmpv. It shows what it is doing on the display, which must
// outlive it. libmpv is loaded on the first open or play, so creating the control is cheap.
std::unique_ptr<MediaPlayer> makeMpvMediaPlayer(StatusDisplay& display, EngineOptions options = {});

}  // namespace media
