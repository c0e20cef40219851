#pragma once

// The volume, in hundredths of a decibel, moves in steps of 200 from level 0 (-6200) to
// level 31 (0, full volume).
constexpr int kVolumeStep = 200;
constexpr int kVolumeLevels = 31;
constexpr int kLowestVolume = -kVolumeStep * kVolumeLevels;

// The level a volume stands at, with a fraction for a volume between two steps.
constexpr double volumeLevel(int volume) { return kVolumeLevels + volume / double(kVolumeStep); }
