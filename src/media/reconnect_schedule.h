#pragma once

#include <chrono>
#include <optional>
#include <vector>

namespace media {

// The waits before each new try of a station that dropped: growing, and only a handful, so a
// station that is gone for good ends in a failure instead of being tried forever.
class ReconnectSchedule {
public:
    using Delays = std::vector<std::chrono::milliseconds>;
    static Delays defaultDelays();

    explicit ReconnectSchedule(Delays delays = defaultDelays());

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
