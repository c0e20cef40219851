#pragma once

#include <chrono>
#include <optional>
#include <string>

namespace media {

// What the listener can see the stream doing. The words for it are made in one place,
// status_text; nothing decides anything on those words.
enum class StreamState {
    Ready,
    Connecting,
    Buffering,
    Playing,
    Reconnecting,
    NoSound,  // the sound server went away; the stream waits for it
    Stopped,
    Failed,
};

// Why a stream failed.
struct Failure {
    enum class Cause {
        Unknown,
        ConnectionRefused,
        NotFound,
        ServerError,  // with the HTTP status
        HostNotFound,
        TimedOut,
        UnsupportedFormat,
        UnsafePlaylistEntry,
        PlaylistTooLarge,
        CertificateNotTrusted,
        NoSoundDevice,
        NoAudioEngine,  // libmpv is missing or refuses to start
    };
    Cause cause = Cause::Unknown;
    int httpStatus = 0;

    bool operator==(const Failure&) const = default;
};

struct StreamStatus {
    StreamState state = StreamState::Ready;
    int bufferPercent = 0;  // while buffering
    Failure failure;        // once failed
    std::string title;      // while playing, when the stream sends one
    // Time played since the station was chosen, while it is wanted and has played.
    std::optional<std::chrono::seconds> played;

    bool operator==(const StreamStatus&) const = default;
};

}  // namespace media
