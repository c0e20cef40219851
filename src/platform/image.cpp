#include "platform/image.h"

#include <QPainter>

namespace platform {

Image::Image(Control& container) : Control(&container) {}

void Image::setPicture(const Picture& picture) {
    picture_ = picture;
    repaint();
}

void Image::paint(QPainter& painter) { picture_.draw(painter); }

}  // namespace platform
