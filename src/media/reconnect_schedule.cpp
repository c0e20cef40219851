#include "media/reconnect_schedule.h"

namespace media {

using namespace std::chrono_literals;

ReconnectSchedule::Delays ReconnectSchedule::defaultDelays() { return {1s, 2s, 4s, 8s, 16s}; }

ReconnectSchedule::ReconnectSchedule(Delays delays) : delays_(std::move(delays)) {}

std::optional<std::chrono::milliseconds> ReconnectSchedule::next() {
    if (tries_ >= delays_.size()) return std::nullopt;
    return delays_[tries_++];
}

}  // namespace media
