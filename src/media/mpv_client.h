#pragma once

#include <mpv/client.h>

namespace media {

// The libmpv client functions this program calls, bound when libmpv is first needed. Linking
// libmpv would load it and the 230 libraries it needs (FFmpeg, PulseAudio, Vulkan...) at every
// start, a quarter of a second on a small machine, for a window that plays nothing until a
// station is clicked. A call that is not listed here does not link: add it here first.
struct MpvClient {
    decltype(&::mpv_create) create = nullptr;
    decltype(&::mpv_initialize) initialize = nullptr;
    decltype(&::mpv_terminate_destroy) terminateDestroy = nullptr;
    decltype(&::mpv_set_option) setOption = nullptr;
    decltype(&::mpv_set_option_string) setOptionString = nullptr;
    decltype(&::mpv_command_async) commandAsync = nullptr;
    decltype(&::mpv_set_property_async) setPropertyAsync = nullptr;
    decltype(&::mpv_get_property_async) getPropertyAsync = nullptr;
    decltype(&::mpv_observe_property) observeProperty = nullptr;
    decltype(&::mpv_request_log_messages) requestLogMessages = nullptr;
    decltype(&::mpv_wait_event) waitEvent = nullptr;
    decltype(&::mpv_set_wakeup_callback) setWakeupCallback = nullptr;
    decltype(&::mpv_hook_add) hookAdd = nullptr;
    decltype(&::mpv_hook_continue) hookContinue = nullptr;
};

// The functions, loaded on the first call; null when libmpv is missing or lacks one of them.
const MpvClient* mpvClient();

}  // namespace media
