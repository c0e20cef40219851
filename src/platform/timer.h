#pragma once

#include <chrono>
#include <functional>
#include <memory>

class QTimer;

namespace platform {

// A GUI-thread timer whose expiry runs a callback from the event loop. A timer that is not
// started costs nothing; starting it again replaces the interval and the callback.
class Timer {
public:
    Timer();
    ~Timer();
    Timer(const Timer&) = delete;
    Timer& operator=(const Timer&) = delete;

    // Runs the callback once, after the delay.
    void startOnce(std::chrono::milliseconds delay, std::function<void()> callback);
    // Runs the callback every interval until stopped.
    void startRepeating(std::chrono::milliseconds interval, std::function<void()> callback);
    void stop();
    bool isActive() const;

private:
    void start(std::chrono::milliseconds interval, bool once, std::function<void()> callback);

    std::unique_ptr<QTimer> timer_;
    std::function<void()> callback_;
};

}  // namespace platform
