#include "media/mpv_client.h"

#include "platform/shared_library.h"

namespace media {

namespace {

template <typename Function>
bool bind(platform::SharedLibrary& library, Function& function, const char* name) {
    function = reinterpret_cast<Function>(library.resolve(name));
    return function != nullptr;
}

}  // namespace

const MpvClient* mpvClient() {
    static const MpvClient* const bound = []() -> const MpvClient* {
        // The library's major version follows the client API's (libmpv.so.2 for API 2.x).
        static platform::SharedLibrary library("mpv", MPV_CLIENT_API_VERSION >> 16);
        static MpvClient c;
        const bool complete = bind(library, c.create, "mpv_create") &&
                              bind(library, c.initialize, "mpv_initialize") &&
                              bind(library, c.terminateDestroy, "mpv_terminate_destroy") &&
                              bind(library, c.setOption, "mpv_set_option") &&
                              bind(library, c.setOptionString, "mpv_set_option_string") &&
                              bind(library, c.commandAsync, "mpv_command_async") &&
                              bind(library, c.setPropertyAsync, "mpv_set_property_async") &&
                              bind(library, c.getPropertyAsync, "mpv_get_property_async") &&
                              bind(library, c.observeProperty, "mpv_observe_property") &&
                              bind(library, c.requestLogMessages, "mpv_request_log_messages") &&
                              bind(library, c.waitEvent, "mpv_wait_event") &&
                              bind(library, c.setWakeupCallback, "mpv_set_wakeup_callback") &&
                              bind(library, c.hookAdd, "mpv_hook_add") &&
                              bind(library, c.hookContinue, "mpv_hook_continue");
        return complete ? &c : nullptr;
    }();
    return bound;
}

}  // namespace media
