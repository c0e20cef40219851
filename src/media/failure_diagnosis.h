#pragma once

#include "media/stream_status.h"

namespace media {

// Works out why a try failed from what the engine said of it: the end's own code is coarse (a
// refused connection, a 404 and a timeout all "failed to load"), so the causes its log lines
// name are noted here as they arrive, and the most telling one wins.
class FailureDiagnosis {
public:
    void note(const Failure& failure);
    // The failure, given what the end itself said.
    Failure verdict(const Failure& atEnd) const;
    // The server's certificate is not trusted (self-signed, expired, another name): no new try
    // can mend that.
    bool certificateRefused() const {
        return noted_.cause == Failure::Cause::CertificateNotTrusted;
    }
    // Forgets what earlier tries noted.
    void clear() { noted_ = {}; }

private:
    Failure noted_;
};

}  // namespace media
