#include "platform/event_dispatch.h"

#include <exception>
#include <string>

#include "platform/control.h"
#include "platform/log.h"
#include "platform/message_box.h"
#include "platform/runtime_error.h"

namespace platform {

namespace {
// One report at a time: a handler that fails again while the box is open (a media key held
// down, a remote control that repeats) would otherwise open box inside box without limit.
void report(int number, const std::string& description) {
    static bool reporting = false;
    const std::string text = "Run-time error '" + std::to_string(number) + "':\n\n" + description;
    if (reporting) {
        logWarning(LogRoom::Platform, "not shown, another is open: " + text);
        return;
    }
    reporting = true;
    struct Done {
        ~Done() { reporting = false; }
    } done;
    MsgBox(text);
}
}  // namespace

void dispatch(const std::function<void()>& handler) {
    if (!handler) return;
    try {
        handler();
    } catch (const RuntimeError& error) {
        report(error.number, error.what());
    } catch (const std::bad_alloc&) {
        report(7, "Out of memory");
    } catch (const std::exception& error) {
        report(5, error.what());
    }
    Control::announceChangedNames();
}

}  // namespace platform
