#include "platform/timer.h"

#include <QTimer>

namespace platform {

Timer::Timer() = default;

Timer::~Timer() = default;

void Timer::startOnce(std::chrono::milliseconds delay, std::function<void()> callback) {
    start(delay, true, std::move(callback));
}

void Timer::startRepeating(std::chrono::milliseconds interval, std::function<void()> callback) {
    start(interval, false, std::move(callback));
}

void Timer::start(std::chrono::milliseconds interval, bool once, std::function<void()> callback) {
    if (!timer_) {
        // Made on first use so that idle owners (most of them, most of the time) hold no QObject.
        timer_ = std::make_unique<QTimer>();
        QObject::connect(timer_.get(), &QTimer::timeout, [this] {
            // A copy: the callback may restart this timer with a new callback.
            auto callback = callback_;
            if (callback) callback();
        });
    }
    callback_ = std::move(callback);
    timer_->setSingleShot(once);
    // Second-scale intervals need no better than coarse accuracy, which lets the system
    // batch wake-ups; short ones keep their precision.
    timer_->setTimerType(interval >= std::chrono::seconds(1) ? Qt::CoarseTimer : Qt::PreciseTimer);
    timer_->start(interval);
}

void Timer::stop() {
    if (timer_) timer_->stop();
}

bool Timer::isActive() const { return timer_ && timer_->isActive(); }

}  // namespace platform
