#include "media/failure_diagnosis.h"

#include <mpv/client.h>

#include <algorithm>
#include <charconv>
#include <iterator>

namespace media {

namespace {

using Cause = Failure::Cause;

// From least to most telling; a cause not listed (Unknown) says nothing.
constexpr Cause kByWeight[] = {
    Cause::UnsupportedFormat, Cause::UnsafePlaylistEntry, Cause::PlaylistTooLarge,
    Cause::TimedOut,          Cause::HostNotFound,        Cause::ServerError,
    Cause::NotFound,          Cause::ConnectionRefused,   Cause::CertificateNotTrusted,
    Cause::NoSoundDevice,
};

int weight(Cause cause) {
    const auto* at = std::find(std::begin(kByWeight), std::end(kByWeight), cause);
    return at == std::end(kByWeight) ? -1 : static_cast<int>(at - std::begin(kByWeight));
}

bool contains(std::string_view text, std::string_view part) {
    return text.find(part) != std::string_view::npos;
}

// FFmpeg logs "HTTP error 404 File Not Found"; 0 when the line holds no status.
int httpStatusIn(std::string_view text) {
    constexpr std::string_view marker = "HTTP error ";
    const auto at = text.find(marker);
    if (at == std::string_view::npos) return 0;
    const char* first = text.data() + at + marker.size();
    int status = 0;
    const auto [end, error] = std::from_chars(first, text.data() + text.size(), status);
    return error == std::errc() && end != first ? status : 0;
}

}  // namespace

void FailureDiagnosis::note(Cause cause, int httpStatus) {
    if (weight(cause) <= weight(cause_)) return;
    cause_ = cause;
    httpStatus_ = httpStatus;
}

void FailureDiagnosis::noteLog(std::string_view prefix, std::string_view level,
                               std::string_view text) {
    if (level != "error" && level != "warn" && level != "fatal") return;
    if (contains(text, "Connection refused")) {
        // The audio output's own "Init failed: Connection refused" is a sound server, not the
        // station; the output's failure line below says so.
        if (!prefix.starts_with("ao")) note(Cause::ConnectionRefused);
    } else if (prefix == "ffmpeg" && contains(text, "tls: ") && contains(text, "certificate")) {
        // GnuTLS's "Peer certificate failed verification", "The certificate's owner does not
        // match hostname ..." and "Unable to verify peer certificate".
        note(Cause::CertificateNotTrusted);
    } else if (const int status = httpStatusIn(text); status != 0) {
        if (status == 404 || status == 410) {
            note(Cause::NotFound);
        } else {
            note(Cause::ServerError, status);
        }
    } else if (contains(text, "Failed to resolve hostname") ||
               contains(text, "Name or service not known")) {
        note(Cause::HostNotFound);
    } else if (contains(text, "timed out") || contains(text, "Timed out")) {
        note(Cause::TimedOut);
    } else if (contains(text, "Refusing to load potentially unsafe URL")) {
        note(Cause::UnsafePlaylistEntry);
    } else if (contains(text, "Failed to recognize file format")) {
        note(Cause::UnsupportedFormat);
    } else if (contains(text, "Could not open/initialize audio device")) {
        // Only the final word: single drivers may fail while another one works.
        note(Cause::NoSoundDevice);
    }
}

Failure FailureDiagnosis::verdict(int mpvError) const {
    if (noSoundDevice(mpvError)) return {Cause::NoSoundDevice};
    if (cause_ != Cause::Unknown) return {cause_, httpStatus_};
    return {unplayable(mpvError) ? Cause::UnsupportedFormat : Cause::Unknown};
}

bool FailureDiagnosis::noSoundDevice(int mpvError) { return mpvError == MPV_ERROR_AO_INIT_FAILED; }

bool FailureDiagnosis::unplayable(int mpvError) {
    return mpvError == MPV_ERROR_UNKNOWN_FORMAT || mpvError == MPV_ERROR_NOTHING_TO_PLAY ||
           mpvError == MPV_ERROR_UNSUPPORTED;
}

void FailureDiagnosis::clear() {
    cause_ = Cause::Unknown;
    httpStatus_ = 0;
}

}  // namespace media
