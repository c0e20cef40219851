#pragma once

#include <cstdint>

namespace platform {

class Control;

// The one manual drag that may be on at a time. While it is on, pointer moves become DragOver
// events (enter, over, leave) on the control under the pointer instead of MouseMove events, and
// a button release drops the dragged control there.
class DragSession {
public:
    static void begin(Control& source);
    // Ends the drag; with drop, the dragged control is dropped where the pointer is.
    static void end(bool drop);
    static bool active();
};

}  // namespace platform
