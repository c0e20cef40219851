#include "media/engine_teardown.h"

#include <condition_variable>
#include <mutex>
#include <thread>

namespace media {

namespace {

struct Pending {
    std::mutex mutex;
    std::condition_variable ended;
    int count = 0;
};

// Never destroyed: a teardown may still run while the process exits.
Pending& pending() {
    static auto* instance = new Pending;
    return *instance;
}

}  // namespace

void endEngineLater(const MpvClient& mpv, mpv_handle* handle) {
    // Nothing of the engine reaches the UI thread from here on.
    mpv.setWakeupCallback(handle, nullptr, nullptr);
    Pending& state = pending();
    {
        const std::lock_guard lock(state.mutex);
        ++state.count;
    }
    std::thread([&mpv, handle, &state] {
        mpv.terminateDestroy(handle);
        const std::lock_guard lock(state.mutex);
        --state.count;
        state.ended.notify_all();
    }).detach();
}

bool enginesEnding() {
    Pending& state = pending();
    const std::lock_guard lock(state.mutex);
    return state.count > 0;
}

bool enginesEnded(std::chrono::milliseconds limit) {
    Pending& state = pending();
    std::unique_lock lock(state.mutex);
    return state.ended.wait_for(lock, limit, [&] { return state.count == 0; });
}

}  // namespace media
