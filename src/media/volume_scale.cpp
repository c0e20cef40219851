#include "media/volume_scale.h"

#include <algorithm>
#include <cmath>

namespace media {

int clampVolume(int hundredthsOfDecibel) {
    return std::clamp(hundredthsOfDecibel, kQuietestVolume, kLoudestVolume);
}

double mpvVolumeFor(int hundredthsOfDecibel) {
    const double gain = std::pow(10.0, clampVolume(hundredthsOfDecibel) / 2000.0);
    return 100.0 * std::cbrt(gain);
}

}  // namespace media
