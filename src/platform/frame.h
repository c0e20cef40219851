#pragma once

#include "platform/colour.h"
#include "platform/control.h"

namespace platform {

// A plain filled rectangle that holds other controls and clips them to itself.
class Frame : public Control {
public:
    explicit Frame(Control& container);
    void setBackColor(Colour colour);

protected:
    void paint(QPainter& painter) override;

private:
    Colour backColor_ = 0xC0C0C0;
};

}  // namespace platform
