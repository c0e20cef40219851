#pragma once

#include <cmath>

namespace platform {

// Designs are laid out for 96 dots per inch: 15 twips to the pixel.
inline constexpr int kTwipsPerPixel = 15;

inline int toPixels(int twips) {
    return static_cast<int>(std::lround(twips / double(kTwipsPerPixel)));
}
inline float toTwips(double pixels) { return static_cast<float>(pixels * kTwipsPerPixel); }

}  // namespace platform
