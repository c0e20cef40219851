#pragma once

#include <chrono>
#include <optional>
#include <vector>

namespace media {

// The growing waits before each new try of a station that dropped, handed out one by one.
class ReconnectSchedule {
public:
    using Delays = std::vector<std::chrono::milliseconds>;

    explicit ReconnectSchedule(Delays delays);

    // The wait before the next try, or nothing when every try is used up.
    std::optional<std::chrono::milliseconds> next();
    // A stream that plays again earns the whole schedule back.
    void reset() { tries_ = 0; }
    // Tries handed out since the last reset.
    int tries() const { return static_cast<int>(tries_); }

private:
    Delays delays_;
    std::size_t tries_ = 0;
};

}  // namespace media
