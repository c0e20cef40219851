#pragma once

#include <array>

#include "player/form1.h"
#include "player/station_line.h"

// The station file's entries for the 19 slots: entry k is line k of the file, split; a slot
// below the file's last line has an empty entry.
using StationList = std::array<StationLine, Form1::kSlotCount>;

// Reads wavelark.ini in the working folder afresh, so an edit shows at the next read. Fails
// (platform::RuntimeError) when the file cannot be read or one of those lines is damaged; the
// file is closed on every way out.
StationList readStationFile();
