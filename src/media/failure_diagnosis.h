#pragma once

#include <string_view>

#include "media/stream_status.h"

namespace media {

// Works out why a stream failed. mpv's end-file error code is
// coarse (a refused connection, a 404 and a timeout are all "loading failed"), so the engine's
// warning and error log lines of the same attempt are noted here as they arrive.
class FailureDiagnosis {
public:
    void noteLog(std::string_view prefix, std::string_view level, std::string_view text);
    // The player refused the stream's playlist itself (see station_playlist.h).
    void notePlaylistRefused(Failure::Cause cause) { note(cause); }
    // The failure, given mpv's end-file error code.
    Failure verdict(int mpvError) const;
    // The server's certificate is not trusted (self-signed, expired, another name): no new try
    // can mend that.
    bool certificateRefused() const { return cause_ == Failure::Cause::CertificateNotTrusted; }
    // Forgets what earlier attempts logged.
    void clear();

    // What mpv's end-file error code says by itself: no sound device, or a stream whose
    // content no new try can fix.
    static bool noSoundDevice(int mpvError);
    static bool unplayable(int mpvError);

private:
    // The most telling cause noted wins.
    void note(Failure::Cause cause, int httpStatus = 0);

    Failure::Cause cause_ = Failure::Cause::Unknown;
    int httpStatus_ = 0;
};

}  // namespace media
