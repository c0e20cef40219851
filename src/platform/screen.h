#pragma once

namespace platform::Screen {

// Layouts assume 96 dots per inch whatever the screen, so a pixel is always 15 twips.
float TwipsPerPixelX();

}  // namespace platform::Screen
