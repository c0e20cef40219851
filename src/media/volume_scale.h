#pragma once

namespace media {

// The control's volume is in hundredths of a decibel, 0 the loudest, down to -10000.
constexpr int kLoudestVolume = 0;
constexpr int kQuietestVolume = -10000;

// Brings a volume into the control's range.
int clampVolume(int hundredthsOfDecibel);

// mpv's volume property for a volume: mpv applies (volume/100)^3 as the gain, so the property
// is 100 times the cube root of the gain 10^(volume/2000).
double mpvVolumeFor(int hundredthsOfDecibel);

}  // namespace media
