#pragma once

// The station list has 19 slots: slot k shows line k of the station file.
constexpr int kSlotCount = 19;
// The slot that plays the built-in station whatever the station file says.
constexpr int kBuiltInSlot = 13;
