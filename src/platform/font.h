#pragma once

#include <string>

class QFont;

namespace platform {

// A font as designs give it: face, size in points and weight. Sizes are turned into pixels at
// 96 dpi so that layouts do not depend on the screen.
struct Font {
    std::string name = "MS Sans Serif";
    double size = 8.25;
    bool bold = false;
    bool underline = false;
};

QFont toQFont(const Font& font);

}  // namespace platform
