#include "player/station_file.h"

#include "platform/text_file.h"

StationList readStationFile() {
    StationList stations;
    platform::TextFile file("wavelark.ini");
    for (int n = 0; !file.atEnd() && n < Form1::kSlotCount; ++n)
        stations[n] = StationLine::split(file.lineInput());
    return stations;
}
