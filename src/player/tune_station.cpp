// Reading the station file and tuning a station.
#include <charconv>
#include <exception>

#include "platform/log.h"
#include "platform/message_box.h"
#include "platform/runtime_error.h"
#include "player/form1.h"
#include "player/station_file.h"
#include "shared/addresses.h"

namespace {
int wholeNumber(const std::string& text) {
    int value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size())
        throw platform::errors::typeMismatch();
    return value;
}

void showStationFileMessage() {
    platform::MsgBox(std::string("wavelark.ini is niet aanwezig of beschadigd. Kijk op ") +
                     addresses::kPublisherSoftwarePage + " voor juiste .ini files.");
}
}  // namespace

// Every call reads the file afresh, so an edit shows at the next click. Any failure from opening
// the file on ends in the one message.
void Form1::TuneStation(const std::string& stationIndex, const std::string& captionIndex) {
    try {
        const StationList stations = readStationFile();
        for (int slot = 0; slot < kSlotCount; ++slot)
            StationSlot[slot]->setCaption(stations[slot].caption);

        // Index 19 names no line: it refreshes the list and tunes nothing.
        const int s = wholeNumber(stationIndex);
        if (s < 0 || s > kSlotCount) throw platform::errors::invalidCall();
        const std::string address = s < kSlotCount ? stations[s].address : "";
        if (!isTunableAddress(address)) return;
        MediaPlayer1->open(address);
        tunedSlot_ = s;

        const int c = wholeNumber(captionIndex);
        if (c < 0 || c > kSlotCount - 1) throw platform::errors::invalidCall();
        station.setCaption(stations[c].displayName);
    } catch (const media::EngineUnavailable&) {
        // No station can play, so a new station file cannot help: the strip says what is wrong.
    } catch (const std::exception& error) {
        platform::logWarning(platform::LogRoom::Player,
                             std::string("station file or tuning failed: ") + error.what());
        showStationFileMessage();
    }
}
