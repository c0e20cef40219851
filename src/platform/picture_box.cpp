#include "platform/picture_box.h"

#include <QPainter>

namespace platform {

PictureBox::PictureBox(Control& container) : Control(&container) {}

void PictureBox::setPicture(const Picture& picture) {
    picture_ = picture;
    repaint();
}

void PictureBox::paint(QPainter& painter) { picture_.draw(painter); }

}  // namespace platform
