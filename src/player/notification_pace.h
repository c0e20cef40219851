#pragma once

#include <chrono>
#include <optional>
#include <string>

// Song notifications at a pace a reader can follow. A station that changes its title every
// moment would otherwise keep the popup flickering: at most one notice shows per interval, a
// notice that arrives during the pause waits for its end (only the latest one), and the notice
// on show is never sent again. The caller keeps the clock and wakes the pace when it says.
class NotificationPace {
public:
    using Time = std::chrono::milliseconds;
    struct Notice {
        std::string summary;
        std::string body;
        bool operator==(const Notice&) const = default;
    };

    explicit NotificationPace(Time interval) : interval_(interval) {}

    // A new notice at `now`: returned when it shows at once, else it waits.
    std::optional<Notice> offer(Notice notice, Time now);
    // The notice that waited, once its pause is over.
    std::optional<Notice> wake(Time now);
    // When the waiting notice may show; nothing while none waits.
    std::optional<Time> wakeAt() const;
    // What waits is no news any more (the window came back).
    void drop() { waiting_.reset(); }

private:
    Time interval_;
    std::optional<Time> shownAt_;
    std::optional<Notice> shown_;
    std::optional<Notice> waiting_;
};
