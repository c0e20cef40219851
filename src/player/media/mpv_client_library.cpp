// The libmpv client functions this program calls, bound when the first of them is called.
// Linking libmpv would load it and the 230 libraries it needs (FFmpeg, PulseAudio, Vulkan...)
// at every start, a quarter of a second on a small machine, for a window that plays nothing
// until a station is clicked. Every engine starts with mpv_create, which loads the library;
// without it mpv_create returns nullptr, as it does when mpv cannot start, and no other
// function is ever called without a handle.
#include <mpv/client.h>

#include "platform/shared_library.h"

namespace {

struct Client {
    decltype(&::mpv_create) create = nullptr;
    decltype(&::mpv_initialize) initialize = nullptr;
    decltype(&::mpv_terminate_destroy) terminateDestroy = nullptr;
    decltype(&::mpv_set_option) setOption = nullptr;
    decltype(&::mpv_set_option_string) setOptionString = nullptr;
    decltype(&::mpv_command_async) commandAsync = nullptr;
    decltype(&::mpv_set_property_async) setPropertyAsync = nullptr;
    decltype(&::mpv_observe_property) observeProperty = nullptr;
    decltype(&::mpv_request_log_messages) requestLogMessages = nullptr;
    decltype(&::mpv_wait_event) waitEvent = nullptr;
    decltype(&::mpv_set_wakeup_callback) setWakeupCallback = nullptr;

    bool complete() const {
        return create && initialize && terminateDestroy && setOption && setOptionString &&
               commandAsync && setPropertyAsync && observeProperty && requestLogMessages &&
               waitEvent && setWakeupCallback;
    }
};

template <typename Function>
void bind(platform::SharedLibrary& library, Function& function, const char* name) {
    function = reinterpret_cast<Function>(library.resolve(name));
}

const Client& client() {
    static const Client bound = [] {
        // The library's major version follows the client API's (libmpv.so.2 for API 2.x).
        static platform::SharedLibrary library("mpv", MPV_CLIENT_API_VERSION >> 16);
        Client c;
        bind(library, c.create, "mpv_create");
        bind(library, c.initialize, "mpv_initialize");
        bind(library, c.terminateDestroy, "mpv_terminate_destroy");
        bind(library, c.setOption, "mpv_set_option");
        bind(library, c.setOptionString, "mpv_set_option_string");
        bind(library, c.commandAsync, "mpv_command_async");
        bind(library, c.setPropertyAsync, "mpv_set_property_async");
        bind(library, c.observeProperty, "mpv_observe_property");
        bind(library, c.requestLogMessages, "mpv_request_log_messages");
        bind(library, c.waitEvent, "mpv_wait_event");
        bind(library, c.setWakeupCallback, "mpv_set_wakeup_callback");
        return c;
    }();
    return bound;
}

}  // namespace

extern "C" {

mpv_handle* mpv_create() { return client().complete() ? client().create() : nullptr; }

int mpv_initialize(mpv_handle* ctx) { return client().initialize(ctx); }

void mpv_terminate_destroy(mpv_handle* ctx) { client().terminateDestroy(ctx); }

int mpv_set_option(mpv_handle* ctx, const char* name, mpv_format format, void* data) {
    return client().setOption(ctx, name, format, data);
}

int mpv_set_option_string(mpv_handle* ctx, const char* name, const char* data) {
    return client().setOptionString(ctx, name, data);
}

int mpv_command_async(mpv_handle* ctx, uint64_t replyUserdata, const char** args) {
    return client().commandAsync(ctx, replyUserdata, args);
}

int mpv_set_property_async(mpv_handle* ctx, uint64_t replyUserdata, const char* name,
                           mpv_format format, void* data) {
    return client().setPropertyAsync(ctx, replyUserdata, name, format, data);
}

int mpv_observe_property(mpv_handle* ctx, uint64_t replyUserdata, const char* name,
                         mpv_format format) {
    return client().observeProperty(ctx, replyUserdata, name, format);
}

int mpv_request_log_messages(mpv_handle* ctx, const char* minLevel) {
    return client().requestLogMessages(ctx, minLevel);
}

mpv_event* mpv_wait_event(mpv_handle* ctx, double timeout) {
    return client().waitEvent(ctx, timeout);
}

void mpv_set_wakeup_callback(mpv_handle* ctx, void (*callback)(void* d), void* d) {
    client().setWakeupCallback(ctx, callback, d);
}

}  // extern "C"
