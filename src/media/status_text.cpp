#include "media/status_text.h"

#include <algorithm>
#include <cstdio>

namespace media::status_text {

namespace {

std::string failure(const Failure& failure) {
    using Cause = Failure::Cause;
    switch (failure.cause) {
        case Cause::ConnectionRefused:
            return "Connection refused";
        case Cause::NotFound:
            return "Not found (404)";
        case Cause::ServerError:
            return "Server error (" + std::to_string(failure.httpStatus) + ")";
        case Cause::HostNotFound:
            return "Host not found";
        case Cause::TimedOut:
            return "Timed out";
        case Cause::UnsupportedFormat:
            return "Unsupported format";
        case Cause::UnsafePlaylistEntry:
            return "Refused playlist entry";
        case Cause::PlaylistTooLarge:
            return "Playlist too large";
        case Cause::CertificateNotTrusted:
            return "Certificate not trusted";
        case Cause::NoSoundDevice:
            return "No sound device";
        case Cause::NoAudioEngine:
            return "No audio engine";
        case Cause::Unknown:
            break;
    }
    return "Failed";
}

std::string state(const StreamStatus& status) {
    switch (status.state) {
        case StreamState::Ready:
            return "Ready";
        case StreamState::Connecting:
            return "Connecting\u2026";
        case StreamState::Buffering:
            return "Buffering";
        case StreamState::Playing:
            return "Playing";
        case StreamState::Reconnecting:
            return "Reconnecting\u2026";
        case StreamState::NoSound:
            return "No sound device";
        case StreamState::Stopped:
            return "Stopped";
        case StreamState::Failed:
            return failure(status.failure);
    }
    return {};
}

}  // namespace

StatusLine line(const StreamStatus& status) {
    StatusLine line;
    line.state = state(status);
    if (status.state == StreamState::Buffering) {
        line.progress = std::to_string(std::clamp(status.bufferPercent, 0, 100)) + "%";
    }
    line.title = status.title;
    if (status.played) line.elapsed = elapsed(*status.played);
    return line;
}

std::string elapsed(std::chrono::seconds played) {
    const long long total = std::max<long long>(0, played.count());
    const long long hours = total / 3600;
    const long long minutes = total / 60 % 60;
    const long long seconds = total % 60;
    char text[32];
    if (hours > 0) {
        std::snprintf(text, sizeof text, "%lld:%02lld:%02lld", hours, minutes, seconds);
    } else {
        std::snprintf(text, sizeof text, "%lld:%02lld", minutes, seconds);
    }
    return text;
}

}  // namespace media::status_text
