#include "platform/event_dispatch.h"

#include <exception>
#include <string>

#include "platform/control.h"
#include "platform/message_box.h"
#include "platform/runtime_error.h"

namespace platform {

namespace {
void report(int number, const std::string& description) {
    MsgBox("Run-time error '" + std::to_string(number) + "':\n\n" + description);
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
