#pragma once

#include <cstdint>

class QColor;
class QWidget;

namespace platform {

// 24-bit colours written 0xRRGGBB. Values with the top bit set name a system colour that is
// looked up in the palette when painting, so the user's colour scheme is followed.
using Colour = std::uint32_t;

inline constexpr Colour kButtonText = 0x80000012;
inline constexpr Colour kBlack = 0x000000;
inline constexpr Colour kWhite = 0xFFFFFF;

QColor resolve(Colour colour, const QWidget& widget);

}  // namespace platform
