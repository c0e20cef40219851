#pragma once

#include "platform/control.h"
#include "shared/status_display.h"

namespace platform {

// The media player's status strip: what the engine is doing, the now-playing title and the
// time played, in small green text on black. The window's frames cover its edges, so
// everything is drawn inside the visible band (kVisible*). It swallows mouse events and
// never takes the focus.
class StatusStrip : public Control, public StatusDisplay {
public:
    explicit StatusStrip(Control& container);

    void show(const StatusLine& line) override;
    const StatusLine& line() const { return line_; }

    // The part the window leaves visible, in pixels from the strip's top-left corner.
    static constexpr int kVisibleLeft = 4;
    static constexpr int kVisibleTop = 1;
    static constexpr int kVisibleWidth = 260;
    static constexpr int kVisibleHeight = 20;

    // The full line, count and time included, for a screen reader that asks.
    std::string accessibleDescription() const override;

protected:
    void paint(QPainter& painter) override;

private:
    // The state as announced: a buffering count is left out, so a screen reader speaks each
    // change of state (Connecting, Buffering, Playing, a failure) but not every step of it.
    std::string defaultAccessibleName() const override;

    StatusLine line_;
};

}  // namespace platform
