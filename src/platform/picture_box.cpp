#include "platform/picture_box.h"

#include <QPainter>

namespace platform {

PictureBox::PictureBox(Control& container) : Control(&container) {}

void PictureBox::setPicture(const Picture& picture) {
    picture_ = picture;
    repaint();
}

void PictureBox::paint(QPainter& painter) {
    if (!picture_.empty()) painter.drawImage(0, 0, picture_.image());
}

}  // namespace platform
