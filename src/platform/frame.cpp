#include "platform/frame.h"

#include <QPainter>
#include <QWidget>

namespace platform {

Frame::Frame(Control& container) : Control(&container) {}

void Frame::setBackColor(Colour colour) {
    backColor_ = colour;
    repaint();
}

void Frame::paint(QPainter& painter) {
    painter.fillRect(widget()->rect(), resolve(backColor_, *widget()));
}

}  // namespace platform
