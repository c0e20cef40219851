#pragma once

#include <array>

#include "player/station_line.h"
#include "player/station_slots.h"

// The station file's entries for the 19 slots: entry k is line k of the file, split; a slot
// below the file's last line has an empty entry.
using StationList = std::array<StationLine, kSlotCount>;

// Reads wavelark.ini in the working folder afresh, so an edit shows at the next read. Fails
// (platform::RuntimeError) when the file cannot be read or one of those lines is damaged; the
// file is closed on every way out.
StationList readStationFile();

// Whether a click on the slot tunes a station: the built-in slot's always does, any other's
// when the file gives it an address the player tunes.
bool clickTunes(const StationList& stations, int slot);
