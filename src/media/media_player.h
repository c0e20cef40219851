#pragma once

#include <functional>
#include <string>

#include "platform/runtime_error.h"

namespace media {

// Thrown by open and play when the audio engine cannot be loaded or started. No station can
// play then, so it is no fault of the station file; the control says so on its strip.
struct EngineUnavailable : platform::RuntimeError {
    EngineUnavailable() : RuntimeError(429, "The media engine could not be started") {}
};

// The media player control as the window sees it: the six members the player's handlers use,
// nothing more. Volume is in hundredths of a decibel, 0 the loudest; every multiple of 200
// from -6200 to 0 reads back unchanged.
class MediaPlayer {
public:
    virtual ~MediaPlayer() = default;

    virtual int volume() const = 0;
    virtual void setVolume(int hundredthsOfDecibel) = 0;

    // Muting keeps the volume as it was.
    virtual bool mute() const = 0;
    virtual void setMute(bool muted) = 0;

    // The opened address: empty until the first open, kept after stop.
    virtual std::string fileName() const = 0;

    virtual void play() = 0;
    virtual void stop() = 0;

    // Replaces whatever plays and starts the new stream without a further call.
    // Throws EngineUnavailable when there is no engine to take it.
    virtual void open(const std::string& address) = 0;

    // For the desktop's remote controls: whether sound plays or is on its way to playing
    // (connecting, buffering, reconnecting), and the stream's current title, empty when it
    // sends none.
    virtual bool playing() const = 0;
    virtual std::string streamTitle() const = 0;
    // Called on the UI thread after playing() or streamTitle() changed.
    std::function<void()> PlaybackChanged;
};

}  // namespace media
