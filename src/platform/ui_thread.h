#pragma once

#include <functional>

namespace platform {

// Queues a task to run on the GUI thread from the event loop. Safe to call from any thread,
// including threads the program does not own (the media engine's); the caller never waits.
// Tasks posted while no application object exists, or left when it goes away, never run.
void postToUiThread(std::function<void()> task);

}  // namespace platform
