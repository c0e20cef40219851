#include "media/failure_diagnosis.h"

#include <algorithm>
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

}  // namespace

void FailureDiagnosis::note(const Failure& failure) {
    if (weight(failure.cause) > weight(noted_.cause)) noted_ = failure;
}

Failure FailureDiagnosis::verdict(const Failure& atEnd) const {
    if (atEnd.cause == Cause::NoSoundDevice || noted_.cause == Cause::Unknown) return atEnd;
    return noted_;
}

}  // namespace media
