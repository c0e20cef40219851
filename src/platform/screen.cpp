#include "platform/screen.h"

#include "platform/twips.h"

namespace platform::Screen {

float TwipsPerPixelX() { return static_cast<float>(kTwipsPerPixel); }

}  // namespace platform::Screen
