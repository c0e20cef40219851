// Reading the station file and tuning a station.
#include <array>
#include <charconv>
#include <exception>

#include "platform/log.h"
#include "platform/message_box.h"
#include "platform/runtime_error.h"
#include "platform/text_file.h"
#include "player/form1.h"
#include "player/station_line.h"
#include "shared/addresses.h"

namespace {
constexpr const char* kStationFile = "wavelark.ini";

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
// the file on ends in the one message; the file is closed on every way out.
void Form1::TuneStation(const std::string& stationIndex, const std::string& captionIndex) {
    std::array<std::string, kSlotCount> captions;
    std::array<std::string, kSlotCount + 1> streamAddresses;  // entry 19 stays empty: tunes nothing
    std::array<std::string, kSlotCount> displayNames;
    streamAddresses[kSlotCount] = "";
    try {
        platform::TextFile file(kStationFile);
        for (int n = 0; !file.atEnd() && n <= kSlotCount - 1; ++n) {
            const StationLine line = StationLine::split(file.lineInput());
            captions[n] = line.caption;
            streamAddresses[n] = line.address;
            displayNames[n] = line.displayName;
        }
        file.close();

        for (int slot = 0; slot < kSlotCount; ++slot) StationSlot[slot]->setCaption(captions[slot]);

        const int s = wholeNumber(stationIndex);
        if (s < 0 || s > kSlotCount) throw platform::errors::invalidCall();
        const std::string& address = streamAddresses[s];
        if (!isTunableAddress(address)) return;
        MediaPlayer1->open(address);
        tunedSlot_ = s;

        const int c = wholeNumber(captionIndex);
        if (c < 0 || c > kSlotCount - 1) throw platform::errors::invalidCall();
        station.setCaption(displayNames[c]);
    } catch (const media::EngineUnavailable&) {
        // No station can play, so a new station file cannot help: the strip says what is wrong.
    } catch (const std::exception& error) {
        platform::logWarning(platform::LogRoom::Player,
                             std::string("station file or tuning failed: ") + error.what());
        showStationFileMessage();
    }
}
