#include "platform/colour.h"

#include <QColor>
#include <QPalette>
#include <QWidget>

namespace platform {

QColor resolve(Colour colour, const QWidget& widget) {
    if (colour & 0x80000000u) {
        // Only the button-text colour is used by the windows; other system colours fall back
        // to the window text of the same palette.
        const auto role = (colour == kButtonText) ? QPalette::ButtonText : QPalette::WindowText;
        return widget.palette().color(QPalette::Active, role);
    }
    return QColor((colour >> 16) & 0xFF, (colour >> 8) & 0xFF, colour & 0xFF);
}

}  // namespace platform
