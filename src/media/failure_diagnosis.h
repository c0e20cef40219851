#pragma once

#include <string>
#include <string_view>

namespace media {

// Works out why a stream failed, in words for the status strip. mpv's end-file error code is
// coarse (a refused connection, a 404 and a timeout are all "loading failed"), so the engine's
// warning and error log lines of the same attempt are noted here as they arrive.
class FailureDiagnosis {
public:
    void noteLog(std::string_view prefix, std::string_view level, std::string_view text);
    // The failure in words, given mpv's end-file error code.
    std::string verdict(int mpvError) const;
    // The server's certificate is not trusted (self-signed, expired, another name): no new try
    // can mend that.
    bool certificateRefused() const { return cause_ == Cause::UntrustedCertificate; }
    // Forgets what earlier attempts logged.
    void clear();

    // What mpv's end-file error code says by itself: no sound device, or a stream whose
    // content no new try can fix.
    static bool noSoundDevice(int mpvError);
    static bool unplayable(int mpvError);

private:
    // Ordered by how much each says: the most telling cause noted wins.
    enum class Cause {
        None,
        UnknownFormat,
        UnsafePlaylistEntry,
        TimedOut,
        HostNotFound,
        ServerError,
        NotFound,
        ConnectionRefused,
        UntrustedCertificate,
        NoSoundDevice,
    };
    void note(Cause cause);

    Cause cause_ = Cause::None;
    int httpStatus_ = 0;
};

}  // namespace media
