#pragma once

#include <chrono>
#include <string>

namespace media::status_text {

// What the engine is doing, in the words the status strip shows.
inline constexpr const char* kReady = "Ready";
inline constexpr const char* kConnecting = "Connecting\u2026";
inline constexpr const char* kPlaying = "Playing";
inline constexpr const char* kStopped = "Stopped";
inline constexpr const char* kReconnecting = "Reconnecting\u2026";

// Why a stream failed.
inline constexpr const char* kConnectionRefused = "Connection refused";
inline constexpr const char* kNotFound = "Not found (404)";
inline constexpr const char* kHostNotFound = "Host not found";
inline constexpr const char* kNoSoundDevice = "No sound device";
inline constexpr const char* kUnsupportedFormat = "Unsupported format";
inline constexpr const char* kUnsafePlaylistEntry = "Refused playlist entry";
inline constexpr const char* kTimedOut = "Timed out";
inline constexpr const char* kCertificateNotTrusted = "Certificate not trusted";
inline constexpr const char* kFailed = "Failed";
// libmpv is missing or refuses to start: no station can play, whatever the station file says.
inline constexpr const char* kNoAudioEngine = "No audio engine";

// "Buffering 40%", the percentage kept within 0..100.
std::string buffering(int percent);

// "Server error (503)" for HTTP answers other than not found.
std::string serverError(int httpStatus);

// Time played as m:ss, or h:mm:ss from the first hour on.
std::string elapsed(std::chrono::seconds played);

}  // namespace media::status_text
