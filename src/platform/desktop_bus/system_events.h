#pragma once

#include <functional>
#include <memory>

namespace platform {

// What the system bus says that matters to a stream: the machine woke from sleep (logind's
// PrepareForSleep with false), or the network became connected (NetworkManager's StateChanged
// to "connected globally"). Without a system bus or without those services, neither is ever
// called; listening costs nothing until a signal comes.
class SystemEvents {
public:
    SystemEvents();
    ~SystemEvents();
    SystemEvents(const SystemEvents&) = delete;
    SystemEvents& operator=(const SystemEvents&) = delete;

    std::function<void()> Resumed;
    std::function<void()> NetworkConnected;

private:
    class Listener;
    std::unique_ptr<Listener> listener_;
};

}  // namespace platform
