#include "player/notification_pace.h"

#include <utility>

std::optional<NotificationPace::Notice> NotificationPace::offer(Notice notice, Time now) {
    waiting_ = std::move(notice);
    return wake(now);
}

std::optional<NotificationPace::Notice> NotificationPace::wake(Time now) {
    if (!waiting_) return std::nullopt;
    if (waiting_ == shown_) {
        waiting_.reset();
        return std::nullopt;
    }
    if (shownAt_ && now < *shownAt_ + interval_) return std::nullopt;
    shown_ = std::exchange(waiting_, std::nullopt);
    shownAt_ = now;
    return shown_;
}

std::optional<NotificationPace::Time> NotificationPace::wakeAt() const {
    if (!waiting_ || !shownAt_) return std::nullopt;
    return *shownAt_ + interval_;
}
