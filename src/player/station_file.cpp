#include "player/station_file.h"

#include "platform/text_file.h"

StationList readStationFile() {
    StationList stations;
    platform::TextFile file("wavelark.ini");
    for (int n = 0; !file.atEnd() && n < kSlotCount; ++n)
        stations[n] = StationLine::split(file.lineInput());
    return stations;
}

bool clickTunes(const StationList& stations, int slot) {
    return slot == kBuiltInSlot || isTunableAddress(stations.at(slot).address);
}
