#include "media/reconnect_schedule.h"

namespace media {

ReconnectSchedule::ReconnectSchedule(Delays delays) : delays_(std::move(delays)) {}

std::optional<std::chrono::milliseconds> ReconnectSchedule::next() {
    if (tries_ >= delays_.size()) return std::nullopt;
    return delays_[tries_++];
}

}  // namespace media
