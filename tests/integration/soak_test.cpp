// Many station switches in one run, meant for the sanitizer build: no crash, no sanitizer or
// leak report, and no memory that grows with the number of switches. The short run is the
// test command's; the thousand switches run behind the long label.
#include <malloc.h>

#include <fstream>
#include <iostream>

#include "engine_fixture.h"
#include "icecast_server.h"

using namespace std::chrono_literals;

namespace {

long residentKilobytes() {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);) {
        if (line.starts_with("VmRSS:")) return std::stol(line.substr(6));
    }
    return -1;
}

class Soak : public EngineTest {
protected:
    void switchStations(int switches);
};

TEST_F(Soak, TwoHundredStationSwitches) { switchStations(200); }
TEST_F(Soak, ThousandStationSwitches) { switchStations(1000); }

void Soak::switchStations(const int switches) {
    IcecastServer icecast({"/tone2.mp3"});
    ASSERT_NO_THROW(icecast.start()) << icecast.log();
    const std::string stations[] = {icecast.url("/tone.mp3"), icecast.url("/tone.ogg"),
                                    icecast.url("/tone2.mp3")};
    // glibc raises its mmap threshold when mpv frees a large buffer, and the free memory kept
    // from then on shows as a one-off step of about 10 MB at a random switch. Pinned, resident
    // memory follows what is in use.
    mallopt(M_MMAP_THRESHOLD, 128 * 1024);
    auto& player = makePlayer(outputTo("null"));
    // Measured the same way both times: stopped, once mpv has let go of the stream, and with
    // the free memory malloc keeps handed back, so that only memory still in use counts.
    const auto settledResidentKilobytes = [&] {
        player.stop();
        pause(500ms);
        malloc_trim(0);
        return residentKilobytes();
    };

    constexpr int kWarmUp = 100;
    constexpr int kPlayEvery = 40;
    const auto started = std::chrono::steady_clock::now();
    long warm = 0;
    int played = 0;
    for (int i = 0; i < switches; ++i) {
        if (i == kWarmUp) warm = settledResidentKilobytes();
        // Only the latest line matters here; keeping them all would grow memory by itself.
        display.lines.clear();
        player.open(stations[i % 3]);
        switch (i % 5) {
            case 1:
                player.setVolume(-200 * (i % 32));
                break;
            case 2:
                player.setMute(!player.mute());
                break;
            case 3:
                player.stop();
                break;
            case 4:
                player.stop();
                player.play();
                break;
        }
        // Mostly switching again at once or while connecting; now and then playing first.
        if (i % kPlayEvery == 0) {
            played += waitForState("Playing", 20s) ? 1 : 0;
        } else {
            pause(Milliseconds(i % 4 * 10));
        }
    }
    const long grown = settledResidentKilobytes() - warm;
    EXPECT_TRUE(uiRunsPostedTask());
    const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(
        std::chrono::steady_clock::now() - started);
    std::cout << "[ measured ] " << switches << " switches in " << seconds.count() << " s, "
              << played << " of " << switches / kPlayEvery << " reached Playing; resident " << warm
              << " kB after warm-up, " << warm + grown << " kB at the end\n";
    EXPECT_EQ(played, switches / kPlayEvery);
    EXPECT_LT(grown, 5 * 1024);
}

}  // namespace
