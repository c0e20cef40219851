#pragma once

#include "platform/control.h"
#include "platform/picture.h"

namespace platform {

// A picture drawn unscaled and opaque from the control's top-left corner.
class Image : public Control {
public:
    explicit Image(Control& container);
    void setPicture(const Picture& picture);

protected:
    void paint(QPainter& painter) override;

private:
    Picture picture_;
};

}  // namespace platform
