#pragma once

#include "platform/control.h"
#include "platform/picture.h"

namespace platform {

// A picture box. The player keeps one hidden: its window receives the tray icon's messages and
// its picture is the tray icon.
class PictureBox : public Control {
public:
    explicit PictureBox(Control& container);
    const Picture& picture() const { return picture_; }
    void setPicture(const Picture& picture);

protected:
    void paint(QPainter& painter) override;

private:
    Picture picture_;
};

}  // namespace platform
